#include "ui/preview.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>
#include <filesystem>

#include "support/cp932.h"
#include "support/ioerror.h"
#include "ui/readwords.h"

namespace torvane {

namespace {

constexpr double kFitMargin = 12;
// One notch of the wheel (120 units) zooms by this factor.
constexpr double kWheelStep = 1.25;
// The picture is drawn anew once the view has stood still this long (ms).
constexpr int kRedrawPause = 150;

// A file's name as a person reads it: UTF-8 as it is, else taken as Shift-JIS.
QString NameOf(const std::string& path) {
  std::string name = std::filesystem::path(path).filename().string();
  QString text = QString::fromUtf8(name);
  return text.contains(QChar::ReplacementCharacter) ? QString::fromStdString(Cp932ToUtf8(name)) : text;
}

// Why no picture can be shown, as the window says it.
std::string RefusalText(const TPictureRefusal& refusal) {
  using TReason = TPictureRefusal::TReason;
  switch (refusal.Reason) {
    case TReason::NotJwcJwk: return "jwc/jwkファイルではありません。";
    case TReason::NotDrawing: return kNotDrawing;
    case TReason::NotPart: return kNotPart;
    case TReason::Unreadable: return TIoError::FromErrno(refusal.Error, "").Text();
    case TReason::TooLarge: return "大きすぎて変換できません。";
    case TReason::NothingDrawable: return "図形を読み込む前にファイルが終わっています。";
    case TReason::None: break;
  }
  return "";
}

}  // namespace

// Paints the picture through the view and turns the mouse into zoom, pan and the pointer's place.
// The picture is drawn as the PNG writer draws it, into an image of the canvas's pixels; while the
// user zooms and pans, the last one is shown moved and scaled with the view, and the picture is
// drawn anew once they pause: a large drawing takes long to draw, and is not drawn at every step.
class TPreviewCanvas : public QWidget {
 public:
  explicit TPreviewCanvas(TPreviewForm& form) : QWidget(&form), form_(form) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(160, 120);
    redraw_.setSingleShot(true);
    redraw_.setInterval(kRedrawPause);
    QObject::connect(&redraw_, &QTimer::timeout, this, [this] {
      Draw();
      update();
    });
  }

  QTransform view;
  // The view fits the picture and follows the window's size until the user zooms or pans.
  bool fitted = true;
  std::function<void(QPointF)> pointerMoved;

  // A new scene or style: the picture last drawn no longer shows it.
  void Show(const TScene& scene, const TRenderStyle& style) {
    scene_ = scene;
    style_ = style;
    frame_ = {};
    redraw_.stop();
    update();
  }

  void FitView() {
    view = FitTransform(scene_.Bounds(), QRectF(rect()), kFitMargin);
    fitted = true;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    if (frame_.isNull()) Draw();
    if (frame_.isNull()) {
      // No memory for the picture: the background, and no redraw that would only fail again.
      painter.fillRect(rect(), BackgroundOf(style_.Scheme));
      return;
    }
    if (frameView_ == view && frame_.size() == Pixels()) {
      painter.drawImage(QPointF(0, 0), frame_);
      return;
    }
    // The last picture where the view now puts it, until the new one is drawn.
    painter.fillRect(rect(), BackgroundOf(style_.Scheme));
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.setTransform(frameView_.inverted() * view);
    painter.drawImage(QPointF(0, 0), frame_);
    redraw_.start();
  }
  void resizeEvent(QResizeEvent*) override {
    if (fitted) FitView();
  }
  void wheelEvent(QWheelEvent* event) override {
    double notches = event->angleDelta().y() / 120.0;
    if (notches != 0) form_.ZoomAt(event->position(), std::pow(kWheelStep, notches));
    event->accept();
  }
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton || event->button() == Qt::MiddleButton) {
      dragFrom_ = event->position();
      dragging_ = true;
      setCursor(Qt::ClosedHandCursor);
    }
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    if (dragging_) {
      form_.PanBy(event->position() - dragFrom_);
      dragFrom_ = event->position();
    }
    if (pointerMoved) pointerMoved(event->position());
  }
  void mouseReleaseEvent(QMouseEvent*) override {
    dragging_ = false;
    unsetCursor();
  }

 private:
  // The canvas's size in the screen's pixels.
  QSize Pixels() const { return (QSizeF(size()) * devicePixelRatioF()).toSize(); }

  void Draw() {
    double ratio = devicePixelRatioF();
    frame_ = RenderView(scene_, view * QTransform::fromScale(ratio, ratio), Pixels(), style_);
    frame_.setDevicePixelRatio(ratio);
    frameView_ = view;
  }

  TPreviewForm& form_;
  TScene scene_;
  TRenderStyle style_;
  // The picture last drawn, and the view it was drawn through.
  QImage frame_;
  QTransform frameView_;
  QTimer redraw_;
  QPointF dragFrom_;
  bool dragging_ = false;
};

TPreviewForm::TPreviewForm(QWidget* owner) : QWidget(owner, Qt::Window) {
  setObjectName("PreviewForm");
  setWindowTitle("プレビュー");
  canvas_ = new TPreviewCanvas(*this);
  canvas_->pointerMoved = [this](QPointF position) { ShowPointer(position); };
  status_ = new QLabel(this);
  status_->setObjectName("PreviewStatus");
  status_->setTextInteractionFlags(Qt::NoTextInteraction);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 4);
  layout->setSpacing(4);
  layout->addWidget(canvas_, 1);
  layout->addWidget(status_);
  resize(800, 600);
}

TPreviewForm::~TPreviewForm() = default;

void TPreviewForm::ShowFiles(const std::vector<std::string>& files, int index, const TConversionOptions& options,
                             const TRenderStyle& style) {
  files_ = files;
  index_ = files_.empty() ? 0 : std::clamp(index, 0, static_cast<int>(files_.size()) - 1);
  options_ = options;
  style_ = style;
  ShowCurrent();
}

void TPreviewForm::Step(int delta) {
  int next = index_ + delta;
  if (next < 0 || next >= static_cast<int>(files_.size()) || next == index_) return;
  index_ = next;
  ShowCurrent();
}

void TPreviewForm::ShowCurrent() {
  // The old picture goes first, so that two large drawings are never held at once.
  canvas_->Show({}, style_);
  picture_.reset();
  if (files_.empty()) {
    setWindowTitle("プレビュー");
    fileNote_ = "ファイルが読み込まれていません。";
  } else {
    const std::string& path = files_[static_cast<std::size_t>(index_)];
    QString caption = "プレビュー - " + NameOf(path);
    if (files_.size() > 1) caption += QString(" (%1 / %2)").arg(index_ + 1).arg(files_.size());
    setWindowTitle(caption);
    auto picture = std::make_unique<TPicture>();
    TPictureRefusal refusal;
    if (picture->Load(path, options_, refusal)) {
      bool whole = picture->LoadOutcome().Complete || picture->LoadOutcome().Failure.MissingNameTables();
      fileNote_ = whole ? QString() : "ファイルの途中までを表示しています。";
      picture_ = std::move(picture);
      canvas_->Show(picture_->Scene(), style_);
    } else {
      fileNote_ = "表示できません: " + QString::fromStdString(RefusalText(refusal));
    }
  }
  status_->setText(fileNote_);
  Fit();
}

void TPreviewForm::Fit() { canvas_->FitView(); }

void TPreviewForm::ZoomAt(QPointF position, double factor) {
  // Keep the point under position: scale about it in canvas pixels.
  QTransform about = QTransform::fromTranslate(-position.x(), -position.y()) * QTransform::fromScale(factor, factor) *
                     QTransform::fromTranslate(position.x(), position.y());
  QTransform next = canvas_->view * about;
  double scale = std::sqrt(std::abs(next.determinant()));
  if (!(scale > 1e-6 && scale < 1e6)) return;
  canvas_->view = next;
  canvas_->fitted = false;
  canvas_->update();
  ShowPointer(position);
}

void TPreviewForm::PanBy(QPointF pixels) {
  canvas_->view *= QTransform::fromTranslate(pixels.x(), pixels.y());
  canvas_->fitted = false;
  canvas_->update();
}

const QTransform& TPreviewForm::View() const { return canvas_->view; }
QWidget* TPreviewForm::Canvas() const { return canvas_; }
QString TPreviewForm::StatusText() const { return status_->text(); }

void TPreviewForm::ShowPointer(QPointF position) {
  QPointF mm = canvas_->view.inverted().map(position);
  QString place = QString("X %1 mm  Y %2 mm").arg(mm.x(), 0, 'f', 2).arg(mm.y(), 0, 'f', 2);
  status_->setText(fileNote_.isEmpty() ? place : place + "    " + fileNote_);
}

void TPreviewForm::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Home: Fit(); break;
    case Qt::Key_PageDown: Step(1); break;
    case Qt::Key_PageUp: Step(-1); break;
    default: QWidget::keyPressEvent(event); return;
  }
  event->accept();
}

}  // namespace torvane
