#include "uCommunicationUtils.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>

#include "AfComPort.h"

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

}  // namespace

size_t DeviceEchoEnd(const std::string& reply, const std::string& keys) {
  std::string shown;
  for (char c : keys)
    if (c != '\r' && c != '\n') shown += c;
  auto deviceEchoes = [](char got, char typed) {
    const auto t = static_cast<unsigned char>(typed);
    if (got == typed) return true;
    if (got == '*' && t >= 0x20 && t != 0x7F) return true;
    return std::isalpha(t) && std::toupper(static_cast<unsigned char>(got)) == std::toupper(t);
  };
  size_t device = 0, line = 0, i = 0;
  for (; i < reply.size(); ++i) {
    if (device < shown.size() && deviceEchoes(reply[i], shown[device])) ++device;
    else if (line < keys.size() && reply[i] == keys[line]) ++line;
    else break;
  }
  return device == shown.size() ? i : std::string::npos;
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
  const auto silence = Ms(SilenceGapMs(port));
  const auto settle = Ms(std::max(wait.SettleMs, 0));
  auto deadline = firstAnswer;
  auto lastByte = start;
  bool waiting = false, atEnding = false;

  for (;;) {
    if (port->InputCount() > 0) {
      const auto now = Clock::now();
      if (r.Text.empty()) {
        r.FirstByteMs =
            static_cast<int>(std::max<int64_t>(0, std::chrono::duration_cast<Ms>(now - start - sending).count()));
      } else if (r.Text.back() != '\r' && r.Text.back() != '\n') {
        // A pause inside a line; one right after a prompt ending is one a settle must outlast.
        const int gap = static_cast<int>(std::chrono::duration_cast<Ms>(now - lastByte).count());
        r.LongestGapMs = std::max(r.LongestGapMs, gap);
        r.PausesMs.push_back(gap);
        if (atEnding) r.PromptPausesMs.push_back(gap);
      }
      r.Text += port->ReadString();
      lastByte = now;
      const size_t echo = text.empty() ? 0 : DeviceEchoEnd(r.Text, text);
      const std::string own = echo == std::string::npos ? r.Text : r.Text.substr(echo);
      atEnding = !own.empty() && EndsAtPrompt(own);
      waiting = atEnding || (!own.empty() && wait.AlsoWaitsAt && wait.AlsoWaitsAt(r.Text));
      const auto quiet = [&] { return wait.SettleAfter ? Ms(std::max(wait.SettleAfter(own, r), 0)) : settle; };
      deadline = waiting ? lastByte + quiet() : std::max(firstAnswer, lastByte + silence);
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
