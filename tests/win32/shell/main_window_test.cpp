#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs

#include <gtest/gtest.h>

#include <memory>

#include "shell/core/tray_hook.h"
#include "shell/core/tray_menu.h"
#include "shell/win32/form_quorvant.h"
#include "shell/win32/ini_settings_store.h"
#include "shell/win32/module_sub_class.h"
#include "tests/win32/support/message_pump.h"

namespace quorvant::win32 {
namespace {

using test_support::PumpMessages;
using test_support::PumpUntil;

// Whether the shell still knows the program's icon: modifying a missing icon fails.
bool TrayIconExists(HWND owner) {
  NOTIFYICONDATAW data{};
  data.cbSize = NOTIFYICONDATAW_V1_SIZE;
  data.hWnd = owner;
  data.uID = 0;
  data.uFlags = NIF_TIP;
  wcscpy_s(data.szTip, L"Quorvant");
  return ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

// The real main window, created in this process with the program's resources.
class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    (void)::DeleteFileW(ConfigFilePath().c_str());
    form_ = std::make_unique<FormQuorvant>();
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

  std::unique_ptr<FormQuorvant> form_;
  HWND hwnd_ = nullptr;
};

TEST_F(MainWindowTest, IsHookedWithTheIconAdded) {
  EXPECT_EQ(reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hwnd_, GWLP_WNDPROC)), &HookWindowProc);
  EXPECT_NE(PrevWndProc, nullptr);
  EXPECT_NE(TaskbarCreatedMsg, 0u);
  EXPECT_TRUE(TrayIconExists(hwnd_));
  EXPECT_EQ(form_->SelectedEntry(), shell::Entry::State);
  EXPECT_TRUE(PanelShown(shell::Entry::State));
  // Any other message reaches the previous procedure unchanged.
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
  EXPECT_EQ(::SendMessageW(hwnd_, TaskbarCreatedMsg, 0, 0), 0);
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

}  // namespace
}  // namespace quorvant::win32
