#include "shell/core/resident_timers.h"

#include <utility>

namespace quorvant::shell {

namespace {

bool ShouldRun(const ResidentTimer& timer, bool shown) {
  switch (timer.runs) {
    case TimerRuns::Always:
      return true;
    case TimerRuns::WhileShown:
      return shown;
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
                         std::function<void()> tick) {
  ResidentTimer timer = AlwaysTimer(id, intervalMs, toleranceMs, std::move(tick));
  timer.runs = TimerRuns::WhileShown;
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
      service_.Start(entry.timer.id, entry.timer.intervalMs, entry.timer.toleranceMs);
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
    entry.clock.MarkTick(service_.NowMs());
    if (entry.timer.tick) entry.timer.tick();
    return true;
  }
  return false;
}

bool ResidentTimers::Running(std::uintptr_t id) const {
  for (const auto& entry : entries_) {
    if (entry.timer.id == id) return entry.running;
  }
  return false;
}

}  // namespace quorvant::shell
