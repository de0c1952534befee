#include "common/win32/coalescable_timer.h"

#include <gtest/gtest.h>

#include "tests/win32/support/message_pump.h"

namespace quorvant::win32 {
namespace {

using namespace std::chrono_literals;

int ticks = 0;

LRESULT CALLBACK CountTicks(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    ++ticks;
    return 0;
  }
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

// Whichever call the system offers, the timer ticks at its interval and stops when killed.
TEST(CoalescableTimerTest, TicksAndStops) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = CountTicks;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"QuorvantCoalescableTimerTest";
  (void)::RegisterClassW(&wc);
  HWND hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
  ASSERT_TRUE(hwnd) << "CreateWindowExW: " << ::GetLastError();
  // Windows 8 and Wine have it; the program must run where it is missing too.
  RecordProperty("SetCoalescableTimer", TimerCoalescingAvailable() ? "yes" : "no");

  ticks = 0;
  EXPECT_EQ(SetCoalescableWindowTimer(hwnd, 7, 20, CoalescingTolerance(20)), 7u);
  EXPECT_TRUE(test_support::PumpUntil([] { return ticks >= 3; }, 5s));
  ASSERT_TRUE(::KillTimer(hwnd, 7)) << "a window timer of that id existed";
  test_support::PumpMessages();
  const int stopped = ticks;
  ::Sleep(100);
  test_support::PumpMessages();
  EXPECT_EQ(ticks, stopped);
  (void)::DestroyWindow(hwnd);
}

}  // namespace
}  // namespace quorvant::win32
