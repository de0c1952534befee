#pragma once

#include <cstdint>
#include <string>

namespace quorvant::engine {

// One reading of the system's physical memory, in bytes.
struct MemoryStatus {
  std::uint64_t totalBytes = 0;
  std::uint64_t availableBytes = 0;
};

// Where readings come from: the system, or a fake in tests.
class MemoryReading {
 public:
  virtual ~MemoryReading() = default;
  virtual MemoryStatus Read() = 0;
};

// The whole-megabyte figures the memory readout shows and releases are measured with.
struct MemoryFigures {
  std::int32_t all = 0;       // MB
  std::int32_t used = 0;      // MB
  std::int32_t left = 0;      // MB
  std::int32_t usedRate = 0;  // percent

  friend bool operator==(const MemoryFigures&, const MemoryFigures&) = default;
};

inline constexpr std::uint64_t kBytesPerMegabyte = 1048576;

// Each megabyte figure is rounded down on its own, so used = all - left exactly; the rate is
// rounded to nearest, halves to even, and is 0 when there is less than 1 MB in all.
MemoryFigures FiguresOf(const MemoryStatus& status);

// A fresh reading's used megabytes.
std::int32_t GetUsedMemoryMB(MemoryReading& reading);

// "2048 MB" and "50%": plain decimal, no grouping.
std::wstring MegabytesText(std::int32_t megabytes);
std::wstring PercentText(std::int32_t percent);

// The texts of the memory-status block.
struct MemoryStateTexts {
  std::wstring all;
  std::wstring used;
  std::wstring left;
  std::wstring usedRate;
};
MemoryStateTexts TextsOf(const MemoryFigures& figures);

}  // namespace quorvant::engine
