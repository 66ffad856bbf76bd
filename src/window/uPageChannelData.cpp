// A channel's settings onto the channel page and back: from a read document's section, into a
// write document's, and the hidden channel's settings kept as values of the settings model.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>
#include <array>

#include "ComCtrlsAdds.h"
#include "uKaVruneCodecs.h"
#include "uPageSupport.h"
#include "uPages.h"
#include "ui_pcChannel1.h"

std::string ChannelSection(int n) { return "Channel_" + std::to_string(n); }

// ---------------------------------------------------------------------------------- load

void TChannelPage::LoadChannel(const TXmlElement& s) {
  Ui::pcChannel1& c = *ui_;
  std::string text;
  if (s) {
    if (!LoadComboBox(s, "Baudrate", c.cbChannel1Baudrate, true))
      c.cbChannel1Baudrate->setCurrentIndex(c.cbChannel1Baudrate->findText(QStringLiteral("9600")));
    cbChannel1BaudrateChange(c.cbChannel1Baudrate);

    const bool ifMode = KeyText(s, "IF_Mode", text, "4C");
    const std::vector<int> lines = DecodeFields(IFModeFields(), ReadHexByte(text, 0x4C));
    const std::array<QComboBox*, 4> lineLists = {c.cbChannel1LineMode, c.cbChannel1LineDatabits, c.cbChannel1LineParity,
                                                 c.cbChannel1LineStopBits};
    for (size_t i = 0; i < lineLists.size(); ++i) {
      if (lines[i] >= 0) lineLists[i]->setCurrentIndex(lines[i]);
      MarkControl(lineLists[i], ifMode);
    }
    cbChannel1LineModeChange(c.cbChannel1LineMode);

    const bool flow = KeyText(s, "Flow", text, "00");
    // A byte the list does not offer selects nothing, so the device keeps it.
    const int f = ReadHexByte(text, 0xFF);
    const auto item = std::find(FlowControlCodes.begin(), FlowControlCodes.end(), f);
    c.cbChannel1Flow->setCurrentIndex(
        item == FlowControlCodes.end() ? -1 : static_cast<int>(item - FlowControlCodes.begin()));
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
  if (c.cbChannel1ConnectionType->currentIndex() == 0) LoadChannelTCP(s);
  else LoadChannelUDP(s);
  cbChannel1ConnectionUDPDatagramTypeChange(c.cbChannel1ConnectionUDPDatagramType);
}

void TChannelPage::LoadChannelTCP(const TXmlElement& s) {
  Ui::pcChannel1& c = *ui_;
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

  // The start character taken from the retry line is taken once: the section is the caller's.
  if (s && KeyText(s, "Hostlist_Retrytimeout", text)) {
    const TSplit start = SplitAt(text, "Start Char:");
    if (!start.Tail.empty()) {
      c.eChannel1ConnectionStartChar->setText(Qs(Trim(start.Tail)));
      s.FirstChild("Hostlist_Retrytimeout").SetText("");
    }
  }

  LoadCheckBox(s, "Auto_increment_source_port", c.cbChannel1ConnectionAutoIncrease4ActiveConnect, false, false);
  LoadCheckBox(s, "Show_IP_addr_after_RING", c.cbChannel1ConnectionShowIPAfterRing, false, false);
  LoadCheckBox(s, "Send_plusplusplus_in_Modem_Mode", c.cbChannel1ConnectionModemEscapeSequencePassThrough, false, true);
  LoadEdit(s, "Terminal_name", c.eChannel1ConnectionTerminalName, false);
  LoadEdit(s, "Password", c.eChannel1ConnectionPassword, false);
}

void TChannelPage::LoadChannelUDP(const TXmlElement& s) {
  Ui::pcChannel1& c = *ui_;
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

// ---------------------------------------------------------------------------------- store

void TChannelPage::StoreChannel(const TXmlElement& s) {
  if (!s) return;
  Ui::pcChannel1& c = *ui_;
  SaveComboBox(s, "Baudrate", c.cbChannel1Baudrate, true);
  QString ifMode = c.lChannel1_IFMode->text();
  ifMode.chop(1);
  Put(s, "IF_Mode", ifMode);
  Put(s, "I_F_Mode", ifMode);
  // Created even without a selection, which then keeps the device's value.
  TXmlElement flow = FindNodePath(s, "Flow", true);
  const int flowItem = c.cbChannel1Flow->currentIndex();
  if (flowItem >= 0 && flowItem < static_cast<int>(FlowControlCodes.size()))
    flow.SetText(std::to_string(FlowControlCodes[static_cast<size_t>(flowItem)]));
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
  if (c.cbChannel1ConnectionType->currentIndex() == 0) StoreChannelTCP(s);
  else StoreChannelUDP(s);
}

void TChannelPage::StoreChannelTCP(const TXmlElement& s) {
  Ui::pcChannel1& c = *ui_;
  const std::string disconnect = HexByte(GetDisconnectMode());
  const std::string time = std::to_string(ValueOf(c.ieChannel1ConnectionInactivityTimeoutM)) + ":" +
                           std::to_string(ValueOf(c.ieChannel1ConnectionInactivityTimeoutS));
  Put(s, "DisConnMode", disconnect);
  Put(s, "Disconn_Mode", disconnect + " Disconn Time: " + time);
  SaveIPAddress(s, "Remote_IP_Address", c.ipChannel1ConnectionRemoteHost);
  Put(s, "Remote_IP_Adr",
      Std(c.ipChannel1ConnectionRemoteHost->Address()) + ", Port " +
          std::to_string(ValueOf(c.ieChannel1ConnectionRemotePort)) +
          " Start Char: " + Std(c.eChannel1ConnectionStartChar->text()));
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

void TChannelPage::StoreChannelUDP(const TXmlElement& s) {
  Ui::pcChannel1& c = *ui_;
  SaveCheckBox(s, "Send_as_Broadcast", c.chbChannel1ConnectionUDPUseBroadcast, false);
  SaveIPAddress(s, "Remote_IP_Address", c.ipChannel1ConnectionUDPRemoteHost);
  Put(s, "Remote_IP_Adr",
      Std(c.ipChannel1ConnectionUDPRemoteHost->Address()) + ", Port " +
          std::to_string(ValueOf(c.ieChannel1ConnectionUDPRemotePort)));
  SaveIntEdit(s, "Remote_Port", c.ieChannel1ConnectionUDPRemotePort);
  SaveIntEdit(s, "Port_No", c.ieChannel1ConnectionUDPLocalPort);
  SaveIntEdit(s, "Port", c.ieChannel1ConnectionUDPLocalPort);
  Put(s, "Send_as", c.chbChannel1ConnectionUDPUseBroadcast->isChecked() ? "Broadcast" : "");
  Put(s, "Datagram_Type", c.cbChannel1ConnectionUDPDatagramType->currentText());
  std::string table;
  for (int i = 0; i < 16; ++i) table += (i ? " " : "") + std::to_string(GetUDPDeviceAddress(i));
  Put(s, "Device_Address_info", table);
  Put(s, "Change_address_table", table);
}

// ---------------------------------------------------------------------------------- both channels

PXmlDocument TChannelPage::ChannelDocument(int n) const {
  if (n < 1 || n > 2 || !known_[n]) return nullptr;
  PXmlDocument doc = TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText);
  ToReadDocument(channels_, doc->Root());
  FindNodePath(doc->Root(), ChannelSection(n), true);  // a channel reported without settings
  return doc;
}

void TChannelPage::Take(int n, const TXmlElement& section) {
  const PXmlDocument doc = TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText);
  doc->Root().AppendCopy(section);
  const TDeviceSettings taken = FromDocument(doc->Root());
  for (const TSettingRow& row : SettingRows()) {
    if (row.Section != section.Name()) continue;
    if (const std::string* value = taken.Find(row)) channels_.Set(row, *value);
    else channels_.Erase(row);
  }
  known_[n] = true;
}

void TChannelPage::TakeReadChannels(const TXmlElement& root, int shown) {
  channels_ = TDeviceSettings();
  known_ = {};
  // Loading may add to a section; the read document stays as the device reported it.
  const PXmlDocument copy = TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText);
  for (int n : {1, 2})
    if (const TXmlElement section = root.FirstChild(ChannelSection(n))) copy->Root().AppendCopy(section);
  for (int n : {1, 2}) {
    const TXmlElement section = copy->Root().FirstChild(ChannelSection(n));
    // Each channel starts from the controls the one before left.
    LoadChannel(section);
    StoreChannel(section);
    if (section) Take(n, section);
  }
  if (shown == 1) LoadChannel(copy->Root().FirstChild(ChannelSection(1)));
}

void TChannelPage::KeepChannel(int n) {
  if (n < 1 || n > 2) return;
  PXmlDocument doc = ChannelDocument(n);
  if (!doc) doc = TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText);
  const TXmlElement section = FindNodePath(doc->Root(), ChannelSection(n), true);
  StoreChannel(section);
  Take(n, section);
}

void TChannelPage::ShowChannel(int n) {
  ResetChannelControls();
  if (n < 1 || n > 2) return;
  const PXmlDocument doc = ChannelDocument(n);
  LoadChannel(doc ? doc->Root().FirstChild(ChannelSection(n)) : TXmlElement());
}

void TChannelPage::AppendChannels(const TXmlElement& root, int shown) {
  TXmlElement r = root;
  const PXmlDocument doc = TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText);
  ToReadDocument(channels_, doc->Root());
  for (int n : {1, 2}) {
    const std::string name = ChannelSection(n);
    TXmlElement section = r.AppendChild(name);
    if (const TXmlElement read = doc->Root().FirstChild(name))
      for (const TXmlElement& key : read.Children()) section.AppendCopy(key);
    // The write form beside the read form, as the device's prompts name the settings.
    for (const TSettingRow& row : SettingRows())
      if (row.Section == name && row.Writable())
        if (const std::string* value = channels_.Find(row)) Put(section, row.PromptKey.c_str(), *value);
    if (n == shown) StoreChannel(section);
  }
}
