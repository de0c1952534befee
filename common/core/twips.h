#pragma once

#include "common/core/rounding.h"

namespace quorvant {

// Forms are designed in twips at 96 pixels per inch.
inline constexpr int kTwipsPerPixel = 15;
inline int TwipsToPixels(double twips) {
  return static_cast<int>(NearestInt(twips / kTwipsPerPixel));
}

// A control's place on its form: left, top, width and height in twips.
struct TwipsRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

}  // namespace quorvant
