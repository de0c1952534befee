#include "shell/win32/autorun.h"

#include "common/win32/unique_handle.h"
#include "shell/win32/program_files.h"

namespace quorvant::win32 {

namespace {

unique_hkey OpenRunKey(HKEY root, const std::wstring& subkey, REGSAM access) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
    return unique_hkey();
  }
  return unique_hkey(key);
}

}  // namespace

bool RegistryRunKeys::SetValue(shell::RunScope scope, std::wstring_view data) {
  const unique_hkey key = OpenRunKey(Root(scope), subkey_, KEY_SET_VALUE);
  if (!key) return false;
  const std::wstring text(data);
  const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));  // with its NUL
  const std::wstring name(shell::kRunValueName);
  return ::RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS;
}

void RegistryRunKeys::DeleteValue(shell::RunScope scope) {
  const unique_hkey key = OpenRunKey(Root(scope), subkey_, KEY_SET_VALUE);
  if (!key) return;
  const std::wstring name(shell::kRunValueName);
  (void)::RegDeleteValueW(key.get(), name.c_str());
}

void ModuleAutorun::Add() { shell::AddAutorun(keys_, ExecutablePath()); }

void ModuleAutorun::Remove() { shell::RemoveAutorun(keys_); }

}  // namespace quorvant::win32
