#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <string_view>

#include "button/win32/command.h"
#include "common/win32/controls.h"
#include "common/win32/font_cache.h"
#include "common/win32/live_label.h"
#include "common/win32/panel.h"
#include "engine/core/memory_release.h"
#include "engine/core/memory_state.h"
#include "engine/win32/memory_reading.h"
#include "engine/win32/memory_release_walk.h"
#include "shell/core/settings.h"

namespace quorvant::win32 {

// "Speed up memory": the memory-status block, the on-demand and automatic releases and their
// log, on the memory panel, with the automatic release's box and interval list, which show
// the settings and report the user's changes. The automatic release reads the settings,
// never the controls. The form routes the memory timer and the 20 ms readout timer to it.
class MemoryPanel final : private engine::ReleaseOutput {
 public:
  // A user's change to one of the panel's settings, with the new value; whoever owns the
  // settings keeps it.
  struct Changes {
    std::function<void(int value)> autoFreeMemory;
    std::function<void(std::wstring_view text)> freeMemoryInterval;
  };

  // The program rules: the system's release passes their "never trim" processes over.
  void SetRules(const engine::RuleHolds* rules) { systemWalk_.SetRules(rules); }
  // Reads the system and trims the real processes.
  MemoryPanel();
  // Reads through reading, which must outlive the panel, and trims the real processes.
  explicit MemoryPanel(engine::MemoryReading& reading);
  // Reads and trims through the given platform pieces, which must outlive the panel.
  MemoryPanel(engine::MemoryReading& reading, engine::TrimmingWalk& walk);
  ~MemoryPanel() override;
  MemoryPanel(const MemoryPanel&) = delete;
  MemoryPanel& operator=(const MemoryPanel&) = delete;

  // Creates the texts and controls on panel, showing settings (which must outlive the panel
  // and which the automatic release reads), and lays it out. owner is the window the release
  // message is modal to.
  bool Create(Panel& panel, HWND owner, FontCache& fonts, const shell::SettingsState& settings);
  // A control's notification; true when it was one of the panel's settings controls.
  bool OnCommand(WORD id, WORD code);
  // Places the panel's texts and controls from their twips rectangles at the display's
  // scale, in fonts of that scale.
  void LayOut();

  // The tick of the 20 ms readout timer: refreshes the memory-status block from a fresh
  // reading and returns its figures (the status panel shows the used rate).
  engine::MemoryFigures ShowMemoryState();
  // The tick of the one-second memory timer: the automatic release when it is due.
  void TimerMemoryTick();
  // Whether the memory timer has anything to do: "Automatically release memory" is ticked.
  // While it is not, the timer may stop; the ticks it then missed are handed back here.
  bool AutoReleaseOn() const;
  void CreditMissedTicks(std::int64_t ticks) { release_.CreditTicks(ticks); }
  // Memory-timer ticks until the next automatic release with the chosen interval.
  std::int64_t TicksUntilAutoRelease() const;
  // The click of "Release memory now".
  void CommandFreeMemoryClick();

  Command& CommandFreeMemory() { return commandFreeMemory_; }
  ListView ListViewMemoryLog() const { return listViewMemoryLog_; }
  const LiveLabel& LabelMemoryAll() const { return labelMemoryAll_; }
  const LiveLabel& LabelMemoryUsed() const { return labelMemoryUsed_; }
  const LiveLabel& LabelMemoryLeft() const { return labelMemoryLeft_; }
  const LiveLabel& LabelMemoryUsedPercent() const { return labelMemoryUsedPercent_; }

  Changes changes;

  // Identifiers of the panel's own controls.
  static constexpr WORD kIdCheckEnableAutoFreeMemory = 1003;
  static constexpr WORD kIdComboInterval = 1004;
  static constexpr int kIdCommandFreeMemory = 1301;
  static constexpr int kIdListViewMemoryLog = 1302;

 private:
  // The four values of the status block, left to right.
  std::array<LiveLabel*, 4> StatusLabels() {
    return {&labelMemoryAll_, &labelMemoryUsed_, &labelMemoryLeft_, &labelMemoryUsedPercent_};
  }

  // ReleaseOutput
  void ShowSuccess(const std::wstring& message) override;
  int LogRowCount() const override;
  void AppendLogRow(const engine::MemoryLogRow& row) override;
  std::wstring TimeOfDay() const override;

  SystemMemoryReading systemReading_;
  ProcessTrimmingWalk systemWalk_;
  engine::MemoryReading& reading_;
  engine::MemoryRelease release_;

  HWND owner_ = nullptr;
  Panel* panel_ = nullptr;
  FontCache* fonts_ = nullptr;
  const shell::SettingsState* settings_ = nullptr;
  CheckBox checkEnableAutoFreeMemory_;
  ComboBox comboInterval_;
  LiveLabel labelDescription_;
  LiveLabel labelMemoryAll_;
  LiveLabel labelMemoryUsed_;
  LiveLabel labelMemoryLeft_;
  LiveLabel labelMemoryUsedPercent_;
  Command commandFreeMemory_;
  ListView listViewMemoryLog_;
};

}  // namespace quorvant::win32
