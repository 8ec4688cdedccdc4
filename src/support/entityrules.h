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

// Headers are made inline, so that a maker stores a record's header straight from registers.
// The layer byte holds the layer group in its high four bits and the layer in its low four.
inline TEntityHeader HeaderOf(uint8_t penStyle, uint16_t penColor, uint8_t layer, uint16_t flags) {
  return TEntityHeader{.PenStyle = penStyle,
                       .PenColor = penColor,
                       .Layer = static_cast<uint16_t>(layer & 15),
                       .LayerGroup = static_cast<uint16_t>(layer >> 4),
                       .Flags = flags};
}

// Lines number their curves: a line whose Attr2 has bit 6 or 7 set belongs to the current curve,
// and one with both set is the curve's last line.
inline bool ClosesCurve(const TSen2& line) { return (line.Attr2 & 0xC0) == 0xC0; }

class TCurveNumbering {
 public:
  explicit TCurveNumbering(int32_t current = 1) : current_(current) {}
  TEntityHeader LineHeader(const TSen2& line) {
    uint16_t flags = static_cast<uint16_t>(((line.Attr1 & 0xC0) << 8) + (line.Attr2 & 0xE0));
    TEntityHeader header = HeaderOf(line.LineType, line.PenColor, line.Layer, flags);
    header.Group = (line.Attr2 & 0xC0) != 0 ? current_ : 0;
    if (ClosesCurve(line)) ++current_;
    return header;
  }

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

inline TEntityHeader ArcHeader(const TEnko2& arc) {
  return HeaderOf(arc.LineType, arc.PenColor, arc.Layer, static_cast<uint16_t>(arc.Attr & 0xF0));
}

// Points and texts draw pen colour 7 as 9.
inline uint16_t PointOrTextPen(uint16_t pen) { return pen == 7 ? 9 : pen; }

inline TEntityHeader PointHeader(const TTen2& point) {
  return HeaderOf(1, PointOrTextPen(point.PenColor), point.Layer, static_cast<uint16_t>(point.Attr & 0xF0));
}

inline TEntityHeader TextHeader(const TMoji2& text, uint16_t pen) {
  uint16_t flags = static_cast<uint16_t>((text.Attr2 << 8) + (text.Attr1 & 0xF0));
  return HeaderOf(1, PointOrTextPen(pen), text.Layer, flags);
}

// Virtual points of drawings: pen colour 2, no flags.
inline TEntityHeader VirtualPointHeader(uint8_t layer) { return HeaderOf(1, 2, layer, 0); }

// The angle of a text's baseline from (x1, y1) to (x2, y2) in degrees, from atan2l in the extended
// type.
double TextAngle(float x1, float y1, float x2, float y2);

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
