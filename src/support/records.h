// Entity records shared by drawings and parts: the DOS-edition records as read (TSen2, TEnko2,
// TTen2, TMoji2) and the Windows-edition records as written (TWSen, TWEnko, TWTen, TWMoji, also
// named TSSen, ... in parts), with the object list that holds them in a file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "support/archive.h"
#include "support/bytereader.h"
#include "support/largearray.h"
#include "support/parallel.h"

namespace torvane {

// ---- Texts ----

// A text of a document, by where its bytes lie in the document's text pool. Eight bytes instead of
// a string of its own: a drawing may hold millions of texts.
struct TTextRef {
  uint32_t Offset = 0, Size = 0;
};

// The bytes every text of a document refers to, held once. A converted document shares the pool
// of its source; adding a text copies a shared pool first.
class TTextPool {
 public:
  // The text's bytes; empty (never without an address) for a reference outside the pool.
  std::string_view Of(TTextRef text) const {
    if (!bytes_ || text.Offset > bytes_->size() || text.Size > bytes_->size() - text.Offset) return "";
    return std::string_view(*bytes_).substr(text.Offset, text.Size);
  }
  // Appends bytes to the pool and answers their reference (for building documents).
  TTextRef Add(std::string_view text);
  // Makes bytes the whole pool.
  void Assign(std::span<const uint8_t> bytes);
  std::size_t Size() const { return bytes_ ? bytes_->size() : 0; }

 private:
  // A large drawing's pool is held in huge pages, as its records are.
  using TBytes = std::basic_string<char, std::char_traits<char>, TLargeAllocator<char>>;
  std::shared_ptr<const TBytes> bytes_;
};

// ---- DOS-edition records ----

inline constexpr std::size_t kSenRecordSize = 22;
inline constexpr std::size_t kEnkoRecordSize = 32;
inline constexpr std::size_t kTenRecordSize = 12;
inline constexpr std::size_t kMojiRecordSize = 24;

struct TSen2 {
  float X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
  uint8_t LineType = 0, PenColor = 0, Layer = 0, Attr1 = 0, Attr2 = 0, Spare = 0;
};

struct TEnko2 {
  float CX = 0, CY = 0, Radius = 0;
  float Flatness = 0;    // second axis / first axis
  float StartAngle = 0;  // degrees
  float EndAngle = 0;    // degrees
  float Tilt = 0;        // degrees
  uint8_t LineType = 0, PenColor = 0, Layer = 0, Spare1 = 0, Attr = 0, Spare2 = 0;
};

struct TTen2 {
  float X = 0, Y = 0;
  uint8_t Layer = 0, PenColor = 0, Attr = 0, Spare = 0;
};

struct TMoji2 {
  float X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
  int32_t PoolAddress = 0;
  uint8_t MojiShuNo = 0, Layer = 0, Attr1 = 0, Attr2 = 0;
  TTextRef Text;
};

// Decoders are inline: a reader decodes millions of records, each through them.
inline TSen2 DecodeSen2(const TRecordBytes<kSenRecordSize>& r) {
  return TSen2{r.F32<0>(),  r.F32<4>(),  r.F32<8>(),  r.F32<12>(), r.U8<16>(),
               r.U8<17>(),  r.U8<18>(),  r.U8<19>(),  r.U8<20>(),  r.U8<21>()};
}

// Flatness is stored × 10,000 and angles × 65,536; each is made a float, then divided in float.
inline TEnko2 DecodeEnko2(const TRecordBytes<kEnkoRecordSize>& r) {
  TEnko2 arc;
  arc.CX = r.F32<0>();
  arc.CY = r.F32<4>();
  arc.Radius = r.F32<8>();
  arc.Flatness = static_cast<float>(r.U16<12>()) / 10000.0f;
  arc.StartAngle = static_cast<float>(r.S32<14>()) / 65536.0f;
  arc.EndAngle = static_cast<float>(r.S32<18>()) / 65536.0f;
  arc.Tilt = static_cast<float>(r.S32<22>()) / 65536.0f;
  arc.LineType = r.U8<26>();
  arc.PenColor = r.U8<27>();
  arc.Layer = r.U8<28>();
  arc.Spare1 = r.U8<29>();
  arc.Attr = r.U8<30>();
  arc.Spare2 = r.U8<31>();
  return arc;
}

inline TTen2 DecodeTen2(const TRecordBytes<kTenRecordSize>& r) {
  return TTen2{r.F32<0>(), r.F32<4>(), r.U8<8>(), r.U8<9>(), r.U8<10>(), r.U8<11>()};
}

// Drawings address texts by segment (bytes 18-19) and offset (bytes 16-17); parts by the offset
// alone.
enum class TPoolAddressing { SegmentOffset, Offset };
inline TMoji2 DecodeMoji2(const TRecordBytes<kMojiRecordSize>& r, TPoolAddressing addressing) {
  TMoji2 text;
  text.X1 = r.F32<0>();
  text.Y1 = r.F32<4>();
  text.X2 = r.F32<8>();
  text.Y2 = r.F32<12>();
  text.PoolAddress = addressing == TPoolAddressing::SegmentOffset
                         ? int32_t{r.U16<18>()} * 16 + int32_t{r.U16<16>()}
                         : int32_t{r.U16<16>()};
  text.MojiShuNo = r.U8<20>();
  text.Layer = r.U8<21>();
  text.Attr1 = r.U8<22>();
  text.Attr2 = r.U8<23>();
  return text;
}

// The texts of a pool, kept in store: each text's bytes run from its offset (offsetOf(text)) to the
// first zero byte or the pool's end; an offset outside the pool gives an empty text. Many texts
// may point into one long run without a zero, so together they may come to at most kMaxTextBytes,
// which bounds the output: beyond that no text is filled and the answer is TextsTooLarge (needed:
// the bytes they would take), or PoolTooLarge; None when every text is resolved.
inline constexpr std::size_t kMaxTextBytes = std::size_t{64} << 20;
TReadReason ResolvePoolTexts(std::span<const uint8_t> pool, std::span<TMoji2> texts,
                             const std::function<int64_t(const TMoji2&)>& offsetOf, TTextPool& store,
                             uint64_t& needed);

// ---- Windows-edition records ----

// Every byte is a member, none padding: a header is then copied as two words rather than in
// overlapping pieces through memory, which stalled each record.
struct TEntityHeader {
  int32_t Group = 0;  // curve number; 0 for none
  uint8_t PenStyle = 0;
  uint8_t Unused1 = 0;
  uint16_t PenColor = 0;
  uint16_t Layer = 0;
  uint16_t LayerGroup = 0;
  uint16_t Flags = 0;
  uint16_t Unused2 = 0;
};
static_assert(sizeof(TEntityHeader) == 16);

struct TWSen {
  TEntityHeader Header;
  double X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
};

struct TWEnko {
  TEntityHeader Header;
  double CenterX = 0, CenterY = 0, Radius = 0;
  double StartAngle = 0, ArcAngle = 0, TiltAngle = 0;  // radians
  double Flatness = 0;
  int32_t FullCircle = 0;
};

struct TWTen {
  TEntityHeader Header;
  double X = 0, Y = 0;
  int32_t Virtual = 0;
};

struct TWMoji {
  TEntityHeader Header;
  double X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
  int32_t MojiType = 0;
  double SizeX = 0, SizeY = 0, Spacing = 0;  // mm
  double Angle = 0;                          // degrees
  TTextRef Text;                             // the font name is the document's, one for all texts
};

// Parts carry the very same records.
using TSSen = TWSen;
using TSEnko = TWEnko;
using TSTen = TWTen;
using TSMoji = TWMoji;

// The object list: an empty list is four zero bytes; otherwise the count, then the lines, arcs,
// points and texts (each class introduced before its first object and referred to before every
// further one), then the closing 2-byte 0. totalCount is written as given; each class writes at
// most as many records as its count and its array hold. Every text carries FontName and its
// bytes from Texts.
struct TEntityLists {
  int32_t TotalCount = 0;
  int32_t SenCount = 0, EnkoCount = 0, TenCount = 0, MojiCount = 0;
  std::span<const TWSen> Sens;
  std::span<const TWEnko> Enkos;
  std::span<const TWTen> Tens;
  std::span<const TWMoji> Mojis;
  std::string_view FontName;
  const TTextPool* Texts = nullptr;
};
void WriteEntityList(TArchiveWriter& writer, const TEntityLists& lists);

// The records of one class made while they are written, so that a converted document's records
// never stand in memory all at once: Make(begin, out) fills out with the records from begin on.
// It is called for runs of records from two threads at once, and must leave shared state alone.
template <typename Record>
struct TRecordMaker {
  int32_t Count = 0;          // the count the list states
  std::size_t Available = 0;  // how many records Make can give
  std::function<void(std::size_t begin, std::span<Record> out)> Make;
  // The layer byte of record i (its group in the high four bits, its layer in the low four),
  // known without making it, for readers that leave out what lies on hidden layers; may be null.
  std::function<uint8_t(std::size_t i)> LayerOf;
};
struct TMadeEntities {
  int32_t TotalCount = 0;
  TRecordMaker<TWSen> Sens;
  TRecordMaker<TWEnko> Enkos;
  TRecordMaker<TWTen> Tens;
  TRecordMaker<TWMoji> Mojis;
  std::string_view FontName;
  const TTextPool* Texts = nullptr;
};
// Sizes records to count and has fill(begin, records) fill every field of the records from begin
// on (they are not zeroed first), in two halves at once when there are many.
template <typename Record, typename Fill>
void FillRecords(TLargeVector<Record>& records, std::size_t count, const Fill& fill) {
  {
    TSizingForOverwrite overwritten;
    records.resize(count);
  }
  ForInHalves(count, [&](std::size_t begin, std::size_t end) {
    fill(begin, std::span<Record>(records).subspan(begin, end - begin));
  });
}

// The same bytes as WriteEntityList with the made records. A long list is made and formatted on
// two threads, in runs whose bytes go to the writer's sink in their order.
void WriteEntityList(TArchiveWriter& writer, const TMadeEntities& entities);

// The bytes an object list of so many records takes at the least, known before they are
// converted: each record as written with the shortest class reference, every text empty and
// carrying a font name of fontBytes.
uint64_t EntityListFloor(uint64_t lines, uint64_t arcs, uint64_t points, uint64_t texts, std::size_t fontBytes);
// What the texts' own bytes add to that, with their longer length prefixes.
uint64_t TextContentBytes(std::span<const TMoji2> texts);

}  // namespace torvane
