#include "shell/core/tray_hook.h"

namespace quorvant::shell {

bool TrayMouseEcho::IsEcho(std::uint32_t event) {
  // Moves come and go between a release and its echo.
  if (event == kMouseMove) return false;
  const bool echo = expected_ != 0 && event == expected_;
  expected_ = event == kMouseLeftUp ? kIconSelect : event == kMouseRightUp ? kContextMenu : 0;
  return echo;
}

HookAction DecideHook(std::uint32_t message, std::intptr_t lParam, std::uint32_t taskbarCreatedMsg,
                      bool mainWindowVisible, bool limitDialogVisible, bool echo) {
  if (message == kTrayCallbackMessage) {
    const std::uint32_t event = TrayEvent(lParam);
    // A double click, or the icon chosen with the keyboard, brings the hidden window back.
    if (event == kMouseLeftDoubleClick || event == kIconKeySelect ||
        (event == kIconSelect && !echo)) {
      // A visible window, minimised or not, comes back through its taskbar button instead.
      return mainWindowVisible || limitDialogVisible ? HookAction::Swallow
                                                     : HookAction::RestoreWindow;
    }
    if (event == kMouseRightDown) {
      return limitDialogVisible ? HookAction::Swallow : HookAction::OpenMenu;
    }
    if (event == kContextMenu && !echo) {
      return limitDialogVisible ? HookAction::Swallow : HookAction::OpenMenuAtAnchor;
    }
  }
  // Zero means the registration failed; no real message has that number.
  if (taskbarCreatedMsg != 0 && message == taskbarCreatedMsg) return HookAction::AddIconAgain;
  return HookAction::PassOn;
}

}  // namespace quorvant::shell
