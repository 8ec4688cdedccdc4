#include "drawing/jwwunit.h"

#include "drawing/jwwtables.h"
#include "support/outputfile.h"

namespace torvane {

TJwwData TJwwDocument;

namespace {

void WriteInt(TArchiveWriter& w, int32_t value) { w.WriteDword(static_cast<uint32_t>(value)); }

template <std::size_t N>
void WriteLineTypes(TArchiveWriter& w, const std::array<TJwwLineType, N>& types) {
  for (const TJwwLineType& type : types) {
    for (uint32_t v : {type.Pattern, type.UnitDots, type.Pitch, type.PrintPitch}) w.WriteDword(v);
  }
}

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
  for (const TJwwPenColor& pen : kJwwPenColors) {
    WriteInt(w, pen.ScreenColor);
    WriteInt(w, pen.ScreenWidth);
  }
  for (const TJwwPenColor& pen : kJwwPenColors) {
    WriteInt(w, pen.PrintColor);
    WriteInt(w, pen.PrintWidth);
    w.WriteDouble(pen.PrintPointRadius);
  }
  WriteLineTypes(w, kJwwLineTypes);
  for (const TJwwRandomLine& line : kJwwRandomLines) {
    for (uint32_t v : {line.Pattern, line.Amplitude, line.Pitch, line.PrintAmplitude, line.PrintPitch}) w.WriteDword(v);
  }
  WriteLineTypes(w, kJwwDoubleLineTypes);
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

void WriteJwwTo(TByteSink& sink, const TJwwData& d, const TMadeEntities& entities) {
  TArchiveWriter w(sink);
  WriteHeader(w, d);
  WriteEntityList(w, entities);
  w.Flush();
}

}  // namespace torvane
