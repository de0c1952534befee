#pragma once

#include <cstdint>
#include <string>

#include "monitor/core/cpu_monitor_support.h"

namespace quorvant {

// A byte count for people: "1,024 B", "3 K", "5.00 MB", "1.00 GB", with the user's group and
// decimal separators. Values up to 1024 (and all negative ones) are shown in bytes.
std::wstring FormatFilesize(double nValue, const NumberSymbols& symbols);
// Integral amounts keep every digit in the bytes row.
std::wstring FormatFilesize(std::int64_t nValue, const NumberSymbols& symbols);

}  // namespace quorvant
