#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/process_identity.h"

namespace quorvant {

// One entry of the CPU-limit table.
struct LimitSlot {
  bool InUse = false;
  std::uint32_t ProcessID = 0;
  int LimitPercent = 0;
  std::wstring ProcessPath;
  // The limited process itself: its id may name another process once it has ended.
  ProcessIdentity Process;
};

// The program-wide table of exactly three limits, addressed 1 to 3. Slots are always
// searched in order 1, 2, 3 and the first match wins; a process holds at most one slot in
// use.
class LimitSlotTable {
 public:
  static constexpr int kFirst = 1;
  static constexpr int kLast = 3;

  LimitSlot& operator[](int slot) { return slots_.at(static_cast<size_t>(slot - kFirst)); }
  const LimitSlot& operator[](int slot) const {
    return slots_.at(static_cast<size_t>(slot - kFirst));
  }

  // A slot without a process cannot be in use; run at start-up.
  void ReleaseSlotsWithoutProcess() {
    for (auto& slot : slots_) {
      if (slot.ProcessID == 0) slot.InUse = false;
    }
  }

  // The slot in use that holds process.
  std::optional<int> FindLive(const ProcessIdentity& process) const;
  // The first slot not in use.
  std::optional<int> FirstFree() const;
  // The slots in use. between runs before and after each slot is looked at (the window
  // handles its pending events there), so it may change the table while the count runs.
  int CountInUse(const std::function<void()>& between = {}) const;

  // The process's slot takes the limit: the one it holds, else the first free one. Empty
  // when it holds none and none is free.
  std::optional<int> Take(const ProcessIdentity& process, std::wstring_view path, int percent);
  // The process's slot gets the new percent; false when it holds none.
  bool Adjust(const ProcessIdentity& process, int percent);
  // The process's slot becomes free and keeps its old values until reused; false when it
  // holds none.
  bool Release(const ProcessIdentity& process);

  // After a rebuild of the process list: every row showing the process of a slot in use
  // shows its limit; a slot whose process has no row any more (it has ended, or its id now
  // names a later process) becomes free and is handed to freed. rowIds holds each row's
  // process id; identify tells which process runs under an id now, and is asked only for
  // the ids of slots in use.
  using Identify = std::function<std::optional<ProcessIdentity>(std::uint32_t id)>;
  void MarkRows(const std::vector<std::uint32_t>& rowIds, const Identify& identify,
                const std::function<void(int row, const std::wstring& text)>& setLimitText,
                const std::function<void(const LimitSlot& slot)>& freed = {});

 private:
  std::array<LimitSlot, kLast - kFirst + 1> slots_{};
};

namespace engine {

// The lowest and highest limit the slider offers, and where a new limit starts.
inline constexpr int kMinLimitPercent = 1;
inline constexpr int kMaxLimitPercent = 99;

// A limit as the "CPU Usage limited" column shows it: "50%".
std::wstring LimitText(int percent);
// A program rule's limit in the same column, told apart from the table's: "20% rule".
inline constexpr std::wstring_view kRuleLimitSuffix = L" rule";
std::wstring RuleLimitText(int percent);

// What "Limit" (or a double click on the list) does for the selected row.
struct LimitCommandPlan {
  enum class Action {
    Nothing,       // no row to act on
    Refuse,        // three limits held: "Can not limit more"
    OpenNew,       // the dialog with "OK" and "Cancel"
    OpenExisting,  // the dialog with "Adjustment" and "Release"
  };
  Action action = Action::Nothing;
  int sliderValue = kMaxLimitPercent;
};

// rowCount and selectedRow describe the list (selectedRow -1 when none is selected);
// process is the selected row's process. Whether it is limited already is the table's to
// say: a program rule's limit holds no slot and opens a new limit.
// between runs around each slot of the count of used slots.
LimitCommandPlan PlanLimitCommand(const LimitSlotTable& table, int rowCount, int selectedRow,
                                  const ProcessIdentity& process,
                                  const std::function<void()>& between = {});

}  // namespace engine

}  // namespace quorvant
