#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/win32/window.h"
#include "engine/core/cpu_limits.h"
#include "engine/core/effect_ledger.h"
#include "engine/core/limit_slots.h"
#include "engine/core/program_rules.h"
#include "engine/core/rule_engine.h"
#include "engine/win32/ini_rule_store.h"
#include "engine/win32/system_process_walk.h"
#include "engine/win32/watcher.h"

namespace quorvant::win32 {

// Classes, paths and the case mapping of the system, for the rules.
class SystemRuleProcesses final : public engine::RuleProcesses {
 public:
  std::wstring ImagePath(const ProcessIdentity& process) override;
  int PriorityClassOf(const ProcessIdentity& process) override;
  bool SetPriorityClassOf(const ProcessIdentity& process, int priorityClass) override;
  void RestorePriority(const ProcessIdentity& process, int priorityClass, int setClass) override;
};

// The program rules at work: kept in Config.ini's [Rules], applied to the running processes
// at once and to each new one by a walk of the process table on a timer the system may
// coalesce. The timer runs only while a rule exists, shown or hidden.
class RuleKeeper final : public Window<RuleKeeper> {
 public:
  static constexpr wchar_t kClassName[] = L"QuorvantRules";
  // How often new processes are looked for: a rule reaches a new process within this, the
  // timer's tolerance and one walk, inside the two seconds a rule promises. Under Wine each
  // walk reads every process's and thread's times from /proc, which is most of what the
  // rules cost while hidden; a walk every second and a half keeps that under half a percent
  // of one core with about 200 processes.
  static constexpr UINT kWalkMs = 1500;
  static constexpr UINT_PTR kWalkTimer = 1;
  // Lines of the rules' log kept for the dialog.
  static constexpr size_t kLogLines = 200;

  // keeper, when given, is the ledger's keeper, whose watcher no rule may touch.
  RuleKeeper(const std::wstring& configPath, EffectLedger& ledger, engine::CpuThrottle& throttle,
             const LimitSlotTable& table, const LedgerKeeper* keeper = nullptr);
  ~RuleKeeper() override;

  // Reads the rules and applies them to the running processes.
  void Start();

  const engine::RuleBook& Book() const { return book_; }
  const engine::RuleEngine& Engine() const { return engine_; }
  engine::RuleEngine& Engine() { return engine_; }

  // Each returns the message for the user when the change is refused. A change applies to
  // the running processes before it returns.
  std::optional<std::wstring> Add(const engine::ProgramRule& rule);
  std::optional<std::wstring> Change(std::wstring_view key, const engine::ProgramRule& rule);
  std::optional<std::wstring> Remove(std::wstring_view key);
  std::optional<std::wstring> KeepLimit(std::wstring_view program, int percent);

  // One walk now.
  void Walk();
  // While shared, the keeper's own timer stops and whoever shares walks it through WalkFrom,
  // at least as often as kWalkMs: one walk of the system then serves the rules and the calm.
  void ShareWalks(bool shared);
  // A walk made by the sharer; null when it made none, and then the keeper walks itself.
  void WalkFrom(const std::vector<engine::SystemProcess>* walked);
  // Gives back everything the rules hold and stops walking: the program is ending.
  void GiveBackAll();

  bool Walking() const { return walking_; }
  // Lines for the user: processes left alone, rules skipped at start.
  const std::deque<std::wstring>& Log() const { return log_; }
  std::function<void(const std::wstring&)> logged;
  // The processes whose rule limit a walk or a change of the rules has just applied,
  // changed or lifted, once after each walk that changed any.
  std::function<void(const std::vector<ProcessIdentity>&)> limitsChanged;

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  std::optional<std::wstring> Applied(std::optional<std::wstring> refusal);
  void Note(const std::wstring& line);
  void UpdateTimer();
  void Consume(const std::vector<engine::SystemProcess>& walked);
  // The watcher's id, asked of the system only when its handle changes or the process it
  // named is no longer in the walk.
  DWORD WatcherId(const std::vector<engine::SystemProcess>& walked);

  IniRuleStore store_;
  engine::RuleBook book_;
  SystemRuleProcesses processes_;
  engine::RuleEngine engine_;
  const LedgerKeeper* keeper_;
  std::deque<std::wstring> log_;
  bool walking_ = false;
  bool stopped_ = false;
  bool shared_ = false;
  // Kept between walks for their capacity: a walk that finds nothing new allocates nothing.
  SystemProcessWalker walker_;
  std::vector<engine::WalkedProcess> walked_;
  std::vector<ProcessIdentity> changed_;
  HANDLE watcherHandle_ = nullptr;
  ProcessIdentity watcher_{};
};

}  // namespace quorvant::win32
