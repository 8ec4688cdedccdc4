#include <sys/ioctl.h>
#include <unistd.h>

#include <iostream>

#include "cli/convertcli.h"
#include "cli/messages.h"
#include "cli/stops.h"
#ifdef TORVANE_PICTURES
#include <QGuiApplication>
#include <memory>

#include "render/outputs.h"
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
#ifdef TORVANE_PICTURES
  torvane::RegisterPictureOutputs();
  // Pictures paint texts with Qt's fonts, which need an application; no display is used.
  std::unique_ptr<QGuiApplication> painting;
  int qtArgc = 1;
  if (torvane::ArgumentsPaint(args)) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    painting = std::make_unique<QGuiApplication>(qtArgc, argv);
  }
#endif
  return torvane::RunConvertCommand(args, std::cout, std::cerr, terminal);
}
