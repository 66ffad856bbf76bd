#pragma once
// The language engine: loads one language file, applies it to the windows by component name
// and answers keyed text requests. One instance per process (Language()).

#include <QString>
#include <memory>

#include "uLanguageShared.h"

class QWidget;
class QObject;

class TLanguage final {
 public:
  TLanguage();
  ~TLanguage();
  TLanguage(const TLanguage&) = delete;
  TLanguage& operator=(const TLanguage&) = delete;

  // Loads a language file and applies its forms to the application's top-level windows.
  // A leading single backslash stands for the executable's directory. Raises on a missing
  // or malformed file, a debug attribute that is no integer, and an attribute that names no
  // property of its component (whatever was applied before stays applied).
  void LoadFromFile(const QString& fileName);
  // Applies the loaded file's element for that window; never raises.
  void ApplyToWindow(QWidget* window);
  // Keyed text, decorated by the debug mode. Blanks around the key are no part of it.
  QString GetText(const QString& key, const QString& defaultText) const;
  // Writes a language file from the application's windows into fileName ("default.lng.xml"
  // for an empty name; the "Generate Language" command passes "Export.xml"). An existing file
  // is extended: its const section and earlier elements stay. Raises when the existing file
  // cannot be read or the result cannot be saved.
  void ExportLanguageFile(const QString& fileName = QString());

  int DebugMode() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The process-wide engine, created on first use.
TLanguage& Language();
