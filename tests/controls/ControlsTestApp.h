#pragma once
// The widget tests of this directory share one QApplication, made by the shared Qt test main.

#include <QApplication>
#include <QString>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

inline QApplication& TestApp() { return *qobject_cast<QApplication*>(QCoreApplication::instance()); }
