#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "engine/core/background_calm.h"
#include "engine/core/system_process.h"
#include "engine/win32/system_process_walk.h"

namespace quorvant::win32 {

// The system as the calm sees it: the window in front, the program and its watcher, the
// program's session and user, and classes set and given back by process identity.
class WindowsCalmSystem final : public CalmSystem {
 public:
  // watcher: the program's watcher process, or null while it has none.
  explicit WindowsCalmSystem(std::function<HANDLE()> watcher = {});

  std::optional<ProcessIdentity> FrontProcess() override;
  std::vector<ProcessIdentity> OwnProcesses() override;
  std::uint32_t OwnSession() override { return session_; }
  bool SameUser(const ProcessIdentity& process) override;
  int PriorityClassOf(const ProcessIdentity& process) override;
  bool SetPriorityClassOf(const ProcessIdentity& process, int priorityClass) override;
  void RestorePriority(const ProcessIdentity& process, int priorityClass, int calmedClass) override;
  std::wstring TimeOfDay() override;

 private:
  std::function<HANDLE()> watcher_;
  std::optional<ProcessIdentity> self_;
  std::uint32_t session_ = 0;
  // The program's TOKEN_USER; empty when it could not be read, and then no process is
  // taken for the user's own.
  std::vector<BYTE> user_;
};

// Every process's CPU time and the machine's, from one walk of the system's processes;
// empty when the walk or the machine's times cannot be read.
std::optional<CpuSample> SampleMachineCpu();

// The calm as the program runs it: one Tick a second while the setting is on, each a fresh
// sample of the machine judged by the calm's rules.
class SystemBackgroundCalm {
 public:
  using Sampler = std::function<std::optional<CpuSample>()>;
  // Without a sampler, each tick walks the system through a walker kept between ticks, and
  // the walk is offered to others through LastWalk.
  SystemBackgroundCalm(EffectLedger& ledger, BackgroundCalm::Held held,
                       std::function<HANDLE()> watcher = {}, Sampler sampler = {},
                       CalmRules rules = {})
      : system_(std::move(watcher)),
        sampler_(std::move(sampler)),
        calm_(system_, ledger, std::move(held), rules) {}

  void Tick();
  BackgroundCalm& Calm() { return calm_; }
  // The walk the last tick made; null when it made none (a sampler of its own, or a walk the
  // system refused). Valid until the next tick.
  const std::vector<engine::SystemProcess>* LastWalk() const { return lastWalk_; }

 private:
  // Fills sample_ from one walk; false when the system's figures cannot be read.
  bool SampleInPlace();

  // Before the calm, which gives back through it when it goes.
  WindowsCalmSystem system_;
  Sampler sampler_;
  SystemProcessWalker walker_;
  const std::vector<engine::SystemProcess>* lastWalk_ = nullptr;
  // Kept for its capacity: a tick fills it in place.
  CpuSample sample_;
  BackgroundCalm calm_;
};

}  // namespace quorvant::win32
