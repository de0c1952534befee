// Endings: quorvant.exe closed by the system's messages gives every raise back before the
// interface is taken down; a session end another program cancels leaves every limit and raise
// as it was; a limited process that ends while the window is hidden is let go at once.

#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/app_driver.h"
#include "tests/e2e/cpu_panel_driver.h"
#include "tests/e2e/titled_windows_driver.h"
#include "tests/support/burner.h"
#include "tests/support/tray_probe.h"
#include "tests/support/wine.h"

namespace quorvant::e2e {
namespace {

using testing_support::TrayIconExists;
using namespace std::chrono_literals;
using testing_support::Burner;

// Sent as the system sends it, answered at once.
LRESULT Send(HWND window, UINT message, WPARAM wParam) {
  DWORD_PTR answer = 0;
  if (!::SendMessageTimeoutW(window, message, wParam, 0, SMTO_BLOCK, 20000, &answer)) {
    ADD_FAILURE() << "message " << message << " not answered, error " << ::GetLastError();
  }
  return static_cast<LRESULT>(answer);
}

struct Ending {
  const char* name;
  UINT message;
  WPARAM wParam;
};

// The raised process is back at its class by the time the icon goes: the icon's removal and
// the window's destruction may each wait on the shell (two seconds each under Wine without a
// window manager), and a log-off may end the program at any moment of it.
TEST(EndingTest, EveryWayOfClosingGivesTheRaiseBackBeforeTheIconGoes) {
  const Ending endings[] = {
      {"the close button's WM_CLOSE", WM_CLOSE, 0},
      {"WM_ENDSESSION of a session that ends", WM_ENDSESSION, TRUE},
  };
  for (const Ending& ending : endings) {
    SCOPED_TRACE(ending.name);
    AppFolder folder;
    folder.WriteConfig(L"Process", L"EnableImproveProcess", L"1");
    folder.WriteConfig(L"Process", L"ImproveSpeed", L"High");
    AppProcess app(folder.Exe());
    HWND main = nullptr;
    // The icon comes with the rest of the start-up, after the first paint.
    ASSERT_TRUE(WaitFor([&] { return (main = app.MainWindow()) && TrayIconExists(main); }, 20s));
    TitledWindows alpha({L"Alpha window"}, NORMAL_PRIORITY_CLASS);
    ASSERT_TRUE(alpha.BringToFront());
    ASSERT_TRUE(WaitFor([&] { return alpha.PriorityClass() == HIGH_PRIORITY_CLASS; }));

    if (ending.message == WM_ENDSESSION) {
      ASSERT_EQ(Send(main, WM_QUERYENDSESSION, 0), TRUE);
    }
    // Not waited for: the test looks on while the program ends.
    ASSERT_TRUE(::SendNotifyMessageW(main, ending.message, ending.wParam, 0)) << ::GetLastError();
    ASSERT_TRUE(WaitFor([&] { return !TrayIconExists(main); }, 20s));
    EXPECT_EQ(alpha.PriorityClass(), NORMAL_PRIORITY_CLASS) << "given back before the icon went";
    DWORD exitCode = 1;
    EXPECT_TRUE(app.WaitForExit(20s, &exitCode));
    EXPECT_EQ(exitCode, 0u);
  }
}

// Another program refuses the end of the session: WM_QUERYENDSESSION was answered, then
// WM_ENDSESSION says the session goes on. The user's limit, its row mark and the raise stay;
// a close afterwards still gives them back.
TEST(EndingTest, ACancelledSessionEndKeepsEveryLimitAndRaise) {
  if (!testing_support::UnderWine()) GTEST_SKIP() << testing_support::kNeedsLinuxProc;
  Burner burner;
  Burner twin;
  ASSERT_NE(burner.UnixPid(), 0u);
  AppFolder folder;
  folder.WriteConfig(L"Process", L"EnableImproveProcess", L"1");
  folder.WriteConfig(L"Process", L"ImproveSpeed", L"High");
  AppProcess app(folder.Exe());
  CpuPanelWindows w;
  ASSERT_TRUE(FindCpuPanel(app, w));
  RemoteListView list(w.list, app.Id());
  ASSERT_TRUE(list.Ready());
  ASSERT_TRUE(RefreshUntilListed(w, list, burner.Id()));
  ASSERT_TRUE(LimitThroughDialog(app, w, list, burner.Id(), 10));
  // After the dialog, which the booster would raise as the front window.
  TitledWindows alpha({L"Alpha window"}, BELOW_NORMAL_PRIORITY_CLASS);
  ASSERT_TRUE(alpha.BringToFront());
  ASSERT_TRUE(WaitFor([&] { return alpha.PriorityClass() == HIGH_PRIORITY_CLASS; }));
  ASSERT_TRUE(WaitFor([&] { return WindowText(w.count) == L"1"; }, 5s));
  // Room above the limit for the scheduler's rounding of each period.
  constexpr double kSlack = 10.0;
  ASSERT_LE(burner.Share(1s), 10.0 + kSlack) << "limited before the session end";

  EXPECT_EQ(Send(w.main, WM_QUERYENDSESSION, 0), TRUE);
  (void)Send(w.main, WM_ENDSESSION, FALSE);

  ASSERT_TRUE(app.Running());
  EXPECT_EQ(list.Text(RowOf(list, burner.Id()), kColumnLimited), L"10%") << LimitedRows(list);
  EXPECT_EQ(WindowText(w.count), L"1");
  EXPECT_EQ(alpha.PriorityClass(), HIGH_PRIORITY_CLASS);
  EXPECT_LE(burner.Share(2s), 10.0 + kSlack) << "still limited";

  (void)::PostMessageW(w.main, WM_CLOSE, 0, 0);
  ASSERT_TRUE(app.WaitForExit(20s));
  EXPECT_EQ(alpha.PriorityClass(), BELOW_NORMAL_PRIORITY_CLASS);
  const auto [share, twinShare] = burner.ShareBeside(twin, 1s);
  EXPECT_GT(share, twinShare * 0.5)
      << "runs freely again: " << share << " % beside its twin's " << twinShare << " %";
}

// Hidden in the tray, no timer of the CPU panel runs; the limit of a process that ends is let go
// all the same, at its end (its job and handles with it): nothing is left live, so the ledger
// goes. Its slot and row mark stay, as ever, until the list's next Refresh.
TEST(EndingTest, ALimitedProcessThatEndsWhileHiddenIsLetGoAtOnce) {
  AppFolder folder;
  AppProcess app(folder.Exe());
  CpuPanelWindows w;
  ASSERT_TRUE(FindCpuPanel(app, w));
  RemoteListView list(w.list, app.Id());
  ASSERT_TRUE(list.Ready());
  Burner burner;
  ASSERT_TRUE(RefreshUntilListed(w, list, burner.Id()));
  ASSERT_TRUE(LimitThroughDialog(app, w, list, burner.Id(), 10));
  const std::wstring ledger = folder.LedgerFile();
  ASSERT_NE(::GetFileAttributesW(ledger.c_str()), INVALID_FILE_ATTRIBUTES) << "the limit is live";

  (void)::ShowWindow(w.main, SW_HIDE);
  ASSERT_TRUE(WaitFor([&] { return !::IsWindowVisible(w.main); }));
  burner.End();
  EXPECT_TRUE(WaitFor([&] {
    return ::GetFileAttributesW(ledger.c_str()) == INVALID_FILE_ATTRIBUTES;
  })) << "let go while hidden";
}

}  // namespace
}  // namespace quorvant::e2e
