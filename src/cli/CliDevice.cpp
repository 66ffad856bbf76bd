#include "CliDevice.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <set>

#include <nlohmann/json.hpp>

#include "AfComNames.h"
#include "CliBackups.h"
#include "CliPlatform.h"
#include "CliText.h"
#include "KaVruneCli.h"
#include "uFileUtils.h"
#include "uTranscript.h"
#include "uXmlUtils.h"

namespace KaVruneCli {
namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

int OpenPort(TKaVruneSession& session, int comNumber, TCliOutput& out) {
  // Another program may have the node open without a lock (cat, a shell's redirection): the
  // port would open, but that program would take the device's answers and the wait would only
  // run out. Said at once instead, before a byte is sent; a lock alone is found by the open.
  if (const std::string holders = CliPlatform::PortHolders(ComDevicePath(comNumber)); !holders.empty()) {
    out.Error("Can't open device COM" + std::to_string(comNumber) + ": in use by " + holders +
              "; end it or choose another port");
    return PortError;
  }
  try {
    if (!session.Open(comNumber)) {
      out.Error("COM" + std::to_string(comNumber) + " could not be opened");
      return PortError;
    }
  } catch (const EAfSerialError& e) {
    out.Error(AfPortErrorText(e));
    const std::string path = ComDevicePath(comNumber);
    if (e.Kind() == TAfPortError::Permission)
      if (const std::string hint = CliPlatform::AccessHint(path); !hint.empty()) out.Error(hint);
    if (e.Kind() == TAfPortError::InUse)
      if (const std::string holders = CliPlatform::PortHolders(path); !holders.empty())
        out.Error("COM" + std::to_string(comNumber) + " is in use by " + holders);
    return PortError;
  }
  return Ok;
}

// What a stop (a signal or the time limit) left on the device.
std::string StoppedNote(const TSessionResult& r) {
  if (r.Stored) return "The device had stored the settings already; they were not checked against a second read.";
  if (!r.Message.empty()) return r.Message;
  return "Nothing was stored; the device keeps the settings it had.";
}

// The exit code of a write step, with its message on stderr.
int WriteOutcome(const TSessionResult& r, const std::string& what, int timeoutSec, TCliOutput& out) {
  out.EndStatus();
  // The worker's reason, unless it was already shown as it happened.
  const std::string reason = r.Message.empty() || out.Shown(r.Message) ? std::string() : ": " + r.Message;
  // A stop after the unit stored is no stop before it: what was asked is on the unit, unchecked.
  if (r.Status != TSessionStatus::Done && CliPlatform::StopFlag()) {
    out.Error("stopped on request while " + what + ". " + StoppedNote(r));
    return r.Stored ? StoredNotChecked : CliPlatform::StopStatus();
  }
  switch (r.Status) {
    case TSessionStatus::Done: return Ok;
    case TSessionStatus::TimedOut:
      out.Error("the time limit of " + std::to_string(timeoutSec) + " s ran out while " + what + ". " + StoppedNote(r));
      return r.Stored ? StoredNotChecked : WriteFailed;
    case TSessionStatus::NotBack:
      out.Error("stored, not checked: the unit did not come back after storing; read it again to confirm");
      return StoredNotChecked;
    case TSessionStatus::NoAnswer: out.Error("the device did not answer after " + what); return NoDevice;
    case TSessionStatus::LineLost: out.Error(r.Message + " after " + what); return PortError;
    case TSessionStatus::Failed:
    case TSessionStatus::Cancelled: out.Error(what + " failed" + reason); return WriteFailed;
  }
  return WriteFailed;
}

int Emit(const std::string& path, const std::string& text, TCliOutput& out) {
  if (path.empty() || path == "-") {
    std::lock_guard g(TCliOutput::Lock());
    std::cout << text << std::flush;
    return std::cout ? Ok : FileError;
  }
  if (!WriteFileAtomically(path, text)) {
    out.Error("cannot write " + path);
    return FileError;
  }
  return Ok;
}

// What a write would change, as diff prints it; passwords and keys masked, secrets only by name. A change the device is
// not expected to ask for in the mode it will be in is named as such: it would not be written.
std::string PlannedChanges(const TDeviceSettings& current, const TDeviceSettings& wanted,
                           const TSettingChanges& changes, TWriteRecord& plan) {
  TDeviceSettings after = current;
  std::string secrets, unasked;
  for (const TSettingChange& c : changes) {
    if (!ExpectedToBeAsked(c, current, wanted)) {
      plan.NotAsked.push_back(c.Row);
      const std::string mode = ModeWords(c.Row->Section, after);
      unasked += SettingName(*c.Row) + ": the device will most likely not ask for it in its present mode" +
                 (mode.empty() ? std::string() : " (" + mode + ")") + ", so it would not be written\n";
      continue;
    }
    after.Set(*c.Row, c.To);
    if (c.Row->Kind == TSettingKind::Secret) {
      plan.Secrets.push_back(c.Row);
      secrets += SettingName(*c.Row) + ": (a new value)\n";
    }
  }
  plan.Differences = Compare(current, after);
  return FormatDifferences(Masked(plan.Differences), TFormat::Text) + secrets + unasked;
}

// The unit's model, as the line of its dump that names its hardware says.
std::string ModelOf(const TXmlElement& readDocument) {
  for (const TXmlElement& section : readDocument.Children())
    if (const TXmlElement hardware = section.FirstChild("Hardware")) return hardware.Text();
  return {};
}

// Unreadable lines of the newest dump stay in the document as markers (the window shows their
// settings as missing); they are named here and make the status.
int ReportDamage(const TKaVruneSession& session, TCliOutput& out) {
  const auto& damaged = session.DamagedLines();
  if (damaged.empty()) return Ok;
  std::string text = "the line is noisy: " + std::to_string(damaged.size()) +
                     " line(s) of the settings stayed unreadable after three reads:";
  for (const std::string& line : damaged) text += "\n  " + line;
  out.Error(text);
  return DumpDamaged;
}

// "Unit: MAC 02-00-00-8F-1C-2E, firmware V1.0.0.1", a line of its own; none for a unit that
// named itself nowhere.
std::string UnitLine(const TDeviceIdentity& unit) {
  if (unit.Mac.empty() && unit.Firmware.empty()) return {};
  std::string line = "Unit:";
  if (!unit.Mac.empty()) line += " MAC " + unit.Mac;
  if (!unit.Firmware.empty()) line += std::string(unit.Mac.empty() ? "" : ",") + " firmware " + unit.Firmware;
  return line + "\n";
}

std::string WithUnit(const std::string& json, const TDeviceIdentity& unit) {
  if (unit.Mac.empty() && unit.Firmware.empty()) return json;
  auto object = nlohmann::ordered_json::parse(json);
  nlohmann::ordered_json named = nlohmann::ordered_json::object();
  if (!unit.Mac.empty()) named["MAC_address"] = unit.Mac;
  if (!unit.Firmware.empty()) named["Firmware"] = unit.Firmware;
  object["Unit"] = named;
  return object.dump(2) + "\n";
}

std::string Plural(size_t n, const char* what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); }

// verify: every setting the unit was to get that it holds otherwise (or has no menu for), as diff
// names it, the settings' value first; passwords and keys are never compared. Nothing is written.
int CompareWithUnit(const TCheckedApply& apply, const TDeviceSettings& current, const TDeviceSettings& wanted,
                    const std::string& port, bool several, TPortResult& result, TCliOutput& out) {
  std::set<const TSettingRow*> differing;
  for (const TSettingChanges* changes : {&apply.Changes(), &apply.NotOnUnit()})
    for (const TSettingChange& c : *changes) differing.insert(c.Row);
  for (const TDifference& d : Compare(wanted, current))
    if (differing.count(d.Row)) result.Differs.push_back(d);
  std::string lines = FormatDifferences(Masked(result.Differs), TFormat::Text);
  if (several) {
    std::string prefixed;
    for (size_t at = 0; at < lines.size();) {
      const size_t end = lines.find('\n', at);
      prefixed += port + ": " + lines.substr(at, end - at + 1);
      at = end + 1;
    }
    lines = prefixed;
  }
  if (int rc = Emit("", lines, out); rc != Ok) return rc;
  result.Outcome = result.Differs.empty() ? "matches" : "differs";
  result.Result = result.Differs.empty()
                      ? "the unit holds every setting of the file"
                      : Plural(result.Differs.size(), "setting") + " of the file " +
                            (result.Differs.size() == 1 ? "differs" : "differ") + " on the unit; nothing was written";
  out.Note(result.Result);
  return result.Differs.empty() ? Ok : Differ;
}

// What a restore leaves as the unit has it (passwords and keys, the E-mail menu), where the
// restore touches it; each line once a run, however many units share it.
void SayNotCarried(const TDeviceSettings& current, const TDeviceSettings& restored, TCliOutput& out) {
  static std::mutex lock;
  static std::set<std::string> said;
  for (const std::string& line : NotCarriedByRestore(current, restored)) {
    bool fresh = false;
    {
      std::lock_guard g(lock);
      fresh = said.insert(line).second;
    }
    if (fresh) out.Note(line);
  }
}

}  // namespace

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

bool Writable(const std::string& path) {
  if (path.empty() || path == "-") return true;
  std::error_code ec;
  if (fs::is_directory(path, ec)) return false;
  const std::string probe = path + ".kavrune-probe";
  const bool ok = static_cast<bool>(std::ofstream(probe, std::ios::binary));
  std::remove(probe.c_str());
  return ok;
}

std::string PortFileName(const std::string& path, const std::string& port, bool several) {
  if (!several || path.empty() || path == "-") return path;
  const fs::path p(path);
  return (p.parent_path() / (p.stem().string() + "-" + port + p.extension().string())).string();
}

TCliOutput::TCliOutput(std::string prefix, bool quiet, bool progress)
    : prefix_(std::move(prefix)), quiet_(quiet), progress_(progress && !quiet && CliPlatform::StderrIsTerminal()) {}

TCliOutput::~TCliOutput() { EndStatus(); }

std::mutex& TCliOutput::Lock() {
  static std::mutex lock;
  return lock;
}

void TCliOutput::Error(const std::string& text) {
  EndStatus();
  std::lock_guard g(Lock());
  std::cerr << "kavrune-cli: " << prefix_ << text << '\n';
  said_.push_back(text);
  errors_.push_back(text);
}

std::vector<std::string> TCliOutput::Errors() const {
  std::lock_guard g(Lock());
  return errors_;
}

void TCliOutput::Note(const std::string& text) {
  if (quiet_) return;
  EndStatus();
  std::lock_guard g(Lock());
  std::cerr << prefix_ << text << '\n';
  said_.push_back(text);
}

bool TCliOutput::Shown(const std::string& text) const {
  std::lock_guard g(Lock());
  return std::find(said_.begin(), said_.end(), text) != said_.end();
}

void TCliOutput::Status(const std::string& text) {
  if (!progress_) return;
  std::lock_guard g(Lock());
  std::cerr << "\r\033[K" << prefix_ << text << std::flush;
  shown_ = true;
}

void TCliOutput::EndStatus() {
  std::lock_guard g(Lock());
  if (!shown_) return;
  std::cerr << "\r\033[K" << std::flush;
  shown_ = false;
}

TPortResult RunOnPort(const TOptions& o, const std::string& port, const TPortJob& job) {
  const auto start = Clock::now();
  TPortResult result;
  result.Port = port;
  const auto com = ResolvePort(port);
  if (com) result.Port = "COM" + std::to_string(*com);
  TCliOutput out(job.Several ? result.Port + ": " : std::string(), o.quiet, !job.Several);
  auto finish = [&](int status) {
    result.Status = status;
    result.Write.Errors = out.Errors();
    result.Seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return result;
  };
  if (!com) {
    out.Error(port + " is not a serial port of this machine (give COM<n> or a device node; see kavrune-cli ports)");
    return finish(PortError);
  }
  std::string output = PortFileName(o.output, result.Port, job.Several);
  if (!Writable(output)) {
    out.Error("cannot write " + output);
    return finish(FileError);
  }

  std::unique_ptr<TTranscript> transcript;
  if (!o.log.empty()) {
    const std::string log = PortFileName(o.log, result.Port, job.Several);
    transcript = std::make_unique<TTranscript>(log);
    if (!transcript->IsOpen()) {
      out.Error("cannot write the log file " + log);
      return finish(FileError);
    }
  }

  TSessionObserver observer;
  observer.Message = [&](const std::string& text) { out.Note(text); };
  observer.Progress = [&](const TWorkProgress& p) {
    if (p.Step == TWorkStep::Waiting) return;  // said once below, with the port and the time
    const std::string counts = ProgressCounts(p);
    out.Status(ProgressWords(p) + (counts.empty() ? std::string() : " (" + counts + ")"));
  };
  TKaVruneSession session(observer);
  session.SetCancelFlag(&CliPlatform::StopFlag());
  session.SetRestartLimit(std::chrono::seconds(o.restartLimitSec));
  if (transcript)
    session.SetTrace([t = transcript.get()](bool sent, const std::string& bytes) { t->Record(sent, bytes); });
  if (int rc = OpenPort(session, *com, out); rc != Ok) return finish(rc);
  if (job.Several) out.Note("waiting for the device");
  else
    out.Note("Waiting for the device on " + result.Port + " - power the device on now (up to " +
             std::to_string(o.timeoutSec) + " s).");
  // One limit for the whole command: waiting, reading, writing and the read that checks it.
  const auto deadline = start + std::chrono::seconds(o.timeoutSec);
  const TSessionResult woken = session.WaitForDevice(deadline);
  result.Unit = session.Identity();
  if (const TSessionResult& r = woken; !r.Ok()) {
    if (r.Status == TSessionStatus::Cancelled) {
      out.Error("stopped on request before anything was written");
      // Stopped during its first printout, the device is in Setup Mode already.
      if (session.InSetupMode()) {
        out.Note("Leaving Setup Mode without storing once the device has printed its settings...");
        if (session.Leave(std::chrono::steady_clock::now() + std::chrono::seconds(10)))
          out.Note("The device left Setup Mode; nothing was stored.");
        else out.Error("the device did not confirm leaving Setup Mode; nothing was stored: switch it off and on");
      }
      return finish(CliPlatform::StopStatus());
    }
    if (r.Status == TSessionStatus::LineLost) {
      out.Error(r.Message + " on " + result.Port);
      return finish(PortError);
    }
    out.Error("no device answered on " + result.Port + " within " + std::to_string(o.timeoutSec) + " s");
    return finish(NoDevice);
  }
  out.EndStatus();
  result.Model = ModelOf(session.Settings());
  const TDeviceSettings current = FromReadDocument(session.Settings());
  result.Settings = current;
  const size_t shown = std::count_if(SettingRows().begin(), SettingRows().end(),
                                     [&](const TSettingRow& r) { return current.Find(r) != nullptr; });

  // With several ports each unit's read is named by its port and, when it showed one, its MAC.
  if (o.command == "read" && job.Several && !result.Unit.Mac.empty() && !output.empty() && output != "-")
    output = PortFileName(o.output, result.Port + "-" + result.Unit.Mac, true);
  if (o.command == "read") {
    // On a terminal a person reads it; a file or a pipe gets the document, as scripts expect.
    const TFormat format =
        o.format.value_or(output.empty() && CliPlatform::StdoutIsTerminal() ? TFormat::Text : TFormat::Xml);
    // Every form names the unit, as the XML's "Unit" section does.
    std::string text = format == TFormat::Xml    ? session.SettingsText()
                       : format == TFormat::Text ? UnitLine(result.Unit) + ReadableText(current)
                                                 : FormatSettings(current, format);
    if (format == TFormat::Json) text = WithUnit(text, result.Unit);
    if (job.Print)
      if (int rc = Emit(output, text, out); rc != Ok) return finish(rc);
    result.Result = "read " + Plural(shown, "setting");
    out.Note(result.Result);
    return finish(ReportDamage(session, out));
  }
  if (o.command == "get") {
    std::vector<const TSettingRow*> held;
    for (const TSettingRow* r : job.Rows)
      if (current.Find(*r)) held.push_back(r);
      else out.Error(SettingName(*r) + ": the device does not show it in its present mode");
    const TFormat format = o.format.value_or(TFormat::Text);
    std::string text =
        format == TFormat::Text ? ReadableText(current, &held) : FormatSettings(current, format, &held);
    if (o.valueOnly) {
      // A line for each name, in the order named, an empty one for a setting the unit does not
      // show: a script that reads the values by position never takes one for another.
      text.clear();
      for (const TSettingRow* r : job.Rows) text += (current.Find(*r) ? ShownValue(*r, current) : std::string()) + "\n";
    }
    if (int rc = Emit(output, text, out); rc != Ok) return finish(rc);
    return finish(held.size() == job.Rows.size() ? Ok : FileError);
  }

  auto outcome = [&](const TSessionResult& r, const std::string& what) {
    return WriteOutcome(r, what, o.timeoutSec, out);
  };
  std::optional<TUndoTarget> undo;
  if (o.command == "undo") {
    int status = Ok;
    undo = FindUndoTarget(session.Identity().Mac, result.Port, o.dryRun, out, status);
    if (!undo) return finish(status);
  }
  if (o.command == "apply" || o.command == "set" || o.command == "undo" || job.Verify) {
    TDeviceSettings wanted = undo ? undo->Settings : job.Wanted;
    // Which row a unit gets is known only now: its MAC address came with the read.
    if (job.Units) {
      const TUnitMatcher::TMatch match = job.Units->Claim(result.Port, result.Unit.Mac);
      if (!match.Row) {
        out.Error(match.Why);
        result.Outcome = job.Verify ? "not compared" : "not written";
        return finish(NotInUnits);
      }
      out.Note(match.Why);
      result.UnitRow = match.Row->Number;
      wanted = WithUnitValues(std::move(wanted), *match.Row);
    }
    // The unit's own menu says which sections it has: the settings of one it lacks are no part
    // of this unit, and the rest is written.
    TCheckedApply apply(current, wanted, session.MenuMap().SectionsOffered());
    if (!apply.Faults().empty()) {
      for (const std::string& f : apply.Faults()) out.Error(f);
      out.Error("nothing was sent");
      // Values typed on the command line are a usage error; those of a file, the file's.
      return finish(o.command == "set" ? Usage : FileError);
    }
    if (job.Verify) {
      // A line that garbled the read would show differences the unit does not have.
      if (int rc = ReportDamage(session, out); rc != Ok) return finish(rc);
      return finish(CompareWithUnit(apply, current, wanted, result.Port, job.Several, result, out));
    }
    if (job.Restore || undo) SayNotCarried(current, wanted, out);
    const TSettingChanges& changes = apply.Changes();
    const TSettingChanges& notOnUnit = apply.NotOnUnit();
    for (const TSettingChange& c : notOnUnit) result.Write.NotOnUnit.push_back(c.Row);
    if (o.dryRun) {
      std::string plan = PlannedChanges(current, wanted, changes, result.Write);
      if (o.format == TFormat::Json) {
        plan.clear();  // the object on stdout holds it
      } else if (job.Several) {
        std::string prefixed;
        for (size_t at = 0; at < plan.size();) {
          const size_t end = plan.find('\n', at);
          prefixed += result.Port + ": " + plan.substr(at, end - at + 1);
          at = end + 1;
        }
        plan = prefixed;
      }
      Emit("", plan, out);
      for (const std::string& line : NotOnUnitLines(notOnUnit, true)) out.Error(line);
      result.Changed = static_cast<int>(changes.size());
      result.Result = Plural(changes.size(), "setting") + " would change; nothing was written";
      result.Outcome = "not written";
      out.Note(result.Result);
      return finish(Ok);
    }
    if (changes.empty()) {
      result.Outcome = notOnUnit.empty() ? "confirmed" : "not taken";
      result.Result = notOnUnit.empty() ? "no setting differs from the device: nothing was written"
                                        : "no setting this unit has differs from it: nothing was written";
      out.Note(result.Result);
      if (!notOnUnit.empty()) {
        for (const std::string& line : NotOnUnitLines(notOnUnit)) out.Error(line);
        return finish(NotTaken);
      }
    } else {
      if (undo) {
        // What undo is about to restore, before the device is touched.
        TWriteRecord plan;
        std::string lines = PlannedChanges(current, wanted, changes, plan);
        if (!lines.empty() && lines.back() == '\n') lines.pop_back();
        out.Note(Plural(changes.size(), "setting") + " will change:\n" + lines);
      }
      if (int rc = KeepBackup(apply, session, out); rc != Ok) return finish(rc);
      const auto request = TXmlDocument::CreateFromText("<xml/>");
      apply.Request(request->Root());
      const TSessionResult written = session.Apply(request->Root(), deadline);
      const int rc = outcome(written, "writing the settings");
      const bool stored = rc == Ok || rc == StoredNotChecked || written.Stored;
      const TDeviceSettings after = rc == Ok ? FromReadDocument(session.Settings()) : TDeviceSettings();
      const TApplyVerdict verdict = !stored    ? apply.NothingStored()
                                    : rc == Ok ? apply.Stored(written.NotAsked, after, result.Port)
                                               : apply.StoredNotChecked(written.NotAsked, result.Port);
      SaidBackup(apply, verdict, out);
      if (rc != Ok) {
        result.Write.Stored = written.Stored;
        return finish(rc);
      }
      // The device is the truth: only what it reports after the write counts as done, and what
      // it never asked for was not written at all.
      const std::vector<std::string> lines = verdict.Lines(after);
      const bool clean = verdict.Clean();
      const TApplyCheck check = verdict.Check();
      // The check's lines come first: "written and confirmed" is a result, whatever follows it.
      const size_t results =
          check.Clean() && !(check.Confirmed.empty() && check.Unconfirmable.empty()) ? check.Lines().size() : 0;
      result.Write.Differences = Compare(current, after);
      for (const TSettingChange& c : check.Unconfirmable) result.Write.Secrets.push_back(c.Row);
      for (const TSettingChange& c : verdict.Of(TSettingVerdict::NotAsked)) result.Write.NotAsked.push_back(c.Row);
      for (const auto& [c, holds] : check.NotTaken) result.Write.NotTaken.push_back(c.Row);
      result.Changed = static_cast<int>(check.Confirmed.size() + check.Unconfirmable.size());
      result.Result = lines.empty() ? std::string() : lines.front();
      for (size_t i = 0; i < lines.size(); ++i) clean || i < results ? out.Note(lines[i]) : out.Error(lines[i]);
      result.Outcome = clean ? "confirmed" : "not taken";
      if (!clean) {
        if (!o.output.empty()) Emit(output, session.SettingsText(), out);
        return finish(NotTaken);
      }
    }
  } else {  // defaults
    // Storing the factory values writes the passwords too, which no dump shows: kept whatever
    // the dump says.
    // Storing them is an apply of no setting: the backup is kept and settled as for any other.
    TCheckedApply store(current, current);
    if (o.store)
      if (int rc = KeepBackup(store, session, out); rc != Ok) return finish(rc);
    out.Status("Restoring the factory values");
    if (int rc = outcome(session.Defaults(deadline), "restoring the defaults"); rc != Ok) {
      if (o.store) SaidBackup(store, store.NothingStored(), out);
      return finish(rc);
    }
    // Storing walks no section: the device keeps the defaults it just took.
    if (o.store) {
      const TSessionResult stored = session.Store(deadline);
      const int rc = outcome(stored, "storing the defaults");
      const bool didStore = rc == Ok || rc == StoredNotChecked || stored.Stored;
      SaidBackup(store, didStore ? store.Stored({}, {}, result.Port) : store.NothingStored(), out);
      if (rc != Ok) return finish(rc);
    }
    const std::vector<TDifference> differences = Compare(current, FromReadDocument(session.Settings()));
    const int differing = static_cast<int>(differences.size());
    // Which ones, a "  Channel_1.Baudrate: 38400 -> 9600" line each; a password's value never.
    std::string which;
    for (const TDifference& d : Masked(differences)) which += "\n  " + FormatDifferences({d}, TFormat::Text);
    if (!which.empty()) which.pop_back();
    if (o.store) {
      result.Changed = differing;
      result.Result = "defaults restored and stored";
      out.Note(result.Result + " (" + Plural(static_cast<size_t>(differing), "setting") + " changed)" +
               (which.empty() ? std::string() : ":" + which));
    } else {
      // Not a note that --quiet hides: a script must not take the device for restored.
      result.Result = "nothing on the device changed";
      out.Error(
          "nothing on the device changed: the factory values were not stored, so the device keeps its own "
          "settings" +
          (differing ? ". " + std::to_string(differing) + (differing == 1 ? " of them differs" : " of them differ") +
                           " from the factory values:" + which
                     : std::string(", which are the factory values already.")) +
          "\nRun \"kavrune-cli defaults --store\" to store the factory values.");
    }
  }
  result.Settings = FromReadDocument(session.Settings());
  if (!o.output.empty())
    if (int rc = Emit(output, session.SettingsText(), out); rc != Ok) return finish(rc);
  return finish(ReportDamage(session, out));
}

}  // namespace KaVruneCli
