#include "support/entityrules.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

#include "support/parallel.h"

namespace torvane {

const double kFullSweep = std::bit_cast<double>(uint64_t{0x401921FB54442D18});

TCurveIndex::TCurveIndex(std::span<const TSen2> lines) : lines_(lines) {
  // The curves each stride closes, counted on both cores, then summed up into the marks.
  marks_.assign((lines.size() + kStride - 1) / kStride, 0);
  auto count = [&](std::size_t begin, std::size_t end) {
    for (std::size_t k = begin; k < end; ++k) {
      const std::size_t last = std::min(lines.size(), (k + 1) * kStride);
      for (std::size_t i = k * kStride; i < last; ++i) marks_[k] += ClosesCurve(lines[i]) ? 1 : 0;
    }
  };
  if (lines.size() < kParallelMinimum) {
    count(0, marks_.size());
  } else {
    const std::size_t middle = marks_.size() / 2;
    InParallel([&] { count(0, middle); }, [&] { count(middle, marks_.size()); });
  }
  int32_t current = 1;
  for (int32_t& mark : marks_) current += std::exchange(mark, current);
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
