#include "render/svg.h"

#include <charconv>
#include <cmath>
#include <numbers>
#include <optional>
#include <string>

#include "support/cp932.h"

namespace torvane {
namespace {

constexpr double kPrintWidthUnitMm = 0.06;  // as the painter draws pens on paper
constexpr double kFrameWidthMm = 0.2;
constexpr std::size_t kFlushBytes = 1 << 16;
// A random arc is laid along chords that stray at most this far from it.
constexpr double kChordErrorMm = 0.01;
// A random line longer than this many steps (only in a forged drawing) is written straight.
constexpr std::size_t kMaxWaveSteps = 1 << 16;
// The part of a Japanese font's em box below its base line.
constexpr double kDescent = 0.12;

class TSvgOut {
 public:
  explicit TSvgOut(TByteSink& sink) : sink_(sink) {}
  ~TSvgOut() = default;

  TSvgOut& operator<<(std::string_view text) {
    buffer_ += text;
    if (buffer_.size() >= kFlushBytes) Flush();
    return *this;
  }
  TSvgOut& operator<<(double value) {
    if (!std::isfinite(value)) value = 0;
    if (value == 0) value = 0;  // no "-0"
    char text[32];
    auto result = std::to_chars(text, text + sizeof text, std::round(value * 1e6) / 1e6);
    return *this << std::string_view(text, static_cast<std::size_t>(result.ptr - text));
  }
  // Text from a file: XML's special characters escaped, characters XML cannot hold replaced.
  TSvgOut& Escaped(std::string_view utf8) {
    std::string text;
    for (char c : utf8) {
      switch (c) {
        case '&': text += "&amp;"; break;
        case '<': text += "&lt;"; break;
        case '>': text += "&gt;"; break;
        case '"': text += "&quot;"; break;
        default: text += static_cast<unsigned char>(c) < 0x20 ? std::string("\xEF\xBF\xBD") : std::string(1, c);
      }
    }
    return *this << std::string_view(text);
  }
  void Flush() {
    sink_.Write(reinterpret_cast<const uint8_t*>(buffer_.data()), buffer_.size());
    buffer_.clear();
  }

 private:
  TByteSink& sink_;
  std::string buffer_;
};

std::string Colour(uint32_t rgb) {
  char text[8];
  std::snprintf(text, sizeof text, "#%06X", rgb & 0xFFFFFF);
  return text;
}

class TSvgWriter {
 public:
  TSvgWriter(TByteSink& sink, const TScene& scene, const TSvgStyle& style) : out_(sink), scene_(scene), style_(style) {}

  void Write() {
    // The paper when the drawing has one (what lies beyond it still shows), else the extent.
    TBoxMm view;
    if (scene_.Paper) {
      view.Add(-scene_.Paper->Width / 2, -scene_.Paper->Height / 2);
      view.Add(scene_.Paper->Width / 2, scene_.Paper->Height / 2);
    } else {
      view = scene_.Extent();
      Pad(view);
    }
    if (view.Empty) view.Add(0, 0);
    double width = std::max(view.Width(), 1.0), height = std::max(view.Height(), 1.0);
    out_ << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         << "<svg xmlns=\"http://www.w3.org/2000/svg\" "
            "xmlns:inkscape=\"http://www.inkscape.org/namespaces/inkscape\" width=\""
         << width << "mm\" height=\"" << height << "mm\" viewBox=\"" << view.Left << " " << -view.Top << " " << width
         << " " << height << "\" overflow=\"visible\" fill=\"none\" stroke-linecap=\"butt\">\n";
    if (style_.Screen) {
      out_ << "<rect x=\"" << view.Left << "\" y=\"" << -view.Top << "\" width=\"" << width << "\" height=\"" << height
           << "\" fill=\"#000000\"/>\n";
    }
    if (scene_.Paper) {
      double w = scene_.Paper->Width, h = scene_.Paper->Height;
      out_ << "<rect id=\"paper\" x=\"" << -w / 2 << "\" y=\"" << -h / 2 << "\" width=\"" << w << "\" height=\"" << h
           << "\" stroke=\"" << (style_.Screen ? "#5A5A5A" : "#BEBEBE") << "\" stroke-width=\"" << kFrameWidthMm
           << "\"/>\n";
    }
    WriteLayers();
    out_ << "</svg>\n";
    out_.Flush();
  }

 private:
  static void Pad(TBoxMm& box) {
    if (box.Empty) return;
    double pad = std::max(box.Width(), box.Height()) * 0.02 + 1;
    box.Add(box.Left - pad, box.Bottom - pad);
    box.Add(box.Right + pad, box.Top + pad);
  }

  // The entities of each layer, by kind, in the order of the document.
  struct TLayerEntities {
    std::vector<uint32_t> Lines, Arcs, Points, Texts;
    bool Empty() const { return Lines.empty() && Arcs.empty() && Points.empty() && Texts.empty(); }
  };
  static std::size_t LayerIndex(const TEntityHeader& h) { return (h.LayerGroup & 15u) * 16u + (h.Layer & 15u); }

  void WriteLayers() {
    std::vector<TLayerEntities> layers(256);
    for (std::size_t i = 0; i < lines_.size(); ++i) layers[LayerIndex(lines_[i].Header)].Lines.push_back(static_cast<uint32_t>(i));
    for (std::size_t i = 0; i < arcs_.size(); ++i) layers[LayerIndex(arcs_[i].Header)].Arcs.push_back(static_cast<uint32_t>(i));
    for (std::size_t i = 0; i < points_.size(); ++i) {
      if (points_[i].Virtual == 0) layers[LayerIndex(points_[i].Header)].Points.push_back(static_cast<uint32_t>(i));
    }
    for (std::size_t i = 0; i < texts_.size(); ++i) layers[LayerIndex(texts_[i].Header)].Texts.push_back(static_cast<uint32_t>(i));

    for (std::size_t g = 0; g < 16; ++g) {
      bool any = false;
      for (std::size_t l = 0; l < 16; ++l) any = any || !layers[g * 16 + l].Empty();
      if (!any) continue;
      bool groupShown = !scene_.Groups || (*scene_.Groups)[g].State != 0;
      out_ << "<g id=\"group-" << std::to_string(g) << "\" inkscape:groupmode=\"layer\" inkscape:label=\"";
      Label(scene_.Groups ? (*scene_.Groups)[g].Name : std::string(), std::to_string(g));
      out_ << "\"" << (groupShown ? "" : " style=\"display:none\"") << ">\n";
      for (std::size_t l = 0; l < 16; ++l) {
        const TLayerEntities& entities = layers[g * 16 + l];
        if (entities.Empty()) continue;
        bool shown = !scene_.Layers || (*scene_.Layers)[g * 16 + l].State != 0;
        out_ << "<g id=\"layer-" << std::to_string(g) << "-" << std::to_string(l)
             << "\" inkscape:groupmode=\"layer\" inkscape:label=\"";
        Label(scene_.Layers ? (*scene_.Layers)[g * 16 + l].Name : std::string(), std::to_string(g) + "-" + std::to_string(l));
        out_ << "\"" << (shown ? "" : " style=\"display:none\"") << ">\n";
        for (uint32_t i : entities.Lines) Line(lines_[i]);
        for (uint32_t i : entities.Arcs) Arc(arcs_[i]);
        for (uint32_t i : entities.Points) Point(points_[i]);
        for (uint32_t i : entities.Texts) Text(texts_[i]);
        out_ << "</g>\n";
      }
      out_ << "</g>\n";
    }
  }

  // A layer's or group's name, or its number when it has none.
  void Label(const std::string& cp932, const std::string& number) {
    if (cp932.empty()) {
      out_ << std::string_view(number);
    } else {
      out_.Escaped(Cp932ToUtf8(cp932));
    }
  }

  uint32_t ColourOf(uint16_t pen) const {
    if (!style_.Screen) return 0;
    return pen >= 1 && pen <= 10 ? style_.PenColors[pen - 1u] : 0xFFFFFF;
  }

  void Stroke(const TEntityHeader& h) {
    int printWidth = h.PenColor >= 1 && h.PenColor <= 10 ? kJwwPenColors[h.PenColor - 1u].PrintWidth : 1;
    out_ << " stroke=\"" << std::string_view(Colour(ColourOf(h.PenColor))) << "\" stroke-width=\""
         << printWidth * kPrintWidthUnitMm << "\"";
    if (const TJwwLineType* type = LineTypeOf(h.PenStyle)) {
      TDashRuns dashes = DashRuns(*type);
      if (!dashes.Runs.empty()) {
        double bit = type->PrintPitch * 0.1;
        out_ << " stroke-dasharray=\"";
        for (std::size_t i = 0; i < dashes.Runs.size(); ++i) out_ << (i ? " " : "") << dashes.Runs[i] * bit;
        out_ << "\" stroke-dashoffset=\"" << dashes.Offset * bit << "\"";
      }
    }
  }

  // A random line type as it lies on paper: its print pitch and amplitude in tenths of a millimetre.
  static std::optional<TWave> WaveOf(uint8_t penStyle) {
    const TJwwRandomLine* type = RandomLineOf(penStyle);
    if (type == nullptr) return std::nullopt;
    return TWave{type->Pattern, type->PrintPitch * 0.1, type->PrintAmplitude * 0.1};
  }

  // A random line along its axis (mm), as polylines.
  void Wave(std::span<const TPointMm> axis, const TWave& wave, const TEntityHeader& h) {
    for (const std::vector<TPointMm>& piece : WavePieces(axis, wave, nullptr, kMaxWaveSteps)) {
      out_ << "<polyline points=\"";
      for (std::size_t i = 0; i < piece.size(); ++i) out_ << (i ? " " : "") << piece[i].X << "," << -piece[i].Y;
      out_ << "\"";
      Stroke(h);
      out_ << "/>\n";
    }
  }

  void Line(const TWSen& line) {
    if (std::optional<TWave> wave = WaveOf(line.Header.PenStyle)) {
      const TPointMm axis[2] = {{line.X1, line.Y1}, {line.X2, line.Y2}};
      Wave(axis, *wave, line.Header);
      return;
    }
    out_ << "<line x1=\"" << line.X1 << "\" y1=\"" << -line.Y1 << "\" x2=\"" << line.X2 << "\" y2=\"" << -line.Y2 << "\"";
    Stroke(line.Header);
    out_ << "/>\n";
  }

  void Arc(const TWEnko& arc) {
    if (std::optional<TWave> wave = WaveOf(arc.Header.PenStyle)) {
      auto [start, sweep] = ArcSweep(arc);
      int n = ArcChords(arc, 1, kChordErrorMm);
      std::vector<TPointMm> axis(static_cast<std::size_t>(n) + 1);
      TArcPoints arcPoint(arc);
      for (int i = 0; i <= n; ++i) axis[static_cast<std::size_t>(i)] = arcPoint(start + sweep * i / n);
      Wave(axis, *wave, arc.Header);
      return;
    }
    double rx = std::abs(arc.Radius), ry = std::abs(arc.Radius * arc.Flatness);
    double tilt = -arc.TiltAngle * 180 / std::numbers::pi;
    auto [start, sweep] = ArcSweep(arc);
    if (std::abs(sweep) >= 2 * std::numbers::pi - 1e-12) {
      out_ << "<ellipse cx=\"" << arc.CenterX << "\" cy=\"" << -arc.CenterY << "\" rx=\"" << rx << "\" ry=\"" << ry
           << "\" transform=\"rotate(" << tilt << " " << arc.CenterX << " " << -arc.CenterY << ")\"";
    } else {
      TPointMm a = ArcPoint(arc, start), b = ArcPoint(arc, start + sweep);
      // With y turned downwards a counter-clockwise sweep runs clockwise: SVG's sweep flag 0. A
      // negative flatness mirrors the ellipse, and turns the sweep once more.
      bool counterClockwise = (sweep > 0) == (arc.Flatness * arc.Radius >= 0);
      out_ << "<path d=\"M " << a.X << " " << -a.Y << " A " << rx << " " << ry << " " << tilt << " "
           << std::string_view(std::abs(sweep) > std::numbers::pi ? "1" : "0") << " "
           << std::string_view(counterClockwise ? "0" : "1") << " " << b.X << " " << -b.Y << "\"";
    }
    Stroke(arc.Header);
    out_ << "/>\n";
  }

  void Point(const TWTen& point) {
    out_ << "<circle cx=\"" << point.X << "\" cy=\"" << -point.Y << "\" r=\"0.15\" fill=\""
         << std::string_view(Colour(ColourOf(point.Header.PenColor))) << "\"/>\n";
  }

  void Text(const TWMoji& text) {
    std::string_view bytes = scene_.TextOf(text);
    if (bytes.empty()) return;
    double length = TextLength(TextCells(text, bytes));
    // The characters' em boxes stand on the base line, so the glyphs' own base line lies their
    // descent above it.
    double angle = text.Angle * std::numbers::pi / 180, lift = kDescent * text.SizeY;
    double x = text.X1 - lift * std::sin(angle), y = text.Y1 + lift * std::cos(angle);
    out_ << "<text x=\"" << x << "\" y=\"" << -y << "\" font-size=\"" << text.SizeY
         << "\" font-family=\"IPAPGothic, 'Noto Sans CJK JP', sans-serif\" fill=\""
         << std::string_view(Colour(ColourOf(text.Header.PenColor))) << "\" stroke=\"none\"";
    if (length > 0) out_ << " textLength=\"" << length << "\" lengthAdjust=\"spacingAndGlyphs\"";
    if (text.Angle != 0) out_ << " transform=\"rotate(" << -text.Angle << " " << x << " " << -y << ")\"";
    out_ << ">";
    out_.Escaped(Cp932ToUtf8(bytes));
    out_ << "</text>\n";
  }

  TSvgOut out_;
  const TScene& scene_;
  const TSvgStyle& style_;
  std::span<const TWSen> lines_ = scene_.Lines.Held();
  std::span<const TWEnko> arcs_ = scene_.Arcs.Held();
  std::span<const TWTen> points_ = scene_.Points.Held();
  std::span<const TWMoji> texts_ = scene_.Texts.Held();
};

}  // namespace

void WriteSvg(TByteSink& sink, const TScene& scene, const TSvgStyle& style) { TSvgWriter(sink, scene, style).Write(); }

}  // namespace torvane
