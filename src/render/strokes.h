// Antialiased strokes written straight into the pixels of an image, a band of its rows at a time:
// a picture's lines and arcs are most of its work, and Qt's painter builds an outline for every
// pen wider than a pixel. Each pixel's ink follows from its distance to the stroke alone, so bands
// painted on different threads at once make the picture one painter makes.
//
// Ink of a pixel's own colour leaves it as it is, so where a dense drawing has inked every pixel
// of a tile (16 by 16 pixels) in one colour, strokes of that colour pass over the tile untouched:
// the raster looks for such tiles now and then.
#pragma once

#include <QImage>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <cstdint>
#include <span>
#include <vector>

namespace torvane {

// How a stroke is drawn, in device units.
struct TStroke {
  QRgb Color = 0xFF000000u;
  double Width = 1;
  // Where each dash and gap of the repeating unit ends, from the start of its first dash: dash,
  // gap, dash, gap, ... ; solid when empty. A stroke begins Offset into the unit.
  std::vector<double> Ends;
  double Offset = 0;
};

// Qt's pen that draws the stroke, with flat ends and its dashes counted in widths.
QPen QtPenOf(const TStroke& stroke);

class TStrokeRaster {
 public:
  // Paints the rows [firstRow, endRow) of an image of Format_RGB32; the image must outlive the
  // raster, and only the raster and painters that tell it what they ink (Inked) may change those
  // rows while it paints.
  TStrokeRaster(QImage& image, int firstRow, int endRow);

  // Whether image can be painted by a raster.
  static bool Paints(const QImage& image);

  // The polyline through points with flat ends; its dashes continue from one segment into the
  // next. Pixels at a corner belong to one segment only, so a corner is not inked twice.
  void Polyline(std::span<const QPointF> points, const TStroke& stroke);

  // Whether ink of color anywhere in box (device units) would leave every pixel of the rows as it is.
  bool Covered(const QRectF& box, QRgb color) const;
  // Something else inked pixels of box in color.
  void Inked(const QRectF& box, QRgb color);
  // Looks for tiles of one colour among those not known to be.
  void FindCoveredTiles();

 private:
  struct TSegment;
  template <bool XMajor>
  void Draw(const TSegment& segment, const TStroke& stroke);
  // The tiles of box within the rows: [Left, Right) × [Top, Bottom); empty when it lies beyond.
  struct TTileSpan {
    int Left = 0, Right = 0, Top = 0, Bottom = 0;
  };
  TTileSpan TilesOf(const QRectF& box) const;
  // The same for the pixels [left, right] × [top, bottom], their indices rounded down.
  TTileSpan TilesOf(double left, double top, double right, double bottom) const;
  // Whether every tile of the span is of the colour tag.
  bool AllOf(const TTileSpan& span, uint32_t tag) const;
  uint32_t& TileOf(int x, int y) { return tiles_[static_cast<std::size_t>(((y - firstRow_) >> kTileShift) * across_ + (x >> kTileShift))]; }

  static constexpr int kTileShift = 4;

  uchar* bits_;
  qsizetype bytesPerLine_;
  int width_, firstRow_, endRow_;
  int across_, down_;
  // The colour of every pixel of a tile (alpha included, so never 0), or 0 when they may differ.
  std::vector<uint32_t> tiles_;
  // Pixels inked since the tiles were last looked at.
  std::size_t inked_ = 0;
};

}  // namespace torvane
