#include "shape/jwkunit.h"

#include <gtest/gtest.h>

#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "builder/jwkbuilder.h"
#include "builder/sample_part.h"
#include "test_util.h"

namespace torvane {
namespace {

using test::Angle;
using test::TJwkBuilder;
using test::TTempDir;
using test::Why;

bool Read(const std::string& bytes, TJwkData& doc, TReadFailure* failure = nullptr) {
  return ReadJwkBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, doc, failure);
}

// The header values in list order: lines, arcs, points, texts, the three kept values, pool, scale.
struct THeaderValues {
  int32_t sen, enko, ten, moji;
  float value4, value5, value6;
  int32_t pool;
  float scale;
};

void ExpectHeader(const TJwkData::THeader& h, const THeaderValues& v) {
  EXPECT_EQ(h.SenCount, v.sen);
  EXPECT_EQ(h.EnkoCount, v.enko);
  EXPECT_EQ(h.TenCount, v.ten);
  EXPECT_EQ(h.MojiCount, v.moji);
  EXPECT_EQ(h.Value4, v.value4);
  EXPECT_EQ(h.Value5, v.value5);
  EXPECT_EQ(h.Value6, v.value6);
  EXPECT_EQ(h.PoolSize, v.pool);
  EXPECT_EQ(h.Scale, v.scale);
}

// Every field of a record, for comparisons that name the field that differs.
auto Fields(const TSen2& r) {
  return std::tuple(r.X1, r.Y1, r.X2, r.Y2, r.LineType, r.PenColor, r.Layer, r.Attr1, r.Attr2, r.Spare);
}
auto Fields(const TEnko2& r) {
  return std::tuple(r.CX, r.CY, r.Radius, r.Flatness, r.StartAngle, r.EndAngle, r.Tilt, r.LineType, r.PenColor,
                    r.Layer, r.Spare1, r.Attr, r.Spare2);
}
auto Fields(const TTen2& r) { return std::tuple(r.X, r.Y, r.Layer, r.PenColor, r.Attr, r.Spare); }
auto Fields(const TMoji2& r) {
  return std::tuple(r.X1, r.Y1, r.X2, r.Y2, r.PoolAddress, r.MojiShuNo, r.Layer, r.Attr1, r.Attr2);
}

constexpr THeaderValues kDefaults{0, 0, 0, 0, 0, 0, 1, 0, 1};

TEST(JwkSignature, OnlyTheExactPartSignatureCounts) {
  test::TTempDir dir;
  struct Case {
    std::string bytes;
    bool expected;
  } cases[] = {
      {"jw_cad(c)sym........", true},
      {"jw_cad(c)sym........" + std::string(400, '\0'), true},
      {"jw_cad(c)sym.......", false},  // 19 bytes
      {"jw_cad(c)data.......", false},
      {std::string("jw_cad(c)sym\0.......", 20), false},
      {"", false},
  };
  for (const Case& c : cases) {
    std::string path = dir.File("a.jwk");
    test::WriteFile(path, c.bytes);
    EXPECT_EQ(IsJwkFile(path), c.expected) << c.bytes;
  }
  EXPECT_FALSE(IsJwkFile(dir.File("missing.jwk")));
}

TEST(JwkReader, ReadsEverySection) {
  TJwkBuilder b;
  b.title = "TITLE";
  b.memo1 = "\x8b\x8f\x8a\xd4";  // 居間
  b.memo2 = "memo two";
  b.value4 = 2.5f;
  b.value5 = -1;
  b.value6 = 3;
  b.scale = 20;
  b.lines.push_back({1.5f, 2.5f, 3.5f, 4.5f, 2, 3, 0x21, 0x40, 0xC0, 0x99});
  b.arcs.push_back({10, 20, 5, 6000, Angle(180), Angle(-45), Angle(22.5), 4, 5, 0x12, 0x77, 0xF3, 0x88});
  b.points.push_back({7, 8, 0x21, 7, 0x30, 0x55});
  // The segment field means nothing in a part.
  b.AddText({0, 1, 10, 1, 0, 0x1234, 4, 0x10, 0x5F, 0x80}, "\x95\xb6\x8e\x9a");  // 文字
  b.AddText({0, 0, 0, 0, 0, 0, 1, 0, 0, 0}, "two");
  std::string bytes = b.Build();
  // Stored angles are × 65,536: 180 degrees is 00 00 B4 00.
  ASSERT_EQ(test::Hex(bytes.substr(400 + 22 + 14, 4)), "00 00 B4 00");

  TJwkData doc;
  TReadFailure failure;
  ASSERT_TRUE(Read(bytes, doc, &failure)) << Why(failure);
  EXPECT_EQ(Why(failure), "");

  EXPECT_EQ(doc.HeaderBlocks[0], bytes.substr(0, 200));
  EXPECT_EQ(doc.HeaderBlocks[1], bytes.substr(200, 200));
  const TJwkData::THeader& h = doc.Header;
  EXPECT_EQ(h.Title, "jw_cad(c)sym........TITLE" + std::string(15, '\0'));
  EXPECT_EQ(h.Memo1, "\x8b\x8f\x8a\xd4" + std::string(28, '\0'));
  EXPECT_EQ(h.Memo2, "memo two" + std::string(24, '\0'));
  ExpectHeader(h, {1, 1, 1, 2, 2.5f, -1, 3, 9, 20});

  ASSERT_EQ(doc.Sen.size(), 1u);
  EXPECT_EQ(Fields(doc.Sen[0]), Fields(TSen2{1.5f, 2.5f, 3.5f, 4.5f, 2, 3, 0x21, 0x40, 0xC0, 0x99}));
  ASSERT_EQ(doc.Enko.size(), 1u);
  EXPECT_EQ(Fields(doc.Enko[0]), Fields(TEnko2{10, 20, 5, 0.6f, 180, -45, 22.5f, 4, 5, 0x12, 0x77, 0xF3, 0x88}));
  ASSERT_EQ(doc.Ten.size(), 1u);
  EXPECT_EQ(Fields(doc.Ten[0]), Fields(TTen2{7, 8, 0x21, 7, 0x30, 0x55}));
  ASSERT_EQ(doc.Moji.size(), 2u);
  EXPECT_EQ(Fields(doc.Moji[0]), Fields(TMoji2{0, 1, 10, 1, 0, 4, 0x10, 0x5F, 0x80, {}}));
  EXPECT_EQ(doc.Texts.Of(doc.Moji[0].Text), "\x95\xb6\x8e\x9a");
  EXPECT_EQ(doc.Moji[1].PoolAddress, 5);
  EXPECT_EQ(doc.Texts.Of(doc.Moji[1].Text), "two");
}

TEST(JwkReader, TextsAreTakenFromThePoolByOffset) {
  struct Case {
    uint16_t offset;
    std::string text;
  } cases[] = {
      {0, "AB"},
      {2, ""},       // the zero byte itself
      {3, "CDE"},    // runs to the pool's end without a zero byte
      {5, "E"},
      {6, ""},       // at the pool's size
      {40000, ""},   // far beyond it
  };
  TJwkBuilder b;
  b.pool = std::string("AB\0CDE", 6);
  for (const Case& c : cases) b.texts.push_back({0, 0, 0, 0, c.offset, 0, 1});
  b.trail = "FGH";  // bytes after the pool are not read

  TJwkData doc;
  ASSERT_TRUE(Read(b.Build(), doc));
  ASSERT_EQ(doc.Moji.size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(doc.Moji[i].PoolAddress, cases[i].offset);
    EXPECT_EQ(doc.Texts.Of(doc.Moji[i].Text), cases[i].text) << cases[i].offset;
  }

  // No pool: every text is empty and the read succeeds.
  b.poolSize = 0;
  ASSERT_TRUE(Read(b.Build(), doc));
  for (const TMoji2& text : doc.Moji) EXPECT_EQ(doc.Texts.Of(text.Text), "");
}

// A file is read a window at a time; a pool larger than the window widens it and reads whole.
TEST(JwkReader, APoolWiderThanTheReadingWindowReadsFromAFile) {
  TJwkBuilder b;
  b.pool = std::string("AB\0", 3) + std::string(std::size_t{5} << 20, 'x');
  b.texts.push_back({0, 0, 0, 0, 0, 0, 1});
  b.texts.push_back({0, 0, 0, 0, 3, 0, 1});
  const std::string full = b.Build();
  TTempDir folder;
  const std::string path = folder.File("p.jwk");
  struct Case {
    std::size_t size;
    const char* why;
  } cases[] = {{full.size(), ""}, {full.size() - 100, "the file ends inside the text pool"}};
  for (const Case& c : cases) {
    test::WriteFile(path, full.substr(0, c.size));
    TJwkData doc;
    TReadFailure failure;
    EXPECT_EQ(ReadJwk(path, doc, &failure), c.size == full.size());
    EXPECT_EQ(Why(failure), c.why);
    ASSERT_EQ(doc.Moji.size(), 2u);
    EXPECT_EQ(doc.Texts.Of(doc.Moji[0].Text), c.size == full.size() ? "AB" : "");
    EXPECT_EQ(doc.Texts.Of(doc.Moji[1].Text).size(), c.size == full.size() ? std::size_t{5} << 20 : 0);
  }
}

TEST(JwkHeader, ItemsAreConvertedStrictlyInListOrder) {
  struct Case {
    std::string list;
    std::string reason;  // empty: the header parses
    THeaderValues values;
  } cases[] = {
      {"1,2,3,4,0.5,-2,3e1,5,20", "", {1, 2, 3, 4, 0.5f, -2, 30, 5, 20}},
      {"  +1, -2,3,4,  1.5  ,2,1,0,20     ", "", {1, -2, 3, 4, 1.5f, 2, 1, 0, 20}},
      // Item 8 runs to the end of the block: the zero bytes that pad it end its text.
      {"0,0,0,0,0,0,1,0,0.05", "", {0, 0, 0, 0, 0, 0, 1, 0, 0.05f}},
      // Items the list does not reach read as "0".
      {"0,0,0,0,0,0,1,0", "", {0, 0, 0, 0, 0, 0, 1, 0, 0}},
      // A comma after item 7 leaves item 8 the block's zero padding: an empty item.
      {"0,0,0,0,0,0,1,7,", "header item 8 \"\" is not a number", {0, 0, 0, 0, 0, 0, 1, 7, 1}},
      {"5,,0,0,0,0,1,0,1", "header item 1 \"\" is not a whole number", {5, 0, 0, 0, 0, 0, 1, 0, 1}},
      {"5 ,0,0,0,0,0,1,0,1", "header item 0 \"5 \" is not a whole number", kDefaults},
      {"1,2,3,x,9,9,9,9,9", "header item 3 \"x\" is not a whole number", {1, 2, 3, 0, 0, 0, 1, 0, 1}},
      {"1,2,3,4,9,abc,9,9,9", "header item 5 \"abc\" is not a number", {1, 2, 3, 4, 9, 0, 1, 0, 1}},
      {"0,0,0,0,0,0,1,1e2,4", "header item 7 \"1e2\" is not a whole number", kDefaults},
      {"0,0,0,0,0,0,1,0,20 x", "header item 8 \"20 x\" is not a number", kDefaults},
      {"2147483648,0,0,0,0,0,1,0,1", "header item 0 \"2147483648\" is not a whole number", kDefaults},
      {"", "header item 0 \"\" is not a whole number", kDefaults},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    TJwkData doc;
    doc.HeaderBlocks = {TJwkBuilder().Block0(), c.list + std::string(200 - c.list.size(), '\0')};
    TReadFailure failure;
    EXPECT_EQ(ParseJwkHeader(doc, &failure), c.reason.empty());
    EXPECT_EQ(Why(failure), c.reason);
    EXPECT_EQ(doc.Header.Title, "jw_cad(c)sym........" + std::string(20, '\0'));
    ExpectHeader(doc.Header, c.values);
  }
}

TEST(JwkReader, ABadHeaderItemEndsTheReadBeforeAnyArray) {
  TJwkBuilder b;
  b.lines.resize(2);
  b.rawList = "2,0,0,0,0,0,1,0";
  TJwkData doc;
  ASSERT_TRUE(Read(b.Build(), doc));  // eight items leave Scale at 0
  EXPECT_EQ(doc.Header.Scale, 0);
  EXPECT_EQ(doc.Sen.size(), 2u);

  b.rawList = "2,0,0,0,0,0,1,0 ,1";
  TReadFailure failure;
  EXPECT_FALSE(Read(b.Build(), doc, &failure));
  EXPECT_EQ(Why(failure), "header item 7 \"0 \" is not a whole number");
  EXPECT_EQ(doc.Header.SenCount, 2);
  EXPECT_TRUE(doc.Sen.empty());
}

TEST(JwkReader, CountsAreCheckedAgainstTheFileBeforeTheirArraysAreSized) {
  // One record of each kind: 22 + 32 + 12 + 24 = 90 bytes after the header.
  TJwkBuilder base;
  base.lines.resize(1);
  base.arcs.resize(1);
  base.points.resize(1);
  base.texts.resize(1);
  struct Case {
    const char* name;
    std::optional<int32_t> sen, enko, ten, moji;
    std::string reason;
    std::size_t sized[4];  // Sen, Enko, Ten, Moji
  } cases[] = {
      {"negative line count", -1, {}, {}, {}, "the count of the line records, -1, is negative", {0, 0, 0, 0}},
      {"negative arc count", {}, -5, {}, {}, "the count of the arc records, -5, is negative", {1, 0, 0, 0}},
      {"points beyond the file", {}, {}, 8, {},
       "the count of the point records, 8, needs 96 bytes, but the file holds only 90 after its header", {1, 1, 0, 0}},
      {"texts beyond the file", {}, {}, {}, 4,
       "the count of the text records, 4, needs 96 bytes, but the file holds only 90 after its header", {1, 1, 1, 0}},
      {"the largest count", {}, {}, {}, 2147483647,
       "the count of the text records, 2147483647, needs 51539607528 bytes, but the file holds only 90 after its header",
       {1, 1, 1, 0}},
      // Each count alone fits; the records together do not.
      {"records cut short", 4, {}, {}, {}, "the file ends inside the arc records", {4, 1, 1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TJwkBuilder b = base;
    b.senCount = c.sen;
    b.enkoCount = c.enko;
    b.tenCount = c.ten;
    b.mojiCount = c.moji;
    TJwkData doc;
    TReadFailure failure;
    EXPECT_FALSE(Read(b.Build(), doc, &failure));
    EXPECT_EQ(Why(failure), c.reason);
    EXPECT_EQ(doc.Sen.size(), c.sized[0]);
    EXPECT_EQ(doc.Enko.size(), c.sized[1]);
    EXPECT_EQ(doc.Ten.size(), c.sized[2]);
    EXPECT_EQ(doc.Moji.size(), c.sized[3]);
  }
}

TEST(JwkReader, AFileCutInsideTheArcRecordsKeepsTheCompleteOnes) {
  TJwkBuilder b;
  b.lines = {{1, 1, 2, 2}, {3, 3, 4, 4}};
  b.arcs = {{10, 10, 1, 10000, 0, 0, 0, 1, 1}, {20, 20, 2, 10000, 0, 0, 0, 1, 2}, {30, 30, 3}};
  b.points = {{5, 5, 0, 3}};
  b.AddText({1, 1, 2, 1, 0, 0, 1}, "A");
  std::string whole = b.Build();
  // Lines (44 bytes), the first arc (32) and 20 bytes of the second: 96 bytes, enough for each
  // count alone (arcs need 96).
  std::string cut = whole.substr(0, 400 + 44 + 32 + 20);

  TJwkData doc;
  TReadFailure failure;
  EXPECT_FALSE(Read(cut, doc, &failure));
  EXPECT_EQ(Why(failure), "the file ends inside the arc records");
  ASSERT_EQ(doc.Sen.size(), 2u);
  EXPECT_EQ(doc.Sen[1].X2, 4);
  ASSERT_EQ(doc.Enko.size(), 3u);
  EXPECT_EQ(doc.Enko[0].CX, 10);
  EXPECT_EQ(doc.Enko[0].Flatness, 1.0f);
  EXPECT_EQ(Fields(doc.Enko[1]), Fields(TEnko2{}));
  EXPECT_EQ(Fields(doc.Enko[2]), Fields(TEnko2{}));
  ASSERT_EQ(doc.Ten.size(), 1u);
  EXPECT_EQ(Fields(doc.Ten[0]), Fields(TTen2{}));
  ASSERT_EQ(doc.Moji.size(), 1u);
  EXPECT_EQ(Fields(doc.Moji[0]), Fields(TMoji2{}));
}

TEST(JwkReader, ShortFilesAndPoolsFailWhereTheyEnd) {
  TJwkBuilder b;
  b.points = {{5, 6}};
  b.AddText({1, 1, 2, 1, 0, 0, 1}, "ABC");
  std::string whole = b.Build();  // 400 + 12 + 24 + 4 bytes
  struct Case {
    std::size_t size;
    std::string reason;
  } cases[] = {
      {20, "the file ends inside header block 0"},
      {399, "the file ends inside header block 1"},
      {400 + 30, "the file ends inside the text records"},
      {400 + 36 + 3, "the file ends inside the text pool"},
  };
  for (const Case& c : cases) {
    TJwkData doc;
    TReadFailure failure;
    EXPECT_FALSE(Read(whole.substr(0, c.size), doc, &failure)) << c.size;
    EXPECT_EQ(Why(failure), c.reason);
  }

  // A cut pool leaves every text empty; the records before it are read.
  TJwkData doc;
  EXPECT_FALSE(Read(whole.substr(0, 400 + 36 + 3), doc));
  ASSERT_EQ(doc.Moji.size(), 1u);
  EXPECT_EQ(doc.Moji[0].X2, 2);
  EXPECT_EQ(doc.Texts.Of(doc.Moji[0].Text), "");
  EXPECT_EQ(doc.Ten.at(0).Y, 6);

  ASSERT_TRUE(Read(whole, doc));
  EXPECT_EQ(doc.Texts.Of(doc.Moji[0].Text), "ABC");
}

TEST(JwkReader, APartWithoutEntitiesIsFourHundredBytes) {
  std::string bytes = TJwkBuilder().Build();
  ASSERT_EQ(bytes.size(), 400u);
  TJwkData doc;
  doc.Sen.resize(3);  // what an earlier read left
  ASSERT_TRUE(Read(bytes, doc));
  ExpectHeader(doc.Header, kDefaults);
  EXPECT_TRUE(doc.Sen.empty() && doc.Enko.empty() && doc.Ten.empty() && doc.Moji.empty());
}

TEST(JwkReader, ReadsFilesAndFailsOnAMissingOne) {
  test::TTempDir dir;
  std::string path = dir.File("desk.jwk");
  test::WriteFile(path, test::SamplePartJwk());
  ASSERT_TRUE(IsJwkFile(path));
  TJwkData doc;
  TReadFailure failure;
  ASSERT_TRUE(ReadJwk(path, doc, &failure)) << Why(failure);
  EXPECT_EQ(doc.Header.Scale, 20);
  EXPECT_EQ(doc.Texts.Of(doc.Moji.at(1).Text), "\x82\xa2\x82\xb7");  // いす
  EXPECT_EQ(LoadSummaryLines(JwkSummary(path, doc)),
            (std::vector<std::string>{path, "", "直線の数　 = 5", "円弧の数　 = 3", "文字列の数 = 5",
                                      "実点の数　 = 2"}));

  EXPECT_FALSE(ReadJwk(dir.File("missing.jwk"), doc, &failure));
  EXPECT_EQ(failure.Reason, TReadReason::CannotOpen);
  EXPECT_TRUE(doc.Sen.empty());
  ExpectHeader(doc.Header, kDefaults);
}

TEST(JwkSummary, ShowsTheHeaderCountsEvenAfterAFailedRead) {
  TJwkBuilder b;
  b.senCount = 7;
  b.enkoCount = 3;
  b.tenCount = 2;
  b.mojiCount = 1;
  TJwkData doc;
  EXPECT_FALSE(Read(b.Build(), doc));
  EXPECT_EQ(LoadSummaryLines(JwkSummary("/parts/a.jwk", doc)),
            (std::vector<std::string>{"/parts/a.jwk", "", "直線の数　 = 7", "円弧の数　 = 3", "文字列の数 = 1",
                                      "実点の数　 = 2"}));
}

TEST(JwkReset, RestoresTheDefaults) {
  TJwkData doc;
  ASSERT_TRUE(Read(test::SamplePartJwk(), doc));
  ResetJwk(doc);
  ExpectHeader(doc.Header, kDefaults);
  EXPECT_EQ(doc.Header.Title, "");
  EXPECT_EQ(doc.Header.Memo1, "");
  EXPECT_EQ(doc.HeaderBlocks[0], "");
  EXPECT_EQ(doc.HeaderBlocks[1], "");
  EXPECT_TRUE(doc.Sen.empty() && doc.Enko.empty() && doc.Ten.empty() && doc.Moji.empty());
}

}  // namespace
}  // namespace torvane
