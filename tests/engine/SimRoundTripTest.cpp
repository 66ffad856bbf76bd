// The engine against the device simulator: prompt names of every menu question, the parse of a
// whole dump, and a read, apply and read round trip through the worker.

#include <gtest/gtest.h>

#include "SimProcess.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

#include "PtyPair.h"
#include "SimModel.h"
#include "uKaVruneSession.h"
#include "uCommunicationUtils.h"
#include "uKaVruneModel.h"
#include "uKaVruneQuestions.h"
#include "uKaVruneUtils.h"

using namespace std::chrono_literals;

TEST(SimulatedDevice, shouldNameEveryMenuQuestionByItsWriteKey) {
  for (const TSimPrompt& p : SimPromptCatalogue()) EXPECT_EQ(PromptName(p.Text), p.Key) << p.Section << ": " << p.Text;
}

// Every question the units ask is known to the engine as a whole, and nothing before its end is:
// a key typed at a beginning would land in the rest of the question. The questions in the forms
// of every kind of unit, and the parts that follow an answer.
TEST(SimulatedDevice, shouldKnowEveryQuestionWholeAndNoneBeforeItsEnd) {
  std::vector<TSimPrompt> asked = SimPromptCatalogue();
  const std::vector<TSimPrompt> more = {
      {"basic_parameters", "IP Address : (192) ", ""},         {"basic_parameters", ".(168) ", ""},
      {"basic_parameters", "Gateway IP addr (10) ", ""},       {"basic_parameters", "Gateway IP addr : (10) ", ""},
      {"Channel_2", "Remote IP Address : (0) ", ""},           {"Channel_1", "Dev addr 15 (255) ? ", ""},
      {"Channel_1", ":", ""},                                  {"WLAN", "Display current key (N) ? ", ""},
      {"WLAN", "Rate (0=1, 1=2, 2=5.5, 3=11, 4=18, 5=24, 6=36, 7=54 Mbps) (3) ? ", ""},
      {"Expert", "Your choice ? ", ""},                        {"Channel_1", "Terminal name (a) b) ? ", ""},
      {"basic_parameters", "Change DHCP device name (line-2) ? (N) ? ", ""}};
  asked.insert(asked.end(), more.begin(), more.end());
  std::set<std::string> met;
  for (const TSimPrompt& p : asked) {
    const auto& forms = MenuQuestions(p.Section);
    EXPECT_EQ(FitOfQuestion("\r\n" + p.Text, forms), TQuestionFit::Whole) << p.Section << ": " << p.Text;
    for (const std::string& form : forms)
      if (FitsQuestionForm(p.Text, form)) met.insert(form);
    for (size_t n = 1; n < p.Text.size(); ++n) {
      const std::string part = p.Text.substr(0, n);
      if (EndsAtPrompt(part)) {
        EXPECT_EQ(FitOfQuestion(part, forms), TQuestionFit::Part) << p.Section << ": " << part;
      }
    }
  }
  // What only begins a known question, or ends as one of another firmware's words, is no whole
  // question: a netmask's ") " before a "?" may come, the choice alone of older units, words in
  // brackets, a question of another menu.
  const auto& basic = MenuQuestions("basic_parameters");
  EXPECT_EQ(FitOfQuestion("Netmask: number of host bits (8) ", basic), TQuestionFit::Part);
  EXPECT_EQ(FitOfQuestion("Change DHCP device name (N) ? ", basic), TQuestionFit::Part);
  EXPECT_EQ(FitOfQuestion("Change DHCP device name [not set] ? ", basic), TQuestionFit::Unknown);
  EXPECT_EQ(FitOfQuestion("Baudrate (9600) ? ", basic), TQuestionFit::Unknown);
  EXPECT_EQ(FitOfQuestion("Baudrate (9600) ? ", AnyQuestions()), TQuestionFit::Whole);
  EXPECT_EQ(FitOfQuestion("Press Enter to continue ? ", AnyQuestions()), TQuestionFit::Unknown);
  // Every form of the table is a question some unit asks.
  for (const TSettingRow& row : SettingRows()) {
    EXPECT_EQ(row.Writable(), !row.Asks.empty()) << SettingName(row);
    for (const std::string& form : row.Asks) EXPECT_TRUE(met.count(form)) << SettingName(row) << ": " << form;
  }
}

TEST(SimulatedDevice, shouldParseAWholeDumpWithoutErrorLines) {
  auto doc = TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText);
  TXmlElement root = doc->Root(), section;
  for (const std::string& line : SimDumpLines(SimDefaults())) ParseDumpLine(Trim(line), root, section);
  ASSERT_GT(root.ChildCount(), 0);
  EXPECT_EQ(root.Children()[0].Name(), "basic_parameters");
  for (const TXmlElement& s : root.Children()) {
    EXPECT_GT(s.ChildCount(), 0) << s.Name();
    EXPECT_FALSE(s.FirstChild(ErrorLineMarker)) << s.Name();
  }
}

// The same dialogue on a plain line, and on one that brings the device's output in bursts
// with random pauses (seeded) and echoes every byte the engine sends.
class SimulatedLine : public ::testing::TestWithParam<std::vector<std::string>> {};

INSTANTIATE_TEST_SUITE_P(Lines, SimulatedLine,
                         ::testing::Values(std::vector<std::string>{},
                                           std::vector<std::string>{"--jitter", "30", "--seed", "7", "--echo"}));

TEST_P(SimulatedLine, shouldReadOnceApplyEverySectionAndReadTheStoredValuesBack) {
  if (!std::getenv("KAVRUNE_SIM")) GTEST_SKIP() << "KAVRUNE_SIM is not set";
  TempComDir dir;
  const std::string state = dir.Path() + "/state.txt";
  std::vector<std::string> args{"--unpaced", "--boot-window-ms", "3000"};
  args.insert(args.end(), GetParam().begin(), GetParam().end());
  SimProcess sim(5, state, args);
  ASSERT_TRUE(sim.Ready());

  std::vector<std::string> messages;
  std::mutex heardLock;
  std::string heard;
  auto dumpsHeard = [&] {
    std::lock_guard g(heardLock);
    size_t n = 0;
    for (size_t p = heard.find("*** basic"); p != std::string::npos; p = heard.find("*** basic", p + 1)) ++n;
    return n;
  };
  {
    TKaVruneSession session({[&](const std::string& text) { messages.push_back(text); }, {}});
    session.SetTrace([&](bool sent, const std::string& bytes) {
      std::lock_guard g(heardLock);
      if (!sent) heard += bytes;
    });
    ASSERT_TRUE(session.Open(5));
    ASSERT_TRUE(session.WaitForDevice(TKaVruneSession::Clock::now() + 30s).Ok());
    EXPECT_EQ(dumpsHeard(), 1u) << "the dump printed on entering Setup Mode is the one read";
    // At the root menu the device prints the same dump on Enter: both paths give one document.
    const std::string woken = session.SettingsText();
    ASSERT_TRUE(session.Read(TKaVruneSession::Clock::now() + 30s).Ok());
    EXPECT_EQ(dumpsHeard(), 2u);
    EXPECT_EQ(session.SettingsText(), woken);

    auto doc = TXmlDocument::CreateFromText("<xml/>");
    TXmlElement root = doc->Root();
    FindNodePath(root, "basic_parameters/IP_Address", true).SetText("10.0.0.7");
    FindNodePath(root, "Expert/TCP_Keepalive_time_in_s", true).SetText("60");
    FindNodePath(root, "Channel_1/Baudrate", true).SetText("19200");
    FindNodePath(root, "Channel_2/Port_No", true).SetText("10002");
    FindNodePath(root, "WLAN/Network_name", true).SetText("lab?net");
    FindNodePath(root, "Security/Disable_SNMP", true).SetText("Y");
    const TSessionResult r = session.Apply(root, TKaVruneSession::Clock::now() + 120s);
    EXPECT_TRUE(r.Ok()) << static_cast<int>(r.Status) << " " << r.Message << " (the device is read again)";
    EXPECT_EQ(FindNodePath(session.Settings(), "WLAN/Network_name", false).Text(), "lab?net");
  }
  EXPECT_TRUE(messages.empty()) << messages.front();

  TSimSettings expected = SimDefaults();
  expected.Set("basic_parameters", "IP_Address", "10.0.0.7");
  expected.Set("Expert", "TCP_Keepalive_time_in_s", "60");
  expected.Set("Channel_1", "Baudrate", "19200");
  expected.Set("Channel_2", "Port_No", "10002");
  expected.Set("WLAN", "Network_name", "lab?net");
  expected.Set("Security", "Disable_SNMP", "Y");
  TSimSettings stored = LoadState(state);
  for (const auto& [section, keys] : expected.Sections)
    for (const auto& [key, value] : keys) EXPECT_EQ(stored.Get(section, key), value) << section << "/" << key;
}

TEST(SimulatedDevice, shouldReadTwoDevicesSideBySideTellThemApartAndEndAWaitOnCancel) {
  if (!std::getenv("KAVRUNE_SIM")) GTEST_SKIP() << "KAVRUNE_SIM is not set";
  TempComDir dir;
  SimProcess first(6, "", {"--unpaced", "--boot-window-ms", "3000"});
  // A unit of another make, which spells its MAC with dashes.
  SimProcess second(7, "", {"--unpaced", "--boot-window-ms", "3000", "--variant", "field", "--mac", "02a0000000f7"});
  ASSERT_TRUE(first.Ready() && second.Ready());

  TSessionResult results[2];
  std::string documents[2];
  TDeviceIdentity units[2];
  {
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i)
      threads.emplace_back([&, i] {
        TKaVruneSession session;
        if (!session.Open(6 + i)) return;
        results[i] = session.WaitForDevice(TKaVruneSession::Clock::now() + 30s);
        documents[i] = session.SettingsText();
        units[i] = session.Identity();
      });
    for (auto& t : threads) t.join();
  }
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(results[i].Ok()) << "COM" << 6 + i;
    EXPECT_NE(documents[i].find("<basic_parameters>"), std::string::npos) << "COM" << 6 + i;
  }
  EXPECT_EQ(units[0].Firmware, "V1.0.0.1");
  EXPECT_EQ(units[1].Firmware, "V6.7.0.2 (091201)") << "named on its own line after the product's";
  EXPECT_EQ(units[0].Mac, "02-00-00-8F-1C-2E");
  EXPECT_EQ(units[1].Mac, "02-A0-00-00-00-F7");

  // A device that stays silent: the cancel flag ends the wait long before its deadline.
  PtyPair silent(&dir, 8);
  std::atomic<bool> cancel{true};
  TKaVruneSession session;
  session.SetCancelFlag(&cancel);
  ASSERT_TRUE(session.Open(8));
  EXPECT_EQ(session.WaitForDevice(TKaVruneSession::Clock::now() + 1h).Status, TSessionStatus::Cancelled);
}
