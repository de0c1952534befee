#include "engine/win32/duty_cycler.h"

#include <algorithm>
#include <chrono>

#include "engine/core/duty_cycle.h"
#include "engine/win32/limit_handles.h"
#include "engine/win32/processes.h"

namespace quorvant::win32 {

using engine::ThrottleAnswer;
using Clock = std::chrono::steady_clock;

struct DutyCycler::Entry {
  ProcessIdentity identity;
  int slot = -1;  // in limit_handles: its handle and whether it is suspended
  int percent = 0;
  bool ended = false;
  ~Entry() { limit_handles::DropProcess(slot); }
};

DutyCycler::DutyCycler() : wake_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

DutyCycler::~DutyCycler() { StopAll(); }

std::shared_ptr<DutyCycler::Entry> DutyCycler::Find(const ProcessIdentity& process) {
  const auto found = std::find_if(entries_.begin(), entries_.end(),
                                  [&](const auto& e) { return e->identity == process; });
  return found == entries_.end() ? nullptr : *found;
}

ThrottleAnswer DutyCycler::Start(const ProcessIdentity& process, int percent) {
  if (!limit_handles::CanSuspend() || !wake_) return ThrottleAnswer::Failed;
  // Suspending itself would stop the thread that resumes it.
  if (process.id == ::GetCurrentProcessId()) return ThrottleAnswer::Failed;
  ThrottleAnswer answer = ThrottleAnswer::Done;
  unique_handle handle = OpenLimitable(
      process, PROCESS_SUSPEND_RESUME | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, answer);
  if (!handle) return answer;
  auto entry = std::make_shared<Entry>();
  entry->identity = process;
  entry->percent = percent;
  entry->slot = limit_handles::HoldProcess(handle.release());
  if (entry->slot < 0) return ThrottleAnswer::Failed;

  std::unique_lock lock(mutex_);
  if (const auto old = Find(process)) {
    old->percent = percent;
  } else {
    entries_.push_back(std::move(entry));
  }
  if (!thread_.joinable()) {
    stop_ = false;
    thread_ = std::thread([this] { Run(); });
  }
  (void)::SetEvent(wake_.get());
  return ThrottleAnswer::Done;
}

ThrottleAnswer DutyCycler::Change(const ProcessIdentity& process, int percent) {
  std::unique_lock lock(mutex_);
  const auto entry = Find(process);
  if (!entry || entry->ended) return ThrottleAnswer::Gone;
  entry->percent = percent;
  (void)::SetEvent(wake_.get());
  return ThrottleAnswer::Done;
}

void DutyCycler::Stop(const ProcessIdentity& process) {
  std::unique_lock lock(mutex_);
  const auto entry = Find(process);
  if (!entry) return;
  // It runs before Stop returns; the thread never suspends an entry it no longer holds.
  limit_handles::Resume(entry->slot);
  entries_.erase(std::find(entries_.begin(), entries_.end(), entry));
  (void)::SetEvent(wake_.get());
  JoinIfIdle(lock);
}

void DutyCycler::StopAll() {
  std::unique_lock lock(mutex_);
  for (const auto& entry : entries_) limit_handles::Resume(entry->slot);
  entries_.clear();
  stop_ = true;
  (void)::SetEvent(wake_.get());
  JoinIfIdle(lock);
}

void DutyCycler::JoinIfIdle(std::unique_lock<std::mutex>& lock) {
  if (!entries_.empty() || !thread_.joinable()) return;
  stop_ = true;
  std::thread ending = std::move(thread_);
  lock.unlock();
  ending.join();
  lock.lock();
}

bool DutyCycler::Ended(const ProcessIdentity& process) {
  std::unique_lock lock(mutex_);
  const auto entry = Find(process);
  return entry && entry->ended;
}

bool DutyCycler::Running() {
  std::unique_lock lock(mutex_);
  return thread_.joinable();
}

void DutyCycler::Run() {
  for (;;) {
    std::vector<std::shared_ptr<Entry>> active;
    std::vector<int> percents;
    {
      std::unique_lock lock(mutex_);
      if (stop_ || entries_.empty()) break;
      for (const auto& entry : entries_) {
        if (entry->ended) continue;
        // Each period starts with every cycled process running.
        limit_handles::Resume(entry->slot);
        active.push_back(entry);
        percents.push_back(entry->percent);
      }
    }
    if (active.empty()) {
      // Every cycled process has ended: nothing to keep in rhythm until the set changes.
      (void)::WaitForSingleObject(wake_.get(), INFINITE);
      continue;
    }
    const auto start = Clock::now();
    bool whole = true;
    for (const engine::DutyStop& stop : engine::PlanDutyPeriod(percents)) {
      if (!WaitUntil(start + stop.at, active)) {
        whole = false;
        break;
      }
      std::unique_lock lock(mutex_);
      const auto& entry = active[stop.index];
      const bool held = std::find(entries_.begin(), entries_.end(), entry) != entries_.end();
      if (held && !stop_ && !entry->ended) (void)limit_handles::Suspend(entry->slot);
    }
    if (whole) (void)WaitUntil(start + engine::kDutyPeriod, active);
  }
  // Whatever ended the loop, nothing stays suspended.
  std::unique_lock lock(mutex_);
  for (const auto& entry : entries_) limit_handles::Resume(entry->slot);
}

bool DutyCycler::WaitUntil(Clock::time_point deadline,
                           const std::vector<std::shared_ptr<Entry>>& active) {
  for (;;) {
    std::vector<HANDLE> handles{wake_.get()};
    std::vector<Entry*> watched;
    {
      std::unique_lock lock(mutex_);
      for (const auto& entry : active) {
        if (entry->ended) continue;
        handles.push_back(limit_handles::Process(entry->slot));
        watched.push_back(entry.get());
      }
    }
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return true;
    // Rounded up: a wait that ends early would cut a run or a pause short.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    const DWORD result = ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()),
                                                  handles.data(), FALSE, static_cast<DWORD>(ms));
    if (result == WAIT_TIMEOUT) return true;
    if (result == WAIT_OBJECT_0) return false;
    const DWORD index = result - WAIT_OBJECT_0;
    if (index >= 1 && index < handles.size()) {
      // The process has ended: nothing to resume, nothing more to wait for.
      {
        std::unique_lock lock(mutex_);
        watched[index - 1]->ended = true;
      }
      if (ended) ended();
      continue;
    }
    // A failed wait: keep the rhythm by the clock rather than spin.
    ::Sleep(static_cast<DWORD>(ms));
    return true;
  }
}

}  // namespace quorvant::win32
