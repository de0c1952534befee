#pragma once

// A child process that burns one core (burner.exe beside the test), and the share of one
// core it really gets, read from Linux's /proc: under Wine, the CPU times the system gives
// for another process are zero.

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <string>

namespace quorvant::testing_support {

class Burner {
 public:
  Burner() {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE write = nullptr;
    if (!::CreatePipe(&output_, &write, &inherit, 0)) return;
    (void)::SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write;
    static int made = 0;
    std::wstring command = L"burner.exe quorvant-burner-" +
                           std::to_wstring(::GetCurrentProcessId()) + L"-" +
                           std::to_wstring(++made) + L"-" + std::to_wstring(::GetTickCount64());
    const std::wstring exe = BesideThisProgram(L"burner.exe");
    (void)::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                           nullptr, nullptr, &startup, &info_);
    (void)::CloseHandle(write);
    // The first line is the Linux process id.
    std::string line;
    char c = 0;
    DWORD read = 0;
    while (info_.hProcess && ::ReadFile(output_, &c, 1, &read, nullptr) && read == 1 && c != '\n') {
      line += c;
    }
    unixPid_ = std::strtoul(line.c_str(), nullptr, 10);
  }
  Burner(const Burner&) = delete;
  Burner& operator=(const Burner&) = delete;
  ~Burner() {
    End();
    if (output_) (void)::CloseHandle(output_);
  }

  DWORD Id() const { return info_.dwProcessId; }
  HANDLE Handle() const { return info_.hProcess; }
  unsigned long UnixPid() const { return unixPid_; }
  void End() {
    if (!info_.hProcess) return;
    (void)::TerminateProcess(info_.hProcess, 0);
    (void)::WaitForSingleObject(info_.hProcess, 10000);
    (void)::CloseHandle(info_.hProcess);
    (void)::CloseHandle(info_.hThread);
    info_ = {};
  }

  // User and system CPU time of the Linux process so far, in clock ticks (1/100 s); -1 when
  // it cannot be read.
  long long CpuTicks() const {
    const std::wstring path = L"Z:\\proc\\" + std::to_wstring(unixPid_) + L"\\stat";
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    char buffer[1024];
    DWORD read = 0;
    const BOOL ok = ::ReadFile(file, buffer, sizeof(buffer) - 1, &read, nullptr);
    (void)::CloseHandle(file);
    if (!ok) return -1;
    const std::string stat(buffer, read);
    // Fields after the command name, which may hold blanks: state is field 3, utime 14.
    size_t at = stat.rfind(')');
    if (at == std::string::npos) return -1;
    const char* p = stat.c_str() + at + 2;
    for (int field = 3; field < 14 && *p; ++field) {
      while (*p && *p != ' ') ++p;
      while (*p == ' ') ++p;
    }
    char* end = nullptr;
    const long long user = std::strtoll(p, &end, 10);
    const long long system = std::strtoll(end, nullptr, 10);
    return user + system;
  }

  // The share of one core it gets over the next window, in percent: a measurement window,
  // not a wait for a condition. -1 when /proc cannot be read.
  double Share(std::chrono::milliseconds window) const {
    const long long before = CpuTicks();
    const auto start = std::chrono::steady_clock::now();
    ::Sleep(static_cast<DWORD>(window.count()));
    const long long after = CpuTicks();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (before < 0 || after < 0 || seconds <= 0) return -1;
    return static_cast<double>(after - before) / seconds;  // 100 ticks a second = 100 %
  }

  static std::wstring BesideThisProgram(const wchar_t* name) {
    wchar_t self[MAX_PATH]{};
    (void)::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self);
    folder.resize(folder.find_last_of(L'\\') + 1);
    return folder + name;
  }

 private:
  HANDLE output_ = nullptr;
  PROCESS_INFORMATION info_{};
  unsigned long unixPid_ = 0;
};

}  // namespace quorvant::testing_support
