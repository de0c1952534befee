#pragma once

#include <cstdint>

namespace quorvant {

// One sample of the five levels the monitor watches. Memory amounts are 64-bit: a 32-bit
// byte count overflows on any machine with 4 GB or more. The three memory "Available"
// percentages hold the share in use; HDAvailablePercent holds the free share.
struct SystemLevelSample {
  float CPULoadPercent = 0;  // whole number, or kCpuLevelFailed
  float MemoryLoadPercent = 0;
  std::uint64_t PhysicalMemoryTotal = 0;
  std::uint64_t PhysicalMemoryAvailable = 0;
  float PhysicalMemoryAvailablePercent = 0;
  std::uint64_t PageFileTotal = 0;
  std::uint64_t PageFileAvailable = 0;
  float PageFileAvailablePercent = 0;
  std::uint64_t VirtualMemoryTotal = 0;
  std::uint64_t VirtualMemoryAvailable = 0;
  float VirtualMemoryAvailablePercent = 0;
  std::int64_t HDTotalBytes = 0;
  std::int64_t HDTotalFreeBytes = 0;
  std::int64_t HDAvailableFreeBytes = 0;
  std::int64_t HDTotalBytesUsed = 0;
  float HDAvailablePercent = 0;

  friend bool operator==(const SystemLevelSample&, const SystemLevelSample&) = default;
};

// What GetCurrentSystemLevels returns and the Update event carries: the sample with the CPU
// and memory-load levels as whole numbers.
struct SystemLevelReport {
  std::int32_t CPULoadPercent = 0;
  std::int32_t MemoryLoadPercent = 0;
  std::uint64_t PhysicalMemoryTotal = 0;
  std::uint64_t PhysicalMemoryAvailable = 0;
  float PhysicalMemoryAvailablePercent = 0;
  std::uint64_t PageFileTotal = 0;
  std::uint64_t PageFileAvailable = 0;
  float PageFileAvailablePercent = 0;
  std::uint64_t VirtualMemoryTotal = 0;
  std::uint64_t VirtualMemoryAvailable = 0;
  float VirtualMemoryAvailablePercent = 0;
  std::int64_t HDTotalBytes = 0;
  std::int64_t HDTotalFreeBytes = 0;
  std::int64_t HDAvailableFreeBytes = 0;
  std::int64_t HDTotalBytesUsed = 0;
  float HDAvailablePercent = 0;

  friend bool operator==(const SystemLevelReport&, const SystemLevelReport&) = default;
};

// A CPU reading that failed; drawn below the curve area.
inline constexpr float kCpuLevelFailed = -1.0f;

SystemLevelReport ToReport(const SystemLevelSample& sample);

}  // namespace quorvant
