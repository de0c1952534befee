#include "button/win32/command_keys.h"

#include <cwctype>

namespace quorvant::win32 {

void CommandKeyRouter::Add(Command& button) {
  buttons_.push_back(&button);
  button.focusChanged = [this](HWND focus) { UpdateDefaultLook(focus); };
}

void CommandKeyRouter::SetDefault(Command* button) {
  default_ = button;
  UpdateDefaultLook(::GetFocus());
}

void CommandKeyRouter::SetCancel(Command* button) { cancel_ = button; }

bool CommandKeyRouter::BelongsToForm(HWND hwnd) const {
  return hwnd && (hwnd == form_ || ::IsChild(form_, hwnd));
}

Command* CommandKeyRouter::ButtonOf(HWND hwnd) const {
  if (!hwnd) return nullptr;
  for (Command* b : buttons_) {
    if (b->Hwnd() == hwnd) return b;
  }
  return nullptr;
}

Command* CommandKeyRouter::ByAccessKey(wchar_t key) const {
  const auto lower = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(key)));
  for (Command* b : buttons_) {
    if (Usable(b) && b->Core().AccessKey() == lower) return b;
  }
  return nullptr;
}

// A button the form has hidden or disabled takes no keys.
bool CommandKeyRouter::Usable(const Command* button) {
  if (!button || !button->Hwnd()) return false;
  const auto style = static_cast<DWORD>(::GetWindowLongPtrW(button->Hwnd(), GWL_STYLE));
  return (style & WS_VISIBLE) && ::IsWindowEnabled(button->Hwnd());
}

void CommandKeyRouter::UpdateDefaultLook(HWND focus) {
  Command* focused = ButtonOf(focus);
  for (Command* b : buttons_) {
    b->SetDisplayAsDefault(focused ? b == focused : b == default_);
  }
}

bool CommandKeyRouter::PreTranslateMessage(const MSG& msg) {
  if (!BelongsToForm(msg.hwnd)) return false;
  Command* target = nullptr;
  switch (msg.message) {
    case WM_KEYDOWN:
      if (msg.wParam == kEnterKey && default_) {
        Command* focused = ButtonOf(::GetFocus());
        target = focused ? focused : default_;
      } else if (msg.wParam == kCancelKey) {
        target = cancel_;
      }
      break;
    case WM_SYSCHAR:
      target = ByAccessKey(static_cast<wchar_t>(msg.wParam));
      break;
    case WM_CHAR:
      // Space is the focused button's own key.
      if (msg.wParam != L' ' && ButtonOf(::GetFocus()))
        target = ByAccessKey(static_cast<wchar_t>(msg.wParam));
      break;
    default:
      break;
  }
  if (!Usable(target)) return false;
  target->Core().OnAccessKeyPress();
  return true;
}

}  // namespace quorvant::win32
