#pragma once
// What the page files share: document keys read and written in the pages' own way, and the looks
// of the rules.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "uIntEdit.h"
#include "uKaVruneBinding.h"
#include "uKaVruneCodecs.h"
#include "uKaVruneModel.h"
#include "uMainPrivate.h"
#include "uXmlUtils.h"

// The key's text, starting from its default; false when the key is missing.
inline bool KeyText(const TXmlElement& section, const char* key, std::string& text, const char* defaultText = "") {
  text = defaultText;
  return GetKeyText(section, key, text);
}

inline void MarkAll(std::initializer_list<QWidget*> controls, bool present) {
  for (QWidget* w : controls) MarkControl(w, present);
}

inline int ItemOf(const std::string& text, std::initializer_list<std::pair<const char*, int>> known, int other) {
  for (const auto& [name, item] : known)
    if (text == name) return item;
  return other;
}

// A direct write: the key is found or created and overwritten, whatever a rule disabled.
inline void Put(const TXmlElement& section, const char* key, const std::string& value) {
  if (TXmlElement e = FindNodePath(section, key, true)) e.SetText(value);
}
inline void Put(const TXmlElement& section, const char* key, const QString& value) { Put(section, key, Std(value)); }
inline void Put(const TXmlElement& section, const char* key, const char* value) {
  Put(section, key, std::string(value));
}
inline void Put(const TXmlElement& section, const char* key, int value) { Put(section, key, std::to_string(value)); }

// A list with nothing chosen (a value the list does not offer was read) writes no key, so the
// device keeps its setting instead of being answered "-1".
inline void PutChoice(const TXmlElement& section, const char* key, const QComboBox* list, int offset = 0) {
  if (list->currentIndex() >= 0) Put(section, key, list->currentIndex() + offset);
}

// The number an integer edit stands for, kept inside its range even while typed text was never
// validated.
inline int ValueOf(const TIntEdit* e) { return std::clamp(e->Value(), e->MinValue(), e->MaxValue()); }

inline const char* YesNo(bool yes) { return yes ? "Y" : "N"; }

inline bool IsHexText(const QString& t) {
  for (QChar c : t)
    if (!QStringLiteral("0123456789abcdefABCDEF").contains(c)) return false;
  return true;
}

// Red and bold for a count that does not fit, window text and regular otherwise.
inline void ShowAlarm(QLabel* label, bool alarm) {
  QPalette pal = label->palette();
  pal.setColor(QPalette::WindowText,
               alarm ? QColor(255, 0, 0) : QApplication::palette(label).color(QPalette::WindowText));
  label->setPalette(pal);
  QFont f = label->font();
  f.setBold(alarm);
  label->setFont(f);
}

// The settings table holds the ranges the edits take; the forms' own bounds only lay them out.
inline void TakeWindowRange(TIntEdit* edit, const char* section, const char* key) {
  if (const TSettingRow* row = FindSettingRow(section, key); row && row->WindowRange) {
    edit->SetMaxValue(static_cast<int32_t>(row->WindowRange->Max));
    edit->SetMinValue(static_cast<int32_t>(row->WindowRange->Min));
  }
}

// Connects a rule to the control's signal for the user's change: a box's toggle, an edit's text,
// a list's choice (code that selects an item runs the rule itself).
template <typename Page>
void OnToggle(Page* page, QAbstractButton* b, void (Page::*rule)(QObject*)) {
  QObject::connect(b, &QAbstractButton::toggled, page, [page, b, rule] { (page->*rule)(b); });
}
template <typename Page>
void OnText(Page* page, QLineEdit* e, void (Page::*rule)(QObject*)) {
  QObject::connect(e, &QLineEdit::textChanged, page, [page, e, rule] { (page->*rule)(e); });
}
template <typename Page>
void OnChoice(Page* page, QComboBox* c, void (Page::*rule)(QObject*)) {
  QObject::connect(c, &QComboBox::activated, page, [page, c, rule] { (page->*rule)(c); });
}

// A list's item or a check box's 0/1.
inline int FieldOf(QWidget* w) {
  if (auto* list = qobject_cast<QComboBox*>(w)) return list->currentIndex();
  if (auto* box = qobject_cast<QAbstractButton*>(w)) return box->isChecked() ? 1 : 0;
  return -1;
}

// Selecting an item raises no rule; ticking a box raises its own when the state changes.
inline void SetField(QWidget* w, int item) {
  if (item < 0) return;
  if (auto* list = qobject_cast<QComboBox*>(w)) list->setCurrentIndex(item);
  else if (auto* box = qobject_cast<QAbstractButton*>(w)) box->setChecked(item != 0);
}

// A control group packed into a byte by its layout, the controls in the layout's field order.
inline uint8_t PackControls(std::span<const TByteField> fields, const std::vector<QWidget*>& controls) {
  std::vector<int> items;
  for (QWidget* w : controls) items.push_back(FieldOf(w));
  return EncodeFields(fields, items);
}

inline void UnpackControls(std::span<const TByteField> fields, uint8_t byte, const std::vector<QWidget*>& controls) {
  const std::vector<int> items = DecodeFields(fields, byte);
  size_t i = 0;
  for (QWidget* w : controls) SetField(w, items.at(i++));
}
