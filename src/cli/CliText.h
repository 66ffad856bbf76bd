#pragma once
// Settings as a person reads them: the setting's name in plain words, its value in words with
// its unit, and beside it the "Section.Key=value" that get and set take.

#include <string>
#include <vector>

#include "uKaVruneModel.h"

namespace KaVruneCli {

// The value of a setting in words ("9600 bit/s", "RS232, 8 data bits, no parity, 1 stop bit",
// "on"); empty when the state lacks it.
std::string ValueInWords(const TSettingRow& row, const TDeviceSettings& settings);

// One line per setting: all the state holds under a heading per section, or only those of
// rows, in their order, each named in full.
std::string ReadableText(const TDeviceSettings& settings, const std::vector<const TSettingRow*>* rows = nullptr);

}  // namespace KaVruneCli
