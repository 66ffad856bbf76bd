#include "uKaVruneSession.h"

#include <optional>

#include "AfMainThread.h"

namespace {

// How long a wait sleeps in the queue before it looks at the clock and the cancel flag again.
constexpr int PollMs = 50;
// How long a stopped write may take to leave Setup Mode: the rest of one menu answered with
// Enter, at 9600 baud a second or two.
constexpr auto AbortWait = std::chrono::seconds(10);

}  // namespace

// The worker's calls, queued by the session's own dispatcher and run on the waiting thread.
struct TKaVruneSession::TState final : IKaVruneSink {
  explicit TState(TSessionObserver o) : observer(std::move(o)) { worker.SetSink(this, &dispatcher); }
  ~TState() override { worker.SetSink(nullptr); }

  void DeliverReadDocument(const TXmlElement& root) override {
    document = root;
    damaged = std::move(damagedNext);
    damagedNext.clear();
    ++documents;
  }
  void ReadFailed(TReadFailure kind, const std::string& reason) override {
    readFailure = reason;
    readFailureKind = kind;
  }
  void ReadDamaged(const std::vector<std::string>& lines) override { damagedNext = lines; }
  void ShowMessage(const std::string& text) override {
    if (observer.Message) observer.Message(text);
  }
  void WorkerFailed(const std::string& error) override {
    if (observer.Message) observer.Message("the conversation with the device broke off: " + error);
  }
  void Progress(const TWorkProgress& progress) override {
    if (observer.Progress) observer.Progress(progress);
  }
  void WriteFinished(const TWriteReport& r) override { report = r; }

  TSessionObserver observer;
  TAfQueuedDispatcher dispatcher;
  TXmlElement document;
  int documents = 0;
  int documentsWanted = 1;  // WaitForDevice waits for the document counted so
  std::optional<TWriteReport> report;
  std::optional<std::string> readFailure;
  TReadFailure readFailureKind = TReadFailure::LineLost;
  std::vector<std::string> damaged, damagedNext;
  TDeviceIdentityScanner identity;
  std::function<void(bool sent, const std::string& bytes)> trace;
  TDeviceWorker worker;  // last: it stops before the rest goes away
};

TKaVruneSession::TKaVruneSession(TSessionObserver observer) : state_(std::make_unique<TState>(std::move(observer))) {
  // The port's one trace hook: the unit's banner goes by only once, whether or not anyone keeps
  // a transcript.
  state_->worker.Port().OnTrace = [s = state_.get()](bool sent, const std::string& bytes) {
    if (!sent) s->identity.Feed(bytes);
    if (s->trace) s->trace(sent, bytes);
  };
}

// Long enough for a dump begun just before to be read to its end at 9600 baud, then the exit.
TKaVruneSession::~TKaVruneSession() { Leave(Clock::now() + std::chrono::seconds(10)); }

void TKaVruneSession::SetTrace(std::function<void(bool sent, const std::string& bytes)> trace) {
  state_->trace = std::move(trace);
}

TDeviceWorker& TKaVruneSession::Worker() { return state_->worker; }

bool TKaVruneSession::IsCancelled() const { return cancelled_ || (cancelFlag_ && cancelFlag_->load()); }

bool TKaVruneSession::WaitUntil(const std::function<bool()>& done, Clock::time_point deadline, bool cancellable) {
  while (!done()) {
    if (Clock::now() >= deadline || (cancellable && IsCancelled())) return false;
    state_->dispatcher.ProcessMessages(PollMs);
  }
  return true;
}

bool TKaVruneSession::Open(int comNumber) {
  if (!state_->worker.OpenPort(static_cast<uint16_t>(comNumber))) return false;
  opened_ = true;
  state_->documentsWanted = state_->documents + 1;
  return true;
}

TSessionResult TKaVruneSession::WaitForDevice(Clock::time_point deadline) {
  TState& s = *state_;
  s.readFailure.reset();
  if (WaitUntil([&] { return s.documents >= s.documentsWanted || s.readFailure; }, deadline, true) && !s.readFailure)
    return {};
  if (s.readFailure)
    return {s.readFailureKind == TReadFailure::NotBackAfterStore ? TSessionStatus::NotBack : TSessionStatus::LineLost,
            *s.readFailure};
  if (IsCancelled()) return {TSessionStatus::Cancelled, {}};
  return {TSessionStatus::NoAnswer, {}};
}

TSessionResult TKaVruneSession::Read(Clock::time_point deadline) {
  state_->documentsWanted = state_->documents + 1;
  state_->worker.RequestRead();
  return WaitForDevice(deadline);
}

const std::vector<std::string>& TKaVruneSession::DamagedLines() const { return state_->damaged; }

TDeviceIdentity TKaVruneSession::Identity() const { return state_->identity.Identity(state_->document); }

TMenuMap TKaVruneSession::MenuMap() const { return state_->worker.MenuMap(); }

void TKaVruneSession::SetRestartLimit(std::chrono::milliseconds limit) {
  state_->worker.SetRestartLimit(static_cast<int>(limit.count()));
}

TXmlElement TKaVruneSession::Settings() const { return state_->document; }

std::string TKaVruneSession::SettingsText() const {
  return state_->document ? state_->document.Document()->SaveToText() : std::string();
}

TSessionResult TKaVruneSession::Write(TWriteRequest request, Clock::time_point deadline) {
  TState& s = *state_;
  s.report.reset();
  // The worker reads the device again after every write but an exit.
  s.documentsWanted = s.documents + 1;
  const bool settings = std::holds_alternative<TXmlElement>(request);
  s.worker.RequestWrite(std::move(request));
  auto reported = [&] { return s.report.has_value(); };
  if (!WaitUntil(reported, deadline, true)) {
    const TSessionStatus why = IsCancelled() ? TSessionStatus::Cancelled : TSessionStatus::TimedOut;
    // A walk left running would go on to store after its caller gave up.
    s.worker.AbortWrite();
    if (!WaitUntil(reported, Clock::now() + AbortWait, false))
      return {why, "The device did not answer while the write was being stopped; nothing was stored."};
    if (s.report->Succeeded) return {why, {}, settings};
    return {why, s.report->Message};
  }
  if (s.report->Cancelled) return {TSessionStatus::Cancelled, s.report->Message};
  if (!s.report->Succeeded) {
    TSessionResult failed{TSessionStatus::Failed, s.report->Message};
    failed.Restarted = s.report->Restarted;
    return failed;
  }
  TSessionResult r = WaitForDevice(deadline);
  // Silence after a store is the time limit running out on a unit that stored, never a unit
  // that did not answer.
  if (settings && r.Status == TSessionStatus::NoAnswer) r.Status = TSessionStatus::TimedOut;
  r.Stored = settings;
  r.NotAsked = s.report->NotAsked;
  r.NotOnUnit = s.report->NotOnUnit;
  return r;
}

TSessionResult TKaVruneSession::Apply(const TXmlElement& settings, Clock::time_point deadline) {
  return Write(settings, deadline);
}

TSessionResult TKaVruneSession::Defaults(Clock::time_point deadline) { return Write(RequestDefaults{}, deadline); }

TSessionResult TKaVruneSession::Store(Clock::time_point deadline) {
  // A write document without sections walks no menu: the device stores what it holds.
  auto empty = TXmlDocument::CreateFromText("<xml/>");
  return Write(empty->Root(), deadline);
}

bool TKaVruneSession::InSetupMode() const {
  const TState& s = *state_;
  return opened_ && s.worker.IsPortOpen() && s.worker.InSetupMode();
}

bool TKaVruneSession::Leave(Clock::time_point deadline) {
  TState& s = *state_;
  s.dispatcher.ProcessMessages(0);  // what the worker posted meanwhile is no answer to the exit
  // A device that never answered is not in Setup Mode, nor one the worker took out of it.
  if (!InSetupMode()) return true;
  opened_ = false;
  s.report.reset();
  // The worker ends the read under way first, so the exit goes out at the root prompt, never into
  // the dump.
  s.worker.RequestWrite(RequestExit{});
  WaitUntil([&] { return s.report.has_value(); }, deadline, false);
  return s.worker.LeftSetupMode();
}
