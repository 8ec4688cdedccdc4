#include "support/records.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace torvane {

TSen2 DecodeSen2(const TRecordBytes<kSenRecordSize>& r) {
  return TSen2{r.F32<0>(),  r.F32<4>(),  r.F32<8>(),  r.F32<12>(), r.U8<16>(),
               r.U8<17>(),  r.U8<18>(),  r.U8<19>(),  r.U8<20>(),  r.U8<21>()};
}

TEnko2 DecodeEnko2(const TRecordBytes<kEnkoRecordSize>& r) {
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

TTen2 DecodeTen2(const TRecordBytes<kTenRecordSize>& r) {
  return TTen2{r.F32<0>(), r.F32<4>(), r.U8<8>(), r.U8<9>(), r.U8<10>(), r.U8<11>()};
}

TMoji2 DecodeMoji2(const TRecordBytes<kMojiRecordSize>& r, TPoolAddressing addressing) {
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

TTextRef TTextPool::Add(std::string_view text) {
  auto bytes = std::make_shared<TBytes>(bytes_ ? *bytes_ : TBytes());
  TTextRef ref{static_cast<uint32_t>(bytes->size()), static_cast<uint32_t>(text.size())};
  bytes->append(text);
  bytes_ = std::move(bytes);
  return ref;
}

void TTextPool::Assign(std::span<const uint8_t> bytes) {
  bytes_ = std::make_shared<const TBytes>(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

namespace {

// Where the run of the text at offset begins and ends: the first zero byte from there on, or the
// pool's end; nothing for an offset outside the pool.
std::pair<std::size_t, std::size_t> RunOf(std::span<const uint8_t> pool, int64_t offset) {
  if (offset < 0 || static_cast<uint64_t>(offset) >= pool.size()) return {0, 0};
  std::size_t begin = static_cast<std::size_t>(offset);
  const void* zero = std::memchr(pool.data() + begin, 0, pool.size() - begin);
  return {begin, zero == nullptr ? pool.size() : static_cast<std::size_t>(static_cast<const uint8_t*>(zero) - pool.data())};
}

// The bytes all texts take together, however many share a run: one backward pass finds where
// the run from each pool byte ends.
uint64_t TotalTextBytes(std::span<const uint8_t> pool, std::span<const TMoji2> texts,
                        const std::function<int64_t(const TMoji2&)>& offsetOf) {
  std::vector<std::size_t> ends(pool.size());
  std::size_t end = pool.size();
  for (std::size_t i = pool.size(); i-- > 0;) {
    if (pool[i] == 0) end = i;
    ends[i] = end;
  }
  uint64_t total = 0;
  for (const TMoji2& text : texts) {
    int64_t offset = offsetOf(text);
    if (offset >= 0 && static_cast<uint64_t>(offset) < pool.size()) {
      total += ends[static_cast<std::size_t>(offset)] - static_cast<std::size_t>(offset);
    }
  }
  return total;
}

}  // namespace

TReadReason ResolvePoolTexts(std::span<const uint8_t> pool, std::span<TMoji2> texts,
                             const std::function<int64_t(const TMoji2&)>& offsetOf, TTextPool& store,
                             uint64_t& needed) {
  // Offsets and sizes fit 32 bits: no pool of a drawing or part comes near 4 GiB.
  if (pool.size() > UINT32_MAX) {
    uint64_t total = TotalTextBytes(pool, texts, offsetOf);
    if (total <= kMaxTextBytes) return TReadReason::PoolTooLarge;
    needed = total;
    return TReadReason::TextsTooLarge;
  }
  // Each run is searched text by text, and the search stops once the texts pass kMaxTextBytes:
  // the work stays within that bound however many texts share one long run.
  uint64_t total = 0;
  for (TMoji2& text : texts) {
    auto [begin, end] = RunOf(pool, offsetOf(text));
    total += end - begin;
    if (total > kMaxTextBytes) break;
    text.Text = TTextRef{static_cast<uint32_t>(begin), static_cast<uint32_t>(end - begin)};
  }
  if (total > kMaxTextBytes) {
    for (TMoji2& text : texts) text.Text = TTextRef{};
    needed = TotalTextBytes(pool, texts, offsetOf);
    return TReadReason::TextsTooLarge;
  }
  store.Assign(pool);
  return TReadReason::None;
}

uint64_t EntityListFloor(uint64_t lines, uint64_t arcs, uint64_t points, uint64_t texts, std::size_t fontBytes) {
  // A class reference of 2 bytes, then the 13-byte entity header and the fields; an empty text
  // is its 1-byte length.
  constexpr uint64_t kLine = 2 + 13 + 4 * 8, kArc = 2 + 13 + 7 * 8 + 4, kPoint = 2 + 13 + 2 * 8 + 4;
  const uint64_t text = 2 + 13 + 4 * 8 + 4 + 4 * 8 + 1 + std::min<std::size_t>(fontBytes, 254) + 1;
  return kLine * lines + kArc * arcs + kPoint * points + text * texts;
}

uint64_t TextContentBytes(std::span<const TMoji2> texts) {
  uint64_t bytes = 0;
  for (const TMoji2& text : texts) {
    uint64_t length = text.Text.Size;
    bytes += length + (length < 255 ? 0 : length < 65534 ? 2 : 6);
  }
  return bytes;
}

}  // namespace torvane
