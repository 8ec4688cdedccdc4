#include "support/scales.h"
#include "support/entityrules.h"
#include "support/sinecosine.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <cmath>
#include <vector>

namespace torvane {
namespace {

TEST(DigitsForExtent, KeepsSixSignificantDigits) {
  struct Case {
    long double extent;
    int32_t digits;
  } cases[] = {
      {999, 3}, {1000, 3}, {1001, 2}, {12345, 1}, {2000000, -1}, {0.5L, 6}, {0.05L, 7},
      {1, 6},   {10, 5},   {100, 4},  {100000, 1}, {1e6L, 0},   {0, 0},    {-5, 0},
      {INFINITY, 0},       {NAN, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(DigitsForExtent(c.extent), c.digits) << static_cast<double>(c.extent);
}

TEST(RoundHalfAway, RoundsHalvesAwayFromZero) {
  struct Case {
    long double value, rounded;
  } cases[] = {{2.5L, 3}, {-2.5L, -3}, {-2.4L, -2}, {2.4999L, 2}, {0.4L, 0}, {-0.4L, 0}};
  for (const Case& c : cases) {
    long double rounded = 99;
    ASSERT_TRUE(RoundHalfAway(c.value, rounded));
    EXPECT_EQ(rounded, c.rounded) << static_cast<double>(c.value);
  }
  long double zero = 99;
  ASSERT_TRUE(RoundHalfAway(-0.3L, zero));
  EXPECT_FALSE(std::signbit(zero));  // through an integer: +0.0

  long double untouched = 7;
  EXPECT_FALSE(RoundHalfAway(9.3e18L, untouched));
  EXPECT_FALSE(RoundHalfAway(INFINITY, untouched));
  EXPECT_FALSE(RoundHalfAway(NAN, untouched));
  EXPECT_EQ(untouched, 7);
}

// The 80 bits of an extended value; the rest of its storage is padding.
std::array<uint8_t, 10> BitsOf(long double x) {
  std::array<uint8_t, 10> b;
  std::memcpy(b.data(), &x, b.size());
  return b;
}

// Values at the edges of the 64-bit integers' range, around whole numbers and halves, and of
// every size up to 2^64, both signs.
std::vector<long double> WholeNumberEdges() {
  constexpr long double k63 = 9223372036854775808.0L;
  std::vector<long double> values{0.0L, -0.0L, 0.3L, -0.3L, 0.5L, -0.5L, 1.0L, -1.0L, 1.5L, -2.5L,
                                  std::nextafterl(1.0L, 0.0L), std::nextafterl(-1.0L, 0.0L), 4503599627370495.5L,
                                  9223372036854775807.0L, -9223372036854775807.0L, std::nextafterl(k63, 0.0L),
                                  -std::nextafterl(k63, 0.0L), k63 - 0.5L, -(k63 - 0.5L), k63 - 1.5L,
                                  k63 / 2 - 0.25L, -(k63 / 2 - 0.25L), k63 / 2 + 0.5L, 1e-4000L};
  uint64_t state = 0x9E3779B97F4A7C15ULL;
  for (int i = 0; i < 200000; ++i) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    long double mantissa = static_cast<long double>(state >> 11) / 9007199254740992.0L;  // [0, 1)
    long double x = std::ldexp(mantissa, static_cast<int>(state % 64)) * ((state >> 7) % 2 ? -1 : 1);
    values.push_back(x);
    values.push_back(std::floor(x) + 0.5L);
    values.push_back(std::floor(x) - 0.5L);
  }
  return values;
}

long double ThroughInteger(long double x) { return static_cast<long double>(static_cast<int64_t>(x)); }

// The arithmetic truncation must give what the conversion through a 64-bit integer gives, bit for
// bit.
TEST(TruncatedAsInteger, MatchesTheIntegerConversionBitForBit) {
  for (long double x : WholeNumberEdges()) {
    if (std::fabs(x) >= 9223372036854775808.0L) continue;
    ASSERT_EQ(BitsOf(TruncatedAsInteger(x)), BitsOf(ThroughInteger(x))) << static_cast<double>(x);
  }
}

// Rounding, by the truncating store (where the processor has it) and by arithmetic alike, gives bit
// for bit the value shifted by a half away from zero and converted through a 64-bit integer; and
// refuses what such an integer cannot hold.
TEST(RoundHalfAway, MatchesTheShiftedIntegerConversionBitForBit) {
  constexpr long double k63 = 9223372036854775808.0L;
  auto byStore = kHasTruncatingStore ? RoundHalfAwayBy<true> : RoundHalfAwayBy<false>;
  for (auto round : {byStore, RoundHalfAwayBy<false>}) {
    for (long double x : WholeNumberEdges()) {
      long double shifted = x >= 0 ? x + 0.5L : x - 0.5L;
      long double rounded = 7;
      bool held = round(x, rounded);
      ASSERT_EQ(held, std::fabs(shifted) < k63) << static_cast<double>(x);
      if (held) {
        ASSERT_EQ(BitsOf(rounded), BitsOf(ThroughInteger(shifted) + 0.0L)) << static_cast<double>(x);
      }
    }
  }
}

// The memo answers sincosl bit for bit: signed zeros and NaNs apart, pairs asked again in any
// order, pairs of one sum, and more distinct pairs than it remembers.
TEST(SineCosineMemo, AnswersExactlyWhatSincoslGives) {
  struct Pair {
    float degrees, tilt;
  };
  std::vector<Pair> pairs{{0.0f, 0.0f},   {-0.0f, 0.0f},     {0.0f, -0.0f},  {std::nanf("1"), 0},  {-std::nanf("2"), 0},
                          {30, std::nanf("3")}, {1e-40f, 0}, {-1e-40f, 0}, {180, 0}, {90, 90}, {120, 60},
                          {std::nextafterf(1.0f, 2.0f), 0}, {1.0f, 0}, {3e38f, 3e38f}, {INFINITY, 0}, {30, -0.0f}, {-0.0f, -0.0f}};
  uint64_t state = 12345;
  for (int i = 0; i < 100000; ++i) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    pairs.push_back({static_cast<float>(static_cast<int32_t>(state >> 40) % 5760) / 16 * (i % 2 ? 1 : -1),
                     static_cast<float>((state >> 20) % 720) / 4 * (i % 3 == 0 ? 1 : 0)});
  }
  TSineCosineMemo memo;
  for (int pass = 0; pass < 2; ++pass) {
    for (const Pair& p : pairs) {
      long double sine = 0, cosine = 0, expectedSine = 0, expectedCosine = 0;
      memo.Of(p.degrees, p.tilt, sine, cosine);
      sincosl((static_cast<long double>(p.degrees) + p.tilt) * kPi / 180, &expectedSine, &expectedCosine);
      ASSERT_EQ(BitsOf(sine), BitsOf(expectedSine)) << p.degrees << " " << p.tilt;
      ASSERT_EQ(BitsOf(cosine), BitsOf(expectedCosine)) << p.degrees << " " << p.tilt;
    }
  }
}

// A text's angle is atan2l's, bit for bit, also where it is taken without atan2l: along the axes,
// with zeros of both signs, infinities and NaNs.
TEST(TextAngle, AnswersExactlyWhatAtan2lGives) {
  const std::vector<float> values{0.0f, -0.0f, 1.0f, -1.0f, 2.5f, -1e-30f, 3e30f, INFINITY, -INFINITY, NAN, 7.25f};
  for (float x1 : values) {
    for (float y1 : values) {
      for (float x2 : values) {
        for (float y2 : values) {
          const long double rise = static_cast<long double>(y2) - y1, run = static_cast<long double>(x2) - x1;
          const double expected = static_cast<double>(atan2l(rise, run) * 180 / kPi);
          ASSERT_EQ(std::bit_cast<uint64_t>(TextAngle(x1, y1, x2, y2)), std::bit_cast<uint64_t>(expected))
              << x1 << " " << y1 << " " << x2 << " " << y2;
        }
      }
    }
  }
}

TEST(Scales, EntriesKeepTheirFirstPointAndExtent) {
  TScales table;
  table.AddPoint(1.0f, 10, 20);
  table.AddPoint(1.0f, 5, 30);
  table.AddPoint(1.0f, 15, 25);
  table.AddPoint(100.0f, 1, 1);
  table.AddPoint(100.00001f, 2, 2);  // another key: no tolerance
  ASSERT_EQ(table.Count(), 3);
  const TScaleEntry& first = table.Entries()[0];
  EXPECT_EQ(first.BaseX, 10);
  EXPECT_EQ(first.BaseY, 20);
  EXPECT_EQ(first.MinX, 5);
  EXPECT_EQ(first.MaxX, 15);
  EXPECT_EQ(first.MinY, 20);
  EXPECT_EQ(first.MaxY, 30);
}

// A box is covered only where every point in it would leave the table as it is.
TEST(Scales, CoversABoxOnlyWithinTheExtentAtItsScale) {
  TScales table;
  table.AddPoint(1.0f, NAN, NAN);  // an entry without an extent yet
  table.AddPoint(2.0f, -0.0L, 0);
  table.AddPoint(2.0f, 100, 50);
  struct Case {
    float scale;
    long double xLow, xHigh, yLow, yHigh;
    bool covered;
  } cases[] = {
      {2, 10, 90, 10, 40, true},
      {2, 0, 100, 0, 50, true},  // up to the bounds, +0 against -0 included
      {2, -1, 90, 10, 40, false},
      {2, 10, 101, 10, 40, false},
      {2, 10, 90, -1, 40, false},
      {2, 10, 90, 10, 51, false},
      {2, NAN, 90, 10, 40, false},
      {2, 10, 90, 10, NAN, false},
      {1, 0, 0, 0, 0, false},    // no extent at the scale yet
      {3, 10, 90, 10, 40, false},  // no entry at the scale
  };
  for (const Case& c : cases) {
    EXPECT_EQ(table.Covers(c.scale, c.xLow, c.xHigh, c.yLow, c.yHigh), c.covered)
        << c.scale << " " << static_cast<double>(c.xLow) << " " << static_cast<double>(c.yHigh);
  }
}

TEST(Scales, ComputeDigitsUsesScaleAndFactor) {
  TScales table;
  const long double factor = 420.0L / 518;
  table.AddPoint(1.0f, 0, 5);
  table.AddPoint(1.0f, 100, 5);  // X extent 100 × 420/518 ≈ 81.08: 4 places; Y on one line: 0
  table.AddPoint(50.0f, 0, 0);
  table.AddPoint(50.0f, 100, 1);  // 4054.05 and 40.54: 2 and 4 places
  table.ComputeDigits(factor);
  EXPECT_EQ(table.Entries()[0].DigitsX, 4);
  EXPECT_EQ(table.Entries()[0].DigitsY, 0);
  EXPECT_EQ(table.Entries()[1].DigitsX, 2);
  EXPECT_EQ(table.Entries()[1].DigitsY, 4);
}

TEST(Scales, ConvertRoundsBaseAndOffsetSeparately) {
  TScales table;
  table.AddPoint(1.0f, 10.26f, 0);
  table.AddPoint(1.0f, 20.26f, 0);  // extent 10: 5 places... with factor 100 it is 1000: 3 places
  table.ComputeDigits(100);
  ASSERT_EQ(table.Entries()[0].DigitsX, 3);

  const float base = 10.26f;
  const long double value = 12.3456789L;
  long double offset = (value - base) * 1.0f * 100;
  long double baseValue = static_cast<long double>(base) * 1.0f * 100;

  table.RoundOffsets = false;
  table.RoundBases = false;
  EXPECT_EQ(table.Freeze(100).ConvertX(1.0f, value), offset + baseValue);

  table.RoundBases = true;  // the state of a new table: only the base is rounded
  EXPECT_EQ(table.Freeze(100).ConvertX(1.0f, value), offset + 1026000.0L / 1000);

  table.RoundOffsets = true;
  EXPECT_EQ(table.Freeze(100).ConvertX(1.0f, value), 208.568L + 1026.0L);
  EXPECT_NEAR(static_cast<double>(table.Freeze(100).ConvertX(1.0f, value)), 1234.568, 1e-9);
}

TEST(Scales, UnknownScaleConvertsToZeroAndSinglePointsRoundToWholes) {
  TScales table;
  table.RoundOffsets = table.RoundBases = true;
  table.AddPoint(2.0f, 3.3f, 4.6f);
  table.ComputeDigits(1);
  EXPECT_EQ(table.Freeze(1).ConvertX(5.0f, 123), 0.0L);
  EXPECT_EQ(table.Freeze(1).Find(5.0f), nullptr);
  EXPECT_EQ(table.Freeze(1).ConvertX(2.0f, 3.3f), 7.0L);  // 6.6 at 0 places
  EXPECT_EQ(table.Freeze(1).ConvertY(2.0f, 4.6f), 9.0L);  // 9.2
}

TEST(Scales, AppendingALaterTableEqualsOnePass) {
  struct Point {
    float scale;
    long double x, y;
  };
  const std::vector<Point> points = {
      {1, 5, 5},     {2, -3, 8},  {1, NAN, 2},  {1, 0.1L, 9},  {2, 40, -1},  {3, NAN, NAN},
      {3, 7, 7},     {1, -2, 3},  {2, 1e30L, 0}, {4, 6, 6},     {3, -7, 0.5L}, {1, 100, -100},
  };
  for (std::size_t split = 0; split <= points.size(); ++split) {
    TScales whole, first, later;
    for (std::size_t i = 0; i < points.size(); ++i) {
      whole.AddPoint(points[i].scale, points[i].x, points[i].y);
      (i < split ? first : later).AddPoint(points[i].scale, points[i].x, points[i].y);
    }
    first.Append(later);
    whole.ComputeDigits(0.8L);
    first.ComputeDigits(0.8L);
    ASSERT_EQ(first.Count(), whole.Count()) << split;
    for (std::size_t e = 0; e < whole.Entries().size(); ++e) {
      const TScaleEntry& a = whole.Entries()[e];
      const TScaleEntry& b = first.Entries()[e];
      EXPECT_EQ(a.Scale, b.Scale) << split;
      EXPECT_EQ(std::bit_cast<uint32_t>(a.BaseX), std::bit_cast<uint32_t>(b.BaseX)) << split;
      EXPECT_EQ(std::bit_cast<uint32_t>(a.BaseY), std::bit_cast<uint32_t>(b.BaseY)) << split;
      EXPECT_EQ(a.MinX, b.MinX) << split;
      EXPECT_EQ(a.MaxX, b.MaxX) << split;
      EXPECT_EQ(a.MinY, b.MinY) << split;
      EXPECT_EQ(a.MaxY, b.MaxY) << split;
      EXPECT_EQ(a.DigitsX, b.DigitsX) << split;
      EXPECT_EQ(a.DigitsY, b.DigitsY) << split;
    }
  }
}

// Records at one scale are registered as their first point and the range of the other values:
// the table must be the one their points make added one by one, bit for bit (zeros of both signs
// and NaNs among them), however the points fall into stretches.
TEST(Scales, AStretchAddedAsItsRangeEqualsItsPointsAddedOneByOne) {
  struct Point {
    float scale, x, y;
  };
  const std::vector<Point> points = {
      {1, 5, 5},        {1, NAN, 2},   {1, 0.1f, 9},   {2, -3, 8},         {2, 40, -1},   {2, -0.0f, 0.0f},
      {2, 0.0f, -0.0f}, {3, NAN, NAN}, {3, INFINITY, 7}, {3, -INFINITY, NAN}, {1, -2, 3}, {1, 100, -100},
      {4, 0.0f, 0.0f},  {4, -0.0f, -0.0f}, {3, -7, 0.5f}, {5, 1, -1}, {5, 0.0f, -0.0f}, {5, -0.0f, 0.0f},
      {6, -9, 9}, {6, -5, 5}, {6, -0.0f, 0.0f}, {6, 0.0f, -0.0f},
  };
  for (std::size_t longest = 1; longest <= points.size(); ++longest) {
    TScales single, ranged;
    for (const Point& p : points) single.AddPoint(p.scale, p.x, p.y);
    for (std::size_t i = 0; i < points.size();) {
      std::size_t end = i + 1;
      TValueRange xs, ys;
      for (; end < points.size() && end - i < longest && points[end].scale == points[i].scale; ++end) {
        xs.Add(points[end].x);
        ys.Add(points[end].y);
      }
      ranged.AddPoints(points[i].scale, points[i].x, points[i].y, xs, ys);
      i = end;
    }
    ASSERT_EQ(ranged.Count(), single.Count());
    for (std::size_t e = 0; e < single.Entries().size(); ++e) {
      const TScaleEntry& a = single.Entries()[e];
      const TScaleEntry& b = ranged.Entries()[e];
      for (auto field : {&TScaleEntry::Scale, &TScaleEntry::BaseX, &TScaleEntry::BaseY, &TScaleEntry::MinX,
                         &TScaleEntry::MaxX, &TScaleEntry::MinY, &TScaleEntry::MaxY}) {
        EXPECT_EQ(std::bit_cast<uint32_t>(a.*field), std::bit_cast<uint32_t>(b.*field)) << longest << " " << e;
      }
    }
  }
}

TEST(Scales, ANanFirstPointLeavesNoPlacesButLaterNansAreIgnored) {
  TScales table;
  table.AddPoint(1.0f, NAN, 0);
  table.AddPoint(1.0f, 10, 50);
  table.AddPoint(2.0f, 0, 0);
  table.AddPoint(2.0f, NAN, NAN);
  table.AddPoint(2.0f, 100, 100);
  table.ComputeDigits(1);
  EXPECT_EQ(table.Entries()[0].DigitsX, 0);  // the first X is no number
  EXPECT_EQ(table.Entries()[0].DigitsY, 4);  // an extent of 50
  EXPECT_EQ(table.Entries()[1].DigitsX, 3);  // 100 at scale 2: 200
  EXPECT_EQ(table.Entries()[1].DigitsY, 3);
}

TEST(Scales, GrowsPastThirtyThreeScales) {
  TScales table;
  for (int i = 1; i <= 40; ++i) table.AddPoint(static_cast<float>(i), i, i);
  table.ComputeDigits(1);
  EXPECT_EQ(table.Count(), 40);
  EXPECT_EQ(table.Freeze(1).ConvertX(40.0f, 40), 1600.0L);  // the 40th scale still converts: 40 × 40
}

}  // namespace
}  // namespace torvane
