#pragma once
// Exchanges with the device: send a short text (or nothing), then collect the reply until a stop
// condition holds or the line falls silent. Plain functions on the calling thread.
//
// No exchange sleeps: each waits on the port for the next bytes and ends the moment its stop
// condition holds. Only a device that does not give the awaited text is waited for: up to the
// first-answer time-out, and then for as long as bytes keep coming without a gap of SilenceGapMs.

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

// The silence that ends an exchange: this many character times, so it scales with the baud
// rate, but never less than SilenceFloorMs, because USB adapters hand received bytes over in
// packets up to 16 ms apart whatever the rate.
constexpr int SilenceChars = 100;
constexpr int SilenceFloorMs = 20;

// Collects until the predicate (when given) returns false or the line is silent: timeoutMs for
// the first byte, then SilenceGapMs after the latest.
void SendAndCollect(TAfCustomSerialPort* port, const std::string& text, int timeoutMs,
                    const TContinuePredicate& keepWaiting, TPurgeSet purge, std::string& reply);

// Collects until one of the expected texts occurs in the reply after the echo of the text sent
// (a device or line that echoes typed characters must not end the exchange with a "?" the user
// typed), or until both timeoutMs have passed and the line has been silent for SilenceGapMs.
void SendAndExpectAny(TAfCustomSerialPort* port, const std::string& text, int timeoutMs,
                      const std::vector<std::string>& expected, TPurgeSet purge, std::string& reply);

void SendAndExpect(TAfCustomSerialPort* port, const std::string& text, int timeoutMs,
                   const std::string& expected, TPurgeSet purge, std::string& reply);

// Where the echo of sent ends at the start of reply. The echo may come once (the device's) or
// twice (a line that also loops back what is sent), the copies one after the other or byte by
// byte interleaved; a hidden entry is echoed as "*".
size_t EchoEnd(const std::string& reply, const std::string& sent);

// True when the reply is empty or does not end with CR.
bool LineIncomplete(const std::string& reply);

// Time of one character on the line in ms: 10 000 / baud.
double CharTime(const TAfCustomSerialPort* port);

// The silence that ends an exchange on this port, in ms.
int SilenceGapMs(const TAfCustomSerialPort* port);
