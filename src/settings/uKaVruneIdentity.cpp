#include "uKaVruneIdentity.h"

#include <algorithm>
#include <cctype>

namespace {

// A line longer than any the unit prints about itself is noise; it is not kept whole.
constexpr std::size_t MaxLine = 200;

bool StartsWithWord(const std::string& line, const std::string& word, std::string& rest) {
  if (line.size() < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(line[i])) != std::tolower(static_cast<unsigned char>(word[i])))
      return false;
  rest = line.substr(word.size());
  // "MAC address 02..." and "MAC address : 02-...", never "MAC addresses" or "Alternate MAC".
  if (!rest.empty() && !std::isspace(static_cast<unsigned char>(rest[0])) && rest[0] != ':') return false;
  const std::size_t begin = rest.find_first_not_of(" \t:");
  rest = begin == std::string::npos ? std::string() : rest.substr(begin);
  const std::size_t end = rest.find_last_not_of(" \t");
  rest.erase(end == std::string::npos ? 0 : end + 1);
  return true;
}

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

void TDeviceIdentityScanner::TakeLine() {
  const std::size_t begin = line_.find_first_not_of(" \t");
  if (begin == std::string::npos) return;
  const std::string line = line_.substr(begin);
  std::string rest;
  if (StartsWithWord(line, "MAC address", rest)) {
    if (std::string mac = NormalizeMac(rest); !mac.empty()) identity_.Mac = std::move(mac);
  } else if (StartsWithWord(line, "Software version", rest) || StartsWithWord(line, "Firmware version", rest)) {
    if (!rest.empty()) identity_.Firmware = rest;
  }
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
