// The pages turned into a write document: keys named after the device's prompts, valued with
// the answers to type. Helper writes leave out what a rule disabled; direct writes always go in.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <algorithm>
#include <array>

#include "ComCtrlsAdds.h"
#include "uIntEdit.h"
#include "uKaVruneBinding.h"
#include "uKaVruneCodecs.h"
#include "uMain.h"
#include "uMainForms.h"
#include "uMainPrivate.h"

namespace {

// A direct write: the key is found or created and overwritten.
void Put(const TXmlElement& section, const char* key, const std::string& value) {
  if (TXmlElement e = FindNodePath(section, key, true)) e.SetText(value);
}
void Put(const TXmlElement& section, const char* key, const QString& value) { Put(section, key, Std(value)); }
void Put(const TXmlElement& section, const char* key, const char* value) { Put(section, key, std::string(value)); }
void Put(const TXmlElement& section, const char* key, int value) { Put(section, key, std::to_string(value)); }

// A list with nothing chosen (a value the list does not offer was read) writes no key, so the
// device keeps its setting instead of being answered "-1".
void PutChoice(const TXmlElement& section, const char* key, const QComboBox* list, int offset = 0) {
  if (list->currentIndex() >= 0) Put(section, key, list->currentIndex() + offset);
}

// The number an integer edit stands for, kept inside its range even while typed text was never
// validated.
int ValueOf(const TIntEdit* e) { return std::clamp(e->Value(), e->MinValue(), e->MaxValue()); }

const char* YesNo(bool yes) { return yes ? "Y" : "N"; }

}  // namespace

void TfMain::BuildWriteDocument(const TXmlElement& root) {
  if (!root) return;
  // Shape buttons take no focus: a number still being typed is validated before it is read.
  TMyCustomNumEdit::ValidateFocusedNumEdit();
  if (currentPageButton_) seNetworkClick(currentPageButton_);
  TXmlElement r = root;
  r.ClearChildrenAndAttributes();
  BuildNetwork(r.AppendChild("basic_parameters"));
  BuildServices(r.AppendChild("Security"));
  BuildExpert(r.AppendChild("Expert"));
  BuildEmail(r.AppendChild("E-mail"));
  BuildWLAN(r.AppendChild("WLAN"));
  if (currentRead_)
    for (const char* channel : {"Channel_1", "Channel_2"}) r.AppendCopy(FindNodePath(currentRead_, channel, true));
}

void TfMain::BuildNetwork(const TXmlElement& s) {
  Ui::pNetwork& u = *uiNetwork;
  Put(s, "IP_Address",
      u.rbStaticIP->isChecked() ? u.ipIP_addr->Address() : QStringLiteral("0.0.%1.0").arg(GetIPConfigFlags()));
  Put(s, "Netmask", u.ipnetmask->Address());
  Put(s, "Set_Gateway_IP_Address", u.ipgateway->Address());
  PutChoice(s, "Network_mode", u.cbNetworkMode);
  Ui::pServer& v = *uiServer;
  const bool telnet =
      v.chbServerTelnetPassword->isChecked() && v.eServerTelnetPass->text() == v.eServerTelnetPass2->text();
  Put(s, "Change_telnet_config_password", YesNo(telnet));
  if (telnet) Put(s, "Enter_new_Password", v.eServerTelnetPass->text());
  Put(s, "Change_DHCP_device_name", "Y");
  Put(s, "Enter_new_DHCP_device_Name", u.eDHCPName->text());
}

void TfMain::BuildServices(const TXmlElement& s) {
  Ui::pServices& u = *uiServices;
  SaveCheckBox(s, "Disable_SNMP", u.cbSNMP, true);
  SaveEdit(s, "SNMP_Community_Name", u.eSNMP_Community_Name);
  SaveCheckBox(s, "Disable_Telnet_Setup", u.cbTelnetSetup, true);
  SaveCheckBox(s, "Disable_TFTP_Firmware_Update", u.cbTFTDownload, true);
  SaveCheckBox(s, "Disable_Port_77FEh", u.cbPort77FEh, true);
  SaveCheckBox(s, "Disable_Web_Server", u.cbWebServer, true);
  SaveCheckBox(s, "Disable_Web_Setup", u.cbWebSetup, true);
  SaveCheckBox(s, "Disable_ECHO_ports", u.cbEcho, true);
  SaveCheckBox(s, "Enable_Encryption", u.cbEncryption, false);
  if (u.cbEncryption->isChecked()) {
    Put(s, "Key_length_in_bits", u.cbServicesKeyLength->currentText());
    // Only a key of exactly the chosen size is sent.
    const bool change = QString::number(4 * u.eServicesKey->text().size()) == u.cbServicesKeyLength->currentText();
    Put(s, "Change_Key", YesNo(change));
    if (change) Put(s, "Enter_Key", u.eServicesKey->text());
  }
  SaveCheckBox(s, "Enable_Enhanced_Password", u.cbEnhancedPassword, false);
  if (u.cbEnhancedPassword->isChecked()) {
    const bool change =
        u.chbServicesChangePass->isChecked() && u.eServicesPassword->text() == u.eServicesPassword2->text();
    Put(s, "Change_the_Password", YesNo(change));
    if (change) Put(s, "Enter_Password", u.eServicesPassword->text());
  }
  SaveCheckBox(s, "Disable_Port_77F0h", u.cbPort77F0h, true);
}

void TfMain::BuildExpert(const TXmlElement& s) {
  Ui::pServer& v = *uiServer;
  SaveIntEdit(s, "TCP_Keepalive_time_in_s", v.ieServerKeepAlive);
  SaveIntEdit(s, "ARP_Cache_timeout_in_s", v.ieServerCahceTimeout);
  SaveComboBox(s, "CPU_performance", v.cbServerCPUPerformence, false);
  SaveCheckBox(s, "Disable_Monitor_Mode___bootup", v.cbServerMonitorModeBootup, true);
  SaveIntEdit(s, "HTTP_Port_Number", v.ieServerHTTPServerPort);
  SaveIntEdit(s, "SMTP_Port_Number", uiEmail->ieEmailServerPortNumber);
  SaveIntEdit(s, "MTU_Size", v.ieServerMTUSize);
  Put(s, "Ethernet_connection_type", GetNetworkSpeedDuplex());
}

void TfMain::BuildEmail(const TXmlElement& s) {
  Ui::pEmail& e = *uiEmail;
  SaveIPAddress(s, "Mail_server", e.ipEmailServer);
  SaveEdit(s, "Domain", e.eEmailDomainName);
  SaveEdit(s, "Unit", e.eEmailUnitName);
  SaveEdit(s, "Recipient_1", e.eEmailRecipinet1EmailAddress);
  SaveEdit(s, "Recipient_2", e.eEmailRecipinet2EmailAddress);
}

void TfMain::BuildWLAN(const TXmlElement& s) {
  Ui::pWLAN& w = *uiWLAN;
  const int security = w.cbWLANSecurity->currentIndex();
  PutChoice(s, "Topology", w.cbWLANNetworkType);
  Put(s, "Network_name", w.eWLANName->text());
  PutChoice(s, "Channel", w.cbWLANChannel, 1);
  PutChoice(s, "Security_suite", w.cbWLANSecurity);
  PutChoice(s, "Authentication", w.cbWLANAuthentication);
  // The device counts the WEP key sizes from 1.
  PutChoice(s, "Encryption", w.cbWLANEncryption, security == 1 ? 1 : 0);
  SaveComboBox(s, "Key_type_0", w.cbWLANKeyType, false);
  SaveCheckBox(s, "Change_Key", w.chbWLANChangeKey, false);
  if (w.chbWLANChangeKey->isChecked()) Put(s, "Enter_Key", w.eWLANKey->text());
  Put(s, "Display_current_key", "N");
  PutChoice(s, "TX_Key_index", w.cbWLANTXKey, 1);
  if (w.cbWLANTXDateRate->currentIndex() >= 0)
    Put(s, "TX_Data_rate",
        std::to_string(w.cbWLANTXDateRate->currentIndex()) + (w.cbWLANAutoFallback->isChecked() ? ":1" : ":0"));
  SaveCheckBox(s, "Enable_power_management", w.cbWLANRadioPowerManagement, false);
}

// ---------------------------------------------------------------------------------- channel

// Every setting that the two key forms name differently goes in under both: the read form for
// the next LoadChannel, the write form for the device's prompt.
void TfMain::StoreChannel(const TXmlElement& s) {
  if (!s) return;
  Ui::pcChannel1& c = *uiChannel1;
  SaveComboBox(s, "Baudrate", c.cbChannel1Baudrate, true);
  QString ifMode = c.lChannel1_IFMode->text();
  ifMode.chop(1);
  Put(s, "IF_Mode", ifMode);
  Put(s, "I_F_Mode", ifMode);
  // Created even without a selection, which then keeps the device's value.
  TXmlElement flow = FindNodePath(s, "Flow", true);
  static constexpr std::array<int, 3> flowCodes = {0, 1, 5};
  const int flowItem = c.cbChannel1Flow->currentIndex();
  if (flowItem >= 0 && flowItem < 3) flow.SetText(std::to_string(flowCodes[flowItem]));
  const std::string flush = HexByte(GetFlushMode());
  Put(s, "Flush___Mode", flush);
  Put(s, "FlushMode", flush);
  Put(s, "Pack_Cntrl", HexByte(GetPackControl()));
  Put(s, "SendChars", c.eChannel1PCMatchByte1->text() + QLatin1Char(' ') + c.eChannel1PCMatchByte2->text());
  SaveEdit(s, "SendChar_1", c.eChannel1PCMatchByte1);
  SaveEdit(s, "SendChar_2", c.eChannel1PCMatchByte2);
  const std::string connect = HexByte(GetConnectMode());
  Put(s, "Connect_Mode", connect);
  Put(s, "ConnectMode", connect);
  if (c.cbChannel1ConnectionType->currentIndex() == 0)
    StoreChannelTCP(s);
  else
    StoreChannelUDP(s);
}

void TfMain::StoreChannelTCP(const TXmlElement& s) {
  Ui::pcChannel1& c = *uiChannel1;
  const std::string disconnect = HexByte(GetDisconnectMode());
  const std::string time = std::to_string(ValueOf(c.ieChannel1ConnectionInactivityTimeoutM)) + ":" +
                           std::to_string(ValueOf(c.ieChannel1ConnectionInactivityTimeoutS));
  Put(s, "DisConnMode", disconnect);
  Put(s, "Disconn_Mode", disconnect + " Disconn Time: " + time);
  SaveIPAddress(s, "Remote_IP_Address", c.ipChannel1ConnectionRemoteHost);
  Put(s, "Remote_IP_Adr",
      Std(c.ipChannel1ConnectionRemoteHost->Address()) + ", Port " +
          std::to_string(ValueOf(c.ieChannel1ConnectionRemotePort)) + " Start Char: " +
          Std(c.eChannel1ConnectionStartChar->text()));
  SaveIntEdit(s, "Remote_Port", c.ieChannel1ConnectionRemotePort);
  SaveEdit(s, "Start_Char", c.eChannel1ConnectionStartChar);
  Put(s, "DisConnTime", time);
  SaveIntEdit(s, "Port_No", c.ieChannel1ConnectionPort);
  SaveIntEdit(s, "Port", c.ieChannel1ConnectionPort);
  SaveCheckBox(s, "Auto_increment_source_port", c.cbChannel1ConnectionAutoIncrease4ActiveConnect, false);
  for (const char* key : {"Show_IP_addr_after_RING", "Show_IP_addr_after__RING"})
    SaveCheckBox(s, key, c.cbChannel1ConnectionShowIPAfterRing, false);
  for (const char* key : {"Send_plusplusplus_in_Modem_Mode", "Send_______in_Modem_Mode"})
    SaveCheckBox(s, key, c.cbChannel1ConnectionModemEscapeSequencePassThrough, false);
  SaveEdit(s, "Terminal_name", c.eChannel1ConnectionTerminalName);
  SaveEdit(s, "Password", c.eChannel1ConnectionPassword);
}

void TfMain::StoreChannelUDP(const TXmlElement& s) {
  Ui::pcChannel1& c = *uiChannel1;
  SaveCheckBox(s, "Send_as_Broadcast", c.chbChannel1ConnectionUDPUseBroadcast, false);
  SaveIPAddress(s, "Remote_IP_Address", c.ipChannel1ConnectionUDPRemoteHost);
  Put(s, "Remote_IP_Adr",
      Std(c.ipChannel1ConnectionUDPRemoteHost->Address()) + ", Port " +
          std::to_string(ValueOf(c.ieChannel1ConnectionUDPRemotePort)));
  SaveIntEdit(s, "Remote_Port", c.ieChannel1ConnectionUDPRemotePort);
  SaveIntEdit(s, "Port_No", c.ieChannel1ConnectionUDPLocalPort);
  SaveIntEdit(s, "Port", c.ieChannel1ConnectionUDPLocalPort);
  SaveCheckBox(s, "Send_as_Broadcast", c.chbChannel1ConnectionUDPUseBroadcast, false);
  Put(s, "Send_as", c.chbChannel1ConnectionUDPUseBroadcast->isChecked() ? "Broadcast" : "");
  Put(s, "Datagram_Type", c.cbChannel1ConnectionUDPDatagramType->currentText());
  std::string table;
  for (int i = 0; i < 16; ++i) table += (i ? " " : "") + std::to_string(GetUDPDeviceAddress(i));
  Put(s, "Device_Address_info", table);
  Put(s, "Change_address_table", table);
}
