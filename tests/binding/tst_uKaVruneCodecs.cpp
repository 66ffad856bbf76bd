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

}  // namespace
