#include "support/entityrules.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace torvane {

const double kFullSweep = std::bit_cast<double>(uint64_t{0x401921FB54442D18});

TCurveIndex::TCurveIndex(std::span<const TSen2> lines) : lines_(lines) {
  marks_.reserve(lines.size() / kStride + 1);
  int32_t current = 1;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i % kStride == 0) marks_.push_back(current);
    if (ClosesCurve(lines[i])) ++current;
  }
}

int32_t TCurveIndex::At(std::size_t index) const {
  index = std::min(index, lines_.size());
  std::size_t mark = index / kStride;
  if (mark >= marks_.size()) mark = marks_.empty() ? 0 : marks_.size() - 1;
  int32_t current = marks_.empty() ? 1 : marks_[mark];
  for (std::size_t i = mark * kStride; i < index; ++i) {
    if (ClosesCurve(lines_[i])) ++current;
  }
  return current;
}

double TextAngle(float x1, float y1, float x2, float y2) {
  const long double rise = static_cast<long double>(y2) - y1, run = static_cast<long double>(x2) - x1;
  // Most texts run along an axis, where atan2l answers by the direction alone (a zero rise to the
  // right keeps its sign): those answers are taken once.
  static const long double kUp = atan2l(1.0L, 0.0L), kDown = atan2l(-1.0L, 0.0L);
  long double angle = 0;
  if (rise == 0 && run > 0) {
    angle = rise;
  } else if (run == 0 && rise > 0) {
    angle = kUp;
  } else if (run == 0 && rise < 0) {
    angle = kDown;
  } else {
    angle = atan2l(rise, run);
  }
  return static_cast<double>(angle * 180 / kPi);
}

TArcEnds WholeArcEnds(const TEnko2& arc) {
  return TArcEnds{arc.StartAngle == 360 ? 0 : arc.StartAngle, arc.EndAngle == 360 ? 0 : arc.EndAngle};
}

void ConvertSweep(const TEnko2& arc, TWEnko& out) {
  long double sweep = static_cast<long double>(arc.EndAngle) - arc.StartAngle;
  if (sweep < 0) sweep += 360;
  out.ArcAngle = static_cast<double>(sweep * kPi / 180);
  TArcEnds ends = WholeArcEnds(arc);
  out.FullCircle = ends.Start == ends.End ? 1 : 0;
  if (out.FullCircle) out.ArcAngle = kFullSweep;
}

}  // namespace torvane
