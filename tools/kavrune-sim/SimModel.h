#pragma once
// The simulated device's settings: one table row per menu question, one table row per dump line.
// Settings are kept in the form the window's write document types them (write-form keys and
// values), so a test can compare a store against the document that was applied.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "SimProfile.h"

enum class TSimGroup { Basic, Channel, Email, WLAN, Expert, Security };

enum class TSimAnswer {
  YesNo,         // one character Y or N, stored
  Decision,      // one character Y or N that only steers the following questions
  ShowKey,       // one character; Y prints the current key
  Number,        // decimal digits and CR
  HexByte,       // one or two hex digits and CR
  Text,          // printable text and CR
  Secret,        // as Text, never shown
  Address,       // four numbers, each with CR
  Gateway,       // Y and an address, or N for none
  Netmask,       // number of host bits
  Time,          // minutes, CR, seconds, CR
  DataRate,      // fallback flag, CR, rate item, CR
  AddressTable,  // Y and sixteen numbers
  HexKey,        // hex digits without CR, exact length
  WlanKey        // hex key of exact length, or a passphrase with CR, by the key type
};

using TSimSection = std::map<std::string, std::string>;
using TSimAnswers = std::map<std::string, std::string>;

struct TSimSettingDef {
  TSimGroup Group = TSimGroup::Basic;
  const char* Key;       // write-form key, also the key in the state file
  const char* Question;  // nullptr: the device never asks for it
  TSimAnswer Kind;
  const char* Default;
  std::function<bool(const TSimSection&, const TSimAnswers&)> Asked = {};  // empty: always asked
  std::function<bool(long, const TSimSection&)> Accepts = {};              // empty: any value of the kind
  std::size_t MaxLength = 31;
};

struct TSimDumpRow {
  TSimGroup Group;
  const char* ReadKeys;                           // the read-form keys the line yields, blank separated
  std::function<bool(const TSimSection&)> Shown;  // empty: always
  std::function<std::string(const TSimSection&)> Line;
};

struct TSimSectionInfo {
  const char* Name;     // section element name
  const char* Heading;  // dump heading without "*** "
  TSimGroup Group;
  int MenuChoice;  // -1: no menu
};

struct TSimPrompt {
  std::string Section;
  std::string Text;  // the question as the device prints it with its default values
  std::string Key;   // the write-form key its prompt name must give
};

class TSimSettings final {
 public:
  std::map<std::string, TSimSection> Sections;

  std::string Get(const std::string& section, const std::string& key) const;
  void Set(const std::string& section, const std::string& key, const std::string& value);
  bool operator==(const TSimSettings&) const = default;
};

const std::vector<TSimSettingDef>& SimSettingDefs();
const std::vector<TSimDumpRow>& SimDumpRows();
const std::vector<TSimSectionInfo>& SimSections();
const TSimSectionInfo* SimSectionByMenu(int choice);

TSimSettings SimDefaults();

// The question line of one setting as the device prints it for the given section state.
std::string SimQuestionText(const TSimSettingDef& def, const TSimSection& section);

// Every question of every menu with the write-form key its prompt name must give.
std::vector<TSimPrompt> SimPromptCatalogue();

// The configuration dump from the first heading to the last setting line, without line ends, as
// the standard unit prints it, or as a unit of the given profile prints it.
std::vector<std::string> SimDumpLines(const TSimSettings& settings);
std::vector<std::string> SimDumpLines(const TSimSettings& settings, const TSimProfile& profile);

// The channel works over UDP (its connect mode's low nibble is C).
bool SimIsUdp(const TSimSection& channel);

// Numeric helpers shared by the console.
bool SimParseDecimal(const std::string& text, long& value);
bool SimParseHex(const std::string& text, long& value);
std::string SimHexByte(long value);  // upper case, no leading zeros: the write-document form
std::vector<std::string> SimSplit(const std::string& text, char sep);
bool SimParseAddress(const std::string& text, unsigned (&octets)[4]);
std::string SimNetmaskFromHostBits(int bits);
int SimHostBitsFromNetmask(const std::string& mask);  // -1 for an unusable mask
int SimWlanHexKeyLength(const TSimSection& wlan);     // 0 when the suite has no key

// State file. Loading keeps the defaults for every key the file lacks or gives an unusable line.
TSimSettings LoadState(const std::string& path);
void SaveState(const TSimSettings& settings, const std::string& path);
