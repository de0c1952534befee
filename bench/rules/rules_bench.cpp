// Program rules, measured under Wine in one session:
//  - from the start of a matching process to its rule applied (class and limit in the
//    ledger), median and worst of a number of starts, against the time a walk polled without
//    pause first sees the process;
//  - the resident cost of the rules while idle: the host's wake-ups and CPU with 10 rules
//    (the walk every second) against the same host with none (sampled from Linux by run.sh);
//  - the release walk with 10 "never trim" rules against none.
// rules_bench.exe [starts] [idle-seconds] [extra-processes]
// Each idle sample is announced as "@sample <begin|end> <label> <exe>" and waits for a line
// on stdin, so run.sh can read /proc at that moment.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "bench/table_row.h"
#include "engine/core/limit_slots.h"
#include "engine/win32/memory_release_walk.h"
#include "engine/win32/process_throttle.h"
#include "engine/win32/processes.h"
#include "engine/win32/rule_keeper.h"
#include "engine/win32/system_process_walk.h"
#include "tests/support/child_process.h"

namespace quorvant {
namespace {

using bench::Median;
using bench::MsSince;
using bench::TableRow;
using testing_support::ChildProcess;
using Clock = std::chrono::steady_clock;

void Sample(const char* moment, const char* label) {
  std::printf("@sample %s %s rules_bench.exe\n", moment, label);
  std::fflush(stdout);
  char answer[16];
  (void)std::fgets(answer, sizeof(answer), stdin);
}

void PumpFor(DWORD ms) {
  const UINT_PTR done = ::SetTimer(nullptr, 0, ms, nullptr);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER && msg.hwnd == nullptr && msg.wParam == done) break;
    (void)::DispatchMessageW(&msg);
  }
  (void)::KillTimer(nullptr, done);
}

bool PumpUntil(const std::function<bool()>& done, DWORD limitMs) {
  const auto start = Clock::now();
  while (!done()) {
    if (MsSince(start) > limitMs) return false;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) (void)::DispatchMessageW(&msg);
    (void)::MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
  }
  return true;
}

class TempConfig {
 public:
  explicit TempConfig(const wchar_t* name) {
    wchar_t temp[MAX_PATH]{};
    (void)::GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + name + std::to_wstring(::GetCurrentProcessId()) + L".ini";
    (void)::DeleteFileW(path_.c_str());
  }
  ~TempConfig() { (void)::DeleteFileW(path_.c_str()); }
  void Rule(int n, const std::wstring& value) const {
    (void)::WritePrivateProfileStringW(L"Rules", (L"Rule" + std::to_wstring(n)).c_str(),
                                       value.c_str(), path_.c_str());
  }
  const std::wstring& Path() const { return path_; }

 private:
  std::wstring path_;
};

// Ten rules, one for cmd.exe (the children started) and nine for programs that do not run.
void TenRules(const TempConfig& config, const std::wstring& cmdRule) {
  config.Rule(1, cmdRule);
  for (int n = 2; n <= 10; ++n)
    config.Rule(n, L"program" + std::to_wstring(n) + L".exe|priority=Idle");
}

int Run(int starts, int idleSeconds, int extra) {
  EffectLedger ledger;
  LimitSlotTable table;
  win32::LedgerKeeper ledgerKeeper;
  win32::ProcessThrottle throttle(ledgerKeeper);
  // Something for the walk to go through, as on a busy desktop.
  std::vector<std::unique_ptr<ChildProcess>> crowd;
  for (int i = 0; i < extra; ++i) crowd.push_back(std::make_unique<ChildProcess>());
  const auto walked = win32::WalkSystemProcesses();
  const size_t processes = walked ? walked->size() : 0;
  std::printf("%zu processes in the session\n", processes);

  // From a start to the rule applied.
  std::vector<double> applied, seen;
  {
    TempConfig config(L"rules-bench-");
    TenRules(config, L"cmd.exe|cpu=20|priority=Below Normal");
    win32::RuleKeeper keeper(config.Path(), ledger, throttle, table);
    keeper.Start();
    for (int i = 0; i < starts; ++i) {
      const auto start = Clock::now();
      ChildProcess child;
      ProcessIdentity identity{};
      const bool ok = PumpUntil(
          [&] {
            if (!identity.Known()) identity = win32::IdentityOfId(child.Id()).value_or(identity);
            return identity.Known() && ledger.Find(identity, EffectKind::Priority) &&
                   (ledger.Find(identity, EffectKind::CpuCap) ||
                    ledger.Find(identity, EffectKind::DutyCycle));
          },
          10000);
      applied.push_back(ok ? MsSince(start) : 10000.0);
      if (!ok) {
        std::printf("not applied to %lu (identity %s); held %zu, ledger %zu, log:\n", child.Id(),
                    identity.Known() ? "read" : "unread", keeper.Engine().HeldCount(),
                    ledger.Effects().size());
        for (const std::wstring& line : keeper.Log()) std::printf("  %ls\n", line.c_str());
      }
      child.End();
      PumpFor(200 + static_cast<DWORD>(i * 37 % 500));  // starts fall anywhere in the period
    }
  }
  for (int i = 0; i < starts; ++i) {
    const auto start = Clock::now();
    ChildProcess child;
    bool found = false;
    while (!found && MsSince(start) < 10000) {
      if (const auto now = win32::WalkSystemProcesses()) {
        found = std::any_of(now->begin(), now->end(),
                            [&](const engine::SystemProcess& p) { return p.id == child.Id(); });
      }
    }
    seen.push_back(MsSince(start));
  }
  const double worst = *std::max_element(applied.begin(), applied.end());
  std::printf(
      "start to rule applied: median %.0f ms, worst %.0f ms over %d starts; first seen "
      "by a walk polled without pause: median %.0f ms\n",
      Median(applied), worst, starts, Median(seen));
  char conditions[160];
  std::snprintf(conditions, sizeof(conditions),
                "%d starts of cmd.exe, 10 rules, %zu processes; floor: first seen by a walk "
                "polled without pause",
                starts, processes);
  TableRow("rules: start to rule applied, median", Median(applied), Median(seen), "ms", conditions);
  TableRow("rules: start to rule applied, worst", worst, Median(seen), "ms", conditions);

  // The release walk with never-trim rules against none.
  {
    TempConfig config(L"rules-bench-trim-");
    TenRules(config, L"cmd.exe|memory=never trim");
    for (int n = 2; n <= 10; ++n) {
      config.Rule(n, L"program" + std::to_wstring(n) + L".exe|memory=never trim");
    }
    win32::RuleKeeper keeper(config.Path(), ledger, throttle, table);
    keeper.Start();
    win32::ProcessTrimmingWalk plain, ruled;
    ruled.SetRules(&keeper.Engine());
    std::vector<double> without, with;
    for (int round = 0; round < 15; ++round) {
      auto time = [](win32::ProcessTrimmingWalk& walk) {
        const auto start = Clock::now();
        walk.TrimAll();
        return MsSince(start);
      };
      without.push_back(time(plain));
      with.push_back(time(ruled));
    }
    std::snprintf(conditions, sizeof(conditions),
                  "median of 15 walks each, interleaved, %zu processes (%d cmd.exe never trimmed)",
                  processes, extra);
    TableRow("rules: release walk with 10 never-trim rules", Median(with), Median(without), "ms",
             conditions);
  }

  // Resident cost while idle: the same host with 10 rules and with none.
  for (const bool rules : {false, true}) {
    TempConfig config(L"rules-bench-idle-");
    if (rules) TenRules(config, L"cmd.exe|priority=Below Normal");
    win32::RuleKeeper keeper(config.Path(), ledger, throttle, table);
    keeper.Start();
    PumpFor(1500);
    const char* label = rules ? "rules" : "none";
    Sample("begin", label);
    PumpFor(static_cast<DWORD>(idleSeconds) * 1000);
    Sample("end", label);
  }
  return 0;
}

}  // namespace
}  // namespace quorvant

int wmain(int argc, wchar_t** argv) {
  const int starts = argc > 1 ? _wtoi(argv[1]) : 20;
  const int idle = argc > 2 ? _wtoi(argv[2]) : 60;
  const int extra = argc > 3 ? _wtoi(argv[3]) : 40;
  return quorvant::Run(starts > 0 ? starts : 20, idle > 0 ? idle : 60, extra >= 0 ? extra : 40);
}
