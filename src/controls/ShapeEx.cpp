#include "ShapeEx.h"

#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>
#include <stdexcept>

void TShapeExColorStyle::SetBrushColor(const QColor& c) { SetColors(c, border_, font_); }
void TShapeExColorStyle::SetBorderColor(const QColor& c) { SetColors(brush_, c, font_); }
void TShapeExColorStyle::SetFontColor(const QColor& c) { SetColors(brush_, border_, c); }

void TShapeExColorStyle::SetColors(const QColor& brush, const QColor& border, const QColor& font) {
  if (brush == brush_ && border == border_ && font == font_) return;
  brush_ = brush;
  border_ = border;
  font_ = font;
  emit Changed();
}

void TShapeExColorStyle::Assign(const QObject* source) {
  if (const auto* style = qobject_cast<const TShapeExColorStyle*>(source)) {
    Assign(*style);
    return;
  }
  const char* name = source ? source->metaObject()->className() : "nil";
  throw std::invalid_argument(std::string("Cannot assign a ") + name + " to a TShapeExColorStyle");
}

TShapeExColorSchema::TShapeExColorSchema(QObject* parent)
    : QObject(parent),
      default_(MakeStyle()),
      mouseOverDown_(MakeStyle()),
      mouseOverUp_(MakeStyle()),
      down_(MakeStyle()),
      pressedDown_(MakeStyle()),
      pressedUp_(MakeStyle()),
      disabled_(MakeStyle()) {}

TShapeExColorStyle* TShapeExColorSchema::MakeStyle() {
  auto* s = new TShapeExColorStyle(this);
  connect(s, &TShapeExColorStyle::Changed, this, &TShapeExColorSchema::Changed);
  return s;
}

void TShapeExColorSchema::Copy(TShapeExColorStyle* target, const TShapeExColorStyle* source) {
  if (source && source != target) target->Assign(*source);
}

void TShapeExColorSchema::SetMouseOverEnabled(bool v) {
  if (v == mouseOverEnabled_) return;
  mouseOverEnabled_ = v;
  emit Changed();
}

void TShapeExColorSchema::SetPressedEnabled(bool v) {
  if (v == pressedEnabled_) return;
  pressedEnabled_ = v;
  emit Changed();
}

const TShapeExColorStyle* TShapeExColorSchema::GetStyle(bool enabled, bool down, bool pressed, bool mouseOver) const {
  if (!enabled) return disabled_;
  if (down) {
    if (pressed && pressedEnabled_) return pressedDown_;
    if (mouseOver && mouseOverEnabled_) return mouseOverDown_;
    return down_;
  }
  if (pressed && pressedEnabled_) return pressedUp_;
  if (mouseOver && mouseOverEnabled_) return mouseOverUp_;
  return default_;
}

TShapeEx::TShapeEx(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_Hover);
  resize(65, 65);
}

void TShapeEx::SetRoundCorner(int v) {
  roundCorner_ = v;
  update();
}

void TShapeEx::SetColorSchema(TShapeExColorSchema* v) {
  disconnect(schemaConnection_);
  schema_ = v;
  if (v) schemaConnection_ = connect(v, &TShapeExColorSchema::Changed, this, qOverload<>(&QWidget::update));
  update();
}

void TShapeEx::SetCaption(const QString& v) {
  if (v == caption_) return;
  caption_ = v;
  update();
}

void TShapeEx::SetDown(bool v) {
  if (v == down_) return;
  if (v && group_ != 0 && parentWidget()) {
    for (QObject* o : parentWidget()->children()) {
      auto* sibling = qobject_cast<TShapeEx*>(o);
      if (sibling && sibling != this && sibling->group_ == group_) sibling->SetDown(false);
    }
  }
  down_ = v;
  update();
}

void TShapeEx::SetShape(TShapeType v) {
  shape_ = v;
  update();
}

void TShapeEx::SetPenColor(const QColor& v) {
  penColor_ = v;
  update();
}

void TShapeEx::SetPenWidth(int v) {
  penWidth_ = qMax(0, v);
  update();
}

void TShapeEx::SetBrushColor(const QColor& v) {
  brushColor_ = v;
  update();
}

void TShapeEx::SetFontColor(const QColor& v) {
  fontColor_ = v;
  update();
}

void TShapeEx::SetHint(const QString& v) {
  hint_ = v;
  ApplyHint();
}

void TShapeEx::SetShowHint(bool v) {
  showHint_ = v;
  ApplyHint();
}

void TShapeEx::ApplyHint() { setToolTip(showHint_ ? hint_ : QString()); }

TShapeEx::TColors TShapeEx::EffectiveColors() const {
  if (schema_) {
    const TShapeExColorStyle* s = schema_->GetStyle(isEnabled(), down_, pressed_, mouseOver_);
    return {s->BrushColor(), s->BorderColor(), s->FontColor()};
  }
  return {brushColor_, penColor_, fontColor_};
}

QRect TShapeEx::ShapeBox() const {
  const int w = penWidth_;
  int x = w / 2;
  int y = x;
  int W = width() - w + 1;
  int H = height() - w + 1;
  if (w == 0) {
    --W;
    --H;
  }
  const int S = qMin(W, H);
  if (shape_ == stSquare || shape_ == stRoundSquare || shape_ == stCircle) {
    x += (W - S) / 2;
    y += (H - S) / 2;
    W = H = S;
  }
  return {x, y, W, H};
}

QRect TShapeEx::CaptionRect() const {
  const QRect box = ShapeBox();
  const QFontMetrics fm(font());
  const int th = fm.height();
  const int tw = fm.horizontalAdvance(caption_);
  // Ties go to the even neighbour, as the original rounding of the layout did.
  const int ty = static_cast<int>(std::nearbyint(box.y() + box.height() / 2.0 - th / 2.0)) - 1;
  const int tx = static_cast<int>(std::nearbyint(box.x() + box.width() / 2.0 - tw / 2.0));
  return {tx, ty, tw, th};
}

void TShapeEx::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const TColors colors = EffectiveColors();
  const QRect box = ShapeBox();
  const int w = penWidth_;
  // The box's right and bottom edges are exclusive; the pen is centred on the outline, so an odd
  // pen sits on half pixels.
  const qreal offset = (w <= 1 || w % 2 == 1) ? 0.5 : 0.0;
  const QRectF outline(box.x() + offset, box.y() + offset, box.width() - 1, box.height() - 1);
  QPen pen(colors.border);
  pen.setWidth(w);
  pen.setJoinStyle(Qt::MiterJoin);
  p.setPen(pen);
  p.setBrush(colors.brush);
  switch (shape_) {
    case stRectangle:
    case stSquare: p.drawRect(outline); break;
    case stRoundRect:
    case stRoundSquare:
      if (roundCorner_ <= 0) {
        p.drawRect(outline);
      } else {
        p.setRenderHint(QPainter::Antialiasing);
        p.drawRoundedRect(outline, roundCorner_ / 2.0, roundCorner_ / 2.0);
      }
      break;
    case stEllipse:
    case stCircle:
      p.setRenderHint(QPainter::Antialiasing);
      p.drawEllipse(outline);
      break;
  }
  if (hasFocus()) {
    // Where the keyboard is: a dotted frame inside the outline, as push buttons show it.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colors.font, 1, Qt::DotLine));
    p.drawRect(box.adjusted(2 + w, 2 + w, -3 - w, -3 - w));
  }
  if (mark_.isValid()) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRect(box.x() + w + 1, box.y() + w + 1, 4, box.height() - 2 * w - 2), mark_);
  }
  if (caption_.isEmpty()) return;
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setFont(font());
  p.setPen(colors.font);
  const QRect r = CaptionRect();
  p.drawText(QPoint(r.x(), r.y() + QFontMetrics(font()).ascent()), caption_);
}

void TShapeEx::SetMark(const QColor& v) {
  if (v == mark_) return;
  mark_ = v;
  update();
}

void TShapeEx::enterEvent(QEnterEvent* event) {
  QWidget::enterEvent(event);
  mouseOver_ = true;
  update();
}

void TShapeEx::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  mouseOver_ = false;
  update();
}

void TShapeEx::mousePressEvent(QMouseEvent* event) {
  QWidget::mousePressEvent(event);
  event->accept();
  pressed_ = true;
  if (event->button() == Qt::LeftButton) clickArmed_ = true;
  update();
}

void TShapeEx::mouseReleaseEvent(QMouseEvent* event) {
  QWidget::mouseReleaseEvent(event);
  event->accept();
  pressed_ = false;
  update();
  if (event->button() != Qt::LeftButton || !clickArmed_) return;
  clickArmed_ = false;
  if (!rect().contains(event->position().toPoint())) return;
  Activate();
}

void TShapeEx::Activate() {
  if (down_ && allowUp_) SetDown(false);
  else if (!down_ && allowDown_) SetDown(true);
  // The click handler already sees the new Down.
  emit OnClick(this);
}

void TShapeEx::keyPressEvent(QKeyEvent* event) {
  // A button that takes focus answers the keys a push button answers.
  switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (!event->isAutoRepeat()) Activate();
      event->accept();
      return;
    default: QWidget::keyPressEvent(event);
  }
}

void TShapeEx::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  update();
}

void TShapeEx::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update();
}

void TShapeEx::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange) update();
}
