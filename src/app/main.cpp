// kavrune-setup: the configuration window for the kaVRUNE device.

#include <QApplication>

#include "uKaVruneAI.h"
#include "uMain.h"
#include "uQtDispatcher.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  SetUpApplication();

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
