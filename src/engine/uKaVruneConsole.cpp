#include "uKaVruneConsole.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>

#include "uCommunicationUtils.h"
#include "uKaVruneDumpReader.h"
#include "uKaVruneUtils.h"
#include "uTextUtils.h"

namespace {

// The prompt ending a text stops at: "?", ")" or ":" and the blanks after it, as an index of
// TLineTiming's; -1 when it stops at none.
int EndingOf(const std::string& text) {
  if (!EndsAtPrompt(text)) return -1;
  const size_t last = text.find_last_not_of(' ');
  const char c = text[last];
  return (c == '?' ? 0 : c == ')' ? 3 : 6) + static_cast<int>(text.size() - last - 1);
}

// What an answer shows of where the unit pauses and where its prompts end.
void Learn(TLineTiming& t, const std::string& keys, const TPromptReply& reply) {
  for (const int pause : reply.PausesMs) t.LinePauses.Add(pause);
  for (const int pause : reply.PromptPausesMs) t.PromptPauses.Add(pause);
  const std::string typed = reply.NotTyped ? std::string() : keys;
  const size_t echo = typed.empty() ? 0 : DeviceEchoEnd(reply.Text, typed);
  // Text before the echo of the keys, or text to no keys at all, after the unit seemed to wait:
  // it had not ended its prompt there.
  if (t.LastEnding >= 0 && !reply.Text.empty() && (typed.empty() || echo == std::string::npos))
    t.GoesOnAfter[static_cast<size_t>(t.LastEnding)] = true;
  const std::string own = echo == std::string::npos ? reply.Text : reply.Text.substr(echo);
  for (size_t i = 0; i < own.size(); ++i) {
    const int base = own[i] == '?' ? 0 : own[i] == ')' ? 3 : own[i] == ':' ? 6 : -1;
    if (base < 0) continue;
    for (size_t blanks = 0; blanks < 3 && i + blanks + 1 < own.size(); ++blanks) {
      if (blanks > 0 && own[i + blanks] != ' ') break;
      t.GoesOnAfter[static_cast<size_t>(base) + blanks] = true;
    }
  }
  t.LastEnding = reply.AtPrompt ? EndingOf(own) : -1;
  if (t.LastEnding >= 0) {
    int& waited = t.WaitedAt[static_cast<size_t>(t.LastEnding)];
    waited = std::min(waited + 1, 1000);
  }
}

}  // namespace

int TDeviceConsole::SettleAfter(const std::string& own, const TPromptReply& sofar) const {
#ifdef KAVRUNE_MUTANT_TYPE_AHEAD
  return 0;
#endif
  const double charMs = CharTime(port_);
  const int least = std::max(static_cast<int>(std::ceil(SettleChars * charMs)), SettleFloorMs);
  // An ending this unit has waited at again and again and never printed more after ends its
  // prompts: however its line pauses elsewhere, a few character times there will do.
  // Only a question's "?": a ")" or ":" is where a prompt often goes on (its value, then "?").
  auto ends = [this](int e) {
    return timing_.WaitedAt[static_cast<size_t>(e)] >= EndingTrusted && !timing_.GoesOnAfter[static_cast<size_t>(e)];
  };
  const int ending = EndingOf(own);
  if (ending >= 0 && ending < 3) {
    if (ends(ending)) return least;
    // Its "?" is out but not yet the blanks this unit ends its prompts with: it is still
    // printing, however long it pauses before them.
    for (int more = ending + 1; more < 3; ++more)
      if (ends(more)) return std::max(least, SilenceGapMs(port_));
  }
  // Elsewhere a prompt may go on after a ")" or ":" (or a "?" before its blank) that is not yet
  // its end, after a pause like those the unit made there before. Once 16 of those are known,
  // the longest of the newest is waited out, with a margin that shrinks from a quarter to an
  // eighth as the window fills, a character and the clock's millisecond beyond it: a line that
  // pauses anywhere spreads its pauses up to a bound the longest of many comes close to. Until
  // then, twice the longest of the newest pauses inside any line. The answer under way counts
  // at once, since the first one is the banner with the offer at its end.
  int learned = 2 * timing_.LinePauses.Longest(sofar.PausesMs);
  if (const int known = timing_.PromptPauses.Known(sofar.PromptPausesMs); known >= 16) {
    const int pause = timing_.PromptPauses.Longest(sofar.PromptPausesMs);
    learned = pause + (4 * pause + known - 1) / known + static_cast<int>(std::ceil(charMs)) + 1;
  }
  return std::max(least, std::min(learned, SilenceGapMs(port_)));
}

TPromptReply TDeviceConsole::Exchange(const std::string& keys, TPromptWait wait) {
  wait.SettleMs = SettleMs();
  wait.SettleAfter = [this](const std::string& own, const TPromptReply& sofar) { return SettleAfter(own, sofar); };
  const TPromptReply reply = SendAndAwaitPrompt(port_, keys, wait);
  Learn(timing_, keys, reply);
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
  const TPromptReply reply = Exchange(keys, wait);
  // Only answers to a device that waited tell how long it takes to answer.
  if (!keys.empty() && !reply.NotTyped) timing_.SlowestAnswerMs = std::max(timing_.SlowestAnswerMs, reply.FirstByteMs);

  TAnswer a;
  a.Heard = reply.Text;
  a.NotTyped = reply.NotTyped;
  a.Silent = reply.Text.empty();
  a.AtPrompt = reply.AtPrompt;
  const std::string typed = reply.NotTyped ? std::string() : keys;
  const size_t echo = typed.empty() ? 0 : DeviceEchoEnd(reply.Text, typed);
  a.Echoed = echo != std::string::npos;
  a.Text = a.Echoed ? reply.Text.substr(echo) : reply.Text;
  return a;
}

std::string LastLine(const std::string& text) {
  const size_t p = text.find_last_of("\r\n");
  return p == std::string::npos ? text : text.substr(p + 1);
}

bool AtRootPrompt(const std::string& text) { return Contains(LastLine(text), MenuPrompt); }

std::string PromptValue(const std::string& line) {
  const size_t close = line.rfind(')');
  if (close == std::string::npos) return {};
  const size_t open = line.rfind('(', close);
  if (open == std::string::npos) return {};
  return line.substr(open + 1, close - open - 1);
}

bool IsAddressPartPrompt(const std::string& line) {
  const size_t first = line.find_first_not_of(' ');
  if (first == std::string::npos || line[first] != '.') return false;
  const std::string rest = line.substr(first + 1);
  const size_t close = rest.find(')');
  if (rest.empty() || rest[0] != '(' || close == std::string::npos || close < 2) return false;
  for (size_t i = 1; i < close; ++i)
    if (rest[i] < '0' || rest[i] > '9') return false;
  return rest.find_first_not_of(' ', close + 1) == std::string::npos;
}

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// "press" then "enter", "return" or "<cr>", then "setup", in that order within one line.
bool OfferLine(const std::string& line) {
  const std::string l = Lower(line);
  const size_t press = l.find("press");
  if (press == std::string::npos) return false;
  size_t key = std::string::npos;
  for (const char* word : {"enter", "return", "<cr>"}) key = std::min(key, l.find(word, press + 5));
  return key != std::string::npos && l.find("setup", key) != std::string::npos;
}

}  // namespace

bool OffersSetupMode(const std::string& text) {
  const size_t last = text.find_last_not_of("\r\n \t");
  if (last == std::string::npos) return false;
  const size_t begin = text.find_last_of("\r\n", last);
  return OfferLine(text.substr(begin == std::string::npos ? 0 : begin + 1, last - (begin == std::string::npos ? 0 : begin + 1) + 1));
}

size_t FindSetupOffer(const std::string& text, size_t from) {
  // Lines that begin at or after from: the rest of a line already acted on is no new offer.
  size_t start = from;
  if (start > 0 && start <= text.size() && text[start - 1] != '\r' && text[start - 1] != '\n') {
    start = text.find_first_of("\r\n", start);
    if (start != std::string::npos) ++start;
  }
  while (start < text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    if (OfferLine(text.substr(start, end == std::string::npos ? std::string::npos : end - start))) return start;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return std::string::npos;
}

bool ShowsRestart(const std::string& text) { return FindSetupOffer(text) != std::string::npos; }

TMenuMap TMenuMap::FromRootMenu(const std::string& text) {
  TMenuMap map;
  const size_t prompt = text.rfind(MenuPrompt);
  if (prompt == std::string::npos) return map;
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < prompt; ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  lines.push_back(line);
  // Upwards from the prompt, over blank lines: the numbered entries; the first other line (a
  // heading, the dump) ends the menu.
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    const std::string l = Trim(*it);
    if (l.empty()) continue;  // CR LF, LF CR and blank lines alike
    const size_t digits = l.find_first_not_of("0123456789");
    if (digits == 0 || digits == std::string::npos) break;
    std::string label = l.substr(digits);
    const size_t first = label.find_first_not_of(" \t.:-)");
    if (first == 0 || first == std::string::npos) break;
    label = label.substr(first);
    const std::string key = l.substr(0, digits), words = Lower(label);
    std::optional<TMenuEntry> entry;
    if (Contains(words, "without")) entry = TMenuEntry::ExitWithoutSave;
    else if (Contains(words, "save") || Contains(words, "store")) entry = TMenuEntry::SaveAndExit;
    else if (Contains(words, "default")) entry = TMenuEntry::Defaults;
    else if (Contains(words, "channel 1") || Contains(words, "channel1")) entry = TMenuEntry::Channel1;
    else if (Contains(words, "channel 2") || Contains(words, "channel2")) entry = TMenuEntry::Channel2;
    else if (Contains(words, "wlan") || Contains(words, "wireless")) entry = TMenuEntry::Wlan;
    else if (Contains(words, "expert")) entry = TMenuEntry::Expert;
    else if (Contains(words, "security")) entry = TMenuEntry::Security;
    else if (Contains(words, "server")) entry = TMenuEntry::Server;
    // The first line upwards is the newest: an entry named twice keeps its lower line.
    if (entry && !map.keys_.count(*entry)) map.keys_[*entry] = {key, label};
  }
  return map;
}

std::string TMenuMap::Key(TMenuEntry entry) const {
  const auto it = keys_.find(entry);
  return it == keys_.end() ? std::string() : it->second.first;
}

std::string TMenuMap::Label(TMenuEntry entry) const {
  const auto it = keys_.find(entry);
  return it == keys_.end() ? std::string() : it->second.second;
}

namespace {
const std::pair<const char*, TMenuEntry> SectionMenus[] = {
    {"basic_parameters", TMenuEntry::Server}, {"Channel_1", TMenuEntry::Channel1}, {"Channel_2", TMenuEntry::Channel2},
    {"WLAN", TMenuEntry::Wlan},               {"Expert", TMenuEntry::Expert},      {"Security", TMenuEntry::Security}};
}  // namespace

std::vector<std::string> TMenuMap::SectionsOffered() const {
  std::vector<std::string> sections;
  for (const auto& [name, e] : SectionMenus)
    if (Has(e)) sections.emplace_back(name);
  return sections;
}

bool TMenuMap::EntryOfSection(const std::string& section, TMenuEntry& entry) {
  for (const auto& [name, e] : SectionMenus)
    if (section == name) {
      entry = e;
      return true;
    }
  return false;
}
