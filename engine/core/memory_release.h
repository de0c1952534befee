#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/core/memory_state.h"

namespace quorvant::engine {

// Trims the working set of every running process. The platform's walk lets the window
// handle its events between processes, so a release may start inside another.
class TrimmingWalk {
 public:
  virtual ~TrimmingWalk() = default;
  virtual void TrimAll() = 0;
};

// One row of the memory log, its three columns as text.
struct MemoryLogRow {
  std::wstring number;
  std::wstring time;
  std::wstring event;

  friend bool operator==(const MemoryLogRow&, const MemoryLogRow&) = default;
};

// What a release shows: the message of an on-demand release, the log and its clock.
class ReleaseOutput {
 public:
  virtual ~ReleaseOutput() = default;
  // Returns when the user has closed the message.
  virtual void ShowSuccess(const std::wstring& message) = 0;
  virtual int LogRowCount() const = 0;
  // Appends the row and scrolls it into view.
  virtual void AppendLogRow(const MemoryLogRow& row) = 0;
  virtual std::wstring TimeOfDay() const = 0;
};

// "-3 MB memory released.": the figure is signed; memory that grew meanwhile shows as such.
std::wstring ReleasedText(std::int32_t megabytes);
// "Success! 12 MB memory released."
std::wstring SuccessText(std::int32_t megabytes);
// The row appended when the log holds rowCount rows.
MemoryLogRow LogRowOf(int rowCount, std::wstring time, std::int32_t megabytes);

// Ticks of the one-second memory timer between automatic releases for an interval text of
// the list; 0 for any other text, which releases at every tick.
std::int32_t IntervalThreshold(std::wstring_view intervalText);

// Check-box value that switches the automatic release on.
inline constexpr int kAutoReleaseTicked = 1;

// Counts the memory timer's ticks towards the automatic release. The count is not reset
// while the box is unticked or when the interval changes, so a release comes at the next
// tick once the count has passed the threshold; a release restarts it at 1.
class AutoReleaseCounter {
 public:
  // One tick; true when an automatic release is due now.
  bool Tick(std::wstring_view intervalText, int checkValue);
  // Ticks the timer did not deliver while it was stopped (the box unticked): they count as
  // ticks that released nothing, so the next tick compares as if the timer had run.
  void Credit(std::int64_t ticks);
  // Ticks from now to the one that releases, with the box ticked and this interval; at
  // least the next one. The ticks before it only count, so the timer may sleep through them.
  std::int64_t TicksUntilDue(std::wstring_view intervalText) const;
  std::int32_t Count() const { return count_; }

 private:
  std::int32_t count_ = 0;
};

// The memory release: measured as the drop in used memory around one trimming walk.
class MemoryRelease {
 public:
  MemoryRelease(MemoryReading& reading, TrimmingWalk& walk, ReleaseOutput& output)
      : reading_(reading), walk_(walk), output_(output) {}

  // Used megabytes before minus after one walk.
  std::int32_t Measure();
  // The click of "Release memory now": measures, shows the figure and, once the message
  // is closed, logs it.
  std::int32_t ReleaseOnDemand();
  // A release that logs its figure without a message (the automatic one).
  std::int32_t FreeMemoryAndLog();
  // One tick of the memory timer; runs the automatic release when due. True when it ran.
  bool TimerMemoryTick(std::wstring_view intervalText, int checkValue);
  // Ticks the stopped memory timer would have delivered; see AutoReleaseCounter::Credit.
  void CreditTicks(std::int64_t ticks) { counter_.Credit(ticks); }

  const AutoReleaseCounter& Counter() const { return counter_; }

 private:
  void Log(std::int32_t megabytes);

  MemoryReading& reading_;
  TrimmingWalk& walk_;
  ReleaseOutput& output_;
  AutoReleaseCounter counter_;
};

}  // namespace quorvant::engine
