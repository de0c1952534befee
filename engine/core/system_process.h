#pragma once

#include <cstdint>
#include <string>

#include "engine/core/process_identity.h"

namespace quorvant::engine {

// One process as a single walk of the system's process table gives it: enough to list it,
// recognise it again and tell how much processor time it has used, without opening it.
struct SystemProcess {
  std::uint32_t id = 0;
  std::uint32_t parentId = 0;
  std::uint32_t sessionId = 0;
  // Creation time, in 100-nanosecond intervals since 1 January 1601, as ProcessIdentity has it.
  std::uint64_t started = 0;
  // Kernel and user time together, in 100-nanosecond units.
  std::uint64_t cpuTime = 0;
  // The executable's file name as the walk gives it.
  std::wstring imageName;

  ProcessIdentity Identity() const { return {id, started}; }
};

}  // namespace quorvant::engine
