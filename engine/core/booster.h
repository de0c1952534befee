#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "engine/core/effect_ledger.h"
#include "engine/core/priority_class.h"
#include "engine/core/process_identity.h"
#include "engine/core/text_tools.h"
#include "engine/core/rule_holds.h"

namespace quorvant {

// Level texts of the "Speed up level:" list.
inline constexpr std::wstring_view kLevelHigh = L"High";
inline constexpr std::wstring_view kLevelAboveNormal = L"Above Normal";

// Design caption of the current-target labels until the first boost.
inline constexpr std::wstring_view kNoTarget = L"None";

// Titles are shown and compared up to this many characters.
inline constexpr std::size_t kMaxTitleChars = 254;

// A top-level window; 0 is none.
using WindowId = std::uintptr_t;

// What the booster needs of the desktop and of the processes behind its windows.
class BoosterDesktop {
 public:
  virtual ~BoosterDesktop() = default;
  virtual WindowId ForegroundWindow() = 0;
  // The window's whole title; empty for no window.
  virtual std::wstring WindowTitle(WindowId window) = 0;
  // The process that owns window; empty when there is none or it cannot be read.
  virtual std::optional<ProcessIdentity> WindowProcess(WindowId window) = 0;
  // The process's priority class; 0 when it is gone or cannot be read.
  virtual int PriorityClassOf(const ProcessIdentity& process) = 0;
  // False when the process is gone or the system refuses.
  virtual bool SetPriorityClassOf(const ProcessIdentity& process, int priorityClass) = 0;
  // Gives the process priorityClass back while it still runs at raisedClass, as
  // EffectUndo::RestorePriority does.
  virtual void RestorePriority(const ProcessIdentity& process, int priorityClass,
                               int raisedClass) = 0;
  // The time of day as the log shows it.
  virtual std::wstring TimeOfDay() = 0;
};

// One boost: what the process panel and the status panel show of it.
struct Boost {
  std::wstring title;     // the current target's caption and tooltip, on both panels
  std::wstring number;    // log "NO.": a blank and the row's number
  std::wstring time;      // log "Time"
  std::wstring priority;  // log "Priority": "High" or "Above Normal"
  std::wstring speed;     // the figure after "Whole system faster:", such as "14%"
  int count = 0;          // boosts since start, this one included
  // The process was not raised: how to undo the raise could not be kept on disk, and a
  // raise the program's end could not give back is not made.
  bool notKept = false;
};

// The priority booster: one Tick per timer interval while the program runs. It raises the
// process of the window that comes to the front and remembers that process and the class it
// had, so it can give exactly that back when another target comes, when it is switched off
// and when the program ends, whatever became of the window.
class Booster {
 public:
  // ledger is where each raise is recorded before it is applied.
  Booster(BoosterDesktop& desktop, UniformRandom random, EffectLedger& ledger)
      : desktop_(desktop), random_(std::move(random)), ledger_(ledger) {}
  Booster(const Booster&) = delete;
  Booster& operator=(const Booster&) = delete;
  // A booster that goes away leaves nothing raised.
  ~Booster() { GiveBack(); }

  // One step: enabled is the "Enable speed up process" box, level the level list's text.
  // Returns the boost when a new target came to the front, whether or not its process could
  // be raised.
  std::optional<Boost> Tick(bool enabled, std::wstring_view level);

  // Returns the raised process to its own class, unless its class was changed since.
  void GiveBack();

  // Runs for the process of a new target just before it is raised: whoever lowered it gives
  // it back first, so the raise starts from its own class and the demotion returns there.
  std::function<void(const ProcessIdentity&)> comingToFront;
  // The program rules: a process a rule holds returns to the rule's class, not to the class
  // it had before the rule. None by default.
  void SetRules(const engine::RuleHolds* rules) { rules_ = rules; }

  // The current target's caption ("None" before the first boost).
  const std::wstring& Target() const { return target_; }
  int Count() const { return count_; }
  // The raise that is live now, as the ledger holds it.
  std::optional<Effect> Raised() const;

  // The title as shown: up to its first NUL, at most kMaxTitleChars, never ending in half a
  // surrogate pair.
  static std::wstring CutTitle(std::wstring_view text);

 private:
  // A title that begins with the current target's text is the same target.
  bool SameTarget(const std::wstring& title) const;
  // Moves the raise to process at raisedClass, giving back the one before unless it is the
  // same process still at the class it was given.
  // False when the new raise was refused because the ledger could not keep it.
  bool Raise(const std::optional<ProcessIdentity>& process, int raisedClass);
  // Where a raise returns to: the rule's class, else the class before it.
  int ReturnClass(const Effect& raised) const;
  // What the ledger holds once the raise is given back: the rule's change of class, if any.
  std::optional<Effect> AfterReturn(const Effect& raised) const;

  BoosterDesktop& desktop_;
  UniformRandom random_;
  EffectLedger& ledger_;
  const engine::RuleHolds* rules_ = nullptr;
  WindowId lastForeground_ = 0;
  // The process whose raise is the booster's; its class to give back lives in the ledger.
  std::optional<ProcessIdentity> raised_;
  int count_ = 0;
  std::wstring target_{kNoTarget};
};

}  // namespace quorvant
