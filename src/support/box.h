// A rectangle that grows to take in points: the extent of a drawing's entities.
#pragma once

#include <algorithm>
#include <cmath>

namespace torvane {

// y upwards; empty until a point is added. A point with a coordinate that is no finite number is
// left out, and a zero edge is +0 whichever zero came first, so that the box of a set of points
// does not depend on their order.
struct TBox {
  double Left = 0, Bottom = 0, Right = 0, Top = 0;
  bool Empty = true;

  void Add(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    x += 0.0;  // -0 becomes +0
    y += 0.0;
    if (Empty) {
      Left = Right = x;
      Bottom = Top = y;
      Empty = false;
      return;
    }
    Left = std::min(Left, x);
    Right = std::max(Right, x);
    Bottom = std::min(Bottom, y);
    Top = std::max(Top, y);
  }
  void Add(const TBox& other) {
    if (other.Empty) return;
    Add(other.Left, other.Bottom);
    Add(other.Right, other.Top);
  }
  double Width() const { return Right - Left; }
  double Height() const { return Top - Bottom; }
};

}  // namespace torvane
