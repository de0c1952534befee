#pragma once

#include "common/core/rounding.h"

namespace quorvant {

// Form positions are designed in twips at 96 pixels per inch.
inline constexpr int kTwipsPerPixel = 15;
inline int TwipsToPixels(double twips) {
  return static_cast<int>(NearestInt(twips / kTwipsPerPixel));
}

}  // namespace quorvant
