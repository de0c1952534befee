#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "monitor/core/cpu_monitor_support.h"
#include "monitor/core/system_levels.h"

namespace quorvant {

// SampleHistory: the sliding window of one monitor control. Slot x belongs to pixel
// column x of the drawing area; the newest sample sits in the rightmost column and older
// ones lie to its left. HistoryStart is one less than the index of the oldest sample drawn.
class SampleHistory {
 public:
  // Slots 0..lastSlot, all zero.
  void Allocate(int lastSlot, int historyStart);

  int HistoryStart() const { return historyStart_; }
  void SetHistoryStart(int value) { historyStart_ = value; }

  int Size() const { return static_cast<int>(slots_.size()); }
  bool Holds(int x) const { return x >= 0 && x < Size(); }
  const SystemLevelSample& Slot(int x) const { return slots_[static_cast<std::size_t>(x)]; }
  // The latest sample; null before the first.
  const SystemLevelSample* Newest() const {
    return Holds(newestSlot_) ? &slots_[static_cast<std::size_t>(newestSlot_)] : nullptr;
  }
  SystemLevelSample& Slot(int x) { return slots_[static_cast<std::size_t>(x)]; }

  // Makes room for a drawing area the given number of columns wide. A window that is too
  // narrow is reallocated with the newest sample in the rightmost column, so a control that
  // grows never reads past its samples.
  void EnsureColumns(int columns);

  // One sampling step: the window moves one column to the left (the sample in slot 0 is
  // lost), HistoryStart comes one closer to 0, and the newest column is read anew. A
  // reading that fails leaves that column's fields as they were.
  void TakeSample(int scaleWidth, ModuleCpuMonitorSupport& support, std::wstring_view drivePath,
                  bool isNt);
  // Sampling steps the timer did not take while the control was paused: the window moves
  // count columns (at most all of them) and one reading fills every new column. Its CPU
  // level is the average since the last reading, so it tells the truth about the gap.
  void TakeSamples(std::int64_t count, int scaleWidth, ModuleCpuMonitorSupport& support,
                   std::wstring_view drivePath, bool isNt);

 private:
  std::vector<SystemLevelSample> slots_;
  int historyStart_ = 0;
  int newestSlot_ = -1;  // where the last sample went; -1 before the first
};

}  // namespace quorvant
