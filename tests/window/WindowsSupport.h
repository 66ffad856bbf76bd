#pragma once
// What the window's programs under wine share (there is no QtTest in the Windows Qt): a private
// folder that stands for %LOCALAPPDATA%, the messages the window showed (recorded instead of
// boxed), waiting with the event loop running, and COM n chosen and opened as a person does it.

#include <windows.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPushButton>
#include <QStringList>
#include <cstdlib>
#include <string>

#include "AfPortControls.h"
#include "TestPlatform.h"
#include "uMain.h"
#include "uMainForms.h"
#include "uQtDispatcher.h"

class TWindowsWindowEnv {
 public:
  TWindowsWindowEnv() {
    ::_putenv_s("XDG_STATE_HOME", "");  // removes it: the Windows state folder is asked for
    ::_putenv_s("LOCALAPPDATA", dir_.Path().c_str());
    old_ = SetAppMessageHandler([this](const QString& text, TMessageKind) { messages.append(text); });
    oldQuestion_ = SetAppQuestionHandler([](const QString&) { return true; });
  }
  ~TWindowsWindowEnv() {
    SetAppMessageHandler(old_);
    SetAppQuestionHandler(oldQuestion_);
    SetGlobalBusyCursor(false);
  }
  TWindowsWindowEnv(const TWindowsWindowEnv&) = delete;
  TWindowsWindowEnv& operator=(const TWindowsWindowEnv&) = delete;

  std::string Path(const std::string& name) const { return dir_.Path() + "/" + name; }
  QString Dir() const { return QString::fromStdString(dir_.Path()); }

  QStringList messages;

 private:
  TempDir dir_;
  TAppMessageHandler old_;
  TAppQuestionHandler oldQuestion_;
};

template <typename F>
bool WaitFor(F done, int ms) {
  QDeadlineTimer deadline(ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ::Sleep(10);
  }
  return true;
}

// false when the port list does not offer COM n.
inline bool ChooseAndOpen(TfMain& window, int com) {
  TAfPortComboBox* picker = window.uiConnection->AfPortComboBox1;
  const int index = picker->findText(QStringLiteral("COM %1").arg(com));
  if (index < 0) return false;
  picker->setCurrentIndex(index);
  emit picker->activated(index);
  window.uiConnection->bOpenClose->click();
  return true;
}
