#include "common/win32/gdi_canvas.h"

#include <cstddef>

#include <algorithm>
#include <cmath>

#include "common/core/twips.h"

namespace quorvant::win32 {

unique_hfont CreateFontFor(const FontDesc& font, int dpi) {
  LOGFONTW lf{};
  lf.lfHeight = -static_cast<LONG>(std::lround(font.sizePt * dpi / 72.0));
  lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = font.italic;
  lf.lfUnderline = font.underline;
  lf.lfStrikeOut = font.strikethrough;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = DEFAULT_QUALITY;
  // A face the system lacks falls back through the normal font mapping.
  wcsncpy_s(lf.lfFaceName, font.name.c_str(), _TRUNCATE);
  return unique_hfont(::CreateFontIndirectW(&lf));
}

GdiCanvas::GdiCanvas() : dc_(::CreateCompatibleDC(nullptr)) {
  (void)::SetBkMode(dc_.get(), TRANSPARENT);
  Resize(1, 1);
}

GdiCanvas::~GdiCanvas() {
  if (originalBitmap_) (void)::SelectObject(dc_.get(), originalBitmap_);
  if (originalFont_) (void)::SelectObject(dc_.get(), originalFont_);
}

void GdiCanvas::Resize(int width, int height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = std::max(width_, 1);
  info.bmiHeader.biHeight = -std::max(height_, 1);  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  unique_hbitmap fresh(::CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!fresh) return;
  HGDIOBJ previous = ::SelectObject(dc_.get(), fresh.get());
  if (!originalBitmap_) originalBitmap_ = previous;
  bitmap_ = std::move(fresh);
}

void GdiCanvas::BlitTo(HDC dc, int x, int y) const {
  (void)::BitBlt(dc, x, y, width_, height_, dc_.get(), 0, 0, SRCCOPY);
}

void GdiCanvas::Clear(Color background) { FillRect(0, 0, width_, height_, background); }

void GdiCanvas::FillRect(int x, int y, int w, int h, Color color) {
  if (w <= 0 || h <= 0) return;
  unique_hbrush brush(::CreateSolidBrush(color));
  const RECT r{x, y, x + w, y + h};
  (void)::FillRect(dc_.get(), &r, brush.get());
}

void GdiCanvas::FrameRect(int x, int y, int w, int h, Color color) {
  if (w <= 0 || h <= 0) return;
  unique_hbrush brush(::CreateSolidBrush(color));
  const RECT r{x, y, x + w, y + h};
  (void)::FrameRect(dc_.get(), &r, brush.get());
}

void GdiCanvas::Line(int x1, int y1, int x2, int y2, Color color) {
  unique_hpen pen(::CreatePen(PS_SOLID, 1, color));
  ScopedSelect select(dc_.get(), pen.get());
  (void)::MoveToEx(dc_.get(), x1, y1, nullptr);
  (void)::LineTo(dc_.get(), x2, y2);
}

void GdiCanvas::Polyline(std::span<const CanvasPoint> points, Color color) {
  if (points.size() < 2) return;
  static_assert(sizeof(CanvasPoint) == sizeof(POINT) && offsetof(CanvasPoint, y) == offsetof(POINT, y));
  unique_hpen pen(::CreatePen(PS_SOLID, 1, color));
  ScopedSelect select(dc_.get(), pen.get());
  (void)::Polyline(dc_.get(), reinterpret_cast<const POINT*>(points.data()),
                   static_cast<int>(points.size()));
}

void GdiCanvas::SetPixel(int x, int y, Color color) { (void)::SetPixelV(dc_.get(), x, y, color); }

std::optional<Color> GdiCanvas::GetPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return std::nullopt;
  const COLORREF c = ::GetPixel(dc_.get(), x, y);
  if (c == CLR_INVALID) return std::nullopt;
  return static_cast<Color>(c);
}

void GdiCanvas::SetFont(const FontDesc& font) {
  const int dpi = dpi_ > 0 ? dpi_ : DisplayDpi();
  unique_hfont fresh = CreateFontFor(font, dpi);
  if (!fresh) return;
  fontDpi_ = dpi;
  HGDIOBJ previous = ::SelectObject(dc_.get(), fresh.get());
  if (!originalFont_) originalFont_ = previous;
  font_ = std::move(fresh);
}

TextExtent GdiCanvas::MeasureText(std::wstring_view text) const {
  SIZE size{};
  (void)::GetTextExtentPoint32W(dc_.get(), text.data(), static_cast<int>(text.size()), &size);
  if (size.cy == 0) {
    TEXTMETRICW tm{};
    (void)::GetTextMetricsW(dc_.get(), &tm);
    size.cy = tm.tmHeight;
  }
  return {static_cast<int>(size.cx), static_cast<int>(size.cy)};
}

void GdiCanvas::DrawString(std::wstring_view text, PixelRect rect, unsigned format, Color color) {
  UINT flags = 0;
  if (format & kTextCenter) flags |= DT_CENTER;
  if (format & kTextVCenter) flags |= DT_VCENTER;
  if (format & kTextSingleLine) flags |= DT_SINGLELINE;
  if (format & kTextWordBreak) flags |= DT_WORDBREAK;
  if (format & kTextExpandTabs) flags |= DT_EXPANDTABS;
  RECT r{rect.left, rect.top, rect.right, rect.bottom};
  (void)::SetTextColor(dc_.get(), color);
  (void)::DrawTextW(dc_.get(), text.data(), static_cast<int>(text.size()), &r, flags);
}

void GdiCanvas::FocusRect(PixelRect rect) {
  const RECT r{rect.left, rect.top, rect.right, rect.bottom};
  // The dotted pattern takes the DC's text and background colours: black on white inverts
  // the pixels, whatever colour the last text was drawn in.
  const COLORREF text = ::SetTextColor(dc_.get(), RGB(0, 0, 0));
  const COLORREF back = ::SetBkColor(dc_.get(), RGB(255, 255, 255));
  (void)::DrawFocusRect(dc_.get(), &r);
  (void)::SetTextColor(dc_.get(), text);
  (void)::SetBkColor(dc_.get(), back);
}

}  // namespace quorvant::win32
