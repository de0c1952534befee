#pragma once

#include <windows.h>

#include "common/core/twips.h"

namespace quorvant::win32 {

// A place designed in twips, in pixels: each edge rounded on its own, as the forms place
// their controls.
inline RECT PixelRect(const TwipsRect& r) {
  const int x = TwipsToPixels(r.left), y = TwipsToPixels(r.top);
  return {x, y, x + TwipsToPixels(r.width), y + TwipsToPixels(r.height)};
}

}  // namespace quorvant::win32
