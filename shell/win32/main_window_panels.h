#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "button/win32/command.h"
#include "common/win32/controls.h"
#include "common/win32/font_cache.h"
#include "common/win32/panel.h"
#include "common/win32/unique_handle.h"
#include "engine/win32/memory_reading.h"
#include "engine/win32/program_effects.h"
#include "engine/win32/rule_keeper.h"
#include "shell/core/chrome.h"
#include "shell/core/settings.h"
#include "shell/win32/cpu_panel.h"
#include "shell/win32/memory_panel.h"
#include "shell/win32/process_panel.h"
#include "shell/win32/status_panel.h"

namespace quorvant::win32 {

// The main window's six panels with everything on them: the status panel first, for the
// first frame; the process, CPU and memory panels' controllers, the settings and about
// panels' contents and the program rules, right after. Each panel's settings controls show
// `Settings` and report the user's changes here, where `Settings` keeps them.
class MainWindowPanels {
 public:
  // What the panels need of the main window.
  struct Hooks {
    // A setting that decides which timers run has changed.
    std::function<void()> timersChanged;
    // The automatic release's interval has changed: it falls due at another tick.
    std::function<void()> intervalChanged;
    // The about panel's link.
    std::function<void()> openHomePage;
    // "Program rules" on the settings panel.
    std::function<void()> openProgramRules;
  };

  // rulesPath is the file the program rules live in. Everything given must outlive the
  // panels.
  MainWindowPanels(FontCache& fonts, shell::Settings& settings, ProgramEffects& effects,
                   engine::MemoryReading& memoryReading, std::wstring rulesPath, Hooks hooks);
  MainWindowPanels(const MainWindowPanels&) = delete;
  MainWindowPanels& operator=(const MainWindowPanels&) = delete;
  ~MainWindowPanels();

  // The six panel windows on window, all hidden, each named after its entry.
  void CreateWindows(HWND window);
  // The status panel's contents, its graph paused until the window shows.
  void CreateStatus();
  // The other panels' controls and the program rules. limitEnded is posted to the window
  // when a limited process ends (CpuPanel::NotifyEndedLimits).
  void CreateControls(UINT limitEnded);
  // The panels' places and the settings and about panels' contents, at the display's scale.
  void LayOut();
  // The display's scale has changed: the panels and everything on them placed again.
  void LayOutAtNewScale();
  // Tab goes in reading order of where the layout put each panel's controls.
  void ArrangeTabOrder();
  // The selected entry's panel visible, the others hidden.
  void Show(const shell::Navigation& navigation);

  // A control's notification (WM_COMMAND); true when one of the panels' controls sent it.
  bool OnCommand(WORD id, WORD code);
  // WM_NOTIFY; true when it was the process list's.
  bool OnNotify(const NMHDR& header);

  // The panels' command buttons, for their access keys.
  std::vector<Command*> Buttons();

  // Null until created.
  StatusPanel* Status() const { return statusPanel_.get(); }
  ProcessPanel* Process() const { return processPanel_.get(); }
  MemoryPanel* Memory() const { return memoryPanel_.get(); }
  CpuPanel* Cpu() const { return cpuPanel_.get(); }
  RuleKeeper* Rules() const { return rules_.get(); }

  // Identifiers of the settings panel's controls.
  static constexpr WORD kIdCheckAutoRun = 1005;
  static constexpr WORD kIdCheckAutoMin = 1006;
  static constexpr WORD kIdProgramRules = 1008;

 private:
  Panel& PanelOf(shell::Entry entry) { return panels_[static_cast<size_t>(entry)]; }

  FontCache& fonts_;
  shell::Settings& settings_;
  ProgramEffects& effects_;
  engine::MemoryReading& memoryReading_;
  const std::wstring rulesPath_;
  const Hooks hooks_;
  HWND window_ = nullptr;

  std::array<Panel, shell::kEntryCount> panels_;
  std::unique_ptr<StatusPanel> statusPanel_;
  std::unique_ptr<ProcessPanel> processPanel_;
  std::unique_ptr<MemoryPanel> memoryPanel_;
  CheckBox checkAutoRun_;
  CheckBox checkAutoMin_;
  Command programRules_;
  unique_hbitmap aboutPicture_;
  unique_hbitmap settingPicture_;
  unique_hcursor linkCursor_;
  std::unique_ptr<CpuPanel> cpuPanel_;
  // After the CPU panel: its limits go through the panel's throttle.
  std::unique_ptr<RuleKeeper> rules_;
};

}  // namespace quorvant::win32
