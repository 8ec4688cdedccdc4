#include "cli/convertcli.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include "builder/filebuilder.h"
#include "builder/jwkbuilder.h"
#include "cli/progress.h"
#include "cli/stops.h"
#include "drawing/jwc2jww.h"
#include "settings/settings.h"
#include "support/outputfile.h"
#include "support/stops.h"
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
  static test::TJwcBuilder Plan() { return test::SmallPlan(); }
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
  // Nor through a link to a damaged drawing, which only its name tells.
  test::WriteFile(dir.File("damaged.JWC"), "damaged");
  fs::create_symlink("damaged.JWC", dir.File("damaged.jww"));
  TRun damaged = RunCommand({"--quiet", "--force", "-o", dir.File("damaged.jww"), input});
  EXPECT_EQ(damaged.status, 1);
  EXPECT_NE(damaged.err.find("is a link to a JW_CAD DOS file, which is never replaced"), std::string::npos)
      << damaged.err;
  EXPECT_EQ(test::ReadFile(dir.File("damaged.JWC")), "damaged");

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
    EXPECT_NE(run.err.find("Try \"torvane-convert --help\""), std::string::npos);
    EXPECT_EQ(run.err.find("Usage:"), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(dir.File("a.jww")));
  TRun help = RunCommand({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: torvane-convert", 0), 0u);
}

// A kind's writer replaced for one test: the picture kinds have none in the core alone.
class TFakeWriter {
 public:
  TFakeWriter(std::string_view name, TOutputWriter writer) : name_(name), saved_(FindOutputKind(name)->Writer) {
    SetOutputWriter(name_, writer);
  }
  ~TFakeWriter() { SetOutputWriter(name_, saved_); }

 private:
  std::string_view name_;
  TOutputWriter saved_;
};

// A drawing comes converted, or as its source when every output converts while it writes.
void WriteCounts(TByteSink& sink, const TConverted& converted, const TConversionOptions&) {
  std::string text = converted.Part != nullptr ? "part lines " + std::to_string(converted.Part->Sen.size())
                     : converted.Drawing != nullptr ? "lines " + std::to_string(converted.Drawing->Sens.size())
                                                    : "lines " + std::to_string(converted.DrawingSource->Sen.size());
  sink.Write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

TEST_F(ConvertCommand, EachToKindIsAnOutputOfItsOwnConvertedOnce) {
  TFakeWriter fake("pdf", WriteCounts);
  std::string drawing = Drawing("a.jwc");
  std::string part = dir.File("b.jwk");
  test::WriteFile(part, test::TJwkBuilder().Build());
  fs::create_directory(dir.File("out"));
  test::WriteFile(dir.File("out/b.pdf"), "earlier");
  TRun run = RunCommand({"--to", "pdf", "--to=jww", "--to", "pdf", "--report", dir.File("r.csv"), "-o",
                         dir.File("out"), drawing, part});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(test::ReadFile(dir.File("out/a.pdf")), "lines 2");
  EXPECT_EQ(test::ReadFile(dir.File("out/a.jww")), Expected(Plan(), kGothic, true));
  EXPECT_TRUE(fs::exists(dir.File("out/b.jws")));
  EXPECT_EQ(test::ReadFile(dir.File("out/b.pdf")), "earlier");
  // The summary once per input; a line, a row and a count per output.
  EXPECT_EQ(run.out.find(drawing), run.out.rfind(drawing)) << run.out;
  EXPECT_NE(run.out.find("written: " + dir.File("out/a.pdf") + "\nwritten: " + dir.File("out/a.jww")),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("3 converted, 1 failed, 0 skipped"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("the output " + dir.File("out/b.pdf") + " already exists"), std::string::npos) << run.err;
  std::string report = test::ReadFile(dir.File("r.csv"));
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 5) << report;

  // An input refused whole is told once, and fails for each of its outputs.
  test::WriteFile(dir.File("c.jwc"), "not a drawing");
  TRun refused = RunCommand({"--to", "pdf", "--to", "jww", dir.File("c.jwc")});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "torvane-convert: " + dir.File("c.jwc") + ": not a JW_CAD drawing\n");
  EXPECT_NE(refused.out.find("0 converted, 2 failed"), std::string::npos) << refused.out;

  // One output named for one kind must carry that kind's extension.
  TRun misnamed = RunCommand({"--to", "pdf", "-o", dir.File("x.jww"), drawing});
  EXPECT_EQ(misnamed.status, 1);
  EXPECT_NE(misnamed.err.find("does not fit --to pdf: its name must end in .pdf"), std::string::npos) << misnamed.err;
  EXPECT_FALSE(fs::exists(dir.File("x.jww")));
}

TEST_F(ConvertCommand, ToDxfWritesBesideTheInputUnderTheSameRules) {
  std::string input = Drawing("Plan.JWC");
  test::WriteFile(dir.File("bad.jwc"), "not a drawing");
  TRun run = RunCommand({"--to", "dxf", input, dir.File("bad.jwc")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("written: " + dir.File("Plan.dxf") + "\n"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("bad.jwc: not a JW_CAD drawing"), std::string::npos) << run.err;
  std::string dxf = test::ReadFile(dir.File("Plan.dxf"));
  EXPECT_EQ(dxf.rfind("999\nTorvane\n0\nSECTION\n", 0), 0u);
  EXPECT_TRUE(dxf.ends_with("0\nEOF\n"));
  EXPECT_NE(dxf.find("\nTEXT\n"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir.File("bad.dxf")));
  EXPECT_FALSE(fs::exists(dir.File("Plan.jww")));
  TRun again = RunCommand({"--quiet", "--to", "dxf", input});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("already exists"), std::string::npos) << again.err;
  EXPECT_EQ(test::ReadFile(dir.File("Plan.dxf")), dxf);
  EXPECT_TRUE(test::TemporaryFilesIn(dir.Path()).empty());
}

TEST_F(ConvertCommand, ToKindsThatCannotBeWrittenAreUsageErrors) {
  std::string input = Drawing("a.jwc");
  TFakeWriter absent("svg", nullptr);
  struct Case {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"--to", "dwg", input}, "--to takes one of jww, jws, "},
      {{"--to", "JWW", input}, "not \"JWW\""},
      {{input, "--to"}, "--to needs a value"},
      {{"--to", "svg", input}, "--to svg is not available: this torvane-convert was built without the window's"},
      {{"--to", "jww", "--to", "pdf", "-o", dir.File("x.jww"), input}, "several --to kinds"},
      {{"--to", "jww", "--to", "pdf", "-o", "-", input}, "-o - takes one --to kind only"},
  };
  TFakeWriter fake("pdf", WriteCounts);
  for (const Case& c : cases) {
    TRun run = RunCommand(c.args);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 1);
}

TEST_F(ConvertCommand, NoOutputReplacesAnInputOfTheRun) {
  std::string a = Drawing("a.jwc");
  test::TJwcBuilder other = Plan();
  other.lines.push_back({1, 2, 3, 4});
  std::string b = Drawing("b.jwc", other);
  std::string original = test::ReadFile(a);
  // b's output is a link to a, or another name of a; a later input can be reached through -o DIR.
  fs::create_directory(dir.File("out"));
  struct Case {
    std::vector<std::string> args;
    std::string output;
    bool hard;
  } cases[] = {
      {{"--force", a, b}, dir.File("b.jww"), false},
      {{"--force", a, b}, dir.File("b.jww"), true},
      {{"--force", "-o", dir.File("out"), a, b}, dir.File("out/a.jww"), false},
  };
  for (const Case& c : cases) {
    fs::remove(c.output);
    c.hard ? fs::create_hard_link(c.output.find("out/") != std::string::npos ? b : a, c.output)
           : fs::create_symlink(c.output.find("out/") != std::string::npos ? b : a, c.output);
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), "--quiet");
    TRun run = RunCommand(args);
    EXPECT_EQ(run.status, 1) << c.output;
    EXPECT_NE(run.err.find("would replace the input"), std::string::npos) << run.err;
    EXPECT_EQ(test::ReadFile(a), original);
    EXPECT_EQ(test::ReadFile(b), other.Build());
  }
}

TEST_F(ConvertCommand, AnOutputThatAppearsMeanwhileIsKeptWithoutForce) {
  std::string input = Drawing("a.jwc");
  SetCommitHook([](const std::string& target) { test::WriteFile(target, "made meanwhile"); });
  TRun run = RunCommand({"--quiet", input});
  SetCommitHook(nullptr);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("a.jww already exists (--force replaces it"), std::string::npos) << run.err;
  EXPECT_EQ(test::ReadFile(dir.File("a.jww")), "made meanwhile");
  EXPECT_TRUE(test::TemporaryFilesIn(dir.Path()).empty());
}

TEST_F(ConvertCommand, SpecialFilesAreWrittenIntoNotReplaced) {
  std::string input = Drawing("a.jwc");
  std::string pipe = dir.File("pipe.jww");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = test::ReadFile(pipe); });
  TRun run = RunCommand({"--quiet", "-o", pipe, input});  // no --force needed
  reader.join();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(received, Expected(Plan(), kGothic, true));
  EXPECT_TRUE(fs::is_fifo(pipe));

  // A copy of /dev/full where devices may be made: the failed write fails the file.
  std::string full = dir.File("full");
  if (mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) GTEST_SKIP() << "no device nodes here";
  TRun failed = RunCommand({"--quiet", "-o", full, input});
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.err.find("cannot write " + full + ": No space left on device"), std::string::npos) << failed.err;
  EXPECT_TRUE(fs::is_character_file(full));
  EXPECT_TRUE(test::TemporaryFilesIn(dir.Path()).empty());
}

TEST_F(ConvertCommand, AnOutputPastTwoGibibytesIsRefusedWithTheReason) {
  // 6.4 million empty texts in a sparse file, each written with a font name of 254 bytes.
  test::TJwcBuilder b;
  b.mojiCount = 6'400'000;
  std::string input = Drawing("huge.jwc", b);
  ASSERT_EQ(truncate(input.c_str(), static_cast<off_t>(b.Build().size() + uint64_t{6'400'000} * 24)), 0);
  TRun run = RunCommand({"--quiet", "--font", std::string(254, 'F'), input});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("huge.jwc: the output would take at least 2169600000 bytes, more than the 2 GiB"),
            std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(dir.File("huge.jww")));
}

TEST_F(ConvertCommand, TheOutputCanGoToStandardOutput) {
  std::string input = Drawing("a.jwc");
  std::string captured = dir.File("captured");
  int saved = dup(STDOUT_FILENO);
  int file = open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_TRUE(saved >= 0 && file >= 0 && dup2(file, STDOUT_FILENO) >= 0);
  TRun run = RunCommand({"-o", "-", input});
  dup2(saved, STDOUT_FILENO);
  close(saved);
  close(file);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(test::ReadFile(captured), Expected(Plan(), kGothic, true));
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind(input + "\n\n居間\n", 0), 0u) << run.err;  // the summary
  EXPECT_FALSE(fs::exists(dir.File("a.jww")));

  TRun two = RunCommand({"-o", "-", input, input});
  EXPECT_EQ(two.status, 2);
  EXPECT_NE(two.err.find("-o - takes one file only"), std::string::npos) << two.err;
}

TEST_F(ConvertCommand, ControlCharactersFromFilesAreShownEscaped) {
  test::TJwcBuilder b = Plan();
  b.memo1 = "\x1B]2;owned\x07\x1B[2J";
  std::string input = Drawing("e\x1B[31m.jwc", b);
  TRun run = RunCommand({"--force", input});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find('\x1B'), std::string::npos);
  EXPECT_NE(run.out.find("\\x1B]2;owned\\x07\\x1B[2J"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("e\\x1B[31m.jwc"), std::string::npos) << run.out;
  TRun refused = RunCommand({"--quiet", input});
  EXPECT_EQ(refused.err.find('\x1B'), std::string::npos);
  EXPECT_NE(refused.err.find("e\\x1B[31m.jww already exists"), std::string::npos) << refused.err;

  // Line feeds and CRs from a memo or a file name cannot forge a line of the program's own.
  b.memo1 = "m\nwritten: /etc/passwd\r";
  std::string forged = Drawing("a\ntorvane-convert: 0 converted\nb.jwc", b);
  TRun lines = RunCommand({"--force", forged});
  EXPECT_EQ(lines.status, 0) << lines.err;
  EXPECT_NE(lines.out.find("m\\x0Awritten: /etc/passwd"), std::string::npos) << lines.out;
  EXPECT_NE(lines.out.find("a\\x0Atorvane-convert: 0 converted\\x0Ab.jww"), std::string::npos) << lines.out;
  for (const char* forgedLine : {"\nwritten: /etc", "\ntorvane-convert: 0", "\r"}) {
    EXPECT_EQ(lines.out.find(forgedLine), std::string::npos) << forgedLine;
  }
}

// The checks below run as a user without root's rights, for whom permissions hold.
TEST_F(ConvertCommand, UnreadableFilesAreToldWithTheReason) {
  fs::permissions(dir.Path(), fs::perms::all);
  std::string drawing = Drawing("a.jwc");
  std::string hidden = Drawing("hidden.jwc");
  test::TJwkBuilder part;
  part.AddText({0, 0, 10, 0, 0, 0, 1}, "abc");
  std::string partPath = dir.File("p.jwk");
  test::WriteFile(partPath, part.Build());
  test::WriteFile(dir.File("Torvane.ini"), "[MojiWide]\r\nPen01=25\r\n");
  fs::permissions(hidden, fs::perms::none);
  fs::permissions(dir.File("Torvane.ini"), fs::perms::none);
  std::string log = dir.File("log");
  auto check = [&](const std::vector<std::string>& args, int status, const std::string& message) {
    return test::InChild(
        [&] {
          if (chdir(dir.Path().c_str()) != 0) return 3;
          TRun run = RunCommand(args);
          std::fprintf(stderr, "%s", run.err.c_str());
          return run.status == status && run.err.find(message) != std::string::npos ? 0 : 4;
        },
        true, log);
  };
  EXPECT_EQ(check({"--quiet", hidden}, 1, "hidden.jwc: cannot be read: Permission denied"), 0) << test::ReadFile(log);
  // The unreadable Torvane.ini stops parts only, each with the reason; drawings convert.
  EXPECT_EQ(check({"--quiet", "-o", dir.File("out.jww"), drawing}, 0, ""), 0) << test::ReadFile(log);
  EXPECT_EQ(check({"--quiet", partPath}, 1, "p.jwk: the settings file Torvane.ini cannot be read: Permission denied"), 0)
      << test::ReadFile(log);
  EXPECT_EQ(check({"--settings", "Torvane.ini", drawing}, 2, "the settings file Torvane.ini cannot be read: Permission denied"),
            0)
      << test::ReadFile(log);
}

// A converter in a child process, stopped while its output is being committed: it removes the
// temporary file, says so and dies by the signal, so that a shell loop around it stops too.
TEST_F(ConvertCommand, StopsRemoveTheOutputInFlightAndDieByTheSignal) {
  struct Case {
    int signal;
    bool terminal;     // on a terminal the message takes the place of the progress line
    bool moveFolder;   // the input's folder is moved while the output is in flight
  } cases[] = {{SIGINT, false, false}, {SIGTERM, false, false}, {SIGHUP, false, false},
               {SIGQUIT, false, false}, {SIGINT, true, false},   {SIGTERM, false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(strsignal(c.signal));
    fs::path folder = dir.Path() / "in";
    fs::path moved = dir.Path() / "moved";
    fs::remove_all(folder);
    fs::remove_all(moved);
    fs::create_directory(folder);
    std::string input = (folder / "a.jwc").string();
    test::WriteFile(input, Plan().Build());
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    std::string log = dir.File("log");
    int master = c.terminal ? posix_openpt(O_RDWR | O_NOCTTY) : -1;
    ASSERT_TRUE(!c.terminal || (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int fd = c.terminal ? open(ptsname(master), O_WRONLY | O_NOCTTY)
                          : open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(fd, STDERR_FILENO);
      rlimit noCore{0, 0};
      setrlimit(RLIMIT_CORE, &noCore);
      HandleConvertStops("torvane-convert");
      SetCommitHook([&](const std::string&) {
        if (c.moveFolder && rename(folder.c_str(), moved.c_str()) != 0) _exit(4);
        if (write(ready[1], "x", 1) != 1) _exit(5);
        for (;;) pause();
      });
      std::ostringstream out, err;
      RunConvertCommand({"--quiet", input}, out, err);
      _exit(6);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    close(ready[1]);
    fs::path holder = c.moveFolder ? moved : folder;
    EXPECT_EQ(test::TemporaryFilesIn(holder).size(), 1u);
    kill(child, c.signal);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), c.signal);
    EXPECT_TRUE(test::TemporaryFilesIn(holder).empty());
    EXPECT_FALSE(fs::exists(holder / "a.jww"));
    if (c.terminal) {
      char text[200] = {};
      ASSERT_GT(read(master, text, sizeof text - 1), 0);
      close(master);
      EXPECT_EQ(std::string(text).rfind("\r\x1b[Ktorvane-convert: stopped by SIGINT", 0), 0u) << text;
      continue;
    }
    EXPECT_NE(test::ReadFile(log).find(std::string("torvane-convert: stopped by ") + StopSignalName(c.signal) +
                                       "; the unfinished output was removed"),
              std::string::npos)
        << test::ReadFile(log);
  }
}

// The real program, started with the default dispositions of SIGPIPE and SIGXFSZ.
int RunProgram(const std::vector<std::string>& args, int stdoutFd, rlim_t fileSizeLimit, const std::string& log) {
  return test::InChild(
      [&] {
        std::signal(SIGPIPE, SIG_DFL);
        std::signal(SIGXFSZ, SIG_DFL);
        rlimit limit{fileSizeLimit, fileSizeLimit};
        if (fileSizeLimit != RLIM_INFINITY && setrlimit(RLIMIT_FSIZE, &limit) != 0) return 7;
        if (stdoutFd >= 0 && dup2(stdoutFd, STDOUT_FILENO) < 0) return 8;
        std::vector<char*> argv{const_cast<char*>(TORVANE_CONVERT)};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(TORVANE_CONVERT, argv.data());
        return 9;
      },
      false, log);
}

TEST_F(ConvertCommand, AClosedStandardOutputOrAFileSizeLimitFailsWithoutAKill) {
  std::string input = Drawing("a.jwc");
  std::string log = dir.File("log");
  int closed[2];
  ASSERT_EQ(pipe(closed), 0);
  close(closed[0]);
  int status = RunProgram({input}, closed[1], RLIM_INFINITY, log);
  close(closed[1]);
  ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(test::ReadFile(dir.File("a.jww")), Expected(Plan(), kGothic, true));  // converted all the same
  EXPECT_NE(test::ReadFile(log).find("could not be written to standard output"), std::string::npos);

  status = RunProgram({"--quiet", "--force", input}, -1, 1000, log);
  ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(test::ReadFile(log).find("cannot write " + dir.File("a.jww") + ": File too large"), std::string::npos)
      << test::ReadFile(log);
  EXPECT_EQ(test::ReadFile(dir.File("a.jww")), Expected(Plan(), kGothic, true));  // the earlier file stays
  EXPECT_TRUE(test::TemporaryFilesIn(dir.Path()).empty());
}

// Every regular file below root with its bytes, by path relative to root.
std::map<std::string, std::string> TreeBytes(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) files[entry.path().lexically_relative(root).string()] = test::ReadFile(entry.path());
  }
  return files;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

class ArchiveCommand : public ConvertCommand {
 protected:
  // A small archive: drawings and parts in nested folders, other files, a file that is not a
  // drawing, one whose name is Shift-JIS, and a folder with nothing to convert.
  std::string Archive() {
    for (const char* folder : {"in", "in/1990", "in/1990/現場", "in/parts", "in/empty"}) {
      fs::create_directory(dir.File(folder));
    }
    Drawing("in/plan.jwc");
    Drawing("in/1990/HOUSE.JWC");
    Drawing("in/1990/現場/\x8b\x8f\x8a\xd4.jwc");  // 居間 in Shift-JIS, in a folder named in UTF-8
    test::TJwkBuilder part;
    part.AddText({0, 0, 10, 0, 0, 0, 1}, "abc");
    test::WriteFile(dir.File("in/parts/door.JWK"), part.Build());
    test::WriteFile(dir.File("in/1990/fake.jwc"), "not a drawing");
    test::WriteFile(dir.File("in/readme.txt"), "notes");
    test::WriteFile(dir.File("in/empty/notes.doc"), "notes");
    return dir.File("in");
  }
};

TEST_F(ArchiveCommand, RecursionRebuildsTheTreeAndParallelJobsChangeNothing) {
  std::string in = Archive();
  TRun one = RunCommand({"-r", "-j", "1", "-o", dir.File("out1"), in});
  TRun two = RunCommand({"-r", "--jobs=2", "-o", dir.File("out2"), in});
  EXPECT_EQ(one.status, 1);
  EXPECT_EQ(two.status, 1);
  std::map<std::string, std::string> tree = TreeBytes(dir.File("out1"));
  std::vector<std::string> names;
  for (const auto& [name, bytes] : tree) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"1990/HOUSE.jww", "1990/現場/\x8b\x8f\x8a\xd4.jww", "parts/door.jws",
                                             "plan.jww"}));
  EXPECT_EQ(tree["plan.jww"], Expected(Plan(), kGothic, true));
  EXPECT_FALSE(fs::exists(dir.File("out1/empty")));
  EXPECT_EQ(TreeBytes(dir.File("out2")), tree);
  EXPECT_EQ(Replaced(two.out, "out2", "out1"), one.out);
  EXPECT_EQ(Replaced(two.err, "out2", "out1"), one.err);
  // Summaries in input order, each followed by the output it made; the Shift-JIS name decoded.
  std::vector<std::string> order{"1990/HOUSE.JWC", "written: " + dir.File("out1/1990/HOUSE.jww"), "現場/居間.jwc",
                                 "written: " + dir.File("out1/1990/現場/居間.jww"), "door.JWK", "plan.jwc",
                                 "4 converted, 1 failed, 0 skipped\n"};
  std::size_t at = 0;
  for (const std::string& text : order) {
    at = one.out.find(text, at);
    EXPECT_NE(at, std::string::npos) << text << "\n" << one.out;
  }
  EXPECT_EQ(one.err, "torvane-convert: " + dir.File("in/1990/fake.jwc") + ": not a JW_CAD drawing\n");

  // Without -o each output lands beside its input. A summary names its file without "/./".
  TRun summaries = RunCommand({"-r", dir.File("in/1990/.")});
  EXPECT_EQ(summaries.out.rfind(dir.File("in/1990/HOUSE.JWC\n"), 0), 0u) << summaries.out;
  TRun beside = RunCommand({"-r", "--quiet", "--force", in});
  EXPECT_EQ(beside.status, 1);
  EXPECT_EQ(test::ReadFile(dir.File("in/plan.jww")), tree["plan.jww"]);
  EXPECT_TRUE(fs::exists(dir.File("in/parts/door.jws")));
  // A folder named without -r is refused with the way to convert it.
  TRun folder = RunCommand({"--quiet", in});
  EXPECT_NE(folder.err.find("is a folder (--recursive converts"), std::string::npos) << folder.err;
}

TEST_F(ArchiveCommand, SkipExistingKeepsOutputsAndCountsThemWhileTwinsNeverReplaceEachOther) {
  std::string in = Archive();
  fs::create_directory(dir.File("out"));
  test::WriteFile(dir.File("out/plan.jww"), "earlier");
  TRun refused = RunCommand({"-r", "-o", dir.File("out"), in});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("out/plan.jww already exists (--force replaces it, --skip-existing keeps it)"),
            std::string::npos)
      << refused.err;
  EXPECT_NE(refused.out.find("3 converted, 2 failed, 0 skipped"), std::string::npos) << refused.out;

  fs::remove(dir.File("in/1990/fake.jwc"));
  TRun skipped = RunCommand({"-r", "--skip-existing", "-o", dir.File("out"), in});
  EXPECT_EQ(skipped.status, 0) << skipped.err;
  EXPECT_EQ(skipped.err, "");
  EXPECT_NE(skipped.out.find(dir.File("in/plan.jwc") + ": skipped: the output " + dir.File("out/plan.jww") +
                             " already exists\n"),
            std::string::npos)
      << skipped.out;
  EXPECT_NE(skipped.out.find("0 converted, 0 failed, 4 skipped\n"), std::string::npos) << skipped.out;
  EXPECT_EQ(test::ReadFile(dir.File("out/plan.jww")), "earlier");
  EXPECT_EQ(RunCommand({"--force", "--skip-existing", in}).status, 2);

  // Even with --force, a link that leads to a drawing found in the tree is not written through.
  fs::create_directory(dir.File("linked"));
  std::string target = Drawing("linked/c.jwc");
  Drawing("linked/a.jwc");
  fs::create_symlink("c.jwc", dir.File("linked/a.jww"));
  TRun linked = RunCommand({"-r", "--quiet", "--force", dir.File("linked")});
  EXPECT_EQ(linked.status, 1);
  EXPECT_EQ(linked.err, "torvane-convert: " + dir.File("linked/a.jwc") + ": the output " + dir.File("linked/a.jww") +
                            " is a link to a JW_CAD DOS file, which is never replaced\n");
  EXPECT_EQ(test::ReadFile(target), Plan().Build());
  EXPECT_TRUE(fs::exists(dir.File("linked/c.jww")));

  // Two inputs with one output: the first in input order writes it, whatever the jobs.
  test::TJwcBuilder other = Plan();
  other.lines.pop_back();
  fs::create_directory(dir.File("twins"));
  Drawing("twins/a.JWC", other);
  Drawing("twins/a.jwc");
  for (const char* mode : {"--force", "--skip-existing"}) {
    for (const char* jobs : {"-j1", "-j2"}) {
      fs::remove_all(dir.File("twins-out"));
      TRun twins = RunCommand({"-r", "--quiet", mode, jobs, "-o", dir.File("twins-out"), dir.File("twins")});
      EXPECT_EQ(twins.status, 1) << mode << jobs;
      EXPECT_EQ(twins.err, "torvane-convert: " + dir.File("twins/a.jwc") + ": the output " +
                               dir.File("twins-out/a.jww") + " was already written by another file of this run\n");
      EXPECT_EQ(test::ReadFile(dir.File("twins-out/a.jww")), Expected(other, kGothic, true)) << mode << jobs;
    }
  }
}

// A worker reads file after file into the same memory: a cut file after a longer one is read as
// far as it goes, never on into what the longer one left there.
TEST_F(ArchiveCommand, ACutFileAfterALongerOneIsReadAlone) {
  test::TJwcBuilder lines = Plan();
  for (int i = 0; i < 2000; ++i) lines.lines.push_back({0, 0, static_cast<float>(i), 1});
  std::string whole = lines.Build();
  fs::create_directory(dir.File("cut"));
  test::WriteFile(dir.File("cut/a.jwc"), whole);
  test::WriteFile(dir.File("cut/b.jwc"), whole.substr(0, whole.size() / 2));
  TRun run = RunCommand({"-r", "--quiet", "-j", "1", "-o", dir.File("cut-out"), dir.File("cut")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(fs::exists(dir.File("cut-out/a.jww")));
  EXPECT_FALSE(fs::exists(dir.File("cut-out/b.jww")));
  EXPECT_EQ(run.err.rfind("torvane-convert: " + dir.File("cut/b.jwc") + ": cannot be read: ", 0), 0u) << run.err;
}

// A tree someone else made, with links and a pipe planted where the outputs go: outputs derived
// from input names are never written through them, with or without --force, and nothing hangs.
TEST_F(ArchiveCommand, PlantedLinksAndPipesAtDerivedOutputsAreExistingFiles) {
  struct Case {
    const char* name;
    std::function<void(const std::string&)> plant;
  } cases[] = {
      {"device", [](const std::string& path) { fs::create_symlink("/dev/null", path); }},
      {"outside", [&](const std::string& path) { fs::create_symlink("../../victim.txt", path); }},
      {"dangling", [&](const std::string& path) { fs::create_symlink("../../made.txt", path); }},
      {"pipe", [](const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); }},
  };
  test::WriteFile(dir.File("victim.txt"), "victim");
  for (bool force : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (force ? " --force" : ""));
      fs::remove_all(dir.File("t"));
      fs::create_directories(dir.File("t/sub"));
      Drawing("t/sub/a.jwc");
      Drawing("t/sub/b.jwc");
      std::string planted = dir.File("t/sub/a.jww");
      c.plant(planted);
      std::vector<std::string> args{"--quiet", "-j1", "-r", dir.File("t")};
      if (force) args.insert(args.begin(), "--force");
      TRun run = RunCommand(args);
      EXPECT_EQ(run.status, force ? 0 : 1) << run.err;
      EXPECT_EQ(fs::is_regular_file(fs::symlink_status(planted)), force);
      if (!force) {
        EXPECT_NE(run.err.find("a.jww already exists (--force replaces it"), std::string::npos) << run.err;
      }
      EXPECT_EQ(test::ReadFile(dir.File("t/sub/b.jww")), Expected(Plan(), kGothic, true));
      EXPECT_EQ(test::ReadFile(dir.File("victim.txt")), "victim");
      EXPECT_FALSE(fs::exists(dir.File("made.txt")));
      EXPECT_TRUE(fs::is_character_file("/dev/null"));
    }
  }
}

TEST_F(ArchiveCommand, TheReportHasOneRowPerInput) {
  fs::create_directory(dir.File("in"));
  Drawing("in/a, \"first\".jwc");
  test::WriteFile(dir.File("in/b.jwc"), "not a drawing");
  Drawing("in/c.jwc");
  test::WriteFile(dir.File("in/c.jww"), "earlier");
  fs::create_symlink(dir.File("in/nowhere.jwc"), dir.File("in/d.jwc"));
  test::WriteFile(dir.File("report.csv"), "an earlier report");
  TRun run = RunCommand({"-r", "--skip-existing", "--report", dir.File("report.csv"), dir.File("in")});
  EXPECT_EQ(run.status, 1);
  std::string in = dir.File("in/");
  EXPECT_EQ(test::ReadFile(dir.File("report.csv")),
            "\xEF\xBB\xBFinput,output,kind,result,reason,lines,arcs,texts,points,virtual points\r\n"
            "\"" + in + "a, \"\"first\"\".jwc\",\"" + in + "a, \"\"first\"\".jww\",drawing,converted,,2,0,1,0,0\r\n" +
            in + "b.jwc," + in + "b.jww,drawing,failed,not a JW_CAD drawing,,,,,\r\n" +
            in + "c.jwc," + in + "c.jww,drawing,skipped,the output " + in + "c.jww already exists,,,,,\r\n" +
            in + "d.jwc," + in + "d.jww,drawing,failed,is a link that leads to no file,,,,,\r\n");
  TRun drawingName = RunCommand({"--report", dir.File("in/c.jww"), dir.File("in/c.jwc")});
  EXPECT_EQ(drawingName.status, 2);
  EXPECT_NE(drawingName.err.find("would replace a drawing or part"), std::string::npos) << drawingName.err;
  // The report is written through a link; a link to a drawing, whatever its name, is never.
  std::string drawing = test::ReadFile(dir.File("in/c.jwc"));
  test::WriteFile(dir.File("in/c.dat"), drawing);
  for (const char* target : {"in/c.jwc", "in/c.dat"}) {
    fs::remove(dir.File("link.csv"));
    fs::create_symlink(dir.File(target), dir.File("link.csv"));
    TRun link = RunCommand({"--quiet", "--force", "--report", dir.File("link.csv"), dir.File("in/c.jwc")});
    EXPECT_EQ(link.status, 2);
    EXPECT_NE(link.err.find("is a link to the drawing or part " + dir.File(target) + ", which is never replaced"),
              std::string::npos)
        << link.err;
    EXPECT_EQ(test::ReadFile(dir.File(target)), drawing);
  }
  // Nor through a link to a part that this run would write.
  fs::remove(dir.File("link.csv"));
  fs::create_symlink(dir.File("in/c.jws"), dir.File("link.csv"));
  EXPECT_EQ(RunCommand({"--quiet", "--report", dir.File("link.csv"), dir.File("in/c.jwc")}).status, 2);
  EXPECT_FALSE(fs::exists(dir.File("in/c.jws")));
}

// A report that cannot be written is given up, never the run: every input is still converted
// and counted, and the report's failure is named once. A few rows fail only at the end; many
// long rows fail part-way, while inputs are still waiting.
TEST_F(ArchiveCommand, AReportThatFailsNeverStopsTheConversions) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  for (std::size_t inputs : {std::size_t{2}, std::size_t{200}}) {
    SCOPED_TRACE(inputs);
    std::string folder = dir.File("in" + std::to_string(inputs));
    fs::create_directory(folder);
    for (std::size_t i = 0; i < inputs; ++i) {
      Drawing(fs::path(folder).filename().string() + "/" + std::string(200, 'a') + std::to_string(i) + ".jwc");
    }
    TRun run = RunCommand({"-r", "-j2", "--report", "/dev/full", folder});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find(std::to_string(inputs) + " converted, 0 failed, 0 skipped\n"), std::string::npos)
        << run.out;
    EXPECT_EQ(run.err, "torvane-convert: the report /dev/full could not be finished: No space left on device "
                       "(the conversions went on without it)\n");
    std::size_t outputs = 0;
    for (const auto& entry : fs::directory_iterator(folder)) outputs += entry.path().extension() == ".jww";
    EXPECT_EQ(outputs, inputs);
  }
}

TEST_F(ArchiveCommand, FailuresSayWhatIsWrongInPlainWords) {
  std::string drawing = Drawing("a.jwc");
  test::TJwkBuilder part;
  std::string partPath = dir.File("p.jwk");
  test::WriteFile(partPath, part.Build());
  test::WriteFile(dir.File("file"), "x");
  ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
  test::WriteFile(dir.File("huge"), "");
  fs::resize_file(dir.File("huge"), std::uintmax_t{1} << 30);
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string message;
  } cases[] = {
      {{"-o", dir.File("missing/dir/a.jww"), drawing}, 1,
       "cannot write " + dir.File("missing/dir/a.jww") + ": the folder " + dir.File("missing/dir") + " does not exist"},
      {{"-o", dir.File("file/a.jww"), drawing}, 1, ": " + dir.File("file") + " is not a folder"},
      {{"-o", dir.File("x.jww"), partPath}, 1,
       "the output " + dir.File("x.jww") + " does not fit a part: its name must end in .jws"},
      {{"-o", dir.File("x.JWS"), drawing}, 1, "does not fit a drawing: its name must end in .jww"},
      {{"-o", dir.File("x.txt"), drawing}, 1, "does not fit a drawing"},
      {{"-o", dir.File("new"), drawing}, 1, "its name must end in .jww (an output folder must exist already)"},
      {{"--settings", dir.File("nosuch.ini"), drawing}, 2,
       "the settings file " + dir.File("nosuch.ini") + " cannot be read: No such file or directory"},
      {{"--settings", dir.File("pipe"), drawing}, 2,
       "the settings file " + dir.File("pipe") + " cannot be read: it is not a regular file"},
      {{"--jwf", dir.File("pipe"), drawing}, 2,
       "the JWF file " + dir.File("pipe") + " cannot be read: it is not a regular file"},
      // No real settings or JWF file is this large; reading one would take gigabytes.
      {{"--settings", dir.File("huge"), drawing}, 2,
       "the settings file " + dir.File("huge") + " cannot be read: it is larger than 1 MiB, far more than a real "
       "one holds"},
      {{"--jwf", dir.File("huge"), drawing}, 2,
       "the JWF file " + dir.File("huge") + " cannot be read: it is larger than 1 MiB, far more than a real one holds"},
      {{"-j", "0", drawing}, 2, "--jobs takes a number from 1 to 256, not \"0\""},
  };
  for (const Case& c : cases) {
    TRun run = RunCommand(c.args);
    EXPECT_EQ(run.status, c.status) << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
  EXPECT_EQ(RunCommand({"-o", dir.File("x.JWW"), drawing}).status, 0);

  // A write that fails midway is worded by the command line, and leaves nothing behind.
  TRun full;
  {
    test::TFileSizeLimit limit(1000);
    ASSERT_TRUE(limit.Ok());
    full = RunCommand({"--quiet", "-o", dir.File("big.jww"), drawing});
  }
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, "torvane-convert: " + drawing + ": cannot write " + dir.File("big.jww") + ": File too large\n");
  EXPECT_FALSE(fs::exists(dir.File("big.jww")));

  // As a user for whom permissions hold: an unreadable input and a folder that cannot be written.
  fs::permissions(dir.Path(), fs::perms::all);
  fs::permissions(drawing, fs::perms::none);
  fs::create_directory(dir.File("closed"));
  fs::permissions(dir.File("closed"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read |
                                          fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec);
  std::string other = Drawing("b.jwc");
  fs::permissions(other, fs::perms::all);
  std::string log = dir.File("log");
  int status = test::InChild(
      [&] {
        TRun run = RunCommand({"--quiet", "-o", dir.File("closed"), drawing, other});
        std::fprintf(stderr, "%s", run.err.c_str());
        return run.status;
      },
      true, log);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(test::ReadFile(log), "torvane-convert: " + drawing + ": cannot be read: Permission denied\n" +
                                     "torvane-convert: " + other + ": cannot write " + dir.File("closed/b.jww") +
                                     ": Permission denied\n");
}

TEST_F(ArchiveCommand, TheProgressLineIsDrawnInPlaceOnlyOnATerminal) {
  std::string in = Archive();
  TRun run;
  {
    std::ostringstream out, err;
    run.status = RunConvertCommand({"-r", "-o", dir.File("out"), in}, out, err, TTerminal{true, 60});
    run.out = out.str();
    run.err = err.str();
  }
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("\r0 of 5 files, 0 failed  …", 0), 0u) << run.err;
  EXPECT_NE(run.err.find("/in/1990/HOUSE.JWC\x1b[K"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find('\n'), run.err.find(": not a JW_CAD drawing\n") + 22) << run.err;
  EXPECT_EQ(run.err.substr(run.err.size() - 4), "\r\x1b[K");  // nothing left of it at the end
  std::ostringstream out, err;
  RunConvertCommand({"-r", "--quiet", "--force", "-o", dir.File("out"), in}, out, err, TTerminal{true, 60});
  EXPECT_EQ(err.str(), "torvane-convert: " + in + "/1990/fake.jwc: not a JW_CAD drawing\n");

  EXPECT_EQ(FitToColumns("0 of 5 files", 20), "0 of 5 files");
  EXPECT_EQ(FitToColumns("/archive/1990/居間.jwc", 12), "…90/居間.jwc");
  EXPECT_EQ(FitToColumns("居間居間", 4), "…間");
}

TEST(ConvertProgram, SpeaksJapaneseUnderAJapaneseLocale) {
  test::TTempDir dir;
  std::string input = dir.File("a.jwc");
  test::WriteFile(input, "not a drawing");
  // Whether or not ja_JP.UTF-8 is generated on the machine.
  std::string command = "cd " + dir.Path().string() + " && env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=ja_JP.UTF-8 " +
                        "TEXTDOMAINDIR=" + TORVANE_LOCALE_DIR + " " + TORVANE_CONVERT + " a.jwc b.jwc > out.txt 2> err.txt";
  EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 1);
  EXPECT_EQ(test::ReadFile(dir.File("err.txt")),
            "torvane-convert: a.jwc: JW_CAD の図面ではありません\ntorvane-convert: b.jwc: ファイルがありません\n");
  EXPECT_EQ(test::ReadFile(dir.File("out.txt")), "変換 0 件、失敗 2 件、スキップ 0 件\n");
  // The messages about settings and JWF files too; an empty LANGUAGE counts as unset.
  command = "cd " + dir.Path().string() + " && env -u LC_ALL -u LC_MESSAGES LANGUAGE= LANG=ja_JP.UTF-8 " +
            "TEXTDOMAINDIR=" + TORVANE_LOCALE_DIR + " " + TORVANE_CONVERT + " --jwf none.jwf a.jwc 2> err.txt";
  EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 2);
  EXPECT_EQ(test::ReadFile(dir.File("err.txt")).rfind("torvane-convert: JWF ファイル none.jwf を読めません: ", 0), 0u)
      << test::ReadFile(dir.File("err.txt"));
  // Why a read stopped, in Japanese under the Japanese locale and in English under C.
  test::TJwcBuilder truncated;
  truncated.withNames = false;
  truncated.senCount = 5;
  test::WriteFile(dir.File("t.jwc"), truncated.Build());
  const std::pair<const char*, const char*> locales[] = {
      {"LANG=ja_JP.UTF-8", "torvane-convert: t.jwc: 読めません: 線分データの途中でファイルが終わっています\n"},
      {"LANG=C", "torvane-convert: t.jwc: cannot be read: the file ends inside the line records\n"}};
  for (const auto& [locale, message] : locales) {
    command = "cd " + dir.Path().string() + " && env -u LANGUAGE -u LC_ALL -u LC_MESSAGES " + locale +
              " TEXTDOMAINDIR=" + TORVANE_LOCALE_DIR + " " + TORVANE_CONVERT + " --quiet t.jwc 2> err.txt";
    EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 1);
    EXPECT_EQ(test::ReadFile(dir.File("err.txt")), message) << locale;
  }
  command = "LANG=C.UTF-8 LANGUAGE= LC_ALL= " + std::string(TORVANE_CONVERT) + " --version > " + dir.File("v.txt");
  EXPECT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(test::ReadFile(dir.File("v.txt")).rfind("torvane-convert ", 0), 0u);
}

// A spreadsheet takes a cell beginning with =, +, - or @ for a formula. Relative paths that would
// begin so are written as ./PATH (the same file); any other cell (a reason that begins with a
// path, in Japanese) begins with an apostrophe. Ordinary cells keep their bytes.
TEST(ConvertProgram, NoReportCellStartsAFormula) {
  test::TTempDir dir;
  std::string drawing = test::SmallPlan().Build();
  for (const char* name : {"=1+2.jwc", "-m.jwc", "+p.jwc", "plain.jwc"}) test::WriteFile(dir.File(name), drawing);
  test::WriteFile(dir.File("@x.jwc"), "not a drawing");
  std::string command = "cd " + dir.Path().string() + " && LANGUAGE= LC_ALL=C.UTF-8 " + TORVANE_CONVERT +
                        " --quiet --report r.csv -- =1+2.jwc -m.jwc +p.jwc @x.jwc plain.jwc 2>/dev/null";
  EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 1);
  EXPECT_EQ(test::ReadFile(dir.File("r.csv")),
            "\xEF\xBB\xBFinput,output,kind,result,reason,lines,arcs,texts,points,virtual points\r\n"
            "./=1+2.jwc,./=1+2.jww,drawing,converted,,2,0,1,0,0\r\n"
            "./-m.jwc,./-m.jww,drawing,converted,,2,0,1,0,0\r\n"
            "./+p.jwc,./+p.jww,drawing,converted,,2,0,1,0,0\r\n"
            "./@x.jwc,./@x.jww,drawing,failed,not a JW_CAD drawing,,,,,\r\n"
            "plain.jwc,plain.jww,drawing,converted,,2,0,1,0,0\r\n");
  command = "cd " + dir.Path().string() + " && env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=ja_JP.UTF-8 TEXTDOMAINDIR=" +
            TORVANE_LOCALE_DIR + " " + TORVANE_CONVERT + " --quiet --report r.csv -o =none/a.jww plain.jwc 2>/dev/null";
  EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 1);
  std::string report = test::ReadFile(dir.File("r.csv"));
  EXPECT_NE(report.find("\r\nplain.jwc,./=none/a.jww,drawing,failed,'=none/a.jww を書けません"), std::string::npos)
      << report;
}

// JWF texts that set given character types, written in the many ways the import allows, some with
// a fault: a bad value is refused, too few key lines are taken after a warning.
class TJwfWriter {
 public:
  explicit TJwfWriter(unsigned seed) : random_(seed) {}

  struct TText {
    std::string Bytes;
    bool Refused = false;
    std::size_t FaultLine = 0;  // the line a refusal or warning names
  };

  TText Write(const TMojiSettingsTable& moji, const TPenColors& pens) {
    std::vector<std::pair<std::string, std::string>> keyLines = {
        {"LCOLLOR", Digits(pens)},
        {"MPEN", Digits(moji, &TMojiSetting::Pen)},
        {"MWIDE", Sizes(moji, &TMojiSetting::Wide)},
        {"MHIGH", Sizes(moji, &TMojiSetting::High)}};
    std::shuffle(keyLines.begin(), keyLines.end(), random_);
    keyLines.push_back({"MDIST", Sizes(moji, &TMojiSetting::Dist)});
    // A fault in one of six texts: a value that is no number, "LCOLLOR_" before a key line, or
    // MDIST before the last other key line.
    enum { kBadValue, kLcollorUnderscore, kEarlyMdist };
    int fault = Number(0, 17);
    std::size_t faulty = static_cast<std::size_t>(Number(0, 4));
    if (fault == kBadValue) keyLines[faulty].second.insert(0, "z");
    if (fault == kEarlyMdist) std::swap(keyLines[3], keyLines[4]);

    TText text;
    std::string end = Pick({"\n", "\r\n", "\r\n"});
    std::size_t line = 0;
    auto add = [&](const std::string& content) {
      text.Bytes += content + Pick({"", " ", "\t "}) + end;
      ++line;
    };
    for (std::size_t i = 0; i < keyLines.size(); ++i) {
      if (Number(0, 2) == 0) {
        add(Pick({"# MWIDE = 1 2 3 4 5 6 7 8 9 10", "#MPEN=9999999999", "", "PAPER = 3", "mwide = 1 1 1 1 1 1 1 1 1 1",
                  " MDIST = 1", "MFONT 2"}));
      }
      if (fault == kLcollorUnderscore && i == faulty) {
        add("LCOLLOR_ = 0");
        text.FaultLine = line;
      }
      add(Key(keyLines[i].first) + keyLines[i].second);
      if (text.FaultLine == 0 && ((fault == kBadValue && i == faulty) || (fault == kEarlyMdist && i == 3))) {
        text.FaultLine = line;
      }
    }
    text.Refused = fault == kBadValue;
    if (Number(0, 1) == 0) text.Bytes += "\x1A" + Key("MWIDE") + "1 1 1 1 1 1 1 1 1 1" + end;
    return text;
  }

 private:
  int Number(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  std::string Pick(std::initializer_list<const char*> choices) {
    return *(choices.begin() + Number(0, static_cast<int>(choices.size()) - 1));
  }
  std::string Blanks() { return Pick({" ", "\t", "  ", " \t", "\t\t"}); }
  std::string Key(const std::string& name) {
    return name + Pick({"", " ", "\t"}) + Pick({"=", "=", ":"}) + Pick({"", " ", "\t"});
  }
  template <typename Table, typename Field>
  std::string Digits(const Table& table, Field field) {
    bool blanks = Number(0, 1) == 0;
    std::string line;
    for (const auto& entry : table) line += std::to_string(field(entry)) + (blanks ? Blanks() : "");
    return line;
  }
  std::string Digits(const TPenColors& pens) {
    return Digits(pens, [](uint8_t c) { return c; });
  }
  std::string Digits(const TMojiSettingsTable& moji, uint16_t TMojiSetting::*f) {
    return Digits(moji, [f](const TMojiSetting& m) { return m.*f; });
  }
  std::string Sizes(const TMojiSettingsTable& moji, uint16_t TMojiSetting::*f) {
    std::string line;
    for (std::size_t i = 0; i < moji.size(); ++i) line += (i > 0 ? Blanks() : "") + std::to_string(moji[i].*f);
    return line;
  }

  std::mt19937 random_;
};

// A part with a text of every character type, so that every value of the types shows in its bytes.
std::string PartOfAllTypes() {
  test::TJwkBuilder b;
  for (uint8_t type = 1; type <= 10; ++type) b.AddText({0, float(type), 10, float(type), 0, 0, type}, "abc");
  return b.Build();
}

TEST_F(ConvertCommand, AJwfFileGivesTheBytesOfTheSameTypesInASettingsFile) {
  std::string input = dir.File("p.jwk");
  test::WriteFile(input, PartOfAllTypes());
  std::string ini = dir.File("types.ini");
  std::string jwf = dir.File("env.jwf");
  auto convert = [&](std::vector<std::string> args) {
    fs::remove(dir.File("p.jws"));
    args.insert(args.end(), {"--quiet", input});
    TRun run = RunCommand(args);
    std::string bytes = run.status == 0 ? test::ReadFile(dir.File("p.jws")) : "";
    return std::make_pair(run, bytes);
  };

  TJwfWriter writer(8);
  std::mt19937 random(8);
  int rejected = 0;
  for (int variant = 0; variant < 60; ++variant) {
    TMojiSettingsTable moji;
    for (TMojiSetting& m : moji) {
      m = {uint16_t(random() % 10), uint16_t(random() % 65536), uint16_t(random() % 2000), uint16_t(random() % 100)};
    }
    TPenColors pens;
    for (uint8_t& c : pens) c = uint8_t(random() % 10);
    TJwfWriter::TText text = writer.Write(moji, pens);
    test::WriteFile(jwf, text.Bytes);
    SCOPED_TRACE(testing::PrintToString(text.Bytes));

    auto [viaJwf, jwfBytes] = convert({"--jwf", jwf});
    if (text.FaultLine != 0) {
      ++rejected;
      EXPECT_EQ(viaJwf.status, text.Refused ? 2 : 0);
      EXPECT_NE(viaJwf.err.find("line " + std::to_string(text.FaultLine)), std::string::npos) << viaJwf.err;
      EXPECT_EQ(viaJwf.err.find("warning: ") != std::string::npos, !text.Refused) << viaJwf.err;
      EXPECT_EQ(fs::exists(dir.File("p.jws")), !text.Refused);
      continue;
    }
    test::WriteFile(ini, DefaultSettingsText());
    SaveMojiSettings(ini, moji, pens);
    auto [viaIni, iniBytes] = convert({"--settings", ini});
    ASSERT_EQ(viaJwf.status, 0) << viaJwf.err;
    ASSERT_EQ(viaIni.status, 0) << viaIni.err;
    EXPECT_EQ(jwfBytes, iniBytes);
  }
  EXPECT_GT(rejected, 5);
  EXPECT_LT(rejected, 30);

  // The import goes over the types of the settings: what the file does not set stays.
  test::WriteFile(ini, "[MojiHigh]\r\nPen01=77\r\n");
  test::WriteFile(jwf, "LCOLLOR=574631\nMPEN=1122334411\nMWIDE = 1 2 3 4 5 6 7 8 9 10\n"
                       "MWIDE = 11 2 3 4 5 6 7 8 9 10\nMDIST = 0 0 0 0 0 0 0 0 0 0\n");
  auto [combined, combinedBytes] = convert({"--settings", ini, "--jwf", jwf});
  ASSERT_EQ(combined.status, 0) << combined.err;
  TMojiSettingsTable expected = DefaultMojiSettings();
  for (std::size_t i = 0; i < expected.size(); ++i) {
    expected[i].Wide = uint16_t(i == 0 ? 11 : i + 1);
    expected[i].Dist = 0;
  }
  expected[0].High = 77;
  test::WriteFile(ini, DefaultSettingsText());
  SaveMojiSettings(ini, expected, DefaultPenColors());
  EXPECT_EQ(combinedBytes, convert({"--settings", ini}).second);
}

TEST_F(ConvertCommand, JwfFilesAreTakenRefusedOrTakenAfterAWarningAsTheWindowTakesThem) {
  std::string input = dir.File("p.jwk");
  test::WriteFile(input, PartOfAllTypes());
  struct Case {
    std::string text;
    std::string message;
    int status;  // 2: refused; 0: taken after the warning
  } cases[] = {
      {"MPEN=1122334411\nMWIDE = 20 2.5 30 40 50 60 70 80 90 100\n", "env.jwf, line 2: \"2.5\" is not a whole number", 2},
      {"MHIGH = 20 25\n", "env.jwf, line 1: a value is missing", 2},
      {"MPEN=1122334411\nMWIDE = 1 2 3 4 5 6 7 8 9 10\nMHIGH = 1 2 3 4 5 6 7 8 9 10\n"
       "MDIST = 1 2 3 4 5 6 7 8 9 10\nLCOLLOR=574631\n",
       "warning: the JWF file " + dir.File("env.jwf") + " is not a JWF file of JW_CAD's DOS edition: it has 4 of "
       "the 5 key lines (LCOLLOR, MPEN, MWIDE, MHIGH, MDIST) needed before reading ends at line 4, its first MDIST "
       "line; the values it holds are used\n", 0},
      {"# nothing\r\n\r\n", "has 0 of the 5 key lines (LCOLLOR, MPEN, MWIDE, MHIGH, MDIST) needed before reading "
                             "ends at its end (line 2)", 0},
      {"MPEN=1122334411\nLCOLLOR_=1\n", "ends at line 2, which begins with LCOLLOR_", 0},
  };
  for (const Case& c : cases) {
    fs::remove(dir.File("p.jws"));
    test::WriteFile(dir.File("env.jwf"), c.text);
    TRun run = RunCommand({"--jwf=" + dir.File("env.jwf"), input});
    EXPECT_EQ(run.status, c.status);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(fs::exists(dir.File("p.jws")), c.status == 0);
  }
  fs::remove(dir.File("p.jws"));
  TRun missing = RunCommand({"--jwf", dir.File("none.jwf"), input});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("none.jwf cannot be read: No such file or directory"), std::string::npos) << missing.err;
  EXPECT_FALSE(fs::exists(dir.File("p.jws")));
}

}  // namespace
}  // namespace torvane
