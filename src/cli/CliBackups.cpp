#include "CliBackups.h"

#include <cstdio>
#include <iostream>

#include "KaVruneCli.h"

namespace KaVruneCli {
namespace {

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') out += '\\', out += static_cast<char>(c);
    else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else out += static_cast<char>(c);
  }
  return out + "\"";
}

}  // namespace

int ListBackups(const TOptions& o) {
  const TBackupStore store;
  const auto entries = store.List(o.mac);
  const bool json = o.format == TFormat::Json;
  if (json) {
    std::cout << "[";
    for (size_t i = 0; i < entries.size(); ++i)
      std::cout << (i ? ",\n " : "") << "{\"mac\": " << JsonString(entries[i].Mac)
                << ", \"time\": " << JsonString(entries[i].IsoTime()) << ", \"file\": " << JsonString(entries[i].Path)
                << "}";
    std::cout << "]\n";
  } else {
    for (const TBackupEntry& e : entries) std::cout << e.Mac << '\t' << e.Time() << '\t' << e.Path << '\n';
  }
  std::cout << std::flush;
  if (entries.empty() && !o.quiet)
    std::cerr << "no backups" << (o.mac.empty() ? std::string() : " of " + o.mac) << " in " << store.Folder()
              << " (one is kept before every write)\n";
  return std::cout ? Ok : FileError;
}

int KeepBackup(TCheckedApply& apply, const TKaVruneSession& session, TCliOutput& out) {
  const std::string mac = session.Identity().Mac;
  try {
    out.Note("the settings before the write are kept in " + apply.HoldBackup(mac, session.SettingsText()).Path);
    if (mac.empty())
      out.Note("the unit did not show its MAC address as it started, so undo cannot tell it by its backups");
    return Ok;
  } catch (const std::exception& e) {
    out.Error(std::string(e.what()) + ". Without a backup nothing is written: nothing was sent.");
    return FileError;
  }
}

void SaidBackup(const TCheckedApply& apply, const TApplyVerdict& verdict, TCliOutput& out) {
  if (!apply.Backup()) return;
  if (!verdict.BackupProblem.empty()) out.Error(verdict.BackupProblem);
  else if (!verdict.Stored) out.Note("nothing was stored, so the backup taken before the write is removed");
  else if (verdict.Unchanged)
    out.Note("the unit holds what it held before, so the backup taken before the write is removed");
}

std::optional<TUndoTarget> FindUndoTarget(const std::string& mac, const std::string& port, bool dryRun, TCliOutput& out,
                                          int& status) {
  status = FileError;
  const TBackupStore store;
  TUndoTarget target = ::FindUndoTarget(mac, port, store);
  switch (target.Refusal) {
    case TUndoRefusal::None: break;
    case TUndoRefusal::NoMac:
      out.Error("the unit on " + port +
                " did not show its MAC address as it started, so its backups cannot be told from another unit's: "
                "power it off and on while kavrune-cli waits. Nothing was written.");
      return std::nullopt;
    case TUndoRefusal::OtherUnitLast:
      out.Error(port + " holds the unit " + mac + ", but the last write through " + port + " went to the unit " +
                target.OtherUnit + ": connect that unit to undo it. Nothing was written." +
                (target.HasBackup ? " (The newest backup of " + mac + " is " + target.Backup.Path + "; apply takes it.)"
                                  : std::string()));
      return std::nullopt;
    case TUndoRefusal::NoBackup:
      out.Error("no backup of the unit " + mac + " on " + port + " in " + store.Folder() +
                (target.OtherUnit.empty() ? std::string(": none of any unit")
                                          : "; the newest is of the unit " + target.OtherUnit) +
                ". Nothing was written.");
      return std::nullopt;
    case TUndoRefusal::Unreadable:
      for (const std::string& f : target.Faults) out.Error(f);
      out.Error("nothing was written");
      return std::nullopt;
  }
  out.Note(std::string(dryRun ? "undo would restore" : "undo restores") + " the settings the unit " + mac +
           " had before the last write to it, kept on " + target.Backup.Time() + " in " + target.Backup.Path);
  status = Ok;
  return target;
}

}  // namespace KaVruneCli
