#include "shell/win32/program_rules_dialog.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "common/win32/display_scale.h"
#include "engine/core/priority_class.h"
#include "shell/win32/limit_dialog.h"
#include "engine/win32/processes.h"
#include "engine/win32/process_throttle.h"
#include "tests/support/child_process.h"
#include "tests/win32/support/accepting_throttle.h"
#include "tests/win32/support/window_shot.h"

namespace quorvant::win32 {
namespace {

using namespace std::chrono_literals;
using testing_support::ChildProcess;

class TempConfig {
 public:
  TempConfig() {
    wchar_t temp[MAX_PATH]{};
    (void)::GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"quorvant-rules-dialog-" +
            std::to_wstring(::GetCurrentProcessId()) + L".ini";
    (void)::DeleteFileW(path_.c_str());
  }
  ~TempConfig() { (void)::DeleteFileW(path_.c_str()); }
  const std::wstring& Path() const { return path_; }
  std::wstring Read(const wchar_t* key) const {
    wchar_t value[512]{};
    (void)::GetPrivateProfileStringW(L"Rules", key, L"", value, 512, path_.c_str());
    return value;
  }

 private:
  std::wstring path_;
};

// The dialog's own loop, one round: keys go through its key preview and dialog handling.
void Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchThreadMessage(msg);
}

void Press(WPARAM key) {
  (void)::PostMessageW(::GetFocus(), WM_KEYDOWN, key, 1);
  (void)::PostMessageW(::GetFocus(), WM_KEYUP, key, 0xC0000001);
  Pump();
}

std::wstring TextOf(HWND window) {
  wchar_t text[512]{};
  (void)::GetWindowTextW(window, text, 512);
  return text;
}

class FormProgramRulesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    (void)::WritePrivateProfileStringW(L"Rules", L"Rule1", L"x.exe|cpu=0", config.Path().c_str());
    keeper = std::make_unique<RuleKeeper>(config.Path(), ledger, throttle, table);
    keeper->Start();
    dialog = std::make_unique<FormProgramRules>(*keeper, fonts);
    ASSERT_TRUE(dialog->Create(nullptr));
    (void)::ShowWindow(dialog->Hwnd(), SW_SHOW);
    (void)::SetForegroundWindow(dialog->Hwnd());
    (void)::SetFocus(dialog->List().Hwnd());
    Pump();
  }

  TempConfig config;
  EffectLedger ledger;
  LimitSlotTable table;
  LedgerKeeper ledgerKeeper;
  ProcessThrottle throttle{ledgerKeeper};
  FontCache fonts;
  std::unique_ptr<RuleKeeper> keeper;
  std::unique_ptr<FormProgramRules> dialog;
};

TEST_F(FormProgramRulesTest, ARuleIsMadeFromTheKeyboardAppliedAtOnceAndRemoved) {
  ChildProcess child;  // cmd.exe, running before the rule is made
  const std::wstring childPath = ProcessImagePath(child.Id());
  ASSERT_FALSE(childPath.empty());
  dialog.reset();
  dialog = std::make_unique<FormProgramRules>(*keeper, fonts);
  ASSERT_TRUE(dialog->Create(nullptr));
  (void)::ShowWindow(dialog->Hwnd(), SW_SHOW);
  (void)::SetForegroundWindow(dialog->Hwnd());
  (void)::SetFocus(dialog->List().Hwnd());
  Pump();

  // The damaged entry of Config.ini is listed with why, and kept.
  ASSERT_EQ(dialog->List().Count(), 1);
  EXPECT_EQ(dialog->List().Text(0, engine::rules_dialog::kColumnNote),
            L"Skipped: the CPU limit is not 1 to 99");
  // The running programs are offered by path.
  const auto& running = dialog->RunningPaths();
  EXPECT_NE(std::find(running.begin(), running.end(), childPath), running.end());

  // Tab visits every control in reading order.
  const std::vector<HWND> order{dialog->ProgramEdit(),
                                dialog->Button(FormProgramRules::kIdBrowse).Hwnd(),
                                dialog->Running(),
                                dialog->CpuCheck().Hwnd(),
                                dialog->Priority().Hwnd(),
                                dialog->NeverTrim().Hwnd(),
                                dialog->Button(FormProgramRules::kIdAdd).Hwnd(),
                                dialog->Button(FormProgramRules::kIdChange).Hwnd(),
                                dialog->Button(FormProgramRules::kIdRemove).Hwnd(),
                                dialog->Button(FormProgramRules::kIdClose).Hwnd(),
                                dialog->List().Hwnd()};
  std::vector<HWND> visited;
  for (size_t i = 0; i < order.size(); ++i) {
    Press(VK_TAB);
    HWND focus = ::GetFocus();
    // The drop-down lists hold the focus in a child of theirs.
    if (::GetParent(focus) != dialog->Hwnd()) focus = ::GetParent(focus);
    if (::GetParent(focus) != dialog->Hwnd()) focus = ::GetParent(focus);
    visited.push_back(focus);
  }
  // The limit's box is off until "Limit CPU to" is ticked.
  EXPECT_EQ(visited, order);

  // The program is picked from the running ones; the rest is filled in and Enter adds it.
  const int index =
      static_cast<int>(std::find(running.begin(), running.end(), childPath) - running.begin());
  (void)::SendMessageW(dialog->Running(), CB_SETCURSEL, index, 0);
  (void)::SendMessageW(dialog->Hwnd(), WM_COMMAND,
                       MAKEWPARAM(FormProgramRules::kIdRunning, CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(dialog->Running()));
  EXPECT_EQ(TextOf(dialog->ProgramEdit()), childPath);
  dialog->CpuCheck().SetValue(BST_CHECKED);
  (void)::SendMessageW(dialog->Hwnd(), WM_COMMAND,
                       MAKEWPARAM(FormProgramRules::kIdCpuCheck, BN_CLICKED),
                       reinterpret_cast<LPARAM>(dialog->CpuCheck().Hwnd()));
  (void)::SetWindowTextW(dialog->CpuEdit(), L"20");
  ASSERT_TRUE(dialog->Priority().SelectText(L"Below Normal"));
  (void)::SetFocus(dialog->ProgramEdit());
  Press(VK_RETURN);

  ASSERT_EQ(keeper->Book().Rules().size(), 1u)
      << std::string(dialog->Status().Text().begin(), dialog->Status().Text().end());
  EXPECT_EQ(config.Read(L"Rule2"), engine::FormatRule(keeper->Book().Rules()[0].rule));
  EXPECT_EQ(config.Read(L"Rule1"), L"x.exe|cpu=0") << "the damaged entry stays";
  EXPECT_EQ(::GetPriorityClass(child.Handle()), static_cast<DWORD>(BELOW_NORMAL_PRIORITY_CLASS));
  EXPECT_EQ(dialog->List().Text(0, 1), L"20%");

  // Selected, the rule is in the editor and Enter changes it.
  dialog->List().Select(0);
  Pump();
  EXPECT_EQ(TextOf(dialog->CpuEdit()), L"20");
  ASSERT_TRUE(dialog->Priority().SelectText(L"Unchanged"));
  (void)::SetFocus(dialog->CpuEdit());
  Press(VK_RETURN);
  EXPECT_EQ(::GetPriorityClass(child.Handle()), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
  EXPECT_EQ(keeper->Book().Rules()[0].rule.priorityClass, std::nullopt);

  // Removed from the keyboard: the child is free at once and the key is gone.
  (void)::SetFocus(dialog->Button(FormProgramRules::kIdRemove).Hwnd());
  Press(VK_RETURN);
  EXPECT_TRUE(keeper->Book().Rules().empty());
  EXPECT_EQ(config.Read(L"Rule2"), L"");
  EXPECT_TRUE(ledger.Empty());
}

TEST_F(FormProgramRulesTest, EscClosesAndAMissingFieldIsSaidNotSaved) {
  (void)::SetFocus(dialog->ProgramEdit());
  Press(VK_RETURN);  // "Add" with nothing chosen
  EXPECT_EQ(dialog->Status().Text(), L"Choose a program first.");
  EXPECT_TRUE(keeper->Book().Rules().empty());

  // Esc ends the dialog's modal loop.
  const HWND window = dialog->Hwnd();
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
    (void)::KillTimer(nullptr, id);
    (void)::PostMessageW(::GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
  });
  dialog->ShowModal();
  (void)::KillTimer(nullptr, timer);
  EXPECT_FALSE(::IsWindow(window));
}

TEST_F(FormProgramRulesTest, SharpAtEveryScale) {
  (void)keeper->Add({L"C:\\Program Files\\Backup\\backup.exe", 20, std::nullopt, false});
  (void)keeper->Add({L"game.exe", std::nullopt, kHighPriorityClass, true});
  dialog.reset();
  dialog = std::make_unique<FormProgramRules>(*keeper, fonts);
  ASSERT_TRUE(dialog->Create(nullptr));
  (void)::ShowWindow(dialog->Hwnd(), SW_SHOW);
  Pump();
  test_support::SaveWindowShot(dialog->Hwnd(), "rules_dialog_at_96");

  RECT client{};
  const int dpi96 = dialog->Dpi();
  (void)::GetClientRect(dialog->Hwnd(), &client);
  const int width96 = client.right;
  // A monitor of 150 %: the client area and every control follow, none drawn stretched.
  RECT suggested{40, 30, 40 + 1100, 30 + 1100};
  (void)::SendMessageW(dialog->Hwnd(), WM_DPICHANGED, MAKEWPARAM(144, 144),
                       reinterpret_cast<LPARAM>(&suggested));
  Pump();
  (void)::GetClientRect(dialog->Hwnd(), &client);
  EXPECT_EQ(client.right, TwipsToPixelsAt(engine::rules_dialog::kClientWidthTwips, 144));
  EXPECT_EQ(width96, TwipsToPixelsAt(engine::rules_dialog::kClientWidthTwips, dpi96));
  RECT add{};
  (void)::GetWindowRect(dialog->Button(FormProgramRules::kIdAdd).Hwnd(), &add);
  EXPECT_EQ(add.right - add.left, TwipsToPixelsAt(engine::rules_dialog::kAddAt.width, 144));
  test_support::SaveWindowShot(dialog->Hwnd(), "rules_dialog_at_144");
}

// The limit dialog offers to keep its limit as the program's rule: one box below the slider,
// unticked; ticked, "OK" keeps the limit in the table and as the program's rule.
TEST(LimitDialogRuleTest, TheBoxKeepsTheLimitAsTheProgramsRule) {
  FontCache fonts;
  LimitSlotTable table;
  EffectLedger ledger;
  test_support::AcceptingThrottle throttle;
  engine::CpuLimits limits(table, ledger, throttle);
  for (const bool tick : {false, true}) {
    std::vector<std::wstring> kept;
    FormSetProcessCpuPercent dialog(limits, fonts, {});
    dialog.keepRule = [&](const engine::LimitTarget& target, int percent) {
      kept.push_back(target.path + L" " + std::to_wstring(percent));
      return std::optional<std::wstring>();
    };
    FormSetProcessCpuPercent::Setup setup;
    setup.pidText = std::to_wstring(::GetCurrentProcessId());
    setup.sliderValue = 40;
    setup.target = {*IdentityOfId(::GetCurrentProcessId()), L"notepad.exe",
                    L"c:\\windows\\notepad.exe"};
    ASSERT_TRUE(dialog.Create(nullptr, std::move(setup)));
    ASSERT_TRUE(dialog.KeepRuleBox().Hwnd());
    EXPECT_EQ(dialog.KeepRuleBox().Value(), BST_UNCHECKED);
    RECT box{}, slider{};
    (void)::GetWindowRect(dialog.KeepRuleBox().Hwnd(), &box);
    (void)::GetWindowRect(dialog.Slider().Hwnd(), &slider);
    EXPECT_GE(box.top, slider.bottom) << "below the slider";
    if (tick) dialog.KeepRuleBox().SetValue(BST_CHECKED);
    dialog.Button(FormSetProcessCpuPercent::kIdOk).Events().click();
    EXPECT_EQ(kept, tick ? std::vector<std::wstring>{L"c:\\windows\\notepad.exe 40"}
                         : std::vector<std::wstring>{});
    (void)limits.Release({*IdentityOfId(::GetCurrentProcessId()), L"", L""});
  }
}

}  // namespace
}  // namespace quorvant::win32
