#pragma once

#include <string>

#include "engine/core/effect_ledger.h"
#include "engine/core/limit_slots.h"
#include "engine/win32/watcher.h"

namespace quorvant::win32 {

// Everything the program has changed in other processes, owned in one place for the whole
// run: the ledger of live effects, its keeper (the file and the watcher) and the limit
// table. The start-up creates it before any window; whoever applies or gives back an effect
// is handed the part it needs.
class ProgramEffects {
 public:
  ProgramEffects() = default;
  ProgramEffects(const ProgramEffects&) = delete;
  ProgramEffects& operator=(const ProgramEffects&) = delete;

  EffectLedger& Ledger() { return ledger_; }
  LedgerKeeper& Keeper() { return keeper_; }
  LimitSlotTable& Limits() { return limits_; }

  // From now on every effect is on disk at ledgerPath before it is applied.
  void KeepOnDisk(const std::wstring& ledgerPath);
  // Starts the watcher (exe, quorvant_watcher.exe) for the file kept, without waiting for
  // it: no effect is applied until it watches. False when it could not even be tried.
  bool StartWatcher(const std::wstring& exe) { return keeper_.StartWatcher(exe); }

 private:
  // The keeper before the ledger, so the ledger never tells a keeper that is gone.
  LedgerKeeper keeper_;
  EffectLedger ledger_;
  LimitSlotTable limits_;
};

}  // namespace quorvant::win32
