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
bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
// Windows says "Access is denied" for a port held by another program: no rights to fix.
std::string AccessHint(const std::string&) { return {}; }

#else

void PrepareStandardOutput() { std::signal(SIGPIPE, SIG_IGN); }
bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }
std::string AccessHint(const std::string& path) {
  if (path.empty() || ::access(path.c_str(), R_OK | W_OK) == 0) return {};
  return "Permission denied on " + path +
         "; add yourself to the group that owns it (usually: sudo usermod -aG dialout $USER, then log in again)";
}

#endif

}  // namespace CliPlatform
