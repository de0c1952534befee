#pragma once

#include <array>
#include <string>
#include <string_view>
#include <variant>

#include "common/core/twips.h"
#include "engine/core/program_rules.h"

namespace quorvant::engine {

// The "Program rules" dialog: what it shows of a rule and how its editor's fields become a
// rule. Places are twips of its client area, in the limit dialog's frame and banner.
namespace rules_dialog {

inline constexpr std::wstring_view kCaption = L"Program rules";
inline constexpr int kClientWidthTwips = 7110;
inline constexpr int kClientHeightTwips = 6660;

struct Column {
  std::wstring_view title;
  int widthTwips;
};
inline constexpr std::array<Column, 5> kColumns{{
    {L"Program", 2200},
    {L"CPU limit", 950},
    {L"Priority", 1250},
    {L"Memory", 1000},
    {L"Note", 1000},
}};
inline constexpr int kColumnProgram = 0;
inline constexpr int kColumnNote = 4;

struct FixedText {
  std::wstring_view text;
  TwipsRect at;
};
inline constexpr FixedText kFixedTexts[] = {
    {L"Rules kept for every process of a program, now and whenever it starts:",
     {240, 1140, 6600, 195}},
    {L"Program:", {240, 3855, 900, 195}},
    {L"Running:", {240, 4275, 900, 195}},
    {L"%", {2520, 4710, 240, 195}},
    {L"Priority:", {3000, 4710, 900, 195}},
};

// The banner's picture box, as in the limit dialog.
inline constexpr TwipsRect kIconAt{120, 120, 615, 615};
inline constexpr TwipsRect kListAt{240, 1380, 6630, 2280};
inline constexpr TwipsRect kProgramAt{1200, 3780, 4200, 330};
inline constexpr TwipsRect kBrowseAt{5535, 3780, 1335, 375};
inline constexpr TwipsRect kRunningAt{1200, 4230, 5670, 3000};  // with its drop-down
inline constexpr TwipsRect kCpuCheckAt{240, 4665, 1380, 300};
inline constexpr TwipsRect kCpuAt{1680, 4665, 780, 300};
inline constexpr TwipsRect kPriorityAt{3900, 4665, 1800, 3000};  // with its drop-down
inline constexpr TwipsRect kNeverTrimAt{240, 5100, 3600, 255};
inline constexpr TwipsRect kAddAt{240, 5580, 1335, 375};
inline constexpr TwipsRect kChangeAt{1800, 5580, 1335, 375};
inline constexpr TwipsRect kRemoveAt{3360, 5580, 1335, 375};
inline constexpr TwipsRect kCloseAt{5535, 5580, 1335, 375};
inline constexpr TwipsRect kStatusAt{240, 6090, 6630, 450};

inline constexpr std::wstring_view kCpuCheckCaption = L"Limit CPU to";
inline constexpr std::wstring_view kNeverTrimCaption = L"Never trim its memory";
// The priority list's first entry: the rule leaves the class alone.
inline constexpr std::wstring_view kUnchanged = L"Unchanged";
inline constexpr std::array<std::wstring_view, 6> kPriorityItems{
    kUnchanged, L"Idle", L"Below Normal", L"Normal", L"Above Normal", L"High"};
inline constexpr std::wstring_view kNeverTrimText = L"Never trim";
inline constexpr std::wstring_view kSkippedNote = L"Skipped: ";

}  // namespace rules_dialog

// A rule's row in the list: program, "20%", "High", "Never trim", and an empty note.
std::array<std::wstring, rules_dialog::kColumns.size()> RuleRow(const ProgramRule& rule);
// An entry of Config.ini that was passed over: its text as the file has it, and why.
std::array<std::wstring, rules_dialog::kColumns.size()> SkippedRow(const SkippedRule& skipped);

// The editor's fields as the user left them.
struct RuleFields {
  std::wstring program;
  bool limitCpu = false;
  std::wstring cpuText;
  std::wstring priority;  // an item of kPriorityItems
  bool neverTrim = false;
};
RuleFields FieldsOf(const ProgramRule& rule);
// The rule the fields describe, or the message that says what is missing.
std::variant<ProgramRule, std::wstring> RuleOf(const RuleFields& fields);

}  // namespace quorvant::engine
