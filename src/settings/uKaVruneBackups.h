#pragma once
// The backups both tools keep of a unit's settings before they write to it, one folder per unit
// (its MAC address as NormalizeMac spells it) and one file per write, named by the UTC time it
// was taken: $XDG_STATE_HOME/kavrune/backups/02-00-00-8F-1C-2E/20261207T194739.123Z.xml. Each holds the read
// document as the device printed it before the write, so any of them restores with apply.
// Channel passwords are in them: folders and files are the user's alone (0700, 0600).

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "uKaVruneIdentity.h"

struct TBackupEntry {
  std::string Mac;    // the unit's folder: "02-00-00-8F-1C-2E", or UnknownUnit
  std::string Stamp;  // the file's name without ".xml": 20261207T194739.123Z
  std::string Path;
  std::string Time() const;     // "2026-12-07 19:47:39 UTC", for people
  std::string IsoTime() const;  // "2026-12-07T19:47:39.123Z", for programs
};

class TBackupStore final {
 public:
  // Backups kept per unit; keeping one more removes the oldest.
  static constexpr std::size_t KeptPerUnit = 20;
  // The folder of units whose banner never showed their MAC address: their backups are kept all
  // the same, but undo cannot tell which unit they belong to.
  static constexpr const char* UnknownUnit = "unknown";

  // $XDG_STATE_HOME/kavrune/backups; without it ~/.local/state/kavrune/backups, on Windows
  // %LOCALAPPDATA%\kavrune\backups.
  static std::string DefaultFolder();
  explicit TBackupStore(std::string folder = DefaultFolder());
  const std::string& Folder() const { return folder_; }

  // Keeps text as the unit's newest backup (written beside and renamed, never half a file),
  // removes the oldest beyond KeptPerUnit, and notes the unit as the last one written through
  // port, when one is given. Raises std::runtime_error naming the path and the system's reason;
  // nothing is kept then.
  TBackupEntry Keep(const std::string& mac, const std::string& text, const std::string& port = {}) const;
  // Keep in two steps, for a write that may end having stored nothing: Hold writes the backup
  // alone (raising as Keep does); once the device stored, Settle notes the unit for port and
  // removes the oldest, as Keep does; when it stored nothing, Discard removes the backup again,
  // so that undo never takes one from before a write that changed nothing.
  TBackupEntry Hold(const std::string& mac, const std::string& text) const;
  void Settle(const TBackupEntry& entry, const std::string& port = {}) const;
  bool Discard(const TBackupEntry& entry) const;  // false: the file is still there
  // One unit's backups, or every unit's; by unit, each oldest first.
  std::vector<TBackupEntry> List(const std::string& mac = {}) const;
  std::optional<TBackupEntry> Newest(const std::string& mac) const;
  // The unit Keep noted for port; empty when none was.
  std::string LastUnitOn(const std::string& port) const;

 private:
  std::string folder_;
};
