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
  // extended type. A pair is found again only by all of its bits, so -0 and +0 or two NaNs of
  // other payloads never stand for each other; it is remembered as the file gives it, so that
  // finding it again costs no arithmetic.
  void Of(float degrees, float tilt, long double& sine, long double& cosine);

 private:
  // 32 bytes: the extended values without their padding.
  struct TSlot {
    uint64_t Key = 0;
    bool Used = false;
    unsigned char Sine[10] = {}, Cosine[10] = {};
  };
  void Grow();
  // Open addressing, at most half full; empty until the first angle, so that a drawing without
  // turned arcs pays nothing. Past a bound, new angles are turned and not remembered.
  TLargeVector<TSlot> slots_;
  std::size_t used_ = 0;
};

}  // namespace torvane
