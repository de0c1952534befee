#pragma once

#include <windows.h>

namespace quorvant::win32 {

// A window timer the system may deliver up to toleranceMs late, so that one wake-up of the
// processor serves several timers. SetCoalescableTimer exists from Windows 8 on; before
// that, and wherever user32 lacks it, this is a plain SetTimer. Returns what they return.
UINT_PTR SetCoalescableWindowTimer(HWND hwnd, UINT_PTR id, UINT intervalMs, ULONG toleranceMs);

// Whether this system's user32 has SetCoalescableTimer.
bool TimerCoalescingAvailable();

// The tolerance the program gives its periodic timers: a tenth of the interval, at least one
// millisecond (0 would ask for the system's default coalescing instead of a bound).
constexpr ULONG CoalescingTolerance(UINT intervalMs) {
  return intervalMs / 10 > 0 ? intervalMs / 10 : 1;
}

}  // namespace quorvant::win32
