#include "uKaVruneUtils.h"

#include <cstdint>
#include <cstring>

std::string PromptName(const std::string& line) {
  static const char* const letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static const char* const joiners = " /+-*'@";
  auto inAlphabet = [](char c) {
    return c != '\0' && (std::strchr(letters, c) != nullptr || std::strchr(joiners, c) != nullptr);
  };
  size_t i = 0;
  while (i < line.size() && !inAlphabet(line[i])) ++i;
  std::string name;
  for (; i < line.size() && inAlphabet(line[i]); ++i) name += std::strchr(joiners, line[i]) ? '_' : line[i];
  size_t b = name.find_first_not_of('_');
  if (b == std::string::npos) return {};
  size_t e = name.find_last_not_of('_');
  return name.substr(b, e - b + 1);
}

int NetmaskHostBits(const std::string& mask) {
  if (!IsIPv4Address(mask)) return -1;
  uint64_t v = 0;
  std::string rest = mask;
  for (int i = 0; i < 4; ++i) {
    TSplit s = SplitAt(rest, ".");
    int field = 0;
    TryParseInteger(s.Head, field);
    v = v * 256 + static_cast<uint64_t>(field);
    rest = s.Tail;
  }
  int count = 0;
  while (count < 32 && (v & 1) == 0) {
    ++count;
    v >>= 1;
  }
  // The network part must be all ones: 255.0.255.0 is no netmask, and typing its trailing
  // zero count would give the device a different mask from the one the user chose.
  if (count < 32 && v != (uint64_t{1} << (32 - count)) - 1) return -1;
  return count;
}

std::string StripControlCharacters(const std::string& value, bool& removed) {
  std::string out;
  removed = false;
  for (char c : value) {
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F)
      removed = true;
    else
      out += c;
  }
  return out;
}
