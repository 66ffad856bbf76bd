#include "CliPlatform.h"

#include "AfPortHolders.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/wait.h>
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

int RunProgram(const std::string& path, const std::vector<std::string>& args) {
  // The C runtime joins the arguments into one command line: each is quoted, its quotes and
  // the backslashes before them escaped.
  auto quoted = [](const std::string& a) {
    std::string q = "\"";
    size_t slashes = 0;
    for (char c : a) {
      if (c == '\\') {
        ++slashes;
      } else {
        if (c == '"') q.append(slashes + 1, '\\');
        slashes = 0;
      }
      q += c;
    }
    return q.append(slashes, '\\') + "\"";
  };
  std::vector<std::string> held = {quoted(path)};
  for (const std::string& a : args) held.push_back(quoted(a));
  std::vector<const char*> argv;
  for (const std::string& a : held) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  const intptr_t status = _spawnv(_P_WAIT, path.c_str(), argv.data());
  return status < 0 ? -1 : static_cast<int>(status);
}

std::string OwnDirectory() {
  char buffer[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  std::string path(buffer, n);
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string SystemDescription() {
  // GetVersionEx tells a program without a manifest of its own an older Windows; ntdll does not.
  using TGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
  OSVERSIONINFOW v{};
  v.dwOSVersionInfoSize = sizeof v;
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const auto get =
      ntdll ? reinterpret_cast<TGetVersion>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion"))) : nullptr;
  if (!get || get(&v) != 0) return "Windows";
  return "Windows " + std::to_string(v.dwMajorVersion) + "." + std::to_string(v.dwMinorVersion) + "." +
         std::to_string(v.dwBuildNumber) + (sizeof(void*) == 8 ? " (x64)" : " (x86)");
}

std::string MakePrivateTempDirectory() {
  char base[MAX_PATH];
  const DWORD n = GetTempPathA(MAX_PATH, base);
  if (n == 0 || n >= MAX_PATH) return {};
  // The user's own temporary folder is private to the user already.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string dir = std::string(base) + "kavrune-" + std::to_string(GetCurrentProcessId()) + "-" +
                            std::to_string(GetTickCount() + static_cast<DWORD>(attempt));
    if (_mkdir(dir.c_str()) == 0) return dir;
  }
  return {};
}

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

int RunProgram(const std::string& path, const std::vector<std::string>& args) {
  std::vector<char*> argv = {const_cast<char*>(path.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

std::string OwnDirectory() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : self.parent_path().string();
}

std::string MakePrivateTempDirectory() {
  std::error_code ec;
  std::string pattern = (std::filesystem::temp_directory_path(ec) / "kavrune-XXXXXX").string();
  if (ec) pattern = "/tmp/kavrune-XXXXXX";
  return ::mkdtemp(pattern.data()) ? pattern : std::string();  // mode 0700
}

std::string SystemDescription() {
  std::string text;
  if (utsname u{}; ::uname(&u) == 0) text = std::string(u.sysname) + " " + u.release + " " + u.machine;
  std::ifstream release("/etc/os-release");
  for (std::string line; std::getline(release, line);)
    if (line.rfind("PRETTY_NAME=", 0) == 0) {
      std::string name = line.substr(12);
      if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
      text += (text.empty() ? "" : ", ") + name;
    }
  return text.empty() ? "unknown" : text;
}

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
