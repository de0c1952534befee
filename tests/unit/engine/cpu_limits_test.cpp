#include "engine/core/cpu_limits.h"
#include "engine/core/duty_cycle.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace quorvant::engine {
namespace {

// Processes as the tests name them: A and B run; A2 has A's id but started later.
const ProcessIdentity kA{100, 5000};
const ProcessIdentity kB{200, 5100};
const ProcessIdentity kC{300, 5200};
const ProcessIdentity kD{400, 5300};
const ProcessIdentity kA2{100, 9000};

std::string Name(const ProcessIdentity& p) {
  if (p == kA) return "A";
  if (p == kB) return "B";
  if (p == kC) return "C";
  if (p == kD) return "D";
  if (p == kA2) return "A2";
  return "?";
}

// The system as the limits see it: what each process is held to right now, and every call
// in order. The cap may be offered or not; single processes may refuse or end.
class FakeThrottle final : public CpuThrottle {
 public:
  bool capOffered = true;
  std::map<std::string, ThrottleAnswer> refuse;
  std::set<std::string> ended;
  std::map<std::string, std::string> held;  // process -> "cap 30" / "duty 30"
  std::vector<std::string> calls;

  ThrottleAnswer Cap(const ProcessIdentity& p, int percent) override {
    calls.push_back("cap " + Name(p));
    if (!capOffered) return ThrottleAnswer::NotOffered;
    return Hold(p, "cap", percent);
  }
  ThrottleAnswer ChangeCap(const ProcessIdentity& p, int percent) override {
    calls.push_back("change cap " + Name(p));
    return Hold(p, "cap", percent);
  }
  void Uncap(const ProcessIdentity& p) override {
    calls.push_back("uncap " + Name(p));
    held.erase(Name(p));
  }
  ThrottleAnswer StartDutyCycle(const ProcessIdentity& p, int percent) override {
    calls.push_back("duty " + Name(p));
    return Hold(p, "duty", percent);
  }
  ThrottleAnswer ChangeDutyCycle(const ProcessIdentity& p, int percent) override {
    calls.push_back("change duty " + Name(p));
    return Hold(p, "duty", percent);
  }
  void StopDutyCycle(const ProcessIdentity& p) override {
    calls.push_back("resume " + Name(p));
    held.erase(Name(p));
  }
  bool Ended(const ProcessIdentity& p) override { return ended.count(Name(p)) != 0; }
  bool Own(const ProcessIdentity& p) override { return own.count(Name(p)) != 0; }
  std::set<std::string> own;

 private:
  ThrottleAnswer Hold(const ProcessIdentity& p, const std::string& how, int percent) {
    if (ended.count(Name(p))) return ThrottleAnswer::Gone;
    const auto refusal = refuse.find(Name(p));
    if (refusal != refuse.end()) return refusal->second;
    held[Name(p)] = how + " " + std::to_string(percent);
    return ThrottleAnswer::Done;
  }
};

std::map<std::string, std::string> Ledger(const EffectLedger& ledger) {
  std::map<std::string, std::string> out;
  for (const Effect& e : ledger.Effects()) {
    out[Name(e.process)] =
        (e.kind == EffectKind::CpuCap ? "cap " : "duty ") + std::to_string(e.applied);
  }
  return out;
}

std::map<std::string, int> Slots(const LimitSlotTable& table) {
  std::map<std::string, int> out;
  for (int i = LimitSlotTable::kFirst; i <= LimitSlotTable::kLast; ++i) {
    if (table[i].InUse)
      out[Name(table[i].Process) + "@" + std::to_string(i)] = table[i].LimitPercent;
  }
  return out;
}

LimitTarget Target(const ProcessIdentity& p) {
  const std::string name = Name(p);
  return {p, std::wstring(name.begin(), name.end()) + L".exe", L"c:\\" + std::to_wstring(p.id)};
}

// A limit's life, step by step: what the row shows, what the user is told, what the system
// holds each process to, what the ledger records and which slots are in use.
TEST(CpuLimitsTest, LifeOfLimitsOverTheCapAndTheDutyCycle) {
  enum class Op { Ok, Adjust, Release, End, ForgetEnded, Refuse, Exit };
  struct Step {
    const char* what;
    Op op;
    ProcessIdentity process;
    int percent;
    std::wstring row;
    std::wstring message;  // empty: none
    std::map<std::string, std::string> held;
    std::map<std::string, int> slots;
  };
  using M = std::map<std::string, std::string>;
  using S = std::map<std::string, int>;
  const Step steps[] = {
      {"OK limits A", Op::Ok, kA, 30, L"30%", L"", M{{"A", "cap 30"}}, S{{"A@1", 30}}},
      {"OK again for A changes its slot", Op::Ok, kA, 50, L"50%", L"", M{{"A", "cap 50"}},
       S{{"A@1", 50}}},
      {"Adjustment", Op::Adjust, kA, 20, L"20%", L"", M{{"A", "cap 20"}}, S{{"A@1", 20}}},
      {"B refuses: nothing taken", Op::Refuse, kB, 40, L"",
       L"Could not limit B.exe (PID 200): access denied.", M{{"A", "cap 20"}}, S{{"A@1", 20}}},
      {"C limited", Op::Ok, kC, 10, L"10%", L"", M{{"A", "cap 20"}, {"C", "cap 10"}},
       S{{"A@1", 20}, {"C@2", 10}}},
      {"Release A", Op::Release, kA, 0, L"", L"", M{{"C", "cap 10"}}, S{{"C@2", 10}}},
      {"Release again changes nothing", Op::Release, kA, 0, L"", L"", M{{"C", "cap 10"}},
       S{{"C@2", 10}}},
      {"Adjustment without a slot", Op::Adjust, kA, 70, L"", L"", M{{"C", "cap 10"}},
       S{{"C@2", 10}}},
      {"A2 (A's id, started later) is not A", Op::Adjust, kA2, 70, L"", L"", M{{"C", "cap 10"}},
       S{{"C@2", 10}}},
      {"first free slot reused", Op::Ok, kD, 60, L"60%", L"", M{{"C", "cap 10"}, {"D", "cap 60"}},
       S{{"D@1", 60}, {"C@2", 10}}},
      // An ended process keeps its slot until the list is rebuilt; its effect goes at once.
      {"C ends", Op::End, kC, 0, L"", L"", M{{"C", "cap 10"}, {"D", "cap 60"}},
       S{{"D@1", 60}, {"C@2", 10}}},
      {"the tick forgets it",
       Op::ForgetEnded,
       {},
       0,
       L"",
       L"",
       M{{"D", "cap 60"}},
       S{{"D@1", 60}, {"C@2", 10}}},
      {"Adjustment of the ended one is refused and frees its slot", Op::Adjust, kC, 30, L"",
       L"Could not limit C.exe (PID 300): the process has ended.", M{{"D", "cap 60"}},
       S{{"D@1", 60}}},
      {"exit lifts everything", Op::Exit, {}, 0, L"", L"", M{}, S{}},
  };

  LimitSlotTable table;
  EffectLedger ledger;
  FakeThrottle throttle;
  CpuLimits limits(table, ledger, throttle);
  for (const Step& s : steps) {
    LimitOutcome outcome;
    switch (s.op) {
      case Op::Ok:
        outcome = limits.Ok(Target(s.process), s.percent);
        break;
      case Op::Refuse:
        throttle.refuse[Name(s.process)] = ThrottleAnswer::AccessDenied;
        outcome = limits.Ok(Target(s.process), s.percent);
        break;
      case Op::Adjust:
        outcome = limits.Adjustment(Target(s.process), s.percent);
        break;
      case Op::Release:
        outcome = limits.Release(Target(s.process));
        break;
      case Op::End:
        throttle.ended.insert(Name(s.process));
        break;
      case Op::ForgetEnded:
        limits.ForgetEnded();
        throttle.held.erase("C");  // a process that ended holds nothing
        break;
      case Op::Exit:
        limits.LiftAll();
        break;
    }
    EXPECT_EQ(outcome.rowText, s.row) << s.what;
    EXPECT_EQ(outcome.refusal.value_or(L""), s.message) << s.what;
    EXPECT_EQ(throttle.held, s.held) << s.what;
    EXPECT_EQ(Slots(table), s.slots) << s.what;
    // The ledger records exactly what is held, at every step.
    if (s.op != Op::End) {
      EXPECT_EQ(Ledger(ledger), s.held) << s.what;
    }
  }
}

TEST(CpuLimitsTest, CapTriedFirstThenTheDutyCycleOnceTheSystemHasNone) {
  LimitSlotTable table;
  EffectLedger ledger;
  FakeThrottle throttle;
  throttle.capOffered = false;
  // The ledger holds each limit before the system is asked to apply it.
  std::vector<std::map<std::string, std::string>> seen;
  ledger.changed = [&](const EffectLedger& l) {
    seen.push_back(Ledger(l));
    return true;
  };
  CpuLimits limits(table, ledger, throttle);

  EXPECT_EQ(limits.Ok(Target(kA), 30).rowText, L"30%");
  EXPECT_EQ(limits.Ok(Target(kB), 60).rowText, L"60%");
  EXPECT_EQ(limits.Adjustment(Target(kA), 45).rowText, L"45%");
  (void)limits.Release(Target(kB));
  EXPECT_EQ(throttle.calls,
            (std::vector<std::string>{"cap A", "duty A", "duty B", "change duty A", "resume B"}));
  EXPECT_EQ(throttle.held, (std::map<std::string, std::string>{{"A", "duty 45"}}));
  using M = std::map<std::string, std::string>;
  EXPECT_EQ(seen, (std::vector<M>{M{{"A", "cap 30"}}, M{}, M{{"A", "duty 30"}},
                                  M{{"A", "duty 30"}, {"B", "duty 60"}},
                                  M{{"A", "duty 45"}, {"B", "duty 60"}}, M{{"A", "duty 45"}}}));

  // A refused duty cycle leaves neither slot nor ledger entry behind.
  throttle.refuse["C"] = ThrottleAnswer::InJob;
  const auto refused = limits.Ok(Target(kC), 10);
  EXPECT_EQ(refused.rowText, L"");
  EXPECT_EQ(refused.refusal.value_or(L""),
            L"Could not limit C.exe (PID 300): it belongs to a job that does not allow a limit.");
  EXPECT_FALSE(table.FindLive(kC));
  EXPECT_FALSE(ledger.Find(kC, EffectKind::DutyCycle));

  // Ending the limits resumes the cycled process.
  limits.LiftAll();
  EXPECT_EQ(throttle.calls.back(), "resume A");
  EXPECT_TRUE(ledger.Empty());
}

TEST(CpuLimitsTest, RefusalsAndTheFullTable) {
  LimitSlotTable table;
  EffectLedger ledger;
  FakeThrottle throttle;
  CpuLimits limits(table, ledger, throttle);
  struct Case {
    ThrottleAnswer answer;
    std::wstring reason;
  };
  const Case cases[] = {
      {ThrottleAnswer::AccessDenied, L"access denied"},
      {ThrottleAnswer::Gone, L"the process has ended"},
      {ThrottleAnswer::InJob, L"it belongs to a job that does not allow a limit"},
      {ThrottleAnswer::Failed, L"the system refused"},
  };
  for (const Case& c : cases) {
    throttle.refuse["A"] = c.answer;
    const auto outcome = limits.Ok(Target(kA), 50);
    EXPECT_EQ(outcome.refusal.value_or(L""),
              L"Could not limit A.exe (PID 100): " + c.reason + L".");
    EXPECT_EQ(outcome.rowText, L"");
    EXPECT_EQ(table.CountInUse(), 0);
    EXPECT_TRUE(ledger.Empty());
  }
  // The program itself, or its watcher.
  throttle.refuse.clear();
  throttle.own = {"A"};
  EXPECT_EQ(limits.Ok(Target(kA), 50).refusal.value_or(L""),
            L"Could not limit A.exe (PID 100): Quorvant does not limit itself.");
  EXPECT_TRUE(ledger.Empty());
  EXPECT_EQ(throttle.held.count("A"), 0u);
  throttle.own.clear();
  // A row whose process could not be told any more: it has ended.
  const auto unknown = limits.Ok({{100, 0}, L"A.exe", L""}, 50);
  EXPECT_EQ(unknown.refusal.value_or(L""),
            L"Could not limit A.exe (PID 100): the process has ended.");

  throttle.refuse.clear();
  for (const auto& p : {kA, kB, kC}) EXPECT_EQ(limits.Ok(Target(p), 50).rowText, L"50%");
  const auto fourth = limits.Ok(Target(kD), 50);
  EXPECT_EQ(fourth.refusal.value_or(L""), L"Can not limit more");
  EXPECT_EQ(throttle.held.count("D"), 0u);
  // One of the three may still change its limit.
  EXPECT_EQ(limits.Ok(Target(kB), 25).rowText, L"25%");
  EXPECT_EQ(table.CountInUse(), 3);
}

// The ledger on disk cannot be written: the limit is refused before the system is asked,
// over the cap and over the duty cycle alike.
TEST(CpuLimitsTest, ALimitTheLedgerCannotKeepIsRefusedUntouched) {
  for (const bool capOffered : {true, false}) {
    LimitSlotTable table;
    EffectLedger ledger;
    ledger.changed = [](const EffectLedger&) { return false; };
    FakeThrottle throttle;
    throttle.capOffered = capOffered;
    CpuLimits limits(table, ledger, throttle);
    if (!capOffered) {
      // The duty cycle is reached only once the system said it has no cap.
      ledger.changed = nullptr;
      (void)limits.Ok(Target(kB), 50);
      ledger.changed = [](const EffectLedger&) { return false; };
      throttle.calls.clear();
    }
    const auto outcome = limits.Ok(Target(kA), 50);
    EXPECT_EQ(outcome.refusal.value_or(L""),
              L"Could not limit A.exe (PID 100): Quorvant could not save how to undo it.");
    EXPECT_EQ(outcome.rowText, L"");
    EXPECT_TRUE(throttle.calls.empty()) << capOffered;
    EXPECT_EQ(throttle.held.count("A"), 0u);
    EXPECT_FALSE(ledger.Find(kA, EffectKind::CpuCap) || ledger.Find(kA, EffectKind::DutyCycle));
    EXPECT_EQ(table.CountInUse(), capOffered ? 0 : 1);
  }
}

TEST(CpuLimitsTest, MarkingMatchesTheProcessNotItsIdAndLiftsGoneLimits) {
  LimitSlotTable table;
  EffectLedger ledger;
  FakeThrottle throttle;
  CpuLimits limits(table, ledger, throttle);
  (void)limits.Ok(Target(kA), 30);
  (void)limits.Ok(Target(kB), 40);

  // A has ended and its id now names A2.
  std::map<int, std::wstring> written;
  const auto identify = [](std::uint32_t id) -> std::optional<ProcessIdentity> {
    if (id == kA.id) return kA2;
    if (id == kB.id) return kB;
    return kC;
  };
  limits.MarkRows({kA.id, kC.id, kB.id}, identify,
                  [&](int row, const std::wstring& text) { written[row] = text; });
  EXPECT_EQ(written, (std::map<int, std::wstring>{{2, L"40%"}}));
  EXPECT_EQ(Slots(table), (std::map<std::string, int>{{"B@2", 40}}));
  EXPECT_EQ(throttle.held, (std::map<std::string, std::string>{{"B", "cap 40"}}));
  EXPECT_EQ(Ledger(ledger), throttle.held);
  EXPECT_EQ(throttle.calls.back(), "uncap A");
  // A2 never heard of the limit.
  for (const auto& call : throttle.calls) EXPECT_EQ(call.find("A2"), std::string::npos) << call;
}

TEST(DutyCycleTest, RunTimesAndStopsOfOnePeriod) {
  using std::chrono::microseconds;
  struct Case {
    int percent;
    microseconds run;
  };
  const Case cases[] = {{1, microseconds(1000)},   {10, microseconds(10000)},
                        {30, microseconds(30000)}, {60, microseconds(60000)},
                        {90, microseconds(90000)}, {99, microseconds(99000)}};
  for (const Case& c : cases) EXPECT_EQ(DutyRunTime(c.percent), c.run) << c.percent;
  EXPECT_EQ(DutyRunTime(30, microseconds(15600)), microseconds(4680));

  // Earliest stop first; a process allowed the whole period is never stopped.
  EXPECT_EQ(PlanDutyPeriod({60, 10, 100, 30}),
            (std::vector<DutyStop>{
                {microseconds(10000), 1}, {microseconds(30000), 3}, {microseconds(60000), 0}}));
  EXPECT_TRUE(PlanDutyPeriod({}).empty());
}

}  // namespace
}  // namespace quorvant::engine
