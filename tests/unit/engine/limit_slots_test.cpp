#include "engine/core/limit_slots.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace quorvant::engine {
namespace {

using Action = LimitCommandPlan::Action;

// Processes by id and creation time; P100b has P100's id but started later.
constexpr ProcessIdentity P(std::uint32_t id) { return {id, 1000u + id}; }
constexpr ProcessIdentity kP100b{100, 77777};

LimitSlot Slot(bool inUse, std::uint32_t id, int percent, std::wstring path) {
  return {inUse, id, percent, std::move(path), P(id)};
}

void ExpectSlots(const LimitSlotTable& table, const std::vector<LimitSlot>& expected,
                 const char* step) {
  for (int i = LimitSlotTable::kFirst; i <= LimitSlotTable::kLast; ++i) {
    const LimitSlot& got = table[i];
    const LimitSlot& want = expected[static_cast<size_t>(i - 1)];
    EXPECT_EQ(got.InUse, want.InUse) << step << ", slot " << i;
    EXPECT_EQ(got.ProcessID, want.ProcessID) << step << ", slot " << i;
    EXPECT_EQ(got.LimitPercent, want.LimitPercent) << step << ", slot " << i;
    EXPECT_EQ(got.ProcessPath, want.ProcessPath) << step << ", slot " << i;
    EXPECT_EQ(got.Process, want.Process) << step << ", slot " << i;
  }
}

// The table's operations as a script: each step, whether it found or took a slot, and the
// table afterwards.
TEST(LimitSlotTableTest, OperationsInSequence) {
  LimitSlotTable table;
  enum class Op { Take, Adjust, Release };
  struct Step {
    const char* what;
    Op op;
    ProcessIdentity process;
    int percent;
    bool done;
    std::vector<LimitSlot> slots;
  };
  const LimitSlot empty;
  auto path = [](const ProcessIdentity& p) { return L"p" + std::to_wstring(p.id); };
  const Step steps[] = {
      {"first limit", Op::Take, P(100), 50, true, {Slot(true, 100, 50, L"p100"), empty, empty}},
      {"second limit",
       Op::Take,
       P(200),
       20,
       true,
       {Slot(true, 100, 50, L"p100"), Slot(true, 200, 20, L"p200"), empty}},
      // One slot per process: a second limit changes the first.
      {"the first again",
       Op::Take,
       P(100),
       70,
       true,
       {Slot(true, 100, 70, L"p100"), Slot(true, 200, 20, L"p200"), empty}},
      {"adjust the second",
       Op::Adjust,
       P(200),
       75,
       true,
       {Slot(true, 100, 70, L"p100"), Slot(true, 200, 75, L"p200"), empty}},
      // Released slots keep their values until they are reused.
      {"release the first",
       Op::Release,
       P(100),
       0,
       true,
       {Slot(false, 100, 70, L"p100"), Slot(true, 200, 75, L"p200"), empty}},
      {"a released slot is not adjusted",
       Op::Adjust,
       P(100),
       33,
       false,
       {Slot(false, 100, 70, L"p100"), Slot(true, 200, 75, L"p200"), empty}},
      {"a later process with the same id holds nothing",
       Op::Release,
       kP100b,
       0,
       false,
       {Slot(false, 100, 70, L"p100"), Slot(true, 200, 75, L"p200"), empty}},
      {"first free slot reused",
       Op::Take,
       P(300),
       10,
       true,
       {Slot(true, 300, 10, L"p300"), Slot(true, 200, 75, L"p200"), empty}},
      {"third limit",
       Op::Take,
       P(400),
       99,
       true,
       {Slot(true, 300, 10, L"p300"), Slot(true, 200, 75, L"p200"), Slot(true, 400, 99, L"p400")}},
      {"no free slot left",
       Op::Take,
       P(500),
       5,
       false,
       {Slot(true, 300, 10, L"p300"), Slot(true, 200, 75, L"p200"), Slot(true, 400, 99, L"p400")}},
  };
  for (const auto& s : steps) {
    bool done = false;
    switch (s.op) {
      case Op::Take:
        done = table.Take(s.process, path(s.process), s.percent).has_value();
        break;
      case Op::Adjust:
        done = table.Adjust(s.process, s.percent);
        break;
      case Op::Release:
        done = table.Release(s.process);
        break;
    }
    EXPECT_EQ(done, s.done) << s.what;
    ExpectSlots(table, s.slots, s.what);
  }
}

TEST(LimitSlotTableTest, FindsTheLiveSlotOfAProcessAndReleasesEveryOne) {
  LimitSlotTable table;
  table[1] = Slot(false, 7, 10, L"");
  table[2] = Slot(true, 7, 20, L"");
  table[3] = Slot(true, 7, 30, L"");  // never made by the table, but a release clears it too
  EXPECT_EQ(table.FindLive(P(7)), 2);
  EXPECT_EQ(table.FindLive({7, 1}), std::nullopt);
  EXPECT_EQ(table.FirstFree(), 1);
  EXPECT_TRUE(table.Release(P(7)));
  EXPECT_EQ(table.CountInUse(), 0);
}

TEST(LimitSlotTableTest, StartUpFreesSlotsWithoutProcess) {
  LimitSlotTable table;
  table[1] = Slot(true, 0, 10, L"");
  table[2] = Slot(true, 5, 10, L"");
  table.ReleaseSlotsWithoutProcess();
  EXPECT_FALSE(table[1].InUse);
  EXPECT_TRUE(table[2].InUse);
}

TEST(LimitSlotTableTest, CountLetsEventsRunAroundEachSlot) {
  LimitSlotTable table;
  table[1] = Slot(true, 1, 10, L"");
  table[3] = Slot(true, 3, 10, L"");
  int calls = 0;
  EXPECT_EQ(table.CountInUse([&] { ++calls; }), 2);
  EXPECT_EQ(calls, 6);
  EXPECT_EQ(table.CountInUse(), 2);

  // A handler that runs in the middle of the count (a release) is seen by the slots after it.
  int step = 0;
  EXPECT_EQ(table.CountInUse([&] {
    if (++step == 2) table[3].InUse = false;
  }),
            1);
}

TEST(LimitSlotTableTest, MarkingMatchesTheProcessAndFreesGoneOnes) {
  LimitSlotTable table;
  table[1] = Slot(true, 300, 50, L"a");
  table[2] = Slot(false, 200, 20, L"b");  // free: never marks
  table[3] = Slot(true, 100, 30, L"c");   // ended; its id now names a later process
  const std::vector<std::uint32_t> rows = {100, 200, 300, 400};
  std::vector<std::uint32_t> asked;
  const auto identify = [&](std::uint32_t id) -> std::optional<ProcessIdentity> {
    asked.push_back(id);
    return id == 100 ? kP100b : P(id);
  };
  std::map<int, std::wstring> written;
  std::vector<std::uint32_t> freed;
  table.MarkRows(
      rows, identify, [&](int row, const std::wstring& text) { written[row] = text; },
      [&](const LimitSlot& slot) { freed.push_back(slot.ProcessID); });
  EXPECT_EQ(written, (std::map<int, std::wstring>{{2, L"50%"}}));
  EXPECT_EQ(freed, std::vector<std::uint32_t>{100});
  // Only the processes of slots in use are looked up.
  EXPECT_EQ(asked, (std::vector<std::uint32_t>{300, 100}));
  ExpectSlots(table,
              {Slot(true, 300, 50, L"a"), Slot(false, 200, 20, L"b"), Slot(false, 100, 30, L"c")},
              "after marking");

  // A process that can no longer be looked up has ended.
  table.MarkRows(
      rows, [](std::uint32_t) { return std::nullopt; }, [](int, const std::wstring&) {});
  EXPECT_EQ(table.CountInUse(), 0);
}

TEST(LimitCommandTest, PlansFromTheRowAndTheTable) {
  LimitSlotTable full;
  full[1] = Slot(true, 10, 40, L"");
  full[2] = Slot(true, 20, 60, L"");
  full[3] = Slot(true, 30, 80, L"");
  LimitSlotTable two = full;
  two[3].InUse = false;
  LimitSlotTable released;
  released[2] = Slot(false, 20, 15, L"");

  struct Case {
    const char* what;
    const LimitSlotTable* table;
    int rows;
    int selected;
    ProcessIdentity process;
    Action action;
    int slider;
  };
  const Case cases[] = {
      {"empty list", &full, 0, -1, {}, Action::Nothing, 99},
      {"rows but none selected", &two, 5, -1, {}, Action::Nothing, 99},
      {"new limit with a free slot", &two, 5, 0, P(77), Action::OpenNew, 99},
      {"fourth limit refused", &full, 5, 0, P(77), Action::Refuse, 99},
      {"limited process with all slots held", &full, 5, 1, P(20), Action::OpenExisting, 60},
      {"process of a released slot", &released, 5, 1, P(20), Action::OpenNew, 99},
      {"later process with a limited one's id", &full, 5, 1, {20, 1}, Action::Refuse, 99},
      // A program rule's limit holds no slot.
      {"process without a slot", &two, 5, 1, P(55), Action::OpenNew, 99},
      {"nor with every slot held", &full, 5, 1, P(55), Action::Refuse, 99},
  };
  for (const auto& c : cases) {
    const auto plan = PlanLimitCommand(*c.table, c.rows, c.selected, c.process);
    EXPECT_EQ(plan.action, c.action) << c.what;
    EXPECT_EQ(plan.sliderValue, c.slider) << c.what;
  }
}

}  // namespace
}  // namespace quorvant::engine
