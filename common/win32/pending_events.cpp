#include "common/win32/pending_events.h"

#include <windows.h>

namespace quorvant::win32 {

void ProcessPendingEvents() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    (void)::TranslateMessage(&msg);
    (void)::DispatchMessageW(&msg);
  }
}

}  // namespace quorvant::win32
