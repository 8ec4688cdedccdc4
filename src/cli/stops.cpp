#include "cli/stops.h"

#include <unistd.h>

#include <string>

#include "cli/messages.h"
#include "support/stops.h"

namespace torvane {

void HandleConvertStops(const char* program) {
  HandleStops([program](int signal, bool removed) {
    // On a terminal the line takes the place of the progress line rather than joining it.
    std::string line = std::string(isatty(STDERR_FILENO) == 1 ? "\r\x1b[K" : "") + program + ": " +
                       (removed ? Tr("stopped by %1; the unfinished output was removed", {StopSignalName(signal)})
                                : Tr("stopped by %1", {StopSignalName(signal)})) +
                       "\n";
    ssize_t ignored = write(STDERR_FILENO, line.data(), line.size());
    static_cast<void>(ignored);
  });
}

}  // namespace torvane
