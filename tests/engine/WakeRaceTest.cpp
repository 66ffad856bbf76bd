// Waking a unit whose first printout and the tool's first key cross on the line, and giving up
// while the unit prints: in each case the unit enters Setup Mode once, is never typed into
// while it prints, and stores nothing. Paced at 9600 baud; every wait is on an event.

#include <gtest/gtest.h>

#include <atomic>

#include "InProcessSim.h"
#include "uKaVruneSession.h"
#include "uXmlUtils.h"

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

// The adapter hands the last byte of the offer's line end over late, after the unit took the
// Enter, and the unit takes its time before its dump: the Enter looks unanswered. It is not
// typed again while the unit may yet answer; where the unit is slower than that, its second
// dump, answering the second Enter late, is read before the walk types into the root menu.
TEST(WakeRace, anOfferWhoseLineEndComesLateShouldBeAnsweredOnceAndASecondDumpAwaited) {
  for (TSimOfferEnd end : {TSimOfferEnd::CrLf, TSimOfferEnd::LfCr}) {
    for (int setupMs : {150, 400}) {
      SCOPED_TRACE(std::to_string(setupMs) + (end == TSimOfferEnd::CrLf ? " ms, CR LF" : " ms, LF CR"));
      InProcessSimOptions o = Paced();
      o.TypeAhead = true;
      o.Profile.OfferEnd = end;
      o.Profile.LineEnd = end == TSimOfferEnd::CrLf ? "\r\n" : "\n\r";
      o.Profile.AdapterHoldMs = 40;
      o.Profile.SetupDelayMs = setupMs;
      InProcessSim device(kCom, o);
      TKaVruneSession session;
      ASSERT_TRUE(session.Open(kCom));
      ASSERT_TRUE(session.WaitForDevice(TClock::now() + 30s).Ok()) << device.Transcript();
      if (setupMs < 200) {
        EXPECT_EQ(device.Count("key while printing"), 0u) << device.Transcript();
      }
      PXmlDocument edit = TXmlDocument::CreateFromText("<xml><Expert><MTU_Size>1200</MTU_Size></Expert></xml>");
      EXPECT_TRUE(session.Apply(edit->Root(), TClock::now() + 60s).Ok()) << device.Transcript();
      EXPECT_EQ(device.Count("store"), 1u) << device.Transcript();
    }
  }
}
