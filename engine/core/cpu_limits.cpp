#include "engine/core/cpu_limits.h"

#include "skin/product.h"

namespace quorvant::engine {

std::wstring_view RefusalReason(ThrottleAnswer why) {
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
      return QUORVANT_PRODUCT_NAME_W L" could not save how to undo it";
    case ThrottleAnswer::Itself:
      return QUORVANT_PRODUCT_NAME_W L" does not limit itself";
    case ThrottleAnswer::Done:
    case ThrottleAnswer::Failed:
      break;
  }
  return L"the system refused";
}

namespace {

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
         std::wstring(RefusalReason(why)) + L".";
}

ThrottleAnswer LimitEffects::Apply(const ProcessIdentity& process, int percent) {
  // A limit the process has already (a rule's, which the table takes over) changes in place.
  if (Holds(process)) return Change(process, percent);
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

ThrottleAnswer LimitEffects::Change(const ProcessIdentity& process, int percent) {
  ThrottleAnswer answer = ThrottleAnswer::Gone;  // no live effect: it ended meanwhile
  for (const EffectKind kind : {EffectKind::CpuCap, EffectKind::DutyCycle}) {
    if (!ledger_.Find(process, kind)) continue;
    ledger_.Record(LimitEffect(process, kind, percent));
    answer = kind == EffectKind::CpuCap ? throttle_.ChangeCap(process, percent)
                                        : throttle_.ChangeDutyCycle(process, percent);
  }
  return answer;
}

void LimitEffects::Lift(const ProcessIdentity& process) {
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

bool LimitEffects::Holds(const ProcessIdentity& process) const {
  return ledger_.Find(process, EffectKind::CpuCap) || ledger_.Find(process, EffectKind::DutyCycle);
}

CpuLimits::CpuLimits(LimitSlotTable& table, EffectLedger& ledger, CpuThrottle& throttle)
    : table_(table), ledger_(ledger), effects_(ledger, throttle) {}

CpuLimits::~CpuLimits() { LiftAll(); }

LimitOutcome CpuLimits::HandBack(const ProcessIdentity& process) {
  if (const auto percent = rules_ ? rules_->RulePercent(process) : std::nullopt) {
    if (effects_.Apply(process, *percent) == ThrottleAnswer::Done) {
      return {RuleLimitText(*percent), std::nullopt};
    }
  }
  effects_.Lift(process);
  return {};
}

LimitOutcome CpuLimits::Refused(const LimitTarget& target, ThrottleAnswer why) {
  return {{}, RefusalMessage(target.name, target.process.id, why)};
}

LimitOutcome CpuLimits::Ok(const LimitTarget& target, int percent) {
  if (!target.process.Known()) return Refused(target, ThrottleAnswer::Gone);
  if (effects_.Own(target.process)) return Refused(target, ThrottleAnswer::Itself);
  if (table_.FindLive(target.process)) {
    // One slot per process: its limit changes instead of taking a second slot.
    LimitOutcome outcome = Adjustment(target, percent);
    if (const auto slot = table_.FindLive(target.process)) table_[*slot].ProcessPath = target.path;
    return outcome;
  }
  if (!table_.FirstFree()) return {{}, std::wstring(L"Can not limit more")};
  const ThrottleAnswer answer = effects_.Apply(target.process, percent);
  if (answer != ThrottleAnswer::Done) return Refused(target, answer);
  (void)table_.Take(target.process, target.path, percent);
  return {LimitText(percent), std::nullopt};
}

LimitOutcome CpuLimits::Adjustment(const LimitTarget& target, int percent) {
  if (!table_.FindLive(target.process)) return {};
  const ThrottleAnswer answer = effects_.Change(target.process, percent);
  if (answer != ThrottleAnswer::Done) {
    // A limit that cannot be kept is not shown as kept.
    effects_.Lift(target.process);
    (void)table_.Release(target.process);
    return Refused(target, answer);
  }
  (void)table_.Adjust(target.process, percent);
  return {LimitText(percent), std::nullopt};
}

LimitOutcome CpuLimits::Release(const LimitTarget& target) {
  (void)table_.Release(target.process);
  return HandBack(target.process);
}

void CpuLimits::MarkRows(
    const std::vector<std::uint32_t>& rowIds, const LimitSlotTable::Identify& identify,
    const std::function<void(int row, const std::wstring& text)>& setLimitText) {
  table_.MarkRows(rowIds, identify, setLimitText,
                  [this](const LimitSlot& slot) { (void)HandBack(slot.Process); });
  if (!rules_) return;
  for (std::size_t row = 0; row < rowIds.size(); ++row) {
    const auto held = rules_->LimitOfId(rowIds[row]);
    if (!held || table_.FindLive(held->process)) continue;
    // Asked only for the few rows a rule holds: the id may name a later process by now.
    if (identify(rowIds[row]) != held->process) continue;
    setLimitText(static_cast<int>(row), RuleLimitText(held->percent));
  }
}

void CpuLimits::ForgetEnded() {
  for (int slot = LimitSlotTable::kFirst; slot <= LimitSlotTable::kLast; ++slot) {
    const ProcessIdentity process = table_[slot].Process;
    if (!table_[slot].InUse || !effects_.Ended(process)) continue;
    // Nothing is left to give back; the throttle lets go of the process.
    effects_.Lift(process);
  }
}

void CpuLimits::LiftAll() {
  const EffectLedger::Batch batch(ledger_);
  for (int slot = LimitSlotTable::kFirst; slot <= LimitSlotTable::kLast; ++slot) {
    if (!table_[slot].InUse) continue;
    effects_.Lift(table_[slot].Process);
    table_[slot].InUse = false;
  }
}

}  // namespace quorvant::engine
