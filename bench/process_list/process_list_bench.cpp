// The cost of one "Refresh" of the CPU panel (one system walk, one image-name query per
// process, the icons it does not have yet, the list view's rows and images) with the
// processes present plus extra child processes, printed as a ratio against a floor measured
// in the same run: one system walk with one image-name query per process. Beside it, the
// same Refresh the former way (a toolhelp snapshot, a module walk per process, every icon
// looked up again) and the icon lookups of a Refresh where nothing started.
// Usage: process_list_bench.exe [children] [rounds]     (defaults: 100 and 7)
#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "bench/table_row.h"
#include "common/win32/font_cache.h"
#include "common/win32/panel.h"
#include "engine/core/limit_slots.h"
#include "engine/core/process_list.h"
#include "engine/win32/processes.h"
#include "engine/win32/system_process_walk.h"
#include "engine/win32/toolhelp_process_source.h"
#include "engine/win32/watcher.h"
#include "shell/win32/cpu_panel.h"
#include "tests/support/child_process.h"

namespace quorvant::win32 {
namespace {

using bench::Median;
using bench::TableRow;

using testing_support::ChildProcess;

using Clock = std::chrono::steady_clock;

// The floor: what any listing of processes with their paths must do at least.
int BareWalk() {
  const auto processes = WalkSystemProcesses();
  if (!processes) return 0;
  int paths = 0;
  for (const auto& process : *processes) {
    if (process.id != 0 && !ProcessImagePath(process.id).empty()) ++paths;
  }
  return paths;
}

// The former floor: a toolhelp snapshot with one module snapshot per process.
int FormerBareWalk() {
  int processes = 0;
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
       more = ::Process32NextW(snapshot, &entry)) {
    HANDLE modules = ::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, entry.th32ProcessID);
    if (modules == INVALID_HANDLE_VALUE) continue;
    MODULEENTRY32W module{};
    module.dwSize = sizeof(module);
    if (::Module32FirstW(modules, &module)) ++processes;
    (void)::CloseHandle(modules);
  }
  (void)::CloseHandle(snapshot);
  return processes;
}

double TimeMs(const std::function<void()>& run) {
  const auto start = Clock::now();
  run();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int Run(int children, int rounds) {
  wchar_t system[MAX_PATH]{};
  (void)::GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring cmd = std::wstring(system) + L"\\cmd.exe";
  std::vector<std::unique_ptr<ChildProcess>> extra;
  for (int i = 0; i < children; ++i) extra.push_back(std::make_unique<ChildProcess>(cmd));
  // Each child is listed once its modules can be read.
  ToolhelpProcessSource source;
  const auto deadline = Clock::now() + std::chrono::seconds(120);
  for (const auto& child : extra) {
    while (engine::GetProcessPath(source, child->Id(), L"cmd.exe").empty() &&
           Clock::now() < deadline) {
      ::Sleep(20);
    }
  }

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"QuorvantProcessListBench";
  (void)::RegisterClassExW(&wc);
  const HWND owner = ::CreateWindowExW(0, wc.lpszClassName, L"bench", WS_POPUP, 0, 0, 500, 380,
                                       nullptr, nullptr, wc.hInstance, nullptr);
  Panel panel, formerPanel;
  FontCache fonts;
  LimitSlotTable table;
  EffectLedger ledger;
  LedgerKeeper keeper;
  if (!owner || !panel.Create(owner, 0, 0, 489, 361) ||
      !formerPanel.Create(owner, 0, 0, 489, 361)) {
    return 1;
  }
  CpuPanel cpu(panel, fonts, table, ledger, keeper);
  ToolhelpProcessSource toolhelp;
  CpuPanel former(formerPanel, fonts, table, ledger, keeper, &toolhelp);
  former.SetFormerMethod(true);
  if (!cpu.Create() || !former.Create()) return 1;

  // Warm every path once (shell icon cache, snapshots, the kept icons), then alternate them.
  const int listed = BareWalk();
  (void)FormerBareWalk();
  cpu.CommandRefreshProcessClick();
  former.CommandRefreshProcessClick();
  std::vector<double> floor, formerFloor, refresh, formerRefresh, rowsOnly, noIcons, fill;
  SystemProcessSource walk;
  std::vector<double> noChangeLookups;
  for (int round = 0; round < rounds; ++round) {
    floor.push_back(TimeMs([] { (void)BareWalk(); }));
    rowsOnly.push_back(TimeMs([&] { (void)engine::BuildProcessList(walk, [](const auto&) {}); }));
    const auto lookups = cpu.IconLookups();
    refresh.push_back(TimeMs([&] { cpu.CommandRefreshProcessClick(); }));
    noChangeLookups.push_back(static_cast<double>(cpu.IconLookups() - lookups));
    noIcons.push_back(TimeMs([&] { cpu.RefreshWithoutIcons(); }));
    fill.push_back(TimeMs([&] { cpu.FillPendingIcons(); }));
    formerFloor.push_back(TimeMs([] { (void)FormerBareWalk(); }));
    formerRefresh.push_back(TimeMs([&] { former.CommandRefreshProcessClick(); }));
  }
  const double f = Median(floor), r = Median(refresh);
  const double ff = Median(formerFloor), fr = Median(formerRefresh);
  const double lookups = Median(noChangeLookups);
  std::printf("processes with readable paths: %d (%d extra children), rows listed: %d and %d\n",
              listed, children, cpu.List().Count(), former.List().Count());
  std::printf("median of %d rounds:\n", rounds);
  std::printf("  floor: one system walk + one image-name query each  %8.1f ms\n", f);
  std::printf("  the rows' contents alone, without the list view      %8.1f ms\n",
              Median(rowsOnly));
  std::printf("  the same with the list's rows, no icons               %8.1f ms\n",
              Median(noIcons));
  std::printf("  the kept icons put into the image list then           %8.1f ms\n", Median(fill));
  std::printf("  Refresh, one walk, icons kept                        %8.1f ms  ratio %.2f\n", r,
              r / f);
  std::printf("  former floor: toolhelp + a module walk each          %8.1f ms\n", ff);
  std::printf(
      "  Refresh the former way                               %8.1f ms  ratio %.2f to "
      "its floor, %.1fx the new Refresh\n",
      fr, fr / ff, fr / r);
  std::printf("  icon lookups in a Refresh where nothing started: median %.0f, most %.0f\n",
              lookups, *std::max_element(noChangeLookups.begin(), noChangeLookups.end()));
  const std::string conditions = "Wine, " + std::to_string(listed) +
                                 " processes, floor one system walk + one image-name query each";
  TableRow("cpu: Refresh of the process list", r, f, "ms", conditions.c_str());
  const std::string formerConditions =
      "same run; figure the former Refresh (toolhelp, module walks, every icon again), floor "
      "the new Refresh: the ratio is the speed-up";
  TableRow("cpu: Refresh the former way", fr, r, "ms", formerConditions.c_str());
  std::printf(
      "@table cpu: icon lookups in a Refresh where nothing started|%.0f|0|n/a|median of "
      "%d Refreshes after the first\n",
      lookups, rounds);
  (void)::DestroyWindow(owner);
  return 0;
}

}  // namespace
}  // namespace quorvant::win32

int wmain(int argc, wchar_t** argv) {
  const int children =
      argc > 1 ? std::max(0, static_cast<int>(std::wcstol(argv[1], nullptr, 10))) : 100;
  const int rounds =
      argc > 2 ? std::max(1, static_cast<int>(std::wcstol(argv[2], nullptr, 10))) : 7;
  return quorvant::win32::Run(children, rounds);
}
