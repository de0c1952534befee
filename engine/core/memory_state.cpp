#include "engine/core/memory_state.h"

#include <algorithm>
#include <limits>

#include "common/core/rounding.h"

namespace quorvant::engine {

namespace {

// A megabyte count beyond 2^31 MB (2 PiB) cannot be shown; it stays at the largest figure.
std::int32_t Megabytes(std::uint64_t bytes) {
  constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
  return static_cast<std::int32_t>(std::min(bytes / kBytesPerMegabyte, kMax));
}

}  // namespace

MemoryFigures FiguresOf(const MemoryStatus& status) {
  MemoryFigures figures;
  figures.all = Megabytes(status.totalBytes);
  figures.left = Megabytes(status.availableBytes);
  figures.used = figures.all - figures.left;
  if (figures.all != 0) {
    figures.usedRate = static_cast<std::int32_t>(
        NearestInt(static_cast<double>(figures.used) / static_cast<double>(figures.all) * 100.0));
  }
  return figures;
}

std::int32_t GetUsedMemoryMB(MemoryReading& reading) { return FiguresOf(reading.Read()).used; }

std::wstring MegabytesText(std::int32_t megabytes) { return std::to_wstring(megabytes) + L" MB"; }

std::wstring PercentText(std::int32_t percent) { return std::to_wstring(percent) + L"%"; }

MemoryStateTexts TextsOf(const MemoryFigures& figures) {
  return {MegabytesText(figures.all), MegabytesText(figures.used), MegabytesText(figures.left),
          PercentText(figures.usedRate)};
}

}  // namespace quorvant::engine
