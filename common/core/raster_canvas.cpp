#include "common/core/raster_canvas.h"

#include <algorithm>
#include <cstdlib>

namespace quorvant {

RasterCanvas::RasterCanvas(int width, int height, Color background)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<size_t>(width_) * height_, background) {}

void RasterCanvas::Clear(Color background) {
  std::fill(pixels_.begin(), pixels_.end(), background);
}

void RasterCanvas::FillRect(int x, int y, int w, int h, Color color) {
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int x1 = std::min(x + w, width_), y1 = std::min(y + h, height_);
  for (int yy = y0; yy < y1; ++yy) {
    for (int xx = x0; xx < x1; ++xx) pixels_[static_cast<size_t>(yy) * width_ + xx] = color;
  }
}

void RasterCanvas::FrameRect(int x, int y, int w, int h, Color color) {
  if (w <= 0 || h <= 0) return;
  FillRect(x, y, w, 1, color);
  FillRect(x, y + h - 1, w, 1, color);
  FillRect(x, y, 1, h, color);
  FillRect(x + w - 1, y, 1, h, color);
}

void RasterCanvas::Line(int x1, int y1, int x2, int y2, Color color) {
  // Bresenham, stopping one pixel short of the end point as the platform's LineTo does.
  const int dx = std::abs(x2 - x1), dy = -std::abs(y2 - y1);
  const int sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
  int err = dx + dy;
  int x = x1, y = y1;
  while (x != x2 || y != y2) {
    SetPixel(x, y, color);
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

void RasterCanvas::SetPixel(int x, int y, Color color) {
  if (Inside(x, y)) pixels_[static_cast<size_t>(y) * width_ + x] = color;
}

std::optional<Color> RasterCanvas::GetPixel(int x, int y) const {
  if (!Inside(x, y)) return std::nullopt;
  return At(x, y);
}

TextExtent RasterCanvas::MeasureText(std::wstring_view text) const {
  return {static_cast<int>(text.size()) * charWidth_, lineHeight_};
}

void RasterCanvas::DrawString(std::wstring_view text, PixelRect rect, unsigned format,
                            Color color) {
  textCalls_.push_back({std::wstring(text), rect, format, color, font_});
}

void RasterCanvas::FocusRect(PixelRect rect) {
  focusRects_.push_back(rect);
  // Every other pixel of the border inverted, like the platform's dotted focus rectangle.
  auto invert = [this](int x, int y) {
    if (Inside(x, y) && (x + y) % 2 == 0) {
      auto& p = pixels_[static_cast<size_t>(y) * width_ + x];
      p = ~p & 0x00FFFFFFu;
    }
  };
  for (int x = rect.left; x < rect.right; ++x) {
    invert(x, rect.top);
    if (rect.bottom - 1 != rect.top) invert(x, rect.bottom - 1);
  }
  for (int y = rect.top + 1; y < rect.bottom - 1; ++y) {
    invert(rect.left, y);
    if (rect.right - 1 != rect.left) invert(rect.right - 1, y);
  }
}

}  // namespace quorvant
