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
  explicit ProcessPanel(EffectLedger& ledger, std::unique_ptr<BoosterDesktop> desktop = nullptr,
                        UniformRandom random = ProgramRandom);
  ProcessPanel(const ProcessPanel&) = delete;
  ProcessPanel& operator=(const ProcessPanel&) = delete;
  ~ProcessPanel();

  // Creates the panel's own controls and lays the panel out. enable and level are the
  // settings-bound check box and level list the form created on the panel; the panel places
  // them, and the booster reads them at each tick.
  bool Create(Panel& panel, CheckBox enable, ComboBox level, FontCache& fonts);
  // Places the panel's texts and controls from their twips rectangles at the display's
  // scale, in fonts of that scale.
  void LayOut();

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
  void CreateTooltip(HWND panel);
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
  Panel* panelWindow_ = nullptr;
  FontCache* fonts_ = nullptr;
  HWND panel_ = nullptr;
  HWND tooltip_ = nullptr;
};

}  // namespace quorvant::win32
