#include "engine/win32/ledger_file.h"

#include <windows.h>

#include <aclapi.h>

#include <algorithm>
#include <cstddef>
#include <vector>

#include "common/win32/unique_handle.h"
#include "engine/core/effect_ledger.h"

namespace quorvant::win32 {

std::wstring LedgerFileName(unsigned long session) {
  return L"Effects." + std::to_wstring(session) + L".txt";
}

namespace {

// The security calls, from the system's advapi32 looked up when first needed: the watcher
// imports nothing but the kernel, and a file's owner is read only once its program is gone.
struct SecurityCalls {
  decltype(&::OpenProcessToken) openProcessToken = nullptr;
  decltype(&::GetTokenInformation) getTokenInformation = nullptr;
  decltype(&::GetLengthSid) getLengthSid = nullptr;
  decltype(&::CopySid) copySid = nullptr;
  decltype(&::EqualSid) equalSid = nullptr;
  decltype(&::GetSecurityInfo) getSecurityInfo = nullptr;

  bool Found() const {
    return openProcessToken && getTokenInformation && getLengthSid && copySid && equalSid &&
           getSecurityInfo;
  }
};

template <typename Call>
void Find(HMODULE module, const char* name, Call& call) {
  call = reinterpret_cast<Call>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

const SecurityCalls& Security() {
  static const SecurityCalls calls = [] {
    SecurityCalls found;
    // By its full path in the system folder: never a copy beside the program.
    wchar_t system[MAX_PATH]{};
    const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return found;
    const HMODULE advapi =
        ::LoadLibraryW((std::wstring(system, length) + L"\\advapi32.dll").c_str());
    if (!advapi) return found;
    Find(advapi, "OpenProcessToken", found.openProcessToken);
    Find(advapi, "GetTokenInformation", found.getTokenInformation);
    Find(advapi, "GetLengthSid", found.getLengthSid);
    Find(advapi, "CopySid", found.copySid);
    Find(advapi, "EqualSid", found.equalSid);
    Find(advapi, "GetSecurityInfo", found.getSecurityInfo);
    return found;
  }();
  return calls;
}

// One of this process's token's SIDs of kind (the user, or the default owner of what it
// creates, which for an elevated administrator is the Administrators group).
std::vector<std::byte> TokenSid(const SecurityCalls& calls, TOKEN_INFORMATION_CLASS kind) {
  HANDLE raw = nullptr;
  if (!calls.openProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
  const unique_handle token(raw);
  DWORD size = 0;
  (void)calls.getTokenInformation(token.get(), kind, nullptr, 0, &size);
  std::vector<std::byte> buffer(size);
  if (size == 0 || !calls.getTokenInformation(token.get(), kind, buffer.data(), size, &size)) {
    return {};
  }
  const PSID sid = kind == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                                     : reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner;
  std::vector<std::byte> copy(calls.getLengthSid(sid));
  if (!calls.copySid(static_cast<DWORD>(copy.size()), copy.data(), sid)) return {};
  return copy;
}

bool OwnedByThisUser(HANDLE file) {
  const SecurityCalls& calls = Security();
  if (!calls.Found()) return false;
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (calls.getSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                            nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  bool own = false;
  for (const TOKEN_INFORMATION_CLASS kind : {TokenUser, TokenOwner}) {
    std::vector<std::byte> sid = TokenSid(calls, kind);
    if (owner && !sid.empty() && calls.equalSid(owner, sid.data())) own = true;
  }
  (void)::LocalFree(descriptor);
  return own;
}

}  // namespace

std::optional<std::string> ReadLedgerFile(const std::wstring& path) {
  const unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ | READ_CONTROL,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file || !OwnedByThisUser(file.get())) return std::nullopt;
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
  bool whole = false;
  {
    // Not written through: what the ledger names does not outlive a power cut either, and
    // a flush on every change of the front window would cost more than it buys. The rename
    // alone keeps a reader from seeing half a file.
    const unique_hfile file(::CreateFileW(temporary.c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    whole =
        ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
        written == text.size();
    if (whole) renamed = RenameOver(file.get(), path);
  }
  if (renamed) return true;
  // Closed first: opened without sharing, the file can be moved or deleted by name only now.
  if (whole && ::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    return true;
  }
  (void)::DeleteFileW(temporary.c_str());
  return false;
}

bool OverwriteLedgerFile(const std::wstring& path, std::string_view text) {
  const unique_hfile file(::CreateFileW(
      path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file &&
         ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

bool RemoveLedgerFile(const std::wstring& path) {
  return ::DeleteFileW(path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool HeldLedgerFile::Write(const std::wstring& path, std::string_view formatted) {
  if (!file_) {
    file_.reset(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) return false;
    size_ = 0;
  }
  const std::string text = PadLedger(std::string(formatted), size_);
  LARGE_INTEGER start{};
  DWORD written = 0;
  if (!::SetFilePointerEx(file_.get(), start, nullptr, FILE_BEGIN) ||
      !::WriteFile(file_.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
      written != text.size()) {
    return false;
  }
  size_ = std::max(size_, text.size());
  return true;
}

bool HeldLedgerFile::Remove() {
  if (!file_) return true;
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  if (!::SetFileInformationByHandle(file_.get(), FileDispositionInfo, &disposition,
                                    sizeof(disposition))) {
    return false;
  }
  // Gone once this, the last handle that lets nobody else delete it, is closed.
  file_.reset();
  size_ = 0;
  return true;
}

}  // namespace quorvant::win32
