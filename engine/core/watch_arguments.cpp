#include "engine/core/watch_arguments.h"

#include "engine/core/effect_ledger.h"

namespace quorvant {

std::wstring FormatWatchArguments(const WatchRequest& request) {
  return std::wstring(request.startOnly ? kStartWatchSwitch : kWatchSwitch) + L' ' +
         std::to_wstring(request.program.id) + L' ' + std::to_wstring(request.program.started) +
         L" \"" + request.ledgerPath + L'"';
}

namespace {

// "C:\..." and nothing a command line could not carry whole.
bool IsAbsoluteLedgerPath(std::wstring_view path) {
  const bool drive = path.size() > 3 &&
                     ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
  return drive && path[1] == L':' && path[2] == L'\\' &&
         path.find(L'"') == std::wstring_view::npos && path.back() != L'\\';
}

}  // namespace

std::optional<WatchRequest> ParseWatchArguments(const std::vector<std::wstring>& arguments) {
  if (arguments.size() != 4) return std::nullopt;
  WatchRequest request;
  if (arguments[0] == kStartWatchSwitch) {
    request.startOnly = true;
  } else if (arguments[0] != kWatchSwitch) {
    return std::nullopt;
  }
  // Plain digits only: the numbers are read as the narrow text the ledger uses.
  std::string narrow[2];
  for (int i = 0; i < 2; ++i) {
    for (const wchar_t c : arguments[static_cast<size_t>(i) + 1]) {
      if (c < L'0' || c > L'9') return std::nullopt;
      narrow[i] += static_cast<char>(c);
    }
  }
  const auto program = ParseIdentity(narrow[0], narrow[1]);
  if (!program || !IsAbsoluteLedgerPath(arguments[3])) return std::nullopt;
  request.program = *program;
  request.ledgerPath = arguments[3];
  return request;
}

}  // namespace quorvant
