#include "shell/win32/window_timer_service.h"

#include "common/win32/coalescable_timer.h"

namespace quorvant::win32 {

void WindowTimerService::Start(std::uintptr_t id, std::uint32_t intervalMs,
                               std::uint32_t toleranceMs) {
  (void)SetCoalescableWindowTimer(hwnd_, id, intervalMs, toleranceMs);
}

void WindowTimerService::Stop(std::uintptr_t id) { (void)::KillTimer(hwnd_, id); }

std::uint64_t WindowTimerService::NowMs() { return ::GetTickCount64(); }

}  // namespace quorvant::win32
