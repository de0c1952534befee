#pragma once

#include <windows.h>

#include "shell/core/resident_timers.h"

namespace quorvant::win32 {

// The main window's timers as window timers the system may coalesce.
class WindowTimerService final : public shell::TimerService {
 public:
  void SetWindow(HWND hwnd) { hwnd_ = hwnd; }
  void Start(std::uintptr_t id, std::uint32_t intervalMs, std::uint32_t toleranceMs) override;
  void Stop(std::uintptr_t id) override;
  std::uint64_t NowMs() override;

 private:
  HWND hwnd_ = nullptr;
};

}  // namespace quorvant::win32
