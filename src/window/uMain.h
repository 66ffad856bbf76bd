#pragma once
// TfMain: the one working window. A banner, the menu column of shape buttons, the link strip and
// one page at a time; the device work goes to the worker, whose read documents come back here.

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>

#include "uDeviceWorker.h"
#include "uKaVruneApply.h"
#include "uKaVruneModel.h"
#include "uKaVruneNotAsked.h"
#include "uXmlUtils.h"

class QEventLoop;
class QFileDialog;
class QLocale;
class QLabel;
class QPushButton;
class QTabWidget;
class QTimer;
class TAfPortComboBox;
class TShapeEx;
class TShapeExColorSchema;
class TfAbout;
class TIntEdit;
class TIPAddress;
class TMyCustomNumEdit;
class TStatusLine;
class TTranscript;
class TTranscriptView;
class IAfMainThreadDispatcher;

class TNetworkPage;
class TServerPage;
class TServicesPage;
class TChannelPage;
class TWLANPage;
class TEmailPage;

namespace Ui {
class pConnection;
class pDebug;
}  // namespace Ui

// What a settings sheet says besides the settings: who made it, where, and when the read-back
// it is made of confirmed the unit's settings.
struct TSheetOptions {
  QString Operator, Station;  // empty: left out
  // Invalid: the window's own, when the pages show the read-back of a confirmed Apply unedited.
  QDateTime ConfirmedAt;
};

class TfMain final : public QWidget, public IKaVruneSink {
  Q_OBJECT
 public:
  // The worker must outlive the window. The dispatcher carries the worker's calls to the main
  // thread (nullptr: the process-wide one). languageDirectory: where "Language.xml" is looked
  // for; empty for the executable's directory.
  explicit TfMain(TDeviceWorker& worker, IAfMainThreadDispatcher* dispatcher = nullptr,
                  const QString& languageDirectory = QString());
  ~TfMain() override;

  // --- IKaVruneSink: every call arrives on the main thread
  void DeliverReadDocument(const TXmlElement& root) override;
  void ShowMessage(const std::string& text) override;
  void WorkerFailed(const std::string& error) override;
  void WriteFinished(const TWriteReport& report) override;
  void ReadFailed(TReadFailure kind, const std::string& reason) override;
  void ReadDamaged(const std::vector<std::string>& lines) override;
  void Progress(const TWorkProgress& progress) override;
  void WorkStopped(bool leftSetupMode) override;

  // --- window operations
  void ShowPage(QWidget* page);
  QWidget* PageForTag(int tag) const;
  // false: none (a command runs, or the unit is awaited); true: what the present state allows,
  // files and the pages shown without a port, the unit's commands with one.
  void EnableCommands(bool enable);
  void BeginBusy();
  void EndBusy();
  void LoadLanguage();
  // The language files looked for, in order: the locale's own (Language.de.xml) before
  // Language.xml, in directory or, when it is empty, beside the program and then in the
  // installed share/kavrune.
  static QStringList LanguageFileCandidates(const QString& directory, const QLocale& locale);
  void SetVersionCaption(const QString& pattern);
  // The caption a pattern gives with the initial caption and a version of four numbers;
  // version empty when the build's version cannot be read.
  static QString FormatVersionCaption(QString pattern, const QString& initialCaption, const std::vector<int>& version);
  // The build's version as four 16-bit numbers; empty when it is not such a version.
  static std::vector<int> GetProductVersion();

  // --- documents: the pages loaded from a read document; the pages' settings as a write document
  void LoadReadDocument(const TXmlElement& root);
  void BuildWriteDocument(const TXmlElement& root);

  TXmlElement CurrentReadDocument() const { return currentRead_; }
  // The settings the pages stand for, through the settings model.
  TDeviceSettings PagesSettings();
  // What the last Apply came to: "N settings written and confirmed", the settings the device
  // did not take, or that nothing differed.
  const std::vector<std::string>& LastApplyReport() const { return lastApplyReport_; }
  TShapeEx* CurrentPageButton() const { return currentPageButton_; }
  // The working copies (temp_load.xml, temp_save.xml) and the debug panel's files go to this
  // directory; unless set, to DefaultWorkingDirectory().
  void SetWorkingDirectory(const QString& dir) { workingDirectory_ = dir; }
  // How long the window waits for a unit before it names what to check (10 s).
  void SetWaitHintAfter(int ms) { waitHintAfterMs_ = ms; }
  // $XDG_STATE_HOME/kavrune, by default ~/.local/state/kavrune; on Windows %LOCALAPPDATA%\kavrune.
  static QString DefaultWorkingDirectory();
  // Where the port last opened is kept: the user's state folder, whatever the working directory.
  static QString LastPortFile();

  // --- event handlers; the buttons keep the object names the language files know them by
  // Any of the page buttons (seNetwork ... seEmail): shows its page.
  void PageButtonClick(QObject* Sender);
  void bOpenCloseClick();
  void seDisconnectClick();
  void AfPortComboBox1Change();
  void seApplySettingsClick();
  void seDefaultClick();
  void seReloadClick();
  // Stops the wait for the unit: what runs ends at its next answer or the end of its wait, the
  // unit leaves Setup Mode without storing where it can, and the port stays open.
  void seStopClick();
  void AboutClick();  // ShapeEx1
  void QuitClick();   // ShapeEx8
  void seTerminalClick();
  void GenerateLanguageClick();  // Button2: writes the window's texts as a language file
  void seLoadFromFileClick();
  void seSaveToFileClick();
  // "Print sheet...": the settings sheet of the pages as PDF, at a name the user chooses.
  void seSheetClick();
  void bDebugLoadClick();
  void bDebugSaveClick();
  void Button1Click();
  // Applies the backup kept before the last Apply that stored, through the same checked Apply,
  // once the unit on the port is known to be the one it was kept of (uMainUndo.cpp).
  void seUndoApplyClick();
  // The checked Apply of what the pages hold; undoOf: the time of the Apply it takes back.
  void ApplyPages(const QString& undoOf);

  // --- setup files: what the two file commands do with the chosen name
  void SaveSetupFile(const QString& fileName);
  // tell: a box names what the file keeps and a restore does not write.
  void LoadSetupFile(const QString& fileName, bool tell = true);
  // The settings sheet of what the pages show; source: where the settings came from, for its
  // head. Written as PDF, or as text when the name ends in ".txt" (uMainSheet.cpp). Edits not
  // applied are marked line by line; the read-back of a confirmed Apply is stamped as left.
  void WriteSettingsSheet(const QString& fileName, const QString& source, const TSheetOptions& options = {});
  static void ConfigureOpenDialog(QFileDialog& dialog);
  void ConfigureSaveDialog(QFileDialog& dialog) const;
  // Print sheet's dialog, with the operator and station last given (remembered in the state
  // folder); TakeSheetDialog reads them and remembers them for the next sheet.
  void ConfigureSheetDialog(QFileDialog& dialog) const;
  static TSheetOptions TakeSheetDialog(const QFileDialog& dialog);
  // When the read-back of the last Apply confirmed every setting, while the pages show it
  // unedited; invalid otherwise.
  QDateTime AsLeftTime();
  // The unit the pages stand for: the one on the port once it is read; without it, the one the
  // pages' document names (a file's, or the last read's).
  TDeviceIdentity PagesUnit() const;
  // The file shown without a unit, with the edits made on the pages.
  TDeviceSettings DeskSettings();
  // The pages show wanted over a read document: what differs counts as edits.
  void LoadPagesOver(const TXmlElement& read, const TDeviceSettings& wanted);

  // --- the frame and the pages
  QWidget* pTop = nullptr;
  QWidget* pLeft = nullptr;
  QWidget* pBottom = nullptr;
  QLabel* Label65 = nullptr;

  QWidget* pConnection = nullptr;
  TNetworkPage* pNetwork = nullptr;
  TServerPage* pServer = nullptr;
  TServicesPage* pServices = nullptr;
  TChannelPage* pcChannel1 = nullptr;
  TWLANPage* pWLAN = nullptr;
  TEmailPage* pEmail = nullptr;
  QWidget* pDebug = nullptr;

  TShapeExColorSchema* secsMenu = nullptr;
  TShapeExColorSchema* secsUtility = nullptr;
  TShapeExColorSchema* secsWarning = nullptr;
  TShapeExColorSchema* secsGreen = nullptr;

  TShapeEx* seNetwork = nullptr;
  TShapeEx* seServer = nullptr;
  TShapeEx* seServices = nullptr;
  TShapeEx* seChannel1 = nullptr;
  TShapeEx* seChannel2 = nullptr;
  TShapeEx* seWLAN = nullptr;
  TShapeEx* seEmail = nullptr;
  TShapeEx* seApplySettings = nullptr;
  TShapeEx* seDefault = nullptr;
  TShapeEx* seReload = nullptr;
  TShapeEx* seStop = nullptr;  // offered while the window waits for the unit
  TShapeEx* seDisconnect = nullptr;
  TShapeEx* ShapeEx1 = nullptr;  // "About"
  TShapeEx* ShapeEx8 = nullptr;  // "Quit"
  TShapeEx* seLoadFromFile = nullptr;
  TShapeEx* seSaveToFile = nullptr;
  TShapeEx* seSheet = nullptr;
  TShapeEx* seTerminal = nullptr;
  QPushButton* Button2 = nullptr;   // "Generate Language"
  TShapeEx* seUndoApply = nullptr;  // "Undo Apply 19:52": enabled once an Apply stored

  TfAbout* About() const { return about_; }
  // The port's state, the step under way and what the last read or write came to (uMainStatus.cpp).
  TStatusLine* StatusLine() const { return statusLine_; }
  TShapeEx* seTranscript = nullptr;
  void seTranscriptClick();
  TTranscriptView* TranscriptView() const { return transcriptView_; }
  // The transcript of the serial dialogue: one masked plain-text file in the working directory,
  // begun when a port is first opened.
  QString TranscriptPath() const;

  // The forms of the connection and debug panels, which hold commands rather than settings.
  std::unique_ptr<Ui::pConnection> uiConnection;
  std::unique_ptr<Ui::pDebug> uiDebug;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  void FormShow();
  void FormClose();
  void BuildFrame();
  void BuildMenu();
  void BuildPages();
  TShapeEx* MenuButton(const char* name, int x, int y, const QString& caption, TShapeExColorSchema* schema,
                       int tag = 0);
  // Stacks the menu column's groups top down, a gap between groups, hidden buttons taking no
  // room, Tab following the column; the status block takes the rest above Transcript. A new
  // command joins a group of menuGroups_ in BuildMenu.
  void LayOutMenu();
  // The frame around the pages at the window's size: banner and foot across it, the menu column
  // down it, Transcript at its foot; the pages keep their place and size, the status block takes
  // the height the window has grown by. The size is kept for the next start (WindowSizeFile).
  void LayOutFrame();
  static QString WindowSizeFile();
  int designWidth_ = 0;       // the window's least size: the pages' and the menu column's
  int widthBeforeDebug_ = 0;  // the width to go back to when the debug panel closes
  QList<QList<TShapeEx*>> menuGroups_;
  // The commands' keys (Apply, Reload, Stop, Save, Print sheet, Transcript), each named in its
  // button's tool tip; a key does what a click does, only while its button is offered.
  void BindKeys();
  void SetStepColours(bool open);
  void Label65MouseMove();
  void Label65MouseLeave();
  void Label65Click();
  QString WorkingFile(const QString& name) const;
  // Saves a working copy; a failure is returned as the message to show, never raised, so the
  // read or the apply that made the copy goes on.
  QString SaveWorkingCopy(const TXmlDocument& doc, const QString& name) const;
  // The channel a page button stands for: 1, 2, or 0 for the other pages.
  int ChannelOf(const QObject* button) const;
  void BuildStatus();
  void ShowPortState();
  void StartTranscript();  // with the port lock held: the worker traces under it
  // checked: the read was to check the changes stored without a check.
  void ShowReadOutcome(const TXmlElement& root, bool checked = false);
  // --- backups (uMainUndo.cpp)
  // Keeps what the device showed last as its backup; false, after saying why, when it cannot be
  // kept: the Apply must not be sent then.
  bool KeepBackupBeforeApply(TCheckedApply& apply);
  // The verdict on the Apply under way: nothing stored, stored and read again (after), or stored
  // and not read again. An Apply that stored is offered for undo.
  TApplyVerdict FinishApply(bool stored, const TDeviceSettings* after = nullptr);
  void OfferUndo(const TBackupEntry& backup);
  // The unit stored the Apply but was not read again: its changes count as stored, not as edits,
  // until a read checks them.
  void KeepStoredNotChecked(const TCheckedApply& apply);
  static QString UndoneText(const TSettingChanges& changes, const QString& time);
  // "MTU size 1200 → 1400, ARP cache timeout 300 → 600"; of many, the first few and how many more.
  static QString ChangesText(const TSettingChanges& changes);
  // --- edits (uMainEdits.cpp)
  QList<QWidget*> Pages() const;
  QList<TMyCustomNumEdit*> NumberEdits() const;
  QList<TIPAddress*> AddressEdits() const;
  void WatchEdits();
  void ShowEditState();
  // The controls of a page that hold a setting: edits, lists, check and radio boxes, addresses.
  QList<QWidget*> SettingControls(QWidget* page) const;
  // What a control shows, to compare (Key) and to name in its tool tip (Words).
  struct TShownValue {
    QString Key, Words;
  };
  static TShownValue ShownValue(const QWidget* control);
  const TShownValue* Baseline(const QWidget* control) const;
  // The controls as the device's last read left them: each channel's on its own.
  void TakeEditBaseline();
  void DropEditBaseline();
  // Frames the controls that differ from the device, flags their pages' buttons and counts the
  // changes in the status block.
  void ShowEditMarks();
  // The pages' settings without settling the number being typed, which would change it under the
  // user's fingers.
  TDeviceSettings PagesSettings(bool settleTyping);
  // Edits, a loaded file's values or unstored factory values would be lost, or changes stored
  // without a check would stay unchecked: asks, and says whether to go on. reading: a read
  // follows, which checks those changes.
  bool MayDropEdits(bool reading = false);
  // What the pages hold that the device does not, counted once each: the settings that differ and
  // the numbers or addresses typed that are no value (the status block's and the questions' count).
  int EditCount() const;
  // The numbers typed outside their range and the addresses that are none.
  QList<const QWidget*> FaultyControls() const;
  // The pages from settings, every control's edit mark shown once afterwards.
  void LoadPages(const TDeviceSettings& settings);
  // A marked control's tool tip, with the device's value; true when it was shown.
  bool ShowEditTip(QObject* watched, QEvent* event);

 public:
  // One line per number typed outside its range ("MTU Size: allowed: 512 to 1400") and per
  // address that is none; an Apply sends nothing while there is one.
  QStringList RangeFaults() const;
  // The settings the pages hold that differ from the device's last read: what an Apply writes.
  int PendingChanges();
  // Whether the control is marked as holding an edit, and the tool tip it then shows (its own
  // hint with the device's value); empty when it holds none.
  bool IsEdited(const QWidget* control) const { return edited_.contains(control); }
  QString EditTip(const QWidget* control) const;
  // The longest Quit waits for the device to leave Setup Mode before the window goes anyway.
  static constexpr int QuitLimitMs = 1500;

 private:
  TDeviceWorker& worker_;
  TfAbout* about_ = nullptr;
  QString languageDirectory_;
  QString workingDirectory_;
  QString initialCaption_;
  bool captionRemembered_ = false;
  TShapeEx* currentPageButton_ = nullptr;
  TXmlElement currentRead_;
  PXmlDocument XMLDocument1;  // the seed "<xml/>"
  PXmlDocument XMLSave;       // the write document handed to the worker
  // The pages' settings right after the device's last read: an Apply sends only what differs
  // from them, so a control the user did not touch never changes the device.
  std::optional<TDeviceSettings> shown_;
  std::optional<TCheckedApply> apply_;  // the Apply under way, until its verdict
  TSettingKeys applyNotAsked_;          // of its settings, the ones the device never asked for
  std::vector<std::string> lastApplyReport_;
  TXmlElement asLeftRead_;                     // the read-back of the last Apply that every setting was confirmed by
  QDateTime asLeftAt_;                         // and when it came
  std::optional<TBackupEntry> undoOffer_;      // of the last Apply that stored
  bool deskFile_ = false;                      // the pages show a file loaded without a unit
  QString deskFileName_;                       // that file
  std::optional<TDeviceSettings> deskWanted_;  // that file with its edits, for the unit being opened
  QString undoing_;                            // the time of the Apply the Apply under way undoes; empty for any other
  TXmlElement beforeDefaults_;                 // the device's read before Defaults showed the factory values
  bool exitPending_ = false;
  TStatusLine* statusLine_ = nullptr;
  std::shared_ptr<TTranscript> transcript_;  // shared with the port's trace, which the worker outlives us with
  TTranscriptView* transcriptView_ = nullptr;
  bool deviceAnswered_ = false;       // since the port opened
  QElapsedTimer waitClock_;           // since the wait for the unit began
  QTimer* waitTick_ = nullptr;        // shows that wait every second
  int waitHintAfterMs_ = 10000;       // when the cable hint joins it
  bool defaultsShown_ = false;        // the pages show factory values the device has not stored
  bool fileShown_ = false;            // the pages show a loaded file's values over the device's
  TSettingChanges storedNotChecked_;  // stored by an Apply that no read has checked yet
  bool closing_ = false;
  bool reloadAfterExit_ = false;
  bool stopping_ = false;      // Stop was clicked and the worker has not said it stopped
  bool waiting_ = false;       // the window waits for the unit on the port
  bool stoppedApply_ = false;  // and an Apply was under way, its verdict not yet given
  bool portClosing_ = false;   // Disconnect waits for the worker to stop before the port closes
  // Where the keyboard was when a command went busy: disabling the commands moves it away.
  QPointer<QWidget> focusBeforeBusy_;  // a Reload left Setup Mode to drop unstored factory values
  QEventLoop* quitWait_ = nullptr;     // while Quit waits for the device to leave Setup Mode
  // --- edits
  QHash<const QWidget*, TShownValue> baseline_;                        // the controls of every page but the channels'
  std::array<QHash<const QWidget*, TShownValue>, 3> channelBaseline_;  // [n]: channel n's
  QSet<const QWidget*> edited_;
  QHash<const QWidget*, QWidget*> editFrames_;
  int marksHeld_ = 0;  // while the pages load or switch, marks wait for the end
  int pendingChanges_ = 0;
};
