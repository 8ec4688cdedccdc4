#include "drawing/jwwunit.h"

#include "support/outputfile.h"

namespace torvane {

TJwwData TJwwDocument;

namespace {

struct TPenColor {
  int32_t ScreenColor, ScreenWidth, PrintColor, PrintWidth;
  double PrintPointRadius;
};
constexpr TPenColor kPenColors[10] = {
    {0xFFFFFF, 1, 0xFFFFFF, 1, 1.0}, {0xC0C000, 1, 0xFFFF00, 1, 0.2}, {0x000000, 1, 0x000000, 2, 0.3},
    {0x00C000, 1, 0x00FF00, 3, 0.4}, {0x00C0C0, 1, 0x00FFFF, 4, 0.5}, {0xC000C0, 1, 0xFF00FF, 5, 0.5},
    {0xFF0000, 1, 0xFF0000, 6, 0.5}, {0x808000, 1, 0x808000, 7, 0.5}, {0x8000FF, 1, 0x0000FF, 8, 0.5},
    {0xC0C0C0, 1, 0xC0C0C0, 1, 1.0}};

// Line types 2 to 9: pattern, dots per unit, pitch, print pitch.
constexpr uint32_t kLineTypes[8][4] = {
    {0x99999999, 4, 1, 10},  {0xC3C3C3C3, 8, 1, 10},  {0xE7E7E7E7, 8, 1, 10},  {0xF99FF99F, 16, 1, 10},
    {0xFFF99FFF, 32, 1, 10}, {0xF24FF24F, 16, 1, 10}, {0xFFF24FFF, 32, 1, 10}, {0x22222222, 4, 1, 10}};
// Random lines 1 to 5: pattern, amplitude, pitch, print amplitude, print pitch.
constexpr uint32_t kRandomLines[5][5] = {{0xCCB2B32A, 1, 3, 1, 5},
                                         {0xCCB2B32A, 1, 4, 1, 10},
                                         {0xCCB2B32A, 2, 5, 2, 15},
                                         {0xCCB2B32A, 2, 6, 2, 20},
                                         {0xCCB2B32A, 2, 7, 2, 25}};
// Double-length line types 6 to 9: pattern, dots per unit, pitch, print pitch.
constexpr uint32_t kDoubleLineTypes[4][4] = {
    {0xFFF99FFF, 32, 2, 20}, {0xFFF24FFF, 32, 2, 20}, {0xFFFE7FFF, 32, 2, 20}, {0xFFFE7FFF, 32, 4, 40}};

template <std::size_t Rows, std::size_t Columns>
void WriteTable(TArchiveWriter& w, const uint32_t (&table)[Rows][Columns]) {
  for (const auto& row : table) {
    for (uint32_t value : row) w.WriteDword(value);
  }
}

void WriteInt(TArchiveWriter& w, int32_t value) { w.WriteDword(static_cast<uint32_t>(value)); }

void WriteHeader(TArchiveWriter& w, const TJwwData& d) {
  w.WriteBytes("JwwData.", 8);
  WriteInt(w, d.Version);
  w.WriteShortString(d.Memo);
  WriteInt(w, d.PaperSize);
  WriteInt(w, d.WriteGroup);
  for (std::size_t g = 0; g < 16; ++g) {
    const TWGLayer& group = d.GLayers[g];
    WriteInt(w, group.State);
    WriteInt(w, group.WriteLayer);
    w.WriteDouble(group.Scale);
    WriteInt(w, group.Protect);
    for (std::size_t l = 0; l < 16; ++l) {
      const TWLayer& layer = d.Layers[g * 16 + l];
      WriteInt(w, layer.State);
      WriteInt(w, layer.Protect);
    }
  }
  static constexpr uint8_t kReserved[84] = {};
  w.WriteBytes(kReserved, sizeof kReserved);
  w.WriteDouble(d.PrintOriginX);
  w.WriteDouble(d.PrintOriginY);
  w.WriteDouble(d.PrintScale);
  WriteInt(w, d.PrintRotate);
  WriteInt(w, d.GridMode);
  for (double v : {d.GridMinDots, d.GridIntervalX, d.GridIntervalY, d.GridBaseX, d.GridBaseY}) w.WriteDouble(v);
  for (std::size_t i = 0; i < 256; ++i) w.WriteString(d.Layers[i].Name);
  for (std::size_t g = 0; g < 16; ++g) w.WriteString(d.GLayers[g].Name);
  w.WriteDouble(d.ShadowHeight);
  w.WriteDouble(d.ShadowLatitude);
  WriteInt(w, d.ShadowOption1);
  w.WriteDouble(d.ShadowOption2);
  WriteInt(w, d.ShadowOption3);
  for (double v : {d.ViewScale, d.ViewX, d.ViewY, d.RangeScale, d.RangeX, d.RangeY}) w.WriteDouble(v);
  for (const TMarkJump& jump : d.MarkJumps) {
    w.WriteDouble(jump.Scale);
    w.WriteDouble(jump.X);
    w.WriteDouble(jump.Y);
  }
  for (double v : d.ParallelSpacing) w.WriteDouble(v);
  w.WriteDouble(d.ParallelExtension);
  for (const TPenColor& pen : kPenColors) {
    WriteInt(w, pen.ScreenColor);
    WriteInt(w, pen.ScreenWidth);
  }
  for (const TPenColor& pen : kPenColors) {
    WriteInt(w, pen.PrintColor);
    WriteInt(w, pen.PrintWidth);
    w.WriteDouble(pen.PrintPointRadius);
  }
  WriteTable(w, kLineTypes);
  WriteTable(w, kRandomLines);
  WriteTable(w, kDoubleLineTypes);
  for (int32_t v : d.OptionWords) WriteInt(w, v);
  for (double v : d.OptionReals) w.WriteDouble(v);
  WriteInt(w, d.SolidColorFlag);
  WriteInt(w, d.SolidColor);
  for (std::size_t t = 1; t <= 10; ++t) {
    const TWMojiType& type = d.MojiTypes[t];
    w.WriteDouble(type.Width);
    w.WriteDouble(type.Height);
    w.WriteDouble(type.Spacing);
    WriteInt(w, type.PenColor);
  }
  w.WriteDouble(d.MojiWidth);
  w.WriteDouble(d.MojiHeight);
  w.WriteDouble(d.MojiSpacing);
  WriteInt(w, d.MojiPenColor);
  WriteInt(w, d.MojiType);
  // Readers of the format take these 20 bytes as two doubles and a 4-byte offset flag.
  w.WriteDouble(d.ArrangeLineSpacing);
  w.WriteDouble(d.ArrangeCount);
  WriteInt(w, d.OffsetFlag);
  for (double v : d.OffsetX) w.WriteDouble(v);
  for (double v : d.OffsetY) w.WriteDouble(v);
}

}  // namespace

std::array<TWGLayer, 16> TJwwData::DefaultGroups() {
  std::array<TWGLayer, 16> groups{};
  groups[0].State = 3;
  return groups;
}

std::array<TWLayer, 256> TJwwData::DefaultLayers() {
  std::array<TWLayer, 256> layers{};
  for (std::size_t i = 0; i < layers.size(); ++i) layers[i].State = i % 16 == 0 ? 3 : 2;
  return layers;
}

void ResetJwwDocument(TJwwData& document) { document = TJwwData{}; }

void WriteJwwTo(TByteSink& sink, const TJwwData& d) {
  TArchiveWriter w(sink);
  WriteHeader(w, d);
  WriteEntityList(w, TEntityLists{d.TotalCount, d.SenCount, d.EnkoCount, d.TenCount, d.MojiCount, d.Sens,
                                  d.Enkos, d.Tens, d.Mojis, d.FontName, &d.Texts});
  w.Flush();
}

}  // namespace torvane
