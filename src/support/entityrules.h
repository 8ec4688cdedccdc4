// How drawings and parts alike turn DOS-edition records into Windows-edition records: entity
// headers, curve numbers, pen colours and arc sweeps. Coordinates are each converter's own.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "support/records.h"

namespace torvane {

// π in the extended type, in which every angle is converted.
inline constexpr long double kPi = 3.14159265358979323846264338327950288L;
// 2π as the files carry it for a whole circle or ellipse.
extern const double kFullSweep;

// Lines number their curves: a line whose Attr2 has bit 6 or 7 set belongs to the current curve,
// and one with both set is the curve's last line.
class TCurveNumbering {
 public:
  explicit TCurveNumbering(int32_t current = 1) : current_(current) {}
  TEntityHeader LineHeader(const TSen2& line);

 private:
  int32_t current_;
};

// The curve number current at any line index (1 plus the curves closed before it), for lines
// converted in runs that start anywhere: the numbers at every kStride-th line are counted once.
class TCurveIndex {
 public:
  explicit TCurveIndex(std::span<const TSen2> lines);
  int32_t At(std::size_t index) const;

 private:
  // Small enough that a run of a few hundred lines made anywhere counts few lines from its mark.
  static constexpr std::size_t kStride = 256;
  std::span<const TSen2> lines_;
  std::vector<int32_t> marks_;  // the number at line k × kStride
};

TEntityHeader ArcHeader(const TEnko2& arc);
// Points and texts draw pen colour 7 as 9.
TEntityHeader PointHeader(const TTen2& point);
TEntityHeader TextHeader(const TMoji2& text, uint16_t pen);
// Virtual points of drawings: pen colour 2, no flags.
TEntityHeader VirtualPointHeader(uint8_t layer);

// The start and end angles an arc is judged whole by: an angle of exactly 360 counts as 0, as the
// conversions always had it. The record itself keeps its angles.
struct TArcEnds {
  float Start, End;
};
TArcEnds WholeArcEnds(const TEnko2& arc);

// The swept angle of an arc (degrees in the source, radians out), taken from the angles as they
// stand, and whether it is whole, judged by WholeArcEnds.
void ConvertSweep(const TEnko2& arc, TWEnko& out);

}  // namespace torvane
