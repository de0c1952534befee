#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/app_driver.h"

namespace quorvant::e2e {
namespace {

using namespace std::chrono_literals;

constexpr UINT kBringToFrontMessage = WM_APP + 1;  // titled_windows.exe's request

std::wstring BinFolder() {
  wchar_t path[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring s(path, n);
  return s.substr(0, s.find_last_of(L'\\'));
}

// titled_windows.exe showing one window with the given title, in a process of its own.
class TitledWindow {
 public:
  explicit TitledWindow(const std::wstring& title) : title_(title) {
    const std::wstring exe = BinFolder() + L"\\titled_windows.exe";
    std::wstring commandLine = L"\"" + exe + L"\" \"" + title + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    (void)::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &info_);
    (void)WaitFor([&] { return (hwnd_ = FindOwn()) != nullptr; });
  }
  ~TitledWindow() {
    if (info_.hProcess) {
      (void)::TerminateProcess(info_.hProcess, 0);
      (void)::WaitForSingleObject(info_.hProcess, 5000);
      (void)::CloseHandle(info_.hProcess);
    }
    if (info_.hThread) (void)::CloseHandle(info_.hThread);
  }
  TitledWindow(const TitledWindow&) = delete;
  TitledWindow& operator=(const TitledWindow&) = delete;

  HWND Hwnd() const { return hwnd_; }
  DWORD ProcessId() const { return info_.dwProcessId; }
  int PriorityClass() const { return static_cast<int>(::GetPriorityClass(info_.hProcess)); }
  // Only the window's own process may bring it to the front without a window manager.
  bool BringToFront() const {
    DWORD_PTR inFront = 0;
    (void)::SendMessageTimeoutW(hwnd_, kBringToFrontMessage, 0, 0, SMTO_BLOCK, 5000, &inFront);
    return inFront == 1 && ::GetForegroundWindow() == hwnd_;
  }

 private:
  HWND FindOwn() const {
    HWND candidate = nullptr;
    while ((candidate = ::FindWindowExW(nullptr, candidate, L"QuorvantTitledWindow",
                                        title_.c_str())) != nullptr) {
      DWORD pid = 0;
      (void)::GetWindowThreadProcessId(candidate, &pid);
      if (pid == info_.dwProcessId) return candidate;
    }
    return nullptr;
  }

  std::wstring title_;
  PROCESS_INFORMATION info_{};
  HWND hwnd_ = nullptr;
};

// Alpha, then Bravo to the front: each gets High as it comes, Alpha goes back to Normal.
void SwitchFromAlphaToBravo(const TitledWindow& alpha, const TitledWindow& bravo) {
  ASSERT_NE(alpha.Hwnd(), nullptr);
  ASSERT_NE(bravo.Hwnd(), nullptr);
  ASSERT_EQ(alpha.PriorityClass(), NORMAL_PRIORITY_CLASS);
  ASSERT_EQ(bravo.PriorityClass(), NORMAL_PRIORITY_CLASS);

  ASSERT_TRUE(alpha.BringToFront());
  EXPECT_TRUE(WaitFor([&] { return alpha.PriorityClass() == HIGH_PRIORITY_CLASS; }));
  EXPECT_EQ(bravo.PriorityClass(), NORMAL_PRIORITY_CLASS);

  ASSERT_TRUE(bravo.BringToFront());
  EXPECT_TRUE(WaitFor([&] { return bravo.PriorityClass() == HIGH_PRIORITY_CLASS; }));
  EXPECT_TRUE(WaitFor([&] { return alpha.PriorityClass() == NORMAL_PRIORITY_CLASS; }));
}

TEST(BoosterEndToEndTest, FrontWindowGetsTheChosenClassAndThePreviousOneGoesBackToNormal) {
  AppFolder folder;
  folder.WriteConfig(L"Process", L"EnableImproveProcess", L"1");
  folder.WriteConfig(L"Process", L"ImproveSpeed", L"High");
  AppProcess app(folder.Exe());
  HWND main = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (main = app.MainWindow()) != nullptr; }));
  app.WaitForIdle();

  TitledWindow alpha(L"Alpha window");
  TitledWindow bravo(L"Bravo – ü window");
  SwitchFromAlphaToBravo(alpha, bravo);
  if (HasFatalFailure()) return;

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

  TitledWindow alpha(L"Alpha window");
  TitledWindow bravo(L"Bravo window");
  SwitchFromAlphaToBravo(alpha, bravo);
  if (HasFatalFailure()) return;

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

  // The icon's double click: by the time it has been handled, the figures are current.
  (void)::SendMessageW(main, kTrayCallbackMessage, 0, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(::IsWindowVisible(main));
  EXPECT_EQ(::FindWindowExW(status, nullptr, L"Static", L"time"), nullptr);
  EXPECT_EQ(FindDescendantByText(memoryPanel, L"0 MB"), nullptr);
}

}  // namespace
}  // namespace quorvant::e2e
