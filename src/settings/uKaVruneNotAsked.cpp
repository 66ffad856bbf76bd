#include "uKaVruneNotAsked.h"

#include <algorithm>

#include "uKaVruneCodecs.h"
#include "uKaVruneModelText.h"

TSettingChanges TakeNotAsked(TSettingChanges& changes, const TSettingKeys& notAsked) {
  TSettingChanges taken;
  std::erase_if(changes, [&](const TSettingChange& c) {
    const bool missing =
        std::find(notAsked.begin(), notAsked.end(), std::pair(c.Row->Section, c.Row->PromptKey)) != notAsked.end();
    if (missing) taken.push_back(c);
    return missing;
  });
  return taken;
}

TSettingChanges TakeNotOnUnit(TSettingChanges& changes, const std::vector<std::string>& sectionsOffered) {
  TSettingChanges taken;
  std::erase_if(changes, [&](const TSettingChange& c) {
    const bool missing =
        std::find(sectionsOffered.begin(), sectionsOffered.end(), c.Row->Section) == sectionsOffered.end();
    if (missing) taken.push_back(c);
    return missing;
  });
  return taken;
}

std::vector<std::string> NotOnUnitLines(const TSettingChanges& notOnUnit, bool beforehand) {
  static const std::pair<const char*, const char*> menus[] = {
      {"basic_parameters", "server"}, {"Expert", "expert"}, {"Channel_1", "Channel 1"},
      {"Channel_2", "Channel 2"},     {"WLAN", "WLAN"},     {"Security", "security"}};
  std::vector<std::string> lines;
  for (const auto& [section, menu] : menus) {
    std::string names;
    size_t count = 0;
    for (const TSettingChange& c : notOnUnit)
      if (c.Row->Section == section) {
        names += (names.empty() ? "" : ", ") + c.Row->Name;
        ++count;
      }
    if (count == 0) continue;
    const char* verb = beforehand ? " would not be written" : count == 1 ? " was not written" : " were not written";
    lines.push_back(std::string("this unit has no ") + menu + " menu: " + names + verb);
  }
  return lines;
}

std::string ModeWords(const std::string& section, const TDeviceSettings& device) {
  auto shown = [&](const char* key) -> std::string {
    const TSettingRow* row = FindSettingRow(section, key);
    const std::string* value = row ? device.Find(*row) : nullptr;
    return value ? DumpText(*row, *value) : std::string("not shown");
  };
  auto onOff = [&](const char* key) -> std::string {
    const TSettingRow* row = FindSettingRow(section, key);
    const std::string* value = row ? device.Find(*row) : nullptr;
    return value ? (*value == "Y" ? "on" : "off") : std::string("not shown");
  };
  if (section.rfind("Channel_", 0) == 0) {
    const TSettingRow* connect = FindSettingRow(section, "ConnectMode");
    const std::string* mode = connect ? device.Find(*connect) : nullptr;
    const bool udp = mode && IsUdpConnectMode(static_cast<uint8_t>(settings_text::Hex(*mode, 2).value_or(0)));
    return "connect mode " + shown("ConnectMode") +
           (udp ? ", datagram type " + shown("Datagram_Type") : ", disconnect mode " + shown("DisConnMode"));
  }
  if (section == "WLAN") return "security suite " + shown("Security_suite") + ", topology " + shown("Topology");
  if (section == "Security")
    return "encryption " + onOff("Enable_Encryption") + ", enhanced password " + onOff("Enable_Enhanced_Password");
  return {};
}

std::vector<std::string> NotAskedLines(const TSettingChanges& notAsked, const TDeviceSettings& device) {
  std::vector<std::string> lines;
  if (notAsked.empty()) return lines;
  lines.push_back("Not written, because the device did not ask for " +
                  std::string(notAsked.size() == 1 ? "it" : "them") + " in its present mode:");
  for (const TSettingChange& c : notAsked) {
    const std::string mode = ModeWords(c.Row->Section, device);
    lines.push_back("  " + c.Row->Name + (mode.empty() ? std::string() : " (" + mode + ")"));
  }
  return lines;
}

bool ExpectedToBeAsked(const TSettingChange& change, const TDeviceSettings& current, const TDeviceSettings& wanted) {
  TSectionValues state;
  const std::string& section = change.Row->Section;
  if (const auto s = current.Sections().find(section); s != current.Sections().end()) state = s->second;
  if (const auto s = wanted.Sections().find(section); s != wanted.Sections().end())
    for (const auto& [k, v] : s->second) state[k] = v;
  return settings_text::Asked(*change.Row, state);
}
