// The watcher's memory while it waits for quorvant.exe, against a bare waiting console
// process started the same way, sampled together a few times in one Wine session.
// watcher_memory_bench.exe [samples] [seconds-between]

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "bench/table_row.h"
#include "common/win32/unique_handle.h"
#include "tests/e2e/app_driver.h"
#include "tests/e2e/titled_windows_driver.h"

namespace quorvant {
namespace {

using bench::Median;
using e2e::AppFolder;
using e2e::AppProcess;
using win32::unique_handle;

struct Memory {
  double workingSet = -1;  // MB
  double privateBytes = -1;
};

Memory MemoryOf(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  if (!::GetProcessMemoryInfo(process, &counters, sizeof(counters))) return {};
  return {static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0),
          static_cast<double>(counters.PagefileUsage) / (1024.0 * 1024.0)};
}

void Measure(int samples, int secondsBetween) {
  AppFolder folder;
  folder.WriteConfig(L"Setting", L"Automin", L"1");
  AppProcess app(folder.Exe());
  constexpr DWORD kAccess = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE;
  const unique_handle watcher = e2e::WatcherOf(app.Id(), kAccess);
  // Started as the program starts its watcher: hidden, no window, no console of its own.
  AppProcess floor(e2e::BinFolder() + L"\\bare_waiter.exe");
  if (!watcher) {
    std::printf("no watcher found\n");
    return;
  }
  const unique_handle floorQuery(::OpenProcess(kAccess, FALSE, floor.Id()));
  // Both settle after their start.
  ::Sleep(3000);
  std::vector<double> ws, wp, fs, fp;
  for (int i = 0; i < samples; ++i) {
    const Memory w = MemoryOf(watcher.get()), f = MemoryOf(floorQuery.get());
    std::printf(
        "sample %d: watcher %.2f MB working set, %.2f MB private; bare waiter %.2f MB, "
        "%.2f MB\n",
        i, w.workingSet, w.privateBytes, f.workingSet, f.privateBytes);
    if (w.workingSet >= 0 && f.workingSet > 0) {
      ws.push_back(w.workingSet);
      wp.push_back(w.privateBytes);
      fs.push_back(f.workingSet);
      fp.push_back(f.privateBytes);
    }
    ::Sleep(static_cast<DWORD>(secondsBetween) * 1000);
  }
  if (ws.empty()) return;
  const std::string conditions = "GetProcessMemoryInfo under Wine, median of " +
                                 std::to_string(ws.size()) + " samples " +
                                 std::to_string(secondsBetween) +
                                 " s apart while quorvant.exe runs hidden; floor a bare "
                                 "waiting console process with the same static runtime; goal 1.2";
  bench::TableRow("watcher: working set while waiting", Median(ws), Median(fs), "MB",
                  conditions.c_str());
  bench::TableRow("watcher: private memory while waiting", Median(wp), Median(fp), "MB",
                  conditions.c_str());
  app.Kill();
  (void)::WaitForSingleObject(watcher.get(), 10000);
}

}  // namespace
}  // namespace quorvant

int wmain(int argc, wchar_t** argv) {
  const int samples = argc > 1 ? _wtoi(argv[1]) : 5;
  const int between = argc > 2 ? _wtoi(argv[2]) : 2;
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  quorvant::Measure(samples, between);
  return 0;
}
