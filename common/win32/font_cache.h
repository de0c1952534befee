#pragma once

#include <windows.h>

#include <vector>

#include "common/core/font.h"
#include "common/core/twips.h"
#include "common/win32/unique_handle.h"

namespace quorvant::win32 {

// The fonts of one window and its panels: each description is created once per resolution
// and lives as long as the cache, so controls may hold the handles. A window that moves
// between monitors of different scales keeps one set per scale it has shown.
class FontCache {
 public:
  HFONT Get(const FontDesc& desc, int dpi);
  // At the display's scale.
  HFONT Get(const FontDesc& desc) { return Get(desc, DisplayDpi()); }

 private:
  struct Entry {
    FontDesc desc;
    int dpi;
    unique_hfont font;
  };
  std::vector<Entry> fonts_;
};

}  // namespace quorvant::win32
