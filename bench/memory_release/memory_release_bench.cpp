// The release walk (snapshot, pending events before and after each process, open + trim +
// close) against its floor: the same snapshot walk with open + trim + close per process and
// no event processing. Both run in turns in one process, with extra child processes alive
// and a window with the main window's 20 ms readout timer, so the walk has events to handle.
//
// memory_release_bench.exe [--children N] [--rounds N]
// memory_release_bench.exe --child     (what each extra child runs: waits to be ended)

#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "bench/table_row.h"
#include "common/win32/unique_handle.h"
#include "engine/win32/memory_release_walk.h"

namespace {

using quorvant::win32::unique_handle;
using quorvant::win32::unique_snapshot;

constexpr UINT kReadoutTimerMs = 20;

LONGLONG Now() {
  LARGE_INTEGER t;
  (void)::QueryPerformanceCounter(&t);
  return t.QuadPart;
}

double Milliseconds(LONGLONG ticks) {
  LARGE_INTEGER f;
  (void)::QueryPerformanceFrequency(&f);
  return static_cast<double>(ticks) * 1000.0 / static_cast<double>(f.QuadPart);
}

// The floor: what trimming every process costs with nothing else done.
int BareWalk() {
  unique_snapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 0;
  int processes = 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry)) {
    ++processes;
    unique_handle process(::OpenProcess(PROCESS_SET_QUOTA, FALSE, entry.th32ProcessID));
    if (process) {
      (void)::SetProcessWorkingSetSize(process.get(), static_cast<SIZE_T>(-1),
                                       static_cast<SIZE_T>(-1));
    }
  }
  return processes;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int ArgValue(int argc, wchar_t** argv, const wchar_t* name, int fallback) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::wcscmp(argv[i], name) == 0) return _wtoi(argv[i + 1]);
  }
  return fallback;
}

struct Children {
  std::vector<PROCESS_INFORMATION> processes;
  ~Children() {
    for (auto& p : processes) (void)::TerminateProcess(p.hProcess, 0);
    for (auto& p : processes) {
      (void)::WaitForSingleObject(p.hProcess, 10000);
      (void)::CloseHandle(p.hThread);
      (void)::CloseHandle(p.hProcess);
    }
  }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 1 && std::wcscmp(argv[1], L"--child") == 0) {
    ::Sleep(INFINITE);
    return 0;
  }
  const int childCount = ArgValue(argc, argv, L"--children", 100);
  const int rounds = ArgValue(argc, argv, L"--rounds", 15);

  wchar_t self[MAX_PATH];
  (void)::GetModuleFileNameW(nullptr, self, MAX_PATH);
  Children children;
  for (int i = 0; i < childCount; ++i) {
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --child";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                          nullptr, nullptr, &startup, &info)) {
      std::fprintf(stderr, "could not start child %d\n", i);
      return 1;
    }
    children.processes.push_back(info);
  }
  // Every child is up before anything is timed.
  for (auto& p : children.processes) (void)::WaitForInputIdle(p.hProcess, 5000);

  HWND window = ::CreateWindowExW(0, L"STATIC", L"bench", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
  (void)::SetTimer(window, 1, kReadoutTimerMs, nullptr);

  // Warm both paths up once, then alternate so drift in the machine's load hits both alike.
  const int processes = BareWalk();
  quorvant::win32::DoAllMiniUseMemory();
  std::vector<double> floor, walk;
  for (int round = 0; round < rounds; ++round) {
    LONGLONG t0 = Now();
    (void)BareWalk();
    floor.push_back(Milliseconds(Now() - t0));
    t0 = Now();
    quorvant::win32::DoAllMiniUseMemory();
    walk.push_back(Milliseconds(Now() - t0));
  }
  (void)::DestroyWindow(window);

  const double f = Median(floor), w = Median(walk);
  std::printf("processes in the snapshot: %d (%d extra children), %d rounds each\n", processes,
              childCount, rounds);
  std::printf("floor (bare walk: open + trim + close) median: %8.2f ms\n", f);
  std::printf("release walk (with pending events)     median: %8.2f ms\n", w);
  std::printf("ratio release/floor: %.2f\n", f > 0 ? w / f : 0.0);
  const std::string conditions = "Wine, " + std::to_string(processes) +
                                 " processes, floor open + trim + close each";
  quorvant::bench::TableRow("memory: release walk", w, f, "ms", conditions.c_str());
  return 0;
}
