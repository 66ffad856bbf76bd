// The simulator program on a real pseudo-terminal: the port is opened through the published link,
// as the engine and a terminal program open it.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "SimModel.h"
#include "TestPlatform.h"

namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

std::string TempDirectory() {
  std::string pattern = ::testing::TempDir() + "kavrune-sim-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  const char* dir = ::mkdtemp(buf.data());
  return dir ? dir : "";
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// One simulator process, spawned from the built binary named by KAVRUNE_SIM.
class TSimProcess final {
 public:
  explicit TSimProcess(std::vector<std::string> args, std::vector<std::string> env = {}) {
    const char* sim = std::getenv("KAVRUNE_SIM");
    if (!sim || !*sim) sim = KAVRUNE_SIM_BUILT;
    Dir = TempDirectory();
    Link = Dir + "/com1";
    Log = Dir + "/log";
    args.insert(args.begin(), {sim, "--log", Log, "--control-stdin"});
    if (std::find(args.begin(), args.end(), "--com") == args.end()) args.insert(args.begin() + 1, {"--link", Link});
    int in[2], out[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0) throw std::runtime_error("pipe");
    m_Pid = ::fork();
    if (m_Pid == 0) {
      ::dup2(in[0], STDIN_FILENO);
      ::dup2(out[1], STDOUT_FILENO);
      ::close(in[1]);
      ::close(out[0]);
      for (auto& e : env) ::putenv(e.data());
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    m_Stdin = in[1];
    m_Stdout = out[0];
    Slave = ReadStdoutLine();
    Ready = ReadStdoutLine();
  }
  TSimProcess(const TSimProcess&) = delete;
  TSimProcess& operator=(const TSimProcess&) = delete;
  ~TSimProcess() {
    CloseStdin();
    if (m_Pid > 0) Signal(SIGTERM);
    Wait();
    ::close(m_Stdout);
  }
  void Command(const std::string& line) {
    [[maybe_unused]] auto n = ::write(m_Stdin, (line + "\n").data(), line.size() + 1);
  }
  void CloseStdin() {
    if (m_Stdin >= 0) ::close(std::exchange(m_Stdin, -1));
  }
  void Signal(int sig) { ::kill(m_Pid, sig); }
  int Wait() {
    if (m_Pid <= 0) return m_Status;
    for (int i = 0; i < 300; ++i) {
      if (::waitpid(m_Pid, &m_Status, WNOHANG) == m_Pid) {
        m_Pid = -1;
        return m_Status;
      }
      std::this_thread::sleep_for(10ms);
    }
    ::kill(m_Pid, SIGKILL);
    ::waitpid(m_Pid, &m_Status, 0);
    m_Pid = -1;
    return m_Status;
  }

  std::string Dir, Link, Log, Slave, Ready;

 private:
  std::string ReadStdoutLine() {
    std::string line;
    char c;
    while (::read(m_Stdout, &c, 1) == 1 && c != '\n') line += c;
    return line;
  }
  pid_t m_Pid = -1;
  int m_Stdin = -1, m_Stdout = -1, m_Status = 0;
};

// The client's end of the line, opened the way a serial port is opened.
class TPort final {
 public:
  explicit TPort(const std::string& path) {
    m_Fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_Fd < 0) throw std::runtime_error("cannot open " + path);
    termios t{};
    ::tcgetattr(m_Fd, &t);
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    ::tcsetattr(m_Fd, TCSANOW, &t);
  }
  TPort(const TPort&) = delete;
  TPort& operator=(const TPort&) = delete;
  ~TPort() { ::close(m_Fd); }
  void Send(const std::string& text) { ASSERT_EQ(::write(m_Fd, text.data(), text.size()), ssize_t(text.size())); }
  // Everything received until the text arrives or the time runs out.
  std::string ReadUntil(const std::string& text, std::chrono::milliseconds limit = 3000ms) {
    std::string got;
    const auto end = TClock::now() + limit;
    while (TClock::now() < end && (text.empty() || got.find(text) == std::string::npos)) {
      pollfd p{m_Fd, POLLIN, 0};
      if (::poll(&p, 1, 10) > 0 && (p.revents & POLLIN)) {
        char buf[1024];
        const ssize_t n = ::read(m_Fd, buf, sizeof buf);
        if (n <= 0) {
          Broken = true;
          break;
        }
        got.append(buf, static_cast<std::size_t>(n));
      } else if (p.revents & (POLLHUP | POLLERR)) {
        Broken = true;
        break;
      }
    }
    return got;
  }
  std::string ReadFor(std::chrono::milliseconds period) { return ReadUntil("", period); }
  bool Broken = false;

 private:
  int m_Fd = -1;
};

std::string EnterSetupMode(TPort& port) {
  port.ReadUntil("Press Enter for Setup Mode");
  port.Send("\r");
  return port.ReadUntil("Your choice ? ");
}

TEST(SimOnPty, shouldPublishTheSlaveAndPrintItsPathFirst) {
  TSimProcess sim({"--unpaced"});
  EXPECT_EQ(sim.Slave.rfind("/dev/pts/", 0), 0u) << sim.Slave;
  EXPECT_EQ(sim.Ready, "ready");
  char target[256] = {};
  ASSERT_GT(::readlink(sim.Link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(sim.Slave, target);
  sim.Signal(SIGTERM);
  EXPECT_EQ(WEXITSTATUS(sim.Wait()), 0);
  EXPECT_NE(::access(sim.Link.c_str(), F_OK), 0) << "the link outlives the simulator";
}

TEST(SimOnPty, shouldPublishComNumbersInTheComDirectory) {
  const std::string dir = TempDirectory() + "/nested/com";
  TSimProcess sim({"--com", "7", "--unpaced"}, {"KAVRUNE_COM_DIR=" + dir});
  char target[256] = {};
  ASSERT_GT(::readlink((dir + "/com7").c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(sim.Slave, target);
  sim.Command("quit");
  sim.Wait();
  EXPECT_NE(::access((dir + "/com7").c_str(), F_OK), 0);
}

TEST(SimOnPty, shouldKeepRunningAfterTheEndOfItsInput) {
  TSimProcess sim({"--unpaced"});
  sim.CloseStdin();
  TPort port(sim.Link);
  EXPECT_NE(EnterSetupMode(port).find("*** basic parameters"), std::string::npos);
}

TEST(SimOnPty, shouldOfferSetupModeAndAnswerOtherKeysWithBells) {
  TSimProcess sim({"--unpaced"});
  TPort port(sim.Link);
  EXPECT_NE(port.ReadUntil("Press Enter for Setup Mode").find("Press Enter for Setup Mode"), std::string::npos);
  port.Send("xxxxx");
  EXPECT_EQ(port.ReadFor(200ms), "\a\a\a\a\a");
}

TEST(SimOnPty, shouldPrintTheWholeDumpAndTheRootMenuOnEnter) {
  TSimProcess sim({"--unpaced"});
  TPort port(sim.Link);
  for (int round = 0; round < 2; ++round) {
    const std::string dump = round == 0 ? EnterSetupMode(port) : (port.Send("\r"), port.ReadUntil("Your choice ? "));
    std::size_t last = 0;
    for (const char* heading : {"*** basic parameters", "*** Channel 1", "*** Channel 2", "*** E-mail", "*** WLAN",
                                "*** Expert", "*** Security", "9 Save and exit", "Your choice ? "}) {
      const auto at = dump.find(heading);
      ASSERT_NE(at, std::string::npos) << heading;
      EXPECT_GT(at, last) << heading << " out of order";
      last = at;
    }
    EXPECT_EQ(dump.find("3 "), std::string::npos) << "choice 3 is offered";
  }
}

TEST(SimOnPty, shouldFallSilentAfterTheOfferWindowUntilPoweredAgain) {
  TSimProcess sim({"--unpaced", "--boot-window-ms", "200"});
  TPort port(sim.Link);
  port.ReadUntil("Press Enter for Setup Mode");
  std::this_thread::sleep_for(400ms);
  port.Send("\rxx");
  EXPECT_EQ(port.ReadFor(300ms), "");
  sim.Command("power");
  EXPECT_NE(EnterSetupMode(port).find("*** basic parameters"), std::string::npos);
}

TEST(SimOnPty, shouldNotPowerOnForAShortProbe) {
  TSimProcess sim({"--unpaced"});
  { TPort probe(sim.Link); }
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(ReadFile(sim.Log).find("power-on"), std::string::npos) << ReadFile(sim.Log);
  TPort port(sim.Link);
  EXPECT_NE(port.ReadUntil("Press Enter for Setup Mode").find("Press Enter"), std::string::npos);
}

TEST(SimOnPty, shouldPaceOutputAtTheCharacterTime) {
  TSimProcess sim({"--baud", "9600"});
  TPort port(sim.Link);
  port.ReadUntil("kaVRUNE");
  const auto start = TClock::now();
  const std::string rest = port.ReadUntil("Setup Mode ");
  // about 1 ms a character at 9600 baud
  EXPECT_GE(TClock::now() - start, std::chrono::microseconds(800 * rest.size()));
}

TEST(SimOnPty, shouldWalkTheServerMenuByHandAndReaskARefusedAnswer) {
  TSimProcess sim({"--unpaced"});
  TPort port(sim.Link);
  EnterSetupMode(port);
  port.Send("0\r");
  EXPECT_NE(port.ReadUntil(" ? ").find("IP Address (192.168.1.254) ? "), std::string::npos);
  for (const char* octet : {"10\r", "0\r", "0\r"}) {
    port.Send(octet);
    EXPECT_NE(port.ReadUntil(") ").find(") "), std::string::npos);
  }
  port.Send("7\r");
  EXPECT_NE(port.ReadUntil(" ? ").find("Set Gateway IP Address (N) ? "), std::string::npos);
  port.Send("N");
  EXPECT_NE(port.ReadUntil(" ? ").find("Netmask"), std::string::npos);
  port.Send("\r");
  EXPECT_NE(port.ReadUntil(" ? ").find("Network mode"), std::string::npos);
  port.Send("7\r");
  EXPECT_NE(port.ReadUntil(" ? ").find("Network mode"), std::string::npos) << "a refused answer is not asked again";
  port.Send("0\r");
  EXPECT_NE(port.ReadUntil(" ? ").find("Change telnet config password (N) ? "), std::string::npos);
  port.Send("N");
  port.ReadUntil(" ? ");
  port.Send("N");
  EXPECT_NE(port.ReadUntil("Your choice ? ").find("Your choice ? "), std::string::npos);
  port.Send("\r");
  const std::string dump = port.ReadUntil("Your choice ? ");
  EXPECT_NE(dump.find("IP addr 10.0.0.7, no gateway set, netmask 255.255.255.0"), std::string::npos) << dump;
  EXPECT_NE(dump.find("Network mode: Wired Only"), std::string::npos);
}

void ChangeIpAddress(TPort& port, const std::string& octets) {
  port.Send("0\r" + octets);
  port.ReadUntil("Set Gateway");
  port.Send("\r\r\rNN");
  port.ReadUntil("Your choice ? ");
}

TEST(SimOnPty, shouldLeaveWithoutSavingOnEight) {
  TSimProcess sim({"--unpaced"});
  const std::string state = sim.Dir + "/state";
  TPort port(sim.Link);
  EnterSetupMode(port);
  ChangeIpAddress(port, "10\r1\r2\r3\r");
  port.Send("8\r");
  EXPECT_NE(port.ReadUntil("Exit without save").find("Exit without save"), std::string::npos);
  port.Send("\r");
  EXPECT_EQ(port.ReadFor(200ms), "") << "data mode answers";
  sim.Command("power");
  EXPECT_NE(EnterSetupMode(port).find("IP addr 192.168.1.254"), std::string::npos);
}

TEST(SimOnPty, shouldStoreOnNineAndRestart) {
  TSimProcess sim({"--unpaced", "--state", TempDirectory() + "/state"});
  TPort port(sim.Link);
  EnterSetupMode(port);
  ChangeIpAddress(port, "10\r1\r2\r3\r");
  port.Send("9\r");
  EXPECT_NE(port.ReadUntil("Parameters stored ...").find("Parameters stored ..."), std::string::npos);
  EXPECT_NE(EnterSetupMode(port).find("IP addr 10.1.2.3"), std::string::npos) << "no restart with a new offer";
}

TEST(SimOnPty, shouldWriteTheStateFileOnStoreAndLoadItAtStart) {
  const std::string dir = TempDirectory();
  const std::string state = dir + "/state";
  {
    TSimProcess sim({"--unpaced", "--state", state});
    TPort port(sim.Link);
    EnterSetupMode(port);
    ChangeIpAddress(port, "10\r1\r2\r3\r");
    port.Send("9\r");
    port.ReadUntil("Parameters stored ...");
    EXPECT_EQ(LoadState(state).Get("basic_parameters", "IP_Address"), "10.1.2.3");
  }
  TSimProcess sim({"--unpaced", "--state", state});
  TPort port(sim.Link);
  EXPECT_NE(EnterSetupMode(port).find("IP addr 10.1.2.3"), std::string::npos);
}

TEST(SimOnPty, shouldRestoreDefaultsInMemoryOnSeven) {
  const std::string state = TempDirectory() + "/state";
  TSimSettings s = SimDefaults();
  s.Set("basic_parameters", "IP_Address", "10.9.9.9");
  SaveState(s, state);
  TSimProcess sim({"--unpaced", "--state", state});
  TPort port(sim.Link);
  EXPECT_NE(EnterSetupMode(port).find("IP addr 10.9.9.9"), std::string::npos);
  port.Send("7\r");
  EXPECT_NE(port.ReadUntil("Your choice ? ").find("?"), std::string::npos);
  port.Send("\r");
  EXPECT_NE(port.ReadUntil("Your choice ? ").find("IP addr 192.168.1.254"), std::string::npos);
  EXPECT_EQ(LoadState(state).Get("basic_parameters", "IP_Address"), "10.9.9.9");
}

// help2man takes the synopsis from a line that starts "Usage:".
TEST(SimOnPty, shouldStartItsHelpsSynopsisTheWayHelp2manReadsIt) {
  const char* sim = std::getenv("KAVRUNE_SIM");
  TempDir dir;
  const ProgramResult r = RunProgram(sim && *sim ? sim : KAVRUNE_SIM_BUILT, {"--help"}, dir.Path());
  EXPECT_EQ(r.rc, 0);
  EXPECT_NE(r.out.find("\nUsage: kavrune-sim [--com N"), std::string::npos) << r.out;
}

TEST(SimOnPty, shouldPrintTheMacAndVariantItIsGivenAndRefuseUnknownOnes) {
  {
    TSimProcess sim({"--unpaced", "--variant", "field", "--mac", "02-00-00-00-00-07"});
    TPort port(sim.Link);
    EXPECT_NE(port.ReadUntil("Setup Mode ").find("*** kaVRUNE  MAC 02-00-00-00-00-07\r\n"), std::string::npos);
    port.Send("\r");
    EXPECT_NE(port.ReadUntil("Your choice ? ").find("Change Setup:"), std::string::npos);
  }
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--variant", "fielld"},
                                              {"--model", "wifi"},
                                              {"--fault-after", "x"},
                                              {"--mac", "00-20-4A-8F-1C"},
                                              {"--latency", "-5"}}) {
    TSimProcess sim(bad);
    EXPECT_EQ(sim.Ready, "") << bad[0];
    EXPECT_EQ(WEXITSTATUS(sim.Wait()), 2) << bad[0];
  }
}

// Only a lower bound: a loaded machine makes the answer later still, never earlier.
TEST(SimOnPty, shouldSendTheFirstByteOfAnAnswerNoEarlierThanTheLatency) {
  TSimProcess sim({"--unpaced", "--latency", "300"});
  TPort port(sim.Link);
  port.ReadUntil("Setup Mode ");
  const auto sent = TClock::now();
  port.Send("\r");
  port.ReadUntil("*");
  EXPECT_GE(TClock::now() - sent, 300ms);
}

TEST(SimOnPty, shouldStaySilentWithTheSilentFault) {
  TSimProcess sim({"--unpaced", "--fault", "silent"});
  TPort port(sim.Link);
  port.Send("\rxxxxx");
  EXPECT_EQ(port.ReadFor(300ms), "");
}

TEST(SimOnPty, shouldHangUpPartwayThroughTheDumpAndPublishAFreshPort) {
  TSimProcess sim({"--unpaced", "--fault", "hangup-mid-dump"});
  {
    TPort port(sim.Link);
    port.ReadUntil("Press Enter for Setup Mode");
    port.Send("\r");
    const std::string got = port.ReadUntil("Your choice ? ");
    EXPECT_TRUE(port.Broken);
    EXPECT_NE(got.find("*** basic parameters"), std::string::npos);
    EXPECT_EQ(got.find("Your choice ? "), std::string::npos);
  }
  TPort again(sim.Link);
  EXPECT_NE(again.ReadUntil("Press Enter for Setup Mode").find("Press Enter"), std::string::npos);
}

TEST(SimOnPty, shouldReaskEveryQuestionWithRefuseAnswers) {
  TSimProcess sim({"--unpaced", "--fault", "refuse-answers"});
  TPort port(sim.Link);
  EnterSetupMode(port);
  port.Send("5\r");
  port.ReadUntil(" ? ");
  port.Send("50\r");
  EXPECT_NE(port.ReadUntil(" ? ").find("TCP Keepalive time in s (1s - 65s; 0s=disable) (45) ? "), std::string::npos);
  port.Send("\r");
  EXPECT_NE(port.ReadUntil(" ? ").find("TCP Keepalive time in s (1s - 65s; 0s=disable) (45) ? "), std::string::npos);
}

// A transcript as the tool writes it, with a line end and answers of every kind: a prompt's,
// a single key echoed on the prompt's line, a masked password.
constexpr const char* kRecorded =
    "-- replay: kavrune-cli set basic_parameters.Enter_new_Password=secret\n"
    "-- line end <LF><CR>\n"
    "   0.010 << Press Enter for Setup Mode \n"
    "   0.020 >> <CR>\n"
    "   0.030 << *** basic parameters\n"
    "   0.030 << Your choice ? \n"
    "   0.040 >> 0<CR>\n"
    "   0.041 << 0\n"
    "   0.041 << Change telnet config password (N) ? Y\n"
    "   0.050 >> Y\n"
    "   0.051 << Enter new Password ? \n"
    "   0.060 >> ********<CR>\n"
    "   0.061 << ********\n"
    "   0.062 << Your choice ? \n"
    "   0.070 >> 8<CR>\n"
    "   0.071 << 8\n";

std::string RecordedFile() {
  const std::string path = TempDirectory() + "/transcript.txt";
  std::ofstream(path) << kRecorded;
  return path;
}

TEST(SimReplay, shouldPrintTheRecordedLinesAsTheUnitDidAndTakeTheRecordedKeys) {
  TSimProcess sim({"--replay", RecordedFile()});
  {
    TPort port(sim.Link);
    EXPECT_EQ(port.ReadUntil("Mode "), "Press Enter for Setup Mode ");
    port.Send("\r");
    EXPECT_EQ(port.ReadUntil("choice ? "), "\n\r*** basic parameters\n\rYour choice ? ");
    port.Send("0\r\n");  // the LF of a CR LF is no key of the transcript's
    EXPECT_EQ(port.ReadUntil("(N) ? "), "0\n\rChange telnet config password (N) ? ");
    port.Send("Y");
    EXPECT_EQ(port.ReadUntil("Y"), "Y") << "the echo comes as the key does";
    EXPECT_EQ(port.ReadUntil("Password ? "), "\n\rEnter new Password ? ");
    port.Send("hunter2\r");  // any text for the masked one, echoed a star a key
    EXPECT_EQ(port.ReadUntil("choice ? "), "*******\n\rYour choice ? ");
    port.Send("8\r");
    EXPECT_EQ(port.ReadUntil("\r"), "8\n\r");
  }
  EXPECT_EQ(WEXITSTATUS(sim.Wait()), 0);
  EXPECT_NE(ReadFile(sim.Log).find("matched the recording to its end (5 answers)"), std::string::npos);
}

TEST(SimReplay, shouldStopAtTheFirstDifferenceAndNameItsLine) {
  TSimProcess sim({"--replay", RecordedFile()});
  TPort port(sim.Link);
  port.ReadUntil("Mode ");
  port.Send("\r");
  port.ReadUntil("choice ? ");
  port.Send("9\r");
  EXPECT_EQ(WEXITSTATUS(sim.Wait()), 1);
  EXPECT_NE(ReadFile(sim.Log).find("differs at line 7: expected \">> 0<CR>\", came \"9<CR>\""), std::string::npos)
      << ReadFile(sim.Log);
}

}  // namespace
