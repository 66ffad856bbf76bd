#include "uKaVruneUnitWords.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "uKaVruneIdentity.h"
#include "uKaVruneUtils.h"
#include "uTextUtils.h"

std::string LastLine(const std::string& text) {
  const size_t p = text.find_last_of("\r\n");
  return p == std::string::npos ? text : text.substr(p + 1);
}

bool AtRootPrompt(const std::string& text) { return Contains(LastLine(text), MenuPrompt); }

std::string PromptValue(const std::string& line) {
  const size_t close = line.rfind(')');
  if (close == std::string::npos) return {};
  const size_t open = line.rfind('(', close);
  if (open == std::string::npos) return {};
  return line.substr(open + 1, close - open - 1);
}

bool IsAddressPartPrompt(const std::string& line) {
  const size_t first = line.find_first_not_of(' ');
  if (first == std::string::npos || line[first] != '.') return false;
  const std::string rest = line.substr(first + 1);
  const size_t close = rest.find(')');
  if (rest.empty() || rest[0] != '(' || close == std::string::npos || close < 2) return false;
  for (size_t i = 1; i < close; ++i)
    if (rest[i] < '0' || rest[i] > '9') return false;
  return rest.find_first_not_of(' ', close + 1) == std::string::npos;
}

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// "press" then "enter", "return" or "<cr>", then "setup", in that order within one line.
bool OfferLine(const std::string& line) {
  const std::string l = Lower(line);
  const size_t press = l.find("press");
  if (press == std::string::npos) return false;
  size_t key = std::string::npos;
  for (const char* word : {"enter", "return", "<cr>"}) key = std::min(key, l.find(word, press + 5));
  return key != std::string::npos && l.find("setup", key) != std::string::npos;
}

}  // namespace

bool EndsAtMenuHeading(const std::string& text) {
  const size_t colon = text.find_last_not_of(' ');
  if (colon == std::string::npos || text[colon] != ':') return false;
  const size_t begin = text.find_last_of("\r\n", colon);
  if (begin == std::string::npos) return false;  // a line of its own: its start is in the text
  // A heading holds no value: no other colon, no parentheses, no question mark.
  const std::string words = Lower(text.substr(begin + 1, colon - begin - 1));
  if (Trim(words).empty() || words.find_first_of(":()?") != std::string::npos) return false;
  for (const char* name : {"menu", "setup", "configuration", "settings"})
    if (Contains(words, name)) return true;
  return false;
}

bool OffersSetupMode(const std::string& text) {
  const size_t last = text.find_last_not_of("\r\n \t");
  if (last == std::string::npos) return false;
  const size_t begin = text.find_last_of("\r\n", last);
  return OfferLine(
      text.substr(begin == std::string::npos ? 0 : begin + 1, last - (begin == std::string::npos ? 0 : begin + 1) + 1));
}

namespace {
// The start of the first line that begins at or after from: the rest of a line already acted on
// is not looked at again.
size_t WholeLineFrom(const std::string& text, size_t from) {
  if (from == 0 || from > text.size() || text[from - 1] == '\r' || text[from - 1] == '\n') return from;
  const size_t end = text.find_first_of("\r\n", from);
  return end == std::string::npos ? std::string::npos : end + 1;
}
}  // namespace

size_t FindSetupOffer(const std::string& text, size_t from) {
  size_t start = WholeLineFrom(text, from);
  while (start < text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    if (OfferLine(text.substr(start, end == std::string::npos ? std::string::npos : end - start))) return start;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return std::string::npos;
}

bool ShowsRestart(const std::string& text) {
  return FindSetupOffer(text) != std::string::npos || FindBanner(text) != std::string::npos;
}

size_t FindBanner(const std::string& text, size_t from) {
  size_t start = WholeLineFrom(text, from);
  while (start < text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) break;  // a line not yet ended may still turn into a question
    const std::string line = text.substr(start, end - start);
    const size_t heading = text.rfind(DumpHeading, start);
    const bool inDump = heading != std::string::npos && text.find(MenuPrompt, heading) > start;
    if (!inDump && line.find('?') == std::string::npos) {
      const TDeviceIdentity identity = IdentityOfLine(line);
      if (!identity.Mac.empty() || !identity.Firmware.empty()) return start;
    }
    start = end + 1;
  }
  return std::string::npos;
}

size_t FindLastBanner(const std::string& text) {
  size_t last = std::string::npos;
  for (size_t at = FindBanner(text); at != std::string::npos; at = FindBanner(text, at + 1)) last = at;
  return last;
}

size_t FindLastSetupOffer(const std::string& text) {
  size_t last = std::string::npos;
  for (size_t at = FindSetupOffer(text); at != std::string::npos; at = FindSetupOffer(text, at + 1)) last = at;
  return last;
}

// In any letter case: units of the family differ in how they write it.
size_t FindStoreConfirmation(const std::string& text) { return Lower(text).rfind("parameters stored"); }

bool SaysStored(const std::string& text) { return FindStoreConfirmation(text) != std::string::npos; }

// On a line of their own, never as the root menu's entry ("8 Exit without save"): a unit that
// answers its exit key with its menu again is still in Setup Mode.
bool SaysLeftWithoutSaving(const std::string& text) {
  for (size_t start = 0;;) {
    const size_t end = text.find_first_of("\r\n", start);
    const std::string line = Trim(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    const size_t digits = line.find_first_not_of("0123456789");
    const bool entry = digits != 0 && digits != std::string::npos && Contains(" \t.:-)", line.substr(digits, 1));
    if (!entry && Contains(Lower(line), "without save")) return true;
    if (end == std::string::npos) return false;
    start = end + 1;
  }
}

TMenuMap TMenuMap::FromRootMenu(const std::string& text) {
  TMenuMap map;
  const size_t prompt = text.rfind(MenuPrompt);
  if (prompt == std::string::npos) return map;
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < prompt; ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  lines.push_back(line);
  // Upwards from the prompt, over blank lines: the numbered entries; the first other line (a
  // heading, the dump) ends the menu.
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    const std::string l = Trim(*it);
    if (l.empty()) continue;  // CR LF, LF CR and blank lines alike
    const size_t digits = l.find_first_not_of("0123456789");
    if (digits == 0 || digits == std::string::npos) break;
    std::string label = l.substr(digits);
    const size_t first = label.find_first_not_of(" \t.:-)");
    if (first == 0 || first == std::string::npos) break;
    label = label.substr(first);
    const std::string key = l.substr(0, digits), words = Lower(label);
    std::optional<TMenuEntry> entry;
    if (Contains(words, "without")) entry = TMenuEntry::ExitWithoutSave;
    else if (Contains(words, "save") || Contains(words, "store")) entry = TMenuEntry::SaveAndExit;
    else if (Contains(words, "default")) entry = TMenuEntry::Defaults;
    else if (Contains(words, "channel 1") || Contains(words, "channel1")) entry = TMenuEntry::Channel1;
    else if (Contains(words, "channel 2") || Contains(words, "channel2")) entry = TMenuEntry::Channel2;
    else if (Contains(words, "wlan") || Contains(words, "wireless")) entry = TMenuEntry::Wlan;
    else if (Contains(words, "expert")) entry = TMenuEntry::Expert;
    else if (Contains(words, "security")) entry = TMenuEntry::Security;
    else if (Contains(words, "server")) entry = TMenuEntry::Server;
    // The first line upwards is the newest: an entry named twice keeps its lower line.
    if (entry && !map.keys_.count(*entry)) map.keys_[*entry] = {key, label};
  }
  return map;
}

std::string UsualLabel(TMenuEntry entry) {
  switch (entry) {
    case TMenuEntry::Defaults: return "Factory defaults";
    case TMenuEntry::ExitWithoutSave: return "Exit without save";
    case TMenuEntry::SaveAndExit: return "Save and exit";
    default: return {};  // the sections' entries: their section names them
  }
}

std::string TMenuMap::Key(TMenuEntry entry) const {
  const auto it = keys_.find(entry);
  return it == keys_.end() ? std::string() : it->second.first;
}

std::string TMenuMap::Label(TMenuEntry entry) const {
  const auto it = keys_.find(entry);
  return it == keys_.end() ? std::string() : it->second.second;
}

namespace {
const std::pair<const char*, TMenuEntry> SectionMenus[] = {
    {"basic_parameters", TMenuEntry::Server}, {"Channel_1", TMenuEntry::Channel1},
    {"Channel_2", TMenuEntry::Channel2},      {"WLAN", TMenuEntry::Wlan},
    {"Expert", TMenuEntry::Expert},           {"Security", TMenuEntry::Security}};
}  // namespace

std::vector<std::string> TMenuMap::SectionsOffered() const {
  std::vector<std::string> sections;
  for (const auto& [name, e] : SectionMenus)
    if (Has(e)) sections.emplace_back(name);
  return sections;
}

bool TMenuMap::EntryOfSection(const std::string& section, TMenuEntry& entry) {
  for (const auto& [name, e] : SectionMenus)
    if (section == name) {
      entry = e;
      return true;
    }
  return false;
}
