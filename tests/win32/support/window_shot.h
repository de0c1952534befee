#pragma once

// Pictures of a window as it stands on the screen, for a person to look at: written only
// when QUORVANT_SHOTS names a folder, as 24-bit BMP files.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace quorvant::win32::test_support {

inline void SaveWindowShot(HWND window, const char* name) {
  const char* folder = std::getenv("QUORVANT_SHOTS");
  if (!folder || !*folder) return;
  RECT box{};
  if (!::GetWindowRect(window, &box)) return;
  const int width = box.right - box.left;
  const int height = box.bottom - box.top;
  if (width <= 0 || height <= 0) return;

  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  (void)::BitBlt(memory, 0, 0, width, height, screen, box.left, box.top, SRCCOPY);
  (void)::SelectObject(memory, old);

  BITMAPINFOHEADER info{};
  info.biSize = sizeof(info);
  info.biWidth = width;
  info.biHeight = height;  // bottom-up, as a BMP file keeps its rows
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const int stride = (width * 3 + 3) & ~3;
  std::vector<unsigned char> pixels(static_cast<size_t>(stride) * height);
  (void)::GetDIBits(memory, bitmap, 0, height, pixels.data(),
                    reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  (void)::DeleteObject(bitmap);
  (void)::DeleteDC(memory);
  (void)::ReleaseDC(nullptr, screen);

  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  const std::string path = std::string(folder) + "\\" + name + ".bmp";
  if (FILE* out = std::fopen(path.c_str(), "wb")) {
    (void)std::fwrite(&file, sizeof(file), 1, out);
    (void)std::fwrite(&info, sizeof(info), 1, out);
    (void)std::fwrite(pixels.data(), 1, pixels.size(), out);
    (void)std::fclose(out);
  }
}

}  // namespace quorvant::win32::test_support
