// The channel page's bindings, and both channels' settings: the one shown on the controls, the
// hidden one kept as values of the settings model.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "ComCtrlsAdds.h"
#include "uPageSupport.h"
#include "uPages.h"
#include "ui_pcChannel1.h"

std::string ChannelSection(int n) { return "Channel_" + std::to_string(n); }

void TChannelPage::BindSettings() {
  Ui::pcChannel1& c = *ui_;
  // The rows of channel 1 stand for those of whichever channel the page shows.
  const char* ch = "Channel_1";
  auto tcp = [this] { return ui_->cbChannel1ConnectionType->currentIndex() == 0; };
  auto udp = [this] { return ui_->cbChannel1ConnectionType->currentIndex() != 0; };

  bindings_.BindText(ch, "Baudrate", c.cbChannel1Baudrate).Default("9600").Mark(TMissingMark::Colour).Then([this] {
    cbChannel1BaudrateChange(ui_->cbChannel1Baudrate);
  });
  bindings_
      .Bind(ch, "I_F_Mode",
            {c.cbChannel1LineMode, c.cbChannel1LineDatabits, c.cbChannel1LineParity, c.cbChannel1LineStopBits})
      .Default("4C")
      .Mark(TMissingMark::Colour)
      .Always()
      .Then([this] { cbChannel1LineModeChange(ui_->cbChannel1LineMode); });
  bindings_.BindCodes(ch, "Flow", c.cbChannel1Flow, FlowControlCodes).Default("0").Mark(TMissingMark::Colour).Always();
  bindings_.Bind(ch, "FlushMode", FlushGroup()).Default("0").Mark(TMissingMark::Colour).Always();
  bindings_.Bind(ch, "Pack_Cntrl", PackGroup()).Default("0").Mark(TMissingMark::Colour).Always();
  bindings_.Bind(ch, "SendChar_1", c.eChannel1PCMatchByte1).Default("");
  bindings_.Bind(ch, "SendChar_2", c.eChannel1PCMatchByte2).Default("");
  // The connect mode decides which part, TCP or UDP, the rest is loaded into.
  bindings_
      .Bind(
          ch, "ConnectMode",
          {c.cbChannel1ConnectionType, c.cbChannel1ConnectionUDPAcceptIncoming, c.cbChannel1ConnectionAcceptIncoming,
           c.cbChannel1ConnectionModemMode, c.cbChannel1ConnectionActiveConnect, c.cbChannel1ConnectionConnectResponse,
           c.cbChannel1ConnectionUseHostlist},
          [this](const std::string* v) {
            SetConnectMode(ReadHexByte(v ? *v : std::string(), 0xC0));
            return v != nullptr;
          },
          [this]() -> std::optional<std::string> { return HexByte(GetConnectMode()); })
      .Default("C0")
      .Mark(TMissingMark::Colour, {c.cbChannel1ConnectionType})
      .Always();

  bindings_.Bind(ch, "DisConnMode", DisconnectGroup()).Default("0").Always().When(tcp);
  bindings_
      .Bind(
          ch, "DisConnTime", {c.ieChannel1ConnectionInactivityTimeoutM, c.ieChannel1ConnectionInactivityTimeoutS},
          [this](const std::string* v) {
            const TSplit time = SplitAt(v ? *v : std::string(), ":");
            int m = 0, s = 0;
            ShowIntAsRead(ui_->ieChannel1ConnectionInactivityTimeoutM, TryParseInteger(time.Head, m) ? m : 0);
            ShowIntAsRead(ui_->ieChannel1ConnectionInactivityTimeoutS, TryParseInteger(time.Tail, s) ? s : 0);
            return v != nullptr;
          },
          [this]() -> std::optional<std::string> {
            return std::to_string(ValueOf(ui_->ieChannel1ConnectionInactivityTimeoutM)) + ":" +
                   std::to_string(ValueOf(ui_->ieChannel1ConnectionInactivityTimeoutS));
          })
      .Default("0:0")
      .Always()
      .When(tcp);
  bindings_.Bind(ch, "Port_No", c.ieChannel1ConnectionPort).Mark(TMissingMark::Colour).When(tcp);
  bindings_.Bind(ch, "Remote_IP_Address", c.ipChannel1ConnectionRemoteHost).When(tcp);
  bindings_.Bind(ch, "Remote_Port", c.ieChannel1ConnectionRemotePort).When(tcp);
  bindings_.Bind(ch, "Start_Char", c.eChannel1ConnectionStartChar).When(tcp);
  bindings_.Bind(ch, "Auto_increment_source_port", c.cbChannel1ConnectionAutoIncrease4ActiveConnect).When(tcp);
  bindings_.Bind(ch, "Show_IP_addr_after__RING", c.cbChannel1ConnectionShowIPAfterRing).When(tcp);
  bindings_.Bind(ch, "Send_______in_Modem_Mode", c.cbChannel1ConnectionModemEscapeSequencePassThrough)
      .Mark(TMissingMark::Frame)
      .When(tcp);
  bindings_.Bind(ch, "Terminal_name", c.eChannel1ConnectionTerminalName).When(tcp);
  bindings_.Bind(ch, "Password", c.eChannel1ConnectionPassword).When(tcp);

  bindings_.Bind(ch, "Send_as_Broadcast", c.chbChannel1ConnectionUDPUseBroadcast).Default("N").When(udp);
  bindings_.BindText(ch, "Datagram_Type", c.cbChannel1ConnectionUDPDatagramType).Always().When(udp);
  // A broadcast has no remote host of its own.
  bindings_.Bind(ch, "Remote_IP_Address", c.ipChannel1ConnectionUDPRemoteHost).Default("0.0.0.0").When([this] {
    return ui_->cbChannel1ConnectionType->currentIndex() != 0 &&
           !ui_->chbChannel1ConnectionUDPUseBroadcast->isChecked();
  });
  bindings_.Bind(ch, "Remote_Port", c.ieChannel1ConnectionUDPRemotePort).Default("0").When(udp);
  bindings_.Bind(ch, "Port_No", c.ieChannel1ConnectionUDPLocalPort).When(udp);
  std::vector<QWidget*> table;
  for (int i = 0; i < 16; ++i) table.push_back(UDPDeviceAddressEntry(i));
  // Sixteen blank-separated bytes; without a table every entry is 0.
  bindings_
      .Bind(
          ch, "Change_address_table", table,
          [this](const std::string* v) {
            std::string rest = v ? *v : std::string();
            for (int i = 0; i < 16; ++i) {
              const TSplit s = SplitAt(rest, " ");
              rest = s.Tail;
              // A number that no byte holds is shown as the unit sent it; text is read as 0.
              int entry = 0;
              if (auto* e = qobject_cast<TIntEdit*>(UDPDeviceAddressEntry(i)))
                ShowIntAsRead(e, TryParseInteger(s.Head, entry) ? entry : 0);
            }
            return v != nullptr;
          },
          [this]() -> std::optional<std::string> {
            std::string text;
            for (int i = 0; i < 16; ++i) text += (i ? " " : "") + std::to_string(GetUDPDeviceAddress(i));
            return text;
          })
      .Always()
      .When(udp);
}

void TChannelPage::TakeChannels(const TDeviceSettings& settings, int shown) {
  channels_ = TDeviceSettings();
  known_ = {};
  for (int n : {1, 2}) {
    const auto section = settings.Sections().find(ChannelSection(n));
    if (section == settings.Sections().end()) continue;
    for (const auto& [key, value] : section->second) channels_.Set(section->first, key, value);
    known_[n] = true;
  }
  // Each channel goes through the controls once, starting from what the one before left.
  for (int n : {1, 2}) {
    if (!known_[n]) continue;
    LoadShown(n);
    KeepChannel(n);
  }
  if (shown == 1) LoadShown(1);
}

void TChannelPage::LoadShown(int n) {
  bindings_.Load(TBoundValues(channels_, ChannelSection(n)));
  cbChannel1ConnectionUDPDatagramTypeChange(ui_->cbChannel1ConnectionUDPDatagramType);
}

void TChannelPage::KeepChannel(int n) {
  if (n < 1 || n > 2) return;
  bindings_.Store(TBoundValues(&channels_, ChannelSection(n)));
  known_[n] = true;
}

void TChannelPage::ShowChannel(int n) {
  ResetChannelControls();
  if (n >= 1 && n <= 2 && known_[n]) LoadShown(n);
}

void TChannelPage::StoreChannels(TDeviceSettings& settings, int shown) const {
  for (const auto& [section, values] : channels_.Sections())
    for (const auto& [key, value] : values) settings.Set(section, key, value);
  if (shown >= 1 && shown <= 2) bindings_.Store(TBoundValues(&settings, ChannelSection(shown)));
}
