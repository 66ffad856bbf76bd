// The WLAN page: the wireless network, its security suite and key.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <array>

#include "uKaVruneCodecs.h"
#include "uPageSupport.h"
#include "uPages.h"
#include "ui_pWLAN.h"

namespace {

// Fills a list with translated items and selects `keep` when the list has it, else item 0.
void FillList(QComboBox* list, const std::vector<std::pair<const char*, const char*>>& items, int keep) {
  list->clear();
  for (const auto& [key, text] : items) list->addItem(LangText(key, text));
  list->setCurrentIndex(keep < list->count() ? keep : 0);
}

}  // namespace

TWLANPage::TWLANPage(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::pWLAN>()) {
  ui_->setupUi(this);
  Ui::pWLAN& w = *ui_;
  OnChoice(this, w.cbWLANNetworkType, &TWLANPage::cbWLANNetworkTypeChange);
  OnChoice(this, w.cbWLANSecurity, &TWLANPage::cbWLANSecurityChange);
  OnToggle(this, w.chbWLANChangeKey, &TWLANPage::chbWLANChangeKeyClick);
  OnChoice(this, w.cbWLANEncryption, &TWLANPage::meWLANKeyChange);
  OnChoice(this, w.cbWLANKeyType, &TWLANPage::meWLANKeyChange);
  OnText(this, w.eWLANKey, &TWLANPage::meWLANKeyChange);
}

TWLANPage::~TWLANPage() = default;

void TWLANPage::Load(const TXmlElement& root) {
  const TXmlElement s = root.FirstChild("WLAN");
  if (!s) return;
  Ui::pWLAN& w = *ui_;
  std::string text;
  KeyText(s, "Topology", text);
  w.cbWLANNetworkType->setCurrentIndex(text == "Ad-Hoc" ? 1 : 0);
  cbWLANNetworkTypeChange(w.cbWLANNetworkType);

  // The unit's regulatory domain as it prints it ("Europe (ETSI)"); a unit that prints none is
  // not given one.
  w.Label85->setText(KeyText(s, "Country", text) ? QString::fromStdString(text) : QString());
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

void TWLANPage::Store(const TXmlElement& root) const {
  Ui::pWLAN& w = *ui_;
  const TXmlElement s = root.FirstChild("WLAN");
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

int TWLANPage::GetWLANKeyBits() const {
  const int s = ui_->cbWLANSecurity->currentIndex();
  const int e = ui_->cbWLANEncryption->currentIndex();
  if (s == 1 && e == 0) return 40;
  if (s == 1 && e == 1) return 104;
  if (s == 2 || s == 3) return 256;
  return 0;
}

void TWLANPage::cbWLANNetworkTypeChange(QObject* Sender) {
  Ui::pWLAN& w = *ui_;
  const int t = w.cbWLANNetworkType->currentIndex();
  EnableControls({w.Label81, w.cbWLANRadioPowerManagement}, t == 0, false);
  EnableControls({w.Label72, w.cbWLANChannel, w.Label85}, t != 0, false);
  const int keep = std::max(1, w.cbWLANSecurity->currentIndex());
  std::vector<std::pair<const char*, const char*>> items = {{"WLAN_Security_None", "None"},
                                                            {"WLAN_Security_WEP", "WEP"}};
  if (t == 0) {
    items.emplace_back("WLAN_Security_WPA", "WPA");
    items.emplace_back("WLAN_Security_WPA2", "WPA2/802.11i");
  }
  FillList(w.cbWLANSecurity, items, keep);
  cbWLANSecurityChange(Sender);
}

void TWLANPage::cbWLANSecurityChange(QObject* Sender) {
  Ui::pWLAN& w = *ui_;
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

void TWLANPage::chbWLANChangeKeyClick(QObject* Sender) {
  Ui::pWLAN& w = *ui_;
  EnableControls({w.Label76, w.Label77, w.eWLANKey, w.cbWLANKeyType},
                 w.chbWLANChangeKey->isChecked() && w.cbWLANSecurity->currentIndex() != 0, false);
  meWLANKeyChange(Sender);
}

void TWLANPage::meWLANKeyChange(QObject*) {
  Ui::pWLAN& w = *ui_;
  w.lWLANKeyLen->setVisible(w.chbWLANChangeKey->isChecked() && w.cbWLANSecurity->currentIndex() > 0);
  const int bits = static_cast<int>(w.eWLANKey->text().size()) * (w.cbWLANKeyType->currentIndex() == 0 ? 4 : 8);
  const int limit = GetWLANKeyBits();
  w.lWLANKeyLen->setText(QStringLiteral("%1/%2").arg(bits).arg(limit) + LangText("bits", " bits"));
  ShowAlarm(w.lWLANKeyLen, bits > limit);
}
