// The bundled samples are what the byte builder makes (and the settings file is the default one),
// and they read whole.
#include <gtest/gtest.h>

#include "builder/filebuilder.h"
#include "builder/sample_jwf.h"
#include "builder/sample_part.h"
#include "builder/samples.h"
#include "drawing/jwc2jww.h"
#include "drawing/jwcunit.h"
#include "settings/settings.h"
#include "shape/jwkunit.h"

namespace torvane {
namespace {

const std::string kSamples = std::string(TORVANE_SOURCE_DIR) + "/samples/";

TEST(Samples, MatchTheBuilderAndReadWhole) {
  EXPECT_EQ(test::ReadFile(kSamples + "plan.jwc"), test::SamplePlanJwc())
      << "run torvane-make-samples samples to bring the sample up to date";
  EXPECT_EQ(test::ReadFile(kSamples + "part.jwk"), test::SamplePartJwk())
      << "run torvane-make-samples samples to bring the sample up to date";
  EXPECT_EQ(test::ReadFile(kSamples + "jwcad.jwf"), test::SampleJwf())
      << "run torvane-make-samples samples to bring the sample up to date";

  TJwcData drawing;
  ASSERT_TRUE(IsJwcFile(kSamples + "plan.jwc"));
  EXPECT_TRUE(ReadJwc(kSamples + "plan.jwc", drawing));
  EXPECT_EQ(drawing.Sen.size(), 9u);
  EXPECT_EQ(drawing.Texts.Of(drawing.Moji.at(0).Text), "\x8b\x8f\x8a\xd4");
  // Converted, every group and layer shows (state 2) but the ones written into (3): group 1, and
  // layer 16 (the write layer of group 1) and layer 0 (that of every other group).
  TJwwData converted;
  ConvertJwcToJww("", true, drawing, converted);
  for (std::size_t g = 0; g < 16; ++g) EXPECT_EQ(converted.GLayers[g].State, g == 1 ? 3 : 2) << g;
  for (std::size_t l = 0; l < 256; ++l) EXPECT_EQ(converted.Layers[l].State, l == 0 || l == 16 ? 3 : 2) << l;

  EXPECT_EQ(test::ReadFile(kSamples + "settings.ini"), DefaultSettingsText());

  TJwkData part;
  ASSERT_TRUE(IsJwkFile(kSamples + "part.jwk"));
  EXPECT_TRUE(ReadJwk(kSamples + "part.jwk", part));
  EXPECT_EQ(part.Header.Scale, 20.0f);
}

}  // namespace
}  // namespace torvane
