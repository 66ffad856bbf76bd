#include "uStatusLine.h"

#include <algorithm>

#include <QLabel>
#include <QProgressBar>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

TStatusLine::TStatusLine(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("StatusLine"));
  // A rule over the block parts it from the menu buttons above.
  setFrameShape(QFrame::NoFrame);
  // The scroll area and its lines show the panel's colour through them.
  setStyleSheet(QStringLiteral("#StatusLine { border-top: 1px solid #A0A0C0; } "
                               "#saStatus, #saStatus > QWidget, #StatusLines { background: transparent; }"));
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 6, 0, 0);
  // The lines take the height their words need: what the block cannot hold scrolls, and no
  // line is ever squeezed over another.
  scroll_ = new QScrollArea(this);
  scroll_->setObjectName(QStringLiteral("saStatus"));
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setWidgetResizable(true);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll_->viewport()->setAutoFillBackground(false);
  outer->addWidget(scroll_);
  auto* lines = new QWidget(scroll_);
  lines->setObjectName(QStringLiteral("StatusLines"));
  lines->setAutoFillBackground(false);
  scroll_->setWidget(lines);
  auto* layout = new QVBoxLayout(lines);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  port_ = new QLabel(lines);
  port_->setObjectName(QStringLiteral("lStatusPort"));
  step_ = new QLabel(lines);
  step_->setObjectName(QStringLiteral("lStatusStep"));
  edits_ = new QLabel(lines);
  edits_->setObjectName(QStringLiteral("lStatusEdits"));
  edits_->hide();
  for (QLabel* l : {port_, step_, edits_}) {
    l->setWordWrap(true);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(l);
  }
  QFont bold = port_->font();
  bold.setBold(true);
  port_->setFont(bold);
  bar_ = new QProgressBar(lines);
  bar_->setObjectName(QStringLiteral("pbStatus"));
  bar_->setFixedHeight(14);
  bar_->setTextVisible(true);
  bar_->setAlignment(Qt::AlignCenter);
  bar_->hide();
  layout->insertWidget(2, bar_);
  layout->addStretch(1);
}

void TStatusLine::Reveal(QWidget* line) {
  // Once the layout has the new height: the line just changed is the one to read.
  QTimer::singleShot(0, this, [this, line] {
    if (line->isVisible()) scroll_->ensureWidgetVisible(line, 0, 0);
  });
}

namespace {
// A line wraps at its blanks only: a long file name would push the block sideways. A break is
// allowed after each separator of a path or name, and inside any run of twelve without one.
QString Breakable(const QString& text) {
  QString shown;
  int run = 0;
  for (const QChar c : text) {
    shown += c;
    run = c.isSpace() ? 0 : run + 1;
    if (QStringLiteral("/\\_.-,").contains(c) || run >= 12) {
      shown += QChar(0x200B);
      run = 0;
    }
  }
  return shown;
}
}  // namespace

void TStatusLine::ShowPort(const QString& text) {
  portText_ = text;
  port_->setText(Breakable(text));
}

void TStatusLine::ShowStep(const QString& text, int done, int total, const QString& unit) {
  step_->setStyleSheet(QString());
  stepText_ = text;
  step_->setText(Breakable(text));
  Reveal(step_);
  if (total <= 0) {
    bar_->hide();
    return;
  }
  // A dump may run past the lines expected of it; the bar then waits full for the end.
  bar_->setRange(0, std::max(total, done));
  bar_->setValue(done);
  bar_->setFormat(unit.isEmpty() ? QStringLiteral("%v / %m") : QStringLiteral("%v / %m ") + unit);
  bar_->show();
}

void TStatusLine::ShowOutcome(const QString& text, TOutcome outcome) {
  static const char* const colours[] = {"#006400", "#A04000", "#B00000"};
  step_->setStyleSheet(QStringLiteral("color: %1;").arg(QLatin1String(colours[static_cast<int>(outcome)])));
  stepText_ = text;
  step_->setText(Breakable(text));
  bar_->hide();
  Reveal(step_);
}

void TStatusLine::Clear() {
  step_->clear();
  stepText_.clear();
  bar_->hide();
}

QString TStatusLine::PortText() const { return portText_; }
QString TStatusLine::StepText() const { return stepText_; }
QString TStatusLine::EditsText() const { return edits_->isHidden() ? QString() : editsText_; }

void TStatusLine::ShowEdits(const QString& text, bool fault) {
  edits_->setStyleSheet(QStringLiteral("color: %1;").arg(QLatin1String(fault ? "#B00000" : "#A04000")));
  editsText_ = text;
  edits_->setText(Breakable(text));
  edits_->setVisible(!text.isEmpty());
  if (!text.isEmpty()) Reveal(edits_);
}
