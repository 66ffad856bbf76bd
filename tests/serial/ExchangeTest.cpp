#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "AfComPort.h"
#include "PtyPair.h"
#include "uCommunicationUtils.h"

namespace {

class ExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port.SetComNumber(1);
    port.SetBaudRate(br9600);
    // What the port has read so far, so the peer can answer in steps of the exchange.
    port.OnTrace = [this](bool sent, const std::string& bytes) {
      if (sent) return;
      std::lock_guard g(lock);
      heard += bytes;
      changed.notify_all();
    };
    port.Open();
  }
  // Waits until the port has read text; bounded only so that a failing run ends.
  bool WaitHeard(const std::string& text) {
    std::unique_lock g(lock);
    return changed.wait_for(g, std::chrono::seconds(10), [&] { return heard.find(text) != std::string::npos; });
  }
  // A peer that never falls silent, until the fixture ends: once it has received `request` it
  // answers first, then talks on.
  void Chatter(const std::string& request, const std::string& first) {
    chatter = std::thread([this, request, first] {
      EXPECT_EQ(pty.Receive(request.size()), request);
      pty.Send(first);
      const std::string chunk(4096, 'z');
      while (!stop)
        if (::write(pty.Master(), chunk.data(), chunk.size()) <= 0) std::this_thread::yield();
    });
  }
  void TearDown() override {
    stop = true;
    if (chatter.joinable()) chatter.join();
  }
  TempComDir dir;
  PtyPair pty{&dir, 1};
  TAfComPort port;
  std::string reply;
  std::mutex lock;
  std::condition_variable changed;
  std::string heard;
  std::atomic<bool> stop{false};
  std::thread chatter;
};

}  // namespace

TEST(Exchange, lineIncompleteAndCharTime) {
  EXPECT_TRUE(LineIncomplete(""));
  EXPECT_FALSE(LineIncomplete("ok\r"));
  EXPECT_TRUE(LineIncomplete("ok\r\n"));
  TAfComPort port;
  port.SetBaudRate(br9600);
  EXPECT_NEAR(CharTime(&port), 1.0417, 0.0001);
  port.SetUserBaudRate(1000);
  EXPECT_DOUBLE_EQ(CharTime(&port), 10.0);
}

TEST(Exchange, closedPortShouldReturnWithNothing) {
  TAfComPort port;
  std::string reply = "old";
  SendAndExpect(&port, "8\r", 5000, "?", PurgeBoth, reply);
  EXPECT_EQ(reply, "");
  SendAndCollect(nullptr, "x", 5000, nullptr, NoPurge, reply);
  EXPECT_EQ(reply, "");
}

// On a line that never falls silent only the expected text can end an exchange before its bounds.
TEST_F(ExchangeTest, shouldStopOnTheExpectedTextOnALineThatNeverFallsSilent) {
  Chatter("8\r\n", "Main menu\r\nYour choice ?");
  SendAndExpectAny(&port, "8\r\n", 2000, {"Parameters", "choice ?"}, PurgeBoth, reply);
  EXPECT_EQ(reply.rfind("Main menu\r\nYour choice ?", 0), 0u) << reply.substr(0, 40);
  EXPECT_LT(reply.size(), ExchangeMaxBytes) << "ended on the expected text, not on the bound";
  SendAndExpect(&port, "", 100, "", NoPurge, reply);
  EXPECT_GE(reply.size(), ExchangeMaxBytes) << "an empty expected text never matches";
  SendAndCollect(&port, "", 100, nullptr, NoPurge, reply);
  EXPECT_GE(reply.size(), ExchangeMaxBytes) << "a collect ends at the byte bound";
}

TEST_F(ExchangeTest, collectShouldTakePiecesThatComeBeforeTheLineFallsSilent) {
  // At 600 baud the line falls silent only after 1.7 s, far more than the peer takes to answer.
  port.Close();
  port.SetBaudRate(br600);
  port.Open();
  std::thread device([&] {
    pty.Send("part one ");
    if (WaitHeard("part one ")) pty.Send("part two");
  });
  SendAndCollect(&port, "", 1000, nullptr, NoPurge, reply);
  device.join();
  EXPECT_EQ(reply, "part one part two") << "pieces inside the window make one reply";
}

TEST(Exchange, echoOfWhatWasSentShouldBeSkippedOnceOrTwice) {
  EXPECT_EQ(EchoEnd("a?b\r\nNext ? ", "a?b\r"), 4u);
  EXPECT_EQ(EchoEnd("a?b\ra?b\r\nNext ? ", "a?b\r"), 8u) << "a line echo ahead of the device's";
  EXPECT_EQ(EchoEnd("aa??bb\r\r\nNext ? ", "a?b\r"), 8u) << "the two interleaved";
  EXPECT_EQ(EchoEnd("***\r\nNext ? ", "k?y\r"), 4u) << "a hidden entry";
  EXPECT_EQ(EchoEnd("\r\nYour choice ? ", "9\r"), 0u);
  EXPECT_EQ(EchoEnd(" a?b\r\nNext ? ", "a?b\r"), 5u) << "the blank after the previous prompt came late";
  EXPECT_EQ(EchoEnd("a?", ""), 0u);
}

TEST_F(ExchangeTest, aQuestionMarkTheUserTypedShouldNotEndTheWaitForTheNextPrompt) {
  std::thread device([&] {
    EXPECT_EQ(pty.Receive(4), "a?b\r");
    pty.Send("a?");
    if (WaitHeard("a?")) pty.Send("b\r\nNext (x) ? ");
  });
  SendAndExpect(&port, "a?b\r", 1000, "?", PurgeBoth, reply);
  device.join();
  EXPECT_NE(reply.find("Next (x) ?"), std::string::npos) << reply;
}

TEST_F(ExchangeTest, collectWithLineIncompleteShouldReturnOnCr) {
  pty.Send("*** basic parameters\r");
  SendAndCollect(&port, "", 1000, LineIncomplete, NoPurge, reply);
  EXPECT_EQ(reply, "*** basic parameters\r");
}

TEST_F(ExchangeTest, laterPieceShouldWaitForTheNextExchangeUnlessPurged) {
  pty.Send("first");
  ASSERT_TRUE(port.WaitForInput(10000));
  SendAndExpectAny(&port, "", 100, {"never"}, NoPurge, reply);
  EXPECT_EQ(reply, "first");
  pty.Send("second");
  SendAndExpectAny(&port, "", 5000, {"second"}, NoPurge, reply);
  EXPECT_EQ(reply, "second");

  pty.Send("junk");
  ASSERT_TRUE(port.WaitForInput(10000));  // the bytes have reached the port, so the purge meets them
  SendAndExpectAny(&port, "", 100, {"x"}, PurgeBoth, reply);
  EXPECT_EQ(reply, "") << "the purge threw away what was waiting";
}
