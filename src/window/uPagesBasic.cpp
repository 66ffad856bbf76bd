// The Network, Server, Services and E-mail pages: their bindings and their rules.

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

// The groups in the field order of their byte layouts.
std::vector<QWidget*> NetworkFlags(const Ui::pNetwork& u) {
  return {u.cbNetworkAutoIP, u.cbNetworkDHCP, u.cbNetworkBOOTP};
}

// The third field of a dotted address: automatic configuration keeps its method flags there.
int ThirdField(const std::string& address) {
  const TSplit second = SplitAt(SplitAt(address, ".").Tail, ".");
  int field = 0;
  return TryParseInteger(SplitAt(second.Tail, ".").Head, field) ? field : 0;
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

  const char* basic = "basic_parameters";
  // A static address, or automatic configuration with its method flags as 0.0.N.0.
  bindings_
      .Bind(
          basic, "IP_Address",
          {n.ipIP_addr, n.rbStaticIP, n.rbDHCP, n.cbNetworkAutoIP, n.cbNetworkDHCP, n.cbNetworkBOOTP},
          [this](const std::string* v) {
            Ui::pNetwork& u = *ui_;
            if (!v) return false;
            if (v->rfind("0.0.", 0) != 0 && SetIPAddressText(u.ipIP_addr, *v)) {
              u.rbStaticIP->setChecked(true);
            } else {
              u.rbDHCP->setChecked(true);
              SetIPConfigFlags(ThirdField(*v));
            }
            return true;
          },
          [this]() -> std::optional<std::string> {
            const Ui::pNetwork& u = *ui_;
            return u.rbStaticIP->isChecked() ? Std(u.ipIP_addr->Address())
                                             : "0.0." + std::to_string(GetIPConfigFlags()) + ".0";
          })
      .Default("192.168.1.254")
      .Mark(TMissingMark::Colour, {n.ipIP_addr})
      .Always()
      .Then([this] { rbStaticIPClick(ui_->rbStaticIP); });
  bindings_.Bind(basic, "Netmask", n.ipnetmask).Default("255.255.255.0").Mark(TMissingMark::Colour).Always();
  bindings_.Bind(basic, "Set_Gateway_IP_Address", n.ipgateway).Default("0.0.0.0").Mark(TMissingMark::Colour).Always();
  bindings_.Bind(basic, "Enter_new_DHCP_device_Name", n.eDHCPName).Default("").Always();
  // The list stays disabled: the window sets no other mode, but it shows the one the device
  // holds, and the pages follow it (a wired device has no usable WLAN page).
  bindings_.Bind(basic, "Network_mode", n.cbNetworkMode).Default("1").Mark(TMissingMark::Colour).Always().Then([this] {
    ui_->cbNetworkMode->setEnabled(false);
    cbNetworkModeChange(ui_->cbNetworkMode);
  });
  bindings_
      .Bind(
          "Expert", "Ethernet_connection_type", {n.cbNetworkAutoNegotiate, n.cbNetworkSpeed, n.cbNetworkDuplex},
          [this](const std::string* v) {
            int type = 0;
            SetNetworkSpeedDuplex(v && TryParseInteger(*v, type) ? type : 0);
            return true;
          },
          [this]() -> std::optional<std::string> { return std::to_string(GetNetworkSpeedDuplex()); })
      .Default("0")
      .Always();
}

TNetworkPage::~TNetworkPage() = default;

void TNetworkPage::Load(const TDeviceSettings& settings) { bindings_.Load(TBoundValues(settings)); }

void TNetworkPage::Store(TDeviceSettings& settings) const { bindings_.Store(TBoundValues(&settings)); }

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
  OnToggle(this, v.chbServerTelnetPassword, &TServerPage::chbServerTelnetPasswordClick);
  OnText(this, v.eServerTelnetPass, &TServerPage::eServerTelnetPassChange);
  OnText(this, v.eServerTelnetPass2, &TServerPage::eServerTelnetPassChange);

  // A new read never offers to change the telnet password; a new one goes only when both
  // entries agree.
  bindings_
      .Bind(
          "basic_parameters", "Enter_new_Password",
          {v.chbServerTelnetPassword, v.eServerTelnetPass, v.eServerTelnetPass2},
          [this](const std::string*) {
            ui_->chbServerTelnetPassword->setChecked(false);
            chbServerTelnetPasswordClick(ui_->chbServerTelnetPassword);
            return true;
          },
          [this]() -> std::optional<std::string> {
            const Ui::pServer& u = *ui_;
            if (!u.chbServerTelnetPassword->isChecked() || u.eServerTelnetPass->text() != u.eServerTelnetPass2->text())
              return std::nullopt;
            return Std(u.eServerTelnetPass->text());
          })
      .Always();
  const char* expert = "Expert";
  bindings_.Bind(expert, "TCP_Keepalive_time_in_s", v.ieServerKeepAlive).Mark(TMissingMark::Colour);
  bindings_.Bind(expert, "ARP_Cache_timeout_in_s", v.ieServerCahceTimeout).Mark(TMissingMark::Colour);
  bindings_.Bind(expert, "CPU_performance", v.cbServerCPUPerformence).Default("0");
  bindings_.Bind(expert, "Disable_Monitor_Mode___bootup", v.cbServerMonitorModeBootup).Mark(TMissingMark::Frame);
  bindings_.Bind(expert, "HTTP_Port_Number", v.ieServerHTTPServerPort).Mark(TMissingMark::Colour);
  bindings_.Bind(expert, "MTU_Size", v.ieServerMTUSize).Mark(TMissingMark::Colour);
}

TServerPage::~TServerPage() = default;

void TServerPage::Load(const TDeviceSettings& settings) { bindings_.Load(TBoundValues(settings)); }

void TServerPage::Store(TDeviceSettings& settings) const { bindings_.Store(TBoundValues(&settings)); }

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

  const char* security = "Security";
  auto flag = [&](const char* key, QCheckBox* box) { bindings_.Bind(security, key, box).Mark(TMissingMark::Frame); };
  flag("Disable_SNMP", s.cbSNMP);
  bindings_.Bind(security, "SNMP_Community_Name", s.eSNMP_Community_Name);
  flag("Disable_Telnet_Setup", s.cbTelnetSetup);
  flag("Disable_TFTP_Firmware_Update", s.cbTFTDownload);
  flag("Disable_Port_77FEh", s.cbPort77FEh);
  flag("Disable_Web_Server", s.cbWebServer);
  flag("Disable_Web_Setup", s.cbWebSetup);
  flag("Disable_ECHO_ports", s.cbEcho);
  flag("Enable_Encryption", s.cbEncryption);
  bindings_.BindText(security, "Key_length_in_bits", s.cbServicesKeyLength);
  // Only a key of exactly the chosen size is sent; the device never shows its own.
  bindings_
      .Bind(
          security, "Enter_Key", {s.eServicesKey}, [](const std::string*) { return false; },
          [this]() -> std::optional<std::string> {
            const Ui::pServices& u = *ui_;
            const bool fits =
                QString::number(4 * u.eServicesKey->text().size()) == u.cbServicesKeyLength->currentText();
            if (!u.cbEncryption->isChecked() || !fits) return std::nullopt;
            return Std(u.eServicesKey->text());
          })
      .Always();
  flag("Enable_Enhanced_Password", s.cbEnhancedPassword);
  // A new read never offers to change the password; a new one goes only when both entries agree.
  bindings_
      .Bind(
          security, "Enter_Password", {s.chbServicesChangePass, s.eServicesPassword, s.eServicesPassword2},
          [this](const std::string*) {
            ui_->chbServicesChangePass->setChecked(false);
            return true;
          },
          [this]() -> std::optional<std::string> {
            const Ui::pServices& u = *ui_;
            if (!u.cbEnhancedPassword->isChecked() || !u.chbServicesChangePass->isChecked() ||
                u.eServicesPassword->text() != u.eServicesPassword2->text())
              return std::nullopt;
            return Std(u.eServicesPassword->text());
          })
      .Always();
  flag("Disable_Port_77F0h", s.cbPort77F0h);
}

TServicesPage::~TServicesPage() = default;

void TServicesPage::Load(const TDeviceSettings& settings) {
  bindings_.Load(TBoundValues(settings));
  Ui::pServices& u = *ui_;
  cbSNMPClick(u.cbSNMP);
  eServicesKeyChange(u.eServicesKey);
  cbEncryptionClick(u.cbEncryption);
  cbEnhancedPasswordClick(u.cbEnhancedPassword);
}

void TServicesPage::Store(TDeviceSettings& settings) const { bindings_.Store(TBoundValues(&settings)); }

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
  Ui::pEmail& e = *ui_;
  bindings_.Bind("Expert", "SMTP_Port_Number", e.ieEmailServerPortNumber).Mark(TMissingMark::Colour);
  const char* mail = "E-mail";
  bindings_.Bind(mail, "Mail_server", e.ipEmailServer).Mark(TMissingMark::Frame);
  bindings_.Bind(mail, "Domain", e.eEmailDomainName).Mark(TMissingMark::Colour);
  bindings_.Bind(mail, "Unit", e.eEmailUnitName).Mark(TMissingMark::Colour);
  bindings_.Bind(mail, "Recipient_1", e.eEmailRecipinet1EmailAddress).Mark(TMissingMark::Colour);
  bindings_.Bind(mail, "Recipient_2", e.eEmailRecipinet2EmailAddress).Mark(TMissingMark::Colour);
}

TEmailPage::~TEmailPage() = default;

void TEmailPage::Load(const TDeviceSettings& settings) { bindings_.Load(TBoundValues(settings)); }

void TEmailPage::Store(TDeviceSettings& settings) const { bindings_.Store(TBoundValues(&settings)); }
