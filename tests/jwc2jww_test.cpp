#include "drawing/jwc2jww.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "builder/filebuilder.h"
#include "support/ioerror.h"
#include "support/parallel.h"
#include "test_util.h"

namespace torvane {
namespace {

using test::Angle;
using test::TJwcBuilder;

const std::string kFont = "\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e";  // ＭＳ ゴシック
const double kTwoPi = std::bit_cast<double>(uint64_t{0x401921FB54442D18});

struct TConverted {
  TJwcData source;
  TJwwData target;
};

TConverted Convert(const TJwcBuilder& b, bool correction) {
  TConverted c;
  std::string bytes = b.Build();
  std::span<const uint8_t> span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  EXPECT_TRUE(ReadJwcBytes(span, c.source));
  ConvertJwcToJww(kFont, correction, c.source, c.target);
  return c;
}

TEST(JwcToJww, TheA3WorkedExample) {
  TJwcBuilder b;
  b.lines.push_back({0, 0, 518, 0});
  for (bool correction : {false, true}) {
    TConverted c = Convert(b, correction);
    const TWSen& line = c.target.Sens.at(0);
    EXPECT_EQ(line.X1, -210.0);
    EXPECT_EQ(line.Y1, -148.5);
    EXPECT_EQ(line.X2, 210.0);
    EXPECT_EQ(line.Y2, -148.5);
  }
}

TEST(JwcToJww, CorrectionRoundsToTheExtentsPlaces) {
  // On A3 (420 mm over 518 units) a group spanning 100 units spans 81.08 mm: 4 places at scale 1,
  // and 4054 mm before the division at scale 50: 2 places.
  TJwcBuilder b;
  b.groupScales[1] = 50;
  for (uint8_t layer : {0x00, 0x10}) {
    b.lines.push_back({0, 0, 100, 50, 1, 1, layer});
    b.lines.push_back({33.3f, 12.1f, 74.1f, 37.0f, 1, 1, layer});
  }
  TConverted on = Convert(b, true);
  const TWSen& unit = on.target.Sens.at(1);
  EXPECT_EQ(unit.X1, -183.0);      // 33.3 × 420/518 = 26.99999938 → 27.0000
  EXPECT_EQ(unit.Y1, -138.6892);   // 9.810811 → 9.8108
  EXPECT_EQ(unit.X2, -149.9189);   // 60.081080 → 60.0811
  EXPECT_EQ(unit.Y2, -118.5);      // 30.0000
  const TWSen& fifty = on.target.Sens.at(3);
  EXPECT_EQ(fifty.X1, -183.0);     // 1349.99996 → 1350.00, / 50
  EXPECT_EQ(fifty.Y1, -138.6892);  // 2 places for Y too: 490.54056 → 490.54, / 50 = 9.8108
  EXPECT_EQ(on.target.GLayers[1].Scale, 50.0);

  TConverted off = Convert(b, false);
  const TWSen& raw = off.target.Sens.at(1);
  EXPECT_NE(raw.X1, -183.0);
  EXPECT_NEAR(raw.X1, 33.3f * 420.0 / 518 - 210, 1e-12);
  EXPECT_NEAR(raw.Y2, -118.5, 1e-12);
}

TEST(JwcToJww, PaperSizesMoveTheOrigin) {
  struct Case {
    int32_t code;
    double x, y;  // the converted corner (0, 0) of the paper
  } cases[] = {{0, -594.5, -420.5}, {1, -420.5, -297}, {2, -297, -210}, {4, -148.5, -105},
               {8, -841, -594.5},   {12, -5000, -3536.5}, {14, -50000, -35366}, {6, 0, 0}, {-1, 0, 0}};
  for (const Case& k : cases) {
    TJwcBuilder b;
    b.paperSize = k.code;
    b.lines.push_back({0, 0, 259, 10});
    TConverted c = Convert(b, false);
    EXPECT_EQ(c.target.Sens.at(0).X1, k.x) << k.code;
    EXPECT_EQ(c.target.Sens.at(0).Y1, k.y) << k.code;
    EXPECT_EQ(c.target.PaperSize, k.code);
    if (k.code == 6) {
      EXPECT_EQ(c.target.Sens.at(0).X2, 259.0);  // a factor of exactly 1
    }
  }
}

TEST(JwcToJww, LinesCarryCurvesPensAndFlags) {
  TJwcBuilder b;
  struct Line {
    uint8_t attr1, attr2;
    int32_t group;
    uint16_t flags;
  } lines[] = {{0x00, 0x40, 1, 0x0040}, {0xC0, 0x40, 1, 0xC040}, {0x40, 0xC0, 1, 0x40C0},
               {0x00, 0x20, 0, 0x0020}, {0x00, 0x80, 2, 0x0080}, {0x3F, 0xDF, 2, 0x00C0}};
  for (const Line& l : lines) b.lines.push_back({0, 0, 1, 1, 5, 7, 0x23, l.attr1, l.attr2});
  TConverted c = Convert(b, false);
  for (std::size_t i = 0; i < std::size(lines); ++i) {
    const TEntityHeader& h = c.target.Sens.at(i).Header;
    EXPECT_EQ(h.Group, lines[i].group) << i;
    EXPECT_EQ(h.Flags, lines[i].flags) << i;
    EXPECT_EQ(h.PenStyle, 5);
    EXPECT_EQ(h.PenColor, 7);  // lines keep colour 7
    EXPECT_EQ(h.Layer, 3);
    EXPECT_EQ(h.LayerGroup, 2);
  }
}

TEST(JwcToJww, ArcsTurnIntoRadiansAndWholeCircles) {
  constexpr long double kPi = 3.14159265358979323846264338327950288L;
  struct Case {
    double start, end;
    double startRadians, sweep;
    int32_t full;
  } cases[] = {
      {0, 360, 0, kTwoPi, 1},
      {300, 60, static_cast<double>(kPi * 300 / 180), static_cast<double>(120 * kPi / 180), 0},
      {90, 90, static_cast<double>(kPi * 90 / 180), kTwoPi, 1},
      {360, 360, static_cast<double>(kPi * 360 / 180), kTwoPi, 1},
      {0, 90, 0, static_cast<double>(90 * kPi / 180), 0},
  };
  TJwcBuilder b;
  for (const Case& k : cases) {
    b.arcs.push_back({0, 0, 10, 5000, Angle(k.start), Angle(k.end), Angle(45), 2, 7, 0x10, 0, 0xFF});
  }
  TConverted c = Convert(b, false);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const TWEnko& arc = c.target.Enkos.at(i);
    EXPECT_EQ(arc.StartAngle, cases[i].startRadians) << i;
    EXPECT_EQ(arc.ArcAngle, cases[i].sweep) << i;
    EXPECT_EQ(arc.FullCircle, cases[i].full) << i;
    EXPECT_EQ(arc.TiltAngle, static_cast<double>(kPi * 45 / 180));
    EXPECT_EQ(arc.Flatness, 0.5);
    EXPECT_EQ(arc.Header.Flags, 0xF0);
    EXPECT_EQ(arc.Header.PenColor, 7);
    EXPECT_EQ(arc.Header.LayerGroup, 1);
    // The drawing keeps its angles: 360 counts as 0 only in the conversion.
    EXPECT_EQ(c.source.Enko[i].StartAngle, static_cast<float>(cases[i].start)) << i;
    EXPECT_EQ(c.source.Enko[i].EndAngle, static_cast<float>(cases[i].end)) << i;
  }
  EXPECT_EQ(c.target.Enkos[0].Radius, static_cast<double>(10 * (420.0L / 518)));
}

TEST(JwcToJww, PointsAndVirtualPoints) {
  TJwcBuilder b;
  b.points.push_back({518, 0, 0x01, 7, 0xFF});
  b.points.push_back({0, 0, 0x01, 8, 0});
  b.virtualPoints = {{259, 0, 0x02}, {5, 5, 0x31}};
  b.groupScales[3] = 20;  // no other entity at this scale
  TConverted c = Convert(b, false);
  ASSERT_EQ(c.target.Tens.size(), 4u);
  EXPECT_EQ(c.target.TenCount, 4);
  EXPECT_EQ(c.target.TotalCount, 4);
  const TWTen& real = c.target.Tens[0];
  EXPECT_EQ(real.Header.PenColor, 9);
  EXPECT_EQ(real.Header.PenStyle, 1);
  EXPECT_EQ(real.Header.Flags, 0xF0);
  EXPECT_EQ(real.X, 210.0);
  EXPECT_EQ(real.Virtual, 0);
  EXPECT_EQ(c.target.Tens[1].Header.PenColor, 8);
  const TWTen& virt = c.target.Tens[2];
  EXPECT_EQ(virt.Virtual, 1);
  EXPECT_EQ(virt.Header.PenColor, 2);
  EXPECT_EQ(virt.Header.Layer, 2);
  EXPECT_EQ(virt.X, 0.0);
  // Alone at its scale, a virtual point still lands where it was drawn.
  const TWTen& alone = c.target.Tens[3];
  EXPECT_EQ(alone.Header.LayerGroup, 3);
  EXPECT_NEAR(alone.X, 5 * 420.0 / 518 - 210, 1e-12);
}

TEST(JwcToJww, VirtualPointCountIsKeptWithinItsSlots) {
  for (int32_t count : {150, -3}) {
    TJwcBuilder b;
    b.kasoTenCount = count;
    TConverted c = Convert(b, false);
    std::size_t expected = count > 0 ? 101 : 0;
    EXPECT_EQ(c.target.Tens.size(), expected);
    EXPECT_EQ(c.target.TenCount, static_cast<int32_t>(expected));
  }
}

TEST(JwcToJww, TextsTakeTheirTypeAndAngle) {
  TJwcBuilder b;
  b.charTypes[4] = {7, 35, 40, -2};
  b.charTypes[0] = {3, 99, 99, 9};  // entry 0 is read but never used
  b.AddText({0, 0, 0, 10, 0, 0, 4, 0x05, 0x35, 0xAB}, "\x95\xb6");
  b.AddText({0, 0, -10, 0, 0, 0, 0, 0}, "zero");
  b.AddText({0, 0, 0, -10, 0, 0, 200, 0}, "out of range");
  TConverted c = Convert(b, false);
  const TWMoji& t = c.target.Mojis.at(0);
  EXPECT_EQ(t.Angle, 90.0);
  EXPECT_EQ(t.MojiType, 4);
  EXPECT_EQ(t.SizeX, 3.5);
  EXPECT_EQ(t.SizeY, 4.0);
  EXPECT_EQ(t.Spacing, -0.2);
  EXPECT_EQ(t.Header.PenColor, 9);
  EXPECT_EQ(t.Header.Flags, 0xAB30);
  EXPECT_EQ(t.Header.Layer, 5);
  EXPECT_EQ(c.target.FontName, kFont);
  EXPECT_EQ(c.target.Texts.Of(t.Text), "\x95\xb6");
  for (std::size_t i : {1, 2}) {
    const TWMoji& plain = c.target.Mojis.at(i);
    EXPECT_EQ(plain.SizeX, 0.0);
    EXPECT_EQ(plain.SizeY, 0.0);
    EXPECT_EQ(plain.Spacing, 0.0);
    EXPECT_EQ(plain.Header.PenColor, 0);
  }
  EXPECT_EQ(c.target.Mojis[1].Angle, 180.0);
  EXPECT_EQ(c.target.Mojis[2].Angle, -90.0);
  EXPECT_EQ(c.target.Mojis[2].MojiType, 200);
  EXPECT_EQ(c.target.MojiTypes[4].PenColor, 7);
  EXPECT_EQ(c.target.MojiTypes[0].Width, 0.0);
}

TEST(JwcToJww, LayersGroupsAndHeader) {
  TJwcBuilder b;
  b.memo1 = "ABC   ";
  b.memo2 = "";
  b.writeLayer = 0x35;
  b.layerState1[5] = 0x03;   // shown (1) and protected one way
  b.layerState2[5] = 1;
  b.layerState1[6] = 0x06;   // protected the other way
  b.groupState1[2] = 0x07;
  b.groupState2[2] = 1;
  b.groupWriteLayer[2] = 0x29;
  b.layerNames[5] = "L5";
  b.groupNames[2] = "G2";
  b.curMojiShu = 4;
  b.charTypes[4] = {6, 45, 50, 10};
  b.printOriginX = 12.5f;
  b.gridMode = -2.7f;
  b.gridBaseX = 10;
  b.viewScale = 0;  // an older edition's missing view scale
  b.offsetX[1] = -1.1f;
  b.parallel[4] = 77;
  b.shadowLatitude = 40;
  b.marks[1][2] = 2.5f;
  TConverted c = Convert(b, false);
  const TJwwData& d = c.target;
  EXPECT_EQ(d.Memo, "ABC\r\n");
  EXPECT_EQ(d.WriteGroup, 3);
  EXPECT_EQ(d.GLayers[3].State, 3);
  EXPECT_EQ(d.Layers[5].State, 2);
  EXPECT_EQ(d.Layers[5].Protect, 1);
  EXPECT_EQ(d.Layers[6].Protect, 2);
  EXPECT_EQ(d.Layers[6].State, 0);
  EXPECT_EQ(d.Layers[5].Name, "L5");
  EXPECT_EQ(d.GLayers[2].Name, "G2");
  EXPECT_EQ(d.GLayers[2].State, 2);
  EXPECT_EQ(d.GLayers[2].Protect, 2);
  EXPECT_EQ(d.GLayers[2].WriteLayer, 9);
  EXPECT_EQ(d.Layers[0x29].State, 3);
  EXPECT_EQ(d.MojiType, 4);
  EXPECT_EQ(d.MojiWidth, 4.5);
  EXPECT_EQ(d.MojiPenColor, 6);
  EXPECT_EQ(d.PrintOriginX, 12.5);
  EXPECT_EQ(d.GridMode, -2);
  EXPECT_EQ(d.GridBaseX, -200.0);
  EXPECT_EQ(d.ViewScale, 1.0);
  EXPECT_EQ(d.OffsetX[1], static_cast<double>(-1.1f));
  EXPECT_EQ(d.OffsetFlag, 0);
  EXPECT_EQ(d.ParallelSpacing[4], 77.0);
  EXPECT_EQ(d.ParallelSpacing[5], 1000.0);
  EXPECT_EQ(d.ShadowLatitude, 40.0);
  EXPECT_EQ(d.MarkJumps[1].Scale, 2.5);
  // Nothing is drawn at scale 1 here, so view and mark positions have no table entry: 0.
  EXPECT_EQ(d.ViewX, 0.0);
}

TEST(JwcToJww, ViewPositionsFollowScaleOne) {
  TJwcBuilder b;
  b.lines.push_back({0, 0, 518, 366});
  b.viewX = 259;
  b.viewY = 183;
  b.marks[0][0] = 518;
  TConverted c = Convert(b, false);
  EXPECT_EQ(c.target.ViewX, 210.0);  // no origin shift for view positions
  EXPECT_EQ(c.target.ViewY, static_cast<double>(183 * (420.0L / 518)));
  EXPECT_EQ(c.target.MarkJumps[0].X, 420.0);
}

TEST(JwcToJww, UnusableGroupScalesCountAsOne) {
  for (float scale : {0.0f, -5.0f, NAN, INFINITY}) {
    TJwcBuilder b;
    b.groupScales[0] = scale;
    b.lines.push_back({0, 0, 518, 0});
    TConverted c = Convert(b, true);
    EXPECT_EQ(c.target.GLayers[0].Scale, 1.0);
    EXPECT_EQ(c.target.Sens.at(0).X2, 210.0);
  }
}

TEST(JwcToJww, LargeDrawingsConvertAsEachRecordAlone) {
  // Large enough to be registered and converted in two halves at once. The first line spans the
  // paper and the last arc (in the second half) widens the extent to two places: every drawing
  // below holds both, so that all have the same extent and first point at scale 1.
  TJwcBuilder big;
  big.lines.push_back({0, 0, 518, 366});
  const int kLines = 20001, kArcs = 6000;
  for (int i = 0; i < kLines; ++i) {
    float x = static_cast<float>(i % 517) + 0.37f, y = static_cast<float>(i * 7 % 365) + 0.21f;
    big.lines.push_back({x, y, y, x / 2, 1, 1, 0, 0, static_cast<uint8_t>(i % 3 == 2 ? 0xC0 : 0x40)});
  }
  for (int i = 0; i < kArcs; ++i) {
    big.arcs.push_back({static_cast<float>(20 + i % 470), static_cast<float>(20 + i % 320), 7.5f, 8000,
                        Angle(i % 360), Angle((i * 13) % 360), Angle(i % 90)});
  }
  const test::TArcRec last{1000, 1000, 1000, 10000, 0, 0};  // a whole circle
  big.arcs.push_back(last);
  TConverted whole = Convert(big, true);
  ASSERT_EQ(whole.target.Sens.size(), static_cast<std::size_t>(kLines + 1));

  for (int i : {0, 1, 2, kLines / 2 - 1, kLines / 2, kLines / 2 + 1, kLines - 1}) {
    TJwcBuilder alone;
    alone.lines = {big.lines[0], big.lines[static_cast<std::size_t>(i) + 1]};
    alone.arcs = {last};
    TConverted one = Convert(alone, true);
    const TWSen& expected = one.target.Sens[1];
    const TWSen& line = whole.target.Sens[static_cast<std::size_t>(i) + 1];
    EXPECT_EQ(line.X1, expected.X1) << i;
    EXPECT_EQ(line.Y1, expected.Y1) << i;
    EXPECT_EQ(line.X2, expected.X2) << i;
    EXPECT_EQ(line.Y2, expected.Y2) << i;
    EXPECT_EQ(line.Header.Group, i / 3 + 1) << i;  // every third line closes a curve
  }
  for (int i : {0, kArcs / 2 - 1, kArcs / 2, kArcs - 1}) {
    TJwcBuilder alone;
    alone.lines = {big.lines[0]};
    alone.arcs = {big.arcs[static_cast<std::size_t>(i)], last};
    TConverted one = Convert(alone, true);
    const TWEnko& arc = whole.target.Enkos[static_cast<std::size_t>(i)];
    EXPECT_EQ(arc.CenterX, one.target.Enkos[0].CenterX) << i;
    EXPECT_EQ(arc.Radius, one.target.Enkos[0].Radius) << i;
    EXPECT_EQ(arc.ArcAngle, one.target.Enkos[0].ArcAngle) << i;
  }
}

// A drawing large enough to be registered in pieces on two threads widens its extent by every
// record, wherever the record lies among the pieces: a far coordinate in a line, an arc, a point or
// a text at any place gives the same places (and so the same conversion of a nearby line) as the
// same far coordinate at the very start.
TEST(JwcToJww, EveryRecordWidensTheExtentWhereverItLies) {
  constexpr float kFar = 90000;
  auto drawing = [](int kind, int at) {
    TJwcBuilder b;
    for (int i = 0; i < 3000; ++i) {
      float x = 12.34567f + static_cast<float>(i % 80);
      b.lines.push_back({x, 3.5f, x + 1, 4.5f});
    }
    for (int i = 0; i < 1500; ++i) {
      b.arcs.push_back({static_cast<float>(20 + i % 60), 30, 2.5f, 10000, Angle(i % 90 + 1), Angle(i % 90 + 200), 0});
    }
    for (int i = 0; i < 300; ++i) {
      b.points.push_back({static_cast<float>(i % 70), 8});
      b.AddText({static_cast<float>(i % 50), 5, static_cast<float>(i % 50) + 3, 9, 0, 0, 1}, "A");
    }
    auto index = static_cast<std::size_t>(at);
    switch (kind) {
      case 0: b.lines[0].x2 = kFar; break;  // the reference: far in the drawing's very first record
      case 1: b.lines[index].x1 = kFar; break;
      case 2: b.arcs[index].cx = kFar; break;
      case 3: b.points[index].x = kFar; break;
      default: b.texts[index].x1 = kFar; break;
    }
    return b;
  };
  // The first line's start (the scale's first point) and another line's, both rounded to the places.
  auto probe = [](const TConverted& c) { return std::pair(c.target.Sens[0].X1, c.target.Sens[7].X1); };
  const auto expected = probe(Convert(drawing(0, 0), true));
  const int counts[] = {0, 3000, 1500, 300, 300};
  for (int kind = 1; kind <= 4; ++kind) {
    for (int at = 8; at < counts[kind]; at += counts[kind] / 23) {
      EXPECT_EQ(probe(Convert(drawing(kind, at), true)), expected) << kind << " at " << at;
    }
  }
}

// An arc's ends widen the extent as they always did, whether the extent already reached over much
// of the drawing when the arc came (from lines, which register before arcs) or not (from points,
// which register after them).
TEST(JwcToJww, AnArcWidensTheExtentWhateverCameBeforeIt) {
  struct Case {
    test::TArcRec arc;
    bool widens;  // whether its ends reach past the rest of the drawing, far enough to change places
  } cases[] = {
      {{500, 500, -5000, 10000, Angle(10), Angle(20)}, true},               // a negative radius
      {{500, 500, 400, 65000, Angle(80), Angle(85)}, true},                 // flattened upwards
      {{500, 500, 400, 65000, Angle(260), Angle(265)}, true},               // and downwards
      {{500, 500, 5000, 10000, Angle(10), Angle(20), Angle(170)}, true},    // tilted
      {{500, 500, 300, 10000, Angle(10), Angle(20), Angle(170)}, false},    // tilted, within
      {{500, 500, 500, 10000, Angle(30), Angle(60)}, false},                // up to the edge
      {{500, 500, 30, 10000, Angle(30), Angle(60), 0, 1, 1, 0x10}, false},  // the first at its scale
      {{NAN, 500, 30, 10000, Angle(30), Angle(60)}, false},
      {{500, 500, INFINITY, 10000, Angle(30), Angle(60)}, true},
  };
  enum class TExtent { FromALine, FromPoints };
  auto drawing = [](const test::TArcRec* arc, TExtent extent) {
    TJwcBuilder b;
    b.groupScales[1] = 50;
    b.lines.push_back({12.345678f, 23.456789f, 34.567891f, 45.678912f});
    if (extent == TExtent::FromALine) b.lines.push_back({0, 0, 1000, 1000});
    if (arc != nullptr) b.arcs.push_back(*arc);
    if (extent == TExtent::FromPoints) b.points = {{0, 0}, {1000, 1000}};
    return b;
  };
  // Bit patterns, since a NaN centre converts into NaN.
  auto probe = [](const TConverted& c) {
    const TWSen& line = c.target.Sens.at(0);
    const TWEnko& arc = c.target.Enkos.at(0);
    std::vector<uint64_t> bits;
    for (double value : {line.X1, line.Y1, line.X2, line.Y2, arc.CenterX, arc.CenterY, arc.Radius}) {
      bits.push_back(std::bit_cast<uint64_t>(value));
    }
    return bits;
  };
  const TWSen without = Convert(drawing(nullptr, TExtent::FromALine), true).target.Sens.at(0);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const test::TArcRec* arc = &cases[i].arc;
    const std::vector<uint64_t> fromLine = probe(Convert(drawing(arc, TExtent::FromALine), true));
    const std::vector<uint64_t> fromPoints = probe(Convert(drawing(arc, TExtent::FromPoints), true));
    EXPECT_EQ(fromLine, fromPoints) << i;
    const bool moved =
        fromLine[0] != std::bit_cast<uint64_t>(without.X1) || fromLine[1] != std::bit_cast<uint64_t>(without.Y1);
    EXPECT_EQ(moved, cases[i].widens) << i;
  }
}

// Written while converting, on two threads or on one, a drawing gives the very bytes of its
// converted document written whole; runs of records start inside curves and the points end with
// virtual ones. A sink that fails midway ends the writing with its error, on either path.
TEST(JwcToJww, WrittenWhileConvertingTheBytesAreTheSame) {
  TJwcBuilder b;
  b.groupScales[1] = 20;
  for (int i = 0; i < 30000; ++i) {
    float x = static_cast<float>(i % 511) + 0.37f, y = static_cast<float>(i * 7 % 361) + 0.21f;
    b.lines.push_back({x, y, y, x / 2, 1, 1, static_cast<uint8_t>(i % 5 == 0 ? 0x13 : 0),
                       0, static_cast<uint8_t>(i % 3 == 2 ? 0xC0 : 0x40)});
  }
  for (int i = 0; i < 9000; ++i) {
    b.arcs.push_back({static_cast<float>(20 + i % 470), static_cast<float>(20 + i % 320), 7.5f, 8000,
                      Angle(i % 360), Angle((i * 13) % 360), Angle(i % 90)});
  }
  for (int i = 0; i < 300; ++i) {
    b.points.push_back({static_cast<float>(i), static_cast<float>(i % 200)});
    b.AddText({static_cast<float>(i), 5, static_cast<float>(i) + 3, 9, 0, 0, 1}, i % 2 ? "A" : "\x8b\x8f");
  }
  b.virtualPoints.push_back({12, 34, 0x10});
  std::string bytes = b.Build();
  TJwcData source;
  ASSERT_TRUE(ReadJwcBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, source));

  for (bool correction : {true, false}) {
    TJwwData whole;
    ConvertJwcToJww(kFont, correction, source, whole);
    test::TMemorySink expected;
    WriteJwwTo(expected, whole);
    for (bool serial : {false, true}) {
      SerialWorkOnThisThread = serial;
      test::TMemorySink streamed;
      WriteConvertedJww(streamed, kFont, correction, source);
      EXPECT_TRUE(streamed.bytes == expected.bytes) << correction << serial;
      test::TFailingSink failing(expected.bytes.size() / 2);
      EXPECT_THROW(WriteConvertedJww(failing, kFont, correction, source), TIoError) << serial;
      SerialWorkOnThisThread = false;
    }
  }
}

// The boxes by layer that a drawing converted on demand finds from its source are those of its
// converted lines, for coordinates of every kind: ordinary, equal, zeros of either sign, the
// smallest and the largest floats, NaN and infinities, at unusable, tiny and vast group scales,
// with and without correction, on papers with and without an origin of their own. Where it
// cannot promise them it gives nothing: a scale whose first point is NaN converts every value
// to NaN.
TEST(JwcToJww, LineBoxesAreThoseOfTheConvertedLines) {
  const float kValues[] = {0.0f, -0.0f, 1.5f, -1.5f, 3.3f, 517.9f, -7e3f, 1e-45f, -1e-40f, 3.4e38f, -3.4e38f,
                           NAN, INFINITY, -INFINITY};
  const float kScales[] = {1, 20, 0.5f, 0, NAN, 1e-30f, 3e38f};
  uint32_t state = 12345;
  auto next = [&state](uint32_t below) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % below;
  };
  auto coordinate = [&]() -> float {
    if (next(3) == 0) return kValues[next(std::size(kValues))];
    return static_cast<float>(next(20000)) / 16 - 300;
  };
  int promised = 0;
  for (int round = 0; round < 60; ++round) {
    TJwcBuilder b;
    b.paperSize = round % 4 == 3 ? 7 : round % 4 == 2 ? 0 : 3;
    for (float& scale : b.groupScales) scale = kScales[next(std::size(kScales))];
    // A NaN first point at a scale makes every value at it NaN, and the boxes nothing.
    float first = round == 5 ? NAN : coordinate();
    for (int i = 0; i < 200; ++i) {
      uint8_t layer = static_cast<uint8_t>(next(4) * 16 + next(3));
      b.lines.push_back({i == 0 ? first : coordinate(), coordinate(), coordinate(), coordinate(), 1, 1, layer});
    }
    bool correction = round % 2 == 0;
    TConverted whole = Convert(b, correction);
    TMadeJww made(kFont, correction, whole.source);
    std::optional<TLayerLineBoxes> boxes = made.LineBoxes();
    if (round == 5) {
      EXPECT_FALSE(boxes);
    }
    if (!boxes) continue;
    ++promised;
    TLayerLineBoxes expected;
    for (std::size_t i = 0; i < whole.target.Sens.size(); ++i) {
      const TWSen& line = whole.target.Sens[i];
      TBox& box = expected[whole.source.Sen[i].Layer];
      box.Add(line.X1, line.Y1);
      box.Add(line.X2, line.Y2);
    }
    for (std::size_t layer = 0; layer < 256; ++layer) {
      const TBox &got = (*boxes)[layer], &want = expected[layer];
      ASSERT_EQ(got.Empty, want.Empty) << round << " " << layer;
      if (got.Empty) continue;
      auto bits = [](const TBox& box) {
        return std::array{std::bit_cast<uint64_t>(box.Left), std::bit_cast<uint64_t>(box.Bottom),
                          std::bit_cast<uint64_t>(box.Right), std::bit_cast<uint64_t>(box.Top)};
      };
      EXPECT_EQ(bits(got), bits(want)) << round << " " << layer;
    }
  }
  // About half the rounds draw a NaN or an infinite first point at some scale.
  EXPECT_GT(promised, 25);
}

TEST(JwcToJww, ConvertsOnlyTheRecordsTheDocumentHolds) {
  TJwcData source;
  source.Header.List1[0].Int = 1000;  // a count the arrays do not hold
  source.Sen.resize(2);
  TJwwData target;
  ConvertJwcToJww("", true, source, target);
  EXPECT_EQ(target.SenCount, 2);
  EXPECT_EQ(target.Sens.size(), 2u);
  EXPECT_EQ(target.TotalCount, 2);
}

}  // namespace
}  // namespace torvane
