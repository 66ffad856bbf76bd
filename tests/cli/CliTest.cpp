#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "PtyPair.h"
#include "SimModel.h"
#include "SimProcess.h"
#include "Transcript.h"

namespace {

struct Result {
  int rc = -1;
  std::string out, err;
};

std::string Slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

Result RunCli(const std::vector<std::string>& args) {
  char tmpl[] = "/tmp/kavrune-cli-out-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  Result r;
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open((dir + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open((dir + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int nul = open("/dev/null", O_RDONLY);
    dup2(out, 1);
    dup2(err, 2);
    dup2(nul, 0);
    std::vector<std::string> all{KAVRUNE_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(KAVRUNE_CLI_PATH, argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = Slurp(dir + "/out");
  r.err = Slurp(dir + "/err");
  std::filesystem::remove_all(dir);
  return r;
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
    const Result r = RunCli(args);
    EXPECT_EQ(r.rc, 2) << r.err;
    EXPECT_NE(r.err.find("Usage:"), std::string::npos);
  }
}

TEST(Cli, portErrorsShouldExitWithThreeAndTheComponentsMessage) {
  TempComDir dir;
  Result r = RunCli({"read", "--port", "COM9", "--timeout", "1"});
  EXPECT_EQ(r.rc, 3);
  EXPECT_NE(r.err.find("Invalid port number (COM9)"), std::string::npos) << r.err;

  r = RunCli({"read", "--port", "/etc/passwd", "--timeout", "1"});
  EXPECT_EQ(r.rc, 3);
  EXPECT_NE(r.err.find("is not a serial port"), std::string::npos) << r.err;

  PtyPair busy(&dir, 2);
  const int fd = open(busy.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
  r = RunCli({"read", "--port", "COM2", "--timeout", "1"});
  EXPECT_EQ(r.rc, 3);
  EXPECT_NE(r.err.find("Can't open device COM2"), std::string::npos) << r.err;
  close(fd);
}

TEST(Cli, portsShouldListPublishedPortsWithTheirState) {
  TempComDir dir;
  PtyPair a(&dir, 4);
  const Result r = RunCli({"ports"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_NE(r.out.find("COM 4\t" + dir.Link(4) + " -> " + a.SlavePath() + "\tfree"), std::string::npos) << r.out;
}

TEST_F(CliOnSim, silentDeviceShouldEndWithOneAfterTheTimeout) {
  SimProcess sim(1, "", {"--unpaced", "--fault", "silent"});
  ASSERT_TRUE(sim.Ready());
  const Result r = RunCli({"read", "--port", "COM1", "--timeout", "2"});
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.err.find("power the device on now"), std::string::npos);
  EXPECT_NE(r.err.find("no device answered"), std::string::npos);
  EXPECT_EQ(r.out, "");
}

TEST_F(CliOnSim, readShouldPrintTheDocumentAndWriteItAtomicallyToAFile) {
  SimProcess sim(1, State(), {"--unpaced"});
  ASSERT_TRUE(sim.Ready());
  Result r = RunCli({"read", "--port", "COM1", "--quiet"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out.rfind("<?xml version=\"1.0\" encoding=\"windows-1250\"?>", 0), 0u);
  EXPECT_NE(r.out.find("<IP_addr>192.168.1.254</IP_addr>"), std::string::npos);
  EXPECT_EQ(r.err, "") << "--quiet keeps stderr clean";

  const std::string out = dir.Path() + "/read.xml";
  const std::string log = dir.Path() + "/dialogue.log";
  r = RunCli({"read", "--port", dir.Link(1), "-o", out, "--log", log, "--quiet"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(Slurp(out).find("<Channel_1>"), std::string::npos);
  const std::string transcript = Slurp(log);
  EXPECT_NE(transcript.find("Your choice ?"), std::string::npos);
  EXPECT_NE(transcript.find(">> 8<CR>"), std::string::npos) << "closing leaves Setup Mode";
}

TEST_F(CliOnSim, applyShouldStoreExactlyTheChangesAndReadThemBack) {
  SimProcess sim(1, State(), {"--unpaced"});
  ASSERT_TRUE(sim.Ready());
  const std::string settings = File("w.xml",
                                    "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\n<anything>"
                                    "<basic_parameters><IP_Address>10.1.2.3</IP_Address></basic_parameters>"
                                    "<Channel_1><Baudrate>38400</Baudrate></Channel_1>"
                                    "<WLAN><Network_name>shop floor</Network_name></WLAN>"
                                    "<Security><Disable_SNMP>Y</Disable_SNMP></Security></anything>");
  const std::string back = dir.Path() + "/back.xml";
  const Result r = RunCli({"apply", "--port", "COM1", "--quiet", "-o", back, settings});
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
  SimProcess sim(1, State(), {"--unpaced"});
  ASSERT_TRUE(sim.Ready());
  const std::string bad = File("bad.xml", "<xml><basic_parameters>");
  Result r = RunCli({"apply", "--port", "COM1", "--quiet", bad});
  EXPECT_EQ(r.rc, 5);
  EXPECT_NE(r.err.find("bad.xml"), std::string::npos);
  r = RunCli({"apply", "--port", "COM1", "--quiet", dir.Path() + "/missing.xml"});
  EXPECT_EQ(r.rc, 5);
  const std::string request = File("exit.xml", "<xml><Exit/></xml>");
  r = RunCli({"apply", "--port", "COM1", "--quiet", request});
  EXPECT_EQ(r.rc, 5);
  EXPECT_FALSE(std::filesystem::exists(State())) << "the device never stored";
}

TEST_F(CliOnSim, refusedAnswersShouldFailWithoutStoring) {
  SimProcess sim(1, State(), {"--unpaced", "--fault", "refuse-answers"});
  ASSERT_TRUE(sim.Ready());
  const std::string settings =
      File("w.xml", "<xml><basic_parameters><IP_Address>10.9.9.9</IP_Address></basic_parameters></xml>");
  const Result r = RunCli({"apply", "--port", "COM1", "--quiet", settings});
  EXPECT_EQ(r.rc, 4) << r.err;
  EXPECT_NE(r.err.find("basic_parameters"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(State()));
}

TEST_F(CliOnSim, defaultsShouldStoreOnlyWhenAsked) {
  {
    SimProcess sim(1, State(), {"--unpaced"});
    ASSERT_TRUE(sim.Ready());
    const std::string settings =
        File("w.xml", "<xml><Channel_1><Baudrate>38400</Baudrate></Channel_1></xml>");
    ASSERT_EQ(RunCli({"apply", "--port", "COM1", "--quiet", settings}).rc, 0);
    ASSERT_EQ(LoadState(State()).Get("Channel_1", "Baudrate"), "38400");

    const Result r = RunCli({"defaults", "--port", "COM1", "--quiet"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(LoadState(State()).Get("Channel_1", "Baudrate"), "38400") << "not stored without --store";
    EXPECT_NE(r.err.find("not on the device until they are stored"), std::string::npos) << r.err;
  }
  SimProcess sim(1, State(), {"--unpaced"});
  ASSERT_TRUE(sim.Ready());
  const std::string back = dir.Path() + "/back.xml";
  const Result r = RunCli({"defaults", "--port", "COM1", "--store", "--quiet", "-o", back});
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

  char tmpl[] = "/tmp/kavrune-transcript-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  {
    TTranscript t(dir + "/log");
    t.Record(false, "Enter Key ? ");
    for (char c : std::string("0A1B2C3D4E")) t.Record(true, std::string(1, c));  // typed one by one
    t.Record(false, "0A1B");  // an echo
    t.Record(true, "\r");
    t.Record(false, "Display current key (N) ? ");
    t.Record(true, "N");
  }
  const std::string log = Slurp(dir + "/log");
  EXPECT_EQ(log.find("0A1B"), std::string::npos) << log;
  EXPECT_NE(log.find(">> N"), std::string::npos) << "answers after the secret are shown again";
  std::filesystem::remove_all(dir);
}
