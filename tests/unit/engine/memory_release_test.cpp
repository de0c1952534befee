#include "engine/core/memory_release.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

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

TEST(AutoReleaseCounterTest, WhenReleasesComeDue) {
  struct Case {
    const char* name;
    int ticks;
    std::function<TickSetting(int)> setting;
    std::vector<int> due;
  };
  const Case cases[] = {
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
  };
  for (const auto& c : cases) {
    AutoReleaseCounter counter;
    EXPECT_EQ(DueTicks(counter, c.ticks, c.setting), c.due) << c.name;
  }
}

TEST(AutoReleaseCounterTest, CountIsNotResetWhileUnticked) {
  AutoReleaseCounter counter;
  for (int i = 0; i < 75; ++i) (void)counter.Tick(L"1 minute", 0);
  EXPECT_EQ(counter.Count(), 75);
  EXPECT_TRUE(counter.Tick(L"1 minute", 1));
  EXPECT_EQ(counter.Count(), 1);
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
