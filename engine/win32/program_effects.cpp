#include "engine/win32/program_effects.h"

namespace quorvant::win32 {

void ProgramEffects::KeepOnDisk(const std::wstring& ledgerPath) {
  keeper_.KeepAt(ledgerPath);
  ledger_.changed = [this](const EffectLedger& ledger) { keeper_.Write(ledger.Effects()); };
}

}  // namespace quorvant::win32
