#include "monitor/core/cpu_monitor.h"

#include <algorithm>
#include <cmath>
#include <cwctype>
#include <limits>
#include <variant>

#include "common/core/rounding.h"
#include "monitor/core/format_filesize.h"

namespace quorvant {

namespace names = cpu_monitor_names;

namespace {

constexpr int kGridColumns = 11;
constexpr int kGridRows = 6;
constexpr double kPercent = 100.0;
// Rows far outside the surface are pinned here: nothing beyond shows, and the line
// primitives need not walk millions of clipped pixels for an absurd level.
constexpr double kRowLimit = 1 << 20;
// The extent a form keeps for its controls is in 0.01 mm, at 96 pixels per inch.
constexpr std::int64_t kHimetricPerInch = 2540;
constexpr std::int64_t kPixelsPerInch = 96;
constexpr std::size_t kDrivePrefixLength = 3;  // "C:\"
constexpr std::wstring_view kDriveSuffix = L":\\";

PropertyValue ColorValue(Color color) {
  return static_cast<std::int64_t>(static_cast<std::int32_t>(color));
}
PropertyValue Int16Value(int value) {
  return static_cast<std::int64_t>(static_cast<std::int16_t>(value));
}
PropertyValue Int32Value(std::int32_t value) { return static_cast<std::int64_t>(value); }
PropertyValue FlagValue(bool value) { return PersistedFlag(value); }

std::int64_t HimetricFromPixels(int pixels) {
  return static_cast<std::int64_t>(pixels) * kHimetricPerInch / kPixelsPerInch;
}

bool ValidSurfaceSetting(int value) { return value == 0 || value == 1; }

}  // namespace

CpuMonitor::CpuMonitor(CpuMonitorHost& host, ModuleCpuMonitorSupport& support)
    : host_(host), support_(support) {}

CpuMonitor::~CpuMonitor() { Terminate(); }

void CpuMonitor::InitNew() {
  backColor_ = kDefaultBackColor;
  cpuMonitorDisplayed_ = true;
  pageFileDisplayed_ = true;
  virtualMemoryDisplayed_ = true;
  cpuMonitorColor_ = kDefaultCPUMonitorColor;
  memoryLoadDisplayed_ = true;
  hdMonitorDisplayed_ = true;
  hdMonitorColor_ = kDefaultHDMonitorColor;
  memoryLoadColor_ = kDefaultMemoryLoadColor;
  pageFileColor_ = kDefaultPageFileColor;
  virtualMemoryColor_ = kDefaultVirtualMemoryColor;
  displayGrid_ = true;
  displayGridColor_ = kDefaultDisplayGridColor;
  updateInterval_ = kDefaultUpdateInterval;
  scrollGrid_ = true;
  diagramStyle_ = kDiagramStyleLine;
  // A new control watches the drive Windows lives on.
  hdDriveLetter_ = support_.GetWindowsFolder().substr(0, kDrivePrefixLength);
  appearance_ = kAppearance3D;
  host_.ApplyAppearance(appearance_);
  borderStyle_ = kBorderStyleFixedSingle;
  host_.ApplyBorderStyle(borderStyle_);
  RedrawGraph();
}

void CpuMonitor::ReadProperties(const PropertyBag& bag) {
  cpuMonitorDisplayed_ = bag.ReadFlag(names::kCPUMonitorDisplayed, true);
  pageFileDisplayed_ = bag.ReadFlag(names::kPageFileDisplayed, true);
  virtualMemoryDisplayed_ = bag.ReadFlag(names::kVirtualMemoryDisplayed, true);
  cpuMonitorColor_ = bag.ReadColor(names::kCPUMonitorColor, kDefaultCPUMonitorColor);
  memoryLoadDisplayed_ = bag.ReadFlag(names::kMemoryLoadDisplayed, true);
  memoryLoadColor_ = bag.ReadColor(names::kMemoryColor, kDefaultMemoryLoadColor);
  pageFileColor_ = bag.ReadColor(names::kPageFileColor, kDefaultPageFileColor);
  virtualMemoryColor_ = bag.ReadColor(names::kVirtualMemoryColor, kDefaultVirtualMemoryColor);
  displayGrid_ = bag.ReadFlag(names::kDisplayGrid, true);
  displayGridColor_ = bag.ReadColor(names::kDisplayGridColor, kDefaultDisplayGridColor);
  updateInterval_ = bag.ReadInt32(names::kUpdateInterval, kDefaultUpdateInterval);
  scrollGrid_ = bag.ReadFlag(names::kScrollGrid, true);
  diagramStyle_ = bag.ReadInt32(names::kDiagramStyle, kDiagramStyleLine);
  heldAppearance_ = bag.ReadInt32(names::kAppearance, kAppearance3D);
  heldBorderStyle_ = bag.ReadInt32(names::kBorderStyle, kBorderStyleFixedSingle);
  backColor_ = bag.ReadColor(names::kBackColor, kDefaultBackColor);
  heldEnabled_ = bag.ReadFlag(names::kEnabled, true);
  hdMonitorDisplayed_ = bag.ReadFlag(names::kHDMonitorDisplayed, true);
  hdMonitorColor_ = bag.ReadColor(names::kHDMonitorColor, kDefaultHDMonitorColor);
  // Taken as stored: the drive is normalised only when a program sets it.
  hdDriveLetter_ = bag.ReadText(names::kHDDriveLetter, {});
  StartMonitoring();
}

void CpuMonitor::StartMonitoring() {
  if (host_.RunMode()) {
    // An interval the timer cannot take leaves it at 0: the control never ticks.
    if (updateInterval_ >= 0 && updateInterval_ <= kMaxUpdateInterval) {
      timerInterval_ = updateInterval_;
    }
    timerEnabled_ = true;
    ApplyTimer();
  }
  history_.Allocate(host_.OuterWidth(), 0);
  isNt_ = support_.IsNtPlatform();
  support_.StartCpuSampling(isNt_);
  monitoring_ = true;
  history_.SetHistoryStart(ScaleWidth() - 1);
  if (ValidSurfaceSetting(heldAppearance_)) {
    appearance_ = heldAppearance_;
    host_.ApplyAppearance(appearance_);
  }
  if (ValidSurfaceSetting(heldBorderStyle_)) {
    borderStyle_ = heldBorderStyle_;
    host_.ApplyBorderStyle(borderStyle_);
  }
  enabled_ = heldEnabled_;
  host_.ApplyEnabled(enabled_);
}

void CpuMonitor::WriteProperties(PropertyBag& bag) const {
  bag.Set(PropertyBag::kExtentX, HimetricFromPixels(host_.OuterWidth()));
  bag.Set(PropertyBag::kExtentY, HimetricFromPixels(host_.OuterHeight()));
  bag.Write(names::kBackColor, ColorValue(backColor_), ColorValue(kDefaultBackColor));
  bag.Write(names::kAppearance, Int16Value(appearance_), Int16Value(kAppearance3D));
  bag.Write(names::kBorderStyle, Int16Value(borderStyle_), Int16Value(kBorderStyleFixedSingle));
  bag.Write(names::kCPUMonitorDisplayed, FlagValue(cpuMonitorDisplayed_), FlagValue(true));
  bag.Write(names::kPageFileDisplayed, FlagValue(pageFileDisplayed_), FlagValue(true));
  bag.Write(names::kVirtualMemoryDisplayed, FlagValue(virtualMemoryDisplayed_), FlagValue(true));
  bag.Write(names::kCPUMonitorColor, ColorValue(cpuMonitorColor_),
            ColorValue(kDefaultCPUMonitorColor));
  bag.Write(names::kMemoryLoadDisplayed, FlagValue(memoryLoadDisplayed_), FlagValue(true));
  bag.Write(names::kMemoryColor, ColorValue(memoryLoadColor_), ColorValue(kDefaultMemoryLoadColor));
  bag.Write(names::kPageFileColor, ColorValue(pageFileColor_), ColorValue(kDefaultPageFileColor));
  bag.Write(names::kVirtualMemoryColor, ColorValue(virtualMemoryColor_),
            ColorValue(kDefaultVirtualMemoryColor));
  bag.Write(names::kEnabled, FlagValue(enabled_), FlagValue(true));
  bag.Write(names::kDisplayGrid, FlagValue(displayGrid_), FlagValue(true));
  bag.Write(names::kDisplayGridColor, ColorValue(displayGridColor_),
            ColorValue(kDefaultDisplayGridColor));
  bag.Write(names::kUpdateInterval, Int32Value(updateInterval_),
            Int32Value(kDefaultUpdateInterval));
  bag.Write(names::kScrollGrid, FlagValue(scrollGrid_), FlagValue(true));
  bag.Write(names::kDiagramStyle, Int32Value(diagramStyle_), Int32Value(kDiagramStyleLine));
  bag.Write(names::kHDMonitorDisplayed, FlagValue(hdMonitorDisplayed_), FlagValue(true));
  bag.Write(names::kHDMonitorColor, ColorValue(hdMonitorColor_),
            ColorValue(kDefaultHDMonitorColor));
  bag.Write(names::kHDDriveLetter, hdDriveLetter_, std::wstring{});
}

void CpuMonitor::Timer1Tick() {
  if (!enabled_) return;
  if (!host_.RunMode()) return;
  // The grid moves with the curves; at the lowest offset the count stops rather than wraps.
  if (gridOffset_ > std::numeric_limits<std::int32_t>::min()) --gridOffset_;
  history_.TakeSample(ScaleWidth(), support_, hdDriveLetter_, isNt_);
  RedrawUnlessHeld();
  if (onUpdate_) onUpdate_(ToReport(history_.Slot(NewestSlot())));
}

void CpuMonitor::HoldDrawing(bool held) {
  drawingHeld_ = held;
  if (!held && behind_) RedrawGraph();
}

void CpuMonitor::RedrawUnlessHeld() {
  if (drawingHeld_) {
    behind_ = true;
    return;
  }
  RedrawGraph();
}

void CpuMonitor::CatchUp(std::int64_t missedTicks) {
  if (missedTicks <= 0 || !enabled_ || !host_.RunMode()) return;
  AdvanceGrid(missedTicks - 1);
  if (gridOffset_ > std::numeric_limits<std::int32_t>::min()) --gridOffset_;
  history_.TakeSamples(missedTicks, ScaleWidth(), support_, hdDriveLetter_, isNt_);
  RedrawUnlessHeld();
  if (onUpdate_) onUpdate_(ToReport(history_.Slot(NewestSlot())));
}

// Where the grid would stand after this many ticks, each drawn: with the grid shown the
// offset starts again at 0 once it reaches the width; hidden, it only counts down.
void CpuMonitor::AdvanceGrid(std::int64_t ticks) {
  if (ticks <= 0) return;
  const std::int64_t period = ScaleWidth() - 1;
  if (!displayGrid_) {
    constexpr std::int64_t kLowest = std::numeric_limits<std::int32_t>::min();
    gridOffset_ = static_cast<std::int32_t>(std::max(gridOffset_ - ticks, kLowest));
    return;
  }
  if (period <= 0) {
    gridOffset_ = 0;
    return;
  }
  // One step by hand brings an offset left from a wider surface into the cycle.
  if (gridOffset_ > std::numeric_limits<std::int32_t>::min()) --gridOffset_;
  if (gridOffset_ <= -period) gridOffset_ = 0;
  gridOffset_ = static_cast<std::int32_t>(-((-std::int64_t{gridOffset_} + ticks - 1) % period));
}

void CpuMonitor::OnResize() {
  if (monitoring_) history_.EnsureColumns(ScaleWidth());
  RedrawGraph();
}

void CpuMonitor::OnDblClick() {
  if (onDblClick_) onDblClick_();
}

void CpuMonitor::Terminate() {
  if (!monitoring_) return;
  monitoring_ = false;
  support_.StopCpuSampling(isNt_);
}

bool CpuMonitor::Reset() {
  gridOffset_ = 0;
  RedrawGraph();
  return false;
}

SystemLevelReport CpuMonitor::GetCurrentSystemLevels() {
  history_.TakeSample(ScaleWidth(), support_, hdDriveLetter_, isNt_);
  return ToReport(history_.Slot(NewestSlot()));
}

std::wstring CpuMonitor::FormatFilesize(double nValue) {
  return quorvant::FormatFilesize(nValue, support_.UserNumberSymbols());
}

std::wstring CpuMonitor::FormatFilesize(std::int64_t nValue) {
  return quorvant::FormatFilesize(nValue, support_.UserNumberSymbols());
}

void CpuMonitor::ApplyTimer() { host_.SetTimerInterval(timerEnabled_ ? timerInterval_ : 0); }

void CpuMonitor::Changed(std::wstring_view persistedName, bool redraw) {
  if (redraw) RedrawGraph();
  host_.PropertyChanged(persistedName);
}

void CpuMonitor::SetBackColor(Color value) {
  backColor_ = value;
  Changed(names::kBackColor, true);
}

bool CpuMonitor::SetAppearance(int value) {
  if (!ValidSurfaceSetting(value)) return false;
  appearance_ = value;
  host_.ApplyAppearance(value);
  Changed(names::kAppearance, true);
  return true;
}

bool CpuMonitor::SetBorderStyle(int value) {
  if (!ValidSurfaceSetting(value)) return false;
  borderStyle_ = value;
  host_.ApplyBorderStyle(value);
  Changed(names::kBorderStyle, true);
  return true;
}

void CpuMonitor::SetCPUMonitorDisplayed(bool value) {
  cpuMonitorDisplayed_ = value;
  Changed(names::kCPUMonitorDisplayed, true);
}

void CpuMonitor::SetPageFileDisplayed(bool value) {
  pageFileDisplayed_ = value;
  Changed(names::kPageFileDisplayed, true);
}

void CpuMonitor::SetVirtualMemoryDisplayed(bool value) {
  virtualMemoryDisplayed_ = value;
  Changed(names::kVirtualMemoryDisplayed, true);
}

void CpuMonitor::SetCPUMonitorColor(Color value) {
  cpuMonitorColor_ = value;
  Changed(names::kCPUMonitorColor, true);
}

void CpuMonitor::SetMemoryLoadDisplayed(bool value) {
  memoryLoadDisplayed_ = value;
  Changed(names::kMemoryLoadDisplayed, true);
}

void CpuMonitor::SetHDMonitorDisplayed(bool value) {
  hdMonitorDisplayed_ = value;
  Changed(names::kHDMonitorDisplayed, true);
}

void CpuMonitor::SetHDDriveLetter(std::wstring_view value) {
  if (value.empty()) return;
  if (value.size() == 1) {
    hdDriveLetter_.assign(1, value.front());
  } else {
    // Anything longer names the root of the drive it starts with: d:\temp watches D:\.
    hdDriveLetter_.assign(1, static_cast<wchar_t>(std::towupper(value.front())));
    hdDriveLetter_ += kDriveSuffix;
  }
  Changed(names::kHDDriveLetter, false);
}

void CpuMonitor::SetHDMonitorColor(Color value) {
  hdMonitorColor_ = value;
  Changed(names::kHDMonitorColor, true);
}

void CpuMonitor::SetMemoryLoadColor(Color value) {
  memoryLoadColor_ = value;
  Changed(names::kMemoryColor, true);
}

void CpuMonitor::SetPageFileColor(Color value) {
  pageFileColor_ = value;
  Changed(names::kPageFileColor, true);
}

void CpuMonitor::SetVirtualMemoryColor(Color value) {
  virtualMemoryColor_ = value;
  Changed(names::kVirtualMemoryColor, true);
}

void CpuMonitor::SetEnabled(bool value) {
  enabled_ = value;
  host_.ApplyEnabled(value);
  Changed(names::kEnabled, true);
}

void CpuMonitor::SetDisplayGrid(bool value) {
  displayGrid_ = value;
  Changed(names::kDisplayGrid, true);
}

void CpuMonitor::SetDisplayGridColor(Color value) {
  displayGridColor_ = value;
  Changed(names::kDisplayGridColor, true);
}

bool CpuMonitor::SetUpdateInterval(std::int32_t value) {
  updateInterval_ = value;
  if (host_.RunMode()) {
    if (value < 0 || value > kMaxUpdateInterval) return false;
    timerInterval_ = value;
    ApplyTimer();
  }
  Changed(names::kUpdateInterval, false);
  return true;
}

void CpuMonitor::SetScrollGrid(bool value) {
  scrollGrid_ = value;
  Changed(names::kScrollGrid, true);
}

void CpuMonitor::SetDiagramStyle(std::int32_t value) {
  diagramStyle_ = value;
  Changed(names::kDiagramStyle, true);
}

void CpuMonitor::RedrawGraph() {
  behind_ = false;
  Canvas& surface = host_.Surface();
  surface.Clear(backColor_);
  if (displayGrid_) DrawGrid();
  // A preview, not running, shows only the background, the grid and the frame.
  if (host_.RunMode()) {
    if (cpuMonitorDisplayed_) DrawLevelCurve(&SystemLevelSample::CPULoadPercent, cpuMonitorColor_);
    if (memoryLoadDisplayed_) {
      DrawLevelCurve(&SystemLevelSample::MemoryLoadPercent, memoryLoadColor_);
    }
    if (pageFileDisplayed_) {
      DrawLevelCurve(&SystemLevelSample::PageFileAvailablePercent, pageFileColor_);
    }
    if (virtualMemoryDisplayed_) {
      DrawLevelCurve(&SystemLevelSample::VirtualMemoryAvailablePercent, virtualMemoryColor_);
    }
    if (hdMonitorDisplayed_)
      DrawLevelCurve(&SystemLevelSample::HDAvailablePercent, hdMonitorColor_);
  }
  host_.RefreshSurface();
}

void CpuMonitor::DrawGrid() {
  Canvas& surface = host_.Surface();
  const int w = surface.Width();
  const int h = surface.Height();
  const Color color = displayGridColor_;

  // A pitch that rounds to 0 would never reach the far edge: that direction has no lines.
  const auto columnPitch = NearestInt(static_cast<double>(w - 1) / kGridColumns);
  if (columnPitch > 0) {
    std::int64_t x = scrollGrid_ ? gridOffset_ : 0;
    // Lines left of the surface do not show; start at the last one that might.
    if (x < 0) x += (-x / columnPitch) * columnPitch;
    for (; x <= w - 1; x += columnPitch)
      surface.Line(static_cast<int>(x), 0, static_cast<int>(x), h, color);
  }
  const auto rowPitch = NearestInt(static_cast<double>(h - 1) / kGridRows);
  if (rowPitch > 0) {
    for (std::int64_t y = 0; y <= h - 1; y += rowPitch) {
      surface.Line(0, static_cast<int>(y), w, static_cast<int>(y), color);
    }
  }
  surface.FrameRect(0, 0, w, h, color);

  // The offset runs 0, -1, ..., -(W - 1) and starts again.
  if (gridOffset_ <= -(w - 1)) gridOffset_ = 0;
}

void CpuMonitor::DrawLevelCurve(float SystemLevelSample::*level, Color color) {
  Canvas& surface = host_.Surface();
  const int w = surface.Width();
  const int h = surface.Height();
  const int start = history_.HistoryStart();
  // HistoryStart can still reflect a wider drawing area than the present one.
  if (start > w - 1) return;

  // 100 % on row 0, 0 % on row h (just below the last row).
  const auto row = [&](int x) {
    const double value = h - static_cast<double>(history_.Slot(x).*level) / kPercent * h;
    if (std::isnan(value)) return h + 1;
    return static_cast<int>(NearestInt(std::clamp(value, -kRowLimit, kRowLimit)));
  };
  if (diagramStyle_ == kDiagramStyleLine) {
    // One run of joined segments: drawn with one pen instead of one per column.
    curve_.clear();
    for (int x = start + 1; x <= w - 2 && history_.Holds(x + 1); ++x) {
      if (curve_.empty()) curve_.push_back({x, row(x)});
      curve_.push_back({x + 1, row(x + 1)});
    }
    surface.Polyline(curve_, color);
    return;
  }
  for (int x = start + 1; x <= w - 2 && history_.Holds(x + 1); ++x) {
    switch (diagramStyle_) {
      case kDiagramStyleDots:
        surface.SetPixel(x + 1, row(x), color);
        break;
      case kDiagramStyleBars:
        surface.Line(x, row(x), x, h, color);
        break;
      default:
        return;
    }
  }
}

}  // namespace quorvant
