#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/win32/unique_handle.h"
#include "engine/core/cpu_limits.h"
#include "engine/core/process_identity.h"

namespace quorvant::win32 {

// Process and module snapshots, priority classes and working sets: the platform side of the
// three ways. Every snapshot and process handle is closed before a call returns.

struct ProcessEntry {
  std::uint32_t id = 0;
  std::wstring exeFile;  // as the snapshot gives it, up to its first NUL
};

// Calls visit for each process of a fresh snapshot, in snapshot order. False when no
// snapshot could be taken.
bool ForEachProcess(const std::function<void(const ProcessEntry&)>& visit);

// Calls visit with the full path of each module of process id, in snapshot order, until
// visit returns true. Nothing when the process's modules cannot be read.
void ForEachModulePath(std::uint32_t id, const std::function<bool(std::wstring_view)>& visit);

// The full path of process id's executable, however long; empty when it cannot be read.
std::wstring ProcessImagePath(std::uint32_t id);

// Lower-case and upper-case copies of a file name by the system's case mapping, which knows
// every letter the file system does.
std::wstring LowerFileName(std::wstring_view text);
std::wstring UpperFileName(std::wstring_view text);

// The priority class of process id, 0 when it cannot be read.
int GetProcessPriority(std::uint32_t id);

// The identity of the process behind handle (which must allow a limited query); empty when
// its creation time cannot be read or it has ended.
std::optional<ProcessIdentity> IdentityOf(HANDLE process);

// The identity of the running process id; empty when it cannot be opened or read.
std::optional<ProcessIdentity> IdentityOfId(std::uint32_t id);

// Opens the process with access only while identity still names it: null when it is gone
// or its id now belongs to a process started later.
unique_handle OpenIdentified(const ProcessIdentity& identity, DWORD access);

// The priority class of the process with that identity; 0 when it is gone or cannot be read.
int PriorityClassOf(const ProcessIdentity& identity);

// Sets the priority class of the process with that identity. False when it is gone or the
// system refuses.
bool SetPriorityClassOf(const ProcessIdentity& identity, int priorityClass);

// Gives the process priorityClass back, but only while it still runs at raisedClass: a class
// that someone else chose since stays. A process that is gone needs nothing. False when it
// still runs raised and could not be given its class back.
bool RestorePriorityClass(const ProcessIdentity& identity, int priorityClass, int raisedClass);

// Whether the process with that identity is still running.
bool StillRuns(const ProcessIdentity& identity);

// Opens the process with access while identity names it, for a limit; null with the reason
// in answer otherwise.
unique_handle OpenLimitable(const ProcessIdentity& identity, DWORD access,
                            engine::ThrottleAnswer& answer);

// Asks the system to trim the working set of process id. False when the process cannot be
// opened or the request fails.
bool MiniUseMemory(std::uint32_t id);

}  // namespace quorvant::win32
