#include "uKaVruneCodecs.h"

#include <algorithm>
#include <cctype>

#include "uXmlUtils.h"

namespace {

TByteField Check(uint8_t mask) { return {mask, {0, mask}, -1}; }

const std::vector<TByteField> kIFMode = {
    {0x03, {0x00, 0x01, 0x03}, -1},  // RS232, RS422, RS485
    {0x0C, {0x08, 0x0C}, -1},        // 7 bit, 8 bit
    {0x30, {0x00, 0x30, 0x10}, -1},  // no, even, odd parity
    {0xC0, {0x40, 0xC0}, -1},        // 1, 2 stop bits
};

const std::vector<TByteField> kFlushMode = {Check(0x80), Check(0x10), Check(0x20), Check(0x40),
                                            Check(0x01), Check(0x02), Check(0x04)};

const std::vector<TByteField> kPackControl = {
    {0x03, {0, 1, 2, 3}, -1},
    {0x0C, {0x00, 0x04, 0x08}, 0},  // both bits set reads as "None"
    Check(0x10),
    Check(0x20),
};

const std::vector<TByteField> kDisconnectMode = {Check(0x01), Check(0x08), Check(0x10),
                                                 Check(0x20), Check(0x40), Check(0x80)};

const std::vector<TByteField> kIPConfigFlags = {Check(1), Check(2), Check(4)};

// Modem-mode codes of items 0..5; they overlap the active-connect and response bits.
constexpr std::array<uint8_t, 6> kModemModes = {0x00, 0x06, 0x16, 0x17, 0x0E, 0x0F};

}  // namespace

uint8_t EncodeFields(std::span<const TByteField> fields, std::span<const int> items) {
  uint8_t byte = 0;
  for (size_t i = 0; i < fields.size() && i < items.size(); ++i) {
    const TByteField& f = fields[i];
    if (items[i] >= 0 && static_cast<size_t>(items[i]) < f.Codes.size()) byte |= f.Codes[items[i]] & f.Mask;
  }
  return byte;
}

std::vector<int> DecodeFields(std::span<const TByteField> fields, uint8_t byte) {
  std::vector<int> items;
  for (const TByteField& f : fields) {
    const auto it = std::find(f.Codes.begin(), f.Codes.end(), static_cast<uint8_t>(byte & f.Mask));
    items.push_back(it == f.Codes.end() ? f.Unlisted : static_cast<int>(it - f.Codes.begin()));
  }
  return items;
}

std::span<const TByteField> IFModeFields() { return kIFMode; }
std::span<const TByteField> FlushModeFields() { return kFlushMode; }
std::span<const TByteField> PackControlFields() { return kPackControl; }
std::span<const TByteField> DisconnectModeFields() { return kDisconnectMode; }
std::span<const TByteField> IPConfigFlagFields() { return kIPConfigFlags; }

std::string HexByte2(uint8_t byte) {
  static const char* digits = "0123456789ABCDEF";
  return {digits[byte >> 4], digits[byte & 0x0F]};
}

std::string HexByte(int value) {
  static const char* digits = "0123456789ABCDEF";
  auto v = static_cast<unsigned>(value);
  std::string s;
  do {
    s.insert(s.begin(), digits[v & 0x0F]);
    v >>= 4;
  } while (v);
  return s;
}

uint8_t ReadHexByte(const std::string& text, uint8_t fallback) {
  int v = 0;
  if (!TryParseInteger("$" + text, v) || v < 0 || v > 0xFF) return fallback;
  return static_cast<uint8_t>(v);
}

uint8_t EncodeConnectMode(const TConnectMode& m) {
  if (m.ConnectionType != 0) return m.UDPAcceptIncoming == 0 ? 0xCC : m.UDPAcceptIncoming == 2 ? 0x4C : 0x0C;
  static constexpr std::array<uint8_t, 3> accept = {0xC0, 0x00, 0x40};
  uint8_t b = 0;
  if (m.AcceptIncoming >= 0 && m.AcceptIncoming < 3) b |= accept[m.AcceptIncoming];
  if (m.ModemMode > 0 && m.ModemMode < static_cast<int>(kModemModes.size())) b |= kModemModes[m.ModemMode];
  if (m.ModemMode == 0) {
    if (m.ActiveConnect >= 1 && m.ActiveConnect <= 5) b |= static_cast<uint8_t>(m.ActiveConnect);
    if (m.ConnectResponse == 1) b |= 0x10;
  }
  if (m.UseHostlist) b |= 0x20;
  return b;
}

void DecodeConnectMode(uint8_t b, TConnectMode& m) {
  if (IsUdpConnectMode(b)) {
    m.ConnectionType = 1;
    m.UDPAcceptIncoming = b == 0xCC ? 0 : b == 0x0C ? 1 : 2;
    return;
  }
  m.ConnectionType = 0;
  const int accept = b >> 6;
  m.AcceptIncoming = accept == 0 ? 1 : accept == 3 ? 0 : 2;
  const auto modem = std::find(kModemModes.begin() + 1, kModemModes.end(), static_cast<uint8_t>(b & 0x1F));
  m.ModemMode = modem == kModemModes.end() ? 0 : static_cast<int>(modem - kModemModes.begin());
  if (m.ModemMode == 0) {
    m.ActiveConnect = (b & 0x07) <= 5 ? (b & 0x07) : -1;
    m.ConnectResponse = (b & 0x10) ? 1 : 0;
  }
  m.UseHostlist = (b & 0x20) != 0;
}

int EncodeSpeedDuplex(bool autoNegotiate, int speed, int duplex) {
  if (autoNegotiate) return 0;
  return 5 - 2 * std::max(speed, 0) - std::max(duplex, 0);
}

TSpeedDuplex DecodeSpeedDuplex(int t) {
  return {t == 0, (t == 2 || t == 3) ? 1 : 0, (t == 2 || t == 4) ? 1 : 0};
}
