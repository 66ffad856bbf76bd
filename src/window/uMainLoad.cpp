// A read document onto the pages: the device's texts turned into control states, the keys the
// device did not report marked, and the rules run as if the user had made the same choices.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "ComCtrlsAdds.h"
#include "uIntEdit.h"
#include "uKaVruneBinding.h"
#include "uKaVruneCodecs.h"
#include "uKaVruneModel.h"
#include "uMain.h"
#include "uMainForms.h"
#include "uMainPrivate.h"
#include "uQtDispatcher.h"

namespace {

// The key's text, starting from its default; false when the key is missing.
bool KeyText(const TXmlElement& section, const char* key, std::string& text, const char* defaultText = "") {
  text = defaultText;
  return GetKeyText(section, key, text);
}

void MarkAll(std::initializer_list<QWidget*> controls, bool present) {
  for (QWidget* w : controls) MarkControl(w, present);
}

void ShowAddressOr(TIPAddress* edit, const std::string& text, const char* fallback) {
  if (!SetIPAddressText(edit, text)) edit->SetAddress(QString::fromLatin1(fallback));
}

int ItemOf(const std::string& text, std::initializer_list<std::pair<const char*, int>> known, int other) {
  for (const auto& [name, item] : known)
    if (text == name) return item;
  return other;
}

}  // namespace

void TfMain::LoadReadDocument(const TXmlElement& root) {
  currentRead_ = root;
  QString failed;
  if (root) {
    failed = SaveWorkingCopy(*root.Document(), QStringLiteral("temp_load.xml"));
    LoadNetwork(root.FirstChild("basic_parameters"));
    LoadServices(root.FirstChild("Security"));
    LoadExpert(root.FirstChild("Expert"));
    LoadEmail(root.FirstChild("E-mail"));
    LoadWLAN(root.FirstChild("WLAN"));
    for (const char* channel : {"Channel_1", "Channel_2"}) {
      const TXmlElement section = root.FirstChild(channel);
      LoadChannel(section);
      StoreChannel(section);
    }
    if (currentPageButton_ == seChannel1) LoadChannel(root.FirstChild("Channel_1"));
  }
  EndBusy();
  if (!failed.isEmpty()) AppMessage(failed);
}

void TfMain::LoadNetwork(const TXmlElement& s) {
  if (!s) return;
  Ui::pNetwork& u = *uiNetwork;
  std::string text;
  const bool ip = KeyText(s, "IP_addr", text, "192.168.1.254");
  if (IsIPv4Address(text) && text.rfind("0.0.", 0) != 0) {
    SetIPAddressText(u.ipIP_addr, text);
    u.rbStaticIP->setChecked(true);
  } else {
    // Automatic configuration: the device keeps the method flags in the third field, 0.0.N.0.
    u.rbDHCP->setChecked(true);
    const TSplit first = SplitAt(text, ".");
    const TSplit second = SplitAt(first.Tail, ".");
    int flags = 0;
    if (!second.Tail.empty() && TryParseInteger(SplitAt(second.Tail, ".").Head, flags)) SetIPConfigFlags(flags);
  }
  rbStaticIPClick(u.rbStaticIP);
  MarkControl(u.ipIP_addr, ip);

  MarkControl(u.ipnetmask, KeyText(s, "netmask", text, "255.255.255.0"));
  ShowAddressOr(u.ipnetmask, text, "255.255.255.0");
  MarkControl(u.ipgateway, KeyText(s, "gateway", text, "0.0.0.0"));
  ShowAddressOr(u.ipgateway, text, "0.0.0.0");

  // "not set" is the device's word for no name, not a name to write back.
  if (!LoadEdit(s, "DHCP_device_name", u.eDHCPName, false) ||
      Std(u.eDHCPName->text()) == FindSettingRow("basic_parameters", "Enter_new_DHCP_device_Name")->Placeholder)
    u.eDHCPName->clear();

  // The device is always set up as a wireless node, whatever mode it reports.
  MarkControl(u.cbNetworkMode, KeyText(s, "Network_mode", text, "Wireless Only"));
  u.cbNetworkMode->setEnabled(false);
  u.cbNetworkMode->setCurrentIndex(1);
  cbNetworkModeChange(u.cbNetworkMode);

  uiServer->chbServerTelnetPassword->setChecked(false);
  chbServerTelnetPasswordClick(uiServer->chbServerTelnetPassword);
}

void TfMain::LoadServices(const TXmlElement& s) {
  if (!s) return;
  Ui::pServices& u = *uiServices;
  const std::pair<const char*, QCheckBox*> boxes[] = {
      {"SNMP", u.cbSNMP},           {"Telnet_Setup", u.cbTelnetSetup}, {"TFTP_Download", u.cbTFTDownload},
      {"Port_77FEh", u.cbPort77FEh}, {"Web_Server", u.cbWebServer},    {"Web_Setup", u.cbWebSetup},
      {"ECHO", u.cbEcho},           {"Encryption", u.cbEncryption},    {"Enhanced_Password", u.cbEnhancedPassword},
      {"Port_77F0h", u.cbPort77F0h}};
  for (const auto& [key, box] : boxes) LoadCheckBox(s, key, box, false, true);
  LoadEdit(s, "SNMP_Community_Name", u.eSNMP_Community_Name, false);
  cbSNMPClick(u.cbSNMP);
  eServicesKeyChange(u.eServicesKey);
  cbEncryptionClick(u.cbEncryption);
  u.chbServicesChangePass->setChecked(false);
  cbEnhancedPasswordClick(u.cbEnhancedPassword);
}

void TfMain::LoadExpert(const TXmlElement& s) {
  if (!s) return;
  Ui::pServer& v = *uiServer;
  std::string text;
  for (const auto& [key, edit] : {std::pair{"TCP_Keepalive", v.ieServerKeepAlive}, {"ARP_cache_timeout", v.ieServerCahceTimeout}}) {
    const bool present = KeyText(s, key, text);
    // The device prints a unit letter after the number ("45s").
    if (const std::optional<int> value = present ? ValueWithoutUnit(text) : std::nullopt) ShowIntAsRead(edit, *value);
    MarkControl(edit, present);
  }
  KeyText(s, "CPU_performance", text);
  v.cbServerCPUPerformence->setCurrentIndex(ItemOf(text, {{"High", 2}, {"Low", 1}}, 0));
  LoadCheckBox(s, "Monitor_Mode_at_bootup", v.cbServerMonitorModeBootup, false, true);
  LoadIntEdit(s, "HTTP_Port_Number", v.ieServerHTTPServerPort, true);
  LoadIntEdit(s, "SMTP_Port_Number", uiEmail->ieEmailServerPortNumber, true);
  LoadIntEdit(s, "MTU_Size", v.ieServerMTUSize, true);
  KeyText(s, "Ethernet_connection_type", text);
  SetNetworkSpeedDuplex(EthernetTypeNumber(text));
}

void TfMain::LoadEmail(const TXmlElement& s) {
  if (!s) return;
  Ui::pEmail& e = *uiEmail;
  LoadIPAddress(s, "Mail_server", e.ipEmailServer, true);
  LoadEdit(s, "Domain", e.eEmailDomainName, true);
  LoadEdit(s, "Unit", e.eEmailUnitName, true);
  LoadEdit(s, "Recipient_1", e.eEmailRecipinet1EmailAddress, true);
  LoadEdit(s, "Recipient_2", e.eEmailRecipinet2EmailAddress, true);
}

void TfMain::LoadWLAN(const TXmlElement& s) {
  if (!s) return;
  Ui::pWLAN& w = *uiWLAN;
  std::string text;
  KeyText(s, "Topology", text);
  w.cbWLANNetworkType->setCurrentIndex(text == "Ad-Hoc" ? 1 : 0);
  cbWLANNetworkTypeChange(w.cbWLANNetworkType);

  LoadEdit(s, "Network_name", w.eWLANName, true);
  if (KeyText(s, "Channel", text))
    if (const auto item = OneBasedItem(text, w.cbWLANChannel->count())) w.cbWLANChannel->setCurrentIndex(*item);

  MarkControl(w.cbWLANSecurity, KeyText(s, "Security_suite", text, "none"));
  const int security = ItemOf(text, {{"WEP", 1}, {"WPA", 2}, {"WPA2/802.11i", 3}}, 0);
  // Ad-Hoc offers fewer suites; a suite the list lacks selects none rather than a wrong one.
  w.cbWLANSecurity->setCurrentIndex(security < w.cbWLANSecurity->count() ? security : -1);
  cbWLANSecurityChange(w.cbWLANSecurity);

  LoadComboBox(s, "Authentication", w.cbWLANAuthentication, false);
  if (w.cbWLANSecurity->currentText() == QLatin1String("WEP")) {
    KeyText(s, "Encryption", text);
    const int item = ItemOf(text, {{"WEP64", 0}, {"WEP128", 1}}, -1);
    if (item >= 0) w.cbWLANEncryption->setCurrentIndex(item);
  } else {
    LoadComboBox(s, "Encryption", w.cbWLANEncryption, false);
  }
  LoadComboBox(s, "Key_type", w.cbWLANKeyType, false);
  if (KeyText(s, "TX_Key_index", text))
    if (const auto item = OneBasedItem(text, w.cbWLANTXKey->count())) w.cbWLANTXKey->setCurrentIndex(*item);
  w.chbWLANChangeKey->setChecked(false);
  chbWLANChangeKeyClick(w.chbWLANChangeKey);

  const bool rate = KeyText(s, "TX_Data_rate", text);
  const TTXDataRate r = ParseTXDataRate(text);
  w.cbWLANAutoFallback->setChecked(r.AutoFallback);
  if (r.Rate) w.cbWLANTXDateRate->setCurrentIndex(*r.Rate);
  MarkAll({w.cbWLANTXDateRate, w.cbWLANAutoFallback}, rate);
  LoadCheckBox(s, "Power_management", w.cbWLANRadioPowerManagement, false, true);
}

// ---------------------------------------------------------------------------------- channel

void TfMain::LoadChannel(const TXmlElement& s) {
  Ui::pcChannel1& c = *uiChannel1;
  std::string text;
  if (s) {
    if (!LoadComboBox(s, "Baudrate", c.cbChannel1Baudrate, true))
      c.cbChannel1Baudrate->setCurrentIndex(c.cbChannel1Baudrate->findText(QStringLiteral("9600")));
    cbChannel1BaudrateChange(c.cbChannel1Baudrate);

    const bool ifMode = KeyText(s, "IF_Mode", text, "4C");
    const std::vector<int> lines = DecodeFields(IFModeFields(), ReadHexByte(text, 0x4C));
    const std::array<QComboBox*, 4> lineLists = {c.cbChannel1LineMode, c.cbChannel1LineDatabits,
                                                 c.cbChannel1LineParity, c.cbChannel1LineStopBits};
    for (size_t i = 0; i < lineLists.size(); ++i) {
      if (lines[i] >= 0) lineLists[i]->setCurrentIndex(lines[i]);
      MarkControl(lineLists[i], ifMode);
    }
    cbChannel1LineModeChange(c.cbChannel1LineMode);

    const bool flow = KeyText(s, "Flow", text, "00");
    int f = 0;
    if (!TryParseInteger(text, f)) f = 0;
    c.cbChannel1Flow->setCurrentIndex(f == 1 ? 1 : f == 5 ? 2 : 0);
    MarkControl(c.cbChannel1Flow, flow);

    const bool flush = KeyText(s, "Flush___Mode", text, "00");
    SetFlushMode(ReadHexByte(text, 0));
    MarkAll({c.cbChannel1EnablePacking, c.cbChannel1FlushModeInput1, c.cbChannel1FlushModeInput2,
             c.cbChannel1FlushModeInput3, c.cbChannel1FlushModeOuput1, c.cbChannel1FlushModeOuput2,
             c.cbChannel1FlushModeOuput3},
            flush);

    const bool pack = KeyText(s, "Pack_Cntrl", text, "00");
    SetPackControl(ReadHexByte(text, 0));
    MarkAll({c.cbChannel1PackingInterval, c.cbChannel1Trailingcharacters, c.cbChannel1Send2Char,
             c.cbChannel1SendImmediately},
            pack);

    KeyText(s, "SendChars", text);
    const TSplit chars = SplitAt(text, " ");
    c.eChannel1PCMatchByte1->setText(Qs(chars.Head));
    c.eChannel1PCMatchByte2->setText(Qs(chars.Tail));
  }
  // Without a section the connection part still comes back to the device's defaults.
  const bool connect = s && KeyText(s, "Connect_Mode", text, "C0");
  if (!connect) text = "C0";
  SetConnectMode(ReadHexByte(text, 0xC0));
  MarkControl(c.cbChannel1ConnectionType, connect);
  if (c.cbChannel1ConnectionType->currentIndex() == 0)
    LoadChannelTCP(s);
  else
    LoadChannelUDP(s);
  cbChannel1ConnectionUDPDatagramTypeChange(c.cbChannel1ConnectionUDPDatagramType);
}

void TfMain::LoadChannelTCP(const TXmlElement& s) {
  Ui::pcChannel1& c = *uiChannel1;
  std::string text;
  const bool disconnect = s && KeyText(s, "Disconn_Mode", text, "00");
  if (!disconnect) text = "00";
  const TDisconnMode d = ParseDisconnMode(text);
  c.ieChannel1ConnectionInactivityTimeoutM->SetValue(d.Minutes);
  c.ieChannel1ConnectionInactivityTimeoutS->SetValue(d.Seconds);
  SetDisconnectMode(d.Byte);
  if (disconnect)
    MarkAll({c.cbChannel1ConnectionPasswordRequired, c.cbChannel1ConnectionComPortCntrl,
             c.cbChannel1ConnectionOnMdmCtrlInDrop, c.cbChannel1ConnectionCheckEOT, c.cbChannel1ConnectionLed,
             c.cbChannel1ConnectionHardDisconnect, c.ieChannel1ConnectionInactivityTimeoutM,
             c.ieChannel1ConnectionInactivityTimeoutS},
            true);

  LoadIntEdit(s, "Port", c.ieChannel1ConnectionPort, true);

  if (s && KeyText(s, "Remote_IP_Adr", text)) {
    const TRemoteAddress r = ParseRemoteAddress(text, true);
    SetIPAddressText(c.ipChannel1ConnectionRemoteHost, r.Host);
    c.ieChannel1ConnectionRemotePort->SetValue(r.Port);
    if (r.StartChar) c.eChannel1ConnectionStartChar->setText(Qs(*r.StartChar));
  }

  if (s && KeyText(s, "Hostlist_Retrytimeout", text)) {
    const TSplit start = SplitAt(text, "Start Char:");
    if (!start.Tail.empty()) {
      c.eChannel1ConnectionStartChar->setText(Qs(Trim(start.Tail)));
      eChannel1PCMatchByte1Change(c.eChannel1ConnectionStartChar);
      // Taken once; the write form must not carry the start character as a retry time.
      s.FirstChild("Hostlist_Retrytimeout").SetText("");
    }
  }

  LoadCheckBox(s, "Auto_increment_source_port", c.cbChannel1ConnectionAutoIncrease4ActiveConnect, false, false);
  LoadCheckBox(s, "Show_IP_addr_after_RING", c.cbChannel1ConnectionShowIPAfterRing, false, false);
  LoadCheckBox(s, "Send_plusplusplus_in_Modem_Mode", c.cbChannel1ConnectionModemEscapeSequencePassThrough, false, true);
  LoadEdit(s, "Terminal_name", c.eChannel1ConnectionTerminalName, false);
  LoadEdit(s, "Password", c.eChannel1ConnectionPassword, false);
}

void TfMain::LoadChannelUDP(const TXmlElement& s) {
  Ui::pcChannel1& c = *uiChannel1;
  std::string text;
  LoadCheckBox(s, "Send_as_Broadcast", c.chbChannel1ConnectionUDPUseBroadcast, false, false);
  LoadComboBox(s, "Datagram_Type", c.cbChannel1ConnectionUDPDatagramType, false);
  const TXmlElement sendAs = FindNodePath(s, "Send_as", true);
  c.chbChannel1ConnectionUDPUseBroadcast->setChecked(sendAs.Text() == "Broadcast");

  if (c.chbChannel1ConnectionUDPUseBroadcast->isChecked()) {
    // In broadcast form the device prints the remote port as a "Port" line after "Send as".
    if (s && !s.FirstChild("Remote_Port")) {
      bool afterSendAs = false;
      for (const TXmlElement& e : s.Children()) {
        if (afterSendAs && e.Name() == "Port") {
          TXmlElement(s).AppendChild("Remote_Port").SetText(e.Text());
          break;
        }
        afterSendAs = afterSendAs || e == sendAs;
      }
    }
    LoadIntEdit(s, "Remote_Port", c.ieChannel1ConnectionUDPRemotePort, true);
  } else {
    text.clear();
    if (s) KeyText(s, "Remote_IP_Adr", text);
    const TRemoteAddress r = ParseRemoteAddress(text, false);
    SetIPAddressText(c.ipChannel1ConnectionUDPRemoteHost, r.Host);
    c.ieChannel1ConnectionUDPRemotePort->SetValue(r.Port);
  }

  LoadIntEdit(s, "Port", c.ieChannel1ConnectionUDPLocalPort, false);

  text.clear();
  if (s) KeyText(s, "Device_Address_info", text);
  const std::array<int, 16> entries = ParseDeviceAddressInfo(text);
  for (int i = 0; i < 16; ++i) SetUDPDeviceAddress(i, entries[i]);
}
