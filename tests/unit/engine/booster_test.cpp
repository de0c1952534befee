#include "engine/core/booster.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace quorvant {
namespace {

using ::testing::ElementsAreArray;

constexpr int I = kIdlePriorityClass;
constexpr int B = kBelowNormalPriorityClass;
constexpr int N = kNormalPriorityClass;
constexpr int A = kAboveNormalPriorityClass;
constexpr int H = kHighPriorityClass;
constexpr int R = kRealtimePriorityClass;

// Processes behind the windows; 1 is the program's own.
constexpr std::uint32_t kOwn = 1;
constexpr std::uint32_t kAlpha = 100;
constexpr std::uint32_t kBravo = 200;
constexpr std::uint32_t kUntitled = 300;
constexpr std::uint32_t kNotes = 400;

// A desktop of a few windows in a few processes, each process with its class. Windows can
// close while their process lives on, processes can end and their ids be reused. Every class
// the booster changes is logged, and each change checks that the ledger already (or still)
// holds what is being applied (or given back).
class FakeDesktop : public BoosterDesktop {
 public:
  struct Window {
    std::wstring title;
    std::uint32_t process;
  };
  struct Process {
    std::uint64_t started;
    int priorityClass = N;
    bool alive = true;
    bool refuses = false;  // the system will not let its class be set
  };
  struct Change {
    std::uint32_t process;
    int priorityClass;
    friend bool operator==(const Change&, const Change&) = default;
  };

  explicit FakeDesktop(const EffectLedger& ledger) : ledger_(ledger) {
    windows = {
        {10, {L"Alpha", kAlpha}},      {12, {L"Charlie", kAlpha}},  // two windows of one process
        {20, {L"Bravo", kBravo}},      {30, {L"", kUntitled}},      // untitled
        {31, {L"   ", kUntitled}},     {40, {L"Alpha notes", kNotes}},
        {50, {L"None of these", 500}}, {70, {L"Quorvant", kOwn}},
    };
    for (const auto& [id, window] : windows) processes[window.process] = {id * 1000 + 7};
  }

  WindowId foreground = 0;
  std::map<WindowId, Window> windows;
  std::map<std::uint32_t, Process> processes;
  std::vector<Change> changes;

  ProcessIdentity Identity(std::uint32_t id) const { return {id, processes.at(id).started}; }

  WindowId ForegroundWindow() override { return foreground; }
  std::wstring WindowTitle(WindowId window) override {
    const auto it = windows.find(window);
    return it == windows.end() ? std::wstring() : it->second.title;
  }
  std::optional<ProcessIdentity> WindowProcess(WindowId window) override {
    const auto it = windows.find(window);
    if (it == windows.end() || !Live(Identity(it->second.process))) return std::nullopt;
    return Identity(it->second.process);
  }
  int PriorityClassOf(const ProcessIdentity& p) override {
    return Live(p) ? processes[p.id].priorityClass : 0;
  }
  bool SetPriorityClassOf(const ProcessIdentity& p, int priorityClass) override {
    if (!Live(p) || processes[p.id].refuses) return false;
    const auto recorded = ledger_.Find(p, EffectKind::Priority);
    EXPECT_TRUE(recorded && recorded->applied == priorityClass) << "raised before it was recorded";
    Log(p.id, priorityClass);
    return true;
  }
  void RestorePriority(const ProcessIdentity& p, int priorityClass, int raisedClass) override {
    EXPECT_TRUE(ledger_.Find(p, EffectKind::Priority)) << "forgotten before it was given back";
    if (Live(p) && processes[p.id].priorityClass == raisedClass) Log(p.id, priorityClass);
  }
  std::wstring TimeOfDay() override { return L"10:00:0" + std::to_wstring(++clock_); }

 private:
  bool Live(const ProcessIdentity& p) const {
    const auto it = processes.find(p.id);
    return it != processes.end() && it->second.alive && it->second.started == p.started;
  }
  void Log(std::uint32_t id, int priorityClass) {
    processes[id].priorityClass = priorityClass;
    changes.push_back({id, priorityClass});
  }

  const EffectLedger& ledger_;
  int clock_ = 0;
};

// What happens between two ticks, then the tick itself.
struct Step {
  enum Kind { Tick, SwitchOff, CloseWindow, EndProcess, ReuseId, UserSets, Refuse } kind = Tick;
  WindowId foreground = 0;
  bool enabled = true;
  std::wstring_view level = kLevelHigh;
  std::uint32_t process = 0;
  int priorityClass = 0;
};
Step Front(WindowId w, std::wstring_view level = kLevelHigh) {
  return {Step::Tick, w, true, level};
}
Step FrontWhileOff(WindowId w) { return {Step::Tick, w, false}; }
Step SwitchOff() { return {Step::SwitchOff}; }
Step Close(WindowId w) { return {Step::CloseWindow, w}; }
Step End(std::uint32_t p) { return {Step::EndProcess, 0, true, kLevelHigh, p}; }
// A later process gets the id p, running at priorityClass.
Step Reuse(std::uint32_t p, int priorityClass) {
  return {Step::ReuseId, 0, true, kLevelHigh, p, priorityClass};
}
Step UserSets(std::uint32_t p, int priorityClass) {
  return {Step::UserSets, 0, true, kLevelHigh, p, priorityClass};
}
Step Refuse(std::uint32_t p) { return {Step::Refuse, 0, true, kLevelHigh, p}; }

// Plays the steps; returns the titles of the boosts, in order.
std::vector<std::wstring> Play(Booster& booster, FakeDesktop& desktop,
                               const std::vector<Step>& steps) {
  std::vector<std::wstring> targets;
  for (const Step& step : steps) {
    switch (step.kind) {
      case Step::Tick:
        desktop.foreground = step.foreground;
        if (const auto boost = booster.Tick(step.enabled, step.level)) {
          targets.push_back(boost->title);
          EXPECT_EQ(boost->count, booster.Count());
          EXPECT_EQ(boost->title, booster.Target());
        }
        break;
      case Step::SwitchOff:
        booster.GiveBack();
        break;
      case Step::CloseWindow:
        desktop.windows.erase(step.foreground);
        break;
      case Step::EndProcess:
        desktop.processes[step.process].alive = false;
        break;
      case Step::ReuseId:
        desktop.processes[step.process] = {desktop.processes[step.process].started + 1,
                                           step.priorityClass};
        break;
      case Step::UserSets:
        desktop.processes[step.process].priorityClass = step.priorityClass;
        break;
      case Step::Refuse:
        desktop.processes[step.process].refuses = true;
        break;
    }
  }
  return targets;
}

using Change = FakeDesktop::Change;

TEST(BoosterTest, RaisesTheFrontProcessAndGivesBackWhatItTook) {
  struct Case {
    const char* name;
    std::map<std::uint32_t, int> startClasses;
    std::vector<Step> steps;
    std::vector<Change> changes;  // every class the booster set, in order
    std::vector<std::wstring> targets;
    std::vector<std::uint32_t> stillRaised;  // what the ledger holds at the end
  };
  const Case cases[] = {
      {"the first boost touches nothing else, the program's own process included",
       {},
       {Front(10)},
       {{kAlpha, H}},
       {L"Alpha"},
       {kAlpha}},
      {"the same window on later ticks is not boosted again",
       {},
       {Front(10), Front(10), Front(10)},
       {{kAlpha, H}},
       {L"Alpha"},
       {kAlpha}},
      {"A then B: A goes back before B is raised",
       {},
       {Front(10), Front(20), Front(10)},
       {{kAlpha, H}, {kAlpha, N}, {kBravo, H}, {kBravo, N}, {kAlpha, H}},
       {L"Alpha", L"Bravo", L"Alpha"},
       {kAlpha}},
      {"A's window closed while A runs on: A still goes back",
       {},
       {Front(10), Close(10), Front(20)},
       {{kAlpha, H}, {kAlpha, N}, {kBravo, H}},
       {L"Alpha", L"Bravo"},
       {kBravo}},
      {"A started at Below Normal goes back to Below Normal, B at Idle to Idle",
       {{kAlpha, B}, {kBravo, I}},
       {Front(10), Front(20), Front(50)},
       {{kAlpha, H}, {kAlpha, B}, {kBravo, H}, {kBravo, I}, {500, H}},
       {L"Alpha", L"Bravo", L"None of these"},
       {500}},
      {"a process at the boost's class or above is left as it was, then and after",
       {{kAlpha, H}, {kBravo, R}, {kNotes, A}},
       {Front(10), Front(20), Front(40, kLevelAboveNormal), Front(10)},
       {},
       {L"Alpha", L"Bravo", L"Alpha notes", L"Alpha"},
       {}},
      {"Above Normal raised to High goes back to Above Normal",
       {{kAlpha, A}},
       {Front(10), Front(20)},
       {{kAlpha, H}, {kAlpha, A}, {kBravo, H}},
       {L"Alpha", L"Bravo"},
       {kBravo}},
      {"switched off: given back at once; on again, the next new target is raised",
       {{kAlpha, B}},
       {Front(10), SwitchOff(), FrontWhileOff(20), Front(10), Front(20)},
       {{kAlpha, H}, {kAlpha, B}, {kBravo, H}},
       {L"Alpha", L"Bravo"},
       {kBravo}},
      {"switched off twice gives back once",
       {},
       {Front(10), SwitchOff(), SwitchOff()},
       {{kAlpha, H}, {kAlpha, N}},
       {L"Alpha"},
       {}},
      {"two windows of one process: it stays raised, nothing set in between",
       {{kAlpha, B}},
       {Front(10), Front(12), Front(20)},
       {{kAlpha, H}, {kAlpha, B}, {kBravo, H}},
       {L"Alpha", L"Charlie", L"Bravo"},
       {kBravo}},
      {"two windows of one process at a new level: still its first class to go back to",
       {{kAlpha, B}},
       {Front(10, kLevelAboveNormal), Front(12, kLevelHigh), Front(20)},
       {{kAlpha, A}, {kAlpha, H}, {kAlpha, B}, {kBravo, H}},
       {L"Alpha", L"Charlie", L"Bravo"},
       {kBravo}},
      {"two windows of one process at a level it already had: back to that class",
       {{kAlpha, A}},
       {Front(10, kLevelHigh), Front(12, kLevelAboveNormal), Front(20)},
       {{kAlpha, H}, {kAlpha, A}, {kBravo, H}},
       {L"Alpha", L"Charlie", L"Bravo"},
       {kBravo}},
      {"a class the user chose since stays",
       {},
       {Front(10), UserSets(kAlpha, I), Front(20)},
       {{kAlpha, H}, {kBravo, H}},
       {L"Alpha", L"Bravo"},
       {kBravo}},
      {"the user's class on the same process: a new start from that class",
       {},
       {Front(10), UserSets(kAlpha, B), Front(12), Front(20)},
       {{kAlpha, H}, {kAlpha, H}, {kAlpha, B}, {kBravo, H}},
       {L"Alpha", L"Charlie", L"Bravo"},
       {kBravo}},
      {"a process that ended needs nothing",
       {},
       {Front(10), End(kAlpha), Front(20)},
       {{kAlpha, H}, {kBravo, H}},
       {L"Alpha", L"Bravo"},
       {kBravo}},
      {"its id reused by a later process: that one is never touched",
       {},
       {Front(10), End(kAlpha), Reuse(kAlpha, H), Front(20)},
       {{kAlpha, H}, {kBravo, H}},
       {L"Alpha", L"Bravo"},
       {kBravo}},
      {"an untitled window in between: the earlier target goes back at the next boost",
       {},
       {Front(10), Front(30), Front(31), Front(20)},
       {{kAlpha, H}, {kAlpha, N}, {kBravo, H}},
       {L"Alpha", L"Bravo"},
       {kBravo}},
      {"no foreground window in between: likewise",
       {},
       {Front(10), Front(0), Front(20)},
       {{kAlpha, H}, {kAlpha, N}, {kBravo, H}},
       {L"Alpha", L"Bravo"},
       {kBravo}},
      {"a title that begins with the current target is the same target",
       {},
       {Front(10), Front(40)},
       {{kAlpha, H}},
       {L"Alpha"},
       {kAlpha}},
      {"a title that begins with the design caption is no target at start",
       {},
       {Front(50), Front(10)},
       {{kAlpha, H}},
       {L"Alpha"},
       {kAlpha}},
      {"ticks while switched off keep the last window seen",
       {},
       {Front(10), FrontWhileOff(20), FrontWhileOff(12), Front(20)},
       {{kAlpha, H}, {kAlpha, N}, {kBravo, H}},
       {L"Alpha", L"Bravo"},
       {kBravo}},
      {"switched off from the start nothing happens",
       {},
       {FrontWhileOff(10), FrontWhileOff(20)},
       {},
       {},
       {}},
      {"the program's own window is like any other",
       {{kOwn, B}},
       {Front(70), Front(10)},
       {{kOwn, H}, {kOwn, B}, {kAlpha, H}},
       {L"Quorvant", L"Alpha"},
       {kAlpha}},
      {"a refused raise records nothing, and the boost still shows",
       {},
       {Refuse(kBravo), Front(10), Front(20), Front(10)},
       {{kAlpha, H}, {kAlpha, N}, {kAlpha, H}},
       {L"Alpha", L"Bravo", L"Alpha"},
       {kAlpha}},
      {"a window whose process cannot be read: the earlier target still goes back",
       {},
       {Front(10), End(kBravo), Front(20)},
       {{kAlpha, H}, {kAlpha, N}},
       {L"Alpha", L"Bravo"},
       {}},
      {"the level is read at each boost",
       {},
       {Front(10, kLevelAboveNormal), Front(20, kLevelHigh), Front(10, L"")},
       {{kAlpha, A}, {kAlpha, N}, {kBravo, H}, {kBravo, N}, {kAlpha, A}},
       {L"Alpha", L"Bravo", L"Alpha"},
       {kAlpha}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EffectLedger ledger;
    FakeDesktop desktop(ledger);
    for (const auto& [process, priorityClass] : c.startClasses) {
      desktop.processes[process].priorityClass = priorityClass;
    }
    Booster booster(
        desktop, [] { return 0.5; }, ledger);
    const std::vector<std::wstring> targets = Play(booster, desktop, c.steps);
    EXPECT_THAT(desktop.changes, ElementsAreArray(c.changes));
    EXPECT_THAT(targets, ElementsAreArray(c.targets));
    EXPECT_EQ(booster.Count(), static_cast<int>(c.targets.size()));
    EXPECT_EQ(booster.Target(), c.targets.empty() ? std::wstring(kNoTarget) : c.targets.back());
    std::vector<std::uint32_t> raised;
    for (const Effect& effect : ledger.Effects()) raised.push_back(effect.process.id);
    EXPECT_THAT(raised, ElementsAreArray(c.stillRaised));
    EXPECT_EQ(booster.Raised().has_value(), !c.stillRaised.empty());
  }
}

TEST(BoosterTest, GoingAwayGivesBack) {
  EffectLedger ledger;
  FakeDesktop desktop(ledger);
  desktop.processes[kAlpha].priorityClass = B;
  {
    Booster booster(
        desktop, [] { return 0.5; }, ledger);
    (void)Play(booster, desktop, {Front(10)});
    ASSERT_EQ(desktop.processes[kAlpha].priorityClass, H);
  }
  EXPECT_EQ(desktop.processes[kAlpha].priorityClass, B);
  EXPECT_TRUE(ledger.Empty());
}

TEST(BoosterTest, ABoostThatMovesTheRaiseWritesTheLedgerOnce) {
  EffectLedger ledger;
  std::vector<std::vector<Effect>> written;
  ledger.changed = [&](const EffectLedger& l) {
    written.push_back(l.Effects());
    return true;
  };
  FakeDesktop desktop(ledger);
  Booster booster(
      desktop, [] { return 0.5; }, ledger);
  (void)Play(booster, desktop, {Front(10), Front(20)});
  const Effect alpha{desktop.Identity(kAlpha), EffectKind::Priority, N, H};
  const Effect bravo{desktop.Identity(kBravo), EffectKind::Priority, N, H};
  EXPECT_EQ(written, (std::vector<std::vector<Effect>>{{alpha}, {bravo}}));
}

// The ledger on disk cannot be written: a raise it could not give back if the program were
// killed is not made, the raise before it is given back all the same, and the boost says so.
TEST(BoosterTest, ARaiseTheLedgerCannotKeepIsNotMade) {
  EffectLedger ledger;
  bool writable = true;
  ledger.changed = [&](const EffectLedger&) { return writable; };
  FakeDesktop desktop(ledger);
  Booster booster(
      desktop, [] { return 0.5; }, ledger);
  (void)Play(booster, desktop, {Front(10)});
  ASSERT_EQ(desktop.processes[kAlpha].priorityClass, H);

  writable = false;
  desktop.foreground = 20;
  const auto boost = booster.Tick(true, kLevelHigh);
  ASSERT_TRUE(boost);
  EXPECT_TRUE(boost->notKept);
  EXPECT_EQ(desktop.processes[kAlpha].priorityClass, N);
  EXPECT_EQ(desktop.processes[kBravo].priorityClass, N);
  EXPECT_FALSE(booster.Raised());
  EXPECT_TRUE(ledger.Empty());

  writable = true;
  desktop.foreground = 10;
  const auto again = booster.Tick(true, kLevelHigh);
  ASSERT_TRUE(again);
  EXPECT_FALSE(again->notKept);
  EXPECT_EQ(desktop.processes[kAlpha].priorityClass, H);
}

TEST(BoosterTest, LogRowsAreNumberedWithALeadingBlankAndCarryTheirTime) {
  EffectLedger ledger;
  FakeDesktop desktop(ledger);
  Booster booster(desktop, ProgramRandom, ledger);
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
      EffectLedger ledger;
      FakeDesktop desktop(ledger);
      Booster booster(
          desktop, [draw] { return draw; }, ledger);
      desktop.foreground = 10;
      const auto boost = booster.Tick(true, c.level);
      ASSERT_TRUE(boost);
      EXPECT_THAT(desktop.changes, ElementsAreArray({Change{kAlpha, c.raisedClass}}));
      EXPECT_EQ(boost->priority, c.priority);
      EXPECT_EQ(boost->speed, draw == 0.0 ? c.lowestSpeed : c.highestSpeed);
    }
  }
}

TEST(BoosterTest, FigureStaysInItsRangeWithTheProgramsRandomSource) {
  EffectLedger ledger;
  FakeDesktop desktop(ledger);
  Booster booster(desktop, ProgramRandom, ledger);
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

TEST(BoosterTest, TitleIsCutAt254CharactersWithoutSplittingAPair) {
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
      {"longer than 254", long300, std::wstring(254, L'x')},
      {"exactly what fits", exact254, exact254},
      {"up to the first NUL", std::wstring(L"Name\0rest", 9), L"Name"},
      {"no half pair at the cut", pairAtCut, std::wstring(253, L'z')},
      {"a whole pair before the cut stays", std::wstring(252, L'z') + L"\xD83D\xDE00",
       std::wstring(252, L'z') + L"\xD83D\xDE00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Booster::CutTitle(c.in), c.out);
  }
}

TEST(BoosterTest, LongTitleIsCutBeforeItIsShownAndCompared) {
  EffectLedger ledger;
  FakeDesktop desktop(ledger);
  desktop.windows[60] = {std::wstring(254, L'L') + L"first", 600};
  desktop.windows[61] = {std::wstring(254, L'L') + L"second", 610};
  desktop.processes[600] = {600};
  desktop.processes[610] = {610};
  Booster booster(desktop, ProgramRandom, ledger);
  desktop.foreground = 60;
  const auto first = booster.Tick(true, kLevelHigh);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->title, std::wstring(254, L'L'));
  // Both titles are alike up to the cut, so the second window is the same target.
  desktop.foreground = 61;
  EXPECT_FALSE(booster.Tick(true, kLevelHigh));
  EXPECT_THAT(desktop.changes, ElementsAreArray({Change{600, H}}));
}

}  // namespace
}  // namespace quorvant
