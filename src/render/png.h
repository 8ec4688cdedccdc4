// Writes pictures as PNG files with zlib: 8-bit gray when every pixel is a gray, else 8-bit RGB,
// every row unfiltered and deflated fast (gray as runs of one byte, RGB at zlib's fastest level),
// the upper and the lower half of the rows at once on two cores.
#pragma once

#include <QImage>

#include "support/outputfile.h"

namespace torvane {

// Writes image (any format; its colours without alpha) to sink with its resolution. gray: the
// caller knows every pixel to be a gray (a picture in the print scheme), which then is not looked
// at first. Raises TIoError when zlib cannot work or the sink fails.
void WritePng(TByteSink& sink, const QImage& image, bool gray = false);

}  // namespace torvane
