#include "engine/win32/processes.h"

#include <tlhelp32.h>

#include "common/win32/unique_handle.h"

namespace quorvant::win32 {

namespace {

std::wstring UpToNul(const wchar_t* text, size_t capacity) {
  size_t n = 0;
  while (n < capacity && text[n] != L'\0') ++n;
  return std::wstring(text, n);
}

int PriorityOf(HANDLE process) {
  return process ? static_cast<int>(::GetPriorityClass(process)) : 0;
}

}  // namespace

bool ForEachProcess(const std::function<void(const ProcessEntry&)>& visit) {
  unique_snapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry)) {
    visit({entry.th32ProcessID, UpToNul(entry.szExeFile, std::size(entry.szExeFile))});
  }
  return true;
}

void ForEachModulePath(std::uint32_t id, const std::function<bool(std::wstring_view)>& visit) {
  // A process still loading its modules makes the snapshot fail with ERROR_BAD_LENGTH for a
  // moment; the system asks callers to try again.
  constexpr int kTries = 5;
  unique_snapshot snapshot;
  for (int attempt = 0; attempt < kTries && !snapshot; ++attempt) {
    snapshot = unique_snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, id));
    if (!snapshot && ::GetLastError() != ERROR_BAD_LENGTH) return;
  }
  if (!snapshot) return;
  MODULEENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Module32FirstW(snapshot.get(), &entry); more;
       more = ::Module32NextW(snapshot.get(), &entry)) {
    if (visit(UpToNul(entry.szExePath, std::size(entry.szExePath)))) return;
  }
}

std::wstring ProcessImagePath(std::uint32_t id) {
  const unique_handle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
  if (!process) return {};
  // Long paths may run to 32767 characters.
  for (DWORD capacity = MAX_PATH * 2; capacity <= 32768; capacity *= 4) {
    std::wstring path(capacity, L'\0');
    DWORD size = capacity;
    if (::QueryFullProcessImageNameW(process.get(), 0, path.data(), &size)) {
      path.resize(size);
      return path;
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
  }
  return {};
}

namespace {
std::wstring MapCase(std::wstring_view text, bool upper) {
  std::wstring out(text);
  if (out.empty()) return out;
  // The kernel's own mapping, locale-free as file names are: the watcher loads nothing else.
  const int length = static_cast<int>(out.size());
  (void)::LCMapStringW(LOCALE_INVARIANT, upper ? LCMAP_UPPERCASE : LCMAP_LOWERCASE, out.data(),
                       length, out.data(), length);
  return out;
}
}  // namespace

std::wstring LowerFileName(std::wstring_view text) { return MapCase(text, false); }
std::wstring UpperFileName(std::wstring_view text) { return MapCase(text, true); }

int GetProcessPriority(std::uint32_t id) {
  unique_handle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id));
  return PriorityOf(process.get());
}

std::optional<ProcessIdentity> IdentityOf(HANDLE process) {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!process || !::GetProcessTimes(process, &created, &exited, &kernel, &user)) {
    return std::nullopt;
  }
  // A process that has ended can still be opened while anyone holds a handle to it.
  if (exited.dwLowDateTime != 0 || exited.dwHighDateTime != 0) return std::nullopt;
  const ProcessIdentity identity{
      static_cast<std::uint32_t>(::GetProcessId(process)),
      (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime};
  if (!identity.Known()) return std::nullopt;
  return identity;
}

std::optional<ProcessIdentity> IdentityOfId(std::uint32_t id) {
  const unique_handle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
  return IdentityOf(process.get());
}

unique_handle OpenIdentified(const ProcessIdentity& identity, DWORD access) {
  if (!identity.Known()) return {};
  unique_handle process(
      ::OpenProcess(access | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, identity.id));
  if (IdentityOf(process.get()) != identity) return {};
  return process;
}

int PriorityClassOf(const ProcessIdentity& identity) {
  return PriorityOf(OpenIdentified(identity, PROCESS_QUERY_LIMITED_INFORMATION).get());
}

bool SetPriorityClassOf(const ProcessIdentity& identity, int priorityClass) {
  const unique_handle process = OpenIdentified(identity, PROCESS_SET_INFORMATION);
  return process && ::SetPriorityClass(process.get(), static_cast<DWORD>(priorityClass)) != FALSE;
}

bool RestorePriorityClass(const ProcessIdentity& identity, int priorityClass, int raisedClass) {
  const unique_handle process = OpenIdentified(identity, PROCESS_SET_INFORMATION);
  // Not opened for setting: gone, or (if it still runs) out of reach.
  if (!process) return !StillRuns(identity);
  if (PriorityOf(process.get()) != raisedClass) return true;
  return ::SetPriorityClass(process.get(), static_cast<DWORD>(priorityClass)) != FALSE;
}

bool StillRuns(const ProcessIdentity& identity) {
  return identity.Known() && IdentityOfId(identity.id) == identity;
}

unique_handle OpenLimitable(const ProcessIdentity& identity, DWORD access,
                            engine::ThrottleAnswer& answer) {
  answer = engine::ThrottleAnswer::Done;
  unique_handle process(
      ::OpenProcess(access | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, identity.id));
  if (!process) {
    answer = ::GetLastError() == ERROR_ACCESS_DENIED ? engine::ThrottleAnswer::AccessDenied
                                                     : engine::ThrottleAnswer::Gone;
    return {};
  }
  if (!identity.Known() || IdentityOf(process.get()) != identity) {
    answer = engine::ThrottleAnswer::Gone;
    return {};
  }
  return process;
}

bool MiniUseMemory(std::uint32_t id) {
  unique_handle process(::OpenProcess(PROCESS_SET_QUOTA, FALSE, id));
  if (!process) return false;
  return ::SetProcessWorkingSetSize(process.get(), static_cast<SIZE_T>(-1),
                                    static_cast<SIZE_T>(-1)) != FALSE;
}

}  // namespace quorvant::win32
