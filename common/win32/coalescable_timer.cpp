#include "common/win32/coalescable_timer.h"

namespace quorvant::win32 {

namespace {

using SetCoalescableTimerFn = UINT_PTR(WINAPI*)(HWND, UINT_PTR, UINT, TIMERPROC, ULONG);

SetCoalescableTimerFn LookUpSetCoalescableTimer() {
  // Looked up, not linked, so the program still starts on Windows 7.
  static const SetCoalescableTimerFn fn = [] {
    const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<SetCoalescableTimerFn>(
                        reinterpret_cast<void*>(::GetProcAddress(user32, "SetCoalescableTimer")))
                  : nullptr;
  }();
  return fn;
}

}  // namespace

UINT_PTR SetCoalescableWindowTimer(HWND hwnd, UINT_PTR id, UINT intervalMs, ULONG toleranceMs) {
  if (const SetCoalescableTimerFn fn = LookUpSetCoalescableTimer()) {
    return fn(hwnd, id, intervalMs, nullptr, toleranceMs);
  }
  return ::SetTimer(hwnd, id, intervalMs, nullptr);
}

bool TimerCoalescingAvailable() { return LookUpSetCoalescableTimer() != nullptr; }

}  // namespace quorvant::win32
