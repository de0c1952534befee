#pragma once

#include <optional>
#include <vector>

#include "engine/core/system_process.h"

namespace quorvant::win32 {

// Every running process from one read of the system's process table: ids, parents, sessions,
// creation and processor times and file names, without opening any process. Empty where the
// system does not offer that read or refuses it; callers then walk a toolhelp snapshot.
std::optional<std::vector<engine::SystemProcess>> WalkSystemProcesses();

}  // namespace quorvant::win32
