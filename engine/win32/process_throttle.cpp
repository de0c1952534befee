#include "engine/win32/process_throttle.h"

#include <algorithm>

#include "engine/win32/limit_handles.h"
#include "engine/win32/processes.h"

namespace quorvant::win32 {

using engine::ThrottleAnswer;

bool SetJobCap(HANDLE job, int percent) {
  JOBOBJECT_CPU_RATE_CONTROL_INFORMATION cap{};
  cap.ControlFlags = JOB_OBJECT_CPU_RATE_CONTROL_ENABLE | JOB_OBJECT_CPU_RATE_CONTROL_HARD_CAP;
  // In hundredths of a percent of the whole machine.
  cap.CpuRate = static_cast<DWORD>(percent) * 100;
  return ::SetInformationJobObject(job, JobObjectCpuRateControlInformation, &cap, sizeof(cap)) !=
         FALSE;
}

bool LetChildrenOut(HANDLE job) {
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags =
      JOB_OBJECT_LIMIT_BREAKAWAY_OK | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
  return ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                   sizeof(limits)) != FALSE;
}

ProcessThrottle::~ProcessThrottle() {
  cycler_.StopAll();
  while (!capped_.empty()) Uncap(capped_.back().identity);
}

ProcessThrottle::Capped* ProcessThrottle::FindCapped(const ProcessIdentity& process) {
  const auto found = std::find_if(capped_.begin(), capped_.end(),
                                  [&](const Capped& c) { return c.identity == process; });
  return found == capped_.end() ? nullptr : &*found;
}

ThrottleAnswer ProcessThrottle::Cap(const ProcessIdentity& process, int percent) {
  if (FindCapped(process)) return ChangeCap(process, percent);
  unique_handle job(::CreateJobObjectW(nullptr, nullptr));
  if (!job) return ThrottleAnswer::Failed;
  // Asked of the new, empty job first: a system without the cap answers here, before the
  // process has been put into a job it could never leave.
  if (!SetJobCap(job.get(), percent)) return ThrottleAnswer::NotOffered;
  // The limit is the process's own: what it starts later stays out of the capped job and
  // may still leave its own jobs. Set before the process joins, which it does for good.
  if (!LetChildrenOut(job.get())) return ThrottleAnswer::Failed;
  ThrottleAnswer answer = ThrottleAnswer::Done;
  unique_handle handle =
      OpenLimitable(process, PROCESS_SET_QUOTA | PROCESS_TERMINATE | SYNCHRONIZE, answer);
  if (!handle) return answer;
  // Held before the process joins: a job whose last handle closed while its cap is on could
  // never be switched off.
  const int slot = limit_handles::HoldJob(job.release());
  if (slot < 0) return ThrottleAnswer::Failed;
  // The watcher holds its own handle to the job before the cap reaches the process: once
  // the program is gone, only a handle to the job can switch the cap off.
  if (!sharing_.ShareJob(process, limit_handles::Job(slot))) {
    limit_handles::DropJob(slot);
    return ThrottleAnswer::Failed;
  }
  if (!::AssignProcessToJobObject(limit_handles::Job(slot), handle.get())) {
    const DWORD error = ::GetLastError();
    sharing_.UnshareJob(process);
    limit_handles::DropJob(slot);
    // The process is already in a job that does not let it join another.
    return error == ERROR_ACCESS_DENIED ? ThrottleAnswer::InJob : ThrottleAnswer::Failed;
  }
  Capped capped{process, std::move(handle), slot, nullptr};
  // Told when it ends, so its limit is forgotten at once rather than at a tick of a window
  // that may be hidden.
  if (ended_) {
    (void)::RegisterWaitForSingleObject(&capped.wait, capped.process.get(), ProcessEnded, this,
                                        INFINITE, WT_EXECUTEONLYONCE);
  }
  capped_.push_back(std::move(capped));
  return ThrottleAnswer::Done;
}

ThrottleAnswer ProcessThrottle::ChangeCap(const ProcessIdentity& process, int percent) {
  Capped* capped = FindCapped(process);
  if (!capped || ::WaitForSingleObject(capped->process.get(), 0) == WAIT_OBJECT_0) {
    return ThrottleAnswer::Gone;
  }
  return SetJobCap(limit_handles::Job(capped->jobSlot), percent) ? ThrottleAnswer::Done
                                                                 : ThrottleAnswer::Failed;
}

void ProcessThrottle::Uncap(const ProcessIdentity& process) {
  Capped* capped = FindCapped(process);
  if (!capped) return;
  // Waits for a callback under way, so none runs on a throttle that has gone.
  if (capped->wait) (void)::UnregisterWaitEx(capped->wait, INVALID_HANDLE_VALUE);
  // A process cannot leave its job; a job without a cap restricts nothing.
  (void)limit_handles::Uncap(capped->jobSlot);
  limit_handles::DropJob(capped->jobSlot);
  sharing_.UnshareJob(process);
  capped_.erase(capped_.begin() + (capped - capped_.data()));
}

ThrottleAnswer ProcessThrottle::StartDutyCycle(const ProcessIdentity& process, int percent) {
  return cycler_.Start(process, percent);
}

ThrottleAnswer ProcessThrottle::ChangeDutyCycle(const ProcessIdentity& process, int percent) {
  return cycler_.Change(process, percent);
}

void ProcessThrottle::StopDutyCycle(const ProcessIdentity& process) { cycler_.Stop(process); }

bool ProcessThrottle::Ended(const ProcessIdentity& process) {
  if (const Capped* capped = FindCapped(process)) {
    return ::WaitForSingleObject(capped->process.get(), 0) == WAIT_OBJECT_0;
  }
  return cycler_.Ended(process);
}

}  // namespace quorvant::win32

namespace quorvant::win32 {

void ProcessThrottle::OnEnded(std::function<void()> ended) {
  ended_ = ended;
  cycler_.ended = std::move(ended);
}

void CALLBACK ProcessThrottle::ProcessEnded(void* self, BOOLEAN) {
  static_cast<ProcessThrottle*>(self)->ended_();
}

bool ProcessThrottle::Own(const ProcessIdentity& process) {
  // Suspended, the program could not resume itself; the watcher, killed while suspended or
  // capped, could give nothing back.
  const DWORD watcher = sharing_.WatcherId();
  return process.id == ::GetCurrentProcessId() || (watcher != 0 && process.id == watcher);
}

}  // namespace quorvant::win32
