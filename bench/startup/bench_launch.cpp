// Runs under Wine, in one session: launch-to-window-shown time of quorvant.exe against
// floor_window.exe, and when the process list's icons are all in place; then CPU used by
// each while idle for a fixed time, shown and hidden in the tray. Both programs are launched
// from a fresh copy in a fresh folder, so quorvant starts with no Config.ini unless the
// measurement writes one.
//
// bench_launch.exe [--runs N] [--idle SECONDS] [--idle-runs N] [--only-shown-idle] [--sync]
// Shown idle CPU is measured --idle-runs times (default 3), the floor and quorvant in turns,
// and the medians compared; --only-shown-idle measures nothing else.
// With --sync, each idle sample is announced on stdout as "@sample <begin|end> <label> <exe>"
// and the driver waits for a line on stdin, so a caller on the Linux side can sample /proc at
// the same moment.

#include <windows.h>

#include <psapi.h>
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
#include "tests/e2e/app_driver.h"

namespace {

using quorvant::win32::unique_handle;
using quorvant::win32::unique_snapshot;

struct Program {
  const char* name;  // for the report
  const wchar_t* exe;
  const wchar_t* className;
  const wchar_t* title;
  std::vector<const wchar_t*> companions;  // files the program expects beside it
  const wchar_t* exeFolder = nullptr;      // where exe is, below this driver's folder
};

const Program kQuorvant{
    "quorvant.exe", L"quorvant.exe", L"FormQuorvant", L"Quorvant", {L"ico.ico"}};
// The program as linked, with its debugging information, which the build strips.
const Program kUnstripped{"unstripped quorvant.exe",
                          L"quorvant.exe",
                          L"FormQuorvant",
                          L"Quorvant",
                          {L"ico.ico"},
                          L"unstripped"};
const Program kFloor{"floor_window.exe", L"floor_window.exe", L"FloorWindow", L"Floor", {}};

// A Config.ini entry written beside the copy before it starts.
struct ConfigEntry {
  const wchar_t* section;
  const wchar_t* key;
  const wchar_t* value;
};

// The process list of quorvant's CPU panel, by its control id.
constexpr int kProcessListId = 2001;

constexpr DWORD kWindowDeadlineMs = 30000;
constexpr DWORD kIconsDeadlineMs = 30000;
constexpr DWORD kIconsPollMs = 5;
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
  Launch(const Program& program, const std::wstring& arguments,
         const std::vector<ConfigEntry>& config = {})
      : program_(program) {
    wchar_t temp[MAX_PATH];
    (void)::GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    folder_ = std::wstring(temp) + L"quorvant-bench-" + std::to_wstring(::GetCurrentProcessId()) +
              L"-" + std::to_wstring(++counter);
    if (!::CreateDirectoryW(folder_.c_str(), nullptr)) throw std::runtime_error("no temp folder");
    const std::wstring from = DriverFolder();
    std::vector<std::pair<std::wstring, const wchar_t*>> files;
    for (const wchar_t* file : program.companions) files.emplace_back(from, file);
    files.emplace_back(program.exeFolder ? from + L"\\" + program.exeFolder : from, program.exe);
    for (const auto& [source, file] : files) {
      if (!::CopyFileW((source + L"\\" + file).c_str(), (folder_ + L"\\" + file).c_str(), FALSE)) {
        throw std::runtime_error(std::string("cannot copy a file of ") + program.name);
      }
    }
    const std::wstring ini = folder_ + L"\\Config.ini";
    for (const auto& entry : config) {
      (void)::WritePrivateProfileStringW(entry.section, entry.key, entry.value, ini.c_str());
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
    if (const HWND window = FindWindow(false)) (void)::PostMessageW(window, WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(process_.get(), kExitDeadlineMs) != WAIT_OBJECT_0) {
      (void)::TerminateProcess(process_.get(), 0);
      (void)::WaitForSingleObject(process_.get(), kExitDeadlineMs);
    }
    SettleDesktop();
    std::error_code ignored;  // a leftover temp folder does not spoil the figures
    std::filesystem::remove_all(folder_, ignored);
  }

  // Seconds from just before CreateProcess until the program's window is visible (or, for
  // a program that starts hidden, exists).
  double WaitForWindow(bool visible = true) const {
    for (;;) {
      if (FindWindow(visible)) return Seconds(Now() - start_);
      if (Seconds(Now() - start_) * 1000 > kWindowDeadlineMs) {
        throw std::runtime_error(std::string("no window from ") + program_.name);
      }
      if (::WaitForSingleObject(process_.get(), kPollMs) == WAIT_OBJECT_0) {
        throw std::runtime_error(std::string(program_.name) + " ended before showing a window");
      }
    }
  }

  // Seconds from just before CreateProcess until every row of the process list shows its
  // icon; the icons are filled in row order, so the last row's comes last.
  double WaitForIcons() const {
    const HWND window = FindWindow(true);
    // The list's panel is built right after the window shows.
    HWND list = nullptr;
    for (;;) {
      (void)::EnumChildWindows(
          window,
          [](HWND child, LPARAM found) -> BOOL {
            if (::GetDlgCtrlID(child) != kProcessListId) return TRUE;
            *reinterpret_cast<HWND*>(found) = child;
            return FALSE;
          },
          reinterpret_cast<LPARAM>(&list));
      if (list) break;
      if (Seconds(Now() - start_) * 1000 > kWindowDeadlineMs + kIconsDeadlineMs) {
        throw std::runtime_error("no process list");
      }
      ::Sleep(kIconsPollMs);
    }
    const quorvant::e2e::RemoteListView rows(list, processId_);
    if (!rows.Ready()) throw std::runtime_error("cannot read the process list");
    for (;;) {
      const int count = rows.Count();
      if (count > 0 && rows.Image(count - 1) >= 0) {
        const double seconds = Seconds(Now() - start_);
        for (int row = 0; row < count; ++row) {
          if (rows.Image(row) < 0) throw std::runtime_error("a row without its icon");
        }
        return seconds;
      }
      if (Seconds(Now() - start_) * 1000 > kWindowDeadlineMs + kIconsDeadlineMs) {
        throw std::runtime_error("the icons never came");
      }
      ::Sleep(kIconsPollMs);
    }
  }

  // The program's visible main window, or null.
  HWND Window() const { return FindWindow(true); }

  // The process's working set now, in megabytes; 0 when it cannot be read.
  double WorkingSetMb() const {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (!::GetProcessMemoryInfo(process_.get(), &counters, sizeof(counters))) return 0;
    return static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0);
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
  // The program's main window (visible, when asked), or null.
  HWND FindWindow(bool visible = true) const {
    struct Search {
      const Launch* self;
      bool visible;
      HWND found;
    } search{this, visible, nullptr};
    (void)::EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
          auto* s = reinterpret_cast<Search*>(param);
          DWORD pid = 0;
          (void)::GetWindowThreadProcessId(hwnd, &pid);
          if (pid != s->self->processId_ || (s->visible && !::IsWindowVisible(hwnd))) return TRUE;
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

struct LaunchTimes {
  double shown = 0;
  double icons = 0;  // all of the process list's icons in place; quorvant only
};

LaunchTimes LaunchSeconds(const Program& program, bool icons = false) {
  LaunchTimes times;
  {
    const Launch launch(program, L"");
    times.shown = launch.WaitForWindow();
    if (icons) times.icons = launch.WaitForIcons();
  }
  ::Sleep(kPauseBetweenLaunchesMs);
  return times;
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
    const unique_snapshot modules(
        ::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process.th32ProcessID));
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

void Announce(bool sync, const char* moment, const char* label, const Program& program) {
  if (!sync) return;
  std::printf("@sample %s %s %s\n", moment, label, program.name);
  std::fflush(stdout);
  char reply[16];
  if (!std::fgets(reply, sizeof(reply), stdin)) throw std::runtime_error("no reply on stdin");
}

// CPU seconds used while idle, by the two ways Windows offers to read them.
struct IdleCpu {
  double process = 0;
  double threads = 0;
};

// One program left idle: how it is started and what the report calls it.
struct IdleRun {
  const char* label;
  const Program* program;
  const wchar_t* arguments;
  std::vector<ConfigEntry> config;
  bool hidden;
  // The navigation entry selected before the wait, as a screen reader selects it; none
  // leaves the panel shown at start.
  const wchar_t* entry = nullptr;
};

IdleCpu MeasureIdleCpu(const IdleRun& run, int seconds, bool sync) {
  const Launch launch(*run.program, run.arguments, run.config);
  (void)launch.WaitForWindow(!run.hidden);
  if (run.entry && !quorvant::e2e::SelectPanel(launch.Window(), run.entry)) {
    throw std::runtime_error("the panel could not be selected");
  }
  ::Sleep(kSettleMs);
  const IdleCpu before{launch.ProcessCpuSeconds(), launch.ThreadsCpuSeconds()};
  Announce(sync, "begin", run.label, *run.program);
  ::Sleep(static_cast<DWORD>(seconds) * 1000);
  const IdleCpu after{launch.ProcessCpuSeconds(), launch.ThreadsCpuSeconds()};
  Announce(sync, "end", run.label, *run.program);
  return {after.process - before.process, after.threads - before.threads};
}

void PrintRatio(double quorvant, double floor) {
  if (floor > 0) {
    std::printf(" %16.2f", quorvant / floor);
  } else {
    std::printf(" %16s", "n/a");
  }
}

double FileMb(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  const ULONGLONG size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return static_cast<double>(size) / (1024.0 * 1024.0);
}

// The shipped program against the same program as linked, with its debugging information:
// file size, launch to window shown and icons in place, working set shown (once start-up has
// settled) and after a while idle.
void CompareStripped(int runs) {
  constexpr DWORD kIdleMs = 10000;
  struct Figures {
    std::vector<double> shown, icons, setShown, setIdle;
  } figures[2];
  const Program* programs[2] = {&kQuorvant, &kUnstripped};
  for (int i = 0; i < runs; ++i) {
    for (int k = 0; k < 2; ++k) {
      const int which = i % 2 == 0 ? k : 1 - k;  // alternating, as above
      Figures& f = figures[which];
      {
        const Launch launch(*programs[which], L"");
        f.shown.push_back(launch.WaitForWindow());
        f.icons.push_back(launch.WaitForIcons());
        ::Sleep(kSettleMs);
        f.setShown.push_back(launch.WorkingSetMb());
        ::Sleep(kIdleMs);
        f.setIdle.push_back(launch.WorkingSetMb());
      }
      ::Sleep(kPauseBetweenLaunchesMs);
    }
  }
  const double stripped = FileMb(DriverFolder() + L"\\quorvant.exe");
  const double unstripped = FileMb(DriverFolder() + L"\\unstripped\\quorvant.exe");
  std::printf("Shipped (stripped) against unstripped quorvant.exe, median of %d launches each:\n",
              runs);
  std::printf("  %-34s %14s %14s\n", "", "stripped", "unstripped");
  std::printf("  %-34s %14.2f %14.2f\n", "file size, MB", stripped, unstripped);
  const auto& s = figures[0];
  const auto& u = figures[1];
  std::printf("  %-34s %14.1f %14.1f\n", "launch to window shown, ms", Median(s.shown) * 1000,
              Median(u.shown) * 1000);
  std::printf("  %-34s %14.1f %14.1f\n", "launch to icons in place, ms", Median(s.icons) * 1000,
              Median(u.icons) * 1000);
  std::printf("  %-34s %14.2f %14.2f\n", "working set shown, MB", Median(s.setShown),
              Median(u.setShown));
  std::printf("  %-34s %14.2f %14.2f\n", "working set after 10 s idle, MB", Median(s.setIdle),
              Median(u.setIdle));
  using quorvant::bench::TableRow;
  const std::string conditions =
      "Wine, floor the unstripped program, median of " + std::to_string(runs) + " launches each";
  TableRow("exe: file size, stripped", stripped, unstripped, "MB", "floor the unstripped program");
  TableRow("exe: launch to window shown, stripped", Median(s.shown) * 1000, Median(u.shown) * 1000,
           "ms", conditions.c_str());
  TableRow("exe: launch to icons in place, stripped", Median(s.icons) * 1000,
           Median(u.icons) * 1000, "ms", conditions.c_str());
  TableRow("exe: working set shown, stripped", Median(s.setShown), Median(u.setShown), "MB",
           conditions.c_str());
  TableRow("exe: working set after 10 s idle shown, stripped", Median(s.setIdle), Median(u.setIdle),
           "MB", conditions.c_str());
  std::fflush(stdout);
}

void PrintLaunchTimes(const Program& program, const std::vector<double>& seconds) {
  std::printf("  %-20s median %7.1f ms  (runs:", program.name, Median(seconds) * 1000);
  for (double s : seconds) std::printf(" %.1f", s * 1000);
  std::printf(")\n");
}

// Launch to window shown against the floor, and the stripped program against the unstripped.
void MeasureLaunches(int runs) {
  std::vector<double> floorTimes, quorvantTimes, walkTimes, iconTimes;
  auto launchQuorvant = [&] {
    const LaunchTimes times = LaunchSeconds(kQuorvant, true);
    quorvantTimes.push_back(times.shown);
    iconTimes.push_back(times.icons - times.shown);
  };
  for (int i = 0; i < runs; ++i) {
    // Alternating the order spreads drifting machine load over both programs.
    if (i % 2 == 0) {
      floorTimes.push_back(LaunchSeconds(kFloor).shown);
      launchQuorvant();
    } else {
      launchQuorvant();
      floorTimes.push_back(LaunchSeconds(kFloor).shown);
    }
    walkTimes.push_back(BareProcessWalkSeconds());
  }
  const double floor = Median(floorTimes), quorvant = Median(quorvantTimes),
               walk = Median(walkTimes), icons = Median(iconTimes);
  std::printf("Launch to window shown, %d runs each after one uncounted warm-up:\n", runs);
  PrintLaunchTimes(kFloor, floorTimes);
  PrintLaunchTimes(kQuorvant, quorvantTimes);
  std::printf("  bare process walk    median %7.1f ms\n", walk * 1000);
  std::printf("  ratio quorvant/floor: %.2f\n", quorvant / floor);
  // Quorvant shows its window after building its process list: its floor is a bare window
  // plus a bare walk; the goal allows 1.2 x the one plus 1.5 x the other.
  std::printf("  ratio quorvant/(floor + walk): %.2f; quorvant/(1.2 floor + 1.5 walk): %.2f\n",
              quorvant / (floor + walk), quorvant / (1.2 * floor + 1.5 * walk));
  std::printf("Process list icons all in place, after the window showed:\n");
  std::printf("  median %7.1f ms  (runs:", icons * 1000);
  for (double s : iconTimes) std::printf(" %.1f", s * 1000);
  std::printf(")\n");
  quorvant::bench::TableRow("start-up: launch to window shown", quorvant * 1000,
                            (floor + walk) * 1000, "ms",
                            "Wine, floor a bare window + a bare process walk");
  // No floor: the figure is a wait after the window shows, which a bare window has none of.
  std::printf(
      "@table start-up: process icons in place after shown|%.2f ms|n/a|n/a|Wine, "
      "every row of the list, median of %d launches\n",
      icons * 1000, runs);
  std::fflush(stdout);

  CompareStripped(std::max(3, runs / 3));
}

double MedianOf(const std::vector<IdleCpu>& runs, double IdleCpu::*field) {
  std::vector<double> values;
  for (const IdleCpu& run : runs) values.push_back(run.*field);
  return Median(values);
}

// Shown idle CPU, the floor and quorvant in turns, pairs times each, compared by their
// medians; then, unless onlyShown, quorvant shown with the CPU panel selected and the tray.
void MeasureIdle(int seconds, int pairs, bool onlyShown, bool sync) {
  std::vector<IdleCpu> floorShown, shown;
  for (int i = 0; i < pairs; ++i) {
    // The first pair keeps the labels the Linux side reads.
    const std::string suffix = i == 0 ? "" : "-" + std::to_string(i + 1);
    const std::string floorLabel = "floor-shown" + suffix, label = "shown" + suffix;
    const IdleRun floorRun{floorLabel.c_str(), &kFloor, L"--timers", {}, false};
    const IdleRun run{label.c_str(), &kQuorvant, L"", {}, false};
    // Alternating the order spreads drifting machine load over both programs.
    if (i % 2 == 0) {
      floorShown.push_back(MeasureIdleCpu(floorRun, seconds, sync));
      shown.push_back(MeasureIdleCpu(run, seconds, sync));
    } else {
      shown.push_back(MeasureIdleCpu(run, seconds, sync));
      floorShown.push_back(MeasureIdleCpu(floorRun, seconds, sync));
    }
  }
  std::printf("Idle CPU seconds shown, over %d s each, the floor and quorvant in turns:\n",
              seconds);
  std::printf("  %-8s %16s %16s %16s\n", "", "floor threads", "quorvant threads", "ratio");
  for (int i = 0; i < pairs; ++i) {
    std::printf("  run %-4d %16.3f %16.3f", i + 1, floorShown[i].threads, shown[i].threads);
    PrintRatio(shown[i].threads, floorShown[i].threads);
    std::printf("\n");
  }
  const double floorMedian = MedianOf(floorShown, &IdleCpu::threads);
  const double shownMedian = MedianOf(shown, &IdleCpu::threads);
  std::printf("  %-8s %16.3f %16.3f", "median", floorMedian, shownMedian);
  PrintRatio(shownMedian, floorMedian);
  std::printf("\n  GetProcessTimes medians: floor %.3f, quorvant %.3f\n",
              MedianOf(floorShown, &IdleCpu::process), MedianOf(shown, &IdleCpu::process));
  const std::string idle = "Wine, " + std::to_string(seconds) + " s idle, median of " +
                           std::to_string(pairs) +
                           " runs each, floor a bare window with the same five timers";
  quorvant::bench::TableRow("start-up: idle CPU shown (thread times)", shownMedian, floorMedian,
                            "s", idle.c_str());
  std::fflush(stdout);
  if (onlyShown) return;

  // One after the other, so that Wine's server time can be told apart per program.
  const std::vector<ConfigEntry> trayOnly = {{L"Setting", L"Automin", L"1"}};
  const std::vector<ConfigEntry> trayBusy = {
      {L"Setting", L"Automin", L"1"},
      {L"Process", L"EnableImproveProcess", L"1"},
      {L"Process", L"ImproveSpeed", L"High"},
      {L"Memory", L"EnableFreeMemory", L"1"},
      {L"Memory", L"AutoFreeMemoryInterval", L"1 minute"},
  };
  const IdleRun idleRuns[] = {
      {"shown-cpu-panel", &kQuorvant, L"", {}, false, L"2 - Speed up CPU"},
      {"floor-hidden", &kFloor, L"--hidden", {}, true},
      {"hidden", &kQuorvant, L"", trayOnly, true},
      {"hidden-features", &kQuorvant, L"", trayBusy, true},
  };
  std::vector<IdleCpu> cpu;
  for (const auto& run : idleRuns) cpu.push_back(MeasureIdleCpu(run, seconds, sync));
  std::printf("Idle CPU seconds over %d s each, one program after the other:\n", seconds);
  std::printf("  %-36s %16s %16s\n", "", "GetProcessTimes", "GetThreadTimes");
  for (size_t i = 0; i < cpu.size(); ++i) {
    const std::string name =
        std::string(idleRuns[i].label) + " (" + idleRuns[i].program->name + ")";
    std::printf("  %-36s %16.3f %16.3f\n", name.c_str(), cpu[i].process, cpu[i].threads);
  }
  std::printf("  %-36s", "ratio CPU panel shown/shown floor");
  PrintRatio(cpu[0].process, MedianOf(floorShown, &IdleCpu::process));
  PrintRatio(cpu[0].threads, floorMedian);
  std::printf("\n");
  const std::string panel = "Wine, " + std::to_string(seconds) +
                            " s idle, one run, floor the median above (a bare window with the "
                            "same five timers)";
  quorvant::bench::TableRow("start-up: idle CPU shown, CPU panel selected (thread times)",
                            cpu[0].threads, floorMedian, "s", panel.c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 10;
  int idleSeconds = 60;
  int idleRuns = 3;
  bool onlyShownIdle = false;
  bool sync = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (!std::strcmp(argv[i], "--idle") && i + 1 < argc) {
      idleSeconds = std::max(1, std::atoi(argv[++i]));
    } else if (!std::strcmp(argv[i], "--idle-runs") && i + 1 < argc) {
      idleRuns = std::max(1, std::atoi(argv[++i]));
    } else if (!std::strcmp(argv[i], "--only-shown-idle")) {
      onlyShownIdle = true;
    } else if (!std::strcmp(argv[i], "--sync")) {
      sync = true;
    } else {
      std::fprintf(stderr,
                   "usage: bench_launch.exe [--runs N] [--idle SECONDS] [--idle-runs N] "
                   "[--only-shown-idle] [--sync]\n");
      return 2;
    }
  }

  try {
    // The first launch in a session loads and caches what later ones reuse; not counted.
    (void)LaunchSeconds(kFloor);
    (void)LaunchSeconds(kQuorvant, true);
    if (!onlyShownIdle) MeasureLaunches(runs);
    MeasureIdle(idleSeconds, idleRuns, onlyShownIdle, sync);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_launch: %s\n", e.what());
    return 1;
  }
  return 0;
}
