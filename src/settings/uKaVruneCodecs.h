#pragma once
// The device's packed channel bytes and printed setting texts, without any control: the window
// maps the fields below onto its lists and check boxes.
//
// A field is an item index: the selected item of a list, or 0/1 for a check box. -1 stands for
// a list without selection when encoding, and for "leave the control as it is" when decoding.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// One group of bits of a packed byte. Codes[i] is the bit value of item i (for a check box
// {0, Mask}); a decoded value without an item yields Unlisted (-1: leave as it is).
struct TByteField {
  uint8_t Mask;
  std::vector<uint8_t> Codes;
  int Unlisted = -1;
};

// Items without a code (no selection, an index past the list) add nothing.
uint8_t EncodeFields(std::span<const TByteField> fields, std::span<const int> items);
// One item per field, in field order.
std::vector<int> DecodeFields(std::span<const TByteField> fields, uint8_t byte);

// The byte layouts, fields in the order in which the window sets their controls.
// Interface mode: line mode, data bits, parity, stop bits.
std::span<const TByteField> IFModeFields();
// Flush mode: enable packing, input 1..3, output 1..3.
std::span<const TByteField> FlushModeFields();
// Pack control: interval, trailing bytes, send 2 chars, send immediately.
std::span<const TByteField> PackControlFields();
// Disconnect mode: LED, hard disconnect, password required, check EOT, COM-port control,
// on modem-control drop.
std::span<const TByteField> DisconnectModeFields();
// IP configuration flags: AutoIP, DHCP, BOOTP.
std::span<const TByteField> IPConfigFlagFields();

// Two upper-case hex digits ("4C"), as the interface-mode label shows them before its "h".
std::string HexByte2(uint8_t byte);
// Upper-case hex without leading zeros, 0 for zero: the device's own form of a byte.
std::string HexByte(int value);
// A device hex byte read with "$" in front; fallback when the text is unreadable or holds a
// number that no byte holds.
uint8_t ReadHexByte(const std::string& text, uint8_t fallback);

// Connect mode. Items: connection type (0 TCP, 1 UDP), UDP accept incoming, TCP accept incoming,
// modem mode, active connect, connect response, use hostlist (0/1).
struct TConnectMode {
  int ConnectionType = 0;
  int UDPAcceptIncoming = 0;
  int AcceptIncoming = 0;
  int ModemMode = 0;
  int ActiveConnect = 0;  // -1: leave as it is (decoded 6 and 7)
  int ConnectResponse = 0;
  bool UseHostlist = false;
};
uint8_t EncodeConnectMode(const TConnectMode& m);
// Whether a channel's connect mode byte makes it a UDP channel (its low nibble C).
constexpr bool IsUdpConnectMode(uint8_t byte) { return (byte & 0x0F) == 0x0C; }
// The flow control codes the device takes, in the order the window lists them: none, XON/XOFF,
// XON/XOFF passed on to the host.
constexpr std::array<uint8_t, 3> FlowControlCodes = {0x00, 0x01, 0x05};
// Fills only what the byte decides: the UDP form sets the type and the UDP accept incoming, the
// TCP form everything else. Active connect and response come from the byte only when the modem
// mode is "None"; otherwise they stay as given.
void DecodeConnectMode(uint8_t byte, TConnectMode& m);

// Ethernet connection type from auto-negotiate, speed and duplex items, and back.
int EncodeSpeedDuplex(bool autoNegotiate, int speed, int duplex);
struct TSpeedDuplex {
  bool AutoNegotiate;
  int Speed;
  int Duplex;
};
TSpeedDuplex DecodeSpeedDuplex(int type);
