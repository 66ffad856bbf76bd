#pragma once
// The window's status block under the menu column: the port's state and the unit on it, the step
// a read or a write has come to with its progress bar, and what the last one came to; lines the
// block cannot hold scroll. It only shows what it is told; the window decides what that is.

#include <QFrame>
#include <QString>

class QLabel;
class QProgressBar;
class QScrollArea;

class TStatusLine final : public QFrame {
  Q_OBJECT
 public:
  enum class TOutcome { Done, Notice, Failed };

  explicit TStatusLine(QWidget* parent);

  void ShowPort(const QString& text);
  // A step under way; done and total count lines or sections (total 0: no bar).
  void ShowStep(const QString& text, int done = 0, int total = 0, const QString& unit = QString());
  // What the last read or write came to, kept until the next step; the bar goes.
  void ShowOutcome(const QString& text, TOutcome outcome);
  void Clear();
  // What the pages hold that the device does not: edits not applied, a number out of its range
  // (fault: in red). Empty hides the line.
  void ShowEdits(const QString& text, bool fault);

  QString PortText() const;
  QString StepText() const;
  QString EditsText() const;
  QProgressBar* Bar() const { return bar_; }

 private:
  void Reveal(QWidget* line);
  QScrollArea* scroll_;
  QLabel* port_;
  QLabel* step_;
  QLabel* edits_;
  QProgressBar* bar_;
  QString portText_, stepText_, editsText_;  // as told; the labels show them breakable
};
