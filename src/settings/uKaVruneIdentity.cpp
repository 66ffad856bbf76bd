#include "uKaVruneIdentity.h"

#include <algorithm>
#include <cctype>

namespace {

// A line longer than any the unit prints about itself is noise; it is not kept whole.
constexpr std::size_t MaxLine = 200;

// The element of a read document named key in any section, and its text.
std::string FindInformation(const TXmlElement& root, const char* key) {
  if (!root) return {};
  for (const TXmlElement& section : root.Children())
    for (const TXmlElement& e : section.Children()) {
      std::string name = e.Name(), wanted = key;
      std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
      std::transform(wanted.begin(), wanted.end(), wanted.begin(), [](unsigned char c) { return std::tolower(c); });
      if (name == wanted) return e.Text();
    }
  return {};
}

}  // namespace

std::string NormalizeMac(const std::string& text) {
  std::string digits;
  char separator = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (std::isxdigit(c)) {
      digits += static_cast<char>(std::toupper(c));
      continue;
    }
    // Separators only between bytes, and all of one kind.
    if ((c != '-' && c != ':') || digits.size() % 2 != 0 || digits.empty()) return {};
    if (separator && separator != c) return {};
    separator = static_cast<char>(c);
  }
  if (digits.size() != 12) return {};
  if (separator && std::count(text.begin(), text.end(), separator) != 5) return {};
  std::string shown;
  for (std::size_t i = 0; i < 12; i += 2) shown += (i ? "-" : "") + digits.substr(i, 2);
  return shown;
}

void AddIdentity(TXmlElement root, const TDeviceIdentity& identity) {
  if (!root || root.FirstChild("Unit")) return;
  const bool mac = !identity.Mac.empty() && NormalizeMac(FindInformation(root, "MAC_address")).empty();
  bool firmware = !identity.Firmware.empty();
  for (const char* key : {"Software_version", "Firmware_version", "Firmware"})
    firmware = firmware && FindInformation(root, key).empty();
  if (!mac && !firmware) return;
  TXmlElement unit = root.AppendChild("Unit");
  if (mac) unit.AppendChild("MAC_address").SetText(identity.Mac);
  if (firmware) unit.AppendChild("Firmware").SetText(identity.Firmware);
}

void TDeviceIdentityScanner::Feed(const std::string& bytes) {
  std::lock_guard g(lock_);
  for (const char c : bytes) {
    if (c == '\r' || c == '\n') {
      TakeLine();
      line_.clear();
    } else if (line_.size() < MaxLine) {
      line_ += c;
    }
  }
}

namespace {

std::string LowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool WordCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// Where the word begins in line (any case, a whole word), from `from` on; npos when nowhere.
std::size_t FindWord(const std::string& lower, const std::string& word, std::size_t from = 0) {
  for (std::size_t at = lower.find(word, from); at != std::string::npos; at = lower.find(word, at + 1)) {
    const bool before = at == 0 || !WordCharacter(lower[at - 1]);
    const bool after = at + word.size() >= lower.size() || !WordCharacter(lower[at + word.size()]);
    if (before && after) return at;
  }
  return std::string::npos;
}

// What follows a label: blanks, ":" or "=", and the words given, skipped.
std::string AfterLabel(const std::string& line, std::size_t end, std::initializer_list<const char*> skipped) {
  std::size_t at = end;
  for (bool more = true; more;) {
    more = false;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t' || line[at] == ':' || line[at] == '=')) ++at;
    for (const char* word : skipped) {
      const std::string w = word;
      if (LowerCase(line.substr(at, w.size())) == w && (at + w.size() >= line.size() || !WordCharacter(line[at + w.size()]))) {
        at += w.size();
        more = true;
      }
    }
  }
  std::string rest = line.substr(std::min(at, line.size()));
  const std::size_t last = rest.find_last_not_of(" \t");
  rest.erase(last == std::string::npos ? 0 : last + 1);
  return rest;
}

std::string FirstToken(const std::string& text) { return text.substr(0, text.find_first_of(" \t,;")); }

// "V6.7.0.2", "6.7.0.2": a version begins with a digit, perhaps after a "V", and has a dot, so
// that a setting's "version 2" is not taken for the unit's.
bool LooksLikeVersion(const std::string& text) {
  const std::size_t digit = !text.empty() && (text[0] == 'V' || text[0] == 'v') ? 1 : 0;
  const std::string token = FirstToken(text);
  return text.size() > digit && std::isdigit(static_cast<unsigned char>(text[digit])) &&
         token.find('.') != std::string::npos;
}

}  // namespace

TDeviceIdentity IdentityOfLine(const std::string& text) {
  TDeviceIdentity identity;
  const std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return identity;
  const std::string line = text.substr(begin);
  const std::string lower = LowerCase(line);
  // The unit's MAC address on any line about itself: "MAC address 0200008F1C2E", "MAC:
  // 02:00:...", "*** kaVRUNE  MAC 02-00-...". An alternate (second) address is never the unit's.
  for (std::size_t at = FindWord(lower, "mac"); at != std::string::npos; at = FindWord(lower, "mac", at + 3)) {
    const std::string before = LowerCase(line.substr(0, at));
    if (FindWord(before, "alternate") != std::string::npos || FindWord(before, "alt") != std::string::npos) break;
    if (std::string mac = NormalizeMac(FirstToken(AfterLabel(line, at + 3, {"address", "addr", "id"}))); !mac.empty()) {
      identity.Mac = std::move(mac);
      break;
    }
  }
  // The version after "Firmware", "Software version", "Version", or a bare "V1.2" on the
  // product's line.
  for (const char* label : {"firmware", "software", "version"}) {
    const std::size_t at = FindWord(lower, label);
    if (at == std::string::npos) continue;
    const std::string rest = AfterLabel(line, at + std::string(label).size(), {"version", "release"});
    if (LooksLikeVersion(rest)) {
      identity.Firmware = rest;
      return identity;
    }
  }
  if (FindWord(lower, "kavrune") != std::string::npos)
    for (std::size_t at = lower.find('v'); at != std::string::npos; at = lower.find('v', at + 1))
      if ((at == 0 || line[at - 1] == ' ') && LooksLikeVersion(line.substr(at))) {
        identity.Firmware = FirstToken(line.substr(at));
        return identity;
      }
  return identity;
}

void TDeviceIdentityScanner::TakeLine() {
  TDeviceIdentity seen = IdentityOfLine(line_);
  if (!seen.Mac.empty()) identity_.Mac = std::move(seen.Mac);
  if (!seen.Firmware.empty()) identity_.Firmware = std::move(seen.Firmware);
}

TDeviceIdentity TDeviceIdentityScanner::Identity(const TXmlElement& readDocument) const {
  TDeviceIdentity identity;
  {
    std::lock_guard g(lock_);
    identity = identity_;
  }
  if (identity.Mac.empty()) identity.Mac = NormalizeMac(FindInformation(readDocument, "MAC_address"));
  if (identity.Firmware.empty())
    for (const char* key : {"Software_version", "Firmware_version", "Firmware"})
      if (identity.Firmware.empty()) identity.Firmware = FindInformation(readDocument, key);
  return identity;
}

void TDeviceIdentityScanner::Clear() {
  std::lock_guard g(lock_);
  line_.clear();
  identity_ = {};
}
