#pragma once

// A process that waits for input that never comes, until it is ended: something alive to
// list, limit, trim or end in tests and benchmarks.

#include <windows.h>

#include <string>

namespace quorvant::testing_support {

class ChildProcess {
 public:
  ChildProcess() : ChildProcess(SystemCmd()) {}
  explicit ChildProcess(const std::wstring& exe) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE read = nullptr;
    if (!::CreatePipe(&read, &input_, &inherit, 0)) return;
    (void)::SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = read;
    std::wstring command = L"cmd.exe /k";
    (void)::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                           nullptr, nullptr, &startup, &info_);
    (void)::CloseHandle(read);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess() {
    End();
    if (input_) (void)::CloseHandle(input_);
  }

  DWORD Id() const { return info_.dwProcessId; }
  void End() {
    if (!info_.hProcess) return;
    (void)::TerminateProcess(info_.hProcess, 0);
    (void)::WaitForSingleObject(info_.hProcess, 10000);
    (void)::CloseHandle(info_.hProcess);
    (void)::CloseHandle(info_.hThread);
    info_ = {};
  }

  static std::wstring SystemCmd() {
    wchar_t system[MAX_PATH]{};
    (void)::GetSystemDirectoryW(system, MAX_PATH);
    return std::wstring(system) + L"\\cmd.exe";
  }

 private:
  HANDLE input_ = nullptr;
  PROCESS_INFORMATION info_{};
};

}  // namespace quorvant::testing_support
