#include "engine/win32/memory_release_walk.h"

#include "common/win32/pending_events.h"
#include "engine/win32/module_process.h"

namespace quorvant::win32 {

void DoAllMiniUseMemory() {
  // A snapshot that cannot be taken ends the walk at once; the release still reports.
  (void)ForEachProcess([](const ProcessEntry& entry) {
    ProcessPendingEvents();
    // The idle process and protected ones refuse; that is expected.
    (void)MiniUseMemory(entry.id);
    ProcessPendingEvents();
  });
}

}  // namespace quorvant::win32
