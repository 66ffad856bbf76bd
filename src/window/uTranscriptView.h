#pragma once
// A window onto the transcript of the serial dialogue that the main window keeps (one masked
// plain-text file, as the command line tool writes with --log). It follows the file while open.

#include <QDialog>
#include <QString>
#include <functional>

class QLabel;
class QPlainTextEdit;
class QTimer;

class TTranscriptView final : public QDialog {
  Q_OBJECT
 public:
  // unfinished: the device's line still coming, which the file holds only once it ends.
  TTranscriptView(const QString& path, QWidget* parent, std::function<QString()> unfinished = {});

  QString Text() const;
  // Reads what the file has gained since the last look; the timer does it while the view shows.
  void Refresh();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QString path_;
  qint64 read_ = 0;  // bytes of the file shown so far
  std::function<QString()> unfinished_;
  bool unfinishedShown_ = false;  // the last line shown is the unfinished one
  QPlainTextEdit* text_;
  QLabel* where_;
  QTimer* timer_;
};
