// The engine against the device simulator: prompt names of every menu question, the parse of a
// whole dump, and a read, apply and read round trip through the worker.

#include <gtest/gtest.h>

#include "SimProcess.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>

#include "SimModel.h"
#include "uKaVruneAI.h"
#include "uKaVruneUtils.h"

using namespace std::chrono_literals;

TEST(SimulatedDevice, shouldNameEveryMenuQuestionByItsWriteKey) {
  for (const TSimPrompt& p : SimPromptCatalogue()) EXPECT_EQ(PromptName(p.Text), p.Key) << p.Section << ": " << p.Text;
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

namespace {

class Sink final : public IKaVruneSink {
 public:
  void DeliverReadDocument(const TXmlElement& root) override { Push([&] { docs.push_back(root); }); }
  void ShowMessage(const std::string& text) override { Push([&] { messages.push_back(text); }); }
  void WriteFinished(const TWriteReport& r) override { Push([&] { reports.push_back(r); }); }
  template <typename F>
  bool Wait(F done, std::chrono::seconds limit) {
    std::unique_lock g(lock);
    return changed.wait_for(g, limit, done);
  }
  std::mutex lock;
  std::condition_variable changed;
  std::vector<TXmlElement> docs;
  std::vector<std::string> messages;
  std::vector<TWriteReport> reports;

 private:
  template <typename F>
  void Push(F f) {
    std::lock_guard g(lock);
    f();
    changed.notify_all();
  }
};

}  // namespace

TEST(SimulatedDevice, shouldStoreExactlyTheChangedSettingOfEverySection) {
  if (!std::getenv("KAVRUNE_SIM")) GTEST_SKIP() << "KAVRUNE_SIM is not set";
  char tmpl[] = "/tmp/kavrune-roundtrip-XXXXXX";
  std::string dir = mkdtemp(tmpl);
  setenv("KAVRUNE_COM_DIR", dir.c_str(), 1);
  std::string state = dir + "/state.txt";
  SimProcess sim(5, state, {"--unpaced", "--boot-window-ms", "3000"});
  ASSERT_TRUE(sim.Ready());

  Sink sink;
  {
    TKaVruneAI worker;
    worker.SetSink(&sink);
    ASSERT_TRUE(worker.OpenPort(5));
    ASSERT_TRUE(sink.Wait([&] { return !sink.docs.empty(); }, 30s));

    auto doc = TXmlDocument::CreateFromText("<xml/>");
    TXmlElement root = doc->Root();
    FindNodePath(root, "basic_parameters/IP_Address", true).SetText("10.0.0.7");
    FindNodePath(root, "Expert/TCP_Keepalive_time_in_s", true).SetText("60");
    FindNodePath(root, "Channel_1/Baudrate", true).SetText("19200");
    FindNodePath(root, "Channel_2/Port_No", true).SetText("10002");
    FindNodePath(root, "WLAN/Network_name", true).SetText("lab@net");
    FindNodePath(root, "Security/Disable_SNMP", true).SetText("Y");
    worker.RequestWrite(root);
    ASSERT_TRUE(sink.Wait([&] { return !sink.reports.empty(); }, 90s));
    EXPECT_TRUE(sink.reports[0].Succeeded) << sink.reports[0].Message;
    EXPECT_TRUE(sink.Wait([&] { return sink.docs.size() >= 2; }, 30s)) << "the device is read again";
    worker.SetSink(nullptr);
  }
  EXPECT_TRUE(sink.messages.empty()) << sink.messages.front();

  TSimSettings expected = SimDefaults();
  expected.Set("basic_parameters", "IP_Address", "10.0.0.7");
  expected.Set("Expert", "TCP_Keepalive_time_in_s", "60");
  expected.Set("Channel_1", "Baudrate", "19200");
  expected.Set("Channel_2", "Port_No", "10002");
  expected.Set("WLAN", "Network_name", "lab@net");
  expected.Set("Security", "Disable_SNMP", "Y");
  TSimSettings stored = LoadState(state);
  for (const auto& [section, keys] : expected.Sections)
    for (const auto& [key, value] : keys) EXPECT_EQ(stored.Get(section, key), value) << section << "/" << key;
  std::filesystem::remove_all(dir);
}
