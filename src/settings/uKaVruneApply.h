#pragma once
// The checked apply, the one way both tools write settings to a unit:
//   plan     what wanted changes on a unit in its read state, what the unit has no menu for, and
//            why nothing may be sent (a value it cannot take);
//   request  the write document the worker walks: the changes on this unit, nothing else;
//   backup   what the unit held, kept before the walk and settled by the verdict, so that undo
//            takes it only when the unit stored something;
//   verdict  every setting of the plan: confirmed by the read after the store, not taken, not
//            asked by the unit, not on this unit, stored but not checked, or not written.
// The command line runs the steps in a row, the window between its worker's reports, and undo
// is an apply of a backup.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "uKaVruneBackups.h"
#include "uKaVruneModel.h"
#include "uKaVruneNotAsked.h"

enum class TSettingVerdict {
  Confirmed,         // written, and the read after the store shows it
  Unconfirmable,     // a password or key: written, and no read shows it
  NotTaken,          // written, but the unit holds something else
  NotAsked,          // not written: the unit did not ask for it in its mode
  NotOnUnit,         // not written: the unit's menu has no section for it
  StoredNotChecked,  // the unit stored, then was not read again
  NotWritten,        // nothing was stored
};

struct TSettingOutcome {
  TSettingChange Change;
  TSettingVerdict Verdict = TSettingVerdict::NotWritten;
  std::optional<std::string> Holds;  // NotTaken: what the unit shows instead, if anything
};

struct TApplyVerdict {
  bool Stored = false;
  // Stored, and read again: the unit holds what it held before (nothing written was taken), so
  // its backup went as after a write that stored nothing.
  bool Unchanged = false;
  std::vector<TSettingOutcome> Settings;  // every setting of the plan, in table order
  std::string BackupProblem;              // the backup could not be settled (the write stands)

  TSettingChanges Of(TSettingVerdict verdict) const;
  // Stored, and every setting confirmed (or written where no read can show it).
  bool Clean() const;
  // The comparison with the read after the store, of the settings that were written.
  TApplyCheck Check() const;
  // The account for people: the check's lines (none when nothing the unit asked was written),
  // then the settings the unit did not ask for and those it has no menu for. checkLines words
  // the check in a front end's language; without it TApplyCheck::Lines does.
  std::vector<std::string> Lines(
      const TDeviceSettings& after,
      const std::function<std::vector<std::string>(const TApplyCheck&)>& checkLines = {}) const;
};

class TCheckedApply final {
 public:
  // sectionsOffered: the sections the unit's root menu offers; empty when its menu is not known,
  // and then every section counts as offered.
  TCheckedApply(TDeviceSettings current, const TDeviceSettings& wanted,
                const std::vector<std::string>& sectionsOffered = {});

  const TDeviceSettings& Current() const { return current_; }
  // To be written, in table order.
  const TSettingChanges& Changes() const { return changes_; }
  // Differing from the unit, but in a section its menu does not offer.
  const TSettingChanges& NotOnUnit() const { return notOnUnit_; }
  // One message per value the unit cannot be sent; nothing may go while there is one.
  const std::vector<std::string>& Faults() const { return faults_; }

  // The write document: only the sections and keys of Changes.
  void Request(const TXmlElement& root) const;

  // Keeps deviceText (what the unit holds stored) as the unit's backup until the verdict. Raises
  // as TBackupStore::Hold; nothing may be sent then.
  const TBackupEntry& HoldBackup(const std::string& mac, const std::string& deviceText,
                                 const TBackupStore& store = TBackupStore());
  const std::optional<TBackupEntry>& Backup() const { return backup_; }

  // The walk stored nothing: the backup goes.
  TApplyVerdict NothingStored();
  // The unit stored and was read again: notAsked are the settings its menus never asked for.
  TApplyVerdict Stored(const TSettingKeys& notAsked, const TDeviceSettings& after, const std::string& port);
  // The unit stored, but it was not read again: nothing is confirmed, nothing is refuted.
  TApplyVerdict StoredNotChecked(const TSettingKeys& notAsked, const std::string& port);

 private:
  TApplyVerdict Verdict(bool stored, const TSettingKeys& notAsked, const TDeviceSettings* after,
                        const std::string& port);

  TDeviceSettings current_;
  TSettingChanges changes_;
  TSettingChanges notOnUnit_;
  std::vector<std::string> faults_;
  std::optional<TBackupEntry> backup_;
  TBackupStore store_;
};

// Undo: the backup to restore onto the unit mac on port, which is its newest, taken before the
// last write that stored something.
enum class TUndoRefusal {
  None,
  NoMac,          // the unit did not show its MAC address: its backups cannot be told apart
  OtherUnitLast,  // the last write through the port went to another unit (OtherUnit)
  NoBackup,       // none of this unit (OtherUnit: whose is newest, when any)
  Unreadable,     // the backup cannot be read or holds a value that cannot be sent (Faults)
};

struct TUndoTarget {
  TUndoRefusal Refusal = TUndoRefusal::None;
  TBackupEntry Backup;       // None, Unreadable; OtherUnitLast: this unit's newest, if any
  bool HasBackup = false;    // Backup names a file
  TDeviceSettings Settings;  // None
  std::string OtherUnit;
  std::vector<std::string> Faults;
};
TUndoTarget FindUndoTarget(const std::string& mac, const std::string& port, const TBackupStore& store = TBackupStore());
