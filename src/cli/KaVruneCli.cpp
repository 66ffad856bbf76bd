#include "KaVruneCli.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <set>
#include <sstream>
#include <thread>

#include "AfComNames.h"
#include "CliBackups.h"
#include "CliBundle.h"
#include "CliDevice.h"
#include "CliOptions.h"
#include "CliPlatform.h"
#include "CliReport.h"
#include "CliSha256.h"
#include "uKaVruneIdentity.h"
#include "uXmlUtils.h"

namespace KaVruneCli {
namespace {

namespace fs = std::filesystem;

int ListPorts() {
  int listed = 0;
  for (const auto& e : EnumerateComPorts(255)) {
    const TComPortState state = ProbeDevicePath(e.DevicePath);
    if (state == TComPortState::Absent) continue;
    std::error_code ec;
    const fs::path target = fs::weakly_canonical(e.DevicePath, ec);
    std::cout << "COM " << e.ComNumber << '\t' << e.DevicePath;
    std::error_code linkEc;  // a link shows where it leads; a system name (\\.\COM4) stays as it is
    if (!ec && fs::is_symlink(e.DevicePath, linkEc) && target.string() != e.DevicePath)
      std::cout << " -> " << target.string();
    // A program that opened the node without a lock leaves it "free" to the probe, yet takes the
    // device's answers: in use all the same.
    const std::string holders = CliPlatform::PortHolders(e.DevicePath);
    std::cout << '\t'
              << (!holders.empty()               ? "in use by " + holders
                  : state == TComPortState::Free ? std::string("free")
                                                 : std::string("in use"));
    if (const std::string what = ComPortDescription(e.DevicePath); !what.empty()) std::cout << '\t' << what;
    std::cout << '\n';
    ++listed;
  }
  if (listed == 0)
    std::cerr << "no serial ports found. Plug in the USB-serial adapter, or link a device node as COM<n>:\n"
                 "  ln -s /dev/serial/by-id/usb-... ~/.config/kavrune/com/com5\n";
  return Ok;
}

// What a settings file is read for: a look at it (diff, sheet), a write (apply), which names what
// the file keeps and a write leaves out, or what units must hold (verify), checked as for a write.
enum class TFileUse { Look, Write, Verify };

// The settings a file holds, or nothing after saying why. For a write everything the device could
// not be given is found here, before any port opens. backup: whether the file is a read document.
std::optional<TDeviceSettings> LoadSettingsFile(const std::string& path, TFileUse use, bool quiet,
                                                bool* backup = nullptr) {
  const bool strict = use != TFileUse::Look;
  try {
    const PXmlDocument doc = TXmlDocument::LoadFromFile(path);
    const TXmlElement root = doc->Root();
    if (root.FirstChild("Exit") || root.FirstChild("Defauts")) {
      std::cerr << "kavrune-cli: " << path << ": a request document, not settings\n";
      return std::nullopt;
    }
    std::vector<std::string> unknown, kept;
    TDeviceSettings settings = FromDocument(root, &unknown, &kept);
    if (!kept.empty() && !quiet && use == TFileUse::Write) {
      std::string list;
      for (const std::string& k : kept) list += (list.empty() ? "" : ", ") + k;
      std::cerr << path << ": kept in the file, not written: " << list << '\n';
    }
    if (backup) *backup = IsReadDocument(root);
    if (!strict) return settings;
    const std::vector<std::string> faults = CheckBeforeWrite(settings);
    for (const std::string& u : unknown) std::cerr << "kavrune-cli: " << path << ": unknown setting " << u << '\n';
    for (const std::string& f : faults) std::cerr << "kavrune-cli: " << path << ": " << f << '\n';
    if (!unknown.empty() || !faults.empty()) {
      std::cerr << "kavrune-cli: " << path << ": nothing was sent to the device\n";
      return std::nullopt;
    }
    return settings;
  } catch (const std::exception& e) {
    // The loader's message names the file already.
    std::cerr << "kavrune-cli: " << e.what() << '\n';
    return std::nullopt;
  }
}

// The settings a name of get or set stands for. A name that is none of the device's is a slip of
// the command line (status 2), not a fault of the device or a file.
std::vector<const TSettingRow*> RequireKnownName(const std::string& command, const std::string& name,
                                                 const std::optional<std::string>& value = std::nullopt) {
  std::string error;
  auto rows = FindSettings(name, error);
  if (!rows.empty()) return rows;
  if (const std::string guess = NearestSettingName(Trim(name), command == "set"); !guess.empty()) {
    std::string unused;
    const auto meant = FindSettings(guess, unused);
    const bool secret = std::any_of(meant.begin(), meant.end(), [](const TSettingRow* r) { return Confidential(*r); });
    error += "; did you mean " + guess + (value && !secret ? "=" + *value : std::string()) + "?";
  }
  throw TUsageError(command, error);
}

// set -: Section.Key=Value lines, empty ones and # comments skipped. A line that is none is named
// by its number alone: it may hold a password typed in the wrong place.
bool ReadAssignments(std::istream& in, std::vector<std::string>& assignments) {
  bool ok = true;
  int number = 0;
  const size_t before = assignments.size();
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (Trim(line).empty() || Trim(line).front() == '#') continue;
    if (line.find('=') != std::string::npos) assignments.push_back(line);
    else ok = false, std::cerr << "kavrune-cli: standard input, line " << number << ": give Section.Key=Value\n";
  }
  if (ok && assignments.size() == before) {
    std::cerr << "kavrune-cli: set -: standard input held no Section.Key=Value\n";
    return false;
  }
  return ok;
}

// set's and edit's Section.Key=Value: those on the command line and, for "-", those on standard
// input. A misspelled name is a usage error with a guess (thrown); false when a line of standard
// input is none.
bool GatherAssignments(const TOptions& o, std::vector<std::string>& assignments) {
  bool ok = true;
  for (const std::string& a : o.operands)
    if (a != "-") assignments.push_back(a);
    else ok = ReadAssignments(std::cin, assignments) && ok;
  for (const std::string& a : assignments)
    if (const size_t eq = a.find('='); eq != std::string::npos)
      RequireKnownName(o.command, a.substr(0, eq), a.substr(eq + 1));
  return ok;
}

// Every port named must be one of this machine's: a typing slip is told with the ports there
// are, before any port is opened.
bool PortsExist(const std::vector<std::string>& ports) {
  bool all = true;
  for (const std::string& port : ports) {
    const auto com = ResolvePort(port);
    if (com && ProbeComPort(*com) != TComPortState::Absent) continue;
    std::string present;
    for (const auto& e : EnumerateComPorts(255))
      if (ProbeDevicePath(e.DevicePath) != TComPortState::Absent)
        present += (present.empty() ? "" : ", ") + std::string("COM") + std::to_string(e.ComNumber);
    std::cerr << "kavrune-cli: " << port << " is not a serial port of this machine; "
              << (present.empty() ? "it has none (see kavrune-cli ports)"
                                  : "its ports are " + present + " (kavrune-cli ports says what they are)")
              << '\n';
    all = false;
  }
  return all;
}

// Everything that can be found wrong without the device, before any port opens; nothing and
// in status why: a value on the command line the device would not take is a usage error (2),
// a file's fault status 5.
std::optional<TPortJob> PrepareJob(const TOptions& o, int& status) {
  status = FileError;
  TPortJob job;
  job.Several = o.ports.size() > 1;
  job.Verify = o.command == "verify";
  std::string error;
  if (o.command == "apply" || o.command == "verify") {
    const bool apply = o.command == "apply";
    auto wanted =
        LoadSettingsFile(o.input, apply ? TFileUse::Write : TFileUse::Verify, o.quiet, apply ? &job.Restore : nullptr);
    if (!wanted) return std::nullopt;
    job.Wanted = *wanted;
  } else if (o.command == "set") {
    std::vector<std::string> assignments;
    const bool ok = GatherAssignments(o, assignments);
    std::vector<std::string> refused;
    for (const std::string& a : assignments) {
      if (const auto parsed = ParseAssignment(a, error)) job.Wanted.Set(*parsed->Row, parsed->Value);
      else refused.push_back(error);
    }
    if (!ok || !refused.empty()) {
      // One line a value, as every usage error; the last says that nothing was sent.
      for (size_t i = 0; i < refused.size(); ++i)
        std::cerr << "kavrune-cli: " << refused[i]
                  << (i + 1 < refused.size() ? "" : "; nothing was sent to the device (try 'kavrune-cli set --help')")
                  << '\n';
      if (refused.empty()) std::cerr << "kavrune-cli: nothing was sent to the device\n";
      status = Usage;
      return std::nullopt;
    }
  } else if (o.command == "get") {
    for (const std::string& name : o.operands) {
      const auto rows = RequireKnownName(o.command, name);
      job.Rows.insert(job.Rows.end(), rows.begin(), rows.end());
    }
  }
  if (!o.units.empty()) {
    std::ifstream in(o.units, std::ios::binary);
    std::error_code ec;
    if (!in || fs::is_directory(o.units, ec)) {
      std::cerr << "kavrune-cli: cannot read " << o.units << "; nothing was sent to the device\n";
      return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::vector<std::string> faults;
    size_t emptyCells = 0;
    std::vector<TUnitRow> rows = ParseUnits(o.units, text.str(), faults, o.allowDuplicate, o.allowEmpty, &emptyCells);
    for (const std::string& f : faults) std::cerr << "kavrune-cli: " << f << '\n';
    if (!faults.empty()) {
      // Cells left empty on purpose are the command line's to allow; any other fault is the file's.
      if (emptyCells == faults.size()) {
        std::cerr << "kavrune-cli: nothing was sent to the device; give each unit its value, or --allow-empty to "
                     "keep there the value given for every unit (try 'kavrune-cli "
                  << o.command << " --help')\n";
        status = Usage;
      } else {
        std::cerr << "kavrune-cli: nothing was sent to the device\n";
      }
      return std::nullopt;
    }
    job.Units = o.command == "verify"
                    ? std::make_shared<TUnitMatcher>(o.units, std::move(rows), "nothing was compared with")
                    : std::make_shared<TUnitMatcher>(o.units, std::move(rows));
  }
  return job;
}

// The values a row of --units gives its unit, as the device prints them; a secret only as set.
std::vector<std::pair<std::string, std::string>> ValuesOf(const TUnitRow* row) {
  std::vector<std::pair<std::string, std::string>> values;
  if (!row) return values;
  TDeviceSettings given;
  for (const TAssignment& a : row->Values) given.Set(*a.Row, a.Value);
  for (const TAssignment& a : row->Values)
    values.emplace_back(SettingName(*a.Row),
                        a.Row->Kind == TSettingKind::Secret ? kSecretSet : ShownValue(*a.Row, given));
  return values;
}

// A unit's record for --report: the names of the settings changed, and the values of its row.
TUnitRecord RecordOf(const TPortResult& r, const TPortJob& job) {
  TUnitRecord record{UtcTime(r.Seconds), r.Port,   r.Unit.Mac, r.Unit.Firmware, r.UnitRow,
                     r.Outcome,          r.Status, {},         r.Seconds};
  if (record.Outcome.empty())
    record.Outcome = job.Verify ? "not compared" : r.Write.Stored ? "stored not checked" : "nothing stored";
  if (record.Outcome == "confirmed" || record.Outcome == "not taken") {
    for (const TDifference& d : r.Write.Differences) record.Changed.push_back(SettingName(*d.Row));
    for (const TSettingRow* row : r.Write.Secrets) record.Changed.push_back(SettingName(*row));
  }
  for (const TDifference& d : r.Differs) record.Differs.push_back(SettingName(*d.Row));
  if (job.Units && r.UnitRow) record.Values = ValuesOf(job.Units->RowNumbered(r.UnitRow));
  return record;
}

// A row of --units whose unit was on none of the ports: no status, since no port had it.
TUnitRecord NotFoundRecord(const TUnitRow& row) {
  TUnitRecord record{UtcTime(0), row.Port, row.Mac, {}, row.Number, "not found", 0, {}, 0};
  record.HasStatus = false;
  record.Values = ValuesOf(&row);
  return record;
}

// What the run went with, the same in each of its records.
TRunInfo RunInfoOf(const TOptions& o) {
  TRunInfo run{NewRunId(), "kavrune-cli " KAVRUNE_VERSION, o.input, {}, o.operatorName, o.station};
  if (!o.input.empty()) {
    std::ifstream in(o.input, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in) run.SettingsSha256 = Sha256Hex(bytes.str());
  }
  return run;
}

// The passwords and keys a job gives, for every unit and per unit.
std::vector<std::string> SecretsOf(const TPortJob& job) {
  std::vector<std::string> secrets;
  for (const TSettingRow& row : SettingRows())
    if (const std::string* v = job.Wanted.Find(row); v && Confidential(row) && !v->empty()) secrets.push_back(*v);
  if (job.Units)
    for (const TUnitRow& row : job.Units->Rows())
      for (const TAssignment& a : row.Values)
        if (Confidential(*a.Row) && !a.Value.empty()) secrets.push_back(a.Value);
  return secrets;
}

// One worker per port, all at once; a summary line each when there are several.
std::vector<TPortResult> RunOnPorts(const TOptions& o, const std::vector<std::string>& ports, const TPortJob& job,
                                    TRunReport* report = nullptr) {
  std::vector<TPortResult> results(ports.size());
  // The signal handler only wakes this thread; the notice comes at once, the ports' own
  // messages when each has left Setup Mode.
  std::thread notice([&] {
    if (CliPlatform::WaitForStop())
      TCliOutput(std::string(), false, false)
          .Error(
              "stopping: nothing more is written, and the device leaves Setup Mode without storing (Ctrl-C again quits "
              "at once)");
  });
  std::vector<std::thread> workers;
  for (size_t i = 0; i < ports.size(); ++i)
    workers.emplace_back([&, i] {
      try {
        results[i] = RunOnPort(o, ports[i], job);
      } catch (const std::exception& e) {
        TCliOutput(job.Several ? ports[i] + ": " : std::string(), o.quiet, false).Error(e.what());
        results[i].Port = ports[i];
        results[i].Status = PortError;
        results[i].Write.Errors = {e.what()};
      }
      // As each unit is done: a crash later loses none of the records written.
      if (report && !report->Append(RecordOf(results[i], job))) {
        TCliOutput(job.Several ? results[i].Port + ": " : std::string(), o.quiet, false)
            .Error("cannot add the unit's record to " + o.report);
        if (results[i].Status == Ok) results[i].Status = FileError;
      }
    });
  for (std::thread& w : workers) w.join();
  CliPlatform::EndStopWait();
  notice.join();
  return results;
}

int FirstFailure(const std::vector<TPortResult>& results) {
  for (const TPortResult& r : results)
    if (r.Status != Ok) return r.Status;
  return Ok;
}

// The tool's status after a stop signal: the stop's, unless a unit had stored before it came.
int StoppedStatus(const std::vector<TPortResult>& results) {
  for (const TPortResult& r : results)
    if (r.Status == StoredNotChecked) return StoredNotChecked;
  return CliPlatform::StopStatus();
}

// A read changes nothing, so its line says what it read; a dry run what would change, and verify
// whether the unit matches.
void PrintSummary(const std::vector<TPortResult>& results, const std::string& command, bool dryRun) {
  const bool verify = command == "verify";
  for (const TPortResult& r : results) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f s", r.Seconds);
    const std::string how = r.Status == Ok                 ? (verify ? "matches" : "ok")
                            : verify && r.Status == Differ ? "differs"
                            : CliPlatform::StopFlag() && r.Status == CliPlatform::StopStatus() ? "stopped"
                                                                                               : "failed";
    const bool plain = r.Status == Ok || (verify && r.Status == Differ);
    std::cout << r.Port << '\t' << (plain ? how : how + " (status " + std::to_string(r.Status) + ")") << '\t';
    if (command == "read") std::cout << (r.Result.empty() ? "nothing read" : r.Result);
    else if (verify) std::cout << r.Differs.size() << (r.Differs.size() == 1 ? " setting differs" : " settings differ");
    else
      std::cout << r.Changed << (r.Changed == 1 ? " setting" : " settings") << (dryRun ? " would change" : " changed");
    std::cout << '\t' << seconds << '\n';
  }
  std::cout << std::flush;
}

void PrintWriteJson(const TOptions& o, int status, const std::vector<TPortResult>& results) {
  std::vector<TPortWrite> ports;
  for (const TPortResult& r : results)
    ports.push_back({r.Port, r.Unit.Mac, r.Unit.Firmware, r.Status, r.Result, r.Write});
  std::cout << WriteResultJson(o.command, o.dryRun, status, ports) << std::flush;
}

// diff: each side a settings file, else a port; ports are read side by side.
int RunDiff(const TOptions& o) {
  std::vector<std::optional<TDeviceSettings>> sides(2);
  std::vector<std::string> ports;
  std::vector<size_t> portSide;
  for (size_t i = 0; i < 2; ++i) {
    const std::string& x = o.operands[i];
    std::error_code ec;
    if (fs::is_regular_file(x, ec) || !ResolvePort(x)) {
      sides[i] = LoadSettingsFile(x, TFileUse::Look, o.quiet);
      if (!sides[i]) return FileError;
    } else {
      ports.push_back(x);
      portSide.push_back(i);
    }
  }
  if (!ports.empty()) {
    if (!PortsExist(ports)) return PortError;
    TOptions read = o;
    read.command = "read";
    TPortJob job;
    job.Print = false;
    job.Several = ports.size() > 1;
    const auto results = RunOnPorts(read, ports, job);
    if (CliPlatform::StopFlag()) return CliPlatform::StopStatus();
    if (int rc = FirstFailure(results); rc != Ok) return rc;
    for (size_t k = 0; k < ports.size(); ++k) sides[portSide[k]] = results[k].Settings;
  }
  const auto differences = Compare(*sides[0], *sides[1]);
  std::cout << FormatDifferences(differences, o.format.value_or(TFormat::Text)) << std::flush;
  return differences.empty() ? Ok : Differ;
}

// edit: a settings file changed with set's names, values and checks, and written back in its
// own form, whole or not at all; no device.
int RunEdit(const TOptions& o) {
  // A slip in a name gets set's guess, before the file is looked at.
  std::vector<std::string> assignments;
  const bool ok = GatherAssignments(o, assignments);
  PXmlDocument doc;
  try {
    doc = TXmlDocument::LoadFromFile(o.input);
  } catch (const std::exception& e) {
    std::cerr << "kavrune-cli: " << e.what() << '\n';
    return FileError;
  }
  const TXmlElement root = doc->Root();
  const TDeviceSettings before = FromDocument(root);
  TDeviceSettings after = before;
  std::vector<std::string> refused;
  std::string error;
  for (const std::string& a : assignments)
    if (const auto parsed = ParseAssignment(a, error, &after)) after.Set(*parsed->Row, parsed->Value);
    else refused.push_back(error);
  for (const std::string& f : CheckBeforeWrite(after)) refused.push_back(f);
  if (!ok || !refused.empty()) {
    for (const std::string& r : refused) std::cerr << "kavrune-cli: " << r << '\n';
    std::cerr << "kavrune-cli: " << o.input << " was not changed\n";
    return Usage;
  }
  // The file's own form: a read document keeps what the unit printed about itself.
  const bool readForm = IsReadDocument(root);
  const PXmlDocument out = TXmlDocument::CreateFromText(readForm ? TXmlDocument::ReadDocumentText : "<xml/>");
  if (readForm) {
    ToReadDocument(after, out->Root());
    for (const TXmlElement& section : root.Children())
      for (const TXmlElement& entry : section.Children())
        if (EntryKind(section.Name(), entry.Name()) != TEntryKind::Setting)
          FindNodePath(out->Root(), section.Name(), true).AppendCopy(entry);
  } else {
    ToWriteDocument(Diff(TDeviceSettings(), after), out->Root());
  }
  try {
    out->SaveToFile(o.input);  // written beside and renamed
  } catch (const std::exception& e) {
    std::cerr << "kavrune-cli: " << e.what() << "; " << o.input << " was not changed\n";
    return FileError;
  }
  if (!o.quiet) std::cout << FormatDifferences(Masked(Compare(before, after)), TFormat::Text) << std::flush;
  return Ok;
}

// The window program, which makes the sheet: the PDF writer is the toolkit's, and this program
// links no toolkit. $KAVRUNE_SETUP, else the one beside this program, else the one on PATH.
std::string SheetProgram() {
#ifdef _WIN32
  const std::string name = "kavrune-setup.exe";
  const char separator = ';';
#else
  const std::string name = "kavrune-setup";
  const char separator = ':';
#endif
  if (const char* own = std::getenv("KAVRUNE_SETUP"); own && *own) return own;
  std::error_code ec;
  if (const std::string dir = CliPlatform::OwnDirectory();
      !dir.empty() && fs::is_regular_file(fs::path(dir) / name, ec))
    return (fs::path(dir) / name).string();
  const char* path = std::getenv("PATH");
  for (std::string rest = path ? path : ""; !rest.empty();) {
    const size_t end = std::min(rest.find(separator), rest.size());
    const fs::path candidate = fs::path(rest.substr(0, end)) / name;
    if (end > 0 && fs::is_regular_file(candidate, ec)) return candidate.string();
    rest.erase(0, std::min(end + 1, rest.size()));
  }
  return {};
}

// The name the window offers for a sheet: the unit's MAC address in it where the settings name
// the unit.
std::string DefaultSheetName(const std::string& settingsPath) {
  std::string mac;
  try {
    mac = TDeviceIdentityScanner().Identity(TXmlDocument::LoadFromFile(settingsPath)->Root()).Mac;
  } catch (const std::exception&) {
    // The file was read a moment ago; should it fail now, the sheet goes by the plain name.
  }
  return mac.empty() ? "kavrune-sheet.pdf" : "kavrune-" + mac + "-sheet.pdf";
}

// sheet: the unit is read into a private folder first; the window program lays the sheet out.
int RunSheet(const TOptions& o) {
  const std::string program = SheetProgram();
  if (program.empty()) {
    std::cerr << "kavrune-cli: the sheet is made by kavrune-setup, which is neither beside this program nor on "
                 "PATH (install the window program, or name it in KAVRUNE_SETUP)\n";
    return FileError;
  }
  std::vector<std::string> args = {"--sheet", o.input, "-o", o.output};
  std::string folder;
  struct TRemove {
    std::string& Dir;
    ~TRemove() {
      std::error_code ec;
      if (!Dir.empty()) fs::remove_all(Dir, ec);
    }
  } remove{folder};
  if (!o.ports.empty()) {
    folder = CliPlatform::MakePrivateTempDirectory();
    if (folder.empty()) {
      std::cerr << "kavrune-cli: cannot make a temporary folder for the unit's settings\n";
      return FileError;
    }
    if (!PortsExist(o.ports)) return PortError;
    TOptions read = o;
    read.command = "read";
    read.output = (fs::path(folder) / "unit.xml").string();
    read.format = TFormat::Xml;
    const auto results = RunOnPorts(read, o.ports, TPortJob());
    if (CliPlatform::StopFlag()) return CliPlatform::StopStatus();
    if (int rc = FirstFailure(results); rc != Ok) return rc;
    args[1] = read.output;
    // Every setting on it is what the unit reported just now: the unit as left.
    args.insert(args.end(), {"--from-port", o.ports.front(), "--as-left", UtcTime(0)});
  } else if (!LoadSettingsFile(o.input, TFileUse::Look, o.quiet)) {
    return FileError;
  }
  // Without -o, where the window would offer it, and named in full.
  if (o.output.empty()) {
    const std::string name = DefaultSheetName(args[1]);
    std::error_code ec;
    const fs::path full = fs::absolute(name, ec);
    args[3] = ec ? name : full.string();
  }
  if (!o.language.empty()) args.insert(args.end(), {"--language", o.language});
  if (!o.operatorName.empty()) args.insert(args.end(), {"--operator", o.operatorName});
  if (!o.station.empty()) args.insert(args.end(), {"--station", o.station});
  const int rc = CliPlatform::RunProgram(program, args);
  if (rc == 0) {
    if (!o.quiet) std::cerr << "settings sheet written to " << args[3] << '\n';
    return Ok;
  }
  if (rc < 0) std::cerr << "kavrune-cli: cannot run " << program << '\n';
  std::cerr << "kavrune-cli: no sheet was written\n";
  return FileError;
}

// The commands on devices: one worker per port. Never raises: a fault is told and is the status.
int RunDeviceCommand(const TOptions& o, TDeviceRun& run) {
  try {
    // A script that asked for JSON gets its object whatever stopped the command.
    const bool json = o.format == TFormat::Json && (o.command == "set" || o.command == "apply");
    auto done = [&](int status, const std::vector<TPortResult>& results = {}) {
      if (json) PrintWriteJson(o, status, results);
      return status;
    };
    int refused = Ok;
    const auto job = PrepareJob(o, refused);
    if (!job) return done(refused);
    std::unique_ptr<TRunReport> report;
    if (!o.report.empty()) {
      report = std::make_unique<TRunReport>(o.report, RunInfoOf(o));
      if (!report->IsOpen()) {
        std::cerr << "kavrune-cli: " << (report->Why().empty() ? "cannot open the report " + o.report : report->Why())
                  << "; nothing was sent to the device\n";
        return done(FileError);
      }
    }
    if (!PortsExist(o.ports)) return done(PortError);
    run.Secrets = SecretsOf(*job);
    const auto& results = run.Results = RunOnPorts(o, o.ports, *job, report.get());
    const int status = CliPlatform::StopFlag() ? StoppedStatus(results) : FirstFailure(results);
    int reportStatus = Ok;
    // A line's supervisor counts the units: each port's, then the rows no port had. A report
    // ends with the totals whether or not the units came from a file.
    TRunTotals totals;
    for (const TPortResult& r : results) totals.Count(RecordOf(r, *job));
    if (job->Units) {
      for (const TUnitRow* row : job->Units->UnclaimedRows()) {
        totals.Count(NotFoundRecord(*row));
        if (report && !report->Append(NotFoundRecord(*row))) reportStatus = FileError;
      }
      if (!o.quiet)
        for (const std::string& line : job->Units->Unclaimed()) std::cerr << line << '\n';
    }
    if (report && !report->AppendTotals(totals, status)) reportStatus = FileError;
    if (reportStatus != Ok) std::cerr << "kavrune-cli: cannot add the run's last records to " << o.report << '\n';
    if (job->Several && !json) PrintSummary(results, o.command, o.dryRun);
    if (job->Units && !json) std::cout << "units: " << totals.Line() << std::endl;
    return done(status != Ok ? status : reportStatus, results);
  } catch (const TUsageError& e) {
    std::cerr << "kavrune-cli: " << e.Line() << '\n';
    return Usage;
  } catch (const std::exception& e) {
    std::cerr << "kavrune-cli: " << e.what() << '\n';
    return PortError;
  }
}

}  // namespace

int Run(const std::vector<std::string>& args) {
  TOptions o;
  try {
    o = Parse(args);
  } catch (const TUsageError& e) {
    // One line: the whole help would bury the reason.
    std::cerr << "kavrune-cli: " << e.Line() << '\n';
    return Usage;
  }
  if (o.command == "help") {
    std::cout << HelpText(o.operands.empty() ? std::string() : o.operands.front());
    return Ok;
  }
  if (o.command == "--version") {
    std::cout << "kavrune-cli " KAVRUNE_VERSION "\n";
    return Ok;
  }
  if (o.command == "--setting-names") {
    // The names get can show (the dump shows them) or set can write (a menu asks for them).
    const bool set = o.operands.front() == "set";
    std::set<std::string> listed;
    for (const TSettingRow& row : SettingRows())
      if ((set ? row.Writable() : row.Readable()) && listed.insert(SettingName(row)).second)
        std::cout << SettingName(row) << '\n';
    return Ok;
  }
  if (o.command == "--setting-values") {
    // Words only: a number, an address or a text is the user's own.
    std::string error;
    const auto rows = FindSettings(o.operands.front(), error);
    if (rows.size() == 1 && rows.front()->Writable()) {
      const TSettingRow& row = *rows.front();
      if (row.Kind == TSettingKind::Flag) std::cout << "on\noff\n";
      if (row.Kind == TSettingKind::Choice)
        for (const std::string& word : row.Words)
          if (!word.empty()) std::cout << word << '\n';
    }
    return Ok;
  }
  try {
    if (o.command == "ports") return ListPorts();
    if (o.command == "backups") return ListBackups(o);
    if (o.command == "diff") return RunDiff(o);
    if (o.command == "edit") return RunEdit(o);
    if (o.command == "sheet") return RunSheet(o);
    if (!o.bundle.empty()) return RunWithBundle(o, args, RunDeviceCommand);
    TDeviceRun run;
    return RunDeviceCommand(o, run);
  } catch (const TUsageError& e) {
    std::cerr << "kavrune-cli: " << e.Line() << '\n';
    return Usage;
  } catch (const std::exception& e) {
    std::cerr << "kavrune-cli: " << e.what() << '\n';
    return PortError;
  }
}

}  // namespace KaVruneCli
