#include "shell/win32/main_window_tray.h"

#include <string>

#include "shell/core/fixed_texts.h"
#include "shell/win32/tray_icon.h"
#include "skin/product.h"

namespace quorvant::win32 {

MainWindowTray::MainWindowTray(Actions actions) : actions_(std::move(actions)) {}

MainWindowTray::~MainWindowTray() = default;

void MainWindowTray::Add(HWND window) {
  window_ = window;
  taskbarCreatedMsg_ = ::RegisterWindowMessageW(L"TaskbarCreated");
  // Run elevated, the window would not hear a restarted shell's broadcast and the icon
  // would never come back.
  (void)::ChangeWindowMessageFilterEx(window, taskbarCreatedMsg_, MSGFLT_ALLOW, nullptr);
  listening_ = true;
  AddTrayIcon(window);
  added_ = true;
  if (saveWarning_ == SaveWarning::Pending) WarnSettingsNotSaved();
}

void MainWindowTray::Remove(const std::function<void()>& meanwhile) {
  // Each step runs whatever happened to the one before it. The shell removes the icon on a
  // thread of its own while the window leaves the screen: either may wait on the desktop.
  listening_ = false;
  std::optional<TrayIconRemoval> iconRemoval;
  if (added_) iconRemoval.emplace();
  if (formMenu_) formMenu_->Close();
  if (meanwhile) meanwhile();
  if (iconRemoval) iconRemoval->Wait();
}

HWND MainWindowTray::MenuWindow() const { return formMenu_ ? formMenu_->Hwnd() : nullptr; }

void MainWindowTray::WarnSettingsNotSaved() {
  if (saveWarning_ == SaveWarning::Shown) return;
  saveWarning_ = SaveWarning::Pending;
  if (!added_) return;
  saveWarning_ = SaveWarning::Shown;
  ShowTrayWarning(
      std::wstring(shell::kProductName),
      L"Settings could not be saved. Your changes apply until " QUORVANT_PRODUCT_NAME_W L" ends.");
}

void MainWindowTray::WarnRaiseNotKept() {
  if (!added_ || raiseWarningShown_) return;
  raiseWarningShown_ = true;
  ShowTrayWarning(std::wstring(shell::kProductName),
                  L"Could not raise the front "
                  L"program: " QUORVANT_PRODUCT_NAME_W L" could not save how to undo it.");
}

void MainWindowTray::OpenMenu(std::optional<POINT> at) {
  if (!formMenu_) formMenu_ = std::make_unique<FormMenu>(actions_.runMenuItem);
  if (!formMenu_->Create()) return;
  formMenu_->PopUp(at);
}

std::optional<LRESULT> MainWindowTray::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!listening_) return std::nullopt;
  const bool trayEvent = message == shell::kTrayCallbackMessage;
  if (!trayEvent && message != taskbarCreatedMsg_) return std::nullopt;
  // Visibility matters only to the icon's events.
  const bool echo = trayEvent && echo_.IsEcho(shell::TrayEvent(lParam));
  const shell::HookAction action = shell::DecideHook(
      message, lParam, taskbarCreatedMsg_, trayEvent && ::IsWindowVisible(window_) != FALSE,
      trayEvent && actions_.limitDialogVisible(), echo);
  try {
    switch (action) {
      case shell::HookAction::RestoreWindow:
        actions_.restoreWindow();
        return 0;
      case shell::HookAction::OpenMenu:
        OpenMenu(std::nullopt);
        return 0;
      case shell::HookAction::OpenMenuAtAnchor:
        // The anchor is in screen coordinates, which may be negative on a left monitor.
        OpenMenu(POINT{static_cast<short>(LOWORD(wParam)), static_cast<short>(HIWORD(wParam))});
        return 0;
      case shell::HookAction::AddIconAgain:
        AddTrayIcon(window_);
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

}  // namespace quorvant::win32
