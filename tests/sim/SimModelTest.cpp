// The device model on its own: the names its dump lines give under the engine's dump reader,
// the state file, and the console driven byte by byte.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "SimDevice.h"
#include "SimModel.h"
#include "uKaVruneDumpReader.h"
#include "uKaVruneUtils.h"
#include "uTextUtils.h"
#include "uXmlUtils.h"

namespace {

// The keys of one section of the read document the engine makes of a dump, in document order.
using TKeys = std::vector<std::pair<std::string, std::string>>;

TKeys Keys(const TXmlElement& section) {
  TKeys keys;
  if (section)
    for (const TXmlElement& e : section.Children()) keys.emplace_back(e.Name(), e.Text());
  return keys;
}

// Section name -> keys, as the engine's dump reader fills the read document.
std::map<std::string, TKeys> ParseDump(const std::vector<std::string>& lines) {
  PXmlDocument doc = TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText);
  TXmlElement root = doc->Root(), section;
  for (const std::string& line : lines) ParseDumpLine(Cp1250ToUtf8(Trim(line)), root, section);
  std::map<std::string, TKeys> sections;
  for (const TXmlElement& s : root.Children()) sections[s.Name()] = Keys(s);
  return sections;
}

// The keys the engine makes of one line of a section.
TKeys ParseLine(const std::string& line) {
  PXmlDocument doc = TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText);
  TXmlElement root = doc->Root(), section = root.AppendChild("section");
  ParseDumpLine(Trim(line), root, section);
  return Keys(section);
}

std::string Find(const TKeys& keys, const std::string& key) {
  for (const auto& [k, v] : keys)
    if (k == key) return v;
  return "<missing>";
}

// The question a reply ends with: its last line.
std::string LastLine(const std::string& out) {
  const auto nl = out.rfind('\n');
  return nl == std::string::npos ? out : out.substr(nl + 1);
}

std::set<std::string> Names(const TKeys& keys) {
  std::set<std::string> names;
  for (const auto& kv : keys) names.insert(kv.first);
  return names;
}

TEST(SimModel, shouldAskForEveryKeyTheWindowWrites) {
  const std::map<std::string, std::vector<std::string>> written = {
      {"basic_parameters",
       {"IP_Address", "Netmask", "Set_Gateway_IP_Address", "Network_mode", "Change_telnet_config_password",
        "Enter_new_Password", "Change_DHCP_device_name", "Enter_new_DHCP_device_Name"}},
      {"Security",
       {"Disable_SNMP", "SNMP_Community_Name", "Disable_Telnet_Setup", "Disable_TFTP_Firmware_Update",
        "Disable_Port_77FEh", "Disable_Web_Server", "Disable_Web_Setup", "Disable_ECHO_ports", "Enable_Encryption",
        "Key_length_in_bits", "Change_Key", "Enter_Key", "Enable_Enhanced_Password", "Change_the_Password",
        "Enter_Password", "Disable_Port_77F0h"}},
      {"Expert",
       {"TCP_Keepalive_time_in_s", "ARP_Cache_timeout_in_s", "CPU_performance", "Disable_Monitor_Mode___bootup",
        "HTTP_Port_Number", "SMTP_Port_Number", "MTU_Size", "Ethernet_connection_type"}},
      {"WLAN",
       {"Topology", "Network_name", "Channel", "Security_suite", "Authentication", "Encryption", "Key_type_0",
        "Change_Key", "Enter_Key", "Display_current_key", "TX_Key_index", "TX_Data_rate", "Enable_power_management"}},
      {"Channel_1",
       {"Baudrate", "I_F_Mode", "Flow", "Pack_Cntrl", "FlushMode", "SendChar_1", "SendChar_2", "ConnectMode",
        "DisConnMode", "Remote_IP_Address", "Remote_Port", "Start_Char", "DisConnTime", "Port_No",
        "Auto_increment_source_port", "Show_IP_addr_after__RING", "Send_______in_Modem_Mode", "Terminal_name",
        "Password", "Send_as_Broadcast", "Datagram_Type", "Change_address_table"}},
  };
  std::map<std::string, std::set<std::string>> asked;
  for (const auto& p : SimPromptCatalogue()) asked[p.Section].insert(p.Key);
  for (const auto& [section, keys] : written)
    for (const auto& key : keys) EXPECT_TRUE(asked[section].count(key)) << section << " never asks " << key;
  EXPECT_EQ(asked["Channel_1"], asked["Channel_2"]);
}

TEST(SimModel, shouldDumpTheReadFormKeysOfEveryLineInTcpMode) {
  TSimSettings s = SimDefaults();
  s.Set("Channel_1", "DisConnMode", "C0");
  s.Set("Channel_1", "DisConnTime", "1:30");
  s.Set("Channel_1", "Remote_IP_Address", "10.0.0.7");
  s.Set("Channel_1", "Remote_Port", "10001");
  s.Set("Channel_1", "Start_Char", "D");
  s.Set("Channel_1", "Password", "a:b");
  s.Set("Security", "SNMP_Community_Name", "x@y");
  const auto doc = ParseDump(SimDumpLines(s));

  const std::vector<std::string> sections = {"basic_parameters", "Channel_1", "Channel_2", "E-mail",
                                             "WLAN",             "Expert",    "Security"};
  for (const auto& name : sections) ASSERT_TRUE(doc.count(name)) << name;
  EXPECT_EQ(doc.size(), sections.size());

  for (const auto& row : SimDumpRows()) {
    // every line yields exactly the keys its row promises
    for (const auto& info : SimSections()) {
      if (info.Group != row.Group) continue;
      const TSimSection& section = s.Sections.at(info.Name);
      if (row.Shown && !row.Shown(section)) continue;
      std::set<std::string> expected;
      std::string keys = row.ReadKeys;
      for (std::size_t p = 0; p < keys.size();) {
        auto e = keys.find(' ', p);
        if (e == std::string::npos) e = keys.size();
        expected.insert(keys.substr(p, e - p));
        p = e + 1;
      }
      EXPECT_EQ(Names(ParseLine(row.Line(section))), expected) << row.Line(section);
    }
  }

  const auto& basic = doc.at("basic_parameters");
  EXPECT_EQ(Find(basic, "IP_addr"), "192.168.1.254");
  EXPECT_EQ(Find(basic, "gateway"), "");
  EXPECT_EQ(Find(basic, "netmask"), "255.255.255.0");
  EXPECT_EQ(Find(basic, "Network_mode"), "Wireless Only");
  const auto& ch1 = doc.at("Channel_1");
  EXPECT_EQ(Find(ch1, "Disconn_Mode"), "C0 Disconn Time: 01:30");
  EXPECT_EQ(Find(ch1, "Remote_IP_Adr"), "10.0.0.7, Port 10001 Start Char: 0D");
  EXPECT_EQ(Find(ch1, "Flush___Mode"), "00");
  EXPECT_EQ(Find(ch1, "IF_Mode"), "4C");
  EXPECT_EQ(Find(ch1, "Send_plusplusplus_in_Modem_Mode"), "Y");
  EXPECT_EQ(Find(ch1, "Show_IP_addr_after_RING"), "Y");
  EXPECT_EQ(Find(ch1, "SendChars"), "00 00");
  EXPECT_EQ(Find(ch1, "Password"), "a:b");
  EXPECT_EQ(Find(doc.at("Channel_2"), "Port"), "10002");
  EXPECT_EQ(Find(doc.at("WLAN"), "TX_Data_rate"), "11 Mbps auto fallback");
  EXPECT_EQ(Find(doc.at("Expert"), "TCP_Keepalive"), "45s");
  EXPECT_EQ(Find(doc.at("Expert"), "Monitor_Mode_at_bootup"), "enabled");
  EXPECT_EQ(Find(doc.at("Security"), "SNMP"), "enabled");
  EXPECT_EQ(Find(doc.at("Security"), "SNMP_Community_Name"), "x@y") << "\"@\" becomes \"at\" in names only";
}

TEST(SimModel, shouldDumpTheUdpKeysTheLoaderLooksFor) {
  TSimSettings s = SimDefaults();
  s.Set("Channel_1", "ConnectMode", "CC");
  s.Set("Channel_1", "Datagram_Type", "FD");
  s.Set("Channel_1", "Send_as_Broadcast", "Y");
  s.Set("Channel_1", "Remote_Port", "10005");
  s.Set("Channel_1", "Change_address_table", "1 2 3 0 0 0 0 0 0 0 0 0 0 0 0 0");
  s.Set("Channel_2", "ConnectMode", "C");
  s.Set("Channel_2", "Remote_IP_Address", "10.0.0.9");
  s.Set("Channel_2", "Remote_Port", "7");
  const auto doc = ParseDump(SimDumpLines(s));

  const auto& ch1 = doc.at("Channel_1");
  EXPECT_EQ(Find(ch1, "Connect_Mode"), "CC");
  EXPECT_EQ(Find(ch1, "Datagram_Type"), "FD");
  EXPECT_EQ(Find(ch1, "Send_as"), "Broadcast");
  EXPECT_EQ(Find(ch1, "Device_Address_info"), "1 2 3 0 0 0 0 0 0 0 0 0 0 0 0 0");
  // the first Port is the local one, the Port after Send_as the remote one
  std::vector<std::string> ports;
  for (const auto& [k, v] : ch1)
    if (k == "Port") ports.push_back(v);
  EXPECT_EQ(ports, (std::vector<std::string>{"10001", "10005"}));
  EXPECT_EQ(Find(ch1, "Disconn_Mode"), "<missing>");

  EXPECT_EQ(Find(doc.at("Channel_2"), "Remote_IP_Adr"), "10.0.0.9, Port 7");
  EXPECT_EQ(Find(doc.at("Channel_2"), "Connect_Mode"), "0C");
}

TEST(SimModel, shouldRoundTripTheStateFileAndKeepDefaultsForUnknownLines) {
  const std::string path = ::testing::TempDir() + "sim_state_roundtrip";
  TSimSettings s = SimDefaults();
  s.Set("basic_parameters", "Enter_new_DHCP_device_Name", "a=b");
  s.Set("WLAN", "TX_Data_rate", "7:0");
  SaveState(s, path);
  EXPECT_EQ(LoadState(path), s);

  {
    FILE* f = std::fopen(path.c_str(), "a");
    std::fputs("[Expert]\nNoSuchKey=1\ngarbage line\n[NoSection]\nMTU_Size=1\n", f);
    std::fclose(f);
  }
  EXPECT_EQ(LoadState(path), s);
  EXPECT_EQ(LoadState(path + ".missing"), SimDefaults());
  std::remove(path.c_str());
}

TEST(SimModel, shouldConvertNetmasksAndHostBitsBothWays) {
  EXPECT_EQ(SimNetmaskFromHostBits(8), "255.255.255.0");
  EXPECT_EQ(SimNetmaskFromHostBits(0), "255.255.255.255");
  EXPECT_EQ(SimNetmaskFromHostBits(32), "0.0.0.0");
  EXPECT_EQ(SimHostBitsFromNetmask("255.255.0.0"), 16);
  EXPECT_EQ(SimHostBitsFromNetmask("0.0.0.0"), 32);
  EXPECT_EQ(SimHostBitsFromNetmask("255.255.255"), -1);
  EXPECT_EQ(SimHostBitsFromNetmask("255.255.255.256"), -1);
}

// Drives the console directly, the way the engine's writer would type.
class SimDeviceConsole : public ::testing::Test {
protected:
  TSimDevice Device{SimDefaults(), {}};
  TSimDevice::TClock::time_point Now = TSimDevice::TClock::now();

  void SetUp() override {
    Device.PowerOn(Now);
    Type("\r");
  }
  std::string Type(std::string_view bytes) {
    Device.Consume(Device.Pending().size());
    Device.Receive(bytes, Now);
    return Device.Pending();
  }
  std::string Get(const char* section, const char* key) { return Device.Current().Get(section, key); }
};

TEST_F(SimDeviceConsole, shouldAskTheWlanKeyOnlyWithSecurityAndTakeAHexKeyOfExactLength) {
  std::string out = Type("4\r");
  EXPECT_EQ(PromptName(LastLine(out)), "Topology");
  Type("\r");                    // topology kept
  Type("\r");                    // network name kept
  out = Type("\r");              // channel kept
  out = Type("0\r");             // security suite none
  EXPECT_EQ(PromptName(LastLine(out)), "TX_Data_rate") << out;
  Type("1\r");
  Type("3\r");
  Type("\r");  // power management
  out = Type("4\r");
  Type("\r\r\r");
  out = Type("1\r");             // WEP
  EXPECT_NE(out.find("Authentication"), std::string::npos);
  Type("0\r");                   // open
  Type("2\r");                   // 128 bits
  out = Type("0\r");             // hex key
  EXPECT_EQ(PromptName(LastLine(out)), "Change_Key");
  out = Type("Y");
  EXPECT_EQ(PromptName(LastLine(out)), "Enter_Key");
  out = Type("0123456789abcdef0123456789");  // 26 digits, no CR
  EXPECT_NE(out.find("Display current key"), std::string::npos) << out;
  EXPECT_EQ(Get("WLAN", "Enter_Key"), "0123456789ABCDEF0123456789");
  out = Type("N");
  EXPECT_EQ(PromptName(LastLine(out)), "TX_Key_index");
}

TEST_F(SimDeviceConsole, shouldTakeTheAddressTableAfterYAndSixteenNumbers) {
  Type("1\r");
  Type("\r\r\r\r");
  Type("CC\r");  // UDP
  Type("FD\r");
  Type("N");
  Type("\r");    // remote address kept
  std::string out = Type("\r");
  EXPECT_EQ(PromptName(LastLine(out)), "Change_address_table");
  Type("Y");
  for (int i = 1; i <= 3; ++i) Type(std::to_string(i) + "\r");
  for (int i = 4; i <= 16; ++i) out = Type("0\r");
  EXPECT_NE(out.find("Your choice ?"), std::string::npos) << out;
  EXPECT_EQ(Get("Channel_1", "Change_address_table"), "1 2 3 0 0 0 0 0 0 0 0 0 0 0 0 0");
}

TEST_F(SimDeviceConsole, shouldTakeDisconnectTimeAndDataRateInTwoParts) {
  Type("1\r");
  for (int i = 0; i < 11; ++i) Type("\r");  // up to DisConnTime in TCP mode (after FlushMode)
  std::string out = Type("\r");
  ASSERT_EQ(PromptName(LastLine(out)), "DisConnTime") << out;
  EXPECT_EQ(Type("5\r"), "5:");
  Type("30\r");
  EXPECT_EQ(Get("Channel_1", "DisConnTime"), "5:30");
  out = Type("777\r");  // SendChar 1: three hex digits are refused
  EXPECT_EQ(PromptName(LastLine(out)), "SendChar_1");
}
}  // namespace
