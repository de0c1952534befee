#include "shell/win32/tray_menu.h"

#include <string>

#include "shell/core/fixed_texts.h"

namespace quorvant::win32 {

FormMenu::~FormMenu() {
  if (m_Menu) (void)::DestroyMenu(m_Menu);
}

bool FormMenu::Create() {
  if (hwnd_) return true;
  RegisterClassOnce(kClassName);
  if (!::CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, shell::kMakerName.data(), WS_POPUP, 0, 0, 0,
                         0, nullptr, nullptr, ::GetModuleHandleW(nullptr), this)) {
    return false;
  }
  m_Menu = ::CreatePopupMenu();
  UINT command = kFirstCommand;
  for (const auto& menuItem : shell::kTrayMenu) {
    if (menuItem.caption.empty()) {
      (void)::AppendMenuW(m_Menu, MF_SEPARATOR, command, nullptr);
    } else {
      (void)::AppendMenuW(m_Menu, MF_STRING, command, std::wstring(menuItem.caption).c_str());
    }
    ++command;
  }
  return true;
}

void FormMenu::PopUp(std::optional<POINT> anchor) {
  POINT at{};
  if (anchor) {
    at = *anchor;
  } else {
    (void)::GetCursorPos(&at);
  }
  // The menu closes when the user clicks elsewhere only if its owner is in the foreground.
  (void)::SetForegroundWindow(hwnd_);
  const UINT align = ::GetSystemMetrics(SM_MENUDROPALIGNMENT) ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
  const UINT chosen = static_cast<UINT>(::TrackPopupMenuEx(
      m_Menu, align | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, hwnd_, nullptr));
  (void)::PostMessageW(hwnd_, WM_NULL, 0, 0);
  if (chosen >= kFirstCommand && chosen < kFirstCommand + shell::kTrayMenu.size()) {
    onItem_(shell::kTrayMenu[chosen - kFirstCommand].item);
  }
}

void FormMenu::Close() {
  if (hwnd_) (void)::DestroyWindow(hwnd_);
}

LRESULT FormMenu::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && HIWORD(wParam) == 0) {
    const UINT command = LOWORD(wParam);
    if (command >= kFirstCommand && command < kFirstCommand + shell::kTrayMenu.size()) {
      onItem_(shell::kTrayMenu[command - kFirstCommand].item);
      return 0;
    }
  }
  return DefaultProc(message, wParam, lParam);
}

}  // namespace quorvant::win32
