#include "engine/core/program_rules.h"
#include "engine/core/rules_dialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "engine/core/priority_class.h"

namespace quorvant::engine {
namespace {

// The system's case mapping as far as these tests need it: ASCII and a few letters beyond.
std::wstring Fold(std::wstring_view text) {
  static const std::map<wchar_t, wchar_t> kBeyond{{L'ä', L'Ä'}, {L'ö', L'Ö'}, {L'σ', L'Σ'}};
  std::wstring out(text);
  for (wchar_t& c : out) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    if (const auto it = kBeyond.find(c); it != kBeyond.end()) c = it->second;
  }
  return out;
}

ProgramRule Rule(std::wstring program, std::optional<int> cpu, std::optional<int> cls,
                 bool neverTrim = false) {
  return {std::move(program), cpu, cls, neverTrim};
}

TEST(ProgramRulesTest, StoredFormRoundTrips) {
  const ProgramRule rules[] = {
      Rule(L"C:\\Program Files\\Backup\\backup.exe", 20, std::nullopt),
      Rule(L"game.exe", std::nullopt, kHighPriorityClass),
      Rule(L"editor.exe", 50, kBelowNormalPriorityClass, true),
      Rule(L"idle.exe", 1, kIdlePriorityClass),
      Rule(L"\\\\server\\tools\\render.exe", 99, kAboveNormalPriorityClass),
      Rule(L"\\\\?\\D:\\long\\x.exe", std::nullopt, kNormalPriorityClass),
      // Beyond ASCII and beyond the basic plane: kept whatever the file's code page.
      Rule(L"C:\\Users\\Jos\u00e9\\\u03a3\u03c5\u03bd.exe", std::nullopt, std::nullopt, true),
      Rule(L"\U0001F600.exe", 10, std::nullopt),
  };
  for (const ProgramRule& rule : rules) {
    const std::wstring stored = FormatRule(rule);
    EXPECT_TRUE(std::all_of(stored.begin(), stored.end(), [](wchar_t c) { return c < 0x7F; }))
        << "not plain ASCII";
    const auto parsed = ParseRule(stored);
    ASSERT_TRUE(std::holds_alternative<ProgramRule>(parsed)) << std::get<std::wstring>(parsed);
    EXPECT_EQ(std::get<ProgramRule>(parsed), rule);
  }
  EXPECT_EQ(FormatRule(rules[2]), L"editor.exe|cpu=50|priority=Below Normal|memory=never trim");
  EXPECT_EQ(FormatRule(rules[6]),
            L"C:\\Users\\Jos<00E9>\\<03A3><03C5><03BD>.exe|memory=never trim");
}

TEST(ProgramRulesTest, HandWrittenFormsAreRead) {
  const struct {
    const wchar_t* value;
    ProgramRule rule;
  } cases[] = {
      {L" game.exe | PRIORITY = high | ", Rule(L"game.exe", std::nullopt, kHighPriorityClass)},
      {L"C:/Tools/x.exe|Cpu=5", Rule(L"C:/Tools/x.exe", 5, std::nullopt)},
      {L"C:\\Users\\José\\a.exe|memory=Never Trim", Rule(L"C:\\Users\\José\\a.exe", {}, {}, true)},
  };
  for (const auto& c : cases) {
    const auto parsed = ParseRule(c.value);
    ASSERT_TRUE(std::holds_alternative<ProgramRule>(parsed)) << std::get<std::wstring>(parsed);
    EXPECT_EQ(std::get<ProgramRule>(parsed), c.rule);
  }
}

TEST(ProgramRulesTest, EachKindOfDamageIsNamed) {
  const wchar_t* damaged[] = {
      L"bin\\game.exe|cpu=5",         // relative path
      L"C:game.exe|cpu=5",            // drive without folder
      L"C:\\Tools\\|cpu=5",           // a folder
      L"C:\\a\\..\\b.exe|cpu=5",      // not a plain path
      L"\\\\server\\x.exe|cpu=5",     // a share needs a share name
      L"ga*me.exe|cpu=5",             // no file name holds *
      L"game<00>.exe|cpu=5",          // broken escape
      L"game<0000>.exe|cpu=5",        // NUL
      L"|cpu=5",                      // no program
      L"game.exe|cpu=0",              // limit outside 1-99
      L"game.exe|cpu=100",            // limit outside 1-99
      L"game.exe|cpu=-5",             // not a number
      L"game.exe|cpu=5|cpu=6",        // given twice
      L"game.exe|priority=Realtime",  // never Realtime
      L"game.exe|priority=Fast",      // unknown class
      L"game.exe|memory=trim often",  // unknown memory setting
      L"game.exe|colour=blue",        // unknown field
      L"game.exe",                    // sets nothing
      L"garbage",                     // sets nothing
  };
  for (const wchar_t* value : damaged) {
    const auto parsed = ParseRule(value);
    ASSERT_TRUE(std::holds_alternative<std::wstring>(parsed))
        << "read: " << std::string(value, value + std::wcslen(value));
    EXPECT_FALSE(std::get<std::wstring>(parsed).empty());
  }
}

TEST(ProgramRulesTest, SectionSkipsDamageDuplicatesAndTheRulesPast256) {
  std::vector<StoredEntry> entries{
      {L"Version", L"1"},
      {L"Rule1", L"game.exe|priority=High"},
      {L"Rule2", L"game.exe|cpu=200"},
      {L"Rule3", L"GAME.EXE|cpu=20"},  // the same program by the system's case mapping
      {L"Rule4", L"C:\\Äpfel\\x.exe|cpu=20"},
      {L"Rule5", L"c:\\äpfel\\X.EXE|cpu=30"},  // the same, beyond A-Z
      {L"Thing", L"y.exe|cpu=5"},
      {L"rule1", L"z.exe|cpu=5"},
      {L"; a comment", L""},
  };
  for (int n = 6; n < 6 + 260; ++n) {
    entries.push_back({L"Rule" + std::to_wstring(n), L"p" + std::to_wstring(n) + L".exe|cpu=5"});
  }
  const RuleSection section = ParseRuleSection(entries, Fold);
  EXPECT_FALSE(section.locked);
  ASSERT_EQ(section.rules.size(), kMaxRules);
  EXPECT_EQ(section.rules[0].key, L"Rule1");
  EXPECT_EQ(section.rules[1].key, L"Rule4");
  std::vector<std::wstring> skipped;
  for (const SkippedRule& s : section.skipped) skipped.push_back(s.key);
  std::vector<std::wstring> expected{L"Rule2", L"Rule3", L"Rule5", L"Thing", L"rule1"};
  // 2 rules taken above, so 254 of the numbered ones fit.
  for (int n = 6 + 254; n < 6 + 260; ++n) expected.push_back(L"Rule" + std::to_wstring(n));
  EXPECT_EQ(skipped, expected);
  EXPECT_EQ(section.skipped[0].value, L"game.exe|cpu=200") << "kept as the file has it";
  EXPECT_EQ(section.skipped[2].reason, L"another rule names the same program: Rule4");
  EXPECT_EQ(section.skipped.back().reason, L"more than 256 rules");

  // A later form is not read, and nothing in it may be changed.
  const RuleSection later =
      ParseRuleSection({{L"Version", L"2"}, {L"Rule1", L"game.exe|priority=High"}}, Fold);
  EXPECT_TRUE(later.locked);
  EXPECT_TRUE(later.rules.empty());
  ASSERT_EQ(later.skipped.size(), 1u);
}

// Config.ini's [Rules] as lines, written one key at a time.
class FakeRuleStore final : public RuleStore {
 public:
  std::vector<StoredEntry> lines;
  std::vector<std::wstring> writes;
  bool fail = false;

  std::vector<StoredEntry> ReadSection() override { return lines; }
  bool Write(std::wstring_view key, std::wstring_view value) override {
    if (fail) return false;
    writes.push_back(std::wstring(key) + L"=" + std::wstring(value));
    const auto line = std::find_if(lines.begin(), lines.end(),
                                   [&](const StoredEntry& e) { return e.key == key; });
    if (line != lines.end()) {
      line->value = value;
    } else {
      lines.push_back({std::wstring(key), std::wstring(value)});
    }
    return true;
  }
  bool Remove(std::wstring_view key) override {
    if (fail) return false;
    writes.push_back(L"-" + std::wstring(key));
    std::erase_if(lines, [&](const StoredEntry& e) { return e.key == key; });
    return true;
  }
};

TEST(ProgramRulesTest, BookWritesOneKeyPerChangeAndLeavesSkippedEntriesAlone) {
  FakeRuleStore store;
  store.lines = {{L"Rule1", L"broken"}, {L"Rule2", L"game.exe|priority=High"}};
  RuleBook book(store, Fold);
  book.Load();
  ASSERT_EQ(book.Rules().size(), 1u);
  ASSERT_EQ(book.Skipped().size(), 1u);

  EXPECT_EQ(book.Add(Rule(L"backup.exe", 20, std::nullopt)), std::nullopt);
  // The version is written with the first rule the program writes; the damaged Rule1 keeps
  // its key.
  EXPECT_EQ(store.writes, (std::vector<std::wstring>{L"Version=1", L"Rule3=backup.exe|cpu=20"}));
  EXPECT_TRUE(book.Add(Rule(L"BACKUP.EXE", 30, std::nullopt)).has_value()) << "same program";
  EXPECT_EQ(book.KeepLimit(L"Backup.exe", 40), std::nullopt);
  EXPECT_EQ(store.writes.back(), L"Rule3=backup.exe|cpu=40");
  EXPECT_EQ(book.Remove(L"Rule2"), std::nullopt);
  EXPECT_EQ(store.writes.back(), L"-Rule2");
  EXPECT_EQ(store.lines[0], (StoredEntry{L"Rule1", L"broken"}));

  // What was written reads back the same.
  RuleBook again(store, Fold);
  again.Load();
  EXPECT_EQ(again.Rules(), book.Rules());

  // A write that fails changes nothing.
  store.fail = true;
  EXPECT_EQ(book.Add(Rule(L"x.exe", 5, std::nullopt)), std::wstring(kRuleNotSaved));
  EXPECT_EQ(book.Rules().size(), 1u);
}

TEST(ProgramRulesTest, The257thRuleIsRefused) {
  FakeRuleStore store;
  RuleBook book(store, Fold);
  book.Load();
  for (std::size_t n = 0; n < kMaxRules; ++n) {
    ASSERT_EQ(book.Add(Rule(L"p" + std::to_wstring(n) + L".exe", 5, std::nullopt)), std::nullopt);
  }
  EXPECT_EQ(book.Add(Rule(L"one-more.exe", 5, std::nullopt)), std::wstring(kTooManyRules));
  EXPECT_EQ(book.Rules().size(), kMaxRules);
  // Changing one of them is still allowed.
  EXPECT_EQ(book.KeepLimit(L"p0.exe", 9), std::nullopt);
}

TEST(ProgramRulesTest, LockedSectionRefusesEveryChange) {
  FakeRuleStore store;
  store.lines = {{L"Version", L"7"}, {L"Rule1", L"game.exe|priority=High|sound=on"}};
  RuleBook book(store, Fold);
  book.Load();
  EXPECT_EQ(book.Add(Rule(L"x.exe", 5, std::nullopt)), std::wstring(kRulesLocked));
  EXPECT_EQ(book.Remove(L"Rule1"), std::wstring(kRulesLocked));
  EXPECT_TRUE(store.writes.empty());
}

}  // namespace
}  // namespace quorvant::engine

namespace quorvant::engine {
namespace {

TEST(RulesDialogTest, EditorFieldsBecomeARuleOrSayWhatIsMissing) {
  struct Case {
    RuleFields fields;
    std::optional<ProgramRule> rule;
  };
  const Case cases[] = {
      {{L" game.exe ", true, L"20", L"High", false},
       ProgramRule{L"game.exe", 20, kHighPriorityClass, false}},
      {{L"C:\\Tools\\x.exe", false, L"20", L"Unchanged", true},
       ProgramRule{L"C:\\Tools\\x.exe", std::nullopt, std::nullopt, true}},
      {{L"", true, L"20", L"Unchanged", false}, std::nullopt},              // no program
      {{L"Tools\\x.exe", true, L"20", L"Unchanged", false}, std::nullopt},  // relative path
      {{L"x.exe", true, L"0", L"Unchanged", false}, std::nullopt},          // limit outside 1-99
      {{L"x.exe", true, L"", L"Unchanged", false}, std::nullopt},           // no limit given
      {{L"x.exe", false, L"", L"Unchanged", false}, std::nullopt},          // sets nothing
  };
  for (const Case& c : cases) {
    const auto made = RuleOf(c.fields);
    if (c.rule) {
      ASSERT_TRUE(std::holds_alternative<ProgramRule>(made)) << std::get<std::wstring>(made).size();
      EXPECT_EQ(std::get<ProgramRule>(made), *c.rule);
      // A rule shown in the editor reads back as itself.
      EXPECT_EQ(std::get<ProgramRule>(RuleOf(FieldsOf(*c.rule))), *c.rule);
    } else {
      ASSERT_TRUE(std::holds_alternative<std::wstring>(made));
      EXPECT_FALSE(std::get<std::wstring>(made).empty());
    }
  }
  EXPECT_EQ(RuleRow(ProgramRule{L"x.exe", 20, kBelowNormalPriorityClass, true}),
            (std::array<std::wstring, 5>{L"x.exe", L"20%", L"Below Normal", L"Never trim", L""}));
  EXPECT_EQ(SkippedRow({L"Rule4", L"x.exe|cpu=0", L"the CPU limit is not 1 to 99"})[4],
            L"Skipped: the CPU limit is not 1 to 99");
}

}  // namespace
}  // namespace quorvant::engine
