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

namespace {

// Keys compare exactly; a NaN key matches itself so that it cannot fill the table one point at a
// time.
bool SameKey(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

}  // namespace

const TScaleEntry* TScales::Find(float scale) const {
  for (const TScaleEntry& entry : entries_) {
    if (SameKey(entry.Scale, scale)) return &entry;
  }
  return nullptr;
}

namespace {

int32_t DigitsOf(float base, float min, float max, float scale, long double factor) {
  // A NaN first point keeps every later comparison false: the extent is no number.
  if (std::isnan(base) || max == min) return 0;
  return DigitsForExtent((static_cast<long double>(max) - min) * scale * factor);
}

}  // namespace

void TScales::AddPointAtAnotherScale(float scale, long double x, long double y) {
  TScaleEntry* entry = nullptr;
  if (const TScaleEntry* found = Find(scale)) {
    lastAdded_ = static_cast<std::size_t>(found - entries_.data());
    entry = &entries_[lastAdded_];
  }
  if (entry == nullptr) {
    TScaleEntry added;
    added.Scale = scale;
    added.BaseX = static_cast<float>(x);
    added.BaseY = static_cast<float>(y);
    added.MinX = added.MaxX = added.MinY = added.MaxY = NAN;
    lastAdded_ = entries_.size();
    entries_.push_back(added);
    entry = &entries_.back();
  }
  Widen(entry->MinX, entry->MaxX, x);
  Widen(entry->MinY, entry->MaxY, y);
}

void TScales::Append(const TScales& later) {
  for (const TScaleEntry& entry : later.entries_) {
    const TScaleEntry* found = Find(entry.Scale);
    if (found == nullptr) {
      entries_.push_back(entry);
      continue;
    }
    TScaleEntry& into = entries_[static_cast<std::size_t>(found - entries_.data())];
    for (float value : {entry.MinX, entry.MaxX}) Widen(into.MinX, into.MaxX, value);
    for (float value : {entry.MinY, entry.MaxY}) Widen(into.MinY, into.MaxY, value);
  }
}

void TScales::ComputeDigits(long double factor) {
  for (TScaleEntry& entry : entries_) {
    entry.DigitsX = DigitsOf(entry.BaseX, entry.MinX, entry.MaxX, entry.Scale, factor);
    entry.DigitsY = DigitsOf(entry.BaseY, entry.MinY, entry.MaxY, entry.Scale, factor);
  }
}

TScaleAxis TScales::Axis(const TScaleEntry& entry, float base, int32_t digits, long double factor) const {
  TScaleAxis axis;
  axis.Base = base;
  axis.Power = powl(10.0L, digits);
  axis.BaseValue = static_cast<long double>(base) * entry.Scale * factor;
  long double rounded = 0;
  if (RoundBases && RoundHalfAway(axis.BaseValue * axis.Power, rounded)) axis.BaseValue = rounded / axis.Power;
  return axis;
}

TFrozenScales TScales::Freeze(long double factor) const {
  TFrozenScales frozen;
  frozen.factor_ = factor;
  frozen.roundOffsets_ = RoundOffsets;
  for (const TScaleEntry& entry : entries_) {
    frozen.entries_.push_back(TFrozenScale{entry.Scale, Axis(entry, entry.BaseX, entry.DigitsX, factor),
                                           Axis(entry, entry.BaseY, entry.DigitsY, factor)});
  }
  return frozen;
}

const TFrozenScale* TFrozenScales::Find(float scale) const {
  for (const TFrozenScale& entry : entries_) {
    if (SameKey(entry.Scale, scale)) return &entry;
  }
  return nullptr;
}

long double TFrozenScales::ConvertX(float scale, long double value) const {
  const TFrozenScale* entry = Find(scale);
  return entry == nullptr ? 0.0L : Convert(*entry, entry->X, value);
}

long double TFrozenScales::ConvertY(float scale, long double value) const {
  const TFrozenScale* entry = Find(scale);
  return entry == nullptr ? 0.0L : Convert(*entry, entry->Y, value);
}

}  // namespace torvane
