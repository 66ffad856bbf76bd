// The window tests share one QApplication on main's stack and the Qt dispatcher of the program.

#include <gtest/gtest.h>

#include <QApplication>

#include "uQtDispatcher.h"

int main(int argc, char** argv) {
  // Test discovery runs the binary without the tests' environment; it has no display either.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  SetUpApplication();
  TQtMainThreadDispatcher dispatcher;
  SetAfMainThreadDispatcher(&dispatcher);
  ::testing::InitGoogleTest(&argc, argv);
  const int rc = RUN_ALL_TESTS();
  SetAfMainThreadDispatcher(nullptr);
  return rc;
}
