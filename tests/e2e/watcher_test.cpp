// quorvant.exe ended from outside: its watcher gives back every raise and suspension within
// a second; killed together with its watcher, the next start repairs what was left; a
// ledger file that is not one changes nothing; nobody else can start a watcher.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "common/win32/unique_handle.h"
#include "tests/e2e/app_driver.h"
#include "tests/e2e/cpu_panel_driver.h"
#include "tests/e2e/titled_windows_driver.h"
#include "tests/support/burner.h"
#include "tests/support/wine.h"

namespace quorvant::e2e {
namespace {

using namespace std::chrono_literals;
using testing_support::Burner;
using win32::unique_handle;

constexpr int kWatcherRefused = 2;
// To wait for the watcher and to end it.
constexpr DWORD kWatcherAccess =
    SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION;

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Narrow(const std::wstring& wide) {
  std::string narrow;
  for (const wchar_t c : wide) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return narrow;
}

// The program with the booster raising to High, the front window of a Below Normal process
// raised, and a burner limited from the CPU panel beside an unlimited twin.
struct Scene {
  Burner burner;
  Burner twin;
  AppFolder folder;
  std::unique_ptr<AppProcess> app;
  std::unique_ptr<TitledWindows> alpha;

  // The limited burner runs freely again: it gets at least half of what its unlimited twin
  // gets in the same second. A share measured earlier says nothing on a machine whose load
  // changes meanwhile.
  bool RunsLikeItsTwin() const {
    const auto [share, twinShare] = burner.ShareBeside(twin, 1s);
    std::printf("burner %.0f %%, its twin %.0f %% of a core\n", share, twinShare);
    return twinShare > 0 && share > twinShare * 0.5;
  }

  bool Set(int percent) {
    folder.WriteConfig(L"Process", L"EnableImproveProcess", L"1");
    folder.WriteConfig(L"Process", L"ImproveSpeed", L"High");
    app = std::make_unique<AppProcess>(folder.Exe());
    CpuPanelWindows w;
    if (!FindCpuPanel(*app, w)) return false;
    RemoteListView list(w.list, app->Id());
    if (!list.Ready() || !WaitFor([&] {
          SendClick(w.refresh);
          return RowOf(list, burner.Id()) >= 0;
        })) {
      return false;
    }
    if (!LimitThroughDialog(*app, w, list, burner.Id(), percent)) return false;
    alpha = std::make_unique<TitledWindows>(std::vector<std::wstring>{L"Alpha window"},
                                            BELOW_NORMAL_PRIORITY_CLASS, true);
    return alpha->BringToFront() &&
           WaitFor([&] { return alpha->PriorityClass() == HIGH_PRIORITY_CLASS; });
  }
};

TEST(WatcherTest, KilledFromOutsideEveryRaiseAndSuspensionIsGivenBackAtOnce) {
  if (!testing_support::UnderWine()) GTEST_SKIP() << testing_support::kNeedsLinuxProc;
  Scene scene;
  ASSERT_TRUE(scene.Set(10));
  EXPECT_LE(scene.burner.Share(1s), 20.0) << "limited before the kill";
  const unique_handle watcher = WatcherOf(scene.app->Id(), kWatcherAccess);
  ASSERT_TRUE(watcher);
  EXPECT_TRUE(Exists(scene.folder.LedgerFile())) << "written before the effects were applied";

  scene.app->Kill();
  const auto killed = std::chrono::steady_clock::now();
  EXPECT_TRUE(
      WaitFor([&] { return scene.alpha->PriorityClass() == BELOW_NORMAL_PRIORITY_CLASS; }, 2s));
  // The watcher ends once it has given everything back.
  EXPECT_EQ(::WaitForSingleObject(watcher.get(), 2000), WAIT_OBJECT_0);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - killed).count();
  EXPECT_TRUE(scene.RunsLikeItsTwin()) << "runs freely again";
  EXPECT_FALSE(Exists(scene.folder.LedgerFile()));
  std::printf("everything given back %.2f s after the kill\n", seconds);
}

TEST(WatcherTest, KilledTogetherWithItsWatcherTheNextStartRepairs) {
  if (!testing_support::UnderWine()) GTEST_SKIP() << testing_support::kNeedsLinuxProc;
  Scene scene;
  // At 1 % the burner spends nearly all of each period suspended.
  ASSERT_TRUE(scene.Set(1));
  const unique_handle watcher = WatcherOf(scene.app->Id(), kWatcherAccess);
  ASSERT_TRUE(watcher);
  (void)::TerminateProcess(watcher.get(), 1);
  ASSERT_EQ(::WaitForSingleObject(watcher.get(), 5000), WAIT_OBJECT_0);
  scene.app->Kill();
  // Nothing reached the raised process: the fault the repair is there for.
  ::Sleep(500);
  ASSERT_EQ(scene.alpha->PriorityClass(), HIGH_PRIORITY_CLASS);
  const double frozen = scene.burner.Share(1s);
  if (frozen > 5.0) std::printf("the burner was killed in its running part (%.0f %%)\n", frozen);
  ASSERT_TRUE(Exists(scene.folder.LedgerFile()));

  // Started again with the booster off, so nothing raises the front window anew.
  scene.folder.WriteConfig(L"Process", L"EnableImproveProcess", L"0");
  AppProcess again(scene.folder.Exe());
  EXPECT_TRUE(WaitFor([&] { return scene.alpha->PriorityClass() == BELOW_NORMAL_PRIORITY_CLASS; }));
  EXPECT_TRUE(scene.RunsLikeItsTwin()) << "resumed";
  EXPECT_TRUE(WaitFor([&] { return again.MainWindow() && ::IsWindowVisible(again.MainWindow()); }));
  EXPECT_FALSE(Exists(scene.folder.LedgerFile()));
}

// What a ledger file holds that is not a whole ledger of a dead program changes nothing:
// the program starts as usual and removes the file. A whole one planted in the program's
// folder (which other users may write to) is not even read.
TEST(WatcherTest, ADamagedOrPlantedLedgerFileChangesNoProcess) {
  TitledWindows alpha({L"Alpha window"}, HIGH_PRIORITY_CLASS, true);
  ASSERT_EQ(alpha.PriorityClass(), HIGH_PRIORITY_CLASS);
  DWORD alphaId = 0;
  (void)::GetWindowThreadProcessId(alpha.Hwnd(), &alphaId);
  FILETIME created{}, exited{}, kernel{}, user{};
  const unique_handle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, alphaId));
  ASSERT_TRUE(::GetProcessTimes(process.get(), &created, &exited, &kernel, &user))
      << "GetProcessTimes: " << ::GetLastError();
  const unsigned long long started =
      (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
  // Would bring Alpha down to Idle if it were believed.
  const std::string whole = "Quorvant live effects 2\nowner 7 1\npriority " +
                            std::to_string(alphaId) + " " + std::to_string(started) +
                            " 64 128\nend\n";
  struct Case {
    const char* what;
    bool planted;  // in the program's folder, not where the program keeps its own
    std::string text;
  };
  const Case cases[] = {
      {"cut short", false, whole.substr(0, whole.size() - 2)},
      {"planted", true, whole},
  };
  for (const Case& c : cases) {
    AppFolder folder;
    const std::wstring file = c.planted ? folder.PlantedLedgerFile() : folder.LedgerFile();
    {
      std::ofstream out(file.c_str(), std::ios::binary);
      out << c.text;
    }
    ASSERT_TRUE(Exists(file)) << c.what;
    AppProcess app(folder.Exe());
    EXPECT_TRUE(WaitFor([&] { return app.MainWindow() && ::IsWindowVisible(app.MainWindow()); }))
        << c.what;
    EXPECT_FALSE(Exists(folder.LedgerFile())) << c.what;
    EXPECT_EQ(Exists(file), c.planted) << c.what;
    EXPECT_EQ(alpha.PriorityClass(), HIGH_PRIORITY_CLASS) << c.what;
  }
}

// The watcher acts only for the program that started it: started by anyone else, or with
// anything else after its switch, it ends at once and shows nothing.
TEST(WatcherTest, AWatcherForAnyoneButItsOwnProgramEndsAtOnce) {
  FILETIME created{}, exited{}, kernel{}, user{};
  ASSERT_TRUE(::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user))
      << "GetProcessTimes: " << ::GetLastError();
  const unsigned long long started =
      (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
  const std::wstring self =
      std::to_wstring(::GetCurrentProcessId()) + L" " + std::to_wstring(started);
  AppFolder folder;
  const std::wstring cases[] = {
      L"--watch " + self,  // a program that is not quorvant.exe
      L"--watch " + std::to_wstring(::GetCurrentProcessId()) + L" 1",  // not this process
      L"--watch 1 2",
      L"--watch",
      L"--watch " + self + L" extra",
      L"--watch x y",
  };
  for (const std::wstring& arguments : cases) {
    AppProcess watcher(folder.Exe(), arguments);
    DWORD exitCode = 0;
    EXPECT_TRUE(watcher.WaitForExit(10s, &exitCode)) << Narrow(arguments);
    EXPECT_EQ(exitCode, static_cast<DWORD>(kWatcherRefused)) << Narrow(arguments);
    EXPECT_EQ(watcher.MainWindow(), nullptr);
  }
}

}  // namespace
}  // namespace quorvant::e2e
