#include "shell/core/chrome.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/core/tray_hook.h"

namespace quorvant::shell {
namespace {

TEST(NavigationTest, SelectingShowsOnlyThatEntrysSelectedPictureAndPanel) {
  Navigation navigation;
  for (const auto& chosen : kEntries) {
    navigation.Select(chosen.entry);
    navigation.Select(chosen.entry);  // selecting the selected entry changes nothing
    for (const auto& other : kEntries) {
      const bool isChosen = other.entry == chosen.entry;
      EXPECT_EQ(navigation.PictureIndex(other.entry), isChosen ? 1 : 0);
      EXPECT_EQ(navigation.PanelVisible(other.entry), isChosen);
    }
  }
}

TEST(NavigationTest, StartsOnTheStatusEntry) {
  EXPECT_EQ(Navigation().Selected(), Entry::State);
}

TEST(PanelKeysTest, OnlyCtrlWithTabOrPageKeysStepThroughTheEntries) {
  constexpr std::uint32_t kKeyA = 0x41, kKeyEscape = 0x1B;
  struct Case {
    std::uint32_t key;
    bool ctrl, shift, alt;
    PanelStep step;
  };
  const Case cases[] = {
      {kKeyTab, true, false, false, PanelStep::Next},
      {kKeyTab, true, true, false, PanelStep::Previous},
      {kKeyPageDown, true, false, false, PanelStep::Next},
      {kKeyPageUp, true, false, false, PanelStep::Previous},
      {kKeyPageDown, true, true, false, PanelStep::Next},
      {kKeyTab, false, false, false, PanelStep::None},  // plain Tab moves among controls
      {kKeyTab, false, true, false, PanelStep::None},
      {kKeyPageDown, false, false, false, PanelStep::None},  // lists scroll by pages
      {kKeyTab, true, false, true, PanelStep::None},
      {kKeyA, true, false, false, PanelStep::None},
      {kKeyEscape, true, false, false, PanelStep::None},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PanelStepForKey(c.key, c.ctrl, c.shift, c.alt), c.step)
        << "key " << c.key << " ctrl " << c.ctrl << " shift " << c.shift << " alt " << c.alt;
  }
}

TEST(PanelKeysTest, StepsVisitEveryEntryInColumnOrderAndWrap) {
  std::vector<Entry> forward, backward;
  Entry at = Entry::State;
  for (int i = 0; i < kEntryCount; ++i) forward.push_back(at = StepEntry(at, PanelStep::Next));
  at = Entry::State;
  for (int i = 0; i < kEntryCount; ++i) backward.push_back(at = StepEntry(at, PanelStep::Previous));
  EXPECT_EQ(forward, (std::vector<Entry>{Entry::Process, Entry::CPU, Entry::Memory, Entry::Setting,
                                         Entry::About, Entry::State}));
  EXPECT_EQ(backward, (std::vector<Entry>{Entry::About, Entry::Setting, Entry::Memory, Entry::CPU,
                                          Entry::Process, Entry::State}));
  EXPECT_EQ(StepEntry(Entry::Memory, PanelStep::None), Entry::Memory);
}

// A title-bar button fed a sequence of mouse events: the picture it ends on and the
// actions it asked for.
TEST(TitleButtonTest, MouseSequences) {
  using Look = TitleButton::Look;
  using Action = TitleButton::Action;
  using Kind = TitleButton::Kind;
  enum Event { Move, DownLeft, DownRight, UpLeft, UpRight, ClickLeft, Background };
  struct Case {
    const char* name;
    Kind kind;
    std::vector<Event> events;
    Look look;
    std::vector<Action> actions;
  };
  const Case cases[] = {
      {"hover", Kind::Minimise, {Move}, Look::Hover, {}},
      {"press without moving minimises and stays pressed", Kind::Minimise,
       {Move, DownLeft, UpLeft, ClickLeft}, Look::Pressed, {Action::Minimise}},
      {"press, move inside, release: nothing", Kind::Minimise,
       {Move, DownLeft, Move, UpLeft, ClickLeft}, Look::Hover, {}},
      {"right press and release minimises too", Kind::Minimise, {DownRight, UpRight}, Look::Pressed,
       {Action::Minimise}},
      {"close without moving hides", Kind::Close, {Move, DownLeft, UpLeft, ClickLeft},
       Look::Pressed, {Action::Hide, Action::Hide}},
      {"close: a left click hides even after a move", Kind::Close,
       {DownLeft, Move, UpLeft, ClickLeft}, Look::Hover, {Action::Hide}},
      {"close: right press and release hides", Kind::Close, {DownRight, UpRight}, Look::Pressed,
       {Action::Hide}},
      {"close: right press, move, release does nothing", Kind::Close, {DownRight, Move, UpRight},
       Look::Hover, {}},
      {"the background resets the look", Kind::Close, {Move, DownLeft, Background}, Look::Normal,
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TitleButton button(c.kind);
    std::vector<Action> actions;
    auto record = [&](Action a) {
      if (a != Action::None) actions.push_back(a);
    };
    for (const Event e : c.events) {
      switch (e) {
        case Move: button.MouseMove(); break;
        case DownLeft: button.MouseDown(MouseButton::Left); break;
        case DownRight: button.MouseDown(MouseButton::Right); break;
        case UpLeft: record(button.MouseUp(MouseButton::Left)); break;
        case UpRight: record(button.MouseUp(MouseButton::Right)); break;
        case ClickLeft: record(button.Click()); break;
        case Background: button.BackgroundMove(); break;
      }
    }
    EXPECT_EQ(button.CurrentLook(), c.look);
    EXPECT_EQ(actions, c.actions);
  }
}

TEST(DecideHookTest, TestsInOrder) {
  constexpr std::uint32_t kTaskbarCreated = 0xC0F3;
  constexpr std::uint32_t kClose = 0x0010, kLeftDown = 0x201, kPopupOpen = 0x406;
  struct Case {
    std::uint32_t message;
    std::intptr_t lParam;
    bool mainVisible;
    bool dialogVisible;
    bool echo;
    HookAction action;
  };
  const Case cases[] = {
      {kTrayCallbackMessage, kMouseLeftDoubleClick, false, false, false, HookAction::RestoreWindow},
      {kTrayCallbackMessage, kMouseLeftDoubleClick, true, false, false, HookAction::Swallow},
      {kTrayCallbackMessage, kMouseLeftDoubleClick, false, true, false, HookAction::Swallow},
      {kTrayCallbackMessage, kMouseRightDown, true, false, false, HookAction::OpenMenu},
      {kTrayCallbackMessage, kMouseRightDown, false, false, false, HookAction::OpenMenu},
      {kTrayCallbackMessage, kMouseRightDown, false, true, false, HookAction::Swallow},
      // The keyboard: the icon chosen opens the window, its context menu opens the menu.
      {kTrayCallbackMessage, kIconKeySelect, false, false, false, HookAction::RestoreWindow},
      {kTrayCallbackMessage, kIconKeySelect, true, false, false, HookAction::Swallow},
      {kTrayCallbackMessage, kIconKeySelect, false, true, false, HookAction::Swallow},
      {kTrayCallbackMessage, kIconSelect, false, false, false, HookAction::RestoreWindow},
      {kTrayCallbackMessage, kContextMenu, true, false, false, HookAction::OpenMenuAtAnchor},
      {kTrayCallbackMessage, kContextMenu, false, true, false, HookAction::Swallow},
      // The echoes of mouse clicks: a single left click does nothing, a right click opened
      // its menu on the press already.
      {kTrayCallbackMessage, kIconSelect, false, false, true, HookAction::PassOn},
      {kTrayCallbackMessage, kContextMenu, false, false, true, HookAction::PassOn},
      {kTrayCallbackMessage, kLeftDown, false, false, false, HookAction::PassOn},
      {kTrayCallbackMessage, kMouseLeftUp, false, false, false, HookAction::PassOn},
      {kTrayCallbackMessage, kMouseRightUp, false, false, false, HookAction::PassOn},
      {kTrayCallbackMessage, kMouseMove, false, false, false, HookAction::PassOn},
      {kTrayCallbackMessage, kPopupOpen, false, false, false, HookAction::PassOn},
      {kTaskbarCreated, 0, true, true, false, HookAction::AddIconAgain},
      {kMouseLeftDoubleClick, kMouseLeftDoubleClick, false, false, false, HookAction::PassOn},
      {kContextMenu, 0, false, false, false, HookAction::PassOn},
      {kClose, 0, true, false, false, HookAction::PassOn},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(
        DecideHook(c.message, c.lParam, kTaskbarCreated, c.mainVisible, c.dialogVisible, c.echo),
        c.action)
        << "message " << c.message << " lParam " << c.lParam << " echo " << c.echo;
  }
  EXPECT_EQ(DecideHook(0, 0, 0, false, false), HookAction::PassOn)
      << "an unregistered TaskbarCreated matches nothing";
}

TEST(TrayMouseEchoTest, OnlyTheNotificationRightAfterAReleaseIsAnEcho) {
  constexpr std::uint32_t kLeftDown = 0x201;
  struct Case {
    const char* what;
    std::vector<std::uint32_t> events;
    std::vector<bool> echoes;
  };
  const Case cases[] = {
      {"left click", {kLeftDown, kMouseLeftUp, kIconSelect}, {false, false, true}},
      {"double click",
       {kLeftDown, kMouseLeftUp, kIconSelect, kMouseLeftDoubleClick, kMouseLeftUp, kIconSelect},
       {false, false, true, false, false, true}},
      {"right click", {kMouseRightDown, kMouseRightUp, kContextMenu}, {false, false, true}},
      {"moves between a release and its echo",
       {kMouseRightUp, kMouseMove, kMouseMove, kContextMenu},
       {false, false, false, true}},
      {"keyboard after a right click",
       {kMouseRightUp, kContextMenu, kContextMenu, kIconKeySelect, kIconSelect},
       {false, true, false, false, false}},
      {"a release's echo is only its own kind",
       {kMouseLeftUp, kContextMenu, kMouseRightUp, kIconSelect},
       {false, false, false, false}},
  };
  for (const auto& c : cases) {
    TrayMouseEcho echo;
    std::vector<bool> seen;
    for (const auto event : c.events) seen.push_back(echo.IsEcho(event));
    EXPECT_EQ(seen, c.echoes) << c.what;
  }
}

TEST(CentredWindowPositionTest, CentresInTwipsAndRoundsToPixels) {
  EXPECT_EQ(CentredWindowPosition(1280, 1024), (Point{247, 234}));
  EXPECT_EQ(CentredWindowPosition(1024, 768), (Point{119, 106}));
  EXPECT_EQ(CentredWindowPosition(786, 557), (Point{0, 0}));
}

}  // namespace
}  // namespace quorvant::shell
