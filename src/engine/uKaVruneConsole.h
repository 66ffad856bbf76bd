#pragma once
// The one place that knows where the device is in its console dialogue. A key goes out only
// when the device waits at a prompt: what it printed ends in a prompt ending and the line has
// stayed quiet for the settle time. Every answer is checked: the echo of what was typed comes
// first, then the device's next prompt. Whatever else comes is off script, and the caller
// leaves without storing.

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "AfComPort.h"
#include "uCommunicationUtils.h"

// The newest pauses of one kind (a ring): old ones leave it, so a hiccup does not slow the rest
// of a session, and on a line that pauses often it holds about its longest.
struct TPauseWindow {
  std::array<int, 32> Ms{};
  int Count = 0;  // places filled
  size_t Next = 0;
  void Add(int ms) {
    Ms[Next] = ms;
    Next = (Next + 1) % Ms.size();
    if (Count < static_cast<int>(Ms.size())) ++Count;
  }
  // The longest of the newest, those still to be added (more) counted as newer.
  int Longest(const std::vector<int>& more = {}) const {
    const size_t fromMore = std::min(more.size(), Ms.size());
    int ms = 0;
    for (size_t i = more.size() - fromMore; i < more.size(); ++i) ms = std::max(ms, more[i]);
    const size_t fromRing = std::min(static_cast<size_t>(Count), Ms.size() - fromMore);
    for (size_t i = 1; i <= fromRing; ++i) ms = std::max(ms, Ms[(Next + Ms.size() - i) % Ms.size()]);
    return ms;
  }
  int Known(const std::vector<int>& more = {}) const {
    return static_cast<int>(std::min(static_cast<size_t>(Count) + more.size(), Ms.size()));
  }
};

// What the line has shown of its timing so far. The settle time follows it, so that a line
// that hands bytes over in packets (a USB adapter) or a device that pauses inside its lines is
// waited out, while a clean line costs only a few character times.
struct TLineTiming {
  TPauseWindow LinePauses;    // inside a line, anywhere
  TPauseWindow PromptPauses;  // right after a prompt ending that more text followed
  int SlowestAnswerMs = 0;    // the longest the device took to begin an answer
  // Per prompt ending ("?", ")" or ":" with 0, 1 or 2 blanks after it): how often the unit
  // waited there, and whether it ever printed more after it.
  std::array<int, 9> WaitedAt{};
  std::array<bool, 9> GoesOnAfter{};
  int LastEnding = -1;  // the ending the last answer stopped at, when the unit waited there
};

// The quiet after a prompt ending, before it counts as the place where the device waits.
constexpr int SettleChars = 6;
constexpr int SettleFloorMs = 8;
// How often the unit must have waited at an ending, never printing more after it, before that
// quiet is all it gets there.
constexpr int EndingTrusted = 3;

// The first byte of a menu's answer is awaited this long.
constexpr int AnswerTimeoutMs = 1000;

class TDeviceConsole final {
 public:
  struct TAnswer {
    std::string Heard;      // everything received, echo included
    std::string Text;       // what the device printed after the echo of the keys
    bool Echoed = false;    // it began with the echo of the keys
    bool AtPrompt = false;  // and ends where the device waits again, the line quiet
    bool Silent = false;    // nothing came at all
    bool NotTyped = false;  // the device was still talking: the keys were not sent
    // The device took the keys and waits at its next prompt.
    bool Ok() const { return Echoed && AtPrompt && !NotTyped; }
  };

  TDeviceConsole(TAfCustomSerialPort* port, TLineTiming& timing) : port_(port), timing_(timing) {}

  // Types keys (none: only listens) and reads until the device waits again, or stops talking,
  // or (when given) said is true of what it printed: the text that follows is the next reader's.
  TAnswer Type(const std::string& keys, int firstAnswerMs = AnswerTimeoutMs,
               const std::function<bool(const std::string& text)>& said = {});
  // The exchange under Type, for callers that watch the text as it comes; the settle time is
  // this console's, and what the reply shows of the line is learnt.
  TPromptReply Exchange(const std::string& keys, TPromptWait wait);
  // The quiet after a prompt ending wherever it comes; SettleAfter: after what the unit printed
  // as it ends now, with what the answer so far shows of the line.
  int SettleMs() const { return SettleAfter({}, {}); }
  int SettleAfter(const std::string& own, const TPromptReply& sofar) const;
  TAfCustomSerialPort* Port() const { return port_; }

 private:
  TAfCustomSerialPort* port_;
  TLineTiming& timing_;
};

// The last line of a text: the prompt the device waits at.
std::string LastLine(const std::string& text);
// The root menu's prompt ends the text.
bool AtRootPrompt(const std::string& text);
// The value a prompt shows in its last parentheses ("Key type ... (1) ? " gives "1").
std::string PromptValue(const std::string& line);
// One number of an address after the first: ".(168) ".
bool IsAddressPartPrompt(const std::string& line);

// The unit offers Setup Mode: the last line it printed, whatever line end follows it, asks for
// Enter (or Return) to reach setup ("Press Enter for Setup Mode", "press ENTER to go into setup
// mode"). Units end the offer with nothing, CR LF or LF CR, so line ends never decide.
bool OffersSetupMode(const std::string& text);
// Where a line that offers Setup Mode begins in text at or after from; npos when none does.
size_t FindSetupOffer(const std::string& text, size_t from = 0);
// The unit printed its banner or offer again: it restarted. A banner names the product or the
// unit's MAC address; only a line that offers Setup Mode is taken as proof.
bool ShowsRestart(const std::string& text);

// What the entries of the unit's root menu do, read from the menu it prints ("0 Server
// configuration" ... "9 Save and exit"), so that a unit without a WLAN menu, or one that
// numbers its entries otherwise, is walked by what it offers.
enum class TMenuEntry { Server, Channel1, Channel2, Wlan, Expert, Security, Defaults, ExitWithoutSave, SaveAndExit };

class TMenuMap final {
 public:
  // The numbered lines of the last root menu in text (the lines before its last "Your
  // choice ?"); an empty map when it shows none.
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
