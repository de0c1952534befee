#include "engine/core/rules_dialog.h"

#include "engine/core/limit_slots.h"

namespace quorvant::engine {

namespace {

std::wstring_view TrimBlanks(std::wstring_view text) {
  while (!text.empty() && (text.front() == L' ' || text.front() == L'\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == L' ' || text.back() == L'\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::array<std::wstring, rules_dialog::kColumns.size()> RuleRow(const ProgramRule& rule) {
  return {rule.program, rule.cpuPercent ? LimitText(*rule.cpuPercent) : L"",
          rule.priorityClass ? std::wstring(PriorityClassName(*rule.priorityClass)) : L"",
          rule.neverTrim ? std::wstring(rules_dialog::kNeverTrimText) : L"", L""};
}

std::array<std::wstring, rules_dialog::kColumns.size()> SkippedRow(const SkippedRule& skipped) {
  return {skipped.key + L"=" + skipped.value, L"", L"", L"",
          std::wstring(rules_dialog::kSkippedNote) + skipped.reason};
}

RuleFields FieldsOf(const ProgramRule& rule) {
  RuleFields fields;
  fields.program = rule.program;
  fields.limitCpu = rule.cpuPercent.has_value();
  fields.cpuText = std::to_wstring(rule.cpuPercent.value_or(kMaxLimitPercent / 2 + 1));
  fields.priority = rule.priorityClass ? std::wstring(PriorityClassName(*rule.priorityClass))
                                       : std::wstring(rules_dialog::kUnchanged);
  fields.neverTrim = rule.neverTrim;
  return fields;
}

std::variant<ProgramRule, std::wstring> RuleOf(const RuleFields& fields) {
  ProgramRule rule;
  rule.program = std::wstring(TrimBlanks(fields.program));
  if (rule.program.empty()) return std::wstring(L"Choose a program first.");
  if (FormOf(rule.program) == ProgramForm::Unknown) {
    return std::wstring(
        L"Give the program's full path (C:\\...\\name.exe) or its file name alone.");
  }
  if (fields.limitCpu) {
    const std::wstring_view text = TrimBlanks(fields.cpuText);
    int percent = 0;
    bool digits = !text.empty() && text.size() <= 2;
    for (const wchar_t c : text) {
      digits = digits && c >= L'0' && c <= L'9';
      if (digits) percent = percent * 10 + (c - L'0');
    }
    if (!digits || percent < kMinLimitPercent || percent > kMaxLimitPercent) {
      return std::wstring(L"The CPU limit is a percentage from 1 to 99.");
    }
    rule.cpuPercent = percent;
  }
  if (fields.priority != rules_dialog::kUnchanged) {
    rule.priorityClass = PriorityClassFromName(fields.priority);
    if (!rule.priorityClass) return std::wstring(L"Choose a priority from the list.");
  }
  rule.neverTrim = fields.neverTrim;
  if (!rule.HoldsSomething()) {
    return std::wstring(L"A rule needs a CPU limit, a priority or \"Never trim its memory\".");
  }
  return rule;
}

}  // namespace quorvant::engine
