#include "engine/core/process_list.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace quorvant::engine {
namespace {

using namespace std::literals;

// Processes and their module paths, as a snapshot would give them.
class FakeProcessSource final : public ProcessSource {
 public:
  void Add(std::uint32_t id, std::wstring exe, std::vector<std::wstring> modules) {
    processes_.push_back({id, std::move(exe)});
    modules_[id] = std::move(modules);
  }
  void ForEachProcess(const std::function<void(const Process&)>& visit) override {
    for (const auto& p : processes_) visit(p);
  }
  void ForEachModulePath(std::uint32_t id,
                         const std::function<bool(std::wstring_view)>& visit) override {
    ++moduleWalks;
    for (const auto& path : modules_[id]) {
      ++modulesRead;
      if (visit(path)) return;
    }
  }
  int moduleWalks = 0;
  int modulesRead = 0;

 private:
  std::vector<Process> processes_;
  std::map<std::uint32_t, std::vector<std::wstring>> modules_;
};

std::vector<ListedProcess> Build(FakeProcessSource& source) {
  std::vector<ListedProcess> rows;
  const int count =
      BuildProcessList(source, [&](const ListedProcess& row) { rows.push_back(row); });
  EXPECT_EQ(count, static_cast<int>(rows.size()));
  return rows;
}

TEST(GetProcessPathTest, FirstModuleWhosePathContainsTheName) {
  struct Case {
    const char* what;
    std::vector<std::wstring> modules;
    std::wstring name;
    std::wstring path;
  };
  const Case cases[] = {
      {"executable first",
       {L"C:\\Apps\\Tool.EXE", L"C:\\Windows\\ntdll.dll"},
       L"tool.exe",
       L"c:\\apps\\tool.exe"},
      // A substring test, not a file-name comparison: a DLL whose folder holds the name wins.
      {"earlier module wins",
       {L"C:\\Windows\\ntdll.dll", L"C:\\tool.exe.cache\\hook.dll", L"C:\\Apps\\tool.exe"},
       L"TOOL.EXE",
       L"c:\\tool.exe.cache\\hook.dll"},
      {"blanks and NUL trimmed",
       {L"  D:\\X\\Game.exe  \0junk"s},
       L" game.exe\0"s,
       L"d:\\x\\game.exe"},
      {"no module matches", {L"C:\\Windows\\ntdll.dll"}, L"tool.exe", L""},
      {"no modules readable", {}, L"tool.exe", L""},
  };
  for (const auto& c : cases) {
    FakeProcessSource source;
    source.Add(42, c.name, c.modules);
    EXPECT_EQ(GetProcessPath(source, 42, c.name), c.path) << c.what;
  }
}

TEST(GetProcessPathTest, StopsReadingModulesAtTheMatch) {
  FakeProcessSource source;
  source.Add(7, L"a.exe", {L"C:\\a.exe", L"C:\\b.dll", L"C:\\c.dll"});
  (void)GetProcessPath(source, 7, L"a.exe");
  EXPECT_EQ(source.modulesRead, 1);
}

TEST(BuildProcessListTest, SkippedProcessesLeaveNoGapInRowNumbersOrKeys) {
  FakeProcessSource source;
  source.Add(0, L"[System Process]", {});
  source.Add(4, L"System", {});
  source.Add(100, L"Explorer.EXE", {L"C:\\Windows\\Explorer.EXE"});
  source.Add(200, L"denied.exe", {});
  source.Add(300, L" notepad.exe \0\0"s, {L"C:\\Windows\\ntdll.dll", L"C:\\Windows\\NOTEPAD.EXE"});
  source.Add(400, L"gone.exe", {L"C:\\other.dll"});
  source.Add(500, L"explorer.exe", {L"C:\\Windows\\explorer.exe"});

  const auto rows = Build(source);
  ASSERT_EQ(rows.size(), 3u);
  struct Expected {
    int number;
    std::uint32_t id;
    std::wstring name;
    std::wstring path;
    std::wstring key;
  };
  const Expected expected[] = {
      {1, 100, L"Explorer.EXE", L"c:\\windows\\explorer.exe", L"P2"},
      {2, 300, L"notepad.exe", L"c:\\windows\\notepad.exe", L"P3"},
      {3, 500, L"explorer.exe", L"c:\\windows\\explorer.exe", L"P4"},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].number, expected[i].number) << i;
    EXPECT_EQ(rows[i].id, expected[i].id) << i;
    EXPECT_EQ(rows[i].name, expected[i].name) << i;
    EXPECT_EQ(rows[i].path, expected[i].path) << i;
    EXPECT_EQ(rows[i].imageKey, expected[i].key) << i;
  }
  EXPECT_EQ(source.moduleWalks, 7);  // one module walk per process
}

TEST(BuildProcessListTest, NoSnapshotGivesNoRows) {
  FakeProcessSource source;
  EXPECT_TRUE(Build(source).empty());
}

TEST(ImageKeyTest, RowCountPlusOne) {
  EXPECT_EQ(ImageKey(1), L"P2");
  EXPECT_EQ(ImageKey(10), L"P11");
}

}  // namespace
}  // namespace quorvant::engine
