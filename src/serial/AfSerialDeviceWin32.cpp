// The serial device on Windows: a COM handle opened for overlapped I/O, so that no call ever
// blocks on the line and every wait can include the component's wake events.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <vector>

#include "AfSerialDevice.h"

std::string AfPortLockName(const std::string& path);

namespace {

std::string SystemText(DWORD code) {
  char* text = nullptr;
  const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string s = n && text ? std::string(text, n) : "error " + std::to_string(code);
  if (text) ::LocalFree(text);
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.')) s.pop_back();
  return s;
}

// Waits for the first of the handles; its index, -1 on time-out or failure.
int WaitHandles(const std::vector<HANDLE>& handles, int timeoutMs) {
  const DWORD r = ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE,
                                           timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
  if (r >= WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + handles.size()) return static_cast<int>(r - WAIT_OBJECT_0);
  return -1;
}

HANDLE NewEvent() { return ::CreateEventA(nullptr, TRUE, FALSE, nullptr); }

}  // namespace

void AfApplyThreadPriority(TAfThreadPriority p) {
  static const int level[] = {THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,  THREAD_PRIORITY_BELOW_NORMAL,
                              THREAD_PRIORITY_NORMAL,       THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
                              THREAD_PRIORITY_TIME_CRITICAL};
  ::SetThreadPriority(::GetCurrentThread(), level[static_cast<int>(p)]);
}

// ---------------------------------------------------------------- TAfWakeEvent

TAfWakeEvent::TAfWakeEvent() : handle_(NewEvent()) {}

TAfWakeEvent::~TAfWakeEvent() {
  if (handle_) ::CloseHandle(handle_);
}

void TAfWakeEvent::Set() { ::SetEvent(handle_); }
void TAfWakeEvent::Reset() { ::ResetEvent(handle_); }
bool TAfWakeEvent::IsSet() const { return Wait(0); }
bool TAfWakeEvent::Wait(int timeoutMs) const { return WaitHandles({handle_}, timeoutMs) == 0; }
TAfNativeHandle TAfWakeEvent::NativeHandle() const { return handle_; }

int TAfWakeEvent::WaitAny(std::initializer_list<const TAfWakeEvent*> events, int timeoutMs) {
  std::vector<HANDLE> handles;
  for (const auto* e : events) handles.push_back(e->handle_);
  return WaitHandles(handles, timeoutMs);  // the lowest signalled index, as the list orders them
}

// ---------------------------------------------------------------- the device

// Overlapped requests and what the communications driver reports between calls. Reads,
// status and the event wait may come from different threads, so each has its own lock.
struct TAfSerialDevice::Overlapped {
  ~Overlapped() {
    for (HANDLE h : {readEvent, writeEvent, commEvent, lock})
      if (h) ::CloseHandle(h);
  }
  HANDLE lock = nullptr;  // the named mutex that marks the port as ours
  HANDLE readEvent = NewEvent();
  HANDLE writeEvent = NewEvent();
  HANDLE commEvent = NewEvent();

  std::mutex readLock;

  // One write in flight at a time; its bytes stay here until the driver took them.
  OVERLAPPED write{};
  std::vector<char> writing;
  bool writePending = false;

  // One WaitCommEvent in flight; whichever thread waits first owns it, others poll.
  std::mutex commLock;
  OVERLAPPED comm{};
  DWORD commMask = 0;
  bool commPending = false;
  bool commOwned = false;

  // ClearCommError clears what it reports: errors seen by any call are kept for TakeLineErrors.
  std::mutex statusLock;
  uint32_t errors = 0;
};

TAfSerialDevice::TAfSerialDevice() = default;

TAfSerialDevice::~TAfSerialDevice() { Close(); }

TAfPortError TAfSerialDevice::Open(const std::string& path) {
  Close();
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    lastError_ = SystemText(code);
    switch (code) {
      case ERROR_FILE_NOT_FOUND: case ERROR_PATH_NOT_FOUND: case ERROR_INVALID_NAME: case ERROR_BAD_PATHNAME:
        lastKind_ = TAfPortError::NoSuchPort;
        break;
      // Exclusive by nature: "access denied" is another program holding the port.
      case ERROR_ACCESS_DENIED: case ERROR_SHARING_VIOLATION: case ERROR_BUSY: lastKind_ = TAfPortError::InUse; break;
      default: lastKind_ = TAfPortError::Other; break;
    }
    return lastKind_;
  }
  auto saved = std::make_shared<DCB>();
  saved->DCBlength = sizeof(DCB);
  if (!::GetCommState(h, saved.get())) {  // a file, not a communications device
    lastError_ = SystemText(::GetLastError());
    ::CloseHandle(h);
    return lastKind_ = TAfPortError::NotSerial;
  }
  io_ = std::make_shared<Overlapped>();
  io_->lock = ::CreateMutexA(nullptr, FALSE, AfPortLockName(path).c_str());
  if (!io_->lock || ::GetLastError() == ERROR_ALREADY_EXISTS) {
    lastError_ = SystemText(ERROR_ACCESS_DENIED);
    io_.reset();
    ::CloseHandle(h);
    return lastKind_ = TAfPortError::InUse;
  }
  handle_ = h;
  saved_ = saved;
  lastError_.clear();
  return lastKind_ = TAfPortError::None;
}

void TAfSerialDevice::Close() {
  if (!handle_) return;
  ::CancelIoEx(handle_, nullptr);
  if (io_->writePending) {
    DWORD n = 0;
    ::GetOverlappedResult(handle_, &io_->write, &n, TRUE);
  }
  if (io_->commPending) {
    DWORD n = 0;
    ::GetOverlappedResult(handle_, &io_->comm, &n, TRUE);
  }
  if (saved_) ::SetCommState(handle_, static_cast<DCB*>(saved_.get()));
  ::CloseHandle(handle_);
  handle_ = nullptr;
  io_.reset();
  saved_.reset();
}

bool TAfSerialDevice::IsOpen() const { return handle_ != nullptr; }

bool TAfSerialDevice::SetTimeouts() {
  // Reads return at once with what the driver holds; writes never time out (they are
  // overlapped, so nobody waits for them but the write thread, which can be woken).
  COMMTIMEOUTS t{};
  t.ReadIntervalTimeout = MAXDWORD;
  return handle_ && ::SetCommTimeouts(handle_, &t);
}

bool TAfSerialDevice::SetQueueSizes(int in, int out) {
  return handle_ && in > 0 && out > 0 && ::SetupComm(handle_, static_cast<DWORD>(in), static_cast<DWORD>(out));
}

bool TAfSerialDevice::SetEventMask(uint32_t mask) {
  if (!handle_) return false;
  // The core's mask uses the system's EV_ bit values.
  return ::SetCommMask(handle_, mask);
}

bool TAfSerialDevice::SetParams(const TAfDCB& dcb) {
  using namespace AfDcbFlags;
  if (!handle_) return false;
  if (dcb.ByteSize < 5 || dcb.ByteSize > 8) { lastError_ = "data bits"; return false; }
  if (dcb.Parity > 4) { lastError_ = "parity"; return false; }
  if (dcb.StopBits > 2) { lastError_ = "stop bits"; return false; }
  if (dcb.BaudRate == 0) { lastError_ = "bit rate"; return false; }
  DCB before{};
  before.DCBlength = sizeof before;
  if (!::GetCommState(handle_, &before)) { lastError_ = SystemText(::GetLastError()); return false; }
  DCB d = before;
  d.BaudRate = dcb.BaudRate;
  d.ByteSize = dcb.ByteSize;
  d.Parity = dcb.Parity;
  d.StopBits = dcb.StopBits;
  d.fBinary = TRUE;
  d.fParity = (dcb.Flags & Parity) != 0;
  d.fOutxCtsFlow = (dcb.Flags & OutxCtsFlow) != 0;
  d.fOutxDsrFlow = (dcb.Flags & OutxDsrFlow) != 0;
  d.fDtrControl = (dcb.Flags & DtrControlHandshake) ? DTR_CONTROL_HANDSHAKE
                  : (dcb.Flags & DtrControlEnable)  ? DTR_CONTROL_ENABLE
                                                    : DTR_CONTROL_DISABLE;
  d.fDsrSensitivity = (dcb.Flags & DsrSensitivity) != 0;
  d.fTXContinueOnXoff = (dcb.Flags & TXContinueOnXoff) != 0;
  d.fOutX = (dcb.Flags & OutX) != 0;
  d.fInX = (dcb.Flags & InX) != 0;
  d.fErrorChar = (dcb.Flags & ErrorChar) != 0;
  d.fNull = (dcb.Flags & Null) != 0;
  d.fRtsControl = (dcb.Flags & RtsControlHandshake) ? RTS_CONTROL_HANDSHAKE
                  : (dcb.Flags & RtsControlEnable)  ? RTS_CONTROL_ENABLE
                                                    : RTS_CONTROL_DISABLE;
  d.fAbortOnError = FALSE;
  d.XonLim = dcb.XonLim;
  d.XoffLim = dcb.XoffLim;
  d.XonChar = dcb.XonChar;
  d.XoffChar = dcb.XoffChar;
  if (!::SetCommState(handle_, &d)) {
    lastError_ = SystemText(::GetLastError());
    ::SetCommState(handle_, &before);
    return false;
  }
  // A driver may take part of the record without a word: check that all of it was taken.
  DCB after{};
  after.DCBlength = sizeof after;
  if (!::GetCommState(handle_, &after) || after.BaudRate != d.BaudRate || after.ByteSize != d.ByteSize ||
      after.Parity != d.Parity || after.StopBits != d.StopBits) {
    lastError_ = "refused";
    ::SetCommState(handle_, &before);
    return false;
  }
  return true;
}

TAfDCB TAfSerialDevice::GetParams() const {
  using namespace AfDcbFlags;
  TAfDCB dcb;
  DCB d{};
  d.DCBlength = sizeof d;
  if (!handle_ || !::GetCommState(handle_, &d)) return dcb;
  dcb.BaudRate = d.BaudRate;
  dcb.ByteSize = d.ByteSize;
  dcb.Parity = d.Parity;
  dcb.StopBits = d.StopBits;
  dcb.Flags = Binary;
  if (d.fParity) dcb.Flags |= Parity;
  if (d.fOutxCtsFlow) dcb.Flags |= OutxCtsFlow;
  if (d.fOutxDsrFlow) dcb.Flags |= OutxDsrFlow;
  if (d.fDtrControl == DTR_CONTROL_ENABLE) dcb.Flags |= DtrControlEnable;
  if (d.fDtrControl == DTR_CONTROL_HANDSHAKE) dcb.Flags |= DtrControlHandshake;
  if (d.fDsrSensitivity) dcb.Flags |= DsrSensitivity;
  if (d.fTXContinueOnXoff) dcb.Flags |= TXContinueOnXoff;
  if (d.fOutX) dcb.Flags |= OutX;
  if (d.fInX) dcb.Flags |= InX;
  if (d.fErrorChar) dcb.Flags |= ErrorChar;
  if (d.fNull) dcb.Flags |= Null;
  if (d.fRtsControl == RTS_CONTROL_ENABLE) dcb.Flags |= RtsControlEnable;
  if (d.fRtsControl == RTS_CONTROL_HANDSHAKE) dcb.Flags |= RtsControlHandshake;
  dcb.XonLim = d.XonLim;
  dcb.XoffLim = d.XoffLim;
  dcb.XonChar = d.XonChar;
  dcb.XoffChar = d.XoffChar;
  return dcb;
}

namespace {

// The driver's queue counts; false when the handle no longer answers (device gone).
bool QueueStatus(HANDLE h, std::mutex& lock, uint32_t& errors, COMSTAT& status) {
  DWORD e = 0;
  status = COMSTAT{};
  if (!::ClearCommError(h, &e, &status)) return false;
  std::lock_guard guard(lock);
  if (e & CE_RXOVER) errors |= AfCe::RxOver;
  if (e & CE_OVERRUN) errors |= AfCe::Overrun;
  if (e & CE_RXPARITY) errors |= AfCe::RxParity;
  if (e & CE_FRAME) errors |= AfCe::Frame;
  if (e & CE_BREAK) errors |= AfCe::Break;
  return true;
}

}  // namespace

int TAfSerialDevice::InputCount() const {
  COMSTAT s;
  if (!handle_ || !QueueStatus(handle_, io_->statusLock, io_->errors, s)) return 0;
  return static_cast<int>(s.cbInQue);
}

int TAfSerialDevice::OutputCount() const {
  COMSTAT s;
  if (!handle_ || !QueueStatus(handle_, io_->statusLock, io_->errors, s)) return 0;
  const auto pending = io_->writePending ? io_->writing.size() : size_t{0};
  return static_cast<int>(std::max<size_t>(s.cbOutQue, pending));
}

int TAfSerialDevice::Read(void* buf, int count) {
  if (!handle_ || count <= 0) return 0;
  std::lock_guard guard(io_->readLock);
  const int waiting = std::min(count, InputCount());
  if (waiting <= 0) return 0;
  OVERLAPPED o{};
  o.hEvent = io_->readEvent;
  ::ResetEvent(o.hEvent);
  DWORD got = 0;
  if (!::ReadFile(handle_, buf, static_cast<DWORD>(waiting), &got, &o)) {
    if (::GetLastError() != ERROR_IO_PENDING) return 0;
    // The bytes are in the driver's queue and the read time-outs return at once.
    if (!::GetOverlappedResult(handle_, &o, &got, TRUE)) return 0;
  }
  return static_cast<int>(got);
}

int TAfSerialDevice::Write(const void* buf, int count) {
  if (!handle_) return -1;
  auto& io = *io_;
  if (io.writePending) {
    DWORD n = 0;
    if (!::GetOverlappedResult(handle_, &io.write, &n, FALSE)) {
      const DWORD e = ::GetLastError();
      if (e == ERROR_IO_INCOMPLETE) return 0;  // the driver is still busy with the last block
      io.writePending = false;
      if (e != ERROR_OPERATION_ABORTED) {  // a purge drops the block on purpose
        lastError_ = SystemText(e);
        return -1;
      }
    }
    io.writePending = false;
  }
  if (count <= 0) return 0;
  io.writing.assign(static_cast<const char*>(buf), static_cast<const char*>(buf) + count);
  io.write = OVERLAPPED{};
  io.write.hEvent = io.writeEvent;
  ::ResetEvent(io.writeEvent);
  DWORD n = 0;
  if (!::WriteFile(handle_, io.writing.data(), static_cast<DWORD>(count), &n, &io.write)) {
    const DWORD e = ::GetLastError();
    if (e != ERROR_IO_PENDING) {
      lastError_ = SystemText(e);
      return -1;
    }
    io.writePending = true;
  }
  // The driver owns the bytes now, done or not: the caller may let go of its copy.
  return count;
}

TAfWaitResult TAfSerialDevice::WaitReadable(int timeoutMs, const TAfWakeEvent* w1, const TAfWakeEvent* w2) const {
  if (!handle_) return TAfWaitResult::Error;
  auto& io = *io_;
  std::vector<HANDLE> wakes;
  if (w1) wakes.push_back(w1->NativeHandle());
  if (w2) wakes.push_back(w2->NativeHandle());
  using clock = std::chrono::steady_clock;
  const auto until = clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  // Owning the event wait: one WaitCommEvent may be in flight per handle. A second waiter
  // (the reader beside the event thread) looks at the queue in short steps instead.
  std::unique_lock own(io.commLock);
  const bool owner = !io.commOwned;
  if (owner) io.commOwned = true;
  own.unlock();
  struct Release {
    Overlapped& io;
    bool owner;
    ~Release() {
      if (!owner) return;
      std::lock_guard g(io.commLock);
      io.commOwned = false;
    }
  } release{io, owner};

  for (;;) {
    COMSTAT s;
    if (!QueueStatus(handle_, io.statusLock, io.errors, s)) return TAfWaitResult::Hangup;
    if (s.cbInQue > 0) return TAfWaitResult::Ready;
    int left = -1;
    if (timeoutMs >= 0) {
      left = static_cast<int>(
          std::chrono::ceil<std::chrono::milliseconds>(until - clock::now()).count());
      if (left <= 0) return TAfWaitResult::Timeout;
    }
    // Short steps even for the owner: a driver that reports no receive event (wine on a
    // pseudo-terminal says little) still gets its data seen within a few milliseconds.
    const int step = left < 0 ? 10 : std::min(left, 10);
    std::vector<HANDLE> handles = wakes;
    if (owner) {
      if (!io.commPending) {
        io.comm = OVERLAPPED{};
        io.comm.hEvent = io.commEvent;
        ::ResetEvent(io.commEvent);
        io.commMask = 0;
        if (::WaitCommEvent(handle_, &io.commMask, &io.comm)) continue;  // an event at once
        if (::GetLastError() != ERROR_IO_PENDING) return TAfWaitResult::Error;
        io.commPending = true;
      }
      handles.push_back(io.commEvent);
    }
    if (handles.empty()) {
      ::Sleep(static_cast<DWORD>(std::min(step, 2)));
      continue;
    }
    const int which = WaitHandles(handles, owner ? step : std::min(step, 2));
    if (which >= 0 && which < static_cast<int>(wakes.size())) return TAfWaitResult::Woken;
    if (owner && which == static_cast<int>(wakes.size())) {
      DWORD n = 0;
      ::GetOverlappedResult(handle_, &io.comm, &n, FALSE);
      io.commPending = false;
    }
  }
}

TAfWaitResult TAfSerialDevice::WaitWritable(int timeoutMs, const TAfWakeEvent* w1, const TAfWakeEvent* w2) const {
  if (!handle_) return TAfWaitResult::Error;
  if (!io_->writePending) return TAfWaitResult::Ready;
  std::vector<HANDLE> handles;
  if (w1) handles.push_back(w1->NativeHandle());
  if (w2) handles.push_back(w2->NativeHandle());
  handles.push_back(io_->writeEvent);
  const int which = WaitHandles(handles, timeoutMs);
  if (which < 0) return TAfWaitResult::Timeout;
  return which + 1 == static_cast<int>(handles.size()) ? TAfWaitResult::Ready : TAfWaitResult::Woken;
}

void TAfSerialDevice::PurgeInput() {
  if (handle_) ::PurgeComm(handle_, PURGE_RXCLEAR);
}

void TAfSerialDevice::PurgeOutput() {
  if (handle_) ::PurgeComm(handle_, PURGE_TXCLEAR | PURGE_TXABORT);
}

void TAfSerialDevice::SetDTR(bool on) {
  if (handle_) ::EscapeCommFunction(handle_, on ? SETDTR : CLRDTR);
}

void TAfSerialDevice::SetRTS(bool on) {
  if (handle_) ::EscapeCommFunction(handle_, on ? SETRTS : CLRRTS);
}

uint32_t TAfSerialDevice::ModemStatus() const {
  DWORD lines = 0;
  if (!handle_ || !::GetCommModemStatus(handle_, &lines)) return 0;
  uint32_t ms = 0;
  if (lines & MS_CTS_ON) ms |= AfMs::CtsOn;
  if (lines & MS_DSR_ON) ms |= AfMs::DsrOn;
  if (lines & MS_RING_ON) ms |= AfMs::RingOn;
  if (lines & MS_RLSD_ON) ms |= AfMs::RlsdOn;
  return ms;
}

uint32_t TAfSerialDevice::TakeLineErrors() {
  if (!handle_) return 0;
  COMSTAT s;
  QueueStatus(handle_, io_->statusLock, io_->errors, s);
  std::lock_guard guard(io_->statusLock);
  const uint32_t e = io_->errors;
  io_->errors = 0;
  return e;
}
