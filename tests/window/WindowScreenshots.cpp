// window-screenshots: the pictures in docs/screenshots, taken from real reads of the simulated
// device. It opens the window on a paced simulator holding ShowcaseState (channel 2 in UDP
// mode), takes the window during the read with its progress, every page after it, edits not
// yet applied, an Apply during and after its walk and the unit's settings sheet (sheet.pdf), and
// German and Czech windows. Under X with ImageMagick's
// "import" the pictures are what the screen shows; elsewhere the window is rendered offscreen. scripts/screenshots runs
// it.
//   window-screenshots OUTPUT_DIR   (KAVRUNE_SIM names the simulator binary)

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <cstdio>
#include <memory>

#include "AfPortControls.h"
#include "ShapeEx.h"
#include "SimProcess.h"
#include "SimStates.h"
#include "WindowTestSupport.h"
#include "uIntEdit.h"
#include "uMain.h"
#include "uMainForms.h"
#include "uStatusLine.h"

namespace {

constexpr int WaitMs = 60000;

class TShooter final {
 public:
  TShooter(TfMain& w, const QDir& out) : w_(w), out_(out) {
    useScreen_ = qgetenv("QT_QPA_PLATFORM") != "offscreen" && !qgetenv("DISPLAY").isEmpty() &&
                 !QStandardPaths::findExecutable(QStringLiteral("import")).isEmpty();
  }
  QString Path(const char* name) const { return out_.filePath(QString::fromLatin1(name)); }
  bool Shoot(const char* name) {
    QTest::qWait(150);  // the last changes painted
    const QString path = Path(name) + QStringLiteral(".png");
    const bool ok = useScreen_ ? QProcess::execute(QStringLiteral("import"),
                                                   {QStringLiteral("-window"), QString::number(w_.winId()), path}) == 0
                               : w_.grab().save(path);
    if (!ok) std::fprintf(stderr, "could not save %s\n", qPrintable(path));
    return ok;
  }

 private:
  TfMain& w_;
  QDir out_;
  bool useScreen_ = false;
};

bool Page(TfMain& w, TShapeEx* button) {
  w.PageButtonClick(button);
  button->SetDown(true);
  return true;
}

// Half-way: the bar shows that work goes on and how far it has come.
bool HalfWay(const TfMain& w) {
  const QProgressBar* bar = w.StatusLine()->Bar();
  return !bar->isHidden() && bar->maximum() > 0 && bar->value() * 2 >= bar->maximum();
}

int Fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  return 1;
}

void ChoosePort(TfMain& w) {
  TAfPortComboBox* picker = w.uiConnection->AfPortComboBox1;
  const int index = picker->findText(QStringLiteral("COM 1"));
  picker->setCurrentIndex(index);
  emit picker->activated(index);
}

// A translated window after its read: the Server page with an edit, and the pages whose
// texts run longest. German pictures keep their first name, german.png.
int RunTranslated(TfMain& w, TShooter& shoot, const QString& code) {
  ChoosePort(w);
  w.uiConnection->bOpenClose->click();
  if (!WaitFor([&] { return !w.pNetwork->isHidden(); }, WaitMs)) return Fail("no read document arrived");
  auto name = [&](const char* page) { return (code + QLatin1Char('-') + QLatin1String(page)).toLatin1(); };
  bool ok = Page(w, w.seNetwork) && shoot.Shoot(name("network").constData());
  ok = Page(w, w.seServices) && shoot.Shoot(name("services").constData()) && ok;
  Page(w, w.seChannel1);
  w.pcChannel1->setCurrentIndex(0);
  ok = shoot.Shoot(name("channel-serial").constData()) && ok;
  w.pcChannel1->setCurrentIndex(1);
  ok = shoot.Shoot(name("channel-connection").constData()) && ok;
  ok = Page(w, w.seWLAN) && shoot.Shoot(name("wlan").constData()) && ok;
  Page(w, w.seServer);
  w.pServer->Form().ieServerCahceTimeout->SetValue(300);
  return shoot.Shoot(code == QLatin1String("de") ? "german" : name("server").constData()) && ok ? 0 : 1;
}

int Run(TfMain& w, TShooter& shoot) {
  auto fail = Fail;
  ChoosePort(w);
  if (!shoot.Shoot("connection")) return 1;
  w.uiConnection->bOpenClose->click();
  if (!WaitFor([&] { return HalfWay(w); }, WaitMs)) return fail("the read showed no progress");
  if (!shoot.Shoot("reading")) return 1;
  if (!WaitFor([&] { return !w.pNetwork->isHidden(); }, WaitMs)) return fail("no read document arrived");

  bool ok = shoot.Shoot("network");
  ok = Page(w, w.seServer) && shoot.Shoot("server") && ok;
  ok = Page(w, w.seServices) && shoot.Shoot("services") && ok;
  Page(w, w.seChannel1);
  w.pcChannel1->setCurrentIndex(0);
  ok = shoot.Shoot("channel-serial") && ok;
  w.pcChannel1->setCurrentIndex(1);
  ok = shoot.Shoot("channel-connection-tcp") && ok;
  Page(w, w.seChannel2);
  w.pcChannel1->setCurrentIndex(1);
  ok = shoot.Shoot("channel-connection-udp") && ok;
  ok = Page(w, w.seWLAN) && shoot.Shoot("wlan") && ok;
  Page(w, w.seNetwork);
  w.seTerminalClick();
  ok = shoot.Shoot("debug") && ok;
  w.seTerminalClick();

  // An Apply of two pages: during its walk, and its confirmation after the check.
  Page(w, w.seServer);
  w.pServer->Form().ieServerMTUSize->SetValue(1200);
  Page(w, w.seChannel1);
  w.pcChannel1->setCurrentIndex(0);
  w.pcChannel1->Form().cbChannel1Baudrate->setCurrentIndex(
      w.pcChannel1->Form().cbChannel1Baudrate->findText(QStringLiteral("57600")));
  ok = shoot.Shoot("pending") && ok;
  w.seApplySettingsClick();
  if (!WaitFor([&] { return w.StatusLine()->StepText().startsWith(QStringLiteral("Writing Channel")); }, WaitMs))
    return fail("the apply showed no progress");
  ok = shoot.Shoot("applying") && ok;
  if (!WaitFor([&] { return w.seApplySettings->isEnabled(); }, WaitMs)) return fail("no read after the apply");
  ok = shoot.Shoot("applied") && ok;
  // The settings sheet of the unit as applied, beside the pictures.
  w.WriteSettingsSheet(shoot.Path("sheet.pdf"), QStringLiteral("the unit on COM 1"));
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  SetUpApplication();
  if (argc < 2) {
    std::fprintf(stderr, "usage: window-screenshots OUTPUT_DIR\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  TQtMainThreadDispatcher dispatcher;
  SetAfMainThreadDispatcher(&dispatcher);
  TWindowTestEnv env;
  SaveState(ShowcaseState(), env.Path("device.state"));
  // Paced at 9600 baud, as the device talks, so that the read takes its real time.
  SimProcess sim(1, env.Path("device.state"), {});
  if (!sim.Ready()) {
    std::fprintf(stderr, "the simulator did not start (KAVRUNE_SIM)\n");
    return 1;
  }
  int rc = 0;
  {
    TDeviceWorker worker;
    {
      TfMain w(worker, &dispatcher, env.Dir());
      w.SetWorkingDirectory(env.Dir());
      w.show();
      TShooter shoot(w, out);
      rc = Run(w, shoot);
      if (!env.messages.isEmpty()) std::fprintf(stderr, "messages: %s\n", qPrintable(env.messages.join('|')));
      w.close();
    }
    worker.Terminate();
  }
  // The same device read by a German and a Czech window: the port opened anew powers it on.
  for (const char* code : {"de", "cs"}) {
    if (rc != 0) break;
    const QString folder = env.Dir() + QLatin1Char('/') + QLatin1String(code);
    QDir().mkpath(folder);
    QFile::copy(QStringLiteral(KAVRUNE_DATA_SOURCE_DIR "/Language.%1.xml").arg(QLatin1String(code)),
                folder + QStringLiteral("/Language.xml"));
    TDeviceWorker worker;
    {
      TfMain w(worker, &dispatcher, folder);
      w.SetWorkingDirectory(env.Dir());
      w.show();
      TShooter shoot(w, out);
      rc = RunTranslated(w, shoot, QLatin1String(code));
      env.answer = true;  // the edit goes with the window
      w.close();
    }
    worker.Terminate();
  }
  SetAfMainThreadDispatcher(nullptr);
  return rc;
}
