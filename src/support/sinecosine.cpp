#include "support/sinecosine.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "support/entityrules.h"

namespace torvane {
namespace {

// A drawing with more turned angles than a few dozen has thousands: past its first slots the table
// takes a large block at once (a part of a huge page, often one already touched), instead of
// growing through small blocks whose every page is touched fresh and which are rehashed each time.
constexpr std::size_t kFirstSlots = 64, kSecondSlots = std::size_t{1} << 14, kMostSlots = std::size_t{1} << 17;

// Every bit of the key counts: the degrees of a drawing are floats with few bits below their
// units, so their keys end in runs of zeros (the mix is SplitMix64's).
std::size_t HomeOf(uint64_t key, uint16_t high, std::size_t slots) {
  key ^= uint64_t{high} << 47;
  key = (key ^ (key >> 30)) * 0xBF58476D1CE4E5B9ULL;
  key = (key ^ (key >> 27)) * 0x94D049BB133111EBULL;
  return static_cast<std::size_t>(key ^ (key >> 31)) & (slots - 1);
}

}  // namespace

void TSineCosineMemo::Grow() {
  static_assert(sizeof(TSlot) * kSecondSlots == std::size_t{512} << 10, "the second table is one large block");
  TLargeVector<TSlot> old(slots_.empty() ? kFirstSlots : std::max(2 * slots_.size(), kSecondSlots));
  old.swap(slots_);
  for (const TSlot& slot : old) {
    if (slot.Kind == TKind::Empty) continue;
    std::size_t at = HomeOf(slot.Key, slot.KeyHigh, slots_.size());
    while (slots_[at].Kind != TKind::Empty) at = (at + 1) & (slots_.size() - 1);
    slots_[at] = slot;
  }
}

void TSineCosineMemo::Of(float degrees, float tilt, long double& sine, long double& cosine) {
  const TKind kind = std::bit_cast<uint32_t>(tilt) == 0 ? TKind::Degrees : TKind::Radians;
  long double angle = 0;
  uint64_t key = std::bit_cast<uint32_t>(degrees);
  uint16_t high = 0;
  if (kind == TKind::Radians) {
    // The x87 extended type: 64 bits of mantissa, then 16 of sign and exponent; the rest is padding.
    angle = (static_cast<long double>(degrees) + tilt) * kPi / 180;
    std::memcpy(&key, &angle, sizeof key);
    std::memcpy(&high, reinterpret_cast<const unsigned char*>(&angle) + sizeof key, sizeof high);
  }
  if (2 * (used_ + 1) > slots_.size() && slots_.size() < kMostSlots) Grow();
  std::size_t at = HomeOf(key, high, slots_.size());
  for (; slots_[at].Kind != TKind::Empty; at = (at + 1) & (slots_.size() - 1)) {
    if (slots_[at].Key == key && slots_[at].KeyHigh == high && slots_[at].Kind == kind) {
      std::memcpy(&sine, slots_[at].Sine, sizeof slots_[at].Sine);
      std::memcpy(&cosine, slots_[at].Cosine, sizeof slots_[at].Cosine);
      return;
    }
  }
  if (kind == TKind::Degrees) angle = (static_cast<long double>(degrees) + tilt) * kPi / 180;
  sincosl(angle, &sine, &cosine);
  if (2 * (used_ + 1) > slots_.size()) return;
  TSlot& slot = slots_[at];
  slot = TSlot{key, high, kind};
  std::memcpy(slot.Sine, &sine, sizeof slot.Sine);
  std::memcpy(slot.Cosine, &cosine, sizeof slot.Cosine);
  ++used_;
}

}  // namespace torvane
