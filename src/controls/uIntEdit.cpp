#include "uIntEdit.h"

#include <QApplication>
#include <limits>

namespace {
// Beyond this magnitude every number is out of any 32-bit range; stopping here keeps the
// arithmetic far from overflowing 64 bits.
constexpr int64_t SaturatedMagnitude = int64_t{1} << 40;

bool FitsInt32(int64_t v) {
  return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
}
}  // namespace

TIntEdit::TIntEdit(QWidget* parent) : TMyCustomNumEdit(parent) {
  RefreshText();
  connect(this, &QLineEdit::textChanged, this, [this] { ShowRangeState(); });
}

void TIntEdit::SetKeepOutOfRange(bool v) {
  keepOutOfRange_ = v;
  ShowRangeState();
}

void TIntEdit::SetRangeText(const QString& v) {
  rangeText_ = v;
  ShowRangeState();
}

QString TIntEdit::AllowedRange() const { return rangeText_.arg(minValue_).arg(maxValue_); }

bool TIntEdit::TextInRange() const {
  int64_t n = 0;
  return ParseWhole(text(), n) && n >= minValue_ && n <= maxValue_;
}

void TIntEdit::ShowRangeState() {
  if (!keepOutOfRange_) return;
  const bool inRange = TextInRange();
  SetRangeFault(inRange ? QString() : AllowedRange());
  if (inRange) RefreshColour(Value());
  else SetFontColor(QColor(0xD0, 0, 0));
  if (inRange == shownInRange_) return;
  shownInRange_ = inRange;
  emit RangeStateChanged(inRange);
}

bool TIntEdit::ParseWhole(const QString& text, int64_t& value) {
  qsizetype i = 0;
  bool negative = false;
  if (i < text.size() && text.at(i) == u'-') {
    negative = true;
    ++i;
  }
  if (i == text.size()) return false;
  int64_t n = 0;
  for (; i < text.size(); ++i) {
    const QChar c = text.at(i);
    if (c < u'0' || c > u'9') return false;
    if (n < SaturatedMagnitude) n = n * 10 + (c.unicode() - u'0');
  }
  value = negative ? -n : n;
  return true;
}

int64_t TIntEdit::LeadingDigits(const QString& text) {
  qsizetype i = 0;
  while (i < text.size() && (text.at(i) == u'-' || text.at(i) == u'+')) ++i;
  int64_t n = 0;
  for (; i < text.size() && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i)
    if (n < SaturatedMagnitude) n = n * 10 + (text.at(i).unicode() - u'0');
  return n;
}

int32_t TIntEdit::Clamp(int64_t v) const {
  if (v < minValue_) v = minValue_;
  if (v > maxValue_) v = maxValue_;
  if (minValue_ == maxValue_) v = minValue_;
  return static_cast<int32_t>(v);
}

int32_t TIntEdit::Value() const {
  int64_t v = 0;
  if (ParseWhole(text(), v) && FitsInt32(v)) return static_cast<int32_t>(v);
  return 0;
}

void TIntEdit::SetValue(int32_t v) {
  value_ = Clamp(v);
  RefreshText();
}

void TIntEdit::SetMinValue(int32_t v) {
  minValue_ = v > maxValue_ ? maxValue_ : v;
  SetValue(value_);
  ShowRangeState();
}

void TIntEdit::SetMaxValue(int32_t v) {
  maxValue_ = v < minValue_ ? minValue_ : v;
  SetValue(value_);
  ShowRangeState();
}

void TIntEdit::SetIncrement(int32_t v) {
  if (v > 0) increment_ = v;
}

void TIntEdit::RefreshColour(int32_t value) {
  // Black without the sign colours too: the red of a number out of range goes once it is mended.
  if (!Colored()) SetFontColor(Qt::black);
  else SetFontColor(value < 0 ? QColor(0x80, 0, 0) : value > 0 ? QColor(0, 0, 0x80) : QColor(Qt::black));
}

void TIntEdit::RefreshText() {
  // The committed value decides, so the colour always matches the number shown.
  RefreshColour(value_);
  setText(QString::number(value_));
}

void TIntEdit::StepValue(TStepDirection direction, bool page) {
  int64_t typed = 0;
  value_ = ParseWhole(text(), typed) ? Clamp(typed) : value_;
  int64_t m = CtrlHeld() ? 10 : 1;
  if (page) m *= pageMult_;
  const int64_t delta = int64_t{increment_} * m;
  SetValue(Clamp(direction == TStepDirection::Up ? int64_t{value_} + delta : int64_t{value_} - delta));
}

bool TIntEdit::ValidateText() {
  int64_t n = 0;
  const bool whole = ParseWhole(text(), n);
  if ((whole && n >= minValue_ && n <= maxValue_) || minValue_ == maxValue_) {
    SetValue(Clamp(whole ? n : minValue_));
    return true;
  }
  if (FailureBeep()) QApplication::beep();
  if (keepOutOfRange_) return true;  // the text stays as typed and red until it is mended
  if (AutoCorrect()) {
    SetValue(Clamp(whole ? n : LeadingDigits(text())));
    return true;
  }
  ShowRangeMessage(
      QString::asprintf("%s musí být v rozmezí od %d do %d!", ShowName().toUtf8().constData(), minValue_, maxValue_));
  setFocus(Qt::OtherFocusReason);
  selectAll();
  return false;
}
