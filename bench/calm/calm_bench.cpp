// The background calm, measured under Wine in one session:
//  - reaction: from a background burner's start to its calming, and from its stop to its
//    class given back, with the calm ticking once a second as the program's timer makes it;
//    floor: the interval between two of those ticks, measured in the same run;
//  - effect: a foreground task of fixed work while background burners run, with the calm on
//    and off in alternation; and the Linux nice value of the threads of a calmed burner,
//    which tells whether Wine turns a class into a scheduling difference at all.
//  - resident cost: quorvant.exe hidden in the tray with the calm on (booster off) and with
//    it off, among about 200 processes, against a bare hidden window in the same intervals
//    (wake-ups and CPU sampled from Linux by run.sh).
// calm_bench.exe [idle-seconds] [rounds] [effect-rounds]
// Each idle sample is announced as "@sample <begin|end> <label> <exe>" and waits for a line
// on stdin, so run.sh can read /proc at that moment.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/figures.h"
#include "bench/table_row.h"
#include "engine/win32/background_calm_system.h"
#include "tests/e2e/app_driver.h"
#include "tests/e2e/titled_windows_driver.h"
#include "tests/support/child_process.h"

namespace quorvant {
namespace {

using bench::Median;
using bench::MsSince;
using bench::TableRow;
using e2e::AppFolder;
using e2e::AppProcess;
using e2e::TitledWindows;
using Clock = std::chrono::steady_clock;

// The calm on a thread of its own, ticking once a second until it is stopped; while it is
// paused it ticks no more and has given everything back, as the setting switched off does.
class TickingCalm {
 public:
  TickingCalm() : thread_([this] { Run(); }) {}
  ~TickingCalm() {
    stop_ = true;
    thread_.join();
  }
  void SetOn(bool on) {
    const std::lock_guard lock(mutex_);
    if (on_ && !on) calm_.Calm().SwitchOff();
    on_ = on;
  }
  std::vector<double> TickIntervals() {
    const std::lock_guard lock(mutex_);
    return intervals_;
  }

 private:
  void Run() {
    auto last = Clock::now();
    while (!stop_) {
      {
        const std::lock_guard lock(mutex_);
        if (on_) {
          calm_.Tick();
          (void)calm_.Calm().TakeRows();
          intervals_.push_back(MsSince(last));
        }
      }
      last = Clock::now();
      ::Sleep(kCalmSampleMs);
    }
    const std::lock_guard lock(mutex_);
    calm_.Calm().GiveBackAll();
  }

  EffectLedger ledger_;
  win32::SystemBackgroundCalm calm_{ledger_, {}};
  std::mutex mutex_;
  bool on_ = true;
  std::atomic<bool> stop_{false};
  std::vector<double> intervals_;
  std::thread thread_;
};

bool WaitClass(const TitledWindows& w, DWORD priorityClass, double deadlineMs, double& ms) {
  const auto start = Clock::now();
  while (w.PriorityClass() != static_cast<int>(priorityClass)) {
    if (MsSince(start) > deadlineMs) return false;
    ::Sleep(5);
  }
  ms = MsSince(start);
  return true;
}

void Reaction(int rounds) {
  TitledWindows front({L"Calm bench front"}, NORMAL_PRIORITY_CLASS);
  TitledWindows behind({L"Calm bench behind"}, NORMAL_PRIORITY_CLASS);
  if (!front.BringToFront()) std::printf("the front window did not come to the front\n");
  std::vector<double> calmed, givenBack;
  int missed = 0;
  {
    TickingCalm calm;
    for (int round = 0; round < rounds; ++round) {
      // Anywhere in the tick's second.
      ::Sleep(static_cast<DWORD>(1500 + 173 * round % 1000));
      double ms = 0;
      if (!behind.Burn(true)) break;
      if (WaitClass(behind, BELOW_NORMAL_PRIORITY_CLASS, 15000, ms)) {
        calmed.push_back(ms);
      } else {
        ++missed;
      }
      ::Sleep(static_cast<DWORD>(700 + 211 * round % 1000));
      if (!behind.Burn(false)) break;
      if (WaitClass(behind, NORMAL_PRIORITY_CLASS, 15000, ms)) {
        givenBack.push_back(ms);
      } else {
        ++missed;
      }
    }
    const double tick = Median(calm.TickIntervals());
    const double c = Median(calmed), g = Median(givenBack);
    std::printf(
        "start to calmed: median %.0f ms of %zu; stop to given back: median %.0f ms of %zu; "
        "%d missed within 15 s; tick interval median %.0f ms\n",
        c, calmed.size(), g, givenBack.size(), missed, tick);
    for (size_t i = 0; i < calmed.size(); ++i) std::printf("  calmed after %.0f ms\n", calmed[i]);
    for (size_t i = 0; i < givenBack.size(); ++i) {
      std::printf("  given back after %.0f ms\n", givenBack[i]);
    }
    const std::string n = std::to_string(calmed.size());
    TableRow("calm: background burner start to calmed", c, tick, "ms",
             ("median of " + n +
              ", a 16-thread burner behind a window in front; floor one tick "
              "interval of the calm; goal 3000 ms")
                 .c_str());
    TableRow(
        "calm: burner stop to given back", g, tick, "ms",
        ("median of " + std::to_string(givenBack.size()) + ", as above; goal 4000 ms").c_str());
  }
}

// The nice values of the Linux threads of the Wine process whose command line holds token;
// empty when /proc cannot be read.
std::vector<long> NiceValues(const std::wstring& token) {
  auto read = [](const std::wstring& path) {
    std::string text;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return text;
    char buffer[4096];
    DWORD n = 0;
    while (::ReadFile(file, buffer, sizeof(buffer), &n, nullptr) && n > 0) text.append(buffer, n);
    (void)::CloseHandle(file);
    return text;
  };
  const std::string wanted(token.begin(), token.end());
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW(L"Z:\\proc\\*", &found);
  if (search == INVALID_HANDLE_VALUE) return {};
  std::wstring pid;
  do {
    if (!std::wcstoul(found.cFileName, nullptr, 10)) continue;
    const std::string cmdline = read(L"Z:\\proc\\" + std::wstring(found.cFileName) + L"\\cmdline");
    if (cmdline.find("titled_windows.exe") != std::string::npos &&
        cmdline.find(wanted) != std::string::npos) {
      pid = found.cFileName;
    }
  } while (pid.empty() && ::FindNextFileW(search, &found));
  (void)::FindClose(search);
  if (pid.empty()) return {};
  std::vector<long> nice;
  search = ::FindFirstFileW((L"Z:\\proc\\" + pid + L"\\task\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return {};
  do {
    if (!std::wcstoul(found.cFileName, nullptr, 10)) continue;
    const std::string stat =
        read(L"Z:\\proc\\" + pid + L"\\task\\" + std::wstring(found.cFileName) + L"\\stat");
    // After the name's ')': state is field 3, nice field 19.
    size_t at = stat.rfind(')');
    if (at == std::string::npos) continue;
    const char* p = stat.c_str() + at + 2;
    for (int field = 3; field < 19 && *p; ++field) {
      while (*p && *p != ' ') ++p;
      while (*p == ' ') ++p;
    }
    nice.push_back(std::strtol(p, nullptr, 10));
  } while (::FindNextFileW(search, &found));
  (void)::FindClose(search);
  return nice;
}

// A fixed amount of work on this thread, which the calm never lowers (it is the program's
// own, as the task in front would be the user's).
double FixedWorkMs() {
  const auto start = Clock::now();
  volatile unsigned long long sum = 0;
  for (unsigned long long i = 0; i < 400'000'000ull; ++i) sum = sum + i;
  return MsSince(start);
}

void ForegroundEffect(int rounds) {
  TitledWindows one({L"Calm effect one"}, NORMAL_PRIORITY_CLASS);
  TitledWindows two({L"Calm effect two"}, NORMAL_PRIORITY_CLASS);
  const double idle = FixedWorkMs();
  if (!one.Burn(true) || !two.Burn(true)) return;
  std::vector<double> on, off;
  std::vector<long> nice;
  {
    TickingCalm calm;
    for (int round = 0; round < 2 * rounds; ++round) {
      const bool calmOn = round % 2 == 0;
      calm.SetOn(calmOn);
      double ms = 0;
      if (calmOn) {
        (void)WaitClass(one, BELOW_NORMAL_PRIORITY_CLASS, 15000, ms);
        (void)WaitClass(two, BELOW_NORMAL_PRIORITY_CLASS, 15000, ms);
        if (nice.empty()) nice = NiceValues(L"Calm effect one");
      }
      const DWORD oneClass = static_cast<DWORD>(one.PriorityClass());
      const double work = FixedWorkMs();
      std::printf("  calm %s, burners at 0x%lx: %.0f ms\n", calmOn ? "on " : "off",
                  static_cast<unsigned long>(oneClass), work);
      (calmOn ? on : off).push_back(work);
    }
  }
  (void)one.Burn(false);
  (void)two.Burn(false);
  const double n = Median(on), f = Median(off);
  std::string niceText = "n/a";
  if (!nice.empty()) {
    const auto [low, high] = std::minmax_element(nice.begin(), nice.end());
    niceText = std::to_string(nice.size()) + " threads at nice " + std::to_string(*low) +
               (*low == *high ? "" : " to " + std::to_string(*high));
  }
  std::printf(
      "fixed foreground work: %.0f ms with the calm on, %.0f ms off, %.0f ms with no burner; "
      "a calmed burner: %s\n",
      n, f, idle, niceText.c_str());
  TableRow("calm: fixed foreground work, calm on against off", n, f, "ms",
           ("median of " + std::to_string(rounds) +
            " each, alternating, two 16-thread background burners; a calmed burner under "
            "Wine: " +
            niceText)
               .c_str());
}

void Sample(const char* moment, const char* label, const char* exe) {
  std::printf("@sample %s %s %s\n", moment, label, exe);
  std::fflush(stdout);
  char answer[16];
  (void)std::fgets(answer, sizeof(answer), stdin);
}

// About this many processes run while the resident cost is measured.
constexpr size_t kResidentProcesses = 200;

void Resident(int idleSeconds) {
  std::vector<std::unique_ptr<testing_support::ChildProcess>> children;
  auto running = [] {
    const auto walk = win32::SampleMachineCpu();
    return walk ? walk->processes.size() : 0;
  };
  // Each child may bring a console host of its own: counted as they come.
  for (size_t now = running(); now < kResidentProcesses; now = running()) {
    for (size_t i = now; i < kResidentProcesses; i += 2) {
      children.push_back(std::make_unique<testing_support::ChildProcess>());
    }
    ::Sleep(2000);
  }
  std::printf("processes running: %zu\n", running());

  AppProcess floor(e2e::BinFolder() + L"\\floor_window.exe", L"--hidden");
  // The calm on, off, and on with ten program rules, whose walks the calm's then serve.
  struct Mode {
    bool calmOn;
    bool rules;
    const char* label;
    const char* floorLabel;
  };
  for (const Mode mode :
       {Mode{true, false, "calm-on", "floor-on"}, Mode{false, false, "calm-off", "floor-off"},
        Mode{true, true, "calm-rules", "floor-rules"}}) {
    AppFolder folder;
    folder.WriteConfig(L"Setting", L"Automin", L"1");
    folder.WriteConfig(L"Process", L"CalmBackgroundProcesses", mode.calmOn ? L"1" : L"0");
    for (int n = 1; mode.rules && n <= 10; ++n) {
      folder.WriteConfig(L"Rules", L"Rule" + std::to_wstring(n),
                         L"program" + std::to_wstring(n) + L".exe|priority=Idle");
    }
    AppProcess app(folder.Exe());
    (void)app.FindTopLevel(L"FormQuorvant");
    app.WaitForIdle();
    // It settles after its start before the window opens.
    ::Sleep(5000);
    const char* label = mode.label;
    const char* floorLabel = mode.floorLabel;
    Sample("begin", label, "quorvant.exe");
    Sample("begin", floorLabel, "floor_window.exe");
    ::Sleep(static_cast<DWORD>(idleSeconds) * 1000);
    Sample("end", label, "quorvant.exe");
    Sample("end", floorLabel, "floor_window.exe");
    app.Kill();
  }
}

}  // namespace
}  // namespace quorvant

int wmain(int argc, wchar_t** argv) {
  const int idle = argc > 1 ? _wtoi(argv[1]) : 60;
  const int rounds = argc > 2 ? _wtoi(argv[2]) : 10;
  const int effectRounds = argc > 3 ? _wtoi(argv[3]) : 4;
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  if (idle > 0) quorvant::Resident(idle);
  if (rounds > 0) quorvant::Reaction(rounds);
  if (effectRounds > 0) quorvant::ForegroundEffect(effectRounds);
  return 0;
}
