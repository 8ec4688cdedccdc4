// Turns a DOS-edition drawing into a Windows-edition drawing: drawing units about the paper's
// corner become millimetres about its centre, layers, pens, texts and view settings come over,
// and with numeric correction every coordinate is rounded to the places its scale's extent
// justifies.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "drawing/jwcunit.h"
#include "drawing/jwwunit.h"

namespace torvane {

// A sheet of the paper codes 0 to 4 and 8 to 14, in millimetres: its size, and where its centre
// (the origin of converted coordinates) lies from its lower left corner.
struct TPaperSheet {
  long double Width, Height, OriginX, OriginY;
};
// Nothing for any other code: such a drawing spans its own units, unshifted.
std::optional<TPaperSheet> PaperSheet(int32_t code);

// fontName is the CP932 face name every text carries. Converts the records the source's arrays
// hold and leaves the source as it is, so that converting it again gives the same document.
void ConvertJwcToJww(const std::string& fontName, bool numericCorrection, const TJwcData& source,
                     TJwwData& target);

}  // namespace torvane
