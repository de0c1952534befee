#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "common/core/twips.h"
#include "common/win32/display_scale.h"
#include "common/win32/panel.h"
#include "shell/win32/form_quorvant.h"
#include "skin/resource.h"
#include "tests/win32/support/message_pump.h"

namespace quorvant::win32 {
namespace {

using test_support::PumpMessages;
using test_support::PumpUntil;

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

// The real main window laid out at a display DPI other than the design's: the DPI the
// program would have read from the screen at start-up is set directly.
class DisplayScaleTest : public ::testing::TestWithParam<int> {
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

struct Expected {
  int dpi;
  SIZE client;
  Box processPanel;
  Box checkNowImproveProcess;
};

// Halves round to the even pixel, as every conversion of the forms does.
constexpr Expected kExpected[] = {
    {96, {786, 557}, {256, 144, 521, 385}, {80, 104, 193, 17}},
    {120, {982, 696}, {320, 180, 651, 481}, {100, 130, 241, 21}},
    {144, {1179, 836}, {384, 216, 782, 578}, {120, 156, 290, 26}},
    {192, {1572, 1114}, {512, 288, 1042, 770}, {160, 208, 386, 34}},
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
  ASSERT_TRUE(::GetClientRect(main, &client));
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

  // The background artwork drawn for this scale covers the client area exactly.
  const unique_hbitmap background = LoadSkinBitmap(IDB_BACKGROUND);
  const SIZE size = BitmapSize(background.get());
  EXPECT_EQ(size.cx, e.client.cx);
  EXPECT_EQ(size.cy, e.client.cy);
}

INSTANTIATE_TEST_SUITE_P(Dpis, DisplayScaleTest, ::testing::Range(0, 4), [](const auto& info) {
  return std::to_string(kExpected[info.param].dpi);
});

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
