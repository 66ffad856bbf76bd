#pragma once
// What the page files share: the bindings, the looks of the rules and their connections.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "uIntEdit.h"
#include "uKaVruneBinding.h"
#include "uKaVruneCodecs.h"
#include "uKaVruneModel.h"
#include "uMainPrivate.h"

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
