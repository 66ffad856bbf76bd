// The settings writer: prompt names, and walks of the simulated device's menus from the root menu.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "AfComPort.h"
#include "InProcessSim.h"
#include "uDeviceWorker.h"
#include "uKaVruneUtils.h"

TEST(PromptNames, shouldNameSettingsAsTheWriteDocumentDoes) {
  EXPECT_EQ(PromptName("Send '+++' in Modem Mode (N) ?"), "Send_______in_Modem_Mode");
  EXPECT_EQ(PromptName("I/F Mode (4C) ?"), "I_F_Mode");
  EXPECT_EQ(PromptName("Show IP addr after 'RING' (Y) ?"), "Show_IP_addr_after__RING");
  EXPECT_EQ(PromptName("\a\r\n  Netmask: Number of Bits (8) ?"), "Netmask");
  EXPECT_EQ(PromptName(".(000) "), "000");
  EXPECT_EQ(PromptName("?"), "");
  EXPECT_EQ(PromptName("__--__"), "");
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

constexpr int kCom = 7;

struct Writer : ::testing::Test {
  std::optional<InProcessSim> device;
  TAfComPort port;
  TLineTiming timing;
  TDeviceConsole console{&port, timing};
  PXmlDocument doc = TXmlDocument::CreateFromText("<xml/>");
  TSimProfile profile;  // the kind of unit Start powers

  // The device waits at the root menu of Setup Mode in this state.
  void Start(TSimSettings state = SimDefaults(), TSimFault fault = TSimFault::None, unsigned faultAfter = 4) {
    InProcessSimOptions o{std::move(state), true, fault};
    o.FaultAfter = faultAfter;
    o.Profile = profile;
    device.emplace(kCom, std::move(o));
    port.SetBaudRate(br9600);
    port.SetComNumber(kCom);
    port.Open();
    ASSERT_TRUE(port.Active());
    // The console learns where the unit is and what its root menu offers.
    TRootWay way;
    ASSERT_TRUE(console.EnterRootMenu(way));
    device->ClearReceived();
  }
  // Every question answered, and the unit back at its root menu.
  bool Completed(const TSectionOutcome& out) const { return !out.Cancelled && !out.OffScript && console.AtRootMenu(); }
  // No walk, however it ends, types into what the unit is still printing.
  void TearDown() override {
    port.Close();
    if (device) {
      EXPECT_EQ(device->Count("key while printing"), 0u) << device->Transcript();
    }
  }
  TXmlElement Section(const std::string& name, std::initializer_list<std::pair<const char*, const char*>> keys) {
    TXmlElement s = doc->Root().AppendChild(name);
    for (auto [k, v] : keys) s.AppendChild(k).SetText(v);
    return s;
  }
  std::string Current(const char* section, const char* key) { return device->Current(section, key); }
  bool AtRootMenu() {
    return device->With([](TSimDevice& d) { return d.Mode() == TSimMode::RootMenu; });
  }
  bool NothingChanged() {
    return device->With([](TSimDevice& d) { return d.Current() == d.Stored(); });
  }
  // The DHCP name is written, the question in two parts answered once whole (TearDown: no key
  // while the unit printed).
  void WriteDhcpName() {
    const TSectionOutcome out =
        WriteSection(console, Section("basic_parameters", {{"Enter_new_DHCP_device_Name", "line-2"}}), "0");
    EXPECT_TRUE(Completed(out)) << out.Reason << device->Transcript();
    EXPECT_EQ(Current("basic_parameters", "Enter_new_DHCP_device_Name"), "line-2");
  }
  // Only Enter was typed after the menu's number: every value the device had was kept.
  bool OnlyEnters(const std::string& choice) {
    const std::string typed = device->Received();
    return typed.rfind(choice, 0) == 0 && typed.find_first_not_of('\r', choice.size()) == std::string::npos;
  }
};

}  // namespace

TEST_F(Writer, shouldAnswerBasicParametersWithTheirSpecialRules) {
  Start();
  TSectionOutcome out = WriteSection(
      console,
      Section("basic_parameters",
              {{"IP_Address", "10.0.0.5"}, {"Set_Gateway_IP_Address", "0.0.0.0"}, {"Netmask", "255.255.0.0"}}),
      "0");
  EXPECT_TRUE(Completed(out)) << out.Reason;
  EXPECT_TRUE(AtRootMenu());
  EXPECT_EQ(Current("basic_parameters", "IP_Address"), "10.0.0.5");
  EXPECT_EQ(Current("basic_parameters", "Set_Gateway_IP_Address"), "0.0.0.0");
  EXPECT_EQ(Current("basic_parameters", "Netmask"), "255.255.0.0") << "typed as the number of host bits";
  // A gateway is typed after Yes.
  out = WriteSection(console, Section("basic_parameters", {{"Set_Gateway_IP_Address", "10.0.0.1"}}), "0");
  EXPECT_TRUE(Completed(out)) << out.Reason;
  EXPECT_EQ(Current("basic_parameters", "Set_Gateway_IP_Address"), "10.0.0.1");
}

TEST_F(Writer, shouldKeepTheDevicesValuesForMissingKeysWithoutInventingAny) {
  Start();
  EXPECT_TRUE(Completed(WriteSection(console, TXmlElement(), "1"))) << "no section: nothing to do";
  EXPECT_EQ(device->Received(), "");
  // The octet prompts of an address repeat under similar names; each keeps its number.
  TSectionOutcome out = WriteSection(console, Section("basic_parameters", {}), "0");
  EXPECT_TRUE(Completed(out)) << out.Reason;
  EXPECT_TRUE(OnlyEnters("0\r")) << device->Received();
  EXPECT_TRUE(NothingChanged());
}

TEST_F(Writer, shouldAnswerOnlyTheKeysTheMenuAsksAndStripControlCharacters) {
  Start();
  TSectionOutcome out =
      WriteSection(console, Section("Channel_1", {{"Baudrate", "19200"}, {"IP_Address", "1.2.3.4"}}), "1");
  EXPECT_TRUE(Completed(out)) << out.Reason;
  EXPECT_EQ(Current("Channel_1", "Baudrate"), "19200");
  EXPECT_EQ(Current("Channel_1", "I_F_Mode"), "4C");
  out = WriteSection(console, Section("WLAN", {{"Network_name", "a@b\r\nX\t"}}), "4");
  EXPECT_TRUE(Completed(out)) << out.Reason;
  EXPECT_EQ(Current("WLAN", "Network_name"), "a@bX");
  ASSERT_EQ(out.Notes.size(), 1u);
  EXPECT_NE(out.Notes[0].find("Network_name"), std::string::npos);
}

TEST_F(Writer, shouldSendMultiPartAnswersOfTheChannels) {
  TSimSettings state = SimDefaults();
  state.Set("Channel_1", "ConnectMode", "CC");  // UDP with the address table
  state.Set("Channel_1", "Datagram_Type", "FD");
  Start(state);
  TSectionOutcome out = WriteSection(console, Section("Channel_1", {{"Change_address_table", "1 2 x 3"}}), "1");
  EXPECT_TRUE(Completed(out)) << out.Reason;
  EXPECT_EQ(Current("Channel_1", "Change_address_table"), "1 2 0 3 0 0 0 0 0 0 0 0 0 0 0 0")
      << "a token that is no integer is sent as 0, missing ones as 0";
  out = WriteSection(console, Section("Channel_2", {{"DisConnTime", "5:30"}}), "2");
  EXPECT_TRUE(Completed(out)) << out.Reason;
  EXPECT_EQ(Current("Channel_2", "DisConnTime"), "5:30");
}

TEST_F(Writer, shouldSendTheWlanRateFillAShortHexKeyWithZerosAndKeepTheKeyWhenEmpty) {
  TSimSettings state = SimDefaults();
  state.Set("WLAN", "Security_suite", "1");  // WEP with 64 bits: a key of ten hex digits
  state.Set("WLAN", "Encryption", "1");
  state.Set("WLAN", "Enter_Key", "0123456789");
  Start(state);
  TSectionOutcome out = WriteSection(
      console, Section("WLAN", {{"TX_Data_rate", "5:0"}, {"Key_type_0", "0"}, {"Change_Key", "Y"}, {"Enter_Key", ""}}),
      "4");
  EXPECT_TRUE(Completed(out)) << out.Reason;
  EXPECT_EQ(Current("WLAN", "Enter_Key"), "0123456789");
  EXPECT_EQ(Current("WLAN", "TX_Data_rate"), "5:0");
  out = WriteSection(console, Section("WLAN", {{"Key_type_0", "0"}, {"Change_Key", "Y"}, {"Enter_Key", "abc"}}), "4");
  EXPECT_TRUE(Completed(out)) << out.Reason;
  EXPECT_EQ(Current("WLAN", "Enter_Key"), "ABC0000000");
}

TEST_F(Writer, shouldGiveUpOnAQuestionThatNeverEndsAndNeverInventValues) {
  Start(SimDefaults(), TSimFault::RefuseAnswers);
  TSectionOutcome out = WriteSection(console, Section("Expert", {}), "5");
  EXPECT_FALSE(Completed(out));
  EXPECT_FALSE(out.Cancelled);
  EXPECT_EQ(out.Prompt, "TCP_Keepalive_time_in_s");
  EXPECT_TRUE(out.OffScript);
  EXPECT_EQ(device->Received(), "5\r\r") << "a question that comes back after Enter is not answered again";
}

// After a menu's last answer the unit prints its root menu's heading, "Main menu:", and the line
// pauses there longer than the silence gap: a ":" and quiet, but no question. Enter typed there
// would land in the root menu and print the dump.
TEST_F(Writer, shouldAnswerNoMenuHeadingHoweverLongTheLinePausesAfterIt) {
  profile.RootHeading = "Main menu:";
  profile.HeadingPauseMs = 150;
  Start();
  const TSectionOutcome out = WriteSection(console, Section("Expert", {}), "5");
  EXPECT_TRUE(Completed(out)) << out.Reason << device->Transcript();
  EXPECT_TRUE(OnlyEnters("5\r")) << device->Received();
}

// The unit asks whether to change its DHCP name in two parts, the name it holds with a "?", then
// the choice: "Change DHCP device name (not set) ? (N) ? ". Its line pauses after the first
// "? ", longer than the few character times a whole question gets and than any pause it made
// before: a "Y" typed there would reach a unit still printing. Another firmware asks it in words
// the tool does not know; there the longest pause the line has shown is waited out (a heading's,
// here), and the unit's shorter pause inside the question with it.
TEST_F(Writer, shouldAnswerAQuestionOnlyWhenItIsWholeHoweverTheLinePausesInsideIt) {
  profile.PartPauseMs = 60;
  Start();
  WriteDhcpName();
}

TEST_F(Writer, shouldWaitOutTheLongestPauseOfTheLineAtAQuestionItDoesNotKnow) {
  profile.DhcpForm = TSimDhcpForm::Bracketed;
  profile.RootHeading = "Main menu:";
  profile.HeadingPauseMs = 60;
  profile.PartPauseMs = 45;  // longer than the least an unknown question waits, shorter than the heading's
  Start();
  WriteDhcpName();
}

// The unit prints a status line, and its question again, where it was to wait for the second
// number of an address. Typed into that, the numbers would land one question late and the walk
// still end at the root menu (10.30.40.254 for 10.20.30.40). The line is held from the status
// line on until the writer has taken the question before it, so the status line comes between
// two exchanges, the one place that only the writer's own check sees it.
TEST_F(Writer, shouldNeverTypeIntoWhatTheDevicePrintsWhereItWasToWait) {
  Start(SimDefaults(), TSimFault::StatusLine, 2);  // ".(168) " is the menu's second question
  device->OnEvent([&](const std::string& e) {
    if (e == "status line") device->Line().Hold(true);
  });
  bool released = false;
  TWriteControl control;
  control.Cancelled = [&] {
    if (!released && device->Received().find("10\r") != std::string::npos) {
      released = true;
      EXPECT_TRUE(device->WaitEvent("status line"));
      device->Line().Hold(false);
      for (int i = 0; i < 300 && port.InputCount() == 0; ++i) port.WaitForInput(100);
    }
    return false;
  };
  const TSectionOutcome out =
      WriteSection(console, Section("basic_parameters", {{"IP_Address", "10.20.30.40"}}), "0", control);
  ASSERT_TRUE(released);
  const std::string address = Current("basic_parameters", "IP_Address");
  if (Completed(out)) {
    EXPECT_EQ(address, "10.20.30.40") << device->Transcript();
  } else EXPECT_EQ(address, "192.168.1.254") << device->Transcript();
}

TEST_F(Writer, shouldGiveUpOnASilentDevice) {
  Start();
  device->Line().Hold(true);
  TSectionOutcome out = WriteSection(console, Section("Expert", {}), "5");
  EXPECT_FALSE(Completed(out));
  EXPECT_NE(out.Reason.find("does not answer"), std::string::npos) << out.Reason;
}

// Away from the root menu the console types none of its commands, nor a walk its menu's key:
// each would be taken as the answer to the question the unit waits at.
TEST_F(Writer, shouldTypeNoCommandAwayFromTheRootMenu) {
  Start();
  ASSERT_TRUE(console.Type("5\r").Ok());
  ASSERT_EQ(console.State(), TUnitState::InSectionMenu);
  EXPECT_FALSE(console.Store());
  EXPECT_FALSE(console.Defaults());
  EXPECT_FALSE(console.ExitWithoutStoring());
  EXPECT_TRUE(WriteSection(console, Section("Expert", {}), "5").OffScript);
  EXPECT_EQ(device->Received(), "5\r");
  EXPECT_TRUE(NothingChanged());
}

TEST_F(Writer, shouldStopAtOnceWhenCancelledOrClosed) {
  Start();
  TWriteControl control;
  control.Cancelled = [] { return true; };
  TSectionOutcome out = WriteSection(console, Section("Expert", {}), "5", control);
  EXPECT_TRUE(out.Cancelled);
  port.Close();
  out = WriteSection(console, Section("WLAN", {}), "4");
  EXPECT_FALSE(Completed(out));
  EXPECT_FALSE(out.Cancelled);
  EXPECT_EQ(device->Received(), "");
}
