#pragma once
// Exchanges with the device: send a short text (or nothing), then collect the reply until a
// stop condition holds or the line falls silent. Plain functions on the calling thread.

#include <functional>
#include <string>
#include <vector>

class TAfCustomSerialPort;

struct TPurgeSet {
  bool Input = false;
  bool Output = false;
};
constexpr TPurgeSet NoPurge{};
constexpr TPurgeSet PurgeBoth{true, true};

using TContinuePredicate = std::function<bool(const std::string& reply)>;

// Upper bounds of one exchange, so that a peer that never falls silent cannot hold the caller.
constexpr int ExchangeMaxMs = 30000;
constexpr size_t ExchangeMaxBytes = 1024 * 1024;

// Collects until the predicate (when given) returns false or the line is silent.
void SendAndCollect(TAfCustomSerialPort* port, const std::string& text, int timeoutMs,
                    const TContinuePredicate& keepWaiting, TPurgeSet purge, std::string& reply);

// Collects until one of the expected texts occurs anywhere in the reply, or silence.
void SendAndExpectAny(TAfCustomSerialPort* port, const std::string& text, int timeoutMs,
                      const std::vector<std::string>& expected, TPurgeSet purge, std::string& reply);

void SendAndExpect(TAfCustomSerialPort* port, const std::string& text, int timeoutMs,
                   const std::string& expected, TPurgeSet purge, std::string& reply);

// True when the reply is empty or does not end with CR.
bool LineIncomplete(const std::string& reply);

// Time of one character on the line in ms: 10 000 / baud.
double CharTime(const TAfCustomSerialPort* port);
