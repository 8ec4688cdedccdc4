// The bundled sample environment file of JW_CAD's DOS edition (JWF).
#pragma once

#include <string>

namespace torvane::test {

// Comments, keys the import skips, the five key lines (pen colours, then pens, widths, heights
// and spacings of the ten character types, differing from the built-in values), a line after
// MDIST that is never read; CR LF line ends, a tab-separated line and the DOS end-of-file byte.
std::string SampleJwf();

}  // namespace torvane::test
