#include "shape/jwsunit.h"

#include <gtest/gtest.h>

#include <bit>
#include <filesystem>
#include <string>

#include "builder/filebuilder.h"
#include "builder/writefiles.h"
#include "support/ioerror.h"
#include "test_util.h"

namespace torvane {
namespace {

using test::Bytes;
using test::Hex;
using test::WriteJws;

std::string Written(const TJwsData& doc) {
  test::TMemorySink sink;
  WriteJwsTo(sink, doc);
  return sink.bytes;
}

// The little-endian bytes of a double, made here without the archive writer.
std::string D(double value) {
  uint64_t bits = std::bit_cast<uint64_t>(value);
  std::string bytes;
  for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<char>(bits >> (8 * i)));
  return bytes;
}

// "JwsData." and 192 full stops.
const std::string kLead = "JwsData." + std::string(192, '.');

// The 252 bytes of numbers of a document at its reset values.
const std::string kResetNumbers = Bytes("E6 00 00 00") + std::string(16 + 128, '\0') +
                                  Bytes("01 00 00 00 02 00 00 00 03 00 00 00 04 00 00 00 05 00 00 00 06 00 00 00") +
                                  Bytes("00 00 00 00 00 00 F0 3F 00 00 00 00 00 00 00 40 00 00 00 00 00 00 08 40 "
                                        "00 00 00 00 00 00 10 40 00 00 00 00 00 00 14 40 00 00 00 00 00 00 18 40") +
                                  std::string(32, '\0');

TEST(JwsWriter, AnEmptyDocumentIs456Bytes) {
  TJwsData doc;
  doc.MinX = 5;
  doc.HeaderInts[0] = 9;
  doc.Sen.resize(2);
  ResetJwsDocument(doc);
  EXPECT_TRUE(doc.Sen.empty());
  std::string bytes = Written(doc);
  ASSERT_EQ(bytes.size(), 456u);
  EXPECT_EQ(Hex(bytes), Hex(kLead + kResetNumbers + Bytes("00 00 00 00")));
}

TEST(JwsWriter, HeaderNumbersFollowTheLeadBlockInOrder) {
  TJwsData doc;
  doc.Version = 7;
  doc.LeadReals = {1.5, -1};
  doc.LayerGroupScales.fill(20);
  doc.LayerGroupScales[15] = 0.5;
  doc.HeaderInts[5] = -1;
  doc.HeaderReals[0] = 0.25;
  doc.MinX = -1;
  doc.MinY = -2;
  doc.MaxX = 3;
  doc.MaxY = 4;
  std::string scales;
  for (int i = 0; i < 15; ++i) scales += D(20);
  std::string expected = kLead + Bytes("07 00 00 00") + D(1.5) + D(-1) + scales + D(0.5) +
                         Bytes("01 00 00 00 02 00 00 00 03 00 00 00 04 00 00 00 05 00 00 00 FF FF FF FF") + D(0.25) +
                         D(2) + D(3) + D(4) + D(5) + D(6) + D(-1) + D(-2) + D(3) + D(4) + Bytes("00 00 00 00");
  EXPECT_EQ(Hex(Written(doc)), Hex(expected));
}

TEST(JwsWriter, OneLineOnly) {
  TJwsData doc;
  doc.Sen.resize(1);
  doc.Sen[0] = TSSen{{.Group = 3, .PenStyle = 2, .PenColor = 0x0107, .Layer = 4, .LayerGroup = 5, .Flags = 0x40C0},
                     1.0, -2.0, 0.5, 0};
  doc.SenCount = doc.TotalCount = 1;
  std::string bytes = Written(doc);
  ASSERT_EQ(bytes.size(), 452u + 2 + 6 + 8 + 45 + 2);
  EXPECT_EQ(Hex(bytes.substr(452)), Hex(Bytes("01 00 FF FF E6 00 08 00") + "CDataSen" +
                                        Bytes("03 00 00 00 02 07 01 04 00 05 00 C0 40") + D(1.0) + D(-2.0) + D(0.5) +
                                        D(0) + Bytes("00 00")));
}

TEST(JwsWriter, PointsAndATextTakeTheirClassIndexes) {
  TJwsData doc;
  doc.Ten.resize(2);
  doc.Ten[0] = TSTen{{.PenStyle = 1, .PenColor = 9, .Layer = 1, .LayerGroup = 2, .Flags = 0x90}, 1.5, 2.5, 0};
  doc.Ten[1] = TSTen{{.PenStyle = 1, .PenColor = 8}, -1, 0, 1};
  doc.Moji.resize(1);
  TSMoji& text = doc.Moji[0];
  text.Header = {.PenStyle = 1, .PenColor = 2, .Layer = 3, .LayerGroup = 4, .Flags = 0x8130};
  text.X2 = 10;
  text.MojiType = 11;
  text.SizeX = text.SizeY = 3;
  text.Spacing = 0.5;
  text.Angle = 90;
  text.Text = doc.Texts.Add(std::string(300, 'x'));  // the long length form; the empty font name is one zero byte
  doc.TenCount = 2;
  doc.MojiCount = 1;
  doc.TotalCount = 3;

  std::string point1 = Bytes("00 00 00 00 01 09 00 01 00 02 00 90 00") + D(1.5) + D(2.5) + Bytes("00 00 00 00");
  std::string point2 = Bytes("00 00 00 00 01 08 00 00 00 00 00 00 00") + D(-1) + D(0) + Bytes("01 00 00 00");
  std::string moji = Bytes("00 00 00 00 01 02 00 03 00 04 00 30 81") + D(0) + D(0) + D(10) + D(0) +
                     Bytes("0B 00 00 00") + D(3) + D(3) + D(0.5) + D(90) + Bytes("00 FF 2C 01") +
                     std::string(300, 'x');
  std::string expected = Bytes("03 00 FF FF E6 00 08 00") + "CDataTen" + point1 + Bytes("01 80") + point2 +
                         Bytes("FF FF E6 00 09 00") + "CDataMoji" + moji + Bytes("00 00");
  EXPECT_EQ(Hex(Written(doc).substr(452)), Hex(expected));
}

TEST(JwsFile, WritesAndReplacesTheTarget) {
  test::TTempDir dir;
  std::string path = dir.File("out.jws");
  test::WriteFile(path, "earlier");
  TJwsData doc;
  ASSERT_TRUE(WriteJws(path, doc));
  EXPECT_EQ(test::ReadFile(path), Written(doc));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(JwsFile, WriteFailuresRaiseAnIoError) {
  test::TTempDir dir;
  TJwsData doc;
  EXPECT_THROW(WriteJws(dir.File("no-such-folder/out.jws"), doc), TIoError);
  EXPECT_FALSE(std::filesystem::exists(dir.File("no-such-folder")));

  test::TFailingSink sink(300);
  EXPECT_THROW(WriteJwsTo(sink, doc), TIoError);
}

}  // namespace
}  // namespace torvane
