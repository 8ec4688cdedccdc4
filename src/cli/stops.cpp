#include "cli/stops.h"

#include <unistd.h>

#include <csignal>
#include <string>
#include <thread>

#include "cli/messages.h"
#include "support/outputfile.h"

namespace torvane {
namespace {

const char* SignalName(int signal) {
  switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "a signal";
  }
}

}  // namespace

void HandleStops(const char* program) {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  sigset_t stops;
  sigemptyset(&stops);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stops, signal);
  // Every thread started later inherits the mask, so that only the waiting thread takes them.
  pthread_sigmask(SIG_BLOCK, &stops, nullptr);
  std::thread([stops, program] {
    int signal = 0;
    while (sigwait(&stops, &signal) != 0) {
    }
    bool removed = RemoveTemporaryFiles() > 0;
    // On a terminal the line takes the place of the progress line rather than joining it.
    std::string line = std::string(isatty(STDERR_FILENO) == 1 ? "\r\x1b[K" : "") + program + ": " +
                       (removed ? Tr("stopped by %1; the unfinished output was removed", {SignalName(signal)})
                                : Tr("stopped by %1", {SignalName(signal)})) +
                       "\n";
    ssize_t ignored = write(STDERR_FILENO, line.data(), line.size());
    static_cast<void>(ignored);
    _exit(128 + signal);
  }).detach();
}

}  // namespace torvane
