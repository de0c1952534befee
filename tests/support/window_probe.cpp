// Tells an end-to-end script what the system knows of a top-level window that X cannot
// show, such as a minimised window on a display without a window manager.
// Usage: window_probe.exe CLASS [TEXT]; prints "found=0|1 visible=0|1 iconic=0|1", and with
// TEXT " checked=N" for the window's check box with that caption (-1 when there is none).
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

struct Search {
  const wchar_t* text;
  HWND found;
};

BOOL CALLBACK MatchText(HWND child, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  wchar_t text[256] = {};
  (void)::GetWindowTextW(child, text, 256);
  if (std::wstring(text) != search->text) return TRUE;
  search->found = child;
  return FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const HWND window = ::FindWindowW(argv[1], nullptr);
  std::printf("found=%d visible=%d iconic=%d", window != nullptr,
              window && ::IsWindowVisible(window), window && ::IsIconic(window));
  if (argc > 2) {
    Search search{argv[2], nullptr};
    if (window) (void)::EnumChildWindows(window, MatchText, reinterpret_cast<LPARAM>(&search));
    const LRESULT checked = search.found ? ::SendMessageW(search.found, BM_GETCHECK, 0, 0) : -1;
    std::printf(" checked=%d", static_cast<int>(checked));
  }
  std::printf("\n");
  return 0;
}
