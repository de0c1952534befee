#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvant {

// One entry of the CPU-limit table.
struct LimitSlot {
  bool InUse = false;
  std::uint32_t ProcessID = 0;
  int LimitPercent = 0;
  std::wstring ProcessPath;
};

// The program-wide table of exactly three limits, addressed 1 to 3. It only records
// limits for display and counting: nothing throttles a limited process. Slots are always
// searched in order 1, 2, 3 and the first match wins.
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

  // The first slot whose process is id, in use or not.
  std::optional<int> FindProcess(std::uint32_t id) const;
  // The first slot not in use.
  std::optional<int> FirstFree() const;
  // The slots in use. between runs before and after each slot is looked at (the window
  // handles its pending events there), so it may change the table while the count runs.
  int CountInUse(const std::function<void()>& between = {}) const;

  // "OK": the first free slot takes the limit; false when none is free.
  bool Take(std::uint32_t id, std::wstring_view path, int percent);
  // "Adjustment": the process's slot gets the new percent; false when it has none.
  bool Adjust(std::uint32_t id, int percent);
  // "Release": the process's slot becomes free and keeps its old values until reused;
  // false when it has none.
  bool Release(std::uint32_t id);

  // After a rebuild of the process list: every row whose process id matches a slot in use
  // shows its limit; a slot whose process has no row any more becomes free. rowIds holds
  // each row's "PID" text.
  void MarkRows(const std::vector<std::wstring>& rowIds,
                const std::function<void(int row, const std::wstring& text)>& setLimitText);

 private:
  std::array<LimitSlot, kLast - kFirst + 1> slots_{};
};

// Lives for the whole run.
LimitSlotTable& LimitSlots();

namespace engine {

// The lowest and highest limit the slider offers, and where a new limit starts.
inline constexpr int kMinLimitPercent = 1;
inline constexpr int kMaxLimitPercent = 99;

// A "PID" text of the list as a number: its leading decimal digits, 0 when it has none.
std::uint32_t PidFromText(std::wstring_view text);

// A limit as the "CPU Usage limited" column shows it: "50%".
std::wstring LimitText(int percent);

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
// pidText and limitText are the selected row's "PID" and "CPU Usage limited" columns.
// between runs around each slot of the count of used slots.
LimitCommandPlan PlanLimitCommand(const LimitSlotTable& table, int rowCount, int selectedRow,
                                  std::wstring_view pidText, std::wstring_view limitText,
                                  const std::function<void()>& between = {});

// The dialog's buttons on the table; each returns what the selected row's "CPU Usage
// limited" column shows afterwards, which is written even when no slot matched.
std::wstring LimitOk(LimitSlotTable& table, std::wstring_view pidText, std::wstring_view path,
                     int percent);
std::wstring LimitAdjustment(LimitSlotTable& table, std::wstring_view pidText, int percent);
std::wstring LimitRelease(LimitSlotTable& table, std::wstring_view pidText);

}  // namespace engine

}  // namespace quorvant
