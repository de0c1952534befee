#include "engine/win32/memory_reading.h"

#include <windows.h>

namespace quorvant::win32 {

engine::MemoryStatus ReadMemoryStatus() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof(status);
  // Cannot fail with the length set; a zero reading would show as 0 MB.
  (void)::GlobalMemoryStatusEx(&status);
  return {status.ullTotalPhys, status.ullAvailPhys};
}

std::int32_t GetUsedMemoryMB() {
  SystemMemoryReading reading;
  return engine::GetUsedMemoryMB(reading);
}

}  // namespace quorvant::win32
