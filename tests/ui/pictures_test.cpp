// torvane-convert --to svg|png|pdf: the SVG holds the layers with their names and the texts in
// Unicode, the PNG is as wide as asked and not blank, the PDF page is the drawing's paper and a
// line of 100 mm on paper measures 100 mm in it.
#include <gtest/gtest.h>

#include <QImage>
#include <QXmlStreamReader>
#include <cstdio>
#include <filesystem>

#include "builder/filebuilder.h"
#include "builder/samples.h"
#include "test_util.h"

namespace torvane {
namespace {

test::TShellRun Convert(const std::string& arguments) {
  return test::RunShell("env -u DISPLAY -u WAYLAND_DISPLAY '" + std::string(TORVANE_CONVERT) + "' --quiet " + arguments);
}

TEST(Pictures, TheSvgHoldsOneGroupPerLayerWithItsNameAndTheTextsInUnicode) {
  test::TTempDir dir;
  test::WriteFile(dir.File("plan.jwc"), test::SamplePlanJwc());
  test::TShellRun run = Convert("--to svg '" + dir.File("plan.jwc") + "'");
  ASSERT_EQ(run.Status, 0) << run.Output;
  std::string svg = test::ReadFile(dir.File("plan.svg"));
  QXmlStreamReader xml(QByteArray::fromStdString(svg));
  QStringList layers, texts;
  QString viewBox;
  while (!xml.atEnd()) {
    xml.readNext();
    if (!xml.isStartElement()) continue;
    if (xml.name() == u"svg") viewBox = xml.attributes().value("viewBox").toString();
    if (xml.name() == u"g") layers << xml.attributes().value("id").toString() + " " + xml.attributes().value("inkscape:label").toString();
    if (xml.name() == u"text") texts << xml.readElementText();
  }
  ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_EQ(viewBox, "-210 -148.5 420 297");  // the A3 paper in millimetres
  EXPECT_EQ(layers, QStringList({"group-0 図面枠", "layer-0-0 枠", "group-1 平面", "layer-1-0 壁", "layer-1-1 建具",
                                 "layer-1-2 文字"}));
  EXPECT_EQ(texts, QStringList({"PLAN 1/50", "居間", "和室"}));
}

TEST(Pictures, ThePngIsAsWideAsAskedInEitherScheme) {
  test::TTempDir dir;
  test::WriteFile(dir.File("plan.jwc"), test::SamplePlanJwc());
  struct {
    std::string options;
    int width;
    QColor background;
  } cases[] = {
      {"", 2000, Qt::white},
      {"--png-width 640 --scheme screen", 640, Qt::black},
      {"--png-width=300 --scheme=print", 300, Qt::white},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    std::filesystem::remove(dir.File("plan.png"));
    test::TShellRun run = Convert("--to png " + c.options + " '" + dir.File("plan.jwc") + "'");
    ASSERT_EQ(run.Status, 0) << run.Output;
    QImage image(QString::fromStdString(dir.File("plan.png")));
    ASSERT_EQ(image.width(), c.width);
    EXPECT_EQ(QColor(image.pixel(0, 0)), c.background);
    int inked = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) inked += QColor(image.pixel(x, y)) != c.background;
    }
    EXPECT_GT(inked, c.width);
  }
  for (const char* wrong : {"--png-width 0", "--png-width wide", "--scheme sepia"}) {
    test::TShellRun run = Convert(std::string("--to png ") + wrong + " '" + dir.File("plan.jwc") + "'");
    EXPECT_EQ(run.Status, 2) << wrong;
  }
}

// The picture module is loaded while the input is read; a program without it beside refuses each
// picture with the loader's reason, writes none, and leaves nothing behind.
TEST(Pictures, WithoutTheirModuleNoPictureIsWrittenAndTheRunSaysWhy) {
  test::TTempDir dir;
  test::WriteFile(dir.File("plan.jwc"), test::SamplePlanJwc());
  std::filesystem::create_directory(dir.File("bin"));
  std::filesystem::copy_file(TORVANE_CONVERT, dir.File("bin/torvane-convert"));
  std::filesystem::create_directory(dir.File("out"));
  test::TShellRun run = test::RunShell("'" + dir.File("bin/torvane-convert") + "' --quiet --to png --to pdf -o '" +
                                       dir.File("out") + "' '" + dir.File("plan.jwc") + "' 2>&1");
  EXPECT_NE(run.Status, 0);
  EXPECT_NE(run.Output.find("torvane-pictures"), std::string::npos) << run.Output;
  EXPECT_TRUE(std::filesystem::is_empty(dir.File("out"))) << run.Output;
}

TEST(Pictures, TheScreenSchemeTakesThePenColoursOfTheNamedSettings) {
  test::TTempDir dir;
  test::WriteFile(dir.File("plan.jwc"), test::SamplePlanJwc());
  // Every pen red (2), which no pen is by default; the walls' pen 3 is green (4) by default.
  test::WriteFile(dir.File("red.ini"),
                  "[Pcolor]\r\nPen01=2\r\nPen02=2\r\nPen03=2\r\nPen04=2\r\nPen05=2\r\nPen06=2\r\n");
  struct {
    std::string options;
    bool red;
  } cases[] = {
      {"--scheme screen", false},
      {"--scheme screen --settings '" + dir.File("red.ini") + "'", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    std::filesystem::remove(dir.File("plan.svg"));
    test::TShellRun run = Convert("--to svg " + c.options + " '" + dir.File("plan.jwc") + "'");
    ASSERT_EQ(run.Status, 0) << run.Output;
    std::string svg = test::ReadFile(dir.File("plan.svg"));
    EXPECT_EQ(svg.find("stroke=\"#FF0000\"") != std::string::npos, c.red);
    EXPECT_EQ(svg.find("stroke=\"#008000\"") != std::string::npos, !c.red);
  }
}

TEST(Pictures, ThePdfPageIsThePaperAndAMillimetreIsAMillimetre) {
  test::TTempDir dir;
  // A3 (420 × 297 mm) at 518 drawing units across: a line from 50 mm to 150 mm along the paper.
  test::TJwcBuilder b;
  for (uint8_t& state : b.groupState2) state = 2;
  for (uint8_t& state : b.layerState2) state = 2;
  auto units = [](double mm) { return static_cast<float>(mm * 518 / 420); };
  b.lines.push_back({units(50), units(100), units(150), units(100)});
  b.AddText({units(50), units(200), units(80), units(200), 0, 0, 1, 0}, "\x8b\x8f\x8a\xd4");  // 居間
  b.charTypes[1] = {1, 50, 50, 0};
  test::WriteFile(dir.File("line.jwc"), b.Build());
  test::TShellRun run = Convert("--to pdf '" + dir.File("line.jwc") + "'");
  ASSERT_EQ(run.Status, 0) << run.Output;

  test::TShellRun info = test::RunShell("pdfinfo '" + dir.File("line.pdf") + "'");
  ASSERT_EQ(info.Status, 0) << info.Output;
  int pages = 0;
  std::size_t pagesAt = info.Output.find("Pages:");
  ASSERT_NE(pagesAt, std::string::npos);
  EXPECT_EQ(std::sscanf(info.Output.c_str() + pagesAt, "Pages: %d", &pages), 1);
  EXPECT_EQ(pages, 1);
  double width = 0, height = 0;
  std::size_t at = info.Output.find("Page size:");
  ASSERT_NE(at, std::string::npos);
  ASSERT_EQ(std::sscanf(info.Output.c_str() + at, "Page size: %lf x %lf", &width, &height), 2);
  EXPECT_NEAR(width, 420 / 25.4 * 72, 1);
  EXPECT_NEAR(height, 297 / 25.4 * 72, 1);

  // At 254 dots per inch a millimetre is 10 pixels: the line is 1,000 pixels long, 100 mm from the
  // bottom of the page.
  ASSERT_EQ(test::RunShell("pdftoppm -r 254 -gray -png '" + dir.File("line.pdf") + "' '" + dir.File("page") + "'").Status, 0);
  QImage page(QString::fromStdString(dir.File("page-1.png")));
  ASSERT_FALSE(page.isNull());
  int row = page.height() - 1000, left = -1, right = -1;
  for (int y = row - 3; y <= row + 3; ++y) {
    for (int x = 0; x < page.width(); ++x) {
      if (qGray(page.pixel(x, y)) < 128) {
        if (left < 0 || x < left) left = x;
        right = std::max(right, x);
      }
    }
  }
  EXPECT_NEAR(left, 500, 2);
  EXPECT_NEAR(right - left + 1, 1000, 3);

  test::TShellRun text = test::RunShell("pdftotext '" + dir.File("line.pdf") + "' -");
  EXPECT_NE(text.Output.find("居間"), std::string::npos) << text.Output;
}

}  // namespace
}  // namespace torvane
