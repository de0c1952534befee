#pragma once

#include <shellapi.h>
#include <windows.h>

#include <cwchar>

namespace quorvant::testing_support {

// Whether the shell still holds the icon owner added: modifying a missing icon fails.
inline bool TrayIconExists(HWND owner) {
  NOTIFYICONDATAW data{};
  data.cbSize = NOTIFYICONDATAW_V1_SIZE;
  data.hWnd = owner;
  data.uID = 0;
  data.uFlags = NIF_TIP;
  wcscpy_s(data.szTip, L"Quorvant");
  return ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

}  // namespace quorvant::testing_support
