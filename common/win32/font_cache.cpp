#include "common/win32/font_cache.h"

#include "common/win32/gdi_canvas.h"

namespace quorvant::win32 {

HFONT FontCache::Get(const FontDesc& desc) {
  for (const auto& [d, font] : fonts_) {
    if (d == desc) return font.get();
  }
  fonts_.emplace_back(desc, CreateFontFor(desc));
  return fonts_.back().second.get();
}

}  // namespace quorvant::win32
