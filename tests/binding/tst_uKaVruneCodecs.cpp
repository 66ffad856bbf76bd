// Packed channel bytes and the device's setting texts, on the device's own examples.

#include <gtest/gtest.h>

#include <vector>

#include "uKaVruneCodecs.h"

namespace {

uint8_t Encode(std::span<const TByteField> f, std::vector<int> items) { return EncodeFields(f, items); }

TEST(IFMode, shouldPackTheLineSettingsIntoTheInterfaceByte) {
  EXPECT_EQ(HexByte2(Encode(IFModeFields(), {0, 1, 0, 0})), "4C");  // RS232 8N1
  EXPECT_EQ(HexByte2(Encode(IFModeFields(), {2, 0, 2, 1})), "DB");  // RS485 7O2
  EXPECT_EQ(Encode(IFModeFields(), {-1, -1, -1, -1}), 0);
}

TEST(IFMode, shouldDecodeEachFieldOnItsOwnAndLeaveUnlistedValues) {
  EXPECT_EQ(DecodeFields(IFModeFields(), 0x4C), (std::vector<int>{0, 1, 0, 0}));
  EXPECT_EQ(DecodeFields(IFModeFields(), 0xDB), (std::vector<int>{2, 0, 2, 1}));
  EXPECT_EQ(DecodeFields(IFModeFields(), 0x20), (std::vector<int>{0, -1, -1, -1}));
  EXPECT_EQ(DecodeFields(IFModeFields(), 0x72), (std::vector<int>{-1, -1, 1, 0}));
}

TEST(ChannelBytes, shouldRoundTripFlushPackAndDisconnectBits) {
  // enable packing, input 3, output 1
  EXPECT_EQ(Encode(FlushModeFields(), {1, 0, 0, 1, 1, 0, 0}), 0xC1);
  EXPECT_EQ(DecodeFields(FlushModeFields(), 0xC9), (std::vector<int>{1, 0, 0, 1, 1, 0, 0}));  // bit 3 ignored
  EXPECT_EQ(Encode(PackControlFields(), {2, 2, 1, 0}), 0x1A);
  EXPECT_EQ(DecodeFields(PackControlFields(), 0xFF), (std::vector<int>{3, 0, 1, 1}));  // trailing 11 → None
  EXPECT_EQ(DecodeFields(PackControlFields(), 0x04), (std::vector<int>{0, 1, 0, 0}));
  EXPECT_EQ(Encode(DisconnectModeFields(), {1, 1, 0, 0, 1, 1}), 0xC9);
  EXPECT_EQ(DecodeFields(DisconnectModeFields(), 0x56), (std::vector<int>{0, 0, 1, 0, 1, 0}));
  EXPECT_EQ(Encode(IPConfigFlagFields(), {0, 1, 1}), 6);
}

TEST(ConnectMode, shouldBuildF3FromTcpWithStartCharacterResponseAndHostlist) {
  TConnectMode m;
  m.AcceptIncoming = 0;
  m.ActiveConnect = 3;
  m.ConnectResponse = 1;
  m.UseHostlist = true;
  EXPECT_EQ(EncodeConnectMode(m), 0xF3);
  // With a modem mode the overlapping active-connect and response bits are not coded.
  m.ModemMode = 2;
  EXPECT_EQ(EncodeConnectMode(m), 0xC0 | 0x16 | 0x20);
  m.ConnectionType = 1;
  for (auto [item, byte] : {std::pair{0, 0xCC}, {1, 0x0C}, {2, 0x4C}, {-1, 0x0C}}) {
    m.UDPAcceptIncoming = item;
    EXPECT_EQ(EncodeConnectMode(m), byte) << item;
  }
}

TEST(ConnectMode, shouldDecodeTheTcpAndUdpForms) {
  TConnectMode m;
  m.UseHostlist = true;
  DecodeConnectMode(0xC0, m);
  EXPECT_EQ(m.ConnectionType, 0);
  EXPECT_EQ(m.AcceptIncoming, 0);
  EXPECT_EQ(m.ModemMode, 0);
  EXPECT_EQ(m.ActiveConnect, 0);
  EXPECT_EQ(m.ConnectResponse, 0);
  EXPECT_FALSE(m.UseHostlist);

  DecodeConnectMode(0x0C, m);
  EXPECT_EQ(m.ConnectionType, 1);
  EXPECT_EQ(m.UDPAcceptIncoming, 1);
  DecodeConnectMode(0x8C, m);
  EXPECT_EQ(m.UDPAcceptIncoming, 2);
  DecodeConnectMode(0xCC, m);
  EXPECT_EQ(m.UDPAcceptIncoming, 0);

  DecodeConnectMode(0xF3, m);
  EXPECT_EQ(m.ConnectionType, 0);
  EXPECT_EQ(m.ActiveConnect, 3);
  EXPECT_EQ(m.ConnectResponse, 1);
  EXPECT_TRUE(m.UseHostlist);
  DecodeConnectMode(0x57, m);  // 01 accept, modem 17
  EXPECT_EQ(m.AcceptIncoming, 2);
  EXPECT_EQ(m.ModemMode, 3);
  DecodeConnectMode(0x06 | 0x01, m);  // 07: no modem code, active connect 7 leaves the list
  EXPECT_EQ(m.ModemMode, 0);
  EXPECT_EQ(m.ActiveConnect, -1);
}

TEST(SpeedDuplex, shouldMapTheEthernetTypeBothWays) {
  EXPECT_EQ(EncodeSpeedDuplex(false, 1, 0), 3);
  EXPECT_EQ(EncodeSpeedDuplex(true, 1, 1), 0);
  const TSpeedDuplex four = DecodeSpeedDuplex(4);
  EXPECT_FALSE(four.AutoNegotiate);
  EXPECT_EQ(four.Speed, 0);
  EXPECT_EQ(four.Duplex, 1);
  for (int t : {2, 3, 4, 5}) {
    const TSpeedDuplex d = DecodeSpeedDuplex(t);
    EXPECT_EQ(EncodeSpeedDuplex(d.AutoNegotiate, d.Speed, d.Duplex), t);
  }
  EXPECT_EQ(EthernetTypeNumber("100Mb/fd"), 5);
  EXPECT_EQ(EthernetTypeNumber("10MB/HD"), 2);
  EXPECT_EQ(EthernetTypeNumber("Auto-Negotiate"), 0);
  EXPECT_EQ(EthernetTypeNumber("1000MB/FD"), 0);
}

TEST(DeviceTexts, shouldWriteAndReadHexBytesInTheDevicesForm) {
  EXPECT_EQ(HexByte(0xC0), "C0");
  EXPECT_EQ(HexByte(0), "0");
  EXPECT_EQ(HexByte(0x0A), "A");
  EXPECT_EQ(ReadHexByte("4c", 0), 0x4C);
  EXPECT_EQ(ReadHexByte("", 0xC0), 0xC0);
  EXPECT_EQ(ReadHexByte("zz", 0x4C), 0x4C);
  EXPECT_EQ(ReadHexByte("1FF", 7), 7);
}

TEST(DeviceTexts, shouldDropTheUnitLetterOnly) {
  EXPECT_EQ(ValueWithoutUnit("45s"), 45);
  EXPECT_EQ(ValueWithoutUnit("45"), 4);
  EXPECT_EQ(ValueWithoutUnit(""), std::nullopt);
  EXPECT_EQ(ValueWithoutUnit("4 s"), std::nullopt);
}

TEST(DeviceTexts, shouldReadTheDataRateAndFallback) {
  TTXDataRate r = ParseTXDataRate("54 Mbps auto fallback");
  EXPECT_EQ(r.Rate, 7);
  EXPECT_TRUE(r.AutoFallback);
  r = ParseTXDataRate("54Mbps");
  EXPECT_EQ(r.Rate, 3);
  EXPECT_FALSE(r.AutoFallback);
  EXPECT_EQ(ParseTXDataRate("5.5 Mbps").Rate, 2);
  r = ParseTXDataRate("auto fallback");
  EXPECT_EQ(r.Rate, std::nullopt);
  EXPECT_TRUE(r.AutoFallback);
}

TEST(DeviceTexts, shouldReadBothDisconnectModeForms) {
  TDisconnMode d = ParseDisconnMode("C0 Disconn Time: 01:30");
  EXPECT_EQ(d.Byte, 0xC0);
  EXPECT_EQ(d.Minutes, 1);
  EXPECT_EQ(d.Seconds, 30);
  d = ParseDisconnMode("05");
  EXPECT_EQ(d.Byte, 5);
  EXPECT_EQ(d.Minutes, 0);
  EXPECT_EQ(d.Seconds, 0);
  d = ParseDisconnMode("8 Disconn Time: 2:5");  // as the window writes a byte below 10h back
  EXPECT_EQ(d.Byte, 8);
  EXPECT_EQ(d.Minutes, 2);
  EXPECT_EQ(d.Seconds, 5);
  d = ParseDisconnMode("zz Disconn Time: x:7");
  EXPECT_EQ(d.Byte, 0);
  EXPECT_EQ(d.Minutes, 0);
  EXPECT_EQ(d.Seconds, 7);
}

TEST(DeviceTexts, shouldReadTheRemoteAddressForms) {
  TRemoteAddress r = ParseRemoteAddress("10.0.0.7, Port 10001 Start Char: 0D", true);
  EXPECT_EQ(r.Host, "10.0.0.7");
  EXPECT_EQ(r.Port, 10001);
  EXPECT_EQ(r.StartChar, "0D");
  r = ParseRemoteAddress("10.0.0.7, Port 10001", true);
  EXPECT_EQ(r.Port, 10001);
  EXPECT_EQ(r.StartChar, "00");
  EXPECT_EQ(ParseRemoteAddress("1.2.3.4, Port 1 Start Char: 123", true).StartChar, "00");
  EXPECT_EQ(ParseRemoteAddress("1.2.3.4, Port 1 Start Char: G", true).StartChar, "00");
  r = ParseRemoteAddress("", true);
  EXPECT_EQ(r.Host, "0.0.0.0");
  EXPECT_EQ(r.StartChar, std::nullopt);
  r = ParseRemoteAddress("host, Port x", false);
  EXPECT_EQ(r.Host, "0.0.0.0");
  EXPECT_EQ(r.Port, 0);
  r = ParseRemoteAddress(" 192.168.1.9 , Port 7 ", false);
  EXPECT_EQ(r.Host, "192.168.1.9");
  EXPECT_EQ(r.Port, 7);
}

TEST(DeviceTexts, shouldFillTheAddressTableAndZeroWhatIsNoByte) {
  std::array<int, 16> expected{};
  expected[0] = 1;
  expected[1] = 2;
  expected[2] = 3;
  EXPECT_EQ(ParseDeviceAddressInfo("1 2 3"), expected);
  const auto big = ParseDeviceAddressInfo("256 -1 x  255");
  EXPECT_EQ(big[0], 0);
  EXPECT_EQ(big[1], 0);
  EXPECT_EQ(big[2], 0);
  EXPECT_EQ(big[3], 0);  // the empty token between two blanks
  EXPECT_EQ(big[4], 255);
}

TEST(DeviceTexts, shouldSelectOnlyItemsInsideTheList) {
  EXPECT_EQ(OneBasedItem("1", 11), 0);
  EXPECT_EQ(OneBasedItem("11", 11), 10);
  EXPECT_EQ(OneBasedItem("12", 11), std::nullopt);
  EXPECT_EQ(OneBasedItem("0", 4), std::nullopt);
  EXPECT_EQ(OneBasedItem("", 4), std::nullopt);
}

}  // namespace
