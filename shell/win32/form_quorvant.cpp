#include "shell/win32/form_quorvant.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include "common/win32/display_scale.h"
#include "common/win32/gdi_canvas.h"
#include "common/win32/pixel_rect.h"
#include "engine/core/limit_slots.h"
#include "shell/core/fixed_texts.h"
#include "shell/win32/module_get_more_privilege.h"
#include "shell/win32/module_tray_icon.h"
#include "skin/resource.h"

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
};

enum TimerId : UINT_PTR {
  kTimerProcess = 1,
  kTimerCpu,
  kTimerMemory,
  kTimerState,
  kTimerOnTimeState,
};

struct TimerSpec {
  TimerId id;
  UINT intervalMs;
};
constexpr TimerSpec kTimers[] = {
    {kTimerProcess, 900}, {kTimerCpu, 1100},       {kTimerMemory, 1000},
    {kTimerState, 100},   {kTimerOnTimeState, 20},
};

constexpr std::array<std::array<int, 2>, shell::kEntryCount> kNavBitmaps{{
    {IDB_NAV_STATE_0, IDB_NAV_STATE_1},
    {IDB_NAV_PROCESS_0, IDB_NAV_PROCESS_1},
    {IDB_NAV_CPU_0, IDB_NAV_CPU_1},
    {IDB_NAV_MEMORY_0, IDB_NAV_MEMORY_1},
    {IDB_NAV_SETTING_0, IDB_NAV_SETTING_1},
    {IDB_NAV_ABOUT_0, IDB_NAV_ABOUT_1},
}};

constexpr size_t Index(shell::Entry entry) { return static_cast<size_t>(entry); }

// A control on a panel, placed in twips relative to the panel.
HWND CreateControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, WORD id,
                   int left, int top, int width, int height, HFONT font) {
  HWND hwnd = ::CreateWindowExW(
      0, className, text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, TwipsToPixels(left),
      TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height), parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
  (void)::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return hwnd;
}

// Drop-down lists get room for their items below the closed height.
constexpr int kDropDownListTwips = 1500;

FontDesc WindowFont() { return FontDesc{}; }

}  // namespace

FormQuorvant::FormQuorvant() : store_(ConfigFilePath()), settings_(store_, autorun_) {}

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
  const bool startHidden = !Load();
  if (!startHidden) {
    (void)::ShowWindow(hwnd_, SW_SHOW);
    (void)::UpdateWindow(hwnd_);
  }
  return true;
}

// The start-up sequence, in its order. Returns false when the window is to stay hidden.
bool FormQuorvant::Load() {
  // Centre on the primary screen.
  const shell::Point at = shell::CentredWindowPosition(::GetSystemMetrics(SM_CXSCREEN),
                                                       ::GetSystemMetrics(SM_CYSCREEN));
  (void)::SetWindowPos(hwnd_, nullptr, at.x, at.y, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

  EnableDebugPrivilege();
  settings_.writeFailed = [this](shell::SettingKey) { WarnSettingsNotSaved(); };
  LayOutPictures();
  PlacePanels();
  CreatePanelControls();
  ApplySettings();
  const bool startHidden = settings_.State().automin == shell::kChecked;

  // Boost the foreground process now rather than at the first timer interval.
  TimerProcessTick();
  LimitSlots().ReleaseSlotsWithoutProcess();
  CommandRefreshProcessClick();

  TaskbarCreatedMsg = ::RegisterWindowMessageW(L"TaskbarCreated");
  // Run elevated, the window would not hear a restarted shell's broadcast and the icon
  // would never come back.
  (void)::ChangeWindowMessageFilterEx(hwnd_, TaskbarCreatedMsg, MSGFLT_ALLOW, nullptr);
  InstallHook(hwnd_, *this);
  AddTrayIcon(hwnd_);
  trayIconAdded_ = true;
  if (saveWarning_ == SaveWarning::Pending) WarnSettingsNotSaved();
  StartTimers();
  return !startHidden;
}

void FormQuorvant::LayOutPictures() {
  background_ = LoadSkinBitmap(IDB_BACKGROUND);

  auto place = [](auto& pictures, std::initializer_list<int> ids, RECT rect) {
    size_t i = 0;
    for (const int id : ids) {
      pictures[i].bitmap = LoadSkinBitmap(id);
      pictures[i].rect = rect;
      ++i;
    }
  };
  place(imageMin_, {IDB_MIN_0, IDB_MIN_1, IDB_MIN_2},
        PixelRect({shell::kImageMinTwips.x, shell::kImageMinTwips.y, shell::kTitleButtonWidthTwips,
                   shell::kTitleButtonHeightTwips}));
  place(imageExit_, {IDB_EXIT_0, IDB_EXIT_1, IDB_EXIT_2},
        PixelRect({shell::kImageExitTwips.x, shell::kImageExitTwips.y,
                   shell::kTitleButtonWidthTwips, shell::kTitleButtonHeightTwips}));
  for (const auto& entry : shell::kEntries) {
    auto& pictures = navImages_[Index(entry.entry)];
    const auto& ids = kNavBitmaps[Index(entry.entry)];
    place(pictures, {ids[0], ids[1]},
          PixelRect({shell::kNavPictureLeftTwips, entry.pictureTopTwips,
                     shell::kNavPictureWidthTwips, shell::kNavPictureHeightTwips}));
  }
  // Status is the selected entry at start.
  navigation_.Select(shell::Entry::State);

  // Labels are as large as their text, so the mouse finds them where they are drawn.
  auto labelRect = [](const std::wstring& text, int left, int top, HFONT font) {
    return LabelRect(text, TwipsToPixels(left), TwipsToPixels(top), font);
  };
  labels_.clear();
  for (const auto& entry : shell::kEntries) {
    std::wstring text(entry.labelText);
    const HFONT font = Font(WindowFont());
    const RECT rect = labelRect(text, entry.labelLeftTwips, entry.labelTopTwips, font);
    labels_.push_back({std::move(text), rect, font, shell::kNavLabelWhite, entry.entry});
  }
  for (const auto& fixed : shell::kFrameTexts) {
    std::wstring text(fixed.text);
    const HFONT font = Font(fixed.Font());
    const RECT rect = labelRect(text, fixed.leftTwips, fixed.topTwips, font);
    labels_.push_back({std::move(text), rect, font, fixed.color, std::nullopt});
  }
}

void FormQuorvant::PlacePanels() {
  for (const auto& entry : shell::kEntries) {
    Panel& panel = panels_[Index(entry.entry)];
    const RECT r = PixelRect({shell::kPanelLeftTwips, shell::kPanelTopTwips, entry.panelWidthTwips,
                              entry.panelHeightTwips});
    if (!panel.Hwnd()) (void)panel.Create(hwnd_, r.left, r.top, r.right - r.left, r.bottom - r.top);
  }
  SelectEntry(shell::Entry::State);

  auto addTexts = [this](Panel& panel, const auto& texts) {
    for (const auto& text : texts) {
      panel.AddLabel(std::wstring(text.text), TwipsToPixels(text.leftTwips),
                     TwipsToPixels(text.topTwips), Font(text.Font()), text.color.value_or(0));
    }
  };
  Panel& about = panels_[Index(shell::Entry::About)];
  addTexts(about, shell::kAboutPanelTexts);
  linkCursor_.reset(
      static_cast<HCURSOR>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_LINK),
                                        IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE)));
  const auto& link = shell::kHomePageLabel;
  about.AddLink(std::wstring(link.text), TwipsToPixels(link.leftTwips),
                TwipsToPixels(link.topTwips), Font(link.Font()), link.color.value_or(0),
                linkCursor_.get(), [this] { OpenHomePage(hwnd_); });
  aboutPicture_ = LoadSkinBitmap(IDB_ABOUT_PICTURE);
  about.AddPicture(aboutPicture_.get(), TwipsToPixels(3840), TwipsToPixels(720));

  Panel& setting = panels_[Index(shell::Entry::Setting)];
  addTexts(setting, shell::kSettingPanelTexts);
  settingPicture_ = LoadSkinBitmap(IDB_SETTING_PICTURE);
  setting.AddPicture(settingPicture_.get(), TwipsToPixels(120), TwipsToPixels(240));
}

void FormQuorvant::CreatePanelControls() {
  const HFONT font = Font(WindowFont());
  constexpr DWORD kCheck = BS_3STATE;  // the form decides each click's new state
  constexpr DWORD kList = CBS_DROPDOWNLIST | WS_VSCROLL;

  HWND process = panels_[Index(shell::Entry::Process)].Hwnd();
  checkNowImproveProcess_ =
      CheckBox(CreateControl(process, WC_BUTTONW, L"Enable speed up process", kCheck,
                             kIdCheckNowImproveProcess, 1200, 1560, 2895, 255, font));
  panels_[Index(shell::Entry::Process)].AddLabel(L"Speed up level:", TwipsToPixels(1560),
                                                 TwipsToPixels(1920), font, 0);
  comboSpeed_ = ComboBox(CreateControl(process, WC_COMBOBOXW, L"", kList, kIdComboSpeed, 3000, 1920,
                                       1815, kDropDownListTwips, font));
  processPanel_ = std::make_unique<ProcessPanel>();
  (void)processPanel_->Create(panels_[Index(shell::Entry::Process)], checkNowImproveProcess_,
                              comboSpeed_, fonts_);

  HWND memory = panels_[Index(shell::Entry::Memory)].Hwnd();
  checkEnableAutoFreeMemory_ =
      CheckBox(CreateControl(memory, WC_BUTTONW, L"Automatically release memory", kCheck,
                             kIdCheckEnableAutoFreeMemory, 1200, 2880, 3735, 255, font));
  panels_[Index(shell::Entry::Memory)].AddLabel(L"Interval:", TwipsToPixels(1560),
                                                TwipsToPixels(3240), font, 0);
  comboInterval_ = ComboBox(CreateControl(memory, WC_COMBOBOXW, L"", kList, kIdComboInterval, 2400,
                                          3240, 1815, kDropDownListTwips, font));
  memoryPanel_ = std::make_unique<MemoryPanel>();
  (void)memoryPanel_->Create(panels_[Index(shell::Entry::Memory)], hwnd_, fonts_,
                             checkEnableAutoFreeMemory_, comboInterval_);

  HWND setting = panels_[Index(shell::Entry::Setting)].Hwnd();
  checkAutoRun_ = CheckBox(CreateControl(setting, WC_BUTTONW, L"Start with windows", kCheck,
                                         kIdCheckAutoRun, 1320, 600, 4335, 255, font));
  checkAutoMin_ = CheckBox(CreateControl(setting, WC_BUTTONW, L"Auto minimize on start up", kCheck,
                                         kIdCheckAutoMin, 1320, 960, 4335, 255, font));

  cpuPanel_ = std::make_unique<CpuPanel>(panels_[Index(shell::Entry::CPU)], fonts_);
  (void)cpuPanel_->Create();

  // The graph samples on its own timer from now on.
  statusPanel_ = std::make_unique<StatusPanel>(panels_[Index(shell::Entry::State)], fonts_);

  for (const auto item : shell::kSpeedItems) (void)comboSpeed_.AddString(std::wstring(item));
  for (const auto item : shell::kIntervalItems) (void)comboInterval_.AddString(std::wstring(item));
}

void FormQuorvant::ApplySettings() {
  (void)settings_.ApplyStored();
  const shell::SettingsState& s = settings_.State();
  checkNowImproveProcess_.SetValue(s.improveProcess);
  (void)comboSpeed_.SelectText(s.improveSpeed);
  checkEnableAutoFreeMemory_.SetValue(s.autoFreeMemory);
  (void)comboInterval_.SelectText(s.freeMemoryInterval);
  checkAutoRun_.SetValue(s.autorun);
  checkAutoMin_.SetValue(s.automin);
}

void FormQuorvant::StartTimers() {
  for (const auto& timer : kTimers) (void)::SetTimer(hwnd_, timer.id, timer.intervalMs, nullptr);
}

void FormQuorvant::ExitProgram() {
  if (exiting_) return;
  exiting_ = true;
  // Each step runs whatever happened to the one before it. Limited processes run freely
  // again first of all.
  if (cpuPanel_) cpuPanel_->ReleaseAllLimits();
  RemoveTrayIcon();
  RemoveHook(hwnd_);
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
}

void FormQuorvant::RunMenuItem(shell::MenuItem item) {
  for (const auto& menuItem : shell::kTrayMenu) {
    if (menuItem.item != item || !menuItem.entry) continue;
    // Shows a hidden window and activates it; a minimised one stays minimised.
    (void)::ShowWindow(hwnd_, SW_SHOW);
    SelectEntry(*menuItem.entry);
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
  ShowTrayWarning(std::wstring(shell::kProductName),
                  L"Settings could not be saved. Your changes apply until Quorvant ends.");
}

bool FormQuorvant::LimitDialogVisible() const {
  return cpuPanel_ && cpuPanel_->LimitDialog() && ::IsWindowVisible(cpuPanel_->LimitDialog());
}

void FormQuorvant::RestoreFromTray() {
  (void)::ShowWindow(hwnd_, SW_SHOW);
  (void)::SendMessageW(hwnd_, WM_SYSCOMMAND, SC_RESTORE, 0);
}

void FormQuorvant::OpenTrayMenu() {
  if (!formMenu_) {
    formMenu_ = std::make_unique<FormMenu>([this](shell::MenuItem item) { RunMenuItem(item); });
  }
  if (!formMenu_->Create()) return;
  formMenu_->PopUp();
}

void FormQuorvant::AddIconAgain() { AddTrayIcon(hwnd_); }

FormQuorvant::Hit FormQuorvant::HitTest(POINT at) const {
  // Only the navigation labels take the mouse; the frame's texts let it through, so the
  // title strip drags wherever it is, under "Morwick" too.
  for (const auto& label : labels_) {
    if (label.entry && ::PtInRect(&label.rect, at)) return {Hit::Kind::NavEntry, label.entry};
  }
  if (::PtInRect(&imageMin_[0].rect, at)) return {Hit::Kind::Minimise, {}};
  if (::PtInRect(&imageExit_[0].rect, at)) return {Hit::Kind::Close, {}};
  const RECT caption = PixelRect({shell::kImageCaptionTwips.x, shell::kImageCaptionTwips.y,
                                  shell::kImageCaptionWidthTwips, shell::kImageCaptionHeightTwips});
  if (::PtInRect(&caption, at)) return {Hit::Kind::Caption, {}};
  for (const auto& layout : shell::kEntries) {
    if (::PtInRect(&navImages_[Index(layout.entry)][0].rect, at)) {
      return {Hit::Kind::NavEntry, layout.entry};
    }
  }
  return {Hit::Kind::Background, {}};
}

void FormQuorvant::OnMouseDown(shell::MouseButton button, POINT at) {
  const Hit hit = HitTest(at);
  switch (hit.kind) {
    case Hit::Kind::Minimise:
    case Hit::Kind::Close:
      (hit.kind == Hit::Kind::Minimise ? imageMinButton_ : imageExitButton_).MouseDown(button);
      InvalidateTitleButtons();
      break;
    case Hit::Kind::Caption:
      if (button == shell::MouseButton::Left) {
        // The system moves the window while the button is held.
        (void)::ReleaseCapture();
        (void)::SendMessageW(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
      }
      return;
    case Hit::Kind::NavEntry:
      if (button != shell::MouseButton::Left) return;
      break;
    default:
      return;
  }
  pressed_ = hit;
  (void)::SetCapture(hwnd_);
}

void FormQuorvant::OnMouseMove(POINT at) {
  // While a title-bar button holds the mouse, every move goes to it.
  Hit hit =
      pressed_ && (pressed_->kind == Hit::Kind::Minimise || pressed_->kind == Hit::Kind::Close)
          ? *pressed_
          : HitTest(at);
  switch (hit.kind) {
    case Hit::Kind::Minimise:
      imageMinButton_.MouseMove();
      break;
    case Hit::Kind::Close:
      imageExitButton_.MouseMove();
      break;
    case Hit::Kind::Background:
      imageMinButton_.BackgroundMove();
      imageExitButton_.BackgroundMove();
      break;
    default:
      return;
  }
  InvalidateTitleButtons();
}

void FormQuorvant::OnMouseUp(shell::MouseButton button, POINT at) {
  if (!pressed_) return;
  const Hit pressed = *pressed_;
  pressed_.reset();
  if (::GetCapture() == hwnd_) (void)::ReleaseCapture();
  const bool releasedOver = HitTest(at) == pressed;
  const bool leftClick = button == shell::MouseButton::Left && releasedOver;

  if (pressed.kind == Hit::Kind::Minimise || pressed.kind == Hit::Kind::Close) {
    shell::TitleButton& titleButton =
        pressed.kind == Hit::Kind::Minimise ? imageMinButton_ : imageExitButton_;
    shell::TitleButton::Action action = titleButton.MouseUp(button);
    if (action == shell::TitleButton::Action::None && leftClick) action = titleButton.Click();
    InvalidateTitleButtons();
    RunTitleAction(action);
    return;
  }
  if (pressed.kind == Hit::Kind::NavEntry && leftClick) SelectEntry(*pressed.entry);
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

void FormQuorvant::InvalidateTitleButtons() {
  (void)::InvalidateRect(hwnd_, &imageMin_[0].rect, FALSE);
  (void)::InvalidateRect(hwnd_, &imageExit_[0].rect, FALSE);
}

LRESULT FormQuorvant::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_TIMER:
      OnTimer(wParam);
      return 0;
    case WM_NOTIFY:
      if (cpuPanel_ && cpuPanel_->OnNotify(*reinterpret_cast<const NMHDR*>(lParam))) return 0;
      return DefaultProc(message, wParam, lParam);
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return OnCtlColor(reinterpret_cast<HDC>(wParam));
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      OnMouseDown(shell::MouseButton::Left, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      OnMouseDown(shell::MouseButton::Right, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      OnMouseDown(shell::MouseButton::Middle, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_LBUTTONUP:
      OnMouseUp(shell::MouseButton::Left, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_RBUTTONUP:
      OnMouseUp(shell::MouseButton::Right, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_MBUTTONUP:
      OnMouseUp(shell::MouseButton::Middle, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != hwnd_) pressed_.reset();
      return 0;
    case WM_QUERYENDSESSION:
      // The session may end without another message reaching the program: no process is
      // left limited, whether it ends or not.
      if (cpuPanel_) cpuPanel_->ReleaseAllLimits();
      return TRUE;
    case WM_CLOSE:
    case WM_ENDSESSION:
      // Closed by the system (Alt+F4, log-off): end as "Exit" does, so no dead icon stays.
      if (message == WM_CLOSE || wParam) ExitProgram();
      return 0;
    case WM_DESTROY:
      if (cpuPanel_) cpuPanel_->ReleaseAllLimits();
      for (const auto& timer : kTimers) (void)::KillTimer(hwnd_, timer.id);
      ::PostQuitMessage(0);
      return 0;
    default:
      return DefaultProc(message, wParam, lParam);
  }
}

void FormQuorvant::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(hwnd_, &ps);
  RECT client;
  (void)::GetClientRect(hwnd_, &client);
  // Composed off screen so the skin never flickers.
  unique_hdc memory(::CreateCompatibleDC(dc));
  unique_hbitmap canvas(::CreateCompatibleBitmap(dc, client.right, client.bottom));
  {
    ScopedSelect selectCanvas(memory.get(), canvas.get());
    DrawBitmap(memory.get(), background_.get(), 0, 0);
    auto draw = [&](const SkinPicture& picture) {
      DrawBitmap(memory.get(), picture.bitmap.get(), picture.rect.left, picture.rect.top);
    };
    for (const auto& layout : shell::kEntries) {
      draw(navImages_[Index(layout.entry)][navigation_.PictureIndex(layout.entry)]);
    }
    draw(imageMin_[static_cast<size_t>(imageMinButton_.CurrentLook())]);
    draw(imageExit_[static_cast<size_t>(imageExitButton_.CurrentLook())]);
    (void)::SetBkMode(memory.get(), TRANSPARENT);
    for (const auto& label : labels_) {
      DrawLabel(memory.get(), label.text, {label.rect.left, label.rect.top}, label.font,
                label.color ? *label.color : ::GetSysColor(COLOR_BTNTEXT));
    }
    (void)::BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
  }
  (void)::EndPaint(hwnd_, &ps);
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
      case kIdCheckNowImproveProcess:
        settings_.ChangeImproveProcess(toggled(checkNowImproveProcess_));
        return;
      case kIdCheckEnableAutoFreeMemory:
        settings_.ChangeAutoFreeMemory(toggled(checkEnableAutoFreeMemory_));
        return;
      case kIdCheckAutoRun:
        settings_.ChangeAutorun(toggled(checkAutoRun_));
        return;
      case kIdCheckAutoMin:
        settings_.ChangeAutomin(toggled(checkAutoMin_));
        return;
      default:
        return;
    }
  }
  if (code == CBN_SELCHANGE) {
    if (id == kIdComboSpeed) settings_.ChangeImproveSpeed(comboSpeed_.Text());
    if (id == kIdComboInterval) settings_.ChangeFreeMemoryInterval(comboInterval_.Text());
  }
}

void FormQuorvant::OnTimer(UINT_PTR id) {
  switch (id) {
    case kTimerProcess:
      TimerProcessTick();
      break;
    case kTimerCpu:
      TimerCpuTick();
      break;
    case kTimerMemory:
      TimerMemoryTick();
      break;
    case kTimerState:
      TimerStateTick();
      break;
    case kTimerOnTimeState:
      TimerOnTimeStateTick();
      break;
    default:
      break;
  }
}

// The speed-up features hang their periodic work on these ticks.
void FormQuorvant::TimerProcessTick() {
  // A boost shows on the status panel too.
  if (const auto boost = processPanel_->TimerProcessTick()) {
    statusPanel_->SetNowImproving(boost->title);
    statusPanel_->SetSpeed(boost->speed);
  }
}
void FormQuorvant::TimerCpuTick() { statusPanel_->SetLimitedCount(cpuPanel_->TimerCpuTick()); }
void FormQuorvant::TimerMemoryTick() { memoryPanel_->TimerMemoryTick(); }
void FormQuorvant::TimerStateTick() { statusPanel_->TimerStateTick(); }
void FormQuorvant::TimerOnTimeStateTick() {
  // One reading for both panels, so their figures always agree.
  statusPanel_->SetMemoryUsage(memoryPanel_->ShowMemoryState().usedRate);
}
void FormQuorvant::CommandRefreshProcessClick() { cpuPanel_->CommandRefreshProcessClick(); }

}  // namespace quorvant::win32
