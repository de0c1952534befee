#include "engine/core/limit_slots.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace quorvant::engine {
namespace {

using Action = LimitCommandPlan::Action;

LimitSlot Slot(bool inUse, std::uint32_t id, int percent, std::wstring path) {
  return {inUse, id, percent, std::move(path)};
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
  }
}

// The dialog's buttons as a script: each step, the column text it leaves on the row, and
// the table afterwards.
TEST(LimitSlotTableTest, DialogOperationsInSequence) {
  LimitSlotTable table;
  enum class Op { Ok, Adjust, Release };
  struct Step {
    const char* what;
    Op op;
    std::wstring pid;
    int percent;
    std::wstring column;
    std::vector<LimitSlot> slots;
  };
  const LimitSlot empty;
  const Step steps[] = {
      {"first limit", Op::Ok, L"100", 50, L"50%", {Slot(true, 100, 50, L"p100"), empty, empty}},
      {"second limit",
       Op::Ok,
       L"200",
       20,
       L"20%",
       {Slot(true, 100, 50, L"p100"), Slot(true, 200, 20, L"p200"), empty}},
      {"adjust the second",
       Op::Adjust,
       L"200",
       75,
       L"75%",
       {Slot(true, 100, 50, L"p100"), Slot(true, 200, 75, L"p200"), empty}},
      // Released slots keep their values until they are reused.
      {"release the first",
       Op::Release,
       L"100",
       0,
       L"",
       {Slot(false, 100, 50, L"p100"), Slot(true, 200, 75, L"p200"), empty}},
      // Adjustment finds a slot whatever its use.
      {"adjust a released one",
       Op::Adjust,
       L"100",
       33,
       L"33%",
       {Slot(false, 100, 33, L"p100"), Slot(true, 200, 75, L"p200"), empty}},
      {"first free slot reused",
       Op::Ok,
       L"300",
       10,
       L"10%",
       {Slot(true, 300, 10, L"p300"), Slot(true, 200, 75, L"p200"), empty}},
      // No slot holds the process: nothing changes, but the row is still written.
      {"adjust an unknown process",
       Op::Adjust,
       L"999",
       40,
       L"40%",
       {Slot(true, 300, 10, L"p300"), Slot(true, 200, 75, L"p200"), empty}},
      {"release an unknown process",
       Op::Release,
       L"999",
       0,
       L"",
       {Slot(true, 300, 10, L"p300"), Slot(true, 200, 75, L"p200"), empty}},
      {"third limit",
       Op::Ok,
       L"400",
       99,
       L"99%",
       {Slot(true, 300, 10, L"p300"), Slot(true, 200, 75, L"p200"), Slot(true, 400, 99, L"p400")}},
      {"no free slot left",
       Op::Ok,
       L"500",
       5,
       L"5%",
       {Slot(true, 300, 10, L"p300"), Slot(true, 200, 75, L"p200"), Slot(true, 400, 99, L"p400")}},
  };
  for (const auto& s : steps) {
    std::wstring column;
    switch (s.op) {
      case Op::Ok:
        column = LimitOk(table, s.pid, L"p" + s.pid, s.percent);
        break;
      case Op::Adjust:
        column = LimitAdjustment(table, s.pid, s.percent);
        break;
      case Op::Release:
        column = LimitRelease(table, s.pid);
        break;
    }
    EXPECT_EQ(column, s.column) << s.what;
    ExpectSlots(table, s.slots, s.what);
  }
}

TEST(LimitSlotTableTest, FindsTheFirstSlotOfAProcess) {
  LimitSlotTable table;
  table[2] = Slot(false, 7, 10, L"");
  table[3] = Slot(true, 7, 20, L"");
  EXPECT_EQ(table.FindProcess(7), 2);
  EXPECT_EQ(table.FindProcess(8), std::nullopt);
  EXPECT_EQ(table.FirstFree(), 1);
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

TEST(LimitSlotTableTest, MarkingWritesEveryMatchingRowAndFreesGoneProcesses) {
  LimitSlotTable table;
  table[1] = Slot(true, 300, 50, L"a");
  table[2] = Slot(false, 100, 20, L"b");  // free: never marks
  table[3] = Slot(true, 999, 30, L"c");   // its process has gone
  // Row 2 is a new process that reuses an old id: it gets the old limit.
  const std::vector<std::wstring> rows = {L"100", L"200", L"300", L"300"};
  std::map<int, std::wstring> written;
  table.MarkRows(rows, [&](int row, const std::wstring& text) { written[row] = text; });
  EXPECT_EQ(written, (std::map<int, std::wstring>{{2, L"50%"}, {3, L"50%"}}));
  ExpectSlots(table,
              {Slot(true, 300, 50, L"a"), Slot(false, 100, 20, L"b"), Slot(false, 999, 30, L"c")},
              "after marking");
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
    std::wstring pid;
    std::wstring limit;
    Action action;
    int slider;
  };
  const Case cases[] = {
      {"empty list", &full, 0, -1, L"", L"", Action::Nothing, 99},
      {"rows but none selected", &two, 5, -1, L"", L"", Action::Nothing, 99},
      {"new limit with a free slot", &two, 5, 0, L"77", L"", Action::OpenNew, 99},
      {"fourth limit refused", &full, 5, 0, L"77", L"", Action::Refuse, 99},
      {"marked row with all slots held", &full, 5, 1, L"20", L"60%", Action::OpenExisting, 60},
      {"marked row, slot found whatever its use", &released, 5, 1, L"20", L"15%",
       Action::OpenExisting, 15},
      {"marked row without a slot", &two, 5, 1, L"55", L"12%", Action::OpenExisting, 99},
  };
  for (const auto& c : cases) {
    const auto plan = PlanLimitCommand(*c.table, c.rows, c.selected, c.pid, c.limit);
    EXPECT_EQ(plan.action, c.action) << c.what;
    EXPECT_EQ(plan.sliderValue, c.slider) << c.what;
  }
}

TEST(PidFromTextTest, LeadingDigits) {
  struct Case {
    std::wstring_view text;
    std::uint32_t id;
  };
  const Case cases[] = {{L"1234", 1234},    {L" 56", 56}, {L"78x", 78},
                        {L"", 0},           {L"abc", 0},  {L"4294967295", 4294967295u},
                        {L"99999999999", 0}};
  for (const auto& c : cases) EXPECT_EQ(PidFromText(c.text), c.id) << std::wstring(c.text).size();
}

}  // namespace
}  // namespace quorvant::engine
