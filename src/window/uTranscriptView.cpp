#include "uTranscriptView.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

#include "uMainPrivate.h"

TTranscriptView::TTranscriptView(const QString& path, QWidget* parent, std::function<QString()> unfinished)
    : QDialog(parent), path_(path), unfinished_(std::move(unfinished)) {
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
  QScrollBar* scroll = text_->verticalScrollBar();
  const bool atEnd = scroll->value() == scroll->maximum();
  if (unfinishedShown_) {
    // The unfinished line goes; its finished form or its longer self follows.
    if (text_->document()->blockCount() > 1) {
      QTextCursor last(text_->document()->lastBlock());
      last.select(QTextCursor::BlockUnderCursor);  // with the line end before it
      last.removeSelectedText();
    } else {
      text_->clear();
    }
    unfinishedShown_ = false;
  }
  if (file.size() < read_) {
    // A new transcript replaced the one shown.
    text_->clear();
    read_ = 0;
  }
  if (file.size() > read_ && file.seek(read_)) {
    QByteArray added = file.readAll();
    // Whole lines only: the writer may be half-way through one.
    const qsizetype end = added.lastIndexOf('\n');
    if (end >= 0) {
      added.truncate(end);
      read_ += end + 1;
      // The transcript spells out every byte outside ASCII, so Latin-1 reads it exactly.
      text_->appendPlainText(QString::fromLatin1(added));
    }
  }
  // The device's prompt shows as it comes, not once the answer has gone.
  if (const QString line = unfinished_ ? unfinished_() : QString(); !line.isEmpty()) {
    text_->appendPlainText(QString(8, QLatin1Char(' ')) + QStringLiteral(" << ") + line);
    unfinishedShown_ = true;
  }
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
