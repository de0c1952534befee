#include "monitor/core/cpu_monitor_support.h"

#include <gtest/gtest.h>

#include "tests/unit/monitor/monitor_fakes.h"

namespace quorvant {
namespace {

using testing::FakeReadings;

constexpr std::uint64_t kGiB = 1ull << 30;

struct NtCase {
  const char* name;
  std::int64_t idle;
  std::int64_t time;
  unsigned processors;
  float level;
};

TEST(CpuLevelTest, NtReadingAgainstZeroBaseline) {
  const NtCase cases[] = {
      {"idle 75 % gives 25.5, to even 26", 7'500'000, 10'000'000, 1, 26},
      {"idle 70 % gives 30.5, to even 30", 7'000'000, 10'000'000, 1, 30},
      {"two processors share the idle time", 15'000'000, 10'000'000, 2, 26},
      {"no time and no idle elapsed", 0, 0, 1, 100},
      {"a busy share with a fraction goes up", 7'123'000, 10'000'000, 1, 29},
      {"no clamping below zero; -19.5 goes to even", 12'000'000, 10'000'000, 1, -20},
  };
  for (const auto& c : cases) {
    FakeReadings platform;
    ModuleCpuMonitorSupport support(platform);
    platform.idleTime = c.idle;
    platform.currentTime = c.time;
    platform.processors = c.processors;
    EXPECT_EQ(support.ReadCpuLevel(true), c.level) << c.name;
    EXPECT_EQ(support.Baseline().previousIdleTime, c.idle) << c.name;
    EXPECT_EQ(support.Baseline().previousSystemTime, c.time) << c.name;
  }
}

TEST(CpuLevelTest, FailedQueryKeepsBaselineForTheNextReading) {
  enum Failing { kProcessors, kTime, kIdle };
  for (const Failing failing : {kProcessors, kTime, kIdle}) {
    FakeReadings platform;
    ModuleCpuMonitorSupport support(platform);
    platform.currentTime = 10'000'000;
    platform.idleTime = 5'000'000;
    support.StartCpuSampling(true);

    platform.currentTime = 20'000'000;
    platform.idleTime = 6'000'000;
    if (failing == kProcessors) platform.processors.reset();
    if (failing == kTime) platform.currentTime.reset();
    if (failing == kIdle) platform.idleTime.reset();
    EXPECT_EQ(support.ReadCpuLevel(true), kCpuLevelFailed) << failing;
    EXPECT_EQ(support.Baseline().previousSystemTime, 10'000'000) << failing;
    EXPECT_EQ(support.Baseline().previousIdleTime, 5'000'000) << failing;

    // The next good reading covers both intervals: idle 7.5 of 20 -> 62.5 busy -> 63.
    platform.processors = 1;
    platform.currentTime = 30'000'000;
    platform.idleTime = 12'500'000;
    EXPECT_EQ(support.ReadCpuLevel(true), 63) << failing;
  }
}

TEST(CpuLevelTest, PrimingSetsTheBaselineUnlessAQueryFails) {
  FakeReadings platform;
  ModuleCpuMonitorSupport support(platform);
  platform.currentTime = 40;
  platform.idleTime.reset();
  support.StartCpuSampling(true);
  EXPECT_EQ(support.Baseline().previousSystemTime, 0);

  platform.idleTime = 30;
  support.StartCpuSampling(true);
  EXPECT_EQ(support.Baseline().previousSystemTime, 40);
  EXPECT_EQ(support.Baseline().previousIdleTime, 30);
  EXPECT_EQ(platform.win9xStarts, 0);
}

TEST(CpuLevelTest, Win9xReadsTheLowByteOrReportsTheRegistry) {
  FakeReadings platform;
  platform.platformId = 1;
  ModuleCpuMonitorSupport support(platform);
  EXPECT_FALSE(support.IsNtPlatform());
  support.StartCpuSampling(false);
  EXPECT_EQ(platform.win9xStarts, 1);

  platform.win9xValue = 0x137;
  EXPECT_EQ(support.ReadCpuLevel(false), 55);
  EXPECT_TRUE(platform.messages.empty());

  platform.win9xValue.reset();
  EXPECT_EQ(support.ReadCpuLevel(false), kCpuLevelFailed);
  EXPECT_EQ(support.ReadCpuLevel(false), kCpuLevelFailed);
  EXPECT_EQ(platform.messages, (std::vector<std::wstring>{L"Unable to Query Registry!",
                                                          L"Unable to Query Registry!"}));

  support.StopCpuSampling(true);
  EXPECT_EQ(platform.win9xStops, 0);
  support.StopCpuSampling(false);
  EXPECT_EQ(platform.win9xStops, 1);
}

TEST(MemoryLevelsTest, AmountsAreSixtyFourBitAndPercentagesAreTheShareInUse) {
  FakeReadings platform;
  ModuleCpuMonitorSupport support(platform);
  platform.memory =
      MemoryStatus{42, kGiB, kGiB / 4, 48 * kGiB, 12 * kGiB, 128 * 1024 * kGiB, 96 * 1024 * kGiB};
  SystemLevelSample sample;
  support.ReadMemoryLevels(sample);
  EXPECT_EQ(sample.MemoryLoadPercent, 42);
  EXPECT_EQ(sample.PhysicalMemoryTotal, kGiB);
  EXPECT_EQ(sample.PhysicalMemoryAvailable, kGiB / 4);
  EXPECT_EQ(sample.PhysicalMemoryAvailablePercent, 75);
  EXPECT_EQ(sample.PageFileTotal, 48 * kGiB);
  EXPECT_EQ(sample.PageFileAvailablePercent, 75);
  EXPECT_EQ(sample.VirtualMemoryTotal, 128 * 1024 * kGiB);
  EXPECT_EQ(sample.VirtualMemoryAvailablePercent, 25);
}

TEST(MemoryLevelsTest, ZeroTotalKeepsOnlyThatPercentage) {
  FakeReadings platform;
  ModuleCpuMonitorSupport support(platform);
  SystemLevelSample sample;
  sample.PhysicalMemoryAvailablePercent = 11;
  sample.PageFileAvailablePercent = 22;
  platform.memory = MemoryStatus{5, 0, 0, 100, 50, 0, 0};
  sample.VirtualMemoryAvailablePercent = 33;
  support.ReadMemoryLevels(sample);
  EXPECT_EQ(sample.PhysicalMemoryAvailablePercent, 11);
  EXPECT_EQ(sample.PageFileAvailablePercent, 50);
  EXPECT_EQ(sample.VirtualMemoryAvailablePercent, 33);
  EXPECT_EQ(sample.PhysicalMemoryTotal, 0u);

  // A status the platform cannot give leaves everything as it was.
  platform.memory.reset();
  const SystemLevelSample before = sample;
  support.ReadMemoryLevels(sample);
  EXPECT_EQ(sample, before);
}

TEST(DiskLevelsTest, ExtendedReading) {
  FakeReadings platform;
  ModuleCpuMonitorSupport support(platform);
  platform.diskEx = {PlatformCall::kSucceeded, 300 * kGiB, 1000 * kGiB, 320 * kGiB};
  SystemLevelSample sample;
  support.ReadDiskLevels(L"D:\\", sample);
  EXPECT_EQ(platform.diskPaths, std::vector<std::wstring>{L"D:\\"});
  EXPECT_EQ(sample.HDTotalBytes, static_cast<std::int64_t>(1000 * kGiB));
  EXPECT_EQ(sample.HDTotalFreeBytes, static_cast<std::int64_t>(320 * kGiB));
  EXPECT_EQ(sample.HDAvailableFreeBytes, static_cast<std::int64_t>(300 * kGiB));
  EXPECT_EQ(sample.HDTotalBytesUsed, static_cast<std::int64_t>(700 * kGiB));
  EXPECT_EQ(sample.HDAvailablePercent, 30);

  // The free share keeps four decimals: 1/3 -> 33.3333.
  platform.diskEx = {PlatformCall::kSucceeded, 1, 3, 1};
  support.ReadDiskLevels(L"D:\\", sample);
  EXPECT_FLOAT_EQ(sample.HDAvailablePercent, 33.3333f);

  platform.diskEx.status = PlatformCall::kFailed;
  support.ReadDiskLevels(L"Q:\\", sample);
  EXPECT_EQ(sample, SystemLevelSample{});
}

TEST(DiskLevelsTest, ZeroTotalKeepsThePreviousFreeShare) {
  FakeReadings platform;
  ModuleCpuMonitorSupport support(platform);
  SystemLevelSample sample;
  sample.HDAvailablePercent = 40;
  platform.diskEx = {PlatformCall::kSucceeded, 0, 0, 0};
  support.ReadDiskLevels(L"C:\\", sample);
  EXPECT_EQ(sample.HDAvailablePercent, 40);
  EXPECT_EQ(sample.HDTotalBytes, 0);
}

TEST(DiskLevelsTest, ClusterReadingWhenTheExtendedOneIsMissing) {
  FakeReadings platform;
  ModuleCpuMonitorSupport support(platform);
  platform.diskEx.status = PlatformCall::kMissing;
  platform.clusters = DiskClusters{8, 512, 1000, 4000};
  SystemLevelSample sample;
  support.ReadDiskLevels(L"C:\\", sample);
  EXPECT_EQ(sample.HDTotalBytes, 4096 * 4000);
  EXPECT_EQ(sample.HDTotalFreeBytes, 4096 * 1000);
  EXPECT_EQ(sample.HDAvailableFreeBytes, 4096 * 1000);
  EXPECT_EQ(sample.HDTotalBytesUsed, 4096 * 3000);
  EXPECT_EQ(sample.HDAvailablePercent, 25);

  // A disk of no clusters: the amounts are written, the free share stays.
  platform.clusters = DiskClusters{8, 512, 0, 0};
  support.ReadDiskLevels(L"C:\\", sample);
  EXPECT_EQ(sample.HDTotalBytes, 0);
  EXPECT_EQ(sample.HDTotalFreeBytes, 0);
  EXPECT_EQ(sample.HDTotalBytesUsed, 0);
  EXPECT_EQ(sample.HDAvailableFreeBytes, 0);
  EXPECT_EQ(sample.HDAvailablePercent, 25);

  platform.clusters.reset();
  support.ReadDiskLevels(L"C:\\", sample);
  EXPECT_EQ(sample, SystemLevelSample{});
}

TEST(ModuleCpuMonitorSupportTest, PlatformAndWindowsFolder) {
  FakeReadings platform;
  ModuleCpuMonitorSupport support(platform);
  EXPECT_TRUE(support.IsNtPlatform());
  EXPECT_EQ(support.GetWindowsFolder(), L"C:\\WINDOWS");
}

TEST(SystemLevelReportTest, LevelsAreRoundedHalvesToEven) {
  SystemLevelSample sample;
  sample.CPULoadPercent = kCpuLevelFailed;
  sample.MemoryLoadPercent = 42.5f;
  sample.HDTotalBytes = 7;
  sample.HDAvailablePercent = 12.25f;
  const SystemLevelReport report = ToReport(sample);
  EXPECT_EQ(report.CPULoadPercent, -1);
  EXPECT_EQ(report.MemoryLoadPercent, 42);
  EXPECT_EQ(report.HDTotalBytes, 7);
  EXPECT_EQ(report.HDAvailablePercent, 12.25f);
}

}  // namespace
}  // namespace quorvant
