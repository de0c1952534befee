#pragma once

// A process that waits for input that never comes, until it is ended: something alive to
// list, limit, trim or end in tests and benchmarks.

#include <windows.h>

#include <string>

namespace quorvant::testing_support {

class ChildProcess {
 public:
  ChildProcess() : ChildProcess(SystemCmd()) {}
  explicit ChildProcess(const std::wstring& exe) : ChildProcess(exe, L"cmd.exe /k", false) {}
  // Runs exe with command as its command line; its input (or, when readOutput, its output)
  // is a pipe that this object holds.
  ChildProcess(const std::wstring& exe, std::wstring command, bool readOutput) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    if (!::CreatePipe(&read, &write, &inherit, 0)) return;
    pipe_ = readOutput ? read : write;
    HANDLE childEnd = readOutput ? write : read;
    (void)::SetHandleInformation(pipe_, HANDLE_FLAG_INHERIT, 0);
    // Its other standard handles go nowhere: left empty, Wine hands the child (and the
    // console host it may start) this process's own output, and the test runner would wait
    // for any of them that outlives the test.
    HANDLE nowhere = ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                                   nullptr);
    if (nowhere == INVALID_HANDLE_VALUE) nowhere = nullptr;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nowhere;
    (readOutput ? startup.hStdOutput : startup.hStdInput) = childEnd;
    (void)::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                           nullptr, nullptr, &startup, &info_);
    (void)::CloseHandle(childEnd);
    if (nowhere) (void)::CloseHandle(nowhere);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess() {
    End();
    if (pipe_) (void)::CloseHandle(pipe_);
  }

  DWORD Id() const { return info_.dwProcessId; }
  HANDLE Handle() const { return info_.hProcess; }
  // This end of the child's input or output pipe.
  HANDLE Pipe() const { return pipe_; }
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
  HANDLE pipe_ = nullptr;
  PROCESS_INFORMATION info_{};
};

}  // namespace quorvant::testing_support
