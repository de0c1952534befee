#pragma once

namespace quorvant {

// Priority classes as the system numbers them. Their numbers do not follow their order.
inline constexpr int kIdlePriorityClass = 0x40;
inline constexpr int kBelowNormalPriorityClass = 0x4000;
inline constexpr int kNormalPriorityClass = 0x20;
inline constexpr int kAboveNormalPriorityClass = 0x8000;
inline constexpr int kHighPriorityClass = 0x80;
inline constexpr int kRealtimePriorityClass = 0x100;

// A class's place from Idle (0) to Realtime (5); -1 for a number that is no class.
constexpr int PriorityRank(int priorityClass) {
  switch (priorityClass) {
    case kIdlePriorityClass:
      return 0;
    case kBelowNormalPriorityClass:
      return 1;
    case kNormalPriorityClass:
      return 2;
    case kAboveNormalPriorityClass:
      return 3;
    case kHighPriorityClass:
      return 4;
    case kRealtimePriorityClass:
      return 5;
    default:
      return -1;
  }
}

}  // namespace quorvant
