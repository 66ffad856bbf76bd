#pragma once
// Exchanges with the device: type a few keys (or nothing), then collect the reply until the
// device waits at a prompt, a stop condition holds or the line falls silent. Plain functions on
// the calling thread.
//
// No exchange sleeps: each waits on the port for the next bytes and ends the moment its stop
// condition holds. Only a device that does not come to a prompt is waited for: up to the
// first-answer time-out, and then for as long as bytes keep coming without a gap of SilenceGapMs.

#include <functional>
#include <string>
#include <vector>

class TAfCustomSerialPort;

using TContinuePredicate = std::function<bool(const std::string& reply)>;

// Upper bounds of one exchange, so that a peer that never falls silent cannot hold the caller.
constexpr int ExchangeMaxMs = 30000;
constexpr size_t ExchangeMaxBytes = 1024 * 1024;

// The silence that ends an exchange: this many character times, so it scales with the baud
// rate, but never less than SilenceFloorMs, because USB adapters hand received bytes over in
// packets up to 16 ms apart whatever the rate.
constexpr int SilenceChars = 100;
constexpr int SilenceFloorMs = 20;

// Where the device's echo of the keys typed ends at the start of reply, or npos when the reply
// does not begin with it. The device echoes each printable key, a letter answer perhaps in upper
// case and a hidden entry as "*", and no line end; a line that loops back what is sent adds a
// second, exact copy (line ends included), interleaved with the device's in any way. A reply
// that holds the copy as well ends after both. loopsBack: the line is known to bring the copy
// back, so an echo without it is none (the copy alone would pass for the device's echo).
size_t DeviceEchoEnd(const std::string& reply, const std::string& keys, bool loopsBack = false);
// The reply begins with the device's echo and the line's copy of keys that hold a printable key
// and a line end: the line brings back what is sent.
bool LoopedBack(const std::string& reply, const std::string& keys);

// Where a device waits for an answer: the text ends in a prompt ending, a "?", ")" or ":" with
// at most its blanks after it, and no line end.
bool EndsAtPrompt(const std::string& text);

struct TPromptReply;

struct TPromptWait {
  int FirstAnswerMs = 1000;  // how long the device may take to start answering
  int SettleMs = 0;          // the quiet after a prompt ending that shows the device waits there
  // The quiet that ends a reply that stops elsewhere; less than SilenceGapMs is not taken. It
  // grows further with the pauses the reply itself makes.
  int SilenceMs = 0;
  // When given, that quiet for the text as it ends now (the echo left out), with the reply so
  // far; SettleMs otherwise.
  std::function<int(const std::string& own, const TPromptReply& sofar)> SettleAfter;
  bool LoopsBack = false;  // the line brings back a copy of what is sent (DeviceEchoEnd)
  // Where else the device may wait (the offer at boot); EndsAtPrompt always counts.
  std::function<bool(const std::string& text)> AlsoWaitsAt;
  // Where a prompt ending is none, given the text after the echo: the device prints on there (a
  // menu's heading before its entries), and the rest is awaited as long as a first answer.
  std::function<bool(const std::string& own)> PrintsOnAt;
  // Asked as bytes come in, with everything received so far; false ends the exchange.
  TContinuePredicate KeepWaiting;
};

struct TPromptReply {
  std::string Text;                 // everything received, the echo of what was typed included
  bool AtPrompt = false;            // it ends where the device waits, and the line stayed quiet after it
  int FirstByteMs = -1;             // from the end of sending to the first byte; -1 when nothing came
  int LongestGapMs = 0;             // the longest pause inside a line of the reply
  std::vector<int> PausesMs;        // each pause inside a line
  bool NotTyped = false;            // the device was talking when the keys were to go: they were not sent
};

// Types text (nothing: only listens) and collects until the device waits at a prompt: what it
// printed after the echo ends at a prompt, and nothing more comes for SettleMs. Never purges:
// a byte that comes between two exchanges is evidence that the device is not waiting. Ends as
// well when nothing comes within FirstAnswerMs, when the line falls silent elsewhere for the
// silence gap, or at the exchange's bounds; AtPrompt then stays false.
TPromptReply SendAndAwaitPrompt(TAfCustomSerialPort* port, const std::string& text, const TPromptWait& wait);

// Time of one character on the line in ms: 10 000 / baud.
double CharTime(const TAfCustomSerialPort* port);

// The silence that ends an exchange on this port, in ms.
int SilenceGapMs(const TAfCustomSerialPort* port);
