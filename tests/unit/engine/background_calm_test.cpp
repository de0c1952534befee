#include "engine/core/background_calm.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/core/booster.h"

namespace quorvant {
namespace {

constexpr int I = kIdlePriorityClass;
constexpr int B = kBelowNormalPriorityClass;
constexpr int N = kNormalPriorityClass;
constexpr int A = kAboveNormalPriorityClass;
constexpr int H = kHighPriorityClass;
constexpr int R = kRealtimePriorityClass;

constexpr std::uint32_t kSession = 1;
constexpr std::uint32_t kProgram = 1;
constexpr std::uint32_t kWatcher = 2;
constexpr std::uint32_t kHog = 100;
constexpr std::uint32_t kOther = 200;

// Two processors; each process uses a set percentage of the whole machine each second, and
// whatever no process listed uses is idle unless `busy` says otherwise. Its classes are one
// table that both the calm and the booster read and set, and every change is logged; each
// change checks that the ledger already (or still) holds what is applied (or given back).
class FakeMachine final : public CalmSystem, public BoosterDesktop {
 public:
  struct Process {
    std::uint64_t started = 0;
    std::wstring name;
    int load = 0;  // percent of the whole machine
    int priorityClass = N;
    std::uint32_t session = kSession;
    bool sameUser = true;
    bool refuses = false;
    bool alive = true;
    std::uint64_t cpu = 0;
  };
  static constexpr std::uint64_t kMachinePerSecond = 2 * 10'000'000;  // 100 ns, 2 processors

  explicit FakeMachine(const EffectLedger& ledger) : ledger_(ledger) {
    for (std::uint32_t id : {kProgram, kWatcher, kHog, kOther}) Start(id);
  }

  void Start(std::uint32_t id, std::uint64_t started = 0) {
    processes[id] = {started ? started : id * 1000 + 7, L"p" + std::to_wstring(id) + L".exe"};
  }
  ProcessIdentity Identity(std::uint32_t id) const { return {id, processes.at(id).started}; }

  // One second passes; the sample at its end.
  CpuSample Second(int otherBusy = 0) {
    at += 1000;
    machine += kMachinePerSecond;
    int used = otherBusy;
    CpuSample sample{at, machine, 0, {}};
    for (auto& [id, p] : processes) {
      if (!p.alive) continue;
      p.cpu += static_cast<std::uint64_t>(p.load) * kMachinePerSecond / 100;
      used += p.load;
      sample.processes.push_back({Identity(id), p.session, p.cpu, p.name});
    }
    idle += static_cast<std::uint64_t>(100 - std::min(used, 100)) * kMachinePerSecond / 100;
    sample.machineIdle = idle;
    return sample;
  }

  // CalmSystem and BoosterDesktop alike.
  std::optional<ProcessIdentity> FrontProcess() override {
    ++frontAsked;
    if (!front) return std::nullopt;
    return Identity(*front);
  }
  std::vector<ProcessIdentity> OwnProcesses() override {
    ++ownAsked;
    return {Identity(kProgram), Identity(kWatcher)};
  }
  std::uint32_t OwnSession() override { return kSession; }
  bool SameUser(const ProcessIdentity& p) override {
    ++userAsked;
    return processes.at(p.id).sameUser;
  }
  int PriorityClassOf(const ProcessIdentity& p) override {
    return Live(p) ? processes[p.id].priorityClass : 0;
  }
  bool SetPriorityClassOf(const ProcessIdentity& p, int priorityClass) override {
    if (!Live(p) || processes[p.id].refuses) return false;
    const auto recorded = ledger_.Find(p, EffectKind::Priority);
    EXPECT_TRUE(recorded && recorded->applied == priorityClass) << "set before it was recorded";
    Log(p.id, priorityClass);
    return true;
  }
  void RestorePriority(const ProcessIdentity& p, int priorityClass, int fromClass) override {
    EXPECT_TRUE(ledger_.Find(p, EffectKind::Priority)) << "forgotten before it was given back";
    if (Live(p) && processes[p.id].priorityClass == fromClass) Log(p.id, priorityClass);
  }
  std::wstring TimeOfDay() override { return L"10:00"; }

  // BoosterDesktop: window n belongs to process n.
  WindowId ForegroundWindow() override { return front.value_or(0); }
  std::wstring WindowTitle(WindowId w) override { return L"window " + std::to_wstring(w); }
  std::optional<ProcessIdentity> WindowProcess(WindowId w) override {
    const auto id = static_cast<std::uint32_t>(w);
    if (!processes.count(id) || !Live(Identity(id))) return std::nullopt;
    return Identity(id);
  }

  std::map<std::uint32_t, Process> processes;
  std::optional<std::uint32_t> front;
  std::vector<std::pair<std::uint32_t, int>> changes;
  int userAsked = 0;
  int frontAsked = 0;
  int ownAsked = 0;

 private:
  bool Live(const ProcessIdentity& p) const {
    const auto it = processes.find(p.id);
    return it != processes.end() && it->second.alive && it->second.started == p.started;
  }
  void Log(std::uint32_t id, int priorityClass) {
    processes[id].priorityClass = priorityClass;
    changes.emplace_back(id, priorityClass);
  }

  const EffectLedger& ledger_;
  std::uint64_t at = 50'000, machine = 7'000'000'000, idle = 3'000'000'000;
};

struct Rig {
  EffectLedger ledger;
  FakeMachine machine{ledger};
  std::vector<ProcessIdentity> held;
  BackgroundCalm calm{machine, ledger, [this](const ProcessIdentity& p) {
                        return std::find(held.begin(), held.end(), p) != held.end();
                      }};
  std::vector<CalmRow> rows;
  // Percent of the machine busy with work no listed process does.
  int busy = 0;

  void Seconds(int n) {
    for (int i = 0; i < n; ++i) {
      calm.Step(machine.Second(busy));
      for (CalmRow& row : calm.TakeRows()) rows.push_back(std::move(row));
    }
  }
  int ClassOf(std::uint32_t id) { return machine.processes[id].priorityClass; }
  std::vector<std::wstring> Whys() const {
    std::vector<std::wstring> whys;
    for (const CalmRow& row : rows) whys.push_back(row.why);
    return whys;
  }
};

// The figures and every exclusion: a hog on a busy machine, judged over the first two
// seconds the calm has seen.
TEST(BackgroundCalmTest, DecidesWhomToCalm) {
  struct Case {
    const char* what;
    int hogLoad;
    int busy;  // the rest of the machine's work
    std::function<void(Rig&)> setUp;
    bool calmed;
  };
  const auto nothing = [](Rig&) {};
  const Case cases[] = {
      {"a hog on a busy machine", 38, 40, nothing, true},
      {"just over the share", 16, 40, nothing, true},
      {"exactly the share", 15, 40, nothing, false},
      {"a machine exactly half busy", 20, 30, nothing, false},
      {"a machine just over half busy", 20, 31, nothing, true},
      {"the hog alone makes it busy", 60, 0, nothing, true},
      {"the process in front", 38, 40, [](Rig& r) { r.machine.front = kHog; }, false},
      {"another process in front", 38, 40, [](Rig& r) { r.machine.front = kOther; }, true},
      {"the program itself", 38, 40,
       [](Rig& r) {
         r.machine.processes[kProgram].load = 38;
         r.machine.processes[kHog].load = 0;
       },
       false},
      {"the watcher", 0, 40, [](Rig& r) { r.machine.processes[kWatcher].load = 38; }, false},
      {"another session", 38, 40, [](Rig& r) { r.machine.processes[kHog].session = 0; }, false},
      {"another user", 38, 40, [](Rig& r) { r.machine.processes[kHog].sameUser = false; }, false},
      {"High", 38, 40, [](Rig& r) { r.machine.processes[kHog].priorityClass = H; }, false},
      {"Realtime", 38, 40, [](Rig& r) { r.machine.processes[kHog].priorityClass = R; }, false},
      {"Below Normal already", 38, 40, [](Rig& r) { r.machine.processes[kHog].priorityClass = B; },
       false},
      {"Idle already", 38, 40, [](Rig& r) { r.machine.processes[kHog].priorityClass = I; }, false},
      {"Above Normal", 38, 40, [](Rig& r) { r.machine.processes[kHog].priorityClass = A; }, true},
      {"held by a rule or a limit", 38, 40,
       [](Rig& r) { r.held.push_back(r.machine.Identity(kHog)); }, false},
      {"raised by the booster", 38, 40,
       [](Rig& r) {
         r.ledger.Record({r.machine.Identity(kHog), EffectKind::Priority, N, A});
         r.machine.processes[kHog].priorityClass = A;
       },
       false},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.machine.processes[kHog].load = c.hogLoad;
    rig.busy = c.busy;
    c.setUp(rig);
    const int before = rig.ClassOf(kHog);
    rig.Seconds(1);
    EXPECT_TRUE(rig.calm.Calmed().empty()) << c.what << ": judged before two seconds were seen";
    rig.Seconds(2);
    const auto calmed = rig.calm.Calmed();
    if (c.calmed) {
      ASSERT_EQ(calmed.size(), 1u) << c.what;
      EXPECT_EQ(calmed[0], rig.machine.Identity(kHog)) << c.what;
      EXPECT_EQ(rig.ClassOf(kHog), B) << c.what;
      const auto effect = rig.ledger.Find(calmed[0], EffectKind::Priority);
      ASSERT_TRUE(effect) << c.what;
      EXPECT_EQ(effect->before, before) << c.what;
      ASSERT_EQ(rig.rows.size(), 1u) << c.what;
      EXPECT_EQ(rig.rows[0], (CalmRow{L"10:00", L"p100.exe", B, CalmedWhy(c.hogLoad)})) << c.what;
    } else {
      EXPECT_TRUE(calmed.empty()) << c.what;
      EXPECT_EQ(rig.ClassOf(kHog), before) << c.what;
      EXPECT_TRUE(rig.rows.empty()) << c.what;
    }
  }
}

TEST(BackgroundCalmTest, TheLogSaysWhatWasDoneAndWhy) {
  EXPECT_EQ(CalmedWhy(38), L"calmed: 38 % of the CPU in the background");
  EXPECT_EQ(QuietWhy(), L"given back: under 5 % of the CPU for 3 s");
  EXPECT_EQ(PriorityClassName(B), L"Below Normal");
  EXPECT_EQ(PriorityClassName(A), L"Above Normal");
  EXPECT_EQ(PriorityClassName(0x21), L"");
}

// A calmed hog stays calmed while it works and is given its class back once it has used
// less than the quiet share over three seconds; at exactly that share it stays calmed.
TEST(BackgroundCalmTest, GivenBackAfterThreeQuietSeconds) {
  for (const int quietLoad : {5, 4}) {
    Rig rig;
    rig.machine.processes[kHog].load = 40;
    rig.busy = 40;
    rig.Seconds(3);
    ASSERT_EQ(rig.ClassOf(kHog), B);
    rig.Seconds(3);
    EXPECT_EQ(rig.ClassOf(kHog), B) << "a working hog stays calmed";

    rig.machine.processes[kHog].load = quietLoad;
    rig.Seconds(2);
    EXPECT_EQ(rig.ClassOf(kHog), B) << "quiet for two seconds only";
    rig.Seconds(1);
    if (quietLoad == 5) {
      EXPECT_EQ(rig.ClassOf(kHog), B);
      EXPECT_EQ(rig.calm.Calmed().size(), 1u);
      continue;
    }
    EXPECT_EQ(rig.ClassOf(kHog), N);
    EXPECT_TRUE(rig.ledger.Empty());
    EXPECT_EQ(rig.rows.back(), (CalmRow{L"10:00", L"p100.exe", N, QuietWhy()}));
  }
}

TEST(BackgroundCalmTest, EveryWayOfEndingGivesBack) {
  struct Case {
    const char* what;
    std::function<void(Rig&)> end;
    int classAfter;
    std::wstring why;  // empty: no row
  };
  const Case cases[] = {
      {"comes to the front",
       [](Rig& r) {
         r.machine.front = kHog;
         r.Seconds(1);
       },
       N, L"given back: it came to the front"},
      {"setting switched off",
       [](Rig& r) {
         r.calm.SwitchOff();
         r.rows = r.calm.TakeRows();
       },
       N, L"given back: calm switched off"},
      {"program ends", [](Rig& r) { r.calm.GiveBackAll(); }, N, L""},
      {"class changed by someone else",
       [](Rig& r) {
         r.machine.processes[kHog].priorityClass = I;
         r.Seconds(1);
       },
       I, L"left as it is: its class was changed meanwhile"},
      {"process ends",
       [](Rig& r) {
         r.machine.processes[kHog].alive = false;
         r.Seconds(1);
       },
       B, L"ended while calmed"},
      {"given back by the whole ledger elsewhere",
       [](Rig& r) {
         r.ledger.Forget(r.machine.Identity(kHog), EffectKind::Priority);
         r.machine.processes[kHog].priorityClass = N;
         r.calm.SwitchOff();
       },
       N, L""},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.machine.processes[kHog].load = 40;
    rig.busy = 40;
    rig.Seconds(3);
    ASSERT_EQ(rig.ClassOf(kHog), B) << c.what;
    rig.rows.clear();
    c.end(rig);
    EXPECT_EQ(rig.ClassOf(kHog), c.classAfter) << c.what;
    EXPECT_TRUE(rig.ledger.Empty()) << c.what;
    EXPECT_TRUE(rig.calm.Calmed().empty()) << c.what;
    if (c.why.empty()) {
      EXPECT_TRUE(rig.rows.empty()) << c.what;
    } else {
      ASSERT_EQ(rig.rows.size(), 1u) << c.what;
      EXPECT_EQ(rig.rows[0].why, c.why) << c.what;
    }
  }
}

TEST(BackgroundCalmTest, AChangedClassStaysAndTheCalmKeepsOffIt) {
  Rig rig;
  rig.machine.processes[kHog].load = 40;
  rig.busy = 40;
  rig.Seconds(3);
  rig.machine.processes[kHog].priorityClass = N;  // the user puts it back by hand
  rig.Seconds(5);
  EXPECT_EQ(rig.ClassOf(kHog), N);
  EXPECT_EQ(rig.machine.changes.size(), 1u) << "calmed once only";

  // A new process under the same id is another program and is judged afresh.
  rig.machine.Start(kHog, 999'999);
  rig.machine.processes[kHog].load = 40;
  rig.Seconds(2);
  EXPECT_EQ(rig.ClassOf(kHog), B);
}

TEST(BackgroundCalmTest, RefusalsAndOtherUsersAreAskedOnce) {
  Rig rig;
  rig.machine.processes[kHog].load = 40;
  rig.machine.processes[kHog].refuses = true;
  rig.machine.processes[kOther].load = 40;
  rig.machine.processes[kOther].sameUser = false;
  rig.Seconds(8);
  EXPECT_TRUE(rig.ledger.Empty()) << "a refusal leaves no record";
  EXPECT_EQ(rig.ClassOf(kHog), N);
  EXPECT_EQ(rig.Whys(), std::vector<std::wstring>{L"not calmed: the system refused"});
  EXPECT_EQ(rig.machine.userAsked, 2) << "each process's user is asked once in its life";
}

// Each question wakes the system: while nothing passes the figures and nothing is calmed,
// a second's sample asks for neither the window in front nor the program's own processes.
TEST(BackgroundCalmTest, TheFrontAndItsOwnAreAskedOnlyWhenAProcessNeedsThem) {
  Rig rig;
  rig.busy = 90;
  rig.machine.processes[kOther].load = 10;
  rig.Seconds(5);
  EXPECT_EQ(rig.machine.frontAsked, 0);
  EXPECT_EQ(rig.machine.ownAsked, 0);

  rig.machine.processes[kHog].load = 40;
  rig.Seconds(2);
  ASSERT_EQ(rig.ClassOf(kHog), B);
  EXPECT_GT(rig.machine.frontAsked, 0) << "a hog is never calmed without asking who is in front";
  EXPECT_GT(rig.machine.ownAsked, 0);
  // While one is calmed, coming to the front is watched every second.
  const int asked = rig.machine.frontAsked;
  rig.Seconds(2);
  EXPECT_EQ(rig.machine.frontAsked, asked + 2);
}

TEST(BackgroundCalmTest, WithoutSamplesNothingIsJudgedAndThatIsSaidOnce) {
  Rig rig;
  rig.machine.processes[kHog].load = 40;
  rig.busy = 40;
  rig.Seconds(3);
  rig.calm.StepWithoutSample();
  rig.calm.StepWithoutSample();
  EXPECT_EQ(rig.ClassOf(kHog), B) << "a calmed process stays calmed";
  rig.machine.front = kHog;
  rig.calm.StepWithoutSample();
  EXPECT_EQ(rig.ClassOf(kHog), N) << "coming to the front needs no sample";
  const auto rows = rig.calm.TakeRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].why, L"calm paused: the list of running processes cannot be read");
  EXPECT_EQ(rows[1].why, L"given back: it came to the front");
}

// Calmed in the background, brought to the front and boosted, demoted, calmed again: the
// booster raises it from its own class and returns it there, never to Below Normal.
TEST(BackgroundCalmTest, WorksWithTheBooster) {
  Rig rig;
  Booster booster(
      rig.machine, [] { return 0.5; }, rig.ledger);
  booster.comingToFront = [&](const ProcessIdentity& p) { rig.calm.ToFront(p); };
  rig.machine.processes[kHog].load = 40;
  rig.busy = 40;
  rig.Seconds(3);
  ASSERT_EQ(rig.ClassOf(kHog), B);

  rig.machine.front = kHog;
  ASSERT_TRUE(booster.Tick(true, kLevelHigh));
  EXPECT_EQ(rig.ClassOf(kHog), H);
  rig.Seconds(3);
  EXPECT_EQ(rig.ClassOf(kHog), H) << "the boosted process in front is not calmed";

  rig.machine.front = kOther;
  ASSERT_TRUE(booster.Tick(true, kLevelHigh));
  EXPECT_EQ(rig.ClassOf(kHog), N) << "demoted to its own class";
  rig.Seconds(1);
  EXPECT_EQ(rig.ClassOf(kHog), B) << "and calmed again";

  const std::vector<std::pair<std::uint32_t, int>> changes{{kHog, B}, {kHog, N},   {kHog, H},
                                                           {kHog, N}, {kOther, H}, {kHog, B}};
  EXPECT_EQ(rig.machine.changes, changes);
  EXPECT_EQ(rig.Whys(), (std::vector<std::wstring>{
                            CalmedWhy(40), L"given back: it came to the front", CalmedWhy(40)}));
  booster.GiveBack();
  rig.calm.GiveBackAll();
  EXPECT_TRUE(rig.ledger.Empty());
  EXPECT_EQ(rig.ClassOf(kHog), N);
  EXPECT_EQ(rig.ClassOf(kOther), N);
}

}  // namespace
}  // namespace quorvant
