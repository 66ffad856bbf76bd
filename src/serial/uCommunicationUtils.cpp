#include "uCommunicationUtils.h"

#include <chrono>
#include <cmath>
#include <thread>

#include "AfComPort.h"

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

enum class Kind { Collect, ExpectAny };

bool ContainsAny(const std::string& reply, const std::vector<std::string>& expected) {
  for (const auto& e : expected)
    if (!e.empty() && reply.find(e) != std::string::npos) return true;
  return false;
}

// One exchange. Deadlines run on a monotonic clock, so they never wrap; besides the silence
// window an exchange ends after ExchangeMaxMs or ExchangeMaxBytes, so a line that never falls
// silent cannot hold the caller for ever.
void Exchange(Kind kind, TAfCustomSerialPort* port, const std::string& text, int timeoutMs,
              const TContinuePredicate& keepWaiting, const std::vector<std::string>* expected,
              TPurgeSet purge, std::string& reply) {
  reply.clear();
  if (!port || !port->Active()) return;
  if (purge.Input) port->PurgeInput();
  if (purge.Output) port->PurgeOutput();
  std::this_thread::yield();

  const double c = CharTime(port);
  if (!text.empty()) port->WriteData(text.data(), static_cast<int>(text.size()));

  const auto start = Clock::now();
  const auto hardStop = start + Ms(ExchangeMaxMs);
  auto deadline = start + Ms(std::max(timeoutMs, 0)) + Ms(static_cast<int64_t>(std::ceil(text.size() * c)));
  const auto silence = Ms(static_cast<int64_t>(std::ceil(5 * c)) + (kind == Kind::Collect ? 150 : 100));

  for (;;) {
    // Wakes as soon as bytes arrive, at the latest after 1 ms.
    port->WaitForInput(1);
    if (port->InputCount() > 0) {
      reply += port->ReadString();
      deadline = Clock::now() + silence;
    }
    const auto now = Clock::now();
    if (kind == Kind::ExpectAny) {
      if (ContainsAny(reply, *expected) || now > deadline) break;
    } else {
      if (now > deadline) break;
      if (keepWaiting && !keepWaiting(reply)) break;
    }
    if (now > hardStop || reply.size() >= ExchangeMaxBytes) break;
    if (!port->Active()) break;  // closed under us: nothing more will come
  }
  if (kind == Kind::Collect) std::this_thread::sleep_for(Ms(10));
}

}  // namespace

void SendAndCollect(TAfCustomSerialPort* port, const std::string& text, int timeoutMs,
                    const TContinuePredicate& keepWaiting, TPurgeSet purge, std::string& reply) {
  Exchange(Kind::Collect, port, text, timeoutMs, keepWaiting, nullptr, purge, reply);
}

void SendAndExpectAny(TAfCustomSerialPort* port, const std::string& text, int timeoutMs,
                      const std::vector<std::string>& expected, TPurgeSet purge, std::string& reply) {
  Exchange(Kind::ExpectAny, port, text, timeoutMs, nullptr, &expected, purge, reply);
}

void SendAndExpect(TAfCustomSerialPort* port, const std::string& text, int timeoutMs,
                   const std::string& expected, TPurgeSet purge, std::string& reply) {
  SendAndExpectAny(port, text, timeoutMs, std::vector<std::string>{expected}, purge, reply);
}

bool LineIncomplete(const std::string& reply) { return reply.empty() || reply.back() != '\r'; }

double CharTime(const TAfCustomSerialPort* port) {
  const uint32_t baud = port ? port->NumericBaudRate() : 0;
  return baud > 0 ? 10000.0 / baud : 0.0;
}
