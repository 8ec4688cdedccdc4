// Turns a DOS-edition part into a Windows-edition part: coordinates go through the part's one
// scale into millimetres (optionally rounded to the places the paper frame justifies at that
// scale), texts take their size and pen from the ten character types, and the part's extent is
// computed.
#pragma once

#include <string>

#include "settings/settings.h"
#include "shape/jwkunit.h"
#include "shape/jwsunit.h"

namespace torvane {

// fontName is the CP932 face name every text carries. Converts the records the source's arrays
// hold and leaves the source as it is, so that converting it again gives the same document.
void ConvertJwkToJws(const std::string& fontName, bool numericCorrection,
                     const TMojiSettingsTable& settings, const TJwkData& source,
                     TJwsData& target);

}  // namespace torvane
