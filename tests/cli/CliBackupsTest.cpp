// The backup kept before every write, and undo, against simulated units on pseudo-terminals.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "CliRun.h"
#include "SimModel.h"
#include "SimProcess.h"
#include "SimStates.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* UnitA = "02-00-00-8F-1C-2E";  // the simulator's own address

class Backups : public CliOnSim {
 protected:
  std::string UnitFolder(const std::string& mac = UnitA) const { return dir.StateHome() + "/kavrune/backups/" + mac; }
  std::vector<std::string> Kept(const std::string& mac = UnitA) const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& f : fs::directory_iterator(UnitFolder(mac), ec)) names.push_back(f.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

}  // namespace

TEST_F(Backups, aWriteShouldKeepTheSettingsBeforeItPrivatelyAndPruneTheOldest) {
  SimProcess sim(5, State(), {"--unpaced"});
  ASSERT_TRUE(sim.Ready());
  // Twenty backups of earlier days: the newest write makes twenty-one, and the oldest goes.
  fs::create_directories(UnitFolder());
  for (int day = 10; day < 30; ++day)
    std::ofstream(UnitFolder() + "/202001" + std::to_string(day) + "T080000.000Z.xml");
  ProgramResult r = RunCli({"set", "--port", "COM5", "--quiet", "Channel_1.Baudrate=57600"});
  ASSERT_EQ(r.rc, 0) << r.err;
  std::vector<std::string> kept = Kept();
  ASSERT_EQ(kept.size(), 20u);
  EXPECT_EQ(kept.front(), "20200111T080000.000Z.xml");
  const std::string newest = UnitFolder() + "/" + kept.back();
  EXPECT_NE(Slurp(newest).find("<Baudrate>9600</Baudrate>"), std::string::npos) << "the state before the write";
#ifndef _WIN32
  EXPECT_EQ(fs::status(newest).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(fs::status(UnitFolder()).permissions() & fs::perms::all, fs::perms::owner_all);
#endif

  // Nothing to write, no backup; and the list names the newest last.
  r = RunCli({"set", "--port", "COM5", "--quiet", "Channel_1.Baudrate=57600"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(Kept(), kept);
  r = RunCli({"backups", "--mac", "02:00:00:8f:1c:2e"});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 20) << r.out;
  EXPECT_NE(r.out.find(std::string(UnitA) + "\t2020-01-11 08:00:00 UTC\t"), std::string::npos) << r.out;
  std::erase(r.out, '\r');
  EXPECT_TRUE(r.out.ends_with(kept.back() + "\n")) << r.out;
}

TEST_F(Backups, undoShouldRestoreThePreviousStateAndASecondUndoTheWriteItTookBack) {
  SimProcess sim(5, State(), {"--unpaced"});
  ASSERT_TRUE(sim.Ready());
  const std::string before = dir.Path() + "/before.xml", after = dir.Path() + "/after.xml";
  ASSERT_EQ(RunCli({"read", "--port", "COM5", "--quiet", "-o", before}).rc, 0);
  ProgramResult r = RunCli({"set", "--port", "COM5", "--quiet", "Channel_1.Baudrate=57600", "Expert.MTU_Size=1200"});
  ASSERT_EQ(r.rc, 0) << r.err;

  // Both name the backup and its time; the dry run prints the changes, undo says them first.
  const std::string backup = fs::path(dir.Backups().at(0)).filename().string();
  r = RunCli({"undo", "--port", "COM5", "--dry-run"});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(r.out.find("Channel_1.Baudrate: 57600 -> 9600"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("undo would restore the settings the unit " + std::string(UnitA)), std::string::npos) << r.err;
  r = RunCli({"undo", "--port", "COM5", "-o", after});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(RunCli({"diff", before, after}).rc, 0) << "back where it was";
  const size_t named = r.err.find(backup), changes = r.err.find("Channel_1.Baudrate: 57600 -> 9600"),
               written = r.err.find("written and confirmed");
  EXPECT_TRUE(named < changes && changes < written) << r.err;
  EXPECT_EQ(r.err.find("Passwords and keys"), std::string::npos) << "a baud rate and an MTU touch none: " << r.err;
  EXPECT_NE(r.err.find(" UTC in "), std::string::npos) << r.err;

  ASSERT_EQ(RunCli({"undo", "--port", "COM5", "--quiet"}).rc, 0);
  EXPECT_EQ(LoadState(State()).Get("Channel_1", "Baudrate"), "57600");
  EXPECT_EQ(LoadState(State()).Get("Expert", "MTU_Size"), "1200");
}

TEST_F(Backups, undoShouldRefuseAnotherUnitOnThePortAndNameBothAddresses) {
  {
    SimProcess a(5, State(), {"--unpaced"});
    ASSERT_TRUE(a.Ready());
    ASSERT_EQ(RunCli({"set", "--port", "COM5", "--quiet", "Channel_1.Baudrate=57600"}).rc, 0);
  }
  // Another unit on the same port, one that spells its address with dashes.
  const std::string other = dir.Path() + "/other.txt";
  SimProcess b(5, other, {"--unpaced", "--variant", "field", "--mac", "02-00-00-00-00-0B"});
  ASSERT_TRUE(b.Ready());
  ProgramResult r = RunCli({"undo", "--port", "COM5"});
  EXPECT_EQ(r.rc, 5) << r.err;
  EXPECT_NE(r.err.find("02-00-00-00-00-0B"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(UnitA), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(other)) << "nothing stored";

  // Once that unit was written itself, a unit that never was still has nothing to undo.
  ASSERT_EQ(RunCli({"set", "--port", "COM5", "--quiet", "Channel_1.Baudrate=38400"}).rc, 0);
  r = RunCli({"undo", "--port", "COM5", "--quiet"});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(Kept("02-00-00-00-00-0B").size(), 2u) << "its own write and the undo's";
}

TEST_F(Backups, aBackupThatCannotBeKeptShouldStopTheWriteBeforeAnythingIsSent) {
  const std::string log = dir.Path() + "/sim.log";
  SimProcess sim(5, State(), {"--unpaced", "--log", SimProcess::UnixPath(log)});
  ASSERT_TRUE(sim.Ready());
  fs::create_directories(dir.StateHome() + "/kavrune");
  std::ofstream(dir.StateHome() + "/kavrune/backups") << "a file where the folder belongs";
  for (const std::vector<std::string>& write :
       {std::vector<std::string>{"set", "Channel_1.Baudrate=57600"}, std::vector<std::string>{"defaults", "--store"}}) {
    std::vector<std::string> args = write;
    args.insert(args.begin() + 1, {"--port", "COM5", "--quiet"});
    const ProgramResult r = RunCli(args);
    EXPECT_EQ(r.rc, 5) << r.err;
    EXPECT_NE(r.err.find("cannot create the backup folder"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing was sent"), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(State())) << "the device never stored";
  EXPECT_EQ(Slurp(log).find("-- menu "), std::string::npos) << "no menu was entered";
  EXPECT_EQ(Slurp(log).find("-- defaults"), std::string::npos);
}
