#include "settings/jwf.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <ostream>
#include <sstream>
#include <string>

#include "builder/filebuilder.h"
#include "test_util.h"

namespace torvane {
namespace {

const std::string kColors = "LCOLLOR = 5 7 4 6 3 1\n";
const std::string kPens = "MPEN = 1 1 2 2 3 3 4 4 1 1\n";
const std::string kWides = "MWIDE = 20 25 30 40 50 60 70 80 90 100\n";
const std::string kHighs = "MHIGH = 20 25 30 40 50 60 70 80 90 100\n";
const std::string kDists = "MDIST = 0 0 5 5 5 10 10 10 10 10\n";
const std::string kFiveLines = kColors + kPens + kWides + kHighs + kDists;

// Values as "1 2 3"; "-" for a table the import must leave as it was (all zeros).
template <typename T, std::size_t N>
std::array<T, N> Values(const std::string& text) {
  std::array<T, N> values{};
  std::istringstream in(text == "-" ? "" : text);
  for (T& v : values) {
    unsigned u = 0;
    if (in >> u) v = static_cast<T>(u);
  }
  return values;
}

struct TJwfCase {
  const char* Name;
  std::string Text;
  int KeyLines;
  TJwfStop Stop;
  std::size_t StopLine;
  std::string BadText;
  // What the tables hold afterwards, starting from zeros.
  std::string Colors, Pens, Wides, Highs, Dists;
};

void PrintTo(const TJwfCase& c, std::ostream* out) { *out << c.Name; }

class JwfReadTest : public ::testing::TestWithParam<TJwfCase> {};

TEST_P(JwfReadTest, ReadsAsTheDialogImports) {
  const TJwfCase& c = GetParam();
  TMojiSettingsTable moji{};
  TPenColors pens{};
  TJwfResult result = ReadJwf(c.Text, moji, pens);
  EXPECT_EQ(result.KeyLines, c.KeyLines);
  EXPECT_EQ(result.Stop, c.Stop);
  EXPECT_EQ(result.StopLine, c.StopLine);
  EXPECT_EQ(result.BadText, c.BadText);
  TJwfDecision decision = c.Stop == TJwfStop::BadValue ? TJwfDecision::Refuse
                          : c.KeyLines < 5              ? TJwfDecision::TakeAfterWarning
                                                        : TJwfDecision::Take;
  EXPECT_EQ(DecideJwf(result), decision);
  EXPECT_EQ(pens, (Values<uint8_t, 6>(c.Colors)));
  auto field = [&](uint16_t TMojiSetting::*f) {
    std::array<uint16_t, 10> values{};
    for (std::size_t i = 0; i < moji.size(); ++i) values[i] = moji[i].*f;
    return values;
  };
  EXPECT_EQ(field(&TMojiSetting::Pen), (Values<uint16_t, 10>(c.Pens)));
  EXPECT_EQ(field(&TMojiSetting::Wide), (Values<uint16_t, 10>(c.Wides)));
  EXPECT_EQ(field(&TMojiSetting::High), (Values<uint16_t, 10>(c.Highs)));
  EXPECT_EQ(field(&TMojiSetting::Dist), (Values<uint16_t, 10>(c.Dists)));
}

const std::string kDefaultColors = "5 7 4 6 3 1";
const std::string kDefaultPens = "1 1 2 2 3 3 4 4 1 1";
const std::string kDefaultSizes = "20 25 30 40 50 60 70 80 90 100";
const std::string kDefaultDists = "0 0 5 5 5 10 10 10 10 10";

INSTANTIATE_TEST_SUITE_P(
    ImportRules, JwfReadTest,
    ::testing::Values(
        TJwfCase{"FiveKeyLines", kFiveLines, 5, TJwfStop::Mdist, 5, "", kDefaultColors, kDefaultPens,
                 kDefaultSizes, kDefaultSizes, kDefaultDists},
        // Reading ends at MDIST: the colours after it are never read.
        TJwfCase{"ColorsAfterMdist", kPens + kWides + kHighs + kDists + kColors, 4, TJwfStop::Mdist, 4, "", "-",
                 kDefaultPens, kDefaultSizes, kDefaultSizes, kDefaultDists},
        TJwfCase{"LcollorUnderscoreEndsReading", kPens + "LCOLLOR_ = 1\n" + kColors + kWides, 1,
                 TJwfStop::LcollorUnderscore, 2, "", "-", kDefaultPens, "-", "-", "-"},
        TJwfCase{"DigitsWithoutBlanks", "LCOLLOR=574631\nMPEN=1122334411\n", 2, TJwfStop::EndOfFile, 2, "",
                 kDefaultColors, kDefaultPens, "-", "-", "-"},
        TJwfCase{"CommentsAndOtherKeys",
                 "# MWIDE = 1 2 3 4 5 6 7 8 9 10\n#MPEN=9999999999\nPAPER = 3\n\n" + kWides, 1,
                 TJwfStop::EndOfFile, 5, "", "-", "-", kDefaultSizes, "-", "-"},
        // Keys match with letter case and from the first byte of the line.
        TJwfCase{"KeysAsWritten", "mwide = 1 2 3 4 5 6 7 8 9 10\n MPEN = 9999999999\n", 0, TJwfStop::EndOfFile,
                 2, "", "-", "-", "-", "-", "-"},
        // Any byte separates key and values, a blank is any byte up to the space, and what follows
        // the tenth pen is not looked at.
        TJwfCase{"AnySeparator", "MPEN:\x01\x02 1 1 2 2 3 3 4 4 1 1\x7f\nMWIDE\t\t| 20\t25 30\t40 50 60 70 80 90\t100\t\n",
                 2, TJwfStop::EndOfFile, 2, "", "-", kDefaultPens, kDefaultSizes, "-", "-"},
        TJwfCase{"TabsBetweenValues",
                 "MWIDE\t=\t20\t25\t30\t40\t50\t60\t70\t80\t90\t100\nMHIGH = 20 \t25\t 30 40 50 60 70 80 90 100\n", 2,
                 TJwfStop::EndOfFile, 2, "", "-", "-", kDefaultSizes, kDefaultSizes, "-"},
        // DOS line ends and the end-of-file byte are no part of a value; nothing after 0x1A is read.
        TJwfCase{"DosText", "MPEN = 1 1 2 2 3 3 4 4 1 1\r\nMWIDE = 20 25 30 40 50 60 70 80 90 100\x1A\r\n" + kDists, 2,
                 TJwfStop::EndOfFile, 2, "", "-", kDefaultPens, kDefaultSizes, "-", "-"},
        TJwfCase{"CarriageReturnsEndLines", "MPEN=1122334411\rMWIDE = 1 1 1 1 1 1 1 1 1 1\r\r\n" + kDists, 3,
                 TJwfStop::Mdist, 4, "", "-", kDefaultPens, "1 1 1 1 1 1 1 1 1 1", "-", kDefaultDists},
        TJwfCase{"FiveLinesOfOneKey", kWides + kWides + kWides + kWides + kWides, 5, TJwfStop::EndOfFile, 5, "", "-",
                 "-", kDefaultSizes, "-", "-"},
        // Whole numbers as the settings file reads them; the low 16 bits are kept.
        TJwfCase{"NumberForms", "MWIDE = $1E -1 65537 +7 0x10 x11 007 8 9    0012  \n", 1, TJwfStop::EndOfFile, 1,
                 "", "-", "-", "30 65535 1 7 16 17 7 8 9 12", "-", "-"},
        // Faults end the import on their line; what came before them stays.
        TJwfCase{"WordThatIsNoNumber", "# note\n\n" + kPens + "MWIDE = 20 25 2.5 40 50 60 70 80 90 100\n" + kHighs,
                 1, TJwfStop::BadValue, 4, "2.5", "-", kDefaultPens, "20 25", "-", "-"},
        TJwfCase{"DigitThatIsNoNumber", "LCOLLOR = 5 7 x 6 3 1\n", 0, TJwfStop::BadValue, 1, "x", "5 7", "-", "-",
                 "-", "-"},
        // Without "=" the separator takes the first pen, and the tenth is missing.
        TJwfCase{"SeparatorMissing", "MPEN 1 1 2 2 3 3 4 4 1 1\n", 0, TJwfStop::BadValue, 1, "",
                 "-", "1 2 2 3 3 4 4 1 1", "-", "-", "-"},
        TJwfCase{"TooFewValues", "MHIGH = 20 25\n", 0, TJwfStop::BadValue, 1, "", "-", "-", "-", "20", "-"},
        TJwfCase{"EmptyKeyLine", "LCOLLOR\n", 0, TJwfStop::BadValue, 1, "", "-", "-", "-", "-", "-"},
        TJwfCase{"RestOfLineForTypeTen", "MDIST = 0 0 5 5 5 10 10 10 10 10 11\n", 0, TJwfStop::BadValue, 1,
                 "10 11", "-", "-", "-", "-", "0 0 5 5 5 10 10 10 10"},
        // A fault after five whole key lines rejects the file all the same.
        TJwfCase{"FaultAfterFiveLines", kColors + kPens + kWides + kHighs + kWides + "MDIST = a 0\n", 5,
                 TJwfStop::BadValue, 6, "a", kDefaultColors, kDefaultPens, kDefaultSizes, kDefaultSizes, "-"},
        TJwfCase{"Empty", "", 0, TJwfStop::EndOfFile, 0, "", "-", "-", "-", "-", "-"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(JwfRead, ABadValueIsReportedShortAndWhole) {
  // One byte and 35 double-byte characters: the report keeps 63 bytes, not half of a character.
  std::string longText = "a";
  for (int i = 0; i < 35; ++i) longText += "\x82\xa0";
  TMojiSettingsTable moji{};
  TPenColors pens{};
  TJwfResult result = ReadJwf("MWIDE = " + longText + " 1\n", moji, pens);
  EXPECT_EQ(result.Stop, TJwfStop::BadValue);
  EXPECT_EQ(result.BadText, longText.substr(0, 63));
}

// No JWF file of the DOS edition comes near the bound: one past it is not read at all (a 1 GiB
// file would take a gigabyte), one at it reads as any other.
TEST(JwfRead, AFileLargerThanAnyRealOneIsNotRead) {
  test::TTempDir dir;
  const std::string sample = test::ReadFile(std::string(TORVANE_SOURCE_DIR) + "/samples/jwcad.jwf");
  for (std::size_t size : {kMaxJwfBytes, kMaxJwfBytes + 1}) {
    SCOPED_TRACE(size);
    test::WriteFile(dir.File("env.jwf"), "#" + std::string(size - sample.size() - 2, 'x') + "\n" + sample);
    TMojiSettingsTable moji{};
    TPenColors pens{};
    TJwfResult result = ReadJwfFile(dir.File("env.jwf"), moji, pens);
    if (size <= kMaxJwfBytes) {
      EXPECT_EQ(result.KeyLines, 5);
      EXPECT_EQ(moji[9], (TMojiSetting{6, 100, 100, 15}));
    } else {
      EXPECT_EQ(result.Stop, TJwfStop::Unreadable);
      EXPECT_EQ(result.Error, EFBIG);
      EXPECT_EQ(moji, TMojiSettingsTable{});
    }
  }
}

TEST(JwfRead, FilesAndTheSample) {
  test::TTempDir dir;
  TMojiSettingsTable moji = DefaultMojiSettings();
  TPenColors pens = DefaultPenColors();
  TJwfResult missing = ReadJwfFile(dir.File("none.jwf"), moji, pens);
  EXPECT_EQ(missing.Stop, TJwfStop::Unreadable);
  EXPECT_EQ(missing.Error, ENOENT);
  EXPECT_EQ(DecideJwf(missing), TJwfDecision::Refuse);
  EXPECT_EQ(ReadJwfFile(dir.Path().string(), moji, pens).Error, EISDIR);
  EXPECT_EQ(moji, DefaultMojiSettings());

  TJwfResult sample = ReadJwfFile(std::string(TORVANE_SOURCE_DIR) + "/samples/jwcad.jwf", moji, pens);
  EXPECT_EQ(DecideJwf(sample), TJwfDecision::Take);
  EXPECT_EQ(sample.KeyLines, 5);
  EXPECT_EQ(sample.Stop, TJwfStop::Mdist);
  EXPECT_EQ(pens, DefaultPenColors());
  EXPECT_EQ(moji[4], (TMojiSetting{3, 40, 45, 5}));
  EXPECT_EQ(moji[9], (TMojiSetting{6, 100, 100, 15}));
}

}  // namespace
}  // namespace torvane
