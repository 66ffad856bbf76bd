#include <gtest/gtest.h>

#include <QClipboard>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "ComCtrlsAdds.h"
#include "ControlsTestApp.h"

namespace {

class IPAddressTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { TestApp(); }

  void SetUp() override {
    auto* layout = new QVBoxLayout(&window);
    ip = new TIPAddress(&window);
    other = new QLineEdit(&window);
    layout->addWidget(ip);
    layout->addWidget(other);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }

  // Types as a user does: every key goes to whichever field has the focus at that moment.
  static void Type(const QString& keys) {
    for (QChar c : keys) QTest::keyClicks(QApplication::focusWidget(), QString(c));
  }

  QLineEdit* Line() { return ip->findChild<QLineEdit*>(QStringLiteral("line")); }

  // The message an invalid text raises, empty when it is accepted.
  static std::string ErrorOf(const QString& text) {
    try {
      TIPAddress::StrToIPAddress(text);
    } catch (const EIPAddressError& e) {
      return e.what();
    }
    return {};
  }

  QWidget window;
  TIPAddress* ip = nullptr;
  QLineEdit* other = nullptr;
};

TEST_F(IPAddressTest, shouldConvertDottedTextToNumberFirstFieldMostSignificant) {
  ip->SetAddress("192.168.1.254");
  EXPECT_EQ(ip->WinAddress(), 0xC0A801FEu);
  EXPECT_EQ(ip->Address(), "192.168.1.254");
  EXPECT_EQ(ip->Text(), "192.168.1.254");
  EXPECT_EQ(TIPAddress::IPAddressToStr(0), "0.0.0.0");
  EXPECT_EQ(TIPAddress(nullptr).Address(), "0.0.0.0");
}

TEST_F(IPAddressTest, shouldRejectMalformedAddressesNamingTheText) {
  EXPECT_EQ(ErrorOf("1.2.3"), "1.2.3 is not a valid IP address");
  EXPECT_EQ(ErrorOf("1..2.3"), "1..2.3 is not a valid IP address");
  EXPECT_EQ(ErrorOf("256.1.1.1"), "256.1.1.1 is not a valid IP address");
  EXPECT_EQ(ErrorOf("1.2.3.x"), "1.2.3.x is not a valid IP address");
  EXPECT_EQ(ErrorOf(""), " is not a valid IP address");
  EXPECT_EQ(ErrorOf("-1.2.3.4"), "-1.2.3.4 is not a valid IP address");
  EXPECT_EQ(ErrorOf("99999999999999999999.1.1.1"), "99999999999999999999.1.1.1 is not a valid IP address");
  EXPECT_EQ(ErrorOf("1.2.3.4.5"), "");
  EXPECT_EQ(TIPAddress::StrToIPAddress("1.2.3.4.5"), 0x01020304u);
  EXPECT_EQ(TIPAddress::StrToIPAddress("255.255.255.255"), 0xFFFFFFFFu);
}

TEST_F(IPAddressTest, shouldKeepOldAddressWhenWriteIsRefused) {
  ip->SetAddress("10.0.0.1");
  QSignalSpy spy(ip, &TIPAddress::OnChange);
  EXPECT_THROW(ip->SetAddress("10.0.0"), EIPAddressError);
  EXPECT_EQ(ip->Address(), "10.0.0.1");
  EXPECT_EQ(spy.count(), 0);
}

TEST_F(IPAddressTest, shouldRaiseOneChangePerChangedWriteAndOnEveryTypedDigit) {
  QSignalSpy spy(ip, &TIPAddress::OnChange);
  ip->SetAddress("192.168.1.1");
  EXPECT_EQ(spy.count(), 1);
  ip->SetAddress("192.168.1.1");
  EXPECT_EQ(spy.count(), 1);
  Line()->setFocus();
  QTest::keyClick(Line(), Qt::Key_End);
  QTest::keyClicks(Line(), "25");
  EXPECT_EQ(spy.count(), 3);
  EXPECT_EQ(ip->Address(), "192.168.1.25");
}

TEST_F(IPAddressTest, shouldShowWrittenNumberAtOnce) {
  ip->SetAddress("1.1.1.1");
  ip->SetWinAddress(0x0A000001);
  EXPECT_EQ(ip->Text(), "10.0.0.1");
  EXPECT_EQ(ip->Address(), "10.0.0.1");
  EXPECT_EQ(ip->WinAddress(), 0x0A000001u);
}

// A person types an address over the old one without selecting it first: after a click anywhere,
// Home or Ctrl+A, the typed address is exactly what the address holds.
TEST_F(IPAddressTest, shouldHoldExactlyTheAddressTypedOverTheOldOne) {
  const QFontMetrics fm(Line()->font());
  for (int x : {1, fm.horizontalAdvance("1") + 2, fm.horizontalAdvance("19") + 2, fm.horizontalAdvance("192") + 1}) {
    ip->SetAddress("192.168.1.254");
    QTest::mouseClick(Line(), Qt::LeftButton, {}, QPoint(x, Line()->height() / 2));
    ASSERT_LE(Line()->cursorPosition(), 3) << "x " << x;
    Type("172.16.0.9");
    QTest::keyClick(Line(), Qt::Key_Tab);
    EXPECT_EQ(ip->Address(), "172.16.0.9") << "x " << x;
  }
  for (int caret = 0; caret <= 12; ++caret) {  // every place of "192.200.30.4", dots included
    ip->SetAddress("192.200.30.4");
    Line()->setFocus();
    Line()->setCursorPosition(caret);
    Type("7.0.0.1");
    EXPECT_EQ(ip->Address(), "7.0.0.1") << "caret " << caret;
  }
  for (const auto& key : {QKeySequence(Qt::Key_Home), QKeySequence(QKeySequence::SelectAll)}) {
    ip->SetAddress("192.168.1.254");
    Line()->setFocus();
    Line()->setCursorPosition(7);
    QTest::keySequence(Line(), key);
    Type("10.0.0.5");
    EXPECT_EQ(ip->Address(), "10.0.0.5") << key.toString().toStdString();
    EXPECT_TRUE(ip->HoldsAddress());
  }
  QTest::mouseDClick(Line(), Qt::LeftButton, {}, QPoint(2, Line()->height() / 2));
  EXPECT_EQ(Line()->selectedText(), "10") << "a double click takes a word, as in a line edit";
  Type("9.8.7.6");
  EXPECT_EQ(ip->Address(), "9.8.7.6");
  QTest::keyClick(Line(), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(Line(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "9.8.7.6");
}

TEST_F(IPAddressTest, shouldContinueANumberBeyond255InTheNextAndRefuseOneAfterTheLast) {
  ip->SetAddress("0.0.0.0");
  Line()->setFocus();
  QTest::keyClick(Line(), Qt::Key_Home);
  QSignalSpy refused(ip, &TIPAddress::InputRefused);
  Type("256");
  EXPECT_EQ(ip->Text(), "25.6.0.0");
  EXPECT_TRUE(refused.isEmpty());
  QTest::keyClick(Line(), Qt::Key_End);
  Type("2557");
  EXPECT_EQ(ip->Text(), "25.6.0.255");
  EXPECT_EQ(refused.count(), 1);
  EXPECT_TRUE(ip->findChild<QWidget*>("refusalSign")->isVisible()) << "a refused key is seen";
  Type("x-");
  EXPECT_EQ(ip->Text(), "25.6.0.255") << "no letters or signs";
  EXPECT_EQ(refused.count(), 3);
}

TEST_F(IPAddressTest, shouldMoveOnAtADotOrBlankAndKeepADotAfterTheLastNumberAsTyped) {
  ip->SetAddress("192.168.1.254");
  Line()->setFocus();
  Line()->setCursorPosition(1);
  Type(".");
  EXPECT_EQ(Line()->selectedText(), "168");
  Type(" ");
  EXPECT_EQ(Line()->selectedText(), "1");
  Type("..");
  EXPECT_EQ(ip->Text(), "192.168.1.254.");
  EXPECT_FALSE(ip->HoldsAddress());
  EXPECT_EQ(ip->Address(), "192.168.1.254.") << "never corrected";
}

TEST_F(IPAddressTest, shouldEraseAcrossTheDotsKeepingTheFourPlaces) {
  ip->SetAddress("192.168.1.254");
  Line()->setFocus();
  Line()->setCursorPosition(4);
  QTest::keyClick(Line(), Qt::Key_Backspace);
  EXPECT_EQ(ip->Text(), "19.168.1.254");
  Type("3");
  EXPECT_EQ(ip->Text(), "193.168.1.254") << "after an erased digit the typing goes in beside it";
  QTest::keyClick(Line(), Qt::Key_Delete);
  EXPECT_EQ(ip->Text(), "193.68.1.254");
  QTest::keyClick(Line(), Qt::Key_End);
  for (int i = 0; i < 4; ++i) QTest::keyClick(Line(), Qt::Key_Backspace);
  EXPECT_EQ(ip->Text(), "193.68.1");
  EXPECT_FALSE(ip->HoldsAddress());
  Type(".7");
  EXPECT_EQ(ip->Address(), "193.68.1.7");
}

TEST_F(IPAddressTest, shouldReplaceTheWholeAddressWithAPastedOne) {
  ip->SetAddress("192.168.1.254");
  Line()->setFocus();
  Line()->setCursorPosition(9);
  QApplication::clipboard()->setText(" 172.16.0.9 \n");
  QTest::keyClick(Line(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(ip->Address(), "172.16.0.9");
  QSignalSpy refused(ip, &TIPAddress::InputRefused);
  QApplication::clipboard()->setText("172.16.0.x");
  QTest::keyClick(Line(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(ip->Address(), "172.16.0.9");
  EXPECT_EQ(refused.count(), 1);
  QApplication::clipboard()->setText("999");
  QTest::keyClick(Line(), Qt::Key_Home);
  QTest::keyClick(Line(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(ip->Text(), "999.16.0.9") << "pasted digits are kept as pasted";
  EXPECT_FALSE(ip->HoldsAddress());
}

TEST_F(IPAddressTest, shouldShowATextThatIsNoAddressInRedWithItsFaultAndNeverCorrectIt) {
  ip->SetHint("the unit's address");
  ip->SetShowHint(true);
  const QColor normal = Line()->palette().color(QPalette::Text);
  ip->SetField0LowRange(10);
  ip->SetField0HighRange(20);
  ip->SetAddress("15.1.1.1");
  EXPECT_TRUE(ip->HoldsAddress());
  Line()->setFocus();
  QTest::keyClick(Line(), Qt::Key_Home);
  Type("5");
  other->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(ip->Text(), "5.1.1.1") << "left as typed, never put into the range";
  EXPECT_FALSE(ip->HoldsAddress());
  EXPECT_EQ(ip->Fault(), "four numbers 0 to 255, separated by dots (10-20.0-255.0-255.0-255)");
  EXPECT_EQ(ip->toolTip(), ip->Fault());
  EXPECT_NE(Line()->palette().color(QPalette::Text), normal);

  ip->SetField0LowRange(0);
  ip->SetField0HighRange(255);
  Line()->setFocus();
  Line()->setCursorPosition(3);
  QTest::keyClick(Line(), Qt::Key_Backspace);
  EXPECT_EQ(ip->Text(), "5..1.1");
  EXPECT_EQ(ip->WinAddress(), 0u);
  EXPECT_EQ(ip->Fault(), "four numbers 0 to 255, separated by dots");
  Type("9");
  EXPECT_TRUE(ip->HoldsAddress());
  EXPECT_EQ(ip->toolTip(), "the unit's address");
  EXPECT_EQ(Line()->palette().color(QPalette::Text), normal);
}

TEST_F(IPAddressTest, shouldFollowFontHeightWhileAutoSize) {
  EXPECT_EQ(ip->height(), ip->fontMetrics().height() + 8);
  QFont big = ip->font();
  big.setPixelSize(24);
  ip->setFont(big);
  EXPECT_EQ(ip->height(), QFontMetrics(big).height() + 8);
  ip->SetAutoSize(false);
  ip->setFixedHeight(40);
  EXPECT_EQ(ip->height(), 40);
}

}  // namespace
