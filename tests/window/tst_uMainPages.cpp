// The live pages without a device: the rules' enable states, the codecs on the controls, loading
// read documents with their awkward texts, building write documents, channel switches and files.

#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPdfWriter>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <map>
#include <set>

#include "ComCtrlsAdds.h"
#include "ShapeEx.h"
#include "SimStates.h"
#include "WindowTestSupport.h"
#include "uHexByteEdit.h"
#include "uIntEdit.h"
#include "uKaVruneBinding.h"
#include "uKaVruneIdentity.h"
#include "uMain.h"
#include "uMainForms.h"
#include "uMainPrivate.h"
#include "uSettingsSheet.h"
#include "uStatusLine.h"

namespace {

class LivePagesTest : public ::testing::Test {
 protected:
  LivePagesTest() { w.SetWorkingDirectory(env.Dir()); }

  // A read document from its sections' XML.
  TXmlElement Read(const std::string& sections) {
    return TXmlDocument::CreateFromText("<kaVrune>" + sections + "</kaVrune>")->Root();
  }
  TXmlElement Build() {
    TXmlElement root = TXmlDocument::CreateFromText("<xml/>")->Root();
    w.BuildWriteDocument(root);
    return root;
  }
  static std::string Key(const TXmlElement& root, const std::string& path) {
    const TXmlElement e = FindNodePath(root, path, false);
    return e ? e.Text() : "<missing>";
  }
  // The value the pages give for a setting.
  std::string Value(const std::string& section, const std::string& key) {
    const TDeviceSettings settings = w.PagesSettings();
    const std::string* value = settings.Find(section, key);
    return value ? *value : "<missing>";
  }
  static bool Enabled(QWidget* widget) { return IsOwnEnabled(widget); }
  // The user picks an item: the list's rule runs through its signal.
  static void Choose(QComboBox* list, int item) {
    list->setCurrentIndex(item);
    emit list->activated(item);
  }

  TWindowTestEnv env;
  TDeviceWorker worker;
  TfMain w{worker, nullptr, env.Dir()};
  Ui::pNetwork& n = w.pNetwork->Form();
  Ui::pServer& v = w.pServer->Form();
  Ui::pServices& s = w.pServices->Form();
  Ui::pcChannel1& c = w.pcChannel1->Form();
  Ui::pWLAN& wl = w.pWLAN->Form();
};

// ---------------------------------------------------------------------------------- codecs

TEST_F(LivePagesTest, shouldShowTheInterfaceByteOfTheLineSettings) {
  Choose(c.cbChannel1LineMode, 2);
  Choose(c.cbChannel1LineDatabits, 0);
  Choose(c.cbChannel1LineParity, 2);
  Choose(c.cbChannel1LineStopBits, 1);
  EXPECT_EQ(c.lChannel1_IFMode->text(), "DBh");
  w.pcChannel1->ResetChannelControls();
  EXPECT_EQ(c.lChannel1_IFMode->text(), "4Ch");
}

TEST_F(LivePagesTest, shouldPackAndSpreadTheConnectMode) {
  w.pcChannel1->SetConnectMode(0xC0);
  EXPECT_EQ(c.cbChannel1ConnectionType->currentIndex(), 0);
  EXPECT_EQ(c.cbChannel1ConnectionAcceptIncoming->currentIndex(), 0);
  EXPECT_EQ(c.cbChannel1ConnectionModemMode->currentIndex(), 0);
  EXPECT_EQ(c.cbChannel1ConnectionActiveConnect->currentIndex(), 0);
  EXPECT_EQ(c.cbChannel1ConnectionConnectResponse->currentIndex(), 0);
  EXPECT_FALSE(c.cbChannel1ConnectionUseHostlist->isChecked());
  EXPECT_FALSE(c.pChannel1ConnectionTCP->isHidden());

  c.cbChannel1ConnectionActiveConnect->setCurrentIndex(3);
  c.cbChannel1ConnectionConnectResponse->setCurrentIndex(1);
  c.cbChannel1ConnectionUseHostlist->setChecked(true);
  EXPECT_EQ(w.pcChannel1->GetConnectMode(), 0xF3);
  w.pcChannel1->SetConnectMode(0xF3);
  EXPECT_EQ(w.pcChannel1->GetConnectMode(), 0xF3);
  EXPECT_TRUE(Enabled(c.eChannel1ConnectionStartChar));

  w.pcChannel1->SetConnectMode(0x0C);
  EXPECT_EQ(c.cbChannel1ConnectionType->currentIndex(), 1);
  EXPECT_EQ(c.cbChannel1ConnectionUDPAcceptIncoming->currentIndex(), 1);
  EXPECT_TRUE(c.pChannel1ConnectionTCP->isHidden());
  EXPECT_FALSE(Enabled(c.cbChannel1FlushModeInput1));
  w.pcChannel1->SetConnectMode(0x8C);
  EXPECT_EQ(c.cbChannel1ConnectionUDPAcceptIncoming->currentIndex(), 2);
  EXPECT_EQ(w.pcChannel1->GetConnectMode(), 0x4C);
}

TEST_F(LivePagesTest, shouldSpreadEthernetTypeAndConfigurationFlags) {
  w.pNetwork->SetNetworkSpeedDuplex(4);
  EXPECT_FALSE(n.cbNetworkAutoNegotiate->isChecked());
  EXPECT_EQ(n.cbNetworkSpeed->currentIndex(), 0);
  EXPECT_EQ(n.cbNetworkDuplex->currentIndex(), 1);
  n.cbNetworkSpeed->setCurrentIndex(1);
  n.cbNetworkDuplex->setCurrentIndex(0);
  EXPECT_EQ(w.pNetwork->GetNetworkSpeedDuplex(), 3);
  w.pNetwork->SetIPConfigFlags(6);
  EXPECT_FALSE(n.cbNetworkAutoIP->isChecked());
  EXPECT_TRUE(n.cbNetworkDHCP->isChecked());
  EXPECT_TRUE(n.cbNetworkBOOTP->isChecked());
  EXPECT_EQ(w.pNetwork->GetIPConfigFlags(), 6);
}

TEST_F(LivePagesTest, shouldDisableTheTelnetControlExcludedByAConnectionPassword) {
  w.pcChannel1->SetDisconnectMode(0x50);  // password required and COM-port control
  EXPECT_TRUE(c.cbChannel1ConnectionPasswordRequired->isChecked());
  EXPECT_FALSE(Enabled(c.cbChannel1ConnectionComPortCntrl));
  EXPECT_TRUE(c.cbChannel1ConnectionComPortCntrl->isChecked()) << "its bit comes after the password's";
  EXPECT_EQ(w.pcChannel1->GetDisconnectMode(), 0x50);
  EXPECT_TRUE(Enabled(c.eChannel1ConnectionPassword));
  w.pcChannel1->SetDisconnectMode(0);
  c.cbChannel1ConnectionComPortCntrl->setChecked(true);
  c.cbChannel1ConnectionPasswordRequired->setChecked(true);
  EXPECT_FALSE(c.cbChannel1ConnectionComPortCntrl->isChecked());
  EXPECT_FALSE(Enabled(c.eChannel1ConnectionTerminalName));
}

// ---------------------------------------------------------------------------------- rules

TEST_F(LivePagesTest, shouldEnableTheGroupsOfEachNetworkMode) {
  n.rbStaticIP->setChecked(true);
  Choose(n.cbNetworkMode, 2);
  for (QWidget* x : {static_cast<QWidget*>(n.rbStaticIP), static_cast<QWidget*>(n.ipIP_addr),
                     static_cast<QWidget*>(n.cbNetworkDHCP), static_cast<QWidget*>(wl.eWLANName)})
    EXPECT_FALSE(Enabled(x)) << x->objectName().toStdString();
  EXPECT_TRUE(Enabled(n.cbNetworkAutoNegotiate));
  Choose(n.cbNetworkMode, 0);
  EXPECT_TRUE(Enabled(n.ipIP_addr));
  EXPECT_FALSE(Enabled(n.eDHCPName));
  EXPECT_FALSE(Enabled(wl.eWLANName));
  n.rbDHCP->setChecked(true);
  EXPECT_FALSE(Enabled(n.ipgateway));
  EXPECT_TRUE(Enabled(n.eDHCPName));
  EXPECT_TRUE(Enabled(n.cbNetworkBOOTP));
  Choose(n.cbNetworkMode, 1);
  EXPECT_TRUE(Enabled(wl.eWLANName));
  EXPECT_FALSE(Enabled(n.cbNetworkSpeed));
}

TEST_F(LivePagesTest, shouldWarnOfTheHighestBaudRateOnlyWithoutHighCpuPerformance) {
  auto warned = [&] {
    return c.lChannel1Baudrate->palette().color(QPalette::WindowText) == QColor(255, 0, 0) &&
           c.cbChannel1Baudrate->toolTip() == "Requires CPU high performance! (Server)";
  };
  Choose(c.cbChannel1Baudrate, 10);
  EXPECT_FALSE(warned()) << "230400";
  Choose(c.cbChannel1Baudrate, 11);
  EXPECT_TRUE(warned()) << "460800";
  Choose(v.cbServerCPUPerformence, 2);
  EXPECT_TRUE(warned()) << "the CPU mode does not run the baud rate's rule";
  Choose(c.cbChannel1Baudrate, 11);
  EXPECT_FALSE(warned());
  EXPECT_TRUE(c.cbChannel1Baudrate->toolTip().isEmpty());
}

TEST_F(LivePagesTest, shouldFlagTheServicesKeyAndUndoANonHexCharacter) {
  c.cbChannel1Baudrate->setFocus();
  s.eServicesKey->setText(QString(31, QLatin1Char('a')));
  EXPECT_EQ(s.lServicesKeyLength->text(), "124 bits");
  EXPECT_TRUE(s.lServicesKeyLength->font().bold());
  s.eServicesKey->setText(QString(32, QLatin1Char('a')));
  EXPECT_FALSE(s.lServicesKeyLength->font().bold());
  Choose(s.cbServicesKeyLength, 2);
  EXPECT_TRUE(s.lServicesKeyLength->font().bold());

  s.eServicesKey->setText(QStringLiteral("12AB"));
  s.eServicesKey->setCursorPosition(2);
  QTest::keyClicks(s.eServicesKey, QStringLiteral("G"));
  EXPECT_EQ(s.eServicesKey->text(), "12AB");
  EXPECT_EQ(s.eServicesKey->cursorPosition(), 2);
}

TEST_F(LivePagesTest, shouldTypeHexBytesOverTheOldOnesAndKeepThemToOneByte) {
  THexByteEdit* e = c.eChannel1PCMatchByte1;
  e->setText(QStringLiteral("00"));
  e->setCursorPosition(2);
  QTest::keyClicks(e, QStringLiteral("3f"));
  EXPECT_EQ(e->text(), "3f") << "typed over, not into";
  QSignalSpy refused(e, &THexByteEdit::InputRefused);
  QTest::keyClicks(e, QStringLiteral("1G"));
  EXPECT_EQ(e->text(), "3f");
  EXPECT_EQ(refused.count(), 2);
  e->selectAll();
  QTest::keyClick(e, Qt::Key_Backspace);
  EXPECT_EQ(e->text(), "") << "nothing made up in place of the erased byte";
  EXPECT_EQ(w.RangeFaults(), QStringList{"Match Bytes (HEX): allowed: 00 to FF"});
  c.eChannel1ConnectionStartChar->selectAll();
  QTest::keyClick(c.eChannel1ConnectionStartChar, Qt::Key_Delete);
  EXPECT_TRUE(c.eChannel1ConnectionStartChar->TextInRange()) << "no start character at all";
}

TEST_F(LivePagesTest, shouldFollowModemModeAndDatagramType) {
  Choose(c.cbChannel1ConnectionModemMode, 3);
  EXPECT_EQ(c.cbChannel1ConnectionActiveConnect->currentIndex(), 0);
  EXPECT_FALSE(Enabled(c.cbChannel1ConnectionActiveConnect));
  EXPECT_EQ(c.cbChannel1ConnectionConnectResponse->currentIndex(), 1);
  Choose(c.cbChannel1ConnectionModemMode, 0);
  EXPECT_EQ(c.cbChannel1ConnectionConnectResponse->currentIndex(), 0);

  Choose(c.cbChannel1ConnectionUDPDatagramType, 4);
  EXPECT_TRUE(Enabled(c.ieChannel1ConnectionUDPLocalPort));
  EXPECT_TRUE(Enabled(c.IntEdit7));
  EXPECT_TRUE(Enabled(c.ipChannel1ConnectionUDPRemoteHost));
  c.chbChannel1ConnectionUDPUseBroadcast->setChecked(true);
  EXPECT_FALSE(Enabled(c.ipChannel1ConnectionUDPRemoteHost));
  Choose(c.cbChannel1ConnectionUDPDatagramType, 1);
  EXPECT_FALSE(Enabled(c.IntEdit7));
  EXPECT_TRUE(Enabled(c.ieChannel1ConnectionUDPRemotePort));
  Choose(c.cbChannel1ConnectionUDPDatagramType, 2);
  EXPECT_FALSE(Enabled(c.ieChannel1ConnectionUDPRemotePort));
}

TEST_F(LivePagesTest, shouldOfferOnlyNoneAndWepInAdHoc) {
  Choose(wl.cbWLANNetworkType, 0);
  Choose(wl.cbWLANSecurity, 3);
  Choose(wl.cbWLANNetworkType, 1);
  EXPECT_EQ(wl.cbWLANSecurity->count(), 2);
  EXPECT_EQ(wl.cbWLANSecurity->currentIndex(), 0) << "WPA2 has no place in Ad-Hoc";
  Choose(wl.cbWLANNetworkType, 1);
  EXPECT_EQ(wl.cbWLANSecurity->currentIndex(), 1) << "from None a rebuild selects WEP";
  Choose(wl.cbWLANSecurity, 0);
  EXPECT_EQ(wl.cbWLANAuthentication->currentText(), "None");
  EXPECT_FALSE(Enabled(wl.cbWLANEncryption));
}

TEST_F(LivePagesTest, listsWithNothingChosenShouldLeaveTheDevicesSettingAlone) {
  // A value the list does not offer (a WPA suite read in Ad-Hoc, say) leaves it without a
  // choice; the device must then keep its setting, never be answered "-1".
  for (QComboBox* list : {wl.cbWLANSecurity, wl.cbWLANAuthentication, wl.cbWLANEncryption, wl.cbWLANTXKey,
                          wl.cbWLANTXDateRate, wl.cbWLANChannel, n.cbNetworkMode})
    list->setCurrentIndex(-1);
  const TXmlElement root = Build();
  for (const char* key : {"WLAN/Security_suite", "WLAN/Authentication", "WLAN/Encryption", "WLAN/TX_Key_index",
                          "WLAN/TX_Data_rate", "WLAN/Channel", "basic_parameters/Network_mode"})
    EXPECT_EQ(Key(root, key), "<missing>") << key;
  EXPECT_NE(Key(root, "WLAN/Network_name"), "<missing>");
}

TEST_F(LivePagesTest, shouldCountTheWepKeyAgainstItsSize) {
  Choose(wl.cbWLANNetworkType, 0);
  Choose(wl.cbWLANSecurity, 1);
  Choose(wl.cbWLANEncryption, 1);
  Choose(wl.cbWLANKeyType, 0);
  wl.chbWLANChangeKey->setChecked(true);
  wl.eWLANKey->setText(QString(26, QLatin1Char('a')));
  EXPECT_EQ(wl.lWLANKeyLen->text(), "104/104 bits");
  EXPECT_FALSE(wl.lWLANKeyLen->font().bold());
  wl.eWLANKey->setText(QString(27, QLatin1Char('a')));
  EXPECT_EQ(wl.lWLANKeyLen->text(), "108/104 bits");
  EXPECT_TRUE(wl.lWLANKeyLen->font().bold());
  Choose(wl.cbWLANEncryption, 0);
  EXPECT_EQ(wl.lWLANKeyLen->text(), "108/40 bits");
  Choose(wl.cbWLANSecurity, 0);
  EXPECT_TRUE(wl.lWLANKeyLen->isHidden());
  EXPECT_FALSE(Enabled(wl.eWLANKey));
}

// ---------------------------------------------------------------------------------- loading

TEST_F(LivePagesTest, shouldShowTheDefaultAddressAndMarkAMissingIPAddr) {
  w.LoadReadDocument(Read("<basic_parameters><Network_mode>Wired Only</Network_mode></basic_parameters>"));
  EXPECT_TRUE(n.rbStaticIP->isChecked());
  EXPECT_EQ(n.ipIP_addr->Address(), "192.168.1.254");
  EXPECT_EQ(ControlColor(n.ipIP_addr), MissingKeyColor());
  EXPECT_EQ(ControlColor(n.cbNetworkMode), TakenKeyColor());
  EXPECT_EQ(n.cbNetworkMode->currentIndex(), 0) << "the mode the device holds";
  EXPECT_FALSE(Enabled(n.cbNetworkMode));
  EXPECT_TRUE(QFile::exists(env.Dir() + "/temp_load.xml"));
}

TEST_F(LivePagesTest, shouldReadTheConfigurationFlagsFromADhcpAddress) {
  n.ipIP_addr->SetAddress("10.1.1.1");
  w.LoadReadDocument(Read("<basic_parameters><IP_addr>0.0.5.0</IP_addr></basic_parameters>"));
  EXPECT_TRUE(n.rbDHCP->isChecked());
  EXPECT_EQ(w.pNetwork->GetIPConfigFlags(), 5);
  EXPECT_EQ(n.ipIP_addr->Address(), "10.1.1.1");
  EXPECT_FALSE(Enabled(n.ipIP_addr));
  w.LoadReadDocument(Read("<basic_parameters><IP_addr>0.0.</IP_addr></basic_parameters>"));
  EXPECT_EQ(w.pNetwork->GetIPConfigFlags(), 5);
}

TEST_F(LivePagesTest, shouldConvertTheDevicesExpertAndWlanTexts) {
  w.LoadReadDocument(
      Read("<Expert><TCP_Keepalive>45s</TCP_Keepalive><ARP_cache_timeout>45</ARP_cache_timeout>"
           "<Ethernet_connection_type>10Mb/FD</Ethernet_connection_type></Expert>"
           "<WLAN><TX_Data_rate>54 Mbps auto fallback</TX_Data_rate><Channel>12</Channel>"
           "<Country>Europe (ETSI)</Country></WLAN>"));
  EXPECT_EQ(wl.Label85->text(), "Europe (ETSI)") << "the unit's own country, never a fixed one";
  EXPECT_EQ(v.ieServerKeepAlive->Value(), 45);
  EXPECT_EQ(v.ieServerCahceTimeout->Value(), 45);
  EXPECT_EQ(w.pNetwork->GetNetworkSpeedDuplex(), 3);
  EXPECT_EQ(wl.cbWLANTXDateRate->currentText(), "54 Mbps");
  EXPECT_TRUE(wl.cbWLANAutoFallback->isChecked());
  EXPECT_EQ(wl.cbWLANChannel->currentIndex(), 0) << "a channel outside the list changes nothing";
  EXPECT_EQ(ControlColor(v.ieServerMTUSize), MissingKeyColor());
  w.LoadReadDocument(Read("<WLAN><Network_name>lab</Network_name><TX_Data_rate>54Mbps</TX_Data_rate></WLAN>"));
  EXPECT_EQ(wl.cbWLANTXDateRate->currentText(), "54 Mbps") << "a rate with no name is no value";
  EXPECT_EQ(ControlColor(wl.cbWLANTXDateRate), MissingKeyColor());
  EXPECT_EQ(wl.Label85->text(), "") << "a unit that names no country";
  EXPECT_FALSE(wl.cbWLANAutoFallback->isChecked());
}

TEST_F(LivePagesTest, shouldDecodeTheChannelsTcpTexts) {
  w.LoadReadDocument(
      Read("<Channel_1><IF_Mode>20</IF_Mode><Flow>FF</Flow><Connect_Mode>C0</Connect_Mode>"
           "<Disconn_Mode>C0 Disconn Time: 01:30</Disconn_Mode>"
           "<Remote_IP_Adr>10.0.0.7, Port 10001 Start Char: 0D</Remote_IP_Adr></Channel_1>"
           "<Channel_2><Disconn_Mode>05</Disconn_Mode>"
           "<Remote_IP_Adr>10.0.0.8, Port 7</Remote_IP_Adr></Channel_2>"));
  w.PageButtonClick(w.seChannel1);
  EXPECT_EQ(c.cbChannel1LineMode->currentIndex(), 0);
  EXPECT_EQ(c.cbChannel1LineDatabits->currentIndex(), 1) << "an unlisted field leaves its list";
  EXPECT_EQ(c.cbChannel1Flow->currentIndex(), -1) << "a flow control the list lacks shows as none of its items";
  EXPECT_EQ(w.pcChannel1->GetDisconnectMode(), 0xC0);
  EXPECT_EQ(c.ieChannel1ConnectionInactivityTimeoutM->Value(), 1);
  EXPECT_EQ(c.ieChannel1ConnectionInactivityTimeoutS->Value(), 30);
  EXPECT_EQ(c.ipChannel1ConnectionRemoteHost->Address(), "10.0.0.7");
  EXPECT_EQ(c.ieChannel1ConnectionRemotePort->Value(), 10001);
  EXPECT_EQ(c.eChannel1ConnectionStartChar->text(), "0D");

  w.PageButtonClick(w.seChannel2);
  EXPECT_EQ(w.pcChannel1->GetDisconnectMode(), 0x01) << "bits 1 and 2 have no control";
  EXPECT_EQ(c.ieChannel1ConnectionInactivityTimeoutM->Value(), 0);
  EXPECT_EQ(c.eChannel1ConnectionStartChar->text(), "") << "no start character made up";
  EXPECT_EQ(c.lChannel1_IFMode->text(), "4Ch") << "a missing interface byte reads as 4C";
}

TEST_F(LivePagesTest, shouldFillTheDeviceAddressTableFromItsTokens) {
  w.LoadReadDocument(
      Read("<Channel_2><Connect_Mode>CC</Connect_Mode><Datagram_Type>FD</Datagram_Type>"
           "<Device_Address_info>1 2 3 300</Device_Address_info></Channel_2>"));
  w.PageButtonClick(w.seChannel2);
  EXPECT_EQ(w.pcChannel1->GetUDPDeviceAddress(0), 1);
  EXPECT_EQ(w.pcChannel1->GetUDPDeviceAddress(2), 3);
  EXPECT_EQ(w.pcChannel1->GetUDPDeviceAddress(3), 300) << "a token past a byte stays the unit's";
  EXPECT_EQ(w.pcChannel1->GetUDPDeviceAddress(15), 0);
  EXPECT_TRUE(Enabled(c.IntEdit18));
}

TEST_F(LivePagesTest, shouldKeepChannelOnesRemoteHostWhereChannelTwoLacksIt) {
  w.LoadReadDocument(
      Read("<Channel_1><Remote_IP_Adr>10.0.0.7, Port 99 Start Char: 0D</Remote_IP_Adr></Channel_1>"
           "<Channel_2><Port>5</Port></Channel_2>"));
  w.PageButtonClick(w.seChannel2);
  EXPECT_EQ(c.ipChannel1ConnectionRemoteHost->Address(), "10.0.0.7");
  EXPECT_EQ(c.ieChannel1ConnectionRemotePort->Value(), 99);
  EXPECT_FALSE(w.CurrentReadDocument().FirstChild("Channel_2").FirstChild("Remote_IP_Adr"))
      << "the read document stays as the device reported it";
}

// ---------------------------------------------------------------------------------- building

TEST_F(LivePagesTest, shouldBuildOnlyTheFiveSectionsBeforeAnyRead) {
  const TXmlElement root = Build();
  std::vector<std::string> names;
  for (const TXmlElement& e : root.Children()) names.push_back(e.Name());
  EXPECT_EQ(names, (std::vector<std::string>{"basic_parameters", "Security", "Expert", "E-mail", "WLAN"}));
}

TEST_F(LivePagesTest, shouldGiveTheNetworkAndServicesSettings) {
  n.rbDHCP->setChecked(true);
  w.pNetwork->SetIPConfigFlags(5);
  s.cbSNMP->setChecked(true);
  s.cbEncryption->setChecked(true);
  s.eServicesKey->setText(QString(32, QLatin1Char('F')));
  s.cbEnhancedPassword->setChecked(true);
  s.chbServicesChangePass->setChecked(true);
  s.eServicesPassword->setText("one");
  s.eServicesPassword2->setText("two");
  EXPECT_EQ(Value("basic_parameters", "IP_Address"), "0.0.5.0");
  EXPECT_EQ(Value("basic_parameters", "Enter_new_DHCP_device_Name"), "");
  EXPECT_EQ(Value("basic_parameters", "Enter_new_Password"), "<missing>");
  EXPECT_EQ(Value("Security", "Disable_SNMP"), "N");
  EXPECT_EQ(Value("Security", "Enable_Encryption"), "Y");
  EXPECT_EQ(Value("Security", "Key_length_in_bits"), "128");
  EXPECT_EQ(Value("Security", "Enter_Key"), std::string(32, 'F'));
  EXPECT_EQ(Value("Security", "Enter_Password"), "<missing>") << "the entries disagree";
  EXPECT_EQ(Key(Build(), "Security/Change_Key"), "Y") << "the decision goes with the key";

  s.eServicesKey->setText(QString(31, QLatin1Char('F')));
  EXPECT_EQ(Value("Security", "Enter_Key"), "<missing>") << "only a key of exactly the chosen size";
  s.eServicesPassword2->setText("one");
  EXPECT_EQ(Value("Security", "Enter_Password"), "one");
  s.cbSNMP->setChecked(false);
  EXPECT_EQ(Value("Security", "SNMP_Community_Name"), "<missing>") << "a disabled edit is left out";
}

TEST_F(LivePagesTest, shouldGiveTheWlanSettingsInTheDevicesForm) {
  Choose(wl.cbWLANNetworkType, 0);
  Choose(wl.cbWLANSecurity, 1);
  Choose(wl.cbWLANEncryption, 0);
  wl.cbWLANTXDateRate->setCurrentIndex(3);
  wl.cbWLANAutoFallback->setChecked(true);
  EXPECT_EQ(Value("WLAN", "Encryption"), "1");
  EXPECT_EQ(Value("WLAN", "TX_Data_rate"), "3:1");
  Choose(wl.cbWLANSecurity, 2);
  Choose(wl.cbWLANEncryption, 1);
  EXPECT_EQ(Value("WLAN", "Encryption"), "1");
  EXPECT_EQ(Value("WLAN", "Security_suite"), "2");
}

TEST_F(LivePagesTest, shouldGiveTheChannelsSettingsInTheDevicesForm) {
  w.LoadReadDocument(Read("<Channel_1><Connect_Mode>C0</Connect_Mode><Port>10001</Port></Channel_1><Channel_2/>"));
  w.PageButtonClick(w.seChannel1);
  w.pcChannel1->SetDisconnectMode(0xC0);
  c.ieChannel1ConnectionInactivityTimeoutM->SetValue(1);
  c.ieChannel1ConnectionInactivityTimeoutS->SetValue(30);
  c.cbChannel1ConnectionShowIPAfterRing->setChecked(true);
  EXPECT_EQ(Value("Channel_1", "DisConnMode"), "C0");
  EXPECT_EQ(Value("Channel_1", "DisConnTime"), "1:30");
  EXPECT_EQ(Value("Channel_1", "ConnectMode"), "C0");
  EXPECT_EQ(Value("Channel_1", "FlushMode"), "0");
  EXPECT_EQ(Value("Channel_1", "I_F_Mode"), "4C");
  EXPECT_EQ(Value("Channel_1", "Show_IP_addr_after__RING"), "Y");
  EXPECT_EQ(Key(Build(), "Channel_1/Port_No"), "10001");
}

TEST_F(LivePagesTest, shouldKeepEachChannelsEditsAcrossSwitches) {
  w.LoadReadDocument(
      Read("<Channel_1><Connect_Mode>C0</Connect_Mode><Port>1001</Port></Channel_1>"
           "<Channel_2><Connect_Mode>C0</Connect_Mode><Port>2002</Port></Channel_2>"));
  w.PageButtonClick(w.seChannel1);
  EXPECT_EQ(c.ieChannel1ConnectionPort->Value(), 1001);
  c.ieChannel1ConnectionPort->SetValue(1111);
  w.PageButtonClick(w.seChannel2);
  EXPECT_EQ(c.ieChannel1ConnectionPort->Value(), 2002);
  EXPECT_TRUE(Enabled(c.cbChannel1LineMode));
  c.ieChannel1ConnectionPort->SetValue(2222);
  w.PageButtonClick(w.seChannel1);
  EXPECT_EQ(c.ieChannel1ConnectionPort->Value(), 1111);
  EXPECT_FALSE(Enabled(c.cbChannel1LineMode));
  const TXmlElement root = Build();
  EXPECT_EQ(Key(root, "Channel_2/Port_No"), "2222");
  EXPECT_EQ(Key(root, "Channel_1/Port_No"), "1111");
}

TEST_F(LivePagesTest, shouldKeepASmallDisconnectByteAcrossChannelSwitches) {
  w.LoadReadDocument(
      Read("<Channel_1><Connect_Mode>C0</Connect_Mode><Disconn_Mode>09 Disconn Time: 00:10</Disconn_Mode>"
           "</Channel_1><Channel_2><Connect_Mode>C0</Connect_Mode></Channel_2>"));
  w.PageButtonClick(w.seChannel1);
  EXPECT_EQ(w.pcChannel1->GetDisconnectMode(), 0x09);
  w.PageButtonClick(w.seChannel2);
  w.PageButtonClick(w.seChannel1);
  EXPECT_EQ(c.cbChannel1ConnectionLed->currentIndex(), 1) << "LED off survives its own written form";
  EXPECT_EQ(w.pcChannel1->GetDisconnectMode(), 0x09);
  EXPECT_EQ(c.ieChannel1ConnectionInactivityTimeoutS->Value(), 10);
  EXPECT_EQ(Key(Build(), "Channel_1/DisConnMode"), "9");
}

// Every channel setting goes through its own written form and comes back unchanged.
TEST_F(LivePagesTest, shouldBringEveryChannelSettingBackAfterASwitch) {
  w.LoadReadDocument(Read("<Channel_1/><Channel_2/>"));
  w.PageButtonClick(w.seChannel1);
  Choose(c.cbChannel1Baudrate, 7);
  Choose(c.cbChannel1LineParity, 2);
  c.cbChannel1Flow->setCurrentIndex(2);
  w.pcChannel1->SetFlushMode(0x85);
  w.pcChannel1->SetPackControl(0x3B);
  c.eChannel1PCMatchByte1->setText("A");
  c.eChannel1PCMatchByte2->setText("0D");
  w.pcChannel1->SetConnectMode(0x53);  // accept with modem control, start character, response
  w.pcChannel1->SetDisconnectMode(0xA9);
  c.ieChannel1ConnectionInactivityTimeoutM->SetValue(3);
  c.ieChannel1ConnectionInactivityTimeoutS->SetValue(7);
  c.ieChannel1ConnectionPort->SetValue(10001);
  c.ipChannel1ConnectionRemoteHost->SetAddress("10.0.0.9");
  c.ieChannel1ConnectionRemotePort->SetValue(4001);
  c.eChannel1ConnectionStartChar->setText("1B");
  c.cbChannel1ConnectionAutoIncrease4ActiveConnect->setChecked(true);
  c.cbChannel1ConnectionShowIPAfterRing->setChecked(true);
  c.cbChannel1ConnectionModemEscapeSequencePassThrough->setChecked(true);
  auto state = [&] {
    return std::vector<std::string>{Std(c.cbChannel1Baudrate->currentText()),
                                    Std(c.lChannel1_IFMode->text()),
                                    std::to_string(c.cbChannel1Flow->currentIndex()),
                                    std::to_string(w.pcChannel1->GetFlushMode()),
                                    std::to_string(w.pcChannel1->GetPackControl()),
                                    Std(c.eChannel1PCMatchByte1->text()),
                                    Std(c.eChannel1PCMatchByte2->text()),
                                    std::to_string(w.pcChannel1->GetConnectMode()),
                                    std::to_string(w.pcChannel1->GetDisconnectMode()),
                                    std::to_string(c.ieChannel1ConnectionInactivityTimeoutM->Value()),
                                    std::to_string(c.ieChannel1ConnectionInactivityTimeoutS->Value()),
                                    std::to_string(c.ieChannel1ConnectionPort->Value()),
                                    Std(c.ipChannel1ConnectionRemoteHost->Address()),
                                    std::to_string(c.ieChannel1ConnectionRemotePort->Value()),
                                    Std(c.eChannel1ConnectionStartChar->text()),
                                    std::to_string(c.cbChannel1ConnectionAutoIncrease4ActiveConnect->isChecked()),
                                    std::to_string(c.cbChannel1ConnectionShowIPAfterRing->isChecked()),
                                    std::to_string(c.cbChannel1ConnectionModemEscapeSequencePassThrough->isChecked())};
  };
  std::vector<std::string> tcp = state();
  w.PageButtonClick(w.seChannel2);
  w.PageButtonClick(w.seChannel1);
  tcp[5] = "0A";  // a kept channel comes back as the device prints it, in two digits
  EXPECT_EQ(state(), tcp);

  w.pcChannel1->SetConnectMode(0xCC);
  Choose(c.cbChannel1ConnectionUDPDatagramType, 4);
  c.chbChannel1ConnectionUDPUseBroadcast->setChecked(false);
  c.ipChannel1ConnectionUDPRemoteHost->SetAddress("10.0.0.255");
  c.ieChannel1ConnectionUDPRemotePort->SetValue(5005);
  c.ieChannel1ConnectionUDPLocalPort->SetValue(6006);
  for (int i = 0; i < 16; ++i) w.pcChannel1->SetUDPDeviceAddress(i, 16 * i + 1);
  auto udp = [&] {
    std::vector<std::string> v = {std::to_string(w.pcChannel1->GetConnectMode()),
                                  Std(c.cbChannel1ConnectionUDPDatagramType->currentText()),
                                  Std(c.ipChannel1ConnectionUDPRemoteHost->Address()),
                                  std::to_string(c.ieChannel1ConnectionUDPRemotePort->Value()),
                                  std::to_string(c.ieChannel1ConnectionUDPLocalPort->Value()),
                                  std::to_string(c.chbChannel1ConnectionUDPUseBroadcast->isChecked())};
    for (int i = 0; i < 16; ++i) v.push_back(std::to_string(w.pcChannel1->GetUDPDeviceAddress(i)));
    return v;
  };
  const std::vector<std::string> unicast = udp();
  w.PageButtonClick(w.seChannel2);
  w.PageButtonClick(w.seChannel1);
  EXPECT_EQ(udp(), unicast);

  // A broadcast has no remote host of its own: only the port comes back.
  c.chbChannel1ConnectionUDPUseBroadcast->setChecked(true);
  c.ieChannel1ConnectionUDPRemotePort->SetValue(7007);
  std::vector<std::string> broadcast = udp();
  w.PageButtonClick(w.seChannel2);
  w.PageButtonClick(w.seChannel1);
  broadcast[2] = "0.0.0.0";
  EXPECT_EQ(udp(), broadcast);
}

TEST_F(LivePagesTest, shouldShowEachFlagInItsOwnBoxAndWriteItBackUnderItsOwnKey) {
  const TSimSettings state = AlternatingFlagsState();
  w.LoadReadDocument(DumpDocument(state)->Root());
  w.PageButtonClick(w.seChannel1);
  // The box, the setting it stands for, and whether it is checked when the device's answer is N.
  const std::vector<std::tuple<QAbstractButton*, const char*, const char*, bool>> boxes = {
      {c.cbChannel1ConnectionModemEscapeSequencePassThrough, "Channel_1", "Send_______in_Modem_Mode", false},
      {c.cbChannel1ConnectionShowIPAfterRing, "Channel_1", "Show_IP_addr_after__RING", false},
      {c.cbChannel1ConnectionAutoIncrease4ActiveConnect, "Channel_1", "Auto_increment_source_port", false},
      {wl.cbWLANRadioPowerManagement, "WLAN", "Enable_power_management", false},
      {v.cbServerMonitorModeBootup, "Expert", "Disable_Monitor_Mode___bootup", true},
      {s.cbSNMP, "Security", "Disable_SNMP", true},
      {s.cbTelnetSetup, "Security", "Disable_Telnet_Setup", true},
      {s.cbTFTDownload, "Security", "Disable_TFTP_Firmware_Update", true},
      {s.cbPort77FEh, "Security", "Disable_Port_77FEh", true},
      {s.cbWebServer, "Security", "Disable_Web_Server", true},
      {s.cbWebSetup, "Security", "Disable_Web_Setup", true},
      {s.cbEcho, "Security", "Disable_ECHO_ports", true},
      {s.cbEncryption, "Security", "Enable_Encryption", false},
      {s.cbEnhancedPassword, "Security", "Enable_Enhanced_Password", false},
      {s.cbPort77F0h, "Security", "Disable_Port_77F0h", true}};
  for (const auto& [box, section, key, inverted] : boxes)
    EXPECT_EQ(box->isChecked(), (state.Get(section, key) == "Y") != inverted) << key;
  const TDeviceSettings written = FromDocument(Build());
  for (const auto& [box, section, key, inverted] : boxes) {
    const std::string* value = written.Find(section, key);
    ASSERT_NE(value, nullptr) << key;
    EXPECT_EQ(*value, state.Get(section, key)) << key;
  }
}

// A unit's own number outside the window's range is shown and kept as it came, and a saved file
// holds it as the unit sent it.
TEST_F(LivePagesTest, shouldKeepAUnitsOwnNumberOutsideItsRangeAsItCame) {
  w.LoadReadDocument(
      Read("<Expert><HTTP_Port_Number>70000</HTTP_Port_Number></Expert>"
           "<Channel_1><Connect_Mode>C0</Connect_Mode>"
           "<Disconn_Mode>C0 Disconn Time: 01:75</Disconn_Mode></Channel_1><Channel_2/>"));
  w.PageButtonClick(w.seChannel1);
  EXPECT_EQ(v.ieServerHTTPServerPort->text(), "70000");
  EXPECT_EQ(c.ieChannel1ConnectionInactivityTimeoutS->text(), "75");
  EXPECT_EQ(Value("Expert", "HTTP_Port_Number"), "70000");
  EXPECT_EQ(Value("Channel_1", "DisConnTime"), "1:75");
  EXPECT_TRUE(w.RangeFaults().isEmpty());
  const QString file = env.Dir() + "/kept.kvx";
  w.SaveSetupFile(file);
  const TDeviceSettings saved = FromDocument(TXmlDocument::LoadFromFile(file.toStdString())->Root());
  EXPECT_EQ(*saved.Find("Expert", "HTTP_Port_Number"), "70000");
  EXPECT_EQ(*saved.Find("Channel_1", "DisConnTime"), "1:75");
}

TEST_F(LivePagesTest, shouldSayTheRangeOfANumberOutsideItAndSendNothingUntilItIsMended) {
  v.ieServerMTUSize->selectAll();
  QTest::keyClicks(v.ieServerMTUSize, QStringLiteral("9999"));
  EXPECT_EQ(v.ieServerMTUSize->text(), "9999");
  EXPECT_EQ(w.StatusLine()->EditsText(), "1 change not applied\nMTU Size: allowed: 512 to 1400")
      << "counted as the question before it is dropped counts it";
  EXPECT_EQ(v.ieServerMTUSize->toolTip(), "allowed: 512 to 1400");
  w.seApplySettingsClick();
  ASSERT_EQ(env.warnings.size(), 1);
  EXPECT_EQ(env.warnings.last(), "Nothing was sent to the device:\nMTU Size: allowed: 512 to 1400");
  const QString file = env.Dir() + "/red.kvx";
  try {
    w.SaveSetupFile(file);
    ADD_FAILURE() << "a file was saved with a stand-in for 9999";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Nothing was saved:\nMTU Size: allowed: 512 to 1400");
  }
  EXPECT_FALSE(QFile::exists(file));
  v.ieServerMTUSize->selectAll();
  QTest::keyClicks(v.ieServerMTUSize, QStringLiteral("1200"));
  EXPECT_TRUE(w.StatusLine()->EditsText().isEmpty());
  EXPECT_TRUE(w.RangeFaults().isEmpty());
  v.ieServerKeepAlive->setText(QStringLiteral("99"));
  EXPECT_TRUE(w.RangeFaults().isEmpty()) << "a device's own value outside the range blocks no Apply";
}

// ---------------------------------------------------------------------------------- files

TEST_F(LivePagesTest, shouldSaveASetupFileInTheDevicesEncodingAndLoadItBack) {
  wl.eWLANName->setText(QStringLiteral("dílna"));
  const QString file = env.Dir() + "/setup.kvx";
  w.SaveSetupFile(file);
  const PXmlDocument saved = TXmlDocument::LoadFromFile(file.toStdString());
  EXPECT_EQ(saved->Root().Name(), "kaVrune");
  EXPECT_EQ(saved->DeclaredEncoding(), "windows-1250");
  EXPECT_EQ(Key(saved->Root(), "WLAN/Network_name"), "dílna");
  wl.eWLANName->clear();
  w.LoadSetupFile(file);
  EXPECT_EQ(wl.eWLANName->text(), QStringLiteral("dílna"));
}

// The sheet says what the pages show, each value beside its label, both channels, each edit
// marked on its line and counted in the head, the unit's own lines (its hardware, the WLAN's
// country on a line of its own) and the time with its zone; a password or key only as set, and
// the edit it came from kept.
TEST_F(LivePagesTest, sheetShouldNameEachValueByItsLabelAndShowNoSecret) {
  TSimSettings state = SimDefaults();
  state.Set("Channel_2", "Port_No", "10077");
  const PXmlDocument read = DumpDocument(state);
  AddIdentity(read->Root(), {"02-00-00-00-00-77", "V9.1.0.0"});
  FindNodePath(read->Root(), "basic_parameters/Hardware", true).SetText("KV-200 rev C");
  FindNodePath(read->Root(), "WLAN/Country", true).SetText("Europe (ETSI)");
  const QString file = env.Dir() + "/unit.xml";
  read->SaveToFile(file.toStdString());
  w.LoadSetupFile(file, false);  // no unit: the file is what the pages show, its unit named
  w.PageButtonClick(w.seChannel1);
  c.eChannel1ConnectionPassword->setText(QStringLiteral("hunter2"));
  const QString text = env.Dir() + "/sheet.txt", pdf = env.Dir() + "/sheet.pdf";
  w.WriteSettingsSheet(text, QStringLiteral("a test"));
  QFile f(text);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QString sheet = QString::fromUtf8(f.readAll());
  f.close();
  for (const char* line :
       {"\n    IP address: +192\\.168\\.1\\.254\n", "\nChannel 2 \u2013 Connection\n(.*\n)*    Port: +10077\n",
        "\n    Password: +set  \\(edited, not applied\\)\n", "\n    Baudrate: +9600\n",
        "\n    Inactivity Timeout: +0:0 \\(min:sec\\)\n",
        "\n    Channel: +Channel 11\n    Country: +Europe \\(ETSI\\)\n",
        "\nNot on the unit +1 lines below are marked \\(edited, not applied\\)\n",
        "\nMAC address +02-00-00-00-00-77\nFirmware +V9.1.0.0\nHardware +KV-200 rev C\n",
        "\nMade +\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d [+-]\\d\\d:\\d\\d\n"})
    EXPECT_TRUE(sheet.contains(QRegularExpression(QString::fromUtf8(line)))) << line << "\n" << sheet.toStdString();
  EXPECT_FALSE(sheet.contains(QStringLiteral("hunter2")));
  EXPECT_EQ(sheet.count(QStringLiteral("(edited")), 2) << "the edit's line and the head alone";
  EXPECT_EQ(c.eChannel1ConnectionPassword->text(), QStringLiteral("hunter2")) << "the edit stays on its channel";
  w.WriteSettingsSheet(pdf, QStringLiteral("a test"));
  QFile p(pdf);
  ASSERT_TRUE(p.open(QIODevice::ReadOnly));
  EXPECT_TRUE(p.read(5) == "%PDF-");
  EXPECT_THROW(w.WriteSettingsSheet(env.Dir() + "/no/such/sheet.pdf", {}), std::runtime_error);
  // The keys as typed: a WEP key on the WLAN page, the encryption key on the Security page.
  Choose(wl.cbWLANSecurity, 1);
  if (!wl.chbWLANChangeKey->isChecked()) wl.chbWLANChangeKey->click();
  QTest::keyClicks(wl.eWLANKey, QStringLiteral("C0FFEE1234"));
  if (!s.cbEncryption->isChecked()) s.cbEncryption->click();
  QTest::keyClicks(s.eServicesKey, QStringLiteral("BADF00D5"));
  ASSERT_EQ(wl.eWLANKey->text(), QStringLiteral("C0FFEE1234"));
  ASSERT_EQ(s.eServicesKey->text(), QStringLiteral("BADF00D5"));
  w.WriteSettingsSheet(text, {});
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QString keyed = QString::fromUtf8(f.readAll());
  f.close();
  EXPECT_FALSE(keyed.contains(QStringLiteral("C0FFEE")) || keyed.contains(QStringLiteral("BADF00D")))
      << keyed.toStdString();
  DumpDocument(state, false)->SaveToFile(file.toStdString());  // a model without WLAN
  w.LoadSetupFile(file, false);
  w.WriteSettingsSheet(text, {});
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_FALSE(QString::fromUtf8(f.readAll()).contains(QStringLiteral("\nWLAN\n")));
}

// On paper a group's lines stand in two columns across the page, and no heading is left alone
// at a page's foot: it goes over to the next page with the lines it heads.
TEST(SettingsSheet, pdfShouldUseThePagesWidthAndKeepEachHeadingWithItsLines) {
  std::vector<TSheetPart> parts;
  for (int p = 0; p < 12; ++p) {
    TSheetPart part{QStringLiteral("Page %1").arg(p), {}};
    for (int g = 0; g < 4; ++g) {
      TSheetGroup group{QStringLiteral("Group %1.%2").arg(p).arg(g), {}};
      for (int l = 0; l < 1 + (p * 7 + g * 3) % 11; ++l)
        group.Lines.push_back({QStringLiteral("Setting %1.%2.%3:").arg(p).arg(g).arg(l), QStringLiteral("value")});
      part.Groups.push_back(group);
    }
    parts.push_back(part);
  }
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter pdf(&buffer);
  pdf.setResolution(300);
  const QSizeF page(pdf.width(), pdf.height());
  const auto doc = SheetDocument({QStringLiteral("Sheet"), {}, {}}, parts, &pdf, page);
  ASSERT_GE(doc->pageCount(), 3);
  const QAbstractTextDocumentLayout* layout = doc->documentLayout();
  auto pageOf = [&](const QTextBlock& b) {
    return static_cast<int>(layout->blockBoundingRect(b).top() / page.height());
  };
  QTextBlock heading;
  std::map<QString, QRectF> at;
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
    if (b.text().isEmpty()) continue;
    at[b.text().replace(QChar::Nbsp, QLatin1Char(' '))] = layout->blockBoundingRect(b);
    if (b.blockFormat().headingLevel() > 0) {
      if (!heading.isValid()) heading = b;
      continue;
    }
    if (heading.isValid()) {
      EXPECT_EQ(pageOf(heading), pageOf(b)) << heading.text().toStdString() << " alone";
    }
    heading = QTextBlock();
  }
  // Group 0.1 has four lines: the third stands beside the first, in the page's right half.
  ASSERT_EQ(at.count(QStringLiteral("Setting 0.1.2:")), 1u);
  const QRectF first = at[QStringLiteral("Setting 0.1.0:")], third = at[QStringLiteral("Setting 0.1.2:")];
  EXPECT_DOUBLE_EQ(first.top(), third.top());
  EXPECT_GE(third.left(), page.width() / 2);
}

TEST_F(LivePagesTest, shouldLoadSetupFilesOfTheOlderWriteForm) {
  const QString file = env.Dir() + "/old.xml";
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(
      "<?xml version=\"1.0\" encoding=\"windows-1250\"?><kaVrune><Expert>"
      "<TCP_Keepalive_time_in_s>0</TCP_Keepalive_time_in_s><ARP_Cache_timeout_in_s>600</ARP_Cache_timeout_in_s>"
      "</Expert><Security><Disable_SNMP>Y</Disable_SNMP></Security><WLAN><Network_name>lab</Network_name></WLAN>"
      "</kaVrune>");
  f.close();
  w.LoadSetupFile(file);
  EXPECT_EQ(v.ieServerKeepAlive->Value(), 0);
  EXPECT_EQ(v.ieServerCahceTimeout->Value(), 600);
  EXPECT_FALSE(s.cbSNMP->isChecked());
  EXPECT_EQ(wl.eWLANName->text(), QStringLiteral("lab"));
}

TEST_F(LivePagesTest, shouldKeepThePagesWhenASetupFileDoesNotParse) {
  const TXmlElement before = Read("<WLAN><Network_name>kept</Network_name></WLAN>");
  w.LoadReadDocument(before);
  const QString file = env.Dir() + "/broken.xml";
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("<kaVrune><WLAN>");
  f.close();
  EXPECT_THROW(w.LoadSetupFile(file), std::exception);
  EXPECT_EQ(w.CurrentReadDocument(), before);
  EXPECT_EQ(wl.eWLANName->text(), "kept");
}

TEST_F(LivePagesTest, shouldReportAnUnwritableWorkingCopyAndLoadAnyway) {
  w.SetWorkingDirectory(env.Dir() + "/missing/dir");
  w.LoadReadDocument(Read("<WLAN><Network_name>loaded</Network_name></WLAN>"));
  EXPECT_EQ(wl.eWLANName->text(), "loaded");
  ASSERT_EQ(env.messages.size(), 1);
  EXPECT_TRUE(env.messages.last().contains("temp_load.xml"));
  EXPECT_TRUE(w.seSaveToFile->isEnabled()) << "the load still ended the busy state";
}

TEST_F(LivePagesTest, shouldFillThePagesFromTheEmptySeedOnDebugLoad) {
  w.bDebugLoadClick();
  EXPECT_TRUE(QFile::exists(env.Dir() + "/temp.xml"));
  EXPECT_EQ(w.CurrentReadDocument().Name(), "xml");
  w.bDebugSaveClick();
  const PXmlDocument saved = TXmlDocument::LoadFromFile(env.Path("temp_save.xml"));
  EXPECT_TRUE(saved->Root().FirstChild("Channel_1")) << "a read, even an empty one, gives both channels";
  w.Button1Click();
  EXPECT_FALSE(w.uiDebug->Memo3->toPlainText().contains("Channel_1")) << "the read document is no scratch space";
}

// ---------------------------------------------------------------------------------- device states

// Two devices that between them hold every list away from its first item: the TCP lists of
// channel 1 once with an active connect and once with a modem mode, channel 2 over UDP, the WLAN
// once in Ad-Hoc with WEP and once in Infrastructure with WPA2.
std::vector<TSimSettings> ListsAwayFromTheirFirstItem() {
  TSimSettings a = SimDefaults();
  a.Set("basic_parameters", "Network_mode", "2");
  a.Set("Expert", "Ethernet_connection_type", "2");
  a.Set("Expert", "CPU_performance", "1");
  a.Set("Channel_1", "Baudrate", "115200");
  a.Set("Channel_1", "I_F_Mode", "D9");
  a.Set("Channel_1", "Flow", "5");
  a.Set("Channel_1", "Pack_Cntrl", "6");
  a.Set("Channel_1", "ConnectMode", "73");
  a.Set("Channel_1", "DisConnMode", "1");
  a.Set("Channel_2", "ConnectMode", "4C");
  a.Set("Channel_2", "Datagram_Type", "1");
  a.Set("WLAN", "Topology", "1");
  a.Set("WLAN", "Channel", "6");
  a.Set("WLAN", "Security_suite", "1");
  a.Set("WLAN", "Authentication", "1");
  a.Set("WLAN", "Encryption", "2");
  a.Set("WLAN", "Key_type_0", "1");
  a.Set("WLAN", "TX_Key_index", "3");
  a.Set("WLAN", "TX_Data_rate", "5:1");
  TSimSettings b = a;
  b.Set("basic_parameters", "Network_mode", "0");
  b.Set("Expert", "CPU_performance", "2");
  b.Set("Channel_1", "ConnectMode", "56");
  b.Set("Channel_1", "Flow", "1");
  b.Set("WLAN", "Topology", "0");
  b.Set("WLAN", "Security_suite", "3");
  b.Set("WLAN", "Authentication", "0");
  b.Set("WLAN", "Encryption", "1");
  return {a, b};
}

TEST_F(LivePagesTest, everyListShouldShowTheValueTheDeviceHolds) {
  std::set<QString> awayFromFirst;
  for (const TSimSettings& state : ListsAwayFromTheirFirstItem()) {
    const PXmlDocument dump = DumpDocument(state);
    w.LoadReadDocument(dump->Root());
    // Where the pages stand for another value than the device reported, a list shows a wrong one.
    for (const TSettingChange& change : Diff(FromReadDocument(dump->Root()), w.PagesSettings())) {
      if (change.From)
        ADD_FAILURE() << change.Row->Section << "/" << change.Row->Key() << ": the device holds " << *change.From
                      << ", the window shows " << change.To;
    }
    for (TShapeEx* channel : {w.seChannel1, w.seChannel2}) {
      w.PageButtonClick(channel);
      for (const QComboBox* list : w.findChildren<QComboBox*>())
        if (list->currentIndex() > 0) awayFromFirst.insert(list->objectName());
    }
  }
  // The port picker and the key length, which no dump shows, are no device lists.
  for (const QComboBox* list : w.findChildren<QComboBox*>()) {
    if (list == w.uiConnection->AfPortComboBox1 || list == s.cbServicesKeyLength) continue;
    EXPECT_TRUE(awayFromFirst.contains(list->objectName()))
        << list->objectName().toStdString() << " kept its first item";
  }
}

// ---------------------------------------------------------------------------------- bindings

// What a control shows.
QString Shown(const QWidget* c) {
  if (const auto* a = qobject_cast<const TIPAddress*>(c)) return a->Address();
  if (const auto* e = qobject_cast<const QLineEdit*>(c)) return e->text();
  if (const auto* l = qobject_cast<const QComboBox*>(c)) return QString::number(l->currentIndex());
  if (const auto* b = qobject_cast<const QAbstractButton*>(c)) return b->isChecked() ? "1" : "0";
  return {};
}

// The caption left of a control on its row.
QString Caption(const QWidget* control) {
  const QRect at = control->geometry();
  const QLabel* best = nullptr;
  for (const QLabel* label : control->parentWidget()->findChildren<const QLabel*>(Qt::FindDirectChildrenOnly)) {
    const QRect g = label->geometry();
    if (!label->text().isEmpty() && g.right() <= at.left() + 4 && g.center().y() >= at.top() &&
        g.center().y() <= at.bottom() && (!best || g.right() > best->geometry().right()))
      best = label;
  }
  return best ? best->text() : QString();
}

std::set<QString> Words(const QString& text) {
  const QStringList words = text.toLower().split(QRegularExpression(QStringLiteral("[^a-z0-9]+")), Qt::SkipEmptyParts);
  return {words.begin(), words.end()};
}

// An edit of the control, whatever rule disabled it.
void Edit(QWidget* c) {
  c->setEnabled(true);
  if (auto* a = qobject_cast<TIPAddress*>(c)) a->SetAddress(a->Address() == "10.1.2.3" ? "10.1.2.4" : "10.1.2.3");
  else if (auto* n = qobject_cast<TIntEdit*>(c))
    n->SetValue(ValueOf(n) < n->MaxValue() ? ValueOf(n) + 1 : n->MinValue());
  else if (auto* e = qobject_cast<QLineEdit*>(c)) e->setText(e->text() == "1F" ? "2E" : "1F");
  else if (auto* l = qobject_cast<QComboBox*>(c)) l->setCurrentIndex((l->currentIndex() + 1) % std::max(1, l->count()));
  else if (auto* b = qobject_cast<QAbstractButton*>(c)) b->setChecked(!b->isChecked());
}

// The settings that b gives that a lacks or holds otherwise.
std::set<std::string> Given(const TDeviceSettings& a, const TDeviceSettings& b) {
  std::set<std::string> given;
  for (const TSettingRow& r : SettingRows())
    if (const std::string* to = b.Find(r); to && (!a.Find(r) || *a.Find(r) != *to)) given.insert(SettingName(r));
  return given;
}

// Every binding of every page: the rows of the table all bound, every setting control bound once,
// and per binding an edit of one of its controls gives its row and no other, and that value,
// loaded, shows on the control again. Secrets are never shown and have their own tests.
TEST_F(LivePagesTest, everyBindingShouldStoreAnEditIntoItsOwnRowAndShowItAgain) {
  const std::vector<std::pair<QWidget*, const TBindings*>> pages = {
      {w.pNetwork, &w.pNetwork->Bindings()},   {w.pServer, &w.pServer->Bindings()},
      {w.pServices, &w.pServices->Bindings()}, {w.pEmail, &w.pEmail->Bindings()},
      {w.pWLAN, &w.pWLAN->Bindings()},         {w.pcChannel1, &w.pcChannel1->Bindings()}};
  std::set<std::string> bound;
  std::map<const QWidget*, int> controls;
  for (const auto& [page, bindings] : pages)
    for (const auto& b : bindings->All()) {
      bound.insert(SettingName(b->Row()));
      for (const QWidget* c : b->Controls()) ++controls[c];
    }
  for (const TSettingRow& row : SettingRows())  // the channel page binds channel 1's rows for both
    EXPECT_TRUE(
        bound.count(SettingName(*FindSettingRow(row.Section == "Channel_2" ? "Channel_1" : row.Section, row.Key()))))
        << SettingName(row) << " has no control";
  for (const auto& [page, bindings] : pages)
    for (const QWidget* c : page->findChildren<QWidget*>()) {
      const auto* button = qobject_cast<const QAbstractButton*>(c);
      const bool part =
          qobject_cast<const TIPAddress*>(c->parentWidget()) || qobject_cast<const QComboBox*>(c->parentWidget());
      if (!part && (qobject_cast<const TIPAddress*>(c) || qobject_cast<const QLineEdit*>(c) ||
                    qobject_cast<const QComboBox*>(c) || (button && button->isCheckable()))) {
        EXPECT_EQ(controls[c], 1) << c->objectName().toStdString() << " bound " << controls[c] << " times";
      }
    }

  // Each binding's row is, of its section's, one whose name shares the most words with the
  // caption of its first control.
  for (const auto& [page, bindings] : pages)
    for (const auto& b : bindings->All()) {
      const std::set<QString> caption = Words(Caption(b->Controls().front()));
      auto shared = [&](const TSettingRow& r) {
        const std::set<QString> name = Words(QString::fromStdString(r.Name));
        return std::count_if(name.begin(), name.end(), [&](const QString& word) { return caption.count(word) > 0; });
      };
      long best = 0;
      for (const TSettingRow& r : SettingRows())
        if (r.Section == b->Row().Section) best = std::max(best, shared(r));
      EXPECT_EQ(shared(b->Row()), best) << SettingName(b->Row()) << " on the control captioned "
                                        << Caption(b->Controls().front()).toStdString();
    }

  auto load = [&](QWidget* page, const TDeviceSettings& settings, int shown) {
    if (page == w.pNetwork) w.pNetwork->Load(settings);
    if (page == w.pServer) w.pServer->Load(settings);
    if (page == w.pServices) w.pServices->Load(settings);
    if (page == w.pEmail) w.pEmail->Load(settings);
    if (page == w.pWLAN) w.pWLAN->Load(settings);
    if (page == w.pcChannel1) {
      w.pcChannel1->TakeChannels(settings, shown);
      w.pcChannel1->ShowChannel(shown);
    }
  };
  // Both states turn on what the rules look at, one way and the other.
  TSimSettings on = SimDefaults();
  for (const auto& [key, value] : std::initializer_list<std::pair<const char*, const char*>>{
           {"Disable_SNMP", "N"}, {"Enable_Encryption", "Y"}, {"Enable_Enhanced_Password", "Y"}})
    on.Set("Security", key, value);
  on.Set("Channel_1", "ConnectMode", "C3");
  on.Set("Channel_1", "DisConnMode", "40");
  on.Set("Channel_2", "ConnectMode", "CC");
  on.Set("Channel_2", "Datagram_Type", "FD");
  on.Set("WLAN", "Topology", "0");
  on.Set("WLAN", "Security_suite", "3");
  TSimSettings off = on;
  off.Set("basic_parameters", "IP_Address", "0.0.5.0");
  off.Set("Channel_1", "DisConnMode", "10");
  off.Set("Channel_2", "Send_as_Broadcast", "Y");
  off.Set("WLAN", "Topology", "1");
  off.Set("WLAN", "Security_suite", "1");
  off.Set("WLAN", "Encryption", "2");
  std::set<const TBinding*> stored;  // an edit of one of its controls gave its row alone
  for (const TSimSettings& state : {on, off}) {
    w.LoadReadDocument(DumpDocument(state)->Root());
    for (int shown : {1, 2}) {
      w.PageButtonClick(shown == 1 ? w.seChannel1 : w.seChannel2);
      const TDeviceSettings base = w.PagesSettings();
      for (const auto& [page, bindings] : pages)
        for (const auto& b : bindings->All()) {
          if (b->Row().Kind == TSettingKind::Secret || (shown == 2 && page != w.pcChannel1)) continue;
          const TSettingRow& row =
              page == w.pcChannel1 ? *FindSettingRow(ChannelSection(shown), b->Row().Key()) : b->Row();
          for (QWidget* c : b->Controls()) {
            load(page, base, shown);
            Edit(c);
            const QString edited = Shown(c);
            const TDeviceSettings after = w.PagesSettings();
            if (Given(base, after) != std::set<std::string>{SettingName(row)}) continue;
            stored.insert(b.get());
            load(page, base, shown);
            load(page, after, shown);
            EXPECT_EQ(Shown(c), edited) << SettingName(row) << " does not show again on "
                                        << c->objectName().toStdString();
          }
          load(page, base, shown);
        }
    }
  }
  for (const auto& [page, bindings] : pages)
    for (const auto& b : bindings->All())
      if (b->Row().Kind != TSettingKind::Secret) {
        EXPECT_TRUE(stored.count(b.get()))
            << SettingName(b->Row()) << " on " << b->Controls().front()->objectName().toStdString();
      }
}

}  // namespace
