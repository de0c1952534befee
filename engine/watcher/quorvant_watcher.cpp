// quorvant_watcher.exe: started by quorvant.exe beside it, it waits for the program to end
// and gives back what the program's ledger of live effects still holds. It imports the
// kernel and the C runtime only, so it costs little while it waits, and it has an image name
// of its own, so ending every quorvant.exe by name does not end it.
// Usage (the program's alone): quorvant_watcher.exe --start|--watch <id> <created> "<ledger>"
#include <windows.h>

#include <string>
#include <vector>

#include "engine/core/watch_arguments.h"
#include "engine/win32/ledger_file.h"
#include "engine/win32/watcher.h"

namespace {

// Before any DLL is loaded at run time: only from the system folder.
void LoadLibrariesOnlyFromTheSystem() {
  using SetDefault = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  const auto setDefault = kernel ? reinterpret_cast<SetDefault>(reinterpret_cast<void*>(
                                       ::GetProcAddress(kernel, "SetDefaultDllDirectories")))
                                 : nullptr;
  if (setDefault) (void)setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  (void)::SetDllDirectoryW(L"");
}

// Only the ledger the program keeps for this logon session, by its name.
bool IsThisSessionsLedger(const std::wstring& path) {
  DWORD session = 0;
  if (!::ProcessIdToSessionId(::GetCurrentProcessId(), &session)) return false;
  const std::wstring name = quorvant::win32::LedgerFileName(session);
  return path.size() > name.size() && path[path.size() - name.size() - 1] == L'\\' &&
         ::CompareStringOrdinal(path.c_str() + path.size() - name.size(),
                                static_cast<int>(name.size()), name.c_str(),
                                static_cast<int>(name.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  LoadLibrariesOnlyFromTheSystem();
  const std::vector<std::wstring> arguments(argv + 1, argv + argc);
  const auto request = quorvant::ParseWatchArguments(arguments);
  if (!request || !IsThisSessionsLedger(request->ledgerPath)) {
    return quorvant::win32::kWatcherRefused;
  }
  wchar_t own[MAX_PATH]{};
  const DWORD length = ::GetModuleFileNameW(nullptr, own, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return quorvant::win32::kWatcherRefused;
  const std::wstring self(own, length);
  // The program it watches is the one beside it.
  const std::wstring program = self.substr(0, self.find_last_of(L'\\') + 1) + L"quorvant.exe";
  return quorvant::win32::RunWatcherAsked(arguments, program);
}
