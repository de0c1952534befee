// Keeps every feature of a running quorvant.exe busy for a long run: two windows of two
// other processes take turns in front (the booster boosts at each turn) and the CPU panel's
// "Refresh" is clicked at intervals. The automatic release and the status panel run on
// their own. Usage: soak_driver.exe MINUTES SWITCH-SECONDS REFRESH-SECONDS
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr UINT kBringToFrontMessage = WM_APP + 1;  // titled_windows.exe's request

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring s(path, n);
  return s.substr(0, s.find_last_of(L'\\'));
}

PROCESS_INFORMATION StartTitled(const std::wstring& title) {
  const std::wstring exe = OwnFolder() + L"\\titled_windows.exe";
  std::wstring commandLine = L"\"" + exe + L"\" \"" + title + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  (void)::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                         nullptr, &startup, &info);
  return info;
}

HWND WaitForTopLevel(const wchar_t* className, const wchar_t* title) {
  for (int i = 0; i < 300; ++i) {
    if (HWND w = ::FindWindowW(className, title)) return w;
    ::Sleep(100);
  }
  return nullptr;
}

HWND FindDescendant(HWND parent, const wchar_t* text) {
  struct Search {
    const wchar_t* text;
    HWND found;
  } search{text, nullptr};
  (void)::EnumChildWindows(
      parent,
      [](HWND child, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        wchar_t buffer[64] = {};
        (void)::GetWindowTextW(child, buffer, 64);
        if (std::wcscmp(buffer, s->text) != 0) return TRUE;
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  const int minutes = _wtoi(argv[1]);
  const DWORD switchMs = static_cast<DWORD>(_wtoi(argv[2])) * 1000;
  const DWORD refreshMs = static_cast<DWORD>(_wtoi(argv[3])) * 1000;

  const HWND main = WaitForTopLevel(L"FormQuorvant", nullptr);
  if (!main) {
    std::fprintf(stderr, "soak_driver: no quorvant window\n");
    return 1;
  }
  const PROCESS_INFORMATION alpha = StartTitled(L"Soak alpha");
  const PROCESS_INFORMATION bravo = StartTitled(L"Soak bravo");
  const HWND windows[] = {WaitForTopLevel(L"QuorvantTitledWindow", L"Soak alpha"),
                          WaitForTopLevel(L"QuorvantTitledWindow", L"Soak bravo")};
  const HWND refresh = FindDescendant(main, L"Refresh");
  std::printf("soak_driver: %d minutes, a switch every %lu s, Refresh every %lu s%s\n", minutes,
              switchMs / 1000, refreshMs / 1000, refresh ? "" : " (no Refresh button found)");
  std::fflush(stdout);

  const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(minutes) * 60000;
  ULONGLONG nextRefresh = ::GetTickCount64() + refreshMs;
  int switches = 0, refreshes = 0;
  for (int turn = 0; ::GetTickCount64() < end; ++turn) {
    DWORD_PTR inFront = 0;
    if (windows[turn % 2] &&
        ::SendMessageTimeoutW(windows[turn % 2], kBringToFrontMessage, 0, 0, SMTO_BLOCK, 5000,
                              &inFront) &&
        inFront) {
      ++switches;
    }
    if (refresh && ::GetTickCount64() >= nextRefresh) {
      (void)::PostMessageW(refresh, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
      (void)::PostMessageW(refresh, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
      ++refreshes;
      nextRefresh += refreshMs;
    }
    ::Sleep(switchMs);
  }
  std::printf("soak_driver: %d switches to the front, %d clicks on Refresh\n", switches, refreshes);
  for (const auto& info : {alpha, bravo}) {
    (void)::TerminateProcess(info.hProcess, 0);
    (void)::CloseHandle(info.hProcess);
    (void)::CloseHandle(info.hThread);
  }
  return 0;
}
