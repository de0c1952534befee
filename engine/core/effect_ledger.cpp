#include "engine/core/effect_ledger.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>

#include "engine/core/priority_class.h"

namespace quorvant {

namespace {

constexpr std::string_view kHeader = "Quorvant live effects 1";
constexpr std::string_view kTrailer = "end";

// Kinds in the order they are given back, and their words on disk.
struct KindInfo {
  EffectKind kind;
  std::string_view word;
  int fields;  // numbers after the word
};
constexpr std::array<KindInfo, 3> kKinds{{
    {EffectKind::DutyCycle, "duty", 3},
    {EffectKind::CpuCap, "cap", 3},
    {EffectKind::Priority, "priority", 4},
}};

const KindInfo& Info(EffectKind kind) {
  return *std::find_if(kKinds.begin(), kKinds.end(),
                       [kind](const KindInfo& info) { return info.kind == kind; });
}

bool SameSlot(const Effect& effect, const ProcessIdentity& process, EffectKind kind) {
  return effect.process == process && effect.kind == kind;
}

// A whole decimal number of plain digits, no sign, no blank, at most max.
std::optional<std::uint64_t> Number(std::string_view text, std::uint64_t max) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value > max) return std::nullopt;
  return value;
}

std::vector<std::string_view> Split(std::string_view line) {
  std::vector<std::string_view> words;
  size_t start = 0;
  while (start <= line.size()) {
    const size_t blank = line.find(' ', start);
    const size_t end = blank == std::string_view::npos ? line.size() : blank;
    words.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

std::optional<Effect> ParseLine(std::string_view line) {
  const std::vector<std::string_view> words = Split(line);
  const auto info = std::find_if(kKinds.begin(), kKinds.end(),
                                 [&](const KindInfo& k) { return k.word == words.front(); });
  if (info == kKinds.end() || words.size() != static_cast<size_t>(info->fields) + 1) {
    return std::nullopt;
  }
  constexpr std::uint64_t kMaxInt = 0x7FFFFFFF;
  const auto id = Number(words[1], 0xFFFFFFFF);
  const auto started = Number(words[2], 0x7FFFFFFFFFFFFFFF);
  if (!id || !started) return std::nullopt;
  Effect effect;
  effect.kind = info->kind;
  effect.process = {static_cast<std::uint32_t>(*id), *started};
  if (info->kind == EffectKind::Priority) {
    const auto before = Number(words[3], kMaxInt);
    const auto applied = Number(words[4], kMaxInt);
    if (!before || !applied) return std::nullopt;
    effect.before = static_cast<int>(*before);
    effect.applied = static_cast<int>(*applied);
  } else {
    const auto percent = Number(words[3], kMaxInt);
    if (!percent) return std::nullopt;
    effect.applied = static_cast<int>(*percent);
  }
  if (!IsValidEffect(effect)) return std::nullopt;
  return effect;
}

}  // namespace

bool IsValidEffect(const Effect& effect) {
  if (!effect.process.Known()) return false;
  switch (effect.kind) {
    case EffectKind::Priority: {
      const int before = PriorityRank(effect.before);
      const bool raisedTo =
          effect.applied == kAboveNormalPriorityClass || effect.applied == kHighPriorityClass;
      return before >= 0 && before <= PriorityRank(kAboveNormalPriorityClass) && raisedTo &&
             PriorityRank(effect.applied) > before;
    }
    case EffectKind::CpuCap:
    case EffectKind::DutyCycle:
      return effect.before == 0 && effect.applied >= 1 && effect.applied <= 99;
  }
  return false;
}

void EffectLedger::Record(const Effect& effect) {
  const auto same = std::find_if(effects_.begin(), effects_.end(), [&](const Effect& e) {
    return SameSlot(e, effect.process, effect.kind);
  });
  if (same != effects_.end()) {
    if (*same == effect) return;
    *same = effect;
  } else {
    effects_.push_back(effect);
  }
  Changed();
}

void EffectLedger::Forget(const ProcessIdentity& process, EffectKind kind) {
  const auto gone = std::remove_if(effects_.begin(), effects_.end(),
                                   [&](const Effect& e) { return SameSlot(e, process, kind); });
  if (gone == effects_.end()) return;
  effects_.erase(gone, effects_.end());
  Changed();
}

std::optional<Effect> EffectLedger::Find(const ProcessIdentity& process, EffectKind kind) const {
  for (const Effect& effect : effects_) {
    if (SameSlot(effect, process, kind)) return effect;
  }
  return std::nullopt;
}

void EffectLedger::Changed() {
  if (batchDepth_ > 0) {
    pending_ = true;
    return;
  }
  Tell();
}

void EffectLedger::Tell() {
  pending_ = false;
  if (changed) changed(*this);
}

EffectLedger& LiveEffects() {
  static EffectLedger ledger;
  return ledger;
}

void GiveBack(const Effect& effect, EffectUndo& undo) {
  if (!IsValidEffect(effect)) return;
  switch (effect.kind) {
    case EffectKind::Priority:
      undo.RestorePriority(effect.process, effect.before, effect.applied);
      break;
    case EffectKind::CpuCap:
      undo.Uncap(effect.process);
      break;
    case EffectKind::DutyCycle:
      undo.Resume(effect.process);
      break;
  }
}

void GiveBackAll(EffectLedger& ledger, EffectUndo& undo) {
  const EffectLedger::Batch batch(ledger);
  for (const KindInfo& info : kKinds) {
    // A copy: forgetting changes the ledger under the loop.
    const std::vector<Effect> effects = ledger.Effects();
    for (const Effect& effect : effects) {
      if (effect.kind != info.kind) continue;
      GiveBack(effect, undo);
      ledger.Forget(effect.process, effect.kind);
    }
  }
}

std::string FormatLedger(const std::vector<Effect>& effects) {
  std::string text(kHeader);
  text += '\n';
  for (const Effect& effect : effects) {
    text += Info(effect.kind).word;
    text += ' ' + std::to_string(effect.process.id) + ' ' + std::to_string(effect.process.started);
    if (effect.kind == EffectKind::Priority) text += ' ' + std::to_string(effect.before);
    text += ' ' + std::to_string(effect.applied) + '\n';
  }
  text += kTrailer;
  text += '\n';
  return text;
}

std::vector<Effect> ParseLedger(std::string_view text) {
  if (text.size() > kMaxLedgerBytes) return {};
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    if (end == std::string_view::npos) return {};  // cut short: the last line has no end
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    text.remove_prefix(end + 1);
  }
  if (lines.size() < 2 || lines.front() != kHeader || lines.back() != kTrailer) return {};

  EffectLedger parsed;
  for (size_t i = 1; i + 1 < lines.size(); ++i) {
    if (const auto effect = ParseLine(lines[i])) parsed.Record(*effect);
  }
  return parsed.Effects();
}

}  // namespace quorvant
