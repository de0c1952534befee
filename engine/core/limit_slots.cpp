#include "engine/core/limit_slots.h"

namespace quorvant {

std::optional<int> LimitSlotTable::FindLive(const ProcessIdentity& process) const {
  for (int slot = kFirst; slot <= kLast; ++slot) {
    if ((*this)[slot].InUse && (*this)[slot].Process == process) return slot;
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

std::optional<int> LimitSlotTable::Take(const ProcessIdentity& process, std::wstring_view path,
                                        int percent) {
  auto slot = FindLive(process);
  if (!slot) slot = FirstFree();
  if (!slot) return std::nullopt;
  LimitSlot& s = (*this)[*slot];
  s.InUse = true;
  s.ProcessID = process.id;
  s.Process = process;
  s.ProcessPath = std::wstring(path);
  s.LimitPercent = percent;
  return slot;
}

bool LimitSlotTable::Adjust(const ProcessIdentity& process, int percent) {
  const auto slot = FindLive(process);
  if (!slot) return false;
  (*this)[*slot].LimitPercent = percent;
  return true;
}

bool LimitSlotTable::Release(const ProcessIdentity& process) {
  bool released = false;
  // Every slot the process holds, should there ever be two: a release always releases.
  while (const auto slot = FindLive(process)) {
    (*this)[*slot].InUse = false;
    released = true;
  }
  return released;
}

void LimitSlotTable::MarkRows(
    const std::vector<std::uint32_t>& rowIds, const Identify& identify,
    const std::function<void(int row, const std::wstring& text)>& setLimitText,
    const std::function<void(const LimitSlot& slot)>& freed) {
  for (auto& slot : slots_) {
    if (!slot.InUse) continue;
    bool listed = false;
    // Asked once per slot: the rows of one rebuild show each process once.
    std::optional<std::optional<ProcessIdentity>> running;
    for (size_t row = 0; row < rowIds.size(); ++row) {
      if (rowIds[row] != slot.ProcessID) continue;
      if (!running) running = identify(slot.ProcessID);
      if (!slot.Process.Known() || *running != slot.Process) continue;
      setLimitText(static_cast<int>(row), engine::LimitText(slot.LimitPercent));
      listed = true;
    }
    if (listed) continue;
    slot.InUse = false;
    if (freed) freed(slot);
  }
}

namespace engine {

std::wstring LimitText(int percent) { return std::to_wstring(percent) + L"%"; }

std::wstring RuleLimitText(int percent) {
  return LimitText(percent) + std::wstring(kRuleLimitSuffix);
}

LimitCommandPlan PlanLimitCommand(const LimitSlotTable& table, int rowCount, int selectedRow,
                                  const ProcessIdentity& process,
                                  const std::function<void()>& between) {
  LimitCommandPlan plan;
  if (rowCount <= 0 || selectedRow < 0) return plan;
  if (const auto slot = table.FindLive(process)) {
    plan.action = LimitCommandPlan::Action::OpenExisting;
    plan.sliderValue = table[*slot].LimitPercent;
    return plan;
  }
  plan.action = table.CountInUse(between) == LimitSlotTable::kLast
                    ? LimitCommandPlan::Action::Refuse
                    : LimitCommandPlan::Action::OpenNew;
  return plan;
}

}  // namespace engine

}  // namespace quorvant
