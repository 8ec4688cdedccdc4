// The stroke raster against Qt's own stroker, and its tiles of one colour against none.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <limits>
#include <numbers>
#include <utility>
#include <vector>

#include "render/strokes.h"

namespace torvane {
namespace {

constexpr QSize kStrokeImage(160, 120);

QImage White() {
  QImage image(kStrokeImage, QImage::Format_RGB32);
  image.fill(Qt::white);
  return image;
}

// The stroke as Qt's antialiased painter draws it.
QImage ByQt(const std::vector<QPointF>& points, const TStroke& stroke) {
  QImage image = White();
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(QtPenOf(stroke));
  painter.drawPolyline(points.data(), static_cast<int>(points.size()));
  return image;
}

QImage ByRaster(const std::vector<QPointF>& points, const TStroke& stroke) {
  QImage image = White();
  TStrokeRaster(image, 0, image.height()).Polyline(points, stroke);
  return image;
}

std::vector<QPointF> ArcPoints(QPointF centre, double radius, double from, double to, int chords) {
  std::vector<QPointF> points;
  for (int i = 0; i <= chords; ++i) {
    double t = from + (to - from) * i / chords;
    points.emplace_back(centre.x() + radius * std::cos(t), centre.y() - radius * std::sin(t));
  }
  return points;
}

TEST(Strokes, InkWhereQtsStrokerPutsIt) {
  struct TCase {
    const char* name;
    std::vector<QPointF> points;
    TStroke stroke;
  };
  const double pi = std::numbers::pi;
  const TCase cases[] = {
      {"across, thin", {{10.3, 20.5}, {150.2, 20.5}}, {0xFF000000u, 1, {}, 0}},
      {"down, thin", {{80.5, 5}, {80.5, 110}}, {0xFF000000u, 1, {}, 0}},
      {"steep, wide", {{20, 110}, {60.7, 8.2}}, {0xFF000000u, 3.5, {}, 0}},
      {"shallow backwards, 1.8", {{150, 90}, {12.4, 60.1}}, {0xFF000000u, 1.8, {}, 0}},
      {"diagonal, wide", {{10, 10}, {110, 110}}, {0xFF000000u, 6, {}, 0}},
      {"dashed across", {{5, 50.5}, {155, 50.5}}, {0xFF000000u, 1, {8, 12, 14, 20}, 3}},
      {"dashed, wide, leaning", {{10, 100}, {150, 30}}, {0xFF000000u, 2.5, {10, 16}, 4}},
      {"arc, thin", ArcPoints({80, 60}, 45, 0.2, 2.9, 40), {0xFF000000u, 1, {}, 0}},
      {"ellipse-like arc, wide, dashed", ArcPoints({80, 70}, 40, -pi / 3, 1.4 * pi, 64), {0xFF000000u, 2, {9, 15}, 0}},
      {"coloured", {{10, 30}, {150, 100}}, {0xFF2080C0u, 1.4, {}, 0}},
      // Its chords turn from running across to running down and back: the corners stay whole.
      {"circle, wide", ArcPoints({80, 60}, 40, 0, 2 * pi, 48), {0xFF000000u, 8, {}, 0}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    QImage qt = ByQt(c.points, c.stroke), raster = ByRaster(c.points, c.stroke);
    double qtInk = 0, rasterInk = 0;
    int far = 0;  // pixels whose ink differs by more than a third
    for (int y = 0; y < qt.height(); ++y) {
      for (int x = 0; x < qt.width(); ++x) {
        QRgb a = qt.pixel(x, y), b = raster.pixel(x, y);
        qtInk += 255 - qGray(a);
        rasterInk += 255 - qGray(b);
        int diff = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
        if (diff > 96) ++far;
      }
    }
    // Qt inks a thin slanting stroke a little lighter (a pixel's worth per column, not per unit
    // of length) and rounds the ends of dashes; a stroke a pixel off, twice as wide or without its
    // gaps is far beyond either bound.
    EXPECT_NEAR(rasterInk / qtInk, 1, 0.2);
    EXPECT_LE(far, 25);
  }
}

// A dashed stroke's columns away from its ends take ink where their centre on the line lies in a
// dash and none where it lies in a gap, however long the gaps (the raster passes over a gap's
// columns at once), in either direction and along either axis.
TEST(Strokes, DashesInkTheirRunsAndNotTheirGaps) {
  struct TCase {
    const char* name;
    QPointF from, to;
    TStroke stroke;
  };
  const TCase cases[] = {
      {"across", {3.2, 40.5}, {157, 40.5}, {0xFF000000u, 1, {3, 20, 24, 29}, 1.5}},
      {"across backwards", {156.1, 60.5}, {2, 60.5}, {0xFF000000u, 1, {2, 17}, 6}},
      {"down", {80.5, 2}, {80.5, 118}, {0xFF000000u, 1, {4, 15}, 0}},
      {"up, wide", {30.5, 117}, {30.5, 3}, {0xFF000000u, 2, {5, 18, 20, 26}, 11}},
      {"leaning", {5, 100}, {150, 30}, {0xFF000000u, 1.4, {6, 19}, 3}},
      {"steep backwards", {120, 115}, {100, 4}, {0xFF000000u, 1, {3, 14}, 9.5}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    QImage image = ByRaster({c.from, c.to}, c.stroke);
    QPointF d = c.to - c.from;
    double length = std::hypot(d.x(), d.y());
    bool across = std::abs(d.x()) >= std::abs(d.y());
    double unit = c.stroke.Ends.back();
    // How far the pixels of a column reach along the stroke beyond its centre's place.
    double spread = (c.stroke.Width / 2 + 1) * (across ? std::abs(d.y()) : std::abs(d.x())) / length + 0.5;
    int checked[2] = {0, 0};
    for (int u = 0; u < (across ? image.width() : image.height()); ++u) {
      double t = ((across ? u + 0.5 - c.from.x() : u + 0.5 - c.from.y())) / (across ? d.x() : d.y());
      double along = t * length;
      if (along < c.stroke.Width + 2 || along > length - c.stroke.Width - 2) continue;
      double phase = std::fmod(along + c.stroke.Offset, unit);
      double begin = 0;
      for (std::size_t run = 0; run < c.stroke.Ends.size(); ++run) {
        double end = c.stroke.Ends[run];
        if (phase >= begin + spread && phase < end - spread) {
          QPointF on = c.from + d * t;
          int v = static_cast<int>(std::floor(across ? on.y() : on.x()));
          bool dash = run % 2 == 0;
          int darkest = 255;
          for (int w = v - 3; w <= v + 3; ++w) darkest = std::min(darkest, qGray(across ? image.pixel(u, w) : image.pixel(w, u)));
          if (dash) {
            EXPECT_LT(darkest, 128) << "column " << u << " lies in a dash";
          } else {
            EXPECT_EQ(darkest, 255) << "column " << u << " lies in a gap";
          }
          ++checked[dash ? 1 : 0];
        }
        begin = end;
      }
    }
    EXPECT_GT(checked[0], 20);
    EXPECT_GT(checked[1], 8);
  }
}

// Strokes that pass over tiles already of their colour leave out only what would not change: the
// picture is the one drawn without looking for such tiles, also where another painter inked a
// covered tile in another colour and strokes of the first and of a third colour cross it, and
// where the tiles were looked for in the image while the raster did not hold it.
TEST(Strokes, TilesOfOneColourChangeNoPixel) {
  uint32_t state = 5;
  auto next = [&state](double below) {
    state = state * 1664525u + 1013904223u;
    return below * static_cast<double>(state >> 8) / static_cast<double>(1u << 24);
  };
  std::vector<std::pair<std::vector<QPointF>, TStroke>> strokes;
  // Thick black rows make tiles of black, then strokes of all kinds cross them.
  for (int y = 0; y < 80; y += 4) strokes.push_back({{{-5, y + 0.3}, {170, y + 0.3}}, {0xFF000000u, 6, {}, 0}});
  const std::size_t thickRows = strokes.size();
  // Across the red box, first of all: black no longer covers it.
  strokes.push_back({{{32, 35.5}, {68, 35.5}}, {0xFF000000u, 1, {}, 0}});
  const QRgb colours[] = {0xFF000000u, 0xFF000000u, 0xFFFF0000u, 0xFF00FFFFu};
  for (int i = 0; i < 300; ++i) {
    QPointF from(next(170) - 5, next(130) - 5);
    TStroke stroke{colours[i % 4], 1 + next(3), {}, 0};
    if (i % 3 == 0) stroke.Ends = {4, 7};
    strokes.push_back({{from, from + QPointF(next(80) - 40, next(80) - 40)}, stroke});
  }
  const QRectF painted(30, 20, 40, 30);  // inked red by another painter once the rows are drawn

  // All the rows, read or told to be blank, and a band of them whose tiles begin below the
  // image's first row.
  struct TRows {
    int First, End;
    bool Blank;
  };
  for (TRows rows : {TRows{0, kStrokeImage.height(), false}, TRows{0, kStrokeImage.height(), true},
                     TRows{19, kStrokeImage.height() - 12, false}}) {
    SCOPED_TRACE(rows.First);
    SCOPED_TRACE(rows.Blank);
    const int first = rows.First, end = rows.End;
    QImage expected = White(), image = White();
    {
      TStrokeRaster raster(image, first, end);
      if (rows.Blank) raster.Blank(0xFFFFFFFFu);
      for (std::size_t i = 0; i < strokes.size(); ++i) {
        if (i == thickRows) {
          raster.FindCoveredTiles();
          EXPECT_TRUE(raster.Covered(painted, 0xFF000000u));
          raster.Inked(painted, 0xFFFF0000u);
          for (QImage* target : {&expected, &image}) QPainter(target).fillRect(painted, QColor(Qt::red));
          // Found in the image itself, which the raster does not hold now.
          raster.FindCoveredTiles();
          EXPECT_TRUE(raster.Covered(painted.adjusted(8, 8, -8, -8), 0xFFFF0000u));
        }
        TStrokeRaster(expected, first, end).Polyline(strokes[i].first, strokes[i].second);
        raster.Polyline(strokes[i].first, strokes[i].second);
        if (i % 10 == 0) raster.FindCoveredTiles();
      }
    }
    EXPECT_TRUE(image == expected);
  }
}

// While every pixel and ink is a gray the raster keeps a byte a pixel, otherwise colours: both
// give the same pixels, also at the ragged right and lower edges of the rows, and where another
// painter inks between strokes.
TEST(Strokes, GrayBytesInkAsColoursDo) {
  const std::vector<std::pair<std::vector<QPointF>, TStroke>> strokes = {
      {{{-3, 10.5}, {160, 12}}, {0xFF000000u, 1, {}, 0}},
      {{{150.5, -2}, {154.2, 120}}, {0xFF808080u, 2.5, {}, 0}},
      {{{3, 100}, {150, 4}}, {0xFF000000u, 1.3, {5, 9}, 2}},
      {ArcPoints({70, 55}, 45, 0, 5, 50), {0xFFBEBEBEu, 3, {}, 0}},
      {{{0, 108.7}, {156, 109.9}}, {0xFF000000u, 4, {6, 8, 10, 14}, 0}},
  };
  auto draw = [&](QRgb corner) {
    QImage image(157, 113, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setPixel(0, 0, corner);
    {
      TStrokeRaster raster(image, 0, image.height());
      for (std::size_t i = 0; i < strokes.size(); ++i) {
        if (i == 2) {
          raster.Inked(QRectF(40, 30, 50, 40), 0xFF404040u);
          QPainter(&image).fillRect(QRectF(40, 30, 50, 40), QColor(0x40, 0x40, 0x40));
        }
        raster.Polyline(strokes[i].first, strokes[i].second);
      }
    }
    image.setPixel(0, 0, 0xFFFFFFFFu);
    return image;
  };
  QImage gray = draw(0xFFFFFFFFu), colour = draw(0xFFFF0000u);
  EXPECT_TRUE(gray == colour);
  EXPECT_NE(gray.pixel(152, 112), 0xFFFFFFFFu);  // the strokes reach the ragged edges
  EXPECT_NE(gray.pixel(156, 109), 0xFFFFFFFFu);
}

// At a sharp corner a segment's pixels run on past its end point, twice the half width and more:
// painted in bands of one, two or three rows, each band by a raster of its own, zigzags thin and
// wide give the pixels one raster over all the rows gives, also where those pixels lie beyond the
// band of any of the polyline's points.
TEST(Strokes, SharpCornersInkTheSamePixelsInAnyBand) {
  uint32_t state = 9;
  auto next = [&state](double below) {
    state = state * 1664525u + 1013904223u;
    return below * static_cast<double>(state >> 8) / static_cast<double>(1u << 24);
  };
  for (int trial = 0; trial < 200; ++trial) {
    SCOPED_TRACE(trial);
    std::vector<QPointF> zigzag;
    // Back and forth across a row, turning by 150 to 175 degrees at each point.
    QPointF at(next(20) + 5, next(20) + 5);
    const double leg = 3 + next(8), heading = next(2 * std::numbers::pi);
    for (int i = 0; i < 6; ++i) {
      zigzag.push_back(at);
      double turn = (i % 2 == 0 ? 1 : -1) * (150 + next(25)) * std::numbers::pi / 180;
      double direction = heading + (i % 2 == 0 ? 0 : turn);
      at += QPointF(leg * std::cos(direction), leg * std::sin(direction));
    }
    const TStroke stroke{0xFF000000u, 1 + next(3), {}, 0};
    QImage whole(36, 36, QImage::Format_RGB32);
    whole.fill(Qt::white);
    TStrokeRaster(whole, 0, whole.height()).Polyline(zigzag, stroke);
    ASSERT_NE(whole, White().copy(whole.rect()));  // the zigzag lies in the picture
    for (int rows : {1, 2, 3}) {
      QImage banded(whole.size(), QImage::Format_RGB32);
      banded.fill(Qt::white);
      for (int top = 0; top < banded.height(); top += rows) {
        TStrokeRaster(banded, top, std::min(top + rows, banded.height())).Polyline(zigzag, stroke);
      }
      EXPECT_TRUE(banded == whole) << rows << " rows a band";
    }
  }
}

// A raster writes its own rows only, whatever the points: far beyond the image, not finite, all
// in one place, or turning straight back, thin or vastly wide.
TEST(Strokes, NoPixelBeyondTheRows) {
  const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<std::vector<QPointF>> polylines = {
      {{-1e12, 60}, {1e12, 61}},  {{80, -1e15}, {81, 1e15}},   {{nan, 10}, {50, 50}},
      {{10, 10}, {inf, 50}},      {{20, 60}, {20, 60}, {20, 60}}, {{10, 50}, {150, 70}, {10, 50}, {150, 70}},
      {{-5, -5}, {165, 125}},     {{0, 40}, {159, 40}},        {{0, 79.9}, {159, 80.1}},
  };
  for (double width : {1.0, 3.0, 1e9}) {
    QImage image = White();
    {
      TStrokeRaster raster(image, 40, 80);
      for (const std::vector<QPointF>& points : polylines) {
        raster.Polyline(points, {0xFF000000u, width, {3, 5}, 1});
        raster.Polyline(points, {0xFFFF0000u, width, {}, 0});
      }
    }
    for (int y = 0; y < image.height(); ++y) {
      bool inked = false;
      for (int x = 0; x < image.width(); ++x) inked = inked || image.pixel(x, y) != 0xFFFFFFFFu;
      EXPECT_EQ(inked, y >= 40 && y < 80) << "width " << width << ", row " << y;
    }
  }
}

}  // namespace
}  // namespace torvane
