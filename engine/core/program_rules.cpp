#include "engine/core/program_rules.h"

#include <algorithm>
#include <array>
#include <utility>

#include "engine/core/limit_slots.h"
#include "engine/core/priority_class.h"

namespace quorvant::engine {

namespace {

struct NamedClass {
  std::wstring_view name;
  int priorityClass;
};
constexpr std::array<NamedClass, 5> kClasses{{
    {L"Idle", kIdlePriorityClass},
    {L"Below Normal", kBelowNormalPriorityClass},
    {L"Normal", kNormalPriorityClass},
    {L"Above Normal", kAboveNormalPriorityClass},
    {L"High", kHighPriorityClass},
}};

constexpr std::wstring_view kCpuField = L"cpu";
constexpr std::wstring_view kPriorityField = L"priority";
constexpr std::wstring_view kMemoryField = L"memory";
constexpr std::wstring_view kNeverTrim = L"never trim";
constexpr wchar_t kSeparator = L'|';

constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
constexpr std::wstring_view kLongUncPrefix = L"\\\\?\\UNC\\";

wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c; }

bool SameAscii(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](wchar_t x, wchar_t y) { return AsciiLower(x) == AsciiLower(y); });
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring_view Trim(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Characters no file or folder name may hold (the separators are dealt with apart).
bool Forbidden(wchar_t c) {
  return c < 0x20 || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'?' || c == L'*';
}

bool IsNamePart(std::wstring_view part) {
  return !part.empty() && part != L"." && part != L".." &&
         std::none_of(part.begin(), part.end(),
                      [](wchar_t c) { return Forbidden(c) || c == L':' || c == L'\\'; });
}

// Every part between backslashes names a file or folder; the last names the file.
bool AreNameParts(std::wstring_view rest, std::size_t atLeast) {
  std::size_t parts = 0;
  while (true) {
    const std::size_t slash = rest.find(L'\\');
    if (!IsNamePart(rest.substr(0, slash))) return false;
    ++parts;
    if (slash == std::wstring_view::npos) break;
    rest.remove_prefix(slash + 1);
  }
  return parts >= atLeast;
}

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

std::wstring Slashes(std::wstring_view text) {
  std::wstring out(text);
  std::replace(out.begin(), out.end(), L'/', L'\\');
  return out;
}

// The path without a "\\?\" prefix: "\\?\C:\x" is "C:\x", "\\?\UNC\srv\x" is "\\srv\x".
std::wstring WithoutLongPrefix(std::wstring path) {
  if (path.size() >= kLongUncPrefix.size() &&
      SameAscii(std::wstring_view(path).substr(0, kLongUncPrefix.size()), kLongUncPrefix)) {
    return L"\\\\" + path.substr(kLongUncPrefix.size());
  }
  if (path.starts_with(kLongPrefix)) return path.substr(kLongPrefix.size());
  return path;
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// "<XXXX>" escapes read back; empty when an escape is malformed.
std::optional<std::wstring> Unescape(std::wstring_view text) {
  std::wstring out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'<') {
      out += text[i];
      continue;
    }
    if (text.size() - i < 6 || text[i + 5] != L'>') return std::nullopt;
    unsigned value = 0;
    for (std::size_t d = 1; d <= 4; ++d) {
      const int digit = HexDigit(text[i + d]);
      if (digit < 0) return std::nullopt;
      value = value * 16 + static_cast<unsigned>(digit);
    }
    if (value == 0) return std::nullopt;
    i += 5;
    // Where wchar_t holds whole code points, a pair of escaped halves is one character.
    if constexpr (sizeof(wchar_t) == 4) {
      if (value >= 0xDC00 && value <= 0xDFFF && !out.empty() &&
          static_cast<unsigned>(out.back()) >= 0xD800 &&
          static_cast<unsigned>(out.back()) <= 0xDBFF) {
        const unsigned high = static_cast<unsigned>(out.back());
        out.back() = static_cast<wchar_t>(0x10000 + ((high - 0xD800) << 10) + (value - 0xDC00));
        continue;
      }
    }
    out += static_cast<wchar_t>(value);
  }
  return out;
}

std::wstring Escape(std::wstring_view text) {
  static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
  std::wstring out;
  auto escape = [&](unsigned unit) {
    out += L'<';
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 0xF];
    out += L'>';
  };
  for (const wchar_t c : text) {
    const auto point = static_cast<unsigned>(c);
    if (point >= 0x20 && point <= 0x7E) {
      out += c;
    } else if (point > 0xFFFF) {
      // Written as the UTF-16 pair Windows itself holds.
      escape(0xD800 + ((point - 0x10000) >> 10));
      escape(0xDC00 + ((point - 0x10000) & 0x3FF));
    } else {
      escape(point);
    }
  }
  return out;
}

// "1" to "99" in plain digits.
std::optional<int> Percent(std::wstring_view text) {
  if (text.empty() || text.size() > 2) return std::nullopt;
  int value = 0;
  for (const wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + (c - L'0');
  }
  if (value < kMinLimitPercent || value > kMaxLimitPercent) return std::nullopt;
  return value;
}

bool IsRuleKey(std::wstring_view key) {
  if (key.size() <= kRuleKeyPrefix.size() ||
      !SameAscii(key.substr(0, kRuleKeyPrefix.size()), kRuleKeyPrefix)) {
    return false;
  }
  const std::wstring_view digits = key.substr(kRuleKeyPrefix.size());
  return digits.size() <= 9 && digits.front() != L'0' &&
         std::all_of(digits.begin(), digits.end(),
                     [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

bool IsComment(std::wstring_view key) { return key.starts_with(L';') || key.starts_with(L'#'); }

}  // namespace

std::optional<int> PriorityClassFromName(std::wstring_view name) {
  for (const NamedClass& named : kClasses) {
    if (SameAscii(named.name, name)) return named.priorityClass;
  }
  return std::nullopt;
}

std::wstring_view PriorityClassName(int priorityClass) {
  for (const NamedClass& named : kClasses) {
    if (named.priorityClass == priorityClass) return named.name;
  }
  return {};
}

ProgramForm FormOf(std::wstring_view program) {
  const std::wstring path = Slashes(program);
  if (path.find(L'\\') == std::wstring::npos) {
    return IsNamePart(path) ? ProgramForm::FileName : ProgramForm::Unknown;
  }
  const std::wstring plain = WithoutLongPrefix(path);
  const std::wstring_view view(plain);
  if (view.size() > 3 && IsDriveLetter(view[0]) && view[1] == L':' && view[2] == L'\\') {
    return AreNameParts(view.substr(3), 1) ? ProgramForm::FullPath : ProgramForm::Unknown;
  }
  // A share: server, share name, then at least the file.
  if (view.starts_with(L"\\\\") && AreNameParts(view.substr(2), 3)) return ProgramForm::FullPath;
  return ProgramForm::Unknown;
}

std::wstring_view FileNameOf(std::wstring_view path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

std::wstring MatchKey(std::wstring_view program, const CaseFold& fold) {
  return fold(WithoutLongPrefix(Slashes(program)));
}

std::wstring FormatRule(const ProgramRule& rule) {
  std::wstring value = Escape(rule.program);
  if (rule.cpuPercent) {
    value += kSeparator;
    value += std::wstring(kCpuField) + L"=" + std::to_wstring(*rule.cpuPercent);
  }
  if (rule.priorityClass) {
    value += kSeparator;
    value +=
        std::wstring(kPriorityField) + L"=" + std::wstring(PriorityClassName(*rule.priorityClass));
  }
  if (rule.neverTrim) {
    value += kSeparator;
    value += std::wstring(kMemoryField) + L"=" + std::wstring(kNeverTrim);
  }
  return value;
}

std::variant<ProgramRule, std::wstring> ParseRule(std::wstring_view value) {
  std::vector<std::wstring_view> parts;
  while (true) {
    const std::size_t bar = value.find(kSeparator);
    parts.push_back(Trim(value.substr(0, bar)));
    if (bar == std::wstring_view::npos) break;
    value.remove_prefix(bar + 1);
  }

  ProgramRule rule;
  const auto program = Unescape(parts.front());
  if (!program || FormOf(*program) == ProgramForm::Unknown) {
    return std::wstring(L"not a full path or a file name");
  }
  rule.program = *program;

  bool memorySeen = false;
  for (std::size_t i = 1; i < parts.size(); ++i) {
    const std::wstring_view part = parts[i];
    if (part.empty()) continue;  // "a.exe|cpu=5|": a stray separator says nothing
    const std::size_t equals = part.find(L'=');
    const std::wstring_view name = Trim(part.substr(0, equals));
    const std::wstring_view setting =
        equals == std::wstring_view::npos ? std::wstring_view() : Trim(part.substr(equals + 1));
    if (SameAscii(name, kCpuField)) {
      if (rule.cpuPercent) return std::wstring(L"the CPU limit is given twice");
      rule.cpuPercent = Percent(setting);
      if (!rule.cpuPercent) return std::wstring(L"the CPU limit is not 1 to 99");
    } else if (SameAscii(name, kPriorityField)) {
      if (rule.priorityClass) return std::wstring(L"the priority is given twice");
      rule.priorityClass = PriorityClassFromName(setting);
      if (!rule.priorityClass) return std::wstring(L"unknown priority class");
    } else if (SameAscii(name, kMemoryField)) {
      if (memorySeen) return std::wstring(L"the memory setting is given twice");
      memorySeen = true;
      if (!SameAscii(setting, kNeverTrim)) return std::wstring(L"unknown memory setting");
      rule.neverTrim = true;
    } else {
      return L"unknown setting \"" + std::wstring(name) + L"\"";
    }
  }
  if (!rule.HoldsSomething()) return std::wstring(L"it sets nothing");
  return rule;
}

RuleSection ParseRuleSection(const std::vector<StoredEntry>& entries, const CaseFold& fold) {
  RuleSection section;
  const auto version = std::find_if(entries.begin(), entries.end(), [](const StoredEntry& e) {
    return SameAscii(Trim(e.key), kRulesVersionKey);
  });
  // No version: written by hand in this form.
  if (version != entries.end() && Trim(version->value) != kRulesVersion) {
    section.locked = true;
    for (const StoredEntry& entry : entries) {
      if (!IsRuleKey(Trim(entry.key))) continue;
      section.skipped.push_back({entry.key, entry.value, L"written by a later version"});
    }
    return section;
  }

  std::vector<std::wstring> programs;  // match keys of the rules taken
  std::vector<std::wstring> keys;      // keys seen, to find a key given twice
  for (const StoredEntry& entry : entries) {
    const std::wstring_view key = Trim(entry.key);
    if (IsComment(key) || SameAscii(key, kRulesVersionKey)) continue;
    auto skip = [&](std::wstring reason) {
      section.skipped.push_back({entry.key, entry.value, std::move(reason)});
    };
    if (!IsRuleKey(key)) {
      skip(L"not a rule: rules are named Rule1, Rule2, ...");
      continue;
    }
    std::wstring lowered(key);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), AsciiLower);
    if (std::find(keys.begin(), keys.end(), lowered) != keys.end()) {
      skip(L"its name is given twice");
      continue;
    }
    keys.push_back(lowered);
    auto parsed = ParseRule(entry.value);
    if (auto* reason = std::get_if<std::wstring>(&parsed)) {
      skip(std::move(*reason));
      continue;
    }
    ProgramRule& rule = std::get<ProgramRule>(parsed);
    const std::wstring match = MatchKey(rule.program, fold);
    const auto same = std::find(programs.begin(), programs.end(), match);
    if (same != programs.end()) {
      skip(L"another rule names the same program: " +
           section.rules[static_cast<std::size_t>(same - programs.begin())].key);
      continue;
    }
    if (section.rules.size() >= kMaxRules) {
      skip(L"more than 256 rules");
      continue;
    }
    programs.push_back(match);
    section.rules.push_back({std::wstring(key), std::move(rule)});
  }
  return section;
}

void RuleBook::Load() {
  const std::vector<StoredEntry> entries = store_.ReadSection();
  section_ = ParseRuleSection(entries, fold_);
  versionStored_ = std::any_of(entries.begin(), entries.end(), [](const StoredEntry& e) {
    return SameAscii(Trim(e.key), kRulesVersionKey);
  });
}

std::vector<ProgramRule> RuleBook::Plain() const {
  std::vector<ProgramRule> rules;
  rules.reserve(section_.rules.size());
  for (const KeyedRule& keyed : section_.rules) rules.push_back(keyed.rule);
  return rules;
}

const KeyedRule* RuleBook::Find(std::wstring_view program) const {
  const std::wstring match = MatchKey(program, fold_);
  for (const KeyedRule& keyed : section_.rules) {
    if (MatchKey(keyed.rule.program, fold_) == match) return &keyed;
  }
  return nullptr;
}

std::optional<std::wstring> RuleBook::Check(const ProgramRule& rule,
                                            std::wstring_view exceptKey) const {
  if (section_.locked) return std::wstring(kRulesLocked);
  // What the dialog hands over is checked the way the file is read, so it reads back alike.
  auto parsed = ParseRule(FormatRule(rule));
  if (auto* reason = std::get_if<std::wstring>(&parsed)) {
    return L"This rule cannot be kept: " + *reason + L".";
  }
  const KeyedRule* same = Find(rule.program);
  if (same && !SameAscii(same->key, exceptKey)) {
    return std::wstring(L"There is a rule for this program already; change that one instead.");
  }
  return std::nullopt;
}

std::wstring RuleBook::FreeKey() const {
  for (std::size_t n = 1;; ++n) {
    const std::wstring key = std::wstring(kRuleKeyPrefix) + std::to_wstring(n);
    const bool used =
        std::any_of(section_.rules.begin(), section_.rules.end(),
                    [&](const KeyedRule& r) { return SameAscii(r.key, key); }) ||
        std::any_of(section_.skipped.begin(), section_.skipped.end(),
                    [&](const SkippedRule& s) { return SameAscii(Trim(s.key), key); });
    if (!used) return key;
  }
}

std::optional<std::wstring> RuleBook::Add(const ProgramRule& rule) {
  if (auto refusal = Check(rule, {})) return refusal;
  if (section_.rules.size() >= kMaxRules) return std::wstring(kTooManyRules);
  if (!versionStored_) {
    if (!store_.Write(kRulesVersionKey, kRulesVersion)) return std::wstring(kRuleNotSaved);
    versionStored_ = true;
  }
  const std::wstring key = FreeKey();
  if (!store_.Write(key, FormatRule(rule))) return std::wstring(kRuleNotSaved);
  section_.rules.push_back({key, rule});
  return std::nullopt;
}

std::optional<std::wstring> RuleBook::Change(std::wstring_view key, const ProgramRule& rule) {
  const auto keyed = std::find_if(section_.rules.begin(), section_.rules.end(),
                                  [&](const KeyedRule& r) { return r.key == key; });
  if (keyed == section_.rules.end()) return std::wstring(L"This rule is no longer there.");
  if (auto refusal = Check(rule, key)) return refusal;
  if (!store_.Write(key, FormatRule(rule))) return std::wstring(kRuleNotSaved);
  keyed->rule = rule;
  return std::nullopt;
}

std::optional<std::wstring> RuleBook::Remove(std::wstring_view key) {
  if (section_.locked) return std::wstring(kRulesLocked);
  const auto keyed = std::find_if(section_.rules.begin(), section_.rules.end(),
                                  [&](const KeyedRule& r) { return r.key == key; });
  if (keyed == section_.rules.end()) return std::nullopt;
  if (!store_.Remove(key)) return std::wstring(kRuleNotSaved);
  section_.rules.erase(keyed);
  return std::nullopt;
}

std::optional<std::wstring> RuleBook::KeepLimit(std::wstring_view program, int percent) {
  if (const KeyedRule* existing = Find(program)) {
    ProgramRule rule = existing->rule;
    rule.cpuPercent = percent;
    return Change(existing->key, rule);
  }
  ProgramRule rule;
  rule.program = std::wstring(program);
  rule.cpuPercent = percent;
  return Add(rule);
}

}  // namespace quorvant::engine
