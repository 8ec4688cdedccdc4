#include "drawing/jwc2jww.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <limits>
#include <optional>
#include <span>

#include "support/entityrules.h"
#include "support/parallel.h"
#include "support/scales.h"
#include "support/sinecosine.h"
#include "support/text.h"

namespace torvane {
namespace {

struct TPaper {
  long double Width, OriginX, OriginY;
};

// Paper codes 0 to 4 and 8 to 14; any other code spans the drawing's own units, unshifted.
TPaper PaperOf(int32_t code, int32_t span) {
  switch (code) {
    case 0: return {1189, 594.5L, 420.5L};
    case 1: return {841, 420.5L, 297};
    case 2: return {594, 297, 210};
    case 3: return {420, 210, 148.5L};
    case 4: return {297, 148.5L, 105};
    case 8: return {1682, 841, 594.5L};
    case 9: return {2378, 1189, 841};
    case 10: return {3364, 1682, 1189};
    case 11: return {4756, 2378, 1682};
    case 12: return {10000, 5000, 3536.5L};
    case 13: return {50000, 25000, 17683};
    case 14: return {100000, 50000, 35366};
    default: return {static_cast<long double>(span), 0, 0};
  }
}

// A group scale that is not a finite number above 0 cannot divide coordinates: it counts as 1.
float UsableScale(float scale) { return std::isfinite(scale) && scale > 0 ? scale : 1.0f; }

// The value of a real item truncated toward zero, within the range of a 32-bit integer.
int32_t Truncated(float value) {
  if (std::isnan(value)) return 0;
  long double clamped = std::clamp<long double>(value, std::numeric_limits<int32_t>::min(),
                                                std::numeric_limits<int32_t>::max());
  return static_cast<int32_t>(clamped);
}

class TConverter {
 public:
  TConverter(const std::string& fontName, bool correction, const TJwcData& source, TJwwData& target)
      : font_(fontName), src_(source), dst_(target), h_(source.Header) {
    scales_.RoundOffsets = correction;
    scales_.RoundBases = correction;
    TPaper paper = PaperOf(h_.PaperSize(), h_.PaperSpan());
    originX_ = paper.OriginX;
    originY_ = paper.OriginY;
    factor_ = paper.Width / h_.PaperSpan();
    for (std::size_t g = 0; g < 16; ++g) groupScale_[g] = UsableScale(src_.GLayers[g].Scale);
    kasoTenCount_ = static_cast<std::size_t>(std::clamp(h_.KasoTenCount(), 0, kJwcKasoTenSlots));
  }

  // Converts everything but the records, which the caller then converts into target's arrays
  // (ConvertRecords) or has made while they are written (Entities).
  void Prepare();
  void ConvertRecords();
  TMadeEntities Entities() const;
  std::optional<TLayerLineBoxes> LineBoxes() const;

 private:
  float ScaleOf(uint8_t layer) const { return groupScale_[layer >> 4]; }
  // Where an entity of this layer converts: its group's scale and that scale's table entry.
  struct TPlace {
    float Scale;
    const TFrozenScale* Entry;  // nullptr when nothing was registered at the scale
  };
  TPlace PlaceOf(uint8_t layer) const { return TPlace{ScaleOf(layer), groupEntry_[layer >> 4]}; }
  // Whether X and Y at the place keep the order of finite values: every step of the conversion
  // (less the first point, times the scale and the factor, rounded to whole places, plus the first
  // point converted, over the scale, less the origin, to a double) is then increasing, each
  // rounding too.
  bool KeepsOrder(const TPlace& p) const;
  void Register();
  // Registration runs in pieces of about equal work; the bounds of piece k are [k], [k + 1].
  static constexpr std::size_t kRegistrationPieces = 16;
  std::array<std::size_t, kRegistrationPieces + 1> RegistrationPieces() const;
  void RegisterRange(TScales& table, TSineCosineMemo& turns, std::size_t begin, std::size_t end) const;
  template <typename Record, typename Points>
  void RegisterStretches(TScales& table, std::span<const Record> records, const Points& points) const;
  void RegisterArc(TScales& table, TSineCosineMemo& turns, const TEnko2& arc) const;
  void ConvertLayers();
  void ConvertHeader();
  // Converts a run of records of one kind, from record begin on into out, with the table's
  // rounding fixed for the run; runs may convert at once on several threads, since they share only
  // the frozen table.
  template <typename Record>
  void ConvertRun(std::size_t begin, std::span<Record> out) const {
    WithRounding(frozen_.Rounding(), [&](auto rounding) { ConvertEach<decltype(rounding)::value>(begin, out); });
  }
  // Each kind's conversion, kRounding being the table's.
  template <TRounding kRounding>
  void ConvertEach(std::size_t begin, std::span<TWSen> out) const;
  template <TRounding kRounding>
  void ConvertEach(std::size_t begin, std::span<TWEnko> out) const;
  // Real points, then the virtual ones.
  template <TRounding kRounding>
  void ConvertEach(std::size_t begin, std::span<TWTen> out) const;
  template <TRounding kRounding>
  void ConvertVirtualPoint(std::size_t k, TWTen& out) const;
  template <TRounding kRounding>
  void ConvertEach(std::size_t begin, std::span<TWMoji> out) const;
  const TWMojiType& MojiTypeOf(int32_t number) const {
    return dst_.MojiTypes[number >= 0 && number <= 10 ? static_cast<std::size_t>(number) : 0];
  }
  template <TRounding kRounding>
  long double Converted(const TPlace& p, const TScaleAxis TFrozenScale::*axis, float value) const {
    return p.Entry == nullptr ? 0.0L : frozen_.ConvertAs<kRounding>(*p.Entry, p.Entry->*axis, value);
  }
  // A value over a scale of 1 is the value itself (no arithmetic result is a signalling NaN),
  // and the division is the dearest step of a coordinate. The scale is told by its bits (1 has
  // but one float), so that it goes to the FPU straight from memory.
  static long double OverScale(long double value, const float& scale) {
    return std::bit_cast<uint32_t>(scale) == std::bit_cast<uint32_t>(1.0f) ? value : value / scale;
  }
  template <TRounding kRounding>
  double X(const TPlace& p, float value) const {
    return static_cast<double>(OverScale(Converted<kRounding>(p, &TFrozenScale::X, value), p.Scale) - originX_);
  }
  template <TRounding kRounding>
  double Y(const TPlace& p, float value) const {
    return static_cast<double>(OverScale(Converted<kRounding>(p, &TFrozenScale::Y, value), p.Scale) - originY_);
  }

  const std::string& font_;
  const TJwcData& src_;
  TJwwData& dst_;
  const TJwcData::THeader& h_;
  TScales scales_;
  TFrozenScales frozen_;  // the table once its extents are complete
  const TFrozenScale* groupEntry_[16] = {};
  long double factor_ = 1, originX_ = 0, originY_ = 0;
  float groupScale_[16] = {};
  std::size_t kasoTenCount_ = 0;
  std::optional<TCurveIndex> curves_;
};

// Drawings count an arc that starts at 0 or 180 degrees as whole here (parts look at start plus
// end); it decides only the extent, and so the number of places, and stays as drawings had it.
bool RegistersWhole(const TEnko2& arc) {
  return arc.StartAngle == arc.EndAngle || 2 * arc.StartAngle == 0 || 2 * arc.StartAngle == 360;
}

void TConverter::RegisterArc(TScales& table, TSineCosineMemo& turns, const TEnko2& arc) const {
  float s = ScaleOf(arc.Layer);
  if (RegistersWhole(arc)) {
    table.AddPoint(s, static_cast<long double>(arc.CX) + arc.Radius,
                   arc.CY + static_cast<long double>(arc.Radius) * arc.Flatness);
    table.AddPoint(s, static_cast<long double>(arc.CX) - arc.Radius,
                   arc.CY - static_cast<long double>(arc.Radius) * arc.Flatness);
    return;
  }
  // Its ends lie in its box about the centre, since sines and cosines are within ±1 and each step
  // below rounds monotonically: where the extent already reaches over the box, they would change
  // nothing, and their sines are not needed.
  const long double reachX = std::fabs(static_cast<long double>(arc.Radius));
  const long double reachY = std::fabs(static_cast<long double>(arc.Radius) * arc.Flatness);
  if (table.Covers(s, arc.CX - reachX, arc.CX + reachX, arc.CY - reachY, arc.CY + reachY)) return;
  for (float angle : {arc.StartAngle, arc.EndAngle}) {
    long double sine = 0, cosine = 0;
    turns.Of(angle, arc.Tilt, sine, cosine);
    table.AddPoint(s, arc.CX + arc.Radius * cosine, arc.CY + static_cast<long double>(arc.Radius) * arc.Flatness * sine);
  }
}

// Registers records whose points are their file coordinates: a stretch of records at one scale
// goes in as its first point and the range of the other points' values.
template <typename Record, typename Points>
void TConverter::RegisterStretches(TScales& table, std::span<const Record> records, const Points& points) const {
  for (std::size_t i = 0; i < records.size();) {
    const float scale = ScaleOf(records[i].Layer);
    float firstX = 0, firstY = 0;
    bool first = true;
    TValueRange xs, ys;
    auto add = [&](float x, float y) {
      if (first) {
        firstX = x;
        firstY = y;
        first = false;
        return;
      }
      xs.Add(x);
      ys.Add(y);
    };
    points(records[i], add);
    for (++i; i < records.size() && ScaleOf(records[i].Layer) == scale; ++i) points(records[i], add);
    table.AddPoints(scale, firstX, firstY, xs, ys);
  }
}

// Registers the entities [begin, end) of the sequence lines, arcs, real points, texts.
void TConverter::RegisterRange(TScales& table, TSineCosineMemo& turns, std::size_t begin, std::size_t end) const {
  std::size_t offset = 0;
  // The records of one kind that fall within [begin, end).
  auto part = [&](const auto& records) {
    const std::size_t from = std::clamp(begin, offset, offset + records.size());
    const std::size_t to = std::clamp(end, from, offset + records.size());
    const std::size_t first = from - offset;
    offset += records.size();
    return std::span(records).subspan(first, to - from);
  };
  auto ends = [](const auto& record, const auto& add) {
    add(record.X1, record.Y1);
    add(record.X2, record.Y2);
  };
  RegisterStretches(table, part(src_.Sen), ends);
  for (const TEnko2& arc : part(src_.Enko)) RegisterArc(table, turns, arc);
  RegisterStretches(table, part(src_.Ten), [](const TTen2& point, const auto& add) { add(point.X, point.Y); });
  RegisterStretches(table, part(src_.Moji), ends);
}

// How much registering an arc costs, counted in points: a whole one two, one whose ends are turned
// about sixteen (its angles mostly found in the memo; an angle turned anew costs some fifty).
std::size_t ArcRegistrationWork(const TEnko2& arc) { return RegistersWhole(arc) ? 2 : 16; }

std::array<std::size_t, TConverter::kRegistrationPieces + 1> TConverter::RegistrationPieces() const {
  const std::size_t lines = src_.Sen.size(), arcs = src_.Enko.size(), points = src_.Ten.size();
  std::size_t arcsWork = 0;
  for (const TEnko2& arc : src_.Enko) arcsWork += ArcRegistrationWork(arc);
  // A line or a text is two points.
  const std::size_t lineWork = 2 * lines, pointWork = points;
  const std::size_t totalWork = lineWork + arcsWork + pointWork + 2 * src_.Moji.size();
  std::array<std::size_t, kRegistrationPieces + 1> bounds{};
  bounds[kRegistrationPieces] = lines + arcs + points + src_.Moji.size();
  std::size_t arc = 0, arcDone = 0;
  for (std::size_t k = 1; k < kRegistrationPieces; ++k) {
    const std::size_t target = totalWork * k / kRegistrationPieces;
    std::size_t bound = 0;
    if (target < lineWork) {
      bound = target / 2;
    } else if (target < lineWork + arcsWork) {
      for (; arc < arcs && lineWork + arcDone + ArcRegistrationWork(src_.Enko[arc]) <= target; ++arc) {
        arcDone += ArcRegistrationWork(src_.Enko[arc]);
      }
      bound = lines + arc;
    } else if (target < lineWork + arcsWork + pointWork) {
      bound = lines + arcs + (target - lineWork - arcsWork);
    } else {
      bound = lines + arcs + points + (target - lineWork - arcsWork - pointWork) / 2;
    }
    bounds[k] = std::clamp(bound, bounds[k - 1], bounds[kRegistrationPieces]);
  }
  return bounds;
}

void TConverter::Register() {
  std::size_t total = src_.Sen.size() + src_.Enko.size() + src_.Ten.size() + src_.Moji.size();
  if (total < kParallelMinimum) {
    TSineCosineMemo turns;
    RegisterRange(scales_, turns, 0, total);
    return;
  }
  // The extents do not depend on the order of the points, and each scale keeps the first point the
  // earliest piece gives it: pieces registered apart and appended in their order make the same
  // table as one pass. Both threads take the next piece until none is left, so that neither waits
  // long for the other whatever mix of records the drawing has.
  const std::array<std::size_t, kRegistrationPieces + 1> bounds = RegistrationPieces();
  std::array<TScales, kRegistrationPieces> tables;
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    TSineCosineMemo turns;
    for (std::size_t piece = next++; piece < kRegistrationPieces; piece = next++) {
      RegisterRange(tables[piece], turns, bounds[piece], bounds[piece + 1]);
    }
  };
  InParallel(work, work);
  for (const TScales& table : tables) scales_.Append(table);
}

// (State1 AND 6) = 2 protects one way, = 6 the other.
int32_t ProtectOf(uint8_t state1) {
  switch (state1 & 6) {
    case 2: return 1;
    case 6: return 2;
    default: return 0;
  }
}

void TConverter::ConvertLayers() {
  for (std::size_t g = 0; g < 16; ++g) dst_.GLayers[g].Name = src_.GLayers[g].Name;
  for (std::size_t i = 0; i < 256; ++i) dst_.Layers[i].Name = src_.Layers[i].Name;
  for (std::size_t i = 0; i < 256; ++i) {
    const TLayer2& layer = src_.Layers[i];
    dst_.Layers[i].State = (layer.State1 & 1) + layer.State2;
    dst_.Layers[i].Protect = ProtectOf(layer.State1);
  }
  for (std::size_t g = 0; g < 16; ++g) {
    const TGLayer2& group = src_.GLayers[g];
    TWGLayer& out = dst_.GLayers[g];
    out.State = (group.State1 & 1) + group.State2;
    out.WriteLayer = group.WriteLayer & 15;
    dst_.Layers[group.WriteLayer].State = 3;
    out.Protect = ProtectOf(group.State1);
    out.Scale = groupScale_[g];
  }
  int32_t writeGroup = h_.WriteLayer() / 16;
  if (writeGroup >= 0 && writeGroup < 16) dst_.GLayers[static_cast<std::size_t>(writeGroup)].State = 3;
}

void TConverter::ConvertHeader() {
  const auto& l1 = h_.List1;
  const auto& l2 = h_.List2;
  const auto& l3 = h_.List3;
  // The cuts count bytes, as the readers of the format do, even where one falls inside a
  // double-byte character.
  std::string memo(TrimControls(h_.Memo1).substr(0, 30));
  memo += "\r\n";
  memo += TrimControls(h_.Memo2);
  dst_.Memo = memo.substr(0, 64);
  dst_.PaperSize = h_.PaperSize();
  dst_.WriteGroup = h_.WriteLayer() / 16;
  dst_.PrintOriginX = l1[14].Real;
  dst_.PrintOriginY = l1[15].Real;
  dst_.GridMode = Truncated(l1[29].Real);
  dst_.GridIntervalX = l1[25].Real;
  dst_.GridIntervalY = l1[26].Real;
  dst_.GridBaseX = static_cast<double>(l1[27].Real - originX_);
  dst_.GridBaseY = static_cast<double>(l1[28].Real - originY_);
  dst_.ShadowHeight = l3[19].Real;
  dst_.ShadowLatitude = l3[17].Real;
  // Older editions keep no view scale; a zoom of nothing would hide the drawing.
  float viewScale = l2[27].Real;
  dst_.ViewScale = std::isfinite(viewScale) && viewScale > 0 ? viewScale : 1.0;
  dst_.ViewX = static_cast<double>(frozen_.ConvertX(1.0f, l2[25].Real));
  dst_.ViewY = static_cast<double>(frozen_.ConvertY(1.0f, l2[26].Real));
  // Mark jumps: scale, X and Y items of each of the four.
  constexpr std::size_t kMarkItems[4][3] = {{4, 2, 3}, {7, 5, 6}, {10, 8, 9}, {16, 11, 12}};
  for (std::size_t j = 0; j < 4; ++j) {
    dst_.MarkJumps[j].Scale = l3[kMarkItems[j][0]].Real;
    dst_.MarkJumps[j].X = static_cast<double>(frozen_.ConvertX(1.0f, l3[kMarkItems[j][1]].Real));
    dst_.MarkJumps[j].Y = static_cast<double>(frozen_.ConvertY(1.0f, l3[kMarkItems[j][2]].Real));
  }
  for (std::size_t i = 0; i < 5; ++i) dst_.ParallelSpacing[i] = l2[20 + i].Real;
  for (std::size_t t = 1; t <= 10; ++t) {
    const TMojiShu2& type = src_.MojiShu[t];
    TWMojiType& out = dst_.MojiTypes[t];
    out.Width = static_cast<double>(type.Width / 10.0L);
    out.Height = static_cast<double>(type.Height / 10.0L);
    out.Spacing = static_cast<double>(type.Spacing / 10.0L);
    out.PenColor = type.Color;
  }
  dst_.MojiType = h_.CurMojiShu();
  const TWMojiType& current = MojiTypeOf(h_.CurMojiShu());
  dst_.MojiWidth = current.Width;
  dst_.MojiHeight = current.Height;
  dst_.MojiSpacing = current.Spacing;
  dst_.MojiPenColor = current.PenColor;
  dst_.OffsetFlag = 0;
  for (std::size_t i = 0; i < 3; ++i) {
    dst_.OffsetX[i] = l2[10 + i].Real;
    dst_.OffsetY[i] = l2[13 + i].Real;
  }
  dst_.SenCount = static_cast<int32_t>(src_.Sen.size());
  dst_.EnkoCount = static_cast<int32_t>(src_.Enko.size());
  dst_.MojiCount = static_cast<int32_t>(src_.Moji.size());
  dst_.TenCount = static_cast<int32_t>(src_.Ten.size() + kasoTenCount_);
  dst_.TotalCount = dst_.SenCount + dst_.EnkoCount + dst_.MojiCount + dst_.TenCount;
}

// Lines.
template <TRounding kRounding>
void TConverter::ConvertEach(std::size_t begin, std::span<TWSen> out) const {
  TCurveNumbering curves(curves_->At(begin));
  for (std::size_t k = 0; k < out.size(); ++k) {
    const TSen2& line = src_.Sen[begin + k];
    TWSen& o = out[k];
    o.Header = curves.LineHeader(line);
    TPlace p = PlaceOf(line.Layer);
    // Axis by axis: the compiler then keeps one axis's constants on the FPU's stack for both
    // values instead of loading them again (7 % of the lines' conversion).
    o.X1 = X<kRounding>(p, line.X1);
    o.X2 = X<kRounding>(p, line.X2);
    o.Y1 = Y<kRounding>(p, line.Y1);
    o.Y2 = Y<kRounding>(p, line.Y2);
  }
}

// Arcs.
template <TRounding kRounding>
void TConverter::ConvertEach(std::size_t begin, std::span<TWEnko> out) const {
  for (std::size_t k = 0; k < out.size(); ++k) {
    const TEnko2& arc = src_.Enko[begin + k];
    TWEnko& o = out[k];
    o.Header = ArcHeader(arc);
    TPlace p = PlaceOf(arc.Layer);
    o.CenterX = X<kRounding>(p, arc.CX);
    o.CenterY = Y<kRounding>(p, arc.CY);
    o.Radius = static_cast<double>(OverScale(Converted<kRounding>(p, &TFrozenScale::X, arc.Radius), p.Scale));
    o.StartAngle = static_cast<double>(kPi * arc.StartAngle / 180);
    o.TiltAngle = static_cast<double>(kPi * arc.Tilt / 180);
    o.Flatness = arc.Flatness;
    ConvertSweep(arc, o);
  }
}

// Real points, then the virtual ones.
template <TRounding kRounding>
void TConverter::ConvertEach(std::size_t begin, std::span<TWTen> out) const {
  for (std::size_t k = 0; k < out.size(); ++k) {
    std::size_t i = begin + k;
    TWTen& o = out[k];
    if (i >= src_.Ten.size()) {
      ConvertVirtualPoint<kRounding>(i - src_.Ten.size(), o);
      continue;
    }
    const TTen2& point = src_.Ten[i];
    o.Header = PointHeader(point);
    TPlace p = PlaceOf(point.Layer);
    o.X = X<kRounding>(p, point.X);
    o.Y = Y<kRounding>(p, point.Y);
    o.Virtual = 0;
  }
}

template <TRounding kRounding>
void TConverter::ConvertVirtualPoint(std::size_t k, TWTen& out) const {
  const TKasoTen2& point = src_.KasoTen[k];
  out.Header = VirtualPointHeader(point.Layer);
  TPlace p = PlaceOf(point.Layer);
  if (p.Entry != nullptr) {
    out.X = X<kRounding>(p, point.X);
    out.Y = Y<kRounding>(p, point.Y);
  } else {
    // Virtual points do not widen the extents; alone at their scale they keep their place.
    out.X = static_cast<double>(factor_ * point.X - originX_);
    out.Y = static_cast<double>(factor_ * point.Y - originY_);
  }
  out.Virtual = 1;
}

// Texts.
template <TRounding kRounding>
void TConverter::ConvertEach(std::size_t begin, std::span<TWMoji> out) const {
  for (std::size_t k = 0; k < out.size(); ++k) {
    const TMoji2& text = src_.Moji[begin + k];
    TWMoji& o = out[k];
    const TWMojiType& type = MojiTypeOf(text.MojiShuNo);
    o.Header = TextHeader(text, static_cast<uint16_t>(type.PenColor));
    TPlace p = PlaceOf(text.Layer);
    // Axis by axis, as lines.
    o.X1 = X<kRounding>(p, text.X1);
    o.X2 = X<kRounding>(p, text.X2);
    o.Y1 = Y<kRounding>(p, text.Y1);
    o.Y2 = Y<kRounding>(p, text.Y2);
    o.MojiType = text.MojiShuNo;
    o.SizeX = type.Width;
    o.SizeY = type.Height;
    o.Spacing = type.Spacing;
    o.Angle = TextAngle(text.X1, text.Y1, text.X2, text.Y2);
    o.Text = text.Text;
  }
}

void TConverter::Prepare() {
  Register();
  scales_.ComputeDigits(factor_);
  frozen_ = scales_.Freeze(factor_);
  for (std::size_t g = 0; g < 16; ++g) groupEntry_[g] = frozen_.Find(groupScale_[g]);
  curves_.emplace(src_.Sen);
  ResetJwwDocument(dst_);
  dst_.FontName = font_;
  dst_.Texts = src_.Texts;
  ConvertLayers();
  ConvertHeader();
}

void TConverter::ConvertRecords() {
  // The converters fill every field of every record.
  FillRecords(dst_.Sens, src_.Sen.size(), [this](std::size_t b, std::span<TWSen> o) { ConvertRun(b, o); });
  FillRecords(dst_.Enkos, src_.Enko.size(), [this](std::size_t b, std::span<TWEnko> o) { ConvertRun(b, o); });
  FillRecords(dst_.Tens, src_.Ten.size() + kasoTenCount_,
              [this](std::size_t b, std::span<TWTen> o) { ConvertRun(b, o); });
  FillRecords(dst_.Mojis, src_.Moji.size(), [this](std::size_t b, std::span<TWMoji> o) { ConvertRun(b, o); });
}

bool TConverter::KeepsOrder(const TPlace& p) const {
  auto usable = [](long double value) { return std::isfinite(value) && value > 0; };
  auto axis = [](const TScaleAxis& a) {
    return std::isfinite(a.Base) && std::isfinite(a.BaseValue) && std::isfinite(a.Power) && a.Power > 0;
  };
  return p.Entry != nullptr && usable(p.Scale) && usable(p.Entry->Scale) && usable(factor_) && std::isfinite(originX_) &&
         std::isfinite(originY_) && axis(p.Entry->X) && axis(p.Entry->Y);
}

std::optional<TLayerLineBoxes> TConverter::LineBoxes() const {
  // The source's boxes by layer; the first half of the lines (all of few) goes into the first table.
  std::array<TLayerLineBoxes, 2> halves;
  ForInHalves(src_.Sen.size(), [&](std::size_t begin, std::size_t end) {
    TLayerLineBoxes& boxes = halves[begin == 0 ? 0 : 1];
    for (std::size_t i = begin; i < end; ++i) {
      const TSen2& line = src_.Sen[i];
      boxes[line.Layer].Add(line.X1, line.Y1);
      boxes[line.Layer].Add(line.X2, line.Y2);
    }
  });
  TLayerLineBoxes converted;
  for (std::size_t layer = 0; layer < 256; ++layer) {
    TBox source = halves[0][layer];
    source.Add(halves[1][layer]);
    if (source.Empty) continue;
    // A finite value converts between the least and the greatest converted, which are finite. The
    // source's values are floats, held exactly.
    TPlace p = PlaceOf(static_cast<uint8_t>(layer));
    if (!KeepsOrder(p)) return std::nullopt;
    const auto [left, bottom, right, top] = WithRounding(frozen_.Rounding(), [&](auto rounding) {
      constexpr TRounding kRounding = decltype(rounding)::value;
      auto x = [&](double value) { return X<kRounding>(p, static_cast<float>(value)); };
      auto y = [&](double value) { return Y<kRounding>(p, static_cast<float>(value)); };
      return std::array{x(source.Left), y(source.Bottom), x(source.Right), y(source.Top)};
    });
    if (!std::isfinite(left) || !std::isfinite(bottom) || !std::isfinite(right) || !std::isfinite(top)) {
      return std::nullopt;
    }
    converted[layer].Add(left, bottom);
    converted[layer].Add(right, top);
  }
  return converted;
}

TMadeEntities TConverter::Entities() const {
  TMadeEntities made;
  made.TotalCount = dst_.TotalCount;
  made.Sens = {dst_.SenCount, src_.Sen.size(), [this](std::size_t b, std::span<TWSen> o) { ConvertRun(b, o); },
               [this](std::size_t i) { return src_.Sen[i].Layer; }};
  made.Enkos = {dst_.EnkoCount, src_.Enko.size(), [this](std::size_t b, std::span<TWEnko> o) { ConvertRun(b, o); },
                [this](std::size_t i) { return src_.Enko[i].Layer; }};
  made.Tens = {dst_.TenCount, src_.Ten.size() + kasoTenCount_,
               [this](std::size_t b, std::span<TWTen> o) { ConvertRun(b, o); },
               [this](std::size_t i) {
                 return i < src_.Ten.size() ? src_.Ten[i].Layer : src_.KasoTen[i - src_.Ten.size()].Layer;
               }};
  made.Mojis = {dst_.MojiCount, src_.Moji.size(), [this](std::size_t b, std::span<TWMoji> o) { ConvertRun(b, o); },
                [this](std::size_t i) { return src_.Moji[i].Layer; }};
  made.FontName = dst_.FontName;
  made.Texts = &dst_.Texts;
  return made;
}

}  // namespace

std::optional<TPaperSize> PaperSizeOf(int32_t code) {
  TPaper paper = PaperOf(code, 0);
  if (paper.OriginX == 0) return std::nullopt;
  return TPaperSize{static_cast<double>(2 * paper.OriginX), static_cast<double>(2 * paper.OriginY)};
}

void ConvertJwcToJww(const std::string& fontName, bool numericCorrection, const TJwcData& source,
                     TJwwData& target) {
  TConverter converter(fontName, numericCorrection, source, target);
  converter.Prepare();
  converter.ConvertRecords();
}

struct TMadeJww::TParts {
  TParts(const std::string& fontName, bool numericCorrection, const TJwcData& source)
      : font(fontName), converter(font, numericCorrection, source, target) {
    converter.Prepare();
    entities = converter.Entities();
  }
  std::string font;
  // Everything but the records: layers, header, tables; a few kilobytes.
  TJwwData target;
  TConverter converter;
  TMadeEntities entities;
};

TMadeJww::TMadeJww(const std::string& fontName, bool numericCorrection, const TJwcData& source)
    : parts_(std::make_unique<TParts>(fontName, numericCorrection, source)) {}

TMadeJww::~TMadeJww() = default;

const TJwwData& TMadeJww::Document() const { return parts_->target; }

const TMadeEntities& TMadeJww::Entities() const { return parts_->entities; }

std::optional<TLayerLineBoxes> TMadeJww::LineBoxes() const { return parts_->converter.LineBoxes(); }

void WriteConvertedJww(TByteSink& sink, const std::string& fontName, bool numericCorrection, const TJwcData& source) {
  TMadeJww made(fontName, numericCorrection, source);
  WriteJwwTo(sink, made.Document(), made.Entities());
}

}  // namespace torvane
