#include "engine/core/watch_arguments.h"

#include "engine/core/effect_ledger.h"

namespace quorvant {

std::wstring FormatWatchArguments(const ProcessIdentity& program) {
  return std::wstring(kWatchSwitch) + L' ' + std::to_wstring(program.id) + L' ' +
         std::to_wstring(program.started);
}

std::optional<ProcessIdentity> ParseWatchArguments(const std::vector<std::wstring>& arguments) {
  if (arguments.size() != 3 || arguments[0] != kWatchSwitch) return std::nullopt;
  // Plain digits only: the numbers are read as the narrow text the ledger uses.
  std::string narrow[2];
  for (int i = 0; i < 2; ++i) {
    for (const wchar_t c : arguments[static_cast<size_t>(i) + 1]) {
      if (c < L'0' || c > L'9') return std::nullopt;
      narrow[i] += static_cast<char>(c);
    }
  }
  return ParseIdentity(narrow[0], narrow[1]);
}

}  // namespace quorvant
