#pragma once

#include <cstdint>

#include "engine/core/memory_state.h"

namespace quorvant::win32 {

// The system's physical memory from 64-bit byte counts, so machines with 4 GB and more
// read right.
engine::MemoryStatus ReadMemoryStatus();

class SystemMemoryReading final : public engine::MemoryReading {
 public:
  engine::MemoryStatus Read() override { return ReadMemoryStatus(); }
};

// The used physical memory of a fresh reading, in whole megabytes.
std::int32_t GetUsedMemoryMB();

}  // namespace quorvant::win32
