#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "common/win32/unique_handle.h"
#include "engine/core/cpu_limits.h"
#include "engine/core/process_identity.h"

namespace quorvant::win32 {

// The duty cycle of the processes limited where the system has no CPU cap: each runs from
// the start of every period for its share and is suspended for the rest. A thread of its
// own keeps the rhythm while the window's thread is busy (a rebuild of the list takes
// seconds); it lives exactly while at least one process is cycled, waits on each process
// so that one that ends is let go at once, and never touches a window.
class DutyCycler {
 public:
  DutyCycler();
  // Every cycled process runs again before the cycler goes.
  ~DutyCycler();
  DutyCycler(const DutyCycler&) = delete;
  DutyCycler& operator=(const DutyCycler&) = delete;

  engine::ThrottleAnswer Start(const ProcessIdentity& process, int percent);
  engine::ThrottleAnswer Change(const ProcessIdentity& process, int percent);
  // Lets the process run and go; the thread ends with the last one.
  void Stop(const ProcessIdentity& process);
  void StopAll();
  // Whether the process has ended while it was cycled.
  bool Ended(const ProcessIdentity& process);
  // Whether the thread runs: only while a process is cycled.
  bool Running();

  // Called on the cycler's thread when a cycled process ends, so its limit can be forgotten
  // at once, whatever the window does. Set before the first Start.
  std::function<void()> ended;

 private:
  struct Entry;
  void Run();
  // Waits until deadline, letting go of processes that end; false when the set of
  // processes or their limits changed and the period has to start again.
  bool WaitUntil(std::chrono::steady_clock::time_point deadline,
                 const std::vector<std::shared_ptr<Entry>>& active);
  std::shared_ptr<Entry> Find(const ProcessIdentity& process);
  void JoinIfIdle(std::unique_lock<std::mutex>& lock);

  std::mutex mutex_;
  std::vector<std::shared_ptr<Entry>> entries_;
  unique_handle wake_;
  std::thread thread_;
  bool stop_ = false;
};

}  // namespace quorvant::win32
