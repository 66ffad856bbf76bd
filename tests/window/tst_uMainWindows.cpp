// The window as Windows runs it (under wine, beside the simulator on the Linux side): the port
// list from the Windows side, a read of the unit onto the pages, an Apply of one edit that the
// unit stores, and the window's files in %LOCALAPPDATA%\kavrune.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <memory>

#include "ShapeEx.h"
#include "SimModel.h"
#include "SimProcess.h"
#include "WindowsSupport.h"
#include "uIntEdit.h"
#include "uStatusLine.h"

namespace {

constexpr int Com = 7;

class WindowOnWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("KAVRUNE_SIM")) GTEST_SKIP() << "KAVRUNE_SIM is not set";
    sim = std::make_unique<SimProcess>(Com, env.Path("device.state"));
    ASSERT_TRUE(sim->Ready());
    window = std::make_unique<TfMain>(worker, nullptr, env.Dir());  // no language file: English
    ASSERT_TRUE(ChooseAndOpen(*window, Com)) << "COM " << Com << " is not listed";
    ASSERT_TRUE(WaitFor([&] { return window->seApplySettings->isEnabled(); }, 60000)) << "no first read";
  }
  void TearDown() override {
    if (window) window->close();  // leaves Setup Mode while the simulator still listens
  }

  TWindowsWindowEnv env;
  std::unique_ptr<SimProcess> sim;
  TDeviceWorker worker;
  std::unique_ptr<TfMain> window;
};

TEST_F(WindowOnWindowsTest, shouldShowTheUnitOnItsPagesAndKeepItsFilesInLocalAppData) {
  TfMain& w = *window;
  EXPECT_EQ(w.pNetwork->Form().ipIP_addr->Address(), "192.168.1.254");
  EXPECT_TRUE(w.pNetwork->Form().rbStaticIP->isChecked());
  EXPECT_EQ(w.pServer->Form().ieServerMTUSize->Value(), 1400);
  EXPECT_TRUE(w.pServices->Form().cbWebServer->isChecked());
  w.PageButtonClick(w.seChannel1);  // the two channels share one page
  EXPECT_EQ(w.pcChannel1->Form().ieChannel1ConnectionPort->Value(), 10001);
  EXPECT_EQ(w.pcChannel1->Form().cbChannel1Baudrate->currentText(), "9600");
  EXPECT_EQ(w.pWLAN->Form().eWLANName->text(), "kavrune");

  EXPECT_TRUE(QFile::exists(env.Dir() + "/kavrune/temp_load.xml"));
  EXPECT_EQ(Slurp(env.Path("kavrune/last-port")), "COM7\n");
  EXPECT_TRUE(env.messages.isEmpty()) << env.messages.join('|').toStdString();
}

TEST_F(WindowOnWindowsTest, shouldStoreAnAppliedEditAndKeepABackupBeforeIt) {
  TfMain& w = *window;
  w.PageButtonClick(w.seServer);
  w.pServer->Form().ieServerMTUSize->SetValue(1200);
  w.seApplySettingsClick();
  ASSERT_TRUE(WaitFor([&] { return w.seApplySettings->isEnabled(); }, 60000)) << "no re-read after the apply";

  EXPECT_EQ(LoadState(env.Path("device.state")).Get("Expert", "MTU_Size"), "1200");
  EXPECT_EQ(w.pServer->Form().ieServerMTUSize->Value(), 1200) << "as read back from the unit";
  EXPECT_EQ(w.StatusLine()->StepText(), "1 setting written and confirmed.");
  EXPECT_EQ(TBackupStore(env.Path("kavrune/backups")).List().size(), 1u);
  EXPECT_TRUE(env.messages.isEmpty()) << env.messages.join('|').toStdString();
}

}  // namespace
