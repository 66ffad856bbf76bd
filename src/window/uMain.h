#pragma once
// TfMain: the one working window. A banner, the menu column of shape buttons, the link strip and
// one page at a time; the device work goes to the worker, whose read documents come back here.

#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "uKaVruneAI.h"
#include "uKaVruneModel.h"
#include "uXmlUtils.h"

class QFileDialog;
class QLocale;
class QLabel;
class QPushButton;
class QTabWidget;
class TAfPortComboBox;
class TShapeEx;
class TShapeExColorSchema;
class TfAbout;
class IAfMainThreadDispatcher;

namespace Ui {
class pConnection;
class pNetwork;
class pServer;
class pServices;
class pcChannel1;
class pWLAN;
class pEmail;
class pDebug;
}  // namespace Ui

class TfMain final : public QWidget, public IKaVruneSink {
  Q_OBJECT
 public:
  // The worker must outlive the window. The dispatcher carries the worker's calls to the main
  // thread (nullptr: the process-wide one). languageDirectory: where "Language.xml" is looked
  // for; empty for the executable's directory.
  explicit TfMain(TKaVruneAI& worker, IAfMainThreadDispatcher* dispatcher = nullptr,
                  const QString& languageDirectory = QString());
  ~TfMain() override;

  // --- IKaVruneSink: every call arrives on the main thread
  void DeliverReadDocument(const TXmlElement& root) override;
  void ShowMessage(const std::string& text) override;
  void WriteFinished(const TWriteReport& report) override;
  void ReadFailed(const std::string& reason) override;
  void ReadDamaged(const std::vector<std::string>& lines) override;

  // --- window operations
  void ShowPage(QWidget* page);
  QWidget* PageForTag(int tag) const;
  void EnableCommands(bool enable);
  void BeginBusy();
  void EndBusy();
  void ResetChannelControls();
  void LoadLanguage();
  // The language files looked for, in order: the locale's own (Language.de.xml) before
  // Language.xml, in directory or, when it is empty, beside the program and then in the
  // installed share/kavrune.
  static QStringList LanguageFileCandidates(const QString& directory, const QLocale& locale);
  void SetVersionCaption(const QString& pattern);
  // The caption a pattern gives with the initial caption and a version of four numbers;
  // version empty when the build's version cannot be read.
  static QString FormatVersionCaption(QString pattern, const QString& initialCaption,
                                      const std::vector<int>& version);
  // The build's version as four 16-bit numbers; empty when it is not such a version.
  static std::vector<int> GetProductVersion();

  // --- documents; the page loaders and the write builder fill these in
  void LoadReadDocument(const TXmlElement& root);
  void BuildWriteDocument(const TXmlElement& root);
  void LoadChannel(const TXmlElement& channel);
  void StoreChannel(const TXmlElement& channel);

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
  // $XDG_STATE_HOME/kavrune, by default ~/.local/state/kavrune.
  static QString DefaultWorkingDirectory();

  // --- event handlers
  void seNetworkClick(QObject* Sender);
  void bOpenCloseClick();
  void seDisconnectClick();
  void AfPortComboBox1Change();
  void seApplySettingsClick();
  void seDefaultClick();
  void seReloadClick();
  void ShapeEx1Click();
  void ShapeEx8Click();
  void seTerminalClick();
  void Button2Click();
  void seLoadFromFileClick();
  void seSaveToFileClick();
  void bDebugLoadClick();
  void bDebugSaveClick();
  void Button1Click();

  // --- setup files: what the two file commands do with the chosen name
  void SaveSetupFile(const QString& fileName);
  void LoadSetupFile(const QString& fileName);
  static void ConfigureOpenDialog(QFileDialog& dialog);
  static void ConfigureSaveDialog(QFileDialog& dialog);

  // --- rules of the Network, Server and Services pages
  void cbNetworkModeChange(QObject* Sender);
  void rbStaticIPClick(QObject* Sender);
  void cbNetworkAutoNegotiateClick(QObject* Sender);
  void cbSNMPClick(QObject* Sender);
  void cbEncryptionClick(QObject* Sender);
  void eServicesKeyChange(QObject* Sender);
  void cbEnhancedPasswordClick(QObject* Sender);
  void chbServicesChangePassClick(QObject* Sender);
  void eServicesPasswordChange(QObject* Sender);
  void chbServerTelnetPasswordClick(QObject* Sender);
  void eServerTelnetPassChange(QObject* Sender);
  // --- rules of the channel and WLAN pages
  void cbChannel1LineModeChange(QObject* Sender);
  void cbChannel1BaudrateChange(QObject* Sender);
  void eChannel1PCMatchByte1Change(QObject* Sender);
  void cbChannel1ConnectionTypeChange(QObject* Sender);
  void cbChannel1ConnectionModemModeChange(QObject* Sender);
  void cbChannel1ConnectionActiveConnectChange(QObject* Sender);
  void cbChannel1ConnectionPasswordRequiredClick(QObject* Sender);
  void cbChannel1ConnectionComPortCntrlClick(QObject* Sender);
  void cbChannel1ConnectionUDPDatagramTypeChange(QObject* Sender);
  void chbChannel1ConnectionUDPUseBroadcastClick(QObject* Sender);
  void cbWLANNetworkTypeChange(QObject* Sender);
  void cbWLANSecurityChange(QObject* Sender);
  void chbWLANChangeKeyClick(QObject* Sender);
  void meWLANKeyChange(QObject* Sender);

  // --- codecs between control groups and the device's numbers and bytes
  int GetNetworkSpeedDuplex() const;
  void SetNetworkSpeedDuplex(int t);
  int GetIPConfigFlags() const;
  void SetIPConfigFlags(int f);
  uint8_t GetFlushMode() const;
  void SetFlushMode(uint8_t b);
  uint8_t GetPackControl() const;
  void SetPackControl(uint8_t b);
  uint8_t GetConnectMode() const;
  void SetConnectMode(uint8_t b);
  uint8_t GetDisconnectMode() const;
  void SetDisconnectMode(uint8_t b);
  int GetUDPDeviceAddress(int i) const;
  void SetUDPDeviceAddress(int i, int b);
  int GetWLANKeyBits() const;

  // --- the frame, for the loaders and rules that work on it
  QWidget* pTop = nullptr;
  QWidget* pLeft = nullptr;
  QWidget* pBottom = nullptr;
  QLabel* Label65 = nullptr;

  QWidget* pConnection = nullptr;
  QWidget* pNetwork = nullptr;
  QWidget* pServer = nullptr;
  QWidget* pServices = nullptr;
  QTabWidget* pcChannel1 = nullptr;
  QWidget* pWLAN = nullptr;
  QWidget* pEmail = nullptr;
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
  TShapeEx* seDisconnect = nullptr;
  TShapeEx* ShapeEx1 = nullptr;  // "About"
  TShapeEx* ShapeEx8 = nullptr;  // "Quit"
  TShapeEx* seLoadFromFile = nullptr;
  TShapeEx* seSaveToFile = nullptr;
  TShapeEx* seTerminal = nullptr;
  QPushButton* Button2 = nullptr;  // "Generate Language"

  TfAbout* About() const { return about_; }

  // The generated forms of the pages; their widgets belong to the pages.
  std::unique_ptr<Ui::pConnection> uiConnection;
  std::unique_ptr<Ui::pNetwork> uiNetwork;
  std::unique_ptr<Ui::pServer> uiServer;
  std::unique_ptr<Ui::pServices> uiServices;
  std::unique_ptr<Ui::pcChannel1> uiChannel1;
  std::unique_ptr<Ui::pWLAN> uiWLAN;
  std::unique_ptr<Ui::pEmail> uiEmail;
  std::unique_ptr<Ui::pDebug> uiDebug;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
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
  void SetStepColours(bool open);
  void Label65MouseMove();
  void Label65MouseLeave();
  void Label65Click();
  void ConnectRules();
  void LoadNetwork(const TXmlElement& section);
  void LoadServices(const TXmlElement& section);
  void LoadExpert(const TXmlElement& section);
  void LoadEmail(const TXmlElement& section);
  void LoadWLAN(const TXmlElement& section);
  void LoadChannelTCP(const TXmlElement& section);
  void LoadChannelUDP(const TXmlElement& section);
  void BuildNetwork(const TXmlElement& section);
  void BuildServices(const TXmlElement& section);
  void BuildExpert(const TXmlElement& section);
  void BuildEmail(const TXmlElement& section);
  void BuildWLAN(const TXmlElement& section);
  void StoreChannelTCP(const TXmlElement& section);
  void StoreChannelUDP(const TXmlElement& section);
  QString WorkingFile(const QString& name) const;
  // Saves a working copy; a failure is returned as the message to show, never raised, so the
  // read or the apply that made the copy goes on.
  QString SaveWorkingCopy(const TXmlDocument& doc, const QString& name) const;
  QWidget* UDPDeviceAddressEntry(int i) const;

  TKaVruneAI& worker_;
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
  TSettingChanges applyChecked_;  // written by the Apply whose re-read is awaited
  bool applyCheckPending_ = false;
  std::vector<std::string> lastApplyReport_;
  bool exitPending_ = false;
  bool closing_ = false;
  QString FServicesKeyText;  // the last key text that held hexadecimal digits only
};
