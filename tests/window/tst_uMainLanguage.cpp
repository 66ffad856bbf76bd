// Language files on the real main window: names follow the run-time tree of the pages and the
// menu column, and the generated file keeps what a translator had already written.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QTabWidget>

#include "AfPortControls.h"
#include "PtyPair.h"
#include "ShapeEx.h"
#include "SimStates.h"
#include "WindowTestSupport.h"
#include "uKaVruneModel.h"
#include "uLanguage.h"
#include "uMain.h"
#include "uMainForms.h"
#include "uMainPrivate.h"
#include "uStatusLine.h"
#include "uTranscriptView.h"
#include "uXmlUtils.h"
#include "ufAbout.h"

namespace {

class MainWindowLanguageTest : public ::testing::Test {
 protected:
  ~MainWindowLanguageTest() override {
    // The engine is process-wide: leave a neutral file loaded for the tests that follow.
    WriteFile("neutral.xml", "<language debug=\"0\"/>");
    Language().LoadFromFile(env.Dir() + QStringLiteral("/neutral.xml"));
  }

  void WriteFile(const char* name, const std::string& text) {
    QFile f(env.Dir() + QLatin1Char('/') + QLatin1String(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.c_str());
  }
  std::unique_ptr<TfMain> Open(const std::string& languageFile) {
    WriteFile("Language.xml", languageFile);
    return std::make_unique<TfMain>(worker, nullptr, env.Dir());
  }

  TWindowTestEnv env;
  TDeviceWorker worker;
};

// The process-wide default locale for one test.
class TLocaleScope final {
 public:
  explicit TLocaleScope(const char* name) { QLocale::setDefault(QLocale(QString::fromLatin1(name))); }
  ~TLocaleScope() { QLocale::setDefault(old_); }
  TLocaleScope(const TLocaleScope&) = delete;
  TLocaleScope& operator=(const TLocaleScope&) = delete;

 private:
  QLocale old_;
};

TEST_F(MainWindowLanguageTest, shouldRenameAMenuButtonOnlyThroughItsPanel) {
  auto w = Open(R"(<language><forms><fMain>
      <pLeft><seNetwork caption="Netz"/></pLeft>
      <seServer caption="Diener"/>
    </fMain></forms></language>)");
  EXPECT_EQ(w->seNetwork->Caption(), QStringLiteral("Netz"));
  EXPECT_EQ(w->seServer->Caption(), QStringLiteral("Server")) << "the button lies on pLeft, not on the window";
  EXPECT_TRUE(env.messages.filter(QStringLiteral("Cannot load")).isEmpty());
}

TEST_F(MainWindowLanguageTest, shouldReportAPropertyTheControlDoesNotHave) {
  auto w = Open(R"(<language><forms><fMain>
      <pLeft><seNetwork caption="Netz"/></pLeft>
      <pNetwork><eDHCPName caption="x"/></pNetwork>
    </fMain></forms></language>)");
  EXPECT_EQ(env.Count(QStringLiteral("Cannot load language file: Property caption does not exist")), 1)
      << env.messages.join('|').toStdString();
  EXPECT_EQ(w->seNetwork->Caption(), QStringLiteral("Netz")) << "what was applied before the error stays";
}

TEST_F(MainWindowLanguageTest, shouldReplaceAListOnTheChannelTabAndLoseASelectionBeyondIt) {
  auto w = Open(R"(<language><forms><fMain><pcChannel1><TabSheet5>
      <cbChannel1Baudrate><items><item value="a"/><item value="b"/><item value="c"/></items></cbChannel1Baudrate>
    </TabSheet5></pcChannel1></fMain></forms></language>)");
  QComboBox* baud = w->pcChannel1->Form().cbChannel1Baudrate;
  ASSERT_EQ(baud->count(), 3);
  EXPECT_EQ(baud->itemText(2), QStringLiteral("c"));
  EXPECT_EQ(baud->currentIndex(), -1);
}

TEST_F(MainWindowLanguageTest, shouldShowKeysAndNamesInDebugModeFour) {
  auto w = Open(R"(<language debug="4"><forms><fMain>
      <pLeft><seNetwork caption="Netz"/></pLeft>
    </fMain></forms></language>)");
  EXPECT_EQ(w->seNetwork->Caption(), QStringLiteral("<seNetwork>"));
  EXPECT_EQ(w->uiConnection->bOpenClose->text(), QStringLiteral("<bOpenClose_Open>"));
}

TEST_F(MainWindowLanguageTest, shouldExportIntoAnExistingFileKeepingItsConstSection) {
  auto w = Open("<language/>");
  WriteFile("Export.xml",
            "<?xml version=\"1.0\" encoding=\"windows-1250\"?><language name=\"language\">"
            "<const><bits text=\" bit\xF9\"/></const></language>");  // "ů" in windows-1250
  const QString old = QDir::currentPath();
  QDir::setCurrent(env.Dir());
  w->Button2->click();
  QDir::setCurrent(old);
  PXmlDocument doc = TXmlDocument::LoadFromFile(env.Path("Export.xml"));
  TXmlElement root = doc->Root();
  EXPECT_EQ(FindNodePath(root, "const/bits", false).Attribute("text").value_or(""), " bitů");
  TXmlElement button = FindNodePath(root, "forms/fMain/pLeft/seNetwork", false);
  ASSERT_TRUE(button);
  EXPECT_EQ(button.Attribute("caption").value_or(""), "Network");
  TXmlElement baud = FindNodePath(root, "forms/fMain/pcChannel1/TabSheet5/cbChannel1Baudrate/items", false);
  ASSERT_TRUE(baud);
  EXPECT_EQ(baud.ChildCount(), 12);
}

TEST_F(MainWindowLanguageTest, shouldLookBesideTheProgramThenInTheInstalledFolderLocaleFirst) {
  const QString program = QCoreApplication::applicationDirPath();
  const QString installed = QDir::cleanPath(program + QStringLiteral("/../share/kavrune"));
  EXPECT_EQ(TfMain::LanguageFileCandidates(QString(), QLocale(QStringLiteral("cs_CZ"))),
            QStringList({program + "/Language.cs.xml", program + "/Language.xml", installed + "/Language.cs.xml",
                         installed + "/Language.xml"}));
  EXPECT_EQ(TfMain::LanguageFileCandidates(QStringLiteral("/x"), QLocale(QStringLiteral("en_GB"))),
            QStringList({QStringLiteral("/x/Language.xml")}));
}

TEST_F(MainWindowLanguageTest, shouldTakeTheLocalesFileAndFallBackToLanguageXml) {
  WriteFile("Language.cs.xml",
            "<language><forms><fMain><pLeft><seNetwork caption=\"S\xC3\xAD\xC5\xA5\"/>"
            "</pLeft></fMain></forms></language>");
  {
    TLocaleScope czech("cs_CZ");
    EXPECT_EQ(Open("<language/>")->seNetwork->Caption(), QString::fromUtf8("Síť"));
  }
  TLocaleScope german("de_DE");
  EXPECT_EQ(Open("<language><forms><fMain><pLeft><seNetwork caption=\"N\"/></pLeft></fMain></forms></language>")
                ->seNetwork->Caption(),
            QStringLiteral("N"));
  EXPECT_TRUE(env.messages.isEmpty()) << env.messages.join('|').toStdString();
}

// The files we ship: each applies without a word, leaves the live port list alone, offers the
// same keyed texts as the English one, and translates no list entry that stands for a device's
// word: the same device reads and writes back the same in every language.
TEST_F(MainWindowLanguageTest, shippedFilesShouldApplyQuietlyWithEveryKey) {
  TempComDir comDir;
  PtyPair pty(&comDir, 1);
  auto keys = [](const QString& path) {
    QStringList out;
    const PXmlDocument doc = TXmlDocument::LoadFromFile(path.toStdString());
    for (const TXmlElement& key : doc->Root().FirstChild("const").Children()) out << QString::fromStdString(key.Name());
    return out;
  };
  const QString data = QStringLiteral(KAVRUNE_DATA_SOURCE_DIR);
  const QStringList english = keys(data + "/Language.xml");
  EXPECT_TRUE(english.contains(QStringLiteral("Done_Defaults")));
  for (const TSettingRow& row : SettingRows()) {  // a setting the device did not take is named in words
    if (row.Writable()) {
      EXPECT_TRUE(english.contains(QString::fromStdString(SettingLanguageKey(row).first))) << row.Name;
    }
  }
  std::vector<std::string> englishWrites;
  const std::tuple<const char*, const char*, const char*> files[] = {
      {"Language.xml", "Port closed", "simulator"},
      {"Language.de.xml", "Port geschlossen", "Simulator"},
      {"Language.cs.xml", "Port zavřen", "simulátor"}};
  for (const auto& [name, closed, simulator] : files) {
    SCOPED_TRACE(name);
    const QString path = data + QLatin1Char('/') + QLatin1String(name);
    QFile::remove(env.Dir() + "/Language.xml");
    ASSERT_TRUE(QFile::copy(path, env.Dir() + "/Language.xml"));
    TfMain w(worker, nullptr, env.Dir());
    EXPECT_TRUE(env.messages.isEmpty()) << env.messages.join('|').toStdString();
    ASSERT_EQ(w.uiConnection->AfPortComboBox1->count(), 1);
    EXPECT_EQ(w.uiConnection->AfPortComboBox1->itemText(0), QStringLiteral("COM 1"));
    EXPECT_TRUE(w.uiConnection->AfPortComboBox1->ItemDescription(0).startsWith(QString::fromUtf8(simulator) + ", "))
        << w.uiConnection->AfPortComboBox1->ItemDescription(0).toStdString();
    EXPECT_EQ(keys(path), english);
    EXPECT_EQ(w.StatusLine()->PortText(), QString::fromUtf8(closed)) << "the status block speaks the file's language";
    for (bool high : {false, true}) {
      w.LoadReadDocument(DumpDocument(EdgeState(high))->Root());
      TXmlElement root = TXmlDocument::CreateFromText("<xml/>")->Root();
      w.BuildWriteDocument(root);
      std::string written = root.Document()->SaveToText();
      for (const QComboBox* list : w.findChildren<QComboBox*>())  // what each list shows of the read
        written += list->objectName().toStdString() + '=' + std::to_string(list->currentIndex()) + '\n';
      if (englishWrites.size() < 2) englishWrites.push_back(written);
      else EXPECT_EQ(written, englishWrites[high]) << (high ? "high" : "low") << " edge state";
    }
  }
}

TEST_F(MainWindowLanguageTest, aboutBoxTranscriptAndWlanListsShouldSpeakTheFilesLanguage) {
  const QString data = QStringLiteral(KAVRUNE_DATA_SOURCE_DIR);
  ASSERT_TRUE(QFile::copy(data + "/Language.de.xml", env.Dir() + "/Language.xml"));
  TfMain w(worker, nullptr, env.Dir());
  EXPECT_EQ(w.About()->findChild<QLabel*>("Label6")->text(), QStringLiteral("Telefon:"));
  w.pWLAN->cbWLANNetworkTypeChange(w.pWLAN->Form().cbWLANNetworkType);
  EXPECT_EQ(w.pWLAN->Form().cbWLANSecurity->itemText(0), QStringLiteral("Keine"));
  // A list the window shows but never writes says why it is greyed.
  EXPECT_TRUE(w.pNetwork->Form().cbNetworkMode->toolTip().startsWith(QStringLiteral("Zeigt den Modus")));
  EXPECT_FALSE(w.pcChannel1->Form().cbChannel1LineMode->toolTip().isEmpty());
  w.seTranscriptClick();
  EXPECT_EQ(w.TranscriptView()->findChild<QPushButton*>()->text(), QStringLiteral("Schließen"));
  w.TranscriptView()->close();
  // Qt's own buttons and the file dialogs' filters.
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Ja"));
  QFileDialog open;
  w.ConfigureOpenDialog(open);
  EXPECT_EQ(open.nameFilters(), QStringList{QStringLiteral("kaVRUNE-Einstellungsdateien (*.xml *.kvx)")});
  // The engine's sentences in failure boxes; what the device printed stays as it was.
  TWriteReport failed;
  failed.Failure = TWriteFailure::LeaveUnconfirmed;
  failed.Detail = "Writing x failed (the device printed \"?\").";
  EXPECT_EQ(
      FailureWords(failed),
      QString::fromUtf8("Writing x failed (the device printed \"?\"). Nichts wurde gespeichert, aber das Gerät hat "
                        "das Verlassen des Setup-Modus nicht bestätigt: Schalten Sie es aus und wieder ein."));
}

// Why a visible widget's text does not fit it, from its font's metrics against its geometry;
// empty when it fits.
QString TextOverflow(const QWidget* widget) {
  const QFontMetrics fm(widget->font());
  auto tooWide = [&](const QString& text, int room) {
    for (const QString& line : text.split(QLatin1Char('\n')))
      if (fm.horizontalAdvance(line) > room)
        return QStringLiteral("\"%1\" needs %2 px, has %3").arg(line).arg(fm.horizontalAdvance(line)).arg(room);
    return QString();
  };
  if (const auto* label = qobject_cast<const QLabel*>(widget)) {
    if (label->text().isEmpty() || !label->pixmap().isNull()) return {};
    const QRect room = label->contentsRect();
    QString text = label->text();
    if (label->textFormat() == Qt::RichText || Qt::mightBeRichText(text)) return {};
    if (label->wordWrap()) {
      const QRect need = fm.boundingRect(QRect(0, 0, room.width(), 100000), Qt::TextWordWrap, text);
      if (need.height() > room.height() || need.width() > room.width())
        return QStringLiteral("\"%1\" wraps to %2x%3 px, has %4x%5")
            .arg(text)
            .arg(need.width())
            .arg(need.height())
            .arg(room.width())
            .arg(room.height());
      return {};
    }
    if (const QString wide = tooWide(text, room.width()); !wide.isEmpty()) return wide;
    const int lines = static_cast<int>(text.count(QLatin1Char('\n'))) + 1;
    if (fm.lineSpacing() * (lines - 1) + fm.height() > room.height())
      return QStringLiteral("\"%1\": %2 lines need %3 px height, has %4")
          .arg(text)
          .arg(lines)
          .arg(fm.lineSpacing() * (lines - 1) + fm.height())
          .arg(room.height());
    return {};
  }
  if (qobject_cast<const QCheckBox*>(widget) || qobject_cast<const QRadioButton*>(widget)) {
    const auto* button = static_cast<const QAbstractButton*>(widget);
    if (button->text().isEmpty()) return {};
    QStyleOptionButton option;
    option.initFrom(button);
    const bool check = qobject_cast<const QCheckBox*>(widget);
    const QRect room = button->style()->subElementRect(
        check ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents, &option, button);
    return tooWide(button->text(), room.width());
  }
  if (const auto* button = qobject_cast<const QPushButton*>(widget))
    return tooWide(button->text(), button->width() - 8);
  if (const auto* shape = qobject_cast<const TShapeEx*>(widget)) return tooWide(shape->Caption(), shape->width() - 4);
  if (const auto* box = qobject_cast<const QGroupBox*>(widget)) return tooWide(box->title(), box->width() - 16);
  // A closed list shows its chosen item; the open list grows to its longest.
  if (const auto* list = qobject_cast<const QComboBox*>(widget)) {
    QStyleOptionComboBox option;
    option.initFrom(list);
    const QRect room = list->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list);
    return tooWide(list->currentText(), room.width());
  }
  return {};
}

// Every text of every page fits its widget in each shipped language, word wrap included.
TEST_F(MainWindowLanguageTest, everyTextShouldFitItsWidgetInEveryShippedLanguage) {
  const QString data = QStringLiteral(KAVRUNE_DATA_SOURCE_DIR);
  for (const char* name : {"Language.xml", "Language.de.xml", "Language.cs.xml"}) {
    SCOPED_TRACE(name);
    QFile::remove(env.Dir() + "/Language.xml");
    ASSERT_TRUE(QFile::copy(data + QLatin1Char('/') + QLatin1String(name), env.Dir() + "/Language.xml"));
    TfMain w(worker, nullptr, env.Dir());
    w.show();
    auto check = [&](const QString& where) {
      QCoreApplication::processEvents();
      for (const QWidget* widget : w.findChildren<QWidget*>()) {
        if (!widget->isVisible()) continue;
        if (const QString overflow = TextOverflow(widget); !overflow.isEmpty())
          ADD_FAILURE() << where.toStdString() << ": " << widget->objectName().toStdString() << " "
                        << overflow.toStdString();
        // A text's own room is no room when its panel cuts it off.
        const QWidget* panel = widget->parentWidget();
        const auto* label = qobject_cast<const QLabel*>(widget);
        const auto* box = qobject_cast<const QGroupBox*>(widget);
        const auto* button = qobject_cast<const QAbstractButton*>(widget);
        const bool text = (label && !label->text().isEmpty()) || (box && !box->title().isEmpty()) ||
                          (button && !button->text().isEmpty());
        if (text && panel && !widget->isWindow() && !panel->rect().contains(widget->geometry()))
          ADD_FAILURE() << where.toStdString() << ": " << widget->objectName().toStdString() << " reaches out of "
                        << panel->objectName().toStdString();
      }
    };
    check(QStringLiteral("connection"));
    // The status block with its longest texts, two at once and edits under them: each line gets
    // the height its words need, none lies over another, and the newest step is in view.
    TStatusLine* status = w.StatusLine();
    const QString unit = LangText("Status_Connected", "").arg(1) + QLatin1Char('\n') +
                         LangText("Status_Mac", "").arg(QStringLiteral("02-00-00-8F-1C-2E")) + QLatin1Char('\n') +
                         LangText("Status_Firmware", "").arg(QStringLiteral("V6.7.0.2 (091201)"));
    const QString waiting = LangText("Status_Waiting", "").arg(1);
    for (const auto& [port, step] :
         {std::pair{unit, "Step_LeftForReload"}, std::pair{waiting, "Outcome_StoredNotChecked"},
          std::pair{unit, "Done_Defaults"}}) {
      status->ShowPort(port);
      status->ShowOutcome(LangText(step, ""), TStatusLine::TOutcome::Notice);
      status->ShowEdits(LangText("Edits_Many", "").arg(12) + QLatin1Char('\n') +
                            LangText("Range_Fault", "").arg(QStringLiteral("MTU"), QStringLiteral("512 - 1400")),
                        true);
      check(QLatin1String(step));
      const auto lines = status->findChildren<QWidget*>(QRegularExpression(QStringLiteral("^(lStatus|pbStatus)")));
      for (const QWidget* a : lines)
        for (const QWidget* b : lines)
          if (a < b && a->isVisible() && b->isVisible() && a->geometry().intersects(b->geometry()))
            ADD_FAILURE() << step << ": " << a->objectName().toStdString() << " over " << b->objectName().toStdString();
      const QWidget* shown = status->findChild<QWidget*>(QStringLiteral("lStatusEdits"));
      const auto* area = status->findChild<QScrollArea*>();
      ASSERT_TRUE(area) << "the block cannot scroll";
      EXPECT_TRUE(area->viewport()->rect().contains(QRect(shown->mapTo(area->viewport(), QPoint()), shown->size())))
          << step;
    }
    // The panels each state shows: TCP and UDP channels, WEP and WPA2, both edges of every text.
    for (const TSimSettings& state : {EdgeState(false), EdgeState(true), ShowcaseState()}) {
      w.LoadReadDocument(DumpDocument(state)->Root());
      for (TShapeEx* page : {w.seNetwork, w.seServer, w.seServices, w.seChannel1, w.seChannel2, w.seWLAN}) {
        w.PageButtonClick(page);
        if (page != w.seChannel1 && page != w.seChannel2) {
          check(page->objectName());
          continue;
        }
        for (int tab = 0; tab < w.pcChannel1->count(); ++tab) {
          w.pcChannel1->setCurrentIndex(tab);
          check(page->objectName() + QLatin1Char('/') + QString::number(tab));
        }
      }
    }
    // The flow control list on its label's line, in the column of the serial lists, each of its
    // choices in full.
    const Ui::pcChannel1& serial = w.pcChannel1->Form();
    QComboBox* flow = serial.cbChannel1Flow;
    const QLabel* flowLabel = w.pcChannel1->findChild<QLabel*>(QStringLiteral("Label210"));
    ASSERT_TRUE(flowLabel);
    EXPECT_EQ(flow->geometry().center().y(), flowLabel->geometry().center().y());
    EXPECT_EQ(flow->x(), serial.cbChannel1Baudrate->x());
    EXPECT_EQ(flowLabel->x(), serial.lChannel1Baudrate->x());
    for (int item = 0; item < flow->count(); ++item) {
      flow->setCurrentIndex(item);
      EXPECT_EQ(TextOverflow(flow), QString());
    }
  }
}

}  // namespace
