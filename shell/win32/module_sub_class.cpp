#include "shell/win32/module_sub_class.h"

#include "shell/core/tray_hook.h"

namespace quorvant::win32 {

UINT TaskbarCreatedMsg = 0;
WNDPROC PrevWndProc = nullptr;

namespace {
HookTarget* Target = nullptr;
shell::TrayMouseEcho TrayEcho;
}  // namespace

void InstallHook(HWND window, HookTarget& target) {
  Target = &target;
  PrevWndProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HookWindowProc)));
}

void RemoveHook(HWND window) {
  if (!PrevWndProc) return;
  (void)::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PrevWndProc));
  Target = nullptr;
}

LRESULT CALLBACK HookWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Visibility matters only to the icon's events; every other message passes straight on.
  const bool trayEvent = Target && message == shell::kTrayCallbackMessage;
  const bool echo =
      trayEvent && TrayEcho.IsEcho(shell::TrayEvent(static_cast<std::intptr_t>(lParam)));
  const shell::HookAction action =
      Target ? shell::DecideHook(message, static_cast<std::intptr_t>(lParam), TaskbarCreatedMsg,
                                 trayEvent && ::IsWindowVisible(window) != FALSE,
                                 trayEvent && Target->LimitDialogVisible(), echo)
             : shell::HookAction::PassOn;
  try {
    switch (action) {
      case shell::HookAction::RestoreWindow:
        Target->RestoreFromTray();
        return 0;
      case shell::HookAction::OpenMenu:
        Target->OpenTrayMenu(std::nullopt);
        return 0;
      case shell::HookAction::OpenMenuAtAnchor:
        // The anchor is in screen coordinates, which may be negative on a left monitor.
        Target->OpenTrayMenu(
            POINT{static_cast<short>(LOWORD(wParam)), static_cast<short>(HIWORD(wParam))});
        return 0;
      case shell::HookAction::AddIconAgain:
        Target->AddIconAgain();
        return 0;
      case shell::HookAction::Swallow:
        return 0;
      case shell::HookAction::PassOn:
        break;
    }
  } catch (...) {
    return 0;  // the message loop never stops for an error in here
  }
  return PrevWndProc ? ::CallWindowProcW(PrevWndProc, window, message, wParam, lParam)
                     : ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace quorvant::win32
