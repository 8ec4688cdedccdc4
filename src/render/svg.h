// A converted drawing or part as SVG: millimetres of paper (the view box is the paper, or the
// drawing's extent without one), one group per layer group and layer carrying their names (hidden
// ones kept but not shown), texts as text elements in Unicode.
#pragma once

#include "render/scene.h"
#include "support/outputfile.h"

namespace torvane {

struct TSvgStyle {
  // Each pen in its reference colour (0xRRGGBB, by pen 1 to 10) on black instead of black on white.
  bool Screen = false;
  std::array<uint32_t, 10> PenColors{};
};

// The scene's records must be held (a converted document's): each layer's group takes them out of
// their order. Raises TIoError when the sink fails.
void WriteSvg(TByteSink& sink, const TScene& scene, const TSvgStyle& style);

}  // namespace torvane
