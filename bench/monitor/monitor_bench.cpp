// The cost of one TakeSample and one RedrawGraph of the status panel's monitor (415 x 55
// drawing area, five curves across the whole width), each printed as a ratio against a
// floor measured in the same run: natively on the raster canvas, and under Windows (Wine)
// with the system's readings and GDI.
#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "bench/table_row.h"
#include "common/core/raster_canvas.h"
#include "monitor/core/cpu_monitor.h"
#include "monitor/core/cpu_monitor_state.h"
#include "monitor/core/sample_history.h"

#ifdef _WIN32
#include "common/win32/gdi_canvas.h"
#include "monitor/win32/system_readings_win32.h"
#endif

namespace quorvant {
namespace {

constexpr int kScaleWidth = 415;
constexpr int kScaleHeight = 55;
constexpr int kOuterWidth = 417;
constexpr int kOuterHeight = 57;

// Levels that wander, so every curve has a shape worth drawing.
class WanderingReadings final : public SystemReadings {
 public:
  std::uint32_t PlatformId() override { return kPlatformWin32Nt; }
  std::optional<unsigned> NumberOfProcessors() override { return 4; }
  std::optional<std::int64_t> CurrentTime() override { return time_ += 10'000'000; }
  std::optional<std::int64_t> IdleTime() override {
    return idle_ += static_cast<std::int64_t>(Next() % 40'000'000);
  }
  void StartWin9xCounter() override {}
  std::optional<std::uint32_t> QueryWin9xCpuUsage() override { return std::nullopt; }
  void StopWin9xCounter() override {}
  void ShowMessage(std::wstring_view) override {}
  std::optional<MemoryStatus> GlobalMemoryStatus() override {
    constexpr std::uint64_t kTotal = 16ull << 30;
    return MemoryStatus{static_cast<std::uint32_t>(Next() % 101),
                        kTotal,
                        Next() % kTotal,
                        2 * kTotal,
                        Next() % (2 * kTotal),
                        128 * kTotal,
                        Next() % (128 * kTotal)};
  }
  DiskSpaceEx DiskFreeSpaceEx(std::wstring_view) override {
    constexpr std::uint64_t kTotal = 500ull << 30;
    const std::uint64_t free = Next() % kTotal;
    return {PlatformCall::kSucceeded, free, kTotal, free};
  }
  std::optional<DiskClusters> DiskFreeSpace(std::wstring_view) override { return std::nullopt; }
  std::wstring WindowsDirectory() override { return L"C:\\WINDOWS"; }
  NumberSymbols UserNumberSymbols() override { return {}; }

 private:
  std::uint64_t Next() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return state_ >> 16;
  }
  std::uint64_t state_ = 42;
  std::int64_t time_ = 0;
  std::int64_t idle_ = 0;
};

// The control's window reduced to its drawing surface.
class BenchHost final : public CpuMonitorHost {
 public:
  explicit BenchHost(Canvas& surface) : surface_(surface) {}
  Canvas& Surface() override { return surface_; }
  int OuterWidth() const override { return kOuterWidth; }
  int OuterHeight() const override { return kOuterHeight; }
  bool RunMode() const override { return true; }
  void ApplyAppearance(int) override {}
  void ApplyBorderStyle(int) override {}
  void ApplyEnabled(bool) override {}
  void SetTimerInterval(int) override {}
  void RefreshSurface() override {}
  void PropertyChanged(std::wstring_view) override {}

 private:
  Canvas& surface_;
};

// Median time of one call, in nanoseconds, over batches of about 20 ms each.
template <typename Fn>
double NanosecondsPerCall(Fn&& fn) {
  using Clock = std::chrono::steady_clock;
  constexpr auto kBatch = std::chrono::milliseconds(20);
  constexpr int kBatches = 9;
  long calls = 1;
  for (;;) {
    const auto start = Clock::now();
    for (long i = 0; i < calls; ++i) fn();
    if (Clock::now() - start >= kBatch) break;
    calls *= 2;
  }
  std::vector<double> perCall;
  for (int b = 0; b < kBatches; ++b) {
    const auto start = Clock::now();
    for (long i = 0; i < calls; ++i) fn();
    const std::chrono::duration<double, std::nano> spent = Clock::now() - start;
    perCall.push_back(spent.count() / static_cast<double>(calls));
  }
  std::nth_element(perCall.begin(), perCall.begin() + kBatches / 2, perCall.end());
  return perCall[kBatches / 2];
}

void Report(const char* what, double ns, double floorNs) {
  std::printf("  %-46s %10.2f us  %8.2f x floor\n", what, ns / 1000.0, ns / floorNs);
}

void Floor(const char* what, double ns) {
  std::printf("  %-46s %10.2f us  (floor)\n", what, ns / 1000.0);
}

// One TakeSample of the 415-column window over the given readings.
double TakeSampleNanoseconds(SystemReadings& readings) {
  ModuleCpuMonitorSupport support(readings);
  SampleHistory history;
  history.Allocate(kOuterWidth, kScaleWidth - 1);
  support.StartCpuSampling(true);
  return NanosecondsPerCall([&] { history.TakeSample(kScaleWidth, support, L"C:\\", true); });
}

// One RedrawGraph with the window full: five curves across the whole width.
double RedrawGraphNanoseconds(Canvas& surface) {
  WanderingReadings readings;
  ModuleCpuMonitorSupport support(readings);
  BenchHost host(surface);
  CpuMonitor monitor(host, support);
  monitor.ReadProperties(CpuMonitorStateProperties());
  for (int i = 0; i < kOuterWidth + 1; ++i) monitor.Timer1Tick();
  return NanosecondsPerCall([&] { monitor.RedrawGraph(); });
}

}  // namespace
}  // namespace quorvant

int main() {
  using namespace quorvant;
#ifdef _WIN32
  std::printf("monitor bench, Windows build: system readings, GDI canvas %dx%d\n", kScaleWidth,
              kScaleHeight);
  win32::PlatformSystemReadings system;
  // The cheapest of the system queries a sample makes. (GlobalMemoryStatusEx would be the
  // natural floor, but Wine answers it from a cache refreshed once a second.)
  const double queryFloor = NanosecondsPerCall([&] { (void)system.CurrentTime(); });
  Floor("one NtQuerySystemInformation (time of day)", queryFloor);
  const double sample = TakeSampleNanoseconds(system);
  Report("TakeSample (memory, disk C:, CPU)", sample, queryFloor);
  bench::TableRow("graph: one sample", sample / 1000, queryFloor / 1000, "us",
                  "Wine, floor one NtQuerySystemInformation");
  {
    ModuleCpuMonitorSupport support(system);
    SystemLevelSample sample;
    Report("  of which: memory reading",
           NanosecondsPerCall([&] { support.ReadMemoryLevels(sample); }), queryFloor);
    Report("  of which: disk reading",
           NanosecondsPerCall([&] { support.ReadDiskLevels(L"C:\\", sample); }), queryFloor);
    Report("  of which: CPU reading", NanosecondsPerCall([&] { (void)support.ReadCpuLevel(true); }),
           queryFloor);
  }

  win32::GdiCanvas canvas;
  canvas.Resize(kScaleWidth, kScaleHeight);
  const double clearFloor = NanosecondsPerCall([&] { canvas.Clear(0x404040); });
  Floor("one Clear of the GDI canvas", clearFloor);
  const double redraw = RedrawGraphNanoseconds(canvas);
  Report("RedrawGraph, grid + five full curves", redraw, clearFloor);
  bench::TableRow("graph: one redraw, 415 x 55", redraw / 1000, clearFloor / 1000, "us",
                  "Wine GDI, floor one Clear");
#else
  std::printf("monitor bench, native build: synthetic readings, raster canvas %dx%d\n", kScaleWidth,
              kScaleHeight);
  RasterCanvas canvas(kScaleWidth, kScaleHeight);
  const double clearFloor = NanosecondsPerCall([&] { canvas.Clear(0x404040); });
  Floor("one Clear of the raster canvas", clearFloor);
  WanderingReadings readings;
  Report("TakeSample (synthetic readings)", TakeSampleNanoseconds(readings), clearFloor);
  const double redraw = RedrawGraphNanoseconds(canvas);
  Report("RedrawGraph, grid + five full curves", redraw, clearFloor);
  bench::TableRow("graph: one redraw, 415 x 55", redraw / 1000, clearFloor / 1000, "us",
                  "native raster, floor one Clear");
#endif
  return 0;
}
