#pragma once
// Moving single keys of a settings document into the window's controls and back, the marks that
// show a key the device did not report, and the one way in which rules enable controls.
//
// Load helpers return true exactly when the control took the key's value. Store helpers write
// only while the control's own enabled flag is set, so a control that a rule disabled keeps the
// device's setting.

#include <QColor>
#include <QWidget>
#include <string>
#include <vector>

#include "uXmlUtils.h"

class QAbstractButton;
class QComboBox;
class QLineEdit;
class TIntEdit;
class TIPAddress;

// Background of a control whose key the read document lacks (a light pink).
inline QColor MissingKeyColor() { return QColor(255, 208, 208); }
// Background of a control whose key was taken, or that is not checked at all.
inline QColor TakenKeyColor() { return QColor(255, 255, 255); }

// The background the marks paint: the base of edits and the button face of drop-down lists.
void SetControlColor(QWidget* control, const QColor& color);
QColor ControlColor(const QWidget* control);
// White when present, the missing-key colour otherwise.
void MarkControl(QWidget* control, bool present);

// The red frame marker: a red rectangle two pixels larger on every side, placed in the control's
// parent behind the control. Markers stay until the window goes; every missing load adds one.
class TFrameMarker final : public QWidget {
  Q_OBJECT
 public:
  explicit TFrameMarker(QWidget* control);

 protected:
  void paintEvent(QPaintEvent* event) override;
};
void PutFrameMarker(QWidget* control);

// The check box's state as the on-word of a pair (enabled, Y, yes, true, 1, on in any letter case).
bool IsOnWord(const std::string& text);

bool LoadCheckBox(const TXmlElement& section, const std::string& key, QAbstractButton* box, bool invert,
                  bool markMissing);
bool LoadIntEdit(const TXmlElement& section, const std::string& key, TIntEdit* edit, bool markMissing);
bool LoadComboBox(const TXmlElement& section, const std::string& key, QComboBox* list, bool markMissing);
bool LoadIPAddress(const TXmlElement& section, const std::string& key, TIPAddress* edit, bool markMissing);
bool LoadEdit(const TXmlElement& section, const std::string& key, QLineEdit* edit, bool markMissing);

// Shows a number as the device reported it: inside the edit's range as its value, outside it as
// typed text, never clamped, so that the page shows the device's setting.
void ShowIntAsRead(TIntEdit* edit, int value);

// Shows a dotted text in the address edit under the same field rule that IsIPv4Address applies
// (blanks before a field, "$" hexadecimal); false and nothing changed when it does not accept it.
bool SetIPAddressText(TIPAddress* edit, const std::string& text);

// The control's own enabled flag, without its parents': a control on a disabled page still
// counts as enabled when its own rule left it so.
bool IsOwnEnabled(const QWidget* control);

void SaveCheckBox(const TXmlElement& section, const std::string& key, QAbstractButton* box, bool invert);
void SaveIntEdit(const TXmlElement& section, const std::string& key, TIntEdit* edit);
void SaveComboBox(const TXmlElement& section, const std::string& key, QComboBox* list, bool asText);
void SaveIPAddress(const TXmlElement& section, const std::string& key, TIPAddress* edit);
void SaveEdit(const TXmlElement& section, const std::string& key, QLineEdit* edit);

// Sets the enabled flag of every object of the list, in list order; recursive first treats all
// children at every depth (descendants before their parent). Objects without an enabled
// property are skipped; none (nullptr) entries are ignored.
void EnableControls(const std::vector<QObject*>& objects, bool enable, bool recursive);
