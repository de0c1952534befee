#include "engine/win32/booster_desktop.h"

#include "engine/win32/module_process.h"
#include "engine/win32/module_public_function.h"

namespace quorvant::win32 {

WindowId WindowsBoosterDesktop::ForegroundWindow() { return ToWindowId(::GetForegroundWindow()); }

std::wstring WindowsBoosterDesktop::WindowTitle(WindowId window) {
  wchar_t buffer[kTitleBufferChars] = {};
  const int length = ::GetWindowTextW(ToHwnd(window), buffer, kTitleBufferChars);
  return std::wstring(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

void WindowsBoosterDesktop::SetWindowProcessPriority(WindowId window, int priorityClass) {
  // The class read back is of no use to the booster: a process it may not set keeps its class.
  (void)SetProcessPriority(0, ToHwnd(window), priorityClass);
}

std::wstring WindowsBoosterDesktop::TimeOfDay() { return TimeOfDayText(); }

}  // namespace quorvant::win32
