// The device's numbers as it reads and prints them: decimal and hex fields, dotted addresses,
// and the netmask it asks as a number of host bits.

#include <cstdio>
#include <sstream>
#include <vector>

#include "SimModel.h"

std::vector<std::string> SimSplit(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, sep)) parts.push_back(part);
  return parts;
}

bool SimParseDecimal(const std::string& text, long& value) {
  if (text.empty() || text.size() > 9) return false;
  long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  value = v;
  return true;
}

bool SimParseHex(const std::string& text, long& value) {
  if (text.empty() || text.size() > 7) return false;
  long v = 0;
  for (char c : text) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    v = v * 16 + d;
  }
  value = v;
  return true;
}

std::string SimHexByte(long value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%lX", value);
  return buf;
}

bool SimParseAddress(const std::string& text, unsigned (&octets)[4]) {
  auto parts = SimSplit(text, '.');
  if (parts.size() != 4 || text.back() == '.') return false;
  for (int i = 0; i < 4; ++i) {
    long v;
    if (!SimParseDecimal(parts[i], v) || v > 255) return false;
    octets[i] = static_cast<unsigned>(v);
  }
  return true;
}

std::string SimNetmaskFromHostBits(int bits) {
  const unsigned long long mask = bits >= 32 ? 0 : (0xFFFFFFFFull << bits) & 0xFFFFFFFFull;
  return std::to_string((mask >> 24) & 255) + "." + std::to_string((mask >> 16) & 255) + "." +
         std::to_string((mask >> 8) & 255) + "." + std::to_string(mask & 255);
}

int SimHostBitsFromNetmask(const std::string& mask) {
  unsigned o[4];
  if (!SimParseAddress(mask, o)) return -1;
  unsigned long v = (static_cast<unsigned long>(o[0]) << 24) | (o[1] << 16) | (o[2] << 8) | o[3];
  int bits = 0;
  while (bits < 32 && (v & 1) == 0) {
    ++bits;
    v >>= 1;
  }
  return bits;
}
