#pragma once

// titled_windows.exe driven from outside: top-level windows with given titles in a process
// of their own, at a chosen priority class, that the test can bring to the front.

#include <windows.h>

#include <string>
#include <vector>

#include "tests/e2e/app_driver.h"

namespace quorvant::e2e {

inline constexpr UINT kBringToFrontMessage = WM_APP + 1;  // titled_windows.exe's requests
inline constexpr UINT kBurnMessage = WM_APP + 2;

inline std::wstring BinFolder() {
  wchar_t path[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring s(path, n);
  return s.substr(0, s.find_last_of(L'\\'));
}

// titled_windows.exe showing one window per title, in a process of its own started at the
// given priority class. With stay, the process lives on after its windows have closed.
class TitledWindows {
 public:
  TitledWindows(const std::vector<std::wstring>& titles, DWORD priorityClass, bool stay = false)
      : titles_(titles) {
    const std::wstring exe = BinFolder() + L"\\titled_windows.exe";
    std::wstring commandLine = L"\"" + exe + L"\"" + (stay ? L" --stay" : L"");
    for (const auto& title : titles) commandLine += L" \"" + title + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    (void)::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &info_);
    // Set afterwards: Wine 8 starts every process at Normal whatever class it is asked for.
    (void)::SetPriorityClass(info_.hProcess, priorityClass);
    hwnds_.resize(titles.size());
    (void)WaitFor([&] {
      for (size_t i = 0; i < titles_.size(); ++i) {
        if (!hwnds_[i]) hwnds_[i] = FindOwn(titles_[i]);
        if (!hwnds_[i]) return false;
      }
      return true;
    });
  }
  ~TitledWindows() {
    if (info_.hProcess) {
      (void)::TerminateProcess(info_.hProcess, 0);
      (void)::WaitForSingleObject(info_.hProcess, 5000);
      (void)::CloseHandle(info_.hProcess);
    }
    if (info_.hThread) (void)::CloseHandle(info_.hThread);
  }
  TitledWindows(const TitledWindows&) = delete;
  TitledWindows& operator=(const TitledWindows&) = delete;

  HWND Hwnd(size_t i = 0) const { return hwnds_[i]; }
  bool Running() const { return ::WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }
  int PriorityClass() const { return static_cast<int>(::GetPriorityClass(info_.hProcess)); }
  // Only the window's own process may bring it to the front without a window manager.
  bool BringToFront(size_t i = 0) const {
    DWORD_PTR inFront = 0;
    (void)::SendMessageTimeoutW(hwnds_[i], kBringToFrontMessage, 0, 0, SMTO_BLOCK, 5000, &inFront);
    return inFront == 1 && ::GetForegroundWindow() == hwnds_[i];
  }
  // Starts or stops keeping the processor busy; its windows answer meanwhile.
  bool Burn(bool on) const {
    DWORD_PTR done = 0;
    (void)::SendMessageTimeoutW(hwnds_[0], kBurnMessage, on ? 1 : 0, 0, SMTO_BLOCK, 5000, &done);
    return done == 1;
  }
  DWORD Id() const { return info_.dwProcessId; }
  HANDLE Handle() const { return info_.hProcess; }
  bool Close(size_t i = 0) const {
    (void)::PostMessageW(hwnds_[i], WM_CLOSE, 0, 0);
    return WaitFor([&] { return !::IsWindow(hwnds_[i]); });
  }

 private:
  HWND FindOwn(const std::wstring& title) const {
    HWND candidate = nullptr;
    while ((candidate = ::FindWindowExW(nullptr, candidate, L"QuorvantTitledWindow",
                                        title.c_str())) != nullptr) {
      DWORD pid = 0;
      (void)::GetWindowThreadProcessId(candidate, &pid);
      if (pid == info_.dwProcessId) return candidate;
    }
    return nullptr;
  }

  std::vector<std::wstring> titles_;
  PROCESS_INFORMATION info_{};
  std::vector<HWND> hwnds_;
};

}  // namespace quorvant::e2e
