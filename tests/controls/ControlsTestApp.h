#pragma once
// One QApplication for the widget tests of this directory, with the window's font.

#include <QApplication>
#include <QFont>
#include <QString>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "controls-test";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  static const bool fontSet = [] {
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(11);
    QApplication::setFont(f);
    return true;
  }();
  (void)fontSet;
  return app;
}
