#include "engine/core/background_calm.h"

#include <algorithm>
#include <cmath>

namespace quorvant {

namespace {

constexpr EffectKind kClass = EffectKind::Priority;

bool Before(const ProcessIdentity& a, const ProcessIdentity& b) {
  return a.id != b.id ? a.id < b.id : a.started < b.started;
}

bool Contains(const std::vector<ProcessIdentity>& list, const ProcessIdentity& process) {
  return std::find(list.begin(), list.end(), process) != list.end();
}

std::wstring Percent(int percent) { return std::to_wstring(percent) + L" %"; }

constexpr std::wstring_view kFrontWhy = L"given back: it came to the front";
constexpr std::wstring_view kSwitchedOffWhy = L"given back: calm switched off";
constexpr std::wstring_view kChangedWhy = L"left as it is: its class was changed meanwhile";
constexpr std::wstring_view kGoneWhy = L"ended while calmed";
constexpr std::wstring_view kRefusedWhy = L"not calmed: the system refused";
constexpr std::wstring_view kNoSampleWhy =
    L"calm paused: the list of running processes cannot be read";

}  // namespace

std::wstring CalmedWhy(int percent) {
  return L"calmed: " + Percent(percent) + L" of the CPU in the background";
}

std::wstring QuietWhy(const CalmRules& rules) {
  return L"given back: under " + Percent(rules.quietPercent) + L" of the CPU for " +
         std::to_wstring(rules.quietMs / 1000) + L" s";
}

std::wstring PriorityClassName(int priorityClass) {
  switch (priorityClass) {
    case kIdlePriorityClass:
      return L"Idle";
    case kBelowNormalPriorityClass:
      return L"Below Normal";
    case kNormalPriorityClass:
      return L"Normal";
    case kAboveNormalPriorityClass:
      return L"Above Normal";
    case kHighPriorityClass:
      return L"High";
    case kRealtimePriorityClass:
      return L"Realtime";
    default:
      return {};
  }
}

std::optional<std::uint64_t> BackgroundCalm::Kept::CpuOf(const ProcessIdentity& process) const {
  const auto it = std::lower_bound(cpu.begin(), cpu.end(), process,
                                   [](const std::pair<ProcessIdentity, std::uint64_t>& e,
                                      const ProcessIdentity& p) { return Before(e.first, p); });
  if (it == cpu.end() || !(it->first == process)) return std::nullopt;
  return it->second;
}

const BackgroundCalm::Kept* BackgroundCalm::Reference(std::uint32_t windowMs) const {
  if (kept_.size() < 2) return nullptr;
  const std::uint64_t now = kept_.back().atMs;
  for (auto it = kept_.rbegin() + 1; it != kept_.rend(); ++it) {
    if (now - it->atMs + kCalmSampleSlackMs >= windowMs) return &*it;
  }
  return nullptr;
}

std::pair<std::uint64_t, std::uint64_t> BackgroundCalm::Share(const Kept& now,
                                                              const Kept& reference,
                                                              const ProcessIdentity& process) {
  const std::uint64_t machine = now.machineTime - reference.machineTime;
  const std::uint64_t cpu = now.CpuOf(process).value_or(0);
  // A process the reference did not see started since: all its time falls in the window.
  const std::uint64_t before = reference.CpuOf(process).value_or(0);
  return {cpu > before ? cpu - before : 0, machine};
}

bool BackgroundCalm::IsCalmed(const ProcessIdentity& process) const {
  return std::any_of(calmed_.begin(), calmed_.end(),
                     [&](const CalmedProcess& c) { return c.process == process; });
}

std::vector<ProcessIdentity> BackgroundCalm::Calmed() const {
  std::vector<ProcessIdentity> calmed;
  for (const CalmedProcess& c : calmed_) {
    const auto effect = ledger_.Find(c.process, kClass);
    if (effect && effect->applied == kCalmedPriorityClass) calmed.push_back(c.process);
  }
  return calmed;
}

void BackgroundCalm::Reconcile() {
  // What the ledger no longer holds was given back by someone else: the program ending, or
  // a repair.
  std::erase_if(calmed_, [&](const CalmedProcess& c) {
    const auto effect = ledger_.Find(c.process, kClass);
    return !effect || effect->applied != kCalmedPriorityClass;
  });
}

void BackgroundCalm::Row(std::wstring process, int priorityClass, std::wstring why) {
  rows_.push_back({system_.TimeOfDay(), std::move(process), priorityClass, std::move(why)});
}

void BackgroundCalm::End(std::size_t index, Ending ending) {
  const int now = ending == Ending::ProgramEnds ? kCalmedPriorityClass
                                                : system_.PriorityClassOf(calmed_[index].process);
  End(index, ending, now);
}

void BackgroundCalm::End(std::size_t index, Ending ending, int classNow) {
  const CalmedProcess calmed = calmed_[index];
  calmed_.erase(calmed_.begin() + static_cast<std::ptrdiff_t>(index));
  const auto effect = ledger_.Find(calmed.process, kClass);
  if (!effect || effect->applied != kCalmedPriorityClass) return;

  // A class that cannot be read any more is a process that is gone: giving back costs
  // nothing and is a no-op then.
  if (classNow == 0) ending = Ending::Gone;
  // A class someone else chose since stays.
  const bool ours = classNow == kCalmedPriorityClass;
  if (ours || ending == Ending::Gone) {
    system_.RestorePriority(calmed.process, effect->before, kCalmedPriorityClass);
  }
  ledger_.Forget(calmed.process, kClass);

  if (ending == Ending::ProgramEnds) return;
  if (ending == Ending::Gone) {
    Row(calmed.name, 0, std::wstring(kGoneWhy));
  } else if (!ours) {
    // And the calm keeps off it while it lives.
    leftAlone_.push_back(calmed.process);
    Row(calmed.name, classNow, std::wstring(kChangedWhy));
  } else if (ending == Ending::Front) {
    Row(calmed.name, effect->before, std::wstring(kFrontWhy));
  } else if (ending == Ending::Quiet) {
    Row(calmed.name, effect->before, QuietWhy(rules_));
  } else {
    Row(calmed.name, effect->before, std::wstring(kSwitchedOffWhy));
  }
}

void BackgroundCalm::Step(const CpuSample& sample) {
  Reconcile();
  toldNoSample_ = false;

  // The list of the oldest sample let go is reused: a second's sample allocates nothing.
  Kept kept{sample.atMs, sample.machineTime, sample.machineIdle, std::move(spare_)};
  kept.cpu.clear();
  kept.cpu.reserve(sample.processes.size());
  for (const ProcessCpu& p : sample.processes) kept.cpu.emplace_back(p.process, p.cpuTime);
  std::sort(kept.cpu.begin(), kept.cpu.end(),
            [](const auto& a, const auto& b) { return Before(a.first, b.first); });
  // A clock that went back (a new sample source) starts the windows afresh.
  if (!kept_.empty() &&
      (kept.atMs <= kept_.back().atMs || kept.machineTime < kept_.back().machineTime)) {
    kept_.clear();
  }
  kept_.push_back(std::move(kept));
  // Only the samples the longest window can still start from are kept.
  const std::uint32_t longest = std::max(rules_.judgeMs, rules_.quietMs);
  while (kept_.size() > 2 && kept_.back().atMs - kept_[1].atMs + kCalmSampleSlackMs >= longest) {
    spare_ = std::move(kept_.front().cpu);
    kept_.pop_front();
  }
  const Kept& now = kept_.back();
  // The window in front and the program's own processes are asked of the system only when a
  // calmed process needs them or a process passes the figures: each asking wakes the system,
  // and most seconds neither happens.
  std::optional<std::optional<ProcessIdentity>> frontAsked;
  const auto front = [&]() -> const std::optional<ProcessIdentity>& {
    if (!frontAsked) frontAsked = system_.FrontProcess();
    return *frontAsked;
  };

  // The calmed first: one given back now may be judged again below.
  const Kept* quiet = Reference(rules_.quietMs);
  for (std::size_t i = calmed_.size(); i-- > 0;) {
    const ProcessIdentity process = calmed_[i].process;
    if (!now.CpuOf(process)) {
      End(i, Ending::Gone, 0);
      continue;
    }
    const int priorityClass = system_.PriorityClassOf(process);
    if (priorityClass != kCalmedPriorityClass) {
      End(i, Ending::Changed, priorityClass);
    } else if (front() && *front() == process) {
      End(i, Ending::Front, priorityClass);
    } else if (quiet) {
      const auto [cpu, machine] = Share(now, *quiet, process);
      if (machine > 0 && cpu * 100 < static_cast<std::uint64_t>(rules_.quietPercent) * machine) {
        End(i, Ending::Quiet, priorityClass);
      }
    }
  }
  std::erase_if(leftAlone_, [&](const ProcessIdentity& p) { return !now.CpuOf(p); });

  const Kept* judge = Reference(rules_.judgeMs);
  if (!judge) return;
  const std::uint64_t machine = now.machineTime - judge->machineTime;
  if (machine == 0) return;
  const std::uint64_t idle = std::min(
      now.machineIdle >= judge->machineIdle ? now.machineIdle - judge->machineIdle : 0, machine);
  if ((machine - idle) * 100 <= static_cast<std::uint64_t>(rules_.busyMachinePercent) * machine) {
    return;
  }

  std::optional<std::vector<ProcessIdentity>> own;
  for (const ProcessCpu& candidate : sample.processes) {
    if (!candidate.process.Known()) continue;
    const auto [cpu, total] = Share(now, *judge, candidate.process);
    if (cpu * 100 <= static_cast<std::uint64_t>(rules_.hogPercent) * total) continue;
    if (!own) own = system_.OwnProcesses();
    const std::optional<int> priorityClass = Eligible(candidate, front(), *own);
    if (!priorityClass) continue;
    const double percent =
        std::nearbyint(100.0 * static_cast<double>(cpu) / static_cast<double>(total));
    Calm(candidate, *priorityClass, static_cast<int>(std::min(percent, 100.0)));
  }
}

std::optional<int> BackgroundCalm::Eligible(const ProcessCpu& candidate,
                                            const std::optional<ProcessIdentity>& front,
                                            const std::vector<ProcessIdentity>& own) {
  const ProcessIdentity& process = candidate.process;
  if (front && *front == process) return std::nullopt;
  if (Contains(own, process) || Contains(leftAlone_, process) || IsCalmed(process)) {
    return std::nullopt;
  }
  if (candidate.session != system_.OwnSession()) return std::nullopt;
  // Another effect of the program holds its class: the booster's raise.
  if (ledger_.Find(process, kClass)) return std::nullopt;
  if (held_ && held_(process)) return std::nullopt;
  if (!system_.SameUser(process)) {
    leftAlone_.push_back(process);  // it stays another user's for its whole life
    return std::nullopt;
  }
  const int priorityClass = system_.PriorityClassOf(process);
  // High and Realtime are someone's deliberate choice; Below Normal and Idle are calm
  // already; 0 is a class that cannot be read.
  if (priorityClass != kNormalPriorityClass && priorityClass != kAboveNormalPriorityClass) {
    return std::nullopt;
  }
  return priorityClass;
}

void BackgroundCalm::Calm(const ProcessCpu& candidate, int priorityClass, int percent) {
  const ProcessIdentity& process = candidate.process;
  ledger_.Record({process, kClass, priorityClass, kCalmedPriorityClass});
  if (!system_.SetPriorityClassOf(process, kCalmedPriorityClass)) {
    ledger_.Forget(process, kClass);
    // Asking again every second would only fill the log.
    leftAlone_.push_back(process);
    Row(candidate.name, priorityClass, std::wstring(kRefusedWhy));
    return;
  }
  calmed_.push_back({process, candidate.name});
  Row(candidate.name, kCalmedPriorityClass, CalmedWhy(percent));
}

void BackgroundCalm::StepWithoutSample() {
  Reconcile();
  // Coming to the front needs no sample.
  if (const auto front = system_.FrontProcess()) ToFront(*front);
  if (toldNoSample_) return;
  toldNoSample_ = true;
  Row({}, 0, std::wstring(kNoSampleWhy));
}

void BackgroundCalm::ToFront(const ProcessIdentity& process) {
  Reconcile();
  for (std::size_t i = 0; i < calmed_.size(); ++i) {
    if (calmed_[i].process == process) {
      End(i, Ending::Front);
      return;
    }
  }
}

void BackgroundCalm::SwitchOff() {
  Reconcile();
  while (!calmed_.empty()) End(calmed_.size() - 1, Ending::SwitchedOff);
  kept_.clear();
  leftAlone_.clear();
  toldNoSample_ = false;
}

void BackgroundCalm::GiveBackAll() {
  Reconcile();
  const EffectLedger::Batch batch(ledger_);
  while (!calmed_.empty()) End(calmed_.size() - 1, Ending::ProgramEnds);
}

}  // namespace quorvant
