// How torvane-convert stops: by Ctrl-C, SIGTERM or SIGHUP with the output in flight removed, and
// never silently by a closed standard output or a file-size limit.
#pragma once

namespace torvane {

// Call at the start of main, before any thread starts. Ignores SIGPIPE (a write to a closed pipe
// fails with EPIPE) and SIGXFSZ (a write past the file-size limit fails with EFBIG). Blocks
// SIGINT, SIGTERM and SIGHUP and waits for them on a thread of its own, which removes the
// temporary files being written, prints one line to standard error and ends the program with
// 128 + the signal's number.
void HandleStops(const char* program);

}  // namespace torvane
