#pragma once
// TfMain: the one working window. A banner, the menu column of shape buttons, the link strip and
// one page at a time; the device work goes to the worker, whose read documents come back here.

#include <QWidget>
#include <memory>

#include "uKaVruneAI.h"
#include "uXmlUtils.h"

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

  // --- window operations
  void ShowPage(QWidget* page);
  QWidget* PageForTag(int tag) const;
  void EnableCommands(bool enable);
  void BeginBusy();
  void EndBusy();
  void ResetChannelControls();
  void LoadLanguage();
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
  TShapeEx* CurrentPageButton() const { return currentPageButton_; }
  // The working copies go to this directory (the current one unless set).
  void SetWorkingDirectory(const QString& dir) { workingDirectory_ = dir; }

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
  void SetWriteRequest(const char* text);
  void Label65MouseMove();
  void Label65MouseLeave();
  void Label65Click();

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
  bool exitPending_ = false;
  bool closing_ = false;
};
