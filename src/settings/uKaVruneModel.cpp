// Values out of a document of either form, the read form of a state, the differences between two
// states with their write document, and the checks before and after a write.

#include "uKaVruneModel.h"
#include "uKaVruneModelText.h"

#include <map>
#include <set>

using namespace settings_text;
using K = TSettingKind;

// --- values --------------------------------------------------------------------------------------

std::optional<bool> FlagWord(const std::string& text) {
  const std::string t = Lower(Trim(text));
  for (const char* on : {"enabled", "y", "yes", "true", "1", "on"})
    if (t == on) return true;
  for (const char* off : {"disabled", "n", "no", "false", "0", "off"})
    if (t == off) return false;
  return std::nullopt;
}

// --- names -----------------------------------------------------------------------------------------

const std::string& SettingKeyName(const TSettingRow& row) {
  static const std::map<const TSettingRow*, std::string> names = [] {
    std::map<const TSettingRow*, std::string> n;
    for (const TSettingRow& r : SettingRows()) {
      const auto sharing = std::count_if(SettingRows().begin(), SettingRows().end(), [&](const TSettingRow& o) {
        return o.Section == r.Section && o.ReadKey == r.ReadKey;
      });
      n[&r] = r.Readable() && sharing == 1 ? r.ReadKey : r.Key();
    }
    return n;
  }();
  return names.at(&row);
}

std::string SettingName(const TSettingRow& row) { return row.Section + "." + SettingKeyName(row); }

std::string SettingWords(const TSettingRow& row) { return row.Name + " (" + SettingName(row) + ")"; }

std::pair<std::string, std::string> SettingLanguageKey(const TSettingRow& row) {
  if (row.Section.rfind("Channel_", 0) == 0) return {"Setting_Channel_" + SettingKeyName(row), row.Section.substr(8)};
  return {"Setting_" + row.Section + "_" + SettingKeyName(row), ""};
}

namespace {

// Lines a device prints about itself, in whichever section it prints them.
const std::vector<std::pair<std::string, std::string>>& DeviceInformationKeys() {
  static const std::vector<std::pair<std::string, std::string>> keys = {{"MAC_address", "MAC address"},
                                                                        {"Alternate_MAC", "Alternate MAC"},
                                                                        {"Software_version", "Software version"},
                                                                        {"Firmware_version", "Firmware version"},
                                                                        {"Firmware", "Firmware"},
                                                                        {"Hardware", "Hardware"},
                                                                        {"Country", "Country"}};
  return keys;
}

const std::string* DeviceInformationName(const std::string& key) {
  for (const auto& [k, name] : DeviceInformationKeys())
    if (Lower(k) == Lower(key)) return &name;
  return nullptr;
}

bool KnownSection(const std::string& name) {
  return std::find(DumpSections().begin(), DumpSections().end(), name) != DumpSections().end();
}

bool KnownKey(const std::string& section, const std::string& key) {
  if (IsCompanionKey(section, key)) return true;
  for (const TSettingRow& r : SettingRows())
    if (r.Section == section && (r.ReadKey == key || r.PromptKey == key ||
                                 std::find(r.OtherKeys.begin(), r.OtherKeys.end(), key) != r.OtherKeys.end()))
      return true;
  return false;
}

// "Channel_1" as "Channel 1": a name in a list for people.
std::string Plain(const std::string& name) { return ReplaceAll(name, "_", " "); }

}  // namespace

TEntryKind EntryKind(const std::string& section, const std::string& key) {
  if (DeviceInformationName(key)) return TEntryKind::DeviceInformation;
  return KnownSection(section) && KnownKey(section, key) ? TEntryKind::Setting : TEntryKind::Unknown;
}

std::optional<std::string> ParseSettingValue(const TSettingRow& row, const std::string& text) {
  const std::string t = Trim(text);
  switch (row.Kind) {
    case K::Number: {
      std::string digits = t;
      // The dump prints times with their unit ("45s").
      if (!row.Unit.empty() && digits.size() > row.Unit.size() &&
          digits.compare(digits.size() - row.Unit.size(), row.Unit.size(), row.Unit) == 0)
        digits.resize(digits.size() - row.Unit.size());
      const auto v = Decimal(digits);
      return v ? std::optional(std::to_string(*v)) : std::nullopt;
    }
    case K::Choice: return ChoiceOf(t, row.Words);
    case K::Flag: {
      const auto on = FlagWord(t);
      return on ? std::optional<std::string>(*on ? "Y" : "N") : std::nullopt;
    }
    case K::Text:
      if (!row.Placeholder.empty() && t == row.Placeholder) return std::string();
      return text;
    case K::Secret: return text;
    case K::Address: {
      if (!IsIPv4Address(t)) return std::nullopt;
      std::string out, rest = t;
      for (int i = 0; i < 4; ++i) {
        const TSplit s = SplitAt(rest, ".");
        int v = 0;
        TryParseInteger(s.Head, v);
        out += (i ? "." : "") + std::to_string(v);
        rest = s.Tail;
      }
      return out;
    }
    case K::HexByte: {
      const auto v = Hex(t, 2);
      return v ? std::optional(HexByte(static_cast<int>(*v))) : std::nullopt;
    }
    case K::Time: {
      const TSplit s = SplitAt(t, ":");
      const auto m = Decimal(s.Head), sec = Decimal(s.Tail);
      if (!m || !sec) return std::nullopt;
      return std::to_string(*m) + ":" + std::to_string(*sec);
    }
    case K::DataRate: {
      if (Contains(t, "Mbps")) {
        const std::string rate = Trim(t.substr(0, t.find("Mbps") + 4));
        const auto it = std::find(kRates.begin(), kRates.end(), rate);
        if (it == kRates.end()) return std::nullopt;
        return std::to_string(it - kRates.begin()) + ":" + (Contains(t, "auto fallback") ? "1" : "0");
      }
      const TSplit s = SplitAt(t, ":");
      const auto r = Decimal(s.Head), f = Decimal(s.Tail);
      // A rate with no name would be written back as 11 Mbps: it counts as not given.
      if (!r || !f || *r < 0 || *r > 7 || *f < 0 || *f > 1) return std::nullopt;
      return std::to_string(*r) + ":" + std::to_string(*f);
    }
    case K::AddressTable: {
      const std::vector<std::string> tokens = Tokens(t);
      if (tokens.size() > 16) return std::nullopt;
      std::string out;
      for (size_t i = 0; i < 16; ++i) {
        std::optional<long> v = i < tokens.size() ? Decimal(tokens[i]) : std::optional<long>(0);
        if (!v) return std::nullopt;
        out += (i ? " " : "") + std::to_string(*v);
      }
      return out;
    }
  }
  return std::nullopt;
}

std::string DumpText(const TSettingRow& row, const std::string& value) {
  switch (row.Kind) {
    case K::Number: return value + row.Unit;
    case K::Choice: {
      const auto i = Decimal(value);
      if (i && *i >= 0 && *i < static_cast<long>(row.Words.size()) && !row.Words[*i].empty()) return row.Words[*i];
      return value;
    }
    case K::Text: return value.empty() && !row.Placeholder.empty() ? row.Placeholder : value;
    case K::HexByte: return HexByte2(static_cast<uint8_t>(Hex(value, 2).value_or(0)));
    case K::Time: {
      const TSplit s = SplitAt(value, ":");
      return Two(Decimal(s.Head).value_or(0)) + ":" + Two(Decimal(s.Tail).value_or(0));
    }
    case K::DataRate: {
      const TSplit s = SplitAt(value, ":");
      const long r = Decimal(s.Head).value_or(3);
      return (r >= 0 && r < 8 ? kRates[static_cast<size_t>(r)] : kRates[3]) +
             (s.Tail == "1" ? " auto fallback" : " fixed");
    }
    default: return value;
  }
}

// --- documents -----------------------------------------------------------------------------------

namespace {

std::optional<std::string> FromReadSection(const TSettingRow& row, const TXmlElement& section) {
  if (!row.Readable()) return std::nullopt;
  if (row.Extract) return row.Extract(section);
  const auto text = KeyText(section, row.ReadKey);
  return text ? ParseSettingValue(row, *text) : std::nullopt;
}

}  // namespace

TDeviceSettings FromReadDocument(const TXmlElement& root) { return FromDocument(root); }

TDeviceSettings FromDocument(const TXmlElement& root, std::vector<std::string>* unknown,
                             std::vector<std::string>* kept) {
  TDeviceSettings settings;
  if (!root) return settings;
  // What a device printed is kept, not refused: a backup of any unit must restore. A read
  // document begins with the basic parameters as every dump does; a file a person wrote that
  // merely uses read keys is still checked key by key.
  const TXmlElement first = root.Children().empty() ? TXmlElement() : root.Children().front();
  const bool printed =
      kept && root.Name() == "kaVrune" && first && first.Name() == "basic_parameters" && IsReadDocument(root);
  auto keep = [&](const std::string& name) {
    if (kept && std::find(kept->begin(), kept->end(), name) == kept->end()) kept->push_back(name);
  };
  for (const TSettingRow& row : SettingRows()) {
    const TXmlElement section = root.FirstChild(row.Section);
    if (!section) continue;
    std::optional<std::string> text;
    if (row.Writable() && row.PromptKey != row.ReadKey) {
      // A decision answered "N" carries no value: the device keeps its own.
      if (!row.ChangeKey.empty() && FlagWord(KeyText(section, row.ChangeKey).value_or("Y")) == false) continue;
      text = KeyText(section, row.PromptKey);
      for (size_t i = 0; !text && i < row.OtherKeys.size(); ++i) text = KeyText(section, row.OtherKeys[i]);
    }
    std::optional<std::string> value;
    if (text) {
      value = ParseSettingValue(row, *text);
    } else if (row.Readable()) {
      value = FromReadSection(row, section);
      if (!row.Extract) text = KeyText(section, row.ReadKey);
    }
    if (value) settings.Set(row, *value);
    else if (text && printed) keep(row.Name + " (\"" + *text + "\")");
    else if (text && unknown)
      unknown->push_back(row.Section + "/" + (row.Writable() ? row.PromptKey : row.ReadKey) + ": \"" + *text +
                         "\" is not a valid value for " + row.Name);
  }
  if (!unknown && !kept) return settings;
  for (const TXmlElement& section : root.Children()) {
    if (section.Name() == "Unit") {  // what the unit printed about itself besides its dump
      for (const TXmlElement& e : section.Children())
        if (printed) keep(DeviceInformationName(e.Name()) ? *DeviceInformationName(e.Name()) : Plain(e.Name()));
      continue;
    }
    if (!KnownSection(section.Name())) {
      if (printed) keep(section.Name() == ErrorLineMarker ? "an unreadable heading" : Plain(section.Name()));
      else if (unknown) unknown->push_back(section.Name());
      continue;
    }
    std::set<std::string> reported;
    for (const TXmlElement& key : section.Children()) {
      const std::string k = key.Name();
      switch (EntryKind(section.Name(), k)) {
        case TEntryKind::Setting: break;
        case TEntryKind::DeviceInformation: keep(*DeviceInformationName(k)); break;
        case TEntryKind::Unknown:
          if (printed)
            keep(k == ErrorLineMarker ? "an unreadable line (" + Plain(section.Name()) + ")"
                                      : Plain(k) + " (" + Plain(section.Name()) + ")");
          // The broadcast form prints the remote port as a second "Port".
          else if (unknown && reported.insert(k).second) unknown->push_back(section.Name() + "/" + k);
          break;
      }
    }
  }
  return settings;
}

namespace {

// The first of the rows whose values share the dump line of row.
const TSettingRow& LineRow(const TSettingRow& row) {
  for (const TSettingRow& r : SettingRows())
    if (r.Section == row.Section && r.ReadKey == row.ReadKey) return r;
  return row;
}

}  // namespace

void ToReadDocument(const TDeviceSettings& settings, const TXmlElement& root) {
  if (!root) return;
  TXmlElement r = root;
  for (const std::string& name : DumpSections()) {
    const auto values = settings.Sections().find(name);
    if (values == settings.Sections().end()) continue;
    TXmlElement section = r.AppendChild(name);
    std::set<std::string> written;
    for (const TSettingRow& row : SettingRows()) {
      if (row.Section != name || !row.Readable() || !values->second.count(row.Key())) continue;
      if (!written.insert(row.ReadKey).second) continue;
      // A line that carries several settings is composed by its first row, whichever of them
      // is given: a remote port without an address must not lose its line.
      const TSettingRow& line = LineRow(row);
      const std::string text =
          line.Compose ? line.Compose(values->second) : DumpText(row, values->second.at(row.Key()));
      if (row.Key() == "Send_as_Broadcast") {
        if (text.empty()) continue;
        section.AppendChild("Send_as").SetText(text);
        section.AppendChild("Port").SetText(Get(values->second, "Remote_Port"));
        continue;
      }
      section.AppendChild(row.ReadKey).SetText(text);
    }
  }
}

// --- changes -------------------------------------------------------------------------------------

TSettingChanges Diff(const TDeviceSettings& current, const TDeviceSettings& wanted) {
  TSettingChanges changes;
  for (const TSettingRow& row : SettingRows()) {
    const std::string* to = wanted.Find(row);
    // Whether the device will ask for it is for the device to say: a change it does not ask for
    // is reported as not written, never dropped here.
    if (!to || !row.Writable()) continue;
    const std::string* from = current.Find(row);
    if (row.Kind == K::Secret || !from || *from != *to)
      changes.push_back({&row, from ? std::optional(*from) : std::nullopt, *to});
  }
  return changes;
}

void ToWriteDocument(const TSettingChanges& changes, const TXmlElement& root) {
  if (!root) return;
  for (const TSettingChange& c : changes) {
    TXmlElement section = FindNodePath(root, c.Row->Section, true);
    if (!c.Row->ChangeKey.empty()) FindNodePath(section, c.Row->ChangeKey, true).SetText("Y");
    FindNodePath(section, c.Row->PromptKey, true).SetText(c.To);
  }
}

std::vector<std::string> NotCarriedByRestore(const TDeviceSettings& current, const TDeviceSettings& restored) {
  TDeviceSettings changed;
  for (const TSettingRow& row : SettingRows())
    if (const std::string* to = restored.Find(row)) {
      const std::string* from = current.Find(row);
      if (row.Kind == K::Secret || !from || *from != *to) changed.Set(row, *to);
    }
  return NotCarriedByRestore(changed);
}

bool FitsCp1250(const std::string& text) {
  try {
    return Cp1250ToUtf8(Utf8ToCp1250(text)) == text;
  } catch (const std::exception&) {
    return false;
  }
}

std::optional<std::string> CheckValue(const TSettingRow& r, const std::string& value) {
  std::optional<std::string> result;
  auto fault = [&](const std::string& why) {
    // A secret is never repeated in a message.
    result = r.Name + (Confidential(r) ? std::string(" ") : ": \"" + value + "\" ") + why;
  };
  {
    const TSettingChange c{&r, std::nullopt, value};
    if (!ParseSettingValue(r, c.To)) {
      fault("is not a valid value");
      return result;
    }
    switch (r.Kind) {
      case K::Number:
      case K::Choice: {
        const long v = Decimal(c.To).value_or(-1);
        if (!r.Allowed.empty() && std::find(r.Allowed.begin(), r.Allowed.end(), v) == r.Allowed.end()) {
          std::string list;
          for (long a : r.Allowed) list += (list.empty() ? "" : ", ") + std::to_string(a);
          fault("is not one the device takes (" + list + ")");
        } else if (r.DeviceRange && (v < r.DeviceRange->Min || v > r.DeviceRange->Max)) {
          fault("is outside the device's range " + std::to_string(r.DeviceRange->Min) + " to " +
                std::to_string(r.DeviceRange->Max));
        }
        break;
      }
      case K::Text:
      case K::Secret:
        if (!FitsCp1250(c.To)) {
          fault("holds a character that windows-1250, the device's character set, cannot hold");
        } else {
          const std::string bytes = Utf8ToCp1250(c.To);
          if (std::any_of(bytes.begin(), bytes.end(),
                          [](char ch) { return static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F; }))
            fault("holds a control character");
          else if (r.MaxLength && bytes.size() > r.MaxLength)
            fault("is longer than the " + std::to_string(r.MaxLength) + " characters the device takes");
        }
        break;
      case K::Time: {
        const TSplit s = SplitAt(c.To, ":");
        if (Decimal(s.Head).value_or(-1) > 23 || Decimal(s.Tail).value_or(-1) > 59 ||
            Decimal(s.Head).value_or(-1) < 0 || Decimal(s.Tail).value_or(-1) < 0)
          fault("is not a time from 0:0 to 23:59");
        break;
      }
      case K::DataRate: {
        const TSplit s = SplitAt(c.To, ":");
        const long rate = Decimal(s.Head).value_or(-1), fallback = Decimal(s.Tail).value_or(-1);
        if (rate < 0 || rate > 7 || fallback < 0 || fallback > 1) fault("is not a rate 0 to 7 with a fallback 0 or 1");
        break;
      }
      case K::AddressTable:
        for (const std::string& t : Tokens(c.To))
          if (Decimal(t).value_or(-1) < 0 || Decimal(t).value_or(-1) > 255) {
            fault("holds an entry that is not a byte (0 to 255)");
            break;
          }
        break;
      case K::Address:
        if (r.PromptKey == "Netmask") {
          uint32_t m = 0;
          std::string rest = c.To;
          for (int i = 0; i < 4; ++i) {
            const TSplit s = SplitAt(rest, ".");
            m = m * 256 + static_cast<uint32_t>(Decimal(s.Head).value_or(0));
            rest = s.Tail;
          }
          // The device takes the number of host bits: the network part must be all ones.
          if ((~m & (~m + 1)) != 0) fault("is not a netmask (the network part must be all ones)");
        }
        break;
      default: break;
    }
  }
  return result;
}

std::vector<std::string> CheckBeforeWrite(const TSettingChanges& changes) {
  std::vector<std::string> faults;
  for (const TSettingChange& c : changes) {
    if (auto fault = CheckValue(*c.Row, c.To)) faults.push_back(*fault);
    // The unit keeps a text on an empty answer, unless it first asked whether to change it.
    else if (c.To.empty() && c.From && !c.From->empty() && c.Row->Kind == TSettingKind::Text && c.Row->ChangeKey.empty())
      faults.push_back(c.Row->Name + " cannot be made empty: the unit's menu keeps it when given nothing");
  }
  return faults;
}

std::vector<std::string> CheckBeforeWrite(const TDeviceSettings& wanted) {
  std::vector<std::string> faults;
  for (const TSettingRow& row : SettingRows())
    if (const std::string* v = wanted.Find(row); v && row.Writable())
      if (auto fault = CheckValue(row, *v)) faults.push_back(*fault);
  return faults;
}

bool IsReadDocument(const TXmlElement& root) {
  if (!root) return false;
  for (const TXmlElement& section : root.Children())
    for (const TXmlElement& key : section.Children()) {
      const std::string k = key.Name();
      if (IsCompanionKey(section.Name(), k)) return false;
      for (const TSettingRow& r : SettingRows())
        if (r.Section == section.Name() && r.PromptKey == k && r.ReadKey != k) return false;
    }
  return true;
}

std::vector<std::string> TApplyCheck::Lines() const {
  std::vector<std::string> lines;
  const size_t written = Confirmed.size() + NotTaken.size() + Unconfirmable.size();
  auto shown = [](const TSettingRow& r, const std::string& v) {
    return Confidential(r) ? std::string("********") : "\"" + DumpText(r, v) + "\"";
  };
  if (Clean()) {
    lines.push_back(std::to_string(Confirmed.size()) + (Confirmed.size() == 1 ? " setting" : " settings") +
                    " written and confirmed.");
  } else {
    lines.push_back("The device did not take " + std::to_string(NotTaken.size()) + " of the " +
                    std::to_string(written) + " settings written:");
    for (const auto& [c, holds] : NotTaken)
      lines.push_back("  " + SettingWords(*c.Row) + ": asked " + shown(*c.Row, c.To) + ", the device holds " +
                      (holds ? shown(*c.Row, *holds) : std::string("no value it shows")));
  }
  for (const TSettingChange& c : Unconfirmable)
    lines.push_back("  " + SettingWords(*c.Row) + " was sent; the device never shows it, so it cannot be confirmed.");
  return lines;
}

std::vector<std::string> NotCarriedByRestore(const TDeviceSettings& restored) {
  // Each secret with the settings that decide whether the device uses it, by section and key.
  struct TGuarded {
    const char* Section;
    const char* Key;
    std::vector<std::pair<const char*, const char*>> Deciding;
  };
  static const std::vector<TGuarded> guarded = {
      {"basic_parameters", "Enter_new_Password", {{"Security", "Disable_Telnet_Setup"}}},
      {"WLAN", "Enter_Key", {{"WLAN", "Security_suite"}, {"WLAN", "Key_type_0"}, {"WLAN", "TX_Key_index"}}},
      {"Security", "Enter_Key", {{"Security", "Enable_Encryption"}}},
      {"Security", "Enter_Password", {{"Security", "Enable_Enhanced_Password"}}},
  };
  auto held = [&](const char* section, const char* key) {
    const TSettingRow* row = FindSettingRow(section, key);
    return row && restored.Find(*row);
  };
  std::string secrets, email;
  bool keyLength = false;
  for (const TGuarded& g : guarded) {
    if (held(g.Section, g.Key)) continue;
    if (std::none_of(g.Deciding.begin(), g.Deciding.end(), [&](const auto& d) { return held(d.first, d.second); }))
      continue;
    if (const TSettingRow* row = FindSettingRow(g.Section, g.Key)) secrets += (secrets.empty() ? "" : ", ") + row->Name;
    keyLength = keyLength || (std::string(g.Section) == "Security" && std::string(g.Key) == "Enter_Key" &&
                              !held("Security", "Key_length_in_bits"));
  }
  for (const TSettingRow& r : SettingRows())
    if (r.Readable() && !r.Writable() && restored.Find(r)) email += (email.empty() ? "" : ", ") + r.Name;
  std::vector<std::string> lines;
  if (!secrets.empty())
    lines.push_back("Passwords and keys never appear in a dump, so a restore leaves the device's own: " + secrets +
                    (keyLength ? " (and the encryption key length, which the dump does not show either)." : "."));
  if (!email.empty())
    lines.push_back("The tool does not walk the E-mail menu, so a restore leaves these as they are: " + email + ".");
  return lines;
}
