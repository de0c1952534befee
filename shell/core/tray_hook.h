#pragma once

#include <cstdint>

namespace quorvant::shell {

// The notification icon reports its mouse events to the main window with this message.
inline constexpr std::uint32_t kTrayCallbackMessage = 2025;
inline constexpr std::uint32_t kMouseLeftDoubleClick = 0x203;
inline constexpr std::uint32_t kMouseRightDown = 0x204;

enum class HookAction {
  PassOn,         // to the window procedure that was there before the hook
  Swallow,        // handled: answer 0 and do nothing
  RestoreWindow,  // show the hidden main window and restore it
  OpenMenu,       // open the tray menu
  AddIconAgain,   // the taskbar was recreated
};

// The hooked window procedure's decision for one message, tested in its fixed order.
HookAction DecideHook(std::uint32_t message, std::intptr_t lParam, std::uint32_t taskbarCreatedMsg,
                      bool mainWindowVisible, bool limitDialogVisible);

}  // namespace quorvant::shell
