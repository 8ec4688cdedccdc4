// Drawings of JW_CAD's Windows edition (JWW): the in-memory document and its writer.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "support/largearray.h"
#include "support/records.h"

namespace torvane {

inline constexpr int32_t kJwwVersion = 230;

struct TWGLayer {
  std::string Name;
  int32_t State = 0;  // 0 to 3; 3 marks the group written into
  int32_t WriteLayer = 0;
  double Scale = 1.0;
  int32_t Protect = 0;
};

struct TWLayer {
  std::string Name;
  int32_t State = 0;
  int32_t Protect = 0;
};

struct TWMojiType {
  double Width = 0, Height = 0, Spacing = 0;  // mm
  int32_t PenColor = 0;
};

struct TMarkJump {
  double Scale = 1.0, X = 0, Y = 0;
};

struct TJwwData {
  static std::array<TWGLayer, 16> DefaultGroups();
  static std::array<TWLayer, 256> DefaultLayers();

  int32_t Version = kJwwVersion;
  std::string Memo;  // at most 64 bytes
  int32_t PaperSize = 1;
  int32_t WriteGroup = 0;
  double PrintOriginX = 0, PrintOriginY = 0, PrintScale = 1.0;
  int32_t PrintRotate = 0;
  int32_t GridMode = 0;
  double GridMinDots = 15.0;
  double GridIntervalX = 5.0, GridIntervalY = 5.0;
  double GridBaseX = 0, GridBaseY = 0;
  double ShadowHeight = 1.5, ShadowLatitude = 36.0;
  int32_t ShadowOption1 = 0;
  double ShadowOption2 = 0;
  int32_t ShadowOption3 = 0;
  double ViewScale = 1.0, ViewX = 0, ViewY = 0;
  double RangeScale = 1.0, RangeX = 0, RangeY = 0;
  std::array<TMarkJump, 4> MarkJumps{};
  std::array<double, 10> ParallelSpacing{100, 200, 300, 400, 500, 1000, 2000, 3000, 4000, 5000};
  double ParallelExtension = 0;
  std::array<int32_t, 16> OptionWords{0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, -4500, -4500, -4500};
  std::array<double, 9> OptionReals{
      2000.0, 1000000.0, 1000000.0, 1000000.0, std::bit_cast<double>(uint64_t{0x4041A1D785686A66}), 0, 0, 0, 0};
  int32_t SolidColorFlag = 0;
  int32_t SolidColor = 0x808080;
  double MojiWidth = 3.0, MojiHeight = 3.0, MojiSpacing = 0.5;
  int32_t MojiPenColor = 2;
  int32_t MojiType = 3;
  double ArrangeLineSpacing = 0;
  double ArrangeCount = 0;
  int32_t OffsetFlag = 0;
  std::array<double, 3> OffsetX{-1.0, 0.0, 1.0};  // left, centre, right
  std::array<double, 3> OffsetY{-1.0, 0.0, 1.0};  // bottom, middle, top

  // Group 0 is written into; so is layer 0 of every group, the other layers are shown.
  std::array<TWGLayer, 16> GLayers = DefaultGroups();
  std::array<TWLayer, 256> Layers = DefaultLayers();  // group × 16 + layer
  std::array<TWMojiType, 11> MojiTypes{};             // entries 1 to 10 are written

  TLargeVector<TWSen> Sens;
  TLargeVector<TWEnko> Enkos;
  TLargeVector<TWTen> Tens;
  TLargeVector<TWMoji> Mojis;
  std::string FontName;  // CP932, carried by every text
  TTextPool Texts;       // the bytes of the texts, shared with the source drawing
  int32_t TotalCount = 0, SenCount = 0, EnkoCount = 0, MojiCount = 0, TenCount = 0;
};

extern TJwwData TJwwDocument;

// Every field to its default; the entity arrays emptied.
void ResetJwwDocument(TJwwData& document);

// Writes the document into any sink; a failing sink raises TIoError.
void WriteJwwTo(TByteSink& sink, const TJwwData& document);
// The document's header and the made records in place of its arrays.
void WriteJwwTo(TByteSink& sink, const TJwwData& document, const TMadeEntities& entities);

}  // namespace torvane
