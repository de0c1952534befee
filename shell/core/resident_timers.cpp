#include "shell/core/resident_timers.h"

#include <algorithm>
#include <utility>

namespace quorvant::shell {

namespace {

bool ShouldRun(const ResidentTimer& timer, bool shown) {
  switch (timer.runs) {
    case TimerRuns::Always:
      return true;
    case TimerRuns::WhileShown:
      return shown && (!timer.on || timer.on());
    case TimerRuns::WhileOn:
      return timer.on && timer.on();
  }
  return false;
}

}  // namespace

ResidentTimer AlwaysTimer(std::uintptr_t id, std::uint32_t intervalMs, std::uint32_t toleranceMs,
                          std::function<void()> tick) {
  ResidentTimer timer;
  timer.id = id;
  timer.intervalMs = intervalMs;
  timer.toleranceMs = toleranceMs;
  timer.runs = TimerRuns::Always;
  timer.tick = std::move(tick);
  return timer;
}

ResidentTimer ShownTimer(std::uintptr_t id, std::uint32_t intervalMs, std::uint32_t toleranceMs,
                         std::function<void()> tick, std::function<bool()> onScreen) {
  ResidentTimer timer = AlwaysTimer(id, intervalMs, toleranceMs, std::move(tick));
  timer.runs = TimerRuns::WhileShown;
  timer.on = std::move(onScreen);
  return timer;
}

ResidentTimer FeatureTimer(std::uintptr_t id, std::uint32_t intervalMs, std::uint32_t toleranceMs,
                           std::function<bool()> on, std::function<void()> tick,
                           std::function<void(std::int64_t missedTicks)> resumed) {
  ResidentTimer timer = AlwaysTimer(id, intervalMs, toleranceMs, std::move(tick));
  timer.runs = TimerRuns::WhileOn;
  timer.on = std::move(on);
  timer.resumed = std::move(resumed);
  return timer;
}

ResidentTimer SleepingFeatureTimer(std::uintptr_t id, std::uint32_t intervalMs,
                                   std::uint32_t toleranceMs, std::function<bool()> on,
                                   std::function<void()> tick,
                                   std::function<void(std::int64_t missedTicks)> resumed,
                                   std::function<std::int64_t()> ticksUntilDue) {
  ResidentTimer timer =
      FeatureTimer(id, intervalMs, toleranceMs, std::move(on), std::move(tick), std::move(resumed));
  timer.ticksUntilDue = std::move(ticksUntilDue);
  return timer;
}

ResidentTimers::ResidentTimers(TimerService& service, std::vector<ResidentTimer> timers)
    : service_(service) {
  entries_.reserve(timers.size());
  for (auto& timer : timers) {
    const std::uint32_t interval = timer.intervalMs;
    entries_.push_back({std::move(timer), TickClock(interval), false});
  }
}

void ResidentTimers::Update(bool shown) {
  if (stopped_) return;
  const std::uint64_t now = service_.NowMs();
  const bool first = !started_;
  started_ = true;
  for (auto& entry : entries_) {
    if (first) entry.clock.MarkTick(now);
    const bool run = ShouldRun(entry.timer, shown);
    if (run == entry.running) continue;
    if (run) {
      const std::int64_t missed = entry.clock.CatchUp(now);
      if (missed > 0 && entry.timer.resumed) entry.timer.resumed(missed);
      Arm(entry);
    } else {
      service_.Stop(entry.timer.id);
    }
    entry.running = run;
  }
}

void ResidentTimers::StopAll() {
  stopped_ = true;
  for (auto& entry : entries_) {
    if (entry.running) service_.Stop(entry.timer.id);
    entry.running = false;
  }
}

bool ResidentTimers::Dispatch(std::uintptr_t id) {
  for (auto& entry : entries_) {
    if (entry.timer.id != id) continue;
    // A tick already queued when its timer stopped is dropped: the timer's rule said no.
    if (!entry.running) return true;
    const std::uint64_t now = service_.NowMs();
    const bool sleeping = static_cast<bool>(entry.timer.ticksUntilDue);
    if (sleeping) {
      // A wake-up a little early by the clock's grain still ends the ticks it slept for; a
      // late one (a suspended machine) counts every tick that passed.
      const std::int64_t passed = std::max(entry.armedTicks, entry.clock.CatchUp(now));
      if (passed > 1 && entry.timer.resumed) entry.timer.resumed(passed - 1);
    }
    entry.clock.MarkTick(now);
    if (entry.timer.tick) entry.timer.tick();
    // The tick may have moved the due tick (a release starts the count again), and events
    // handled during it may have stopped the timer.
    if (sleeping && entry.running && !stopped_) Arm(entry);
    return true;
  }
  return false;
}

void ResidentTimers::Rearm(std::uintptr_t id) {
  for (auto& entry : entries_) {
    if (entry.timer.id != id || !entry.running || !entry.timer.ticksUntilDue) continue;
    const std::uint64_t now = service_.NowMs();
    // The due tick has come and its tick is on its way: it sees the change itself.
    if (static_cast<std::int64_t>(entry.clock.SinceMs(now) / entry.clock.PeriodMs()) >=
        entry.armedTicks) {
      continue;
    }
    // The ticks slept so far changed nothing, or the timer would have woken for them.
    const std::int64_t passed = entry.clock.CatchUp(now);
    if (passed > 0 && entry.timer.resumed) entry.timer.resumed(passed);
    Arm(entry);
  }
}

void ResidentTimers::Arm(Entry& entry) {
  if (!entry.timer.ticksUntilDue) {
    entry.armedTicks = 1;
    service_.Start(entry.timer.id, entry.timer.intervalMs, entry.timer.toleranceMs);
    return;
  }
  // A window timer's longest interval is a little under 25 days.
  constexpr std::int64_t kLongestMs = 0x7FFFFFFF;
  const std::uint32_t period = entry.clock.PeriodMs();
  const std::int64_t ticks =
      std::clamp<std::int64_t>(entry.timer.ticksUntilDue(), 1, kLongestMs / period - 1);
  entry.armedTicks = ticks;
  // On the tick's own beat: the part of a period already gone since the last tick counts.
  const std::uint64_t gone = entry.clock.SinceMs(service_.NowMs()) % period;
  const std::uint64_t interval = static_cast<std::uint64_t>(ticks) * period - gone;
  service_.Start(entry.timer.id, static_cast<std::uint32_t>(interval), entry.timer.toleranceMs);
}

bool ResidentTimers::Running(std::uintptr_t id) const {
  for (const auto& entry : entries_) {
    if (entry.timer.id == id) return entry.running;
  }
  return false;
}

}  // namespace quorvant::shell
