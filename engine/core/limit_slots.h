#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace quorvant {

// One entry of the CPU-limit table.
struct LimitSlot {
  bool InUse = false;
  std::uint32_t ProcessID = 0;
  int LimitPercent = 0;
  std::wstring ProcessPath;
};

// The program-wide table of exactly three limits, addressed 1 to 3.
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

 private:
  std::array<LimitSlot, kLast - kFirst + 1> slots_{};
};

// Lives for the whole run.
LimitSlotTable& LimitSlots();

}  // namespace quorvant
