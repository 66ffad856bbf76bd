// Units of the family that print otherwise than our simulator does by default: the tool goes by
// what each unit prints, and a write ends stored and confirmed, nothing stored, or stored and
// not checked, each said so.

#include <gtest/gtest.h>

#include "CliRun.h"
#include "InProcessSim.h"

namespace {

using namespace std::chrono_literals;

class FamilyUnit : public CliOnSim {
 protected:
  static InProcessSimOptions Unit(TSimProfile profile, TSimFault fault = TSimFault::None) {
    InProcessSimOptions o;
    o.Profile = profile;
    o.Fault = fault;
    // A short offer: a tool that does not answer it at once misses the unit's restart.
    o.BootWindow = 1000ms;
    return o;
  }
  static bool Says(const ProgramResult& r, const std::string& words) {
    return r.err.find(words) != std::string::npos;
  }
};

}  // namespace

TEST_F(FamilyUnit, shouldCatchTheRestartAfterAStoreWhateverLineEndFollowsTheOffer) {
  for (TSimOfferEnd end : {TSimOfferEnd::None, TSimOfferEnd::CrLf, TSimOfferEnd::LfCr}) {
    TSimProfile profile;
    profile.OfferEnd = end;
    InProcessSim sim(4, Unit(profile));
    const ProgramResult r = RunCli({"set", "--port", "COM4", "Expert.MTU_Size=1200", "Channel_1.Baudrate=19200"});
    EXPECT_EQ(r.rc, 0) << "offer end " << static_cast<int>(end) << "\n" << r.err;
    EXPECT_TRUE(Says(r, "2 settings written and confirmed")) << r.err;
    EXPECT_EQ(sim.Stored().Get("Expert", "MTU_Size"), "1200");
  }
}

// A unit that restarts at once prints its banner and offer in the same burst as its store's
// confirmation, and keeps the offer open only briefly: the tool answers the offer it read along
// with the confirmation, at once, and checks the store.
TEST_F(FamilyUnit, aUnitThatRestartsAtOnceAfterStoringShouldBeCaughtAndChecked) {
  TSimProfile profile;
  profile.RestartDelayMs = 0;
  profile.OfferWindowMs = 300;
  InProcessSim sim(4, Unit(profile));
  const ProgramResult r = RunCli({"set", "--port", "COM4", "Expert.MTU_Size=1200", "Channel_1.Baudrate=19200"});
  EXPECT_EQ(r.rc, 0) << r.err << "\n" << sim.Transcript();
  EXPECT_TRUE(Says(r, "2 settings written and confirmed")) << r.err;
  EXPECT_EQ(sim.Count("offer closed"), 0u) << sim.Transcript();
  EXPECT_EQ(sim.Stored().Get("Expert", "MTU_Size"), "1200");
}

TEST_F(FamilyUnit, aUnitThatStoresAndDoesNotComeBackShouldBeStoredNotCheckedWithinTheRestartLimit) {
  InProcessSim sim(4, Unit({}, TSimFault::NoReturn));
  const ProgramResult r =
      RunCli({"set", "--port", "COM4", "--restart-limit", "2", "--timeout", "120", "Expert.MTU_Size=1200"});
  EXPECT_EQ(r.rc, 9) << r.err;
  EXPECT_TRUE(Says(r, "stored, not checked: the unit did not come back after storing")) << r.err;
  EXPECT_FALSE(Says(r, "did not answer")) << r.err;
  EXPECT_EQ(sim.Stored().Get("Expert", "MTU_Size"), "1200");
}

// Once it stored, a unit that comes back and then takes no Enter at its offer is checked no
// longer than the restart limit allows each stage: stored, not checked, never the whole time limit.
TEST_F(FamilyUnit, aUnitThatComesBackAndTakesNoEnterShouldBeStoredNotCheckedWithinTheRestartLimit) {
  InProcessSim sim(4, Unit({}));
  sim.OnEvent([&](const std::string& e) {
    if (e == "store") sim.With([](TSimDevice& d) { d.SetFault(TSimFault::NoMenu); });
  });
  const ProgramResult r =
      RunCli({"set", "--port", "COM4", "--restart-limit", "2", "--timeout", "40", "Expert.MTU_Size=1200"});
  EXPECT_EQ(r.rc, 9) << r.err;
  EXPECT_TRUE(Says(r, "stored, not checked")) << r.err;
  EXPECT_FALSE(Says(r, "time limit")) << r.err;
  EXPECT_EQ(sim.Count("power-on"), 2u) << "it came back\n" << sim.Transcript();
  EXPECT_EQ(sim.Stored().Get("Expert", "MTU_Size"), "1200");
}

// Its banner shows the restart inside a menu, whether its offer follows at once or only after
// the answer is no longer awaited.
TEST_F(FamilyUnit, aUnitThatRestartsInAMenuShouldStoreNothingAndSaySo) {
  for (int offerDelayMs : {0, 1500}) {
    TSimProfile profile;
    profile.OfferDelayMs = offerDelayMs;
    InProcessSim sim(4, Unit(profile, TSimFault::RestartInWalk));
    const ProgramResult r = RunCli({"set", "--port", "COM4", "Expert.MTU_Size=1200", "Channel_1.Baudrate=19200"});
    EXPECT_EQ(r.rc, 4) << "offer delay " << offerDelayMs << "\n" << r.err;
    EXPECT_TRUE(Says(r, "unit restarted while it was being written (power or cable?); nothing was stored"))
        << "offer delay " << offerDelayMs << "\n"
        << r.err;
    EXPECT_EQ(sim.Count("store"), 0u);
    EXPECT_EQ(sim.Stored().Get("Expert", "MTU_Size"), "1400");
  }
}

TEST_F(FamilyUnit, aUnitWithoutAMenuShouldGetTheRestAndNameWhatItHasNoMenuFor) {
  TSimProfile profile;
  profile.Wlan = false;
  InProcessSim sim(4, Unit(profile));
  const std::string file =
      File("golden.xml", "<xml><Expert><MTU_Size>1200</MTU_Size></Expert>"
                         "<WLAN><Network_name>plant</Network_name><Channel>6</Channel></WLAN></xml>");
  const std::string absent = "this unit has no WLAN menu: WLAN network name (SSID), WLAN channel";
  ProgramResult r = RunCli({"apply", "--port", "COM4", "--dry-run", file});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_TRUE(Says(r, absent + " would not be written")) << r.err;
  EXPECT_EQ(sim.Count("store"), 0u);

  r = RunCli({"apply", "--port", "COM4", file});
  EXPECT_EQ(r.rc, 6) << r.err;
  EXPECT_TRUE(Says(r, absent + " were not written")) << r.err;
  EXPECT_EQ(sim.Stored().Get("Expert", "MTU_Size"), "1200");
  EXPECT_EQ(sim.Count("menu WLAN"), 0u);
}

TEST_F(FamilyUnit, everyBannerFormShouldNameTheUnitInWhatIsRead) {
  for (TSimBanner banner : {TSimBanner::MacAddressLine, TSimBanner::Labelled, TSimBanner::ProductLine}) {
    TSimProfile profile;
    profile.Banner = banner;
    profile.AlternateMacInBanner = true;
    InProcessSim sim(4, Unit(profile));
    const ProgramResult r = RunCli({"read", "--port", "COM4", "--quiet", "--format", "json"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(r.out.find("\"MAC_address\": \"02-00-00-8F-1C-2E\""), std::string::npos)
        << "banner " << static_cast<int>(banner) << "\n" << r.out;
  }
}
