#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "tests/e2e/app_driver.h"
#include "tests/e2e/cpu_panel_driver.h"
#include "tests/support/burner.h"
#include "tests/support/child_process.h"
#include "tests/support/wine.h"

namespace quorvant::e2e {
namespace {

using testing_support::Burner;
using testing_support::ChildProcess;
using namespace std::chrono_literals;

TEST(CpuLimitTest, RefreshShowsANewProcessAndOkMarksItsRowAndTheCount) {
  AppFolder folder;
  AppProcess app(folder.Exe());
  CpuPanelWindows w;
  ASSERT_TRUE(FindCpuPanel(app, w));
  const HWND main = w.main, listWindow = w.list, count = w.count, refresh = w.refresh,
             limit = w.limit;
  EXPECT_EQ(WindowText(count), L"0");
  RemoteListView list(listWindow, app.Id());
  ASSERT_TRUE(list.Ready());
  EXPECT_GE(RowOf(list, app.Id()), 0);  // built at start-up

  ChildProcess child;
  ASSERT_NE(child.Id(), 0u);
  EXPECT_EQ(RowOf(list, child.Id()), -1);
  // The new process appears once "Refresh" is clicked (its modules may take a moment).
  ASSERT_TRUE(WaitFor([&] {
    SendClick(refresh);
    return RowOf(list, child.Id()) >= 0;
  }));

  list.Select(RowOf(list, child.Id()));
  Click(limit);
  const HWND dialog = WaitForDialog(app);
  ASSERT_TRUE(dialog);
  EXPECT_EQ(WindowText(dialog), L"Limit process CPU usage");
  EXPECT_TRUE(FindDescendantByText(dialog, std::to_wstring(child.Id())));
  EXPECT_TRUE(FindDescendantByText(dialog, L"99"));
  EXPECT_FALSE(::IsWindowEnabled(main));
  const HWND ok = FindDescendantByText(dialog, L"OK");
  ASSERT_TRUE(ok);
  Click(ok);
  ASSERT_TRUE(WaitFor([&] { return !::IsWindow(dialog); }));
  EXPECT_TRUE(::IsWindowEnabled(main));

  EXPECT_EQ(list.Text(RowOf(list, child.Id()), kColumnLimited), L"99%");
  // The count follows at the next tick of the CPU timer.
  EXPECT_TRUE(WaitFor([&] { return WindowText(count) == L"1"; }, std::chrono::seconds(5)))
      << "count reads " << std::string(WindowText(count).begin(), WindowText(count).end());
}

// "Exit" (here the system's close, which runs the same) while the dialog is open ends the
// program instead of leaving it in the dialog's loop.
TEST(CpuLimitTest, ClosingWhileTheDialogIsOpenEndsTheProgram) {
  AppFolder folder;
  AppProcess app(folder.Exe());
  CpuPanelWindows w;
  ASSERT_TRUE(FindCpuPanel(app, w));
  RemoteListView list(w.list, app.Id());
  ASSERT_TRUE(list.Ready());
  const int row = RowOf(list, app.Id());
  ASSERT_GE(row, 0);
  list.Select(row);
  Click(w.limit);
  const HWND dialog = WaitForDialog(app);
  ASSERT_TRUE(dialog);
  (void)::PostMessageW(w.main, WM_CLOSE, 0, 0);
  DWORD exitCode = 1;
  EXPECT_TRUE(app.WaitForExit(std::chrono::seconds(15), &exitCode));
  EXPECT_EQ(exitCode, 0u);
}

// A burner limited from the CPU panel gets its share of one core (read from /proc) until
// "Release", and runs freely once the program has ended through the tray menu's "Exit".
// The dialog's answer lands on the burner's row although another row is selected by then.
TEST(CpuLimitTest, ABurnerIsHeldToItsLimitUntilReleasedAndRunsFreelyAfterExit) {
  if (!testing_support::UnderWine()) GTEST_SKIP() << testing_support::kNeedsLinuxProc;
  Burner burner;
  ASSERT_NE(burner.UnixPid(), 0u);
  AppFolder folder;
  AppProcess app(folder.Exe());
  CpuPanelWindows w;
  ASSERT_TRUE(FindCpuPanel(app, w));
  RemoteListView list(w.list, app.Id());
  ASSERT_TRUE(list.Ready());
  ASSERT_TRUE(RefreshUntilListed(w, list, burner.Id()));
  // What a burner gets unlimited right now, with others perhaps busy on the machine. A limit
  // lets it run only its share of each period, so its share can never be above the limit
  // however busy the machine is; it only reaches the limit when the machine is quiet.
  const double free = burner.Share(2s);
  ASSERT_GT(free, 20.0);
  const bool quiet = free > 80.0;
  // Room above a limit for the scheduler's rounding of each period.
  constexpr double kSlack = 10.0;

  list.Select(RowOf(list, burner.Id()));
  Click(w.limit);
  HWND dialog = WaitForDialog(app);
  ASSERT_TRUE(dialog);
  Slide(dialog, 30);
  list.Select(RowOf(list, app.Id()));  // the selection moves while the dialog is open
  ASSERT_TRUE(Answer(dialog, L"OK"));
  EXPECT_EQ(list.Text(RowOf(list, burner.Id()), kColumnLimited), L"30%")
      << "burner " << burner.Id() << ", count " << WindowText(w.count) << ", rows "
      << LimitedRows(list);
  EXPECT_EQ(list.Text(RowOf(list, app.Id()), kColumnLimited), L"");
  EXPECT_TRUE(WaitFor([&] { return WindowText(w.count) == L"1"; }, 5s));
  const double limited = burner.Share(4s);
  EXPECT_LE(limited, 30.0 + kSlack);
  if (quiet) {
    EXPECT_GE(limited, 20.0);
  }

  list.Select(RowOf(list, burner.Id()));
  Click(w.limit);
  ASSERT_TRUE(dialog = WaitForDialog(app));
  ASSERT_TRUE(Answer(dialog, L"Release"));
  EXPECT_EQ(list.Text(RowOf(list, burner.Id()), kColumnLimited), L"");
  EXPECT_TRUE(WaitFor([&] { return WindowText(w.count) == L"0"; }, 5s));
  // Running freely: well above what the limit gave, and near what it got before.
  EXPECT_GT(burner.Share(2s), std::max(free * 0.5, limited * 1.5));

  Click(w.limit);
  ASSERT_TRUE(dialog = WaitForDialog(app));
  Slide(dialog, 10);
  ASSERT_TRUE(Answer(dialog, L"OK"));
  EXPECT_EQ(list.Text(RowOf(list, burner.Id()), kColumnLimited), L"10%");
  const double limitedAgain = burner.Share(2s);
  EXPECT_LE(limitedAgain, 10.0 + kSlack);

  // "Exit" from the tray menu: the icon's right click opens it, the keys choose its last item.
  constexpr UINT kTrayCallbackMessage = 2025;
  (void)::PostMessageW(w.main, kTrayCallbackMessage, 0, WM_RBUTTONDOWN);
  HWND menuForm = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    menuForm = app.FindTopLevel(L"FormMenu");
    return menuForm && app.FindTopLevel(L"#32768");
  }));
  (void)::PostMessageW(menuForm, WM_KEYDOWN, VK_UP, 0);
  (void)::PostMessageW(menuForm, WM_KEYDOWN, VK_RETURN, 0);
  DWORD exitCode = 1;
  ASSERT_TRUE(app.WaitForExit(15s, &exitCode));
  EXPECT_EQ(exitCode, 0u);
  // Unlimited: more than the 10 % limit could ever let it have, and near what it got before.
  EXPECT_GT(burner.Share(2s), std::max(free * 0.5, 10.0 + kSlack));
  if (!quiet) std::printf("shares checked against a free share of %.0f %% only\n", free);
}

}  // namespace
}  // namespace quorvant::e2e
