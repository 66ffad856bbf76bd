#pragma once
// Prompt names, prompt-to-key lookup, address sending and netmask arithmetic of the settings
// writer.

#include <string>

#include "uXmlUtils.h"

class TAfCustomSerialPort;

inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The name of the setting a prompt line asks for: the first run of letters, digits and
// " /+-*'@" with each of " /+-*'@" written as "_", without leading or trailing "_".
std::string PromptName(const std::string& line);

// Looks through the reply's lines (split at CR, then LF) for the first whose prompt name is a
// key of the section. Not found: key is the prompt name of the last line, value empty.
bool FindPromptKey(const std::string& reply, const TXmlElement& section, std::string& key,
                   std::string& value);

// Types a dotted address one number at a time. Returns the reply to the last number, or the
// empty text when one of the first three numbers got no answer.
std::string SendIPAddress(TAfCustomSerialPort* port, const std::string& address);

// Number of host bits of a dotted netmask, -1 for an invalid or non-contiguous mask.
int NetmaskHostBits(const std::string& mask);

// The value without control characters (a CR in a value would answer the following prompts);
// removed tells whether any were there.
std::string StripControlCharacters(const std::string& value, bool& removed);
