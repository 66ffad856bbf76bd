#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "uXmlUtils.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

struct TempDir {
  std::string path;
  TempDir() {
    char tmpl[] = "/tmp/kavrune-xml-XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
};

}  // namespace

TEST(SettingsDocument, shouldKeepChildOrderAndDuplicates) {
  auto doc = TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText);
  TXmlElement root = doc->Root();
  EXPECT_EQ(root.Name(), "kaVrune");
  TXmlElement s = root.AppendChild("basic_parameters");
  s.AppendChild("IP_addr").SetText("1.2.3.4");
  s.AppendChild("gateway");
  s.AppendChild("IP_addr").SetText("second");
  auto children = s.Children();
  ASSERT_EQ(children.size(), 3u);
  EXPECT_EQ(children[0].Name(), "IP_addr");
  EXPECT_EQ(children[1].Name(), "gateway");
  std::string text = "preset";
  EXPECT_TRUE(GetKeyText(s, "IP_addr", text));
  EXPECT_EQ(text, "1.2.3.4") << "lookups see the first of repeated keys";
  EXPECT_TRUE(GetKeyText(s, "gateway", text));
  EXPECT_EQ(text, "") << "a key without text is present with the empty value";
  text = "default";
  EXPECT_FALSE(GetKeyText(s, "missing", text));
  EXPECT_EQ(text, "default");
  EXPECT_FALSE(GetKeyText(TXmlElement(), "IP_addr", text));
}

TEST(SettingsDocument, shouldRefuseInvalidElementNames) {
  auto doc = TXmlDocument::CreateFromText("<xml/>");
  TXmlElement root = doc->Root();
  EXPECT_THROW(root.AppendChild(""), EXmlError);
  EXPECT_THROW(root.AppendChild("Mode_(0-3)"), EXmlError);
  EXPECT_THROW(root.AppendChild("1abc"), EXmlError);
  EXPECT_THROW(root.AppendChild("a b"), EXmlError);
  EXPECT_NO_THROW(root.AppendChild("E-mail"));
  EXPECT_EQ(root.ChildCount(), 1);
}

TEST(SettingsDocument, shouldKeepItsDocumentAliveThroughAnElement) {
  TXmlElement key;
  {
    auto doc = TXmlDocument::CreateFromText("<xml><a><b>value &amp; more</b></a></xml>");
    key = FindNodePath(doc->Root(), "a/b", false);
  }
  ASSERT_TRUE(key);
  EXPECT_EQ(key.Text(), "value & more");
  EXPECT_EQ(key.Document()->Root().Name(), "xml");
}

TEST(SettingsDocument, shouldStoreTextLiterally) {
  auto doc = TXmlDocument::CreateFromText("<xml/>");
  TXmlElement k = doc->Root().AppendChild("Password");
  k.SetText("a&b<c>&amp;");
  EXPECT_EQ(k.Text(), "a&b<c>&amp;");
  auto again = TXmlDocument::CreateFromText(doc->SaveToText());
  EXPECT_EQ(again->Root().FirstChild("Password").Text(), "a&b<c>&amp;");
}

TEST(SettingsDocument, shouldDropControlCharactersSoSavedFilesStayReadable) {
  auto doc = TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText);
  TXmlElement s = doc->Root().AppendChild("WLAN");
  s.AppendChild("Network_name").SetText(std::string("ka\aV\x1BR\0UNE", 10));
  s.AppendChild("Note").SetText("a\tb");
  EXPECT_EQ(s.FirstChild("Network_name").Text(), "kaVRUNE");
  PXmlDocument again;
  ASSERT_NO_THROW(again = TXmlDocument::CreateFromText(doc->SaveToText()));
  EXPECT_EQ(FindNodePath(again->Root(), "WLAN/Network_name", false).Text(), "kaVRUNE");
  EXPECT_EQ(FindNodePath(again->Root(), "WLAN/Note", false).Text(), "a\tb");
}

TEST(SettingsDocument, shouldReportMalformedTextWithLine) {
  try {
    TXmlDocument::CreateFromText("<xml>\n<a>\n</b>\n</xml>");
    FAIL() << "no error raised";
  } catch (const EXmlError& e) {
    std::string m = e.what();
    EXPECT_NE(m.find("line 3"), std::string::npos) << m;
    EXPECT_GT(m.size(), std::string(" (line 3)").size()) << m;
  }
  EXPECT_THROW(TXmlDocument::CreateFromText(""), EXmlError);
  EXPECT_THROW(TXmlDocument::LoadFromFile("/nonexistent/file.xml"), EXmlError);
}

TEST(SettingsDocument, shouldNotExpandExternalEntities) {
  TempDir dir;
  std::string secret = dir.path + "/secret.txt";
  std::ofstream(secret) << "SECRET";
  std::string text = "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY e SYSTEM \"file://" + secret +
                     "\">]><x><k>&e;</k></x>";
  try {
    auto doc = TXmlDocument::CreateFromText(text);
    EXPECT_EQ(doc->Root().FirstChild("k").Text().find("SECRET"), std::string::npos);
    EXPECT_EQ(doc->SaveToText().find("SECRET"), std::string::npos);
  } catch (const EXmlError&) {
    SUCCEED() << "refusing the document is as safe";
  }
}

TEST(SettingsDocument, shouldSaveWindows1250WithTabsAndCharacterReferences) {
  TempDir dir;
  auto doc = TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText);
  TXmlElement s = doc->Root().AppendChild("WLAN");
  s.AppendChild("SSID").SetText("Žluťoučký kůň");  // all in windows-1250
  s.AppendChild("Name").SetText("日本 €");           // only the euro sign is
  std::string path = dir.path + "/temp_load.xml";
  doc->SaveToFile(path);
  std::string bytes = ReadFile(path);
  EXPECT_NE(bytes.find("encoding=\"windows-1250\""), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("\n\t<WLAN>\n\t\t<SSID>"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("\x8E" "lu\x9D"), std::string::npos) << "Ž and ť as windows-1250 bytes";
  EXPECT_NE(bytes.find("&#26085;"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("\x80"), std::string::npos) << "the euro sign as its windows-1250 byte";

  auto loaded = TXmlDocument::LoadFromFile(path);
  EXPECT_EQ(FindNodePath(loaded->Root(), "WLAN/SSID", false).Text(), "Žluťoučký kůň");
  EXPECT_EQ(FindNodePath(loaded->Root(), "WLAN/Name", false).Text(), "日本 €");
  EXPECT_EQ(loaded->Root().FirstChild("WLAN").ChildCount(), 2) << "indentation is not content";
}

TEST(SettingsDocument, shouldDeepCopyAndClear) {
  auto read = TXmlDocument::CreateFromText("<kaVrune><Channel_1><Baudrate>9600</Baudrate><Flow>00</Flow></Channel_1></kaVrune>");
  auto write = TXmlDocument::CreateFromText("<xml a=\"1\"/>");
  TXmlElement root = write->Root();
  TXmlElement copy = root.AppendCopy(read->Root().FirstChild("Channel_1"));
  copy.FirstChild("Baudrate").SetText("19200");
  EXPECT_EQ(FindNodePath(read->Root(), "Channel_1/Baudrate", false).Text(), "9600");
  EXPECT_EQ(FindNodePath(root, "Channel_1/Baudrate", false).Text(), "19200");

  TXmlElement kept = copy.FirstChild("Flow");
  root.ClearChildrenAndAttributes();
  EXPECT_EQ(root.ChildCount(), 0);
  EXPECT_EQ(root.AttributeCount(), 0);
  EXPECT_EQ(kept.Text(), "00") << "a handle to a removed element stays usable";
}

TEST(NodeAccess, shouldCreateNestedPathOnceAndSkipEmptySegments) {
  auto doc = TXmlDocument::CreateFromText("<xml/>");
  TXmlElement root = doc->Root();
  TXmlElement c = FindNodePath(root, "a/b\\c", true);
  ASSERT_TRUE(c);
  EXPECT_EQ(c.Name(), "c");
  EXPECT_EQ(FindNodePath(root, "//a\\\\b/c/", true), c);
  EXPECT_EQ(root.ChildCount(), 1);
  EXPECT_EQ(FindNodePath(root, "", false), root);
  EXPECT_FALSE(FindNodePath(root, "a/x/c", false));
  EXPECT_FALSE(FindNodePath(TXmlElement(), "a", true));
}

TEST(NodeAccess, shouldReadAttributesWithDefaults) {
  auto doc = TXmlDocument::CreateFromText("<language debug=\"2\"><item value=\"1.5\"/></language>");
  TXmlElement root = doc->Root();
  EXPECT_EQ(ReadAttribute(root, "debug", std::string("0"), false), "2");
  EXPECT_EQ(ReadAttribute(root, "missing", std::string("0"), false), "0");
  EXPECT_EQ(ReadAttribute(TXmlElement(), "debug", std::string("x"), false), "x");
  try {
    ReadAttribute(root, "missing", std::nullopt, false);
    FAIL();
  } catch (const EXmlError& e) {
    EXPECT_STREQ(e.what(), "Variant is Empty !!!! ***");
  }
  std::string text = "untouched";
  EXPECT_FALSE(TryReadAttribute(root, "missing", text));
  EXPECT_EQ(text, "untouched");
  EXPECT_TRUE(TryReadAttribute(root.FirstChild("item"), "value", text));
  EXPECT_EQ(text, "1.5");
}

TEST(TextHelpers, shouldSplitAtFirstSeparator) {
  TSplit s = SplitAt("abc", ":");
  EXPECT_TRUE(s.NonEmpty);
  EXPECT_EQ(s.Head, "abc");
  EXPECT_EQ(s.Tail, "");
  s = SplitAt("a:b:c", ":");
  EXPECT_EQ(s.Head, "a");
  EXPECT_EQ(s.Tail, "b:c");
  EXPECT_FALSE(SplitAt("", ":").NonEmpty);
}

TEST(TextHelpers, shouldParseIntegersByTheDeviceRule) {
  int v = 0;
  struct Case {
    const char* text;
    bool ok;
    int value;
  } cases[] = {
      {"45", true, 45},       {"  -7", true, -7},         {"+3", true, 3},
      {"$2D", true, 45},      {"x1f", true, 31},          {"0X10", true, 16},
      {"$FFFFFFFF", true, -1}, {"2147483647", true, 2147483647}, {"-2147483648", true, INT32_MIN},
      {"2147483648", false, 0}, {"$100000000", false, 0}, {"45s", false, 0},
      {"45 ", false, 0},      {"", false, 0},             {" ", false, 0},
      {"$", false, 0},        {"-", false, 0},            {"1e3", false, 0},
      {"$G", false, 0},
  };
  for (const auto& c : cases) {
    v = 12345;
    EXPECT_EQ(TryParseInteger(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

TEST(TextHelpers, shouldAcceptOnlyFourFieldAddresses) {
  EXPECT_TRUE(IsIPv4Address("192.168.1.254"));
  EXPECT_TRUE(IsIPv4Address("0.0.0.0"));
  EXPECT_TRUE(IsIPv4Address(" 10.$FF.1.2")) << "the integer rule accepts blanks and hex";
  EXPECT_FALSE(IsIPv4Address("1.2.3"));
  EXPECT_FALSE(IsIPv4Address("1.2.3.4.5"));
  EXPECT_FALSE(IsIPv4Address("1.2.3.256"));
  EXPECT_FALSE(IsIPv4Address("1.2.-1.4"));
  EXPECT_FALSE(IsIPv4Address(""));
  EXPECT_FALSE(IsIPv4Address("1..3.4"));
}

TEST(TextHelpers, shouldNormaliseDecimalsToTheLocale) {
  EXPECT_EQ(NormalizeDecimalSeparator("1,5"), "1.5");  // the C locale uses "."
  EXPECT_EQ(NormalizeDecimalSeparator("1.5"), "1.5");
}

TEST(TextHelpers, shouldConvertDeviceBytesBothWays) {
  EXPECT_EQ(Cp1250ToUtf8("\x8Elu\x9D" "ou\xE8k\xFD"), "Žluťoučký");
  EXPECT_EQ(Utf8ToCp1250("Žluťoučký"), "\x8Elu\x9D" "ou\xE8k\xFD");
  EXPECT_EQ(Utf8ToCp1250("a日b"), "a?b");
  EXPECT_EQ(Cp1250ToUtf8(std::string("a\x81" "b")), "ab") << "an unassigned byte is dropped";
  EXPECT_EQ(Trim(" \r\n\x07 x y \r"), "x y");
}
