#include "engine/core/rule_engine.h"

#include <utility>

namespace quorvant::engine {

namespace {
constexpr EffectKind kClass = EffectKind::Priority;
}  // namespace

RuleEngine::RuleEngine(EffectLedger& ledger, CpuThrottle& throttle, const LimitSlotTable& table,
                       RuleProcesses& processes, CaseFold fold)
    : ledger_(ledger),
      limits_(ledger, throttle),
      table_(table),
      processes_(processes),
      fold_(std::move(fold)) {}

RuleEngine::~RuleEngine() { GiveBackAll(); }

void RuleEngine::SetRules(std::vector<ProgramRule> rules) {
  rules_.clear();
  byName_.clear();
  for (ProgramRule& rule : rules) {
    Indexed indexed;
    indexed.fullPath = FormOf(rule.program) == ProgramForm::FullPath;
    indexed.key = MatchKey(rule.program, fold_);
    byName_[std::wstring(FileNameOf(indexed.key))].push_back(rules_.size());
    indexed.rule = std::move(rule);
    rules_.push_back(std::move(indexed));
  }
  rematch_ = true;
}

const RuleEngine::Held* RuleEngine::Find(const ProcessIdentity& process) const {
  const auto held = held_.find(process.id);
  if (held == held_.end() || held->second.process != process) return nullptr;
  return &held->second;
}

const ProgramRule* RuleEngine::Match(const ProcessIdentity& process, Seen& seen) {
  const auto candidates = byName_.find(seen.foldedName);
  if (candidates == byName_.end()) return nullptr;
  const ProgramRule* byName = nullptr;
  for (const std::size_t index : candidates->second) {
    const Indexed& indexed = rules_[index];
    if (!indexed.fullPath) {
      byName = &indexed.rule;
      continue;
    }
    // The path is read only for a process whose file name a path rule names.
    if (!seen.foldedPath) seen.foldedPath = MatchKey(processes_.ImagePath(process), fold_);
    // A rule for the exact path is more particular than one for the name anywhere.
    if (!seen.foldedPath->empty() && *seen.foldedPath == indexed.key) return &indexed.rule;
  }
  return byName;
}

void RuleEngine::Walk(const std::vector<WalkedProcess>& processes) {
  // Marked in place rather than rebuilt: a walk that finds only known processes allocates
  // nothing, which matters for a walk that runs every second while the program is hidden.
  ++walk_;
  fresh_.clear();
  for (const WalkedProcess& walked : processes) {
    const auto [known, added] = seen_.try_emplace(walked.process.id);
    Seen& seen = known->second;
    if (!added && seen.started == walked.process.started) {
      seen.walk = walk_;
      if (rematch_) fresh_.push_back(&walked);
      continue;
    }
    // New, or its id now names a later process.
    seen = Seen{};
    seen.started = walked.process.started;
    seen.walk = walk_;
    seen.imageName = walked.imageName;
    seen.foldedName = fold_(walked.imageName);
    fresh_.push_back(&walked);
  }
  std::erase_if(seen_, [this](const auto& entry) { return entry.second.walk != walk_; });

  // Processes gone since the last walk (or whose id now names a later process).
  for (auto held = held_.begin(); held != held_.end();) {
    const auto still = seen_.find(held->first);
    if (still != seen_.end() && still->second.started == held->second.process.started) {
      ++held;
      continue;
    }
    LetGo(held->second);
    held = held_.erase(held);
  }
  rematch_ = false;

  if (rules_.empty() && held_.empty()) {
    // Nothing to compare the next walk with once rules come back: it starts afresh.
    seen_.clear();
    return;
  }
  for (const WalkedProcess* walked : fresh_) {
    Seen& seen = seen_.at(walked->process.id);
    Apply(walked->process, seen, Match(walked->process, seen));
  }
  if (rules_.empty()) seen_.clear();
}

void RuleEngine::Apply(const ProcessIdentity& process, const Seen& seen, const ProgramRule* rule) {
  const auto found = held_.find(process.id);
  if (found == held_.end() && !rule) return;
  if (found == held_.end()) {
    held_[process.id] = Held{process, ProgramRule{}, false};
  }
  Held& held = held_.at(process.id);
  const ProgramRule before = held.rule;
  const ProgramRule after = rule ? *rule : ProgramRule{};
  // The limit a list shows for the process, 0 for none.
  const int shownBefore = held.refused ? 0 : before.cpuPercent.value_or(0);
  held.rule = after;
  if (!held.refused) {
    if (!ChangeClass(held, before.priorityClass, after.priorityClass)) {
      Refused(held, seen.imageName, L"the system refused its priority");
    } else {
      const ThrottleAnswer answer = ChangeLimit(held, before.cpuPercent, after.cpuPercent);
      if (answer != ThrottleAnswer::Done && answer != ThrottleAnswer::Gone) {
        Refused(held, seen.imageName, RefusalReason(answer));
      }
    }
  }
  const int shownAfter = held.refused ? 0 : after.cpuPercent.value_or(0);
  if (!rule) held_.erase(process.id);
  if (shownBefore != shownAfter && limitChanged) limitChanged(process);
}

bool RuleEngine::ChangeClass(Held& held, std::optional<int> from, std::optional<int> to) {
  if (from == to) return true;
  const ProcessIdentity& process = held.process;
  const auto entry = ledger_.Find(process, kClass);
  if (entry && entry->applied != from) {
    // The booster has raised it: it returns the process to the rule's class when it lets go.
    return true;
  }
  if (entry) {
    if (!to || *to == entry->before) {
      processes_.RestorePriority(process, entry->before, entry->applied);
      ledger_.Forget(process, kClass);
      return true;
    }
    const Effect changed{process, kClass, entry->before, *to};
    ledger_.Record(changed);
    if (processes_.SetPriorityClassOf(process, *to)) return true;
    // Refused: it still runs at the class it had.
    ledger_.Record(*entry);
    return false;
  }
  if (!to) return true;
  const int now = processes_.PriorityClassOf(process);
  if (now == 0) return false;
  if (now == *to) return true;  // nothing to change, nothing to give back
  const Effect set{process, kClass, now, *to};
  // A class the program never gives back (Realtime) is left as it is.
  if (!IsValidEffect(set)) return true;
  ledger_.Record(set);
  if (processes_.SetPriorityClassOf(process, *to)) return true;
  ledger_.Forget(process, kClass);
  return false;
}

ThrottleAnswer RuleEngine::ChangeLimit(Held& held, std::optional<int> from, std::optional<int> to) {
  if (from == to) return ThrottleAnswer::Done;
  const ProcessIdentity& process = held.process;
  // The table's limit stands while its slot lives; freeing the slot asks for the rule's.
  if (table_.FindLive(process)) return ThrottleAnswer::Done;
  if (!to) {
    limits_.Lift(process);
    return ThrottleAnswer::Done;
  }
  const ThrottleAnswer answer = limits_.Apply(process, *to);
  // A limit that cannot be kept is not kept at an old figure either.
  if (answer != ThrottleAnswer::Done) limits_.Lift(process);
  return answer;
}

void RuleEngine::LetGo(const Held& held) {
  // Its process has ended: nothing to give back, only the records to drop.
  if (!table_.FindLive(held.process)) limits_.Lift(held.process);
  const auto entry = ledger_.Find(held.process, kClass);
  if (entry && entry->applied == held.rule.priorityClass) ledger_.Forget(held.process, kClass);
}

void RuleEngine::Refused(Held& held, const std::wstring& imageName, std::wstring_view why) {
  held.refused = true;
  // What did get applied is given back: the process is left alone as a whole.
  (void)ChangeClass(held, held.rule.priorityClass, std::nullopt);
  (void)ChangeLimit(held, held.rule.cpuPercent, std::nullopt);
  if (report) {
    report(L"Rule for " + held.rule.program + L": " + imageName + L" (PID " +
           std::to_wstring(held.process.id) + L") left alone, " + std::wstring(why) + L".");
  }
}

void RuleEngine::GiveBackAll() {
  const EffectLedger::Batch batch(ledger_);
  for (auto& [id, held] : held_) {
    if (held.refused) continue;
    (void)ChangeClass(held, held.rule.priorityClass, std::nullopt);
    (void)ChangeLimit(held, held.rule.cpuPercent, std::nullopt);
  }
  held_.clear();
  seen_.clear();
  rematch_ = !rules_.empty();
}

bool RuleEngine::HoldsProcess(const ProcessIdentity& process) const {
  return Find(process) != nullptr;
}

std::optional<int> RuleEngine::RuleClass(const ProcessIdentity& process) const {
  const Held* held = Find(process);
  if (!held || held->refused) return std::nullopt;
  return held->rule.priorityClass;
}

std::optional<int> RuleEngine::RulePercent(const ProcessIdentity& process) const {
  const Held* held = Find(process);
  if (!held || held->refused) return std::nullopt;
  return held->rule.cpuPercent;
}

std::optional<RuleHolds::HeldLimit> RuleEngine::LimitOfId(std::uint32_t id) const {
  const auto held = held_.find(id);
  if (held == held_.end() || held->second.refused || !held->second.rule.cpuPercent) {
    return std::nullopt;
  }
  return HeldLimit{held->second.process, *held->second.rule.cpuPercent};
}

bool RuleEngine::NeverTrim(std::uint32_t id) const {
  const auto held = held_.find(id);
  return held != held_.end() && held->second.rule.neverTrim;
}

}  // namespace quorvant::engine
