#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cwchar>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/win32/font_cache.h"
#include "common/win32/panel.h"
#include "engine/win32/memory_reading.h"
#include "engine/win32/memory_release_walk.h"
#include "engine/win32/processes.h"
#include "shell/win32/memory_panel.h"
#include "tests/win32/support/message_pump.h"

namespace quorvant::win32 {
namespace {

using test_support::PumpMessages;
using test_support::PumpUntil;

constexpr std::uint64_t kMiB = 1048576;

std::wstring WindowText(HWND hwnd) {
  wchar_t text[256] = {};
  (void)::GetWindowTextW(hwnd, text, 256);
  return text;
}

// A message box seen and closed by MessageCloser, with what the program looked like then.
struct SeenMessage {
  std::wstring title;
  std::wstring text;
  HWND owner = nullptr;
  bool ownerDisabled = false;
  int logRowsWhileOpen = -1;
  int timerTicksWhileOpen = 0;
};

// Closes every message box of this thread soon after it opens, noting what it showed. A
// thread timer does the work, so it runs inside the message box's own modal loop.
class MessageCloser {
 public:
  explicit MessageCloser(std::function<int()> logRows) : logRows_(std::move(logRows)) {
    current_ = this;
    timer_ = ::SetTimer(nullptr, 0, 30, &MessageCloser::OnTimer);
  }
  ~MessageCloser() {
    (void)::KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  const std::vector<SeenMessage>& Seen() const { return seen_; }
  // A timer procedure that counts its ticks while a message is open.
  static void CALLBACK CountingTick(HWND, UINT, UINT_PTR, DWORD) {
    if (current_ && current_->open_) ++current_->open_->timerTicksWhileOpen;
  }

 private:
  static BOOL CALLBACK FindDialog(HWND hwnd, LPARAM found) {
    wchar_t name[16] = {};
    (void)::GetClassNameW(hwnd, name, 16);
    if (std::wstring(name) == L"#32770" && ::IsWindowVisible(hwnd)) {
      *reinterpret_cast<HWND*>(found) = hwnd;
      return FALSE;
    }
    return TRUE;
  }
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (current_) current_->Poll();
  }
  void Poll() {
    HWND dialog = nullptr;
    (void)::EnumThreadWindows(::GetCurrentThreadId(), &FindDialog,
                              reinterpret_cast<LPARAM>(&dialog));
    if (!dialog) return;
    if (!open_) {
      // Let the program's timers tick a few times while it is open before closing it.
      open_ = SeenMessage{};
      open_->title = WindowText(dialog);
      open_->text = WindowText(::GetDlgItem(dialog, 0xFFFF));
      open_->owner = ::GetWindow(dialog, GW_OWNER);
      open_->ownerDisabled = open_->owner && !::IsWindowEnabled(open_->owner);
      open_->logRowsWhileOpen = logRows_();
      openedAt_ = ::GetTickCount64();
      return;
    }
    if (::GetTickCount64() - openedAt_ < 200) return;
    seen_.push_back(*open_);
    open_.reset();
    (void)::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  }

  static inline MessageCloser* current_ = nullptr;
  std::function<int()> logRows_;
  UINT_PTR timer_ = 0;
  std::optional<SeenMessage> open_;
  ULONGLONG openedAt_ = 0;
  std::vector<SeenMessage> seen_;
};

// A reading that plays a script of used megabytes out of 4 GiB, then repeats the last.
class ScriptedReading : public engine::MemoryReading {
 public:
  std::vector<std::int32_t> usedMb;
  size_t next = 0;
  engine::MemoryStatus Read() override {
    const std::int32_t used = usedMb.empty() ? 0 : usedMb[std::min(next++, usedMb.size() - 1)];
    return {4096 * kMiB, static_cast<std::uint64_t>(4096 - used) * kMiB};
  }
};

// The real walk with something done before it starts (inside the release).
class WalkWithPrelude : public engine::TrimmingWalk {
 public:
  std::function<void()> prelude;
  int walks = 0;
  void TrimAll() override {
    ++walks;
    if (auto run = std::exchange(prelude, nullptr)) run();
    DoAllMiniUseMemory();
  }
};

// A hidden top-level window holding the memory panel, reading the settings it is given.
class MemoryPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &MemoryPanelTest::FormProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuorvantMemoryTestForm";
    (void)::RegisterClassExW(&wc);
    form_ = ::CreateWindowExW(WS_EX_CONTROLPARENT, wc.lpszClassName, L"memory", WS_OVERLAPPEDWINDOW,
                              40, 40, 520, 420, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(form_, nullptr) << "CreateWindowExW: " << ::GetLastError();
    ASSERT_TRUE(panel_.Create(form_, 0, 0, 489, 377));
  }
  void TearDown() override {
    memory_.reset();
    if (form_) (void)::DestroyWindow(form_);
  }

  static LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
  }

  void CreatePanel(engine::MemoryReading& reading, engine::TrimmingWalk& walk) {
    memory_ = std::make_unique<MemoryPanel>(reading, walk);
    ASSERT_TRUE(memory_->Create(panel_, form_, fonts_, settings_));
  }
  int LogRows() const { return memory_->ListViewMemoryLog().Count(); }
  std::vector<std::wstring> Row(int row) const {
    const ListView log = memory_->ListViewMemoryLog();
    return {log.Text(row, 0), log.Text(row, 1), log.Text(row, 2)};
  }
  void Click(bool post = false) {
    HWND button = memory_->CommandFreeMemory().Hwnd();
    auto send = post ? &::PostMessageW : [](HWND h, UINT m, WPARAM w, LPARAM l) {
      return static_cast<BOOL>(::SendMessageW(h, m, w, l));
    };
    (void)send(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    (void)send(button, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  }

  HWND form_ = nullptr;
  Panel panel_;
  FontCache fonts_;
  shell::SettingsState settings_;
  std::unique_ptr<MemoryPanel> memory_;
};

TEST_F(MemoryPanelTest, StatusBlockShowsTheSystemsOwnFigures) {
  SystemMemoryReading reading;
  ProcessTrimmingWalk walk;
  CreatePanel(reading, walk);
  EXPECT_EQ(memory_->LabelMemoryUsedPercent().Text(), L"30%") << "design caption before a tick";

  // Memory moves under us: compare against readings taken on both sides of the refresh.
  bool compared = false;
  for (int attempt = 0; attempt < 50 && !compared; ++attempt) {
    MEMORYSTATUSEX before{};
    before.dwLength = sizeof(before);
    ASSERT_TRUE(::GlobalMemoryStatusEx(&before)) << "GlobalMemoryStatusEx: " << ::GetLastError();
    const engine::MemoryFigures figures = memory_->ShowMemoryState();
    MEMORYSTATUSEX after{};
    after.dwLength = sizeof(after);
    ASSERT_TRUE(::GlobalMemoryStatusEx(&after)) << "GlobalMemoryStatusEx: " << ::GetLastError();
    const engine::MemoryFigures system =
        engine::FiguresOf({before.ullTotalPhys, before.ullAvailPhys});
    if (system != engine::FiguresOf({after.ullTotalPhys, after.ullAvailPhys})) continue;
    compared = true;
    EXPECT_EQ(figures, system);
    EXPECT_EQ(figures.all, static_cast<std::int32_t>(before.ullTotalPhys / kMiB));
    // What a screen reader reads is the control's own window text.
    const engine::MemoryStateTexts texts = engine::TextsOf(system);
    EXPECT_EQ(WindowText(memory_->LabelMemoryAll().Hwnd()), texts.all);
    EXPECT_EQ(WindowText(memory_->LabelMemoryUsed().Hwnd()), texts.used);
    EXPECT_EQ(WindowText(memory_->LabelMemoryLeft().Hwnd()), texts.left);
    EXPECT_EQ(WindowText(memory_->LabelMemoryUsedPercent().Hwnd()), texts.usedRate);
    EXPECT_EQ(GetUsedMemoryMB(), system.used);
  }
  EXPECT_TRUE(compared) << "memory never held still for one refresh";
}

TEST_F(MemoryPanelTest, LogIsAReportListWithItsThreeColumns) {
  SystemMemoryReading reading;
  ProcessTrimmingWalk walk;
  CreatePanel(reading, walk);
  HWND list = memory_->ListViewMemoryLog().Hwnd();
  EXPECT_EQ(::GetWindowLongW(list, GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
  const std::pair<const wchar_t*, int> columns[] = {{L"NO.", 40}, {L"Time", 96}, {L"Event", 240}};
  for (int i = 0; i < 3; ++i) {
    wchar_t title[32] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = title;
    column.cchTextMax = 32;
    ASSERT_TRUE(::SendMessageW(list, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column))) << i;
    EXPECT_STREQ(title, columns[i].first);
    EXPECT_EQ(column.cx, columns[i].second);
  }
  EXPECT_EQ(LogRows(), 0);
  EXPECT_EQ(WindowText(memory_->CommandFreeMemory().Hwnd()), L"Release memory now");
}

TEST_F(MemoryPanelTest, ClickShowsTheFigureAndLogsItOnlyOnceTheMessageIsClosed) {
  ScriptedReading reading;
  reading.usedMb = {1500, 1200};
  WalkWithPrelude walk;
  CreatePanel(reading, walk);
  MessageCloser closer([this] { return LogRows(); });
  // A timer of the program's own that must keep ticking while the message is open.
  (void)::SetTimer(form_, 7, 20, &MessageCloser::CountingTick);

  Click();
  (void)::KillTimer(form_, 7);

  ASSERT_EQ(closer.Seen().size(), 1u);
  const SeenMessage& seen = closer.Seen()[0];
  EXPECT_EQ(seen.text, L"Success! 300 MB memory released.");
  EXPECT_EQ(seen.title, L"Quorvant");
  EXPECT_EQ(seen.owner, form_);
  EXPECT_TRUE(seen.ownerDisabled) << "modal to the main window";
  EXPECT_EQ(seen.logRowsWhileOpen, 0);
  EXPECT_GT(seen.timerTicksWhileOpen, 0) << "timers run while the message is open";
  ASSERT_EQ(LogRows(), 1);
  const auto row = Row(0);
  EXPECT_EQ(row[0], L"1");
  EXPECT_FALSE(row[1].empty()) << "the time of day";
  EXPECT_EQ(row[2], L"300 MB memory released.");
  EXPECT_EQ(walk.walks, 1);
}

TEST_F(MemoryPanelTest, AutomaticReleaseLogsWithoutAMessageAndOnlyWhenTicked) {
  ScriptedReading reading;
  reading.usedMb = {1000, 1003};
  WalkWithPrelude walk;
  CreatePanel(reading, walk);
  MessageCloser closer([this] { return LogRows(); });
  // No interval chosen: every tick is due, but only a ticked box releases.
  memory_->TimerMemoryTick();
  EXPECT_EQ(walk.walks, 0);
  settings_.autoFreeMemory = 1;
  memory_->TimerMemoryTick();
  EXPECT_EQ(walk.walks, 1);
  ASSERT_EQ(LogRows(), 1);
  EXPECT_EQ(Row(0)[2], L"-3 MB memory released.");
  // Give a stray message box the time to be seen.
  (void)PumpUntil([] { return false; }, std::chrono::milliseconds(150));
  EXPECT_TRUE(closer.Seen().empty());
  // "1 minute": the count restarted at 1, so nothing is due for 58 more ticks.
  settings_.freeMemoryInterval = L"1 minute";
  for (int i = 0; i < 58; ++i) memory_->TimerMemoryTick();
  EXPECT_EQ(walk.walks, 1);
  memory_->TimerMemoryTick();
  EXPECT_EQ(walk.walks, 2);
  EXPECT_EQ(Row(1)[0], L"2");
}

TEST_F(MemoryPanelTest, ClickDuringAnAutomaticReleaseRunsItsOwnReleaseAndBothAreLogged) {
  ScriptedReading reading;
  // Outer before, inner before, inner after, outer after.
  reading.usedMb = {2000, 1900, 1850, 1700};
  WalkWithPrelude walk;
  CreatePanel(reading, walk);
  MessageCloser closer([this] { return LogRows(); });
  // The click arrives while the walk lets the window handle its events.
  walk.prelude = [this] { Click(true); };
  settings_.autoFreeMemory = 1;
  memory_->TimerMemoryTick();

  EXPECT_EQ(walk.walks, 2);
  ASSERT_EQ(closer.Seen().size(), 1u);
  EXPECT_EQ(closer.Seen()[0].text, L"Success! 50 MB memory released.");
  EXPECT_EQ(closer.Seen()[0].logRowsWhileOpen, 0);
  ASSERT_EQ(LogRows(), 2);
  EXPECT_EQ(Row(0)[0], L"1");
  EXPECT_EQ(Row(0)[2], L"50 MB memory released.");
  EXPECT_EQ(Row(1)[0], L"2");
  EXPECT_EQ(Row(1)[2], L"300 MB memory released.");
}

TEST_F(MemoryPanelTest, WindowClosedDuringAReleaseEndsItWithoutAMessage) {
  ScriptedReading reading;
  reading.usedMb = {1500, 1200};
  WalkWithPrelude walk;
  CreatePanel(reading, walk);
  MessageCloser closer([] { return -1; });
  // "Exit" from the tray menu can run between two processes of the walk.
  walk.prelude = [this] { (void)::DestroyWindow(form_); };
  Click();
  EXPECT_EQ(walk.walks, 1);
  EXPECT_FALSE(::IsWindow(form_));
  (void)PumpUntil([] { return false; }, std::chrono::milliseconds(150));
  EXPECT_TRUE(closer.Seen().empty()) << "no message without its window";
  EXPECT_EQ(memory_->ListViewMemoryLog().Count(), 0);
}

// A child process of our own, suspended so it stays put until the test ends it.
class ChildProcess {
 public:
  ChildProcess() {
    wchar_t command[MAX_PATH + 16] = {};
    wchar_t system[MAX_PATH] = {};
    (void)::GetSystemDirectoryW(system, MAX_PATH);
    (void)swprintf(command, std::size(command), L"\"%ls\\cmd.exe\"", system);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    started_ = ::CreateProcessW(nullptr, command, nullptr, nullptr, FALSE,
                                CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                                &info_) != FALSE;
  }
  ~ChildProcess() { End(); }
  bool Started() const { return started_; }
  std::uint32_t Id() const { return info_.dwProcessId; }
  void End() {
    if (!started_) return;
    (void)::TerminateProcess(info_.hProcess, 0);
    (void)::WaitForSingleObject(info_.hProcess, 5000);
    (void)::CloseHandle(info_.hThread);
    (void)::CloseHandle(info_.hProcess);
    started_ = false;
  }

 private:
  PROCESS_INFORMATION info_{};
  bool started_ = false;
};

TEST(MemoryReleaseWalkTest, TrimRequestsAreAcceptedAndTheWalkHandlesWaitingEvents) {
  ChildProcess child;
  ASSERT_TRUE(child.Started());
  bool listed = false;
  ASSERT_TRUE(
      ForEachProcess([&](const ProcessEntry& e) { listed = listed || e.id == child.Id(); }));
  EXPECT_TRUE(listed);
  EXPECT_TRUE(MiniUseMemory(child.Id())) << "the system accepts trimming our own child";
  EXPECT_TRUE(MiniUseMemory(::GetCurrentProcessId()));
  EXPECT_FALSE(MiniUseMemory(0)) << "the idle process cannot be opened";

  // Events posted before the walk are handled during it, between processes.
  constexpr UINT kProbe = WM_APP + 5;
  ASSERT_TRUE(::PostThreadMessageW(::GetCurrentThreadId(), kProbe, 0, 0))
      << "PostThreadMessageW: " << ::GetLastError();
  DoAllMiniUseMemory();
  MSG msg;
  EXPECT_FALSE(::PeekMessageW(&msg, nullptr, kProbe, kProbe, PM_NOREMOVE))
      << "the walk handled the waiting event";

  // A walk after the child has ended passes it over.
  child.End();
  DoAllMiniUseMemory();
}

}  // namespace
}  // namespace quorvant::win32
