// window-screenshots: opens the main window on the simulated device, waits for the first read
// and saves a picture of every page. Run it under a display (xvfb-run) for the real rendering:
//   window-screenshots OUTPUT_DIR   (KAVRUNE_SIM names the simulator binary)

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTabWidget>
#include <cstdio>
#include <memory>

#include "AfPortControls.h"
#include "ShapeEx.h"
#include "SimProcess.h"
#include "WindowTestSupport.h"
#include "uMain.h"
#include "uMainForms.h"

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
  SimProcess sim(1, "", {"--unpaced"});
  if (!sim.Ready()) {
    std::fprintf(stderr, "the simulator did not start (KAVRUNE_SIM)\n");
    return 1;
  }
  int rc = 0;
  {
    TKaVruneAI worker;
    {
      TfMain w(worker, &dispatcher, env.Dir());
      w.show();
      auto shot = [&](const char* name) {
        QTest::qWait(150);
        w.grab().save(out.filePath(QString::fromLatin1(name) + QStringLiteral(".png")));
      };
      shot("connection");
      TAfPortComboBox* picker = w.uiConnection->AfPortComboBox1;
      const int index = picker->findText(QStringLiteral("COM 1"));
      picker->setCurrentIndex(index);
      emit picker->activated(index);
      w.uiConnection->bOpenClose->click();
      if (!WaitFor([&] { return !w.pNetwork->isHidden(); }, 30000)) {
        std::fprintf(stderr, "no read document arrived\n");
        rc = 1;
      } else {
        shot("network");
        w.seNetworkClick(w.seServer);
        w.seServer->SetDown(true);
        shot("server");
        w.seNetworkClick(w.seServices);
        w.seServices->SetDown(true);
        shot("services");
        w.seNetworkClick(w.seChannel1);
        w.seChannel1->SetDown(true);
        w.pcChannel1->setCurrentIndex(0);
        shot("channel-serial");
        w.pcChannel1->setCurrentIndex(1);
        shot("channel-connection-tcp");
        w.pcChannel1->Form().pChannel1ConnectionTCP->hide();
        w.pcChannel1->Form().pChannel1ConnectionUSB->show();
        shot("channel-connection-udp");
        w.pcChannel1->Form().pChannel1ConnectionUSB->hide();
        w.pcChannel1->Form().pChannel1ConnectionTCP->show();
        w.seNetworkClick(w.seWLAN);
        w.seWLAN->SetDown(true);
        shot("wlan");
        w.ShowPage(w.pEmail);
        shot("email");
        w.seNetworkClick(w.seNetwork);
        w.seTerminalClick();
        shot("debug");
        w.seTerminalClick();
      }
      w.close();
    }
    worker.Terminate();
  }
  SetAfMainThreadDispatcher(nullptr);
  return rc;
}
