#pragma once

#include <cstdint>
#include <vector>

namespace quorvant::button {

struct CutPixel {
  int x = 0;
  int y = 0;
  friend bool operator==(const CutPixel&, const CutPixel&) = default;
};

// The window's shape: the full width x height rectangle less the listed pixels.
struct ButtonRegion {
  int width = 0;
  int height = 0;
  std::vector<CutPixel> cuts;
};

// Styles with a rounded frame drawn by PaintRoundFrame alone (3 and 4) lose the three
// pixels outside it at each corner, so the parent shows through there. The numbers 8
// and 9, which are no styles, are cut as well, as the control always has.
ButtonRegion BuildRegion(std::int32_t buttonType, int width, int height);

}  // namespace quorvant::button
