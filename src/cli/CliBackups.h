#pragma once
// The backups the tool keeps before every write, the list of them, and undo's choice of the one
// to restore.

#include <optional>
#include <string>

#include "CliDevice.h"
#include "CliOptions.h"
#include "uKaVruneBackups.h"

namespace KaVruneCli {

// backups: the kept backups, one line (or JSON object) each: unit, time, file.
int ListBackups(const TOptions& o);

// Keeps the settings the device showed before the write as a backup, in kept. Ok, or FileError
// after saying why: the write must not go ahead then.
int KeepBackup(const TKaVruneSession& session, TCliOutput& out, TBackupEntry& kept);
// After the write: when the device stored something the backup becomes the one undo takes
// (written through port); when it stored nothing it is removed, since undoing a write that
// changed nothing would only hide the write before it.
void SettleBackup(const TBackupEntry& kept, bool stored, const std::string& port, TCliOutput& out);

struct TUndoTarget {
  TBackupEntry Backup;
  TDeviceSettings Settings;
};
// The backup undo restores onto the unit mac on port, named on stderr: its newest, which is the
// one taken before the last write that stored something (undo keeps its own backup only after
// choosing). Nothing, with status set, after saying why: the unit did not name itself, it is not
// the unit last written through the port, it has no backup, or the backup cannot be read.
std::optional<TUndoTarget> FindUndoTarget(const std::string& mac, const std::string& port, bool quiet, bool dryRun,
                                          TCliOutput& out, int& status);

}  // namespace KaVruneCli
