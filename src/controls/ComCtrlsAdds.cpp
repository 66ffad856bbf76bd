#include "ComCtrlsAdds.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QStyleOptionFrame>
#include <algorithm>

// One of the four number fields. It keeps to digits, never shows more than 255 and hands the
// caret to its neighbours the way a dotted address is typed.
class TIPField final : public QLineEdit {
 public:
  TIPField(TIPAddress* owner, int index) : QLineEdit(owner), owner_(owner), index_(index) {
    setObjectName(QStringLiteral("field%1").arg(index));
    setFrame(false);
    setAlignment(Qt::AlignCenter);
    setMaxLength(3);
    setDragEnabled(false);
    setAcceptDrops(false);
    setContentsMargins(0, 0, 0, 0);
    setTextMargins(0, 0, 0, 0);
    // Tab moves past the whole address, as with a single edit; the fields are reached by typing.
    setFocusPolicy(index == 0 ? Qt::StrongFocus : Qt::ClickFocus);
    connect(this, &QLineEdit::textEdited, this, [this](const QString& t) {
      bool ok = false;
      if (t.toInt(&ok) > 255 && ok) setText(QStringLiteral("255"));
    });
    connect(this, &QLineEdit::textChanged, owner_, [this] { owner_->FieldTextChanged(); });
  }

  int Index() const { return index_; }
  // A write from code is no edit of the user's: the field counts as unchanged from here on.
  void ResetEntryText() { textAtEntry_ = text(); }

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    const bool noSelection = !hasSelectedText();
    switch (e->key()) {
      case Qt::Key_Left:
        if (noSelection && cursorPosition() == 0 && index_ > 0 && e->modifiers() == Qt::NoModifier) {
          owner_->FocusField(index_ - 1, false, true);
          return;
        }
        break;
      case Qt::Key_Right:
        if (noSelection && cursorPosition() == text().size() && index_ < 3 && e->modifiers() == Qt::NoModifier) {
          owner_->FocusField(index_ + 1, false, false);
          return;
        }
        break;
      case Qt::Key_Backspace:
        if (noSelection && cursorPosition() == 0 && index_ > 0) {
          owner_->FocusField(index_ - 1, false, true);
          return;
        }
        break;
      default: break;
    }
    if (e->matches(QKeySequence::Paste)) {
      owner_->PasteAddress(index_, QApplication::clipboard()->text());
      return;
    }
    if (e->matches(QKeySequence::Copy) || e->matches(QKeySequence::Cut) || e->matches(QKeySequence::SelectAll) ||
        e->matches(QKeySequence::Undo) || e->matches(QKeySequence::Redo)) {
      QLineEdit::keyPressEvent(e);
      return;
    }
    const QString t = e->text();
    if (t.isEmpty() || e->key() == Qt::Key_Backspace || e->key() == Qt::Key_Delete || e->key() == Qt::Key_Tab ||
        e->key() == Qt::Key_Backtab || e->key() == Qt::Key_Escape || e->key() == Qt::Key_Return ||
        e->key() == Qt::Key_Enter) {
      QLineEdit::keyPressEvent(e);
      return;
    }
    const QChar c = t.at(0);
    if (c == u'.' || c == u' ') {
      if (!text().isEmpty() && index_ < 3) owner_->FocusField(index_ + 1, true);
      return;
    }
    if (c >= u'0' && c <= u'9' && t.size() == 1) {
      QLineEdit::keyPressEvent(e);
      if (text().size() == 3 && cursorPosition() == 3 && index_ < 3) owner_->FocusField(index_ + 1, true);
      return;
    }
    e->accept();  // letters, signs and the like never reach a field
  }

  void focusInEvent(QFocusEvent* e) override {
    textAtEntry_ = text();
    QLineEdit::focusInEvent(e);
    owner_->update();  // the frame shows the focus of the whole address
  }

  void focusOutEvent(QFocusEvent* e) override {
    QLineEdit::focusOutEvent(e);
    owner_->update();
    if (e->reason() == Qt::PopupFocusReason || e->reason() == Qt::ActiveWindowFocusReason) return;
    owner_->FieldLeft(index_, textAtEntry_);
    textAtEntry_ = text();
  }

  void contextMenuEvent(QContextMenuEvent* e) override {
    setFocus(Qt::OtherFocusReason);
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (QAction* a : menu->actions()) {
      if (a->objectName() != QLatin1String("edit-paste")) continue;
      QObject::disconnect(a, &QAction::triggered, nullptr, nullptr);
      connect(a, &QAction::triggered, this,
              [this] { owner_->PasteAddress(index_, QApplication::clipboard()->text()); });
    }
    menu->popup(e->globalPos());
  }

 private:
  TIPAddress* owner_;
  int index_;
  QString textAtEntry_;
};

namespace {
[[noreturn]] void ThrowInvalid(const QString& s) {
  throw EIPAddressError((s + QStringLiteral(" is not a valid IP address")).toStdString());
}

// A field of dotted text: optional leading blanks and sign, then decimal digits only.
bool ParseField(const QString& f, int64_t& value) {
  qsizetype i = 0;
  while (i < f.size() && f.at(i) == u' ') ++i;
  bool negative = false;
  if (i < f.size() && (f.at(i) == u'-' || f.at(i) == u'+')) negative = f.at(i++) == u'-';
  if (i == f.size()) return false;
  int64_t n = 0;
  for (; i < f.size(); ++i) {
    if (f.at(i) < u'0' || f.at(i) > u'9') return false;
    if (n < 100000) n = n * 10 + (f.at(i).unicode() - u'0');
  }
  value = negative ? -n : n;
  return true;
}

int FieldValue(const QString& t) { return t.isEmpty() ? -1 : t.toInt(); }
}  // namespace

uint32_t TIPAddress::StrToIPAddress(const QString& s) {
  QString rest = s;
  uint32_t a = 0;
  for (int i = 0; i < 4; ++i) {
    qsizetype p = rest.indexOf(u'.');
    if (p < 0) p = rest.size();
    if (p == 0) ThrowInvalid(s);
    int64_t v = 0;
    if (!ParseField(rest.left(p), v)) ThrowInvalid(s);
    rest.remove(0, p + 1);
    if (v < 0 || v > 255) ThrowInvalid(s);
    a = a * 256 + static_cast<uint32_t>(v);
  }
  return a;
}

QString TIPAddress::IPAddressToStr(uint32_t a) {
  return QStringLiteral("%1.%2.%3.%4").arg(a >> 24).arg((a >> 16) & 0xFF).arg((a >> 8) & 0xFF).arg(a & 0xFF);
}

TIPAddress::TIPAddress(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_InputMethodEnabled, false);
  setFocusPolicy(Qt::StrongFocus);
  for (int i = 0; i < 4; ++i) fields_[i] = new TIPField(this, i);
  for (int i = 0; i < 3; ++i) {
    dots_[i] = new QLabel(QStringLiteral("."), this);
    dots_[i]->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    dots_[i]->setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  setFocusProxy(fields_[0]);
  setAttribute(Qt::WA_Hover);
  resize(120, 25);
  ShowWinAddress(0);
  ApplyAutoSize();
}

TIPAddress::~TIPAddress() = default;

QString TIPAddress::Address() const { return IPAddressToStr(WinAddress()); }

void TIPAddress::SetAddress(const QString& s) { ShowWinAddress(StrToIPAddress(s)); }

uint32_t TIPAddress::WinAddress() const {
  uint32_t a = 0;
  for (TIPField* f : fields_) a = a * 256 + static_cast<uint32_t>(qBound(0, f->text().toInt(), 255));
  return a;
}

// A written number shows at once: with no native control behind us there is no later window
// creation that would bring it to the screen, and the next read would silently drop it.
void TIPAddress::SetWinAddress(uint32_t v) { ShowWinAddress(v); }

void TIPAddress::ShowWinAddress(uint32_t a) {
  bool changed = false;
  updating_ = true;
  for (int i = 0; i < 4; ++i) {
    const QString t = QString::number((a >> (8 * (3 - i))) & 0xFF);
    if (fields_[i]->text() != t) {
      fields_[i]->setText(t);
      changed = true;
    }
    fields_[i]->ResetEntryText();
  }
  updating_ = false;
  // One notice for the whole address: listeners never see a half-written one.
  if (changed) emit OnChange(this);
}

void TIPAddress::FieldTextChanged() {
  if (updating_) return;
  emit OnChange(this);
}

void TIPAddress::FieldLeft(int field, const QString& textAtEntry) {
  TIPField* f = fields_[field];
  int v = FieldValue(f->text());
  if (v >= 0) v = qBound<int>(ranges_[field].low, v, ranges_[field].high);
  const QString clamped = v < 0 ? QString() : QString::number(v);
  if (clamped != f->text()) f->setText(clamped);
  if (f->text() == textAtEntry || !OnIPFieldChange) return;
  int newValue = v;
  OnIPFieldChange(field, newValue);
  if (newValue != v) f->setText(newValue < 0 ? QString() : QString::number(qMin(newValue, 255)));
}

void TIPAddress::FocusField(int field, bool selectAll, bool atEnd) {
  TIPField* f = fields_[field];
  f->setFocus(Qt::OtherFocusReason);
  if (selectAll)
    f->selectAll();
  else
    f->setCursorPosition(atEnd ? f->text().size() : 0);
}

void TIPAddress::PasteAddress(int field, const QString& text) {
  const QString t = text.trimmed();
  if (t.contains(u'.')) {
    // A whole address pasted into the first field replaces the address; parts fill from here on.
    const QStringList parts = t.split(u'.');
    for (int i = 0; i < parts.size() && field + i < 4; ++i) {
      QString digits;
      for (QChar c : parts[i])
        if (c >= u'0' && c <= u'9') digits += c;
      if (digits.size() > 3) digits = digits.left(3);
      if (digits.toInt() > 255) digits = QStringLiteral("255");
      fields_[field + i]->setText(digits);
    }
    return;
  }
  QString digits;
  for (QChar c : t)
    if (c >= u'0' && c <= u'9') digits += c;
  if (digits.isEmpty()) return;
  TIPField* f = fields_[field];
  f->insert(digits);
  if (f->text().toInt() > 255) f->setText(QStringLiteral("255"));
}

void TIPAddress::SetLowRange(int field, uint8_t v) {
  Range& r = ranges_.at(field);
  if (v == r.low) return;
  r.low = v;
  if (v > r.high) r.high = v;
}

void TIPAddress::SetHighRange(int field, uint8_t v) {
  Range& r = ranges_.at(field);
  if (v == r.high) return;
  r.high = v;
  if (v < r.low) r.low = v;
}

void TIPAddress::SetAutoSize(bool v) {
  if (v == autoSize_) return;
  autoSize_ = v;
  if (!v) {
    setMinimumHeight(0);
    setMaximumHeight(QWIDGETSIZE_MAX);
  }
  ApplyAutoSize();
}

void TIPAddress::ApplyAutoSize() {
  if (!autoSize_) return;
  // Text height plus eight border heights, the measure of a sunken single-line edit.
  setFixedHeight(fontMetrics().height() + 8);
}

void TIPAddress::SetHint(const QString& v) {
  hint_ = v;
  ApplyHint();
}

void TIPAddress::SetShowHint(bool v) {
  showHint_ = v;
  ApplyHint();
}

void TIPAddress::ApplyHint() {
  const QString tip = showHint_ ? hint_ : QString();
  setToolTip(tip);
  for (TIPField* f : fields_) f->setToolTip(tip);
}

QSize TIPAddress::sizeHint() const { return {120, autoSize_ ? fontMetrics().height() + 8 : 25}; }

void TIPAddress::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    for (TIPField* f : fields_) f->setFont(font());
    ApplyAutoSize();
    LayoutFields();
  }
}

void TIPAddress::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QStyleOptionFrame opt;
  opt.initFrom(this);
  opt.rect = rect();
  opt.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, this);
  opt.midLineWidth = 0;
  opt.state |= QStyle::State_Sunken;
  if (std::any_of(fields_.begin(), fields_.end(), [](TIPField* f) { return f->hasFocus(); }))
    opt.state |= QStyle::State_HasFocus;
  style()->drawPrimitive(QStyle::PE_PanelLineEdit, &opt, &p, this);
}

void TIPAddress::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayoutFields();
}

void TIPAddress::LayoutFields() {
  const int frame = 2;
  const QRect inner = rect().adjusted(frame, frame, -frame, -frame);
  const int dotWidth = qMax(4, fontMetrics().horizontalAdvance(u'.') + 2);
  const int fieldWidth = qMax(1, (inner.width() - 3 * dotWidth) / 4);
  int x = inner.left();
  for (int i = 0; i < 4; ++i) {
    fields_[i]->setGeometry(x, inner.top(), fieldWidth, inner.height());
    x += fieldWidth;
    if (i < 3) {
      dots_[i]->setGeometry(x, inner.top(), dotWidth, inner.height() - 2);
      x += dotWidth;
    }
  }
}
