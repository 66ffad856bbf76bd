#include "uTextUtils.h"

#include <clocale>
#include <cstring>

TSplit SplitAt(const std::string& text, const std::string& separator) {
  TSplit result;
  if (text.empty()) return result;
  result.NonEmpty = true;
  size_t p = separator.empty() ? std::string::npos : text.find(separator);
  if (p == std::string::npos) {
    result.Head = text;
  } else {
    result.Head = text.substr(0, p);
    result.Tail = text.substr(p + separator.size());
  }
  return result;
}

TSplit SplitAtLabel(const std::string& text, const std::string& label) {
  TSplit result = SplitAt(text, label);
  if (result.Tail.empty()) return result;
  size_t p = result.Tail.find_first_not_of(' ');
  if (p != std::string::npos && result.Tail[p] == ':') ++p;
  p = p == std::string::npos ? std::string::npos : result.Tail.find_first_not_of(' ', p);
  result.Tail = p == std::string::npos ? std::string() : result.Tail.substr(p);
  return result;
}

bool TryParseInteger(const std::string& text, int& value) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  bool hex = false;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= text.size()) return false;
  unsigned long long v = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return false;
    v = v * (hex ? 16 : 10) + static_cast<unsigned>(digit);
    if (v > 0xFFFFFFFFull) return false;
  }
  if (hex) {
    auto u = static_cast<uint32_t>(v);
    int32_t s;
    std::memcpy(&s, &u, sizeof s);
    value = negative ? static_cast<int>(0u - static_cast<uint32_t>(s)) : s;
    return true;
  }
  if (negative ? v > 2147483648ull : v > 2147483647ull) return false;
  value = negative ? static_cast<int>(-static_cast<long long>(v)) : static_cast<int>(v);
  return true;
}

bool IsIPv4Address(const std::string& text) {
  std::string rest = text;
  auto field = [](const std::string& part) {
    int n;
    return TryParseInteger(part, n) && n >= 0 && n <= 255;
  };
  for (int i = 0; i < 3; ++i) {
    TSplit s = SplitAt(rest, ".");
    if (!field(s.Head)) return false;
    rest = s.Tail;
  }
  return field(rest);
}

std::string NormalizeDecimalSeparator(const std::string& text) {
  const lconv* lc = std::localeconv();
  std::string sep = lc && lc->decimal_point ? lc->decimal_point : ".";
  if (sep == ",") return ReplaceAll(text, ".", ",");
  if (sep == ".") return ReplaceAll(text, ",", ".");
  return text;
}

std::string Trim(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
  return text.substr(b, e - b);
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  if (from.empty()) return text;
  for (size_t p = text.find(from); p != std::string::npos; p = text.find(from, p + to.size()))
    text.replace(p, from.size(), to);
  return text;
}
