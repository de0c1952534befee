#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/process_identity.h"

namespace quorvant {

// The private switch that starts the program as its own watcher, and its arguments: the
// program's id and creation time. Anything else is not a watcher's command line.
inline constexpr std::wstring_view kWatchSwitch = L"--watch";
std::wstring FormatWatchArguments(const ProcessIdentity& program);
std::optional<ProcessIdentity> ParseWatchArguments(const std::vector<std::wstring>& arguments);

}  // namespace quorvant
