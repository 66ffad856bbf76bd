#pragma once
// What the language engine and the component properties share: the engine's error, which both
// raise, and the hints of controls, which the engine sets in its debug modes and a language file
// sets by property name.

#include <QString>
#include <stdexcept>

class QWidget;

// Errors of the language engine; what() is the message text in UTF-8.
class ELanguageError final : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Hints of controls. The library's controls carry Hint and ShowHint properties of their own;
// for any other widget the engine keeps the hint beside the widget and shows it as its tool
// tip only while ShowHint is on. A widget whose hint was never set reports its tool tip.
QString ControlHint(const QWidget* control);
void SetControlHint(QWidget* control, const QString& hint);
bool ControlShowHint(const QWidget* control);
void SetControlShowHint(QWidget* control, bool show);
