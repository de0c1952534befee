#include "engine/core/effect_ledger.h"
#include "engine/core/watch_arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/priority_class.h"

namespace quorvant {
namespace {

constexpr ProcessIdentity kA{100, 133000000000000001};
constexpr ProcessIdentity kB{200, 133000000000000002};
constexpr ProcessIdentity kC{300, 133000000000000003};
// The same id as A, started later: another program.
constexpr ProcessIdentity kAReused{100, 133000000000000099};

Effect Raise(ProcessIdentity p, int before = kNormalPriorityClass, int to = kHighPriorityClass) {
  return {p, EffectKind::Priority, before, to};
}
Effect Cap(ProcessIdentity p, int percent) { return {p, EffectKind::CpuCap, 0, percent}; }
Effect Duty(ProcessIdentity p, int percent) { return {p, EffectKind::DutyCycle, 0, percent}; }

// Records what is given back, in order.
class RecordingUndo final : public EffectUndo {
 public:
  bool RestorePriority(const ProcessIdentity& p, int priorityClass, int raisedClass) override {
    calls.push_back("restore " + std::to_string(p.id) + " " + std::to_string(priorityClass) +
                    " from " + std::to_string(raisedClass));
    return refused != p.id;
  }
  bool Uncap(const ProcessIdentity& p) override {
    calls.push_back("uncap " + std::to_string(p.id));
    return refused != p.id;
  }
  bool Resume(const ProcessIdentity& p) override {
    calls.push_back("resume " + std::to_string(p.id));
    return refused != p.id;
  }
  std::vector<std::string> calls;
  std::uint32_t refused = 0;  // this process's effects cannot be taken back
};

TEST(EffectLedgerTest, RecordForgetAndIdentity) {
  EffectLedger ledger;
  int told = 0;
  ledger.changed = [&](const EffectLedger&) {
    ++told;
    return true;
  };

  ledger.Record(Raise(kA));
  ledger.Record(Cap(kA, 30));
  ledger.Record(Raise(kB, kBelowNormalPriorityClass, kAboveNormalPriorityClass));
  EXPECT_EQ(ledger.Effects().size(), 3u);
  EXPECT_EQ(told, 3);

  // One effect of a kind per process: a second record replaces the first.
  ledger.Record(Cap(kA, 60));
  EXPECT_EQ(ledger.Effects().size(), 3u);
  EXPECT_EQ(ledger.Find(kA, EffectKind::CpuCap)->applied, 60);
  // Recording what is already there tells no one.
  ledger.Record(Cap(kA, 60));
  EXPECT_EQ(told, 4);

  // A reused id is another process: it finds nothing and forgets nothing of A's.
  EXPECT_FALSE(ledger.Find(kAReused, EffectKind::Priority));
  ledger.Forget(kAReused, EffectKind::Priority);
  EXPECT_EQ(ledger.Effects().size(), 3u);
  EXPECT_EQ(told, 4);

  ledger.Forget(kA, EffectKind::Priority);
  EXPECT_FALSE(ledger.Find(kA, EffectKind::Priority));
  EXPECT_TRUE(ledger.Find(kA, EffectKind::CpuCap));
  EXPECT_EQ(told, 5);
}

TEST(EffectLedgerTest, BatchTellsOnceWhenItEnds) {
  EffectLedger ledger;
  std::vector<size_t> sizes;
  ledger.changed = [&](const EffectLedger& l) {
    sizes.push_back(l.Effects().size());
    return true;
  };
  ledger.Record(Raise(kA));
  {
    // A boost: A given back and forgotten, B recorded before it is raised.
    const EffectLedger::Batch outer(ledger);
    ledger.Forget(kA, EffectKind::Priority);
    {
      const EffectLedger::Batch inner(ledger);
      ledger.Record(Raise(kB));
    }
    EXPECT_EQ(sizes.size(), 1u);
  }
  EXPECT_EQ(sizes, (std::vector<size_t>{1, 1}));
  {
    // A batch that changes nothing tells no one.
    const EffectLedger::Batch idle(ledger);
  }
  EXPECT_EQ(sizes.size(), 2u);
}

TEST(EffectLedgerTest, GiveBackAllMostHarmfulFirstAndForgets) {
  EffectLedger ledger;
  ledger.Record(Raise(kA, kBelowNormalPriorityClass, kHighPriorityClass));
  ledger.Record(Cap(kB, 30));
  ledger.Record(Duty(kA, 10));
  RecordingUndo undo;
  GiveBackAll(ledger, undo);
  EXPECT_EQ(undo.calls,
            (std::vector<std::string>{"resume 100", "uncap 200", "restore 100 16384 from 128"}));
  EXPECT_TRUE(ledger.Empty());
}

TEST(EffectLedgerTest, OnlyWhatTheProgramCouldHaveDoneIsValid) {
  struct Case {
    const char* what;
    Effect effect;
    bool valid;
  };
  const Case cases[] = {
      {"Normal raised to High", Raise(kA), true},
      {"Idle raised to Above Normal", Raise(kA, kIdlePriorityClass, kAboveNormalPriorityClass),
       true},
      {"Above Normal raised to High", Raise(kA, kAboveNormalPriorityClass), true},
      {"back to High would raise", Raise(kA, kHighPriorityClass, kHighPriorityClass), false},
      {"back to Realtime", Raise(kA, kRealtimePriorityClass), false},
      {"not a class", Raise(kA, 0x21), false},
      {"raised to Realtime", Raise(kA, kNormalPriorityClass, kRealtimePriorityClass), false},
      {"no change", Raise(kA, kAboveNormalPriorityClass, kAboveNormalPriorityClass), false},
      {"Normal calmed to Below Normal", Raise(kA, kNormalPriorityClass, kBelowNormalPriorityClass),
       true},
      {"High lowered to Idle by a rule", Raise(kA, kHighPriorityClass, kIdlePriorityClass), true},
      {"Realtime lowered", Raise(kA, kRealtimePriorityClass, kNormalPriorityClass), false},
      {"no creation time", Raise({100, 0}), false},
      {"no id", Raise({0, 5}), false},
      {"limit 1", Cap(kA, 1), true},
      {"limit 99", Duty(kA, 99), true},
      {"limit 0", Cap(kA, 0), false},
      {"limit 100", Duty(kA, 100), false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsValidEffect(c.effect), c.valid) << c.what;

  // An invalid effect is never given back.
  RecordingUndo undo;
  GiveBack(Raise(kA, kHighPriorityClass, kHighPriorityClass), undo);
  EXPECT_TRUE(undo.calls.empty());
}

constexpr ProcessIdentity kOwner{4242, 133000000000000500};

TEST(EffectLedgerTest, RoundTripsThroughItsTextForm) {
  const StoredLedger stored{
      kOwner,
      {Raise(kA, kIdlePriorityClass, kAboveNormalPriorityClass), Cap(kB, 30), Duty(kA, 99)},
      {{kB, 0x1A4}}};
  const std::string text = FormatLedger(stored);
  EXPECT_EQ(text,
            "Quorvant live effects 2\n"
            "owner 4242 133000000000000500\n"
            "priority 100 133000000000000001 64 32768\n"
            "cap 200 133000000000000002 30\n"
            "duty 100 133000000000000001 99\n"
            "job 200 133000000000000002 420\n"
            "end\n");
  EXPECT_EQ(ParseLedger(text), stored);
  const auto empty = ParseLedger(FormatLedger({kOwner, {}, {}}));
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->owner, kOwner);
  EXPECT_TRUE(empty->effects.empty());
}

TEST(EffectLedgerTest, DamagedTextsGiveOnlyTheirValidLines) {
  const std::string head = "Quorvant live effects 2\nowner 4242 133000000000000500\n";
  const std::string good = "cap 200 133000000000000002 30\n";
  const std::string end = "end\n";
  struct Case {
    const char* what;
    std::string text;
    int effects;  // -1: the whole text is refused
    size_t jobs = 0;
  };
  const Case cases[] = {
      {"whole", head + good + end, 1},
      {"Windows line ends",
       "Quorvant live effects 2\r\nowner 4242 133000000000000500\r\n"
       "cap 200 133000000000000002 30\r\nend\r\n",
       1},
      {"empty", "", -1},
      {"foreign file", "[Process]\nEnableImproveProcess=1\n", -1},
      {"the format before owners", "Quorvant live effects 1\n" + good + end, -1},
      {"no owner", "Quorvant live effects 2\n" + good + end, -1},
      {"owner without creation time", "Quorvant live effects 2\nowner 4242 0\n" + good + end, -1},
      {"owner of garbage", "Quorvant live effects 2\nowner me\n" + good + end, -1},
      {"cut before the closing line", head + good, -1},
      {"cut inside a line", head + "cap 200 13300", -1},
      {"closing line without its end", head + good + "end", -1},
      {"oversized", head + std::string(kMaxLedgerBytes, '#') + "\n" + good + end, -1},
      {"unknown kind", head + "suspend 200 133000000000000002 30\n" + good + end, 1},
      {"negative id", head + "cap -200 133000000000000002 30\n" + end, 0},
      {"id past 32 bits", head + "cap 4294967296 133000000000000002 30\n" + end, 0},
      {"no creation time", head + "cap 200 0 30\n" + end, 0},
      {"garbage number", head + "cap 2x0 133000000000000002 30\n" + end, 0},
      {"missing field", head + "priority 100 133000000000000001 32\n" + end, 0},
      {"extra field", head + "cap 200 133000000000000002 30 7\n" + end, 0},
      {"two blanks", head + "cap 200  133000000000000002 30\n" + end, 0},
      {"plus sign", head + "cap +200 133000000000000002 30\n" + end, 0},
      {"restore to Realtime", head + "priority 100 133000000000000001 256 128\n" + end, 0},
      {"huge number", head + "priority 100 133000000000000001 99999999999999999999 128\n" + end, 0},
      {"a duplicate keeps one", head + good + good + end, 1},
      {"a job of a cap", head + good + "job 200 133000000000000002 420\n" + end, 1, 1},
      {"a job of no cap", head + "job 200 133000000000000002 420\n" + end, 0, 0},
      {"a job of another process", head + good + "job 201 133000000000000002 420\n" + end, 1, 0},
      {"a second job for one cap",
       head + good + "job 200 133000000000000002 420\njob 200 133000000000000002 8\n" + end, 1, 1},
      {"a null job handle", head + good + "job 200 133000000000000002 0\n" + end, 1, 0},
      {"a job handle past 32 bits", head + good + "job 200 133000000000000002 4294967296\n" + end,
       1, 0},
  };
  for (const Case& c : cases) {
    const auto stored = ParseLedger(c.text);
    if (c.effects < 0) {
      EXPECT_FALSE(stored) << c.what;
      continue;
    }
    ASSERT_TRUE(stored) << c.what;
    EXPECT_EQ(stored->owner, kOwner) << c.what;
    EXPECT_EQ(stored->effects.size(), static_cast<size_t>(c.effects)) << c.what;
    EXPECT_EQ(stored->jobs.size(), c.jobs) << c.what;
  }
}

// What a watcher or the next start does with a copy: every valid effect given back, the
// most harmful first, and nothing else.
TEST(EffectLedgerTest, AStoredLedgerIsGivenBackMostHarmfulFirst) {
  const StoredLedger stored{
      kOwner,
      {Raise(kA), Cap(kB, 30), Duty(kA, 50), Raise(kB, kHighPriorityClass, kHighPriorityClass),
       Raise(kC, kAboveNormalPriorityClass, kBelowNormalPriorityClass)},
      {}};
  RecordingUndo undo;
  // The calmed process comes through the text form like a raised one.
  const auto parsed = ParseLedger(FormatLedger(stored));
  ASSERT_TRUE(parsed);
  EXPECT_TRUE(GiveBackStored(*parsed, undo).empty());
  const std::vector<std::string> want{"resume 100", "uncap 200", "restore 100 32 from 128",
                                      "restore 300 32768 from 16384"};
  EXPECT_EQ(undo.calls, want);

  // What the system refuses to take back is still live, and is kept.
  RecordingUndo refusing;
  refusing.refused = 200;
  EXPECT_EQ(GiveBackStored(stored, refusing), std::vector<Effect>{Cap(kB, 30)});
  EXPECT_EQ(refusing.calls, want);
}

// Padded to cover a longer copy, a ledger still reads as itself, whatever the shortfall.
TEST(EffectLedgerTest, APaddedLedgerReadsAsItself) {
  const StoredLedger stored{kA, {Raise(kB)}, {}};
  const std::string text = FormatLedger(stored);
  for (const std::size_t longer :
       {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{200}}) {
    const std::string padded = PadLedger(text, text.size() + longer);
    EXPECT_GE(padded.size(), text.size() + longer) << longer;
    EXPECT_EQ(ParseLedger(padded), stored) << longer;
  }
  EXPECT_EQ(PadLedger(text, 1), text) << "long enough already";
  EXPECT_EQ(PadLedger("not a ledger", 100), "not a ledger");
}

TEST(EffectLedgerTest, OnlyItsOwnSwitchesTwoNumbersAndALedgerPathMakeAWatcher) {
  const ProcessIdentity program{4242, 133000000000000500};
  const std::wstring ledger = L"C:\\Users\\a b\\Effects.1.txt";
  const WatchRequest watch{false, program, ledger};
  EXPECT_EQ(FormatWatchArguments(watch),
            L"--watch 4242 133000000000000500 \"C:\\Users\\a b\\Effects.1.txt\"");
  EXPECT_EQ(ParseWatchArguments({L"--watch", L"4242", L"133000000000000500", ledger}), watch);
  const WatchRequest start{true, program, ledger};
  EXPECT_EQ(FormatWatchArguments(start).substr(0, 8), L"--start ");
  EXPECT_EQ(ParseWatchArguments({L"--start", L"4242", L"133000000000000500", ledger}), start);
  struct Case {
    const char* what;
    std::vector<std::wstring> arguments;
  };
  const Case refused[] = {
      {"none", {}},
      {"the switch alone", {L"--watch"}},
      {"no creation time", {L"--watch", L"4242", ledger}},
      {"no ledger", {L"--watch", L"4242", L"133000000000000500"}},
      {"an extra argument", {L"--watch", L"4242", L"133000000000000500", ledger, L"x"}},
      {"another switch", {L"--watched", L"4242", L"133000000000000500", ledger}},
      {"a negative id", {L"--watch", L"-4242", L"133000000000000500", ledger}},
      {"id zero", {L"--watch", L"0", L"133000000000000500", ledger}},
      {"time zero", {L"--watch", L"4242", L"0", ledger}},
      {"garbage", {L"--watch", L"42x", L"133000000000000500", ledger}},
      {"a wide digit", {L"--watch", L"\x0664\x0662", L"133000000000000500", ledger}},
      {"id past 32 bits", {L"--watch", L"4294967296", L"133000000000000500", ledger}},
      {"a relative ledger", {L"--watch", L"4242", L"133000000000000500", L"Effects.1.txt"}},
      {"a folder", {L"--watch", L"4242", L"133000000000000500", L"C:\\Users\\"}},
      {"a quote", {L"--watch", L"4242", L"133000000000000500", L"C:\\a\"b.txt"}},
      {"a share", {L"--watch", L"4242", L"133000000000000500", L"\\\\host\\x.txt"}},
  };
  for (const Case& c : refused) EXPECT_FALSE(ParseWatchArguments(c.arguments)) << c.what;
}

}  // namespace
}  // namespace quorvant
