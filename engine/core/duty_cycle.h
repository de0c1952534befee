#pragma once

#include <chrono>
#include <cstddef>
#include <vector>

namespace quorvant::engine {

// Where the system has no CPU cap of its own, a limited process is suspended and resumed:
// it runs from the start of each period for its share of it and is suspended for the rest.
// A tenth of a second keeps a limited program's pauses short enough to feel like stutter
// rather than a hang, while the two system calls per process and period cost little; a 1 %
// limit still gets a whole millisecond to run.
inline constexpr std::chrono::microseconds kDutyPeriod{100'000};

// How long a process limited to percent runs in each period.
std::chrono::microseconds DutyRunTime(int percent, std::chrono::microseconds period = kDutyPeriod);

// One period for the processes limited to percents (in that order): when each is suspended,
// counted from the period's start, earliest first. Each runs again when the next period
// starts.
struct DutyStop {
  std::chrono::microseconds at{};
  std::size_t index = 0;
  friend bool operator==(const DutyStop&, const DutyStop&) = default;
};
std::vector<DutyStop> PlanDutyPeriod(const std::vector<int>& percents,
                                     std::chrono::microseconds period = kDutyPeriod);

}  // namespace quorvant::engine
