#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

#include "common/core/color.h"
#include "common/core/font.h"

namespace quorvant {

struct TextExtent {
  int width = 0;
  int height = 0;
};

// Edges as the platform's RECT: right and bottom are exclusive.
struct PixelRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

struct CanvasPoint {
  int x = 0;
  int y = 0;
};

// Text layout flags; text is always drawn with '&' prefix processing and a transparent
// background.
enum TextFormat : unsigned {
  kTextLeft = 0,
  kTextCenter = 1u << 0,
  kTextVCenter = 1u << 1,
  kTextSingleLine = 1u << 2,
  kTextWordBreak = 1u << 3,
  kTextExpandTabs = 1u << 4,
};

// The small drawing surface both custom controls paint through. The Win32 side draws
// with GDI into a persistent bitmap; RasterCanvas draws into memory for tests.
// Coordinates outside the surface are clipped, never an error.
class Canvas {
 public:
  virtual ~Canvas() = default;

  virtual int Width() const = 0;
  virtual int Height() const = 0;

  // Whole surface to one colour.
  virtual void Clear(Color background) = 0;
  // The area (x, y) .. (x + w - 1, y + h - 1), filled or as a one-pixel border.
  virtual void FillRect(int x, int y, int w, int h, Color color) = 0;
  virtual void FrameRect(int x, int y, int w, int h, Color color) = 0;
  // One pixel wide, from (x1, y1) up to but not including (x2, y2).
  virtual void Line(int x1, int y1, int x2, int y2, Color color) = 0;
  // Lines joining the points in order, drawn exactly as Line draws each one; a surface may
  // draw them in one go.
  virtual void Polyline(std::span<const CanvasPoint> points, Color color) {
    for (size_t i = 1; i < points.size(); ++i) {
      Line(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y, color);
    }
  }
  virtual void SetPixel(int x, int y, Color color) = 0;
  // Empty outside the surface or when the platform cannot read it.
  virtual std::optional<Color> GetPixel(int x, int y) const = 0;

  virtual void SetFont(const FontDesc& font) = 0;
  // Size of the text as stored (ampersands included), one line.
  virtual TextExtent MeasureText(std::wstring_view text) const = 0;
  virtual void DrawString(std::wstring_view text, PixelRect rect, unsigned format,
                        Color color) = 0;
  // The platform's dotted focus rectangle, drawn by inverting pixels.
  virtual void FocusRect(PixelRect rect) = 0;
};

}  // namespace quorvant
