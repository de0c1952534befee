#pragma once

#include <windows.h>

#include "common/core/canvas.h"
#include "common/win32/unique_handle.h"

namespace quorvant::win32 {

// A Canvas over a persistent memory bitmap. The owner blits it in WM_PAINT, so what was
// drawn stays until the next Clear. Each primitive creates and frees its own pen or
// brush; only the bitmap and the current font live between calls.
class GdiCanvas final : public Canvas {
 public:
  GdiCanvas();
  GdiCanvas(const GdiCanvas&) = delete;
  GdiCanvas& operator=(const GdiCanvas&) = delete;
  ~GdiCanvas() override;

  // Reallocates the bitmap (contents are lost); sizes below 1 keep a 1 x 1 bitmap.
  void Resize(int width, int height);
  // Copies the image to dc at (x, y).
  void BlitTo(HDC dc, int x = 0, int y = 0) const;
  HDC Dc() const { return dc_.get(); }

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void Clear(Color background) override;
  void FillRect(int x, int y, int w, int h, Color color) override;
  void FrameRect(int x, int y, int w, int h, Color color) override;
  void Line(int x1, int y1, int x2, int y2, Color color) override;
  // One pen for the whole run of lines.
  void Polyline(std::span<const CanvasPoint> points, Color color) override;
  void SetPixel(int x, int y, Color color) override;
  std::optional<Color> GetPixel(int x, int y) const override;
  // Fonts set from now on are made for this resolution; 0, the default, follows the display's.
  void SetDpi(int dpi) { dpi_ = dpi; }
  // The resolution the current font was made for; 0 before the first.
  int FontDpi() const { return fontDpi_; }
  void SetFont(const FontDesc& font) override;
  TextExtent MeasureText(std::wstring_view text) const override;
  void DrawString(std::wstring_view text, PixelRect rect, unsigned format, Color color) override;
  void FocusRect(PixelRect rect) override;

 private:
  unique_hdc dc_;
  unique_hbitmap bitmap_;
  HGDIOBJ originalBitmap_ = nullptr;
  unique_hfont font_;
  HGDIOBJ originalFont_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  int dpi_ = 0;
  int fontDpi_ = 0;
};

// Creates the platform font for a persisted font description at a resolution: point sizes
// are as large on every monitor, whatever its scale.
unique_hfont CreateFontFor(const FontDesc& font, int dpi);

}  // namespace quorvant::win32
