#include "uCustomNumEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "uRefusalSign.h"

TMyCustomNumEdit::TMyCustomNumEdit(QWidget* parent) : QLineEdit(parent) {
  upDown_ = new QWidget(this);
  upDown_->setObjectName(QStringLiteral("upDown"));
  auto* column = new QVBoxLayout(upDown_);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  upButton_ = new QToolButton(upDown_);
  downButton_ = new QToolButton(upDown_);
  upButton_->setObjectName(QStringLiteral("upButton"));
  downButton_->setObjectName(QStringLiteral("downButton"));
  upButton_->setArrowType(Qt::UpArrow);
  downButton_->setArrowType(Qt::DownArrow);
  for (QToolButton* b : {upButton_, downButton_}) {
    // The caret must stay in the edit while the arrows are used.
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoRepeat(true);
    b->setAutoRaise(false);
    b->setIconSize(QSize(7, 4));
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    column->addWidget(b);
  }
  connect(upButton_, &QToolButton::clicked, this, [this] { UpDownClick(TStepDirection::Up); });
  connect(downButton_, &QToolButton::clicked, this, [this] { UpDownClick(TStepDirection::Down); });
  connect(this, &QLineEdit::textChanged, this, [this] { emit OnChangeText(this); });
  setTextMargins(0, 0, UpDownWidth + 2, 0);
  LayoutUpDown();
  refusal_ = new TRefusalSign(this);
}

void TMyCustomNumEdit::HideUpDown() {
  upDown_->hide();
  setTextMargins(0, 0, 0, 0);
}

bool TMyCustomNumEdit::TakesCharacter(QChar c, const QString&) const { return (c >= u'0' && c <= u'9') || c == u'-'; }

bool TMyCustomNumEdit::ContinuesTyping() const {
  return typing_ && !hasSelectedText() && cursorPosition() == typedCaret_ && text() == typedText_;
}

void TMyCustomNumEdit::Typed() {
  typing_ = true;
  typedText_ = text();
  typedCaret_ = cursorPosition();
}

void TMyCustomNumEdit::Refuse(bool typing) {
  refusal_->Flash();
  QApplication::beep();
  if (typing) Typed();  // a refused key leaves the number being typed as it was
  emit InputRefused();
}

void TMyCustomNumEdit::SetUpDownEnable(bool v) {
  upDownEnable_ = v;
  upButton_->setEnabled(v);
  downButton_->setEnabled(v);
}

void TMyCustomNumEdit::SetColored(bool v) {
  colored_ = v;
  if (!v) SetFontColor(Qt::black);
  RefreshText();
}

void TMyCustomNumEdit::SetHint(const QString& v) {
  hint_ = v;
  ApplyHint();
}

void TMyCustomNumEdit::SetShowHint(bool v) {
  showHint_ = v;
  ApplyHint();
}

void TMyCustomNumEdit::SetRangeFault(const QString& text) {
  if (rangeFault_ == text) return;
  rangeFault_ = text;
  ApplyHint();
}

void TMyCustomNumEdit::ApplyHint() {
  if (!rangeFault_.isEmpty()) setToolTip(rangeFault_);
  else setToolTip(showHint_ ? hint_ : QString());
}

void TMyCustomNumEdit::StepValue(TStepDirection, bool) {}

void TMyCustomNumEdit::RefreshText() { clear(); }

bool TMyCustomNumEdit::ValidateText() { return true; }

bool TMyCustomNumEdit::ValidateFocusedNumEdit() {
  auto* edit = qobject_cast<TMyCustomNumEdit*>(QApplication::focusWidget());
  return !edit || edit->ValidateText();
}

bool TMyCustomNumEdit::CtrlHeld() const {
  const Qt::KeyboardModifiers mods = inKeyEvent_ ? keyModifiers_ : QGuiApplication::keyboardModifiers();
  return mods.testFlag(Qt::ControlModifier);
}

void TMyCustomNumEdit::SetFontColor(const QColor& color) {
  QPalette pal = palette();
  if (pal.color(QPalette::Active, QPalette::Text) == color && pal.color(QPalette::Inactive, QPalette::Text) == color)
    return;
  pal.setColor(QPalette::Active, QPalette::Text, color);
  pal.setColor(QPalette::Inactive, QPalette::Text, color);
  setPalette(pal);
}

void TMyCustomNumEdit::ShowRangeMessage(const QString& text) {
  QMessageBox box(QMessageBox::Question, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok, this);
  box.exec();
}

void TMyCustomNumEdit::UpDownClick(TStepDirection direction) {
  if (!upDownEnable_ || isReadOnly()) return;
  StepValue(direction, false);
  if (focusPolicy() & Qt::TabFocus && isEnabled() && isVisible()) setFocus(Qt::OtherFocusReason);
}

void TMyCustomNumEdit::keyPressEvent(QKeyEvent* event) {
  keyModifiers_ = event->modifiers();
  inKeyEvent_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{inKeyEvent_};
  const bool typing = ContinuesTyping();
  typing_ = false;

  switch (event->key()) {
    case Qt::Key_PageUp:
      StepValue(TStepDirection::Up, true);
      event->accept();
      return;
    case Qt::Key_PageDown:
      StepValue(TStepDirection::Down, true);
      event->accept();
      return;
    case Qt::Key_Up:
      StepValue(TStepDirection::Up, false);
      event->accept();
      return;
    case Qt::Key_Down:
      StepValue(TStepDirection::Down, false);
      event->accept();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // Enter commits here and must not reach a default button of the window.
      ValidateText();
      event->accept();
      return;
    default: break;
  }

  if (event->matches(QKeySequence::SelectAll)) {
    selectAll();
    event->accept();
    return;
  }
  if (event->matches(QKeySequence::Copy)) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  if (event->matches(QKeySequence::Paste)) {
    // Pasted text is typed text: over the whole number, or at the caret while typing.
    const QString pasted = QApplication::clipboard()->text().trimmed();
    if (CanEditClipboard() && !pasted.isEmpty()) {
      if (!typing) selectAll();
      insert(pasted);
      Typed();
    }
    event->accept();
    return;
  }
  if (event->matches(QKeySequence::Cut)) {
    // Ctrl+X as a typed character is refused like any other; Shift+Del asks for a cut outright.
    if (event->key() != Qt::Key_X && CanEditClipboard()) {
      QLineEdit::keyPressEvent(event);
      Typed();
    }
    event->accept();
    return;
  }

  switch (event->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
      QLineEdit::keyPressEvent(event);
      Typed();  // what follows an erased character goes in beside it
      return;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape: QLineEdit::keyPressEvent(event); return;
    default: break;
  }

  const QString text = event->text();
  if (text.isEmpty()) {
    QLineEdit::keyPressEvent(event);  // modifiers alone and other keys without a character
    return;
  }
  if (text.size() == 1 && text.at(0).isPrint() && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
      !isReadOnly()) {
    const QChar c = text.at(0);
    QString after(c);
    if (typing) after = QString(this->text()).insert(cursorPosition(), c);
    if (!TakesCharacter(c, after)) {
      event->accept();
      return Refuse(typing);
    }
    if (!typing) selectAll();
    QLineEdit::keyPressEvent(event);
    Typed();
    return;
  }
  event->accept();
}

void TMyCustomNumEdit::mousePressEvent(QMouseEvent* event) {
  typing_ = false;  // a caret put anywhere by the mouse starts the number afresh
  QLineEdit::mousePressEvent(event);
}

void TMyCustomNumEdit::focusInEvent(QFocusEvent* event) {
  typing_ = false;
  QLineEdit::focusInEvent(event);
  if (!(QGuiApplication::mouseButtons() & Qt::LeftButton) && event->reason() != Qt::PopupFocusReason &&
      event->reason() != Qt::ActiveWindowFocusReason)
    selectAll();
}

void TMyCustomNumEdit::focusOutEvent(QFocusEvent* event) {
  typing_ = false;
  QLineEdit::focusOutEvent(event);
  // Only a move to another control counts as leaving: a message box, a context menu or another
  // window taking the focus does not.
  if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason) return;
  if (validating_) return;
  validating_ = true;
  const bool ok = ValidateText();
  validating_ = false;
  // The focus is still on its way to the other control; take it back once it has arrived.
  if (!ok)
    QTimer::singleShot(0, this, [this] {
      setFocus(Qt::OtherFocusReason);
      selectAll();
    });
}

void TMyCustomNumEdit::resizeEvent(QResizeEvent* event) {
  QLineEdit::resizeEvent(event);
  LayoutUpDown();
}

void TMyCustomNumEdit::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = createStandardContextMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  if (!CanEditClipboard()) {
    for (QAction* a : menu->actions()) {
      const QString name = a->objectName();
      if (name == QLatin1String("edit-cut") || name == QLatin1String("edit-paste")) a->setEnabled(false);
    }
  }
  menu->popup(event->globalPos());
}

void TMyCustomNumEdit::LayoutUpDown() {
  const int inset = hasFrame() ? 1 : 0;
  upDown_->setGeometry(width() - UpDownWidth - inset, inset, UpDownWidth, height() - 2 * inset);
}
