#include "CliPlatform.h"

#include "AfPortHolders.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#endif

namespace CliPlatform {
namespace {

std::atomic<bool> stopRequested{false};
volatile std::sig_atomic_t stopSignal = 0;

}  // namespace

const std::atomic<bool>& StopFlag() { return stopRequested; }
int StopStatus() { return 128 + (stopSignal ? static_cast<int>(stopSignal) : SIGINT); }

#ifdef _WIN32

namespace {
void OnStopSignal(int sig) {
  if (stopRequested.load()) std::_Exit(128 + sig);
  stopSignal = sig;
  stopRequested.store(true);
  std::signal(sig, OnStopSignal);  // the C runtime resets it for each signal
}
}  // namespace

void CatchStopSignals() {
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
}
// Without a pipe to wake it the notice waits for the program's end: none is shown.
bool WaitForStop() { return false; }
void EndStopWait() {}

void PrepareStandardOutput() { _setmode(_fileno(stdout), _O_BINARY); }
bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
bool StdoutIsTerminal() { return _isatty(_fileno(stdout)) != 0; }
// Windows says "Access is denied" for a port held by another program: no rights to fix.
std::string AccessHint(const std::string&) { return {}; }

#else

namespace {

int stopPipe[2] = {-1, -1};  // the handler's byte 1 wakes WaitForStop; EndStopWait's 0 ends it

void OnStopSignal(int sig) {
  if (stopRequested.load()) ::_exit(128 + sig);
  stopSignal = sig;
  stopRequested.store(true);
  const int saved = errno;
  const char woken = 1;
  [[maybe_unused]] const ssize_t n = ::write(stopPipe[1], &woken, 1);
  errno = saved;
}

void WriteStopPipe(char byte) { [[maybe_unused]] const ssize_t n = ::write(stopPipe[1], &byte, 1); }

}  // namespace

void CatchStopSignals() {
  static_assert(std::atomic<bool>::is_always_lock_free, "the handler sets the flag");
  if (::pipe2(stopPipe, O_CLOEXEC) != 0) stopPipe[0] = stopPipe[1] = -1;
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sa.sa_flags = SA_RESTART;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
}

bool WaitForStop() {
  if (stopPipe[0] < 0) return false;
  char byte = 0;
  while (::read(stopPipe[0], &byte, 1) < 0 && errno == EINTR) {}
  return byte == 1;
}

void EndStopWait() { WriteStopPipe(0); }

void PrepareStandardOutput() { std::signal(SIGPIPE, SIG_IGN); }
bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }
bool StdoutIsTerminal() { return ::isatty(STDOUT_FILENO) != 0; }
std::string AccessHint(const std::string& path) {
  if (path.empty() || ::access(path.c_str(), R_OK | W_OK) == 0) return {};
  return "Permission denied on " + path +
         "; add yourself to the group that owns it (usually: sudo usermod -aG dialout $USER, then log in again)";
}

#endif

std::string PortHolders(const std::string& path) {
  std::string holders;
  for (const TPortHolder& h : ::PortHolders(path))
    holders += (holders.empty() ? "" : ", ") + (h.Name + " (PID " + std::to_string(h.Pid) + ")");
  return holders;
}

}  // namespace CliPlatform
