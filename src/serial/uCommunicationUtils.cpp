#include "uCommunicationUtils.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <vector>

#include "AfComPort.h"

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

}  // namespace

namespace {

// Where the reply's echo of keys ends: the device's echo alone, and the device's echo with the
// line's whole copy of the keys interleaved with it in any way; npos for one the reply does not
// begin with. Every interleaving is tried, so a copy that comes whole before the device's echo
// is never taken for that echo.
struct TEchoEnds {
  size_t Alone = std::string::npos, WithCopy = std::string::npos;
};

TEchoEnds EchoEnds(const std::string& reply, const std::string& keys) {
  std::string shown;
  for (char c : keys)
    if (c != '\r' && c != '\n') shown += c;
  auto deviceEchoes = [](char got, char typed) {
    const auto t = static_cast<unsigned char>(typed);
    if (got == typed) return true;
    if (got == '*' && t >= 0x20 && t != 0x7F) return true;
    return std::isalpha(t) && std::toupper(static_cast<unsigned char>(got)) == std::toupper(t);
  };
  // reached[d][l]: the first d + l bytes are d of the device's echo and l of the copy.
  const size_t devices = shown.size(), copies = keys.size();
  std::vector<std::vector<bool>> reached(devices + 1, std::vector<bool>(copies + 1, false));
  reached[0][0] = true;
  for (size_t d = 0; d <= devices; ++d)
    for (size_t l = 0; l <= copies; ++l) {
      if (!reached[d][l] || d + l >= reply.size()) continue;
      const char got = reply[d + l];
      if (d < devices && deviceEchoes(got, shown[d])) reached[d + 1][l] = true;
      if (l < copies && got == keys[l]) reached[d][l + 1] = true;
    }
  TEchoEnds ends;
  if (reached[devices][0]) ends.Alone = devices;
  if (reached[devices][copies]) ends.WithCopy = devices + copies;
  return ends;
}

}  // namespace

namespace {

// The unit has printed text of its own after the echo of the keys.
bool OwnTextBegun(const std::string& reply, const std::string& keys, bool loopsBack) {
  if (keys.empty()) return true;
  const size_t echo = DeviceEchoEnd(reply, keys, loopsBack);
  return echo != std::string::npos && echo < reply.size();
}

}  // namespace

size_t DeviceEchoEnd(const std::string& reply, const std::string& keys, bool loopsBack) {
  const TEchoEnds ends = EchoEnds(reply, keys);
  return ends.WithCopy != std::string::npos ? ends.WithCopy : loopsBack ? std::string::npos : ends.Alone;
}

bool LoopedBack(const std::string& reply, const std::string& keys) {
  // Only keys with a printable key and a line end tell: a device alone never follows its echo
  // with the very keys again.
  const bool printable = keys.find_first_not_of("\r\n") != std::string::npos;
  return printable && keys.find('\r') != std::string::npos && EchoEnds(reply, keys).WithCopy != std::string::npos;
}

bool EndsAtPrompt(const std::string& text) {
  const size_t last = text.find_last_not_of(' ');
  if (last == std::string::npos || text.size() - last - 1 > 2) return false;
  const char c = text[last];
  return c == '?' || c == ')' || c == ':';
}

TPromptReply SendAndAwaitPrompt(TAfCustomSerialPort* port, const std::string& keys, const TPromptWait& wait) {
  TPromptReply r;
  if (!port || !port->Active()) return r;
  // A byte that came since the last exchange means the device did not wait after all: nothing
  // is typed, and the caller gets what it says instead.
  std::string text = keys;
  if (!text.empty() && port->InputCount() > 0) {
    r.NotTyped = true;
    text.clear();
  }
  if (!text.empty()) port->WriteData(text.data(), static_cast<int>(text.size()));

  const double c = CharTime(port);
  const auto start = Clock::now();
  const auto hardStop = start + Ms(ExchangeMaxMs);
  const auto sending = Ms(static_cast<int64_t>(std::ceil(static_cast<double>(text.size()) * c)));
  const auto firstAnswer = start + sending + Ms(std::max(wait.FirstAnswerMs, 0));
  const auto silence = Ms(std::max(SilenceGapMs(port), wait.SilenceMs));
  const auto settle = Ms(std::max(wait.SettleMs, 0));
  auto deadline = firstAnswer;
  auto lastByte = start;
  bool waiting = false;

  for (;;) {
    if (port->InputCount() > 0) {
      const auto now = Clock::now();
      if (r.Text.empty()) {
        r.FirstByteMs =
            static_cast<int>(std::max<int64_t>(0, std::chrono::duration_cast<Ms>(now - start - sending).count()));
      } else if (r.Text.back() != '\r' && r.Text.back() != '\n' && OwnTextBegun(r.Text, text, wait.LoopsBack)) {
        // A pause inside a line of the unit's own: the one between the echo of a key and the
        // answer is the unit at work (a store takes its time), not its line.
        const int gap = static_cast<int>(std::chrono::duration_cast<Ms>(now - lastByte).count());
        r.LongestGapMs = std::max(r.LongestGapMs, gap);
        r.PausesMs.push_back(gap);
      }
      r.Text += port->ReadString();
      lastByte = now;
      const size_t echo = text.empty() ? 0 : DeviceEchoEnd(r.Text, text, wait.LoopsBack);
      const std::string own = echo == std::string::npos ? r.Text : r.Text.substr(echo);
      const bool printsOn = !own.empty() && wait.PrintsOnAt && wait.PrintsOnAt(own);
      waiting = (!own.empty() && EndsAtPrompt(own) && !printsOn) || (!own.empty() && wait.AlsoWaitsAt && wait.AlsoWaitsAt(r.Text));
      const auto quiet = [&] { return wait.SettleAfter ? Ms(std::max(wait.SettleAfter(own, r), 0)) : settle; };
      // A line that pauses inside its lines for longer than the silence gap has not fallen silent.
      const auto quietEnough = std::max(silence, Ms(r.LongestGapMs + (r.LongestGapMs + 3) / 4 + 2));
      const auto lull = printsOn ? std::max(quietEnough, Ms(std::max(wait.FirstAnswerMs, 0))) : quietEnough;
      deadline = waiting ? lastByte + quiet() : std::max(firstAnswer, lastByte + lull);
      if (wait.KeepWaiting && !wait.KeepWaiting(r.Text)) break;
      if (r.Text.size() >= ExchangeMaxBytes) break;
    }
    const auto now = Clock::now();
    if (now >= deadline) {
      r.AtPrompt = waiting;
      break;
    }
    if (now >= hardStop || !port->Active()) break;
    const auto left = std::chrono::duration_cast<Ms>(std::min(deadline, hardStop) - now) + Ms(1);
    port->WaitForInput(static_cast<int>(left.count()));
  }
  return r;
}

double CharTime(const TAfCustomSerialPort* port) {
  const uint32_t baud = port ? port->NumericBaudRate() : 0;
  return baud > 0 ? 10000.0 / baud : 0.0;
}

int SilenceGapMs(const TAfCustomSerialPort* port) {
  return std::max(SilenceFloorMs, static_cast<int>(std::ceil(SilenceChars * CharTime(port))));
}
