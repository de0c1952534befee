#include "shell/core/main_window_layout.h"

#include <algorithm>

namespace quorvant::shell {

Point CentredWindowPositionAt(int screenWidthPx, int screenHeightPx, int dpi) {
  const double twipsPerPixel = static_cast<double>(kTwipsPerInch) / dpi;
  const double top = (screenHeightPx * twipsPerPixel - kWindowHeightTwips) / 2;
  const double left = (screenWidthPx * twipsPerPixel - kWindowWidthTwips) / 2;
  // A window larger than the screen (a high scale on a small display) keeps its title strip,
  // the only handle to drag it by, on the screen.
  return {std::max(0, TwipsToPixelsAt(left, dpi)), std::max(0, TwipsToPixelsAt(top, dpi))};
}

Point CentredWindowPosition(int screenWidthPx, int screenHeightPx, Size windowPx) {
  return {std::max(0, (screenWidthPx - windowPx.width) / 2),
          std::max(0, (screenHeightPx - windowPx.height) / 2)};
}

}  // namespace quorvant::shell
