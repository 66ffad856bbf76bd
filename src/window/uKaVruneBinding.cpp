#include "uKaVruneBinding.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QMetaProperty>
#include <QPainter>
#include <algorithm>
#include <array>

#include "ComCtrlsAdds.h"
#include "uIntEdit.h"
#include "uKaVruneModel.h"

namespace {

QString ToQ(const std::string& s) { return QString::fromStdString(s); }
std::string FromQ(const QString& s) { return s.toStdString(); }

// The key's text, or nothing when the section or the key is missing.
bool ReadKey(const TXmlElement& section, const std::string& key, std::string& text) {
  text.clear();
  return GetKeyText(section, key, text);
}

// The key element to write into; none when there is no section.
TXmlElement KeyToWrite(const TXmlElement& section, const std::string& key) {
  if (!section) return {};
  return FindNodePath(section, key, true);
}

void Write(const TXmlElement& section, const std::string& key, const std::string& value) {
  if (TXmlElement e = KeyToWrite(section, key)) e.SetText(value);
}

}  // namespace

// --- marks ----------------------------------------------------------------------------------

void SetControlColor(QWidget* control, const QColor& color) {
  if (!control) return;
  QPalette pal = control->palette();
  pal.setColor(QPalette::Base, color);
  pal.setColor(QPalette::Button, color);
  control->setPalette(pal);
}

QColor ControlColor(const QWidget* control) {
  if (!control) return {};
  return control->palette().color(qobject_cast<const QComboBox*>(control) ? QPalette::Button : QPalette::Base);
}

void MarkControl(QWidget* control, bool present) {
  SetControlColor(control, present ? TakenKeyColor() : MissingKeyColor());
}

TFrameMarker::TFrameMarker(QWidget* control) : QWidget(control->parentWidget()) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setGeometry(control->geometry().adjusted(-2, -2, 2, 2));
}

void TFrameMarker::paintEvent(QPaintEvent*) {
  // A rectangle shape with a red brush and the default one-pixel black pen.
  QPainter p(this);
  p.setBrush(QColor(255, 0, 0));
  p.setPen(QPen(Qt::black, 1));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void PutFrameMarker(QWidget* control) {
  if (!control || !control->parentWidget()) return;
  auto* marker = new TFrameMarker(control);  // owned by the control's parent
  marker->show();
  marker->raise();
  control->raise();
}

// --- load helpers ---------------------------------------------------------------------------

bool IsOnWord(const std::string& text) { return FlagWord(text).value_or(false); }

bool LoadCheckBox(const TXmlElement& section, const std::string& key, QAbstractButton* box, bool invert,
                  bool markMissing) {
  if (!section || !box) return false;
  std::string text;
  if (ReadKey(section, key, text)) {
    box->setChecked(IsOnWord(text) != invert);
    return true;
  }
  if (markMissing) PutFrameMarker(box);
  return false;
}

bool LoadIntEdit(const TXmlElement& section, const std::string& key, TIntEdit* edit, bool markMissing) {
  if (!section || !edit) return false;
  std::string text;
  int n = 0;
  const bool taken = ReadKey(section, key, text) && TryParseInteger(text, n);
  if (taken) ShowIntAsRead(edit, n);
  MarkControl(edit, taken || !markMissing);
  return taken;
}

bool LoadComboBox(const TXmlElement& section, const std::string& key, QComboBox* list, bool markMissing) {
  if (!section || !list) return false;
  std::string text;
  ReadKey(section, key, text);  // a missing key counts as the empty text
  const int index = list->findText(ToQ(text), Qt::MatchFixedString);  // whole text, any letter case
  const bool taken = index >= 0;
  if (taken) list->setCurrentIndex(index);
  MarkControl(list, taken || !markMissing);
  return taken;
}

void ShowIntAsRead(TIntEdit* edit, int value) {
  if (value >= edit->MinValue() && value <= edit->MaxValue())
    edit->SetValue(value);
  else
    edit->setText(QString::number(value));
}

bool SetIPAddressText(TIPAddress* edit, const std::string& text) {
  if (!edit || !IsIPv4Address(text)) return false;
  // The edit's own parse knows neither "$" nor some of the blanks that the device's integer rule
  // allows; reading the fields here keeps a load from throwing halfway through a page.
  std::array<int, 4> field{};
  TSplit s{true, {}, text};
  for (int i = 0; i < 3; ++i) {
    s = SplitAt(s.Tail, ".");
    TryParseInteger(s.Head, field[i]);
  }
  TryParseInteger(s.Tail, field[3]);
  uint32_t a = 0;
  for (int f : field) a = a * 256 + static_cast<uint32_t>(f);
  edit->SetWinAddress(a);
  return true;
}

bool LoadIPAddress(const TXmlElement& section, const std::string& key, TIPAddress* edit, bool markMissing) {
  if (!section || !edit) return false;
  std::string text;
  const bool taken = ReadKey(section, key, text) && SetIPAddressText(edit, text);
  if (!taken && markMissing) PutFrameMarker(edit);
  return taken;
}

bool LoadEdit(const TXmlElement& section, const std::string& key, QLineEdit* edit, bool markMissing) {
  if (!section || !edit) return false;
  std::string text;
  const bool taken = ReadKey(section, key, text);
  if (taken) edit->setText(ToQ(text));
  MarkControl(edit, taken || !markMissing);
  return taken;
}

// --- store helpers --------------------------------------------------------------------------

// WA_Disabled also follows a disabled parent; only WA_ForceDisabled is the widget's own flag.
bool IsOwnEnabled(const QWidget* control) { return control && !control->testAttribute(Qt::WA_ForceDisabled); }

void SaveCheckBox(const TXmlElement& section, const std::string& key, QAbstractButton* box, bool invert) {
  if (!IsOwnEnabled(box)) return;
  Write(section, key, box->isChecked() == invert ? "N" : "Y");
}

void SaveIntEdit(const TXmlElement& section, const std::string& key, TIntEdit* edit) {
  if (!IsOwnEnabled(edit)) return;
  // Value follows the typed text; text that was never validated must not carry a number outside
  // the edit's range to the device.
  const int32_t v = std::clamp(edit->Value(), edit->MinValue(), edit->MaxValue());
  Write(section, key, std::to_string(v));
}

void SaveComboBox(const TXmlElement& section, const std::string& key, QComboBox* list, bool asText) {
  if (!IsOwnEnabled(list)) return;
  // Nothing chosen: the device keeps its setting rather than being answered "-1".
  if (!asText && list->currentIndex() < 0) return;
  Write(section, key, asText ? FromQ(list->currentText()) : std::to_string(list->currentIndex()));
}

void SaveIPAddress(const TXmlElement& section, const std::string& key, TIPAddress* edit) {
  if (!IsOwnEnabled(edit)) return;
  Write(section, key, FromQ(edit->Address()));
}

void SaveEdit(const TXmlElement& section, const std::string& key, QLineEdit* edit) {
  if (!IsOwnEnabled(edit)) return;
  Write(section, key, FromQ(edit->text()));
}

// --- EnableControls -------------------------------------------------------------------------

namespace {

void EnableOne(QObject* object, bool enable, bool recursive) {
  if (!object) return;
  if (recursive) {
    // A copy: enabling may make a widget create or drop helper children.
    const QObjectList children = object->children();
    const bool windowed = object->isWidgetType();
    for (QObject* child : children)
      if (!windowed || child->isWidgetType()) EnableOne(child, enable, true);
  }
  try {
    // Only a declared property: writing an unknown name would add a dynamic one.
    const QMetaObject* mo = object->metaObject();
    const int i = mo->indexOfProperty("enabled");
    if (i >= 0) mo->property(i).write(object, enable);
  } catch (...) {
    // One control refusing must not keep the rest of the group in the old state.
  }
}

}  // namespace

void EnableControls(const std::vector<QObject*>& objects, bool enable, bool recursive) {
  for (QObject* o : objects) EnableOne(o, enable, recursive);
}
