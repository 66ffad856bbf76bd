// The Network, Server, Services and E-mail pages: their controls loaded from a read document and
// stored into a write document, and their rules.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "ComCtrlsAdds.h"
#include "uKaVruneCodecs.h"
#include "uPageSupport.h"
#include "uPages.h"
#include "ui_pEmail.h"
#include "ui_pNetwork.h"
#include "ui_pServer.h"
#include "ui_pServices.h"
#include "ui_pWLAN.h"

namespace {

void ShowAddressOr(TIPAddress* edit, const std::string& text, const char* fallback) {
  if (!SetIPAddressText(edit, text)) edit->SetAddress(QString::fromLatin1(fallback));
}

// The groups in the field order of their byte layouts.
std::vector<QWidget*> NetworkFlags(const Ui::pNetwork& u) {
  return {u.cbNetworkAutoIP, u.cbNetworkDHCP, u.cbNetworkBOOTP};
}

}  // namespace

// ---------------------------------------------------------------------------------- network

TNetworkPage::TNetworkPage(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::pNetwork>()) {
  ui_->setupUi(this);
  Ui::pNetwork& n = *ui_;
  OnChoice(this, n.cbNetworkMode, &TNetworkPage::cbNetworkModeChange);
  OnToggle(this, n.rbStaticIP, &TNetworkPage::rbStaticIPClick);
  OnToggle(this, n.rbDHCP, &TNetworkPage::rbStaticIPClick);
  OnToggle(this, n.cbNetworkAutoNegotiate, &TNetworkPage::cbNetworkAutoNegotiateClick);
}

TNetworkPage::~TNetworkPage() = default;

void TNetworkPage::Load(const TXmlElement& root) {
  Ui::pNetwork& u = *ui_;
  std::string text;
  if (const TXmlElement s = root.FirstChild("basic_parameters")) {
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

    // The list stays disabled: the window sets no other mode, but it shows the one the device
    // holds, and the pages follow it (a wired device has no usable WLAN page).
    const bool mode = KeyText(s, "Network_mode", text, "Wireless Only");
    MarkControl(u.cbNetworkMode, mode);
    u.cbNetworkMode->setEnabled(false);
    const std::optional<std::string> item =
        ParseSettingValue(*FindSettingRow("basic_parameters", "Network_mode"), text);
    u.cbNetworkMode->setCurrentIndex(item ? std::stoi(*item) : -1);
    cbNetworkModeChange(u.cbNetworkMode);
  }
  if (const TXmlElement s = root.FirstChild("Expert")) {
    KeyText(s, "Ethernet_connection_type", text);
    SetNetworkSpeedDuplex(EthernetTypeNumber(text));
  }
}

void TNetworkPage::Store(const TXmlElement& root) const {
  Ui::pNetwork& u = *ui_;
  const TXmlElement s = root.FirstChild("basic_parameters");
  Put(s, "IP_Address",
      u.rbStaticIP->isChecked() ? u.ipIP_addr->Address() : QStringLiteral("0.0.%1.0").arg(GetIPConfigFlags()));
  Put(s, "Netmask", u.ipnetmask->Address());
  Put(s, "Set_Gateway_IP_Address", u.ipgateway->Address());
  PutChoice(s, "Network_mode", u.cbNetworkMode);
  Put(s, "Change_DHCP_device_name", "Y");
  Put(s, "Enter_new_DHCP_device_Name", u.eDHCPName->text());
  Put(root.FirstChild("Expert"), "Ethernet_connection_type", GetNetworkSpeedDuplex());
}

void TNetworkPage::cbNetworkModeChange(QObject* Sender) {
  Ui::pNetwork& u = *ui_;
  const int n = u.cbNetworkMode->currentIndex();
  if (wlan_) {
    EnableControls({wlan_}, n == 1, true);
    if (n == 1) wlan_->cbWLANNetworkTypeChange(Sender);
  }
  EnableControls({u.Label102, u.Label106, u.Label107, u.cbNetworkAutoNegotiate, u.cbNetworkSpeed, u.cbNetworkDuplex},
                 n != 1, false);
  if (n != 1) cbNetworkAutoNegotiateClick(Sender);
  EnableControls({u.rbStaticIP, u.rbDHCP, u.Label2, u.Label3, u.Label4, u.ipIP_addr, u.ipnetmask, u.ipgateway,
                  u.Label42, u.Label95, u.Label108, u.Label111, u.Label112, u.eDHCPName, u.cbNetworkBOOTP,
                  u.cbNetworkDHCP, u.cbNetworkAutoIP},
                 n != 2, false);
  if (n != 2) rbStaticIPClick(Sender);
}

void TNetworkPage::rbStaticIPClick(QObject*) {
  Ui::pNetwork& u = *ui_;
  EnableControls({u.Label2, u.Label3, u.Label4, u.ipIP_addr, u.ipnetmask, u.ipgateway}, u.rbStaticIP->isChecked(),
                 false);
  EnableControls({u.Label42, u.Label95, u.Label108, u.Label111, u.Label112, u.eDHCPName, u.cbNetworkBOOTP,
                  u.cbNetworkDHCP, u.cbNetworkAutoIP},
                 u.rbDHCP->isChecked(), false);
}

void TNetworkPage::cbNetworkAutoNegotiateClick(QObject*) {
  Ui::pNetwork& u = *ui_;
  EnableControls({u.Label106, u.Label107, u.cbNetworkSpeed, u.cbNetworkDuplex},
                 !u.cbNetworkAutoNegotiate->isChecked() && IsOwnEnabled(u.cbNetworkAutoNegotiate), false);
}

int TNetworkPage::GetNetworkSpeedDuplex() const {
  const Ui::pNetwork& u = *ui_;
  return EncodeSpeedDuplex(u.cbNetworkAutoNegotiate->isChecked(), u.cbNetworkSpeed->currentIndex(),
                           u.cbNetworkDuplex->currentIndex());
}

void TNetworkPage::SetNetworkSpeedDuplex(int t) {
  Ui::pNetwork& u = *ui_;
  const TSpeedDuplex d = DecodeSpeedDuplex(t);
  u.cbNetworkAutoNegotiate->setChecked(d.AutoNegotiate);
  u.cbNetworkSpeed->setCurrentIndex(d.Speed);
  u.cbNetworkDuplex->setCurrentIndex(d.Duplex);
  cbNetworkAutoNegotiateClick(u.cbNetworkAutoNegotiate);
}

int TNetworkPage::GetIPConfigFlags() const { return PackControls(IPConfigFlagFields(), NetworkFlags(*ui_)); }

void TNetworkPage::SetIPConfigFlags(int f) {
  UnpackControls(IPConfigFlagFields(), static_cast<uint8_t>(f & 7), NetworkFlags(*ui_));
}

// ---------------------------------------------------------------------------------- server

TServerPage::TServerPage(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::pServer>()) {
  ui_->setupUi(this);
  Ui::pServer& v = *ui_;
  TakeWindowRange(v.ieServerKeepAlive, "Expert", "TCP_Keepalive_time_in_s");
  TakeWindowRange(v.ieServerCahceTimeout, "Expert", "ARP_Cache_timeout_in_s");
  TakeWindowRange(v.ieServerMTUSize, "Expert", "MTU_Size");
  TakeWindowRange(v.ieServerHTTPServerPort, "Expert", "HTTP_Port_Number");
  OnToggle(this, v.chbServerTelnetPassword, &TServerPage::chbServerTelnetPasswordClick);
  OnText(this, v.eServerTelnetPass, &TServerPage::eServerTelnetPassChange);
  OnText(this, v.eServerTelnetPass2, &TServerPage::eServerTelnetPassChange);
}

TServerPage::~TServerPage() = default;

void TServerPage::Load(const TXmlElement& root) {
  Ui::pServer& v = *ui_;
  // A new read never offers to change the telnet password.
  if (root.FirstChild("basic_parameters")) {
    v.chbServerTelnetPassword->setChecked(false);
    chbServerTelnetPasswordClick(v.chbServerTelnetPassword);
  }
  const TXmlElement s = root.FirstChild("Expert");
  if (!s) return;
  std::string text;
  for (const auto& [key, edit] :
       {std::pair{"TCP_Keepalive", v.ieServerKeepAlive}, {"ARP_cache_timeout", v.ieServerCahceTimeout}}) {
    const bool present = KeyText(s, key, text);
    // The device prints a unit letter after the number ("45s").
    if (const std::optional<int> value = present ? ValueWithoutUnit(text) : std::nullopt) ShowIntAsRead(edit, *value);
    MarkControl(edit, present);
  }
  KeyText(s, "CPU_performance", text);
  v.cbServerCPUPerformence->setCurrentIndex(ItemOf(text, {{"High", 2}, {"Low", 1}}, 0));
  LoadCheckBox(s, "Monitor_Mode_at_bootup", v.cbServerMonitorModeBootup, false, true);
  LoadIntEdit(s, "HTTP_Port_Number", v.ieServerHTTPServerPort, true);
  LoadIntEdit(s, "MTU_Size", v.ieServerMTUSize, true);
}

void TServerPage::Store(const TXmlElement& root) const {
  Ui::pServer& v = *ui_;
  const TXmlElement basic = root.FirstChild("basic_parameters");
  const bool telnet =
      v.chbServerTelnetPassword->isChecked() && v.eServerTelnetPass->text() == v.eServerTelnetPass2->text();
  Put(basic, "Change_telnet_config_password", YesNo(telnet));
  if (telnet) Put(basic, "Enter_new_Password", v.eServerTelnetPass->text());
  const TXmlElement s = root.FirstChild("Expert");
  SaveIntEdit(s, "TCP_Keepalive_time_in_s", v.ieServerKeepAlive);
  SaveIntEdit(s, "ARP_Cache_timeout_in_s", v.ieServerCahceTimeout);
  SaveComboBox(s, "CPU_performance", v.cbServerCPUPerformence, false);
  SaveCheckBox(s, "Disable_Monitor_Mode___bootup", v.cbServerMonitorModeBootup, true);
  SaveIntEdit(s, "HTTP_Port_Number", v.ieServerHTTPServerPort);
  SaveIntEdit(s, "MTU_Size", v.ieServerMTUSize);
}

bool TServerPage::HighCpuPerformance() const { return ui_->cbServerCPUPerformence->currentIndex() == 2; }

void TServerPage::chbServerTelnetPasswordClick(QObject*) {
  Ui::pServer& u = *ui_;
  EnableControls({u.Label92, u.Label93, u.lServerPassHint, u.eServerTelnetPass, u.eServerTelnetPass2},
                 u.chbServerTelnetPassword->isChecked(), false);
}

void TServerPage::eServerTelnetPassChange(QObject*) {
  Ui::pServer& u = *ui_;
  const QString a = u.eServerTelnetPass->text(), b = u.eServerTelnetPass2->text();
  u.lServerPassHint->setVisible(!a.isEmpty() && !b.isEmpty() && a != b);
}

// ---------------------------------------------------------------------------------- services

TServicesPage::TServicesPage(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::pServices>()) {
  ui_->setupUi(this);
  Ui::pServices& s = *ui_;
  OnToggle(this, s.cbSNMP, &TServicesPage::cbSNMPClick);
  OnToggle(this, s.cbEncryption, &TServicesPage::cbEncryptionClick);
  OnText(this, s.eServicesKey, &TServicesPage::eServicesKeyChange);
  OnChoice(this, s.cbServicesKeyLength, &TServicesPage::eServicesKeyChange);
  OnToggle(this, s.cbEnhancedPassword, &TServicesPage::cbEnhancedPasswordClick);
  OnToggle(this, s.chbServicesChangePass, &TServicesPage::chbServicesChangePassClick);
  OnText(this, s.eServicesPassword, &TServicesPage::eServicesPasswordChange);
  OnText(this, s.eServicesPassword2, &TServicesPage::eServicesPasswordChange);
}

TServicesPage::~TServicesPage() = default;

void TServicesPage::Load(const TXmlElement& root) {
  const TXmlElement s = root.FirstChild("Security");
  if (!s) return;
  Ui::pServices& u = *ui_;
  const std::pair<const char*, QCheckBox*> boxes[] = {{"SNMP", u.cbSNMP},
                                                      {"Telnet_Setup", u.cbTelnetSetup},
                                                      {"TFTP_Download", u.cbTFTDownload},
                                                      {"Port_77FEh", u.cbPort77FEh},
                                                      {"Web_Server", u.cbWebServer},
                                                      {"Web_Setup", u.cbWebSetup},
                                                      {"ECHO", u.cbEcho},
                                                      {"Encryption", u.cbEncryption},
                                                      {"Enhanced_Password", u.cbEnhancedPassword},
                                                      {"Port_77F0h", u.cbPort77F0h}};
  for (const auto& [key, box] : boxes) LoadCheckBox(s, key, box, false, true);
  LoadEdit(s, "SNMP_Community_Name", u.eSNMP_Community_Name, false);
  cbSNMPClick(u.cbSNMP);
  eServicesKeyChange(u.eServicesKey);
  cbEncryptionClick(u.cbEncryption);
  u.chbServicesChangePass->setChecked(false);
  cbEnhancedPasswordClick(u.cbEnhancedPassword);
}

void TServicesPage::Store(const TXmlElement& root) const {
  Ui::pServices& u = *ui_;
  const TXmlElement s = root.FirstChild("Security");
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

void TServicesPage::cbSNMPClick(QObject*) {
  EnableControls({ui_->Label5, ui_->eSNMP_Community_Name}, ui_->cbSNMP->isChecked(), false);
}

void TServicesPage::cbEncryptionClick(QObject*) {
  Ui::pServices& u = *ui_;
  EnableControls({u.Label29, u.Label30, u.lServicesKeyLength, u.cbServicesKeyLength, u.eServicesKey},
                 u.cbEncryption->isChecked(), false);
}

void TServicesPage::eServicesKeyChange(QObject*) {
  Ui::pServices& u = *ui_;
  QLineEdit* key = u.eServicesKey;
  const int caret = key->cursorPosition();
  if (IsHexText(key->text())) {
    keyText_ = key->text();
  } else {
    key->setText(keyText_);  // the change this raises accepts the old key
    key->setCursorPosition(std::max(0, caret - 1));
  }
  const int bits = 4 * static_cast<int>(key->text().size());
  u.lServicesKeyLength->setText(QString::number(bits) + LangText("bits", " bits"));
  ShowAlarm(u.lServicesKeyLength, u.cbServicesKeyLength->currentText() != QString::number(bits));
}

void TServicesPage::cbEnhancedPasswordClick(QObject* Sender) {
  Ui::pServices& u = *ui_;
  EnableControls({u.Label36, u.chbServicesChangePass}, u.cbEnhancedPassword->isChecked(), false);
  chbServicesChangePassClick(Sender);
}

void TServicesPage::chbServicesChangePassClick(QObject*) {
  Ui::pServices& u = *ui_;
  EnableControls({u.Label22, u.Label33, u.lServicesPassHint, u.eServicesPassword, u.eServicesPassword2},
                 u.chbServicesChangePass->isChecked() && u.cbEnhancedPassword->isChecked(), false);
}

void TServicesPage::eServicesPasswordChange(QObject*) {
  Ui::pServices& u = *ui_;
  const QString a = u.eServicesPassword->text(), b = u.eServicesPassword2->text();
  u.lServicesPassHint->setVisible(u.cbEnhancedPassword->isChecked() && !a.isEmpty() && !b.isEmpty() && a != b);
}

// ---------------------------------------------------------------------------------- e-mail

TEmailPage::TEmailPage(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::pEmail>()) {
  ui_->setupUi(this);
  TakeWindowRange(ui_->ieEmailServerPortNumber, "Expert", "SMTP_Port_Number");
}

TEmailPage::~TEmailPage() = default;

void TEmailPage::Load(const TXmlElement& root) {
  Ui::pEmail& e = *ui_;
  if (const TXmlElement s = root.FirstChild("Expert"))
    LoadIntEdit(s, "SMTP_Port_Number", e.ieEmailServerPortNumber, true);
  const TXmlElement s = root.FirstChild("E-mail");
  if (!s) return;
  LoadIPAddress(s, "Mail_server", e.ipEmailServer, true);
  LoadEdit(s, "Domain", e.eEmailDomainName, true);
  LoadEdit(s, "Unit", e.eEmailUnitName, true);
  LoadEdit(s, "Recipient_1", e.eEmailRecipinet1EmailAddress, true);
  LoadEdit(s, "Recipient_2", e.eEmailRecipinet2EmailAddress, true);
}

void TEmailPage::Store(const TXmlElement& root) const {
  Ui::pEmail& e = *ui_;
  SaveIntEdit(root.FirstChild("Expert"), "SMTP_Port_Number", e.ieEmailServerPortNumber);
  const TXmlElement s = root.FirstChild("E-mail");
  SaveIPAddress(s, "Mail_server", e.ipEmailServer);
  SaveEdit(s, "Domain", e.eEmailDomainName);
  SaveEdit(s, "Unit", e.eEmailUnitName);
  SaveEdit(s, "Recipient_1", e.eEmailRecipinet1EmailAddress);
  SaveEdit(s, "Recipient_2", e.eEmailRecipinet2EmailAddress);
}
