// window-screenshots-windows: pictures of the window as Windows draws it, taken under wine on an
// X display: the Network page after a read of the simulated unit (windows.png) and the German
// window with an edit on the Server page (windows-german.png). Each is what the screen shows,
// taken from the desktop. scripts/screenshots --windows runs it.
//   window-screenshots-windows OUTPUT_DIR     (KAVRUNE_SIM and KAVRUNE_COM_DIR as for the tests)

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QScreen>
#include <QSet>
#include <cstdio>

#include "ShapeEx.h"
#include "SimModel.h"
#include "SimProcess.h"
#include "SimStates.h"
#include "WindowsSupport.h"
#include "uIntEdit.h"

namespace {

constexpr int Com = 9;

bool Shoot(TfMain& w, const QString& path) {
  WaitFor([] { return false; }, 500);  // the last changes painted
  // The window's own area: without a window manager wine leaves the title bar undrawn.
  const QRect area = w.geometry();
  const QPixmap shot = w.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
  // A window drawn has many colours (text, frames, the banner); a screen wine never drew has one.
  const QImage image = shot.toImage();
  QSet<QRgb> colours;
  for (int y = 0; y < image.height(); y += 3)
    for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
  if (colours.size() < 16) {
    std::fprintf(stderr, "%s: the screen shows no window (%d colours)\n", qPrintable(path), int(colours.size()));
    return false;
  }
  if (!shot.save(path)) {
    std::fprintf(stderr, "could not save %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(QDir::toNativeSeparators(path)));
  return true;
}

// One window on a fresh simulated unit: read, then what `pose` does, then the picture.
template <typename F>
bool Take(TQtMainThreadDispatcher& dispatcher, const QString& path, bool german, F pose) {
  TWindowsWindowEnv env;
  SaveState(ShowcaseState(), env.Path("device.state"));
  SimProcess sim(Com, env.Path("device.state"));
  if (!sim.Ready()) {
    std::fprintf(stderr, "the simulator did not start (KAVRUNE_SIM, KAVRUNE_COM_DIR)\n");
    return false;
  }
  if (german) QFile::copy(QStringLiteral(KAVRUNE_DATA_SOURCE_DIR "/Language.de.xml"), env.Dir() + "/Language.xml");
  bool ok = false;
  TDeviceWorker worker;
  {
    TfMain w(worker, &dispatcher, env.Dir());
    w.move(16, 16);
    w.show();
    if (!ChooseAndOpen(w, Com) || !WaitFor([&] { return w.seApplySettings->isEnabled(); }, 60000)) {
      std::fprintf(stderr, "no read of COM %d: %s\n", Com, qPrintable(env.messages.join('|')));
    } else {
      pose(w);
      ok = Shoot(w, path);
    }
    w.close();
  }
  worker.Terminate();
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  SetUpApplication();
  if (argc < 2) {
    std::fprintf(stderr, "usage: window-screenshots-windows OUTPUT_DIR\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  TQtMainThreadDispatcher dispatcher;
  SetAfMainThreadDispatcher(&dispatcher);
  bool ok = Take(dispatcher, out.filePath("windows.png"), false, [](TfMain&) {});
  ok = Take(dispatcher, out.filePath("windows-german.png"), true,
            [](TfMain& w) {
              w.PageButtonClick(w.seServer);
              w.seServer->SetDown(true);
              w.pServer->Form().ieServerCahceTimeout->SetValue(300);
            }) &&
       ok;
  SetAfMainThreadDispatcher(nullptr);
  return ok ? 0 : 1;
}
