#include <gtest/gtest.h>

#include "common/core/twips.h"
#include "shell/core/main_window_layout.h"

namespace quorvant::shell {
namespace {

struct Place {
  int left, top, width, height;
  friend bool operator==(const Place&, const Place&) = default;
};

Place PlaceAt(const TwipsRect& r, int dpi) {
  return {TwipsToPixelsAt(r.left, dpi), TwipsToPixelsAt(r.top, dpi), TwipsToPixelsAt(r.width, dpi),
          TwipsToPixelsAt(r.height, dpi)};
}

// The layout at the common display scales; halves round to the even pixel as the forms do.
TEST(DisplayScaleTest, LayoutFollowsTheDisplayDpi) {
  const TwipsRect processPanel{kPanelLeftTwips, kPanelTopTwips, 7815, 5775};
  const TwipsRect checkNowImproveProcess{1200, 1560, 2895, 255};
  struct Case {
    int dpi;
    Size window;
    Place panel;
    Place check;
    Point centred;  // on a 1920 x 1080 screen
    int skinScale;
  };
  const Case cases[] = {
      {96, {786, 557}, {256, 144, 521, 385}, {80, 104, 193, 17}, {567, 262}, 100},
      {120, {982, 696}, {320, 180, 651, 481}, {100, 130, 241, 21}, {469, 192}, 125},
      {144, {1179, 836}, {384, 216, 782, 578}, {120, 156, 290, 26}, {370, 122}, 150},
      {192, {1572, 1114}, {512, 288, 1042, 770}, {160, 208, 386, 34}, {174, 0}, 200},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dpi);
    EXPECT_EQ(WindowSizeAt(c.dpi), c.window);
    EXPECT_EQ(PlaceAt(processPanel, c.dpi), c.panel);
    EXPECT_EQ(PlaceAt(checkNowImproveProcess, c.dpi), c.check);
    EXPECT_EQ(CentredWindowPositionAt(1920, 1080, c.dpi), c.centred);
    EXPECT_EQ(SkinScaleFor(c.dpi), c.skinScale);
  }
}

TEST(DisplayScaleTest, SkinScaleIsTheNearestAtOrAbove) {
  const std::pair<int, int> cases[] = {{72, 100},  {97, 125},  {110, 125}, {121, 150},
                                       {168, 200}, {193, 200}, {288, 200}};
  for (const auto& [dpi, scale] : cases) EXPECT_EQ(SkinScaleFor(dpi), scale) << dpi;
  EXPECT_EQ(SkinBitmapIdFor(101, 96), 101);
  EXPECT_EQ(SkinBitmapIdFor(101, 144), 2101);
  EXPECT_EQ(SkinBitmapIdFor(143, 192), 3143);
}

TEST(DisplayScaleTest, ProgramWideDpiDrivesTheConversionAndRejectsNonsense) {
  // Other tests in this process expect the design's 96.
  struct Restore {
    ~Restore() { SetDisplayDpi(kDesignDpi); }
  } restore;
  SetDisplayDpi(144);
  EXPECT_EQ(TwipsToPixels(1500), 150);
  EXPECT_EQ(DesignPixels(15), 22);  // 22.5 rounds to even
  EXPECT_EQ(WindowSize(), (Size{1179, 836}));
  for (const int bad : {0, -96, 100000}) {
    SetDisplayDpi(bad);
    EXPECT_EQ(DisplayDpi(), 96) << bad;
  }
  EXPECT_EQ(TwipsToPixels(1500), 100);
}

TEST(DisplayScaleTest, AWindowLargerThanTheScreenKeepsItsCornerOnIt) {
  EXPECT_EQ(CentredWindowPositionAt(1280, 1024, 192), (Point{0, 0}));
  EXPECT_EQ(CentredWindowPositionAt(640, 480, 96), (Point{0, 0}));
}

}  // namespace
}  // namespace quorvant::shell
