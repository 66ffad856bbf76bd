#include "CliPlatform.h"

#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace CliPlatform {

#ifdef _WIN32

void PrepareStandardOutput() { _setmode(_fileno(stdout), _O_BINARY); }
int ProcessId() { return static_cast<int>(::GetCurrentProcessId()); }
bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
bool MoveOver(const std::string& from, const std::string& to) {
  // rename() of the C library refuses an existing target here.
  return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
// Windows says "Access is denied" for a port held by another program: no rights to fix.
std::string AccessHint(const std::string&) { return {}; }

#else

void PrepareStandardOutput() { std::signal(SIGPIPE, SIG_IGN); }
int ProcessId() { return static_cast<int>(::getpid()); }
bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }
bool MoveOver(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }
std::string AccessHint(const std::string& path) {
  if (path.empty() || ::access(path.c_str(), R_OK | W_OK) == 0) return {};
  return "Permission denied on " + path +
         "; add yourself to the group that owns it (usually: sudo usermod -aG dialout $USER, then log in again)";
}

#endif

}  // namespace CliPlatform
