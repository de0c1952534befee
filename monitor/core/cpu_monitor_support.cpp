#include "monitor/core/cpu_monitor_support.h"

#include <cmath>
#include <limits>

#include "common/core/rounding.h"

namespace quorvant {

namespace {

// The level arithmetic keeps its intermediate values as four-decimal fixed-point numbers.
constexpr double kFixedScale = 10000.0;
// Beyond this a scaled value no longer fits the 64-bit fixed-point store.
constexpr double kFixedLimit = 9.2e18;
constexpr double kPercent = 100.0;
constexpr double kHalf = 0.5;
constexpr std::uint32_t kProcessorCountMask = 0xFF;
constexpr std::uint32_t kWin9xLevelMask = 0xFF;

std::optional<std::int64_t> ToFixed4(double value) {
  const double scaled = value * kFixedScale;
  if (!std::isfinite(scaled) || std::fabs(scaled) >= kFixedLimit) return std::nullopt;
  return NearestInt(scaled);
}

// Differences of the platform's 100 ns counters; wraps instead of overflowing.
std::int64_t Difference(std::int64_t now, std::int64_t before) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(now) -
                                   static_cast<std::uint64_t>(before));
}

// The free share of a disk, kept to four decimals.
float FreeSharePercent(std::int64_t free, std::int64_t total) {
  const auto share =
      static_cast<float>(static_cast<double>(free) / static_cast<double>(total) * kPercent);
  return static_cast<float>(static_cast<double>(NearestInt(share * kFixedScale)) / kFixedScale);
}

std::optional<std::uint64_t> CheckedProduct(std::uint64_t a, std::uint64_t b) {
  if (a != 0 && b > std::numeric_limits<std::uint64_t>::max() / a) return std::nullopt;
  return a * b;
}

// A byte count as the signed 64-bit disk fields hold it.
std::optional<std::int64_t> ByteCount(std::optional<std::uint64_t> value) {
  if (!value || *value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(*value);
}

void ZeroDiskFields(SystemLevelSample& sample) {
  sample.HDTotalBytes = 0;
  sample.HDTotalFreeBytes = 0;
  sample.HDAvailableFreeBytes = 0;
  sample.HDTotalBytesUsed = 0;
  sample.HDAvailablePercent = 0;
}

}  // namespace

SystemLevelReport ToReport(const SystemLevelSample& s) {
  return {static_cast<std::int32_t>(NearestInt(s.CPULoadPercent)),
          static_cast<std::int32_t>(NearestInt(s.MemoryLoadPercent)),
          s.PhysicalMemoryTotal,
          s.PhysicalMemoryAvailable,
          s.PhysicalMemoryAvailablePercent,
          s.PageFileTotal,
          s.PageFileAvailable,
          s.PageFileAvailablePercent,
          s.VirtualMemoryTotal,
          s.VirtualMemoryAvailable,
          s.VirtualMemoryAvailablePercent,
          s.HDTotalBytes,
          s.HDTotalFreeBytes,
          s.HDAvailableFreeBytes,
          s.HDTotalBytesUsed,
          s.HDAvailablePercent};
}

float CpuLevelFromTimes(std::int64_t idleDelta, std::int64_t timeDelta, unsigned processors) {
  if (processors == 0) return kCpuLevelFailed;
  // Idle share r of the interval; with no time elapsed the raw idle difference is read as
  // a four-decimal number.
  std::int64_t idleShare = idleDelta;
  if (timeDelta != 0) {
    const auto r = ToFixed4(static_cast<double>(idleDelta) / static_cast<double>(timeDelta));
    if (!r) return kCpuLevelFailed;
    idleShare = *r;
  }
  const double idlePercent = static_cast<double>(idleShare) / kPercent;  // 100 x r
  // The +0.5 lifts a busy share with a fraction to the next whole number once rounded.
  const auto busy = ToFixed4(kPercent - idlePercent / processors + kHalf);
  if (!busy) return kCpuLevelFailed;
  return static_cast<float>(NearestInt(static_cast<double>(*busy) / kFixedScale));
}

float CpuLevelFromWin9xValue(std::uint32_t value) {
  return static_cast<float>(value & kWin9xLevelMask);
}

std::optional<float> ShareInUsePercent(std::uint64_t total, std::uint64_t available) {
  if (total == 0) return std::nullopt;
  return static_cast<float>((1.0 - static_cast<double>(available) / static_cast<double>(total)) *
                            kPercent);
}

void ApplyMemoryStatus(const MemoryStatus& m, SystemLevelSample& sample) {
  sample.MemoryLoadPercent = static_cast<float>(m.memoryLoad);
  sample.PhysicalMemoryTotal = m.totalPhys;
  sample.PhysicalMemoryAvailable = m.availPhys;
  sample.PageFileTotal = m.totalPageFile;
  sample.PageFileAvailable = m.availPageFile;
  sample.VirtualMemoryTotal = m.totalVirtual;
  sample.VirtualMemoryAvailable = m.availVirtual;
  if (const auto p = ShareInUsePercent(m.totalPhys, m.availPhys)) {
    sample.PhysicalMemoryAvailablePercent = *p;
  }
  if (const auto p = ShareInUsePercent(m.totalPageFile, m.availPageFile)) {
    sample.PageFileAvailablePercent = *p;
  }
  if (const auto p = ShareInUsePercent(m.totalVirtual, m.availVirtual)) {
    sample.VirtualMemoryAvailablePercent = *p;
  }
}

void ApplyDiskSpaceEx(const DiskSpaceEx& reading, SystemLevelSample& sample) {
  if (reading.status != PlatformCall::kSucceeded) {
    ZeroDiskFields(sample);
    return;
  }
  const auto total = ByteCount(reading.totalBytes);
  const auto totalFree = ByteCount(reading.totalFreeBytes);
  const auto available = ByteCount(reading.freeBytesAvailable);
  sample.HDTotalBytes = total.value_or(0);
  sample.HDTotalFreeBytes = totalFree.value_or(0);
  sample.HDAvailableFreeBytes = available.value_or(0);
  sample.HDTotalBytesUsed = sample.HDTotalBytes - sample.HDAvailableFreeBytes;
  if (sample.HDTotalBytes != 0) {
    sample.HDAvailablePercent = FreeSharePercent(sample.HDAvailableFreeBytes, sample.HDTotalBytes);
  }
}

void ApplyDiskClusters(const std::optional<DiskClusters>& reading, SystemLevelSample& sample) {
  if (!reading) {
    ZeroDiskFields(sample);
    return;
  }
  // Each amount stands on its own: one that cannot be formed stays 0 and the rest go on.
  const auto clusterBytes = CheckedProduct(reading->sectorsPerCluster, reading->bytesPerSector);
  const std::int64_t total =
      ByteCount(clusterBytes ? CheckedProduct(*clusterBytes, reading->totalClusters) : std::nullopt)
          .value_or(0);
  const std::int64_t free =
      ByteCount(clusterBytes ? CheckedProduct(*clusterBytes, reading->freeClusters) : std::nullopt)
          .value_or(0);
  sample.HDTotalBytes = total;
  sample.HDTotalFreeBytes = free;
  sample.HDTotalBytesUsed = total - free;
  if (total != 0) sample.HDAvailablePercent = FreeSharePercent(free, total);
  sample.HDAvailableFreeBytes = free;
}

bool ModuleCpuMonitorSupport::IsNtPlatform() { return platform_.PlatformId() == kPlatformWin32Nt; }

void ModuleCpuMonitorSupport::StartCpuSampling(bool isNt) {
  if (!isNt) {
    platform_.StartWin9xCounter();
    return;
  }
  // A failed priming leaves the baseline as it was; the first reading then covers more.
  const auto now = platform_.CurrentTime();
  if (!now) return;
  const auto idle = platform_.IdleTime();
  if (!idle) return;
  baseline_.previousIdleTime = *idle;
  baseline_.previousSystemTime = *now;
}

float ModuleCpuMonitorSupport::ReadCpuLevel(bool isNt) {
  if (!isNt) {
    const auto value = platform_.QueryWin9xCpuUsage();
    if (!value) {
      platform_.ShowMessage(kUnableToQueryRegistry);
      return kCpuLevelFailed;
    }
    return CpuLevelFromWin9xValue(*value);
  }
  const auto processors = platform_.NumberOfProcessors();
  if (!processors) return kCpuLevelFailed;
  const auto now = platform_.CurrentTime();
  if (!now) return kCpuLevelFailed;
  const auto idle = platform_.IdleTime();
  if (!idle) return kCpuLevelFailed;
  const float level = CpuLevelFromTimes(Difference(*idle, baseline_.previousIdleTime),
                                        Difference(*now, baseline_.previousSystemTime),
                                        *processors & kProcessorCountMask);
  baseline_.previousIdleTime = *idle;
  baseline_.previousSystemTime = *now;
  return level;
}

void ModuleCpuMonitorSupport::StopCpuSampling(bool isNt) {
  if (!isNt) platform_.StopWin9xCounter();
}

void ModuleCpuMonitorSupport::ReadMemoryLevels(SystemLevelSample& sample) {
  // A status the platform cannot give leaves the sample as it was.
  if (const auto status = platform_.GlobalMemoryStatus()) ApplyMemoryStatus(*status, sample);
}

void ModuleCpuMonitorSupport::ReadDiskLevels(std::wstring_view drivePath,
                                             SystemLevelSample& sample) {
  const DiskSpaceEx extended = platform_.DiskFreeSpaceEx(drivePath);
  if (extended.status == PlatformCall::kMissing) {
    ApplyDiskClusters(platform_.DiskFreeSpace(drivePath), sample);
  } else {
    ApplyDiskSpaceEx(extended, sample);
  }
}

std::wstring ModuleCpuMonitorSupport::GetWindowsFolder() { return platform_.WindowsDirectory(); }

}  // namespace quorvant
