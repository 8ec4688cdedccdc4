#include "render/strokes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <optional>

namespace torvane {

// One segment of a polyline in the coordinates of its major axis u (along which it runs further)
// and its minor axis v.
struct TStrokeRaster::TSegment {
  double U0, V0, U1, V1;
  double Length;
  double Along;  // how far the polyline has come where the segment starts
  // At a corner, the pixels on the far side of the line through it along the corner's normal
  // (the sum of the two segments' directions) belong to the next segment; a flat end of the
  // polyline has none.
  bool FreeStart, FreeEnd;
  double StartU, StartV, EndU, EndV;  // the corners' normals
  double StartTurn, EndTurn;          // the tangent of half the angle each corner turns by
  std::span<const double> Ends;       // where each dash or gap of the repeating unit ends
};

namespace {

// The pixel c over d at a coverage of 0 to 256.
inline void Blend(uint32_t& d, uint32_t c, uint32_t a) {
  uint32_t rb = (((c & 0xFF00FFu) * a + (d & 0xFF00FFu) * (256 - a)) >> 8) & 0xFF00FFu;
  uint32_t g = (((c & 0x00FF00u) * a + (d & 0x00FF00u) * (256 - a)) >> 8) & 0x00FF00u;
  d = 0xFF000000u | rb | g;
}

inline void Blend(uint8_t& d, uint8_t c, uint32_t a) { d = static_cast<uint8_t>((c * a + d * (256 - a)) >> 8); }

bool IsGray(uint32_t c) { return (c & 0xFFFFFFu) == (c & 0xFFu) * 0x010101u; }

// std::floor, without the call that the x86-64 baseline makes of it: a double of 2^52 or more is
// a whole number already.
inline double Floor(double v) {
  if (!(std::abs(v) < 0x1p52)) return v;
  double t = static_cast<double>(static_cast<int64_t>(v));
  return t > v ? t - 1 : t;
}

// The run of the repeating unit whose runs end at ends (dash, gap, dash, ...) that a phase within
// the unit lies in.
inline std::size_t RunOf(std::span<const double> ends, double phase) {
  std::size_t run = 0;
  while (run + 1 < ends.size() && ends[run] <= phase) ++run;
  return run;
}

// The run of the repeating unit whose runs end at ends (dash, gap, dash, ...) that a phase lies
// in, the phase taken round the unit first.
inline std::size_t RunAt(std::span<const double> ends, double phase) {
  double unit = ends.back();
  phase -= Floor(phase / unit) * unit;
  return RunOf(ends, phase);
}

// The first index of the pixels whose centres lie at or after x, within [0, limit].
[[gnu::always_inline]] inline int FirstAtOrAfter(double x, int limit) {
  double at = x - 0.5;
  // Within [-1, limit] first (not a number is -1), so that the whole number fits an int.
  at = at > -1 ? (at < limit ? at : limit) : -1;
  int whole = static_cast<int>(at);
  return std::max(0, whole < at ? whole + 1 : whole);
}

// The same, or one more where a pixel's centre lies at x itself (up to rounding): one conversion
// instead of a ceiling. A stroke's pixels are bounded by it where they take no ink, at the edge
// of their reach, so such a pixel may as well be left out.
[[gnu::always_inline]] inline int NearFirstAtOrAfter(double x, int limit) {
  double at = x + 0.5;
  at = at > 0 ? (at < limit ? at : limit) : 0;
  return static_cast<int>(at);
}

}  // namespace

QPen QtPenOf(const TStroke& stroke) {
  QPen pen(QColor(stroke.Color), stroke.Width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
  if (!stroke.Ends.empty()) {
    QList<qreal> pattern;
    double last = 0;
    for (double end : stroke.Ends) {
      pattern << (end - last) / stroke.Width;
      last = end;
    }
    pen.setDashPattern(pattern);
    pen.setDashOffset(stroke.Offset / stroke.Width);
  }
  return pen;
}

TStrokeRaster::TStrokeRaster(QImage& image, int firstRow, int endRow)
    : bits_(image.bits()), bytesPerLine_(image.bytesPerLine()), width_(image.width()),
      firstRow_(std::clamp(firstRow, 0, image.height())), endRow_(std::clamp(endRow, firstRow_, image.height())),
      across_((width_ + (1 << kTileShift) - 1) >> kTileShift),
      down_((endRow_ - firstRow_ + (1 << kTileShift) - 1) >> kTileShift),
      rowAt_(static_cast<std::size_t>(endRow_ - firstRow_)), columnAt_(static_cast<std::size_t>(width_)),
      tiles_(static_cast<std::size_t>(across_) * static_cast<std::size_t>(down_), 0u),
      blocksAcross_((across_ + (1 << kBlockShift) - 1) >> kBlockShift),
      blocksDown_((down_ + (1 << kBlockShift) - 1) >> kBlockShift),
      blocks_(static_cast<std::size_t>(blocksAcross_) * static_cast<std::size_t>(blocksDown_), 0u) {
  for (std::size_t row = 0; row < rowAt_.size(); ++row) {
    rowAt_[row] = (((row >> kTileShift) * static_cast<std::size_t>(across_)) << (2 * kTileShift)) + ((row & kTileMask) << kTileShift);
  }
  for (std::size_t x = 0; x < columnAt_.size(); ++x) columnAt_[x] = ((x >> kTileShift) << (2 * kTileShift)) + (x & kTileMask);
}

TStrokeRaster::~TStrokeRaster() { Release(); }

void TStrokeRaster::Hold() {
  if (held_) return;
  held_ = true;
  changed_ = false;
  if (grays_ && HoldAs(gray_)) return;
  grays_ = false;
  gray_ = {};
  HoldAs(colour_);
}

template <typename Pixel, typename Move>
bool TStrokeRaster::EachPixel(Pixel* pixels, Move move) {
  for (int y = firstRow_; y < endRow_; ++y) {
    auto* line = reinterpret_cast<uint32_t*>(bits_ + y * bytesPerLine_);
    Pixel* row = pixels + At(0, y);
    for (int x = 0; x < width_; x += 1 << kTileShift) {
      Pixel* tile = row + (static_cast<std::size_t>(x) << kTileShift);
      for (int i = 0, n = std::min(1 << kTileShift, width_ - x); i < n; ++i) {
        if (!move(line[x + i], tile[i])) return false;
      }
    }
  }
  return true;
}

template <typename Pixel>
bool TStrokeRaster::HoldAs(TLargeVector<Pixel>& pixels) {
  pixels.resize(tiles_.size() << (2 * kTileShift));
  return EachPixel(pixels.data(), [](uint32_t image, Pixel& tiled) {
    image |= 0xFF000000u;
    tiled = static_cast<Pixel>(image);
    return sizeof(Pixel) > 1 || IsGray(image);
  });
}

void TStrokeRaster::Release() {
  if (!held_) return;
  held_ = false;
  if (changed_) {
    if (grays_) {
      ReleaseFrom(gray_);
    } else {
      ReleaseFrom(colour_);
    }
  }
  gray_ = {};
  colour_ = {};
}

template <typename Pixel>
void TStrokeRaster::ReleaseFrom(TLargeVector<Pixel>& pixels) {
  EachPixel(pixels.data(), [](uint32_t& image, Pixel tiled) {
    image = sizeof(Pixel) == 1 ? 0xFF000000u | tiled * 0x010101u : static_cast<uint32_t>(tiled);
    return true;
  });
}

bool TStrokeRaster::Paints(const QImage& image) { return image.format() == QImage::Format_RGB32 && !image.isNull(); }

// Draw visits the columns up to twice the half width and a pixel past a segment's end (the reach
// of a corner), and in each column the pixels up to half the width and half a pixel from the
// line, which runs at most as steep as the column's axis: (half + 0.5) / |cos| at most.
double TStrokeRaster::Reach(double width) {
  double half = width / 2;
  return 2 * half + 2 + (half + 0.5) * std::numbers::sqrt2;
}

void TStrokeRaster::Blank(QRgb color) {
  Release();
  uint32_t tag = color | 0xFF000000u;
  std::fill(tiles_.begin(), tiles_.end(), tag);
  std::fill(blocks_.begin(), blocks_.end(), tag);
  held_ = true;
  changed_ = false;
  grays_ = grays_ && IsGray(tag);
  gray_ = {};
  colour_ = {};
  // Every place among the tiles holds the colour, those beyond the ragged edges too: they are
  // never written back.
  if (grays_) {
    gray_.assign(tiles_.size() << (2 * kTileShift), static_cast<uint8_t>(tag));
  } else {
    colour_.assign(tiles_.size() << (2 * kTileShift), tag);
  }
}

void TStrokeRaster::Polyline(std::span<const QPointF> points, const TStroke& stroke) {
  if (points.size() < 2 || !(stroke.Width > 0) || !std::isfinite(stroke.Width)) return;
  uint32_t color = stroke.Color | 0xFF000000u;
  double left = points[0].x(), right = left, top = points[0].y(), bottom = top;
  for (const QPointF& p : points) {
    left = std::min(left, p.x());
    right = std::max(right, p.x());
    top = std::min(top, p.y());
    bottom = std::max(bottom, p.y());
  }
  double reach = Reach(stroke.Width);
  if (Covered(QRectF(QPointF(left - reach, top - reach), QPointF(right + reach, bottom + reach)), color)) return;
  if (grays_ && !IsGray(color)) {
    Release();
    grays_ = false;
  }
  Hold();
  // Looked for again once a quarter as many pixels as the rows hold have been inked.
  if (inked_ > tiles_.size() << (2 * kTileShift - 2)) FindCoveredTiles();
  changed_ = true;
  std::span<const double> ends = stroke.Ends;
  double unit = ends.empty() ? 0 : ends.back();
  if (!(unit > 0 && std::isfinite(unit))) ends = {};
  // The segments of some length, each drawn once the next is known: its end's corner needs it.
  struct TDirection {
    QPointF Unit;
    double Length;
  };
  auto direction = [&](std::size_t i) {
    QPointF d = points[i + 1] - points[i];
    double length = std::hypot(d.x(), d.y());
    return length > 0 && std::isfinite(length) ? std::optional<TDirection>({d / length, length}) : std::nullopt;
  };
  struct TCorner {
    QPointF Normal;
    double Turn;
  };
  auto draw = [&](std::size_t i, const TDirection& direction, double along, const std::optional<TCorner>& start,
                  const std::optional<TCorner>& end) {
    const QPointF& d = direction.Unit;
    QPointF a = points[i], b = points[i + 1];
    // Dashes go on from where the last segment left them, within one repeating unit.
    double phase = ends.empty() ? 0 : along + stroke.Offset;
    // Mostly within the first unit already, where the remainder is the phase itself.
    if (!ends.empty() && !(phase >= 0 && phase < unit)) phase = std::fmod(phase, unit);
    QPointF n0 = start ? start->Normal : d, n1 = end ? end->Normal : d;
    double t0 = start ? start->Turn : 0, t1 = end ? end->Turn : 0;
    auto drawIn = [&](auto* pixels, auto ink) {
      if (std::abs(d.x()) >= std::abs(d.y())) {
        Draw<true>({a.x(), a.y(), b.x(), b.y(), direction.Length, phase, !start, !end, n0.x(), n0.y(), n1.x(), n1.y(), t0,
                    t1, ends},
                   stroke, pixels, ink);
      } else {
        Draw<false>({a.y(), a.x(), b.y(), b.x(), direction.Length, phase, !start, !end, n0.y(), n0.x(), n1.y(), n1.x(),
                     t0, t1, ends},
                    stroke, pixels, ink);
      }
    };
    if (grays_) {
      drawIn(gray_.data(), static_cast<uint8_t>(color));
    } else {
      drawIn(colour_.data(), color);
    }
  };
  std::size_t last = points.size();  // the segment waiting to be drawn
  TDirection lastDirection;
  std::optional<TCorner> lastStart;
  double along = 0, lastAlong = 0;
  for (std::size_t i = 0; i + 1 < points.size(); ++i) {
    std::optional<TDirection> next = direction(i);
    if (!next) continue;
    std::optional<TCorner> corner;
    if (last < points.size()) {
      // Segments that turn straight back meet at flat ends.
      const QPointF &was = lastDirection.Unit, &d = next->Unit;
      QPointF normal = was + d;
      double turned = std::abs(was.x() * d.y() - was.y() * d.x());
      double ahead = 1 + was.x() * d.x() + was.y() * d.y();
      if (ahead > 1e-9) corner = TCorner{normal, turned / ahead};
      draw(last, lastDirection, lastAlong, lastStart, corner);
    }
    last = i;
    lastDirection = *next;
    lastStart = corner;
    lastAlong = along;
    along += next->Length;
  }
  if (last < points.size()) draw(last, lastDirection, lastAlong, lastStart, std::nullopt);
}

// Every pixel within half the width and half a pixel of the segment's line takes ink by its
// distance from the line: all of it from half a pixel inside the edge, none from half a pixel
// outside. At a flat end the pixels reach as far as the end's edge does, inked by their distance
// past it; at a corner the line along its normal splits the pixels between the two segments, so
// none is inked twice or left out, as far as twice the half width from the corner.
template <bool XMajor, typename Pixel>
void TStrokeRaster::Draw(const TSegment& s, const TStroke& stroke, Pixel* pixels, Pixel colour) {
  double du = s.U1 - s.U0, dv = s.V1 - s.V0;
  double length = s.Length;
  double cu = du / length, cv = dv / length;  // the direction
  double across = std::abs(cu);               // a pixel's distance from the line per unit of v
  double half = stroke.Width / 2;
  // How far from the line's v at a pixel's u its pixels take ink.
  double reach = (half + 0.5) / across;
  double slope = dv / du;
  // How far along u the pixels of a flat end and of a corner reach past the segment's end point:
  // the corner's line leans by the turn's half angle, cut off at twice the half width.
  double capReach = half * std::abs(cv) + 0.5;
  auto cornerReach = [&](double turn) { return std::min((half + 0.5) * (std::abs(cv) + turn), 2 * half + 1) + 1; };
  double startReach = s.FreeStart ? capReach : cornerReach(s.StartTurn);
  double endReach = s.FreeEnd ? capReach : cornerReach(s.EndTurn);
  bool forward = s.U0 <= s.U1;
  double low = forward ? s.U0 - startReach : s.U1 - endReach, high = forward ? s.U1 + endReach : s.U0 + startReach;
  int uLimit = XMajor ? width_ : endRow_, uFloor = XMajor ? 0 : firstRow_;
  int vFloor = XMajor ? firstRow_ : 0, vLimit = XMajor ? endRow_ : width_;
  int uBegin = std::max(uFloor, FirstAtOrAfter(low, uLimit));
  int uEnd = FirstAtOrAfter(high, uLimit);
  // A pixel lies at most half + 0.5 further along than its column's centre on the line.
  double zone = std::max(startReach, endReach) + half + 1;
  std::span<const double> ends = s.Ends;
  double unit = ends.empty() ? 0 : ends.back();
  uint32_t color = stroke.Color | 0xFF000000u;
  auto pixel = [&](int u, int v) -> Pixel& { return pixels[XMajor ? At(u, v) : At(v, u)]; };
  // Every column holds at most this many pixels within reach of the line.
  int span = static_cast<int>(std::min(2 * reach + 1, static_cast<double>(vLimit)));
  // Along u the tiles begin at uOrigin; a stretch of the segment over one tile's width whose
  // pixels all lie in tiles of its colour is passed over whole.
  int uOrigin = XMajor ? 0 : firstRow_;
  // The run of the repeating unit the last column's centre lay in: [runFrom, runTo) along the unit.
  std::size_t run = 0;
  double runFrom = 0, runTo = 0;
  bool dashColumn = true;
  // How many whole units lie before the last column's centre; none known before the first.
  double units = std::numeric_limits<double>::quiet_NaN();
  // From one column's centre to the next the way along the segment grows (or, running backwards,
  // shrinks) by this much.
  double step = length / std::abs(du);
  // The end of the columns whose tiles were last looked at.
  int stretchEnd = uBegin;
  // Where the pixels of a column lie among the tiles from the column's first, by their v.
  const std::size_t* minorAt = (XMajor ? rowAt_ : columnAt_).data() - vFloor;
  for (int u = uBegin; u < uEnd; ++u) {
    if (u >= stretchEnd) {
      stretchEnd = std::min(uEnd, uOrigin + ((((u - uOrigin) >> kTileShift) + 1) << kTileShift));
      double first = s.V0 + (u + 0.5 - s.U0) * slope, last = s.V0 + (stretchEnd - 0.5 - s.U0) * slope;
      int vBegin = std::max(vFloor, NearFirstAtOrAfter(std::min(first, last) - reach, vLimit));
      int vEnd = NearFirstAtOrAfter(std::max(first, last) + reach, vLimit);
      if (vBegin >= vEnd || StretchCovered<XMajor>(u, vBegin, vEnd, color)) {
        u = stretchEnd - 1;
        continue;
      }
      // The next stretch's tiles are most likely those beside these: fetched while these are inked.
      if (stretchEnd < uEnd) {
        __builtin_prefetch(&pixel(stretchEnd, vBegin), 1);
        __builtin_prefetch(&pixel(stretchEnd, vEnd - 1), 1);
      }
    }
    double uc = u + 0.5;
    double vLine = s.V0 + (uc - s.U0) * slope;
    int vBegin = std::max(vFloor, NearFirstAtOrAfter(vLine - reach, vLimit));
    int vEnd = NearFirstAtOrAfter(vLine + reach, vLimit);
    if (vBegin >= vEnd) continue;
    double alongColumn = (uc - s.U0) * cu + (vLine - s.V0) * cv;
    bool nearStart = alongColumn < zone, nearEnd = alongColumn > length - zone;
    // The run the column's centre lies in, [runFrom, runTo) along the unit: its pixels mostly
    // lie in it too.
    double phaseColumn = s.Along + alongColumn;
    bool oneRun = true;
    if (unit > 0) {
      // Taken round the unit as many times as the column before, give or take one.
      if (std::isnan(units)) units = Floor(phaseColumn / unit);
      double total = phaseColumn;
      phaseColumn = total - units * unit;
      while (phaseColumn >= unit) phaseColumn = total - ++units * unit;
      while (phaseColumn < 0) phaseColumn = total - --units * unit;
      // Mostly in the run of the column before.
      if (!(phaseColumn >= runFrom && phaseColumn < runTo)) {
        run = RunAt(ends, phaseColumn);
        runFrom = run == 0 ? 0 : ends[run - 1];
        runTo = ends[run];
        dashColumn = run % 2 == 0;
      }
      double spread = reach * std::abs(cv);
      oneRun = phaseColumn - spread >= runFrom && phaseColumn + spread < runTo;
      // A column whose every pixel lies in the gap of its centre takes no ink, and so do the
      // columns after it whose pixels surely lie in the same gap: passed over at once. The
      // margin is far wider than the rounding of the way along.
      if (!dashColumn && oneRun) {
        double room = forward ? runTo - spread - phaseColumn : phaseColumn - spread - runFrom;
        room -= 1e-9 * (1 + std::abs(total) + unit);
        if (room > step) {
          double within = std::min(room / step, static_cast<double>(uEnd - u));
          int columns = static_cast<int>(within);
          u += columns == within ? columns - 1 : columns;
        }
        continue;
      }
    }
    // As many pixels each time, and no branch on a pixel's amount: a pixel that takes no ink is
    // blended at none, which leaves it as it is.
    int n = std::min(span, vLimit - vBegin);
    Pixel* column = pixels + (XMajor ? columnAt_ : rowAt_)[static_cast<std::size_t>(u - uFloor)];
    auto ink = [&](int v, double amount) {
      Blend(column[minorAt[v]], colour, static_cast<uint32_t>(amount * 256 + 0.5));
    };
    if (!nearStart && !nearEnd && oneRun) {
      // Most columns: the ink by the distance from the line alone.
      for (int v = vBegin; v < vBegin + n; ++v) {
        ink(v, std::clamp(half + 0.5 - std::abs(v + 0.5 - vLine) * across, 0.0, 1.0));
      }
    } else {
      for (int v = vBegin; v < vBegin + n; ++v) {
        double offset = v + 0.5 - vLine;
        double amount = std::clamp(half + 0.5 - std::abs(offset) * across, 0.0, 1.0);
        double vc = v + 0.5;
        if (nearStart) {
          amount *= s.FreeStart ? std::clamp(alongColumn + offset * cv + 0.5, 0.0, 1.0)
                                : static_cast<double>((uc - s.U0) * s.StartU + (vc - s.V0) * s.StartV >= 0);
        }
        if (nearEnd) {
          amount *= s.FreeEnd ? std::clamp(length - alongColumn - offset * cv + 0.5, 0.0, 1.0)
                              : static_cast<double>((uc - s.U1) * s.EndU + (vc - s.V1) * s.EndV < 0);
        }
        if (!oneRun) {
          double phase = phaseColumn + offset * cv;
          bool dash = phase >= runFrom && phase < runTo ? dashColumn : RunAt(ends, phase) % 2 == 0;
          amount *= static_cast<double>(dash);
        }
        ink(v, amount);
      }
    }
    inked_ += static_cast<std::size_t>(n);
  }
}

template <bool XMajor>
bool TStrokeRaster::StretchCovered(int u, int vBegin, int vEnd, uint32_t tag) {
  int vOrigin = XMajor ? firstRow_ : 0, uOrigin = XMajor ? 0 : firstRow_;
  int first = (vBegin - vOrigin) >> kTileShift, last = (vEnd - 1 - vOrigin) >> kTileShift;
  auto at = static_cast<std::size_t>((u - uOrigin) >> kTileShift), from = static_cast<std::size_t>(first);
  auto across = static_cast<std::size_t>(across_);
  std::size_t step = XMajor ? across : 1;
  uint32_t* tile = tiles_.data() + (XMajor ? from * across + at : at * across + from);
  bool covered = true;
  for (int i = first; i <= last; ++i, tile += step) {
    if (*tile == tag) continue;
    covered = false;
    *tile = 0;
    auto other = static_cast<std::size_t>(i);
    BlockOf(XMajor ? at : other, XMajor ? other : at) = 0;
  }
  return covered;
}

TStrokeRaster::TTileSpan TStrokeRaster::TilesOf(double left, double top, double right, double bottom) const {
  if (width_ == 0 || endRow_ == firstRow_) return {};
  left = Floor(left), right = Floor(right), top = Floor(top), bottom = Floor(bottom);
  // A box of no finite size takes every tile.
  if (!(std::isfinite(left) && std::isfinite(right) && std::isfinite(top) && std::isfinite(bottom))) {
    return {0, across_, 0, down_};
  }
  if (right < 0 || left >= width_ || bottom < firstRow_ || top >= endRow_) return {};
  auto column = [this](double x) { return static_cast<int>(std::clamp(x, 0.0, width_ - 1.0)) >> kTileShift; };
  auto row = [this](double y) {
    return (static_cast<int>(std::clamp(y, double(firstRow_), endRow_ - 1.0)) - firstRow_) >> kTileShift;
  };
  return {column(left), column(right) + 1, row(top), row(bottom) + 1};
}

TStrokeRaster::TTileSpan TStrokeRaster::TilesOf(const QRectF& box) const {
  QRectF b = box.normalized();
  return TilesOf(b.left(), b.top(), b.right(), b.bottom());
}

bool TStrokeRaster::AllOf(const TTileSpan& span, uint32_t tag) const {
  if (span.Left >= span.Right || span.Top >= span.Bottom) return true;
  // Block by block: a block of the colour answers for its tiles.
  for (int by = span.Top >> kBlockShift; by <= (span.Bottom - 1) >> kBlockShift; ++by) {
    for (int bx = span.Left >> kBlockShift; bx <= (span.Right - 1) >> kBlockShift; ++bx) {
      if (blocks_[static_cast<std::size_t>(by) * static_cast<std::size_t>(blocksAcross_) + static_cast<std::size_t>(bx)] == tag) {
        continue;
      }
      int top = std::max(span.Top, by << kBlockShift), bottom = std::min(span.Bottom, (by + 1) << kBlockShift);
      int left = std::max(span.Left, bx << kBlockShift), right = std::min(span.Right, (bx + 1) << kBlockShift);
      for (int ty = top; ty < bottom; ++ty) {
        const uint32_t* row = tiles_.data() + static_cast<std::size_t>(ty) * static_cast<std::size_t>(across_);
        for (int tx = left; tx < right; ++tx) {
          if (row[tx] != tag) return false;
        }
      }
    }
  }
  return true;
}

bool TStrokeRaster::Covered(const QRectF& box, QRgb color) const { return AllOf(TilesOf(box), color | 0xFF000000u); }

void TStrokeRaster::Inked(const QRectF& box, QRgb color) {
  Release();
  TTileSpan span = TilesOf(box);
  uint32_t tag = color | 0xFF000000u;
  for (int ty = span.Top; ty < span.Bottom; ++ty) {
    uint32_t* row = tiles_.data() + static_cast<std::size_t>(ty) * static_cast<std::size_t>(across_);
    for (int tx = span.Left; tx < span.Right; ++tx) {
      if (row[tx] == tag) continue;
      row[tx] = 0;
      BlockOf(static_cast<std::size_t>(tx), static_cast<std::size_t>(ty)) = 0;
    }
  }
  // At most the rows' pixels count: the box of a text far too large, or of no finite size, would
  // not fit the count.
  const double area = box.width() * box.height();
  const double rows = static_cast<double>(width_) * (endRow_ - firstRow_);
  inked_ += static_cast<std::size_t>(area > 0 ? std::min(area, rows) : 0.0);
}

void TStrokeRaster::FindCoveredTiles() {
  inked_ = 0;
  // Rows the raster does not hold are looked at where they are, not taken into tiles for it.
  if (!held_) {
    FindTilesInImage();
  } else if (grays_) {
    FindTilesIn(gray_);
  } else {
    FindTilesIn(colour_);
  }
  FindBlocks();
}

void TStrokeRaster::FindTilesInImage() {
  constexpr int side = 1 << kTileShift;
  for (int ty = 0; ty < down_; ++ty) {
    int top = firstRow_ + (ty << kTileShift), rows = std::min(side, endRow_ - top);
    for (int tx = 0; tx < across_; ++tx) {
      std::size_t index = static_cast<std::size_t>(ty) * static_cast<std::size_t>(across_) + static_cast<std::size_t>(tx);
      if (tiles_[index] != 0) continue;
      int left = tx << kTileShift, columns = std::min(side, width_ - left);
      uint32_t first = *reinterpret_cast<const uint32_t*>(bits_ + top * bytesPerLine_ + 4 * left), differ = 0;
      for (int y = 0; y < rows; ++y) {
        const auto* line = reinterpret_cast<const uint32_t*>(bits_ + (top + y) * bytesPerLine_) + left;
        for (int x = 0; x < columns; ++x) differ |= line[x] ^ first;
      }
      // The raster's colours are opaque whatever the image's unused alpha byte says.
      if ((differ & 0xFFFFFFu) == 0) tiles_[index] = first | 0xFF000000u;
    }
  }
}

template <typename Pixel>
void TStrokeRaster::FindTilesIn(const TLargeVector<Pixel>& pixels) {
  constexpr int side = 1 << kTileShift;
  for (int ty = 0; ty < down_; ++ty) {
    int rows = std::min(side, endRow_ - firstRow_ - (ty << kTileShift));
    for (int tx = 0; tx < across_; ++tx) {
      std::size_t index = static_cast<std::size_t>(ty) * static_cast<std::size_t>(across_) + static_cast<std::size_t>(tx);
      if (tiles_[index] != 0) continue;
      int columns = std::min(side, width_ - (tx << kTileShift));
      const Pixel* tile = pixels.data() + (index << (2 * kTileShift));
      Pixel first = tile[0], differ = 0;
      if (rows == side && columns == side) {
        for (int i = 0; i < side * side; ++i) differ |= static_cast<Pixel>(tile[i] ^ first);
      } else {
        for (int y = 0; y < rows; ++y) {
          for (int x = 0; x < columns; ++x) differ |= static_cast<Pixel>(tile[(y << kTileShift) + x] ^ first);
        }
      }
      if (differ == 0) tiles_[index] = sizeof(Pixel) == 1 ? 0xFF000000u | first * 0x010101u : static_cast<uint32_t>(first);
    }
  }
}

void TStrokeRaster::FindBlocks() {
  for (int by = 0; by < blocksDown_; ++by) {
    for (int bx = 0; bx < blocksAcross_; ++bx) {
      uint32_t& block = BlockOf(static_cast<std::size_t>(bx) << kBlockShift, static_cast<std::size_t>(by) << kBlockShift);
      if (block != 0) continue;
      uint32_t first = tiles_[static_cast<std::size_t>(by << kBlockShift) * static_cast<std::size_t>(across_) +
                              static_cast<std::size_t>(bx << kBlockShift)];
      bool one = first != 0;
      for (int ty = by << kBlockShift; one && ty < std::min(down_, (by + 1) << kBlockShift); ++ty) {
        for (int tx = bx << kBlockShift; tx < std::min(across_, (bx + 1) << kBlockShift); ++tx) {
          one = one && tiles_[static_cast<std::size_t>(ty) * static_cast<std::size_t>(across_) + static_cast<std::size_t>(tx)] == first;
        }
      }
      if (one) block = first;
    }
  }
}

}  // namespace torvane
