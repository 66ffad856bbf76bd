#include "AfComPort.h"

#include <cstdio>

#include "AfComNames.h"
#include "AfComPortCore.h"
#include "AfMainThread.h"

namespace {

// Clears the busy cursor on every way out of an open.
struct BusyCursor {
  IAfMainThreadDispatcher* d = AfMainThreadDispatcher();
  BusyCursor() {
    if (d) d->BusyCursor(true);
  }
  ~BusyCursor() {
    if (d) d->BusyCursor(false);
  }
};

}  // namespace

uint32_t BaudRateValue(TAfBaudrate rate) {
  static const uint32_t values[] = {110,   300,   600,   1200,   2400,   4800,   9600,  14400,
                                    19200, 38400, 56000, 57600, 115200, 128000, 256000, 0};
  return values[rate];
}

TAfCustomSerialPort::TAfCustomSerialPort() { RebuildDCB(); }

TAfCustomSerialPort::~TAfCustomSerialPort() {
  errorReports_->open = false;
  core_.reset();
}

TAfComPort::~TAfComPort() { Close(); }

// The component's errors name the port after the dash; no port is named in this program, and
// the texts keep their form.
std::string TAfCustomSerialPort::ErrorText(const std::string& message) { return message + " -  "; }

void TAfCustomSerialPort::Open() {
  std::lock_guard guard(openLock_);
  if (Active()) return;
  errorReports_->open = true;
  TAfComPortCore::OpenParams p;
  {
    std::lock_guard lock(dcbLock_);
    p.dcb = dcb_;
  }
  p.comNumber = DeviceNumber();
  p.inBufSize = inBufSize_;
  p.outBufSize = outBufSize_;
  p.eventPriority = eventPriority_;
  p.writePriority = writePriority_;
  closing_ = false;
  {
    BusyCursor busy;
    p.path = DeviceName();
    if (!core_) core_ = std::make_unique<TAfComPortCore>([this](TAfCoreEvent k, uint32_t) { CoreEvent(k); });
    try {
      core_->Open(p);
    } catch (...) {
      errorReports_->open = false;
      throw;
    }
  }
}

void TAfCustomSerialPort::Close() {
  std::lock_guard guard(openLock_);
  closing_ = true;
  if (Active()) {
    errorReports_->open = false;
    core_->Close();
  }
  closing_ = false;
}

bool TAfCustomSerialPort::Active() const { return core_ && core_->IsOpen(); }

void TAfCustomSerialPort::SetActive(bool active) {
  if (active) Open();
  else Close();
}

void TAfCustomSerialPort::WriteData(const void* buffer, int count) {
  if (closing_ || count <= 0) return;
  if (!Active() || !core_->Append(buffer, count)) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "Write data error [requested: %d, free: %d]", count, OutputFree());
    throw EAfComPortError(ErrorText(buf), Active() ? TAfPortError::IO : TAfPortError::Other);
  }
  if (OnTrace) OnTrace(true, std::string(static_cast<const char*>(buffer), static_cast<size_t>(count)));
}

int TAfCustomSerialPort::OutputFree() const { return Active() ? core_->OutputFree() : 0; }

int TAfCustomSerialPort::InputCount() const { return Active() ? core_->InputCount() : 0; }

void TAfCustomSerialPort::ReadData(void* buffer, int count) {
  if (closing_) return;
  const int got = Active() ? core_->Read(buffer, count) : 0;
  if (OnTrace && got > 0) OnTrace(false, std::string(static_cast<const char*>(buffer), static_cast<size_t>(got)));
  if (got < count) throw EAfComPortError(ErrorText("Read data error"), TAfPortError::IO);
}

std::string TAfCustomSerialPort::ReadString() {
  if (closing_ || !Active()) return {};
  std::string s = core_->ReadAll(options_.Has(coStripNull));
  if (OnTrace && !s.empty()) OnTrace(false, s);
  return s;
}

void TAfCustomSerialPort::PurgeInput() {
  if (!closing_ && Active()) core_->PurgeInput();
}

void TAfCustomSerialPort::PurgeOutput() {
  if (!closing_ && Active()) core_->PurgeOutput();
}

bool TAfCustomSerialPort::WaitForInput(int timeoutMs) const {
  return !closing_ && Active() && core_->WaitForInput(timeoutMs);
}

bool TAfCustomSerialPort::HungUp() const { return !closing_ && Active() && core_->HungUp(); }

uint32_t TAfCustomSerialPort::ModemStatus() const { return Active() ? core_->ModemStatus() : 0; }

TAfDCB TAfCustomSerialPort::DCB() const {
  std::lock_guard lock(dcbLock_);
  return dcb_;
}

uint32_t TAfCustomSerialPort::NumericBaudRate() const {
  return baudRate_ == brUser ? static_cast<uint32_t>(std::max<int32_t>(userBaudRate_, 0)) : BaudRateValue(baudRate_);
}

// ---------------------------------------------------------------- line settings

void TAfCustomSerialPort::RebuildDCB() {
  using namespace AfDcbFlags;
  TAfDCB d;
  d.BaudRate = NumericBaudRate();
  d.Flags = Binary;
  switch (flowControl_) {
    case fwNone: break;
    case fwXOnXOff: d.Flags |= OutX | InX; break;
    case fwRtsCts: d.Flags |= OutxCtsFlow | RtsControlHandshake; break;
    case fwDtrDsr: d.Flags |= OutxDsrFlow | DtrControlHandshake; break;
  }
  if (options_.Has(coParityCheck)) d.Flags |= AfDcbFlags::Parity;
  if (options_.Has(coDsrSensitivity)) d.Flags |= DsrSensitivity;
  if (options_.Has(coIgnoreXOff)) d.Flags |= TXContinueOnXoff;
  if (options_.Has(coErrorChar)) d.Flags |= ErrorChar;
  if (options_.Has(coStripNull)) d.Flags |= Null;
  if (dtr_ && flowControl_ != fwDtrDsr) d.Flags |= DtrControlEnable;
  if (rts_ && flowControl_ != fwRtsCts) d.Flags |= RtsControlEnable;
  d.XonLim = xonLim_;
  d.XoffLim = xoffLim_;
  d.ByteSize = static_cast<uint8_t>(4 + databits_);
  d.Parity = static_cast<uint8_t>(parity_);
  d.StopBits = static_cast<uint8_t>(stopbits_);
  d.XonChar = xonChar_;
  d.XoffChar = xoffChar_;
  {
    std::lock_guard lock(dcbLock_);
    dcb_ = d;
  }
  ApplyDCB();
}

void TAfCustomSerialPort::ApplyDCB() {
  if (!Active()) return;
  if (!core_->SetDCB(DCB())) {
    // The device keeps what it had; the record follows the device, the properties stay.
    TAfDCB actual = core_->ReadDCB();
    {
      std::lock_guard lock(dcbLock_);
      actual.XonLim = dcb_.XonLim;
      actual.XoffLim = dcb_.XoffLim;
      dcb_ = actual;
    }
    throw EAfComPortCoreError("Error setting parameters from DCB", TAfPortError::Settings);
  }
}

void TAfCustomSerialPort::RecalcFlowLimits() {
  if (flowControl_ == fwNone) {
    xonLim_ = xoffLim_ = 0;
  } else {
    xonLim_ = static_cast<uint16_t>(inBufSize_ / 4);
    xoffLim_ = static_cast<uint16_t>(inBufSize_ - inBufSize_ / 4);
  }
  std::lock_guard lock(dcbLock_);
  dcb_.XonLim = xonLim_;
  dcb_.XoffLim = xoffLim_;
}

void TAfCustomSerialPort::SetBaudRate(TAfBaudrate v) {
  baudRate_ = v;
  if (v != brUser) userBaudRate_ = 0;
  RebuildDCB();
}

void TAfCustomSerialPort::SetUserBaudRate(int32_t v) {
  userBaudRate_ = v;
  baudRate_ = brUser;
  RebuildDCB();
}

void TAfCustomSerialPort::SetDatabits(TAfDatabits v) { databits_ = v; RebuildDCB(); }
void TAfCustomSerialPort::SetParity(TAfParity v) { parity_ = v; RebuildDCB(); }
void TAfCustomSerialPort::SetStopbits(TAfStopbits v) { stopbits_ = v; RebuildDCB(); }

void TAfCustomSerialPort::SetFlowControl(TAfFlowControl v) {
  flowControl_ = v;
  RecalcFlowLimits();
  RebuildDCB();
}

void TAfCustomSerialPort::SetOptions(TAfComOptions v) { options_ = v; RebuildDCB(); }
void TAfCustomSerialPort::SetXOnChar(char v) { xonChar_ = v; RebuildDCB(); }
void TAfCustomSerialPort::SetXOffChar(char v) { xoffChar_ = v; RebuildDCB(); }

void TAfCustomSerialPort::SetXOnLim(uint16_t v) {
  xonLim_ = v;
  xoffLim_ = static_cast<uint16_t>(inBufSize_ - v);
  std::lock_guard lock(dcbLock_);
  dcb_.XonLim = xonLim_;
  dcb_.XoffLim = xoffLim_;
}

void TAfCustomSerialPort::SetXOffLim(uint16_t v) {
  xoffLim_ = v;
  xonLim_ = static_cast<uint16_t>(inBufSize_ - v);
  std::lock_guard lock(dcbLock_);
  dcb_.XonLim = xonLim_;
  dcb_.XoffLim = xoffLim_;
}

void TAfCustomSerialPort::SetDTR(bool v) {
  if (Active()) core_->SetDTR(v);
  dtr_ = v;
  std::lock_guard lock(dcbLock_);
  if (v && flowControl_ != fwDtrDsr) dcb_.Flags |= AfDcbFlags::DtrControlEnable;
  else dcb_.Flags &= ~AfDcbFlags::DtrControlEnable;
}

void TAfCustomSerialPort::SetRTS(bool v) {
  if (Active()) core_->SetRTS(v);
  rts_ = v;
  std::lock_guard lock(dcbLock_);
  if (v && flowControl_ != fwRtsCts) dcb_.Flags |= AfDcbFlags::RtsControlEnable;
  else dcb_.Flags &= ~AfDcbFlags::RtsControlEnable;
}

void TAfCustomSerialPort::SetInBufSize(int32_t v) {
  if (Active()) throw EAfComPortError(ErrorText("Port is not closed"));
  inBufSize_ = v;
  RecalcFlowLimits();
}

void TAfCustomSerialPort::SetOutBufSize(int32_t v) {
  if (Active()) throw EAfComPortError(ErrorText("Port is not closed"));
  outBufSize_ = v;
}

// ---------------------------------------------------------------- events

// The line's own events go to nobody in this program. An error the event thread hit is shown on
// the main thread, without waiting for it: the event thread never stops for the main thread, so
// a busy or modal main thread cannot hold up the port or its closing. While one error is on its
// way or on screen, the ones after it are dropped; one that arrives after the port has closed
// is not shown. Without a dispatcher the error goes to stderr at once.
void TAfCustomSerialPort::CoreEvent(TAfCoreEvent kind) {
  if (kind != ceException || closing_) return;
  std::string text = core_ ? core_->LastEventError() : std::string();
  IAfMainThreadDispatcher* dispatcher = AfMainThreadDispatcher();
  if (!dispatcher) {
    std::fprintf(stderr, "%s\n", text.c_str());
    return;
  }
  if (errorReports_->pending.exchange(true)) return;
  dispatcher->Post([reports = errorReports_, text = std::move(text)] {
    if (reports->open)
      if (IAfMainThreadDispatcher* d = AfMainThreadDispatcher()) d->ReportError(text);
    reports->pending = false;
  });
}

// ---------------------------------------------------------------- COM naming

void TAfCustomComPort::SetComNumber(uint16_t v) {
  if (Active()) {
    Close();
    comNumber_ = v;
    Open();
  } else {
    comNumber_ = v;
  }
}

std::string TAfCustomComPort::DeviceName() const {
  return comNumber_ > 0 ? ComDevicePath(comNumber_) : std::string();
}
