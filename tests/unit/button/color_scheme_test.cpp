#include "button/core/color_scheme.h"

#include <gtest/gtest.h>

#include "button_fixture.h"

namespace quorvant::button {
namespace {

using testing::kTestSystemColors;

struct ShiftCase {
  Color color;
  int delta;
  bool proportionalBlue;
  Color expected;
};

TEST(ShiftColor, ShiftsAndClampsEachChannel) {
  const ShiftCase cases[] = {
      {Rgb(100, 150, 200), 10, false, Rgb(110, 160, 210)},
      {Rgb(100, 150, 200), 48, true, Rgb(148, 198, 250)},   // blue + 200 * 48 / 192
      {Rgb(200, 200, 250), -32, true, Rgb(168, 168, 209)},  // 8000 / 192 = 41.7 -> 41
      {Rgb(0, 0, 100), -1, true, Rgb(0, 0, 100)},           // -100 / 192 truncates to 0
      {Rgb(0, 0, 191), -191, true, Rgb(0, 0, 1)},
      {Rgb(250, 5, 128), 10, false, Rgb(255, 15, 138)},
      {Rgb(250, 5, 128), -10, false, Rgb(240, 0, 118)},
      {Rgb(10, 20, 30), -192, false, Rgb(0, 0, 0)},
      {Rgb(242, 237, 218), 1, false, Rgb(243, 238, 219)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ShiftColor(c.color, c.delta, c.proportionalBlue), c.expected)
        << std::hex << c.color << " " << std::dec << c.delta;
  }
}

TEST(ShiftColorClamped, ClampsToTheCeilingChannel) {
  const Color ceiling = Rgb(250, 250, 250);
  EXPECT_EQ(ShiftColorClamped(Rgb(220, 220, 186), -30, -30, -60, ceiling), Rgb(190, 190, 126));
  EXPECT_EQ(ShiftColorClamped(Rgb(10, 245, 255), -20, 10, 0, ceiling), Rgb(0, 250, 250));
  EXPECT_EQ(ShiftColorClamped(Rgb(100, 100, 100), 5, 5, 5, Rgb(90, 255, 0)), Rgb(90, 105, 0));
}

struct SchemeCase {
  std::int32_t scheme;
  ButtonPalette expected;
};

TEST(ApplyColorScheme, PalettesOfTheThreeSchemes) {
  const Color back = Rgb(100, 150, 200), fore = Rgb(255, 0, 0);
  const SystemColors& s = kTestSystemColors;
  const ButtonPalette system{s.buttonFace,   s.light3d,      s.buttonHighlight,
                             s.buttonShadow, s.darkShadow3d, fore};
  const SchemeCase cases[] = {
      {kSystemColors, system},
      {kFromBackColor,
       {back, Rgb(131, 181, 231), Rgb(147, 197, 247), Rgb(36, 86, 136), Rgb(0, 0, 8), fore}},
      // Black text whatever ForeColor says.
      {kFixedGrey,
       {Rgb(192, 192, 192), Rgb(223, 223, 223), Rgb(255, 255, 255), Rgb(128, 128, 128),
        Rgb(0, 0, 0), Rgb(0, 0, 0)}},
      {7, system},
  };
  for (const auto& c : cases) {
    GradientColors gradient = kDefaultGradient;
    OfficeXpColors officeXp = kDefaultOfficeXp;
    const ButtonPalette palette =
        ApplyColorScheme({c.scheme, kXpStyle, back, fore}, s, gradient, officeXp);
    EXPECT_EQ(palette, c.expected) << "scheme " << c.scheme;
    EXPECT_EQ(gradient, kDefaultGradient);
    EXPECT_EQ(officeXp, c.scheme == kFixedGrey ? kFixedGreyOfficeXp : kDefaultOfficeXp);
  }
}

TEST(ApplyColorScheme, GlassButtonOnSystemColoursTurnsGrey) {
  for (const std::int32_t scheme : {kSystemColors, kFromBackColor, kFixedGrey, 0}) {
    GradientColors gradient = kGlassPreset;
    OfficeXpColors officeXp = kDefaultOfficeXp;
    ApplyColorScheme({scheme, kGlassGradient, 0, 0}, kTestSystemColors, gradient, officeXp);
    const bool grey = scheme != kFromBackColor && scheme != kFixedGrey;
    EXPECT_EQ(gradient, grey ? kGreyPreset : kGlassPreset) << "scheme " << scheme;
  }
}

}  // namespace
}  // namespace quorvant::button
