#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/win32/unique_handle.h"
#include "shell/core/tray_hook.h"
#include "tests/e2e/app_driver.h"
#include "tests/e2e/titled_windows_driver.h"

namespace quorvant::e2e {
namespace {

using namespace std::chrono_literals;
using win32::unique_handle;

const wchar_t* ClassName(int priorityClass) {
  switch (priorityClass) {
    case IDLE_PRIORITY_CLASS:
      return L"Idle";
    case BELOW_NORMAL_PRIORITY_CLASS:
      return L"Below Normal";
    case NORMAL_PRIORITY_CLASS:
      return L"Normal";
    case ABOVE_NORMAL_PRIORITY_CLASS:
      return L"Above Normal";
    case HIGH_PRIORITY_CLASS:
      return L"High";
    case REALTIME_PRIORITY_CLASS:
      return L"Realtime";
    default:
      return L"unreadable";
  }
}

TEST(BoosterEndToEndTest, RaisesTheFrontProcessShowsItAndGivesEveryClassBack) {
  AppFolder folder;
  folder.WriteConfig(L"Process", L"EnableImproveProcess", L"1");
  folder.WriteConfig(L"Process", L"ImproveSpeed", L"High");
  AppProcess app(folder.Exe());
  HWND main = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (main = app.MainWindow()) != nullptr; }));
  app.WaitForIdle();
  const unique_handle quorvant(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, app.Id()));
  ASSERT_TRUE(quorvant) << "OpenProcess: " << ::GetLastError();

  // Alpha runs at Below Normal, as a backup or an indexer might, and lives on without its
  // window as programs that close to the tray do. Bravo has two windows.
  TitledWindows alpha({L"Alpha window"}, BELOW_NORMAL_PRIORITY_CLASS, true);
  TitledWindows bravo({L"Bravo – ü window", L"Charlie window"}, NORMAL_PRIORITY_CLASS);
  ASSERT_NE(alpha.Hwnd(), nullptr);
  ASSERT_NE(bravo.Hwnd(0), nullptr);
  ASSERT_NE(bravo.Hwnd(1), nullptr);
  ASSERT_EQ(alpha.PriorityClass(), BELOW_NORMAL_PRIORITY_CLASS);
  ASSERT_EQ(bravo.PriorityClass(), NORMAL_PRIORITY_CLASS);

  // Every process at the class it should have, read from this process.
  struct Classes {
    int alpha;
    int bravo;
    int quorvant;
  };
  auto classesNow = [&] {
    return Classes{alpha.PriorityClass(), bravo.PriorityClass(),
                   static_cast<int>(::GetPriorityClass(quorvant.get()))};
  };
  auto are = [&](Classes want) {
    const Classes now = classesNow();
    return now.alpha == want.alpha && now.bravo == want.bravo && now.quorvant == want.quorvant;
  };
  auto shown = [&] {
    const Classes now = classesNow();
    return testing::Message() << "now alpha " << ClassName(now.alpha) << ", bravo "
                              << ClassName(now.bravo) << ", quorvant " << ClassName(now.quorvant);
  };
  constexpr int kBelow = BELOW_NORMAL_PRIORITY_CLASS;
  constexpr int kNormal = NORMAL_PRIORITY_CLASS;
  constexpr int kHigh = HIGH_PRIORITY_CLASS;

  // The program's own process, raised while its window was in front, goes back like any other.
  ASSERT_TRUE(alpha.BringToFront());
  EXPECT_TRUE(WaitFor([&] { return are({kHigh, kNormal, kNormal}); })) << shown();

  ASSERT_TRUE(bravo.BringToFront(0));
  EXPECT_TRUE(WaitFor([&] {
    return are({kBelow, kHigh, kNormal});
  })) << "Alpha goes back to its own Below Normal, not to Normal; "
      << shown();

  // The process panel is the one that holds the booster's check box.
  HWND box = FindDescendantByText(main, L"Enable speed up process");
  ASSERT_NE(box, nullptr);
  HWND panel = ::GetParent(box);
  EXPECT_NE(::FindWindowExW(panel, nullptr, L"Static", L"Bravo – ü window"), nullptr)
      << "current target";

  HWND list = ::FindWindowExW(panel, nullptr, WC_LISTVIEWW, nullptr);
  ASSERT_NE(list, nullptr);
  RemoteListView log(list, app.Id());
  ASSERT_TRUE(log.Ready());
  const int rows = log.Count();
  // Earlier rows may hold whatever was in front before the test's windows.
  ASSERT_GE(rows, 2);
  for (int row = 0; row < rows; ++row) {
    EXPECT_EQ(log.Text(row, 0), L" " + std::to_wstring(row + 1));
    EXPECT_FALSE(log.Text(row, 1).empty());
    EXPECT_EQ(log.Text(row, 3), L"High");
  }
  EXPECT_EQ(log.Text(rows - 2, 2), L"Alpha window");
  EXPECT_EQ(log.Text(rows - 1, 2), L"Bravo – ü window");
  // The count beside "Speed up count:" is the number of rows.
  EXPECT_NE(::FindWindowExW(panel, nullptr, L"Static", std::to_wstring(rows).c_str()), nullptr);

  // The status panel, the one that holds the graph, shows the target and a High figure.
  HWND status = FindStatusPanel(main);
  ASSERT_NE(status, nullptr);
  EXPECT_NE(::FindWindowExW(status, nullptr, L"Static", L"Bravo – ü window"), nullptr);
  int highFigures = 0;
  for (int figure = 12; figure <= 18; ++figure) {
    const std::wstring text = std::to_wstring(figure) + L"%";
    highFigures += ::FindWindowExW(status, nullptr, L"Static", text.c_str()) != nullptr;
  }
  EXPECT_EQ(highFigures, 1) << "\"Whole system faster:\" reads 12% to 18% after a High boost";

  // Alpha raised again, then its window closed while its process runs on: the next target
  // still gives Alpha its class back, though no window of it is left to go through.
  ASSERT_TRUE(alpha.BringToFront());
  EXPECT_TRUE(WaitFor([&] { return are({kHigh, kNormal, kNormal}); })) << shown();
  ASSERT_TRUE(alpha.Close());
  ASSERT_TRUE(alpha.Running());
  ASSERT_TRUE(bravo.BringToFront(0));
  EXPECT_TRUE(WaitFor([&] { return are({kBelow, kHigh, kNormal}); })) << shown();

  // Switched off: Bravo is back at once, in the click; what the panels show stays.
  (void)::SendMessageW(box, BM_CLICK, 0, 0);
  ASSERT_EQ(::SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_TRUE(are({kBelow, kNormal, kNormal})) << shown();
  EXPECT_NE(::FindWindowExW(panel, nullptr, L"Static", L"Bravo – ü window"), nullptr);
  EXPECT_NE(::FindWindowExW(status, nullptr, L"Static", L"Bravo – ü window"), nullptr);

  // On again, the next target that comes to the front is raised.
  (void)::SendMessageW(box, BM_CLICK, 0, 0);
  ASSERT_EQ(::SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
  ASSERT_TRUE(bravo.BringToFront(1));
  EXPECT_TRUE(WaitFor([&] { return are({kBelow, kHigh, kNormal}); })) << shown();
  EXPECT_TRUE(WaitFor(
      [&] { return ::FindWindowExW(panel, nullptr, L"Static", L"Charlie window") != nullptr; }));

  // "Exit" from the tray menu, chosen with the keyboard as a user could.
  ASSERT_TRUE(::PostMessageW(main, shell::kTrayCallbackMessage, 0, shell::kMouseRightDown))
      << "PostMessageW: " << ::GetLastError();
  HWND menuForm = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    menuForm = app.FindTopLevel(L"FormMenu");
    return menuForm && app.FindTopLevel(L"#32768") &&
           ::IsWindowVisible(app.FindTopLevel(L"#32768"));
  }));
  // Up from no selection is the last item, "Exit".
  (void)::PostMessageW(menuForm, WM_KEYDOWN, VK_UP, 0);
  (void)::PostMessageW(menuForm, WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_TRUE(app.WaitForExit(20s));
  EXPECT_EQ(bravo.PriorityClass(), kNormal) << "nothing the program raised outlives it";
  EXPECT_EQ(alpha.PriorityClass(), kBelow);
}

// Started hidden in the tray, the program still boosts and still releases memory on its own;
// what only shows on screen waits until the window is back, and is current then.
TEST(TrayResidentEndToEndTest, BoostsAndReleasesWhileHiddenAndIsCurrentWhenShown) {
  constexpr UINT kTrayCallbackMessage = 2025;
  AppFolder folder;
  folder.WriteConfig(L"Setting", L"Automin", L"1");
  folder.WriteConfig(L"Process", L"EnableImproveProcess", L"1");
  folder.WriteConfig(L"Process", L"ImproveSpeed", L"High");
  folder.WriteConfig(L"Memory", L"EnableFreeMemory", L"1");
  folder.WriteConfig(L"Memory", L"AutoFreeMemoryInterval", L"1 minute");
  AppProcess app(folder.Exe());
  HWND main = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (main = app.MainWindow()) != nullptr; }));
  app.WaitForIdle();
  ASSERT_FALSE(::IsWindowVisible(main));

  TitledWindows alpha({L"Alpha window"}, NORMAL_PRIORITY_CLASS);
  TitledWindows bravo({L"Bravo window"}, NORMAL_PRIORITY_CLASS);
  ASSERT_TRUE(alpha.BringToFront());
  EXPECT_TRUE(WaitFor([&] { return alpha.PriorityClass() == HIGH_PRIORITY_CLASS; }));
  ASSERT_TRUE(bravo.BringToFront());
  EXPECT_TRUE(WaitFor([&] { return bravo.PriorityClass() == HIGH_PRIORITY_CLASS; }));
  EXPECT_TRUE(WaitFor([&] { return alpha.PriorityClass() == NORMAL_PRIORITY_CLASS; }));

  // No interval chosen releases at every tick, which keeps the test short. A user cannot
  // clear a drop-down list; the list is told so and its panel hears of it as of a choice.
  HWND box = FindDescendantByText(main, L"Automatically release memory");
  ASSERT_NE(box, nullptr);
  HWND memoryPanel = ::GetParent(box);
  HWND interval = ::FindWindowExW(memoryPanel, nullptr, WC_COMBOBOXW, nullptr);
  ASSERT_NE(interval, nullptr);
  (void)::SendMessageW(interval, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  (void)::SendMessageW(memoryPanel, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(interval), CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(interval));
  HWND list = ::FindWindowExW(memoryPanel, nullptr, WC_LISTVIEWW, nullptr);
  ASSERT_NE(list, nullptr);
  RemoteListView log(list, app.Id());
  ASSERT_TRUE(log.Ready());
  EXPECT_TRUE(WaitFor([&] { return log.Count() >= 2; }, std::chrono::seconds(15)));
  const std::wstring suffix = L" MB memory released.";
  for (int row = 0; row < std::min(log.Count(), 2); ++row) {
    EXPECT_EQ(log.Text(row, 0), std::to_wstring(row + 1));
    const std::wstring event = log.Text(row, 2);
    EXPECT_TRUE(event.size() > suffix.size() &&
                event.compare(event.size() - suffix.size(), suffix.size(), suffix) == 0)
        << std::string(event.begin(), event.end());
  }

  // Never shown: the clock and the memory readout still hold their design texts.
  HWND status = FindStatusPanel(main);
  ASSERT_NE(status, nullptr);
  ASSERT_FALSE(::IsWindowVisible(main));
  EXPECT_NE(::FindWindowExW(status, nullptr, L"Static", L"time"), nullptr);
  EXPECT_NE(FindDescendantByText(memoryPanel, L"0 MB"), nullptr);

  // The icon's double click: by the time it has been handled, the figures of the panel on
  // screen (the status panel) are current; the memory panel's wait until it is selected, and
  // are current once it shows.
  (void)::SendMessageW(main, kTrayCallbackMessage, 0, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(::IsWindowVisible(main));
  ASSERT_TRUE(::IsWindowVisible(status));
  EXPECT_EQ(::FindWindowExW(status, nullptr, L"Static", L"time"), nullptr);
  EXPECT_NE(FindDescendantByText(memoryPanel, L"0 MB"), nullptr);
  ASSERT_EQ(SelectPanel(main, L"3 - Speed up memory"), memoryPanel);
  EXPECT_EQ(FindDescendantByText(memoryPanel, L"0 MB"), nullptr);
}

}  // namespace
}  // namespace quorvant::e2e
