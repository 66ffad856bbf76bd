#pragma once
// The value-text helpers that the table of settings and the document conversions share. Internal
// to src/settings.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "uKaVruneModel.h"

namespace settings_text {

// Gives every row the questions its menu asks for it (TSettingRow::Asks).
void AttachQuestions(std::vector<TSettingRow>& rows);

// The WLAN transmit rates by the number the device takes.
inline const std::vector<std::string> kRates = {"1 Mbps",  "2 Mbps",  "5.5 Mbps", "11 Mbps",
                                                "18 Mbps", "24 Mbps", "36 Mbps",  "54 Mbps"};

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

inline std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// Decimal digits only, optional sign: a value must not be taken from "0x10" or "12abc".
inline std::optional<long> Decimal(const std::string& text) {
  const std::string t = Trim(text);
  if (t.empty() || t.size() > 10) return std::nullopt;
  size_t i = t[0] == '-' ? 1 : 0;
  if (i == t.size() || t.find_first_not_of("0123456789", i) != std::string::npos) return std::nullopt;
  return std::stol(t);
}

inline std::optional<long> Hex(const std::string& text, size_t maxDigits) {
  const std::string t = Trim(text);
  if (t.empty() || t.size() > maxDigits || t.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    return std::nullopt;
  return std::stol(t, nullptr, 16);
}

inline std::string Two(long v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02ld", v);
  return buf;
}

inline std::string Get(const TSectionValues& values, const std::string& key) {
  const auto it = values.find(key);
  return it == values.end() ? std::string() : it->second;
}

inline long Num(const TSectionValues& values, const std::string& key, bool hex = false) {
  const std::string v = Get(values, key);
  return (hex ? Hex(v, 8) : Decimal(v)).value_or(0);
}

inline bool Yes(const TSectionValues& values, const std::string& key) { return Get(values, key) == "Y"; }

inline std::vector<std::string> Tokens(const std::string& text) {
  std::vector<std::string> out;
  std::string rest = Trim(text);
  while (!rest.empty()) {
    const TSplit s = SplitAt(rest, " ");
    if (!s.Head.empty()) out.push_back(s.Head);
    rest = Trim(s.Tail);
  }
  return out;
}

inline std::optional<std::string> ChoiceOf(const std::string& text, const std::vector<std::string>& words) {
  if (const auto n = Decimal(text)) return std::to_string(*n);
  const std::string t = Lower(Trim(text));
  for (size_t i = 0; i < words.size(); ++i)
    if (!words[i].empty() && Lower(words[i]) == t) return std::to_string(i);
  return std::nullopt;
}

inline std::optional<std::string> KeyText(const TXmlElement& s, const std::string& key) {
  std::string text;
  if (!GetKeyText(s, key, text)) return std::nullopt;
  return text;
}

// Whether the device asks for the row's value in the section's state (a channel's UDP settings
// only in UDP mode, say).
bool Asked(const TSettingRow& row, const TSectionValues& state);
// Keys a file may carry that hold no value of their own: decisions answered from the value
// that follows them, and the window's answer to "Display current key".
bool IsCompanionKey(const std::string& section, const std::string& key);

}  // namespace settings_text
