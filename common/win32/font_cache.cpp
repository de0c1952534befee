#include "common/win32/font_cache.h"

#include "common/win32/gdi_canvas.h"

namespace quorvant::win32 {

HFONT FontCache::Get(const FontDesc& desc, int dpi) {
  for (const auto& entry : fonts_) {
    if (entry.dpi == dpi && entry.desc == desc) return entry.font.get();
  }
  fonts_.push_back({desc, dpi, CreateFontFor(desc, dpi)});
  return fonts_.back().font.get();
}

}  // namespace quorvant::win32
