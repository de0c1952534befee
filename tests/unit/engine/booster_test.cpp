#include "engine/core/booster.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace quorvant {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr int N = kNormalPriorityClass;
constexpr int H = kHighPriorityClass;
constexpr int A = kAboveNormalPriorityClass;

constexpr std::uint32_t kOwnProcess = 1;

// A desktop of a few windows in a few processes. The priority calls are recorded by window
// and their effect is kept per process, as the real call has it.
class FakeDesktop : public BoosterDesktop {
 public:
  struct Window {
    std::wstring title;
    std::uint32_t process;
  };

  FakeDesktop() {
    windows_ = {
        {10, {L"Alpha", 100}},         {12, {L"Charlie", 100}},  // two windows of one process
        {20, {L"Bravo", 200}},         {30, {L"", 300}},         // untitled
        {31, {L"   ", 310}},           {40, {L"Alpha notes", 400}},
        {50, {L"None of these", 500}},
    };
  }

  WindowId foreground = 0;
  std::vector<std::pair<WindowId, int>> calls;
  std::map<std::uint32_t, int> classes;

  void Add(WindowId id, std::wstring title, std::uint32_t process) {
    windows_[id] = {std::move(title), process};
  }

  WindowId ForegroundWindow() override { return foreground; }
  std::wstring WindowTitle(WindowId window) override {
    const auto it = windows_.find(window);
    return it == windows_.end() ? std::wstring() : it->second.title;
  }
  void SetWindowProcessPriority(WindowId window, int priorityClass) override {
    calls.emplace_back(window, priorityClass);
    const auto it = windows_.find(window);
    const std::uint32_t process = window == 0            ? kOwnProcess
                                  : it == windows_.end() ? 0
                                                         : it->second.process;
    if (process != 0) classes[process] = priorityClass;
  }
  std::wstring TimeOfDay() override { return L"10:00:0" + std::to_wstring(++clock_); }

 private:
  std::map<WindowId, Window> windows_;
  int clock_ = 0;
};

// One timer tick: the foreground window then, and the panel's controls.
struct Step {
  WindowId foreground;
  bool enabled = true;
  std::wstring_view level = kLevelHigh;
};

struct Played {
  std::vector<std::wstring> targets;  // titles of the boosts, in order
  std::vector<std::wstring> numbers;  // their "NO." texts
};

Played Play(Booster& booster, FakeDesktop& desktop, const std::vector<Step>& steps) {
  Played run;
  for (const Step& step : steps) {
    desktop.foreground = step.foreground;
    if (const auto boost = booster.Tick(step.enabled, step.level)) {
      run.targets.push_back(boost->title);
      run.numbers.push_back(boost->number);
      EXPECT_EQ(boost->count, booster.Count());
      EXPECT_EQ(boost->title, booster.Target());
    }
  }
  return run;
}

TEST(BoosterTest, ForegroundSequences) {
  struct Case {
    const char* name;
    std::vector<Step> steps;
    std::vector<std::pair<WindowId, int>> calls;
    std::vector<std::wstring> targets;
  };
  const Case cases[] = {
      {"the first boost demotes the program's own process", {{10}}, {{0, N}, {10, H}}, {L"Alpha"}},
      {"the same window on later ticks is not boosted again",
       {{10}, {10}, {10}},
       {{0, N}, {10, H}},
       {L"Alpha"}},
      {"back and forth demotes the one left behind each time",
       {{10}, {20}, {10}},
       {{0, N}, {10, H}, {10, N}, {20, H}, {20, N}, {10, H}},
       {L"Alpha", L"Bravo", L"Alpha"}},
      {"an untitled window in between is the one demoted, not the earlier target",
       {{10}, {30}, {20}},
       {{0, N}, {10, H}, {30, N}, {20, H}},
       {L"Alpha", L"Bravo"}},
      {"a title of blanks counts as untitled",
       {{10}, {31}, {20}},
       {{0, N}, {10, H}, {31, N}, {20, H}},
       {L"Alpha", L"Bravo"}},
      {"a title that begins with the current target is the same target",
       {{10}, {40}},
       {{0, N}, {10, H}},
       {L"Alpha"}},
      {"after an alike title the next target demotes the alike window",
       {{10}, {40}, {20}},
       {{0, N}, {10, H}, {40, N}, {20, H}},
       {L"Alpha", L"Bravo"}},
      {"no foreground window in between: the program's own process is demoted",
       {{10}, {0}, {20}},
       {{0, N}, {10, H}, {0, N}, {20, H}},
       {L"Alpha", L"Bravo"}},
      {"two windows of one process: normal and straight back",
       {{10}, {12}},
       {{0, N}, {10, H}, {10, N}, {12, H}},
       {L"Alpha", L"Charlie"}},
      {"switched off from the start nothing happens", {{10, false}, {20, false}}, {}, {}},
      {"ticks while switched off keep the last window seen",
       {{10}, {20, false}, {12, false}, {20}},
       {{0, N}, {10, H}, {10, N}, {20, H}},
       {L"Alpha", L"Bravo"}},
      {"a title that begins with the design caption is no target at start",
       {{50}, {10}},
       {{50, N}, {10, H}},
       {L"Alpha"}},
      {"the level is read at each boost",
       {{10, true, kLevelAboveNormal}, {20, true, kLevelHigh}, {10, true, L""}},
       {{0, N}, {10, A}, {10, N}, {20, H}, {20, N}, {10, A}},
       {L"Alpha", L"Bravo", L"Alpha"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDesktop desktop;
    Booster booster(desktop, [] { return 0.5; });
    const Played run = Play(booster, desktop, c.steps);
    EXPECT_THAT(desktop.calls, ElementsAreArray(c.calls));
    EXPECT_THAT(run.targets, ElementsAreArray(c.targets));
    EXPECT_EQ(booster.Count(), static_cast<int>(c.targets.size()));
    EXPECT_EQ(booster.Target(), c.targets.empty() ? std::wstring(kNoTarget) : c.targets.back());
  }
}

TEST(BoosterTest, EarlierTargetKeepsItsClassWhenAnUntitledWindowCameBetween) {
  FakeDesktop desktop;
  Booster booster(desktop);
  (void)Play(booster, desktop, {{10}, {30}, {20}});
  EXPECT_EQ(desktop.classes[100], H);
  EXPECT_EQ(desktop.classes[300], N);
  EXPECT_EQ(desktop.classes[200], H);
  EXPECT_EQ(desktop.classes[kOwnProcess], N);
}

TEST(BoosterTest, LogRowsAreNumberedWithALeadingBlankAndCarryTheirTime) {
  FakeDesktop desktop;
  Booster booster(desktop);
  std::vector<Boost> boosts;
  for (const WindowId w : {10, 20, 10, 20, 10, 20, 10, 20, 10, 20, 10}) {
    desktop.foreground = w;
    if (auto boost = booster.Tick(true, kLevelHigh)) boosts.push_back(*boost);
  }
  ASSERT_EQ(boosts.size(), 11u);
  EXPECT_EQ(boosts[0].number, L" 1");
  EXPECT_EQ(boosts[1].number, L" 2");
  EXPECT_EQ(boosts[10].number, L" 11");
  EXPECT_EQ(boosts[10].count, 11);
  // The clock is read once per boost.
  EXPECT_EQ(boosts[0].time, L"10:00:01");
  EXPECT_EQ(boosts[1].time, L"10:00:02");
}

TEST(BoosterTest, LevelDecidesClassLogTextAndFigure) {
  struct Case {
    std::wstring_view level;
    int raisedClass;
    std::wstring_view priority;
    std::wstring_view lowestSpeed;
    std::wstring_view highestSpeed;
  };
  const Case cases[] = {
      {L"High", H, L"High", L"12%", L"18%"},
      {L"Above Normal", A, L"Above Normal", L"22%", L"28%"},
      {L"", A, L"Above Normal", L"22%", L"28%"},
      {L"high", A, L"Above Normal", L"22%", L"28%"},  // only the exact text is High
      {L"High ", A, L"Above Normal", L"22%", L"28%"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.level.begin(), c.level.end()));
    for (const double draw : {0.0, 0.999999}) {
      FakeDesktop desktop;
      Booster booster(desktop, [draw] { return draw; });
      desktop.foreground = 10;
      const auto boost = booster.Tick(true, c.level);
      ASSERT_TRUE(boost);
      EXPECT_EQ(desktop.calls.back(), std::make_pair(WindowId{10}, c.raisedClass));
      EXPECT_EQ(boost->priority, c.priority);
      EXPECT_EQ(boost->speed, draw == 0.0 ? c.lowestSpeed : c.highestSpeed);
    }
  }
}

TEST(BoosterTest, FigureStaysInItsRangeWithTheProgramsRandomSource) {
  FakeDesktop desktop;
  Booster booster(desktop);
  for (int i = 0; i < 200; ++i) {
    desktop.foreground = i % 2 ? 10 : 20;
    const std::wstring_view level = i % 4 < 2 ? kLevelHigh : kLevelAboveNormal;
    const auto boost = booster.Tick(true, level);
    ASSERT_TRUE(boost);
    const std::wstring& s = boost->speed;
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0], level == kLevelHigh ? L'1' : L'2');
    EXPECT_GE(s[1], L'2');
    EXPECT_LE(s[1], L'8');
    EXPECT_EQ(s[2], L'%');
  }
}

TEST(BoosterTest, TitleIsWhatTheBufferHolds) {
  const std::wstring long300(300, L'x');
  const std::wstring exact254(254, L'y');
  // A pair whose high half would be the last character kept.
  std::wstring pairAtCut(253, L'z');
  pairAtCut += L"\xD83D\xDE00tail";
  struct Case {
    const char* name;
    std::wstring in;
    std::wstring out;
  };
  const Case cases[] = {
      {"short", L"Notepad", L"Notepad"},
      {"non-ASCII as it is", L"Übersicht – 東京", L"Übersicht – 東京"},
      {"longer than the buffer", long300, std::wstring(254, L'x')},
      {"exactly what fits", exact254, exact254},
      {"up to the first NUL", std::wstring(L"Name\0rest", 9), L"Name"},
      {"no half pair at the cut", pairAtCut, std::wstring(253, L'z')},
      {"a whole pair before the cut stays", std::wstring(252, L'z') + L"\xD83D\xDE00",
       std::wstring(252, L'z') + L"\xD83D\xDE00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Booster::TitleFromBuffer(c.in), c.out);
  }
}

TEST(BoosterTest, LongTitleIsCutBeforeItIsShownAndCompared) {
  FakeDesktop desktop;
  desktop.Add(60, std::wstring(254, L'L') + L"first", 600);
  desktop.Add(61, std::wstring(254, L'L') + L"second", 610);
  Booster booster(desktop);
  desktop.foreground = 60;
  const auto first = booster.Tick(true, kLevelHigh);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->title, std::wstring(254, L'L'));
  // Both titles fill the buffer alike, so the second window is the same target.
  desktop.foreground = 61;
  EXPECT_FALSE(booster.Tick(true, kLevelHigh));
  EXPECT_THAT(desktop.calls,
              ElementsAre(std::make_pair(WindowId{0}, N), std::make_pair(WindowId{60}, H)));
}

}  // namespace
}  // namespace quorvant
