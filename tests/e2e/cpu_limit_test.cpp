#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/app_driver.h"

namespace quorvant::e2e {
namespace {

// Control ids of the CPU panel, as the program gives them.
constexpr int kIdList = 2001;
constexpr int kIdLimitedCount = 2004;
constexpr int kColumnPid = 1;
constexpr int kColumnLimited = 3;

// A process that waits for input that never comes, until it is ended.
class ChildProcess {
 public:
  ChildProcess() {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE read = nullptr;
    if (!::CreatePipe(&read, &input_, &inherit, 0)) return;
    (void)::SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = read;
    std::wstring command = L"cmd.exe /k";
    wchar_t system[MAX_PATH]{};
    (void)::GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring exe = std::wstring(system) + L"\\cmd.exe";
    (void)::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                           nullptr, nullptr, &startup, &info_);
    (void)::CloseHandle(read);
  }
  ~ChildProcess() {
    if (info_.hProcess) {
      (void)::TerminateProcess(info_.hProcess, 0);
      (void)::WaitForSingleObject(info_.hProcess, 10000);
      (void)::CloseHandle(info_.hProcess);
      (void)::CloseHandle(info_.hThread);
    }
    if (input_) (void)::CloseHandle(input_);
  }
  DWORD Id() const { return info_.dwProcessId; }

 private:
  HANDLE input_ = nullptr;
  PROCESS_INFORMATION info_{};
};

// The program's process list seen from outside. Messages that carry pointers are not
// carried across processes, so their items and texts live in the program's memory.
class RemoteList {
 public:
  RemoteList(HWND list, DWORD processId) : list_(list) {
    process_ =
        ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (process_) {
      memory_ =
          ::VirtualAllocEx(process_, nullptr, kSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
  }
  ~RemoteList() {
    if (memory_) (void)::VirtualFreeEx(process_, memory_, 0, MEM_RELEASE);
    if (process_) (void)::CloseHandle(process_);
  }
  bool Ready() const { return memory_ != nullptr; }
  int Count() const { return static_cast<int>(::SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0)); }
  std::wstring Text(int row, int column) const {
    LVITEMW item{};
    item.iSubItem = column;
    item.cchTextMax = kTextChars;
    item.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(memory_) + sizeof(LVITEMW));
    if (!Write(item)) return L"(unreadable)";
    const auto length =
        ::SendMessageW(list_, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(memory_));
    std::wstring text(static_cast<size_t>(length), L'\0');
    SIZE_T read = 0;
    if (length > 0 && !::ReadProcessMemory(process_, item.pszText, text.data(),
                                           text.size() * sizeof(wchar_t), &read)) {
      return L"(unreadable)";
    }
    return text;
  }
  int RowOf(DWORD id) const {
    for (int row = 0, n = Count(); row < n; ++row) {
      if (Text(row, kColumnPid) == std::to_wstring(id)) return row;
    }
    return -1;
  }
  void Select(int row) const {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    if (Write(item)) {
      (void)::SendMessageW(list_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(memory_));
    }
  }

 private:
  static constexpr int kTextChars = 512;
  static constexpr SIZE_T kSize = sizeof(LVITEMW) + kTextChars * sizeof(wchar_t);
  bool Write(const LVITEMW& item) const {
    SIZE_T written = 0;
    return ::WriteProcessMemory(process_, memory_, &item, sizeof(item), &written) != FALSE;
  }

  HWND list_;
  HANDLE process_ = nullptr;
  void* memory_ = nullptr;
};

HWND FindById(HWND parent, int id) {
  struct Search {
    int id;
    HWND found;
  } search{id, nullptr};
  (void)::EnumChildWindows(
      parent,
      [](HWND child, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if (::GetDlgCtrlID(child) != s->id) return TRUE;
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A click as the mouse gives it, posted so that a dialog it opens does not block the test.
void Click(HWND button) {
  (void)::PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  (void)::PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

// A click that returns once the program has handled it.
void SendClick(HWND button) {
  for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP}) {
    (void)::SendMessageTimeoutW(button, message, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0,
                                MAKELPARAM(5, 5), SMTO_BLOCK, 20000, nullptr);
  }
}

// The CPU panel's controls in the program's main window, once start-up has shown it.
struct CpuPanelWindows {
  HWND main = nullptr;
  HWND list = nullptr;
  HWND count = nullptr;
  HWND refresh = nullptr;
  HWND limit = nullptr;
};
bool FindCpuPanel(const AppProcess& app, CpuPanelWindows& w) {
  // The window is shown once the start-up, and with it the first list, is complete.
  return WaitFor(
      [&] {
        w.main = app.MainWindow();
        if (!w.main || !::IsWindowVisible(w.main) || !(w.list = FindById(w.main, kIdList))) {
          return false;
        }
        const HWND panel = ::GetParent(w.list);
        w.count = FindById(panel, kIdLimitedCount);
        w.refresh = FindDescendantByText(panel, L"Refresh");
        w.limit = FindDescendantByText(panel, L"Limit");
        return w.count && w.refresh && w.limit;
      },
      std::chrono::seconds(20));
}

TEST(CpuLimitTest, RefreshShowsANewProcessAndOkMarksItsRowAndTheCount) {
  AppFolder folder;
  AppProcess app(folder.Exe());
  CpuPanelWindows w;
  ASSERT_TRUE(FindCpuPanel(app, w));
  const HWND main = w.main, listWindow = w.list, count = w.count, refresh = w.refresh,
             limit = w.limit;
  EXPECT_EQ(WindowText(count), L"0");
  RemoteList list(listWindow, app.Id());
  ASSERT_TRUE(list.Ready());
  EXPECT_GE(list.RowOf(app.Id()), 0);  // built at start-up

  ChildProcess child;
  ASSERT_NE(child.Id(), 0u);
  EXPECT_EQ(list.RowOf(child.Id()), -1);
  // The new process appears once "Refresh" is clicked (its modules may take a moment).
  ASSERT_TRUE(WaitFor([&] {
    SendClick(refresh);
    return list.RowOf(child.Id()) >= 0;
  }));

  list.Select(list.RowOf(child.Id()));
  Click(limit);
  HWND dialog = nullptr;
  ASSERT_TRUE(
      WaitFor([&] { return (dialog = app.FindTopLevel(L"FormSetProcessCpuPercent")) != nullptr; }));
  EXPECT_EQ(WindowText(dialog), L"Limit process CPU usage");
  EXPECT_TRUE(FindDescendantByText(dialog, std::to_wstring(child.Id())));
  EXPECT_TRUE(FindDescendantByText(dialog, L"99"));
  EXPECT_FALSE(::IsWindowEnabled(main));
  const HWND ok = FindDescendantByText(dialog, L"OK");
  ASSERT_TRUE(ok);
  Click(ok);
  ASSERT_TRUE(WaitFor([&] { return !::IsWindow(dialog); }));
  EXPECT_TRUE(::IsWindowEnabled(main));

  EXPECT_EQ(list.Text(list.RowOf(child.Id()), kColumnLimited), L"99%");
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
  RemoteList list(w.list, app.Id());
  ASSERT_TRUE(list.Ready());
  const int row = list.RowOf(app.Id());
  ASSERT_GE(row, 0);
  list.Select(row);
  Click(w.limit);
  HWND dialog = nullptr;
  ASSERT_TRUE(
      WaitFor([&] { return (dialog = app.FindTopLevel(L"FormSetProcessCpuPercent")) != nullptr; }));
  (void)::PostMessageW(w.main, WM_CLOSE, 0, 0);
  DWORD exitCode = 1;
  EXPECT_TRUE(app.WaitForExit(std::chrono::seconds(15), &exitCode));
  EXPECT_EQ(exitCode, 0u);
}

}  // namespace
}  // namespace quorvant::e2e
