#pragma once

#include <cstdint>

namespace quorvant::shell {

// The notification icon reports its events to the main window with this message. The icon
// uses the shell's current callback form: the event in the low word of lParam (the icon's id,
// 0, in the high word) and the anchor point, in screen coordinates, in wParam.
inline constexpr std::uint32_t kTrayCallbackMessage = 2025;
inline constexpr std::uint32_t kMouseMove = 0x200;
inline constexpr std::uint32_t kMouseLeftUp = 0x202;
inline constexpr std::uint32_t kMouseLeftDoubleClick = 0x203;
inline constexpr std::uint32_t kMouseRightDown = 0x204;
inline constexpr std::uint32_t kMouseRightUp = 0x205;
// Shift+F10 or the context-menu key on the icon, and the right button's release.
inline constexpr std::uint32_t kContextMenu = 0x7B;
// Enter on the icon, and the left button's release.
inline constexpr std::uint32_t kIconSelect = 0x400;
// Space or Enter on the icon reached with the keyboard.
inline constexpr std::uint32_t kIconKeySelect = 0x401;

constexpr std::uint32_t TrayEvent(std::intptr_t lParam) {
  return static_cast<std::uint32_t>(lParam) & 0xFFFF;
}

enum class HookAction {
  PassOn,            // to the window procedure that was there before the hook
  Swallow,           // handled: answer 0 and do nothing
  RestoreWindow,     // show the hidden main window and restore it
  OpenMenu,          // open the tray menu at the mouse
  OpenMenuAtAnchor,  // open the tray menu at the icon's anchor point (wParam)
  AddIconAgain,      // the taskbar was recreated
};

// The shell follows each release of a mouse button on the icon with a notification of its
// own: the left button's with kIconSelect, the right button's with kContextMenu. That
// echo belongs to the click, which the mouse events already handled; the same
// notification without a release just before it comes from the keyboard.
class TrayMouseEcho {
 public:
  // Takes the icon's events in the order they arrive; true when this one is an echo.
  bool IsEcho(std::uint32_t event);

 private:
  std::uint32_t expected_ = 0;
};

// The hooked window procedure's decision for one message, tested in its fixed order. echo
// tells that the icon's event is the echo of a mouse click (see TrayMouseEcho).
HookAction DecideHook(std::uint32_t message, std::intptr_t lParam, std::uint32_t taskbarCreatedMsg,
                      bool mainWindowVisible, bool limitDialogVisible, bool echo = false);

}  // namespace quorvant::shell
