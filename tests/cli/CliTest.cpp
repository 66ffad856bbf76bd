#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>

#include "AfComPort.h"
#include "CliRun.h"
#include "SimModel.h"
#include "SimProcess.h"
#include "SimStates.h"
#include "TestPlatform.h"
#include "uKaVruneModel.h"
#ifndef _WIN32
#include "PtyPair.h"
#endif

namespace {

#ifndef _WIN32
// Runs the tool with its standard error (and with stdoutToo its standard output) on a terminal,
// as a user at one sees it; `err` holds what the terminal got, redrawn lines and all.
ProgramResult RunCliOnTerminal(const std::vector<std::string>& args, bool stdoutToo = false) {
  int master = -1, slave = -1;
  ProgramResult r;
  if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return r;
  const pid_t pid = fork();
  if (pid == 0) {
    const int nul = open("/dev/null", O_RDWR);
    dup2(nul, 0);
    dup2(stdoutToo ? slave : nul, 1);
    dup2(slave, 2);
    std::vector<std::string> all{KAVRUNE_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(KAVRUNE_CLI_PATH, argv.data());
    _exit(127);
  }
  ::close(slave);
  // Read until the last writer is gone (EIO), so the child never blocks on a full terminal.
  char buffer[4096];
  for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR);)
    if (n > 0) r.err.append(buffer, static_cast<size_t>(n));
  ::close(master);
  int status = 0;
  waitpid(pid, &status, 0);
  r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}
#endif

}  // namespace

TEST(Cli, usageErrorsShouldSayWhyInOneLineAndWhereTheHelpIs) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "'kavrune-cli --help'"},
      {{"frobnicate"}, "'kavrune-cli --help'"},
      {{"read"}, "--port is required"},
      {{"read", "--port"}, "--port needs a value"},
      {{"read", "--port", "COM1", "--timeout", "0"}, "1 to 3600"},
      {{"apply", "--port", "COM1"}, "'kavrune-cli apply --help'"},
      {{"read", "--port", "COM1", "--bogus"}, "unknown option --bogus"},
      {{"read", "--port", "COM1", "--store"}, "read takes no --store"},
      {{"read", "--ports", "COM1,COM2"}, "-o FILE"},
      {{"get", "--port", "COM1"}, "'kavrune-cli get --help'"},
      {{"diff", "a.xml"}, "'kavrune-cli diff --help'"},
      {{"read", "--port", "COM1", "--format", "yaml"}, "xml, json or text"},
      {{"apply", "--port", "COM1", "--report", "run.txt", "a.xml"}, "--report takes a file ending in .jsonl or .csv"},
      {{"set", "--port", "COM1", "--format", "xml", "Expert.MTU_Size=1000"}, "set takes --format text or json"},
      {{"help", "frobnicate"}, "no command"},
      // A slip in a setting's name is caught before any port is looked at.
      {{"get", "--port", "COM1", "Chanel_1.Baudrate"}, "did you mean Channel_1.Baudrate?"},
      {{"set", "--port", "COM1", "expert.mtu_sise=1000"}, "did you mean Expert.MTU_Size=1000?"},
      {{"edit", "a.xml", "Expert.MTU_Sise=1000"}, "did you mean Expert.MTU_Size=1000?"},
      {{"set", "--port", "COM1", "Expert.MTU_Size"}, "give Section.Key=Value"},
      // A value the device would not take is a slip of the command line as well (a file's is 5).
      {{"set", "--port", "COM1", "Expert.MTU_Size=abc"}, "\"abc\" is not a valid value for MTU size"},
      {{"set", "--port", "COM1", "Expert.MTU_Size=1401"}, "outside the device's range 512 to 1400"},
      // Slips of a letter or two get a guess.
      {{"raed", "--port", "COM1"}, "unknown command \"raed\"; did you mean 'read'?"},
      {{"read", "--prot", "COM1"}, "unknown option --prot; did you mean '--port'?"},
      {{"help", "aply"}, "did you mean 'apply'?"},
      {{"backups", "--mac", "02-00-00-8F-1C"}, "is not a MAC address"},
      {{"undo"}, "--port is required"},
      {{"sheet", "--port", "COM1", "a.xml", "-o", "s.pdf"}, "one device (--port P) or one settings file"},
      {{"sheet", "--language", "de"}, "one device (--port P) or one settings file"},
      {{"apply", "--port", "COM1", "--operator", "Ana", "a.xml"}, "--operator goes with --report"},
      {{"sheet", "a.xml", "--station", " "}, "--station takes a name on one line"},
      {{"set", "--port", "COM1", "--allow-duplicate", "basic_parameters.IP_addr", "Expert.MTU_Size=1000"},
       "--allow-duplicate goes with --units"},
      {{"apply", "--port", "COM1", "--units", "u.csv", "--allow-duplicate", "basic_parameters.IP_adr", "a.xml"},
       "did you mean basic_parameters.IP_addr?"},
      {{"set", "--port", "COM1", "--units", "u.csv", "--allow-duplicate", "Channel_1.Baudrate"},
       "rows may share the value of any other column"},
  };
  for (const auto& [args, why] : cases) {
    const ProgramResult r = RunCli(args);
    EXPECT_EQ(r.rc, 2) << r.err;
    EXPECT_NE(r.err.find(why), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("(try 'kavrune-cli "), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
}

TEST(Cli, helpShouldDescribeEveryOptionOfItsCommand) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> commands = {
      {"ports", {}},
      {"edit", {"--quiet"}},
      {"read", {"--port", "--ports", "--format", "-o", "--timeout", "--log", "--bundle", "--quiet"}},
      {"get", {"--port", "--format", "--value", "-o", "--timeout", "--log", "--quiet"}},
      {"set",
       {"--port", "--ports", "--dry-run", "--format", "--units", "--allow-duplicate", "--allow-empty", "--report", "-o",
        "--timeout", "--log", "--quiet"}},
      {"apply",
       {"--port", "--ports", "--dry-run", "--format", "--units", "--allow-duplicate", "--allow-empty", "--report", "-o",
        "--timeout", "--log", "--quiet"}},
      {"verify",
       {"--port", "--ports", "--units", "--allow-duplicate", "--allow-empty", "--report", "--operator", "--station",
        "--timeout", "--log", "--quiet"}},
      {"sheet", {"--port", "-o", "--language", "--operator", "--station", "--timeout", "--log", "--quiet"}},
      {"defaults", {"--port", "--ports", "--store", "-o", "--timeout", "--log", "--quiet"}},
      {"undo", {"--port", "--ports", "--dry-run", "-o", "--timeout", "--log", "--quiet"}},
      {"backups", {"--mac", "--format", "--quiet"}},
      {"diff", {"--format", "--timeout", "--log", "--quiet"}},
  };
  for (const auto& [command, options] : commands) {
    const ProgramResult r = RunCli({command, "--help"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out.rfind("Usage: kavrune-cli " + command, 0), 0u) << r.out;
    for (const std::string& option : options) {
      // Described: the option opens a line of the list, with words after it.
      const std::regex described("\n  (-\\w, )?" + option + "(, --\\S+)?( \\S+)? +\\w");
      EXPECT_TRUE(std::regex_search(r.out, described)) << command << " " << option << ":\n" << r.out;
    }
    if (command == "read" || command == "get") {
      EXPECT_EQ(r.out.find("writ"), std::string::npos) << r.out;
      EXPECT_EQ(r.out.find("stor"), std::string::npos) << r.out;
    }
  }
  EXPECT_NE(RunCli({"help", "set"}).out.find("Usage: kavrune-cli set"), std::string::npos);
  EXPECT_NE(RunCli({"help"}).out.find("Usage: kavrune-cli ports"), std::string::npos);
  EXPECT_EQ(RunCli({"--version"}).out.rfind("kavrune-cli ", 0), 0u);
}

TEST(Cli, portErrorsShouldExitWithThreeAndNameThePortsThereAre) {
  TempComDir dir;
  SimProcess sim(6, "");
  ASSERT_TRUE(sim.Ready());
  const std::string plain = dir.Path() + "/plain.txt";
  std::ofstream(plain) << "not a port";
  for (const std::string& port : {std::string("COM9"), plain}) {
    const ProgramResult r = RunCli({"read", "--port", port, "--timeout", "1"});
    EXPECT_EQ(r.rc, 3);
    EXPECT_NE(r.err.find(port + " is not a serial port of this machine; its ports are "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("COM6"), std::string::npos) << r.err;
  }

  // A port that another program holds, named where the system tells who.
  TAfComPort holder;
  holder.SetComNumber(6);
  holder.Open();
  const ProgramResult r = RunCli({"read", "--port", "COM6", "--timeout", "1"});
  EXPECT_EQ(r.rc, 3);
#ifdef _WIN32
  EXPECT_NE(r.err.find("Can't open device COM6: in use by another program"), std::string::npos) << r.err;
#else
  EXPECT_NE(r.err.find("Can't open device COM6: in use by "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(" (PID " + std::to_string(getpid()) + ")"), std::string::npos) << r.err;
#endif
}

TEST(Cli, portsShouldListPublishedPortsWithTheirState) {
  TempComDir dir;
#ifdef _WIN32
  SimProcess sim(4, "");
  ASSERT_TRUE(sim.Ready());
  const std::string expected = "COM 4\t" + dir.Link(4) + "\tfree";
#else
  PtyPair a(&dir, 4);
  const std::string expected =
      "COM 4\t" + dir.Link(4) + " -> " + a.SlavePath() + "\tfree\tsimulator, " + a.SlavePath().substr(5) + "\n";
#endif
  const ProgramResult r = RunCli({"ports"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_NE(r.out.find(expected), std::string::npos) << r.out;

#ifndef _WIN32
  // A program that opened the node without a lock, as "sleep < /dev/pts/N" does: the port is in
  // use, named, and a command on it fails at once rather than wait out its time.
  const pid_t sleeper = fork();
  if (sleeper == 0) {
    const int fd = open(a.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    dup2(fd, 0);
    execl("/bin/sleep", "sleep", "60", nullptr);
    _exit(127);
  }
  const std::string holder = "in use by sleep (PID " + std::to_string(sleeper) + ")";
  ProgramResult held;
  for (int i = 0; i < 200 && held.out.find(holder) == std::string::npos; ++i) held = RunCli({"ports"});
  EXPECT_NE(held.out.find("COM 4\t" + dir.Link(4) + " -> " + a.SlavePath() + "\t" + holder), std::string::npos)
      << held.out;
  const auto start = std::chrono::steady_clock::now();
  held = RunCli({"read", "--port", "COM4", "--timeout", "30"});
  EXPECT_EQ(held.rc, 3) << held.err;
  EXPECT_NE(held.err.find("Can't open device COM4: " + holder), std::string::npos) << held.err;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  ::kill(sleeper, SIGTERM);
  ::waitpid(sleeper, nullptr, 0);
#endif
}

#ifndef _WIN32
// The completion scripts as bash-completion loads them, each completion printed as "a|b|".
TEST(Cli, bashCompletionShouldCompleteCommandsFormatsPortsAndSettingNames) {
  const char* loader = "/usr/share/bash-completion/bash_completion";
  if (!std::filesystem::exists(loader)) GTEST_SKIP() << "bash-completion is not installed";
  TempComDir dir;
  PtyPair port(&dir, 4);
  const std::string programs = std::filesystem::path(KAVRUNE_CLI_PATH).parent_path().string() + ":" +
                               std::filesystem::path(std::getenv("KAVRUNE_SIM")).parent_path().string();
  const std::string script =
      std::string("source ") + loader + "\n" +
      "source " KAVRUNE_COMPLETIONS_DIR
      "/kavrune-cli\n"
      "source " KAVRUNE_COMPLETIONS_DIR
      "/kavrune-sim\n"
      "PATH=" +
      programs +
      ":$PATH\n"
      "export KAVRUNE_DEV_DIR=" +
      dir.Path() +
      "  # only the port published here\n"
      "compopt() { :; }  # only inside a completion bash started itself\n"
      "comp() {\n"
      "  COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); COMP_LINE=\"$*\"; COMP_POINT=${#COMP_LINE}\n"
      "  COMPREPLY=(); $(complete -p $1 | sed 's/.*-F \\([^ ]*\\).*/\\1/') $1 \"${@: -1}\" \"${@: -2:1}\"\n"
      "  printf '%s|' \"${COMPREPLY[@]}\"; echo\n"
      "}\n"
      "comp kavrune-cli de\n"
      "comp kavrune-cli read --format j\n"
      "comp kavrune-cli apply --ports COM4,CO\n"
      "comp kavrune-cli set --port COM4 Channel_1.Bau\n"
      "comp kavrune-cli get --port COM4 basic_parameters.IP_\n"
      "comp kavrune-cli set --d\n"
      "comp kavrune-cli get --port COM4 -\n"
      "comp kavrune-cli set --port COM4 Expert.CPU_performance=\n"
      "comp kavrune-cli set --port COM4 basic_parameters.Network_mode=W\n"
      "comp kavrune-cli set --port COM4 security.snmp=o\n"
      "comp kavrune-sim --fault no\n";
  const ProgramResult r = RunProgram("/bin/bash", {"-c", script}, dir.Path());
  EXPECT_EQ(r.out,
            "defaults|\n"
            "json|\n"
            "COM4,COM4|\n"
            "Channel_1.Baudrate=|\n"
            "basic_parameters.IP_addr|\n"
            "--dry-run|\n"
            "--port|--format|--value|-o|--output|--bundle|--timeout|--log|--quiet|--help|\n"
            "Expert.CPU_performance=Regular|Expert.CPU_performance=Low|Expert.CPU_performance=High|\n"
            "basic_parameters.Network_mode=Wired\\ Only|basic_parameters.Network_mode=Wireless\\ Only|\n"
            "security.snmp=on|security.snmp=off|\n"
            "no-menu|noise|no-return|no-store-entry|no-exit-entry|\n")
      << r.err;
  EXPECT_EQ(r.err, "");
}
#endif

// A golden file prepared at a desk: set's names, values and checks, the file's own form kept,
// and a refused value leaves the file as it was.
TEST_F(CliOnSim, editShouldChangeAFileWithSetsChecksAndNoDevice) {
  const std::string dump = dir.Path() + "/golden.xml";
  DumpDocument(SimDefaults())->SaveToFile(dump);
  const ProgramResult r = RunCli({"edit", dump, "Expert.MTU_Size=1000", "Channel_1.Baudrate=57600"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, "Channel_1.Baudrate: 9600 -> 57600\nExpert.MTU_Size: 1400 -> 1000\n");
  const PXmlDocument edited = TXmlDocument::LoadFromFile(dump);
  EXPECT_TRUE(IsReadDocument(edited->Root())) << "the read form stays";
  EXPECT_EQ(*FromDocument(edited->Root()).Find("Expert", "MTU_Size"), "1000");
  const std::string text = Slurp(dump);
  const ProgramResult bad = RunCli({"edit", dump, "Expert.MTU_Size=9999"});
  EXPECT_EQ(bad.rc, 2) << bad.err;
  EXPECT_NE(bad.err.find("was not changed"), std::string::npos) << bad.err;
  EXPECT_EQ(Slurp(dump), text);
}

#ifdef KAVRUNE_SETUP_PATH
// The window program lays the sheet out from the unit's read, in the language asked, as the
// record of the unit as left, with the operator and the station; without it no sheet is written,
// and the status says so.
TEST_F(CliOnSim, sheetShouldBeMadeOfTheUnitsReadByTheWindowProgram) {
  SimProcess sim(5, State(), {"--unpaced"});
  ASSERT_TRUE(sim.Ready());
  const std::string sheet = dir.Path() + "/sheet.txt";
  ::setenv("KAVRUNE_SETUP", KAVRUNE_SETUP_PATH, 1);
  ProgramResult r = RunCli({"sheet", "--port", "COM5", "-o", sheet, "--language", "de", "--quiet", "--operator",
                            "Ana Nováková", "--station", "Bench 3"});
  ASSERT_EQ(r.rc, 0) << r.err;
  const std::string text = Slurp(sheet);
  for (const char* part : {"MAC-Adresse", "02-00-00-8F-1C-2E", "dem Gerät an COM5", "IP-Adresse:", "192.168.1.254"})
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  for (const char* line : {"\nStand +wie übergeben, bestätigt um \\d\\d:\\d\\d:\\d\\d [+-]\\d\\d:\\d\\d\n",
                           "\nBearbeiter +Ana Nováková\nArbeitsplatz +Bench 3\n"})
    EXPECT_TRUE(std::regex_search(text, std::regex(line))) << line << "\n" << text;
  // Without -o, the name the window offers, in the current folder, said in full.
  r = RunProgram("/bin/sh", {"-c", "cd \"$0\" && exec \"$1\" sheet --port COM5", dir.Path(), KAVRUNE_CLI_PATH},
                 dir.Path());
  ASSERT_EQ(r.rc, 0) << r.err;
  const std::string offered = dir.Path() + "/kavrune-02-00-00-8F-1C-2E-sheet.pdf";
  EXPECT_EQ(Slurp(offered).rfind("%PDF", 0), 0u);
  EXPECT_NE(r.err.find("settings sheet written to " + offered), std::string::npos) << r.err;
  ::setenv("KAVRUNE_SETUP", (dir.Path() + "/none").c_str(), 1);
  const std::string golden = dir.Path() + "/golden.xml";
  DumpDocument(SimDefaults())->SaveToFile(golden);
  r = RunCli({"sheet", golden, "-o", dir.Path() + "/second.pdf"});
  ::unsetenv("KAVRUNE_SETUP");
  EXPECT_EQ(r.rc, 5);
  EXPECT_NE(r.err.find("no sheet was written"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir.Path() + "/second.pdf"));
}
#endif

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
  r = RunCli({"get", "--port", "COM5", "--quiet", "channel_1.baudrate", "Security.SNMP"});
  EXPECT_EQ(r.out,
            "Channel 1 baud rate  9600 bit/s  Channel_1.Baudrate=9600\n"
            "SNMP                 on          Security.SNMP=enabled\n");
  r = RunCli({"get", "--port", "COM5", "--quiet", "--value", "Security.SNMP", "channel_1.baudrate"});
  EXPECT_EQ(r.out, "enabled\n9600\n") << "bare values, in the order named";
#ifndef _WIN32
  // A person at a terminal gets the words; a pipe (above) and --format xml the document.
  r = RunCliOnTerminal({"read", "--port", "COM5", "--quiet"}, true);
  EXPECT_NE(r.err.find("Channel_1.Baudrate=9600"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("<?xml"), std::string::npos) << r.err;
  r = RunCliOnTerminal({"read", "--port", "COM5", "--quiet", "--format", "xml"}, true);
  EXPECT_NE(r.err.find("<?xml"), std::string::npos) << r.err;
#endif

  const std::string out = dir.Path() + "/read.xml";
  const std::string log = dir.Path() + "/dialogue.log";
  r = RunCli({"read", "--port", dir.Link(5), "-o", out, "--log", log, "--quiet"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(Slurp(out).find("<Channel_1>"), std::string::npos);
  const std::string transcript = Slurp(log);
  EXPECT_NE(transcript.find("Your choice ?"), std::string::npos);
  EXPECT_NE(transcript.find(">> 8<CR>"), std::string::npos) << "closing leaves Setup Mode";
}

// A setting the unit does not show in its mode (a TCP channel's datagram type, the WLAN of a
// unit without one) is no value: get prints what it has and ends with 5, so that a script never
// takes the missing line for a value.
TEST_F(CliOnSim, getShouldEndWithFiveWhenTheDeviceDoesNotShowASetting) {
  const std::pair<std::string, std::string> cases[] = {{"standard", "Channel_1.Datagram_Type"},
                                                       {"no-wlan", "WLAN.Network_name"}};
  for (const auto& [model, setting] : cases) {
    SimProcess sim(5, "", {"--unpaced", "--model", model});
    ASSERT_TRUE(sim.Ready());
    const ProgramResult r = RunCli({"get", "--port", "COM5", "--quiet", setting, "Channel_1.Baudrate"});
    EXPECT_EQ(r.rc, 5) << model << ": " << r.err;
    EXPECT_NE(r.err.find("does not show it in its present mode"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "Channel 1 baud rate  9600 bit/s  Channel_1.Baudrate=9600\n");
    const ProgramResult v = RunCli({"get", "--port", "COM5", "--quiet", "--value", setting, "Channel_1.Baudrate"});
    EXPECT_EQ(v.rc, 5) << model << ": " << v.err;
    EXPECT_EQ(v.out, "\n9600\n") << "a line for each name in its place, the missing one empty";
  }
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

TEST_F(CliOnSim, readThenApplyWithoutEditsShouldSendNothingAtEveryEdge) {
  TSimSettings issue = SimDefaults();  // the state in which the window once changed two settings
  issue.Set("basic_parameters", "Enter_new_DHCP_device_Name", "");
  issue.Set("Expert", "ARP_Cache_timeout_in_s", "600");
  issue.Set("Expert", "TCP_Keepalive_time_in_s", "0");
  for (const TSimSettings& state : {issue, EdgeState(false), EdgeState(true)}) {
    SaveState(state, State());
    SimProcess sim(1, State(), {"--unpaced"});
    ASSERT_TRUE(sim.Ready());
    const std::string backup = dir.Path() + "/b.xml", log = dir.Path() + "/log";
    ASSERT_EQ(RunCli({"read", "--port", "COM1", "--quiet", "-o", backup}).rc, 0);
    const ProgramResult r = RunCli({"apply", "--port", "COM1", "--log", log, backup});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(r.err.find("nothing was written"), std::string::npos) << r.err;
    EXPECT_EQ(Slurp(log).find(">> 9<CR>"), std::string::npos) << "the device stored nothing";
    EXPECT_EQ(LoadState(State()), state);
  }
}

TEST_F(CliOnSim, backupShouldCloneOneDeviceOntoAnotherAndNameWhatItCannotCarry) {
  SaveState(EdgeState(true), State());
  const std::string other = dir.Path() + "/other.txt";
  SimProcess a(1, State(), {"--unpaced"}), b(2, other, {"--unpaced"});
  ASSERT_TRUE(a.Ready() && b.Ready());
  const std::string backup = dir.Path() + "/b.xml", after = dir.Path() + "/after.xml";
  ASSERT_EQ(RunCli({"read", "--port", "COM1", "--quiet", "-o", backup}).rc, 0);

  ProgramResult r = RunCli({"apply", "--port", "COM2", "-o", after, backup});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(r.err.find("written and confirmed"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("telnet configuration password"), std::string::npos) << "names what a restore cannot carry";
  EXPECT_EQ(r.err.find("E-mail"), std::string::npos) << "both units have the same E-mail settings: " << r.err;
  EXPECT_EQ(FromReadDocument(TXmlDocument::LoadFromFile(after)->Root()),
            FromReadDocument(TXmlDocument::LoadFromFile(backup)->Root()));

  // A unit of another make prints lines about itself and a heading above its menu: kept, named
  // once where something is written, never a refusal; a restore that changes nothing names
  // nothing it cannot carry.
  const PXmlDocument unit = TXmlDocument::LoadFromFile(backup);
  unit->Root().FirstChild("basic_parameters").AppendChild("Hardware").SetText("KV-200 rev C");
  unit->Root().FirstChild("Security").AppendChild("Change_Setup");
  const std::string field = File("field.xml", unit->SaveToText());
  r = RunCli({"apply", "--port", "COM1", field});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(r.err.find("nothing was written"), std::string::npos) << r.err;
  // The list ends the line, whatever the line end (CR LF from the Windows build).
  EXPECT_TRUE(std::regex_search(
      r.err, std::regex("kept in the file, not written: Hardware, Change Setup \\(Security\\), MAC address, "
                        "Firmware\r?\n")))
      << r.err;
  EXPECT_EQ(r.err.find("Passwords and keys"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("E-mail"), std::string::npos) << r.err;
  r = RunCli({"diff", backup, field});
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.err.find("kept in the file"), std::string::npos) << "diff writes nothing: " << r.err;
}

TEST_F(CliOnSim, aNameShouldBeClearedWhereTheUnitCanAndAKeptOneNeverReportedAsDone) {
  const std::string name = "basic_parameters.DHCP_device_name";
  {
    // Given nothing after "Change ... ? Y", the unit leaves the name empty: set clears, and undo
    // of a unit whose name was empty clears it again.
    SimProcess sim(1, State(), {"--unpaced"});
    ASSERT_TRUE(sim.Ready());
    EXPECT_EQ(RunCli({"set", "--port", "COM1", "--quiet", name + "=press-7"}).rc, 0);
    EXPECT_EQ(RunCli({"set", "--port", "COM1", "--quiet", name + "="}).rc, 0);
    EXPECT_EQ(RunCli({"get", "--port", "COM1", "--value", name}).out, "not set\n");
    EXPECT_EQ(RunCli({"set", "--port", "COM1", "--quiet", name + "=press-7"}).rc, 0);
    const ProgramResult undo = RunCli({"undo", "--port", "COM1", "--quiet"});
    EXPECT_EQ(undo.rc, 0) << undo.err;
    EXPECT_EQ(RunCli({"get", "--port", "COM1", "--value", name}).out, "not set\n");
    EXPECT_EQ(RunCli({"set", "--port", "COM1", "--quiet", name + "=press-7"}).rc, 0);
    // A name the unit asks for without "Change ... ?" keeps it on nothing: refused before a key.
    const ProgramResult ssid = RunCli({"set", "--port", "COM1", "--quiet", "WLAN.Network_name="});
    EXPECT_EQ(ssid.rc, 2);
    EXPECT_NE(ssid.err.find("WLAN network name (SSID) cannot be made empty"), std::string::npos) << ssid.err;
  }
  // Older firmware keeps it: that is said, and the write that changed nothing leaves no backup
  // in the way of the last real change's.
  SimProcess sim(1, State(), {"--unpaced", "--keeps-empty-text"});
  ASSERT_TRUE(sim.Ready());
  const size_t backups = dir.Backups().size();
  for (int attempt = 0; attempt < 2; ++attempt) {
    const ProgramResult r = RunCli({"set", "--port", "COM1", name + "=not set"});
    EXPECT_EQ(r.rc, 6) << r.err;
    EXPECT_NE(r.err.find("DHCP device name (" + name + "): asked \"not set\", the device holds \"press-7\""),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("the unit holds what it held before, so the backup taken before the write is removed"),
              std::string::npos)
        << r.err;
  }
  EXPECT_EQ(dir.Backups().size(), backups);
  EXPECT_EQ(RunCli({"undo", "--port", "COM1", "--dry-run"}).out, name + ": press-7 -> not set\n");
}

TEST_F(CliOnSim, settingsTheDeviceCannotTakeShouldBeRefusedBeforeItIsTouched) {
  SimProcess sim(1, State(), {"--unpaced"});
  ASSERT_TRUE(sim.Ready());
  const std::vector<std::pair<const char*, const char*>> files = {
      {"<Expert><MTU_Size>200</MTU_Size><CPU_performance>2</CPU_performance></Expert>", "outside the device's range"},
      {"<WLAN><Network_name>\xE6\x97\xA5\xE6\x9C\xAC</Network_name></WLAN>", "windows-1250"},
      {"<Expert><MTU_Sise>1000</MTU_Sise></Expert>", "unknown setting Expert/MTU_Sise"},
  };
  for (const auto& [body, why] : files) {
    const std::string path =
        File("bad.xml", std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><xml>") + body + "</xml>");
    const std::string log = dir.Path() + "/log";
    const ProgramResult r = RunCli({"apply", "--port", "COM1", "--quiet", "--log", log, path});
    EXPECT_EQ(r.rc, 5) << body;
    EXPECT_NE(r.err.find(why), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(log)) << "the port was never opened";
  }
  const std::string ssid = File("w.xml",
                                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                "<xml><WLAN><Network_name>B\xC3\xBCro-\xC5\xBDilina</Network_name></WLAN></xml>");
  const ProgramResult r = RunCli({"apply", "--port", "COM1", "--quiet", ssid});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(LoadState(State()).Get("WLAN", "Network_name"), "B\xFCro-\x8Eilina") << "stored in windows-1250";
}

TEST_F(CliOnSim, badSettingsFileShouldChangeNothing) {
  SimProcess sim(5, State(), {"--unpaced"});
  ASSERT_TRUE(sim.Ready());
  const std::string bad = File("bad.xml", "<xml><basic_parameters>");
  ProgramResult r = RunCli({"apply", "--port", "COM5", "--quiet", bad});
  EXPECT_EQ(r.rc, 5);
  EXPECT_NE(r.err.find("bad.xml"), std::string::npos);
  EXPECT_EQ(r.err.find("bad.xml"), r.err.rfind("bad.xml")) << "the path once: " << r.err;
  r = RunCli({"apply", "--port", "COM5", "--quiet", dir.Path()});
  EXPECT_EQ(r.rc, 5);
  EXPECT_NE(r.err.find("is a folder"), std::string::npos) << r.err;
  // Output files are checked before the device is touched.
  const std::string good = File("good.xml", "<xml><Channel_1><Baudrate>38400</Baudrate></Channel_1></xml>");
  r = RunCli({"apply", "--port", "COM5", "--quiet", "-o", dir.Path() + "/no/such/folder.xml", good});
  EXPECT_EQ(r.rc, 5) << r.err;
  r = RunCli({"read", "--port", "COM5", "--quiet", "--log", dir.Path() + "/no/such/folder.log"});
  EXPECT_EQ(r.rc, 5) << r.err;
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
  EXPECT_NE(r.err.find("Writing the network settings failed"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(State()));
}

TEST_F(CliOnSim, defaultsShouldStoreOnlyWhenAsked) {
  {
    SimProcess sim(5, State(), {"--unpaced"});
    ASSERT_TRUE(sim.Ready());
    const std::string settings = File("w.xml", "<xml><Channel_1><Baudrate>38400</Baudrate></Channel_1></xml>");
    ASSERT_EQ(RunCli({"apply", "--port", "COM5", "--quiet", settings}).rc, 0);
    ASSERT_EQ(LoadState(State()).Get("Channel_1", "Baudrate"), "38400");

    const ProgramResult r = RunCli({"defaults", "--port", "COM5", "--quiet"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(LoadState(State()).Get("Channel_1", "Baudrate"), "38400") << "not stored without --store";
    EXPECT_NE(r.err.find("nothing on the device changed"), std::string::npos) << "even with --quiet: " << r.err;
    EXPECT_EQ(r.err.find("restored"), std::string::npos) << r.err;
    EXPECT_TRUE(std::regex_search(
        r.err, std::regex("factory values:\r?\n  Channel_1\\.Baudrate: 38400 -> 9600\r?\nRun \"kavrune-cli")))
        << "named, one a line: " << r.err;
  }
  SimProcess sim(5, State(), {"--unpaced"});
  ASSERT_TRUE(sim.Ready());
  const std::string back = dir.Path() + "/back.xml";
  const ProgramResult r = RunCli({"defaults", "--port", "COM5", "--store", "--quiet", "-o", back});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(LoadState(State()).Get("Channel_1", "Baudrate"), "9600");
  EXPECT_NE(Slurp(back).find("<Baudrate>9600</Baudrate>"), std::string::npos);
}

// Two devices written at once from one backup, then compared, and one changed by name.
TEST_F(CliOnSim, applyToSeveralPortsShouldCloneEachAndSetOnlyWhatIsNamed) {
  SimProcess a(2, dir.Path() + "/a.txt", {"--unpaced"}),
      b(3, dir.Path() + "/b.txt", {"--unpaced", "--mac", "02-00-00-00-00-0B"});
  ASSERT_TRUE(a.Ready() && b.Ready());
  TSimSettings wanted = SimDefaults();
  wanted.Set("Channel_1", "Baudrate", "115200");
  wanted.Set("Security", "Disable_SNMP", "Y");
  const std::string backup = File("backup.xml", DumpDocument(wanted)->SaveToText());
  ProgramResult r =
      RunCli({"apply", "--port", "COM2", "--ports", "COM3", "--quiet", "-o", dir.Path() + "/after.xml", backup});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(r.out.find("COM2\tok\t2 settings changed\t"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("COM3\tok\t2 settings changed\t"), std::string::npos) << r.out;
  EXPECT_EQ(LoadState(dir.Path() + "/a.txt").Sections, wanted.Sections);
  EXPECT_EQ(LoadState(dir.Path() + "/b.txt").Sections, wanted.Sections);
  EXPECT_TRUE(std::filesystem::exists(dir.Path() + "/after-COM3.xml")) << "each port its own file";
  r = RunCli({"read", "--ports", "COM2,COM3", "--quiet", "-o", dir.Path() + "/read.xml"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_TRUE(std::regex_search(r.out, std::regex("COM3\tok\tread \\d+ settings\t"))) << r.out;
  EXPECT_EQ(r.out.find("changed"), std::string::npos) << "a read changes nothing: " << r.out;
  // Each unit's read is named by its port and its MAC address, and holds that unit.
  for (const auto& [port, mac] : {std::pair{"COM2", "02-00-00-8F-1C-2E"}, std::pair{"COM3", "02-00-00-00-00-0B"}}) {
    const std::string read = Slurp(dir.Path() + "/read-" + port + "-" + mac + ".xml");
    EXPECT_NE(read.find(mac), std::string::npos) << port << ": " << read.substr(0, 400);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.Path() + "/read-COM2.xml")) << "never by the port alone";

  r = RunCli({"set", "--port", "COM3", "--quiet", "Channel_1.Baudrate=57600", "basic_parameters.IP_addr=10.9.9.9"});
  ASSERT_EQ(r.rc, 0) << r.err;
  r = RunCli({"diff", "--quiet", "COM2", "COM3"});
  EXPECT_EQ(r.rc, 10);
  EXPECT_EQ(r.out, "basic_parameters.IP_addr: 192.168.1.254 -> 10.9.9.9\nChannel_1.Baudrate: 115200 -> 57600\n");
  EXPECT_EQ(RunCli({"diff", "--quiet", backup, "COM2"}).rc, 0);
}

#ifndef _WIN32
TEST_F(CliOnSim, progressOnATerminalShouldNameEachStepInOrderAndQuietSilenceIt) {
  SimProcess sim(5, State(), {"--unpaced"});
  ASSERT_TRUE(sim.Ready());
  ProgramResult r = RunCliOnTerminal({"set", "--port", "COM5", "Channel_1.Baudrate=57600"});
  ASSERT_EQ(r.rc, 0) << r.err;
  size_t at = 0;
  for (const char* step : {"Reading the settings (", "Writing Channel 1 (section 1 of 1)", "Storing the settings",
                           "Checking the settings (", "1 setting written and confirmed"}) {
    at = r.err.find(step, at);
    EXPECT_NE(at, std::string::npos) << step << " in order, in:\n" << r.err;
  }
  r = RunCliOnTerminal({"set", "--port", "COM5", "--quiet", "Channel_1.Baudrate=38400"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.err, "");
}
#endif

TEST_F(CliOnSim, faultsOnTheLineShouldEndWithTheirOwnStatusAndSayWhat) {
  const std::string out = dir.Path() + "/read.xml";
  {
    SimProcess sim(5, "", {"--unpaced", "--fault", "noise"});
    ASSERT_TRUE(sim.Ready());
    const ProgramResult r = RunCli({"read", "--port", "COM5", "--quiet", "-o", out});
    EXPECT_EQ(r.rc, 7) << r.err;
    EXPECT_NE(r.err.find("  line "), std::string::npos) << r.err;
    EXPECT_NE(Slurp(out).find("<basic_parameters>"), std::string::npos) << "what was read is kept";
  }
  SimProcess sim(5, "", {"--unpaced", "--fault", "hangup-mid-dump"});
  ASSERT_TRUE(sim.Ready());
  const ProgramResult r = RunCli({"read", "--port", "COM5", "--quiet", "--timeout", "20"});
  EXPECT_EQ(r.rc, 3) << r.err;
  EXPECT_NE(r.err.find("the connection was lost during the read"), std::string::npos) << r.err;
}

TEST_F(CliOnSim, transcriptsShouldNeverHoldAChannelPassword) {
  const std::string secret = "Zebra42secret";
  const std::string settings = File(
      "w.xml", "<xml><Channel_1><DisConnMode>10</DisConnMode><Password>" + secret + "</Password></Channel_1></xml>");
  {
    SimProcess sim(5, State(), {"--unpaced", "--log", SimProcess::UnixPath(dir.Path() + "/sim-apply.log")});
    ASSERT_TRUE(sim.Ready());
    const ProgramResult r =
        RunCli({"apply", "--port", "COM5", "--quiet", "--log", dir.Path() + "/apply.log", settings});
    ASSERT_EQ(r.rc, 0) << r.err;
    ASSERT_EQ(LoadState(State()).Get("Channel_1", "Password"), secret);
  }
  // At the line's own pace the dump line with the password arrives in pieces.
  SimProcess sim(5, State(), {"--boot-window-ms", "300", "--log", SimProcess::UnixPath(dir.Path() + "/sim-read.log")});
  ASSERT_TRUE(sim.Ready());
  const ProgramResult r = RunCli({"read", "--port", "COM5", "--quiet", "--log", dir.Path() + "/read.log"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(r.out.find(secret), std::string::npos) << "the settings document itself keeps it";
  for (const char* name : {"apply.log", "read.log", "sim-apply.log", "sim-read.log"}) {
    const std::string log = Slurp(dir.Path() + "/" + name);
    EXPECT_NE(log.find("Password"), std::string::npos) << name;
    EXPECT_EQ(log.find("Zebra42"), std::string::npos) << name << ":\n" << log;
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](char c) { return (c < 32 && c != '\n') || c == 127; }), 0)
        << name << " is plain text";
  }
}

// The field's unit echoes a password in clear; the bundle is stored, so every byte of its files
// is there to be searched.
TEST_F(CliOnSim, bundleShouldHoldTheDialogueAndTheUnitAndNoPassword) {
  SimProcess sim(5, State(), {"--unpaced", "--variant", "field"});
  ASSERT_TRUE(sim.Ready());
  const std::string bundle = dir.Path() + "/bug.zip";
  const ProgramResult r = RunCli({"set", "--port", "COM5", "--quiet", "--bundle", bundle, "Channel_1.Baudrate=57600",
                                  "basic_parameters.Enter_new_Password=Zebra42secret"});
  ASSERT_EQ(r.rc, 0) << r.err;
  const std::string zip = Slurp(bundle);
  EXPECT_EQ(zip.find("Zebra42"), std::string::npos);
  for (const char* part :
       {"report.txt", "transcript.txt", "Tool:        kavrune-cli", "Exit status: 0", "02-00-00-8F-1C-2E", "V6.7.0.2",
        "KV-200 rev C", ">> 57600<CR>", "Enter_new_Password=********", ">> ********<CR>"})
    EXPECT_NE(zip.find(part), std::string::npos) << part;
#ifndef _WIN32
  // Read back by another program's zip reader, where the machine has one.
  const ProgramResult check = RunProgram(
      "/bin/sh",
      {"-c",
       "if command -v unzip >/dev/null; then unzip -tq \"$0\"; elif command -v python3 >/dev/null; then "
       "python3 -c 'import sys, zipfile; sys.exit(zipfile.ZipFile(sys.argv[1]).testzip() is not None)' \"$0\"; "
       "else exit 77; fi",
       bundle},
      dir.Path());
  if (check.rc != 77) {
    EXPECT_EQ(check.rc, 0) << check.out << check.err;
  }
#endif
}

#ifndef _WIN32
// Ctrl-C while two paced devices are half-way through their menus: each walk stops, each device
// leaves Setup Mode without storing, and the tool ends with 130.
TEST_F(CliOnSim, ctrlCDuringAnApplyShouldLeaveEveryDeviceWithoutStoring) {
  const std::string logA = dir.Path() + "/a.log", logB = dir.Path() + "/b.log";
  SimProcess a(2, dir.Path() + "/a.txt", {"--boot-window-ms", "300", "--log", logA});
  SimProcess b(3, dir.Path() + "/b.txt", {"--boot-window-ms", "300", "--log", logB});
  ASSERT_TRUE(a.Ready() && b.Ready());
  TSimSettings wanted = SimDefaults();
  for (const char* channel : {"Channel_1", "Channel_2"}) wanted.Set(channel, "Baudrate", "38400");
  wanted.Set("basic_parameters", "IP_Address", "10.9.9.9");
  wanted.Set("Security", "Disable_SNMP", "Y");
  const std::string settings = File("w.xml", DumpDocument(wanted)->SaveToText());

  const std::string err = dir.Path() + "/cli.err";
  const pid_t cli = fork();
  if (cli == 0) {
    const int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 2);
    execl(KAVRUNE_CLI_PATH, KAVRUNE_CLI_PATH, "apply", "--ports", "COM2,COM3", settings.c_str(), nullptr);
    _exit(127);
  }
  // The signal goes out once both devices show a menu being walked.
  auto walking = [](const std::string& log) { return Slurp(log).find("-- menu ") != std::string::npos; };
  for (int i = 0; i < 3000 && !(walking(logA) && walking(logB)); ++i) ::poll(nullptr, 0, 10);
  ASSERT_TRUE(walking(logA) && walking(logB));
  ::kill(cli, SIGINT);
  int status = 0;
  ::waitpid(cli, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << status << "\n" << Slurp(err);
  for (const std::string& log : {logA, logB}) {
    const std::string text = Slurp(log);
    EXPECT_NE(text.find("-- exit without save"), std::string::npos) << text;
    EXPECT_EQ(text.find("-- store"), std::string::npos) << text;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.Path() + "/a.txt") || std::filesystem::exists(dir.Path() + "/b.txt"));
  const std::string said = Slurp(err);
  EXPECT_NE(said.find("COM2: stopped on request"), std::string::npos) << said;
  EXPECT_NE(said.find("COM3: stopped on request"), std::string::npos) << said;
  EXPECT_NE(said.find("Nothing was stored"), std::string::npos) << said;
  // Nothing stored, so no backup for undo to take: it would only hide the write before.
  EXPECT_EQ(dir.Backups(), std::vector<std::string>());
}
#endif
