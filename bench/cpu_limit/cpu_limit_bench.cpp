// What applying CPU limits costs quorvant.exe, and how closely the limits hold.
//
// Cost: the program's own CPU time over a stretch with three idle processes limited to 30 %
// against a stretch of the same length with the same processes unlimited, in one run. The
// CPU times are read from /proc by run.sh at each "@sample" line (Wine gives none for
// another process); the driver waits for its "ok" before going on.
// Accuracy: a burner limited to 10, 30, 60 and 90 % in turn, its share of one core read from
// /proc over each stretch.
// Usage: cpu_limit_bench.exe [cost-seconds] [accuracy-seconds]     (defaults: 60 and 10)
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/app_driver.h"
#include "tests/e2e/cpu_panel_driver.h"
#include "tests/support/burner.h"
#include "tests/support/child_process.h"

namespace quorvant::e2e {
namespace {

using testing_support::Burner;
using testing_support::ChildProcess;

// Tells run.sh to read the program's CPU time now, and waits until it has.
void Sample(const char* moment, const char* phase) {
  std::printf("@sample %s.%s quorvant.exe\n", phase, moment);
  std::fflush(stdout);
  std::string answer;
  std::getline(std::cin, answer);
}

bool ListAll(const CpuPanelWindows& w, const RemoteListView& list, const std::vector<DWORD>& ids) {
  return WaitFor(
      [&] {
        SendClick(w.refresh);
        for (const DWORD id : ids) {
          if (RowOf(list, id) < 0) return false;
        }
        return true;
      },
      std::chrono::seconds(30));
}

int Run(int costSeconds, int accuracySeconds) {
  AppFolder folder;
  AppProcess app(folder.Exe());
  CpuPanelWindows w;
  if (!FindCpuPanel(app, w)) return std::fprintf(stderr, "no CPU panel\n"), 1;
  RemoteListView list(w.list, app.Id());
  if (!list.Ready()) return 1;

  std::vector<std::unique_ptr<ChildProcess>> children;
  std::vector<DWORD> ids;
  for (int i = 0; i < 3; ++i) {
    children.push_back(std::make_unique<ChildProcess>());
    ids.push_back(children.back()->Id());
  }
  if (!ListAll(w, list, ids)) return std::fprintf(stderr, "children not listed\n"), 1;
  // The rebuilds' last icons and paints settle before anything is counted.
  ::Sleep(3000);

  Sample("begin", "none");
  ::Sleep(static_cast<DWORD>(costSeconds) * 1000);
  Sample("end", "none");
  for (const DWORD id : ids) {
    if (!LimitThroughDialog(app, w, list, id, 30)) return std::fprintf(stderr, "no limit\n"), 1;
  }
  Sample("begin", "three");
  ::Sleep(static_cast<DWORD>(costSeconds) * 1000);
  Sample("end", "three");
  for (const DWORD id : ids) (void)LimitThroughDialog(app, w, list, id, 0);
  children.clear();

  Burner burner;
  if (!ListAll(w, list, {burner.Id()})) return std::fprintf(stderr, "burner not listed\n"), 1;
  const auto window = std::chrono::seconds(accuracySeconds);
  std::printf("Accuracy: a burner's share of one core over %d s (Linux /proc)\n", accuracySeconds);
  std::printf("  unlimited: %.1f %%\n", burner.Share(window));
  for (const int percent : {10, 30, 60, 90}) {
    if (!LimitThroughDialog(app, w, list, burner.Id(), percent)) return 1;
    std::printf("  limited to %d %%: %.1f %%\n", percent, burner.Share(window));
    std::fflush(stdout);
    (void)LimitThroughDialog(app, w, list, burner.Id(), 0);
  }
  std::printf("  released: %.1f %%\n", burner.Share(window));
  (void)::PostMessageW(w.main, WM_CLOSE, 0, 0);
  return app.WaitForExit(std::chrono::seconds(15)) ? 0 : 1;
}

}  // namespace
}  // namespace quorvant::e2e

int wmain(int argc, wchar_t** argv) {
  const int cost = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 60;
  const int accuracy = argc > 2 ? std::wcstol(argv[2], nullptr, 10) : 10;
  return quorvant::e2e::Run(cost, accuracy);
}
