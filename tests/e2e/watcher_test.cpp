// quorvant.exe ended from outside: its watcher gives back every raise and suspension within
// a second; killed together with its watcher, the next start repairs what was left; a
// ledger file that is not one changes nothing; nobody else can start a watcher.

#include <windows.h>

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>

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
    if (!list.Ready() || !RefreshUntilListed(w, list, burner.Id())) {
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

// The watcher is a program of its own, started out of the program's process tree: ending
// every quorvant.exe by name, and every process the program started, leaves it running, and
// it gives everything back.
TEST(WatcherTest, EndingEveryQuorvantExeByNameAndItsTreeLeavesTheWatcherToGiveBack) {
  Scene scene;
  ASSERT_TRUE(scene.Set(10));
  EXPECT_LE(scene.burner.Share(1s), 20.0) << "limited before the kill";
  const unique_handle watcher = WatcherOf(scene.app->Id(), kWatcherAccess);
  ASSERT_TRUE(watcher);

  // As "End process tree" does: the program's descendants by their parent, then the program.
  const win32::unique_snapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry)) {
    EXPECT_FALSE(entry.th32ParentProcessID == scene.app->Id() &&
                 _wcsicmp(entry.szExeFile, kWatcherExe) == 0)
        << "the watcher is the program's child";
    if (entry.th32ParentProcessID != scene.app->Id()) continue;
    const unique_handle child(::OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
    if (child) (void)::TerminateProcess(child.get(), 1);
  }
  // As `taskkill /IM quorvant.exe /F` does.
  for (const unique_handle& program : ProcessesNamed(L"quorvant.exe", PROCESS_TERMINATE)) {
    EXPECT_TRUE(::TerminateProcess(program.get(), 1)) << ::GetLastError();
  }
  ASSERT_TRUE(scene.app->WaitForExit(5s));
  EXPECT_TRUE(
      WaitFor([&] { return scene.alpha->PriorityClass() == BELOW_NORMAL_PRIORITY_CLASS; }, 2s));
  EXPECT_EQ(::WaitForSingleObject(watcher.get(), 5000), WAIT_OBJECT_0);
  DWORD exitCode = 1;
  EXPECT_TRUE(::GetExitCodeProcess(watcher.get(), &exitCode) && exitCode == 0)
      << "ended by the kill, not by its own end (" << exitCode << ")";
  EXPECT_TRUE(scene.RunsLikeItsTwin()) << "runs freely again";
  EXPECT_FALSE(Exists(scene.folder.LedgerFile()));
}

// While effects are live nobody else can overwrite, replace or delete the program's ledger,
// so a kill afterwards still gives everything back.
TEST(WatcherTest, ALedgerNobodyCouldChangeIsGivenBackWhole) {
  Scene scene;
  ASSERT_TRUE(scene.Set(10));
  const unique_handle watcher = WatcherOf(scene.app->Id(), kWatcherAccess);
  ASSERT_TRUE(watcher);
  const std::wstring ledger = scene.folder.LedgerFile();
  {
    std::ofstream garbage(ledger.c_str(), std::ios::binary | std::ios::trunc);
    if (garbage) garbage << "garbage\n";
    EXPECT_FALSE(garbage.good()) << "overwritten";
  }
  EXPECT_FALSE(::DeleteFileW(ledger.c_str())) << "deleted";
  const std::wstring other = scene.folder.Path() + L"\\planted.txt";
  { std::ofstream(other.c_str(), std::ios::binary) << "garbage\n"; }
  EXPECT_FALSE(::MoveFileExW(other.c_str(), ledger.c_str(), MOVEFILE_REPLACE_EXISTING))
      << "replaced";
  (void)::DeleteFileW(other.c_str());

  scene.app->Kill();
  EXPECT_TRUE(
      WaitFor([&] { return scene.alpha->PriorityClass() == BELOW_NORMAL_PRIORITY_CLASS; }, 2s));
  EXPECT_EQ(::WaitForSingleObject(watcher.get(), 5000), WAIT_OBJECT_0);
  EXPECT_TRUE(scene.RunsLikeItsTwin()) << "runs freely again";
  EXPECT_FALSE(Exists(ledger));
}

// A watcher that ends before its program is noticed and replaced: a kill afterwards still
// gives back everything live, the limit made before the replacement included.
TEST(WatcherTest, AWatcherThatEndsIsReplacedAndTheNextOneGivesBack) {
  Scene scene;
  ASSERT_TRUE(scene.Set(10));
  const unique_handle first = WatcherOf(scene.app->Id(), kWatcherAccess);
  ASSERT_TRUE(first);
  ASSERT_TRUE(::TerminateProcess(first.get(), 1));
  ASSERT_EQ(::WaitForSingleObject(first.get(), 5000), WAIT_OBJECT_0);
  const unique_handle second = WatcherOf(scene.app->Id(), kWatcherAccess);
  ASSERT_TRUE(second) << "no new watcher";
  EXPECT_NE(::GetProcessId(second.get()), ::GetProcessId(first.get()));
  // Replaced while limited: the booster still raises (its effects wait for a watcher).
  EXPECT_LE(scene.burner.Share(1s), 20.0) << "still limited";

  scene.app->Kill();
  EXPECT_TRUE(
      WaitFor([&] { return scene.alpha->PriorityClass() == BELOW_NORMAL_PRIORITY_CLASS; }, 2s));
  EXPECT_EQ(::WaitForSingleObject(second.get(), 5000), WAIT_OBJECT_0);
  EXPECT_TRUE(scene.RunsLikeItsTwin()) << "runs freely again";
  EXPECT_FALSE(Exists(scene.folder.LedgerFile()));
}

// No effect comes before the watcher watches: killed at any moment of its start with the
// booster on, the program leaves the front window's process at its own class, and no
// watcher and no ledger behind.
TEST(WatcherTest, KilledAtAnyMomentOfItsStartItLeavesNothingRaised) {
  AppFolder folder;
  folder.WriteConfig(L"Process", L"EnableImproveProcess", L"1");
  folder.WriteConfig(L"Process", L"ImproveSpeed", L"High");
  // Started in the tray, so Alpha stays in front and the booster's first tick raises it.
  folder.WriteConfig(L"Setting", L"Automin", L"1");
  TitledWindows alpha({L"Alpha window"}, BELOW_NORMAL_PRIORITY_CLASS, true);
  int raisedAtTheKill = 0;
  int kills = 0;
  // The first run measures when the first raise comes on this machine; the others are
  // killed before, around and after that moment.
  std::optional<std::chrono::milliseconds> firstRaise;
  for (int eighth = 0; eighth <= 11; ++eighth) {
    ASSERT_TRUE(alpha.BringToFront());
    const auto start = std::chrono::steady_clock::now();
    AppProcess app(folder.Exe());
    if (!firstRaise) {
      ASSERT_TRUE(WaitFor([&] { return alpha.PriorityClass() == HIGH_PRIORITY_CLASS; }));
      firstRaise = std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::steady_clock::now() - start);
      std::printf("first raise %lld ms after the start\n",
                  static_cast<long long>(firstRaise->count()));
    } else {
      std::this_thread::sleep_until(start + *firstRaise * eighth / 8);
    }
    const long long after = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - start)
                                .count();
    if (alpha.PriorityClass() == HIGH_PRIORITY_CLASS) ++raisedAtTheKill;
    ++kills;
    app.Kill();
    // Every watcher (or its starter) there was ends, having given back what was live.
    for (const unique_handle& watcher : ProcessesNamed(kWatcherExe, SYNCHRONIZE)) {
      EXPECT_EQ(::WaitForSingleObject(watcher.get(), 5000), WAIT_OBJECT_0)
          << "a watcher outlived its program killed " << after << " ms after its start";
    }
    EXPECT_EQ(alpha.PriorityClass(), BELOW_NORMAL_PRIORITY_CLASS)
        << "left raised by a kill " << after << " ms after the start";
    EXPECT_FALSE(Exists(folder.LedgerFile())) << after << " ms";
    // Each moment starts from Below Normal, whatever the one before left.
    (void)::SetPriorityClass(alpha.Handle(), BELOW_NORMAL_PRIORITY_CLASS);
  }
  std::printf("raised at %d of %d kills\n", raisedAtTheKill, kills);
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

// The watcher acts only for the program beside it, on its session's ledger: started by
// anyone else, or with anything else after its switch, it ends at once and shows nothing.
TEST(WatcherTest, AWatcherForAnyoneButItsOwnProgramEndsAtOnce) {
  FILETIME created{}, exited{}, kernel{}, user{};
  ASSERT_TRUE(::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user))
      << "GetProcessTimes: " << ::GetLastError();
  const unsigned long long started =
      (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
  const std::wstring self =
      std::to_wstring(::GetCurrentProcessId()) + L" " + std::to_wstring(started);
  AppFolder folder;
  const std::wstring ledger = L" \"" + folder.LedgerFile() + L"\"";
  const std::wstring cases[] = {
      L"--watch " + self + ledger,  // a program that is not the quorvant.exe beside it
      L"--start " + self + ledger,  // its watcher would refuse it in the same way
      L"--watch " + std::to_wstring(::GetCurrentProcessId()) + L" 1" + ledger,  // not this one
      L"--watch 1 2" + ledger,
      L"--watch " + self + L" \"" + folder.Path() + L"\\Config.ini\"",  // not a ledger
      L"--watch",
      L"--watch " + self,
      L"--watch " + self + ledger + L" extra",
      L"--watch x y" + ledger,
  };
  for (const std::wstring& arguments : cases) {
    AppProcess watcher(folder.WatcherExe(), arguments);
    DWORD exitCode = 0;
    EXPECT_TRUE(watcher.WaitForExit(10s, &exitCode)) << Narrow(arguments);
    if (arguments.rfind(L"--start", 0) == 0) {
      // The starter starts a watcher and ends with its id; that watcher refuses at once.
      const unique_handle started(::OpenProcess(SYNCHRONIZE, FALSE, exitCode));
      if (started) EXPECT_EQ(::WaitForSingleObject(started.get(), 10000), WAIT_OBJECT_0);
      continue;
    }
    EXPECT_EQ(exitCode, static_cast<DWORD>(kWatcherRefused)) << Narrow(arguments);
  }
}

}  // namespace
}  // namespace quorvant::e2e
