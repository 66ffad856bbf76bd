// Setup files, the working copies of the documents and the debug panel's document commands.

#include <QDir>
#include <QFileDialog>
#include <QPlainTextEdit>

#include "uCustomNumEdit.h"
#include "uFileUtils.h"
#include "uMain.h"
#include "uMainForms.h"
#include "uMainPrivate.h"
#include "uPages.h"
#include "uQtDispatcher.h"
#include "uStatusLine.h"

void TfMain::ConfigureOpenDialog(QFileDialog& dialog) {
  dialog.setObjectName(QStringLiteral("OpenDialog1"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::ReadOnly, false);
  dialog.setNameFilter(LangText("Filter_Setup", "kaVRUNE setup files") + QStringLiteral(" (*.xml *.kvx)"));
}

void TfMain::ConfigureSaveDialog(QFileDialog& dialog) const {
  dialog.setObjectName(QStringLiteral("SaveDialog1"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // A file that is there already is replaced only when the user says so.
  dialog.setNameFilters({LangText("Filter_Xml", "Setup file, XML") + QStringLiteral(" (*.xml)"),
                         LangText("Filter_Kvx", "kaVRUNE setup file") + QStringLiteral(" (*.kvx)")});
  dialog.setDefaultSuffix(QStringLiteral("xml"));
  // Named after the unit the pages stand for, so that files of several units are told apart.
  const std::string mac = PagesUnit().Mac;
  dialog.selectFile(mac.empty() ? QStringLiteral("kavrune-setup.xml") : QStringLiteral("kavrune-%1.xml").arg(Qs(mac)));
}

QString TfMain::DefaultWorkingDirectory() {
  // The user's state folder: a program started from the desktop menu runs in the home folder,
  // which is no place for scratch files. The one that holds the backups, as the command line
  // tool finds it (on Windows %LOCALAPPDATA%\kavrune).
  return QDir::cleanPath(QString::fromStdString(TBackupStore::DefaultFolder()) + QStringLiteral("/.."));
}

QString TfMain::WorkingFile(const QString& name) const {
  QString dir = workingDirectory_;
  if (dir.isEmpty()) {
    dir = DefaultWorkingDirectory();
    QDir().mkpath(dir);  // a failure shows when the copy is written
  }
  return QDir(dir).filePath(name);
}

QString TfMain::SaveWorkingCopy(const TXmlDocument& doc, const QString& name) const {
  try {
    doc.SaveToFile(Std(WorkingFile(name)));  // written beside and renamed: never half a file
    return {};
  } catch (const std::exception& e) {
    return QString::fromUtf8(e.what());
  }
}

namespace {

// What a read document holds besides settings (the unit's MAC and firmware, lines this version
// does not know), as the device printed it.
void CopyUnitEntries(const TXmlElement& from, TXmlElement to) {
  for (const TXmlElement& section : from.Children())
    for (const TXmlElement& entry : section.Children())
      if (EntryKind(section.Name(), entry.Name()) != TEntryKind::Setting)
        FindNodePath(to, section.Name(), true).AppendCopy(entry);
}

}  // namespace

void TfMain::LoadPagesOver(const TXmlElement& read, const TDeviceSettings& wanted) {
  TDeviceSettings merged = FromReadDocument(read);
  for (const auto& [section, values] : wanted.Sections())
    for (const auto& [key, value] : values) merged.Set(section, key, value);
  LoadPages(merged);
}

TDeviceSettings TfMain::DeskSettings() {
  TDeviceSettings settings = FromReadDocument(currentRead_);
  if (shown_)
    for (const TSettingChange& c : Diff(*shown_, PagesSettings())) settings.Set(*c.Row, c.To);
  return settings;
}

void TfMain::SaveSetupFile(const QString& fileName) {
  // The read form, as the command line's backups, so either tool loads what the other saved:
  // what the device reported with the pages' edits over it. What the pages cannot show (the
  // unit's own information, lines this version does not know) is kept as the device printed it.
  // A number or address typed out of range is no value yet: the file never holds a stand-in.
  TMyCustomNumEdit::ValidateFocusedNumEdit();
  if (const QStringList faults = RangeFaults(); !faults.isEmpty())
    throw std::runtime_error(Std(LangText("Save_NothingSaved", "Nothing was saved:") + QLatin1Char('\n') +
                                 faults.join(QLatin1Char('\n'))));
  TDeviceSettings settings = currentRead_ ? FromReadDocument(currentRead_) : TDeviceSettings();
  for (const TSettingChange& c : Diff(shown_.value_or(TDeviceSettings()), PagesSettings())) settings.Set(*c.Row, c.To);
  const PXmlDocument doc = TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText);
  TXmlElement root = doc->Root();
  ToReadDocument(settings, root);
  if (currentRead_) CopyUnitEntries(currentRead_, root);
  doc->SaveToFile(Std(fileName));  // written beside and renamed; a failure reaches the error box
}

void TfMain::LoadSetupFile(const QString& fileName, bool tell) {
  // A file that does not parse raises before any page changes. Either form loads, files of the
  // older write form too.
  const PXmlDocument file = TXmlDocument::LoadFromFile(Std(fileName));
  std::vector<std::string> unknown, kept;
  const TDeviceSettings wanted = FromDocument(file->Root(), &unknown, &kept);
  if (wanted.Empty())
    throw std::runtime_error(Std(
        LangText("Load_NoSettings", "%1 holds no settings of the device.").arg(QDir::toNativeSeparators(fileName))));
  const PXmlDocument doc = TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText);
  auto list = [](const std::vector<std::string>& items) {
    QStringList out;
    for (const std::string& i : items) out << Qs(i);
    return out.join(QStringLiteral(", "));
  };
  if (!currentRead_ || !worker_.IsPortOpen()) {
    // No unit (the last read of one that was disconnected is none): the file is what the pages
    // show and edits are counted against, and the unit it was saved from stays named, in a file
    // saved again and on its sheet, until a unit is read.
    ToReadDocument(wanted, doc->Root());
    if (IsReadDocument(file->Root())) CopyUnitEntries(file->Root(), doc->Root());
    LoadReadDocument(doc->Root());
    deskFile_ = !worker_.IsPortOpen();
    deskFileName_ = fileName;
    if (!pConnection->isHidden()) {
      PageButtonClick(seNetwork);
      seNetwork->SetDown(true);
    }
    TakeEditBaseline();
    if (!tell) return;
    QStringList notes{LangText("Load_NoUnit", "The file's settings are on the pages; no unit is connected.")};
    if (!unknown.empty())
      notes << LangText("Load_Unknown", "Not loaded, unknown to this version: %1").arg(list(unknown));
    AppMessage(notes.join(QStringLiteral("\n\n")));
    return;
  }
  // The file's settings over the device's: the pages show them as edits, which the checked
  // Apply writes, and what the file does not give stays the device's.
  LoadPagesOver(currentRead_, wanted);
  fileShown_ = true;
  if (!tell) return;
  QStringList notes{LangText("Load_Pending",
                             "The file's settings are on the pages: %1 differ from the device. "
                             "\"Apply Settings\" writes them.")
                        .arg(PendingChanges())};
  if (!kept.empty()) notes << LangText("Load_Kept", "Kept in the file, not written: %1").arg(list(kept));
  if (!unknown.empty()) notes << LangText("Load_Unknown", "Not loaded, unknown to this version: %1").arg(list(unknown));
  if (IsReadDocument(file->Root())) {
    // A backup cannot carry what a dump never shows.
    notes << LangText("Load_NoSecrets", "Passwords and keys never appear in a backup: the device keeps its own.")
          << LangText("Load_NoEmail", "The E-mail settings are not written: the window does not walk that menu.");
  }
  AppMessage(notes.join(QStringLiteral("\n\n")));
}

void TfMain::seSaveToFileClick() {
  QFileDialog dialog(this);
  ConfigureSaveDialog(dialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString file = dialog.selectedFiles().constFirst();
  SaveSetupFile(file);
  statusLine_->ShowOutcome(LangText("Done_Saved", "Saved to %1").arg(QDir::toNativeSeparators(file)),
                           TStatusLine::TOutcome::Done);
}

void TfMain::seLoadFromFileClick() {
  // Loading replaces whatever the pages hold.
  if (!MayDropEdits()) return;
  QFileDialog dialog(this);
  ConfigureOpenDialog(dialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  LoadSetupFile(dialog.selectedFiles().constFirst());
}

void TfMain::bDebugLoadClick() {
  const std::string text = XMLDocument1->SaveToText("UTF-8");
  uiDebug->Memo2->setPlainText(QString::fromUtf8(text));
  const QString file = WorkingFile(QStringLiteral("temp.xml"));
  if (!WriteFileAtomically(Std(file), uiDebug->Memo2->toPlainText().toStdString() + '\n'))
    AppWarning(QStringLiteral("Cannot write file \"%1\"").arg(file));
  // A copy: the seed of every write document stays "<xml/>" whatever the pages add to it.
  LoadReadDocument(TXmlDocument::CreateFromText(XMLDocument1->SaveToText())->Root());
}

void TfMain::bDebugSaveClick() {
  XMLSave = TXmlDocument::CreateFromText(XMLDocument1->SaveToText());
  BuildWriteDocument(XMLSave->Root());
  const QString failed = SaveWorkingCopy(*XMLSave, QStringLiteral("temp_save.xml"));
  if (!failed.isEmpty()) AppWarning(failed);
}

void TfMain::Button1Click() {
  if (!currentRead_) return;
  uiDebug->Memo3->setPlainText(QString::fromUtf8(currentRead_.Document()->SaveToText("UTF-8")));
}
