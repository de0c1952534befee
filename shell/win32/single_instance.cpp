#include "shell/win32/single_instance.h"

namespace quorvant::win32 {

namespace {
// Keys on the program, per logon session like the program's own windows.
constexpr wchar_t kMutexName[] = L"Local\\Morwick.Quorvant.Instance";
}  // namespace

SingleInstance::SingleInstance() : mutex_(::CreateMutexW(nullptr, FALSE, kMutexName)) {
  const DWORD error = ::GetLastError();
  // Access denied: the mutex exists, created by an instance of another user context.
  anotherIsRunning_ = error == ERROR_ALREADY_EXISTS || (!mutex_ && error == ERROR_ACCESS_DENIED);
}

}  // namespace quorvant::win32
