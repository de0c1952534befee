#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/win32/panel.h"
#include "engine/core/process_list.h"
#include "engine/win32/file_icon.h"
#include "engine/win32/limit_handles.h"
#include "engine/win32/process_throttle.h"
#include "engine/win32/processes.h"
#include "engine/win32/watcher.h"
#include "shell/win32/cpu_panel.h"
#include "tests/support/burner.h"
#include "tests/support/child_process.h"
#include "tests/support/wine.h"
#include "tests/win32/support/accepting_throttle.h"
#include "tests/win32/support/message_pump.h"

namespace quorvant::win32 {
namespace {

using test_support::AcceptingThrottle;
using test_support::PumpMessages;
using test_support::PumpUntil;

using testing_support::Burner;
using testing_support::ChildProcess;

using Dialog = FormSetProcessCpuPercent;
constexpr int kPid = 1;
constexpr int kProcess = 2;
constexpr int kLimited = 3;

std::wstring ThisExeLower() {
  wchar_t path[MAX_PATH]{};
  (void)::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return LowerFileName(path);
}

// Waits until the process's modules can be read, so it can be listed.
bool WaitListable(DWORD id, const wchar_t* name = L"cmd.exe") {
  ToolhelpProcessSource source;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (!engine::GetProcessPath(source, id, name).empty()) return true;
    ::Sleep(20);
  }
  return false;
}

TEST(ToolhelpProcessSourceTest, ListsWinesProcessesAndThisOneWithLowerCasePaths) {
  ToolhelpProcessSource source;
  std::vector<engine::ListedProcess> rows;
  (void)engine::BuildProcessList(source, [&](const auto& row) { rows.push_back(row); });
  ASSERT_FALSE(rows.empty());
  const auto self = std::find_if(rows.begin(), rows.end(),
                                 [](const auto& row) { return row.id == ::GetCurrentProcessId(); });
  ASSERT_NE(self, rows.end());
  EXPECT_EQ(self->path, ThisExeLower());
  // Wine's own services run beside the test.
  EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](const auto& row) {
    return LowerFileName(row.name) == L"services.exe" || LowerFileName(row.name) == L"explorer.exe";
  }));
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].path, LowerFileName(rows[i].path)) << rows[i].name;
    EXPECT_EQ(rows[i].number, static_cast<int>(i) + 1);
  }
}

TEST(ModuleGetFileIconTest, SmallAndLargeIconsOfAnExecutable) {
  const IconPicture small = GetFileIcon(ThisExeLower(), true);
  const IconPicture large = GetFileIcon(ThisExeLower(), false);
  ASSERT_TRUE(small);
  ASSERT_TRUE(large);
  ICONINFO info{};
  ASSERT_TRUE(::GetIconInfo(large.get(), &info)) << "GetIconInfo: " << ::GetLastError();
  BITMAP bitmap{};
  (void)::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
  EXPECT_EQ(bitmap.bmWidth, ::GetSystemMetrics(SM_CXICON));
  if (info.hbmColor) (void)::DeleteObject(info.hbmColor);
  (void)::DeleteObject(info.hbmMask);
  EXPECT_FALSE(IconToPicture(nullptr));
}

// The CPU panel on a panel of a plain hidden window that hands it the list's
// notifications, with a table and a ledger of its own. Limits go to a throttle that
// accepts them all, unless a test makes a panel with the system's own.
class CpuPanelTest : public ::testing::Test {
 protected:
  static LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY && current_ && current_->cpu_ &&
        current_->cpu_->OnNotify(*reinterpret_cast<const NMHDR*>(lParam))) {
      return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
  }
  void MakePanel(engine::ProcessSource* source = nullptr, bool systemThrottle = false) {
    cpu_.reset();
    cpu_ = std::make_unique<CpuPanel>(panel_, fonts_, table_, ledger_, keeper_, source,
                                      systemThrottle ? nullptr : &throttle_);
    ASSERT_TRUE(cpu_->Create());
    cpu_->showWarning = [this](std::wstring_view text) { warnings_.emplace_back(text); };
    cpu_->dialogOpening = [this](Dialog& dialog) {
      ++dialogs_;
      if (onDialog_) onDialog_(dialog);
    };
  }
  void SetUp() override {
    current_ = this;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuorvantCpuPanelTestForm";
    (void)::RegisterClassExW(&wc);
    owner_ = ::CreateWindowExW(0, wc.lpszClassName, L"cpu", WS_POPUP, 0, 0, 500, 380, nullptr,
                               nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(owner_) << "CreateWindowExW: " << ::GetLastError();
    ASSERT_TRUE(panel_.Create(owner_, 0, 0, 489, 361));
    MakePanel();
  }
  void TearDown() override {
    cpu_.reset();
    (void)::DestroyWindow(owner_);
    PumpMessages();
    current_ = nullptr;
  }

  int RowOf(DWORD id) const {
    const ListView list = cpu_->List();
    for (int row = 0; row < list.Count(); ++row) {
      if (list.Text(row, kPid) == std::to_wstring(id)) return row;
    }
    return -1;
  }
  // Selects the row of process id and runs "Limit"; the dialog, if one opens, gets act.
  void Limit(DWORD id, std::function<void(Dialog&)> act) {
    const int row = RowOf(id);
    ASSERT_GE(row, 0) << id;
    cpu_->List().Select(row);
    onDialog_ = std::move(act);
    cpu_->CommandLimitProcessCpuClick();
    onDialog_ = nullptr;
  }
  std::wstring LimitedText(DWORD id) const {
    const int row = RowOf(id);
    return row < 0 ? L"(no row)" : cpu_->List().Text(row, kLimited);
  }

  // Clicks a dialog button as the mouse would, through the dialog's own loop.
  static void Click(Command& button) {
    (void)::PostMessageW(button.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    (void)::PostMessageW(button.Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  }
  // Moves the slider as the keyboard or mouse would: the dialog hears of it.
  static void Slide(Dialog& dialog, int value) {
    dialog.Slider().SetPosition(value);
    (void)::SendMessageW(dialog.Hwnd(), WM_HSCROLL, TB_THUMBPOSITION,
                         reinterpret_cast<LPARAM>(dialog.Slider().Hwnd()));
  }
  // The dialog itself is not shown yet when it is handed over: its buttons' own flags tell.
  static bool Shown(Command& button) {
    return (::GetWindowLongW(button.Hwnd(), GWL_STYLE) & WS_VISIBLE) != 0;
  }

  static inline CpuPanelTest* current_ = nullptr;
  HWND owner_ = nullptr;
  Panel panel_;
  FontCache fonts_;
  LimitSlotTable table_;
  EffectLedger ledger_;
  // Keeps no file and has no watcher: the system's throttle shares its jobs with no one.
  LedgerKeeper keeper_;
  AcceptingThrottle throttle_;
  std::unique_ptr<CpuPanel> cpu_;
  std::vector<std::wstring> warnings_;
  int dialogs_ = 0;
  std::function<void(Dialog&)> onDialog_;
};

TEST_F(CpuPanelTest, RefreshListsProcessesWithIconsAndScrollsToTheLastRow) {
  cpu_->CommandRefreshProcessClick();
  const ListView list = cpu_->List();
  const int count = list.Count();
  ASSERT_GT(count, 1);
  for (int row = 0; row < count; ++row) {
    EXPECT_EQ(list.Text(row, 0), std::to_wstring(row + 1));
    EXPECT_FALSE(list.Text(row, kProcess).empty());
    EXPECT_EQ(list.Text(row, kLimited), L"");
  }
  EXPECT_GE(RowOf(::GetCurrentProcessId()), 0);
  EXPECT_EQ(::SendMessageW(list.Hwnd(), LVM_GETIMAGELIST, LVSIL_SMALL, 0),
            reinterpret_cast<LRESULT>(cpu_->Images()));
  // Each row's icon is the image under its key ("P2" for the first row); rows of one
  // program share one image.
  EXPECT_EQ(cpu_->ImageIndex(L"P2"), 0);
  const int images = ::ImageList_GetImageCount(cpu_->Images());
  EXPECT_GT(images, 0);
  EXPECT_LE(images, count);
  for (int row = 0; row < count; ++row) {
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    ASSERT_TRUE(::SendMessageW(list.Hwnd(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    EXPECT_EQ(item.iImage, cpu_->ImageIndex(engine::ImageKey(row + 1))) << row;
    EXPECT_GE(item.iImage, 0) << row;
  }
  // Scrolled to the end, and nothing is selected after a rebuild.
  const auto top = ::SendMessageW(list.Hwnd(), LVM_GETTOPINDEX, 0, 0);
  const auto perPage = ::SendMessageW(list.Hwnd(), LVM_GETCOUNTPERPAGE, 0, 0);
  EXPECT_GE(top + perPage, count);
  EXPECT_EQ(list.Selected(), -1);

  // A second rebuild starts from an empty list and keeps the images it still shows.
  cpu_->CommandRefreshProcessClick();
  EXPECT_EQ(list.Count() > 0 ? cpu_->ImageIndex(L"P2") : 0, 0);
  EXPECT_LE(::ImageList_GetImageCount(cpu_->Images()), list.Count());
}

// The start-up's rebuild leaves the icons for later: rows, numbers and limit marks at once;
// then the same images under the same keys as a full rebuild gives.
TEST_F(CpuPanelTest, StartUpRebuildPutsTheIconsInAfterwards) {
  ASSERT_TRUE(table_.Take(*IdentityOfId(::GetCurrentProcessId()), L"c:\\test.exe", 40));
  cpu_->RefreshWithoutIcons();
  const ListView list = cpu_->List();
  const int count = list.Count();
  ASSERT_GT(count, 1);
  auto image = [&](int row) {
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    (void)::SendMessageW(list.Hwnd(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return item.iImage;
  };
  EXPECT_TRUE(cpu_->IconsPending());
  EXPECT_EQ(::ImageList_GetImageCount(cpu_->Images()), 0);
  EXPECT_EQ(LimitedText(::GetCurrentProcessId()), L"40%") << "marked without waiting";
  for (int row = 0; row < count; ++row) {
    EXPECT_EQ(list.Text(row, 0), std::to_wstring(row + 1));
    EXPECT_EQ(image(row), I_IMAGENONE);
  }

  cpu_->FillPendingIcons();
  EXPECT_FALSE(cpu_->IconsPending());
  EXPECT_GT(::ImageList_GetImageCount(cpu_->Images()), 0);
  EXPECT_EQ(::SendMessageW(list.Hwnd(), LVM_GETIMAGELIST, LVSIL_SMALL, 0),
            reinterpret_cast<LRESULT>(cpu_->Images()));
  // Each process's row, by its id.
  auto rows = [&] {
    std::map<std::wstring, std::wstring> byId;
    for (int row = 0; row < list.Count(); ++row) {
      EXPECT_EQ(image(row), cpu_->ImageIndex(engine::ImageKey(row + 1))) << "row " << row;
      EXPECT_GE(image(row), 0) << "row " << row;
      byId[list.Text(row, kPid)] = list.Text(row, kProcess) + L" " + list.Text(row, kLimited) +
                                   L" " + std::to_wstring(image(row));
    }
    return byId;
  };
  const auto first = rows();

  // A full rebuild gives the same rows and images to the processes still there (Wine's own
  // may come and go meanwhile); one that comes before the icons leaves nothing for them to
  // fill.
  cpu_->RefreshWithoutIcons();
  cpu_->CommandRefreshProcessClick();
  EXPECT_FALSE(cpu_->IconsPending());
  cpu_->FillPendingIcons();
  const auto second = rows();
  int same = 0;
  for (const auto& [id, row] : second) {
    const auto before = first.find(id);
    if (before == first.end()) continue;
    ++same;
    EXPECT_EQ(row, before->second) << "process " << id;
  }
  EXPECT_GT(same, 1);
}

TEST_F(CpuPanelTest, NewLimitThroughOkThenAdjustmentThenRelease) {
  cpu_->CommandRefreshProcessClick();
  const DWORD self = ::GetCurrentProcessId();

  bool ownerEnabledWhileShown = true;
  Limit(self, [&](Dialog& dialog) {
    EXPECT_TRUE(Shown(dialog.Button(Dialog::kIdOk)));
    EXPECT_TRUE(Shown(dialog.Button(Dialog::kIdCancel)));
    EXPECT_FALSE(Shown(dialog.Button(Dialog::kIdModify)));
    EXPECT_FALSE(Shown(dialog.Button(Dialog::kIdFree)));
    EXPECT_EQ(dialog.Slider().Position(), 99);
    EXPECT_EQ(dialog.PercentLabel().Text(), L"99");
    EXPECT_EQ(dialog.PidLabel().Text(), std::to_wstring(self));
    EXPECT_EQ(dialog.PathLabel().Text(), ThisExeLower());
    EXPECT_TRUE(dialog.Icon());
    wchar_t caption[64]{};
    (void)::GetWindowTextW(dialog.Hwnd(), caption, 64);
    EXPECT_STREQ(caption, L"Limit process CPU usage");
    EXPECT_EQ(::GetWindow(dialog.Hwnd(), GW_OWNER), owner_);
    Slide(dialog, 40);
    EXPECT_EQ(dialog.PercentLabel().Text(), L"40");
    auto& ok = dialog.Button(Dialog::kIdOk).Events().click;
    ok = [&, original = ok] {
      ownerEnabledWhileShown = ::IsWindowEnabled(owner_) != FALSE;
      original();
    };
    Click(dialog.Button(Dialog::kIdOk));
  });
  EXPECT_EQ(dialogs_, 1);
  EXPECT_FALSE(ownerEnabledWhileShown);
  EXPECT_TRUE(::IsWindowEnabled(owner_));
  EXPECT_FALSE(cpu_->LimitDialog());
  EXPECT_EQ(LimitedText(self), L"40%");
  EXPECT_TRUE(table_[1].InUse);
  EXPECT_EQ(table_[1].ProcessID, self);
  EXPECT_EQ(table_[1].LimitPercent, 40);
  EXPECT_EQ(table_[1].ProcessPath, ThisExeLower());
  EXPECT_EQ(cpu_->TimerCpuTick(), 1);
  EXPECT_EQ(cpu_->LimitedCountLabel().Text(), L"1");

  // A marked row opens in existing-limit mode at its percent.
  Limit(self, [&](Dialog& dialog) {
    EXPECT_FALSE(Shown(dialog.Button(Dialog::kIdOk)));
    EXPECT_FALSE(Shown(dialog.Button(Dialog::kIdCancel)));
    EXPECT_TRUE(Shown(dialog.Button(Dialog::kIdModify)));
    EXPECT_TRUE(Shown(dialog.Button(Dialog::kIdFree)));
    EXPECT_EQ(dialog.Slider().Position(), 40);
    EXPECT_EQ(dialog.PercentLabel().Text(), L"40");
    Slide(dialog, 65);
    Click(dialog.Button(Dialog::kIdModify));
  });
  EXPECT_EQ(LimitedText(self), L"65%");
  EXPECT_EQ(table_[1].LimitPercent, 65);

  // The list keeps its marks across a rebuild.
  cpu_->CommandRefreshProcessClick();
  EXPECT_EQ(LimitedText(self), L"65%");

  cpu_->List().Select(RowOf(self));
  Limit(self, [&](Dialog& dialog) { Click(dialog.Button(Dialog::kIdFree)); });
  EXPECT_EQ(LimitedText(self), L"");
  EXPECT_FALSE(table_[1].InUse);
  EXPECT_EQ(table_[1].ProcessID, self);  // kept until the slot is reused
  EXPECT_EQ(cpu_->TimerCpuTick(), 0);
  EXPECT_EQ(cpu_->LimitedCountLabel().Text(), L"0");
  EXPECT_EQ(dialogs_, 3);
}

TEST_F(CpuPanelTest, CancelAndTheFrameCloseChangeNothing) {
  cpu_->CommandRefreshProcessClick();
  const DWORD self = ::GetCurrentProcessId();
  Limit(self, [&](Dialog& dialog) {
    Slide(dialog, 10);
    Click(dialog.Button(Dialog::kIdCancel));
  });
  Limit(self, [&](Dialog& dialog) { (void)::PostMessageW(dialog.Hwnd(), WM_CLOSE, 0, 0); });
  EXPECT_EQ(dialogs_, 2);
  EXPECT_EQ(LimitedText(self), L"");
  EXPECT_FALSE(table_[1].InUse);
  EXPECT_TRUE(::IsWindowEnabled(owner_));
}

TEST_F(CpuPanelTest, FourthLimitIsRefusedAndNothingHappensWithoutASelection) {
  cpu_->CommandRefreshProcessClick();
  for (int slot = 1; slot <= 3; ++slot) {
    table_[slot] = {true, 900000u + slot, 50, L"x", {900000u + slot, 1}};
  }
  Limit(::GetCurrentProcessId(), [](Dialog&) {});
  EXPECT_EQ(warnings_, std::vector<std::wstring>{L"Can not limit more"});
  EXPECT_EQ(dialogs_, 0);
  EXPECT_EQ(LimitedText(::GetCurrentProcessId()), L"");

  // Rows present, none selected: no dialog, no message.
  table_[1].InUse = false;
  cpu_->CommandRefreshProcessClick();
  ASSERT_EQ(cpu_->List().Selected(), -1);
  cpu_->CommandLimitProcessCpuClick();
  EXPECT_EQ(dialogs_, 0);
  EXPECT_EQ(warnings_.size(), 1u);
}

TEST_F(CpuPanelTest, DoubleClickOnTheListActsLikeLimit) {
  cpu_->CommandRefreshProcessClick();
  cpu_->List().Select(RowOf(::GetCurrentProcessId()));
  onDialog_ = [](Dialog& dialog) { Click(dialog.Button(Dialog::kIdCancel)); };
  NMITEMACTIVATE activate{};
  activate.hdr = {cpu_->List().Hwnd(), CpuPanel::kIdList, static_cast<UINT>(NM_DBLCLK)};
  activate.iItem = RowOf(::GetCurrentProcessId());
  EXPECT_TRUE(cpu_->OnNotify(activate.hdr));
  EXPECT_EQ(dialogs_, 1);
  NMHDR other{owner_, 0, static_cast<UINT>(NM_DBLCLK)};
  EXPECT_FALSE(cpu_->OnNotify(other));
  EXPECT_EQ(dialogs_, 1);
}

TEST_F(CpuPanelTest, EndedProcessLosesItsSlotAtTheNextRefresh) {
  ChildProcess child;
  ASSERT_NE(child.Id(), 0u);
  ASSERT_TRUE(WaitListable(child.Id()));
  cpu_->CommandRefreshProcessClick();
  Limit(child.Id(), [](Dialog& dialog) {
    EXPECT_EQ(LowerFileName(dialog.PathLabel().Text()), dialog.PathLabel().Text());
    Click(dialog.Button(Dialog::kIdOk));
  });
  EXPECT_EQ(LimitedText(child.Id()), L"99%");
  EXPECT_EQ(cpu_->TimerCpuTick(), 1);

  const DWORD id = child.Id();
  child.End();
  EXPECT_EQ(cpu_->TimerCpuTick(), 1);  // nothing changes before a refresh
  cpu_->CommandRefreshProcessClick();
  EXPECT_EQ(RowOf(id), -1);
  EXPECT_FALSE(table_[1].InUse);
  EXPECT_EQ(cpu_->TimerCpuTick(), 0);
  EXPECT_EQ(cpu_->LimitedCountLabel().Text(), L"0");
}

// Dragged onto a monitor of another scale the dialog hears WM_DPICHANGED of its own (Wine,
// whose monitors share one scale, never sends it) and lays itself out at that scale.
TEST_F(CpuPanelTest, TheDialogFollowsTheScaleOfItsMonitor) {
  cpu_->CommandRefreshProcessClick();
  struct Seen {
    RECT window;
    SIZE client;
    RECT ok;
    LONG fontHeight;
  };
  auto look = [](Dialog& dialog) {
    Seen seen{};
    (void)::GetWindowRect(dialog.Hwnd(), &seen.window);
    RECT client{};
    (void)::GetClientRect(dialog.Hwnd(), &client);
    seen.client = {client.right, client.bottom};
    (void)::GetWindowRect(dialog.Button(Dialog::kIdOk).Hwnd(), &seen.ok);
    (void)::MapWindowPoints(nullptr, dialog.Hwnd(), reinterpret_cast<POINT*>(&seen.ok), 2);
    LOGFONTW font{};
    (void)::GetObjectW(
        reinterpret_cast<HFONT>(::SendMessageW(dialog.PidLabel().Hwnd(), WM_GETFONT, 0, 0)),
        sizeof(font), &font);
    seen.fontHeight = font.lfHeight;
    return seen;
  };
  auto change = [](Dialog& dialog, int dpi, POINT at) {
    const RECT suggested{at.x, at.y, at.x + 1, at.y + 1};  // only its place is taken
    (void)::SendMessageW(dialog.Hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                         reinterpret_cast<LPARAM>(&suggested));
  };
  Limit(::GetCurrentProcessId(), [&](Dialog& dialog) {
    // Opened on Wine's one monitor, at its scale.
    EXPECT_EQ(dialog.Dpi(), 96);
    const Seen fresh = look(dialog);
    EXPECT_EQ(fresh.client.cx, 474);  // 7110 x 3555 twips
    EXPECT_EQ(fresh.client.cy, 237);

    change(dialog, 144, {60, 50});
    EXPECT_EQ(dialog.Dpi(), 144);
    const Seen at144 = look(dialog);
    EXPECT_EQ(at144.window.left, 60);
    EXPECT_EQ(at144.window.top, 50);
    EXPECT_EQ(at144.client.cx, 711);
    EXPECT_EQ(at144.client.cy, 356);
    EXPECT_EQ(at144.ok.left, 204);  // 2040, 2640, 1335 x 375 twips
    EXPECT_EQ(at144.ok.top, 264);
    EXPECT_EQ(at144.ok.right - at144.ok.left, 134);
    EXPECT_EQ(at144.ok.bottom - at144.ok.top, 38);
    EXPECT_EQ(at144.fontHeight, -15);  // 7.5 pt

    change(dialog, 96, {fresh.window.left, fresh.window.top});
    const Seen back = look(dialog);
    EXPECT_TRUE(::EqualRect(&back.window, &fresh.window));
    EXPECT_EQ(back.client.cx, fresh.client.cx);
    EXPECT_EQ(back.client.cy, fresh.client.cy);
    EXPECT_TRUE(::EqualRect(&back.ok, &fresh.ok));
    EXPECT_EQ(back.fontHeight, fresh.fontHeight);
    Click(dialog.Button(Dialog::kIdCancel));
  });
  EXPECT_EQ(dialogs_, 1);
}

TEST_F(CpuPanelTest, TheDialogActsOnItsOwnProcessWhereverTheSelectionGoes) {
  ChildProcess child;
  ASSERT_NE(child.Id(), 0u);
  ASSERT_TRUE(WaitListable(child.Id()));
  cpu_->CommandRefreshProcessClick();
  const DWORD self = ::GetCurrentProcessId();

  // Another row is selected while the dialog is open (a queued click, another program).
  Limit(child.Id(), [&](Dialog& dialog) {
    cpu_->List().Select(RowOf(self));
    Slide(dialog, 30);
    Click(dialog.Button(Dialog::kIdOk));
  });
  EXPECT_EQ(LimitedText(child.Id()), L"30%");
  EXPECT_EQ(LimitedText(self), L"");
  EXPECT_EQ(throttle_.held, std::vector<DWORD>{child.Id()});
  EXPECT_EQ(cpu_->TimerCpuTick(), 1);

  // A rebuild while it is open leaves no row selected; the mark still finds its row.
  Limit(child.Id(), [&](Dialog& dialog) {
    cpu_->CommandRefreshProcessClick();
    Slide(dialog, 45);
    Click(dialog.Button(Dialog::kIdModify));
  });
  EXPECT_EQ(LimitedText(child.Id()), L"45%");
  EXPECT_EQ(cpu_->TimerCpuTick(), 1);

  Limit(child.Id(), [&](Dialog& dialog) {
    cpu_->List().Select(RowOf(self));
    Click(dialog.Button(Dialog::kIdFree));
  });
  EXPECT_EQ(LimitedText(child.Id()), L"");
  EXPECT_TRUE(throttle_.held.empty());
  EXPECT_EQ(cpu_->TimerCpuTick(), 0);
  EXPECT_TRUE(ledger_.Empty());
  EXPECT_EQ(dialogs_, 3);
}

TEST_F(CpuPanelTest, ALimitTheSystemRefusesIsToldAndLeavesNothingBehind) {
  MakePanel(nullptr, true);
  ChildProcess child;
  const DWORD id = child.Id();
  ASSERT_TRUE(WaitListable(id));
  cpu_->CommandRefreshProcessClick();
  // The process ends between the row and "OK".
  Limit(id, [&](Dialog& dialog) {
    child.End();
    Click(dialog.Button(Dialog::kIdOk));
  });
  EXPECT_EQ(warnings_,
            std::vector<std::wstring>{L"Could not limit cmd.exe (PID " + std::to_wstring(id) +
                                      L"): the process has ended."});
  EXPECT_EQ(LimitedText(id), L"");
  EXPECT_FALSE(table_[1].InUse);
  EXPECT_EQ(cpu_->TimerCpuTick(), 0);
  EXPECT_TRUE(ledger_.Empty());
}

// Lists only this test's own process, so the list has an empty strip below its row.
class ThisProcessOnly final : public engine::ProcessSource {
 public:
  void ForEachProcess(const std::function<void(const Process&)>& visit) override {
    system_.ForEachProcess([&](const Process& p) {
      if (p.id == ::GetCurrentProcessId()) visit(p);
    });
  }
  void ForEachModulePath(std::uint32_t id,
                         const std::function<bool(std::wstring_view)>& visit) override {
    system_.ForEachModulePath(id, visit);
  }
  std::wstring ImagePath(std::uint32_t id) override { return system_.ImagePath(id); }
  std::optional<ProcessIdentity> Identify(std::uint32_t id) override {
    return system_.Identify(id);
  }
  std::wstring Lower(std::wstring_view text) override { return system_.Lower(text); }
  std::wstring Upper(std::wstring_view text) override { return system_.Upper(text); }

 private:
  ToolhelpProcessSource system_;
};

TEST_F(CpuPanelTest, DoubleClickOnTheEmptyStripActsOnTheRowSelectedBefore) {
  ThisProcessOnly source;
  MakePanel(&source);
  cpu_->CommandRefreshProcessClick();
  ASSERT_EQ(cpu_->List().Count(), 1);
  cpu_->List().Select(0);
  onDialog_ = [](Dialog& dialog) {
    EXPECT_EQ(dialog.PidLabel().Text(), std::to_wstring(::GetCurrentProcessId()));
    Click(dialog.Button(Dialog::kIdCancel));
  };
  RECT client{};
  (void)::GetClientRect(cpu_->List().Hwnd(), &client);
  const LPARAM below = MAKELPARAM(20, client.bottom - 10);
  const HWND list = cpu_->List().Hwnd();
  (void)::PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, below);
  (void)::PostMessageW(list, WM_LBUTTONUP, 0, below);
  (void)::PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, below);
  (void)::PostMessageW(list, WM_LBUTTONUP, 0, below);
  EXPECT_TRUE(PumpUntil([&] { return dialogs_ == 1; }, std::chrono::seconds(10)));
  PumpMessages();
  EXPECT_EQ(dialogs_, 1);
}

// A rule applied, changed or lifted on a listed process shows in "CPU Usage limited" at once,
// told by the keeper: no Refresh, no polling of the list. A table limit's mark stays.
TEST_F(CpuPanelTest, ARulesLimitShowsInItsRowAsTheKeeperAppliesOrLiftsIt) {
  using namespace std::chrono_literals;
  ChildProcess ruled, tabled;  // cmd.exe, both
  ASSERT_TRUE(WaitListable(ruled.Id()));
  ASSERT_TRUE(WaitListable(tabled.Id()));
  wchar_t temp[MAX_PATH]{};
  (void)::GetTempPathW(MAX_PATH, temp);
  const std::wstring config = std::wstring(temp) + L"quorvant-cpu-panel-rules-" +
                              std::to_wstring(::GetCurrentProcessId()) + L".ini";
  (void)::DeleteFileW(config.c_str());
  {
    RuleKeeper keeper(config, ledger_, cpu_->Throttle(), table_);
    cpu_->SetRules(&keeper);
    keeper.limitsChanged = [this](const std::vector<ProcessIdentity>& processes) {
      cpu_->ShowRuleMarks(processes);
    };
    keeper.Start();
    cpu_->CommandRefreshProcessClick();
    ASSERT_EQ(LimitedText(ruled.Id()), L"");
    Limit(tabled.Id(), [](Dialog& dialog) {
      Slide(dialog, 50);
      dialog.Button(Dialog::kIdOk).Events().click();
    });
    ASSERT_EQ(LimitedText(tabled.Id()), L"50%");

    ASSERT_EQ(keeper.Add({L"cmd.exe", 20, std::nullopt, false}), std::nullopt);
    EXPECT_EQ(LimitedText(ruled.Id()), L"20% rule");
    EXPECT_EQ(LimitedText(tabled.Id()), L"50%") << "the table's limit stands";
    const std::wstring key = keeper.Book().Rules()[0].key;
    ASSERT_EQ(keeper.Change(key, {L"cmd.exe", 30, std::nullopt, false}), std::nullopt);
    EXPECT_EQ(LimitedText(ruled.Id()), L"30% rule");

    // A process the keeper's own walk finds, hidden or shown.
    ChildProcess later;
    ASSERT_TRUE(WaitListable(later.Id()));
    cpu_->CommandRefreshProcessClick();
    EXPECT_TRUE(PumpUntil([&] { return LimitedText(later.Id()) == L"30% rule"; }, 5s))
        << LimitedText(later.Id());

    ASSERT_EQ(keeper.Remove(key), std::nullopt);
    EXPECT_EQ(LimitedText(ruled.Id()), L"");
    EXPECT_EQ(LimitedText(later.Id()), L"");
    EXPECT_EQ(LimitedText(tabled.Id()), L"50%");
    cpu_->SetRules(nullptr);
  }
  (void)::DeleteFileW(config.c_str());
}

// An executable in a folder with letters beyond A-Z is listed by its path in lower case.
// (Wine starts no program from a path longer than MAX_PATH, so the image-name fallback for
// such paths is checked with a fake source.)
TEST(ToolhelpProcessSourceTest, ListsANonAsciiPathInLowerCase) {
  wchar_t temp[MAX_PATH]{};
  (void)::GetTempPathW(MAX_PATH, temp);
  const std::wstring folder =
      std::wstring(temp) + L"quorvant-\u00C4PFEL-" + std::to_wstring(::GetCurrentProcessId());
  const std::wstring exe = folder + L"\\\u00C4PFEL-\u03A9mega.exe";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr))
      << "CreateDirectoryW: " << ::GetLastError();
  ASSERT_TRUE(::CopyFileW(ChildProcess::SystemCmd().c_str(), exe.c_str(), FALSE))
      << "CopyFileW: " << ::GetLastError();
  {
    ChildProcess child(exe);
    ASSERT_NE(child.Id(), 0u);
    ToolhelpProcessSource source;
    std::wstring listed;
    EXPECT_TRUE(PumpUntil(
        [&] {
          (void)engine::BuildProcessList(source, [&](const engine::ListedProcess& row) {
            if (row.id == child.Id()) listed = row.path;
          });
          return !listed.empty();
        },
        std::chrono::seconds(10)));
    EXPECT_NE(listed.find(L"\\quorvant-\u00E4pfel-"), std::wstring::npos);
    EXPECT_NE(listed.find(L"\\\u00E4pfel-\u03C9mega.exe"), std::wstring::npos);
    EXPECT_EQ(listed, LowerFileName(exe));
  }
  (void)::DeleteFileW(exe.c_str());
  (void)::RemoveDirectoryW(folder.c_str());
}

// The system's own limits on a burner child: the job cap where the system offers it, the
// duty cycle where it does not (Wine). The share of one core is read from /proc.
TEST(ProcessThrottleTest, LimitsABurnerAndLetsItGoOnReleaseAndAtTheEnd) {
  if (!testing_support::UnderWine()) GTEST_SKIP() << testing_support::kNeedsLinuxProc;
  using namespace std::chrono_literals;
  Burner burner;
  ASSERT_NE(burner.UnixPid(), 0u);
  const auto identity = IdentityOfId(burner.Id());
  ASSERT_TRUE(identity);
  const engine::LimitTarget target{*identity, L"burner.exe", L""};
  // What this machine gives a burner unlimited right now: others may be busy too. The
  // shares are checked against it, and against the limit itself when the machine is quiet.
  const double free = burner.Share(2s);
  ASSERT_GT(free, 20.0) << "the machine is too busy to measure";
  const bool quiet = free > 80.0;

  LimitSlotTable table;
  EffectLedger ledger;
  double limitedAgain = 0;
  {
    LedgerKeeper keeper;
    ProcessThrottle throttle(keeper);
    engine::CpuLimits limits(table, ledger, throttle);
    EXPECT_EQ(limits.Ok(target, 30).rowText, L"30%");
    BOOL inJob = FALSE;
    (void)::IsProcessInJob(burner.Handle(), nullptr, &inJob);
    if (ledger.Find(*identity, EffectKind::CpuCap)) {
      EXPECT_TRUE(inJob);
    } else {
      // No cap here: the system said so before the process was put into any job.
      EXPECT_TRUE(ledger.Find(*identity, EffectKind::DutyCycle));
      EXPECT_FALSE(inJob);
      EXPECT_TRUE(throttle.Cycler().Running());
    }
    const double limited = burner.Share(4s);
    EXPECT_LT(limited, free * 0.6);
    if (quiet) {
      EXPECT_GE(limited, 20.0);
      EXPECT_LE(limited, 40.0);
    }

    EXPECT_EQ(limits.Release(target).rowText, L"");
    EXPECT_FALSE(throttle.Cycler().Running());
    EXPECT_TRUE(ledger.Empty());
    // Running freely: well above what the limit gave, and near what it got before.
    EXPECT_GT(burner.Share(2s), std::max(free * 0.5, limited * 1.5));

    // Limited again, then the program's limits end with it.
    EXPECT_EQ(limits.Ok(target, 10).rowText, L"10%");
    limitedAgain = burner.Share(2s);
    EXPECT_LT(limitedAgain, free * 0.3);
  }
  EXPECT_TRUE(ledger.Empty());
  EXPECT_GT(burner.Share(2s), std::max(free * 0.5, limitedAgain * 3));
  if (!quiet) std::printf("shares checked against a free share of %.0f %% only\n", free);
}

// The job that caps a process lets the processes it starts stay out of it: a limit on a
// shell must not cap everything started from it. Wine offers no cap and keeps no limit
// flags, so there only the call that sets them is tried.
TEST(ProcessThrottleTest, ACappedProcessesChildrenStayOutOfItsJob) {
  auto flags = [](HANDLE job) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    if (!::QueryInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                     sizeof(limits), nullptr)) {
      ADD_FAILURE() << "QueryInformationJobObject: " << ::GetLastError();
    }
    return limits.BasicLimitInformation.LimitFlags;
  };
  constexpr DWORD kBreakaway = JOB_OBJECT_LIMIT_BREAKAWAY_OK | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
  const unique_handle own(::CreateJobObjectW(nullptr, nullptr));
  ASSERT_TRUE(own) << ::GetLastError();
  ASSERT_TRUE(LetChildrenOut(own.get())) << ::GetLastError();
  // Wine accepts the flags but keeps none of them (it reports 0 back).
  if (!testing_support::UnderWine()) {
    EXPECT_EQ(flags(own.get()) & kBreakaway, kBreakaway);
  }

  Burner burner;
  const auto identity = IdentityOfId(burner.Id());
  ASSERT_TRUE(identity);
  LedgerKeeper keeper;
  ProcessThrottle throttle(keeper);
  const engine::ThrottleAnswer answer = throttle.Cap(*identity, 50);
  if (answer == engine::ThrottleAnswer::NotOffered) {
    GTEST_SKIP() << "no CPU-rate cap on this system (Wine): no job is made";
  }
  ASSERT_EQ(answer, engine::ThrottleAnswer::Done);
  int jobs = 0;
  for (int slot = 0; slot < 16; ++slot) {
    if (const HANDLE job = limit_handles::Job(slot)) {
      ++jobs;
      EXPECT_EQ(flags(job) & kBreakaway, kBreakaway);
    }
  }
  EXPECT_EQ(jobs, 1);
  throttle.Uncap(*identity);
}

// A limited process that ends is told at once from the limits' own thread, whatever the
// window does (hidden, its timers stop): its limit is forgotten and, for a duty cycle, the
// cycle's thread ends, so nothing wakes the program for it any more.
TEST(ProcessThrottleTest, ALimitedProcessThatEndsIsToldAtOnce) {
  Burner burner;
  const auto identity = IdentityOfId(burner.Id());
  ASSERT_TRUE(identity);
  LimitSlotTable table;
  EffectLedger ledger;
  LedgerKeeper keeper;
  ProcessThrottle throttle(keeper);
  std::atomic<int> told{0};
  throttle.OnEnded([&] { ++told; });
  engine::CpuLimits limits(table, ledger, throttle);
  ASSERT_EQ(limits.Ok({*identity, L"burner.exe", L""}, 30).rowText, L"30%");
  EXPECT_EQ(told.load(), 0);

  burner.End();
  EXPECT_TRUE(PumpUntil([&] { return told.load() > 0; }, std::chrono::seconds(5)));
  limits.ForgetEnded();
  EXPECT_TRUE(ledger.Empty());
  EXPECT_FALSE(throttle.Cycler().Running());
  // Its slot is freed by the next rebuild of the list, as the count always showed.
  EXPECT_EQ(table.CountInUse(), 1);
}

// A fault in the program's own code while it holds a process suspended: the process runs
// again once the program has died, whether it died through std::terminate or an access
// violation.
TEST(LimitRescueTest, AProcessHeldInADutyCycleRunsAgainAfterAFault) {
  if (!testing_support::UnderWine()) GTEST_SKIP() << testing_support::kNeedsLinuxProc;
  using namespace std::chrono_literals;
  struct Case {
    const wchar_t* how;
    DWORD exitCode;  // what the program dies with
  };
  const Case cases[] = {{L"terminate", 3u},
                        {L"fault", static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION)}};
  for (const auto& [how, exitCode] : cases) {
    Burner burner;
    ASSERT_NE(burner.UnixPid(), 0u);
    const double free = burner.Share(1s);
    ASSERT_GT(free, 20.0);
    std::wstring command = L"rescue_probe.exe " + std::to_wstring(burner.Id()) + L" " + how;
    const std::wstring exe = Burner::BesideThisProgram(L"rescue_probe.exe");
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION probe{};
    ASSERT_TRUE(::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE,
                                 CREATE_NO_WINDOW, nullptr, nullptr, &startup, &probe))
        << "CreateProcessW: " << ::GetLastError();
    EXPECT_EQ(::WaitForSingleObject(probe.hProcess, 20000), WAIT_OBJECT_0) << how;
    DWORD code = 0;
    (void)::GetExitCodeProcess(probe.hProcess, &code);
    (void)::CloseHandle(probe.hProcess);
    (void)::CloseHandle(probe.hThread);
    // It died of its fault, not of a refused limit.
    EXPECT_EQ(code, exitCode) << how;
    EXPECT_GT(burner.Share(2s), free * 0.5) << how;
  }
}

}  // namespace
}  // namespace quorvant::win32
