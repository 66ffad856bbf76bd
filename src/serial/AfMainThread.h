#pragma once
// Hand-over to the main thread. The front end installs a dispatcher that runs a function on its
// main thread (the window a Qt one); the worker delivers its results through it and a port shows
// the errors of its event thread with it. Without one, the CLI and most tests run such calls at
// once on the calling thread.

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
