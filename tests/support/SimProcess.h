#pragma once
// Runs the device simulator (the binary named by $KAVRUNE_SIM) as a child process on a
// published COM number, for tests and benchmarks that need a device on a real pseudo-terminal.

#ifdef _WIN32
#include "SimProcessWin32.h"
#else

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

class SimProcess final {
 public:
  // extraArgs go to the simulator after "--com N"; with state non-empty it stores there.
  SimProcess(int com, const std::string& state, std::vector<std::string> extraArgs = {"--unpaced"}) {
    const char* sim = std::getenv("KAVRUNE_SIM");
    if (!sim) return;
    std::vector<std::string> args{sim, "--com", std::to_string(com)};
    if (!state.empty()) {
      args.push_back("--state");
      args.push_back(state);
    }
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      close(out[0]);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(sim, argv.data());
      _exit(127);
    }
    close(out[1]);
    out_ = fdopen(out[0], "r");
    char line[512];
    for (int i = 0; i < 2 && out_ && std::fgets(line, sizeof line, out_); ++i)
      if (std::string(line).rfind("ready", 0) == 0) ready_ = true;
  }
  ~SimProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (out_) std::fclose(out_);
  }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  bool Ready() const { return ready_; }

  // A path as the simulator, a Linux program, names it: here the same.
  static std::string UnixPath(std::string path) { return path; }

 private:
  pid_t pid_ = -1;
  FILE* out_ = nullptr;
  bool ready_ = false;
};

#endif
