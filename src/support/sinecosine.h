// The extended sine and cosine of arc angles met before, remembered. The arcs of a drawing turn few
// distinct angles, and one extended sincosl costs as much as converting dozens of points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/largearray.h"

namespace torvane {

class TSineCosineMemo {
 public:
  // Exactly sincosl of the angle degrees + tilt in radians, (degrees + tilt) × π / 180 in the
  // extended type. An untilted angle is found again by the bits of its degrees, which costs no
  // arithmetic; a tilted one by the bits of its radians, since tilted angles of one sum are many
  // pairs of few sums. Keys match only by all their bits, so -0 and +0 or two NaNs of other
  // payloads never stand for each other.
  void Of(float degrees, float tilt, long double& sine, long double& cosine);

 private:
  enum class TKind : uint8_t { Empty, Degrees, Radians };
  // 32 bytes: the extended values without their padding.
  struct TSlot {
    uint64_t Key = 0;      // the degrees' bits, or the radians' mantissa
    uint16_t KeyHigh = 0;  // the radians' sign and exponent
    TKind Kind = TKind::Empty;
    unsigned char Sine[10] = {}, Cosine[10] = {};
  };
  void Grow();
  // Open addressing, at most half full; empty until the first angle, so that a drawing without
  // turned arcs pays nothing. Past a bound, new angles are turned and not remembered.
  TLargeVector<TSlot> slots_;
  std::size_t used_ = 0;
};

}  // namespace torvane
