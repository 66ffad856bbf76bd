#pragma once
// Dotted IPv4 address edit: one line that holds exactly what was typed or written, with the
// typing rules of an address.

#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <stdexcept>

class TIPAddressLine;
class TRefusalSign;

// Raised for a text that is not a dotted IPv4 address; the message is the system's own.
class EIPAddressError final : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Typing into the address, as a person types one over the old one:
// * the first digit typed into a number replaces that whole number, wherever the caret stood in
//   it; the digits after it follow it, until the number would pass 255 or three digits, when the
//   digit starts the next number, or, after the last one, is refused (a red frame for a moment);
// * "." or a blank moves to the next number and selects it; after the last number the dot is
//   kept as typed, and the text is no address until it is mended;
// * digits and dots typed one after the other that make a whole address are the address,
//   wherever they began: 172.16.0.9 typed from the second number on gives 172.16.0.9;
// * Backspace and Delete take the digit beyond a dot between two numbers, so the four places
//   stay; a dot next to an empty place goes like any character;
// * a pasted text of digits and dots replaces the whole address; digits alone are typed;
// * carets, selections, the mouse, copy and undo are a line edit's.
// Nothing is ever corrected: a text that is no address (or has a number outside its field's
// range) is shown in red with the fault as its tool tip, and the window sends nothing while
// one is shown.
class TIPAddress : public QWidget {
  Q_OBJECT
  Q_PROPERTY(QString Address READ Address WRITE SetAddress)
  Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
  Q_PROPERTY(uchar Field0LowRange READ Field0LowRange WRITE SetField0LowRange)
  Q_PROPERTY(uchar Field0HighRange READ Field0HighRange WRITE SetField0HighRange)
  Q_PROPERTY(uchar Field1LowRange READ Field1LowRange WRITE SetField1LowRange)
  Q_PROPERTY(uchar Field1HighRange READ Field1HighRange WRITE SetField1HighRange)
  Q_PROPERTY(uchar Field2LowRange READ Field2LowRange WRITE SetField2LowRange)
  Q_PROPERTY(uchar Field2HighRange READ Field2HighRange WRITE SetField2HighRange)
  Q_PROPERTY(uchar Field3LowRange READ Field3LowRange WRITE SetField3LowRange)
  Q_PROPERTY(uchar Field3HighRange READ Field3HighRange WRITE SetField3HighRange)
  Q_PROPERTY(uint WinAddress READ WinAddress WRITE SetWinAddress)
  Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
  Q_PROPERTY(bool ShowHint READ ShowHint WRITE SetShowHint)
  Q_PROPERTY(QString FaultText READ FaultText WRITE SetFaultText)

 public:
  explicit TIPAddress(QWidget* parent = nullptr);
  ~TIPAddress() override;

  // Dotted text of the address, first field first ("0.0.0.0" for 0) and without leading zeros;
  // the text as shown while it is no address.
  QString Address() const;
  // Shows the address of s; an invalid s raises EIPAddressError and changes nothing.
  void SetAddress(const QString& s);
  // The address as a number, first field in the most significant byte; 0 while the text is no
  // address.
  uint32_t WinAddress() const;
  void SetWinAddress(uint32_t v);

  // The text as shown: what was typed or written.
  QString Text() const;
  // Four numbers separated by dots, each inside its field's range.
  bool HoldsAddress() const;
  // Why the text is no address, for the tool tip and the window's list of faults; empty while
  // it is one.
  QString Fault() const;
  QString FaultText() const { return faultText_; }
  void SetFaultText(const QString& v);

  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);

  uint8_t LowRange(int field) const { return ranges_.at(field).low; }
  uint8_t HighRange(int field) const { return ranges_.at(field).high; }
  // A low bound above the high bound raises the high bound with it, and the other way round.
  void SetLowRange(int field, uint8_t v);
  void SetHighRange(int field, uint8_t v);

  uchar Field0LowRange() const { return LowRange(0); }
  void SetField0LowRange(uchar v) { SetLowRange(0, v); }
  uchar Field0HighRange() const { return HighRange(0); }
  void SetField0HighRange(uchar v) { SetHighRange(0, v); }
  uchar Field1LowRange() const { return LowRange(1); }
  void SetField1LowRange(uchar v) { SetLowRange(1, v); }
  uchar Field1HighRange() const { return HighRange(1); }
  void SetField1HighRange(uchar v) { SetHighRange(1, v); }
  uchar Field2LowRange() const { return LowRange(2); }
  void SetField2LowRange(uchar v) { SetLowRange(2, v); }
  uchar Field2HighRange() const { return HighRange(2); }
  void SetField2HighRange(uchar v) { SetHighRange(2, v); }
  uchar Field3LowRange() const { return LowRange(3); }
  void SetField3LowRange(uchar v) { SetLowRange(3, v); }
  uchar Field3HighRange() const { return HighRange(3); }
  void SetField3HighRange(uchar v) { SetHighRange(3, v); }

  QString Hint() const { return hint_; }
  void SetHint(const QString& v);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool v);

  // Parses dotted text; text after the fourth field is ignored.
  static uint32_t StrToIPAddress(const QString& s);
  static QString IPAddressToStr(uint32_t a);

  QSize sizeHint() const override;

 signals:
  // Any change of the shown text, by the user or by code.
  void OnChange(QObject* Sender);
  // A key was refused; the control shows a red frame for a moment.
  void InputRefused();

 protected:
  void changeEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  friend class TIPAddressLine;
  struct Range {
    uint8_t low = 0;
    uint8_t high = 255;
  };
  // The four numbers of the text; false when it is no address, whatever the ranges.
  bool Numbers(std::array<int, 4>& numbers) const;
  void ShowWinAddress(uint32_t a);
  void TextChanged();
  void ShowFault();
  void Refuse();
  void ApplyAutoSize();
  void LayoutLine();
  void ApplyHint();

  TIPAddressLine* line_ = nullptr;
  TRefusalSign* refusal_ = nullptr;
  std::array<Range, 4> ranges_{};
  bool autoSize_ = true;
  bool updating_ = false;
  QString hint_;
  bool showHint_ = false;
  QString faultText_ = QStringLiteral("four numbers 0 to 255, separated by dots");
  bool faultShown_ = false;
};
