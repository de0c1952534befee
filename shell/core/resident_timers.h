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
  WhileShown,  // the window is visible and not minimised
  WhileOn,     // the feature behind it is switched on, shown or not
};

struct ResidentTimer {
  std::uintptr_t id = 0;
  std::uint32_t intervalMs = 0;
  // How late the system may deliver a tick to wake the processor once for several timers.
  std::uint32_t toleranceMs = 0;
  TimerRuns runs = TimerRuns::Always;
  std::function<void()> tick;
  // WhileOn: whether the feature is on now.
  std::function<bool()> on;
  // Runs just before a stopped timer starts again, with the ticks it would have delivered
  // had it run all along, so what it counts can catch up.
  std::function<void(std::int64_t missedTicks)> resumed;
};

// Rows of the table, one per timer.
ResidentTimer AlwaysTimer(std::uintptr_t id, std::uint32_t intervalMs, std::uint32_t toleranceMs,
                          std::function<void()> tick);
ResidentTimer ShownTimer(std::uintptr_t id, std::uint32_t intervalMs, std::uint32_t toleranceMs,
                         std::function<void()> tick);
ResidentTimer FeatureTimer(std::uintptr_t id, std::uint32_t intervalMs, std::uint32_t toleranceMs,
                           std::function<bool()> on, std::function<void()> tick,
                           std::function<void(std::int64_t missedTicks)> resumed = {});

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
  // shown or hidden and when a feature is switched on or off. Running timers are left alone,
  // so their rhythm is not disturbed. Every timer's ticks are counted from the first call,
  // whether it starts then or later.
  void Update(bool shown);
  // Stops every timer for good (the window is going away); Update starts nothing after it.
  void StopAll();
  // The tick of timer id; false when the id is none of the table's.
  bool Dispatch(std::uintptr_t id);
  bool Running(std::uintptr_t id) const;

 private:
  struct Entry {
    ResidentTimer timer;
    TickClock clock;
    bool running = false;
  };
  TimerService& service_;
  std::vector<Entry> entries_;
  bool started_ = false;
  bool stopped_ = false;
};

}  // namespace quorvant::shell
