// A language file as the window loads it at start: it is parsed, applied to a window with the
// real one's names and kinds of control, asked for texts, and extended by an export, after
// which a file that loaded must load again.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzCheck.h"
#include "LanguageMiniMain.h"
#include "uLanguage.h"

namespace {

QTemporaryDir* scratch = nullptr;

bool Load(TLanguage& language, const QString& path, std::string& error) {
  try {
    language.LoadFromFile(path);
    return true;
  } catch (const std::exception& e) {  // ELanguageError, or EXmlError from a property's value
    error = e.what();
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QApplication application(*argc, *argv);
  static QTemporaryDir dir(QDir::tempPath() + "/kavrune-fuzz-XXXXXX");  // removed at the run's end
  scratch = &dir;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString path = scratch->filePath(QStringLiteral("Language.xml"));
  {
    QFile file(path);
    Require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "the scratch file opens");
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  }
  TMiniMain window;
  TLanguage language;
  std::string error;
  const bool loaded = Load(language, path, error);
  (void)language.GetText(QStringLiteral("bOpenClose_Open"), QStringLiteral("Open"));
  (void)language.GetText(QStringLiteral("Status_Waiting"), QStringLiteral("COM %1"));
  language.ApplyToWindow(window.fMain.get());

  try {
    language.ExportLanguageFile(path);
  } catch (const std::exception&) {
    return 0;  // the file did not parse: nothing was written over it
  }
  if (loaded) Require(Load(language, path, error), "a language file that loaded loads again after an export", error);
  return 0;
}
