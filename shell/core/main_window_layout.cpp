#include "shell/core/main_window_layout.h"

namespace quorvant::shell {

Point CentredWindowPosition(int screenWidthPx, int screenHeightPx) {
  const double top = (static_cast<double>(screenHeightPx) * kTwipsPerPixel - kWindowHeightTwips) / 2;
  const double left = (static_cast<double>(screenWidthPx) * kTwipsPerPixel - kWindowWidthTwips) / 2;
  return {TwipsToPixels(left), TwipsToPixels(top)};
}

}  // namespace quorvant::shell
