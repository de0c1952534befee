#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "skin/product.h"

namespace quorvant::engine {

// A rule the user sets once for a program and that holds for each of its processes, now
// and whenever one starts, across restarts of Quorvant.
struct ProgramRule {
  // A full executable path ("C:\Tools\backup.exe", "\\server\share\backup.exe"), or a file
  // name alone ("backup.exe"), which matches that name in any folder.
  std::wstring program;
  std::optional<int> cpuPercent;     // at most this share of the whole machine, 1 to 99
  std::optional<int> priorityClass;  // Idle to High; never Realtime
  bool neverTrim = false;            // the memory release passes its processes over

  // Whether it asks anything of its processes.
  bool HoldsSomething() const { return cpuPercent || priorityClass || neverTrim; }
  friend bool operator==(const ProgramRule&, const ProgramRule&) = default;
};

// The system's case mapping of file names, as a function: tests pass their own.
using CaseFold = std::function<std::wstring(std::wstring_view)>;

// The five classes a rule may set, by their names as the rules dialog and Config.ini show
// them: "Idle", "Below Normal", "Normal", "Above Normal", "High".
std::optional<int> PriorityClassFromName(std::wstring_view name);
std::wstring_view PriorityClassName(int priorityClass);  // empty for any other number

enum class ProgramForm { FileName, FullPath, Unknown };
// A full path has a drive ("C:\") or a share ("\\server\share\"), optionally behind "\\?\",
// and a file name at its end; a file name has no folder at all. Anything else (a relative
// path, "C:name", a folder, characters no file name may hold) is neither.
ProgramForm FormOf(std::wstring_view program);

// The part after the last backslash.
std::wstring_view FileNameOf(std::wstring_view path);

// A path or name as it is compared: "/" read as "\", the "\\?\" prefix dropped, folded.
std::wstring MatchKey(std::wstring_view program, const CaseFold& fold);

// Config.ini's [Rules] section, a form a person can read and edit:
//
//   [Rules]
//   Version=1
//   Rule1=C:\Program Files\Backup\backup.exe|cpu=20
//   Rule2=game.exe|priority=High
//   Rule3=editor.exe|cpu=50|priority=Below Normal|memory=never trim
//
// One key per rule, "Rule" and a number; the value is the program, then any of the fields
// "cpu=<1-99>", "priority=<class name>" and "memory=never trim", each after a "|" (which no
// file name may hold). Field names and values are read without regard to case; blanks
// around each part are ignored. A character of the program outside printable ASCII is
// written as "<XXXX>", its UTF-16 code unit in hex ("<" cannot appear in a file name), so
// the file keeps it whatever its code page; read, either form is accepted. "Version" names
// the form; a later form is left alone, unread and unchanged.
inline constexpr std::wstring_view kRulesSection = L"Rules";
inline constexpr std::wstring_view kRulesVersionKey = L"Version";
inline constexpr std::wstring_view kRulesVersion = L"1";
inline constexpr std::wstring_view kRuleKeyPrefix = L"Rule";
inline constexpr std::size_t kMaxRules = 256;

// The stored value of a rule, and a value read back: the rule, or why it is not one.
std::wstring FormatRule(const ProgramRule& rule);
std::variant<ProgramRule, std::wstring> ParseRule(std::wstring_view value);

// One "key=value" line of the section as the file holds it.
struct StoredEntry {
  std::wstring key;
  std::wstring value;
  friend bool operator==(const StoredEntry&, const StoredEntry&) = default;
};

// An entry that is not used, and why; it stays in the file as it is.
struct SkippedRule {
  std::wstring key;
  std::wstring value;
  std::wstring reason;
  friend bool operator==(const SkippedRule&, const SkippedRule&) = default;
};

struct KeyedRule {
  std::wstring key;  // "Rule<n>"
  ProgramRule rule;
  friend bool operator==(const KeyedRule&, const KeyedRule&) = default;
};

// What the section yields: the rules in file order, and the entries passed over. A rule
// naming the same program as an earlier one (by the fold) is passed over, and so is every
// rule past the 256th. Locked when the section was written in a later form: nothing of it is
// used and nothing in it may be changed.
struct RuleSection {
  std::vector<KeyedRule> rules;
  std::vector<SkippedRule> skipped;
  bool locked = false;
};
RuleSection ParseRuleSection(const std::vector<StoredEntry>& entries, const CaseFold& fold);

// The [Rules] section of Config.ini: read whole, written one key at a time.
class RuleStore {
 public:
  virtual ~RuleStore() = default;
  // Every line of the section in file order; empty when there is none.
  virtual std::vector<StoredEntry> ReadSection() = 0;
  // False when the value could not be stored.
  virtual bool Write(std::wstring_view key, std::wstring_view value) = 0;
  virtual bool Remove(std::wstring_view key) = 0;
};

// The program's rules and their home in Config.ini. Each change is written at once, as a
// single key, so every other setting, each rule not changed and each entry passed over
// stays in the file as it is.
class RuleBook {
 public:
  RuleBook(RuleStore& store, CaseFold fold) : store_(store), fold_(std::move(fold)) {}

  void Load();
  const std::vector<KeyedRule>& Rules() const { return section_.rules; }
  const std::vector<SkippedRule>& Skipped() const { return section_.skipped; }
  std::vector<ProgramRule> Plain() const;

  // Each returns the message for the user when the change is refused; nothing changes then.
  std::optional<std::wstring> Add(const ProgramRule& rule);
  std::optional<std::wstring> Change(std::wstring_view key, const ProgramRule& rule);
  std::optional<std::wstring> Remove(std::wstring_view key);
  // A limit kept from the limit dialog: the program's rule gets the limit, or a new rule
  // holding only that limit is added.
  std::optional<std::wstring> KeepLimit(std::wstring_view program, int percent);

  // The rule for program, compared by the fold; empty when there is none.
  const KeyedRule* Find(std::wstring_view program) const;

 private:
  std::optional<std::wstring> Check(const ProgramRule& rule, std::wstring_view exceptKey) const;
  std::wstring FreeKey() const;

  RuleStore& store_;
  CaseFold fold_;
  RuleSection section_;
  bool versionStored_ = false;
};

// Messages of the rules dialog.
inline constexpr std::wstring_view kTooManyRules =
    QUORVANT_PRODUCT_NAME_W L" keeps at most 256 program rules. Remove one before adding another.";
inline constexpr std::wstring_view kRulesLocked =
    L"The rules in Config.ini were written by a later version "
    L"of " QUORVANT_PRODUCT_NAME_W L" and are left as they are.";
inline constexpr std::wstring_view kRuleNotSaved = L"The rule could not be saved in Config.ini.";

}  // namespace quorvant::engine
