// The scale table: for every distinct layer-group scale of a drawing it records the extent of the
// points drawn at that scale, derives how many decimal places that extent justifies (six
// significant digits), and converts coordinates at that scale, rounding them when asked to.
// All arithmetic is in the 80-bit extended type; entries hold 32-bit floats.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <vector>

namespace torvane {

// The outputs are byte for byte those of the x87 80-bit extended type (64-bit mantissa, 15-bit
// exponent); a long double of any other kind would change them.
static_assert(std::numeric_limits<long double>::digits == 64 && std::numeric_limits<long double>::max_exponent == 16384,
              "long double must be the x87 80-bit extended type");

struct TScaleEntry {
  float Scale = 0;
  // The extent of the values that are numbers (NaN until one comes): a NaN first point gives 0
  // places whatever follows, so the extent can leave NaN values out and still be merged.
  float MinX = 0, MaxX = 0;
  float MinY = 0, MaxY = 0;
  float BaseX = 0, BaseY = 0;  // the first point
  int32_t DigitsX = 0, DigitsY = 0;
};

// One axis of an entry, ready for conversions at one factor.
struct TScaleAxis {
  float Base = 0;             // the first point's coordinate
  long double Power = 1;      // 10^Digits
  long double BaseValue = 0;  // Base converted, and rounded when bases are
};

struct TFrozenScale {
  float Scale = 0;
  TScaleAxis X, Y;
};

// What a 64-bit integer holds of value (|value| < 2^63): the value truncated toward zero, and a
// zero always +0.0. Computed in the extended type itself: converting to an integer switches the
// FPU's rounding mode twice per value, which costs more than the rest of a coordinate's
// conversion. From 2^63 on the extended type's spacing is 1, so adding and taking away 2^63
// rounds the magnitude to a whole number exactly; one step down where that went up truncates.
inline long double TruncatedAsInteger(long double value) {
  constexpr long double kUnitSpacing = 9223372036854775808.0L;  // 2^63
  long double magnitude = std::fabs(value);
  long double whole = (magnitude + kUnitSpacing) - kUnitSpacing;
  if (whole > magnitude) whole -= 1;
  return (value < 0 ? -whole : whole) + 0.0L;
}

// fisttp (SSE3) stores an extended value as a 64-bit integer truncated toward zero whatever the
// rounding mode. Processors without it (made before about 2005) truncate with TruncatedAsInteger;
// read before this is set (a static initialiser elsewhere), it is false, which gives the same
// values.
inline const bool kHasTruncatingStore = (__builtin_cpu_init(), __builtin_cpu_supports("sse3"));

// value truncated toward zero; only where kHasTruncatingStore and |value| < 2^63.
inline int64_t TruncatedByStore(long double value) {
  int64_t whole;
  __asm__("fisttpll %0" : "=m"(whole) : "t"(value) : "st");
  return whole;
}

// The nearest whole number, halves away from zero, as a 64-bit integer holds it (so zero is
// +0.0); nothing when |value| is 2^63 or more or not finite. kByStore: through the truncating
// store, only where kHasTruncatingStore.
template <bool kByStore>
inline bool RoundHalfAwayBy(long double value, long double& rounded) {
  constexpr long double kLimit = 9223372036854775808.0L;  // 2^63
  if (kByStore && std::fabs(value) < kLimit - 0.5L) {
    // The half for value's sign is picked without a branch: the sign of a coordinate's offset is
    // a coin toss, and a mispredicted branch costs more than all of this.
    static constexpr float kHalves[2] = {0.5f, -0.5f};
    rounded = static_cast<long double>(TruncatedByStore(value + kHalves[value < 0]));
    return true;
  }
  if (!std::isfinite(value) || std::fabs(value) >= kLimit) return false;
  long double shifted = value >= 0 ? value + 0.5L : value - 0.5L;
  if (std::fabs(shifted) >= kLimit) return false;
  rounded = TruncatedAsInteger(shifted);
  return true;
}

inline bool RoundHalfAway(long double value, long double& rounded) {
  return kHasTruncatingStore ? RoundHalfAwayBy<true>(value, rounded) : RoundHalfAwayBy<false>(value, rounded);
}

// How a table rounds the offsets it converts: not at all, through the truncating store, or by
// arithmetic where the processor has no such store. It is the same for every value of a table, so
// that a converter asks once for a run of records, and each value's conversion is straight code.
enum class TRounding { None, ByStore, ByArithmetic };

// Calls convert with rounding as a constant (a std::integral_constant).
template <typename Convert>
decltype(auto) WithRounding(TRounding rounding, const Convert& convert) {
  switch (rounding) {
    case TRounding::None: return convert(std::integral_constant<TRounding, TRounding::None>{});
    case TRounding::ByStore: return convert(std::integral_constant<TRounding, TRounding::ByStore>{});
    default: return convert(std::integral_constant<TRounding, TRounding::ByArithmetic>{});
  }
}

// A value at a scale: its offset from the axis's first point and that point itself are converted
// and rounded apart, then added.
template <TRounding kRounding>
inline long double ConvertOnAxis(float scale, const TScaleAxis& axis, long double factor, long double value) {
  long double offset = (value - axis.Base) * scale * factor;
  long double rounded = 0;
  if (kRounding != TRounding::None &&
      RoundHalfAwayBy<kRounding == TRounding::ByStore>(offset * axis.Power, rounded)) {
    offset = rounded / axis.Power;
  }
  return offset + axis.BaseValue;
}

// The table as it converts at one factor with the rounding it had when frozen. It never changes,
// so several threads may convert through it at once.
class TFrozenScales {
 public:
  // nullptr for a scale that was never added.
  const TFrozenScale* Find(float scale) const;
  TRounding Rounding() const {
    return !roundOffsets_ ? TRounding::None : kHasTruncatingStore ? TRounding::ByStore : TRounding::ByArithmetic;
  }
  // kRounding is Rounding().
  template <TRounding kRounding>
  long double ConvertAs(const TFrozenScale& entry, const TScaleAxis& axis, long double value) const {
    return ConvertOnAxis<kRounding>(entry.Scale, axis, factor_, value);
  }
  long double Convert(const TFrozenScale& entry, const TScaleAxis& axis, long double value) const {
    return WithRounding(Rounding(), [&](auto rounding) { return ConvertAs<decltype(rounding)::value>(entry, axis, value); });
  }
  // 0.0 for a scale that was never added.
  long double ConvertX(float scale, long double value) const;
  long double ConvertY(float scale, long double value) const;

 private:
  friend class TScales;
  std::vector<TFrozenScale> entries_;
  long double factor_ = 1;
  bool roundOffsets_ = false;
};

// The least and the greatest of the values given that are numbers; of equal values (zeros of both
// signs) the first given is kept, as the table keeps it.
struct TValueRange {
  float Min = INFINITY, Max = -INFINITY;
  void Add(float value) {
    Min = value < Min ? value : Min;
    Max = value > Max ? value : Max;
  }
  bool Empty() const { return !(Min <= Max); }
};

class TScales {
 public:
  bool RoundOffsets = false;
  bool RoundBases = true;

  void AddPoint(float scale, long double x, long double y) {
    // Points come in runs at one scale.
    if (lastAdded_ < entries_.size() && entries_[lastAdded_].Scale == scale) {
      TScaleEntry& entry = entries_[lastAdded_];
      Widen(entry.MinX, entry.MaxX, x);
      Widen(entry.MinY, entry.MaxY, y);
      return;
    }
    AddPointAtAnotherScale(scale, x, y);
  }
  // Adds a point and then points at the same scale whose coordinates are the values of xs and ys:
  // the same as adding each of them.
  void AddPoints(float scale, long double firstX, long double firstY, const TValueRange& xs, const TValueRange& ys) {
    AddPoint(scale, firstX, firstY);
    TScaleEntry& entry = entries_[lastAdded_];
    if (!xs.Empty()) {
      Widen(entry.MinX, entry.MaxX, xs.Min);
      Widen(entry.MinX, entry.MaxX, xs.Max);
    }
    if (!ys.Empty()) {
      Widen(entry.MinY, entry.MaxY, ys.Min);
      Widen(entry.MinY, entry.MaxY, ys.Max);
    }
  }
  // Whether any points at scale within [xLow, xHigh] × [yLow, yHigh] would leave the table as it
  // is: the scale has its entry and the extent reaches over the box (a NaN bound never does).
  bool Covers(float scale, long double xLow, long double xHigh, long double yLow, long double yHigh) const {
    const bool last = lastAdded_ < entries_.size() && entries_[lastAdded_].Scale == scale;
    const TScaleEntry* entry = last ? &entries_[lastAdded_] : Find(scale);
    return entry != nullptr && xLow >= entry->MinX && xHigh <= entry->MaxX && yLow >= entry->MinY &&
           yHigh <= entry->MaxY;
  }
  // Adds the points of a table filled after this one: the result equals one table that was given
  // this table's points and then the later one's.
  void Append(const TScales& later);
  void ComputeDigits(long double factor);
  // The table ready to convert at one factor, with the rounding it has now.
  TFrozenScales Freeze(long double factor) const;

  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
  const std::vector<TScaleEntry>& Entries() const { return entries_; }

 private:
  // Widens [min, max] by value; NaN bounds mean "no value yet" and NaN values are left out.
  static void Widen(float& min, float& max, long double value) {
    if (std::isnan(value)) return;
    if (std::isnan(min) || value < min) min = static_cast<float>(value);
    if (std::isnan(max) || value > max) max = static_cast<float>(value);
  }
  void AddPointAtAnotherScale(float scale, long double x, long double y);
  const TScaleEntry* Find(float scale) const;
  TScaleAxis Axis(const TScaleEntry& entry, float base, int32_t digits, long double factor) const;

  // Keys compare exactly; entries keep the order of first appearance, and the table grows as far
  // as the drawing needs.
  std::vector<TScaleEntry> entries_;
  std::size_t lastAdded_ = 0;
};

// Decimal places for an extent: 6 − ⌈log10(extent)⌉, with the exact ceiling (the smallest whole k
// with 10^k ≥ extent); 0 for an extent that is not a finite number above 0.
int32_t DigitsForExtent(long double extent);

}  // namespace torvane
