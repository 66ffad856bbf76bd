// kavrune-setup: the configuration window for the kaVRUNE device.

#include <QApplication>

#include <cstdio>
#include <cstring>

#include "uKaVruneAI.h"
#include "uMain.h"
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
    "\n"
    "The window picks its language file by the user's locale (Language.de.xml, Language.cs.xml,\n"
    "else Language.xml), beside the program first, then in the installed share/kavrune folder.\n"
    "COM numbers map to serial devices as \"kavrune-cli ports\" shows.\n";

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
  if (argc == 3 && std::strcmp(argv[1], "--generate-language") == 0) {
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
    TKaVruneAI worker;
    {
      TfMain window(worker, &dispatcher);
      if (generateInto) {
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
