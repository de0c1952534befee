#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <string>

#include "common/win32/panel.h"
#include "tests/e2e/app_driver.h"
#include "tests/support/wine.h"

namespace quorvant::e2e {
namespace {

constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
constexpr wchar_t kLogPixels[] = L"LogPixels";

std::optional<DWORD> ReadLogPixels() {
  DWORD value = 0, size = sizeof(value);
  if (::RegGetValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels, RRF_RT_REG_DWORD, nullptr, &value,
                     &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return value;
}

void WriteLogPixels(std::optional<DWORD> value) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
    ADD_FAILURE() << "cannot open the desktop settings";
    return;
  }
  if (value) {
    EXPECT_EQ(::RegSetValueExW(key, kLogPixels, 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&*value), sizeof(*value)),
              ERROR_SUCCESS);
  } else {
    (void)::RegDeleteValueW(key, kLogPixels);
  }
  (void)::RegCloseKey(key);
}

RECT PlaceInParent(HWND child) {
  RECT r{};
  (void)::GetWindowRect(child, &r);
  (void)::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};  // left, top, width, height
}

bool SameBox(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The system DPI is the prefix's LogPixels, which Wine reads when a process starts; the
// program is started after it is set and the setting put back afterwards, so other tests
// keep 96.
class DisplayScaleE2eTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    saved_ = ReadLogPixels();
    // Windows reads the setting at sign-in only.
    if (!testing_support::UnderWine())
      GTEST_SKIP() << "sets the system scale through Wine's prefix";
  }
  void TearDown() override { WriteLogPixels(saved_); }

  std::optional<DWORD> saved_;
  AppFolder folder_;
};

struct Expected {
  DWORD dpi;
  SIZE client;
  RECT processPanel;  // left, top, width, height
  RECT checkBox;
};

constexpr Expected kExpected[] = {
    {120, {982, 696}, {320, 180, 651, 481}, {100, 130, 241, 21}},
    {144, {1179, 836}, {384, 216, 782, 578}, {120, 156, 290, 26}},
    {192, {1572, 1114}, {512, 288, 1042, 770}, {160, 208, 386, 34}},
};

TEST_P(DisplayScaleE2eTest, TheProgramStartsLaidOutAtThePrefixDpi) {
  const Expected& e = kExpected[GetParam()];
  WriteLogPixels(e.dpi);
  AppProcess app(folder_.Exe());
  HWND main = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (main = app.MainWindow()) != nullptr; }));
  app.WaitForIdle();
  ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(main) != FALSE; }));

  RECT client{};
  ASSERT_TRUE(::GetClientRect(main, &client)) << "GetClientRect: " << ::GetLastError();
  EXPECT_EQ(client.right, e.client.cx);
  EXPECT_EQ(client.bottom, e.client.cy);

  HWND panel = ::FindWindowExW(main, nullptr, win32::Panel::kClassName, nullptr);
  panel = ::FindWindowExW(main, panel, win32::Panel::kClassName, nullptr);  // the process panel
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(SameBox(PlaceInParent(panel), e.processPanel));
  HWND check = FindDescendantByText(panel, L"Enable speed up process");
  ASSERT_NE(check, nullptr);
  EXPECT_TRUE(SameBox(PlaceInParent(check), e.checkBox));

  // The artwork drawn for this scale reaches the client area's right edge: just inside the
  // frame, between the header and the panels' card, the window's content grey. Artwork of a
  // smaller scale would end far short of it. The window is moved to bring that point onto
  // the screen, which a window at 200 % overhangs.
  const POINT probe{client.right - 6, client.bottom * 130 / 557};
  ASSERT_TRUE(::SetWindowPos(main, nullptr, ::GetSystemMetrics(SM_CXSCREEN) / 2 - probe.x,
                             ::GetSystemMetrics(SM_CYSCREEN) / 2 - probe.y, 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
  COLORREF seen = CLR_INVALID;
  EXPECT_TRUE(WaitFor([&] {
    POINT at = probe;
    (void)::ClientToScreen(main, &at);
    HDC screen = ::GetDC(nullptr);
    seen = ::GetPixel(screen, at.x, at.y);
    (void)::ReleaseDC(nullptr, screen);
    return seen == RGB(229, 234, 239);
  })) << std::hex
      << seen;
}

INSTANTIATE_TEST_SUITE_P(Dpis, DisplayScaleE2eTest, ::testing::Range(0, 3));

// A manifest setting of the program, read as the system's loader reads it; empty when absent.
std::wstring ManifestSetting(const std::wstring& exe, const wchar_t* space, const wchar_t* name) {
  ACTCTXW request{};
  request.cbSize = sizeof(request);
  request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  request.lpSource = exe.c_str();
  request.lpResourceName = MAKEINTRESOURCEW(1);
  HANDLE context = ::CreateActCtxW(&request);
  if (context == INVALID_HANDLE_VALUE) {
    ADD_FAILURE() << "no manifest in " << ::GetLastError();
    return {};
  }
  wchar_t value[128]{};
  SIZE_T written = 0;
  const bool found =
      ::QueryActCtxSettingsW(0, context, space, name, value, std::size(value), &written) != FALSE;
  ::ReleaseActCtx(context);
  return found ? value : L"";
}

// The system scales nothing of a per-monitor-aware program and tells it of each move to a
// monitor of another scale. Windows 10 1607 on read the list and take the first value they
// know; earlier systems read the older setting, per-monitor on 8.1, system-aware on 7.
TEST(DisplayScaleManifestTest, DeclaresPerMonitorAwarenessWithTheOlderSettingAsFallback) {
  const AppFolder folder;
  EXPECT_EQ(ManifestSetting(folder.Exe(), L"http://schemas.microsoft.com/SMI/2016/WindowsSettings",
                            L"dpiAwareness"),
            L"PerMonitorV2, PerMonitor");
  EXPECT_EQ(ManifestSetting(folder.Exe(), L"http://schemas.microsoft.com/SMI/2005/WindowsSettings",
                            L"dpiAware"),
            L"true/pm");
}

}  // namespace
}  // namespace quorvant::e2e
