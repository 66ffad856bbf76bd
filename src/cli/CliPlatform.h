#pragma once
// The few things the command line tool asks of the operating system beyond the C++ library.

#include <atomic>
#include <string>
#include <vector>

namespace CliPlatform {

// Standard output carries documents byte for byte (no CR added before LF on Windows), and a
// reader that goes away (a pager quit early) ends the output, not the program.
void PrepareStandardOutput();
bool StderrIsTerminal();
bool StdoutIsTerminal();
// What to tell a user who may not open the port at `path`; empty when rights are no reason.
std::string AccessHint(const std::string& path);
// "picocom (PID 4711)" for every other process that has the device node at path open, locked
// or not, as the window's port picker names them; empty where the system does not tell.
std::string PortHolders(const std::string& path);

// Ctrl-C and SIGTERM: the first sets the stop flag (sessions given it stop at the device's next
// answer and leave Setup Mode without storing); the second ends the program at once.
void CatchStopSignals();
const std::atomic<bool>& StopFlag();
// The exit status after a stop: 128 + the signal's number (130 for Ctrl-C).
int StopStatus();
// Blocks until the first stop signal (true) or EndStopWait (false); for a thread that tells the
// user at once, since the handler itself may do nothing but set the flag and wake it.
bool WaitForStop();
void EndStopWait();

// Another program run to its end, its output going where this one's goes: its exit status, or
// -1 when it could not be started.
int RunProgram(const std::string& path, const std::vector<std::string>& args);
// The folder of this program's own file; empty where the system does not tell.
std::string OwnDirectory();
// A new folder that only this user may enter, under the system's temporary folder; empty when
// none could be made.
std::string MakePrivateTempDirectory();
// The system and its version for a bug report: "Linux 6.1.0-18-amd64 x86_64, Debian GNU/Linux 12
// (bookworm)", "Windows 10.0.19045 (x64)".
std::string SystemDescription();

}  // namespace CliPlatform
