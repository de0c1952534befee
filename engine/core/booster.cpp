#include "engine/core/booster.h"

#include <utility>

namespace quorvant {

namespace {

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

constexpr EffectKind kRaise = EffectKind::Priority;

// The booster only ever raises: from Idle to Above Normal up to Above Normal or High.
bool IsRaise(int from, int to) {
  const int rank = PriorityRank(from);
  return rank >= 0 && rank <= PriorityRank(kAboveNormalPriorityClass) &&
         (to == kAboveNormalPriorityClass || to == kHighPriorityClass) && PriorityRank(to) > rank;
}

}  // namespace

std::wstring Booster::CutTitle(std::wstring_view text) {
  text = text.substr(0, text.find(L'\0'));
  if (text.size() > kMaxTitleChars) {
    text = text.substr(0, kMaxTitleChars);
    // A cut between the halves of a pair would show as a broken character.
    if (IsHighSurrogate(text.back())) text.remove_suffix(1);
  }
  return std::wstring(text);
}

bool Booster::SameTarget(const std::wstring& title) const {
  // The comparison runs over the trimmed length of the caption but on the caption as it
  // stands, so a title with leading blanks still matches its own caption.
  const size_t n = TrimNull(target_).size();
  return title.size() >= n && title.compare(0, n, target_, 0, n) == 0;
}

std::optional<Effect> Booster::Raised() const {
  // What the ledger no longer holds was given back by someone else.
  if (!raised_) return std::nullopt;
  return ledger_.Find(*raised_, kRaise);
}

std::optional<Boost> Booster::Tick(bool enabled, std::wstring_view level) {
  if (!enabled) return std::nullopt;
  const WindowId window = desktop_.ForegroundWindow();

  // The last window follows the foreground on every enabled tick, boost or not.
  const WindowId before = lastForeground_;
  lastForeground_ = window;
  if (window == before) return std::nullopt;
  // Read only for a new window: most ticks see the same one, and reading another process's
  // title costs a round trip to the system.
  const std::wstring title = CutTitle(desktop_.WindowTitle(window));
  if (TrimNull(title).empty()) return std::nullopt;
  if (SameTarget(title)) return std::nullopt;

  const bool high = level == kLevelHigh;
  const std::optional<ProcessIdentity> process = desktop_.WindowProcess(window);
  if (process && comingToFront) comingToFront(*process);
  const bool kept = Raise(process, high ? kHighPriorityClass : kAboveNormalPriorityClass);

  // The boost shows whether or not the system let the process be raised.
  target_ = title;
  Boost boost;
  boost.title = title;
  boost.number = L" " + std::to_wstring(count_ + 1);
  boost.time = desktop_.TimeOfDay();
  boost.priority = high ? kLevelHigh : kLevelAboveNormal;
  boost.speed = (high ? L"1" : L"2") + RandomDigits(1, random_) + L"%";
  boost.count = ++count_;
  boost.notKept = !kept;
  return boost;
}

int Booster::ReturnClass(const Effect& raised) const {
  const auto ruleClass = rules_ ? rules_->RuleClass(raised.process) : std::nullopt;
  return ruleClass.value_or(raised.before);
}

std::optional<Effect> Booster::AfterReturn(const Effect& raised) const {
  const auto ruleClass = rules_ ? rules_->RuleClass(raised.process) : std::nullopt;
  if (!ruleClass) return std::nullopt;
  const Effect held{raised.process, kRaise, raised.before, *ruleClass};
  if (!IsValidEffect(held)) return std::nullopt;
  return held;
}

bool Booster::Raise(const std::optional<ProcessIdentity>& process, int raisedClass) {
  const std::optional<Effect> current = Raised();
  // Another window of the raised process: it stays raised, and what it returns to is still
  // the class it had before the first of them. A class changed since is a new start.
  const bool sameProcess = current && process && current->process == *process &&
                           desktop_.PriorityClassOf(*process) == current->applied;
  if (sameProcess && current->applied == raisedClass) return true;

  std::optional<Effect> next;
  if (sameProcess) {
    const Effect changed{*process, kRaise, current->before, raisedClass};
    if (IsRaise(ReturnClass(*current), raisedClass) && IsValidEffect(changed)) next = changed;
  }
  const bool keepCurrent = next.has_value();
  if (current && !keepCurrent) {
    desktop_.RestorePriority(current->process, ReturnClass(*current), current->applied);
  }
  // A rule's change of class on the new target: the ledger keeps the class from before the
  // rule, which is what the process gets back if the program dies while it is raised.
  std::optional<Effect> held;
  if (process && !sameProcess) {
    const int now = desktop_.PriorityClassOf(*process);
    if (!(current && current->process == *process)) held = ledger_.Find(*process, kRaise);
    // A process already at the class or above, or whose class cannot be read, is left alone.
    if (IsRaise(now, raisedClass))
      next = Effect{*process, kRaise, held ? held->before : now, raisedClass};
  }
  if (next && !IsValidEffect(*next)) next.reset();

  {
    const EffectLedger::Batch batch(ledger_);
    if (current && !(next && next->process == current->process)) {
      if (const auto after = AfterReturn(*current)) {
        ledger_.Record(*after);
      } else {
        ledger_.Forget(current->process, kRaise);
      }
    }
    if (next) ledger_.Record(*next);
  }
  raised_.reset();
  if (!next) return true;
  const bool kept = ledger_.Kept();
  if (kept && desktop_.SetPriorityClassOf(next->process, next->applied)) {
    raised_ = next->process;
  } else if (keepCurrent) {
    // Refused a change of level: it still runs at the class it was given before.
    ledger_.Record(*current);
    raised_ = current->process;
  } else if (held) {
    ledger_.Record(*held);
  } else {
    ledger_.Forget(next->process, kRaise);
  }
  return kept;
}

void Booster::GiveBack() {
  const std::optional<Effect> current = Raised();
  raised_.reset();
  if (!current) return;
  desktop_.RestorePriority(current->process, ReturnClass(*current), current->applied);
  if (const auto after = AfterReturn(*current)) {
    ledger_.Record(*after);
  } else {
    ledger_.Forget(current->process, kRaise);
  }
}

}  // namespace quorvant
