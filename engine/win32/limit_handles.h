#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

namespace quorvant::win32 {

// The handles behind every live CPU limit, kept where the program's last-chance handlers
// can reach them without the heap or a lock: if the program's own code fails, every
// process it holds suspended runs again and every cap it set is switched off before it
// dies. Slots are numbered from 0; -1 is no slot.
namespace limit_handles {

// Takes ownership of a process handle opened to suspend and resume it, and to query it.
int HoldProcess(HANDLE process);
HANDLE Process(int slot);
// Resumes the process if it is suspended, then closes its handle.
void DropProcess(int slot);
// Suspends the process unless it already is or the rescue has begun; true when it is
// suspended afterwards.
bool Suspend(int slot);
// Resumes the process if this program suspended it.
void Resume(int slot);
bool Suspended(int slot);
// Whether this system can suspend a whole process.
bool CanSuspend();

// Takes ownership of a job handle whose CPU cap is set.
int HoldJob(HANDLE job);
HANDLE Job(int slot);
// Switches the job's cap off; false when the system refuses.
bool Uncap(int slot);
void DropJob(int slot);

// Resumes process once, through a handle of the caller's: how a watcher or the next start
// lets a duty-cycled process run when the program that suspended it is gone.
bool ResumeOnce(HANDLE process);
// Switches a job's cap off through any handle to it; false when the system refuses.
bool SwitchCapOff(HANDLE job);

// The cycle's suspensions where the watcher can see them: for each slot, the process id
// and whether the cycle holds it suspended right now, so a watcher whose program died
// resumes only a process the cycle left suspended, never a suspension of someone else's (a
// debugger's). The flag is raised before a suspension and lowered after a resume, so at
// worst it says suspended a moment too long.
struct SharedSuspension {
  std::atomic<std::uint32_t> process{0};
  std::atomic<std::uint32_t> suspended{0};
};
inline constexpr int kSharedSlots = 1024;
// view: kSharedSlots entries in memory shared with the watcher, for the rest of the run.
void ShareSuspensions(SharedSuspension* view);
// Whether view says the cycle holds process id suspended.
bool HeldSuspended(const SharedSuspension* view, std::uint32_t id);

// Resumes every suspended process and switches every cap off; nothing is suspended after
// it. Safe in a fault handler.
void RescueAll() noexcept;

// Installs RescueAll before the program dies of an unhandled exception or a call to
// std::terminate; the handlers that were installed before still run after it.
void InstallRescue();

}  // namespace limit_handles

}  // namespace quorvant::win32
