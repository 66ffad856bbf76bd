// Settings on the command line: names, Section.Key=Value against the device's ranges, what diff
// prints for two files, and the typed JSON.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "CliSettings.h"
#include "SimStates.h"

using namespace KaVruneCli;

namespace {

TDeviceSettings ReadOf(const TSimSettings& s) { return FromReadDocument(DumpDocument(s)->Root()); }

TDeviceSettings FromText(const std::string& xml) { return FromDocument(TXmlDocument::CreateFromText(xml)->Root()); }

std::string Error(const std::string& assignment) {
  std::string error;
  EXPECT_FALSE(ParseAssignment(assignment, error)) << assignment;
  return error;
}

std::string Value(const std::string& assignment) {
  std::string error;
  const auto a = ParseAssignment(assignment, error);
  EXPECT_TRUE(a) << error;
  return a ? a->Value : std::string();
}

}  // namespace

// What "read --format text" prints must go back through "set" unchanged, at every edge.
TEST(CliSettings, everyPrintedLineShouldSetTheValueItShows) {
  for (bool high : {false, true}) {
    const TDeviceSettings read = ReadOf(EdgeState(high));
    const std::string text = FormatSettings(read, TFormat::Text);
    size_t lines = 0;
    for (size_t at = 0; at < text.size(); ++lines) {
      const size_t end = text.find('\n', at);
      const std::string line = text.substr(at, end - at);
      at = end + 1;
      std::string error;
      const auto rows = FindSettings(line.substr(0, line.find('=')), error);
      ASSERT_EQ(rows.size(), 1u) << line << error;
      if (!rows.front()->Writable()) continue;
      const auto a = ParseAssignment(line, error, &read);
      ASSERT_TRUE(a) << line << ": " << error;
      EXPECT_EQ(a->Value, *read.Find(*a->Row)) << line;
    }
    EXPECT_GT(lines, 60u);
  }
}

TEST(CliSettings, namesShouldBeFoundInAnyCaseAndByEitherKey) {
  std::string error;
  EXPECT_EQ(Value("basic_parameters.IP_addr=10.9.9.9"), "10.9.9.9");
  EXPECT_EQ(Value("BASIC_PARAMETERS.ip_address=010.9.9.9"), "10.9.9.9") << "the menu's key and its form";
  EXPECT_EQ(Value("Channel_1.Baudrate=57600"), "57600");
  EXPECT_EQ(Value("Channel_1.Port_No=10001"), "10001");
  EXPECT_EQ(Value("Channel_2.Remote_Port=7"), "7");
  EXPECT_EQ(Value("WLAN.Network_name=a=b c"), "a=b c") << "only the first = ends the name";
  EXPECT_EQ(Value("Expert.TCP_Keepalive=30s"), "30");
  EXPECT_EQ(Value("Expert.CPU_performance=high"), "2");
  EXPECT_EQ(Value("basic_parameters.gateway="), "0.0.0.0") << "the dump's \"no gateway set\"";
  // A flag means what its name says; the menu asks the opposite ("Disable SNMP").
  EXPECT_EQ(Value("Security.SNMP=off"), "Y");
  EXPECT_EQ(Value("Security.SNMP=enabled"), "N");
  EXPECT_EQ(Value("Security.Disable_SNMP=Y"), "Y");
  EXPECT_EQ(Value("Security.Encryption=on"), "Y");
  EXPECT_EQ(Value("WLAN.Encryption=WEP128"), "2") << "a word of one suite only";
  EXPECT_EQ(FindSettings("Channel_1.Remote_IP_Adr", error).size(), 3u) << "one dump line, three settings";
}

TEST(CliSettings, valuesTheDeviceWouldRefuseShouldBeRefusedWithTheReason) {
  EXPECT_NE(Error("Channel_1.Baudrate=12345").find("115200"), std::string::npos) << "the list it takes";
  EXPECT_NE(Error("Expert.MTU_Size=1401").find("512 to 1400"), std::string::npos);
  EXPECT_NE(Error("Channel_1.Port=65536").find("range"), std::string::npos);
  EXPECT_NE(Error("Expert.Ethernet_connection_type=1").find("not one the device takes"), std::string::npos);
  EXPECT_NE(Error("basic_parameters.IP_addr=10.0.0.256").find("is not a valid value for IP address"), std::string::npos);
  EXPECT_NE(Error("basic_parameters.netmask=255.0.255.0").find("netmask"), std::string::npos);
  EXPECT_NE(Error("basic_parameters.DHCP_device_name=sixteen-letters!").find("longer"), std::string::npos);
  EXPECT_NE(Error("WLAN.Encryption=TKIP").find("give its number"), std::string::npos) << "the suite decides";
  EXPECT_NE(Error("Security.SNMP=maybe").find("on or off"), std::string::npos);
  EXPECT_NE(Error("Channel_1.Remote_IP_Adr=1.2.3.4").find("Channel_1.Remote_Port"), std::string::npos);
  EXPECT_NE(Error("E-mail.Mail_server=1.2.3.4").find("only be read"), std::string::npos);
  EXPECT_NE(Error("Channel_3.Baudrate=9600").find("no setting"), std::string::npos);
  EXPECT_NE(Error("Channel_1.Baud=9600").find("no such key"), std::string::npos);
  EXPECT_NE(Error("Channel_1.Baudrate").find("Section.Key=Value"), std::string::npos);
}

TEST(CliSettings, diffShouldNameEachDifferenceOfTwoFilesOfEitherForm) {
  const TDeviceSettings backup = ReadOf(SimDefaults());
  // The window's write form: the same IP address in the menu's key, a new baud rate, SNMP off,
  // and a key that no dump shows.
  const TDeviceSettings edited = FromText(
      "<xml><basic_parameters><IP_Address>192.168.1.254</IP_Address></basic_parameters>"
      "<Channel_1><Baudrate>115200</Baudrate></Channel_1>"
      "<Security><Disable_SNMP>Y</Disable_SNMP><Change_Key>Y</Change_Key><Enter_Key>0011</Enter_Key></Security>"
      "</xml>");
  TDeviceSettings clone = backup;
  clone.Set("Channel_1", "Baudrate", "115200");
  clone.Set("Security", "Disable_SNMP", "Y");
  EXPECT_TRUE(Compare(backup, backup).empty());
  const auto differences = Compare(backup, clone);
  EXPECT_EQ(FormatDifferences(differences, TFormat::Text),
            "Channel_1.Baudrate: 9600 -> 115200\n"
            "Security.SNMP: enabled -> disabled\n");
  const auto json = nlohmann::json::parse(FormatDifferences(differences, TFormat::Json));
  EXPECT_EQ(json[0]["to"], 115200);
  EXPECT_EQ(json[1]["from"], true);
  EXPECT_NE(FormatDifferences(differences, TFormat::Xml).find("<Baudrate from=\"9600\" to=\"115200\"/>"),
            std::string::npos);

  // Against a file that gives a few settings, the rest is "(none)"; the key is never compared.
  const std::string partial = FormatDifferences(Compare(edited, backup), TFormat::Text);
  EXPECT_NE(partial.find("Channel_1.Baudrate: 115200 -> 9600\n"), std::string::npos) << partial;
  EXPECT_NE(partial.find("Channel_1.Port: (none) -> 10001\n"), std::string::npos) << partial;
  EXPECT_EQ(partial.find(".IP_addr"), std::string::npos) << "equal in either key";
  EXPECT_EQ(partial.find("Enter_Key"), std::string::npos) << partial;
}

TEST(CliSettings, jsonShouldHoldNumbersAsNumbersFlagsAsBooleansAndBytesAsPrinted) {
  const TDeviceSettings read = ReadOf(EdgeState(true));
  const auto json = nlohmann::json::parse(FormatSettings(read, TFormat::Json));
  EXPECT_EQ(json["Channel_1"]["Baudrate"], 460800);
  EXPECT_EQ(json["Channel_1"]["IF_Mode"], "FF");
  EXPECT_EQ(json["Channel_1"]["DisConnTime"], "23:59");
  EXPECT_EQ(json["Expert"]["TCP_Keepalive"], 65);
  EXPECT_EQ(json["Security"]["SNMP"], true);
  EXPECT_EQ(json["Channel_1"]["Auto_increment_source_port"], true);
  EXPECT_EQ(json["basic_parameters"]["IP_addr"], "223.255.255.254");
  EXPECT_EQ(json["WLAN"]["Encryption"], "WEP128");

  std::string error;
  const std::vector<const TSettingRow*> two = {FindSettings("Channel_1.Baudrate", error).front(),
                                               FindSettings("Security.SNMP", error).front()};
  EXPECT_EQ(FormatSettings(read, TFormat::Text, &two), "Channel_1.Baudrate=460800\nSecurity.SNMP=enabled\n");
}

// A restore names what it leaves as the device has it only where the file holds such settings.
TEST(CliSettings, restoreNotesShouldNameOnlyWhatTheFileTouches) {
  auto notes = [](const std::string& body) { return NotCarriedByRestore(FromText("<xml>" + body + "</xml>")); };
  EXPECT_TRUE(notes("<Channel_1><Baudrate>38400</Baudrate></Channel_1><basic_parameters><IP_addr>10.0.0.1</IP_addr>"
                    "</basic_parameters><Security><SNMP>enabled</SNMP></Security>")
                  .empty());
  EXPECT_EQ(notes("<Security><Encryption>enabled</Encryption></Security>"),
            std::vector<std::string>{"Passwords and keys never appear in a dump, so a restore leaves the device's own: "
                                     "encryption key (and the encryption key length, which the dump does not show "
                                     "either)."});
  EXPECT_EQ(notes("<E-mail><Mail_server>10.0.0.9</Mail_server></E-mail>"),
            std::vector<std::string>{"The tool does not walk the E-mail menu, so a restore leaves these as they are: "
                                     "mail server."});
  const auto whole = NotCarriedByRestore(ReadOf(SimDefaults()));
  ASSERT_EQ(whole.size(), 2u);
  for (const char* secret : {"telnet configuration password", "WLAN key", "enhanced password"})
    EXPECT_NE(whole[0].find(secret), std::string::npos) << whole[0];
  // Onto a unit, only what the restore changes there counts.
  TSimSettings unit = SimDefaults();
  EXPECT_TRUE(NotCarriedByRestore(ReadOf(unit), ReadOf(SimDefaults())).empty());
  unit.Set("Channel_1", "Baudrate", "38400");
  unit.Set("Security", "Enable_Encryption", "Y");
  EXPECT_EQ(NotCarriedByRestore(ReadOf(unit), ReadOf(SimDefaults())),
            notes("<Security><Encryption>enabled</Encryption></Security>"));
  unit = SimDefaults();
  unit.Set("E-mail", "Mail_server", "10.0.0.9");
  EXPECT_EQ(NotCarriedByRestore(ReadOf(unit), ReadOf(SimDefaults())),
            notes("<E-mail><Mail_server>10.0.0.9</Mail_server></E-mail>"));
}
