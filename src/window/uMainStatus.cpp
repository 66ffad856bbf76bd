// The window's account of what it is doing: the status block under the menu column, the outcome
// of every read and write, and the transcript of the serial dialogue.

#include <QEventLoop>
#include <QTimer>
#include <map>

#include "AfPortControls.h"
#include "ShapeEx.h"
#include "uMain.h"
#include "uMainPrivate.h"
#include "uQtDispatcher.h"
#include "uStatusLine.h"
#include "uTranscript.h"
#include "uTranscriptView.h"
#include "ui_pConnection.h"

// The engine's sentences in the window's language; what the device printed and what no key
// covers stay as they are.
QString FailureWords(const TWriteReport& report) {
  static const std::map<TWriteFailure, const char*> keys = {
      {TWriteFailure::LeftWithoutStoring, "Failed_LeftWithoutStoring"},
      {TWriteFailure::LeaveUnconfirmed, "Failed_SwitchOffAndOn"},
      {TWriteFailure::NoMenu, "Failed_NoMenu"},
      {TWriteFailure::StoreUnconfirmed, "Failed_StoreUnconfirmed"},
      {TWriteFailure::PortClosedWhileWriting, "Failed_PortClosedWhileWriting"},
      {TWriteFailure::PortClosedBeforeWriting, "Failed_PortClosedBeforeWriting"},
      {TWriteFailure::Restarted, "Failed_Restarted"},
  };
  // The walk's own account stays in the engine's words: it quotes the unit.
  const auto key = keys.find(report.Failure);
  const QString sentence =
      key == keys.end() ? QString() : LangText(key->second, WriteFailureText(report.Failure).c_str());
  if (report.Detail.empty()) return sentence;
  return sentence.isEmpty() ? Qs(report.Detail) : Qs(report.Detail) + QLatin1Char(' ') + sentence;
}

QString SettingText(const TSettingRow& row) {
  const auto [key, channel] = SettingLanguageKey(row);
  if (channel.empty()) return LangText(key.c_str(), row.Name.c_str());
  const std::string english = ReplaceAll(row.Name, "channel " + channel, "channel %1");
  return LangText(key.c_str(), english.c_str()).arg(Qs(channel));
}

namespace {

using TOutcome = TStatusLine::TOutcome;

QString SectionText(const std::string& section) {
  return LangText(("Section_" + section).c_str(), SectionWords(section).c_str());
}

// The check after an Apply in the window's language.
std::vector<std::string> ApplyReportLines(const TApplyCheck& check) {
  const size_t confirmed = check.Confirmed.size();
  std::vector<std::string> lines = {
      Std(confirmed == 1 ? LangText("Apply_ConfirmedOne", "1 setting written and confirmed.")
                         : LangText("Apply_Confirmed", "%1 settings written and confirmed.").arg(confirmed))};
  auto shown = [](const TSettingRow& r, const std::string& v) {
    return QLatin1Char('"') + Qs(DumpText(r, v)) + QLatin1Char('"');
  };
  if (!check.Clean()) {
    const size_t written = check.Confirmed.size() + check.NotTaken.size() + check.Unconfirmable.size();
    lines = {Std(LangText("Apply_NotTaken", "The device did not take %1 of the %2 settings written:")
                     .arg(check.NotTaken.size())
                     .arg(written))};
    for (const auto& [c, holds] : check.NotTaken)
      lines.push_back("  " +
                      Std(LangText("Apply_NotTakenLine", "%1: asked %2, the device holds %3")
                              .arg(SettingText(*c.Row), shown(*c.Row, c.To),
                                   holds ? shown(*c.Row, *holds) : LangText("Apply_NoValue", "no value it shows"))));
  }
  for (const TSettingChange& c : check.Unconfirmable)
    lines.push_back(
        "  " + Std(LangText("Apply_Unconfirmable", "%1 was sent; the device never shows it, so it cannot be confirmed.")
                       .arg(SettingText(*c.Row))));
  return lines;
}

}  // namespace

void TfMain::BuildStatus() {
  // Below About and Quit the menu column has room the original left empty.
  statusLine_ = new TStatusLine(pLeft);
  statusLine_->setGeometry(16, 360, 127, pLeft->height() - 360 - 40);
  seTranscript =
      MenuButton("seTranscript", 16, pLeft->height() - 32, LangText("Transcript", "Transcript"), secsUtility);
  seTranscript->setEnabled(true);
  connect(seTranscript, &TShapeEx::OnClick, this, [this] { RunCommand([&] { seTranscriptClick(); }); });
  ShowPortState();
}

QString TfMain::TranscriptPath() const { return WorkingFile(QStringLiteral("transcript.txt")); }

void TfMain::StartTranscript() {
  if (transcript_) return;
  auto transcript = std::make_shared<TTranscript>(Std(TranscriptPath()));
  // Without a file the window works on; the view then says the transcript is empty.
  if (!transcript->IsOpen()) return;
  transcript_ = transcript;
  worker_.Port().OnTrace = [transcript](bool sent, const std::string& bytes) { transcript->Record(sent, bytes); };
}

void TfMain::seTranscriptClick() {
  if (!transcriptView_)
    transcriptView_ = new TTranscriptView(TranscriptPath(), this, [this] {
      return transcript_ ? QString::fromLatin1(transcript_->Unfinished()) : QString();
    });
  transcriptView_->show();
  transcriptView_->raise();
  transcriptView_->activateWindow();
}

void TfMain::ShowPortState() {
  const int com = worker_.Port().ComNumber();
  if (!worker_.IsPortOpen() || deviceAnswered_) waitClock_.invalidate();
  if (!worker_.IsPortOpen()) {
    statusLine_->ShowPort(uiConnection->AfPortComboBox1->count() == 0
                              ? LangText("Status_NoPorts",
                                         "No serial port found: plug in the adapter, then open the "
                                         "port list again")
                              : LangText("Status_Closed", "Port closed"));
    return;
  }
  if (!deviceAnswered_) {
    // How long it has waited, every second; past a while, what to check.
    if (!waitClock_.isValid()) waitClock_.start();
    if (!waitTick_) {
      waitTick_ = new QTimer(this);
      waitTick_->setInterval(1000);
      connect(waitTick_, &QTimer::timeout, this, [this] {
        if (worker_.IsPortOpen() && !deviceAnswered_ && !closing_) ShowPortState();
        else waitTick_->stop();
      });
    }
    if (!waitTick_->isActive()) waitTick_->start();
    const qint64 waited = waitClock_.elapsed();
    QString text = LangText("Status_Waiting", "COM %1 open: waiting for the device, power it on now").arg(com);
    if (waited >= 1000) text += LangText("Status_Waited", " (%1 s)").arg(waited / 1000);
    if (waited >= waitHintAfterMs_)
      text += QLatin1Char('\n') + LangText("Status_CableHint",
                                           "Nothing yet? Check the power and the cable: a crossed (null modem) "
                                           "cable on the unit's port CH1.");
    statusLine_->ShowPort(text);
    return;
  }
  // The unit on the line, as it named itself: whichever of its MAC and firmware it printed.
  QString text = LangText("Status_Connected", "Connected: COM %1").arg(com);
  const TDeviceIdentity unit = worker_.Identity();
  if (!unit.Mac.empty()) text += QLatin1Char('\n') + LangText("Status_Mac", "MAC %1").arg(Qs(unit.Mac));
  if (!unit.Firmware.empty())
    text += QLatin1Char('\n') + LangText("Status_Firmware", "Firmware %1").arg(Qs(unit.Firmware));
  statusLine_->ShowPort(text);
}

void TfMain::Progress(const TWorkProgress& p) {
  if (closing_) return;
  const bool talking = p.Step != TWorkStep::Waiting;
  if (talking != deviceAnswered_) {
    deviceAnswered_ = talking;
    ShowPortState();
  }
  switch (p.Step) {
    case TWorkStep::Waiting: break;  // the port's state says it; what went before stays readable
    case TWorkStep::Reading:
      statusLine_->ShowStep(LangText("Step_Reading", "Reading the settings"), p.Done, p.Total);
      break;
    case TWorkStep::Writing:
      statusLine_->ShowStep(LangText("Step_Writing", "Writing %1").arg(SectionText(p.Section)), p.Done, p.Total);
      break;
    case TWorkStep::Storing: statusLine_->ShowStep(LangText("Step_Storing", "Storing"), 1, 1); break;
    case TWorkStep::Checking:
      statusLine_->ShowStep(LangText("Step_Checking", "Checking: reading the settings back"), p.Done, p.Total);
      break;
  }
}

void TfMain::ShowReadOutcome(const TXmlElement& root, bool checked) {
  deviceAnswered_ = true;
  ShowPortState();
  if (apply_) {
    // The device is the truth: only what it reports after the write counts as done, and what it
    // never asked for was not written: it is named, never counted as confirmed.
    const TDeviceSettings after = FromReadDocument(root);
    const TSettingChanges written = apply_->Changes();
    const TApplyVerdict verdict = FinishApply(true, &after);
    lastApplyReport_ = verdict.Lines(after, ApplyReportLines);
    if (!verdict.Clean()) {
      QString text;
      for (const std::string& line : lastApplyReport_) text += Qs(line) + QLatin1Char('\n');
      statusLine_->ShowOutcome(Qs(lastApplyReport_.front()).remove(QLatin1Char(':')), TOutcome::Failed);
      AppWarning(text.trimmed());
      return;
    }
    defaultsShown_ = false;
    asLeftRead_ = root;
    asLeftAt_ = QDateTime::currentDateTime();
    // A store of the factory values alone wrote no setting to count; an Undo says what it took back.
    const QString undone = undoing_.isEmpty() ? QString() : UndoneText(written, undoing_);
    undoing_.clear();
    statusLine_->ShowOutcome(written.empty()    ? LangText("Done_Stored", "Settings stored on the device")
                             : undone.isEmpty() ? Qs(lastApplyReport_.front())
                                                : undone,
                             TOutcome::Done);
    return;
  }
  if (checked) {
    const int missing = PendingChanges();
    if (missing == 0)
      statusLine_->ShowOutcome(LangText("Done_Checked", "Checked: the unit holds the changes stored"), TOutcome::Done);
    else
      statusLine_->ShowOutcome(LangText("Failed_Checked",
                                        "The unit does not hold %1 of the changes stored; they are shown as changes "
                                        "not applied")
                                   .arg(missing),
                               TOutcome::Failed);
    return;
  }
  if (defaultsShown_)
    statusLine_->ShowOutcome(
        LangText("Done_Defaults",
                 "Factory values shown: they are not on the device until \"Apply Settings\" stores them"),
        TOutcome::Notice);
  else statusLine_->ShowOutcome(LangText("Done_Read", "Settings read from the device"), TOutcome::Done);
}

void TfMain::WriteFinished(const TWriteReport& report) {
  if (report.Kind == TWriteKind::Exit) {
    exitPending_ = false;
    if (quitWait_) quitWait_->quit();
    // A Stop under way ends the Reload here: no read waits for the unit afterwards.
    if (reloadAfterExit_ && !closing_ && !stopping_) {
      reloadAfterExit_ = false;
      defaultsShown_ = false;
      // The device shows its stored settings only after it starts again.
      statusLine_->ShowStep(report.Succeeded ? LangText("Step_LeftForReload",
                                                        "Left Setup Mode without storing: switch the device off and "
                                                        "on to read its stored settings")
                                             : LangText("Step_Reading", "Reading the settings"));
      worker_.RequestRead();
    }
    return;
  }
  // Nothing was stored: the Apply's backup goes, and the re-read shows the device as it is.
  if (!report.Succeeded && apply_) FinishApply(false);
  if (closing_ || portClosing_ || report.Cancelled) return;
  if (report.Succeeded) {
    if (report.Kind == TWriteKind::Defaults) defaultsShown_ = true;
    applyNotAsked_ = report.NotAsked;
    return;
  }
  const QString what = report.Kind == TWriteKind::Defaults
                           ? LangText("Failed_Defaults", "The device did not load its factory values")
                           : LangText("Failed_Write", "The settings were not stored");
  statusLine_->ShowOutcome(what, TOutcome::Failed);
  if (!report.Reread) EndBusy();
  const QString why = FailureWords(report);
  AppWarning(why.isEmpty() ? what + QLatin1Char('.') : what + QStringLiteral(".\n\n") + why);
}

void TfMain::ShowMessage(const std::string& text) { AppMessage(Qs(text)); }

void TfMain::WorkerFailed(const std::string& error) {
  AppWarning(LangText("WorkerError", "The conversation with the device broke off: %1").arg(Qs(error)));
}
