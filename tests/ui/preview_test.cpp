// The preview window, opened from the main window's menu: it fits, zooms about the pointer, pans,
// fits again on Home, tells the pointer's place, steps through a batch and follows new loads.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>
#include <filesystem>
#include <memory>

#include "builder/filebuilder.h"
#include "builder/sample_part.h"
#include "builder/samples.h"
#include "fakeplatform.h"
#include "render/painter.h"
#include "test_util.h"
#include "ui/preview.h"
#include "ui/unit1.h"

namespace torvane {
namespace {

namespace fs = std::filesystem;

class Preview : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    fs::current_path(dir.Path());
    form = std::make_unique<TForm1>(fake, std::vector<std::string>{});
  }
  void TearDown() override {
    form.reset();
    fs::current_path(previous_);
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    test::WriteFile(dir.File(name), bytes);
    return dir.File(name);
  }
  void Open(const std::vector<std::string>& paths) {
    fake.OpenAnswers.push_back(paths);
    form->Button1Click();
  }
  TPreviewForm& OpenPreview() {
    form->Preview1->trigger();
    QApplication::processEvents();
    EXPECT_NE(form->PreviewForm, nullptr);
    EXPECT_TRUE(form->PreviewForm->isVisible());
    return *form->PreviewForm;
  }
  static void Mouse(QWidget* canvas, QEvent::Type type, QPointF at, Qt::MouseButtons held) {
    QMouseEvent event(type, at, canvas->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(canvas, &event);
  }

  test::TTempDir dir;
  test::TFakePlatform fake;
  std::unique_ptr<TForm1> form;
  fs::path previous_;
};

TEST_F(Preview, TheViewMenuSitsBetweenFileAndSettings) {
  QStringList menus;
  for (QAction* menu : form->menuBar()->actions()) menus << menu->text();
  EXPECT_EQ(menus, QStringList({"ファイル(&F)", "表示(&V)", "設定(&S)", "ヘルプ(&H)"}));
  EXPECT_EQ(form->Preview1->text(), "プレビュー(&V)...");
  EXPECT_EQ(form->Preview1->shortcut(), QKeySequence("Ctrl+P"));
}

TEST_F(Preview, FitsZoomsAboutThePointerPansAndFitsAgain) {
  Open({Write("plan.jwc", test::SamplePlanJwc())});
  TPreviewForm& preview = OpenPreview();
  EXPECT_EQ(preview.windowTitle(), "プレビュー - plan.jwc");
  QWidget* canvas = preview.Canvas();

  // Fitted: the A3 paper (420 × 297 mm about the origin) lies within the canvas and fills its width
  // or its height.
  QRectF paper = preview.View().mapRect(QRectF(-210, -148.5, 420, 297));
  QRectF room = QRectF(canvas->rect());
  EXPECT_TRUE(room.contains(paper)) << paper.x() << " " << paper.y() << " " << paper.width() << " " << paper.height();
  EXPECT_GT(std::max(paper.width() / room.width(), paper.height() / room.height()), 0.9);
  const QTransform fitted = preview.View();

  // The wheel zooms by 1.25 a notch, keeping the point under the pointer in place.
  QPointF at(200, 150);
  QPointF under = fitted.inverted().map(at);
  QWheelEvent wheel(at, canvas->mapToGlobal(at), {}, {0, 120}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(canvas, &wheel);
  EXPECT_NEAR(preview.View().m11(), fitted.m11() * 1.25, 1e-9);
  QPointF still = preview.View().map(under);
  EXPECT_NEAR(still.x(), at.x(), 1e-6);
  EXPECT_NEAR(still.y(), at.y(), 1e-6);

  // A drag moves the drawing with the pointer; the status line tells where the pointer is in mm.
  QTransform zoomed = preview.View();
  Mouse(canvas, QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton);
  Mouse(canvas, QEvent::MouseMove, {150, 130}, Qt::LeftButton);
  Mouse(canvas, QEvent::MouseButtonRelease, {150, 130}, Qt::NoButton);
  EXPECT_NEAR(preview.View().dx() - zoomed.dx(), 50, 1e-9);
  EXPECT_NEAR(preview.View().dy() - zoomed.dy(), 30, 1e-9);
  QPointF pointer = preview.View().inverted().map(QPointF(150, 130));
  EXPECT_TRUE(preview.StatusText().startsWith(
      QString("X %1 mm  Y %2 mm").arg(pointer.x(), 0, 'f', 2).arg(pointer.y(), 0, 'f', 2)))
      << preview.StatusText().toStdString();

  QTest::keyClick(canvas, Qt::Key_Home);
  EXPECT_EQ(preview.View(), fitted);
}

// The canvas shows the picture as the PNG writer draws it at the view; while the view changes it
// shows the last picture moved and scaled with it, and draws the picture anew once the view stands
// still, not at every step of a drag or the wheel.
TEST_F(Preview, ShowsTheLastPictureMovedUntilTheViewStandsStill) {
  std::string path = Write("plan.jwc", test::SamplePlanJwc());
  const TRenderStyle style{TScheme::Screen, DefaultPenColors()};
  TPreviewForm preview(nullptr);
  preview.ShowFiles({path}, 0, {}, style);
  preview.show();
  QApplication::processEvents();
  TPicture picture;
  TPictureRefusal refusal;
  ASSERT_TRUE(picture.Load(path, {}, refusal));
  TScene scene = picture.Scene();
  QWidget* canvas = preview.Canvas();
  auto shown = [&] { return canvas->grab().toImage().convertToFormat(QImage::Format_RGB32); };
  auto drawn = [&] { return RenderView(scene, preview.View(), canvas->size(), style); };

  QImage fitted = shown();
  int inked = 0;  // on the screen's black
  for (int y = 0; y < fitted.height(); ++y) {
    for (int x = 0; x < fitted.width(); ++x) inked += fitted.pixel(x, y) != 0xFF000000u;
  }
  EXPECT_GT(inked, 1000);
  EXPECT_TRUE(fitted == drawn());

  // Moved by whole pixels, the last picture is the same pixels further on.
  preview.PanBy({40, 25});
  QImage moved = shown();
  const int w = fitted.width() - 40, h = fitted.height() - 25;
  EXPECT_TRUE(moved.copy(40, 25, w, h) == fitted.copy(0, 0, w, h));

  preview.ZoomAt({200, 150}, 2);
  EXPECT_FALSE(shown() == drawn());
  // Drawn anew after the pause, however slow the machine (each look paints the canvas, which
  // restarts the pause while the picture is not yet the view's).
  bool redrawn = false;
  for (int look = 0; look < 25 && !redrawn; ++look) {
    QTest::qWait(200);
    redrawn = shown() == drawn();
  }
  EXPECT_TRUE(redrawn);
}

TEST_F(Preview, StepsThroughABatchAndFollowsNewLoads) {
  Open({Write("a.jwc", test::SamplePlanJwc()), Write("b.jwk", test::SamplePartJwk()),
        Write("c.jwc", test::SmallPlan().Build())});
  TPreviewForm& preview = OpenPreview();
  EXPECT_EQ(preview.windowTitle(), "プレビュー - a.jwc (1 / 3)");
  QWidget* canvas = preview.Canvas();
  QTest::keyClick(canvas, Qt::Key_PageDown);
  EXPECT_EQ(preview.windowTitle(), "プレビュー - b.jwk (2 / 3)");
  QTest::keyClick(canvas, Qt::Key_PageDown);
  QTest::keyClick(canvas, Qt::Key_PageDown);  // the last stays
  EXPECT_EQ(preview.windowTitle(), "プレビュー - c.jwc (3 / 3)");
  QTest::keyClick(canvas, Qt::Key_PageUp);
  EXPECT_EQ(preview.windowTitle(), "プレビュー - b.jwk (2 / 3)");
  EXPECT_TRUE(preview.StatusText().isEmpty()) << preview.StatusText().toStdString();

  // A part has no paper: it is fitted to its entities.
  QRectF shown = preview.View().mapRect(QRectF(QPointF(-1000, -1000), QPointF(1000, 1000)));
  EXPECT_GT(shown.width(), canvas->width());

  Open({Write("d.jwc", test::SmallPlan().Build())});
  EXPECT_EQ(preview.windowTitle(), "プレビュー - d.jwc");
  std::string cut = test::SmallPlan().Build();
  cut.resize(cut.size() / 2);
  Open({Write("cut.jwc", cut)});
  EXPECT_EQ(preview.windowTitle(), "プレビュー - cut.jwc");
  EXPECT_FALSE(preview.StatusText().isEmpty());
}

// A file it cannot show is named with why, in the window's words.
TEST_F(Preview, SaysInJapaneseWhyAFileCannotBeShown) {
  test::TJwcBuilder counts;  // its counts need more bytes than it holds; only virtual points counted
  counts.virtualPoints = {{1, 2}};
  counts.senCount = 100000;
  struct {
    std::string name, bytes, note;
  } cases[] = {
      {"text.jwc", "not a drawing, only text", "表示できません: JW-CAD図面ファイルではありません。"},
      {"text.jwk", "not a part, only text", "表示できません: JWK部品ファイルではありません。"},
      {"counts.jwc", counts.Build(), "表示できません: 図形を読み込む前にファイルが終わっています。"},
  };
  for (const auto& c : cases) {
    TPreviewForm preview(nullptr);
    preview.ShowFiles({Write(c.name, c.bytes)}, 0, TConversionOptions{}, TRenderStyle{});
    EXPECT_EQ(preview.StatusText().toStdString(), c.note) << c.name;
  }
}

}  // namespace
}  // namespace torvane
