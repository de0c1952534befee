#include "monitor/core/sample_history.h"

#include <gtest/gtest.h>

#include "tests/unit/monitor/monitor_fakes.h"

namespace quorvant {
namespace {

using testing::FakeReadings;

class SampleHistoryTest : public ::testing::Test {
 protected:
  FakeReadings platform;
  ModuleCpuMonitorSupport support{platform};
  SampleHistory history;

  void Sample(int width, std::uint32_t memoryLoad) {
    platform.SetMemoryLoad(memoryLoad);
    history.TakeSample(width, support, L"C:\\", true);
  }
};

TEST_F(SampleHistoryTest, SamplesMoveLeftAndHistoryStartStopsAtZero) {
  history.Allocate(5, 2);  // a drawing area 3 wide in a window of 6 slots
  Sample(3, 10);
  Sample(3, 20);
  Sample(3, 30);
  EXPECT_EQ(history.HistoryStart(), 0);
  EXPECT_EQ(history.Slot(0).MemoryLoadPercent, 10);
  EXPECT_EQ(history.Slot(1).MemoryLoadPercent, 20);
  EXPECT_EQ(history.Slot(2).MemoryLoadPercent, 30);
  Sample(3, 40);
  EXPECT_EQ(history.HistoryStart(), 0);
  EXPECT_EQ(history.Slot(0).MemoryLoadPercent, 20);
  EXPECT_EQ(history.Slot(2).MemoryLoadPercent, 40);
  EXPECT_EQ(history.Slot(3).MemoryLoadPercent, 0) << "beyond the drawing area";
}

TEST_F(SampleHistoryTest, OnePixelWideAreaSamplesIntoSlotZeroWithoutShifting) {
  history.Allocate(3, 0);
  history.Slot(1).MemoryLoadPercent = 77;
  Sample(1, 15);
  EXPECT_EQ(history.Slot(0).MemoryLoadPercent, 15);
  EXPECT_EQ(history.Slot(1).MemoryLoadPercent, 77);
}

TEST_F(SampleHistoryTest, FailedReadingKeepsThePreviousNewestValues) {
  history.Allocate(4, 3);
  platform.diskEx = {PlatformCall::kSucceeded, 1, 4, 1};
  Sample(4, 60);
  platform.memory.reset();
  platform.idleTime.reset();
  history.TakeSample(4, support, L"C:\\", true);
  EXPECT_EQ(history.Slot(3).MemoryLoadPercent, 60);
  EXPECT_EQ(history.Slot(2).MemoryLoadPercent, 60);
  EXPECT_EQ(history.Slot(3).HDAvailablePercent, 25);
  EXPECT_EQ(history.Slot(3).CPULoadPercent, kCpuLevelFailed);
}

TEST_F(SampleHistoryTest, GrowingKeepsTheNewestSamplesAtTheRight) {
  history.Allocate(4, 3);  // 5 slots for a drawing area 4 wide
  Sample(4, 10);
  Sample(4, 20);
  EXPECT_EQ(history.HistoryStart(), 1);

  history.EnsureColumns(8);
  EXPECT_EQ(history.Size(), 8);
  EXPECT_EQ(history.Slot(6).MemoryLoadPercent, 10);
  EXPECT_EQ(history.Slot(7).MemoryLoadPercent, 20);
  EXPECT_EQ(history.HistoryStart(), 5) << "the same two samples are drawn";

  Sample(8, 30);
  EXPECT_EQ(history.Slot(5).MemoryLoadPercent, 10);
  EXPECT_EQ(history.Slot(7).MemoryLoadPercent, 30);

  // Taking a sample for an area wider than the window grows it first.
  Sample(10, 40);
  EXPECT_EQ(history.Size(), 10);
  EXPECT_EQ(history.Slot(8).MemoryLoadPercent, 30);
  EXPECT_EQ(history.Slot(9).MemoryLoadPercent, 40);
}

}  // namespace
}  // namespace quorvant
