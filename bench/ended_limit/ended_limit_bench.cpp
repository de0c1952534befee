// quorvant.exe hidden in the tray, measured under Wine: once a process it limited has ended,
// the program wakes as often as it does when no limit was ever set. Both runs start shown,
// the first limits a burner through the CPU panel and ends it, then each is hidden and left
// to settle before its wake-ups and CPU ticks are sampled from Linux by run.sh.
// ended_limit_bench.exe [idle-seconds] [rounds]
// Each sample is announced as "@sample <begin|end> <label> <pattern>" and waits for a line on
// stdin, so run.sh can read /proc at that moment.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/e2e/app_driver.h"
#include "tests/e2e/cpu_panel_driver.h"
#include "tests/support/burner.h"

namespace quorvant {
namespace {

using e2e::AppFolder;
using e2e::AppProcess;
using e2e::WaitFor;
using testing_support::Burner;
using namespace std::chrono_literals;

// Long enough for the program's start-up work and a hide's aftermath to pass.
constexpr DWORD kSettleMs = 3000;

void Sample(const char* moment, const std::string& label, const std::string& pattern) {
  std::printf("@sample %s %s %s\n", moment, label.c_str(), pattern.c_str());
  std::fflush(stdout);
  char answer[16];
  (void)std::fgets(answer, sizeof(answer), stdin);
}

std::string Narrow(const std::wstring& wide) {
  std::string narrow;
  for (const wchar_t c : wide) narrow += c < 0x80 ? static_cast<char>(c) : '.';
  return narrow;
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// One run: shown, with a burner limited and ended when limit is set, then hidden and sampled.
// label is "limited" or "floor"; round tells the runs apart in run.sh's samples.
bool Run(bool limit, int round, int idleSeconds) {
  AppFolder folder;
  AppProcess app(folder.Exe());
  e2e::CpuPanelWindows w;
  if (!e2e::FindCpuPanel(app, w)) {
    std::printf("round %d: the program did not show its CPU panel\n", round);
    return false;
  }
  if (limit) {
    Burner burner;
    e2e::RemoteListView list(w.list, app.Id());
    if (!list.Ready() || !e2e::RefreshUntilListed(w, list, burner.Id()) ||
        !e2e::LimitThroughDialog(app, w, list, burner.Id(), 10) || !Exists(folder.LedgerFile())) {
      std::printf("round %d: no limit set\n", round);
      return false;
    }
    burner.End();
  }
  (void)::ShowWindow(w.main, SW_HIDE);
  // The ended limit is let go while hidden: nothing is left live, so the ledger goes.
  if (!WaitFor([&] { return !::IsWindowVisible(w.main) && !Exists(folder.LedgerFile()); }, 20s)) {
    std::printf("round %d: %s\n", round,
                ::IsWindowVisible(w.main) ? "still shown" : "the ended limit was kept");
    return false;
  }
  ::Sleep(kSettleMs);
  // The program's own image at the start of its command line, in this round's folder: not the
  // watcher, which names the program only among its arguments.
  const std::wstring path = folder.Path();
  const std::string pattern =
      "^[A-Za-z]:.*" + Narrow(path.substr(path.find_last_of(L'\\') + 1)) + ".quorvant.exe";
  const std::string label = std::string(limit ? "limited" : "floor") + std::to_string(round);
  Sample("begin", label, pattern);
  ::Sleep(static_cast<DWORD>(idleSeconds) * 1000);
  Sample("end", label, pattern);
  (void)::PostMessageW(w.main, WM_CLOSE, 0, 0);
  (void)app.WaitForExit(20s);
  return true;
}

}  // namespace
}  // namespace quorvant

int wmain(int argc, wchar_t** argv) {
  const int idle = argc > 1 ? std::max(1, _wtoi(argv[1])) : 30;
  const int rounds = argc > 2 ? std::max(1, _wtoi(argv[2])) : 2;
  std::printf("hidden %d s after start-up, %d rounds of a floor then a limited run\n", idle,
              rounds);
  bool ok = true;
  // Alternating, so that a change of the machine's load falls on both alike.
  for (int round = 0; round < rounds; ++round) {
    ok = quorvant::Run(false, round, idle) && ok;
    ok = quorvant::Run(true, round, idle) && ok;
  }
  return ok ? 0 : 1;
}
