// The table of the device's settings: one row per setting of every section and both channels,
// in the order of the device's menus, with the conditions under which its menu asks for it.

#include "uKaVruneCodecs.h"
#include "uKaVruneModel.h"
#include "uKaVruneModelText.h"

namespace {

using namespace settings_text;
using K = TSettingKind;

// WLAN words that depend on the security suite, by the number the device takes.
std::vector<std::string> AuthenticationWords(long suite) {
  if (suite == 1) return {"Open/None", "Shared"};
  if (suite >= 2) return {"Pre-Shared Key (PSK)"};
  return {"None"};
}
std::vector<std::string> EncryptionWords(long suite) {
  if (suite == 1) return {"", "WEP64", "WEP128"};
  if (suite == 2) return {"TKIP", "TKIP+WEP"};
  if (suite == 3) return {"CCMP", "CCMP+TKIP", "CCMP+WEP", "TKIP", "TKIP+WEP"};
  return {"None"};
}

// A byte of a line that carries several settings; one the values lack is written so that it
// reads back as missing, not as a 00 nobody chose.
std::string ByteText(const TSectionValues& values, const std::string& key) {
  return values.count(key) ? HexByte2(static_cast<uint8_t>(Num(values, key, true))) : std::string("--");
}

// --- the channel's modes ------------------------------------------------------------------------

bool IsUdp(const TSectionValues& v) { return IsUdpConnectMode(static_cast<uint8_t>(Num(v, "ConnectMode", true))); }
bool IsTcp(const TSectionValues& v) { return v.count("ConnectMode") && !IsUdp(v); }
bool IsUdpKnown(const TSectionValues& v) { return v.count("ConnectMode") && IsUdp(v); }

// The read section's values that the channel's conditions look at.
TSectionValues ChannelModes(const TXmlElement& s) {
  TSectionValues v;
  std::string text;
  if (GetKeyText(s, "Connect_Mode", text) || GetKeyText(s, "ConnectMode", text))
    if (const auto b = Hex(text, 2)) v["ConnectMode"] = HexByte(static_cast<int>(*b));
  return v;
}

long SuiteOf(const TXmlElement& s) {
  std::string text;
  if (!GetKeyText(s, "Security_suite", text)) return 0;
  return Decimal(ChoiceOf(text, {"none", "WEP", "WPA", "WPA2/802.11i"}).value_or("0")).value_or(0);
}

// --- the table ------------------------------------------------------------------------------------

using TAsked = std::function<bool(const TSectionValues&)>;

struct TRowShape {
  TSettingRow Row;
  TAsked Asked;
};

TSettingRow Row(std::string section, std::string name, std::string readKey, std::string promptKey, K kind) {
  TSettingRow r;
  r.Section = std::move(section);
  r.Name = std::move(name);
  r.ReadKey = std::move(readKey);
  r.PromptKey = std::move(promptKey);
  r.Kind = kind;
  if (kind == K::HexByte) r.DeviceRange = TRange{0, 255};
  return r;
}

TSettingRow Number(std::string section, std::string name, std::string readKey, std::string promptKey, long lo,
                   long hi) {
  TSettingRow r = Row(std::move(section), std::move(name), std::move(readKey), std::move(promptKey), K::Number);
  r.WindowRange = r.DeviceRange = TRange{lo, hi};
  return r;
}

TSettingRow WithUnit(TSettingRow r, std::string unitName) {
  r.UnitName = std::move(unitName);
  return r;
}

TSettingRow Choice(std::string section, std::string name, std::string readKey, std::string promptKey,
                   std::vector<std::string> words) {
  TSettingRow r = Row(std::move(section), std::move(name), std::move(readKey), std::move(promptKey), K::Choice);
  r.DeviceRange = TRange{0, static_cast<long>(words.size()) - 1};
  r.Words = std::move(words);
  return r;
}

TSettingRow Text(std::string section, std::string name, std::string readKey, std::string promptKey, size_t max) {
  TSettingRow r = Row(std::move(section), std::move(name), std::move(readKey), std::move(promptKey), K::Text);
  r.MaxLength = max;
  return r;
}

// A flag that the dump shows as "enabled"/"disabled"; inverted for the device's "Disable ..." questions.
struct TFlagRow {
  const char* Name;
  const char* ReadKey;
  const char* PromptKey;
  bool Inverted;
};

TSettingRow Flag(const std::string& section, const TFlagRow& f) {
  TSettingRow r = Row(section, f.Name, f.ReadKey, f.PromptKey, K::Flag);
  r.Inverted = f.Inverted;
  const bool inverted = f.Inverted;
  const std::string readKey = f.ReadKey;
  r.Extract = [readKey, inverted](const TXmlElement& s) -> std::optional<std::string> {
    const auto text = KeyText(s, readKey);
    if (!text) return std::nullopt;
    // The dump's word says whether the function is on, whichever pair the device prints.
    const auto on = FlagWord(*text);
    if (!on) return std::nullopt;
    return *on != inverted ? "Y" : "N";
  };
  r.Compose = [key = r.Key(), inverted](const TSectionValues& v) {
    return (Yes(v, key) != inverted) ? std::string("enabled") : std::string("disabled");
  };
  return r;
}

TSettingRow Secret(std::string section, std::string name, std::string changeKey, std::string promptKey) {
  TSettingRow r = Row(std::move(section), std::move(name), "", std::move(promptKey), K::Secret);
  r.ChangeKey = std::move(changeKey);
  return r;
}

TAsked Always() { return {}; }

std::vector<TRowShape> BasicRows() {
  const std::string s = "basic_parameters";
  TSettingRow gateway = Row(s, "gateway", "gateway", "Set_Gateway_IP_Address", K::Address);
  // "no gateway set" leaves the key without a value.
  gateway.Extract = [](const TXmlElement& sec) -> std::optional<std::string> {
    const auto text = KeyText(sec, "gateway");
    if (!text) return std::nullopt;
    if (Trim(*text).empty()) return "0.0.0.0";
    return ParseSettingValue(*FindSettingRow("basic_parameters", "Set_Gateway_IP_Address"), *text);
  };
  gateway.Compose = [](const TSectionValues& v) {
    const std::string g = Get(v, "Set_Gateway_IP_Address");
    return g == "0.0.0.0" ? std::string() : g;
  };
  TSettingRow dhcp = Text(s, "DHCP device name", "DHCP_device_name", "Enter_new_DHCP_device_Name", 15);
  dhcp.ChangeKey = "Change_DHCP_device_name";
  dhcp.Placeholder = "not set";
  return {
      {Row(s, "IP address", "IP_addr", "IP_Address", K::Address), Always()},
      {gateway, Always()},
      {Row(s, "netmask", "netmask", "Netmask", K::Address), Always()},
      {Choice(s, "network mode", "Network_mode", "Network_mode", {"Wired Only", "Wireless Only", "Bridging(One Host)"}),
       Always()},
      {Secret(s, "telnet configuration password", "Change_telnet_config_password", "Enter_new_Password"), Always()},
      {dhcp, Always()},
  };
}

std::vector<TRowShape> ChannelRows(int n) {
  const std::string s = "Channel_" + std::to_string(n);
  const std::string c = "channel " + std::to_string(n) + " ";
  auto tcp = [](const TSectionValues& v) { return IsTcp(v); };
  auto udp = [](const TSectionValues& v) { return IsUdpKnown(v); };

  TSettingRow baud = Number(s, c + "baud rate", "Baudrate", "Baudrate", 300, 460800);
  baud.Allowed = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800};
  baud.UnitName = "bit/s";
  TSettingRow ifMode = Row(s, c + "interface mode", "IF_Mode", "I_F_Mode", K::HexByte);
  ifMode.Fields = IFModeFields;
  TSettingRow port = Number(s, c + "local port", "Port", "Port_No", 0, 65535);
  TSettingRow connect = Row(s, c + "connect mode", "Connect_Mode", "ConnectMode", K::HexByte);

  auto flag = [&](const char* name, const char* readKey, const char* promptKey) {
    TSettingRow r = Row(s, c + name, readKey, promptKey, K::Flag);
    return r;
  };

  // "address, Port port Start Char: xx" (TCP), "address, Port port" (UDP), or in broadcast form
  // "Send as Broadcast, Port port" with the port as a second "Port" key.
  TSettingRow remoteIP = Row(s, c + "remote IP address", "Remote_IP_Adr", "Remote_IP_Address", K::Address);
  remoteIP.Extract = [](const TXmlElement& sec) -> std::optional<std::string> {
    const auto text = KeyText(sec, "Remote_IP_Adr");
    if (!text) return std::nullopt;
    const std::string host = Trim(SplitAt(*text, ", Port").Head);
    return IsIPv4Address(host) ? ParseSettingValue(*FindSettingRow("Channel_1", "Remote_IP_Address"), host)
                               : std::nullopt;
  };
  remoteIP.Compose = [](const TSectionValues& v) {
    std::string text = Get(v, "Remote_IP_Address") + ", Port " + Get(v, "Remote_Port");
    if (!IsUdp(v)) text += " Start Char: " + ByteText(v, "Start_Char");
    return text;
  };
  TSettingRow remotePort = Number(s, c + "remote port", "Remote_IP_Adr", "Remote_Port", 0, 65535);
  remotePort.Extract = [](const TXmlElement& sec) -> std::optional<std::string> {
    if (KeyText(sec, "Send_as").value_or("") == "Broadcast") {
      bool after = false;
      for (const TXmlElement& e : sec.Children()) {
        if (after && e.Name() == "Port")
          if (const auto v = Decimal(e.Text())) return std::to_string(*v);
        after = after || e.Name() == "Send_as";
      }
      return std::nullopt;
    }
    const auto text = KeyText(sec, "Remote_IP_Adr");
    if (!text) return std::nullopt;
    const auto v = Decimal(SplitAtLabel(SplitAt(*text, ", Port").Tail, "Start Char").Head);
    return v ? std::optional(std::to_string(*v)) : std::nullopt;
  };
  remotePort.Compose = [](const TSectionValues&) { return std::string(); };
  TSettingRow startChar = Row(s, c + "start character", "Remote_IP_Adr", "Start_Char", K::HexByte);
  startChar.Extract = [](const TXmlElement& sec) -> std::optional<std::string> {
    const auto text = KeyText(sec, "Remote_IP_Adr");
    // A channel in UDP mode has no start character; its line, as the read form writes it, neither.
    if (!text || !Contains(*text, "Start Char") || IsUdpKnown(ChannelModes(sec))) return std::nullopt;
    const auto v = Hex(SplitAtLabel(*text, "Start Char").Tail, 2);
    return v ? std::optional(HexByte(static_cast<int>(*v))) : std::nullopt;
  };
  startChar.Compose = remotePort.Compose;

  // "hh Disconn Time: mm:ss"
  TSettingRow disconnect = Row(s, c + "disconnect mode", "Disconn_Mode", "DisConnMode", K::HexByte);
  disconnect.Fields = DisconnectModeFields;
  disconnect.Extract = [](const TXmlElement& sec) -> std::optional<std::string> {
    const auto text = KeyText(sec, "Disconn_Mode");
    if (!text) return std::nullopt;
    const auto v = Hex(SplitAt(*text, "Disconn Time").Head, 2);
    return v ? std::optional(HexByte(static_cast<int>(*v))) : std::nullopt;
  };
  disconnect.Compose = [](const TSectionValues& v) {
    const TSplit t = SplitAt(Get(v, "DisConnTime"), ":");
    const std::string time = v.count("DisConnTime")
                                 ? Two(Decimal(t.Head).value_or(0)) + ":" + Two(Decimal(t.Tail).value_or(0))
                                 : std::string("--:--");
    return ByteText(v, "DisConnMode") + " Disconn Time: " + time;
  };
  TSettingRow time = Row(s, c + "inactivity timeout", "Disconn_Mode", "DisConnTime", K::Time);
  time.Extract = [](const TXmlElement& sec) -> std::optional<std::string> {
    const auto text = KeyText(sec, "Disconn_Mode");
    if (!text || !Contains(*text, "Disconn Time")) return std::nullopt;
    return ParseSettingValue(*FindSettingRow("Channel_1", "DisConnTime"), SplitAtLabel(*text, "Disconn Time").Tail);
  };
  time.Compose = remotePort.Compose;

  TSettingRow flush = Row(s, c + "flush mode", "Flush___Mode", "FlushMode", K::HexByte);
  flush.Fields = FlushModeFields;
  TSettingRow pack = Row(s, c + "pack control", "Pack_Cntrl", "Pack_Cntrl", K::HexByte);
  pack.Fields = PackControlFields;

  auto sendChar = [&](int i) {
    TSettingRow r =
        Row(s, c + "send character " + std::to_string(i), "SendChars", "SendChar_" + std::to_string(i), K::HexByte);
    r.Extract = [i](const TXmlElement& sec) -> std::optional<std::string> {
      const auto text = KeyText(sec, "SendChars");
      if (!text) return std::nullopt;
      const TSplit parts = SplitAt(Trim(*text), " ");
      const auto v = Hex(i == 1 ? parts.Head : parts.Tail, 2);
      return v ? std::optional(HexByte(static_cast<int>(*v))) : std::nullopt;
    };
    r.Compose = [i](const TSectionValues& v) {
      if (i == 2) return std::string();
      return ByteText(v, "SendChar_1") + " " + ByteText(v, "SendChar_2");
    };
    return r;
  };

  TSettingRow broadcast = Row(s, c + "send as broadcast", "Send_as", "Send_as_Broadcast", K::Flag);
  broadcast.Extract = [](const TXmlElement& sec) -> std::optional<std::string> {
    if (!IsUdpKnown(ChannelModes(sec))) return std::nullopt;
    return KeyText(sec, "Send_as").value_or("") == "Broadcast" ? "Y" : "N";
  };
  broadcast.Compose = [](const TSectionValues& v) { return Yes(v, "Send_as_Broadcast") ? "Broadcast" : ""; };
  TSettingRow table =
      Row(s, c + "device address table", "Device_Address_info", "Change_address_table", K::AddressTable);
  table.DeviceRange = table.WindowRange = TRange{0, 255};

  auto terminalAsked = [](const TSectionValues& v) { return IsTcp(v) && (Num(v, "DisConnMode", true) & 0x40); };
  auto passwordAsked = [](const TSectionValues& v) { return IsTcp(v) && (Num(v, "DisConnMode", true) & 0x10); };
  return {
      {baud, Always()},
      {ifMode, Always()},
      {Row(s, c + "flow control", "Flow", "Flow", K::HexByte), Always()},
      {port, Always()},
      {connect, Always()},
      {Row(s, c + "datagram type", "Datagram_Type", "Datagram_Type", K::HexByte), udp},
      {broadcast, udp},
      {flag("send +++ in modem mode", "Send_plusplusplus_in_Modem_Mode", "Send_______in_Modem_Mode"), tcp},
      {flag("show IP address after RING", "Show_IP_addr_after_RING", "Show_IP_addr_after__RING"), tcp},
      {flag("auto increment source port", "Auto_increment_source_port", "Auto_increment_source_port"), tcp},
      {remoteIP, [](const TSectionValues& v) { return IsTcp(v) || (IsUdpKnown(v) && !Yes(v, "Send_as_Broadcast")); }},
      {remotePort, Always()},
      {disconnect, tcp},
      {Text(s, c + "terminal name", "Terminal_name", "Terminal_name", 31), terminalAsked},
      {Text(s, c + "connection password", "Password", "Password", 31), passwordAsked},
      {flush, tcp},
      {time, tcp},
      {sendChar(1), tcp},
      {sendChar(2), tcp},
      {pack, tcp},
      {startChar, [](const TSectionValues& v) { return IsTcp(v) && (Num(v, "ConnectMode", true) & 0x07) == 3; }},
      {table, [](const TSectionValues& v) { return IsUdpKnown(v) && Num(v, "Datagram_Type", true) == 0xFD; }},
  };
}

std::vector<TRowShape> EmailRows() {
  const std::string s = "E-mail";
  return {
      {Row(s, "mail server", "Mail_server", "", K::Address), Always()},
      {Text(s, "mail domain", "Domain", "", 31), Always()},
      {Text(s, "mail unit name", "Unit", "", 31), Always()},
      {Text(s, "mail recipient 1", "Recipient_1", "", 31), Always()},
      {Text(s, "mail recipient 2", "Recipient_2", "", 31), Always()},
  };
}

std::vector<TRowShape> WlanRows() {
  const std::string s = "WLAN";
  auto secured = [](const TSectionValues& v) { return Num(v, "Security_suite") != 0; };
  // The words of authentication and encryption depend on the suite printed before them.
  auto suiteChoice = [&](const char* name, const char* key, std::vector<std::string> (*words)(long), long max) {
    TSettingRow r = Choice(s, name, key, key, {});
    r.DeviceRange = TRange{0, max};
    r.Extract = [key, words](const TXmlElement& sec) -> std::optional<std::string> {
      const long suite = SuiteOf(sec);
      const auto text = KeyText(sec, key);
      if (!text || suite == 0) return std::nullopt;
      return ChoiceOf(*text, words(suite));
    };
    r.Compose = [key, words](const TSectionValues& v) {
      const auto w = words(Num(v, "Security_suite"));
      const long i = Num(v, key);
      return i >= 0 && i < static_cast<long>(w.size()) ? w[static_cast<size_t>(i)] : std::to_string(i);
    };
    return r;
  };
  TSettingRow keyType = Choice(s, "WLAN key type", "Key_type", "Key_type_0", {"Hex", "Passphrase"});
  TSettingRow name = Text(s, "WLAN network name (SSID)", "Network_name", "Network_name", 32);
  TSettingRow rate = Row(s, "WLAN TX data rate", "TX_Data_rate", "TX_Data_rate", K::DataRate);
  TSettingRow wlanKey = Secret(s, "WLAN key", "Change_Key", "Enter_Key");
  wlanKey.MaxLength = 63;
  return {
      {Choice(s, "WLAN topology", "Topology", "Topology", {"Infrastructure", "Ad-Hoc"}), Always()},
      {name, Always()},
      {Number(s, "WLAN channel", "Channel", "Channel", 1, 11), Always()},
      {Choice(s, "WLAN security suite", "Security_suite", "Security_suite", {"none", "WEP", "WPA", "WPA2/802.11i"}),
       Always()},
      {suiteChoice("WLAN authentication", "Authentication", AuthenticationWords, 1), secured},
      {suiteChoice("WLAN encryption", "Encryption", EncryptionWords, 4), secured},
      {keyType, secured},
      {wlanKey, secured},
      {Number(s, "WLAN TX key index", "TX_Key_index", "TX_Key_index", 1, 4),
       [](const TSectionValues& v) { return Num(v, "Security_suite") == 1; }},
      {rate, Always()},
      {Flag(s, {"WLAN power management", "Power_management", "Enable_power_management", false}),
       [](const TSectionValues& v) { return Num(v, "Topology") == 0; }},
  };
}

std::vector<TRowShape> ExpertRows() {
  const std::string s = "Expert";
  TSettingRow keepalive = Number(s, "TCP keepalive time", "TCP_Keepalive", "TCP_Keepalive_time_in_s", 0, 65);
  TSettingRow arp = Number(s, "ARP cache timeout", "ARP_cache_timeout", "ARP_Cache_timeout_in_s", 1, 600);
  keepalive.Unit = arp.Unit = keepalive.UnitName = arp.UnitName = "s";
  TSettingRow ethernet = Choice(s, "Ethernet connection type", "Ethernet_connection_type", "Ethernet_connection_type",
                                {"auto-negotiate", "", "10Mb/HD", "10Mb/FD", "100Mb/HD", "100Mb/FD"});
  ethernet.Allowed = {0, 2, 3, 4, 5};
  return {
      {keepalive, Always()},
      {arp, Always()},
      {Choice(s, "CPU performance", "CPU_performance", "CPU_performance", {"Regular", "Low", "High"}), Always()},
      {Flag(s, {"monitor mode at boot-up", "Monitor_Mode_at_bootup", "Disable_Monitor_Mode___bootup", true}), Always()},
      {Number(s, "HTTP port", "HTTP_Port_Number", "HTTP_Port_Number", 0, 65535), Always()},
      {Number(s, "SMTP port", "SMTP_Port_Number", "SMTP_Port_Number", 0, 65535), Always()},
      {WithUnit(Number(s, "MTU size", "MTU_Size", "MTU_Size", 512, 1400), "bytes"), Always()},
      {ethernet, Always()},
  };
}

std::vector<TRowShape> SecurityRows() {
  const std::string s = "Security";
  auto flag = [&](const TFlagRow& f) { return Flag(s, f); };
  auto encryption = [](const TSectionValues& v) { return Yes(v, "Enable_Encryption"); };
  TSettingRow keyLength = Number(s, "encryption key length", "", "Key_length_in_bits", 128, 256);
  keyLength.Allowed = {128, 192, 256};
  keyLength.UnitName = "bits";
  TSettingRow key = Secret(s, "encryption key", "Change_Key", "Enter_Key");
  TSettingRow password = Secret(s, "enhanced password", "Change_the_Password", "Enter_Password");
  return {
      {flag({"SNMP", "SNMP", "Disable_SNMP", true}), Always()},
      {Text(s, "SNMP community name", "SNMP_Community_Name", "SNMP_Community_Name", 31),
       [](const TSectionValues& v) { return !Yes(v, "Disable_SNMP"); }},
      {flag({"telnet setup", "Telnet_Setup", "Disable_Telnet_Setup", true}), Always()},
      {flag({"TFTP firmware update", "TFTP_Download", "Disable_TFTP_Firmware_Update", true}), Always()},
      {flag({"port 77FEh", "Port_77FEh", "Disable_Port_77FEh", true}), Always()},
      {flag({"web server", "Web_Server", "Disable_Web_Server", true}), Always()},
      {flag({"web setup", "Web_Setup", "Disable_Web_Setup", true}), Always()},
      {flag({"ECHO ports", "ECHO", "Disable_ECHO_ports", true}), Always()},
      {flag({"encryption", "Encryption", "Enable_Encryption", false}), Always()},
      {keyLength, encryption},
      {key, encryption},
      {flag({"enhanced password", "Enhanced_Password", "Enable_Enhanced_Password", false}), Always()},
      {password, [](const TSectionValues& v) { return Yes(v, "Enable_Enhanced_Password"); }},
      {flag({"port 77F0h", "Port_77F0h", "Disable_Port_77F0h", true}), Always()},
  };
}

struct TTable {
  std::vector<TSettingRow> Rows;
  std::vector<TAsked> Asked;
};

const TTable& Table() {
  static const TTable table = [] {
    TTable t;
    for (auto* part : {&BasicRows, +[] { return ChannelRows(1); }, +[] { return ChannelRows(2); }, &EmailRows,
                       &WlanRows, &ExpertRows, &SecurityRows})
      for (TRowShape& entry : part()) {
        t.Rows.push_back(std::move(entry.Row));
        t.Asked.push_back(std::move(entry.Asked));
      }
    AttachQuestions(t.Rows);
    return t;
  }();
  return table;
}

size_t IndexOf(const TSettingRow& row) { return static_cast<size_t>(&row - Table().Rows.data()); }

}  // namespace

namespace settings_text {

bool Asked(const TSettingRow& row, const TSectionValues& state) {
  const TAsked& asked = Table().Asked[IndexOf(row)];
  return !asked || asked(state);
}

bool IsCompanionKey(const std::string& section, const std::string& key) {
  if (key == "Display_current_key" || key == "Hostlist_Retrytimeout") return true;
  for (const TSettingRow& r : SettingRows())
    if (r.Section == section && r.ChangeKey == key) return true;
  return false;
}

}  // namespace settings_text

// --- table access ------------------------------------------------------------------------------

const std::vector<TSettingRow>& SettingRows() { return Table().Rows; }

const TSettingRow* FindSettingRow(const std::string& section, const std::string& key) {
  for (const TSettingRow& r : SettingRows())
    if (r.Section == section && r.Key() == key) return &r;
  return nullptr;
}

bool Confidential(const TSettingRow& row) {
  return row.Kind == TSettingKind::Secret ||
         (row.Kind == TSettingKind::Text && row.Name.find("password") != std::string::npos);
}

const std::vector<std::string>& WalkedSections() {
  static const std::vector<std::string> sections = {"basic_parameters", "Expert", "Channel_1",
                                                    "Channel_2",        "WLAN",   "Security"};
  return sections;
}

const std::vector<std::string>& DumpSections() {
  static const std::vector<std::string> sections = {"basic_parameters", "Channel_1", "Channel_2", "E-mail", "WLAN",
                                                    "Expert",           "Security"};
  return sections;
}

const std::string* TDeviceSettings::Find(const std::string& section, const std::string& key) const {
  const auto s = values_.find(section);
  if (s == values_.end()) return nullptr;
  const auto k = s->second.find(key);
  return k == s->second.end() ? nullptr : &k->second;
}

void TDeviceSettings::Set(const std::string& section, const std::string& key, const std::string& value) {
  values_[section][key] = value;
}

void TDeviceSettings::Erase(const TSettingRow& row) {
  const auto s = values_.find(row.Section);
  if (s == values_.end()) return;
  s->second.erase(row.Key());
  if (s->second.empty()) values_.erase(s);
}
