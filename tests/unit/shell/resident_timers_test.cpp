#include "shell/core/resident_timers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "common/core/tick_clock.h"

namespace quorvant::shell {
namespace {

// Window timers reduced to what was asked of them, on a clock the test moves.
struct FakeTimerService : TimerService {
  std::uint64_t now = 0;
  std::map<std::uintptr_t, std::uint32_t> running;  // id -> tolerance
  std::vector<std::string> calls;

  void Start(std::uintptr_t id, std::uint32_t, std::uint32_t toleranceMs) override {
    running[id] = toleranceMs;
    calls.push_back("start " + std::to_string(id));
  }
  void Stop(std::uintptr_t id) override {
    running.erase(id);
    calls.push_back("stop " + std::to_string(id));
  }
  std::uint64_t NowMs() override { return now; }
};

enum : std::uintptr_t { kBooster = 1, kReadout, kAlways };

class ResidentTimersTest : public ::testing::Test {
 protected:
  FakeTimerService service;
  bool boosterOn = false;
  std::vector<std::int64_t> resumed;
  int boosterTicks = 0;
  ResidentTimers timers{
      service,
      {
          FeatureTimer(
              kBooster, 900, 90, [this] { return boosterOn; }, [this] { ++boosterTicks; },
              [this](std::int64_t missed) { resumed.push_back(missed); }),
          ShownTimer(kReadout, 20, 2, [] {}),
          AlwaysTimer(kAlways, 1000, 100, [] {}),
      }};

  std::vector<std::uintptr_t> Running() const {
    std::vector<std::uintptr_t> ids;
    for (const auto& [id, tolerance] : service.running) ids.push_back(id);
    return ids;
  }
};

TEST_F(ResidentTimersTest, EachTimerRunsByItsRule) {
  const struct {
    const char* name;
    bool shown;
    bool on;
    std::vector<std::uintptr_t> running;
  } steps[] = {
      {"hidden, feature off", false, false, {kAlways}},
      {"shown", true, false, {kReadout, kAlways}},
      {"feature on while shown", true, true, {kBooster, kReadout, kAlways}},
      {"hidden again, feature still on", false, true, {kBooster, kAlways}},
      {"feature off while hidden", false, false, {kAlways}},
  };
  for (const auto& step : steps) {
    boosterOn = step.on;
    timers.Update(step.shown);
    EXPECT_EQ(Running(), step.running) << step.name;
    for (const auto id : step.running) EXPECT_TRUE(timers.Running(id)) << step.name;
  }
  EXPECT_EQ(service.running.size(), 1u);
  EXPECT_EQ(service.running.at(kAlways), 100u) << "the row's tolerance reaches the system";
}

// A readout that writes one panel wakes only while the window is shown with that panel on it.
TEST(PanelTimerTest, RunsWhileTheWindowIsShownWithItsPanelSelected) {
  FakeTimerService service;
  bool selected = true;
  ResidentTimers timers{service,
                        {ShownTimer(
                            kReadout, 20, 2, [] {}, [&] { return selected; })}};
  const struct {
    const char* name;
    bool shown;
    bool selected;
    bool running;
  } steps[] = {
      {"hidden, its panel selected", false, true, false},
      {"shown with its panel", true, true, true},
      {"another panel selected", true, false, false},
      {"hidden with another panel", false, false, false},
      {"shown with another panel", true, false, false},
      {"its panel selected again", true, true, true},
      {"hidden", false, true, false},
  };
  for (const auto& step : steps) {
    selected = step.selected;
    timers.Update(step.shown);
    EXPECT_EQ(timers.Running(kReadout), step.running) << step.name;
    EXPECT_EQ(service.running.count(kReadout), step.running ? 1u : 0u) << step.name;
  }
}

TEST_F(ResidentTimersTest, UpdatesLeaveRunningTimersAlone) {
  boosterOn = true;
  timers.Update(true);
  service.calls.clear();
  timers.Update(true);
  timers.Update(true);
  EXPECT_TRUE(service.calls.empty()) << "a restarted timer would lose its rhythm";
  timers.Update(false);
  EXPECT_EQ(service.calls, std::vector<std::string>{"stop 2"});
}

TEST_F(ResidentTimersTest, StoppedTimersTicksAreDroppedAndStopAllIsFinal) {
  timers.Update(true);
  EXPECT_TRUE(timers.Dispatch(kBooster)) << "its id, though it does not run";
  EXPECT_EQ(boosterTicks, 0);
  EXPECT_FALSE(timers.Dispatch(99));
  boosterOn = true;
  timers.Update(true);
  EXPECT_TRUE(timers.Dispatch(kBooster));
  EXPECT_EQ(boosterTicks, 1);

  timers.StopAll();
  EXPECT_TRUE(service.running.empty());
  timers.Update(true);
  EXPECT_TRUE(service.running.empty()) << "a window going away starts nothing again";
}

TEST_F(ResidentTimersTest, ARestartedTimerIsToldTheTicksItMissed) {
  service.now = 5'000;
  timers.Update(false);  // the ticks count from here, though the booster is off
  service.now = 5'000 + 75'500;
  boosterOn = true;
  timers.Update(false);
  ASSERT_EQ(resumed, std::vector<std::int64_t>{83}) << "75.5 s of 900 ms periods";

  // It ticks, is switched off, and back on 2.7 s after its last tick: three periods.
  service.now += 900;
  (void)timers.Dispatch(kBooster);
  service.now += 400;
  boosterOn = false;
  timers.Update(false);
  service.now += 2'300;
  boosterOn = true;
  timers.Update(false);
  EXPECT_EQ(resumed, (std::vector<std::int64_t>{83, 3}));

  // A restart within the period misses nothing and says nothing.
  boosterOn = false;
  timers.Update(false);
  boosterOn = true;
  timers.Update(false);
  EXPECT_EQ(resumed.size(), 2u);
}

// A count towards a threshold of 5 ticks of 1 s, on a timer that sleeps until it gets there.
TEST(SleepingTimerTest, WakesAtTheDueTickAndCountsTheTicksItSleptThrough) {
  struct Service : TimerService {
    std::uint64_t now = 0;
    std::vector<std::uint32_t> armed;  // each Start's interval
    void Start(std::uintptr_t, std::uint32_t intervalMs, std::uint32_t) override {
      armed.push_back(intervalMs);
    }
    void Stop(std::uintptr_t) override {}
    std::uint64_t NowMs() override { return now; }
  } service;
  std::int64_t count = 0;
  std::int64_t threshold = 5;
  std::vector<std::int64_t> ticks;  // the count each tick saw
  ResidentTimers timers(service,
                        {SleepingFeatureTimer(
                            1, 1000, 16, [] { return true; },
                            [&] {
                              ticks.push_back(++count);
                              if (count >= threshold) count = 0;
                            },
                            [&](std::int64_t slept) { count += slept; },
                            [&] { return std::max<std::int64_t>(1, threshold - count); })});
  timers.Update(false);
  EXPECT_EQ(service.armed, std::vector<std::uint32_t>{5000});

  service.now = 4'990;  // early by the clock's grain: still the fifth tick
  (void)timers.Dispatch(1);
  EXPECT_EQ(ticks, std::vector<std::int64_t>{5});
  EXPECT_EQ(service.armed.back(), 5000u) << "the count starts again";

  service.now += 2'500;  // the threshold drops to 3 between ticks: two ticks slept, one left
  threshold = 3;
  timers.Rearm(1);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(service.armed.back(), 500u) << "on the beat of the ticks, half a period gone";

  service.now += 500;
  (void)timers.Dispatch(1);
  EXPECT_EQ(ticks.back(), 3);

  // A change just as the due tick comes leaves it alone: its tick sees the change.
  service.now += 3'000;
  const size_t armings = service.armed.size();
  timers.Rearm(1);
  EXPECT_EQ(service.armed.size(), armings);
  EXPECT_EQ(count, 0);

  service.now += 6'000;  // late (a suspended machine): every tick that passed counts
  threshold = 100;
  (void)timers.Dispatch(1);
  EXPECT_EQ(ticks.back(), 9);
}

TEST(TickClockTest, CountsWholePeriodsAndKeepsTheRest) {
  TickClock clock(1000);
  clock.MarkTick(10'000);
  EXPECT_EQ(clock.CatchUp(10'999), 0);
  EXPECT_EQ(clock.CatchUp(12'500), 2);
  EXPECT_EQ(clock.CatchUp(13'000), 1) << "the half second left over counts";
  EXPECT_EQ(clock.CatchUp(12'000), 0) << "a clock going backwards gives nothing";
  clock.MarkTick(20'000);
  EXPECT_EQ(clock.CatchUp(20'999), 0);

  TickClock zero(0);
  zero.MarkTick(0);
  EXPECT_EQ(zero.CatchUp(5), 5) << "a zero period is taken as one millisecond";
}

}  // namespace
}  // namespace quorvant::shell
