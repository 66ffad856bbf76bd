#include "SimModel.h"

#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <sstream>

namespace {

using G = TSimGroup;
using A = TSimAnswer;

std::string Value(const TSimSection& s, const char* key) {
  auto it = s.find(key);
  return it == s.end() ? std::string() : it->second;
}

long Number(const TSimSection& s, const char* key, bool hex = false) {
  long v = 0;
  const std::string text = Value(s, key);
  if (!(hex ? SimParseHex(text, v) : SimParseDecimal(text, v))) v = 0;
  return v;
}

bool Yes(const TSimSection& s, const char* key) { return Value(s, key) == "Y"; }

auto Range(long lo, long hi) {
  return [lo, hi](long v, const TSimSection&) { return v >= lo && v <= hi; };
}

auto OneOf(std::vector<long> allowed) {
  return [allowed](long v, const TSimSection&) {
    for (long a : allowed)
      if (a == v) return true;
    return false;
  };
}

auto Said(const char* decision) {
  return [decision](const TSimSection&, const TSimAnswers& answers) {
    auto it = answers.find(decision);
    return it != answers.end() && it->second == "Y";
  };
}

bool IsUdp(const TSimSection& s) { return (Number(s, "ConnectMode", true) & 0x0F) == 0x0C; }
bool IsTcp(const TSimSection& s) { return !IsUdp(s); }
auto Tcp = [](const TSimSection& s, const TSimAnswers&) { return IsTcp(s); };
auto Udp = [](const TSimSection& s, const TSimAnswers&) { return IsUdp(s); };
long Suite(const TSimSection& w) { return Number(w, "Security_suite"); }
auto Secured = [](const TSimSection& s, const TSimAnswers&) { return Suite(s) != 0; };

const char* const kBaudrates[] = {"300",   "600",   "1200",  "2400",   "4800",   "9600",
                                  "19200", "38400", "57600", "115200", "230400", "460800"};

bool KnownBaudrate(long v, const TSimSection&) {
  for (const char* b : kBaudrates)
    if (std::to_string(v) == b) return true;
  return false;
}

// Items of the WLAN choices, indexed by the number the device takes.
const char* const kSuites[] = {"none", "WEP", "WPA", "WPA2/802.11i"};
const char* const kRates[] = {"1 Mbps", "2 Mbps", "5.5 Mbps", "11 Mbps", "18 Mbps", "24 Mbps", "36 Mbps", "54 Mbps"};

std::string AuthenticationText(long suite, long auth) {
  if (suite == 1) return auth == 1 ? "Shared" : "Open/None";
  if (suite >= 2) return "Pre-Shared Key (PSK)";
  return "None";
}

std::string EncryptionText(long suite, long enc) {
  static const char* const wpa[] = {"TKIP", "TKIP+WEP"};
  static const char* const wpa2[] = {"CCMP", "CCMP+TKIP", "CCMP+WEP", "TKIP", "TKIP+WEP"};
  if (suite == 1) return enc == 2 ? "WEP128" : "WEP64";
  if (suite == 2 && enc >= 0 && enc < 2) return wpa[enc];
  if (suite == 3 && enc >= 0 && enc < 5) return wpa2[enc];
  return "None";
}

const char* OnOff(bool on) { return on ? "enabled" : "disabled"; }

std::string TwoDigits(long v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02ld", v);
  return buf;
}

std::string DumpHex(const TSimSection& s, const char* key) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02lX", Number(s, key, true) & 0xFF);
  return buf;
}

// Minutes and seconds of a "m:s" value.
void TimeParts(const std::string& value, long& m, long& s) {
  m = s = 0;
  auto parts = SimSplit(value, ':');
  if (parts.size() == 2 && SimParseDecimal(parts[0], m) && SimParseDecimal(parts[1], s)) return;
  m = s = 0;
}

std::vector<TSimSettingDef> BuildDefs() {
  const auto always = std::function<bool(const TSimSection&, const TSimAnswers&)>();
  return {
      // Server (basic parameters), menu 0
      {G::Basic, "IP_Address", "IP Address", A::Address, "192.168.1.254"},
      {G::Basic, "Set_Gateway_IP_Address", "Set Gateway IP Address", A::Gateway, "0.0.0.0"},
      {G::Basic, "Netmask", "Netmask: number of host bits", A::Netmask, "255.255.255.0"},
      {G::Basic, "Network_mode", "Network mode (0=wired only, 1=wireless only, 2=bridging)", A::Number, "1", always,
       Range(0, 2)},
      {G::Basic, "Change_telnet_config_password", "Change telnet config password", A::Decision, "N"},
      {G::Basic,
       "Enter_new_Password",
       "Enter new Password",
       A::Secret,
       "",
       Said("Change_telnet_config_password"),
       {},
       15},
      {G::Basic, "Change_DHCP_device_name", "Change DHCP device name", A::Decision, "N"},
      {G::Basic,
       "Enter_new_DHCP_device_Name",
       "Enter new DHCP device Name",
       A::Text,
       "",
       Said("Change_DHCP_device_name"),
       {},
       15},

      // Channel 1 and 2, menus 1 and 2
      {G::Channel, "Baudrate", "Baudrate", A::Number, "9600", always, KnownBaudrate},
      {G::Channel, "I_F_Mode", "I/F Mode", A::HexByte, "4C"},
      {G::Channel, "Flow", "Flow", A::HexByte, "0"},
      {G::Channel, "Port_No", "Port No", A::Number, "10001", always, Range(0, 65535)},
      {G::Channel, "ConnectMode", "ConnectMode", A::HexByte, "C0"},
      {G::Channel, "Datagram_Type", "Datagram Type", A::HexByte, "0", Udp},
      {G::Channel, "Send_as_Broadcast", "Send as Broadcast", A::YesNo, "N", Udp},
      {G::Channel, "Send_______in_Modem_Mode", "Send '+++' in Modem Mode", A::YesNo, "Y", Tcp},
      {G::Channel, "Show_IP_addr_after__RING", "Show IP addr after 'RING'", A::YesNo, "Y", Tcp},
      {G::Channel, "Auto_increment_source_port", "Auto increment source port", A::YesNo, "N", Tcp},
      {G::Channel, "Remote_IP_Address", "Remote IP Address", A::Address, "0.0.0.0",
       [](const TSimSection& s, const TSimAnswers&) { return IsTcp(s) || !Yes(s, "Send_as_Broadcast"); }},
      {G::Channel, "Remote_Port", "Remote Port", A::Number, "0", always, Range(0, 65535)},
      {G::Channel, "DisConnMode", "DisConnMode", A::HexByte, "0", Tcp},
      {G::Channel, "Terminal_name", "Terminal name", A::Text, "",
       [](const TSimSection& s, const TSimAnswers&) { return IsTcp(s) && (Number(s, "DisConnMode", true) & 0x40); }},
      {G::Channel, "Password", "Password", A::Text, "",
       [](const TSimSection& s, const TSimAnswers&) { return IsTcp(s) && (Number(s, "DisConnMode", true) & 0x10); }},
      {G::Channel, "FlushMode", "FlushMode", A::HexByte, "0", Tcp},
      {G::Channel, "DisConnTime", "DisConnTime", A::Time, "0:0", Tcp},
      {G::Channel, "SendChar_1", "SendChar 1", A::HexByte, "0", Tcp},
      {G::Channel, "SendChar_2", "SendChar 2", A::HexByte, "0", Tcp},
      {G::Channel, "Pack_Cntrl", "Pack Cntrl", A::HexByte, "0", Tcp},
      {G::Channel, "Start_Char", "Start Char", A::HexByte, "0",
       [](const TSimSection& s, const TSimAnswers&) {
         return IsTcp(s) && (Number(s, "ConnectMode", true) & 0x07) == 3;
       }},
      {G::Channel, "Change_address_table", "Change address table", A::AddressTable, "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0",
       [](const TSimSection& s, const TSimAnswers&) { return IsUdp(s) && Number(s, "Datagram_Type", true) == 0xFD; }},

      // E-mail: shown in the dump, no menu of its own
      {G::Email, "Mail_server", nullptr, A::Address, "0.0.0.0"},
      {G::Email, "Domain", nullptr, A::Text, ""},
      {G::Email, "Unit", nullptr, A::Text, ""},
      {G::Email, "Recipient_1", nullptr, A::Text, ""},
      {G::Email, "Recipient_2", nullptr, A::Text, ""},

      // WLAN, menu 4
      {G::WLAN, "Topology", "Topology (0=Infrastructure, 1=Ad-Hoc)", A::Number, "0", always, Range(0, 1)},
      {G::WLAN, "Network_name", "Network name", A::Text, "kavrune", always, {}, 32},
      {G::WLAN, "Channel", "Channel", A::Number, "11", always, Range(1, 11)},
      {G::WLAN, "Security_suite", "Security suite (0=none, 1=WEP, 2=WPA, 3=WPA2/802.11i)", A::Number, "0", always,
       [](long v, const TSimSection& s) { return v >= 0 && v <= (Number(s, "Topology") == 1 ? 1 : 3); }},
      {G::WLAN, "Authentication", "Authentication (0=open/none or PSK, 1=shared)", A::Number, "0", Secured,
       [](long v, const TSimSection& s) { return v >= 0 && v <= (Suite(s) == 1 ? 1 : 0); }},
      {G::WLAN, "Encryption", "Encryption (WEP: 1=64, 2=128 bits; WPA: 0=TKIP, 1=TKIP+WEP; WPA2: 0..4)", A::Number, "1",
       Secured,
       [](long v, const TSimSection& s) {
         switch (Suite(s)) {
           case 1: return v >= 1 && v <= 2;
           case 2: return v >= 0 && v <= 1;
           case 3: return v >= 0 && v <= 4;
           default: return v == 0;
         }
       }},
      {G::WLAN, "Key_type_0", "Key type 0=hex, 1=passphrase", A::Number, "1", Secured, Range(0, 1)},
      {G::WLAN, "Change_Key", "Change Key", A::Decision, "N", Secured},
      {G::WLAN,
       "Enter_Key",
       "Enter Key",
       A::WlanKey,
       "",
       [](const TSimSection& s, const TSimAnswers& a) { return Suite(s) != 0 && Said("Change_Key")(s, a); },
       {},
       63},
      {G::WLAN, "Display_current_key", "Display current key", A::ShowKey, "N", Secured},
      {G::WLAN, "TX_Key_index", "TX Key index", A::Number, "1",
       [](const TSimSection& s, const TSimAnswers&) { return Suite(s) == 1; }, Range(1, 4)},
      {G::WLAN, "TX_Data_rate", "TX Data rate (fixed=0, auto fallback=1)", A::DataRate, "3:1"},
      {G::WLAN, "Enable_power_management", "Enable power management", A::YesNo, "N",
       [](const TSimSection& s, const TSimAnswers&) { return Number(s, "Topology") == 0; }},

      // Expert, menu 5
      {G::Expert, "TCP_Keepalive_time_in_s", "TCP Keepalive time in s (1s - 65s; 0s=disable)", A::Number, "45", always,
       Range(0, 65)},
      {G::Expert, "ARP_Cache_timeout_in_s", "ARP Cache timeout in s (1s - 600s)", A::Number, "600", always,
       Range(1, 600)},
      {G::Expert, "CPU_performance", "CPU performance (0=Regular, 1=Low, 2=High)", A::Number, "0", always, Range(0, 2)},
      {G::Expert, "Disable_Monitor_Mode___bootup", "Disable Monitor Mode @ bootup", A::YesNo, "N"},
      {G::Expert, "HTTP_Port_Number", "HTTP Port Number", A::Number, "80", always, Range(0, 65535)},
      {G::Expert, "SMTP_Port_Number", "SMTP Port Number", A::Number, "25", always, Range(0, 65535)},
      {G::Expert, "MTU_Size", "MTU Size", A::Number, "1400", always, Range(512, 1400)},
      {G::Expert, "Ethernet_connection_type",
       "Ethernet connection type (0=auto, 2=10Mb/HD, 3=10Mb/FD, 4=100Mb/HD, 5=100Mb/FD)", A::Number, "0", always,
       OneOf({0, 2, 3, 4, 5})},

      // Security, menu 6
      {G::Security, "Disable_SNMP", "Disable SNMP", A::YesNo, "N"},
      {G::Security, "SNMP_Community_Name", "SNMP Community Name", A::Text, "public",
       [](const TSimSection& s, const TSimAnswers&) { return !Yes(s, "Disable_SNMP"); }},
      {G::Security, "Disable_Telnet_Setup", "Disable Telnet Setup", A::YesNo, "N"},
      {G::Security, "Disable_TFTP_Firmware_Update", "Disable TFTP Firmware Update", A::YesNo, "N"},
      {G::Security, "Disable_Port_77FEh", "Disable Port 77FEh", A::YesNo, "N"},
      {G::Security, "Disable_Web_Server", "Disable Web Server", A::YesNo, "N"},
      {G::Security, "Disable_Web_Setup", "Disable Web Setup", A::YesNo, "N"},
      {G::Security, "Disable_ECHO_ports", "Disable ECHO ports", A::YesNo, "Y"},
      {G::Security, "Enable_Encryption", "Enable Encryption", A::YesNo, "N"},
      {G::Security, "Key_length_in_bits", "Key length in bits", A::Number, "128",
       [](const TSimSection& s, const TSimAnswers&) { return Yes(s, "Enable_Encryption"); }, OneOf({128, 192, 256})},
      {G::Security, "Change_Key", "Change Key", A::Decision, "N",
       [](const TSimSection& s, const TSimAnswers&) { return Yes(s, "Enable_Encryption"); }},
      {G::Security, "Enter_Key", "Enter Key", A::HexKey, "",
       [](const TSimSection& s, const TSimAnswers& a) {
         return Yes(s, "Enable_Encryption") && Said("Change_Key")(s, a);
       }},
      {G::Security, "Enable_Enhanced_Password", "Enable Enhanced Password", A::YesNo, "N"},
      {G::Security, "Change_the_Password", "Change the Password", A::Decision, "N",
       [](const TSimSection& s, const TSimAnswers&) { return Yes(s, "Enable_Enhanced_Password"); }},
      {G::Security,
       "Enter_Password",
       "Enter Password",
       A::Secret,
       "",
       [](const TSimSection& s, const TSimAnswers& a) {
         return Yes(s, "Enable_Enhanced_Password") && Said("Change_the_Password")(s, a);
       },
       {},
       15},
      {G::Security, "Disable_Port_77F0h", "Disable Port 77F0h", A::YesNo, "N"},
  };
}

std::string RemoteAddress(const TSimSection& s) {
  return Value(s, "Remote_IP_Address") + ", Port " + std::to_string(Number(s, "Remote_Port"));
}

std::vector<TSimDumpRow> BuildDumpRows() {
  auto tcp = [](const TSimSection& s) { return IsTcp(s); };
  auto udp = [](const TSimSection& s) { return IsUdp(s); };
  auto broadcast = [](const TSimSection& s) { return IsUdp(s) && Yes(s, "Send_as_Broadcast"); };
  return {
      {G::Basic,
       "IP_addr gateway netmask",
       {},
       [](const TSimSection& s) {
         const std::string gw = Value(s, "Set_Gateway_IP_Address");
         return "IP addr " + Value(s, "IP_Address") + ", " +
                (gw == "0.0.0.0" || gw.empty() ? std::string("no gateway set") : "gateway " + gw) + ", netmask " +
                Value(s, "Netmask");
       }},
      {G::Basic,
       "DHCP_device_name",
       {},
       [](const TSimSection& s) {
         // The device prints a placeholder, not an empty value, for a name that is not set.
         const std::string name = Value(s, "Enter_new_DHCP_device_Name");
         return "DHCP device name : " + (name.empty() ? std::string("not set") : name);
       }},
      {G::Basic,
       "Network_mode",
       {},
       [](const TSimSection& s) {
         static const char* const modes[] = {"Wired Only", "Wireless Only", "Bridging(One Host)"};
         long m = Number(s, "Network_mode");
         return std::string("Network mode: ") + modes[m >= 0 && m <= 2 ? m : 1];
       }},

      {G::Channel,
       "Baudrate IF_Mode Flow",
       {},
       [](const TSimSection& s) {
         return "Baudrate " + Value(s, "Baudrate") + ", I/F Mode " + DumpHex(s, "I_F_Mode") + ", Flow " +
                DumpHex(s, "Flow");
       }},
      {G::Channel, "Port", {}, [](const TSimSection& s) { return "Port " + Value(s, "Port_No"); }},
      {G::Channel,
       "Connect_Mode",
       {},
       [](const TSimSection& s) { return "Connect Mode : " + DumpHex(s, "ConnectMode"); }},
      {G::Channel, "Send_plusplusplus_in_Modem_Mode Show_IP_addr_after_RING Auto_increment_source_port", tcp,
       [](const TSimSection& s) {
         return "Send '+++' in Modem Mode " + Value(s, "Send_______in_Modem_Mode") + ", Show IP addr after 'RING' " +
                Value(s, "Show_IP_addr_after__RING") + ", Auto increment source port " +
                Value(s, "Auto_increment_source_port");
       }},
      {G::Channel, "Remote_IP_Adr", tcp,
       [](const TSimSection& s) {
         return "Remote IP Adr: " + RemoteAddress(s) + " Start Char: " + DumpHex(s, "Start_Char");
       }},
      {G::Channel, "Disconn_Mode", tcp,
       [](const TSimSection& s) {
         long m, sec;
         TimeParts(Value(s, "DisConnTime"), m, sec);
         return "Disconn Mode : " + DumpHex(s, "DisConnMode") + " Disconn Time: " + TwoDigits(m) + ":" + TwoDigits(sec);
       }},
      {G::Channel, "Flush___Mode Pack_Cntrl", tcp,
       [](const TSimSection& s) {
         return "Flush   Mode " + DumpHex(s, "FlushMode") + ", Pack Cntrl " + DumpHex(s, "Pack_Cntrl");
       }},
      {G::Channel, "SendChars", tcp,
       [](const TSimSection& s) { return "SendChars : " + DumpHex(s, "SendChar_1") + " " + DumpHex(s, "SendChar_2"); }},
      {G::Channel, "Terminal_name", tcp,
       [](const TSimSection& s) { return "Terminal name : " + Value(s, "Terminal_name"); }},
      {G::Channel, "Password", tcp, [](const TSimSection& s) { return "Password : " + Value(s, "Password"); }},
      {G::Channel, "Datagram_Type", udp,
       [](const TSimSection& s) { return "Datagram Type " + DumpHex(s, "Datagram_Type"); }},
      {G::Channel, "Send_as Port", broadcast,
       [](const TSimSection& s) { return "Send as Broadcast, Port " + std::to_string(Number(s, "Remote_Port")); }},
      {G::Channel, "Remote_IP_Adr", [](const TSimSection& s) { return IsUdp(s) && !Yes(s, "Send_as_Broadcast"); },
       [](const TSimSection& s) { return "Remote IP Adr: " + RemoteAddress(s); }},
      {G::Channel, "Device_Address_info", udp,
       [](const TSimSection& s) { return "Device Address info: " + Value(s, "Change_address_table"); }},

      {G::Email, "Mail_server", {}, [](const TSimSection& s) { return "Mail server: " + Value(s, "Mail_server"); }},
      {G::Email, "Domain", {}, [](const TSimSection& s) { return "Domain: " + Value(s, "Domain"); }},
      {G::Email, "Unit", {}, [](const TSimSection& s) { return "Unit: " + Value(s, "Unit"); }},
      {G::Email, "Recipient_1", {}, [](const TSimSection& s) { return "Recipient 1: " + Value(s, "Recipient_1"); }},
      {G::Email, "Recipient_2", {}, [](const TSimSection& s) { return "Recipient 2: " + Value(s, "Recipient_2"); }},

      {G::WLAN,
       "Topology",
       {},
       [](const TSimSection& s) {
         return std::string("Topology: ") + (Number(s, "Topology") == 1 ? "Ad-Hoc" : "Infrastructure");
       }},
      {G::WLAN, "Network_name", {}, [](const TSimSection& s) { return "Network name: " + Value(s, "Network_name"); }},
      {G::WLAN, "Channel", {}, [](const TSimSection& s) { return "Channel: " + Value(s, "Channel"); }},
      {G::WLAN,
       "Security_suite",
       {},
       [](const TSimSection& s) {
         long v = Suite(s);
         return std::string("Security suite: ") + kSuites[v >= 0 && v <= 3 ? v : 0];
       }},
      {G::WLAN,
       "Authentication",
       {},
       [](const TSimSection& s) {
         return "Authentication: " + AuthenticationText(Suite(s), Number(s, "Authentication"));
       }},
      {G::WLAN,
       "Encryption",
       {},
       [](const TSimSection& s) { return "Encryption: " + EncryptionText(Suite(s), Number(s, "Encryption")); }},
      {G::WLAN,
       "Key_type",
       {},
       [](const TSimSection& s) {
         return std::string("Key type: ") + (Number(s, "Key_type_0") == 0 ? "Hex" : "Passphrase");
       }},
      {G::WLAN, "TX_Key_index", {}, [](const TSimSection& s) { return "TX Key index: " + Value(s, "TX_Key_index"); }},
      {G::WLAN,
       "TX_Data_rate",
       {},
       [](const TSimSection& s) {
         auto parts = SimSplit(Value(s, "TX_Data_rate"), ':');
         long rate = 3, fallback = 1;
         if (parts.size() == 2) {
           SimParseDecimal(parts[0], rate);
           SimParseDecimal(parts[1], fallback);
         }
         return std::string("TX Data rate: ") + kRates[rate >= 0 && rate <= 7 ? rate : 3] +
                (fallback ? " auto fallback" : " fixed");
       }},
      {G::WLAN,
       "Power_management",
       {},
       [](const TSimSection& s) {
         return std::string("Power management: ") + OnOff(Yes(s, "Enable_power_management"));
       }},

      {G::Expert,
       "TCP_Keepalive",
       {},
       [](const TSimSection& s) { return "TCP Keepalive : " + Value(s, "TCP_Keepalive_time_in_s") + "s"; }},
      {G::Expert,
       "ARP_cache_timeout",
       {},
       [](const TSimSection& s) { return "ARP cache timeout: " + Value(s, "ARP_Cache_timeout_in_s") + "s"; }},
      {G::Expert,
       "CPU_performance",
       {},
       [](const TSimSection& s) {
         static const char* const modes[] = {"Regular", "Low", "High"};
         long m = Number(s, "CPU_performance");
         return std::string("CPU performance: ") + modes[m >= 0 && m <= 2 ? m : 0];
       }},
      {G::Expert,
       "Monitor_Mode_at_bootup",
       {},
       [](const TSimSection& s) {
         return std::string("Monitor Mode @ bootup : ") + OnOff(!Yes(s, "Disable_Monitor_Mode___bootup"));
       }},
      {G::Expert,
       "HTTP_Port_Number",
       {},
       [](const TSimSection& s) { return "HTTP Port Number : " + Value(s, "HTTP_Port_Number"); }},
      {G::Expert,
       "SMTP_Port_Number",
       {},
       [](const TSimSection& s) { return "SMTP Port Number : " + Value(s, "SMTP_Port_Number"); }},
      {G::Expert, "MTU_Size", {}, [](const TSimSection& s) { return "MTU Size: " + Value(s, "MTU_Size"); }},
      {G::Expert,
       "Ethernet_connection_type",
       {},
       [](const TSimSection& s) {
         static const char* const types[] = {"auto-negotiate", "auto-negotiate", "10Mb/HD",
                                             "10Mb/FD",        "100Mb/HD",       "100Mb/FD"};
         long t = Number(s, "Ethernet_connection_type");
         return std::string("Ethernet connection type: ") + types[t >= 0 && t <= 5 ? t : 0];
       }},

      {G::Security,
       "SNMP",
       {},
       [](const TSimSection& s) { return std::string("SNMP is ") + OnOff(!Yes(s, "Disable_SNMP")); }},
      {G::Security,
       "SNMP_Community_Name",
       {},
       [](const TSimSection& s) { return "SNMP Community Name: " + Value(s, "SNMP_Community_Name"); }},
      {G::Security,
       "Telnet_Setup",
       {},
       [](const TSimSection& s) { return std::string("Telnet Setup is ") + OnOff(!Yes(s, "Disable_Telnet_Setup")); }},
      {G::Security,
       "TFTP_Download",
       {},
       [](const TSimSection& s) {
         return std::string("TFTP Download is ") + OnOff(!Yes(s, "Disable_TFTP_Firmware_Update"));
       }},
      {G::Security,
       "Port_77FEh",
       {},
       [](const TSimSection& s) { return std::string("Port 77FEh is ") + OnOff(!Yes(s, "Disable_Port_77FEh")); }},
      {G::Security,
       "Web_Server",
       {},
       [](const TSimSection& s) { return std::string("Web Server is ") + OnOff(!Yes(s, "Disable_Web_Server")); }},
      {G::Security,
       "Web_Setup",
       {},
       [](const TSimSection& s) { return std::string("Web Setup is ") + OnOff(!Yes(s, "Disable_Web_Setup")); }},
      {G::Security,
       "ECHO",
       {},
       [](const TSimSection& s) { return std::string("ECHO is ") + OnOff(!Yes(s, "Disable_ECHO_ports")); }},
      {G::Security,
       "Encryption",
       {},
       [](const TSimSection& s) { return std::string("Encryption is ") + OnOff(Yes(s, "Enable_Encryption")); }},
      {G::Security,
       "Enhanced_Password",
       {},
       [](const TSimSection& s) {
         return std::string("Enhanced Password is ") + OnOff(Yes(s, "Enable_Enhanced_Password"));
       }},
      {G::Security,
       "Port_77F0h",
       {},
       [](const TSimSection& s) { return std::string("Port 77F0h is ") + OnOff(!Yes(s, "Disable_Port_77F0h")); }},
  };
}

}  // namespace

std::string TSimSettings::Get(const std::string& section, const std::string& key) const {
  auto s = Sections.find(section);
  if (s == Sections.end()) return {};
  auto k = s->second.find(key);
  return k == s->second.end() ? std::string() : k->second;
}

void TSimSettings::Set(const std::string& section, const std::string& key, const std::string& value) {
  Sections[section][key] = value;
}

const std::vector<TSimSettingDef>& SimSettingDefs() {
  static const std::vector<TSimSettingDef> defs = BuildDefs();
  return defs;
}

const std::vector<TSimDumpRow>& SimDumpRows() {
  static const std::vector<TSimDumpRow> rows = BuildDumpRows();
  return rows;
}

const std::vector<TSimSectionInfo>& SimSections() {
  // Dump order: the basic parameters first, as the device always prints them.
  static const std::vector<TSimSectionInfo> sections = {
      {"basic_parameters", "basic parameters", G::Basic, 0},
      {"Channel_1", "Channel 1", G::Channel, 1},
      {"Channel_2", "Channel 2", G::Channel, 2},
      {"E-mail", "E-mail", G::Email, -1},
      {"WLAN", "WLAN", G::WLAN, 4},
      {"Expert", "Expert", G::Expert, 5},
      {"Security", "Security", G::Security, 6},
  };
  return sections;
}

const TSimSectionInfo* SimSectionByMenu(int choice) {
  for (const auto& s : SimSections())
    if (s.MenuChoice == choice && choice >= 0) return &s;
  return nullptr;
}

TSimSettings SimDefaults() {
  TSimSettings settings;
  for (const auto& info : SimSections())
    for (const auto& def : SimSettingDefs())
      if (def.Group == info.Group && def.Kind != A::Decision && def.Kind != A::ShowKey)
        settings.Set(info.Name, def.Key, def.Default);
  settings.Set("Channel_2", "Port_No", "10002");
  return settings;
}

std::string SimQuestionText(const TSimSettingDef& def, const TSimSection& s) {
  const std::string q = def.Question ? def.Question : def.Key;
  const std::string v = Value(s, def.Key);
  switch (def.Kind) {
    case A::Secret:
    case A::HexKey:
    case A::WlanKey: return q + " ? ";
    case A::Decision:
      // The name the unit holds, then the choice: one question in two parts.
      if (def.Key == std::string("Change_DHCP_device_name")) {
        const std::string name = Value(s, "Enter_new_DHCP_device_Name");
        return q + " (" + (name.empty() ? std::string("not set") : name) + ") ? (N) ? ";
      }
      return q + " (N) ? ";
    case A::ShowKey: return q + " (N) ? ";
    case A::Gateway: return q + " (" + (v == "0.0.0.0" || v.empty() ? "N" : "Y") + ") ? ";
    case A::AddressTable: return q + " (N) ? ";
    case A::Netmask: return q + " (" + std::to_string(SimHostBitsFromNetmask(v)) + ") ? ";
    case A::HexByte: return q + " (" + DumpHex(s, def.Key) + ") ? ";
    case A::Time: {
      long m, sec;
      TimeParts(v, m, sec);
      return q + " (" + TwoDigits(m) + ":" + TwoDigits(sec) + ") ? ";
    }
    case A::DataRate: {
      auto parts = SimSplit(v, ':');
      return q + " (" + (parts.size() == 2 ? parts[1] : std::string("1")) + ") ? ";
    }
    default: return q + " (" + v + ") ? ";
  }
}

std::vector<TSimPrompt> SimPromptCatalogue() {
  const TSimSettings defaults = SimDefaults();
  std::vector<TSimPrompt> prompts;
  for (const auto& info : SimSections()) {
    if (info.MenuChoice < 0) continue;
    const TSimSection& section = defaults.Sections.at(info.Name);
    for (const auto& def : SimSettingDefs())
      if (def.Group == info.Group && def.Question)
        prompts.push_back({info.Name, SimQuestionText(def, section), def.Key});
  }
  return prompts;
}

bool SimIsUdp(const TSimSection& channel) { return IsUdp(channel); }

std::vector<std::string> SimDumpLines(const TSimSettings& settings) {
  std::vector<std::string> lines;
  for (const auto& info : SimSections()) {
    lines.push_back(std::string("*** ") + info.Heading);
    auto it = settings.Sections.find(info.Name);
    const TSimSection empty;
    const TSimSection& section = it == settings.Sections.end() ? empty : it->second;
    for (const auto& row : SimDumpRows())
      if (row.Group == info.Group && (!row.Shown || row.Shown(section))) lines.push_back(row.Line(section));
  }
  return lines;
}

int SimWlanHexKeyLength(const TSimSection& wlan) {
  switch (Suite(wlan)) {
    case 1: return Number(wlan, "Encryption") == 2 ? 26 : 10;
    case 2:
    case 3: return 64;
    default: return 0;
  }
}
