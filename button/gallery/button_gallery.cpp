// Every style of the button in its normal, hover, pressed, focused, default and disabled
// looks, on a dark background so the cut corners of the gradient styles show.
// button_gallery.exe [milliseconds]: close by itself after that long.
#include <windows.h>

#include <array>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "button/core/button_properties.h"
#include "button/win32/command.h"
#include "common/win32/unique_handle.h"
#include "common/win32/window.h"

namespace quorvant::win32 {
namespace {

constexpr int kLabelWidth = 170;
constexpr int kHeaderHeight = 34;
constexpr int kCellWidth = 112;
constexpr int kCellHeight = 42;
constexpr int kButtonWidth = 97;
constexpr int kButtonHeight = 25;
constexpr COLORREF kBackground = RGB(58, 64, 84);
constexpr COLORREF kLabelColor = RGB(235, 235, 235);
constexpr UINT_PTR kCloseTimerId = 1;

struct StyleRow {
  const wchar_t* label;
  std::int64_t buttonType;
  std::int64_t xpType;
  std::int64_t colorScheme;
};

constexpr std::array kRows = {
    StyleRow{L"1 XpStyle, XpBlue", 1, 1, 1},     StyleRow{L"1 XpStyle, XpOlive", 1, 2, 1},
    StyleRow{L"1 XpStyle, XpSilver", 1, 3, 1},   StyleRow{L"1 XpStyle, FixedGrey", 1, 1, 3},
    StyleRow{L"2 Classic3D", 2, 1, 1},           StyleRow{L"2 Classic3D, FromBackColor", 2, 1, 2},
    StyleRow{L"3 GlossGradient", 3, 1, 1},       StyleRow{L"3 GlossGradient, FixedGrey", 3, 1, 3},
    StyleRow{L"4 GlassGradient", 4, 1, 1},       StyleRow{L"5 OfficeXp", 5, 1, 1},
    StyleRow{L"5 OfficeXp, FixedGrey", 5, 1, 3},
};

enum class Look { kNormal, kHover, kPressed, kFocused, kDefault, kDisabled };
constexpr std::array kLooks = {Look::kNormal,  Look::kHover,   Look::kPressed,
                               Look::kFocused, Look::kDefault, Look::kDisabled};
constexpr std::array kLookNames = {L"normal",  L"hover",   L"pressed",
                                   L"focused", L"default", L"disabled"};

class GalleryWindow final : public Window<GalleryWindow> {
 public:
  bool Create(int closeAfterMs) {
    RegisterClassOnce(L"QuorvantButtonGallery");
    RECT r{0, 0, kLabelWidth + static_cast<int>(kLooks.size()) * kCellWidth,
           kHeaderHeight + static_cast<int>(kRows.size()) * kCellHeight};
    (void)::AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0);
    HWND hwnd = ::CreateWindowExW(
        0, L"QuorvantButtonGallery", L"Command gallery", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0,
        0, r.right - r.left, r.bottom - r.top, nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
    if (!hwnd) return false;
    AddButtons();
    (void)::ShowWindow(hwnd, SW_SHOW);
    if (closeAfterMs > 0) (void)::SetTimer(hwnd, kCloseTimerId, closeAfterMs, nullptr);
    return true;
  }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_ERASEBKGND: {
        RECT r{};
        (void)::GetClientRect(hwnd_, &r);
        unique_hbrush brush(::CreateSolidBrush(kBackground));
        (void)::FillRect(reinterpret_cast<HDC>(wParam), &r, brush.get());
        return 1;
      }
      case WM_PAINT:
        Paint();
        return 0;
      case WM_TIMER:
        if (wParam == kCloseTimerId) (void)::DestroyWindow(hwnd_);
        return 0;
      case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
      default:
        return DefaultProc(message, wParam, lParam);
    }
  }

 private:
  void AddButtons() {
    int id = 100;
    for (size_t row = 0; row < kRows.size(); ++row) {
      const StyleRow& style = kRows[row];
      for (size_t col = 0; col < kLooks.size(); ++col) {
        PropertyBag bag = button::ProgramButtonBag(L"&Release", kButtonWidth, kButtonHeight);
        bag.Set(L"xptype", style.xpType);
        bag.Set(L"colorscheme", style.colorScheme);
        bag.Set(L"backcolor", std::int64_t{RGB(120, 170, 210)});
        auto command = std::make_unique<Command>();
        const int x = kLabelWidth + static_cast<int>(col) * kCellWidth;
        const int y = kHeaderHeight + static_cast<int>(row) * kCellHeight;
        if (!command->Create(hwnd_, id++, bag, x, y, kButtonWidth, kButtonHeight)) continue;
        // Written, not loaded, so a glass button gets its blue preset as on a form.
        command->Core().SetButtonType(static_cast<std::int32_t>(style.buttonType));
        Show(*command, kLooks[col]);
        buttons_.push_back(std::move(command));
      }
    }
  }

  static void Show(Command& command, Look look) {
    button::CommandCore& core = command.Core();
    switch (look) {
      case Look::kNormal:
        break;
      case Look::kHover: {
        // Keep the hover poll finding the cursor over this button.
        HWND hwnd = command.Hwnd();
        command.SetCursorSource([hwnd] {
          POINT p{kButtonWidth / 2, kButtonHeight / 2};
          (void)::ClientToScreen(hwnd, &p);
          return p;
        });
        core.OnMouseMove(0, 0, kButtonWidth / 2.0f, kButtonHeight / 2.0f);
        break;
      }
      case Look::kPressed:
        core.OnMouseDown(button::kLeftButton, 0, 5, 5);
        break;
      case Look::kFocused:
        core.OnGotFocus();
        break;
      case Look::kDefault:
        command.SetDisplayAsDefault(true);
        break;
      case Look::kDisabled:
        core.SetEnabled(false);
        break;
    }
  }

  void Paint() {
    PAINTSTRUCT ps{};
    HDC dc = ::BeginPaint(hwnd_, &ps);
    HGDIOBJ oldFont = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
    (void)::SetBkMode(dc, TRANSPARENT);
    (void)::SetTextColor(dc, kLabelColor);
    for (size_t col = 0; col < kLookNames.size(); ++col) {
      RECT r{kLabelWidth + static_cast<int>(col) * kCellWidth, 0,
             kLabelWidth + static_cast<int>(col + 1) * kCellWidth, kHeaderHeight};
      (void)::DrawTextW(dc, kLookNames[col], -1, &r, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    }
    for (size_t row = 0; row < kRows.size(); ++row) {
      RECT r{8, kHeaderHeight + static_cast<int>(row) * kCellHeight, kLabelWidth,
             kHeaderHeight + static_cast<int>(row) * kCellHeight + kButtonHeight};
      (void)::DrawTextW(dc, kRows[row].label, -1, &r, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    }
    (void)::SelectObject(dc, oldFont);
    (void)::EndPaint(hwnd_, &ps);
  }

  std::vector<std::unique_ptr<Command>> buttons_;
};

}  // namespace
}  // namespace quorvant::win32

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  const int closeAfterMs =
      commandLine ? static_cast<int>(std::wcstol(commandLine, nullptr, 10)) : 0;
  quorvant::win32::GalleryWindow gallery;
  if (!gallery.Create(closeAfterMs)) return 1;
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    (void)::TranslateMessage(&msg);
    (void)::DispatchMessageW(&msg);
  }
  return 0;
}
