#pragma once

#include <windows.h>

#include "engine/core/booster.h"

namespace quorvant::win32 {

inline HWND ToHwnd(WindowId window) { return reinterpret_cast<HWND>(window); }
inline WindowId ToWindowId(HWND window) { return reinterpret_cast<WindowId>(window); }

// The real desktop: the system's foreground window, its title, and the priority class of the
// process behind it, reached by the process's identity rather than by its window.
class WindowsBoosterDesktop final : public BoosterDesktop {
 public:
  WindowId ForegroundWindow() override;
  std::wstring WindowTitle(WindowId window) override;
  std::optional<ProcessIdentity> WindowProcess(WindowId window) override;
  int PriorityClassOf(const ProcessIdentity& process) override;
  bool SetPriorityClassOf(const ProcessIdentity& process, int priorityClass) override;
  void RestorePriority(const ProcessIdentity& process, int priorityClass, int raisedClass) override;
  std::wstring TimeOfDay() override;
};

}  // namespace quorvant::win32
