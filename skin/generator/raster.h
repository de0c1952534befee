// A tiny in-memory raster with anti-aliased shape filling, enough to draw the skin artwork.
// Shapes are signed-distance functions (negative inside, in pixels), so edges are smoothed
// over one pixel and shapes combine with Union / Subtract / Intersect.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <utility>
#include <vector>

namespace skingen {

// 0xAARRGGBB with straight (not premultiplied) alpha.
using Pixel = std::uint32_t;

constexpr Pixel Argb(int r, int g, int b, int a = 255) {
  return (Pixel(a) << 24) | (Pixel(r) << 16) | (Pixel(g) << 8) | Pixel(b);
}
constexpr int AlphaOf(Pixel p) { return int(p >> 24); }
constexpr int RedOf(Pixel p) { return int((p >> 16) & 0xFF); }
constexpr int GreenOf(Pixel p) { return int((p >> 8) & 0xFF); }
constexpr int BlueOf(Pixel p) { return int(p & 0xFF); }

inline int ToByte(double v) { return int(std::lround(std::clamp(v, 0.0, 255.0))); }

// Channel-wise interpolation, t = 0 gives a, t = 1 gives b.
inline Pixel Mix(Pixel a, Pixel b, double t) {
  auto lerp = [t](int x, int y) { return ToByte(x + (y - x) * t); };
  return Argb(lerp(RedOf(a), RedOf(b)), lerp(GreenOf(a), GreenOf(b)), lerp(BlueOf(a), BlueOf(b)),
              lerp(AlphaOf(a), AlphaOf(b)));
}

inline Pixel WithAlpha(Pixel p, double alpha) {
  return (p & 0x00FFFFFF) | (Pixel(ToByte(AlphaOf(p) * alpha)) << 24);
}

// Shapes are given in design pixels (96 DPI); a raster drawn for a larger display scale has
// `scale` device pixels per design pixel and evaluates every shape at its own resolution.
struct Raster {
  int width;
  int height;
  std::vector<Pixel> pixels;
  double scale = 1.0;

  Raster(int w, int h, Pixel fill = 0, double s = 1.0)
      : width(w), height(h), pixels(std::size_t(w) * h, fill), scale(s) {}
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  Pixel& At(int x, int y) { return pixels[std::size_t(y) * width + x]; }
  Pixel At(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
};

// Source-over compositing of `color` at `coverage` (0..1) onto one pixel.
inline void BlendPixel(Raster& r, int x, int y, Pixel color, double coverage = 1.0) {
  if (!r.Contains(x, y) || coverage <= 0) return;
  const double sa = AlphaOf(color) / 255.0 * std::min(coverage, 1.0);
  if (sa <= 0) return;
  Pixel& dst = r.At(x, y);
  const double da = AlphaOf(dst) / 255.0;
  const double oa = sa + da * (1 - sa);
  auto channel = [&](int s, int d) { return ToByte((s * sa + d * da * (1 - sa)) / oa); };
  dst = Argb(channel(RedOf(color), RedOf(dst)), channel(GreenOf(color), GreenOf(dst)),
             channel(BlueOf(color), BlueOf(dst)), ToByte(oa * 255));
}

// --- Paints: a colour for each pixel centre -------------------------------------------------

inline auto Solid(Pixel c) {
  return [c](double, double) { return c; };
}
// Top colour at y0, bottom colour at y1, clamped outside.
inline auto VerticalGradient(Pixel top, Pixel bottom, double y0, double y1) {
  return [=](double, double y) {
    return Mix(top, bottom, std::clamp((y - y0) / (y1 - y0), 0.0, 1.0));
  };
}
inline auto HorizontalGradient(Pixel left, Pixel right, double x0, double x1) {
  return [=](double x, double) {
    return Mix(left, right, std::clamp((x - x0) / (x1 - x0), 0.0, 1.0));
  };
}

// Fills every pixel by the shape's coverage; `softness` widens the edge (soft shadows).
// Edges stay one device pixel wide at every scale; extra softness scales with the design.
template <class Shape, class Paint>
void Fill(Raster& r, Shape shape, Paint paint, double softness = 1.0) {
  const double edge = 1.0 + (softness - 1.0) * r.scale;
  for (int y = 0; y < r.height; ++y) {
    for (int x = 0; x < r.width; ++x) {
      const double px = (x + 0.5) / r.scale, py = (y + 0.5) / r.scale;
      const double coverage = std::clamp(0.5 - shape(px, py) * r.scale / edge, 0.0, 1.0);
      if (coverage > 0) BlendPixel(r, x, y, paint(px, py), coverage);
    }
  }
}
template <class Shape>
void Fill(Raster& r, Shape shape, Pixel color, double softness = 1.0) {
  Fill(r, shape, Solid(color), softness);
}

// --- Shapes: signed distance in pixels ---------------------------------------------------------

// Axis-aligned rectangle with edges on pixel boundaries [x0, x1) x [y0, y1), rounded corners.
inline auto RoundRect(double x0, double y0, double x1, double y1, double radius = 0) {
  return [=](double px, double py) {
    const double hw = (x1 - x0) / 2, hh = (y1 - y0) / 2;
    const double qx = std::abs(px - (x0 + hw)) - (hw - radius);
    const double qy = std::abs(py - (y0 + hh)) - (hh - radius);
    return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) -
           radius;
  };
}

// A rectangle of the given size centred at (cx, cy), turned by `degrees` (screen orientation).
inline auto TurnedRect(double cx, double cy, double w, double h, double degrees,
                       double radius = 0) {
  const double a = degrees * std::numbers::pi / 180;
  const double c = std::cos(a), s = std::sin(a);
  auto box = RoundRect(-w / 2, -h / 2, w / 2, h / 2, radius);
  return [=](double px, double py) {
    const double dx = px - cx, dy = py - cy;
    return box(dx * c + dy * s, -dx * s + dy * c);
  };
}

inline auto Circle(double cx, double cy, double radius) {
  return [=](double px, double py) { return std::hypot(px - cx, py - cy) - radius; };
}

// A stroke from a to b with round ends.
inline auto Capsule(double ax, double ay, double bx, double by, double halfWidth) {
  return [=](double px, double py) {
    const double ex = bx - ax, ey = by - ay;
    const double len2 = ex * ex + ey * ey;
    const double t = len2 > 0 ? std::clamp(((px - ax) * ex + (py - ay) * ey) / len2, 0.0, 1.0) : 0;
    return std::hypot(px - ax - ex * t, py - ay - ey * t) - halfWidth;
  };
}

// Point on a circle at `degrees`, counted anticlockwise from east as seen on screen.
inline std::pair<double, double> PolarPoint(double cx, double cy, double radius, double degrees) {
  const double a = degrees * std::numbers::pi / 180;
  return {cx + radius * std::cos(a), cy - radius * std::sin(a)};
}

// A round-ended stroke along a circle from `fromDegrees` anticlockwise to `toDegrees`.
inline auto Arc(double cx, double cy, double radius, double halfWidth, double fromDegrees,
                double toDegrees) {
  const auto [ax, ay] = PolarPoint(cx, cy, radius, fromDegrees);
  const auto [bx, by] = PolarPoint(cx, cy, radius, toDegrees);
  return [=](double px, double py) {
    double deg = std::atan2(-(py - cy), px - cx) * 180 / std::numbers::pi;
    while (deg < fromDegrees) deg += 360;
    if (deg <= toDegrees) return std::abs(std::hypot(px - cx, py - cy) - radius) - halfWidth;
    return std::min(std::hypot(px - ax, py - ay), std::hypot(px - bx, py - by)) - halfWidth;
  };
}

// Any simple polygon, vertices in order.
inline auto Polygon(std::vector<std::pair<double, double>> v) {
  return [v = std::move(v)](double px, double py) {
    double best = 1e300, sign = 1;
    for (std::size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
      const double ex = v[j].first - v[i].first, ey = v[j].second - v[i].second;
      const double wx = px - v[i].first, wy = py - v[i].second;
      const double t = std::clamp((wx * ex + wy * ey) / (ex * ex + ey * ey), 0.0, 1.0);
      best = std::min(best, std::hypot(wx - ex * t, wy - ey * t));
      const bool c1 = py >= v[i].second, c2 = py<v[j].second, c3 = ex * wy> ey * wx;
      if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) sign = -sign;
    }
    return sign * best;
  };
}

template <class A, class B>
auto Union(A a, B b) {
  return [=](double x, double y) { return std::min(a(x, y), b(x, y)); };
}
template <class A, class B>
auto Subtract(A a, B b) {
  return [=](double x, double y) { return std::max(a(x, y), -b(x, y)); };
}
template <class A, class B>
auto Intersect(A a, B b) {
  return [=](double x, double y) { return std::max(a(x, y), b(x, y)); };
}
// Grows the shape by `amount` pixels (shrinks when negative).
template <class A>
auto Grow(A a, double amount) {
  return [=](double x, double y) { return a(x, y) - amount; };
}
// The shape's outline as a stroke centred on its edge.
template <class A>
auto Stroke(A a, double halfWidth) {
  return [=](double x, double y) { return std::abs(a(x, y)) - halfWidth; };
}
template <class A>
auto Move(A a, double dx, double dy) {
  return [=](double x, double y) { return a(x - dx, y - dy); };
}

// --- Whole-raster helpers -------------------------------------------------------------------

// Device pixels in, device pixels out; the piece keeps the source's scale.
inline Raster Crop(const Raster& src, int x0, int y0, int w, int h) {
  Raster out(w, h, 0, src.scale);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) out.At(x, y) = src.At(x0 + x, y0 + y);
  return out;
}

// Composites `src` onto `dst` with its top-left at (x0, y0) design pixels.
inline void Paste(Raster& dst, const Raster& src, int x0, int y0, double opacity = 1.0) {
  const int dx = int(std::lround(x0 * dst.scale)), dy = int(std::lround(y0 * dst.scale));
  for (int y = 0; y < src.height; ++y)
    for (int x = 0; x < src.width; ++x) BlendPixel(dst, dx + x, dy + y, src.At(x, y), opacity);
}

}  // namespace skingen
