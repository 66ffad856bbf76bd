#pragma once
// Settings on the command line: "Section.Key" names for the rows of the settings model, values
// in the form the device prints them, "Section.Key=Value" assignments checked against the
// device's ranges and lists, the differences between two states, and the output formats.

#include <optional>
#include <string>
#include <vector>

#include "uKaVruneModel.h"

namespace KaVruneCli {

// The name of a setting within its section (the model's SettingKeyName); SettingName gives
// "Channel_1.Baudrate".
const std::string& KeyName(const TSettingRow& row);

// The settings a name stands for: its own name, or either key of a row, in any letter case.
// A dump line that holds several settings ("Channel_1.Remote_IP_Adr") stands for all of them.
// Nothing and a message in error when the name is none of the device's.
std::vector<const TSettingRow*> FindSettings(const std::string& name, std::string& error);

// Letters to insert, delete or change to make one word of the other, in any letter case.
size_t EditDistance(const std::string& a, const std::string& b);

// The name a misspelling most likely meant, among the settings set (writable) or get takes;
// empty when none is near enough to be a guess worth showing.
std::string NearestSettingName(const std::string& name, bool writable);

// A value as the device prints it ("enabled", "45s", "WEP", "C0"), with the other settings of
// its section where they decide the words. Empty when the state lacks it.
std::string ShownValue(const TSettingRow& row, const TDeviceSettings& settings);
// A value in the form the device prints it, or in its menu's form, to the model's form. Flags
// also take on/off, yes/no, true/false in the sense of their name ("Security.SNMP=off"). Words
// that depend on other settings (the WLAN encryption on the suite) are read in context, else
// taken where they are the same in every case.
std::optional<std::string> ParseShownValue(const TSettingRow& row, const std::string& text, bool byPromptKey,
                                           const TDeviceSettings* context = nullptr);

struct TAssignment {
  const TSettingRow* Row = nullptr;
  std::string Value;  // the model's form, checked against the device's ranges and lists
};
// "Section.Key=Value"; nothing and a message in error when the name is unknown, the setting
// cannot be written, or the device would not take the value.
std::optional<TAssignment> ParseAssignment(const std::string& text, std::string& error,
                                           const TDeviceSettings* context = nullptr);

struct TDifference {
  const TSettingRow* Row = nullptr;
  std::optional<std::string> From, To;            // as the device prints them; none: that side lacks it
  std::optional<std::string> FromValue, ToValue;  // the model's form
};
// Every setting of either state that the other lacks or holds otherwise, in table order.
// Secrets are never compared: neither a dump nor a saved file shows them.
std::vector<TDifference> Compare(const TDeviceSettings& a, const TDeviceSettings& b);

enum class TFormat { Xml, Json, Text };
std::optional<TFormat> ParseFormat(const std::string& name);

// The settings (or only those of rows, in their order) in a format: XML in the read document's
// form, JSON typed by section and key, text as "Section.Key=value" lines.
std::string FormatSettings(const TDeviceSettings& settings, TFormat format,
                           const std::vector<const TSettingRow*>* rows = nullptr);
// Text: "Channel_1.Baudrate: 9600 -> 115200" lines; JSON: a list of {setting, from, to};
// XML: one element per setting with from and to attributes.
std::string FormatDifferences(const std::vector<TDifference>& differences, TFormat format);
// The differences with the values of passwords and keys as ********; a side that lacks the
// setting stays without it.
std::vector<TDifference> Masked(std::vector<TDifference> differences);

}  // namespace KaVruneCli
