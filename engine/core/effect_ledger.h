#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/process_identity.h"

namespace quorvant {

// What the program can do to another process. Each is undone in its own way: a raised or
// calmed priority class is given back, a CPU cap switched off, a duty cycle ended with the
// process running.
enum class EffectKind { Priority, CpuCap, DutyCycle };

// One live effect on one process.
struct Effect {
  ProcessIdentity process;
  EffectKind kind = EffectKind::Priority;
  // Priority: the class the process had before, given back on undo.
  int before = 0;
  // Priority: the class it was given (raised, calmed or set by a rule). CpuCap and DutyCycle:
  // the limit in percent.
  int applied = 0;

  friend bool operator==(const Effect&, const Effect&) = default;
};

// Whether the program could have made this effect: a known process; a change of class
// between two different classes from Idle to High (the booster raises, the calm lowers to
// Below Normal, a program rule may set either way); a limit of 1 to 99 percent. Nothing else
// is undone: undoing it could put a process at Realtime.
bool IsValidEffect(const Effect& effect);

// Every effect the program has live on other processes, in the order they were recorded:
// the one place that answers what has been changed and how to give it back. An effect is
// recorded before it is applied and forgotten once it has been undone (or its process has
// gone), so the ledger never holds less than what is live.
class EffectLedger {
 public:
  // Records an effect about to be applied, in place of the process's effect of that kind.
  void Record(const Effect& effect);
  // Forgets the process's effect of that kind; nothing when it has none.
  void Forget(const ProcessIdentity& process, EffectKind kind);
  std::optional<Effect> Find(const ProcessIdentity& process, EffectKind kind) const;

  const std::vector<Effect>& Effects() const { return effects_; }
  bool Empty() const { return effects_.empty(); }

  // Runs after each change, with the ledger as it now stands: where its copy on disk and
  // the watcher learn it. Inside a Batch it runs once, when the outermost batch ends. It
  // answers false when the change could not be kept there.
  std::function<bool(const EffectLedger&)> changed;
  // Whether the last change told was kept: an effect recorded but not kept would be
  // unprotected if the program died, so it is not applied.
  bool Kept() const { return kept_; }

  // Changes made while a Batch lives are told as one: a boost that gives one process back
  // and raises another writes the ledger once. Apply an effect only after its batch ends.
  class Batch {
   public:
    explicit Batch(EffectLedger& ledger) : ledger_(ledger) { ++ledger_.batchDepth_; }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;
    ~Batch() {
      if (--ledger_.batchDepth_ == 0 && ledger_.pending_) ledger_.Tell();
    }

   private:
    EffectLedger& ledger_;
  };

 private:
  void Changed();
  void Tell();

  std::vector<Effect> effects_;
  int batchDepth_ = 0;
  bool pending_ = false;
  bool kept_ = true;
};

// The platform side of giving effects back. Each call acts only on the process with that
// identity; a process that is gone, or whose id now names another process, needs nothing.
// Each answers false only when the process still carries the effect and it could not be
// taken back.
class EffectUndo {
 public:
  virtual ~EffectUndo() = default;
  // Gives the process its class back, unless something else changed its class since the
  // raise (it no longer runs at raisedClass): that newer choice stays.
  virtual bool RestorePriority(const ProcessIdentity& process, int priorityClass,
                               int raisedClass) = 0;
  virtual bool Uncap(const ProcessIdentity& process) = 0;
  // Lets a process of the duty cycle run: resumed once if it is in its suspended part.
  virtual bool Resume(const ProcessIdentity& process) = 0;
};

// Gives one effect back; an effect that is not valid is left alone. False when it is still
// live.
bool GiveBack(const Effect& effect, EffectUndo& undo);

// Gives every effect back, the most harmful first (a suspended process before a capped one
// before a raised one), and forgets each that was given back; what is left is still live.
void GiveBackAll(EffectLedger& ledger, EffectUndo& undo);

// The ledger as it is kept on disk: the program that wrote it, its effects, and the job
// handles its watcher holds to switch caps off. A watcher or a later start acts only on a
// copy whose owner is the program it knows to be dead.
struct StoredJob {
  ProcessIdentity process;  // the capped process
  // The job's handle value in the watcher's process: meaningful to that watcher only.
  std::uint64_t handle = 0;

  friend bool operator==(const StoredJob&, const StoredJob&) = default;
};

struct StoredLedger {
  ProcessIdentity owner;
  std::vector<Effect> effects;
  std::vector<StoredJob> jobs;

  friend bool operator==(const StoredLedger&, const StoredLedger&) = default;
};

// A text of at most kMaxLedgerBytes: a first line naming the format, a line naming the
// owner, one line per effect and per job, and a closing line, so a file cut short is known
// as such.
// Program rules may hold every process of the machine: room for a few thousand of them.
inline constexpr std::size_t kMaxLedgerBytes = 1 << 20;
std::string FormatLedger(const StoredLedger& stored);
// A formatted ledger made at least length bytes long by a line that means nothing before
// its closing line: written in place over a longer copy, it covers all of it in one write,
// so no moment leaves a tail of the older copy behind.
std::string PadLedger(std::string text, std::size_t length);

// A stored ledger's valid effects, and its jobs that belong to one of its caps. A line that
// is not valid is passed over; a text without the first, the owner's or the closing line,
// or larger than kMaxLedgerBytes, is none at all.
std::optional<StoredLedger> ParseLedger(std::string_view text);

// Gives back every effect of a stored ledger, the most harmful first: a watcher whose
// program died, or a start that finds a ledger its predecessor left behind.
// Returns the effects that are still live, the system having refused to take them back.
std::vector<Effect> GiveBackStored(const StoredLedger& stored, EffectUndo& undo);

// A process id and creation time written as plain decimal digits, as the ledger and the
// watcher's command line carry them; none for anything else or an unknown process.
std::optional<ProcessIdentity> ParseIdentity(std::string_view id, std::string_view started);

}  // namespace quorvant
