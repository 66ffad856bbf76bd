#include "uKaVruneConsole.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <memory>
#include <optional>
#include <utility>

#include "uCommunicationUtils.h"
#include "uKaVruneQuestions.h"
#include "uKaVruneUtils.h"

namespace {

using Clock = std::chrono::steady_clock;

// How long the answer to a command that ends a write (store, defaults, exit) is awaited. The
// unit answers at once, but a loaded PC or a USB adapter can hold the answer back past a tenth
// of a second, and a late confirmation is still one: reporting a stored write as failed would
// be wrong. An answer that comes ends the wait, so only a silent unit costs the time.
constexpr int ConfirmTimeoutMs = 1000;

constexpr auto TalkLimit = std::chrono::milliseconds(WayTalkLimitMs);
// Enter pressed at prompts on the way to the root menu: more than the longest menu asks.
constexpr int MaxEnters = 60;

// The words and the line they end: what comes after them (the restart's banner) is not theirs.
std::function<bool(const std::string&)> LineSaying(bool (*says)(const std::string&)) {
  return [says](const std::string& text) {
    const size_t end = text.find_last_of("\r\n");
    return end != std::string::npos && says(text.substr(0, end));
  };
}

// Where what the unit printed since its last mark of the dialogue begins: the line after its
// root prompt, its dump's heading or its store's confirmation, whichever came last; 0 when it
// printed none of them. A restart's banner and offer come after all of them.
size_t AfterLastMark(const std::string& own) {
  size_t from = 0;
  for (const size_t at : {own.rfind(MenuPrompt), own.rfind(DumpHeading), FindStoreConfirmation(own)}) {
    if (at == std::string::npos) continue;
    const size_t end = own.find_first_of("\r\n", at);
    from = std::max(from, end == std::string::npos ? own.size() : end + 1);
  }
  return from;
}

// The unit's words and the line they end, and nothing else with them in the same read. Anything
// that came along (a unit that restarts at once prints its banner and offer right behind) is read
// on to where the unit waits or falls silent, for up to limitMs after the words' line.
std::function<bool(const std::string&)> LineSayingAlone(bool (*says)(const std::string&), int limitMs) {
  auto since = std::make_shared<std::optional<Clock::time_point>>();
  return [says, limitMs, since](const std::string& text) {
    size_t end = std::string::npos;
    for (size_t at = text.find_first_of("\r\n"); at != std::string::npos; at = text.find_first_of("\r\n", at + 1))
      if (says(text.substr(0, at))) {
        end = at;
        break;
      }
    if (end == std::string::npos) return false;
    if (!*since) *since = Clock::now();
    return text.find_first_not_of("\r\n", end) == std::string::npos ||
           Clock::now() - **since > std::chrono::milliseconds(limitMs);
  };
}

// What the unit's output so far asks of the way to the root menu.
enum class TCue { None, DumpDone, MenuWithoutDump, Offer, Question };

TCue Cue(const std::string& heard, size_t handled) {
  const size_t menu = heard.rfind(MenuPrompt);
  const size_t heading = heard.rfind(DumpHeading);
  if (menu != std::string::npos && menu >= handled) {
    if (heading != std::string::npos && heading < menu) return TCue::DumpDone;
    return TCue::MenuWithoutDump;
  }
  // A dump under way may hold any text, a "?" in a value as well: it is waited for.
  if (heading != std::string::npos && heading >= handled) return TCue::None;
  if (FindSetupOffer(heard, handled) != std::string::npos) return TCue::Offer;
  // A question left open (a walk broken off), or one number of an address.
  const size_t last = heard.find_last_not_of(' ');
  if (last != std::string::npos && last >= handled && EndsAtPrompt(heard)) return TCue::Question;
  return TCue::None;
}

// What an answer shows of the line's pauses and of its echo.
void Learn(TLineTiming& t, const std::string& keys, const TPromptReply& reply) {
  t.LongestPauseMs = t.Longest(reply.PausesMs);
  const std::string typed = reply.NotTyped ? std::string() : keys;
  if (!typed.empty() && LoopedBack(reply.Text, typed)) t.LoopsBack = true;
}

}  // namespace

int TDeviceConsole::UnknownWaitMs(const TPromptReply& sofar) const {
  const double charMs = CharTime(port_);
  // A pause longer than this is no line's but the unit at work, or this machine held up.
  const int pause = std::min(timing_.Longest(sofar.PausesMs), LongestLinePauseMs);
  const int floor = 2 * LatencyTimerMs + static_cast<int>(std::ceil(charMs)) + 1;
  // A quarter more than the longest pause, a character and the clock's millisecond beyond it.
  return std::max(floor, pause + (pause + 3) / 4 + static_cast<int>(std::ceil(charMs)) + 1);
}

int TDeviceConsole::SettleAfter(const std::string& own, const TPromptReply& sofar) const {
#ifdef KAVRUNE_MUTANT_TYPE_AHEAD
  return 0;
#endif
  const double charMs = CharTime(port_);
  const int least = std::max(static_cast<int>(std::ceil(SettleChars * charMs)), SettleFloorMs);
  // The unit's offer is where it waits, and it keeps it open only briefly: a few character
  // times will do there, or on a line that hands bytes over in packets the gap between two, but
  // never the long silence gap, or a unit with a short offer closes it before the Enter comes.
  if (OffersSetupMode(own))
    return std::max(least, std::min(2 * timing_.Longest(sofar.PausesMs), SilenceFloorMs));
  switch (FitOfQuestion(own, questions_ ? *questions_ : AnyQuestions())) {
    case TQuestionFit::Whole: return least;
    // More of a known question is to come ("Change DHCP device name (not set) ? " before its
    // "(N) ? "): the unit prints on, however long the line pauses, unless it is a unit that
    // stops there (a shorter form of another firmware). That one is answered only after far
    // more than any pause of the line, and never before the silence gap.
    case TQuestionFit::Part: return std::max({UnknownWaitMs(sofar), SilenceGapMs(port_), PartWaitMs});
    case TQuestionFit::Unknown: break;
  }
  return std::max(least, UnknownWaitMs(sofar));
}

TPromptReply TDeviceConsole::Exchange(const std::string& keys, TPromptWait wait) {
  wait.SilenceMs = UnknownWaitMs();
  wait.LoopsBack = timing_.LoopsBack;
  wait.SettleAfter = [this](const std::string& own, const TPromptReply& sofar) { return SettleAfter(own, sofar); };
  // A menu's heading ends in ":" and the unit goes on with its menu, however long the line
  // pauses after it: Enter there would land in the menu.
  wait.PrintsOnAt = EndsAtMenuHeading;
  const TPromptReply reply = SendAndAwaitPrompt(port_, keys, wait);
  Learn(timing_, keys, reply);
  const size_t echo = EchoEnd(reply.Text, reply.NotTyped ? std::string() : keys);
  Observe(echo == std::string::npos ? reply.Text : reply.Text.substr(echo), reply.AtPrompt);
  return reply;
}

TDeviceConsole::TAnswer TDeviceConsole::Type(const std::string& keys, int firstAnswerMs,
                                             const std::function<bool(const std::string& text)>& said) {
  TPromptWait wait;
  wait.FirstAnswerMs = firstAnswerMs;
  // A unit that restarts offers Setup Mode again: that is where it waits now, and the caller
  // learns of it at once, while the offer is still open.
  wait.AlsoWaitsAt = OffersSetupMode;
  if (said) wait.KeepWaiting = [&said](const std::string& text) { return !said(text); };
  carried_ = {};
  const TPromptReply reply = Exchange(keys, wait);
  // Only answers to a device that waited tell how long it takes to answer.
  if (!keys.empty() && !reply.NotTyped) timing_.SlowestAnswerMs = std::max(timing_.SlowestAnswerMs, reply.FirstByteMs);

  TAnswer a;
  a.Heard = reply.Text;
  a.NotTyped = reply.NotTyped;
  a.Silent = reply.Text.empty();
  a.AtPrompt = reply.AtPrompt;
  const size_t echo = EchoEnd(reply.Text, reply.NotTyped ? std::string() : keys);
  a.Echoed = echo != std::string::npos;
  a.Text = a.Echoed ? reply.Text.substr(echo) : reply.Text;
  // The unit restarted in this answer: what it printed of its restart is the next way's to the
  // root menu, which answers its offer at once where it waits there already.
  if (state_ == TUnitState::Offering || state_ == TUnitState::Restarting) {
    const size_t from = AfterLastMark(a.Text);
    if (a.Text.find_first_not_of("\r\n \t", from) != std::string::npos)
      carried_ = {a.Text.substr(from), reply.AtPrompt};
  }
  return a;
}

void TDeviceConsole::Set(TUnitState state) { state_ = state; }

size_t TDeviceConsole::EchoEnd(const std::string& text, const std::string& typed) const {
  return typed.empty() ? 0 : DeviceEchoEnd(text, typed, timing_.LoopsBack);
}

void TDeviceConsole::Reset() {
  Set(TUnitState::Unknown);
  carried_ = {};
  std::lock_guard guard(menuLock_);
  menuMap_ = TMenuMap();
}

void TDeviceConsole::LoseTrack() {
  if (AtRootMenu()) Set(TUnitState::InSectionMenu);
}

TMenuMap TDeviceConsole::MenuMap() const {
  std::lock_guard guard(menuLock_);
  return menuMap_;
}

std::string TDeviceConsole::CommandKey(TMenuEntry entry) const {
  const std::string key = MenuMap().Key(entry);
  return key.empty() ? key : key + EnterKey;
}

void TDeviceConsole::Observe(const std::string& own, bool atPrompt) {
  // The latest of the unit's marks tells where it is now: its root prompt, its dump, its offer
  // (a restart) or its store's confirmation.
  size_t latest = std::string::npos;
  TUnitState seen = state_;
  auto mark = [&](size_t at, TUnitState state) {
    if (at != std::string::npos && (latest == std::string::npos || at > latest)) {
      latest = at;
      seen = state;
    }
  };
  mark(own.rfind(MenuPrompt), atPrompt && AtRootPrompt(own) ? TUnitState::AtRootMenu : TUnitState::InSectionMenu);
  mark(own.rfind(DumpHeading), TUnitState::Printing);
  mark(FindLastSetupOffer(own), TUnitState::Offering);
  // Its banner alone shows a restart as well (its offer may come late, or be lost); not while a
  // dump under way holds the unit, whose lines may name it too.
  if (state_ != TUnitState::Printing) mark(FindLastBanner(own), TUnitState::Offering);
  mark(FindStoreConfirmation(own), TUnitState::Restarting);
  // None of them: a question it waits at puts it in a menu, unless a dump under way holds it.
  if (latest == std::string::npos && atPrompt && EndsAtPrompt(own) && state_ != TUnitState::Printing)
    seen = TUnitState::InSectionMenu;
  Set(seen);
}

bool TDeviceConsole::EnterRootMenu(TRootWay& way) {
  const bool reached = WayToRootMenu(way);
  if (!reached) LoseTrack();
  if (TMenuMap map = TMenuMap::FromRootMenu(way.Heard); !map.Empty()) {
    std::lock_guard guard(menuLock_);
    menuMap_ = std::move(map);
  }
  return AtRootMenu();
}

bool TDeviceConsole::WayToRootMenu(TRootWay& way) {
  way.Heard.clear();
  std::string& heard = way.Heard;
  // What the last answer heard of a restart comes first, as if this way had heard it.
  TCarried carried = std::exchange(carried_, {});
  size_t handled = 0;        // cues before this point have been acted on
  size_t handledBefore = 0;  // where handled was before the key that is to go out
  bool atOffer = false;      // the key that is to go out answers an offer
  std::string key;           // listen first
  bool listenedFirst = false;
  int enters = 0;
  size_t blindEnter = std::string::npos;  // where heard was when Enter went to a silent device
  bool offerAgain = false;                // an offer was answered again: its first Enter may yet be taken
  Clock::time_point offerEnter{};         // when the first Enter at an offer went out
  int enteringMs = 0;                     // how long the unit took from that Enter to its dump
  const auto start = Clock::now();
  auto talking = [&] { return Clock::now() - start < TalkLimit; };
  int linesTold = 0;
  auto tellLines = [&](const std::string& text) {
    const size_t heading = text.rfind(DumpHeading);
    if (!way.DumpLines || heading == std::string::npos) return;
    const int lines =
        static_cast<int>(std::count(text.begin() + static_cast<std::ptrdiff_t>(heading), text.end(), '\r'));
    if (lines != linesTold) way.DumpLines(linesTold = lines);
  };
  auto stopped = [&] { return way.Stop && way.Stop(); };
  TPromptWait wait;
  // A device that talks on (a line chattering) is listened to only until the caller stops.
  wait.KeepWaiting = [&](const std::string& reply) {
    // A dump under way shows the unit in Setup Mode at once, before its exchange ends, and before
    // its lines are told: whoever hears of them and gives up finds the unit owed an exit.
    const size_t dump = reply.rfind(DumpHeading), menu = reply.rfind(MenuPrompt);
    if (dump != std::string::npos && (menu == std::string::npos || menu < dump) && state_ != TUnitState::Printing)
      Set(TUnitState::Printing);
    tellLines(heard + reply);
    return talking() && !stopped();
  };
  // The offer has no prompt ending of its own, and some units end it with a line end: the unit
  // waits after it all the same. Its line may have begun in an earlier read.
  wait.AlsoWaitsAt = [&heard](const std::string& reply) { return OffersSetupMode(heard + reply); };

  while (port_ && port_->Active() && !stopped()) {
    wait.FirstAnswerMs = key.empty() && !listenedFirst ? way.ListenFirstMs : way.ListenMs;
    const bool fromCarried = !carried.Text.empty();
    TPromptReply reply;
    if (fromCarried) {
      reply.Text = std::move(carried.Text);
      reply.AtPrompt = carried.AtPrompt;
      carried = {};
    } else {
      const auto sent = Clock::now();
      if (atOffer && offerEnter == Clock::time_point{}) offerEnter = sent;
      reply = Exchange(key, wait);
      if (offerEnter != Clock::time_point{} && enteringMs == 0 && reply.FirstByteMs >= 0 &&
          reply.Text.find(DumpHeading) != std::string::npos)
        enteringMs = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(sent - offerEnter).count() + reply.FirstByteMs);
    }
    if (!key.empty() && !reply.NotTyped) ++enters;
    const bool typed = !key.empty() && !reply.NotTyped;
    if (!key.empty() && reply.NotTyped) {
      // The unit spoke first: the key did not go out, and what it answered is still to be acted on.
      handled = handledBefore;
      if (blindEnter == heard.size()) blindEnter = std::string::npos;
    }
    key.clear();
    heard += reply.Text;
    // An Enter at the offer answered only by the rest of the offer's own line (the end of its
    // words, its blank, its line end), and then the quiet of a prompt: it went in while the unit
    // still printed its offer, and was not taken. The offer is answered again while it is open.
    // A unit takes its time to enter Setup Mode, and an adapter may hand over the end of the offer's
    // line late, after the unit took the Enter: its dump is listened for first, as long as the
    // unit ever took to answer and more than the line pauses. A second Enter there would be typed
    // ahead, and answered with a second dump.
    if (typed && atOffer && reply.AtPrompt && OffersSetupMode(heard)) {
      const size_t offer = FindLastSetupOffer(heard);
      if (offer != std::string::npos && offer < handled) {
        TPromptWait late = wait;
        late.FirstAnswerMs = std::max({PartWaitMs, UnknownWaitMs(), 2 * timing_.SlowestAnswerMs});
        const TPromptReply more = Exchange("", late);
        heard += more.Text;
        reply.AtPrompt = more.Text.empty() || more.AtPrompt;
        if (more.Text.empty()) {
          handled = handledBefore;
          offerAgain = true;
        }
      }
    }
    atOffer = false;
    if (reply.Text.empty()) {
      // Silent: a device at its root menu or in a question says nothing until a key comes.
      if (!listenedFirst && !typed) {
        listenedFirst = true;
        key = EnterKey;
        handledBefore = handled;
        handled = heard.size();
        if (blindEnter == std::string::npos) blindEnter = heard.size();
        continue;
      }
      return false;  // not in Setup Mode now, the caller tries again later
    }
    // A restart heard before this way began and not yet at its offer: its offer is still awaited
    // as long as a way listens first.
    if (!fromCarried || reply.AtPrompt) listenedFirst = true;
    if (!reply.AtPrompt) {
      if (!talking() || stopped()) return false;
      continue;  // it went quiet in the middle of a line, or is still talking: listen on
    }
    switch (Cue(heard, handled)) {
      case TCue::DumpDone: {
        // Each Enter may have been answered with a dump. While fewer dumps came than Enters
        // went out, one may still be on its way: it is read to its end, and the newest counts.
        const auto dumps = [&] {
          int n = 0;
          for (size_t p = heard.find(DumpHeading); p != std::string::npos; p = heard.find(DumpHeading, p + 1)) ++n;
          return n;
        };
        // Only an Enter that went to a silent device may have reached one that was booting,
        // and been taken before its offer; or one at an offer answered again, taken late.
        const bool offerAfterBlindEnter =
            blindEnter != std::string::npos && FindSetupOffer(heard, blindEnter) != std::string::npos;
        if ((offerAfterBlindEnter || offerAgain) && dumps() < enters) {
          // A second Enter is answered as late as the first was, once the menu is out.
          TPromptWait late = wait;
          late.FirstAnswerMs = std::max({SilenceGapMs(port_), 2 * timing_.SlowestAnswerMs, UnknownWaitMs(),
                                         enteringMs + enteringMs / 4 + PartWaitMs});
          const TPromptReply more = Exchange("", late);
          heard += more.Text;
          if (!more.Text.empty()) {
            handled = heard.size() - more.Text.size();
            if (!more.AtPrompt || Cue(heard, handled) != TCue::DumpDone) continue;
          }
        }
        return true;
      }
      case TCue::MenuWithoutDump:
        // The device is at the root menu but printed no dump since the last one we heard:
        // Enter there prints it.
        if (!way.DumpWanted) return true;
        key = EnterKey;
        break;
      case TCue::Offer:
        key = EnterKey;
        atOffer = true;
        break;
      case TCue::Question: key = EnterKey; break;
      case TCue::None:
        if (!talking()) return false;
        break;  // more is coming: a banner, a dump under way
    }
    if (!key.empty()) {
      if (enters >= MaxEnters) return false;
      handledBefore = handled;
      handled = heard.size();
    }
  }
  return false;
}

bool TDeviceConsole::ExitWithoutStoring() {
  // Its key anywhere but at the root menu would be taken as an answer. A unit whose menu offers
  // no way out without storing is not typed into: any other entry might store or restore.
  const std::string exit = CommandKey(TMenuEntry::ExitWithoutSave);
  if (!AtRootMenu() || exit.empty()) return false;
  const TAnswer a = Type(exit, ConfirmTimeoutMs, LineSaying(SaysLeftWithoutSaving));
  if (SaysLeftWithoutSaving(a.Heard)) Set(TUnitState::LeftSetupMode);
  else LoseTrack();
  return !a.Silent;
}

bool TDeviceConsole::LeaveWithoutStoring(const std::function<bool()>& stop) {
  // At the root menu already, Enter would only print the dump.
  if (!AtRootMenu()) {
    TRootWay way;
    way.Stop = stop;
    way.DumpWanted = false;
    EnterRootMenu(way);
  }
  if (!(stop && stop())) ExitWithoutStoring();
  return LeftSetupMode();
}

bool TDeviceConsole::Store() {
  const std::string save = CommandKey(TMenuEntry::SaveAndExit);
  if (!AtRootMenu() || save.empty()) return false;
  // Only the unit's own words count as stored: any other answer may mean it did not. What came
  // with them is read on (a unit that restarts at once): Type keeps it for the way that checks.
  const TAnswer a = Type(save, ConfirmTimeoutMs, LineSayingAlone(SaysStored, ConfirmTimeoutMs));
  if (!SaysStored(a.Text)) LoseTrack();
  return a.Echoed && SaysStored(a.Text);
}

bool TDeviceConsole::Defaults() {
  const std::string key = CommandKey(TMenuEntry::Defaults);
  if (!AtRootMenu() || key.empty()) return false;
  // The unit restores and shows its root menu again, some units with the dump before it.
  const TAnswer a = Type(key, ConfirmTimeoutMs);
  const bool ok = a.Ok() && AtRootPrompt(a.Text);
  if (!ok) LoseTrack();
  return ok;
}
