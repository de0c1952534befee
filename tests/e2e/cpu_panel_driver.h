#pragma once

// The CPU panel of a running quorvant.exe, found and driven from outside as a user's tools
// would: its list, buttons and count, and the limit dialog.

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "tests/e2e/app_driver.h"

namespace quorvant::e2e {

// Control ids of the CPU panel, as the program gives them.
inline constexpr int kIdList = 2001;
inline constexpr int kIdLimitedCount = 2004;
inline constexpr int kColumnPid = 1;
inline constexpr int kColumnLimited = 3;

// The row that shows process id, -1 when none does.
inline int RowOf(const RemoteListView& list, DWORD id) {
  for (int row = 0, n = list.Count(); row < n; ++row) {
    if (list.Text(row, kColumnPid) == std::to_wstring(id)) return row;
  }
  return -1;
}

inline HWND FindById(HWND parent, int id) {
  struct Search {
    int id;
    HWND found;
  } search{id, nullptr};
  (void)::EnumChildWindows(
      parent,
      [](HWND child, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if (::GetDlgCtrlID(child) != s->id) return TRUE;
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A click as the mouse gives it, posted so that a dialog it opens does not block the test.
inline void Click(HWND button) {
  (void)::PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  (void)::PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

// A click that returns once the program has handled it.
inline void SendClick(HWND button) {
  for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP}) {
    (void)::SendMessageTimeoutW(button, message, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0,
                                MAKELPARAM(5, 5), SMTO_BLOCK, 20000, nullptr);
  }
}

// The CPU panel's controls in the program's main window, once start-up has shown it.
struct CpuPanelWindows {
  HWND main = nullptr;
  HWND list = nullptr;
  HWND count = nullptr;
  HWND refresh = nullptr;
  HWND limit = nullptr;
};
inline bool FindCpuPanel(const AppProcess& app, CpuPanelWindows& w) {
  // The window is shown once the start-up, and with it the first list, is complete.
  return WaitFor(
      [&] {
        w.main = app.MainWindow();
        if (!w.main || !::IsWindowVisible(w.main) || !(w.list = FindById(w.main, kIdList))) {
          return false;
        }
        const HWND panel = ::GetParent(w.list);
        w.count = FindById(panel, kIdLimitedCount);
        w.refresh = FindDescendantByText(panel, L"Refresh");
        w.limit = FindDescendantByText(panel, L"Limit");
        return w.count && w.refresh && w.limit;
      },
      std::chrono::seconds(20));
}

// The limit dialog of the program once it is ready for input: shown, which it is only after
// its slider's range and first position are set. A dialog that merely exists may still be
// setting them, and would overwrite a position the test chose.
inline HWND WaitForDialog(const AppProcess& app) {
  HWND dialog = nullptr;
  (void)WaitFor([&] {
    dialog = app.FindTopLevel(L"FormSetProcessCpuPercent");
    if (!dialog || !::IsWindowVisible(dialog)) return false;
    const HWND slider = ::FindWindowExW(dialog, nullptr, TRACKBAR_CLASSW, nullptr);
    return slider && ::SendMessageW(slider, TBM_GETRANGEMAX, 0, 0) > 1;
  });
  return ::IsWindowVisible(dialog) ? dialog : nullptr;
}

// Sets the dialog's slider as the keyboard would, and tells the dialog.
inline void Slide(HWND dialog, int percent) {
  const HWND slider = ::FindWindowExW(dialog, nullptr, TRACKBAR_CLASSW, nullptr);
  (void)::SendMessageW(slider, TBM_SETPOS, TRUE, percent);
  (void)::SendMessageW(dialog, WM_HSCROLL, TB_THUMBPOSITION, reinterpret_cast<LPARAM>(slider));
}

// Presses a dialog button and waits until the dialog has gone.
inline bool Answer(HWND dialog, const wchar_t* caption) {
  const HWND button = FindDescendantByText(dialog, caption);
  if (!button) return false;
  Click(button);
  return WaitFor([&] { return !::IsWindow(dialog); });
}

// Refreshes the list until the process id has its row: a process started a moment ago may
// not be in the system's walk yet.
inline bool RefreshUntilListed(const CpuPanelWindows& w, const RemoteListView& list, DWORD id) {
  return WaitFor([&] {
    SendClick(w.refresh);
    return RowOf(list, id) >= 0;
  });
}

// The rows that show a limit, "pid name limit; ..." for a failure's message.
inline std::wstring LimitedRows(const RemoteListView& list) {
  std::wstring rows;
  for (int row = 0, n = list.Count(); row < n; ++row) {
    const std::wstring limit = list.Text(row, kColumnLimited);
    if (!limit.empty())
      rows += list.Text(row, kColumnPid) + L" " + list.Text(row, 2) + L" " + limit + L"; ";
  }
  return rows;
}

// Limits the row of process id to percent through "Limit", the slider and "OK" (or, on a
// limited row, "Release" when percent is 0); false when a step did not happen.
inline bool LimitThroughDialog(const AppProcess& app, const CpuPanelWindows& w,
                               const RemoteListView& list, DWORD id, int percent) {
  const int row = RowOf(list, id);
  if (row < 0) return false;
  list.Select(row);
  Click(w.limit);
  const HWND dialog = WaitForDialog(app);
  if (!dialog) return false;
  if (percent == 0) return Answer(dialog, L"Release");
  Slide(dialog, percent);
  return Answer(dialog, L"OK");
}

}  // namespace quorvant::e2e
