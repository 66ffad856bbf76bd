// The command line tool's apply against simulators paced at 9600 baud: one file to one device,
// then the same file to two devices at once. Each device has its own worker, so two should take
// no longer than the slower one alone: the figure is the ratio of the two walls.
//
// Every round starts fresh simulators holding the factory values, so each device is given the
// same change and powers on as its port opens.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "SimProcess.h"
#include "../BenchCpu.h"
#include "TestPlatform.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Baud = 9600;
constexpr int Rounds = 3;

struct TRun {
  double wallMs = 0, cpuMs = 0;
};

// Applies `settings` to `devices` fresh simulators at once; nullopt-like wall 0 on failure.
TRun Apply(const std::string& dir, const std::string& settings, int devices, int firstCom) {
  std::vector<std::unique_ptr<SimProcess>> sims;
  std::string ports;
  for (int i = 0; i < devices; ++i) {
    const int com = firstCom + i;
    const std::string state = dir + "/state" + std::to_string(com) + ".txt";
    std::remove(state.c_str());
    sims.push_back(std::make_unique<SimProcess>(
        com, state, std::vector<std::string>{"--baud", std::to_string(Baud), "--boot-window-ms", "3000"}));
    if (!sims.back()->Ready()) {
      std::fprintf(stderr, "the simulator on COM%d did not start\n", com);
      return {};
    }
    ports += (i ? "," : "") + std::string("COM") + std::to_string(com);
  }
  const double cpu0 = CpuSeconds(RUSAGE_CHILDREN);
  const auto start = Clock::now();
  const ProgramResult r = RunProgram(KAVRUNE_CLI_PATH, {"apply", "--ports", ports, "--quiet", settings}, dir);
  TRun run{std::chrono::duration<double, std::milli>(Clock::now() - start).count(), (CpuSeconds(RUSAGE_CHILDREN) - cpu0) * 1000};
  if (r.rc != 0) {
    std::fprintf(stderr, "apply to %s ended with status %d:\n%s%s", ports.c_str(), r.rc, r.out.c_str(), r.err.c_str());
    return {};
  }
  return run;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main() {
  if (!std::getenv("KAVRUNE_SIM")) setenv("KAVRUNE_SIM", KAVRUNE_SIM_PATH, 1);
  TempComDir dir;
  const std::string settings = dir.Path() + "/settings.xml";
  std::ofstream(settings) << "<xml><Channel_1><Baudrate>38400</Baudrate></Channel_1></xml>\n";
  std::printf("kavrune-cli apply, one section changed, against simulators at %d baud\n", Baud);

  std::vector<double> one, two, ratios;
  int com = 1;
  for (int round = 0; round < Rounds; ++round) {
    const TRun a = Apply(dir.Path(), settings, 1, com);
    com += 1;
    const TRun b = Apply(dir.Path(), settings, 2, com);
    com += 2;
    if (a.wallMs <= 0 || b.wallMs <= 0) return 1;
    std::printf("round %d: one device %6.0f ms (CPU %3.0f ms)  two devices %6.0f ms (CPU %3.0f ms)  ratio %4.2f\n",
                round + 1, a.wallMs, a.cpuMs, b.wallMs, b.cpuMs, b.wallMs / a.wallMs);
    one.push_back(a.wallMs);
    two.push_back(b.wallMs);
    ratios.push_back(b.wallMs / a.wallMs);
  }
  std::printf("median:  one device %6.0f ms  two devices %6.0f ms  ratio two/one %4.2f\n", Median(one), Median(two),
              Median(ratios));
  return 0;
}
