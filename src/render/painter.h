// Paints a scene (a converted drawing or part) with Qt's painting classes onto any paint device:
// the preview, PNG and PDF pictures and thumbnails.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QTransform>

#include "render/scene.h"
#include "settings/settings.h"

namespace torvane {

// Screen: every pen in its reference colour on black, as the DOS edition's screen showed a
// drawing. Print: black on white.
enum class TScheme { Screen, Print };

struct TRenderStyle {
  TScheme Scheme = TScheme::Print;
  // The reference colour codes of pens 1 to 6 (the user's settings).
  TPenColors PenColors = DefaultPenColors();
};

// The reference colour of a colour code 0 to 6; white for any other code.
QColor ReferenceColor(int code);
// The colour a pen draws in: on the screen its reference colour (white for a pen without one),
// in print black.
QColor PenColorOf(int pen, const TRenderStyle& style);
QColor BackgroundOf(TScheme scheme);
// Whether every pixel of a picture in the scheme is a gray, however its inks blend: the print
// scheme's black ink and gray paper frame on white.
bool PaintsGraysOnly(TScheme scheme);

// The window's font families: "ＭＳ Ｐゴシック", else an installed Japanese font.
QStringList JapaneseFontFamilies();

// Millimetres (y upwards) to device units: the box fills the rectangle less margin on every side,
// centred, at one scale for both axes.
QTransform FitTransform(const TBoxMm& box, const QRectF& device, double margin);

// Draws the scene through mmToDevice; the caller has filled the background.
void RenderScene(QPainter& painter, const TScene& scene, const QTransform& mmToDevice, const TRenderStyle& style);

// The size of a picture of width pixels across the scene's bounds (TScene::Bounds, with the
// picture's margins).
QSize PictureSize(const TBoxMm& bounds, int width);
// The scene drawn whole, its bounds fitted into an image of that size, on the scheme's background.
QImage RenderImage(const TScene& scene, const TBoxMm& bounds, QSize size, const TRenderStyle& style);
// The scene drawn through mmToDevice into an image of that size, on the scheme's background, as
// RenderImage draws it.
QImage RenderView(const TScene& scene, const QTransform& mmToDevice, QSize size, const TRenderStyle& style);
// The margin around the scene in a picture of that width.
double PictureMargin(int width);

}  // namespace torvane
