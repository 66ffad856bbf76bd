// The controls are drawn and measured in the font of the forms they were designed on.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>

namespace {

class TControlsTestEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override {
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(11);
    QApplication::setFont(f);
  }
};

[[maybe_unused]] const auto* const registered = ::testing::AddGlobalTestEnvironment(new TControlsTestEnvironment);

}  // namespace
