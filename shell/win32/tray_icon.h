#pragma once

#include <windows.h>

#include <string>

#include "common/win32/unique_handle.h"

namespace quorvant::win32 {

// The program's one notification-area icon, owned by window. Each add loads "ico.ico"
// beside the executable again.
void AddTrayIcon(HWND window);
void RemoveTrayIcon();
// A warning balloon from the icon, which must have been added.
void ShowTrayWarning(const std::wstring& title, const std::wstring& text);

// The 16 x 16 picture of the icon: "ico.ico" in folder, or the program's own icon when
// that file is missing or unreadable, so the icon is never blank.
unique_hicon LoadTrayIcon(const std::wstring& folder);

}  // namespace quorvant::win32
