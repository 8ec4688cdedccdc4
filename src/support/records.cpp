#include "support/records.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace torvane {

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
