// The window against the simulated device on a pseudo-terminal: choosing and opening the port,
// the first read, closing, Defaults and the exit request when the window closes.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <memory>
#include <sstream>

#include "AfPortControls.h"
#include "ShapeEx.h"
#include "SimModel.h"
#include "SimProcess.h"
#include "WindowTestSupport.h"
#include "uMain.h"
#include "uMainForms.h"
#include "uStatusLine.h"
#include "uTranscriptView.h"

namespace {

constexpr int Com = 4;
const QColor LightGreen(0xE0, 0xFF, 0xE0);
const QColor Peach(0xFF, 0xE1, 0xC4);

class MainWindowDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("KAVRUNE_SIM")) GTEST_SKIP() << "KAVRUNE_SIM is not set";
    // A device holding no DHCP name, ARP 600 s and keepalive 0 (off): values at the edges of
    // their ranges, which an Apply without edits once changed.
    TSimSettings state = SimDefaults();
    state.Set("Expert", "TCP_Keepalive_time_in_s", "0");
    SaveState(state, env.Path("state.txt"));
    std::vector<std::string> args{"--unpaced", "--log", env.Path("sim.log")};
    if (!fault.empty()) args.insert(args.end(), {"--fault", fault});
    sim = std::make_unique<SimProcess>(Com, env.Path("state.txt"), args);
    ASSERT_TRUE(sim->Ready());
    window = std::make_unique<TfMain>(worker, nullptr, env.Dir());
    window->SetWorkingDirectory(env.Dir());
  }

  // The user picks the simulated port from the list.
  void ChoosePort() {
    TAfPortComboBox* picker = window->uiConnection->AfPortComboBox1;
    const int index = picker->findText(QStringLiteral("COM %1").arg(Com));
    ASSERT_GE(index, 0);
    picker->setCurrentIndex(index);
    emit picker->activated(index);
  }

  // Opens the port and waits until the window has waited a second or more for the unit; the
  // count may pass a second unseen on a loaded machine.
  void OpenAndWaitASecond() {
    ChoosePort();
    window->uiConnection->bOpenClose->click();
    const QRegularExpression seconds(QStringLiteral(" \\(\\d+ s\\)"));
    ASSERT_TRUE(WaitFor([&] { return window->StatusLine()->PortText().contains(seconds); }, 15000))
        << window->StatusLine()->PortText().toStdString();
  }

  void OpenAndWaitForRead() {
    ChoosePort();
    window->uiConnection->bOpenClose->click();
    ASSERT_TRUE(worker.IsPortOpen());
    ASSERT_TRUE(WaitFor([&] { return !window->pNetwork->isHidden(); }, 30000)) << "no read document arrived";
  }

  std::string SimLog() const {
    std::ifstream in(env.Path("sim.log"));
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Lines the device received, in order.
  std::vector<std::string> Received() const {
    std::vector<std::string> out;
    std::istringstream in(SimLog());
    for (std::string line; std::getline(in, line);) {
      const auto at = line.find(" >> ");
      if (at != std::string::npos) out.push_back(line.substr(at + 4));
    }
    return out;
  }

  // Runs the command and waits until done, up to limitMs; stalledMs: the longest the window's
  // event loop stood still meanwhile, the command included.
  template <typename F, typename D>
  bool RunAndWait(F command, D done, int limitMs, qint64& stalledMs) {
    QElapsedTimer sinceTick;
    stalledMs = 0;
    QTimer tick;
    tick.setInterval(20);
    QObject::connect(&tick, &QTimer::timeout, [&] { stalledMs = std::max(stalledMs, sinceTick.restart()); });
    sinceTick.start();
    tick.start();
    command();
    const bool back = WaitFor(done, limitMs);
    stalledMs = std::max(stalledMs, sinceTick.elapsed());
    return back;
  }
  // Stop, clicked while the window waits for the unit: true when the commands come back within
  // limitMs.
  bool StopAndWaitForTheCommands(int limitMs, qint64& stalledMs) {
    EXPECT_TRUE(window->seStop->isEnabled()) << "Stop is offered while the window waits";
    const bool back =
        RunAndWait([&] { window->seStopClick(); }, [&] { return window->seReload->isEnabled(); }, limitMs, stalledMs);
    EXPECT_FALSE(window->seStop->isEnabled());
    EXPECT_TRUE(worker.IsPortOpen()) << "Stop keeps the port open";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    return back;
  }

  std::string fault;  // of the simulated device, set by the fixtures below
  TWindowTestEnv env;
  std::unique_ptr<SimProcess> sim;
  TDeviceWorker worker;
  std::unique_ptr<TfMain> window;
};

// At start the list is there and a port chosen, the simulator named by its unit; the port last
// opened only where it can be opened still.
TEST_F(MainWindowDeviceTest, shouldStartWithAPortThatIsThereChosenAndOpenUsable) {
  for (const char* last : {"", "COM9"}) {
    if (*last) {
      window.reset();
      std::ofstream(TfMain::LastPortFile().toStdString()) << last << "\n";
      window = std::make_unique<TfMain>(worker, nullptr, env.Dir());
    }
    TAfPortComboBox* picker = window->uiConnection->AfPortComboBox1;
    EXPECT_EQ(picker->ComNumber(), Com) << last;
    EXPECT_EQ(picker->currentText(), QStringLiteral("COM %1").arg(Com));
    EXPECT_EQ(picker->ItemDescription(picker->currentIndex()).left(32), QStringLiteral("simulated unit 02-00-00-8F-1C-2E"));
    EXPECT_TRUE(window->uiConnection->bOpenClose->isEnabled());
  }
}

TEST_F(MainWindowDeviceTest, shouldSayAPortTakenMeanwhileIsInUse) {
  ChoosePort();
  TAfComPort holder;
  holder.SetComNumber(Com);
  holder.Open();
  window->uiConnection->bOpenClose->click();
  EXPECT_FALSE(worker.IsPortOpen());
  EXPECT_FALSE(env.messages.filter(QStringLiteral("Can't open device COM4: in use by another program")).isEmpty())
      << env.messages.join('|').toStdString();
  EXPECT_EQ(window->uiConnection->bOpenClose->text(), QStringLiteral("Open"));
}

TEST_F(MainWindowDeviceTest, shouldWaitForTheFirstReadThenLandOnTheNetworkPage) {
  TfMain& w = *window;
  ChoosePort();
  w.uiConnection->bOpenClose->click();
  ASSERT_TRUE(worker.IsPortOpen());
  // Waiting: only About, Quit, Close and Disconnect respond.
  EXPECT_EQ(w.uiConnection->bOpenClose->text(), QStringLiteral("Close"));
  EXPECT_TRUE(w.uiConnection->bOpenClose->isEnabled());
  EXPECT_FALSE(w.uiConnection->AfPortComboBox1->isEnabled());
  EXPECT_TRUE(w.seDisconnect->isEnabled());
  EXPECT_TRUE(w.ShapeEx1->isEnabled() && w.ShapeEx8->isEnabled());
  for (TShapeEx* b : {w.seNetwork, w.seServer, w.seChannel1, w.seApplySettings, w.seDefault, w.seReload})
    EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
  EXPECT_EQ(w.uiConnection->ShapeEx14->BrushColor(), LightGreen);
  EXPECT_EQ(w.uiConnection->ShapeEx11->BrushColor(), Peach);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(w.StatusLine()->PortText(), QStringLiteral("COM 4 open: waiting for the device, power it on now"));

  ASSERT_TRUE(WaitFor([&] { return !w.pNetwork->isHidden(); }, 30000)) << "no read document arrived";
  EXPECT_EQ(w.StatusLine()->PortText(), QStringLiteral("Connected: COM 4\nMAC 02-00-00-8F-1C-2E\nFirmware V1.0.0.1"))
      << "the unit on the line, as it named itself";
  QFileDialog save;
  w.ConfigureSaveDialog(save);
  EXPECT_TRUE(save.selectedFiles().value(0).endsWith("/kavrune-02-00-00-8F-1C-2E.xml")) << "named after the unit";
  EXPECT_FALSE(save.testOption(QFileDialog::DontConfirmOverwrite)) << "an existing file is replaced only when asked";
  EXPECT_EQ(w.StatusLine()->StepText(), QStringLiteral("Settings read from the device"));
  EXPECT_TRUE(w.StatusLine()->Bar()->isHidden());
  // The dialogue so far, from the window's own transcript.
  w.show();
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  QTest::keyClick(&w, Qt::Key_T, Qt::ControlModifier);
  ASSERT_NE(w.TranscriptView(), nullptr);
  EXPECT_TRUE(w.TranscriptView()->isVisible());
  EXPECT_TRUE(w.TranscriptView()->Text().contains(QStringLiteral("<< *** basic parameters")))
      << w.TranscriptView()->Text().toStdString();
  EXPECT_TRUE(w.seNetwork->Down());
  EXPECT_EQ(w.CurrentPageButton(), w.seNetwork);
  EXPECT_TRUE(w.pConnection->isHidden());
  EXPECT_TRUE(w.seApplySettings->isEnabled() && w.seReload->isEnabled() && w.seChannel2->isEnabled());
  ASSERT_TRUE(w.CurrentReadDocument());
  EXPECT_TRUE(w.CurrentReadDocument().FirstChild("basic_parameters"));
  EXPECT_TRUE(env.warnings.isEmpty()) << env.messages.join('|').toStdString();

  // A later read keeps the page the user is on.
  w.PageButtonClick(w.seServer);
  w.seReloadClick();
  EXPECT_FALSE(w.seServer->isEnabled());
  ASSERT_TRUE(WaitFor([&] { return w.seServer->isEnabled(); }, 30000));
  EXPECT_FALSE(w.pServer->isHidden());
}

TEST_F(MainWindowDeviceTest, shouldReturnToTheConnectionPageWhenClosed) {
  OpenAndWaitForRead();
  TfMain& w = *window;
  w.uiConnection->bOpenClose->click();
  // The worker takes the unit out of Setup Mode on its own thread: the window does not wait.
  EXPECT_TRUE(worker.IsPortOpen());
  EXPECT_EQ(w.StatusLine()->StepText(), QString::fromUtf8("Leaving Setup Mode…"));
  EXPECT_FALSE(w.uiConnection->bOpenClose->isEnabled() || w.seDisconnect->isEnabled() || w.seReload->isEnabled());
  ASSERT_TRUE(WaitFor([&] { return !worker.IsPortOpen(); }, 10000));
  EXPECT_FALSE(w.pConnection->isHidden());
  EXPECT_TRUE(w.pNetwork->isHidden());
  EXPECT_EQ(w.uiConnection->bOpenClose->text(), QStringLiteral("Open"));
  EXPECT_EQ(w.StatusLine()->PortText(), QStringLiteral("Port closed"));
  EXPECT_TRUE(w.uiConnection->AfPortComboBox1->isEnabled());
  for (TShapeEx* b : {w.seApplySettings, w.seDefault, w.seReload, w.seDisconnect}) EXPECT_FALSE(b->isEnabled());
  // The last read stays at hand without the unit: its pages can be edited and saved.
  EXPECT_TRUE(w.seNetwork->isEnabled() && w.seSaveToFile->isEnabled() && w.seLoadFromFile->isEnabled());
  EXPECT_FALSE(w.seNetwork->Down());
  EXPECT_EQ(w.uiConnection->ShapeEx11->BrushColor(), LightGreen);
  EXPECT_EQ(w.uiConnection->ShapeEx13->BrushColor(), LightGreen);
  EXPECT_EQ(w.uiConnection->ShapeEx14->BrushColor(), Peach);
  // The device was taken out of its menu on the way.
  EXPECT_EQ(Received().back(), "8<CR>");
  // A document that was on its way when the port closed does not bring the commands back.
  QTest::qWait(300);
  EXPECT_FALSE(w.seApplySettings->isEnabled());
  // The next start offers the port last opened.
  window = std::make_unique<TfMain>(worker, nullptr, env.Dir());
  EXPECT_EQ(window->uiConnection->AfPortComboBox1->ComNumber(), Com);
  EXPECT_TRUE(window->uiConnection->bOpenClose->isEnabled());
}

TEST_F(MainWindowDeviceTest, shouldAskTheDeviceForItsDefaultsAndStayBusyUntilTheReRead) {
  OpenAndWaitForRead();
  TfMain& w = *window;
  const size_t before = Received().size();
  w.seDefault->SetDown(false);
  w.seDefaultClick();
  EXPECT_FALSE(w.seApplySettings->isEnabled());
  EXPECT_NE(QApplication::overrideCursor(), nullptr);
  ASSERT_TRUE(WaitFor([&] { return w.seApplySettings->isEnabled(); }, 30000)) << "no re-read after Defaults";
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  const std::vector<std::string> after = Received();
  EXPECT_NE(std::find(after.begin() + static_cast<long>(before), after.end(), "7<CR>"), after.end())
      << "the defaults entry of the menu was not chosen";
  EXPECT_EQ(w.StatusLine()->StepText(),
            QStringLiteral("Factory values shown: they are not on the device until \"Apply Settings\" stores them"));
  EXPECT_EQ(LoadState(env.Path("state.txt")).Get("Expert", "TCP_Keepalive_time_in_s"), "0") << "not stored yet";
  // The factory values that differ from the stored ones are edits, with the stored value beside.
  QWidget* keepAlive = w.pServer->Form().ieServerKeepAlive;
  EXPECT_TRUE(w.IsEdited(keepAlive));
  EXPECT_EQ(w.EditTip(keepAlive), QStringLiteral("On the device: 0"));
  EXPECT_EQ(w.PendingChanges(), 1);

  w.seApplySettingsClick();
  ASSERT_TRUE(WaitFor([&] { return w.seApplySettings->isEnabled(); }, 30000)) << "no re-read after the store";
  EXPECT_EQ(LoadState(env.Path("state.txt")).Get("Expert", "TCP_Keepalive_time_in_s"), "45");
  EXPECT_EQ(w.StatusLine()->StepText(), QStringLiteral("1 setting written and confirmed."));
  EXPECT_EQ(w.PendingChanges(), 0);
}

TEST_F(MainWindowDeviceTest, shouldOfferToUndoAnApplyThatStoredWithTheSettingsKeptBeforeIt) {
  OpenAndWaitForRead();
  TfMain& w = *window;
  EXPECT_FALSE(w.seUndoApply->isEnabled()) << "nothing to undo yet";
  // Every button keeps its place: a click meant for Stop as the wait ends, or for any other
  // button, never lands on Undo.
  QHash<QWidget*, QRect> places;
  for (TShapeEx* b : w.pLeft->findChildren<TShapeEx*>()) places[b] = b->geometry();
  w.pServer->Form().ieServerCahceTimeout->SetValue(300);
  w.seApplySettingsClick();
  ASSERT_TRUE(WaitFor([&] { return w.seReload->isEnabled(); }, 90000)) << "no re-read after Apply";
  for (TShapeEx* b : w.pLeft->findChildren<TShapeEx*>())
    EXPECT_EQ(b->geometry(), places.value(b)) << b->objectName().toStdString();
  EXPECT_FALSE(w.seStop->isHidden());
  ASSERT_EQ(LoadState(env.Path("state.txt")).Get("Expert", "ARP_Cache_timeout_in_s"), "300");
  const std::vector<TBackupEntry> kept = TBackupStore().List("02-00-00-8F-1C-2E");
  ASSERT_EQ(kept.size(), 1u) << "one backup, of the unit the banner named";
  EXPECT_TRUE(w.seUndoApply->isEnabled());
  const QDateTime time = QDateTime::fromString(QString::fromStdString(kept[0].IsoTime()), Qt::ISODateWithMs);
  EXPECT_EQ(w.seUndoApply->Caption(), QStringLiteral("Undo Apply ") + time.toLocalTime().toString("HH:mm"));

  // Nothing is written unasked: the question names what the Undo writes, and the edit on the
  // pages it drops; a number typed out of range is such an edit, and the backup's value mends it.
  w.pServer->Form().ieServerMTUSize->selectAll();
  QTest::keyClicks(w.pServer->Form().ieServerMTUSize, QStringLiteral("9999"));
  env.answer = false;
  w.seUndoApplyClick();
  ASSERT_EQ(env.questions.size(), 1);
  EXPECT_EQ(env.questions[0], QStringLiteral("Undo the Apply of %1: ARP cache timeout 300 → 600?\n\n"
                                             "Changes not applied on the pages are lost: 1.")
                                  .arg(time.toLocalTime().toString("HH:mm")));
  EXPECT_TRUE(w.seReload->isEnabled()) << "nothing went out";
  env.answer = true;
  w.seUndoApplyClick();
  ASSERT_FALSE(w.seReload->isEnabled()) << "the backup went out as an Apply";
  EXPECT_TRUE(!w.seUndoApply->isEnabled() && w.seStop->isEnabled()) << "while the Undo runs, Stop is offered";
  ASSERT_TRUE(WaitFor([&] { return w.seReload->isEnabled(); }, 90000)) << "no re-read after Undo";
  EXPECT_EQ(LoadState(env.Path("state.txt")).Get("Expert", "ARP_Cache_timeout_in_s"), "600");
  EXPECT_EQ(w.pServer->Form().ieServerMTUSize->text(), QStringLiteral("1400"));
  EXPECT_TRUE(w.RangeFaults().isEmpty()) << "nothing stays red";
  EXPECT_EQ(w.LastApplyReport(), std::vector<std::string>{"1 setting written and confirmed."});
  EXPECT_EQ(w.StatusLine()->StepText(), QStringLiteral("Undone: the Apply of %1 (ARP cache timeout 300 → 600)")
                                            .arg(time.toLocalTime().toString("HH:mm")));
  EXPECT_EQ(TBackupStore().List("02-00-00-8F-1C-2E").size(), 2u) << "the undo kept a backup of its own";
  EXPECT_TRUE(env.messages.isEmpty()) << env.messages.join('|').toStdString();
}

// A golden file prepared at a desk: loaded and edited without a port, then written to the unit
// through the checked Apply once it is read.
TEST_F(MainWindowDeviceTest, shouldPrepareAFileWithoutAUnitAndApplyItOnceOneIsRead) {
  TfMain& w = *window;
  Ui::pServer& server = w.pServer->Form();
  const QString golden = env.Dir() + "/golden.xml";
  QFile f(golden);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("<xml><Expert><ARP_Cache_timeout_in_s>300</ARP_Cache_timeout_in_s></Expert></xml>");
  f.close();
  ASSERT_TRUE(w.seLoadFromFile->isEnabled());
  w.LoadSetupFile(golden, false);
  EXPECT_FALSE(w.pNetwork->isHidden());
  EXPECT_FALSE(w.seApplySettings->isEnabled()) << "no unit to write to";
  EXPECT_EQ(server.ieServerCahceTimeout->Value(), 300);
  server.ieServerMTUSize->SetValue(1000);
  EXPECT_EQ(w.PendingChanges(), 1) << "an edit of the file";
  w.SaveSetupFile(env.Dir() + "/prepared.xml");
  const PXmlDocument prepared = TXmlDocument::LoadFromFile((env.Dir() + "/prepared.xml").toStdString());
  const TDeviceSettings inFile = FromDocument(prepared->Root());
  EXPECT_EQ(*inFile.Find("Expert", "MTU_Size"), "1000");
  EXPECT_EQ(*inFile.Find("Expert", "ARP_Cache_timeout_in_s"), "300");

  OpenAndWaitForRead();
  EXPECT_EQ(server.ieServerCahceTimeout->Value(), 300);
  EXPECT_EQ(server.ieServerMTUSize->Value(), 1000);
  EXPECT_EQ(w.PendingChanges(), 2) << "the file's settings over the unit's";
  w.seApplySettingsClick();
  ASSERT_TRUE(WaitFor([&] { return w.seReload->isEnabled(); }, 90000)) << "no re-read after Apply";
  const TSimSettings stored = LoadState(env.Path("state.txt"));
  EXPECT_EQ(stored.Get("Expert", "ARP_Cache_timeout_in_s"), "300");
  EXPECT_EQ(stored.Get("Expert", "MTU_Size"), "1000");
  EXPECT_EQ(w.StatusLine()->StepText(), QStringLiteral("2 settings written and confirmed."));
}

TEST_F(MainWindowDeviceTest, shouldSendNothingWithoutEditsAndConfirmAnEditAfterTheReRead) {
  OpenAndWaitForRead();
  TfMain& w = *window;
  EXPECT_EQ(w.pNetwork->Form().eDHCPName->text(), QString()) << "\"not set\" is no name";
  EXPECT_EQ(w.pServer->Form().ieServerKeepAlive->Value(), 0);
  EXPECT_EQ(w.pServer->Form().ieServerCahceTimeout->Value(), 600);
  w.seApplySettingsClick();
  EXPECT_EQ(w.LastApplyReport(), std::vector<std::string>{"No setting differs from the device: nothing was written."});
  EXPECT_EQ(w.StatusLine()->StepText(), QStringLiteral("No setting differs from the device: nothing was written."));
  EXPECT_FALSE(QFile::exists(env.Dir() + QStringLiteral("/temp_save.xml")));
  EXPECT_TRUE(w.seReload->isEnabled()) << "no write to wait for";

  w.pServer->Form().ieServerCahceTimeout->SetValue(300);
  w.seApplySettingsClick();
  EXPECT_TRUE(QFile::exists(env.Dir() + QStringLiteral("/temp_save.xml")));
  EXPECT_FALSE(w.seReload->isEnabled());
  ASSERT_TRUE(WaitFor([&] { return w.seReload->isEnabled(); }, 90000)) << "no re-read after Apply";
  EXPECT_EQ(w.LastApplyReport(), std::vector<std::string>{"1 setting written and confirmed."});
  EXPECT_EQ(w.StatusLine()->StepText(), QStringLiteral("1 setting written and confirmed."));
  EXPECT_TRUE(env.messages.isEmpty()) << "a confirmation, not a box to close";
  const TSimSettings stored = LoadState(env.Path("state.txt"));
  EXPECT_EQ(stored.Get("Expert", "ARP_Cache_timeout_in_s"), "300");
  EXPECT_EQ(stored.Get("Expert", "TCP_Keepalive_time_in_s"), "0");
  EXPECT_EQ(stored.Get("basic_parameters", "Enter_new_DHCP_device_Name"), "");
}

TEST_F(MainWindowDeviceTest, shouldSendTheExitRequestWhenClosingWithThePortOpen) {
  OpenAndWaitForRead();
  window->close();
  // The simulator logs from its own process: wait for the line, not for the clock.
  WaitFor([&] { return !Received().empty() && Received().back() == "8<CR>"; }, 10000);
  const std::vector<std::string> got = Received();
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got.back(), "8<CR>");
}

TEST_F(MainWindowDeviceTest, shouldSendNothingWhenClosingWithThePortClosed) {
  window->close();
  QTest::qWait(200);
  EXPECT_TRUE(Received().empty());
}

class MainWindowLostLineTest : public MainWindowDeviceTest {
 protected:
  MainWindowLostLineTest() { fault = "hangup-mid-dump"; }
};

TEST_F(MainWindowLostLineTest, shouldEndTheBusyStateAndSayWhyWhenAReadEndsWithoutADocument) {
  ChoosePort();
  window->uiConnection->bOpenClose->click();
  ASSERT_TRUE(WaitFor(
      [&] {
        return env.Count(
                   QStringLiteral("The device settings were not read: the connection was lost during the read.")) == 1;
      },
      30000))
      << env.messages.join('|').toStdString();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(env.warnings, env.messages);
  EXPECT_EQ(window->StatusLine()->StepText(), QStringLiteral("The settings were not read"));
  EXPECT_TRUE(window->seReload->isEnabled()) << "the user can try again";
  EXPECT_FALSE(window->seApplySettings->isEnabled()) << "nothing was read to apply";
}

class MainWindowNoisyLineTest : public MainWindowDeviceTest {
 protected:
  MainWindowNoisyLineTest() { fault = "noise"; }
};

TEST_F(MainWindowNoisyLineTest, shouldWarnOfTheLinesANoisyLineSpoilt) {
  OpenAndWaitForRead();
  const QStringList warnings =
      env.messages.filter(QStringLiteral("could not be read even after reading them three times"));
  ASSERT_EQ(warnings.size(), 1) << env.messages.join('|').toStdString();
  EXPECT_TRUE(warnings[0].contains(QStringLiteral("line "))) << warnings[0].toStdString();
}

class MainWindowRefusingDeviceTest : public MainWindowDeviceTest {
 protected:
  MainWindowRefusingDeviceTest() { fault = "refuse-answers"; }
};

TEST_F(MainWindowRefusingDeviceTest, shouldWarnInPlainWordsWhenTheDeviceRefusesAWrite) {
  OpenAndWaitForRead();
  TfMain& w = *window;
  w.pServer->Form().ieServerCahceTimeout->SetValue(300);
  w.seApplySettingsClick();
  // The device stays stuck in its question, so the read that follows waits for it.
  ASSERT_TRUE(WaitFor([&] { return !env.warnings.isEmpty(); }, 90000)) << env.messages.join('|').toStdString();
  ASSERT_EQ(env.warnings.size(), 1) << env.messages.join('|').toStdString();
  const QString warning = env.warnings.front();
  EXPECT_TRUE(
      warning.startsWith(QStringLiteral("The settings were not stored.\n\nWriting the server settings failed at "
                                        "the question \"")))
      << warning.toStdString();
  EXPECT_FALSE(warning.contains(QLatin1Char('_'))) << warning.toStdString();
  EXPECT_EQ(w.StatusLine()->StepText(), QStringLiteral("The settings were not stored"));
  EXPECT_EQ(LoadState(env.Path("state.txt")).Get("Expert", "ARP_Cache_timeout_in_s"), "600");
  EXPECT_TRUE(TBackupStore().List("02-00-00-8F-1C-2E").empty()) << "nothing stored: no backup for undo to take";
  EXPECT_FALSE(w.seUndoApply->isEnabled());
}

class MainWindowSilentDeviceTest : public MainWindowDeviceTest {
 protected:
  MainWindowSilentDeviceTest() { fault = "silent"; }
};

TEST_F(MainWindowSilentDeviceTest, shouldCountTheSecondsOfTheWaitAndNameWhatToCheck) {
  window->SetWaitHintAfter(1000);
  OpenAndWaitASecond();
  EXPECT_TRUE(window->StatusLine()->PortText().contains("Check the power and the cable"));
  EXPECT_TRUE(window->seDisconnect->isEnabled()) << "the wait can be ended";
}

// Stop ends the wait at once: the worker gives up at the end of its current listen, well inside
// the bound, and the window never waits for it.
TEST_F(MainWindowSilentDeviceTest, shouldStopTheWaitAndKeepThePortOpen) {
  OpenAndWaitASecond();
  qint64 stalledMs = 0;
  ASSERT_TRUE(StopAndWaitForTheCommands(10000, stalledMs)) << env.messages.join('|').toStdString();
  EXPECT_LT(stalledMs, 5000);
  EXPECT_EQ(window->StatusLine()->StepText(), QStringLiteral("Stopped"));
  EXPECT_TRUE(env.warnings.isEmpty()) << env.warnings.join('|').toStdString();
  // No read is tried any more: the unit hears nothing after the stop.
  const size_t heard = Received().size();
  QTest::qWait(1500);
  EXPECT_EQ(Received().size(), heard);
}

class MainWindowChatterTest : public MainWindowDeviceTest {
 protected:
  MainWindowChatterTest() { fault = "chatter"; }
};

// A line that keeps talking held the window for the whole talk limit (15 s) once; Stop ends its
// wait well before it, and the window's event loop runs on all the while.
TEST_F(MainWindowChatterTest, shouldStopTheWaitOnATalkingLineLongBeforeTheTalkLimit) {
  OpenAndWaitASecond();
  qint64 stalledMs = 0;
  ASSERT_TRUE(StopAndWaitForTheCommands(10000, stalledMs)) << env.messages.join('|').toStdString();
  EXPECT_LT(stalledMs, 5000);
  EXPECT_EQ(window->StatusLine()->StepText(), QStringLiteral("Stopped"));
}

// Disconnect on a talking line closes the port without listening to the line until the talk
// limit: the unit was never heard in Setup Mode, so there is nothing to leave.
TEST_F(MainWindowChatterTest, shouldCloseAtOnceOnATalkingLine) {
  OpenAndWaitASecond();
  qint64 stalledMs = 0;
  ASSERT_TRUE(RunAndWait([&] { window->seDisconnectClick(); }, [&] { return !worker.IsPortOpen(); }, 10000, stalledMs));
  EXPECT_LT(stalledMs, 5000);
  EXPECT_EQ(window->StatusLine()->PortText(), QStringLiteral("Port closed"));
}

class MainWindowNoReturnTest : public MainWindowDeviceTest {
 protected:
  static constexpr int RestartLimitMs = 1500;
  MainWindowNoReturnTest() {
    fault = "no-return";
    worker.SetRestartLimit(RestartLimitMs);
  }

  // An Apply the unit stores, with the window left waiting for its return (no limit near).
  void ApplyAndWaitForTheStore() {
    worker.SetRestartLimit(120000);
    OpenAndWaitForRead();
    window->pServer->Form().ieServerCahceTimeout->SetValue(300);
    window->seApplySettingsClick();
    ASSERT_TRUE(WaitFor(
        [&] { return LoadState(env.Path("state.txt")).Get("Expert", "ARP_Cache_timeout_in_s") == "300"; }, 30000));
  }
};

// A unit that stores and is not heard of again: the window says what is true, stored and not
// checked, and gives its commands back once the restart limit has passed, give or take the
// listen under way; while it waits, Stop and Disconnect end the wait.
TEST_F(MainWindowNoReturnTest, shouldSayStoredNotCheckedAndGiveTheCommandsBackWithinTheRestartLimit) {
  OpenAndWaitForRead();
  TfMain& w = *window;
  w.pServer->Form().ieServerCahceTimeout->SetValue(300);
  QElapsedTimer applied;
  applied.start();
  w.seApplySettingsClick();
  EXPECT_FALSE(w.seReload->isEnabled());
  EXPECT_TRUE(w.seDisconnect->isEnabled() && w.seStop->isEnabled()) << "every wait can be stopped";
  ASSERT_TRUE(WaitFor([&] { return w.seReload->isEnabled(); }, 30000)) << env.messages.join('|').toStdString();
  EXPECT_LT(applied.elapsed(), RestartLimitMs + 8000) << "the walk, the store and the limit, with room to spare";
  EXPECT_TRUE(w.StatusLine()->StepText().startsWith(QStringLiteral("Stored, not checked")))
      << w.StatusLine()->StepText().toStdString();
  EXPECT_EQ(env.warnings.size(), 1) << env.messages.join('|').toStdString();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(LoadState(env.Path("state.txt")).Get("Expert", "ARP_Cache_timeout_in_s"), "300");
}

// Stopped while it waits for a unit that stored, the window says so, long before the limit.
TEST_F(MainWindowNoReturnTest, shouldSayStoredNotCheckedWhenTheWaitAfterTheStoreIsStopped) {
  ApplyAndWaitForTheStore();
  TfMain& w = *window;
  qint64 stalledMs = 0;
  ASSERT_TRUE(StopAndWaitForTheCommands(10000, stalledMs)) << env.messages.join('|').toStdString();
  EXPECT_TRUE(
      w.StatusLine()->StepText().startsWith(QStringLiteral("Stored, not checked: the wait for the unit was stopped")))
      << w.StatusLine()->StepText().toStdString();
  EXPECT_TRUE(w.seUndoApply->isEnabled()) << "what was stored can be taken back";
}

// Disconnected while it waits for a unit that stored, the window says so before the port closes.
TEST_F(MainWindowNoReturnTest, shouldSayStoredNotCheckedWhenDisconnectedAfterTheStore) {
  ApplyAndWaitForTheStore();
  TfMain& w = *window;
  w.seDisconnectClick();
  ASSERT_TRUE(WaitFor([&] { return !worker.IsPortOpen(); }, 10000));
  ASSERT_EQ(env.warnings.size(), 1) << env.messages.join('|').toStdString();
  EXPECT_TRUE(env.warnings[0].startsWith(QStringLiteral("Stored, not checked: the wait for the unit was stopped")))
      << env.warnings[0].toStdString();
  EXPECT_NE(w.seUndoApply->Caption(), QStringLiteral("Undo Apply")) << "offered, with the Apply's time";
}

}  // namespace
