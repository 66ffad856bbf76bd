// The worker against the simulated device in this process: reads, writes, defaults and exit, and
// what happens when the port closes or a request comes while another runs. Each step waits on
// what the device or the sink reports, never on time.

#include <gtest/gtest.h>

#include <condition_variable>

#include "AfMainThread.h"
#include "InProcessSim.h"
#include "RecordingSink.h"
#include "uDeviceWorker.h"

using namespace std::chrono_literals;

namespace {

constexpr int kCom = 7;

struct Worker : ::testing::Test {
  InProcessSim device{kCom};
  RecordingSink sink;
  TDeviceWorker worker;

  void SetUp() override { worker.SetSink(&sink); }
  void TearDown() override { worker.SetSink(nullptr); }

  void OpenAndRead() {
    ASSERT_TRUE(worker.OpenPort(kCom));
    ASSERT_TRUE(sink.WaitDocuments(1));
  }
  static TXmlElement Request(const std::string& text) { return TXmlDocument::CreateFromText(text)->Root(); }
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
  worker.RequestWrite(
      Request("<xml><basic_parameters><IP_Address>10.1.1.1</IP_Address></basic_parameters>"
              "<Channel_1><Baudrate>19200</Baudrate></Channel_1><WLAN><Network_name>x@y</Network_name></WLAN></xml>"));
  ASSERT_TRUE(sink.WaitReports(1));
  TWriteReport report = sink.Report(0);
  EXPECT_TRUE(report.Succeeded) << report.Message;
  EXPECT_EQ(report.Kind, TWriteKind::Settings);
  const TSimSettings stored = device.Stored();
  EXPECT_EQ(stored.Get("basic_parameters", "IP_Address"), "10.1.1.1");
  EXPECT_EQ(stored.Get("Channel_1", "Baudrate"), "19200");
  EXPECT_EQ(stored.Get("WLAN", "Network_name"), "x@y");
  EXPECT_EQ(stored.Get("Channel_1", "I_F_Mode"), "4C");
  EXPECT_EQ(device.Count("menu Expert"), 0u) << "a section the request lacks is not entered";
  // The read that follows a write wakes the device again and shows what it stored.
  ASSERT_TRUE(sink.WaitDocuments(2));
  TXmlElement after = sink.Document(1);
  EXPECT_EQ(Key(after, "basic_parameters/IP_addr"), "10.1.1.1");
  EXPECT_EQ(Key(after, "WLAN/Network_name"), "x@y");
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
      if (p.Step == TWorkStep::Writing)
        steps += ":" + p.Section + ":" + std::to_string(p.Done) + "/" + std::to_string(p.Total);
      if (p.Step == TWorkStep::Reading) {
        EXPECT_EQ(p.Total, TypicalDumpLines) << "nothing read yet to know better";
      } else if (p.Step == TWorkStep::Checking) {
        EXPECT_EQ(p.Total, firstDump);
      }
    }
    if (p.Step == TWorkStep::Reading) firstDump = p.Done;
    lines = dump ? p.Done : 0;
  }
  EXPECT_EQ(steps,
            "waiting reading writing:basic_parameters:1/3 writing:Channel_1:2/3 writing:WLAN:3/3 storing checking");
  EXPECT_EQ(lines, firstDump);
}

TEST_F(Worker, shouldLeaveSetupModeWhenThePortClosesAndOnAnExitRequest) {
  OpenAndRead();
  EXPECT_FALSE(worker.OpenPort(0));
  EXPECT_FALSE(worker.InMenu());
  EXPECT_FALSE(worker.IsPortOpen());
  EXPECT_EQ(device.Count("exit without save"), 1u);
  // Opened again, the device powers on afresh and is read again.
  ASSERT_TRUE(device.WaitEvent("port closed"));
  ASSERT_TRUE(worker.OpenPort(kCom));
  ASSERT_TRUE(sink.WaitDocuments(2));
  worker.RequestWrite(RequestExit{});
  ASSERT_TRUE(sink.WaitReports(1));
  EXPECT_EQ(sink.Report(0).Kind, TWriteKind::Exit);
  EXPECT_TRUE(sink.Report(0).Succeeded);
  EXPECT_EQ(device.Count("exit without save"), 2u);
  EXPECT_FALSE(worker.InMenu());
  EXPECT_EQ(device.Count("defaults"), 0u);
}

// Out of Setup Mode and silent (data mode): whoever waits for the write hears that it failed.
TEST_F(Worker, shouldReportAWriteThatFindsNoRootMenu) {
  OpenAndRead();
  worker.RequestWrite(RequestExit{});
  ASSERT_TRUE(sink.WaitReports(1));
  EXPECT_TRUE(worker.LeftSetupMode());
  device.Line().Hold(true);
  worker.RequestWrite(Request("<xml><Channel_1><Baudrate>19200</Baudrate></Channel_1></xml>"));
  ASSERT_TRUE(sink.WaitReports(2));
  EXPECT_FALSE(sink.Report(1).Succeeded);
  EXPECT_NE(sink.Report(1).Message.find("setup menu"), std::string::npos) << sink.Report(1).Message;
  EXPECT_FALSE(worker.InMenu()) << "the wake-up failed";
  EXPECT_EQ(device.Count("store"), 0u);
}

TEST_F(Worker, shouldRestoreDefaultsAndReadThemBack) {
  OpenAndRead();
  worker.RequestWrite(RequestDefaults{});
  ASSERT_TRUE(sink.WaitReports(1));
  EXPECT_TRUE(sink.Report(0).Succeeded);
  EXPECT_EQ(device.Count("defaults"), 1u);
  EXPECT_EQ(device.Count("store"), 0u);
  EXPECT_TRUE(sink.WaitDocuments(2)) << "a read follows the defaults";
}

TEST_F(Worker, shouldLeaveWithoutStoringAndKeepServingAfterAWalkFails) {
  OpenAndRead();
  device.With([](TSimDevice& d) { d.SetFault(TSimFault::RefuseAnswers); });
  worker.RequestWrite(
      Request("<xml><basic_parameters><IP_Address>10.1.1.1</IP_Address></basic_parameters>"
              "<Expert><MTU_Size>1000</MTU_Size></Expert></xml>"));
  ASSERT_TRUE(sink.WaitReports(1));
  device.With([](TSimDevice& d) { d.SetFault(TSimFault::None); });
  TWriteReport report = sink.Report(0);
  EXPECT_FALSE(report.Succeeded);
  EXPECT_FALSE(report.Cancelled);
  // In the words of the pages and the device's question, not the names of the document.
  EXPECT_NE(report.Message.find("failed at the question"), std::string::npos) << report.Message;
  EXPECT_EQ(report.Message.find('_'), std::string::npos) << report.Message;
  EXPECT_TRUE(report.Reread);
  EXPECT_EQ(device.Count("store"), 0u);
  EXPECT_EQ(device.Count("menu Expert"), 0u);
  EXPECT_TRUE(sink.Messages().empty()) << "the report says it, once";
  // The worker is still there: a read is served.
  worker.RequestRead();
  EXPECT_TRUE(sink.WaitDocuments(2));
}

// A unit that strays inside a walk is answered no further: the walk stops, nothing is stored
// and the unit leaves Setup Mode. Cut prompt: a question whose ending the line lost is not seen
// as asked. Wrong menu: the first question belongs to another menu than the one chosen. Dump in
// menu: the unit prints its dump where the menu's first question was to come.
struct TStray {
  TSimFault Fault;
  const char* Event;  // the simulator's word for it
};

void PrintTo(const TStray& s, std::ostream* os) { *os << s.Event; }

struct WorkerGuard : Worker, ::testing::WithParamInterface<TStray> {};

INSTANTIATE_TEST_SUITE_P(Faults, WorkerGuard,
                         ::testing::Values(TStray{TSimFault::CutPrompt, "cut prompt"},
                                           TStray{TSimFault::WrongMenu, "wrong menu"},
                                           TStray{TSimFault::DumpInMenu, "dump in menu"}),
                         [](const auto& info) {
                           std::string name = info.param.Event;
                           std::erase(name, ' ');
                           return name;
                         });

TEST_P(WorkerGuard, shouldStoreNothingAndLeaveSetupModeWhenTheUnitStrays) {
  const auto [fault, event] = GetParam();
  OpenAndRead();
  device.With([fault](TSimDevice& d) { d.SetFault(fault); });
  worker.RequestWrite(Request("<xml><Expert><MTU_Size>1000</MTU_Size></Expert></xml>"));
  ASSERT_TRUE(sink.WaitReports(1));
  const TWriteReport report = sink.Report(0);
  EXPECT_EQ(device.Count(event), 1u) << device.Transcript();
  EXPECT_FALSE(report.Succeeded);
  EXPECT_TRUE(report.LeftSetupMode) << report.Message;
  EXPECT_EQ(device.Count("store"), 0u) << device.Transcript();
  EXPECT_TRUE(device.Stored() == SimDefaults()) << device.Transcript();
}

// Below its first dump and root menu the unit asks "Press Enter to continue ? ": it waits there,
// not at its root menu, and a read that took it for the root menu would have the walk type its
// menu's key into that question. The root menu is where its own prompt ends what it printed.
TEST_F(Worker, aPromptBelowTheRootMenuShouldNotPassForTheRootMenu) {
  device.With([](TSimDevice& d) { d.SetFault(TSimFault::ContinueAfterDump); });
  OpenAndRead();
  EXPECT_EQ(device.Count("continue after dump"), 1u) << device.Transcript();
  worker.RequestWrite(Request("<xml><Expert><MTU_Size>1000</MTU_Size></Expert></xml>"));
  ASSERT_TRUE(sink.WaitReports(1));
  EXPECT_TRUE(sink.Report(0).Succeeded) << sink.Report(0).Message << "\n" << device.Transcript();
  EXPECT_EQ(device.Stored().Get("Expert", "MTU_Size"), "1000") << device.Transcript();
}

TEST_F(Worker, shouldCancelAWriteCleanlyWhenThePortCloses) {
  OpenAndRead();
  // The device falls silent in the middle of the walk, so the write is running when the port closes.
  device.OnEvent([&](const std::string& e) {
    if (e == "menu Channel_1") device.Line().Hold(true);
  });
  worker.RequestWrite(Request("<xml><Channel_1><Baudrate>19200</Baudrate></Channel_1></xml>"));
  ASSERT_TRUE(device.WaitEvent("menu Channel_1"));
  EXPECT_FALSE(worker.OpenPort(0));
  EXPECT_FALSE(worker.IsPortOpen());
  ASSERT_TRUE(sink.WaitReports(1));
  EXPECT_TRUE(sink.Report(0).Cancelled);
  EXPECT_FALSE(sink.Report(0).Succeeded);
  EXPECT_EQ(device.Count("store"), 0u);
  EXPECT_TRUE(sink.Messages().empty()) << sink.Messages().front();
  EXPECT_EQ(sink.DocumentCount(), 1u) << "no read on a closed port";
}

TEST_F(Worker, shouldKeepARequestMadeWhileAWriteRuns) {
  OpenAndRead();
  // The second request comes while the device walks the first one's menu.
  device.OnEvent([&](const std::string& e) {
    if (e == "menu Channel_1" && device.Count("menu Channel_1") == 1)
      worker.RequestWrite(Request("<xml><Channel_1><Baudrate>38400</Baudrate></Channel_1></xml>"));
  });
  worker.RequestWrite(Request("<xml><Channel_1><Baudrate>19200</Baudrate></Channel_1></xml>"));
  ASSERT_TRUE(sink.WaitReports(2, 60s));
  EXPECT_TRUE(sink.Report(0).Succeeded) << sink.Report(0).Message;
  EXPECT_TRUE(sink.Report(1).Succeeded) << sink.Report(1).Message;
  EXPECT_EQ(device.Count("store"), 2u);
  EXPECT_EQ(device.Stored().Get("Channel_1", "Baudrate"), "38400");
}

TEST_F(Worker, shouldRetryAReadUntilTheDevicePowersOn) {
  device.With([](TSimDevice& d) { d.SetFault(TSimFault::Silent); });
  ASSERT_TRUE(worker.OpenPort(kCom));
  ASSERT_TRUE(device.WaitReceived("\r", 2)) << "the worker tries again after a silent try";
  EXPECT_EQ(sink.DocumentCount(), 0u);
  device.With([](TSimDevice& d) { d.SetFault(TSimFault::None); });
  device.Line().PowerCycle();
  EXPECT_TRUE(sink.WaitDocuments(1));
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
  ASSERT_TRUE(worker.OpenPort(kCom));
  // The read's steps are posted before its result is stored, its delivery after.
  for (size_t n = mainThread.Posted(); !worker.ReadResult(); n = mainThread.Posted())
    ASSERT_TRUE(mainThread.WaitPosted(n + 1, 15s));
  device.Line().Hold(true);
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
