#include "AfSyncTargets.h"

#include <chrono>
#include <cstdio>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Target {
  uint32_t id = 0;
  bool enabled = false;
  std::function<void(int, uint32_t)> fn;
};

constexpr size_t kMaxTargets = 64;

std::mutex gMutex;
std::condition_variable gChanged;  // a call finished or a target was disabled
std::vector<Target> gTargets;
uint32_t gCounter = 0;
IAfMainThreadDispatcher* gDispatcher = nullptr;

Target* Find(uint32_t id) {
  for (auto& t : gTargets)
    if (t.id == id) return &t;
  return nullptr;
}

// The target's function when it may be called now, else an empty one.
std::function<void(int, uint32_t)> Callable(uint32_t id) {
  std::lock_guard lock(gMutex);
  const Target* t = Find(id);
  return t && t->enabled ? t->fn : nullptr;
}

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

namespace AfSyncTargets {

uint32_t Register(std::function<void(int, uint32_t)> fn) {
  std::lock_guard lock(gMutex);
  if (gTargets.size() >= kMaxTargets) return 0;
  if (++gCounter == 0) ++gCounter;  // 0 is no target
  gTargets.push_back({gCounter, false, std::move(fn)});
  return gCounter;
}

void Unregister(uint32_t id) {
  {
    std::lock_guard lock(gMutex);
    std::erase_if(gTargets, [id](const Target& t) { return t.id == id; });
  }
  gChanged.notify_all();
}

void Enable(uint32_t id, bool enabled) {
  {
    std::lock_guard lock(gMutex);
    if (Target* t = Find(id)) t->enabled = enabled;
  }
  gChanged.notify_all();
}

bool IsEnabled(uint32_t id) {
  std::lock_guard lock(gMutex);
  const Target* t = Find(id);
  return t && t->enabled;
}

bool SyncCall(uint32_t id, int kind, uint32_t data, int timeoutMs) {
  IAfMainThreadDispatcher* dispatcher = AfMainThreadDispatcher();
  if (!dispatcher || dispatcher->IsMainThread()) {
    auto fn = Callable(id);
    if (!fn) return false;
    fn(kind, data);
    return IsEnabled(id);
  }

  struct CallState {
    bool done = false;
  };
  auto state = std::make_shared<CallState>();
  dispatcher->Post([id, kind, data, state] {
    // Looked up again on the main thread: the target may have gone while this waited.
    if (auto fn = Callable(id)) fn(kind, data);
    {
      std::lock_guard lock(gMutex);
      state->done = true;
    }
    gChanged.notify_all();
  });

  std::unique_lock lock(gMutex);
  gChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    const Target* t = Find(id);
    return state->done || !t || !t->enabled;
  });
  const Target* t = Find(id);
  return state->done && t && t->enabled;
}

}  // namespace AfSyncTargets

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
