#include <gtest/gtest.h>

#include "AfComPort.h"
#include "InProcessSim.h"
#include "uCommunicationUtils.h"
#include "uDeviceWorker.h"

namespace {

struct Parsed {
  PXmlDocument doc = TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText);
  TXmlElement root = doc->Root();
  TXmlElement section;

  void Lines(std::initializer_list<const char*> lines) {
    for (const char* l : lines) ParseDumpLine(l, root, section);
  }
  std::string Key(const std::string& path) { return FindNodePath(root, path, false).Text(); }
  bool Has(const std::string& path) { return static_cast<bool>(FindNodePath(root, path, false)); }
  std::vector<std::string> Names(const TXmlElement& e) {
    std::vector<std::string> n;
    for (const auto& c : e.Children()) n.push_back(c.Name());
    return n;
  }
};

}  // namespace

TEST(DumpLine, shouldBuildTheExamplesOfTheDeviceDump) {
  Parsed p;
  p.Lines({"*** basic parameters", "IP addr 192.168.1.254, no gateway set, netmask 255.255.255.0", "*** Channel 1",
           "Baudrate 9600, I/F Mode 4C, Flow 00", "0 Server configuration"});
  EXPECT_EQ(p.Names(p.root), (std::vector<std::string>{"basic_parameters", "Channel_1"}));
  EXPECT_EQ(p.Key("basic_parameters/IP_addr"), "192.168.1.254");
  EXPECT_TRUE(p.Has("basic_parameters/gateway"));
  EXPECT_EQ(p.Key("basic_parameters/gateway"), "");
  EXPECT_EQ(p.Key("basic_parameters/netmask"), "255.255.255.0");
  EXPECT_EQ(p.Names(p.section), (std::vector<std::string>{"Baudrate", "IF_Mode", "Flow"}))
      << "a name beginning with a digit is not created";
  EXPECT_EQ(p.Key("Channel_1/IF_Mode"), "4C");
}

TEST(DumpLine, shouldSplitColonAndIsFormsAtTheFirstSeparator) {
  Parsed p;
  p.Lines({"*** Security", "Password : a:b", "Telnet port is 9999 is fixed", "Mail @ host: x@y"});
  EXPECT_EQ(p.Key("Security/Password"), "a:b");
  EXPECT_EQ(p.Key("Security/Telnet_port"), "9999 is fixed");
  // "@" becomes "at" in the name only: a value typed back to the device must not change.
  EXPECT_EQ(p.Key("Security/Mail_at_host"), "x@y");
}

TEST(DumpLine, shouldCleanGroupNames) {
  Parsed p;
  p.Lines({"*** Channel 2", "Send '+++' in Modem Mode Y, Show IP addr after 'RING' N, Autobaud, 5@6 x"});
  EXPECT_EQ(p.Key("Channel_2/Send_plusplusplus_in_Modem_Mode"), "Y");
  EXPECT_EQ(p.Key("Channel_2/Show_IP_addr_after_RING"), "N");
  EXPECT_TRUE(p.Has("Channel_2/Autobaud")) << "a group without a blank is a key with an empty value";
  EXPECT_EQ(p.Key("Channel_2/Autobaud"), "");
  EXPECT_EQ(p.section.ChildCount(), 3) << "5@6 begins with a digit";
}

TEST(DumpLine, shouldKeepRepeatsAndIgnoreLinesOutsideSections) {
  Parsed p;
  p.Lines({"Press Enter for Setup Mode", "Model: kaVRUNE", "", "*** WLAN", "SSID : one", "SSID : two", "*** WLAN"});
  ASSERT_EQ(p.root.ChildCount(), 2);
  TXmlElement first = p.root.Children()[0];
  EXPECT_EQ(first.ChildCount(), 2);
  EXPECT_EQ(p.Key("WLAN/SSID"), "one");
}

TEST(DumpLine, shouldMarkLinesTheDocumentRefusesAndKeepABadSectionApart) {
  Parsed p;
  p.Lines({"Mode (0-3) 1"});
  EXPECT_EQ(p.root.ChildCount(), 0) << "no marker without a section";
  p.Lines({"*** Expert", "CPU (MHz) 88", "TCP Keepalive 45", "Mode (0-3) : 1, x", "*** a:b:0", "Flush 00"});
  EXPECT_EQ(p.Names(p.root.FirstChild("Expert")),
            (std::vector<std::string>{ErrorLineMarker, "TCP_Keepalive", ErrorLineMarker}));
  EXPECT_EQ(p.Names(p.root), (std::vector<std::string>{"Expert", ErrorLineMarker}))
      << "a name with a colon would make a file that cannot be loaded";
  EXPECT_EQ(p.Names(p.section), (std::vector<std::string>{"Flush"})) << "not in the section before";
  EXPECT_NO_THROW(TXmlDocument::CreateFromText(p.doc->SaveToText()));
}

TEST(Dump, shouldNameDamagedLinesAndNeverTakeTheirValues) {
  std::vector<std::string> damaged;
  const TXmlElement root = ParseDump(
      "Press Enter\r\n*** basic parameters\r\nIP addr 1\x1B"
      "92.168.1.254, no gateway set\r\n*\a** Channel 1\r\nBaudrate 9600\r\nPassword : sec\x07ret\r\n"
      "Flow 0\x01\r\nYour choice ? ",
      &damaged);
  ASSERT_TRUE(root);
  EXPECT_FALSE(FindNodePath(root, "basic_parameters/IP_addr", false));
  ASSERT_EQ(damaged.size(), 4u);
  EXPECT_EQ(damaged[0], "line 2 (basic_parameters): IP addr 1<1B>92.168.1.254, no gateway set");
  EXPECT_EQ(damaged[1], "line 3: *<BEL>** Channel 1");
  EXPECT_EQ(damaged[2], "line 5: Password : ********") << "a damaged line keeps its secret";
  EXPECT_EQ(damaged[3], "line 6: Flow 0<01>") << "noise at a line's end, where it would shorten the value";
  const auto sections = root.Children();
  ASSERT_EQ(sections.size(), 2u);
  EXPECT_EQ(sections[1].Name(), ErrorLineMarker) << "the garbled heading's keys stay out of basic_parameters";
  EXPECT_EQ(FindNodePath(sections[1], "Baudrate", false).Text(), "9600");
}

TEST(Dump, shouldReadTheNewestWholeDumpUpToTheMenuPrompt) {
  const std::string dump =
      "*** basic parameters\r\nIP addr 10.0.0.1, no gateway set\r\n*** WLAN\r\nSSID : a?b\r\n\r\n"
      "0 Server configuration\r\n9 Save and exit\r\n\r\nYour choice ? ";
  EXPECT_FALSE(ParseDump("Press Enter for Setup Mode \r\n*** basic parameters\r\nIP addr 1"));
  EXPECT_FALSE(ParseDump("Your choice ? ")) << "a menu without a dump";
  TXmlElement root = ParseDump("\r\nPress Enter for Setup Mode \r\n" + dump);
  ASSERT_TRUE(root);
  EXPECT_EQ(root.Document()->SaveToText(),
            ParseDump("noise\r\n*** WLAN\r\nSSID : old\r\n" + dump).Document()->SaveToText())
      << "what came before the heading is no part of the document";
  EXPECT_EQ(root.ChildCount(), 2);
  EXPECT_EQ(FindNodePath(root, "WLAN/SSID", false).Text(), "a?b");
  EXPECT_EQ(FindNodePath(root, "basic_parameters/IP_addr", false).Text(), "10.0.0.1");
}

namespace {

constexpr int kCom = 7;

// The device waits at the root menu of Setup Mode; the port is open.
struct DumpReader : ::testing::Test {
  InProcessSim device{kCom, {SimDefaults(), true}};
  TAfComPort port;
  TLineTiming timing;
  TDeviceConsole console{&port, timing};
  void SetUp() override {
    port.SetBaudRate(br9600);
    port.SetComNumber(kCom);
    port.Open();
    ASSERT_TRUE(port.Active());
  }
};

}  // namespace

TEST_F(DumpReader, shouldReadTheDumpThatOneEnterAtTheRootMenuPrints) {
  TDumpContext context;
  ReadDump(console, context);
  EXPECT_TRUE(console.AtRootMenu());
  ASSERT_TRUE(context.Root);
  EXPECT_EQ(context.Root.Name(), "kaVrune");
  const auto sections = context.Root.Children();
  ASSERT_EQ(sections.size(), SimSections().size());
  EXPECT_EQ(sections[0].Name(), "basic_parameters");
  EXPECT_EQ(FindNodePath(context.Root, "WLAN/Network_name", false).Text(), "kavrune");
  EXPECT_EQ(FindNodePath(context.Root, "Channel_1/Baudrate", false).Text(), "9600");
  EXPECT_EQ(device.Received(), "\r") << "the device prints its dump once";
}

TEST_F(DumpReader, shouldKeepTheValuesOfAnOpenQuestionOnTheWayToTheMenu) {
  port.WriteString("1\r");  // a walk broken off at its first question
  TPromptWait question;
  question.FirstAnswerMs = question.SettleMs = 2000;
  question.KeepWaiting = [](const std::string& text) { return text.find('?') == std::string::npos; };
  ASSERT_NE(SendAndAwaitPrompt(&port, "", question).Text.find('?'), std::string::npos);
  TDumpContext context;
  ReadDump(console, context);
  EXPECT_TRUE(console.AtRootMenu());
  EXPECT_TRUE(context.Root) << "the menu came without a dump: Enter there prints it";
  const std::string typed = device.Received();
  EXPECT_EQ(typed.find_first_not_of('\r', 2), std::string::npos) << "only Enter after the choice: " << typed;
  EXPECT_TRUE(device.With([](TSimDevice& d) { return d.Current() == d.Stored(); }));
}

TEST_F(DumpReader, shouldGiveUpOnASilentDeviceAfterOneEnter) {
  device.Line().Hold(true);
  TDumpContext context;
  context.ListenMs = 200;
  ReadDump(console, context);
  EXPECT_FALSE(console.AtRootMenu());
  EXPECT_FALSE(context.Root);
  ASSERT_TRUE(device.WaitReceived("\r"));
  EXPECT_EQ(device.Received(), "\r");
}
