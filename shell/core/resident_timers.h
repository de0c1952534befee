#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "common/core/tick_clock.h"

namespace quorvant::shell {

// When a timer of the main window runs. A tray program lives mostly hidden: work whose only
// effect is on screen waits for the window, work a feature needs runs while it is on.
enum class TimerRuns {
  Always,
  WhileShown,  // the window is visible and not minimised, and what it writes is on screen
  WhileOn,     // the feature behind it is switched on, shown or not
};

struct ResidentTimer {
  std::uintptr_t id = 0;
  std::uint32_t intervalMs = 0;
  // How late the system may deliver a tick to wake the processor once for several timers.
  std::uint32_t toleranceMs = 0;
  TimerRuns runs = TimerRuns::Always;
  std::function<void()> tick;
  // WhileOn: whether the feature is on now. WhileShown: whether a panel the timer writes is
  // the one selected; none means the timer writes the whole window.
  std::function<bool()> on;
  // Runs just before a stopped timer starts again, with the ticks it would have delivered
  // had it run all along, so what it counts can catch up; for a sleeping timer also just
  // before its tick, with the ticks it slept through.
  std::function<void(std::int64_t missedTicks)> resumed;
  // When set, the timer sleeps through the ticks that would change nothing: it wakes only
  // at the tick this many ticks from now (at least the next one), and the ticks in between
  // are counted through resumed. For a count towards a threshold, which needs no wake-up
  // until it gets there.
  std::function<std::int64_t()> ticksUntilDue;
};

// Rows of the table, one per timer.
ResidentTimer AlwaysTimer(std::uintptr_t id, std::uint32_t intervalMs, std::uint32_t toleranceMs,
                          std::function<void()> tick);
ResidentTimer ShownTimer(std::uintptr_t id, std::uint32_t intervalMs, std::uint32_t toleranceMs,
                         std::function<void()> tick, std::function<bool()> onScreen = {});
ResidentTimer FeatureTimer(std::uintptr_t id, std::uint32_t intervalMs, std::uint32_t toleranceMs,
                           std::function<bool()> on, std::function<void()> tick,
                           std::function<void(std::int64_t missedTicks)> resumed = {});
// A feature timer that sleeps until its next due tick; see ResidentTimer::ticksUntilDue.
ResidentTimer SleepingFeatureTimer(std::uintptr_t id, std::uint32_t intervalMs,
                                   std::uint32_t toleranceMs, std::function<bool()> on,
                                   std::function<void()> tick,
                                   std::function<void(std::int64_t missedTicks)> resumed,
                                   std::function<std::int64_t()> ticksUntilDue);

// Where the timers really run: window timers on Windows, a fake in tests.
class TimerService {
 public:
  virtual ~TimerService() = default;
  virtual void Start(std::uintptr_t id, std::uint32_t intervalMs, std::uint32_t toleranceMs) = 0;
  virtual void Stop(std::uintptr_t id) = 0;
  // Milliseconds of a monotonic clock.
  virtual std::uint64_t NowMs() = 0;
};

// The main window's timers in one table, each started and stopped by its rule.
class ResidentTimers {
 public:
  ResidentTimers(TimerService& service, std::vector<ResidentTimer> timers);
  ResidentTimers(const ResidentTimers&) = delete;
  ResidentTimers& operator=(const ResidentTimers&) = delete;

  // Starts the timers that should run now and stops the others; call it when the window is
  // shown or hidden, when another panel is selected and when a feature is switched on or off.
  // Running timers are left alone, so their rhythm is not disturbed. Every timer's ticks are
  // counted from the first call, whether it starts then or later.
  void Update(bool shown);
  // Stops every timer for good (the window is going away); Update starts nothing after it.
  void StopAll();
  // The tick of timer id; false when the id is none of the table's.
  bool Dispatch(std::uintptr_t id);
  // A sleeping timer's due tick may have moved (what it counts towards changed): the ticks
  // slept so far are counted and it sleeps again until the new due tick.
  void Rearm(std::uintptr_t id);
  bool Running(std::uintptr_t id) const;

 private:
  struct Entry {
    ResidentTimer timer;
    TickClock clock;
    bool running = false;
    // A sleeping timer's ticks from its arming to its wake-up.
    std::int64_t armedTicks = 1;
  };
  // Starts the entry's timer: every interval, or a sleeping one at its due tick.
  void Arm(Entry& entry);
  TimerService& service_;
  std::vector<Entry> entries_;
  bool started_ = false;
  bool stopped_ = false;
};

}  // namespace quorvant::shell
