#include "uRefusalSign.h"

#include <QEvent>
#include <QPainter>

TRefusalSign::TRefusalSign(QWidget* control) : QWidget(control) {
  setObjectName(QStringLiteral("refusalSign"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  hide();
  timer_.setSingleShot(true);
  timer_.setInterval(ShownMs);
  connect(&timer_, &QTimer::timeout, this, &QWidget::hide);
  control->installEventFilter(this);
}

void TRefusalSign::Flash() {
  setGeometry(parentWidget()->rect());
  raise();
  show();
  timer_.start();
}

bool TRefusalSign::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
  return false;
}

void TRefusalSign::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setPen(QPen(QColor(0xD0, 0, 0), 2));
  p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}
