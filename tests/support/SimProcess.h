#pragma once
// Runs the device simulator (the binary named by $KAVRUNE_SIM) as a child process on a
// published COM number, for tests and benchmarks that need a device on a real pseudo-terminal.

#ifdef _WIN32
#include "SimProcessWin32.h"
#else

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

// Safe to start from several threads at once (the soak bench runs one simulator a thread): the
// child gets only its own output pipe, and allocates nothing between fork and exec.
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
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);  // without close-on-exec, unlike the pipe's own descriptors
      execv(sim, argv.data());
      _exit(127);
    }
    close(out[1]);
    out_ = out[0];
    if (pid_ > 0) ready_ = ReadReady(std::chrono::steady_clock::now() + std::chrono::seconds(20));
  }
  // Ends the simulator: SIGTERM, and SIGKILL when it has not gone within 5 s.
  ~SimProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      const auto give = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (waitpid(pid_, nullptr, WNOHANG) == 0)
        if (std::chrono::steady_clock::now() < give) {
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } else {
          kill(pid_, SIGKILL);
          waitpid(pid_, nullptr, 0);
          break;
        }
    }
    if (out_ >= 0) close(out_);
  }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  bool Ready() const { return ready_; }

  // A path as the simulator, a Linux program, names it: here the same.
  static std::string UnixPath(std::string path) { return path; }

 private:
  // The simulator prints its port's path, then "ready"; an error and its end instead when it
  // cannot start.
  bool ReadReady(std::chrono::steady_clock::time_point deadline) const {
    std::string text;
    for (;;) {
      for (size_t at = 0, nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1)
        if (text.compare(at, nl - at, "ready") == 0) return true;
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd p{out_, POLLIN, 0};
      if (left.count() <= 0) return false;
      if (poll(&p, 1, static_cast<int>(left.count()) + 1) < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      char buf[256];
      const ssize_t n = (p.revents & (POLLIN | POLLHUP)) ? read(out_, buf, sizeof buf) : 0;
      if (n == 0 && (p.revents & POLLHUP)) return false;  // it ended
      if (n > 0) text.append(buf, static_cast<size_t>(n));
    }
  }

  pid_t pid_ = -1;
  int out_ = -1;
  bool ready_ = false;
};

#endif
