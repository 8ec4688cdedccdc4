// Turns a DOS-edition drawing into a Windows-edition drawing: drawing units about the paper's
// corner become millimetres about its centre, layers, pens, texts and view settings come over,
// and with numeric correction every coordinate is rounded to the places its scale's extent
// justifies.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "drawing/jwcunit.h"
#include "drawing/jwwunit.h"
#include "support/box.h"

namespace torvane {

// The paper of a paper-size code in millimetres: the converted drawing's coordinates lie about its
// centre. Nothing for a code without a paper of its own (whose drawing keeps its own units).
struct TPaperSize {
  double Width = 0, Height = 0;
};
std::optional<TPaperSize> PaperSizeOf(int32_t code);

// fontName is the CP932 face name every text carries. Converts the records the source's arrays
// hold and leaves the source as it is, so that converting it again gives the same document.
void ConvertJwcToJww(const std::string& fontName, bool numericCorrection, const TJwcData& source,
                     TJwwData& target);

// The boxes of the layers' converted lines (of the end points whose converted coordinates are both
// finite), by layer group × 16 + layer.
using TLayerLineBoxes = std::array<TBox, 256>;

// A drawing converted on demand: its header, layers and tables at once, its records in runs as
// they are asked for, so that they never stand in memory whole. The source must outlive it,
// unchanged.
class TMadeJww {
 public:
  TMadeJww(const std::string& fontName, bool numericCorrection, const TJwcData& source);
  ~TMadeJww();
  TMadeJww(const TMadeJww&) = delete;
  TMadeJww& operator=(const TMadeJww&) = delete;

  // The converted drawing with its counts but without records.
  const TJwwData& Document() const;
  const TMadeEntities& Entities() const;
  // The boxes of the lines by layer, as converting every line gives them, found from the source's
  // least and greatest coordinates without converting a line. Nothing when a scale's conversion cannot promise that
  // it keeps the order of values and turns finite ones into finite ones: then only converting
  // every line tells.
  std::optional<TLayerLineBoxes> LineBoxes() const;

 private:
  struct TParts;
  std::unique_ptr<TParts> parts_;
};

// Converts and writes in one pass the same bytes as ConvertJwcToJww and WriteJwwTo: the records
// are converted while they are written, on both cores, and never stand in memory all at once. A
// failing sink raises TIoError.
void WriteConvertedJww(TByteSink& sink, const std::string& fontName, bool numericCorrection, const TJwcData& source);

}  // namespace torvane
