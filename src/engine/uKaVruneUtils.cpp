#include "uKaVruneUtils.h"

#include <cstdint>
#include <cstring>

#include "uCommunicationUtils.h"

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

bool FindPromptKey(const std::string& reply, const TXmlElement& section, std::string& key,
                   std::string& value) {
  key.clear();
  value.clear();
  auto pieces = [](const std::string& text, char sep) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
      size_t p = text.find(sep, start);
      out.push_back(text.substr(start, p == std::string::npos ? std::string::npos : p - start));
      if (p == std::string::npos) break;
      start = p + 1;
    }
    return out;
  };
  for (const std::string& piece : pieces(reply, '\r')) {
    for (const std::string& line : pieces(piece, '\n')) {
      key = PromptName(line);
      if (!key.empty() && GetKeyText(section, key, value)) return true;
    }
  }
  value.clear();
  return false;
}

std::string SendIPAddress(TAfCustomSerialPort* port, const std::string& address) {
  std::string rest = address;
  std::string answer;
  for (int i = 0; i < 3; ++i) {
    std::string octet;
    size_t dot = rest.find('.');
    if (dot != std::string::npos) {
      octet = rest.substr(0, dot);
      rest.erase(0, dot + 1);
    }
    SendAndExpect(port, octet + "\r", 100, ") ", PurgeBoth, answer);
    if (answer.empty()) return {};
  }
  SendAndExpect(port, rest + "\r", 100, " ?", PurgeBoth, answer);
  return answer;
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
