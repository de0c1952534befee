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
class ToolhelpProcessSource : public engine::ProcessSource {
 public:
  void ForEachProcess(const std::function<void(const Process&)>& visit) override;
  void ForEachModulePath(std::uint32_t id,
                         const std::function<bool(std::wstring_view)>& visit) override;
  std::wstring ImagePath(std::uint32_t id) override;
  std::optional<ProcessIdentity> Identify(std::uint32_t id) override;
  std::wstring Lower(std::wstring_view text) override;
  std::wstring Upper(std::wstring_view text) override;
};

// The same, with the processes from one read of the system's process table, which opens no
// process; a toolhelp snapshot where the system does not offer that read.
class SystemProcessSource final : public ToolhelpProcessSource {
 public:
  void ForEachProcess(const std::function<void(const Process&)>& visit) override;
};

}  // namespace quorvant::win32
