#include "dxf/dxfwriter.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <span>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "drawing/jwc2jww.h"
#include "drawing/jwwtables.h"
#include "drawing/jwwunit.h"
#include "dxf/dxfgroups.h"
#include "shape/jwsunit.h"
#include "support/cp932.h"
#include "support/parallel.h"

namespace torvane {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2 * std::numbers::pi;
// The smallest ratio of an ellipse's axes that DXF readers take.
constexpr double kMinRatio = 1e-6;

// The handles of the objects every file holds; layers, line types and entities follow.
enum TFixedHandle : uint32_t {
  kVportTable = 1, kLtypeTable, kLayerTable, kStyleTable, kViewTable, kUcsTable, kAppidTable, kDimstyleTable,
  kBlockRecordTable, kActiveVport, kByBlock, kByLayer, kContinuous, kLayerZero, kStandardStyle, kAppAcad,
  kAppTorvane, kStandardDimstyle, kModelRecord, kPaperRecord, kModelBlock, kModelEnd, kPaperBlock, kPaperEnd,
  kRootDictionary, kGroupDictionary, kLayoutDictionary, kPlotStyleDictionary, kPlotStylePlaceholder, kModelLayout,
  kPaperLayout, kFirstLineType,
};
constexpr uint32_t kFirstLayer = 0x100;
constexpr uint32_t kFirstEntity = 0x200;

// Line types 2 to 9 of the document's table; type 1 and any other number draw solid.
constexpr int kFirstDashedType = 2;
constexpr int kDashedTypes = static_cast<int>(kJwwLineTypes.size());

template <typename... Values>
bool Finite(Values... values) {
  return (std::isfinite(values) && ...);
}

double Normalized(double value, double period) {
  double r = std::fmod(value, period);
  return r < 0 ? r + period : r;
}

// Dashes and gaps of a line type, in millimetres (dashes positive, gaps negative), from its
// repeating unit of dots, begun at the start of a dash.
std::vector<double> DashPattern(const TJwwLineType& type) {
  uint32_t pattern = type.Pattern;
  int dots = static_cast<int>(std::clamp<uint32_t>(type.UnitDots, 1, 32));
  double dot = type.PrintPitch / 10.0;
  auto bit = [&](int i) { return (pattern >> (31 - (i % dots))) & 1; };
  int start = 0;
  while (start < dots && !(bit(start) && !bit(start + dots - 1))) ++start;
  std::vector<double> runs;
  if (start == dots) return runs;  // all dots alike: solid or empty
  for (int i = 0; i < dots;) {
    uint32_t on = bit(start + i);
    int length = 0;
    while (i < dots && bit(start + i) == on) ++i, ++length;
    runs.push_back(on ? length * dot : -length * dot);
  }
  return runs;
}

// The LTYPE names of the line types 2 to 9.
constexpr const char* kLineTypeNames[kDashedTypes] = {"JW2", "JW3", "JW4", "JW5", "JW6", "JW7", "JW8", "JW9"};

// Lines a drawing's source makes while they are written: the largest part of a drawing never
// stands in memory converted. Their boxes by layer are known from the source, and a line is drawn
// exactly where its source coordinates are finite numbers, since the conversion keeps the order of
// values and turns finite ones into finite ones (otherwise the lines are converted and stored).
struct TMadeLines {
  const TRecordMaker<TWSen>* Maker = nullptr;
  std::span<const TSen2> Source;
  TLayerLineBoxes Boxes;
};

// What every entity of a document needs to be written.
struct TSource {
  std::span<const TWSen> Lines;  // when they are not made
  std::span<const TWEnko> Arcs;
  std::span<const TWTen> Points;
  std::span<const TWMoji> Texts;
  const TTextPool* Pool = nullptr;
  std::string FontName;
  const TJwwData* Drawing = nullptr;  // layer names and states, paper; none for a part
  std::optional<TMadeLines> Made;

  std::size_t LineCount() const { return Made ? Made->Source.size() : Lines.size(); }
};

TSource SourceOf(const TConverted& converted) {
  TSource source;
  if (converted.Drawing != nullptr) {
    const TJwwData& d = *converted.Drawing;
    source = {d.Sens, d.Enkos, d.Tens, d.Mojis, &d.Texts, d.FontName, &d, std::nullopt};
  } else if (converted.Part != nullptr) {
    const TJwsData& p = *converted.Part;
    source = {p.Sen, p.Enko, p.Ten, p.Moji, &p.Texts, p.FontName, nullptr, std::nullopt};
  }
  return source;
}

// The records a maker makes, which fill every field of them.
template <typename Record>
TLargeVector<Record> MadeRecords(const TRecordMaker<Record>& maker) {
  TLargeVector<Record> records;
  FillRecords(records, std::min(static_cast<std::size_t>(std::max(maker.Count, 0)), maker.Available), maker.Make);
  return records;
}

std::size_t LayerIndex(const TEntityHeader& h) { return (h.LayerGroup & 15u) * 16u + (h.Layer & 15u); }

// Whether a record becomes an entity: a virtual point does not, nor a record with a value that is
// not a finite number, which DXF cannot hold.
bool Drawn(const TWSen& l) { return Finite(l.X1, l.Y1, l.X2, l.Y2); }
bool Drawn(const TWEnko& a) {
  return Finite(a.CenterX, a.CenterY, a.Radius, a.Flatness, a.StartAngle, a.ArcAngle, a.TiltAngle);
}
bool Drawn(const TWTen& p) { return p.Virtual == 0 && Finite(p.X, p.Y); }
bool Drawn(const TWMoji& t) { return Finite(t.X1, t.Y1, t.SizeX, t.SizeY, t.Spacing, t.Angle); }

// The records from begin to end of the entities in their written order (lines, arcs, points,
// texts), each handed to visit.
template <typename Visit>
void ForEachRecord(const TSource& source, std::size_t begin, std::size_t end, const Visit& visit) {
  auto part = [&](auto records) {
    for (std::size_t i = begin; i < std::min(end, records.size()); ++i) visit(records[i]);
    begin -= std::min(begin, records.size());
    end -= std::min(end, records.size());
  };
  if (source.Made) {
    // Made a few at a time, while the cache holds them.
    constexpr std::size_t kMadeAtOnce = 256;
    const std::size_t lines = source.Made->Source.size();
    TWSen room[kMadeAtOnce];
    for (std::size_t first = begin; first < std::min(end, lines); first += kMadeAtOnce) {
      const std::size_t n = std::min({kMadeAtOnce, end - first, lines - first});
      source.Made->Maker->Make(first, std::span<TWSen>(room, n));
      for (std::size_t k = 0; k < n; ++k) visit(room[k]);
    }
    begin -= std::min(begin, lines);
    end -= std::min(end, lines);
  } else {
    part(source.Lines);
  }
  part(source.Arcs);
  part(source.Points);
  part(source.Texts);
}

// The entities are formatted a piece of this many records at a time, about a megabyte of text.
constexpr std::size_t kPieceRecords = 8192;

// Writes the entities of records, each with the next handle.
class TEntityWriter {
 public:
  TEntityWriter(TDxfGroups& out, const TSource& source, const std::array<std::string, 256>& layerNames)
      : out_(out), src_(source), layerNames_(layerNames) {}
  void Write(std::size_t begin, std::size_t end, uint32_t firstHandle);

 private:
  void Start(std::string_view kind, const TEntityHeader& h, bool lineType);
  void Entity(const TWSen& line);
  void Entity(const TWEnko& arc);
  void Entity(const TWTen& point);
  void Entity(const TWMoji& text);

  TDxfGroups& out_;
  const TSource& src_;
  const std::array<std::string, 256>& layerNames_;
  TCp932Decoder decoder_;
  uint32_t nextHandle_ = 0;
};

class TExtent {
 public:
  void Add(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    minX_ = std::min(minX_, x), minY_ = std::min(minY_, y);
    maxX_ = std::max(maxX_, x), maxY_ = std::max(maxY_, y);
  }
  bool Empty() const { return minX_ > maxX_; }
  bool Holds(double x, double y) const { return x >= minX_ && x <= maxX_ && y >= minY_ && y <= maxY_; }
  double MinX() const { return minX_; }
  double MinY() const { return minY_; }
  double MaxX() const { return maxX_; }
  double MaxY() const { return maxY_; }

 private:
  // An empty extent as DXF readers know it.
  double minX_ = 1e20, minY_ = 1e20, maxX_ = -1e20, maxY_ = -1e20;
};

class TDxfWriter {
 public:
  TDxfWriter(TByteSink& sink, const TSource& source) : sink_(sink), out_(sink), src_(source) {}
  void Write();

 private:
  void Survey();
  void Header();
  void Classes();
  void Tables();
  void TableStart(const char* name, uint32_t handle, int count);
  void TableRecord(const char* kind, uint32_t handle, uint32_t table, const char* subclass);
  void LineTypes();
  void Layers();
  void Blocks();
  void Entities();
  void Objects();
  void Layout(uint32_t handle, const char* name, uint32_t record, int order);

  TByteSink& sink_;
  TDxfGroups out_;
  const TSource& src_;
  std::array<bool, 256> used_{};
  std::array<std::string, 256> layerNames_;
  std::array<bool, 256> hidden_{};
  TExtent extent_;
  std::size_t entityCount_ = 0;
  // The handle of the first entity of each piece.
  std::vector<uint32_t> pieceHandles_;
  // The paper in drawing coordinates, when the drawing's paper size is a known sheet.
  std::optional<TExtent> paper_;
};

void TDxfWriter::Write() {
  Survey();
  out_.Text(999, "Torvane");
  Header();
  Classes();
  Tables();
  Blocks();
  Entities();
  Objects();
  out_.Text(0, "EOF");
  out_.Flush();
}

void TDxfWriter::Survey() {
  auto use = [&](const TEntityHeader& h) { used_[LayerIndex(h)] = true; };
  // Each piece's first handle, counted in the same pass: the records are read once here.
  std::size_t record = 0;
  uint32_t handle = kFirstEntity;
  auto count = [&](bool drawn) {
    if (record++ % kPieceRecords == 0) pieceHandles_.push_back(handle);
    handle += drawn ? 1 : 0;
  };
  if (src_.Made) {
    for (const TSen2& l : src_.Made->Source) {
      count(std::isfinite(l.X1) && std::isfinite(l.Y1) && std::isfinite(l.X2) && std::isfinite(l.Y2));
      used_[l.Layer] = true;
    }
    for (const TBox& box : src_.Made->Boxes) {
      if (box.Empty) continue;
      extent_.Add(box.Left, box.Bottom);
      extent_.Add(box.Right, box.Top);
    }
  }
  for (const TWSen& l : src_.Lines) {
    count(Drawn(l));
    use(l.Header);
    extent_.Add(l.X1, l.Y1);
    extent_.Add(l.X2, l.Y2);
  }
  for (const TWEnko& a : src_.Arcs) {
    count(Drawn(a));
    use(a.Header);
    // A curve keeps within its radius, times its flatness when that is above 1, of its centre. One
    // whose square of that reach (widened far beyond any rounding) lies in the extent so far cannot
    // widen it, so its box is not worked out: a rounded sum never passes the rounded sum of a larger
    // term, and the extent ends the same to the bit.
    double reach = std::fabs(a.Radius) * std::max(1.0, std::fabs(a.Flatness)) * (1 + 1e-6);
    if (extent_.Holds(a.CenterX - reach, a.CenterY - reach) && extent_.Holds(a.CenterX + reach, a.CenterY + reach)) {
      continue;
    }
    if (std::optional<TDxfCurve> c = DxfCurveOf(a)) {
      // The box of the whole curve holds every part of it.
      double major = std::hypot(c->MajorX, c->MajorY), minor = major * c->Ratio;
      double angle = std::atan2(c->MajorY, c->MajorX);
      if (c->Kind != TDxfCurve::Ellipse) major = minor = c->Radius, angle = 0;
      double w = std::hypot(major * std::cos(angle), minor * std::sin(angle));
      double h = std::hypot(major * std::sin(angle), minor * std::cos(angle));
      extent_.Add(c->CenterX - w, c->CenterY - h);
      extent_.Add(c->CenterX + w, c->CenterY + h);
    }
  }
  for (const TWTen& p : src_.Points) {
    count(Drawn(p));
    if (p.Virtual != 0) continue;
    use(p.Header);
    extent_.Add(p.X, p.Y);
  }
  for (const TWMoji& t : src_.Texts) {
    count(Drawn(t));
    use(t.Header);
    extent_.Add(t.X1, t.Y1);
    extent_.Add(t.X2, t.Y2);
  }
  used_[0] = true;  // layer "0-0" stands for the document even when it is empty
  std::array<std::string, 16> groups;
  std::array<std::string, 256> layers;
  if (const TJwwData* d = src_.Drawing) {
    for (std::size_t g = 0; g < 16; ++g) groups[g] = d->GLayers[g].Name;
    for (std::size_t i = 0; i < 256; ++i) {
      layers[i] = d->Layers[i].Name;
      hidden_[i] = d->Layers[i].State == 0 || d->GLayers[i / 16].State == 0;
    }
    if (std::optional<TPaperSize> sheet = PaperSizeOf(d->PaperSize)) {
      paper_.emplace();
      paper_->Add(-sheet->Width / 2, -sheet->Height / 2);
      paper_->Add(sheet->Width / 2, sheet->Height / 2);
    }
  }
  layerNames_ = DxfLayerNames(groups, layers, used_);
  entityCount_ = src_.LineCount() + src_.Arcs.size() + src_.Texts.size() +
                 static_cast<std::size_t>(std::count_if(src_.Points.begin(), src_.Points.end(),
                                                        [](const TWTen& p) { return p.Virtual == 0; }));
}

void TDxfWriter::Header() {
  out_.Text(0, "SECTION");
  out_.Text(2, "HEADER");
  auto variable = [&](const char* name) { out_.Text(9, name); };
  variable("$ACADVER");
  out_.Text(1, "AC1024");
  // Strings of this version are UTF-8 whatever the code page says.
  variable("$DWGCODEPAGE");
  out_.Text(3, "ANSI_1252");
  variable("$HANDSEED");
  out_.Handle(5, kFirstEntity + static_cast<uint32_t>(entityCount_) + 1);
  variable("$INSUNITS");
  out_.Int(70, 4);
  variable("$MEASUREMENT");
  out_.Int(70, 1);
  variable("$EXTMIN");
  out_.Real(10, extent_.MinX());
  out_.Real(20, extent_.MinY());
  out_.Real(30, extent_.Empty() ? 1e20 : 0.0);
  variable("$EXTMAX");
  out_.Real(10, extent_.MaxX());
  out_.Real(20, extent_.MaxY());
  out_.Real(30, extent_.Empty() ? -1e20 : 0.0);
  const TExtent& limits = paper_ ? *paper_ : extent_;
  if (!limits.Empty()) {
    variable("$LIMMIN");
    out_.Real(10, limits.MinX());
    out_.Real(20, limits.MinY());
    variable("$LIMMAX");
    out_.Real(10, limits.MaxX());
    out_.Real(20, limits.MaxY());
  }
  variable("$LTSCALE");
  out_.Real(40, 1.0);
  variable("$PSLTSCALE");
  out_.Int(70, 0);
  out_.Text(0, "ENDSEC");
}

void TDxfWriter::Classes() {
  out_.Text(0, "SECTION");
  out_.Text(2, "CLASSES");
  out_.Text(0, "CLASS");
  out_.Text(1, "LAYOUT");
  out_.Text(2, "AcDbLayout");
  out_.Text(3, "ObjectDBX Classes");
  out_.Int(90, 0);
  out_.Int(91, 2);
  out_.Int(280, 0);
  out_.Int(281, 0);
  out_.Text(0, "CLASS");
  out_.Text(1, "ACDBDICTIONARYWDFLT");
  out_.Text(2, "AcDbDictionaryWithDefault");
  out_.Text(3, "ObjectDBX Classes");
  out_.Int(90, 0);
  out_.Int(91, 1);
  out_.Int(280, 0);
  out_.Int(281, 0);
  out_.Text(0, "CLASS");
  out_.Text(1, "ACDBPLACEHOLDER");
  out_.Text(2, "AcDbPlaceHolder");
  out_.Text(3, "ObjectDBX Classes");
  out_.Int(90, 0);
  out_.Int(91, 1);
  out_.Int(280, 0);
  out_.Int(281, 0);
  out_.Text(0, "ENDSEC");
}

void TDxfWriter::TableStart(const char* name, uint32_t handle, int count) {
  out_.Text(0, "TABLE");
  out_.Text(2, name);
  out_.Handle(5, handle);
  out_.Handle(330, 0);
  out_.Text(100, "AcDbSymbolTable");
  out_.Int(70, count);
}

void TDxfWriter::TableRecord(const char* kind, uint32_t handle, uint32_t table, const char* subclass) {
  out_.Text(0, kind);
  out_.Handle(std::string_view(kind) == "DIMSTYLE" ? 105 : 5, handle);
  out_.Handle(330, table);
  out_.Text(100, "AcDbSymbolTableRecord");
  out_.Text(100, subclass);
}

void TDxfWriter::Tables() {
  out_.Text(0, "SECTION");
  out_.Text(2, "TABLES");

  TableStart("VPORT", kVportTable, 1);
  TableRecord("VPORT", kActiveVport, kVportTable, "AcDbViewportTableRecord");
  out_.Text(2, "*Active");
  out_.Int(70, 0);
  out_.Real(10, 0.0);
  out_.Real(20, 0.0);
  out_.Real(11, 1.0);
  out_.Real(21, 1.0);
  // The view shows the whole drawing, or the paper when the drawing is empty.
  const TExtent& view = !extent_.Empty() ? extent_ : paper_ ? *paper_ : extent_;
  bool shown = !view.Empty();
  double width = shown ? view.MaxX() - view.MinX() : 1.0, height = shown ? view.MaxY() - view.MinY() : 1.0;
  out_.Real(12, shown ? (view.MinX() + view.MaxX()) / 2 : 0.0);
  out_.Real(22, shown ? (view.MinY() + view.MaxY()) / 2 : 0.0);
  out_.Real(40, std::max({height, width / 1.5, 1e-3}) * 1.05);
  out_.Real(41, 1.5);
  out_.Text(0, "ENDTAB");

  LineTypes();
  Layers();

  TableStart("STYLE", kStyleTable, 1);
  TableRecord("STYLE", kStandardStyle, kStyleTable, "AcDbTextStyleTableRecord");
  out_.Text(2, "Standard");
  out_.Int(70, 0);
  out_.Real(40, 0.0);
  out_.Real(41, 1.0);
  out_.Real(50, 0.0);
  out_.Int(71, 0);
  out_.Real(42, 2.5);
  out_.Text(3, "txt");
  out_.Text(4, "");
  out_.Text(0, "ENDTAB");

  TableStart("VIEW", kViewTable, 0);
  out_.Text(0, "ENDTAB");
  TableStart("UCS", kUcsTable, 0);
  out_.Text(0, "ENDTAB");

  TableStart("APPID", kAppidTable, 2);
  for (auto [handle, name] : {std::pair{kAppAcad, "ACAD"}, std::pair{kAppTorvane, "TORVANE"}}) {
    TableRecord("APPID", handle, kAppidTable, "AcDbRegAppTableRecord");
    out_.Text(2, name);
    out_.Int(70, 0);
  }
  out_.Text(0, "ENDTAB");

  TableStart("DIMSTYLE", kDimstyleTable, 1);
  out_.Text(100, "AcDbDimStyleTable");
  TableRecord("DIMSTYLE", kStandardDimstyle, kDimstyleTable, "AcDbDimStyleTableRecord");
  out_.Text(2, "Standard");
  out_.Int(70, 0);
  out_.Text(0, "ENDTAB");

  TableStart("BLOCK_RECORD", kBlockRecordTable, 2);
  for (auto [handle, name, layout] : {std::tuple{kModelRecord, "*Model_Space", kModelLayout},
                                      std::tuple{kPaperRecord, "*Paper_Space", kPaperLayout}}) {
    TableRecord("BLOCK_RECORD", handle, kBlockRecordTable, "AcDbBlockTableRecord");
    out_.Text(2, name);
    out_.Handle(340, layout);
    out_.Int(70, 0);
    out_.Int(280, 1);
    out_.Int(281, 0);
  }
  out_.Text(0, "ENDTAB");
  out_.Text(0, "ENDSEC");
}

void TDxfWriter::LineTypes() {
  TableStart("LTYPE", kLtypeTable, 3 + kDashedTypes);
  for (auto [handle, name] :
       {std::pair{kByBlock, "ByBlock"}, std::pair{kByLayer, "ByLayer"}, std::pair{kContinuous, "Continuous"}}) {
    TableRecord("LTYPE", handle, kLtypeTable, "AcDbLinetypeTableRecord");
    out_.Text(2, name);
    out_.Int(70, 0);
    out_.Text(3, name == std::string_view("Continuous") ? "Solid line" : "");
    out_.Int(72, 65);
    out_.Int(73, 0);
    out_.Real(40, 0.0);
  }
  for (int i = 0; i < kDashedTypes; ++i) {
    int type = kFirstDashedType + i;
    std::vector<double> runs = DashPattern(kJwwLineTypes[i]);
    double length = 0;
    for (double run : runs) length += std::fabs(run);
    TableRecord("LTYPE", kFirstLineType + static_cast<uint32_t>(i), kLtypeTable, "AcDbLinetypeTableRecord");
    out_.Text(2, kLineTypeNames[i]);
    out_.Int(70, 0);
    out_.Text(3, "JW_CAD line type " + std::to_string(type));
    out_.Int(72, 65);
    out_.Int(73, static_cast<int64_t>(runs.size()));
    out_.Real(40, length);
    for (double run : runs) {
      out_.Real(49, run);
      out_.Int(74, 0);
    }
  }
  out_.Text(0, "ENDTAB");
}

void TDxfWriter::Layers() {
  int count = 1 + static_cast<int>(std::count(used_.begin(), used_.end(), true));
  TableStart("LAYER", kLayerTable, count);
  auto layer = [&](uint32_t handle, const std::string& name, bool hidden) {
    TableRecord("LAYER", handle, kLayerTable, "AcDbLayerTableRecord");
    out_.Text(2, name);
    out_.Int(70, hidden ? 1 : 0);  // frozen
    out_.Int(62, hidden ? -7 : 7);  // off
    out_.Text(6, "Continuous");
    out_.Int(370, -3);
    out_.Handle(390, kPlotStylePlaceholder);
  };
  layer(kLayerZero, "0", false);
  for (std::size_t i = 0; i < 256; ++i) {
    if (used_[i]) layer(kFirstLayer + static_cast<uint32_t>(i), layerNames_[i], hidden_[i]);
  }
  out_.Text(0, "ENDTAB");
}

void TDxfWriter::Blocks() {
  out_.Text(0, "SECTION");
  out_.Text(2, "BLOCKS");
  for (auto [begin, end, record, name] : {std::tuple{kModelBlock, kModelEnd, kModelRecord, "*Model_Space"},
                                          std::tuple{kPaperBlock, kPaperEnd, kPaperRecord, "*Paper_Space"}}) {
    out_.Text(0, "BLOCK");
    out_.Handle(5, begin);
    out_.Handle(330, record);
    out_.Text(100, "AcDbEntity");
    out_.Text(8, "0");
    out_.Text(100, "AcDbBlockBegin");
    out_.Text(2, name);
    out_.Int(70, 0);
    out_.Point(10, 0.0, 0.0);
    out_.Text(3, name);
    out_.Text(1, "");
    out_.Text(0, "ENDBLK");
    out_.Handle(5, end);
    out_.Handle(330, record);
    out_.Text(100, "AcDbEntity");
    out_.Text(8, "0");
    out_.Text(100, "AcDbBlockEnd");
  }
  out_.Text(0, "ENDSEC");
}

void TDxfWriter::Entities() {
  out_.Text(0, "SECTION");
  out_.Text(2, "ENTITIES");
  out_.Flush();
  // Formatting takes longer than writing: two threads format a piece each, and each hands its
  // piece over in turn.
  TPieceOrder order(pieceHandles_.size());
  auto work = [&] {
    try {
      TDxfGroups out(sink_);
      TEntityWriter writer(out, src_, layerNames_);
      while (std::optional<std::size_t> piece = order.Take()) {
        writer.Write(*piece * kPieceRecords, (*piece + 1) * kPieceRecords, pieceHandles_[*piece]);
        if (!order.Write(*piece, out)) return;
      }
    } catch (...) {
      order.Fail();
      throw;
    }
  };
  if (pieceHandles_.size() > 1) {
    InParallel(work, work);
  } else {
    work();
  }
  out_.Text(0, "ENDSEC");
}

void TEntityWriter::Write(std::size_t begin, std::size_t end, uint32_t firstHandle) {
  nextHandle_ = firstHandle;
  ForEachRecord(src_, begin, end, [&](const auto& record) {
    if (Drawn(record)) Entity(record);
  });
}

void TEntityWriter::Start(std::string_view kind, const TEntityHeader& h, bool lineType) {
  out_.Text(0, kind);
  out_.Handle(5, nextHandle_++);
  out_.Handle(330, kModelRecord);
  out_.Text(100, "AcDbEntity");
  out_.Text(8, layerNames_[LayerIndex(h)]);
  if (lineType && h.PenStyle >= kFirstDashedType && h.PenStyle < kFirstDashedType + kDashedTypes) {
    out_.Text(6, kLineTypeNames[h.PenStyle - kFirstDashedType]);
  }
  out_.Int(62, PenColorIndex(h.PenColor));
}

void TEntityWriter::Entity(const TWSen& l) {
  Start("LINE", l.Header, true);
  out_.Text(100, "AcDbLine");
  out_.Real(10, l.X1);
  out_.Real(20, l.Y1);
  out_.Real(11, l.X2);
  out_.Real(21, l.Y2);
}

void TEntityWriter::Entity(const TWEnko& arc) {
  std::optional<TDxfCurve> c = DxfCurveOf(arc);
  Start(c->Kind == TDxfCurve::Circle ? "CIRCLE" : c->Kind == TDxfCurve::Arc ? "ARC" : "ELLIPSE", arc.Header, true);
  if (c->Kind == TDxfCurve::Ellipse) {
    out_.Text(100, "AcDbEllipse");
    out_.Point(10, c->CenterX, c->CenterY);
    out_.Point(11, c->MajorX, c->MajorY);
    out_.Real(40, c->Ratio);
    out_.Real(41, c->StartParameter);
    out_.Real(42, c->EndParameter);
    return;
  }
  out_.Text(100, "AcDbCircle");
  out_.Real(10, c->CenterX);
  out_.Real(20, c->CenterY);
  out_.Real(40, c->Radius);
  if (c->Kind == TDxfCurve::Arc) {
    out_.Text(100, "AcDbArc");
    out_.Real(50, c->StartAngle);
    out_.Real(51, c->EndAngle);
  }
}

void TEntityWriter::Entity(const TWTen& p) {
  Start("POINT", p.Header, false);
  out_.Text(100, "AcDbPoint");
  out_.Real(10, p.X);
  out_.Real(20, p.Y);
}

void TEntityWriter::Entity(const TWMoji& t) {
  Start("TEXT", t.Header, false);
  out_.Text(100, "AcDbText");
  out_.Real(10, t.X1);
  out_.Real(20, t.Y1);
  out_.Real(40, t.SizeY);
  out_.Text(1, DxfString(decoder_.Decode(src_.Pool->Of(t.Text))));
  if (t.Angle != 0) out_.Real(50, Normalized(t.Angle, 360));
  // A character as wide as it is high has the width factor 1.
  if (t.SizeX > 0 && t.SizeY > 0 && t.SizeX != t.SizeY) out_.Real(41, t.SizeX / t.SizeY);
  out_.Text(100, "AcDbText");
  // DXF text has no spacing between characters: it is kept for readers that look for it.
  if (t.Spacing != 0) {
    out_.Text(1001, "TORVANE");
    out_.Real(1040, t.Spacing);
  }
}

void TDxfWriter::Layout(uint32_t handle, const char* name, uint32_t record, int order) {
  out_.Text(0, "LAYOUT");
  out_.Handle(5, handle);
  out_.Handle(330, kLayoutDictionary);
  out_.Text(100, "AcDbPlotSettings");
  out_.Text(1, "");
  out_.Text(4, "");
  out_.Text(6, "");
  double width = paper_ ? paper_->MaxX() - paper_->MinX() : 420.0;
  double height = paper_ ? paper_->MaxY() - paper_->MinY() : 297.0;
  for (int code = 40; code <= 43; ++code) out_.Real(code, 0.0);
  out_.Real(44, width);
  out_.Real(45, height);
  for (int code = 46; code <= 49; ++code) out_.Real(code, 0.0);
  out_.Real(140, 0.0);
  out_.Real(141, 0.0);
  out_.Real(142, 1.0);  // printed 1:1: the coordinates are millimetres of the paper
  out_.Real(143, 1.0);
  out_.Int(70, order == 0 ? 1024 : 0);
  out_.Int(72, 1);  // millimetres
  out_.Int(73, width >= height ? 1 : 0);
  out_.Int(74, 5);
  out_.Text(7, "");
  out_.Int(75, 16);
  out_.Int(76, 0);
  out_.Int(77, 2);
  out_.Int(78, 300);
  out_.Real(147, 1.0);
  out_.Real(148, 0.0);
  out_.Real(149, 0.0);
  out_.Text(100, "AcDbLayout");
  out_.Text(1, name);
  out_.Int(70, 1);
  out_.Int(71, order);
  const TExtent& limits = paper_ ? *paper_ : extent_;
  bool known = !limits.Empty();
  out_.Real(10, known ? limits.MinX() : 0.0);
  out_.Real(20, known ? limits.MinY() : 0.0);
  out_.Real(11, known ? limits.MaxX() : width);
  out_.Real(21, known ? limits.MaxY() : height);
  out_.Point(12, 0.0, 0.0);
  out_.Point(14, extent_.MinX(), extent_.MinY());
  out_.Point(15, extent_.MaxX(), extent_.MaxY());
  out_.Real(146, 0.0);
  out_.Point(13, 0.0, 0.0);
  out_.Point(16, 1.0, 0.0);
  out_.Point(17, 0.0, 1.0);
  out_.Int(76, 1);
  out_.Handle(330, record);
}

void TDxfWriter::Objects() {
  out_.Text(0, "SECTION");
  out_.Text(2, "OBJECTS");
  auto dictionary = [&](uint32_t handle, uint32_t owner) {
    out_.Text(0, "DICTIONARY");
    out_.Handle(5, handle);
    out_.Handle(330, owner);
    out_.Text(100, "AcDbDictionary");
    out_.Int(281, 1);
  };
  dictionary(kRootDictionary, 0);
  out_.Text(3, "ACAD_GROUP");
  out_.Handle(350, kGroupDictionary);
  out_.Text(3, "ACAD_LAYOUT");
  out_.Handle(350, kLayoutDictionary);
  out_.Text(3, "ACAD_PLOTSTYLENAME");
  out_.Handle(350, kPlotStyleDictionary);
  dictionary(kGroupDictionary, kRootDictionary);
  dictionary(kLayoutDictionary, kRootDictionary);
  out_.Text(3, "Model");
  out_.Handle(350, kModelLayout);
  out_.Text(3, "Layout1");
  out_.Handle(350, kPaperLayout);
  out_.Text(0, "ACDBDICTIONARYWDFLT");
  out_.Handle(5, kPlotStyleDictionary);
  out_.Handle(330, kRootDictionary);
  out_.Text(100, "AcDbDictionary");
  out_.Int(281, 1);
  out_.Text(3, "Normal");
  out_.Handle(350, kPlotStylePlaceholder);
  out_.Text(100, "AcDbDictionaryWithDefault");
  out_.Handle(340, kPlotStylePlaceholder);
  out_.Text(0, "ACDBPLACEHOLDER");
  out_.Handle(5, kPlotStylePlaceholder);
  out_.Handle(330, kPlotStyleDictionary);
  Layout(kModelLayout, "Model", kModelRecord, 0);
  Layout(kPaperLayout, "Layout1", kPaperRecord, 1);
  out_.Text(0, "ENDSEC");
}

// Characters that DXF does not take in a symbol name.
bool IllegalInName(unsigned char c) {
  return c < 0x20 || std::string_view("<>/\\\":;?*|,=`").find(static_cast<char>(c)) != std::string_view::npos;
}

std::string Folded(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return folded;
}

}  // namespace

int PenColorIndex(int pen) {
  static constexpr int kColors[] = {7, 4, 7, 3, 2, 6, 5, 8, 1, 9};
  return pen >= 1 && pen <= 9 ? kColors[pen] : 7;
}

std::optional<TDxfCurve> DxfCurveOf(const TWEnko& arc) {
  if (!Drawn(arc)) return std::nullopt;
  double r = arc.Radius, f = arc.Flatness, start = arc.StartAngle, sweep = arc.ArcAngle, tilt = arc.TiltAngle;
  TDxfCurve c;
  c.CenterX = arc.CenterX;
  c.CenterY = arc.CenterY;
  bool whole = arc.FullCircle != 0 || std::fabs(sweep) >= kTwoPi;
  // A point at parameter t lies at centre + r·cos t along the tilted axis + r·f·sin t across it.
  // A negative radius is the same curve from the opposite point, a negative flatness the same
  // curve mirrored, drawn the other way round; a negative sweep runs clockwise from the start,
  // which is the counter-clockwise sweep from its end.
  if (r < 0) r = -r, start += kPi;
  if (f < 0) f = -f, start = -start, sweep = -sweep;
  if (sweep < 0) start += sweep, sweep = -sweep;
  if (f == 1 || r == 0) {
    c.Radius = r;
    c.Kind = whole ? TDxfCurve::Circle : TDxfCurve::Arc;
    c.StartAngle = Normalized((start + tilt) * 180 / kPi, 360);
    c.EndAngle = Normalized((start + sweep + tilt) * 180 / kPi, 360);
    return c;
  }
  c.Kind = TDxfCurve::Ellipse;
  if (f < 1) {
    c.MajorX = r * std::cos(tilt);
    c.MajorY = r * std::sin(tilt);
    c.Ratio = f;
  } else {
    // The second axis is the longer: the major axis stands across the tilt, a quarter turn on.
    c.MajorX = -r * f * std::sin(tilt);
    c.MajorY = r * f * std::cos(tilt);
    c.Ratio = 1 / f;
    start -= kPi / 2;
  }
  c.Ratio = std::max(c.Ratio, kMinRatio);
  c.StartParameter = whole ? 0.0 : Normalized(start, kTwoPi);
  c.EndParameter = whole ? kTwoPi : Normalized(start + sweep, kTwoPi);
  return c;
}

std::array<std::string, 256> DxfLayerNames(const std::array<std::string, 16>& groupNames,
                                           const std::array<std::string, 256>& layerNames,
                                           const std::array<bool, 256>& used) {
  std::array<std::string, 256> names;
  std::unordered_set<std::string> taken{"0", "DEFPOINTS"};
  for (std::size_t i = 0; i < 256; ++i) {
    if (!used[i]) continue;
    auto part = [](const std::string& cp932, std::size_t number) {
      return cp932.empty() ? std::to_string(number) : Cp932ToUtf8(cp932);
    };
    std::string name = part(groupNames[i / 16], i / 16) + "-" + part(layerNames[i], i % 16);
    for (char& c : name) {
      if (IllegalInName(static_cast<unsigned char>(c))) c = '_';
    }
    // Blanks at either end do not survive in readers that trim names.
    if (name.front() == ' ') name.front() = '_';
    if (name.back() == ' ') name.back() = '_';
    std::string unique = name;
    for (int n = 2; !taken.insert(Folded(unique)).second; ++n) unique = name + "_" + std::to_string(n);
    names[i] = unique;
  }
  return names;
}

void WriteDxf(TByteSink& sink, const TConverted& converted, const std::string& fontName, bool numericCorrection) {
  if (converted.DrawingSource == nullptr) {
    TSource source = SourceOf(converted);
    TDxfWriter(sink, source).Write();
    return;
  }
  // A drawing's source: its arcs, points and texts are converted and stored, its lines made while
  // they are written where their boxes can be known without them.
  TMadeJww made(fontName, numericCorrection, *converted.DrawingSource);
  const TMadeEntities& entities = made.Entities();
  const TJwwData& d = made.Document();
  std::optional<TLayerLineBoxes> boxes = made.LineBoxes();
  TLargeVector<TWSen> lines;
  if (!boxes) lines = MadeRecords(entities.Sens);
  const TLargeVector<TWEnko> arcs = MadeRecords(entities.Enkos);
  const TLargeVector<TWTen> points = MadeRecords(entities.Tens);
  const TLargeVector<TWMoji> texts = MadeRecords(entities.Mojis);
  TSource source{lines, arcs, points, texts, &d.Texts, d.FontName, &d, std::nullopt};
  if (boxes) source.Made = TMadeLines{&entities.Sens, converted.DrawingSource->Sen, *boxes};
  TDxfWriter(sink, source).Write();
}

}  // namespace torvane
