#include "shell/core/autorun_value.h"

namespace quorvant::shell {

std::wstring AutorunCommand(std::wstring_view exePath) {
  const auto slash = exePath.find_last_of(L"\\/");
  const std::wstring_view folder =
      slash == std::wstring_view::npos ? std::wstring_view{} : exePath.substr(0, slash);
  std::wstring_view name =
      slash == std::wstring_view::npos ? exePath : exePath.substr(slash + 1);
  const auto dot = name.find_last_of(L'.');
  if (dot != std::wstring_view::npos) name = name.substr(0, dot);

  std::wstring path = std::wstring(folder) + L"\\" + std::wstring(name) + L".exe";
  if (path.find(L' ') != std::wstring::npos) path = L"\"" + path + L"\"";
  return path;
}

}  // namespace quorvant::shell

namespace quorvant::shell {

void AddAutorun(RunKeyAccess& runKeys, std::wstring_view exePath) {
  const std::wstring data = AutorunCommand(exePath);
  if (runKeys.SetValue(RunScope::Machine, data)) {
    runKeys.DeleteValue(RunScope::User);
  } else {
    (void)runKeys.SetValue(RunScope::User, data);
  }
}

void RemoveAutorun(RunKeyAccess& runKeys) {
  runKeys.DeleteValue(RunScope::Machine);
  runKeys.DeleteValue(RunScope::User);
}

}  // namespace quorvant::shell
