#include "common/win32/dialog_keys.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "common/win32/font_cache.h"
#include "common/win32/link_label.h"
#include "common/win32/pending_events.h"
#include "engine/core/limit_slots.h"
#include "shell/win32/limit_dialog.h"
#include "engine/win32/processes.h"
#include "tests/win32/support/accepting_throttle.h"
#include "tests/win32/support/message_pump.h"

namespace quorvant::win32 {
namespace {

using test_support::PumpMessages;

// A plain top-level window of this thread; shown when a test needs it active.
class TestWindow {
 public:
  explicit TestWindow(bool shown = false) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuorvantDialogKeysTestWindow";
    (void)::RegisterClassExW(&wc);
    hwnd_ = ::CreateWindowExW(0, wc.lpszClassName, L"keys",
                              WS_POPUP | WS_CAPTION | (shown ? WS_VISIBLE : 0), 60, 60, 300, 200,
                              nullptr, nullptr, wc.hInstance, nullptr);
    if (shown) (void)::SetForegroundWindow(hwnd_);
    PumpMessages();
  }
  ~TestWindow() { (void)::DestroyWindow(hwnd_); }
  HWND Hwnd() const { return hwnd_; }

 private:
  HWND hwnd_ = nullptr;
};

// What a timer inside a modal loop does: the test's step, and a way out if the step failed.
struct ModalScript {
  static inline std::function<void()> step;
  static inline std::function<void()> rescue;
  static inline bool rescued = false;

  static void CALLBACK Step(HWND, UINT, UINT_PTR id, DWORD) {
    (void)::KillTimer(nullptr, id);
    if (step) step();
  }
  static void CALLBACK Rescue(HWND, UINT, UINT_PTR id, DWORD) {
    (void)::KillTimer(nullptr, id);
    rescued = true;
    if (rescue) rescue();
  }
  // Arms both timers; the modal loop that runs next fires them.
  static void Arm(std::function<void()> onStep, std::function<void()> onRescue) {
    step = std::move(onStep);
    rescue = std::move(onRescue);
    rescued = false;
    stepTimer = ::SetTimer(nullptr, 0, 100, Step);
    rescueTimer = ::SetTimer(nullptr, 0, 5000, Rescue);
  }
  static void Disarm() {
    (void)::KillTimer(nullptr, stepTimer);
    (void)::KillTimer(nullptr, rescueTimer);
    step = nullptr;
    rescue = nullptr;
  }
  static inline UINT_PTR stepTimer = 0;
  static inline UINT_PTR rescueTimer = 0;
};

// A key pressed while a walk (the memory release, the count of the limits) is taking the
// waiting messages inside a modal window's own loop: the walk's pending-events loop must hand
// it to that window's dialog handling, or the key is lost.
void PressDuringWalk(WPARAM key) {
  (void)::PostMessageW(::GetFocus(), WM_KEYDOWN, key, 1);
  ProcessPendingEvents();
}

TEST(DialogKeysTest, EnterDuringAWalkClosesAMessageBox) {
  TestWindow owner;
  ModalScript::Arm([] { PressDuringWalk(VK_RETURN); },
                   [] { (void)::PostMessageW(::GetActiveWindow(), WM_COMMAND, IDCANCEL, 0); });
  const int answer = ::MessageBoxW(owner.Hwnd(), L"Success! 0 MB memory released.", L"Quorvant",
                                   MB_OK | MB_ICONINFORMATION);
  ModalScript::Disarm();
  EXPECT_FALSE(ModalScript::rescued) << "Enter was lost";
  EXPECT_EQ(answer, IDOK);
}

TEST(DialogKeysTest, EnterAndEscDuringAWalkReachTheLimitDialog) {
  struct Case {
    WPARAM key;
    bool limitSet;
    std::wstring row;
  };
  const Case cases[] = {
      {VK_RETURN, true, L"99%"},  // "OK" in the new-limit mode
      {VK_ESCAPE, false, L"(untouched)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    TestWindow owner;
    FontCache fonts;
    LimitSlotTable table;
    EffectLedger ledger;
    test_support::AcceptingThrottle throttle;
    engine::CpuLimits limits(table, ledger, throttle);
    std::wstring row = L"(untouched)";
    FormSetProcessCpuPercent dialog(
        limits, fonts, [&](const engine::LimitTarget&, const engine::LimitOutcome& outcome) {
          row = outcome.rowText;
        });
    // This process stands for the row's; the throttle touches none.
    FormSetProcessCpuPercent::Setup setup;
    setup.pidText = std::to_wstring(::GetCurrentProcessId());
    setup.target = {*IdentityOfId(::GetCurrentProcessId()), L"notepad.exe",
                    L"c:\\windows\\notepad.exe"};
    ASSERT_TRUE(dialog.Create(owner.Hwnd(), std::move(setup)));
    const HWND window = dialog.Hwnd();
    ModalScript::Arm([&] { PressDuringWalk(c.key); },
                     [window] { (void)::PostMessageW(window, WM_CLOSE, 0, 0); });
    dialog.ShowModal();
    ModalScript::Disarm();
    EXPECT_FALSE(ModalScript::rescued) << "the key was lost";
    EXPECT_EQ(table.CountInUse(), c.limitSet ? 1 : 0);
    EXPECT_EQ(row, c.row);
  }
}

// The key preview's message is registered session-wide, so anyone can send it, with any
// lParam: sent from another thread (or posted), it is not acted on and nothing is read
// through it, whether it points to a real Enter, nowhere, or at a stray address.
TEST(DialogKeysTest, AKeyPreviewFromAnotherThreadIsIgnored) {
  TestWindow owner;
  FontCache fonts;
  LimitSlotTable table;
  EffectLedger ledger;
  test_support::AcceptingThrottle throttle;
  engine::CpuLimits limits(table, ledger, throttle);
  FormSetProcessCpuPercent dialog(limits, fonts,
                                  [](const engine::LimitTarget&, const engine::LimitOutcome&) {});
  FormSetProcessCpuPercent::Setup setup;
  setup.pidText = std::to_wstring(::GetCurrentProcessId());
  setup.target = {*IdentityOfId(::GetCurrentProcessId()), L"notepad.exe", L""};
  ASSERT_TRUE(dialog.Create(owner.Hwnd(), std::move(setup)));
  const HWND window = dialog.Hwnd();
  MSG enter{window, WM_KEYDOWN, VK_RETURN, 1, 0, {}};
  const LPARAM cases[] = {reinterpret_cast<LPARAM>(&enter), 0, 0x10};
  for (const LPARAM lParam : cases) {
    SCOPED_TRACE(lParam);
    std::atomic<bool> done{false};
    DWORD_PTR answer = 99;
    std::thread sender([&] {
      (void)::SendMessageTimeoutW(window, KeyPreviewMessage(), 0, lParam, SMTO_NORMAL, 5000,
                                  &answer);
      done = true;
    });
    EXPECT_TRUE(test_support::PumpUntil([&] { return done.load(); }, std::chrono::seconds(6)));
    sender.join();
    EXPECT_EQ(answer, 0u);
    (void)::PostMessageW(window, KeyPreviewMessage(), 0, lParam);
    test_support::PumpMessages();
    EXPECT_TRUE(::IsWindow(window));
  }
  EXPECT_EQ(table.CountInUse(), 0) << "Enter from outside clicked OK";
}

TEST(DialogKeysTest, AnOpenMenuKeepsTheKeyboardFromAWalk) {
  TestWindow owner(true);
  HMENU menu = ::CreatePopupMenu();
  (void)::AppendMenuW(menu, MF_STRING, 1, L"State");
  (void)::AppendMenuW(menu, MF_STRING, 2, L"Exit");
  DWORD flags = 0;
  ModalScript::Arm(
      [&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        (void)::GetGUIThreadInfo(::GetCurrentThreadId(), &info);
        flags = info.flags;
        // Real key presses, which the menu reads from the queue itself.
        INPUT keys[2] = {};
        keys[0].type = keys[1].type = INPUT_KEYBOARD;
        keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
        keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
        (void)::SendInput(2, keys, sizeof(INPUT));
        // Let the input arrive in this thread's queue before the walk looks.
        ::Sleep(200);
        ProcessPendingEvents();
      },
      [] { (void)::EndMenu(); });
  const UINT chosen = static_cast<UINT>(
      ::TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_NONOTIFY, 100, 100, owner.Hwnd(), nullptr));
  ModalScript::Disarm();
  (void)::DestroyMenu(menu);
  EXPECT_NE(flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE), 0u) << "the menu's loop was running";
  EXPECT_FALSE(ModalScript::rescued) << "the walk took the menu's Esc";
  EXPECT_EQ(chosen, 0u);
}

TEST(LinkLabelTest, AClickEnterOrSpaceOpensTheLinkOnce) {
  TestWindow parent;
  LinkLabel link;
  int opened = 0;
  ASSERT_TRUE(link.Create(parent.Hwnd(), L"https://www.morwick.example/", {10, 10},
                          static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)), RGB(0, 0, 255),
                          RGB(255, 255, 255), nullptr, [&] { ++opened; }));
  EXPECT_NE(::GetWindowLongW(link.Hwnd(), GWL_STYLE) & WS_TABSTOP, 0) << "Tab reaches it";
  wchar_t text[64] = {};
  (void)::GetWindowTextW(link.Hwnd(), text, 64);
  EXPECT_STREQ(text, L"https://www.morwick.example/") << "screen readers read its text";

  const auto send = [&](UINT message, WPARAM wParam, LPARAM lParam) {
    (void)::SendMessageW(link.Hwnd(), message, wParam, lParam);
  };
  send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  send(WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  EXPECT_EQ(opened, 1) << "a click";
  send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  send(WM_LBUTTONUP, 0, MAKELPARAM(static_cast<WORD>(-20), static_cast<WORD>(-20)));
  EXPECT_EQ(opened, 1) << "released outside";

  // Enter goes through the form's dialog handling to the focused link, not to the form.
  (void)::SetFocus(link.Hwnd());
  MSG enter{link.Hwnd(), WM_KEYDOWN, VK_RETURN, 1, 0, {}};
  (void)::IsDialogMessageW(parent.Hwnd(), &enter);
  EXPECT_EQ(opened, 2) << "Enter";
  MSG held{link.Hwnd(), WM_KEYDOWN, VK_RETURN, 1 | (1 << 30), 0, {}};
  (void)::IsDialogMessageW(parent.Hwnd(), &held);
  EXPECT_EQ(opened, 2) << "a held Enter opens once";
  MSG space{link.Hwnd(), WM_KEYDOWN, VK_SPACE, 1, 0, {}};
  (void)::IsDialogMessageW(parent.Hwnd(), &space);
  EXPECT_EQ(opened, 3) << "Space";
  MSG escape{link.Hwnd(), WM_KEYDOWN, VK_ESCAPE, 1, 0, {}};
  EXPECT_EQ(
      ::SendMessageW(link.Hwnd(), WM_GETDLGCODE, VK_ESCAPE, reinterpret_cast<LPARAM>(&escape)) &
          DLGC_WANTMESSAGE,
      0)
      << "Esc stays the form's";
}

}  // namespace
}  // namespace quorvant::win32
