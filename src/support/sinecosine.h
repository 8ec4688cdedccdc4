// The extended sine and cosine of angles met before, remembered. The arcs of a drawing turn few
// distinct angles, and one extended sincosl costs as much as converting dozens of points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace torvane {

class TSineCosineMemo {
 public:
  // Exactly sincosl(angle): an angle is found again only by all of its bits, so -0 and +0 or
  // two NaNs of other payloads never stand for each other.
  void Of(long double angle, long double& sine, long double& cosine);

 private:
  struct TSlot {
    uint64_t Mantissa = 0;
    uint16_t SignExponent = 0;
    bool Used = false;
    long double Sine = 0, Cosine = 0;
  };
  void Grow();
  // Open addressing, at most half full; empty until the first angle, so that a drawing without
  // turned arcs pays nothing. Past a bound, new angles are turned and not remembered.
  std::vector<TSlot> slots_;
  std::size_t used_ = 0;
};

}  // namespace torvane
