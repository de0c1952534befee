#include "common/win32/pending_events.h"

#include <windows.h>

#include "common/win32/dialog_keys.h"

namespace quorvant::win32 {

namespace {

// An open menu or a window being dragged runs a loop of its own that reads the mouse and
// the keyboard; taking its input here would leave it stuck or deaf.
bool AnotherLoopOwnsInput() {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!::GetGUIThreadInfo(::GetCurrentThreadId(), &info)) return false;
  return (info.flags &
          (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE | GUI_INMOVESIZE)) != 0;
}

}  // namespace

void ProcessPendingEvents() {
  MSG msg;
  // Walks call this twice a process; most calls find nothing, and then cost one look only.
  if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) return;
  const UINT filter =
      AnotherLoopOwnsInput() ? PM_QS_POSTMESSAGE | PM_QS_PAINT | PM_QS_SENDMESSAGE : 0;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | filter)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    DispatchThreadMessage(msg);
  }
}

}  // namespace quorvant::win32
