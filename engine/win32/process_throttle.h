#pragma once

#include <windows.h>

#include <vector>

#include "engine/core/cpu_limits.h"
#include "engine/win32/duty_cycler.h"
#include "engine/win32/job_sharing.h"

namespace quorvant::win32 {

// Limits on Windows: a job object per limited process with a hard CPU-rate cap where the
// system offers one (Windows 8 and later, where a process may be in several jobs), and
// the duty cycle where it does not.
class ProcessThrottle final : public engine::CpuThrottle {
 public:
  // sharing receives each cap's job before the process joins it.
  explicit ProcessThrottle(JobSharing& sharing) : sharing_(sharing) {}
  // Every cap is switched off and every cycled process runs before the throttle goes.
  ~ProcessThrottle() override;
  ProcessThrottle(const ProcessThrottle&) = delete;
  ProcessThrottle& operator=(const ProcessThrottle&) = delete;

  engine::ThrottleAnswer Cap(const ProcessIdentity& process, int percent) override;
  engine::ThrottleAnswer ChangeCap(const ProcessIdentity& process, int percent) override;
  void Uncap(const ProcessIdentity& process) override;
  engine::ThrottleAnswer StartDutyCycle(const ProcessIdentity& process, int percent) override;
  engine::ThrottleAnswer ChangeDutyCycle(const ProcessIdentity& process, int percent) override;
  void StopDutyCycle(const ProcessIdentity& process) override;
  bool Ended(const ProcessIdentity& process) override;

  DutyCycler& Cycler() { return cycler_; }

 private:
  struct Capped {
    ProcessIdentity identity;
    unique_handle process;  // to tell when it ends
    int jobSlot = -1;       // in limit_handles
  };
  Capped* FindCapped(const ProcessIdentity& process);

  JobSharing& sharing_;
  std::vector<Capped> capped_;
  DutyCycler cycler_;
};

// The job's hard cap: at most percent of the machine's CPU time.
bool SetJobCap(HANDLE job, int percent);

}  // namespace quorvant::win32
