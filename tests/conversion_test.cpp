#include "convert/conversion.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "builder/filebuilder.h"
#include "builder/jwkbuilder.h"
#include "test_util.h"

namespace torvane {
namespace {

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
  EXPECT_EQ(BatchOutputName("/in/PLAN.JWC", TFileKind::Drawing), "PLAN.jww");
  EXPECT_EQ(BatchOutputName("/in/a.b.Jwk", TFileKind::Part), "a.b.jws");
  EXPECT_EQ(BatchOutputPath("/out", "/in/Plan.jwc", TFileKind::Drawing), "/out/Plan.jww");
  EXPECT_EQ(BatchOutputPath("/", "/in/Plan.jwc", TFileKind::Drawing), "/Plan.jww");
}

TEST(ConversionService, AChosenOutputNameGetsTheExtensionOfItsKind) {
  EXPECT_EQ(WithOutputExtension("/o/plan2", TFileKind::Drawing), "/o/plan2.jww");
  EXPECT_EQ(WithOutputExtension("/o/plan2.txt", TFileKind::Drawing), "/o/plan2.jww");
  EXPECT_EQ(WithOutputExtension("/o/PLAN2.JWW", TFileKind::Drawing), "/o/PLAN2.JWW");
  EXPECT_EQ(WithOutputExtension("/o/a.b/part.Jws", TFileKind::Part), "/o/a.b/part.Jws");
  EXPECT_EQ(WithOutputExtension("/o/a.b/part", TFileKind::Part), "/o/a.b/part.jws");
  EXPECT_EQ(WithOutputExtension("/o/part.jww", TFileKind::Part), "/o/part.jws");
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
  if (geteuid() != 0) {  // root reads any file
    chmod(dir.File("plan.jwc").c_str(), 0);
    TFileCheck locked = CheckFile(dir.File("plan.jwc"));
    EXPECT_EQ(locked.Result, TCheckResult::Unreadable);
    EXPECT_EQ(locked.Error, EACCES);
  }
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
  EXPECT_EQ(outcome.Load.Summary.front(), "a.jwc");

  // The same loaded document saved again without replacing: the existing file stays, and the
  // failure says it exists.
  test::WriteFile(dir.File("a.jww"), "kept");
  TWriteOutcome again = SaveDocument(TFileKind::Drawing, options, documents.Refs(), dir.File("a.jww"),
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

}  // namespace
}  // namespace torvane
