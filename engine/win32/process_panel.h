#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "common/win32/controls.h"
#include "common/win32/font_cache.h"
#include "common/win32/live_label.h"
#include "common/win32/panel.h"
#include "engine/core/booster.h"

namespace quorvant::win32 {

// The "Speed up process" panel: its texts, the boost count, the current target with its
// tooltip and the log, and the booster that fills them on each tick of the process timer.
class ProcessPanel {
 public:
  // desktop is where the booster looks for the foreground window; the system's by default.
  // ledger is where it records the class it raised; the program's by default.
  explicit ProcessPanel(std::unique_ptr<BoosterDesktop> desktop = nullptr,
                        UniformRandom random = ProgramRandom, EffectLedger& ledger = LiveEffects());
  ProcessPanel(const ProcessPanel&) = delete;
  ProcessPanel& operator=(const ProcessPanel&) = delete;
  ~ProcessPanel();

  // Lays out the panel's own controls. enable and level are the settings-bound check box
  // and level list the form placed on the panel; the booster reads them at each tick.
  bool Create(Panel& panel, CheckBox enable, ComboBox level, FontCache& fonts);

  // One booster step. Returns the boost, whose title and speed figure the status panel shows,
  // when a new target came to the front.
  std::optional<Boost> TimerProcessTick();
  // The booster switched off or the program ending: the raised process gets its own class
  // back now. What the panels show stays.
  void GiveBack() { booster_.GiveBack(); }

  const LiveLabel& LabelImprovedCount() const { return labelImprovedCount_; }
  const LiveLabel& LabelNowImproveProcess() const { return labelNowImproveProcess_; }
  ListView ListViewHistory() const { return listViewHistory_; }
  HWND Tooltip() const { return tooltip_; }

 private:
  void CreateTooltip(HWND panel, RECT rect);
  void SetTooltipText(const std::wstring& text);

  std::unique_ptr<BoosterDesktop> desktop_;
  Booster booster_;
  CheckBox checkNowImproveProcess_;
  ComboBox comboSpeed_;
  LiveLabel description_;
  LiveLabel levelHelp_;
  LiveLabel labelImprovedCount_;
  LiveLabel labelNowImproveProcess_;
  ListView listViewHistory_;
  HWND panel_ = nullptr;
  HWND tooltip_ = nullptr;
};

}  // namespace quorvant::win32
