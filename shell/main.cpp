#include <windows.h>
// After <windows.h>, which it needs.
#include <commctrl.h>
#include <objbase.h>

#include <string>

#include "common/win32/dialog_keys.h"
#include "common/win32/display_scale.h"
#include "engine/win32/limit_handles.h"
#include "engine/win32/program_effects.h"
#include "engine/win32/watcher.h"
#include "shell/core/fixed_texts.h"
#include "shell/win32/debug_privilege.h"
#include "shell/win32/ini_settings_store.h"
#include "shell/win32/main_window.h"
#include "shell/win32/program_files.h"
#include "shell/win32/single_instance.h"
#include "skin/product.h"

namespace {

// Before any DLL is loaded at run time: only from the system folder, never from the program's
// folder or the current one, where someone could place a DLL of a system name. Looked up,
// since the call is newer than the oldest system the program runs on.
void LoadLibrariesOnlyFromTheSystem() {
  constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  using SetDefault = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  const auto setDefault = kernel ? reinterpret_cast<SetDefault>(reinterpret_cast<void*>(
                                       ::GetProcAddress(kernel, "SetDefaultDllDirectories")))
                                 : nullptr;
  if (setDefault) (void)setDefault(kSearchSystem32);
  // Also takes the current folder out of the search of systems without the call above.
  (void)::SetDllDirectoryW(L"");
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  LoadLibrariesOnlyFromTheSystem();

  // Before anything is shown or written: one instance only.
  const quorvant::win32::SingleInstance instanceLock;
  if (instanceLock.AnotherIsRunning()) {
    (void)::MessageBoxW(nullptr, QUORVANT_PRODUCT_NAME_W L" already in running.",
                        quorvant::shell::kProductName.data(), MB_OK);
    return 0;
  }

  // What a predecessor killed with its watcher left live is given back before this run
  // changes anything; from here on every effect is on disk before it is applied, and a
  // watcher gives it back if the program is ended from outside.
  // Before the repair, so a program started elevated can give back what it changed in
  // services.
  quorvant::win32::EnableDebugPrivilege();
  const std::wstring ledgerPath = quorvant::win32::LedgerFilePath();
  (void)quorvant::win32::RepairLeftBehind(ledgerPath);
  quorvant::win32::ProgramEffects effects;
  effects.KeepOnDisk(ledgerPath);
  // Started now, while the window is made, on a thread of its own: the first effect waits
  // until it watches, the window does not.
  (void)effects.StartWatcher(quorvant::win32::WatcherBeside(quorvant::win32::ExecutablePath()));

  // A fault in the program's own code still lets every limited process run freely.
  quorvant::win32::limit_handles::InstallRescue();

  // All layout scales from the display's DPI, read once before the first window.
  quorvant::win32::UseScreenDpi();

  // The shell's file icons need COM on the thread that asks for them.
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  (void)::InitCommonControlsEx(&controls);

  int result = 1;
  {
    quorvant::win32::FormQuorvant form(nullptr, &effects);
    if (form.Create(instance)) {
      MSG msg;
      while (::GetMessageW(&msg, nullptr, 0, 0) > 0) quorvant::win32::DispatchThreadMessage(msg);
      result = static_cast<int>(msg.wParam);
    }
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  return result;
}
