#pragma once

#include <algorithm>
#include <cstdint>

#include "common/core/color.h"
#include "common/core/rounding.h"

namespace quorvant::button {

// Nearest whole channel values (halves to even), clamped to 0..255 as the platform's
// colour maker does with out-of-range channels.
inline int ChannelOf(double value) {
  return static_cast<int>(std::clamp<std::int64_t>(NearestInt(value), 0, 255));
}

inline Color NearestRgb(double red, double green, double blue) {
  return Rgb(ChannelOf(red), ChannelOf(green), ChannelOf(blue));
}

inline Color ClampedRgb(int red, int green, int blue) {
  return Rgb(std::clamp(red, 0, 255), std::clamp(green, 0, 255), std::clamp(blue, 0, 255));
}

inline int Nearest(double value) { return static_cast<int>(NearestInt(value)); }

}  // namespace quorvant::button
