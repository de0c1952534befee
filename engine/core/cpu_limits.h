#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/effect_ledger.h"
#include "engine/core/limit_slots.h"
#include "engine/core/process_identity.h"
#include "engine/core/rule_holds.h"

namespace quorvant::engine {

// What the system answered when asked to limit a process.
enum class ThrottleAnswer {
  Done,
  NotOffered,    // the system has no CPU cap of its own (asked for the cap only)
  AccessDenied,  // protected, another user's, or opened without the rights
  Gone,          // the process has ended
  InJob,         // it belongs to a job that does not let it join another
  NotKept,       // how to undo it could not be kept on disk: it would not be given back
                 // if the program were ended from outside
  Itself,        // the program's own process or its watcher: nothing would be left to
                 // resume a suspension, or to give back after a kill
  Failed,        // any other refusal
};

// What limits need of the system. Every call acts only on the process with that identity;
// a process that has ended, or whose id now names a later process, is never touched.
class CpuThrottle {
 public:
  virtual ~CpuThrottle() = default;
  // The system's own hard cap: the process may use at most percent of the machine.
  virtual ThrottleAnswer Cap(const ProcessIdentity& process, int percent) = 0;
  virtual ThrottleAnswer ChangeCap(const ProcessIdentity& process, int percent) = 0;
  // Switches the cap off; the process keeps its job, which then restricts nothing.
  virtual void Uncap(const ProcessIdentity& process) = 0;
  // Suspends and resumes the process so that it runs percent of each short period.
  virtual ThrottleAnswer StartDutyCycle(const ProcessIdentity& process, int percent) = 0;
  virtual ThrottleAnswer ChangeDutyCycle(const ProcessIdentity& process, int percent) = 0;
  // Ends the cycle with the process running.
  virtual void StopDutyCycle(const ProcessIdentity& process) = 0;
  // Whether a limited process has ended; its duty cycle, if it had one, has stopped by then.
  virtual bool Ended(const ProcessIdentity& process) = 0;
  // Whether the process is the program's own or its watcher's, which are never limited.
  virtual bool Own(const ProcessIdentity& /*process*/) { return false; }
};

// Why a limit was refused, as the user reads it: "access denied".
std::wstring_view RefusalReason(ThrottleAnswer why);

// The message shown when the system refuses a limit: "Could not limit name (id): reason."
std::wstring RefusalMessage(std::wstring_view name, std::uint32_t id, ThrottleAnswer why);

// The process a limit dialog was opened for: it keeps acting on that process whatever
// happens to the list meanwhile.
struct LimitTarget {
  // Empty when the row's process could not be told: it has ended.
  ProcessIdentity process;
  std::wstring name;  // the "Process" column
  std::wstring path;  // the dialog's path line, recorded with the limit
};

// What a dialog button leaves behind.
struct LimitOutcome {
  // The target's row shows this in its "CPU Usage limited" column: its limit while it holds
  // one, else nothing.
  std::wstring rowText;
  // The message for the user when the limit could not be applied.
  std::optional<std::wstring> refusal;
};

// Limits applied through the ledger of live effects: each recorded before it is applied and
// forgotten once it is lifted or refused. The system's own cap is tried first; where the
// system has none, the duty cycle does the work. The limit table and the program rules
// share the effects of one process: whoever holds its limit changes the one it has.
class LimitEffects {
 public:
  LimitEffects(EffectLedger& ledger, CpuThrottle& throttle)
      : ledger_(ledger), throttle_(throttle) {}

  // Limits the process, or changes the limit it has.
  ThrottleAnswer Apply(const ProcessIdentity& process, int percent);
  // Changes the limit the process has; Gone when it has none.
  ThrottleAnswer Change(const ProcessIdentity& process, int percent);
  void Lift(const ProcessIdentity& process);
  // Whether the process has a limit live.
  bool Holds(const ProcessIdentity& process) const;
  bool Ended(const ProcessIdentity& process) { return throttle_.Ended(process); }
  // Whether the process is the program's own or its watcher's, which are never limited.
  bool Own(const ProcessIdentity& process) { return throttle_.Own(process); }

 private:
  EffectLedger& ledger_;
  CpuThrottle& throttle_;
  // Cleared the first time the system answers that it has no cap: it will not have one later.
  bool capOffered_ = true;
};

// The limit table with its limits applied: each slot in use is a limit the system keeps on
// its process, recorded in the ledger of live effects before it is applied and forgotten
// once it is lifted or its process has gone. The system's own cap is tried first; where the
// system has none, the duty cycle does the work.
class CpuLimits {
 public:
  CpuLimits(LimitSlotTable& table, EffectLedger& ledger, CpuThrottle& throttle);
  ~CpuLimits();
  CpuLimits(const CpuLimits&) = delete;
  CpuLimits& operator=(const CpuLimits&) = delete;

  // "OK": limits the target, or changes its limit when it already holds a slot.
  LimitOutcome Ok(const LimitTarget& target, int percent);
  // "Adjustment": changes the target's limit.
  LimitOutcome Adjustment(const LimitTarget& target, int percent);
  // "Release": lifts the target's limit and frees its slot. A process a program rule holds
  // returns to the rule's limit, which its row then shows.
  LimitOutcome Release(const LimitTarget& target);

  // The program rules, asked what a process returns to once its slot is freed; none by
  // default.
  void SetRules(const RuleHolds* rules) { rules_ = rules; }

  // After a rebuild of the list: marks the limited rows; a slot whose process has no row is
  // freed and its limit lifted (LimitSlotTable::MarkRows).
  // Rows of processes a rule limits, and that hold no slot, show the rule's limit.
  void MarkRows(const std::vector<std::uint32_t>& rowIds, const LimitSlotTable::Identify& identify,
                const std::function<void(int row, const std::wstring& text)>& setLimitText);
  // Forgets the limits of processes that have ended. Their slots stay in use until the
  // next rebuild of the list, as the count always showed.
  void ForgetEnded();
  // Lifts every limit and frees every slot: the program or the session is ending.
  void LiftAll();

 private:
  // A freed slot's process returns to its rule's limit, or to none.
  LimitOutcome HandBack(const ProcessIdentity& process);
  LimitOutcome Refused(const LimitTarget& target, ThrottleAnswer why);

  LimitSlotTable& table_;
  EffectLedger& ledger_;
  LimitEffects effects_;
  const RuleHolds* rules_ = nullptr;
};

}  // namespace quorvant::engine
