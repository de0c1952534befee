#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/e2e/app_driver.h"

namespace quorvant::e2e {
namespace {

using namespace std::chrono_literals;

HWND FindChildOfClass(HWND parent, const wchar_t* className) {
  struct Search {
    const wchar_t* className;
    HWND found;
  } search{className, nullptr};
  ::EnumChildWindows(
      parent,
      [](HWND child, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        wchar_t name[64] = {};
        (void)::GetClassNameW(child, name, 64);
        if (std::wstring(name) == s->className) {
          s->found = child;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string Text(const std::vector<int>& figures) {
  std::string all;
  for (const int figure : figures) all += std::to_string(figure) + "% ";
  return all;
}

TEST(MemoryReleaseEndToEnd, ClickShowsTheFigureAndLogsTheSameFigureOnceTheMessageIsClosed) {
  AppFolder folder;
  AppProcess app(folder.Exe());
  HWND main = nullptr;
  HWND button = nullptr;
  HWND list = nullptr;
  // The memory panel's controls come right after the first frame; wait for them, not for
  // the window. The log is the list on the button's panel; other panels have lists of their own.
  ASSERT_TRUE(WaitFor([&] {
    main = app.MainWindow();
    button = main ? FindDescendantByText(main, L"Release memory now") : nullptr;
    list = button ? FindChildOfClass(::GetParent(button), WC_LISTVIEWW) : nullptr;
    return list != nullptr;
  }));
  app.WaitForIdle();
  RemoteListView log(list, app.Id());
  ASSERT_TRUE(log.Ready());
  EXPECT_EQ(log.Count(), 0);

  // Only the panel on screen has its figures written: the memory panel's readout keeps its
  // design captions of "0 MB" until the panel is selected, and is current once it shows.
  HWND memory = ::GetParent(button);
  EXPECT_NE(FindDescendantByText(memory, L"0 MB"), nullptr) << "written while not shown";
  ASSERT_EQ(SelectPanel(main, L"3 - Speed up memory"), memory);
  EXPECT_EQ(FindDescendantByText(memory, L"0 MB"), nullptr);

  // The status panel's "Memory usage:" shows the memory panel's used rate. Each panel reads
  // the machine's memory when it is selected, and another program's memory may come and go
  // between the two: they agree within a point once it holds still over a round.
  auto percents = [](HWND panel) {
    std::vector<int> figures;
    for (HWND c = nullptr; (c = ::FindWindowExW(panel, c, L"Static", nullptr)) != nullptr;) {
      const std::wstring text = WindowText(c);
      if (!text.empty() && text.back() == L'%') figures.push_back(std::stoi(text));
    }
    return figures;
  };
  HWND status = FindStatusPanel(main);
  ASSERT_NE(status, nullptr);
  std::vector<int> usedRate, onStatus;
  EXPECT_TRUE(WaitFor(
      [&] {
        if (SelectPanel(main, L"3 - Speed up memory") != memory) return false;
        usedRate = percents(memory);
        if (SelectPanel(main, L"Status") != status) return false;
        // "Whole system faster:" comes first, "Memory usage:" last.
        onStatus = percents(status);
        return usedRate.size() == 1 && onStatus.size() == 2 && usedRate[0] > 0 &&
               std::abs(onStatus[1] - usedRate[0]) <= 1;
      },
      30s))
      << "memory panel " << Text(usedRate) << ", status panel " << Text(onStatus);
  // The button is pressed where a user sees it.
  ASSERT_EQ(SelectPanel(main, L"3 - Speed up memory"), memory);

  // A click as the mouse gives it; posted, since the release waits on its message.
  ASSERT_TRUE(::PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10)))
      << "PostMessageW: " << ::GetLastError();
  ASSERT_TRUE(::PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(10, 10)))
      << "PostMessageW: " << ::GetLastError();
  HWND message = nullptr;
  ASSERT_TRUE(WaitFor(
      [&] { return (message = app.FindTopLevel(L"#32770", L"Quorvant")) != nullptr; }, 30s));
  ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(message) != FALSE; }));
  const std::wstring text = WindowText(::GetDlgItem(message, 0xFFFF));
  const std::wstring prefix = L"Success! ", suffix = L" MB memory released.";
  ASSERT_GT(text.size(), prefix.size() + suffix.size()) << std::string(text.begin(), text.end());
  ASSERT_EQ(text.substr(0, prefix.size()), prefix);
  ASSERT_EQ(text.substr(text.size() - suffix.size()), suffix);
  const std::wstring figure =
      text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
  EXPECT_EQ(std::to_wstring(std::stoi(figure)), figure) << "a plain signed decimal";
  EXPECT_EQ(::GetWindow(message, GW_OWNER), main) << "modal to the main window";
  EXPECT_FALSE(::IsWindowEnabled(main));

  // No row is logged while the message is open. There is no event to wait for here: the
  // program's own loop answering shows it is running, then a wrong order gets time to show.
  DWORD_PTR ignored = 0;
  EXPECT_TRUE(::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &ignored));
  ::Sleep(300);
  EXPECT_EQ(log.Count(), 0);

  ASSERT_TRUE(::PostMessageW(message, WM_COMMAND, IDOK, 0)) << "PostMessageW: " << ::GetLastError();
  ASSERT_TRUE(WaitFor([&] { return log.Count() == 1; }));
  EXPECT_EQ(log.Text(0, 0), L"1");
  EXPECT_FALSE(log.Text(0, 1).empty());
  EXPECT_EQ(log.Text(0, 2), figure + suffix);
  EXPECT_TRUE(::IsWindowEnabled(main));
}

}  // namespace
}  // namespace quorvant::e2e
