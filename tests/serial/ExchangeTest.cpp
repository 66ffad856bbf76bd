#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "AfComPort.h"
#include "PtyPair.h"
#include "uCommunicationUtils.h"

namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point t0) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count());
}

class ExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port.SetComNumber(1);
    port.SetBaudRate(br9600);
    port.Open();
  }
  TempComDir dir;
  PtyPair pty{&dir, 1};
  TAfComPort port;
  std::string reply;
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

TEST(Exchange, closedPortShouldReturnAtOnceWithNothing) {
  TAfComPort port;
  std::string reply = "old";
  const auto t0 = Clock::now();
  SendAndExpect(&port, "8\r", 5000, "?", PurgeBoth, reply);
  EXPECT_EQ(reply, "");
  SendAndCollect(nullptr, "x", 5000, nullptr, NoPurge, reply);
  EXPECT_LT(MsSince(t0), 5000) << "neither waited for its time-out";
}

TEST_F(ExchangeTest, shouldStopAsSoonAsAnExpectedTextArrives) {
  std::thread device([&] {
    EXPECT_EQ(pty.Receive(3), "8\r\n");
    pty.Send("Main menu\r\nYour choice ?");
  });
  port.SetBaudRate(br300);  // a silence of seconds: ending on it could not pass for ending on the text
  const auto t0 = Clock::now();
  SendAndExpectAny(&port, "8\r\n", 2000, {"Parameters", "choice ?"}, PurgeBoth, reply);
  device.join();
  EXPECT_EQ(reply, "Main menu\r\nYour choice ?");
  EXPECT_LT(MsSince(t0), SilenceGapMs(&port)) << "ended on the expected text, not on silence";
}

TEST_F(ExchangeTest, emptyExpectedTextShouldNeverMatch) {
  const auto t0 = Clock::now();
  SendAndExpect(&port, "8\r", 100, "", PurgeBoth, reply);
  EXPECT_EQ(pty.Receive(2), "8\r");
  EXPECT_GE(MsSince(t0), 100);
  EXPECT_EQ(reply, "");
}

TEST_F(ExchangeTest, collectShouldEndOnSilenceNotOnTheFirstAnswerTimeout) {
  port.SetBaudRate(br1200);  // a window of most of a second: a busy machine's pause stays inside it
  std::thread device([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    pty.Send("part one ");
    std::this_thread::sleep_for(std::chrono::milliseconds(40));  // shorter than the window
    pty.Send("part two");
  });
  const auto t0 = Clock::now();
  SendAndCollect(&port, "", 10000, nullptr, NoPurge, reply);
  const long took = MsSince(t0);
  device.join();
  EXPECT_EQ(reply, "part one part two") << "pieces inside the window make one reply";
  EXPECT_GE(took, 50 + SilenceGapMs(&port) - 5);
  EXPECT_LT(took, 10000) << "the first-answer time-out no longer counts once bytes came";
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
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    pty.Send("b\r\nNext (x) ? ");
  });
  SendAndExpect(&port, "a?b\r", 1000, "?", PurgeBoth, reply);
  device.join();
  EXPECT_NE(reply.find("Next (x) ?"), std::string::npos) << reply;
}

TEST_F(ExchangeTest, collectWithLineIncompleteShouldReturnOnCr) {
  port.SetBaudRate(br300);
  pty.Send("*** basic parameters\r");
  const auto t0 = Clock::now();
  SendAndCollect(&port, "", 1000, LineIncomplete, NoPurge, reply);
  EXPECT_EQ(reply, "*** basic parameters\r");
  EXPECT_LT(MsSince(t0), SilenceGapMs(&port)) << "ended on the line end, not on silence";
}

TEST_F(ExchangeTest, laterPieceShouldWaitForTheNextExchangeUnlessPurged) {
  std::thread device([&] {
    pty.Send("first");
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    pty.Send("second");
  });
  SendAndExpectAny(&port, "", 100, {"never"}, NoPurge, reply);
  EXPECT_EQ(reply, "first");
  device.join();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  SendAndExpectAny(&port, "", 100, {"second"}, NoPurge, reply);
  EXPECT_EQ(reply, "second");

  pty.Send("junk");
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  SendAndExpectAny(&port, "", 100, {"x"}, PurgeBoth, reply);
  EXPECT_EQ(reply, "") << "the purge threw away what was waiting";
}

TEST_F(ExchangeTest, endlessChatterShouldNotHoldTheCallerBeyondTheBound) {
  // A peer that never falls silent: the exchange ends at the byte bound.
  std::atomic<bool> stop{false};
  std::thread device([&] {
    const std::string chunk(4096, 'z');
    while (!stop) {
      if (::write(pty.Master(), chunk.data(), chunk.size()) <= 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  const auto t0 = Clock::now();
  SendAndCollect(&port, "", 100, nullptr, NoPurge, reply);
  stop = true;
  device.join();
  EXPECT_GE(reply.size(), ExchangeMaxBytes);
  EXPECT_LT(MsSince(t0), ExchangeMaxMs + 2000);
}
