// How torvane-convert stops: by Ctrl-C, Ctrl-\, SIGTERM or SIGHUP with the output in flight
// removed and one line saying so, and never silently by a closed standard output or a file-size
// limit.
#pragma once

namespace torvane {

// Call at the start of main, before any thread starts: HandleStops of support/stops.h, with the
// line on standard error.
void HandleConvertStops(const char* program);

}  // namespace torvane
