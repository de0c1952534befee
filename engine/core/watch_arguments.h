#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/process_identity.h"

namespace quorvant {

// The watcher's command line: its switch, the program's id and creation time, and the
// program's ledger. With the start switch it only starts the watcher, out of the program's
// process tree, and ends; with the watch switch it is the watcher. Anything else is not a
// watcher's command line.
inline constexpr std::wstring_view kWatchSwitch = L"--watch";
inline constexpr std::wstring_view kStartWatchSwitch = L"--start";

struct WatchRequest {
  bool startOnly = false;  // the start switch: start the watcher, then end
  ProcessIdentity program;
  std::wstring ledgerPath;

  friend bool operator==(const WatchRequest&, const WatchRequest&) = default;
};

// The words after the watcher's name, the ledger's path quoted.
std::wstring FormatWatchArguments(const WatchRequest& request);
// A request only from a switch, two plain decimal numbers naming a known process and a
// ledger path that is absolute (a drive and a folder) and has no quote in it.
std::optional<WatchRequest> ParseWatchArguments(const std::vector<std::wstring>& arguments);

}  // namespace quorvant
