#include "common/win32/display_scale.h"

#include "common/core/twips.h"

namespace quorvant::win32 {

namespace {

// Functions of later Windows versions, looked up at run time so that the program still
// starts on Windows 7.
template <typename Function>
Function SystemFunction(const wchar_t* module, const char* name) {
  // From the system folder only; the module stays loaded for the run.
  HMODULE handle = ::GetModuleHandleW(module);
  if (!handle) handle = ::LoadLibraryExW(module, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  return handle
             ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(handle, name)))
             : nullptr;
}

using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI: the scale the user chose

unique_hbitmap LoadBitmapResource(int id) {
  return unique_hbitmap(static_cast<HBITMAP>(::LoadImageW(
      ::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

unique_hbitmap Resampled(HBITMAP source, int width, int height) {
  BITMAP from{};
  if (width <= 0 || height <= 0 || !::GetObjectW(source, sizeof(from), &from)) return {};
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  unique_hbitmap out(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  unique_hdc sourceDc(::CreateCompatibleDC(nullptr)), targetDc(::CreateCompatibleDC(nullptr));
  if (!out || !sourceDc || !targetDc) return {};
  {
    ScopedSelect selectSource(sourceDc.get(), source);
    ScopedSelect selectTarget(targetDc.get(), out.get());
    // HALFTONE averages the source pixels each target pixel covers; the default mode drops
    // rows and columns, which tears thin rules apart.
    (void)::SetStretchBltMode(targetDc.get(), HALFTONE);
    (void)::SetBrushOrgEx(targetDc.get(), 0, 0, nullptr);
    if (!::StretchBlt(targetDc.get(), 0, 0, width, height, sourceDc.get(), 0, 0, from.bmWidth,
                      from.bmHeight, SRCCOPY)) {
      return {};
    }
  }
  return out;
}

}  // namespace

int ScreenDpi() {
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : kDesignDpi;
  if (screen) (void)::ReleaseDC(nullptr, screen);
  return dpi;
}

int MonitorDpi(HMONITOR monitor) {
  static const auto getDpiForMonitor =
      SystemFunction<GetDpiForMonitorFn>(L"shcore.dll", "GetDpiForMonitor");
  UINT x = 0, y = 0;
  if (monitor && getDpiForMonitor && SUCCEEDED(getDpiForMonitor(monitor, kEffectiveDpi, &x, &y)) &&
      y > 0) {
    return static_cast<int>(y);
  }
  return ScreenDpi();
}

int PrimaryMonitorDpi() { return MonitorDpi(::MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY)); }

void UseScreenDpi() { SetDisplayDpi(PrimaryMonitorDpi()); }

SIZE WindowSizeForClient(SIZE client, DWORD style, DWORD exStyle, int dpi) {
  static const auto adjustForDpi =
      SystemFunction<AdjustWindowRectExForDpiFn>(L"user32.dll", "AdjustWindowRectExForDpi");
  RECT r{0, 0, client.cx, client.cy};
  if (!adjustForDpi || !adjustForDpi(&r, style, FALSE, exStyle, static_cast<UINT>(dpi))) {
    r = {0, 0, client.cx, client.cy};
    (void)::AdjustWindowRectEx(&r, style, FALSE, exStyle);
  }
  return {r.right - r.left, r.bottom - r.top};
}

void MoveToSuggestedPlace(HWND window, const RECT& suggested, SIZE size) {
  (void)::SetWindowPos(window, nullptr, suggested.left, suggested.top, size.cx, size.cy,
                       SWP_NOZORDER | SWP_NOACTIVATE);
}

void FitClientArea(HWND window, SIZE client) {
  RECT outer{}, inner{};
  if (!::GetWindowRect(window, &outer) || !::GetClientRect(window, &inner)) return;
  const int dx = client.cx - inner.right, dy = client.cy - inner.bottom;
  if (dx == 0 && dy == 0) return;
  (void)::SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left + dx,
                       outer.bottom - outer.top + dy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

unique_hbitmap LoadSkinBitmap(int id, int dpi) {
  unique_hbitmap art = LoadBitmapResource(SkinBitmapIdFor(id, dpi));
  const int artDpi = SkinScaleFor(dpi) * kDesignDpi / 100;
  BITMAP size{};
  if (!art || artDpi == dpi || !::GetObjectW(art.get(), sizeof(size), &size)) return art;
  // The artwork's design size is recovered exactly (it was rounded from it at a scale above
  // 100 %), and taken to the display the way the window converts its own sizes.
  auto designPixels = [artDpi](int device) {
    return static_cast<int>(NearestInt(device * double(kDesignDpi) / artDpi));
  };
  unique_hbitmap scaled = Resampled(art.get(), DesignPixelsAt(designPixels(size.bmWidth), dpi),
                                    DesignPixelsAt(designPixels(size.bmHeight), dpi));
  // Unscaled artwork is better than none.
  return scaled ? std::move(scaled) : std::move(art);
}

}  // namespace quorvant::win32
