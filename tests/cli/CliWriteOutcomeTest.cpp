// The two outcomes of a write, as the command line tool reports them: stored and said so, or
// nothing stored and said so; and every setting asked for accounted for.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "SimModel.h"
#include "SimProcess.h"
#include "TestPlatform.h"

namespace {

class WriteOutcome : public ::testing::Test {
 protected:
  std::string State() const { return dir.Path() + "/state.txt"; }
  ProgramResult Cli(const std::vector<std::string>& args, const std::string& input = {}) {
    TempDir scratch;
    return RunProgram(KAVRUNE_CLI_PATH, args, scratch.Path(), input);
  }
  TempComDir dir;
};

}  // namespace

// Only the device's own words count as stored; a device that answers "9" otherwise stored nothing.
TEST_F(WriteOutcome, aStoreTheDeviceDoesNotConfirmShouldBeReportedAsNotStored) {
  SaveState(SimDefaults(), State());
  SimProcess sim(4, State(), {"--unpaced", "--fault", "store-unconfirmed"});
  ASSERT_TRUE(sim.Ready());
  const ProgramResult r = Cli({"set", "--port", "COM4", "--quiet", "Expert.MTU_Size=1200"});
  EXPECT_EQ(r.rc, 4) << r.err;
  EXPECT_NE(r.err.find("did not confirm that it stored"), std::string::npos) << r.err;
  EXPECT_EQ(LoadState(State()).Get("Expert", "MTU_Size"), "1400");
  EXPECT_EQ(dir.Backups(), std::vector<std::string>()) << "no backup of a write that stored nothing";
}

// Units of the family confirm in their own letter case and words: a store all the same, checked,
// and the backup taken before it kept for undo.
TEST_F(WriteOutcome, aStoreConfirmedInCapitalsShouldBeCheckedAndKeepItsBackup) {
  SaveState(SimDefaults(), State());
  SimProcess sim(4, State(), {"--unpaced", "--stored-text", "PARAMETERS STORED"});
  ASSERT_TRUE(sim.Ready());
  const ProgramResult r = Cli({"set", "--port", "COM4", "Expert.MTU_Size=1200"});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(r.err.find("1 setting written and confirmed"), std::string::npos) << r.err;
  EXPECT_EQ(LoadState(State()).Get("Expert", "MTU_Size"), "1200");
  EXPECT_EQ(dir.Backups().size(), 1u) << "stored: undo may take it back";
}

// A file that cannot be written is found out before the device is touched, not after it stored.
TEST_F(WriteOutcome, anOutputThatCannotBeWrittenShouldStopTheApplyBeforeTheDevice) {
  SaveState(SimDefaults(), State());
  SimProcess sim(4, State(), {"--unpaced", "--log", SimProcess::UnixPath(dir.Path() + "/sim.log")});
  ASSERT_TRUE(sim.Ready());
  const ProgramResult r = Cli({"set", "--port", "COM4", "--quiet", "-o", dir.Path(), "Expert.MTU_Size=1200"});
  EXPECT_EQ(r.rc, 5) << r.err;
  EXPECT_EQ(LoadState(State()).Get("Expert", "MTU_Size"), "1400");
  EXPECT_EQ(Slurp(dir.Path() + "/sim.log").find("store"), std::string::npos) << "the device was never written";
}

// A field unit asks for the address table in UDP mode whatever the datagram type: it is written
// and confirmed. A password the device does not ask for in its mode is named, never "confirmed".
TEST_F(WriteOutcome, everySettingAskedForShouldBeWrittenOrNamedAsNotAsked) {
  TSimSettings state = SimDefaults();
  state.Set("Channel_2", "ConnectMode", "CC");  // UDP
  state.Set("Channel_2", "Datagram_Type", "1");
  SaveState(state, State());
  SimProcess sim(4, State(), {"--unpaced", "--variant", "field"});
  ASSERT_TRUE(sim.Ready());
  const std::string table = dir.Path() + "/table.xml";
  std::ofstream(table) << "<xml><Channel_2><Change_address_table>1 2 3</Change_address_table></Channel_2></xml>";
  ProgramResult r = Cli({"apply", "--port", "COM4", "--quiet", table});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(LoadState(State()).Get("Channel_2", "Change_address_table"), "1 2 3 0 0 0 0 0 0 0 0 0 0 0 0 0");

  r = Cli({"set", "--port", "COM4", "Channel_1.Password=Zebra42"});
  EXPECT_EQ(r.rc, 6) << r.err;
  EXPECT_NE(r.err.find("did not ask for"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("channel 1 connection password (connect mode C0, disconnect mode 00)"), std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("confirmed"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Zebra42"), std::string::npos) << "no secret in a message";
  // What was confirmed beside it is a result, not an error.
  r = Cli({"set", "--port", "COM4", "Expert.MTU_Size=1000", "Channel_1.Password=Zebra42"});
  EXPECT_EQ(r.rc, 6) << r.err;
  EXPECT_NE(r.err.find("\n1 setting written and confirmed."), std::string::npos) << r.err;
}

// A unit that takes an Enter pressed into its banner and keys typed while it prints: the tool
// wakes it with one printout and answers only where it waits, so it never types while the
// device prints, and the device stores exactly what was asked.
TEST_F(WriteOutcome, aDeviceThatTakesEveryKeyShouldBeWokenOnceAndNeverTypedInto) {
  SaveState(SimDefaults(), State());
  const std::string log = SimProcess::UnixPath(dir.Path() + "/sim.log");
  SimProcess sim(4, State(), {"--takes-early-enter", "--type-ahead", "--boot-window-ms", "300", "--log", log});
  ASSERT_TRUE(sim.Ready());
  const ProgramResult r =
      Cli({"set", "--port", "COM4", "--quiet", "Channel_1.Baudrate=57600", "basic_parameters.IP_Address=10.9.9.9"});
  EXPECT_EQ(r.rc, 0) << r.err;
  TSimSettings expected = SimDefaults();
  expected.Set("Channel_1", "Baudrate", "57600");
  expected.Set("basic_parameters", "IP_Address", "10.9.9.9");
  EXPECT_EQ(LoadState(State()).Sections, expected.Sections);
  const std::string events = Slurp(dir.Path() + "/sim.log");
  EXPECT_EQ(events.find("key while printing"), std::string::npos) << events;
}

// Scripts decide "changed" from the JSON alone: a dry run says what would change and writes
// nothing, a write names what it changed with passwords masked, and a repeat changes nothing.
TEST_F(WriteOutcome, jsonShouldTellScriptsWhatChangedWithoutAPassword) {
  SaveState(SimDefaults(), State());
  SimProcess sim(4, State(), {"--unpaced"});
  ASSERT_TRUE(sim.Ready());
  ProgramResult r = Cli({"set", "--port", "COM4", "--quiet", "--dry-run", "--format", "json",
                         "Channel_1.Baudrate=57600", "Channel_1.Password=Zebra43"});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(r.out.find("\"dry_run\": true,\n  \"status\": 0,\n  \"changed\": true"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"from\": 9600,\n          \"to\": 57600"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"not_asked\": [\n        \"Channel_1.Password\"\n      ]"), std::string::npos) << r.out;
  EXPECT_EQ(LoadState(State()), SimDefaults());

  r = Cli({"set", "--port", "COM4", "--quiet", "--format", "json", "Channel_1.Baudrate=57600",
           "basic_parameters.Enter_new_Password=Zebra42", "Channel_1.DisConnMode=10", "Channel_1.Password=Zebra43"});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(r.out.find("\"status\": 0,\n  \"changed\": true"), std::string::npos) << r.out;
  for (const char* secret : {"Channel_1.Password", "basic_parameters.Enter_new_Password"})
    EXPECT_NE(r.out.find(std::string("\"") + secret +
                         "\",\n          \"from\": \"********\",\n          \"to\": \"********\""),
              std::string::npos)
        << secret << " masked:\n"
        << r.out;
  EXPECT_EQ((r.out + r.err).find("Zebra"), std::string::npos) << "no password in the output";
  EXPECT_EQ(LoadState(State()).Get("Channel_1", "Password"), "Zebra43");

  r = Cli({"set", "--port", "COM4", "--quiet", "--format", "json", "Channel_1.Baudrate=57600"});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(r.out.find("\"changed\": false"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"diff\": []"), std::string::npos) << r.out;
}

// A unit that stores and is never heard of again, here with the time limit running out before
// the restart limit: the settings are on it but unchecked. The status says so, and the JSON and the run record say that it changed,
// so that a script neither writes it again blindly nor takes it for untouched.
TEST_F(WriteOutcome, aStoreTheDeviceNeverComesBackFromShouldBeReportedAsStoredButNotChecked) {
  SaveState(SimDefaults(), State());
  SimProcess sim(4, State(), {"--unpaced", "--fault", "no-return"});
  ASSERT_TRUE(sim.Ready());
  const std::string report = dir.Path() + "/run.jsonl";
  const ProgramResult r = Cli({"set", "--port", "COM4", "--quiet", "--timeout", "6", "--format", "json", "--report",
                               report, "Expert.MTU_Size=1000"});
  EXPECT_EQ(r.rc, 9) << r.err;
  EXPECT_EQ(LoadState(State()).Get("Expert", "MTU_Size"), "1000");
  EXPECT_NE(r.out.find("\"status\": 9,\n  \"changed\": true"), std::string::npos) << r.out;
  EXPECT_NE(Slurp(report).find("\"outcome\":\"stored not checked\""), std::string::npos) << Slurp(report);
  EXPECT_EQ(dir.Backups().size(), 1u) << "stored: undo may take it back";
}

// Passwords given on standard input (set -) show nowhere: not on stdout or stderr in either
// format, dry run or not, nor in the run record, the transcript, or a refusal of a bad one.
TEST_F(WriteOutcome, secretsShouldShowInNoOutputRecordOrLog) {
  SaveState(SimDefaults(), State());
  SimProcess sim(4, State(), {"--unpaced"});
  ASSERT_TRUE(sim.Ready());
  const std::string secrets = "Channel_1.Password=Zebra42secret\nbasic_parameters.Enter_new_Password=Tiger77secret\n";
  const std::string report = dir.Path() + "/run.jsonl", log = dir.Path() + "/dialogue.log";
  for (const bool dry : {true, false})
    for (const char* format : {"text", "json"}) {
      std::vector<std::string> args{"set",      "--port", "COM4",  "--format", format,
                                    "--report", report,   "--log", log,        "Channel_1.DisConnMode=10",
                                    "-"};
      if (dry) args.push_back("--dry-run");
      const ProgramResult r = Cli(args, secrets);
      const std::string seen = r.out + r.err + Slurp(report) + Slurp(log);
      EXPECT_EQ(r.rc, 0) << r.err;
      EXPECT_NE(seen.find("Channel_1.Password"), std::string::npos) << "named, without its value:\n" << seen;
      EXPECT_EQ(seen.find("Zebra42"), std::string::npos) << format << (dry ? " dry run:\n" : ":\n") << seen;
      EXPECT_EQ(seen.find("Tiger77"), std::string::npos) << format << (dry ? " dry run:\n" : ":\n") << seen;
    }
  EXPECT_EQ(LoadState(State()).Get("Channel_1", "Password"), "Zebra42secret");

  // Too long to be taken, or under a misspelt name: refused, and not repeated.
  for (const std::string& wrong : {std::string("Channel_1.Password=Zebra42secret-much-too-long-for-it"),
                                   std::string("Channel_1.Pasword=Zebra42x")}) {
    const ProgramResult r = Cli({"set", "--port", "COM4", "-"}, wrong + "\n");
    EXPECT_NE(r.rc, 0);
    EXPECT_EQ((r.out + r.err).find("Zebra42"), std::string::npos) << r.err;
  }
}
