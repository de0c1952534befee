#pragma once

#include "common/core/rounding.h"

namespace quorvant {

// Forms are designed in twips; at the design's 96 pixels per inch that is 15 twips per pixel.
inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kDesignDpi = 96;
inline constexpr int kTwipsPerPixel = kTwipsPerInch / kDesignDpi;

// The display's pixels per inch, set once at start-up before any window is laid out; every
// twips and design-pixel conversion follows it, so the layout scales from this one place.
namespace detail {
inline int displayDpi = kDesignDpi;
}
inline int DisplayDpi() { return detail::displayDpi; }
// A value that is not a usable scale (zero, negative, absurd) keeps the design's 96.
inline void SetDisplayDpi(int dpi) {
  detail::displayDpi = dpi >= 24 && dpi <= 2880 ? dpi : kDesignDpi;
}

inline int TwipsToPixelsAt(double twips, int dpi) {
  return static_cast<int>(NearestInt(twips * dpi / kTwipsPerInch));
}
inline int TwipsToPixels(double twips) { return TwipsToPixelsAt(twips, DisplayDpi()); }

// A size drawn in pixels at 96 DPI (the custom controls' details), at the display's DPI.
inline int DesignPixelsAt(double pixels, int dpi) {
  return static_cast<int>(NearestInt(pixels * dpi / kDesignDpi));
}
inline int DesignPixels(double pixels) { return DesignPixelsAt(pixels, DisplayDpi()); }

// A control's place on its form: left, top, width and height in twips.
struct TwipsRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// The skin artwork is drawn at these scales (percent of the design's size); a display takes
// the nearest at or above its own, so artwork is only ever scaled down.
inline constexpr int kSkinScales[] = {100, 125, 150, 200};
inline constexpr int kSkinScaleCount = 4;
// Resources of a scale are numbered from the 100 % one plus this step per scale index.
inline constexpr int kSkinScaleIdStep = 1000;

inline int SkinScaleIndexFor(int dpi) {
  for (int i = 0; i < kSkinScaleCount; ++i) {
    if (dpi * 100 <= kSkinScales[i] * kDesignDpi) return i;
  }
  return kSkinScaleCount - 1;  // beyond 200 % the largest is scaled up
}
inline int SkinScaleFor(int dpi) { return kSkinScales[SkinScaleIndexFor(dpi)]; }
inline int SkinBitmapIdFor(int id, int dpi) {
  return id + SkinScaleIndexFor(dpi) * kSkinScaleIdStep;
}

}  // namespace quorvant
