#include "uTranscriptView.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include "uMainPrivate.h"

TTranscriptView::TTranscriptView(const QString& path, QWidget* parent) : QDialog(parent), path_(path) {
  setObjectName(QStringLiteral("fTranscript"));
  setWindowTitle(LangText("Transcript", "Transcript"));
  resize(640, 420);
  auto* layout = new QVBoxLayout(this);
  text_ = new QPlainTextEdit(this);
  text_->setObjectName(QStringLiteral("mTranscript"));
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  layout->addWidget(text_);
  where_ = new QLabel(this);
  where_->setObjectName(QStringLiteral("lTranscriptFile"));
  where_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  where_->setText(path);
  layout->addWidget(where_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  buttons->button(QDialogButtonBox::Close)->setText(LangText("Transcript_Close", "Close"));
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  timer_ = new QTimer(this);
  timer_->setInterval(500);
  connect(timer_, &QTimer::timeout, this, &TTranscriptView::Refresh);
}

QString TTranscriptView::Text() const { return text_->toPlainText(); }

void TTranscriptView::Refresh() {
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly)) return;
  if (file.size() < read_) {
    // A new transcript replaced the one shown.
    text_->clear();
    read_ = 0;
  }
  if (file.size() == read_ || !file.seek(read_)) return;
  QByteArray added = file.readAll();
  // Whole lines only: the writer may be half-way through one.
  const qsizetype end = added.lastIndexOf('\n');
  if (end < 0) return;
  added.truncate(end);
  read_ += end + 1;
  QScrollBar* scroll = text_->verticalScrollBar();
  const bool atEnd = scroll->value() == scroll->maximum();
  // The transcript spells out every byte outside ASCII, so Latin-1 reads it exactly.
  text_->appendPlainText(QString::fromLatin1(added));
  if (atEnd) scroll->setValue(scroll->maximum());
}

void TTranscriptView::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  Refresh();
  timer_->start();
}

void TTranscriptView::hideEvent(QHideEvent* event) {
  timer_->stop();
  QDialog::hideEvent(event);
}
