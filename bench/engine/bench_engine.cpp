// Read and full apply against the simulator paced at 9600 baud: wall time, the wire time of
// the bytes that actually crossed the line, their ratio, and the engine's CPU time.
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "SimProcess.h"
#include "uKaVruneSession.h"
#include "uXmlUtils.h"

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Measure {
  const char* name;
  Clock::time_point start = Clock::now();
  double cpu0 = CpuSeconds();
  long bytes0;
  std::atomic<long>& bytes;
  Measure(const char* n, std::atomic<long>& b) : name(n), bytes0(b.load()), bytes(b) {}
  void Report(int baud) const {
    const double wall = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const long chars = bytes.load() - bytes0;
    const double wire = static_cast<double>(chars) * 10000.0 / baud;
    std::printf("%-12s wall %8.0f ms   wire %8.0f ms (%6ld chars)   ratio %5.2f   engine CPU %6.0f ms\n", name,
                wall, wire, chars, wall / wire, (CpuSeconds() - cpu0) * 1000.0);
  }
};

}  // namespace

int main() {
  if (!std::getenv("KAVRUNE_SIM")) setenv("KAVRUNE_SIM", KAVRUNE_SIM_PATH, 1);
  char tmpl[] = "/tmp/kavrune-bench-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  setenv("KAVRUNE_COM_DIR", dir.c_str(), 1);
  const int baud = 9600;
  SimProcess sim(1, dir + "/state.txt", {"--baud", std::to_string(baud), "--boot-window-ms", "3000"});
  if (!sim.Ready()) {
    std::fprintf(stderr, "the simulator did not start\n");
    return 1;
  }

  std::atomic<long> bytes{0};
  int rc = 0;
  {
    TSessionObserver observer;
    observer.Message = [](const std::string& text) { std::fprintf(stderr, "device: %s\n", text.c_str()); };
    TKaVruneSession session(observer);
    session.SetTrace([&](bool, const std::string& b) { bytes += static_cast<long>(b.size()); });
    std::printf("kaVRUNE engine against the simulator at %d baud\n", baud);

    Measure read("read", bytes);
    if (!session.Open(1) || !session.WaitForDevice(Clock::now() + std::chrono::seconds(60)).Ok()) {
      std::fprintf(stderr, "no read document\n");
      return 1;
    }
    read.Report(baud);

    // Every section changes, so the walk answers every question of all six menus.
    auto doc = TXmlDocument::CreateFromText("<xml/>");
    TXmlElement root = doc->Root();
    FindNodePath(root, "basic_parameters/IP_Address", true).SetText("10.0.0.7");
    FindNodePath(root, "Expert/TCP_Keepalive_time_in_s", true).SetText("60");
    FindNodePath(root, "Channel_1/Baudrate", true).SetText("19200");
    FindNodePath(root, "Channel_2/Port_No", true).SetText("10005");
    FindNodePath(root, "WLAN/Network_name", true).SetText("bench");
    FindNodePath(root, "Security/Disable_SNMP", true).SetText("Y");
    Measure apply("apply+read", bytes);
    if (const TSessionResult r = session.Apply(root, Clock::now() + std::chrono::seconds(360)); !r.Ok()) {
      std::fprintf(stderr, "the apply did not complete %s\n", r.Message.c_str());
      rc = 1;
    } else {
      apply.Report(baud);
    }
  }
  std::filesystem::remove_all(dir);
  return rc;
}
