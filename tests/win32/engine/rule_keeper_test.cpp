#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "engine/core/priority_class.h"
#include "engine/win32/ini_rule_store.h"
#include "engine/win32/memory_release_walk.h"
#include "engine/win32/process_throttle.h"
#include "engine/win32/processes.h"
#include "engine/win32/rule_keeper.h"
#include "engine/win32/system_process_walk.h"
#include "tests/support/burner.h"
#include "tests/support/child_process.h"
#include "tests/support/wine.h"
#include "tests/win32/support/message_pump.h"

namespace quorvant::win32 {
namespace {

using namespace std::chrono_literals;
using test_support::PumpUntil;
using testing_support::Burner;
using testing_support::ChildProcess;

// A Config.ini of the test's own, removed at the end.
class ConfigFile {
 public:
  ConfigFile() {
    wchar_t temp[MAX_PATH]{};
    (void)::GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"quorvant-rules-" + std::to_wstring(::GetCurrentProcessId()) +
            L"-" + std::to_wstring(::GetTickCount64()) + L".ini";
  }
  ~ConfigFile() { (void)::DeleteFileW(path_.c_str()); }
  const std::wstring& Path() const { return path_; }
  void Write(const wchar_t* section, const wchar_t* key, const wchar_t* value) const {
    ASSERT_TRUE(::WritePrivateProfileStringW(section, key, value, path_.c_str()))
        << ::GetLastError();
  }
  std::wstring Read(const wchar_t* section, const wchar_t* key) const {
    wchar_t value[512]{};
    (void)::GetPrivateProfileStringW(section, key, L"", value, 512, path_.c_str());
    return value;
  }

 private:
  std::wstring path_;
};

int ClassOf(HANDLE process) { return static_cast<int>(::GetPriorityClass(process)); }

TEST(IniRuleStoreTest, ReadsTheSectionWholeAndWritesOneKeyWithoutTouchingOthers) {
  ConfigFile config;
  config.Write(L"Process", L"ImproveSpeed", L"High");
  config.Write(L"Rules", L"Version", L"1");
  config.Write(L"Rules", L"Rule1", L"game.exe|priority=High");
  config.Write(L"Rules", L"Rule2", L"broken");
  IniRuleStore store(config.Path());
  EXPECT_EQ(store.ReadSection(),
            (std::vector<engine::StoredEntry>{
                {L"Version", L"1"}, {L"Rule1", L"game.exe|priority=High"}, {L"Rule2", L"broken"}}));

  engine::RuleBook book(store, UpperFileName);
  book.Load();
  ASSERT_EQ(book.Skipped().size(), 1u);
  ASSERT_EQ(book.Add({L"C:\\Users\\Jos\u00e9\\\u03c9.exe", 20, std::nullopt, true}), std::nullopt);
  EXPECT_EQ(book.Remove(L"Rule1"), std::nullopt);
  // Every other setting and the damaged entry stay as they were; the new rule reads back.
  EXPECT_EQ(config.Read(L"Process", L"ImproveSpeed"), L"High");
  EXPECT_EQ(config.Read(L"Rules", L"Rule2"), L"broken");
  EXPECT_EQ(config.Read(L"Rules", L"Rule1"), L"");
  engine::RuleBook again(store, UpperFileName);
  again.Load();
  EXPECT_EQ(again.Rules(), book.Rules());
  ASSERT_EQ(again.Rules().size(), 1u);
  EXPECT_EQ(again.Rules()[0].rule.program, L"C:\\Users\\Jos\u00e9\\\u03c9.exe");
}

// A rule written in Config.ini reaches a burner started afterwards within two seconds,
// comes back when the program starts again with the burner still running, and lets go of
// it at once when the rule is removed.
TEST(RuleKeeperTest, ABurnersRuleIsAppliedAtItsStartAgainAfterARestartAndGivenBackOnRemoval) {
  if (!testing_support::UnderWine()) GTEST_SKIP() << testing_support::kNeedsLinuxProc;
  ConfigFile config;
  config.Write(L"Rules", L"Rule1", L"BURNER.exe|cpu=20|priority=Below Normal");
  EffectLedger ledger;
  LimitSlotTable table;
  LedgerKeeper ledgerKeeper;
  ProcessThrottle throttle{ledgerKeeper};
  constexpr double kSlack = 10.0;  // the scheduler's rounding of each period

  auto keeper = std::make_unique<RuleKeeper>(config.Path(), ledger, throttle, table);
  keeper->Start();
  EXPECT_TRUE(keeper->Walking());

  Burner burner;
  const auto started = std::chrono::steady_clock::now();
  ASSERT_NE(burner.UnixPid(), 0u);
  const auto identity = IdentityOfId(burner.Id());
  ASSERT_TRUE(identity);
  auto limited = [&] {
    return (ledger.Find(*identity, EffectKind::CpuCap) ||
            ledger.Find(*identity, EffectKind::DutyCycle)) &&
           ClassOf(burner.Handle()) == BELOW_NORMAL_PRIORITY_CLASS;
  };
  ASSERT_TRUE(PumpUntil(limited, 5s));
  const auto reached = std::chrono::steady_clock::now() - started;
  EXPECT_LE(reached, 2s) << std::chrono::duration_cast<std::chrono::milliseconds>(reached).count()
                         << " ms from the start to the rule";
  std::printf("rule applied %lld ms after the start; limited by %s\n",
              static_cast<long long>(
                  std::chrono::duration_cast<std::chrono::milliseconds>(reached).count()),
              ledger.Find(*identity, EffectKind::CpuCap) ? "the job cap" : "the duty cycle");
  const double share = burner.Share(3s);
  EXPECT_LE(share, 20.0 + kSlack);

  // Quorvant ends (everything given back) and starts again: the running burner is held at
  // once.
  keeper.reset();
  EXPECT_TRUE(ledger.Empty());
  EXPECT_EQ(ClassOf(burner.Handle()), NORMAL_PRIORITY_CLASS);
  keeper = std::make_unique<RuleKeeper>(config.Path(), ledger, throttle, table);
  keeper->Start();
  EXPECT_TRUE(limited()) << "applied by the start's own walk";

  // Removed: free at once, its class back.
  ASSERT_EQ(keeper->Book().Rules().size(), 1u);
  ASSERT_EQ(keeper->Remove(keeper->Book().Rules()[0].key), std::nullopt);
  EXPECT_TRUE(ledger.Empty());
  EXPECT_EQ(ClassOf(burner.Handle()), NORMAL_PRIORITY_CLASS);
  EXPECT_FALSE(keeper->Walking()) << "no rule, no walks";
  EXPECT_GT(burner.Share(2s), std::max(share * 1.5, 20.0 + kSlack));
  EXPECT_EQ(config.Read(L"Rules", L"Rule1"), L"");
}

// With the calm on, its walk serves the rules: the keeper's own timer rests, a walk handed
// to it applies the rules, and each walk tells whose rule limit it changed, once.
TEST(RuleKeeperTest, ASharedWalkServesTheRulesAndTellsWhoseLimitChanged) {
  ConfigFile config;
  config.Write(L"Rules", L"Rule1", L"cmd.exe|cpu=20");
  EffectLedger ledger;
  LimitSlotTable table;
  LedgerKeeper ledgerKeeper;
  ProcessThrottle throttle{ledgerKeeper};
  RuleKeeper keeper(config.Path(), ledger, throttle, table);
  std::vector<ProcessIdentity> told;
  keeper.limitsChanged = [&](const std::vector<ProcessIdentity>& processes) {
    told.insert(told.end(), processes.begin(), processes.end());
  };
  keeper.ShareWalks(true);
  keeper.Start();
  EXPECT_FALSE(keeper.Walking()) << "while shared, its own timer rests";

  ChildProcess child;  // cmd.exe
  const auto identity = IdentityOfId(child.Id());
  ASSERT_TRUE(identity);
  auto limited = [&] {
    return ledger.Find(*identity, EffectKind::CpuCap) ||
           ledger.Find(*identity, EffectKind::DutyCycle);
  };
  SystemProcessWalker walker;
  const auto* walked = walker.Walk();
  ASSERT_TRUE(walked);
  keeper.WalkFrom(walked);
  EXPECT_TRUE(limited());
  EXPECT_EQ(told, std::vector<ProcessIdentity>{*identity});
  told.clear();
  keeper.WalkFrom(walker.Walk());
  EXPECT_TRUE(told.empty()) << "nothing new, nothing told";

  // The sharer made no walk: the keeper walks itself.
  keeper.WalkFrom(nullptr);
  EXPECT_TRUE(limited());
  keeper.ShareWalks(false);
  EXPECT_TRUE(keeper.Walking());

  ASSERT_EQ(keeper.Remove(keeper.Book().Rules()[0].key), std::nullopt);
  EXPECT_FALSE(limited());
  EXPECT_EQ(told, std::vector<ProcessIdentity>{*identity});
}

TEST(RuleKeeperTest, NoRuleMeansNoWalksAndDamageIsLoggedOnce) {
  ConfigFile config;
  config.Write(L"Rules", L"Rule1", L"game.exe|cpu=150");
  EffectLedger ledger;
  LimitSlotTable table;
  LedgerKeeper ledgerKeeper;
  ProcessThrottle throttle{ledgerKeeper};
  RuleKeeper keeper(config.Path(), ledger, throttle, table);
  keeper.Start();
  EXPECT_FALSE(keeper.Walking());
  ASSERT_EQ(keeper.Log().size(), 1u);
  EXPECT_NE(keeper.Log()[0].find(L"Rule1"), std::wstring::npos);
}

TEST(RuleKeeperTest, TheReleasePassesANeverTrimProgramOver) {
  ConfigFile config;
  config.Write(L"Rules", L"Rule1", L"cmd.exe|memory=never trim");
  EffectLedger ledger;
  LimitSlotTable table;
  LedgerKeeper ledgerKeeper;
  ProcessThrottle throttle{ledgerKeeper};
  ChildProcess child;  // cmd.exe
  RuleKeeper keeper(config.Path(), ledger, throttle, table);
  keeper.Start();

  // The walk asks about every process; the rule's cmd.exe is passed over, the other not.
  std::set<std::uint32_t> skipped, trimmed;
  DoAllMiniUseMemory([&](std::uint32_t id) {
    const bool skip = keeper.Engine().NeverTrim(id);
    (skip ? skipped : trimmed).insert(id);
    return skip;
  });
  EXPECT_TRUE(skipped.count(child.Id()));
  EXPECT_TRUE(trimmed.count(::GetCurrentProcessId()));
}

}  // namespace
}  // namespace quorvant::win32
