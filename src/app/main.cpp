// kavrune-setup: the configuration window for the kaVRUNE device.

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <cstdio>
#include <cstring>
#include <string>

#include "uDeviceWorker.h"
#include "uMain.h"
#include "uMainPrivate.h"
#include "uQtDispatcher.h"
#ifdef KAVRUNE_HAVE_LANGUAGE
#include "uLanguage.h"
#endif

namespace {

constexpr const char* kHelp =
    "kavrune-setup configures a kaVRUNE serial device server over its serial console: choose\n"
    "the device's COM port, press Open and power the device on; its settings appear on the\n"
    "pages, and \"Apply Settings\" writes them back.\n"
    "\n"
    "Usage: kavrune-setup [OPTION]\n"
    "Options:\n"
    "  --help                      this text\n"
    "  --version                   the program's version\n"
    "  --generate-language FILE    write the window's texts as a language file for translators\n"
    "  --sheet FILE -o OUT [--language de|cs|en] [--from-port P] [--as-left TIME]\n"
    "        [--operator NAME] [--station NAME]\n"
    "                              write the settings sheet of a setup file without a window:\n"
    "                              PDF, or text when OUT ends in .txt; --from-port names the\n"
    "                              port the settings were read from, --as-left the time (ISO\n"
    "                              8601 with its offset) that read confirmed them; the\n"
    "                              operator and the station go in the sheet's head\n"
    "\n"
    "The window picks its language file by the user's locale (Language.de.xml, Language.cs.xml,\n"
    "else Language.xml), beside the program first, then in the installed share/kavrune folder.\n"
    "COM numbers map to serial devices as \"kavrune-cli ports\" shows.\n";

// What --sheet asks for; the window is built, never shown.
struct TSheetRequest {
  const char* File = nullptr;
  const char* Output = nullptr;
  const char* Language = nullptr;
  const char* FromPort = nullptr;
  TSheetOptions Options;
};

// false: the arguments are no sheet request, or a bad one (said on stderr, *bad set).
bool ParseSheetRequest(int argc, char** argv, TSheetRequest& r, bool* bad) {
  if (argc < 2 || std::strcmp(argv[1], "--sheet") != 0) return false;
  *bad = true;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (!value) {
      std::fprintf(stderr, "kavrune-setup: %s needs a value\n", a);
      return false;
    }
    ++i;
    if (std::strcmp(a, "--sheet") == 0) r.File = value;
    else if (std::strcmp(a, "-o") == 0 || std::strcmp(a, "--output") == 0) r.Output = value;
    else if (std::strcmp(a, "--language") == 0) r.Language = value;
    else if (std::strcmp(a, "--from-port") == 0) r.FromPort = value;
    else if (std::strcmp(a, "--operator") == 0) r.Options.Operator = QString::fromLocal8Bit(value).simplified();
    else if (std::strcmp(a, "--station") == 0) r.Options.Station = QString::fromLocal8Bit(value).simplified();
    else if (std::strcmp(a, "--as-left") == 0) {
      r.Options.ConfirmedAt = QDateTime::fromString(QString::fromLatin1(value), Qt::ISODate).toLocalTime();
      if (!r.Options.ConfirmedAt.isValid()) {
        std::fprintf(stderr, "kavrune-setup: --as-left takes a time such as 2026-01-05T14:02:11+01:00, not %s\n",
                     value);
        return false;
      }
    } else {
      std::fprintf(stderr, "kavrune-setup: unknown option %s\n", a);
      return false;
    }
  }
  if (!r.Output) {
    std::fputs("kavrune-setup: --sheet needs -o OUT (a .pdf or .txt file)\n", stderr);
    return false;
  }
  *bad = false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before any window system is asked for, so they work without a display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::puts("kavrune-setup " KAVRUNE_VERSION);
      return 0;
    }
  }
  const char* generateInto = nullptr;
  TSheetRequest sheet;
  bool badSheet = false;
  const bool makeSheet = ParseSheetRequest(argc, argv, sheet, &badSheet);
  if (badSheet) return 2;
  if (makeSheet) {
    // A sheet needs no display: the pages are laid out and read off screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The toolkit's notes about its own set-up (no runtime folder, fonts) are no business of
    // the sheet's caller; its errors still reach stderr.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
      if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    if (sheet.Language) QLocale::setDefault(QLocale(QString::fromLocal8Bit(sheet.Language)));
  } else if (argc == 3 && std::strcmp(argv[1], "--generate-language") == 0) {
    generateInto = argv[2];
  } else if (argc > 1 && std::strncmp(argv[1], "-", 1) == 0 && std::strncmp(argv[1], "-platform", 9) != 0) {
    std::fprintf(stderr, "kavrune-setup: unknown option %s\n\n%s", argv[1], kHelp);
    return 2;
  }

  QApplication app(argc, argv);
  SetUpApplication();

  TQtMainThreadDispatcher dispatcher;
  SetAfMainThreadDispatcher(&dispatcher);
  int rc = 0;
  {
    // The worker outlives the window: the window's close still hands it the exit request.
    TDeviceWorker worker;
    {
      TfMain window(worker, &dispatcher);
      if (makeSheet) {
        try {
          const QString file = QString::fromLocal8Bit(sheet.File);
          window.LoadSetupFile(file, false);
          const QString source =
              sheet.FromPort ? LangText("Sheet_FromUnit", "the unit on %1").arg(QString::fromLocal8Bit(sheet.FromPort))
                             : QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath());
          window.WriteSettingsSheet(QString::fromLocal8Bit(sheet.Output), source, sheet.Options);
        } catch (const std::exception& e) {
          std::fprintf(stderr, "kavrune-setup: %s\n", e.what());
          rc = 5;
        }
      } else if (generateInto) {
#ifdef KAVRUNE_HAVE_LANGUAGE
        try {
          Language().ExportLanguageFile(QString::fromLocal8Bit(generateInto));
        } catch (const std::exception& e) {
          std::fprintf(stderr, "kavrune-setup: %s\n", e.what());
          rc = 1;
        }
#endif
      } else {
        window.show();
        rc = QApplication::exec();
      }
    }
    worker.Terminate();
  }
  SetAfMainThreadDispatcher(nullptr);
  return rc;
}
