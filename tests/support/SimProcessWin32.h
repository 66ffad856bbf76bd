#pragma once
// The simulator for tests that run under wine: a Linux program, started through wine's
// support for running Unix programs. It publishes its COM number in $KAVRUNE_COM_DIR, which
// scripts/test --windows points at the wine prefix's dosdevices folder. Wine gives no handle
// to wait on for such a program, so its shell writes the process id, the tests read its
// output from a file, and a kill ends it.

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "TestPlatform.h"

class SimProcess final {
 public:
  SimProcess(int com, const std::string& state, std::vector<std::string> extraArgs = {"--unpaced"}) {
    const char* sim = std::getenv("KAVRUNE_SIM");
    const char* comDir = std::getenv("KAVRUNE_COM_DIR");
    if (!sim || !comDir) return;
    // Appended piece by piece: GCC 12 warns falsely on "text" + std::string&& here.
    std::string command = "KAVRUNE_COM_DIR=";
    command += Quoted(comDir);
    command += " exec ";
    command += Quoted(sim);
    command += " --com ";
    command += std::to_string(com);
    if (!state.empty()) command.append(" --state ").append(Quoted(UnixPath(state)));
    for (const auto& a : extraArgs) command.append(" ").append(Quoted(a));
    command.append(" >").append(Quoted(UnixPath(dir_.Path() + "/out"))).append(" 2>&1");
    std::string script = "echo $$ >";
    script.append(Quoted(UnixPath(dir_.Path() + "/pid"))).append("; ").append(command);
    Shell(script);
    // The simulator says "ready" once its port is published (or an error when it cannot).
    for (int i = 0; i < 1000 && !ready_; ++i) {
      const std::string out = Slurp(dir_.Path() + "/out");
      ready_ = out.find("\nready") != std::string::npos || out.rfind("ready", 0) == 0;
      if (!ready_) ::Sleep(10);
    }
    pid_ = std::atoi(Slurp(dir_.Path() + "/pid").c_str());
  }
  ~SimProcess() {
    if (pid_ <= 0) return;
    Shell(std::string("kill -TERM ").append(std::to_string(pid_)));
    for (int i = 0; i < 1000 && Running(); ++i) ::Sleep(10);
  }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  bool Ready() const { return ready_; }

  // The Linux name of a path on wine's Z: drive.
  static std::string UnixPath(std::string path) {
    if (path.size() >= 2 && (path[0] == 'Z' || path[0] == 'z') && path[1] == ':') path.erase(0, 2);
    for (char& c : path)
      if (c == '\\') c = '/';
    return path;
  }

 private:
  static std::string Quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
  }
  static void Shell(const std::string& script) {
    std::string line = "/bin/sh -c \"";
    line.append(script).append("\"");
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
      ::CloseHandle(pi.hProcess);
      ::CloseHandle(pi.hThread);
    }
  }
  // Gone, or a zombie nobody reaps.
  bool Running() const {
    const std::string stat = Slurp(std::string("Z:/proc/").append(std::to_string(pid_)).append("/stat"));
    const auto close = stat.rfind(')');
    return close != std::string::npos && stat.size() > close + 2 && stat[close + 2] != 'Z';
  }

  TempDir dir_;
  int pid_ = 0;
  bool ready_ = false;
};
