// Turns a DOS-edition drawing into a Windows-edition drawing: drawing units about the paper's
// corner become millimetres about its centre, layers, pens, texts and view settings come over,
// and with numeric correction every coordinate is rounded to the places its scale's extent
// justifies.
#pragma once

#include <string>

#include "drawing/jwcunit.h"
#include "drawing/jwwunit.h"

namespace torvane {

// fontName is the CP932 face name every text carries. Converts the records the source's arrays
// hold and leaves the source as it is, so that converting it again gives the same document.
void ConvertJwcToJww(const std::string& fontName, bool numericCorrection, const TJwcData& source,
                     TJwwData& target);

}  // namespace torvane
