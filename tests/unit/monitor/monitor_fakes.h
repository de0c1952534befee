#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/core/raster_canvas.h"
#include "monitor/core/cpu_monitor.h"
#include "monitor/core/cpu_monitor_support.h"

namespace quorvant::testing {

// Platform readings a test sets by hand. The NT counters start at zero, one processor.
struct FakeReadings : SystemReadings {
  std::uint32_t platformId = kPlatformWin32Nt;
  std::optional<unsigned> processors = 1;
  std::optional<std::int64_t> currentTime = 0;
  std::optional<std::int64_t> idleTime = 0;
  std::optional<std::uint32_t> win9xValue;
  std::optional<MemoryStatus> memory;
  DiskSpaceEx diskEx;
  std::optional<DiskClusters> clusters;
  std::wstring windowsDirectory = L"C:\\WINDOWS";
  NumberSymbols symbols;

  int win9xStarts = 0;
  int win9xStops = 0;
  std::vector<std::wstring> messages;
  std::vector<std::wstring> diskPaths;

  std::uint32_t PlatformId() override { return platformId; }
  std::optional<unsigned> NumberOfProcessors() override { return processors; }
  std::optional<std::int64_t> CurrentTime() override { return currentTime; }
  std::optional<std::int64_t> IdleTime() override { return idleTime; }
  void StartWin9xCounter() override { ++win9xStarts; }
  std::optional<std::uint32_t> QueryWin9xCpuUsage() override { return win9xValue; }
  void StopWin9xCounter() override { ++win9xStops; }
  void ShowMessage(std::wstring_view text) override { messages.emplace_back(text); }
  std::optional<MemoryStatus> GlobalMemoryStatus() override { return memory; }
  DiskSpaceEx DiskFreeSpaceEx(std::wstring_view path) override {
    diskPaths.emplace_back(path);
    return diskEx;
  }
  std::optional<DiskClusters> DiskFreeSpace(std::wstring_view) override { return clusters; }
  std::wstring WindowsDirectory() override { return windowsDirectory; }
  NumberSymbols UserNumberSymbols() override { return symbols; }

  // A memory status whose load is `load` percent.
  void SetMemoryLoad(std::uint32_t load) {
    MemoryStatus m;
    m.memoryLoad = load;
    memory = m;
  }
};

// A raster canvas that also keeps the primitives drawn since the last Clear.
class RecordingCanvas final : public Canvas {
 public:
  struct LineCall {
    int x1, y1, x2, y2;
    Color color;
    friend bool operator==(const LineCall&, const LineCall&) = default;
  };
  struct PixelCall {
    int x, y;
    Color color;
    friend bool operator==(const PixelCall&, const PixelCall&) = default;
  };

  RecordingCanvas(int width, int height) : raster_(width, height) {}

  void Resize(int width, int height) { raster_ = RasterCanvas(width, height); }
  const RasterCanvas& Raster() const { return raster_; }
  std::vector<LineCall> LinesIn(Color color) const {
    std::vector<LineCall> out;
    for (const auto& l : lines) {
      if (l.color == color) out.push_back(l);
    }
    return out;
  }

  std::vector<LineCall> lines;
  std::vector<PixelCall> pixels;
  int clears = 0;

  int Width() const override { return raster_.Width(); }
  int Height() const override { return raster_.Height(); }
  void Clear(Color background) override {
    ++clears;
    lines.clear();
    pixels.clear();
    raster_.Clear(background);
  }
  void FillRect(int x, int y, int w, int h, Color color) override {
    raster_.FillRect(x, y, w, h, color);
  }
  void FrameRect(int x, int y, int w, int h, Color color) override {
    raster_.FrameRect(x, y, w, h, color);
  }
  void Line(int x1, int y1, int x2, int y2, Color color) override {
    lines.push_back({x1, y1, x2, y2, color});
    raster_.Line(x1, y1, x2, y2, color);
  }
  void SetPixel(int x, int y, Color color) override {
    pixels.push_back({x, y, color});
    raster_.SetPixel(x, y, color);
  }
  std::optional<Color> GetPixel(int x, int y) const override { return raster_.GetPixel(x, y); }
  void SetFont(const FontDesc& font) override { raster_.SetFont(font); }
  TextExtent MeasureText(std::wstring_view text) const override {
    return raster_.MeasureText(text);
  }
  void DrawString(std::wstring_view text, PixelRect rect, unsigned format, Color color) override {
    raster_.DrawString(text, rect, format, color);
  }
  void FocusRect(PixelRect rect) override { raster_.FocusRect(rect); }

 private:
  RasterCanvas raster_;
};

// The window a control lives in, reduced to what it is told. Sized like the status
// panel's monitor: 417 x 57 with a one-pixel border, so the drawing area is 415 x 55.
struct FakeHost : CpuMonitorHost {
  RecordingCanvas canvas{415, 55};
  int outerWidth = 417;
  int outerHeight = 57;
  bool runMode = true;
  int appliedAppearance = -1;
  int appliedBorderStyle = -1;
  std::optional<bool> appliedEnabled;
  std::optional<int> timerInterval;
  int refreshes = 0;
  std::vector<std::wstring> noted;

  Canvas& Surface() override { return canvas; }
  int OuterWidth() const override { return outerWidth; }
  int OuterHeight() const override { return outerHeight; }
  bool RunMode() const override { return runMode; }
  void ApplyAppearance(int value) override { appliedAppearance = value; }
  void ApplyBorderStyle(int value) override { appliedBorderStyle = value; }
  void ApplyEnabled(bool value) override { appliedEnabled = value; }
  void SetTimerInterval(int ms) override { timerInterval = ms; }
  void RefreshSurface() override { ++refreshes; }
  void PropertyChanged(std::wstring_view name) override { noted.emplace_back(name); }
};

}  // namespace quorvant::testing
