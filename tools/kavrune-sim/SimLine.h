#pragma once
// The simulated device on a pseudo-terminal: powers the device on when a client opens the port,
// paces what it prints at the line's character time, and hangs the line up when the device does.
// The program runs it on its main thread; tests run it on a thread of their own, beside the
// engine, so that the engine meets the device on a real serial line.
//
// Power-on follows the opening of the port. The line never keeps the slave side open itself:
// after openpty() the slave descriptor is closed at once, so the kernel reports POLLHUP on the
// master for as long as nobody has the slave open. When POLLHUP goes away a client has opened the
// port; only a client that keeps it open for 50 ms powers the device on, so a port picker that
// opens and closes the port to see whether it is free does not boot the device. When the last
// client closes the slave, POLLHUP returns and the device is off until the next open (or a
// power cycle).

#include <chrono>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <string_view>

#include "SimDevice.h"

// A fresh pseudo-terminal, raw, its master non-blocking and its slave closed at once: the master
// descriptor, and the slave's path in slave. Raises on failure.
int SimOpenPseudoTerminal(std::string& slave);
// Nobody has the slave of master open (POLLHUP on the master).
bool SimSlaveClosed(int master);

struct TSimLineOptions {
  std::chrono::microseconds CharTime{0};  // pacing of the output; 0: unpaced
  std::chrono::milliseconds Jitter{0};    // output in bursts with random pauses of up to this
  unsigned Seed = 1;                      // seed of the pauses: the same seed, the same pauses
  bool PowerOnStart = false;              // powered from the start, without waiting for a client
  int ControlFd = -1;                     // lines "power" (power cycle) and "quit", when given
};

class TSimLine final {
 public:
  // Opens the pseudo-terminal. publish is called with the slave's path now and whenever a
  // hangup puts a fresh pseudo-terminal in the old one's place; it may raise.
  TSimLine(TSimDevice& device, TSimLineOptions options, std::function<void(const std::string&)> publish);
  ~TSimLine();
  TSimLine(const TSimLine&) = delete;
  TSimLine& operator=(const TSimLine&) = delete;

  // Serves the line until Stop() or "quit"; raises on a failing system call.
  void Run();
  // Ends Run. Safe from any thread and from a signal handler.
  void Stop();

  // Runs fn with the device between two steps of the line: from another thread than Run's this
  // is the only way to look at or change the device.
  template <class F>
  auto With(F&& fn) {
    std::lock_guard guard(m_Lock);
    return fn(m_Device);
  }
  // Power cycle, as the "power" command.
  void PowerCycle();
  // While held the line stays silent: what the device prints waits until it is released.
  void Hold(bool held);

  // Both are called on Run's thread, the device locked: the line's events ("port opened",
  // "hangup" ...) and every byte that crosses the line.
  std::function<void(const std::string&)> OnEvent;
  std::function<void(bool fromClient, std::string_view bytes)> OnBytes;

 private:
  using TClock = std::chrono::steady_clock;

  void CloseAll();
  // A fresh pseudo-terminal in place of the current one; returns the slave's path.
  std::string OpenPseudoTerminal();
  // One turn of the loop before it waits: follows the port, steps the device, writes what is
  // due. Returns how long the loop may wait for input.
  std::chrono::milliseconds Turn(TClock::time_point now);
  void Event(const std::string& text);
  void Control(std::string_view bytes);

  TSimDevice& m_Device;
  TSimLineOptions m_Options;
  std::function<void(const std::string&)> m_Publish;
  std::recursive_mutex m_Lock;
  int m_Master = -1;
  int m_Wake[2] = {-1, -1};
  bool m_Held = false;
  bool m_Running = true;
  bool m_Open = false;     // a client has the slave open
  bool m_Powered = false;  // powered on for the current open of the slave
  TClock::time_point m_OpenSince{};
  TClock::time_point m_NextChar{};
  TClock::time_point m_HoldUntil{};
  bool m_AdapterHolds = false;  // the hold is the adapter's: the unit is done with what it holds
  TClock::time_point m_HangupDue = TClock::time_point::max();
  std::mt19937 m_JitterRng;
  std::string m_Control;
};
