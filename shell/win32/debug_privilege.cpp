#include "shell/win32/debug_privilege.h"

#include <windows.h>

#include "common/win32/unique_handle.h"

namespace quorvant::win32 {

void EnableDebugPrivilege() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    return;
  }
  const unique_handle owned(token);
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!::LookupPrivilegeValueW(nullptr, SE_DEBUG_NAME, &privileges.Privileges[0].Luid)) return;
  (void)::AdjustTokenPrivileges(owned.get(), FALSE, &privileges, 0, nullptr, nullptr);
}

}  // namespace quorvant::win32
