#pragma once
// Integer edit with a range, a step size and a page multiplier.

#include <cstdint>

#include "uCustomNumEdit.h"

class TIntEdit : public TMyCustomNumEdit {
  Q_OBJECT
  // Declared in this order so that a stored window applies MinValue, MaxValue, then Value.
  Q_PROPERTY(int MinValue READ MinValue WRITE SetMinValue)
  Q_PROPERTY(int MaxValue READ MaxValue WRITE SetMaxValue)
  Q_PROPERTY(int Value READ Value WRITE SetValue)
  Q_PROPERTY(int Increment READ Increment WRITE SetIncrement)
  Q_PROPERTY(ushort PageMult READ PageMult WRITE SetPageMult)
  Q_PROPERTY(bool KeepOutOfRange READ KeepOutOfRange WRITE SetKeepOutOfRange)
  Q_PROPERTY(QString RangeText READ RangeText WRITE SetRangeText)

 public:
  explicit TIntEdit(QWidget* parent = nullptr);

  // The typed text read as an integer, unchecked against the range; 0 when it is none.
  int32_t Value() const;
  void SetValue(int32_t v);
  // The value last committed by a write, a step or a validation; always inside the range.
  int32_t CommittedValue() const { return value_; }
  int32_t MinValue() const { return minValue_; }
  void SetMinValue(int32_t v);
  int32_t MaxValue() const { return maxValue_; }
  void SetMaxValue(int32_t v);
  int32_t Increment() const { return increment_; }
  void SetIncrement(int32_t v);
  uint16_t PageMult() const { return pageMult_; }
  void SetPageMult(uint16_t v) { pageMult_ = v; }

  // Keeping out-of-range text: a number outside the range stays as typed, in red, with the range
  // as its tool tip, instead of being corrected or boxed; the form decides what it may not do.
  bool KeepOutOfRange() const { return keepOutOfRange_; }
  void SetKeepOutOfRange(bool v);
  // The range tip, "%1" the least and "%2" the greatest value.
  QString RangeText() const { return rangeText_; }
  void SetRangeText(const QString& v);
  // The range tip with this edit's bounds filled in.
  QString AllowedRange() const override;
  // True when the text is a whole number inside the range.
  bool TextInRange() const override;

  void StepValue(TStepDirection direction, bool page) override;
  void RefreshText() override;
  bool ValidateText() override;

  // Text parsing shared with the tests: a whole decimal integer with an optional leading minus,
  // saturated to 64 bits so that an overlong number still compares as out of range.
  static bool ParseWhole(const QString& text, int64_t& value);
  // The number formed by the leading digits, any sign skipped; 0 when there are none.
  static int64_t LeadingDigits(const QString& text);

 signals:
  // The text went out of the range or came back into it (only while out-of-range text is kept).
  void RangeStateChanged(bool inRange);

 private:
  int32_t Clamp(int64_t v) const;
  void ShowRangeState();
  void RefreshColour(int32_t value);

  int32_t value_ = 0;
  int32_t maxValue_ = 100;
  int32_t minValue_ = 0;
  uint16_t pageMult_ = 10;
  int32_t increment_ = 1;
  bool keepOutOfRange_ = false;
  bool shownInRange_ = true;
  QString rangeText_ = QStringLiteral("%1 to %2");
};
