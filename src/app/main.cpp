// The window program: the main window on the desktop's services, with any drawings and parts named
// on the command line.
#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <string>
#include <vector>

#include "support/runtimefolder.h"
#include "support/stops.h"
#include "ui/localpaths.h"
#include "ui/qtplatform.h"
#include "ui/unit1.h"
#include "ui/unit2.h"

int main(int argc, char** argv) {
  // Before Qt starts its threads, so that only the stop thread takes INT, TERM, HUP and QUIT: it
  // removes the temporary file of a save in flight, and the program dies by the signal.
  torvane::HandleStops({});
  // Before Qt starts: it asks for the runtime folder at once.
  torvane::EnsureRuntimeFolder();
  QApplication app(argc, argv);
  QApplication::setApplicationName("torvane");
  QApplication::setFont(torvane::WindowFont());
  // The program speaks Japanese; the desktop's file and folder dialogs should too.
  QTranslator qtTexts;
  if (qtTexts.load("qtbase_ja", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qtTexts);
  }
  // Qt has taken its own options out of argv; the rest are paths, kept as the system's bytes.
  std::vector<std::string> arguments(argv + 1, argv + argc);
  torvane::TQtPlatform platform(torvane::HelpFilePath(torvane::LocalPathBytes(QCoreApplication::applicationDirPath())));
  torvane::TForm1 form(platform, arguments);
  form.show();
  return QApplication::exec();
}
