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

TEST_F(FamilyUnit, aUnitThatStoresAndDoesNotComeBackShouldBeStoredNotCheckedWithinTheRestartLimit) {
  InProcessSim sim(4, Unit({}, TSimFault::NoReturn));
  const ProgramResult r =
      RunCli({"set", "--port", "COM4", "--restart-limit", "2", "--timeout", "120", "Expert.MTU_Size=1200"});
  EXPECT_EQ(r.rc, 9) << r.err;
  EXPECT_TRUE(Says(r, "stored, not checked: the unit did not come back after storing")) << r.err;
  EXPECT_FALSE(Says(r, "did not answer")) << r.err;
  EXPECT_EQ(sim.Stored().Get("Expert", "MTU_Size"), "1200");
}

TEST_F(FamilyUnit, aUnitThatRestartsInAMenuShouldStoreNothingAndSaySo) {
  InProcessSim sim(4, Unit({}, TSimFault::RestartInWalk));
  const ProgramResult r = RunCli({"set", "--port", "COM4", "Expert.MTU_Size=1200", "Channel_1.Baudrate=19200"});
  EXPECT_EQ(r.rc, 4) << r.err;
  EXPECT_TRUE(Says(r, "unit restarted while it was being written (power or cable?); nothing was stored"))
      << r.err;
  EXPECT_EQ(sim.Count("store"), 0u);
  EXPECT_EQ(sim.Stored().Get("Expert", "MTU_Size"), "1400");
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
