#include "shell/core/tray_hook.h"

namespace quorvant::shell {

HookAction DecideHook(std::uint32_t message, std::intptr_t lParam, std::uint32_t taskbarCreatedMsg,
                      bool mainWindowVisible, bool limitDialogVisible) {
  if (message == kTrayCallbackMessage && lParam == kMouseLeftDoubleClick) {
    // A visible window, minimised or not, comes back through its taskbar button instead.
    return mainWindowVisible || limitDialogVisible ? HookAction::Swallow
                                                   : HookAction::RestoreWindow;
  }
  if (message == kTrayCallbackMessage && lParam == kMouseRightDown) {
    return limitDialogVisible ? HookAction::Swallow : HookAction::OpenMenu;
  }
  // Zero means the registration failed; no real message has that number.
  if (taskbarCreatedMsg != 0 && message == taskbarCreatedMsg) return HookAction::AddIconAgain;
  return HookAction::PassOn;
}

}  // namespace quorvant::shell
