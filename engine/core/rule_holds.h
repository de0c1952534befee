#pragma once

#include <cstdint>
#include <optional>

#include "engine/core/process_identity.h"

namespace quorvant::engine {

// What the booster, the limit table and the memory release ask of the program rules about
// one process. A process a rule holds but the system would not let it control is held all
// the same: nothing else should try it either.
class RuleHolds {
 public:
  virtual ~RuleHolds() = default;
  virtual bool HoldsProcess(const ProcessIdentity& process) const = 0;
  // The class the rule keeps the process at: where the booster returns it.
  virtual std::optional<int> RuleClass(const ProcessIdentity& process) const = 0;
  // The rule's CPU limit: what the process returns to when the table lets go of it.
  virtual std::optional<int> RulePercent(const ProcessIdentity& process) const = 0;
  // The rule's limit on whatever process runs under id now, with that process; for marking
  // list rows, which know only ids.
  struct HeldLimit {
    ProcessIdentity process;
    int percent = 0;
  };
  virtual std::optional<HeldLimit> LimitOfId(std::uint32_t id) const = 0;
  // Whether the memory release passes the process running under id over. An id the walk
  // has not seen again since its process ended may be passed over once: never trimming is
  // the harmless side.
  virtual bool NeverTrim(std::uint32_t id) const = 0;
};

}  // namespace quorvant::engine
