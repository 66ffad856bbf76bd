#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include "ControlsTestApp.h"
#include "ufAbout.h"

namespace {

class AboutTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { TestApp(); }

  QLabel* Part(const char* name) { return about.findChild<QLabel*>(QString::fromLatin1(name)); }
  // Which of the two link pictures lies on top: the later sibling is drawn over the earlier.
  QLabel* TopLink() {
    const auto kids = about.children();
    return kids.indexOf(Part("iLink")) > kids.indexOf(Part("iLinkHover")) ? Part("iLink") : Part("iLinkHover");
  }

  TfAbout about{"kaVRUNE", "kaVRUNE"};
};

TEST_F(AboutTest, shouldFormatBuildVersionAsFourNumbers) {
  EXPECT_EQ(TfAbout::FileVersionText("1.0.3.0"), "1.0.3.0");
  EXPECT_EQ(TfAbout::FileVersionText("1.0.3"), "1.0.3.0");
  EXPECT_EQ(TfAbout::FileVersionText("2"), "2.0.0.0");
  EXPECT_EQ(TfAbout::FileVersionText("01.002.0.65535"), "1.2.0.65535");
  EXPECT_EQ(TfAbout::FileVersionText(""), "");
  EXPECT_EQ(TfAbout::FileVersionText("1.x"), "");
  EXPECT_EQ(TfAbout::FileVersionText("1..2"), "");
  EXPECT_EQ(TfAbout::FileVersionText("1.65536"), "");
  EXPECT_EQ(TfAbout::FileVersionText("1.2.3.4.5"), "");
  EXPECT_EQ(TfAbout::FileVersionText("-1.2"), "");
}

TEST_F(AboutTest, shouldShowCaptionProjectNameAndTheBuildsFileVersion) {
  EXPECT_EQ(about.windowTitle(), "kaVRUNE");
  EXPECT_EQ(Part("lProjectName")->text(), "kaVRUNE");
  EXPECT_EQ(Part("lVersion")->text(), TfAbout::FileVersionText(KAVRUNE_TEST_VERSION));
  EXPECT_EQ(Part("lVersion")->text().count(u'.'), 3);
  TfAbout other("About kaVRUNE", "kaVRUNE setup");
  EXPECT_EQ(other.windowTitle(), "About kaVRUNE");
  EXPECT_EQ(other.findChild<QLabel*>("lProjectName")->text(), "kaVRUNE setup");
}

TEST_F(AboutTest, shouldPlaceItsPartsAtTheDesignedSpots) {
  EXPECT_EQ(about.size(), QSize(450, 270));
  EXPECT_EQ(Part("iBackground")->geometry(), QRect(0, 0, 450, 270));
  EXPECT_EQ(Part("iLink")->geometry(), QRect(88, 229, 193, 30));
  EXPECT_EQ(Part("iLinkHover")->geometry(), QRect(88, 229, 193, 30));
  const std::pair<const char*, QPoint> places[] = {{"lProjectName", {48, 36}},
                                                   {"Label2", {48, 100}},
                                                   {"Label4", {48, 124}},
                                                   {"Label5", {48, 148}},
                                                   {"Label6", {48, 172}}};
  for (const auto& [name, pos] : places) EXPECT_EQ(Part(name)->pos(), pos) << name;
  EXPECT_EQ(Part("Label2")->text(), "Version:");
  EXPECT_EQ(Part("Label6")->text(), "Phone:");
  // Names of another language push their values right instead of running into them.
  about.SetFieldNames({"Verze programu:", "Autor:", "E-mailová adresa:", "Tel:"});
  EXPECT_EQ(Part("Label2")->text(), "Verze programu:");
  EXPECT_GT(Part("lVersion")->x(), Part("Label2")->geometry().right());
  EXPECT_GT(Part("Label10")->x(), Part("Label5")->geometry().right());
  EXPECT_EQ(Part("Label9")->pos(), QPoint(96, 124)) << "a short name keeps the designed spot";
  EXPECT_EQ(Part("lProjectName")->font().pixelSize(), 27);
  EXPECT_TRUE(Part("lProjectName")->font().bold());
  EXPECT_EQ(Part("Label11")->font().pixelSize(), 13);
}

TEST_F(AboutTest, shouldSwapLinkPicturesUnderThePointerAndOpenOnlyFromHover) {
  int opened = 0;
  QUrl url;
  about.SetUrlOpener([&](const QUrl& u) {
    ++opened;
    url = u;
  });
  about.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
  EXPECT_EQ(TopLink(), Part("iLink"));
  QTest::mouseClick(Part("iLink"), Qt::LeftButton, {}, QPoint(20, 10));
  EXPECT_EQ(opened, 0) << "the normal picture does not react to a click";

  QTest::mouseMove(Part("iLink"), QPoint(20, 10));
  EXPECT_EQ(TopLink(), Part("iLinkHover"));
  EXPECT_EQ(Part("iLinkHover")->cursor().shape(), Qt::PointingHandCursor);
  QTest::mouseClick(Part("iLinkHover"), Qt::LeftButton, {}, QPoint(20, 10));
  EXPECT_EQ(opened, 1);
  EXPECT_TRUE(url.isValid());
  EXPECT_FALSE(url.host().isEmpty());

  QTest::mouseMove(Part("iBackground"), QPoint(20, 20));
  EXPECT_EQ(TopLink(), Part("iLink"));
}

}  // namespace
