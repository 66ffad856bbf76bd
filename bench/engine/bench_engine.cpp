// Read and apply against the simulator paced at 9600 baud, each on a fresh port, so the device
// powers on as the port opens: wall time, the wire time of the dialogue the task needs, their
// ratio, the engine's CPU time, and the tool's own share of the wall time.
//
// The wire time counts what must cross the line at the character time of the baud rate (what
// the device sends, and the last character of each text sent to it): the banner, the dumps the task needs (one for a read; for an apply the dump on waking and the
// one read back), the prompts and answers of the menus whose settings change, the store, and
// the device's own pause while it restarts. A dump or a menu walk beyond that is no part of
// it, so the ratio shows what the engine wastes as well as how slowly it talks.
//
// The tool's share is its reaction time: for every key sent, the time since the device's last
// output before it, and at the end the time from the device's last output to the task's end.
// Everything else is the device's own time (its talking, its restart, its silences), which no
// engine can shorten; the share is given as what it adds to that.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "../BenchCpu.h"
#include "SimProcess.h"
#include "uKaVruneSession.h"
#include "uXmlUtils.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Baud = 9600;

struct TTraced {
  Clock::time_point at;
  bool sent;
  std::string bytes;
};

// The trace of one dialogue and what of it the task needs.
class TDialogue {
 public:
  void Record(bool sent, const std::string& bytes) {
    std::lock_guard g(lock_);
    events_.push_back({Clock::now(), sent, bytes});
  }

  struct TFloor {
    long chars = 0;       // needed characters received, and one for each text sent
    double pauseMs = 0;   // the device's restart
    int dumps = 0;        // dumps heard
    int menus = 0;        // menus walked
    double WireMs() const { return static_cast<double>(chars) * 10000.0 / Baud + pauseMs; }
  };

  // neededDumps: how many dumps the task needs; changed: the menu choices whose settings change.
  TFloor Floor(int neededDumps, const std::set<char>& changed) const {
    std::lock_guard g(lock_);
    TFloor f;
    std::string heard;
    bool inMenu = false, menuNeeded = false, extraDump = false;
    Clock::time_point stored{};
    for (const TTraced& e : events_) {
      if (e.sent) {
        if (!inMenu && e.bytes.size() == 2 && e.bytes[1] == '\r' && std::string("012456").find(e.bytes[0]) != std::string::npos) {
          inMenu = true;
          menuNeeded = changed.count(e.bytes[0]) > 0;
          ++f.menus;
        }
        // Full duplex: what is typed crosses while the device echoes it; only its last
        // character holds the device's answer back.
        if (!inMenu || menuNeeded) ++f.chars;
        continue;
      }
      if (stored != Clock::time_point{}) {
        f.pauseMs += std::chrono::duration<double, std::milli>(e.at - stored).count();
        stored = {};
      }
      for (char c : e.bytes) {
        heard += c;
        auto ends = [&](const char* text) {
          const std::string t = text;
          return heard.size() >= t.size() && heard.compare(heard.size() - t.size(), t.size(), t) == 0;
        };
        if (ends("*** basic parameters") && ++f.dumps > neededDumps) extraDump = true;
        if (!extraDump && (!inMenu || menuNeeded)) ++f.chars;
        if (ends("Your choice ?")) inMenu = extraDump = false;
        if (ends("Parameters stored ...\r\n")) stored = e.at;
      }
    }
    return f;
  }

  struct TShare {
    double ms = 0;  // the tool's reaction time, summed
    int keys = 0;   // texts sent
  };

  TShare Share(Clock::time_point start, Clock::time_point end) const {
    std::lock_guard g(lock_);
    TShare s;
    Clock::time_point heard = start;
    for (const TTraced& e : events_) {
      if (!e.sent) {
        heard = e.at;
        continue;
      }
      s.ms += std::chrono::duration<double, std::milli>(e.at - heard).count();
      ++s.keys;
    }
    s.ms += std::chrono::duration<double, std::milli>(end - heard).count();
    return s;
  }

 private:
  mutable std::mutex lock_;
  std::vector<TTraced> events_;
};

void Report(const char* name, Clock::time_point start, double cpu0, const TDialogue& dialogue,
            const TDialogue::TFloor& f) {
  const auto end = Clock::now();
  const double wall = std::chrono::duration<double, std::milli>(end - start).count();
  const double cpu = (CpuSeconds() - cpu0) * 1000.0;
  const TDialogue::TShare s = dialogue.Share(start, end);
  std::printf(
      "%-26s wall %6.0f ms  wire %6.0f ms  ratio %4.2f  CPU %4.0f ms (%3.1f %%)  tool %5.0f ms (+%4.1f %%, %3d keys, "
      "%4.1f ms each)  dumps %d  menus %d\n",
      name, wall, f.WireMs(), wall / f.WireMs(), cpu, 100.0 * cpu / wall, s.ms, 100.0 * s.ms / (wall - s.ms), s.keys,
      s.keys ? s.ms / s.keys : 0.0, f.dumps, f.menus);
  std::fflush(stdout);
}

// Opens a fresh session (the device powers on), waits for its dump and applies settings when
// given; reports the whole dialogue.
bool Run(const char* name, const TXmlElement& settings, const std::set<char>& changed) {
  // The simulator looks for a closed port every 10 ms; one opened again sooner is no new power-on.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  TDialogue dialogue;
  TSessionObserver observer;
  observer.Message = [](const std::string& text) { std::fprintf(stderr, "device: %s\n", text.c_str()); };
  TKaVruneSession session(observer);
  session.SetTrace([&](bool sent, const std::string& b) { dialogue.Record(sent, b); });
  const double cpu0 = CpuSeconds();
  const auto start = Clock::now();
  try {
    if (!session.Open(1) || !session.WaitForDevice(Clock::now() + std::chrono::seconds(60)).Ok()) {
      std::fprintf(stderr, "%s: no read document\n", name);
      return false;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", name, e.what());
    return false;
  }
  if (settings) {
    if (const TSessionResult r = session.Apply(settings, Clock::now() + std::chrono::seconds(360)); !r.Ok()) {
      std::fprintf(stderr, "%s: the apply did not complete: %s\n", name, r.Message.c_str());
      return false;
    }
  }
  Report(name, start, cpu0, dialogue, dialogue.Floor(settings ? 2 : 1, changed));
  return true;
}

}  // namespace

int main() {
  if (!std::getenv("KAVRUNE_SIM")) setenv("KAVRUNE_SIM", KAVRUNE_SIM_PATH, 1);
  char tmpl[] = "/tmp/kavrune-bench-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  setenv("KAVRUNE_COM_DIR", dir.c_str(), 1);
  std::printf("kaVRUNE engine against the simulator at %d baud, each from the port's opening\n", Baud);
  bool ok = true;
  // Each kind of unit the simulator plays, the random one with a fixed seed; then units whose
  // output comes in small bursts with pauses of up to 16 ms between them, as through a USB
  // adapter that hands bytes over in packets.
  for (const std::vector<std::string>& variant :
       {std::vector<std::string>{"standard"}, {"field"}, {"random", "--seed", "7"},
        {"standard", "--jitter", "16", "--seed", "1"}, {"field", "--jitter", "16", "--seed", "1"}}) {
    std::filesystem::remove(dir + "/state.txt");
    std::vector<std::string> args{"--baud", std::to_string(Baud), "--boot-window-ms", "3000", "--variant"};
    args.insert(args.end(), variant.begin(), variant.end());
    SimProcess sim(1, dir + "/state.txt", args);
    if (!sim.Ready()) {
      std::fprintf(stderr, "the simulator did not start\n");
      return 1;
    }
    const std::string kind = variant.front() + (variant.size() > 1 && variant[1] == "--jitter" ? " jitter" : "");
    auto name = [&](const char* what) { return kind + " " + what; };
    ok = Run(name("read").c_str(), {}, {}) && ok;

    // A change in every section: every menu is walked.
    auto all = TXmlDocument::CreateFromText("<xml/>");
    FindNodePath(all->Root(), "basic_parameters/IP_Address", true).SetText("10.0.0.7");
    FindNodePath(all->Root(), "Expert/TCP_Keepalive_time_in_s", true).SetText("60");
    FindNodePath(all->Root(), "Channel_1/Baudrate", true).SetText("19200");
    FindNodePath(all->Root(), "Channel_2/Port_No", true).SetText("10005");
    FindNodePath(all->Root(), "WLAN/Network_name", true).SetText("bench");
    FindNodePath(all->Root(), "Security/Disable_SNMP", true).SetText("Y");
    ok = Run(name("apply 6 sect.").c_str(), all->Root(), {'0', '1', '2', '4', '5', '6'}) && ok;

    // One change: only the channel 1 menu is needed.
    auto one = TXmlDocument::CreateFromText("<xml/>");
    FindNodePath(one->Root(), "Channel_1/Baudrate", true).SetText("38400");
    ok = Run(name("apply 1 sect.").c_str(), one->Root(), {'1'}) && ok;
  }

  std::filesystem::remove_all(dir);
  return ok ? 0 : 1;
}
