#include "engine/core/process_list.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace quorvant::engine {
namespace {

using namespace std::literals;

// Processes and their module paths, as a snapshot would give them.
// Its case mapping knows the letters the tests use beyond A-Z, as the system's does.
class FakeProcessSource final : public ProcessSource {
 public:
  void Add(std::uint32_t id, std::wstring exe, std::vector<std::wstring> modules,
           std::wstring image = {}) {
    processes_.push_back({id, std::move(exe)});
    modules_[id] = std::move(modules);
    images_[id] = std::move(image);
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
  std::wstring ImagePath(std::uint32_t id) override {
    ++imageReads;
    return images_[id];
  }
  std::optional<ProcessIdentity> Identify(std::uint32_t id) override {
    return ProcessIdentity{id, 10000u + id};
  }
  std::wstring Lower(std::wstring_view text) override { return Map(text, kUpper, kLower); }
  std::wstring Upper(std::wstring_view text) override { return Map(text, kLower, kUpper); }

  int moduleWalks = 0;
  int modulesRead = 0;
  int imageReads = 0;

 private:
  static constexpr std::wstring_view kUpper = L"ABCDEFGHIJKLMNOPQRSTUVWXYZ\u00C4\u03A9";
  static constexpr std::wstring_view kLower = L"abcdefghijklmnopqrstuvwxyz\u00E4\u03C9";
  static std::wstring Map(std::wstring_view text, std::wstring_view from, std::wstring_view to) {
    std::wstring out(text);
    for (auto& c : out) {
      const size_t at = from.find(c);
      if (at != std::wstring_view::npos) c = to[at];
    }
    return out;
  }

  std::vector<Process> processes_;
  std::map<std::uint32_t, std::vector<std::wstring>> modules_;
  std::map<std::uint32_t, std::wstring> images_;
};

std::vector<ListedProcess> Build(FakeProcessSource& source, PathRule rule = PathRule::ImageName) {
  std::vector<ListedProcess> rows;
  const int count = BuildProcessList(
      source, [&](const ListedProcess& row) { rows.push_back(row); }, rule);
  EXPECT_EQ(count, static_cast<int>(rows.size()));
  return rows;
}

TEST(GetProcessPathTest, ModuleRuleTakesTheFirstModuleWhosePathContainsTheName) {
  struct Case {
    const char* what;
    std::vector<std::wstring> modules;
    std::wstring name;
    std::wstring path;
    std::wstring image = {};
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
      // The system's case mapping, not the C library's ASCII one.
      {"letters beyond A-Z",
       {L"C:\\\u00C4PFEL\\\u00C4pfel-\u03A9mega.EXE"},
       L"\u00E4pfel-\u03C9MEGA.exe",
       L"c:\\\u00E4pfel\\\u00E4pfel-\u03C9mega.exe"},
      // A module path too long for the module entry, or no module walk at all: the
      // executable's own path from the system, under the same rule.
      {"image path when no module matches",
       {L"C:\\Deep\\Folder\\cut-of"},
       L"tool.exe",
       L"c:\\deep\\folder\\cut-off\\tool.exe",
       L" C:\\Deep\\Folder\\Cut-Off\\Tool.exe "},
      {"image path when the modules cannot be read",
       {},
       L"tool.exe",
       L"d:\\tool.exe",
       L"D:\\Tool.exe"},
      {"image path must hold the name too", {}, L"tool.exe", L"", L"D:\\other.exe"},
      {"an empty name matches nothing", {L"C:\\a.exe"}, L"  ", L"", L"C:\\a.exe"},
  };
  for (const auto& c : cases) {
    FakeProcessSource source;
    source.Add(42, c.name, c.modules, c.image);
    EXPECT_EQ(GetProcessPath(source, 42, c.name, PathRule::Modules), c.path) << c.what;
  }
}

// The list's rule: a walk's entry (id and name) merged with the system's image name of the
// executable, the modules read only where that name does not give the path.
TEST(GetProcessPathTest, ImageNameFirstModulesOnlyWhereItFails) {
  const std::wstring deep = L"C:\\" + std::wstring(300, L'D') + L"\\Tool.exe";
  struct Case {
    const char* what;
    std::uint32_t id;
    std::wstring image;
    std::vector<std::wstring> modules;
    std::wstring path;
    int moduleWalks;
    int imageReads;
  };
  const Case cases[] = {
      // Even where a module before it would hold the name: the image name is the system's
      // own name for the executable.
      {"image name holds the name",
       42,
       L"C:\\Apps\\Tool.EXE",
       {L"C:\\tool.exe.cache\\hook.dll", L"C:\\Apps\\Tool.EXE"},
       L"c:\\apps\\tool.exe",
       0,
       1},
      {"path too long for a module entry",
       42,
       deep,
       {deep.substr(0, 259)},
       L"c:\\" + std::wstring(300, L'd') + L"\\tool.exe",
       0,
       1},
      {"image name unreadable, modules readable",
       42,
       L"",
       {L"C:\\Windows\\ntdll.dll", L"E:\\Tool.exe"},
       L"e:\\tool.exe",
       1,
       1},
      {"image name without the process name",
       42,
       L"C:\\Wine\\start.exe",
       {L"C:\\Games\\tool.exe"},
       L"c:\\games\\tool.exe",
       1,
       1},
      // Only a name: a process the program may not open, or one gone between the walk and
      // the query.
      {"name only", 42, L"", {}, L"", 1, 1},
      // Id 0 is no process: a module walk of it would read this program's own modules.
      {"zero id", 0, L"C:\\Apps\\tool.exe", {L"C:\\Apps\\tool.exe"}, L"", 0, 0},
  };
  for (const auto& c : cases) {
    FakeProcessSource source;
    source.Add(c.id, L"tool.exe", c.modules, c.image);
    EXPECT_EQ(GetProcessPath(source, c.id, L"tool.exe"), c.path) << c.what;
    EXPECT_EQ(source.moduleWalks, c.moduleWalks) << c.what;
    EXPECT_EQ(source.imageReads, c.imageReads) << c.what;
  }
}

TEST(GetProcessPathTest, StopsReadingModulesAtTheMatch) {
  FakeProcessSource source;
  source.Add(7, L"a.exe", {L"C:\\a.exe", L"C:\\b.dll", L"C:\\c.dll"});
  (void)GetProcessPath(source, 7, L"a.exe", PathRule::Modules);
  EXPECT_EQ(source.modulesRead, 1);
  EXPECT_EQ(source.imageReads, 0);
}

TEST(BuildProcessListTest, SkippedProcessesLeaveNoGapInRowNumbersOrKeys) {
  FakeProcessSource source;
  source.Add(0, L"[System Process]", {L"C:\\quorvant\\[System Process].dll"});
  source.Add(4, L"System", {});
  source.Add(100, L"Explorer.EXE", {L"C:\\Windows\\Explorer.EXE"}, L"C:\\Windows\\Explorer.EXE");
  source.Add(200, L"denied.exe", {});
  source.Add(300, L" notepad.exe \0\0"s, {L"C:\\Windows\\ntdll.dll", L"C:\\Windows\\NOTEPAD.EXE"});
  source.Add(400, L"gone.exe", {L"C:\\other.dll"});
  source.Add(500, L"explorer.exe", {L"C:\\Windows\\explorer.exe"}, L"C:\\Windows\\explorer.exe");
  source.Add(600, L" \0"s, {L"C:\\Windows\\half-started.exe"});  // no name yet

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
  // Both rules list the same rows; the image name spares the module walks of 100 and 500.
  for (const auto& [rule, moduleWalks] :
       {std::pair{PathRule::ImageName, 4}, std::pair{PathRule::Modules, 6}}) {
    source.moduleWalks = 0;
    const auto rows = Build(source, rule);
    ASSERT_EQ(rows.size(), std::size(expected));
    for (size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(rows[i].number, expected[i].number) << i;
      EXPECT_EQ(rows[i].id, expected[i].id) << i;
      EXPECT_EQ(rows[i].name, expected[i].name) << i;
      EXPECT_EQ(rows[i].path, expected[i].path) << i;
      EXPECT_EQ(rows[i].imageKey, expected[i].key) << i;
    }
    EXPECT_EQ(source.moduleWalks, moduleWalks);
  }
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
