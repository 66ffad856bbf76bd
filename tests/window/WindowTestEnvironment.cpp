// The window tests run with the program's application set-up and its Qt dispatcher.

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "uQtDispatcher.h"

namespace {

class TWindowTestEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override {
    SetUpApplication();
    dispatcher_ = std::make_unique<TQtMainThreadDispatcher>();
    SetAfMainThreadDispatcher(dispatcher_.get());
  }
  void TearDown() override {
    SetAfMainThreadDispatcher(nullptr);
    dispatcher_.reset();
  }

 private:
  std::unique_ptr<TQtMainThreadDispatcher> dispatcher_;
};

[[maybe_unused]] const auto* const registered = ::testing::AddGlobalTestEnvironment(new TWindowTestEnvironment);

}  // namespace
