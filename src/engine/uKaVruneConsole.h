#pragma once
// The device console: the one place that knows where the unit is in its dialogue, what its root
// menu offers and what may be typed to it. A key goes out only when the unit waits at a prompt:
// what it printed ends in a whole question of a form the tool knows and the line has stayed quiet
// for a few character times, or in a question it does not know and the line has stayed quiet for
// as long as it can pause.
// Every answer is checked: the echo of what was typed comes first, then the unit's next prompt.
// Whatever else comes is off script, and the caller leaves without storing. The commands that
// move the unit between its root menu, Setup Mode and out of it are the console's own.

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "AfComPort.h"
#include "uCommunicationUtils.h"
#include "uKaVruneUnitWords.h"

// What the line has shown of its timing so far. Where a question ends is known from its form,
// never from a pause; the pauses say only how long a question the tool does not know must be
// waited out, since a line that hands bytes over in packets (a USB adapter) or a unit that
// pauses inside its lines may go on after any of them.
struct TLineTiming {
  int LongestPauseMs = 0;   // inside a line, anywhere, dump included, since the port opened
  // The longest pause, those of an answer under way (more) counted as well.
  int Longest(const std::vector<int>& more = {}) const {
    int ms = LongestPauseMs;
    for (const int m : more) ms = std::max(ms, m);
    return ms;
  }
  int SlowestAnswerMs = 0;  // the longest the device took to begin an answer
  bool LoopsBack = false;   // the line brought back a copy of keys sent: every echo must hold it
};

// The quiet after a whole known question, before the key goes out: a few character times.
constexpr int SettleChars = 6;
constexpr int SettleFloorMs = 8;
// A question the tool does not know waits at least twice a USB adapter's latency timer, the
// longest it holds received bytes back, and a character beyond it.
constexpr int LatencyTimerMs = 16;
// The beginning of a known question is answered, for a unit that stops there, only after this
// long: several times an adapter's packet gap and the pauses units make inside a question.
constexpr int PartWaitMs = 100;
// The longest pause inside a line that counts as one of the line's own.
constexpr int LongestLinePauseMs = 250;

// The first byte of a menu's answer is awaited this long.
constexpr int AnswerTimeoutMs = 1000;

// A line that never falls silent must not hold the port (and the window's Open/Close) for ever:
// the way to the root menu listens to a unit that talks on for this long at most. A dump at 9600
// baud takes little more than two seconds.
constexpr int WayTalkLimitMs = 15000;

// Where the unit is in its dialogue, as far as what it printed shows.
enum class TUnitState {
  Unknown,        // not heard in Setup Mode since the port opened
  Offering,       // it restarted: its banner, and its offer of Setup Mode (at a boot or a restart)
  Printing,       // it prints its dump on the way to its root menu
  AtRootMenu,     // it waits at its root prompt
  InSectionMenu,  // in Setup Mode away from its root menu: in a menu's questions, or where is not sure
  LeftSetupMode,  // it confirmed leaving Setup Mode without storing
  Restarting,     // it confirmed a store and restarts
};

// One way to the root menu: how it is gone, and what the unit printed on it.
struct TRootWay {
  std::function<bool()> Stop;  // asked before every exchange; true ends the way at once
  int ListenMs = 1000;         // how long a unit that says nothing is listened to
  // How long the way listens before it presses Enter: a unit that is booting prints its offer
  // meanwhile, and an Enter into its banner may be taken or not.
  int ListenFirstMs = 250;
  bool DumpWanted = true;  // false: the root menu without a dump will do
  // Called as the lines of a dump come in, with the number of whole lines since its heading.
  std::function<void(int lines)> DumpLines;
  std::string Heard;  // everything the unit said on the way
};

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
  // this console's, and what the reply shows of the line and of the unit is learnt.
  TPromptReply Exchange(const std::string& keys, TPromptWait wait);
  // The quiet after what the unit printed as it ends now (the echo left out), with what the answer
  // so far shows of the line: a few character times after a whole question of the menu the unit
  // is in; after one the tool does not know, as long as the line has paused inside its lines
  // (UnknownWaitMs); after the beginning of a known one, at least the silence gap as well.
  int SettleAfter(const std::string& own, const TPromptReply& sofar) const;
  // As long as this line can pause inside a line, with a margin; never less than two of a USB
  // adapter's packet gaps and a character.
  int UnknownWaitMs(const TPromptReply& sofar = {}) const;
  // The questions the unit may ask now: a walk names its menu's (MenuQuestions) for its length;
  // elsewhere any menu's. The root menu's prompt is always one of them.
  void SetQuestions(const std::vector<std::string>* forms) { questions_ = forms; }
  TAfCustomSerialPort* Port() const { return port_; }

  // Where the unit is; callable from any thread.
  TUnitState State() const { return state_; }
  bool AtRootMenu() const { return state_ == TUnitState::AtRootMenu; }
  // It has begun its dump or shown a menu and was not seen to leave Setup Mode since: whoever
  // gives up, even during the first printout, still owes it an exit.
  bool InSetupMode() const {
    const TUnitState s = state_;
    return s == TUnitState::Printing || s == TUnitState::AtRootMenu || s == TUnitState::InSectionMenu;
  }
  // It confirmed leaving Setup Mode and has not been seen in it since: an exit has nothing to do.
  bool LeftSetupMode() const { return state_ == TUnitState::LeftSetupMode; }
  // A new port, or another unit on it: nothing is known of it.
  void Reset();
  // The dialogue broke off (an error, a closed port): the unit is no longer taken to be at its
  // root menu.
  void LoseTrack();
  // The entries of the unit's root menu as it printed them last (empty until it did).
  TMenuMap MenuMap() const;

  // Brings the unit to its root menu from wherever it is. It listens first; it presses Enter
  // only where the unit waits (quiet after its offer, a question or its root prompt) or stays
  // silent; it keeps the values of a question it finds open, and presses Enter at the root menu
  // only when the unit has not printed its dump on the way there (and a dump is wanted). A unit
  // that takes an Enter pressed into its banner prints its dump straight after the offer: no
  // second Enter follows, and a second printout that comes all the same is read to its end.
  // Gives up when the unit stays silent for way.ListenMs, or talks for ever without showing the
  // menu. True when it waits at its root menu.
  bool EnterRootMenu(TRootWay& way);
  // At the root menu: leaves Setup Mode without storing; nothing is typed elsewhere, nor to a
  // unit whose menu offers no such entry. True when the unit answered; LeftSetupMode() tells
  // whether it confirmed.
  bool ExitWithoutStoring();
  // From wherever the unit is: to its root menu with Enter (which keeps each value), then out
  // of Setup Mode without storing. True when the unit confirmed.
  bool LeaveWithoutStoring(const std::function<bool()>& stop);
  // At the root menu: stores and leaves Setup Mode. True only on the unit's own confirmation.
  // What the unit prints with it in the same read (a unit that restarts at once: its banner and
  // offer) is read on to where it waits, and the next way to the root menu begins there.
  bool Store();
  // At the root menu: restores the unit's defaults (not stored). True when it took the key and
  // shows its root menu again.
  bool Defaults();

 private:
  void Set(TUnitState state);
  bool WayToRootMenu(TRootWay& way);
  // What an exchange shows of where the unit is.
  void Observe(const std::string& own, bool atPrompt);
  // Where the echo of typed keys ends in text, as this line echoes (DeviceEchoEnd).
  size_t EchoEnd(const std::string& text, const std::string& typed) const;
  std::string CommandKey(TMenuEntry entry) const;

  // What an answer heard of the unit's restart (after its store's confirmation, or inside a menu:
  // its banner, perhaps its offer), for the next way to the root menu to begin with, so that an
  // offer that came in the same read is answered while it is open. AtPrompt: the unit waits at
  // its end, the line quiet.
  struct TCarried {
    std::string Text;
    bool AtPrompt = false;
  };

  TAfCustomSerialPort* port_;
  TLineTiming& timing_;
  TCarried carried_;  // the worker thread's, as every exchange
  const std::vector<std::string>* questions_ = nullptr;  // null: any menu's
  std::atomic<TUnitState> state_{TUnitState::Unknown};
  mutable std::mutex menuLock_;
  TMenuMap menuMap_;
};
