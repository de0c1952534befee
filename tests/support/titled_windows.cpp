// Shows one top-level window per title given on the command line, for tests that need
// windows of another process to come to the front. A window that receives
// kBringToFrontMessage makes itself the foreground window (only its own process may do
// that without a window manager's help) and answers 1 when it then is in front.
// kBurnMessage with wParam 1 makes it keep the processor busy, as a program working in the
// background does, on kBurnThreads threads so that it still gets a large share of a machine
// that other programs keep busy too; with wParam 0 it stops. It answers 1.
// Usage: titled_windows.exe [--stay] [--burn] TITLE [TITLE ...]; ends when its windows are
// closed, or with --stay lives on without them until it is ended, as programs that close to
// the tray do; with --burn it burns from the moment its windows are shown.
#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs

#include <atomic>
#include <cwchar>

namespace {

constexpr wchar_t kClassName[] = L"QuorvantTitledWindow";
constexpr UINT kBringToFrontMessage = WM_APP + 1;
constexpr UINT kBurnMessage = WM_APP + 2;
constexpr int kBurnThreads = 16;
int openWindows = 0;
bool stay = false;
std::atomic<bool> burning{false};
// Set while burning. Stopped burners wait on it and use no processor at all: sixteen threads
// polling every 10 ms cost a share of the machine that varies with its load, and a stopped
// program must look quiet to whoever measures it.
HANDLE burnOn = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
bool burnersStarted = false;

DWORD WINAPI Burn(void*) {
  volatile unsigned long long spin = 0;
  for (;;) {
    if (burning.load(std::memory_order_relaxed)) {
      spin = spin + 1;
    } else {
      (void)::WaitForSingleObject(burnOn, INFINITE);
    }
  }
}

LRESULT BurnRequest(bool on) {
  if (on && !burnersStarted) {
    for (int i = 0; i < kBurnThreads; ++i) {
      HANDLE burner = ::CreateThread(nullptr, 0, Burn, nullptr, 0, nullptr);
      if (!burner) return 0;
      (void)::CloseHandle(burner);
    }
    burnersStarted = true;
  }
  burning = on;
  (void)(on ? ::SetEvent(burnOn) : ::ResetEvent(burnOn));
  return 1;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kBringToFrontMessage:
      (void)::SetForegroundWindow(hwnd);
      return ::GetForegroundWindow() == hwnd ? 1 : 0;
    case kBurnMessage:
      return BurnRequest(wParam != 0);
    case WM_DESTROY:
      if (--openWindows == 0 && !stay) ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (!argv || argc < 2) return 2;

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kClassName;
  if (!::RegisterClassExW(&wc)) return 1;

  // Each process's windows stand apart from those shown before, so a click can reach each.
  int shown = 0;
  for (HWND w = nullptr; (w = ::FindWindowExW(nullptr, w, kClassName, nullptr)) != nullptr;)
    ++shown;
  int first = 1;
  bool burn = false;
  // The last argument is always a title.
  for (; first < argc - 1; ++first) {
    if (std::wcscmp(argv[first], L"--stay") == 0) {
      stay = true;
    } else if (std::wcscmp(argv[first], L"--burn") == 0) {
      burn = true;
    } else {
      break;
    }
  }
  for (int i = first; i < argc; ++i) {
    const int offset = 40 + 140 * (shown + i - first);
    HWND hwnd = ::CreateWindowExW(0, kClassName, argv[i], WS_OVERLAPPEDWINDOW, offset, offset, 320,
                                  120, nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 1;
    ++openWindows;
    (void)::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  }
  (void)::LocalFree(argv);
  if (burn && !BurnRequest(true)) return 1;

  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    (void)::TranslateMessage(&msg);
    (void)::DispatchMessageW(&msg);
  }
  return 0;
}
