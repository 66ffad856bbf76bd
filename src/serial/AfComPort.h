#pragma once
// The serial port component: opens a COM port by number with given line settings, sends data
// through a write thread with a ring buffer, watches the line with an event thread and reads
// received bytes on request. Nothing is delivered from the event thread but its errors.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "AfComPortTypes.h"

class TAfComPortCore;

class TAfCustomSerialPort {
 public:
  TAfCustomSerialPort();
  virtual ~TAfCustomSerialPort();
  TAfCustomSerialPort(const TAfCustomSerialPort&) = delete;
  TAfCustomSerialPort& operator=(const TAfCustomSerialPort&) = delete;

  void Open();
  void Close();
  bool Active() const;
  void SetActive(bool active);

  void WriteData(const void* buffer, int count);
  void WriteString(const std::string& text) { WriteData(text.data(), static_cast<int>(text.size())); }
  int OutputFree() const;
  int InputCount() const;
  void ReadData(void* buffer, int count);
  std::string ReadString();
  void PurgeInput();
  void PurgeOutput();
  // Waits up to timeoutMs for received data; true when some is waiting. False at once when closed.
  bool WaitForInput(int timeoutMs) const;
  // The line has gone dead under the open port and nothing more is to be read from it.
  bool HungUp() const;

  // Line settings.
  TAfBaudrate BaudRate() const { return baudRate_; }
  void SetBaudRate(TAfBaudrate v);
  int32_t UserBaudRate() const { return userBaudRate_; }
  void SetUserBaudRate(int32_t v);
  TAfDatabits Databits() const { return databits_; }
  void SetDatabits(TAfDatabits v);
  TAfParity Parity() const { return parity_; }
  void SetParity(TAfParity v);
  TAfStopbits Stopbits() const { return stopbits_; }
  void SetStopbits(TAfStopbits v);
  TAfFlowControl FlowControl() const { return flowControl_; }
  void SetFlowControl(TAfFlowControl v);
  TAfComOptions Options() const { return options_; }
  void SetOptions(TAfComOptions v);
  char XOnChar() const { return xonChar_; }
  void SetXOnChar(char v);
  char XOffChar() const { return xoffChar_; }
  void SetXOffChar(char v);
  uint16_t XOnLim() const { return xonLim_; }
  void SetXOnLim(uint16_t v);
  uint16_t XOffLim() const { return xoffLim_; }
  void SetXOffLim(uint16_t v);
  bool DTR() const { return dtr_; }
  void SetDTR(bool v);
  bool RTS() const { return rts_; }
  void SetRTS(bool v);
  int32_t InBufSize() const { return inBufSize_; }
  void SetInBufSize(int32_t v);
  int32_t OutBufSize() const { return outBufSize_; }
  void SetOutBufSize(int32_t v);
  TAfThreadPriority EventThreadPriority() const { return eventPriority_; }
  void SetEventThreadPriority(TAfThreadPriority v) { eventPriority_ = v; }
  TAfThreadPriority WriteThreadPriority() const { return writePriority_; }
  void SetWriteThreadPriority(TAfThreadPriority v) { writePriority_ = v; }
  bool AutoOpen() const { return autoOpen_; }
  void SetAutoOpen(bool v) { autoOpen_ = v; }

  // The line settings record as last built (or read back from a device that refused it).
  TAfDCB DCB() const;
  // Numeric bit rate: UserBaudRate for brUser, the entry's value otherwise.
  uint32_t NumericBaudRate() const;
  // Modem status lines (AfMs bits), 0 when closed.
  uint32_t ModemStatus() const;

  // Sees every byte handed to the port for sending and every byte read, on the calling
  // thread; for transcripts of the dialogue. Set it while the port is closed.
  std::function<void(bool sent, const std::string& bytes)> OnTrace;

 protected:
  // The device node to open; raises the core's error when there is none.
  virtual std::string DeviceName() const = 0;
  virtual int DeviceNumber() const = 0;
  bool Closing() const { return closing_; }

 private:
  void RebuildDCB();
  void ApplyDCB();
  void RecalcFlowLimits();
  void CoreEvent(TAfCoreEvent kind);  // event thread
  static std::string ErrorText(const std::string& message);

  TAfBaudrate baudRate_ = br115200;
  int32_t userBaudRate_ = 0;
  TAfDatabits databits_ = db8;
  TAfParity parity_ = paNone;
  TAfStopbits stopbits_ = sbOne;
  TAfFlowControl flowControl_ = fwNone;
  TAfComOptions options_;
  char xonChar_ = 17;
  char xoffChar_ = 19;
  uint16_t xonLim_ = 0;
  uint16_t xoffLim_ = 0;
  bool dtr_ = true;
  bool rts_ = true;
  int32_t inBufSize_ = 4096;
  int32_t outBufSize_ = 2048;
  TAfThreadPriority eventPriority_ = TAfThreadPriority::Normal;
  TAfThreadPriority writePriority_ = TAfThreadPriority::Highest;
  bool autoOpen_ = false;

  mutable std::mutex dcbLock_;
  TAfDCB dcb_;
  std::unique_ptr<TAfComPortCore> core_;
  std::atomic<bool> closing_{false};
  // Shared with the error reports on their way to the main thread, which may arrive after the
  // port has closed or gone.
  struct TErrorReports {
    std::atomic<bool> open{false};     // errors of the present opening are shown
    std::atomic<bool> pending{false};  // one is on its way or on screen: later ones are dropped
  };
  std::shared_ptr<TErrorReports> errorReports_ = std::make_shared<TErrorReports>();
  std::recursive_mutex openLock_;  // Open/Close/ComNumber from several threads
};

// Port naming "COM%d" and opening by ComNumber.
class TAfCustomComPort : public TAfCustomSerialPort {
 public:
  uint16_t ComNumber() const { return comNumber_; }
  void SetComNumber(uint16_t v);

 protected:
  std::string DeviceName() const override;
  int DeviceNumber() const override { return comNumber_; }

 private:
  uint16_t comNumber_ = 0;
};

class TAfComPort final : public TAfCustomComPort {
 public:
  TAfComPort() = default;
  ~TAfComPort() override;
};
