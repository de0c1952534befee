#include "engine/win32/booster_desktop.h"

#include "engine/win32/processes.h"
#include "engine/win32/time_of_day.h"

namespace quorvant::win32 {

WindowId WindowsBoosterDesktop::ForegroundWindow() { return ToWindowId(::GetForegroundWindow()); }

std::wstring WindowsBoosterDesktop::WindowTitle(WindowId window) {
  // Read whole, so the booster cuts it where it will not split a character.
  const int length = window ? ::GetWindowTextLengthW(ToHwnd(window)) : 0;
  if (length <= 0) return {};
  std::wstring title(static_cast<size_t>(length) + 1, L'\0');
  const int copied = ::GetWindowTextW(ToHwnd(window), title.data(), length + 1);
  title.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return title;
}

std::optional<ProcessIdentity> WindowsBoosterDesktop::WindowProcess(WindowId window) {
  DWORD owner = 0;
  if (!window || !::GetWindowThreadProcessId(ToHwnd(window), &owner)) return std::nullopt;
  return IdentityOfId(owner);
}

int WindowsBoosterDesktop::PriorityClassOf(const ProcessIdentity& process) {
  return win32::PriorityClassOf(process);
}

bool WindowsBoosterDesktop::SetPriorityClassOf(const ProcessIdentity& process, int priorityClass) {
  return win32::SetPriorityClassOf(process, priorityClass);
}

void WindowsBoosterDesktop::RestorePriority(const ProcessIdentity& process, int priorityClass,
                                            int raisedClass) {
  (void)RestorePriorityClass(process, priorityClass, raisedClass);
}

std::wstring WindowsBoosterDesktop::TimeOfDay() { return TimeOfDayText(); }

}  // namespace quorvant::win32
