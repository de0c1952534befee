#pragma once

#include <cstdint>

namespace quorvant {

// The place of a periodic timer that is stopped while nothing needs it (a feature switched
// off, a window hidden): how many ticks it would have delivered meanwhile, so a count or a
// history that follows its ticks can catch up when it runs again. Times are milliseconds of
// a monotonic clock.
class TickClock {
 public:
  explicit TickClock(std::uint32_t periodMs) : periodMs_(periodMs == 0 ? 1 : periodMs) {}

  std::uint32_t PeriodMs() const { return periodMs_; }
  void SetPeriodMs(std::uint32_t periodMs) { periodMs_ = periodMs == 0 ? 1 : periodMs; }

  // The timer started, or ticked, at nowMs: periods are counted from here.
  void MarkTick(std::uint64_t nowMs) { lastMs_ = nowMs; }

  // Time since the last tick (or the whole periods counted since), without counting anything.
  std::uint64_t SinceMs(std::uint64_t nowMs) const { return nowMs > lastMs_ ? nowMs - lastMs_ : 0; }

  // Whole periods since the last tick, each counted once: the clock moves on by that many
  // periods and keeps the remainder, so pausing often loses no time. A clock that goes
  // backwards gives 0.
  std::int64_t CatchUp(std::uint64_t nowMs) {
    if (nowMs <= lastMs_) return 0;
    const std::uint64_t periods = (nowMs - lastMs_) / periodMs_;
    lastMs_ += periods * periodMs_;
    constexpr std::uint64_t kMost = static_cast<std::uint64_t>(INT64_MAX);
    return static_cast<std::int64_t>(periods > kMost ? kMost : periods);
  }

 private:
  std::uint32_t periodMs_;
  std::uint64_t lastMs_ = 0;
};

}  // namespace quorvant
