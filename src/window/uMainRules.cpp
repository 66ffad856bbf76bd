// The rules that keep the pages consistent. Each computes its result from the controls alone, so
// running one again changes nothing; code that selects a list item runs that list's rule itself.

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "ComCtrlsAdds.h"
#include "uIntEdit.h"
#include "uKaVruneBinding.h"
#include "uKaVruneCodecs.h"
#include "uMain.h"
#include "uMainForms.h"
#include "uMainPrivate.h"

namespace {

bool IsHexText(const QString& t) {
  for (QChar c : t)
    if (!QStringLiteral("0123456789abcdefABCDEF").contains(c)) return false;
  return true;
}

// Red and bold for a count that does not fit, window text and regular otherwise.
void ShowAlarm(QLabel* label, bool alarm) {
  QPalette pal = label->palette();
  pal.setColor(QPalette::WindowText, alarm ? QColor(255, 0, 0) : QApplication::palette(label).color(QPalette::WindowText));
  label->setPalette(pal);
  QFont f = label->font();
  f.setBold(alarm);
  label->setFont(f);
}

void SetHint(QWidget* w, const QString& hint, bool show) {
#ifdef KAVRUNE_HAVE_LANGUAGE
  SetControlHint(w, hint);
  SetControlShowHint(w, show);
#else
  w->setToolTip(show ? hint : QString());
#endif
}

// Fills a list with translated items and selects `keep` when the list has it, else item 0.
void FillList(QComboBox* list, const std::vector<std::pair<const char*, const char*>>& items, int keep) {
  list->clear();
  for (const auto& [key, text] : items) list->addItem(LangText(key, text));
  list->setCurrentIndex(keep < list->count() ? keep : 0);
}

}  // namespace

void TfMain::ConnectRules() {
  auto onToggle = [this](QAbstractButton* b, void (TfMain::*rule)(QObject*)) {
    connect(b, &QAbstractButton::toggled, this, [this, b, rule] { (this->*rule)(b); });
  };
  auto onText = [this](QLineEdit* e, void (TfMain::*rule)(QObject*)) {
    connect(e, &QLineEdit::textChanged, this, [this, e, rule] { (this->*rule)(e); });
  };
  // Only the user's choice: code that selects an item runs the rule itself.
  auto onChoice = [this](QComboBox* c, void (TfMain::*rule)(QObject*)) {
    connect(c, &QComboBox::activated, this, [this, c, rule] { (this->*rule)(c); });
  };
  Ui::pNetwork& n = *uiNetwork;
  onChoice(n.cbNetworkMode, &TfMain::cbNetworkModeChange);
  onToggle(n.rbStaticIP, &TfMain::rbStaticIPClick);
  onToggle(n.rbDHCP, &TfMain::rbStaticIPClick);
  onToggle(n.cbNetworkAutoNegotiate, &TfMain::cbNetworkAutoNegotiateClick);

  Ui::pServices& s = *uiServices;
  onToggle(s.cbSNMP, &TfMain::cbSNMPClick);
  onToggle(s.cbEncryption, &TfMain::cbEncryptionClick);
  onText(s.eServicesKey, &TfMain::eServicesKeyChange);
  onChoice(s.cbServicesKeyLength, &TfMain::eServicesKeyChange);
  onToggle(s.cbEnhancedPassword, &TfMain::cbEnhancedPasswordClick);
  onToggle(s.chbServicesChangePass, &TfMain::chbServicesChangePassClick);
  onText(s.eServicesPassword, &TfMain::eServicesPasswordChange);
  onText(s.eServicesPassword2, &TfMain::eServicesPasswordChange);

  Ui::pServer& v = *uiServer;
  onToggle(v.chbServerTelnetPassword, &TfMain::chbServerTelnetPasswordClick);
  onText(v.eServerTelnetPass, &TfMain::eServerTelnetPassChange);
  onText(v.eServerTelnetPass2, &TfMain::eServerTelnetPassChange);

  Ui::pcChannel1& c = *uiChannel1;
  for (QComboBox* line : {c.cbChannel1LineMode, c.cbChannel1LineDatabits, c.cbChannel1LineParity, c.cbChannel1LineStopBits})
    onChoice(line, &TfMain::cbChannel1LineModeChange);
  onChoice(c.cbChannel1Baudrate, &TfMain::cbChannel1BaudrateChange);
  for (QLineEdit* hex : {c.eChannel1PCMatchByte1, c.eChannel1PCMatchByte2, c.eChannel1ConnectionStartChar}) {
    hex->setProperty("Tag", 0);
    onText(hex, &TfMain::eChannel1PCMatchByte1Change);
  }
  onChoice(c.cbChannel1ConnectionType, &TfMain::cbChannel1ConnectionTypeChange);
  onChoice(c.cbChannel1ConnectionModemMode, &TfMain::cbChannel1ConnectionModemModeChange);
  onChoice(c.cbChannel1ConnectionActiveConnect, &TfMain::cbChannel1ConnectionActiveConnectChange);
  onToggle(c.cbChannel1ConnectionPasswordRequired, &TfMain::cbChannel1ConnectionPasswordRequiredClick);
  onToggle(c.cbChannel1ConnectionComPortCntrl, &TfMain::cbChannel1ConnectionComPortCntrlClick);
  onChoice(c.cbChannel1ConnectionUDPDatagramType, &TfMain::cbChannel1ConnectionUDPDatagramTypeChange);
  onToggle(c.chbChannel1ConnectionUDPUseBroadcast, &TfMain::chbChannel1ConnectionUDPUseBroadcastClick);

  Ui::pWLAN& w = *uiWLAN;
  onChoice(w.cbWLANNetworkType, &TfMain::cbWLANNetworkTypeChange);
  onChoice(w.cbWLANSecurity, &TfMain::cbWLANSecurityChange);
  onToggle(w.chbWLANChangeKey, &TfMain::chbWLANChangeKeyClick);
  onChoice(w.cbWLANEncryption, &TfMain::meWLANKeyChange);
  onChoice(w.cbWLANKeyType, &TfMain::meWLANKeyChange);
  onText(w.eWLANKey, &TfMain::meWLANKeyChange);
}

// ---------------------------------------------------------------------------------- network

void TfMain::cbNetworkModeChange(QObject* Sender) {
  Ui::pNetwork& u = *uiNetwork;
  const int n = u.cbNetworkMode->currentIndex();
  EnableControls({pWLAN}, n == 1, true);
  if (n == 1) cbWLANNetworkTypeChange(Sender);
  EnableControls({u.Label102, u.Label106, u.Label107, u.cbNetworkAutoNegotiate, u.cbNetworkSpeed, u.cbNetworkDuplex},
                 n != 1, false);
  if (n != 1) cbNetworkAutoNegotiateClick(Sender);
  EnableControls({u.rbStaticIP, u.rbDHCP, u.Label2, u.Label3, u.Label4, u.ipIP_addr, u.ipnetmask, u.ipgateway, u.Label42,
                  u.Label95, u.Label108, u.Label111, u.Label112, u.eDHCPName, u.cbNetworkBOOTP, u.cbNetworkDHCP,
                  u.cbNetworkAutoIP},
                 n != 2, false);
  if (n != 2) rbStaticIPClick(Sender);
}

void TfMain::rbStaticIPClick(QObject*) {
  Ui::pNetwork& u = *uiNetwork;
  EnableControls({u.Label2, u.Label3, u.Label4, u.ipIP_addr, u.ipnetmask, u.ipgateway}, u.rbStaticIP->isChecked(), false);
  EnableControls({u.Label42, u.Label95, u.Label108, u.Label111, u.Label112, u.eDHCPName, u.cbNetworkBOOTP,
                  u.cbNetworkDHCP, u.cbNetworkAutoIP},
                 u.rbDHCP->isChecked(), false);
}

void TfMain::cbNetworkAutoNegotiateClick(QObject*) {
  Ui::pNetwork& u = *uiNetwork;
  EnableControls({u.Label106, u.Label107, u.cbNetworkSpeed, u.cbNetworkDuplex},
                 !u.cbNetworkAutoNegotiate->isChecked() && IsOwnEnabled(u.cbNetworkAutoNegotiate), false);
}

// ---------------------------------------------------------------------------------- services

void TfMain::cbSNMPClick(QObject*) {
  EnableControls({uiServices->Label5, uiServices->eSNMP_Community_Name}, uiServices->cbSNMP->isChecked(), false);
}

void TfMain::cbEncryptionClick(QObject*) {
  Ui::pServices& u = *uiServices;
  EnableControls({u.Label29, u.Label30, u.lServicesKeyLength, u.cbServicesKeyLength, u.eServicesKey},
                 u.cbEncryption->isChecked(), false);
}

void TfMain::eServicesKeyChange(QObject*) {
  Ui::pServices& u = *uiServices;
  QLineEdit* key = u.eServicesKey;
  const int caret = key->cursorPosition();
  if (IsHexText(key->text())) {
    FServicesKeyText = key->text();
  } else {
    key->setText(FServicesKeyText);  // the change this raises accepts the old key
    key->setCursorPosition(std::max(0, caret - 1));
  }
  const int bits = 4 * static_cast<int>(key->text().size());
  u.lServicesKeyLength->setText(QString::number(bits) + LangText("bits", " bits"));
  ShowAlarm(u.lServicesKeyLength, u.cbServicesKeyLength->currentText() != QString::number(bits));
}

void TfMain::cbEnhancedPasswordClick(QObject* Sender) {
  Ui::pServices& u = *uiServices;
  EnableControls({u.Label36, u.chbServicesChangePass}, u.cbEnhancedPassword->isChecked(), false);
  chbServicesChangePassClick(Sender);
}

void TfMain::chbServicesChangePassClick(QObject*) {
  Ui::pServices& u = *uiServices;
  EnableControls({u.Label22, u.Label33, u.lServicesPassHint, u.eServicesPassword, u.eServicesPassword2},
                 u.chbServicesChangePass->isChecked() && u.cbEnhancedPassword->isChecked(), false);
}

void TfMain::eServicesPasswordChange(QObject*) {
  Ui::pServices& u = *uiServices;
  const QString a = u.eServicesPassword->text(), b = u.eServicesPassword2->text();
  u.lServicesPassHint->setVisible(u.cbEnhancedPassword->isChecked() && !a.isEmpty() && !b.isEmpty() && a != b);
}

// ---------------------------------------------------------------------------------- server

void TfMain::chbServerTelnetPasswordClick(QObject*) {
  Ui::pServer& u = *uiServer;
  EnableControls({u.Label92, u.Label93, u.lServerPassHint, u.eServerTelnetPass, u.eServerTelnetPass2},
                 u.chbServerTelnetPassword->isChecked(), false);
}

void TfMain::eServerTelnetPassChange(QObject*) {
  Ui::pServer& u = *uiServer;
  const QString a = u.eServerTelnetPass->text(), b = u.eServerTelnetPass2->text();
  u.lServerPassHint->setVisible(!a.isEmpty() && !b.isEmpty() && a != b);
}

// ---------------------------------------------------------------------------------- channel

void TfMain::cbChannel1LineModeChange(QObject*) {
  Ui::pcChannel1& c = *uiChannel1;
  const std::vector<int> items = {c.cbChannel1LineMode->currentIndex(), c.cbChannel1LineDatabits->currentIndex(),
                                  c.cbChannel1LineParity->currentIndex(), c.cbChannel1LineStopBits->currentIndex()};
  c.lChannel1_IFMode->setText(Qs(HexByte2(EncodeFields(IFModeFields(), items))) + QLatin1Char('h'));
}

void TfMain::cbChannel1BaudrateChange(QObject*) {
  Ui::pcChannel1& c = *uiChannel1;
  const bool warn = c.cbChannel1Baudrate->currentIndex() > 10 && uiServer->cbServerCPUPerformence->currentIndex() != 2;
  QPalette pal = c.lChannel1Baudrate->palette();
  pal.setColor(QPalette::WindowText,
               warn ? QColor(255, 0, 0) : QApplication::palette(c.lChannel1Baudrate).color(QPalette::WindowText));
  c.lChannel1Baudrate->setPalette(pal);
  const QString hint = warn ? LangText("Channel_Baudrate_HINT ", "Requires CPU high performance! (Server)") : QString();
  SetHint(c.lChannel1Baudrate, hint, warn);
  SetHint(c.cbChannel1Baudrate, hint, warn);
}

void TfMain::eChannel1PCMatchByte1Change(QObject* Sender) {
  auto* edit = qobject_cast<QLineEdit*>(Sender);
  if (!edit) return;
  const QString t = edit->text();
  if (t.size() <= 2 && IsHexText(t)) {
    edit->setProperty("Tag", t.isEmpty() ? 0 : t.toInt(nullptr, 16));
  } else {
    const int caret = edit->cursorPosition();
    edit->setText(QString::number(edit->property("Tag").toInt(), 16).toUpper());
    edit->setCursorPosition(std::min(caret, static_cast<int>(edit->text().size())));
  }
}

void TfMain::cbChannel1ConnectionTypeChange(QObject*) {
  Ui::pcChannel1& c = *uiChannel1;
  const bool tcp = c.cbChannel1ConnectionType->currentIndex() == 0;
  c.pChannel1ConnectionTCP->setVisible(tcp);
  c.pChannel1ConnectionUSB->setVisible(!tcp);
  EnableControls({c.pChannel1PackControl, c.pChannel1FlushMode}, tcp, true);
}

void TfMain::cbChannel1ConnectionModemModeChange(QObject* Sender) {
  Ui::pcChannel1& c = *uiChannel1;
  const int m = c.cbChannel1ConnectionModemMode->currentIndex();
  EnableControls({c.Label116, c.Label141, c.cbChannel1ConnectionActiveConnect, c.cbChannel1ConnectionConnectResponse},
                 m == 0, false);
  if (m != 0) {
    c.cbChannel1ConnectionActiveConnect->setCurrentIndex(0);
    cbChannel1ConnectionActiveConnectChange(Sender);
  }
  c.cbChannel1ConnectionConnectResponse->setCurrentIndex(m == 2 || m == 3 ? 1 : 0);
}

void TfMain::cbChannel1ConnectionActiveConnectChange(QObject*) {
  Ui::pcChannel1& c = *uiChannel1;
  EnableControls({c.Label120, c.Label134, c.eChannel1ConnectionStartChar},
                 c.cbChannel1ConnectionActiveConnect->currentIndex() == 3, false);
}

void TfMain::cbChannel1ConnectionPasswordRequiredClick(QObject* Sender) {
  Ui::pcChannel1& c = *uiChannel1;
  const bool required = c.cbChannel1ConnectionPasswordRequired->isChecked();
  EnableControls({c.eChannel1ConnectionPassword}, required, false);
  EnableControls({c.cbChannel1ConnectionComPortCntrl}, !required, false);
  if (required) {
    c.cbChannel1ConnectionComPortCntrl->setChecked(false);
    cbChannel1ConnectionComPortCntrlClick(Sender);
  }
}

void TfMain::cbChannel1ConnectionComPortCntrlClick(QObject*) {
  Ui::pcChannel1& c = *uiChannel1;
  EnableControls({c.eChannel1ConnectionTerminalName}, c.cbChannel1ConnectionComPortCntrl->isChecked(), false);
}

void TfMain::cbChannel1ConnectionUDPDatagramTypeChange(QObject* Sender) {
  Ui::pcChannel1& c = *uiChannel1;
  const int d = c.cbChannel1ConnectionUDPDatagramType->currentIndex();
  EnableControls({c.Label151, c.Label153, c.ieChannel1ConnectionUDPLocalPort, c.ieChannel1ConnectionUDPRemotePort},
                 d != 0 && d != 2, false);
  EnableControls({c.Label149, c.pChannel1ConnectionUDPDeviceAddressTable}, d == 4, true);
  chbChannel1ConnectionUDPUseBroadcastClick(Sender);
}

void TfMain::chbChannel1ConnectionUDPUseBroadcastClick(QObject*) {
  Ui::pcChannel1& c = *uiChannel1;
  const int d = c.cbChannel1ConnectionUDPDatagramType->currentIndex();
  EnableControls({c.Label152, c.ipChannel1ConnectionUDPRemoteHost},
                 d != 0 && d != 2 && !c.chbChannel1ConnectionUDPUseBroadcast->isChecked(), false);
}

// ---------------------------------------------------------------------------------- WLAN

void TfMain::cbWLANNetworkTypeChange(QObject* Sender) {
  Ui::pWLAN& w = *uiWLAN;
  const int t = w.cbWLANNetworkType->currentIndex();
  EnableControls({w.Label81, w.cbWLANRadioPowerManagement}, t == 0, false);
  EnableControls({w.Label72, w.cbWLANChannel, w.Label85}, t != 0, false);
  const int keep = std::max(1, w.cbWLANSecurity->currentIndex());
  std::vector<std::pair<const char*, const char*>> items = {{"WLAN_Security_None", "None"}, {"WLAN_Security_WEP", "WEP"}};
  if (t == 0) {
    items.emplace_back("WLAN_Security_WPA", "WPA");
    items.emplace_back("WLAN_Security_WPA2", "WPA2/802.11i");
  }
  FillList(w.cbWLANSecurity, items, keep);
  cbWLANSecurityChange(Sender);
}

void TfMain::cbWLANSecurityChange(QObject* Sender) {
  Ui::pWLAN& w = *uiWLAN;
  const int s = w.cbWLANSecurity->currentIndex();
  EnableControls({w.Label32, w.Label74, w.Label75, w.Label76, w.chbWLANChangeKey, w.cbWLANAuthentication,
                  w.cbWLANEncryption, w.cbWLANKeyType},
                 s != 0, false);
  EnableControls({w.Label86, w.cbWLANTXKey}, s == 1, false);
  chbWLANChangeKeyClick(Sender);
  const int a = std::max(1, w.cbWLANAuthentication->currentIndex());
  const int e = std::max(1, w.cbWLANEncryption->currentIndex());
  using Items = std::vector<std::pair<const char*, const char*>>;
  static const Items psk = {{"WLAN_Authentication_PreShared", "Pre-Shared Key (PSK)"}};
  static const std::array<std::pair<Items, Items>, 4> lists = {{
      {{{"WLAN_Security_None", "None"}}, {{"WLAN_Authentication_None", "None"}}},
      {{{"WLAN_Authentication_OpenNone", "Open/None"}, {"WLAN_Authentication_Shared", "Shared"}},
       {{"WLAN_Encryption_64", "64 bits"}, {"WLAN_Encryption_128", "128 bits"}}},
      {psk, {{"WLAN_Encryption_TKIP", "TKIP"}, {"WLAN_Encryption_TKIPWEP", "TKIP+WEP"}}},
      {psk,
       {{"WLAN_Encryption_CCMP", "CCMP"},
        {"Encryption_CCMPTKIP", "CCMP+TKIP"},
        {"ncryption_CCMPWEP", "CCMP+WEP"},
        {"WLAN_Encryption_TKIP", "TKIP"},
        {"WLAN_Encryption_TKIPWEP", "TKIP+WEP"}}},
  }};
  const bool known = s >= 0 && s < static_cast<int>(lists.size());
  FillList(w.cbWLANAuthentication, known ? lists[s].first : Items{}, a);
  FillList(w.cbWLANEncryption, known ? lists[s].second : Items{}, e);
}

void TfMain::chbWLANChangeKeyClick(QObject* Sender) {
  Ui::pWLAN& w = *uiWLAN;
  EnableControls({w.Label76, w.Label77, w.eWLANKey, w.cbWLANKeyType},
                 w.chbWLANChangeKey->isChecked() && w.cbWLANSecurity->currentIndex() != 0, false);
  meWLANKeyChange(Sender);
}

void TfMain::meWLANKeyChange(QObject*) {
  Ui::pWLAN& w = *uiWLAN;
  w.lWLANKeyLen->setVisible(w.chbWLANChangeKey->isChecked() && w.cbWLANSecurity->currentIndex() > 0);
  const int bits = static_cast<int>(w.eWLANKey->text().size()) * (w.cbWLANKeyType->currentIndex() == 0 ? 4 : 8);
  const int limit = GetWLANKeyBits();
  w.lWLANKeyLen->setText(QStringLiteral("%1/%2").arg(bits).arg(limit) + LangText("bits", " bits"));
  ShowAlarm(w.lWLANKeyLen, bits > limit);
}
