#include "monitor/core/sample_history.h"

#include <algorithm>

namespace quorvant {

void SampleHistory::Allocate(int lastSlot, int historyStart) {
  slots_.assign(static_cast<std::size_t>(std::max(lastSlot, 0)) + 1, SystemLevelSample{});
  historyStart_ = historyStart;
  newestSlot_ = -1;
}

void SampleHistory::EnsureColumns(int columns) {
  if (columns <= Size()) return;
  std::vector<SystemLevelSample> wider(static_cast<std::size_t>(columns));
  if (newestSlot_ >= 0) {
    const int shift = columns - 1 - newestSlot_;
    std::copy(slots_.begin(), slots_.begin() + newestSlot_ + 1, wider.begin() + shift);
    historyStart_ += shift;
    newestSlot_ = columns - 1;
  } else {
    historyStart_ = std::max(historyStart_, columns - 1);  // still nothing to draw
  }
  slots_ = std::move(wider);
}

void SampleHistory::TakeSample(int scaleWidth, ModuleCpuMonitorSupport& support,
                               std::wstring_view drivePath, bool isNt) {
  const int last = scaleWidth - 1;
  EnsureColumns(std::max(last, 0) + 1);
  if (last >= 1) std::copy(slots_.begin() + 1, slots_.begin() + last + 1, slots_.begin());
  if (historyStart_ >= 1) --historyStart_;
  newestSlot_ = std::max(last, 0);
  SystemLevelSample& newest = Slot(newestSlot_);
  support.ReadMemoryLevels(newest);
  support.ReadDiskLevels(drivePath, newest);
  newest.CPULoadPercent = support.ReadCpuLevel(isNt);
}

void SampleHistory::TakeSamples(std::int64_t count, int scaleWidth,
                                ModuleCpuMonitorSupport& support, std::wstring_view drivePath,
                                bool isNt) {
  if (count <= 0) return;
  const int columns = std::max(scaleWidth - 1, 0) + 1;
  EnsureColumns(columns);
  const int shift = static_cast<int>(std::min<std::int64_t>(count, columns));
  if (shift < columns) std::copy(slots_.begin() + shift, slots_.begin() + columns, slots_.begin());
  historyStart_ = static_cast<int>(std::max<std::int64_t>(historyStart_ - count, 0));
  newestSlot_ = columns - 1;
  // As in one step, a reading that fails leaves the newest sample's fields as they were.
  SystemLevelSample& newest = Slot(newestSlot_);
  support.ReadMemoryLevels(newest);
  support.ReadDiskLevels(drivePath, newest);
  newest.CPULoadPercent = support.ReadCpuLevel(isNt);
  std::fill(slots_.begin() + (columns - shift), slots_.begin() + newestSlot_, newest);
}

}  // namespace quorvant
