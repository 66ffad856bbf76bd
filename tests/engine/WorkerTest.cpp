#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>

#include "AfSyncTargets.h"
#include "FakeKaVrune.h"
#include "RecordingSink.h"
#include "uKaVruneAI.h"

namespace {

using namespace std::chrono_literals;

struct Worker : ::testing::Test {
  FakeKaVrune device;
  RecordingSink sink;
  TKaVruneAI worker;

  void SetUp() override { worker.SetSink(&sink); }
  void TearDown() override { worker.SetSink(nullptr); }

  void OpenAndRead() {
    ASSERT_TRUE(worker.OpenPort(FakeKaVrune::ComNumber));
    ASSERT_TRUE(sink.WaitDocuments(1));
  }
  TXmlElement Request(const std::string& text) {
    auto doc = TXmlDocument::CreateFromText(text);
    return doc->Root();
  }
  static std::string Key(const TXmlElement& root, const std::string& path) {
    return FindNodePath(root, path, false).Text();
  }
};

}  // namespace

TEST_F(Worker, shouldDeliverTheDumpWhenThePortOpens) {
  OpenAndRead();
  TXmlElement root = sink.Document(0);
  EXPECT_EQ(root.Name(), "kaVrune");
  EXPECT_EQ(Key(root, "basic_parameters/IP_addr"), "192.168.1.254");
  EXPECT_EQ(worker.ReadResult(), root);
  EXPECT_TRUE(worker.InMenu());
}

TEST_F(Worker, shouldApplyStoreAndReadTheNewValuesBack) {
  OpenAndRead();
  worker.RequestWrite(Request(
      "<xml><basic_parameters><IP_Address>10.1.1.1</IP_Address></basic_parameters>"
      "<Channel_1><Baudrate>19200</Baudrate></Channel_1><WLAN><SSID>x@y</SSID></WLAN></xml>"));
  ASSERT_TRUE(sink.WaitReports(1));
  TWriteReport report = sink.Report(0);
  EXPECT_TRUE(report.Succeeded) << report.Message;
  EXPECT_EQ(report.Kind, TWriteKind::Settings);
  auto stored = device.Stored();
  EXPECT_EQ(stored["IP_Address"], "10.1.1.1");
  EXPECT_EQ(stored["Baudrate"], "19200");
  EXPECT_EQ(stored["SSID"], "x@y");
  EXPECT_EQ(stored["IF_Mode"], "4C");
  EXPECT_EQ(device.Received().find("5\r"), std::string::npos) << "a section the request lacks is not entered";
  // The read that follows a write wakes the device again and shows what it stored.
  ASSERT_TRUE(sink.WaitDocuments(2));
  TXmlElement after = sink.Document(1);
  EXPECT_EQ(Key(after, "basic_parameters/IP_addr"), "10.1.1.1");
  EXPECT_EQ(Key(after, "WLAN/SSID"), "x@y");
  EXPECT_TRUE(sink.Messages().empty());

  // The steps as a front end shows them: a run of line counts is one step, its counts rising
  // to the whole dump; the read after the store checks against the first dump's length.
  std::string steps;
  int lines = 0, firstDump = 0;
  const char* names[] = {"waiting", "reading", "writing", "storing", "checking"};
  for (const TWorkProgress& p : sink.Steps()) {
    const bool dump = p.Step == TWorkStep::Reading || p.Step == TWorkStep::Checking;
    if (dump && lines > 0 && steps.ends_with(names[static_cast<int>(p.Step)])) {
      EXPECT_GT(p.Done, lines) << "the count only rises";
    } else {
      steps += std::string(steps.empty() ? "" : " ") + names[static_cast<int>(p.Step)];
      if (p.Step == TWorkStep::Writing) steps += ":" + p.Section + ":" + std::to_string(p.Done) + "/" + std::to_string(p.Total);
      if (p.Step == TWorkStep::Reading) {
        EXPECT_EQ(p.Total, TypicalDumpLines) << "nothing read yet to know better";
      } else if (p.Step == TWorkStep::Checking) {
        EXPECT_EQ(p.Total, firstDump);
      }
    }
    if (p.Step == TWorkStep::Reading) firstDump = p.Done;
    lines = dump ? p.Done : 0;
  }
  EXPECT_EQ(steps, "waiting reading writing:basic_parameters:1/3 writing:Channel_1:2/3 writing:WLAN:3/3 storing checking");
  EXPECT_EQ(lines, firstDump);
}

TEST_F(Worker, shouldLeaveSetupModeOnAnExitRequest) {
  OpenAndRead();
  worker.RequestWrite(RequestExit{});
  ASSERT_TRUE(sink.WaitReports(1));
  EXPECT_EQ(sink.Report(0).Kind, TWriteKind::Exit);
  EXPECT_EQ(device.ExitCount(), 1);
  EXPECT_EQ(device.DefaultsCount(), 0);
  EXPECT_FALSE(worker.InMenu());
}

TEST_F(Worker, shouldRestoreDefaultsAndReadThemBack) {
  OpenAndRead();
  worker.RequestWrite(RequestDefaults{});
  ASSERT_TRUE(sink.WaitReports(1));
  EXPECT_TRUE(sink.Report(0).Succeeded);
  EXPECT_EQ(device.DefaultsCount(), 1);
  EXPECT_EQ(device.StoreCount(), 0);
  EXPECT_TRUE(sink.WaitDocuments(2)) << "a read follows the defaults";
}

TEST_F(Worker, shouldLeaveWithoutStoringAndKeepServingAfterAWalkFails) {
  device.SetMenu(5, {{"Loop", "Frame gap (0) ?", FakeKaVrune::Kind::Refuse}});
  OpenAndRead();
  worker.RequestWrite(Request("<xml><basic_parameters><IP_Address>10.1.1.1</IP_Address></basic_parameters>"
                              "<Expert><MTU_Size>1000</MTU_Size></Expert></xml>"));
  ASSERT_TRUE(sink.WaitReports(1, 60s));
  TWriteReport report = sink.Report(0);
  EXPECT_FALSE(report.Succeeded);
  EXPECT_FALSE(report.Cancelled);
  // In the words of the pages and the device's question, not the names of the document.
  EXPECT_NE(report.Message.find("Writing the server settings failed at the question \"Frame gap\""), std::string::npos)
      << report.Message;
  EXPECT_EQ(report.Message.find('_'), std::string::npos) << report.Message;
  EXPECT_TRUE(report.Reread);
  EXPECT_EQ(device.StoreCount(), 0);
  EXPECT_EQ(device.Received().find("9\r"), std::string::npos);
  EXPECT_TRUE(sink.Messages().empty()) << "the report says it, once";
  // The worker is still there: a read is served.
  worker.RequestRead();
  EXPECT_TRUE(sink.WaitDocuments(2, 30s));
}

TEST_F(Worker, shouldCancelAWriteCleanlyWhenThePortCloses) {
  OpenAndRead();
  device.SetReplyDelayMs(150);
  worker.RequestWrite(Request("<xml><Channel_1><Baudrate>19200</Baudrate></Channel_1></xml>"));
  ASSERT_TRUE(device.WaitForAnswer("Baudrate", "19200")) << "the write is under way";
  EXPECT_FALSE(worker.OpenPort(0));
  EXPECT_FALSE(worker.IsPortOpen());
  ASSERT_TRUE(sink.WaitReports(1));
  EXPECT_TRUE(sink.Report(0).Cancelled);
  EXPECT_FALSE(sink.Report(0).Succeeded);
  EXPECT_EQ(device.StoreCount(), 0);
  EXPECT_TRUE(sink.Messages().empty()) << sink.Messages().front();
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(sink.DocumentCount(), 1u) << "no read on a closed port";
}

TEST_F(Worker, shouldKeepARequestMadeWhileAWriteRuns) {
  OpenAndRead();
  device.SetReplyDelayMs(30);
  worker.RequestWrite(Request("<xml><Channel_1><Baudrate>19200</Baudrate></Channel_1></xml>"));
  ASSERT_TRUE(device.WaitForAnswer("Baudrate", "19200")) << "the first write is under way";
  worker.RequestWrite(Request("<xml><Channel_1><Baudrate>38400</Baudrate></Channel_1></xml>"));
  ASSERT_TRUE(sink.WaitReports(2, 60s));
  EXPECT_TRUE(sink.Report(0).Succeeded) << sink.Report(0).Message;
  EXPECT_TRUE(sink.Report(1).Succeeded) << sink.Report(1).Message;
  EXPECT_EQ(device.StoreCount(), 2);
  EXPECT_EQ(device.Stored()["Baudrate"], "38400");
}

TEST_F(Worker, shouldRetryAReadUntilTheDeviceAnswers) {
  device.SetSilent(true);
  ASSERT_TRUE(worker.OpenPort(FakeKaVrune::ComNumber));
  EXPECT_FALSE(sink.WaitDocuments(1, 2500ms));
  device.SetSilent(false);
  EXPECT_TRUE(sink.WaitDocuments(1));
}

TEST_F(Worker, shouldLeaveSetupModeWhenThePortCloses) {
  OpenAndRead();
  EXPECT_FALSE(worker.OpenPort(0));
  EXPECT_EQ(device.ExitCount(), 1);
  EXPECT_FALSE(worker.InMenu());
  EXPECT_FALSE(worker.IsPortOpen());
}

namespace {

// Holds posted calls until the test runs them, as a busy main thread would.
class HoldingDispatcher final : public IAfMainThreadDispatcher {
 public:
  void Post(std::function<void()> fn) override {
    std::lock_guard g(lock_);
    calls_.push_back(std::move(fn));
    ++posted_;
    changed_.notify_all();
  }
  bool IsMainThread() const override { return false; }
  // Waits until n calls were posted in all, run or not.
  bool WaitPosted(size_t n, std::chrono::milliseconds limit) {
    std::unique_lock g(lock_);
    return changed_.wait_for(g, limit, [&] { return posted_ >= n; });
  }
  size_t Posted() {
    std::lock_guard g(lock_);
    return posted_;
  }
  size_t RunAll() {
    std::vector<std::function<void()>> calls;
    {
      std::lock_guard g(lock_);
      calls.swap(calls_);
    }
    for (auto& c : calls) c();
    return calls.size();
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::function<void()>> calls_;
  size_t posted_ = 0;
};

}  // namespace

TEST_F(Worker, shouldNotHandOverNoneWhenAReadIsRequestedBeforeTheDeliveryRuns) {
  HoldingDispatcher mainThread;
  worker.SetSink(&sink, &mainThread);
  ASSERT_TRUE(worker.OpenPort(FakeKaVrune::ComNumber));
  // The read's steps are posted before its result is stored, its delivery after.
  for (size_t n = mainThread.Posted(); !worker.ReadResult(); n = mainThread.Posted())
    ASSERT_TRUE(mainThread.WaitPosted(n + 1, 15s));
  device.SetSilent(true);
  worker.RequestRead();  // releases the stored result before the main thread gets to it
  // Every call but the delivery reaches the sink; run them until one has not.
  size_t ran = 0;
  while (ran == sink.Steps().size()) {
    ASSERT_TRUE(mainThread.WaitPosted(ran + 1, 15s));
    ran += mainThread.RunAll();
  }
  EXPECT_EQ(sink.DocumentCount(), 0u) << "the front end keeps the document it has";
  worker.SetSink(nullptr);
  mainThread.RunAll();
}
