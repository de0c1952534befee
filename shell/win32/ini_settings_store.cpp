#include "shell/win32/ini_settings_store.h"

#include <windows.h>

#include <array>

#include "engine/core/public_function.h"
#include "shell/win32/program_files.h"

namespace quorvant::win32 {

namespace {
constexpr DWORD kValueBufferSize = 255;
}

std::wstring IniSettingsStore::Read(shell::SettingKey key) {
  std::array<wchar_t, kValueBufferSize> buffer{};
  const std::wstring section(key.section), name(key.key);
  (void)::GetPrivateProfileStringW(section.c_str(), name.c_str(), L"", buffer.data(),
                                   kValueBufferSize, path_.c_str());
  return TrimNull(std::wstring_view(buffer.data(), buffer.size()));
}

void IniSettingsStore::Write(shell::SettingKey key, std::wstring_view value) {
  const std::wstring section(key.section), name(key.key), text(value);
  // A failed write keeps the user's choice on screen; there is nothing to tell them.
  (void)::WritePrivateProfileStringW(section.c_str(), name.c_str(), text.c_str(), path_.c_str());
}

std::wstring ConfigFilePath() { return ExecutableFolder() + L"\\Config.ini"; }

}  // namespace quorvant::win32
