// kavrune-sim: a kaVRUNE device on a pseudo-terminal, for trying the engine without hardware.
//
// Power-on follows the opening of the port. The simulator never keeps the slave side open itself:
// after openpty() the slave descriptor is closed at once, so the kernel reports POLLHUP on the
// master for as long as nobody has the slave open. When POLLHUP goes away a client has opened the
// port; only a client that keeps it open for 50 ms powers the device on, so a port picker that
// opens and closes the port to see whether it is free does not boot the device. When the last
// client closes the slave, POLLHUP returns and the device is off until the next open (or "power").

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>

#include "AfComNames.h"
#include "SimDevice.h"
#include "uTranscript.h"

namespace {

using TClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kOpenHold = 50ms;
constexpr auto kHangupPoll = 10ms;

class TFd final {
public:
  explicit TFd(int fd = -1) : m_Fd(fd) {}
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  ~TFd() { Reset(); }
  int Get() const { return m_Fd; }
  int Release() { return std::exchange(m_Fd, -1); }
  void Reset(int fd = -1) {
    if (m_Fd >= 0) ::close(m_Fd);
    m_Fd = fd;
  }

private:
  int m_Fd;
};

struct TArgs {
  int Com = 0;
  std::string Link;
  long Baud = 9600;
  bool Unpaced = false;
  std::string State;
  std::string Log;
  TSimFault Fault = TSimFault::None;
  long BootWindowMs = 3000;
  bool PowerOnStart = false;
  bool ControlStdin = false;
  long JitterMs = 0;
  long Seed = 1;
  bool Echo = false;
};

constexpr const char* kUsage =
    "usage: kavrune-sim [--com N | --link PATH] [--baud B] [--unpaced] [--state FILE] [--log FILE]\n"
    "                   [--fault silent|no-menu|hangup-mid-dump|noise|chatter|refuse-answers]\n"
    "                   [--boot-window-ms MS] [--power-on-start] [--control-stdin]\n"
    "                   [--jitter MS] [--seed N] [--echo]\n";

void Help() {
  std::cout << "kavrune-sim: a kaVRUNE device on a pseudo-terminal, published as COM N.\n"
            << kUsage
            << "  --com N            publish the port as comN in $KAVRUNE_COM_DIR (default ~/.config/kavrune/com)\n"
               "  --link PATH        publish the port under PATH instead\n"
               "  --baud B           pace the output at the character time of B baud (default 9600)\n"
               "  --unpaced          no pacing\n"
               "  --state FILE       settings kept across runs, written when the device stores\n"
               "  --log FILE         a transcript of the line\n"
               "  --fault F          misbehave as the named fault\n"
               "  --boot-window-ms   how long \"Press Enter for Setup Mode\" is offered (default 3000)\n"
               "  --power-on-start   power the device on at once, without waiting for a client\n"
               "  --jitter MS        output in bursts with random pauses of up to MS between them\n"
               "  --seed N           seed of the pauses (default 1): the same seed, the same pauses\n"
               "  --echo             the line echoes every byte sent to the device at once\n"
               "  --control-stdin    read commands from standard input, one a line:\n"
               "                     \"power\" (power cycle), \"quit\"\n"
               "It prints the pseudo-terminal's path, then \"ready\", and runs until SIGINT or SIGTERM\n"
               "(or \"quit\"). The end of standard input stops nothing.\n";
  std::exit(0);
}

[[noreturn]] void Usage(const std::string& problem) {
  std::cerr << "kavrune-sim: " << problem << "\n" << kUsage;
  std::exit(2);
}

long NumberArg(const char* text, const char* option) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno || !end || *end || v < 0) Usage(std::string("bad number for ") + option);
  return v;
}

TArgs ParseArgs(int argc, char** argv) {
  TArgs a;
  for (int i = 1; i < argc; ++i) {
    const std::string opt = argv[i];
    auto next = [&]() -> const char* {
      if (i + 1 >= argc) Usage("missing value for " + opt);
      return argv[++i];
    };
    if (opt == "--com") a.Com = static_cast<int>(NumberArg(next(), "--com"));
    else if (opt == "--link") a.Link = next();
    else if (opt == "--baud") a.Baud = NumberArg(next(), "--baud");
    else if (opt == "--unpaced") a.Unpaced = true;
    else if (opt == "--state") a.State = next();
    else if (opt == "--log") a.Log = next();
    else if (opt == "--fault") {
      const char* word = next();
      if (!SimParseFault(word, a.Fault)) Usage(std::string("unknown fault ") + word);
    } else if (opt == "--boot-window-ms") a.BootWindowMs = NumberArg(next(), "--boot-window-ms");
    else if (opt == "--power-on-start") a.PowerOnStart = true;
    else if (opt == "--control-stdin") a.ControlStdin = true;
    else if (opt == "--jitter") a.JitterMs = NumberArg(next(), "--jitter");
    else if (opt == "--seed") a.Seed = NumberArg(next(), "--seed");
    else if (opt == "--echo") a.Echo = true;
    else if (opt == "--help" || opt == "-h") Help();
    else Usage("unknown option " + opt);
  }
  if (a.Com && !a.Link.empty()) Usage("--com and --link exclude each other");
  if (a.Baud <= 0) Usage("baud rate must be positive");
  return a;
}

void MakeDirectories(const std::string& path) {
  for (std::size_t pos = 1; pos != std::string::npos;) {
    pos = path.find('/', pos + 1);
    const std::string part = path.substr(0, pos);
    if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
      throw std::runtime_error("Cannot create directory " + part + ": " + std::strerror(errno));
  }
}

// The published name of the port; replaced atomically so a reader never sees it missing.
class TLink final {
public:
  explicit TLink(std::string path) : m_Path(std::move(path)) {}
  TLink(const TLink&) = delete;
  TLink& operator=(const TLink&) = delete;
  ~TLink() {
    if (!m_Path.empty()) ::unlink(m_Path.c_str());
  }
  void Publish(const std::string& target) {
    if (m_Path.empty()) return;
    const std::string temp = m_Path + ".new" + std::to_string(::getpid());
    ::unlink(temp.c_str());
    if (::symlink(target.c_str(), temp.c_str()) != 0 || ::rename(temp.c_str(), m_Path.c_str()) != 0)
      throw std::runtime_error("Cannot publish " + m_Path + ": " + std::strerror(errno));
  }

private:
  std::string m_Path;
};

int g_SignalPipe[2] = {-1, -1};

extern "C" void OnSignal(int) {
  const char b = 1;
  [[maybe_unused]] auto r = ::write(g_SignalPipe[1], &b, 1);
}

std::string OpenPseudoTerminal(TFd& master) {
  int m = -1, s = -1;
  char name[256] = {};
  termios raw{};
  cfmakeraw(&raw);
  raw.c_cflag |= CLOCAL | CREAD;
  if (::openpty(&m, &s, name, &raw, nullptr) != 0)
    throw std::runtime_error(std::string("Cannot open a pseudo-terminal: ") + std::strerror(errno));
  ::close(s);  // see the top of this file: an open slave of our own would hide the client's opens
  tcsetattr(m, TCSANOW, &raw);
  ::fcntl(m, F_SETFL, ::fcntl(m, F_GETFL) | O_NONBLOCK);
  ::fcntl(m, F_SETFD, FD_CLOEXEC);
  master.Reset(m);
  return name;
}

bool SlaveClosed(int master) {
  pollfd p{master, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & POLLHUP);
}

}  // namespace

int main(int argc, char** argv) {
  const TArgs args = ParseArgs(argc, argv);
  try {
    ::signal(SIGPIPE, SIG_IGN);
    if (::pipe2(g_SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("Cannot create a pipe");
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);

    std::string linkPath = args.Link;
    if (args.Com > 0) {
      const std::string dir = ComLinkDirectory();
      MakeDirectories(dir);
      linkPath = dir + "/com" + std::to_string(args.Com);
    }

    std::optional<TTranscript> log;
    if (!args.Log.empty()) {
      log.emplace(args.Log);
      if (!log->IsOpen()) throw std::runtime_error("Cannot open log file " + args.Log);
    }
    auto event = [&log](const std::string& text) {
      if (log) log->Event(text);
    };
    auto bytes = [&log](bool fromClient, std::string_view data) {
      if (log) log->Record(fromClient, std::string(data));
    };
    TFd master;
    std::string slave = OpenPseudoTerminal(master);
    TLink link(linkPath);
    link.Publish(slave);

    const auto charTime = args.Unpaced ? std::chrono::microseconds(0)
                                       : std::chrono::microseconds(10'000'000 / args.Baud);
    TSimSettings stored = args.State.empty() ? SimDefaults() : LoadState(args.State);
    TSimDevice device(std::move(stored),
                      {args.Fault, std::chrono::milliseconds(args.BootWindowMs), charTime, args.Echo});
    device.OnEvent = [&](const std::string& e) { event(e); };
    if (!args.State.empty()) device.OnStore = [&](const TSimSettings& s) { SaveState(s, args.State); };

    std::cout << slave << "\n" << std::flush;
    std::cout << "ready\n" << std::flush;

    bool open = !SlaveClosed(master.Get());
    bool powered = false;  // powered on for the current open of the slave
    auto openSince = TClock::now();
    if (args.PowerOnStart) {
      device.PowerOn(TClock::now());
      powered = true;
    }
    auto nextChar = TClock::now();
    // Bursts: after each write the output is held for a random pause; what fell due meanwhile
    // goes out in one write, as from a device that prints in spurts or an adapter that packs.
    const auto jitter = std::chrono::milliseconds(args.JitterMs);
    std::mt19937 jitterRng(static_cast<std::mt19937::result_type>(args.Seed));
    auto holdUntil = TClock::time_point{};
    std::string control;
    constexpr auto kNever = TClock::time_point::max();
    auto hangupDue = kNever;
    bool running = true;
    // Standard input is read only when asked: a simulator started in the background of a shell
    // would otherwise be stopped by the terminal, and one started from a script would see EOF.
    int controlFd = args.ControlStdin ? STDIN_FILENO : -1;

    while (running) {
      const auto now = TClock::now();

      // Follow the slave's open state.
      const bool closed = SlaveClosed(master.Get());
      if (closed && open) {
        open = false;
        powered = false;
        device.PowerOff();
        event("port closed");
      } else if (!closed && !open) {
        open = true;
        openSince = now;
        event("port opened");
      }
      if (open && !powered && now - openSince >= kOpenHold) {
        tcflush(master.Get(), TCIOFLUSH);  // what came while the device was off is lost
        device.PowerOn(now);
        powered = true;
      }

      device.Tick(now);

      // Output, paced at the line's character time.
      if (open && !device.Pending().empty() && now >= holdUntil) {
        std::size_t due = device.Pending().size();
        if (charTime.count() > 0) {
          if (nextChar < now - 20ms - jitter) nextChar = now;  // idle time does not bank characters
          due = now >= nextChar ? 1 + static_cast<std::size_t>((now - nextChar) / charTime) : 0;
          due = std::min(due, device.Pending().size());
        } else if (jitter.count() > 0) {
          due = 1 + jitterRng() % std::min<std::size_t>(due, 256);
        }
        if (auto h = device.HangupAfter()) due = std::min(due, *h);
        if (due > 0) {
          const ssize_t n = ::write(master.Get(), device.Pending().data(), due);
          if (n > 0) {
            bytes(false, std::string_view(device.Pending().data(), static_cast<std::size_t>(n)));
            device.Consume(static_cast<std::size_t>(n));
            nextChar += charTime * n;
            if (jitter.count() > 0)
              holdUntil = now + std::chrono::microseconds(jitterRng() % (1000 * static_cast<unsigned>(jitter.count()) + 1));
          }
        }
      } else if (!open && !device.Pending().empty()) {
        device.Consume(device.Pending().size());  // nobody listens
      }
      const bool holding = device.HangupAfter() && *device.HangupAfter() == 0;
      if (holding && hangupDue == kNever) hangupDue = now + 100ms;  // what is on the line reaches the client first
      if (!open) hangupDue = kNever;
      if (hangupDue != kNever && now >= hangupDue) {
        // The line goes dead under the client; a fresh port takes the published name.
        hangupDue = kNever;
        event("hangup");
        device.HangupDone();
        device.PowerOff();
        // The fresh port is published before the old one dies, so a client that reopens the
        // name as soon as it sees the hangup finds the new port.
        TFd fresh;
        slave = OpenPseudoTerminal(fresh);
        link.Publish(slave);
        master.Reset(fresh.Release());
        open = false;
        powered = false;
        event("new port " + slave);
        continue;
      }

      // How long to wait for input.
      auto wait = 1000ms;
      auto until = [&](TClock::time_point t) {
        auto d = std::chrono::duration_cast<std::chrono::milliseconds>(t - now) + 1ms;
        wait = std::min(wait, std::max(d, 0ms));
      };
      if (open && !device.Pending().empty() && !holding) until(std::max(charTime.count() ? nextChar : now, holdUntil));
      if (auto d = device.NextDeadline()) until(*d);
      if (hangupDue != kNever) until(hangupDue);
      if (device.Mode() == TSimMode::Chatter) wait = std::min<std::chrono::milliseconds>(wait, 10ms);
      if (!open || (open && !powered)) wait = std::min<std::chrono::milliseconds>(wait, kHangupPoll);

      pollfd fds[3] = {{g_SignalPipe[0], POLLIN, 0}, {controlFd, POLLIN, 0}, {open ? master.Get() : -1, POLLIN, 0}};
      if (control.size() > 4096) control.clear();
      const int r = ::poll(fds, 3, static_cast<int>(wait.count()));
      if (r < 0) {
        if (errno == EINTR) continue;
        throw std::runtime_error(std::string("poll: ") + std::strerror(errno));
      }
      if (fds[0].revents) break;  // SIGINT or SIGTERM
      if (fds[1].revents) {
        char buf[256];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
          controlFd = -1;  // the end of the control input leaves the device running
          continue;
        }
        if (n < 0) continue;
        control.append(buf, static_cast<std::size_t>(n));
        for (auto nl = control.find('\n'); nl != std::string::npos; nl = control.find('\n')) {
          std::string cmd = control.substr(0, nl);
          control.erase(0, nl + 1);
          while (!cmd.empty() && (cmd.back() == '\r' || cmd.back() == ' ')) cmd.pop_back();
          if (cmd == "quit") running = false;
          else if (cmd == "power") {
            event("power command");
            device.PowerOn(TClock::now());
            powered = true;
          } else if (!cmd.empty()) std::cerr << "kavrune-sim: unknown command " << cmd << "\n";
        }
      }
      if (fds[2].revents & POLLIN) {
        char buf[512];
        const ssize_t n = ::read(master.Get(), buf, sizeof buf);
        if (n > 0) {
          bytes(true, std::string_view(buf, static_cast<std::size_t>(n)));
          if (powered) device.Receive(std::string_view(buf, static_cast<std::size_t>(n)), TClock::now());
        }
      }
    }
    event("exit");
  } catch (const std::exception& e) {
    std::cerr << "kavrune-sim: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
