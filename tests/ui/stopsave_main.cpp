// The window program saving a drawing and held at the moment its output is committed, for the test
// of stops by signal: it starts as torvane does (the stop handling first), loads INPUT, answers the
// save dialog with OUTPUT and writes one byte to the descriptor READY once the finished temporary
// file waits to take OUTPUT's place, then waits there for a signal.
// Usage: torvane_stop_save INPUT OUTPUT READY
#include <unistd.h>

#include <QApplication>
#include <cstdlib>
#include <string>

#include "fakeplatform.h"
#include "support/outputfile.h"
#include "support/stops.h"
#include "ui/unit1.h"

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  torvane::HandleStops({});
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int ready = std::atoi(argv[3]);
  const std::string output = argv[2];
  // The settings file the window makes at its start is committed too: only the output is held.
  torvane::SetCommitHook([ready, output](const std::string& target) {
    if (target != output) return;
    if (write(ready, "x", 1) != 1) _exit(5);
    for (;;) pause();
  });
  torvane::test::TFakePlatform desktop;
  desktop.SaveAnswers.push_back(output);
  torvane::TForm1 form(desktop, {argv[1]});
  form.Button2Click();
  return 6;  // the save ended without a stop
}
