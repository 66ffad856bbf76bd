#pragma once
// Prompt names and netmask arithmetic of the settings writer.

#include <string>

#include "uXmlUtils.h"

inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The name of the setting a prompt line asks for: the first run of letters, digits and
// " /+-*'@" with each of " /+-*'@" written as "_", without leading or trailing "_".
std::string PromptName(const std::string& line);

// Number of host bits of a dotted netmask, -1 for an invalid or non-contiguous mask.
int NetmaskHostBits(const std::string& mask);

// The value without control characters (a CR in a value would answer the following prompts);
// removed tells whether any were there.
std::string StripControlCharacters(const std::string& value, bool& removed);
