#pragma once

#include <windows.h>

#include "common/win32/unique_handle.h"

namespace quorvant::win32 {

// The screen's pixels per inch as the system reports it to this (DPI-aware) process.
int ScreenDpi();

// Reads the screen's DPI once and makes it the scale of every layout conversion. Call at
// start-up, before any window is created.
void UseScreenDpi();

// A skin bitmap at the display's scale: the artwork drawn for the nearest scale at or above
// it, scaled down with a smoothing filter when the display sits between two drawn scales.
unique_hbitmap LoadSkinBitmap(int id);

}  // namespace quorvant::win32
