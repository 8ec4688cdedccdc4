#include "render/outputs.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <algorithm>
#include <cerrno>
#include <optional>

#include "convert/conversion.h"
#include "convert/outputkinds.h"
#include "render/painter.h"
#include "render/png.h"
#include "render/svg.h"
#include "support/ioerror.h"

namespace torvane {
namespace {

// The PDF's own unit: 1/1200 inch, fine enough that no line of the drawing moves by it.
constexpr int kPdfDotsPerInch = 1200;
constexpr double kMmPerInch = 25.4;
// Without a paper of its own a drawing's page is its extent and this much around it.
constexpr double kPdfMarginMm = 10;

// The scene of the converted document. A drawing that comes as its source is converted on demand
// into made, whose records each pass over the scene makes again in runs.
TScene ConvertedScene(const TConverted& converted, const TConversionOptions& options, std::optional<TMadeJww>& made) {
  if (converted.DrawingSource) {
    made.emplace(options.FontName, options.NumericCorrection, *converted.DrawingSource);
    return SceneOf(*made);
  }
  if (converted.Drawing) return SceneOf(*converted.Drawing);
  if (converted.Part) return SceneOf(*converted.Part);
  return {};
}

TRenderStyle StyleOf(const TPictureOptions& picture) {
  return {picture.ScreenColours ? TScheme::Screen : TScheme::Print, picture.PenColors};
}

void WriteBytes(TByteSink& sink, const QByteArray& bytes) {
  sink.Write(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size()));
}

void WriteSvgOutput(TByteSink& sink, const TConverted& converted, const TConversionOptions& options) {
  TRenderStyle render = StyleOf(options.Picture);
  TSvgStyle style;
  style.Screen = render.Scheme == TScheme::Screen;
  for (int pen = 1; pen <= 10; ++pen) style.PenColors[pen - 1] = PenColorOf(pen, render).rgb() & 0xFFFFFFu;
  std::optional<TMadeJww> made;
  WriteSvg(sink, ConvertedScene(converted, options, made), style);
}

void WritePngOutput(TByteSink& sink, const TConverted& converted, const TConversionOptions& options) {
  std::optional<TMadeJww> made;
  TScene scene = ConvertedScene(converted, options, made);
  TBoxMm bounds = scene.Bounds();
  TRenderStyle style = StyleOf(options.Picture);
  QImage image = RenderImage(scene, bounds, PictureSize(bounds, options.Picture.PngWidth), style);
  if (image.isNull()) throw TIoError::FromErrno(ENOMEM, "");
  WritePng(sink, image, PaintsGraysOnly(style.Scheme));
}

// One page of the drawing's paper (or its extent), 1 mm of the drawing to 1 mm of the page.
void WritePdfOutput(TByteSink& sink, const TConverted& converted, const TConversionOptions& options) {
  std::optional<TMadeJww> made;
  TScene scene = ConvertedScene(converted, options, made);
  TBoxMm page;
  if (scene.Paper) {
    page.Add(-scene.Paper->Width / 2, -scene.Paper->Height / 2);
    page.Add(scene.Paper->Width / 2, scene.Paper->Height / 2);
  } else {
    page = scene.Extent();
    if (page.Empty) page.Add(0, 0);
    page.Add(page.Left - kPdfMarginMm, page.Bottom - kPdfMarginMm);
    page.Add(page.Right + kPdfMarginMm, page.Top + kPdfMarginMm);
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter pdf(&buffer);
    pdf.setCreator("Torvane");
    pdf.setResolution(kPdfDotsPerInch);
    // Exactly the size asked, not the nearest standard size turned on its side.
    QPageSize size(QSizeF(page.Width(), page.Height()), QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
    pdf.setPageLayout(QPageLayout(size, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    QPainter painter(&pdf);
    if (!painter.isActive()) throw TIoError::FromErrno(EIO, "");
    double k = kPdfDotsPerInch / kMmPerInch;
    TRenderStyle style = StyleOf(options.Picture);
    if (style.Scheme == TScheme::Screen) {
      painter.fillRect(QRectF(0, 0, page.Width() * k, page.Height() * k), BackgroundOf(style.Scheme));
    }
    RenderScene(painter, scene, QTransform(k, 0, 0, -k, -page.Left * k, page.Top * k), style);
  }
  WriteBytes(sink, bytes);
}

}  // namespace

TOutputWriter PictureWriter(std::string_view kind) {
  if (kind == "svg") return WriteSvgOutput;
  if (kind == "png") return WritePngOutput;
  if (kind == "pdf") return WritePdfOutput;
  return nullptr;
}

bool ArgumentsPaint(const std::vector<std::string>& args) {
  std::vector<std::string> kinds = KindsNamedBy(args);
  return std::find(kinds.begin(), kinds.end(), "png") != kinds.end() ||
         std::find(kinds.begin(), kinds.end(), "pdf") != kinds.end();
}

}  // namespace torvane
