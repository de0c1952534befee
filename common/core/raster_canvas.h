#pragma once

#include <string>
#include <vector>

#include "common/core/canvas.h"

namespace quorvant {

// An in-memory Canvas, so the controls' drawing can be read back pixel by pixel without a
// screen. Shapes are rasterised exactly; text is recorded, not rasterised, and measured with
// fixed per-character metrics.
class RasterCanvas final : public Canvas {
 public:
  struct TextCall {
    std::wstring text;
    PixelRect rect;
    unsigned format = 0;
    Color color = 0;
    FontDesc font;
  };

  RasterCanvas(int width, int height, Color background = 0);

  int Width() const override { return width_; }
  int Height() const override { return height_; }

  void Clear(Color background) override;
  void FillRect(int x, int y, int w, int h, Color color) override;
  void FrameRect(int x, int y, int w, int h, Color color) override;
  void Line(int x1, int y1, int x2, int y2, Color color) override;
  void SetPixel(int x, int y, Color color) override;
  std::optional<Color> GetPixel(int x, int y) const override;

  void SetFont(const FontDesc& font) override { font_ = font; }
  TextExtent MeasureText(std::wstring_view text) const override;
  void DrawString(std::wstring_view text, PixelRect rect, unsigned format, Color color) override;
  void FocusRect(PixelRect rect) override;

  // What was drawn, read back.
  Color At(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  const std::vector<TextCall>& TextCalls() const { return textCalls_; }
  const std::vector<PixelRect>& FocusRects() const { return focusRects_; }
  void SetTextMetrics(int charWidth, int lineHeight) {
    charWidth_ = charWidth;
    lineHeight_ = lineHeight;
  }
  void ForgetCalls() {
    textCalls_.clear();
    focusRects_.clear();
  }

 private:
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

  int width_;
  int height_;
  std::vector<Color> pixels_;
  FontDesc font_;
  int charWidth_ = 6;
  int lineHeight_ = 12;
  std::vector<TextCall> textCalls_;
  std::vector<PixelRect> focusRects_;
};

}  // namespace quorvant
