#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/core/color.h"
#include "common/core/font.h"

#include "common/win32/font_cache.h"
#include "common/win32/window.h"
#include "engine/win32/memory_reading.h"
#include "engine/win32/program_effects.h"
#include "engine/win32/rule_keeper.h"
#include "shell/core/chrome.h"
#include "shell/core/main_window_layout.h"
#include "shell/core/resident_timers.h"
#include "shell/core/settings.h"
#include "shell/core/tray_menu.h"
#include "shell/win32/autorun.h"
#include "shell/win32/ini_settings_store.h"
#include "shell/win32/main_window_keys.h"
#include "shell/win32/main_window_panels.h"
#include "shell/win32/main_window_skin.h"
#include "shell/win32/main_window_tray.h"
#include "shell/win32/window_timer_service.h"

namespace quorvant::win32 {

// The main window: a borderless skinned window with six panels, the settings controls and
// the five timers that drive the speed-up features.
class FormQuorvant final : public Window<FormQuorvant> {
 public:
  static constexpr wchar_t kClassName[] = L"FormQuorvant";

  // memoryReading, when given, replaces the system's memory status (tests); effects is what
  // the program changes in other processes, owned by the start-up (without it, the form
  // owns one that keeps nothing on disk). Both must outlive the form.
  explicit FormQuorvant(engine::MemoryReading* memoryReading = nullptr,
                        ProgramEffects* effects = nullptr);
  ~FormQuorvant() override;

  // Creates the window hidden and runs the start-up sequence; shows it unless the user
  // asked to start minimised to the notification area. The panels other than the status
  // panel, the process list and the tray icon follow from the message loop, right after.
  bool Create(HINSTANCE instance);
  // The ledger of live effects, its keeper and the limit table the panels work on.
  ProgramEffects& Effects() { return effects_; }
  // Ends the program: what the tray menu's "Exit" runs.
  void ExitProgram();
  // Every limit lifted and every raise given back, the timers that would set them again
  // stopped: what each way of ending does first, before any of the interface goes. Once;
  // later calls do nothing.
  void GiveBackEverything();
  // Select entry: shows the entry's panel and its selected picture.
  void SelectEntry(shell::Entry entry);
  shell::Entry SelectedEntry() const { return navigation_.Selected(); }
  // A tray menu item's action.
  void RunMenuItem(shell::MenuItem item);
  HWND MenuWindow() const { return tray_.MenuWindow(); }
  // The panels' controllers, for tests.
  const StatusPanel& Status() const { return *panels_.Status(); }
  const MemoryPanel& Memory() const { return *panels_.Memory(); }
  const CpuPanel& Cpu() const { return *panels_.Cpu(); }
  // The program rules; null before the start-up's second half.
  RuleKeeper* Rules() const { return panels_.Rules(); }
  // Whether the window is on screen (visible and not minimised); only then does work whose
  // only effect is on screen run.
  bool Shown() const { return shown_; }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  bool Load();
  void FinishStart();
  // Moved to a monitor of another scale (or its scale changed): everything laid out again.
  void OnDpiChanged(int dpi, const RECT& suggested);
  void StartTimers();
  // The window is about to show, or has gone from the screen.
  void SetShown(bool shown);
  // The on-screen figures read now.
  void RefreshFigures();
  void OnWindowPosChanging(const WINDOWPOS& pos);

  void RunTitleAction(shell::TitleButton::Action action);

  bool LimitDialogVisible() const;
  void RestoreFromTray();
  void OpenHomePage(HWND owner);
  // "Program rules" on the settings panel: the rules dialog, modal.
  void OpenProgramRules();
  void OnTimer(UINT_PTR id);
  LRESULT OnCtlColor(HDC dc);

  // Timer handlers of the speed-up features.
  void TimerProcessTick();
  void TimerCpuTick();
  void TimerMemoryTick();
  void TimerStateTick();
  void TimerOnTimeStateTick();

  // The system's, unless a test gives its own.
  engine::MemoryReading* memoryReading_;
  SystemMemoryReading systemMemory_;
  IniSettingsStore store_;
  ModuleAutorun autorun_;
  std::unique_ptr<ProgramEffects> ownEffects_;
  ProgramEffects& effects_;
  shell::Settings settings_;

  FontCache fonts_;
  shell::Navigation navigation_;
  MainWindowSkin skin_;
  MainWindowPanels panels_;
  MainWindowTray tray_;

  WindowTimerService timerService_;
  std::unique_ptr<shell::ResidentTimers> timers_;
  bool shown_ = false;
  std::unique_ptr<MainWindowKeys> keys_;
  bool exiting_ = false;
  bool givenBack_ = false;
  // The start-up's second half has run.
  bool started_ = false;
};

}  // namespace quorvant::win32
