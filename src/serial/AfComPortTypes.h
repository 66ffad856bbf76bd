#pragma once
// Types shared by the serial port component, its core and the platform device.

#include <cstdint>
#include <stdexcept>
#include <string>

enum TAfBaudrate {
  br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200, br38400,
  br56000, br57600, br115200, br128000, br256000, brUser
};
enum TAfDatabits { db4, db5, db6, db7, db8 };
enum TAfParity { paNone, paOdd, paEven, paMark, paSpace };
enum TAfStopbits { sbOne, sbOneAndHalf, sbTwo };
enum TAfFlowControl { fwNone, fwXOnXOff, fwRtsCts, fwDtrDsr };
enum TAfComOption { coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coStripNull };
enum class TAfThreadPriority { Idle, Lowest, Lower, Normal, Higher, Highest, TimeCritical };

// A set of TAfComOption.
class TAfComOptions {
 public:
  constexpr TAfComOptions() = default;
  constexpr TAfComOptions(std::initializer_list<TAfComOption> opts) {
    for (auto o : opts) bits_ |= 1u << o;
  }
  constexpr bool Has(TAfComOption o) const { return (bits_ >> o) & 1u; }
  constexpr void Include(TAfComOption o) { bits_ |= 1u << o; }
  constexpr void Exclude(TAfComOption o) { bits_ &= ~(1u << o); }
  constexpr bool operator==(const TAfComOptions&) const = default;

 private:
  unsigned bits_ = 0;
};

// Bit rate of a TAfBaudrate entry (0 for brUser).
uint32_t BaudRateValue(TAfBaudrate rate);

// Line settings record, kept in the terms the device interface was first written for.
struct TAfDCB {
  uint32_t DCBlength = 28;
  uint32_t BaudRate = 0;
  uint32_t Flags = 0;
  uint16_t XonLim = 0;
  uint16_t XoffLim = 0;
  uint8_t ByteSize = 8;
  uint8_t Parity = 0;    // 0..4: none, odd, even, mark, space
  uint8_t StopBits = 0;  // 0..2: one, one and a half, two
  char XonChar = 17;
  char XoffChar = 19;
  bool operator==(const TAfDCB&) const = default;
};

// Flag word bits of the line settings record.
namespace AfDcbFlags {
constexpr uint32_t Binary = 0x0001;
constexpr uint32_t Parity = 0x0002;
constexpr uint32_t OutxCtsFlow = 0x0004;
constexpr uint32_t OutxDsrFlow = 0x0008;
constexpr uint32_t DtrControlEnable = 0x0010;
constexpr uint32_t DtrControlHandshake = 0x0020;
constexpr uint32_t DsrSensitivity = 0x0040;
constexpr uint32_t TXContinueOnXoff = 0x0080;
constexpr uint32_t OutX = 0x0100;
constexpr uint32_t InX = 0x0200;
constexpr uint32_t ErrorChar = 0x0400;
constexpr uint32_t Null = 0x0800;
constexpr uint32_t RtsControlEnable = 0x1000;
constexpr uint32_t RtsControlHandshake = 0x2000;
}  // namespace AfDcbFlags

// Line event bits and the fixed event mask of the core (441).
namespace AfEv {
constexpr uint32_t RxChar = 0x0001;
constexpr uint32_t Cts = 0x0008;
constexpr uint32_t Dsr = 0x0010;
constexpr uint32_t Rlsd = 0x0020;
constexpr uint32_t Err = 0x0080;
constexpr uint32_t Ring = 0x0100;
constexpr uint32_t Mask = RxChar | Cts | Dsr | Rlsd | Err | Ring;
}  // namespace AfEv

// Line error bits, as the device reports them.
namespace AfCe {
constexpr uint32_t RxOver = 0x0001;
constexpr uint32_t Overrun = 0x0002;
constexpr uint32_t RxParity = 0x0004;
constexpr uint32_t Frame = 0x0008;
constexpr uint32_t Break = 0x0010;
}  // namespace AfCe

// Modem status bits.
namespace AfMs {
constexpr uint32_t CtsOn = 0x0010;
constexpr uint32_t DsrOn = 0x0020;
constexpr uint32_t RingOn = 0x0040;
constexpr uint32_t RlsdOn = 0x0080;
}  // namespace AfMs

enum TAfCoreEvent { ceOutFree, ceLineEvent, ceNeedReadData, ceException };

// What went wrong with a port, for callers that act on it (a hint, a retry, a state shown)
// without reading the message, which stays the component's own text.
enum class TAfPortError {
  None,
  NoSuchPort,  // nothing behind the number or node
  InUse,       // another program (or another port of ours) holds it
  Permission,  // the system refuses us access
  NotSerial,   // the node is not a serial line
  Settings,    // the device refused the line settings
  IO,          // reading, writing or waiting failed
  Other
};

// Errors of the serial component. Detail() is the system's own reason (strerror text or the
// like), empty when there is none.
class EAfSerialError : public std::runtime_error {
 public:
  explicit EAfSerialError(const std::string& message, TAfPortError kind = TAfPortError::Other,
                          std::string detail = {})
      : std::runtime_error(message), kind_(kind), detail_(std::move(detail)) {}
  TAfPortError Kind() const { return kind_; }
  const std::string& Detail() const { return detail_; }

 private:
  TAfPortError kind_;
  std::string detail_;
};
// The message with the reason its kind gives, for the user: "Can't open device COM6: in use by
// another program". The component's own text stays as it is.
inline std::string AfPortErrorText(const EAfSerialError& e) {
  switch (e.Kind()) {
    case TAfPortError::InUse: return std::string(e.what()) + ": in use by another program";
    case TAfPortError::Permission: return std::string(e.what()) + ": permission denied";
    default: return e.what();
  }
}

class EAfComPortCoreError : public EAfSerialError {
 public:
  using EAfSerialError::EAfSerialError;
};
class EAfComPortError : public EAfSerialError {
 public:
  using EAfSerialError::EAfSerialError;
};
class EAfDispatcherError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
