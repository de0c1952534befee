// Runs under Wine, in one session: launch-to-window-shown time of quorvant.exe against
// floor_window.exe, then CPU used by each while idle for a fixed time. Both programs are
// launched from a fresh copy in a fresh folder, so quorvant starts with no Config.ini.
//
// bench_launch.exe [--runs N] [--idle SECONDS] [--sync]
// With --sync, each idle CPU sample is announced on stdout as "@sample <begin|end> <exe>" and
// the driver waits for a line on stdin, so a caller on the Linux side can sample /proc at the
// same moment.

#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/table_row.h"
#include "common/win32/unique_handle.h"

namespace {

using quorvant::win32::unique_handle;
using quorvant::win32::unique_snapshot;

struct Program {
  const char* name;  // for the report
  const wchar_t* exe;
  const wchar_t* className;
  const wchar_t* title;
  std::vector<const wchar_t*> companions;  // files the program expects beside it
};

const Program kQuorvant{
    "quorvant.exe", L"quorvant.exe", L"FormQuorvant", L"Quorvant", {L"ico.ico"}};
const Program kFloor{"floor_window.exe", L"floor_window.exe", L"FloorWindow", L"Floor", {}};

constexpr DWORD kWindowDeadlineMs = 30000;
constexpr DWORD kExitDeadlineMs = 10000;
constexpr DWORD kPollMs = 1;
// Lets the previous process's teardown finish before the next launch is timed.
constexpr DWORD kPauseBetweenLaunchesMs = 200;
// Idle CPU is counted from this long after the window shows, so the tail of start-up
// (first paint, first timer ticks) is not counted as idle.
constexpr DWORD kSettleMs = 2000;

std::wstring DriverFolder() {
  wchar_t path[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring s(path, n);
  return s.substr(0, s.find_last_of(L'\\'));
}

double FileTimeSeconds(FILETIME t) {
  const ULONGLONG hundredNs = (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  return static_cast<double>(hundredNs) * 1e-7;
}

double Seconds(LONGLONG ticks) {
  static const LONGLONG frequency = [] {
    LARGE_INTEGER f;
    (void)::QueryPerformanceFrequency(&f);
    return f.QuadPart;
  }();
  return static_cast<double>(ticks) / static_cast<double>(frequency);
}

LONGLONG Now() {
  LARGE_INTEGER t;
  (void)::QueryPerformanceCounter(&t);
  return t.QuadPart;
}

// The desktop process tidies up after a program that ended (its notification-area icon,
// its windows); without a window manager that takes it up to two seconds, during which a
// new window cannot be shown. Waiting until it answers keeps that out of the next launch.
void SettleDesktop() {
  for (const wchar_t* cls : {L"Shell_TrayWnd", L"#32769"}) {
    if (HWND desktop = ::FindWindowW(cls, nullptr)) {
      DWORD_PTR ignored = 0;
      (void)::SendMessageTimeoutW(desktop, WM_NULL, 0, 0, SMTO_BLOCK, kExitDeadlineMs, &ignored);
    }
  }
}

// A copy of a program in a fresh folder, started; ended and removed again on destruction.
class Launch {
 public:
  Launch(const Program& program, const std::wstring& arguments) : program_(program) {
    wchar_t temp[MAX_PATH];
    (void)::GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    folder_ = std::wstring(temp) + L"quorvant-bench-" + std::to_wstring(::GetCurrentProcessId()) +
              L"-" + std::to_wstring(++counter);
    if (!::CreateDirectoryW(folder_.c_str(), nullptr)) throw std::runtime_error("no temp folder");
    const std::wstring from = DriverFolder();
    std::vector<const wchar_t*> files = program.companions;
    files.push_back(program.exe);
    for (const wchar_t* file : files) {
      if (!::CopyFileW((from + L"\\" + file).c_str(), (folder_ + L"\\" + file).c_str(), FALSE)) {
        throw std::runtime_error(std::string("cannot copy a file of ") + program.name);
      }
    }

    const std::wstring exe = folder_ + L"\\" + program.exe;
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    start_ = Now();
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder_.c_str(), &startup, &info)) {
      throw std::runtime_error(std::string("cannot start ") + program.name);
    }
    process_.reset(info.hProcess);
    const unique_handle mainThread(info.hThread);  // not needed
    processId_ = info.dwProcessId;
  }
  Launch(const Launch&) = delete;
  Launch& operator=(const Launch&) = delete;

  ~Launch() {
    // Closed as a user closes it, so the program takes its own window off the screen and
    // the stall that costs under Wine without a window manager falls in its own exit, not in
    // the next launch.
    if (const HWND window = FindWindow()) (void)::PostMessageW(window, WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(process_.get(), kExitDeadlineMs) != WAIT_OBJECT_0) {
      (void)::TerminateProcess(process_.get(), 0);
      (void)::WaitForSingleObject(process_.get(), kExitDeadlineMs);
    }
    SettleDesktop();
    std::error_code ignored;  // a leftover temp folder does not spoil the figures
    std::filesystem::remove_all(folder_, ignored);
  }

  // Seconds from just before CreateProcess until the program's window is visible.
  double WaitForWindow() const {
    for (;;) {
      if (WindowVisible()) return Seconds(Now() - start_);
      if (Seconds(Now() - start_) * 1000 > kWindowDeadlineMs) {
        throw std::runtime_error(std::string("no window from ") + program_.name);
      }
      if (::WaitForSingleObject(process_.get(), kPollMs) == WAIT_OBJECT_0) {
        throw std::runtime_error(std::string(program_.name) + " ended before showing a window");
      }
    }
  }

  // User plus kernel time of the process, as GetProcessTimes reports it.
  double ProcessCpuSeconds() const {
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(process_.get(), &created, &exited, &kernel, &user)) {
      throw std::runtime_error("GetProcessTimes failed");
    }
    return FileTimeSeconds(kernel) + FileTimeSeconds(user);
  }

  // The same, summed over the threads the process has now. Wine 8 reports next to nothing
  // from GetProcessTimes for another process, but each of its threads' times in full.
  double ThreadsCpuSeconds() const {
    const unique_snapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot) throw std::runtime_error("no thread snapshot");
    double seconds = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Thread32First(snapshot.get(), &entry); more;
         more = ::Thread32Next(snapshot.get(), &entry)) {
      if (entry.th32OwnerProcessID != processId_) continue;
      const unique_handle thread(
          ::OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID));
      FILETIME created, exited, kernel, user;
      if (thread && ::GetThreadTimes(thread.get(), &created, &exited, &kernel, &user)) {
        seconds += FileTimeSeconds(kernel) + FileTimeSeconds(user);
      }
    }
    return seconds;
  }

 private:
  bool WindowVisible() const { return FindWindow() != nullptr; }

  // The program's visible main window, or null.
  HWND FindWindow() const {
    struct Search {
      const Launch* self;
      HWND found;
    } search{this, nullptr};
    (void)::EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
          auto* s = reinterpret_cast<Search*>(param);
          DWORD pid = 0;
          (void)::GetWindowThreadProcessId(hwnd, &pid);
          if (pid != s->self->processId_ || !::IsWindowVisible(hwnd)) return TRUE;
          wchar_t text[64] = {};
          (void)::GetClassNameW(hwnd, text, 64);
          if (std::wcscmp(text, s->self->program_.className) != 0) return TRUE;
          (void)::GetWindowTextW(hwnd, text, 64);
          if (std::wcscmp(text, s->self->program_.title) != 0) return TRUE;
          s->found = hwnd;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  const Program& program_;
  std::wstring folder_;
  unique_handle process_;
  DWORD processId_ = 0;
  LONGLONG start_ = 0;
};

double LaunchSeconds(const Program& program) {
  double seconds = 0;
  {
    const Launch launch(program, L"");
    seconds = launch.WaitForWindow();
  }
  ::Sleep(kPauseBetweenLaunchesMs);
  return seconds;
}

// The least a process list can cost: a process snapshot and one module snapshot per
// process, each walked to its first entry. Quorvant builds its list once at start-up.
double BareProcessWalkSeconds() {
  const LONGLONG start = Now();
  const unique_snapshot processes(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W process{};
  process.dwSize = sizeof(process);
  for (BOOL more = processes && ::Process32FirstW(processes.get(), &process); more;
       more = ::Process32NextW(processes.get(), &process)) {
    const unique_snapshot modules(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process.th32ProcessID));
    MODULEENTRY32W module{};
    module.dwSize = sizeof(module);
    if (modules) (void)::Module32FirstW(modules.get(), &module);
  }
  return Seconds(Now() - start);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void Announce(bool sync, const char* moment, const Program& program) {
  if (!sync) return;
  std::printf("@sample %s %s\n", moment, program.name);
  std::fflush(stdout);
  char reply[16];
  if (!std::fgets(reply, sizeof(reply), stdin)) throw std::runtime_error("no reply on stdin");
}

// CPU seconds used while idle, by the two ways Windows offers to read them.
struct IdleCpu {
  double process = 0;
  double threads = 0;
};

IdleCpu MeasureIdleCpu(const Program& program, const wchar_t* arguments, int seconds, bool sync) {
  const Launch launch(program, arguments);
  (void)launch.WaitForWindow();
  ::Sleep(kSettleMs);
  const IdleCpu before{launch.ProcessCpuSeconds(), launch.ThreadsCpuSeconds()};
  Announce(sync, "begin", program);
  ::Sleep(static_cast<DWORD>(seconds) * 1000);
  const IdleCpu after{launch.ProcessCpuSeconds(), launch.ThreadsCpuSeconds()};
  Announce(sync, "end", program);
  return {after.process - before.process, after.threads - before.threads};
}

void PrintRatio(double quorvant, double floor) {
  if (floor > 0) {
    std::printf(" %16.2f", quorvant / floor);
  } else {
    std::printf(" %16s", "n/a");
  }
}

void PrintLaunchTimes(const Program& program, const std::vector<double>& seconds) {
  std::printf("  %-20s median %7.1f ms  (runs:", program.name, Median(seconds) * 1000);
  for (double s : seconds) std::printf(" %.1f", s * 1000);
  std::printf(")\n");
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 10;
  int idleSeconds = 60;
  bool sync = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (!std::strcmp(argv[i], "--idle") && i + 1 < argc) {
      idleSeconds = std::max(1, std::atoi(argv[++i]));
    } else if (!std::strcmp(argv[i], "--sync")) {
      sync = true;
    } else {
      std::fprintf(stderr, "usage: bench_launch.exe [--runs N] [--idle SECONDS] [--sync]\n");
      return 2;
    }
  }

  try {
    // The first launch in a session loads and caches what later ones reuse; not counted.
    (void)LaunchSeconds(kFloor);
    (void)LaunchSeconds(kQuorvant);

    std::vector<double> floorTimes, quorvantTimes, walkTimes;
    for (int i = 0; i < runs; ++i) {
      // Alternating the order spreads drifting machine load over both programs.
      if (i % 2 == 0) {
        floorTimes.push_back(LaunchSeconds(kFloor));
        quorvantTimes.push_back(LaunchSeconds(kQuorvant));
      } else {
        quorvantTimes.push_back(LaunchSeconds(kQuorvant));
        floorTimes.push_back(LaunchSeconds(kFloor));
      }
      walkTimes.push_back(BareProcessWalkSeconds());
    }
    const double floor = Median(floorTimes), quorvant = Median(quorvantTimes),
                 walk = Median(walkTimes);
    std::printf("Launch to window shown, %d runs each after one uncounted warm-up:\n", runs);
    PrintLaunchTimes(kFloor, floorTimes);
    PrintLaunchTimes(kQuorvant, quorvantTimes);
    std::printf("  bare process walk    median %7.1f ms\n", walk * 1000);
    std::printf("  ratio quorvant/floor: %.2f\n", quorvant / floor);
    // Quorvant shows its window after building its process list: its floor is a bare window
    // plus a bare walk; the goal allows 1.2 x the one plus 1.5 x the other.
    std::printf("  ratio quorvant/(floor + walk): %.2f; quorvant/(1.2 floor + 1.5 walk): %.2f\n",
                quorvant / (floor + walk), quorvant / (1.2 * floor + 1.5 * walk));
    quorvant::bench::TableRow("start-up: launch to window shown", quorvant * 1000,
                              (floor + walk) * 1000, "ms",
                              "Wine, floor a bare window + a bare process walk");
    std::fflush(stdout);

    // One after the other, so that Wine's server time can be told apart per program.
    const IdleCpu floorCpu = MeasureIdleCpu(kFloor, L"--timers", idleSeconds, sync);
    const IdleCpu quorvantCpu = MeasureIdleCpu(kQuorvant, L"", idleSeconds, sync);
    std::printf(
        "Idle CPU seconds over %d s each, five timers running, one program after the "
        "other:\n",
        idleSeconds);
    std::printf("  %-20s %16s %16s\n", "", "GetProcessTimes", "GetThreadTimes");
    for (const auto& [program, cpu] : {std::pair{&kFloor, floorCpu}, {&kQuorvant, quorvantCpu}}) {
      std::printf("  %-20s %16.3f %16.3f\n", program->name, cpu.process, cpu.threads);
    }
    std::printf("  %-20s", "ratio quorvant/floor");
    PrintRatio(quorvantCpu.process, floorCpu.process);
    PrintRatio(quorvantCpu.threads, floorCpu.threads);
    std::printf("\n");
    const std::string idle = "Wine, " + std::to_string(idleSeconds) +
                             " s idle, floor a bare window with the same five timers";
    quorvant::bench::TableRow("start-up: idle CPU (thread times)", quorvantCpu.threads,
                              floorCpu.threads, "s", idle.c_str());
    std::fflush(stdout);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_launch: %s\n", e.what());
    return 1;
  }
  return 0;
}
