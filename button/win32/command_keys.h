#pragma once

#include <windows.h>

#include <vector>

#include "button/win32/command.h"

namespace quorvant::win32 {

// A form's keyboard routing to its buttons, the part of a form's behaviour that the
// button cannot do alone:
//  - Enter clicks the button the form shows as default: the focused button, otherwise
//    the default button (only when the form has one).
//  - Escape clicks the cancel button.
//  - Alt+letter, or a plain letter while a button has the focus, clicks the button whose
//    caption marks that letter with "&".
//  - While the focus is on another button, the default button does not show as default.
//
// Use: one router per form, living as long as the form's buttons. Add each button, set
// the default and cancel buttons, and let the form's key preview (see dialog_keys.h) ask
// the router first, before IsDialogMessage sees the key:
//
//   if (message == KeyPreviewMessage()) return router.PreTranslateMessage(*msg);
//
// Add takes over the button's focusChanged callback.
class CommandKeyRouter {
 public:
  static constexpr WPARAM kEnterKey = VK_RETURN;
  static constexpr WPARAM kCancelKey = VK_ESCAPE;

  explicit CommandKeyRouter(HWND form) : form_(form) {}
  CommandKeyRouter(const CommandKeyRouter&) = delete;
  CommandKeyRouter& operator=(const CommandKeyRouter&) = delete;

  void Add(Command& button);
  void SetDefault(Command* button);
  void SetCancel(Command* button);

  // True when the message was a key this router acted on; the loop then drops it.
  bool PreTranslateMessage(const MSG& msg);

  // Shows the default look on the right button for the window that has (or is
  // receiving) the focus.
  void UpdateDefaultLook(HWND focus);

 private:
  bool BelongsToForm(HWND hwnd) const;
  Command* ButtonOf(HWND hwnd) const;
  Command* ByAccessKey(wchar_t key) const;
  static bool Usable(const Command* button);

  HWND form_;
  std::vector<Command*> buttons_;
  Command* default_ = nullptr;
  Command* cancel_ = nullptr;
};

}  // namespace quorvant::win32
