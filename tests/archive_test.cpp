#include "support/archive.h"

#include <gtest/gtest.h>

#include <string>

#include "support/ioerror.h"
#include "support/records.h"
#include "test_util.h"

namespace torvane {
namespace {

using test::Hex;
using test::TMemorySink;

std::string Written(const std::function<void(TArchiveWriter&)>& write) {
  TMemorySink sink;
  TArchiveWriter writer(sink, 16);  // a small buffer so that writes cross its edge
  write(writer);
  writer.Flush();
  return sink.bytes;
}

TEST(ArchiveWriter, WritesNumbersLittleEndian) {
  EXPECT_EQ(Hex(Written([](auto& w) { w.WriteDword(static_cast<uint32_t>(-4500)); })), "6C EE FF FF");
  EXPECT_EQ(Hex(Written([](auto& w) { w.WriteDword(0xFFFFFF); })), "FF FF FF 00");
  EXPECT_EQ(Hex(Written([](auto& w) { w.WriteDouble(1.0); })), "00 00 00 00 00 00 F0 3F");
  EXPECT_EQ(Hex(Written([](auto& w) { w.WriteWord(0xE6); w.WriteByte(7); })), "E6 00 07");
}

TEST(ArchiveWriter, StringLengthForms) {
  struct Case {
    std::size_t length;
    std::string prefix;
  } cases[] = {
      {0, "00"},          {1, "01"},          {254, "FE"},          {255, "FF FF 00"},
      {300, "FF 2C 01"},  {65533, "FF FD FF"}, {65534, "FF FF FF FE FF 00 00"},
      {70000, "FF FF FF 70 11 01 00"},
  };
  for (const Case& c : cases) {
    std::string text(c.length, 'a');
    std::string bytes = Written([&](auto& w) { w.WriteString(text); });
    std::size_t prefixLength = bytes.size() - c.length;
    EXPECT_EQ(Hex(bytes.substr(0, prefixLength)), c.prefix) << c.length;
    EXPECT_EQ(bytes.substr(prefixLength), text);
  }
  // A Shift-JIS text counts bytes, not characters.
  EXPECT_EQ(Hex(Written([](auto& w) { w.WriteString("\x8b\x8f\x8a\xd4"); })), "04 8B 8F 8A D4");
}

TEST(ArchiveWriter, ShortStringCutsAtWholeCharacters) {
  EXPECT_EQ(Hex(Written([](auto& w) { w.WriteShortString(""); })), "00");
  EXPECT_EQ(Hex(Written([](auto& w) { w.WriteShortString("ab"); })), "02 61 62");
  std::string longName = "a" + std::string(300, '\x82');  // 'a', then double-byte characters
  std::string bytes = Written([&](auto& w) { w.WriteShortString(longName); });
  EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 253);  // 'a' and 126 characters; 254 would split one
  EXPECT_EQ(bytes.size(), 254u);
}

TEST(ArchiveWriter, CountsAndClassTags) {
  EXPECT_EQ(Hex(Written([](auto& w) { w.WriteCount(65534); })), "FE FF");
  EXPECT_EQ(Hex(Written([](auto& w) { w.WriteCount(65535); })), "FF FF FF FF 00 00");
  EXPECT_EQ(Hex(Written([](auto& w) { w.WriteClassRef(1); })), "01 80");
  EXPECT_EQ(Hex(Written([](auto& w) { w.WriteClassRef(32764); })), "FC FF");
  EXPECT_EQ(Hex(Written([](auto& w) { w.WriteClassRef(32765); })), "FF 7F FD 7F 00 80");
  EXPECT_EQ(Written([](auto& w) { w.WriteNewClass("CDataSen"); }), test::Bytes("FF FF E6 00 08 00") + "CDataSen");
}

TEST(ArchiveWriter, AFailingSinkEndsTheWriting) {
  test::TFailingSink sink(10);
  TArchiveWriter writer(sink, 4);
  EXPECT_THROW(
      {
        for (int i = 0; i < 10; ++i) writer.WriteDouble(1.0);
        writer.Flush();
      },
      TIoError);
  EXPECT_LE(sink.bytes.size(), 10u);
}

TEST(EntityList, TagsFollowTheReferenceCounter) {
  std::vector<TWSen> lines(3);
  std::vector<TWEnko> arcs(2);
  std::string bytes = Written([&](auto& w) {
    WriteEntityList(w, TEntityLists{5, 3, 2, 0, 0, lines, arcs, {}, {}, {}, nullptr});
  });
  const std::string newSen = test::Bytes("FF FF E6 00 08 00") + "CDataSen";
  const std::string newEnko = test::Bytes("FF FF E6 00 09 00") + "CDataEnko";
  const std::string line(45 - 0, '\0'), arc(73, '\0');
  std::string expected = test::Bytes("05 00") + newSen + line + test::Bytes("01 80") + line + test::Bytes("01 80") +
                         line + newEnko + arc + test::Bytes("05 80") + arc + test::Bytes("00 00");
  EXPECT_EQ(Hex(bytes), Hex(expected));

  EXPECT_EQ(Hex(Written([](auto& w) { WriteEntityList(w, TEntityLists{}); })), "00 00 00 00");
}

TEST(EntityList, RecordsHaveTheirFieldWidths) {
  TWMoji text;
  text.Header = TEntityHeader{.Group = -2, .PenStyle = 1, .PenColor = 0x0102, .Layer = 3, .LayerGroup = 4, .Flags = 0x8050};
  text.X1 = 1.0;
  text.MojiType = 7;
  TTextPool pool;
  pool.Add("other");
  text.Text = pool.Add("T");
  std::vector<TWMoji> texts{text};
  std::string bytes =
      Written([&](auto& w) { WriteEntityList(w, TEntityLists{1, 0, 0, 0, 1, {}, {}, {}, texts, "F", &pool}); });
  std::string expected = test::Bytes("01 00 FF FF E6 00 09 00") + "CDataMoji" +
                         test::Bytes("FE FF FF FF 01 02 01 03 00 04 00 50 80") +  // the entity header
                         test::Bytes("00 00 00 00 00 00 F0 3F") + std::string(24, '\0') +
                         test::Bytes("07 00 00 00") + std::string(32, '\0') + test::Bytes("01") + "F" +
                         test::Bytes("01") + "T" + test::Bytes("00 00");
  EXPECT_EQ(Hex(bytes), Hex(expected));
}

}  // namespace
}  // namespace torvane
