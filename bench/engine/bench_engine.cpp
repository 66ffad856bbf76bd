// Read and apply against the simulator paced at 9600 baud, each on a fresh port, so the device
// powers on as the port opens: wall time, the wire time of the dialogue the task needs, their
// ratio, the engine's CPU time, and the tool's own share of the wall time.
//
// The wire time counts what must cross the line at the character time of the baud rate (what
// the device sends, and the last character of each text sent to it): the banner, the dumps the
// task needs (one for a read; for an apply the dump on waking and the one read back), the prompts
// and answers of the menus whose settings change, the store, and the device's own pause while it
// restarts. A dump or a menu walk beyond that is no part of it, so the ratio shows what the
// engine wastes as well as how slowly it talks.
//
// The tool's share is its reaction time: for every key sent, the time since the device's last
// output before it, and at the end the time from the device's last output to the task's end.
// Everything else is the device's own time (its talking, its restart, its silences), which no
// engine can shorten; the share is given as what it adds to that.
//
// The targets: the tool's share adds at most 10 % to a read and 15 % to an apply, on every kind
// of unit. The bench checks them itself: a row over its target is named on stderr and the exit
// status is 1, as it is for a dialogue that did not complete. --table prints the rows again at
// the end as the README's table has them.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
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
// The most the tool's share may add to the device's own time, in per cent.
constexpr double ReadTargetPercent = 10.0, ApplyTargetPercent = 15.0;

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
    long chars = 0;      // needed characters received, and one for each text sent
    double pauseMs = 0;  // the device's restart
    int dumps = 0;       // dumps heard
    int menus = 0;       // menus walked
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
        if (!inMenu && e.bytes.size() == 2 && e.bytes[1] == '\r' &&
            std::string("012456").find(e.bytes[0]) != std::string::npos) {
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

// One dialogue measured: its row of the README's table and whether it met its target.
struct TRow {
  std::string name, kind;  // "standard read", "standard"
  bool apply = false;
  double wallMs = 0, wireMs = 0, cpuMs = 0, toolMs = 0;
  int menus = 0;
  double SharePercent() const { return 100.0 * toolMs / (wallMs - toolMs); }
  double TargetPercent() const { return apply ? ApplyTargetPercent : ReadTargetPercent; }
  bool OverTarget() const { return SharePercent() > TargetPercent(); }
};

TRow Report(const char* name, Clock::time_point start, double cpu0, const TDialogue& dialogue,
            const TDialogue::TFloor& f) {
  const auto end = Clock::now();
  TRow row;
  row.name = name;
  row.wallMs = std::chrono::duration<double, std::milli>(end - start).count();
  row.wireMs = f.WireMs();
  row.cpuMs = (CpuSeconds() - cpu0) * 1000.0;
  const TDialogue::TShare s = dialogue.Share(start, end);
  row.toolMs = s.ms;
  row.menus = f.menus;
  std::printf(
      "%-26s wall %6.0f ms  wire %6.0f ms  ratio %4.2f  CPU %4.0f ms (%3.1f %%)  tool %5.0f ms (+%4.1f %%, %3d keys, "
      "%4.1f ms each)  dumps %d  menus %d\n",
      name, row.wallMs, row.wireMs, row.wallMs / row.wireMs, row.cpuMs, 100.0 * row.cpuMs / row.wallMs, s.ms,
      row.SharePercent(), s.keys, s.keys ? s.ms / s.keys : 0.0, f.dumps, f.menus);
  std::fflush(stdout);
  return row;
}

// Opens a fresh session (the device powers on), waits for its dump and applies settings when
// given; reports the whole dialogue, or nothing when it did not complete.
std::optional<TRow> Run(const char* name, const TXmlElement& settings, const std::set<char>& changed) {
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
      return std::nullopt;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", name, e.what());
    return std::nullopt;
  }
  if (settings) {
    if (const TSessionResult r = session.Apply(settings, Clock::now() + std::chrono::seconds(360)); !r.Ok()) {
      std::fprintf(stderr, "%s: the apply did not complete: %s\n", name, r.Message.c_str());
      return std::nullopt;
    }
  }
  TRow row = Report(name, start, cpu0, dialogue, dialogue.Floor(settings ? 2 : 1, changed));
  row.apply = static_cast<bool>(settings);
  return row;
}

// Keys the simulator received while it still printed since the last call, as its log counts
// them; named on stderr when there are any.
int KeysWhilePrinting(const std::string& name, const std::string& log) {
  static std::map<std::string, size_t> seen;
  std::ifstream in(log);
  std::string line;
  int keys = 0;
  size_t n = 0;
  while (std::getline(in, line))
    if (++n > seen[log] && line.find("key while printing") != std::string::npos) ++keys;
  seen[log] = n;
  if (keys) std::fprintf(stderr, "%s: the unit received %d keys while it still printed\n", name.c_str(), keys);
  return keys;
}

// N applies of six sections (the DHCP name among them) to fresh simulated units at 9600 baud,
// their line in bursts of up to 20 ms: the three kinds in turn (the random one a new unit each
// time), with units that take keys ahead and an Enter pressed into their banner. Each must end
// confirmed by the read-back (a unit without WLAN: the rest, and its WLAN named), with no key
// received while the unit printed.
bool PacedApplies(int count, const std::string& dir) {
  int exact = 0, keys = 0;
  for (int i = 0; i < count; ++i) {
    static const char* const variants[] = {"standard", "field", "random"};
    std::vector<std::string> args{"--baud",    std::to_string(Baud), "--boot-window-ms", "3000", "--jitter", "20",
                                  "--seed",    std::to_string(100 + i), "--log",          dir + "/paced.log",
                                  "--variant", variants[i % 3]};
    if (i % 2) args.push_back("--takes-early-enter");
    if (i % 4 >= 2) args.push_back("--type-ahead");
    std::filesystem::remove(dir + "/paced-state.txt");
    SimProcess sim(2, dir + "/paced-state.txt", args);
    if (!sim.Ready()) {
      std::fprintf(stderr, "the simulator did not start\n");
      return false;
    }
    auto edits = TXmlDocument::CreateFromText("<xml/>");
    const std::string n = std::to_string(i);
    FindNodePath(edits->Root(), "basic_parameters/Enter_new_DHCP_device_Name", true).SetText("line-" + n);
    FindNodePath(edits->Root(), "Channel_1/Baudrate", true).SetText(i % 2 ? "19200" : "57600");
    FindNodePath(edits->Root(), "Channel_2/Port_No", true).SetText(std::to_string(4000 + i));
    FindNodePath(edits->Root(), "WLAN/Channel", true).SetText(std::to_string(1 + i % 10));
    FindNodePath(edits->Root(), "Expert/MTU_Size", true).SetText(std::to_string(1000 + i));
    FindNodePath(edits->Root(), "Security/Disable_Web_Setup", true).SetText("Y");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    TKaVruneSession session;
    TSessionResult r;
    if (session.Open(2) && session.WaitForDevice(Clock::now() + std::chrono::seconds(60)).Ok())
      r = session.Apply(edits->Root(), Clock::now() + std::chrono::seconds(120));
    const bool done = r.Ok() && r.NotAsked.empty() &&
                      std::all_of(r.NotOnUnit.begin(), r.NotOnUnit.end(), [](const auto& s) { return s.first == "WLAN"; });
    const int typed = KeysWhilePrinting("paced apply " + n, dir + "/paced.log");
    exact += done;
    keys += typed;
    std::printf("paced apply %3d (%s%s%s): %s, %d keys while printing\n", i, variants[i % 3],
                i % 2 ? ", takes early Enter" : "", i % 4 >= 2 ? ", types ahead" : "",
                done ? "exact" : r.Message.c_str(), typed);
    std::fflush(stdout);
  }
  std::printf("paced applies: %d of %d exact, %d keys received while printing\n", exact, count, keys);
  return exact == count && keys == 0;
}

// The rows as the README's table under "Speed" has them.
void PrintTable(const std::vector<TRow>& rows) {
  std::printf("\n| Dialogue (9600 baud)       | Wall    | Wire    | Ratio | Engine CPU       | Tool's share     |\n");
  std::printf("|----------------------------|---------|---------|-------|------------------|------------------|\n");
  for (const TRow& r : rows) {
    const bool bursts = r.kind.find(" bursts") != std::string::npos;
    const std::string unit = r.kind.substr(0, r.kind.find(' '));
    std::string what = r.apply
                           ? "apply, " + std::to_string(r.menus) + (r.menus == 1 ? " section, " : " sections, ") + unit
                           : "read, " + unit + " unit";
    if (unit == "random" && !r.apply) what += " (seed 7)";
    if (bursts) what += ", bursts";
    std::printf("| %-26s | %.2f s  | %.2f s  | %.2f  | %.2f s (%.1f %%)   | %.2f s (+%.1f %%)  |\n", what.c_str(),
                r.wallMs / 1000, r.wireMs / 1000, r.wallMs / r.wireMs, r.cpuMs / 1000, 100.0 * r.cpuMs / r.wallMs,
                r.toolMs / 1000, r.SharePercent());
  }
}

}  // namespace

int main(int argc, char** argv) {
  bool table = false;
  int paced = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--table") == 0) {
      table = true;
    } else if (std::strcmp(argv[i], "--paced") == 0 && i + 1 < argc && std::atoi(argv[i + 1]) > 0) {
      paced = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: %s [--table] [--paced N]\n", argv[0]);
      return 2;
    }
  }
  if (!std::getenv("KAVRUNE_SIM")) setenv("KAVRUNE_SIM", KAVRUNE_SIM_PATH, 1);
  char tmpl[] = "/tmp/kavrune-bench-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  setenv("KAVRUNE_COM_DIR", dir.c_str(), 1);
  if (paced > 0) {
    const bool passed = PacedApplies(paced, dir);
    std::filesystem::remove_all(dir);
    return passed ? 0 : 1;
  }
  std::printf("kaVRUNE engine against the simulator at %d baud, each from the port's opening\n", Baud);
  bool ok = true;
  std::vector<TRow> rows;
  // Each kind of unit the simulator plays, the random one with a fixed seed; then each of them
  // again with its output in small bursts with pauses of up to 20 ms between them, as through a
  // USB adapter that hands bytes over in packets, a pause falling anywhere.
  for (const std::vector<std::string>& variant : {std::vector<std::string>{"standard"},
                                                  {"field"},
                                                  {"random", "--seed", "7"},
                                                  {"standard", "--jitter", "20", "--seed", "1"},
                                                  {"field", "--jitter", "20", "--seed", "1"},
                                                  {"random", "--jitter", "20", "--seed", "7"}}) {
    std::filesystem::remove(dir + "/state.txt");
    std::vector<std::string> args{"--baud",  std::to_string(Baud), "--boot-window-ms", "3000",
                                  "--log",   dir + "/sim.log",     "--variant"};
    args.insert(args.end(), variant.begin(), variant.end());
    SimProcess sim(1, dir + "/state.txt", args);
    if (!sim.Ready()) {
      std::fprintf(stderr, "the simulator did not start\n");
      return 1;
    }
    const bool bursts = std::find(variant.begin(), variant.end(), "--jitter") != variant.end();
    const std::string kind = variant.front() + (bursts ? " bursts" : "");
    auto name = [&](const char* what) { return kind + " " + what; };
    auto run = [&](const char* what, const TXmlElement& settings, const std::set<char>& changed) {
      std::optional<TRow> row = Run(name(what).c_str(), settings, changed);
      ok = ok && row && KeysWhilePrinting(name(what), dir + "/sim.log") == 0;
      if (!row) return;
      row->kind = kind;
      rows.push_back(*row);
    };
    run("read", {}, {});

    // A change in every section: every menu is walked.
    auto all = TXmlDocument::CreateFromText("<xml/>");
    FindNodePath(all->Root(), "basic_parameters/IP_Address", true).SetText("10.0.0.7");
    FindNodePath(all->Root(), "basic_parameters/Enter_new_DHCP_device_Name", true).SetText("bench");
    FindNodePath(all->Root(), "Expert/TCP_Keepalive_time_in_s", true).SetText("60");
    FindNodePath(all->Root(), "Channel_1/Baudrate", true).SetText("19200");
    FindNodePath(all->Root(), "Channel_2/Port_No", true).SetText("10005");
    FindNodePath(all->Root(), "WLAN/Network_name", true).SetText("bench");
    FindNodePath(all->Root(), "Security/Disable_SNMP", true).SetText("Y");
    run("apply 6 sect.", all->Root(), {'0', '1', '2', '4', '5', '6'});

    // One change: only the channel 1 menu is needed.
    auto one = TXmlDocument::CreateFromText("<xml/>");
    FindNodePath(one->Root(), "Channel_1/Baudrate", true).SetText("38400");
    run("apply 1 sect.", one->Root(), {'1'});
  }

  std::filesystem::remove_all(dir);
  if (table) PrintTable(rows);
  for (const TRow& r : rows)
    if (r.OverTarget()) {
      std::fprintf(stderr, "over target: %s: the tool's share adds %.1f %%, at most %.0f %% allowed\n", r.name.c_str(),
                   r.SharePercent(), r.TargetPercent());
      ok = false;
    }
  if (!ok) std::fprintf(stderr, "kavrune-bench-engine: a dialogue did not complete or is over its target\n");
  return ok ? 0 : 1;
}
