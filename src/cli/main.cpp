#include <sys/ioctl.h>
#include <unistd.h>

#include <iostream>

#include "cli/convertcli.h"
#include "cli/messages.h"
#include "cli/stops.h"
#include "support/shown.h"
#ifdef TORVANE_PICTURE_MODULE
#include "cli/pictureloader.h"
#endif

int main(int argc, char** argv) {
  torvane::HandleConvertStops("torvane-convert");
  torvane::InitMessages(argv[0]);
  torvane::TTerminal terminal;
  terminal.Progress = isatty(STDERR_FILENO) == 1;
  terminal.OutputShared = isatty(STDOUT_FILENO) == 1;
  winsize size{};
  if (terminal.Progress && ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
    terminal.Columns = size.ws_col;
  }
  std::vector<std::string> args(argv + 1, argv + argc);
#ifdef TORVANE_PICTURE_MODULE
  // Qt's application keeps a reference to its argument count.
  static int applicationArgc = 1;
  torvane::TPictureLoader pictures;
  std::string why;
  if (!pictures.LoadFor(args, applicationArgc, argv, why)) {
    std::cerr << torvane::EscapeControls(std::string(torvane::kProgram) + ": " +
                                         torvane::Tr("the picture writers cannot be loaded: %1", {why}))
              << '\n';
    return 2;
  }
#endif
  return torvane::RunConvertCommand(args, std::cout, std::cerr, terminal);
}
