#include "shape/jwk2jws.h"

#include <bit>
#include <cmath>

#include "support/scales.h"

namespace torvane {
namespace {

constexpr long double kPi = 3.14159265358979323846264338327950288L;
// Millimetres per part unit: parts are drawn on a sheet 518 units wide that stands for 594 mm.
constexpr long double kPaperFactor = 594.0L / 518;
// 2π as the files carry it for a whole circle or ellipse.
const double kFullSweep = std::bit_cast<double>(uint64_t{0x401921FB54442D18});

uint16_t PenOfPointOrText(uint16_t pen) { return pen == 7 ? 9 : pen; }

TEntityHeader HeaderOf(uint8_t penStyle, uint16_t penColor, uint8_t layer, uint16_t flags) {
  return TEntityHeader{0, penStyle, penColor, static_cast<uint16_t>(layer & 15), static_cast<uint16_t>(layer >> 4),
                       flags};
}

// The smallest and largest x and y met, over unit values.
struct TExtent {
  long double MinX = 1e20L, MinY = 1e20L, MaxX = -1e20L, MaxY = -1e20L;
  void Add(long double x, long double y) {
    if (x < MinX) MinX = x;
    if (x > MaxX) MaxX = x;
    if (y < MinY) MinY = y;
    if (y > MaxY) MaxY = y;
  }
};

class TConverter {
 public:
  TConverter(const std::string& fontName, bool correction, const TMojiSettingsTable& settings, TJwkData& source,
             TJwsData& target)
      : font_(fontName), settings_(settings), src_(source), dst_(target) {
    scale_ = source.Header.Scale == 0 ? 1.0f : source.Header.Scale;
    scales_.RoundOffsets = correction;
    scales_.RoundBases = correction;
    // The frame of the sheet alone fixes the rounding places, whatever the part holds.
    scales_.AddPoint(scale_, -298 / kPaperFactor, -209 / kPaperFactor);
    scales_.AddPoint(scale_, 298 / kPaperFactor, 209 / kPaperFactor);
    scales_.ComputeDigits(kPaperFactor);
  }

  void Run();

 private:
  // A part coordinate or radius in the units the scale table works in, rounded to 32 bits once.
  float Unit(float value) const { return static_cast<float>(value / kPaperFactor / scale_); }
  long double X(long double u) const { return scales_.ConvertX(scale_, kPaperFactor, u) / scale_; }
  long double Y(long double u) const { return scales_.ConvertY(scale_, kPaperFactor, u) / scale_; }
  void ConvertLines();
  void ConvertArcs();
  void ConvertPoints();
  void ConvertTexts();

  const std::string& font_;
  const TMojiSettingsTable& settings_;
  TJwkData& src_;
  TJwsData& dst_;
  float scale_ = 1.0f;
  TScales scales_;
  TExtent extent_;
};

void TConverter::ConvertLines() {
  dst_.Sen.resize(src_.Sen.size());
  int32_t group = 1;
  for (std::size_t i = 0; i < src_.Sen.size(); ++i) {
    const TSen2& line = src_.Sen[i];
    TSSen& out = dst_.Sen[i];
    float x1 = Unit(line.X1), y1 = Unit(line.Y1), x2 = Unit(line.X2), y2 = Unit(line.Y2);
    uint16_t flags = static_cast<uint16_t>(((line.Attr1 & 0xC0) << 8) | (line.Attr2 & 0xE0));
    out.Header = HeaderOf(line.LineType, line.PenColor, line.Layer, flags);
    out.Header.Group = (line.Attr2 & 0xC0) != 0 ? group : 0;
    // Both top bits mark the last line of a group.
    if ((flags & 0xC0) == 0xC0) ++group;
    out.X1 = static_cast<double>(X(x1));
    out.Y1 = static_cast<double>(Y(y1));
    out.X2 = static_cast<double>(X(x2));
    out.Y2 = static_cast<double>(Y(y2));
    extent_.Add(x1, y1);
    extent_.Add(x2, y2);
  }
}

void TConverter::ConvertArcs() {
  dst_.Enko.resize(src_.Enko.size());
  for (std::size_t i = 0; i < src_.Enko.size(); ++i) {
    TEnko2& arc = src_.Enko[i];
    TSEnko& out = dst_.Enko[i];
    float cx = Unit(arc.CX), cy = Unit(arc.CY), r = Unit(arc.Radius);
    out.Header = HeaderOf(arc.LineType, arc.PenColor, arc.Layer, arc.Attr & 0xF0);
    out.CenterX = static_cast<double>(X(cx));
    out.CenterY = static_cast<double>(Y(cy));
    out.Radius = static_cast<double>(X(r));
    out.StartAngle = static_cast<double>(arc.StartAngle * kPi / 180);
    long double sweep = static_cast<long double>(arc.EndAngle) - arc.StartAngle;
    if (sweep < 0) sweep += 360;
    out.ArcAngle = static_cast<double>(sweep * kPi / 180);
    out.TiltAngle = static_cast<double>(arc.Tilt * kPi / 180);
    out.Flatness = arc.Flatness;

    // The sweep above is taken first: an arc from 0 to 360 sweeps 360 and is whole below too.
    if (arc.StartAngle == 360) arc.StartAngle = 0;
    if (arc.EndAngle == 360) arc.EndAngle = 0;
    long double a = arc.StartAngle, b = arc.EndAngle;
    out.FullCircle = a == b ? 1 : 0;
    if (out.FullCircle) out.ArcAngle = kFullSweep;

    // The extent takes the end points of an arc, not its outermost points; end angles adding up
    // to 0 or 360 count as whole.
    if (a == b || a + b == 0 || a + b == 360) {
      extent_.Add(static_cast<long double>(cx) - r, cy - static_cast<long double>(r) * arc.Flatness);
      extent_.Add(static_cast<long double>(cx) + r, cy + static_cast<long double>(r) * arc.Flatness);
      continue;
    }
    for (long double theta : {a, b}) {
      long double angle = (theta + arc.Tilt) * kPi / 180;
      extent_.Add(cx + r * cosl(angle), cy + static_cast<long double>(r) * arc.Flatness * sinl(angle));
    }
  }
}

void TConverter::ConvertPoints() {
  dst_.Ten.resize(src_.Ten.size());
  for (std::size_t i = 0; i < src_.Ten.size(); ++i) {
    const TTen2& point = src_.Ten[i];
    TSTen& out = dst_.Ten[i];
    float x = Unit(point.X), y = Unit(point.Y);
    out.Header = HeaderOf(1, PenOfPointOrText(point.PenColor), point.Layer, point.Attr & 0xF0);
    out.X = static_cast<double>(X(x));
    out.Y = static_cast<double>(Y(y));
    out.Virtual = 0;
    extent_.Add(x, y);
  }
}

void TConverter::ConvertTexts() {
  dst_.Moji.resize(src_.Moji.size());
  for (std::size_t i = 0; i < src_.Moji.size(); ++i) {
    const TMoji2& text = src_.Moji[i];
    TSMoji& out = dst_.Moji[i];
    float x1 = Unit(text.X1), y1 = Unit(text.Y1), x2 = Unit(text.X2), y2 = Unit(text.Y2);
    // A character type outside 1 to 10 has no settings: no pen and no size.
    int type = text.MojiShuNo;
    TMojiSetting setting = type >= 1 && type <= 10 ? settings_[static_cast<std::size_t>(type - 1)] : TMojiSetting{};
    uint16_t flags = static_cast<uint16_t>((text.Attr2 << 8) | (text.Attr1 & 0xF0));
    out.Header = HeaderOf(1, PenOfPointOrText(setting.Pen), text.Layer, flags);
    out.X1 = static_cast<double>(X(x1));
    out.Y1 = static_cast<double>(Y(y1));
    out.X2 = static_cast<double>(X(x2));
    out.Y2 = static_cast<double>(Y(y2));
    out.MojiType = type;
    out.SizeX = static_cast<double>(setting.Wide / 10.0L);
    out.SizeY = static_cast<double>(setting.High / 10.0L);
    out.Spacing = static_cast<double>(setting.Dist / 10.0L);
    out.Angle = static_cast<double>(
        atan2l(static_cast<long double>(y2) - y1, static_cast<long double>(x2) - x1) * 180 / kPi);
    out.FontName = font_;
    out.Text = text.Text;
    extent_.Add(x1, y1);
    extent_.Add(x2, y2);
  }
}

void TConverter::Run() {
  ResetJwsDocument(dst_);
  dst_.LayerGroupScales.fill(scale_);
  dst_.SenCount = static_cast<int32_t>(src_.Sen.size());
  dst_.EnkoCount = static_cast<int32_t>(src_.Enko.size());
  dst_.MojiCount = static_cast<int32_t>(src_.Moji.size());
  dst_.TenCount = static_cast<int32_t>(src_.Ten.size());
  dst_.TotalCount = static_cast<int32_t>(src_.Sen.size() + src_.Enko.size() + src_.Moji.size() + src_.Ten.size());
  ConvertLines();
  ConvertArcs();
  ConvertPoints();
  ConvertTexts();
  dst_.MinX = static_cast<double>(X(extent_.MinX));
  dst_.MinY = static_cast<double>(Y(extent_.MinY));
  dst_.MaxX = static_cast<double>(X(extent_.MaxX));
  dst_.MaxY = static_cast<double>(Y(extent_.MaxY));
}

}  // namespace

void ConvertJwkToJws(const std::string& fontName, bool numericCorrection, const TMojiSettingsTable& settings,
                     TJwkData& source, TJwsData& target) {
  TConverter(fontName, numericCorrection, settings, source, target).Run();
}

}  // namespace torvane
