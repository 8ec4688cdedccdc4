#include "support/scales.h"

#include <cmath>

namespace torvane {

int32_t DigitsForExtent(long double extent) {
  if (!std::isfinite(extent) || !(extent > 0)) return 0;
  // log10l may be one unit off near powers of ten; settle k by comparison with 10^k.
  long double estimate = std::floor(log10l(extent));
  if (estimate < -5000 || estimate > 5000) return 0;
  int32_t k = static_cast<int32_t>(estimate);
  auto atLeast = [extent](int32_t power) {
    // 10^power >= extent; for negative powers compare extent × 10^-power with 1, since 10^power
    // is then not exact.
    return power >= 0 ? powl(10.0L, power) >= extent : extent * powl(10.0L, -power) <= 1.0L;
  };
  while (atLeast(k - 1)) --k;
  while (!atLeast(k)) ++k;
  return 6 - k;
}

bool RoundHalfAway(long double value, long double& rounded) {
  constexpr long double kLimit = 9223372036854775808.0L;  // 2^63
  if (!std::isfinite(value) || std::fabs(value) >= kLimit) return false;
  long double shifted = value >= 0 ? value + 0.5L : value - 0.5L;
  if (std::fabs(shifted) >= kLimit) return false;
  rounded = static_cast<long double>(static_cast<int64_t>(shifted));
  return true;
}

namespace {

// Keys compare exactly; a NaN key matches itself so that it cannot fill the table one point at a
// time.
bool SameKey(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

}  // namespace

const TScaleEntry* TScales::Find(float scale) const {
  // Consecutive look-ups are nearly always at the same scale.
  if (lastFound_ < entries_.size() && SameKey(entries_[lastFound_].Scale, scale)) return &entries_[lastFound_];
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (SameKey(entries_[i].Scale, scale)) {
      lastFound_ = i;
      return &entries_[i];
    }
  }
  return nullptr;
}

void TScales::AddPoint(float scale, long double x, long double y) {
  for (TScaleEntry& entry : entries_) {
    if (!SameKey(entry.Scale, scale)) continue;
    if (x < entry.MinX) entry.MinX = static_cast<float>(x);
    if (x > entry.MaxX) entry.MaxX = static_cast<float>(x);
    if (y < entry.MinY) entry.MinY = static_cast<float>(y);
    if (y > entry.MaxY) entry.MaxY = static_cast<float>(y);
    return;
  }
  TScaleEntry entry;
  entry.Scale = scale;
  entry.BaseX = entry.MinX = entry.MaxX = static_cast<float>(x);
  entry.BaseY = entry.MinY = entry.MaxY = static_cast<float>(y);
  entries_.push_back(entry);
  powers_.push_back(TPowers{});
}

void TScales::ComputeDigits(long double factor) {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    TScaleEntry& entry = entries_[i];
    auto digits = [&](float min, float max) -> int32_t {
      if (max == min) return 0;
      long double extent = (static_cast<long double>(max) - min) * entry.Scale * factor;
      return DigitsForExtent(extent);
    };
    entry.DigitsX = digits(entry.MinX, entry.MaxX);
    entry.DigitsY = digits(entry.MinY, entry.MaxY);
    powers_[i] = TPowers{powl(10.0L, entry.DigitsX), powl(10.0L, entry.DigitsY)};
  }
}

long double TScales::Convert(const TScaleEntry& entry, long double base, long double power,
                             long double factor, long double value) const {
  long double offset = (value - base) * entry.Scale * factor;
  long double baseValue = base * entry.Scale * factor;
  long double rounded = 0;
  if (RoundOffsets && RoundHalfAway(offset * power, rounded)) offset = rounded / power;
  if (RoundBases && RoundHalfAway(baseValue * power, rounded)) baseValue = rounded / power;
  return offset + baseValue;
}

long double TScales::ConvertX(float scale, long double factor, long double value) const {
  const TScaleEntry* entry = Find(scale);
  if (entry == nullptr) return 0.0L;
  const TPowers& power = powers_[static_cast<std::size_t>(entry - entries_.data())];
  return Convert(*entry, entry->BaseX, power.X, factor, value);
}

long double TScales::ConvertY(float scale, long double factor, long double value) const {
  const TScaleEntry* entry = Find(scale);
  if (entry == nullptr) return 0.0L;
  const TPowers& power = powers_[static_cast<std::size_t>(entry - entries_.data())];
  return Convert(*entry, entry->BaseY, power.Y, factor, value);
}

}  // namespace torvane
