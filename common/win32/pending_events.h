#pragma once

namespace quorvant::win32 {

// Lets the window process the messages waiting in this thread's queue (timers, clicks,
// paints) and returns when none is left. A quit request is put back for the main loop.
void ProcessPendingEvents();

}  // namespace quorvant::win32
