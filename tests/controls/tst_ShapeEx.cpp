#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QSignalSpy>
#include <QTest>

#include "ControlsTestApp.h"
#include "ShapeEx.h"

namespace {

class ShapeExTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { TestApp(); }

  TShapeEx* MakeButton(QWidget* parent, int y, int group = 0) {
    auto* b = new TShapeEx(parent);
    b->setGeometry(16, y, 127, 21);
    b->SetGroup(group);
    return b;
  }

  // A schema with a distinct fill for every state, so the painted pixels tell the state.
  void FillSchema(TShapeExColorSchema& s) {
    s.DefaultColorStyle()->SetColors(QColor(1, 1, 1), Qt::black, Qt::black);
    s.MouseOverUpColorStyle()->SetColors(QColor(2, 2, 2), Qt::black, Qt::black);
    s.MouseOverDownColorStyle()->SetColors(QColor(3, 3, 3), Qt::black, Qt::black);
    s.DownColorStyle()->SetColors(QColor(4, 4, 4), Qt::black, Qt::black);
    s.PressedUpColorStyle()->SetColors(QColor(5, 5, 5), Qt::black, Qt::black);
    s.PressedDownColorStyle()->SetColors(QColor(6, 6, 6), Qt::black, Qt::black);
    s.DisabledColorStyle()->SetColors(QColor(7, 7, 7), Qt::gray, Qt::gray);
  }

  static QColor FillPixel(TShapeEx& b) { return b.grab().toImage().pixelColor(4, b.height() / 2); }

  static void Enter(TShapeEx& b) {
    QEnterEvent e(QPointF(5, 5), QPointF(5, 5), b.mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(&b, &e);
  }
};

TEST_F(ShapeExTest, shouldBehaveLikeRadioButtonsWithinAGroup) {
  QWidget panel;
  TShapeEx* b[3];
  for (int i = 0; i < 3; ++i) {
    b[i] = MakeButton(&panel, 16 + 24 * i, 1);
    b[i]->SetAllowDown(true);
    b[i]->SetAllowUp(false);
  }
  b[0]->SetDown(true);
  QSignalSpy clicks(b[1], &TShapeEx::OnClick);
  QTest::mouseClick(b[1], Qt::LeftButton, {}, QPoint(60, 10));
  EXPECT_TRUE(b[1]->Down());
  EXPECT_FALSE(b[0]->Down());
  EXPECT_FALSE(b[2]->Down());
  QTest::mouseClick(b[1], Qt::LeftButton, {}, QPoint(60, 10));
  EXPECT_TRUE(b[1]->Down()) << "without AllowUp a second click keeps it pressed";
  EXPECT_EQ(clicks.count(), 2);
}

TEST_F(ShapeExTest, shouldLeaveButtonsOfOtherGroupsAndParentsAlone) {
  QWidget panel, otherPanel;
  TShapeEx* a = MakeButton(&panel, 16, 1);
  TShapeEx* otherGroup = MakeButton(&panel, 40, 2);
  TShapeEx* ungrouped1 = MakeButton(&panel, 64, 0);
  TShapeEx* ungrouped2 = MakeButton(&panel, 88, 0);
  TShapeEx* elsewhere = MakeButton(&otherPanel, 16, 1);
  otherGroup->SetDown(true);
  elsewhere->SetDown(true);
  ungrouped1->SetDown(true);
  ungrouped2->SetDown(true);
  a->SetDown(true);
  EXPECT_TRUE(otherGroup->Down());
  EXPECT_TRUE(elsewhere->Down());
  EXPECT_TRUE(ungrouped1->Down() && ungrouped2->Down()) << "group 0 is no group";
}

TEST_F(ShapeExTest, shouldReleaseOnClickOnlyWithAllowUp) {
  QWidget panel;
  TShapeEx* b = MakeButton(&panel, 16);
  b->SetAllowDown(true);
  b->SetAllowUp(true);
  bool downSeenByHandler = false;
  QObject::connect(b, &TShapeEx::OnClick, [&] { downSeenByHandler = b->Down(); });
  QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_TRUE(b->Down());
  EXPECT_TRUE(downSeenByHandler) << "the click handler sees the new Down";
  QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_FALSE(b->Down());
}

TEST_F(ShapeExTest, shouldOnlyClickWithoutAllowDown) {
  QWidget panel;
  TShapeEx* b = MakeButton(&panel, 16);
  QSignalSpy clicks(b, &TShapeEx::OnClick);
  QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_FALSE(b->Down());
  EXPECT_EQ(clicks.count(), 1);
  QTest::mouseClick(b, Qt::RightButton, {}, QPoint(10, 10));
  EXPECT_EQ(clicks.count(), 1) << "only the left button clicks";
}

TEST_F(ShapeExTest, shouldIgnoreReleaseOutsideTheButton) {
  QWidget panel;
  TShapeEx* b = MakeButton(&panel, 16);
  b->SetAllowDown(true);
  QSignalSpy clicks(b, &TShapeEx::OnClick);
  QTest::mousePress(b, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_TRUE(b->Pressed());
  QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(200, 10));
  EXPECT_FALSE(b->Pressed());
  EXPECT_FALSE(b->Down());
  EXPECT_EQ(clicks.count(), 0);
}

TEST_F(ShapeExTest, shouldChooseStylesByTheStateTable) {
  TShapeExColorSchema s;
  const auto* def = s.DefaultColorStyle();
  // Flags off: mouse-over and pressed make no difference.
  EXPECT_EQ(s.GetStyle(true, false, true, true), def);
  EXPECT_EQ(s.GetStyle(true, true, true, true), s.DownColorStyle());
  s.SetMouseOverEnabled(true);
  EXPECT_EQ(s.GetStyle(true, false, false, true), s.MouseOverUpColorStyle());
  EXPECT_EQ(s.GetStyle(true, true, false, true), s.MouseOverDownColorStyle());
  EXPECT_EQ(s.GetStyle(true, false, true, true), s.MouseOverUpColorStyle());
  s.SetPressedEnabled(true);
  EXPECT_EQ(s.GetStyle(true, false, true, true), s.PressedUpColorStyle()) << "pressed wins over mouse-over";
  EXPECT_EQ(s.GetStyle(true, true, true, true), s.PressedDownColorStyle());
  EXPECT_EQ(s.GetStyle(true, false, false, false), def);
  EXPECT_EQ(s.GetStyle(true, true, false, false), s.DownColorStyle());
  for (bool down : {false, true})
    for (bool pressed : {false, true}) EXPECT_EQ(s.GetStyle(false, down, pressed, true), s.DisabledColorStyle());
}

TEST_F(ShapeExTest, shouldPaintStateColoursOnlyWhereTheSchemaEnablesThem) {
  TShapeExColorSchema s;
  FillSchema(s);
  QWidget panel;
  TShapeEx* b = MakeButton(&panel, 16);
  b->SetColorSchema(&s);
  EXPECT_EQ(FillPixel(*b), QColor(1, 1, 1));
  Enter(*b);
  EXPECT_TRUE(b->MouseOver());
  EXPECT_EQ(FillPixel(*b), QColor(1, 1, 1)) << "mouse-over highlighting is off";
  QTest::mousePress(b, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(FillPixel(*b), QColor(1, 1, 1)) << "pressed highlighting is off";
  s.SetPressedEnabled(true);
  s.SetMouseOverEnabled(true);
  EXPECT_EQ(FillPixel(*b), QColor(5, 5, 5));
  QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(FillPixel(*b), QColor(2, 2, 2));
  b->SetDown(true);
  EXPECT_EQ(FillPixel(*b), QColor(3, 3, 3));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(b, &leave);
  EXPECT_EQ(FillPixel(*b), QColor(4, 4, 4));
}

TEST_F(ShapeExTest, shouldPaintDisabledStyleWhetherDownOrNot) {
  TShapeExColorSchema s;
  FillSchema(s);
  QWidget panel;
  TShapeEx* b = MakeButton(&panel, 16);
  b->SetColorSchema(&s);
  b->setEnabled(false);
  EXPECT_EQ(FillPixel(*b), QColor(7, 7, 7));
  b->SetDown(true);
  EXPECT_EQ(FillPixel(*b), QColor(7, 7, 7));
  panel.setEnabled(false);
  b->setEnabled(true);
  EXPECT_EQ(FillPixel(*b), QColor(7, 7, 7)) << "a disabled parent disables the button";
}

TEST_F(ShapeExTest, shouldPaintOwnColoursWithoutOrAfterLosingItsSchema) {
  QWidget panel;
  TShapeEx* b = MakeButton(&panel, 16);
  b->SetBrushColor(QColor(0xFF, 0xFF, 0x9B));
  b->SetPenColor(QColor(0x91, 0x91, 0));
  EXPECT_EQ(FillPixel(*b), QColor(0xFF, 0xFF, 0x9B));
  {
    TShapeExColorSchema s;
    FillSchema(s);
    b->SetColorSchema(&s);
    EXPECT_EQ(FillPixel(*b), QColor(1, 1, 1));
  }
  EXPECT_EQ(b->ColorSchema(), nullptr);
  EXPECT_EQ(FillPixel(*b), QColor(0xFF, 0xFF, 0x9B));
}

TEST_F(ShapeExTest, shouldCopyStylesIntoTheSchemaAndRefuseOtherSources) {
  TShapeExColorSchema s;
  TShapeExColorStyle given;
  given.SetColors(Qt::red, Qt::green, Qt::blue);
  s.SetDownColorStyle(&given);
  EXPECT_NE(s.DownColorStyle(), &given);
  EXPECT_EQ(s.DownColorStyle()->BrushColor(), QColor(Qt::red));
  EXPECT_EQ(s.DownColorStyle()->FontColor(), QColor(Qt::blue));
  given.SetBrushColor(Qt::yellow);
  EXPECT_EQ(s.DownColorStyle()->BrushColor(), QColor(Qt::red));
  QObject stranger;
  try {
    s.DefaultColorStyle()->Assign(&stranger);
    FAIL() << "assigning a foreign object must be refused";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a QObject to a TShapeExColorStyle");
  }
}

TEST_F(ShapeExTest, shouldDrawBoxFromOriginAndCentreTheCaption) {
  QWidget panel;
  TShapeEx* b = MakeButton(&panel, 16);
  b->SetCaption("Network");
  EXPECT_EQ(b->ShapeBox(), QRect(0, 0, 127, 21));
  const QRect c = b->CaptionRect();
  EXPECT_LE(std::abs((c.left() + c.right() + 1) - 127), 1);
  EXPECT_LE(std::abs((c.top() + 1 + c.bottom() + 2) - 21), 1);
  const QImage img = b->grab().toImage();
  EXPECT_EQ(img.pixelColor(0, 0), QColor(Qt::black));
  EXPECT_EQ(img.pixelColor(126, 20), QColor(Qt::black));
  EXPECT_EQ(img.pixelColor(1, 1), QColor(Qt::white));

  b->SetPenWidth(3);
  EXPECT_EQ(b->ShapeBox(), QRect(1, 1, 125, 19));
  b->SetShape(TShapeEx::stCircle);
  b->resize(60, 40);
  EXPECT_EQ(b->ShapeBox(), QRect(11, 1, 38, 38));
}

TEST_F(ShapeExTest, shouldDrawSquareCornersWhenRoundCornerIsZero) {
  QWidget panel;
  TShapeEx* b = MakeButton(&panel, 16);
  b->SetShape(TShapeEx::stRoundRect);
  b->SetBrushColor(Qt::white);
  b->SetRoundCorner(0);
  EXPECT_EQ(b->grab().toImage().pixelColor(0, 0), QColor(Qt::black));
  b->SetRoundCorner(10);
  EXPECT_NE(b->grab().toImage().pixelColor(0, 0), QColor(Qt::black));
}

TEST_F(ShapeExTest, shouldExposeCaptionAndHintAsProperties) {
  TShapeEx b;
  EXPECT_TRUE(b.setProperty("Caption", "Server"));
  EXPECT_EQ(b.Caption(), "Server");
  EXPECT_TRUE(b.setProperty("Hint", "Server settings"));
  EXPECT_TRUE(b.setProperty("ShowHint", true));
  EXPECT_EQ(b.toolTip(), "Server settings");
  EXPECT_EQ(b.size(), QSize(65, 65));
}

}  // namespace
