#include "engine/core/cpu_limits.h"

namespace quorvant::engine {

namespace {

std::wstring_view Reason(ThrottleAnswer why) {
  switch (why) {
    case ThrottleAnswer::AccessDenied:
      return L"access denied";
    case ThrottleAnswer::Gone:
      return L"the process has ended";
    case ThrottleAnswer::InJob:
      return L"it belongs to a job that does not allow a limit";
    case ThrottleAnswer::NotOffered:
      return L"this system cannot limit a process";
    case ThrottleAnswer::NotKept:
      return L"Quorvant could not save how to undo it";
    case ThrottleAnswer::Itself:
      return L"Quorvant does not limit itself";
    case ThrottleAnswer::Done:
    case ThrottleAnswer::Failed:
      break;
  }
  return L"the system refused";
}

Effect LimitEffect(const ProcessIdentity& process, EffectKind kind, int percent) {
  Effect effect;
  effect.process = process;
  effect.kind = kind;
  effect.applied = percent;
  return effect;
}

}  // namespace

std::wstring RefusalMessage(std::wstring_view name, std::uint32_t id, ThrottleAnswer why) {
  return L"Could not limit " + std::wstring(name) + L" (PID " + std::to_wstring(id) + L"): " +
         std::wstring(Reason(why)) + L".";
}

CpuLimits::CpuLimits(LimitSlotTable& table, EffectLedger& ledger, CpuThrottle& throttle)
    : table_(table), ledger_(ledger), throttle_(throttle) {}

CpuLimits::~CpuLimits() { LiftAll(); }

ThrottleAnswer CpuLimits::Apply(const ProcessIdentity& process, int percent) {
  if (capOffered_) {
    ledger_.Record(LimitEffect(process, EffectKind::CpuCap, percent));
    if (!ledger_.Kept()) {
      ledger_.Forget(process, EffectKind::CpuCap);
      return ThrottleAnswer::NotKept;
    }
    const ThrottleAnswer answer = throttle_.Cap(process, percent);
    if (answer != ThrottleAnswer::NotOffered) {
      if (answer != ThrottleAnswer::Done) ledger_.Forget(process, EffectKind::CpuCap);
      return answer;
    }
    capOffered_ = false;
    ledger_.Forget(process, EffectKind::CpuCap);
  }
  ledger_.Record(LimitEffect(process, EffectKind::DutyCycle, percent));
  if (!ledger_.Kept()) {
    ledger_.Forget(process, EffectKind::DutyCycle);
    return ThrottleAnswer::NotKept;
  }
  const ThrottleAnswer answer = throttle_.StartDutyCycle(process, percent);
  if (answer != ThrottleAnswer::Done) ledger_.Forget(process, EffectKind::DutyCycle);
  return answer;
}

void CpuLimits::Lift(const ProcessIdentity& process) {
  // The most harmful first: a suspended process runs again before anything else happens.
  if (ledger_.Find(process, EffectKind::DutyCycle)) {
    throttle_.StopDutyCycle(process);
    ledger_.Forget(process, EffectKind::DutyCycle);
  }
  if (ledger_.Find(process, EffectKind::CpuCap)) {
    throttle_.Uncap(process);
    ledger_.Forget(process, EffectKind::CpuCap);
  }
}

LimitOutcome CpuLimits::Refused(const LimitTarget& target, ThrottleAnswer why) {
  return {{}, RefusalMessage(target.name, target.process.id, why)};
}

LimitOutcome CpuLimits::Ok(const LimitTarget& target, int percent) {
  if (!target.process.Known()) return Refused(target, ThrottleAnswer::Gone);
  if (throttle_.Own(target.process)) return Refused(target, ThrottleAnswer::Itself);
  if (table_.FindLive(target.process)) {
    // One slot per process: its limit changes instead of taking a second slot.
    LimitOutcome outcome = Adjustment(target, percent);
    if (const auto slot = table_.FindLive(target.process)) table_[*slot].ProcessPath = target.path;
    return outcome;
  }
  if (!table_.FirstFree()) return {{}, std::wstring(L"Can not limit more")};
  const ThrottleAnswer answer = Apply(target.process, percent);
  if (answer != ThrottleAnswer::Done) return Refused(target, answer);
  (void)table_.Take(target.process, target.path, percent);
  return {LimitText(percent), std::nullopt};
}

LimitOutcome CpuLimits::Adjustment(const LimitTarget& target, int percent) {
  if (!table_.FindLive(target.process)) return {};
  ThrottleAnswer answer = ThrottleAnswer::Gone;  // no live effect: it ended meanwhile
  for (const EffectKind kind : {EffectKind::CpuCap, EffectKind::DutyCycle}) {
    if (!ledger_.Find(target.process, kind)) continue;
    ledger_.Record(LimitEffect(target.process, kind, percent));
    answer = kind == EffectKind::CpuCap ? throttle_.ChangeCap(target.process, percent)
                                        : throttle_.ChangeDutyCycle(target.process, percent);
  }
  if (answer != ThrottleAnswer::Done) {
    // A limit that cannot be kept is not shown as kept.
    Lift(target.process);
    (void)table_.Release(target.process);
    return Refused(target, answer);
  }
  (void)table_.Adjust(target.process, percent);
  return {LimitText(percent), std::nullopt};
}

LimitOutcome CpuLimits::Release(const LimitTarget& target) {
  Lift(target.process);
  (void)table_.Release(target.process);
  return {};
}

void CpuLimits::MarkRows(
    const std::vector<std::uint32_t>& rowIds, const LimitSlotTable::Identify& identify,
    const std::function<void(int row, const std::wstring& text)>& setLimitText) {
  table_.MarkRows(rowIds, identify, setLimitText,
                  [this](const LimitSlot& slot) { Lift(slot.Process); });
}

void CpuLimits::ForgetEnded() {
  for (int slot = LimitSlotTable::kFirst; slot <= LimitSlotTable::kLast; ++slot) {
    const ProcessIdentity process = table_[slot].Process;
    if (!table_[slot].InUse || !throttle_.Ended(process)) continue;
    // Nothing is left to give back; the throttle lets go of the process.
    Lift(process);
  }
}

void CpuLimits::LiftAll() {
  const EffectLedger::Batch batch(ledger_);
  for (int slot = LimitSlotTable::kFirst; slot <= LimitSlotTable::kLast; ++slot) {
    if (!table_[slot].InUse) continue;
    Lift(table_[slot].Process);
    table_[slot].InUse = false;
  }
}

}  // namespace quorvant::engine
