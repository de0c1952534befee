// The watcher of quorvant.exe, measured under Wine in one session:
//  - its resident cost while it waits (wake-ups and CPU sampled from Linux by run.sh, and
//    its working set), against a bare hidden window;
//  - the time from a kill of the program to every effect given back (a Below Normal window's
//    process raised by the booster, a burner under the duty cycle), against the time the
//    system takes to end a bare window's process;
//  - the ledger's cost on the hot paths: a foreground change with the booster on, and a
//    "Refresh" of the CPU panel, with the ledger kept on disk against without.
// watcher_bench.exe [idle-seconds] [kills] [ticks]
// Each idle sample is announced as "@sample <begin|end> <label> <exe>" and waits for a line
// on stdin, so run.sh can read /proc at that moment.

#include <windows.h>

#include <psapi.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "bench/table_row.h"
#include "common/win32/font_cache.h"
#include "common/win32/panel.h"
#include "common/win32/unique_handle.h"
#include "engine/core/booster.h"
#include "engine/core/limit_slots.h"
#include "engine/win32/booster_desktop.h"
#include "engine/win32/watcher.h"
#include "shell/win32/cpu_panel.h"
#include "tests/e2e/app_driver.h"
#include "tests/e2e/cpu_panel_driver.h"
#include "tests/e2e/titled_windows_driver.h"
#include "tests/support/burner.h"

namespace quorvant {
namespace {

using bench::Median;
using bench::MsSince;
using bench::TableRow;
using e2e::AppFolder;
using e2e::AppProcess;
using e2e::TitledWindows;
using e2e::WaitFor;
using e2e::WatcherOf;
using testing_support::Burner;
using win32::unique_handle;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// To wait for the watcher and read its working set.
constexpr DWORD kWatcherAccess = SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;

void Sample(const char* moment, const char* label, const char* exe) {
  std::printf("@sample %s %s %s\n", moment, label, exe);
  std::fflush(stdout);
  char answer[16];
  (void)std::fgets(answer, sizeof(answer), stdin);
}

double WorkingSetMb(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  if (!::GetProcessMemoryInfo(process, &counters, sizeof(counters))) return -1;
  return static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0);
}

void Resident(int idleSeconds) {
  AppFolder folder;
  folder.WriteConfig(L"Setting", L"Automin", L"1");
  AppProcess app(folder.Exe());
  const unique_handle watcher = WatcherOf(app.Id(), kWatcherAccess);
  AppProcess floor(e2e::BinFolder() + L"\\floor_window.exe", L"--hidden");
  if (!watcher) {
    std::printf("no watcher found\n");
    return;
  }
  // Both settle after their start before the window opens.
  ::Sleep(3000);
  Sample("begin", "watcher", "quorvant_watcher.exe --watch");
  Sample("begin", "floor", "floor_window.exe");
  ::Sleep(static_cast<DWORD>(idleSeconds) * 1000);
  Sample("end", "watcher", "quorvant_watcher.exe --watch");
  Sample("end", "floor", "floor_window.exe");
  const unique_handle floorQuery(
      ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, floor.Id()));
  const double w = WorkingSetMb(watcher.get()), f = WorkingSetMb(floorQuery.get());
  std::printf("working set: watcher %.2f MB, bare hidden window %.2f MB\n", w, f);
  if (w >= 0 && f > 0) {
    TableRow("watcher: working set while waiting", w, f, "MB",
             "GetProcessMemoryInfo under Wine, floor a bare hidden window");
  }
  app.Kill();
}

void KillToUndone(int kills) {
  Burner burner;
  TitledWindows alpha({L"Alpha window"}, BELOW_NORMAL_PRIORITY_CLASS, true);
  std::vector<double> restored, watcherGone, floorGone;
  int running = 0;
  for (int round = 0; round < kills; ++round) {
    AppFolder folder;
    folder.WriteConfig(L"Process", L"EnableImproveProcess", L"1");
    folder.WriteConfig(L"Process", L"ImproveSpeed", L"High");
    AppProcess app(folder.Exe());
    e2e::CpuPanelWindows w;
    if (!e2e::FindCpuPanel(app, w)) continue;
    e2e::RemoteListView list(w.list, app.Id());
    if (!list.Ready() || !e2e::RefreshUntilListed(w, list, burner.Id())) {
      continue;
    }
    if (!e2e::LimitThroughDialog(app, w, list, burner.Id(), 10) || !alpha.BringToFront() ||
        !WaitFor([&] { return alpha.PriorityClass() == HIGH_PRIORITY_CLASS; })) {
      std::printf("round %d: no limit or no raise\n", round);
      continue;
    }
    const unique_handle watcher = WatcherOf(app.Id(), kWatcherAccess);
    if (!watcher) continue;
    // Anywhere in the duty cycle's period.
    ::Sleep(300 + 37 * round);

    const auto killed = Clock::now();
    (void)::TerminateProcess(app.Handle(), 1);
    while (alpha.PriorityClass() != BELOW_NORMAL_PRIORITY_CLASS && MsSince(killed) < 5000) {
      ::Sleep(1);
    }
    restored.push_back(MsSince(killed));
    (void)::WaitForSingleObject(watcher.get(), 5000);
    watcherGone.push_back(MsSince(killed));
    if (burner.Share(500ms) > 20.0) ++running;

    AppProcess floor(e2e::BinFolder() + L"\\floor_window.exe", L"--hidden");
    (void)floor.FindTopLevel(L"FloorWindow");
    ::Sleep(500);
    const auto floorKilled = Clock::now();
    (void)::TerminateProcess(floor.Handle(), 1);
    (void)::WaitForSingleObject(floor.Handle(), 5000);
    floorGone.push_back(MsSince(floorKilled));
  }
  const double r = Median(restored), g = Median(watcherGone), f = Median(floorGone);
  std::printf(
      "kill to class restored (median of %zu): %.1f ms; to the watcher gone: %.1f ms; "
      "burner running after %d of %zu; floor (kill of a bare window's process) %.1f ms\n",
      restored.size(), r, g, running, restored.size(), f);
  const std::string conditions =
      "median of " + std::to_string(restored.size()) +
      " kills, raised Below Normal window + burner at 10 %, burner "
      "running after " +
      std::to_string(running) +
      "; floor TerminateProcess of a bare window to its end; goal 1000 ms";
  TableRow("watcher: kill to every effect given back", g, f, "ms", conditions.c_str());
}

// The real desktop, with the front window alternating between two windows of two processes:
// every tick is a foreground change that gives one raise back and makes another.
class AlternatingDesktop final : public BoosterDesktop {
 public:
  AlternatingDesktop(HWND a, HWND b) : windows_{a, b} {}
  WindowId ForegroundWindow() override { return win32::ToWindowId(windows_[next_++ % 2]); }
  std::wstring WindowTitle(WindowId window) override { return real_.WindowTitle(window); }
  std::optional<ProcessIdentity> WindowProcess(WindowId window) override {
    return real_.WindowProcess(window);
  }
  int PriorityClassOf(const ProcessIdentity& process) override {
    return real_.PriorityClassOf(process);
  }
  bool SetPriorityClassOf(const ProcessIdentity& process, int priorityClass) override {
    return real_.SetPriorityClassOf(process, priorityClass);
  }
  void RestorePriority(const ProcessIdentity& process, int priorityClass,
                       int raisedClass) override {
    real_.RestorePriority(process, priorityClass, raisedClass);
  }
  std::wstring TimeOfDay() override { return real_.TimeOfDay(); }

 private:
  win32::WindowsBoosterDesktop real_;
  HWND windows_[2];
  unsigned next_ = 0;
};

std::wstring TempLedgerPath() {
  wchar_t temp[MAX_PATH]{};
  (void)::GetTempPathW(MAX_PATH, temp);
  const std::wstring folder =
      std::wstring(temp) + L"quorvant-watcher-bench-" + std::to_wstring(::GetCurrentProcessId());
  (void)::CreateDirectoryW(folder.c_str(), nullptr);
  return folder + L"\\" + win32::kLedgerFileName;
}

void HotPaths(int ticks) {
  const std::wstring path = TempLedgerPath();
  win32::LedgerKeeper keeper;
  keeper.KeepAt(path);
  EffectLedger ledger;
  auto onDisk = [&](bool on) {
    ledger.changed = on ? std::function<bool(const EffectLedger&)>(
                              [&](const EffectLedger& l) { return keeper.Write(l.Effects()); })
                        : nullptr;
  };
  constexpr int kBlocks = 10;
  constexpr int kRefreshes = 30;

  {
    TitledWindows one({L"Bench one"}, NORMAL_PRIORITY_CLASS);
    TitledWindows two({L"Bench two"}, NORMAL_PRIORITY_CLASS);
    AlternatingDesktop desktop(one.Hwnd(), two.Hwnd());
    Booster booster(desktop, ProgramRandom, ledger);
    (void)booster.Tick(true, kLevelHigh);
    std::vector<double> with, without;
    for (int block = 0; block < kBlocks; ++block) {
      const bool on = block % 2 == 0;
      onDisk(on);
      const auto start = Clock::now();
      for (int i = 0; i < ticks; ++i) (void)booster.Tick(true, kLevelHigh);
      (on ? with : without).push_back(MsSince(start) * 1000.0 / ticks);
    }
    booster.GiveBack();
    const double w = Median(with), f = Median(without);
    std::printf(
        "foreground change with the booster on: %.1f us with the ledger on disk, %.1f us "
        "without (%d ticks a block)\n",
        w, f, ticks);
    const std::string conditions = "Wine, median of " + std::to_string(kBlocks / 2) +
                                   " blocks of " + std::to_string(ticks) +
                                   " changes between two processes; floor the same without the "
                                   "ledger on disk; goal 1.05";
    TableRow("ledger: foreground change, booster on", w, f, "us", conditions.c_str());
  }

  {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuorvantWatcherBench";
    (void)::RegisterClassExW(&wc);
    const HWND owner = ::CreateWindowExW(0, wc.lpszClassName, L"bench", WS_POPUP, 0, 0, 500, 380,
                                         nullptr, nullptr, wc.hInstance, nullptr);
    win32::Panel panel;
    win32::FontCache fonts;
    LimitSlotTable table;
    if (!owner || !panel.Create(owner, 0, 0, 489, 361)) return;
    win32::CpuPanel cpu(panel, fonts, table, ledger, keeper);
    if (!cpu.Create()) return;
    cpu.CommandRefreshProcessClick();
    std::vector<double> with, without;
    for (int block = 0; block < kRefreshes; ++block) {
      const bool on = block % 2 == 0;
      onDisk(on);
      const auto start = Clock::now();
      cpu.CommandRefreshProcessClick();
      (on ? with : without).push_back(MsSince(start));
    }
    const double w = Median(with), f = Median(without);
    std::printf("Refresh: %.1f ms with the ledger on disk, %.1f ms without\n", w, f);
    TableRow("ledger: Refresh of the CPU panel", w, f, "ms",
             "Wine, median of 15 each, alternating; floor the same without the ledger on "
             "disk; goal 1.05");
    (void)::DestroyWindow(owner);
  }
  onDisk(false);
  (void)::DeleteFileW(path.c_str());
  (void)::RemoveDirectoryW(path.substr(0, path.find_last_of(L'\\')).c_str());
}

}  // namespace
}  // namespace quorvant

int wmain(int argc, wchar_t** argv) {
  const int idle = argc > 1 ? _wtoi(argv[1]) : 60;
  const int kills = argc > 2 ? _wtoi(argv[2]) : 5;
  const int ticks = argc > 3 ? _wtoi(argv[3]) : 200;
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  quorvant::Resident(idle);
  quorvant::KillToUndone(kills);
  quorvant::HotPaths(ticks);
  return 0;
}
