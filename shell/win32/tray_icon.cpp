#include "shell/win32/tray_icon.h"

#include <shellapi.h>

#include "common/win32/unique_handle.h"
#include "shell/core/fixed_texts.h"
#include "shell/core/tray_hook.h"
#include "shell/win32/program_files.h"
#include "skin/resource.h"

namespace quorvant::win32 {

namespace {

constexpr int kTrayIconSize = 16;
// A shell that has not removed the icon by then is hung; the program ends all the same.
constexpr DWORD kTrayRemovalWaitMs = 5000;

// Filled by AddTrayIcon and reused by TrayIconRemoval.
NOTIFYICONDATAW TrayIconData{};
unique_hicon TrayIcon;

DWORD WINAPI DeleteTrayIcon(void*) {
  (void)::Shell_NotifyIconW(NIM_DELETE, &TrayIconData);
  return 0;
}

}  // namespace

unique_hicon LoadTrayIcon(const std::wstring& folder) {
  const std::wstring file = folder + L"\\ico.ico";
  unique_hicon icon(static_cast<HICON>(::LoadImageW(
      nullptr, file.c_str(), IMAGE_ICON, kTrayIconSize, kTrayIconSize, LR_LOADFROMFILE)));
  if (icon) return icon;
  return unique_hicon(
      static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP),
                                      IMAGE_ICON, kTrayIconSize, kTrayIconSize, 0)));
}

void AddTrayIcon(HWND window) {
  unique_hicon icon = LoadTrayIcon(ExecutableFolder());

  TrayIconData = {};
  // The current form of the record: only with it does the shell tell the program about the
  // keyboard on the icon (Enter or Space to choose it, Shift+F10 for its menu).
  TrayIconData.cbSize = sizeof(TrayIconData);
  TrayIconData.hWnd = window;
  TrayIconData.uID = 0;
  // That form hides the tip unless asked for.
  TrayIconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
  TrayIconData.uCallbackMessage = shell::kTrayCallbackMessage;
  TrayIconData.hIcon = icon.get();
  wcsncpy_s(TrayIconData.szTip, shell::kProductName.data(), _TRUNCATE);
  (void)::Shell_NotifyIconW(NIM_ADD, &TrayIconData);
  // Asked after every add: a recreated taskbar forgets it with the icon.
  TrayIconData.uVersion = NOTIFYICON_VERSION_4;
  (void)::Shell_NotifyIconW(NIM_SETVERSION, &TrayIconData);
  // The shell keeps its own copy of the picture.
  TrayIcon = std::move(icon);
}

void ShowTrayWarning(const std::wstring& title, const std::wstring& text) {
  NOTIFYICONDATAW balloon{};
  balloon.cbSize = sizeof(balloon);
  balloon.hWnd = TrayIconData.hWnd;
  balloon.uID = TrayIconData.uID;
  balloon.uFlags = NIF_INFO;
  balloon.dwInfoFlags = NIIF_WARNING;
  wcsncpy_s(balloon.szInfoTitle, title.c_str(), _TRUNCATE);
  wcsncpy_s(balloon.szInfo, text.c_str(), _TRUNCATE);
  (void)::Shell_NotifyIconW(NIM_MODIFY, &balloon);
}

TrayIconRemoval::TrayIconRemoval()
    : thread_(::CreateThread(nullptr, 0, DeleteTrayIcon, nullptr, 0, nullptr)) {
  // No thread: removed here, at the cost of the wait.
  if (!thread_) (void)::Shell_NotifyIconW(NIM_DELETE, &TrayIconData);
}

void TrayIconRemoval::Wait() {
  if (thread_) {
    const ULONGLONG deadline = ::GetTickCount64() + kTrayRemovalWaitMs;
    for (;;) {
      const ULONGLONG now = ::GetTickCount64();
      if (now >= deadline) break;
      HANDLE thread = thread_.get();
      const DWORD woken = ::MsgWaitForMultipleObjectsEx(
          1, &thread, static_cast<DWORD>(deadline - now), QS_SENDMESSAGE, 0);
      if (woken != WAIT_OBJECT_0 + 1) break;
      // Delivers the sent messages only; posted ones wait for the message loop.
      MSG msg;
      (void)::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    thread_.reset();
  }
  TrayIcon.reset();
}

}  // namespace quorvant::win32
