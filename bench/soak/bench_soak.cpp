// Soak: reads and applies in a row against the simulator, which is restarted with a random fault
// (or none) between them. Counts the runs that failed on a sound device and those a fault ended,
// and what the process keeps from run to run: open descriptors (/proc/self/fd) and resident
// memory. Unpaced, so the runs come quickly; a fault that keeps the device from answering
// costs its time limit.
//
//   build/bench/soak/kavrune-bench-soak [--reads N] [--applies N] [--seed N]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "SimProcess.h"
#include "uKaVruneSession.h"
#include "uXmlUtils.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The fault switches of the simulator; "" is a sound device.
const std::vector<std::string> Faults = {"noise", "hangup-mid-dump", "refuse-answers", "silent", "chatter", "no-menu"};

size_t OpenDescriptors() {
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n - 1;  // the iterator's own
}

double ResidentMb() {
  long pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// One run on a fresh opening of the port (the device powers on); true when it did its task.
bool RunOnce(bool apply, const std::string& baudrate) {
  // The simulator looks for a closed port every 10 ms; one opened again sooner is no new power-on.
  std::this_thread::sleep_for(100ms);
  TKaVruneSession session;
  try {
    if (!session.Open(1) || !session.WaitForDevice(Clock::now() + 3s).Ok()) return false;
  } catch (const std::exception&) {
    return false;
  }
  if (!apply) return static_cast<bool>(session.Settings());
  auto request = TXmlDocument::CreateFromText("<xml/>");
  FindNodePath(request->Root(), "Channel_1/Baudrate", true).SetText(baudrate);
  if (!session.Apply(request->Root(), Clock::now() + 10s).Ok()) return false;
  return FindNodePath(session.Settings(), "Channel_1/Baudrate", false).Text() == baudrate;
}

}  // namespace

int main(int argc, char** argv) {
  int reads = 200, applies = 50;
  unsigned seed = 1;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string opt = argv[i];
    const int v = std::atoi(argv[i + 1]);
    if (opt == "--reads") reads = v;
    else if (opt == "--applies") applies = v;
    else if (opt == "--seed") seed = static_cast<unsigned>(v);
  }
  if (!std::getenv("KAVRUNE_SIM")) setenv("KAVRUNE_SIM", KAVRUNE_SIM_PATH, 1);
  char tmpl[] = "/tmp/kavrune-soak-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  setenv("KAVRUNE_COM_DIR", dir.c_str(), 1);
  std::mt19937 rng(seed);

  std::unique_ptr<SimProcess> sim;
  std::string running = "?";
  auto startSim = [&](const std::string& fault) {
    if (fault == running) return;
    sim.reset();
    std::vector<std::string> args{"--unpaced", "--boot-window-ms", "300"};
    if (!fault.empty()) args.insert(args.end(), {"--fault", fault});
    sim = std::make_unique<SimProcess>(1, dir + "/state.txt", args);
    running = fault;
  };

  // A first sound run settles what the process keeps for good (threads' stacks, the allocator).
  startSim("");
  if (!sim->Ready() || !RunOnce(false, {})) {
    std::fprintf(stderr, "the simulator did not come up\n");
    return 1;
  }
  const size_t fds0 = OpenDescriptors();
  const double rss0 = ResidentMb();
  const auto start = Clock::now();

  const int total = reads + applies;
  int withFault = 0, unsound = 0, endedByFault = 0, applied = 0;
  for (int i = 0; i < total; ++i) {
    // The applies spread evenly among the reads.
    const bool apply = applied < applies && static_cast<long>(i + 1) * applies >= static_cast<long>(applied + 1) * total;
    if (apply) ++applied;
    const std::string fault = rng() % 10 < 3 ? Faults[rng() % Faults.size()] : std::string();
    startSim(fault);
    const bool ok = RunOnce(apply, i % 2 ? "38400" : "19200");
    if (!fault.empty()) {
      ++withFault;
      endedByFault += ok ? 0 : 1;
    } else if (!ok) {
      ++unsound;
      std::fprintf(stderr, "run %d (%s) failed on a sound device\n", i + 1, apply ? "apply" : "read");
    }
  }
  // Measured with a simulator running, as at the start (its output pipe is one descriptor).
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const size_t fds = OpenDescriptors();
  const double rss = ResidentMb();
  sim.reset();
  std::printf("soak: %d reads, %d applies, %d of them on a faulty device (%d ended by the fault) in %.0f s\n", reads,
              applies, withFault, endedByFault, seconds);
  std::printf("failures on a sound device %d; descriptors %zu -> %zu; resident memory %.1f MB -> %.1f MB (%+.1f MB)\n",
              unsound, fds0, fds, rss0, rss, rss - rss0);
  std::filesystem::remove_all(dir);
  return unsound == 0 && fds == fds0 ? 0 : 1;
}
