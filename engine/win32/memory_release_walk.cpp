#include "engine/win32/memory_release_walk.h"

#include "common/win32/pending_events.h"
#include "engine/win32/processes.h"

namespace quorvant::win32 {

void DoAllMiniUseMemory(const std::function<bool(std::uint32_t id)>& skip) {
  // A snapshot that cannot be taken ends the walk at once; the release still reports.
  (void)ForEachProcess([&skip](const ProcessEntry& entry) {
    if (skip && skip(entry.id)) return;
    ProcessPendingEvents();
    // The idle process and protected ones refuse; that is expected.
    (void)MiniUseMemory(entry.id);
    ProcessPendingEvents();
  });
}

void ProcessTrimmingWalk::TrimAll() {
  if (!rules_) {
    DoAllMiniUseMemory();
    return;
  }
  DoAllMiniUseMemory([this](std::uint32_t id) { return rules_->NeverTrim(id); });
}

}  // namespace quorvant::win32
