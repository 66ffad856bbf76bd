#include <gtest/gtest.h>

#include <chrono>

#include "AfComPort.h"
#include "FakeKaVrune.h"
#include "uKaVruneAI.h"
#include "uKaVruneUtils.h"

using Kind = FakeKaVrune::Kind;
using Answers = std::vector<std::pair<std::string, std::string>>;

TEST(PromptNames, shouldNameSettingsAsTheWriteDocumentDoes) {
  EXPECT_EQ(PromptName("Send '+++' in Modem Mode (N) ?"), "Send_______in_Modem_Mode");
  EXPECT_EQ(PromptName("I/F Mode (4C) ?"), "I_F_Mode");
  EXPECT_EQ(PromptName("Show IP addr after 'RING' (Y) ?"), "Show_IP_addr_after__RING");
  EXPECT_EQ(PromptName("\a\r\n  Netmask: Number of Bits (8) ?"), "Netmask");
  EXPECT_EQ(PromptName(".(000) "), "000");
  EXPECT_EQ(PromptName("?"), "");
  EXPECT_EQ(PromptName("__--__"), "");
}

TEST(PromptNames, shouldMatchTheFirstLineThatIsAKey) {
  auto doc = TXmlDocument::CreateFromText("<xml><s><Baudrate>19200</Baudrate><Flow/></s></xml>");
  TXmlElement s = doc->Root().FirstChild("s");
  std::string key, value;
  EXPECT_TRUE(FindPromptKey("9600\r\nFlow (00) ?\r\nBaudrate (9600) ?", s, key, value));
  EXPECT_EQ(key, "Flow");
  EXPECT_EQ(value, "");
  EXPECT_TRUE(FindPromptKey("Baudrate (9600) ?", s, key, value));
  EXPECT_EQ(value, "19200");
  EXPECT_FALSE(FindPromptKey("Parity (N) ?\r\nStop bits (1) ?", s, key, value));
  EXPECT_EQ(key, "Stop_bits") << "the prompt name of the last line examined";
  EXPECT_FALSE(FindPromptKey("Parity (N) ?\r", s, key, value));
  EXPECT_EQ(key, "");
  EXPECT_FALSE(FindPromptKey("Baudrate (9600) ?", TXmlElement(), key, value));
}

TEST(Netmask, shouldCountHostBitsOfContiguousMasksOnly) {
  EXPECT_EQ(NetmaskHostBits("255.255.255.0"), 8);
  EXPECT_EQ(NetmaskHostBits("255.255.0.0"), 16);
  EXPECT_EQ(NetmaskHostBits("255.255.255.255"), 0);
  EXPECT_EQ(NetmaskHostBits("0.0.0.0"), 32);
  EXPECT_EQ(NetmaskHostBits("255.255.255.252"), 2);
  EXPECT_EQ(NetmaskHostBits("255.0.255.0"), -1);
  EXPECT_EQ(NetmaskHostBits("0.255.255.255"), -1);
  EXPECT_EQ(NetmaskHostBits("255.255.256.0"), -1);
  EXPECT_EQ(NetmaskHostBits("junk"), -1);
}

namespace {

struct Writer : ::testing::Test {
  FakeKaVrune device;
  TAfComPort port;
  PXmlDocument doc = TXmlDocument::CreateFromText("<xml/>");

  void SetUp() override {
    port.SetBaudRate(br9600);
    port.SetComNumber(FakeKaVrune::ComNumber);
    port.Open();
    ASSERT_TRUE(port.Active());
  }
  TXmlElement Section(const std::string& name, std::initializer_list<std::pair<const char*, const char*>> keys) {
    TXmlElement s = doc->Root().AppendChild(name);
    for (auto [k, v] : keys) s.AppendChild(k).SetText(v);
    return s;
  }
};

}  // namespace

TEST_F(Writer, shouldAnswerBasicParametersWithTheirSpecialRules) {
  TXmlElement s = Section("basic_parameters", {{"IP_Address", "10.0.0.5"},
                                               {"Set_Gateway_IP_Address", "0.0.0.0"},
                                               {"Netmask", "255.255.0.0"}});
  TSectionOutcome out = WriteSection(&port, s, 0);
  EXPECT_TRUE(out.Completed) << out.Reason;
  EXPECT_TRUE(device.InRoot());
  EXPECT_EQ(device.Value("IP_Address"), "10.0.0.5");
  EXPECT_EQ(device.Answers(), (Answers{{"IP_Address", "10"}, {"IP_Address", "0"}, {"IP_Address", "0"},
                                       {"IP_Address", "5"}, {"Gateway", "N"}, {"Netmask", "16"}}));
}

TEST_F(Writer, shouldTypeTheGatewayAfterYes) {
  TXmlElement s = Section("basic_parameters", {{"Set_Gateway_IP_Address", "10.0.0.1"}});
  EXPECT_TRUE(WriteSection(&port, s, 0).Completed);
  EXPECT_EQ(device.Value("Gateway"), "10.0.0.1");
}

TEST_F(Writer, shouldKeepTheDevicesValuesForMissingKeysWithoutInventingAny) {
  TXmlElement s = Section("basic_parameters", {});
  TSectionOutcome out = WriteSection(&port, s, 0);
  EXPECT_TRUE(out.Completed) << out.Reason;
  // The octet prompts of an address repeat under similar names; each keeps its number.
  for (const auto& [name, answer] : device.Answers()) EXPECT_EQ(answer, "") << name;
  EXPECT_EQ(device.Answers().size(), 6u);
  EXPECT_EQ(device.Value("IP_Address"), "192.168.1.254");
}

TEST_F(Writer, shouldSendNothingForNoSectionAndUseGenericAnswersElsewhere) {
  EXPECT_TRUE(WriteSection(&port, TXmlElement(), 1).Completed);
  EXPECT_EQ(device.Received(), "");
  TXmlElement s = Section("Channel_1", {{"Baudrate", "19200"}, {"IP_Address", "1.2.3.4"}});
  EXPECT_TRUE(WriteSection(&port, s, 1).Completed);
  EXPECT_EQ(device.Value("Baudrate"), "19200");
  EXPECT_EQ(device.Value("IF_Mode"), "4C");
}

TEST_F(Writer, shouldStripControlCharactersFromValuesAndSaySo) {
  TXmlElement s = Section("WLAN", {{"SSID", "a@b\r\nX\t"}});
  TSectionOutcome out = WriteSection(&port, s, 4);
  EXPECT_TRUE(out.Completed);
  EXPECT_EQ(device.Value("SSID"), "a@bX");
  ASSERT_EQ(out.Notes.size(), 1u);
  EXPECT_NE(out.Notes[0].find("SSID"), std::string::npos);
}

TEST_F(Writer, shouldSendChannelMultiPartAnswers) {
  std::vector<FakeKaVrune::Prompt> menu = {{"Table", "Change address table (N) ?", Kind::YesNo}};
  for (int i = 1; i <= 16; ++i) menu.push_back({"T" + std::to_string(i), "Entry (0) ?", Kind::Line});
  menu.push_back({"DisConnTime", "DisConnTime (00:00) ?", Kind::Line});
  menu.push_back({"Seconds", "Sec:(00) ?", Kind::Line});
  device.SetMenu(1, menu);
  TXmlElement s = Section("Channel_1", {{"Change_address_table", "1 2 x 3"}, {"DisConnTime", "5:30"}});
  EXPECT_TRUE(WriteSection(&port, s, 1).Completed);
  Answers a = device.Answers();
  ASSERT_EQ(a.size(), 19u);
  EXPECT_EQ(a[0].second, "Y");
  EXPECT_EQ(a[1].second, "1");
  EXPECT_EQ(a[3].second, "0") << "a token that is no integer is sent as 0";
  EXPECT_EQ(a[4].second, "3");
  EXPECT_EQ(a[16].second, "0");
  EXPECT_EQ(a[17], (std::pair<std::string, std::string>{"DisConnTime", "5"}));
  EXPECT_EQ(a[18], (std::pair<std::string, std::string>{"Seconds", "30"}));
}

TEST_F(Writer, shouldSendWlanRateAndFillAShortKeyWithZeros) {
  device.SetMenu(4, {{"Rate", "TX Data rate (3) ?", Kind::Line},
                     {"Fallback", "Auto fallback (1) ?", Kind::Line},
                     {"KeyType", "Key type 0 (0) ?", Kind::Line},
                     {"Key", "Enter Key ?", Kind::Key},
                     {"SSID", "SSID (%) ?", Kind::Line}});
  TXmlElement s = Section("WLAN", {{"TX_Data_rate", "3:1"}, {"Key_type_0", "0"}, {"Enter_Key", "abc"}});
  TSectionOutcome out = WriteSection(&port, s, 4);
  EXPECT_TRUE(out.Completed) << out.Reason;
  EXPECT_EQ(device.Answers(), (Answers{{"Rate", "1"}, {"Fallback", "3"}, {"KeyType", "0"}, {"Key", "abc00"}, {"SSID", ""}}));
}

TEST_F(Writer, shouldKeepTheDevicesWlanKeyWhenTheKeyIsEmpty) {
  device.SetMenu(4, {{"KeyType", "Key type 0 (0) ?", Kind::Line},
                     {"Key", "Enter Key ?", Kind::Line},
                     {"SSID", "SSID (%) ?", Kind::Line}});
  TXmlElement s = Section("WLAN", {{"Key_type_0", "0"}, {"Enter_Key", ""}, {"SSID", "net"}});
  TSectionOutcome out = WriteSection(&port, s, 4);
  EXPECT_TRUE(out.Completed) << out.Reason;
  EXPECT_EQ(device.Answers(), (Answers{{"KeyType", "0"}, {"Key", ""}, {"SSID", "net"}}));
}

TEST_F(Writer, shouldGiveUpOnAQuestionThatNeverEndsAndNeverInventValues) {
  device.SetMenu(5, {{"Loop", "Frame gap (0) ?", Kind::Refuse}});
  TXmlElement s = Section("Expert", {});
  TSectionOutcome out = WriteSection(&port, s, 5);
  EXPECT_FALSE(out.Completed);
  EXPECT_FALSE(out.Cancelled);
  EXPECT_EQ(out.Prompt, "Frame_gap");
  Answers a = device.Answers();
  EXPECT_LE(a.size(), static_cast<size_t>(WriteMaxSamePrompt + 1));
  for (const auto& [name, answer] : a) EXPECT_EQ(answer, "");
}

TEST_F(Writer, shouldGiveUpOnASilentDevice) {
  device.SetMenu(5, {{"Dummy", "Dummy (%) ?", Kind::Line}, {"Dummy", "Dummy again (%) ?", Kind::Line}});
  device.SetSilent(true);
  auto start = std::chrono::steady_clock::now();
  TSectionOutcome out = WriteSection(&port, Section("Expert", {}), 5);
  EXPECT_FALSE(out.Completed);
  EXPECT_NE(out.Reason.find("does not answer"), std::string::npos);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
}

TEST_F(Writer, shouldStopAtOnceWhenCancelledOrClosed) {
  TWriteControl control;
  control.Cancelled = [] { return true; };
  TSectionOutcome out = WriteSection(&port, Section("Expert", {}), 5, control);
  EXPECT_TRUE(out.Cancelled);
  EXPECT_EQ(device.Received(), "");
  port.Close();
  out = WriteSection(&port, Section("WLAN", {}), 4);
  EXPECT_FALSE(out.Completed);
  EXPECT_FALSE(out.Cancelled);
}
