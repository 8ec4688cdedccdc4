#include "render/strokes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

namespace torvane {

// One segment of a polyline in the coordinates of its major axis u (along which it runs further)
// and its minor axis v.
struct TStrokeRaster::TSegment {
  double U0, V0, U1, V1;
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

// The run of the repeating unit whose runs end at ends (dash, gap, dash, ...) that a phase lies
// in, the phase taken round the unit first.
std::size_t RunAt(std::span<const double> ends, double phase) {
  double unit = ends.back();
  phase -= std::floor(phase / unit) * unit;
  std::size_t run = 0;
  while (run + 1 < ends.size() && ends[run] <= phase) ++run;
  return run;
}

// The first index of the pixels whose centres lie at or after x, within [0, limit].
int FirstAtOrAfter(double x, int limit) { return static_cast<int>(std::clamp(std::ceil(x - 0.5), 0.0, double(limit))); }

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
      tiles_(static_cast<std::size_t>(across_) * static_cast<std::size_t>(down_), 0u) {}

bool TStrokeRaster::Paints(const QImage& image) { return image.format() == QImage::Format_RGB32 && !image.isNull(); }

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
  double reach = stroke.Width / 2 + 1;
  if (Covered(QRectF(QPointF(left - reach, top - reach), QPointF(right + reach, bottom + reach)), color)) return;
  // Looked for again once a quarter as many pixels as the rows hold have been inked.
  if (inked_ > tiles_.size() << (2 * kTileShift - 2)) FindCoveredTiles();
  std::span<const double> ends = stroke.Ends;
  double unit = ends.empty() ? 0 : ends.back();
  if (!(unit > 0 && std::isfinite(unit))) ends = {};
  // The segments of some length, each drawn once the next is known: its end's corner needs it.
  auto direction = [&](std::size_t i) {
    QPointF d = points[i + 1] - points[i];
    double length = std::hypot(d.x(), d.y());
    return length > 0 && std::isfinite(length) ? std::optional<QPointF>(d / length) : std::nullopt;
  };
  struct TCorner {
    QPointF Normal;
    double Turn;
  };
  auto draw = [&](std::size_t i, const QPointF& d, double along, const std::optional<TCorner>& start,
                  const std::optional<TCorner>& end) {
    QPointF a = points[i], b = points[i + 1];
    // Dashes go on from where the last segment left them, within one repeating unit.
    double phase = ends.empty() ? 0 : std::fmod(along + stroke.Offset, unit);
    QPointF n0 = start ? start->Normal : d, n1 = end ? end->Normal : d;
    double t0 = start ? start->Turn : 0, t1 = end ? end->Turn : 0;
    if (std::abs(d.x()) >= std::abs(d.y())) {
      Draw<true>({a.x(), a.y(), b.x(), b.y(), phase, !start, !end, n0.x(), n0.y(), n1.x(), n1.y(), t0, t1, ends}, stroke);
    } else {
      Draw<false>({a.y(), a.x(), b.y(), b.x(), phase, !start, !end, n0.y(), n0.x(), n1.y(), n1.x(), t0, t1, ends}, stroke);
    }
  };
  std::size_t last = points.size();  // the segment waiting to be drawn
  QPointF lastDirection;
  std::optional<TCorner> lastStart;
  double along = 0, lastAlong = 0;
  for (std::size_t i = 0; i + 1 < points.size(); ++i) {
    std::optional<QPointF> d = direction(i);
    if (!d) continue;
    std::optional<TCorner> corner;
    if (last < points.size()) {
      // Segments that turn straight back meet at flat ends.
      QPointF normal = lastDirection + *d;
      double turned = std::abs(lastDirection.x() * d->y() - lastDirection.y() * d->x());
      double ahead = 1 + lastDirection.x() * d->x() + lastDirection.y() * d->y();
      if (ahead > 1e-9) corner = TCorner{normal, turned / ahead};
      draw(last, lastDirection, lastAlong, lastStart, corner);
    }
    last = i;
    lastDirection = *d;
    lastStart = corner;
    lastAlong = along;
    along += std::hypot(points[i + 1].x() - points[i].x(), points[i + 1].y() - points[i].y());
  }
  if (last < points.size()) draw(last, lastDirection, lastAlong, lastStart, std::nullopt);
}

// Every pixel within half the width and half a pixel of the segment's line takes ink by its
// distance from the line: all of it from half a pixel inside the edge, none from half a pixel
// outside. At a flat end the pixels reach as far as the end's edge does, inked by their distance
// past it; at a corner the line along its normal splits the pixels between the two segments, so
// none is inked twice or left out, as far as twice the half width from the corner.
template <bool XMajor>
void TStrokeRaster::Draw(const TSegment& s, const TStroke& stroke) {
  double du = s.U1 - s.U0, dv = s.V1 - s.V0;
  double length = std::hypot(du, dv);
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
  // Along u the tiles begin at uOrigin; a stretch of the segment over one tile's width whose
  // pixels all lie in covered tiles is passed over whole.
  int uOrigin = XMajor ? 0 : firstRow_;
  for (int u = uBegin; u < uEnd; ++u) {
    if (u == uBegin || ((u - uOrigin) & ((1 << kTileShift) - 1)) == 0) {
      int stretchEnd = std::min(uEnd, uOrigin + ((((u - uOrigin) >> kTileShift) + 1) << kTileShift));
      double first = s.V0 + (u + 0.5 - s.U0) * slope, last = s.V0 + (stretchEnd - 0.5 - s.U0) * slope;
      double vLow = std::min(first, last) - reach - 0.5, vHigh = std::max(first, last) + reach;
      TTileSpan tiles = XMajor ? TilesOf(u, vLow, stretchEnd - 1, vHigh) : TilesOf(vLow, u, vHigh, stretchEnd - 1);
      if (AllOf(tiles, color)) {
        u = stretchEnd - 1;
        continue;
      }
    }
    double uc = u + 0.5;
    double vLine = s.V0 + (uc - s.U0) * slope;
    int vBegin = std::max(vFloor, FirstAtOrAfter(vLine - reach, vLimit));
    int vEnd = FirstAtOrAfter(vLine + reach, vLimit);
    double alongColumn = (uc - s.U0) * cu + (vLine - s.V0) * cv;
    bool nearStart = alongColumn < zone, nearEnd = alongColumn > length - zone;
    // The run the column's centre lies in, [runFrom, runTo) along the unit: its pixels mostly
    // lie in it too.
    double phaseColumn = s.Along + alongColumn, runFrom = 0, runTo = 0;
    bool dashColumn = true;
    if (unit > 0) {
      phaseColumn -= std::floor(phaseColumn / unit) * unit;
      std::size_t run = RunAt(ends, phaseColumn);
      runFrom = run == 0 ? 0 : ends[run - 1];
      runTo = ends[run];
      dashColumn = run % 2 == 0;
      // A column whose every pixel lies in the gap of its centre takes no ink.
      double spread = reach * std::abs(cv);
      if (!dashColumn && phaseColumn - spread >= runFrom && phaseColumn + spread < runTo) continue;
    }
    std::size_t inked = 0;
    for (int v = vBegin; v < vEnd; ++v) {
      double offset = v + 0.5 - vLine;
      double ink = std::min(1.0, half + 0.5 - std::abs(offset) * across);
      if (ink <= 0) continue;
      int x = XMajor ? u : v, y = XMajor ? v : u;
      uint32_t& tile = TileOf(x, y);
      if (tile == color) continue;
      double vc = v + 0.5;
      if (nearStart) {
        if (s.FreeStart) {
          ink *= std::clamp(alongColumn + offset * cv + 0.5, 0.0, 1.0);
        } else if ((uc - s.U0) * s.StartU + (vc - s.V0) * s.StartV < 0) {
          continue;
        }
      }
      if (nearEnd) {
        if (s.FreeEnd) {
          ink *= std::clamp(length - alongColumn - offset * cv + 0.5, 0.0, 1.0);
        } else if ((uc - s.U1) * s.EndU + (vc - s.V1) * s.EndV >= 0) {
          continue;
        }
      }
      if (ink <= 0) continue;
      if (unit > 0) {
        double phase = phaseColumn + offset * cv;
        bool dash = phase >= runFrom && phase < runTo ? dashColumn : RunAt(ends, phase) % 2 == 0;
        if (!dash) continue;
      }
      if (tile != 0) tile = 0;
      auto* pixel = reinterpret_cast<uint32_t*>(bits_ + y * bytesPerLine_) + x;
      Blend(*pixel, color, static_cast<uint32_t>(ink * 256 + 0.5));
      ++inked;
    }
    inked_ += inked;
  }
}

template void TStrokeRaster::Draw<true>(const TSegment&, const TStroke&);
template void TStrokeRaster::Draw<false>(const TSegment&, const TStroke&);

TStrokeRaster::TTileSpan TStrokeRaster::TilesOf(double left, double top, double right, double bottom) const {
  if (width_ == 0 || endRow_ == firstRow_) return {};
  left = std::floor(left), right = std::floor(right), top = std::floor(top), bottom = std::floor(bottom);
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
  for (int ty = span.Top; ty < span.Bottom; ++ty) {
    const uint32_t* row = tiles_.data() + static_cast<std::size_t>(ty) * static_cast<std::size_t>(across_);
    for (int tx = span.Left; tx < span.Right; ++tx) {
      if (row[tx] != tag) return false;
    }
  }
  return true;
}

bool TStrokeRaster::Covered(const QRectF& box, QRgb color) const { return AllOf(TilesOf(box), color | 0xFF000000u); }

void TStrokeRaster::Inked(const QRectF& box, QRgb color) {
  TTileSpan span = TilesOf(box);
  uint32_t tag = color | 0xFF000000u;
  for (int ty = span.Top; ty < span.Bottom; ++ty) {
    uint32_t* row = tiles_.data() + static_cast<std::size_t>(ty) * static_cast<std::size_t>(across_);
    for (int tx = span.Left; tx < span.Right; ++tx) {
      if (row[tx] != tag) row[tx] = 0;
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
  for (int ty = 0; ty < down_; ++ty) {
    int top = firstRow_ + (ty << kTileShift), bottom = std::min(endRow_, top + (1 << kTileShift));
    for (int tx = 0; tx < across_; ++tx) {
      uint32_t& tile = tiles_[static_cast<std::size_t>(ty) * static_cast<std::size_t>(across_) + static_cast<std::size_t>(tx)];
      if (tile != 0) continue;
      int left = tx << kTileShift, right = std::min(width_, left + (1 << kTileShift));
      uint32_t first = reinterpret_cast<const uint32_t*>(bits_ + top * bytesPerLine_)[left] | 0xFF000000u;
      bool one = true;
      for (int y = top; y < bottom && one; ++y) {
        const uint32_t* line = reinterpret_cast<const uint32_t*>(bits_ + y * bytesPerLine_);
        for (int x = left; x < right; ++x) one = one && (line[x] | 0xFF000000u) == first;
      }
      if (one) tile = first;
    }
  }
}

}  // namespace torvane
