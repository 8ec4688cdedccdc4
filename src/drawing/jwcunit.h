// Drawings of JW_CAD's DOS edition (JWC): the in-memory model, the signature test and the reader.
// The reader only unpacks the file; coordinates stay in the drawing's own units as 32-bit floats.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "support/bytereader.h"
#include "support/largearray.h"
#include "support/records.h"
#include "support/summary.h"

namespace torvane {

inline constexpr char kJwcSignature[] = "jw_cad(c)data.......";
inline constexpr int kJwcKasoTenSlots = 101;
inline constexpr int kJwcHeaderBlockSize = 200;

struct TKasoTen2 {
  float X = 0, Y = 0;
  uint8_t Layer = 0;
};

struct TMojiShu2 {
  uint16_t Color = 0;
  uint16_t Width = 0, Height = 0;  // tenths of a millimetre
  int16_t Spacing = 0;             // tenths of a millimetre
};

struct TGLayer2 {
  float Scale = 0;
  uint8_t State1 = 0, State2 = 0;
  uint8_t WriteLayer = 0;  // a full layer number; its low four bits are the layer in the group
  std::string Name;        // at most 16 bytes
};

struct TLayer2 {
  uint8_t State1 = 0, State2 = 0;
  std::string Name;  // at most 8 bytes
};

// A header list item: a whole number (int32_t) or a real (float), by its position in its list.
struct TJwcItem {
  bool IsInt = true;
  int32_t Int = 0;
  float Real = 0;
};
constexpr TJwcItem JwcInt(int32_t value) { return TJwcItem{true, value, 0}; }
constexpr TJwcItem JwcReal(float value) { return TJwcItem{false, 0, value}; }

// Item types, and the defaults that stay when a read ends before the header is parsed.
inline constexpr std::array<TJwcItem, 32> kJwcList1Defaults{
    JwcInt(0),     JwcInt(0),  JwcInt(0),   JwcInt(0),   JwcInt(0),   JwcInt(1),    JwcInt(1),
    JwcInt(1),     JwcInt(1),  JwcReal(1),  JwcInt(0),   JwcInt(3),   JwcInt(2),    JwcInt(1),
    JwcReal(0),    JwcReal(0), JwcReal(5),  JwcReal(10), JwcInt(0),   JwcInt(0),    JwcInt(0),
    JwcInt(0),     JwcInt(0),  JwcInt(0),   JwcInt(0),   JwcReal(5),  JwcReal(5),   JwcReal(0),
    JwcReal(0),    JwcReal(0), JwcInt(518), JwcInt(0)};
inline constexpr std::array<TJwcItem, 28> kJwcList2Defaults{
    JwcReal(0),   JwcReal(0),   JwcReal(3),   JwcReal(15),  JwcInt(0),    JwcInt(0),    JwcInt(0),
    JwcInt(0),    JwcInt(0),    JwcInt(1),    JwcReal(0),   JwcReal(0),   JwcReal(0),   JwcReal(0),
    JwcReal(0),   JwcReal(0),   JwcInt(0),    JwcInt(0),    JwcInt(0),    JwcReal(100), JwcReal(100),
    JwcReal(100), JwcReal(100), JwcReal(100), JwcReal(100), JwcReal(0),   JwcReal(0),   JwcReal(1)};
inline constexpr std::array<TJwcItem, 22> kJwcList3Defaults{
    JwcInt(0x60000), JwcInt(0x60000), JwcReal(0), JwcReal(0), JwcReal(0), JwcReal(0), JwcReal(0), JwcReal(0),
    JwcReal(0),      JwcReal(0),      JwcReal(0), JwcReal(0), JwcReal(0), JwcReal(0), JwcReal(0), JwcReal(0),
    JwcReal(0),      JwcReal(0),      JwcReal(0), JwcReal(0), JwcInt(0),  JwcInt(0)};

struct TJwcData {
  // The parsed header. List items keep their positions: List1[i] is item i of the first list.
  struct THeader {
    std::string Title, Memo1, Memo2;  // raw bytes, zeros and blanks included
    bool RealScales = true;
    using TItem = TJwcItem;
    std::array<TItem, 32> List1 = kJwcList1Defaults;
    std::array<TItem, 28> List2 = kJwcList2Defaults;
    std::array<TItem, 22> List3 = kJwcList3Defaults;

    int32_t SenCount() const { return List1[0].Int; }
    int32_t EnkoCount() const { return List1[1].Int; }
    int32_t MojiCount() const { return List1[2].Int; }
    int32_t TenCount() const { return List1[3].Int; }
    int32_t KasoTenCount() const { return List1[4].Int; }
    int32_t CurMojiShu() const { return List1[5].Int; }
    int32_t WriteLayer() const { return List1[10].Int; }
    int32_t PaperSize() const { return List1[11].Int; }
    int32_t PaperSpan() const { return List1[30].Int; }
    int32_t PoolStart() const { return List3[0].Int; }
    int32_t PoolEnd() const { return List3[1].Int; }
  };

  std::array<std::string, 4> HeaderBlocks;  // the raw 200-byte blocks; empty until read
  THeader Header;
  std::array<TKasoTen2, kJwcKasoTenSlots> KasoTen{};  // the first KasoTenCount slots are in use
  std::array<TMojiShu2, 11> MojiShu{};
  std::array<TGLayer2, 16> GLayers{};
  std::array<TLayer2, 256> Layers{};  // group × 16 + layer
  TLargeVector<TSen2> Sen;
  TLargeVector<TEnko2> Enko;
  TLargeVector<TMoji2> Moji;
  TLargeVector<TTen2> Ten;
  TTextPool Texts;  // the text pool, which the texts refer to
};

extern TJwcData JwcDocument;

// True when the file's first 20 bytes are the drawing signature. Touches no document.
bool IsJwcFile(const std::string& path);

// Resets the document and reads the file into it; true when every section was read. On false the
// document holds what was read up to the failure, and failure (when given) says why.
bool ReadJwc(const std::string& path, TJwcData& document, TReadFailure* failure = nullptr);
// The same from a file opened already; its bytes are read into bytes, whose memory a caller reading
// file after file reuses.
bool ReadJwc(TInputFile& file, TFileBytes& bytes, TJwcData& document, TReadFailure* failure = nullptr);
// The same, from bytes in memory.
bool ReadJwcBytes(std::span<const uint8_t> bytes, TJwcData& document,
                  TReadFailure* failure = nullptr);

void ResetJwc(TJwcData& document);
void ParseJwcHeader(TJwcData& document);

// The load summary: path, empty line, the two memo lines, the five counts (UTF-8 lines).
TLoadSummary JwcSummary(const std::string& path, const TJwcData& document);

}  // namespace torvane
