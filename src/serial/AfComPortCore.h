#pragma once
// The open device of a port: handle, ring buffer, the event and write threads and the locks.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "AfCircularBuffer.h"
#include "AfComPortTypes.h"
#include "AfSerialDevice.h"

class TAfComPortCore final {
 public:
  using EventCallback = std::function<void(TAfCoreEvent kind, uint32_t data)>;
  // Text of the error behind the last ceException.
  std::string LastEventError() const;

  explicit TAfComPortCore(EventCallback callback);
  ~TAfComPortCore();
  TAfComPortCore(const TAfComPortCore&) = delete;
  TAfComPortCore& operator=(const TAfComPortCore&) = delete;

  struct OpenParams {
    int comNumber = 0;
    std::string path;  // empty: the number resolves to no device
    TAfDCB dcb;
    int inBufSize = 4096;
    int outBufSize = 2048;
    TAfThreadPriority eventPriority = TAfThreadPriority::Normal;
    TAfThreadPriority writePriority = TAfThreadPriority::Highest;
  };
  // Raises EAfComPortCoreError; a failed open leaves nothing open.
  void Open(const OpenParams& params);
  void Close();
  bool IsOpen() const { return open_; }
  int ComNumber() const { return comNumber_; }

  // False when the device refused; the core then holds the device's settings (ReadDCB).
  bool SetDCB(const TAfDCB& dcb);
  TAfDCB ReadDCB() const;

  int InputCount() const;
  int Read(void* buffer, int count);
  std::string ReadAll(bool stripNull);
  bool Append(const void* buffer, int count);  // false when it does not fit
  int OutputFree() const;
  void PurgeInput();
  void PurgeOutput();
  bool WaitForInput(int timeoutMs) const;
  // The far end is gone (the adapter unplugged, the pseudo-terminal's master closed) and
  // every byte it sent has been read.
  bool HungUp() const;
  void SetDTR(bool on);
  void SetRTS(bool on);
  uint32_t ModemStatus() const;

 private:
  void EventThreadLoop();
  void WriteThreadLoop();
  bool WriteBlock(const uint8_t* p, int n);  // false when told to stop or purge
  void Raise(TAfCoreEvent kind, uint32_t data);
  void StopThreads();

  EventCallback callback_;
  std::mutex callbackLock_;
  TAfSerialDevice device_;
  int comNumber_ = 0;
  std::atomic<bool> active_{false};
  std::atomic<bool> open_{false};

  mutable std::recursive_mutex readLock_;   // reads, input purges, status, line errors
  mutable std::mutex writeLock_;            // the ring buffer
  std::unique_ptr<TAfCircularBuffer> ring_;
  mutable std::mutex eventErrorLock_;
  std::string eventError_;

  TAfWakeEvent eventStop_, writeStop_;
  TAfWakeEvent dataReady_, purgeRequest_, purged_, outputDone_;
  std::thread eventThread_, writeThread_;
};
