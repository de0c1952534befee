#include <windows.h>
// After <windows.h>, which it needs.
#include <commctrl.h>

#include "common/win32/dialog_keys.h"
#include "common/win32/display_scale.h"
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

  // All layout scales from the display's DPI, read once before the first window.
  quorvant::win32::UseScreenDpi();

  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  (void)::InitCommonControlsEx(&controls);

  quorvant::win32::FormQuorvant form;
  if (!form.Create(instance)) return 1;

  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) quorvant::win32::DispatchThreadMessage(msg);
  return static_cast<int>(msg.wParam);
}
