// The main of every widget test program. The application lives on main's stack: a static one
// would be torn down after Qt's own statics. A program that needs more of the application (a
// font, the program's dispatcher) registers a ::testing::Environment for it.

#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  // Test discovery runs the binary without the tests' environment; it has no display either.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
