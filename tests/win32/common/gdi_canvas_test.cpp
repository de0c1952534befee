#include "common/win32/gdi_canvas.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorvant::win32 {
namespace {

// The graph draws each curve as one polyline: it must leave exactly the pixels that the
// same segments drawn one by one leave, on the surface and off its edges.
TEST(GdiCanvasTest, PolylineDrawsTheSamePixelsAsItsSegments) {
  const std::vector<std::vector<CanvasPoint>> curves = {
      {{1, 50}, {2, 10}, {3, 11}, {4, 54}, {5, 0}, {6, 0}, {7, 30}},
      {{0, 56}, {1, 56}, {2, -3}, {3, 80}, {4, 27}},  // rows above and below the surface
      {{10, 10}, {40, 40}, {60, 5}, {61, 5}},         // long and flat segments
  };
  for (const auto& curve : curves) {
    GdiCanvas joined, single;
    for (GdiCanvas* c : {&joined, &single}) {
      c->Resize(64, 55);
      c->Clear(Rgb(0, 0, 0));
    }
    joined.Polyline(curve, Rgb(0, 255, 0));
    for (size_t i = 1; i < curve.size(); ++i) {
      single.Line(curve[i - 1].x, curve[i - 1].y, curve[i].x, curve[i].y, Rgb(0, 255, 0));
    }
    int differ = 0, lit = 0;
    for (int y = 0; y < 55; ++y) {
      for (int x = 0; x < 64; ++x) {
        differ += joined.GetPixel(x, y) != single.GetPixel(x, y);
        lit += single.GetPixel(x, y) == Rgb(0, 255, 0);
      }
    }
    EXPECT_EQ(differ, 0) << "curve starting at " << curve[0].x << "," << curve[0].y;
    EXPECT_GT(lit, 0);
  }
}

}  // namespace
}  // namespace quorvant::win32
