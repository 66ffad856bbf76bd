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

  QLineEdit* Field(int i) { return ip->findChild<QLineEdit*>(QStringLiteral("field%1").arg(i)); }

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
  EXPECT_EQ(Field(0)->text(), "192");
  EXPECT_EQ(Field(3)->text(), "254");
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
  Field(3)->setFocus();
  Field(3)->selectAll();
  QTest::keyClicks(Field(3), "25");
  EXPECT_EQ(spy.count(), 3);
  EXPECT_EQ(ip->Address(), "192.168.1.25");
}

TEST_F(IPAddressTest, shouldShowWrittenNumberAtOnce) {
  ip->SetAddress("1.1.1.1");
  ip->SetWinAddress(0x0A000001);
  EXPECT_EQ(Field(0)->text(), "10");
  EXPECT_EQ(ip->Address(), "10.0.0.1");
  EXPECT_EQ(ip->WinAddress(), 0x0A000001u);
}

TEST_F(IPAddressTest, shouldTypeWholeAddressMovingOnAtDotsAndFullFields) {
  ip->SetAddress("0.0.0.0");
  Field(0)->setFocus();
  Field(0)->selectAll();
  Type("10.1");
  EXPECT_TRUE(Field(1)->hasFocus());
  Type(".254");
  EXPECT_TRUE(Field(3)->hasFocus()) << "three digits fill a field and move on";
  Type("7");
  EXPECT_EQ(ip->Address(), "10.1.254.7");
}

TEST_F(IPAddressTest, shouldNeverShowMoreThan255OrLetters) {
  Field(2)->setFocus();
  Field(2)->selectAll();
  QTest::keyClicks(Field(2), "3a0-0");
  EXPECT_EQ(Field(2)->text(), "255");
  QApplication::clipboard()->setText("999");
  Field(1)->setFocus();
  Field(1)->selectAll();
  QTest::keyClick(Field(1), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Field(1)->text(), "255");
}

TEST_F(IPAddressTest, shouldSpreadPastedAddressOverTheFields) {
  QApplication::clipboard()->setText(" 172.16.0.9 ");
  Field(0)->setFocus();
  Field(0)->selectAll();
  QTest::keyClick(Field(0), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(ip->Address(), "172.16.0.9");
}

TEST_F(IPAddressTest, shouldKeepFieldRangeBoundsOrdered) {
  ip->SetField1LowRange(150);
  ip->SetField1HighRange(100);
  EXPECT_EQ(ip->Field1LowRange(), 100);
  EXPECT_EQ(ip->Field1HighRange(), 100);
  ip->SetField3HighRange(150);
  ip->SetField3LowRange(200);
  EXPECT_EQ(ip->Field3LowRange(), 200);
  EXPECT_EQ(ip->Field3HighRange(), 200);
  EXPECT_EQ(ip->Field0LowRange(), 0);
  EXPECT_EQ(ip->Field0HighRange(), 255);
}

TEST_F(IPAddressTest, shouldClampFieldIntoItsRangeWhenLeft) {
  ip->SetField0LowRange(10);
  ip->SetField0HighRange(20);
  Field(0)->setFocus();
  Field(0)->selectAll();
  Type("5.");
  EXPECT_EQ(Field(0)->text(), "10");
  Field(0)->setFocus();
  Field(0)->selectAll();
  QTest::keyClicks(Field(0), "99");
  other->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(Field(0)->text(), "20");
}

TEST_F(IPAddressTest, shouldLetFieldHandlerReplaceTheValue) {
  QList<std::pair<int, int>> calls;
  ip->OnIPFieldChange = [&](int field, int& value) {
    calls.append({field, value});
    if (field == 1) value = 7;
  };
  ip->SetAddress("1.1.1.1");
  EXPECT_TRUE(calls.isEmpty()) << "writes from code are no user field changes";
  Field(1)->setFocus();
  Field(1)->selectAll();
  Type("42.");
  ASSERT_EQ(calls.size(), 1);
  EXPECT_EQ(calls.at(0), std::make_pair(1, 42));
  EXPECT_EQ(ip->Address(), "1.7.1.1");
  other->setFocus(Qt::TabFocusReason);  // field 2 left unchanged: no notice
  EXPECT_EQ(calls.size(), 1);
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
