// The whole road on the simulated device: open, change one setting on every page, "Apply
// Settings", wait for the re-read, and find every change in the device and back on the pages.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <memory>

#include "AfPortControls.h"
#include "ComCtrlsAdds.h"
#include "ShapeEx.h"
#include "SimModel.h"
#include "SimProcess.h"
#include "WindowTestSupport.h"
#include "uIntEdit.h"
#include "uMain.h"
#include "uMainForms.h"
#include "uStatusLine.h"

namespace {

constexpr int Com = 6;

class ApplyOnDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("KAVRUNE_SIM")) GTEST_SKIP() << "KAVRUNE_SIM is not set";
    sim = std::make_unique<SimProcess>(Com, env.Path("device.state"));
    ASSERT_TRUE(sim->Ready());
    window = std::make_unique<TfMain>(worker, nullptr, env.Dir());
    window->SetWorkingDirectory(env.Dir());
    ChooseAndOpen(*window, Com);
    ASSERT_TRUE(WaitFor([&] { return window->seApplySettings->isEnabled(); }, 30000)) << "no first read";
  }

  void Page(TShapeEx* button) { window->PageButtonClick(button); }

  TWindowTestEnv env;
  std::unique_ptr<SimProcess> sim;
  TDeviceWorker worker;
  std::unique_ptr<TfMain> window;
};

TEST_F(ApplyOnDeviceTest, shouldWriteAChangeOnEveryPageAndShowItAfterTheReRead) {
  TfMain& w = *window;
  Page(w.seNetwork);
  ASSERT_TRUE(w.pNetwork->Form().rbStaticIP->isChecked());
  w.pNetwork->Form().ipgateway->SetAddress(QStringLiteral("192.168.1.1"));
  Page(w.seServer);
  w.pServer->Form().ieServerMTUSize->SetValue(1200);
  Page(w.seServices);
  ASSERT_TRUE(w.pServices->Form().cbWebServer->isChecked());
  w.pServices->Form().cbWebServer->setChecked(false);
  Page(w.seChannel1);
  ASSERT_EQ(w.pcChannel1->Form().ieChannel1ConnectionPort->Value(), 10001);
  w.pcChannel1->Form().ieChannel1ConnectionPort->SetValue(10005);
  Page(w.seChannel2);
  w.pcChannel1->Form().cbChannel1Baudrate->setCurrentIndex(w.pcChannel1->Form().cbChannel1Baudrate->findText("19200"));
  Page(w.seWLAN);
  ASSERT_EQ(w.pWLAN->Form().eWLANName->text(), "kavrune");
  w.pWLAN->Form().eWLANName->setText(QStringLiteral("workshop"));

  w.show();
  QTest::mouseClick(w.seApplySettings, Qt::LeftButton);
  EXPECT_FALSE(w.seApplySettings->isEnabled()) << "busy until the re-read";
  ASSERT_TRUE(WaitFor([&] { return w.seApplySettings->isEnabled(); }, 60000)) << "no re-read after the apply";
  EXPECT_TRUE(QFile::exists(env.Dir() + "/temp_save.xml"));

  const TSimSettings device = LoadState(env.Path("device.state"));
  EXPECT_EQ(device.Get("basic_parameters", "Set_Gateway_IP_Address"), "192.168.1.1");
  EXPECT_EQ(device.Get("Expert", "MTU_Size"), "1200");
  EXPECT_EQ(device.Get("Security", "Disable_Web_Server"), "Y");
  EXPECT_EQ(device.Get("Channel_1", "Port_No"), "10005");
  EXPECT_EQ(device.Get("Channel_2", "Baudrate"), "19200");
  EXPECT_EQ(device.Get("Channel_1", "Baudrate"), "9600");
  EXPECT_EQ(device.Get("WLAN", "Network_name"), "workshop");

  // The re-read brought the device's new state back; the user stays on the WLAN page.
  EXPECT_FALSE(w.pWLAN->isHidden());
  EXPECT_EQ(w.pNetwork->Form().ipgateway->Address(), "192.168.1.1");
  EXPECT_EQ(w.pServer->Form().ieServerMTUSize->Value(), 1200);
  EXPECT_FALSE(w.pServices->Form().cbWebServer->isChecked());
  EXPECT_EQ(w.pWLAN->Form().eWLANName->text(), "workshop");
  Page(w.seChannel1);
  EXPECT_EQ(w.pcChannel1->Form().ieChannel1ConnectionPort->Value(), 10005);
  Page(w.seChannel2);
  EXPECT_EQ(w.pcChannel1->Form().cbChannel1Baudrate->currentText(), "19200");
  EXPECT_EQ(w.pcChannel1->Form().ieChannel1ConnectionPort->Value(), 10002) << "channel 2 keeps its own port";
  EXPECT_TRUE(env.warnings.isEmpty()) << env.messages.join('|').toStdString();
}

// The field once kept the old first number when an address was typed over it from its left edge,
// and Apply stored 192.16.0.9.
TEST_F(ApplyOnDeviceTest, shouldStoreTheAddressTypedOverTheOldOneFromTheLeftEdgeOfItsField) {
  TfMain& w = *window;
  w.show();
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  Page(w.seNetwork);
  TIPAddress* ip = w.pNetwork->Form().ipIP_addr;
  ASSERT_EQ(ip->Address(), "192.168.1.254");
  auto* line = qobject_cast<QLineEdit*>(ip->focusProxy());
  ASSERT_TRUE(line);
  QTest::mouseClick(line, Qt::LeftButton, {}, QPoint(1, line->height() / 2));
  QTest::keyClicks(QApplication::focusWidget(), "172.16.0.9");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(ip->Address(), "172.16.0.9");

  QTest::mouseClick(w.seApplySettings, Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return w.seApplySettings->isEnabled(); }, 60000)) << "no re-read after the apply";
  EXPECT_EQ(LoadState(env.Path("device.state")).Get("basic_parameters", "IP_Address"), "172.16.0.9");
  EXPECT_EQ(ip->Address(), "172.16.0.9") << "as read back from the device";
  EXPECT_EQ(w.StatusLine()->StepText(), "1 setting written and confirmed.");
  EXPECT_TRUE(env.warnings.isEmpty()) << env.messages.join('|').toStdString();
}

}  // namespace
