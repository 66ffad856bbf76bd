#pragma once
// One byte in hexadecimal as the device prints it ("0D"): one or two hexadecimal digits, or
// nothing where the device takes none. Text stays as typed or written; text that is no byte is
// shown in red with the range as its tool tip, and the window sends nothing while one is typed.

#include "uCustomNumEdit.h"

class THexByteEdit : public TMyCustomNumEdit {
  Q_OBJECT
  Q_PROPERTY(bool AllowEmpty READ AllowEmpty WRITE SetAllowEmpty)
  Q_PROPERTY(QString RangeText READ RangeText WRITE SetRangeText)

 public:
  explicit THexByteEdit(QWidget* parent = nullptr);

  // An empty text stands for "none" and is a value of its own.
  bool AllowEmpty() const { return allowEmpty_; }
  void SetAllowEmpty(bool v);
  // The range tip, "%1" the least and "%2" the greatest byte.
  QString RangeText() const { return rangeText_; }
  void SetRangeText(const QString& v);

  bool TextInRange() const override;
  QString AllowedRange() const override;
  // From the typed byte (00 when there is none), one up or down, sixteen a page; stops at the ends.
  void StepValue(TStepDirection direction, bool page) override;
  void RefreshText() override;
  bool ValidateText() override;

 protected:
  bool TakesCharacter(QChar c, const QString& textAfter) const override;

 private:
  void ShowRangeState();

  bool allowEmpty_ = false;
  QString rangeText_ = QStringLiteral("%1 to %2");
};
