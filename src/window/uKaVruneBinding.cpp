#include "uKaVruneBinding.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QMetaProperty>
#include <QPainter>
#include <algorithm>
#include <array>
#include <stdexcept>

#include "ComCtrlsAdds.h"
#include "uIntEdit.h"
#include "uKaVruneModel.h"

namespace {

// Model values are numbers in decimal and bytes in hex, as the device's menu takes them.
std::optional<long> Number(const std::string& value) {
  int n = 0;
  return TryParseInteger(value, n) ? std::optional<long>(n) : std::nullopt;
}

std::optional<long> Byte(const std::string& value) {
  int n = 0;
  return TryParseInteger("$" + value, n) && n >= 0 && n <= 0xFF ? std::optional<long>(n) : std::nullopt;
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

// --- values on controls -----------------------------------------------------------------------

void ShowIntAsRead(TIntEdit* edit, int value) {
  if (value >= edit->MinValue() && value <= edit->MaxValue()) edit->SetValue(value);
  else edit->setText(QString::number(value));
}

int ValueOf(const TIntEdit* edit) { return edit->Value(); }

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

// WA_Disabled also follows a disabled parent; only WA_ForceDisabled is the widget's own flag.
bool IsOwnEnabled(const QWidget* control) { return control && !control->testAttribute(Qt::WA_ForceDisabled); }

int FieldOf(const QWidget* w) {
  if (const auto* list = qobject_cast<const QComboBox*>(w)) return list->currentIndex();
  if (const auto* box = qobject_cast<const QAbstractButton*>(w)) return box->isChecked() ? 1 : 0;
  return -1;
}

void SetField(QWidget* w, int item) {
  if (item < 0) return;
  if (auto* list = qobject_cast<QComboBox*>(w)) list->setCurrentIndex(item);
  else if (auto* box = qobject_cast<QAbstractButton*>(w)) box->setChecked(item != 0);
}

uint8_t PackControls(std::span<const TByteField> fields, const std::vector<QWidget*>& controls) {
  std::vector<int> items;
  for (const QWidget* w : controls) items.push_back(FieldOf(w));
  return EncodeFields(fields, items);
}

void UnpackControls(std::span<const TByteField> fields, uint8_t byte, const std::vector<QWidget*>& controls) {
  const std::vector<int> items = DecodeFields(fields, byte);
  for (size_t i = 0; i < controls.size() && i < items.size(); ++i) SetField(controls[i], items[i]);
}

// --- bindings ---------------------------------------------------------------------------------

const TSettingRow& SettingRow(const std::string& section, const std::string& key) {
  const TSettingRow* row = FindSettingRow(section, key);
  if (!row) throw std::logic_error("no setting " + section + "/" + key + " in the table");
  return *row;
}

TBoundValues::TBoundValues(const TDeviceSettings& values, std::string section)
    : from_(&values), section_(std::move(section)) {}

TBoundValues::TBoundValues(TDeviceSettings* values, std::string section)
    : from_(values), to_(values), section_(std::move(section)) {}

const std::string* TBoundValues::Find(const TSettingRow& row) const { return from_->Find(Section(row), row.Key()); }

bool TBoundValues::HasSection(const TSettingRow& row) const { return from_->Sections().count(Section(row)) > 0; }

void TBoundValues::Set(const TSettingRow& row, const std::string& text) const {
  if (!to_) return;
  if (const std::optional<std::string> value = ParseSettingValue(row, text)) to_->Set(Section(row), row.Key(), *value);
}

TBinding::TBinding(const TSettingRow& row, std::vector<QWidget*> controls, TShow show, TTake take)
    : row_(row), controls_(std::move(controls)), show_(std::move(show)), take_(std::move(take)) {
  for (QWidget* c : controls_)
    if (!c) throw std::logic_error("a binding of " + row.Section + "/" + row.Key() + " without its control");
}

TBinding& TBinding::Mark(TMissingMark mark, std::vector<QWidget*> marked) {
  mark_ = mark;
  marked_ = marked.empty() ? controls_ : std::move(marked);
  return *this;
}

TBinding& TBinding::Default(std::string value) {
  default_ = std::move(value);
  return *this;
}

TBinding& TBinding::Always() {
  always_ = true;
  return *this;
}

TBinding& TBinding::When(std::function<bool()> active) {
  active_ = std::move(active);
  return *this;
}

TBinding& TBinding::Then(std::function<void()> rule) {
  then_ = std::move(rule);
  return *this;
}

void TBinding::Load(const TBoundValues& values) const {
  // A section the device did not report leaves its controls as they are, unmarked.
  if (!values.HasSection(row_) || (active_ && !active_())) return;
  const std::string* value = values.Find(row_);
  const std::string* fallback = default_ ? &*default_ : nullptr;
  const bool taken = value && show_(value);
  // The default stands in for a value the model lacks or the controls cannot show.
  if (!taken) show_(fallback);
  for (QWidget* c : marked_) {
    if (mark_ == TMissingMark::Colour) MarkControl(c, taken);
    else if (mark_ == TMissingMark::Frame && !taken) PutFrameMarker(c);
  }
  if (then_) then_();
}

void TBinding::Store(const TBoundValues& values) const {
  if ((active_ && !active_()) || !(always_ || IsOwnEnabled(controls_.front()))) return;
  if (const std::optional<std::string> value = take_()) values.Set(row_, *value);
}

TBinding& TBindings::Add(const char* section, const char* key, std::vector<QWidget*> controls, TBinding::TShow show,
                         TBinding::TTake take) {
  all_.push_back(
      std::make_unique<TBinding>(SettingRow(section, key), std::move(controls), std::move(show), std::move(take)));
  return *all_.back();
}

TBinding& TBindings::Bind(const char* section, const char* key, std::vector<QWidget*> controls, TBinding::TShow show,
                          TBinding::TTake take) {
  return Add(section, key, std::move(controls), std::move(show), std::move(take));
}

TBinding& TBindings::Bind(const char* section, const char* key, QAbstractButton* box) {
  const TSettingRow& row = SettingRow(section, key);
  return Add(
      section, key, {box},
      [box, &row](const std::string* v) {
        if (!v) return false;
        box->setChecked(row.On(*v));
        return true;
      },
      [box, &row]() -> std::optional<std::string> { return row.FlagValue(box->isChecked()); });
}

TBinding& TBindings::Bind(const char* section, const char* key, QComboBox* list, int offset) {
  return Bind(section, key, list, [offset] { return offset; });
}

TBinding& TBindings::Bind(const char* section, const char* key, QComboBox* list, std::function<int()> offset) {
  return Add(
      section, key, {list},
      [list, offset](const std::string* v) {
        const std::optional<long> n = v ? Number(*v) : std::nullopt;
        if (!n) return false;
        const long item = *n - offset();
        if (item < 0 || item >= list->count()) return false;
        list->setCurrentIndex(static_cast<int>(item));
        return true;
      },
      [list, offset]() -> std::optional<std::string> {
        // Nothing chosen: the device keeps its setting rather than being answered "-1".
        if (list->currentIndex() < 0) return std::nullopt;
        return std::to_string(list->currentIndex() + offset());
      });
}

TBinding& TBindings::BindText(const char* section, const char* key, QComboBox* list) {
  const TSettingRow& row = SettingRow(section, key);
  return Add(
      section, key, {list},
      [list, &row](const std::string* v) {
        // The whole text in any letter case.
        const int item = v ? list->findText(QString::fromStdString(DumpText(row, *v)), Qt::MatchFixedString) : -1;
        if (item >= 0) list->setCurrentIndex(item);
        return item >= 0;
      },
      [list]() -> std::optional<std::string> {
        if (list->currentIndex() < 0) return std::nullopt;
        return list->currentText().toStdString();
      });
}

TBinding& TBindings::BindCodes(const char* section, const char* key, QComboBox* list, std::span<const uint8_t> codes) {
  return Add(
      section, key, {list},
      [list, codes](const std::string* v) {
        const std::optional<long> code = v ? Byte(*v) : std::nullopt;
        const auto found = code ? std::find(codes.begin(), codes.end(), *code) : codes.end();
        // A code the list does not offer selects nothing, so the device keeps it.
        list->setCurrentIndex(found == codes.end() ? -1 : static_cast<int>(found - codes.begin()));
        return code.has_value();
      },
      [list, codes]() -> std::optional<std::string> {
        const int item = list->currentIndex();
        if (item < 0 || item >= static_cast<int>(codes.size())) return std::nullopt;
        return HexByte(codes[static_cast<size_t>(item)]);
      });
}

TBinding& TBindings::Bind(const char* section, const char* key, TIntEdit* edit) {
  // The settings table holds the ranges the edits take; the forms' own bounds only lay them out.
  if (const TSettingRow& row = SettingRow(section, key); row.WindowRange) {
    edit->SetMaxValue(static_cast<int32_t>(row.WindowRange->Max));
    edit->SetMinValue(static_cast<int32_t>(row.WindowRange->Min));
  }
  return Add(
      section, key, {edit},
      [edit](const std::string* v) {
        int n = 0;
        if (!v || !TryParseInteger(*v, n)) return false;
        ShowIntAsRead(edit, n);
        return true;
      },
      // The number as shown: a unit's own value outside the range stays the unit's, and one
      // typed there is a range fault that keeps Apply and Save from taking it.
      [edit]() -> std::optional<std::string> { return std::to_string(ValueOf(edit)); });
}

TBinding& TBindings::Bind(const char* section, const char* key, TIPAddress* edit) {
  return Add(
      section, key, {edit}, [edit](const std::string* v) { return v && SetIPAddressText(edit, *v); },
      [edit]() -> std::optional<std::string> { return edit->Address().toStdString(); });
}

TBinding& TBindings::Bind(const char* section, const char* key, QLineEdit* edit) {
  const bool hex = SettingRow(section, key).Kind == TSettingKind::HexByte;
  return Add(
      section, key, {edit},
      [edit, hex](const std::string* v) {
        if (!v) return false;
        const std::optional<long> byte = hex ? Byte(*v) : std::nullopt;
        edit->setText(QString::fromStdString(byte ? HexByte2(static_cast<uint8_t>(*byte)) : *v));
        return true;
      },
      [edit]() -> std::optional<std::string> { return edit->text().toStdString(); });
}

TBinding& TBindings::Bind(const char* section, const char* key, std::vector<QWidget*> group) {
  const TSettingRow& row = SettingRow(section, key);
  if (!row.Fields) throw std::logic_error(row.Section + "/" + row.Key() + " has no byte layout");
  auto fields = row.Fields;
  return Add(
      section, key, group,
      [group, fields](const std::string* v) {
        const std::optional<long> byte = v ? Byte(*v) : std::nullopt;
        if (byte) UnpackControls(fields(), static_cast<uint8_t>(*byte), group);
        return byte.has_value();
      },
      [group, fields]() -> std::optional<std::string> { return HexByte(PackControls(fields(), group)); });
}

void TBindings::Load(const TBoundValues& values) const {
  for (const auto& b : all_) b->Load(values);
}

void TBindings::Store(const TBoundValues& values) const {
  for (const auto& b : all_) b->Store(values);
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
