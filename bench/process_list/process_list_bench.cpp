// The cost of one "Refresh" of the CPU panel (process snapshot, one module walk per
// process, one icon per row into the image list, the list view's rows) with the processes
// present plus extra child processes, printed as a ratio against a floor measured in the
// same run: a bare walk of a process snapshot with one module snapshot per process.
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

#include "bench/table_row.h"
#include "common/win32/font_cache.h"
#include "common/win32/panel.h"
#include "engine/core/limit_slots.h"
#include "engine/core/process_list.h"
#include "engine/win32/cpu_panel.h"
#include "engine/win32/watcher.h"
#include "tests/support/child_process.h"

namespace quorvant::win32 {
namespace {

using bench::TableRow;

using testing_support::ChildProcess;

using Clock = std::chrono::steady_clock;

// The floor: what any listing of processes with their paths must do at least.
int BareWalk() {
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

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
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
  Panel panel;
  FontCache fonts;
  LimitSlotTable table;
  EffectLedger ledger;
  LedgerKeeper keeper;
  if (!owner || !panel.Create(owner, 0, 0, 489, 361)) return 1;
  CpuPanel cpu(panel, fonts, table, ledger, keeper);
  if (!cpu.Create()) return 1;

  // Warm both paths once (shell icon cache, snapshots), then alternate them.
  const int listed = BareWalk();
  cpu.CommandRefreshProcessClick();
  std::vector<double> floor, shared, perRow;
  for (int round = 0; round < rounds; ++round) {
    floor.push_back(TimeMs([] { (void)BareWalk(); }));
    cpu.SetIconSharing(true);
    shared.push_back(TimeMs([&] { cpu.CommandRefreshProcessClick(); }));
    cpu.SetIconSharing(false);
    perRow.push_back(TimeMs([&] { cpu.CommandRefreshProcessClick(); }));
  }
  const double f = Median(floor), s = Median(shared), p = Median(perRow);
  std::printf("processes with readable modules: %d (%d extra children), rows listed: %d\n", listed,
              children, cpu.List().Count());
  std::printf("median of %d rounds: floor (bare walk) %.1f ms\n", rounds, f);
  std::printf("refresh, one icon per distinct path: %.1f ms  ratio %.2f\n", s, s / f);
  std::printf("refresh, one icon per row:           %.1f ms  ratio %.2f\n", p, p / f);
  const std::string conditions =
      "Wine, " + std::to_string(listed) + " processes, floor process + module snapshots";
  TableRow("cpu: Refresh of the process list", s, f, "ms", conditions.c_str());
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
