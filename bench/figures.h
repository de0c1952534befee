#pragma once

// The small arithmetic the benchmarks share when they reduce their runs to one figure.

#include <algorithm>
#include <chrono>
#include <vector>

namespace quorvant::bench {

// The upper median of values (the middle one of an odd count, the higher of the two middle
// ones of an even count); 0 when there are none.
inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Milliseconds from start until now, on the steady clock.
inline double MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

}  // namespace quorvant::bench
