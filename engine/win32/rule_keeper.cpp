#include "engine/win32/rule_keeper.h"

#include <algorithm>
#include <utility>

#include "common/win32/coalescable_timer.h"
#include "engine/win32/processes.h"
#include "engine/win32/system_process_walk.h"

namespace quorvant::win32 {

std::wstring SystemRuleProcesses::ImagePath(const ProcessIdentity& process) {
  const unique_handle handle = OpenIdentified(process, PROCESS_QUERY_LIMITED_INFORMATION);
  if (!handle) return {};
  // Long paths may run to 32767 characters.
  for (DWORD capacity = MAX_PATH * 2; capacity <= 32768; capacity *= 4) {
    std::wstring path(capacity, L'\0');
    DWORD size = capacity;
    if (::QueryFullProcessImageNameW(handle.get(), 0, path.data(), &size)) {
      path.resize(size);
      return path;
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
  }
  return {};
}

int SystemRuleProcesses::PriorityClassOf(const ProcessIdentity& process) {
  return win32::PriorityClassOf(process);
}

bool SystemRuleProcesses::SetPriorityClassOf(const ProcessIdentity& process, int priorityClass) {
  return win32::SetPriorityClassOf(process, priorityClass);
}

void SystemRuleProcesses::RestorePriority(const ProcessIdentity& process, int priorityClass,
                                          int setClass) {
  RestorePriorityClass(process, priorityClass, setClass);
}

RuleKeeper::RuleKeeper(const std::wstring& configPath, EffectLedger& ledger,
                       engine::CpuThrottle& throttle, const LimitSlotTable& table,
                       const LedgerKeeper* keeper)
    : store_(configPath),
      book_(store_, UpperFileName),
      engine_(ledger, throttle, table, processes_, UpperFileName),
      keeper_(keeper) {
  engine_.report = [this](const std::wstring& line) { Note(line); };
  engine_.limitChanged = [this](const ProcessIdentity& process) { changed_.push_back(process); };
  RegisterClassOnce(kClassName);
  // A window of its own for the timer, so nothing else of the program is woken by it.
  (void)::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                          ::GetModuleHandleW(nullptr), this);
}

RuleKeeper::~RuleKeeper() { GiveBackAll(); }

void RuleKeeper::Start() {
  stopped_ = false;
  book_.Load();
  for (const engine::SkippedRule& skipped : book_.Skipped()) {
    Note(L"Rule " + skipped.key + L" skipped: " + skipped.reason + L".");
  }
  engine_.SetRules(book_.Plain());
  Walk();
}

std::optional<std::wstring> RuleKeeper::Applied(std::optional<std::wstring> refusal) {
  if (refusal) return refusal;
  engine_.SetRules(book_.Plain());
  Walk();
  return std::nullopt;
}

std::optional<std::wstring> RuleKeeper::Add(const engine::ProgramRule& rule) {
  return Applied(book_.Add(rule));
}

std::optional<std::wstring> RuleKeeper::Change(std::wstring_view key,
                                               const engine::ProgramRule& rule) {
  return Applied(book_.Change(key, rule));
}

std::optional<std::wstring> RuleKeeper::Remove(std::wstring_view key) {
  return Applied(book_.Remove(key));
}

std::optional<std::wstring> RuleKeeper::KeepLimit(std::wstring_view program, int percent) {
  return Applied(book_.KeepLimit(program, percent));
}

void RuleKeeper::Walk() {
  if (stopped_) return;
  if (engine_.NeedsWalks()) {
    // A walk the system refuses is tried again at the next tick.
    if (const auto* walked = walker_.Walk()) Consume(*walked);
  }
  UpdateTimer();
}

void RuleKeeper::ShareWalks(bool shared) {
  shared_ = shared;
  UpdateTimer();
}

void RuleKeeper::WalkFrom(const std::vector<engine::SystemProcess>* walked) {
  if (stopped_) return;
  if (!walked) {
    Walk();
    return;
  }
  if (engine_.NeedsWalks()) Consume(*walked);
  UpdateTimer();
}

void RuleKeeper::Consume(const std::vector<engine::SystemProcess>& walked) {
  // Never the program itself or its watcher: limiting them would limit the limiter.
  const DWORD self = ::GetCurrentProcessId();
  const DWORD watcherId = WatcherId(walked);
  std::size_t count = 0;
  for (const engine::SystemProcess& p : walked) {
    if (p.id == self || p.id == watcherId || p.id == 0) continue;
    if (count == walked_.size()) walked_.emplace_back();
    engine::WalkedProcess& into = walked_[count++];
    into.process = p.Identity();
    into.imageName.assign(p.imageName);
  }
  walked_.resize(count);
  engine_.Walk(walked_);
  if (changed_.empty()) return;
  const std::vector<ProcessIdentity> changed = std::exchange(changed_, {});
  if (limitsChanged) limitsChanged(changed);
}

DWORD RuleKeeper::WatcherId(const std::vector<engine::SystemProcess>& walked) {
  const HANDLE watcher = keeper_ ? keeper_->Watcher() : nullptr;
  if (!watcher) {
    watcherHandle_ = nullptr;
    watcher_ = {};
    return 0;
  }
  // A restarted watcher may be given the old handle's value: the identity is checked against
  // the walk, which costs nothing, rather than asked of the system at every walk.
  const bool same =
      watcher == watcherHandle_ && watcher_.Known() &&
      std::any_of(walked.begin(), walked.end(), [this](const engine::SystemProcess& p) {
        return p.id == watcher_.id && p.started == watcher_.started;
      });
  if (!same) {
    watcherHandle_ = watcher;
    watcher_ = IdentityOf(watcher).value_or(ProcessIdentity{});
  }
  return watcher_.id;
}

void RuleKeeper::GiveBackAll() {
  stopped_ = true;
  engine_.GiveBackAll();
  UpdateTimer();
}

void RuleKeeper::Note(const std::wstring& line) {
  log_.push_back(line);
  while (log_.size() > kLogLines) log_.pop_front();
  if (logged) logged(line);
}

void RuleKeeper::UpdateTimer() {
  const bool needed = !stopped_ && !shared_ && engine_.NeedsWalks() && hwnd_;
  if (needed == walking_) return;
  walking_ = needed;
  if (needed) {
    (void)SetCoalescableWindowTimer(hwnd_, kWalkTimer, kWalkMs, CoalescingTolerance(kWalkMs));
  } else if (hwnd_) {
    (void)::KillTimer(hwnd_, kWalkTimer);
  }
}

LRESULT RuleKeeper::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && wParam == kWalkTimer) {
    Walk();
    return 0;
  }
  return DefaultProc(message, wParam, lParam);
}

}  // namespace quorvant::win32
