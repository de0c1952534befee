// Tells an end-to-end script what the system knows of a top-level window that X cannot
// show, such as a minimised window on a display without a window manager.
// Usage:
//   window_probe.exe CLASS [TEXT]   "found=0|1 visible=0|1 iconic=0|1", and with TEXT
//                                   " checked=N" for the window's check box with that caption
//                                   (-1 when there is none)
//   window_probe.exe --focus CLASS  "focus=C#ID active=A text=T": the control that has the
//                                   keyboard focus in the thread of the window CLASS (its class
//                                   and id, the window itself when no control has it), the
//                                   class of that thread's active window and the focus's text
//   window_probe.exe --list CLASS ID COLUMN [ROW]
//                                   "rows=N selected=R text=T": the list view with that id in
//                                   the window CLASS, its selected row (-1 for none) and that
//                                   row's text in COLUMN; with ROW, the text of that row
//                                   instead (-1: the last)
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <optional>
#include <string>

#include "tests/e2e/app_driver.h"

namespace {

struct Search {
  const wchar_t* text;
  HWND found;
};

BOOL CALLBACK MatchText(HWND child, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  wchar_t text[256] = {};
  (void)::GetWindowTextW(child, text, 256);
  if (std::wstring(text) != search->text) return TRUE;
  search->found = child;
  return FALSE;
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[128] = {};
  if (hwnd) (void)::GetClassNameW(hwnd, name, 128);
  return name;
}

int Focus(const wchar_t* className) {
  const HWND window = ::FindWindowW(className, nullptr);
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!window || !::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info)) {
    std::printf("focus=none active=none text=\n");
    return 1;
  }
  const HWND focus = info.hwndFocus;
  std::printf("focus=%ls#%d active=%ls text=%ls\n", ClassOf(focus).c_str(),
              focus ? ::GetDlgCtrlID(focus) : 0, ClassOf(info.hwndActive).c_str(),
              focus ? quorvant::e2e::WindowText(focus).c_str() : L"");
  return 0;
}

int List(const wchar_t* className, int id, int column, std::optional<int> row) {
  const HWND window = ::FindWindowW(className, nullptr);
  struct ById {
    int id;
    HWND found;
  } search{id, nullptr};
  if (window) {
    (void)::EnumChildWindows(
        window,
        [](HWND child, LPARAM param) -> BOOL {
          auto* s = reinterpret_cast<ById*>(param);
          if (::GetDlgCtrlID(child) != s->id) return TRUE;
          s->found = child;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
  }
  if (!search.found) {
    std::printf("rows=-1 selected=-1 text=\n");
    return 1;
  }
  DWORD pid = 0;
  (void)::GetWindowThreadProcessId(search.found, &pid);
  const quorvant::e2e::RemoteListView list(search.found, pid);
  const int selected = static_cast<int>(
      ::SendMessageW(search.found, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  const int count = list.Count();
  const int shown = !row ? selected : *row < 0 ? count - 1 : *row;
  std::printf("rows=%d selected=%d text=%ls\n", count, selected,
              shown >= 0 && list.Ready() ? list.Text(shown, column).c_str() : L"");
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const std::wstring mode = argv[1];
  if (mode == L"--focus") return argc < 3 ? 2 : Focus(argv[2]);
  if (mode == L"--list") {
    if (argc < 5) return 2;
    return List(argv[2], std::stoi(argv[3]), std::stoi(argv[4]),
                argc > 5 ? std::optional<int>(std::stoi(argv[5])) : std::nullopt);
  }
  const HWND window = ::FindWindowW(argv[1], nullptr);
  std::printf("found=%d visible=%d iconic=%d", window != nullptr,
              window && ::IsWindowVisible(window), window && ::IsIconic(window));
  if (argc > 2) {
    Search search{argv[2], nullptr};
    if (window) (void)::EnumChildWindows(window, MatchText, reinterpret_cast<LPARAM>(&search));
    const LRESULT checked = search.found ? ::SendMessageW(search.found, BM_GETCHECK, 0, 0) : -1;
    std::printf(" checked=%d", static_cast<int>(checked));
  }
  std::printf("\n");
  return 0;
}
