#include "engine/core/effect_ledger.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>

#include "engine/core/priority_class.h"

namespace quorvant {

namespace {

// Version 2 names its owner, so a copy is only ever acted on for the program that wrote it.
constexpr std::string_view kHeader = "Quorvant live effects 2";
constexpr std::string_view kOwnerWord = "owner";
constexpr std::string_view kJobWord = "job";
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

}  // namespace

std::optional<ProcessIdentity> ParseIdentity(std::string_view id, std::string_view started) {
  const auto number = Number(id, 0xFFFFFFFF);
  const auto time = Number(started, 0x7FFFFFFFFFFFFFFF);
  if (!number || !time) return std::nullopt;
  const ProcessIdentity identity{static_cast<std::uint32_t>(*number), *time};
  if (!identity.Known()) return std::nullopt;
  return identity;
}

namespace {

// "owner <id> <created>"
std::optional<ProcessIdentity> ParseOwner(std::string_view line) {
  const std::vector<std::string_view> words = Split(line);
  if (words.size() != 3 || words[0] != kOwnerWord) return std::nullopt;
  return ParseIdentity(words[1], words[2]);
}

// "job <id> <created> <handle>"; handle values fit in 32 bits on every Windows.
std::optional<StoredJob> ParseJob(const std::vector<std::string_view>& words) {
  if (words.size() != 4 || words[0] != kJobWord) return std::nullopt;
  const auto process = ParseIdentity(words[1], words[2]);
  const auto handle = Number(words[3], 0xFFFFFFFF);
  if (!process || !handle || *handle == 0) return std::nullopt;
  return StoredJob{*process, *handle};
}

std::optional<Effect> ParseLine(const std::vector<std::string_view>& words) {
  const auto info = std::find_if(kKinds.begin(), kKinds.end(),
                                 [&](const KindInfo& k) { return k.word == words.front(); });
  if (info == kKinds.end() || words.size() != static_cast<size_t>(info->fields) + 1) {
    return std::nullopt;
  }
  constexpr std::uint64_t kMaxInt = 0x7FFFFFFF;
  const auto process = ParseIdentity(words[1], words[2]);
  if (!process) return std::nullopt;
  Effect effect;
  effect.kind = info->kind;
  effect.process = *process;
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
      const int applied = PriorityRank(effect.applied);
      const int high = PriorityRank(kHighPriorityClass);
      return before >= 0 && before <= high && applied >= 0 && applied <= high && applied != before;
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
  kept_ = !changed || changed(*this);
}

bool GiveBack(const Effect& effect, EffectUndo& undo) {
  if (!IsValidEffect(effect)) return true;
  switch (effect.kind) {
    case EffectKind::Priority:
      return undo.RestorePriority(effect.process, effect.before, effect.applied);
    case EffectKind::CpuCap:
      return undo.Uncap(effect.process);
    case EffectKind::DutyCycle:
      return undo.Resume(effect.process);
  }
  return true;
}

void GiveBackAll(EffectLedger& ledger, EffectUndo& undo) {
  const EffectLedger::Batch batch(ledger);
  for (const KindInfo& info : kKinds) {
    // A copy: forgetting changes the ledger under the loop.
    const std::vector<Effect> effects = ledger.Effects();
    for (const Effect& effect : effects) {
      if (effect.kind != info.kind) continue;
      if (GiveBack(effect, undo)) ledger.Forget(effect.process, effect.kind);
    }
  }
}

std::string FormatLedger(const StoredLedger& stored) {
  auto identity = [](const ProcessIdentity& p) {
    return std::to_string(p.id) + ' ' + std::to_string(p.started);
  };
  std::string text(kHeader);
  text += '\n';
  text += std::string(kOwnerWord) + ' ' + identity(stored.owner) + '\n';
  for (const Effect& effect : stored.effects) {
    text += Info(effect.kind).word;
    text += ' ' + identity(effect.process);
    if (effect.kind == EffectKind::Priority) text += ' ' + std::to_string(effect.before);
    text += ' ' + std::to_string(effect.applied) + '\n';
  }
  for (const StoredJob& job : stored.jobs) {
    text += std::string(kJobWord) + ' ' + identity(job.process) + ' ' + std::to_string(job.handle) +
            '\n';
  }
  text += kTrailer;
  text += '\n';
  return text;
}

std::string PadLedger(std::string text, std::size_t length) {
  const std::string trailer = std::string(kTrailer) + "\n";
  if (text.size() >= length || text.size() < trailer.size() ||
      text.compare(text.size() - trailer.size(), trailer.size(), trailer) != 0) {
    return text;
  }
  // At least '#' and its line end.
  const std::size_t filler = std::max<std::size_t>(length - text.size(), 2);
  text.insert(text.size() - trailer.size(), std::string(filler - 1, '#') + "\n");
  return text;
}

std::optional<StoredLedger> ParseLedger(std::string_view text) {
  if (text.size() > kMaxLedgerBytes) return std::nullopt;
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    if (end == std::string_view::npos) return std::nullopt;  // cut short: no end to the last line
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    text.remove_prefix(end + 1);
  }
  if (lines.size() < 3 || lines.front() != kHeader || lines.back() != kTrailer) return std::nullopt;
  const auto owner = ParseOwner(lines[1]);
  if (!owner) return std::nullopt;

  EffectLedger parsed;
  std::vector<StoredJob> jobs;
  for (size_t i = 2; i + 1 < lines.size(); ++i) {
    const std::vector<std::string_view> words = Split(lines[i]);
    if (const auto effect = ParseLine(words)) parsed.Record(*effect);
    if (const auto job = ParseJob(words)) jobs.push_back(*job);
  }
  StoredLedger stored{*owner, parsed.Effects(), {}};
  // A job handle is used only to switch off a cap the same copy records, once per process.
  for (const StoredJob& job : jobs) {
    const bool capped = parsed.Find(job.process, EffectKind::CpuCap).has_value();
    const bool first = std::none_of(stored.jobs.begin(), stored.jobs.end(),
                                    [&](const StoredJob& j) { return j.process == job.process; });
    if (capped && first) stored.jobs.push_back(job);
  }
  return stored;
}

std::vector<Effect> GiveBackStored(const StoredLedger& stored, EffectUndo& undo) {
  EffectLedger ledger;
  for (const Effect& effect : stored.effects) {
    if (IsValidEffect(effect)) ledger.Record(effect);
  }
  GiveBackAll(ledger, undo);
  return ledger.Effects();
}

}  // namespace quorvant
