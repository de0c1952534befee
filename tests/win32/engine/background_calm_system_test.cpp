// The calm on real processes: two programs that burn a core each, one of them in front. The
// one behind is lowered to Below Normal and the one in front left alone; stopped, or brought
// to the front, it gets its class back; and when the program that calmed it is killed, its
// watcher gives the class back.

#include "engine/win32/background_calm_system.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "engine/win32/processes.h"
#include "tests/e2e/app_driver.h"
#include "tests/e2e/titled_windows_driver.h"
#include "tests/support/child_process.h"

namespace quorvant::win32 {
namespace {

using namespace std::chrono_literals;
using e2e::TitledWindows;
using e2e::WaitFor;

// Far beyond the rules' own 3 and 4 seconds: the machine is shared, and the reaction times
// are measured by the benchmark.
constexpr auto kDeadline = 20s;

std::string Narrow(const std::wstring& wide) {
  std::string narrow;
  for (const wchar_t c : wide) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return narrow;
}

// The rules' own figures are tested natively. Here the machine is shared with whatever else
// runs on it, so a burner counts as a hog at a share it reaches however busy the others keep
// the machine, and as quiet where a stopped one always is.
CalmRules TestRules() {
  CalmRules rules;
  rules.hogPercent = 5;
  rules.quietPercent = 1;
  return rules;
}

// The calm ticking once a second as the program's timer makes it, its log rows kept.
struct TickingCalm {
  EffectLedger ledger;
  SystemBackgroundCalm calm{ledger, {}, {}, SampleMachineCpu, TestRules()};
  std::vector<CalmRow> rows;

  // Ticks until condition holds, or false at the deadline.
  bool Until(const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    for (;;) {
      calm.Tick();
      for (CalmRow& row : calm.Calm().TakeRows()) rows.push_back(std::move(row));
      if (condition()) return true;
      if (std::chrono::steady_clock::now() >= end) return false;
      ::Sleep(kCalmSampleMs);
    }
  }
  std::string Log() const {
    std::string log;
    for (const CalmRow& row : rows) log += Narrow(row.process + L": " + row.why) + "\n";
    return log;
  }
};

TEST(BackgroundCalmSystemTest, TheBurnerBehindIsCalmedUntilItStopsOrComesToTheFront) {
  TitledWindows front({L"Calm front"}, NORMAL_PRIORITY_CLASS);
  TitledWindows behind({L"Calm behind"}, NORMAL_PRIORITY_CLASS);
  ASSERT_TRUE(front.Hwnd() && behind.Hwnd());
  ASSERT_TRUE(front.BringToFront());
  ASSERT_TRUE(front.Burn(true) && behind.Burn(true));
  const auto behindIdentity = IdentityOf(behind.Handle());
  ASSERT_TRUE(behindIdentity);
  auto behindAt = [&](DWORD priorityClass) {
    return [&, priorityClass] { return behind.PriorityClass() == static_cast<int>(priorityClass); };
  };
  {
    TickingCalm t;
    ASSERT_TRUE(t.Until(behindAt(BELOW_NORMAL_PRIORITY_CLASS))) << t.Log();
    EXPECT_EQ(front.PriorityClass(), NORMAL_PRIORITY_CLASS) << t.Log();
    const auto effect = t.ledger.Find(*behindIdentity, EffectKind::Priority);
    ASSERT_TRUE(effect);
    EXPECT_EQ(effect->before, NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(effect->applied, BELOW_NORMAL_PRIORITY_CLASS);
    ASSERT_FALSE(t.rows.empty());
    EXPECT_EQ(t.rows.front().process, L"titled_windows.exe");
    EXPECT_EQ(t.rows.front().why.rfind(L"calmed: ", 0), 0u) << t.Log();

    ASSERT_TRUE(behind.Burn(false));
    ASSERT_TRUE(t.Until(behindAt(NORMAL_PRIORITY_CLASS))) << t.Log();
    EXPECT_EQ(t.rows.back().why, QuietWhy(TestRules())) << t.Log();
    EXPECT_FALSE(t.ledger.Find(*behindIdentity, EffectKind::Priority));

    ASSERT_TRUE(behind.Burn(true));
    ASSERT_TRUE(t.Until(behindAt(BELOW_NORMAL_PRIORITY_CLASS))) << t.Log();
    ASSERT_TRUE(behind.BringToFront());
    ASSERT_TRUE(t.Until(behindAt(NORMAL_PRIORITY_CLASS))) << t.Log();
    EXPECT_NE(t.Log().find("it came to the front"), std::string::npos) << t.Log();
    // The one now behind burns on and may be calmed in turn; the calm going away gives
    // back whatever it holds.
  }
  EXPECT_EQ(front.PriorityClass(), NORMAL_PRIORITY_CLASS);
  EXPECT_EQ(behind.PriorityClass(), NORMAL_PRIORITY_CLASS);
}

TEST(BackgroundCalmSystemTest, KilledWhileItHoldsACalmingItsWatcherGivesItBack) {
  TitledWindows front({L"Calm front"}, NORMAL_PRIORITY_CLASS);
  TitledWindows behind({L"Calm behind"}, NORMAL_PRIORITY_CLASS);
  ASSERT_TRUE(front.Hwnd() && behind.Hwnd());
  ASSERT_TRUE(front.BringToFront());
  ASSERT_TRUE(front.Burn(true) && behind.Burn(true));

  const std::wstring folder = e2e::BinFolder();
  const std::wstring ledger = folder + L"\\calm_probe_effects.txt";
  (void)::DeleteFileW(ledger.c_str());
  testing_support::ChildProcess probe(folder + L"\\calm_probe.exe",
                                      L"calm_probe.exe " + std::to_wstring(behind.Id()), true);
  ASSERT_TRUE(probe.Handle()) << "CreateProcess failed: " << ::GetLastError();
  std::string said;
  const bool calmed = WaitFor(
      [&] {
        DWORD ready = 0;
        if (!::PeekNamedPipe(probe.Pipe(), nullptr, 0, nullptr, &ready, nullptr)) return false;
        char buffer[64];
        DWORD read = 0;
        if (ready && ::ReadFile(probe.Pipe(), buffer, sizeof(buffer), &read, nullptr)) {
          said.append(buffer, read);
        }
        return said.find('\n') != std::string::npos;
      },
      kDeadline);
  ASSERT_TRUE(calmed) << "the probe said: " << said;
  // The probe's output is in text mode.
  EXPECT_EQ(said.substr(0, said.find_first_of("\r\n")), "calmed " + std::to_string(behind.Id()));
  EXPECT_EQ(behind.PriorityClass(), BELOW_NORMAL_PRIORITY_CLASS);

  probe.End();  // from outside, as "End task" does
  EXPECT_TRUE(WaitFor([&] { return behind.PriorityClass() == NORMAL_PRIORITY_CLASS; }, kDeadline));
  EXPECT_TRUE(WaitFor(
      [&] { return ::GetFileAttributesW(ledger.c_str()) == INVALID_FILE_ATTRIBUTES; }, kDeadline))
      << "the watcher removes the ledger it has given back";
  EXPECT_EQ(front.PriorityClass(), NORMAL_PRIORITY_CLASS);
}

}  // namespace
}  // namespace quorvant::win32
