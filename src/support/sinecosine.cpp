#include "support/sinecosine.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace torvane {
namespace {

// A drawing with more turned angles than a few dozen has thousands: past its first slots the table
// takes a huge page's worth at once, instead of growing through small blocks whose every page is
// touched fresh and which are rehashed each time.
constexpr std::size_t kFirstSlots = 64, kSecondSlots = std::size_t{1} << 14, kMostSlots = std::size_t{1} << 17;

std::size_t HomeOf(uint64_t mantissa, uint16_t signExponent, std::size_t slots) {
  uint64_t mixed = (mantissa ^ (uint64_t{signExponent} << 48)) * 0x9E3779B97F4A7C15ULL;
  return static_cast<std::size_t>(mixed >> 40) & (slots - 1);
}

}  // namespace

void TSineCosineMemo::Grow() {
  TLargeVector<TSlot> old(slots_.empty() ? kFirstSlots : std::max(2 * slots_.size(), kSecondSlots));
  old.swap(slots_);
  for (const TSlot& slot : old) {
    if (!slot.Used) continue;
    std::size_t at = HomeOf(slot.Mantissa, slot.SignExponent, slots_.size());
    while (slots_[at].Used) at = (at + 1) & (slots_.size() - 1);
    slots_[at] = slot;
  }
}

void TSineCosineMemo::Of(long double angle, long double& sine, long double& cosine) {
  // The x87 extended type: 64 bits of mantissa, then 16 of sign and exponent; the rest is padding.
  uint64_t mantissa = 0;
  uint16_t signExponent = 0;
  std::memcpy(&mantissa, &angle, sizeof mantissa);
  std::memcpy(&signExponent, reinterpret_cast<const unsigned char*>(&angle) + sizeof mantissa, sizeof signExponent);
  if (2 * (used_ + 1) > slots_.size() && slots_.size() < kMostSlots) Grow();
  std::size_t at = HomeOf(mantissa, signExponent, slots_.size());
  for (; slots_[at].Used; at = (at + 1) & (slots_.size() - 1)) {
    if (slots_[at].Mantissa == mantissa && slots_[at].SignExponent == signExponent) {
      std::memcpy(&sine, slots_[at].Sine, sizeof slots_[at].Sine);
      std::memcpy(&cosine, slots_[at].Cosine, sizeof slots_[at].Cosine);
      return;
    }
  }
  sincosl(angle, &sine, &cosine);
  if (2 * (used_ + 1) > slots_.size()) return;
  TSlot& slot = slots_[at];
  slot = TSlot{mantissa, signExponent, true};
  std::memcpy(slot.Sine, &sine, sizeof slot.Sine);
  std::memcpy(slot.Cosine, &cosine, sizeof slot.Cosine);
  ++used_;
}

}  // namespace torvane
