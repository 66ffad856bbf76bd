// How long the port picker takes to probe COM 1..255, with an empty link directory (nothing but
// the machine's own serial devices) and with a few published pseudo-terminals.
// Usage: kavrune-bench-picker [rounds]

#include <pty.h>
#include <unistd.h>

#include <QApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "AfComNames.h"
#include "AfPortControls.h"

namespace {
using Clock = std::chrono::steady_clock;

double Millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

template <typename F>
void Measure(const char* what, int rounds, F&& f) {
  double best = 1e9, total = 0;
  for (int i = 0; i < rounds; ++i) {
    const auto t0 = Clock::now();
    f();
    const double ms = Millis(Clock::now() - t0);
    best = std::min(best, ms);
    total += ms;
  }
  std::printf("%-58s best %8.2f ms   mean %8.2f ms\n", what, best, total / rounds);
}

void Run(const char* scene, int rounds) {
  std::printf("-- %s\n", scene);
  TAfPortComboBox picker;
  Measure("UpdatePortList, MaxComPorts 255, [pcCheckExist]", rounds, [&] { picker.UpdatePortList(); });
  picker.SetOptions({TAfPortComboBox::pcCheckExist, TAfPortComboBox::pcDisableOpen, TAfPortComboBox::pcHighlightOpen});
  Measure("UpdatePortList, main window's options", rounds, [&] { picker.UpdatePortList(); });
  picker.SetOptions({});
  Measure("UpdatePortList, every number listed", rounds, [&] { picker.UpdatePortList(); });
  std::printf("%-58s %d entries\n", "  (entries listed)", picker.count());
  Measure("ProbePort(n) for n = 1..255, one number at a time", std::max(1, rounds / 10), [] {
    for (int n = 1; n <= 255; ++n) TAfPortComboBox::ProbePort(n);
  });
}
}  // namespace

int main(int argc, char** argv) {
  if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;

  QTemporaryDir dir;
  ::setenv("KAVRUNE_COM_DIR", dir.path().toLocal8Bit().constData(), 1);
  Run("empty link directory", rounds);

  std::vector<int> masters;
  for (int n : {2, 5, 9, 40}) {
    int m = -1, s = -1;
    char name[256] = {};
    if (::openpty(&m, &s, name, nullptr, nullptr) != 0) continue;
    ::close(s);
    masters.push_back(m);
    std::filesystem::create_symlink(name, (dir.path() + QStringLiteral("/com%1").arg(n)).toStdString());
  }
  Run("four published pseudo-terminals", rounds);
  for (int m : masters) ::close(m);
  return 0;
}
