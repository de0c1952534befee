#include "monitor/core/cpu_monitor.h"

#include <gtest/gtest.h>

#include <functional>

#include "monitor/core/cpu_monitor_state.h"
#include "tests/unit/monitor/monitor_fakes.h"

namespace quorvant {
namespace {

namespace names = cpu_monitor_names;
using testing::FakeHost;
using testing::FakeReadings;
using LineCall = testing::RecordingCanvas::LineCall;
using PixelCall = testing::RecordingCanvas::PixelCall;

constexpr int kW = 415;
constexpr int kH = 55;
constexpr Color kGrid = 0x80C0FF;
constexpr Color kBack = 0x404040;

class CpuMonitorTest : public ::testing::Test {
 protected:
  FakeReadings platform;
  ModuleCpuMonitorSupport support{platform};
  FakeHost host;
  CpuMonitor monitor{host, support};

  // Loads the status panel's monitor with only the curves named shown.
  void LoadStatusPanelMonitor() { monitor.ReadProperties(CpuMonitorStateProperties()); }
  void ShowOnly(float SystemLevelSample::*level) {
    monitor.SetCPUMonitorDisplayed(level == &SystemLevelSample::CPULoadPercent);
    monitor.SetMemoryLoadDisplayed(level == &SystemLevelSample::MemoryLoadPercent);
    monitor.SetPageFileDisplayed(level == &SystemLevelSample::PageFileAvailablePercent);
    monitor.SetVirtualMemoryDisplayed(level == &SystemLevelSample::VirtualMemoryAvailablePercent);
    monitor.SetHDMonitorDisplayed(level == &SystemLevelSample::HDAvailablePercent);
  }
  void TickWithMemoryLoad(std::uint32_t load) {
    platform.SetMemoryLoad(load);
    monitor.Timer1Tick();
  }
  Color Pixel(int x, int y) const { return host.canvas.Raster().At(x, y); }
};

TEST_F(CpuMonitorTest, GridAt415By55) {
  LoadStatusPanelMonitor();
  monitor.SetScrollGrid(false);
  for (int x = 0; x < kW; ++x) {
    const bool line = (x % 38 == 0 && x <= 380) || x == kW - 1;
    EXPECT_EQ(Pixel(x, 4), line ? kGrid : kBack) << "column " << x;
  }
  for (int y = 0; y < kH; ++y) EXPECT_EQ(Pixel(5, y), y % 9 == 0 ? kGrid : kBack) << "row " << y;
  // The frame closes the right and bottom edges the lines leave open.
  EXPECT_EQ(Pixel(kW - 1, 4), kGrid);
  EXPECT_EQ(Pixel(200, kH - 1), kGrid);
  EXPECT_EQ(Pixel(200, kH - 2), kBack);
}

TEST_F(CpuMonitorTest, GridScrollsWithTheTicksAndWrapsAtMinus414) {
  LoadStatusPanelMonitor();
  for (int i = 0; i < 5; ++i) monitor.Timer1Tick();
  EXPECT_EQ(monitor.GridOffset(), -5);
  std::vector<int> columns;
  for (const auto& l : host.canvas.LinesIn(kGrid)) {
    if (l.x1 == l.x2) columns.push_back(l.x1);
  }
  ASSERT_FALSE(columns.empty());
  EXPECT_EQ(columns.front(), -5) << "the last line left of the surface is still drawn";
  EXPECT_EQ(columns[1], 33);
  EXPECT_EQ(Pixel(33, 4), kGrid);
  EXPECT_EQ(Pixel(38, 4), kBack);

  for (int i = 5; i < 413; ++i) monitor.Timer1Tick();
  EXPECT_EQ(monitor.GridOffset(), -413);
  monitor.Timer1Tick();
  EXPECT_EQ(monitor.GridOffset(), 0);
}

TEST_F(CpuMonitorTest, LongHiddenGridDrawsOnlyWhatShows) {
  LoadStatusPanelMonitor();
  monitor.SetDisplayGrid(false);
  for (int i = 0; i < 1000; ++i) monitor.Timer1Tick();
  EXPECT_EQ(monitor.GridOffset(), -1000) << "a hidden grid never wraps";
  monitor.SetDisplayGrid(true);
  EXPECT_EQ(monitor.GridOffset(), 0);
  // Drawing starts at -1000 + 26 x 38 = -12, not at -1000; 26 is the first line that shows.
  EXPECT_EQ(host.canvas.LinesIn(kGrid).front().x1, -12);
  EXPECT_EQ(Pixel(26, 4), kGrid);
  EXPECT_EQ(host.canvas.LinesIn(kGrid).size(), 12u + 7u);
}

TEST_F(CpuMonitorTest, TinySurfaceHasNoGridLinesInADirectionWithoutPitch) {
  host.canvas.Resize(6, 4);
  LoadStatusPanelMonitor();
  monitor.OnResize();
  EXPECT_TRUE(host.canvas.LinesIn(kGrid).empty());
  EXPECT_EQ(Pixel(0, 0), kGrid);
  EXPECT_EQ(Pixel(5, 3), kGrid);
  EXPECT_EQ(Pixel(2, 2), kBack);
}

TEST_F(CpuMonitorTest, CurveRowsAt55) {
  const struct {
    const char* name;
    std::optional<std::uint32_t> memoryLoad;  // empty: a failed CPU reading
    int row;
  } cases[] = {{"50 %", 50, 28}, {"100 %", 100, 0}, {"0 %", 0, 55}, {"failed CPU, -1", {}, 56}};
  for (const auto& c : cases) {
    FakeReadings readings;
    ModuleCpuMonitorSupport levels(readings);
    FakeHost window;
    CpuMonitor control(window, levels);
    control.ReadProperties(CpuMonitorStateProperties());
    const bool cpu = !c.memoryLoad;
    control.SetCPUMonitorDisplayed(cpu);
    control.SetMemoryLoadDisplayed(!cpu);
    control.SetPageFileDisplayed(false);
    control.SetVirtualMemoryDisplayed(false);
    control.SetHDMonitorDisplayed(false);
    readings.SetMemoryLoad(c.memoryLoad.value_or(0));
    if (cpu) readings.idleTime.reset();
    control.Timer1Tick();
    control.Timer1Tick();
    const Color color = cpu ? kDefaultCPUMonitorColor : kDefaultMemoryLoadColor;
    EXPECT_EQ(window.canvas.LinesIn(color),
              (std::vector<LineCall>{{kW - 2, c.row, kW - 1, c.row, color}}))
        << c.name;
  }
}

TEST_F(CpuMonitorTest, ThreeTicksOnAFreshControlDrawTwoSegments) {
  LoadStatusPanelMonitor();
  ShowOnly(&SystemLevelSample::MemoryLoadPercent);
  EXPECT_EQ(monitor.History().HistoryStart(), kW - 1);
  TickWithMemoryLoad(20);
  TickWithMemoryLoad(40);
  TickWithMemoryLoad(60);
  EXPECT_EQ(monitor.History().HistoryStart(), kW - 4);
  const Color yellow = kDefaultMemoryLoadColor;
  EXPECT_EQ(host.canvas.LinesIn(yellow), (std::vector<LineCall>{{kW - 3, 44, kW - 2, 33, yellow},
                                                                {kW - 2, 33, kW - 1, 22, yellow}}));
}

TEST_F(CpuMonitorTest, DotsAndBarsLeaveTheNewestSampleOut) {
  LoadStatusPanelMonitor();
  ShowOnly(&SystemLevelSample::MemoryLoadPercent);
  TickWithMemoryLoad(20);
  TickWithMemoryLoad(40);
  TickWithMemoryLoad(60);
  const Color yellow = kDefaultMemoryLoadColor;

  monitor.SetDiagramStyle(kDiagramStyleDots);
  EXPECT_EQ(host.canvas.pixels,
            (std::vector<PixelCall>{{kW - 2, 44, yellow}, {kW - 1, 33, yellow}}));
  EXPECT_TRUE(host.canvas.LinesIn(yellow).empty());

  monitor.SetDiagramStyle(kDiagramStyleBars);
  EXPECT_EQ(host.canvas.LinesIn(yellow), (std::vector<LineCall>{{kW - 3, 44, kW - 3, kH, yellow},
                                                                {kW - 2, 33, kW - 2, kH, yellow}}));

  monitor.SetDiagramStyle(3);
  EXPECT_TRUE(host.canvas.LinesIn(yellow).empty());
  EXPECT_TRUE(host.canvas.pixels.empty());
  EXPECT_EQ(Pixel(0, 4), kGrid) << "grid and frame still drawn";
}

TEST_F(CpuMonitorTest, CurvesAreDrawnInFamilyOrderInTheirColours) {
  LoadStatusPanelMonitor();
  monitor.SetHDMonitorColor(0x123456);
  for (int i = 0; i < 3; ++i) monitor.Timer1Tick();
  std::vector<Color> order;
  for (const auto& l : host.canvas.lines) {
    if (l.color != kGrid && (order.empty() || order.back() != l.color)) order.push_back(l.color);
  }
  EXPECT_EQ(order,
            (std::vector<Color>{kDefaultCPUMonitorColor, kDefaultMemoryLoadColor,
                                kDefaultPageFileColor, kDefaultVirtualMemoryColor, 0x123456}));
}

TEST_F(CpuMonitorTest, DesignModeShowsNoCurvesAndNeverSamples) {
  host.runMode = false;
  LoadStatusPanelMonitor();
  EXPECT_FALSE(host.timerInterval.has_value());
  monitor.Timer1Tick();
  monitor.SetBackColor(kBack);
  EXPECT_EQ(monitor.GridOffset(), 0);
  EXPECT_EQ(monitor.History().HistoryStart(), kW - 1);
  for (const auto& l : host.canvas.lines) EXPECT_EQ(l.color, kGrid);
}

TEST_F(CpuMonitorTest, HDDriveLetterIsNormalised) {
  const struct {
    const wchar_t* set;
    const wchar_t* stored;
    bool noted;
  } cases[] = {{L"d:\\data", L"D:\\", true},
               {L"", L"C:\\", false},
               {L"x", L"x", true},
               {L"e:", L"E:\\", true}};
  for (const auto& c : cases) {
    FakeHost window;
    CpuMonitor control(window, support);
    control.ReadProperties(CpuMonitorStateProperties());
    const int refreshes = window.refreshes;
    control.SetHDDriveLetter(c.set);
    EXPECT_EQ(control.HDDriveLetter(), c.stored) << c.set;
    EXPECT_EQ(window.noted.size(), c.noted ? 1u : 0u) << c.set;
    EXPECT_EQ(window.refreshes, refreshes) << "no redraw for " << c.set;
  }
}

TEST_F(CpuMonitorTest, SettersRedrawAndNoteTheirPersistedName) {
  const struct {
    std::function<void(CpuMonitor&)> set;
    const wchar_t* noted;
    bool redraws;
  } cases[] = {
      {[](CpuMonitor& m) { m.SetBackColor(1); }, L"BackColor", true},
      {[](CpuMonitor& m) { m.SetAppearance(0); }, L"Appearance", true},
      {[](CpuMonitor& m) { m.SetBorderStyle(0); }, L"BorderStyle", true},
      {[](CpuMonitor& m) { m.SetCPUMonitorDisplayed(false); }, L"CPUMonitorDisplayed", true},
      {[](CpuMonitor& m) { m.SetPageFileDisplayed(false); }, L"PageFileDisplayed", true},
      {[](CpuMonitor& m) { m.SetVirtualMemoryDisplayed(false); }, L"VirtualMemoryDisplayed", true},
      {[](CpuMonitor& m) { m.SetCPUMonitorColor(1); }, L"CPUMonitorColor", true},
      {[](CpuMonitor& m) { m.SetMemoryLoadDisplayed(false); }, L"MemoryLoadDisplayed", true},
      {[](CpuMonitor& m) { m.SetHDMonitorDisplayed(false); }, L"HDMonitorDisplayed", true},
      {[](CpuMonitor& m) { m.SetHDDriveLetter(L"D:"); }, L"HDDriveLetter", false},
      {[](CpuMonitor& m) { m.SetHDMonitorColor(1); }, L"HDMonitorColor", true},
      {[](CpuMonitor& m) { m.SetMemoryLoadColor(1); }, L"MemoryColor", true},
      {[](CpuMonitor& m) { m.SetPageFileColor(1); }, L"PageFileColor", true},
      {[](CpuMonitor& m) { m.SetVirtualMemoryColor(1); }, L"VirtualMemoryColor", true},
      {[](CpuMonitor& m) { m.SetEnabled(false); }, L"Enabled", true},
      {[](CpuMonitor& m) { m.SetDisplayGrid(false); }, L"DisplayGrid", true},
      {[](CpuMonitor& m) { m.SetDisplayGridColor(1); }, L"DisplayGridColor", true},
      {[](CpuMonitor& m) { m.SetUpdateInterval(500); }, L"UpdateInterval", false},
      {[](CpuMonitor& m) { m.SetScrollGrid(false); }, L"ScrollGrid", true},
      {[](CpuMonitor& m) { m.SetDiagramStyle(1); }, L"DiagramStyle", true},
  };
  for (const auto& c : cases) {
    FakeHost window;
    CpuMonitor control(window, support);
    control.ReadProperties(CpuMonitorStateProperties());
    const int clears = window.canvas.clears;
    c.set(control);
    EXPECT_EQ(window.noted, std::vector<std::wstring>{c.noted});
    EXPECT_EQ(window.canvas.clears > clears, c.redraws) << c.noted;
    EXPECT_EQ(window.refreshes, c.redraws ? 1 : 0) << c.noted;
  }
}

TEST_F(CpuMonitorTest, RefusedSettingsChangeNothingElse) {
  LoadStatusPanelMonitor();
  EXPECT_FALSE(monitor.SetAppearance(2));
  EXPECT_FALSE(monitor.SetBorderStyle(-1));
  EXPECT_EQ(monitor.Appearance(), kAppearanceFlat);
  EXPECT_EQ(host.appliedBorderStyle, kBorderStyleFixedSingle);

  EXPECT_FALSE(monitor.SetUpdateInterval(70000));
  EXPECT_EQ(monitor.UpdateInterval(), 70000) << "kept, though the timer refused it";
  EXPECT_EQ(host.timerInterval, 1000);
  EXPECT_TRUE(host.noted.empty());
  EXPECT_EQ(host.refreshes, 0);

  EXPECT_TRUE(monitor.SetUpdateInterval(0));
  EXPECT_EQ(host.timerInterval, 0);
}

TEST_F(CpuMonitorTest, ResetRealignsTheGridAndKeepsTheCurves) {
  LoadStatusPanelMonitor();
  for (int i = 0; i < 3; ++i) monitor.Timer1Tick();
  const std::size_t curveLines = host.canvas.lines.size() - host.canvas.LinesIn(kGrid).size();
  EXPECT_FALSE(monitor.Reset());
  EXPECT_EQ(monitor.GridOffset(), 0);
  EXPECT_EQ(host.canvas.lines.size() - host.canvas.LinesIn(kGrid).size(), curveLines);
  EXPECT_EQ(monitor.History().HistoryStart(), kW - 4);
}

TEST_F(CpuMonitorTest, TicksRaiseUpdateWithTheNewestSample) {
  LoadStatusPanelMonitor();
  std::vector<SystemLevelReport> updates;
  monitor.SetUpdateHandler([&](const SystemLevelReport& r) { updates.push_back(r); });
  platform.memory = MemoryStatus{37, 8ull << 30, 2ull << 30, 0, 0, 0, 0};
  platform.currentTime = 10'000'000;
  platform.idleTime = 7'500'000;
  monitor.Timer1Tick();
  ASSERT_EQ(updates.size(), 1u);
  EXPECT_EQ(updates[0].CPULoadPercent, 26);
  EXPECT_EQ(updates[0].MemoryLoadPercent, 37);
  EXPECT_EQ(updates[0].PhysicalMemoryTotal, 8ull << 30);
  EXPECT_EQ(updates[0], ToReport(monitor.History().Slot(kW - 1)));
}

TEST_F(CpuMonitorTest, DisabledTicksDoNothing) {
  LoadStatusPanelMonitor();
  int updates = 0;
  monitor.SetUpdateHandler([&](const SystemLevelReport&) { ++updates; });
  monitor.SetEnabled(false);
  EXPECT_EQ(host.appliedEnabled, false);
  const int refreshes = host.refreshes;
  TickWithMemoryLoad(50);
  TickWithMemoryLoad(50);
  EXPECT_EQ(updates, 0);
  EXPECT_EQ(host.refreshes, refreshes);
  EXPECT_EQ(monitor.History().HistoryStart(), kW - 1);
  EXPECT_EQ(monitor.GridOffset(), 0);

  monitor.SetEnabled(true);
  TickWithMemoryLoad(50);
  EXPECT_EQ(updates, 1);
}

// A status panel graph with platform readings of its own.
struct Graph {
  FakeReadings readings;
  ModuleCpuMonitorSupport support{readings};
  FakeHost host;
  CpuMonitor control{host, support};
  Graph() { control.ReadProperties(CpuMonitorStateProperties()); }
};

// A graph held while its window was hidden catches up to look exactly as if it had ticked
// through the gap with the same readings: columns, grid and pixels.
TEST(CpuMonitorCatchUpTest, LooksAsIfItHadTickedThroughTheGap) {
  const struct {
    const char* name;
    std::int64_t missed;
    bool grid;
  } cases[] = {
      {"one tick", 1, true},
      {"a few", 7, true},
      {"one short of the width", kW - 1, true},
      {"the width", kW, true},
      {"more than the width", kW + 25, true},
      {"the grid round several times", 3 * (kW - 1) + 5, true},
      {"hidden grid", 1000, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Graph ticked, caughtUp;
    for (Graph* g : {&ticked, &caughtUp}) {
      g->control.SetDisplayGrid(c.grid);
      // Earlier samples, different from the gap's, which must move left intact.
      for (std::uint32_t load : {10u, 30u, 90u}) {
        g->readings.SetMemoryLoad(load);
        g->control.Timer1Tick();
      }
      g->readings.SetMemoryLoad(55);
    }
    int updates = 0;
    caughtUp.control.SetUpdateHandler([&](const SystemLevelReport&) { ++updates; });
    for (std::int64_t i = 0; i < c.missed; ++i) ticked.control.Timer1Tick();
    const int refreshes = caughtUp.host.refreshes;
    caughtUp.control.CatchUp(c.missed);

    EXPECT_EQ(caughtUp.control.GridOffset(), ticked.control.GridOffset());
    EXPECT_EQ(caughtUp.control.History().HistoryStart(), ticked.control.History().HistoryStart());
    for (int x = 0; x < kW; ++x) {
      ASSERT_EQ(caughtUp.control.History().Slot(x), ticked.control.History().Slot(x))
          << "column " << x;
    }
    int differing = 0;
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        differing += caughtUp.host.canvas.Raster().At(x, y) != ticked.host.canvas.Raster().At(x, y);
      }
    }
    EXPECT_EQ(differing, 0) << "pixels";
    EXPECT_EQ(caughtUp.host.refreshes, refreshes + 1) << "one redraw for the whole gap";
    EXPECT_EQ(updates, 1);
  }
}

// The gap's one CPU reading covers the whole gap: its level is the average over it.
TEST(CpuMonitorCatchUpTest, OneReadingStandsForTheWholeGap) {
  Graph oneTick, caughtUp;
  for (Graph* g : {&oneTick, &caughtUp}) {
    g->control.Timer1Tick();
    // Ten seconds, a quarter of them busy.
    g->readings.currentTime = 100'000'000;
    g->readings.idleTime = 75'000'000;
  }
  oneTick.control.Timer1Tick();
  caughtUp.control.CatchUp(10);
  const float gapLevel = oneTick.control.History().Slot(kW - 1).CPULoadPercent;
  EXPECT_GT(gapLevel, 0);
  for (int x = kW - 10; x < kW; ++x) {
    EXPECT_EQ(caughtUp.control.History().Slot(x).CPULoadPercent, gapLevel) << "column " << x;
  }
  EXPECT_EQ(caughtUp.control.History().Slot(kW - 11), oneTick.control.History().Slot(kW - 2));
}

TEST(CpuMonitorCatchUpTest, NothingToCatchUpOrDisabledChangesNothing) {
  Graph g;
  g.control.Timer1Tick();
  const int refreshes = g.host.refreshes;
  g.control.CatchUp(0);
  g.control.CatchUp(-3);
  g.control.SetEnabled(false);
  const int afterDisabling = g.host.refreshes;
  g.control.CatchUp(5);
  EXPECT_EQ(refreshes + 1, afterDisabling) << "only the Enabled setter redrew";
  EXPECT_EQ(g.host.refreshes, afterDisabling);
  EXPECT_EQ(g.control.History().HistoryStart(), kW - 2);
  EXPECT_EQ(g.control.GridOffset(), -1);
}

// Behind another panel the graph keeps its history whole but draws nothing; let go, it draws
// once, and looks as if it had drawn all along.
TEST(CpuMonitorHeldDrawingTest, SamplesWhileHeldAndDrawsOnceWhenLetGo) {
  Graph drawn, held;
  for (Graph* g : {&drawn, &held}) g->control.Timer1Tick();
  held.control.HoldDrawing(true);
  const int clears = held.host.canvas.clears;
  const int refreshes = held.host.refreshes;
  for (std::uint32_t load : {20u, 70u, 40u}) {
    for (Graph* g : {&drawn, &held}) {
      g->readings.SetMemoryLoad(load);
      g->control.Timer1Tick();
    }
  }
  // The window hidden and shown again meanwhile.
  drawn.control.CatchUp(6);
  held.control.CatchUp(6);
  EXPECT_EQ(held.host.canvas.clears, clears) << "nothing drawn while held";
  EXPECT_EQ(held.host.refreshes, refreshes);
  EXPECT_EQ(held.control.GridOffset(), drawn.control.GridOffset());
  for (int x = 0; x < kW; ++x) {
    ASSERT_EQ(held.control.History().Slot(x), drawn.control.History().Slot(x)) << "column " << x;
  }

  held.control.HoldDrawing(false);
  EXPECT_EQ(held.host.refreshes, refreshes + 1);
  int differing = 0;
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      differing += held.host.canvas.Raster().At(x, y) != drawn.host.canvas.Raster().At(x, y);
    }
  }
  EXPECT_EQ(differing, 0) << "pixels";

  // Held and let go with no sample between: the image is current, nothing to draw.
  held.control.HoldDrawing(true);
  held.control.HoldDrawing(false);
  EXPECT_EQ(held.host.refreshes, refreshes + 1);
}

TEST_F(CpuMonitorTest, GetCurrentSystemLevelsSamplesWithoutDrawing) {
  LoadStatusPanelMonitor();
  int updates = 0;
  monitor.SetUpdateHandler([&](const SystemLevelReport&) { ++updates; });
  platform.SetMemoryLoad(81);
  const SystemLevelReport levels = monitor.GetCurrentSystemLevels();
  EXPECT_EQ(levels.MemoryLoadPercent, 81);
  EXPECT_EQ(levels.CPULoadPercent, 100);
  EXPECT_EQ(monitor.History().HistoryStart(), kW - 2);
  EXPECT_EQ(host.refreshes, 0);
  EXPECT_EQ(updates, 0);
  EXPECT_EQ(monitor.GridOffset(), 0);
}

TEST_F(CpuMonitorTest, LoadingAppliesTheStoredValuesAndStartsTheTimer) {
  LoadStatusPanelMonitor();
  EXPECT_EQ(host.timerInterval, 1000);
  EXPECT_EQ(monitor.BackColor(), kBack);
  EXPECT_EQ(monitor.Appearance(), kAppearanceFlat);
  EXPECT_EQ(host.appliedAppearance, kAppearanceFlat);
  EXPECT_EQ(host.appliedBorderStyle, kBorderStyleFixedSingle);
  EXPECT_EQ(host.appliedEnabled, true);
  EXPECT_EQ(monitor.DisplayGridColor(), kGrid);
  EXPECT_EQ(monitor.HDDriveLetter(), L"C:\\");
  EXPECT_EQ(monitor.History().Size(), 418) << "slots 0 to the outer width";

  // Unreadable values count as zero, not as their defaults.
  FakeHost window;
  CpuMonitor control(window, support);
  control.ReadProperties(PropertyBag(L"", {{L"PageFileColor", std::wstring(L"red")},
                                           {L"ScrollGrid", std::wstring(L"yes")},
                                           {L"HDDriveLetter", std::int64_t{4}},
                                           {L"hddrivELETTER", std::wstring(L"d:\\x")}}));
  EXPECT_EQ(control.PageFileColor(), 0u);
  EXPECT_FALSE(control.ScrollGrid());
  EXPECT_EQ(control.HDDriveLetter(), L"d:\\x") << "names ignore case; not normalised";
}

TEST_F(CpuMonitorTest, SavingWritesOnlyWhatDiffersFromTheDefaults) {
  monitor.ReadProperties(PropertyBag());
  PropertyBag saved;
  monitor.WriteProperties(saved);
  EXPECT_EQ(saved.Size(), 2u);
  EXPECT_EQ(saved.ReadInt(PropertyBag::kExtentX, 0), 11033);
  EXPECT_EQ(saved.ReadInt(PropertyBag::kExtentY, 0), 1508);

  monitor.SetMemoryLoadColor(0x00AAAA);
  monitor.SetAppearance(kAppearanceFlat);
  monitor.SetEnabled(false);
  monitor.SetHDDriveLetter(L"e:\\");
  monitor.WriteProperties(saved);
  EXPECT_EQ(saved.Size(), 6u);
  EXPECT_EQ(saved.ReadInt(L"MemoryColor", 0), 0x00AAAA);
  EXPECT_FALSE(saved.Contains(L"MemoryLoadColor"));
  EXPECT_EQ(saved.ReadInt(L"Appearance", 1), 0);
  EXPECT_TRUE(saved.Contains(L"Enabled"));
  EXPECT_EQ(saved.ReadInt(L"Enabled", -1), 0) << "false is stored as 0";
  EXPECT_EQ(saved.ReadText(L"HDDriveLetter", L""), L"E:\\");
}

TEST_F(CpuMonitorTest, SavedValuesLoadBackTheSameControl) {
  LoadStatusPanelMonitor();
  monitor.SetDiagramStyle(kDiagramStyleBars);
  monitor.SetVirtualMemoryColor(0xFFFFFFFF);
  PropertyBag saved;
  monitor.WriteProperties(saved);

  FakeHost window;
  CpuMonitor copy(window, support);
  copy.ReadProperties(saved);
  PropertyBag again;
  copy.WriteProperties(again);
  EXPECT_EQ(copy.VirtualMemoryColor(), 0xFFFFFFFFu);
  EXPECT_EQ(copy.DiagramStyle(), kDiagramStyleBars);
  EXPECT_EQ(again.Size(), saved.Size());
  for (const auto* name : {L"BackColor", L"Appearance", L"DisplayGridColor", L"HDDriveLetter",
                           L"DiagramStyle", L"VirtualMemoryColor"}) {
    EXPECT_EQ(again.Read(name, std::int64_t{-7}), saved.Read(name, std::int64_t{-7})) << name;
  }
}

TEST_F(CpuMonitorTest, NewControlWatchesTheWindowsDrive) {
  platform.windowsDirectory = L"E:\\WINNT";
  monitor.InitNew();
  EXPECT_EQ(monitor.HDDriveLetter(), L"E:\\");
  EXPECT_EQ(host.appliedAppearance, kAppearance3D);
  EXPECT_EQ(host.appliedBorderStyle, kBorderStyleFixedSingle);
  EXPECT_FALSE(host.timerInterval.has_value());
  EXPECT_EQ(host.refreshes, 1);
  EXPECT_TRUE(host.noted.empty());
}

TEST_F(CpuMonitorTest, WideningKeepsTheCurveAtTheRightEdge) {
  LoadStatusPanelMonitor();
  ShowOnly(&SystemLevelSample::MemoryLoadPercent);
  TickWithMemoryLoad(20);
  TickWithMemoryLoad(40);
  TickWithMemoryLoad(60);
  host.canvas.Resize(600, kH);
  monitor.OnResize();
  const Color yellow = kDefaultMemoryLoadColor;
  EXPECT_EQ(host.canvas.LinesIn(yellow),
            (std::vector<LineCall>{{597, 44, 598, 33, yellow}, {598, 33, 599, 22, yellow}}));
  TickWithMemoryLoad(80);
  EXPECT_EQ(host.canvas.LinesIn(yellow).back(), (LineCall{598, 22, 599, 11, yellow}));
}

TEST_F(CpuMonitorTest, TerminationStopsTheWin9xCounterOnce) {
  platform.platformId = 1;
  platform.win9xValue = 12;
  LoadStatusPanelMonitor();
  EXPECT_EQ(platform.win9xStarts, 1);
  monitor.Terminate();
  monitor.Terminate();
  EXPECT_EQ(platform.win9xStops, 1);
}

}  // namespace
}  // namespace quorvant
