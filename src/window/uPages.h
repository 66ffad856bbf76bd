#pragma once
// The window's setting pages. Each owns its Designer form, binds its controls to the rows of the
// settings table (the list in its constructor), loads them from the settings model and stores
// them back, and keeps its controls consistent with small rules. A rule computes its result from the controls alone, so
// running it again changes nothing; code that selects a list item runs that list's rule itself.

#include <QTabWidget>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "uKaVruneBinding.h"
#include "uKaVruneModel.h"

namespace Ui {
class pNetwork;
class pServer;
class pServices;
class pcChannel1;
class pWLAN;
class pEmail;
}  // namespace Ui

// WLAN: the wireless network, its security suite and key.
class TWLANPage final : public QWidget {
  Q_OBJECT
 public:
  explicit TWLANPage(QWidget* parent);
  ~TWLANPage() override;
  Ui::pWLAN& Form() const { return *ui_; }
  void Load(const TDeviceSettings& settings);
  void Store(TDeviceSettings& settings) const;
  const TBindings& Bindings() const { return bindings_; }
  // The unit's regulatory domain as it prints it ("Europe (ETSI)"); empty for a unit that prints none.
  void ShowCountry(const QString& country);
  // The key size the chosen security and encryption take, in bits; 0 without a key.
  int GetWLANKeyBits() const;

 public slots:
  void cbWLANNetworkTypeChange(QObject* Sender);
  void cbWLANSecurityChange(QObject* Sender);
  void chbWLANChangeKeyClick(QObject* Sender);
  void meWLANKeyChange(QObject* Sender);

 private:
  // The WEP sizes are counted from 1, the other suites' encryptions from 0.
  int EncryptionOffset() const;
  std::unique_ptr<Ui::pWLAN> ui_;
  TBindings bindings_;
};

// Server: the telnet password (a basic parameter) and the expert settings.
class TServerPage final : public QWidget {
  Q_OBJECT
 public:
  explicit TServerPage(QWidget* parent);
  ~TServerPage() override;
  Ui::pServer& Form() const { return *ui_; }
  void Load(const TDeviceSettings& settings);
  void Store(TDeviceSettings& settings) const;
  const TBindings& Bindings() const { return bindings_; }
  // The highest baud rates need the CPU's high performance.
  bool HighCpuPerformance() const;

 public slots:
  void chbServerTelnetPasswordClick(QObject* Sender);
  void eServerTelnetPassChange(QObject* Sender);

 private:
  std::unique_ptr<Ui::pServer> ui_;
  TBindings bindings_;
};

// Network: addresses, DHCP, the network mode and the Ethernet type (an expert setting).
class TNetworkPage final : public QWidget {
  Q_OBJECT
 public:
  explicit TNetworkPage(QWidget* parent);
  ~TNetworkPage() override;
  Ui::pNetwork& Form() const { return *ui_; }
  // The network mode decides whether the WLAN page is enabled at all; set before the first load.
  void SetWLANPage(TWLANPage* wlan) { wlan_ = wlan; }
  void Load(const TDeviceSettings& settings);
  void Store(TDeviceSettings& settings) const;
  const TBindings& Bindings() const { return bindings_; }

  // --- codecs between control groups and the device's numbers
  int GetNetworkSpeedDuplex() const;
  void SetNetworkSpeedDuplex(int t);
  int GetIPConfigFlags() const;
  void SetIPConfigFlags(int f);

 public slots:
  void cbNetworkModeChange(QObject* Sender);
  void rbStaticIPClick(QObject* Sender);
  void cbNetworkAutoNegotiateClick(QObject* Sender);

 private:
  std::unique_ptr<Ui::pNetwork> ui_;
  TBindings bindings_;
  TWLANPage* wlan_ = nullptr;
};

// Services: the device's services, SNMP, encryption and the enhanced password.
class TServicesPage final : public QWidget {
  Q_OBJECT
 public:
  explicit TServicesPage(QWidget* parent);
  ~TServicesPage() override;
  Ui::pServices& Form() const { return *ui_; }
  void Load(const TDeviceSettings& settings);
  void Store(TDeviceSettings& settings) const;
  const TBindings& Bindings() const { return bindings_; }

 public slots:
  void cbSNMPClick(QObject* Sender);
  void cbEncryptionClick(QObject* Sender);
  void eServicesKeyChange(QObject* Sender);
  void cbEnhancedPasswordClick(QObject* Sender);
  void chbServicesChangePassClick(QObject* Sender);
  void eServicesPasswordChange(QObject* Sender);

 private:
  std::unique_ptr<Ui::pServices> ui_;
  TBindings bindings_;
  QString keyText_;  // the last key text that held hexadecimal digits only
};

// E-mail: the mail server and recipients, and the SMTP port (an expert setting).
class TEmailPage final : public QWidget {
  Q_OBJECT
 public:
  explicit TEmailPage(QWidget* parent);
  ~TEmailPage() override;
  Ui::pEmail& Form() const { return *ui_; }
  void Load(const TDeviceSettings& settings);
  void Store(TDeviceSettings& settings) const;
  const TBindings& Bindings() const { return bindings_; }

 private:
  std::unique_ptr<Ui::pEmail> ui_;
  TBindings bindings_;
};

// Channel 1 and Channel 2 share one form. The channel not shown keeps its settings as values of
// the settings model, so neither the read document nor the controls hold a hidden channel.
class TChannelPage final : public QTabWidget {
  Q_OBJECT
 public:
  // The baud rate rule looks at the server's CPU performance.
  TChannelPage(QWidget* parent, const TServerPage& server);
  ~TChannelPage() override;
  Ui::pcChannel1& Form() const { return *ui_; }

  const TBindings& Bindings() const { return bindings_; }
  void ResetChannelControls();

  // Both channels of the settings; each goes through the controls once, starting from what the
  // one before left on them, and the controls keep the last one, or channel 1 when it is shown.
  void TakeChannels(const TDeviceSettings& settings, int shown);
  // Keeps the controls as channel n's settings (1 or 2; 0: no channel shown).
  void KeepChannel(int n);
  // The controls reset, then channel n's settings on them.
  void ShowChannel(int n);
  // Both channels into the settings; channel `shown` from the controls over its kept values.
  void StoreChannels(TDeviceSettings& settings, int shown) const;

  // --- codecs between control groups and the device's bytes
  uint8_t GetFlushMode() const;
  void SetFlushMode(uint8_t b);
  uint8_t GetPackControl() const;
  void SetPackControl(uint8_t b);
  uint8_t GetConnectMode() const;
  void SetConnectMode(uint8_t b);
  uint8_t GetDisconnectMode() const;
  void SetDisconnectMode(uint8_t b);
  int GetUDPDeviceAddress(int i) const;
  void SetUDPDeviceAddress(int i, int b);

 public slots:
  void cbChannel1LineModeChange(QObject* Sender);
  void cbChannel1BaudrateChange(QObject* Sender);
  void cbChannel1ConnectionTypeChange(QObject* Sender);
  void cbChannel1ConnectionModemModeChange(QObject* Sender);
  void cbChannel1ConnectionActiveConnectChange(QObject* Sender);
  void cbChannel1ConnectionPasswordRequiredClick(QObject* Sender);
  void cbChannel1ConnectionComPortCntrlClick(QObject* Sender);
  void cbChannel1ConnectionUDPDatagramTypeChange(QObject* Sender);
  void chbChannel1ConnectionUDPUseBroadcastClick(QObject* Sender);

 private:
  void ConnectRules();
  void BindSettings();
  void LoadShown(int n);
  // The groups in the field order of their byte layouts.
  std::vector<QWidget*> FlushGroup() const;
  std::vector<QWidget*> PackGroup() const;
  std::vector<QWidget*> DisconnectGroup() const;
  QWidget* UDPDeviceAddressEntry(int i) const;

  std::unique_ptr<Ui::pcChannel1> ui_;
  const TServerPage& server_;
  TBindings bindings_;           // rows of Channel_1, for whichever channel is shown
  TDeviceSettings channels_;     // the sections Channel_1 and Channel_2
  std::array<bool, 3> known_{};  // known_[n]: channel n was reported
};

// The name of channel n's section: "Channel_1", "Channel_2".
std::string ChannelSection(int n);
