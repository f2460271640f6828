#pragma once

#include <algorithm>
#include <cstdint>

struct KPoint {
  int32_t x = 0;
  int32_t y = 0;
  friend constexpr bool operator==(const KPoint&, const KPoint&) = default;
};

// Rectangles are inclusive: right = left + width - 1. An empty rectangle has
// right < left or bottom < top.
struct KRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = -1;
  int32_t bottom = -1;

  static constexpr KRect FromSize(int32_t left, int32_t top, int32_t width, int32_t height) {
    return KRect{left, top, left + width - 1, top + height - 1};
  }
  constexpr int32_t Width() const { return right - left + 1; }
  constexpr int32_t Height() const { return bottom - top + 1; }
  constexpr bool IsEmpty() const { return right < left || bottom < top; }
  constexpr bool Contains(KPoint p) const {
    return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom;
  }
  constexpr KRect Intersect(const KRect& o) const {
    return KRect{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
                 std::min(bottom, o.bottom)};
  }
  friend constexpr bool operator==(const KRect&, const KRect&) = default;
};
