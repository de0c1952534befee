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
  constexpr std::uint32_t kMouseMove = 0x200, kLeftUp = 0x202, kRightUp = 0x205;
  struct Case {
    std::uint32_t message;
    std::intptr_t lParam;
    bool mainVisible;
    bool dialogVisible;
    HookAction action;
  };
  const Case cases[] = {
      {kTrayCallbackMessage, kMouseLeftDoubleClick, false, false, HookAction::RestoreWindow},
      {kTrayCallbackMessage, kMouseLeftDoubleClick, true, false, HookAction::Swallow},
      {kTrayCallbackMessage, kMouseLeftDoubleClick, false, true, HookAction::Swallow},
      {kTrayCallbackMessage, kMouseRightDown, true, false, HookAction::OpenMenu},
      {kTrayCallbackMessage, kMouseRightDown, false, false, HookAction::OpenMenu},
      {kTrayCallbackMessage, kMouseRightDown, false, true, HookAction::Swallow},
      {kTrayCallbackMessage, kLeftUp, false, false, HookAction::PassOn},
      {kTrayCallbackMessage, kRightUp, false, false, HookAction::PassOn},
      {kTrayCallbackMessage, kMouseMove, false, false, HookAction::PassOn},
      {kTaskbarCreated, 0, true, true, HookAction::AddIconAgain},
      {kMouseLeftDoubleClick, kMouseLeftDoubleClick, false, false, HookAction::PassOn},
      {0x0010 /* close */, 0, true, false, HookAction::PassOn},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecideHook(c.message, c.lParam, kTaskbarCreated, c.mainVisible, c.dialogVisible),
              c.action)
        << "message " << c.message << " lParam " << c.lParam;
  }
  EXPECT_EQ(DecideHook(0, 0, 0, false, false), HookAction::PassOn)
      << "an unregistered TaskbarCreated matches nothing";
}

TEST(CentredWindowPositionTest, CentresInTwipsAndRoundsToPixels) {
  EXPECT_EQ(CentredWindowPosition(1280, 1024), (Point{247, 234}));
  EXPECT_EQ(CentredWindowPosition(1024, 768), (Point{119, 106}));
  EXPECT_EQ(CentredWindowPosition(786, 557), (Point{0, 0}));
}

}  // namespace
}  // namespace quorvant::shell
