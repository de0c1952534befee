#pragma once

// The message loop of an in-process Windows test: the windows under test get their
// messages only while the test pumps them.

#include <windows.h>

#include <chrono>
#include <functional>

namespace quorvant::win32::test_support {

// Dispatches every message waiting in this thread's queue.
inline void PumpMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    (void)::TranslateMessage(&msg);
    (void)::DispatchMessageW(&msg);
  }
}

// Runs the message loop until done() or the deadline; false when the deadline came first.
inline bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    PumpMessages();
    ::Sleep(1);
  }
  return true;
}

}  // namespace quorvant::win32::test_support
