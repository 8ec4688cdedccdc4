#include "support/sinecosine.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "support/entityrules.h"

namespace torvane {
namespace {

// A drawing with more turned angles than a few dozen has thousands: past its first slots the table
// takes a huge page's worth at once, instead of growing through small blocks whose every page is
// touched fresh and which are rehashed each time.
constexpr std::size_t kFirstSlots = 64, kSecondSlots = std::size_t{1} << 14, kMostSlots = std::size_t{1} << 17;

std::size_t HomeOf(uint64_t key, std::size_t slots) {
  return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >> 40) & (slots - 1);
}

}  // namespace

void TSineCosineMemo::Grow() {
  TLargeVector<TSlot> old(slots_.empty() ? kFirstSlots : std::max(2 * slots_.size(), kSecondSlots));
  old.swap(slots_);
  for (const TSlot& slot : old) {
    if (!slot.Used) continue;
    std::size_t at = HomeOf(slot.Key, slots_.size());
    while (slots_[at].Used) at = (at + 1) & (slots_.size() - 1);
    slots_[at] = slot;
  }
}

void TSineCosineMemo::Of(float degrees, float tilt, long double& sine, long double& cosine) {
  const uint64_t key = (uint64_t{std::bit_cast<uint32_t>(degrees)} << 32) | std::bit_cast<uint32_t>(tilt);
  if (2 * (used_ + 1) > slots_.size() && slots_.size() < kMostSlots) Grow();
  std::size_t at = HomeOf(key, slots_.size());
  for (; slots_[at].Used; at = (at + 1) & (slots_.size() - 1)) {
    if (slots_[at].Key == key) {
      std::memcpy(&sine, slots_[at].Sine, sizeof slots_[at].Sine);
      std::memcpy(&cosine, slots_[at].Cosine, sizeof slots_[at].Cosine);
      return;
    }
  }
  sincosl((static_cast<long double>(degrees) + tilt) * kPi / 180, &sine, &cosine);
  if (2 * (used_ + 1) > slots_.size()) return;
  TSlot& slot = slots_[at];
  slot = TSlot{key, true};
  std::memcpy(slot.Sine, &sine, sizeof slot.Sine);
  std::memcpy(slot.Cosine, &cosine, sizeof slot.Cosine);
  ++used_;
}

}  // namespace torvane
