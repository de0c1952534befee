#pragma once

#include <windows.h>

#include <utility>
#include <vector>

#include "common/core/font.h"
#include "common/win32/unique_handle.h"

namespace quorvant::win32 {

// The fonts of one window and its panels: each description is created once and lives as
// long as the cache, so controls may hold the handles.
class FontCache {
 public:
  HFONT Get(const FontDesc& desc);

 private:
  std::vector<std::pair<FontDesc, unique_hfont>> fonts_;
};

}  // namespace quorvant::win32
