#include "ComCtrlsAdds.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QStyleOptionFrame>
#include <algorithm>

#include "uRefusalSign.h"

namespace {

// The place of the number a caret position is in: from the dot before it to the dot after it.
struct TNumberSpan {
  int begin = 0;
  int end = 0;
};

TNumberSpan NumberAt(const QString& t, int pos) {
  TNumberSpan n{pos, pos};
  while (n.begin > 0 && t.at(n.begin - 1) != u'.') --n.begin;
  while (n.end < t.size() && t.at(n.end) != u'.') ++n.end;
  return n;
}

bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }

bool OnlyDigitsAndDots(const QString& t) {
  return std::all_of(t.begin(), t.end(), [](QChar c) { return IsDigit(c) || c == u'.'; });
}

}  // namespace

// The line of the address. Whatever it does keeps its text to digits and dots: the typing rules
// below only put those in, and the line edit's own edits (cut, undo, word deletion) only take
// out or bring back earlier texts.
class TIPAddressLine final : public QLineEdit {
 public:
  explicit TIPAddressLine(TIPAddress* owner) : QLineEdit(owner), owner_(owner) {
    setObjectName(QStringLiteral("line"));
    setFrame(false);
    setTextMargins(1, 0, 1, 0);
    setDragEnabled(false);
    setAcceptDrops(false);
    setAttribute(Qt::WA_InputMethodEnabled, false);
  }

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    const bool typing = ContinuesTyping();
    const bool runGoesOn = ContinuesRun();
    typing_ = run_ = false;
    if (e->matches(QKeySequence::Paste)) {
      if (!isReadOnly()) Paste(QApplication::clipboard()->text(), typing);
      return;
    }
    const bool command = e->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
    if (!command && !isReadOnly() && !e->matches(QKeySequence::Cut)) {
      if (e->key() == Qt::Key_Backspace) return EraseBack();
      if (e->key() == Qt::Key_Delete) return EraseForward();
      const QString t = e->text();
      if (t.size() == 1 && t.at(0).isPrint()) {
        const QChar c = t.at(0);
        bool taken = true;
        if (IsDigit(c)) taken = TypeDigit(c, typing);
        else if (c == u'.' || c == u' ') MoveOn();
        else taken = Refuse(typing);
        if (taken) TakeRun(runGoesOn ? runText_ + (IsDigit(c) ? c : u'.') : QString(IsDigit(c) ? c : u'.'));
        return;
      }
    }
    QLineEdit::keyPressEvent(e);  // carets, selections, copy, cut, undo, Tab
  }

  void mousePressEvent(QMouseEvent* e) override {
    typing_ = run_ = false;  // a caret put anywhere by the mouse starts a number afresh
    QLineEdit::mousePressEvent(e);
  }

  void focusInEvent(QFocusEvent* e) override {
    typing_ = run_ = false;
    QLineEdit::focusInEvent(e);
    owner_->update();  // the frame shows the focus of the whole address
  }

  void focusOutEvent(QFocusEvent* e) override {
    typing_ = run_ = false;
    QLineEdit::focusOutEvent(e);
    owner_->update();
  }

  void contextMenuEvent(QContextMenuEvent* e) override {
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (QAction* a : menu->actions()) {
      if (a->objectName() != QLatin1String("edit-paste")) continue;
      QObject::disconnect(a, &QAction::triggered, nullptr, nullptr);
      connect(a, &QAction::triggered, this, [this] { Paste(QApplication::clipboard()->text(), false); });
    }
    menu->popup(e->globalPos());
  }

 private:
  // Whether the last key typed into the number at the caret, and nothing has moved since.
  bool ContinuesTyping() const {
    return typing_ && !hasSelectedText() && cursorPosition() == typedCaret_ && text() == typedText_;
  }
  void Typed() {
    typing_ = true;
    typedText_ = text();
    typedCaret_ = cursorPosition();
  }
  void Select(TNumberSpan n) {
    if (n.end > n.begin) setSelection(n.begin, n.end - n.begin);
    else setCursorPosition(n.begin);
  }
  bool Refuse(bool typing) {
    owner_->Refuse();
    if (typing) Typed();  // a refused key leaves the number being typed as it was
    return false;
  }

  // The digits and dots typed one after the other since the caret was put where they began.
  // Once they make a whole address, that address is the text, wherever they began: four numbers
  // typed from the second one on are one address, not a fifth and sixth number.
  bool ContinuesRun() const {
    return run_ && text() == runShown_ && cursorPosition() == runCaret_ && selectionStart() == runSelection_;
  }
  void TakeRun(const QString& typed) {
    if (WholeAddress(typed) && text() != typed) {
      selectAll();
      insert(typed);
      Typed();
    }
    run_ = true;
    runText_ = typed;
    runShown_ = text();
    runCaret_ = cursorPosition();
    runSelection_ = selectionStart();
  }
  static bool WholeAddress(const QString& t) {
    const QStringList numbers = t.split(u'.');
    return numbers.size() == 4 && std::all_of(numbers.begin(), numbers.end(), [](const QString& n) {
             return !n.isEmpty() && n.size() <= 3 && n.toInt() <= 255;
           });
  }

  bool TypeDigit(QChar c, bool typing) {
    if (hasSelectedText()) {
      del();
      typing = false;
    }
    const QString t = text();
    const int caret = cursorPosition();
    const TNumberSpan n = NumberAt(t, caret);
    if (!typing) {
      // A number typed over is replaced whole: half an old number must never stay beside the
      // new digits, wherever the click or Home left the caret.
      Select(n);
      insert(QString(c));
      Typed();
      return true;
    }
    QString longer = t.mid(n.begin, n.end - n.begin);
    longer.insert(caret - n.begin, c);
    if (longer.size() <= 3 && longer.toInt() <= 255) {
      insert(QString(c));
    } else if (caret == n.end && n.end < t.size()) {
      Select(NumberAt(t, n.end + 1));
      insert(QString(c));
    } else {
      return Refuse(true);
    }
    Typed();
    return true;
  }

  void MoveOn() {
    const QString t = text();
    const TNumberSpan n = NumberAt(t, hasSelectedText() ? selectionStart() : cursorPosition());
    if (n.end < t.size()) return Select(NumberAt(t, n.end + 1));
    setCursorPosition(n.end);
    insert(QStringLiteral("."));
  }

  // A dot between two numbers is not taken: the digit beyond it goes, and the address keeps
  // its places. Next to an empty place the dot goes like any character.
  void EraseBack() {
    const QString t = text();
    const int c = cursorPosition();
    if (!hasSelectedText() && c > 0 && t.at(c - 1) == u'.' && c >= 2 && t.at(c - 2) != u'.' && c < t.size() &&
        t.at(c) != u'.')
      setSelection(c - 2, 1);
    if (hasSelectedText()) del();
    else backspace();
    Typed();
  }

  void EraseForward() {
    const QString t = text();
    const int c = cursorPosition();
    const bool beyondDot = !hasSelectedText() && c + 1 < t.size() && t.at(c) == u'.' && c > 0 && t.at(c - 1) != u'.' &&
                           t.at(c + 1) != u'.';
    if (beyondDot) {
      setSelection(c + 1, 1);
      del();
      setCursorPosition(c);
    } else {
      del();
    }
    Typed();
  }

  void Paste(const QString& clip, bool typing) {
    const QString t = clip.trimmed();
    if (t.isEmpty()) return;
    if (!OnlyDigitsAndDots(t)) {
      Refuse(typing);
      return;
    }
    if (t.contains(u'.')) {
      selectAll();  // an address replaces the address, wherever the caret is
      insert(t);
      return;
    }
    if (hasSelectedText()) {
      del();
      typing = false;
    }
    if (!typing) Select(NumberAt(text(), cursorPosition()));
    insert(t);
    Typed();
  }

  TIPAddress* owner_;
  bool typing_ = false;
  QString typedText_;
  int typedCaret_ = 0;
  bool run_ = false;
  QString runText_;
  QString runShown_;
  int runCaret_ = 0;
  int runSelection_ = -1;
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
    if (!IsDigit(f.at(i))) return false;
    if (n < 100000) n = n * 10 + (f.at(i).unicode() - u'0');
  }
  value = negative ? -n : n;
  return true;
}
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
  line_ = new TIPAddressLine(this);
  setFocusProxy(line_);
  refusal_ = new TRefusalSign(this);
  connect(line_, &QLineEdit::textChanged, this, [this] { TextChanged(); });
  setAttribute(Qt::WA_Hover);
  resize(120, 25);
  ShowWinAddress(0);
  ApplyAutoSize();
}

TIPAddress::~TIPAddress() = default;

bool TIPAddress::Numbers(std::array<int, 4>& numbers) const {
  const QStringList parts = line_->text().split(u'.');
  if (parts.size() != 4) return false;
  for (int i = 0; i < 4; ++i) {
    const QString& p = parts.at(i);
    if (p.isEmpty() || p.size() > 3 || !OnlyDigitsAndDots(p)) return false;
    numbers[i] = p.toInt();
    if (numbers[i] > 255) return false;
  }
  return true;
}

QString TIPAddress::Text() const { return line_->text(); }

bool TIPAddress::HoldsAddress() const { return Fault().isEmpty(); }

QString TIPAddress::Fault() const {
  std::array<int, 4> n{};
  if (!Numbers(n)) return faultText_;
  bool outside = false;
  QString ranges;
  for (int i = 0; i < 4; ++i) {
    outside = outside || n[i] < ranges_[i].low || n[i] > ranges_[i].high;
    ranges +=
        QStringLiteral("%1%2-%3").arg(i ? QStringLiteral(".") : QString()).arg(ranges_[i].low).arg(ranges_[i].high);
  }
  return outside ? faultText_ + QStringLiteral(" (") + ranges + QLatin1Char(')') : QString();
}

void TIPAddress::SetFaultText(const QString& v) {
  faultText_ = v;
  ShowFault();
}

QString TIPAddress::Address() const {
  std::array<int, 4> n{};
  return Numbers(n) ? IPAddressToStr(WinAddress()) : line_->text();
}

void TIPAddress::SetAddress(const QString& s) { ShowWinAddress(StrToIPAddress(s)); }

uint32_t TIPAddress::WinAddress() const {
  std::array<int, 4> n{};
  if (!Numbers(n)) return 0;
  return static_cast<uint32_t>(n[0]) << 24 | static_cast<uint32_t>(n[1]) << 16 | static_cast<uint32_t>(n[2]) << 8 |
         static_cast<uint32_t>(n[3]);
}

// A written number shows at once: with no native control behind us there is no later window
// creation that would bring it to the screen, and the next read would silently drop it.
void TIPAddress::SetWinAddress(uint32_t v) { ShowWinAddress(v); }

void TIPAddress::ShowWinAddress(uint32_t a) {
  // One text for the whole address: listeners never see a half-written one.
  const QString t = IPAddressToStr(a);
  if (line_->text() != t) line_->setText(t);
}

void TIPAddress::TextChanged() {
  ShowFault();
  emit OnChange(this);
}

void TIPAddress::ShowFault() {
  const bool fault = !HoldsAddress();
  if (fault != faultShown_) {
    faultShown_ = fault;
    QPalette red;
    if (fault) red.setColor(QPalette::Text, QColor(0xD0, 0, 0));
    line_->setPalette(red);  // without the fault nothing of its own: the address's colours
  }
  ApplyHint();
}

void TIPAddress::Refuse() {
  refusal_->Flash();
  QApplication::beep();
  emit InputRefused();
}

void TIPAddress::SetLowRange(int field, uint8_t v) {
  Range& r = ranges_.at(field);
  if (v == r.low) return;
  r.low = v;
  if (v > r.high) r.high = v;
  ShowFault();
}

void TIPAddress::SetHighRange(int field, uint8_t v) {
  Range& r = ranges_.at(field);
  if (v == r.high) return;
  r.high = v;
  if (v < r.low) r.low = v;
  ShowFault();
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
  QString tip = Fault();
  if (tip.isEmpty() && showHint_) tip = hint_;
  setToolTip(tip);
  line_->setToolTip(tip);
}

QSize TIPAddress::sizeHint() const { return {120, autoSize_ ? fontMetrics().height() + 8 : 25}; }

void TIPAddress::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    ApplyAutoSize();
    LayoutLine();
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
  if (line_->hasFocus()) opt.state |= QStyle::State_HasFocus;
  style()->drawPrimitive(QStyle::PE_PanelLineEdit, &opt, &p, this);
}

void TIPAddress::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayoutLine();
}

void TIPAddress::LayoutLine() {
  const int frame = 2;
  line_->setGeometry(rect().adjusted(frame, frame, -frame, -frame));
}
