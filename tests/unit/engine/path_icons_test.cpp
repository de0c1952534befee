#include "engine/core/path_icons.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace quorvant::engine {
namespace {

// An icon that says which lookup made it and is move-only, as an owned icon handle is.
using FakeIcon = std::unique_ptr<int>;

TEST(PathIconsTest, LooksUpEachPathOnceAndLetsGoOfPathsNoLongerShown) {
  int made = 0;
  std::vector<std::wstring> asked;
  PathIcons<FakeIcon> icons([&](const std::wstring& path) {
    asked.push_back(path);
    return path == L"c:\\broken.exe" ? nullptr : std::make_unique<int>(++made);
  });
  std::vector<int> dropped;
  auto round = [&](std::initializer_list<const wchar_t*> paths) {
    std::vector<int> shown;
    icons.BeginRound();
    for (const auto* path : paths) {
      const FakeIcon& icon = icons.For(path);
      shown.push_back(icon ? *icon : 0);
    }
    for (const auto& icon : icons.EndRound()) dropped.push_back(icon ? *icon : 0);
    return shown;
  };

  // Two rows of one program share its icon; a failed lookup leaves its row without one.
  EXPECT_EQ(round({L"c:\\a.exe", L"c:\\b.exe", L"c:\\a.exe", L"c:\\broken.exe"}),
            (std::vector<int>{1, 2, 1, 0}));
  EXPECT_EQ(icons.Lookups(), 3u);
  // Nothing started or ended: nothing is looked up, not even the failed one again.
  EXPECT_EQ(round({L"c:\\a.exe", L"c:\\b.exe", L"c:\\a.exe", L"c:\\broken.exe"}),
            (std::vector<int>{1, 2, 1, 0}));
  EXPECT_EQ(icons.Lookups(), 3u);
  // b ended and c started: only c is looked up, and b's icon is let go.
  EXPECT_EQ(round({L"c:\\a.exe", L"c:\\c.exe"}), (std::vector<int>{1, 3}));
  EXPECT_EQ(icons.Lookups(), 4u);
  EXPECT_EQ(dropped, (std::vector<int>{2, 0})) << "b's icon and the failed one, handed back";
  EXPECT_FALSE(icons.Holds(L"c:\\b.exe"));
  EXPECT_FALSE(icons.Holds(L"c:\\broken.exe"));
  EXPECT_EQ(icons.Size(), 2u);
  // b starts again: its icon is looked up anew.
  EXPECT_EQ(round({L"c:\\b.exe"}), (std::vector<int>{4}));
  EXPECT_EQ(asked, (std::vector<std::wstring>{L"c:\\a.exe", L"c:\\b.exe", L"c:\\broken.exe",
                                              L"c:\\c.exe", L"c:\\b.exe"}));
}

TEST(PathIconsTest, AnEmptyRebuildLetsGoOfEverything) {
  PathIcons<FakeIcon> icons([](const std::wstring&) { return std::make_unique<int>(1); });
  icons.BeginRound();
  (void)icons.For(L"c:\\a.exe");
  icons.EndRound();
  icons.BeginRound();
  EXPECT_EQ(icons.EndRound().size(), 1u);
  EXPECT_EQ(icons.Size(), 0u);
}

}  // namespace
}  // namespace quorvant::engine
