#include "engine/core/process_list.h"

#include "engine/core/text_tools.h"

namespace quorvant::engine {

std::wstring GetProcessPath(ProcessSource& source, std::uint32_t id, std::wstring_view name,
                            PathRule rule) {
  const std::wstring wanted = source.Upper(TrimNull(name));
  if (wanted.empty() || id == 0) return {};
  std::wstring result;
  auto matches = [&](std::wstring_view path) {
    if (source.Upper(TrimNull(path)).find(wanted) == std::wstring::npos) return false;
    result = source.Lower(TrimNull(path));
    return true;
  };
  if (rule == PathRule::ImageName) {
    if (matches(source.ImagePath(id))) return result;
    source.ForEachModulePath(id, matches);
    return result;
  }
  source.ForEachModulePath(id, matches);
  if (result.empty()) (void)matches(source.ImagePath(id));
  return result;
}

std::wstring ImageKey(int rowCount) { return L"P" + std::to_wstring(rowCount + 1); }

int BuildProcessList(ProcessSource& source, const std::function<void(const ListedProcess&)>& add,
                     PathRule rule) {
  int rows = 0;
  source.ForEachProcess([&](const ProcessSource::Process& process) {
    ListedProcess row;
    row.name = TrimNull(process.exeFile);
    // A process caught half-started may have no name yet; an empty name is in every path.
    if (row.name.empty()) return;
    row.path = TrimNull(GetProcessPath(source, process.id, row.name, rule));
    if (row.path.empty()) return;
    row.number = rows + 1;
    row.id = process.id;
    row.started = process.started;
    ++rows;
    row.imageKey = ImageKey(rows);
    add(row);
  });
  return rows;
}

}  // namespace quorvant::engine
