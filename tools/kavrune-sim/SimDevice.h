#pragma once
// The device's serial console: boot offer, Setup Mode root menu, dump and section menus. It is fed
// received bytes and the time, and queues what it prints; the program around it paces that output
// onto the line. Nothing here touches a descriptor, so tests can drive it directly.

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "SimModel.h"

enum class TSimFault {
  None,
  Silent,
  NoMenu,
  HangupMidDump,
  Noise,
  Chatter,
  RefuseAnswers,
  StoreUnconfirmed,
  RestartInWalk,    // restarts right after the FaultAfter-th key it takes inside a section menu
  NoReturn,         // stores on "9", says so, and is never heard of again until powered off and on
  CorruptDigit,     // the line changes one typed digit a walk: the first that follows another digit
  StatusLine,       // an asynchronous status line, and the prompt again, after the FaultAfter-th question
  WrongRootPrompt,  // "Press Enter to continue ? " between a section menu's last question and the root menu
  NoStoreEntry,     // a root menu without its "Save and exit" line; 9 still stores
  CutPrompt,        // the FaultAfter-th question comes without its ending, where the unit waits all the same
  WrongMenu,        // a section key opens the Server configuration menu, and 0 the Expert settings menu
  DumpInMenu,       // a section key prints the dump first, then the menu's questions
  // After its first dump since power-on and the root menu below it, "Press Enter to continue ? ",
  // where it waits; Enter there shows the root menu again.
  ContinueAfterDump,
  NoExitEntry,  // a root menu without its "Exit without save" line; 8 still leaves
  ExitIgnored,  // 8 is answered by the root menu again: the unit stays in Setup Mode
};

// Parses a --fault word; false when the word names no fault.
bool SimParseFault(std::string_view word, TSimFault& fault);

// Booting: the banner is out, its offer still to come (TSimProfile::OfferDelayMs).
enum class TSimMode { Off, Offer, DataMode, RootMenu, Question, Restarting, Chatter, Continue, Booting, Entering };

class TSimDevice final {
 public:
  using TClock = std::chrono::steady_clock;

  struct TOptions {
    TSimFault Fault = TSimFault::None;
    std::chrono::milliseconds BootWindow{3000};
    std::chrono::microseconds CharTime{0};  // time one character takes on the line; 0 when unpaced
    bool Echo = false;                      // the line echoes what it brings, ahead of the unit's answer
    TSimProfile Profile = {};               // how this unit prints and asks
    std::string Mac = "0200008F1C2E";       // twelve hex digits
    // An Enter that arrives while the banner is still going out is taken (else ignored).
    bool TakesEarlyEnter = false;
    // Keys are taken while the device's own text is still going out (else they are lost).
    bool TypeAhead = false;
    // The first byte of every answer to received input goes out this late.
    std::chrono::milliseconds Latency{0};
    // Where a fault strikes: the key of restart-in-walk, the question of status-line, counted
    // inside section menus from power-on.
    unsigned FaultAfter = 4;
    // Which digit corrupt-digit puts in place of the typed one.
    unsigned Seed = 1;
  };

  TSimDevice(TSimSettings stored, TOptions options);

  void PowerOn(TClock::time_point now);
  void PowerOff();
  void Receive(std::string_view bytes, TClock::time_point now);
  void Tick(TClock::time_point now);
  // When Tick next has something to do, if anything.
  std::optional<TClock::time_point> NextDeadline() const;

  // Output not yet on the line.
  const std::string& Pending() const { return m_Out; }
  void Consume(std::size_t count);
  // Number of pending bytes after which the line is to be hung up, if the device hangs up.
  std::optional<std::size_t> HangupAfter() const { return m_HangupAt; }
  void HangupDone() { m_HangupAt.reset(); }
  // Nothing pending goes out before this time: the device is still composing its answer.
  TClock::time_point HeldUntil() const { return m_HeldUntil; }
  // Number of pending bytes after which the line pauses (TSimProfile::HeadingPauseMs, PartPauseMs),
  // if it does, and for how long.
  std::optional<std::size_t> PauseAfter() const { return m_PauseAt; }
  std::chrono::milliseconds PauseLength() const { return m_PauseLength; }
  void PauseDone() { m_PauseAt.reset(); }
  // The pause is the adapter's: the unit itself has put that text out and takes keys meanwhile.
  bool PauseIsAdapters() const { return m_PauseIsAdapters; }
  // The line holds what is pending until then (a pause, a burst's gap): the device still prints.
  void LineHolds(TClock::time_point until) { m_LineHeldUntil = std::max(m_LineHeldUntil, until); }
  // The paced line would have put out all that is pending by then, had it kept its pace.
  void LineSchedule(TClock::time_point outBy) {
    m_OutBy = outBy;
    m_ScheduledEmits = m_Emits;
  }

  // A fault that comes or goes while the device runs; Silent takes effect at the next power-on.
  void SetFault(TSimFault fault) { m_Options.Fault = fault; }

  TSimMode Mode() const { return m_Mode; }
  const TSimSettings& Stored() const { return m_Stored; }
  const TSimSettings& Current() const { return m_Current; }

  // Called with the parameters on every store (choice 9); errors it raises are reported on the line.
  std::function<void(const TSimSettings&)> OnStore;
  // Called with a short event text for the transcript ("power-on", "setup mode", "store" ...).
  std::function<void(const std::string&)> OnEvent;

 private:
  // Text of the device's own, in the profile's line ends.
  void Emit(std::string_view text);
  // The echo of what was typed, which does not keep the device from listening.
  void Echo(std::string_view text);
  // Own text is still to go out: a key now is lost unless the device takes keys ahead.
  bool Printing(TClock::time_point now) const;
  void Event(const std::string& text);
  // The banner and the offer, as at power-on, or a warm start's offer alone (after a store, as
  // the profile has it): what was not stored is gone.
  void Boot(TClock::time_point now, bool warm = false);
  // The offer after the banner; it stays open for the unit's window.
  void Offer(TClock::time_point now);
  // A question has just been printed (or printed again).
  void PromptShown(TClock::time_point now);
  // The line pauses for ms once the pending output up to at is out.
  void PauseHere(std::size_t at, int ms, bool adapters = false);
  void RootMenuKey(char c, TClock::time_point now);
  void EnterSetupMode();
  void PrintDump();
  std::string DumpText();  // the listing of the settings, as PrintDump puts it before the root menu
  void PrintRootMenu();
  void RootMenuChoice(const std::string& choice, TClock::time_point now);
  void StartMenu(const TSimSectionInfo& info);
  void AskNext();
  void Ask();
  void ReAsk();
  void Accept(const std::string& value);
  void KeepAndNext();
  void QuestionInput(char c);
  void LineComplete();
  bool SingleCharacterStep() const;
  bool Raw() const { return m_Options.Profile.Echo == TSimEcho::Raw; }
  bool HexKeyStep() const;
  TSimSection& Section();
  const TSimSettingDef& Def() const;

  TSimSettings m_Stored;
  TSimSettings m_Current;
  TOptions m_Options;
  TSimMode m_Mode = TSimMode::Off;
  std::string m_Out;
  std::size_t m_OwnEnd = 0;  // pending bytes up to the end of the last own text
  TClock::time_point m_HeldUntil{};
  TClock::time_point m_LineHeldUntil{};
  TClock::time_point m_OutBy{};
  unsigned m_ScheduledEmits = 0;  // m_Emits when the line last scheduled what is pending
  std::optional<std::size_t> m_HangupAt;
  std::optional<std::size_t> m_PauseAt;
  std::chrono::milliseconds m_PauseLength{0};
  bool m_PauseIsAdapters = false;
  // Entering Setup Mode (TSimProfile::SetupDelayMs): when it does, and the keys that came meanwhile.
  TClock::time_point m_EnterAt{};
  std::string m_KeysWaiting;
  TClock::time_point m_WindowEnd{};
  TClock::time_point m_RestartAt{};
  TClock::time_point m_OfferAt{};  // Booting: when the offer follows the banner
  std::chrono::milliseconds m_OfferPause{0};  // the line's pause inside the coming offer
  bool m_ContinueShown = false;    // continue-after-dump has struck since power-on
  std::mt19937 m_Noise{20240611u};
  unsigned m_ChatterCount = 0;
  unsigned m_Emits = 0;      // texts of its own printed so far
  std::string m_LastPrompt;  // the last line of the latest own text: where the unit waits
  unsigned m_MenuKeys = 0;   // keys taken inside section menus since power-on
  unsigned m_Prompts = 0;    // questions printed since power-on
  bool m_Corrupted = false;  // corrupt-digit has struck in this walk
  std::optional<TClock::time_point> m_StatusDue;

  // Root menu and question walk.
  std::string m_Line;
  const TSimSectionInfo* m_Section = nullptr;
  std::size_t m_DefIndex = 0;
  TSimAnswers m_Answers;
  int m_Step = 0;
  std::vector<long> m_Parts;
  std::string m_Key;  // hex key digits typed so far
};
