// Setup files, the working copies of the documents and the debug panel's document commands.

#include <QDir>
#include <QFileDialog>
#include <QPlainTextEdit>

#include "uFileUtils.h"
#include "uMain.h"
#include "uMainForms.h"
#include "uMainPrivate.h"
#include "uQtDispatcher.h"

void TfMain::ConfigureOpenDialog(QFileDialog& dialog) {
  dialog.setObjectName(QStringLiteral("OpenDialog1"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::ReadOnly, false);
  dialog.setNameFilter(QStringLiteral("kaVrune configuration file (*.xml *.kvx)"));
}

void TfMain::ConfigureSaveDialog(QFileDialog& dialog) {
  dialog.setObjectName(QStringLiteral("SaveDialog1"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  dialog.setNameFilters({QStringLiteral("xml (*.xml)"), QStringLiteral("kaVrune setup file (*.kvx)")});
  dialog.setDefaultSuffix(QStringLiteral("xml"));
}

QString TfMain::DefaultWorkingDirectory() {
  // The user's state folder: a program started from the desktop menu runs in the home folder,
  // which is no place for scratch files.
  QString base = qEnvironmentVariable("XDG_STATE_HOME");
  if (base.isEmpty() || QDir::isRelativePath(base)) base = QDir::homePath() + QStringLiteral("/.local/state");
  return QDir(base).filePath(QStringLiteral("kavrune"));
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

void TfMain::SaveSetupFile(const QString& fileName) {
  // The read form, as the command line's backups: either tool loads what the other saved.
  const PXmlDocument doc = TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText);
  ToReadDocument(PagesSettings(), doc->Root());
  doc->SaveToFile(Std(fileName));  // a failure reaches the general error handler
}

void TfMain::LoadSetupFile(const QString& fileName) {
  // A file that does not parse raises before the current document or any page changes. Either
  // form loads, files of the older write form too; the device's own state stays what an Apply
  // compares against.
  const PXmlDocument file = TXmlDocument::LoadFromFile(Std(fileName));
  const PXmlDocument doc = TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText);
  ToReadDocument(FromDocument(file->Root()), doc->Root());
  LoadReadDocument(doc->Root());
}

void TfMain::seSaveToFileClick() {
  QFileDialog dialog(this);
  ConfigureSaveDialog(dialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  SaveSetupFile(dialog.selectedFiles().constFirst());
}

void TfMain::seLoadFromFileClick() {
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
