#include "engine/win32/limit_handles.h"

#include <array>
#include <atomic>
#include <cstdlib>
#include <exception>

namespace quorvant::win32::limit_handles {

namespace {

using NtProcessCall = LONG(NTAPI*)(HANDLE);

// Looked up once: these ntdll entry points are not part of the documented import set.
NtProcessCall NtCall(const char* name) {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll ? reinterpret_cast<NtProcessCall>(
                     reinterpret_cast<void*>(::GetProcAddress(ntdll, name)))
               : nullptr;
}
const NtProcessCall kSuspend = NtCall("NtSuspendProcess");
const NtProcessCall kResume = NtCall("NtResumeProcess");

// The table's three limits and the program rules' limits, one per process of a limited
// program, with room for processes still held a moment after their release while the duty
// cycle lets go of them.
constexpr int kSlots = 1024;

struct ProcessSlot {
  std::atomic<HANDLE> handle{nullptr};
  std::atomic<bool> suspended{false};
};
std::array<ProcessSlot, kSlots> processes;
std::array<std::atomic<HANDLE>, kSlots> jobs;
std::atomic<bool> rescuing{false};
std::atomic<SharedSuspension*> sharedView{nullptr};
static_assert(kSlots == kSharedSlots);

SharedSuspension* Shared(int slot) {
  SharedSuspension* view = sharedView.load();
  return view ? &view[slot] : nullptr;
}

template <typename Slots>
int Claim(Slots& slots, HANDLE handle) {
  if (!handle) return -1;
  for (int i = 0; i < kSlots; ++i) {
    HANDLE expected = nullptr;
    auto& slot = slots[static_cast<size_t>(i)];
    if constexpr (std::is_same_v<typename Slots::value_type, ProcessSlot>) {
      if (slot.handle.compare_exchange_strong(expected, handle)) return i;
    } else {
      if (slot.compare_exchange_strong(expected, handle)) return i;
    }
  }
  (void)::CloseHandle(handle);
  return -1;
}

bool Valid(int slot) { return slot >= 0 && slot < kSlots; }

void ResumeSlot(ProcessSlot& slot) {
  // Exactly one caller resumes what was suspended, whether the cycle or the rescue.
  if (!slot.suspended.exchange(false)) return;
  const HANDLE handle = slot.handle.load();
  if (handle && kResume) (void)kResume(handle);
  // Lowered only once it runs: killed in between, the watcher resumes it.
  if (SharedSuspension* shared = Shared(static_cast<int>(&slot - processes.data()))) {
    shared->suspended.store(0);
  }
}

bool SwitchOffCap(HANDLE job) {
  JOBOBJECT_CPU_RATE_CONTROL_INFORMATION off{};
  return ::SetInformationJobObject(job, JobObjectCpuRateControlInformation, &off, sizeof(off)) !=
         FALSE;
}

LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;
std::terminate_handler previousTerminate = nullptr;

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) {
  RescueAll();
  return previousFilter ? previousFilter(pointers) : EXCEPTION_CONTINUE_SEARCH;
}

void OnTerminate() {
  RescueAll();
  if (previousTerminate) previousTerminate();
  std::abort();
}

}  // namespace

int HoldProcess(HANDLE process) {
  const int slot = Claim(processes, process);
  if (SharedSuspension* shared = slot >= 0 ? Shared(slot) : nullptr) {
    shared->suspended.store(0);
    shared->process.store(::GetProcessId(process));
  }
  return slot;
}

HANDLE Process(int slot) { return Valid(slot) ? processes[slot].handle.load() : nullptr; }

void DropProcess(int slot) {
  if (!Valid(slot)) return;
  ResumeSlot(processes[slot]);
  if (SharedSuspension* shared = Shared(slot)) shared->process.store(0);
  if (const HANDLE handle = processes[slot].handle.exchange(nullptr)) (void)::CloseHandle(handle);
}

bool Suspend(int slot) {
  if (!Valid(slot) || !kSuspend) return false;
  ProcessSlot& s = processes[slot];
  if (s.suspended.load()) return true;
  const HANDLE handle = s.handle.load();
  if (!handle || rescuing.load()) return false;
  // Raised first: killed in between, the watcher resumes a process that is running, which
  // leaves it as it is.
  SharedSuspension* shared = Shared(slot);
  if (shared) shared->suspended.store(1);
  if (kSuspend(handle) < 0) {
    if (shared) shared->suspended.store(0);
    return false;
  }
  s.suspended.store(true);
  // The rescue may have passed this slot between the check above and the suspension.
  if (rescuing.load()) ResumeSlot(s);
  return s.suspended.load();
}

void Resume(int slot) {
  if (Valid(slot)) ResumeSlot(processes[slot]);
}

bool Suspended(int slot) { return Valid(slot) && processes[slot].suspended.load(); }

bool CanSuspend() { return kSuspend && kResume; }

int HoldJob(HANDLE job) { return Claim(jobs, job); }

HANDLE Job(int slot) { return Valid(slot) ? jobs[slot].load() : nullptr; }

bool Uncap(int slot) { return SwitchCapOff(Job(slot)); }

void DropJob(int slot) {
  if (!Valid(slot)) return;
  if (const HANDLE job = jobs[slot].exchange(nullptr)) (void)::CloseHandle(job);
}

bool ResumeOnce(HANDLE process) { return process && kResume && kResume(process) >= 0; }

bool SwitchCapOff(HANDLE job) { return job && SwitchOffCap(job); }

void ShareSuspensions(SharedSuspension* view) { sharedView.store(view); }

bool HeldSuspended(const SharedSuspension* view, std::uint32_t id) {
  for (int i = 0; i < kSharedSlots; ++i) {
    if (view[i].process.load() == id && view[i].suspended.load()) return true;
  }
  return false;
}

void RescueAll() noexcept {
  rescuing.store(true);
  for (auto& slot : processes) ResumeSlot(slot);
  for (auto& job : jobs) {
    if (const HANDLE handle = job.load()) (void)SwitchOffCap(handle);
  }
}

void InstallRescue() {
  previousFilter = ::SetUnhandledExceptionFilter(OnUnhandledException);
  previousTerminate = std::set_terminate(OnTerminate);
}

}  // namespace quorvant::win32::limit_handles
