#include "settings/tenths.h"

#include <gtest/gtest.h>

namespace torvane {
namespace {

TEST(Tenths, TextIsTheShortestDecimal) {
  EXPECT_EQ(TenthsText(25), "2.5");
  EXPECT_EQ(TenthsText(30), "3");
  EXPECT_EQ(TenthsText(0), "0");
  EXPECT_EQ(TenthsText(1), "0.1");
  EXPECT_EQ(TenthsText(65535), "6553.5");
}

TEST(Tenths, CeilingOfTenTimesTheNumber) {
  struct {
    const char* text;
    std::optional<int64_t> tenths;
  } cases[] = {
      {"2.5", 25}, {"2.51", 26}, {"2.50000000000000000000001", 26}, {"3", 30}, {"0", 0}, {"0.0", 0},
      {"-2.51", -25}, {"-0.05", 0}, {"-1", -10}, {"+4.2", 42}, {".5", 5}, {"5.", 50}, {" 2.5 ", 25},
      {"007.30", 73}, {"6553.5", 65535}, {"6553.51", 65536}, {"2.5e1", 250}, {"25E-1", 25}, {"1e-9", 1},
      {"-1e-9", 0}, {"1e20", kTenthsLimit}, {"-1e99999999999", -kTenthsLimit}, {"1e-99999999999", 1},
      {"99999999999999999999", kTenthsLimit}, {"0.00000000000000000000000000", 0},
      // Not numbers.
      {"", std::nullopt}, {" ", std::nullopt}, {".", std::nullopt}, {"-", std::nullopt}, {"2,5", std::nullopt},
      {"2.5.1", std::nullopt}, {"1e", std::nullopt}, {"1e+", std::nullopt}, {"e5", std::nullopt},
      {"\t2.5", std::nullopt}, {"2.5mm", std::nullopt}, {"２.５", std::nullopt}, {"$10", std::nullopt},
      {"inf", std::nullopt}, {"- 1", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(CeilTenths(c.text), c.tenths) << '"' << c.text << '"';
}

TEST(Tenths, EveryFieldValueComesBackAsItself) {
  for (uint32_t tenths = 0; tenths <= 65535; ++tenths) {
    ASSERT_EQ(CeilTenths(TenthsText(static_cast<uint16_t>(tenths))), int64_t{tenths});
  }
}

}  // namespace
}  // namespace torvane
