// The window without a device: start-up, the menu and page switching, the busy state, the
// caption and a failed open.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QUrl>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "AfPortControls.h"
#include "ShapeEx.h"
#include "WindowTestSupport.h"
#include "uIntEdit.h"
#include "uLanguage.h"
#include "uMain.h"
#include "uMainForms.h"

namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  TWindowTestEnv env;
  TKaVruneAI worker;
  TfMain w{worker, nullptr, env.Dir()};

  QList<QWidget*> Pages() {
    return {w.pConnection, w.pNetwork, w.pServer, w.pServices, w.pcChannel1, w.pWLAN, w.pEmail};
  }
  // The widget Tab stops at after `from`, as the focus chain gives it.
  QWidget* NextTabStop(QWidget* from) {
    QWidget* next = from->nextInFocusChain();
    while (next != from && (!next->isVisibleTo(&w) || !(next->focusPolicy() & Qt::TabFocus) || next->focusProxy()))
      next = next->nextInFocusChain();
    return next;
  }
  QList<TShapeEx*> Commands() {
    return {w.seNetwork, w.seServer,  w.seServices,   w.seChannel1, w.seChannel2,     w.seWLAN,       w.seEmail,
            w.seTerminal, w.seApplySettings, w.seDefault, w.seReload, w.seDisconnect, w.seLoadFromFile, w.seSaveToFile};
  }
};

// Stands in for the system's browser: records the addresses the window asks to open.
class TUrlRecorder final : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> opened;
 public slots:
  void Open(const QUrl& url) { opened.append(url); }
};

TEST_F(MainWindowTest, shouldStartOnTheConnectionPageWithOnlyAboutAndQuitUsable) {
  ASSERT_EQ(w.uiConnection->AfPortComboBox1->count(), 0);
  EXPECT_TRUE(env.messages.isEmpty()) << "no port and no language file are nothing to box";
  EXPECT_EQ(w.seNetwork->Caption(), QStringLiteral("Network"));
  EXPECT_FALSE(w.uiConnection->bOpenClose->isEnabled());
  EXPECT_EQ(w.uiConnection->bOpenClose->text(), QStringLiteral("Open"));
  for (QWidget* p : Pages()) EXPECT_EQ(p->isHidden(), p != w.pConnection) << p->objectName().toStdString();
  EXPECT_TRUE(w.pDebug->isHidden());
  for (TShapeEx* b : Commands()) EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
  EXPECT_TRUE(w.ShapeEx1->isEnabled());
  EXPECT_TRUE(w.ShapeEx8->isEnabled());
  EXPECT_TRUE(w.seEmail->isHidden() && w.seTerminal->isHidden() && w.Button2->isHidden());
  EXPECT_EQ(w.size(), QSize(700, 652));
  EXPECT_EQ(w.pConnection->pos(), QPoint(167, 139));
  EXPECT_EQ(w.pcChannel1->size(), w.pConnection->size());
}

TEST_F(MainWindowTest, shouldPlaceTheChannelPanelsAndOpenOnTheConnectionTab) {
  EXPECT_EQ(w.pcChannel1->currentWidget()->objectName(), QStringLiteral("tsChannel1Connection"));
  QWidget* tcp = w.pcChannel1->findChild<QWidget*>(QStringLiteral("pChannel1ConnectionTCP"));
  QWidget* udp = w.pcChannel1->findChild<QWidget*>(QStringLiteral("pChannel1ConnectionUSB"));
  ASSERT_TRUE(tcp && udp);
  EXPECT_EQ(tcp->parent()->objectName(), QStringLiteral("tsChannel1Connection"));
  EXPECT_EQ(udp->parent()->objectName(), QStringLiteral("tsChannel1Connection"));
  EXPECT_EQ(tcp->y(), 56);
  EXPECT_FALSE(tcp->isHidden());
  EXPECT_TRUE(udp->isHidden());
  // The device address table is found by tags 1 to 16.
  QList<int> tags;
  for (QObject* o : w.pcChannel1->findChild<QWidget*>(QStringLiteral("pChannel1ConnectionUDPDeviceAddressTable"))->children())
    if (o->property("Tag").isValid()) tags.append(o->property("Tag").toInt());
  std::sort(tags.begin(), tags.end());
  ASSERT_EQ(tags.size(), 16);
  EXPECT_EQ(tags.front(), 1);
  EXPECT_EQ(tags.back(), 16);
}

TEST_F(MainWindowTest, shouldMapTagsToPagesAndHideAllForAnUnknownTag) {
  EXPECT_EQ(w.PageForTag(3), w.pcChannel1);
  EXPECT_EQ(w.PageForTag(4), w.pcChannel1);
  EXPECT_EQ(w.PageForTag(6), w.pEmail);
  EXPECT_EQ(w.PageForTag(7), nullptr);
  w.ShowPage(w.PageForTag(7));
  for (QWidget* p : Pages()) EXPECT_TRUE(p->isHidden()) << p->objectName().toStdString();
}

TEST_F(MainWindowTest, shouldEnableTheProtocolChoiceOnChannelTwoOnlyAndResetChannelControlsOnEverySwitch) {
  QComboBox* lineMode = w.pcChannel1->Form().cbChannel1LineMode;
  QComboBox* baud = w.pcChannel1->Form().cbChannel1Baudrate;
  w.seNetworkClick(w.seChannel2);
  EXPECT_TRUE(lineMode->isEnabled());
  EXPECT_FALSE(w.pcChannel1->isHidden());
  baud->setCurrentIndex(2);
  w.pcChannel1->Form().eChannel1ConnectionTerminalName->setText(QStringLiteral("tty"));
  w.seNetworkClick(w.seChannel1);
  EXPECT_FALSE(lineMode->isEnabled());
  EXPECT_EQ(baud->currentIndex(), 5);
  EXPECT_TRUE(w.pcChannel1->Form().eChannel1ConnectionTerminalName->text().isEmpty());
  EXPECT_EQ(w.pcChannel1->Form().eChannel1PCMatchByte1->text(), QStringLiteral("00"));
  w.seNetworkClick(w.seServer);
  EXPECT_FALSE(w.pServer->isHidden());
  EXPECT_EQ(w.CurrentPageButton(), w.seServer);
  w.seNetworkClick(w.Label65);  // not a shape button: nothing happens
  EXPECT_EQ(w.CurrentPageButton(), w.seServer);
}

TEST_F(MainWindowTest, shouldKeepOneLevelOfBusyCursor) {
  w.BeginBusy();
  w.BeginBusy();
  EXPECT_NE(QApplication::overrideCursor(), nullptr);
  for (TShapeEx* b : Commands()) EXPECT_FALSE(b->isEnabled());
  w.EndBusy();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  for (TShapeEx* b : Commands()) EXPECT_TRUE(b->isEnabled());
}

TEST_F(MainWindowTest, shouldToggleTheDebugPanelBesideThePages) {
  w.seTerminalClick();
  EXPECT_FALSE(w.pDebug->isHidden());
  EXPECT_EQ(w.width(), 845);
  EXPECT_EQ(w.pDebug->x(), 151 + 521 + 32);
  EXPECT_EQ(w.pDebug->width(), 845 - w.pDebug->x() - 16);
  w.seTerminalClick();
  EXPECT_TRUE(w.pDebug->isHidden());
  EXPECT_EQ(w.width(), 700);
}

TEST_F(MainWindowTest, shouldReportAFailedOpenAndStayClosedAndUsable) {
  // COM 9 is published but is no serial line.
  const std::string file = env.Path("notatty");
  { std::ofstream(file) << "x"; }
  ASSERT_EQ(symlink(file.c_str(), env.Path("com9").c_str()), 0);
  TAfPortComboBox* picker = w.uiConnection->AfPortComboBox1;
  picker->UpdatePortList();
  const int index = picker->findText(QStringLiteral("COM 9"));
  if (index < 0) GTEST_SKIP() << "the picker does not list a file as a port";
  picker->setCurrentIndex(index);
  emit picker->activated(index);
  ASSERT_TRUE(w.uiConnection->bOpenClose->isEnabled());
  const int before = static_cast<int>(env.messages.size());
  w.uiConnection->bOpenClose->click();
  ASSERT_EQ(env.messages.size(), before + 1);
  EXPECT_TRUE(env.messages.back().contains(QStringLiteral("COM9"))) << env.messages.back().toStdString();
  EXPECT_FALSE(worker.IsPortOpen());
  EXPECT_TRUE(w.uiConnection->bOpenClose->isEnabled());
  EXPECT_TRUE(picker->isEnabled());
  EXPECT_FALSE(w.seDisconnect->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_FALSE(w.pConnection->isHidden());
}

// The inventory of the pages: what a user, a language file and the device texts rely on.

QWidget* Control(TfMain& w, const char* name) { return w.findChild<QWidget*>(QString::fromLatin1(name)); }

TEST_F(MainWindowTest, shouldOfferEveryChoiceListWithItsItemsAndInitialChoice) {
  struct Choice {
    const char* name;
    int index;
    QStringList items;
  };
  const Choice choices[] = {
      {"cbNetworkMode", 1, {"Wired Only", "Wireless Only", "Bridging(One Host)"}},
      {"cbNetworkSpeed", 0, {"100 Mbps", "10 Mbps"}},
      {"cbNetworkDuplex", 0, {"Full", "Half"}},
      {"cbServerCPUPerformence", 0, {"Regular", "Low", "High"}},
      {"cbServicesKeyLength", 0, {"128", "192", "256"}},
      {"cbChannel1LineMode", 0, {"RS232", "RS422", "RS485"}},
      {"cbChannel1Baudrate", 5, {"300", "600", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200", "230400", "460800"}},
      {"cbChannel1LineDatabits", 1, {"7 bit", "8 bit"}},
      {"cbChannel1LineParity", 0, {"No Parity", "Even Parity", "Odd Parity"}},
      {"cbChannel1LineStopBits", 0, {"1 stop bit", "2 stop bits"}},
      {"cbChannel1Flow", 0, {"None", "XON/XOFF flow control", "XON/XOFF Pass Chars to Host"}},
      {"cbChannel1PackingInterval", 0, {"12 msec", "52 msec", "250 msec", "5000 msec"}},
      {"cbChannel1Trailingcharacters", 0, {"None", "One", "Two"}},
      {"cbChannel1ConnectionType", 0, {"TCP", "UDP"}},
      {"cbChannel1ConnectionAcceptIncoming", 0, {"Yes", "No", "With Active Mdm Ctrl In"}},
      {"cbChannel1ConnectionActiveConnect", 0, {"None", "With Any Characters", "With Active Mdm Ctrl In", "With Start Character", "Manual Connection", "Auto Start"}},
      {"cbChannel1ConnectionModemMode", 0, {"None", "Without Echo", "Verbose Mdm Resp & Echo", "Numeric Mdm Resp & Echo", "Verbose Mdm Resp Only", "Numeric Mdm Resp Only"}},
      {"cbChannel1ConnectionLed", 0, {"Blink", "Off"}},
      {"cbChannel1ConnectionConnectResponse", 0, {"None", "Char Response"}},
      {"cbChannel1ConnectionUDPAcceptIncoming", 0, {"Yes", "No", "With Active Mdm Ctrl In"}},
      {"cbChannel1ConnectionUDPDatagramType", 0, {"00", "01", "04", "05", "FD"}},
      {"cbWLANNetworkType", -1, {"Infrastructure", "Ad-Hoc"}},
      {"cbWLANChannel", 0, {"Channel 1", "Channel 2", "Channel 3", "Channel 4", "Channel 5", "Channel 6", "Channel 7", "Channel 8", "Channel 9", "Channel 10", "Channel 11"}},
      {"cbWLANTXDateRate", 3, {"1 Mbps", "2 Mbps", "5.5 Mbps", "11 Mbps", "18 Mbps", "24 Mbps", "36 Mbps", "54 Mbps"}},
      {"cbWLANSecurity", -1, {}},
      {"cbWLANAuthentication", -1, {}},
      {"cbWLANEncryption", -1, {}},
      {"cbWLANKeyType", 1, {"Hex", "Passphrase"}},
      {"cbWLANTXKey", 0, {"1", "2", "3", "4"}},
  };
  for (const Choice& c : choices) {
    auto* combo = qobject_cast<QComboBox*>(Control(w, c.name));
    ASSERT_NE(combo, nullptr) << c.name;
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items.append(combo->itemText(i));
    EXPECT_EQ(items, c.items) << c.name;
    EXPECT_EQ(combo->currentIndex(), c.index) << c.name;
    EXPECT_FALSE(combo->isEditable()) << c.name << " takes only a choice from its list";
  }
}

TEST_F(MainWindowTest, shouldBoundEveryNumericEditAndShowItsNumberInPlainBlack) {
  struct Bounds {
    const char* name;
    int min, max, initial;
  };
  const Bounds edits[] = {
      {"ieServerCahceTimeout", 1, 600, 1},
      {"ieServerKeepAlive", 0, 65, 0},
      {"ieServerHTTPServerPort", 0, 65535, 0},
      {"ieServerMTUSize", 512, 1400, 512},
      {"ieChannel1ConnectionPort", 0, 65535, 10001},
      {"ieChannel1ConnectionRemotePort", 0, 65535, 0},
      {"ieChannel1ConnectionInactivityTimeoutM", 0, 23, 0},
      {"ieChannel1ConnectionInactivityTimeoutS", 0, 59, 0},
      {"ieChannel1ConnectionUDPLocalPort", 0, 65535, 10001},
      {"ieChannel1ConnectionUDPRemotePort", 0, 65535, 0},
      {"IntEdit3", 0, 255, 0},
      {"IntEdit4", 0, 255, 0},
      {"IntEdit5", 0, 255, 0},
      {"IntEdit6", 0, 255, 0},
      {"IntEdit7", 0, 255, 0},
      {"IntEdit8", 0, 255, 0},
      {"IntEdit9", 0, 255, 0},
      {"IntEdit10", 0, 255, 0},
      {"IntEdit11", 0, 255, 0},
      {"IntEdit12", 0, 255, 0},
      {"IntEdit13", 0, 255, 0},
      {"IntEdit14", 0, 255, 0},
      {"IntEdit15", 0, 255, 0},
      {"IntEdit16", 0, 255, 0},
      {"IntEdit17", 0, 255, 0},
      {"IntEdit18", 0, 255, 0},
      {"ieEmailServerPortNumber", 0, 65535, 0},
  };
  for (const Bounds& b : edits) {
    auto* edit = qobject_cast<TIntEdit*>(Control(w, b.name));
    ASSERT_NE(edit, nullptr) << b.name;
    EXPECT_EQ(edit->MinValue(), b.min) << b.name;
    EXPECT_EQ(edit->MaxValue(), b.max) << b.name;
    EXPECT_EQ(edit->text(), QString::number(b.initial)) << b.name;
    EXPECT_TRUE(edit->AutoCorrect()) << b.name;
    // A port or an MTU is no signed quantity: the sign colours would only mislead.
    EXPECT_FALSE(edit->Colored()) << b.name;
    edit->SetValue(b.max);
    EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(Qt::black)) << b.name;
  }
  EXPECT_EQ(w.findChildren<TIntEdit*>().size(), static_cast<qsizetype>(std::size(edits)));
}

TEST_F(MainWindowTest, shouldLabelEveryControlWithItsOwnTextOnItsLine) {
  struct Labelled {
    const char* name;
    const char* text;
  };
  const Labelled controls[] = {
      {"bOpenClose", "Open"},
      {"cbNetworkMode", "Network Mode:"},
      {"rbStaticIP", "Use the following IP configuration"},
      {"ipIP_addr", "IP address:"},
      {"ipnetmask", "Netmask:"},
      {"ipgateway", "Gateway:"},
      {"rbDHCP", "Obtain IP address automatically"},
      {"eDHCPName", "DHCP Host Name:"},
      {"cbNetworkBOOTP", "BOOTP:"},
      {"cbNetworkDHCP", "DHCP:"},
      {"cbNetworkAutoIP", "AutoIP:"},
      {"cbNetworkAutoNegotiate", "Auto Negotiate:"},
      {"cbNetworkSpeed", "Speed:"},
      {"cbNetworkDuplex", "Duplex:"},
      {"chbServerTelnetPassword", "Change Telnet Password:"},
      {"eServerTelnetPass", "Telnet Password:"},
      {"eServerTelnetPass2", "Retype Password:"},
      {"ieServerCahceTimeout", "ARP Cache Timeout:"},
      {"ieServerKeepAlive", "TCP Keepalive:"},
      {"cbServerMonitorModeBootup", "Monitor mode @ Bootup:"},
      {"cbServerCPUPerformence", "CPU Performance Mode:"},
      {"ieServerHTTPServerPort", "HTTP Server Port:"},
      {"ieServerMTUSize", "MTU Size:"},
      {"cbSNMP", "SNMP:"},
      {"eSNMP_Community_Name", "SNMP comunity name:"},
      {"cbTelnetSetup", "Telnet:"},
      {"cbTFTDownload", "TFTP download:"},
      {"cbPort77FEh", "Port 77FEh (30718):"},
      {"cbWebServer", "Web server:"},
      {"cbWebSetup", "Web setup:"},
      {"cbEcho", "ECHO:"},
      {"cbEncryption", "Encryption:"},
      {"cbServicesKeyLength", "Key length (bits):"},
      {"eServicesKey", "Key (hex):"},
      {"cbEnhancedPassword", "Enhanced password:"},
      {"chbServicesChangePass", "Change Password:"},
      {"eServicesPassword", "Password:"},
      {"eServicesPassword2", "Retype Password:"},
      {"cbPort77F0h", "Port 77F0h"},
      {"cbChannel1LineMode", "Protocol:"},
      {"cbChannel1Baudrate", "Baudrate:"},
      {"cbChannel1LineDatabits", "Data Bits:"},
      {"cbChannel1LineParity", "Parity:"},
      {"cbChannel1LineStopBits", "Stop Bits:"},
      {"cbChannel1Flow", "Flow Control:"},
      {"cbChannel1EnablePacking", "Enable Packing:"},
      {"cbChannel1PackingInterval", "Idle Grap Time:"},
      {"cbChannel1Send2Char", "Match 2 Byte Sequence:"},
      {"cbChannel1SendImmediately", "Send frame Only:"},
      {"eChannel1PCMatchByte1", "Match Bytes (HEX):"},
      {"eChannel1PCMatchByte2", "Match Bytes (HEX):"},
      {"cbChannel1Trailingcharacters", "Send Trailing bytes:"},
      {"cbChannel1FlushModeInput1", "With Active Connect"},
      {"cbChannel1FlushModeInput2", "With Passive Connect"},
      {"cbChannel1FlushModeInput3", "At Time of Disconnect"},
      {"cbChannel1FlushModeOuput1", "With Active Connect"},
      {"cbChannel1FlushModeOuput2", "With Passive Connect"},
      {"cbChannel1FlushModeOuput3", "At Time of Disconnect"},
      {"cbChannel1ConnectionType", "Protocol:"},
      {"cbChannel1ConnectionAcceptIncoming", "Accept Incoming:"},
      {"cbChannel1ConnectionActiveConnect", "Active Connect:"},
      {"eChannel1ConnectionStartChar", "Start Character:"},
      {"cbChannel1ConnectionPasswordRequired", "Password Required:"},
      {"eChannel1ConnectionPassword", "Pasword:"},
      {"cbChannel1ConnectionModemMode", "Modem Mode:"},
      {"cbChannel1ConnectionModemEscapeSequencePassThrough", "Modem Escape Seq. Pass Through:"},
      {"cbChannel1ConnectionShowIPAfterRing", "Show IP Address After RING:"},
      {"ieChannel1ConnectionPort", "Port:"},
      {"cbChannel1ConnectionComPortCntrl", "Telnet Com Port Cntrl:"},
      {"ipChannel1ConnectionRemoteHost", "Remote Host:"},
      {"eChannel1ConnectionTerminalName", "Terminal Name:"},
      {"ieChannel1ConnectionRemotePort", "Remote Port:"},
      {"cbChannel1ConnectionUseHostlist", "Use Hostlist:"},
      {"cbChannel1ConnectionLed", "LED:"},
      {"cbChannel1ConnectionAutoIncrease4ActiveConnect", "Auto increase for active connect:"},
      {"cbChannel1ConnectionConnectResponse", "Connect Response:"},
      {"cbChannel1ConnectionOnMdmCtrlInDrop", "On Mdm_Ctrl_In Drop:"},
      {"cbChannel1ConnectionHardDisconnect", "Hard Disconnect:"},
      {"ieChannel1ConnectionInactivityTimeoutM", "Inactivity Timeout:"},
      {"ieChannel1ConnectionInactivityTimeoutS", ":"},
      {"cbChannel1ConnectionCheckEOT", "Check EOT(Ctrl-D):"},
      {"cbChannel1ConnectionUDPAcceptIncoming", "Accept Incoming:"},
      {"ieChannel1ConnectionUDPLocalPort", "Local Port:"},
      {"cbChannel1ConnectionUDPDatagramType", "Datagram Type:"},
      {"ipChannel1ConnectionUDPRemoteHost", "Remote Host:"},
      {"ieChannel1ConnectionUDPRemotePort", "Remote Port:"},
      {"chbChannel1ConnectionUDPUseBroadcast", "Use Broadcast:"},
      {"IntEdit3", "0."},
      {"IntEdit4", "1."},
      {"IntEdit5", "2."},
      {"IntEdit6", "3."},
      {"IntEdit7", "4."},
      {"IntEdit8", "5."},
      {"IntEdit9", "6."},
      {"IntEdit10", "7."},
      {"IntEdit11", "8."},
      {"IntEdit12", "9."},
      {"IntEdit13", "10."},
      {"IntEdit14", "11."},
      {"IntEdit15", "12."},
      {"IntEdit16", "13."},
      {"IntEdit17", "14."},
      {"IntEdit18", "15."},
      {"eWLANName", "Network Name (SSID):"},
      {"cbWLANNetworkType", "NetworkType:"},
      {"cbWLANChannel", "Channel:"},
      {"cbWLANTXDateRate", "TX Date rate:"},
      {"cbWLANAutoFallback", "Auto fallback:"},
      {"cbWLANRadioPowerManagement", "Radio Power Management:"},
      {"cbWLANSecurity", "Security:"},
      {"cbWLANAuthentication", "Authentication:"},
      {"cbWLANEncryption", "Encryption:"},
      {"chbWLANChangeKey", "Change Key:"},
      {"cbWLANKeyType", "Key Type"},
      {"eWLANKey", "Key: "},
      {"cbWLANTXKey", "TX Key:"},
      {"ipEmailServer", "Server IP Address:"},
      {"ieEmailServerPortNumber", "Serve Port:"},
      {"eEmailDomainName", "Domain Name:"},
      {"eEmailUnitName", "Unit Name:"},
      {"eEmailRecipinet1EmailAddress", "Recipinet 1 Email Address:"},
      {"eEmailRecipinet2EmailAddress", "Recipinet 2 Email Address:"},
      {"bDebugSave", "Save>XML"},
      {"bDebugLoad", "XML>Load"},
      {"Button1", "Button1"},
  };
  for (const Labelled& c : controls) {
    QWidget* control = Control(w, c.name);
    ASSERT_NE(control, nullptr) << c.name;
    const QString text = QString::fromUtf8(c.text);
    if (auto* own = qobject_cast<QAbstractButton*>(control); own && !own->text().isEmpty()) {
      EXPECT_EQ(own->text(), text) << c.name;
      continue;
    }
    bool found = false;
    for (QObject* o : control->parent()->children()) {
      auto* label = qobject_cast<QLabel*>(o);
      if (label && label->text() == text && label->x() < control->x() && std::abs(label->y() - control->y()) <= 8)
        found = true;
    }
    EXPECT_TRUE(found) << c.name << " has no label \"" << c.text << "\" to its left";
  }
}

TEST_F(MainWindowTest, shouldShowOnlyTheFirstFlushModeHintOfEachGroup) {
  const QString active = QStringLiteral("Clear with a connection that is initiated from the device to the network");
  const QString passive = QStringLiteral("Clear with a connection initiated from the network to the device");
  const QString disconnect =
      QStringLiteral("Clear when the network connection to or from the device is disconnected");
  Ui::pcChannel1& c = w.pcChannel1->Form();
  for (QCheckBox* first : {c.cbChannel1FlushModeInput1, c.cbChannel1FlushModeOuput1}) {
    EXPECT_EQ(ControlHint(first), active);
    EXPECT_TRUE(ControlShowHint(first));
    EXPECT_EQ(first->toolTip(), active);
  }
  for (QCheckBox* quiet : {c.cbChannel1FlushModeInput2, c.cbChannel1FlushModeOuput2})
    EXPECT_EQ(ControlHint(quiet), passive);
  for (QCheckBox* quiet : {c.cbChannel1FlushModeInput3, c.cbChannel1FlushModeOuput3})
    EXPECT_EQ(ControlHint(quiet), disconnect);
  for (QCheckBox* quiet : {c.cbChannel1FlushModeInput2, c.cbChannel1FlushModeInput3, c.cbChannel1FlushModeOuput2,
                           c.cbChannel1FlushModeOuput3}) {
    EXPECT_FALSE(ControlShowHint(quiet)) << quiet->objectName().toStdString();
    EXPECT_TRUE(quiet->toolTip().isEmpty()) << quiet->objectName().toStdString();
  }
}

TEST_F(MainWindowTest, shouldOpenTheMakersPageOnlyOnALeftClickOnTheLink) {
  TUrlRecorder browser;
  QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "Open");
  QDesktopServices::setUrlHandler(QStringLiteral("http"), &browser, "Open");
  w.show();
  const QPoint centre = w.Label65->rect().center();
  QTest::mouseClick(w.Label65, Qt::RightButton, {}, centre);
  EXPECT_TRUE(browser.opened.isEmpty()) << "a right click opens nothing";
  QTest::mousePress(w.Label65, Qt::LeftButton, {}, centre);
  QTest::mouseRelease(w.Label65, Qt::LeftButton, {}, QPoint(centre.x(), -40));
  EXPECT_TRUE(browser.opened.isEmpty()) << "a press dragged off the link is no click";
  QTest::mouseClick(w.Label65, Qt::LeftButton, {}, centre);
  ASSERT_EQ(browser.opened.size(), 1);
  EXPECT_EQ(browser.opened.front().scheme().left(4), QStringLiteral("http"));
  QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
  QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
  w.hide();
}

TEST(VersionCaption, shouldFollowThePatternAndTheBuildVersion) {
  const std::vector<int> v{1, 2, 3, 4};
  EXPECT_EQ(TfMain::FormatVersionCaption(QStringLiteral("kaVRUNE setup"), QStringLiteral("kaVRUNE setup v.x.y"), v),
            QStringLiteral("kaVRUNE setup"));
  EXPECT_EQ(TfMain::FormatVersionCaption(QStringLiteral("kaVRUNE setup"), QStringLiteral("kaVRUNE setup v.x.y"), {}),
            QStringLiteral("kaVRUNE setup v.x.y"));
  EXPECT_EQ(TfMain::FormatVersionCaption(QStringLiteral("%s %d.%d (build %d)"), QStringLiteral("Setup"), v),
            QStringLiteral("Setup 1.2 (build 3)"));
  EXPECT_EQ(TfMain::FormatVersionCaption(QString(), QStringLiteral("Setup"), v), QStringLiteral("Setup"));
  // More numbers than a version has leave the rest as written rather than failing.
  EXPECT_EQ(TfMain::FormatVersionCaption(QStringLiteral("v%d.%d.%d.%d.%d"), QStringLiteral("x"), v),
            QStringLiteral("v1.2.3.4.%d"));
}

TEST_F(MainWindowTest, shouldSetTheVersionCaptionWhenShown) {
  w.show();
  EXPECT_EQ(w.windowTitle(), QStringLiteral("kaVRUNE setup"));
  w.hide();
}

TEST_F(MainWindowTest, shouldWalkAndClickTheMenuColumnFromTheKeyboard) {
  w.EnableCommands(true);
  // Tab goes down the column as it is drawn.
  QList<TShapeEx*> column = {w.seNetwork, w.seServer, w.seServices, w.seChannel1, w.seChannel2, w.seWLAN,
                             w.seApplySettings, w.seDefault, w.seReload, w.seDisconnect, w.ShapeEx1, w.ShapeEx8};
  for (qsizetype i = 0; i + 1 < column.size(); ++i)
    EXPECT_EQ(NextTabStop(column[i]), column[i + 1]) << column[i]->objectName().toStdString();
  QTest::keyClick(w.seServer, Qt::Key_Space);
  EXPECT_FALSE(w.pServer->isHidden());
  EXPECT_TRUE(w.seServer->Down());
  QTest::keyClick(w.seWLAN, Qt::Key_Return);
  EXPECT_FALSE(w.pWLAN->isHidden());
  QTest::keyClick(w.seNetwork, Qt::Key_A);
  EXPECT_TRUE(w.pNetwork->isHidden()) << "other keys click nothing";
}

// Tab walks each page as it reads: down a column, left to right within a row, up only to the
// top of a column further right. It visits every control of the page once, without leaving it.
TEST_F(MainWindowTest, shouldTabThroughEveryPageInReadingOrder) {
  QWidget* page = nullptr;
  auto controlOf = [&](QWidget* stop) {  // the field of an IP address edit stands for the edit
    while (stop->parentWidget() != page && qstrcmp(stop->parentWidget()->metaObject()->className(), "QWidget") != 0)
      stop = stop->parentWidget();
    return stop;
  };
  auto walk = [&](QWidget* shown, const char* state) {
    page = shown;
    QList<QWidget*> order;  // controls of the page in Tab order, starting anywhere in the window
    bool left = false;
    for (QWidget* at = NextTabStop(&w); at != &w && !(left && page->isAncestorOf(at)); at = NextTabStop(at)) {
      if (page->isAncestorOf(at)) {
        if (order.isEmpty() || order.back() != controlOf(at)) order.append(controlOf(at));
      } else {
        left = !order.isEmpty();
      }
    }
    QList<QWidget*> all;
    for (QWidget* c : page->findChildren<QWidget*>())
      if (c->isVisibleTo(page) && (c->focusPolicy() & Qt::TabFocus) && !c->focusProxy() && !all.contains(controlOf(c)))
        all.append(controlOf(c));
    EXPECT_EQ(order.size(), all.size()) << state << ": every control once, and Tab stays on the page until done";
    for (qsizetype i = 0; i + 1 < order.size(); ++i) {
      const QPoint a = order[i]->mapTo(page, QPoint()), b = order[i + 1]->mapTo(page, QPoint());
      const bool up = b.y() < a.y() - 4, down = b.y() > a.y() + 4, back = b.x() < a.x() - 4, on = b.x() > a.x() + 4;
      EXPECT_TRUE(up ? on : (!back || down)) << state << ": " << order[i]->objectName().toStdString() << " -> "
                                             << order[i + 1]->objectName().toStdString();
    }
  };
  for (QWidget* p : Pages()) {
    w.ShowPage(p);
    walk(p, p->objectName().toUtf8().constData());
  }
  w.ShowPage(w.pcChannel1);
  w.pcChannel1->setCurrentIndex(0);
  walk(w.pcChannel1->currentWidget(), "serial settings");
  w.pcChannel1->setCurrentIndex(1);
  walk(w.pcChannel1->currentWidget(), "TCP connection");
  w.pcChannel1->SetConnectMode(0x0C);
  walk(w.pcChannel1->currentWidget(), "UDP connection");
}

TEST(MainWindowFiles, shouldKeepWorkingCopiesInTheUsersStateFolder) {
  TWindowTestEnv env;
  TKaVruneAI worker;
  TfMain w(worker, nullptr, env.Dir());
  w.LoadReadDocument(TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText)->Root());
  EXPECT_TRUE(QFile::exists(env.Dir() + QStringLiteral("/state/kavrune/temp_load.xml")));
  EXPECT_TRUE(env.messages.isEmpty()) << env.messages.join('|').toStdString();
}

}  // namespace

#include "tst_uMain.moc"
