#include "common/core/accessibility.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvant::access {
namespace {

CommandFacts Facts(std::wstring_view caption, std::optional<wchar_t> key = std::nullopt) {
  CommandFacts f;
  f.caption = caption;
  f.accessKey = key;
  return f;
}

CommandFacts With(CommandFacts f, bool CommandFacts::*flag, bool value) {
  f.*flag = value;
  return f;
}

struct CommandCase {
  const char* what;
  CommandFacts facts;
  std::wstring name;
  std::wstring shortcut;
  States state;
  std::wstring action;
};

TEST(AccessibilityTest, CommandReportsItsCaptionKeyStateAndAction) {
  const CommandFacts ok = Facts(L"OK");
  const std::vector<CommandCase> cases = {
      {"plain caption", Facts(L"Refresh"), L"Refresh", L"", kFocusable, L"Press"},
      {"access key", Facts(L"&Release memory now", L'r'), L"Release memory now", L"Alt+R",
       kFocusable, L"Press"},
      {"key in the middle", Facts(L"Adj&ustment", L'u'), L"Adjustment", L"Alt+U", kFocusable,
       L"Press"},
      {"literal ampersand", Facts(L"Save && &quit", L'q'), L"Save & quit", L"Alt+Q", kFocusable,
       L"Press"},
      {"trailing marker", Facts(L"OK&"), L"OK", L"", kFocusable, L"Press"},
      {"disabled: no action", With(Facts(L"Limit"), &CommandFacts::enabled, false), L"Limit", L"",
       kUnavailable, L""},
      {"focused", With(ok, &CommandFacts::focused, true), L"OK", L"", kFocusable | kFocused,
       L"Press"},
      {"pressed", With(ok, &CommandFacts::pressed, true), L"OK", L"", kFocusable | kPressed,
       L"Press"},
      {"default button", With(ok, &CommandFacts::isDefault, true), L"OK", L"",
       kFocusable | kDefault, L"Press"},
      {"hidden", With(ok, &CommandFacts::visible, false), L"OK", L"", kFocusable | kInvisible,
       L"Press"},
  };
  for (const CommandCase& c : cases) {
    SCOPED_TRACE(c.what);
    const Element e = DescribeCommand(c.facts);
    EXPECT_EQ(e.role, Role::PushButton);
    EXPECT_EQ(e.name, c.name);
    EXPECT_EQ(e.keyboardShortcut, c.shortcut);
    EXPECT_EQ(e.state, c.state);
    EXPECT_EQ(e.defaultAction, c.action);
  }
}

// The navigation column as the skin builds it: a tab list under the client area, one tab
// per panel, each in its own row.
Tree PanelTree(int shown) {
  static const wchar_t* const kLabels[] = {L"Status",           L"1 - Speed up process",
                                           L"2 - Speed up CPU", L"3 - Speed up memory",
                                           L"Settings",         L"About"};
  Tree tree(Element{}, {0, 0, 786, 557});
  const int list = tree.Add(Tree::kRoot, DescribePanelList(), {6, 134, 236, 216});
  for (int i = 0; i < 6; ++i) {
    tree.Add(list, DescribePanelEntry(kLabels[i], i == shown), {6, 134 + 36 * i, 236, 36});
  }
  tree.Add(Tree::kRoot, DescribeTitleButton(TitleButtonKind::Minimise, false), {720, 6, 28, 15});
  tree.Add(Tree::kRoot, DescribeTitleButton(TitleButtonKind::Close, false), {752, 6, 28, 15});
  return tree;
}

TEST(AccessibilityTest, PanelListSelectsExactlyTheShownEntry) {
  for (int shown = 0; shown < 6; ++shown) {
    SCOPED_TRACE(shown);
    const Tree tree = PanelTree(shown);
    const int list = tree.Children(Tree::kRoot).front();
    EXPECT_EQ(tree.At(list).role, Role::PageTabList);
    EXPECT_EQ(tree.At(list).name, L"Panels");
    const std::vector<int> tabs = tree.Children(list);
    ASSERT_EQ(tabs.size(), 6u);
    EXPECT_EQ(tree.Selected(list), std::vector<int>{tabs[static_cast<size_t>(shown)]});
    for (const int tab : tabs) {
      EXPECT_EQ(tree.At(tab).role, Role::PageTab);
      EXPECT_FALSE(tree.At(tab).name.empty());
      EXPECT_EQ(tree.At(tab).defaultAction, L"Switch");
      EXPECT_TRUE(tree.At(tab).state & kSelectable);
    }
  }
  EXPECT_EQ(PanelTree(3).At(5).name, L"3 - Speed up memory");
}

TEST(AccessibilityTest, SwitchingPanelsChangesTwoTabsAndSelectsTheNewOne) {
  const Tree before = PanelTree(0), after = PanelTree(3);
  const std::vector<Change> expected = {
      {Change::Kind::State, 2}, {Change::Kind::State, 5}, {Change::Kind::Selection, 5}};
  EXPECT_EQ(Changes(before, after), expected);
  EXPECT_TRUE(Changes(after, after).empty());

  Tree grown = PanelTree(0);
  grown.Add(Tree::kRoot, DescribeLink(L"home", false), {0, 0, 1, 1});
  const std::vector<Change> reordered = {{Change::Kind::Reorder, Tree::kRoot}};
  EXPECT_EQ(Changes(before, grown), reordered);
}

TEST(AccessibilityTest, HitTestFindsTheInnermostVisiblePart) {
  Tree tree = PanelTree(0);
  EXPECT_EQ(tree.HitTest(Tree::kRoot, 10, 134 + 36 * 2 + 5), 4);  // third tab
  EXPECT_EQ(tree.HitTest(Tree::kRoot, 760, 10), 9);               // close
  EXPECT_EQ(tree.HitTest(Tree::kRoot, 400, 400), Tree::kRoot);    // the background
  EXPECT_EQ(tree.HitTest(Tree::kRoot, 900, 10), std::nullopt);    // outside the window
  EXPECT_EQ(tree.HitTest(2, 10, 10), std::nullopt);

  Tree hidden(Element{}, {0, 0, 100, 100});
  hidden.Add(Tree::kRoot, DescribeCommand(With(Facts(L"x"), &CommandFacts::visible, false)),
             {0, 0, 50, 50});
  EXPECT_EQ(hidden.HitTest(Tree::kRoot, 10, 10), Tree::kRoot);
}

TEST(AccessibilityTest, NavigationWalksSiblingsInOrderAndOnScreen) {
  const Tree tree = PanelTree(0);
  const int list = 1, firstTab = 2, lastTab = 7, minimise = 8, close = 9;
  struct NavCase {
    int from;
    Direction direction;
    std::optional<int> to;
  };
  const std::vector<NavCase> cases = {
      {Tree::kRoot, Direction::FirstChild, list},
      {Tree::kRoot, Direction::LastChild, close},
      {list, Direction::FirstChild, firstTab},
      {list, Direction::LastChild, lastTab},
      {firstTab, Direction::Next, 3},
      {firstTab, Direction::Previous, std::nullopt},
      {lastTab, Direction::Next, std::nullopt},
      {firstTab, Direction::Down, 3},
      {4, Direction::Up, 3},
      {firstTab, Direction::Up, std::nullopt},
      {minimise, Direction::Right, close},
      {close, Direction::Left, minimise},
      {list, Direction::Right, minimise},
      {minimise, Direction::FirstChild, std::nullopt},
      {Tree::kRoot, Direction::Next, std::nullopt},
      {42, Direction::Next, std::nullopt},
  };
  for (const NavCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from << " dir " << static_cast<int>(c.direction));
    EXPECT_EQ(tree.Navigate(c.from, c.direction), c.to);
  }
}

TEST(AccessibilityTest, TitleButtonsLinkAndTextsSayWhatTheyAre) {
  const Element min = DescribeTitleButton(TitleButtonKind::Minimise, false);
  EXPECT_EQ(min.role, Role::PushButton);
  EXPECT_EQ(min.name, L"Minimize");
  EXPECT_EQ(min.defaultAction, L"Press");
  const Element close = DescribeTitleButton(TitleButtonKind::Close, true);
  EXPECT_EQ(close.name, L"Close");
  EXPECT_EQ(close.state, kPressed);

  const Element link = DescribeLink(L"https://example.test/", true);
  EXPECT_EQ(link.role, Role::Link);
  EXPECT_EQ(link.name, L"https://example.test/");
  EXPECT_EQ(link.defaultAction, L"Open");
  EXPECT_EQ(link.state, kFocusable | kLinked | kFocused);

  const Element text = DescribeText(L"Memory usage:");
  EXPECT_EQ(text.role, Role::StaticText);
  EXPECT_EQ(text.name, L"Memory usage:");
  EXPECT_EQ(text.state, kReadOnly);
}

TEST(AccessibilityTest, GraphSummaryReadsTheCurvesItDraws) {
  MonitorFigures all;
  all.sampled = true;
  all.cpu = 23.0;
  all.memory = 40.5;  // halves go to the even neighbour
  all.pageFile = 29.6;
  all.virtualMemory = 2.2;
  all.diskFree = 58.4999;
  all.drive = L"C:\\";
  struct SummaryCase {
    const char* what;
    MonitorFigures figures;
    std::wstring text;
  };
  MonitorFigures noCpu = all;
  noCpu.cpu.reset();
  MonitorFigures failedCpu = all;
  failedCpu.cpu = -1.0;
  MonitorFigures oneLetter = all;
  oneLetter.drive = L"x";
  MonitorFigures nothing;
  nothing.sampled = true;
  MonitorFigures diskOnly = nothing;
  diskOnly.diskFree = 100.0;
  MonitorFigures unsampled;
  unsampled.cpu = 5.0;
  const std::vector<SummaryCase> cases = {
      {"all five", all,
       L"CPU 23%, memory 40%, page file 30%, virtual memory 2%, drive C: 58% free"},
      {"no cpu curve", noCpu, L"Memory 40%, page file 30%, virtual memory 2%, drive C: 58% free"},
      {"failed cpu reading", failedCpu,
       L"CPU unknown, memory 40%, page file 30%, virtual memory 2%, drive C: 58% free"},
      {"single-letter drive", oneLetter,
       L"CPU 23%, memory 40%, page file 30%, virtual memory 2%, drive x 58% free"},
      {"no curve drawn", nothing, L"No curves shown"},
      {"no drive", diskOnly, L"Disk 100% free"},
      {"before the first sample", unsampled, L"No readings yet"},
  };
  for (const SummaryCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(MonitorSummary(c.figures), c.text);
  }

  MonitorFigures hidden = all;
  hidden.visible = false;
  hidden.enabled = false;
  const Element graph = DescribeMonitor(hidden);
  EXPECT_EQ(graph.role, Role::Chart);
  EXPECT_EQ(graph.name, L"System monitor");
  EXPECT_EQ(graph.value, MonitorSummary(all));
  EXPECT_EQ(graph.state, kReadOnly | kUnavailable | kInvisible);
  EXPECT_TRUE(graph.defaultAction.empty());
}

}  // namespace
}  // namespace quorvant::access
