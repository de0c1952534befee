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
#include "engine/win32/background_calm_system.h"
#include "shell/core/settings.h"

namespace quorvant::win32 {

// What the calm needs from outside the panel.
struct CalmHooks {
  // Whether a rule or a table limit holds the process: such a process is never calmed.
  BackgroundCalm::Held held;
  // The program's watcher, never calmed; null while there is none.
  std::function<HANDLE()> watcher;
  // The machine's samples; by default the system's, from a walk the calm keeps and offers.
  SystemBackgroundCalm::Sampler sampler;
};

// The "Speed up process" panel: its texts, the boost count, the current target with its
// tooltip and the log; the booster that fills them on each tick of the process timer, and
// the background calm, whose calmings and givings back share the log. Its three settings
// controls show the settings and report the user's changes; the booster and the calm read
// the settings, never the controls.
class ProcessPanel {
 public:
  static constexpr WORD kIdCheckNowImproveProcess = 1001;
  static constexpr WORD kIdComboSpeed = 1002;
  static constexpr WORD kIdCheckCalmBackground = 1007;

  // A user's change to one of the panel's settings, with the new value; whoever owns the
  // settings keeps it. Switching the booster or the calm off has already given back what
  // it held by the time it is told.
  struct Changes {
    std::function<void(int value)> improveProcess;
    std::function<void(std::wstring_view text)> improveSpeed;
    std::function<void(int value)> calmBackground;
  };

  // ledger is where the booster and the calm record the classes they change; desktop is
  // where the booster looks for the foreground window, the system's by default.
  explicit ProcessPanel(EffectLedger& ledger, std::unique_ptr<BoosterDesktop> desktop = nullptr,
                        UniformRandom random = ProgramRandom, CalmHooks calm = {});
  ProcessPanel(const ProcessPanel&) = delete;
  ProcessPanel& operator=(const ProcessPanel&) = delete;
  ~ProcessPanel();

  // Creates the panel's controls, showing settings (which must outlive the panel and which
  // the booster and the calm read), and lays the panel out.
  bool Create(Panel& panel, const shell::SettingsState& settings, FontCache& fonts);
  // A control's notification; true when it was one of the panel's settings controls.
  bool OnCommand(WORD id, WORD code);
  // Places the panel's texts and controls from their twips rectangles at the display's
  // scale, in fonts of that scale.
  void LayOut();

  // One booster step. Returns the boost, whose title and speed figure the status panel shows,
  // when a new target came to the front.
  std::optional<Boost> TimerProcessTick();
  // The booster switched off or the program ending: the raised process gets its own class
  // back now. What the panels show stays.
  void GiveBack() { booster_.GiveBack(); }
  // The program rules: a process a rule holds returns to the rule's class.
  void SetRules(const engine::RuleHolds* rules) { booster_.SetRules(rules); }

  // Whether "Calm background processes" is ticked: its timer runs only then.
  bool CalmOn() const { return settings_ && settings_->calmBackground != shell::kUnchecked; }
  // One sample of the machine judged by the calm; what it did goes to the log.
  void TimerCalmTick();
  // The walk of the system the last calm tick made, for the rules to share; null when none.
  const std::vector<engine::SystemProcess>* CalmWalk() const { return calm_.LastWalk(); }
  // The calm switched off: every calmed process given back, each with a row.
  void SwitchCalmOff();
  // The program ending: every calmed process given back, without rows.
  void GiveBackCalm() { calm_.Calm().GiveBackAll(); }

  const LiveLabel& LabelImprovedCount() const { return labelImprovedCount_; }
  const LiveLabel& LabelNowImproveProcess() const { return labelNowImproveProcess_; }
  ListView ListViewHistory() const { return listViewHistory_; }
  HWND Tooltip() const { return tooltip_; }

  Changes changes;

 private:
  void CreateTooltip(HWND panel);
  void SetTooltipText(const std::wstring& text);
  // A row at the end of the log, numbered after the rows before it; why only for the calm.
  void AddLogRow(const std::wstring& time, const std::wstring& target, const std::wstring& priority,
                 const std::wstring& why = {});
  void AddCalmRows();

  std::unique_ptr<BoosterDesktop> desktop_;
  Booster booster_;
  SystemBackgroundCalm calm_;
  const shell::SettingsState* settings_ = nullptr;
  CheckBox checkNowImproveProcess_;
  ComboBox comboSpeed_;
  CheckBox checkCalmBackground_;
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
