#include "monitor/win32/cpu_monitor_window.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "tests/unit/monitor/monitor_fakes.h"

namespace quorvant::win32 {
namespace {

constexpr Color kGrid = 0x80C0FF;
constexpr Color kBack = 0x404040;
constexpr int kNewestColumn = 414;  // the status panel's drawing area is 415 x 55

// Runs the message loop until done() holds or the time is up.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  while (!done()) {
    if (::GetTickCount64() > deadline) return false;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      (void)::TranslateMessage(&msg);
      (void)::DispatchMessageW(&msg);
    }
    (void)::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

// Stands in for the main form's status panel, hidden unless a test looks at the screen:
// under Wine without a window manager, taking a shown top-level window off the screen
// costs two seconds.
class Panel {
 public:
  Panel()
      : hwnd_(::CreateWindowExW(0, L"STATIC", L"status panel", WS_OVERLAPPEDWINDOW, 0, 0, 520, 360,
                                nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr)) {}
  Panel(const Panel&) = delete;
  Panel& operator=(const Panel&) = delete;
  ~Panel() { (void)::DestroyWindow(hwnd_); }
  HWND Hwnd() const { return hwnd_; }

 private:
  HWND hwnd_;
};

HWND SharedPanel() {
  static const Panel panel;
  return panel.Hwnd();
}

SIZE ClientSize(HWND hwnd) {
  RECT r{};
  (void)::GetClientRect(hwnd, &r);
  return {r.right, r.bottom};
}

TEST(CpuMonitorStateTest, SamplesOnItsOwnAndRaisesUpdateWithTheNewestSample) {
  const HWND panel = SharedPanel();
  const auto monitor = CreateCpuMonitorState(panel);
  ASSERT_TRUE(monitor);
  RECT outer{};
  ASSERT_TRUE(::GetWindowRect(monitor->Hwnd(), &outer)) << "GetWindowRect: " << ::GetLastError();
  (void)::MapWindowPoints(nullptr, panel, reinterpret_cast<POINT*>(&outer), 2);
  EXPECT_EQ(outer.left, 48);
  EXPECT_EQ(outer.top, 224);
  EXPECT_EQ(outer.right - outer.left, 417);
  EXPECT_EQ(outer.bottom - outer.top, 57);
  const SIZE client = ClientSize(monitor->Hwnd());
  EXPECT_EQ(client.cx, 415) << "a flat single border";
  EXPECT_EQ(client.cy, 55);
  EXPECT_EQ(monitor->Image().Width(), 415);

  CpuMonitor& control = monitor->Control();
  std::vector<SystemLevelReport> updates;
  control.SetUpdateHandler([&](const SystemLevelReport& r) { updates.push_back(r); });
  ASSERT_TRUE(control.SetUpdateInterval(30));
  ASSERT_TRUE(PumpUntil([&] { return updates.size() >= 3; }, 10000));

  const SystemLevelReport& newest = updates.back();
  EXPECT_EQ(newest, ToReport(control.History().Slot(kNewestColumn)));
  // The CPU level's range is checked over longer windows with the platform readings; over
  // 30 ms the unclamped arithmetic may stray a point or two past 0 or 100.
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof(status);
  ASSERT_TRUE(::GlobalMemoryStatusEx(&status)) << "GlobalMemoryStatusEx: " << ::GetLastError();
  EXPECT_EQ(newest.PhysicalMemoryTotal, status.ullTotalPhys);
  EXPECT_GT(newest.HDTotalBytes, 0) << "drive C:";
  EXPECT_EQ(control.GridOffset(), -static_cast<int>(updates.size()));
}

// Paused (its window hidden), the graph samples nothing; resumed, it moves on by the ticks
// it missed in one step and samples on its own again.
TEST(CpuMonitorStateTest, PausedGraphWaitsAndCatchesUpWhenResumed) {
  const auto monitor = CreateCpuMonitorState(SharedPanel());
  ASSERT_TRUE(monitor);
  CpuMonitor& control = monitor->Control();
  int updates = 0;
  control.SetUpdateHandler([&](const SystemLevelReport&) { ++updates; });
  monitor->Pause();
  ASSERT_TRUE(monitor->Paused());
  ASSERT_TRUE(control.SetUpdateInterval(50)) << "taken, and started only on resuming";
  const int historyStart = control.History().HistoryStart();
  const ULONGLONG pausedAt = ::GetTickCount64();
  (void)PumpUntil([] { return false; }, 500);
  EXPECT_EQ(updates, 0);
  EXPECT_EQ(control.History().HistoryStart(), historyStart);

  monitor->Resume();
  const auto missed = static_cast<int>((::GetTickCount64() - pausedAt) / 50);
  EXPECT_EQ(updates, 1) << "one Update for the whole gap";
  EXPECT_GE(historyStart - control.History().HistoryStart(), missed);
  EXPECT_TRUE(PumpUntil([&] { return updates >= 3; }, 5000)) << "sampling again";
}

// The same control over levels set by the test, so the picture is known.
class CpuMonitorWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    readings.memory = MemoryStatus{50, 100, 75, 100, 75, 100, 25};
    readings.diskEx = {PlatformCall::kSucceeded, 90, 100, 90};
    monitor =
        CpuMonitorWindow::Create(SharedPanel(), 48, 224, CpuMonitorStateProperties(), 7, support);
    ASSERT_TRUE(monitor);
    monitor->Control().SetUpdateHandler([this](const SystemLevelReport&) { ++updates; });
  }

  void Ticks(int count) {
    ASSERT_TRUE(monitor->Control().SetUpdateInterval(20));
    const int until = updates + count;
    ASSERT_TRUE(PumpUntil([&] { return updates >= until; }, 5000));
    ASSERT_TRUE(monitor->Control().SetUpdateInterval(0));
  }

  Color Pixel(int x, int y) const { return monitor->Image().GetPixel(x, y).value_or(0xFFFFFFFF); }

  testing::FakeReadings readings;
  ModuleCpuMonitorSupport support{readings};
  std::unique_ptr<CpuMonitorWindow> monitor;
  int updates = 0;
};

TEST_F(CpuMonitorWindowTest, BitmapShowsTheGridAndEachCurveInItsColour) {
  Ticks(6);  // the first two only bring HistoryStart from 416 to the drawing area's 414
  // Rows at a height of 55: CPU 100 % -> 0, disk 90 % free -> 6, virtual 75 % -> 14,
  // memory load 50 % -> 28, page file 25 % -> 41.
  const struct {
    int row;
    Color color;
  } curves[] = {{0, kDefaultCPUMonitorColor},
                {6, kDefaultHDMonitorColor},
                {14, kDefaultVirtualMemoryColor},
                {28, kDefaultMemoryLoadColor},
                {41, kDefaultPageFileColor}};
  for (const auto& c : curves) {
    EXPECT_EQ(Pixel(kNewestColumn - 2, c.row), c.color) << c.row;
    EXPECT_EQ(Pixel(kNewestColumn - 1, c.row), c.color) << c.row;
    EXPECT_NE(Pixel(kNewestColumn - 5, c.row), c.color) << "left of the samples " << c.row;
  }

  int line = monitor->Control().GridOffset();
  while (line < 100) line += 38;
  EXPECT_EQ(Pixel(line, 4), kGrid);
  EXPECT_EQ(Pixel(line + 1, 4), kBack);
  EXPECT_EQ(Pixel(line + 5, 9), kGrid);
  EXPECT_EQ(Pixel(line + 5, 10), kBack);
  EXPECT_EQ(Pixel(kNewestColumn, 30), kGrid) << "frame";

  // What WM_PAINT put on the screen is the bitmap.
  (void)::ShowWindow(SharedPanel(), SW_SHOWNOACTIVATE);
  monitor->Control().Refresh();
  HDC screen = ::GetDC(monitor->Hwnd());
  EXPECT_EQ(::GetPixel(screen, kNewestColumn - 2, 28), kDefaultMemoryLoadColor);
  EXPECT_EQ(::GetPixel(screen, line, 4), kGrid);
  (void)::ReleaseDC(monitor->Hwnd(), screen);
}

TEST_F(CpuMonitorWindowTest, DoubleClickRaisesDblClickAndTheBackgroundIsNeverErased) {
  int clicks = 0;
  monitor->Control().SetDblClickHandler([&] { ++clicks; });
  EXPECT_TRUE(::GetClassLongPtrW(monitor->Hwnd(), GCL_STYLE) & CS_DBLCLKS);
  (void)::SendMessageW(monitor->Hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
  EXPECT_EQ(clicks, 1);
  HDC dc = ::GetDC(monitor->Hwnd());
  EXPECT_EQ(::SendMessageW(monitor->Hwnd(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1);
  (void)::ReleaseDC(monitor->Hwnd(), dc);
  EXPECT_EQ(::GetDlgCtrlID(monitor->Hwnd()), 7);
}

TEST_F(CpuMonitorWindowTest, DisabledControlKeepsTicksQuiet) {
  CpuMonitor& control = monitor->Control();
  control.SetEnabled(false);
  EXPECT_FALSE(::IsWindowEnabled(monitor->Hwnd()));
  ASSERT_TRUE(control.SetUpdateInterval(20));
  EXPECT_FALSE(PumpUntil([&] { return updates > 0; }, 300));
  EXPECT_EQ(control.History().HistoryStart(), 416) << "no sample taken";
  control.SetEnabled(true);
  EXPECT_TRUE(PumpUntil([&] { return updates > 0; }, 5000));
}

TEST_F(CpuMonitorWindowTest, AppearanceAndBorderStyleShapeTheDrawingArea) {
  CpuMonitor& control = monitor->Control();
  const HWND hwnd = monitor->Hwnd();
  const struct {
    int appearance;
    int borderStyle;
    int width;
    bool flatBorder;
    bool sunkenEdge;
  } cases[] = {{kAppearance3D, kBorderStyleFixedSingle, 413, false, true},
               {kAppearance3D, kBorderStyleNone, 417, false, false},
               {kAppearanceFlat, kBorderStyleFixedSingle, 415, true, false}};
  for (const auto& c : cases) {
    ASSERT_TRUE(control.SetAppearance(c.appearance));
    ASSERT_TRUE(control.SetBorderStyle(c.borderStyle));
    EXPECT_EQ(ClientSize(hwnd).cx, c.width);
    EXPECT_EQ(monitor->Image().Width(), c.width);
    EXPECT_EQ((::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_BORDER) != 0, c.flatBorder);
    EXPECT_EQ((::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0, c.sunkenEdge);
    EXPECT_EQ(Pixel(c.width - 1, 20), kGrid) << "redrawn at the new size, frame at the edge";
  }
}

}  // namespace
}  // namespace quorvant::win32
