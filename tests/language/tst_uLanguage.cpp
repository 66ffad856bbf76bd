#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <ostream>

#include "LanguageMiniMain.h"
#include "uLanguage.h"
#include "uXmlUtils.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

class LanguageTest : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  TMiniMain ui;
  TLanguage lang;

  QString Write(const QByteArray& body, const QByteArray& rootAttributes = {}) {
    const QString path = dir.filePath("Language.xml");
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("<?xml version=\"1.0\" encoding=\"windows-1250\"?>\n<language " + rootAttributes + ">" + body +
            "</language>");
    return path;
  }
  void Load(const QByteArray& body, const QByteArray& rootAttributes = {}) {
    lang.LoadFromFile(Write(body, rootAttributes));
  }
  // The message of what the load raised, or empty when it succeeded.
  QString LoadError(const QByteArray& body, const QByteArray& rootAttributes = {}) {
    try {
      Load(body, rootAttributes);
    } catch (const std::exception& e) {
      return QString::fromUtf8(e.what());
    }
    return {};
  }
  static QString ReadText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(Cp1250ToUtf8(f.readAll().toStdString())) : QString();
  }
};

TEST_F(LanguageTest, shouldRenameButtonOnlyAtItsPlaceInTheTree) {
  Load("<forms><fMain caption='Nastaven\xED'><pLeft><seNetwork caption='S\xED\x9D' hint='IP'/></pLeft>"
       "<seServer caption='Server!'/></fMain></forms>");
  EXPECT_EQ(ui.seNetwork->Caption(), u"S\u00ED\u0165") << "windows-1250 text arrives as its characters";
  EXPECT_EQ(ui.seNetwork->Hint(), "IP");
  EXPECT_EQ(ui.fMain->windowTitle(), u"Nastaven\u00ED");
  EXPECT_EQ(ui.seServer->Caption(), "Server") << "seServer is placed on pLeft, not on the window";
}

TEST_F(LanguageTest, shouldReachTabPagesAndTheirControlsUnderTheTabControl) {
  Load("<forms><fMain><pcChannel1><tsChannel1Connection caption='Spojen\xED'><pChannel1ConnectionTCP>"
       "<ieChannel1ConnectionPort ShowHint='True' HINT='Port'/></pChannel1ConnectionTCP>"
       "</tsChannel1Connection></pcChannel1></fMain></forms>");
  EXPECT_EQ(ui.pcChannel1->tabText(1), u"Spojen\u00ED");
  EXPECT_EQ(ui.ieChannel1ConnectionPort->toolTip(), "Port") << "attribute names ignore letter case";
}

TEST_F(LanguageTest, shouldRefuseNamesThatAreNoPropertyAndKeepWhatWasApplied) {
  EXPECT_EQ(LoadError("<forms><fMain><pConnection><bOpenClose caption='Otev\xF8\xEDt'/></pConnection>"
                      "<pNetwork><eDHCPName caption='x'/><rbStaticIP caption='never'/></pNetwork></fMain></forms>"),
            "Property caption does not exist");
  EXPECT_EQ(ui.bOpenClose->text(), u"Otev\u0159\u00EDt");
  EXPECT_EQ(ui.rbStaticIP->text(), "Use the following IP configuration");

  EXPECT_EQ(LoadError("<forms><fMain><pNetwork><eDHCPName Colour='red'/></pNetwork></fMain></forms>"),
            "Property Colour does not exist");
  EXPECT_TRUE(ui.eDHCPName->dynamicPropertyNames().isEmpty()) << "no property may be made up";
  EXPECT_EQ(LoadError("<forms><fMain><secsMenu hint='x'/></fMain></forms>"), "Property hint does not exist")
      << "a colour schema is no control and has no hint";
}

TEST_F(LanguageTest, shouldSetFurtherPropertiesByNameWithTheirTypes) {
  Load("<forms><fMain><pLeft><seServer Shape='stCircle' enabled='False' Width='99'/></pLeft>"
       "<pNetwork><cbNetworkMode ItemIndex='$2'/><eDHCPName text='host'/></pNetwork></fMain></forms>");
  EXPECT_EQ(ui.seServer->Shape(), TShapeEx::stCircle);
  EXPECT_FALSE(ui.seServer->isEnabled());
  EXPECT_EQ(ui.seServer->width(), 99);
  EXPECT_EQ(ui.cbNetworkMode->currentIndex(), 2);
  EXPECT_EQ(ui.eDHCPName->text(), "host");
  EXPECT_EQ(LoadError("<forms><fMain><pNetwork><cbNetworkMode ItemIndex='2x'/></pNetwork></fMain></forms>"),
            "'2x' is not a valid integer value");
}

TEST_F(LanguageTest, shouldReplaceListsQuietlyAndLoseSelectionBeyondTheNewList) {
  QSignalSpy changes(ui.cbChannel1Baudrate, &QComboBox::currentIndexChanged);
  Load("<forms><fMain><pcChannel1><TabSheet5><cbChannel1Baudrate><items><item value='1200'/><x value='no'/>"
       "<item value='2400'/><item/></items></cbChannel1Baudrate></TabSheet5></pcChannel1>"
       "<pNetwork><cbNetworkMode><items><item value='Kabel'/><item value='Vzduch'/></items></cbNetworkMode>"
       "</pNetwork><Memo1><items><item value='one'/><item value='two'/></items></Memo1>"
       "<rgMode><items><item value='X'/><item value='Y'/><item value='Z'/></items></rgMode></fMain></forms>");
  EXPECT_EQ(ui.cbChannel1Baudrate->count(), 3);
  EXPECT_EQ(ui.cbChannel1Baudrate->itemText(2), "<Error In Lng File>");
  EXPECT_EQ(ui.cbChannel1Baudrate->currentIndex(), -1) << "index 5 lies beyond three entries";
  EXPECT_EQ(changes.count(), 0) << "filling a list from code raises no change";
  EXPECT_EQ(ui.cbNetworkMode->currentText(), "Vzduch") << "index 1 stays selected";
  EXPECT_EQ(ui.Memo1->toPlainText(), "one\ntwo");
  ASSERT_EQ(ui.rgModeButtons->buttons().size(), 3);
  EXPECT_EQ(ui.rgModeButtons->buttons()[2]->text(), "Z");
  EXPECT_TRUE(ui.rgModeButtons->buttons()[1]->isChecked());
}

TEST_F(LanguageTest, shouldShowNamesInDebugModeFour) {
  Load("<const><bOpenClose_Open text='Otev\xF8\xEDt'/></const><forms><fMain><pLeft>"
       "<seNetwork caption='S\xED\x9D'/><seServer/></pLeft><pConnection><bOpenClose caption='x' hint='y'/>"
       "</pConnection></fMain></forms>",
       "debug='4'");
  EXPECT_EQ(lang.DebugMode(), 4);
  EXPECT_EQ(ui.seNetwork->Caption(), "<seNetwork>");
  EXPECT_EQ(ui.seNetwork->Hint(), u"S\u00ED\u0165") << "the hint tells the translated caption";
  EXPECT_TRUE(ui.seNetwork->ShowHint());
  EXPECT_EQ(ui.seServer->Caption(), "Server") << "an element without attributes changes nothing";
  EXPECT_EQ(ui.bOpenClose->text(), "<bOpenClose>");
  EXPECT_EQ(ui.bOpenClose->toolTip(), "x");
  EXPECT_EQ(lang.GetText("bOpenClose_Open", "Open"), "<bOpenClose_Open>");
}

TEST_F(LanguageTest, shouldDecorateTextsInDebugModesOneToThree) {
  const QByteArray consts = "<const><WLAN_Security_None text='\x8E\xE1\x64n\xE9'/><WLAN_Security_WPA/></const>";
  const QByteArray forms =
      "<forms><fMain><pConnection><bOpenClose caption='Open'/></pConnection>"
      "<pNetwork><cbNetworkMode ItemIndex='0'/></pNetwork></fMain></forms>";
  EXPECT_EQ(lang.GetText("WLAN_Security_WEP", "WEP"), "WEP") << "no file, no decoration";

  Load(consts + forms, "debug='1'");
  EXPECT_EQ(lang.GetText("WLAN_Security_None", "None"), u"*\u017D\u00E1dn\u00E9");
  EXPECT_EQ(lang.GetText("WLAN_Security_WEP", "WEP"), "*WEP");
  EXPECT_EQ(ui.cbNetworkMode->currentIndex(), 0) << "a number is set undecorated";
  EXPECT_EQ(ui.bOpenClose->text(), "*Open");
  EXPECT_EQ(ui.bOpenClose->toolTip(), "bOpenClose") << "the hint names the component";

  Load(consts + forms, "debug='2'");
  EXPECT_EQ(lang.GetText("WLAN_Security_WEP", "WEP"), "[WEP]");
  EXPECT_EQ(ui.bOpenClose->text(), "{Open}");

  Load(consts + forms, "debug='3'");
  EXPECT_EQ(lang.GetText("WLAN_Security_WEP", "WEP"), "!WEP!") << "missing from the file";
  EXPECT_EQ(lang.GetText("WLAN_Security_WPA", "WPA"), "!WPA!") << "an element without text is missing too";
  EXPECT_EQ(lang.GetText("WLAN_Security_None", "None"), u"[\u017D\u00E1dn\u00E9]");

  Load(consts, "debug='0'");
  EXPECT_EQ(lang.GetText("WLAN_Security_None", "None"), u"\u017D\u00E1dn\u00E9");
  Load("<const><Channel_Baudrate_HINT text='CPU!'/></const>");
  EXPECT_EQ(lang.GetText("Channel_Baudrate_HINT ", "Requires CPU high performance! (Server)"), "CPU!")
      << "a blank after the key is no part of it";
}

TEST_F(LanguageTest, shouldReportMissingOrBrokenFilesAndKeepThePreviousOne) {
  Load("<const><bits text=' bit\xF9'/></const>", "debug='2'");
  const QString missing = dir.filePath("nothing.xml");
  try {
    lang.LoadFromFile(missing);
    FAIL() << "a missing file must raise";
  } catch (const ELanguageError& e) {
    EXPECT_EQ(QString::fromUtf8(e.what()), QStringView(u"Soubor s p\u0159ekladem:\"").toString() + missing + "\" nenalezen!");
  }
  EXPECT_NE(LoadError("<const>"), QString()) << "malformed";
  EXPECT_EQ(LoadError("", "debug='one'"), "'one' is not a valid integer value");
  EXPECT_EQ(lang.DebugMode(), 2);
  EXPECT_EQ(lang.GetText("bits", " bits"), u"[ bit\u016F]");
}

TEST_F(LanguageTest, shouldFindBackslashNamesBesideTheExecutable) {
  const QString name = QStringLiteral("tst_uLanguage_%1.xml").arg(QCoreApplication::applicationPid());
  const QString beside = QCoreApplication::applicationDirPath() + "/" + name;
  QFile::copy(Write("<const><k text='beside'/></const>"), beside);
  lang.LoadFromFile("\\" + name);
  QFile::remove(beside);
  EXPECT_EQ(lang.GetText("k", "default"), "beside");
  EXPECT_THROW(lang.LoadFromFile("\\\\" + name), ELanguageError) << "two backslashes are no executable path";
}

TEST_F(LanguageTest, shouldApplyToOneWindowWithoutEverRaising) {
  const QString path = Write("<forms><fMain><pConnection><bOpenClose caption='A'/></pConnection>"
                             "<pNetwork><eDHCPName caption='bad'/></pNetwork></fMain></forms>");
  EXPECT_THROW(lang.LoadFromFile(path), ELanguageError);
  ui.bOpenClose->setText("changed");
  EXPECT_NO_THROW(lang.ApplyToWindow(ui.fMain.get()));
  EXPECT_EQ(ui.bOpenClose->text(), "A");
}

TEST_F(LanguageTest, shouldLeaveWindowsOwnedByAnotherWindowAlone) {
  auto* about = TMiniMain::Named(new QDialog(ui.fMain.get()), "fAbout");
  auto* label = TMiniMain::Named(new QLabel("Verze:", about), "lVersion");
  Load("<forms><fAbout><lVersion caption='Version:'/></fAbout></forms>");
  EXPECT_EQ(label->text(), "Verze:");
  lang.ExportLanguageFile(dir.filePath("Export.xml"));
  EXPECT_FALSE(ReadText(dir.filePath("Export.xml")).contains("fAbout"));
}

TEST_F(LanguageTest, shouldExportTheWholeTreeInWindows1250) {
  ui.bOpenClose->setText(u"Otev\u0159\u00EDt"_qs);
  ui.eDHCPName->setToolTip("Host name");
  const QString path = dir.filePath("Export.xml");
  lang.ExportLanguageFile(path);
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray bytes = f.readAll();
  EXPECT_TRUE(bytes.contains("encoding=\"windows-1250\""));
  EXPECT_TRUE(bytes.contains("Otev\xF8\xEDt")) << bytes.constData();

  PXmlDocument doc = TXmlDocument::LoadFromFile(path.toStdString());
  TXmlElement root = doc->Root();
  EXPECT_EQ(root.Name(), "language");
  EXPECT_EQ(root.Attribute("name"), "language");
  TXmlElement main = FindNodePath(root, "forms/fMain", false);
  ASSERT_TRUE(main);
  EXPECT_EQ(main.Attribute("caption"), "kaVRUNE setup v.x.y");
  EXPECT_EQ(main.Children()[0].Name(), "secsMenu") << "owned components come before the controls";
  EXPECT_EQ(FindNodePath(main, "pLeft/seNetwork", false).Attribute("caption"), "Network");
  EXPECT_EQ(FindNodePath(main, "pNetwork/eDHCPName", false).Attribute("hint"), "Host name");
  EXPECT_FALSE(FindNodePath(main, "pNetwork/eDHCPName", false).HasAttribute("caption"));
  EXPECT_EQ(FindNodePath(main, "pcChannel1/tsChannel1Connection", false).Attribute("caption"), "Connection");
  TXmlElement port = FindNodePath(main, "pcChannel1/tsChannel1Connection/pChannel1ConnectionTCP/"
                                        "ieChannel1ConnectionPort", false);
  ASSERT_TRUE(port);
  EXPECT_EQ(port.ChildCount(), 0) << "the parts of a numeric edit are not controls of the window";
  EXPECT_EQ(FindNodePath(main, "pNetwork/ipIP_addr", false).ChildCount(), 0);
  TXmlElement baud = FindNodePath(main, "pcChannel1/TabSheet5/cbChannel1Baudrate/items", false);
  ASSERT_EQ(baud.ChildCount(), 12);
  EXPECT_EQ(baud.Children()[5].Attribute("value"), "9600");
  EXPECT_EQ(FindNodePath(main, "Memo1/items/item", false).Attribute("value"), "Memo1");
  EXPECT_FALSE(doc->SaveToText().find("qt_") != std::string::npos);
  TXmlElement picker = FindNodePath(main, "pConnection/AfPortComboBox1", false);
  ASSERT_TRUE(picker);
  EXPECT_EQ(picker.ChildCount(), 0) << "the ports of this machine are no text to translate";

  // What was exported loads back onto the window as it was.
  ui.seNetwork->SetCaption("changed");
  ui.cbChannel1Baudrate->clear();
  lang.LoadFromFile(path);
  EXPECT_EQ(ui.seNetwork->Caption(), "Network");
  EXPECT_EQ(ui.cbChannel1Baudrate->count(), 12);

  Load("<forms><fMain><pConnection><AfPortComboBox1><items><item value='COM 9'/></items></AfPortComboBox1>"
       "</pConnection></fMain></forms>");
  EXPECT_EQ(ui.AfPortComboBox1->itemText(1), "COM 2") << "a file's entries never replace the live list";
}

TEST_F(LanguageTest, shouldExportIntoAnExistingFileKeepingItsConstSection) {
  const QString path = Write("<const><bOpenClose_Open text='Otev\xF8\xEDt'/></const>", "name='cz'");
  lang.ExportLanguageFile(path);
  lang.ExportLanguageFile(path);
  PXmlDocument doc = TXmlDocument::LoadFromFile(path.toStdString());
  TXmlElement root = doc->Root();
  EXPECT_EQ(FindNodePath(root, "const/bOpenClose_Open", false).Attribute("text"), "Otev\xC5\x99\xC3\xADt");
  TXmlElement forms = root.FirstChild("forms");
  ASSERT_EQ(forms.ChildCount(), 2) << "each export appends the window once more";
  EXPECT_EQ(forms.Children()[1].Name(), "fMain");
  EXPECT_EQ(root.ChildCount(), 2) << "one forms section";
}

TEST_F(LanguageTest, shouldKeepHintsOfPlainWidgetsBesideThemUntilShown) {
  SetControlHint(ui.eDHCPName, "hidden");
  EXPECT_EQ(ui.eDHCPName->toolTip(), "") << "a hint shows only with ShowHint";
  EXPECT_EQ(ControlHint(ui.eDHCPName), "hidden");
  SetControlShowHint(ui.eDHCPName, true);
  EXPECT_EQ(ui.eDHCPName->toolTip(), "hidden");
  SetControlShowHint(ui.eDHCPName, false);
  EXPECT_EQ(ui.eDHCPName->toolTip(), "");
  EXPECT_EQ(ControlHint(ui.eDHCPName), "hidden");
}

}  // namespace
