#pragma once
// What the window's rule, loader and builder files share.

#include <QString>
#include <string>

#ifdef KAVRUNE_HAVE_LANGUAGE
#include "uLanguage.h"
#endif

// The language file's text for a key, else the designed default.
inline QString LangText(const char* key, const char* defaultText) {
#ifdef KAVRUNE_HAVE_LANGUAGE
  return Language().GetText(QString::fromUtf8(key), QString::fromUtf8(defaultText));
#else
  (void)key;
  return QString::fromUtf8(defaultText);
#endif
}

// Why a write failed, in the window's language; the walk's own account stays as the engine
// words it.
struct TWriteReport;
QString FailureWords(const TWriteReport& report);

// A setting by the name the pages give it, in the window's language.
struct TSettingRow;
QString SettingText(const TSettingRow& row);

inline std::string Std(const QString& s) { return s.toStdString(); }
inline QString Qs(const std::string& s) { return QString::fromStdString(s); }
