#include "CliPlatform.h"

#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#endif

namespace CliPlatform {

#ifdef _WIN32

void PrepareStandardOutput() { _setmode(_fileno(stdout), _O_BINARY); }
bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
// Windows says "Access is denied" for a port held by another program: no rights to fix.
std::string AccessHint(const std::string&) { return {}; }
std::string PortHolders(const std::string&) { return {}; }

#else

void PrepareStandardOutput() { std::signal(SIGPIPE, SIG_IGN); }
bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }
std::string AccessHint(const std::string& path) {
  if (path.empty() || ::access(path.c_str(), R_OK | W_OK) == 0) return {};
  return "Permission denied on " + path +
         "; add yourself to the group that owns it (usually: sudo usermod -aG dialout $USER, then log in again)";
}

// Every process's open descriptors are links under /proc; those of other users stay unreadable,
// so a port held by another user's program goes unnamed.
std::string PortHolders(const std::string& path) {
  namespace fs = std::filesystem;
  struct stat wanted {};
  if (path.empty() || ::stat(path.c_str(), &wanted) != 0) return {};
  std::string holders;
  std::error_code ec;
  for (const auto& proc : fs::directory_iterator("/proc", ec)) {
    const std::string pid = proc.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos || std::stoi(pid) == ::getpid()) continue;
    std::error_code ec2;
    for (const auto& fd : fs::directory_iterator(proc.path() / "fd", ec2)) {
      struct stat st {};
      if (::stat(fd.path().c_str(), &st) != 0 || st.st_rdev != wanted.st_rdev || !S_ISCHR(st.st_mode)) continue;
      std::string name;
      std::getline(std::ifstream(proc.path() / "comm"), name);
      holders += (holders.empty() ? "" : ", ") + ("PID " + pid + " (" + name + ")");
      break;
    }
  }
  return holders;
}

#endif

}  // namespace CliPlatform
