#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/core/process_list.h"

namespace quorvant::win32 {

// The process list's source on Windows: toolhelp process and module snapshots, the
// system's image names and creation times, and its case mapping of file names.
class ToolhelpProcessSource final : public engine::ProcessSource {
 public:
  void ForEachProcess(const std::function<void(const Process&)>& visit) override;
  void ForEachModulePath(std::uint32_t id,
                         const std::function<bool(std::wstring_view)>& visit) override;
  std::wstring ImagePath(std::uint32_t id) override;
  std::optional<ProcessIdentity> Identify(std::uint32_t id) override;
  std::wstring Lower(std::wstring_view text) override;
  std::wstring Upper(std::wstring_view text) override;
};

}  // namespace quorvant::win32
