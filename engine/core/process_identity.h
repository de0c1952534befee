#pragma once

#include <cstdint>

namespace quorvant {

// A process as the program remembers it between two moments: its id and the time it was
// created. The system reuses ids as soon as a process is gone, so an id alone may name an
// unrelated program a moment later; the pair never does.
struct ProcessIdentity {
  std::uint32_t id = 0;
  // Creation time as the system gives it: 100-nanosecond intervals since 1 January 1601.
  std::uint64_t started = 0;

  // Both halves are known; an identity with either half missing names no process.
  bool Known() const { return id != 0 && started != 0; }
  friend bool operator==(const ProcessIdentity&, const ProcessIdentity&) = default;
};

}  // namespace quorvant
