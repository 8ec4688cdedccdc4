#include "render/painter.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPaintEngine>
#include <QRawFont>
#include <QPolygonF>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <new>
#include <numbers>
#include <optional>

#include "render/strokes.h"
#include "support/cp932.h"
#include "support/largearray.h"

namespace torvane {
namespace {

// Pens draw on paper this wide per unit of their print width.
constexpr double kPrintWidthUnitMm = 0.06;
// A bit of a line type's mask takes its print pitch in tenths of a millimetre on paper, and at the
// least its pitch in these device units, so that a drawing seen whole still shows its dashes.
constexpr double kDotsPerPitch = 2.0;
constexpr double kFrameWidthMm = 0.2;
// Arcs are drawn as chords that stray at most this far (device units) from the curve.
constexpr double kChordError = 0.25;
// A segment of a random line takes at most this many steps in view; a longer one (only at a vast
// resolution) is drawn straight.
constexpr std::size_t kMaxWaveSteps = 1 << 16;
// Texts lower than this (device units) show no glyphs.
constexpr double kMinTextHeight = 1.5;

double ScaleOf(const QTransform& t) { return std::sqrt(std::abs(t.determinant())); }

// Everything a pen needs besides its geometry.
struct TPenKey {
  int Pen = 0;
  int Style = 0;
  bool operator==(const TPenKey&) const = default;
  auto operator<=>(const TPenKey&) const = default;
};

// The kinds of records, in the order a picture draws them.
enum class TKind { None, Lines, Arcs, Points, Texts };

// Paints the records handed to it one by one, kind after kind in the order of TKind. Records
// beyond the device's view, or beyond the band of it this painter is asked for, are left out.
class TPainter {
 public:
  // window: the device's view in the painter's own units; band: the part of it whose pixels this
  // painter must paint right, nothing for all of it (pixels beyond may be painted too).
  TPainter(QPainter& painter, const TScene& scene, const QTransform& t, const TRenderStyle& style, const QRectF& window,
           const std::optional<QRectF>& band)
      : p_(painter), scene_(scene), t_(t), style_(style), k_(ScaleOf(t)), clip_(window.adjusted(-2, -2, 2, 2)),
        band_(band), rowsAlone_(band_ && t.type() <= QTransform::TxScale) {
    // The furthest any line reaches beyond its way: its wave and its pen's stroke.
    for (int style = 0; style < 256; ++style) {
      if (std::optional<TWave> wave = WaveOf(style)) lineReach_ = std::max(lineReach_, std::abs(wave->Amplitude));
    }
    double widest = 0;
    for (int pen = 0; pen <= static_cast<int>(kJwwPenColors.size()); ++pen) widest = std::max(widest, StrokeReach(pen));
    lineReach_ += 1 + widest;
  }

  // blank: the colour every pixel of the device has, when it was just filled.
  void Begin(std::optional<QRgb> blank = std::nullopt) {
    // Lines and arcs on an image are written into its pixels by a raster of their own, unless
    // the painter maps or clips them in ways the raster does not know.
    if (p_.device() != nullptr && p_.device()->devType() == QInternal::Image && p_.deviceTransform().isIdentity()) {
      auto* image = static_cast<QImage*>(p_.device());
      if (TStrokeRaster::Paints(*image) && (band_ || !p_.hasClipping())) {
        QRectF rows = band_.value_or(QRectF(image->rect()));
        raster_.emplace(*image, static_cast<int>(std::lround(rows.top())), static_cast<int>(std::lround(rows.bottom())));
        if (blank) raster_->Blank(*blank);
      }
    }
    p_.save();
    p_.setRenderHint(QPainter::Antialiasing, true);
    p_.setRenderHint(QPainter::TextAntialiasing, true);
  }

  void DrawPaper() {
    if (!scene_.Paper) return;
    QColor color = style_.Scheme == TScheme::Screen ? QColor(90, 90, 90) : QColor(190, 190, 190);
    double width = std::max(1.0, kFrameWidthMm * k_);
    double w = scene_.Paper->Width / 2, h = scene_.Paper->Height / 2;
    std::array<QPointF, 4> corners{Map(-w, -h), Map(w, -h), Map(w, h), Map(-w, h)};
    if (raster_) {
      // Each side reaches half the width past its corners, which come out square as Qt's miter
      // joins make them.
      TStroke stroke{color.rgb(), width, {}, 0};
      for (std::size_t i = 0; i < corners.size(); ++i) {
        QLineF side(corners[i], corners[(i + 1) % corners.size()]);
        if (side.length() <= 0) continue;
        QPointF reach = (side.p2() - side.p1()) * (width / 2 / side.length());
        std::array<QPointF, 2> ends{side.p1() - reach, side.p2() + reach};
        raster_->Polyline(ends, stroke);
      }
      return;
    }
    p_.setPen(QPen(color, width));
    p_.setBrush(Qt::NoBrush);
    p_.drawPolygon(QPolygonF(QList<QPointF>(corners.begin(), corners.end())));
    current_.reset();
  }
  void End() {
    Enter(TKind::None);
    p_.restore();
  }

  void Draw(const TWSen& line) {
    Enter(TKind::Lines);
    if (BeyondBand(line.Y1, line.Y2) || !scene_.Visible(line.Header)) return;
    QLineF device(Map(line.X1, line.Y1), Map(line.X2, line.Y2));
    TPenKey key{line.Header.PenColor, line.Header.PenStyle};
    std::optional<TWave> wave = WaveOf(key.Style);
    double reach = 1 + (wave ? std::abs(wave->Amplitude) : 0);
    QRectF box = QRectF(device.p1(), device.p2()).normalized();
    if (!clip_.intersects(box.adjusted(-reach, -reach, reach, reach)) || !InBand(box, reach + StrokeReach(key.Pen))) return;
    if (wave) {
      FlushLines();
      Use(key);
      DrawWave(QPolygonF({device.p1(), device.p2()}), *wave);
      return;
    }
    if (raster_) {
      std::array<QPointF, 2> ends{device.p1(), device.p2()};
      raster_->Polyline(ends, StrokeOf(key));
      return;
    }
    if (!(key == batchKey_) || batch_.size() >= 4096) {
      FlushLines();
      batchKey_ = key;
    }
    batch_.push_back(device);
  }

  void Draw(const TWEnko& arc) {
    Enter(TKind::Arcs);
    if (!scene_.Visible(arc.Header)) return;
    double reach = std::abs(arc.Radius) * std::max(1.0, std::abs(arc.Flatness));
    QPointF centre = Map(arc.CenterX, arc.CenterY);
    std::optional<TWave> wave = WaveOf(arc.Header.PenStyle);
    double radius = reach * k_ + (wave ? std::abs(wave->Amplitude) : 0);
    QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    if (!std::isfinite(radius) || !clip_.intersects(box) || !InBand(box, StrokeReach(arc.Header.PenColor))) return;
    TPenKey key{arc.Header.PenColor, arc.Header.PenStyle};
    // No chords for an arc that would change no pixel.
    if (raster_ && raster_->Covered(box.adjusted(-StrokeReach(key.Pen), -StrokeReach(key.Pen), StrokeReach(key.Pen),
                                                 StrokeReach(key.Pen)),
                                    StrokeOf(key).Color)) {
      return;
    }
    Use(key);
    auto [start, sweep] = ArcSweep(arc);
    int n = ArcChords(arc, k_, kChordError);
    chords_.resize(n + 1);
    TArcPoints arcPoint(arc);
    for (int i = 0; i <= n; ++i) {
      TPointMm point = arcPoint(start + sweep * i / n);
      chords_[i] = Map(point.X, point.Y);
    }
    if (wave) {
      DrawWave(chords_, *wave);
    } else {
      Stroke(chords_);
    }
  }

  void Draw(const TWTen& point) {
    Enter(TKind::Points);
    if (point.Virtual != 0 || !scene_.Visible(point.Header)) return;
    QPointF centre = Map(point.X, point.Y);
    if (!clip_.contains(centre) || !InBand(QRectF(centre, centre), pointRadius_ + 1)) return;
    QColor color = PenColorOf(point.Header.PenColor, style_);
    QRectF box = QRectF(centre, centre).adjusted(-pointRadius_ - 1, -pointRadius_ - 1, pointRadius_ + 1, pointRadius_ + 1);
    if (!PaintsOver(box, color)) return;
    p_.setBrush(color);
    p_.drawEllipse(centre, pointRadius_, pointRadius_);
  }

  void Draw(const TWMoji& text) {
    Enter(TKind::Texts);
    if (!scene_.Visible(text.Header)) return;
    double height = text.SizeY * k_;
    if (!(height >= kMinTextHeight) || height > 1e6) return;
    std::string_view bytes = scene_.TextOf(text);
    if (bytes.empty()) return;
    QPointF start = Map(text.X1, text.Y1);
    double reach = (text.SizeX + text.Spacing + text.SizeY) * k_ * static_cast<double>(bytes.size());
    if (!clip_.intersects(QRectF(start.x() - reach, start.y() - reach, 2 * reach, 2 * reach))) return;
    // The text lies within its length (a byte takes at most half a double-byte cell) and its height
    // of the start; a glyph may stray from its cell by a cell's width and height more.
    double size = std::abs(text.SizeX) + std::abs(text.SizeY);
    double span = (static_cast<double>(bytes.size()) * (std::abs(text.SizeX) + std::abs(text.Spacing)) / 2 + size) * k_;
    QRectF box = QRectF(start.x() - span, start.y() - span, 2 * span, 2 * span).adjusted(-size * k_, -size * k_, size * k_, size * k_);
    if (!InBand(box, 0)) return;
    QColor color = PenColorOf(text.Header.PenColor, style_);
    if (raster_) {
      // Its glyphs lie in its box, give or take a cell's width and height.
      QPolygonF corners;
      for (const TPointMm& corner : TextBox(text, bytes)) corners << Map(corner.X, corner.Y);
      if (!PaintsOver(corners.boundingRect().adjusted(-size * k_, -size * k_, size * k_, size * k_), color)) return;
    }
    std::vector<TTextCell> cells = TextCells(text, bytes);
    std::vector<QString> strings = CellStrings(cells, bytes);

    int pixels = std::clamp(static_cast<int>(std::lround(height)), 1, 1 << 16);
    font_.setPixelSize(pixels);
    p_.setFont(font_);
    TFontSize& metrics = FontSize(pixels);
    double emHeight = metrics.Ascent + metrics.Descent;
    double sy = height / emHeight;
    p_.setPen(color);
    current_.reset();

    // Is the y axis turned over on its way to the device (as it is for y-up millimetres)?
    bool flipped = t_.determinant() < 0;
    QTransform local;
    local.translate(start.x(), start.y());
    local.rotate(flipped ? -text.Angle : text.Angle);
    for (std::size_t i = 0; i < cells.size(); ++i) {
      const TTextCell& cell = cells[i];
      double cellWidth = cell.Width * k_;
      double nominal = pixels * (cell.Bytes.size() == 2 ? 1.0 : 0.5);
      double sx = nominal > 0 ? cellWidth / nominal : 1;
      double advance = cell.Bytes.size() == 2 ? pixels : metrics.Advance(strings[i]);
      double x = cell.Offset * k_ + (cellWidth - advance * sx) / 2;
      QTransform glyph = QTransform::fromTranslate(x, flipped ? -metrics.Descent * sy : metrics.Descent * sy);
      glyph.scale(sx, flipped ? sy : -sy);
      QTransform place = glyph * local * textBase_;
      if (quint32 index = glyphRuns_ ? metrics.Glyph(strings[i]) : 0) {
        // The glyph starts on a whole pixel across: Qt renders a glyph anew for every quarter of
        // a pixel it may start at, and a drawing's texts seldom start twice at the same one.
        p_.setTransform(QTransform(place.m11(), place.m12(), place.m21(), place.m22(), std::round(place.dx()), place.dy()));
        QGlyphRun run;
        run.setRawFont(metrics.Raw);
        run.setGlyphIndexes({index});
        run.setPositions({QPointF(0, 0)});
        p_.drawGlyphRun(QPointF(0, 0), run);
      } else {
        p_.setTransform(place);
        p_.drawText(QPointF(0, 0), strings[i]);
      }
    }
    p_.setTransform(textBase_);
  }

 private:
  // The window font's metrics at a pixel size, looked up once: a drawing's texts come in a few
  // sizes, and each lookup resolves the font anew.
  struct TFontSize {
    explicit TFontSize(const QFont& font)
        : Metrics(font), Ascent(Metrics.ascent()), Descent(Metrics.descent()), Raw(QRawFont::fromFont(font)) {}
    // The glyph of a character in the font itself; 0 for one it lacks (a fallback font draws it).
    quint32 Glyph(const QString& character) {
      auto [at, added] = Glyphs.try_emplace(character, 0u);
      if (added) {
        QList<quint32> indexes = Raw.glyphIndexesForString(character);
        at->second = indexes.size() == 1 ? indexes.front() : 0;
      }
      return at->second;
    }
    double Advance(const QString& character) {
      auto [at, added] = Advances.try_emplace(character, 0.0);
      if (added) at->second = Metrics.horizontalAdvance(character);
      return at->second;
    }
    QFontMetricsF Metrics;
    double Ascent, Descent;
    std::map<QString, double> Advances;
    QRawFont Raw;
    std::map<QString, quint32> Glyphs;
  };
  TFontSize& FontSize(int pixels) {
    auto at = fontSizes_.find(pixels);
    if (at == fontSizes_.end()) at = fontSizes_.try_emplace(pixels, font_).first;
    return at->second;
  }

  QPointF Map(double x, double y) const { return t_.map(QPointF(x, y)); }

  // Whether Qt's ink of color in box may change a pixel; if so the raster is told it will be there.
  bool PaintsOver(const QRectF& box, const QColor& color) {
    if (!raster_) return true;
    if (raster_->Covered(box, color.rgb())) return false;
    raster_->Inked(box, color.rgb());
    return true;
  }

  // Whether a line between the heights y1 and y2 (painter's units) lies, with all it may reach,
  // above or below the band: told from its rows as the transform maps them, without mapping the
  // line (most lines a band's painter is handed lie in the other band).
  bool BeyondBand(double y1, double y2) const {
    if (!rowsAlone_) return false;
    double a = t_.m22() * y1 + t_.dy(), b = t_.m22() * y2 + t_.dy();
    return std::max(a, b) + lineReach_ < band_->top() || std::min(a, b) - lineReach_ > band_->bottom();
  }

  // Whether something whose device box is box, give or take reach, may touch the band.
  bool InBand(const QRectF& box, double reach) const {
    return !band_ || band_->intersects(box.adjusted(-reach, -reach, reach, reach));
  }

  // How far a stroke of the pen may reach beyond its way: Qt's miter join reaches its width on
  // either side, and a pixel of smoothing; the raster's sharp corners reach further still.
  double StrokeReach(int pen) const {
    double width = WidthOf(pen);
    return std::max(2 * width + 1, TStrokeRaster::Reach(width));
  }

  // Ends the kind drawn so far and readies the painter for the next.
  void Enter(TKind kind) {
    if (kind == kind_) return;
    if (kind_ == TKind::Lines) FlushLines();
    if (kind_ == TKind::Points) p_.setBrush(Qt::NoBrush);
    kind_ = kind;
    if (kind == TKind::Points) {
      pointRadius_ = style_.Scheme == TScheme::Screen ? 1.5 : std::max(0.75, 0.15 * k_);
      p_.setPen(Qt::NoPen);
      current_.reset();
    } else if (kind == TKind::Texts) {
      font_.setFamilies(JapaneseFontFamilies());
      // Smoothed in gray, never for the subpixels of one kind of screen: a picture is looked at on
      // any, or printed, and one in the print scheme then holds grays alone.
      font_.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
      textBase_ = p_.transform();
      // On an image a character the font has is drawn as its glyph, with the pixels drawText
      // gives it but without shaping a text of one character anew each time (a third of a
      // text's cost). Other devices keep drawText: a PDF takes the characters from it.
      glyphRuns_ = p_.paintEngine() != nullptr && p_.paintEngine()->type() == QPaintEngine::Raster;
      if (raster_) raster_->FindCoveredTiles();
    }
  }

  void FlushLines() {
    if (batch_.empty()) return;
    Use(batchKey_);
    p_.drawLines(batch_.data(), static_cast<int>(batch_.size()));
    batch_.clear();
  }

  double WidthOf(int pen) const {
    if (style_.Scheme == TScheme::Screen) return 1.0;
    int printWidth = pen >= 1 && pen <= 10 ? kJwwPenColors[static_cast<std::size_t>(pen - 1)].PrintWidth : 1;
    return std::max(1.0, printWidth * kPrintWidthUnitMm * k_);
  }

  // The pen's colour, width and dashes in device units, made once for each pen and line type.
  const TStroke& StrokeOf(const TPenKey& key) {
    auto [at, added] = strokes_.try_emplace(key);
    TStroke& stroke = at->second;
    if (!added) return stroke;
    stroke.Color = PenColorOf(key.Pen, style_).rgb();
    stroke.Width = WidthOf(key.Pen);
    if (const TJwwLineType* type = LineTypeOf(static_cast<uint8_t>(key.Style))) {
      TDashRuns dashes = DashRuns(*type);
      double bit = std::max(type->PrintPitch * 0.1 * k_, type->Pitch * kDotsPerPitch);
      double end = 0;
      for (double run : dashes.Runs) stroke.Ends.push_back(end += run * bit);
      stroke.Offset = dashes.Offset * bit;
    }
    return stroke;
  }

  // A polyline in the pen last used.
  void Stroke(std::span<const QPointF> points) {
    if (raster_) {
      raster_->Polyline(points, StrokeOf(*current_));
    } else {
      p_.drawPolyline(points.data(), static_cast<int>(points.size()));
    }
  }

  // The wave of a random line type in device units, scaled as the dashes are; nothing for a style
  // that is no random line. Where the device turns the y axis over, so does the amplitude, and
  // the line still lies to the left of its way as it is seen.
  std::optional<TWave> WaveOf(int penStyle) const {
    const TJwwRandomLine* type = RandomLineOf(static_cast<uint8_t>(penStyle));
    if (type == nullptr) return std::nullopt;
    double amplitude = std::max(type->PrintAmplitude * 0.1 * k_, type->Amplitude * kDotsPerPitch);
    return TWave{type->Pattern, std::max(type->PrintPitch * 0.1 * k_, type->Pitch * kDotsPerPitch),
                 t_.determinant() < 0 ? -amplitude : amplitude};
  }

  // A random line along the device polyline axis, the parts in view.
  void DrawWave(const QPolygonF& axis, const TWave& wave) {
    std::vector<TPointMm> points;
    points.reserve(static_cast<std::size_t>(axis.size()));
    for (const QPointF& p : axis) points.push_back({p.x(), p.y()});
    TBoxMm view;
    view.Add(clip_.left(), clip_.top());
    view.Add(clip_.right(), clip_.bottom());
    QPolygonF piece;
    for (const std::vector<TPointMm>& wavePiece : WavePieces(points, wave, &view, kMaxWaveSteps)) {
      piece.clear();
      for (const TPointMm& p : wavePiece) piece << QPointF(p.X, p.Y);
      Stroke(piece);
    }
  }

  void Use(const TPenKey& key) {
    if (current_ && *current_ == key) return;
    current_ = key;
    if (!raster_) p_.setPen(QtPenOf(StrokeOf(key)));
  }



  // The characters of the cells as Unicode, one string per cell.
  static std::vector<QString> CellStrings(const std::vector<TTextCell>& cells, std::string_view cp932) {
    std::vector<QString> strings;
    for (char32_t c : QString::fromStdString(Cp932ToUtf8(cp932)).toUcs4()) strings.push_back(QString::fromUcs4(&c, 1));
    if (strings.size() == cells.size()) return strings;
    // A byte that is no character took a cell of its own: decode cell by cell.
    strings.clear();
    for (const TTextCell& cell : cells) strings.push_back(QString::fromStdString(Cp932ToUtf8(cell.Bytes)));
    return strings;
  }

  QPainter& p_;
  const TScene& scene_;
  const QTransform& t_;
  const TRenderStyle& style_;
  double k_;
  QRectF clip_;
  std::optional<QRectF> band_;
  // Whether the transform maps a height alone (no turn nor shear): y' = m22 y + dy.
  bool rowsAlone_;
  double lineReach_ = 0;
  TKind kind_ = TKind::None;
  std::optional<TPenKey> current_;
  std::optional<TStrokeRaster> raster_;
  std::map<TPenKey, TStroke> strokes_;
  std::vector<QLineF> batch_;
  TPenKey batchKey_;
  QPolygonF chords_;
  double pointRadius_ = 1;
  QFont font_;
  std::map<int, TFontSize> fontSizes_;
  QTransform textBase_;
  bool glyphRuns_ = false;
};


}  // namespace

QColor ReferenceColor(int code) {
  switch (code) {
    case 0: return {0, 0, 0};
    case 1: return {0, 0, 255};
    case 2: return {255, 0, 0};
    case 3: return {128, 0, 128};
    case 4: return {0, 128, 0};
    case 5: return {0, 255, 255};
    case 6: return {255, 255, 0};
    default: return {255, 255, 255};
  }
}

QColor PenColorOf(int pen, const TRenderStyle& style) {
  if (style.Scheme == TScheme::Print) return Qt::black;
  if (pen < 1 || pen > static_cast<int>(style.PenColors.size())) return Qt::white;
  return ReferenceColor(style.PenColors[static_cast<std::size_t>(pen - 1)]);
}

QColor BackgroundOf(TScheme scheme) { return scheme == TScheme::Screen ? Qt::black : Qt::white; }

bool PaintsGraysOnly(TScheme scheme) { return scheme == TScheme::Print; }

QStringList JapaneseFontFamilies() {
  return {"ＭＳ Ｐゴシック", "IPAPGothic", "IPAGothic", "Noto Sans CJK JP", "VL PGothic"};
}

QTransform FitTransform(const TBoxMm& box, const QRectF& device, double margin) {
  TBoxMm shown = box;
  if (shown.Empty) shown.Add(0, 0);
  // A box without width or height still gets a scale: a point or a straight line shows at 1:1.
  double width = std::max(shown.Width(), 1e-9), height = std::max(shown.Height(), 1e-9);
  double room = std::max(1.0, device.width() - 2 * margin), roomY = std::max(1.0, device.height() - 2 * margin);
  double k = std::min(room / width, roomY / height);
  if (shown.Width() <= 0 && shown.Height() <= 0) k = 1;
  double cx = (shown.Left + shown.Right) / 2, cy = (shown.Bottom + shown.Top) / 2;
  QPointF centre = device.center();
  return QTransform(k, 0, 0, -k, centre.x() - k * cx, centre.y() + k * cy);
}

void RenderScene(QPainter& painter, const TScene& scene, const QTransform& mmToDevice, const TRenderStyle& style) {
  QRectF window = painter.transform().inverted().mapRect(QRectF(painter.viewport()));
  TPainter drawer(painter, scene, mmToDevice, style, window, std::nullopt);
  drawer.Begin();
  drawer.DrawPaper();
  auto draw = [&](const auto& runs) { runs.ForEachWhileMaking([&](const auto& record) { drawer.Draw(record); }); };
  draw(scene.Lines);
  draw(scene.Arcs);
  draw(scene.Points);
  draw(scene.Texts);
  drawer.End();
}

double PictureMargin(int width) { return std::max(2.0, width * 0.02); }

QSize PictureSize(const TBoxMm& bounds, int width) {
  double margin = PictureMargin(width);
  double room = std::max(1.0, width - 2 * margin);
  double ratio = bounds.Empty || bounds.Width() <= 0 ? 1.0 : bounds.Height() / bounds.Width();
  double height = std::clamp(room * ratio + 2 * margin, 1.0, 16.0 * width);
  return {width, static_cast<int>(std::lround(height))};
}

namespace {

// An image of the scheme's background whose pixels lie in a large block (support/largearray), so
// that memory the conversion has freed (the input's bytes) holds it rather than memory fresh from
// the system; a null image when there is no memory for it.
QImage LargeImage(QSize size, const QColor& background) {
  struct TBlock {
    void* memory;
    std::size_t bytes;
  };
  if (size.isEmpty()) return {};
  qsizetype perLine = 4 * static_cast<qsizetype>(size.width());
  auto* block =
      new (std::nothrow) TBlock{nullptr, static_cast<std::size_t>(perLine) * static_cast<std::size_t>(size.height())};
  if (block == nullptr) return {};
  try {
    block->memory = AllocateLarge(block->bytes);
  } catch (const std::bad_alloc&) {
    delete block;
    return {};
  }
  QImage image(
      static_cast<uchar*>(block->memory), size.width(), size.height(), perLine, QImage::Format_RGB32,
      [](void* info) {
        auto* freed = static_cast<TBlock*>(info);
        FreeLarge(freed->memory, freed->bytes);
        delete freed;
      },
      block);
  image.fill(background);
  return image;
}

// A painter of one band of an image: it paints whatever touches the band's rows, clipped to them.
struct TBand {
  TBand(QImage& image, const TScene& scene, const QTransform& t, const TRenderStyle& style, const QRect& rows)
      : painter(&image), drawer(painter, scene, t, style, QRectF(image.rect()), QRectF(rows)) {
    painter.setClipRect(rows);
  }
  QPainter painter;
  TPainter drawer;
};

// Paints the records of the kinds that kinds(visit) hands to visit in two bands at once, the rows
// above middle onto upper and the others onto lower, each band on a core of its own. fresh: the
// image was just filled with the scheme's background, and the paper's frame comes first.
template <typename Kinds>
void PaintInBands(QImage& upper, QImage& lower, int middle, bool fresh, const TScene& scene, const QTransform& t,
                  const TRenderStyle& style, const Kinds& kinds) {
  QSize size = upper.size();
  std::array<std::optional<TBand>, 2> bands;
  if (middle > 0) bands[0].emplace(upper, scene, t, style, QRect(0, 0, size.width(), middle));
  bands[1].emplace(lower, scene, t, style, QRect(0, middle, size.width(), size.height() - middle));
  for (std::optional<TBand>& band : bands) {
    if (!band) continue;
    if (fresh) {
      band->drawer.Begin(BackgroundOf(style.Scheme).rgb());
      band->drawer.DrawPaper();
    } else {
      band->drawer.Begin();
    }
  }
  kinds([&](const auto& runs) {
    runs.ForEachRunOnBothCores([&](const auto& run, int side) {
      std::optional<TBand>& band = bands[static_cast<std::size_t>(side)];
      if (!band) return;
      for (const auto& record : run) band->drawer.Draw(record);
    });
  });
  for (std::optional<TBand>& band : bands) {
    if (band) band->drawer.End();
  }
}

}  // namespace

QImage RenderImage(const TScene& scene, const TBoxMm& bounds, QSize size, const TRenderStyle& style) {
  double margin = PictureMargin(std::max(size.width(), size.height()));
  return RenderView(scene, FitTransform(bounds, QRectF(QPointF(0, 0), QSizeF(size)), margin), size, style);
}

// The image is painted in two bands at once, its upper and its lower half, each on a core of its
// own; every pixel comes out as one painter over the whole image paints it. Lines and arcs are
// written by rasters that ink a pixel by its distance from the stroke alone; Qt's raster painter
// lays points out against the whole image whatever the clip, which then only decides the pixels
// written: the bands' painters share the image, each clipped to its rows. Texts come last, in
// the same two bands: each core loads the fonts and renders the glyphs of its own band's texts.
QImage RenderView(const TScene& scene, const QTransform& t, QSize size, const TRenderStyle& style) {
  QImage image = LargeImage(size, BackgroundOf(style.Scheme));
  if (image.isNull()) return image;
  // Two painters cannot share one QImage: each takes a view of the same pixels.
  QImage upperView(image.bits(), size.width(), size.height(), image.bytesPerLine(), image.format());
  QImage lowerView(image.bits(), size.width(), size.height(), image.bytesPerLine(), image.format());
  PaintInBands(upperView, lowerView, size.height() / 2, true, scene, t, style, [&](const auto& visit) {
    visit(scene.Lines);
    visit(scene.Arcs);
    visit(scene.Points);
  });
  PaintInBands(upperView, lowerView, size.height() / 2, false, scene, t, style, [&](const auto& visit) { visit(scene.Texts); });
  return image;
}

}  // namespace torvane
