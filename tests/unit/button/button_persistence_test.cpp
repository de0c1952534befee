#include <gtest/gtest.h>

#include <limits>

#include "button_fixture.h"

namespace quorvant::button {
namespace {

using testing::FakeHost;
using testing::TestButton;

PropertyBag Saved(const CommandCore& core) {
  PropertyBag bag{std::wstring(kCommandTypeName)};
  core.WriteProperties(bag);
  return bag;
}

TEST(CommandPersistence, FreshButtonStoresNothing) {
  TestButton b(97, 25);
  EXPECT_EQ(b.core.Properties().caption, L"wwbutton");
  EXPECT_EQ(b.core.Properties().font, b.host.ambientFont);
  EXPECT_EQ(Saved(b.core).Size(), 0u);
}

TEST(CommandPersistence, ProgramButtonStoresOnlyWhatDiffers) {
  const PropertyBag form = ProgramButtonBag(L"Release memory now", 233, 33);
  EXPECT_EQ(form.TypeName(), L"Quorvant.Command");
  EXPECT_EQ(ExtentToPixels(form.ReadInt(PropertyBag::kExtentX, 0)), 233);
  EXPECT_EQ(ExtentToPixels(form.ReadInt(PropertyBag::kExtentY, 0)), 33);

  TestButton b(233, 33, form);
  EXPECT_EQ(b.core.Properties().xpType, kXpOlive);
  EXPECT_EQ(b.core.Properties().caption, L"Release memory now");
  EXPECT_EQ(b.core.Properties().font, (FontDesc{L"Verdana", 7.5}));

  const PropertyBag saved = Saved(b.core);
  EXPECT_EQ(saved.Size(), 3u);
  EXPECT_EQ(saved.ReadInt(L"XPTYPE", 0), kXpOlive);
  EXPECT_EQ(saved.ReadText(L"caption", L""), L"Release memory now");
  EXPECT_TRUE(saved.Contains(L"Font"));
}

TEST(CommandPersistence, KeysAreReadWithoutRegardToCase) {
  const PropertyBag bag(std::wstring(kCommandTypeName),
                        {{L"BUTTONTYPE", std::int64_t{5}},
                         {L"rectColor", std::int64_t{Rgb(1, 2, 3)}},
                         {L"officexpfillcolor", std::int64_t{Rgb(4, 5, 6)}},
                         {L"showfocusrect", std::int64_t{0}}});
  TestButton b(80, 24, bag);
  EXPECT_EQ(b.core.Properties().buttonType, kOfficeXp);
  EXPECT_EQ(b.core.Properties().rectColor, Rgb(1, 2, 3));
  EXPECT_EQ(b.core.Properties().officeXp.fillColor, Rgb(4, 5, 6));
  EXPECT_FALSE(b.core.Properties().showFocusRect);
  EXPECT_EQ(b.At(40, 10), Rgb(4, 5, 6));
}

TEST(CommandPersistence, EveryPropertyRoundTrips) {
  TestButton b(80, 24);
  b.core.SetBackColor(Rgb(10, 20, 30));
  b.core.SetForeColor(Rgb(40, 50, 60));
  b.core.SetEnabled(false);
  b.core.SetFont({L"Tahoma", 9, true});
  b.core.SetButtonType(kGlossGradient);
  b.core.SetXpType(kXpSilver);
  b.core.SetCaption(L"&Go");
  b.core.SetColorScheme(kFromBackColor);
  b.core.SetShowFocusRect(false);
  b.core.SetRectColor(Rgb(1, 1, 1));
  ASSERT_EQ(b.core.SetPercent(77), PropertyError::kNone);
  b.core.SetMidColor(Rgb(2, 2, 2));
  b.core.SetEndColor(Rgb(3, 3, 3));
  b.core.SetMouseMoveMidColor(Rgb(4, 4, 4));
  b.core.SetMouseMoveEndColor(Rgb(5, 5, 5));
  b.core.SetMouseDownMidColor(Rgb(6, 6, 6));
  b.core.SetMouseDownEndColor(Rgb(7, 7, 7));
  b.core.SetOfficeXpFillColor(Rgb(8, 8, 8));
  b.core.SetOfficeXpFrameColor(Rgb(9, 9, 9));
  b.core.SetOfficeXpMousemoveFillColor(Rgb(11, 11, 11));
  b.core.SetOfficeXpMousemoveFrameColor(Rgb(12, 12, 12));
  EXPECT_EQ(b.host.changed.size(), 21u);

  const PropertyBag saved = Saved(b.core);
  EXPECT_EQ(saved.Size(), 21u);  // all but hWnd
  TestButton loaded(80, 24, saved);
  const ButtonProperties& p = b.core.Properties();
  const ButtonProperties& q = loaded.core.Properties();
  EXPECT_EQ(q.backColor, p.backColor);
  EXPECT_EQ(q.foreColor, p.foreColor);
  EXPECT_EQ(q.enabled, p.enabled);
  EXPECT_EQ(q.font, p.font);
  EXPECT_EQ(q.buttonType, p.buttonType);
  EXPECT_EQ(q.xpType, p.xpType);
  EXPECT_EQ(q.caption, p.caption);
  EXPECT_EQ(q.colorScheme, p.colorScheme);
  EXPECT_EQ(q.showFocusRect, p.showFocusRect);
  EXPECT_EQ(q.rectColor, p.rectColor);
  EXPECT_EQ(q.percent, p.percent);
  EXPECT_EQ(q.gradient, p.gradient);
  EXPECT_EQ(q.officeXp, p.officeXp);
  EXPECT_EQ(loaded.core.Palette(), b.core.Palette());
  EXPECT_EQ(loaded.host.windowEnabled, std::optional<bool>(false));
  EXPECT_EQ(loaded.core.AccessKey(), L'g');
}

TEST(CommandPersistence, GlassButtonSavedBlueOnSystemSchemeLoadsBlue) {
  TestButton b(97, 25);
  b.core.SetButtonType(kGlassGradient);
  ASSERT_EQ(b.core.Properties().gradient, kGlassPreset);

  TestButton loaded(97, 25, Saved(b.core));
  EXPECT_EQ(loaded.core.Properties().gradient, kGlassPreset);
  EXPECT_EQ(loaded.core.Properties().percent, kGlassPresetPercent);
  EXPECT_EQ(loaded.At(40, 16), Rgb(124, 171, 255));

  // Applying the scheme again is what turns it grey.
  loaded.core.SetColorScheme(kSystemColors);
  EXPECT_EQ(loaded.core.Properties().gradient, kGreyPreset);
}

TEST(CommandPersistence, PercentOutOfRangeIsRefusedWith380) {
  TestButton b(97, 25);
  ASSERT_EQ(b.core.SetPercent(100), PropertyError::kNone);
  b.host.changed.clear();
  const int drawsBefore = b.host.draws;
  for (int bad : {101, -1, 70000}) {
    EXPECT_EQ(b.core.SetPercent(bad), PropertyError::kInvalidPropertyValue) << bad;
    EXPECT_EQ(static_cast<int>(PropertyError::kInvalidPropertyValue), 380);
  }
  EXPECT_EQ(b.core.Properties().percent, 100);
  EXPECT_EQ(b.host.draws, drawsBefore);
  EXPECT_TRUE(b.host.changed.empty());
}

TEST(CommandPersistence, StoredPercentOutOfRangeLoadsTheDefault) {
  const PropertyBag bag(std::wstring(kCommandTypeName), {{L"percent", std::int64_t{500}}});
  TestButton b(97, 25, bag);
  EXPECT_EQ(b.core.Properties().percent, kDefaultPercent);
}

TEST(CommandPersistence, StoredRealNumbersOutsideEveryWholeNumberLoadTheDefault) {
  constexpr std::int64_t kAbsent = -5;
  struct Case {
    double stored;
    std::int64_t read;     // ReadInt with kAbsent as the value when absent
    std::int16_t loaded;  // the button's percent
  };
  const Case cases[] = {
      {std::numeric_limits<double>::quiet_NaN(), kAbsent, kDefaultPercent},
      {std::numeric_limits<double>::infinity(), kAbsent, kDefaultPercent},
      {-std::numeric_limits<double>::infinity(), kAbsent, kDefaultPercent},
      {1e300, kAbsent, kDefaultPercent},
      {9223372036854775808.0, kAbsent, kDefaultPercent},  // 2^63, one past the largest
      {-1e19, kAbsent, kDefaultPercent},
      {42.9, 42, 42},  // in range: the whole part
  };
  for (const auto& c : cases) {
    const PropertyBag bag(std::wstring(kCommandTypeName), {{L"percent", c.stored}});
    EXPECT_EQ(bag.ReadInt(L"percent", kAbsent), c.read) << c.stored;
    TestButton b(97, 25, bag);
    EXPECT_EQ(b.core.Properties().percent, c.loaded) << c.stored;
  }
}

TEST(CommandPersistence, WindowHandleCannotBeWritten) {
  TestButton b(97, 25, PropertyBag(std::wstring(kCommandTypeName), {{L"hWnd", std::int64_t{77}}}));
  EXPECT_EQ(b.core.HWnd(), 0x1234u);
  EXPECT_EQ(b.core.SetHWnd(5), PropertyError::kNotSupportedAtRunTime);
  b.host.userMode = false;
  EXPECT_EQ(b.core.SetHWnd(5), PropertyError::kNotPermitted);
  EXPECT_EQ(static_cast<int>(PropertyError::kNotSupportedAtRunTime), 382);
  EXPECT_EQ(static_cast<int>(PropertyError::kNotPermitted), 387);
  EXPECT_TRUE(b.host.changed.empty());
  EXPECT_EQ(Saved(b.core).ReadInt(L"hwnd", 0), 77);  // kept as loaded
}

TEST(CommandPersistence, NewInstanceShowsItsNameAndStoresIt) {
  FakeHost host;
  RasterCanvas canvas(97, 25);
  CommandCore core(canvas, host);
  core.InitNew(L"Command1", FontDesc{L"System", 10, true});
  EXPECT_EQ(core.Properties().caption, L"Command1");
  EXPECT_EQ(core.Properties().backColor, host.system.buttonFace);
  PropertyBag bag{std::wstring(kCommandTypeName)};
  core.WriteProperties(bag);
  EXPECT_EQ(bag.ReadText(L"caption", L""), L"Command1");

  core.SetCaption(L"wwbutton");
  bag.Clear();
  core.WriteProperties(bag);
  EXPECT_FALSE(bag.Contains(L"caption"));
}

}  // namespace
}  // namespace quorvant::button
