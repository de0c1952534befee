#include "engine/core/rule_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/core/booster.h"
#include "engine/core/priority_class.h"

namespace quorvant::engine {
namespace {

// Processes of these tests: id, creation time, file name and path.
struct Proc {
  ProcessIdentity id;
  std::wstring name;
  std::wstring path;
};
const Proc kGame{{10, 1000}, L"game.exe", L"C:\\Games\\game.exe"};
const Proc kGame2{{11, 1100}, L"Game.EXE", L"D:\\Other\\Game.EXE"};
const Proc kApfel{{12, 1200}, L"ölwerk.exe", L"c:\\äpfel\\ölwerk.exe"};
const Proc kEditor{{13, 1300}, L"editor.exe", L"C:\\Tools\\editor.exe"};
const Proc kGameReused{{10, 9000}, L"notepad.exe", L"C:\\Windows\\notepad.exe"};

std::wstring Fold(std::wstring_view text) {
  static const std::map<wchar_t, wchar_t> kBeyond{{L'ä', L'Ä'}, {L'ö', L'Ö'}};
  std::wstring out(text);
  for (wchar_t& c : out) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    if (const auto it = kBeyond.find(c); it != kBeyond.end()) c = it->second;
  }
  return out;
}

// The system: each process's class and limit, the paths read, and who refuses.
class FakeSystem final : public RuleProcesses, public CpuThrottle, public BoosterDesktop {
 public:
  std::map<std::uint32_t, Proc> running;
  std::map<std::uint32_t, int> classes;
  std::map<std::uint32_t, std::string> limits;  // "cap 20" / "duty 20"
  std::set<std::uint32_t> refusing;
  bool capOffered = true;
  int pathReads = 0;
  WindowId foreground = 0;
  std::map<WindowId, Proc> windows;

  void Start(const Proc& p, int cls = kNormalPriorityClass) {
    running[p.id.id] = p;
    classes[p.id.id] = cls;
  }
  void End(const Proc& p) {
    running.erase(p.id.id);
    classes.erase(p.id.id);
    limits.erase(p.id.id);
  }
  std::vector<WalkedProcess> Walk() const {
    std::vector<WalkedProcess> out;
    for (const auto& [id, p] : running) out.push_back({p.id, p.name});
    return out;
  }
  bool Runs(const ProcessIdentity& p) const {
    const auto it = running.find(p.id);
    return it != running.end() && it->second.id == p;
  }
  int ClassOf(const Proc& p) const { return classes.at(p.id.id); }
  std::string LimitOf(const Proc& p) const {
    const auto it = limits.find(p.id.id);
    return it == limits.end() ? "" : it->second;
  }

  // RuleProcesses
  std::wstring ImagePath(const ProcessIdentity& p) override {
    ++pathReads;
    return Runs(p) ? running.at(p.id).path : L"";
  }
  int PriorityClassOf(const ProcessIdentity& p) override {
    return Runs(p) && !refusing.count(p.id) ? classes.at(p.id) : 0;
  }
  bool SetPriorityClassOf(const ProcessIdentity& p, int cls) override {
    if (!Runs(p) || refusing.count(p.id)) return false;
    classes[p.id] = cls;
    return true;
  }
  void RestorePriority(const ProcessIdentity& p, int cls, int setClass) override {
    if (Runs(p) && classes[p.id] == setClass) classes[p.id] = cls;
  }

  // CpuThrottle
  ThrottleAnswer Cap(const ProcessIdentity& p, int percent) override {
    if (!capOffered) return ThrottleAnswer::NotOffered;
    return Hold(p, "cap", percent);
  }
  ThrottleAnswer ChangeCap(const ProcessIdentity& p, int percent) override {
    return Hold(p, "cap", percent);
  }
  void Uncap(const ProcessIdentity& p) override { limits.erase(p.id); }
  ThrottleAnswer StartDutyCycle(const ProcessIdentity& p, int percent) override {
    return Hold(p, "duty", percent);
  }
  ThrottleAnswer ChangeDutyCycle(const ProcessIdentity& p, int percent) override {
    return Hold(p, "duty", percent);
  }
  void StopDutyCycle(const ProcessIdentity& p) override { limits.erase(p.id); }
  bool Ended(const ProcessIdentity& p) override { return !Runs(p); }

  // BoosterDesktop
  WindowId ForegroundWindow() override { return foreground; }
  std::wstring WindowTitle(WindowId w) override {
    return windows.count(w) ? L"Window " + std::to_wstring(w) : L"";
  }
  std::optional<ProcessIdentity> WindowProcess(WindowId w) override {
    if (!windows.count(w)) return std::nullopt;
    return windows.at(w).id;
  }
  std::wstring TimeOfDay() override { return L"12:00:00"; }

 private:
  ThrottleAnswer Hold(const ProcessIdentity& p, const char* how, int percent) {
    if (!Runs(p)) return ThrottleAnswer::Gone;
    if (refusing.count(p.id)) return ThrottleAnswer::AccessDenied;
    limits[p.id] = std::string(how) + " " + std::to_string(percent);
    return ThrottleAnswer::Done;
  }
};

ProgramRule Rule(std::wstring program, std::optional<int> cpu, std::optional<int> cls,
                 bool neverTrim = false) {
  return {std::move(program), cpu, cls, neverTrim};
}

class RuleEngineTest : public ::testing::Test {
 protected:
  RuleEngineTest() {
    engine.report = [this](const std::wstring& line) { reports.push_back(line); };
  }
  void Walk() { engine.Walk(system.Walk()); }

  FakeSystem system;
  EffectLedger ledger;
  LimitSlotTable table;
  RuleEngine engine{ledger, system, table, system, Fold};
  std::vector<std::wstring> reports;
};

TEST_F(RuleEngineTest, NewProcessesGetTheirProgramsRuleAndOnlyNewOnesAreLookedAt) {
  system.Start(kGame);
  system.Start(kEditor, kHighPriorityClass);
  engine.SetRules({Rule(L"GAME.exe", 20, kHighPriorityClass),
                   Rule(L"C:\\TOOLS\\Editor.exe", std::nullopt, kIdlePriorityClass, true)});
  Walk();
  EXPECT_EQ(system.ClassOf(kGame), kHighPriorityClass);
  EXPECT_EQ(system.LimitOf(kGame), "cap 20");
  EXPECT_EQ(system.ClassOf(kEditor), kIdlePriorityClass);
  EXPECT_TRUE(engine.NeverTrim(kEditor.id.id));
  EXPECT_FALSE(engine.NeverTrim(kGame.id.id));
  // Every effect is in the ledger with what to give back.
  ASSERT_TRUE(ledger.Find(kEditor.id, EffectKind::Priority));
  EXPECT_EQ(ledger.Find(kEditor.id, EffectKind::Priority)->before, kHighPriorityClass);
  EXPECT_TRUE(ledger.Find(kGame.id, EffectKind::CpuCap));

  // A second game in another folder: a file-name rule matches in any folder.
  system.Start(kGame2);
  const int pathReads = system.pathReads;
  Walk();
  EXPECT_EQ(system.LimitOf(kGame2), "cap 20");
  EXPECT_EQ(system.pathReads, pathReads) << "no path is read for a file-name rule";
  // Walks with nothing new change nothing and read nothing.
  system.classes[kGame.id.id] = kNormalPriorityClass;  // changed by someone else
  Walk();
  EXPECT_EQ(system.ClassOf(kGame), kNormalPriorityClass);
  EXPECT_TRUE(reports.empty());
}

TEST_F(RuleEngineTest, FullPathMatchesByTheSystemsCaseMappingAndBeatsAFileNameRule) {
  system.Start(kApfel);
  system.Start(kGame);
  system.Start(kGame2);
  engine.SetRules({Rule(L"game.exe", 30, std::nullopt),
                   Rule(L"C:\\ÄPFEL\\ÖLWERK.EXE", 40, std::nullopt),
                   Rule(L"d:\\other\\game.exe", 50, std::nullopt)});
  Walk();
  EXPECT_EQ(system.LimitOf(kApfel), "cap 40");
  EXPECT_EQ(system.LimitOf(kGame), "cap 30");
  EXPECT_EQ(system.LimitOf(kGame2), "cap 50");
}

TEST_F(RuleEngineTest, RemovingOrChangingARuleGivesBackAtOnce) {
  system.Start(kGame);
  engine.SetRules({Rule(L"game.exe", 20, kIdlePriorityClass)});
  Walk();
  ASSERT_EQ(system.ClassOf(kGame), kIdlePriorityClass);

  engine.SetRules({Rule(L"game.exe", 60, kAboveNormalPriorityClass)});
  Walk();
  EXPECT_EQ(system.ClassOf(kGame), kAboveNormalPriorityClass);
  EXPECT_EQ(system.LimitOf(kGame), "cap 60");
  EXPECT_EQ(ledger.Find(kGame.id, EffectKind::Priority)->before, kNormalPriorityClass);

  engine.SetRules({Rule(L"game.exe", std::nullopt, kNormalPriorityClass)});
  Walk();
  EXPECT_EQ(system.LimitOf(kGame), "");
  EXPECT_FALSE(ledger.Find(kGame.id, EffectKind::Priority)) << "back where it was: nothing held";

  engine.SetRules({Rule(L"game.exe", 10, kHighPriorityClass)});
  Walk();
  engine.SetRules({});
  EXPECT_TRUE(engine.NeedsWalks());
  Walk();
  EXPECT_EQ(system.ClassOf(kGame), kNormalPriorityClass);
  EXPECT_EQ(system.LimitOf(kGame), "");
  EXPECT_TRUE(ledger.Empty());
  EXPECT_FALSE(engine.NeedsWalks());
}

TEST_F(RuleEngineTest, WithoutTheSystemsCapTheDutyCycleHolds) {
  system.capOffered = false;
  system.Start(kGame);
  engine.SetRules({Rule(L"game.exe", 25, std::nullopt)});
  Walk();
  EXPECT_EQ(system.LimitOf(kGame), "duty 25");
  EXPECT_TRUE(ledger.Find(kGame.id, EffectKind::DutyCycle));
  engine.GiveBackAll();
  EXPECT_EQ(system.LimitOf(kGame), "");
  EXPECT_TRUE(ledger.Empty());
}

TEST_F(RuleEngineTest, ARefusingProcessIsLeftAloneOnceWithOneLine) {
  system.Start(kGame);
  system.refusing.insert(kGame.id.id);
  engine.SetRules({Rule(L"game.exe", 20, kHighPriorityClass)});
  Walk();
  Walk();
  engine.SetRules({Rule(L"game.exe", 30, kIdlePriorityClass)});
  Walk();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find(L"PID 10"), std::wstring::npos)
      << std::string(reports[0].begin(), reports[0].end());
  EXPECT_TRUE(ledger.Empty());
  EXPECT_TRUE(engine.HoldsProcess(kGame.id)) << "held, so nothing else tries it";
  EXPECT_FALSE(engine.RuleClass(kGame.id));

  // A limit refused after the class was set: the class is given back too.
  system.refusing.clear();
  system.Start(kGame2);
  engine.SetRules({Rule(L"game.exe", 20, kHighPriorityClass)});
  system.refusing.insert(kGame2.id.id);  // only for the limit: the class reads first
  Walk();
  EXPECT_EQ(system.ClassOf(kGame2), kNormalPriorityClass);
}

TEST_F(RuleEngineTest, AnEndedProcessIsLetGoAndAReusedIdIsANewProcess) {
  system.Start(kGame);
  engine.SetRules({Rule(L"game.exe", 20, kHighPriorityClass)});
  Walk();
  system.End(kGame);
  system.Start(kGameReused);
  Walk();
  EXPECT_TRUE(ledger.Empty());
  EXPECT_FALSE(engine.HoldsProcess(kGame.id));
  EXPECT_FALSE(engine.HoldsProcess(kGameReused.id));
  EXPECT_EQ(system.ClassOf(kGameReused), kNormalPriorityClass);
}

TEST_F(RuleEngineTest, EachWalkTellsWhoseRuleLimitCameChangedOrWent) {
  std::vector<std::uint32_t> told;
  engine.limitChanged = [&](const ProcessIdentity& p) { told.push_back(p.id); };
  system.Start(kGame);
  system.Start(kEditor);
  system.Start(kApfel);
  system.refusing.insert(kApfel.id.id);
  const auto rules = [](std::optional<int> gameCpu) {
    return std::vector{Rule(L"game.exe", gameCpu, kIdlePriorityClass),
                       Rule(L"editor.exe", std::nullopt, kIdlePriorityClass),
                       Rule(L"ölwerk.exe", 30, std::nullopt)};
  };
  struct Step {
    const char* what;
    std::function<void()> change;
    std::vector<std::uint32_t> told;
  };
  const Step steps[] = {
      // A class alone shows nowhere; a refused limit is never shown.
      {"rules made", [&] { engine.SetRules(rules(20)); }, {kGame.id.id}},
      {"nothing new", [] {}, {}},
      {"a second game", [&] { system.Start(kGame2); }, {kGame2.id.id}},
      {"limit changed", [&] { engine.SetRules(rules(60)); }, {kGame.id.id, kGame2.id.id}},
      {"limit dropped", [&] { engine.SetRules(rules(std::nullopt)); }, {kGame.id.id, kGame2.id.id}},
      {"class changed only", [&] { engine.SetRules(rules(std::nullopt)); }, {}},
  };
  for (const Step& step : steps) {
    told.clear();
    step.change();
    Walk();
    std::sort(told.begin(), told.end());
    EXPECT_EQ(told, step.told) << step.what;
  }
}

TEST_F(RuleEngineTest, ATableLimitTakesPrecedenceAndReleaseReturnsToTheRule) {
  system.Start(kGame);
  engine.SetRules({Rule(L"game.exe", 20, std::nullopt)});
  Walk();
  CpuLimits limits(table, ledger, system);
  limits.SetRules(&engine);
  const LimitTarget target{kGame.id, L"game.exe", kGame.path};

  EXPECT_EQ(limits.Ok(target, 50).rowText, L"50%");
  EXPECT_EQ(system.LimitOf(kGame), "cap 50");
  // A change of the rule meanwhile does not touch the table's limit.
  engine.SetRules({Rule(L"game.exe", 30, std::nullopt)});
  Walk();
  EXPECT_EQ(system.LimitOf(kGame), "cap 50");

  const LimitOutcome released = limits.Release(target);
  EXPECT_EQ(released.rowText, L"30% rule");
  EXPECT_EQ(system.LimitOf(kGame), "cap 30");
  EXPECT_EQ(ledger.Find(kGame.id, EffectKind::CpuCap)->applied, 30);

  // Marking rows shows the rule's limit on the row of a process that holds no slot.
  std::map<int, std::wstring> rows;
  limits.MarkRows(
      {kEditor.id.id, kGame.id.id},
      [](std::uint32_t id) {
        return std::optional<ProcessIdentity>(ProcessIdentity{id, id == 10 ? 1000u : 1300u});
      },
      [&](int row, const std::wstring& text) { rows[row] = text; });
  EXPECT_EQ(rows, (std::map<int, std::wstring>{{1, L"30% rule"}}));

  // Without a rule, Release frees the process as before.
  engine.SetRules({});
  Walk();
  EXPECT_EQ(system.LimitOf(kGame), "");
  limits.Ok(target, 40);
  EXPECT_EQ(limits.Release(target).rowText, L"");
  EXPECT_EQ(system.LimitOf(kGame), "");
}

TEST_F(RuleEngineTest, TheBoosterReturnsARulesProcessToTheRulesClass) {
  system.Start(kGame);
  system.Start(kEditor);
  system.windows = {{1, kGame}, {2, kEditor}};
  engine.SetRules({Rule(L"game.exe", std::nullopt, kBelowNormalPriorityClass)});
  Walk();
  Booster booster(
      system, [] { return 0.5; }, ledger);
  booster.SetRules(&engine);

  system.foreground = 1;
  ASSERT_TRUE(booster.Tick(true, L"High"));
  EXPECT_EQ(system.ClassOf(kGame), kHighPriorityClass);
  // If the program died now, the game would get the class it had before the rule.
  EXPECT_EQ(ledger.Find(kGame.id, EffectKind::Priority)->before, kNormalPriorityClass);

  system.foreground = 2;
  ASSERT_TRUE(booster.Tick(true, L"High"));
  EXPECT_EQ(system.ClassOf(kGame), kBelowNormalPriorityClass);
  EXPECT_EQ(ledger.Find(kGame.id, EffectKind::Priority)->applied, kBelowNormalPriorityClass);

  // The rule changed while the game is raised: the booster returns it to the new class.
  system.foreground = 1;
  ASSERT_TRUE(booster.Tick(true, L"High"));
  engine.SetRules({Rule(L"game.exe", std::nullopt, kIdlePriorityClass)});
  Walk();
  EXPECT_EQ(system.ClassOf(kGame), kHighPriorityClass) << "the foreground keeps its boost";
  booster.GiveBack();
  EXPECT_EQ(system.ClassOf(kGame), kIdlePriorityClass);

  // Removed while raised: the booster returns it to its own class.
  booster.Tick(true, L"High");
  system.foreground = 2;
  booster.Tick(true, L"High");
  system.foreground = 1;
  booster.Tick(true, L"High");
  engine.SetRules({});
  Walk();
  booster.GiveBack();
  EXPECT_EQ(system.ClassOf(kGame), kNormalPriorityClass);
  EXPECT_TRUE(ledger.Empty());
}

}  // namespace
}  // namespace quorvant::engine
