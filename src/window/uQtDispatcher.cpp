#include "uQtDispatcher.h"

#include <QApplication>
#include <QFont>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>
#include <exception>

void TQtMainThreadDispatcher::Post(std::function<void()> fn) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;  // the application is gone; nobody is left to show anything
  QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
}

bool TQtMainThreadDispatcher::IsMainThread() const {
  QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

void TQtMainThreadDispatcher::BusyCursor(bool on) { SetGlobalBusyCursor(on); }

void TQtMainThreadDispatcher::ReportError(const std::string& message) { AppWarning(QString::fromStdString(message)); }

QString AppTitle() {
  QString title = QApplication::applicationDisplayName();
  return title.isEmpty() ? QStringLiteral("kaVRUNE setup") : title;
}

void SetUpApplication() {
  // Not set as the display name: the platform would append that to every window caption
  // ("kaVRUNE — kaVRUNE setup").
  QApplication::setApplicationName(QStringLiteral("kaVRUNE setup"));
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(11);
  QApplication::setFont(font);
}

namespace {
TAppMessageHandler& MessageHandler() {
  static TAppMessageHandler handler;
  return handler;
}
TAppQuestionHandler& QuestionHandler() {
  static TAppQuestionHandler handler;
  return handler;
}
bool busyCursor = false;
}  // namespace

void AppMessage(const QString& text, TMessageKind kind) {
  if (MessageHandler()) {
    MessageHandler()(text, kind);
    return;
  }
  // The box must be readable even while a command has the hourglass on.
  const bool busy = busyCursor;
  if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
  if (kind == TMessageKind::Warning)
    QMessageBox::warning(QApplication::activeWindow(), AppTitle(), text, QMessageBox::Ok);
  else QMessageBox::information(QApplication::activeWindow(), AppTitle(), text, QMessageBox::Ok);
  if (busy) QApplication::restoreOverrideCursor();
}

bool AppQuestion(const QString& text) {
  if (QuestionHandler()) return QuestionHandler()(text);
  const bool busy = busyCursor;
  if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
  const auto answer = QMessageBox::question(QApplication::activeWindow(), AppTitle(), text,
                                            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
  if (busy) QApplication::restoreOverrideCursor();
  return answer == QMessageBox::Yes;
}

TAppQuestionHandler SetAppQuestionHandler(TAppQuestionHandler handler) {
  TAppQuestionHandler old = std::move(QuestionHandler());
  QuestionHandler() = std::move(handler);
  return old;
}

TAppMessageHandler SetAppMessageHandler(TAppMessageHandler handler) {
  TAppMessageHandler old = std::move(MessageHandler());
  MessageHandler() = std::move(handler);
  return old;
}

void SetGlobalBusyCursor(bool busy) {
  if (busy == busyCursor) return;
  busyCursor = busy;
  if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
  else QApplication::restoreOverrideCursor();
}

bool GlobalBusyCursor() { return busyCursor; }

void RunCommand(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& e) {
    AppWarning(QString::fromUtf8(e.what()));
  } catch (...) {
    AppWarning(QStringLiteral("Unknown error"));
  }
}
