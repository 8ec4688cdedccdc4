#include "support/text.h"

#include <gtest/gtest.h>

#include <string>

#include "support/cp932.h"

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

}  // namespace
}  // namespace torvane
