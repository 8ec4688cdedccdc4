// A converted drawing or part written as DXF: AutoCAD 2010 (AC1024), whose strings are UTF-8, so
// that Japanese texts read back as the same characters in every reader. Lines, circles, arcs,
// ellipses, real points and texts keep the document's coordinates in millimetres; each used layer
// of each layer group becomes a DXF layer; pens become colours and line types become LTYPE entries.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "convert/outputkinds.h"
#include "support/records.h"

namespace torvane {

// A drawing that comes as its source is converted here with the font name and numeric correction
// given, its lines while they are written.
void WriteDxf(TByteSink& sink, const TConverted& converted, const std::string& fontName = {},
              bool numericCorrection = true);

// The AutoCAD colour index (ACI) of a pen, by a fixed table: pens 1 to 6 take the DOS edition's
// default reference colours (1 cyan 4, 2 white 7, 3 green 3, 4 yellow 2, 5 magenta 6, 6 blue 5),
// 7 grey 8, 8 red 1, 9 light grey 9; any other pen white 7 (drawn black on a white background).
int PenColorIndex(int pen);

// An arc record as the DXF entity that draws it.
struct TDxfCurve {
  enum TKind { Circle, Arc, Ellipse } Kind = Circle;
  double CenterX = 0, CenterY = 0;
  double Radius = 0;                  // Circle, Arc
  double StartAngle = 0, EndAngle = 0;  // Arc: degrees from 0 to 360, counter-clockwise
  double MajorX = 0, MajorY = 0;      // Ellipse: the end of the major axis, from the centre
  double Ratio = 1;                   // Ellipse: minor axis / major axis, above 0 up to 1
  double StartParameter = 0, EndParameter = 0;  // Ellipse: radians from 0 to 2π
};
// Nothing when a value is not a finite number.
std::optional<TDxfCurve> DxfCurveOf(const TWEnko& arc);

// The DXF layer names of the used layers among the 256 (group × 16 + layer; the others stay
// empty): "group-layer" from the group's and the layer's names (CP932), each number in decimal
// standing in for an empty name ("0-3", "基礎-3"); characters that DXF does not allow in a name
// become "_", and a name that an earlier layer took (ignoring case) gets "_2", "_3", ...
std::array<std::string, 256> DxfLayerNames(const std::array<std::string, 16>& groupNames,
                                           const std::array<std::string, 256>& layerNames,
                                           const std::array<bool, 256>& used);

}  // namespace torvane
