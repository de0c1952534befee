#include "shell/win32/ini_settings_store.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <array>

#include "common/win32/unique_handle.h"
#include "engine/core/text_tools.h"
#include "engine/win32/ledger_file.h"
#include "shell/core/fixed_texts.h"
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

bool IniSettingsStore::Write(shell::SettingKey key, std::wstring_view value) {
  const std::wstring section(key.section), name(key.key), text(value);
  return ::WritePrivateProfileStringW(section.c_str(), name.c_str(), text.c_str(), path_.c_str()) !=
         FALSE;
}

bool CanWrite(const std::wstring& path) {
  if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
    unique_hfile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file);
  }
  // A trial file that vanishes when closed.
  const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
  const std::wstring trial =
      folder + L"\\~quorvant-" + std::to_wstring(::GetCurrentProcessId()) + L".tmp";
  unique_hfile file(::CreateFileW(trial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  return static_cast<bool>(file);
}

std::wstring ConfigFilePath() {
  const std::wstring beside = ExecutableFolder() + L"\\Config.ini";
  if (CanWrite(beside)) return beside;

  PWSTR roaming = nullptr;
  if (FAILED(::SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &roaming))) {
    ::CoTaskMemFree(roaming);
    return beside;
  }
  const std::wstring folder = std::wstring(roaming) + L"\\" + std::wstring(shell::kProductName);
  ::CoTaskMemFree(roaming);
  (void)::CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring own = folder + L"\\Config.ini";
  // The first time, what was beside the program carries over; later the copy is the user's.
  (void)::CopyFileW(beside.c_str(), own.c_str(), TRUE);
  return own;
}

std::wstring LedgerFilePath() {
  // The user's own local folder, never the program's, which other users may write to; one
  // file per logon session, as the ledger's lock and the single-instance rule are.
  PWSTR local = nullptr;
  if (FAILED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local))) {
    ::CoTaskMemFree(local);
    return {};
  }
  const std::wstring folder = std::wstring(local) + L"\\" + std::wstring(shell::kProductName);
  ::CoTaskMemFree(local);
  (void)::CreateDirectoryW(folder.c_str(), nullptr);
  DWORD session = 0;
  (void)::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
  return folder + L"\\" + LedgerFileName(session);
}

}  // namespace quorvant::win32
