#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "builder/filebuilder.h"
#include "settings/inifile.h"
#include "settings/settings.h"
#include "support/ioerror.h"
#include "test_util.h"

namespace torvane {
namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------------------------
// Reading and writing INI text in memory

struct TReadCase {
  const char* Name;
  std::string Text;
  std::string Section;
  std::string Key;
  std::string Expected;  // "default" where the key must not be found
};

void PrintTo(const TReadCase& c, std::ostream* out) { *out << c.Name; }

class IniReadTest : public ::testing::TestWithParam<TReadCase> {};

TEST_P(IniReadTest, ReadsValue) {
  const TReadCase& c = GetParam();
  EXPECT_EQ(TIniText(c.Text).ReadString(c.Section, c.Key, "default"), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    IniRules, IniReadTest,
    ::testing::Values(
        TReadCase{"NamesIgnoreCase", "[hEaDeR]\r\nsYsTeM=5\r\n", "Header", "SYSTEM", "5"},
        TReadCase{"BlanksAroundNamesAndValue",
                  " \t[ Header ]\t\r\n \tKey\t = \t two words \t\r\n", "Header", "Key",
                  "two words"},
        TReadCase{"BlanksAroundRequestedNames", "[Header]\nKey=v\n", " Header ", "\tKey ", "v"},
        TReadCase{"DoubleQuotesRemoved", "[S]\nk=\"  a b \"\n", "S", "k", "  a b "},
        TReadCase{"SingleQuotesRemoved", "[S]\nk= 'x' \n", "S", "k", "x"},
        TReadCase{"EmptyQuotes", "[S]\nk=\"\"\n", "S", "k", ""},
        TReadCase{"MismatchedQuotesKept", "[S]\nk=\"x'\n", "S", "k", "\"x'"},
        TReadCase{"LoneQuoteKept", "[S]\nk=\"\n", "S", "k", "\""},
        TReadCase{"FirstOfEqualKeys", "[S]\nk=1\nK=2\n", "S", "k", "1"},
        TReadCase{"FirstOfEqualSections", "[S]\na=1\n[s]\nk=2\n", "S", "k", "default"},
        TReadCase{"LfLineEnds", "[S]\nk=v\n[T]\nk=w\n", "T", "k", "w"},
        TReadCase{"MixedLineEnds", "[S]\r\nj=1\nk=v\r\n", "S", "k", "v"},
        TReadCase{"LastLineWithoutEnding", "[S]\r\nk=v", "S", "k", "v"},
        TReadCase{"EmptyValue", "[S]\nk=\n", "S", "k", ""},
        TReadCase{"BlankValue", "[S]\nk= \t\n", "S", "k", ""},
        TReadCase{"AbsentKey", "[S]\nj=1\n", "S", "k", "default"},
        TReadCase{"AbsentSection", "[T]\nk=1\n", "S", "k", "default"},
        TReadCase{"KeyOfTheNextSection", "[S]\n[T]\nk=1\n", "S", "k", "default"},
        TReadCase{"KeyBeforeAnySection", "k=1\n[S]\n", "S", "k", "default"},
        TReadCase{"LineWithoutEqualsIgnored", "[S]\nk\nk=v\n", "S", "k", "v"},
        TReadCase{"HeaderWithoutCloseIsNoHeader", "[S\nk=v\n", "S", "k", "default"},
        TReadCase{"TextAfterHeader", "[S] ; note\nk=v\n", "S", "k", "v"},
        TReadCase{"ValueHoldsEquals", "[S]\nk=a=b\n", "S", "k", "a=b"},
        // The second byte of the CP932 character 0x83 0x5D is "]".
        TReadCase{"Cp932Names", "[\x83\x5D]\n\x83\x65\x83\x58=\x82\xA0\n", "\x83\x5D",
                  "\x83\x65\x83\x58", "\x82\xA0"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(IniReadStringTest, ReturnsAtMost2047Bytes) {
  std::string bare = "[S]\nk=" + std::string(2047, 'a') + "bcd\n";
  EXPECT_EQ(TIniText(bare).ReadString("S", "k", ""), std::string(2047, 'a'));
  std::string quoted = "[S]\nk=\"" + std::string(2047, 'x') + "y\"\n";
  EXPECT_EQ(TIniText(quoted).ReadString("S", "k", ""), std::string(2047, 'x'));
}

TEST(IniReadIntegerTest, ConvertsOrGivesDefault) {
  struct TCase {
    std::string Line;
    int32_t Expected;
  };
  const TCase cases[] = {
      {"k=0x1E", 30},   {"k=0X1e", 30},        {"k=$1E", 30},        {"k=-1", -1},
      {"k= 42 ", 42},   {"k='7'", 7},          {"k=$FFFFFFFF", -1},  {"k=abc", -7},
      {"k=", -7},       {"k=0x", -7},          {"k=12abc", -7},      {"k=2147483648", -7},
      {"j=1", -7},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(TIniText("[S]\r\n" + c.Line + "\r\n").ReadInteger("S", "k", -7), c.Expected)
        << c.Line;
  }
}

struct TWriteCase {
  const char* Name;
  std::string Before;
  std::string Section;
  std::string Key;
  std::string Value;
  std::string After;
};

void PrintTo(const TWriteCase& c, std::ostream* out) { *out << c.Name; }

class IniWriteTest : public ::testing::TestWithParam<TWriteCase> {};

TEST_P(IniWriteTest, WritesValue) {
  const TWriteCase& c = GetParam();
  TIniText text(c.Before);
  ASSERT_TRUE(text.WriteString(c.Section, c.Key, c.Value));
  EXPECT_EQ(text.Bytes(), c.After);
}

INSTANTIATE_TEST_SUITE_P(
    IniRules, IniWriteTest,
    ::testing::Values(
        TWriteCase{"ReplaceKeepsOtherLines",
                   "; note\r\n[A]\r\nx=1\r\nK=old\r\ngarbage\n\r\n[B]\nk=b\n", "A", "k", "new",
                   "; note\r\n[A]\r\nx=1\r\nK=new\r\ngarbage\n\r\n[B]\nk=b\n"},
        TWriteCase{"ReplaceKeepsLineBeforeValue", "[A]\n  k = old value \t\n", "a", "K", "9",
                   "[A]\n  k = 9\n"},
        TWriteCase{"ReplaceLastLineWithoutEnding", "[A]\r\nk=1", "A", "k", "2", "[A]\r\nk=2"},
        TWriteCase{"ReplaceQuotedValue", "[A]\nk='old'\n", "A", "k", "new", "[A]\nk=new\n"},
        TWriteCase{"ReplaceInFirstOfEqualSections", "[A]\nk=1\n[a]\nk=2\n", "A", "k", "3",
                   "[A]\nk=3\n[a]\nk=2\n"},
        TWriteCase{"AddKeyAfterLastKeyOfSection",
                   "[A]\r\nx=1\r\ngarbage\r\ny=2\r\n; c\r\n\r\n[B]\r\n", "A", "k", "v",
                   "[A]\r\nx=1\r\ngarbage\r\ny=2\r\nk=v\r\n; c\r\n\r\n[B]\r\n"},
        TWriteCase{"AddKeyToSectionWithoutKeys", "[A]\r\n\r\n[B]\r\nk=1\r\n", "A", "k", "v",
                   "[A]\r\nk=v\r\n\r\n[B]\r\nk=1\r\n"},
        TWriteCase{"AddKeyAfterLineWithoutEnding", "[A]\r\nx=1", "A", "k", "v",
                   "[A]\r\nx=1\r\nk=v\r\n"},
        TWriteCase{"AddKeyAfterHeaderWithoutEnding", "[A]", "A", "k", "v", "[A]\r\nk=v\r\n"},
        TWriteCase{"AddSectionAtEnd", "[A]\r\nx=1\r\n\r\n", "B", "k", "v",
                   "[A]\r\nx=1\r\n\r\n[B]\r\nk=v\r\n"},
        TWriteCase{"AddSectionAfterLineWithoutEnding", "[A]\nx=1", "B", "k", "v",
                   "[A]\nx=1\r\n[B]\r\nk=v\r\n"},
        TWriteCase{"AddSectionToEmptyText", "", "B", "k", "v", "[B]\r\nk=v\r\n"},
        TWriteCase{"NamesWrittenWithoutBlanks", "", " B ", "\tk ", "v", "[B]\r\nk=v\r\n"},
        TWriteCase{"ValueWithOuterBlanksQuoted", "", "B", "k", " v ", "[B]\r\nk=\" v \"\r\n"},
        TWriteCase{"QuotedValueQuoted", "", "B", "k", "'q'", "[B]\r\nk=\"'q'\"\r\n"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(IniWriteRoundTripTest, ReadsBackWhatWasWritten) {
  const std::string values[] = {"",           "plain", " lead", "trail\t",         "\"q\"",
                                "'",          "\"",    "a=b",   "\x82\xA0\x83\x5D", "[x]",
                                std::string(2047, 'x')};
  for (const std::string& before : {std::string("[A]\r\nk=old\r\n"), std::string()}) {
    for (const std::string& value : values) {
      TIniText text(before);
      ASSERT_TRUE(text.WriteString("A", "k", value));
      EXPECT_EQ(text.ReadString("A", "k", "default"), value) << text.Bytes();
    }
  }
}

TEST(IniWriteRefusedTest, LeavesTextUnchanged) {
  struct TCase {
    std::string Section, Key, Value;
  };
  const TCase cases[] = {{"A", "k", "a\nb"}, {"A", "k", "a\rb"}, {"A", "a=b", "v"},
                         {"A", "[k]", "v"},  {"A", " ", "v"},    {"", "k", "v"},
                         {"A\nB", "k", "v"}};
  const std::string before = "[A]\r\nk=1\r\n";
  for (const TCase& c : cases) {
    TIniText text(before);
    EXPECT_FALSE(text.WriteString(c.Section, c.Key, c.Value)) << c.Section << "/" << c.Key;
    EXPECT_EQ(text.Bytes(), before);
  }
}

// ---------------------------------------------------------------------------------------------
// Files

// A fresh folder per test, made the current folder; the previous current folder comes back after.
class TTempFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    folder_ = fs::canonical(dir_.Path()).string();
    fs::current_path(folder_);
  }
  void TearDown() override { fs::current_path(previous_); }

  std::string PathOf(const std::string& name) const { return folder_ + "/" + name; }

  static void WriteBytes(const std::string& path, const std::string& bytes) { test::WriteFile(path, bytes); }
  static std::string ReadBytes(const std::string& path) { return test::ReadFile(path); }
  std::vector<std::string> FolderEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) names.push_back(entry.path().filename());
    return names;
  }

  test::TTempDir dir_;
  fs::path previous_;
  std::string folder_;
};

// Makes writes beyond a few bytes fail for this process, even for root, which file permissions do
// not stop.
class IniFileTest : public TTempFolder {};

TEST_F(IniFileTest, MissingFileOrFolderReadsDefaults) {
  for (const std::string& path : {PathOf("none.ini"), folder_}) {
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("A", "k", "d"), "d");
    EXPECT_EQ(ini.ReadInteger("A", "k", 5), 5);
  }
  EXPECT_FALSE(fs::exists(PathOf("none.ini")));
}

TEST_F(IniFileTest, WriteCreatesMissingFile) {
  TIniFile(PathOf("new.ini")).WriteString("data", "dir", "x");
  EXPECT_EQ(ReadBytes(PathOf("new.ini")), "[data]\r\ndir=x\r\n");
}

TEST_F(IniFileTest, WriteStringsAppliesEntriesInOrder) {
  WriteBytes(PathOf("a.ini"), "[A]\r\nk=0\r\n");
  TIniFile(PathOf("a.ini")).WriteStrings({{"A", "k", "1"}, {"B", "j", "2"}, {"A", "m", "3"}});
  EXPECT_EQ(ReadBytes(PathOf("a.ini")), "[A]\r\nk=1\r\nm=3\r\n[B]\r\nj=2\r\n");
}

TEST_F(IniFileTest, WriteFailureNamesFullPath) {
  WriteBytes(PathOf("plain"), "x");
  WriteBytes(PathOf("a.ini"), "[A]\r\nk=1\r\n");
  fs::create_directory(PathOf("folder.ini"));
  struct TCase {
    std::string Path;        // as given
    std::string FullPath;    // as reported
    std::string Value;
  };
  const TCase cases[] = {
      {PathOf("plain/a.ini"), PathOf("plain/a.ini"), "v"},  // the parent is a file
      {"plain/a.ini", PathOf("plain/a.ini"), "v"},          // relative to the current folder
      {PathOf("folder.ini"), PathOf("folder.ini"), "v"},
      {PathOf("a.ini"), PathOf("a.ini"), "line\nbreak"},
  };
  for (const TCase& c : cases) {
    try {
      TIniFile(c.Path).WriteString("A", "k", c.Value);
      ADD_FAILURE() << "no error for " << c.Path;
    } catch (const TSettingsWriteError& error) {
      EXPECT_EQ(std::string(error.what()), c.FullPath + " に書き込めません");
      EXPECT_EQ(error.Path(), c.FullPath);
    }
  }
  EXPECT_EQ(ReadBytes(PathOf("a.ini")), "[A]\r\nk=1\r\n");
  EXPECT_TRUE(fs::is_directory(PathOf("folder.ini")));
}

// ---------------------------------------------------------------------------------------------
// The settings file

const char kDefaultText[] =
    "[Header]\r\nSystem=1\r\n\r\n"
    "[data]\r\ndir=\r\n\r\n"
    "[MojiPen]\r\nPen01=1\r\nPen02=1\r\nPen03=2\r\nPen04=2\r\nPen05=3\r\nPen06=3\r\nPen07=4\r\n"
    "Pen08=4\r\nPen09=1\r\nPen10=1\r\n\r\n"
    "[MojiWide]\r\nPen01=20\r\nPen02=25\r\nPen03=30\r\nPen04=40\r\nPen05=50\r\nPen06=60\r\n"
    "Pen07=70\r\nPen08=80\r\nPen09=90\r\nPen10=100\r\n\r\n"
    "[MojiHigh]\r\nPen01=20\r\nPen02=25\r\nPen03=30\r\nPen04=40\r\nPen05=50\r\nPen06=60\r\n"
    "Pen07=70\r\nPen08=80\r\nPen09=90\r\nPen10=100\r\n\r\n"
    "[MojiDist]\r\nPen01=0\r\nPen02=0\r\nPen03=5\r\nPen04=5\r\nPen05=5\r\nPen06=10\r\n"
    "Pen07=10\r\nPen08=10\r\nPen09=10\r\nPen10=10\r\n\r\n"
    "[Pcolor]\r\nPen01=5\r\nPen02=7\r\nPen03=4\r\nPen04=6\r\nPen05=3\r\nPen06=1\r\n";

const TMojiSettingsTable kDefaultMoji = {{{1, 20, 20, 0},
                                          {1, 25, 25, 0},
                                          {2, 30, 30, 5},
                                          {2, 40, 40, 5},
                                          {3, 50, 50, 5},
                                          {3, 60, 60, 10},
                                          {4, 70, 70, 10},
                                          {4, 80, 80, 10},
                                          {1, 90, 90, 10},
                                          {1, 100, 100, 10}}};
const TPenColors kDefaultPens = {5, 7, 4, 6, 3, 1};

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t begin = 0;
  for (std::size_t end; (end = text.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
    lines.push_back(text.substr(begin, end - begin));
  }
  EXPECT_EQ(begin, text.size()) << "text after the last CR LF";
  return lines;
}

std::string JoinCrLf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

class SettingsTest : public TTempFolder {
 protected:
  std::string Ini() const { return PathOf("Torvane.ini"); }
};

TEST_F(SettingsTest, DefaultTextIsExact) {
  std::string text = DefaultSettingsText();
  EXPECT_EQ(text, kDefaultText);
  // 422 characters of text and 61 line ends.
  EXPECT_EQ(text.size(), 544u);
  std::vector<std::string> lines = SplitCrLf(text);
  ASSERT_EQ(lines.size(), 61u);
  EXPECT_EQ(lines.front(), "[Header]");
  EXPECT_EQ(lines.back(), "Pen06=1");
  EXPECT_FALSE(lines[59].empty());
}

TEST_F(SettingsTest, CreateDefaultSettingsReplacesFile) {
  WriteBytes(Ini(), "[Header]\r\nSystem=0\r\n");
  CreateDefaultSettings(Ini());
  EXPECT_EQ(ReadBytes(Ini()), kDefaultText);
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"Torvane.ini"});
}

TEST_F(SettingsTest, CreateDefaultSettingsFailureIsIoError) {
  WriteBytes(PathOf("plain"), "x");
  try {
    CreateDefaultSettings(PathOf("plain/Torvane.ini"));
    ADD_FAILURE() << "no error";
  } catch (const TIoError& error) {
    EXPECT_EQ(error.Code(), kIoFileNotFound);
  }
}

TEST_F(SettingsTest, HomeFolderIsStartFolder) {
  std::string saved = HomeFolder;
  InitHomeFolder();
  EXPECT_EQ(HomeFolder, folder_ + "/");
  EXPECT_EQ(SettingsPath(), folder_ + "/Torvane.ini");
  HomeFolder = saved;
}

TEST_F(SettingsTest, LoadsDefaults) {
  WriteBytes(Ini(), kDefaultText);
  for (const std::string& path : {Ini(), PathOf("missing.ini")}) {
    TMojiSettingsTable moji{};
    TPenColors pens{};
    LoadSettings(path, moji, pens);
    EXPECT_EQ(moji, kDefaultMoji) << path;
    EXPECT_EQ(pens, kDefaultPens) << path;
    EXPECT_EQ(fs::current_path(), folder_);
  }
  EXPECT_EQ(DefaultMojiSettings(), kDefaultMoji);
  EXPECT_EQ(DefaultPenColors(), kDefaultPens);
  EXPECT_FALSE(fs::exists(PathOf("missing.ini")));
}

TEST_F(SettingsTest, IntegerValuesKeepLowBits) {
  struct TCase {
    std::string Text;
    void (*Change)(TMojiSettingsTable&, TPenColors&);  // from the defaults to the expected values
  };
  const TCase cases[] = {
      {"[MojiWide]\r\nPen05=0x1E\r\n", [](TMojiSettingsTable& m, TPenColors&) { m[4].Wide = 30; }},
      {"[MojiWide]\r\nPen05=$1E\r\n", [](TMojiSettingsTable& m, TPenColors&) { m[4].Wide = 30; }},
      {"[MojiWide]\r\nPen05=abc\r\n", [](TMojiSettingsTable&, TPenColors&) {}},
      {"[MojiWide]\r\nPen05=\r\n", [](TMojiSettingsTable&, TPenColors&) {}},
      {"[MojiPen]\r\nPen01=65537\r\n", [](TMojiSettingsTable& m, TPenColors&) { m[0].Pen = 1; }},
      {"[MojiPen]\r\nPen01=-1\r\n", [](TMojiSettingsTable& m, TPenColors&) { m[0].Pen = 65535; }},
      {"[MojiHigh]\r\nPen1=7\r\n", [](TMojiSettingsTable&, TPenColors&) {}},
      {"[MojiDist]\r\nPen10=7\r\n", [](TMojiSettingsTable& m, TPenColors&) { m[9].Dist = 7; }},
      {"[Pcolor]\r\nPen01=260\r\n", [](TMojiSettingsTable&, TPenColors& p) { p[0] = 4; }},
      {"[Pcolor]\r\nPen06=-1\r\n", [](TMojiSettingsTable&, TPenColors& p) { p[5] = 255; }},
  };
  for (const TCase& c : cases) {
    WriteBytes(Ini(), "[data]\r\ndir=\r\n" + c.Text);
    TMojiSettingsTable expectedMoji = kDefaultMoji;
    TPenColors expectedPens = kDefaultPens;
    c.Change(expectedMoji, expectedPens);
    TMojiSettingsTable moji{};
    TPenColors pens{};
    LoadSettings(Ini(), moji, pens);
    EXPECT_EQ(moji, expectedMoji) << c.Text;
    EXPECT_EQ(pens, expectedPens) << c.Text;
    EXPECT_EQ(ReadMojiSettings(TIniFile(Ini()).Read()), expectedMoji) << c.Text;
  }
}

TEST_F(SettingsTest, LoadEntersRememberedFolder) {
  struct TCase {
    const char* Name;
    std::string Text;
    std::string MakeFolder;  // inside the test folder; empty for none
    std::string Expected;    // current folder afterwards, inside the test folder
  };
  const TCase cases[] = {
      {"EmptyKeepsFolder", "[data]\r\ndir=\r\n", "0", ""},
      {"AbsentMeansFolder0", "[Header]\r\nSystem=1\r\n", "0", "/0"},
      {"AbsentWithoutFolder0", "[Header]\r\nSystem=1\r\n", "", ""},
      {"FullPath", "[data]\r\ndir=" + folder_ + "/sub\r\n", "sub", "/sub"},
      {"QuotedPath", "[data]\r\ndir=\"" + folder_ + "/ sub \"\r\n", " sub ", "/ sub "},
      {"MissingFolderIgnored", "[data]\r\ndir=" + folder_ + "/gone\r\n", "", ""},
  };
  for (const TCase& c : cases) {
    fs::current_path(folder_);
    WriteBytes(Ini(), c.Text);
    if (!c.MakeFolder.empty()) fs::create_directory(PathOf(c.MakeFolder));
    TMojiSettingsTable moji{};
    TPenColors pens{};
    LoadSettings(Ini(), moji, pens);
    EXPECT_EQ(fs::current_path().string(), folder_ + c.Expected) << c.Name;
    EXPECT_EQ(moji, kDefaultMoji) << c.Name;
    if (!c.MakeFolder.empty()) fs::remove(PathOf(c.MakeFolder));
  }
}

TEST_F(SettingsTest, ReadMojiSettingsOnlyReads) {
  fs::create_directory(PathOf("sub"));
  const std::string text = "[data]\r\ndir=sub\r\n[MojiPen]\r\nPen02=9\r\n";
  WriteBytes(Ini(), text);
  TMojiSettingsTable expected = kDefaultMoji;
  expected[1].Pen = 9;
  EXPECT_EQ(ReadMojiSettings(TIniFile(Ini()).Read()), expected);
  EXPECT_EQ(fs::current_path(), folder_);
  EXPECT_EQ(ReadBytes(Ini()), text);

  EXPECT_EQ(ReadMojiSettings(TIniFile(PathOf("missing.ini")).Read()), kDefaultMoji);
  EXPECT_FALSE(fs::exists(PathOf("missing.ini")));
}

TEST_F(SettingsTest, RememberedFolderReadsBackAsItsBytes) {
  // "テスト" and "ソ" in CP932 (the last with a "\" as its second byte), then a blank.
  const std::string name = "\x83\x65\x83\x58\x83\x67\x83\x5C x";
  fs::create_directory(PathOf(name));
  WriteBytes(Ini(), kDefaultText);
  fs::current_path(PathOf(name));
  RememberFolder(Ini());

  std::vector<std::string> lines = SplitCrLf(kDefaultText);
  lines[4] = "dir=" + PathOf(name);
  EXPECT_EQ(ReadBytes(Ini()), JoinCrLf(lines));

  fs::current_path(folder_);
  TMojiSettingsTable moji{};
  TPenColors pens{};
  LoadSettings(Ini(), moji, pens);
  EXPECT_EQ(fs::current_path().string(), PathOf(name));
}

TEST_F(SettingsTest, WritesNeedSystemAboveZero) {
  TMojiSettingsTable moji = kDefaultMoji;
  moji[0].Pen = 9;
  const std::string texts[] = {
      "[Header]\r\nSystem=0\r\n[data]\r\ndir=x\r\n",
      "[Header]\r\nSystem=-1\r\n[data]\r\ndir=x\r\n",
      "[Header]\r\nSystem=abc\r\n[data]\r\ndir=x\r\n",
      "[data]\r\ndir=x\r\n[MojiPen]\r\nPen01=1\r\n",
  };
  for (const std::string& text : texts) {
    WriteBytes(Ini(), text);
    RememberFolder(Ini());
    SaveMojiSettings(Ini(), moji, kDefaultPens);
    EXPECT_EQ(ReadBytes(Ini()), text);
  }
  RememberFolder(PathOf("missing.ini"));
  SaveMojiSettings(PathOf("missing.ini"), moji, kDefaultPens);
  EXPECT_FALSE(fs::exists(PathOf("missing.ini")));
}

TEST_F(SettingsTest, SaveReplacesValuesInPlace) {
  WriteBytes(Ini(), kDefaultText);
  TMojiSettingsTable moji = kDefaultMoji;
  TPenColors pens = kDefaultPens;
  moji[0].Pen = 65535;
  moji[4].Wide = 7;
  moji[9].Dist = 0;
  pens[5] = 255;
  SaveMojiSettings(Ini(), moji, pens);

  // Line numbers from 0: [MojiPen] is line 6, [MojiWide] 18, [MojiDist] 42, [Pcolor] 54.
  std::vector<std::string> lines = SplitCrLf(kDefaultText);
  lines[7] = "Pen01=65535";
  lines[23] = "Pen05=7";
  lines[52] = "Pen10=0";
  lines[60] = "Pen06=255";
  EXPECT_EQ(ReadBytes(Ini()), JoinCrLf(lines));
}

TEST_F(SettingsTest, SaveAddsSectionsInOrder) {
  WriteBytes(Ini(), "[Header]\r\nSystem=2");
  TMojiSettingsTable moji = kDefaultMoji;
  moji[3].High = 123;
  TPenColors pens = {0, 1, 2, 3, 4, 255};
  SaveMojiSettings(Ini(), moji, pens);

  std::string text = ReadBytes(Ini());
  std::vector<std::string> lines = SplitCrLf(text);
  // The header's 2 lines, 5 new headers, 4 × 10 + 6 keys.
  ASSERT_EQ(lines.size(), 53u);
  EXPECT_EQ(lines[1], "System=2");
  EXPECT_EQ(lines[2], "[MojiPen]");
  EXPECT_EQ(lines[13], "[MojiWide]");
  EXPECT_EQ(lines[24], "[MojiHigh]");
  EXPECT_EQ(lines[28], "Pen04=123");
  EXPECT_EQ(lines[35], "[MojiDist]");
  EXPECT_EQ(lines[46], "[Pcolor]");
  EXPECT_EQ(lines[52], "Pen06=255");
  EXPECT_EQ(ReadMojiSettings(TIniFile(Ini()).Read()), moji);
  EXPECT_EQ(ReadPenColors(TIniText(text)), pens);
}

// A settings file is small by nature: one past the bound is not one, so it is neither read (no
// memory goes to it) nor rewritten; one at the bound reads and saves as any other.
TEST_F(SettingsTest, AFileTooLargeToBeSettingsIsNeitherReadNorRewritten) {
  const std::string start = "[Header]\r\nSystem=1\r\n[MojiWide]\r\nPen01=33\r\n;";
  TMojiSettingsTable moji = kDefaultMoji;
  moji[0].Pen = 9;
  for (std::size_t size : {kMaxSettingsBytes, kMaxSettingsBytes + 1}) {
    SCOPED_TRACE(size);
    bool read = size <= kMaxSettingsBytes;
    const std::string text = start + std::string(size - start.size(), 'x');
    WriteBytes(Ini(), text);
    TMojiSettingsTable loaded{};
    TPenColors pens{};
    EXPECT_EQ(LoadSettings(Ini(), loaded, pens), read ? 0 : EFBIG);
    EXPECT_EQ(loaded[0].Wide, read ? 33 : kDefaultMoji[0].Wide);
    EXPECT_EQ(TIniFile(Ini()).ReadInteger("MojiWide", "Pen01", 0), read ? 33 : 0);
    SaveMojiSettings(Ini(), moji, kDefaultPens);
    RememberFolder(Ini());
    EXPECT_EQ(ReadBytes(Ini()) == text, !read);
    if (read) {
      EXPECT_EQ(ReadMojiSettings(TIniText(ReadBytes(Ini())))[0].Pen, 9);
    } else {
      EXPECT_THROW(TIniFile(Ini()).WriteString("data", "dir", "x"), TSettingsWriteError);
    }
  }
}

// A link that names nothing is never created through: the file would appear wherever it points.
TEST_F(SettingsTest, ADanglingLinkIsNeverCreatedThrough) {
  fs::create_symlink(PathOf("elsewhere/planted.ini"), Ini());
  fs::create_directory(PathOf("elsewhere"));
  EXPECT_THROW(CreateDefaultSettings(Ini()), TIoError);
  EXPECT_THROW(TIniFile(Ini()).WriteString("Header", "System", "1"), TSettingsWriteError);
  EXPECT_FALSE(fs::exists(PathOf("elsewhere/planted.ini")));
  EXPECT_TRUE(fs::is_symlink(Ini()));
  // A link to a file is written through as before: the link stays, the file it names changes.
  WriteBytes(PathOf("elsewhere/planted.ini"), "");
  CreateDefaultSettings(Ini());
  EXPECT_EQ(ReadBytes(PathOf("elsewhere/planted.ini")), kDefaultText);
  EXPECT_TRUE(fs::is_symlink(Ini()));
}

TEST_F(SettingsTest, FailedSaveLeavesFileWhole) {
  WriteBytes(Ini(), kDefaultText);
  TMojiSettingsTable moji = kDefaultMoji;
  moji[0].Pen = 9;
  {
    test::TFileSizeLimit limit(100);
    ASSERT_TRUE(limit.Ok());
    try {
      SaveMojiSettings(Ini(), moji, kDefaultPens);
      ADD_FAILURE() << "no error";
    } catch (const TSettingsWriteError& error) {
      EXPECT_EQ(std::string(error.what()), Ini() + " に書き込めません");
    }
  }
  EXPECT_EQ(ReadBytes(Ini()), kDefaultText);
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"Torvane.ini"});
}

}  // namespace
}  // namespace torvane
