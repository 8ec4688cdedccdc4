#include "support/entityrules.h"

#include <algorithm>
#include <bit>

namespace torvane {

const double kFullSweep = std::bit_cast<double>(uint64_t{0x401921FB54442D18});

namespace {

// The layer byte holds the layer group in its high four bits and the layer in its low four.
TEntityHeader HeaderOf(uint8_t penStyle, uint16_t penColor, uint8_t layer, uint16_t flags) {
  return TEntityHeader{0, penStyle, penColor, static_cast<uint16_t>(layer & 15), static_cast<uint16_t>(layer >> 4),
                       flags};
}

bool ClosesCurve(const TSen2& line) { return (line.Attr2 & 0xC0) == 0xC0; }

uint16_t PointOrTextPen(uint16_t pen) { return pen == 7 ? 9 : pen; }

}  // namespace

TEntityHeader TCurveNumbering::LineHeader(const TSen2& line) {
  uint16_t flags = static_cast<uint16_t>(((line.Attr1 & 0xC0) << 8) + (line.Attr2 & 0xE0));
  TEntityHeader header = HeaderOf(line.LineType, line.PenColor, line.Layer, flags);
  header.Group = (line.Attr2 & 0xC0) != 0 ? current_ : 0;
  if (ClosesCurve(line)) ++current_;
  return header;
}

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

TEntityHeader ArcHeader(const TEnko2& arc) {
  return HeaderOf(arc.LineType, arc.PenColor, arc.Layer, static_cast<uint16_t>(arc.Attr & 0xF0));
}

TEntityHeader PointHeader(const TTen2& point) {
  return HeaderOf(1, PointOrTextPen(point.PenColor), point.Layer, static_cast<uint16_t>(point.Attr & 0xF0));
}

TEntityHeader TextHeader(const TMoji2& text, uint16_t pen) {
  uint16_t flags = static_cast<uint16_t>((text.Attr2 << 8) + (text.Attr1 & 0xF0));
  return HeaderOf(1, PointOrTextPen(pen), text.Layer, flags);
}

TEntityHeader VirtualPointHeader(uint8_t layer) { return HeaderOf(1, 2, layer, 0); }

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
