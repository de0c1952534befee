#include "shell/win32/main_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include "button/core/button_properties.h"
#include "common/win32/accessible.h"
#include "common/win32/dialog_keys.h"
#include "common/win32/display_scale.h"
#include "common/win32/gdi_canvas.h"
#include "common/win32/pixel_rect.h"
#include "engine/core/limit_slots.h"
#include "shell/win32/program_rules_dialog.h"
#include "shell/core/fixed_texts.h"
#include "shell/win32/debug_privilege.h"
#include "shell/win32/tray_icon.h"
#include "shell/win32/program_files.h"
#include "skin/resource.h"
#include "skin/product.h"

namespace quorvant::win32 {

namespace {

using shell::TwipsToPixels;

// Control identifiers of the settings-bound controls.
enum ControlId : WORD {
  kIdCheckNowImproveProcess = 1001,
  kIdComboSpeed,
  kIdCheckEnableAutoFreeMemory,
  kIdComboInterval,
  kIdCheckAutoRun,
  kIdCheckAutoMin,
  kIdCheckCalmBackground,
  kIdProgramRules,
};

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

constexpr size_t Index(shell::Entry entry) { return static_cast<size_t>(entry); }

// A control on a panel; its panel's layout places it.
HWND CreateControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style,
                   WORD id) {
  return ::CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 0, 0, 0,
                           0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           ::GetModuleHandleW(nullptr), nullptr);
}

// The settings panel's two boxes, in twips.
constexpr TwipsRect kCheckAutoRunAt{1320, 600, 4335, 255};
constexpr TwipsRect kCheckAutoMinAt{1320, 960, 4335, 255};
// Below the two check boxes, moving neither.
constexpr TwipsRect kProgramRulesAt{1320, 1440, 1815, 375};

FontDesc WindowFont() { return FontDesc{}; }

}  // namespace

FormQuorvant::FormQuorvant(engine::MemoryReading* memoryReading, ProgramEffects* effects)
    : memoryReading_(memoryReading ? memoryReading : &systemMemory_),
      store_(ConfigFilePath()),
      ownEffects_(effects ? nullptr : std::make_unique<ProgramEffects>()),
      effects_(effects ? *effects : *ownEffects_),
      settings_(store_, autorun_),
      skin_(fonts_, navigation_,
            {[this](shell::Entry entry) { SelectEntry(entry); },
             [this](shell::TitleButton::Action action) { RunTitleAction(action); }}) {}

FormQuorvant::~FormQuorvant() = default;

HFONT FormQuorvant::Font(const FontDesc& desc) { return fonts_.Get(desc); }

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

  settings_.writeFailed = [this](shell::SettingKey) { WarnSettingsNotSaved(); };
  skin_.LayOut();
  CreatePanels();
  // The status panel is the one shown at start; the graph samples on its own timer, once
  // the window shows.
  statusPanel_ = std::make_unique<StatusPanel>(panels_[Index(shell::Entry::State)], fonts_);
  if (statusPanel_->Monitor()) statusPanel_->Monitor()->Pause();
  LayOutPanels();
  (void)settings_.ApplyStored();
  return settings_.State().automin != shell::kChecked;
}

// The rest of the start-up, once the window is on the screen: the other panels' controls,
// the process list's first build, the tray icon and the timers would only hold the first
// frame back.
void FormQuorvant::FinishStart() {
  if (started_ || exiting_) return;
  started_ = true;
  CreatePanelControls();
  LayOutPanels();
  // The panels' controllers add their controls in their own order; Tab goes in reading order
  // of where the layout put them.
  for (const Panel& panel : panels_) ArrangeTabOrder(panel.Hwnd());
  ApplySettings();
  // Boost the foreground process now rather than at the first timer interval.
  TimerProcessTick();
  effects_.Limits().ReleaseSlotsWithoutProcess();
  // The rules reach the running processes before the list's first build shows their marks.
  rules_->Start();
  // The rows now, their icons at the next idle moment: the shell's first icon lookup builds
  // its cache.
  cpuPanel_->RefreshWithoutIcons();

  taskbarCreatedMsg_ = ::RegisterWindowMessageW(L"TaskbarCreated");
  // Run elevated, the window would not hear a restarted shell's broadcast and the icon
  // would never come back.
  (void)::ChangeWindowMessageFilterEx(hwnd_, taskbarCreatedMsg_, MSGFLT_ALLOW, nullptr);
  trayListening_ = true;
  AddTrayIcon(hwnd_);
  trayIconAdded_ = true;
  if (saveWarning_ == SaveWarning::Pending) WarnSettingsNotSaved();
  // The panels just built show their figures at once, not at their first timer tick.
  if (shown_) RefreshFigures();
  StartTimers();
  (void)::SetTimer(hwnd_, kTimerProcessIcons, kProcessIconsDelayMs, nullptr);
  // Last, since starting a process would hold the window back; until it runs, a program
  // killed from outside leaves its effects to the next start's repair.
  (void)effects_.StartWatcher(ExecutablePath());
}

void FormQuorvant::CreatePanels() {
  for (const auto& entry : shell::kEntries) {
    Panel& panel = panels_[Index(entry.entry)];
    if (!panel.Hwnd() && panel.Create(hwnd_, 0, 0, 0, 0)) {
      // A screen reader names the panel after the entry that shows it.
      panel.SetName(std::wstring(entry.labelText));
    }
  }
  // Status is the selected entry at start.
  SelectEntry(shell::Entry::State);
  linkCursor_.reset(
      static_cast<HCURSOR>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_LINK),
                                        IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE)));
}

void FormQuorvant::LayOutPanels() {
  for (const auto& entry : shell::kEntries) {
    MoveWindowTo(panels_[Index(entry.entry)].Hwnd(),
                 PixelRect({shell::kPanelLeftTwips, shell::kPanelTopTwips, entry.panelWidthTwips,
                            entry.panelHeightTwips}));
  }

  auto addTexts = [this](Panel& panel, const auto& texts) {
    for (const auto& text : texts) {
      panel.AddLabel(std::wstring(text.text), TwipsToPixels(text.leftTwips),
                     TwipsToPixels(text.topTwips), Font(text.Font()), text.color.value_or(0));
    }
  };
  Panel& about = panels_[Index(shell::Entry::About)];
  about.ClearContent();
  addTexts(about, shell::kAboutPanelTexts);
  const auto& link = shell::kHomePageLabel;
  about.AddLink(std::wstring(link.text), TwipsToPixels(link.leftTwips),
                TwipsToPixels(link.topTwips), Font(link.Font()), link.color.value_or(0),
                linkCursor_.get(), [this] { OpenHomePage(hwnd_); });
  aboutPicture_ = LoadSkinBitmap(IDB_ABOUT_PICTURE);
  about.AddPicture(aboutPicture_.get(), TwipsToPixels(3840), TwipsToPixels(720));

  Panel& setting = panels_[Index(shell::Entry::Setting)];
  setting.ClearContent();
  addTexts(setting, shell::kSettingPanelTexts);
  settingPicture_ = LoadSkinBitmap(IDB_SETTING_PICTURE);
  setting.AddPicture(settingPicture_.get(), TwipsToPixels(120), TwipsToPixels(240));
  PlaceControl(checkAutoRun_.Hwnd(), PixelRect(kCheckAutoRunAt), Font(WindowFont()));
  PlaceControl(checkAutoMin_.Hwnd(), PixelRect(kCheckAutoMinAt), Font(WindowFont()));
  if (programRules_.Hwnd()) {
    programRules_.SetDpi(DisplayDpi());
    PlaceControl(programRules_.Hwnd(), PixelRect(kProgramRulesAt), nullptr);
  }
}

void FormQuorvant::CreatePanelControls() {
  constexpr DWORD kCheck = BS_3STATE;  // the form decides each click's new state
  constexpr DWORD kList = CBS_DROPDOWNLIST | WS_VSCROLL;

  HWND process = panels_[Index(shell::Entry::Process)].Hwnd();
  checkNowImproveProcess_ = CheckBox(CreateControl(process, WC_BUTTONW, L"Enable speed up process",
                                                   kCheck, kIdCheckNowImproveProcess));
  comboSpeed_ = ComboBox(CreateControl(process, WC_COMBOBOXW, L"", kList, kIdComboSpeed));
  // A drop-down list's text is its choice; its painted caption is its name.
  (void)NameForScreenReaders(comboSpeed_.Hwnd(), L"Speed up level");
  checkCalmBackground_ = CheckBox(CreateControl(process, WC_BUTTONW, L"Calm background processes",
                                                kCheck, kIdCheckCalmBackground));
  // A process the user limited, or a program rule holds, is theirs to govern; so is the
  // watcher.
  CalmHooks calm;
  calm.held = [this](const ProcessIdentity& p) {
    return effects_.Limits().FindLive(p).has_value() ||
           (rules_ && rules_->Engine().HoldsProcess(p));
  };
  calm.watcher = [this] { return effects_.Keeper().Watcher(); };
  processPanel_ =
      std::make_unique<ProcessPanel>(effects_.Ledger(), nullptr, ProgramRandom, std::move(calm));
  (void)processPanel_->Create(panels_[Index(shell::Entry::Process)], checkNowImproveProcess_,
                              comboSpeed_, checkCalmBackground_, fonts_);

  HWND memory = panels_[Index(shell::Entry::Memory)].Hwnd();
  checkEnableAutoFreeMemory_ = CheckBox(CreateControl(
      memory, WC_BUTTONW, L"Automatically release memory", kCheck, kIdCheckEnableAutoFreeMemory));
  comboInterval_ = ComboBox(CreateControl(memory, WC_COMBOBOXW, L"", kList, kIdComboInterval));
  (void)NameForScreenReaders(comboInterval_.Hwnd(), L"Interval");
  memoryPanel_ = std::make_unique<MemoryPanel>(*memoryReading_);
  (void)memoryPanel_->Create(panels_[Index(shell::Entry::Memory)], hwnd_, fonts_,
                             checkEnableAutoFreeMemory_, comboInterval_);

  HWND setting = panels_[Index(shell::Entry::Setting)].Hwnd();
  checkAutoRun_ =
      CheckBox(CreateControl(setting, WC_BUTTONW, L"Start with windows", kCheck, kIdCheckAutoRun));
  checkAutoMin_ = CheckBox(
      CreateControl(setting, WC_BUTTONW, L"Auto minimize on start up", kCheck, kIdCheckAutoMin));

  cpuPanel_ = std::make_unique<CpuPanel>(panels_[Index(shell::Entry::CPU)], fonts_,
                                         effects_.Limits(), effects_.Ledger(), effects_.Keeper());
  (void)cpuPanel_->Create();
  cpuPanel_->NotifyEndedLimits(hwnd_, kWmLimitEnded);

  rules_ = std::make_unique<RuleKeeper>(store_.Path(), effects_.Ledger(), cpuPanel_->Throttle(),
                                        effects_.Limits(), &effects_.Keeper());
  cpuPanel_->SetRules(rules_.get());
  processPanel_->SetRules(&rules_->Engine());
  memoryPanel_->SetRules(&rules_->Engine());
  {
    const RECT r = PixelRect(kProgramRulesAt);
    programRules_.SetDpi(DisplayDpi());
    (void)programRules_.Create(
        setting, kIdProgramRules,
        button::ProgramButtonBag(L"Program rules", r.right - r.left, r.bottom - r.top), r.left,
        r.top, r.right - r.left, r.bottom - r.top);
    programRules_.Events().click = [this] { OpenProgramRules(); };
  }

  for (const auto item : shell::kSpeedItems) (void)comboSpeed_.AddString(std::wstring(item));
  for (const auto item : shell::kIntervalItems) (void)comboInterval_.AddString(std::wstring(item));

  for (Command* button : {&cpuPanel_->RefreshButton(), &cpuPanel_->LimitButton(),
                          &memoryPanel_->CommandFreeMemory(), &programRules_}) {
    keys_->AddButton(*button);
  }
}

void FormQuorvant::OnDpiChanged(int dpi, const RECT& suggested) {
  // The whole window follows its monitor: one scale for every conversion, then each part
  // placed again from its twips and redrawn in fonts and artwork of that scale.
  SetDisplayDpi(dpi);
  skin_.LayOut();
  LayOutPanels();
  // Before the start-up's second half, the status panel is the only one with controls.
  if (processPanel_) processPanel_->LayOut();
  if (cpuPanel_) cpuPanel_->LayOut();
  if (memoryPanel_) memoryPanel_->LayOut();
  statusPanel_->LayOut();
  const shell::Size size = shell::WindowSize();
  MoveToSuggestedPlace(hwnd_, suggested, {size.width, size.height});
  (void)::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void FormQuorvant::ApplySettings() {
  const shell::SettingsState& s = settings_.State();
  checkNowImproveProcess_.SetValue(s.improveProcess);
  (void)comboSpeed_.SelectText(s.improveSpeed);
  checkEnableAutoFreeMemory_.SetValue(s.autoFreeMemory);
  (void)comboInterval_.SelectText(s.freeMemoryInterval);
  checkAutoRun_.SetValue(s.autorun);
  checkAutoMin_.SetValue(s.automin);
  checkCalmBackground_.SetValue(s.calmBackground);
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
              [this] { return checkNowImproveProcess_.Value() != shell::kUnchecked; },
              [this] { TimerProcessTick(); }),
          // The count of the automatic release shows nowhere: the timer sleeps until the
          // tick that releases.
          // Hidden or shown, once a second while it is on.
          shell::FeatureTimer(
              kTimerCalm, kCalmSampleMs, kCalmSampleMs / 10,
              [this] { return processPanel_->CalmOn(); },
              [this] { processPanel_->TimerCalmTick(); }),
          shell::SleepingFeatureTimer(
              kTimerMemory, 1000, 16, [this] { return memoryPanel_->AutoReleaseOn(); },
              [this] { TimerMemoryTick(); },
              [this](std::int64_t missed) { memoryPanel_->CreditMissedTicks(missed); },
              [this] { return memoryPanel_->TicksUntilAutoRelease(); }),
          shell::ShownTimer(kTimerCpu, 1100, 110, [this] { TimerCpuTick(); }),
          shell::ShownTimer(kTimerState, 100, 10, [this] { TimerStateTick(); }),
          shell::ShownTimer(kTimerOnTimeState, 20, 2, [this] { TimerOnTimeStateTick(); }),
      });
  timers_->Update(shown_);
}

void FormQuorvant::SetShown(bool shown) {
  if (shown == shown_) return;
  shown_ = shown;
  CpuMonitorWindow* graph = statusPanel_ ? statusPanel_->Monitor() : nullptr;
  if (shown) {
    RefreshFigures();
    if (graph) graph->Resume();
  } else if (graph) {
    graph->Pause();
  }
  if (timers_) timers_->Update(shown_);
}

void FormQuorvant::RefreshFigures() {
  // Every figure current before the first paint: no stale value is ever on screen.
  TimerOnTimeStateTick();
  TimerStateTick();
  if (cpuPanel_) statusPanel_->SetLimitedCount(cpuPanel_->ShowLimitedCount());
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
  if (rules_) rules_->GiveBackAll();
  if (cpuPanel_) cpuPanel_->ReleaseAllLimits();
  if (processPanel_) {
    processPanel_->GiveBack();
    processPanel_->GiveBackCalm();
  }
}

void FormQuorvant::ExitProgram() {
  if (exiting_) return;
  exiting_ = true;
  GiveBackEverything();
  // Each step of the teardown runs whatever happened to the one before it.
  RemoveTrayIcon();
  trayListening_ = false;
  if (formMenu_) formMenu_->Close();
  if (cpuPanel_ && cpuPanel_->LimitDialog()) (void)::DestroyWindow(cpuPanel_->LimitDialog());
  (void)::DestroyWindow(hwnd_);
}

void FormQuorvant::SelectEntry(shell::Entry entry) {
  navigation_.Select(entry);
  for (const auto& layout : shell::kEntries) {
    const HWND panel = panels_[Index(layout.entry)].Hwnd();
    (void)::ShowWindow(panel, navigation_.PanelVisible(layout.entry) ? SW_SHOW : SW_HIDE);
  }
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

void FormQuorvant::WarnSettingsNotSaved() {
  if (saveWarning_ == SaveWarning::Shown) return;
  saveWarning_ = SaveWarning::Pending;
  if (!trayIconAdded_) return;
  saveWarning_ = SaveWarning::Shown;
  ShowTrayWarning(
      std::wstring(shell::kProductName),
      L"Settings could not be saved. Your changes apply until " QUORVANT_PRODUCT_NAME_W L" ends.");
}

bool FormQuorvant::LimitDialogVisible() const {
  return cpuPanel_ && cpuPanel_->LimitDialog() && ::IsWindowVisible(cpuPanel_->LimitDialog());
}

void FormQuorvant::RestoreFromTray() {
  (void)::ShowWindow(hwnd_, SW_SHOW);
  (void)::SendMessageW(hwnd_, WM_SYSCOMMAND, SC_RESTORE, 0);
  keys_->Shown();
}

void FormQuorvant::OpenTrayMenu(std::optional<POINT> at) {
  if (!formMenu_) {
    formMenu_ = std::make_unique<FormMenu>([this](shell::MenuItem item) { RunMenuItem(item); });
  }
  if (!formMenu_->Create()) return;
  formMenu_->PopUp(at);
}

std::optional<LRESULT> FormQuorvant::OnTrayMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!trayListening_) return std::nullopt;
  const bool trayEvent = message == shell::kTrayCallbackMessage;
  if (!trayEvent && message != taskbarCreatedMsg_) return std::nullopt;
  // Visibility matters only to the icon's events.
  const bool echo = trayEvent && trayEcho_.IsEcho(shell::TrayEvent(lParam));
  const shell::HookAction action = shell::DecideHook(message, lParam, taskbarCreatedMsg_,
                                                     trayEvent && ::IsWindowVisible(hwnd_) != FALSE,
                                                     trayEvent && LimitDialogVisible(), echo);
  try {
    switch (action) {
      case shell::HookAction::RestoreWindow:
        RestoreFromTray();
        return 0;
      case shell::HookAction::OpenMenu:
        OpenTrayMenu(std::nullopt);
        return 0;
      case shell::HookAction::OpenMenuAtAnchor:
        // The anchor is in screen coordinates, which may be negative on a left monitor.
        OpenTrayMenu(POINT{static_cast<short>(LOWORD(wParam)), static_cast<short>(HIWORD(wParam))});
        return 0;
      case shell::HookAction::AddIconAgain:
        AddTrayIcon(hwnd_);
        return 0;
      case shell::HookAction::Swallow:
        return 0;
      case shell::HookAction::PassOn:
        break;
    }
  } catch (...) {
    return 0;  // the message loop never stops for an error in here
  }
  return std::nullopt;
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
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      skin_.Paint();
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_TIMER:
      OnTimer(wParam);
      return 0;
    case kWmFinishStart:
      FinishStart();
      return 0;
    case kWmLimitEnded:
      // Asks the limits themselves which have ended: the message carries nothing to trust.
      if (cpuPanel_) cpuPanel_->ForgetEndedLimits();
      return 0;
    case WM_NOTIFY:
      if (cpuPanel_ && cpuPanel_->OnNotify(*reinterpret_cast<const NMHDR*>(lParam))) return 0;
      return DefaultProc(message, wParam, lParam);
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return OnCtlColor(reinterpret_cast<HDC>(wParam));
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      skin_.OnMouseDown(shell::MouseButton::Left, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      skin_.OnMouseDown(shell::MouseButton::Right, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      skin_.OnMouseDown(shell::MouseButton::Middle, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_LBUTTONUP:
      skin_.OnMouseUp(shell::MouseButton::Left, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_RBUTTONUP:
      skin_.OnMouseUp(shell::MouseButton::Right, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_MBUTTONUP:
      skin_.OnMouseUp(shell::MouseButton::Middle, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_MOUSEMOVE:
      skin_.OnMouseMove({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_CAPTURECHANGED:
      skin_.OnCaptureChanged(reinterpret_cast<HWND>(lParam));
      return 0;
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
      if (statusPanel_) OnWindowPosChanging(*reinterpret_cast<const WINDOWPOS*>(lParam));
      return DefaultProc(message, wParam, lParam);
    case WM_WINDOWPOSCHANGED:
      if (statusPanel_) SetShown(::IsWindowVisible(hwnd_) && !::IsIconic(hwnd_));
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
      if (const auto handled = OnTrayMessage(message, wParam, lParam)) return *handled;
      return DefaultProc(message, wParam, lParam);
    case WM_NEXTDLGCTL:
      MoveToNextControl(hwnd_, wParam, lParam);
      return 0;
    default:
      // The shell restarted: a registered message, so no case of its own.
      if (const auto handled = OnTrayMessage(message, wParam, lParam)) return *handled;
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

void FormQuorvant::OnCommand(WORD id, WORD code, HWND) {
  // A click ticks a clear or greyed box and clears a ticked one.
  auto toggled = [](const CheckBox& box) {
    const int value = box.Value() == shell::kChecked ? shell::kUnchecked : shell::kChecked;
    box.SetValue(value);
    return value;
  };
  if (code == BN_CLICKED) {
    switch (id) {
      case kIdCheckNowImproveProcess: {
        const int value = toggled(checkNowImproveProcess_);
        settings_.ChangeImproveProcess(value);
        // Off means the raised process goes back to its own class now, not at some tick.
        if (value == shell::kUnchecked) processPanel_->GiveBack();
        // The booster's timer runs only while it is on.
        if (timers_) timers_->Update(shown_);
        return;
      }
      case kIdCheckEnableAutoFreeMemory:
        settings_.ChangeAutoFreeMemory(toggled(checkEnableAutoFreeMemory_));
        if (timers_) timers_->Update(shown_);
        return;
      case kIdCheckAutoRun:
        settings_.ChangeAutorun(toggled(checkAutoRun_));
        return;
      case kIdCheckAutoMin:
        settings_.ChangeAutomin(toggled(checkAutoMin_));
        return;
      case kIdCheckCalmBackground: {
        const int value = toggled(checkCalmBackground_);
        settings_.ChangeCalmBackground(value);
        // Off gives every calmed process back now, and its timer stops.
        if (value == shell::kUnchecked) processPanel_->SwitchCalmOff();
        if (timers_) timers_->Update(shown_);
        return;
      }
      default:
        return;
    }
  }
  if (code == CBN_SELCHANGE) {
    if (id == kIdComboSpeed) settings_.ChangeImproveSpeed(comboSpeed_.Text());
    if (id == kIdComboInterval) {
      settings_.ChangeFreeMemoryInterval(comboInterval_.Text());
      // The release now falls due at another tick.
      if (timers_) timers_->Rearm(kTimerMemory);
    }
  }
}

void FormQuorvant::OpenProgramRules() {
  if (!rules_) return;
  FormProgramRules dialog(*rules_, fonts_);
  if (!dialog.Create(hwnd_)) return;
  dialog.ShowModal();
  // The list's marks follow the rules as they now stand.
  if (cpuPanel_ && !exiting_) cpuPanel_->CommandRefreshProcessClick();
}

void FormQuorvant::OnTimer(UINT_PTR id) {
  if (id == kTimerProcessIcons) {
    (void)::KillTimer(hwnd_, kTimerProcessIcons);
    cpuPanel_->FillPendingIcons();
    return;
  }
  if (timers_) (void)timers_->Dispatch(id);
}

// The speed-up features hang their periodic work on these ticks.
void FormQuorvant::TimerProcessTick() {
  // A boost shows on the status panel too.
  if (const auto boost = processPanel_->TimerProcessTick()) {
    statusPanel_->SetNowImproving(boost->title);
    statusPanel_->SetSpeed(boost->speed);
    // Told once, from the tray icon: the booster tries again at every new front window.
    if (boost->notKept && trayIconAdded_ && !raiseWarningShown_) {
      raiseWarningShown_ = true;
      ShowTrayWarning(std::wstring(shell::kProductName),
                      L"Could not raise the front "
                      L"program: " QUORVANT_PRODUCT_NAME_W L" could not save how to undo it.");
    }
  }
}
void FormQuorvant::TimerCpuTick() { statusPanel_->SetLimitedCount(cpuPanel_->TimerCpuTick()); }
void FormQuorvant::TimerMemoryTick() { memoryPanel_->TimerMemoryTick(); }
void FormQuorvant::TimerStateTick() { statusPanel_->TimerStateTick(); }
void FormQuorvant::TimerOnTimeStateTick() {
  // One reading for both panels, so their figures always agree; the first frame comes
  // before the memory panel, and its figure too.
  statusPanel_->SetMemoryUsage(memoryPanel_ ? memoryPanel_->ShowMemoryState().usedRate
                                            : engine::FiguresOf(memoryReading_->Read()).usedRate);
}

}  // namespace quorvant::win32
