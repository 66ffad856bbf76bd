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

  void StepValue(TStepDirection direction, bool page) override;
  void RefreshText() override;
  bool ValidateText() override;

  // Text parsing shared with the tests: a whole decimal integer with an optional leading minus,
  // saturated to 64 bits so that an overlong number still compares as out of range.
  static bool ParseWhole(const QString& text, int64_t& value);
  // The number formed by the leading digits, any sign skipped; 0 when there are none.
  static int64_t LeadingDigits(const QString& text);

 private:
  int32_t Clamp(int64_t v) const;

  int32_t value_ = 0;
  int32_t maxValue_ = 100;
  int32_t minValue_ = 0;
  uint16_t pageMult_ = 10;
  int32_t increment_ = 1;
};
