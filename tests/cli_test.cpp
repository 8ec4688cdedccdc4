#include "cli/convertcli.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include <sys/stat.h>

#include "builder/filebuilder.h"
#include "builder/jwkbuilder.h"
#include "drawing/jwc2jww.h"
#include "test_util.h"

namespace torvane {
namespace {

namespace fs = std::filesystem;

struct TRun {
  int status;
  std::string out, err;
};

TRun RunCommand(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int status = RunConvertCommand(args, out, err);
  return {status, out.str(), err.str()};
}

class ConvertCommand : public ::testing::Test {
 protected:
  std::string Drawing(const std::string& name, const test::TJwcBuilder& b = Plan()) {
    std::string path = dir.File(name);
    test::WriteFile(path, b.Build());
    return path;
  }
  static test::TJwcBuilder Plan() {
    test::TJwcBuilder b;
    b.memo1 = "\x8b\x8f\x8a\xd4";  // 居間
    b.lines.push_back({33.3f, 12.1f, 74.1f, 37.0f});
    b.lines.push_back({0, 0, 100, 50});
    b.AddText({0, 0, 10, 0}, "abc");
    return b;
  }
  // What the converter and writer make of the drawing, as a reference for the command's output.
  static std::string Expected(const test::TJwcBuilder& b, const std::string& font, bool correction) {
    std::string bytes = b.Build();
    TJwcData source;
    ReadJwcBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, source);
    TJwwData target;
    ConvertJwcToJww(font, correction, source, target);
    test::TMemorySink sink;
    WriteJwwTo(sink, target);
    return sink.bytes;
  }

  test::TTempDir dir;
};

const std::string kGothic = "\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e";

TEST_F(ConvertCommand, ConvertsBesideTheInputAndPrintsTheSummary) {
  std::string input = Drawing("Plan.JWC");
  TRun run = RunCommand({input});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, input + "\n\n居間\n\n直線の数　 = 2\n円弧の数　 = 0\n文字列の数 = 1\n実点の数　 = 0\n仮想点の数 = 0\n" +
                         "written: " + dir.File("Plan.jww") + "\n1 converted, 0 failed, 0 skipped\n");
  EXPECT_EQ(test::ReadFile(dir.File("Plan.jww")), Expected(Plan(), kGothic, true));
}

TEST_F(ConvertCommand, OptionsReachTheConverter) {
  std::string input = Drawing("a.jwc");
  TRun run = RunCommand({"--no-correction", "--font", "ＭＳ 明朝", "--quiet", "-o", dir.File("x.jww"), input});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  std::string mincho = "\x82\x6c\x82\x72 \x96\xbe\x92\xa9";
  EXPECT_EQ(test::ReadFile(dir.File("x.jww")), Expected(Plan(), mincho, false));
  EXPECT_NE(Expected(Plan(), mincho, false), Expected(Plan(), mincho, true));
}

TEST_F(ConvertCommand, SeveralFilesGoIntoAFolderAndFailuresDoNotStopTheOthers) {
  std::string good = Drawing("one.jwc");
  std::string other = Drawing("two.jwc");
  test::WriteFile(dir.File("fake.jwc"), "not a drawing at all, just text");
  test::WriteFile(dir.File("plan.txt"), Plan().Build());
  std::string truncated = dir.File("cut.jwc");
  test::WriteFile(truncated, Plan().Build().substr(0, 2430));
  fs::create_directory(dir.File("out"));

  TRun run = RunCommand({"--quiet", "-o", dir.File("out"), good, dir.File("fake.jwc"), dir.File("plan.txt"), truncated,
                  dir.File("missing.jwc"), other});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(fs::exists(dir.File("out/one.jww")));
  EXPECT_TRUE(fs::exists(dir.File("out/two.jww")));
  EXPECT_FALSE(fs::exists(dir.File("out/cut.jww")));
  EXPECT_FALSE(fs::exists(dir.File("out/fake.jww")));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.File("out")), {}), 2);
  EXPECT_NE(run.err.find("fake.jwc: not a JW_CAD drawing"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("plan.txt: not a JW_CAD drawing"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("cut.jwc: cannot be read: the file ends inside the line records"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("missing.jwc: no such file"), std::string::npos) << run.err;
}

TEST_F(ConvertCommand, ExistingOutputsNeedForceAndInputsAreNeverReplaced) {
  std::string input = Drawing("a.jwc");
  test::WriteFile(dir.File("a.jww"), "earlier");
  TRun refused = RunCommand({"--quiet", input});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("already exists"), std::string::npos) << refused.err;
  EXPECT_EQ(test::ReadFile(dir.File("a.jww")), "earlier");

  EXPECT_EQ(RunCommand({"--quiet", "--force", input}).status, 0);
  EXPECT_EQ(test::ReadFile(dir.File("a.jww")), Expected(Plan(), kGothic, true));

  std::string before = test::ReadFile(input);
  TRun self = RunCommand({"--quiet", "--force", "-o", input, input});
  EXPECT_EQ(self.status, 1);
  EXPECT_NE(self.err.find("would replace the input"), std::string::npos) << self.err;
  EXPECT_EQ(test::ReadFile(input), before);

  // Two inputs that map to one output: the second does not overwrite the first's.
  fs::create_directory(dir.File("sub"));
  std::string namesake = Drawing("sub/a.jwc");
  fs::create_directory(dir.File("out"));
  TRun twice = RunCommand({"--quiet", "--force", "-o", dir.File("out"), input, namesake});
  EXPECT_EQ(twice.status, 1);
  EXPECT_NE(twice.err.find("already written"), std::string::npos) << twice.err;
}

TEST_F(ConvertCommand, DrawingsWithoutNameTablesAreConvertedWithANote) {
  test::TJwcBuilder old = Plan();
  old.withNames = false;
  std::string input = Drawing("old.jwc", old);
  TRun run = RunCommand({"--quiet", input});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("no layer or group names"), std::string::npos) << run.err;
  EXPECT_EQ(test::ReadFile(dir.File("old.jww")), Expected(Plan(), kGothic, true));  // names empty either way
}

TEST_F(ConvertCommand, TheWorkedExampleInBytes) {
  // A3, one line from (0, 0) to (518, 0) at scale 1: (-210, -148.5) to (210, -148.5). With an
  // empty memo (CR LF) the object list starts at byte 4139: a count, the class tag, the 13-byte
  // entity header, then the four coordinates.
  test::TJwcBuilder b;
  b.lines.push_back({0, 0, 518, 0});
  std::string input = Drawing("a3.jwc", b);
  ASSERT_EQ(RunCommand({"--quiet", input}).status, 0);
  std::string bytes = test::ReadFile(dir.File("a3.jww"));
  ASSERT_EQ(bytes.size(), 4139u + 2 + 14 + 45 + 2);
  EXPECT_EQ(test::Hex(bytes.substr(4141, 14)), "FF FF E6 00 08 00 43 44 61 74 61 53 65 6E");
  EXPECT_EQ(test::Hex(bytes.substr(4168, 32)),
            "00 00 00 00 00 40 6A C0 00 00 00 00 00 90 62 C0 00 00 00 00 00 40 6A 40 00 00 00 00 00 90 62 C0");
}

TEST_F(ConvertCommand, PartsTakeTheCharacterTypesOfTheSettingsFile) {
  test::TJwkBuilder b;
  b.AddText({0, 0, 10, 0, 0, 0, 1}, "abc");
  std::string input = dir.File("p.jwk");
  test::WriteFile(input, b.Build());
  // The object list starts at byte 452; the text's width follows the count, the class tag, the
  // entity header, four coordinates and its character type.
  const std::size_t sizeX = 452 + 2 + 15 + 13 + 32 + 4;
  auto widthWith = [&](std::vector<std::string> args) {
    args.insert(args.end(), {"--quiet", "--force", input});
    TRun run = RunCommand(args);
    EXPECT_EQ(run.status, 0) << run.err;
    std::string bytes = test::ReadFile(dir.File("p.jws"));
    return test::Hex(bytes.substr(sizeX, 8));
  };
  EXPECT_EQ(widthWith({}), "00 00 00 00 00 00 00 40");  // the built-in 20: 2.0 mm

  test::WriteFile(dir.File("mine.ini"), "[MojiWide]\r\nPen01=25\r\n");
  EXPECT_EQ(widthWith({"--settings", dir.File("mine.ini")}), "00 00 00 00 00 00 04 40");  // 2.5 mm

  TRun missing = RunCommand({"--settings", dir.File("none.ini"), input});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("cannot be read"), std::string::npos) << missing.err;
  EXPECT_EQ(RunCommand({"--settings", dir.Path().string(), input}).status, 2);
}

TEST_F(ConvertCommand, OutputsThatAreFoldersLinksOrLongNames) {
  std::string input = Drawing("a.jwc");
  fs::create_directory(dir.File("a.jww"));
  TRun folder = RunCommand({"--quiet", "--force", input});
  EXPECT_EQ(folder.status, 1);
  EXPECT_NE(folder.err.find("is a folder"), std::string::npos) << folder.err;

  // A link to a file that does not exist yet stays a link; the file it names is written.
  fs::create_symlink("real.jww", dir.File("link.jww"));
  EXPECT_EQ(RunCommand({"--quiet", "--force", "-o", dir.File("link.jww"), input}).status, 0);
  EXPECT_TRUE(fs::is_symlink(dir.File("link.jww")));
  EXPECT_EQ(test::ReadFile(dir.File("real.jww")), Expected(Plan(), kGothic, true));

  std::string longName = std::string(250, 'n') + ".jww";
  EXPECT_EQ(RunCommand({"--quiet", "-o", dir.File(longName), input}).status, 0);
  EXPECT_TRUE(fs::exists(dir.File(longName)));
}

TEST_F(ConvertCommand, InputsThatAreNoRegularFilesAreRefusedAtOnce) {
  std::string pipe = dir.File("pipe.jwc");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  TRun run = RunCommand({"--quiet", pipe});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("is not a regular file"), std::string::npos) << run.err;
  EXPECT_FALSE(IsJwcFile(pipe));  // answers at once instead of waiting for a writer
}

TEST_F(ConvertCommand, ASummaryThatCannotBeWrittenIsAFailure) {
  std::string input = Drawing("a.jwc");
  std::ostringstream out, err;
  out.setstate(std::ios::badbit);
  EXPECT_EQ(RunConvertCommand({input}, out, err), 1);
  EXPECT_NE(err.str().find("standard output"), std::string::npos) << err.str();
}

TEST_F(ConvertCommand, UsageErrors) {
  std::string input = Drawing("a.jwc");
  struct Case {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{}, "no file to convert"},
      {{"--bogus", input}, "unknown option --bogus"},
      {{input, "--font"}, "--font needs a value"},
      {{"--font", "\xF0\x9F\x98\x80", input}, "cannot be written in Shift-JIS"},
      {{"--font", std::string(128, 'a') + "ＭＳ" + std::string(126, 'b'), input}, "at most 254 fit"},
      {{"-o", dir.File("nofolder"), input, input}, "existing folder"},
  };
  for (const Case& c : cases) {
    TRun run = RunCommand(c.args);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Usage:"), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(dir.File("a.jww")));
  TRun help = RunCommand({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: torvane-convert", 0), 0u);
}

}  // namespace
}  // namespace torvane
