#include "uHexByteEdit.h"

#include <algorithm>

namespace {
bool IsHexDigit(QChar c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'); }
}  // namespace

THexByteEdit::THexByteEdit(QWidget* parent) : TMyCustomNumEdit(parent) {
  HideUpDown();
  connect(this, &QLineEdit::textChanged, this, [this] { ShowRangeState(); });
  ShowRangeState();
}

void THexByteEdit::SetAllowEmpty(bool v) {
  allowEmpty_ = v;
  ShowRangeState();
}

void THexByteEdit::SetRangeText(const QString& v) {
  rangeText_ = v;
  ShowRangeState();
}

bool THexByteEdit::TextInRange() const {
  const QString t = text();
  if (t.isEmpty()) return allowEmpty_;
  return t.size() <= 2 && std::all_of(t.begin(), t.end(), IsHexDigit);
}

QString THexByteEdit::AllowedRange() const { return rangeText_.arg(QStringLiteral("00"), QStringLiteral("FF")); }

bool THexByteEdit::TakesCharacter(QChar c, const QString& textAfter) const {
  return IsHexDigit(c) && textAfter.size() <= 2;
}

void THexByteEdit::StepValue(TStepDirection direction, bool page) {
  int v = TextInRange() && !text().isEmpty() ? text().toInt(nullptr, 16) : 0;
  const int delta = page ? 16 : 1;
  v = std::clamp(direction == TStepDirection::Up ? v + delta : v - delta, 0, 255);
  setText(QStringLiteral("%1").arg(v, 2, 16, QLatin1Char('0')).toUpper());
}

void THexByteEdit::RefreshText() { ShowRangeState(); }

bool THexByteEdit::ValidateText() { return true; }  // the text stays as typed, red until mended

void THexByteEdit::ShowRangeState() {
  const bool inRange = TextInRange();
  SetRangeFault(inRange ? QString() : AllowedRange());
  SetFontColor(inRange ? QColor(Qt::black) : QColor(0xD0, 0, 0));
}
