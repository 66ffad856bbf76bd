#pragma once
// What the window tests share: a private COM link directory, the messages the window showed
// (recorded instead of boxed) and waiting with the event loop running.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QStringList>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>

#include "AfPortControls.h"
#include "uMain.h"
#include "uMainForms.h"
#include "uQtDispatcher.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

class TWindowTestEnv {
 public:
  TWindowTestEnv() {
    char tmpl[] = "/tmp/kavrune-window-XXXXXX";
    dir_ = mkdtemp(tmpl);
    setenv("KAVRUNE_COM_DIR", dir_.c_str(), 1);
    setenv("KAVRUNE_DEV_DIR", dir_.c_str(), 1);              // only the ports a test publishes
    setenv("XDG_STATE_HOME", (dir_ + "/state").c_str(), 1);  // working copies stay out of the home folder
    old_ = SetAppMessageHandler([this](const QString& text, TMessageKind kind) {
      messages.append(text);
      if (kind == TMessageKind::Warning) warnings.append(text);
    });
    oldQuestion_ = SetAppQuestionHandler([this](const QString& text) {
      questions.append(text);
      return answer;
    });
  }
  ~TWindowTestEnv() {
    SetAppMessageHandler(old_);
    SetAppQuestionHandler(oldQuestion_);
    SetGlobalBusyCursor(false);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  TWindowTestEnv(const TWindowTestEnv&) = delete;
  TWindowTestEnv& operator=(const TWindowTestEnv&) = delete;

  QString Dir() const { return QString::fromStdString(dir_); }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  int Count(const QString& text) const { return static_cast<int>(messages.count(text)); }

  QStringList messages;
  QStringList warnings;   // the messages boxed with a warning icon
  QStringList questions;  // the Yes/No questions asked, each answered with `answer`
  bool answer = true;

 private:
  std::string dir_;
  TAppMessageHandler old_;
  TAppQuestionHandler oldQuestion_;
};

template <typename F>
bool WaitFor(F done, int ms) {
  QDeadlineTimer deadline(ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QTest::qWait(10);
  }
  return true;
}

// COM n chosen in the port list and opened, as a person does it.
inline void ChooseAndOpen(TfMain& window, int com) {
  TAfPortComboBox* picker = window.uiConnection->AfPortComboBox1;
  const int index = picker->findText(QStringLiteral("COM %1").arg(com));
  ASSERT_GE(index, 0) << "COM " << com << " is not listed";
  picker->setCurrentIndex(index);
  emit picker->activated(index);
  window.uiConnection->bOpenClose->click();
}
