#include "engine/core/duty_cycle.h"

#include <algorithm>

namespace quorvant::engine {

std::chrono::microseconds DutyRunTime(int percent, std::chrono::microseconds period) {
  const int clamped = std::clamp(percent, 0, 100);
  return period * clamped / 100;
}

std::vector<DutyStop> PlanDutyPeriod(const std::vector<int>& percents,
                                     std::chrono::microseconds period) {
  std::vector<DutyStop> stops;
  for (std::size_t i = 0; i < percents.size(); ++i) {
    const auto run = DutyRunTime(percents[i], period);
    // A process that may run the whole period is never suspended.
    if (run < period) stops.push_back({run, i});
  }
  std::stable_sort(stops.begin(), stops.end(),
                   [](const DutyStop& a, const DutyStop& b) { return a.at < b.at; });
  return stops;
}

}  // namespace quorvant::engine
