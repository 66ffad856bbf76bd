#include <gtest/gtest.h>

#include <QClipboard>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <climits>

#include "ControlsTestApp.h"
#include "uIntEdit.h"

namespace {

// Records the range message instead of showing a modal box.
class TRecordingIntEdit final : public TIntEdit {
 public:
  using TIntEdit::TIntEdit;
  QStringList messages;

 protected:
  void ShowRangeMessage(const QString& text) override { messages << text; }
};

class IntEditTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { TestApp(); }

  void SetUp() override {
    auto* layout = new QVBoxLayout(&window);
    edit = new TRecordingIntEdit(&window);
    other = new QLineEdit(&window);
    layout->addWidget(edit);
    layout->addWidget(other);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    edit->setFocus(Qt::TabFocusReason);
  }

  // Replaces the text as a user would and leaves the edit for the other control.
  void TypeAndLeave(const QString& text) {
    edit->setFocus(Qt::TabFocusReason);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    if (!text.isEmpty()) QTest::keyClicks(edit, text);
    other->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
  }

  QWidget window;
  TRecordingIntEdit* edit = nullptr;
  QLineEdit* other = nullptr;
};

TEST_F(IntEditTest, shouldHaveDocumentedDefaults) {
  TIntEdit e;
  EXPECT_EQ(e.MinValue(), 0);
  EXPECT_EQ(e.MaxValue(), 100);
  EXPECT_EQ(e.Increment(), 1);
  EXPECT_EQ(e.PageMult(), 10);
  EXPECT_EQ(e.text(), "0");
  EXPECT_EQ(e.ShowName(), "Hodnota");
  EXPECT_TRUE(e.AutoCorrect());
  EXPECT_TRUE(e.EditorEnabled());
  EXPECT_TRUE(e.UpDownEnable());
}

TEST_F(IntEditTest, shouldClampTypedValueIntoRangeWhenLeft) {
  edit->SetMaxValue(600);
  edit->SetMinValue(1);
  TypeAndLeave("900");
  EXPECT_EQ(edit->text(), "600");
  TypeAndLeave("0");
  EXPECT_EQ(edit->text(), "1");
  EXPECT_TRUE(edit->messages.isEmpty());
}

TEST_F(IntEditTest, shouldTurnEmptyOrBareSignTextIntoZeroWhenLeft) {
  edit->SetMaxValue(255);
  edit->SetValue(17);
  TypeAndLeave("");
  EXPECT_EQ(edit->text(), "0");
  edit->SetMaxValue(65535);
  edit->SetValue(17);
  TypeAndLeave("-");
  EXPECT_EQ(edit->text(), "0");
}

TEST_F(IntEditTest, shouldCommitOnEnterAndKeepFocus) {
  edit->SetMaxValue(255);
  edit->selectAll();
  QTest::keyClicks(edit, "300");
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(edit->text(), "255");
  EXPECT_EQ(edit->CommittedValue(), 255);
  EXPECT_TRUE(edit->hasFocus());
}

TEST_F(IntEditTest, shouldCorrectMalformedTextFromItsLeadingDigits) {
  edit->SetMaxValue(1000);
  edit->setText("12abc");
  EXPECT_TRUE(edit->ValidateText());
  EXPECT_EQ(edit->text(), "12");
  edit->setText("-5x");
  EXPECT_TRUE(edit->ValidateText());
  EXPECT_EQ(edit->text(), "5");
  edit->setText("x5");
  EXPECT_TRUE(edit->ValidateText());
  EXPECT_EQ(edit->text(), "0");
}

TEST_F(IntEditTest, shouldStepByIncrementPageAndCtrlAndStopAtBounds) {
  edit->SetMaxValue(1000);
  edit->SetValue(500);
  QTest::keyClick(edit, Qt::Key_PageDown);
  EXPECT_EQ(edit->text(), "490");
  QTest::keyClick(edit, Qt::Key_PageDown, Qt::ControlModifier);
  EXPECT_EQ(edit->text(), "390");
  QTest::keyClick(edit, Qt::Key_PageUp, Qt::ControlModifier);
  EXPECT_EQ(edit->text(), "490");
  QTest::keyClick(edit, Qt::Key_Up, Qt::ControlModifier);
  EXPECT_EQ(edit->text(), "500");
  edit->SetIncrement(3);
  QTest::keyClick(edit, Qt::Key_Down);
  EXPECT_EQ(edit->text(), "497");
  edit->SetValue(1000);
  QTest::keyClick(edit, Qt::Key_Up);
  EXPECT_EQ(edit->text(), "1000");
  edit->SetValue(5);
  QTest::keyClick(edit, Qt::Key_PageDown);
  EXPECT_EQ(edit->text(), "0");
}

TEST_F(IntEditTest, shouldStepFromTypedTextWhenItIsANumber) {
  edit->SetMaxValue(1000);
  edit->SetValue(10);
  edit->selectAll();
  QTest::keyClicks(edit, "42");
  QTest::keyClick(edit, Qt::Key_Up);
  EXPECT_EQ(edit->text(), "43");
  edit->setText("4-2");  // not a number: the committed value is the base
  QTest::keyClick(edit, Qt::Key_Up);
  EXPECT_EQ(edit->text(), "44");
}

TEST_F(IntEditTest, shouldNeverOverflowAtTheLimitsOfTheType) {
  edit->SetMaxValue(INT_MAX);
  edit->SetMinValue(INT_MIN);
  edit->SetValue(INT_MAX);
  QTest::keyClick(edit, Qt::Key_Up);
  EXPECT_EQ(edit->CommittedValue(), INT_MAX);
  edit->SetIncrement(INT_MAX);
  edit->SetPageMult(65535);
  edit->SetValue(0);
  QTest::keyClick(edit, Qt::Key_PageUp, Qt::ControlModifier);
  EXPECT_EQ(edit->CommittedValue(), INT_MAX);
  QTest::keyClick(edit, Qt::Key_PageDown, Qt::ControlModifier);
  QTest::keyClick(edit, Qt::Key_PageDown, Qt::ControlModifier);
  EXPECT_EQ(edit->CommittedValue(), INT_MIN);

  edit->SetMinValue(0);
  edit->SetMaxValue(65535);
  edit->setText("99999999999");
  EXPECT_TRUE(edit->ValidateText());
  EXPECT_EQ(edit->text(), "65535");
  edit->setText("-99999999999");
  EXPECT_TRUE(edit->ValidateText());
  EXPECT_EQ(edit->text(), "0");
  edit->setText("123456789012345678901234567890");
  EXPECT_TRUE(edit->ValidateText());
  EXPECT_EQ(edit->text(), "65535");
}

TEST_F(IntEditTest, shouldForceEveryValueToTheSingleAllowedNumber) {
  edit->SetMaxValue(5);
  edit->SetMinValue(5);
  EXPECT_EQ(edit->text(), "5");
  edit->SetValue(900);
  EXPECT_EQ(edit->text(), "5");
  edit->setText("abc");
  EXPECT_TRUE(edit->ValidateText());
  EXPECT_EQ(edit->text(), "5");
}

TEST_F(IntEditTest, shouldKeepBoundsOrderedWhenOneCrossesTheOther) {
  edit->SetMaxValue(100);
  edit->SetValue(50);
  edit->SetMinValue(200);
  EXPECT_EQ(edit->MinValue(), 100);
  EXPECT_EQ(edit->MaxValue(), 100);
  EXPECT_EQ(edit->text(), "100");
  edit->SetMaxValue(-5);
  EXPECT_EQ(edit->MaxValue(), 100);
  edit->SetMinValue(0);
  edit->SetMaxValue(30);
  EXPECT_EQ(edit->text(), "30");
}

TEST_F(IntEditTest, shouldIgnoreIncrementThatIsNotPositive) {
  edit->SetIncrement(4);
  edit->SetIncrement(0);
  EXPECT_EQ(edit->Increment(), 4);
  edit->SetIncrement(-3);
  EXPECT_EQ(edit->Increment(), 4);
}

TEST_F(IntEditTest, shouldSwallowTypedLettersButAcceptPastedText) {
  edit->SetMaxValue(1000);
  edit->selectAll();
  QTest::keyClicks(edit, "1a b.2x");
  EXPECT_EQ(edit->text(), "12");
  edit->selectAll();
  QApplication::clipboard()->setText("7abc");
  QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(edit->text(), "7abc");
  other->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(edit->text(), "7");
}

// A person types a new number over the old one without selecting it first.
TEST_F(IntEditTest, shouldTypeOverTheWholeNumberWhereverTheCaretIsAndEditItAfterAnErase) {
  edit->SetMaxValue(65535);
  for (int caret = 0; caret <= 4; ++caret) {
    edit->SetValue(1400);
    edit->setCursorPosition(caret);
    QTest::keyClicks(edit, "80");
    EXPECT_EQ(edit->text(), "80") << "caret " << caret;
  }
  QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(2, edit->height() / 2));
  QTest::keyClicks(edit, "512");
  EXPECT_EQ(edit->text(), "512");
  QTest::keyClick(edit, Qt::Key_Backspace);
  QTest::keyClicks(edit, "6");
  EXPECT_EQ(edit->text(), "516") << "after an erased digit the typing goes in beside it";
  QTest::keyClick(edit, Qt::Key_Home);
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, "4");
  EXPECT_EQ(edit->text(), "416");
  QSignalSpy refused(edit, &TIntEdit::InputRefused);
  QTest::keyClicks(edit, "x7");
  EXPECT_EQ(edit->text(), "4716") << "a refused key leaves the typing where it was";
  EXPECT_EQ(refused.count(), 1);
  EXPECT_TRUE(edit->findChild<QWidget*>("refusalSign")->isVisible()) << "and is seen";
}

TEST_F(IntEditTest, shouldRefuseClipboardEditsWhileEditorDisabled) {
  edit->SetMaxValue(1000);
  edit->SetValue(12);
  edit->SetEditorEnabled(false);
  QApplication::clipboard()->setText("99");
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(edit->text(), "12");
  QTest::keyClick(edit, Qt::Key_Delete, Qt::ShiftModifier);  // cut
  EXPECT_EQ(edit->text(), "12");
  edit->SetEditorEnabled(true);
  QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);  // a typed Ctrl+X is refused anyway
  EXPECT_EQ(edit->text(), "12");
}

TEST_F(IntEditTest, shouldReturnTypedTextAsValueBeforeValidation) {
  edit->SetMaxValue(65535);
  edit->selectAll();
  QTest::keyClicks(edit, "70000");
  EXPECT_EQ(edit->Value(), 70000);
  EXPECT_EQ(edit->CommittedValue(), 0);
  edit->setText("-");
  EXPECT_EQ(edit->Value(), 0);
}

TEST_F(IntEditTest, shouldValidateFocusedEditBeforeACommandReadsIt) {
  edit->SetMaxValue(65535);
  edit->selectAll();
  QTest::keyClicks(edit, "70000");
  EXPECT_TRUE(TMyCustomNumEdit::ValidateFocusedNumEdit());
  EXPECT_EQ(edit->Value(), 65535);
  other->setFocus(Qt::TabFocusReason);
  EXPECT_TRUE(TMyCustomNumEdit::ValidateFocusedNumEdit()) << "no numeric edit in focus: nothing to refuse";
}

TEST_F(IntEditTest, shouldRefuseOutOfRangeTextWithNamedMessageWhenNotCorrecting) {
  edit->SetAutoCorrect(false);
  edit->SetShowName("Port");
  edit->SetMaxValue(255);
  edit->SetValue(8);
  edit->selectAll();
  QTest::keyClicks(edit, "300");
  QTest::keyClick(edit, Qt::Key_Return);
  ASSERT_EQ(edit->messages.size(), 1);
  EXPECT_EQ(edit->messages.at(0), QString::fromUtf8("Port musí být v rozmezí od 0 do 255!"));
  EXPECT_EQ(edit->CommittedValue(), 8);
  EXPECT_EQ(edit->selectedText(), "300");

  other->setFocus(Qt::TabFocusReason);
  QCoreApplication::processEvents();
  EXPECT_EQ(edit->messages.size(), 2);
  EXPECT_TRUE(edit->hasFocus()) << "the edit must not be left while its text is out of range";

  edit->selectAll();
  QTest::keyClicks(edit, "200");
  other->setFocus(Qt::TabFocusReason);
  QCoreApplication::processEvents();
  EXPECT_TRUE(other->hasFocus());
  EXPECT_EQ(edit->CommittedValue(), 200);
  EXPECT_EQ(edit->messages.size(), 2);
}

TEST_F(IntEditTest, shouldKeepOutOfRangeTextRedWithItsRangeUntilMended) {
  edit->SetKeepOutOfRange(true);
  edit->SetRangeText("allowed %1 to %2");
  edit->SetMaxValue(1400);
  edit->SetMinValue(512);
  edit->SetValue(1400);
  QSignalSpy range(edit, &TIntEdit::RangeStateChanged);
  const QColor normal = edit->palette().color(QPalette::Text);
  TypeAndLeave("9999");
  EXPECT_EQ(edit->text(), "9999") << "kept as typed, never clamped in silence";
  EXPECT_TRUE(edit->messages.isEmpty());
  EXPECT_TRUE(other->hasFocus());
  EXPECT_NE(edit->palette().color(QPalette::Text), normal);
  EXPECT_EQ(edit->toolTip(), "allowed 512 to 1400");
  ASSERT_FALSE(range.isEmpty());
  EXPECT_FALSE(range.last().at(0).toBool());

  // Ctrl+A selects the whole number, so the next digits replace it.
  edit->setFocus(Qt::TabFocusReason);
  edit->setCursorPosition(2);
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(edit, "1200");
  EXPECT_EQ(edit->text(), "1200");
  EXPECT_EQ(edit->palette().color(QPalette::Text), normal);
  EXPECT_TRUE(edit->toolTip().isEmpty());
  EXPECT_TRUE(range.last().at(0).toBool());
}

TEST_F(IntEditTest, shouldStepWithArrowButtonsOnlyWhileEnabled) {
  edit->SetValue(5);
  auto* up = edit->findChild<QToolButton*>("upButton");
  auto* down = edit->findChild<QToolButton*>("downButton");
  ASSERT_TRUE(up && down);
  QTest::mouseClick(up, Qt::LeftButton);
  EXPECT_EQ(edit->text(), "6");
  QTest::mouseClick(down, Qt::LeftButton);
  QTest::mouseClick(down, Qt::LeftButton);
  EXPECT_EQ(edit->text(), "4");
  edit->SetUpDownEnable(false);
  QTest::mouseClick(up, Qt::LeftButton);
  EXPECT_EQ(edit->text(), "4");
}

TEST_F(IntEditTest, shouldKeepTextClearOfTheArrowButtons) {
  edit->resize(64, 21);
  auto* upDown = edit->findChild<QWidget*>("upDown");
  ASSERT_TRUE(upDown);
  EXPECT_LE(upDown->geometry().right(), edit->width() - 1);
  EXPECT_GE(upDown->x(), edit->width() - TMyCustomNumEdit::UpDownWidth - 3);
  EXPECT_GE(edit->textMargins().right(), upDown->width());
  edit->resize(121, 30);
  EXPECT_EQ(upDown->geometry().right(), edit->width() - 2);
  EXPECT_EQ(upDown->height(), edit->height() - 2);
}

TEST_F(IntEditTest, shouldRaiseChangeTextOnEveryTextChange) {
  QSignalSpy spy(edit, &TMyCustomNumEdit::OnChangeText);
  edit->SetMaxValue(1000);
  edit->SetValue(3);
  QTest::keyClicks(edit, "1");
  edit->SetValue(1);  // same text: no change
  EXPECT_EQ(spy.count(), 2);
  EXPECT_EQ(spy.at(0).at(0).value<QObject*>(), edit);
}

TEST_F(IntEditTest, shouldColourTextBySignOnlyWhenColored) {
  edit->SetMinValue(-10);
  edit->SetValue(-3);
  EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(0x80, 0, 0));
  edit->SetValue(3);
  EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(0, 0, 0x80));
  edit->SetColored(false);
  EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(Qt::black));
  edit->SetValue(-4);
  EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(Qt::black));
}

}  // namespace
