#pragma once

#include <windows.h>

#include "engine/core/booster.h"

namespace quorvant::win32 {

inline HWND ToHwnd(WindowId window) { return reinterpret_cast<HWND>(window); }
inline WindowId ToWindowId(HWND window) { return reinterpret_cast<WindowId>(window); }

// The real desktop: the system's foreground window, its title, its process's priority.
class WindowsBoosterDesktop final : public BoosterDesktop {
 public:
  WindowId ForegroundWindow() override;
  std::wstring WindowTitle(WindowId window) override;
  void SetWindowProcessPriority(WindowId window, int priorityClass) override;
  std::wstring TimeOfDay() override;
};

}  // namespace quorvant::win32
