#pragma once

#include <windows.h>

#include <string>

#include "common/win32/unique_handle.h"

namespace quorvant::win32 {

// The program's one notification-area icon, owned by window. Each add loads "ico.ico"
// beside the executable again.
void AddTrayIcon(HWND window);

// Removes the icon on a thread of its own, so that the shell's work on it runs while the
// window leaves the screen; each may take a while (under Wine without a window manager, two
// seconds each). The shell finds the icon by its window, which must live until Wait().
class TrayIconRemoval {
 public:
  TrayIconRemoval();
  TrayIconRemoval(const TrayIconRemoval&) = delete;
  TrayIconRemoval& operator=(const TrayIconRemoval&) = delete;
  ~TrayIconRemoval() { Wait(); }

  // Until the shell has answered, or a hung shell has had its time. Messages sent to this
  // thread's windows meanwhile are answered, so a shell that asks the window something
  // cannot deadlock with it.
  void Wait();

 private:
  unique_handle thread_;
};
// A warning balloon from the icon, which must have been added.
void ShowTrayWarning(const std::wstring& title, const std::wstring& text);

// The 16 x 16 picture of the icon: "ico.ico" in folder, or the program's own icon when
// that file is missing or unreadable, so the icon is never blank.
unique_hicon LoadTrayIcon(const std::wstring& folder);

}  // namespace quorvant::win32
