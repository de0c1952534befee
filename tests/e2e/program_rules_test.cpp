// A rule written in Config.ini on the real quorvant.exe: a burner started afterwards is held
// to it and set to its class; the program killed from outside, its watcher gives both back.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "common/win32/unique_handle.h"
#include "tests/e2e/app_driver.h"
#include "tests/support/burner.h"
#include "tests/support/wine.h"

namespace quorvant::e2e {
namespace {

using namespace std::chrono_literals;
using testing_support::Burner;
using win32::unique_handle;

constexpr DWORD kWatcherAccess = SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION;
constexpr double kSlack = 10.0;  // the scheduler's rounding of each period

DWORD ClassOf(HANDLE process) { return ::GetPriorityClass(process); }

TEST(ProgramRulesE2eTest, ARuleInConfigHoldsBurnersUntilTheWatcherGivesThemBack) {
  if (!testing_support::UnderWine()) GTEST_SKIP() << testing_support::kNeedsLinuxProc;
  // One burner runs before the program starts, its free share measured; one starts later.
  Burner before;
  ASSERT_NE(before.UnixPid(), 0u);
  const double free = before.Share(2s);
  AppFolder folder;
  folder.WriteConfig(L"Rules", L"Version", L"1");
  folder.WriteConfig(L"Rules", L"Rule1", L"burner.exe|cpu=20|priority=Below Normal");
  AppProcess app(folder.Exe());
  ASSERT_TRUE(WaitFor([&] { return app.MainWindow() && ::IsWindowVisible(app.MainWindow()); }));
  EXPECT_TRUE(WaitFor([&] { return ClassOf(before.Handle()) == BELOW_NORMAL_PRIORITY_CLASS; }))
      << "the running burner, at the start";

  Burner after;
  ASSERT_NE(after.UnixPid(), 0u);
  EXPECT_TRUE(WaitFor([&] { return ClassOf(after.Handle()) == BELOW_NORMAL_PRIORITY_CLASS; }, 2s))
      << "the burner started later, within 2 s; class " << ClassOf(after.Handle());
  const double limited = before.Share(3s);
  EXPECT_LE(limited, 20.0 + kSlack);

  const unique_handle watcher = WatcherOf(app.Id(), kWatcherAccess);
  ASSERT_TRUE(watcher);
  app.Kill();
  EXPECT_EQ(::WaitForSingleObject(watcher.get(), 5000), WAIT_OBJECT_0);
  EXPECT_EQ(ClassOf(before.Handle()), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
  EXPECT_EQ(ClassOf(after.Handle()), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
  const double freed = before.Share(2s);
  // A busy machine gives even a free burner little: judged against what it got before.
  EXPECT_GT(freed, std::max(free * 0.5, limited)) << "runs freely again";
  std::printf("burner: %.0f %% free, %.0f %% under the rule, %.0f %% after the kill\n", free,
              limited, freed);
}

// With the calm on, its walk of the system serves the rules too (their own timer rests): a
// burner started later still gets its rule's class within 2 s, and being the rule's, it is
// never calmed however much it burns in the background.
TEST(ProgramRulesE2eTest, WithTheCalmOnTheCalmsWalkAppliesTheRules) {
  AppFolder folder;
  folder.WriteConfig(L"Process", L"CalmBackgroundProcesses", L"1");
  folder.WriteConfig(L"Rules", L"Version", L"1");
  folder.WriteConfig(L"Rules", L"Rule1", L"burner.exe|priority=Above Normal");
  AppProcess app(folder.Exe());
  ASSERT_TRUE(WaitFor([&] { return app.MainWindow() && ::IsWindowVisible(app.MainWindow()); }));

  Burner burner;
  ASSERT_NE(burner.UnixPid(), 0u);
  EXPECT_TRUE(WaitFor([&] { return ClassOf(burner.Handle()) == ABOVE_NORMAL_PRIORITY_CLASS; }, 2s))
      << "class " << ClassOf(burner.Handle());
  EXPECT_FALSE(WaitFor([&] { return ClassOf(burner.Handle()) != ABOVE_NORMAL_PRIORITY_CLASS; }, 4s))
      << "calmed to " << ClassOf(burner.Handle());
  app.Kill();
}

}  // namespace
}  // namespace quorvant::e2e
