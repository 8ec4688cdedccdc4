#include "render/scene.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace torvane {

bool TScene::Visible(const TEntityHeader& header) const {
  // The converters keep layer and group below 16; anything else has no state to hide it.
  if (!Groups || !Layers || header.LayerGroup >= 16 || header.Layer >= 16) return true;
  return (*Groups)[header.LayerGroup].State != 0 && (*Layers)[header.LayerGroup * 16u + header.Layer].State != 0;
}

std::string_view TScene::TextOf(const TWMoji& text) const { return TextPool ? TextPool->Of(text.Text) : ""; }

namespace {

// Whether box holds every point within reach of (x, y) already, with room to spare for the
// rounding of points computed about (x, y): then such points cannot widen it.
bool Holds(const TBoxMm& box, double x, double y, double reach) {
  if (box.Empty || !std::isfinite(x) || !std::isfinite(y) || !std::isfinite(reach)) return false;
  double r = reach + 1e-9 * (std::abs(x) + std::abs(y) + reach);
  return box.Left <= x - r && x + r <= box.Right && box.Bottom <= y - r && y + r <= box.Top;
}

std::array<TPointMm, 4> TextCorners(const TWMoji& text, double length);

}  // namespace

TBoxMm TScene::Extent() const {
  // A box for each core, joined at the end: a box does not depend on the order of its points.
  std::array<TBoxMm, 2> boxes;
  // Lines are the most of a drawing: their boxes by layer, when the source gives them, spare
  // making them all, unless few of them show.
  std::optional<TLayerLineBoxes> lineBoxes = Made && !Lines.MostLeftOut() ? Made->LineBoxes() : std::nullopt;
  if (lineBoxes) {
    for (std::size_t layer = 0; layer < lineBoxes->size(); ++layer) {
      TEntityHeader header;
      header.Layer = static_cast<uint16_t>(layer & 15);
      header.LayerGroup = static_cast<uint16_t>(layer >> 4);
      if (Visible(header)) boxes[0].Add((*lineBoxes)[layer]);
    }
    // In both boxes, so that each core may leave out what lies within the lines' box.
    boxes[1] = boxes[0];
  } else {
    Lines.ForEachOnBothCores([&](const TWSen& line, int side) {
      if (!Visible(line.Header)) return;
      boxes[side].Add(line.X1, line.Y1);
      boxes[side].Add(line.X2, line.Y2);
    });
  }
  // An arc or a text that lies within its core's box so far is not looked at closely: the arc
  // within its radius (the greater of its axes) of its centre, a text within its length and height
  // of its start.
  Arcs.ForEachOnBothCores([&](const TWEnko& arc, int side) {
    if (!Visible(arc.Header)) return;
    double reach = std::abs(arc.Radius) * std::max(1.0, std::abs(arc.Flatness));
    if (!Holds(boxes[side], arc.CenterX, arc.CenterY, reach)) boxes[side].Add(ArcBox(arc));
  });
  Points.ForEachOnBothCores([&](const TWTen& point, int side) {
    if (Visible(point.Header) && point.Virtual == 0) boxes[side].Add(point.X, point.Y);
  });
  Texts.ForEachOnBothCores([&](const TWMoji& text, int side) {
    if (!Visible(text.Header)) return;
    double length = TextLength(text, TextOf(text));
    if (Holds(boxes[side], text.X1, text.Y1, std::abs(length) + std::abs(text.SizeY))) return;
    for (const TPointMm& corner : TextCorners(text, length)) boxes[side].Add(corner.X, corner.Y);
  });
  boxes[0].Add(boxes[1]);
  return boxes[0];
}

TBoxMm TScene::Bounds() const {
  TBoxMm box = Extent();
  if (Paper) {
    box.Add(-Paper->Width / 2, -Paper->Height / 2);
    box.Add(Paper->Width / 2, Paper->Height / 2);
  }
  return box;
}

namespace {

// The records a count says, never more than the array holds.
template <typename Records>
auto FirstRecords(const Records& records, int32_t count) {
  return std::span(records.data(), std::min<std::size_t>(records.size(), static_cast<std::size_t>(std::max(count, 0))));
}

}  // namespace

TScene SceneOf(const TJwwData& drawing) {
  TScene scene;
  scene.Lines = FirstRecords(drawing.Sens, drawing.SenCount);
  scene.Arcs = FirstRecords(drawing.Enkos, drawing.EnkoCount);
  scene.Points = FirstRecords(drawing.Tens, drawing.TenCount);
  scene.Texts = FirstRecords(drawing.Mojis, drawing.MojiCount);
  scene.TextPool = &drawing.Texts;
  scene.Groups = &drawing.GLayers;
  scene.Layers = &drawing.Layers;
  scene.Paper = PaperSizeOf(drawing.PaperSize);
  return scene;
}

TScene SceneOf(const TMadeJww& drawing) {
  const TJwwData& document = drawing.Document();
  const TMadeEntities& made = drawing.Entities();
  TScene scene;
  scene.Lines = TRecordRuns<TWSen>(made.Sens);
  scene.Arcs = TRecordRuns<TWEnko>(made.Enkos);
  scene.Points = TRecordRuns<TWTen>(made.Tens);
  scene.Texts = TRecordRuns<TWMoji>(made.Mojis);
  scene.TextPool = made.Texts;
  scene.Groups = &document.GLayers;
  scene.Layers = &document.Layers;
  scene.Paper = PaperSizeOf(document.PaperSize);
  scene.Made = &drawing;
  // What lies on hidden layers is never made.
  std::array<bool, 256> shown{};
  for (std::size_t layer = 0; layer < shown.size(); ++layer) {
    TEntityHeader header;
    header.Layer = static_cast<uint16_t>(layer & 15);
    header.LayerGroup = static_cast<uint16_t>(layer >> 4);
    shown[layer] = scene.Visible(header);
  }
  scene.Lines.ShowOnly(shown);
  scene.Arcs.ShowOnly(shown);
  scene.Points.ShowOnly(shown);
  scene.Texts.ShowOnly(shown);
  return scene;
}

TScene SceneOf(const TJwsData& part) {
  TScene scene;
  scene.Lines = FirstRecords(part.Sen, part.SenCount);
  scene.Arcs = FirstRecords(part.Enko, part.EnkoCount);
  scene.Points = FirstRecords(part.Ten, part.TenCount);
  scene.Texts = FirstRecords(part.Moji, part.MojiCount);
  scene.TextPool = &part.Texts;
  return scene;
}

TArcPoints::TArcPoints(const TWEnko& arc) : arc_(arc), cos_(std::cos(arc.TiltAngle)), sin_(std::sin(arc.TiltAngle)) {}

TPointMm TArcPoints::operator()(double t) const {
  double x = arc_.Radius * std::cos(t), y = arc_.Radius * arc_.Flatness * std::sin(t);
  return {arc_.CenterX + x * cos_ - y * sin_, arc_.CenterY + x * sin_ + y * cos_};
}

TPointMm ArcPoint(const TWEnko& arc, double t) { return TArcPoints(arc)(t); }

std::pair<double, double> ArcSweep(const TWEnko& arc) {
  return {arc.StartAngle, arc.FullCircle != 0 ? 2 * std::numbers::pi : arc.ArcAngle};
}

TBoxMm ArcBox(const TWEnko& arc) {
  auto [start, sweep] = ArcSweep(arc);
  if (sweep < 0) {
    start += sweep;
    sweep = -sweep;
  }
  TBoxMm box;
  TPointMm a = ArcPoint(arc, start), b = ArcPoint(arc, start + sweep);
  box.Add(a.X, a.Y);
  box.Add(b.X, b.Y);
  // The parameters where x or y turns, each taken when the sweep passes it.
  double c = std::cos(arc.TiltAngle), s = std::sin(arc.TiltAngle), f = arc.Flatness;
  for (double turn : {std::atan2(-f * s, c), std::atan2(f * c, s)}) {
    for (double t : {turn, turn + std::numbers::pi}) {
      double along = std::fmod(t - start, 2 * std::numbers::pi);
      if (along < 0) along += 2 * std::numbers::pi;
      if (along <= sweep) {
        TPointMm p = ArcPoint(arc, t);
        box.Add(p.X, p.Y);
      }
    }
  }
  return box;
}

int ArcChords(const TWEnko& arc, double scale, double maxError) {
  constexpr int kMaxChords = 4096;
  double radius = std::abs(arc.Radius) * std::max(1.0, std::abs(arc.Flatness)) * scale;
  double step = std::sqrt(8 * maxError / std::max(radius, maxError));
  return std::clamp(static_cast<int>(std::ceil(std::abs(ArcSweep(arc).second) / step)), 4, kMaxChords);
}

namespace {

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace

namespace {

// Calls visit(bytes, offset, width) for the cells of the text in order.
template <typename Visit>
void ForEachCell(const TWMoji& text, std::string_view cp932, const Visit& visit) {
  double offset = 0;
  for (std::size_t i = 0; i < cp932.size();) {
    bool wide = IsLeadByte(static_cast<unsigned char>(cp932[i])) && i + 1 < cp932.size();
    double share = wide ? 1.0 : 0.5;
    visit(cp932.substr(i, wide ? 2 : 1), offset, text.SizeX * share);
    offset += (text.SizeX + text.Spacing) * share;
    i += wide ? 2 : 1;
  }
}

std::array<TPointMm, 4> TextCorners(const TWMoji& text, double length) {
  double angle = text.Angle * std::numbers::pi / 180;
  double ux = std::cos(angle), uy = std::sin(angle);
  TPointMm start{text.X1, text.Y1};
  auto at = [&](double along, double up) {
    return TPointMm{start.X + along * ux - up * uy, start.Y + along * uy + up * ux};
  };
  return {at(0, 0), at(length, 0), at(length, text.SizeY), at(0, text.SizeY)};
}

}  // namespace

std::vector<TTextCell> TextCells(const TWMoji& text, std::string_view cp932) {
  std::vector<TTextCell> cells;
  ForEachCell(text, cp932, [&](std::string_view bytes, double offset, double width) {
    cells.push_back({bytes, offset, width});
  });
  return cells;
}

double TextLength(const std::vector<TTextCell>& cells) {
  return cells.empty() ? 0 : cells.back().Offset + cells.back().Width;
}

double TextLength(const TWMoji& text, std::string_view cp932) {
  double length = 0;
  ForEachCell(text, cp932, [&](std::string_view, double offset, double width) { length = offset + width; });
  return length;
}

std::array<TPointMm, 4> TextBox(const TWMoji& text, std::string_view cp932) {
  return TextCorners(text, TextLength(text, cp932));
}

const TJwwLineType* LineTypeOf(uint8_t penStyle) {
  if (penStyle >= 2 && penStyle <= 9) return &kJwwLineTypes[penStyle - 2u];
  if (penStyle >= 16 && penStyle <= 19) return &kJwwDoubleLineTypes[penStyle - 16u];
  return nullptr;
}

const TJwwRandomLine* RandomLineOf(uint8_t penStyle) {
  if (penStyle >= 11 && penStyle <= 15) return &kJwwRandomLines[penStyle - 11u];
  return nullptr;
}

namespace {

// The part [from, to] of the segment a → b (as fractions of it) that lies within the box; false
// when none does.
bool ClipSegment(TPointMm a, TPointMm b, const TBoxMm& box, double& from, double& to) {
  from = 0;
  to = 1;
  double dx = b.X - a.X, dy = b.Y - a.Y;
  // Each side of the box as p · t <= q.
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.X - box.Left, box.Right - a.X, a.Y - box.Bottom, box.Top - a.Y};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    double t = q[i] / p[i];
    if (p[i] < 0) {
      from = std::max(from, t);
    } else {
      to = std::min(to, t);
    }
  }
  return from <= to;
}

class TWaveBuilder {
 public:
  TWaveBuilder(const TWave& wave, double length) : wave_(wave), length_(length) {}

  // The distance of the line from its axis at s along it (to the left is positive).
  double Offset(double s) const {
    double i = std::floor(s / wave_.Step);
    double next = (i + 1) * wave_.Step;
    double end = std::min(next, length_);
    double a = Vertex(i), b = next < length_ ? Vertex(i + 1) : 0;
    double t = end > i * wave_.Step ? (s - i * wave_.Step) / (end - i * wave_.Step) : 0;
    return a + (b - a) * std::clamp(t, 0.0, 1.0);
  }

 private:
  double Vertex(double i) const {
    if (i <= 0 || i * wave_.Step >= length_) return 0;
    auto bit = static_cast<uint32_t>(std::fmod(i - 1, 32.0));
    return ((wave_.Pattern >> (31 - bit)) & 1u) != 0 ? wave_.Amplitude : -wave_.Amplitude;
  }

  const TWave& wave_;
  double length_;
};

}  // namespace

std::vector<std::vector<TPointMm>> WavePieces(std::span<const TPointMm> axis, const TWave& wave, const TBoxMm* box,
                                              std::size_t maxSteps) {
  std::vector<std::vector<TPointMm>> pieces;
  if (axis.size() < 2 || !(wave.Step > 0)) return pieces;
  double length = 0;
  for (std::size_t i = 1; i < axis.size(); ++i) length += std::hypot(axis[i].X - axis[i - 1].X, axis[i].Y - axis[i - 1].Y);
  if (!std::isfinite(length)) return pieces;
  TWaveBuilder builder(wave, length);
  // Within the box the line may lie as far as the amplitude from its axis.
  TBoxMm reach;
  if (box != nullptr && !box->Empty) {
    double away = std::abs(wave.Amplitude);
    reach.Add(box->Left - away, box->Bottom - away);
    reach.Add(box->Right + away, box->Top + away);
  }
  bool open = false;
  double along = 0;
  for (std::size_t i = 1; i < axis.size(); ++i) {
    TPointMm a = axis[i - 1], b = axis[i];
    double dx = b.X - a.X, dy = b.Y - a.Y, span = std::hypot(dx, dy);
    double from = 0, to = 1;
    bool shown = box == nullptr || (!reach.Empty && ClipSegment(a, b, reach, from, to));
    if (!shown || span == 0) {
      open = open && shown;
      along += span;
      continue;
    }
    // The left of the segment's direction.
    double nx = -dy / span, ny = dx / span;
    auto at = [&](double s) {
      double t = (s - along) / span, offset = builder.Offset(s);
      return TPointMm{a.X + dx * t + nx * offset, a.Y + dy * t + ny * offset};
    };
    double s0 = along + from * span, s1 = along + to * span;
    if (!open || from > 0) pieces.emplace_back();
    std::vector<TPointMm>& piece = pieces.back();
    if (piece.empty()) piece.push_back(at(s0));
    if ((s1 - s0) / wave.Step <= static_cast<double>(maxSteps)) {
      for (double k = std::floor(s0 / wave.Step) + 1; k * wave.Step < s1; ++k) piece.push_back(at(k * wave.Step));
      piece.push_back(at(s1));
    } else {
      piece.push_back({a.X + dx * to, a.Y + dy * to});
    }
    open = to >= 1;
    along += span;
  }
  return pieces;
}

TDashRuns DashRuns(const TJwwLineType& type) {
  const uint32_t n = std::clamp<uint32_t>(type.UnitDots, 1, 32);
  auto bit = [&](uint32_t i) { return ((type.Pattern >> (31 - i % n)) & 1u) != 0; };
  // Begin the runs where a dash begins, so that they alternate dash, gap, ... in pairs.
  uint32_t start = n;
  for (uint32_t i = 0; i < n; ++i) {
    if (bit(i) && !bit(i + n - 1)) {
      start = i;
      break;
    }
  }
  TDashRuns dashes;
  if (start == n) return dashes;  // all dots set (or none): a solid line
  for (uint32_t i = 0; i < n; ++i) {
    bool on = bit(start + i);
    bool inDash = dashes.Runs.size() % 2 == 1;  // runs alternate dash, gap, ...
    if (dashes.Runs.empty() || inDash != on) dashes.Runs.push_back(0);
    dashes.Runs.back() += 1;
  }
  dashes.Offset = (n - start) % n;
  return dashes;
}

}  // namespace torvane
