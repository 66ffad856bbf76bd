// The window's frame, its menu of shape buttons and its pages, built once at creation.

#include "uMain.h"
#include "uMainPrivate.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTabWidget>
#include <QUrl>

#include "AfPortControls.h"
#include "ComCtrlsAdds.h"
#include "ShapeEx.h"
#include "uContacts.h"
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

namespace {

const QColor FrameBlue(0x00, 0x7C, 0xC3);
const QColor MenuColour(0xE1, 0xDF, 0xFF);

void FillPanel(QWidget* w, const QColor& colour) {
  QPalette p = w->palette();
  p.setColor(QPalette::Window, colour);
  w->setPalette(p);
  w->setAutoFillBackground(true);
}

QWidget* OrangeRule(QWidget* parent, int y, int width) {
  auto* rule = new QFrame(parent);
  rule->setGeometry(0, y, width, 3);
  rule->setStyleSheet(QStringLiteral("QFrame { background-color: #FF8000; border: 1px solid #FFCB97; }"));
  return rule;
}

// The banner picture: the product's waves over the frame's blue.
QPixmap BannerPicture(const QString& subtitle) {
  QPixmap pm(217, 120);
  pm.fill(FrameBlue);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  for (int i = 0; i < 4; ++i) {
    QPainterPath wave;
    const int base = 62 + i * 12;
    wave.moveTo(0, base);
    wave.cubicTo(60, base - 26 + i * 3, 130, base + 24 - i * 2, 217, base - 8);
    p.setPen(QPen(QColor(255, 255, 255, 150 - i * 30), 3 - i * 0.5));
    p.drawPath(wave);
  }
  QFont f(QStringLiteral("Arial"));
  f.setPixelSize(13);
  f.setItalic(true);
  p.setFont(f);
  p.setPen(QColor(255, 255, 255, 220));
  p.drawText(QRect(39, 38, 170, 18), Qt::AlignLeft | Qt::AlignVCenter, subtitle);
  return pm;
}

void Schema(TShapeExColorSchema* s, QColor defaultBorder, QColor overUpFill, QColor overUpBorder, QColor overDownFill,
            QColor overDownBorder, QColor downFill, QColor downBorder) {
  const QColor text = Qt::black;
  s->DefaultColorStyle()->SetColors(Qt::white, defaultBorder, text);
  s->MouseOverUpColorStyle()->SetColors(overUpFill, overUpBorder, text);
  s->MouseOverDownColorStyle()->SetColors(overDownFill, overDownBorder, text);
  s->DownColorStyle()->SetColors(downFill, downBorder, text);
  s->PressedUpColorStyle()->SetColors(Qt::white, defaultBorder, text);
  s->PressedDownColorStyle()->SetColors(downFill, downBorder, text);
  s->DisabledColorStyle()->SetColors(MenuColour, QColor(0xC0, 0xC0, 0xC0), QColor(0x80, 0x80, 0x80));
  s->SetMouseOverEnabled(true);
  s->SetPressedEnabled(false);
}

}  // namespace

TfMain::TfMain(TDeviceWorker& worker, IAfMainThreadDispatcher* dispatcher, const QString& languageDirectory)
    : QWidget(nullptr), worker_(worker), languageDirectory_(languageDirectory) {
  setObjectName(QStringLiteral("fMain"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setWindowTitle(QStringLiteral("kaVRUNE setup v.x.y"));
  QFont f(QStringLiteral("Arial"));
  f.setPixelSize(11);
  setFont(f);
  FillPanel(this, MenuColour);
  XMLDocument1 = TXmlDocument::CreateFromText("<xml/>");
  XMLSave = TXmlDocument::CreateFromText("<xml/>");
  worker_.SetSink(this, dispatcher);
  FormCreate();
}

TfMain::~TfMain() {
  worker_.SetSink(nullptr);
  SetGlobalBusyCursor(false);
}

// ---------------------------------------------------------------------------------- building

void TfMain::BuildFrame() {
  pTop = new QWidget(this);
  pTop->setObjectName(QStringLiteral("pTop"));
  FillPanel(pTop, FrameBlue);
  auto* banner = new QLabel(pTop);
  banner->setObjectName(QStringLiteral("Image1"));
  banner->setGeometry(0, 0, 217, 120);
  auto* title = new QLabel(QStringLiteral("kaVRUNE"), pTop);
  title->setObjectName(QStringLiteral("Label1"));
  QFont tf(QStringLiteral("Arial"));
  tf.setPixelSize(19);
  title->setFont(tf);
  // White on the frame's blue: the dark green the banner once had could hardly be read.
  title->setStyleSheet(QStringLiteral("color: white;"));
  title->setGeometry(39, 11, 120, 24);
  OrangeRule(pTop, 120, 0)->setObjectName(QStringLiteral("Shape1"));

  pLeft = new QWidget(this);
  pLeft->setObjectName(QStringLiteral("pLeft"));
  FillPanel(pLeft, MenuColour);

  pBottom = new QWidget(this);
  pBottom->setObjectName(QStringLiteral("pBottom"));
  FillPanel(pBottom, FrameBlue);
  OrangeRule(pBottom, 0, 0)->setObjectName(QStringLiteral("Shape2"));
  Label65 = new QLabel(pBottom);
  Label65->setObjectName(QStringLiteral("Label65"));
  Label65->setText(QStringLiteral("kaVRUNE configuration software from ") + QString::fromUtf8(KaVruneWebAddress));
  Label65->setAlignment(Qt::AlignCenter);
  Label65->setCursor(Qt::PointingHandCursor);
  Label65->setMouseTracking(true);
  Label65->installEventFilter(this);
  Label65MouseLeave();
}

TShapeEx* TfMain::MenuButton(const char* name, int x, int y, const QString& caption, TShapeExColorSchema* schema,
                             int tag) {
  auto* b = new TShapeEx(pLeft);
  b->setObjectName(QString::fromUtf8(name));
  b->setGeometry(x, y, 127, 21);
  b->SetCaption(caption);
  b->SetColorSchema(schema);
  b->SetBrushColor(MenuColour);
  b->SetPenColor(QColor(0xC0, 0xC0, 0xC0));
  b->setProperty("Tag", tag);
  QFont f(QStringLiteral("Arial"));
  f.setPixelSize(12);
  f.setBold(true);
  b->setFont(f);
  b->setEnabled(false);
  // The menu works from the keyboard too: Tab walks the column top down, Space or Enter clicks.
  b->setFocusPolicy(Qt::StrongFocus);
  return b;
}

void TfMain::BuildMenu() {
  secsMenu = new TShapeExColorSchema(this);
  secsMenu->setObjectName(QStringLiteral("secsMenu"));
  Schema(secsMenu, QColor(0x70, 0x70, 0x90), QColor(0xE0, 0xE0, 0xFF), QColor(0x00, 0x00, 0xA0),
         QColor(0xC0, 0xC0, 0xFF), QColor(0x00, 0x00, 0xA0), QColor(0xC0, 0xC0, 0xFF), QColor(0x00, 0x00, 0x80));
  secsUtility = new TShapeExColorSchema(this);
  secsUtility->setObjectName(QStringLiteral("secsUtility"));
  Schema(secsUtility, QColor(0x80, 0x80, 0x80), QColor(0xFF, 0xFF, 0x9B), QColor(0x91, 0x91, 0x00), Qt::white,
         Qt::black, Qt::white, Qt::black);
  secsWarning = new TShapeExColorSchema(this);
  secsWarning->setObjectName(QStringLiteral("secsWarning"));
  Schema(secsWarning, QColor(0x90, 0x90, 0x70), QColor(0xFF, 0xE0, 0xE0), QColor(0xA0, 0x00, 0x00), Qt::white,
         Qt::black, QColor(0xFF, 0xC0, 0xC0), QColor(0x80, 0x00, 0x00));
  secsGreen = new TShapeExColorSchema(this);
  secsGreen->setObjectName(QStringLiteral("secsGreen"));
  Schema(secsGreen, QColor(0x70, 0x90, 0x90), QColor(0xE0, 0xFF, 0xE0), QColor(0x00, 0xA0, 0x00), Qt::white, Qt::black,
         QColor(0xC0, 0xFF, 0xC0), QColor(0x00, 0x80, 0x00));

  seNetwork = MenuButton("seNetwork", 16, 16, QStringLiteral("Network"), secsMenu, 0);
  seServer = MenuButton("seServer", 16, 40, QStringLiteral("Server"), secsMenu, 1);
  seServices = MenuButton("seServices", 16, 64, QStringLiteral("Services"), secsMenu, 2);
  seChannel1 = MenuButton("seChannel1", 16, 88, QStringLiteral("Channel 1"), secsMenu, 3);
  seChannel2 = MenuButton("seChannel2", 16, 112, QStringLiteral("Channel 2"), secsMenu, 4);
  seWLAN = MenuButton("seWLAN", 16, 136, QStringLiteral("WLAN"), secsMenu, 5);
  seEmail = MenuButton("seEmail", 24, 160, QStringLiteral("Email"), secsMenu, 6);
  seEmail->hide();
  for (TShapeEx* b : {seNetwork, seServer, seServices, seChannel1, seChannel2, seWLAN, seEmail}) {
    // Page buttons behave like radio buttons: the page shown stays pressed.
    b->SetGroup(1);
    b->SetAllowDown(true);
    b->SetAllowUp(false);
    connect(b, &TShapeEx::OnClick, this, [this](QObject* s) { RunCommand([&] { PageButtonClick(s); }); });
  }
  seApplySettings = MenuButton("seApplySettings", 16, 184, QStringLiteral("Apply Settings"), secsGreen);
  seDefault = MenuButton("seDefault", 16, 208, QStringLiteral("Defaults"), secsUtility);
  seReload = MenuButton("seReload", 16, 232, QStringLiteral("Reload from device"), secsUtility);
  seDisconnect = MenuButton("seDisconnect", 16, 256, QStringLiteral("Disconnect"), secsWarning);
  seStop = MenuButton("seStop", 16, 280, QStringLiteral("Stop"), secsWarning);
  // A place of its own: a click meant for Stop, or for whatever stood there a moment before, never
  // lands on Undo. Enabled once an Apply stored.
  seUndoApply = MenuButton("seUndoApply", 16, 304, QStringLiteral("Undo Apply"), secsUtility);
  ShapeEx1 = MenuButton("ShapeEx1", 16, 304, QStringLiteral("About"), secsUtility);
  ShapeEx1->setEnabled(true);
  ShapeEx1->SetBrushColor(QColor(0xFF, 0xFF, 0x9B));
  ShapeEx1->SetPenColor(QColor(0x91, 0x91, 0x00));
  ShapeEx8 = MenuButton("ShapeEx8", 16, 328, QStringLiteral("Quit"), secsWarning);
  ShapeEx8->setEnabled(true);
  ShapeEx8->SetBrushColor(QColor(0xFF, 0xE0, 0xE0));
  ShapeEx8->SetPenColor(QColor(0xA0, 0x00, 0x00));
  // Setup files are whole backups in the read form, so the window offers them.
  seLoadFromFile = MenuButton("seLoadFromFile", 16, 352, QStringLiteral("Load from file"), secsUtility);
  seSaveToFile = MenuButton("seSaveToFile", 16, 376, QStringLiteral("Save to file"), secsUtility);
  seSheet = MenuButton("seSheet", 16, 400, QStringLiteral("Print sheet..."), secsUtility);
  seTerminal = MenuButton("seTerminal", 16, 424, QStringLiteral("Terminal"), secsUtility);
  seTerminal->hide();
  menuGroups_ = {
      {seNetwork, seServer, seServices, seChannel1, seChannel2, seWLAN, seEmail},
      {seApplySettings, seDefault, seReload, seLoadFromFile, seSaveToFile, seSheet, seDisconnect, seStop, seUndoApply},
      {ShapeEx1, ShapeEx8}};
  Button2 = new QPushButton(QStringLiteral("Generate Language"), pLeft);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setGeometry(16, 432, 129, 25);
  Button2->hide();

  auto bind = [this](TShapeEx* b, void (TfMain::*handler)()) {
    connect(b, &TShapeEx::OnClick, this, [this, handler] { RunCommand([&] { (this->*handler)(); }); });
  };
  bind(seApplySettings, &TfMain::seApplySettingsClick);
  bind(seDefault, &TfMain::seDefaultClick);
  bind(seReload, &TfMain::seReloadClick);
  bind(seStop, &TfMain::seStopClick);
  bind(seUndoApply, &TfMain::seUndoApplyClick);
  bind(seDisconnect, &TfMain::seDisconnectClick);
  bind(ShapeEx1, &TfMain::AboutClick);
  bind(ShapeEx8, &TfMain::QuitClick);
  bind(seTerminal, &TfMain::seTerminalClick);
  bind(seLoadFromFile, &TfMain::seLoadFromFileClick);
  bind(seSaveToFile, &TfMain::seSaveToFileClick);
  bind(seSheet, &TfMain::seSheetClick);
  connect(Button2, &QPushButton::clicked, this, [this] { RunCommand([&] { GenerateLanguageClick(); }); });
}

void TfMain::BuildPages() {
  pConnection = new QWidget(this);
  uiConnection = std::make_unique<Ui::pConnection>();
  uiConnection->setupUi(pConnection);
  pNetwork = new TNetworkPage(this);
  pServer = new TServerPage(this);
  pServices = new TServicesPage(this);
  pcChannel1 = new TChannelPage(this, *pServer);
  pWLAN = new TWLANPage(this);
  pNetwork->SetWLANPage(pWLAN);
  pEmail = new TEmailPage(this);
  pDebug = new QWidget(this);
  uiDebug = std::make_unique<Ui::pDebug>();
  uiDebug->setupUi(pDebug);
  pDebug->hide();
  pcChannel1->resize(pConnection->size());

  TAfPortComboBox* picker = uiConnection->AfPortComboBox1;
  picker->SetMaxComPorts(255);
  picker->SetOptions(TAfPortComboBox::pcCheckExist | TAfPortComboBox::pcDisableOpen | TAfPortComboBox::pcHighlightOpen |
                     TAfPortComboBox::pcListHeld);
  connect(picker, &TAfPortComboBox::OnChange, this, [this] { RunCommand([&] { AfPortComboBox1Change(); }); });
  connect(uiConnection->bOpenClose, &QPushButton::clicked, this, [this] { RunCommand([&] { bOpenCloseClick(); }); });
  SetStepColours(false);
  connect(uiDebug->bDebugLoad, &QPushButton::clicked, this, [this] { RunCommand([&] { bDebugLoadClick(); }); });
  connect(uiDebug->bDebugSave, &QPushButton::clicked, this, [this] { RunCommand([&] { bDebugSaveClick(); }); });
  connect(uiDebug->Button1, &QPushButton::clicked, this, [this] { RunCommand([&] { Button1Click(); }); });
}

void TfMain::FormCreate() {
  about_ = new TfAbout(QStringLiteral("kaVRUNE"), QStringLiteral("kaVRUNE"), this);
  BuildFrame();
  BuildMenu();
  BuildPages();

  const int clientHeight = 123 + 14 + pConnection->height() + 14 + 25;
  const int clientWidth = 151 + 14 + pConnection->width() + 14;
  designWidth_ = clientWidth;
  setMinimumSize(clientWidth, clientHeight);
  resize(clientWidth, clientHeight);
  LayOutFrame();

  ShowPage(pConnection);
  EnableCommands(true);  // no port yet: files only
  LoadLanguage();
  pTop->findChild<QLabel*>(QStringLiteral("Image1"))
      ->setPixmap(BannerPicture(LangText("Banner_Subtitle", "serial device server")));
  uiConnection->AfPortComboBox1->SetKindWords(
      {{QStringLiteral("simulated unit"), LangText("Port_SimulatedUnit", "simulated unit")},
       {QStringLiteral("simulator"), LangText("Port_Simulator", "simulator")},
       {QStringLiteral("USB-serial"), LangText("Port_USBSerial", "USB-serial")},
       {QStringLiteral("Bluetooth"), LangText("Port_Bluetooth", "Bluetooth")},
       {QStringLiteral("serial port"), LangText("Port_Serial", "serial port")}});
  uiConnection->AfPortComboBox1->SetHeldTexts(LangText("Port_Held", "in use by %1"),
                                              LangText("Port_Holder", "%1 (PID %2)"),
                                              LangText("Port_HeldUnknown", "in use by another program"));
  BuildStatus();  // its texts come from the language file
  LayOutFrame();
  // The size it had when it was last closed, never less than its least.
  QFile size(WindowSizeFile());
  if (size.open(QIODevice::ReadOnly)) {
    const QStringList wh = QString::fromLatin1(size.readLine(32)).simplified().split(QLatin1Char(' '));
    if (wh.size() == 2 && wh[0].toInt() > 0 && wh[1].toInt() > 0)
      resize(qBound(minimumWidth(), wh[0].toInt(), 4096), qBound(minimumHeight(), wh[1].toInt(), 4096));
  }
  BindKeys();  // the keys' names in Qt's translation, loaded with the language file
  WatchEdits();
  // The ports as they are now: the port last opened, where it is there to be opened, else the
  // first that can be, so that Open works at once.
  TAfPortComboBox* picker = uiConnection->AfPortComboBox1;
  picker->UpdatePortList();
  int com = 0;
  QFile last(LastPortFile());
  if (last.open(QIODevice::ReadOnly)) {
    const QString text = QString::fromLatin1(last.readAll()).trimmed();
    bool number = false;
    com = text.startsWith(QLatin1String("COM")) ? text.mid(3).toInt(&number) : 0;
    if (!number) com = 0;
  }
  const int at = com ? picker->findText(QStringLiteral("COM %1").arg(com)) : -1;
  const bool there = at >= 0 && picker->ItemChoosable(at) &&
                     TAfPortComboBox::RecordState(picker->ItemRecord(at)) == TAfPortComboBox::psFree;
  picker->SetComNumber(there ? static_cast<uint16_t>(com) : 0);
  picker->UpdateSelection();
  AfPortComboBox1Change();
}

QString TfMain::WindowSizeFile() {
  return QDir(DefaultWorkingDirectory()).filePath(QStringLiteral("window-size"));
}

void TfMain::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayOutFrame();
}

void TfMain::LayOutFrame() {
  if (!pTop || !pBottom || !pLeft) return;
  const int w = width(), h = height();
  pTop->setGeometry(0, 0, w, 123);
  pTop->findChild<QFrame*>(QStringLiteral("Shape1"))->setGeometry(0, 120, w, 3);
  pBottom->setGeometry(0, h - 25, w, 25);
  pBottom->findChild<QFrame*>(QStringLiteral("Shape2"))->setGeometry(0, 0, w, 3);
  Label65->setGeometry(0, 3, w, 22);
  pLeft->setGeometry(0, 123, 151, h - 123 - 25);
  if (!seTranscript || !statusLine_) return;
  seTranscript->move(seTranscript->x(), pLeft->height() - 32);
  LayOutMenu();
}

QString TfMain::LastPortFile() { return QDir(DefaultWorkingDirectory()).filePath(QStringLiteral("last-port")); }

void TfMain::BindKeys() {
  const std::pair<TShapeEx*, QList<QKeySequence>> keys[] = {
      {seApplySettings, {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}},
      {seReload, QKeySequence::keyBindings(QKeySequence::Refresh)},
      {seStop, {QKeySequence(Qt::Key_Escape)}},
      {seSaveToFile, QKeySequence::keyBindings(QKeySequence::Save)},
      {seSheet, QKeySequence::keyBindings(QKeySequence::Print)},
      {seTranscript, {QKeySequence(Qt::CTRL | Qt::Key_T)}}};
  for (const auto& [button, sequences] : keys) {
    if (sequences.isEmpty()) continue;  // a platform without the standard key
    auto* shortcut = new QShortcut(this);
    shortcut->setKeys(sequences);
    connect(shortcut, &QShortcut::activated, button, [button] {
      if (button->isEnabled() && button->isVisible()) emit button->OnClick(button);
    });
    // The first key is the one to learn; the keypad's Enter goes without saying.
    QString names = sequences.front().toString(QKeySequence::NativeText);
    for (qsizetype i = 1; i < sequences.size() && button != seApplySettings; ++i)
      names += QStringLiteral(", ") + sequences[i].toString(QKeySequence::NativeText);
    button->SetHint(button->Hint().isEmpty() ? names
                                             : button->Hint() + QStringLiteral(" (") + names + QLatin1Char(')'));
    button->SetShowHint(true);
  }
}

void TfMain::LayOutMenu() {
  int y = 16;
  QWidget* previous = nullptr;
  for (const QList<TShapeEx*>& group : menuGroups_) {
    bool any = false;
    for (TShapeEx* b : group) {
      if (b->isHidden()) continue;
      b->move(b->x(), y);
      y += 24;
      any = true;
      if (previous) setTabOrder(previous, b);
      previous = b;
    }
    if (any) y += 8;
  }
  statusLine_->setGeometry(16, y, 127, seTranscript->y() - 8 - y);
}
