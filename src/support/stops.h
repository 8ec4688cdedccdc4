// How a program stops on INT, TERM, HUP or QUIT: the temporary files being written are removed,
// then the program dies by the signal itself, so that whoever started it (a shell loop, make)
// sees it killed by that signal and stops too. Shared by the window and the command line.
#pragma once

#include <functional>

namespace torvane {

// Told the signal, and whether a temporary file was removed, just before the program dies; runs
// on a thread of its own, while the other threads are stopped at their next output.
using TStopAnnouncer = std::function<void(int signal, bool removed)>;

// Call at the start of main, before any thread starts. Ignores SIGPIPE (a write to a closed pipe
// fails with EPIPE) and SIGXFSZ (a write past the file-size limit fails with EFBIG). Blocks
// SIGINT, SIGTERM, SIGHUP and SIGQUIT in every thread and waits for them on a thread of its own,
// which removes the temporary files being written, calls announce (when given), restores the
// signal's default action and raises it again: SIGQUIT still leaves its core dump.
void HandleStops(TStopAnnouncer announce);

// "SIGINT", "SIGTERM", "SIGHUP", "SIGQUIT".
const char* StopSignalName(int signal);

}  // namespace torvane
