#pragma once

#include "engine/core/memory_release.h"

namespace quorvant::win32 {

// Trims the working set of every process of a fresh snapshot, the program's own included,
// letting the window handle its pending events before and after each process so timers and
// clicks go on during a release. Processes that cannot be opened or have ended are passed
// over.
void DoAllMiniUseMemory();

class ProcessTrimmingWalk final : public engine::TrimmingWalk {
 public:
  void TrimAll() override { DoAllMiniUseMemory(); }
};

}  // namespace quorvant::win32
