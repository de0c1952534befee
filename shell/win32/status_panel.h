#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <string_view>

#include "common/win32/font_cache.h"
#include "common/win32/live_label.h"
#include "common/win32/panel.h"
#include "common/win32/unique_handle.h"
#include "monitor/win32/cpu_monitor_window.h"

namespace quorvant::win32 {

// The status panel: five lines that sum up the three ways, the live system graph and its
// legend. Only the clock is its own; the other figures are handed to it by the form as the
// features produce them.
class StatusPanel {
 public:
  // Creates the panel's texts, labels and graph and lays them out.
  StatusPanel(Panel& panel, FontCache& fonts);
  StatusPanel(const StatusPanel&) = delete;
  StatusPanel& operator=(const StatusPanel&) = delete;

  // Places the panel's texts, labels, graph and picture from their twips places at the
  // display's scale, in fonts and artwork of that scale.
  void LayOut();

  // The clock's tick: the time of day.
  void TimerStateTick();
  // "Whole system faster:" after a boost, such as "14%".
  void SetSpeed(std::wstring_view text);
  // The title of the window being sped up.
  void SetNowImproving(std::wstring_view title);
  // The number of limits held.
  void SetLimitedCount(int count);
  // The used share of physical memory, in percent.
  void SetMemoryUsage(int percent);

  CpuMonitorWindow* Monitor() const { return monitor_.get(); }
  const LiveLabel& TimeLabel() const { return labelTime_; }
  const LiveLabel& SpeedLabel() const { return labelSpeed_; }
  const LiveLabel& NowImprovingLabel() const { return labelStateNowImproving_; }
  const LiveLabel& LimitedLabel() const { return labelStateProcessLimited_; }
  const LiveLabel& MemoryLabel() const { return labelStateMemoryState_; }

 private:
  // Time, speed, target, limited count and memory usage, top to bottom.
  std::array<LiveLabel*, 5> ValueLabels() {
    return {&labelTime_, &labelSpeed_, &labelStateNowImproving_, &labelStateProcessLimited_,
            &labelStateMemoryState_};
  }

  Panel& panel_;
  FontCache& fonts_;
  unique_hbitmap picture_;
  LiveLabel labelTime_;
  LiveLabel labelSpeed_;
  LiveLabel labelStateNowImproving_;
  LiveLabel labelStateProcessLimited_;
  LiveLabel labelStateMemoryState_;
  std::unique_ptr<CpuMonitorWindow> monitor_;
};

}  // namespace quorvant::win32
