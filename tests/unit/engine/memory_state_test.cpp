#include "engine/core/memory_state.h"

#include <gtest/gtest.h>

namespace quorvant::engine {
namespace {

constexpr std::uint64_t kMiB = 1048576;
constexpr std::uint64_t kGiB = 1024 * kMiB;

TEST(MemoryFiguresTest, FromByteCounts) {
  struct Case {
    const char* name;
    MemoryStatus status;
    MemoryFigures figures;
  };
  const Case cases[] = {
      {"2 GiB with 1 GiB left", {2 * kGiB, kGiB}, {2048, 1024, 1024, 50}},
      // Halves of the rate go to the even neighbour: 12.5 -> 12, 37.5 -> 38.
      {"12.5% used", {8 * kMiB, 7 * kMiB}, {8, 1, 7, 12}},
      {"37.5% used", {8 * kMiB, 5 * kMiB}, {8, 3, 5, 38}},
      // Each figure is rounded down on its own before the subtraction.
      {"partial megabytes", {10485759, 1048577}, {9, 8, 1, 89}},
      // Counts past 4 GiB do not wrap as 32-bit counts would.
      {"16 GiB", {16 * kGiB, 4 * kGiB + 5 * kMiB}, {16384, 12283, 4101, 75}},
      {"past 4 GiB by a little", {4 * kGiB + 3 * kMiB, 2 * kMiB}, {4099, 4097, 2, 100}},
      {"all free", {kGiB, kGiB}, {1024, 0, 1024, 0}},
      // Less than 1 MB in all: no division by zero, the rate shows 0.
      {"under 1 MB", {kMiB - 1, 0}, {0, 0, 0, 0}},
      {"nothing", {0, 0}, {0, 0, 0, 0}},
      // Beyond what a signed 32-bit megabyte figure holds, the figure stays at its largest.
      {"beyond 2^31 MB", {~std::uint64_t{0}, 0}, {2147483647, 2147483647, 0, 100}},
  };
  for (const auto& c : cases) {
    const MemoryFigures f = FiguresOf(c.status);
    EXPECT_EQ(f.all, c.figures.all) << c.name;
    EXPECT_EQ(f.used, c.figures.used) << c.name;
    EXPECT_EQ(f.left, c.figures.left) << c.name;
    EXPECT_EQ(f.usedRate, c.figures.usedRate) << c.name;
  }
}

TEST(MemoryFiguresTest, TextsOfTheStatusBlock) {
  const MemoryStateTexts texts = TextsOf({2048, 1024, 1024, 50});
  EXPECT_EQ(texts.all, L"2048 MB");
  EXPECT_EQ(texts.used, L"1024 MB");
  EXPECT_EQ(texts.left, L"1024 MB");
  EXPECT_EQ(texts.usedRate, L"50%");
  // Plain decimal: no grouping, a minus sign without a blank.
  EXPECT_EQ(MegabytesText(123456), L"123456 MB");
  EXPECT_EQ(MegabytesText(-3), L"-3 MB");
  EXPECT_EQ(PercentText(0), L"0%");
}

class FakeReading : public MemoryReading {
 public:
  MemoryStatus status;
  int reads = 0;
  MemoryStatus Read() override {
    ++reads;
    return status;
  }
};

TEST(MemoryFiguresTest, UsedMegabytesComeFromAFreshReading) {
  FakeReading reading;
  reading.status = {8 * kGiB, 3 * kGiB};
  EXPECT_EQ(GetUsedMemoryMB(reading), 5120);
  reading.status.availableBytes = 2 * kGiB;
  EXPECT_EQ(GetUsedMemoryMB(reading), 6144);
  EXPECT_EQ(reading.reads, 2);
}

}  // namespace
}  // namespace quorvant::engine
