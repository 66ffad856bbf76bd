#pragma once
// The few things the command line tool asks of the operating system beyond the C++ library.

#include <string>

namespace CliPlatform {

// Standard output carries documents byte for byte (no CR added before LF on Windows), and a
// reader that goes away (a pager quit early) ends the output, not the program.
void PrepareStandardOutput();
bool StderrIsTerminal();
// What to tell a user who may not open the port at `path`; empty when rights are no reason.
std::string AccessHint(const std::string& path);
// "PID 4711 (picocom)" for every other process that has the device node at path open; empty
// where the system does not tell.
std::string PortHolders(const std::string& path);

}  // namespace CliPlatform
