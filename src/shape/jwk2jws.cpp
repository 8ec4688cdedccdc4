#include "shape/jwk2jws.h"

#include <cmath>

#include "support/entityrules.h"
#include "support/scales.h"

namespace torvane {
namespace {

// Millimetres per part unit: parts are drawn on a sheet 518 units wide that stands for 594 mm.
constexpr long double kPaperFactor = 594.0L / 518;
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
  TConverter(const std::string& fontName, bool correction, const TMojiSettingsTable& settings, const TJwkData& source,
             TJwsData& target)
      : font_(fontName), settings_(settings), src_(source), dst_(target) {
    scale_ = source.Header.Scale == 0 ? 1.0f : source.Header.Scale;
    scales_.RoundOffsets = correction;
    scales_.RoundBases = correction;
    // The frame of the sheet alone fixes the rounding places, whatever the part holds.
    scales_.AddPoint(scale_, -298 / kPaperFactor, -209 / kPaperFactor);
    scales_.AddPoint(scale_, 298 / kPaperFactor, 209 / kPaperFactor);
    scales_.ComputeDigits(kPaperFactor);
    frozen_ = scales_.Freeze(kPaperFactor);
  }

  void Run();

 private:
  // A part coordinate or radius in the units the scale table works in, rounded to 32 bits once.
  float Unit(float value) const { return static_cast<float>(value / kPaperFactor / scale_); }
  long double X(long double u) const { return frozen_.ConvertX(scale_, u) / scale_; }
  long double Y(long double u) const { return frozen_.ConvertY(scale_, u) / scale_; }
  void ConvertLines();
  void ConvertArcs();
  void ConvertPoints();
  void ConvertTexts();

  const std::string& font_;
  const TMojiSettingsTable& settings_;
  const TJwkData& src_;
  TJwsData& dst_;
  float scale_ = 1.0f;
  TScales scales_;
  TFrozenScales frozen_;
  TExtent extent_;
};

void TConverter::ConvertLines() {
  dst_.Sen.resize(src_.Sen.size());
  TCurveNumbering curves;
  for (std::size_t i = 0; i < src_.Sen.size(); ++i) {
    const TSen2& line = src_.Sen[i];
    TSSen& out = dst_.Sen[i];
    float x1 = Unit(line.X1), y1 = Unit(line.Y1), x2 = Unit(line.X2), y2 = Unit(line.Y2);
    out.Header = curves.LineHeader(line);
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
    const TEnko2& arc = src_.Enko[i];
    TSEnko& out = dst_.Enko[i];
    float cx = Unit(arc.CX), cy = Unit(arc.CY), r = Unit(arc.Radius);
    out.Header = ArcHeader(arc);
    out.CenterX = static_cast<double>(X(cx));
    out.CenterY = static_cast<double>(Y(cy));
    out.Radius = static_cast<double>(X(r));
    out.StartAngle = static_cast<double>(arc.StartAngle * kPi / 180);
    out.TiltAngle = static_cast<double>(arc.Tilt * kPi / 180);
    out.Flatness = arc.Flatness;
    ConvertSweep(arc, out);
    TArcEnds ends = WholeArcEnds(arc);
    long double a = ends.Start, b = ends.End;

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
    out.Header = PointHeader(point);
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
    out.Header = TextHeader(text, setting.Pen);
    out.X1 = static_cast<double>(X(x1));
    out.Y1 = static_cast<double>(Y(y1));
    out.X2 = static_cast<double>(X(x2));
    out.Y2 = static_cast<double>(Y(y2));
    out.MojiType = type;
    out.SizeX = static_cast<double>(setting.Wide / 10.0L);
    out.SizeY = static_cast<double>(setting.High / 10.0L);
    out.Spacing = static_cast<double>(setting.Dist / 10.0L);
    out.Angle = TextAngle(x1, y1, x2, y2);
    out.Text = text.Text;
    extent_.Add(x1, y1);
    extent_.Add(x2, y2);
  }
}

void TConverter::Run() {
  ResetJwsDocument(dst_);
  dst_.FontName = font_;
  dst_.Texts = src_.Texts;
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
                     const TJwkData& source, TJwsData& target) {
  TConverter(fontName, numericCorrection, settings, source, target).Run();
}

}  // namespace torvane
