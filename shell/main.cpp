#include <windows.h>
// After <windows.h>, which it needs.
#include <commctrl.h>
#include <objbase.h>

#include "common/win32/dialog_keys.h"
#include "common/win32/display_scale.h"
#include "engine/win32/limit_handles.h"
#include "shell/core/fixed_texts.h"
#include "shell/win32/form_quorvant.h"
#include "shell/win32/single_instance.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Before anything is shown or written: one instance only.
  const quorvant::win32::SingleInstance instanceLock;
  if (instanceLock.AnotherIsRunning()) {
    (void)::MessageBoxW(nullptr, L"Quorvant already in running.",
                        quorvant::shell::kProductName.data(), MB_OK);
    return 0;
  }

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
    quorvant::win32::FormQuorvant form;
    if (form.Create(instance)) {
      MSG msg;
      while (::GetMessageW(&msg, nullptr, 0, 0) > 0) quorvant::win32::DispatchThreadMessage(msg);
      result = static_cast<int>(msg.wParam);
    }
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  return result;
}
