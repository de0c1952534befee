// monitor_demo: the monitor control on a window of its own, to look at by hand.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "common/core/color.h"
#include "common/win32/unique_handle.h"
#include "common/win32/window.h"
#include "monitor/win32/cpu_monitor_window.h"

namespace quorvant::win32 {
namespace {

constexpr int kClientWidth = 520;
constexpr int kClientHeight = 420;
constexpr int kPanelTop = 40;  // the status panel's monitor, shifted up to the window's top
constexpr int kMonitorTop = kPanelTop + kCpuMonitorStateTop - 200;
constexpr int kLegendTop = kMonitorTop + (4440 - 3360) / 15;
constexpr int kSwatchSize = 9;
constexpr int kCaptionGap = 16;
constexpr int kSmallMonitorTop = kLegendTop + 40;
constexpr int kSmallMonitorHeight = 90;
constexpr int kSmallMonitorWidth = 200;
constexpr int kStatusTop = kSmallMonitorTop + kSmallMonitorHeight + 16;
constexpr Color kOrange = Rgb(255, 128, 0);

struct LegendEntry {
  int left;
  Color color;
  const wchar_t* caption;
};
constexpr LegendEntry kLegend[] = {{600, Rgb(0, 255, 0), L"CPU"},
                                   {1440, Rgb(255, 255, 0), L"Memory"},
                                   {2640, Rgb(255, 0, 0), L"Page space"},
                                   {4080, Rgb(255, 128, 255), L"Disk space"},
                                   {5520, Rgb(0, 0, 255), L"Virual memory"}};

class DemoWindow final : public Window<DemoWindow> {
 public:
  bool Create() {
    RegisterClassOnce(L"QuorvantMonitorDemo", 0, ::GetSysColorBrush(COLOR_WINDOW));
    RECT r{0, 0, kClientWidth, kClientHeight};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    (void)::AdjustWindowRect(&r, style, FALSE);
    return ::CreateWindowExW(0, L"QuorvantMonitorDemo", L"CpuMonitor", style, CW_USEDEFAULT,
                             CW_USEDEFAULT, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                             ::GetModuleHandleW(nullptr), this) != nullptr;
  }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_CREATE:
        OnCreate();
        return 0;
      case WM_PAINT:
        OnPaint();
        return 0;
      case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
      default:
        return DefaultProc(message, wParam, lParam);
    }
  }

 private:
  void OnCreate() {
    state_ = CreateCpuMonitorState(hwnd_, kCpuMonitorStateLeft, kMonitorTop);
    if (state_) {
      state_->Control().SetUpdateHandler([this](const SystemLevelReport& r) { ShowLevels(r); });
      state_->Control().SetDblClickHandler([this] { (void)state_->Control().Reset(); });
    }

    // The same control as a form might describe it otherwise: 3-D, black, dots, faster.
    PropertyBag dots(std::wstring(kCpuMonitorTypeName),
                     {{L"_extentx", std::int64_t{kSmallMonitorWidth * 2540 / 96}},
                      {L"_extenty", std::int64_t{kSmallMonitorHeight * 2540 / 96}},
                      {L"DiagramStyle", std::int64_t{kDiagramStyleDots}},
                      {L"UpdateInterval", std::int64_t{250}},
                      {L"HDDriveLetter", std::wstring(L"C:\\")}});
    dots_ = CpuMonitorWindow::Create(hwnd_, 48, kSmallMonitorTop, dots);
    PropertyBag bars = dots;
    bars.Set(L"DiagramStyle", std::int64_t{kDiagramStyleBars});
    bars.Set(L"CPUMonitorDisplayed", std::int64_t{0});
    bars.Set(L"ScrollGrid", std::int64_t{0});
    bars.Set(L"BackColor", std::int64_t{0x202020});
    bars.Set(L"DisplayGridColor", std::int64_t{0x505050});
    bars_ = CpuMonitorWindow::Create(hwnd_, 48 + kSmallMonitorWidth + 17, kSmallMonitorTop, bars);
  }

  void ShowLevels(const SystemLevelReport& r) {
    CpuMonitor& m = state_->Control();
    levels_ = L"CPU " + std::to_wstring(r.CPULoadPercent) + L"%   Memory " +
              std::to_wstring(r.MemoryLoadPercent) + L"%   Physical " +
              m.FormatFilesize(static_cast<double>(r.PhysicalMemoryTotal)) + L", " +
              m.FormatFilesize(static_cast<double>(r.PhysicalMemoryAvailable)) + L" free";
    wchar_t share[32];
    std::swprintf(share, 32, L"%.4f", static_cast<double>(r.HDAvailablePercent));
    disk_ = m.HDDriveLetter() + L"  " + m.FormatFilesize(r.HDAvailableFreeBytes) + L" of " +
            m.FormatFilesize(r.HDTotalBytes) + L" free (" + share + L"%)";
    RECT area{0, kStatusTop, kClientWidth, kClientHeight};
    (void)::InvalidateRect(hwnd_, &area, TRUE);
  }

  void OnPaint() {
    PAINTSTRUCT paint{};
    HDC dc = ::BeginPaint(hwnd_, &paint);
    (void)::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
    (void)::SetBkMode(dc, TRANSPARENT);
    (void)::SetTextColor(dc, kOrange);
    Text(dc, 56, kPanelTop, L"System resource status");
    for (const auto& entry : kLegend) {
      const int x = entry.left / 15;
      unique_hbrush brush(::CreateSolidBrush(entry.color));
      const RECT swatch{x, kLegendTop, x + kSwatchSize, kLegendTop + kSwatchSize};
      (void)::FillRect(dc, &swatch, brush.get());
      (void)::SetTextColor(dc, Rgb(64, 64, 64));
      Text(dc, x + kCaptionGap, kLegendTop - 3, entry.caption);
    }
    (void)::SetTextColor(dc, Rgb(64, 64, 64));
    Text(dc, 48, kSmallMonitorTop - 16, L"Dots, 3-D, 250 ms");
    Text(dc, 48 + kSmallMonitorWidth + 17, kSmallMonitorTop - 16, L"Bars, fixed grid, 250 ms");
    Text(dc, 48, kStatusTop, levels_);
    Text(dc, 48, kStatusTop + 18, disk_);
    (void)::EndPaint(hwnd_, &paint);
  }

  static void Text(HDC dc, int x, int y, const std::wstring& text) {
    (void)::TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
  }

  std::unique_ptr<CpuMonitorWindow> state_;
  std::unique_ptr<CpuMonitorWindow> dots_;
  std::unique_ptr<CpuMonitorWindow> bars_;
  std::wstring levels_ = L"Waiting for the first sample...";
  std::wstring disk_;
};

}  // namespace
}  // namespace quorvant::win32

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  quorvant::win32::DemoWindow window;
  if (!window.Create()) return 1;
  (void)::ShowWindow(window.Hwnd(), show);
  MSG msg{};
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    (void)::TranslateMessage(&msg);
    (void)::DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
