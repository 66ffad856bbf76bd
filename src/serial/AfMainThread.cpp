#include "AfMainThread.h"

#include <chrono>
#include <cstdio>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

std::mutex gMutex;
IAfMainThreadDispatcher* gDispatcher = nullptr;

}  // namespace

void IAfMainThreadDispatcher::ReportError(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
}

void SetAfMainThreadDispatcher(IAfMainThreadDispatcher* dispatcher) {
  std::lock_guard lock(gMutex);
  gDispatcher = dispatcher;
}

IAfMainThreadDispatcher* AfMainThreadDispatcher() {
  std::lock_guard lock(gMutex);
  return gDispatcher;
}

// ---------------------------------------------------------------- TAfQueuedDispatcher

struct TAfQueuedDispatcher::Impl {
  std::mutex mutex;
  std::condition_variable posted;
  std::deque<std::function<void()>> queue;
  std::thread::id mainThread = std::this_thread::get_id();
};

TAfQueuedDispatcher::TAfQueuedDispatcher() : impl_(std::make_unique<Impl>()) {}

TAfQueuedDispatcher::~TAfQueuedDispatcher() = default;

void TAfQueuedDispatcher::Post(std::function<void()> fn) {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->queue.push_back(std::move(fn));
  }
  impl_->posted.notify_all();
}

bool TAfQueuedDispatcher::IsMainThread() const { return std::this_thread::get_id() == impl_->mainThread; }

int TAfQueuedDispatcher::ProcessMessages(int timeoutMs) {
  std::deque<std::function<void()>> batch;
  {
    std::unique_lock lock(impl_->mutex);
    impl_->posted.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                           [&] { return !impl_->queue.empty(); });
    batch.swap(impl_->queue);
  }
  for (auto& fn : batch) fn();
  return static_cast<int>(batch.size());
}
