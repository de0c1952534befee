#pragma once

// One row of the table that bench/run.sh gathers from every benchmark: what was measured,
// its figure and its floor (with their units), the ratio of the two and the conditions.
// Each benchmark still prints its own details; the row is a line that starts with "@table".

#include <cstdio>

namespace quorvant::bench {

inline void TableRow(const char* figure, double value, double floor, const char* unit,
                     const char* conditions) {
  std::printf("@table %s|%.2f %s|%.2f %s|%.2f|%s\n", figure, value, unit, floor, unit,
              floor > 0 ? value / floor : 0.0, conditions);
}

}  // namespace quorvant::bench
