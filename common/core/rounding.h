#pragma once

#include <cfenv>
#include <cmath>
#include <cstdint>

namespace quorvant {

// Nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
// std::nearbyint honours the current rounding mode, which is to-nearest-even unless
// someone changed it; the product never does.
inline std::int64_t NearestInt(double value) {
  return static_cast<std::int64_t>(std::nearbyint(value));
}

}  // namespace quorvant
