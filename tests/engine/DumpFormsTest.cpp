// The dump as devices of different make print it: the same settings out of every layout of the
// flags, every pair of flag words, every line end, with and without a heading above the menu and
// lines that describe the unit.

#include <gtest/gtest.h>

#include <algorithm>

#include "SimDevice.h"
#include "SimProfile.h"
#include "SimStates.h"
#include "uKaVruneDumpReader.h"
#include "uKaVruneModel.h"

namespace {

struct TDumpForm {
  const char* Name;
  const char* LineEnd;
  std::vector<const char*> Lines;  // from the first heading to the prompt, without line ends
};

// One device state in every form: channel 1 over TCP with its three flags Y, N, Y, SNMP on,
// telnet setup off, web server on, web setup off, the monitor mode off, power management on.
const std::vector<TDumpForm>& Forms() {
  static const std::vector<TDumpForm> forms = {
      {"standard",
       "\r\n",
       {"*** basic parameters",
        "IP addr 10.1.2.3, no gateway set, netmask 255.255.255.0",
        "DHCP device name : not set",
        "*** Channel 1",
        "Baudrate 9600, I/F Mode 4C, Flow 00",
        "Port 10001",
        "Connect Mode : C0",
        "Send '+++' in Modem Mode Y, Show IP addr after 'RING' N, Auto increment source port Y",
        "Remote IP Adr: 10.0.0.9, Port 4001 Start Char: 1B",
        "Disconn Mode : 00 Disconn Time: 02:05",
        "*** WLAN",
        "Power management: enabled",
        "*** Expert",
        "Monitor Mode @ bootup : disabled",
        "*** Security",
        "SNMP is enabled",
        "Telnet Setup is disabled",
        "Web Server is enabled",
        "Web Setup is disabled",
        "",
        "0 Server configuration",
        "9 Save and exit",
        ""}},
      {"field: one flag a line with a colon, unit lines, a menu heading",
       "\n\r",
       {"*** basic parameters",
        "IP addr 10.1.2.3, no gateway set, netmask 255.255.255.0",
        "Hardware: KV-200 rev C, 2 serial ports, WLAN 802.11b/g",
        "DHCP device name : not set",
        "*** Channel 1",
        "Baudrate 9600, I/F Mode 4C, Flow 00",
        "Port 10001",
        "Connect Mode : C0",
        "Send '+++' in Modem Mode : enabled",
        "Show IP addr after 'RING' : disabled",
        "Auto increment source port : enabled",
        "Remote IP Adr: 10.0.0.9, Port 4001 Start Char: 1B",
        "Disconn Mode : 00 Disconn Time: 02:05",
        "*** WLAN",
        "Country: Europe (ETSI)",
        "Power management: enabled",
        "*** Expert",
        "Monitor Mode @ bootup : disabled",
        "Alternate MAC: disabled",
        "*** Security",
        "SNMP is enabled",
        "Telnet Setup is disabled",
        "Web Server is enabled",
        "Web Setup is disabled",
        "Change Setup:",
        "0 Server configuration",
        "9 Save and exit",
        ""}},
      {"random: flags without a colon, ON/OFF, CR alone, blank lines, blanks around colons",
       "\r",
       {"*** basic parameters",
        "IP addr 10.1.2.3, no gateway set, netmask 255.255.255.0",
        "DHCP device name: not set",
        "",
        "*** Channel 1",
        "Baudrate 9600, I/F Mode 4C, Flow 00",
        "Port 10001",
        "Connect Mode:C0",
        "Send '+++' in Modem Mode ON",
        "Show IP addr after 'RING' OFF",
        "Auto increment source port ON",
        "Remote IP Adr : 10.0.0.9, Port 4001 Start Char :1B",
        "Disconn Mode: 00 Disconn Time : 02:05",
        "",
        "*** WLAN",
        "Power management : ON",
        "",
        "*** Expert",
        "Monitor Mode @ bootup: OFF",
        "",
        "*** Security",
        "SNMP is ON",
        "Telnet Setup is OFF",
        "Web Server is ON",
        "Web Setup is OFF",
        "",
        "Main menu:",
        "0 Server configuration",
        "9 Save and exit",
        ""}},
      {"yes/no and true/false in mixed letter case",
       "\r\n",
       {"*** basic parameters",
        "IP addr 10.1.2.3, no gateway set, netmask 255.255.255.0",
        "DHCP device name : not set",
        "*** Channel 1",
        "Baudrate 9600, I/F Mode 4C, Flow 00",
        "Port 10001",
        "Connect Mode : C0",
        "Send '+++' in Modem Mode yes, Show IP addr after 'RING' No, Auto increment source port YES",
        "Remote IP Adr: 10.0.0.9, Port 4001 Start Char: 1B",
        "Disconn Mode : 00 Disconn Time: 02:05",
        "*** WLAN",
        "Power management: True",
        "*** Expert",
        "Monitor Mode @ bootup : false",
        "*** Security",
        "SNMP is 1",
        "Telnet Setup is 0",
        "Web Server is on",
        "Web Setup is off",
        "0 Server configuration",
        "9 Save and exit",
        ""}},
  };
  return forms;
}

std::string Text(const TDumpForm& form) {
  std::string text = "Press Enter for Setup Mode ";
  for (const char* line : form.Lines) text += std::string(form.LineEnd) + line;
  return text + "Your choice ? ";
}

std::vector<std::string> Names(const TXmlElement& e) {
  std::vector<std::string> names;
  for (const TXmlElement& c : e.Children()) names.push_back(c.Name());
  return names;
}

}  // namespace

TEST(DumpForms, shouldReadTheSameSettingsFromEveryForm) {
  const TDeviceSettings standard = FromReadDocument(ParseDump(Text(Forms()[0])));
  const std::vector<std::tuple<const char*, const char*, const char*>> expected = {
      {"Channel_1", "Send_______in_Modem_Mode", "Y"},
      {"Channel_1", "Show_IP_addr_after__RING", "N"},
      {"Channel_1", "Auto_increment_source_port", "Y"},
      {"Channel_1", "Start_Char", "1B"},
      {"Channel_1", "DisConnTime", "2:5"},
      {"WLAN", "Enable_power_management", "Y"},
      {"Expert", "Disable_Monitor_Mode___bootup", "Y"},
      {"Security", "Disable_SNMP", "N"},
      {"Security", "Disable_Telnet_Setup", "Y"},
      {"Security", "Disable_Web_Server", "N"},
      {"Security", "Disable_Web_Setup", "Y"}};
  for (const auto& [section, key, value] : expected) {
    const std::string* v = standard.Find(section, key);
    ASSERT_NE(v, nullptr) << key;
    EXPECT_EQ(*v, value) << key;
  }
  for (const TDumpForm& form : Forms()) {
    std::vector<std::string> damaged;
    const TXmlElement root = ParseDump(Text(form), &damaged);
    ASSERT_TRUE(root) << form.Name;
    EXPECT_TRUE(damaged.empty()) << form.Name << ": " << damaged.front();
    EXPECT_EQ(FromReadDocument(root), standard) << form.Name;
    EXPECT_EQ(Names(root), (std::vector<std::string>{"basic_parameters", "Channel_1", "WLAN", "Expert", "Security"}))
        << form.Name;
    EXPECT_EQ(Names(root.FirstChild("Security")).back(), "Web_Setup") << form.Name << ": the menu is no setting";
  }
}

TEST(DumpForms, shouldKeepWhatAUnitSaysOfItselfAndNameItWithoutRefusingIt) {
  const TXmlElement root = ParseDump(Text(Forms()[1]));
  EXPECT_EQ(FindNodePath(root, "basic_parameters/Hardware", false).Text(),
            "KV-200 rev C, 2 serial ports, WLAN 802.11b/g");
  EXPECT_EQ(FindNodePath(root, "WLAN/Country", false).Text(), "Europe (ETSI)");
  EXPECT_EQ(FindNodePath(root, "Expert/Alternate_MAC", false).Text(), "disabled");

  // Saved, loaded and saved again, the file does not change by one byte.
  const std::string saved = root.Document()->SaveToText();
  const PXmlDocument loaded = TXmlDocument::CreateFromText(saved);
  EXPECT_EQ(loaded->SaveToText(), saved);

  std::vector<std::string> unknown, kept;
  FromDocument(loaded->Root(), &unknown, &kept);
  EXPECT_TRUE(unknown.empty()) << unknown.front();
  EXPECT_EQ(kept, (std::vector<std::string>{"Hardware", "Country", "Alternate MAC"}));
  EXPECT_EQ(EntryKind("Channel_1", "Send_plusplusplus_in_Modem_Mode"), TEntryKind::Setting);
  EXPECT_EQ(EntryKind("Expert", "Alternate_MAC"), TEntryKind::DeviceInformation);
  EXPECT_EQ(EntryKind("Expert", "Change_Setup"), TEntryKind::Unknown);
}

namespace {

// What a unit of the given kind prints from its banner up to the root menu, Enter pressed at its
// offer. The device runs on its own clock: no time passes here.
std::string PrintedByUnit(const TSimSettings& state, const TSimProfile& profile) {
  TSimDevice::TOptions options;
  options.Profile = profile;
  options.TakesEarlyEnter = options.TypeAhead = true;
  TSimDevice device(state, options);
  auto now = TSimDevice::TClock::now();
  device.PowerOn(now);
  device.Receive("\r", now);
  for (int steps = 0; steps < 100 && device.Pending().find(MenuPrompt) == std::string::npos; ++steps) {
    const auto next = device.NextDeadline();
    if (!next) break;
    now = std::max(now, *next);
    device.Tick(now);
  }
  return device.Pending();
}

}  // namespace

TEST(DumpForms, everyUnitKindShouldReadAsTheStandardUnitAndSaveUnchanged) {
  const std::vector<std::pair<const char*, TSimSettings>> states = {
      {"defaults", SimDefaults()}, {"high edges", EdgeState(true)}, {"alternating flags", AlternatingFlagsState()}};
  for (const auto& [name, state] : states) {
    for (unsigned seed = 0; seed < 25; ++seed) {
      SCOPED_TRACE(std::string(name) + (seed ? ", random seed " + std::to_string(seed) : ", field"));
      const TSimProfile profile = SimProfileFor(seed ? "random" : "field", seed);
      // The standard unit of the same model: with or without WLAN.
      TSimProfile model = SimProfileFor("standard", 0);
      model.Wlan = profile.Wlan;
      const TDeviceSettings standard = FromReadDocument(ParseDump(PrintedByUnit(state, model)));
      ASSERT_FALSE(standard.Empty()) << name;
      const std::string text = PrintedByUnit(state, profile);
      std::vector<std::string> damaged, unknown, kept;
      const TXmlElement root = ParseDump(text, &damaged);
      ASSERT_TRUE(root) << text;
      EXPECT_TRUE(damaged.empty()) << damaged.front();
      EXPECT_EQ(FromDocument(root, &unknown, &kept), standard) << text;
      EXPECT_TRUE(unknown.empty()) << unknown.front();
      for (const std::string& k : kept) EXPECT_TRUE(k == "Hardware" || k == "Country" || k == "Alternate MAC") << k;
      const std::string saved = root.Document()->SaveToText();
      EXPECT_EQ(TXmlDocument::CreateFromText(saved)->SaveToText(), saved);
    }
  }
}
