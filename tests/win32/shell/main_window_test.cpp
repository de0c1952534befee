#include <windows.h>

#include <oleacc.h>
#include <shellapi.h>  // after windows.h, which it needs

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/limit_slots.h"
#include "engine/core/memory_state.h"
#include "engine/win32/time_of_day.h"
#include "shell/core/skin_access.h"
#include "shell/core/tray_hook.h"
#include "shell/core/tray_menu.h"
#include "shell/win32/ini_settings_store.h"
#include "shell/win32/main_window.h"
#include "tests/support/tray_probe.h"
#include "tests/win32/support/message_pump.h"

namespace quorvant::win32 {
namespace {

using testing_support::TrayIconExists;
using namespace std::chrono_literals;
using test_support::PumpMessages;
using test_support::PumpUntil;

// A memory status the test sets by hand.
struct FakeMemoryReading : engine::MemoryReading {
  engine::MemoryStatus status{8ull << 30, 4ull << 30};
  engine::MemoryStatus Read() override { return status; }
};

// The real main window, created in this process with the program's resources.
class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    (void)::DeleteFileW(ConfigFilePath().c_str());
    form_ = std::make_unique<FormQuorvant>(&memory_);
    ASSERT_TRUE(form_->Create(::GetModuleHandleW(nullptr)));
    hwnd_ = form_->Hwnd();
    PumpMessages();
  }
  void TearDown() override {
    if (form_ && form_->Hwnd()) form_->ExitProgram();
    PumpMessages();
    form_.reset();
    (void)::DeleteFileW(ConfigFilePath().c_str());
  }

  bool PanelShown(shell::Entry entry) const {
    // Panels are the main window's children, created in entry order.
    HWND panel = ::FindWindowExW(hwnd_, nullptr, Panel::kClassName, nullptr);
    for (int i = 0; panel && i < static_cast<int>(entry); ++i) {
      panel = ::FindWindowExW(hwnd_, panel, Panel::kClassName, nullptr);
    }
    return panel && ::IsWindowVisible(panel);
  }

  // Opens the tray menu as a right click on the icon does, and closes it at once.
  void OpenAndDismissMenu() { (void)IconEventOpensMenu(WM_RBUTTONDOWN); }

  // The icon reports event as the shell does: the event in lParam's low word, the icon's id
  // (0) in its high word, the anchor point in wParam. When the event opens the tray menu,
  // the menu is looked at and closed; true when it opened, with its place in menuRect_.
  bool IconEventOpensMenu(UINT event, POINT anchor = {}) {
    menuSeen_ = false;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR id, DWORD) {
      (void)::KillTimer(nullptr, id);
      menuSeen_ = true;
      (void)::GetWindowRect(::FindWindowW(L"#32768", nullptr), &menuRect_);
      (void)::EndMenu();
    });
    (void)::SendMessageW(hwnd_, shell::kTrayCallbackMessage,
                         MAKEWPARAM(static_cast<WORD>(anchor.x), static_cast<WORD>(anchor.y)),
                         MAKELPARAM(event, 0));
    (void)::KillTimer(nullptr, timer);
    return menuSeen_;
  }
  static inline bool menuSeen_ = false;
  static inline RECT menuRect_{};

  // The figures that only show on screen: the memory readout of both panels, the clock and
  // the limited count of both panels.
  std::vector<std::wstring> ScreenFigures() const {
    return {
        form_->Memory().LabelMemoryUsed().Text(), form_->Memory().LabelMemoryUsedPercent().Text(),
        form_->Status().MemoryLabel().Text(),     form_->Status().TimeLabel().Text(),
        form_->Status().LimitedLabel().Text(),    form_->Cpu().LimitedCountLabel().Text()};
  }
  // Whether the main window still waits for its first paint since it came back.
  bool PaintPending() const { return ::GetUpdateRect(hwnd_, nullptr, FALSE) != FALSE; }

  FakeMemoryReading memory_;
  std::unique_ptr<FormQuorvant> form_;
  HWND hwnd_ = nullptr;
};

TEST_F(MainWindowTest, HearsTheIconInItsOwnProcedureWithTheIconAdded) {
  // No subclass: the icon's events are cases of the window's own message switch.
  EXPECT_EQ(::GetWindowLongPtrW(hwnd_, GWLP_WNDPROC), ::GetClassLongPtrW(hwnd_, GCLP_WNDPROC));
  EXPECT_TRUE(TrayIconExists(hwnd_));
  EXPECT_EQ(form_->SelectedEntry(), shell::Entry::State);
  EXPECT_TRUE(PanelShown(shell::Entry::State));
  // Any other message is handled as before the icon was added.
  (void)::SendMessageW(hwnd_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"probe"));
  wchar_t text[16] = {};
  (void)::GetWindowTextW(hwnd_, text, 16);
  EXPECT_STREQ(text, L"probe");
}

TEST_F(MainWindowTest, DoubleClickOnTheIconBringsTheHiddenWindowBackOnItsPanel) {
  form_->SelectEntry(shell::Entry::Memory);
  (void)::ShowWindow(hwnd_, SW_HIDE);
  EXPECT_EQ(::SendMessageW(hwnd_, shell::kTrayCallbackMessage, 0, WM_LBUTTONDBLCLK), 0);
  EXPECT_TRUE(::IsWindowVisible(hwnd_));
  EXPECT_EQ(form_->SelectedEntry(), shell::Entry::Memory);
  EXPECT_TRUE(PanelShown(shell::Entry::Memory));
  EXPECT_FALSE(PanelShown(shell::Entry::State));
}

TEST_F(MainWindowTest, DoubleClickLeavesAMinimisedWindowMinimised) {
  (void)::SendMessageW(hwnd_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(::IsIconic(hwnd_));
  (void)::SendMessageW(hwnd_, shell::kTrayCallbackMessage, 0, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(::IsIconic(hwnd_));
}

TEST_F(MainWindowTest, TaskbarCreatedPutsTheIconBack) {
  NOTIFYICONDATAW data{};
  data.cbSize = NOTIFYICONDATAW_V1_SIZE;
  data.hWnd = hwnd_;
  ASSERT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &data));
  ASSERT_FALSE(TrayIconExists(hwnd_));
  const UINT taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
  ASSERT_NE(taskbarCreated, 0u) << ::GetLastError();
  EXPECT_EQ(::SendMessageW(hwnd_, taskbarCreated, 0, 0), 0);
  EXPECT_TRUE(TrayIconExists(hwnd_));
}

TEST_F(MainWindowTest, MenuPanelItemsShowTheWindowOnTheirPanel) {
  OpenAndDismissMenu();
  HWND menu = form_->MenuWindow();
  ASSERT_NE(menu, nullptr) << "the first right click creates the menu form";
  EXPECT_FALSE(::IsWindowVisible(menu));
  EXPECT_EQ(::GetMenuItemCount(::GetSubMenu(::GetMenu(menu), 0)), -1) << "no menu bar";

  for (size_t i = 0; i < shell::kTrayMenu.size(); ++i) {
    const auto& menuItem = shell::kTrayMenu[i];
    if (!menuItem.entry) continue;
    SCOPED_TRACE(std::string(menuItem.caption.begin(), menuItem.caption.end()));
    (void)::ShowWindow(hwnd_, SW_HIDE);
    (void)::SendMessageW(menu, WM_COMMAND, FormMenu::kFirstCommand + i, 0);
    EXPECT_TRUE(::IsWindowVisible(hwnd_));
    EXPECT_EQ(form_->SelectedEntry(), *menuItem.entry);
    EXPECT_TRUE(PanelShown(*menuItem.entry));
  }
}

TEST_F(MainWindowTest, TheIconChosenWithTheKeyboardOpensTheWindowWithItsPanelFocused) {
  form_->SelectEntry(shell::Entry::Process);
  HWND process = ::FindWindowExW(hwnd_, nullptr, Panel::kClassName, nullptr);
  process = ::FindWindowExW(hwnd_, process, Panel::kClassName, nullptr);
  const HWND firstControl = ::FindWindowExW(process, nullptr, nullptr, L"Enable speed up process");
  ASSERT_NE(firstControl, nullptr);
  // Space or Enter on an icon reached with the keyboard, and Enter on one the mouse chose.
  for (const UINT event : {UINT{NIN_KEYSELECT}, UINT{NIN_SELECT}}) {
    SCOPED_TRACE(event);
    (void)::ShowWindow(hwnd_, SW_HIDE);
    (void)::SetFocus(nullptr);
    EXPECT_FALSE(IconEventOpensMenu(event));
    EXPECT_TRUE(::IsWindowVisible(hwnd_));
    EXPECT_EQ(form_->SelectedEntry(), shell::Entry::Process);
    EXPECT_EQ(::GetFocus(), firstControl) << "the visible panel's first control";
  }
  // A single left click: the shell follows the release with its own NIN_SELECT.
  (void)::ShowWindow(hwnd_, SW_HIDE);
  for (const UINT event : {UINT{WM_LBUTTONDOWN}, UINT{WM_LBUTTONUP}, UINT{NIN_SELECT}}) {
    EXPECT_FALSE(IconEventOpensMenu(event));
  }
  EXPECT_FALSE(::IsWindowVisible(hwnd_)) << "a single click does nothing";
}

TEST_F(MainWindowTest, TheKeyboardOpensTheMenuAtTheIconAndARightClickOpensItOnce) {
  ASSERT_TRUE(IconEventOpensMenu(WM_CONTEXTMENU, {300, 200}));
  const bool atAnchorX = menuRect_.left == 300 || menuRect_.right == 300;
  const bool atAnchorY = menuRect_.top == 200 || menuRect_.bottom == 200;
  EXPECT_TRUE(atAnchorX && atAnchorY) << "the menu at " << menuRect_.left << ", " << menuRect_.top;
  // The shell follows the right button's release with WM_CONTEXTMENU; the press has already
  // opened the menu.
  EXPECT_TRUE(IconEventOpensMenu(WM_RBUTTONDOWN));
  EXPECT_FALSE(IconEventOpensMenu(WM_RBUTTONUP));
  EXPECT_FALSE(IconEventOpensMenu(WM_CONTEXTMENU));
  // Shift+F10 afterwards is the keyboard's again.
  EXPECT_TRUE(IconEventOpensMenu(WM_CONTEXTMENU, {300, 200}));
}

TEST_F(MainWindowTest, ExitRemovesTheIconUnhooksAndClosesEverything) {
  OpenAndDismissMenu();
  HWND menu = form_->MenuWindow();
  ASSERT_NE(menu, nullptr);
  const size_t exitIndex = shell::kTrayMenu.size() - 1;
  ASSERT_EQ(shell::kTrayMenu[exitIndex].item, shell::MenuItem::Exit);
  (void)::SendMessageW(menu, WM_COMMAND, FormMenu::kFirstCommand + exitIndex, 0);
  EXPECT_FALSE(::IsWindow(hwnd_));
  EXPECT_FALSE(::IsWindow(menu));
  EXPECT_FALSE(TrayIconExists(hwnd_));
  MSG quit{};
  EXPECT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the loop ends";
}

// Hidden or minimised, the window leaves its on-screen figures alone; brought back, it shows
// them current before anything is painted.
TEST_F(MainWindowTest, FiguresWaitWhileHiddenAndAreCurrentBeforeTheFirstPaint) {
  // Processes that need not exist: the table is changed directly, nothing is applied.
  static constexpr ProcessIdentity kLimitedPids[] = {{4242, 1}, {4243, 1}};
  LimitSlotTable& limits = form_->Effects().Limits();
  struct ReleaseSlots {
    LimitSlotTable& limits;
    ~ReleaseSlots() {
      for (const auto& pid : kLimitedPids) (void)limits.Release(pid);
    }
  } releaseSlots{limits};
  ASSERT_TRUE(PumpUntil([&] { return form_->Status().MemoryLabel().Text() == L"50%"; }, 2s));
  ASSERT_TRUE(form_->Shown());

  const struct {
    const char* name;
    std::function<void()> goAway;
    std::function<void()> comeBack;
  } ways[] = {
      {"hidden, back by the tray icon's double click", [&] { (void)::ShowWindow(hwnd_, SW_HIDE); },
       [&] { (void)::SendMessageW(hwnd_, shell::kTrayCallbackMessage, 0, WM_LBUTTONDBLCLK); }},
      {"minimised, restored", [&] { (void)::SendMessageW(hwnd_, WM_SYSCOMMAND, SC_MINIMIZE, 0); },
       [&] { (void)::SendMessageW(hwnd_, WM_SYSCOMMAND, SC_RESTORE, 0); }},
  };
  std::uint64_t availableGiB = 4;
  const ProcessIdentity* limitedPid = kLimitedPids;
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    way.goAway();
    EXPECT_FALSE(form_->Shown());
    EXPECT_TRUE(form_->Status().Monitor()->Paused());
    const std::vector<std::wstring> before = ScreenFigures();
    const int historyStart = form_->Status().Monitor()->Control().History().HistoryStart();

    // What the figures stand for changes: less memory left, one more limit held.
    availableGiB -= 2;
    memory_.status.availableBytes = availableGiB << 30;
    ASSERT_TRUE(limits.Take(*limitedPid++, L"c:\\test.exe", 50));
    const std::wstring limited = std::to_wstring(limits.CountInUse());
    // Many readout periods, and more than a second of the clock, the count and the graph.
    const auto until = std::chrono::steady_clock::now() + 1200ms;
    while (std::chrono::steady_clock::now() < until) {
      PumpMessages();
      ASSERT_EQ(ScreenFigures(), before) << "nothing on screen is worked on while away";
      ::Sleep(5);
    }
    EXPECT_EQ(form_->Status().Monitor()->Control().History().HistoryStart(), historyStart);

    const std::wstring timeBefore = TimeOfDayText();
    way.comeBack();
    const std::wstring timeAfter = TimeOfDayText();
    // No message has been pumped since: the window has not painted yet.
    ASSERT_TRUE(::IsWindowVisible(hwnd_) && !::IsIconic(hwnd_));
    EXPECT_TRUE(PaintPending());
    const std::wstring used = std::to_wstring((8 - availableGiB) * 1024) + L" MB";
    const std::wstring rate = availableGiB == 2 ? L"75%" : L"100%";
    EXPECT_EQ(form_->Status().MemoryLabel().Text(), rate);
    // The memory panel is not on screen: its figures wait until it is selected.
    EXPECT_EQ(form_->Memory().LabelMemoryUsed().Text(), before[0]);
    const std::wstring time = form_->Status().TimeLabel().Text();
    EXPECT_TRUE(time == timeBefore || time == timeAfter) << "the clock reads now";
    EXPECT_EQ(form_->Status().LimitedLabel().Text(), limited);
    EXPECT_EQ(form_->Cpu().LimitedCountLabel().Text(), limited);
    // The graph moved on by the seconds it missed, and samples again.
    EXPECT_FALSE(form_->Status().Monitor()->Paused());
    EXPECT_LE(form_->Status().Monitor()->Control().History().HistoryStart(), historyStart - 1);
    EXPECT_TRUE(form_->Shown());
    PumpMessages();
    form_->SelectEntry(shell::Entry::Memory);
    EXPECT_EQ(form_->Memory().LabelMemoryUsed().Text(), used);
    EXPECT_EQ(form_->Memory().LabelMemoryUsedPercent().Text(), rate);
    form_->SelectEntry(shell::Entry::State);
  }
}

// Shown, only the panel on screen has its figures written; the one selected next is current
// before it paints.
TEST_F(MainWindowTest, OnlyThePanelOnScreenHasItsFiguresWritten) {
  ASSERT_TRUE(PumpUntil([&] { return form_->Status().MemoryLabel().Text() == L"50%"; }, 2s));
  ASSERT_TRUE(form_->Shown());
  form_->SelectEntry(shell::Entry::CPU);
  PumpMessages();
  const std::wstring memoryText = form_->Memory().LabelMemoryUsed().Text();
  const std::wstring statusMemory = form_->Status().MemoryLabel().Text();
  const std::wstring statusTime = form_->Status().TimeLabel().Text();
  CpuMonitorWindow* graph = form_->Status().Monitor();
  ASSERT_NE(graph, nullptr);
  const int historyStart = graph->Control().History().HistoryStart();
  memory_.status.availableBytes = 2ull << 30;
  // Many readout periods and more than a second of the clock: neither hidden panel changes.
  const auto until = std::chrono::steady_clock::now() + 1200ms;
  while (std::chrono::steady_clock::now() < until) {
    PumpMessages();
    ASSERT_EQ(form_->Status().MemoryLabel().Text(), statusMemory);
    ASSERT_EQ(form_->Status().TimeLabel().Text(), statusTime);
    ASSERT_EQ(form_->Memory().LabelMemoryUsed().Text(), memoryText);
    ::Sleep(5);
  }
  // The graph's history runs on behind the other panel; only its drawing waits.
  EXPECT_TRUE(graph->Control().DrawingHeld());
  EXPECT_TRUE(
      PumpUntil([&] { return graph->Control().History().HistoryStart() < historyStart; }, 5s));

  const std::wstring timeBefore = TimeOfDayText();
  form_->SelectEntry(shell::Entry::State);
  const std::wstring timeAfter = TimeOfDayText();
  EXPECT_FALSE(graph->Control().DrawingHeld());
  EXPECT_EQ(form_->Status().MemoryLabel().Text(), L"75%");
  const std::wstring time = form_->Status().TimeLabel().Text();
  EXPECT_TRUE(time == timeBefore || time == timeAfter) << "the clock reads now";
  EXPECT_EQ(form_->Memory().LabelMemoryUsed().Text(), memoryText);
  // Shown again, the status panel's figures follow the machine: its timers run again.
  memory_.status.availableBytes = 1ull << 30;
  EXPECT_TRUE(PumpUntil([&] { return form_->Status().MemoryLabel().Text() == L"88%"; }, 2s));
  EXPECT_TRUE(PumpUntil([&] { return form_->Status().TimeLabel().Text() != time; }, 3s));
  form_->SelectEntry(shell::Entry::Memory);
  EXPECT_EQ(form_->Memory().LabelMemoryUsed().Text(), L"7168 MB");
  EXPECT_EQ(form_->Memory().LabelMemoryUsedPercent().Text(), L"88%");
}

// The first frame holds current figures though the panels not shown at start come after it,
// from the message loop; started in the tray, the window stays hidden and still gets its
// icon and every panel.
// Events of the window's own client object, caught in this process: under Wine a hook in
// another process hears nothing.
std::vector<std::pair<DWORD, LONG>>* g_clientEvents = nullptr;
HWND g_eventWindow = nullptr;

TEST_F(MainWindowTest, AReaderHearsThePanelChangeAndFindsTheShownTabSelected) {
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::vector<std::pair<DWORD, LONG>> events;
  g_clientEvents = &events;
  g_eventWindow = hwnd_;
  const HWINEVENTHOOK hook = ::SetWinEventHook(
      EVENT_OBJECT_SELECTION, EVENT_OBJECT_STATECHANGE, nullptr,
      [](HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
        if (g_clientEvents && hwnd == g_eventWindow && object == OBJID_CLIENT) {
          g_clientEvents->push_back({event, child});
        }
      },
      ::GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  ASSERT_NE(hook, nullptr) << "SetWinEventHook: " << ::GetLastError();

  form_->SelectEntry(shell::Entry::Memory);
  // The memory tab, named in events by the client object's id for a deeper part.
  const LONG memoryTab = 0x10000 + shell::kFirstEntryNode + static_cast<int>(shell::Entry::Memory);
  const auto heard = [&](DWORD event) {
    return std::find(events.begin(), events.end(), std::make_pair(event, memoryTab)) !=
           events.end();
  };
  EXPECT_TRUE(PumpUntil([&] { return heard(EVENT_OBJECT_SELECTION); }, 3000ms));
  EXPECT_TRUE(heard(EVENT_OBJECT_STATECHANGE));
  (void)::UnhookWinEvent(hook);
  g_clientEvents = nullptr;

  IAccessible* client = nullptr;
  ASSERT_EQ(::AccessibleObjectFromWindow(hwnd_, static_cast<DWORD>(OBJID_CLIENT),
                                         __uuidof(IAccessible), reinterpret_cast<void**>(&client)),
            S_OK);
  long count = 0;
  EXPECT_EQ(client->get_accChildCount(&count), S_OK);
  EXPECT_EQ(count, 3 + shell::kEntryCount) << "tab list, two title buttons, six panels";
  VARIANT first;
  ::VariantInit(&first);
  first.vt = VT_I4;
  first.lVal = 1;
  IDispatch* dispatch = nullptr;
  ASSERT_EQ(client->get_accChild(first, &dispatch), S_OK);
  IAccessible* tabs = nullptr;
  ASSERT_EQ(dispatch->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&tabs)), S_OK);
  VARIANT selection;
  ::VariantInit(&selection);
  EXPECT_EQ(tabs->get_accSelection(&selection), S_OK);
  EXPECT_EQ(selection.vt, VT_I4);
  EXPECT_EQ(selection.lVal, 1 + static_cast<int>(shell::Entry::Memory));
  tabs->Release();
  dispatch->Release();
  client->Release();
  if (SUCCEEDED(com)) ::CoUninitialize();
}

TEST(MainWindowStartTest, TheFirstFrameIsCurrentAndTheRestFollowsShownOrInTheTray) {
  for (const bool inTray : {false, true}) {
    SCOPED_TRACE(inTray ? "Automin" : "shown");
    (void)::DeleteFileW(ConfigFilePath().c_str());
    if (inTray) {
      ASSERT_TRUE(
          ::WritePrivateProfileStringW(L"Setting", L"Automin", L"1", ConfigFilePath().c_str()));
    }
    FakeMemoryReading memory;
    memory.status.availableBytes = 6ull << 30;  // a quarter of 8 GB used
    auto form = std::make_unique<FormQuorvant>(&memory);
    const std::wstring timeBefore = TimeOfDayText();
    ASSERT_TRUE(form->Create(::GetModuleHandleW(nullptr)));
    const std::wstring timeAfter = TimeOfDayText();
    const HWND hwnd = form->Hwnd();

    // No message pumped yet.
    EXPECT_EQ(::IsWindowVisible(hwnd) != FALSE, !inTray);
    if (!inTray) {
      EXPECT_EQ(::GetUpdateRect(hwnd, nullptr, FALSE), FALSE) << "painted";
      EXPECT_EQ(form->Status().MemoryLabel().Text(), L"25%");
      const std::wstring time = form->Status().TimeLabel().Text();
      EXPECT_TRUE(time == timeBefore || time == timeAfter) << "the clock reads now";
    }

    PumpMessages();
    EXPECT_TRUE(TrayIconExists(hwnd));
    // The panels built after the first frame show current figures as soon as they are
    // selected, not at their first timer tick; in the tray, the readout waits for the window.
    EXPECT_EQ(form->Memory().LabelMemoryUsed().Text(), L"0 MB") << "written while not shown";
    form->SelectEntry(shell::Entry::Memory);
    EXPECT_EQ(form->Memory().LabelMemoryUsed().Text(), inTray ? L"0 MB" : L"2048 MB");
    EXPECT_GT(form->Cpu().List().Count(), 0) << "the process list is built";
    EXPECT_EQ(form->Shown(), !inTray);

    form->ExitProgram();
    PumpMessages();
    form.reset();
  }
  (void)::DeleteFileW(ConfigFilePath().c_str());
}

}  // namespace
}  // namespace quorvant::win32
