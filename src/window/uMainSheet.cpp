// The settings sheet of what the pages show: the pages read off label by label, both channels
// and each tab, under the unit's identity; edits not applied marked line by line, and the
// read-back of a confirmed Apply stamped as the unit was left.

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSaveFile>
#include <QSettings>

#include "ShapeEx.h"
#include "uKaVruneIdentity.h"
#include "uMain.h"
#include "uMainForms.h"
#include "uMainPrivate.h"
#include "uSettingsSheet.h"
#include "uStatusLine.h"

namespace {

// Who makes sheets and where, remembered in the state folder beside the port last opened.
QString RememberedFile() {
  return QDir(TfMain::DefaultWorkingDirectory()).filePath(QStringLiteral("kavrune-setup.ini"));
}

struct TSheetField {
  const char* Name;  // of its edit in the dialog
  const char* Key;   // in the remembered settings
  QString TSheetOptions::*Value;
};
const TSheetField kSheetFields[] = {{"eSheetOperator", "sheet/operator", &TSheetOptions::Operator},
                                    {"eSheetStation", "sheet/station", &TSheetOptions::Station}};

QString FieldCaption(const TSheetField& field) {
  return field.Value == &TSheetOptions::Operator ? LangText("Sheet_Operator", "Operator")
                                                 : LangText("Sheet_Station", "Station");
}

// A line the unit prints about itself, in whichever section it printed it; empty when none.
std::string UnitLine(const TXmlElement& read, const char* key) {
  if (read)
    for (const TXmlElement& section : read.Children())
      if (const TXmlElement line = section.FirstChild(key)) return line.Text();
  return {};
}

}  // namespace

TDeviceIdentity TfMain::PagesUnit() const {
  if (worker_.IsPortOpen() && !deskFile_) return worker_.Identity();
  return TDeviceIdentityScanner().Identity(currentRead_);
}

QDateTime TfMain::AsLeftTime() {
  const bool asLeft = asLeftRead_ && asLeftRead_ == currentRead_ && PendingChanges() == 0 && RangeFaults().isEmpty();
  return asLeft ? asLeftAt_ : QDateTime();
}

void TfMain::WriteSettingsSheet(const QString& fileName, const QString& source, const TSheetOptions& options) {
  const TSheetWords words{LangText("Sheet_On", "on"), LangText("Sheet_Off", "off"), LangText("Sheet_Set", "set"),
                          LangText("Sheet_NotSet", "not set")};
  // An edit is a control that shows another value than the unit (or the file) did; the channels'
  // controls against the channel they show.
  auto editedOn = [this](int channel) {
    return [this, channel](const QWidget* control) {
      const auto& base = channel ? channelBaseline_[channel] : baseline_;
      const auto found = base.find(control);
      return found != base.end() && ShownValue(control).Key != found->Key;
    };
  };
  // The unit's regulatory domain stands beside the WLAN channel: a line of its own.
  pWLAN->Form().Label85->setProperty("sheetName", LangText("Sheet_Country", "Country") + QLatin1Char(':'));
  // The channel shown keeps its edits before the page shows each channel in turn.
  if (currentRead_) pcChannel1->KeepChannel(ChannelOf(currentPageButton_));
  std::vector<TSheetPart> parts;
  for (TShapeEx* button : {seNetwork, seServer, seServices, seChannel1, seChannel2, seWLAN}) {
    // A unit without WLAN has no WLAN settings, whatever its page shows.
    if (button->isHidden() || (button == seWLAN && !(currentRead_ && currentRead_.FirstChild("WLAN")))) continue;
    const int channel = ChannelOf(button);
    if (channel == 0) {
      parts.push_back(
          {button->Caption(), SheetGroupsOf(PageForTag(button->property("Tag").toInt()), words, editedOn(0))});
      continue;
    }
    pcChannel1->ShowChannel(channel);
    for (int tab = 0; tab < pcChannel1->count(); ++tab) {
      const QString title =
          button->Caption() + QStringLiteral(" \u2013 ") + pcChannel1->tabText(tab).remove(QLatin1Char('&'));
      parts.push_back({title, SheetGroupsOf(pcChannel1->widget(tab), words, editedOn(channel))});
    }
  }
  // Back to the channel the pages showed, from its kept edits.
  pcChannel1->ShowChannel(ChannelOf(currentPageButton_));

  const TDeviceIdentity unit = PagesUnit();
  const QString unknown =
      deskFile_ ? LangText("Sheet_NotInFile", "not in the file") : LangText("Sheet_NotShown", "not shown by the unit");
  const QDateTime made = QDateTime::currentDateTime();
  const QDateTime confirmed = options.ConfirmedAt.isValid() ? options.ConfirmedAt : AsLeftTime();
  TSheetHead head{
      LangText("Sheet_Title", "kaVRUNE settings sheet"), {}, LangText("Sheet_EditedMark", "(edited, not applied)")};
  if (confirmed.isValid())
    head.Lines.push_back(
        {LangText("Sheet_Record", "Record"), LangText("Sheet_AsLeft", "as left, confirmed at %1")
                                                 .arg(SheetTime(confirmed, confirmed.date() != made.date()))});
  head.Lines.push_back({LangText("Sheet_Mac", "MAC address"), unit.Mac.empty() ? unknown : Qs(unit.Mac)});
  head.Lines.push_back({LangText("Sheet_Firmware", "Firmware"), unit.Firmware.empty() ? unknown : Qs(unit.Firmware)});
  if (const std::string hardware = UnitLine(currentRead_, "Hardware"); !hardware.empty())
    head.Lines.push_back({LangText("Sheet_Hardware", "Hardware"), Qs(hardware)});
  head.Lines.push_back({LangText("Sheet_Source", "Settings from"), source});
  for (const TSheetField& field : kSheetFields)
    if (!(options.*field.Value).isEmpty()) head.Lines.push_back({FieldCaption(field), options.*field.Value});
  head.Lines.push_back({LangText("Sheet_Made", "Made"), SheetTime(made)});
  head.Lines.push_back({LangText("Sheet_Tool", "Made with"), QStringLiteral("kaVRUNE setup " KAVRUNE_PRODUCT_VERSION)});
  // A sheet hands over what the unit holds: edits not applied are marked, not hidden.
  int marked = 0;
  for (const TSheetPart& part : parts)
    for (const TSheetGroup& group : part.Groups)
      for (const TSheetLine& line : group.Lines) marked += line.Edited ? 1 : 0;
  const QString pendingName = LangText("Sheet_Pending", "Not on the unit");
  if (marked > 0)
    head.Lines.push_back(
        {pendingName,
         LangText("Sheet_PendingMarked", "%1 lines below are marked %2").arg(marked).arg(head.EditedMark)});
  else if (const int pending = PendingChanges(); pending > 0)
    head.Lines.push_back(
        {pendingName, LangText("Sheet_PendingEdits", "%1 edits on the pages are not applied").arg(pending)});

  if (fileName.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive)) {
    QSaveFile file(fileName);
    const QByteArray text = SheetText(head, parts).toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
      throw std::runtime_error(
          Std(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(fileName), file.errorString())));
    return;
  }
  WriteSheetPdf(fileName, head, parts);
}

void TfMain::ConfigureSheetDialog(QFileDialog& dialog) const {
  dialog.setObjectName(QStringLiteral("SheetDialog"));
  // Qt's own dialog, which has room for the operator and the station under the file's name.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(LangText("Filter_Pdf", "PDF document") + QStringLiteral(" (*.pdf)"));
  dialog.setDefaultSuffix(QStringLiteral("pdf"));
  const std::string mac = PagesUnit().Mac;
  dialog.selectFile(mac.empty() ? QStringLiteral("kavrune-sheet.pdf")
                                : QStringLiteral("kavrune-%1-sheet.pdf").arg(Qs(mac)));
  auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
  if (!grid) return;
  const QSettings remembered(RememberedFile(), QSettings::IniFormat);
  int row = grid->rowCount();
  for (const TSheetField& field : kSheetFields) {
    auto* edit = new QLineEdit(remembered.value(QLatin1String(field.Key)).toString(), &dialog);
    edit->setObjectName(QLatin1String(field.Name));
    auto* label = new QLabel(FieldCaption(field) + QLatin1Char(':'), &dialog);
    label->setBuddy(edit);
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row++, 1);
  }
}

TSheetOptions TfMain::TakeSheetDialog(const QFileDialog& dialog) {
  TSheetOptions options;
  QDir().mkpath(DefaultWorkingDirectory());  // a folder that cannot be written only forgets them
  QSettings remembered(RememberedFile(), QSettings::IniFormat);
  for (const TSheetField& field : kSheetFields)
    if (const auto* edit = dialog.findChild<const QLineEdit*>(QLatin1String(field.Name))) {
      options.*field.Value = edit->text().simplified();
      remembered.setValue(QLatin1String(field.Key), options.*field.Value);
    }
  return options;
}

void TfMain::seSheetClick() {
  QFileDialog dialog(this);
  ConfigureSheetDialog(dialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString file = dialog.selectedFiles().constFirst();
  const TSheetOptions options = TakeSheetDialog(dialog);
  const QString source =
      worker_.IsPortOpen() && !deskFile_
          ? LangText("Sheet_FromUnit", "the unit on %1").arg(QStringLiteral("COM %1").arg(worker_.Port().ComNumber()))
      : deskFile_ ? LangText("Sheet_FromFile", "the file %1").arg(QDir::toNativeSeparators(deskFileName_))
                  : LangText("Sheet_FromPages", "the pages of this window");
  WriteSettingsSheet(file, source, options);
  statusLine_->ShowOutcome(LangText("Done_Sheet", "Settings sheet saved to %1").arg(QDir::toNativeSeparators(file)),
                           TStatusLine::TOutcome::Done);
}
