// Antialiased strokes written straight into the pixels of an image, a band of its rows at a time:
// a picture's lines and arcs are most of its work, and Qt's painter builds an outline for every
// pen wider than a pixel. Each pixel's ink follows from its distance to the stroke alone, so bands
// painted on different threads at once make the picture one painter makes.
//
// While it strokes, the raster holds its rows in tiles of 8 by 8 pixels, each tile's pixels side
// by side in memory, and as one byte a pixel while every pixel and ink is a gray (the print
// scheme): a stroke down the picture then takes a new line of memory every eight rows instead of
// every row, and the caches hold far more of a band. The image gets its rows back when another
// painter is to ink them, and when the raster ends.
//
// Ink of a pixel's own colour leaves it as it is, so where a dense drawing has inked every pixel
// of a tile in one colour, strokes of that colour pass over the tile untouched: the raster looks
// for such tiles now and then.
#pragma once

#include <QImage>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <cstdint>
#include <span>
#include <vector>

#include "support/largearray.h"

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
  // raster, and only the raster and painters that tell it first what they will ink (Inked) may
  // change those rows while it paints.
  TStrokeRaster(QImage& image, int firstRow, int endRow);
  ~TStrokeRaster();
  TStrokeRaster(const TStrokeRaster&) = delete;
  TStrokeRaster& operator=(const TStrokeRaster&) = delete;

  // Whether image can be painted by a raster.
  static bool Paints(const QImage& image);

  // How far, across or along, a pixel a polyline of this width inks may lie from the nearest of
  // its points: at a sharp corner a segment's pixels run on past its end point.
  static double Reach(double width);

  // Every pixel of the rows is of color (the image was just filled), before any stroke: the
  // raster takes them without reading them, each tile known to be of that colour.
  void Blank(QRgb color);

  // The polyline through points with flat ends; its dashes continue from one segment into the
  // next. Pixels at a corner belong to one segment only, so a corner is not inked twice.
  void Polyline(std::span<const QPointF> points, const TStroke& stroke);

  // Whether ink of color anywhere in box (device units) would leave every pixel of the rows as it is.
  bool Covered(const QRectF& box, QRgb color) const;
  // Something else is about to ink pixels of box in color: the image gets its rows back first.
  void Inked(const QRectF& box, QRgb color);
  // Looks for tiles of one colour among those not known to be.
  void FindCoveredTiles();
  // Writes what the raster holds into the image's rows (the next stroke takes them again).
  void Release();

 private:
  struct TSegment;
  template <bool XMajor, typename Pixel>
  void Draw(const TSegment& segment, const TStroke& stroke, Pixel* pixels, Pixel colour);
  // Takes the rows from the image into tiles: of gray bytes while grays_ and every pixel is a gray.
  void Hold();
  // Whether every pixel could be taken as a Pixel.
  template <typename Pixel>
  bool HoldAs(TLargeVector<Pixel>& pixels);
  template <typename Pixel>
  void ReleaseFrom(TLargeVector<Pixel>& pixels);
  // Calls move(the image's pixel, the same pixel among the tiles) for each pixel of the rows while
  // it answers true; whether it always did.
  template <typename Pixel, typename Move>
  bool EachPixel(Pixel* pixels, Move move);
  template <typename Pixel>
  void FindTilesIn(const TLargeVector<Pixel>& pixels);
  void FindTilesInImage();
  // The blocks not known to be of one colour whose tiles all are.
  void FindBlocks();
  // Where the pixel (x, y) of the rows lies among the tiles.
  std::size_t At(int x, int y) const { return rowAt_[static_cast<std::size_t>(y - firstRow_)] + columnAt_[static_cast<std::size_t>(x)]; }
  // Whether the tiles of the pixels [vBegin, vEnd) across the columns of u's tile (v along the
  // minor axis) are all of the colour tag; if not, those of another colour are no longer known to
  // be of one, as the stretch may ink them.
  template <bool XMajor>
  bool StretchCovered(int u, int vBegin, int vEnd, uint32_t tag);
  // The tiles of box within the rows: [Left, Right) × [Top, Bottom); empty when it lies beyond.
  struct TTileSpan {
    int Left = 0, Right = 0, Top = 0, Bottom = 0;
  };
  TTileSpan TilesOf(const QRectF& box) const;
  // The same for the pixels [left, right] × [top, bottom], their indices rounded down.
  TTileSpan TilesOf(double left, double top, double right, double bottom) const;
  // Whether every tile of the span is of the colour tag.
  bool AllOf(const TTileSpan& span, uint32_t tag) const;
  // The block of the tile (tx, ty).
  uint32_t& BlockOf(std::size_t tx, std::size_t ty) {
    return blocks_[(ty >> kBlockShift) * static_cast<std::size_t>(blocksAcross_) + (tx >> kBlockShift)];
  }

  static constexpr int kTileShift = 3;
  static constexpr int kTileMask = (1 << kTileShift) - 1;
  // Blocks of 8 by 8 tiles.
  static constexpr int kBlockShift = 3;

  uchar* bits_;
  qsizetype bytesPerLine_;
  int width_, firstRow_, endRow_;
  int across_, down_;
  // Where each row (from firstRow_) and each column begin among the tiles: a pixel lies at the sum.
  std::vector<std::size_t> rowAt_, columnAt_;
  // The colour of every pixel of a tile (alpha included, so never 0), or 0 when they may differ.
  std::vector<uint32_t> tiles_;
  // The colour of every tile of a block, or 0: a box of many tiles is looked at block by block.
  int blocksAcross_, blocksDown_;
  std::vector<uint32_t> blocks_;
  // Pixels inked since the tiles were last looked at.
  std::size_t inked_ = 0;
  // The rows' pixels in tiles while the raster holds them: gray bytes or colours. Large blocks,
  // taken again and again: in small pages each would cost thousands of page faults.
  TLargeVector<uint8_t> gray_;
  TLargeVector<uint32_t> colour_;
  bool held_ = false, changed_ = false;
  // Whether every ink so far was a gray.
  bool grays_ = true;
};

}  // namespace torvane
