#include "drawing/jwcunit.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <span>
#include <string>

#include "builder/filebuilder.h"
#include "test_util.h"

namespace torvane {
namespace {

using test::TJwcBuilder;
using test::TTempDir;
using test::Why;

std::span<const uint8_t> AsBytes(const std::string& bytes) {
  return {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
}

bool Read(const std::string& bytes, TJwcData& doc, TReadFailure* failure = nullptr) {
  return ReadJwcBytes(AsBytes(bytes), doc, failure);
}

TEST(JwcSignature, OnlyTheExactDrawingSignatureCounts) {
  test::TTempDir dir;
  struct Case {
    std::string bytes;
    bool expected;
  } cases[] = {
      {"jw_cad(c)data.......", true},
      {"jw_cad(c)data......." + std::string(500, 'x'), true},
      {"JW_CAD(C)DATA.......", false},
      {"jw_cad(c)data......", false},  // 19 bytes
      {"jw_cad(c)sym........", false},
      {"", false},
  };
  for (const Case& c : cases) {
    std::string path = dir.File("a.jwc");
    test::WriteFile(path, c.bytes);
    EXPECT_EQ(IsJwcFile(path), c.expected) << c.bytes;
  }
  EXPECT_FALSE(IsJwcFile(dir.File("missing.jwc")));
}

TEST(JwcReader, ASignatureAloneReadsAsFailedWithDefaults) {
  test::TTempDir dir;
  std::string path = dir.File("short.jwc");
  test::WriteFile(path, "jw_cad(c)data.......");
  TJwcData doc;
  TReadFailure failure;
  EXPECT_FALSE(ReadJwc(path, doc, &failure));
  EXPECT_EQ(Why(failure), "the file ends inside header block 0");
  EXPECT_FALSE(failure.MissingNameTables());
  EXPECT_EQ(LoadSummaryLines(JwcSummary("/x/short.jwc", doc)),
            (std::vector<std::string>{"/x/short.jwc", "", "", "", "直線の数　 = 0", "円弧の数　 = 0",
                                      "文字列の数 = 0", "実点の数　 = 0", "仮想点の数 = 0"}));
  EXPECT_FALSE(ReadJwc(dir.File("missing.jwc"), doc, &failure));
}

TEST(JwcReader, ReadsEverySection) {
  TJwcBuilder b;
  b.memo1 = "Memo one";
  b.memo2 = "\x8b\x8f\x8a\xd4";
  b.paperSize = 2;
  b.groupScales[1] = 50;
  b.groupNames[1] = "Plan";
  b.groupNames[2] = "";
  b.layerNames[17] = "ABCDEFGH";  // fills its 8-byte field
  b.groupState1[3] = 5;
  b.layerState2[200] = 9;
  b.groupWriteLayer[4] = 0x47;
  b.charTypes[10] = {7, 100, 90, -5};
  b.virtualPoints = {{1.5f, 2.5f, 0x12}};
  b.lines.push_back({1, 2, 3, 4, 2, 3, 0x11, 0x40, 0xC0, 0x99});
  b.arcs.push_back({10, 20, 5, 5000, test::Angle(90), test::Angle(-45), test::Angle(30), 1, 2, 0x10, 0, 0xF0});
  b.points.push_back({7, 8, 0x21, 7, 0x30});
  b.AddText({0, 0, 10, 0, 0, 0, 4, 0x10, 0x50, 0x80}, "\x95\xb6\x8e\x9a");
  b.AddText({0, 0, 10, 0, 0, 0, 1, 0}, "two");

  TJwcData doc;
  ASSERT_TRUE(Read(b.Build(), doc));
  const TJwcData::THeader& h = doc.Header;
  EXPECT_EQ(h.Memo1, std::string("Memo one") + std::string(24, '\0'));
  EXPECT_EQ(h.Title.substr(0, 20), kJwcSignature);
  EXPECT_TRUE(h.RealScales);
  EXPECT_EQ(h.PaperSize(), 2);
  EXPECT_EQ(h.SenCount(), 1);
  EXPECT_EQ(h.KasoTenCount(), 1);
  EXPECT_EQ(doc.KasoTen[0].X, 1.5f);
  EXPECT_EQ(doc.KasoTen[0].Layer, 0x12);
  EXPECT_EQ(doc.MojiShu[10].Color, 7);
  EXPECT_EQ(doc.MojiShu[10].Height, 90);
  EXPECT_EQ(doc.MojiShu[10].Spacing, -5);
  EXPECT_EQ(doc.GLayers[1].Scale, 50.0f);
  EXPECT_EQ(doc.GLayers[1].Name, "Plan");
  EXPECT_EQ(doc.GLayers[2].Name, "");
  EXPECT_EQ(doc.GLayers[3].State1, 5);
  EXPECT_EQ(doc.GLayers[4].WriteLayer, 0x47);
  EXPECT_EQ(doc.Layers[17].Name, "ABCDEFGH");
  EXPECT_EQ(doc.Layers[200].State2, 9);

  ASSERT_EQ(doc.Sen.size(), 1u);
  const TSen2& line = doc.Sen[0];
  EXPECT_EQ(line.X2, 3.0f);
  EXPECT_EQ(line.Layer, 0x11);
  EXPECT_EQ(line.Attr2, 0xC0);
  EXPECT_EQ(line.Spare, 0x99);

  ASSERT_EQ(doc.Enko.size(), 1u);
  const TEnko2& arc = doc.Enko[0];
  EXPECT_EQ(arc.Flatness, 0.5f);
  EXPECT_EQ(arc.StartAngle, 90.0f);
  EXPECT_EQ(arc.EndAngle, -45.0f);
  EXPECT_EQ(arc.Tilt, 30.0f);
  EXPECT_EQ(arc.Attr, 0xF0);

  ASSERT_EQ(doc.Ten.size(), 1u);
  EXPECT_EQ(doc.Ten[0].PenColor, 7);
  EXPECT_EQ(doc.Ten[0].Attr, 0x30);

  ASSERT_EQ(doc.Moji.size(), 2u);
  EXPECT_EQ(doc.Texts.Of(doc.Moji[0].Text), "\x95\xb6\x8e\x9a");
  EXPECT_EQ(doc.Moji[0].PoolAddress, 0x60000);
  EXPECT_EQ(doc.Moji[0].MojiShuNo, 4);
  EXPECT_EQ(doc.Moji[0].Attr2, 0x80);
  EXPECT_EQ(doc.Texts.Of(doc.Moji[1].Text), "two");
  EXPECT_EQ(doc.Moji[1].PoolAddress, 0x60005);

  EXPECT_EQ(LoadSummaryLines(JwcSummary("p.jwc", doc)),
            (std::vector<std::string>{"p.jwc", "", "Memo one", "居間", "直線の数　 = 1", "円弧の数　 = 1",
                                      "文字列の数 = 2", "実点の数　 = 1", "仮想点の数 = 1"}));
}

TEST(JwcReader, ScaleStorageDecidesWhereTheLinesStart) {
  for (bool real : {true, false}) {
    TJwcBuilder b;
    b.realScales = real;
    b.groupScales[0] = 100;
    b.lines.push_back({1, 2, 3, 4});
    std::string bytes = b.Build();
    std::size_t linesAt = real ? 2421 : 2389;
    std::string expectedLine = test::Bytes("00 00 80 3F 00 00 00 40 00 00 40 40 00 00 80 40");
    EXPECT_EQ(bytes.substr(linesAt, 16), expectedLine) << real;
    TJwcData doc;
    ASSERT_TRUE(Read(bytes, doc));
    EXPECT_EQ(doc.GLayers[0].Scale, 100.0f);
    EXPECT_EQ(doc.Sen.at(0).X1, 1.0f);
  }
}

TEST(JwcHeader, ListItemsConvertByPosition) {
  TJwcBuilder b;
  b.rawList1 = "3,1,2,0,0";  // followed by zero bytes
  TJwcData doc;
  TReadFailure failure;
  EXPECT_FALSE(Read(b.Build(), doc, &failure));  // the file holds none of these records
  const TJwcData::THeader& h = doc.Header;
  EXPECT_EQ(h.SenCount(), 3);
  EXPECT_EQ(h.EnkoCount(), 1);
  EXPECT_EQ(h.MojiCount(), 2);
  for (std::size_t i = 5; i < 30; ++i) {
    EXPECT_EQ(h.List1[i].Int, 0) << i;
    EXPECT_EQ(h.List1[i].Real, 0.0f) << i;
  }
  EXPECT_EQ(h.PaperSpan(), 518);

  struct Case {
    std::string list;
    int32_t senCount;
    float item9;
  } cases[] = {
      {"1.5,0,0,0,0,0,0,0,0,12", 0, 12.0f},  // 1.5 is no whole number; 12 is a fine real
      {"2,0,0,0,0,0,0,0,0,7.25" + std::string(50, ' '), 2, 0.0f},  // blanks spoil the last item
      {"0,,0,0,0,0,0,0,0,1e1", 0, 10.0f},
  };
  for (const Case& c : cases) {
    b.rawList1 = c.list;
    Read(b.Build(), doc);
    EXPECT_EQ(doc.Header.SenCount(), c.senCount) << c.list;
    EXPECT_EQ(doc.Header.List1[9].Real, c.item9) << c.list;
  }
}

TEST(JwcReader, TextsComeFromThePool) {
  TJwcBuilder b;
  b.rawList3 = "6000:0000,6000:0010";
  b.pool = std::string("abc\0defghijklmn\0", 16);
  b.texts.push_back({0, 0, 0, 0, 0x0004, 0x6000});  // pool byte 4
  b.texts.push_back({0, 0, 0, 0, 3, 0});             // below the pool: the address is the offset
  b.texts.push_back({0, 0, 0, 0, 0x0010, 0x6000});   // just past the pool: empty
  b.texts.push_back({0, 0, 0, 0, 0xFFFF, 0xFFFF});   // far past it: empty
  TJwcData doc;
  ASSERT_TRUE(Read(b.Build(), doc));
  EXPECT_EQ(doc.Header.PoolStart(), 0x60000);
  EXPECT_EQ(doc.Header.PoolEnd(), 0x60010);
  EXPECT_EQ(doc.Texts.Of(doc.Moji[0].Text), "defghijklmn");
  EXPECT_EQ(doc.Texts.Of(doc.Moji[1].Text), "");  // pool byte 3 is the zero after "abc"
  EXPECT_EQ(doc.Texts.Of(doc.Moji[2].Text), "");
  EXPECT_EQ(doc.Texts.Of(doc.Moji[3].Text), "");

  b.pool = std::string("xyz", 3);  // no zero byte: the text ends with the pool
  b.rawList3 = "6000:0000,6000:0003";
  b.texts = {{0, 0, 0, 0, 1, 0x6000}};
  ASSERT_TRUE(Read(b.Build(), doc));
  EXPECT_EQ(doc.Texts.Of(doc.Moji[0].Text), "yz");
}

TEST(JwcReader, TextsSharingOneLongRunCannotExhaustMemory) {
  // 1,100 texts at the start of a 64 KiB pool without a zero byte would copy 72 MB.
  TJwcBuilder b;
  b.pool = std::string(65536, 'x');
  b.rawList3 = "6000:0000,7000:0000";
  b.texts.assign(1100, test::TTextRec{0, 0, 0, 0, 0, 0x6000});
  TJwcData doc;
  TReadFailure failure;
  EXPECT_FALSE(Read(b.Build(), doc, &failure));
  EXPECT_NE(Why(failure).find("the texts would take 72089600 bytes"), std::string::npos) << Why(failure);
  EXPECT_EQ(doc.Texts.Of(doc.Moji.at(0).Text), "");

  b.texts.resize(10);  // 640 KiB of texts is fine
  ASSERT_TRUE(Read(b.Build(), doc));
  EXPECT_EQ(doc.Texts.Of(doc.Moji.at(9).Text).size(), 65536u);
}

TEST(JwcReader, CountsThatCannotFitEndTheReadBeforeAnythingIsSized) {
  TJwcBuilder b;
  b.lines.resize(2);
  b.enkoCount = 100000000;  // 3.2 GB of arcs
  TJwcData doc;
  TReadFailure failure;
  EXPECT_FALSE(Read(b.Build(), doc, &failure));
  EXPECT_EQ(doc.Sen.size(), 2u);  // sized before the arcs were refused
  EXPECT_TRUE(doc.Enko.empty());
  EXPECT_TRUE(doc.Moji.empty());
  EXPECT_NE(Why(failure).find("the arc records, 100000000, needs"), std::string::npos) << Why(failure);

  b.enkoCount = -5;
  EXPECT_FALSE(Read(b.Build(), doc, &failure));
  EXPECT_NE(Why(failure).find("negative"), std::string::npos) << Why(failure);
}

TEST(JwcReader, TruncationKeepsCompleteRecordsAndNamesTheSection) {
  TJwcBuilder b;
  for (int i = 0; i < 3; ++i) b.lines.push_back({float(i), 0, 1, 1});
  b.points.push_back({5, 6});
  std::string full = b.Build();
  const std::size_t linesAt = 2421, pointsAt = 2421 + 3 * 22, namesAt = pointsAt + 12;
  ASSERT_EQ(full.size(), namesAt + 256 * 8 + 16 * 16);

  struct Case {
    std::size_t size;
    const char* reason;
    bool missingNames;
  } cases[] = {
      {700, "the file ends inside header block 3", false},
      {1000, "the file ends inside the virtual points", false},
      {linesAt + 30, "the file ends inside the line records", false},
      {pointsAt + 4, "the file ends inside the real-point records", false},
      {namesAt, "the file ends before the layer names (a drawing of an older DOS edition)", true},
      {namesAt + 100, "the file ends inside the layer names", false},
      {full.size() - 1, "the file ends inside the layer-group names", false},
  };
  for (const Case& c : cases) {
    TJwcData doc;
    TReadFailure failure;
    EXPECT_FALSE(Read(full.substr(0, c.size), doc, &failure)) << c.size;
    EXPECT_EQ(Why(failure), c.reason);
    EXPECT_EQ(failure.MissingNameTables(), c.missingNames) << c.size;
  }

  TJwcData doc;
  Read(full.substr(0, linesAt + 30), doc);
  ASSERT_EQ(doc.Sen.size(), 3u);
  EXPECT_EQ(doc.Sen[0].X1, 0.0f);
  EXPECT_EQ(doc.Sen[0].X2, 1.0f);  // the complete first record
  EXPECT_EQ(doc.Sen[1].X2, 0.0f);  // the cut one stays zero
}

// A document read again keeps its arrays' memory: what the cut file does not hold is zero, never
// a record of the drawing read before.
TEST(JwcReader, ACutFileReadOverAnotherLeavesNothingOfIt) {
  TJwcBuilder b;
  for (int i = 0; i < 3; ++i) b.lines.push_back({float(i + 1), 2, 3, 4});
  b.points.push_back({5, 6});
  std::string full = b.Build();
  const std::size_t linesAt = 2421;
  TJwcData doc;
  ASSERT_TRUE(Read(full, doc));
  EXPECT_FALSE(Read(full.substr(0, linesAt + 30), doc));
  ASSERT_EQ(doc.Sen.size(), 3u);
  ASSERT_EQ(doc.Ten.size(), 1u);
  EXPECT_EQ(doc.Sen[0].X1, 1.0f);
  for (std::size_t i : {1u, 2u}) {
    EXPECT_EQ(doc.Sen[i].X1, 0.0f) << i;  // cut
    EXPECT_EQ(doc.Sen[i].Y2, 0.0f) << i;
  }
  EXPECT_EQ(doc.Ten[0].X, 0.0f);  // never reached
  EXPECT_EQ(doc.Ten[0].Y, 0.0f);
}

// A file is read a window of a few megabytes at a time: records that straddle a window's edge, a
// file cut anywhere, and memory kept from a larger or smaller file before read as the same bytes
// in memory do.
TEST(JwcReader, AFileReadsAsItsBytesInMemory) {
  TJwcBuilder b;
  for (int i = 0; i < 200000; ++i) b.lines.push_back({float(i), float(-i), float(i) / 8, 1, 1, 1, static_cast<uint8_t>(i % 256)});
  b.arcs.push_back({1, 2, 3});
  b.points.push_back({5, 6});
  b.AddText({1, 2, 3, 4}, "abc");
  b.layerNames[0] = "wall";
  const std::string full = b.Build();
  const std::size_t window = std::size_t{4} << 20;
  ASSERT_GT(full.size(), window + 4000);
  TTempDir folder;
  const std::string path = folder.File("d.jwc");
  TFileBytes kept;
  for (std::size_t size : {full.size(), window, window + 11, full.size() - 300, std::size_t{3000}, full.size()}) {
    test::WriteFile(path, full.substr(0, size));
    TJwcData fromFile, fromMemory;
    TReadFailure fileFailure, memoryFailure;
    TInputFile file(path);
    bool fileComplete = ReadJwc(file, kept, fromFile, &fileFailure);
    EXPECT_EQ(fileComplete, Read(full.substr(0, size), fromMemory, &memoryFailure)) << size;
    EXPECT_EQ(Why(fileFailure), Why(memoryFailure)) << size;
    EXPECT_EQ(fileFailure.Offset, memoryFailure.Offset) << size;
    ASSERT_EQ(fromFile.Sen.size(), fromMemory.Sen.size()) << size;
    for (std::size_t i = 0; i < fromFile.Sen.size(); ++i) {
      const TSen2 &a = fromFile.Sen[i], &m = fromMemory.Sen[i];
      ASSERT_TRUE(a.X1 == m.X1 && a.Y1 == m.Y1 && a.X2 == m.X2 && a.Y2 == m.Y2 && a.Layer == m.Layer) << size << " " << i;
    }
    ASSERT_EQ(fromFile.Ten.size(), fromMemory.Ten.size()) << size;
    if (!fromFile.Ten.empty()) {
      EXPECT_EQ(fromFile.Ten[0].X, fromMemory.Ten[0].X) << size;
    }
    EXPECT_EQ(fromFile.Layers[0].Name, fromMemory.Layers[0].Name) << size;
    if (size == full.size()) {
      EXPECT_TRUE(fileComplete);
      EXPECT_EQ(fromFile.Texts.Of(fromFile.Moji.at(0).Text), "abc");
    }
  }
}

// A file cut after it was opened, its size already taken, ends where the read finds its end:
// the records read before stay, the rest are zero; also where the cut falls within either half of
// a window read in two halves at once.
TEST(JwcReader, AFileCutWhileItIsReadKeepsWhatWasRead) {
  TJwcBuilder b;
  for (int i = 0; i < 200000; ++i) b.lines.push_back({float(i), float(-i), float(i) / 8, 1, 1, 1, static_cast<uint8_t>(i % 256)});
  const std::string full = b.Build();
  TJwcData whole;
  ASSERT_TRUE(Read(full, whole));
  // Line 1 is the floats 1, -1, 0.125 at the start of the second record.
  const float second[3] = {1.0f, -1.0f, 0.125f};
  const std::size_t linesStart = full.find(std::string(reinterpret_cast<const char*>(second), sizeof second)) - 22;
  TTempDir folder;
  const std::string path = folder.File("d.jwc");
  TFileBytes kept;
  const std::size_t megabyte = std::size_t{1} << 20;
  for (std::size_t size : {megabyte + 7, 3 * megabyte + 5, (std::size_t{4} << 20) + 11}) {
    test::WriteFile(path, full);
    TInputFile file(path);
    ASSERT_TRUE(file.IsRegular());
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(size)), 0);
    TJwcData doc;
    TReadFailure failure;
    EXPECT_FALSE(ReadJwc(file, kept, doc, &failure)) << size;
    EXPECT_EQ(Why(failure), "the file ends inside the line records") << size;
    ASSERT_EQ(doc.Sen.size(), whole.Sen.size()) << size;
    const std::size_t read = (size - linesStart) / 22;
    for (std::size_t i = 0; i < doc.Sen.size(); ++i) {
      const TSen2 &a = doc.Sen[i], &w = whole.Sen[i];
      if (i < read) {
        ASSERT_TRUE(a.X1 == w.X1 && a.Y1 == w.Y1 && a.X2 == w.X2 && a.Layer == w.Layer) << size << " " << i;
      } else {
        ASSERT_TRUE(a.X1 == 0 && a.Y1 == 0 && a.X2 == 0 && a.Layer == 0) << size << " " << i;
      }
    }
  }
}

TEST(JwcReader, EveryReadStartsFromTheDefaults) {
  TJwcBuilder b;
  b.lines.resize(4);
  b.layerNames[3] = "old";
  TJwcData doc;
  ASSERT_TRUE(Read(b.Build(), doc));
  ASSERT_FALSE(Read("jw_cad(c)data.......", doc));
  EXPECT_TRUE(doc.Sen.empty());
  EXPECT_EQ(doc.Layers[3].Name, "");
  EXPECT_EQ(doc.Header.PaperSize(), 3);
  EXPECT_EQ(doc.Header.List1[30].Int, 518);
  EXPECT_EQ(doc.Header.PoolStart(), 0x60000);
}

}  // namespace
}  // namespace torvane
