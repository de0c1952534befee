#include "monitor/win32/cpu_monitor_window.h"

#include "common/core/rounding.h"
#include "common/core/twips.h"
#include "common/win32/coalescable_timer.h"

namespace quorvant::win32 {

namespace {

constexpr UINT_PTR kTimer1 = 1;
// A form's extents are in 0.01 mm; the control works in pixels at the display's DPI.
constexpr double kHimetricPerInch = 2540.0;

int PixelsFromHimetric(std::int64_t himetric) {
  return static_cast<int>(
      NearestInt(static_cast<double>(himetric) * (DisplayDpi() / kHimetricPerInch)));
}

}  // namespace

std::unique_ptr<CpuMonitorWindow> CpuMonitorWindow::Create(HWND parent, int x, int y,
                                                           const PropertyBag& stored, int controlId,
                                                           ModuleCpuMonitorSupport& support) {
  RegisterClassOnce(kClassName, CS_DBLCLKS);
  std::unique_ptr<CpuMonitorWindow> window(new CpuMonitorWindow(support));
  window->extentX_ = stored.ReadInt(PropertyBag::kExtentX, 0);
  window->extentY_ = stored.ReadInt(PropertyBag::kExtentY, 0);
  const int width = PixelsFromHimetric(window->extentX_);
  const int height = PixelsFromHimetric(window->extentY_);
  // Borderless at first: the stored look is applied once monitoring has started.
  if (!::CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, x, y, width,
                         height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)),
                         ::GetModuleHandleW(nullptr), window.get())) {
    return nullptr;
  }
  window->control_.ReadProperties(stored);
  // Sited at its size: the first picture.
  window->control_.OnResize();
  // What a screen reader hears of later is measured from here.
  window->accessible_.Update();
  return window;
}

void CpuMonitorWindow::PlaceAt(int x, int y) {
  if (!hwnd_) return;
  // WM_SIZE follows, which resizes the image and redraws it.
  (void)::SetWindowPos(hwnd_, nullptr, x, y, PixelsFromHimetric(extentX_),
                       PixelsFromHimetric(extentY_), SWP_NOZORDER | SWP_NOACTIVATE);
}

CpuMonitorWindow::~CpuMonitorWindow() {
  if (hwnd_) (void)::KillTimer(hwnd_, kTimer1);
  control_.Terminate();
}

LRESULT CpuMonitorWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT accessibleResult = 0;
  if (accessible_.HandleMessage(hwnd_, message, wParam, lParam, accessibleResult)) {
    return accessibleResult;
  }
  switch (message) {
    case WM_SIZE:
      OnSize(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the bitmap covers every pixel
    case WM_TIMER:
      if (wParam == kTimer1) {
        timerClock_.MarkTick(::GetTickCount64());
        control_.Timer1Tick();
        // The spoken figures follow the graph's own rate, while it can be seen.
        if (!control_.DrawingHeld()) accessible_.Update();
        return 0;
      }
      break;
    case WM_LBUTTONDBLCLK:
      control_.OnDblClick();
      return 0;
    case WM_DESTROY:
      (void)::KillTimer(hwnd_, kTimer1);
      control_.Terminate();
      return 0;
    default:
      break;
  }
  return DefaultProc(message, wParam, lParam);
}

int CpuMonitorWindow::OuterWidth() const {
  RECT r{};
  if (!hwnd_ || !::GetWindowRect(hwnd_, &r)) return 0;
  return r.right - r.left;
}

int CpuMonitorWindow::OuterHeight() const {
  RECT r{};
  if (!hwnd_ || !::GetWindowRect(hwnd_, &r)) return 0;
  return r.bottom - r.top;
}

void CpuMonitorWindow::ApplyAppearance(int appearance) {
  appearance_ = appearance;
  UpdateFrame();
}

void CpuMonitorWindow::ApplyBorderStyle(int borderStyle) {
  borderStyle_ = borderStyle;
  UpdateFrame();
}

// A fixed single border is a sunken edge when three-dimensional, one flat line otherwise.
void CpuMonitorWindow::UpdateFrame() {
  if (!hwnd_) return;
  const bool border = borderStyle_ == kBorderStyleFixedSingle;
  const bool sunken = border && appearance_ == kAppearance3D;
  auto style = static_cast<LONG_PTR>(::GetWindowLongPtrW(hwnd_, GWL_STYLE));
  auto exStyle = static_cast<LONG_PTR>(::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
  style = (border && !sunken) ? (style | WS_BORDER) : (style & ~static_cast<LONG_PTR>(WS_BORDER));
  exStyle =
      sunken ? (exStyle | WS_EX_CLIENTEDGE) : (exStyle & ~static_cast<LONG_PTR>(WS_EX_CLIENTEDGE));
  (void)::SetWindowLongPtrW(hwnd_, GWL_STYLE, style);
  (void)::SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, exStyle);
  // The client area changes with the frame; WM_SIZE follows and redraws.
  (void)::SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                       SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CpuMonitorWindow::ApplyEnabled(bool enabled) {
  if (hwnd_) (void)::EnableWindow(hwnd_, enabled ? TRUE : FALSE);
}

void CpuMonitorWindow::SetTimerInterval(int milliseconds) {
  if (!hwnd_) return;
  timerInterval_ = milliseconds > 0 ? milliseconds : 0;
  if (timerInterval_ > 0) timerClock_.SetPeriodMs(static_cast<std::uint32_t>(timerInterval_));
  // A paused graph takes the new interval when it resumes.
  if (paused_) return;
  if (timerInterval_ == 0) {
    (void)::KillTimer(hwnd_, kTimer1);
  } else {
    StartTimer1();
    timerClock_.MarkTick(::GetTickCount64());
  }
}

void CpuMonitorWindow::StartTimer1() {
  const auto interval = static_cast<UINT>(timerInterval_);
  (void)SetCoalescableWindowTimer(hwnd_, kTimer1, interval, CoalescingTolerance(interval));
}

void CpuMonitorWindow::Pause() {
  if (paused_ || !hwnd_) return;
  paused_ = true;
  (void)::KillTimer(hwnd_, kTimer1);
}

void CpuMonitorWindow::Resume() {
  if (!paused_ || !hwnd_) return;
  paused_ = false;
  if (timerInterval_ == 0) return;
  control_.CatchUp(timerClock_.CatchUp(::GetTickCount64()));
  accessible_.Update();
  StartTimer1();
}

void CpuMonitorWindow::HoldDrawing(bool held) {
  if (held == control_.DrawingHeld()) return;
  control_.HoldDrawing(held);
  if (!held) accessible_.Update();
}

void CpuMonitorWindow::RefreshSurface() {
  if (hwnd_) (void)::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void CpuMonitorWindow::OnSize(int width, int height) {
  canvas_.Resize(width, height);
  control_.OnResize();
}

void CpuMonitorWindow::OnPaint() {
  PAINTSTRUCT paint{};
  HDC dc = ::BeginPaint(hwnd_, &paint);
  if (dc) canvas_.BlitTo(dc);
  (void)::EndPaint(hwnd_, &paint);
}

std::unique_ptr<CpuMonitorWindow> CreateCpuMonitorState(HWND parent, int x, int y) {
  return CpuMonitorWindow::Create(parent, x, y, CpuMonitorStateProperties());
}

access::Tree CpuMonitorWindow::AccessibleTree() const {
  access::MonitorFigures figures;
  const CpuMonitor& c = control_;
  if (const SystemLevelSample* newest = c.History().Newest()) {
    figures.sampled = true;
    if (c.CPUMonitorDisplayed()) figures.cpu = newest->CPULoadPercent;
    if (c.MemoryLoadDisplayed()) figures.memory = newest->MemoryLoadPercent;
    if (c.PageFileDisplayed()) figures.pageFile = newest->PageFileAvailablePercent;
    if (c.VirtualMemoryDisplayed()) figures.virtualMemory = newest->VirtualMemoryAvailablePercent;
    if (c.HDMonitorDisplayed()) figures.diskFree = newest->HDAvailablePercent;
  }
  figures.drive = c.HDDriveLetter();
  figures.enabled = c.Enabled();
  figures.visible = hwnd_ && ::IsWindowVisible(hwnd_);
  RECT client{};
  if (hwnd_) (void)::GetClientRect(hwnd_, &client);
  return access::Tree(access::DescribeMonitor(figures),
                      {0, 0, client.right - client.left, client.bottom - client.top});
}

}  // namespace quorvant::win32
