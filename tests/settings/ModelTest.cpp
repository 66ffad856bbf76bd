// The settings table against the simulator's own description of the device: the values read out of
// its dump, both document forms, the differences an apply sends and the checks around it.

#include <gtest/gtest.h>

#include <map>
#include <numeric>

#include "SimStates.h"
#include "uKaVruneApply.h"
#include "uKaVruneModel.h"
#include "uKaVruneNotAsked.h"

namespace {

struct NamedState {
  const char* Name;
  TSimSettings State;
};

std::vector<NamedState> States() {
  return {{"defaults", SimDefaults()},
          {"low edges", EdgeState(false)},
          {"high edges", EdgeState(true)},
          {"alternating flags", AlternatingFlagsState()}};
}

PXmlDocument NewDocument() { return TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText); }

TDeviceSettings ReadOf(const TSimSettings& s) { return FromReadDocument(DumpDocument(s)->Root()); }

}  // namespace

TEST(SettingsModel, shouldReadFromTheDumpWhatTheDeviceHoldsAtEveryEdge) {
  for (const auto& [name, state] : States()) {
    const TDeviceSettings read = ReadOf(state);
    int compared = 0;
    for (const TSettingRow& row : SettingRows()) {
      const std::string* value = read.Find(row);
      if (!value) continue;
      const std::string key = row.Writable() ? row.PromptKey : row.ReadKey;
      EXPECT_EQ(*value, state.Get(row.Section, key)) << name << ": " << row.Section << "/" << key;
      ++compared;
    }
    EXPECT_GT(compared, 60) << name;
  }
  EXPECT_EQ(*ReadOf(EdgeState(false)).Find("basic_parameters", "Enter_new_DHCP_device_Name"), "")
      << "\"not set\" is the device's word for no name";
}

TEST(SettingsModel, shouldLoadItsReadFormBackUnchanged) {
  for (const auto& [name, state] : States()) {
    const TDeviceSettings read = ReadOf(state);
    const PXmlDocument doc = NewDocument();
    ToReadDocument(read, doc->Root());
    std::vector<std::string> unknown;
    EXPECT_EQ(FromDocument(TXmlDocument::CreateFromText(doc->SaveToText())->Root(), &unknown), read) << name;
    EXPECT_TRUE(unknown.empty()) << name << ": " << unknown.front();
  }
  // A file may give only one of the settings that share a dump line; the line still goes out.
  TDeviceSettings partial;
  partial.Set("Channel_1", "Remote_Port", "5000");
  partial.Set("Channel_2", "SendChar_2", "D");
  partial.Set("Channel_2", "DisConnTime", "1:30");
  const PXmlDocument doc = NewDocument();
  ToReadDocument(partial, doc->Root());
  EXPECT_EQ(FromDocument(TXmlDocument::CreateFromText(doc->SaveToText())->Root()), partial) << doc->SaveToText();
}

TEST(SettingsModel, shouldSendNothingForAnUnchangedStateAndExactlyAnEdit) {
  for (const auto& [name, state] : States()) {
    const TDeviceSettings read = ReadOf(state);
    EXPECT_TRUE(Diff(read, read).empty()) << name;

    TDeviceSettings edited = read;
    edited.Set("Expert", "ARP_Cache_timeout_in_s", "599");
    edited.Set("basic_parameters", "Enter_new_DHCP_device_Name", "lab");
    const TSettingChanges changes = Diff(read, edited);
    ASSERT_EQ(changes.size(), 2u) << name;
    const PXmlDocument doc = TXmlDocument::CreateFromText("<xml/>");
    ToWriteDocument(changes, doc->Root());
    EXPECT_EQ(doc->Root().ChildCount(), 2) << "only the sections that change";
    EXPECT_EQ(FindNodePath(doc->Root(), "basic_parameters/Change_DHCP_device_name", false).Text(), "Y");
    EXPECT_EQ(FindNodePath(doc->Root(), "basic_parameters/Enter_new_DHCP_device_Name", false).Text(), "lab");
    EXPECT_EQ(FindNodePath(doc->Root(), "Expert/ARP_Cache_timeout_in_s", false).Text(), "599");
    EXPECT_EQ(FindNodePath(doc->Root(), "Expert", false).ChildCount(), 1);
  }
}

// Whether the device asks is the device's to say: a change its mode will likely not ask for stays
// a change (the walk reports it as not written), and the table only predicts it for a dry run.
TEST(SettingsModel, shouldKeepChangesTheDeviceMayNotAskForAndOnlyPredictThem) {
  const TDeviceSettings device = ReadOf(SimDefaults());
  TDeviceSettings wanted = device;
  wanted.Set("Channel_1", "Terminal_name", "t1");  // asked only with COM-port control in the disconnect mode
  TSettingChanges changes = Diff(device, wanted);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_FALSE(ExpectedToBeAsked(changes[0], device, wanted));
  wanted.Set("Channel_1", "DisConnMode", "40");
  changes = Diff(device, wanted);
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0].Row->PromptKey, "DisConnMode");
  EXPECT_TRUE(ExpectedToBeAsked(changes[1], device, wanted));
}

// The prediction of a dry run asks the device's own rule: over every disconnect mode of a TCP and
// a UDP channel, the terminal name and the connection password are expected exactly where the
// device asks for them (the password with bit 10h, the name with bit 40h).
TEST(SettingsModel, shouldExpectAChannelsNameAndPasswordExactlyWhereTheDeviceAsksThem) {
  const TDeviceSettings device = ReadOf(SimDefaults());
  std::string wrong;
  for (const char* connect : {"C0", "CC"})
    for (int mode = 0; mode < 256; ++mode)
      for (const char* key : {"Terminal_name", "Password"}) {
        TSimSection channel = SimDefaults().Sections.at("Channel_1");
        channel["ConnectMode"] = connect;
        channel["DisConnMode"] = SimHexByte(mode);
        TDeviceSettings wanted = device;
        for (const char* k : {"ConnectMode", "DisConnMode"}) wanted.Set("Channel_1", k, channel[k]);
        wanted.Set("Channel_1", key, "x");
        bool asked = false;
        for (const TSimSettingDef& def : SimSettingDefs())
          if (def.Group == TSimGroup::Channel && def.Key == std::string(key)) asked = def.Asked(channel, {});
        int found = 0;
        for (const TSettingChange& c : Diff(device, wanted))
          if (c.Row->PromptKey == key && ++found && ExpectedToBeAsked(c, device, wanted) != asked)
            wrong += std::string(" ") + key + (asked ? "" : " not") + " asked with " + connect + "/" +
                     channel["DisConnMode"];
        EXPECT_EQ(found, 1) << key;
      }
  EXPECT_EQ(wrong, "") << "the device's rule and the prediction differ";
}

TEST(SettingsModel, shouldTakeWriteDocumentsAndOlderFilesAndNameUnknownKeys) {
  std::vector<std::string> unknown;
  const auto doc = TXmlDocument::CreateFromText(
      "<kaVrune><Expert><MTU_Size>200</MTU_Size><CPU_performance>2</CPU_performance>"
      "<TCP_Keepalive_time_in_s>0</TCP_Keepalive_time_in_s></Expert>"
      "<Channel_1><IF_Mode>4C</IF_Mode><I_F_Mode>4D</I_F_Mode><Port>7</Port><Port_No>8</Port_No></Channel_1>"
      "<Security><Disable_SNMP>Y</Disable_SNMP><Change_Key>N</Change_Key><Enter_Key>00</Enter_Key><Frob>1</Frob>"
      "</Security><Gadgets/></kaVrune>");
  const TDeviceSettings s = FromDocument(doc->Root(), &unknown);
  EXPECT_EQ(*s.Find("Expert", "MTU_Size"), "200") << "taken as given; the range is checked before sending";
  EXPECT_EQ(*s.Find("Expert", "CPU_performance"), "2");
  EXPECT_EQ(*s.Find("Expert", "TCP_Keepalive_time_in_s"), "0");
  EXPECT_EQ(*s.Find("Channel_1", "I_F_Mode"), "4D") << "the prompt key wins over the read form";
  EXPECT_EQ(*s.Find("Channel_1", "Port_No"), "8");
  EXPECT_EQ(*s.Find("Security", "Disable_SNMP"), "Y");
  EXPECT_EQ(s.Find("Security", "Enter_Key"), nullptr) << "a key not to be changed is no value";
  EXPECT_EQ(unknown, (std::vector<std::string>{"Security/Frob", "Gadgets"}));
}

TEST(SettingsModel, shouldRefuseBeforeSendingWhatTheDeviceCannotTake) {
  const TDeviceSettings device = ReadOf(SimDefaults());
  const std::vector<std::tuple<const char*, const char*, const char*, bool>> cases = {
      {"Expert", "MTU_Size", "200", false},
      {"Expert", "MTU_Size", "512", true},
      {"Expert", "ARP_Cache_timeout_in_s", "600", true},
      {"Expert", "ARP_Cache_timeout_in_s", "0", false},
      {"Expert", "TCP_Keepalive_time_in_s", "0", true},
      {"Expert", "TCP_Keepalive_time_in_s", "66", false},
      {"Expert", "Ethernet_connection_type", "1", false},
      {"Channel_1", "Baudrate", "12345", false},
      {"WLAN", "Network_name", "B\xC3\xBCro-\xC5\xBDilina", true},
      {"WLAN", "Network_name", "\xE6\x97\xA5", false},
      {"WLAN", "Network_name", "a\tb", false},
      {"basic_parameters", "Netmask", "255.0.255.0", false},
      {"basic_parameters", "Enter_new_DHCP_device_Name", "sixteen-chars-xx", false},
      {"Channel_1", "DisConnTime", "24:0", false},
      {"Expert", "HTTP_Port_Number", "http", false},
  };
  for (const auto& [section, key, value, fine] : cases) {
    TDeviceSettings wanted = device;
    wanted.Set(section, key, value);
    const auto faults = CheckBeforeWrite(Diff(device, wanted));
    EXPECT_EQ(faults.empty(), fine) << key << " = " << value << (faults.empty() ? "" : ": " + faults[0]);
  }
}

// The verdict names every setting of the plan once: written and shown, written where no read
// shows it, not taken, no longer shown, not asked, not on the unit, or stored and not checked.
TEST(SettingsModel, shouldGiveEverySettingOfAnApplyItsOwnVerdict) {
  const TDeviceSettings device = ReadOf(SimDefaults());
  TDeviceSettings wanted = device;
  wanted.Set("Expert", "MTU_Size", "1000");
  wanted.Set("Expert", "HTTP_Port_Number", "8090");
  wanted.Set("basic_parameters", "Enter_new_Password", "secret");
  wanted.Set("Channel_1", "Terminal_name", "t1");
  wanted.Set("Channel_2", "Baudrate", "19200");
  wanted.Set("WLAN", "Network_name", "lab");
  TCheckedApply apply(device, wanted, {"basic_parameters", "Expert", "Channel_1", "Channel_2", "Security"});
  ASSERT_EQ(apply.Changes().size(), 5u);
  ASSERT_EQ(apply.NotOnUnit().size(), 1u);
  const auto request = TXmlDocument::CreateFromText("<xml/>");
  apply.Request(request->Root());
  EXPECT_FALSE(request->Root().FirstChild("WLAN")) << "no menu the unit lacks is walked";

  TDeviceSettings after = wanted;
  EXPECT_FALSE(apply.Stored({}, after, "COM1").Clean()) << "the WLAN setting was not written";
  after.Set("Expert", "MTU_Size", "1400");
  after.Erase(*FindSettingRow("Channel_2", "Baudrate"));
  const TApplyVerdict v = apply.Stored({{"Channel_1", "Terminal_name"}}, after, "COM1");
  std::map<std::string, TSettingVerdict> by;
  for (const TSettingOutcome& s : v.Settings) by[SettingName(*s.Change.Row)] = s.Verdict;
  EXPECT_EQ(by, (std::map<std::string, TSettingVerdict>{
                    {"basic_parameters.Enter_new_Password", TSettingVerdict::Unconfirmable},
                    {"Expert.HTTP_Port_Number", TSettingVerdict::Confirmed},
                    {"Expert.MTU_Size", TSettingVerdict::NotTaken},
                    {"Channel_1.Terminal_name", TSettingVerdict::NotAsked},
                    {"Channel_2.Baudrate", TSettingVerdict::NotTaken},
                    {"WLAN.Network_name", TSettingVerdict::NotOnUnit}}));
  const std::vector<std::string> lines = v.Lines(after);
  const std::string text = std::accumulate(lines.begin(), lines.end(), std::string(),
                                           [](std::string a, const std::string& l) { return a + l + "\n"; });
  EXPECT_EQ(lines[0], "The device did not take 2 of the 4 settings written:");
  EXPECT_NE(text.find("  MTU size (Expert.MTU_Size): asked \"1000\", the device holds \"1400\""), std::string::npos);
  EXPECT_NE(text.find("holds no value it shows"), std::string::npos);
  EXPECT_NE(text.find("telnet configuration password (basic_parameters.Enter_new_Password) was sent"),
            std::string::npos);
  EXPECT_NE(text.find("channel 1 terminal name (connect mode C0, disconnect mode 00)"), std::string::npos);
  EXPECT_NE(text.find("this unit has no WLAN menu: WLAN network name (SSID) was not written"), std::string::npos) << text;
  EXPECT_EQ(text.find("secret"), std::string::npos) << "no secret in a message";

  for (const TSettingOutcome& s : apply.StoredNotChecked({}, "COM1").Settings)
    EXPECT_EQ(s.Verdict, s.Change.Row->Section == "WLAN" ? TSettingVerdict::NotOnUnit : TSettingVerdict::StoredNotChecked);
  const TApplyVerdict nothing = apply.NothingStored();
  EXPECT_FALSE(nothing.Clean());
  EXPECT_EQ(nothing.Of(TSettingVerdict::NotWritten).size(), 5u);
}

TEST(SettingsModel, shouldTakeEveryPairOfFlagWordsInAnyLetterCase) {
  const TSettingRow& row = *FindSettingRow("Channel_1", "Send_______in_Modem_Mode");
  for (const char* on : {"enabled", "Y", "yes", "TRUE", "1", "On"}) EXPECT_EQ(ParseSettingValue(row, on), "Y") << on;
  for (const char* off : {"DISABLED", "n", "No", "false", "0", "off"})
    EXPECT_EQ(ParseSettingValue(row, off), "N") << off;
  for (const char* neither : {"", "2", "enable", "yes please"})
    EXPECT_FALSE(ParseSettingValue(row, neither)) << neither;
}

// The simulator keeps its own table of what the device takes: the two views must agree at both
// ends of every number, one inside and one outside.
TEST(SettingsModel, shouldRefuseTheValueOnePastEachBoundAsTheDeviceDoes) {
  auto group = [](const std::string& section) {
    if (section == "basic_parameters") return TSimGroup::Basic;
    if (section.rfind("Channel_", 0) == 0) return TSimGroup::Channel;
    if (section == "WLAN") return TSimGroup::WLAN;
    if (section == "Expert") return TSimGroup::Expert;
    return TSimGroup::Security;
  };
  const TSimSettings device = SimDefaults();
  int compared = 0;
  for (const TSettingRow& row : SettingRows()) {
    if (row.Kind != TSettingKind::Number || !row.Writable()) continue;
    const auto def = std::find_if(SimSettingDefs().begin(), SimSettingDefs().end(), [&](const TSimSettingDef& d) {
      return d.Group == group(row.Section) && row.PromptKey == d.Key;
    });
    ASSERT_NE(def, SimSettingDefs().end()) << row.Name;
    ASSERT_TRUE(def->Accepts) << row.Name << ": the simulator takes any number";
    std::vector<long> values;
    if (row.DeviceRange)
      values = {row.DeviceRange->Min - 1, row.DeviceRange->Min, row.DeviceRange->Max, row.DeviceRange->Max + 1};
    for (long a : row.Allowed) values.insert(values.end(), {a - 1, a, a + 1});
    const TSimSection section = device.Sections.at(row.Section);
    for (long v : values) {
      EXPECT_EQ(!CheckValue(row, std::to_string(v)), def->Accepts(v, section)) << row.Name << " = " << v;
      ++compared;
    }
  }
  EXPECT_GT(compared, 40);
}

TEST(SettingsModel, shouldKeepWhatADevicePrintedButRefuseWhatAPersonMistyped) {
  const std::string sections =
      "<basic_parameters><IP_addr>10.0.0.1</IP_addr><Hardware>KV-200</Hardware></basic_parameters>"
      "<WLAN><Country>Europe</Country><TX_Data_rate>48 Mbps fixed</TX_Data_rate></WLAN>"
      "<Security><Change_Setup/><SNMP>ON</SNMP></Security><Gadgets/>";
  std::vector<std::string> unknown, kept;
  TDeviceSettings read =
      FromDocument(TXmlDocument::CreateFromText("<kaVrune>" + sections + "</kaVrune>")->Root(), &unknown, &kept);
  EXPECT_TRUE(unknown.empty()) << unknown.front();
  EXPECT_EQ(kept, (std::vector<std::string>{"WLAN TX data rate (\"48 Mbps fixed\")", "Hardware", "Country",
                                            "Change Setup (Security)", "Gadgets"}));
  EXPECT_EQ(*read.Find("Security", "Disable_SNMP"), "N");

  unknown.clear(), kept.clear();
  FromDocument(TXmlDocument::CreateFromText("<xml>" + sections + "</xml>")->Root(), &unknown, &kept);
  EXPECT_EQ(kept, (std::vector<std::string>{"Hardware", "Country"})) << "what a unit says of itself is never written";
  EXPECT_EQ(unknown.size(), 3u) << "a file a person wrote: a key the tool does not know is a typo";
}
