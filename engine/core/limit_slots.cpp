#include "engine/core/limit_slots.h"

namespace quorvant {

LimitSlotTable& LimitSlots() {
  static LimitSlotTable table;
  return table;
}

std::optional<int> LimitSlotTable::FindProcess(std::uint32_t id) const {
  for (int slot = kFirst; slot <= kLast; ++slot) {
    if ((*this)[slot].ProcessID == id) return slot;
  }
  return std::nullopt;
}

std::optional<int> LimitSlotTable::FirstFree() const {
  for (int slot = kFirst; slot <= kLast; ++slot) {
    if (!(*this)[slot].InUse) return slot;
  }
  return std::nullopt;
}

int LimitSlotTable::CountInUse(const std::function<void()>& between) const {
  int count = 0;
  for (int slot = kFirst; slot <= kLast; ++slot) {
    if (between) between();
    if ((*this)[slot].InUse) ++count;
    if (between) between();
  }
  return count;
}

bool LimitSlotTable::Take(std::uint32_t id, std::wstring_view path, int percent) {
  const auto slot = FirstFree();
  if (!slot) return false;
  LimitSlot& s = (*this)[*slot];
  s.InUse = true;
  s.ProcessID = id;
  s.ProcessPath = std::wstring(path);
  s.LimitPercent = percent;
  return true;
}

bool LimitSlotTable::Adjust(std::uint32_t id, int percent) {
  const auto slot = FindProcess(id);
  if (!slot) return false;
  (*this)[*slot].LimitPercent = percent;
  return true;
}

bool LimitSlotTable::Release(std::uint32_t id) {
  const auto slot = FindProcess(id);
  if (!slot) return false;
  (*this)[*slot].InUse = false;
  return true;
}

void LimitSlotTable::MarkRows(
    const std::vector<std::wstring>& rowIds,
    const std::function<void(int row, const std::wstring& text)>& setLimitText) {
  for (auto& slot : slots_) {
    if (!slot.InUse) continue;
    bool listed = false;
    for (size_t row = 0; row < rowIds.size(); ++row) {
      if (engine::PidFromText(rowIds[row]) != slot.ProcessID) continue;
      setLimitText(static_cast<int>(row), engine::LimitText(slot.LimitPercent));
      listed = true;
    }
    if (!listed) slot.InUse = false;
  }
}

namespace engine {

std::uint32_t PidFromText(std::wstring_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == L' ') ++i;
  std::uint64_t value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10 + static_cast<std::uint64_t>(text[i] - L'0');
    if (value > 0xFFFFFFFFull) return 0;  // no process has such an id
  }
  return static_cast<std::uint32_t>(value);
}

std::wstring LimitText(int percent) { return std::to_wstring(percent) + L"%"; }

LimitCommandPlan PlanLimitCommand(const LimitSlotTable& table, int rowCount, int selectedRow,
                                  std::wstring_view pidText, std::wstring_view limitText,
                                  const std::function<void()>& between) {
  LimitCommandPlan plan;
  if (rowCount <= 0 || selectedRow < 0) return plan;
  if (!limitText.empty()) {
    plan.action = LimitCommandPlan::Action::OpenExisting;
    if (const auto slot = table.FindProcess(PidFromText(pidText))) {
      plan.sliderValue = table[*slot].LimitPercent;
    }
    return plan;
  }
  plan.action = table.CountInUse(between) == LimitSlotTable::kLast
                    ? LimitCommandPlan::Action::Refuse
                    : LimitCommandPlan::Action::OpenNew;
  return plan;
}

std::wstring LimitOk(LimitSlotTable& table, std::wstring_view pidText, std::wstring_view path,
                     int percent) {
  (void)table.Take(PidFromText(pidText), path, percent);
  return LimitText(percent);
}

std::wstring LimitAdjustment(LimitSlotTable& table, std::wstring_view pidText, int percent) {
  (void)table.Adjust(PidFromText(pidText), percent);
  return LimitText(percent);
}

std::wstring LimitRelease(LimitSlotTable& table, std::wstring_view pidText) {
  (void)table.Release(PidFromText(pidText));
  return {};
}

}  // namespace engine

}  // namespace quorvant
