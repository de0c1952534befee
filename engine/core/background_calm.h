#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/effect_ledger.h"
#include "engine/core/priority_class.h"
#include "engine/core/process_identity.h"

namespace quorvant {

// The calm's rules in figures. A process is calmed when, over the last kCalmJudgeMs, the
// machine was more than kCalmBusyMachinePercent busy and the process alone used more than
// kCalmHogPercent of the whole machine; it is given back once it has used less than
// kCalmQuietPercent over the last kCalmQuietMs.
inline constexpr std::uint32_t kCalmSampleMs = 1000;
inline constexpr std::uint32_t kCalmJudgeMs = 2000;
inline constexpr std::uint32_t kCalmQuietMs = 3000;
inline constexpr int kCalmBusyMachinePercent = 50;
inline constexpr int kCalmHogPercent = 15;
inline constexpr int kCalmQuietPercent = 5;
// A sample counts as old enough for a window when it is at most this much younger than the
// window: ticks arrive late or early by what the timer's tolerance allows.
inline constexpr std::uint32_t kCalmSampleSlackMs = kCalmSampleMs / 2;
// The rules' figures together; the program runs with the ones above.
struct CalmRules {
  std::uint32_t judgeMs = kCalmJudgeMs;
  std::uint32_t quietMs = kCalmQuietMs;
  int busyMachinePercent = kCalmBusyMachinePercent;
  int hogPercent = kCalmHogPercent;
  int quietPercent = kCalmQuietPercent;
};

// The class a calmed process runs at.
inline constexpr int kCalmedPriorityClass = kBelowNormalPriorityClass;

// One process as one walk of the system saw it.
struct ProcessCpu {
  ProcessIdentity process;
  std::uint32_t session = 0;
  // Kernel and user time since it started, 100 ns.
  std::uint64_t cpuTime = 0;
  std::wstring name;
};

// Every process's CPU time and the machine's, read at one moment.
struct CpuSample {
  // A monotonic clock.
  std::uint64_t atMs = 0;
  // All processors' time, busy and idle, and the idle part of it; 100 ns since some start.
  std::uint64_t machineTime = 0;
  std::uint64_t machineIdle = 0;
  std::vector<ProcessCpu> processes;
};

// What the calm needs of the system besides the samples.
class CalmSystem {
 public:
  virtual ~CalmSystem() = default;
  // The process of the window in front; empty when there is none.
  virtual std::optional<ProcessIdentity> FrontProcess() = 0;
  // The program and its watcher: never calmed.
  virtual std::vector<ProcessIdentity> OwnProcesses() = 0;
  virtual std::uint32_t OwnSession() = 0;
  // Whether the process runs as the program's user. Asked only of a process the figures
  // would calm.
  virtual bool SameUser(const ProcessIdentity& process) = 0;
  // 0 when the process is gone or its class cannot be read.
  virtual int PriorityClassOf(const ProcessIdentity& process) = 0;
  // False when the process is gone or the system refuses.
  virtual bool SetPriorityClassOf(const ProcessIdentity& process, int priorityClass) = 0;
  // Gives the process priorityClass back while it still runs at calmedClass, as
  // EffectUndo::RestorePriority does.
  virtual void RestorePriority(const ProcessIdentity& process, int priorityClass,
                               int calmedClass) = 0;
  virtual std::wstring TimeOfDay() = 0;
};

// One row of the process panel's log about the calm.
struct CalmRow {
  std::wstring time;
  std::wstring process;   // the image name; empty for a row about the calm itself
  int priorityClass = 0;  // the class the process was left at; 0 when none was set
  std::wstring why;       // what was done and why, as the user reads it
  friend bool operator==(const CalmRow&, const CalmRow&) = default;
};

// The class's name as the log shows it; empty for a number that is no class.
std::wstring PriorityClassName(int priorityClass);

// A calm background: background processes that hog the CPU while the user works are
// lowered to Below Normal and given their own class back when they calm down, come to the
// front, or the calm ends. Every calming is recorded in the ledger before it is applied, as
// the class the process had and the class it was given, so whatever ends the program gives
// it back the way it gives back a boost.
class BackgroundCalm {
 public:
  // held: whether a program rule or a table limit holds the process; such a process is
  // the user's own choice and never calmed.
  using Held = std::function<bool(const ProcessIdentity&)>;

  BackgroundCalm(CalmSystem& system, EffectLedger& ledger, Held held = {}, CalmRules rules = {})
      : system_(system), ledger_(ledger), held_(std::move(held)), rules_(rules) {}
  BackgroundCalm(const BackgroundCalm&) = delete;
  BackgroundCalm& operator=(const BackgroundCalm&) = delete;
  // A calm that goes away leaves nothing lowered.
  ~BackgroundCalm() { GiveBackAll(); }

  // One sample while the calm is on: judges every process by the windows it completes.
  void Step(const CpuSample& sample);
  // A moment when the system's processes could not be read: nothing is judged, only a
  // calmed process in front is given back. Said once in the log until a sample comes.
  void StepWithoutSample();
  // A process about to be boosted to the front: given back first, so the booster raises it
  // from its own class and returns it there.
  void ToFront(const ProcessIdentity& process);
  // The setting switched off: every calmed process given back, each with a row; what was
  // learnt of the processes is forgotten.
  void SwitchOff();
  // The program ending: every calmed process given back, without rows.
  void GiveBackAll();

  // The rows since the last call, oldest first.
  std::vector<CalmRow> TakeRows() { return std::exchange(rows_, {}); }
  // Calmed processes the ledger still holds.
  std::vector<ProcessIdentity> Calmed() const;

 private:
  // One sample as kept for the windows: each process's CPU time, ordered by identity.
  struct Kept {
    std::uint64_t atMs = 0;
    std::uint64_t machineTime = 0;
    std::uint64_t machineIdle = 0;
    std::vector<std::pair<ProcessIdentity, std::uint64_t>> cpu;
    std::optional<std::uint64_t> CpuOf(const ProcessIdentity& process) const;
  };
  struct CalmedProcess {
    ProcessIdentity process;
    std::wstring name;
  };
  enum class Ending { Front, Quiet, SwitchedOff, ProgramEnds, Gone, Changed };

  // The newest kept sample at least windowMs (less the slack) older than the latest.
  const Kept* Reference(std::uint32_t windowMs) const;
  // The process's CPU time since reference, and the machine's: kept apart so the
  // thresholds compare exactly.
  static std::pair<std::uint64_t, std::uint64_t> Share(const Kept& now, const Kept& reference,
                                                       const ProcessIdentity& process);
  bool IsCalmed(const ProcessIdentity& process) const;
  // The class of a process the figures would calm, when none of the exclusions holds.
  std::optional<int> Eligible(const ProcessCpu& candidate,
                              const std::optional<ProcessIdentity>& front,
                              const std::vector<ProcessIdentity>& own);
  void Calm(const ProcessCpu& candidate, int priorityClass, int percent);
  // Ends the calming of calmed_[index]: gives the class back unless it was changed since
  // (classNow is its class as just read), and says so in the log.
  void End(std::size_t index, Ending ending);
  void End(std::size_t index, Ending ending, int classNow);
  void Row(std::wstring process, int priorityClass, std::wstring why);
  // Drops calmed processes the ledger no longer holds (given back by someone else).
  void Reconcile();

  CalmSystem& system_;
  EffectLedger& ledger_;
  Held held_;
  CalmRules rules_;
  std::deque<Kept> kept_;
  std::vector<std::pair<ProcessIdentity, std::uint64_t>> spare_;
  std::vector<CalmedProcess> calmed_;
  // Processes the calm leaves alone while they live: the system refused to lower them, or
  // someone changed the class the calm gave them.
  std::vector<ProcessIdentity> leftAlone_;
  std::vector<CalmRow> rows_;
  bool toldNoSample_ = false;
};

// The log's texts.
std::wstring CalmedWhy(int percent);
std::wstring QuietWhy(const CalmRules& rules = {});

}  // namespace quorvant
