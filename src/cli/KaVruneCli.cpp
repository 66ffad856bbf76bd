#include "KaVruneCli.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>

#include "AfComNames.h"
#include "CliPlatform.h"
#include "uFileUtils.h"
#include "uKaVruneSession.h"
#include "uKaVruneModel.h"
#include "uTranscript.h"
#include "uXmlUtils.h"

namespace KaVruneCli {
namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr const char* kUsage =
    "kavrune-cli reads, writes and restores the settings of a kaVRUNE serial device server\n"
    "over its serial console.\n\n"
    "Usage: kavrune-cli ports\n"
    "  or:  kavrune-cli read     --port COM<n>|PATH [-o FILE]\n"
    "  or:  kavrune-cli apply    --port COM<n>|PATH [-o FILE] SETTINGS.xml\n"
    "  or:  kavrune-cli defaults --port COM<n>|PATH [--store] [-o FILE]\n"
    "Options:\n"
    "  --timeout S   seconds to wait for the device to answer (default 60)\n"
    "  --log FILE    transcript of the serial dialogue (passwords and keys masked)\n"
    "  --quiet       no hints or progress on stderr\n"
    "  --store       (defaults) store the factory values; without it the device keeps its own\n"
    "  --version     the program's version\n"
    "Exit status: 0 done, 1 no device answered, 2 usage, 3 port error or the line lost, 4 the\n"
    "device did not store the settings, 5 a file could not be read or written or holds settings\n"
    "the device cannot take (nothing is sent), 6 the device did not take every setting written,\n"
    "7 the settings were written out but lines of the dump stayed unreadable (named on stderr).\n"
    "apply takes a read document (a backup, as read -o writes it) or a write document and\n"
    "sends only the settings that differ from the device.\n";

struct TOptions {
  std::string command;
  std::string port;
  std::string output;
  std::string input;
  std::string log;
  int timeoutSec = 60;
  bool store = false;
  bool quiet = false;
};

class TUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Whether a file can be written at path, found out before the device is touched: a failure
// after the settings were stored would leave the user not knowing what the device holds.
void CheckWritable(const std::string& path) {
  if (path.empty() || path == "-") return;
  const std::string probe = path + ".kavrune-probe";
  std::ofstream f(probe, std::ios::binary);
  const bool ok = static_cast<bool>(f);
  f.close();
  std::remove(probe.c_str());
  std::error_code ec;
  if (!ok || fs::is_directory(path, ec)) throw TFileError("cannot write " + path);
}

TOptions Parse(const std::vector<std::string>& args) {
  TOptions o;
  if (args.empty()) throw TUsageError("no command given");
  o.command = args[0];
  if (o.command == "-h" || o.command == "--help" || o.command == "--version") return o;
  if (o.command != "ports" && o.command != "read" && o.command != "apply" && o.command != "defaults")
    throw TUsageError("unknown command \"" + o.command + "\"");
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw TUsageError(a + " needs a value");
      return args[++i];
    };
    if (a == "--port" || a == "-p") o.port = value();
    else if (a == "-o" || a == "--output") o.output = value();
    else if (a == "--log") o.log = value();
    else if (a == "--timeout") {
      const std::string v = value();
      char* end = nullptr;
      const long t = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end || t < 1 || t > 3600) throw TUsageError("--timeout takes seconds from 1 to 3600");
      o.timeoutSec = static_cast<int>(t);
    } else if (a == "--store" && o.command == "defaults") o.store = true;
    else if (a == "--quiet" || a == "-q") o.quiet = true;
    else if (!a.empty() && a[0] == '-') throw TUsageError("unknown option " + a);
    else if (o.command == "apply" && o.input.empty()) o.input = a;
    else throw TUsageError("unexpected argument \"" + a + "\"");
  }
  if (o.command != "ports" && o.port.empty()) throw TUsageError("--port is required");
  if (o.command == "apply" && o.input.empty()) throw TUsageError("apply needs a settings file");
  return o;
}

// COM<n> as given, or the COM number under which a device node appears.
std::optional<int> ResolvePort(const std::string& port) {
  if (port.size() > 3 && (port.compare(0, 3, "COM") == 0 || port.compare(0, 3, "com") == 0)) {
    const std::string digits = port.substr(3);
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 3) return std::nullopt;
    const int n = std::stoi(digits);
    if (n < 1 || n > 255) return std::nullopt;
    return n;
  }
  std::error_code ec;
  const fs::path wanted = fs::weakly_canonical(port, ec);
  for (const auto& e : EnumerateComPorts(255)) {
    std::error_code ec2;
    if (fs::weakly_canonical(e.DevicePath, ec2) == wanted || e.DevicePath == port) return e.ComNumber;
  }
  return std::nullopt;
}

// Messages and write progress of the session on stderr; the progress line is redrawn in place
// on a terminal only.
class TCliOutput final {
 public:
  explicit TCliOutput(bool quiet) : progress_(!quiet && CliPlatform::StderrIsTerminal()) {}

  TSessionObserver Observer() {
    TSessionObserver o;
    o.Message = [this](const std::string& text) {
      EndProgressLine();
      std::cerr << text << '\n';
      shown_.push_back(text);
    };
    o.Progress = [this](const std::string& section, const std::string& prompt, int step) {
      if (!progress_) return;
      std::cerr << "\r\033[KWriting " << section << ": prompt " << step << " (" << prompt << ")" << std::flush;
      progressShown_ = true;
    };
    return o;
  }
  void EndProgressLine() {
    if (progressShown_) std::cerr << "\r\033[K" << std::flush;
    progressShown_ = false;
  }
  bool Shown(const std::string& text) const { return std::find(shown_.begin(), shown_.end(), text) != shown_.end(); }

 private:
  std::vector<std::string> shown_;
  bool progress_;
  bool progressShown_ = false;
};

// Opens the port; the session then reads the device. Returns an exit code (Ok to go on).
int OpenPort(TKaVruneSession& session, int comNumber) {
  try {
    if (!session.Open(comNumber)) {
      std::cerr << "kavrune-cli: COM" << comNumber << " could not be opened\n";
      return PortError;
    }
  } catch (const EAfSerialError& e) {
    std::cerr << "kavrune-cli: " << e.what() << '\n';
    if (e.Kind() == TAfPortError::Permission)
      if (const std::string hint = CliPlatform::AccessHint(ComDevicePath(comNumber)); !hint.empty())
        std::cerr << "kavrune-cli: " << hint << '\n';
    return PortError;
  }
  return Ok;
}

// The exit code of a write step, with its message on stderr (the worker's reason once only).
int WriteOutcome(const TSessionResult& r, const char* what, const TCliOutput& output) {
  const std::string reason = r.Message.empty() || output.Shown(r.Message) ? std::string() : ": " + r.Message;
  switch (r.Status) {
    case TSessionStatus::Done: return Ok;
    case TSessionStatus::TimedOut:
      std::cerr << "kavrune-cli: the device did not finish " << what << " in time\n";
      return WriteFailed;
    case TSessionStatus::NoAnswer:
      std::cerr << "kavrune-cli: the device did not answer after " << what << '\n';
      return NoDevice;
    case TSessionStatus::LineLost:
      std::cerr << "kavrune-cli: " << r.Message << " after " << what << '\n';
      return PortError;
    case TSessionStatus::Failed:
    case TSessionStatus::Cancelled:
      std::cerr << "kavrune-cli: " << what << " failed" << reason << '\n';
      return WriteFailed;
  }
  return WriteFailed;
}

// Writes the newest document. Its unreadable lines are kept in it as markers (the window
// shows their settings as missing) and named, and they make the status.
int EmitDocument(const TOptions& o, const TKaVruneSession& session) {
  if (o.output.empty() || o.output == "-") {
    std::cout << session.SettingsText() << std::flush;
    if (!std::cout) return FileError;
  } else {
    if (!WriteFileAtomically(o.output, session.SettingsText())) {
      std::cerr << "kavrune-cli: cannot write " << o.output << '\n';
      return FileError;
    }
  }
  const auto& damaged = session.DamagedLines();
  if (damaged.empty()) return Ok;
  std::cerr << "kavrune-cli: the line is noisy: " << damaged.size()
            << " line(s) of the settings stayed unreadable after three reads:\n";
  for (const std::string& line : damaged) std::cerr << "  " << line << '\n';
  return DumpDamaged;
}

int ListPorts() {
  for (const auto& e : EnumerateComPorts(255)) {
    const TComPortState state = ProbeDevicePath(e.DevicePath);
    if (state == TComPortState::Absent) continue;
    std::error_code ec;
    const fs::path target = fs::weakly_canonical(e.DevicePath, ec);
    std::cout << "COM " << e.ComNumber << '\t' << e.DevicePath;
    std::error_code linkEc;  // a link shows where it leads; a system name (\\.\COM4) stays as it is
    if (!ec && fs::is_symlink(e.DevicePath, linkEc) && target.string() != e.DevicePath)
      std::cout << " -> " << target.string();
    std::cout << '\t' << (state == TComPortState::Free ? "free" : "in use") << '\n';
  }
  return Ok;
}

// Takes the settings of a read document (a backup) or a write document through the settings model.
// Everything the device could not be given is found here, before the port is opened.
int ReadSettingsFile(const TOptions& o, const TXmlElement& root, TDeviceSettings& wanted) {
  const std::string where = "kavrune-cli: " + o.input + ": ";
  if (root.FirstChild("Exit") || root.FirstChild("Defauts")) {
    std::cerr << where << "a request document, not settings\n";
    return FileError;
  }
  std::vector<std::string> unknown;
  wanted = FromDocument(root, &unknown);
  std::vector<std::string> faults = CheckBeforeWrite(wanted);
  for (const std::string& u : unknown) std::cerr << where << "unknown setting " << u << '\n';
  for (const std::string& f : faults) std::cerr << where << f << '\n';
  if (!unknown.empty() || !faults.empty()) {
    std::cerr << where << "nothing was sent to the device\n";
    return FileError;
  }
  if (IsReadDocument(root) && !o.quiet)
    for (const std::string& line : NotCarriedByRestore()) std::cerr << line << '\n';
  return Ok;
}

int RunCommand(const TOptions& o) {
  if (o.command == "ports") return ListPorts();

  const auto com = ResolvePort(o.port);
  if (!com) {
    std::cerr << "kavrune-cli: " << o.port
              << " is not a serial port of this machine (give COM<n> or a device node; see kavrune-cli ports)\n";
    return PortError;
  }

  PXmlDocument input;
  TDeviceSettings wanted;
  if (o.command == "apply") {
    try {
      input = TXmlDocument::LoadFromFile(o.input);
    } catch (const std::exception& e) {
      std::cerr << "kavrune-cli: " << e.what() << '\n';
      return FileError;
    }
    if (int rc = ReadSettingsFile(o, input->Root(), wanted); rc != Ok) return rc;
  }
  CheckWritable(o.output);

  std::unique_ptr<TTranscript> transcript;
  if (!o.log.empty()) {
    transcript = std::make_unique<TTranscript>(o.log);
    if (!transcript->IsOpen()) throw TFileError("cannot write the log file " + o.log);
  }
  TCliOutput output(o.quiet);
  TKaVruneSession session(output.Observer());
  if (transcript)
    session.SetTrace([t = transcript.get()](bool sent, const std::string& bytes) { t->Record(sent, bytes); });
  if (int rc = OpenPort(session, *com); rc != Ok) return rc;
  if (!o.quiet)
    std::cerr << "Waiting for the device on COM" << *com << " - power the device on now (up to " << o.timeoutSec
              << " s).\n";
  const auto readLimit = std::chrono::seconds(o.timeoutSec);
  if (const TSessionResult r = session.WaitForDevice(Clock::now() + readLimit); !r.Ok()) {
    if (r.Status == TSessionStatus::LineLost) {
      std::cerr << "kavrune-cli: " << r.Message << " on COM" << *com << '\n';
      return PortError;
    }
    std::cerr << "kavrune-cli: no device answered on COM" << *com << " within " << o.timeoutSec << " s\n";
    return NoDevice;
  }
  if (o.command == "read") return EmitDocument(o, session);

  // A write walks the menus at line speed: ample time of its own, then the read that follows.
  const auto writeLimit = std::chrono::seconds(std::max(o.timeoutSec, 300)) + readLimit;
  auto step = [&](TSessionResult r, const char* what) {
    output.EndProgressLine();
    return WriteOutcome(r, what, output);
  };
  if (o.command == "apply") {
    const TSettingChanges changes = Diff(FromReadDocument(session.Settings()), wanted);
    // The file was checked as a whole; what goes to the device is checked once more as sent.
    if (const auto faults = CheckBeforeWrite(changes); !faults.empty()) {
      for (const std::string& f : faults) std::cerr << "kavrune-cli: " << f << '\n';
      std::cerr << "kavrune-cli: nothing was sent\n";
      return FileError;
    }
    if (changes.empty()) {
      if (!o.quiet) std::cerr << "No setting differs from the device: nothing was written.\n";
    } else {
      const auto request = TXmlDocument::CreateFromText("<xml/>");
      ToWriteDocument(changes, request->Root());
      if (int rc = step(session.Apply(request->Root(), Clock::now() + writeLimit), "writing the settings"); rc != Ok)
        return rc;
      // The device is the truth: only what it reports after the write counts as done.
      const TApplyCheck check = CheckApply(changes, FromReadDocument(session.Settings()));
      const std::vector<std::string> lines = check.Lines();
      for (size_t i = 0; i < lines.size(); ++i)
        if (!check.Clean() || !o.quiet) std::cerr << (check.Clean() || i ? "" : "kavrune-cli: ") << lines[i] << '\n';
      if (!check.Clean()) {
        if (!o.output.empty()) EmitDocument(o, session);
        return NotTaken;
      }
    }
  } else {  // defaults
    if (int rc = step(session.Defaults(Clock::now() + writeLimit), "restoring the defaults"); rc != Ok) return rc;
    // Storing walks no section: the device keeps the defaults it just took.
    if (o.store) {
      if (int rc = step(session.Store(Clock::now() + writeLimit), "storing the defaults"); rc != Ok) return rc;
    } else {
      // Not a hint that --quiet hides: without it a script would believe the device restored.
      std::cerr << "The factory values are not on the device until they are stored: the device keeps its own\n"
                   "settings. Run \"kavrune-cli defaults --store\", or press Apply Settings in the window.\n";
    }
  }
  if (!o.output.empty()) return EmitDocument(o, session);
  return Ok;
}

}  // namespace

int Run(const std::vector<std::string>& args) {
  TOptions o;
  try {
    o = Parse(args);
  } catch (const TUsageError& e) {
    std::cerr << "kavrune-cli: " << e.what() << "\n\n" << kUsage;
    return Usage;
  }
  if (o.command == "-h" || o.command == "--help") {
    std::cout << kUsage;
    return Ok;
  }
  if (o.command == "--version") {
    std::cout << "kavrune-cli " KAVRUNE_VERSION "\n";
    return Ok;
  }
  try {
    return RunCommand(o);
  } catch (const TFileError& e) {
    std::cerr << "kavrune-cli: " << e.what() << '\n';
    return FileError;
  } catch (const std::exception& e) {
    std::cerr << "kavrune-cli: " << e.what() << '\n';
    return PortError;
  }
}

}  // namespace KaVruneCli
