#include "dxf/dxfwriter.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <random>
#include <sstream>

#include "builder/filebuilder.h"
#include "builder/jwkbuilder.h"
#include "builder/sample_part.h"
#include "builder/samples.h"
#include "convert/conversion.h"
#include "drawing/jwc2jww.h"
#include "dxf/dxfgroups.h"
#include "shape/jwk2jws.h"
#include "support/cp932.h"
#include "support/ioerror.h"
#include "test_util.h"

namespace torvane {
namespace {

constexpr double kPi = std::numbers::pi;
using TGroups = std::vector<std::pair<int, std::string>>;

std::string DxfOf(const TJwwData& drawing) {
  test::TMemorySink sink;
  WriteDxf(sink, {TFileKind::Drawing, &drawing, nullptr});
  return sink.bytes;
}

TGroups GroupsOf(const std::string& dxf) {
  TGroups groups;
  std::istringstream in(dxf);
  std::string code, value;
  while (std::getline(in, code) && std::getline(in, value)) groups.emplace_back(std::stoi(code), value);
  return groups;
}

// The groups of each entity of the ENTITIES section, from its "0" on.
std::vector<TGroups> EntitiesOf(const std::string& dxf) {
  TGroups all = GroupsOf(dxf);
  std::vector<TGroups> entities;
  bool inside = false;
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (all[i] == std::pair{2, std::string("ENTITIES")}) inside = true;
    if (!inside) continue;
    if (all[i].first == 0 && all[i].second == "ENDSEC") break;
    if (all[i].first == 0) entities.emplace_back();
    if (!entities.empty()) entities.back().push_back(all[i]);
  }
  return entities;
}

TEntityHeader Header(uint16_t pen, uint8_t style, uint16_t group, uint16_t layer) {
  TEntityHeader h;
  h.PenColor = pen;
  h.PenStyle = style;
  h.LayerGroup = group;
  h.Layer = layer;
  return h;
}

TWEnko Arc(double r, double f, double start, double sweep, double tilt, int32_t full = 0) {
  TWEnko arc;
  arc.Header = Header(1, 1, 0, 0);
  arc.CenterX = 10;
  arc.CenterY = -5;
  arc.Radius = r;
  arc.Flatness = f;
  arc.StartAngle = start;
  arc.ArcAngle = sweep;
  arc.TiltAngle = tilt;
  arc.FullCircle = full;
  return arc;
}

// Compares the groups after the handle, owner and subclass markers; reals by value.
void ExpectGroups(const TGroups& got, const TGroups& expected, const std::string& what) {
  TGroups kept;
  for (const auto& g : got) {
    if (g.first != 5 && g.first != 330 && g.first != 100) kept.push_back(g);
  }
  ASSERT_EQ(kept.size(), expected.size()) << what;
  for (std::size_t i = 0; i < kept.size(); ++i) {
    EXPECT_EQ(kept[i].first, expected[i].first) << what << " group " << i;
    char* end = nullptr;
    double want = std::strtod(expected[i].second.c_str(), &end);
    bool real = *end == '\0' && expected[i].second.find('.') != std::string::npos;
    if (real) {
      EXPECT_NEAR(std::stod(kept[i].second), want, 1e-12) << what << " group " << kept[i].first;
    } else {
      EXPECT_EQ(kept[i].second, expected[i].second) << what << " group " << kept[i].first;
    }
  }
}

TEST(Dxf, EachRecordGivesTheGroupsOfItsEntity) {
  std::string washitsu = "\x98\x61\x8e\xba";  // 和室
  struct TCase {
    const char* what;
    std::function<void(TJwwData&)> add;
    TGroups groups;
  } cases[] = {
      {"a dashed line of pen 3",
       [](TJwwData& d) { d.Sens.push_back({Header(3, 2, 0, 0), -210, -148.5, 210, 148.25}); },
       {{0, "LINE"}, {8, "0-0"}, {6, "JW2"}, {62, "3"}, {10, "-210.0"}, {20, "-148.5"}, {11, "210.0"}, {21, "148.25"}}},
      {"a whole circle in layer 2-F",
       [](TJwwData& d) {
         TWEnko a = Arc(5, 1, 0, 2 * kPi, 0, 1);
         a.Header = Header(8, 1, 2, 15);
         d.Enkos.push_back(a);
       },
       {{0, "CIRCLE"}, {8, "2-15"}, {62, "1"}, {10, "10.0"}, {20, "-5.0"}, {40, "5.0"}}},
      {"a quarter arc, tilted 30°: its angles turn with the tilt",
       [](TJwwData& d) { d.Enkos.push_back(Arc(5, 1, kPi / 2, kPi / 2, kPi / 6)); },
       {{0, "ARC"}, {8, "0-0"}, {62, "4"}, {10, "10.0"}, {20, "-5.0"}, {40, "5.0"}, {50, "120.0"}, {51, "210.0"}}},
      {"a half ellipse flattened to 0.5",
       [](TJwwData& d) { d.Enkos.push_back(Arc(4, 0.5, 0, kPi, 0)); },
       {{0, "ELLIPSE"}, {8, "0-0"}, {62, "4"}, {10, "10.0"}, {20, "-5.0"}, {30, "0.0"}, {11, "4.0"}, {21, "0.0"},
        {31, "0.0"}, {40, "0.5"}, {41, "0.0"}, {42, "3.141592653589793"}}},
      // Flatness 2: the long axis (8) stands across the tilt (90° + 90°, pointing to -x); the ratio
      // is 1/2 and the parameters run a quarter turn behind the record's angles.
      {"a quarter of an ellipse taller than wide, tilted 90°",
       [](TJwwData& d) { d.Enkos.push_back(Arc(4, 2, 0, kPi / 2, kPi / 2)); },
       {{0, "ELLIPSE"}, {8, "0-0"}, {62, "4"}, {10, "10.0"}, {20, "-5.0"}, {30, "0.0"}, {11, "-8.0"}, {21, "0.0"},
        {31, "0.0"}, {40, "0.5"}, {41, "4.71238898038469"}, {42, "0.0"}}},
      {"an elliptic arc swept clockwise runs counter-clockwise from its end",
       [](TJwwData& d) { d.Enkos.push_back(Arc(4, 0.25, kPi / 2, -kPi / 4, 0)); },
       {{0, "ELLIPSE"}, {8, "0-0"}, {62, "4"}, {10, "10.0"}, {20, "-5.0"}, {30, "0.0"}, {11, "4.0"}, {21, "0.0"},
        {31, "0.0"}, {40, "0.25"}, {41, "0.7853981633974483"}, {42, "1.5707963267948966"}}},
      {"a whole ellipse",
       [](TJwwData& d) { d.Enkos.push_back(Arc(3, 0.5, 1, 2 * kPi, 0, 1)); },
       {{0, "ELLIPSE"}, {8, "0-0"}, {62, "4"}, {10, "10.0"}, {20, "-5.0"}, {30, "0.0"}, {11, "3.0"}, {21, "0.0"},
        {31, "0.0"}, {40, "0.5"}, {41, "0.0"}, {42, "6.283185307179586"}}},
      {"a real point, and a virtual one that is left out",
       [](TJwwData& d) {
         d.Tens.push_back({Header(9, 1, 0, 1), 1.5, 2.5, 0});
         d.Tens.push_back({Header(2, 1, 0, 1), 7, 7, 1});
       },
       {{0, "POINT"}, {8, "0-1"}, {62, "9"}, {10, "1.5"}, {20, "2.5"}}},
      {"a Japanese text, 3 wide, 4 high, 0.5 apart, at 30°",
       [&](TJwwData& d) {
         TWMoji t;
         t.Header = Header(2, 1, 0, 0);
         t.X1 = 1, t.Y1 = 2, t.X2 = 10, t.Y2 = 7;
         t.SizeX = 3, t.SizeY = 4, t.Spacing = 0.5, t.Angle = 30;
         t.Text = d.Texts.Add(washitsu);
         d.Mojis.push_back(t);
       },
       {{0, "TEXT"}, {8, "0-0"}, {62, "7"}, {10, "1.0"}, {20, "2.0"}, {40, "4.0"}, {1, "和室"}, {50, "30.0"},
        {41, "0.75"}, {1001, "TORVANE"}, {1040, "0.5"}}},
  };
  for (const TCase& c : cases) {
    TJwwData drawing;
    c.add(drawing);
    std::vector<TGroups> entities = EntitiesOf(DxfOf(drawing));
    ASSERT_EQ(entities.size(), 1u) << c.what;
    ExpectGroups(entities[0], c.groups, c.what);
  }
}

TEST(Dxf, LayerNamesAreLegalUniqueAndNumberedWhereUnnamed) {
  std::array<std::string, 16> groups;
  std::array<std::string, 256> layers;
  std::array<bool, 256> used{};
  groups[1] = "\x95\xbd\x96\xca";  // 平面
  layers[16 + 2] = "\x95\xc7";     // 壁
  layers[16 + 3] = "a/b:c";
  layers[16 + 4] = "A_B_C";
  layers[16 + 5] = " x ";
  groups[2] = "1";
  layers[32 + 0] = "2";  // "1-2", as layer 2 of group 1 would be named were group 1 unnamed
  groups[3] = "\x82";    // a lead byte alone
  for (std::size_t i : {0, 3, 17, 18, 19, 20, 21, 32, 48, 255}) used[i] = true;
  std::array<std::string, 256> names = DxfLayerNames(groups, layers, used);
  EXPECT_EQ(names[0], "0-0");
  EXPECT_EQ(names[3], "0-3");
  EXPECT_EQ(names[17], "平面-1");
  EXPECT_EQ(names[18], "平面-壁");
  EXPECT_EQ(names[19], "平面-a_b_c");
  EXPECT_EQ(names[20], "平面-A_B_C_2");
  EXPECT_EQ(names[21], "平面- x_");
  EXPECT_EQ(names[32], "1-2");
  EXPECT_EQ(names[48], "\xEF\xBF\xBD-0");
  EXPECT_EQ(names[255], "15-15");
  EXPECT_EQ(names[1], "");
}

TEST(Dxf, PensTakeTheirFixedColours) {
  int expected[] = {7, 4, 7, 3, 2, 6, 5, 8, 1, 9, 7};
  for (int pen = 0; pen <= 10; ++pen) EXPECT_EQ(PenColorIndex(pen), expected[pen]) << pen;
  EXPECT_EQ(PenColorIndex(65535), 7);
}

TEST(Dxf, TheHeaderKeepsUnitsExtentPaperAndLineTypes) {
  TJwwData drawing;
  drawing.PaperSize = 3;  // A3
  drawing.Sens.push_back({Header(1, 1, 0, 0), -10, -20, 30, 40});
  drawing.Layers[5].State = 0;
  drawing.Sens.push_back({Header(1, 5, 0, 5), 0, 0, 1, 1});
  // A circle centred inside the lines' box reaches 3 beyond it; an ellipse lies wholly inside.
  drawing.Enkos.push_back(Arc(5, 1, 0, 2 * kPi, 0, 1));
  drawing.Enkos.back().CenterX = 28;
  drawing.Enkos.back().CenterY = 0;
  drawing.Enkos.push_back(Arc(2, 3, 0, kPi, 0.5));
  drawing.Enkos.back().CenterX = 0;
  drawing.Enkos.back().CenterY = 0;
  TGroups g = GroupsOf(DxfOf(drawing));
  auto after = [&](const std::string& variable, std::size_t n) {
    for (std::size_t i = 0; i + n < g.size(); ++i) {
      if (g[i] == std::pair{9, variable}) {
        std::string values;
        for (std::size_t k = 1; k <= n; ++k) values += (k > 1 ? " " : "") + g[i + k].second;
        return values;
      }
    }
    return std::string("missing");
  };
  EXPECT_EQ(after("$ACADVER", 1), "AC1024");
  EXPECT_EQ(after("$INSUNITS", 1), "4");
  EXPECT_EQ(after("$EXTMIN", 2), "-10 -20");
  EXPECT_EQ(after("$EXTMAX", 2), "33 40");
  EXPECT_EQ(after("$LIMMIN", 2), "-210 -148.5");
  EXPECT_EQ(after("$LIMMAX", 2), "210 148.5");
  // Line type 5 of the table: a repeat of 16 dots 1111100110011111 at a print pitch of 10 tenths of
  // a millimetre, begun after a gap: 2 dots on, 2 off, 10 on (5 + 5 across the repeat), 2 off.
  std::string dxf = DxfOf(drawing);
  EXPECT_NE(dxf.find("2\nJW5\n70\n0\n3\nJW_CAD line type 5\n72\n65\n73\n4\n40\n16\n49\n2\n74\n0\n49\n-2\n74\n0\n"
                     "49\n10\n74\n0\n49\n-2\n74\n0\n"),
            std::string::npos);
  // Layer 0-5 is hidden: frozen and off.
  EXPECT_NE(dxf.find("2\n0-5\n70\n1\n62\n-7\n"), std::string::npos);
  EXPECT_NE(dxf.find("2\n0-0\n70\n0\n62\n7\n"), std::string::npos);
}

TEST(Dxf, AFailingSinkEndsTheWriteWithItsError) {
  TJwwData drawing;
  for (int i = 0; i < 40000; ++i) drawing.Sens.push_back({Header(1, 1, 0, 0), 1.0 * i, 2, 3, 4});
  for (std::size_t limit : {std::size_t{0}, std::size_t{5000}, std::size_t{1500000}}) {
    test::TFailingSink sink(limit);
    EXPECT_THROW(WriteDxf(sink, {TFileKind::Drawing, &drawing, nullptr}), TIoError) << limit;
  }
}

// The entities are formatted in pieces on two threads: across pieces (the last one begins among
// the points) they keep the records' order, records left out take no handle, and the handles run
// on without a gap.
TEST(Dxf, EntitiesOfManyPiecesKeepTheirOrderAndHandles) {
  TJwwData drawing;
  std::vector<std::string> expected;  // the X of each entity, in order
  for (int i = 0; i < 15000; ++i) {
    bool left = i % 997 == 0;
    drawing.Sens.push_back({Header(1, 1, 0, 0), left ? std::nan("") : i + 0.5, 0, 1, 1});
    if (!left) expected.push_back(std::to_string(i) + ".5");
  }
  for (int i = 0; i < 3000; ++i) {
    drawing.Tens.push_back({Header(1, 1, 0, 0), -i - 0.25, 0, i % 3 == 0 ? 1 : 0});
    if (i % 3 != 0) expected.push_back("-" + std::to_string(i) + ".25");
  }
  std::vector<TGroups> entities = EntitiesOf(DxfOf(drawing));
  ASSERT_EQ(entities.size(), expected.size());
  for (std::size_t i = 0; i < entities.size(); ++i) {
    char handle[16];
    std::snprintf(handle, sizeof handle, "%zX", 0x200 + i);
    ASSERT_EQ(entities[i][1], (std::pair{5, std::string(handle)})) << i;
    auto x = std::find_if(entities[i].begin(), entities[i].end(), [](const auto& g) { return g.first == 10; });
    ASSERT_EQ(x->second, expected[i]) << i;
  }
}

// The quick way for short decimals must give std::to_chars's very characters: where the fixed and
// exponent forms trade places, at the ends of its range, next to the decimals it finds, and for
// the values of every other kind that it must hand on.
// A drawing written from its source (its lines made while they are written) gives the very bytes
// of the drawing converted first: over several pieces, lines on layers of other scales, lines with
// coordinates that are no numbers (not drawn), with and without correction; and a drawing whose
// first point is no number, whose lines cannot be surveyed from the source and are converted.
TEST(Dxf, ADrawingWrittenFromItsSourceEqualsItsConversion) {
  for (bool nanFirst : {false, true}) {
    test::TJwcBuilder b;
    for (std::size_t g = 0; g < 4; ++g) b.groupScales[g] = std::array<float, 4>{1, 20, 50, 100}[g];
    std::mt19937 random(nanFirst ? 5 : 3);
    auto real = [&](double lo, double hi) { return static_cast<float>(std::uniform_real_distribution<>(lo, hi)(random)); };
    for (int i = 0; i < 20000; ++i) {
      test::TLineRec line{real(-300, 300), real(-200, 200), real(-300, 300), real(-200, 200)};
      line.layer = static_cast<uint8_t>((i / 700 % 4) * 16 + i % 16);
      line.penColor = static_cast<uint8_t>(1 + i % 9);
      line.lineType = static_cast<uint8_t>(1 + i % 9);
      if (i % 997 == 5) line.x2 = NAN;
      if (i % 1499 == 7) line.y1 = INFINITY;
      if (i == 0 && nanFirst) line.x1 = NAN;
      b.lines.push_back(line);
    }
    for (int i = 0; i < 300; ++i) {
      test::TArcRec arc{real(-100, 100), real(-100, 100), real(1, 40)};
      arc.start = i * 65536 / 4, arc.end = (i * 7 % 360) * 65536, arc.layer = static_cast<uint8_t>(i % 64);
      b.arcs.push_back(arc);
    }
    for (int i = 0; i < 50; ++i) b.points.push_back({real(-9, 9), real(-9, 9), static_cast<uint8_t>(i % 64)});
    b.virtualPoints.push_back({1, 2, 3});
    b.AddText({1, 2, 30, 2}, "\x98\x61\x8e\xba");
    const std::string bytes = b.Build();
    TJwcData source;
    ASSERT_TRUE(ReadJwcBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, source));
    for (bool correction : {true, false}) {
      TJwwData converted;
      ConvertJwcToJww("font", correction, source, converted);
      test::TMemorySink fromSource;
      TConverted made;
      made.Kind = TFileKind::Drawing;
      made.DrawingSource = &source;
      WriteDxf(fromSource, made, "font", correction);
      EXPECT_TRUE(fromSource.bytes == DxfOf(converted)) << nanFirst << " " << correction;
    }
  }
}

TEST(Dxf, NumbersAreTheShortestDecimalsOfToChars) {
  std::vector<double> values = {0.0,    -0.0,   1.0,    -1.0,   0.1,         0.0001,       0.00001,   1.5e-5,
                                1e-7,   123456, 1e5,    1e6,    1.5e6,       1e15,         1e16,      1e20,
                                1e22,   1e23,   0x1p40, 0x1p40 - 1, 0x1p40 - 0.5, 0x1p-1074, 1e-22,  1.25e-21,
                                35.79,  -38.7585, 4.71238898038469, 1.7976931348623157e308,
                                0.0009, 0.0012, 0.001, 90,     120000, 1200000, 12345678, 99999999.9999};
  std::mt19937_64 random(16);
  for (int i = 0; i < 50000; ++i) {
    // A decimal of up to 15 digits between about 1e-25 and 1e29, its neighbours, and any bits.
    auto digits = static_cast<unsigned long long>(random() % 1000000000000000 >> (random() % 50));
    int exponent = static_cast<int>(random() % 40) - 25;
    double v = std::strtod((std::to_string(digits) + "e" + std::to_string(exponent)).c_str(), nullptr);
    values.insert(values.end(), {v, -v, std::nextafter(v, 0.0), std::nextafter(v, 1e300)});
    double bits = std::bit_cast<double>(random());
    if (std::isfinite(bits)) values.push_back(bits);
  }
  for (double v : values) {
    char want[40], got[40];
    std::string_view expected(want, std::to_chars(want, want + sizeof want, v).ptr);
    ASSERT_EQ(std::string_view(got, ShortestDecimal(got, v)), expected);
  }
}

// ---- Read back by ezdxf ----

std::string Number(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

std::string LineTypeOf(int style) { return style >= 2 && style <= 9 ? "JW" + std::to_string(style) : "BYLAYER"; }

// What the DXF of the document must hold, in the form dxf_check.py reads.
std::string Expected(const TConverted& c) {
  const TJwwData* d = c.Drawing;
  const TJwsData* p = c.Part;
  auto span = [&](auto drawingMember, auto partMember) {
    return d != nullptr ? std::span(d->*drawingMember) : std::span(p->*partMember);
  };
  auto lines = span(&TJwwData::Sens, &TJwsData::Sen);
  auto arcs = span(&TJwwData::Enkos, &TJwsData::Enko);
  auto points = span(&TJwwData::Tens, &TJwsData::Ten);
  auto texts = span(&TJwwData::Mojis, &TJwsData::Moji);
  const TTextPool& pool = d != nullptr ? d->Texts : p->Texts;
  std::array<bool, 256> used{};
  used[0] = true;
  auto index = [](const TEntityHeader& h) { return (h.LayerGroup & 15u) * 16u + (h.Layer & 15u); };
  for (const auto& e : lines) used[index(e.Header)] = true;
  for (const auto& e : arcs) used[index(e.Header)] = true;
  for (const auto& e : points) used[index(e.Header)] = used[index(e.Header)] || e.Virtual == 0;
  for (const auto& e : texts) used[index(e.Header)] = true;
  std::array<std::string, 16> groupNames;
  std::array<std::string, 256> layerNames;
  if (d != nullptr) {
    for (std::size_t i = 0; i < 16; ++i) groupNames[i] = d->GLayers[i].Name;
    for (std::size_t i = 0; i < 256; ++i) layerNames[i] = d->Layers[i].Name;
  }
  std::array<std::string, 256> names = DxfLayerNames(groupNames, layerNames, used);
  std::ostringstream out;
  for (std::size_t i = 0; i < 256; ++i) {
    if (!used[i]) continue;
    bool hidden = d != nullptr && (d->Layers[i].State == 0 || d->GLayers[i / 16].State == 0);
    out << "Y\t" << names[i] << "\t" << (hidden ? 1 : 0) << "\n";
  }
  auto start = [&](char kind, const TEntityHeader& h) {
    out << kind << "\t" << names[index(h)] << "\t" << PenColorIndex(h.PenColor);
  };
  for (const auto& l : lines) {
    start('L', l.Header);
    out << "\t" << LineTypeOf(l.Header.PenStyle);
    for (double v : {l.X1, l.Y1, l.X2, l.Y2}) out << "\t" << Number(v);
    out << "\n";
  }
  for (const auto& a : arcs) {
    start('A', a.Header);
    out << "\t" << LineTypeOf(a.Header.PenStyle);
    for (double v : {a.CenterX, a.CenterY, a.Radius, a.Flatness, a.StartAngle, a.ArcAngle, a.TiltAngle}) {
      out << "\t" << Number(v);
    }
    out << "\t" << a.FullCircle << "\n";
  }
  for (const auto& pt : points) {
    if (pt.Virtual != 0) continue;
    start('P', pt.Header);
    out << "\t" << Number(pt.X) << "\t" << Number(pt.Y) << "\n";
  }
  for (const auto& t : texts) {
    start('T', t.Header);
    for (double v : {t.X1, t.Y1, t.SizeX, t.SizeY, t.Angle, t.Spacing}) out << "\t" << Number(v);
    out << "\t" << Cp932ToUtf8(pool.Of(t.Text)) << "\n";
  }
  return out.str();
}

// A drawing of random records: all kinds, every layer, flatness below and above 1, negative
// sweeps and radii, named and unnamed layers (some clashing), hidden ones, Japanese texts.
TJwwData RandomDrawing(unsigned seed) {
  std::mt19937 random(seed);
  auto real = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
  auto whole = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  auto header = [&] {
    return Header(static_cast<uint16_t>(whole(0, 12)), static_cast<uint8_t>(whole(0, 11)),
                  static_cast<uint16_t>(whole(0, 15)), static_cast<uint16_t>(whole(0, 15)));
  };
  const char* const kWords[] = {"\x95\xbd\x96\xca", "\x95\xc7", "A", "a", "\x8c\x9a\x8b\xef", "x;y", ""};
  TJwwData d;
  d.PaperSize = whole(0, 14);
  for (auto& g : d.GLayers) g.Name = kWords[whole(0, 6)], g.State = whole(0, 3);
  for (auto& l : d.Layers) l.Name = kWords[whole(0, 6)], l.State = whole(0, 3);
  for (int i = whole(0, 30); i > 0; --i) d.Sens.push_back({header(), real(-500, 500), real(-500, 500), real(-5e4, 5e4), 0.1});
  for (int i = whole(0, 30); i > 0; --i) {
    double f = std::array<double, 5>{1, 0.5, 2.5, real(0.01, 3), -0.7}[whole(0, 4)];
    int32_t full = whole(0, 3) == 0;
    double sweep = full ? 2 * kPi : real(-2 * kPi + 0.1, 2 * kPi - 0.1);
    TWEnko arc = Arc(real(-50, 100), f, real(-7, 7), sweep, real(-4, 4), full);
    arc.Header = header();
    arc.CenterX = real(-300, 300);
    d.Enkos.push_back(arc);
  }
  for (int i = whole(0, 10); i > 0; --i) d.Tens.push_back({header(), real(-9, 9), real(-9, 9), whole(0, 1)});
  for (int i = whole(0, 10); i > 0; --i) {
    TWMoji t;
    t.Header = header();
    t.X1 = real(-100, 100), t.Y1 = real(-100, 100);
    t.SizeX = whole(0, 5) * 0.5, t.SizeY = whole(1, 5), t.Spacing = whole(0, 2) * 0.25, t.Angle = real(-180, 180);
    t.Text = d.Texts.Add(std::string(kWords[whole(0, 6)]) + "\x82\xa0%1\x81\x5c" + kWords[whole(0, 6)]);
    d.Mojis.push_back(t);
  }
  return d;
}

// DXF files with what their documents hold, compared by ezdxf all at once.
class TReadBack {
 public:
  void Add(const TConverted& converted, const std::string& name) { Add(converted, converted, name); }
  // The DXF of one document against what another holds.
  void Add(const TConverted& written, const TConverted& expected, const std::string& name) {
    test::TMemorySink sink;
    WriteDxf(sink, written);
    test::WriteFile(dir_.File(name + ".dxf"), sink.bytes);
    test::WriteFile(dir_.File(name + ".txt"), Expected(expected));
    arguments_ += " '" + dir_.File(name + ".dxf") + "' '" + dir_.File(name + ".txt") + "'";
  }
  // What ezdxf found wrong; empty when every file holds what its document holds.
  std::string Problems() const {
    std::string command = "/usr/bin/python3 " TORVANE_SOURCE_DIR "/tests/dxf_check.py" + arguments_ + " 2>&1";
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return "cannot run python3";
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    int status = pclose(pipe);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "" : output + "(exit status " + std::to_string(status) + ")";
  }

 private:
  test::TTempDir dir_;
  std::string arguments_;
};

TEST(DxfReadBack, GeneratedDocumentsAndTheSamplesHoldWhatTheirDocumentsHold) {
  TReadBack readBack;
  std::vector<TJwwData> drawings;
  for (unsigned seed = 1; seed <= 32; ++seed) drawings.push_back(RandomDrawing(seed));
  drawings.emplace_back();  // empty
  for (std::size_t i = 0; i < drawings.size(); ++i) {
    readBack.Add({TFileKind::Drawing, &drawings[i], nullptr}, "drawing" + std::to_string(i));
  }
  std::vector<TJwsData> parts(8);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    TJwwData random = RandomDrawing(100 + static_cast<unsigned>(i));
    parts[i].Sen = random.Sens;
    parts[i].Enko = random.Enkos;
    parts[i].Ten = random.Tens;
    parts[i].Moji = random.Mojis;
    parts[i].Texts = random.Texts;
    readBack.Add({TFileKind::Part, nullptr, &parts[i]}, "part" + std::to_string(i));
  }
  // The samples, converted as the command line converts them.
  std::string plan = test::SamplePlanJwc(), part = test::SamplePartJwk();
  TJwcData jwc;
  ASSERT_TRUE(ReadJwcBytes({reinterpret_cast<const uint8_t*>(plan.data()), plan.size()}, jwc));
  TJwwData jww;
  ConvertJwcToJww("\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e", true, jwc, jww);
  readBack.Add({TFileKind::Drawing, &jww, nullptr}, "plan");
  TJwkData jwk;
  ASSERT_TRUE(ReadJwkBytes({reinterpret_cast<const uint8_t*>(part.data()), part.size()}, jwk));
  TJwsData jws;
  ConvertJwkToJws("", true, DefaultMojiSettings(), jwk, jws);
  readBack.Add({TFileKind::Part, nullptr, &jws}, "part");
  EXPECT_EQ(readBack.Problems(), "");
}

TEST(DxfReadBack, TheCheckSeesAMovedEnd) {
  TJwwData drawing = RandomDrawing(7);
  ASSERT_FALSE(drawing.Sens.empty());
  TJwwData moved = drawing;
  moved.Sens.front().X2 += 1e-6;
  TReadBack readBack;
  readBack.Add({TFileKind::Drawing, &moved, nullptr}, {TFileKind::Drawing, &drawing, nullptr}, "moved");
  EXPECT_NE(readBack.Problems().find(": line ("), std::string::npos);
}

}  // namespace
}  // namespace torvane
