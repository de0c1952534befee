#pragma once

namespace quorvant::win32 {

// Enables SeDebugPrivilege in the process token so the speed-up features can open
// processes of other users and of the system. Failures are ignored: those processes are
// then passed over.
void EnableDebugPrivilege();

}  // namespace quorvant::win32
