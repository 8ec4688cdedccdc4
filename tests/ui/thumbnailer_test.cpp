// The thumbnailer as a file manager runs it: no display, a PNG of the asked size along the long
// side, and one line and a non-zero exit for a file it cannot show.
#include <gtest/gtest.h>

#include <QImage>

#include "builder/filebuilder.h"
#include "builder/jwkbuilder.h"
#include "builder/sample_part.h"
#include "builder/samples.h"
#include "test_util.h"

namespace torvane {
namespace {

test::TShellRun Thumbnail(const std::string& size, const std::string& input, const std::string& output) {
  return test::RunShell("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" + std::string(TORVANE_THUMBNAILER) +
                        "' -s " + size + " '" + input + "' '" + output + "'");
}

// Lines of the output that are not Qt's own note about a missing runtime folder.
std::vector<std::string> OwnLines(const std::string& output) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < output.size()) {
    std::size_t end = output.find('\n', start);
    std::string line = output.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (line.find("XDG_RUNTIME_DIR") == std::string::npos) lines.push_back(line);
    start = end == std::string::npos ? output.size() : end + 1;
  }
  return lines;
}

TEST(Thumbnailer, DrawsEveryDrawingAndPartAtTheAskedLongSide) {
  test::TTempDir dir;
  test::TJwkBuilder tall;  // a part taller than wide
  tall.lines.push_back({0, 0, 10, 100});
  test::TJwcBuilder truncated = test::SmallPlan();
  std::string cut = truncated.Build();
  cut.resize(cut.size() - 30);  // the read stops inside the records: what was read shows
  struct {
    const char* name;
    std::string bytes;
    bool wide;
  } files[] = {
      {"plan.jwc", test::SamplePlanJwc(), true},
      {"part.jwk", test::SamplePartJwk(), false},
      {"small.jwc", test::SmallPlan().Build(), true},
      {"tall.jwk", tall.Build(), false},
      {"CUT.JWC", cut, true},
  };
  for (const auto& file : files) {
    SCOPED_TRACE(file.name);
    test::WriteFile(dir.File(file.name), file.bytes);
    test::TShellRun run = Thumbnail("128", dir.File(file.name), dir.File("out.png"));
    EXPECT_EQ(run.Status, 0) << run.Output;
    QImage image(QString::fromStdString(dir.File("out.png")));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(std::max(image.width(), image.height()), 128);
    EXPECT_EQ(image.width() >= image.height(), file.wide);
    bool inked = false;
    for (int y = 0; y < image.height() && !inked; ++y) {
      for (int x = 0; x < image.width() && !inked; ++x) inked = qGray(image.pixel(x, y)) < 128;
    }
    EXPECT_TRUE(inked);
  }
}

TEST(Thumbnailer, RefusesWhatItCannotShowInOneLine) {
  test::TTempDir dir;
  test::WriteFile(dir.File("text.jwc"), "not a drawing at all, only text\n");
  test::WriteFile(dir.File("head.jwk"), test::SamplePartJwk().substr(0, 100));
  test::WriteFile(dir.File("notes.txt"), test::SamplePlanJwc());
  // Its counts need more bytes than it holds: nothing is read, though its header counts virtual
  // points, which are never drawn.
  test::TJwcBuilder counts;
  counts.virtualPoints = {{1, 2}, {3, 4}};
  counts.senCount = 100000;
  test::WriteFile(dir.File("counts.jwc"), counts.Build());
  struct {
    std::string size, input;
  } cases[] = {
      {"128", dir.File("text.jwc")},     {"128", dir.File("head.jwk")}, {"128", dir.File("notes.txt")},
      {"128", dir.File("missing.jwc")},  {"0", dir.File("text.jwc")},   {"big", dir.File("text.jwc")},
      {"128", dir.File("counts.jwc")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input + " at " + c.size);
    test::TShellRun run = Thumbnail(c.size, c.input, dir.File("out.png"));
    EXPECT_NE(run.Status, 0);
    std::vector<std::string> lines = OwnLines(run.Output);
    ASSERT_EQ(lines.size(), 1u) << run.Output;
    EXPECT_EQ(lines[0].rfind("torvane-thumbnailer: ", 0), 0u) << lines[0];
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.png")));
  }
}

}  // namespace
}  // namespace torvane
