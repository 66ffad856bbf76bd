// Edits not yet applied on the simulated device in the test's own process: their marks and count,
// the questions before they are dropped, Defaults and the Reload that takes them back, setup files
// as pending edits, changes stored without a check, the commands' keys, and Quit's bounded wait
// for the device.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <memory>
#include <optional>

#include "AfPortControls.h"
#include "InProcessSim.h"
#include "ShapeEx.h"
#include "SimProfile.h"
#include "SimStates.h"
#include "WindowTestSupport.h"
#include "uIntEdit.h"
#include "uKaVruneIdentity.h"
#include "uMain.h"
#include "uMainForms.h"
#include "uStatusLine.h"

namespace {

constexpr int Com = 7;

class WindowEditsTest : public ::testing::Test {
 protected:
  // The device holds MTU 1200, away from its factory 1400. fromPowerOn: it boots once the port
  // opens, naming itself in its banner, instead of waiting in Setup Mode.
  void Open(InProcessSimOptions options = {}, bool fromPowerOn = false) {
    options.AtRootMenu = !fromPowerOn;
    options.State.Set("Expert", "MTU_Size", "1200");
    device.emplace(Com, std::move(options));
    window = std::make_unique<TfMain>(worker, nullptr, env.Dir());
    window->SetWorkingDirectory(env.Dir());
    ChooseAndOpen(*window, Com);
    ASSERT_TRUE(WaitForRead()) << "no first read";
  }
  // The commands come back with the read that ends every command.
  bool WaitForRead() {
    return WaitFor([&] { return window->seApplySettings->isEnabled(); }, 30000);
  }
  TIntEdit* Mtu() const { return window->pServer->Form().ieServerMTUSize; }
  TIntEdit* Arp() const { return window->pServer->Form().ieServerCahceTimeout; }

  TWindowTestEnv env;
  std::optional<InProcessSim> device;
  TDeviceWorker worker;
  std::unique_ptr<TfMain> window;
};

TEST_F(WindowEditsTest, shouldMarkEachEditOnItsControlAndPageAndCountItUntilTakenBack) {
  Open();
  TfMain& w = *window;
  EXPECT_TRUE(w.StatusLine()->EditsText().isEmpty());
  w.PageButtonClick(w.seServer);
  Mtu()->SetValue(1000);
  EXPECT_TRUE(w.IsEdited(Mtu()));
  EXPECT_TRUE(w.EditTip(Mtu()).endsWith(QStringLiteral("On the device: 1200"))) << w.EditTip(Mtu()).toStdString();
  EXPECT_FALSE(w.IsEdited(Arp()));
  EXPECT_TRUE(w.seServer->Mark().isValid());
  EXPECT_FALSE(w.seNetwork->Mark().isValid());
  EXPECT_EQ(w.StatusLine()->EditsText(), QStringLiteral("1 change not applied"));

  // An edit on the channel not shown still flags its button.
  w.PageButtonClick(w.seChannel2);
  QComboBox* baud = w.pcChannel1->Form().cbChannel1Baudrate;
  baud->setCurrentIndex(baud->findText(QStringLiteral("19200")));
  EXPECT_TRUE(w.IsEdited(baud));
  w.PageButtonClick(w.seChannel1);
  EXPECT_FALSE(w.IsEdited(baud)) << "channel 1 holds the device's rate";
  EXPECT_TRUE(w.seChannel2->Mark().isValid());
  EXPECT_FALSE(w.seChannel1->Mark().isValid());
  EXPECT_EQ(w.StatusLine()->EditsText(), QStringLiteral("2 changes not applied"));

  w.PageButtonClick(w.seServer);
  Mtu()->SetValue(1200);
  EXPECT_FALSE(w.IsEdited(Mtu()));
  EXPECT_FALSE(w.seServer->Mark().isValid());
  EXPECT_EQ(w.PendingChanges(), 1);
  EXPECT_TRUE(env.questions.isEmpty());
}

TEST_F(WindowEditsTest, shouldAskBeforeQuitDisconnectReloadOrLoadDropEdits) {
  Open();
  TfMain& w = *window;
  Arp()->SetValue(300);
  // A number typed out of range is one edit, in the status block and in the question alike.
  Mtu()->selectAll();
  QTest::keyClicks(Mtu(), QStringLiteral("9999"));
  EXPECT_TRUE(w.StatusLine()->EditsText().startsWith(QStringLiteral("2 changes not applied\n")))
      << w.StatusLine()->EditsText().toStdString();
  device->ClearReceived();
  env.answer = false;
  w.seReloadClick();
  EXPECT_TRUE(w.seReload->isEnabled()) << "no read was started";
  w.seDisconnectClick();
  EXPECT_TRUE(worker.IsPortOpen());
  w.seLoadFromFileClick();
  EXPECT_FALSE(w.close());
  ASSERT_EQ(env.questions.size(), 4);
  EXPECT_EQ(env.questions.front(), QStringLiteral("Changes not applied to the device: 2. They will be lost. Go on?"));
  EXPECT_EQ(Arp()->Value(), 300);
  EXPECT_TRUE(device->Received().empty()) << device->Received();

  env.answer = true;
  w.seReloadClick();
  ASSERT_TRUE(WaitForRead());
  EXPECT_EQ(Arp()->Value(), 600);
  EXPECT_EQ(Mtu()->Value(), 1200);
  EXPECT_TRUE(w.StatusLine()->EditsText().isEmpty());
  EXPECT_FALSE(w.IsEdited(Arp()));
}

TEST_F(WindowEditsTest, shouldAskBeforeDefaultsAndLeaveWithoutStoringOnReload) {
  Open();
  TfMain& w = *window;
  const QString file = env.Dir() + "/arp.xml";  // the device's settings but ARP 300
  Arp()->SetValue(300);
  w.SaveSetupFile(file);
  Arp()->SetValue(600);
  env.answer = false;
  w.seDefaultClick();
  EXPECT_EQ(env.questions.size(), 1);
  EXPECT_EQ(device->Count("defaults"), 0u);

  env.answer = true;
  Mtu()->selectAll();
  QTest::keyClicks(Mtu(), QStringLiteral("9999"));  // out of range, red: the factory value mends it
  w.seDefaultClick();
  ASSERT_TRUE(device->WaitEvent("defaults"));
  ASSERT_TRUE(WaitForRead());
  EXPECT_EQ(Mtu()->text(), QStringLiteral("1400")) << "the factory value";
  EXPECT_TRUE(w.RangeFaults().isEmpty()) << "nothing stays red";
  // Reload: the unstored factory values go with Setup Mode left by "8", and the device's own
  // settings come back when it starts again. A file loaded over them is what the pages show.
  w.LoadSetupFile(file, false);
  w.seReloadClick();
  ASSERT_EQ(env.questions.size(), 3) << "asked again: the file's values would be lost";
  EXPECT_EQ(env.questions.back(),
            QStringLiteral("Values loaded from the file, not applied to the device: 1. They will be lost. Go on?"));
  ASSERT_TRUE(device->WaitEvent("exit without save"));
  EXPECT_EQ(device->Count("store"), 0u);
  ASSERT_TRUE(WaitFor([&] { return w.StatusLine()->StepText().startsWith(QStringLiteral("Left Setup Mode")); }, 30000))
      << w.StatusLine()->StepText().toStdString();
  // Waiting for the unit to start again: Disconnect stops the wait, and nothing that needs the
  // unit in Setup Mode can be started.
  EXPECT_TRUE(w.seDisconnect->isEnabled());
  for (TShapeEx* b : {w.seApplySettings, w.seDefault, w.seReload})
    EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
  device->Line().PowerCycle();
  ASSERT_TRUE(WaitForRead());
  EXPECT_EQ(Mtu()->Value(), 1200);
  EXPECT_EQ(w.StatusLine()->StepText(), QStringLiteral("Settings read from the device"));
}

// Another unit's backup: what it prints about itself stays in the file, its settings come in as
// edits, and Apply writes them through the checked apply.
TEST_F(WindowEditsTest, shouldSaveTheDevicesBackupWithTheEditsAndLoadOneAsPendingEdits) {
  InProcessSimOptions field;
  field.Profile = SimProfileFor("field", 0);
  Open(field, true);
  TfMain& w = *window;
  Arp()->SetValue(300);
  const QString file = env.Dir() + "/backup.xml";
  w.SaveSetupFile(file);
  const PXmlDocument saved = TXmlDocument::LoadFromFile(file.toStdString());
  std::vector<std::string> kept;
  const TDeviceSettings inFile = FromDocument(saved->Root(), nullptr, &kept);
  EXPECT_EQ(*inFile.Find("Expert", "ARP_Cache_timeout_in_s"), "300") << "the edit";
  EXPECT_EQ(*inFile.Find("Expert", "MTU_Size"), "1200") << "the device's value";
  // The unit's identity, as the read gave it from the unit's banner, and its other own lines.
  const TXmlElement read = w.CurrentReadDocument();
  EXPECT_EQ(FindNodePath(read, "Unit/MAC_address", false).Text(), "02-00-00-8F-1C-2E");
  EXPECT_FALSE(FindNodePath(read, "Unit/Firmware", false).Text().empty());
  for (const char* line : {"Unit/MAC_address", "Unit/Firmware"})
    EXPECT_EQ(FindNodePath(saved->Root(), line, false).Text(), FindNodePath(read, line, false).Text()) << line;
  for (const char* line : {"Hardware", "Country"})
    EXPECT_NE(std::find(kept.begin(), kept.end(), line), kept.end()) << line << " of the unit's own lines";

  Arp()->SetValue(600);
  EXPECT_EQ(w.PendingChanges(), 0);
  w.LoadSetupFile(file);
  EXPECT_EQ(Arp()->Value(), 300);
  EXPECT_TRUE(w.IsEdited(Arp()));
  EXPECT_EQ(w.StatusLine()->EditsText(), QStringLiteral("1 change not applied"));
  ASSERT_EQ(env.messages.size(), 1);
  EXPECT_TRUE(env.messages.front().contains(QStringLiteral("Kept in the file, not written: Hardware")))
      << env.messages.front().toStdString();
  EXPECT_TRUE(env.messages.front().contains(QStringLiteral("Passwords and keys never appear in a backup")));

  w.seApplySettingsClick();
  ASSERT_TRUE(device->WaitEvent("store"));
  ASSERT_TRUE(WaitForRead());
  EXPECT_EQ(device->Stored().Get("Expert", "ARP_Cache_timeout_in_s"), "300");
  EXPECT_EQ(w.StatusLine()->StepText(), QStringLiteral("1 setting written and confirmed."));
  EXPECT_TRUE(w.StatusLine()->EditsText().isEmpty());
}

// A file loaded once the unit is disconnected is no edit of that unit: the box speaks of the
// file, and a file saved again, its sheet and the names offered carry the file's unit.
TEST_F(WindowEditsTest, aFileLoadedWithoutAUnitShouldKeepItsOwnUnit) {
  InProcessSimOptions field;
  field.Profile = SimProfileFor("field", 0);  // prints its hardware and its WLAN country
  Open(field, true);
  TfMain& w = *window;
  const PXmlDocument other = DumpDocument(SimDefaults());
  AddIdentity(other->Root(), {"02-00-00-00-00-0B", "V2.0.0.0"});
  const QString file = env.Dir() + "/unit-b.xml", again = env.Dir() + "/again.xml", sheet = env.Dir() + "/b.txt";
  other->SaveToFile(file.toStdString());
  ASSERT_NE(w.CurrentReadDocument().Document()->SaveToText().find("<Country>"), std::string::npos);
  w.seDisconnectClick();
  ASSERT_TRUE(WaitFor([&] { return !worker.IsPortOpen(); }, 10000));
  w.LoadSetupFile(file);
  EXPECT_EQ(env.messages, QStringList{QStringLiteral("The file's settings are on the pages; no unit is connected.")});
  w.SaveSetupFile(again);
  const PXmlDocument saved = TXmlDocument::LoadFromFile(again.toStdString());
  EXPECT_EQ(FindNodePath(saved->Root(), "Unit/MAC_address", false).Text(), "02-00-00-00-00-0B");
  EXPECT_EQ(FindNodePath(saved->Root(), "Unit/Firmware", false).Text(), "V2.0.0.0");
  std::vector<std::string> kept;
  FromDocument(saved->Root(), nullptr, &kept);
  EXPECT_EQ(kept, (std::vector<std::string>{"MAC address", "Firmware"})) << "no line of the unit read before";
  w.WriteSettingsSheet(sheet, QStringLiteral("a test"));
  QFile f(sheet);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(f.readAll());
  EXPECT_TRUE(
      text.contains(QRegularExpression(QStringLiteral("\nMAC address +02-00-00-00-00-0B\nFirmware +V2.0.0.0\n"))))
      << text.toStdString();
  for (const char* unitA : {"8F-1C-2E", "Hardware", "Country", "Europe"})
    EXPECT_FALSE(text.contains(QLatin1String(unitA))) << unitA;
  QFileDialog save;
  w.ConfigureSaveDialog(save);
  EXPECT_TRUE(save.selectedFiles().value(0).endsWith(QStringLiteral("/kavrune-02-00-00-00-00-0B.xml")));
}

// After an Apply whose read-back confirmed every setting, the sheet of the pages is that
// read-back, stamped as the unit was left, with the operator and the station the dialog keeps
// for the next sheet; an edit on the pages ends the stamp.
TEST_F(WindowEditsTest, sheetAfterAConfirmedApplyShouldBeStampedAsLeftWithOperatorAndStation) {
  Open();
  TfMain& w = *window;
  const QString file = env.Dir() + "/sheet.txt";
  auto sheet = [&](const TSheetOptions& options = {}) {
    w.WriteSettingsSheet(file, QStringLiteral("a test"), options);
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
  };
  EXPECT_FALSE(sheet().contains(QStringLiteral("as left"))) << "a read is no Apply";
  Arp()->SetValue(300);
  w.seApplySettingsClick();
  ASSERT_TRUE(device->WaitEvent("store"));
  ASSERT_TRUE(WaitForRead());
  QFileDialog dialog;
  w.ConfigureSheetDialog(dialog);
  auto* who = dialog.findChild<QLineEdit*>(QStringLiteral("eSheetOperator"));
  auto* where = dialog.findChild<QLineEdit*>(QStringLiteral("eSheetStation"));
  ASSERT_TRUE(who && where);
  who->setText(QStringLiteral("Ana Nováková"));
  where->setText(QStringLiteral("Bench 3"));
  const QString asLeft = sheet(TfMain::TakeSheetDialog(dialog));
  for (const char* line : {"\nRecord +as left, confirmed at \\d\\d:\\d\\d:\\d\\d [+-]\\d\\d:\\d\\d\n",
                           "\nOperator +Ana Nováková\nStation +Bench 3\n", "\n    ARP Cache Timeout: +300 secs\n"})
    EXPECT_TRUE(asLeft.contains(QRegularExpression(QString::fromUtf8(line)))) << line << "\n" << asLeft.toStdString();
  QFileDialog next;
  w.ConfigureSheetDialog(next);
  EXPECT_EQ(next.findChild<QLineEdit*>(QStringLiteral("eSheetOperator"))->text(), QStringLiteral("Ana Nováková"));
  Arp()->SetValue(600);
  EXPECT_FALSE(sheet().contains(QStringLiteral("as left"))) << "the pages no longer show the unit as left";
}

TEST_F(WindowEditsTest, shouldGiveTheKeyboardBackToTheCommandAfterItsReadEnds) {
  Open();
  TfMain& w = *window;
  w.show();
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  for (TShapeEx* command : {w.seReload, w.seApplySettings}) {
    Arp()->SetValue(Arp()->Value() == 600 ? 300 : 600);  // something for Apply to write
    command->setFocus();
    QTest::keyClick(command, Qt::Key_Space);
    EXPECT_FALSE(command->isEnabled()) << command->objectName().toStdString();
    ASSERT_TRUE(WaitForRead());
    EXPECT_EQ(QApplication::focusWidget(), command) << command->objectName().toStdString();
  }
  EXPECT_EQ(device->Count("store"), 1u);
}

// A unit's own number outside the window's range is no change: an Apply leaves it alone, and the
// edge of the range typed over it is an edit of its own, written as typed.
TEST_F(WindowEditsTest, shouldWriteNothingForAUnitsNumberOutsideItsRangeUntilOneIsTyped) {
  InProcessSimOptions options;
  options.State.Set("Expert", "HTTP_Port_Number", "70000");
  Open(options);
  TfMain& w = *window;
  TIntEdit* http = w.pServer->Form().ieServerHTTPServerPort;
  EXPECT_EQ(http->text(), QStringLiteral("70000"));
  Arp()->SetValue(300);
  w.seApplySettingsClick();
  ASSERT_TRUE(WaitForRead());
  EXPECT_EQ(w.LastApplyReport(), std::vector<std::string>{"1 setting written and confirmed."});
  EXPECT_EQ(device->Stored().Get("Expert", "HTTP_Port_Number"), "70000");
  http->selectAll();
  QTest::keyClicks(http, QStringLiteral("65535"));
  EXPECT_EQ(w.PendingChanges(), 1);
  w.seApplySettingsClick();
  ASSERT_TRUE(WaitForRead());
  EXPECT_EQ(device->Stored().Get("Expert", "HTTP_Port_Number"), "65535");
  EXPECT_EQ(device->Count("store"), 2u);
}

// Stopped in the middle of an Apply's walk, the unit leaves Setup Mode without storing; the edit
// stays on the page for another Apply.
TEST_F(WindowEditsTest, shouldStopAnApplyInItsWalkStoringNothing) {
  Open();
  TfMain& w = *window;
  // The unit falls silent in the section's menu, so the walk is under way when Stop comes.
  device->OnEvent([&](const std::string& e) {
    if (e == "menu Expert") device->Line().Hold(true);
  });
  Arp()->SetValue(300);
  w.seApplySettingsClick();
  ASSERT_TRUE(device->WaitEvent("menu Expert"));
  ASSERT_TRUE(w.seStop->isEnabled());
  w.seStopClick();
  device->Line().Hold(false);
  ASSERT_TRUE(WaitFor([&] { return w.seReload->isEnabled(); }, 15000)) << device->Transcript();
  EXPECT_EQ(device->Count("store"), 0u) << device->Transcript();
  EXPECT_EQ(device->Count("exit without save"), 1u) << device->Transcript();
  EXPECT_EQ(device->Stored().Get("Expert", "ARP_Cache_timeout_in_s"), "600");
  EXPECT_EQ(w.StatusLine()->StepText(), QStringLiteral("Stopped: nothing was stored"));
  EXPECT_TRUE(worker.IsPortOpen());
  EXPECT_TRUE(w.IsEdited(Arp()));
  EXPECT_FALSE(w.seUndoApply->isEnabled()) << "nothing stored to undo";
}

// Stopped while the factory values are on their way, the unit leaves Setup Mode and drops them:
// nothing unstored is left to ask about.
TEST_F(WindowEditsTest, shouldDropTheFactoryValuesWithSetupModeWhenTheirReadIsStopped) {
  Open();
  TfMain& w = *window;
  device->OnEvent([&](const std::string& e) {
    if (e == "defaults") device->Line().Hold(true);
  });
  w.seDefaultClick();
  ASSERT_TRUE(device->WaitEvent("defaults"));
  w.seStopClick();
  device->Line().Hold(false);
  ASSERT_TRUE(WaitFor([&] { return w.seReload->isEnabled(); }, 15000)) << device->Transcript();
  EXPECT_EQ(device->Count("exit without save"), 1u) << device->Transcript();
  EXPECT_EQ(w.StatusLine()->StepText(), QStringLiteral("Stopped: the unit left Setup Mode without storing"));
  w.seReloadClick();
  EXPECT_EQ(env.questions.size(), 1) << "only Defaults asked: no factory values shown to lose";
  EXPECT_EQ(device->Count("store"), 0u);
}

// Stopped while a Reload takes the factory values back by leaving Setup Mode, the Reload ends
// there: no read is left waiting for the unit to start again.
TEST_F(WindowEditsTest, shouldLeaveNoReadBehindWhenAReloadsExitIsStopped) {
  Open();
  TfMain& w = *window;
  w.seDefaultClick();
  ASSERT_TRUE(device->WaitEvent("defaults"));
  ASSERT_TRUE(WaitForRead());
  device->OnEvent([&](const std::string& e) {
    if (e == "exit without save") device->Line().Hold(true);
  });
  w.seReloadClick();
  ASSERT_TRUE(device->WaitEvent("exit without save"));
  w.seStopClick();
  device->Line().Hold(false);
  ASSERT_TRUE(WaitFor([&] { return w.seReload->isEnabled(); }, 15000)) << device->Transcript();
  const std::string heard = device->Received();
  QTest::qWait(1500);
  EXPECT_EQ(device->Received(), heard) << device->Transcript();
}

// A unit that stores and is not heard of again holds the changes, as far as anyone knows: they
// are no edits to lose, Quit says what it leaves unchecked, and Reload checks them unasked.
TEST_F(WindowEditsTest, shouldCountChangesStoredWithoutACheckApartFromEditsUntilAReloadChecksThem) {
  InProcessSimOptions options;
  options.Fault = TSimFault::NoReturn;
  worker.SetRestartLimit(1500);
  Open(options);
  TfMain& w = *window;
  Arp()->SetValue(300);
  w.seApplySettingsClick();
  ASSERT_TRUE(device->WaitEvent("no return"));
  ASSERT_TRUE(WaitFor([&] { return w.seReload->isEnabled(); }, 30000)) << device->Transcript();
  EXPECT_TRUE(w.StatusLine()->StepText().startsWith(QStringLiteral("Stored, not checked")));
  EXPECT_EQ(w.StatusLine()->EditsText(), QStringLiteral("Changes stored, not checked: 1"));
  EXPECT_FALSE(w.IsEdited(Arp()));
  env.answer = false;
  EXPECT_FALSE(w.close());
  EXPECT_EQ(env.questions,
            QStringList{QStringLiteral(
                "Changes stored on the unit but not checked: 1. \"Reload from device\" checks them. Go on?")});
  w.seReloadClick();
  device->Line().PowerCycle();
  ASSERT_TRUE(WaitForRead());
  EXPECT_EQ(env.questions.size(), 1) << "the read checks them: nothing to ask";
  EXPECT_EQ(w.StatusLine()->StepText(), QStringLiteral("Checked: the unit holds the changes stored"));
  EXPECT_TRUE(w.StatusLine()->EditsText().isEmpty());
  EXPECT_EQ(Arp()->Value(), 300);
}

// Apply, Reload and Stop answer their keys as they answer a click; every command's key is named in
// its button's tool tip.
TEST_F(WindowEditsTest, shouldRunTheCommandsFromTheKeysTheirToolTipsName) {
  Open();
  TfMain& w = *window;
  w.show();
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  const QKeySequence apply(Qt::CTRL | Qt::Key_Return), reload(QKeySequence::Refresh), stop(Qt::Key_Escape);
  const std::pair<TShapeEx*, QKeySequence> keys[] = {{w.seApplySettings, apply},
                                                     {w.seReload, reload},
                                                     {w.seStop, stop},
                                                     {w.seSaveToFile, QKeySequence(QKeySequence::Save)},
                                                     {w.seSheet, QKeySequence::Print},
                                                     {w.seTranscript, QKeySequence(Qt::CTRL | Qt::Key_T)}};
  for (const auto& [button, key] : keys) {
    ASSERT_FALSE(key.isEmpty()) << button->objectName().toStdString();
    EXPECT_TRUE(button->toolTip().contains(key.toString(QKeySequence::NativeText)))
        << button->objectName().toStdString() << ": " << button->toolTip().toStdString();
  }
  Arp()->SetValue(300);
  QTest::keySequence(&w, apply);
  EXPECT_FALSE(w.seApplySettings->isEnabled()) << "applying";
  ASSERT_TRUE(WaitForRead());
  EXPECT_EQ(device->Stored().Get("Expert", "ARP_Cache_timeout_in_s"), "300");
  device->Line().Hold(true);
  QTest::keySequence(&w, reload);
  EXPECT_FALSE(w.seReload->isEnabled()) << "reading";
  QTest::keySequence(&w, stop);
  EXPECT_EQ(w.StatusLine()->StepText(), QString::fromUtf8("Stopping…"));
  device->Line().Hold(false);
  ASSERT_TRUE(WaitFor([&] { return w.seReload->isEnabled(); }, 15000)) << device->Transcript();
}

TEST_F(WindowEditsTest, quitShouldSayItLeavesSetupModeAndCloseOnTheDevicesAnswer) {
  Open();
  ASSERT_TRUE(window->close());
  EXPECT_EQ(window->StatusLine()->StepText(), QString::fromUtf8("Leaving Setup Mode…"));
  EXPECT_EQ(device->Count("exit without save"), 1u) << "closed only once the device had left";
}

TEST_F(WindowEditsTest, quitShouldEndItsWaitAtTheLimitWhenTheDeviceNeverAnswers) {
  Open();
  device->With([](TSimDevice& d) { d.PowerOff(); });
  // The wait is bounded by the limit alone: close returns although no answer comes.
  EXPECT_LE(TfMain::QuitLimitMs, 2000);
  ASSERT_TRUE(window->close());
  EXPECT_EQ(window->StatusLine()->StepText(), QString::fromUtf8("Leaving Setup Mode…"));
  EXPECT_EQ(device->Count("exit without save"), 0u);
}

}  // namespace
