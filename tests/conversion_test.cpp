#include "convert/conversion.h"

#include <gtest/gtest.h>

#include "builder/filebuilder.h"
#include "builder/jwkbuilder.h"
#include "test_util.h"

namespace torvane {
namespace {

using test::Angle;

class ConversionService : public ::testing::Test {
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

  TConversionOptions options{"F", true, DefaultMojiSettings()};
  test::TTempDir dir;
};

TEST_F(ConversionService, ALoadedFileConvertsToTheSameBytesEveryTime) {
  for (auto [input, kind] : {std::pair{Drawing("a.jwc"), TFileKind::Drawing}, std::pair{Part("p.jwk"), TFileKind::Part}}) {
    TOwnedDocuments documents;
    ASSERT_TRUE(LoadDocument(input, kind, documents.Refs(), input).Complete);
    std::string first = dir.File("first"), second = dir.File("second");
    ASSERT_TRUE(SaveDocument(kind, options, documents.Refs(), first, TWriteMode::Replace).Written);
    ASSERT_TRUE(SaveDocument(kind, options, documents.Refs(), second, TWriteMode::Replace).Written);
    EXPECT_EQ(test::ReadFile(first), test::ReadFile(second)) << input;
  }
}

}  // namespace
}  // namespace torvane
