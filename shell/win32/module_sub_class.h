#pragma once

#include <windows.h>

#include <optional>

namespace quorvant::win32 {

// What the hooked window procedure asks of the main window.
class HookTarget {
 public:
  virtual ~HookTarget() = default;
  virtual bool LimitDialogVisible() const = 0;
  virtual void RestoreFromTray() = 0;
  // At the mouse, or at the given point (the icon's anchor when the keyboard asked).
  virtual void OpenTrayMenu(std::optional<POINT> at) = 0;
  virtual void AddIconAgain() = 0;
};

// Program-wide values set by the start-up.
extern UINT TaskbarCreatedMsg;
extern WNDPROC PrevWndProc;

// Replaces window's procedure with HookWindowProc and keeps the previous one.
void InstallHook(HWND window, HookTarget& target);
// Puts the previous procedure back.
void RemoveHook(HWND window);

LRESULT CALLBACK HookWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace quorvant::win32
