#include "shell/win32/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include "common/win32/dialog_keys.h"
#include "common/win32/display_scale.h"
#include "shell/core/fixed_texts.h"
#include "shell/win32/program_files.h"
#include "shell/win32/program_rules_dialog.h"
#include "skin/resource.h"

namespace quorvant::win32 {

namespace {

enum TimerId : UINT_PTR {
  kTimerProcess = 1,
  kTimerCpu,
  kTimerMemory,
  kTimerState,
  kTimerOnTimeState,
  kTimerCalm,
  // One shot: the process list's icons, once the first paint is on the screen.
  kTimerProcessIcons,
};
// A timer is delivered only when nothing else waits, paints included.
constexpr UINT kProcessIconsDelayMs = USER_TIMER_MINIMUM;
// Posted once the window has painted (or stayed hidden): the rest of the start-up.
constexpr UINT kWmFinishStart = WM_APP + 1;
// Posted from the limits' threads when a limited process has ended.
constexpr UINT kWmLimitEnded = WM_APP + 2;

}  // namespace

FormQuorvant::FormQuorvant(engine::MemoryReading* memoryReading, ProgramEffects* effects)
    : memoryReading_(memoryReading ? memoryReading : &systemMemory_),
      store_(ConfigFilePath()),
      ownEffects_(effects ? nullptr : std::make_unique<ProgramEffects>()),
      effects_(effects ? *effects : *ownEffects_),
      settings_(store_, autorun_),
      skin_(fonts_, navigation_,
            {[this](shell::Entry entry) { SelectEntry(entry); },
             [this](shell::TitleButton::Action action) { RunTitleAction(action); }}),
      panels_(fonts_, settings_, effects_, *memoryReading_, store_.Path(),
              {[this] {
                 if (timers_) timers_->Update(shown_);
               },
               [this] {
                 if (timers_) timers_->Rearm(kTimerMemory);
               },
               [this] { OpenHomePage(hwnd_); }, [this] { OpenProgramRules(); }}),
      tray_({[this] { RestoreFromTray(); }, [this](shell::MenuItem item) { RunMenuItem(item); },
             [this] { return LimitDialogVisible(); }}) {}

FormQuorvant::~FormQuorvant() = default;

bool FormQuorvant::Create(HINSTANCE instance) {
  RegisterClassOnce(kClassName, CS_DBLCLKS, nullptr, ::LoadCursorW(nullptr, IDC_ARROW),
                    ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP)));
  // No border and no caption bar: the skin draws the whole window. The system menu and
  // minimise box keep the taskbar button's minimise and restore working.
  const shell::Size size = shell::WindowSize();
  if (!::CreateWindowExW(WS_EX_APPWINDOW, kClassName, shell::kProductName.data(),
                         WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, 0, 0, size.width,
                         size.height, nullptr, nullptr, instance, this)) {
    return false;
  }
  timerService_.SetWindow(hwnd_);
  skin_.SetWindow(hwnd_);
  keys_ = std::make_unique<MainWindowKeys>(
      hwnd_, MainWindowKeys::Actions{[this] { return SelectedEntry(); },
                                     [this](shell::Entry e) { SelectEntry(e); },
                                     [this] { RunTitleAction(shell::TitleButton::Action::Hide); }});
  const bool startHidden = !Load();
  if (!startHidden) {
    (void)::ShowWindow(hwnd_, SW_SHOW);
    (void)::UpdateWindow(hwnd_);
  }
  (void)::PostMessageW(hwnd_, kWmFinishStart, 0, 0);
  return true;
}

// The start-up sequence up to the first paint, in its order: what the first frame shows.
// Returns false when the window is to stay hidden.
bool FormQuorvant::Load() {
  // Centre on the primary screen.
  const shell::Point at = shell::CentredWindowPosition(::GetSystemMetrics(SM_CXSCREEN),
                                                       ::GetSystemMetrics(SM_CYSCREEN));
  (void)::SetWindowPos(hwnd_, nullptr, at.x, at.y, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

  settings_.writeFailed = [this](shell::SettingKey) { tray_.WarnSettingsNotSaved(); };
  skin_.LayOut();
  panels_.CreateWindows(hwnd_);
  // Status is the selected entry at start.
  SelectEntry(shell::Entry::State);
  panels_.CreateStatus();
  panels_.LayOut();
  (void)settings_.ApplyStored();
  return settings_.State().automin != shell::kChecked;
}

// The rest of the start-up, once the window is on the screen: the other panels' controls,
// the process list's first build, the tray icon and the timers would only hold the first
// frame back.
void FormQuorvant::FinishStart() {
  if (started_ || exiting_) return;
  started_ = true;
  // The panels' controls show the settings as they stand.
  panels_.CreateControls(kWmLimitEnded);
  panels_.LayOut();
  panels_.ArrangeTabOrder();
  for (Command* button : panels_.Buttons()) keys_->AddButton(*button);
  // Boost the foreground process now rather than at the first timer interval.
  TimerProcessTick();
  effects_.Limits().ReleaseSlotsWithoutProcess();
  // The rules reach the running processes before the list's first build shows their marks.
  panels_.Rules()->ShareWalks(panels_.Process()->CalmOn());
  panels_.Rules()->Start();
  // The rows now, their icons at the next idle moment: the shell's first icon lookup builds
  // its cache.
  panels_.Cpu()->RefreshWithoutIcons();

  tray_.Add(hwnd_);
  // The panels just built show their figures at once, not at their first timer tick.
  if (shown_) RefreshFigures();
  StartTimers();
  (void)::SetTimer(hwnd_, kTimerProcessIcons, kProcessIconsDelayMs, nullptr);
  // Last, since starting a process would hold the window back; until it runs, a program
  // killed from outside leaves its effects to the next start's repair.
  (void)effects_.StartWatcher(ExecutablePath());
}

void FormQuorvant::OnDpiChanged(int dpi, const RECT& suggested) {
  // The whole window follows its monitor: one scale for every conversion, then each part
  // placed again from its twips and redrawn in fonts and artwork of that scale.
  SetDisplayDpi(dpi);
  skin_.LayOut();
  panels_.LayOutAtNewScale();
  const shell::Size size = shell::WindowSize();
  MoveToSuggestedPlace(hwnd_, suggested, {size.width, size.height});
  (void)::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void FormQuorvant::StartTimers() {
  // Each timer, and when it runs. Hidden in the tray or minimised, the program wakes only for
  // what a feature does unseen; what only shows on screen stops and is brought up to date
  // before the window paints again (SetShown), the graph's own sampling timer included.
  // Tolerances let the system fold wake-ups together: a tenth of the interval, but the memory
  // count's about one system tick, so that "1 minute" stays a minute of ticks.
  timers_ = std::make_unique<shell::ResidentTimers>(
      timerService_,
      std::vector<shell::ResidentTimer>{
          shell::FeatureTimer(
              kTimerProcess, 900, 90,
              [this] { return settings_.State().improveProcess != shell::kUnchecked; },
              [this] { TimerProcessTick(); }),
          // The count of the automatic release shows nowhere: the timer sleeps until the
          // tick that releases.
          // Hidden or shown, once a second while it is on.
          shell::FeatureTimer(
              kTimerCalm, kCalmSampleMs, kCalmSampleMs / 10,
              [this] { return panels_.Process()->CalmOn(); },
              [this] {
                panels_.Process()->TimerCalmTick();
                // Its walk of the system serves the rules too, whose own timer rests meanwhile.
                if (RuleKeeper* rules = panels_.Rules()) {
                  rules->WalkFrom(panels_.Process()->CalmWalk());
                }
              }),
          shell::SleepingFeatureTimer(
              kTimerMemory, 1000, 16, [this] { return panels_.Memory()->AutoReleaseOn(); },
              [this] { TimerMemoryTick(); },
              [this](std::int64_t missed) { panels_.Memory()->CreditMissedTicks(missed); },
              [this] { return panels_.Memory()->TicksUntilAutoRelease(); }),
          shell::ShownTimer(kTimerCpu, 1100, 110, [this] { TimerCpuTick(); }),
          // The clock and the memory readout wake only while a panel that shows them is
          // on screen; selecting one brings it current (SelectEntry).
          shell::ShownTimer(
              kTimerState, 100, 10, [this] { TimerStateTick(); },
              [this] { return navigation_.PanelVisible(shell::Entry::State); }),
          shell::ShownTimer(
              kTimerOnTimeState, 20, 2, [this] { TimerOnTimeStateTick(); },
              [this] {
                return navigation_.PanelVisible(shell::Entry::State) ||
                       navigation_.PanelVisible(shell::Entry::Memory);
              }),
      });
  timers_->Update(shown_);
}

void FormQuorvant::SetShown(bool shown) {
  if (shown == shown_) return;
  shown_ = shown;
  CpuMonitorWindow* graph = panels_.Status() ? panels_.Status()->Monitor() : nullptr;
  if (shown) {
    RefreshFigures();
    if (graph) graph->Resume();
  } else if (graph) {
    graph->Pause();
  }
  if (timers_) timers_->Update(shown_);
}

void FormQuorvant::RefreshFigures() {
  // Every figure of the panel on screen current before the first paint: no stale value is
  // ever on screen.
  TimerOnTimeStateTick();
  TimerStateTick();
  if (CpuPanel* cpu = panels_.Cpu()) {
    const int limited = cpu->ShowLimitedCount();
    if (navigation_.PanelVisible(shell::Entry::State)) panels_.Status()->SetLimitedCount(limited);
  }
}

void FormQuorvant::OnWindowPosChanging(const WINDOWPOS& pos) {
  // Before the window reappears (shown, or restored: the minimised style is already gone),
  // so the refresh lands before anything is drawn. Going away is settled once it is done.
  if (pos.flags & SWP_HIDEWINDOW) return;
  const bool visible = (pos.flags & SWP_SHOWWINDOW) || ::IsWindowVisible(hwnd_);
  if (visible && !::IsIconic(hwnd_)) SetShown(true);
}

void FormQuorvant::GiveBackEverything() {
  if (givenBack_) return;
  givenBack_ = true;
  // No tick may raise or limit anything after this.
  if (timers_) timers_->StopAll();
  (void)::KillTimer(hwnd_, kTimerProcessIcons);
  // Limited processes run freely again first of all, then the raised one gets its class.
  if (RuleKeeper* rules = panels_.Rules()) rules->GiveBackAll();
  if (CpuPanel* cpu = panels_.Cpu()) cpu->ReleaseAllLimits();
  if (ProcessPanel* process = panels_.Process()) {
    process->GiveBack();
    process->GiveBackCalm();
  }
}

void FormQuorvant::ExitProgram() {
  if (exiting_) return;
  exiting_ = true;
  GiveBackEverything();
  // Each step of the teardown runs whatever happened to the one before it.
  tray_.Remove([this] {
    (void)::ShowWindow(hwnd_, SW_HIDE);
    if (panels_.Cpu() && panels_.Cpu()->LimitDialog()) {
      (void)::DestroyWindow(panels_.Cpu()->LimitDialog());
    }
  });
  (void)::DestroyWindow(hwnd_);
}

void FormQuorvant::SelectEntry(shell::Entry entry) {
  navigation_.Select(entry);
  // The graph's history runs on behind another panel (the user looks back at what a limit
  // did); only its drawing waits, and is done again before the status panel shows.
  if (panels_.Status() && panels_.Status()->Monitor()) {
    panels_.Status()->Monitor()->HoldDrawing(!navigation_.PanelVisible(shell::Entry::State));
  }
  // Only the panel on screen has its figures written: the one coming is brought up to date
  // before it shows.
  if (shown_ && panels_.Status()) RefreshFigures();
  if (timers_) timers_->Update(shown_);
  panels_.Show(navigation_);
  (void)::InvalidateRect(hwnd_, nullptr, FALSE);
  skin_.SelectionChanged();
  // The focus must not stay on a control of a panel that is now hidden.
  if (keys_) keys_->PanelChanged();
}

void FormQuorvant::RunMenuItem(shell::MenuItem item) {
  for (const auto& menuItem : shell::kTrayMenu) {
    if (menuItem.item != item || !menuItem.entry) continue;
    // Shows a hidden window and activates it; a minimised one stays minimised.
    (void)::ShowWindow(hwnd_, SW_SHOW);
    SelectEntry(*menuItem.entry);
    keys_->Shown();
    return;
  }
  if (item == shell::MenuItem::HomePage) OpenHomePage(MenuWindow());
  if (item == shell::MenuItem::Exit) ExitProgram();
}

void FormQuorvant::OpenHomePage(HWND owner) {
  // The default browser opens it; a failure is not the user's concern here.
  (void)::ShellExecuteW(owner, L"open", std::wstring(shell::kHomePage).c_str(), nullptr, nullptr,
                        SW_SHOWNORMAL);
}

bool FormQuorvant::LimitDialogVisible() const {
  const CpuPanel* cpu = panels_.Cpu();
  return cpu && cpu->LimitDialog() && ::IsWindowVisible(cpu->LimitDialog());
}

void FormQuorvant::RestoreFromTray() {
  (void)::ShowWindow(hwnd_, SW_SHOW);
  (void)::SendMessageW(hwnd_, WM_SYSCOMMAND, SC_RESTORE, 0);
  keys_->Shown();
}

void FormQuorvant::RunTitleAction(shell::TitleButton::Action action) {
  switch (action) {
    case shell::TitleButton::Action::Minimise:
      (void)::SendMessageW(hwnd_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
      break;
    case shell::TitleButton::Action::Hide:
      // Only the tray menu's "Exit" ends the program.
      (void)::ShowWindow(hwnd_, SW_HIDE);
      break;
    case shell::TitleButton::Action::None:
      break;
  }
}

LRESULT FormQuorvant::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT skinAnswer = 0;
  if (skin_.HandleAccessibility(hwnd_, message, wParam, lParam, skinAnswer)) return skinAnswer;
  if (skin_.HandleMouse(message, lParam)) return 0;
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      skin_.Paint();
      return 0;
    case WM_COMMAND:
      (void)panels_.OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_TIMER:
      OnTimer(wParam);
      return 0;
    case kWmFinishStart:
      FinishStart();
      return 0;
    case kWmLimitEnded:
      // Asks the limits themselves which have ended: the message carries nothing to trust.
      if (panels_.Cpu()) panels_.Cpu()->ForgetEndedLimits();
      return 0;
    case WM_NOTIFY:
      if (panels_.OnNotify(*reinterpret_cast<const NMHDR*>(lParam))) return 0;
      return DefaultProc(message, wParam, lParam);
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return OnCtlColor(reinterpret_cast<HDC>(wParam));
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case kWmGetDpiScaledSize: {
      // The design's own rounding at the new scale, so the suggested rectangle fits the skin.
      const shell::Size size = shell::WindowSizeAt(static_cast<int>(wParam));
      *reinterpret_cast<SIZE*>(lParam) = {size.width, size.height};
      return TRUE;
    }
    case WM_QUERYENDSESSION:
      // Nothing is lifted yet: another program may still cancel the end of the session, and
      // the user's limits would vanish for nothing. WM_ENDSESSION gives back once it is sure.
      return TRUE;
    case WM_CLOSE:
    case WM_ENDSESSION:
      // Closed by the system (Alt+F4, log-off): end as "Exit" does, everything given back
      // first, so no dead icon stays. After WM_ENDSESSION the system may end the program at
      // any moment; a kill from then on is the watcher's.
      if (message == WM_CLOSE || wParam) ExitProgram();
      return 0;
    case WM_WINDOWPOSCHANGING:
      if (panels_.Status()) OnWindowPosChanging(*reinterpret_cast<const WINDOWPOS*>(lParam));
      return DefaultProc(message, wParam, lParam);
    case WM_WINDOWPOSCHANGED:
      if (panels_.Status()) SetShown(::IsWindowVisible(hwnd_) && !::IsIconic(hwnd_));
      return DefaultProc(message, wParam, lParam);
    case WM_DESTROY:
      // Every way the program ends passes here ("Exit", the system's close, log-off), and
      // nothing it raised or limited may outlive it.
      GiveBackEverything();
      ::PostQuitMessage(0);
      return 0;
    case WM_ACTIVATE:
      if (!keys_) return DefaultProc(message, wParam, lParam);
      keys_->OnActivate(wParam);
      return 0;
    case shell::kTrayCallbackMessage:
      if (const auto handled = tray_.OnMessage(message, wParam, lParam)) return *handled;
      return DefaultProc(message, wParam, lParam);
    case WM_NEXTDLGCTL:
      MoveToNextControl(hwnd_, wParam, lParam);
      return 0;
    default:
      // The shell restarted: a registered message, so no case of its own.
      if (const auto handled = tray_.OnMessage(message, wParam, lParam)) return *handled;
      if (message == KeyPreviewMessage()) {
        const MSG* key = PreviewedKey(lParam);
        return keys_ && key && keys_->OnKeyPreview(*key) ? 1 : 0;
      }
      return DefaultProc(message, wParam, lParam);
  }
}

LRESULT FormQuorvant::OnCtlColor(HDC dc) {
  // Check boxes and labels of the panels sit on white.
  (void)::SetBkColor(dc, RGB(255, 255, 255));
  return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
}

void FormQuorvant::OpenProgramRules() {
  if (!panels_.Rules()) return;
  FormProgramRules dialog(*panels_.Rules(), fonts_);
  if (!dialog.Create(hwnd_)) return;
  dialog.ShowModal();
  // The list's marks follow the rules as they now stand.
  if (panels_.Cpu() && !exiting_) panels_.Cpu()->CommandRefreshProcessClick();
}

void FormQuorvant::OnTimer(UINT_PTR id) {
  if (id == kTimerProcessIcons) {
    (void)::KillTimer(hwnd_, kTimerProcessIcons);
    panels_.Cpu()->FillPendingIcons();
    return;
  }
  if (timers_) (void)timers_->Dispatch(id);
}

// The speed-up features hang their periodic work on these ticks.
void FormQuorvant::TimerProcessTick() {
  // A boost shows on the status panel too.
  if (const auto boost = panels_.Process()->TimerProcessTick()) {
    panels_.Status()->SetNowImproving(boost->title);
    panels_.Status()->SetSpeed(boost->speed);
    if (boost->notKept) tray_.WarnRaiseNotKept();
  }
}
void FormQuorvant::TimerCpuTick() {
  // Ended processes let go of their limits whichever panel shows.
  const int limited = panels_.Cpu()->TimerCpuTick();
  if (navigation_.PanelVisible(shell::Entry::State)) panels_.Status()->SetLimitedCount(limited);
}
void FormQuorvant::TimerMemoryTick() { panels_.Memory()->TimerMemoryTick(); }
void FormQuorvant::TimerStateTick() {
  if (navigation_.PanelVisible(shell::Entry::State)) panels_.Status()->TimerStateTick();
}
void FormQuorvant::TimerOnTimeStateTick() {
  // The memory figures show on the status and memory panels only: read and written while
  // one of them is on screen. The first frame comes before the memory panel, and its figure
  // too.
  MemoryPanel* memoryPanel = panels_.Memory();
  const bool status = navigation_.PanelVisible(shell::Entry::State);
  const bool memory = memoryPanel && navigation_.PanelVisible(shell::Entry::Memory);
  if (!status && !memory) return;
  const int usedRate = memory ? memoryPanel->ShowMemoryState().usedRate
                              : engine::FiguresOf(memoryReading_->Read()).usedRate;
  if (status) panels_.Status()->SetMemoryUsage(usedRate);
}

}  // namespace quorvant::win32
