#include "engine/win32/ledger_file.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <vector>

#include "common/win32/unique_handle.h"
#include "engine/core/effect_ledger.h"

namespace quorvant::win32 {

std::optional<std::string> ReadLedgerFile(const std::wstring& path) {
  const unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  std::string text(kMaxLedgerBytes + 1, '\0');
  DWORD total = 0;
  while (total < text.size()) {
    DWORD read = 0;
    if (!::ReadFile(file.get(), text.data() + total, static_cast<DWORD>(text.size() - total), &read,
                    nullptr) ||
        read == 0) {
      break;
    }
    total += read;
  }
  text.resize(total);
  return text;
}

namespace {

// Renames the open file over path: one call on the handle already open, where a rename by
// name would open the file again.
bool RenameOver(HANDLE file, const std::wstring& path) {
  const size_t bytes = path.size() * sizeof(wchar_t);
  std::vector<std::byte> buffer(sizeof(FILE_RENAME_INFO) + bytes);
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(bytes);
  std::copy(path.begin(), path.end(), rename->FileName);
  return ::SetFileInformationByHandle(file, FileRenameInfo, rename,
                                      static_cast<DWORD>(buffer.size())) != FALSE;
}

}  // namespace

bool WriteLedgerFile(const std::wstring& path, std::string_view text) {
  const std::wstring temporary = path + L"." + std::to_wstring(::GetCurrentProcessId()) + L".tmp";
  bool renamed = false;
  {
    // Written through, so what the rename puts in place is on the disk, not only in a cache
    // a power cut would lose.
    const unique_hfile file(::CreateFileW(temporary.c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                          CREATE_ALWAYS, FILE_FLAG_WRITE_THROUGH, nullptr));
    if (!file) return false;
    DWORD written = 0;
    if (!::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size()) {
      (void)::DeleteFileW(temporary.c_str());
      return false;
    }
    renamed = RenameOver(file.get(), path);
  }
  if (!renamed && !::MoveFileExW(temporary.c_str(), path.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    (void)::DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

void RemoveLedgerFile(const std::wstring& path) { (void)::DeleteFileW(path.c_str()); }

}  // namespace quorvant::win32
