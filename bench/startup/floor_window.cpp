// The floor for the start-up benchmark: the least a program can do to put a borderless
// window of the main window's size on the screen. With --timers it also runs the main
// window's five timers with empty handlers, the floor for idle CPU. With --hidden it never
// shows the window and runs no timer: the floor for a program waiting in the tray.

#include <windows.h>

#include <cwchar>

namespace {

constexpr wchar_t kClassName[] = L"FloorWindow";
constexpr int kWidth = 786;
constexpr int kHeight = 557;
constexpr UINT kTimerIntervalsMs[] = {900, 1100, 1000, 100, 20};

LRESULT CALLBACK FloorProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = FloorProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kClassName;
  if (!::RegisterClassW(&wc)) return 1;

  const int x = (::GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
  const int y = (::GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
  HWND hwnd = ::CreateWindowExW(0, kClassName, L"Floor", WS_POPUP, x, y, kWidth, kHeight, nullptr,
                                nullptr, instance, nullptr);
  if (!hwnd) return 1;
  if (!std::wcsstr(commandLine, L"--hidden")) {
    (void)::ShowWindow(hwnd, SW_SHOW);
    (void)::UpdateWindow(hwnd);
  }

  if (std::wcsstr(commandLine, L"--timers")) {
    UINT_PTR id = 1;
    for (const UINT interval : kTimerIntervalsMs) (void)::SetTimer(hwnd, id++, interval, nullptr);
  }

  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    (void)::TranslateMessage(&msg);
    (void)::DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
