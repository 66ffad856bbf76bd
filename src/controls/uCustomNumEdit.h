#pragma once
// Abstract numeric edit: arrow buttons inside the right edge, stepping from the keyboard, a filter
// for typed characters and validation when the user presses Enter or leaves the edit.
//
// A number is typed over, not into: the first character typed after the caret was put anywhere
// (by the mouse, Home, the arrows, the focus) replaces the whole text, so a person who types a
// new value over the old one without selecting it gets exactly what was typed. The characters
// after it, and those after Backspace or Delete, go in at the caret as in a line edit. A
// character the edit does not take is refused with a red frame for a moment.

#include <QLineEdit>
#include <QString>

class QToolButton;
class TRefusalSign;

enum class TStepDirection { Up, Down };

class TMyCustomNumEdit : public QLineEdit {
  Q_OBJECT
  Q_PROPERTY(bool UpDownEnable READ UpDownEnable WRITE SetUpDownEnable)
  Q_PROPERTY(QString ShowName READ ShowName WRITE SetShowName)
  Q_PROPERTY(bool AutoCorrect READ AutoCorrect WRITE SetAutoCorrect)
  Q_PROPERTY(bool FailureBeep READ FailureBeep WRITE SetFailureBeep)
  Q_PROPERTY(bool EditorEnabled READ EditorEnabled WRITE SetEditorEnabled)
  Q_PROPERTY(bool Colored READ Colored WRITE SetColored)
  Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
  Q_PROPERTY(bool ShowHint READ ShowHint WRITE SetShowHint)

 public:
  explicit TMyCustomNumEdit(QWidget* parent = nullptr);

  bool UpDownEnable() const { return upDownEnable_; }
  void SetUpDownEnable(bool v);
  QString ShowName() const { return showName_; }
  void SetShowName(const QString& v) { showName_ = v; }
  bool AutoCorrect() const { return autoCorrect_; }
  void SetAutoCorrect(bool v) { autoCorrect_ = v; }
  bool FailureBeep() const { return failureBeep_; }
  void SetFailureBeep(bool v) { failureBeep_ = v; }
  bool EditorEnabled() const { return editorEnabled_; }
  void SetEditorEnabled(bool v) { editorEnabled_ = v; }
  bool Colored() const { return colored_; }
  void SetColored(bool v);
  QString Hint() const { return hint_; }
  void SetHint(const QString& v);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool v);

  virtual void StepValue(TStepDirection direction, bool page);
  virtual void RefreshText();
  virtual bool ValidateText();
  // Whether the text is a value the edit takes, and the words for what it takes.
  virtual bool TextInRange() const { return true; }
  virtual QString AllowedRange() const { return {}; }

  // Validates the numeric edit that has the focus, if any. Shape buttons take no focus, so a
  // command run from one leaves a half-typed number unvalidated; a command that reads the edits
  // calls this first. False when that edit refused its text.
  static bool ValidateFocusedNumEdit();

  // Width of the arrow column; the text stops left of it.
  static constexpr int UpDownWidth = 15;

 signals:
  void OnChangeText(QObject* Sender);
  // A typed character was refused; the edit shows a red frame for a moment.
  void InputRefused();

 protected:
  // Whether Ctrl is held at the moment of a step: the key event being handled knows it best.
  bool CtrlHeld() const;
  // Colour of the text, used by forms that show the sign of the value.
  void SetFontColor(const QColor& color);
  // Shows the range message; overridable so that a form can present it differently.
  virtual void ShowRangeMessage(const QString& text);
  // A fault of the text shown as the tool tip instead of the hint; empty: the hint again.
  void SetRangeFault(const QString& text);
  // Whether a typed character goes in, given the text it would make; digits and the minus sign.
  virtual bool TakesCharacter(QChar c, const QString& textAfter) const;
  // For edits of values that are no quantity: no arrows, and the text reaches the right edge.
  void HideUpDown();

  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

  bool CanEditClipboard() const { return editorEnabled_ && !isReadOnly(); }

 private:
  void LayoutUpDown();
  void UpDownClick(TStepDirection direction);
  void ApplyHint();
  // Whether the last key typed or erased here, and nothing has moved the caret since.
  bool ContinuesTyping() const;
  void Typed();
  void Refuse(bool typing);

  QWidget* upDown_ = nullptr;
  QToolButton* upButton_ = nullptr;
  QToolButton* downButton_ = nullptr;
  bool upDownEnable_ = true;
  QString showName_ = QStringLiteral("Hodnota");
  bool autoCorrect_ = true;
  bool failureBeep_ = false;
  bool editorEnabled_ = true;
  bool colored_ = true;
  QString hint_;
  QString rangeFault_;
  bool showHint_ = false;
  Qt::KeyboardModifiers keyModifiers_;
  bool inKeyEvent_ = false;
  bool validating_ = false;
  TRefusalSign* refusal_ = nullptr;
  bool typing_ = false;
  QString typedText_;
  int typedCaret_ = 0;
};
