#include "engine/core/memory_release.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "shell/core/resident_timers.h"

namespace quorvant::engine {
namespace {

constexpr std::uint64_t kMiB = 1048576;

TEST(MemoryReleaseTextTest, SignedFigures) {
  struct Case {
    std::int32_t megabytes;
    std::wstring_view released;
  };
  const Case cases[] = {
      {12, L"12 MB memory released."},
      {0, L"0 MB memory released."},
      {-3, L"-3 MB memory released."},
      {2147483647, L"2147483647 MB memory released."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReleasedText(c.megabytes), c.released);
    EXPECT_EQ(SuccessText(c.megabytes), L"Success! " + std::wstring(c.released));
  }
  EXPECT_EQ(LogRowOf(0, L"3:04:05 AM", -3),
            (MemoryLogRow{L"1", L"3:04:05 AM", L"-3 MB memory released."}));
  EXPECT_EQ(LogRowOf(41, L"t", 7).number, L"42");
}

TEST(MemoryReleaseTextTest, IntervalThresholds) {
  struct Case {
    std::wstring_view text;
    std::int32_t ticks;
  };
  const Case cases[] = {
      {L"1 minute", 60}, {L"3 minute", 180}, {L"5 minute", 300}, {L"10 minute", 600},
      {L"", 0},          {L"1 Minute", 0},   {L"2 minute", 0},   {L" 1 minute", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IntervalThreshold(c.text), c.ticks) << std::string(c.text.begin(), c.text.end());
  }
}

// Runs ticks of the counter and returns the tick numbers (1-based) at which a release was due.
// change(tick) gives the interval text and box value for that tick.
struct TickSetting {
  std::wstring_view interval;
  int check;
};
std::vector<int> DueTicks(AutoReleaseCounter& counter, int ticks,
                          const std::function<TickSetting(int)>& setting) {
  std::vector<int> due;
  for (int tick = 1; tick <= ticks; ++tick) {
    const TickSetting s = setting(tick);
    if (counter.Tick(s.interval, s.check)) due.push_back(tick);
  }
  return due;
}

struct CountingCase {
  const char* name;
  int ticks;
  std::function<TickSetting(int)> setting;
  std::vector<int> due;
};
const std::vector<CountingCase>& CountingCases() {
  static const std::vector<CountingCase> cases = {
      // The count restarts at 1, so after the first release at 60 each comes 59 ticks later.
      {"1 minute, ticked from start",
       200,
       [](int) {
         return TickSetting{L"1 minute", 1};
       },
       {60, 119, 178}},
      {"3 minute",
       400,
       [](int) {
         return TickSetting{L"3 minute", 1};
       },
       {180, 359}},
      {"never while unticked",
       1000,
       [](int) {
         return TickSetting{L"1 minute", 0};
       },
       {}},
      // Greyed (2) is not ticked.
      {"greyed box",
       100,
       [](int) {
         return TickSetting{L"1 minute", 2};
       },
       {}},
      // Unticked for long, then ticked: the count has long passed the threshold.
      {"ticked after a long while",
       530,
       [](int t) {
         return TickSetting{L"5 minute", t < 500 ? 0 : 1};
       },
       {500}},
      // No interval chosen: threshold 0, a release at every tick.
      {"no interval",
       4,
       [](int) {
         return TickSetting{L"", 1};
       },
       {1, 2, 3, 4}},
      // A shorter interval whose threshold the count has passed releases at the next tick.
      {"10 minute to 1 minute after 100 ticks",
       161,
       [](int t) {
         return TickSetting{t <= 100 ? L"10 minute" : L"1 minute", 1};
       },
       {101, 160}},
      // Unticked for a short while only: the count goes on meanwhile.
      {"unticked between ticks 20 and 45",
       130,
       [](int t) {
         return TickSetting{L"1 minute", t > 20 && t < 45 ? 0 : 1};
       },
       {60, 119}},
      // The interval changed while the box is unticked: the next tick compares against it.
      {"unticked, 10 minute to 1 minute, ticked again",
       200,
       [](int t) {
         return TickSetting{t <= 100 ? L"10 minute" : L"1 minute", t > 50 && t <= 150 ? 0 : 1};
       },
       {151}},
  };
  return cases;
}

TEST(AutoReleaseCounterTest, WhenReleasesComeDue) {
  for (const auto& c : CountingCases()) {
    AutoReleaseCounter counter;
    EXPECT_EQ(DueTicks(counter, c.ticks, c.setting), c.due) << c.name;
  }
}

// Timers on a clock the test moves, each due a whole interval after its start.
struct SteppedTimers : shell::TimerService {
  std::uint64_t now = 0;
  std::map<std::uintptr_t, std::uint64_t> due;
  void Start(std::uintptr_t id, std::uint32_t intervalMs, std::uint32_t) override {
    due[id] = now + intervalMs;
  }
  void Stop(std::uintptr_t id) override { due.erase(id); }
  std::uint64_t NowMs() override { return now; }
};

// The memory timer stops while "Automatically release memory" is not ticked and is told the
// ticks it missed when it starts again; the sleeping one also wakes only for the tick that
// releases. Every release the never-stopping timer of the table above gives then comes too,
// within one period of it (the restarted timer keeps its own phase), and no other.
TEST(AutoReleaseCounterTest, ATimerStoppedWhileUntickedReleasesWhenARunningOneWould) {
  constexpr std::uint64_t kPeriod = 1000;
  constexpr std::uint64_t kStep = 100;
  for (const bool sleeping : {false, true}) {
    for (const auto& c : CountingCases()) {
      const std::string name = std::string(c.name) + (sleeping ? ", sleeping" : ", ticking");
      SteppedTimers service;
      AutoReleaseCounter counter;
      TickSetting setting = c.setting(1);
      std::vector<std::uint64_t> releases;
      int wakeUps = 0;
      auto on = [&] { return setting.check == kAutoReleaseTicked; };
      auto tick = [&] {
        ++wakeUps;
        if (counter.Tick(setting.interval, setting.check)) releases.push_back(service.now);
      };
      auto credit = [&](std::int64_t missed) { counter.Credit(missed); };
      shell::ResidentTimers timers(
          service, {sleeping ? shell::SleepingFeatureTimer(
                                   1, kPeriod, 16, on, tick, credit,
                                   [&] { return counter.TicksUntilDue(setting.interval); })
                             : shell::FeatureTimer(1, kPeriod, 16, on, tick, credit)});
      timers.Update(false);
      for (service.now = kStep; service.now < (c.ticks + 1) * kPeriod; service.now += kStep) {
        // The user changes the settings 0.3 s before the tick that sees them.
        if (service.now % kPeriod == kPeriod - 300) {
          const int tick = static_cast<int>(service.now / kPeriod) + 1;
          if (tick <= c.ticks) setting = c.setting(tick);
          timers.Update(false);
          timers.Rearm(1);
        }
        if (service.due.count(1) && service.due[1] == service.now) {
          service.due[1] += kPeriod;
          (void)timers.Dispatch(1);
        }
      }
      ASSERT_EQ(releases.size(), c.due.size()) << name;
      for (size_t i = 0; i < releases.size(); ++i) {
        const std::uint64_t reference = static_cast<std::uint64_t>(c.due[i]) * kPeriod;
        EXPECT_GE(releases[i], reference) << name << ", release " << i;
        EXPECT_LT(releases[i], reference + kPeriod) << name << ", release " << i;
      }
      if (sleeping) {
        EXPECT_EQ(wakeUps, static_cast<int>(releases.size())) << name;
      }
    }
  }
}

TEST(AutoReleaseCounterTest, CountIsNotResetWhileUnticked) {
  AutoReleaseCounter counter;
  for (int i = 0; i < 75; ++i) (void)counter.Tick(L"1 minute", 0);
  EXPECT_EQ(counter.Count(), 75);
  EXPECT_TRUE(counter.Tick(L"1 minute", 1));
  EXPECT_EQ(counter.Count(), 1);

  // Credited ticks count the same way, and hold at the top rather than wrap.
  counter.Credit(58);
  EXPECT_EQ(counter.Count(), 59);
  counter.Credit(std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(counter.Count(), std::numeric_limits<std::int32_t>::max());
  EXPECT_TRUE(counter.Tick(L"10 minute", 1));
}

// A machine whose used memory follows a script of readings, and a walk that can run code
// in the middle (as the window's events do between processes).
class FakeReading : public MemoryReading {
 public:
  std::vector<std::int32_t> usedMb;  // one per reading, in order
  size_t next = 0;
  MemoryStatus Read() override {
    const std::int32_t used = next < usedMb.size() ? usedMb[next++] : 0;
    return {4096 * kMiB, static_cast<std::uint64_t>(4096 - used) * kMiB};
  }
};

class FakeWalk : public TrimmingWalk {
 public:
  int walks = 0;
  std::function<void()> during;
  void TrimAll() override {
    ++walks;
    if (auto run = std::exchange(during, nullptr)) run();
  }
};

class FakeOutput : public ReleaseOutput {
 public:
  std::vector<std::wstring> events;  // messages and rows, in the order they were shown
  std::vector<MemoryLogRow> rows;
  void ShowSuccess(const std::wstring& message) override {
    events.push_back(L"message " + message);
  }
  int LogRowCount() const override { return static_cast<int>(rows.size()); }
  void AppendLogRow(const MemoryLogRow& row) override {
    rows.push_back(row);
    events.push_back(L"row " + row.number + L" " + row.event);
  }
  std::wstring TimeOfDay() const override { return L"10:20:30"; }
};

class MemoryReleaseTest : public ::testing::Test {
 protected:
  FakeReading reading;
  FakeWalk walk;
  FakeOutput output;
  MemoryRelease release{reading, walk, output};
};

TEST_F(MemoryReleaseTest, OnDemandShowsTheFigureThenLogsIt) {
  reading.usedMb = {1500, 1200};
  EXPECT_EQ(release.ReleaseOnDemand(), 300);
  EXPECT_EQ(walk.walks, 1);
  EXPECT_EQ(output.events, (std::vector<std::wstring>{L"message Success! 300 MB memory released.",
                                                      L"row 1 300 MB memory released."}));
  EXPECT_EQ(output.rows[0].time, L"10:20:30");
}

TEST_F(MemoryReleaseTest, GrowthIsReportedAsANegativeFigure) {
  reading.usedMb = {1000, 1003, 800, 800};
  EXPECT_EQ(release.ReleaseOnDemand(), -3);
  EXPECT_EQ(release.FreeMemoryAndLog(), 0);
  EXPECT_EQ(output.events, (std::vector<std::wstring>{L"message Success! -3 MB memory released.",
                                                      L"row 1 -3 MB memory released.",
                                                      L"row 2 0 MB memory released."}));
}

TEST_F(MemoryReleaseTest, AutomaticReleaseLogsWithoutAMessage) {
  reading.usedMb = {900, 850, 860, 840};
  for (int tick = 1; tick <= 119; ++tick) (void)release.TimerMemoryTick(L"1 minute", 1);
  EXPECT_EQ(walk.walks, 2);
  EXPECT_EQ(output.events, (std::vector<std::wstring>{L"row 1 50 MB memory released.",
                                                      L"row 2 20 MB memory released."}));
  EXPECT_EQ(release.Counter().Count(), 1);
}

TEST_F(MemoryReleaseTest, ReleaseStartedDuringAnotherLogsItsOwnRow) {
  // Readings: outer before, inner before, inner after, outer after.
  reading.usedMb = {2000, 1900, 1850, 1700};
  walk.during = [this] { (void)release.ReleaseOnDemand(); };
  for (int tick = 1; tick < 60; ++tick) ASSERT_FALSE(release.TimerMemoryTick(L"1 minute", 1));
  EXPECT_TRUE(release.TimerMemoryTick(L"1 minute", 1));
  EXPECT_EQ(walk.walks, 2);
  // The inner click completes first and takes row 1; the outer release follows as row 2.
  EXPECT_EQ(output.events, (std::vector<std::wstring>{L"message Success! 50 MB memory released.",
                                                      L"row 1 50 MB memory released.",
                                                      L"row 2 300 MB memory released."}));
}

}  // namespace
}  // namespace quorvant::engine
