// The window without a device: start-up, the menu and page switching, the busy state, the
// caption and a failed open.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QUrl>

#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "AfPortControls.h"
#include "ShapeEx.h"
#include "WindowTestSupport.h"
#include "uIntEdit.h"
#include "uLanguage.h"
#include "uMain.h"
#include "uMainForms.h"
#include "uStatusLine.h"
#include "uTranscript.h"
#include "uTranscriptView.h"

namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  TWindowTestEnv env;
  TDeviceWorker worker;
  TfMain w{worker, nullptr, env.Dir()};

  QList<QWidget*> Pages() {
    return {w.pConnection, w.pNetwork, w.pServer, w.pServices, w.pcChannel1, w.pWLAN, w.pEmail};
  }
  // The widget Tab stops at after `from`, as the focus chain gives it.
  QWidget* NextTabStop(QWidget* from) {
    QWidget* next = from->nextInFocusChain();
    while (next != from && (!next->isVisibleTo(&w) || !(next->focusPolicy() & Qt::TabFocus) || next->focusProxy()))
      next = next->nextInFocusChain();
    return next;
  }
  QList<TShapeEx*> Commands() {
    return {w.seNetwork, w.seServer,     w.seServices,     w.seChannel1,      w.seChannel2,
            w.seWLAN,    w.seEmail,      w.seTerminal,     w.seApplySettings, w.seDefault,
            w.seReload,  w.seDisconnect, w.seLoadFromFile, w.seSaveToFile,    w.seUndoApply};
  }
};

// Stands in for the system's browser: records the addresses the window asks to open.
class TUrlRecorder final : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> opened;
 public slots:
  void Open(const QUrl& url) { opened.append(url); }
};

TEST_F(MainWindowTest, shouldStartOnTheConnectionPageWithOnlyAboutQuitAndFilesUsable) {
  ASSERT_EQ(w.uiConnection->AfPortComboBox1->count(), 0);
  EXPECT_TRUE(env.messages.isEmpty()) << "no port and no language file are nothing to box";
  EXPECT_EQ(w.seNetwork->Caption(), QStringLiteral("Network"));
  EXPECT_FALSE(w.uiConnection->bOpenClose->isEnabled());
  EXPECT_EQ(w.uiConnection->bOpenClose->text(), QStringLiteral("Open"));
  for (QWidget* p : Pages()) EXPECT_EQ(p->isHidden(), p != w.pConnection) << p->objectName().toStdString();
  EXPECT_TRUE(w.pDebug->isHidden());
  // A file can be prepared without a unit; nothing else works before one is read.
  for (TShapeEx* b : Commands()) EXPECT_EQ(b->isEnabled(), b == w.seLoadFromFile) << b->objectName().toStdString();
  EXPECT_TRUE(w.ShapeEx1->isEnabled());
  EXPECT_TRUE(w.ShapeEx8->isEnabled());
  EXPECT_TRUE(w.seEmail->isHidden() && w.seTerminal->isHidden() && w.Button2->isHidden());
}

TEST_F(MainWindowTest, shouldPlaceTheChannelPanelsAndOpenOnTheSerialTab) {
  w.pcChannel1->setCurrentIndex(1);
  w.PageButtonClick(w.seChannel1);
  EXPECT_EQ(w.pcChannel1->currentIndex(), 0) << "a channel opens on its serial settings";
  w.pcChannel1->setCurrentIndex(1);
  w.PageButtonClick(w.seChannel2);
  EXPECT_EQ(w.pcChannel1->currentIndex(), 1) << "the tab stays between the channels";
  w.pcChannel1->setCurrentIndex(1);
  QWidget* tcp = w.pcChannel1->findChild<QWidget*>(QStringLiteral("pChannel1ConnectionTCP"));
  QWidget* udp = w.pcChannel1->findChild<QWidget*>(QStringLiteral("pChannel1ConnectionUSB"));
  ASSERT_TRUE(tcp && udp);
  EXPECT_EQ(tcp->parent()->objectName(), QStringLiteral("tsChannel1Connection"));
  EXPECT_EQ(udp->parent()->objectName(), QStringLiteral("tsChannel1Connection"));
  EXPECT_FALSE(tcp->isHidden());
  EXPECT_TRUE(udp->isHidden());
  // The device address table is found by tags 1 to 16.
  QList<int> tags;
  for (QObject* o :
       w.pcChannel1->findChild<QWidget*>(QStringLiteral("pChannel1ConnectionUDPDeviceAddressTable"))->children())
    if (o->property("Tag").isValid()) tags.append(o->property("Tag").toInt());
  std::sort(tags.begin(), tags.end());
  ASSERT_EQ(tags.size(), 16);
  EXPECT_EQ(tags.front(), 1);
  EXPECT_EQ(tags.back(), 16);
}

TEST_F(MainWindowTest, shouldMapTagsToPagesAndHideAllForAnUnknownTag) {
  EXPECT_EQ(w.PageForTag(3), w.pcChannel1);
  EXPECT_EQ(w.PageForTag(4), w.pcChannel1);
  EXPECT_EQ(w.PageForTag(6), w.pEmail);
  EXPECT_EQ(w.PageForTag(7), nullptr);
  w.ShowPage(w.PageForTag(7));
  for (QWidget* p : Pages()) EXPECT_TRUE(p->isHidden()) << p->objectName().toStdString();
}

TEST_F(MainWindowTest, shouldEnableTheProtocolChoiceOnChannelTwoOnlyAndResetChannelControlsOnEverySwitch) {
  QComboBox* lineMode = w.pcChannel1->Form().cbChannel1LineMode;
  QComboBox* baud = w.pcChannel1->Form().cbChannel1Baudrate;
  w.PageButtonClick(w.seChannel2);
  EXPECT_TRUE(lineMode->isEnabled());
  EXPECT_FALSE(w.pcChannel1->isHidden());
  baud->setCurrentIndex(2);
  w.pcChannel1->Form().eChannel1ConnectionTerminalName->setText(QStringLiteral("tty"));
  w.PageButtonClick(w.seChannel1);
  EXPECT_FALSE(lineMode->isEnabled());
  EXPECT_EQ(baud->currentIndex(), 5);
  EXPECT_TRUE(w.pcChannel1->Form().eChannel1ConnectionTerminalName->text().isEmpty());
  EXPECT_EQ(w.pcChannel1->Form().eChannel1PCMatchByte1->text(), QStringLiteral("00"));
  w.PageButtonClick(w.seServer);
  EXPECT_FALSE(w.pServer->isHidden());
  EXPECT_EQ(w.CurrentPageButton(), w.seServer);
  w.PageButtonClick(w.Label65);  // not a shape button: nothing happens
  EXPECT_EQ(w.CurrentPageButton(), w.seServer);
}

TEST_F(MainWindowTest, shouldKeepOneLevelOfBusyCursor) {
  w.LoadReadDocument(
      TXmlDocument::CreateFromText("<kaVrune><Expert><MTU_Size>1200</MTU_Size></Expert></kaVrune>")->Root());
  w.BeginBusy();
  w.BeginBusy();
  EXPECT_NE(QApplication::overrideCursor(), nullptr);
  for (TShapeEx* b : Commands()) EXPECT_FALSE(b->isEnabled());
  w.EndBusy();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  // Without a port: the pages and files, never what needs the unit.
  for (TShapeEx* b : Commands())
    EXPECT_EQ(b->isEnabled(), b != w.seApplySettings && b != w.seDefault && b != w.seReload && b != w.seDisconnect &&
                                  b != w.seUndoApply)
        << b->objectName().toStdString();
}

// The window grows: the pages keep their place and size, the status block takes the height and
// Transcript stays at the column's foot; a long file name wraps in the block, never widening it.
// The next start takes the size the window was closed with.
TEST_F(MainWindowTest, shouldGrowWithTheStatusBlockTakingTheHeightAndKeepItsSize) {
  const QSize least = w.size();
  const QRect page = w.pConnection->geometry();
  TStatusLine* status = w.StatusLine();
  const int statusHeight = status->height();
  w.show();
  w.resize(least.width() + 100, least.height() + 200);
  EXPECT_EQ(w.pConnection->geometry(), page);
  EXPECT_EQ(status->height(), statusHeight + 200);
  EXPECT_EQ(w.seTranscript->geometry().bottom(), w.pLeft->height() - 32 + w.seTranscript->height() - 1);
  EXPECT_EQ(w.pBottom->geometry().bottom(), w.height() - 1);
  status->ShowOutcome(QStringLiteral("Saved to /home/technician/setups/line-7/kavrune-02-00-00-8F-1C-2E-as-left.xml"),
                      TStatusLine::TOutcome::Done);
  QApplication::processEvents();
  const QWidget* lines = status->findChild<QWidget*>(QStringLiteral("StatusLines"));
  EXPECT_LE(lines->width(), status->width());
  w.resize(least.width() - 50, least.height() - 50);
  EXPECT_EQ(w.size(), least) << "never less than the pages need";
  w.resize(least.width() + 40, least.height() + 60);
  w.close();
  TfMain again(worker, nullptr, env.Dir());
  EXPECT_EQ(again.size(), QSize(least.width() + 40, least.height() + 60));
}

TEST_F(MainWindowTest, shouldToggleTheDebugPanelBesideThePages) {
  const int width = w.width();
  w.seTerminalClick();
  EXPECT_FALSE(w.pDebug->isHidden());
  EXPECT_GE(w.pDebug->x(), w.pConnection->geometry().right()) << "beside the pages, not over them";
  EXPECT_LE(w.pDebug->geometry().right(), w.width()) << "the window grows to hold it";
  w.seTerminalClick();
  EXPECT_TRUE(w.pDebug->isHidden());
  EXPECT_EQ(w.width(), width);
}

TEST_F(MainWindowTest, shouldReportAFailedOpenAndStayClosedAndUsable) {
  // COM 9 is published but is no serial line.
  const std::string file = env.Path("notatty");
  { std::ofstream(file) << "x"; }
  ASSERT_EQ(symlink(file.c_str(), env.Path("com9").c_str()), 0);
  TAfPortComboBox* picker = w.uiConnection->AfPortComboBox1;
  picker->UpdatePortList();
  const int index = picker->findText(QStringLiteral("COM 9"));
  if (index < 0) GTEST_SKIP() << "the picker does not list a file as a port";
  picker->setCurrentIndex(index);
  emit picker->activated(index);
  ASSERT_TRUE(w.uiConnection->bOpenClose->isEnabled());
  const int before = static_cast<int>(env.messages.size());
  w.uiConnection->bOpenClose->click();
  ASSERT_EQ(env.messages.size(), before + 1);
  EXPECT_TRUE(env.messages.back().contains(QStringLiteral("COM9"))) << env.messages.back().toStdString();
  EXPECT_FALSE(worker.IsPortOpen());
  EXPECT_TRUE(w.uiConnection->bOpenClose->isEnabled());
  EXPECT_TRUE(picker->isEnabled());
  EXPECT_FALSE(w.seDisconnect->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_FALSE(w.pConnection->isHidden());
}

// What holds for every choice list and numeric edit of the pages, whatever the forms hold.
TEST_F(MainWindowTest, shouldTakeOnlyListedChoicesAndShowNumbersInPlainBlack) {
  for (QComboBox* combo : w.findChildren<QComboBox*>())
    EXPECT_FALSE(combo->isEditable()) << combo->objectName().toStdString() << " takes only a choice from its list";
  const QList<TIntEdit*> edits = w.findChildren<TIntEdit*>();
  ASSERT_FALSE(edits.isEmpty());
  for (TIntEdit* edit : edits) {
    const std::string name = edit->objectName().toStdString();
    EXPECT_LE(edit->MinValue(), edit->MaxValue()) << name;
    EXPECT_TRUE(edit->AutoCorrect()) << name;
    // A number out of range stays as the unit sent it or as typed, never corrected unseen.
    EXPECT_TRUE(edit->KeepOutOfRange()) << name;
    // A port or an MTU is no signed quantity: the sign colours would only mislead.
    EXPECT_FALSE(edit->Colored()) << name;
    edit->SetValue(edit->MaxValue());
    EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(Qt::black)) << name;
  }
}

TEST_F(MainWindowTest, shouldShowOnlyTheFirstFlushModeHintOfEachGroup) {
  const QString active = QStringLiteral("Clear with a connection that is initiated from the device to the network");
  const QString passive = QStringLiteral("Clear with a connection initiated from the network to the device");
  const QString disconnect = QStringLiteral("Clear when the network connection to or from the device is disconnected");
  Ui::pcChannel1& c = w.pcChannel1->Form();
  for (QCheckBox* first : {c.cbChannel1FlushModeInput1, c.cbChannel1FlushModeOuput1}) {
    EXPECT_EQ(ControlHint(first), active);
    EXPECT_TRUE(ControlShowHint(first));
    EXPECT_EQ(first->toolTip(), active);
  }
  for (QCheckBox* quiet : {c.cbChannel1FlushModeInput2, c.cbChannel1FlushModeOuput2})
    EXPECT_EQ(ControlHint(quiet), passive);
  for (QCheckBox* quiet : {c.cbChannel1FlushModeInput3, c.cbChannel1FlushModeOuput3})
    EXPECT_EQ(ControlHint(quiet), disconnect);
  for (QCheckBox* quiet : {c.cbChannel1FlushModeInput2, c.cbChannel1FlushModeInput3, c.cbChannel1FlushModeOuput2,
                           c.cbChannel1FlushModeOuput3}) {
    EXPECT_FALSE(ControlShowHint(quiet)) << quiet->objectName().toStdString();
    EXPECT_TRUE(quiet->toolTip().isEmpty()) << quiet->objectName().toStdString();
  }
}

TEST_F(MainWindowTest, shouldOpenTheMakersPageOnlyOnALeftClickOnTheLink) {
  TUrlRecorder browser;
  QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "Open");
  QDesktopServices::setUrlHandler(QStringLiteral("http"), &browser, "Open");
  w.show();
  const QPoint centre = w.Label65->rect().center();
  QTest::mouseClick(w.Label65, Qt::RightButton, {}, centre);
  EXPECT_TRUE(browser.opened.isEmpty()) << "a right click opens nothing";
  QTest::mousePress(w.Label65, Qt::LeftButton, {}, centre);
  QTest::mouseRelease(w.Label65, Qt::LeftButton, {}, QPoint(centre.x(), -40));
  EXPECT_TRUE(browser.opened.isEmpty()) << "a press dragged off the link is no click";
  QTest::mouseClick(w.Label65, Qt::LeftButton, {}, centre);
  ASSERT_EQ(browser.opened.size(), 1);
  EXPECT_EQ(browser.opened.front().scheme().left(4), QStringLiteral("http"));
  QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
  QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
  w.hide();
}

TEST(VersionCaption, shouldFollowThePatternAndTheBuildVersion) {
  const std::vector<int> v{1, 2, 3, 4};
  EXPECT_EQ(TfMain::FormatVersionCaption(QStringLiteral("kaVRUNE setup"), QStringLiteral("kaVRUNE setup v.x.y"), v),
            QStringLiteral("kaVRUNE setup"));
  EXPECT_EQ(TfMain::FormatVersionCaption(QStringLiteral("kaVRUNE setup"), QStringLiteral("kaVRUNE setup v.x.y"), {}),
            QStringLiteral("kaVRUNE setup v.x.y"));
  EXPECT_EQ(TfMain::FormatVersionCaption(QStringLiteral("%s %d.%d (build %d)"), QStringLiteral("Setup"), v),
            QStringLiteral("Setup 1.2 (build 3)"));
  EXPECT_EQ(TfMain::FormatVersionCaption(QString(), QStringLiteral("Setup"), v), QStringLiteral("Setup"));
  // More numbers than a version has leave the rest as written rather than failing.
  EXPECT_EQ(TfMain::FormatVersionCaption(QStringLiteral("v%d.%d.%d.%d.%d"), QStringLiteral("x"), v),
            QStringLiteral("v1.2.3.4.%d"));
}

TEST_F(MainWindowTest, shouldSetTheVersionCaptionWhenShown) {
  w.show();
  EXPECT_EQ(w.windowTitle(), QStringLiteral("kaVRUNE setup"));
  w.hide();
}

TEST_F(MainWindowTest, shouldWalkAndClickTheMenuColumnFromTheKeyboard) {
  w.LoadReadDocument(TXmlDocument::CreateFromText("<kaVrune/>")->Root());
  // Tab goes down the column as it is drawn.
  QList<TShapeEx*> column = {w.seNetwork,       w.seServer,  w.seServices,  w.seChannel1,     w.seChannel2,   w.seWLAN,
                             w.seApplySettings, w.seDefault, w.seReload,    w.seLoadFromFile, w.seSaveToFile, w.seSheet,
                             w.seDisconnect,    w.seStop,    w.seUndoApply, w.ShapeEx1,       w.ShapeEx8};
  for (qsizetype i = 0; i + 1 < column.size(); ++i) {
    EXPECT_EQ(NextTabStop(column[i]), column[i + 1]) << column[i]->objectName().toStdString();
    EXPECT_GT(column[i + 1]->y(), column[i]->y()) << "drawn top down, none over another";
  }
  EXPECT_GT(w.StatusLine()->y(), w.ShapeEx8->geometry().bottom()) << "the status block under the column";
  QTest::keyClick(w.seServer, Qt::Key_Space);
  EXPECT_FALSE(w.pServer->isHidden());
  EXPECT_TRUE(w.seServer->Down());
  QTest::keyClick(w.seWLAN, Qt::Key_Return);
  EXPECT_FALSE(w.pWLAN->isHidden());
  QTest::keyClick(w.seNetwork, Qt::Key_A);
  EXPECT_TRUE(w.pNetwork->isHidden()) << "other keys click nothing";
}

// Tab walks each page as it reads: down a column, left to right within a row, up only to the
// top of a column further right. It visits every control of the page once, without leaving it.
TEST_F(MainWindowTest, shouldTabThroughEveryPageInReadingOrder) {
  QWidget* page = nullptr;
  auto controlOf = [&](QWidget* stop) {  // the field of an IP address edit stands for the edit
    while (stop->parentWidget() != page && qstrcmp(stop->parentWidget()->metaObject()->className(), "QWidget") != 0)
      stop = stop->parentWidget();
    return stop;
  };
  auto walk = [&](QWidget* shown, const char* state) {
    page = shown;
    QList<QWidget*> order;  // controls of the page in Tab order, starting anywhere in the window
    bool left = false;
    for (QWidget* at = NextTabStop(&w); at != &w && !(left && page->isAncestorOf(at)); at = NextTabStop(at)) {
      if (page->isAncestorOf(at)) {
        if (order.isEmpty() || order.back() != controlOf(at)) order.append(controlOf(at));
      } else {
        left = !order.isEmpty();
      }
    }
    QList<QWidget*> all;
    for (QWidget* c : page->findChildren<QWidget*>())
      if (c->isVisibleTo(page) && (c->focusPolicy() & Qt::TabFocus) && !c->focusProxy() && !all.contains(controlOf(c)))
        all.append(controlOf(c));
    EXPECT_EQ(order.size(), all.size()) << state << ": every control once, and Tab stays on the page until done";
    for (qsizetype i = 0; i + 1 < order.size(); ++i) {
      const QPoint a = order[i]->mapTo(page, QPoint()), b = order[i + 1]->mapTo(page, QPoint());
      const bool up = b.y()<a.y() - 4, down = b.y()> a.y() + 4, back = b.x()<a.x() - 4, on = b.x()> a.x() + 4;
      EXPECT_TRUE(up ? on : (!back || down)) << state << ": " << order[i]->objectName().toStdString() << " -> "
                                             << order[i + 1]->objectName().toStdString();
    }
  };
  for (QWidget* p : Pages()) {
    w.ShowPage(p);
    walk(p, p->objectName().toUtf8().constData());
  }
  w.ShowPage(w.pcChannel1);
  w.pcChannel1->setCurrentIndex(0);
  walk(w.pcChannel1->currentWidget(), "serial settings");
  w.pcChannel1->setCurrentIndex(1);
  walk(w.pcChannel1->currentWidget(), "TCP connection");
  w.pcChannel1->SetConnectMode(0x0C);
  walk(w.pcChannel1->currentWidget(), "UDP connection");
}

// A prompt shows while the device waits at it, and gives way to its finished line.
TEST(TranscriptView, shouldShowTheDevicesUnfinishedLineAsItComes) {
  TWindowTestEnv env;
  const std::string path = env.Path("transcript.txt");
  TTranscript transcript(path);
  TTranscriptView view(QString::fromStdString(path), nullptr,
                       [&] { return QString::fromLatin1(transcript.Unfinished()); });
  transcript.Record(false, "*** basic parameters\r\nYour choice ? ");
  view.Refresh();
  EXPECT_TRUE(view.Text().endsWith(QStringLiteral(" << Your choice ? "))) << view.Text().toStdString();
  transcript.Record(true, "1\r");
  transcript.Record(false, "1\r\n");
  view.Refresh();
  const QString text = view.Text();
  EXPECT_EQ(text.count(QStringLiteral("Your choice")), 1) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("<< Your choice ? "))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral(">> 1<CR>"))) << text.toStdString();
}

TEST(MainWindowFiles, shouldKeepWorkingCopiesInTheUsersStateFolder) {
  TWindowTestEnv env;
  TDeviceWorker worker;
  TfMain w(worker, nullptr, env.Dir());
  w.LoadReadDocument(TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText)->Root());
  EXPECT_TRUE(QFile::exists(env.Dir() + QStringLiteral("/state/kavrune/temp_load.xml")));
  EXPECT_TRUE(env.messages.isEmpty()) << env.messages.join('|').toStdString();
}

}  // namespace

#include "tst_uMain.moc"
