#pragma once
// The window side of the worker's hand-over: queued calls on the main thread, the one busy
// cursor of the application, and the message box that every command's error ends in.

#include <QString>
#include <functional>
#include <string>

#include "AfMainThread.h"

// Runs posted calls through the application's event loop.
class TQtMainThreadDispatcher final : public IAfMainThreadDispatcher {
 public:
  void Post(std::function<void()> fn) override;
  bool IsMainThread() const override;
  void BusyCursor(bool on) override;
  void ReportError(const std::string& message) override;
};

// The application title, which titles every message box.
QString AppTitle();

// What every program showing the window sets first: the application title and the window font
// (Arial 11 px).
void SetUpApplication();

// A modal box with an OK button, titled with the application title: an information icon, or a
// warning icon for what failed. Tests replace the box with a recorder, since nobody would close it.
enum class TMessageKind { Information, Warning };
void AppMessage(const QString& text, TMessageKind kind = TMessageKind::Information);
inline void AppWarning(const QString& text) { AppMessage(text, TMessageKind::Warning); }
using TAppMessageHandler = std::function<void(const QString&, TMessageKind)>;
// Returns the handler it replaces; an empty handler restores the message box.
TAppMessageHandler SetAppMessageHandler(TAppMessageHandler handler);

// A modal Yes/No question, titled like the boxes above; true for Yes. No is the default button,
// so that a stray Enter loses nothing. Tests answer through the handler.
bool AppQuestion(const QString& text);
using TAppQuestionHandler = std::function<bool(const QString&)>;
TAppQuestionHandler SetAppQuestionHandler(TAppQuestionHandler handler);

// The hourglass is one state, not a stack: a command that turns it off after another turned it
// on twice must still leave the default cursor.
void SetGlobalBusyCursor(bool busy);
bool GlobalBusyCursor();

// Runs a command; an error it raises becomes a warning box and the window stays usable.
void RunCommand(const std::function<void()>& command);
