#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/core/twips.h"
#include "engine/win32/booster_desktop.h"
#include "engine/win32/processes.h"
#include "shell/win32/process_panel.h"
#include "tests/support/child_process.h"

namespace quorvant::win32 {
namespace {

using testing_support::ChildProcess;

// Windows that the test process owns; hidden unless a test needs one in front.
class TopLevel {
 public:
  explicit TopLevel(const std::wstring& title) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuorvantProcessPanelTestWindow";
    (void)::RegisterClassExW(&wc);
    hwnd_ =
        ::CreateWindowExW(WS_EX_CONTROLPARENT, wc.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW,
                          20, 20, 560, 420, nullptr, nullptr, wc.hInstance, nullptr);
  }
  ~TopLevel() { (void)::DestroyWindow(hwnd_); }
  TopLevel(const TopLevel&) = delete;
  TopLevel& operator=(const TopLevel&) = delete;
  HWND Hwnd() const { return hwnd_; }

 private:
  HWND hwnd_ = nullptr;
};

// Foreground windows handed out one per tick; window w belongs to process 10 * w, and every
// class the booster sets or gives back is recorded.
class ScriptedDesktop : public BoosterDesktop {
 public:
  struct Window {
    WindowId id;
    std::wstring title;
  };
  std::vector<Window> windows;
  WindowId foreground = 0;
  std::vector<std::pair<std::uint32_t, int>> calls;

  WindowId ForegroundWindow() override { return foreground; }
  std::wstring WindowTitle(WindowId window) override {
    for (const auto& w : windows) {
      if (w.id == window) return w.title;
    }
    return {};
  }
  std::optional<ProcessIdentity> WindowProcess(WindowId window) override {
    return ProcessIdentity{static_cast<std::uint32_t>(window * 10), 1};
  }
  int PriorityClassOf(const ProcessIdentity& process) override {
    const auto it = classes_.find(process.id);
    return it == classes_.end() ? kNormalPriorityClass : it->second;
  }
  bool SetPriorityClassOf(const ProcessIdentity& process, int priorityClass) override {
    calls.emplace_back(process.id, priorityClass);
    classes_[process.id] = priorityClass;
    return true;
  }
  void RestorePriority(const ProcessIdentity& process, int priorityClass,
                       int raisedClass) override {
    if (PriorityClassOf(process) == raisedClass) (void)SetPriorityClassOf(process, priorityClass);
  }
  std::wstring TimeOfDay() override { return L"12:34:56"; }

 private:
  std::map<std::uint32_t, int> classes_;
};

std::wstring TooltipText(HWND tooltip, HWND panel) {
  std::wstring text(1024, L'\0');
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = panel;
  tool.uId = 1;
  tool.lpszText = text.data();
  (void)::SendMessageW(tooltip, TTM_GETTEXTW, text.size(), reinterpret_cast<LPARAM>(&tool));
  text.resize(wcslen(text.c_str()));
  return text;
}

std::wstring ControlText(HWND hwnd) {
  wchar_t text[512] = {};
  (void)::GetWindowTextW(hwnd, text, 512);
  return text;
}

std::vector<std::wstring> Row(const ListView& list, int row, int columns = 4) {
  std::vector<std::wstring> texts;
  for (int column = 0; column < columns; ++column) texts.push_back(list.Text(row, column));
  return texts;
}

// The controller on a real panel, reading the settings it is given.
class ProcessPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(panel_.Create(form_.Hwnd(), 0, 0, 521, 385));
    auto desktop = std::make_unique<ScriptedDesktop>();
    desktop_ = desktop.get();
    desktop_->windows = {{11, L"Alpha – ü"}, {12, L"Bravo"}, {13, L""}};
    CalmHooks hooks;
    hooks.sampler = [this]() -> std::optional<CpuSample> {
      if (samples_.empty()) return std::nullopt;
      CpuSample next = samples_.front();
      samples_.erase(samples_.begin());
      return next;
    };
    controller_ = std::make_unique<ProcessPanel>(
        ledger_, std::move(desktop), [] { return 0.0; }, std::move(hooks));
    ASSERT_TRUE(controller_->Create(panel_, settings_, fonts_));
  }

  std::optional<Boost> TickWith(WindowId foreground) {
    desktop_->foreground = foreground;
    return controller_->TimerProcessTick();
  }

  TopLevel form_{L"process panel"};
  EffectLedger ledger_;
  Panel panel_;
  FontCache fonts_;
  shell::SettingsState settings_;
  // What the calm's next ticks read of the machine.
  std::vector<CpuSample> samples_;
  ScriptedDesktop* desktop_ = nullptr;
  std::unique_ptr<ProcessPanel> controller_;
};

TEST_F(ProcessPanelTest, StartsWithDesignCaptionsAndAnEmptyLogOfFiveColumns) {
  EXPECT_EQ(ControlText(controller_->LabelNowImproveProcess().Hwnd()), L"None");
  EXPECT_EQ(ControlText(controller_->LabelImprovedCount().Hwnd()), L"None");
  EXPECT_EQ(TooltipText(controller_->Tooltip(), panel_.Hwnd()), L"None");
  const ListView list = controller_->ListViewHistory();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_TRUE(::GetWindowLongW(list.Hwnd(), GWL_STYLE) & LVS_REPORT);

  HWND header = reinterpret_cast<HWND>(::SendMessageW(list.Hwnd(), LVM_GETHEADER, 0, 0));
  ASSERT_EQ(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 5);
  // The booster's four, then the calm's reason.
  const std::pair<const wchar_t*, int> columns[] = {
      {L"NO.", 600}, {L"Time", 1000}, {L"Target", 2800}, {L"Priority", 1440}, {L"Why", 3600}};
  for (int i = 0; i < 5; ++i) {
    wchar_t title[32] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = title;
    column.cchTextMax = 32;
    ASSERT_TRUE(::SendMessageW(list.Hwnd(), LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ(title, columns[i].first);
    EXPECT_EQ(column.cx, TwipsToPixels(columns[i].second)) << i;
  }
  // Placed where the panel's design has it.
  RECT r{};
  (void)::GetWindowRect(list.Hwnd(), &r);
  (void)::MapWindowPoints(nullptr, panel_.Hwnd(), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, TwipsToPixels(390));
  EXPECT_EQ(r.top, TwipsToPixels(3735));
  EXPECT_EQ(r.right - r.left, TwipsToPixels(6480));
  EXPECT_EQ(r.bottom - r.top, TwipsToPixels(1800));
}

TEST_F(ProcessPanelTest, BoostsWriteTargetTooltipLogRowAndCount) {
  settings_.improveProcess = 1;
  settings_.improveSpeed = L"High";
  const auto first = TickWith(11);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->speed, L"12%");
  EXPECT_EQ(ControlText(controller_->LabelNowImproveProcess().Hwnd()), L"Alpha – ü");
  EXPECT_EQ(TooltipText(controller_->Tooltip(), panel_.Hwnd()), L"Alpha – ü");
  EXPECT_EQ(ControlText(controller_->LabelImprovedCount().Hwnd()), L"1");
  const ListView list = controller_->ListViewHistory();
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(Row(list, 0), (std::vector<std::wstring>{L" 1", L"12:34:56", L"Alpha – ü", L"High"}));

  // An untitled window changes nothing on the panel; the level is read at the next boost.
  EXPECT_FALSE(TickWith(13));
  settings_.improveSpeed = L"Above Normal";
  const auto second = TickWith(12);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->speed, L"22%");
  EXPECT_EQ(ControlText(controller_->LabelNowImproveProcess().Hwnd()), L"Bravo");
  EXPECT_EQ(TooltipText(controller_->Tooltip(), panel_.Hwnd()), L"Bravo");
  EXPECT_EQ(ControlText(controller_->LabelImprovedCount().Hwnd()), L"2");
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(Row(list, 1),
            (std::vector<std::wstring>{L" 2", L"12:34:56", L"Bravo", L"Above Normal"}));
  // The untitled window's process is left alone; Alpha's goes back when Bravo's is raised.
  EXPECT_EQ(desktop_->calls,
            (std::vector<std::pair<std::uint32_t, int>>{{110, kHighPriorityClass},
                                                        {110, kNormalPriorityClass},
                                                        {120, kAboveNormalPriorityClass}}));

  // Switched off: given back at once; what the panels show stays.
  controller_->GiveBack();
  EXPECT_EQ(desktop_->calls.back(), std::make_pair(std::uint32_t{120}, kNormalPriorityClass));
  EXPECT_TRUE(ledger_.Empty());
  EXPECT_EQ(ControlText(controller_->LabelNowImproveProcess().Hwnd()), L"Bravo");
  EXPECT_EQ(ControlText(controller_->LabelImprovedCount().Hwnd()), L"2");
  EXPECT_EQ(list.Count(), 2);
}

TEST_F(ProcessPanelTest, BoxStateDecidesWhetherTheTickRuns) {
  struct Case {
    int boxValue;
    bool boosts;
  };
  for (const Case c : {Case{0, false}, Case{2, true}, Case{1, true}}) {
    SCOPED_TRACE(c.boxValue);
    settings_.improveProcess = c.boxValue;
    const int rowsBefore = controller_->ListViewHistory().Count();
    // A new window each time, so only the box can stop the boost.
    const WindowId window = controller_->LabelNowImproveProcess().Text() == L"Bravo" ? 11 : 12;
    EXPECT_EQ(TickWith(window).has_value(), c.boosts);
    EXPECT_EQ(controller_->ListViewHistory().Count(), rowsBefore + (c.boosts ? 1 : 0));
  }
  // With no level chosen the boost is Above Normal.
  EXPECT_EQ(settings_.improveSpeed, L"");
  EXPECT_EQ(Row(controller_->ListViewHistory(), 0)[3], L"Above Normal");
}

// A process that works hard behind the window in front is calmed, and given back when the
// calm is switched off; each shows as a row of the log, numbered among the boosts.
TEST_F(ProcessPanelTest, TheCalmSharesTheLogWithTheBooster) {
  ChildProcess child;
  const auto identity = IdentityOfId(child.Id());
  ASSERT_TRUE(identity);
  DWORD session = 0;
  ASSERT_TRUE(::ProcessIdToSessionId(::GetCurrentProcessId(), &session)) << ::GetLastError();
  // Two processors' second each: the machine 90 % busy, the child 40 % of it.
  for (std::uint64_t s = 1; s <= 3; ++s) {
    samples_.push_back({s * 1000,
                        s * 20'000'000,
                        s * 2'000'000,
                        {{*identity, session, s * 8'000'000, L"cmd.exe"}}});
  }

  settings_.improveProcess = 1;
  ASSERT_TRUE(TickWith(11));
  EXPECT_FALSE(controller_->CalmOn());
  settings_.calmBackground = 1;
  EXPECT_TRUE(controller_->CalmOn());
  for (int i = 0; i < 3; ++i) controller_->TimerCalmTick();
  EXPECT_EQ(GetProcessPriority(child.Id()), kBelowNormalPriorityClass);
  const ListView list = controller_->ListViewHistory();
  ASSERT_EQ(list.Count(), 2);
  std::vector<std::wstring> calmed = Row(list, 1, 5);
  EXPECT_FALSE(calmed[1].empty()) << "the time of day";
  calmed[1].clear();
  EXPECT_EQ(calmed, (std::vector<std::wstring>{L" 2", L"", L"cmd.exe", L"Below Normal",
                                               L"calmed: 40 % of the CPU in the background"}));

  ASSERT_TRUE(TickWith(12));
  EXPECT_EQ(ControlText(controller_->LabelImprovedCount().Hwnd()), L"2") << "boosts, not rows";
  EXPECT_EQ(Row(list, 2, 5),
            (std::vector<std::wstring>{L" 3", L"12:34:56", L"Bravo", L"Above Normal", L""}));

  controller_->SwitchCalmOff();
  EXPECT_EQ(GetProcessPriority(child.Id()), kNormalPriorityClass);
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(Row(list, 3, 5)[0], L" 4");
  EXPECT_EQ(Row(list, 3, 5)[3], L"Normal");
  EXPECT_EQ(Row(list, 3, 5)[4], L"given back: calm switched off");
  // The booster's raise is all the ledger holds.
  ASSERT_EQ(ledger_.Effects().size(), 1u);
  EXPECT_EQ(ledger_.Effects()[0].applied, kAboveNormalPriorityClass);
}

// The system's side: titles, the foreground window, and priority classes by identity.
TEST(WindowsBoosterDesktopTest, ReadsWholeTitlesThatTheBoosterCuts) {
  const std::wstring long300 = std::wstring(150, L'a') + std::wstring(150, L'b');
  // An emoji (a surrogate pair) whose halves fall on either side of the cut.
  const std::wstring pairAcrossCut = std::wstring(253, L'z') + L"\xD83D\xDE00 tail";
  struct Case {
    std::wstring title;
    std::wstring shown;
  };
  const Case cases[] = {
      {L"Plain", L"Plain"},
      {L"Größe – 東京 &Co", L"Größe – 東京 &Co"},
      {long300, long300.substr(0, 254)},
      {pairAcrossCut, std::wstring(253, L'z')},
  };
  WindowsBoosterDesktop desktop;
  for (const Case& c : cases) {
    TopLevel window(c.title);
    ASSERT_NE(window.Hwnd(), nullptr);
    EXPECT_EQ(desktop.WindowTitle(ToWindowId(window.Hwnd())), c.title);
    EXPECT_EQ(Booster::CutTitle(desktop.WindowTitle(ToWindowId(window.Hwnd()))), c.shown);
  }
  EXPECT_EQ(desktop.WindowTitle(0), L"");
  EXPECT_FALSE(desktop.TimeOfDay().empty());

  // The whole way: the window in front, boosted, shown without the broken character.
  TopLevel front(pairAcrossCut);
  (void)::ShowWindow(front.Hwnd(), SW_SHOW);
  (void)::SetForegroundWindow(front.Hwnd());
  const int ownClass = GetProcessPriority(::GetCurrentProcessId());
  ASSERT_NE(ownClass, kHighPriorityClass);
  EffectLedger ledger;
  {
    Booster booster(desktop, ProgramRandom, ledger);
    const auto boost = booster.Tick(true, kLevelHigh);
    ASSERT_TRUE(boost);
    EXPECT_EQ(boost->title, std::wstring(253, L'z'));
    EXPECT_EQ(GetProcessPriority(::GetCurrentProcessId()), kHighPriorityClass);
  }
  // The booster gone, this process is back at its own class.
  EXPECT_EQ(GetProcessPriority(::GetCurrentProcessId()), ownClass);
  EXPECT_TRUE(ledger.Empty());
}

TEST(WindowsBoosterDesktopTest, ReachesAProcessOnlyByItsIdentity) {
  WindowsBoosterDesktop desktop;
  {
    TopLevel own(L"own window");
    EXPECT_EQ(desktop.WindowProcess(ToWindowId(own.Hwnd())), IdentityOfId(::GetCurrentProcessId()));
  }
  EXPECT_FALSE(desktop.WindowProcess(0));

  ChildProcess child;
  const auto identity = IdentityOfId(child.Id());
  ASSERT_TRUE(identity);
  const unique_handle handle(::OpenProcess(PROCESS_SET_INFORMATION, FALSE, child.Id()));
  ASSERT_TRUE(::SetPriorityClass(handle.get(), BELOW_NORMAL_PRIORITY_CLASS))
      << "SetPriorityClass: " << ::GetLastError();
  EXPECT_EQ(desktop.PriorityClassOf(*identity), kBelowNormalPriorityClass);

  EXPECT_TRUE(desktop.SetPriorityClassOf(*identity, kHighPriorityClass));
  EXPECT_EQ(GetProcessPriority(child.Id()), kHighPriorityClass);
  desktop.RestorePriority(*identity, kBelowNormalPriorityClass, kHighPriorityClass);
  EXPECT_EQ(GetProcessPriority(child.Id()), kBelowNormalPriorityClass);

  // A class chosen by someone else since the raise stays.
  EXPECT_TRUE(desktop.SetPriorityClassOf(*identity, kHighPriorityClass));
  ASSERT_TRUE(::SetPriorityClass(handle.get(), IDLE_PRIORITY_CLASS))
      << "SetPriorityClass: " << ::GetLastError();
  desktop.RestorePriority(*identity, kBelowNormalPriorityClass, kHighPriorityClass);
  EXPECT_EQ(GetProcessPriority(child.Id()), kIdlePriorityClass);

  // The same id with another creation time is another process: never read or touched.
  const ProcessIdentity later{identity->id, identity->started + 1};
  ASSERT_TRUE(::SetPriorityClass(handle.get(), HIGH_PRIORITY_CLASS))
      << "SetPriorityClass: " << ::GetLastError();
  EXPECT_EQ(desktop.PriorityClassOf(later), 0);
  EXPECT_FALSE(desktop.SetPriorityClassOf(later, kAboveNormalPriorityClass));
  desktop.RestorePriority(later, kNormalPriorityClass, kHighPriorityClass);
  EXPECT_EQ(GetProcessPriority(child.Id()), kHighPriorityClass);

  // Ended, it needs nothing.
  child.End();
  EXPECT_EQ(desktop.PriorityClassOf(*identity), 0);
  EXPECT_FALSE(desktop.SetPriorityClassOf(*identity, kHighPriorityClass));
  desktop.RestorePriority(*identity, kNormalPriorityClass, kHighPriorityClass);
}

TEST(WindowsBoosterDesktopTest, SeesTheWindowBroughtToTheFront) {
  WindowsBoosterDesktop desktop;
  TopLevel window(L"front");
  (void)::ShowWindow(window.Hwnd(), SW_SHOW);
  (void)::SetForegroundWindow(window.Hwnd());
  EXPECT_EQ(desktop.ForegroundWindow(), ToWindowId(window.Hwnd()));
}

}  // namespace
}  // namespace quorvant::win32
