// The WLAN page: the wireless network, its security suite and key.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <array>

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

  // In load order: the topology decides which suites the list offers, the suite what the
  // authentication and encryption lists offer.
  const char* wlan = "WLAN";
  bindings_.Bind(wlan, "Topology", w.cbWLANNetworkType).Default("0").Always().Then([this] {
    cbWLANNetworkTypeChange(ui_->cbWLANNetworkType);
  });
  bindings_.Bind(wlan, "Network_name", w.eWLANName).Mark(TMissingMark::Colour).Always();
  bindings_.Bind(wlan, "Channel", w.cbWLANChannel, 1).Always();
  // Ad-Hoc offers fewer suites; a suite the list lacks selects none rather than a wrong one.
  bindings_
      .Bind(
          wlan, "Security_suite", {w.cbWLANSecurity},
          [this](const std::string* v) {
            int item = -1;
            if (!v || !TryParseInteger(*v, item)) return false;
            ui_->cbWLANSecurity->setCurrentIndex(item >= 0 && item < ui_->cbWLANSecurity->count() ? item : -1);
            return true;
          },
          [this]() -> std::optional<std::string> {
            const int item = ui_->cbWLANSecurity->currentIndex();
            return item < 0 ? std::nullopt : std::optional(std::to_string(item));
          })
      .Default("0")
      .Mark(TMissingMark::Colour)
      .Always()
      .Then([this] { cbWLANSecurityChange(ui_->cbWLANSecurity); });
  bindings_.Bind(wlan, "Authentication", w.cbWLANAuthentication).Always();
  // The device counts the WEP key sizes from 1.
  bindings_.Bind(wlan, "Encryption", w.cbWLANEncryption, [this] { return EncryptionOffset(); }).Always();
  bindings_.Bind(wlan, "Key_type_0", w.cbWLANKeyType);
  bindings_.Bind(wlan, "TX_Key_index", w.cbWLANTXKey, 1).Always();
  // A new read never offers to change the key.
  bindings_
      .Bind(
          wlan, "Enter_Key", {w.chbWLANChangeKey, w.eWLANKey},
          [this](const std::string*) {
            ui_->chbWLANChangeKey->setChecked(false);
            chbWLANChangeKeyClick(ui_->chbWLANChangeKey);
            return true;
          },
          [this]() -> std::optional<std::string> {
            if (!ui_->chbWLANChangeKey->isChecked()) return std::nullopt;
            return Std(ui_->eWLANKey->text());
          })
      .Always();
  // "rate:fallback"; without a value the fallback box is cleared and the rate kept.
  bindings_
      .Bind(
          wlan, "TX_Data_rate", {w.cbWLANTXDateRate, w.cbWLANAutoFallback},
          [this](const std::string* v) {
            const TSplit s = SplitAt(v ? *v : std::string(), ":");
            int rate = -1;
            ui_->cbWLANAutoFallback->setChecked(s.Tail == "1");
            if (!v || !TryParseInteger(s.Head, rate)) return false;
            ui_->cbWLANTXDateRate->setCurrentIndex(rate);
            return true;
          },
          [this]() -> std::optional<std::string> {
            const int rate = ui_->cbWLANTXDateRate->currentIndex();
            if (rate < 0) return std::nullopt;
            return std::to_string(rate) + (ui_->cbWLANAutoFallback->isChecked() ? ":1" : ":0");
          })
      .Mark(TMissingMark::Colour)
      .Always();
  bindings_.Bind(wlan, "Enable_power_management", w.cbWLANRadioPowerManagement).Mark(TMissingMark::Frame);
}

TWLANPage::~TWLANPage() = default;

void TWLANPage::Load(const TDeviceSettings& settings) { bindings_.Load(TBoundValues(settings)); }

void TWLANPage::Store(TDeviceSettings& settings) const { bindings_.Store(TBoundValues(&settings)); }

void TWLANPage::ShowCountry(const QString& country) { ui_->Label85->setText(country); }

int TWLANPage::EncryptionOffset() const { return ui_->cbWLANSecurity->currentIndex() == 1 ? 1 : 0; }

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
