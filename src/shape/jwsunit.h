// Parts (shapes) of JW_CAD's Windows edition (JWS): the in-memory document and its writer.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "support/outputfile.h"
#include "support/largearray.h"
#include "support/records.h"

namespace torvane {

inline constexpr int32_t kJwsVersion = 230;

struct TJwsData {
  int32_t Version = kJwsVersion;
  std::array<double, 2> LeadReals{};
  std::array<double, 16> LayerGroupScales{};
  std::array<int32_t, 6> HeaderInts{1, 2, 3, 4, 5, 6};
  std::array<double, 6> HeaderReals{1.0, 2.0, 3.0, 4.0, 5.0, 6.0};
  double MinX = 0, MinY = 0, MaxX = 0, MaxY = 0;
  int32_t TotalCount = 0, SenCount = 0, EnkoCount = 0, MojiCount = 0, TenCount = 0;
  TLargeVector<TSSen> Sen;
  TLargeVector<TSEnko> Enko;
  TLargeVector<TSTen> Ten;
  TLargeVector<TSMoji> Moji;
  std::string FontName;  // CP932, carried by every text
  TTextPool Texts;       // the bytes of the texts, shared with the source part
};

extern TJwsData TJwsDocument;

// Every field to its default; the entity arrays emptied.
void ResetJwsDocument(TJwsData& document);

// Writes the document as it stands, unchecked, into any sink; a failing sink raises TIoError.
void WriteJwsTo(TByteSink& sink, const TJwsData& document);

}  // namespace torvane
