#pragma once
// A blocking conversation with the device on one port, for front ends without an event loop of
// their own: the command line tool, the tests and the benchmark. Every step waits until it is
// done, its deadline passes or the session is cancelled. A session owns its worker and its
// message queue, so sessions on different ports run side by side, one per thread.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "uDeviceWorker.h"
#include "uKaVruneIdentity.h"

enum class TSessionStatus {
  Done,
  NoAnswer,   // the device did not show its configuration in time
  LineLost,   // the read ended without a document (Message says why: the line went dead ...)
  Failed,     // the device answered but did not do what was asked (Message says why)
  TimedOut,   // a write did not finish in time; the worker stopped it (see Stored)
  NotBack,    // the unit stored, then did not come back within the restart limit: not checked
  Cancelled,  // Cancel() or the cancel flag, or the port closed under the step
};

struct TSessionResult {
  TSessionStatus Status = TSessionStatus::Done;
  std::string Message;  // the worker's reason, where it gave one
  // A write: the device confirmed that it stored it, even if the step then failed, timed
  // out or was cancelled (the read that checks it did not come). False: nothing was stored.
  bool Stored = false;
  // A write: settings of the request the device never asked for (section, key); not written.
  std::vector<std::pair<std::string, std::string>> NotAsked = {};
  // A write: settings in sections whose menu the unit does not offer (section, key); not written.
  std::vector<std::pair<std::string, std::string>> NotOnUnit = {};
  bool Restarted = false;  // a write: the unit restarted in the middle of a menu
  bool Ok() const { return Status == TSessionStatus::Done; }
};

// What a session passes on while it waits; called on the waiting thread.
struct TSessionObserver {
  std::function<void(const std::string& text)> Message;
  std::function<void(const TWorkProgress& progress)> Progress;
};

class TKaVruneSession final {
 public:
  using Clock = std::chrono::steady_clock;

  explicit TKaVruneSession(TSessionObserver observer = {});
  // Leaves Setup Mode (within a few seconds) when the device answered, then closes the port.
  ~TKaVruneSession();
  TKaVruneSession(const TKaVruneSession&) = delete;
  TKaVruneSession& operator=(const TKaVruneSession&) = delete;

  // Sees every byte sent and received, for a transcript; set it before Open.
  void SetTrace(std::function<void(bool sent, const std::string& bytes)> trace);
  // A flag that ends every wait with Cancelled once set; several sessions may share one. Setting
  // an atomic flag is safe in a signal handler. Not owned.
  void SetCancelFlag(const std::atomic<bool>* flag) { cancelFlag_ = flag; }
  void Cancel() { cancelled_ = true; }

  // Opens COM comNumber; the worker starts reading the device at once. Errors of the port raise
  // EAfSerialError (its Kind() says why); false when no port is open afterwards all the same.
  bool Open(int comNumber);
  // Waits for the device to show its configuration: after Open, the device may be powered on
  // meanwhile; after a write, the read that follows it.
  TSessionResult WaitForDevice(Clock::time_point deadline);
  // Reads the device again and waits for the document.
  TSessionResult Read(Clock::time_point deadline);
  // The newest configuration read (null before the first one), and as windows-1250 XML text.
  TXmlElement Settings() const;
  std::string SettingsText() const;
  // The lines of the newest configuration that stayed unreadable after three reads (noise on
  // the line); they hold the error-line marker in Settings().
  const std::vector<std::string>& DamagedLines() const;
  // The unit on the port as it has shown itself so far: its banner, else its read document.
  TDeviceIdentity Identity() const;
  // The entries of the unit's root menu, as it printed them when it was read.
  TMenuMap MenuMap() const;
  // How long the read after a store waits for the unit to come back; past it, NotBack.
  void SetRestartLimit(std::chrono::milliseconds limit);

  // Writes a write document, has the device store it and waits for the read that follows. A
  // write cut off by the deadline or a cancel is stopped at the device's next answer, and the
  // device leaves Setup Mode without storing (unless it had stored already: Stored).
  TSessionResult Apply(const TXmlElement& settings, Clock::time_point deadline);
  // Restores the device's defaults (not stored) and waits for the read that follows.
  TSessionResult Defaults(Clock::time_point deadline);
  // Stores what the device holds now, e.g. the defaults just restored.
  TSessionResult Store(Clock::time_point deadline);
  // The device is in Setup Mode as far as its console knows: it answered, perhaps only with the
  // beginning of its first dump, and was not taken out since.
  bool InSetupMode() const;
  // Takes the device out of Setup Mode, once it has come to its root menu: a dump under way is
  // read to its end first. Nothing to do when it never answered; not cancelled by the cancel
  // flag, since it is what a cancelled caller does last. False when the device was in Setup
  // Mode and did not confirm leaving it by the deadline.
  bool Leave(Clock::time_point deadline);

  TDeviceWorker& Worker();

 private:
  struct TState;
  TSessionResult Write(TWriteRequest request, Clock::time_point deadline);
  bool WaitUntil(const std::function<bool()>& done, Clock::time_point deadline, bool cancellable);
  bool IsCancelled() const;

  std::unique_ptr<TState> state_;
  const std::atomic<bool>* cancelFlag_ = nullptr;
  std::atomic<bool> cancelled_{false};
  bool opened_ = false;
};
