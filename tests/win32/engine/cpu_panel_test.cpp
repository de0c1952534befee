#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/win32/panel.h"
#include "engine/core/process_list.h"
#include "engine/win32/cpu_panel.h"
#include "engine/win32/module_get_file_icon.h"
#include "tests/support/child_process.h"
#include "tests/win32/support/message_pump.h"

namespace quorvant::win32 {
namespace {

using test_support::PumpMessages;
using test_support::PumpUntil;

using testing_support::ChildProcess;

using Dialog = FormSetProcessCpuPercent;
constexpr int kPid = 1;
constexpr int kProcess = 2;
constexpr int kLimited = 3;

std::wstring ThisExeLower() {
  wchar_t path[MAX_PATH]{};
  (void)::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return engine::ToLower(path);
}

// Waits until the process's modules can be read, so it can be listed.
bool WaitListable(DWORD id) {
  ToolhelpProcessSource source;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (!engine::GetProcessPath(source, id, L"cmd.exe").empty()) return true;
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
    return engine::ToLower(row.name) == L"services.exe" ||
           engine::ToLower(row.name) == L"explorer.exe";
  }));
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].path, engine::ToLower(rows[i].path)) << rows[i].name;
    EXPECT_EQ(rows[i].number, static_cast<int>(i) + 1);
  }
}

TEST(ModuleGetFileIconTest, SmallAndLargeIconsOfAnExecutable) {
  const IconPicture small = GetFileIcon(ThisExeLower(), true);
  const IconPicture large = GetFileIcon(ThisExeLower(), false);
  ASSERT_TRUE(small);
  ASSERT_TRUE(large);
  ICONINFO info{};
  ASSERT_TRUE(::GetIconInfo(large.get(), &info));
  BITMAP bitmap{};
  (void)::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
  EXPECT_EQ(bitmap.bmWidth, ::GetSystemMetrics(SM_CXICON));
  if (info.hbmColor) (void)::DeleteObject(info.hbmColor);
  (void)::DeleteObject(info.hbmMask);
  EXPECT_FALSE(IconToPicture(nullptr));
}

// The CPU panel on a panel of a plain hidden window, with a table of its own.
class CpuPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuorvantCpuPanelTestForm";
    (void)::RegisterClassExW(&wc);
    owner_ = ::CreateWindowExW(0, wc.lpszClassName, L"cpu", WS_POPUP, 0, 0, 500, 380, nullptr,
                               nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(owner_);
    ASSERT_TRUE(panel_.Create(owner_, 0, 0, 489, 361));
    cpu_ = std::make_unique<CpuPanel>(panel_, fonts_, table_);
    ASSERT_TRUE(cpu_->Create());
    cpu_->showWarning = [this](std::wstring_view text) { warnings_.emplace_back(text); };
    cpu_->dialogOpening = [this](Dialog& dialog) {
      ++dialogs_;
      if (onDialog_) onDialog_(dialog);
    };
  }
  void TearDown() override {
    cpu_.reset();
    (void)::DestroyWindow(owner_);
    PumpMessages();
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

  HWND owner_ = nullptr;
  Panel panel_;
  FontCache fonts_;
  LimitSlotTable table_;
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
  // The first row's icon is the image with key "P2"; every row holds its own image.
  EXPECT_EQ(cpu_->ImageIndex(L"P2"), 0);
  EXPECT_EQ(::ImageList_GetImageCount(cpu_->Images()), count);
  LVITEMW item{};
  item.mask = LVIF_IMAGE;
  item.iItem = count - 1;
  ASSERT_TRUE(::SendMessageW(list.Hwnd(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  EXPECT_EQ(item.iImage, cpu_->ImageIndex(engine::ImageKey(count)));
  // Scrolled to the end, and nothing is selected after a rebuild.
  const auto top = ::SendMessageW(list.Hwnd(), LVM_GETTOPINDEX, 0, 0);
  const auto perPage = ::SendMessageW(list.Hwnd(), LVM_GETCOUNTPERPAGE, 0, 0);
  EXPECT_GE(top + perPage, count);
  EXPECT_EQ(list.Selected(), -1);

  // A second rebuild starts from an empty list and image list.
  cpu_->CommandRefreshProcessClick();
  EXPECT_EQ(::ImageList_GetImageCount(cpu_->Images()), list.Count());
}

// The start-up's rebuild leaves the icons for later: rows, numbers and limit marks at once;
// then the same images under the same keys as a full rebuild gives.
TEST_F(CpuPanelTest, StartUpRebuildPutsTheIconsInAfterwards) {
  ASSERT_TRUE(table_.Take(::GetCurrentProcessId(), L"c:\\test.exe", 40));
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
  EXPECT_EQ(::ImageList_GetImageCount(cpu_->Images()), count);
  EXPECT_EQ(::SendMessageW(list.Hwnd(), LVM_GETIMAGELIST, LVSIL_SMALL, 0),
            reinterpret_cast<LRESULT>(cpu_->Images()));
  std::vector<std::wstring> rows;
  for (int row = 0; row < count; ++row) {
    EXPECT_EQ(image(row), cpu_->ImageIndex(engine::ImageKey(row + 1))) << "row " << row;
    EXPECT_EQ(image(row), row);
    rows.push_back(list.Text(row, kPid) + L" " + list.Text(row, kProcess) + L" " +
                   list.Text(row, kLimited));
  }

  // A full rebuild of the same processes gives the same rows and images; one that comes
  // before the icons leaves nothing for them to fill.
  cpu_->RefreshWithoutIcons();
  cpu_->CommandRefreshProcessClick();
  EXPECT_FALSE(cpu_->IconsPending());
  cpu_->FillPendingIcons();
  ASSERT_EQ(list.Count(), count) << "the processes changed meanwhile";
  EXPECT_EQ(::ImageList_GetImageCount(cpu_->Images()), count);
  for (int row = 0; row < count; ++row) {
    EXPECT_EQ(image(row), row);
    EXPECT_EQ(
        list.Text(row, kPid) + L" " + list.Text(row, kProcess) + L" " + list.Text(row, kLimited),
        rows[static_cast<size_t>(row)]);
  }
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
  for (int slot = 1; slot <= 3; ++slot) table_[slot] = {true, 900000u + slot, 50, L"x"};
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
  NMHDR header{cpu_->List().Hwnd(), CpuPanel::kIdList, static_cast<UINT>(NM_DBLCLK)};
  EXPECT_TRUE(cpu_->OnNotify(header));
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
    EXPECT_EQ(engine::ToLower(dialog.PathLabel().Text()), dialog.PathLabel().Text());
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

}  // namespace
}  // namespace quorvant::win32
