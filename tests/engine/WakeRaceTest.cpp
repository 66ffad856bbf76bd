// Waking a unit whose first printout and the tool's first key cross on the line, and giving up
// while the unit prints: in each case the unit enters Setup Mode once, is never typed into
// while it prints, and stores nothing. Paced at 9600 baud; every wait is on an event.

#include <gtest/gtest.h>

#include <atomic>

#include "InProcessSim.h"
#include "uKaVruneSession.h"

namespace {

using namespace std::chrono_literals;
using TClock = TKaVruneSession::Clock;
constexpr int kCom = 9;

InProcessSimOptions Paced(bool takesEarlyEnter = false) {
  InProcessSimOptions o;
  o.CharTime = 1042us;
  o.TakesEarlyEnter = takesEarlyEnter;
  return o;
}

}  // namespace

// The unit powers up as the port opens, but the line holds its banner back until the tool's
// first Enter, pressed into the silence, has come: the Enter lands inside the banner.
TEST(WakeRace, anEnterThatLandsInTheBannerShouldWakeTheUnitOnceWhetherItTakesItOrNot) {
  for (bool takes : {true, false}) {
    SCOPED_TRACE(takes ? "takes an early Enter" : "ignores an early Enter");
    InProcessSim device(kCom, Paced(takes));
    device.Line().Hold(true);
    TKaVruneSession session;
    ASSERT_TRUE(session.Open(kCom));
    ASSERT_TRUE(device.WaitReceived("\r"));
    device.Line().Hold(false);
    ASSERT_TRUE(session.WaitForDevice(TClock::now() + 30s).Ok()) << device.Transcript();
    EXPECT_EQ(device.Count("setup mode"), 1u) << device.Transcript();
    EXPECT_EQ(device.Count("key while printing"), 0u) << device.Transcript();
    // A unit that took the first Enter is given no second one.
    EXPECT_EQ(device.Received(), takes ? "\r" : "\r\r") << device.Transcript();
  }
}

// Ctrl-C while the first dump comes in: the dump is read to the root prompt, then "8".
TEST(WakeRace, aCallerThatGivesUpDuringTheFirstPrintoutShouldStillTakeTheUnitOutOfSetupMode) {
  InProcessSim device(kCom, Paced());
  std::atomic<bool> stop{false};
  TSessionObserver observer;
  observer.Progress = [&](const TWorkProgress& p) { stop = stop || (p.Step == TWorkStep::Reading && p.Done > 0); };
  TKaVruneSession session(observer);
  session.SetCancelFlag(&stop);
  ASSERT_TRUE(session.Open(kCom));
  EXPECT_EQ(session.WaitForDevice(TClock::now() + 30s).Status, TSessionStatus::Cancelled) << device.Transcript();
  ASSERT_TRUE(session.InSetupMode());
  EXPECT_TRUE(session.Leave(TClock::now() + 30s)) << device.Transcript();
  EXPECT_EQ(device.Count("exit without save"), 1u) << device.Transcript();
  EXPECT_EQ(device.Count("key while printing") + device.Count("store"), 0u) << device.Transcript();
  EXPECT_FALSE(session.InSetupMode());
}
