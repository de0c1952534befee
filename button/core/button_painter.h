#pragma once

#include <cstdint>

#include "button/core/button_properties.h"
#include "button/core/color_scheme.h"
#include "common/core/canvas.h"

namespace quorvant::button {

// `ButtonState`: the up look (normal or hover) or the pressed look.
enum class ButtonState : std::uint8_t { Up = 0, Down = 2 };

// The client size in pixels and the three rectangles the caption and focus use.
struct ButtonGeometry {
  int width = 0;   // clientWidth
  int height = 0;  // clientHeight
  PixelRect rcAll{0, 0, 0, 0};
  PixelRect rcText{2, 2, 0, 0};
  PixelRect rcFocus{2, 2, 0, 0};
};

// The decisions DrawButton takes once per drawing.
struct LookFlags {
  bool isHovering = false;
  bool focusWanted = false;
  bool defaultLook = false;
};

// Paints one look of one style onto the surface. Built per drawing; keeps nothing after
// it, except the caption tops it writes back into the geometry.
class ButtonPainter {
 public:
  ButtonPainter(Canvas& canvas, const ButtonProperties& properties, const ButtonPalette& palette,
                ButtonGeometry& geometry, LookFlags flags);

  // Everything after DrawButton's early returns: clear to the face, then the look.
  void Paint(ButtonState state);

 private:
  int W() const { return geometry_.width; }
  int H() const { return geometry_.height; }

  // Primitives: Fill/Frame cover (x, y) .. (x + w - 1, y + h - 1); Line stops short of its
  // end point.
  void Fill(int x, int y, int w, int h, Color c) { canvas_.FillRect(x, y, w, h, c); }
  void Frame(int x, int y, int w, int h, Color c) { canvas_.FrameRect(x, y, w, h, c); }
  void Line(int x1, int y1, int x2, int y2, Color c) { canvas_.Line(x1, y1, x2, y2, c); }
  void Pixel(int x, int y, Color c) { canvas_.SetPixel(x, y, c); }
  void Row(int y, Color c) { Line(1, y, W() - 1, y, c); }

  void FadeToWhite(int red, int green, int blue, int from, int to, int step);
  void PaintRoundFrame(Color edge, Color corner);
  void PaintFocusRect();
  void CaptionUp(Color color);
  void CaptionDown(Color color);

  void HoverFrame(Color c);
  void DefaultFrame(Color outer, Color bottom, Color top, Color second, Color sides, bool classic);
  void BlueDefaultFrame(bool classic);
  void GreenDefaultFrame();
  void ClassicBevel();

  void XpUp();
  void XpDown();
  void XpDisabled();
  void ClassicUp();
  void ClassicDown();
  void ClassicDisabled();
  void OfficeXpUp();
  void OfficeXpDown();
  void OfficeXpDisabled();
  void GlossUp();
  void GlossDown();
  void GlossDisabled();
  void GlassUp();
  void GlassDown();
  void GlassDisabled();

  void PaintGlossGradient(Color mid, Color frame, Color end, int percent, bool solid);
  void PaintGlassGradient(Color mid, Color frame, Color end, int percent);

  Canvas& canvas_;
  const ButtonProperties& props_;
  const ButtonPalette& palette_;
  ButtonGeometry& geometry_;
  LookFlags flags_;
};

}  // namespace quorvant::button
