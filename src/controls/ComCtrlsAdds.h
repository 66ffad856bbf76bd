#pragma once
// Dotted IPv4 address edit in four fields, each limited to its own range of 0..255.

#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>

class QLabel;
class TIPField;

// Raised for a text that is not a dotted IPv4 address; the message is the system's own.
class EIPAddressError final : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A field was changed by the user: FieldNum 0..3, NewValue the field's value (-1 for an empty
// field). A handler may change NewValue; the field then shows the new value.
using TIPFieldChangedEvent = std::function<void(int FieldNum, int& NewValue)>;

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

 public:
  explicit TIPAddress(QWidget* parent = nullptr);
  ~TIPAddress() override;

  // Dotted text of the shown address, first field first ("0.0.0.0" for 0).
  QString Address() const;
  // Shows the address of s; an invalid s raises EIPAddressError and changes nothing.
  void SetAddress(const QString& s);
  // The shown address as a number, first field in the most significant byte.
  uint32_t WinAddress() const;
  void SetWinAddress(uint32_t v);

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

  TIPFieldChangedEvent OnIPFieldChange;

  QSize sizeHint() const override;

 signals:
  // Any change of the shown text, by the user or by code.
  void OnChange(QObject* Sender);

 protected:
  void changeEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  friend class TIPField;
  struct Range {
    uint8_t low = 0;
    uint8_t high = 255;
  };

  void ShowWinAddress(uint32_t a);
  void FieldTextChanged();
  void FieldLeft(int field, const QString& textAtEntry);
  void FocusField(int field, bool selectAll, bool atEnd = false);
  void PasteAddress(int field, const QString& text);
  void ApplyAutoSize();
  void LayoutFields();
  void ApplyHint();

  std::array<TIPField*, 4> fields_{};
  std::array<QLabel*, 3> dots_{};
  std::array<Range, 4> ranges_{};
  bool autoSize_ = true;
  bool updating_ = false;
  QString lastText_;
  QString hint_;
  bool showHint_ = false;
};
