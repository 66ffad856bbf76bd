#include "uKaVruneConsole.h"

#include <algorithm>
#include <cmath>

#include "uCommunicationUtils.h"
#include "uKaVruneDumpReader.h"
#include "uKaVruneUtils.h"

int TDeviceConsole::SettleMs() const {
#ifdef KAVRUNE_MUTANT_TYPE_AHEAD
  return 0;
#endif
  const int chars = static_cast<int>(std::ceil(SettleChars * CharTime(port_)));
  // A pause the line has shown inside a line may come again just after a ")" or ":" that is
  // not yet the end of the prompt: twice the longest seen is waited out, up to the silence gap.
  const int learned = std::min(2 * timing_.LongestGapMs, SilenceGapMs(port_));
  return std::max({chars, SettleFloorMs, learned});
}

TPromptReply TDeviceConsole::Exchange(const std::string& keys, TPromptWait wait) {
  wait.SettleMs = SettleMs();
  const TPromptReply reply = SendAndAwaitPrompt(port_, keys, wait);
  // Older pauses count less with every answer, so one hiccup does not slow the rest of a walk.
  timing_.LongestGapMs = std::max(timing_.LongestGapMs * 7 / 8, reply.LongestGapMs);
  return reply;
}

TDeviceConsole::TAnswer TDeviceConsole::Type(const std::string& keys, int firstAnswerMs,
                                             const std::function<bool(const std::string& text)>& said) {
  TPromptWait wait;
  wait.FirstAnswerMs = firstAnswerMs;
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
