// The window without a device: start-up, the menu and page switching, the busy state, the
// caption and a failed open.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>

#include <unistd.h>

#include <fstream>

#include "AfPortControls.h"
#include "ShapeEx.h"
#include "WindowTestSupport.h"
#include "uMain.h"
#include "uMainForms.h"

namespace {

const QString NoPortsMessage =
    QStringLiteral("Cannot find any Com Ports on this Machine, please restart application for refresh Com Ports");

class MainWindowTest : public ::testing::Test {
 protected:
  TWindowTestEnv env;
  TKaVruneAI worker;
  TfMain w{worker, nullptr, env.Dir()};

  QList<QWidget*> Pages() {
    return {w.pConnection, w.pNetwork, w.pServer, w.pServices, w.pcChannel1, w.pWLAN, w.pEmail};
  }
  QList<TShapeEx*> Commands() {
    return {w.seNetwork, w.seServer,  w.seServices,   w.seChannel1, w.seChannel2,     w.seWLAN,       w.seEmail,
            w.seTerminal, w.seApplySettings, w.seDefault, w.seReload, w.seDisconnect, w.seLoadFromFile, w.seSaveToFile};
  }
};

TEST_F(MainWindowTest, shouldStartOnTheConnectionPageWithOnlyAboutAndQuitUsable) {
  ASSERT_EQ(w.uiConnection->AfPortComboBox1->count(), 0);
  EXPECT_EQ(env.Count(NoPortsMessage), 1);
  EXPECT_FALSE(w.uiConnection->bOpenClose->isEnabled());
  EXPECT_EQ(w.uiConnection->bOpenClose->text(), QStringLiteral("Open"));
  for (QWidget* p : Pages()) EXPECT_EQ(p->isHidden(), p != w.pConnection) << p->objectName().toStdString();
  EXPECT_TRUE(w.pDebug->isHidden());
  for (TShapeEx* b : Commands()) EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
  EXPECT_TRUE(w.ShapeEx1->isEnabled());
  EXPECT_TRUE(w.ShapeEx8->isEnabled());
  EXPECT_TRUE(w.seEmail->isHidden() && w.seTerminal->isHidden() && w.Button2->isHidden());
  EXPECT_EQ(w.size(), QSize(700, 652));
  EXPECT_EQ(w.pConnection->pos(), QPoint(167, 139));
  EXPECT_EQ(w.pcChannel1->size(), w.pConnection->size());
}

TEST_F(MainWindowTest, shouldReportAMissingLanguageFileWithItsPath) {
  const QString path = env.Dir() + QStringLiteral("/Language.xml");
  EXPECT_EQ(env.Count(QStringLiteral("Cannot find language file: ") + path), 1);
  EXPECT_EQ(w.seNetwork->Caption(), QStringLiteral("Network"));
}

TEST_F(MainWindowTest, shouldPlaceTheChannelPanelsAndOpenOnTheConnectionTab) {
  EXPECT_EQ(w.pcChannel1->currentWidget()->objectName(), QStringLiteral("tsChannel1Connection"));
  QWidget* tcp = w.pcChannel1->findChild<QWidget*>(QStringLiteral("pChannel1ConnectionTCP"));
  QWidget* udp = w.pcChannel1->findChild<QWidget*>(QStringLiteral("pChannel1ConnectionUSB"));
  ASSERT_TRUE(tcp && udp);
  EXPECT_EQ(tcp->parent()->objectName(), QStringLiteral("tsChannel1Connection"));
  EXPECT_EQ(udp->parent()->objectName(), QStringLiteral("tsChannel1Connection"));
  EXPECT_EQ(tcp->y(), 56);
  EXPECT_FALSE(tcp->isHidden());
  EXPECT_TRUE(udp->isHidden());
  // The device address table is found by tags 1 to 16.
  QList<int> tags;
  for (QObject* o : w.pcChannel1->findChild<QWidget*>(QStringLiteral("pChannel1ConnectionUDPDeviceAddressTable"))->children())
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
  QComboBox* lineMode = w.uiChannel1->cbChannel1LineMode;
  QComboBox* baud = w.uiChannel1->cbChannel1Baudrate;
  w.seNetworkClick(w.seChannel2);
  EXPECT_TRUE(lineMode->isEnabled());
  EXPECT_FALSE(w.pcChannel1->isHidden());
  baud->setCurrentIndex(2);
  w.uiChannel1->eChannel1ConnectionTerminalName->setText(QStringLiteral("tty"));
  w.seNetworkClick(w.seChannel1);
  EXPECT_FALSE(lineMode->isEnabled());
  EXPECT_EQ(baud->currentIndex(), 5);
  EXPECT_TRUE(w.uiChannel1->eChannel1ConnectionTerminalName->text().isEmpty());
  EXPECT_EQ(w.uiChannel1->eChannel1PCMatchByte1->text(), QStringLiteral("00"));
  w.seNetworkClick(w.seServer);
  EXPECT_FALSE(w.pServer->isHidden());
  EXPECT_EQ(w.CurrentPageButton(), w.seServer);
  w.seNetworkClick(w.Label65);  // not a shape button: nothing happens
  EXPECT_EQ(w.CurrentPageButton(), w.seServer);
}

TEST_F(MainWindowTest, shouldKeepOneLevelOfBusyCursor) {
  w.BeginBusy();
  w.BeginBusy();
  EXPECT_NE(QApplication::overrideCursor(), nullptr);
  for (TShapeEx* b : Commands()) EXPECT_FALSE(b->isEnabled());
  w.EndBusy();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  for (TShapeEx* b : Commands()) EXPECT_TRUE(b->isEnabled());
}

TEST_F(MainWindowTest, shouldToggleTheDebugPanelBesideThePages) {
  w.seTerminalClick();
  EXPECT_FALSE(w.pDebug->isHidden());
  EXPECT_EQ(w.width(), 845);
  EXPECT_EQ(w.pDebug->x(), 151 + 521 + 32);
  EXPECT_EQ(w.pDebug->width(), 845 - w.pDebug->x() - 16);
  w.seTerminalClick();
  EXPECT_TRUE(w.pDebug->isHidden());
  EXPECT_EQ(w.width(), 700);
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

}  // namespace
