#include "shape/jwk2jws.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "builder/jwkbuilder.h"
#include "builder/sample_part.h"
#include "test_util.h"

namespace torvane {
namespace {

using test::Angle;
using test::TJwkBuilder;

const std::string kFont = "\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e";  // ＭＳ ゴシック
constexpr long double kPi = 3.14159265358979323846264338327950288L;
constexpr long double kPaper = 594.0L / 518;
const double kTwoPi = std::bit_cast<double>(uint64_t{0x401921FB54442D18});
const double kHalfPi = std::bit_cast<double>(uint64_t{0x3FF921FB54442D18});

// The frame's lower-left corner in each axis, in the units the scale table works in.
constexpr long double kCornerX = -298, kCornerY = -209;

// A part coordinate in those units: v / PaperFactor / s, rounded to 32 bits once.
float Unit(float v, float s) { return static_cast<float>(v / kPaper / s); }

// What a unit value u becomes at scale s: the distance from the frame's corner B and the corner
// itself, both times s and the paper factor and, with correction, each rounded half away from
// zero to the given places; their sum divided by s.
double Converted(long double u, float s, long double corner, std::optional<int> places) {
  long double b = static_cast<float>(corner / kPaper);
  long double offset = (u - b) * s * kPaper;
  long double base = b * s * kPaper;
  if (places) {
    long double power = powl(10.0L, *places);
    offset = roundl(offset * power) / power;
    base = roundl(base * power) / power;
  }
  return static_cast<double>((offset + base) / s);
}

struct TConverted {
  TJwkData source;
  TJwsData target;
};

TConverted Convert(const TJwkBuilder& b, bool correction, const std::string& font = kFont,
                   const TMojiSettingsTable& settings = DefaultMojiSettings()) {
  TConverted c;
  std::string bytes = b.Build();
  EXPECT_TRUE(ReadJwkBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, c.source));
  ConvertJwkToJws(font, correction, settings, c.source, c.target);
  return c;
}

std::string Written(const TJwsData& doc) {
  test::TMemorySink sink;
  WriteJwsTo(sink, doc);
  return sink.bytes;
}

TEST(JwkToJws, CoordinatesFollowTheScaleAndTheFramesPlaces) {
  // The frame spans 596 × s by 418 × s before the division by s: six significant digits leave
  // 3/3 places at s = 1, 2/2 at 10, 1/2 at 20, 1/1 at 50 and 100, 0/0 at 500.
  struct Case {
    float scale;  // as the header holds it
    bool correction;
    float v;
    std::optional<int> placesX, placesY;
    double x, y;  // the value in words
  } cases[] = {
      {1, true, 100, 3, 3, 100.0, 100.0},
      {1, true, 123.4567f, 3, 3, 123.457, 123.457},
      {1, false, 100, {}, {}, 100.0000043, 100.0000043},
      {10, true, 123.4567f, 2, 2, 12.346, 12.346},
      {20, true, 123.4567f, 1, 2, 6.175, 6.173},
      {20, false, 123.4567f, {}, {}, 6.172835, 6.172835},
      {50, true, 123.4567f, 1, 1, 2.47, 2.47},
      {100, true, 100, 1, 1, 1.0, 1.0},
      {100, true, 123.4567f, 1, 1, 1.235, 1.235},
      {500, true, 123.4567f, 0, 0, 0.246, 0.246},
      {0, true, 123.4567f, 3, 3, 123.457, 123.457},  // a scale of 0 counts as 1
      {-1, true, 123.4567f, 0, 0, -123.0, -123.0},   // a negative scale has no places
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "scale " << c.scale << (c.correction ? " on " : " off ") << c.v);
    TJwkBuilder b;
    b.scale = c.scale;
    b.points.push_back({c.v, c.v});
    TConverted out = Convert(b, c.correction);
    float s = c.scale == 0 ? 1.0f : c.scale;
    const TSTen& point = out.target.Ten.at(0);
    EXPECT_EQ(point.X, Converted(Unit(c.v, s), s, kCornerX, c.placesX));
    EXPECT_EQ(point.Y, Converted(Unit(c.v, s), s, kCornerY, c.placesY));
    EXPECT_NEAR(point.X, c.x, 1e-7);
    EXPECT_NEAR(point.Y, c.y, 1e-7);
    for (double groupScale : out.target.LayerGroupScales) EXPECT_EQ(groupScale, s);
  }
}

TEST(JwkToJws, ExactValuesWhereTheRulesPromiseThem) {
  TJwkBuilder b;
  b.points.push_back({100, 100});
  TConverted on = Convert(b, true);
  EXPECT_EQ(on.target.Ten[0].X, 100.0);
  // Without correction the value is u × PaperFactor.
  TConverted off = Convert(b, false);
  EXPECT_EQ(off.target.Ten[0].X, static_cast<double>(Unit(100, 1) * kPaper));

  b.scale = 100;
  EXPECT_EQ(Convert(b, true).target.Ten[0].Y, 1.0);
}

TEST(JwkToJws, LinesNumberTheirGroups) {
  const uint8_t attr2[] = {0x40, 0x40, 0xC0, 0x00, 0x40, 0xC0, 0x80};
  const int32_t groups[] = {1, 1, 1, 0, 2, 2, 3};
  TJwkBuilder b;
  for (uint8_t a : attr2) b.lines.push_back({0, 0, 10, 0, 3, 7, 0x5A, 0xFF, a});
  TConverted c = Convert(b, false);
  ASSERT_EQ(c.target.Sen.size(), std::size(attr2));
  for (std::size_t i = 0; i < std::size(attr2); ++i) {
    const TEntityHeader& h = c.target.Sen[i].Header;
    EXPECT_EQ(h.Group, groups[i]) << i;
    EXPECT_EQ(h.Flags, 0xC000 | (attr2[i] & 0xE0)) << i;
    EXPECT_EQ(h.PenStyle, 3);
    EXPECT_EQ(h.PenColor, 7);  // lines keep colour 7
    EXPECT_EQ(h.Layer, 10);
    EXPECT_EQ(h.LayerGroup, 5);
  }
  // Numbering starts again with every conversion.
  EXPECT_EQ(Convert(b, false).target.Sen[0].Header.Group, 1);
}

TEST(JwkToJws, ArcsTurnIntoRadiansAndWholeCircles) {
  auto radians = [](long double degrees) { return static_cast<double>(degrees * kPi / 180); };
  struct Case {
    double start, end;
    double startAngle, arcAngle;
    int32_t full;
  } cases[] = {
      {0, 360, 0, kTwoPi, 1},
      {360, 360, radians(360), kTwoPi, 1},
      {90, 90, kHalfPi, kTwoPi, 1},
      {90, 0, kHalfPi, radians(270), 0},
      {0, 90, 0, kHalfPi, 0},
      {300, 60, radians(300), radians(120), 0},
      {120, 30, radians(120), radians(270), 0},
  };
  TJwkBuilder b;
  for (const Case& c : cases) {
    b.arcs.push_back({10, 20, 100, 6000, Angle(c.start), Angle(c.end), Angle(30), 2, 7, 0x31, 0, 0x3F});
  }
  TConverted out = Convert(b, true);
  ASSERT_EQ(out.target.Enko.size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(testing::Message() << c.start << " to " << c.end);
    const TSEnko& arc = out.target.Enko[i];
    EXPECT_EQ(arc.StartAngle, c.startAngle);
    EXPECT_EQ(arc.ArcAngle, c.arcAngle);
    EXPECT_EQ(arc.FullCircle, c.full);
    // The part keeps its angles: 360 counts as 0 only in the conversion.
    EXPECT_EQ(out.source.Enko[i].StartAngle, static_cast<float>(c.start));
    EXPECT_EQ(out.source.Enko[i].EndAngle, static_cast<float>(c.end));
    EXPECT_EQ(arc.TiltAngle, radians(30));
    EXPECT_EQ(arc.Flatness, static_cast<double>(0.6f));
    EXPECT_EQ(arc.CenterX, 10.0);
    EXPECT_EQ(arc.CenterY, 20.0);
    EXPECT_EQ(arc.Radius, 100.0);
    const TEntityHeader expected{.PenStyle = 2, .PenColor = 7, .Layer = 1, .LayerGroup = 3, .Flags = 0x30};
    EXPECT_EQ(arc.Header.Group, expected.Group);
    EXPECT_EQ(arc.Header.PenStyle, expected.PenStyle);
    EXPECT_EQ(arc.Header.PenColor, expected.PenColor);  // arcs keep colour 7
    EXPECT_EQ(arc.Header.Layer, expected.Layer);
    EXPECT_EQ(arc.Header.LayerGroup, expected.LayerGroup);
    EXPECT_EQ(arc.Header.Flags, expected.Flags);
  }
  EXPECT_NEAR(out.target.Enko[3].ArcAngle, 4.71238898038469, 1e-14);  // 3π/2

  // Converting the same part again gives the same arcs.
  TJwsData again;
  ConvertJwkToJws(kFont, true, DefaultMojiSettings(), out.source, again);
  EXPECT_EQ(again.Enko[1].StartAngle, radians(360));
  EXPECT_EQ(again.Enko[0].StartAngle, out.target.Enko[0].StartAngle);
}

TEST(JwkToJws, ArcsWidenTheExtentByTheirEndPointsOrWhole) {
  // Centre (10, 20), radius 100, flatness 0.5, at scale 1 without correction.
  const float s = 1;
  const long double cx = Unit(10, s), cy = Unit(20, s), r = Unit(100, s), flat = 0.5f;
  struct Case {
    double start, end, tilt;
    bool whole;
  } cases[] = {
      {0, 90, 0, false},   {30, 200, 10, false}, {90, 270, 0, true}, {-90, 90, 0, true},
      {45, 45, 0, true},   {0, 360, 0, true},    {200, 160, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << " to " << c.end);
    TJwkBuilder b;
    b.arcs.push_back({10, 20, 100, 5000, Angle(c.start), Angle(c.end), Angle(c.tilt)});
    TConverted out = Convert(b, false);
    long double minX, maxX, minY, maxY;
    if (c.whole) {
      minX = cx - r;
      maxX = cx + r;
      minY = cy - r * flat;
      maxY = cy + r * flat;
    } else {
      long double a = (c.start + c.tilt) * kPi / 180, e = (c.end + c.tilt) * kPi / 180;
      long double x1 = cx + r * cosl(a), x2 = cx + r * cosl(e);
      long double y1 = cy + r * flat * sinl(a), y2 = cy + r * flat * sinl(e);
      minX = std::min(x1, x2);
      maxX = std::max(x1, x2);
      minY = std::min(y1, y2);
      maxY = std::max(y1, y2);
    }
    EXPECT_EQ(out.target.MinX, Converted(minX, s, kCornerX, {}));
    EXPECT_EQ(out.target.MaxX, Converted(maxX, s, kCornerX, {}));
    EXPECT_EQ(out.target.MinY, Converted(minY, s, kCornerY, {}));
    EXPECT_EQ(out.target.MaxY, Converted(maxY, s, kCornerY, {}));
  }
  // The quarter from 0 to 90 reaches x 110 and y 70 but not the far side of the circle.
  TJwkBuilder b;
  b.arcs.push_back({10, 20, 100, 5000, Angle(0), Angle(90), 0});
  TConverted quarter = Convert(b, true);
  EXPECT_EQ(quarter.target.MinX, 10.0);
  EXPECT_EQ(quarter.target.MaxX, 110.0);
  EXPECT_EQ(quarter.target.MinY, 20.0);
  EXPECT_EQ(quarter.target.MaxY, 70.0);
}

TEST(JwkToJws, AShapeWithoutEntitiesKeepsTheStartingExtent) {
  const double far = static_cast<double>(1e20L * 594 / 518);
  for (bool correction : {false, true}) {
    SCOPED_TRACE(correction);
    TConverted c = Convert(TJwkBuilder(), correction);
    EXPECT_EQ(c.target.TotalCount, 0);
    EXPECT_EQ(c.target.SenCount + c.target.EnkoCount + c.target.TenCount + c.target.MojiCount, 0);
    // Too large to round: written as it is.
    EXPECT_EQ(c.target.MinX, Converted(1e20L, 1, kCornerX, {}));
    EXPECT_EQ(c.target.MinY, Converted(1e20L, 1, kCornerY, {}));
    EXPECT_EQ(c.target.MaxX, Converted(-1e20L, 1, kCornerX, {}));
    EXPECT_EQ(c.target.MaxY, Converted(-1e20L, 1, kCornerY, {}));
    EXPECT_DOUBLE_EQ(c.target.MinX, far);
    EXPECT_DOUBLE_EQ(c.target.MaxY, -far);
    EXPECT_EQ(Written(c.target).size(), 456u);
  }
}

TEST(JwkToJws, PointsAndTextsTurnColourSevenIntoNine) {
  TMojiSettingsTable settings = DefaultMojiSettings();
  settings[0].Pen = 7;
  settings[9] = {8, 45, 55, 15};
  TJwkBuilder b;
  b.points.push_back({1, 2, 0x21, 7, 0x3F});
  b.points.push_back({1, 2, 0x00, 8, 0xF0});
  for (uint8_t type : {1, 3, 10, 0, 11, 255}) b.texts.push_back({0, 0, 10, 0, 0, 0, type, 0x37, 0x3F, 0x81});
  TConverted c = Convert(b, false, kFont, settings);

  EXPECT_EQ(c.target.Ten[0].Header.PenColor, 9);
  EXPECT_EQ(c.target.Ten[1].Header.PenColor, 8);
  EXPECT_EQ(c.target.Ten[0].Header.PenStyle, 1);
  EXPECT_EQ(c.target.Ten[0].Header.Flags, 0x30);
  EXPECT_EQ(c.target.Ten[0].Header.Layer, 1);
  EXPECT_EQ(c.target.Ten[0].Header.LayerGroup, 2);
  EXPECT_EQ(c.target.Ten[0].Virtual, 0);

  struct Expected {
    int32_t type;
    uint16_t pen;
    double sizeX, sizeY, spacing;
  } expected[] = {
      {1, 9, 2.0, 2.0, 0.0}, {3, 2, 3.0, 3.0, 0.5}, {10, 8, 4.5, 5.5, 1.5},
      {0, 0, 0, 0, 0},       {11, 0, 0, 0, 0},      {255, 0, 0, 0, 0},  // no character type: no pen, no size
  };
  ASSERT_EQ(c.target.Moji.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const TSMoji& text = c.target.Moji[i];
    SCOPED_TRACE(expected[i].type);
    EXPECT_EQ(text.MojiType, expected[i].type);
    EXPECT_EQ(text.Header.PenColor, expected[i].pen);
    EXPECT_EQ(text.SizeX, expected[i].sizeX);
    EXPECT_EQ(text.SizeY, expected[i].sizeY);
    EXPECT_EQ(text.Spacing, expected[i].spacing);
    EXPECT_EQ(text.Header.PenStyle, 1);
    EXPECT_EQ(text.Header.Group, 0);
    EXPECT_EQ(text.Header.Flags, 0x8130);
    EXPECT_EQ(text.Header.Layer, 7);
    EXPECT_EQ(text.Header.LayerGroup, 3);
  }
}

TEST(JwkToJws, TextsTakeTheirDirectionFontAndContent) {
  struct Case {
    float x2, y2;
    double angle;
  } cases[] = {{10, 0, 0}, {0, 10, 90}, {-10, 0, 180}, {0, -10, -90}, {0, 0, 0}};
  TJwkBuilder b;
  for (const Case& c : cases) b.AddText({5, 5, 5 + c.x2, 5 + c.y2, 0, 0, 2}, "\x95\xb6\x8e\x9a");
  b.AddText({0, 0, 30, 40, 0, 0, 2}, "");
  for (const std::string& font : {kFont, std::string()}) {
    TConverted c = Convert(b, true, font);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
      EXPECT_EQ(c.target.Moji[i].Angle, cases[i].angle) << i;
      EXPECT_EQ(c.target.Texts.Of(c.target.Moji[i].Text), "\x95\xb6\x8e\x9a");
    }
    EXPECT_EQ(c.target.FontName, font);
    const TSMoji& slanted = c.target.Moji.back();
    long double dy = static_cast<long double>(Unit(40, 1)) - Unit(0, 1);
    long double dx = static_cast<long double>(Unit(30, 1)) - Unit(0, 1);
    EXPECT_EQ(slanted.Angle, static_cast<double>(atan2l(dy, dx) * 180 / kPi));
    EXPECT_NEAR(slanted.Angle, 53.13010235, 1e-5);  // from 32-bit unit values
    EXPECT_EQ(slanted.X2, 30.0);
    EXPECT_EQ(slanted.Y2, 40.0);
    EXPECT_EQ(c.target.Texts.Of(slanted.Text), "");
  }
}

TEST(JwkToJws, ConvertsTheRecordsTheArraysHold) {
  TJwkData source;
  source.Header.SenCount = 9;
  source.Header.MojiCount = 4;
  source.Sen.resize(2);
  source.Ten.resize(1);
  TJwsData target;
  target.Moji.resize(5);  // what an earlier conversion left
  ConvertJwkToJws(kFont, true, DefaultMojiSettings(), source, target);
  EXPECT_EQ(target.SenCount, 2);
  EXPECT_EQ(target.MojiCount, 0);
  EXPECT_EQ(target.TenCount, 1);
  EXPECT_EQ(target.TotalCount, 3);
  EXPECT_EQ(target.Sen.size(), 2u);
  EXPECT_TRUE(target.Moji.empty());
  EXPECT_EQ(source.Header.SenCount, 9);
}

TEST(JwkToJws, ConvertingTwiceGivesTheSameFile) {
  std::string bytes = test::SamplePartJwk();
  TJwkData source;
  ASSERT_TRUE(ReadJwkBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, source));
  TJwsData target;
  ConvertJwkToJws(kFont, true, DefaultMojiSettings(), source, target);
  std::string first = Written(target);
  ConvertJwkToJws(kFont, true, DefaultMojiSettings(), source, target);
  EXPECT_EQ(Written(target), first);
  EXPECT_EQ(target.TotalCount, 15);
  EXPECT_EQ(target.Sen[3].Header.Group, 1);
  EXPECT_EQ(target.Sen[4].Header.Group, 0);
  EXPECT_EQ(target.Enko[2].FullCircle, 1);
  // 1200 units at 1/20 are 60 mm on the sheet.
  EXPECT_EQ(target.Sen[0].X2, 60.0);
}

// Little-endian bytes, made here without the archive writer.
std::string Le(uint64_t value, int width) {
  std::string bytes;
  for (int i = 0; i < width; ++i) bytes.push_back(static_cast<char>(value >> (8 * i)));
  return bytes;
}
std::string D(double value) { return Le(std::bit_cast<uint64_t>(value), 8); }
std::string Header(int32_t group, uint8_t style, uint16_t pen, uint16_t layer, uint16_t layerGroup, uint16_t flags) {
  return Le(static_cast<uint32_t>(group), 4) + Le(style, 1) + Le(pen, 2) + Le(layer, 2) + Le(layerGroup, 2) +
         Le(flags, 2);
}

TEST(JwkToJws, ASmallPartByteForByte) {
  TJwkBuilder b;
  b.lines.push_back({10, 20, 110.5f, 20, 2, 7, 0x23, 0x40, 0xC0});
  b.arcs.push_back({50, 60, 25, 10000, Angle(0), Angle(90), 0, 1, 3, 0x11, 0, 0x3F});
  b.points.push_back({-40.25f, -30.5f, 0x05, 7, 0x9F});
  b.AddText({0, 100, 30, 100, 0, 0, 2, 0x00, 0x2F, 0x01}, "\x95\xb6\x8e\x9a");  // 文字
  TConverted c = Convert(b, true);
  test::TMemorySink sink;
  WriteJwsTo(sink, c.target);

  // Scale 1 with correction: three places, and every value here is exact at three places. The
  // extent runs from the point (-40.25, -30.5) to the line's end x 110.5 and the text's y 100.
  std::string expected = "JwsData." + std::string(192, '.') + Le(230, 4) + D(0) + D(0);
  for (int g = 0; g < 16; ++g) expected += D(1.0);
  for (int i = 1; i <= 6; ++i) expected += Le(static_cast<uint64_t>(i), 4);
  for (int i = 1; i <= 6; ++i) expected += D(i);
  expected += D(-40.25) + D(-30.5) + D(110.5) + D(100);
  expected += Le(4, 2);
  expected += Le(0xFFFF, 2) + Le(230, 2) + Le(8, 2) + "CDataSen";
  expected += Header(1, 2, 7, 3, 2, 0x40C0) + D(10) + D(20) + D(110.5) + D(20);
  expected += Le(0xFFFF, 2) + Le(230, 2) + Le(9, 2) + "CDataEnko";
  expected += Header(0, 1, 3, 1, 1, 0x30) + D(50) + D(60) + D(25) + D(0) + D(kHalfPi) + D(0) + D(1) + Le(0, 4);
  expected += Le(0xFFFF, 2) + Le(230, 2) + Le(8, 2) + "CDataTen";
  expected += Header(0, 1, 9, 5, 0, 0x90) + D(-40.25) + D(-30.5) + Le(0, 4);
  expected += Le(0xFFFF, 2) + Le(230, 2) + Le(9, 2) + "CDataMoji";
  expected += Header(0, 1, 1, 0, 0, 0x0120) + D(0) + D(100) + D(30) + D(100) + Le(2, 4) + D(2.5) + D(2.5) + D(0) +
              D(0) + Le(kFont.size(), 1) + kFont + Le(4, 1) + "\x95\xb6\x8e\x9a";
  expected += Le(0, 2);
  EXPECT_EQ(test::Hex(sink.bytes), test::Hex(expected));
}

}  // namespace
}  // namespace torvane
