#pragma once
// The sign that a control refused a key: a red frame over it for a moment. A beep alone goes
// unheard on most desks, and a key that does nothing in silence looks like a dropped one.

#include <QTimer>
#include <QWidget>

class TRefusalSign final : public QWidget {
 public:
  // Lies over the whole of the control and follows its size; hidden until shown.
  explicit TRefusalSign(QWidget* control);

  // Shows the frame, or keeps it a while longer when it shows already.
  void Flash();

  static constexpr int ShownMs = 600;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QTimer timer_;
};
