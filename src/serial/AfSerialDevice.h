#pragma once
// The platform seam of the serial port component: everything the core needs from the
// operating system's serial device. AfSerialDevicePosix.cpp implements it with termios,
// AfSerialDeviceWin32.cpp with the Win32 communications functions.

#include <initializer_list>
#include <memory>
#include <string>

#include "AfComPortTypes.h"

// A file descriptor on POSIX, a HANDLE on Windows.
#ifdef _WIN32
using TAfNativeHandle = void*;
#else
using TAfNativeHandle = int;
#endif

// Best effort: an unprivileged process may not raise a thread above normal.
void AfApplyThreadPriority(TAfThreadPriority priority);

// A manual-reset event that device waits can include, so that a thread blocked on the device
// can be told to stop.
class TAfWakeEvent final {
 public:
  TAfWakeEvent();
  ~TAfWakeEvent();
  TAfWakeEvent(const TAfWakeEvent&) = delete;
  TAfWakeEvent& operator=(const TAfWakeEvent&) = delete;

  void Set();
  void Reset();
  bool IsSet() const;
  // Waits until set or timeoutMs passed (negative: no time-out); true when set.
  bool Wait(int timeoutMs) const;
  TAfNativeHandle NativeHandle() const;

  // Waits for the first of several events; the index of the first set one in list order,
  // -1 when the time ran out (negative time-out: none).
  static int WaitAny(std::initializer_list<const TAfWakeEvent*> events, int timeoutMs);

 private:
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

enum class TAfWaitResult { Timeout, Ready, Woken, Hangup, Error };

class TAfSerialDevice final {
 public:
  TAfSerialDevice();
  ~TAfSerialDevice();
  TAfSerialDevice(const TAfSerialDevice&) = delete;
  TAfSerialDevice& operator=(const TAfSerialDevice&) = delete;

  // Opens the node for exclusive use without making it the controlling terminal; None when
  // open, otherwise why not (LastErrorText() holds the system's text).
  TAfPortError Open(const std::string& path);
  void Close();  // restores the line settings found at open
  bool IsOpen() const;

  bool SetTimeouts();                      // reads return at once with what is there
  bool SetQueueSizes(int in, int out);     // a hint only where the platform has none
  bool SetEventMask(uint32_t mask);
  bool SetParams(const TAfDCB& dcb);       // false when the device refuses the settings
  TAfDCB GetParams() const;

  int InputCount() const;                  // bytes waiting in the receive queue
  int OutputCount() const;                 // bytes not yet sent by the driver
  int Read(void* buf, int count);          // never blocks; bytes read, 0 when none
  int Write(const void* buf, int count);   // never blocks; bytes taken, 0 when full, -1 on error

  // Waits for received data, for room to write, or for one of the wake events.
  TAfWaitResult WaitReadable(int timeoutMs, const TAfWakeEvent* wake1 = nullptr,
                             const TAfWakeEvent* wake2 = nullptr) const;
  TAfWaitResult WaitWritable(int timeoutMs, const TAfWakeEvent* wake1 = nullptr,
                             const TAfWakeEvent* wake2 = nullptr) const;

  void PurgeInput();
  void PurgeOutput();
  void SetDTR(bool on);
  void SetRTS(bool on);
  uint32_t ModemStatus() const;            // AfMs bits
  uint32_t TakeLineErrors();               // AfCe bits seen since the last call

  std::string LastErrorText() const { return lastError_; }
  TAfPortError LastErrorKind() const { return lastKind_; }

 private:
#ifdef _WIN32
  void* handle_ = nullptr;  // INVALID_HANDLE_VALUE is never kept
  struct Overlapped;
  std::shared_ptr<Overlapped> io_;
#else
  int fd_ = -1;
  bool locked_ = false;
  struct Counters;
  std::shared_ptr<Counters> counters_;
#endif
  std::shared_ptr<void> saved_;  // the line settings found at open
  std::string lastError_;
  TAfPortError lastKind_ = TAfPortError::None;
};
