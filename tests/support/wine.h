#pragma once

// Tests that lean on what only Wine offers, such as Linux's /proc for the CPU share another
// process really gets (Wine reports zero CPU times for other processes), say so and skip
// where Wine is not underneath.

#include <windows.h>

namespace quorvant::testing_support {

inline bool UnderWine() {
  return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

inline constexpr const char* kNeedsLinuxProc =
    "measures a process's share of a core in Linux's /proc, which only Wine offers";

}  // namespace quorvant::testing_support
