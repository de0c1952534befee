// The process list from one system walk and the image name of each executable, against the
// list as it was built before (a toolhelp snapshot and a module walk per process), and the
// icons the CPU panel keeps between rebuilds.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/win32/font_cache.h"
#include "common/win32/panel.h"
#include "engine/core/effect_ledger.h"
#include "engine/core/limit_slots.h"
#include "engine/core/process_list.h"
#include "shell/win32/cpu_panel.h"
#include "engine/win32/processes.h"
#include "engine/win32/toolhelp_process_source.h"
#include "engine/win32/watcher.h"
#include "tests/support/child_process.h"
#include "tests/win32/support/accepting_throttle.h"
#include "tests/win32/support/message_pump.h"

namespace quorvant::win32 {
namespace {

using testing_support::ChildProcess;
using namespace std::chrono_literals;

// A copy of the system's command interpreter at folder\name, created with its folders and
// removed with them.
class CopiedProgram {
 public:
  CopiedProgram(const std::wstring& relativeFolder, const std::wstring& name) {
    wchar_t temp[MAX_PATH]{};
    (void)::GetTempPathW(MAX_PATH, temp);
    std::wstring folder(temp);
    folder.pop_back();  // its trailing backslash
    std::wstringstream parts(relativeFolder);
    for (std::wstring part; std::getline(parts, part, L'\\');) {
      folder += L"\\" + part;
      if (::CreateDirectoryW(folder.c_str(), nullptr)) folders_.push_back(folder);
    }
    path_ = folder + L"\\" + name;
    copied_ = ::CopyFileW(ChildProcess::SystemCmd().c_str(), path_.c_str(), FALSE) != FALSE;
    if (!copied_) error_ = ::GetLastError();
  }
  ~CopiedProgram() {
    (void)::DeleteFileW(path_.c_str());
    for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) {
      (void)::RemoveDirectoryW(it->c_str());
    }
  }
  const std::wstring& Path() const { return path_; }
  bool Copied() const { return copied_; }
  DWORD Error() const { return error_; }

 private:
  std::wstring path_;
  std::vector<std::wstring> folders_;
  bool copied_ = false;
  DWORD error_ = 0;
};

std::wstring Unique() { return std::to_wstring(::GetCurrentProcessId()); }

std::vector<engine::ListedProcess> List(engine::ProcessSource& source, engine::PathRule rule) {
  std::vector<engine::ListedProcess> rows;
  (void)engine::BuildProcessList(
      source, [&](const engine::ListedProcess& row) { rows.push_back(row); }, rule);
  return rows;
}

std::wstring Describe(const engine::ListedProcess& row) {
  return std::to_wstring(row.number) + L" " + std::to_wstring(row.id) + L" " + row.name + L" " +
         row.path + L" " + row.imageKey;
}

std::vector<std::wstring> Describe(const std::vector<engine::ListedProcess>& rows) {
  std::vector<std::wstring> out;
  for (const auto& row : rows) out.push_back(Describe(row));
  return out;
}

bool Listed(const std::vector<engine::ListedProcess>& rows, DWORD id) {
  for (const auto& row : rows) {
    if (row.id == id) return true;
  }
  return false;
}

TEST(ProcessListWalkTest, OneWalkListsTheSameRowsAsTheModuleWalks) {
  const std::vector<std::unique_ptr<CopiedProgram>> programs = [] {
    std::vector<std::unique_ptr<CopiedProgram>> made;
    made.push_back(std::make_unique<CopiedProgram>(L"quorvant list " + Unique() + L"\\with spaces",
                                                   L"My Tool.exe"));
    made.push_back(std::make_unique<CopiedProgram>(L"quorvant-\u00C4PFEL-" + Unique(),
                                                   L"\u00C4pfel-\u03A9mega.exe"));
    std::wstring deep = L"quorvant-deep-" + Unique();
    for (int level = 1; level <= 12; ++level) deep += L"\\level-" + std::to_wstring(level);
    made.push_back(std::make_unique<CopiedProgram>(deep, L"deep.exe"));
    return made;
  }();
  std::vector<std::unique_ptr<ChildProcess>> children;
  for (const auto& program : programs) {
    ASSERT_TRUE(program->Copied()) << "CopyFile failed: " << program->Error();
    children.push_back(std::make_unique<ChildProcess>(program->Path()));
    ASSERT_NE(children.back()->Id(), 0u) << "CreateProcess failed: " << ::GetLastError();
  }

  ToolhelpProcessSource former;
  SystemProcessSource walk;
  // Each child is listed the former way once its modules can be read.
  for (const auto& child : children) {
    EXPECT_TRUE(test_support::PumpUntil(
        [&] { return Listed(List(former, engine::PathRule::Modules), child->Id()); }, 10s));
  }

  // Wine's own services may start or end a process at any moment: compared only where the
  // former list read before and after the new one is the same.
  bool compared = false;
  for (int attempt = 0; attempt < 10 && !compared; ++attempt) {
    const auto before = Describe(List(former, engine::PathRule::Modules));
    const auto rows = List(walk, engine::PathRule::ImageName);
    const auto after = Describe(List(former, engine::PathRule::Modules));
    if (before != after) continue;
    compared = true;
    EXPECT_EQ(Describe(rows), before);
    for (size_t i = 0; i < programs.size(); ++i) {
      const auto row = std::find_if(rows.begin(), rows.end(),
                                    [&](const auto& r) { return r.id == children[i]->Id(); });
      ASSERT_NE(row, rows.end()) << "child " << i;
      EXPECT_EQ(row->path, LowerFileName(programs[i]->Path()));
      EXPECT_EQ(UpperFileName(row->name),
                UpperFileName(programs[i]->Path().substr(programs[i]->Path().rfind(L'\\') + 1)));
    }
  }
  EXPECT_TRUE(compared) << "the processes kept changing";
}

// The CPU panel on a panel of a plain hidden window, with a table and ledger of its own.
class CpuPanelIconsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuorvantCpuPanelIconsTest";
    (void)::RegisterClassExW(&wc);
    owner_ = ::CreateWindowExW(0, wc.lpszClassName, L"cpu", WS_POPUP, 0, 0, 500, 380, nullptr,
                               nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(owner_) << ::GetLastError();
    ASSERT_TRUE(panel_.Create(owner_, 0, 0, 489, 361));
    cpu_ =
        std::make_unique<CpuPanel>(panel_, fonts_, table_, ledger_, keeper_, nullptr, &throttle_);
    ASSERT_TRUE(cpu_->Create());
  }
  void TearDown() override {
    cpu_.reset();
    (void)::DestroyWindow(owner_);
    test_support::PumpMessages();
  }

  // The paths the list would show now.
  static std::set<std::wstring> Paths() {
    SystemProcessSource source;
    std::set<std::wstring> paths;
    for (const auto& row : List(source, engine::PathRule::ImageName)) paths.insert(row.path);
    return paths;
  }

  HWND owner_ = nullptr;
  Panel panel_;
  FontCache fonts_;
  LimitSlotTable table_;
  EffectLedger ledger_;
  LedgerKeeper keeper_;
  test_support::AcceptingThrottle throttle_;
  std::unique_ptr<CpuPanel> cpu_;
};

TEST_F(CpuPanelIconsTest, IconsAreKeptAcrossRefreshAndDroppedWithTheirProcess) {
  cpu_->CommandRefreshProcessClick();
  ASSERT_GT(cpu_->IconLookups(), 0u);
  // A Refresh where nothing started or ended looks nothing up. Measured only where the
  // paths were the same before, between and after two Refreshes: Wine's services may come
  // and go.
  bool measured = false;
  for (int attempt = 0; attempt < 10 && !measured; ++attempt) {
    const auto before = Paths();
    cpu_->CommandRefreshProcessClick();
    const auto lookups = cpu_->IconLookups();
    const auto between = Paths();
    cpu_->CommandRefreshProcessClick();
    const auto added = cpu_->IconLookups() - lookups;
    if (before != between || between != Paths()) continue;
    measured = true;
    EXPECT_EQ(added, 0u);
  }
  EXPECT_TRUE(measured) << "the processes kept changing";
  // One image per program, not per row, and kept: a Refresh adds none for what it had.
  const int images = ::ImageList_GetImageCount(cpu_->Images());
  EXPECT_LE(images, cpu_->List().Count());

  CopiedProgram program(L"quorvant-icons-" + Unique(), L"iconic.exe");
  ASSERT_TRUE(program.Copied()) << "CopyFile failed: " << program.Error();
  const std::wstring path = LowerFileName(program.Path());
  {
    ChildProcess child(program.Path());
    ASSERT_NE(child.Id(), 0u) << "CreateProcess failed: " << ::GetLastError();
    // Until its modules can be read: ended earlier, while it still sets up its console,
    // Wine's console host for it may stay behind and hold the test's output open.
    ToolhelpProcessSource former;
    EXPECT_TRUE(test_support::PumpUntil(
        [&] { return Listed(List(former, engine::PathRule::Modules), child.Id()); }, 10s));
    const auto lookups = cpu_->IconLookups();
    cpu_->CommandRefreshProcessClick();
    EXPECT_TRUE(cpu_->HoldsIconFor(path));
    EXPECT_GE(cpu_->IconLookups(), lookups + 1);
  }
  EXPECT_TRUE(test_support::PumpUntil([&] { return !Paths().contains(path); }, 10s));
  cpu_->CommandRefreshProcessClick();
  EXPECT_FALSE(cpu_->HoldsIconFor(path));
  // Its place in the image list goes to the next new program, so the list does not grow
  // with every program that comes and goes.
  const int afterGone = ::ImageList_GetImageCount(cpu_->Images());
  CopiedProgram next(L"quorvant-icons-next-" + Unique(), L"iconic2.exe");
  ASSERT_TRUE(next.Copied()) << "CopyFile failed: " << next.Error();
  ChildProcess child(next.Path());
  ASSERT_NE(child.Id(), 0u) << "CreateProcess failed: " << ::GetLastError();
  ToolhelpProcessSource former;
  EXPECT_TRUE(test_support::PumpUntil(
      [&] { return Listed(List(former, engine::PathRule::Modules), child.Id()); }, 10s));
  cpu_->CommandRefreshProcessClick();
  EXPECT_TRUE(cpu_->HoldsIconFor(LowerFileName(next.Path())));
  EXPECT_LE(::ImageList_GetImageCount(cpu_->Images()), afterGone);
}

}  // namespace
}  // namespace quorvant::win32
