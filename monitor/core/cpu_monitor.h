#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/core/canvas.h"
#include "common/core/color.h"
#include "common/core/property_bag.h"
#include "monitor/core/cpu_monitor_support.h"
#include "monitor/core/sample_history.h"
#include "monitor/core/system_levels.h"

namespace quorvant {

// Names under which the control keeps its properties in its form's store.
namespace cpu_monitor_names {
inline constexpr std::wstring_view kBackColor = L"BackColor";
inline constexpr std::wstring_view kAppearance = L"Appearance";
inline constexpr std::wstring_view kBorderStyle = L"BorderStyle";
inline constexpr std::wstring_view kCPUMonitorDisplayed = L"CPUMonitorDisplayed";
inline constexpr std::wstring_view kPageFileDisplayed = L"PageFileDisplayed";
inline constexpr std::wstring_view kVirtualMemoryDisplayed = L"VirtualMemoryDisplayed";
inline constexpr std::wstring_view kCPUMonitorColor = L"CPUMonitorColor";
inline constexpr std::wstring_view kMemoryLoadDisplayed = L"MemoryLoadDisplayed";
inline constexpr std::wstring_view kMemoryColor = L"MemoryColor";
inline constexpr std::wstring_view kPageFileColor = L"PageFileColor";
inline constexpr std::wstring_view kVirtualMemoryColor = L"VirtualMemoryColor";
inline constexpr std::wstring_view kEnabled = L"Enabled";
inline constexpr std::wstring_view kDisplayGrid = L"DisplayGrid";
inline constexpr std::wstring_view kDisplayGridColor = L"DisplayGridColor";
inline constexpr std::wstring_view kUpdateInterval = L"UpdateInterval";
inline constexpr std::wstring_view kScrollGrid = L"ScrollGrid";
inline constexpr std::wstring_view kDiagramStyle = L"DiagramStyle";
inline constexpr std::wstring_view kHDMonitorDisplayed = L"HDMonitorDisplayed";
inline constexpr std::wstring_view kHDMonitorColor = L"HDMonitorColor";
inline constexpr std::wstring_view kHDDriveLetter = L"HDDriveLetter";
}  // namespace cpu_monitor_names

inline constexpr std::wstring_view kCpuMonitorTypeName = L"Quorvant.CpuMonitor";

inline constexpr int kAppearanceFlat = 0;
inline constexpr int kAppearance3D = 1;
inline constexpr int kBorderStyleNone = 0;
inline constexpr int kBorderStyleFixedSingle = 1;

inline constexpr std::int32_t kDiagramStyleLine = 0;
inline constexpr std::int32_t kDiagramStyleDots = 1;
inline constexpr std::int32_t kDiagramStyleBars = 2;

// Defaults, which are also a new control's values (the drive excepted).
inline constexpr Color kDefaultBackColor = 0x000000;
inline constexpr Color kDefaultCPUMonitorColor = 0x00FF00;     // green
inline constexpr Color kDefaultMemoryLoadColor = 0x00FFFF;     // yellow
inline constexpr Color kDefaultPageFileColor = 0x0000FF;       // red
inline constexpr Color kDefaultVirtualMemoryColor = 0xFF0000;  // blue
inline constexpr Color kDefaultHDMonitorColor = 0xFF80FF;      // light magenta
inline constexpr Color kDefaultDisplayGridColor = 0x008000;    // dark green
inline constexpr std::int32_t kDefaultUpdateInterval = 1000;   // ms
// The sampling timer takes intervals up to this many milliseconds.
inline constexpr std::int32_t kMaxUpdateInterval = 65535;

// What the control needs from the window it lives in. A fresh surface is
// three-dimensional, borderless and enabled.
class CpuMonitorHost {
 public:
  virtual ~CpuMonitorHost() = default;
  // The drawing area inside the border, ScaleWidth x ScaleHeight pixels, whose image stays
  // until it is drawn again.
  virtual Canvas& Surface() = 0;
  // The whole control, border included, in pixels.
  virtual int OuterWidth() const = 0;
  virtual int OuterHeight() const = 0;
  // False where the control is only shown, not run (a preview): then it neither samples nor
  // draws curves.
  virtual bool RunMode() const = 0;
  virtual void ApplyAppearance(int appearance) = 0;
  virtual void ApplyBorderStyle(int borderStyle) = 0;
  virtual void ApplyEnabled(bool enabled) = 0;
  // The sampling timer ticks every `milliseconds`; 0 stops it.
  virtual void SetTimerInterval(int milliseconds) = 0;
  // Shows the surface's new image.
  virtual void RefreshSurface() = 0;
  // The persisted property of this name changed, so the form has something to save.
  virtual void PropertyChanged(std::wstring_view persistedName) = 0;
};

// CpuMonitor: the graph control. Samples the five levels on its own timer and draws them
// as curves that scroll left one column per sample over an optional scrolling grid.
class CpuMonitor {
 public:
  using UpdateHandler = std::function<void(const SystemLevelReport&)>;
  using DblClickHandler = std::function<void()>;

  CpuMonitor(CpuMonitorHost& host, ModuleCpuMonitorSupport& support);
  CpuMonitor(const CpuMonitor&) = delete;
  CpuMonitor& operator=(const CpuMonitor&) = delete;
  ~CpuMonitor();

  // First placement: every property at its initial value; no sampling.
  void InitNew();
  // A form opening: the stored values, then monitoring starts.
  void ReadProperties(const PropertyBag& bag);
  void WriteProperties(PropertyBag& bag) const;
  // A tick of the sampling timer: one sample, a redraw and the Update event.
  void Timer1Tick();
  // The ticks the sampling timer did not deliver while its host held it (a hidden window): the
  // curves and the grid move on by as many columns as the time that went by, with one reading
  // standing for all of them, then one redraw and one Update event.
  void CatchUp(std::int64_t missedTicks);
  // While held (the control is out of sight behind another panel), Timer1 and CatchUp still
  // sample, so the history stays whole, but draw nothing; letting go draws once if a sample
  // came meanwhile, before the control is seen again.
  void HoldDrawing(bool held);
  bool DrawingHeld() const { return drawingHeld_; }
  void OnResize();
  void OnDblClick();
  // Stops sampling and the CPU counter a system without NT's CPU times needs stopped; later
  // calls do nothing.
  void Terminate();

  // Events.
  void SetUpdateHandler(UpdateHandler handler) { onUpdate_ = std::move(handler); }
  void SetDblClickHandler(DblClickHandler handler) { onDblClick_ = std::move(handler); }

  // Methods.
  void Refresh() { host_.RefreshSurface(); }
  // Realigns the grid without clearing the curves; always false.
  bool Reset();
  // Takes a sample without redrawing and returns it.
  SystemLevelReport GetCurrentSystemLevels();
  std::wstring FormatFilesize(double nValue);
  std::wstring FormatFilesize(std::int64_t nValue);

  // Properties. The setters that can be refused return false and then change nothing
  // else (no redraw, nothing noted).
  Color BackColor() const { return backColor_; }
  void SetBackColor(Color value);
  int Appearance() const { return appearance_; }
  bool SetAppearance(int value);
  int BorderStyle() const { return borderStyle_; }
  bool SetBorderStyle(int value);
  bool CPUMonitorDisplayed() const { return cpuMonitorDisplayed_; }
  void SetCPUMonitorDisplayed(bool value);
  bool PageFileDisplayed() const { return pageFileDisplayed_; }
  void SetPageFileDisplayed(bool value);
  bool VirtualMemoryDisplayed() const { return virtualMemoryDisplayed_; }
  void SetVirtualMemoryDisplayed(bool value);
  Color CPUMonitorColor() const { return cpuMonitorColor_; }
  void SetCPUMonitorColor(Color value);
  bool MemoryLoadDisplayed() const { return memoryLoadDisplayed_; }
  void SetMemoryLoadDisplayed(bool value);
  bool HDMonitorDisplayed() const { return hdMonitorDisplayed_; }
  void SetHDMonitorDisplayed(bool value);
  const std::wstring& HDDriveLetter() const { return hdDriveLetter_; }
  void SetHDDriveLetter(std::wstring_view value);
  Color HDMonitorColor() const { return hdMonitorColor_; }
  void SetHDMonitorColor(Color value);
  Color MemoryLoadColor() const { return memoryLoadColor_; }
  void SetMemoryLoadColor(Color value);
  Color PageFileColor() const { return pageFileColor_; }
  void SetPageFileColor(Color value);
  Color VirtualMemoryColor() const { return virtualMemoryColor_; }
  void SetVirtualMemoryColor(Color value);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  bool DisplayGrid() const { return displayGrid_; }
  void SetDisplayGrid(bool value);
  Color DisplayGridColor() const { return displayGridColor_; }
  void SetDisplayGridColor(Color value);
  std::int32_t UpdateInterval() const { return updateInterval_; }
  // Outside 0..65535 the timer refuses the value: it is kept, but the old interval stays
  // in force and nothing is noted.
  bool SetUpdateInterval(std::int32_t value);
  bool ScrollGrid() const { return scrollGrid_; }
  void SetScrollGrid(bool value);
  std::int32_t DiagramStyle() const { return diagramStyle_; }
  void SetDiagramStyle(std::int32_t value);

  // Drawing.
  void RedrawGraph();
  void DrawGrid();
  void DrawLevelCurve(float SystemLevelSample::*level, Color color);

  // State the drawing works from.
  std::int32_t GridOffset() const { return gridOffset_; }
  const SampleHistory& History() const { return history_; }
  bool Monitoring() const { return monitoring_; }

 private:
  int ScaleWidth() { return host_.Surface().Width(); }
  int ScaleHeight() { return host_.Surface().Height(); }
  int NewestSlot() { return ScaleWidth() > 1 ? ScaleWidth() - 1 : 0; }
  void StartMonitoring();
  void ApplyTimer();
  void AdvanceGrid(std::int64_t ticks);
  void RedrawUnlessHeld();
  void Changed(std::wstring_view persistedName, bool redraw);

  CpuMonitorHost& host_;
  ModuleCpuMonitorSupport& support_;

  Color backColor_ = kDefaultBackColor;
  int appearance_ = kAppearance3D;
  int borderStyle_ = kBorderStyleNone;
  bool enabled_ = true;
  bool cpuMonitorDisplayed_ = true;
  bool pageFileDisplayed_ = true;
  bool virtualMemoryDisplayed_ = true;
  bool memoryLoadDisplayed_ = true;
  bool hdMonitorDisplayed_ = true;
  Color cpuMonitorColor_ = kDefaultCPUMonitorColor;
  Color memoryLoadColor_ = kDefaultMemoryLoadColor;
  Color pageFileColor_ = kDefaultPageFileColor;
  Color virtualMemoryColor_ = kDefaultVirtualMemoryColor;
  Color hdMonitorColor_ = kDefaultHDMonitorColor;
  std::wstring hdDriveLetter_;
  bool displayGrid_ = true;
  Color displayGridColor_ = kDefaultDisplayGridColor;
  std::int32_t updateInterval_ = kDefaultUpdateInterval;
  bool scrollGrid_ = true;
  std::int32_t diagramStyle_ = kDiagramStyleLine;

  // Surface settings read from the store, applied when monitoring starts.
  int heldAppearance_ = 0;
  int heldBorderStyle_ = 0;
  bool heldEnabled_ = false;

  std::int32_t gridOffset_ = 0;
  int timerInterval_ = 0;
  bool timerEnabled_ = false;
  bool isNt_ = false;
  bool monitoring_ = false;
  bool drawingHeld_ = false;
  // A sample came while drawing was held: the image is behind the history.
  bool behind_ = false;
  SampleHistory history_;
  // The points of one curve, kept so a redraw allocates nothing.
  std::vector<CanvasPoint> curve_;

  UpdateHandler onUpdate_;
  DblClickHandler onDblClick_;
};

}  // namespace quorvant
