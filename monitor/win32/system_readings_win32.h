#pragma once

#include <windows.h>

#include "common/win32/unique_handle.h"
#include "monitor/core/cpu_monitor_support.h"

namespace quorvant::win32 {

// The levels as the system reports them: NtQuerySystemInformation for the CPU on the NT
// family, the dynamic registry where those are missing, GlobalMemoryStatusEx for memory and
// GetDiskFreeSpaceExW (looked up at every reading, with the cluster reading as fallback)
// for the disk.
class PlatformSystemReadings final : public SystemReadings {
 public:
  std::uint32_t PlatformId() override;
  std::optional<unsigned> NumberOfProcessors() override;
  std::optional<std::int64_t> CurrentTime() override;
  std::optional<std::int64_t> IdleTime() override;
  void StartWin9xCounter() override;
  std::optional<std::uint32_t> QueryWin9xCpuUsage() override;
  void StopWin9xCounter() override;
  void ShowMessage(std::wstring_view text) override;
  std::optional<MemoryStatus> GlobalMemoryStatus() override;
  DiskSpaceEx DiskFreeSpaceEx(std::wstring_view path) override;
  std::optional<DiskClusters> DiskFreeSpace(std::wstring_view path) override;
  std::wstring WindowsDirectory() override;
  NumberSymbols UserNumberSymbols() override;

 private:
  // Windows 9x: the counter's data key, open between start and stop.
  unique_hkey statData_;
};

// The process's one ModuleCpuMonitorSupport over the system, and with it the one CPU
// baseline every monitor control measures against.
ModuleCpuMonitorSupport& ProcessCpuMonitorSupport();

}  // namespace quorvant::win32
