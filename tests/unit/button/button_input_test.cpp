#include <gtest/gtest.h>

#include <functional>

#include "button/core/access_key.h"
#include "button_fixture.h"

namespace quorvant::button {
namespace {

using testing::TestButton;

constexpr int kW = 97, kH = 25;

// One notification of the button's window.
using Step = std::function<void(TestButton&)>;

const Step kMoveIn = [](TestButton& b) {
  b.host.cursor = {10, 10};
  b.core.OnMouseMove(0, 0, 10, 10);
};
const Step kMoveInLeftHeld = [](TestButton& b) {
  b.host.cursor = {12, 12};
  b.core.OnMouseMove(1, 0, 12, 12);
};
const Step kMoveInRightHeld = [](TestButton& b) { b.core.OnMouseMove(2, 0, 12, 12); };
const Step kMoveOutside = [](TestButton& b) { b.core.OnMouseMove(0, 0, kW + 1, 5); };
const Step kTickOutside = [](TestButton& b) {
  b.host.cursor = {kW + 1, 5};
  b.core.OnTimerTick();
};
const Step kTickOnTheEdge = [](TestButton& b) {
  b.host.cursor = {kW, kH};
  b.core.OnTimerTick();
};
const Step kLeftDown = [](TestButton& b) { b.core.OnMouseDown(1, 0, 3, 4); };
const Step kRightDown = [](TestButton& b) { b.core.OnMouseDown(2, 0, 3, 4); };
const Step kMiddleDown = [](TestButton& b) { b.core.OnMouseDown(4, 0, 3, 4); };
const Step kLeftUp = [](TestButton& b) { b.core.OnMouseUp(1, 0, 3, 4); };
const Step kRightUp = [](TestButton& b) { b.core.OnMouseUp(2, 0, 3, 4); };
const Step kClick = [](TestButton& b) { b.core.OnClick(); };
const Step kDblClick = [](TestButton& b) { b.core.OnDblClick(); };
const Step kFocus = [](TestButton& b) { b.core.OnGotFocus(); };
const Step kBlur = [](TestButton& b) { b.core.OnLostFocus(); };
const Step kDisable = [](TestButton& b) { b.core.SetEnabled(false); };

struct TransitionCase {
  const char* name;
  std::vector<Step> steps;
  ButtonState state;
  bool hovering;
  const char* events;
  bool lastStepDrew;
};

TEST(CommandInput, StateTable) {
  const TransitionCase cases[] = {
      {"normal, move in", {kMoveIn}, ButtonState::Up, true, "MouseMove(0,0,10,10)", true},
      {"hover, move in again",
       {kMoveIn, kMoveIn},
       ButtonState::Up,
       true,
       "MouseMove(0,0,10,10) MouseMove(0,0,10,10)",
       false},
      {"hover, left down",
       {kMoveIn, kLeftDown},
       ButtonState::Down,
       true,
       "MouseMove(0,0,10,10) MouseDown(1,0,3,4)",
       true},
      {"middle down", {kMiddleDown}, ButtonState::Down, false, "MouseDown(4,0,3,4)", true},
      {"right down keeps the look",
       {kRightDown},
       ButtonState::Up,
       false,
       "MouseDown(2,0,3,4)",
       true},
      {"pressed, drag inside",
       {kLeftDown, kMoveInLeftHeld},
       ButtonState::Down,
       false,
       "MouseDown(1,0,3,4) MouseMove(1,0,12,12)",
       false},
      {"pressed, cursor leaves",
       {kLeftDown, kMoveInLeftHeld, kTickOutside},
       ButtonState::Up,
       false,
       "MouseDown(1,0,3,4) MouseMove(1,0,12,12) MouseOut",
       true},
      {"dragged back in",
       {kLeftDown, kMoveInLeftHeld, kTickOutside, kMoveInLeftHeld},
       ButtonState::Down,
       false,
       "MouseDown(1,0,3,4) MouseMove(1,0,12,12) MouseOut MouseMove(1,0,12,12)",
       true},
      {"hover, press, release keeps hover",
       {kMoveIn, kLeftDown, kLeftUp},
       ButtonState::Up,
       true,
       "MouseMove(0,0,10,10) MouseDown(1,0,3,4) MouseUp(1,0,3,4)",
       true},
      {"right release keeps pressed",
       {kLeftDown, kRightUp},
       ButtonState::Down,
       false,
       "MouseDown(1,0,3,4) MouseUp(2,0,3,4)",
       true},
      {"click after left press",
       {kLeftDown, kLeftUp, kClick},
       ButtonState::Up,
       false,
       "MouseDown(1,0,3,4) MouseUp(1,0,3,4) Click",
       true},
      {"click after right press leaves the state",
       {kLeftDown, kRightDown, kClick},
       ButtonState::Down,
       false,
       "MouseDown(1,0,3,4) MouseDown(2,0,3,4) Click",
       true},
      {"hover, cursor leaves",
       {kMoveIn, kTickOutside},
       ButtonState::Up,
       false,
       "MouseMove(0,0,10,10) MouseOut",
       true},
      {"cursor on the far edge is inside",
       {kMoveIn, kTickOnTheEdge},
       ButtonState::Up,
       true,
       "MouseMove(0,0,10,10)",
       false},
      {"move with right button held", {kMoveInRightHeld}, ButtonState::Up, false, "", false},
      {"move outside", {kMoveOutside}, ButtonState::Up, false, "", false},
      {"focus", {kFocus}, ButtonState::Up, false, "", true},
      {"focus while pressed",
       {kLeftDown, kFocus, kBlur},
       ButtonState::Down,
       false,
       "MouseDown(1,0,3,4)",
       true},
      {"double click clicks once",
       {kLeftDown, kLeftUp, kClick, kDblClick, kLeftUp},
       ButtonState::Up,
       false,
       "MouseDown(1,0,3,4) MouseUp(1,0,3,4) Click MouseDown(1,1,1,1) MouseUp(1,0,3,4)",
       true},
      {"double click after right press",
       {kRightDown, kDblClick},
       ButtonState::Up,
       false,
       "MouseDown(2,0,3,4)",
       false},
      {"disabled ignores input",
       {kDisable, kMoveIn, kLeftDown, kLeftUp, kClick},
       ButtonState::Up,
       false,
       "",
       false},
  };
  for (const auto& c : cases) {
    TestButton b(kW, kH);
    int drawsBefore = 0;
    for (const Step& step : c.steps) {
      drawsBefore = b.host.draws;
      step(b);
    }
    EXPECT_EQ(b.core.State(), c.state) << c.name;
    EXPECT_EQ(b.core.IsHovering(), c.hovering) << c.name;
    EXPECT_EQ(b.TakeLog(), c.events) << c.name;
    EXPECT_EQ(b.host.draws > drawsBefore, c.lastStepDrew) << c.name;
  }
}

TEST(CommandInput, HoverPollRunsFromTheFirstMoveToTheFirstTickOutside) {
  TestButton b(kW, kH);
  EXPECT_FALSE(b.host.timerRunning);
  kMoveIn(b);
  kMoveIn(b);
  EXPECT_TRUE(b.host.timerRunning);
  EXPECT_EQ(b.host.timerStarts, 1);
  b.core.OnTimerTick();  // still inside
  EXPECT_TRUE(b.host.timerRunning);
  kTickOutside(b);
  EXPECT_FALSE(b.host.timerRunning);
  // A move outside the client area still starts the poll.
  kMoveOutside(b);
  EXPECT_TRUE(b.host.timerRunning);
}

TEST(CommandInput, DisabledButtonStillFinishesItsHover) {
  TestButton b(kW, kH);
  kMoveIn(b);
  kDisable(b);
  b.TakeLog();
  kTickOutside(b);
  EXPECT_EQ(b.TakeLog(), "MouseOut");
  EXPECT_FALSE(b.core.IsHovering());
}

TEST(CommandInput, ClickRefreshesBeforeTheFormHearsOfIt) {
  TestButton b(kW, kH);
  int refreshesSeen = -1;
  b.core.events.click = [&] { refreshesSeen = b.host.refreshes; };
  b.core.OnClick();
  EXPECT_EQ(refreshesSeen, 1);
}

TEST(CommandInput, SpaceBarActsAsALeftClick) {
  TestButton b(kW, kH);
  b.core.OnKeyDown(kKeySpace, 0);
  EXPECT_EQ(b.core.State(), ButtonState::Down);
  b.core.OnKeyPress(32);
  b.core.OnKeyUp(kKeySpace, 0);
  EXPECT_EQ(b.TakeLog(),
            "KeyDown(32,0) MouseDown(1,1,1,1) KeyPress(32) KeyUp(32,0) MouseUp(1,1,1,1) Click");
  EXPECT_EQ(b.core.State(), ButtonState::Up);

  // A release without a press of space on this button does nothing more.
  b.core.OnKeyUp(kKeySpace, 0);
  EXPECT_EQ(b.TakeLog(), "KeyUp(32,0)");
  b.core.OnKeyDown(kKeySpace, 0);
  b.core.OnLostFocus();
  b.core.OnKeyUp(kKeySpace, 0);
  EXPECT_EQ(b.TakeLog(), "KeyDown(32,0) MouseDown(1,1,1,1) KeyUp(32,0)");
}

TEST(CommandInput, KeyDownHandlerMayChangeTheKeyCode) {
  TestButton b(kW, kH);
  b.core.events.keyDown = [](std::int16_t& code, std::int16_t&) { code = 0; };
  b.core.OnKeyDown(kKeySpace, 0);
  b.core.OnKeyUp(kKeySpace, 0);
  EXPECT_EQ(b.TakeLog(), "KeyUp(32,0)");
  EXPECT_EQ(b.core.LastKeyCode(), 0);
}

TEST(CommandInput, ArrowKeysMoveTheFocus) {
  const struct {
    std::int16_t key;
    std::vector<bool> moves;
  } cases[] = {{kKeyRight, {true}}, {kKeyDown, {true}}, {kKeyLeft, {false}},
               {kKeyUp, {false}},   {13, {}},           {9, {}}};
  for (const auto& c : cases) {
    TestButton b(kW, kH);
    b.core.OnKeyDown(c.key, 0);
    EXPECT_EQ(b.host.focusMoves, c.moves) << c.key;
  }
}

TEST(CommandInput, AccessKeyPressClicks) {
  TestButton b(kW, kH);
  b.core.OnAccessKeyPress();
  EXPECT_EQ(b.TakeLog(), "Click");
  kDisable(b);
  b.core.OnAccessKeyPress();
  EXPECT_EQ(b.TakeLog(), "");
}

TEST(AccessKey, CaptionTable) {
  const struct {
    const wchar_t* caption;
    std::optional<wchar_t> key;
  } cases[] = {
      {L"&Refresh", L'r'},
      {L"R&ELEASE", L'e'},
      {L"Save && Exit", std::nullopt},  // only a doubled pair
      {L"A && B &Cancel", L'c'},        // doubled pair, then a single marker
      {L"A && B && C", std::nullopt},   // doubled pair, then another doubled pair
      {L"A && B && &C", std::nullopt},  // only the first marker after "&&" counts
      {L"&&&x", L'x'},
      {L"Limit&", std::nullopt},  // ampersand last
      {L"A&&B&", std::nullopt},
      {L"&", std::nullopt},  // single character
      {L"X", std::nullopt},
      {L"", std::nullopt},
      {L"OK", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(UpdateAccessKey(c.caption), c.key) << c.caption;

  TestButton b(kW, kH);
  b.core.SetCaption(L"&Refresh");
  EXPECT_EQ(b.core.AccessKey(), L'r');
}

}  // namespace
}  // namespace quorvant::button
