#include "uDeviceWorker.h"

#include <algorithm>
#include <chrono>

#include "AfMainThread.h"
#include "uCommunicationUtils.h"
#include "uKaVruneConsole.h"
#include "uKaVruneModel.h"
#include "uKaVruneUtils.h"
#include "uTranscript.h"

namespace {

// How long the read after a store listens for the restarting device before it presses Enter.
constexpr int RestartListenMs = 2000;

// A dump with unreadable lines is read again this often before it is handed over as it is.
constexpr int DamagedDumpRereads = 2;

// A prompt's key as the device words the question: "Enter_new_DHCP_device_Name" is asked as
// "Enter new DHCP device Name".
std::string QuestionWords(const std::string& key) {
  std::string words;
  for (char c : key)
    if (c != '_') words += c;
    else if (!words.empty() && words.back() != ' ') words += ' ';
  while (!words.empty() && words.back() == ' ') words.pop_back();
  return words;
}

// The end of what the device printed, for a message: its last two lines at most.
std::string Tail(const std::string& heard) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : heard) {
    if (c == '\r' || c == '\n') {
      if (!line.empty()) lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  std::string tail;
  for (size_t i = lines.size() > 2 ? lines.size() - 2 : 0; i < lines.size(); ++i)
    tail += (tail.empty() ? "" : " / ") + lines[i];
  return tail.size() > 160 ? "..." + tail.substr(tail.size() - 160) : tail;
}

}  // namespace

struct TDeviceWorker::TShared {
  std::recursive_mutex readResultLock;
  TXmlElement readResult;
  std::recursive_mutex sinkLock;
  IKaVruneSink* sink = nullptr;
  IAfMainThreadDispatcher* dispatcher = nullptr;
};

void TDeviceWorker::TEvents::Set(int e) {
  {
    std::lock_guard guard(lock_);
    set_[static_cast<size_t>(e)] = true;
  }
  changed_.notify_all();
}

void TDeviceWorker::TEvents::Reset(int e) {
  std::lock_guard guard(lock_);
  set_[static_cast<size_t>(e)] = false;
}

bool TDeviceWorker::TEvents::IsSet(int e) const {
  std::lock_guard guard(lock_);
  return set_[static_cast<size_t>(e)];
}

int TDeviceWorker::TEvents::WaitAny(int timeoutMs) {
  std::unique_lock guard(lock_);
  auto any = [this] { return std::find(set_.begin(), set_.end(), true) != set_.end(); };
  if (!changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), any)) return -1;
  for (size_t i = 0; i < set_.size(); ++i)
    if (set_[i]) return static_cast<int>(i);
  return -1;
}

TDeviceWorker::TDeviceWorker() : shared_(std::make_shared<TShared>()) {
  port_.SetBaudRate(br9600);
  thread_ = std::thread([this] { Execute(); });
}

TDeviceWorker::~TDeviceWorker() {
  Terminate();
  if (thread_.joinable()) thread_.join();
  SetSink(nullptr);
}

void TDeviceWorker::Terminate() {
  terminated_ = true;
  events_.Set(TEvents::Stop);
}

std::string WriteFailureText(TWriteFailure failure) {
  switch (failure) {
    case TWriteFailure::PortClosedBeforeWriting: return "The port was closed before the settings were written.";
    case TWriteFailure::PortClosedWhileWriting: return "Writing was stopped because the port was closed.";
    case TWriteFailure::NoMenu:
      return "The device did not come to its setup menu. Check the cable and that the device is on, then try again.";
    case TWriteFailure::StoreUnconfirmed: return "The device did not confirm that it stored the settings.";
    case TWriteFailure::LeftWithoutStoring:
      return "Nothing was stored: the device left Setup Mode without storing and keeps the settings it had.";
    case TWriteFailure::LeaveUnconfirmed:
      return "Nothing was stored, but the device did not confirm leaving Setup Mode: switch it off and on.";
    case TWriteFailure::Restarted:
      return "The unit restarted while it was being written (power or cable?); nothing was stored.";
    case TWriteFailure::None:
    case TWriteFailure::Other: break;
  }
  return {};
}

namespace {

// The report says why, in a kind the front ends put in their own words and in the engine's.
void Fail(TWriteReport& report, TWriteFailure failure, const std::string& detail = {}) {
  report.Failure = failure;
  report.Detail = detail;
  const std::string text = WriteFailureText(failure);
  report.Message = detail.empty() ? text : text.empty() ? detail : detail + " " + text;
}

}  // namespace

void TDeviceWorker::SetSink(IKaVruneSink* sink, IAfMainThreadDispatcher* dispatcher) {
  std::lock_guard guard(shared_->sinkLock);
  shared_->sink = sink;
  shared_->dispatcher = dispatcher;
}

void TDeviceWorker::Post(std::function<void(IKaVruneSink&)> call) {
  // The call holds the shared part, not the worker: it may run after the worker is gone.
  auto shared = shared_;
  auto run = [shared, call = std::move(call)] {
    std::lock_guard guard(shared->sinkLock);
    if (shared->sink) call(*shared->sink);
  };
  IAfMainThreadDispatcher* dispatcher;
  {
    std::lock_guard guard(shared->sinkLock);
    dispatcher = shared->dispatcher ? shared->dispatcher : AfMainThreadDispatcher();
  }
  if (dispatcher) dispatcher->Post(std::move(run));
  else run();
}

void TDeviceWorker::ShowMessage(const std::string& text) {
  Post([text](IKaVruneSink& sink) { sink.ShowMessage(text); });
}

void TDeviceWorker::PostReadDocument() {
  auto shared = shared_;
  Post([shared](IKaVruneSink& sink) {
    std::lock_guard guard(shared->readResultLock);
    // A read requested since this one was stored has released the result; the front end
    // keeps the document it has until the next one arrives.
    if (shared->readResult) sink.DeliverReadDocument(shared->readResult);
  });
}

void TDeviceWorker::PostProgress(const TWorkProgress& progress) {
  Post([progress](IKaVruneSink& sink) { sink.Progress(progress); });
}

TXmlElement TDeviceWorker::ReadResult() const {
  std::lock_guard guard(shared_->readResultLock);
  return shared_->readResult;
}

bool TDeviceWorker::IsPortOpen() const {
  // The component guards its own state; waiting for the port lock here would freeze the
  // front end for a whole dump or write.
  return port_.Active();
}

void TDeviceWorker::LockPort() {
  ++portWanted_;
  portLock_.lock();
  --portWanted_;
}

void TDeviceWorker::UnlockPort() { portLock_.unlock(); }

bool TDeviceWorker::OpenPort(uint16_t comNumber) {
  LockPort();
  std::lock_guard guard(portLock_, std::adopt_lock);
  // Only a unit known to be in Setup Mode is taken out of it: one not heard there (silent, or
  // talking in data mode) would hold the caller for a whole listen, or for the talk limit.
  if (port_.Active() && !port_.HungUp() && console_.InSetupMode() && EnterSetupMode(false))
    console_.ExitWithoutStoring();
  console_.Reset();
  checking_ = false;
  waitingTold_ = false;
  timing_ = TLineTiming();
  identity_.Clear();  // another unit may be on the next port
  port_.Close();
  port_.SetComNumber(comNumber);
  if (comNumber != 0) port_.Open();
  bool open = port_.Active();
  if (open) RequestRead();
  return open;
}

void TDeviceWorker::RequestRead() {
  std::lock_guard guard(shared_->readResultLock);
  shared_->readResult = TXmlElement();
  events_.Set(TEvents::Read);
}

void TDeviceWorker::RequestWrite(TWriteRequest request) {
  std::lock_guard guard(writeRequestLock_);
  writeRequest_ = std::move(request);
  ++writeSerial_;
  events_.Set(TEvents::Write);
}

void TDeviceWorker::AbortWrite() {
  std::lock_guard guard(writeRequestLock_);
  abortedSerial_ = writeSerial_;
}

void TDeviceWorker::StopWork() {
  halting_ = true;
  AbortWrite();
  events_.Set(TEvents::Halt);
}

void TDeviceWorker::HaltWork() {
  events_.Reset(TEvents::Halt);
  halting_ = false;
  // The read waiting for the unit goes, the one after a store too; a write that was pending
  // stops at its start as AbortWrite asks, and one requested since is served.
  checking_ = false;
  {
    std::lock_guard guard(shared_->readResultLock);
    events_.Reset(TEvents::Read);
  }
  bool left = false;
  {
    std::lock_guard guard(portLock_);
    if (port_.Active() && !port_.HungUp() && console_.InSetupMode())
      left = console_.LeaveWithoutStoring([this] { return WriteCancelled(); });
  }
  Post([left](IKaVruneSink& sink) { sink.WorkStopped(left); });
}

bool TDeviceWorker::WriteAborted() const {
  const uint64_t running = runningWriteSerial_;
  return running != 0 && abortedSerial_ >= running;
}

void TDeviceWorker::Execute() {
  while (!terminated_) {
    int which = events_.WaitAny(1000);
    if (which == TEvents::Stop) break;
    try {
      if (which == TEvents::Halt) HaltWork();
      else if (which == TEvents::Read) ReadDevice();
      else if (which == TEvents::Write) WriteDevice();
    } catch (const std::exception& e) {
      // The worker outlives its errors: the failed request is dropped, the dialogue is no
      // longer taken to be at the root menu, and later requests are served.
      const std::string error = e.what();
      Post([error](IKaVruneSink& sink) { sink.WorkerFailed(error); });
      console_.LoseTrack();
      if (which == TEvents::Halt) {
        Post([](IKaVruneSink& sink) { sink.WorkStopped(false); });
      } else if (which == TEvents::Read) {
        DropRead(TReadFailure::WorkerError, e.what());
      } else if (which == TEvents::Write) {
        {
          std::lock_guard guard(writeRequestLock_);
          if (runningWriteSerial_ == writeSerial_) {
            writeRequest_ = TXmlElement();
            events_.Reset(TEvents::Write);
          }
        }
        // Whoever waits for the write hears that it ended; nothing was stored after the error.
        TWriteReport report;
        report.Kind = runningWriteKind_;
        report.Failure = TWriteFailure::Other;
        report.Detail = report.Message =
            std::string("The write stopped: ") + e.what() + ". The settings were not stored.";
        Post([report](IKaVruneSink& sink) { sink.WriteFinished(report); });
      }
    }
  }
}

void TDeviceWorker::DropRead(TReadFailure kind, const std::string& reason) {
  checking_ = false;
  {
    std::lock_guard guard(shared_->readResultLock);
    events_.Reset(TEvents::Read);
  }
  Post([kind, reason](IKaVruneSink& sink) { sink.ReadFailed(kind, reason); });
}

bool TDeviceWorker::RestartOverdue() const {
  if (!checking_) return false;
  const auto now = std::chrono::steady_clock::now();
  const auto limit = std::chrono::milliseconds(restartLimitMs_.load());
  return now - checkProgressAt_ > limit || now - storedAt_ > 2 * limit + std::chrono::milliseconds(WayTalkLimitMs);
}

void TDeviceWorker::NoteCheckProgress(int dumpLines) {
  if (!checking_) return;
  // Where the unit is: restarting (or not heard of), back (its banner, its offer, a prompt),
  // printing its dump. The root menu with the dump ends the check.
  int stage = 0;
  switch (console_.State()) {
    case TUnitState::Offering:
    case TUnitState::InSectionMenu:
    case TUnitState::AtRootMenu: stage = 1; break;
    case TUnitState::Printing: stage = 2; break;
    default: break;
  }
  if (stage > checkStage_ || dumpLines > checkLines_) {
    checkStage_ = std::max(checkStage_, stage);
    checkLines_ = std::max(checkLines_, dumpLines);
    checkProgressAt_ = std::chrono::steady_clock::now();
  }
}

void TDeviceWorker::ReadDevice() {
  if (!port_.Active()) {
    // Nothing to read from; opening a port requests a read again.
    std::lock_guard guard(shared_->readResultLock);
    events_.Reset(TEvents::Read);
    return;
  }
  // A device not known to be in its menu may be off: the user is told that it is waited for,
  // once, until it talks. The read after a store finds it restarting, not off.
  if (!console_.AtRootMenu() && !checking_ && !waitingTold_) {
    waitingTold_ = true;
    PostProgress({TWorkStep::Waiting, {}, 0, 0});
  }
  TDumpContext context;
  // The read that checks a store gives up on a unit that does not come back in time, or that
  // came back and then does not come further in time (its offer, its dump, each line of it).
  context.Stop = [this] {
    NoteCheckProgress();
    return WriteCancelled() || port_.HungUp() || RestartOverdue();
  };
  // After a store the device restarts: its banner comes within a second or so, and an Enter
  // pressed into it would be taken by some devices and not by others.
  if (checking_) context.ListenFirstMs = RestartListenMs;
  int lines = 0;
  context.DumpLines = [this, &lines](int n) {
    lines = n;
    waitingTold_ = false;
    NoteCheckProgress(n);
    PostProgress({checking_ ? TWorkStep::Checking : TWorkStep::Reading, {}, n, dumpLines_});
  };
  bool reached = false;
  {
    std::lock_guard guard(portLock_);
    ReadDump(console_, context);
    reached = console_.AtRootMenu();
    identity_.Feed(context.Heard + "\r");
    // Noise on the line: at the root menu the device prints its dump again on Enter. The read
    // with the fewest unreadable lines is the one handed over.
    for (int again = 0;
         again < DamagedDumpRereads && reached && context.Root && !context.DamagedLines.empty() && !context.Stop();
         ++again) {
      TDumpContext next;
      next.Stop = context.Stop;
      next.DumpLines = context.DumpLines;
      ReadDump(console_, next);
      identity_.Feed(next.Heard + "\r");
      if (next.Root && next.DamagedLines.size() < context.DamagedLines.size()) context = std::move(next);
    }
  }
  if (port_.HungUp()) {
    console_.LoseTrack();
    DropRead(TReadFailure::LineLost, "the connection was lost during the read");
    return;
  }
  if (!reached || !context.Root) {
    // A silent device keeps the read pending: its power may come on any moment. Not so one
    // that stored and then did not come back, or came back and no further, within its limits:
    // what it holds is known, only not checked.
    if (RestartOverdue())
      DropRead(TReadFailure::NotBackAfterStore, checkStage_ == 0
                                                    ? "the unit did not come back after storing"
                                                    : "the unit came back after storing but did not show its settings");
    else if (terminated_) DropRead(TReadFailure::Stopped, "the read was stopped");
    return;
  }
  const std::vector<std::string> damaged = context.DamagedLines;
  dumpLines_ = lines;
  checking_ = false;
  AddIdentity(context.Root, identity_.Identity());
  {
    std::lock_guard guard(shared_->readResultLock);
    shared_->readResult = context.Root;
    context = TDumpContext();
    events_.Reset(TEvents::Read);
  }
  if (!damaged.empty()) Post([damaged](IKaVruneSink& sink) { sink.ReadDamaged(damaged); });
  PostReadDocument();
}

bool TDeviceWorker::EnterSetupMode(bool dumpWanted) {
  if (console_.AtRootMenu() && !dumpWanted) return true;
  TDumpContext context;
  context.DumpWanted = dumpWanted;
  // Someone waiting for the port is about to close or change it.
  context.Stop = [this] { return WriteCancelled() || port_.HungUp(); };
  bool reached = false;
  {
    std::lock_guard guard(portLock_);
    // At the root menu already, the Enter that the way there starts with prints the dump.
    if (port_.Active()) ReadDump(console_, context);
    reached = console_.AtRootMenu();
    identity_.Feed(context.Heard + "\r");
  }
  if (dumpWanted && reached && context.Root) {
    AddIdentity(context.Root, identity_.Identity());
    {
      std::lock_guard guard(shared_->readResultLock);
      shared_->readResult = context.Root;
      context = TDumpContext();
      events_.Reset(TEvents::Read);
    }
    PostReadDocument();
  }
  return reached;
}

bool TDeviceWorker::WriteCancelled() const { return terminated_ || portWanted_ > 0 || halting_; }

void TDeviceWorker::WriteDevice() {
  TWriteRequest request;
  uint64_t serial;
  {
    std::lock_guard guard(writeRequestLock_);
    request = writeRequest_;
    serial = runningWriteSerial_ = writeSerial_;
  }
  auto finish = [&](const TWriteReport& report) {
    {
      // A request made while this one ran stays pending.
      std::lock_guard guard(writeRequestLock_);
      if (serial == writeSerial_) {
        writeRequest_ = TXmlElement();
        events_.Reset(TEvents::Write);
      }
    }
    Post([report](IKaVruneSink& sink) { sink.WriteFinished(report); });
  };

  TWriteReport report;
  report.Kind = std::holds_alternative<RequestExit>(request)       ? TWriteKind::Exit
                : std::holds_alternative<RequestDefaults>(request) ? TWriteKind::Defaults
                                                                   : TWriteKind::Settings;
  runningWriteKind_ = report.Kind;
  auto portClosed = [&] {
    // The front end is closing or changing the port; it leaves Setup Mode itself.
    console_.LoseTrack();
    report.Cancelled = true;
    Fail(report, TWriteFailure::PortClosedWhileWriting);
    finish(report);
  };
  // Whatever was answered so far is dropped when the device leaves Setup Mode without "9".
  auto abandon = [&](const std::string& why) {
    report.LeftSetupMode = console_.LeaveWithoutStoring([this] { return WriteCancelled(); });
    Fail(report, report.LeftSetupMode ? TWriteFailure::LeftWithoutStoring : TWriteFailure::LeaveUnconfirmed, why);
    finish(report);
  };
  auto stopped = [&] {
    report.Cancelled = true;
    abandon("");
  };
  // The port lock is held for the whole write, so closing or changing the port waits for the
  // current exchange and then finds the write stopped, never a walk on a closing port.
  std::lock_guard guard(portLock_);
  if (!port_.Active() || WriteCancelled()) {
    Fail(report, TWriteFailure::PortClosedBeforeWriting);
    report.Cancelled = true;
    console_.LoseTrack();
    finish(report);
    return;
  }
  if (report.Kind == TWriteKind::Exit && console_.LeftSetupMode()) {
    report.Succeeded = true;
    finish(report);
    return;
  }
  if (!EnterSetupMode(false)) {
    // Reported once and dropped: kept pending, the request would be tried and reported again
    // every second, and a waiting session would never hear of it.
    Fail(report, TWriteFailure::NoMenu);
    finish(report);
    return;
  }
  if (report.Kind == TWriteKind::Exit) {
    report.Succeeded = console_.ExitWithoutStoring();
  } else if (WriteAborted()) {
    stopped();
    return;
  } else if (report.Kind == TWriteKind::Defaults) {
    if (!MenuMap().Has(TMenuEntry::Defaults)) {
      Fail(report, TWriteFailure::Other, "The device's menu offers no factory defaults; nothing was changed.");
      finish(report);
      return;
    }
    report.Succeeded = console_.Defaults();
  } else {
    const TMenuMap menu = MenuMap();
    // Without a way to store and a way out without storing, a walk could neither end as asked
    // nor be taken back: nothing is typed.
    if (!menu.Has(TMenuEntry::SaveAndExit) || !menu.Has(TMenuEntry::ExitWithoutSave)) {
      Fail(report, TWriteFailure::Other,
           std::string("Nothing was written: the device's menu shows no \"") +
               UsualLabel(menu.Has(TMenuEntry::SaveAndExit) ? TMenuEntry::ExitWithoutSave : TMenuEntry::SaveAndExit) +
               "\" entry.");
      finish(report);
      return;
    }
    TWriteControl control;
    control.Cancelled = [this] { return WriteCancelled() || WriteAborted(); };
    std::vector<std::string> notes;
    const TXmlElement& settings = std::get<TXmlElement>(request);
    // A section whose menu the unit does not offer is no part of this unit: its settings are
    // named, and the rest is written.
    std::vector<std::pair<std::string, TXmlElement>> walks;
    for (const std::string& name : WalkedSections()) {
      TXmlElement section = settings.FirstChild(name);
      if (!section) continue;
      TMenuEntry entry{};
      if (TMenuMap::EntryOfSection(name, entry) && menu.Has(entry)) {
        walks.emplace_back(menu.Key(entry), section);
      } else {
        for (const TXmlElement& e : section.Children()) report.NotOnUnit.emplace_back(name, e.Name());
      }
    }
    int done = 0;
    const int total = static_cast<int>(walks.size());
    for (const auto& [key, section] : walks) {
      const std::string sectionName = section.Name();
      PostProgress({TWorkStep::Writing, sectionName, ++done, total});
      TSectionOutcome outcome = WriteSection(console_, section, key, control);
      notes.insert(notes.end(), outcome.Notes.begin(), outcome.Notes.end());
      for (const std::string& k : outcome.NotAsked) report.NotAsked.emplace_back(sectionName, k);
      if (outcome.Cancelled) {
        WriteCancelled() ? portClosed() : stopped();
        return;
      }
      if (outcome.Restarted) {
        // The unit dropped what it was told and offers Setup Mode again: there is nothing to
        // leave, and the read that follows wakes it.
        report.Restarted = true;
        report.Reread = true;
        report.NotAsked.clear();
        report.NotOnUnit.clear();
        Fail(report, TWriteFailure::Restarted);
        finish(report);
        RequestRead();
        return;
      }
      if (outcome.OffScript) {
        report.Reread = true;
        report.NotAsked.clear();
        report.NotOnUnit.clear();
        abandon("Writing " + SectionWords(sectionName) + " failed at the question \"" + QuestionWords(outcome.Prompt) +
                "\": " + outcome.Reason + " (the device printed \"" +
                TTranscript::Readable(TTranscript::MaskLine(Tail(outcome.Heard))) + "\").");
        RequestRead();
        return;
      }
    }
    for (const std::string& note : notes) ShowMessage(note);
    if (WriteCancelled()) {
      portClosed();
      return;
    }
    if (WriteAborted()) {
      stopped();
      return;
    }
    PostProgress({TWorkStep::Storing, {}, 0, 0});
    report.Succeeded = console_.Store();
    if (report.Succeeded) {
      storedAt_ = checkProgressAt_ = std::chrono::steady_clock::now();
      checkStage_ = checkLines_ = 0;
    }
    checking_ = report.Succeeded;
    if (!report.Succeeded) Fail(report, TWriteFailure::StoreUnconfirmed);
  }
  // The window must not keep showing the values from before the write as current.
  report.Reread = report.Kind != TWriteKind::Exit;
  finish(report);
  if (report.Reread) RequestRead();
}
