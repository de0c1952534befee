#pragma once

#include <windows.h>

#include "common/core/twips.h"

namespace quorvant::win32 {

// A place designed in twips, in pixels at a scale: each edge rounded on its own, as the forms
// place their controls.
inline RECT PixelRectAt(const TwipsRect& r, int dpi) {
  const int x = TwipsToPixelsAt(r.left, dpi), y = TwipsToPixelsAt(r.top, dpi);
  return {x, y, x + TwipsToPixelsAt(r.width, dpi), y + TwipsToPixelsAt(r.height, dpi)};
}
inline RECT PixelRect(const TwipsRect& r) { return PixelRectAt(r, DisplayDpi()); }

// Moves and sizes a child window to a pixel rectangle of its parent.
inline void MoveWindowTo(HWND window, const RECT& r) {
  (void)::SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
}

// A control at its pixel rectangle, showing font: how every control is placed, at creation
// and again when the scale changes. A null font leaves the control's own.
inline void PlaceControl(HWND control, const RECT& r, HFONT font) {
  MoveWindowTo(control, r);
  if (font) (void)::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

}  // namespace quorvant::win32
