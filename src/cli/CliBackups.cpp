#include "CliBackups.h"

#include <cstdio>
#include <iostream>
#include <mutex>
#include <set>

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

// The unit written last of all: whom a refusal names when the port has no record.
std::string NewestUnit(const TBackupStore& store) {
  std::optional<TBackupEntry> newest;
  for (const TBackupEntry& e : store.List())
    if (e.Mac != TBackupStore::UnknownUnit && (!newest || e.Stamp > newest->Stamp)) newest = e;
  return newest ? newest->Mac : std::string();
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

int KeepBackup(const TKaVruneSession& session, TCliOutput& out, TBackupEntry& kept) {
  const std::string mac = session.Identity().Mac;
  try {
    kept = TBackupStore().Hold(mac, session.SettingsText());
    out.Note("the settings before the write are kept in " + kept.Path);
    if (mac.empty())
      out.Note("the unit did not show its MAC address as it started, so undo cannot tell it by its backups");
    return Ok;
  } catch (const std::exception& e) {
    out.Error(std::string(e.what()) + ". Without a backup nothing is written: nothing was sent.");
    return FileError;
  }
}

void SettleBackup(const TBackupEntry& kept, bool stored, const std::string& port, TCliOutput& out) {
  const TBackupStore store;
  if (!stored) {
    if (store.Discard(kept)) out.Note("nothing was stored, so the backup taken before the write is removed");
    else out.Error("nothing was stored, but the backup taken before the write could not be removed: " + kept.Path);
    return;
  }
  try {
    store.Settle(kept, port);
  } catch (const std::exception& e) {
    // The device has the settings: only undo's check of the unit on the port is weaker.
    out.Error(std::string(e.what()) + " (the write itself is done)");
  }
}

std::optional<TUndoTarget> FindUndoTarget(const std::string& mac, const std::string& port, bool quiet, bool dryRun,
                                          TCliOutput& out, int& status) {
  status = FileError;
  const TBackupStore store;
  if (mac.empty()) {
    out.Error("the unit on " + port +
              " did not show its MAC address as it started, so its backups cannot be told from another unit's: "
              "power it off and on while kavrune-cli waits. Nothing was written.");
    return std::nullopt;
  }
  const std::string last = store.LastUnitOn(port);
  const std::optional<TBackupEntry> newest = store.Newest(mac);
  if (!last.empty() && last != mac) {
    // Another unit than the one written last through this port: undoing an older change of
    // this one would surprise whoever meant the last write.
    out.Error(
        port + " holds the unit " + mac + ", but the last write through " + port + " went to the unit " + last +
        ": connect that unit to undo it. Nothing was written." +
        (newest ? " (The newest backup of " + mac + " is " + newest->Path + "; apply takes it.)" : std::string()));
    return std::nullopt;
  }
  if (!newest) {
    const std::string other = last.empty() ? NewestUnit(store) : last;
    out.Error("no backup of the unit " + mac + " on " + port + " in " + store.Folder() +
              (other.empty() ? std::string(": none of any unit") : "; the newest is of the unit " + other) +
              ". Nothing was written.");
    return std::nullopt;
  }
  TUndoTarget target{*newest, {}};
  try {
    const PXmlDocument doc = TXmlDocument::LoadFromFile(newest->Path);
    std::vector<std::string> unknown, kept;
    target.Settings = FromDocument(doc->Root(), &unknown, &kept);
    if (const auto faults = CheckBeforeWrite(target.Settings); !faults.empty()) {
      for (const std::string& f : faults) out.Error(newest->Path + ": " + f);
      out.Error("nothing was written");
      return std::nullopt;
    }
  } catch (const std::exception& e) {
    out.Error(std::string(e.what()) + ". Nothing was written.");
    return std::nullopt;
  }
  out.Note(std::string(dryRun ? "undo would restore" : "undo restores") + " the settings the unit " + mac +
           " had before the last write to it, kept on " + newest->Time() + " in " + newest->Path);
  // Once for the run, however many units are undone.
  static std::mutex saidLock;
  static std::set<std::string> said;
  if (!quiet)
    for (const std::string& line : NotCarriedByRestore(target.Settings)) {
      std::lock_guard g(saidLock);
      if (said.insert(line).second) out.Note(line);
    }
  status = Ok;
  return target;
}

}  // namespace KaVruneCli
