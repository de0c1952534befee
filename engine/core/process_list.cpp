#include "engine/core/process_list.h"

#include <algorithm>
#include <cwctype>

#include "engine/core/public_function.h"

namespace quorvant::engine {

std::wstring ToLower(std::wstring_view text) {
  std::wstring out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
  return out;
}

std::wstring ToUpper(std::wstring_view text) {
  std::wstring out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](wchar_t c) { return static_cast<wchar_t>(std::towupper(c)); });
  return out;
}

std::wstring GetProcessPath(ProcessSource& source, std::uint32_t id, std::wstring_view name) {
  const std::wstring wanted = ToUpper(TrimNull(name));
  std::wstring result;
  source.ForEachModulePath(id, [&](std::wstring_view path) {
    if (ToUpper(TrimNull(path)).find(wanted) == std::wstring::npos) return false;
    result = ToLower(TrimNull(path));
    return true;
  });
  return result;
}

std::wstring ImageKey(int rowCount) { return L"P" + std::to_wstring(rowCount + 1); }

int BuildProcessList(ProcessSource& source, const std::function<void(const ListedProcess&)>& add) {
  int rows = 0;
  source.ForEachProcess([&](const ProcessSource::Process& process) {
    ListedProcess row;
    row.name = TrimNull(process.exeFile);
    row.path = TrimNull(GetProcessPath(source, process.id, row.name));
    if (row.path.empty()) return;
    row.number = rows + 1;
    row.id = process.id;
    ++rows;
    row.imageKey = ImageKey(rows);
    add(row);
  });
  return rows;
}

}  // namespace quorvant::engine
