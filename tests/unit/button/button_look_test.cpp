// Pixels of the looks on the raster surface. Text is recorded, not drawn, so the checks
// read shapes and look at the recorded caption calls.
#include <gtest/gtest.h>

#include "button/core/button_region.h"
#include "button_fixture.h"
#include "common/core/rounding.h"

namespace quorvant::button {
namespace {

using testing::TestButton;

constexpr Color kFace = testing::kTestSystemColors.buttonFace;
constexpr Color kXpEdge = Rgb(0, 60, 115);
constexpr Color kXpCorner = Rgb(16, 77, 123);
constexpr Color kOliveHover = Rgb(228, 144, 80);
constexpr Color kOliveDefault = Rgb(122, 184, 98);

PropertyBag Bag(std::initializer_list<std::pair<std::wstring, PropertyValue>> values) {
  return PropertyBag(std::wstring(kCommandTypeName), values);
}

// The program's own buttons: style 1, olive, system colours.
TestButton ProgramButton(int w = 97, int h = 25) {
  return TestButton(w, h, ProgramButtonBag(L"Limit", w, h));
}

TEST(XpOliveLook, FaceBrightensOneStepPerRowFromTheBottom) {
  TestButton b = ProgramButton();
  const int h = 25;
  for (int y = 1; y <= h - 2; ++y) {
    const int k = h - 2 - y;  // steps above the bottom face row
    const Color expected = ShiftColor(Rgb(243, 238, 219), k);
    const bool cornerRow = y == 1 || y == h - 2;
    EXPECT_EQ(b.At(1, y), cornerRow ? kXpCorner : expected) << y;
    for (int x : {2, 40, 94}) EXPECT_EQ(b.At(x, y), expected) << x << "," << y;
    EXPECT_EQ(b.At(95, y), cornerRow ? kXpCorner : kFace) << "right of face " << y;
  }
  EXPECT_EQ(b.At(40, 23), Rgb(243, 238, 219));
  EXPECT_EQ(b.At(40, 1), Rgb(255, 255, 241));
}

TEST(XpOliveLook, RoundFrameLeavesTheOutermostCornerPixels) {
  TestButton b = ProgramButton();
  const int w = 97, h = 25;
  for (int x = 2; x <= w - 3; ++x) {
    EXPECT_EQ(b.At(x, 0), kXpEdge);
    EXPECT_EQ(b.At(x, h - 1), kXpEdge);
  }
  for (int y = 2; y <= h - 3; ++y) {
    EXPECT_EQ(b.At(0, y), kXpEdge);
    EXPECT_EQ(b.At(w - 1, y), kXpEdge);
  }
  for (auto [x, y] : {std::pair{1, 1}, {1, h - 2}, {w - 2, 1}, {w - 2, h - 2}}) {
    EXPECT_EQ(b.At(x, y), kXpCorner);
  }
  // The pixels the region of styles 3 and 4 cuts away keep the face here.
  for (const CutPixel p : BuildRegion(kGlassGradient, w, h).cuts) {
    EXPECT_EQ(b.At(p.x, p.y), kFace) << p.x << "," << p.y;
  }
}

// The pixels of the two-pixel hover ring and of the six default-frame shapes.
std::vector<std::pair<int, int>> HoverRing(int w, int h) {
  std::vector<std::pair<int, int>> p;
  for (int x = 2; x <= w - 3; ++x) p.insert(p.end(), {{x, 1}, {x, h - 2}});
  for (int y = 1; y <= h - 2; ++y) p.insert(p.end(), {{2, y}, {w - 3, y}});
  for (int y = 2; y <= h - 3; ++y) p.insert(p.end(), {{1, y}, {w - 2, y}});
  for (int x = 3; x <= w - 4; ++x) p.insert(p.end(), {{x, 2}, {x, h - 3}});
  return p;
}

std::vector<std::pair<int, int>> DefaultRing(int w, int h) {
  std::vector<std::pair<int, int>> p;
  for (int x = 1; x <= w - 2; ++x) p.insert(p.end(), {{x, 2}, {x, h - 3}});
  for (int y = 2; y <= h - 3; ++y) p.insert(p.end(), {{1, y}, {w - 2, y}});
  for (int x = 2; x <= w - 3; ++x) p.insert(p.end(), {{x, h - 2}, {x, 1}, {x, 2}});
  for (int y = 3; y <= h - 4; ++y) p.insert(p.end(), {{2, y}, {w - 3, y}});
  return p;
}

TEST(XpOliveLook, HoverShowsTheOrangeRing) {
  TestButton b = ProgramButton();
  b.host.cursor = {10, 10};
  b.core.OnMouseMove(0, 0, 10, 10);
  for (auto [x, y] : HoverRing(97, 25)) EXPECT_EQ(b.At(x, y), kOliveHover) << x << "," << y;
  EXPECT_EQ(b.At(40, 3), ShiftColor(Rgb(243, 238, 219), 20));  // face inside the ring
  EXPECT_TRUE(b.canvas.FocusRects().empty());
}

TEST(XpOliveLook, FocusShowsTheGreenRingWithTheFocusRectangle) {
  TestButton b = ProgramButton();
  b.core.OnGotFocus();
  ASSERT_EQ(b.canvas.FocusRects().size(), 1u);
  EXPECT_EQ(b.canvas.FocusRects()[0], (PixelRect{2, 2, 95, 23}));
  // Before the focus rectangle inverts every other pixel of its border.
  b.canvas.ForgetCalls();
  b.core.SetShowFocusRect(true);
  const int w = 97, h = 25;
  for (auto [x, y] : DefaultRing(w, h)) {
    const bool dotted = (x == 2 || x == w - 3 || y == 2 || y == h - 3) && (x + y) % 2 == 0 &&
                        x >= 2 && x <= w - 3 && y >= 2 && y <= h - 3;
    const Color expected = dotted ? (~kOliveDefault & 0xFFFFFF) : kOliveDefault;
    EXPECT_EQ(b.At(x, y), expected) << x << "," << y;
  }
}

struct DecorationCase {
  const char* name;
  bool focused;
  bool displayAsDefault;
  bool hovering;
  bool showFocusRect;
  Color ringPixel;  // at (1, 10): the hover ring, the default ring or the face
  size_t focusRects;
};

TEST(XpOliveLook, DefaultFocusAndHoverDecorations) {
  const Color face = ShiftColor(Rgb(243, 238, 219), 13);  // row 10 of 25
  const DecorationCase cases[] = {
      {"plain", false, false, false, true, face, 0},
      {"default, not focused", false, true, false, true, kOliveDefault, 1},
      {"focused", true, false, false, true, kOliveDefault, 1},
      {"hovered default", true, true, true, true, kOliveHover, 0},
      {"hovered", false, false, true, true, kOliveHover, 0},
      {"no focus rect, focused default", true, true, false, false, face, 0},
      {"no focus rect, hovered", true, false, true, false, kOliveHover, 0},
  };
  for (const auto& c : cases) {
    TestButton b = ProgramButton();
    if (!c.showFocusRect) b.core.SetShowFocusRect(false);
    b.host.displayAsDefault = c.displayAsDefault;
    if (c.focused) b.core.OnGotFocus();
    if (c.hovering) b.core.OnMouseMove(0, 0, 5, 5);
    b.canvas.ForgetCalls();
    b.core.OnAmbientChanged();
    EXPECT_EQ(b.At(1, 10), c.ringPixel) << c.name;
    EXPECT_EQ(b.canvas.FocusRects().size(), c.focusRects) << c.name;
  }
}

TEST(XpOliveLook, PressedFaceShadesDarkerTowardsTheTop) {
  TestButton b = ProgramButton();
  b.core.OnMouseDown(1, 0, 5, 5);
  // Face (192,192,192): +48 proportional = (240,240,240), -32 proportional = (208,208,200).
  const Color base = Rgb(208, 208, 200);
  for (int y = 1; y <= 23; ++y) {
    const int i = 25 - y;
    const int shift = static_cast<int>(NearestInt(-(15.0f / 25) * static_cast<float>(i)));
    EXPECT_EQ(b.At(40, y), ShiftColor(base, shift, true)) << y;
  }
  EXPECT_EQ(b.At(40, 23), Rgb(207, 207, 199));
  EXPECT_EQ(b.At(1, 0), Rgb(193, 193, 185));  // row 0 outside the frame: 15 darker
  EXPECT_EQ(b.At(40, 0), kXpEdge);
}

TEST(XpOliveLook, DisabledIsPaleWithGreyText) {
  TestButton b = ProgramButton();
  b.core.SetEnabled(false);
  EXPECT_EQ(b.At(40, 10), Rgb(244, 244, 234));
  EXPECT_EQ(b.At(40, 0), Rgb(201, 199, 186));
  EXPECT_EQ(b.At(1, 1), Rgb(201, 199, 186));
  ASSERT_FALSE(b.canvas.TextCalls().empty());
  EXPECT_EQ(b.canvas.TextCalls().back().color, Rgb(161, 162, 146));
}

TEST(CaptionPlacement, OneLineUpToTheWidthThenWrapped) {
  // The raster surface measures 6 pixels a character and 12 a line.
  const int w = 96, h = 33;
  TestButton b(w, h, ProgramButtonBag(std::wstring(16, L'x'), w, h));
  const auto& calls = b.canvas.TextCalls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().rect, (PixelRect{0, 0, w, h}));
  EXPECT_EQ(calls.back().format, kTextCenter | kTextVCenter | kTextSingleLine | kTextExpandTabs);
  EXPECT_EQ(calls.back().font, (FontDesc{L"Verdana", 7.5}));

  b.core.OnMouseDown(1, 0, 1, 1);  // one pixel right and down
  EXPECT_EQ(b.canvas.TextCalls().back().rect, (PixelRect{2, 2, w, h}));

  b.core.OnMouseUp(1, 0, 1, 1);
  b.core.SetCaption(std::wstring(17, L'x'));  // 102 pixels: two lines
  EXPECT_EQ(calls.back().rect, (PixelRect{0, (33 - 24) / 2, w, h}));
  EXPECT_EQ(calls.back().format, kTextCenter | kTextWordBreak);
  b.core.OnMouseDown(1, 0, 1, 1);
  EXPECT_EQ(calls.back().rect, (PixelRect{2, (33 - 24) / 2 + 2, w, h}));

  // A caption that fits again is centred in the whole button.
  b.core.OnMouseUp(1, 0, 1, 1);
  b.core.SetCaption(L"OK");
  EXPECT_EQ(calls.back().rect, (PixelRect{0, 0, w, h}));
}

TEST(DrawButton, DrawsOnceForTheSameStateAndCaption) {
  TestButton b = ProgramButton();
  b.core.DrawButton(ButtonState::Up, false);
  EXPECT_EQ(b.host.draws, 0);
  b.core.DrawButton(ButtonState::Down, false);
  b.core.DrawButton(ButtonState::Down, false);
  EXPECT_EQ(b.host.draws, 1);
  b.core.DrawButton(ButtonState::Down, true);
  EXPECT_EQ(b.host.draws, 2);
}

TEST(DrawButton, NothingBeforeTheFirstSize) {
  TestButton b(0, 0);
  b.core.DrawButton(ButtonState::Up, true);
  EXPECT_EQ(b.host.draws, 0);
}

// The style-4 preset at 25 pixels: T = 13.25, top steps (5, 3, 0), lower (9, 5, 0).
TEST(GlassLook, WorkedExampleOfThePreset) {
  TestButton b(97, 25);
  b.core.SetButtonType(kGlassGradient);
  ASSERT_EQ(b.core.Properties().gradient, kGlassPreset);
  ASSERT_EQ(b.core.Properties().percent, 53);
  const int x = 40;
  for (int k = 0; k <= 10; ++k) {
    EXPECT_EQ(b.At(x, 13 - k), Rgb(134 + 5 * k, 181 + 3 * k, 255)) << "top band row " << 13 - k;
  }
  for (int y = 14; y <= 19; ++y) EXPECT_EQ(b.At(x, y), Rgb(124, 171, 255)) << "flat " << y;
  EXPECT_EQ(b.At(x, 20), Rgb(129, 176, 255));
  EXPECT_EQ(b.At(x, 21), Rgb(138, 181, 255));
  EXPECT_EQ(b.At(x, 1), Rgb(211, 229, 255));
  EXPECT_EQ(b.At(x, 23), Rgb(211, 229, 255));
  EXPECT_EQ(b.At(x, 2), Rgb(201, 216, 255));
  EXPECT_EQ(b.At(x, 22), Rgb(207, 234, 255));
  EXPECT_EQ(b.At(2, 10), Rgb(201, 216, 255));  // second inner frame's side
  EXPECT_EQ(b.At(x, 0), Rgb(81, 107, 148));
  EXPECT_EQ(b.At(x, 24), Rgb(81, 107, 148));
}

TEST(GlassLook, DisabledIgnoresColoursAndPercent) {
  TestButton b(97, 25,
               Bag({{L"ButtonType", std::int64_t{4}},
                    {L"MidColor", std::int64_t{0}},
                    {L"Percent", std::int64_t{90}},
                    {L"Enabled", std::int64_t{0}}}));
  // Mid (198, 218, 255) lightened by 10 on row 13, the flat band below it.
  EXPECT_EQ(b.At(40, 13), Rgb(208, 228, 255));
  EXPECT_EQ(b.At(40, 16), Rgb(198, 218, 255));
  EXPECT_EQ(b.At(40, 0), Rgb(128, 140, 162));
}

TEST(GlossLook, ShadingRowsTakeTheColourAtTwoTenRowsUp) {
  const int w = 60, h = 30;
  TestButton b(w, h, Bag({{L"ButtonType", std::int64_t{3}}}));
  // Percent 16: T = 4.8, the lower band starts at row 8 and steps (99, 46, 100) / 21.2.
  const Color q = b.At(2, h - 10);
  EXPECT_EQ(q, Rgb(172, 226, 172));
  for (int y : {h - 9, h - 8, h - 3, h - 2}) {
    for (int x : {3, 30, w - 3}) EXPECT_EQ(b.At(x, y), q) << x << "," << y;
  }
  EXPECT_EQ(b.At(30, 10), Rgb(116, 200, 115));  // nearest(T + 5) is mid again
  EXPECT_EQ(b.At(30, 0), Rgb(183, 183, 183));   // frame on the system scheme
}

TEST(GlossLook, LowerThanTenHasNoShadingRowsAndNoFrame) {
  TestButton b(60, 9, Bag({{L"ButtonType", std::int64_t{3}}}));
  EXPECT_EQ(b.At(30, 0), kFace);
  EXPECT_EQ(b.At(0, 4), kFace);
}

TEST(GlossLook, PressedIsFlatAndGreenFramedOffTheSystemScheme) {
  TestButton b(60, 30, Bag({{L"ButtonType", std::int64_t{3}}, {L"ColorScheme", std::int64_t{2}}}));
  b.core.OnMouseDown(1, 0, 1, 1);
  for (int y = 1; y <= 28; ++y) EXPECT_EQ(b.At(30, y), Rgb(132, 208, 133)) << y;
  EXPECT_EQ(b.At(30, 0), Rgb(84, 157, 84));
}

TEST(GlossLook, HoverOverNormalEqualsASingleHoverDrawing) {
  TestButton b(60, 30, Bag({{L"ButtonType", std::int64_t{3}}}));
  b.core.OnMouseMove(0, 0, 5, 5);
  TestButton hoverColoursOnly(60, 30,
                              Bag({{L"ButtonType", std::int64_t{3}},
                                   {L"MidColor", std::int64_t{Rgb(53, 163, 51)}},
                                   {L"EndColor", std::int64_t{Rgb(245, 252, 244)}}}));
  // Inside the frame and its corner pixels, whose colours differ between the two.
  for (int y = 1; y <= 28; ++y) {
    for (int x = 2; x <= 57; ++x) ASSERT_EQ(b.At(x, y), hoverColoursOnly.At(x, y)) << x << "," << y;
  }
}

TEST(ClassicLook, UpShowsTheBlueDefaultFrameWithoutFocusRectangle) {
  TestButton b(80, 24, Bag({{L"ButtonType", std::int64_t{2}}}));
  b.core.OnGotFocus();
  EXPECT_TRUE(b.canvas.FocusRects().empty());
  EXPECT_EQ(b.At(1, 2), Rgb(189, 215, 247));  // the style-2 second line starts at x = 1
  EXPECT_EQ(b.At(1, 10), Rgb(140, 174, 231));
  EXPECT_EQ(b.At(40, 22), Rgb(107, 130, 239));
  b.core.OnMouseDown(1, 0, 1, 1);
  EXPECT_TRUE(b.canvas.FocusRects().empty());
  // Pressed: shadow (128,128,128) less 16 inside, caption in the light colour.
  EXPECT_EQ(b.At(40, 10), Rgb(112, 112, 112));
  EXPECT_EQ(b.canvas.TextCalls().back().color, Rgb(223, 223, 223));
}

TEST(ClassicLook, DisabledCaptionIsEmbossed) {
  TestButton b(80, 24, Bag({{L"ButtonType", std::int64_t{2}}, {L"Enabled", std::int64_t{0}}}));
  const auto& calls = b.canvas.TextCalls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[calls.size() - 2].color, Rgb(128, 128, 128));
  EXPECT_EQ(calls[calls.size() - 2].rect, (PixelRect{0, 0, 80, 24}));
  EXPECT_EQ(calls.back().color, Rgb(255, 255, 255));
  EXPECT_EQ(calls.back().rect, (PixelRect{2, 2, 80, 24}));
}

TEST(OfficeXpLook, FocusRectangleFollowsFocusOnly) {
  TestButton b(80, 24, Bag({{L"ButtonType", std::int64_t{5}}}));
  b.host.displayAsDefault = true;
  b.core.OnAmbientChanged();
  EXPECT_TRUE(b.canvas.FocusRects().empty());
  EXPECT_EQ(b.At(0, 0), Rgb(188, 188, 66));
  EXPECT_EQ(b.At(40, 10), Rgb(222, 222, 160));
  b.core.OnGotFocus();
  EXPECT_EQ(b.canvas.FocusRects().size(), 1u);
  b.core.OnMouseMove(0, 0, 3, 3);
  EXPECT_EQ(b.At(0, 0), Rgb(127, 128, 1));
  EXPECT_EQ(b.At(40, 10), Rgb(220, 220, 186));
  b.core.OnMouseDown(1, 0, 3, 3);
  EXPECT_EQ(b.At(40, 10), Rgb(190, 190, 126));
}

TEST(SchemeLook, FixedGreyCaptionIsBlackAndSystemSchemeIgnoresBackColor) {
  TestButton grey(
      80, 24,
      Bag({{L"ColorScheme", std::int64_t{3}}, {L"ForeColor", std::int64_t{Rgb(255, 0, 0)}}}));
  EXPECT_EQ(grey.canvas.TextCalls().back().color, Rgb(0, 0, 0));

  TestButton system(80, 24);
  const RasterCanvas before = system.canvas;
  system.core.SetBackColor(Rgb(255, 0, 255));
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 80; ++x) ASSERT_EQ(system.At(x, y), before.At(x, y));
  }
}

// Sizes at which a gradient step or a gloss row has a zero divisor draw what is defined.
TEST(DegenerateSizes, EveryStyleAndLookDrawsWithoutFailing) {
  std::vector<PropertyBag> bags;
  for (std::int64_t xp : {1, 2, 3, 7}) bags.push_back(Bag({{L"XpType", xp}}));
  for (std::int64_t type : {0, 2, 5, 6}) bags.push_back(Bag({{L"ButtonType", type}}));
  for (std::int64_t type : {3, 4}) {
    for (std::int64_t percent : {0, 10, 20, 25, 50, 100}) {
      bags.push_back(Bag({{L"ButtonType", type}, {L"Percent", percent}}));
    }
  }
  for (const PropertyBag& bag : bags) {
    for (int w = 1; w <= 14; ++w) {
      for (int h = 1; h <= 14; ++h) {
        TestButton b(w, h, bag);
        b.core.OnMouseMove(0, 0, 0, 0);
        b.core.OnMouseDown(1, 0, 0, 0);
        b.core.SetEnabled(false);
        EXPECT_EQ(b.host.draws, 3);
      }
    }
  }
}

TEST(DegenerateSizes, FadeAtHeightFiveKeepsThePlainFace) {
  TestButton b(40, 5, Bag({{L"XpType", std::int64_t{1}}}));
  EXPECT_EQ(b.At(20, 2), kFace);
  EXPECT_EQ(b.At(20, 0), kXpEdge);
  TestButton six(40, 6, Bag({{L"XpType", std::int64_t{1}}}));
  EXPECT_EQ(six.At(20, 2), Rgb(255, 255, 255));  // one step from the base reaches white
}

TEST(DegenerateSizes, GlossRowsWithZeroDivisorAreSkipped) {
  // Width 10: row 1's gloss is undefined; the top band's colour stays there.
  TestButton b(10, 20, Bag({{L"ButtonType", std::int64_t{3}}, {L"Percent", std::int64_t{50}}}));
  const Color bandRow1 = b.At(5, 1);
  EXPECT_NE(bandRow1, Rgb(255, 255, 255));
  EXPECT_NE(b.At(2, 2), bandRow1);  // row 2 starts white
  EXPECT_EQ(b.At(2, 2), Rgb(255, 255, 255));
}

TEST(Region, TwelvePixelsCutForStylesThreeAndFour) {
  const int w = 50, h = 20;
  const std::vector<CutPixel> expected = {{0, 0},  {1, 0},  {0, 1},  {0, 19},  {1, 19},  {0, 18},
                                          {48, 0}, {49, 0}, {49, 1}, {48, 19}, {49, 19}, {49, 18}};
  for (std::int32_t type = 0; type <= 10; ++type) {
    const ButtonRegion r = BuildRegion(type, w, h);
    EXPECT_EQ(r.width, w);
    EXPECT_EQ(r.height, h);
    const bool cut = type == 3 || type == 4 || type == 8 || type == 9;
    EXPECT_EQ(r.cuts, cut ? expected : std::vector<CutPixel>{}) << "type " << type;
  }
  TestButton b(w, h);
  b.core.SetButtonType(kGlossGradient);
  ASSERT_TRUE(b.host.region.has_value());
  EXPECT_EQ(b.host.region->cuts, expected);
}

}  // namespace
}  // namespace quorvant::button
