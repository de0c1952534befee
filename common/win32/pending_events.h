#pragma once

namespace quorvant::win32 {

// Lets the window process the messages waiting in this thread's queue (timers, clicks,
// paints) and returns when none is left. A quit request is put back for the main loop. Keys
// reach the active window as in the main loop; while a menu or a window drag has the input,
// the mouse and the keyboard are left to it.
void ProcessPendingEvents();

}  // namespace quorvant::win32
