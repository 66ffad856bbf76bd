// kavrune-setup: the configuration window for the kaVRUNE device.

#include <QApplication>
#include <QFont>

#include "uKaVruneAI.h"
#include "uMain.h"
#include "uQtDispatcher.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // The application title, and through it the title of every message box. Not set as the display
  // name: the platform would append that to every window caption ("kaVRUNE — kaVRUNE setup").
  QApplication::setApplicationName(QStringLiteral("kaVRUNE setup"));
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(11);
  QApplication::setFont(font);

  TQtMainThreadDispatcher dispatcher;
  SetAfMainThreadDispatcher(&dispatcher);
  int rc = 0;
  {
    // The worker outlives the window: the window's close still hands it the exit request.
    TKaVruneAI worker;
    {
      TfMain window(worker, &dispatcher);
      window.show();
      rc = QApplication::exec();
    }
    worker.Terminate();
  }
  SetAfMainThreadDispatcher(nullptr);
  return rc;
}
