#pragma once
// The backups the tool keeps before every write, the list of them, and undo's choice of the one
// to restore.

#include <optional>
#include <string>

#include "CliDevice.h"
#include "CliOptions.h"
#include "uKaVruneApply.h"

namespace KaVruneCli {

// backups: the kept backups, one line (or JSON object) each: unit, time, file.
int ListBackups(const TOptions& o);

// Keeps the settings the device showed before the write as the apply's backup. Ok, or FileError
// after saying why: the write must not go ahead then.
int KeepBackup(TCheckedApply& apply, const TKaVruneSession& session, TCliOutput& out);
// Says what the verdict did with the backup: removed since nothing was stored, or a problem.
void SaidBackup(const TCheckedApply& apply, const TApplyVerdict& verdict, TCliOutput& out);

// The backup undo restores onto the unit mac on port, named on stderr. Nothing, with status set,
// after saying why: the unit did not name itself, it is not the unit last written through the
// port, it has no backup, or the backup cannot be read.
std::optional<TUndoTarget> FindUndoTarget(const std::string& mac, const std::string& port, bool dryRun, TCliOutput& out,
                                          int& status);

}  // namespace KaVruneCli
