#pragma once

// A child process that burns one core (burner.exe beside the test), and the share of one
// core it really gets, read from Linux's /proc: under Wine, the CPU times the system gives
// for another process are zero.

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <utility>

#include "tests/support/child_process.h"

namespace quorvant::testing_support {

class Burner : public ChildProcess {
 public:
  Burner() : ChildProcess(BesideThisProgram(L"burner.exe"), Command(), true) {
    // The first line is the Linux process id.
    std::string line;
    char c = 0;
    DWORD read = 0;
    while (Handle() && ::ReadFile(Pipe(), &c, 1, &read, nullptr) && read == 1 && c != '\n') {
      line += c;
    }
    unixPid_ = std::strtoul(line.c_str(), nullptr, 10);
  }

  unsigned long UnixPid() const { return unixPid_; }

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

  // The shares of one core that this burner and another get over the same window: a free
  // burner is judged against its twin at that very moment, whatever else the machine is
  // busy with. {-1, -1} when /proc cannot be read.
  std::pair<double, double> ShareBeside(const Burner& twin,
                                        std::chrono::milliseconds window) const {
    const long long before = CpuTicks(), twinBefore = twin.CpuTicks();
    const auto start = std::chrono::steady_clock::now();
    ::Sleep(static_cast<DWORD>(window.count()));
    const long long after = CpuTicks(), twinAfter = twin.CpuTicks();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (before < 0 || twinBefore < 0 || after < 0 || twinAfter < 0 || seconds <= 0) {
      return {-1, -1};
    }
    return {static_cast<double>(after - before) / seconds,
            static_cast<double>(twinAfter - twinBefore) / seconds};
  }

  static std::wstring Command() {
    // A token of its own, by which it finds its Linux process.
    static int made = 0;
    return L"burner.exe quorvant-burner-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(++made) + L"-" + std::to_wstring(::GetTickCount64());
  }
  static std::wstring BesideThisProgram(const wchar_t* name) {
    wchar_t self[MAX_PATH]{};
    (void)::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self);
    folder.resize(folder.find_last_of(L'\\') + 1);
    return folder + name;
  }

 private:
  unsigned long unixPid_ = 0;
};

}  // namespace quorvant::testing_support
