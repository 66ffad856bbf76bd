#pragma once
// What the tests need from the operating system, the same on Linux and on Windows (where the
// tests run under wine, beside a simulator that runs on the Linux side).

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

inline std::string Slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// A fresh private folder. On Windows it lies on the Linux side (wine's Z: drive), so that
// the simulator, a Linux program, can use it as well.
class TempDir {
 public:
  TempDir() {
#ifdef _WIN32
    static int serial = 0;
    path_ = "Z:/tmp/kavrune-test-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++serial);
    std::filesystem::create_directories(path_);
#else
    char tmpl[] = "/tmp/kavrune-test-XXXXXX";
    path_ = ::mkdtemp(tmpl);
#endif
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// A private folder that on Linux is also the link directory of the test process, where
// pseudo-terminals and simulators publish their COM numbers. On Windows the COM numbers are
// wine's, published in the prefix's dosdevices folder by the simulator. The backups the tool
// keeps before a write go to its "state" folder (StateHome()), never to the user's.
class TempComDir : public TempDir {
 public:
  TempComDir() {
#ifdef _WIN32
    ::_putenv_s("XDG_STATE_HOME", StateHome().c_str());
#else
    ::setenv("KAVRUNE_COM_DIR", Path().c_str(), 1);
    ::setenv("XDG_STATE_HOME", StateHome().c_str(), 1);
#endif
  }
  std::string StateHome() const { return Path() + "/state"; }
  // The backups kept there, every unit's.
  std::vector<std::string> Backups() const {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& f : std::filesystem::recursive_directory_iterator(StateHome() + "/kavrune/backups", ec))
      if (f.path().extension() == ".xml") files.push_back(f.path().string());
    return files;
  }
  // The name under which the system shows COM n.
  std::string Link(int n) const {
#ifdef _WIN32
    return "\\\\.\\COM" + std::to_string(n);
#else
    return Path() + "/com" + std::to_string(n);
#endif
  }
};

struct ProgramResult {
  int rc = -1;
  std::string out, err;
};

// Runs a program with input as its standard input (none when empty), its output and errors
// caught in files of `dir`.
inline ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::string& dir, const std::string& input = {}) {
  const std::string outPath = dir + "/program.out", errPath = dir + "/program.err", inPath = dir + "/program.in";
  std::ofstream(inPath, std::ios::binary) << input;
  ProgramResult r;
  std::string failure;  // why the program did not run
#ifdef _WIN32
  std::string line = "\"" + program + "\"";
  for (const auto& a : args) {
    // Arguments as the C runtime splits them: quotes around each, inner quotes escaped.
    std::string q = "\"";
    for (char c : a) q += c == '"' ? std::string("\\\"") : std::string(1, c);
    line += " " + q + "\"";
  }
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  auto create = [&](const std::string& p, DWORD access, DWORD how) {
    return ::CreateFileA(p.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, how, 0, nullptr);
  };
  HANDLE out = create(outPath, GENERIC_WRITE, CREATE_ALWAYS), err = create(errPath, GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE nul = create(inPath, GENERIC_READ, OPEN_EXISTING);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = nul;
  si.hStdOutput = out;
  si.hStdError = err;
  // Wine on a loaded machine now and then fails to start a process, or the process ends in its
  // start-up with an NTSTATUS (0xC...) before its own code ran: such a start is tried again, and
  // told in the errors when it fails every time. A program that ends so by itself does so each time.
  for (int attempt = 0; attempt < 3; ++attempt) {
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
      failure = "could not start " + program + ": error " + std::to_string(::GetLastError());
      ::Sleep(500);
      continue;
    }
    if (::WaitForSingleObject(pi.hProcess, 5 * 60 * 1000) != WAIT_OBJECT_0) {
      ::TerminateProcess(pi.hProcess, 1);
      ::WaitForSingleObject(pi.hProcess, 10 * 1000);
    }
    DWORD code = 0;
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(pi.hThread);
    r.rc = static_cast<int>(code);
    const bool startFailed = code >= 0xC0000000u && ::GetFileSize(out, nullptr) == 0 && ::GetFileSize(err, nullptr) == 0;
    if (!startFailed) {
      failure.clear();
      break;
    }
    failure = program + " ended in its start-up with status " + std::to_string(code);
    for (HANDLE h : {out, err}) {
      ::SetFilePointer(h, 0, nullptr, FILE_BEGIN);
      ::SetEndOfFile(h);
    }
    ::SetFilePointer(nul, 0, nullptr, FILE_BEGIN);
    ::Sleep(500);
  }
  for (HANDLE h : {out, err, nul}) ::CloseHandle(h);
  if (!failure.empty()) r.rc = -1;
#else
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int nul = open(inPath.c_str(), O_RDONLY);
    dup2(out, 1);
    dup2(err, 2);
    dup2(nul, 0);
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  r.out = Slurp(outPath);
  r.err = failure.empty() ? Slurp(errPath) : failure;
  std::filesystem::remove(outPath);
  std::filesystem::remove(errPath);
  std::filesystem::remove(inPath);
  return r;
}
