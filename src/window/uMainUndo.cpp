// The backup kept before every Apply, the offer to take the last Apply back with it, and what an
// Apply stored without a read to check it. The backups are the command line's (kavrune-cli
// backups lists them, undo takes them as well).

#include <QDateTime>

#include "ShapeEx.h"
#include "uMain.h"
#include "uMainPrivate.h"
#include "uQtDispatcher.h"

namespace {

// The folder the backups of the unit now on the port go to.
std::string UnitFolder(const TDeviceWorker& worker) {
  const std::string mac = worker.Identity().Mac;
  return mac.empty() ? TBackupStore::UnknownUnit : mac;
}

QDateTime BackupTime(const TBackupEntry& backup) {
  return QDateTime::fromString(Qs(backup.IsoTime()), Qt::ISODateWithMs).toLocalTime();
}

}  // namespace

bool TfMain::KeepBackupBeforeApply(TCheckedApply& apply) {
  // What the device holds stored: its last read, a file loaded onto the pages is not the device,
  // and after Defaults the read shows factory values it does not keep until this Apply.
  const TXmlElement device = defaultsShown_ && beforeDefaults_ ? beforeDefaults_ : worker_.ReadResult();
  if (!device) return true;
  try {
    // Held until the device stores: an Apply that stores nothing leaves no backup behind that an
    // undo would take for the last change.
    apply.HoldBackup(worker_.Identity().Mac, device.Document()->SaveToText());
    return true;
  } catch (const std::exception& e) {
    AppWarning(
        LangText("Backup_Failed", "Nothing was sent to the device: its settings could not be kept as a backup.") +
        QLatin1Char('\n') + QString::fromUtf8(e.what()));
    return false;
  }
}

TApplyVerdict TfMain::FinishApply(bool stored, const TDeviceSettings* after) {
  TCheckedApply apply = std::move(*apply_);
  apply_.reset();
  // The backup's note of the port and the pruning of old ones are all the verdict may miss.
  const std::string port = "COM" + std::to_string(worker_.Port().ComNumber());
  const TApplyVerdict verdict = !stored ? apply.NothingStored()
                                : after ? apply.Stored(applyNotAsked_, *after, port)
                                        : apply.StoredNotChecked(applyNotAsked_, port);
  // A unit that did not name itself cannot be told from another by its backups: no undo.
  if (stored && !verdict.Unchanged && apply.Backup() && apply.Backup()->Mac != TBackupStore::UnknownUnit)
    OfferUndo(*apply.Backup());
  if (stored && !after) KeepStoredNotChecked(apply);
  return verdict;
}

void TfMain::KeepStoredNotChecked(const TCheckedApply& apply) {
  // What the unit holds now, as far as anyone knows: the pages' edits count against it, and an
  // Apply sends only what differs from it.
  TDeviceSettings stored = apply.Current();
  for (const TSettingChange& c : apply.Changes()) stored.Set(*c.Row, c.To);
  for (const TSettingChange& c : apply.Changes()) {
    std::erase_if(storedNotChecked_, [&](const TSettingChange& earlier) { return earlier.Row == c.Row; });
    storedNotChecked_.push_back(c);
  }
  defaultsShown_ = fileShown_ = false;  // stored with the Apply
  const TDeviceSettings pages = PagesSettings(false);
  if (Diff(stored, pages).empty()) {
    TakeEditBaseline();
  } else {
    // Typed while the window waited: still edits.
    LoadPages(stored);
    TakeEditBaseline();
    LoadPages(pages);
  }
}

void TfMain::OfferUndo(const TBackupEntry& backup) {
  undoOffer_ = backup;
  const QDateTime kept = BackupTime(*undoOffer_);
  seUndoApply->SetCaption(LangText("UndoApply", "Undo Apply %1").arg(kept.toString(QStringLiteral("HH:mm"))));
  seUndoApply->setToolTip(LangText("UndoApply_Hint", "Undo last Apply: restores the settings the device had at %1 (%2)")
                              .arg(kept.toString(QStringLiteral("HH:mm:ss")), Qs(undoOffer_->Path)));
  // The commands came back with the Apply's read or its end before the verdict.
  seUndoApply->setEnabled(worker_.IsPortOpen() && !waiting_);
}

void TfMain::seUndoApplyClick() {
  if (!undoOffer_) return;
  // Another unit may have been connected since: its settings are not those of the backup.
  const std::string port = "COM" + std::to_string(worker_.Port().ComNumber());
  const TUndoTarget target = FindUndoTarget(UnitFolder(worker_), port);
  if (target.Refusal == TUndoRefusal::NoMac || target.Refusal == TUndoRefusal::OtherUnitLast) {
    AppWarning(
        LangText("UndoApply_OtherUnit", "Nothing was sent: the unit on the port is %1, but the last Apply went to %2.")
            .arg(Qs(UnitFolder(worker_)), Qs(target.OtherUnit.empty() ? undoOffer_->Mac : target.OtherUnit)));
    return;
  }
  if (target.Refusal != TUndoRefusal::None) {
    QString text = LangText("Apply_NothingSent", "Nothing was sent to the device:");
    for (const std::string& f : target.Faults) text += QLatin1Char('\n') + Qs(f);
    AppWarning(text);
    return;
  }
  // Nothing is written unasked: the question names every setting the Undo writes, from what the
  // unit holds to the backup's value, and the edits on the pages it replaces.
  const QString time = BackupTime(target.Backup).toString(QStringLiteral("HH:mm"));
  const TDeviceSettings device = shown_.value_or(TDeviceSettings());
  TDeviceSettings wanted = device;
  for (const auto& [section, values] : target.Settings.Sections())
    for (const auto& [key, value] : values)
      if (device.Find(section, key)) wanted.Set(section, key, value);
  const TSettingChanges changes = TCheckedApply(device, wanted, worker_.MenuMap().SectionsOffered()).Changes();
  PendingChanges();
  if (changes.empty()) {
    if (!MayDropEdits()) return;  // the Apply finds nothing to write, and says so
  } else {
    QString ask = LangText("Ask_Undo", "Undo the Apply of %1: %2?").arg(time, ChangesText(changes));
    if (const int edits = EditCount(); edits > 0)
      ask += QStringLiteral("\n\n") +
             LangText("Ask_UndoDropsEdits", "Changes not applied on the pages are lost: %1.").arg(edits);
    if (!AppQuestion(ask)) return;
  }
  // The pages show the backup, the device's last read stays what the Apply compares with: the
  // Apply sends what differs, keeps a backup of its own and checks the device's read-back, so a
  // second Undo takes back the first.
  LoadSetupFile(Qs(target.Backup.Path), false);
  ApplyPages(time);
}

QString TfMain::ChangesText(const TSettingChanges& changes) {
  constexpr size_t Named = 4;
  QStringList parts;
  for (const TSettingChange& c : changes) {
    if (parts.size() == Named && changes.size() > Named + 1) {
      parts << LangText("Undone_More", "and %1 more").arg(changes.size() - Named);
      break;
    }
    parts << (c.Row->Kind == TSettingKind::Secret
                  ? SettingText(*c.Row)
                  : QStringLiteral("%1 %2 → %3").arg(SettingText(*c.Row), Qs(c.From.value_or("?")), Qs(c.To)));
  }
  return parts.join(QStringLiteral(", "));
}

QString TfMain::UndoneText(const TSettingChanges& changes, const QString& time) {
  // "Undone: the Apply of 19:52 (MTU size 900 → 1400)"
  return LangText("Undone", "Undone: the Apply of %1 (%2)").arg(time, ChangesText(changes));
}
