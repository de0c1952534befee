#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/core/cpu_limits.h"
#include "engine/core/effect_ledger.h"
#include "engine/core/limit_slots.h"
#include "engine/core/process_identity.h"
#include "engine/core/program_rules.h"
#include "engine/core/rule_holds.h"

namespace quorvant::engine {

// What the rules need of the system besides limits: a process's path and its class.
class RuleProcesses {
 public:
  virtual ~RuleProcesses() = default;
  // The full path of the process's executable; empty when it cannot be read or has ended.
  virtual std::wstring ImagePath(const ProcessIdentity& process) = 0;
  // 0 when it cannot be read.
  virtual int PriorityClassOf(const ProcessIdentity& process) = 0;
  // False when the process is gone or the system refuses.
  virtual bool SetPriorityClassOf(const ProcessIdentity& process, int priorityClass) = 0;
  // Gives priorityClass back while the process still runs at setClass.
  virtual void RestorePriority(const ProcessIdentity& process, int priorityClass, int setClass) = 0;
};

// One process as a walk of the system's process table names it.
struct WalkedProcess {
  ProcessIdentity process;
  std::wstring imageName;  // the executable's file name
};

// Applies the program rules to every process of their programs. Each walk of the process
// table is compared with the last: only processes new since then are matched, and a
// process gone since then is let go of. A change of the rules is applied to every process
// at the next walk. Every effect goes through the ledger (a class change as the booster's
// does, a limit as the table's does), so everything a rule does is given back at exit and
// by the watcher.
//
// A table limit on a rule's process takes precedence while its slot lives; the table hands
// the process back to the rule when the slot is freed. The booster raises a rule's process
// over its rule's class and returns it to that class.
class RuleEngine final : public RuleHolds {
 public:
  RuleEngine(EffectLedger& ledger, CpuThrottle& throttle, const LimitSlotTable& table,
             RuleProcesses& processes, CaseFold fold);
  ~RuleEngine() override;
  RuleEngine(const RuleEngine&) = delete;
  RuleEngine& operator=(const RuleEngine&) = delete;

  // The rules from now on; applied to every process at the next walk.
  void SetRules(std::vector<ProgramRule> rules);
  // Whether walks are needed: rules exist, or a change of them waits for a walk.
  bool NeedsWalks() const { return !rules_.empty() || rematch_ || !held_.empty(); }

  // One walk of the process table: applies and gives back as the rules now say.
  void Walk(const std::vector<WalkedProcess>& processes);
  // Gives back everything the rules hold; the rules stay, for a later walk.
  void GiveBackAll();

  // Told once, in a line for the log, of each process the system would not let a rule
  // control; that process is left alone from then on.
  std::function<void(const std::wstring&)> report;
  // Told of each process whose rule limit has just been applied, changed, refused or lifted
  // by a walk or a change of the rules, so that a list showing the limit can follow.
  std::function<void(const ProcessIdentity&)> limitChanged;

  bool HoldsProcess(const ProcessIdentity& process) const override;
  std::optional<int> RuleClass(const ProcessIdentity& process) const override;
  std::optional<int> RulePercent(const ProcessIdentity& process) const override;
  std::optional<HeldLimit> LimitOfId(std::uint32_t id) const override;
  bool NeverTrim(std::uint32_t id) const override;

  std::size_t HeldCount() const { return held_.size(); }

 private:
  struct Seen {
    std::uint64_t started = 0;
    std::wstring imageName;
    std::wstring foldedName;
    std::optional<std::wstring> foldedPath;  // read once, when a path rule asks
    std::uint64_t walk = 0;                  // the last walk that saw it
  };
  struct Held {
    ProcessIdentity process;
    ProgramRule rule;
    bool refused = false;  // the system would not let the rule act: left alone
  };
  struct Indexed {
    ProgramRule rule;
    std::wstring key;  // the folded path or file name
    bool fullPath = false;
  };

  const Held* Find(const ProcessIdentity& process) const;
  const ProgramRule* Match(const ProcessIdentity& process, Seen& seen);
  void Apply(const ProcessIdentity& process, const Seen& seen, const ProgramRule* rule);
  bool ChangeClass(Held& held, std::optional<int> from, std::optional<int> to);
  ThrottleAnswer ChangeLimit(Held& held, std::optional<int> from, std::optional<int> to);
  void LetGo(const Held& held);
  void Refused(Held& held, const std::wstring& imageName, std::wstring_view why);

  EffectLedger& ledger_;
  LimitEffects limits_;
  const LimitSlotTable& table_;
  RuleProcesses& processes_;
  CaseFold fold_;

  std::vector<Indexed> rules_;
  // Rules by the folded file name they match.
  std::unordered_map<std::wstring, std::vector<std::size_t>> byName_;
  bool rematch_ = false;
  std::unordered_map<std::uint32_t, Seen> seen_;
  std::uint64_t walk_ = 0;
  // The processes of the current walk to match: kept only for its capacity.
  std::vector<const WalkedProcess*> fresh_;
  std::unordered_map<std::uint32_t, Held> held_;
};

}  // namespace quorvant::engine
