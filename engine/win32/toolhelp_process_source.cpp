#include "engine/win32/toolhelp_process_source.h"

#include "engine/win32/processes.h"
#include "engine/win32/system_process_walk.h"

namespace quorvant::win32 {

void ToolhelpProcessSource::ForEachProcess(const std::function<void(const Process&)>& visit) {
  (void)win32::ForEachProcess([&](const ProcessEntry& entry) { visit({entry.id, entry.exeFile}); });
}

void ToolhelpProcessSource::ForEachModulePath(std::uint32_t id,
                                              const std::function<bool(std::wstring_view)>& visit) {
  win32::ForEachModulePath(id, visit);
}

void SystemProcessSource::ForEachProcess(const std::function<void(const Process&)>& visit) {
  const auto processes = WalkSystemProcesses();
  if (!processes) {
    ToolhelpProcessSource::ForEachProcess(visit);
    return;
  }
  for (const auto& process : *processes) visit({process.id, process.imageName, process.started});
}

std::wstring ToolhelpProcessSource::ImagePath(std::uint32_t id) { return ProcessImagePath(id); }

std::optional<ProcessIdentity> ToolhelpProcessSource::Identify(std::uint32_t id) {
  return IdentityOfId(id);
}

std::wstring ToolhelpProcessSource::Lower(std::wstring_view text) { return LowerFileName(text); }

std::wstring ToolhelpProcessSource::Upper(std::wstring_view text) { return UpperFileName(text); }

}  // namespace quorvant::win32
