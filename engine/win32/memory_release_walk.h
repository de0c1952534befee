#pragma once

#include <cstdint>
#include <functional>

#include "engine/core/memory_release.h"
#include "engine/core/rule_holds.h"

namespace quorvant::win32 {

// Trims the working set of every process of a fresh snapshot, the program's own included,
// letting the window handle its pending events before and after each process so timers and
// clicks go on during a release. Processes that cannot be opened or have ended are passed
// over, and so are those skip names (a program rule's "never trim").
void DoAllMiniUseMemory(const std::function<bool(std::uint32_t id)>& skip = {});

class ProcessTrimmingWalk final : public engine::TrimmingWalk {
 public:
  void TrimAll() override;
  // The program rules whose "never trim" processes the walk passes over; none by default.
  void SetRules(const engine::RuleHolds* rules) { rules_ = rules; }

 private:
  const engine::RuleHolds* rules_ = nullptr;
};

}  // namespace quorvant::win32
