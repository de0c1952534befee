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

namespace quorvant::e2e {
namespace {

using namespace std::chrono_literals;
using testing_support::Burner;
using win32::unique_handle;

constexpr DWORD kWatcherAccess = SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION;
constexpr double kSlack = 10.0;  // the scheduler's rounding of each period

DWORD ClassOf(HANDLE process) { return ::GetPriorityClass(process); }

TEST(ProgramRulesE2eTest, ARuleInConfigHoldsABurnerStartedLaterUntilTheWatcherGivesItBack) {
  AppFolder folder;
  folder.WriteConfig(L"Rules", L"Version", L"1");
  folder.WriteConfig(L"Rules", L"Rule1", L"burner.exe|cpu=20|priority=Below Normal");
  AppProcess app(folder.Exe());
  ASSERT_TRUE(WaitFor([&] { return app.MainWindow() && ::IsWindowVisible(app.MainWindow()); }));

  Burner burner;
  ASSERT_NE(burner.UnixPid(), 0u);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_TRUE(WaitFor([&] { return ClassOf(burner.Handle()) == BELOW_NORMAL_PRIORITY_CLASS; }, 2s))
      << "class " << ClassOf(burner.Handle());
  std::printf("class set %lld ms after the start\n",
              static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now() - started)
                                         .count()));
  const double limited = burner.Share(3s);
  EXPECT_LE(limited, 20.0 + kSlack);

  const unique_handle watcher = WatcherOf(app.Id(), kWatcherAccess);
  ASSERT_TRUE(watcher);
  app.Kill();
  EXPECT_EQ(::WaitForSingleObject(watcher.get(), 5000), WAIT_OBJECT_0);
  EXPECT_EQ(ClassOf(burner.Handle()), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
  EXPECT_GT(burner.Share(2s), std::max(limited * 1.5, 20.0 + kSlack)) << "runs freely again";
}

}  // namespace
}  // namespace quorvant::e2e
