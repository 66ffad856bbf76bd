// Soak: many units at once, each its own simulator on its own pseudo-terminal and its own thread
// doing reads and applies in a row through a session. Every run starts the unit's simulator anew,
// sound or with a fault (3 runs in 10), drawn from the seed and the run's number, so that what a
// run meets does not hang on how the threads interleave. Counts the runs that failed on a sound
// device and those a fault ended, and watches what the process keeps from run to run: open
// descriptors, resident memory and threads. Unpaced, so the runs come quickly; a fault that keeps
// the device from answering costs its time limit.
//
//   build/bench/soak/kavrune-bench-soak [--units N] [--minutes M | --reads N --applies N] [--seed N] [--every S]
//   build/bench/soak/kavrune-bench-soak --at-once N
//
// With --minutes every unit runs until the time is up, one run in five an apply, and a line comes
// every S seconds (default 10); without it the reads and applies (default 200 and 50) are shared
// among the units (default 32). The status is 1 when a run failed on a sound device, a simulator
// did not start, or the process holds more descriptors or threads at the end than after the
// warm-up: both counted with every unit between runs and its simulator running, so the counts
// are exact. With GLIBC_TUNABLES=glibc.malloc.tcache_count=0 (the soak test's setting) the heap in
// use is exact too, and more than a quarter of a megabyte's growth is a leak as well.
//
// --at-once N: N units paced at 9600 baud are read at once, each on its own thread: the time until
// the last has its document, and the resident memory and threads before and at the peak.
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <latch>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "../BenchCpu.h"
#include "SimProcess.h"
#include "uKaVruneSession.h"
#include "uXmlUtils.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The fault switches of the simulator; "" is a sound device.
const std::vector<std::string> Faults = {"noise", "hangup-mid-dump", "refuse-answers", "silent", "chatter", "no-menu"};

// Far above what a run takes (well under a second unpaced, two for a paced read): with 32 units on
// two busy cores only a real failure may count as one. A faulty device's run, which counts either
// way, has the old limits of one unit alone, so that the units spend their time on runs rather
// than on waits for devices that never answer.
struct TLimits {
  Clock::duration Read, Apply;
};
constexpr TLimits SoundLimits{20s, 40s}, FaultLimits{3s, 10s};

// The heap may grow this much from the warm-up to the end. Without the threads' allocator caches
// it grows by some 40 kB, in one minute as in five (the bench's own records); a leak of 60 bytes
// a run passes it within two minutes of 32 units (some 4500 runs).
constexpr double HeapMarginMb = 0.25;

// With glibc's thread caches the heap in use grows as each thread's cache fills, up to a few
// hundred kB a thread: no measure of a leak.
bool ThreadCachesOff() {
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  return tunables && std::string(tunables).find("glibc.malloc.tcache_count=0") != std::string::npos;
}

struct TFigures {
  size_t Descriptors = 0;
  double ResidentMb = 0;
  // What the allocator has handed out and not got back, the chunks each thread keeps for reuse
  // included (glibc's thread caches), unless GLIBC_TUNABLES=glibc.malloc.tcache_count=0.
  double HeapMb = 0;
  int Threads = 0;
};

// Open descriptors, memory and threads of this process, from /proc.
TFigures Measure() {
  TFigures f;
  std::error_code ec;
  for (std::filesystem::directory_iterator e("/proc/self/fd", ec), end; !ec && e != end; e.increment(ec))
    ++f.Descriptors;
  if (f.Descriptors > 0) --f.Descriptors;  // the iterator's own
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Threads:", 0) == 0) f.Threads = std::atoi(line.c_str() + 8);
    else if (line.rfind("VmRSS:", 0) == 0) f.ResidentMb = std::atof(line.c_str() + 6) / 1024.0;
  }
  const struct mallinfo2 heap = mallinfo2();
  f.HeapMb = static_cast<double>(heap.uordblks + heap.hblkhd) / (1024.0 * 1024.0);  // the large blocks are mapped
  return f;
}

const char* StatusWord(TSessionStatus s) {
  switch (s) {
    case TSessionStatus::Done: return "done";
    case TSessionStatus::NoAnswer: return "no answer";
    case TSessionStatus::LineLost: return "line lost";
    case TSessionStatus::Failed: return "failed";
    case TSessionStatus::TimedOut: return "timed out";
    case TSessionStatus::NotBack: return "not back after the store";
    case TSessionStatus::Cancelled: return "cancelled";
  }
  return "?";
}

std::string Outcome(const char* step, const TSessionResult& r) {
  return std::string(step) + ": " + StatusWord(r.Status) + (r.Message.empty() ? "" : " (" + r.Message + ")");
}

// One run on a fresh opening of the port (the device powers on); empty when it did its task,
// else what went wrong. An apply changes the first channel's baud rate and reads it back.
std::string RunOnce(int com, bool apply, TLimits limits) {
  try {
    TKaVruneSession session;
    if (!session.Open(com)) return "the port did not open";
    const auto read = session.WaitForDevice(Clock::now() + limits.Read);
    if (!read.Ok()) return Outcome("read", read);
    if (!apply) return session.Settings() ? "" : "read: no document";
    const std::string now = FindNodePath(session.Settings(), "Channel_1/Baudrate", false).Text();
    const std::string baudrate = now == "19200" ? "38400" : "19200";
    auto request = TXmlDocument::CreateFromText("<xml/>");
    FindNodePath(request->Root(), "Channel_1/Baudrate", true).SetText(baudrate);
    const auto written = session.Apply(request->Root(), Clock::now() + limits.Apply);
    if (!written.Ok()) return Outcome("apply", written);
    const std::string back = FindNodePath(session.Settings(), "Channel_1/Baudrate", false).Text();
    return back == baudrate ? "" : "apply: the baud rate reads back as " + back + ", not " + baudrate;
  } catch (const std::exception& e) {
    return e.what();
  }
}

[[noreturn]] void Usage(const std::string& problem) {
  std::fprintf(stderr,
               "kavrune-bench-soak: %s\n"
               "usage: kavrune-bench-soak [--units N] [--minutes M | --reads N --applies N] [--seed N] [--every S]\n"
               "       kavrune-bench-soak --at-once N\n",
               problem.c_str());
  std::exit(2);
}

double NumberArg(const std::string& option, const char* text, double low, double high, bool whole) {
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  if (end == text || *end || v < low || v > high || (whole && v != static_cast<long>(v)))
    Usage(option + " takes " + (whole ? "a whole number" : "a number") + " from " +
          std::to_string(static_cast<long>(low)) + " to " + std::to_string(static_cast<long>(high)) + ", not \"" +
          text + "\"");
  return v;
}

struct TOptions {
  int Units = 32;
  double Minutes = 0;  // 0: counted runs
  long Reads = 200, Applies = 50;
  unsigned Seed = 1;
  int EverySeconds = 10;
  int AtOnce = 0;
};

TOptions ParseArgs(int argc, char** argv) {
  TOptions o;
  bool counted = false;
  for (int i = 1; i < argc; ++i) {
    const std::string opt = argv[i];
    if (i + 1 >= argc) Usage(opt.rfind("--", 0) == 0 ? "missing value for " + opt : "unknown argument " + opt);
    const char* value = argv[++i];
    if (opt == "--units") o.Units = static_cast<int>(NumberArg(opt, value, 1, 200, true));
    else if (opt == "--minutes") o.Minutes = NumberArg(opt, value, 0.05, 24 * 60, false);
    else if (opt == "--reads" || opt == "--applies") {
      (opt == "--reads" ? o.Reads : o.Applies) = static_cast<long>(NumberArg(opt, value, 0, 1e6, true));
      counted = true;
    } else if (opt == "--seed") o.Seed = static_cast<unsigned>(NumberArg(opt, value, 0, 4e9, true));
    else if (opt == "--every") o.EverySeconds = static_cast<int>(NumberArg(opt, value, 1, 3600, true));
    else if (opt == "--at-once") o.AtOnce = static_cast<int>(NumberArg(opt, value, 1, 200, true));
    else Usage("unknown option " + opt);
  }
  if (o.Minutes > 0 && counted) Usage("--minutes times the runs, --reads and --applies count them: one or the other");
  if (o.Minutes == 0 && o.Reads + o.Applies == 0) Usage("nothing to run: no reads, no applies");
  return o;
}

// What the run with this number does: a read or an apply, on a sound device or a faulty one.
struct TRunPlan {
  bool Apply = false;
  std::string Fault;
};

TRunPlan PlanOf(const TOptions& o, long run) {
  std::seed_seq seq{o.Seed, static_cast<unsigned>(run), static_cast<unsigned>(run >> 32)};
  std::mt19937 rng(seq);
  TRunPlan plan;
  // The applies spread evenly among the reads: one in five when timed.
  const long reads = o.Minutes > 0 ? 4 : o.Reads, applies = o.Minutes > 0 ? 1 : o.Applies;
  const long total = reads + applies, at = run % total;
  plan.Apply = (at + 1) * applies / total > at * applies / total;
  if (rng() % 10 < 3) plan.Fault = Faults[rng() % Faults.size()];
  return plan;
}

// The highest of the samples taken in one interval.
struct TInterval {
  double EndSeconds = 0;
  long Runs = 0;
  TFigures Highest;
  bool Full = false;  // it lasted its whole length within the soak's time
};

class TSoak final {
 public:
  TSoak(TOptions options, std::string dir)
      : o_(options),
        dir_(std::move(dir)),
        warmedUp_(options.Units, Mark{this, &TSoak::WarmedUp}),
        finished_(options.Units, Mark{this, &TSoak::Finished}) {}

  int Run() {
    std::vector<std::thread> units;
    for (int u = 0; u < o_.Units; ++u) units.emplace_back([this, u] { Unit(u); });
    Report();
    for (auto& t : units) t.join();
    return Summary();
  }

 private:
  // A barrier's completion, run while every unit waits at it.
  struct Mark {
    TSoak* soak;
    void (TSoak::*what)();
    void operator()() noexcept { (soak->*what)(); }
  };

  void WarmedUp() {
    std::lock_guard guard(lock_);
    atWarmUp_ = Measure();
    start_ = Clock::now();
    end_ =
        start_ + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::ratio<60>>(o_.Minutes));
    cpu0_ = CpuSeconds();
    started_ = true;
    wake_.notify_all();
  }
  void Finished() {
    std::lock_guard guard(lock_);
    atEnd_ = Measure();
    seconds_ = std::chrono::duration<double>(Clock::now() - start_).count();
    cpu_ = CpuSeconds() - cpu0_;
    done_ = true;
    wake_.notify_all();
  }

  void Longest(bool apply, Clock::duration took) {
    std::lock_guard guard(lock_);
    auto& longest = apply ? longestApply_ : longestRead_;
    longest = std::max(longest, took);
  }

  bool More(long run) const { return o_.Minutes > 0 ? Clock::now() < end_ : run < o_.Reads + o_.Applies; }

  void Unit(int unit) {
    const int com = unit + 1;
    const std::string state = dir_ + "/state" + std::to_string(com) + ".txt";
    std::unique_ptr<SimProcess> sim;
    auto startSim = [&](const std::string& fault) {
      sim.reset();
      std::vector<std::string> args{"--unpaced"};
      if (!fault.empty()) args.insert(args.end(), {"--fault", fault});
      sim = std::make_unique<SimProcess>(com, state, args);
      if (!sim->Ready()) {
        ++notStarted_;
        std::fprintf(stderr, "unit %d: the simulator%s did not start\n", com,
                     fault.empty() ? "" : (" with " + fault).c_str());
      }
      return sim->Ready();
    };
    // A first sound read settles what the process keeps for good (threads' stacks, the allocator's arenas).
    if (startSim("")) {
      if (const std::string why = RunOnce(com, false, SoundLimits); !why.empty()) {
        ++unsound_;
        std::fprintf(stderr, "unit %d, warm-up read: failed on a sound device: %s\n", com, why.c_str());
      }
    }
    warmedUp_.arrive_and_wait();
    // Unit u takes runs u, u + N, u + 2N ...; one whose simulator does not start ends its unit.
    for (long run = unit; notStarted_ == 0 && More(run); run += o_.Units) {
      const TRunPlan plan = PlanOf(o_, run);
      if (!startSim(plan.Fault)) break;
      const auto began = Clock::now();
      const std::string why = RunOnce(com, plan.Apply, plan.Fault.empty() ? SoundLimits : FaultLimits);
      if (plan.Fault.empty() && why.empty()) Longest(plan.Apply, Clock::now() - began);
      ++runs_;
      applies_ += plan.Apply;
      if (!plan.Fault.empty()) {
        ++withFault_;
        endedByFault_ += !why.empty();
      } else if (!why.empty()) {
        ++unsound_;
        std::fprintf(stderr, "unit %d, run %ld (%s): failed on a sound device: %s\n", com, run + 1,
                     plan.Apply ? "apply" : "read", why.c_str());
      }
    }
    finished_.arrive_and_wait();  // measured with this unit's simulator still running, as at the warm-up
  }

  // A sample a second; a line an interval, with the highest figures of its samples.
  void Report() {
    std::unique_lock guard(lock_);
    wake_.wait(guard, [&] { return started_ || done_; });
    const auto every = std::chrono::seconds(o_.EverySeconds);
    TInterval current;
    bool sampled = false;
    auto close = [&](bool full) {
      if (!sampled) return;
      current.EndSeconds = std::chrono::duration<double>(Clock::now() - start_).count();
      current.Runs = runs_;
      current.Full = full;
      std::printf(
          "%6.0f s: %ld runs, failed on a sound device %ld, ended by a fault %ld of %ld; descriptors %zu, "
          "resident memory %.1f MB (heap %.1f MB), threads %d%s\n",
          current.EndSeconds, current.Runs, unsound_.load(), endedByFault_.load(), withFault_.load(),
          current.Highest.Descriptors, current.Highest.ResidentMb, current.Highest.HeapMb, current.Highest.Threads,
          full ? "" : " (the units' last runs)");
      std::fflush(stdout);
      intervals_.push_back(current);
      current = {};
      sampled = false;
    };
    auto next = start_ + every;
    while (!done_) {
      wake_.wait_until(guard, std::min(next, Clock::now() + 1s), [&] { return done_; });
      if (done_) break;
      const TFigures f = Measure();
      current.Highest.Descriptors = std::max(current.Highest.Descriptors, f.Descriptors);
      current.Highest.ResidentMb = std::max(current.Highest.ResidentMb, f.ResidentMb);
      current.Highest.Threads = std::max(current.Highest.Threads, f.Threads);
      current.Highest.HeapMb = std::max(current.Highest.HeapMb, f.HeapMb);
      sampled = true;
      if (Clock::now() >= next) {
        close(o_.Minutes == 0 || next <= end_);
        next += every;
      }
    }
    close(false);
  }

  int Summary() {
    const bool timed = o_.Minutes > 0;
    char length[32] = "counted runs";
    if (timed) std::snprintf(length, sizeof length, "%g min", o_.Minutes);
    std::printf("soak: %d units, %s (seed %u): %ld runs, %ld of them applies, %ld on a faulty device, in %.0f s\n",
                o_.Units, length, o_.Seed, runs_.load(), applies_.load(), withFault_.load(), seconds_);
    auto s = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    std::printf(
        "failures on a sound device %ld; ended by a fault %ld of %ld; the longest sound read %.1f s, apply %.1f s "
        "(limits %.0f s, %.0f s)\n",
        unsound_.load(), endedByFault_.load(), withFault_.load(), s(longestRead_), s(longestApply_),
        s(SoundLimits.Read), s(SoundLimits.Apply));
    std::printf(
        "every unit between runs, after the warm-up -> at the end: descriptors %zu -> %zu, threads %d -> %d, "
        "resident memory %.1f MB -> %.1f MB, heap in use %.2f MB -> %.2f MB\n",
        atWarmUp_.Descriptors, atEnd_.Descriptors, atWarmUp_.Threads, atEnd_.Threads, atWarmUp_.ResidentMb,
        atEnd_.ResidentMb, atWarmUp_.HeapMb, atEnd_.HeapMb);
    // The first interval against the last full one: the units are as busy in both.
    std::vector<TInterval> full;
    std::copy_if(intervals_.begin(), intervals_.end(), std::back_inserter(full), [](auto& i) { return i.Full; });
    if (full.size() >= 2) {
      const TFigures &a = full.front().Highest, &b = full.back().Highest;
      auto grew = [](double from, double to, double margin) { return to > from + margin ? "grew" : "steady"; };
      std::printf(
          "highest in the first interval -> the last: descriptors %zu -> %zu (%s), threads %d -> %d (%s), "
          "resident memory %.1f MB -> %.1f MB (%s)\n",
          a.Descriptors, b.Descriptors, grew(a.Descriptors, b.Descriptors, std::max(2.0, 0.05 * a.Descriptors)),
          a.Threads, b.Threads, grew(a.Threads, b.Threads, std::max(2.0, 0.05 * a.Threads)), a.ResidentMb, b.ResidentMb,
          grew(a.ResidentMb, b.ResidentMb, std::max(2.0, 0.10 * a.ResidentMb)));
    }
    std::printf("processor time: this process %.1f s, the simulators %.1f s\n", cpu_, CpuSeconds(RUSAGE_CHILDREN));
    bool ok = unsound_ == 0 && notStarted_ == 0;
    if (!ThreadCachesOff()) {
      std::printf(
          "the heap's figures include the threads' allocator caches; with GLIBC_TUNABLES=glibc.malloc.tcache_count=0 "
          "they are exact and checked\n");
    } else if (atEnd_.HeapMb > atWarmUp_.HeapMb + HeapMarginMb) {
      std::fprintf(stderr, "leak: the heap in use grew from %.2f MB after the warm-up to %.2f MB at the end\n",
                   atWarmUp_.HeapMb, atEnd_.HeapMb);
      ok = false;
    }
    if (atEnd_.Descriptors > atWarmUp_.Descriptors || atEnd_.Threads > atWarmUp_.Threads) {
      std::fprintf(stderr,
                   "leak: the process holds %zu descriptors and %d threads at the end, %zu and %d after the warm-up\n",
                   atEnd_.Descriptors, atEnd_.Threads, atWarmUp_.Descriptors, atWarmUp_.Threads);
      ok = false;
    }
    return ok ? 0 : 1;
  }

  const TOptions o_;
  const std::string dir_;
  std::barrier<Mark> warmedUp_, finished_;
  std::atomic<long> runs_{0}, applies_{0}, withFault_{0}, endedByFault_{0}, unsound_{0}, notStarted_{0};

  std::mutex lock_;  // also keeps the sampler's reads of /proc apart from the barriers' counts
  std::condition_variable wake_;
  bool started_ = false, done_ = false;
  Clock::time_point start_, end_;
  TFigures atWarmUp_, atEnd_;
  double seconds_ = 0, cpu0_ = 0, cpu_ = 0;
  Clock::duration longestRead_{}, longestApply_{};  // on a sound device, port opening and closing included
  std::vector<TInterval> intervals_;
};

// N paced units read at once: each thread opens its port as the others do, and the wall runs
// until the last has its document.
int ReadAtOnce(int units, const std::string& dir) {
  std::vector<std::unique_ptr<SimProcess>> sims;
  for (int u = 1; u <= units; ++u) {
    sims.push_back(std::make_unique<SimProcess>(u, dir + "/state" + std::to_string(u) + ".txt",
                                                std::vector<std::string>{"--baud", "9600"}));
    if (!sims.back()->Ready()) {
      std::fprintf(stderr, "the simulator on COM%d did not start\n", u);
      return 1;
    }
  }
  const TFigures before = Measure();
  std::vector<double> seconds(static_cast<size_t>(units), -1);
  std::atomic<int> left{units};
  std::latch go(units + 1);
  Clock::time_point start;
  std::vector<std::thread> threads;
  for (int u = 0; u < units; ++u)
    threads.emplace_back([&, u] {
      go.arrive_and_wait();
      try {
        TKaVruneSession session;
        if (session.Open(u + 1)) {
          const auto r = session.WaitForDevice(Clock::now() + SoundLimits.Read * 3);
          if (r.Ok()) seconds[static_cast<size_t>(u)] = std::chrono::duration<double>(Clock::now() - start).count();
          else std::fprintf(stderr, "COM%d: %s\n", u + 1, Outcome("read", r).c_str());
        }
      } catch (const std::exception& e) {
        std::fprintf(stderr, "COM%d: %s\n", u + 1, e.what());
      }
      --left;  // the session has left Setup Mode
    });
  const double cpu0 = CpuSeconds();
  start = Clock::now();
  go.arrive_and_wait();
  TFigures peak = before;
  while (left > 0) {
    const TFigures f = Measure();
    peak.ResidentMb = std::max(peak.ResidentMb, f.ResidentMb);
    peak.Threads = std::max(peak.Threads, f.Threads);
    peak.Descriptors = std::max(peak.Descriptors, f.Descriptors);
    std::this_thread::sleep_for(20ms);
  }
  for (auto& t : threads) t.join();
  const double cpu = CpuSeconds() - cpu0;
  sims.clear();  // their processor time counts once they are waited for
  const auto read = std::count_if(seconds.begin(), seconds.end(), [](double s) { return s >= 0; });
  const auto [first, last] = std::minmax_element(seconds.begin(), seconds.end());
  std::printf("%d unit%s paced at 9600 baud read at once: %ld read, the first in %.2f s, the last in %.2f s\n", units,
              units == 1 ? "" : "s", static_cast<long>(read), *first, *last);
  std::printf(
      "resident memory %.1f MB before, %.1f MB at the peak; threads %d -> %d; descriptors %zu -> %zu; "
      "processor time %.2f s, the simulators' %.2f s\n",
      before.ResidentMb, peak.ResidentMb, before.Threads, peak.Threads, before.Descriptors, peak.Descriptors, cpu,
      CpuSeconds(RUSAGE_CHILDREN));
  return read == units ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const TOptions options = ParseArgs(argc, argv);
  if (!std::getenv("KAVRUNE_SIM")) setenv("KAVRUNE_SIM", KAVRUNE_SIM_PATH, 1);
  char tmpl[] = "/tmp/kavrune-soak-XXXXXX";
  if (!mkdtemp(tmpl)) {
    std::perror("kavrune-bench-soak: cannot create a folder in /tmp");
    return 1;
  }
  const std::string dir = tmpl;
  setenv("KAVRUNE_COM_DIR", dir.c_str(), 1);
  const int status = options.AtOnce ? ReadAtOnce(options.AtOnce, dir) : TSoak(options, dir).Run();
  std::filesystem::remove_all(dir);
  return status;
}
