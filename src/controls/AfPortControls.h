#pragma once
// Drop-down list of the machine's serial ports, listed as "COM %d" and chosen by COM number. The
// open list also says what is behind each number ("FTDI FT232R USB UART, ttyUSB0") and is built
// anew each time it opens.

#include <QComboBox>
#include <QHash>
#include <cstdint>
#include <memory>

class TAfComPort;

class TAfPortComboBox : public QComboBox {
  Q_OBJECT
  // The list is the machine's ports as probed now: a language file neither carries nor replaces it.
  Q_CLASSINFO("LiveItems", "true")
 public:
  // pcListHeld: with pcDisableOpen, a port another program holds is still listed, greyed and not
  // to be chosen, with who holds it ("in use by minicom (PID 1234)").
  enum TPortComboOption { pcCheckExist = 0x1, pcDisableOpen = 0x2, pcHighlightOpen = 0x4, pcListHeld = 0x8 };
  Q_DECLARE_FLAGS(TPortComboOptions, TPortComboOption)
  Q_FLAG(TPortComboOptions)

  // High half of a port record.
  enum TPortState : uint16_t { psInUse = 0, psFree = 1, psAbsent = 2 };

 private:
  Q_PROPERTY(ushort ComNumber READ ComNumber WRITE SetComNumber)
  Q_PROPERTY(short MaxComPorts READ MaxComPorts WRITE SetMaxComPorts)
  Q_PROPERTY(TPortComboOptions Options READ Options WRITE SetOptions)
  Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
  Q_PROPERTY(bool ShowHint READ ShowHint WRITE SetShowHint)

 public:
  // Builds the list at once with the defaults: MaxComPorts 255, Options [pcCheckExist].
  explicit TAfPortComboBox(QWidget* parent = nullptr);
  ~TAfPortComboBox() override;

  uint16_t ComNumber() const { return comNumber_; }
  void SetComNumber(uint16_t n);
  int16_t MaxComPorts() const { return maxComPorts_; }
  void SetMaxComPorts(int16_t n);
  TPortComboOptions Options() const { return options_; }
  void SetOptions(TPortComboOptions o);

  // The port that follows the user's choice. Held weakly: a port destroyed first unlinks itself.
  std::shared_ptr<TAfComPort> ComPort() const { return comPort_.lock(); }
  void SetComPort(const std::weak_ptr<TAfComPort>& port);

  // COM number in the low 16 bits, TPortState in the high 16 bits.
  static uint32_t ProbePort(int n);
  void UpdatePortList();
  void UpdateSelection();
  void showPopup() override;

  static uint16_t RecordNumber(uint32_t record) { return record & 0xFFFF; }
  static uint16_t RecordState(uint32_t record) { return record >> 16; }
  uint32_t ItemRecord(int index) const;
  // False for a port another program holds.
  bool ItemChoosable(int index) const;
  QString ItemDescription(int index) const;
  // Fixed height of every entry: the font's pixel height plus five.
  int ItemHeight() const;

  // How a held port is described: %1 the holders, each as holderPattern gives it (%1 name, %2
  // PID); unknown when the system does not say who holds it.
  void SetHeldTexts(const QString& pattern, const QString& holderPattern, const QString& unknown);
  // The words that replace the system's English kind of a port ("simulator", "serial port") in
  // the descriptions, in the window's language.
  void SetKindWords(const QHash<QString, QString>& words);

  QString Hint() const { return hint_; }
  void SetHint(const QString& v);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool v);

 signals:
  // The user chose an entry; ComNumber already holds its number.
  void OnChange(QObject* Sender);

 protected:
  void changeEvent(QEvent* event) override;

 private:
  class TDelegate;
  void UserChoice(int index);
  void ApplyHint();
  QString HeldText(const std::string& path) const;
  QString Described(QString description) const;

  uint16_t comNumber_ = 0;
  std::weak_ptr<TAfComPort> comPort_;
  int16_t maxComPorts_ = 255;
  TPortComboOptions options_ = pcCheckExist;
  QString hint_;
  bool showHint_ = false;
  QString heldPattern_ = QStringLiteral("in use by %1");
  QString holderPattern_ = QStringLiteral("%1 (PID %2)");
  QString heldUnknown_ = QStringLiteral("in use by another program");
  QHash<QString, QString> kindWords_;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TAfPortComboBox::TPortComboOptions)
