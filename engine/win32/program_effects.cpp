#include "engine/win32/program_effects.h"

namespace quorvant::win32 {

void ProgramEffects::KeepOnDisk(const std::wstring& ledgerPath) {
  if (ledgerPath.empty()) {
    // Nowhere to keep them: nothing is applied that a kill could leave behind.
    ledger_.changed = [](const EffectLedger&) { return false; };
    return;
  }
  keeper_.KeepAt(ledgerPath);
  ledger_.changed = [this](const EffectLedger& ledger) { return keeper_.Write(ledger.Effects()); };
}

}  // namespace quorvant::win32
