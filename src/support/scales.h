// The scale table: for every distinct layer-group scale of a drawing it records the extent of the
// points drawn at that scale, derives how many decimal places that extent justifies (six
// significant digits), and converts coordinates at that scale, rounding them when asked to.
// All arithmetic is in the 80-bit extended type; entries hold 32-bit floats.
#pragma once

#include <cstdint>
#include <vector>

namespace torvane {

struct TScaleEntry {
  float Scale = 0;
  float MinX = 0, MaxX = 0;
  float MinY = 0, MaxY = 0;
  float BaseX = 0, BaseY = 0;
  int32_t DigitsX = 0, DigitsY = 0;
};

class TScales {
 public:
  bool RoundOffsets = false;
  bool RoundBases = true;

  void AddPoint(float scale, long double x, long double y);
  void ComputeDigits(long double factor);
  // 0.0 for a scale that was never added.
  long double ConvertX(float scale, long double factor, long double value) const;
  long double ConvertY(float scale, long double factor, long double value) const;

  bool Contains(float scale) const { return Find(scale) != nullptr; }
  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
  const std::vector<TScaleEntry>& Entries() const { return entries_; }

 private:
  struct TPowers {
    long double X = 1, Y = 1;
  };
  const TScaleEntry* Find(float scale) const;
  long double Convert(const TScaleEntry& entry, long double base, long double power,
                      long double factor, long double value) const;

  // Keys compare exactly; entries keep the order of first appearance, and the table grows as far
  // as the drawing needs.
  std::vector<TScaleEntry> entries_;
  std::vector<TPowers> powers_;  // 10^DigitsX and 10^DigitsY of each entry
  mutable std::size_t lastFound_ = 0;  // a look-up cache only
};

// Decimal places for an extent: 6 − ⌈log10(extent)⌉, with the exact ceiling (the smallest whole k
// with 10^k ≥ extent); 0 for an extent that is not a finite number above 0.
int32_t DigitsForExtent(long double extent);

// The nearest whole number, halves away from zero, through a 64-bit integer (so zero is +0.0);
// nothing when |value| is 2^63 or more or not finite.
bool RoundHalfAway(long double value, long double& rounded);

}  // namespace torvane
