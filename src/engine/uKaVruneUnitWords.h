#pragma once
// The unit's words: every text the tool recognises in what the unit prints, and every key it
// types as a command. Nothing else in the engine spells them out.

#include <map>
#include <string>
#include <vector>

// What the unit prints.
constexpr const char* DumpHeading = "*** basic parameters";  // the first line of its dump
constexpr const char* MenuPrompt = "Your choice ?";          // where it waits at its root menu

// Keys typed as commands; a menu entry's key is its number, then Enter.
constexpr const char* EnterKey = "\r";
constexpr const char* YesKey = "Y";
constexpr const char* NoKey = "N";

// The last line of a text: the prompt the device waits at.
std::string LastLine(const std::string& text);
// The root menu's prompt ends the text.
bool AtRootPrompt(const std::string& text);
// The value a prompt shows in its last parentheses ("Key type ... (1) ? " gives "1").
std::string PromptValue(const std::string& line);
// One number of an address after the first: ".(168) ".
bool IsAddressPartPrompt(const std::string& line);
// The text ends with a menu's heading on a line of its own ("Main menu:", "Change Setup:",
// "Server configuration:"): its ":" asks nothing, the menu's entries or questions follow.
bool EndsAtMenuHeading(const std::string& text);

// The unit offers Setup Mode: the last line it printed, whatever line end follows it, asks for
// Enter (or Return) to reach setup ("Press Enter for Setup Mode", "press ENTER to go into setup
// mode"). Units end the offer with nothing, CR LF or LF CR, so line ends never decide.
bool OffersSetupMode(const std::string& text);
// Where a line that offers Setup Mode begins in text at or after from; npos when none does.
size_t FindSetupOffer(const std::string& text, size_t from = 0);
// Where the last line that offers Setup Mode begins; npos when none does.
size_t FindLastSetupOffer(const std::string& text);
// The unit printed its banner or offer again: it restarted. Proof is a line that offers Setup
// Mode, or a line of its banner (FindBanner).
bool ShowsRestart(const std::string& text);
// Where a line of the unit's banner begins in text at or after from (as FindSetupOffer counts
// lines): a whole line that names the unit itself, its own MAC address or its firmware version
// (IdentityOfLine), and asks nothing. A line of a dump is none, since some units list their
// address among their settings: a line after a dump heading counts only once a root prompt
// followed that heading. npos when none does.
size_t FindBanner(const std::string& text, size_t from = 0);
// Where the last line of the unit's banner begins; npos when none does.
size_t FindLastBanner(const std::string& text);

// Where the unit confirms a store in text; npos when it does not.
size_t FindStoreConfirmation(const std::string& text);
bool SaysStored(const std::string& text);
// The unit confirms leaving Setup Mode in words ("Exit without save", "Exiting without save !"),
// which its root menu's entry for it is not.
bool SaysLeftWithoutSaving(const std::string& text);

// What the entries of the unit's root menu do, read from the menu it prints ("0 Server
// configuration" ... "9 Save and exit"), so that a unit without a WLAN menu, or one that
// numbers its entries otherwise, is walked by what it offers. No menu number is known to the
// tool beforehand.
enum class TMenuEntry { Server, Channel1, Channel2, Wlan, Expert, Security, Defaults, ExitWithoutSave, SaveAndExit };

// How units usually name a command entry, for a message about one a unit lacks ("Save and exit").
std::string UsualLabel(TMenuEntry entry);

class TMenuMap final {
 public:
  // The numbered lines of the last root menu in text (the lines before its last root prompt); an
  // empty map when it shows none.
  static TMenuMap FromRootMenu(const std::string& text);
  // The key that chooses the entry, or empty when the unit does not offer it.
  std::string Key(TMenuEntry entry) const;
  bool Has(TMenuEntry entry) const { return keys_.count(entry) != 0; }
  bool Empty() const { return keys_.empty(); }
  // The menu of a section of the settings document ("basic_parameters", "WLAN" ...).
  static bool EntryOfSection(const std::string& section, TMenuEntry& entry);
  // The sections of the settings document whose menus the unit offers.
  std::vector<std::string> SectionsOffered() const;
  // The unit's own label of an entry, for a message ("WLAN configuration").
  std::string Label(TMenuEntry entry) const;
  bool operator==(const TMenuMap&) const = default;

 private:
  std::map<TMenuEntry, std::pair<std::string, std::string>> keys_;  // entry: key, label
};
