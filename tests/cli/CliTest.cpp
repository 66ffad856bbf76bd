#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "AfComPort.h"
#include "SimModel.h"
#include "SimProcess.h"
#include "TestPlatform.h"
#include "Transcript.h"
#ifndef _WIN32
#include "PtyPair.h"
#endif

namespace {

// Runs the command line tool, which is a Windows program where the tests are.
ProgramResult RunCli(const std::vector<std::string>& args) {
  TempDir scratch;
  return RunProgram(KAVRUNE_CLI_PATH, args, scratch.Path());
}

class CliOnSim : public ::testing::Test {
 protected:
  std::string State() const { return dir.Path() + "/state.txt"; }
  std::string File(const std::string& name, const std::string& text) const {
    const std::string path = dir.Path() + "/" + name;
    std::ofstream(path) << text;
    return path;
  }
  TempComDir dir;
};

}  // namespace

TEST(Cli, usageErrorsShouldExitWithTwoAndSayWhy) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"frobnicate"}, {"read"}, {"read", "--port"}, {"read", "--port", "COM1", "--timeout", "0"},
           {"apply", "--port", "COM1"}, {"read", "--port", "COM1", "--bogus"}}) {
    const ProgramResult r = RunCli(args);
    EXPECT_EQ(r.rc, 2) << r.err;
    EXPECT_NE(r.err.find("Usage:"), std::string::npos);
  }
}

TEST(Cli, portErrorsShouldExitWithThreeAndTheComponentsMessage) {
  TempComDir dir;
  ProgramResult r = RunCli({"read", "--port", "COM9", "--timeout", "1"});
  EXPECT_EQ(r.rc, 3);
  EXPECT_NE(r.err.find("Invalid port number (COM9)"), std::string::npos) << r.err;

  const std::string plain = dir.Path() + "/plain.txt";
  std::ofstream(plain) << "not a port";
  r = RunCli({"read", "--port", plain, "--timeout", "1"});
  EXPECT_EQ(r.rc, 3);
  EXPECT_NE(r.err.find("is not a serial port"), std::string::npos) << r.err;

  // A port that another program holds.
  SimProcess sim(6, "");
  ASSERT_TRUE(sim.Ready());
  TAfComPort holder;
  holder.SetComNumber(6);
  holder.Open();
  r = RunCli({"read", "--port", "COM6", "--timeout", "1"});
  EXPECT_EQ(r.rc, 3);
  EXPECT_NE(r.err.find("Can't open device COM6"), std::string::npos) << r.err;
}

TEST(Cli, portsShouldListPublishedPortsWithTheirState) {
  TempComDir dir;
#ifdef _WIN32
  SimProcess sim(4, "");
  ASSERT_TRUE(sim.Ready());
  const std::string expected = "COM 4\t" + dir.Link(4) + "\tfree";
#else
  PtyPair a(&dir, 4);
  const std::string expected = "COM 4\t" + dir.Link(4) + " -> " + a.SlavePath() + "\tfree";
#endif
  const ProgramResult r = RunCli({"ports"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_NE(r.out.find(expected), std::string::npos) << r.out;
}

TEST_F(CliOnSim, silentDeviceShouldEndWithOneAfterTheTimeout) {
  SimProcess sim(5, "", {"--unpaced", "--fault", "silent"});
  ASSERT_TRUE(sim.Ready());
  const ProgramResult r = RunCli({"read", "--port", "COM5", "--timeout", "2"});
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.err.find("power the device on now"), std::string::npos);
  EXPECT_NE(r.err.find("no device answered"), std::string::npos);
  EXPECT_EQ(r.out, "");
}

TEST_F(CliOnSim, readShouldPrintTheDocumentAndWriteItAtomicallyToAFile) {
  SimProcess sim(5, State(), {"--unpaced"});
  ASSERT_TRUE(sim.Ready());
  ProgramResult r = RunCli({"read", "--port", "COM5", "--quiet"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out.rfind("<?xml version=\"1.0\" encoding=\"windows-1250\"?>", 0), 0u);
  EXPECT_NE(r.out.find("<IP_addr>192.168.1.254</IP_addr>"), std::string::npos);
  EXPECT_EQ(r.err, "") << "--quiet keeps stderr clean";

  const std::string out = dir.Path() + "/read.xml";
  const std::string log = dir.Path() + "/dialogue.log";
  r = RunCli({"read", "--port", dir.Link(5), "-o", out, "--log", log, "--quiet"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(Slurp(out).find("<Channel_1>"), std::string::npos);
  const std::string transcript = Slurp(log);
  EXPECT_NE(transcript.find("Your choice ?"), std::string::npos);
  EXPECT_NE(transcript.find(">> 8<CR>"), std::string::npos) << "closing leaves Setup Mode";
}

TEST_F(CliOnSim, applyShouldStoreExactlyTheChangesAndReadThemBack) {
  SimProcess sim(5, State(), {"--unpaced"});
  ASSERT_TRUE(sim.Ready());
  const std::string settings = File("w.xml",
                                    "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\n<anything>"
                                    "<basic_parameters><IP_Address>10.1.2.3</IP_Address></basic_parameters>"
                                    "<Channel_1><Baudrate>38400</Baudrate></Channel_1>"
                                    "<WLAN><Network_name>shop floor</Network_name></WLAN>"
                                    "<Security><Disable_SNMP>Y</Disable_SNMP></Security></anything>");
  const std::string back = dir.Path() + "/back.xml";
  const ProgramResult r = RunCli({"apply", "--port", "COM5", "--quiet", "-o", back, settings});
  ASSERT_EQ(r.rc, 0) << r.err;

  TSimSettings expected = SimDefaults();
  expected.Set("basic_parameters", "IP_Address", "10.1.2.3");
  expected.Set("Channel_1", "Baudrate", "38400");
  expected.Set("WLAN", "Network_name", "shop floor");
  expected.Set("Security", "Disable_SNMP", "Y");
  const TSimSettings stored = LoadState(State());
  EXPECT_EQ(stored.Sections, expected.Sections) << "nothing else may change";
  EXPECT_NE(Slurp(back).find("<IP_addr>10.1.2.3</IP_addr>"), std::string::npos);
}

TEST_F(CliOnSim, badSettingsFileShouldChangeNothing) {
  SimProcess sim(5, State(), {"--unpaced"});
  ASSERT_TRUE(sim.Ready());
  const std::string bad = File("bad.xml", "<xml><basic_parameters>");
  ProgramResult r = RunCli({"apply", "--port", "COM5", "--quiet", bad});
  EXPECT_EQ(r.rc, 5);
  EXPECT_NE(r.err.find("bad.xml"), std::string::npos);
  r = RunCli({"apply", "--port", "COM5", "--quiet", dir.Path() + "/missing.xml"});
  EXPECT_EQ(r.rc, 5);
  const std::string request = File("exit.xml", "<xml><Exit/></xml>");
  r = RunCli({"apply", "--port", "COM5", "--quiet", request});
  EXPECT_EQ(r.rc, 5);
  EXPECT_FALSE(std::filesystem::exists(State())) << "the device never stored";
}

TEST_F(CliOnSim, refusedAnswersShouldFailWithoutStoring) {
  SimProcess sim(5, State(), {"--unpaced", "--fault", "refuse-answers"});
  ASSERT_TRUE(sim.Ready());
  const std::string settings =
      File("w.xml", "<xml><basic_parameters><IP_Address>10.9.9.9</IP_Address></basic_parameters></xml>");
  const ProgramResult r = RunCli({"apply", "--port", "COM5", "--quiet", settings});
  EXPECT_EQ(r.rc, 4) << r.err;
  EXPECT_NE(r.err.find("basic_parameters"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(State()));
}

TEST_F(CliOnSim, defaultsShouldStoreOnlyWhenAsked) {
  {
    SimProcess sim(5, State(), {"--unpaced"});
    ASSERT_TRUE(sim.Ready());
    const std::string settings =
        File("w.xml", "<xml><Channel_1><Baudrate>38400</Baudrate></Channel_1></xml>");
    ASSERT_EQ(RunCli({"apply", "--port", "COM5", "--quiet", settings}).rc, 0);
    ASSERT_EQ(LoadState(State()).Get("Channel_1", "Baudrate"), "38400");

    const ProgramResult r = RunCli({"defaults", "--port", "COM5", "--quiet"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(LoadState(State()).Get("Channel_1", "Baudrate"), "38400") << "not stored without --store";
    EXPECT_NE(r.err.find("not on the device until they are stored"), std::string::npos) << r.err;
  }
  SimProcess sim(5, State(), {"--unpaced"});
  ASSERT_TRUE(sim.Ready());
  const std::string back = dir.Path() + "/back.xml";
  const ProgramResult r = RunCli({"defaults", "--port", "COM5", "--store", "--quiet", "-o", back});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(LoadState(State()).Get("Channel_1", "Baudrate"), "9600");
  EXPECT_NE(Slurp(back).find("<Baudrate>9600</Baudrate>"), std::string::npos);
}

TEST(Transcript, shouldMaskSecretsButKeepTheDialogueReadable) {
  EXPECT_EQ(TTranscript::Readable("a\r\x07\x01"), "a<CR><BEL><01>");
  EXPECT_EQ(TTranscript::MaskReceived("Terminal name : t1\r\nPassword : hunter2\r\n"),
            "Terminal name : t1\r\nPassword : ********\r\n");
  EXPECT_TRUE(TTranscript::AsksForSecret("\r\nEnter new Password ? "));
  EXPECT_TRUE(TTranscript::AsksForSecret("Enter Key ? "));
  EXPECT_FALSE(TTranscript::AsksForSecret("Change telnet config password (N) ? "));
  EXPECT_FALSE(TTranscript::AsksForSecret("Key type 0=hex, 1=passphrase (1) ? "));

  TempComDir dir;
  {
    TTranscript t(dir.Path() + "/log");
    t.Record(false, "Enter Key ? ");
    for (char c : std::string("0A1B2C3D4E")) t.Record(true, std::string(1, c));  // typed one by one
    t.Record(false, "0A1B");  // an echo
    t.Record(true, "\r");
    t.Record(false, "Display current key (N) ? ");
    t.Record(true, "N");
  }
  const std::string log = Slurp(dir.Path() + "/log");
  EXPECT_EQ(log.find("0A1B"), std::string::npos) << log;
  EXPECT_NE(log.find(">> N"), std::string::npos) << "answers after the secret are shown again";
}
