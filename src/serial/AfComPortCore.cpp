#include "AfComPortCore.h"

#include <algorithm>
#include <cstdio>
#include <future>
#include <vector>

namespace {

std::string Format(const char* fmt, int n) {
  char buf[128];
  std::snprintf(buf, sizeof buf, fmt, n);
  return buf;
}

constexpr int kThreadStartMs = 3000;
constexpr int kEventPollMs = 200;
constexpr int kPurgeWaitMs = 2000;

}  // namespace

TAfComPortCore::TAfComPortCore(EventCallback callback) : callback_(std::move(callback)) {}

TAfComPortCore::~TAfComPortCore() { Close(); }

void TAfComPortCore::Open(const OpenParams& params) {
  if (device_.IsOpen()) return;
  if (params.comNumber <= 0 || params.path.empty())
    throw EAfComPortCoreError(Format("Invalid port number (COM%d)", params.comNumber), TAfPortError::NoSuchPort);
  if (const TAfPortError why = device_.Open(params.path); why != TAfPortError::None) {
    const char* text = why == TAfPortError::NoSuchPort ? "Invalid port number (COM%d)" : "Can't open device COM%d";
    throw EAfComPortCoreError(Format(text, params.comNumber), why, device_.LastErrorText());
  }
  comNumber_ = params.comNumber;
  auto fail = [this](const char* message, TAfPortError kind = TAfPortError::IO) {
    const std::string detail = device_.LastErrorText();
    Close();
    throw EAfComPortCoreError(message, kind, detail);
  };
  if (!device_.SetTimeouts()) fail("Error setting timeouts");
  if (!device_.SetQueueSizes(params.inBufSize, params.outBufSize)) fail("Error initializing buffers");
  if (!device_.SetEventMask(AfEv::Mask)) fail(" Error setting EventMask");
  if (!device_.SetParams(params.dcb)) fail("Error setting parameters from DCB", TAfPortError::Settings);

  ring_ = std::make_unique<TAfCircularBuffer>(params.outBufSize);
  eventStop_.Reset();
  writeStop_.Reset();
  dataReady_.Reset();
  purgeRequest_.Reset();
  purged_.Reset();
  outputDone_.Reset();

  auto start = [&](std::thread& t, void (TAfComPortCore::*loop)(), TAfThreadPriority prio) {
    std::promise<void> started;
    auto ready = started.get_future();
    t = std::thread([this, loop, prio, &started] {
      AfApplyThreadPriority(prio);
      started.set_value();
      (this->*loop)();
    });
    if (ready.wait_for(std::chrono::milliseconds(kThreadStartMs)) != std::future_status::ready)
      fail("Error creating threads", TAfPortError::Other);
  };
  start(writeThread_, &TAfComPortCore::WriteThreadLoop, params.writePriority);
  active_ = true;
  start(eventThread_, &TAfComPortCore::EventThreadLoop, params.eventPriority);
  open_ = true;
}

void TAfComPortCore::Close() {
  if (!device_.IsOpen()) return;
  active_ = false;
  open_ = false;
  {
    std::lock_guard lock(readLock_);
    device_.PurgeInput();
    device_.PurgeOutput();
  }
  StopThreads();
  device_.Close();
}

void TAfComPortCore::StopThreads() {
  if (writeThread_.joinable()) {
    PurgeOutput();
    writeStop_.Set();
    writeThread_.join();
  }
  if (eventThread_.joinable()) {
    {
      std::lock_guard lock(callbackLock_);
      callback_ = nullptr;
    }
    eventStop_.Set();
    eventThread_.join();
  }
}

bool TAfComPortCore::SetDCB(const TAfDCB& dcb) {
  std::lock_guard lock(readLock_);
  return device_.SetParams(dcb);
}

TAfDCB TAfComPortCore::ReadDCB() const {
  std::lock_guard lock(readLock_);
  return device_.GetParams();
}

int TAfComPortCore::InputCount() const {
  std::lock_guard lock(readLock_);
  return device_.InputCount();
}

int TAfComPortCore::Read(void* buffer, int count) {
  std::lock_guard lock(readLock_);
  return device_.Read(buffer, count);
}

std::string TAfComPortCore::ReadAll(bool stripNull) {
  std::lock_guard lock(readLock_);
  std::string s(static_cast<size_t>(device_.InputCount()), '\0');
  s.resize(static_cast<size_t>(device_.Read(s.data(), static_cast<int>(s.size()))));
  if (stripNull) std::erase(s, '\0');
  return s;
}

bool TAfComPortCore::Append(const void* buffer, int count) {
  std::lock_guard lock(writeLock_);
  if (!ring_ || !ring_->Append(buffer, count)) return false;
  dataReady_.Set();
  return true;
}

int TAfComPortCore::OutputFree() const {
  std::lock_guard lock(writeLock_);
  return ring_ && open_ ? ring_->Free() : 0;
}

void TAfComPortCore::PurgeInput() {
  std::lock_guard lock(readLock_);
  device_.PurgeInput();
}

void TAfComPortCore::PurgeOutput() {
  if (!writeThread_.joinable()) return;
  purged_.Reset();
  purgeRequest_.Set();
  // The write thread lets go of the block it is sending before the buffer is emptied.
  if (!purged_.Wait(kPurgeWaitMs)) return;
  std::lock_guard lock(writeLock_);
  dataReady_.Reset();
  ring_->Clear();
  device_.PurgeOutput();
}

bool TAfComPortCore::WaitForInput(int timeoutMs) const {
  if (!open_) return false;
  if (InputCount() > 0) return true;
  const auto r = device_.WaitReadable(timeoutMs, &eventStop_);
  if (r == TAfWaitResult::Ready) return true;
  if (r == TAfWaitResult::Hangup && timeoutMs > 0)  // a hung-up line polls ready at once
    std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
  return InputCount() > 0;
}

bool TAfComPortCore::HungUp() const {
  return open_ && InputCount() == 0 && device_.WaitReadable(0) == TAfWaitResult::Hangup;
}

void TAfComPortCore::SetDTR(bool on) { device_.SetDTR(on); }
void TAfComPortCore::SetRTS(bool on) { device_.SetRTS(on); }

uint32_t TAfComPortCore::ModemStatus() const {
  std::lock_guard lock(readLock_);
  return device_.ModemStatus();
}

std::string TAfComPortCore::LastEventError() const {
  std::lock_guard lock(eventErrorLock_);
  return eventError_;
}

void TAfComPortCore::Raise(TAfCoreEvent kind, uint32_t data) {
  EventCallback cb;
  {
    std::lock_guard lock(callbackLock_);
    cb = callback_;
  }
  if (cb) cb(kind, data);
}

void TAfComPortCore::EventThreadLoop() {
  uint32_t lastModem = ModemStatus();
  bool hungUp = false;
  while (!eventStop_.IsSet()) {
    try {
      TAfWaitResult r;
      const int waiting = InputCount();
      if (waiting == 0 && !hungUp) {
        r = device_.WaitReadable(kEventPollMs, &eventStop_, &outputDone_);
      } else {
        // Bytes are waiting for the reader (or the line is hung up): the device would report
        // ready at once, so only the stop and output-done events and the poll act.
        r = (TAfWakeEvent::WaitAny({&eventStop_, &outputDone_}, kEventPollMs) >= 0) ? TAfWaitResult::Woken
                                                                          : TAfWaitResult::Timeout;
      }
      if (eventStop_.IsSet()) break;
      if (r == TAfWaitResult::Woken) {
        if (outputDone_.IsSet()) {
          outputDone_.Reset();
          Raise(ceOutFree, 0);
        }
        continue;
      }
      if (r == TAfWaitResult::Ready) {
        Raise(ceLineEvent, AfEv::RxChar);
        continue;
      }
      if (r == TAfWaitResult::Hangup) {
        hungUp = true;
        continue;
      }
      // The poll: status and errors, and data whose event was missed.
      uint32_t mask = 0;
      const uint32_t modem = ModemStatus();
      if ((modem ^ lastModem) & AfMs::CtsOn) mask |= AfEv::Cts;
      if ((modem ^ lastModem) & AfMs::DsrOn) mask |= AfEv::Dsr;
      if ((modem ^ lastModem) & AfMs::RlsdOn) mask |= AfEv::Rlsd;
      if ((modem & AfMs::RingOn) && !(lastModem & AfMs::RingOn)) mask |= AfEv::Ring;
      lastModem = modem;
      {
        std::lock_guard lock(readLock_);
        if (device_.TakeLineErrors()) mask |= AfEv::Err;
      }
      if (mask) Raise(ceLineEvent, mask);
      if (hungUp) hungUp = device_.WaitReadable(0) == TAfWaitResult::Hangup;
      if (const int n = InputCount(); n > 0) Raise(ceNeedReadData, static_cast<uint32_t>(n));
    } catch (const std::exception& e) {
      {
        std::lock_guard lock(eventErrorLock_);
        eventError_ = e.what();
      }
      Raise(ceException, 0);
    } catch (...) {
      EventCallback cb;
      {
        std::lock_guard lock(callbackLock_);
        cb = callback_;
      }
      if (cb) cb(ceException, 0);
    }
  }
}

bool TAfComPortCore::WriteBlock(const uint8_t* p, int n) {
  while (n > 0) {
    const int w = device_.Write(p, n);
    if (w > 0) {
      p += w;
      n -= w;
      continue;
    }
    if (w < 0) {
      // A failed device write leaves the bytes queued; try again a little later.
      if ((TAfWakeEvent::WaitAny({&writeStop_, &purgeRequest_}, 50) >= 0)) return false;
      continue;
    }
    const auto r = device_.WaitWritable(-1, &writeStop_, &purgeRequest_);
    if (r == TAfWaitResult::Woken) return false;
    if (r == TAfWaitResult::Hangup || r == TAfWaitResult::Error)
      if ((TAfWakeEvent::WaitAny({&writeStop_, &purgeRequest_}, 50) >= 0)) return false;
  }
  return true;
}

void TAfComPortCore::WriteThreadLoop() {
  std::vector<uint8_t> inFlight;
  for (;;) {
    const int which = TAfWakeEvent::WaitAny({&writeStop_, &purgeRequest_, &dataReady_}, -1);
    if (which == 0) return;
    if (which == 1) {
      purgeRequest_.Reset();
      purged_.Set();
      continue;
    }
    dataReady_.Reset();
    // The block leaves the ring before it goes to the device, so the ring's free space never
    // lags behind what the line has already taken: a writer that saw its bytes arrive finds the
    // room for its next block.
    {
      std::lock_guard lock(writeLock_);
      int count = 0;
      const uint8_t* block = ring_->ReadBlock(count);
      inFlight.assign(block, block + count);
      ring_->Remove(count);
    }
    if (inFlight.empty()) continue;
    if (!WriteBlock(inFlight.data(), static_cast<int>(inFlight.size()))) {
      if (writeStop_.IsSet()) return;
      continue;  // the purge request is answered at the top of the loop
    }
    std::lock_guard lock(writeLock_);
    if (ring_->Used() > 0) dataReady_.Set();
    else outputDone_.Set();
  }
}
