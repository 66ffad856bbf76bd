#pragma once
// Settings of the model bound to the window's controls: each page lists, row by row, which
// controls show a setting, loads them from the model's values and stores them back. Also the
// marks that show a value the device did not report, and the one way in which rules enable
// controls.
//
// A binding stores only while its control's own enabled flag is set, so a control that a rule
// disabled keeps the device's setting; the answers the device always gets are bound Always().

#include <QColor>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "uKaVruneModel.h"

class QAbstractButton;
class QComboBox;
class QLineEdit;
class TIntEdit;
class TIPAddress;

// Background of a control whose value the device did not report (a light pink).
inline QColor MissingKeyColor() { return QColor(255, 208, 208); }
// Background of a control whose value was taken, or that is not checked at all.
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

// Shows a number as the device reported it: inside the edit's range as its value, outside it as
// typed text, never clamped, so that the page shows the device's setting.
void ShowIntAsRead(TIntEdit* edit, int value);
// The number an integer edit shows, never clamped: out of its range it is the unit's own value
// (ShowIntAsRead) or a typed one that RangeFaults names, and a clamp would change either
// silently.
int ValueOf(const TIntEdit* edit);

// Shows a dotted text in the address edit under the same field rule that IsIPv4Address applies
// (blanks before a field, "$" hexadecimal); false and nothing changed when it does not accept it.
bool SetIPAddressText(TIPAddress* edit, const std::string& text);

// The control's own enabled flag, without its parents': a control on a disabled page still
// counts as enabled when its own rule left it so.
bool IsOwnEnabled(const QWidget* control);

// Sets the enabled flag of every object of the list, in list order; recursive first treats all
// children at every depth (descendants before their parent). Objects without an enabled
// property are skipped; none (nullptr) entries are ignored.
void EnableControls(const std::vector<QObject*>& objects, bool enable, bool recursive);

// --- bindings -------------------------------------------------------------------------------

// The row of the table; a row the table lacks is a fault of the page that names it.
const TSettingRow& SettingRow(const std::string& section, const std::string& key);

// The values a page loads from and stores into: the model's own sections, or for the channel
// page the section of the channel shown in place of the one its rows name.
class TBoundValues final {
 public:
  explicit TBoundValues(const TDeviceSettings& values, std::string section = {});
  // Stored into.
  explicit TBoundValues(TDeviceSettings* values, std::string section = {});
  const std::string* Find(const TSettingRow& row) const;
  // Whether the row's section holds any value: a page shows nothing of a section not reported.
  bool HasSection(const TSettingRow& row) const;
  // The value as the row reads it; text that is no value of the row is not set.
  void Set(const TSettingRow& row, const std::string& text) const;

 private:
  const std::string& Section(const TSettingRow& row) const { return section_.empty() ? row.Section : section_; }
  const TDeviceSettings* from_;
  TDeviceSettings* to_ = nullptr;
  std::string section_;
};

enum class TMissingMark { None, Colour, Frame };

// One row onto one control or a group of them. Show gets the value (nullptr: the model has none
// and no default) and says whether the controls took it; Take gives the controls' value, nothing
// when they stand for none.
class TBinding final {
 public:
  using TShow = std::function<bool(const std::string* value)>;
  using TTake = std::function<std::optional<std::string>()>;
  TBinding(const TSettingRow& row, std::vector<QWidget*> controls, TShow show, TTake take);

  const TSettingRow& Row() const { return row_; }
  const std::vector<QWidget*>& Controls() const { return controls_; }

  // The mark a value the model lacks (or the controls cannot show) puts on the controls, or on
  // those of them given.
  TBinding& Mark(TMissingMark mark, std::vector<QWidget*> marked = {});
  // The value shown when the model has none.
  TBinding& Default(std::string value);
  // Stored whatever a rule disabled.
  TBinding& Always();
  // Loaded and stored only while active says so (a channel's TCP or UDP part).
  TBinding& When(std::function<bool()> active);
  // A rule run after each load, for the controls that the rule rebuilds or follows.
  TBinding& Then(std::function<void()> rule);

  void Load(const TBoundValues& values) const;
  void Store(const TBoundValues& values) const;

 private:
  const TSettingRow& row_;
  std::vector<QWidget*> controls_;
  TShow show_;
  TTake take_;
  TMissingMark mark_ = TMissingMark::None;
  std::vector<QWidget*> marked_;
  std::optional<std::string> default_;
  bool always_ = false;
  std::function<bool()> active_;
  std::function<void()> then_;
};

// A page's bindings in load order.
class TBindings final {
 public:
  // Flag: checked for "Y", or for "N" on a row that the device asks inverted ("Disable SNMP").
  TBinding& Bind(const char* section, const char* key, QAbstractButton* box);
  // Choice or number: the item (value - offset). A value the list does not offer changes nothing.
  TBinding& Bind(const char* section, const char* key, QComboBox* list, int offset = 0);
  // The same with an offset that depends on other controls (the WEP key sizes count from 1).
  TBinding& Bind(const char* section, const char* key, QComboBox* list, std::function<int()> offset);
  // A list whose items are the values as the dump prints them (baud rates, datagram types).
  TBinding& BindText(const char* section, const char* key, QComboBox* list);
  // A list of the device's codes in item order (the flow control).
  TBinding& BindCodes(const char* section, const char* key, QComboBox* list, std::span<const uint8_t> codes);
  // A number; the edit takes the row's range.
  TBinding& Bind(const char* section, const char* key, TIntEdit* edit);
  TBinding& Bind(const char* section, const char* key, TIPAddress* edit);
  // A text; a hex byte in two digits, as the device prints it.
  TBinding& Bind(const char* section, const char* key, QLineEdit* edit);
  // A hex byte spread over a group of lists and check boxes by the row's byte layout, the
  // controls in the layout's field order.
  TBinding& Bind(const char* section, const char* key, std::vector<QWidget*> group);
  // Anything else: one row onto several controls in its own way.
  TBinding& Bind(const char* section, const char* key, std::vector<QWidget*> controls, TBinding::TShow show,
                 TBinding::TTake take);

  void Load(const TBoundValues& values) const;
  void Store(const TBoundValues& values) const;
  const std::vector<std::unique_ptr<TBinding>>& All() const { return all_; }

 private:
  TBinding& Add(const char* section, const char* key, std::vector<QWidget*> controls, TBinding::TShow show,
                TBinding::TTake take);
  std::vector<std::unique_ptr<TBinding>> all_;
};

// A list's item or a check box's 0/1.
int FieldOf(const QWidget* w);
// Selecting an item raises no rule; ticking a box raises its own when the state changes.
void SetField(QWidget* w, int item);
// A control group packed into a byte by its layout, the controls in the layout's field order.
uint8_t PackControls(std::span<const TByteField> fields, const std::vector<QWidget*>& controls);
void UnpackControls(std::span<const TByteField> fields, uint8_t byte, const std::vector<QWidget*>& controls);
