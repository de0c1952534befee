#pragma once

#include <windows.h>

#include <functional>
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
  bool Own(const ProcessIdentity& process) override;

  DutyCycler& Cycler() { return cycler_; }
  // Called on another thread when a limited process ends, capped or cycled. Set before the
  // first limit.
  void OnEnded(std::function<void()> ended);

 private:
  struct Capped {
    ProcessIdentity identity;
    unique_handle process;  // to tell when it ends
    int jobSlot = -1;       // in limit_handles
    HANDLE wait = nullptr;  // the system's wait for its end
  };
  static void CALLBACK ProcessEnded(void* self, BOOLEAN timedOut);
  std::function<void()> ended_;
  Capped* FindCapped(const ProcessIdentity& process);

  JobSharing& sharing_;
  std::vector<Capped> capped_;
  DutyCycler cycler_;
};

// The job's hard cap: at most percent of the machine's CPU time.
bool SetJobCap(HANDLE job, int percent);
// Processes the job's member starts are not put into the job, and may ask to leave it.
bool LetChildrenOut(HANDLE job);

}  // namespace quorvant::win32
