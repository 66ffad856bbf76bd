#pragma once
// Delivery of port events to the main thread. The front end installs a dispatcher that runs
// a function on its main thread (the window a Qt one); without one, a call runs at once on
// the calling thread, which is what the CLI and most tests want.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class IAfMainThreadDispatcher {
 public:
  virtual ~IAfMainThreadDispatcher() = default;
  // Queues fn to run on the main thread; must not run it before returning unless the
  // caller is the main thread itself.
  virtual void Post(std::function<void()> fn) = 0;
  virtual bool IsMainThread() const = 0;
  // The global busy cursor while a port opens; nothing by default.
  virtual void BusyCursor(bool /*on*/) {}
  // An error raised on a port's event thread, shown on the main thread.
  virtual void ReportError(const std::string& message);
};

// Installs the dispatcher (nullptr: run calls directly). Not owned.
void SetAfMainThreadDispatcher(IAfMainThreadDispatcher* dispatcher);
IAfMainThreadDispatcher* AfMainThreadDispatcher();

// A process-wide table of at most 64 sync targets. Each has a non-zero id, an enabled flag and
// the function to call. A call to a missing or disabled target does nothing.
namespace AfSyncTargets {
uint32_t Register(std::function<void(int kind, uint32_t data)> fn);  // 0 when the table is full
void Unregister(uint32_t id);
void Enable(uint32_t id, bool enabled);
bool IsEnabled(uint32_t id);
// Calls the target on the main thread and waits at most timeoutMs. Returns false when the
// target was disabled or missing, or the time ran out; a disabled target ends the wait at once.
bool SyncCall(uint32_t id, int kind, uint32_t data, int timeoutMs);
}  // namespace AfSyncTargets

// A dispatcher for programs without an event loop of their own: Post queues, and the main
// thread runs the queue with ProcessMessages.
class TAfQueuedDispatcher final : public IAfMainThreadDispatcher {
 public:
  TAfQueuedDispatcher();
  ~TAfQueuedDispatcher() override;
  void Post(std::function<void()> fn) override;
  bool IsMainThread() const override;
  // Runs what is queued; waits up to timeoutMs for the first item. Returns how many ran.
  int ProcessMessages(int timeoutMs = 0);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
