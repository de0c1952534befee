#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/core/system_process.h"

namespace quorvant::win32 {

// Every running process from one read of the system's process table: ids, parents, sessions,
// creation and processor times and file names, without opening any process. Empty where the
// system does not offer that read or refuses it; callers then walk a toolhelp snapshot.
std::optional<std::vector<engine::SystemProcess>> WalkSystemProcesses();

// The same walk for a caller that walks again and again (the rules and the calm, every
// second): the table's buffer and the list are kept between walks, so a walk allocates
// nothing once the table has stopped growing.
class SystemProcessWalker {
 public:
  // Every running process; null where the system does not offer the read or refuses it.
  // The list stays valid until the next walk.
  const std::vector<engine::SystemProcess>* Walk();

 private:
  std::vector<std::uint64_t> table_;
  std::vector<engine::SystemProcess> processes_;
};

}  // namespace quorvant::win32
