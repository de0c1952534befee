#include "engine/core/memory_release.h"

#include <limits>
#include <utility>

namespace quorvant::engine {

namespace {

struct IntervalEntry {
  std::wstring_view text;
  std::int32_t ticks;
};
constexpr IntervalEntry kIntervals[] = {
    {L"1 minute", 60},
    {L"3 minute", 180},
    {L"5 minute", 300},
    {L"10 minute", 600},
};

}  // namespace

std::wstring ReleasedText(std::int32_t megabytes) {
  return std::to_wstring(megabytes) + L" MB memory released.";
}

std::wstring SuccessText(std::int32_t megabytes) { return L"Success! " + ReleasedText(megabytes); }

MemoryLogRow LogRowOf(int rowCount, std::wstring time, std::int32_t megabytes) {
  return {std::to_wstring(static_cast<std::int64_t>(rowCount) + 1), std::move(time),
          ReleasedText(megabytes)};
}

std::int32_t IntervalThreshold(std::wstring_view intervalText) {
  for (const auto& interval : kIntervals) {
    if (interval.text == intervalText) return interval.ticks;
  }
  return 0;
}

bool AutoReleaseCounter::Tick(std::wstring_view intervalText, int checkValue) {
  const std::int32_t threshold = IntervalThreshold(intervalText);
  // Saturates rather than wrapping after 68 years of running unticked.
  if (count_ < std::numeric_limits<std::int32_t>::max()) ++count_;
  if (count_ < threshold || checkValue != kAutoReleaseTicked) return false;
  count_ = 1;
  return true;
}

void AutoReleaseCounter::Credit(std::int64_t ticks) {
  if (ticks <= 0) return;
  constexpr std::int32_t kMost = std::numeric_limits<std::int32_t>::max();
  count_ = ticks >= kMost - count_ ? kMost : count_ + static_cast<std::int32_t>(ticks);
}

std::int64_t AutoReleaseCounter::TicksUntilDue(std::wstring_view intervalText) const {
  const std::int64_t left = static_cast<std::int64_t>(IntervalThreshold(intervalText)) - count_;
  return left < 1 ? 1 : left;
}

std::int32_t MemoryRelease::Measure() {
  const std::int64_t before = GetUsedMemoryMB(reading_);
  walk_.TrimAll();
  const std::int64_t after = GetUsedMemoryMB(reading_);
  const std::int64_t released = before - after;
  // Two readings of a machine with at most 2^31 MB differ by less than that either way,
  // unless a reading was bogus; the figure is then held at the nearest reportable one.
  constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(released < kMin ? kMin : released > kMax ? kMax : released);
}

std::int32_t MemoryRelease::ReleaseOnDemand() {
  const std::int32_t released = Measure();
  output_.ShowSuccess(SuccessText(released));
  Log(released);
  return released;
}

std::int32_t MemoryRelease::FreeMemoryAndLog() {
  const std::int32_t released = Measure();
  Log(released);
  return released;
}

bool MemoryRelease::TimerMemoryTick(std::wstring_view intervalText, int checkValue) {
  if (!counter_.Tick(intervalText, checkValue)) return false;
  (void)FreeMemoryAndLog();
  return true;
}

void MemoryRelease::Log(std::int32_t megabytes) {
  // The number follows the rows there are now: a release nested in this one may have
  // added its own row meanwhile.
  output_.AppendLogRow(LogRowOf(output_.LogRowCount(), output_.TimeOfDay(), megabytes));
}

}  // namespace quorvant::engine
