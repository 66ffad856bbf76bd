#include "uMain.h"
#include "uMainPrivate.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QTranslator>
#include <QUrl>

#include "AfPortControls.h"
#include "ComCtrlsAdds.h"
#include "ShapeEx.h"
#include "uContacts.h"
#include "uFileUtils.h"
#include "uIntEdit.h"
#include "uQtDispatcher.h"
#include "uStatusLine.h"
#include "ufAbout.h"
#ifdef KAVRUNE_HAVE_LANGUAGE
#include "uLanguage.h"
#endif

#include "uPages.h"
#include "ui_pConnection.h"
#include "ui_pDebug.h"
#include "ui_pcChannel1.h"

namespace {

const QColor StepOpenColour(0xE0, 0xFF, 0xE0);  // light green: the step to do now
const QColor StepWaitColour(0xFF, 0xE1, 0xC4);  // peach: done or not yet
const QColor LinkColour(0xA6, 0xCA, 0xF0);
constexpr int DebugWindowWidth = 845;

template <typename F>
class TFinally final {
 public:
  explicit TFinally(F f) : f_(std::move(f)) {}
  ~TFinally() { f_(); }
  TFinally(const TFinally&) = delete;
  TFinally& operator=(const TFinally&) = delete;

 private:
  F f_;
};

}  // namespace

// ---------------------------------------------------------------------------------- operations

void TfMain::ShowPage(QWidget* page) {
  for (QWidget* p :
       std::initializer_list<QWidget*>{pConnection, pNetwork, pServer, pServices, pcChannel1, pWLAN, pEmail}) {
    if (p == page) {
      p->move(pLeft->width() + 16, pTop->height() + 16);
      p->show();
    } else {
      p->hide();
    }
  }
}

QWidget* TfMain::PageForTag(int tag) const {
  switch (tag) {
    case 0: return pNetwork;
    case 1: return pServer;
    case 2: return pServices;
    case 3:
    case 4: return pcChannel1;
    case 5: return pWLAN;
    case 6: return pEmail;
    default: return nullptr;
  }
}

void TfMain::EnableCommands(bool enable) {
  // Without a port the window works on files: the pages of the last read or of a loaded file
  // can be edited and saved; what needs a unit waits for one.
  const bool unit = enable && worker_.IsPortOpen();
  const bool pages = enable && currentRead_;
  for (TShapeEx* b : {seNetwork, seServer, seServices, seChannel1, seChannel2, seWLAN, seEmail, seTerminal})
    b->setEnabled(pages);
  for (TShapeEx* b : {seApplySettings, seDefault, seReload, seDisconnect}) b->setEnabled(unit);
  seLoadFromFile->setEnabled(enable);
  seSaveToFile->setEnabled(pages);
  seSheet->setEnabled(pages);
  seUndoApply->setEnabled(unit && undoOffer_.has_value());
  // Waiting for the unit, the wait can be stopped; a stop under way is not asked for again.
  waiting_ = !enable && worker_.IsPortOpen();
  seStop->setEnabled(waiting_ && !stopping_);
}

void TfMain::BeginBusy() {
  SetGlobalBusyCursor(true);
  if (QWidget* focus = QApplication::focusWidget(); focus && isAncestorOf(focus) && !focusBeforeBusy_)
    focusBeforeBusy_ = focus;
  EnableCommands(false);
  // Every wait can be stopped: Stop keeps the port open, Disconnect closes it as well.
  seDisconnect->setEnabled(worker_.IsPortOpen());
}

void TfMain::EndBusy() {
  SetGlobalBusyCursor(false);
  EnableCommands(true);
  if (focusBeforeBusy_ && focusBeforeBusy_->isEnabled() && focusBeforeBusy_->isVisible())
    focusBeforeBusy_->setFocus(Qt::OtherFocusReason);
  focusBeforeBusy_ = nullptr;
}

QStringList TfMain::LanguageFileCandidates(const QString& directory, const QLocale& locale) {
  QStringList dirs;
  if (!directory.isEmpty()) {
    dirs << directory;
  } else {
    // Beside the program (a build tree, a portable copy), then the installed data folder,
    // found from the program so that an installation can be moved as a whole.
    const QString program = QCoreApplication::applicationDirPath();
    dirs << program << QDir(program).filePath(QStringLiteral("../share/kavrune"));
  }
  const QString language = locale.name().section(QLatin1Char('_'), 0, 0);
  QStringList names;
  if (!language.isEmpty() && language != QLatin1String("C") && language != QLatin1String("en"))
    names << QStringLiteral("Language.%1.xml").arg(language);
  names << QStringLiteral("Language.xml");
  QStringList out;
  for (const QString& dir : dirs)
    for (const QString& name : names) out << QDir::cleanPath(QDir(dir).filePath(name));
  return out;
}

namespace {

// Qt's own texts (the buttons of question boxes, the file dialogs) in the language of the
// window's file, from Qt's installed translations; English when there are none. The file names
// its language for Qt ("de"), else its name says it (Language.de.xml).
void LoadQtTranslation(const QString& languageFile) {
  static QTranslator qt;
  QCoreApplication::removeTranslator(&qt);
  QString language = LangText("Qt_Language", "").trimmed();
  if (language.isEmpty()) language = QFileInfo(languageFile).completeBaseName().section(QLatin1Char('.'), 1, 1);
  if (language.isEmpty()) return;
  if (qt.load(QLocale(language), QStringLiteral("qtbase"), QStringLiteral("_"),
              QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(&qt);
}

}  // namespace

void TfMain::LoadLanguage() {
  QString path;
  for (const QString& candidate : LanguageFileCandidates(languageDirectory_, QLocale()))
    if (QFileInfo::exists(candidate)) {
      path = candidate;
      break;
    }
  // Without a file the window keeps its built-in English texts; that is no fault to box.
  if (path.isEmpty()) return;
#ifdef KAVRUNE_HAVE_LANGUAGE
  try {
    Language().LoadFromFile(path);
    LoadQtTranslation(path);
    Language().ApplyToWindow(this);
    uiConnection->bOpenClose->setText(LangText("bOpenClose_Open", "Open"));
    about_->SetFieldNames({LangText("About_Version", "Version:"), LangText("About_Author", "Author:"),
                           LangText("About_Mail", "Mail:"), LangText("About_Phone", "Phone:")});
  } catch (const std::exception& e) {
    AppWarning(QStringLiteral("Cannot load language file: ") + QString::fromUtf8(e.what()));
  }
#endif
}

std::vector<int> TfMain::GetProductVersion() {
#ifdef KAVRUNE_PRODUCT_VERSION
  const QString text = TfAbout::FileVersionText(QStringLiteral(KAVRUNE_PRODUCT_VERSION));
  if (text.isEmpty()) return {};
  std::vector<int> v;
  for (const QString& part : text.split(QLatin1Char('.'))) v.push_back(part.toInt());
  return v;
#else
  return {};
#endif
}

QString TfMain::FormatVersionCaption(QString pattern, const QString& initialCaption, const std::vector<int>& version) {
  if (pattern.isEmpty() || version.size() != 4) pattern = QStringLiteral("%s");
  QString first = initialCaption;
  if (!pattern.contains(QLatin1String("%s"))) {
    pattern.prepend(QLatin1String("%s"));
    first.clear();
  }
  QString out;
  size_t next = 0;
  for (qsizetype i = 0; i < pattern.size(); ++i) {
    const QChar c = pattern[i];
    if (c != QLatin1Char('%') || i + 1 >= pattern.size()) {
      out += c;
      continue;
    }
    const QChar conversion = pattern[i + 1];
    if (conversion == QLatin1Char('s')) {
      out += first;
      ++i;
    } else if (conversion == QLatin1Char('d') && next < version.size()) {
      out += QString::number(version[next++]);
      ++i;
    } else if (conversion == QLatin1Char('%')) {
      out += c;
      ++i;
    } else {
      // A number more than the version has stays as written instead of failing the caption.
      out += c;
    }
  }
  return out;
}

void TfMain::SetVersionCaption(const QString& pattern) {
  if (!captionRemembered_) {
    initialCaption_ = windowTitle();
    captionRemembered_ = true;
  }
  setWindowTitle(FormatVersionCaption(pattern, initialCaption_, GetProductVersion()));
}

// LoadReadDocument, PagesSettings and BuildWriteDocument: uMainDocuments.cpp; the pages: uPages*.cpp,
// uPageChannel*.cpp; setup files: uMainFiles.cpp.

// ---------------------------------------------------------------------------------- worker

void TfMain::DeliverReadDocument(const TXmlElement& root) {
  // A document posted just before the port was closed must not bring the commands back on a
  // closed port, nor one that arrives while the window is going.
  if (closing_ || portClosing_ || !worker_.IsPortOpen()) return;
  stoppedApply_ = false;  // the read gives the Apply's verdict
  RunCommand([&] {
    LoadReadDocument(root);
    EnableCommands(true);
    if (!pConnection->isHidden()) {
      PageButtonClick(seNetwork);
      seNetwork->SetDown(true);
    }
    // The read checks the changes stored without a check; an Apply's read gives its own verdict.
    const TSettingChanges unchecked = apply_ ? TSettingChanges() : storedNotChecked_;
    storedNotChecked_.clear();
    fileShown_ = false;
    if (deskWanted_) {
      // A file prepared without a unit: its settings and the edits made on it come over the
      // unit's as edits, which the checked Apply writes.
      TakeEditBaseline();
      LoadPagesOver(root, *deskWanted_);
      deskWanted_.reset();
    } else if (!unchecked.empty()) {
      // Those the unit does not hold come back as edits, for another Apply.
      TDeviceSettings wanted;
      for (const TSettingChange& c : unchecked) wanted.Set(*c.Row, c.To);
      TakeEditBaseline();
      LoadPagesOver(root, wanted);
    } else if (defaultsShown_ && beforeDefaults_ && !apply_) {
      // The factory values are edits against what the unit keeps stored: marked, counted, and
      // written by Apply.
      LoadPages(FromReadDocument(beforeDefaults_));
      TakeEditBaseline();
      LoadPages(FromReadDocument(root));
    } else {
      TakeEditBaseline();
    }
    ShowReadOutcome(root, !unchecked.empty());
  });
}

void TfMain::ReadFailed(TReadFailure kind, const std::string& reason) {
  if (closing_ || portClosing_) return;
  // The pages keep the last document read, if any; without one there is nothing to apply.
  SetGlobalBusyCursor(false);
  stoppedApply_ = false;
  EnableCommands(static_cast<bool>(currentRead_));
  seReload->setEnabled(worker_.IsPortOpen());
  seStop->setEnabled(false);
  if (kind == TReadFailure::NotBackAfterStore) {
    // The Apply stored: what the unit holds is what was written, only not read back.
    if (apply_) FinishApply(true);
    const QString text = LangText("Outcome_StoredNotChecked",
                                  "Stored, not checked: the unit did not come back after storing; "
                                  "read it again (Reload from device) to confirm");
    statusLine_->ShowOutcome(text, TStatusLine::TOutcome::Notice);
    AppWarning(text + ".");
    return;
  }
  statusLine_->ShowOutcome(LangText("Failed_Read", "The settings were not read"), TStatusLine::TOutcome::Failed);
  const QString why = kind == TReadFailure::LineLost
                          ? LangText("Failed_LineLost", "the connection was lost during the read")
                      : kind == TReadFailure::Stopped ? LangText("Failed_ReadStopped", "the read was stopped")
                                                      : Qs(reason);
  AppWarning(LangText("ReadFailed", "The device settings were not read: %1.").arg(why));
}

void TfMain::ReadDamaged(const std::vector<std::string>& lines) {
  if (closing_) return;
  QStringList shown;
  for (const std::string& line : lines) shown << QString::fromUtf8(line);
  AppWarning(LangText("ReadDamaged",
                      "The line to the device is noisy: these lines of its settings could not be read even after "
                      "reading them three times. Their settings are shown as missing; check the cable and read "
                      "again.\n%1")
                 .arg(shown.join(QLatin1Char('\n'))));
}

// ---------------------------------------------------------------------------------- handlers

void TfMain::PageButtonClick(QObject* Sender) {
  auto* button = qobject_cast<TShapeEx*>(Sender);
  if (!button) return;
  ++marksHeld_;
  TFinally showMarks([this] {
    --marksHeld_;
    ShowEditMarks();
  });
  if (currentRead_) pcChannel1->KeepChannel(ChannelOf(currentPageButton_));
  pcChannel1->ShowChannel(currentRead_ ? ChannelOf(button) : 0);
  // Coming from another page, a channel opens on its serial settings; between the two channels
  // the tab stays, so that they can be compared.
  if (ChannelOf(button) != 0 && ChannelOf(currentPageButton_) == 0) pcChannel1->setCurrentIndex(0);
  currentPageButton_ = button;
  const int tag = button->property("Tag").toInt();
  pcChannel1->Form().cbChannel1LineMode->setEnabled(tag == 4);
  ShowPage(PageForTag(tag));
}

void TfMain::SetStepColours(bool open) {
  for (TShapeEx* s : {uiConnection->ShapeEx11, uiConnection->ShapeEx12, uiConnection->ShapeEx13})
    s->SetBrushColor(open ? StepWaitColour : StepOpenColour);
  uiConnection->ShapeEx14->SetBrushColor(open ? StepOpenColour : StepWaitColour);
}

void TfMain::bOpenCloseClick() {
  QPushButton* bOpenClose = uiConnection->bOpenClose;
  TAfPortComboBox* picker = uiConnection->AfPortComboBox1;
  if (worker_.IsPortOpen() && !portClosing_) {
    if (!MayDropEdits()) return;
    // The worker stops what it does and takes the unit out of Setup Mode on its own thread; the
    // port closes once it has said so (WorkStopped), so the window never waits for the unit.
    portClosing_ = true;
    if (!stopping_) {
      stopping_ = true;
      stoppedApply_ = apply_.has_value();
      worker_.StopWork();
    }
    SetGlobalBusyCursor(true);
    EnableCommands(false);
    seDisconnect->setEnabled(false);
    bOpenClose->setEnabled(false);
    statusLine_->ShowStep(LangText("Step_Leaving", "Leaving Setup Mode…"));
    return;
  }
  SetGlobalBusyCursor(true);
  bOpenClose->setEnabled(false);
  TFinally restore([&] {
    bOpenClose->setEnabled(true);
    SetGlobalBusyCursor(false);
  });
  auto showClosed = [&] {
    SetStepColours(false);
    seDisconnect->setEnabled(false);
    picker->setEnabled(true);
    bOpenClose->setText(LangText("bOpenClose_Open", "Open"));
    EnableCommands(true);  // no unit: its last read and files stay at hand
    ShowPage(pConnection);
    for (TShapeEx* b : {seNetwork, seServer, seServices, seChannel1, seChannel2, seWLAN, seEmail}) b->SetDown(false);
  };
  bool open = false;
  try {
    worker_.LockPort();
    TFinally unlock([&] { worker_.UnlockPort(); });
    StartTranscript();
    // The pages of a file prepared without a unit go over the unit's settings once it is read.
    if (!worker_.IsPortOpen() && deskFile_) deskWanted_ = DeskSettings();
    deskFile_ = false;
    deviceAnswered_ = defaultsShown_ = fileShown_ = reloadAfterExit_ = stopping_ = stoppedApply_ = portClosing_ = false;
    storedNotChecked_.clear();
    statusLine_->Clear();
    DropEditBaseline();
    if (worker_.IsPortOpen()) worker_.OpenPort(0);
    else worker_.OpenPort(picker->ComNumber());
    open = worker_.IsPortOpen();
  } catch (const EAfSerialError& e) {
    showClosed();
    throw std::runtime_error(AfPortErrorText(e));
  } catch (...) {
    showClosed();
    throw;
  }
  ShowPortState();
  if (open) {
    SetStepColours(true);
    bOpenClose->setText(LangText("bOpenClose_Close", "Close"));
    picker->setEnabled(false);
    // Chosen again at the next start; a folder that cannot be written only forgets it.
    QDir().mkpath(DefaultWorkingDirectory());
    WriteFileAtomically(Std(LastPortFile()), "COM" + std::to_string(worker_.Port().ComNumber()) + "\n");
    EnableCommands(false);
    ShowPage(pConnection);
    for (TShapeEx* b : {seNetwork, seServer, seServices, seChannel1, seChannel2, seWLAN, seEmail}) b->SetDown(false);
    seDisconnect->setEnabled(true);
  } else {
    showClosed();
  }
}

void TfMain::seDisconnectClick() { bOpenCloseClick(); }

void TfMain::AfPortComboBox1Change() {
  uiConnection->bOpenClose->setEnabled(uiConnection->AfPortComboBox1->ComNumber() != 0);
}

void TfMain::seApplySettingsClick() { ApplyPages({}); }

void TfMain::ApplyPages(const QString& undoOf) {
  TMyCustomNumEdit::ValidateFocusedNumEdit();
  if (const QStringList faults = RangeFaults(); !faults.isEmpty()) {
    AppWarning(LangText("Apply_NothingSent", "Nothing was sent to the device:") + QLatin1Char('\n') +
               faults.join(QLatin1Char('\n')));
    return;
  }
  // The unit's own menu says which sections it has.
  TCheckedApply apply(shown_.value_or(TDeviceSettings()), PagesSettings(), worker_.MenuMap().SectionsOffered());
  if (!apply.Faults().empty()) {
    QString text = LangText("Apply_NothingSent", "Nothing was sent to the device:");
    for (const std::string& f : apply.Faults()) text += QLatin1Char('\n') + Qs(f);
    AppWarning(text);
    return;
  }
  if (apply.Changes().empty() && !defaultsShown_) {
    lastApplyReport_ = {
        Std(LangText("Apply_NothingDiffers", "No setting differs from the device: nothing was written."))};
    for (const std::string& line : NotOnUnitLines(apply.NotOnUnit())) lastApplyReport_.push_back(line);
    statusLine_->ShowOutcome(Qs(lastApplyReport_.front()), TStatusLine::TOutcome::Notice);
    if (lastApplyReport_.size() > 1) {
      QString text;
      for (const std::string& line : lastApplyReport_) text += Qs(line) + QLatin1Char('\n');
      AppWarning(text.trimmed());
    }
    return;
  }
  if (!KeepBackupBeforeApply(apply)) return;
  XMLSave = TXmlDocument::CreateFromText("<xml/>");
  TXmlElement root = XMLSave->Root();
  apply.Request(root);
  apply_ = std::move(apply);
  undoing_ = undoOf;
  applyNotAsked_.clear();
  lastApplyReport_.clear();
  worker_.RequestWrite(root);
  // The write is on its way; a working copy that cannot be written is only reported.
  const QString failed = SaveWorkingCopy(*XMLSave, QStringLiteral("temp_save.xml"));
  // No read request of our own: the worker serves a pending read before a pending write, so it
  // would deliver the old settings and end the busy state while the write still runs. The
  // worker reads the device itself once the write is over, stored or not.
  BeginBusy();
  if (!failed.isEmpty()) AppWarning(failed);
}

void TfMain::seDefaultClick() {
  if (!AppQuestion(LangText("Ask_Defaults",
                            "Show the device's factory values on every page? Changes not applied are lost; the device "
                            "keeps the factory values only once \"Apply Settings\" stores them.")))
    return;
  if (!defaultsShown_) beforeDefaults_ = worker_.ReadResult();  // what the device keeps until Apply stores
  worker_.RequestWrite(RequestDefaults{});
  statusLine_->ShowStep(LangText("Step_Defaults", "Loading the factory values"));
  // As with Apply: the worker reads the device after the defaults are in, and a read of our
  // own would be served first and show the old settings.
  BeginBusy();
}

void TfMain::seReloadClick() {
  if (!MayDropEdits(true)) return;
  if (defaultsShown_) {
    // The device holds the factory values unstored; only leaving Setup Mode without storing
    // brings its stored settings back. The read follows once it has left (WriteFinished).
    reloadAfterExit_ = true;
    worker_.RequestWrite(RequestExit{});
    statusLine_->ShowStep(LangText("Step_Leaving", "Leaving Setup Mode…"));
  } else {
    worker_.RequestRead();
  }
  BeginBusy();
}

void TfMain::seStopClick() {
  // The worker stops on its own thread: the window never waits for the unit.
  stopping_ = true;
  stoppedApply_ = apply_.has_value();
  seStop->setEnabled(false);
  worker_.StopWork();
  statusLine_->ShowStep(LangText("Step_Stopping", "Stopping…"));
}

void TfMain::WorkStopped(bool leftSetupMode) {
  if (closing_) return;
  stopping_ = false;
  reloadAfterExit_ = false;
  // Factory values the unit showed unstored went with Setup Mode.
  if (leftSetupMode) defaultsShown_ = false;
  const QString notChecked = LangText("Outcome_StoppedNotChecked",
                                      "Stored, not checked: the wait for the unit was stopped; read it again "
                                      "(Reload from device) to confirm");
  if (portClosing_) {
    // Disconnect: the unit is out of Setup Mode where it could be taken out; the port closes.
    if (apply_) {
      FinishApply(true);
      AppWarning(notChecked + QLatin1Char('.'));
    }
    RunCommand([&] { bOpenCloseClick(); });
    return;
  }
  const bool open = worker_.IsPortOpen();
  SetGlobalBusyCursor(false);
  // The pages keep the last document read, if any; without one there is nothing to apply.
  EnableCommands(static_cast<bool>(currentRead_));
  seStop->setEnabled(false);
  seReload->setEnabled(open);
  seDisconnect->setEnabled(open);
  using TOutcome = TStatusLine::TOutcome;
  if (apply_) {
    // The unit confirmed the store before the wait for it was stopped.
    FinishApply(true);
    statusLine_->ShowOutcome(notChecked, TOutcome::Notice);
  } else if (stoppedApply_) {
    statusLine_->ShowOutcome(LangText("Outcome_StoppedNothingStored", "Stopped: nothing was stored"), TOutcome::Notice);
  } else {
    statusLine_->ShowOutcome(leftSetupMode
                                 ? LangText("Outcome_StoppedLeft", "Stopped: the unit left Setup Mode without storing")
                                 : LangText("Outcome_Stopped", "Stopped"),
                             TOutcome::Notice);
  }
  stoppedApply_ = false;
}

void TfMain::AboutClick() { about_->exec(); }

void TfMain::QuitClick() { close(); }

void TfMain::seTerminalClick() {
  if (pDebug->isHidden()) {
    widthBeforeDebug_ = width();
    setMinimumWidth(DebugWindowWidth);
    resize(std::max(width(), DebugWindowWidth), height());
    const int x = pLeft->width() + pNetwork->width() + 32;
    pDebug->setGeometry(x, pTop->height() + 16, width() - x - 16, pDebug->height());
    pDebug->show();
  } else {
    // Back to the width the pages were laid out for, not the narrower design width.
    pDebug->hide();
    setMinimumWidth(designWidth_);
    resize(std::max(widthBeforeDebug_, designWidth_), height());
  }
}

void TfMain::GenerateLanguageClick() {
#ifdef KAVRUNE_HAVE_LANGUAGE
  Language().ExportLanguageFile(QStringLiteral("Export.xml"));
#endif
}

// ---------------------------------------------------------------------------------- events

void TfMain::FormShow() { SetVersionCaption(QStringLiteral("kaVRUNE setup")); }

void TfMain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!captionRemembered_) {
    if (QScreen* screen = QApplication::primaryScreen()) {
      const QRect area = screen->availableGeometry();
      move(area.center() - rect().center());
    }
  }
  FormShow();
}

void TfMain::FormClose() {
  closing_ = true;
  if (!worker_.IsPortOpen()) return;
  exitPending_ = true;
  worker_.RequestWrite(RequestExit{});
  // The worker is told to stop right after the window is gone; give it the time to take the
  // device out of Setup Mode first, or the device would stay in its menu. A device that does
  // not answer keeps the window no longer than the limit.
  statusLine_->ShowStep(LangText("Step_Leaving", "Leaving Setup Mode…"));
  SetGlobalBusyCursor(true);
  QEventLoop wait;
  quitWait_ = &wait;
  QTimer::singleShot(QuitLimitMs, &wait, &QEventLoop::quit);
  if (exitPending_) wait.exec(QEventLoop::ExcludeUserInputEvents);
  quitWait_ = nullptr;
  SetGlobalBusyCursor(false);
}

void TfMain::closeEvent(QCloseEvent* event) {
  if (!closing_ && !MayDropEdits()) {
    event->ignore();
    return;
  }
  if (!closing_) RunCommand([&] { FormClose(); });
  // Its size for the next start; a folder that cannot be written only forgets it.
  QDir().mkpath(DefaultWorkingDirectory());
  WriteFileAtomically(Std(WindowSizeFile()), std::to_string(width()) + " " + std::to_string(height()) + "\n");
  event->accept();
}

void TfMain::Label65MouseMove() {
  const QString look = QStringLiteral("color: white; text-decoration: underline;");
  if (Label65->styleSheet() != look) Label65->setStyleSheet(look);
}

void TfMain::Label65MouseLeave() {
  Label65->setStyleSheet(QStringLiteral("color: %1; text-decoration: none;").arg(LinkColour.name()));
}

void TfMain::Label65Click() { QDesktopServices::openUrl(QUrl(QString::fromUtf8(KaVruneWebUrl))); }

bool TfMain::eventFilter(QObject* watched, QEvent* event) {
  if (ShowEditTip(watched, event)) return true;
  if (watched == Label65) {
    switch (event->type()) {
      case QEvent::Enter:
      case QEvent::MouseMove: Label65MouseMove(); break;
      case QEvent::Leave: Label65MouseLeave(); break;
      case QEvent::MouseButtonRelease: {
        // A click is the left button let go over the link, not a right click or a drag away.
        const auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton && Label65->rect().contains(me->position().toPoint())) Label65Click();
        break;
      }
      default: break;
    }
  }
  return QWidget::eventFilter(watched, event);
}
