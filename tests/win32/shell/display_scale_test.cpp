#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/core/twips.h"
#include "common/win32/display_scale.h"
#include "common/win32/panel.h"
#include "shell/win32/main_window.h"
#include "skin/resource.h"
#include "tests/win32/support/message_pump.h"
#include "tests/win32/support/window_shot.h"

namespace quorvant::win32 {
namespace {

using test_support::PumpMessages;
using test_support::PumpUntil;
using test_support::SaveWindowShot;

struct Box {
  int left, top, width, height;
  friend bool operator==(const Box&, const Box&) = default;
};

// A child's place in its parent's client area.
Box PlaceInParent(HWND child) {
  RECT r{};
  (void)::GetWindowRect(child, &r);
  (void)::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  if (!bitmap || !::GetObjectW(bitmap, sizeof(info), &info)) return {};
  return {info.bmWidth, info.bmHeight};
}

// The real main window, closed and the design's scale put back after each test.
class MainWindowFixture : public ::testing::Test {
 protected:
  void TearDown() override {
    if (form_ && form_->Hwnd()) form_->ExitProgram();
    PumpMessages();
    form_.reset();
    (void)::DeleteFileW(ConfigFilePath().c_str());
    SetDisplayDpi(kDesignDpi);
  }

  std::unique_ptr<FormQuorvant> form_;
};

// The real main window laid out at a display DPI other than the design's: the DPI the
// program would have read from the screen at start-up is set directly.
class DisplayScaleTest : public MainWindowFixture, public ::testing::WithParamInterface<int> {};

struct Expected {
  int dpi;
  SIZE client;
  Box processPanel;
  Box checkNowImproveProcess;
  Box checkCalmBackground;  // beside it on the same row
};

// Halves round to the even pixel, as every conversion of the forms does.
constexpr Expected kExpected[] = {
    {96, {786, 557}, {256, 144, 521, 385}, {80, 104, 193, 17}, {288, 104, 209, 17}},
    {120, {982, 696}, {320, 180, 651, 481}, {100, 130, 241, 21}, {360, 130, 261, 21}},
    {144, {1179, 836}, {384, 216, 782, 578}, {120, 156, 290, 26}, {432, 156, 314, 26}},
    {192, {1572, 1114}, {512, 288, 1042, 770}, {160, 208, 386, 34}, {576, 208, 418, 34}},
};

TEST_P(DisplayScaleTest, WindowPanelsControlsAndArtworkFollowTheDpi) {
  const Expected& e = kExpected[GetParam()];
  SetDisplayDpi(e.dpi);
  (void)::DeleteFileW(ConfigFilePath().c_str());
  form_ = std::make_unique<FormQuorvant>();
  ASSERT_TRUE(form_->Create(::GetModuleHandleW(nullptr)));
  PumpMessages();
  const HWND main = form_->Hwnd();

  RECT client{};
  ASSERT_TRUE(::GetClientRect(main, &client)) << "GetClientRect: " << ::GetLastError();
  EXPECT_EQ(client.right, e.client.cx);
  EXPECT_EQ(client.bottom, e.client.cy);

  // Panels are the main window's children in entry order: status, then process.
  HWND panel = ::FindWindowExW(main, nullptr, Panel::kClassName, nullptr);
  panel = ::FindWindowExW(main, panel, Panel::kClassName, nullptr);
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(PlaceInParent(panel), e.processPanel);
  HWND check = ::FindWindowExW(panel, nullptr, L"Button", L"Enable speed up process");
  ASSERT_NE(check, nullptr);
  EXPECT_EQ(PlaceInParent(check), e.checkNowImproveProcess);
  HWND calm = ::FindWindowExW(panel, nullptr, L"Button", L"Calm background processes");
  ASSERT_NE(calm, nullptr);
  EXPECT_EQ(PlaceInParent(calm), e.checkCalmBackground);
  // Its font is the booster box's, made for this scale.
  EXPECT_EQ(::SendMessageW(calm, WM_GETFONT, 0, 0), ::SendMessageW(check, WM_GETFONT, 0, 0));

  // The background artwork drawn for this scale covers the client area exactly.
  const unique_hbitmap background = LoadSkinBitmap(IDB_BACKGROUND);
  const SIZE size = BitmapSize(background.get());
  EXPECT_EQ(size.cx, e.client.cx);
  EXPECT_EQ(size.cy, e.client.cy);
}

INSTANTIATE_TEST_SUITE_P(Dpis, DisplayScaleTest, ::testing::Range(0, 4), [](const auto& info) {
  return std::to_string(kExpected[info.param].dpi);
});

// What a user would see of a window's controls: every descendant window's class, place in
// its parent, visibility and font height, and the list views' column widths, one line each.
std::vector<std::string> ControlTree(HWND window) {
  std::vector<std::string> lines;
  auto walk = [&](auto& self, HWND parent, int depth) -> void {
    for (HWND child = ::GetWindow(parent, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
      char className[64]{};
      (void)::GetClassNameA(child, className, sizeof(className));
      const Box at = PlaceInParent(child);
      LOGFONTW font{};
      if (auto handle = reinterpret_cast<HFONT>(::SendMessageW(child, WM_GETFONT, 0, 0))) {
        (void)::GetObjectW(handle, sizeof(font), &font);
      }
      std::ostringstream line;
      line << std::string(depth * 2, ' ') << className << " #" << ::GetDlgCtrlID(child) << " "
           << at.left << "," << at.top << " " << at.width << "x" << at.height
           << (::GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE ? " shown" : " hidden") << " font "
           << font.lfHeight;
      if (std::string(className) == "SysListView32") {
        HWND header = reinterpret_cast<HWND>(::SendMessageW(child, LVM_GETHEADER, 0, 0));
        for (int i = 0, n = Header_GetItemCount(header); i < n; ++i) {
          line << " column " << ::SendMessageW(child, LVM_GETCOLUMNWIDTH, i, 0);
        }
      }
      lines.push_back(line.str());
      self(self, child, depth + 1);
    }
  };
  walk(walk, window, 0);
  return lines;
}

COLORREF ScreenPixel(HWND window, POINT at) {
  (void)::ClientToScreen(window, &at);
  HDC screen = ::GetDC(nullptr);
  const COLORREF pixel = ::GetPixel(screen, at.x, at.y);
  (void)::ReleaseDC(nullptr, screen);
  return pixel;
}

void ChangeDpi(HWND window, int dpi, const RECT& suggested) {
  (void)::SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                       reinterpret_cast<LPARAM>(&suggested));
  PumpMessages();
}

// A window moved to a monitor of another scale hears of it by WM_DPICHANGED, which Wine
// never sends (all its monitors share one scale): the message is sent here as the system
// would, with the suggested rectangle.
class DpiChangeTest : public MainWindowFixture {};

TEST_F(DpiChangeTest, TheWindowIsLaidOutAgainAtTheNewScaleAndBackAsFresh) {
  SetDisplayDpi(96);
  (void)::DeleteFileW(ConfigFilePath().c_str());
  form_ = std::make_unique<FormQuorvant>();
  ASSERT_TRUE(form_->Create(::GetModuleHandleW(nullptr)));
  PumpMessages();
  const HWND main = form_->Hwnd();
  const std::vector<std::string> fresh = ControlTree(main);
  SaveWindowShot(main, "dpi_change_1_at_96");

  // The system asks first for the size at the new scale: the design's, not 1.5 x 557.
  SIZE asked{};
  ASSERT_TRUE(::SendMessageW(main, kWmGetDpiScaledSize, 144, reinterpret_cast<LPARAM>(&asked)));
  EXPECT_EQ(asked.cx, 1179);
  EXPECT_EQ(asked.cy, 836);

  ChangeDpi(main, 144, {40, 30, 40 + 1179, 30 + 836});
  EXPECT_EQ(DisplayDpi(), 144);
  RECT window{};
  ASSERT_TRUE(::GetWindowRect(main, &window)) << "GetWindowRect: " << ::GetLastError();
  EXPECT_EQ(window.left, 40);
  EXPECT_EQ(window.top, 30);
  RECT client{};
  ASSERT_TRUE(::GetClientRect(main, &client)) << "GetClientRect: " << ::GetLastError();
  EXPECT_EQ(client.right, 1179);
  EXPECT_EQ(client.bottom, 836);

  HWND panel = ::FindWindowExW(main, nullptr, Panel::kClassName, nullptr);
  panel = ::FindWindowExW(main, panel, Panel::kClassName, nullptr);
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(PlaceInParent(panel), (Box{384, 216, 782, 578}));
  HWND check = ::FindWindowExW(panel, nullptr, L"Button", L"Enable speed up process");
  ASSERT_NE(check, nullptr);
  EXPECT_EQ(PlaceInParent(check), (Box{120, 156, 290, 26}));
  // Verdana 7.5 pt at 144 pixels per inch.
  LOGFONTW font{};
  ASSERT_TRUE(::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(check, WM_GETFONT, 0, 0)),
                           sizeof(font), &font));
  EXPECT_EQ(font.lfHeight, -15);
  // The 150 % artwork reaches the right edge, where the 100 % one would end 393 pixels short:
  // just inside the frame, between the header and the panels' card, the content grey.
  const POINT probe{client.right - 6, client.bottom * 130 / 557};
  COLORREF seen = CLR_INVALID;
  EXPECT_TRUE(PumpUntil([&] { return (seen = ScreenPixel(main, probe)) == RGB(229, 234, 239); },
                        std::chrono::seconds(5)))
      << std::hex << seen;

  SaveWindowShot(main, "dpi_change_2_at_144");
  // The same window at 144 as one created there.
  std::vector<std::string> at144 = ControlTree(main);

  // A suggestion a pixel off the design (the proportional guess from 144, where the system
  // did not ask first) is taken for its place only.
  ChangeDpi(main, 96, {40, 30, 40 + 787, 30 + 558});
  ASSERT_TRUE(::GetWindowRect(main, &window)) << "GetWindowRect: " << ::GetLastError();
  EXPECT_EQ(window.left, 40);
  EXPECT_EQ(window.top, 30);
  EXPECT_EQ(window.right - window.left, 786);
  EXPECT_EQ(window.bottom - window.top, 557);
  EXPECT_EQ(ControlTree(main), fresh);
  PumpMessages();
  SaveWindowShot(main, "dpi_change_3_back_at_96");

  form_->ExitProgram();
  PumpMessages();
  form_.reset();
  SetDisplayDpi(144);
  form_ = std::make_unique<FormQuorvant>();
  ASSERT_TRUE(form_->Create(::GetModuleHandleW(nullptr)));
  PumpMessages();
  EXPECT_EQ(ControlTree(form_->Hwnd()), at144);
}

// Between two drawn scales the larger artwork is scaled down to the display's size.
TEST(SkinBitmapTest, BetweenDrawnScalesTheLargerArtworkIsScaledDown) {
  struct Case {
    int dpi;
    int id;
    SIZE size;
  };
  const Case cases[] = {
      {96, IDB_STATE_PICTURE, {65, 37}},   {120, IDB_STATE_PICTURE, {81, 46}},
      {144, IDB_LIMIT_BANNER, {714, 110}}, {192, IDB_LIMIT_BANNER, {952, 146}},
      {108, IDB_BACKGROUND, {884, 627}},   {168, IDB_NAV_CPU_1, {413, 63}},
  };
  for (const auto& c : cases) {
    SetDisplayDpi(c.dpi);
    const unique_hbitmap bitmap = LoadSkinBitmap(c.id);
    const SIZE size = BitmapSize(bitmap.get());
    EXPECT_EQ(size.cx, c.size.cx) << c.dpi << " " << c.id;
    EXPECT_EQ(size.cy, c.size.cy) << c.dpi << " " << c.id;
  }
  SetDisplayDpi(kDesignDpi);
}

}  // namespace
}  // namespace quorvant::win32
