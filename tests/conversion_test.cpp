#include "convert/conversion.h"
#include "convert/outputguard.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "builder/filebuilder.h"
#include "builder/jwkbuilder.h"
#include "builder/writefiles.h"
#include "test_util.h"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using test::ConvertFile;

struct TKindCase {
  const char* name;
  TFileKind kind;
};

TEST(ConversionService, KindIsTheUpperCasedExtensionOfTheNameAlone) {
  const TKindCase cases[] = {
      {"plan.jwc", TFileKind::Drawing},      {"PLAN.JWC", TFileKind::Drawing},
      {"plan.Jwc", TFileKind::Drawing},      {"part.jwk", TFileKind::Part},
      {"dir.jwc/plan", TFileKind::None},     {"plan.jw", TFileKind::None},
      {"plan.jwc.bak", TFileKind::None},     {"plan", TFileKind::None},
      {"/a.b/PART.JwK", TFileKind::Part},    {".jwc", TFileKind::Drawing},
  };
  for (const TKindCase& c : cases) EXPECT_EQ(FileKindOf(c.name), c.kind) << c.name;
}

TEST(ConversionService, BatchOutputNameLowersOnlyTheNewExtension) {
  EXPECT_EQ(BatchOutputName("/in/PLAN.JWC", TFileKind::Drawing, NativeOutput()), "PLAN.jww");
  EXPECT_EQ(BatchOutputName("/in/a.b.Jwk", TFileKind::Part, NativeOutput()), "a.b.jws");
  EXPECT_EQ(BatchOutputName("/in/.jwc", TFileKind::Drawing, NativeOutput()), ".jww");
  EXPECT_EQ(ChangeExtension("/in.d/plan", ".jww"), "/in.d/plan.jww");
  EXPECT_EQ(BatchOutputPath("/out", "/in/Plan.jwc", TFileKind::Drawing, NativeOutput()), "/out/Plan.jww");
  EXPECT_EQ(BatchOutputPath("/", "/in/Plan.jwc", TFileKind::Drawing, NativeOutput()), "/Plan.jww");
}

TEST(ConversionService, AChosenOutputNameGetsTheExtensionOfItsKind) {
  EXPECT_EQ(WithOutputExtension("/o/plan2", TFileKind::Drawing, NativeOutput()), "/o/plan2.jww");
  EXPECT_EQ(WithOutputExtension("/o/plan2.txt", TFileKind::Drawing, NativeOutput()), "/o/plan2.jww");
  EXPECT_EQ(WithOutputExtension("/o/PLAN2.JWW", TFileKind::Drawing, NativeOutput()), "/o/PLAN2.JWW");
  EXPECT_EQ(WithOutputExtension("/o/a.b/part.Jws", TFileKind::Part, NativeOutput()), "/o/a.b/part.Jws");
  EXPECT_EQ(WithOutputExtension("/o/a.b/part", TFileKind::Part, NativeOutput()), "/o/a.b/part.jws");
  EXPECT_EQ(WithOutputExtension("/o/part.jww", TFileKind::Part, NativeOutput()), "/o/part.jws");
  const TOutputKind& pdf = *FindOutputKind("pdf");
  EXPECT_EQ(WithOutputExtension("/o/plan.JWW", TFileKind::Drawing, pdf), "/o/plan.pdf");
  EXPECT_EQ(WithOutputExtension("/o/plan.PDF", TFileKind::Drawing, pdf), "/o/plan.PDF");
  EXPECT_EQ(BatchOutputPath("/out/", "/in/PART.JWK", TFileKind::Part, pdf), "/out/PART.pdf");
}

TEST(ConversionService, ToNamesEachKindOnceAndBothNativeExtensionsTheNativeKind) {
  EXPECT_EQ(FindOutputKind("jww"), &NativeOutput());
  EXPECT_EQ(FindOutputKind("jws"), &NativeOutput());
  EXPECT_EQ(FindOutputKind("JWW"), nullptr);
  EXPECT_EQ(FindOutputKind(""), nullptr);
  for (const TOutputKind& kind : OutputKinds()) EXPECT_EQ(FindOutputKind(kind.Name), &kind) << kind.Name;
  EXPECT_EQ(OutputExtension(TFileKind::None, NativeOutput()), "");
  EXPECT_EQ(OutputExtension(TFileKind::Part, NativeOutput()), ".jws");
}

TEST(ConversionService, CheckTellsAWrongSignatureFromAnUnreadableFile) {
  test::TTempDir dir;
  test::WriteFile(dir.File("x.jwc"), "a text, not a drawing");
  test::WriteFile(dir.File("part.jwc"), test::TJwkBuilder().Build());
  test::WriteFile(dir.File("plan.jwc"), test::TJwcBuilder().Build());
  test::WriteFile(dir.File("plan.txt"), test::TJwcBuilder().Build());
  EXPECT_EQ(CheckFile(dir.File("x.jwc")).Result, TCheckResult::NoSignature);
  EXPECT_EQ(CheckFile(dir.File("part.jwc")).Result, TCheckResult::NoSignature);
  EXPECT_EQ(CheckFile(dir.File("plan.jwc")).Result, TCheckResult::Accepted);
  EXPECT_EQ(CheckFile(dir.File("plan.txt")).Result, TCheckResult::NotJwcJwk);
  TFileCheck missing = CheckFile(dir.File("missing.jwc"));
  EXPECT_EQ(missing.Result, TCheckResult::Unreadable);
  EXPECT_EQ(missing.Error, ENOENT);
  std::filesystem::create_directory(dir.File("folder.jwc"));
  TFileCheck folder = CheckFile(dir.File("folder.jwc"));
  EXPECT_EQ(folder.Result, TCheckResult::Unreadable);
  EXPECT_EQ(folder.Error, EISDIR);
  // Checked by an unprivileged user: root reads any file.
  std::filesystem::permissions(dir.Path(), std::filesystem::perms::all);
  ASSERT_EQ(chmod(dir.File("plan.jwc").c_str(), 0), 0);
  int status = test::InChild(
      [&] {
        TFileCheck locked = CheckFile(dir.File("plan.jwc"));
        return locked.Result == TCheckResult::Unreadable && locked.Error == EACCES ? 0 : 1;
      },
      true);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(ConversionService, ConvertFileWritesWhatLoadAndSaveWrite) {
  test::TTempDir dir;
  test::TJwcBuilder b;
  b.lines.push_back({1, 2, 3, 4});
  test::WriteFile(dir.File("a.jwc"), b.Build());
  TOwnedDocuments documents;
  TConversionOptions options;
  TFileOutcome outcome = ConvertFile(dir.File("a.jwc"), TFileKind::Drawing, dir.File("a.jww"), options,
                                     documents.Refs(), TWriteMode::NoReplace, true, "a.jwc");
  ASSERT_TRUE(outcome.Load.Complete);
  ASSERT_TRUE(outcome.Write && outcome.Write->Written);
  EXPECT_EQ(LoadSummaryLines(outcome.Load.Counts).front(), "a.jwc");

  // The same loaded document saved again without replacing: the existing file stays, and the
  // failure says it exists.
  test::WriteFile(dir.File("a.jww"), "kept");
  TWriteOutcome again = SaveDocument(TFileKind::Drawing, options, documents.Refs(), NativeOutput(), dir.File("a.jww"),
                                     TWriteMode::NoReplace);
  EXPECT_FALSE(again.Written);
  EXPECT_EQ(again.Error, EEXIST);
  EXPECT_EQ(test::ReadFile(dir.File("a.jww")), "kept");
}

TEST(ConversionService, AFileThatCannotBeOpenedIsNotConverted) {
  test::TTempDir dir;
  TOwnedDocuments documents;
  TFileOutcome outcome = ConvertFile(dir.File("none.jwc"), TFileKind::Drawing, dir.File("none.jww"), {},
                                     documents.Refs(), TWriteMode::NoReplace, false, "none.jwc");
  EXPECT_FALSE(outcome.Load.Opened());
  EXPECT_EQ(outcome.Load.Failure.OpenError, ENOENT);
  EXPECT_FALSE(outcome.Write.has_value());
  EXPECT_FALSE(std::filesystem::exists(dir.File("none.jww")));
}

using test::Angle;

class ConversionFiles : public ::testing::Test {
 protected:
  // A drawing whose arcs start or end at exactly 360 degrees, which the conversion counts as 0.
  std::string Drawing(const std::string& name) {
    test::TJwcBuilder b;
    b.arcs.push_back({100, 100, 30, 10000, Angle(360), Angle(90)});
    b.arcs.push_back({200, 50, 10, 10000, Angle(45), Angle(360)});
    b.lines.push_back({12.3f, 4.5f, 67.8f, 90.1f});
    std::string path = dir.File(name);
    test::WriteFile(path, b.Build());
    return path;
  }
  std::string Part(const std::string& name) {
    test::TJwkBuilder b;
    b.arcs.push_back({10, 20, 100, 6000, Angle(360), Angle(90)});
    b.arcs.push_back({-40, 5, 30, 10000, Angle(30), Angle(360)});
    std::string path = dir.File(name);
    test::WriteFile(path, b.Build());
    return path;
  }

  TConversionOptions options{"F", true, DefaultMojiSettings(), {}};
  test::TTempDir dir;
};

TEST_F(ConversionFiles, ALoadedFileConvertsToTheSameBytesEveryTime) {
  for (auto [input, kind] : {std::pair{Drawing("a.jwc"), TFileKind::Drawing}, std::pair{Part("p.jwk"), TFileKind::Part}}) {
    TOwnedDocuments documents;
    ASSERT_TRUE(LoadDocument(input, kind, documents.Refs(), input).Complete);
    std::string first = dir.File("first"), second = dir.File("second");
    ASSERT_TRUE(SaveDocument(kind, options, documents.Refs(), NativeOutput(), first, TWriteMode::Replace).Written);
    ASSERT_TRUE(SaveDocument(kind, options, documents.Refs(), NativeOutput(), second, TWriteMode::Replace).Written);
    EXPECT_EQ(test::ReadFile(first), test::ReadFile(second)) << input;
  }
}

// No reader of the format loads an output past 2 GiB: such an output is refused before it is
// converted, and no file is made.
TEST_F(ConversionFiles, OutputsPastTwoGibibytesAreRefusedBeforeConverting) {
  // 6.4 million empty texts, each written with a font name of 254 bytes: about 2.2 GB. The file is
  // sparse, and only its header is read.
  test::TJwcBuilder b;
  b.memo1 = "empty texts";
  constexpr int32_t kTexts = 6'400'000;
  b.mojiCount = kTexts;
  std::string head = b.Build();
  std::string sparse = dir.File("sparse.jwc");
  test::WriteFile(sparse, head);
  ASSERT_EQ(truncate(sparse.c_str(), static_cast<off_t>(head.size() + uint64_t{kTexts} * 24)), 0);
  TOwnedDocuments documents;
  TConversionOptions longFont{std::string(254, 'F'), true, DefaultMojiSettings(), {}};
  std::string output = dir.File("sparse.jww");
  TFileOutcome refused = ConvertFile(sparse, TFileKind::Drawing, output, longFont, documents.Refs(),
                                     TWriteMode::Replace, true, "sparse.jwc");
  EXPECT_TRUE(refused.Load.HeaderOnly);
  EXPECT_FALSE(refused.Load.Truncated());
  EXPECT_EQ(LoadSummaryLines(refused.Load.Counts).at(6), "文字列の数 = 6400000");
  ASSERT_TRUE(refused.Write.has_value());
  EXPECT_FALSE(refused.Write->Written);
  EXPECT_EQ(refused.Write->Error, EFBIG);
  EXPECT_EQ(refused.Write->TooLargeBytes, uint64_t{kTexts} * (2 + 13 + 32 + 4 + 32 + 1 + 254 + 1));
  EXPECT_TRUE(documents.Jwc.Moji.empty());
  EXPECT_FALSE(std::filesystem::exists(output));

  // A loaded part whose texts are long: 33,000 texts of 65,535 bytes each, all from one run.
  documents.Jwk.Header.MojiCount = 33'000;
  documents.Jwk.Moji.resize(33'000);
  TTextRef text = documents.Jwk.Texts.Add(std::string(65'535, 'x'));
  for (TMoji2& moji : documents.Jwk.Moji) moji.Text = text;
  TWriteOutcome tooLong = SaveDocument(TFileKind::Part, options, documents.Refs(), NativeOutput(), output, TWriteMode::Replace);
  EXPECT_GT(tooLong.TooLargeBytes, kMaxOutputBytes);
  EXPECT_TRUE(documents.Jws.Moji.empty());  // not converted
  EXPECT_FALSE(std::filesystem::exists(output));
}

// What the guard answers for each kind of entry at an output path, told by the user or derived
// from an input's name.
TEST_F(ConversionFiles, TheOutputGuardKnowsEveryNameOfAnInputAndOfAnOutputWritten) {
  std::string input = Drawing("a.jwc");
  std::string other = Drawing("b.jwc");
  std::string damaged = dir.File("damaged.JWC");
  test::WriteFile(damaged, "damaged");
  test::WriteFile(dir.File("plain.jww"), "plain");
  test::WriteFile(dir.File("victim.txt"), "victim");
  fs::create_directory(dir.File("folder.jww"));
  fs::create_symlink("a.jwc", dir.File("soft.jww"));
  fs::create_hard_link(input, dir.File("hard.jww"));
  fs::create_symlink("b.jwc", dir.File("tob.jww"));
  fs::create_symlink("damaged.JWC", dir.File("damaged.jww"));
  fs::create_symlink("victim.txt", dir.File("victim.jww"));
  fs::create_symlink("nowhere.jww", dir.File("dangling.jww"));
  ASSERT_EQ(mkfifo(dir.File("pipe.jww").c_str(), 0600), 0);
  test::WriteFile(dir.File("written.jww"), "written");
  fs::create_symlink("written.jww", dir.File("towritten.jww"));

  TOutputGuard guard;
  guard.AddInput(input);
  guard.AddWritten(dir.File("written.jww"));
  using V = TOutputVerdict;
  struct Case {
    const char* name;
    V named, derived;
  } cases[] = {
      {"new.jww", V::New, V::New},
      {"plain.jww", V::Existing, V::Existing},
      {"folder.jww", V::Folder, V::Folder},
      {"soft.jww", V::Input, V::Input},
      {"hard.jww", V::Input, V::Input},
      {"tob.jww", V::Input, V::Input},  // the file this output is for, found in a walk
      {"damaged.jww", V::LinkToDosFile, V::LinkToDosFile},
      {"victim.jww", V::Existing, V::Existing},
      {"dangling.jww", V::Existing, V::Existing},
      {"pipe.jww", V::WrittenInto, V::Existing},
      {"written.jww", V::WrittenByRun, V::WrittenByRun},
      {"towritten.jww", V::WrittenByRun, V::WrittenByRun},
  };
  for (const Case& c : cases) {
    std::string from = std::string(c.name) == "tob.jww" ? other : input;
    EXPECT_EQ(guard.Check(dir.File(c.name), TOutputNaming::Named, from).Verdict, c.named) << c.name;
    EXPECT_EQ(guard.Check(dir.File(c.name), TOutputNaming::Derived, from).Verdict, c.derived) << c.name;
  }
  EXPECT_EQ(guard.Check(dir.File("hard.jww"), TOutputNaming::Derived, other).Input, input);
  EXPECT_EQ(guard.Check(dir.File("damaged.jww"), TOutputNaming::Named, other).Target, damaged);
}

// A derived output is written only as a regular file in place of the entry at its path: what a
// link names, and a device or pipe found there, are never opened.
TEST_F(ConversionFiles, ADerivedOutputReplacesALinkOrPipeItselfNeverWhatItNames) {
  std::string input = Drawing("a.jwc");
  TOwnedDocuments documents;
  ASSERT_TRUE(LoadDocument(input, TFileKind::Drawing, documents.Refs(), input).Complete);
  test::WriteFile(dir.File("victim.txt"), "victim");
  struct Case {
    const char* name;
    std::function<void(const std::string&)> plant;
  } cases[] = {
      {"victim.jww", [&](const std::string& path) { fs::create_symlink(dir.File("victim.txt"), path); }},
      {"dangling.jww", [&](const std::string& path) { fs::create_symlink(dir.File("made.txt"), path); }},
      {"null.jww", [](const std::string& path) { fs::create_symlink("/dev/null", path); }},
      {"pipe.jww", [](const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); }},
  };
  for (const Case& c : cases) {
    std::string output = dir.File(c.name);
    c.plant(output);
    TWriteOutcome kept = SaveDocument(TFileKind::Drawing, options, documents.Refs(), NativeOutput(), output, TWriteMode::NoReplace,
                                      TOutputNaming::Derived);
    EXPECT_FALSE(kept.Written) << c.name;
    EXPECT_EQ(kept.Error, EEXIST) << c.name;
    EXPECT_FALSE(fs::is_regular_file(fs::symlink_status(output))) << c.name;
    TWriteOutcome replaced = SaveDocument(TFileKind::Drawing, options, documents.Refs(), NativeOutput(), output, TWriteMode::Replace,
                                          TOutputNaming::Derived);
    EXPECT_TRUE(replaced.Written) << c.name;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(output))) << c.name;
  }
  EXPECT_EQ(test::ReadFile(dir.File("victim.txt")), "victim");
  EXPECT_FALSE(fs::exists(dir.File("made.txt")));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_TRUE(test::TemporaryFilesIn(dir.Path()).empty());
}

}  // namespace
}  // namespace torvane
