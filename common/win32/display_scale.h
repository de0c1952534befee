#pragma once

#include <windows.h>

#include "common/core/twips.h"
#include "common/win32/unique_handle.h"

namespace quorvant::win32 {

// Sent before WM_DPICHANGED (Windows 10 1703 on) to ask for the window's size at the new
// scale; the headers for the program's oldest target do not name it.
inline constexpr UINT kWmGetDpiScaledSize = 0x02E4;

// The screen's pixels per inch as the system reports it: one figure for every monitor, and
// for a per-monitor-aware program the scale the session started with.
int ScreenDpi();

// A monitor's own scale, where the system has one per monitor (Windows 8.1 on); the screen's
// elsewhere.
int MonitorDpi(HMONITOR monitor);
// The scale of the primary monitor, where windows centred on the screen open.
int PrimaryMonitorDpi();

// Makes the primary monitor's scale the scale of every layout conversion. Call at start-up,
// before any window is created.
void UseScreenDpi();

// A skin bitmap at a display scale: the artwork drawn for the nearest scale at or above it,
// scaled down with a smoothing filter when the display sits between two drawn scales.
unique_hbitmap LoadSkinBitmap(int id, int dpi);
inline unique_hbitmap LoadSkinBitmap(int id) { return LoadSkinBitmap(id, DisplayDpi()); }

// The outer size of a window of these styles around a client area, with its frame at dpi
// where the system can say (Windows 10 1607 on), at the session's scale elsewhere.
SIZE WindowSizeForClient(SIZE client, DWORD style, DWORD exStyle, int dpi);

// Where a window goes on WM_DPICHANGED: the suggested place, at the size the window has at its
// new scale. The suggestion's own size is the system's proportional guess, a pixel off the
// design's rounding wherever WM_GETDPISCALEDSIZE was not asked first.
void MoveToSuggestedPlace(HWND window, const RECT& suggested, SIZE size);

// Resizes a framed window so its client area has exactly this size, whatever frame the system
// drew around it: a frame need not follow the window's scale (it follows the session's on
// systems without per-monitor frames).
void FitClientArea(HWND window, SIZE client);

}  // namespace quorvant::win32
