#include "monitor/win32/system_readings_win32.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace quorvant::win32 {
namespace {

constexpr std::uint64_t kMiB = 1ull << 20;

TEST(PlatformReadingsTest, CpuLevelIsAPercentageOnceTwoReadingsAreTaken) {
  PlatformSystemReadings platform;
  ModuleCpuMonitorSupport support(platform);
  ASSERT_TRUE(support.IsNtPlatform());

  SYSTEM_INFO info{};
  ::GetSystemInfo(&info);
  EXPECT_EQ(platform.NumberOfProcessors(), info.dwNumberOfProcessors & 0xFF)
      << "the basic-information record has the build's own size";

  support.StartCpuSampling(true);
  for (int reading = 0; reading < 2; ++reading) {
    const ULONGLONG until = ::GetTickCount64() + 150;
    volatile unsigned spin = 0;
    while (::GetTickCount64() < until) spin = spin + 1;  // some busy time to measure
    const float level = support.ReadCpuLevel(true);
    EXPECT_GE(level, 0) << reading;
    EXPECT_LE(level, 100) << reading;
  }
  EXPECT_NE(support.Baseline().previousSystemTime, 0);
}

TEST(PlatformReadingsTest, MemoryAmountsAreTheSystemsOwn64BitFigures) {
  PlatformSystemReadings platform;
  ModuleCpuMonitorSupport support(platform);
  SystemLevelSample sample;
  support.ReadMemoryLevels(sample);
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof(status);
  ASSERT_TRUE(::GlobalMemoryStatusEx(&status)) << "GlobalMemoryStatusEx: " << ::GetLastError();

  EXPECT_EQ(sample.PhysicalMemoryTotal, status.ullTotalPhys);
  EXPECT_EQ(sample.PageFileTotal, status.ullTotalPageFile);
  EXPECT_EQ(sample.VirtualMemoryTotal, status.ullTotalVirtual);
  // Available amounts move between two readings, though not by much.
  EXPECT_NEAR(static_cast<double>(sample.PhysicalMemoryAvailable),
              static_cast<double>(status.ullAvailPhys), 256.0 * kMiB);
  EXPECT_NEAR(static_cast<double>(sample.VirtualMemoryAvailable),
              static_cast<double>(status.ullAvailVirtual), 256.0 * kMiB);
  EXPECT_NEAR(sample.MemoryLoadPercent, static_cast<float>(status.dwMemoryLoad), 5);
  const double inUse =
      (1.0 - static_cast<double>(status.ullAvailPhys) / static_cast<double>(status.ullTotalPhys)) *
      100.0;
  EXPECT_NEAR(sample.PhysicalMemoryAvailablePercent, inUse, 2);
}

TEST(PlatformReadingsTest, DriveCMatchesTheSystemsFigures) {
  PlatformSystemReadings platform;
  ModuleCpuMonitorSupport support(platform);
  SystemLevelSample sample;
  support.ReadDiskLevels(L"C:\\", sample);
  ULARGE_INTEGER available{}, total{}, totalFree{};
  ASSERT_TRUE(::GetDiskFreeSpaceExW(L"C:\\", &available, &total, &totalFree));

  EXPECT_EQ(sample.HDTotalBytes, static_cast<std::int64_t>(total.QuadPart));
  EXPECT_NEAR(static_cast<double>(sample.HDAvailableFreeBytes),
              static_cast<double>(available.QuadPart), 64.0 * kMiB);
  EXPECT_NEAR(static_cast<double>(sample.HDTotalFreeBytes), static_cast<double>(totalFree.QuadPart),
              64.0 * kMiB);
  EXPECT_EQ(sample.HDTotalBytesUsed, sample.HDTotalBytes - sample.HDAvailableFreeBytes);
  EXPECT_NEAR(sample.HDAvailablePercent,
              static_cast<double>(available.QuadPart) / static_cast<double>(total.QuadPart) * 100,
              0.1);

  // A drive that does not exist reads as zeros, without a message.
  const DWORD drives = ::GetLogicalDrives();
  std::wstring missing = L"?:\\";
  for (wchar_t letter = L'Z'; letter > L'C'; --letter) {
    if (!(drives & (1u << (letter - L'A')))) missing[0] = letter;
  }
  ASSERT_NE(missing[0], L'?');
  support.ReadDiskLevels(missing, sample);
  EXPECT_EQ(sample.HDTotalBytes, 0);
  EXPECT_EQ(sample.HDAvailablePercent, 0);
}

TEST(PlatformReadingsTest, WindowsFolderAndNumberSymbols) {
  PlatformSystemReadings platform;
  wchar_t windows[MAX_PATH] = {};
  const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
  EXPECT_EQ(platform.WindowsDirectory(), std::wstring(windows, length));

  wchar_t group[8] = {};
  ASSERT_GT(::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, group, 8), 0);
  EXPECT_EQ(platform.UserNumberSymbols().groupSeparator, group);
}

}  // namespace
}  // namespace quorvant::win32
