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
    // What the port has read so far, so the peer can answer in steps of the exchange, and
    // what it was handed to send.
    port.OnTrace = [this](bool sent, const std::string& bytes) {
      std::lock_guard g(lock);
      (sent ? typed : heard) += bytes;
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
  std::string Typed() {
    std::lock_guard g(lock);
    return typed;
  }
  void TearDown() override {
    stop = true;
    if (chatter.joinable()) chatter.join();
  }
  TempComDir dir;
  PtyPair pty{&dir, 1};
  TAfComPort port;
  std::mutex lock;
  std::condition_variable changed;
  std::string heard, typed;
  std::atomic<bool> stop{false};
  std::thread chatter;
};

}  // namespace

TEST(Exchange, charTimeShouldFollowTheBaudRate) {
  TAfComPort port;
  port.SetBaudRate(br9600);
  EXPECT_NEAR(CharTime(&port), 1.0417, 0.0001);
  EXPECT_EQ(SilenceGapMs(&port), 105);
  port.SetUserBaudRate(1000);
  EXPECT_DOUBLE_EQ(CharTime(&port), 10.0);
  port.SetBaudRate(br115200);
  EXPECT_EQ(SilenceGapMs(&port), SilenceFloorMs) << "never below what USB adapters need";
}

TEST(Exchange, closedPortShouldReturnWithNothing) {
  TAfComPort port;
  const TPromptReply r = SendAndAwaitPrompt(&port, "8\r", TPromptWait{});
  EXPECT_EQ(r.Text, "");
  EXPECT_FALSE(r.AtPrompt);
  EXPECT_EQ(r.FirstByteMs, -1);
  EXPECT_EQ(SendAndAwaitPrompt(nullptr, "x", TPromptWait{}).Text, "");
}

// On a line that never falls silent only the caller or the exchange's bounds can end it.
TEST_F(ExchangeTest, shouldStopWhereTheCallerSaysOnALineThatNeverFallsSilent) {
  Chatter("8\r\n", "Main menu\r\nYour choice ?");
  TPromptWait wait;
  wait.FirstAnswerMs = 2000;
  wait.KeepWaiting = [](const std::string& text) { return text.find("choice ?") == std::string::npos; };
  TPromptReply r = SendAndAwaitPrompt(&port, "8\r\n", wait);
  EXPECT_EQ(r.Text.rfind("Main menu\r\nYour choice ?", 0), 0u) << r.Text.substr(0, 40);
  EXPECT_LT(r.Text.size(), ExchangeMaxBytes) << "ended where the caller said, not on the bound";
  EXPECT_FALSE(r.AtPrompt);
  r = SendAndAwaitPrompt(&port, "", TPromptWait{});
  EXPECT_GE(r.Text.size(), ExchangeMaxBytes) << "the byte bound ends it";
  EXPECT_FALSE(r.AtPrompt);
}

TEST_F(ExchangeTest, piecesThatComeBeforeTheLineFallsSilentShouldMakeOneReply) {
  // At 600 baud the line falls silent only after 1.7 s, far more than the peer takes to answer.
  port.Close();
  port.SetBaudRate(br600);
  port.Open();
  std::thread device([&] {
    pty.Send("part one ");
    if (WaitHeard("part one ")) pty.Send("part two");
  });
  const TPromptReply r = SendAndAwaitPrompt(&port, "", TPromptWait{});
  device.join();
  EXPECT_EQ(r.Text, "part one part two");
  EXPECT_FALSE(r.AtPrompt);
}

TEST_F(ExchangeTest, aByteWaitingBeforeTheKeysShouldKeepThemFromBeingTyped) {
  pty.Send("late");
  ASSERT_TRUE(port.WaitForInput(10000));
  TPromptWait wait;
  wait.FirstAnswerMs = 100;
  TPromptReply r = SendAndAwaitPrompt(&port, "1\r", wait);
  EXPECT_TRUE(r.NotTyped);
  EXPECT_EQ(r.Text, "late") << "what came is the caller's to see, not thrown away";
  EXPECT_EQ(Typed(), "") << "a device that talks is not waiting for keys";
  r = SendAndAwaitPrompt(&port, "1\r", wait);
  EXPECT_FALSE(r.NotTyped);
  EXPECT_EQ(pty.Receive(2), "1\r");
}

TEST(Exchange, deviceEchoShouldBeSkippedWithALoopedBackCopy) {
  EXPECT_EQ(DeviceEchoEnd("a?b\r\nNext ? ", "a?b\r"), 3u) << "the device echoes no line end";
  EXPECT_EQ(DeviceEchoEnd("aa??bb\r\r\nNext ? ", "a?b\r"), 7u) << "a looped back copy interleaved";
  EXPECT_EQ(DeviceEchoEnd("10\r10\r\nNext ? ", "10\r"), 5u) << "the copy whole before the device's echo";
  EXPECT_EQ(DeviceEchoEnd("10\r19\r\nNext ? ", "10\r", true), std::string::npos) << "the copy alone is no echo";
  EXPECT_EQ(DeviceEchoEnd("Y\r\nNext ? ", "y\r"), 1u) << "a letter answer in upper case";
  EXPECT_EQ(DeviceEchoEnd("***\r\nNext ? ", "k?y\r"), 3u) << "a hidden entry";
  EXPECT_EQ(DeviceEchoEnd("\r\nYour choice ? ", "9\r"), std::string::npos) << "no echo at all";
  EXPECT_EQ(DeviceEchoEnd("a?", "a?b\r"), std::string::npos) << "only part of it";
  EXPECT_EQ(DeviceEchoEnd("a?", ""), 0u);
}
