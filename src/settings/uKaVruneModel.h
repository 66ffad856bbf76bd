#pragma once
// The one table of the device's settings and what the front ends do with it: values out of a read
// or write document, the write document of a change, the differences between two states, the
// checks before a write and the check of an apply after the device was read again.
//
// A value is kept in the form in which the device's menu takes it (the answer typed at its
// prompt): numbers in decimal, hex bytes in upper case without leading zeros, flags "Y"/"N" as
// the question asks them, "m:s" times, "rate:fallback", sixteen blank-separated table entries.
// Texts are UTF-8 here and windows-1250 on the line.

#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "uKaVruneCodecs.h"
#include "uXmlUtils.h"

enum class TSettingKind {
  Number,        // decimal, within the device range
  Choice,        // a numbered item; the read document shows its word
  Flag,          // Y or N
  Text,          // printable windows-1250 text
  Secret,        // typed, never shown in a dump: a restore cannot carry it
  Address,       // dotted IPv4 address
  HexByte,       // one byte in hex
  Time,          // minutes and seconds
  DataRate,      // rate item and fallback flag
  AddressTable,  // sixteen bytes
};

struct TRange {
  long Min;
  long Max;
};

struct TSettingRow;
using TSectionValues = std::map<std::string, std::string>;  // value key -> value

struct TSettingRow {
  std::string Section;  // section element in both documents
  std::string Name;     // in plain words, for messages
  std::string ReadKey;  // key in the read document; empty: the dump never shows it
  std::string PromptKey;  // write-document key answering its prompt; empty: no menu asks for it
  // The decision prompt answered "Y" before the value ("Change_DHCP_device_name"); empty if none.
  std::string ChangeKey;
  // The unit's questions for the setting as its menu prints them (the line it waits at): its
  // decision's first where it has one, then its own, then the parts that follow an answer (the
  // next number of an address, the seconds of a time). "{v}" stands for the value the unit shows,
  // "{n}" for a number. Empty: no menu asks for it.
  std::vector<std::string> Asks;
  // Further names under which files of earlier versions carry the value ("Port" beside "Port_No").
  std::vector<std::string> OtherKeys;
  TSettingKind Kind = TSettingKind::Text;
  std::optional<TRange> WindowRange;
  std::optional<TRange> DeviceRange;
  std::vector<long> Allowed;     // when the device takes only these numbers
  std::size_t MaxLength = 0;     // texts; 0 for other kinds
  std::string Placeholder;       // what the dump prints for an empty value ("not set")
  std::string Unit;              // the letter the dump prints after a number ("45s")
  std::string UnitName;          // the unit in words, for people ("s", "bit/s", "bytes")
  // A flag the dump prints as enabled/disabled while its menu asks the opposite ("Disable SNMP"):
  // its value ("Y" = disabled) is the menu's answer.
  bool Inverted = false;
  std::vector<std::string> Words;  // Choice: the dump's word for item i ("" for none)
  std::span<const TByteField> (*Fields)() = nullptr;  // HexByte: the byte's layout, when it has one
  // The value from the read section, when the dump shows it; empty function: the text of ReadKey.
  std::function<std::optional<std::string>(const TXmlElement& section)> Extract;
  // The text under ReadKey for a section's values; empty function: the value's dump form.
  std::function<std::string(const TSectionValues& values)> Compose;

  // The key under which the value is kept: the prompt key, else the read key.
  const std::string& Key() const { return PromptKey.empty() ? ReadKey : PromptKey; }
  bool Writable() const { return !PromptKey.empty(); }
  // A flag's value as "is the function on": the menu's "Y" unless the menu asks the opposite.
  bool On(const std::string& value) const { return (value == "Y") != Inverted; }
  // The value of a flag that is on or off.
  std::string FlagValue(bool on) const { return on != Inverted ? "Y" : "N"; }
  bool Readable() const { return !ReadKey.empty(); }
};

// Every setting of both channels and every section, in the order of the device's menus.
const std::vector<TSettingRow>& SettingRows();
const TSettingRow* FindSettingRow(const std::string& section, const std::string& key);
// Passwords and keys, whose values no message, log or record repeats: the secrets, and the
// channels' connection passwords, which the dump shows but which are passwords all the same.
bool Confidential(const TSettingRow& row);
// Sections in the order the worker walks their menus: the server's first, since its network
// mode decides what the WLAN menu asks. Which key opens each menu the unit's root menu says.
const std::vector<std::string>& WalkedSections();
// Every section a settings document may hold, in the order the device's dump prints them; the
// E-mail menu's is read but never walked.
const std::vector<std::string>& DumpSections();

// A state of the device: values by section and key. A missing value is one the device did not
// report or the file did not give.
class TDeviceSettings final {
 public:
  const std::string* Find(const std::string& section, const std::string& key) const;
  const std::string* Find(const TSettingRow& row) const { return Find(row.Section, row.Key()); }
  void Set(const std::string& section, const std::string& key, const std::string& value);
  void Set(const TSettingRow& row, const std::string& value) { Set(row.Section, row.Key(), value); }
  void Erase(const TSettingRow& row);
  bool Empty() const { return values_.empty(); }
  const std::map<std::string, TSectionValues>& Sections() const { return values_; }
  bool operator==(const TDeviceSettings&) const = default;

 private:
  std::map<std::string, TSectionValues> values_;
};

// The words of an on/off pair in any letter case: enabled/disabled, Y/N, yes/no, true/false, 1/0,
// on/off. Nothing for any other text.
std::optional<bool> FlagWord(const std::string& text);

// The name of a setting within its section: its key in the read document, or its prompt key
// where several settings share one line of the dump ("Remote_Port" of "Remote_IP_Adr") or the
// dump never shows it.
const std::string& SettingKeyName(const TSettingRow& row);
// "Channel_1.Baudrate", as the command line takes it.
std::string SettingName(const TSettingRow& row);
// The setting as people name it, with the command line's name beside it: "channel 1 baud rate
// (Channel_1.Baudrate)". For lists of settings not taken or not asked.
std::string SettingWords(const TSettingRow& row);
// The language key of the setting's plain name, with the channel's number for %1 where the two
// channels share it: {"Setting_Channel_Baudrate", "1"}, {"Setting_Expert_MTU_Size", ""}.
std::pair<std::string, std::string> SettingLanguageKey(const TSettingRow& row);

// What an element of a settings file is to the tool.
enum class TEntryKind {
  Setting,            // a row of the table: apply writes it
  DeviceInformation,  // printed by the device about itself (MAC, firmware, hardware): never written
  Unknown,            // a line the tool does not know
};
TEntryKind EntryKind(const std::string& section, const std::string& key);

// The row's value out of a text of either form ("enabled" or "N", "45s" or "45", "WEP" or "1");
// nothing when the text is no value of the row. Ranges are not checked here: a device value
// outside them stays as read.
std::optional<std::string> ParseSettingValue(const TSettingRow& row, const std::string& text);
// The value as the dump prints it on its own ("enabled", "45s", "WEP").
std::string DumpText(const TSettingRow& row, const std::string& value);

// The device's state out of its read document. Keys the table does not know are passed over.
TDeviceSettings FromReadDocument(const TXmlElement& root);
// A settings file of either form: read documents (a backup), write documents and the window's
// older files, which carry a channel's keys in both forms. Where both forms give a value the
// prompt key wins. unknown receives "section/key" of every element the table does not know.
// With kept given, what a device printed is no fault: device information, and in a read document
// (what the device printed, as read) also unknown lines and values the table cannot read, go to
// kept by plain name, once each ("Hardware", "Country"). A write document's unknown keys stay
// faults: a person typed them.
TDeviceSettings FromDocument(const TXmlElement& root, std::vector<std::string>* unknown = nullptr,
                             std::vector<std::string>* kept = nullptr);
// The read form of a state (how "read -o" and "Save to file" write it); loads back unchanged.
void ToReadDocument(const TDeviceSettings& settings, const TXmlElement& root);

struct TSettingChange {
  const TSettingRow* Row = nullptr;
  std::optional<std::string> From;  // the value the device reported; none if it did not
  std::string To;
};
using TSettingChanges = std::vector<TSettingChange>;

// What applying wanted onto a device in state current changes: every writable setting that wanted
// gives and current lacks or holds otherwise, in table order, whether or not the device is
// expected to ask for it in its mode. Secrets given are always changes.
TSettingChanges Diff(const TDeviceSettings& current, const TDeviceSettings& wanted);
// The write document of the changes: only their sections, only their keys, the decision that
// goes with a value in front of it.
void ToWriteDocument(const TSettingChanges& changes, const TXmlElement& root);

// Why a value cannot be sent (outside the device range, a character windows-1250 cannot hold,
// too long, unreadable); nothing when it can go.
std::optional<std::string> CheckValue(const TSettingRow& row, const std::string& value);
// One message per change that cannot be sent; empty when all can go.
std::vector<std::string> CheckBeforeWrite(const TSettingChanges& changes);
// The same for every writable value of a state, whatever the device will be asked: a settings
// file is checked as a whole before the device is touched.
std::vector<std::string> CheckBeforeWrite(const TDeviceSettings& wanted);

// True when the document is in the read form only (a backup, as "read -o" writes it): none of
// its keys is one that only a write document uses.
bool IsReadDocument(const TXmlElement& root);

struct TApplyCheck {
  std::vector<TSettingChange> Confirmed;
  std::vector<std::pair<TSettingChange, std::optional<std::string>>> NotTaken;  // with what it holds
  std::vector<TSettingChange> Unconfirmable;  // secrets: the dump never shows them
  bool Clean() const { return NotTaken.empty(); }
  // "12 settings written and confirmed", or the list of those the device did not take, named
  // as SettingWords names them.
  std::vector<std::string> Lines() const;
};

// What a restore of these settings from a read document cannot carry, for the user: a line on
// the passwords and keys when it holds a setting that decides over one (the encryption, the WLAN
// security suite, telnet setup; a secret it carries itself is not named), and a line on the
// E-mail menu when it holds an E-mail setting. None for settings that touch neither.
std::vector<std::string> NotCarriedByRestore(const TDeviceSettings& restored);
// The same for a restore onto a unit that holds current: only what the restore changes counts,
// so a backup that differs from the unit in a baud rate gets neither line, and one whose E-mail
// settings differ from the unit's gets the E-mail line.
std::vector<std::string> NotCarriedByRestore(const TDeviceSettings& current, const TDeviceSettings& restored);

// True when windows-1250 holds every character of the UTF-8 text.
bool FitsCp1250(const std::string& text);
