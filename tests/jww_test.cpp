#include "drawing/jwwunit.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <string>

#include "builder/filebuilder.h"
#include "builder/writefiles.h"
#include "support/ioerror.h"
#include "test_util.h"

namespace torvane {
namespace {

using test::Bytes;
using test::Hex;
using test::WriteJww;

std::string Written(const TJwwData& doc) {
  test::TMemorySink sink;
  WriteJwwTo(sink, doc);
  return sink.bytes;
}

int32_t IntAt(const std::string& bytes, std::size_t offset) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes.at(offset + i));
  return static_cast<int32_t>(value);
}

double DoubleAt(const std::string& bytes, std::size_t offset) {
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes.at(offset + i));
  return std::bit_cast<double>(value);
}

TEST(JwwWriter, AnEmptyDocumentIsTheDefaultHeaderAndFourZeroBytes) {
  TJwwData doc;
  ResetJwwDocument(doc);
  std::string bytes = Written(doc);
  ASSERT_EQ(bytes.size(), 4141u);
  EXPECT_EQ(bytes.substr(0, 8), "JwwData.");
  EXPECT_EQ(IntAt(bytes, 8), 230);
  EXPECT_EQ(bytes[12], '\0');  // the empty memo
  EXPECT_EQ(IntAt(bytes, 13), 1);  // paper size
  // Group 0 is written into, as is layer 0 of each group; the other layers are shown.
  EXPECT_EQ(Hex(bytes.substr(21, 36)),
            "03 00 00 00 00 00 00 00 00 00 00 00 00 00 F0 3F 00 00 00 00 "
            "03 00 00 00 00 00 00 00 02 00 00 00 00 00 00 00");
  const std::size_t group1 = 21 + 148;
  EXPECT_EQ(IntAt(bytes, group1), 0);
  EXPECT_EQ(DoubleAt(bytes, group1 + 8), 1.0);
  EXPECT_EQ(IntAt(bytes, group1 + 20), 3);
  EXPECT_EQ(bytes.substr(2389, 84), std::string(84, '\0'));
  EXPECT_EQ(DoubleAt(bytes, 2489), 1.0);    // print scale
  EXPECT_EQ(DoubleAt(bytes, 2505), 15.0);   // grid minimum dots
  EXPECT_EQ(DoubleAt(bytes, 2513), 5.0);    // grid interval X
  EXPECT_EQ(bytes.substr(2545, 272), std::string(272, '\0'));  // layer and group names
  EXPECT_EQ(DoubleAt(bytes, 2817), 1.5);    // shadow height
  EXPECT_EQ(DoubleAt(bytes, 2825), 36.0);   // shadow latitude
  EXPECT_EQ(DoubleAt(bytes, 2849), 1.0);    // view scale
  EXPECT_EQ(DoubleAt(bytes, 2873), 1.0);    // range scale
  EXPECT_EQ(DoubleAt(bytes, 2897), 1.0);    // mark jump 1 scale
  EXPECT_EQ(DoubleAt(bytes, 2993 + 9 * 8), 5000.0);  // parallel spacing 10
  EXPECT_EQ(Hex(bytes.substr(3081, 16)), "FF FF FF 00 01 00 00 00 00 C0 C0 00 01 00 00 00");
  EXPECT_EQ(DoubleAt(bytes, 3161 + 16 + 8), 0.2);  // print point radius of pen 2
  EXPECT_EQ(Hex(bytes.substr(3321, 8)), "99 99 99 99 04 00 00 00");  // line type 2
  EXPECT_EQ(Hex(bytes.substr(3449, 8)), "2A B3 B2 CC 01 00 00 00");  // random line 1
  EXPECT_EQ(Hex(bytes.substr(3549 + 48, 16)), "FF 7F FE FF 20 00 00 00 04 00 00 00 28 00 00 00");
  EXPECT_EQ(IntAt(bytes, 3613 + 6 * 4), 1);
  EXPECT_EQ(IntAt(bytes, 3613 + 15 * 4), -4500);
  EXPECT_EQ(Hex(bytes.substr(3677 + 32, 8)), "66 6A 68 85 D7 A1 41 40");
  EXPECT_EQ(IntAt(bytes, 3753), 0x808080);
  EXPECT_EQ(bytes.substr(3757, 280), std::string(280, '\0'));  // text types 1 to 10
  EXPECT_EQ(DoubleAt(bytes, 4037 + 16), 0.5);  // text spacing in use
  EXPECT_EQ(IntAt(bytes, 4061), 2);
  EXPECT_EQ(IntAt(bytes, 4065), 3);
  EXPECT_EQ(bytes.substr(4069, 20), std::string(20, '\0'));  // arrangement and offset flag
  EXPECT_EQ(DoubleAt(bytes, 4089), -1.0);
  EXPECT_EQ(DoubleAt(bytes, 4129), 1.0);
  EXPECT_EQ(Hex(bytes.substr(4137)), "00 00 00 00");
}

TEST(JwwWriter, TheOffsetFlagIsItsOwnFourBytes) {
  TJwwData doc;
  doc.OffsetX[0] = -1.1;  // a value whose low half is not zero
  std::string bytes = Written(doc);
  EXPECT_EQ(bytes.substr(4069, 20), std::string(20, '\0'));
  doc.OffsetFlag = 1;
  doc.ArrangeCount = 2;
  bytes = Written(doc);
  EXPECT_EQ(Hex(bytes.substr(4069, 20)), "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 40 01 00 00 00");
}

TEST(JwwWriter, ObjectListIntroducesAndRefersToClasses) {
  TJwwData doc;
  doc.Sens.resize(2);
  doc.Tens.resize(2);
  doc.Tens[1].Virtual = 1;
  doc.Mojis.resize(1);
  doc.SenCount = 2;
  doc.TenCount = 2;
  doc.MojiCount = 1;
  doc.TotalCount = 5;
  std::string bytes = Written(doc).substr(4137);
  const std::string line(45, '\0'), point(33, '\0');
  std::string virtualPoint = std::string(29, '\0') + Bytes("01 00 00 00");
  std::string text = std::string(81, '\0') + Bytes("00 00");  // empty font name and text
  std::string expected = Bytes("05 00 FF FF E6 00 08 00") + "CDataSen" + line + Bytes("01 80") + line +
                         Bytes("FF FF E6 00 08 00") + "CDataTen" + point + Bytes("04 80") + virtualPoint +
                         Bytes("FF FF E6 00 09 00") + "CDataMoji" + text + Bytes("00 00");
  EXPECT_EQ(Hex(bytes), Hex(expected));
}

TEST(JwwWriter, TextsOnlyAndLongForms) {
  TJwwData doc;
  doc.Mojis.resize(2);
  doc.Mojis[1].Text = doc.Texts.Add(std::string(300, 'x'));
  doc.MojiCount = 2;
  doc.TotalCount = 70000;  // written as given
  std::string bytes = Written(doc).substr(4137);
  std::string first = std::string(81, '\0') + Bytes("00 00");
  EXPECT_EQ(Hex(bytes.substr(0, 6)), "FF FF 70 11 01 00");
  EXPECT_EQ(bytes.substr(6, 15), Bytes("FF FF E6 00 09 00") + "CDataMoji");
  EXPECT_EQ(Hex(bytes.substr(21 + first.size(), 2)), "01 80");
  EXPECT_EQ(Hex(bytes.substr(23 + first.size() + 81, 4)), "00 FF 2C 01");  // font name, then the text's length
  EXPECT_EQ(bytes.size(), 21 + first.size() + 2 + 81 + 1 + 3 + 300 + 2);
}

TEST(JwwWriter, NamesAndMemoAreLengthPrefixed) {
  TJwwData doc;
  doc.Memo = "AB\r\nC";
  doc.Layers[1].Name = "\x95\xc7";
  doc.GLayers[15].Name = "G";
  std::string bytes = Written(doc);
  EXPECT_EQ(Hex(bytes.substr(12, 6)), "05 41 42 0D 0A 43");
  const std::size_t names = 2545 + 5;
  EXPECT_EQ(Hex(bytes.substr(names, 5)), "00 02 95 C7 00");
  EXPECT_EQ(Hex(bytes.substr(names + 256 + 2 + 15, 2)), "01 47");
  EXPECT_EQ(bytes.size(), 4141u + 5 + 2 + 1);
}

TEST(JwwFile, WritesAndReplacesOnlyWhenComplete) {
  test::TTempDir dir;
  std::string path = dir.File("out.jww");
  TJwwData doc;
  ASSERT_TRUE(WriteJww(path, doc));
  EXPECT_EQ(test::ReadFile(path), Written(doc));

  // A second write replaces the file; no temporary file is left behind.
  doc.Memo = "new";
  ASSERT_TRUE(WriteJww(path, doc));
  EXPECT_EQ(test::ReadFile(path), Written(doc));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(JwwFile, ATargetThatCannotBeCreatedRaisesAnIoError) {
  test::TTempDir dir;
  TJwwData doc;
  try {
    WriteJww(dir.File("no-such-folder/out.jww"), doc);
    FAIL() << "no error";
  } catch (const TIoError& e) {
    EXPECT_EQ(e.Code(), 2);
    EXPECT_EQ(e.Text(), "ファイルが見つかりません");
  }
  std::filesystem::create_directory(dir.File("folder.jww"));
  EXPECT_THROW(WriteJww(dir.File("folder.jww"), doc), TIoError);
}

TEST(JwwFile, AFailedWriteLeavesTheEarlierFileWhole) {
  test::TTempDir dir;
  std::string path = dir.File("keep.jww");
  test::WriteFile(path, "earlier");
  TJwwData doc;
  doc.Mojis.resize(1);
  doc.MojiCount = doc.TotalCount = 1;
  doc.Mojis[0].Text = doc.Texts.Add(std::string(70000, 'x'));
  std::string failure;
  {
    test::TFileSizeLimit limit(8192);
    ASSERT_TRUE(limit.Ok());
    EXPECT_FALSE(WriteJww(path, doc, &failure));
  }
  EXPECT_EQ(failure, "I/O エラー (" + std::to_string(EFBIG) + ")");
  EXPECT_EQ(test::ReadFile(path), "earlier");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);

  test::TFailingSink sink(100);
  EXPECT_THROW(WriteJwwTo(sink, doc), TIoError);
}

}  // namespace
}  // namespace torvane
