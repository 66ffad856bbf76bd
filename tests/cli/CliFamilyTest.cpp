// Units of the family that print otherwise than our simulator does by default: the tool goes by
// what each unit prints, and a write ends stored and confirmed, nothing stored, or stored and
// not checked, each said so.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <sstream>

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
  static bool Says(const ProgramResult& r, const std::string& words) { return r.err.find(words) != std::string::npos; }
  // The records of a .jsonl run report.
  static std::vector<nlohmann::json> Records(const std::string& path) {
    std::vector<nlohmann::json> records;
    std::istringstream lines(Slurp(path));
    for (std::string line; std::getline(lines, line);) records.push_back(nlohmann::json::parse(line));
    return records;
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
// with the confirmation, at once, and checks the store. One that starts warm prints no banner and
// its line pauses inside the offer, so that the store's answer ends in "Press Ent": the check
// reads the offer on from there.
TEST_F(FamilyUnit, aUnitThatRestartsAtOnceAfterStoringShouldBeCaughtAndChecked) {
  for (int warmPauseMs : {0, 1500}) {
    TSimProfile profile;
    profile.RestartDelayMs = 0;
    profile.OfferWindowMs = 300;
    profile.WarmRestartPauseMs = warmPauseMs;
    InProcessSim sim(4, Unit(profile));
    const ProgramResult r = RunCli({"set", "--port", "COM4", "Expert.MTU_Size=1200", "Channel_1.Baudrate=19200"});
    EXPECT_EQ(r.rc, 0) << "warm pause " << warmPauseMs << "\n" << r.err << "\n" << sim.Transcript();
    EXPECT_TRUE(Says(r, "2 settings written and confirmed")) << r.err;
    EXPECT_EQ(sim.Count("offer closed"), 0u) << sim.Transcript();
    EXPECT_EQ(sim.Count("warm restart"), warmPauseMs ? 1u : 0u) << sim.Transcript();
    EXPECT_EQ(sim.Stored().Get("Expert", "MTU_Size"), "1200");
  }
}

// The JSON on stdout and the run record say so as well: it changed, and it was not checked.
TEST_F(FamilyUnit, aUnitThatStoresAndDoesNotComeBackShouldBeStoredNotCheckedWithinTheRestartLimit) {
  InProcessSim sim(4, Unit({}, TSimFault::NoReturn));
  const std::string report = dir.Path() + "/run.jsonl";
  const ProgramResult r = RunCli({"set", "--port", "COM4", "--restart-limit", "2", "--timeout", "120", "--format",
                                  "json", "--report", report, "Expert.MTU_Size=1200"});
  EXPECT_EQ(r.rc, 9) << r.err;
  EXPECT_TRUE(Says(r, "stored, not checked: the unit did not come back after storing")) << r.err;
  EXPECT_FALSE(Says(r, "did not answer")) << r.err;
  EXPECT_EQ(sim.Stored().Get("Expert", "MTU_Size"), "1200");
  const auto json = nlohmann::json::parse(r.out);
  EXPECT_EQ(json["status"], 9) << r.out;
  EXPECT_EQ(json["changed"], true) << r.out;
  EXPECT_EQ(json["ports"][0]["status"], 9) << r.out;
  const auto records = Records(report);
  ASSERT_EQ(records.size(), 2u) << Slurp(report);
  EXPECT_EQ(records[0]["outcome"], "stored not checked") << records[0];
  EXPECT_EQ(records[0]["status"], 9) << records[0];
  EXPECT_EQ(records[1]["record"], "summary") << records[1];
  EXPECT_EQ(records[1]["stored_not_checked"], 1) << records[1];
  EXPECT_EQ(records[1]["status"], 9) << records[1];
}

// Ctrl-C once the unit has taken the store, while the tool waits for it to come back: the unit
// holds what was asked, so the status, stderr, the JSON and the run record say stored, not
// checked. The signal goes out as the unit takes the store key; the tool is then inside its
// store, which reads the confirmation before anything looks at the stop.
TEST_F(FamilyUnit, aStopAfterTheStoreShouldSayTheUnitStored) {
  InProcessSim sim(4, Unit({}, TSimFault::NoReturn));
  const std::string report = dir.Path() + "/run.jsonl", out = dir.Path() + "/cli.out", err = dir.Path() + "/cli.err";
  const pid_t cli = fork();
  if (cli == 0) {
    dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
    execl(KAVRUNE_CLI_PATH, KAVRUNE_CLI_PATH, "set", "--port", "COM4", "--restart-limit", "60", "--timeout", "120",
          "--format", "json", "--report", report.c_str(), "Expert.MTU_Size=1200", nullptr);
    _exit(127);
  }
  sim.OnEvent([cli](const std::string& event) {
    if (event == "store") ::kill(cli, SIGINT);
  });
  int status = 0;
  ::waitpid(cli, &status, 0);
  const std::string said = Slurp(err);
  ASSERT_EQ(sim.Count("store"), 1u) << said;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9) << status << "\n" << said;
  EXPECT_NE(said.find("The device had stored the settings already"), std::string::npos) << said;
  EXPECT_EQ(sim.Stored().Get("Expert", "MTU_Size"), "1200");
  const auto json = nlohmann::json::parse(Slurp(out));
  EXPECT_EQ(json["changed"], true) << json;
  EXPECT_EQ(json["status"], 9) << json;
  const auto records = Records(report);
  ASSERT_FALSE(records.empty()) << said;
  EXPECT_EQ(records[0]["outcome"], "stored not checked") << records[0];
  EXPECT_EQ(records[0]["status"], 9) << records[0];
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
  for (auto [banner, firmware] :
       {std::pair{TSimBanner::MacAddressLine, "V1.0.0.1"}, std::pair{TSimBanner::Labelled, "V1.0.0.1"},
        std::pair{TSimBanner::ProductLine, "V6.7.0.2 (091201)"}}) {
    TSimProfile profile;
    profile.Banner = banner;
    profile.AlternateMacInBanner = true;
    InProcessSim sim(4, Unit(profile));
    const ProgramResult r = RunCli({"read", "--port", "COM4", "--quiet", "--format", "json"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(r.out.find("\"MAC_address\": \"02-00-00-8F-1C-2E\""), std::string::npos)
        << "banner " << static_cast<int>(banner) << "\n"
        << r.out;
    // As the unit words it, without its label.
    EXPECT_NE(r.out.find("\"Firmware\": \"" + std::string(firmware) + "\""), std::string::npos)
        << "banner " << static_cast<int>(banner) << "\n"
        << r.out;
  }
}
