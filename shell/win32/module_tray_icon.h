#pragma once

#include <windows.h>

namespace quorvant::win32 {

// The program's one notification-area icon, owned by window. Each add loads "ico.ico"
// beside the executable again; a missing file gives an icon with its tip and no picture.
void AddTrayIcon(HWND window);
void RemoveTrayIcon();

}  // namespace quorvant::win32
