#pragma once
// Text helpers the device dialogue, the settings and the window share: splitting, numbers, IPv4
// addresses, trimming. Plain std::string in UTF-8 (or the device's bytes).

#include <string>

struct TSplit {
  bool NonEmpty = false;
  std::string Head;
  std::string Tail;
};
// Cuts at the first occurrence of the separator; NonEmpty is false only for an empty text.
TSplit SplitAt(const std::string& text, const std::string& separator);

// Cuts at a label of a dump line ("Start Char"), dropping the blanks and the one colon that may
// follow it: devices differ in the blanks around ":" ("Start Char: 00", "Start Char : 00").
// Without the label the whole text is the head.
TSplit SplitAtLabel(const std::string& text, const std::string& label);

// Optional leading blanks, optional sign, decimal digits or hexadecimal after "$", "x" or
// "0x". Nothing may follow. Decimal must fit a signed, hexadecimal an unsigned 32-bit number.
bool TryParseInteger(const std::string& text, int& value);

bool IsIPv4Address(const std::string& text);

// Turns "." into "," or the reverse to match the locale's decimal separator.
std::string NormalizeDecimalSeparator(const std::string& text);

// Removes leading and trailing blanks (and other characters up to the blank, as the device's
// lines carry CR, LF and bells).
std::string Trim(const std::string& text);
std::string ReplaceAll(std::string text, const std::string& from, const std::string& to);
