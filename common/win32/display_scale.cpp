#include "common/win32/display_scale.h"

#include "common/core/twips.h"

namespace quorvant::win32 {

namespace {

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

void UseScreenDpi() { SetDisplayDpi(ScreenDpi()); }

unique_hbitmap LoadSkinBitmap(int id) {
  const int dpi = DisplayDpi();
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
