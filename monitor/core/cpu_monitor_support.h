#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "monitor/core/system_levels.h"

namespace quorvant {

// The platform's memory status, 64-bit amounts in bytes.
struct MemoryStatus {
  std::uint32_t memoryLoad = 0;
  std::uint64_t totalPhys = 0;
  std::uint64_t availPhys = 0;
  std::uint64_t totalPageFile = 0;
  std::uint64_t availPageFile = 0;
  std::uint64_t totalVirtual = 0;
  std::uint64_t availVirtual = 0;
};

enum class PlatformCall { kSucceeded, kFailed, kMissing };

// The extended disk reading; kMissing where the system lacks it, and the cluster reading
// stands in.
struct DiskSpaceEx {
  PlatformCall status = PlatformCall::kFailed;
  std::uint64_t freeBytesAvailable = 0;  // to the calling user
  std::uint64_t totalBytes = 0;
  std::uint64_t totalFreeBytes = 0;
};

// The cluster reading, the fallback when the extended one is missing.
struct DiskClusters {
  std::uint32_t sectorsPerCluster = 0;
  std::uint32_t bytesPerSector = 0;
  std::uint32_t freeClusters = 0;
  std::uint32_t totalClusters = 0;
};

// Separators of the user's number format, used by FormatFilesize.
struct NumberSymbols {
  std::wstring groupSeparator = L",";
  std::wstring decimalSeparator = L".";
};

// The raw platform readings behind the levels. The Win32 layer implements it over the
// system; tests replace it with a fake. Every reading reports failure instead of throwing.
class SystemReadings {
 public:
  virtual ~SystemReadings() = default;

  // The version query's platform identifier (2 for the Windows NT family).
  virtual std::uint32_t PlatformId() = 0;

  // The three system-information classes of the NT family; empty when the query fails.
  virtual std::optional<unsigned> NumberOfProcessors() = 0;
  virtual std::optional<std::int64_t> CurrentTime() = 0;  // 100 ns units
  virtual std::optional<std::int64_t> IdleTime() = 0;     // all processors, 100 ns units

  // Where NT's CPU times are missing, the CPU usage comes from a counter in the dynamic
  // registry that has to be started and stopped. No x64 system takes this path; it is kept so
  // the sampling rule has a reading wherever the times fail.
  virtual void StartWin9xCounter() = 0;
  virtual std::optional<std::uint32_t> QueryWin9xCpuUsage() = 0;
  virtual void StopWin9xCounter() = 0;
  virtual void ShowMessage(std::wstring_view text) = 0;

  virtual std::optional<MemoryStatus> GlobalMemoryStatus() = 0;
  // Looks the extended reading up anew at every call.
  virtual DiskSpaceEx DiskFreeSpaceEx(std::wstring_view path) = 0;
  virtual std::optional<DiskClusters> DiskFreeSpace(std::wstring_view path) = 0;

  virtual std::wstring WindowsDirectory() = 0;
  virtual NumberSymbols UserNumberSymbols() = 0;
};

inline constexpr std::uint32_t kPlatformWin32Nt = 2;
inline constexpr std::wstring_view kUnableToQueryRegistry = L"Unable to Query Registry!";

// The state between two CPU readings. One per process: every monitor control measures
// against the last reading made by any of them.
struct CpuBaseline {
  std::int64_t previousIdleTime = 0;    // 100 ns units
  std::int64_t previousSystemTime = 0;  // 100 ns units
};

// The busy share of the CPU from two readings of the NT idle and system times; n is the
// number of processors. Rounds exactly as the level is defined (four decimals, +0.5,
// halves to even, no clamping); kCpuLevelFailed when the figures cannot be represented.
float CpuLevelFromTimes(std::int64_t idleDelta, std::int64_t timeDelta, unsigned processors);

// The level the dynamic registry's counter reports: the low byte of its value.
float CpuLevelFromWin9xValue(std::uint32_t value);

// Share in use, (1 - available / total) x 100; empty when the total is 0.
std::optional<float> ShareInUsePercent(std::uint64_t total, std::uint64_t available);

// The memory fields (2-11) of a sample from one memory status. A percentage whose total is
// 0 keeps its previous value.
void ApplyMemoryStatus(const MemoryStatus& status, SystemLevelSample& sample);

// The disk fields (12-16) of a sample. A percentage whose total is 0 keeps its previous
// value; a failed platform call zeroes all five.
void ApplyDiskSpaceEx(const DiskSpaceEx& reading, SystemLevelSample& sample);
void ApplyDiskClusters(const std::optional<DiskClusters>& reading, SystemLevelSample& sample);

// ModuleCpuMonitorSupport: the level readings of the monitor control, over one platform.
// It holds the process's CpuBaseline, so a program keeps one instance for all its monitors.
class ModuleCpuMonitorSupport {
 public:
  explicit ModuleCpuMonitorSupport(SystemReadings& platform) : platform_(platform) {}
  ModuleCpuMonitorSupport(const ModuleCpuMonitorSupport&) = delete;
  ModuleCpuMonitorSupport& operator=(const ModuleCpuMonitorSupport&) = delete;

  bool IsNtPlatform();
  void StartCpuSampling(bool isNt);
  float ReadCpuLevel(bool isNt);
  void StopCpuSampling(bool isNt);
  void ReadMemoryLevels(SystemLevelSample& sample);
  void ReadDiskLevels(std::wstring_view drivePath, SystemLevelSample& sample);
  std::wstring GetWindowsFolder();
  NumberSymbols UserNumberSymbols() { return platform_.UserNumberSymbols(); }

  const CpuBaseline& Baseline() const { return baseline_; }

 private:
  SystemReadings& platform_;
  CpuBaseline baseline_;
};

}  // namespace quorvant
