// Tells an end-to-end script what the system knows of a top-level window that X cannot
// show, such as a minimised window on a display without a window manager.
// Usage: window_probe.exe CLASS; prints "found=0|1 visible=0|1 iconic=0|1".
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const HWND window = ::FindWindowW(argv[1], nullptr);
  std::printf("found=%d visible=%d iconic=%d\n", window != nullptr,
              window && ::IsWindowVisible(window), window && ::IsIconic(window));
  return 0;
}
