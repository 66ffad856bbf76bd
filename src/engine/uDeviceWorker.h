#pragma once
// The worker: the thread that owns the serial port, wakes the device into Setup Mode, reads its
// configuration with the dump reader and writes settings with the settings writer.

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "AfComPort.h"
#include "uKaVruneConsole.h"
#include "uKaVruneDumpReader.h"
#include "uKaVruneIdentity.h"
#include "uKaVruneProgress.h"
#include "uKaVruneWriter.h"
#include "uXmlUtils.h"

class IAfMainThreadDispatcher;

// What a write request asks of the device besides settings: restore its defaults (not stored
// until a later store), or leave Setup Mode without storing; the unit's root menu has the keys.
struct RequestDefaults {};
struct RequestExit {};
// A write document (sections of settings; one without sections only stores), or one of the
// requests above.
using TWriteRequest = std::variant<TXmlElement, RequestDefaults, RequestExit>;

enum class TWriteKind { Settings, Defaults, Exit };

// Why a read ended without a document.
enum class TReadFailure {
  LineLost,     // the port hung up
  WorkerError,  // the worker met an error of its own (the reason names it)
  Stopped,      // the worker was ended
  // The unit stored, then did not come back within the restart limit, or came back and did not
  // come to its root menu with its dump within a limit of the same length (the reason says which)
  NotBackAfterStore,
};

// How long a unit may take to come back after it stored, before the read that checks the
// store gives up: a restart takes a second or two, and the offer stays open for a few more.
// Each later stage of the check has a limit of the same length: from its offer to its dump, and
// from one line of its dump to the next; the whole check ends at the latest twice the limit and
// the longest the way to the root menu listens to a unit that talks (WayTalkLimitMs) after the
// store.
constexpr int DefaultRestartLimitMs = 15000;

// Why a write did not end as asked, for each front end to say in its own words.
enum class TWriteFailure {
  None,
  PortClosedBeforeWriting,  // closed before anything was typed
  PortClosedWhileWriting,   // closed while the walk ran
  NoMenu,                   // the unit did not come to its setup menu
  StoreUnconfirmed,         // the unit never confirmed the store
  LeftWithoutStoring,       // the unit left Setup Mode without storing: nothing stored
  LeaveUnconfirmed,         // nothing stored, and the unit did not confirm leaving Setup Mode
  Restarted,                // the unit restarted inside a menu: nothing stored
  Other,                    // only the report's Detail says why
};
// The engine's sentence for a failure (the command line's words); empty for None and Other.
std::string WriteFailureText(TWriteFailure failure);

struct TWriteReport {
  TWriteKind Kind = TWriteKind::Settings;
  bool Succeeded = false;      // Settings: the unit confirmed the store; Defaults/Exit: answered
  bool Cancelled = false;      // the port was closed or changed meanwhile, the worker stopped, or AbortWrite
  bool LeftSetupMode = false;  // the device left Setup Mode without storing, e.g. after a failed walk
  std::string Message;         // why it failed, empty on success: Detail, then the failure's sentence
  TWriteFailure Failure = TWriteFailure::None;
  std::string Detail;   // what the walk met before it gave up, in the engine's words; may be empty
  bool Reread = false;  // the worker reads the device next: a document or a read failure follows
  // Settings of the request the device never asked for in its present mode, as section and
  // key: they were not written (the rest was, and was stored).
  std::vector<std::pair<std::string, std::string>> NotAsked = {};
  // Settings of the request in a section whose menu this unit does not offer (no WLAN menu, say),
  // as section and key: not written; the rest was.
  std::vector<std::pair<std::string, std::string>> NotOnUnit = {};
  bool Restarted = false;  // the unit restarted in the middle of a menu: nothing was stored
};

// What the worker hands to its front end. Every call arrives on the front end's main thread
// through the dispatcher given with the sink (or the process-wide one); without any
// dispatcher the calls run on the worker thread.
class IKaVruneSink {
 public:
  virtual ~IKaVruneSink() = default;
  // A new read document; called under the read-result lock. Never called with none.
  virtual void DeliverReadDocument(const TXmlElement& root) = 0;
  // A note for the user, in the engine's words.
  virtual void ShowMessage(const std::string& text) = 0;
  // The worker met an error of its own; it dropped the request and serves the next.
  virtual void WorkerFailed(const std::string& error) = 0;
  // A read ended without a document: the worker gave up on it, and says why ("the connection
  // was lost during the read", ...). A device that stays silent keeps its read pending instead.
  virtual void ReadFailed(TReadFailure /*kind*/, const std::string& /*reason*/) {}
  // The dump had unreadable lines in every read of it (the first and two more); posted just
  // before the document, which has the error-line marker in their places.
  virtual void ReadDamaged(const std::vector<std::string>& /*lines*/) {}
  // The step a read or a write has come to. Reading and checking tell every line of the dump;
  // waiting is told once per wait.
  virtual void Progress(const TWorkProgress& /*progress*/) {}
  // Posted when a write request has been dealt with. After Settings and Defaults the worker
  // has already requested a read, whose document arrives later.
  virtual void WriteFinished(const TWriteReport& /*report*/) {}
  // Posted once StopWork is done: the read and the write it found are dropped (a write reports
  // first), and leftSetupMode tells whether the unit left Setup Mode without storing on the way.
  virtual void WorkStopped(bool /*leftSetupMode*/) {}
};

class TDeviceWorker final {
 public:
  TDeviceWorker();   // creates the port at 9600 baud and starts the thread
  ~TDeviceWorker();  // ends the thread and frees the port (which closes it)
  TDeviceWorker(const TDeviceWorker&) = delete;
  TDeviceWorker& operator=(const TDeviceWorker&) = delete;

  // Registers the front end (nullptr: none). Not owned; clear it before the sink goes away.
  void SetSink(IKaVruneSink* sink, IAfMainThreadDispatcher* dispatcher = nullptr);

  bool IsPortOpen() const;
  // The port lock. Taking it asks a running write to stop, since the caller is about to
  // change or close the port.
  void LockPort();
  void UnlockPort();
  // Leaves Setup Mode on the open port where the unit is known to be in it, closes it, opens COM comNumber (0: none)
  // and requests a read. Errors of the port pass to the caller. True when a port is open afterwards.
  bool OpenPort(uint16_t comNumber);
  void RequestRead();
  void RequestWrite(TWriteRequest request);
  // How long the read after a store waits for the unit to come back (DefaultRestartLimitMs).
  void SetRestartLimit(int ms) { restartLimitMs_ = ms; }
  // The entries of the unit's root menu as it printed them last (empty until it did).
  TMenuMap MenuMap() const { return console_.MenuMap(); }
  // Stops the write running or requested now at the next answer: the worker leaves Setup Mode
  // without storing (the device keeps what it had stored) and reports the write Cancelled with
  // LeftSetupMode. A write the device has stored already is reported as stored.
  void AbortWrite();
  // Stops what the worker does or waits for at the unit's next answer or the end of the current
  // listen for one, never later: a pending read is dropped, a write stops as AbortWrite does, and
  // a unit in Setup Mode leaves it without storing. The port stays open. Returns at once; the
  // sink hears WorkStopped when it is done.
  void StopWork();
  // Ends the thread loop; the destructor does it as well.
  void Terminate();

  // The newest read document (none until one was read).
  TXmlElement ReadResult() const;
  // Where the unit is, as its console knows it (TDeviceConsole).
  bool InMenu() const { return console_.AtRootMenu(); }
  // The worker took the device out of Setup Mode and has not reached it again since: an exit
  // has nothing left to do.
  bool LeftSetupMode() const { return console_.LeftSetupMode(); }
  // The device has begun its dump or shown a menu and was not taken out of Setup Mode since: a
  // caller that gives up, even during the first printout, still owes it an exit.
  bool InSetupMode() const { return console_.InSetupMode(); }
  TAfComPort& Port() { return port_; }
  // The unit on the port as it named itself since the port opened: its banner, else its newest
  // read document. A unit already in Setup Mode shows no banner until it restarts.
  TDeviceIdentity Identity() const { return identity_.Identity(ReadResult()); }

 private:
  class TEvents final {
   public:
    enum { Stop, Halt, Read, Write };
    void Set(int e);
    void Reset(int e);
    bool IsSet(int e) const;
    int WaitAny(int timeoutMs);  // the lowest signalled index, -1 on time-out

   private:
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::array<bool, 4> set_{};
  };

  struct TShared;  // what posted calls need after the worker is gone

  void Execute();
  void ReadDevice();
  void HaltWork();  // what StopWork asked for
  bool EnterSetupMode(bool dumpWanted);
  void DropRead(TReadFailure kind, const std::string& reason);
  // The read after a store has waited longer than the restart limit for the unit to come further.
  bool RestartOverdue() const;
  // The check after a store: takes note of where the unit has come to (dumpLines: the lines of
  // the dump under way, 0 when none).
  void NoteCheckProgress(int dumpLines = 0);
  void WriteDevice();
  // Closing or changing the port, StopWork, or ending the worker: every loop of a dialogue asks this.
  bool WriteCancelled() const;
  // AbortWrite was called for the running write.
  bool WriteAborted() const;
  void Post(std::function<void(IKaVruneSink&)> call);
  void PostReadDocument();
  void PostProgress(const TWorkProgress& progress);
  void ShowMessage(const std::string& text);

  std::recursive_mutex portLock_;
  TAfComPort port_;
  // Set by the worker and by OpenPort on the caller's thread.
  std::atomic<bool> checking_{false};  // the read that follows a store checks it
  std::atomic<int> restartLimitMs_{DefaultRestartLimitMs};
  std::chrono::steady_clock::time_point storedAt_{};  // when the unit confirmed its last store
  // The check since then: the furthest stage the unit came to (1 back, 2 printing its dump), the
  // most lines of a dump it printed, and when it last came further.
  int checkStage_ = 0;
  int checkLines_ = 0;
  std::chrono::steady_clock::time_point checkProgressAt_{};
  std::atomic<bool> waitingTold_{false};     // the front end was told that the device is waited for
  int dumpLines_ = TypicalDumpLines;         // the lines of the last dump, expected of the next one
  TLineTiming timing_;                       // what this port's line has shown; the worker thread's, reset on opening
  TDeviceConsole console_{&port_, timing_};  // the unit's state, menu and commands
  std::shared_ptr<TShared> shared_;          // read result and its lock, the sink
  TEvents events_;
  TDeviceIdentityScanner identity_;  // fed with what each entry into Setup Mode heard
  std::mutex writeRequestLock_;
  TWriteRequest writeRequest_;
  uint64_t writeSerial_ = 0;  // counts RequestWrite calls, so a request made meanwhile survives
  std::atomic<uint64_t> runningWriteSerial_{0};
  std::atomic<uint64_t> abortedSerial_{0};  // writes up to this serial are to stop
  TWriteKind runningWriteKind_ = TWriteKind::Settings;
  std::atomic<int> portWanted_{0};
  std::atomic<bool> terminated_{false};
  std::atomic<bool> halting_{false};  // StopWork was called and HaltWork has not run yet
  std::thread thread_;
};
