#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "common/core/property_bag.h"
#include "common/core/tick_clock.h"
#include "common/core/twips.h"
#include "common/win32/accessible.h"
#include "common/win32/gdi_canvas.h"
#include "common/win32/window.h"
#include "monitor/core/cpu_monitor.h"
#include "monitor/core/cpu_monitor_state.h"
#include "monitor/win32/system_readings_win32.h"

namespace quorvant::win32 {

// The CpuMonitor control as a child window. It draws into a persistent memory bitmap and
// copies it to the screen when painted; Timer1 is a window timer. Forms describe it as
// data: a PropertyBag carrying its extent and the values that differ from the defaults.
// Screen readers find it as a chart whose value reads the latest figures of its curves.
class CpuMonitorWindow final : public Window<CpuMonitorWindow>,
                               private CpuMonitorHost,
                               private AccessibleSource {
 public:
  static constexpr wchar_t kClassName[] = L"QuorvantCpuMonitor";

  // Creates the control at (x, y) of parent, sized by the bag's extent, and loads it from
  // the bag; monitoring starts at once. Empty if the window cannot be created.
  static std::unique_ptr<CpuMonitorWindow> Create(
      HWND parent, int x, int y, const PropertyBag& stored, int controlId = 0,
      ModuleCpuMonitorSupport& support = ProcessCpuMonitorSupport());

  ~CpuMonitorWindow() override;

  // Moves the control to (x, y) of its parent and sizes it from its extent at the display's
  // scale, as Create did; the graph is drawn again in the new size.
  void PlaceAt(int x, int y);

  // Properties, methods and events (SetUpdateHandler, SetDblClickHandler).
  CpuMonitor& Control() { return control_; }
  // The hdc property: the device context of the persistent image.
  HDC Hdc() const { return canvas_.Dc(); }
  const GdiCanvas& Image() const { return canvas_; }

  // While the window it stands in is hidden the graph takes no samples and draws nothing;
  // Resume catches up with the time that went by (CpuMonitor::CatchUp), so the time axis
  // stays continuous, and starts Timer1 again.
  void Pause();
  void Resume();
  bool Paused() const { return paused_; }
  // While its panel is behind another one the graph keeps sampling but draws nothing (see
  // CpuMonitor::HoldDrawing); letting go draws it before the panel shows.
  void HoldDrawing(bool held);

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  explicit CpuMonitorWindow(ModuleCpuMonitorSupport& support) : control_(*this, support) {}

  // CpuMonitorHost
  Canvas& Surface() override { return canvas_; }
  int OuterWidth() const override;
  int OuterHeight() const override;
  bool RunMode() const override { return true; }
  void ApplyAppearance(int appearance) override;
  void ApplyBorderStyle(int borderStyle) override;
  void ApplyEnabled(bool enabled) override;
  void SetTimerInterval(int milliseconds) override;
  void RefreshSurface() override;
  void PropertyChanged(std::wstring_view) override {}  // nothing is saved at run time

  // AccessibleSource
  access::Tree AccessibleTree() const override;
  void DoDefaultAction(int) override {}  // a chart has none

  void StartTimer1();
  void UpdateFrame();
  void OnSize(int width, int height);
  void OnPaint();

  GdiCanvas canvas_;
  std::int64_t extentX_ = 0;  // the form's extent, 0.01 mm
  std::int64_t extentY_ = 0;
  int appearance_ = kAppearance3D;
  int borderStyle_ = kBorderStyleNone;
  int timerInterval_ = 0;  // Timer1's interval as the control set it; 0 stopped
  bool paused_ = false;
  TickClock timerClock_{kDefaultUpdateInterval};
  CpuMonitor control_;
  AccessibleHost accessible_{*this};
};

// Places the status panel's monitor, CpuMonitorState, on parent (the status panel) at its
// designed position, 417 x 57 pixels at 96 DPI. It samples and draws on its own.
std::unique_ptr<CpuMonitorWindow> CreateCpuMonitorState(
    HWND parent, int x = TwipsToPixels(kCpuMonitorStateLeftTwips),
    int y = TwipsToPixels(kCpuMonitorStateTopTwips));

}  // namespace quorvant::win32
