// Typing into every address and number control of the window's pages, after a read of the
// simulated device in the test's own process, as a person types: a value the unit sent, the caret anywhere in it or a
// part or all of it selected, sometimes a click first, then a new value typed and Tab. The control then holds exactly
// what was typed, or shows that it holds no value and keeps Apply from sending anything. A failing case prints its
// seed; KAVRUNE_CASE_SEED=N runs that case alone, KAVRUNE_CASE_LIMIT=N runs at most N cases a test.

#include <gtest/gtest.h>

#include <QAbstractSpinBox>
#include <QApplication>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <random>

#include "AfPortControls.h"
#include "ComCtrlsAdds.h"
#include "InProcessSim.h"
#include "ShapeEx.h"
#include "WindowTestSupport.h"
#include "uHexByteEdit.h"
#include "uIntEdit.h"
#include "uMain.h"
#include "uMainForms.h"
#include "uPages.h"

namespace {

constexpr int Com = 8;
constexpr unsigned FirstSeed = 2700;
constexpr unsigned CaseCount = 300;  // a test; each control gets its turn in seed order

std::vector<unsigned> CaseSeeds() {
  if (const char* one = std::getenv("KAVRUNE_CASE_SEED"); one && *one)
    return {static_cast<unsigned>(std::strtoul(one, nullptr, 10))};
  unsigned count = CaseCount;
  if (const char* limit = std::getenv("KAVRUNE_CASE_LIMIT"); limit && *limit)
    count = std::min(count, static_cast<unsigned>(std::strtoul(limit, nullptr, 10)));
  std::vector<unsigned> seeds;
  for (unsigned i = 0; i < count; ++i) seeds.push_back(FirstSeed + i);
  return seeds;
}

QString RandomAddress(std::mt19937& rnd) {
  // Numbers of one, two and three digits alike, and the ends of the range.
  auto number = [&] {
    switch (rnd() % 5) {
      case 0: return 0u;
      case 1: return 255u;
      case 2: return static_cast<unsigned>(rnd() % 10);
      case 3: return static_cast<unsigned>(rnd() % 100);
      default: return static_cast<unsigned>(rnd() % 256);
    }
  };
  return QStringLiteral("%1.%2.%3.%4").arg(number()).arg(number()).arg(number()).arg(number());
}

class WindowTypingTest : public ::testing::Test {
 protected:
  // A read of the device first: every keystroke then runs the count of edits against it, as it
  // does for a person.
  void SetUp() override {
    InProcessSimOptions options;
    options.AtRootMenu = true;
    device.emplace(Com, std::move(options));
    window = std::make_unique<TfMain>(worker, nullptr, env.Dir());
    window->SetWorkingDirectory(env.Dir());
    ChooseAndOpen(*window, Com);
    ASSERT_TRUE(WaitFor([&] { return window->seApplySettings->isEnabled(); }, 30000)) << "no first read";
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }

  // Shows the control's page, tab and panel and enables it, whatever the rules left: the
  // typing is under test here, not the rules.
  void Reach(QWidget* control) {
    const std::pair<QWidget*, TShapeEx*> pages[] = {
        {window->pNetwork, window->seNetwork},   {window->pServer, window->seServer},
        {window->pServices, window->seServices}, {window->pcChannel1, window->seChannel1},
        {window->pWLAN, window->seWLAN},         {window->pEmail, window->seEmail}};
    for (const auto& [page, button] : pages)
      if (page->isAncestorOf(control)) window->PageButtonClick(button);
    for (QWidget* p = control; p && p != window.get(); p = p->parentWidget()) {
      if (auto* stack = qobject_cast<QStackedWidget*>(p->parentWidget())) stack->setCurrentWidget(p);
      if (p->isHidden()) p->show();
      p->setEnabled(true);
    }
    ASSERT_TRUE(control->isVisible() && control->isEnabled()) << control->objectName().toStdString();
  }

  // Puts the caret where a person might have left it: anywhere, over a part or over all of the
  // text, then maybe a click anywhere on it or Home; says where, in words.
  static QString PlaceCaret(QLineEdit* line, std::mt19937& rnd) {
    line->setFocus(Qt::OtherFocusReason);
    const int size = std::max(1, static_cast<int>(line->text().size()));
    QString how;
    switch (rnd() % 3) {
      case 0:
        line->setCursorPosition(static_cast<int>(rnd() % (size + 1)));
        how = QStringLiteral("caret");
        break;
      case 1: {
        const int from = static_cast<int>(rnd() % size);
        line->setSelection(from, 1 + static_cast<int>(rnd() % (size - from)));
        how = QStringLiteral("selection");
        break;
      }
      default: line->selectAll(); how = QStringLiteral("all selected");
    }
    if (rnd() % 2) {
      const QPoint at(static_cast<int>(rnd() % line->width()), line->height() / 2);
      QTest::mouseClick(line, Qt::LeftButton, {}, at);
      how += QStringLiteral(", click at x %1").arg(at.x());
    } else if (rnd() % 4 == 0) {
      QTest::keyClick(line, Qt::Key_Home);
      how += QStringLiteral(", Home");
    }
    if (line->hasSelectedText())
      return how + QStringLiteral(": typing over \"%1\"").arg(line->selectedText());
    return how + QStringLiteral(": typing at %1").arg(line->cursorPosition());
  }

  static void TypeAndLeave(const QString& typed) {
    QTest::keyClicks(QApplication::focusWidget(), typed);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }

  // The control holds no value: it says so, and an Apply sends nothing.
  void ExpectRefusedByApply(const std::string& what) {
    EXPECT_FALSE(window->RangeFaults().isEmpty()) << what;
    env.warnings.clear();
    window->seApplySettingsClick();
    ASSERT_EQ(env.warnings.size(), 1) << what;
    EXPECT_TRUE(env.warnings.front().startsWith(QStringLiteral("Nothing was sent to the device:"))) << what;
  }

  // Runs every seed on the control it picks; one case is one control and one value typed.
  template <typename Control>
  void ForEachCase(const QList<Control*>& controls, const std::function<void(Control*, std::mt19937&)>& run) {
    ASSERT_FALSE(controls.isEmpty());
    for (unsigned seed : CaseSeeds()) {
      std::mt19937 rnd(seed);
      Control* control = controls.at(static_cast<qsizetype>(seed % controls.size()));
      SCOPED_TRACE("KAVRUNE_CASE_SEED=" + std::to_string(seed) + " " + control->objectName().toStdString());
      Reach(control);
      ASSERT_TRUE(window->RangeFaults().isEmpty()) << "left over from the case before";
      run(control, rnd);
      if (HasFatalFailure()) return;
    }
  }

  TWindowTestEnv env;
  std::optional<InProcessSim> device;
  TDeviceWorker worker;
  std::unique_ptr<TfMain> window;
};

TEST_F(WindowTypingTest, everyAddressShouldHoldExactlyTheAddressTypedOverItWhereverTheCaretStood) {
  QList<TIPAddress*> addresses = window->findChildren<TIPAddress*>();
  ForEachCase<TIPAddress>(addresses, [&](TIPAddress* address, std::mt19937& rnd) {
    address->SetAddress(RandomAddress(rnd));
    auto* line = qobject_cast<QLineEdit*>(address->focusProxy());
    ASSERT_TRUE(line);
    const QString before = address->Text();
    const QString start = PlaceCaret(line, rnd);
    const QString typed = RandomAddress(rnd);
    TypeAndLeave(typed);
    const std::string what =
        (before + " -> " + typed + ", " + start + ", holds \"" + address->Text() + "\"").toStdString();
    EXPECT_EQ(address->Address(), typed) << what;
    EXPECT_TRUE(address->HoldsAddress()) << what;
    address->SetAddress(typed);  // as the unit would send it: the next case starts clean
  });
}

TEST_F(WindowTypingTest, everyNumberShouldHoldExactlyTheValueTypedOverItOrShowItsRangeAndSendNothing) {
  EXPECT_TRUE(window->findChildren<QAbstractSpinBox*>().isEmpty()) << "a spin box corrects typed values: cover it here";
  const QList<TMyCustomNumEdit*> numbers = window->findChildren<TMyCustomNumEdit*>();
  ASSERT_GE(numbers.size(), 30);
  ForEachCase<TMyCustomNumEdit>(numbers, [&](TMyCustomNumEdit* edit, std::mt19937& rnd) {
    QString typed;
    bool inRange = true;
    if (auto* hex = qobject_cast<THexByteEdit*>(edit)) {
      hex->setText(QStringLiteral("%1").arg(rnd() % 256, 2, 16, QLatin1Char('0')).toUpper());
      typed = QString::number(rnd() % 256, 16);
      if (rnd() % 2) typed = typed.toUpper();
      if (typed.size() == 1 && rnd() % 2) typed.prepend(u'0');
    } else {
      auto* number = qobject_cast<TIntEdit*>(edit);
      ASSERT_TRUE(number);
      const int64_t low = number->MinValue(), high = number->MaxValue();
      auto inside = [&] {
        switch (rnd() % 4) {
          case 0: return low;
          case 1: return high;
          default: return low + static_cast<int64_t>(rnd() % static_cast<uint64_t>(high - low + 1));
        }
      };
      number->SetValue(static_cast<int32_t>(inside()));
      int64_t value = inside();
      if (rnd() % 6 == 0) {
        value = low > 0 && rnd() % 2 ? static_cast<int64_t>(rnd() % static_cast<uint64_t>(low))
                                     : high + 1 + static_cast<int64_t>(rnd() % 1000);
        inRange = false;
      }
      typed = QString::number(value);
    }
    const QString before = edit->text();
    const QString start = PlaceCaret(edit, rnd);
    TypeAndLeave(typed);
    const std::string what =
        (before + " -> " + typed + ", " + start + ", holds \"" + edit->text() + "\"").toStdString();
    EXPECT_EQ(edit->text(), typed) << what;
    EXPECT_EQ(edit->TextInRange(), inRange) << what;
    EXPECT_EQ(edit->palette().color(QPalette::Text) == QColor(0xD0, 0, 0), !inRange) << what << ": red is for no value";
    if (!inRange) {
      EXPECT_EQ(edit->toolTip(), edit->AllowedRange()) << what;
      ExpectRefusedByApply(what);
    }
    edit->setText(QStringLiteral("0"));  // as the unit would send it: the next case starts clean
  });
}

}  // namespace
