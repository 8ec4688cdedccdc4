#include "support/text.h"

#include <gtest/gtest.h>

#include <string>

#include "support/cp932.h"
#include "support/shown.h"

namespace torvane {
namespace {

using namespace std::string_literals;

TEST(TextToInt, ConvertsWholeNumbersOrGivesZero) {
  struct Case {
    std::string text;
    int32_t expected;
  } cases[] = {
      {"42", 42},          {"  -17", -17},       {"+5", 5},           {"$1F", 31},
      {"0x1f", 31},        {"X10", 16},          {"x10", 16},         {"$FFFFFFFF", -1},
      {"2147483647", 2147483647},                {"-2147483648", INT32_MIN},
      {"2147483648", 0},   {"$100000000", 0},    {"", 0},             {"12 ", 0},
      {"12\r\n", 0},       {"1.5", 0},           {"12abc", 0},        {"-", 0},
      {"$", 0},            {"0x", 0},            {"-$10", 0},         {"7\0garbage"s, 7},
      {"\0"s, 0},          {" 3", 3},            {"\t3", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(TextToInt(c.text), c.expected) << '"' << c.text << '"';
}

TEST(TextToSingle, ConvertsNumbersOrGivesZero) {
  struct Case {
    std::string text;
    float expected;
  } cases[] = {
      {"12", 12.0f},    {"  -1.5", -1.5f}, {"+.5", 0.5f},   {"5.", 5.0f},   {"1e3", 1000.0f},
      {"2.5E-1", 0.25f}, {"0.1", 0.1f},     {"", 0.0f},      {"1.5 ", 0.0f}, {"1.5\r\n", 0.0f},
      {"1e", 0.0f},      {".", 0.0f},       {"abc", 0.0f},   {"3\0\0\0"s, 3.0f}, {"1,5", 0.0f},
  };
  for (const Case& c : cases) EXPECT_EQ(TextToSingle(c.text), c.expected) << '"' << c.text << '"';
}

TEST(StrictNumbers, AcceptOnlyCompleteItems) {
  EXPECT_EQ(ParseStrictInt("12"), 12);
  EXPECT_EQ(ParseStrictInt("  -3"), -3);
  EXPECT_EQ(ParseStrictInt("12\0\0"s), 12);
  EXPECT_FALSE(ParseStrictInt("12 "));
  EXPECT_FALSE(ParseStrictInt(""));
  EXPECT_FALSE(ParseStrictInt("$1F"));
  EXPECT_FALSE(ParseStrictInt("1.0"));
  EXPECT_FALSE(ParseStrictInt("99999999999"));

  EXPECT_EQ(ParseStrictSingle(" 2.5  "), 2.5f);
  EXPECT_EQ(ParseStrictSingle("1e2   \0\0"s), 100.0f);
  EXPECT_EQ(ParseStrictSingle("-7"), -7.0f);
  EXPECT_FALSE(ParseStrictSingle(""));
  EXPECT_FALSE(ParseStrictSingle("   "));
  EXPECT_FALSE(ParseStrictSingle("2.5x"));
  EXPECT_FALSE(ParseStrictSingle("1 2"));
}

TEST(SplitList, KeepsZeroForItemsTheListDoesNotReach) {
  EXPECT_EQ(SplitList("3,1,2,0,0", 7), (std::vector<std::string>{"3", "1", "2", "0", "0", "0", "0"}));
  EXPECT_EQ(SplitList("a,,b", 4), (std::vector<std::string>{"a", "", "b", "0"}));
  EXPECT_EQ(SplitList("whole", 3), (std::vector<std::string>{"whole", "0", "0"}));
  EXPECT_EQ(SplitList("1,2,", 4), (std::vector<std::string>{"1", "2", "0", "0"}));
  EXPECT_EQ(SplitList("1,2,3,4", 2), (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(SplitList("", 2), (std::vector<std::string>{"", "0"}));
}

TEST(TextHelpers, Trim) {
  EXPECT_EQ(TrimControls(" \t\0ABC \r\n\0"s), "ABC");
  EXPECT_EQ(TrimRightControls(" ABC  \0\0"s), " ABC");
}

TEST(Cp932, ConvertsAtTheEdgesAndCutsAtCharacterBoundaries) {
  EXPECT_EQ(Utf8ToCp932("ＭＳ ゴシック"), "\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e");
  EXPECT_FALSE(Utf8ToCp932("\xF0\x9F\x98\x80"));  // an emoji has no CP932 form
  EXPECT_EQ(Cp932ToUtf8("\x8b\x8f\x8a\xd4"), "居間");
  EXPECT_EQ(Cp932ToUtf8("A\xA0Z"), "A\xEF\xBF\xBDZ");  // 0xA0 is not a CP932 character

  std::string text = "A\x82\x6c\x82\x72";  // A, Ｍ, Ｓ
  EXPECT_EQ(Cp932PrefixLength(text, 5), 5u);
  EXPECT_EQ(Cp932PrefixLength(text, 4), 3u);
  EXPECT_EQ(Cp932PrefixLength(text, 2), 1u);
  EXPECT_EQ(Cp932PrefixLength(text, 0), 0u);
}

TEST(ShownPath, DecodesNameByNameAndEscapesControls) {
  struct TCase {
    std::string path, shown;
  } cases[] = {
      {"/in/図面.jwc", "/in/図面.jwc"},
      {"/in/\x90\x7d\x96\xca/\x95\xbd\x96\xca.jwc", "/in/図面/平面.jwc"},  // CP932
      {"/in/現場/\x95\xbd\x96\xca.jwc", "/in/現場/平面.jwc"},                  // a UTF-8 folder, a CP932 name
      {"\x90\x7d\x96\xca/平面.jwc", "図面/平面.jwc"},
      {"a\nb\r.jwc", "a\\x0Ab\\x0D.jwc"},  // no forged line
      {"\x1B[31m\x7F\xC2\x85/\x95\xbd\x0A.jwc", "\\x1B[31m\\x7F\\x85/平\\x0A.jwc"},  // C0, DEL, C1; a CP932 name holding a LF
      {"\xA0.jwc", "\xEF\xBF\xBD.jwc"},  // neither UTF-8 nor CP932: shown as a replacement character
      {"", ""},
      {"/", "/"},
  };
  for (const TCase& c : cases) EXPECT_EQ(ShownPath(c.path), c.shown) << c.path;
  // Bytes that are not UTF-8 in a line are escaped, never passed through.
  EXPECT_EQ(EscapeControls("a\x95\xbd\xF4\x90\x80\x80\xE0\x80\x80z"),
            "a\\x95\\xBD\\xF4\\x90\\x80\\x80\\xE0\\x80\\x80z");
}

}  // namespace
}  // namespace torvane
