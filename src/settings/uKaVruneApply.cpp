#include "uKaVruneApply.h"

#include <algorithm>
#include <stdexcept>

#include "uXmlDocument.h"

TSettingChanges TApplyVerdict::Of(TSettingVerdict verdict) const {
  TSettingChanges of;
  for (const TSettingOutcome& s : Settings)
    if (s.Verdict == verdict) of.push_back(s.Change);
  return of;
}

bool TApplyVerdict::Clean() const {
  return Stored && std::all_of(Settings.begin(), Settings.end(), [](const TSettingOutcome& s) {
           return s.Verdict == TSettingVerdict::Confirmed || s.Verdict == TSettingVerdict::Unconfirmable;
         });
}

TApplyCheck TApplyVerdict::Check() const {
  TApplyCheck check;
  for (const TSettingOutcome& s : Settings) {
    if (s.Verdict == TSettingVerdict::Confirmed) check.Confirmed.push_back(s.Change);
    else if (s.Verdict == TSettingVerdict::Unconfirmable) check.Unconfirmable.push_back(s.Change);
    else if (s.Verdict == TSettingVerdict::NotTaken) check.NotTaken.emplace_back(s.Change, s.Holds);
  }
  return check;
}

std::vector<std::string> TApplyVerdict::Lines(
    const TDeviceSettings& after, const std::function<std::vector<std::string>(const TApplyCheck&)>& checkLines) const {
  const TApplyCheck check = Check();
  std::vector<std::string> lines;
  if (!check.Confirmed.empty() || !check.NotTaken.empty() || !check.Unconfirmable.empty())
    lines = checkLines ? checkLines(check) : check.Lines();
  for (const std::string& line : NotAskedLines(Of(TSettingVerdict::NotAsked), after)) lines.push_back(line);
  for (const std::string& line : NotOnUnitLines(Of(TSettingVerdict::NotOnUnit))) lines.push_back(line);
  return lines;
}

TCheckedApply::TCheckedApply(TDeviceSettings current, const TDeviceSettings& wanted,
                             const std::vector<std::string>& sectionsOffered)
    : current_(std::move(current)), changes_(Diff(current_, wanted)) {
  faults_ = CheckBeforeWrite(changes_);
  if (!sectionsOffered.empty()) notOnUnit_ = TakeNotOnUnit(changes_, sectionsOffered);
}

void TCheckedApply::Request(const TXmlElement& root) const { ToWriteDocument(changes_, root); }

const TBackupEntry& TCheckedApply::HoldBackup(const std::string& mac, const std::string& deviceText,
                                              const TBackupStore& store) {
  store_ = store;
  backup_ = store.Hold(mac, deviceText);
  return *backup_;
}

TApplyVerdict TCheckedApply::NothingStored() { return Verdict(false, {}, nullptr, {}); }

TApplyVerdict TCheckedApply::Stored(const TSettingKeys& notAsked, const TDeviceSettings& after,
                                    const std::string& port) {
  return Verdict(true, notAsked, &after, port);
}

TApplyVerdict TCheckedApply::StoredNotChecked(const TSettingKeys& notAsked, const std::string& port) {
  return Verdict(true, notAsked, nullptr, port);
}

TApplyVerdict TCheckedApply::Verdict(bool stored, const TSettingKeys& notAsked, const TDeviceSettings* after,
                                     const std::string& port) {
  TApplyVerdict v;
  v.Stored = stored;
  TSettingChanges asked = changes_;
  const TSettingChanges unasked = stored ? TakeNotAsked(asked, notAsked) : TSettingChanges();
  auto verdictOf = [&](const TSettingChange& c) -> TSettingOutcome {
    if (std::any_of(notOnUnit_.begin(), notOnUnit_.end(), [&](const TSettingChange& n) { return n.Row == c.Row; }))
      return {c, TSettingVerdict::NotOnUnit, {}};
    if (!stored) return {c, TSettingVerdict::NotWritten, {}};
    if (std::any_of(unasked.begin(), unasked.end(), [&](const TSettingChange& n) { return n.Row == c.Row; }))
      return {c, TSettingVerdict::NotAsked, {}};
    if (!after) return {c, TSettingVerdict::StoredNotChecked, {}};
    if (!c.Row->Readable()) return {c, TSettingVerdict::Unconfirmable, {}};
    const std::string* holds = after->Find(*c.Row);
    if (holds && *holds == c.To) return {c, TSettingVerdict::Confirmed, {}};
    return {c, TSettingVerdict::NotTaken, holds ? std::optional(*holds) : std::nullopt};
  };
  // Table order, with the settings of missing menus among the rest.
  TSettingChanges all = changes_;
  all.insert(all.end(), notOnUnit_.begin(), notOnUnit_.end());
  const auto& rows = SettingRows();
  std::stable_sort(all.begin(), all.end(), [&](const TSettingChange& a, const TSettingChange& b) {
    return a.Row - rows.data() < b.Row - rows.data();
  });
  for (const TSettingChange& c : all) v.Settings.push_back(verdictOf(c));
  // Stored, but the read after it shows the unit holding what it held before: its backup is no
  // step to undo, and would hide the one before it.
  v.Unchanged = stored && after && std::all_of(v.Settings.begin(), v.Settings.end(), [](const TSettingOutcome& s) {
                  return s.Verdict == TSettingVerdict::NotAsked || s.Verdict == TSettingVerdict::NotOnUnit ||
                         (s.Verdict == TSettingVerdict::NotTaken && s.Holds == s.Change.From);
                });

  if (backup_) {
    if (!stored || v.Unchanged) {
      if (!store_.Discard(*backup_))
        v.BackupProblem =
            std::string(stored ? "the unit holds what it held before" : "nothing was stored") +
            ", but the backup taken before the write could not be removed: " + backup_->Path;
    } else {
      try {
        store_.Settle(*backup_, port);
      } catch (const std::exception& e) {
        v.BackupProblem = std::string(e.what()) + " (the write itself is done)";
      }
    }
  }
  return v;
}

TUndoTarget FindUndoTarget(const std::string& mac, const std::string& port, const TBackupStore& store) {
  TUndoTarget target;
  if (mac.empty() || mac == TBackupStore::UnknownUnit) {
    target.Refusal = TUndoRefusal::NoMac;
    return target;
  }
  const std::string last = store.LastUnitOn(port);
  const std::optional<TBackupEntry> newest = store.Newest(mac);
  if (newest) {
    target.Backup = *newest;
    target.HasBackup = true;
  }
  if (!last.empty() && last != mac) {
    // Another unit than the one written last through this port: undoing an older change of this
    // one would surprise whoever meant the last write.
    target.Refusal = TUndoRefusal::OtherUnitLast;
    target.OtherUnit = last;
    return target;
  }
  if (!newest) {
    target.Refusal = TUndoRefusal::NoBackup;
    target.OtherUnit = last;
    if (last.empty()) {
      // Whom the refusal names: the unit written last of all.
      std::optional<TBackupEntry> newestOfAll;
      for (const TBackupEntry& e : store.List())
        if (e.Mac != TBackupStore::UnknownUnit && (!newestOfAll || e.Stamp > newestOfAll->Stamp)) newestOfAll = e;
      if (newestOfAll) target.OtherUnit = newestOfAll->Mac;
    }
    return target;
  }
  try {
    const PXmlDocument doc = TXmlDocument::LoadFromFile(newest->Path);
    std::vector<std::string> unknown, kept;
    target.Settings = FromDocument(doc->Root(), &unknown, &kept);
    for (const std::string& f : CheckBeforeWrite(target.Settings)) target.Faults.push_back(newest->Path + ": " + f);
  } catch (const std::exception& e) {
    target.Faults.push_back(e.what());
  }
  if (!target.Faults.empty()) target.Refusal = TUndoRefusal::Unreadable;
  return target;
}
