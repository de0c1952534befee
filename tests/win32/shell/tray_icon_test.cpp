#include "shell/win32/tray_icon.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace quorvant::win32 {
namespace {

// A folder of its own for each case, removed with its files.
class TempFolder {
 public:
  TempFolder() {
    wchar_t base[MAX_PATH];
    (void)::GetTempPathW(MAX_PATH, base);
    static int made = 0;
    path_ = std::wstring(base) + L"quorvant-icon-" + std::to_wstring(::GetCurrentProcessId()) +
            L"-" + std::to_wstring(++made);
    (void)::CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~TempFolder() {
    (void)::DeleteFileW(IconFile().c_str());
    (void)::RemoveDirectoryW(path_.c_str());
  }
  const std::wstring& Path() const { return path_; }
  std::wstring IconFile() const { return path_ + L"\\ico.ico"; }
  void Write(const std::vector<std::uint8_t>& bytes) const {
    std::ofstream out(std::filesystem::path(IconFile()), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }

 private:
  std::wstring path_;
};

// A 16 x 16, 32-bit icon file of one opaque colour.
std::vector<std::uint8_t> SolidIconFile(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  std::vector<std::uint8_t> f;
  auto u16 = [&](unsigned v) { f.push_back(v & 0xFF), f.push_back((v >> 8) & 0xFF); };
  auto u32 = [&](unsigned v) { u16(v & 0xFFFF), u16(v >> 16); };
  constexpr unsigned kImageBytes = 40 + 16 * 16 * 4 + 16 * 4;
  u16(0), u16(1), u16(1);  // icon file, one image
  f.push_back(16), f.push_back(16), f.push_back(0), f.push_back(0);
  u16(1), u16(32), u32(kImageBytes), u32(6 + 16);  // planes, bits, size, offset
  u32(40), u32(16), u32(32), u16(1), u16(32), u32(0), u32(16 * 16 * 4), u32(0), u32(0), u32(0),
      u32(0);
  for (int i = 0; i < 16 * 16; ++i)
    f.push_back(b), f.push_back(g), f.push_back(r), f.push_back(255);
  for (int i = 0; i < 16 * 4; ++i) f.push_back(0);  // AND mask: all opaque
  return f;
}

// The colour of the icon's middle pixel, drawn on black.
COLORREF MiddlePixel(HICON icon) {
  HDC screen = ::GetDC(nullptr);
  HDC dc = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 16, 16);
  (void)::ReleaseDC(nullptr, screen);
  HGDIOBJ old = ::SelectObject(dc, bitmap);
  RECT all{0, 0, 16, 16};
  (void)::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
  (void)::DrawIconEx(dc, 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL);
  const COLORREF color = ::GetPixel(dc, 8, 8);
  (void)::SelectObject(dc, old);
  (void)::DeleteObject(bitmap);
  (void)::DeleteDC(dc);
  return color;
}

TEST(TrayIconTest, FileIconWinsAndAMissingOrBadFileFallsBackToTheProgramsOwn) {
  TempFolder empty;
  const unique_hicon own = LoadTrayIcon(empty.Path());
  ASSERT_TRUE(own) << "no ico.ico: the program's own icon, never a blank one";
  const COLORREF ownMiddle = MiddlePixel(own.get());
  EXPECT_NE(ownMiddle, RGB(0, 0, 0)) << "the program's icon has a picture";

  TempFolder red;
  red.Write(SolidIconFile(255, 0, 0));
  const unique_hicon fromFile = LoadTrayIcon(red.Path());
  ASSERT_TRUE(fromFile);
  EXPECT_EQ(MiddlePixel(fromFile.get()), RGB(255, 0, 0)) << "ico.ico wins when it loads";

  const std::vector<std::uint8_t> whole = SolidIconFile(255, 0, 0);
  const std::vector<std::vector<std::uint8_t>> bad = {
      {},  // empty
      {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'c', 'o', 'n'},
      std::vector<std::uint8_t>(whole.begin(), whole.begin() + 30),  // cut short
  };
  for (size_t i = 0; i < bad.size(); ++i) {
    TempFolder folder;
    folder.Write(bad[i]);
    const unique_hicon icon = LoadTrayIcon(folder.Path());
    ASSERT_TRUE(icon) << "bad file " << i;
    EXPECT_EQ(MiddlePixel(icon.get()), ownMiddle) << "bad file " << i;
  }
}

}  // namespace
}  // namespace quorvant::win32
